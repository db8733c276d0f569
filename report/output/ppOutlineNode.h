// TppOutlineNode: a node of a report's outline (the report, its groups and
// pages, as they were made), and the copy of a tree that each page keeps.
// A node queued for page nodes knows the creator that queued it and tells
// it when it goes. A page keeps its copy as a snapshot: the nodes recorded
// once for the tree and shared by every page, each snapshot seeing those
// recorded up to its page.
#pragma once
#include <cstdint>
#include <functional>
#include <memory>
#include <string>
#include <unordered_set>
#include <vector>

#include "report/model/ppTreeNode.h"
#include "report/model/ppTypes.h"

class TppOutlineNode;
class TppOutlineRecorder;

// The creator a node was queued by (the outline's node creators).
class IppOutlineNodeOwner {
 public:
  virtual ~IppOutlineNodeOwner() = default;
  // NODE is being freed: it leaves the creator's lists.
  virtual void OutlineNodeFreed(TppOutlineNode* node) = 0;
};

// A root's tree as it stood when taken; never changes. Copies share it.
class TppOutlineSnapshot {
 public:
  // None: no tree at all.
  bool Empty() const { return !taken_; }
  // The copy of the tree (CopyTree's, unowned); nullptr when empty. Made
  // from the entries at once; HEARD, when given, is called after each node
  // made, and a false from it stops the copy (nullptr, nothing of this
  // snapshot touched after it: the snapshot may be gone).
  TppOutlineNode* CopyTree(const std::function<bool()>& heard = nullptr) const;
  // The same nodes of the same record (a cheap test; false does not mean
  // the trees differ).
  bool SharesTree(const TppOutlineSnapshot& other) const;
  // The root's caption and page (a tree's root copies them).
  int32_t RootPageReference() const { return rootPageReference_; }

  struct Entry {
    std::string caption;
    int32_t pageReference = 0;
    int32_t parent = -1;  // the entry's index, -1 for the root
    TppOutlineNodeType nodeType = ntOther;
    bool createNode = true;
  };
  // The entries CopyTree makes nodes of, in its order (a parent before its
  // children, siblings in order), each with the depth of its copy (1 below
  // the root); a false from VISIT stops the walk (false). No node is made.
  bool ForEachCopied(const std::function<bool(const Entry&, int)>& visit) const;
  // The entries recorded at one take, after those of PREVIOUS.
  struct Segment {
    Segment(std::vector<Entry> e, size_t b, std::shared_ptr<const Segment> p)
        : entries(std::move(e)), base(b), previous(std::move(p)) {}
    ~Segment();
    std::vector<Entry> entries;
    size_t base;
    std::shared_ptr<const Segment> previous;
  };

 private:
  friend class TppOutlineRecorder;
  std::shared_ptr<const Segment> last_;
  std::string rootCaption_;
  int32_t rootPageReference_ = -1;
  bool taken_ = false;
};

class TppOutlineNode : public TppTreeNode {
  CLS_DECLARE_CLASS(TppOutlineNode, TppTreeNode)
 public:
  explicit TppOutlineNode(cls::TComponent* owner);
  ~TppOutlineNode() override;
  // The owning creator hears of it first.
  void BeforeDestruction() override;
  // From another outline node: caption, page reference, node type and
  // whether it is shown (not its creator nor the open flag).
  void Assign(cls::TPersistent* source) override;
  void InsertChild(int index, TppRelative* child) override;
  void RemoveChild(TppRelative* child) override;

  // Whether the node is shown; a node not shown is left out of copies and
  // its children move up to its parent.
  bool CreateNode() const { return createNode_; }
  void SetCreateNode(bool v);
  const std::string& Caption() const { return caption_; }
  void SetCaption(const std::string& v);
  IppOutlineNodeOwner* NodeCreator() const { return nodeCreator_; }
  void SetNodeCreator(IppOutlineNodeOwner* v);
  // Whether a child of this node has a creator (counted as they change).
  bool HasCreatorChild() const { return creatorChildren_ > 0; }
  TppOutlineNodeType NodeType() const { return nodeType_; }
  void SetNodeType(TppOutlineNodeType v);
  // The node still collects children.
  bool Open() const { return open_; }
  void SetOpen(bool v) { open_ = v; }
  int32_t PageReference() const { return pageReference_; }
  void SetPageReference(int32_t v);
  TppOutlineNode* OutlineChild(int index) const;

  // The copy of a root (nullptr for any other node), unowned: the nodes
  // shown, each page node once per page under a parent.
  TppOutlineNode* CopyTree() const;
  // The tree as it stands, for copying later (a root's; empty for any
  // other node). The first one records the whole tree; later ones add the
  // nodes added since, at a cost of their own, until a node recorded
  // changes or moves: then the tree is recorded afresh.
  TppOutlineSnapshot Snapshot();
  // Same captions (exactly), page references and types, same children
  // in the same order.
  bool IsSameTree(const TppOutlineNode* other) const;
  // Frees ROOT (a node without parent or owner) and its tree node by node,
  // the last leaf first, calling EACH after each node freed: a large tree
  // goes in short steps. Should EACH throw, the rest goes at once.
  static void FreeTree(TppOutlineNode* root, const std::function<void()>& each);

 private:
  friend class TppOutlineRecorder;
  friend class TppOutlineSnapshot;
  void CopyChildren(TppOutlineNode* into, std::unordered_set<int32_t>& pages) const;
  void Changed();

  // A tree keeps one node a page: widest fields first, nothing padded.
  std::string caption_;
  IppOutlineNodeOwner* nodeCreator_ = nullptr;
  // Recording: the root's recorder (owned by the root), the node's entry
  // (-1 while none), how many of its children lead recorded, and whether
  // it waits to be recorded at the next snapshot.
  std::unique_ptr<TppOutlineRecorder> ownRecorder_;
  TppOutlineRecorder* recorder_ = nullptr;
  int32_t pageReference_ = 0;
  int32_t recorded_ = -1;
  int recordedChildren_ = 0;
  int creatorChildren_ = 0;
  TppOutlineNodeType nodeType_ = ntOther;
  bool createNode_ = true;
  bool open_ = false;
  bool pending_ = false;
};

// Registers TppOutlineNode (the output layer's entry point calls it).
void ppRegisterOutlineNodeUnit();
