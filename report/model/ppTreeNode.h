// TppTreeNode: a node of an ordered tree on the relative tree. Its children
// are the relative children in order; its parent node is the relative
// parent when that is a tree node (any other parent counts as none).
#pragma once
#include <set>

#include "report/model/ppRTTI.h"
#include "report/model/ppRelatv.h"

class TppTreeNode : public TppRelative {
  CLS_DECLARE_CLASS(TppTreeNode, TppRelative)

 public:
  explicit TppTreeNode(cls::TComponent* owner);

  int ChildNodeCount() const { return ChildCount(); }
  // The child at INDEX when it is a tree node; nil otherwise.
  TppTreeNode* ChildNodes(int index) const;
  // Every descendant, at any depth.
  int AbsoluteChildNodeCount() const;
  // The tree-node ancestors (0 for a top node).
  int Level() const;
  TppTreeNode* ParentNode() const;
  // Re-parents the node (nil takes it out of its tree).
  void SetParentNode(TppTreeNode* node) { SetParent(node); }

  // A new node of this node's class, owned by this node's owner, as the
  // last child.
  TppTreeNode* Add();
  // A tree node copies nothing of its own here (descendants add their
  // data); other sources go to the persistent assignment, which raises.
  void Assign(cls::TPersistent* source) override;
  // A new node of this class under NEWPARENT (owned by its owner; by this
  // node's owner without a parent), assigned from this node; with RECURSE
  // its children are cloned under it, in order. Cloning into its own
  // subtree copies only the nodes that were there before it started.
  TppTreeNode* CloneNode(TppTreeNode* newParent, bool recurse);

  TppTreeNode* GetFirstChild() const;
  TppTreeNode* GetLastChild() const;
  // Last children down to a leaf; nil without children.
  TppTreeNode* GetLastChildDescendent() const;
  TppTreeNode* GetNextSibling() const;
  TppTreeNode* GetPreviousSibling() const;
  // Pre-order successor and predecessor; nil past the ends.
  TppTreeNode* GetNext() const;
  TppTreeNode* GetPrevious() const;

 private:
  TppTreeNode* Clone(TppTreeNode* newParent, bool recurse, std::set<const TppTreeNode*>& made);
  // The sibling DELTA places away, nil at the ends or without a parent node.
  TppTreeNode* Sibling(int delta) const;
};

// The tree node's properties and methods by name.
class TraTppTreeNodeRTTI : public TraTppRelativeRTTI {
  RA_DECLARE_RTTI(TraTppTreeNodeRTTI, TraTppRelativeRTTI, TppTreeNode)
};

// Registers TppTreeNode with the class library and its describing class
// (the model's entry point calls it).
void ppRegisterTreeNodeUnit();
