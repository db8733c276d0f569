// TppOutlineNode: a node of a report's outline (the report, its groups and
// pages, as they were made), and the copy of a tree that each page keeps.
// A node queued for page nodes knows the creator that queued it and tells
// it when it goes.
#pragma once
#include <cstdint>
#include <string>

#include "report/model/ppTreeNode.h"
#include "report/model/ppTypes.h"

class TppOutlineNode;

// The creator a node was queued by (the outline's node creators).
class IppOutlineNodeOwner {
 public:
  virtual ~IppOutlineNodeOwner() = default;
  // NODE is being freed: it leaves the creator's lists.
  virtual void OutlineNodeFreed(TppOutlineNode* node) = 0;
};

class TppOutlineNode : public TppTreeNode {
  CLS_DECLARE_CLASS(TppOutlineNode, TppTreeNode)
 public:
  explicit TppOutlineNode(cls::TComponent* owner);
  // The owning creator hears of it first.
  void BeforeDestruction() override;
  // From another outline node: caption, page reference, node type and
  // whether it is shown (not its creator nor the open flag).
  void Assign(cls::TPersistent* source) override;

  // Whether the node is shown; a node not shown is left out of copies and
  // its children move up to its parent.
  bool CreateNode() const { return createNode_; }
  void SetCreateNode(bool v) { createNode_ = v; }
  const std::string& Caption() const { return caption_; }
  void SetCaption(const std::string& v) { caption_ = v; }
  IppOutlineNodeOwner* NodeCreator() const { return nodeCreator_; }
  void SetNodeCreator(IppOutlineNodeOwner* v) { nodeCreator_ = v; }
  TppOutlineNodeType NodeType() const { return nodeType_; }
  void SetNodeType(TppOutlineNodeType v) { nodeType_ = v; }
  // The node still collects children.
  bool Open() const { return open_; }
  void SetOpen(bool v) { open_ = v; }
  int32_t PageReference() const { return pageReference_; }
  void SetPageReference(int32_t v) { pageReference_ = v; }
  TppOutlineNode* OutlineChild(int index) const;

  // The copy of a root (nullptr for any other node), unowned: the nodes
  // shown, each page node once per page under a parent.
  TppOutlineNode* CopyTree() const;
  // Same captions (exactly), page references and types, same children
  // in the same order.
  bool IsSameTree(const TppOutlineNode* other) const;

 private:
  void CopyChildren(TppOutlineNode* into) const;

  bool createNode_ = true;
  std::string caption_;
  IppOutlineNodeOwner* nodeCreator_ = nullptr;
  TppOutlineNodeType nodeType_ = ntOther;
  bool open_ = false;
  int32_t pageReference_ = 0;
};

// Registers TppOutlineNode (the output layer's entry point calls it).
void ppRegisterOutlineNodeUnit();
