#include "report/output/ppOutlineNode.h"

#include <algorithm>
#include <atomic>
#include <deque>
#include <unordered_set>

CLS_IMPLEMENT_COMPONENT(TppOutlineNode)

// Records a root's tree for its snapshots. Nodes joining at the end of a
// recorded parent wait in the pending list and are appended at the next
// take; any other change to the recorded nodes marks the record stale, and
// the next take records the whole tree afresh.
class TppOutlineRecorder {
 public:
  explicit TppOutlineRecorder(TppOutlineNode* root) : root_(root) {}
  TppOutlineSnapshot Take();
  void Attached(TppOutlineNode* parent, TppRelative* child);
  void Detached(TppRelative* child);
  void Changed(const TppOutlineNode* node) {
    if (node->recorded_ >= 0) stale_ = true;
  }
  // The root goes: no node keeps this recorder.
  void Release();

 private:
  using Entry = TppOutlineSnapshot::Entry;
  using Segment = TppOutlineSnapshot::Segment;
  template <class F>
  static void ForSubtree(TppOutlineNode* node, F f);
  static Entry EntryOf(const TppOutlineNode* node, int32_t parent) {
    return Entry{node->caption_, node->pageReference_, parent, node->nodeType_, node->createNode_};
  }
  void RecordAfresh();

  TppOutlineNode* root_;
  std::vector<TppOutlineNode*> pending_;
  std::shared_ptr<Segment> last_;
  bool stale_ = true;
};

template <class F>
void TppOutlineRecorder::ForSubtree(TppOutlineNode* node, F f) {
  std::vector<TppOutlineNode*> stack{node};
  while (!stack.empty()) {
    TppOutlineNode* n = stack.back();
    stack.pop_back();
    f(n);
    for (int i = n->ChildCount() - 1; i >= 0; --i)
      if (TppOutlineNode* c = n->OutlineChild(i)) stack.push_back(c);
  }
}

void TppOutlineRecorder::Attached(TppOutlineNode* parent, TppRelative* child) {
  auto* node = cls::ObjectAs<TppOutlineNode>(child);
  if (!node) {
    stale_ = true;
    return;
  }
  const bool last = node->ChildCount() == 0 && parent->GetChild(parent->ChildCount() - 1) == node;
  ForSubtree(node, [this](TppOutlineNode* n) {
    n->recorder_ = this;
    n->recorded_ = -1;
    n->recordedChildren_ = 0;
    n->pending_ = false;
  });
  if (!last) {
    stale_ = true;
    return;
  }
  node->pending_ = true;
  pending_.push_back(node);
}

void TppOutlineRecorder::Detached(TppRelative* child) {
  auto* node = cls::ObjectAs<TppOutlineNode>(child);
  if (!node) {
    stale_ = true;
    return;
  }
  ForSubtree(node, [this](TppOutlineNode* n) {
    if (n->recorder_ != this) return;
    if (n->recorded_ >= 0) stale_ = true;
    if (n->pending_) pending_.erase(std::find(pending_.rbegin(), pending_.rend(), n).base() - 1);
    n->recorder_ = nullptr;
    n->recorded_ = -1;
    n->recordedChildren_ = 0;
    n->pending_ = false;
  });
}

void TppOutlineRecorder::Release() {
  ForSubtree(root_, [](TppOutlineNode* n) { n->recorder_ = nullptr; });
  pending_.clear();
}

void TppOutlineRecorder::RecordAfresh() {
  std::vector<Entry> entries;
  std::vector<TppOutlineNode*> queue{root_};  // parents before children, siblings in order
  for (size_t i = 0; i < queue.size(); ++i) {
    TppOutlineNode* n = queue[i];
    n->recorder_ = this;
    n->recordedChildren_ = n->ChildCount();
    n->pending_ = false;
    for (int k = 0; k < n->ChildCount(); ++k)
      if (TppOutlineNode* c = n->OutlineChild(k)) {
        c->recorded_ = static_cast<int32_t>(entries.size());
        entries.push_back(EntryOf(c, n == root_ ? -1 : n->recorded_));
        queue.push_back(c);
      }
  }
  pending_.clear();
  last_ = entries.empty() ? nullptr : std::make_shared<Segment>(std::move(entries), 0, nullptr);
  stale_ = false;
}

TppOutlineSnapshot TppOutlineRecorder::Take() {
  if (!stale_ && !pending_.empty()) {
    // A last segment no snapshot shares any more (its pages are gone)
    // takes the new entries itself: a segment a page only while pages stay.
    // The fence pairs with the release of the last other holder, which may
    // be another thread's; ThreadSanitizer cannot follow fences, so there
    // the segment is never extended.
#if defined(__SANITIZE_THREAD__)
    const bool extend = false;
#else
    const bool extend = last_ && last_.use_count() == 1;
    if (extend) std::atomic_thread_fence(std::memory_order_acquire);
#endif
    std::vector<Entry> added;
    std::vector<Entry>& into = extend ? last_->entries : added;
    const size_t base = last_ ? last_->base + last_->entries.size() : 0;
    const size_t before = into.size();
    for (TppOutlineNode* n : pending_) {
      auto* parent = cls::ObjectAs<TppOutlineNode>(n->Parent());
      if (!parent || parent->recorder_ != this || (parent != root_ && parent->recorded_ < 0) ||
          parent->GetChild(parent->recordedChildren_) != n) {
        stale_ = true;
        break;
      }
      n->recorded_ = static_cast<int32_t>(base + into.size() - before);
      n->pending_ = false;
      ++parent->recordedChildren_;
      into.push_back(EntryOf(n, parent == root_ ? -1 : parent->recorded_));
    }
    if (!stale_) {
      pending_.clear();
      if (!extend) last_ = std::make_shared<Segment>(std::move(added), base, last_);
    }
  }
  if (stale_) RecordAfresh();
  TppOutlineSnapshot s;
  s.last_ = last_;
  s.rootCaption_ = root_->caption_;
  s.rootPageReference_ = root_->pageReference_;
  s.taken_ = true;
  return s;
}

// ---- TppOutlineSnapshot ----

TppOutlineSnapshot::Segment::~Segment() {
  // A long chain goes link by link, not by recursion.
  std::shared_ptr<const Segment> p = std::move(previous);
  while (p && p.use_count() == 1) p = std::move(const_cast<Segment&>(*p).previous);
}

bool TppOutlineSnapshot::ForEachCopied(const std::function<bool(const Entry&, int)>& visit) const {
  if (!taken_) return true;
  // The entries stay while VISIT runs, whatever it frees.
  const std::shared_ptr<const Segment> keep = last_;
  std::vector<const Segment*> segments;
  for (const Segment* s = keep.get(); s; s = s->previous.get()) segments.push_back(s);
  std::vector<const Entry*> entries;  // a parent before its children
  entries.reserve(keep ? keep->base + keep->entries.size() : 0);
  for (auto s = segments.rbegin(); s != segments.rend(); ++s)
    for (const Entry& e : (*s)->entries) entries.push_back(&e);
  // The children of entry I (-1: the root), in order, are
  // kids[first[I + 1]] up to kids[first[I + 2]].
  const size_t n = entries.size();
  std::vector<size_t> first(n + 2, 0);
  for (const Entry* e : entries) ++first[static_cast<size_t>(e->parent + 2)];
  for (size_t i = 1; i < first.size(); ++i) first[i] += first[i - 1];
  std::vector<int32_t> kids(n);
  std::vector<size_t> at(first.begin(), first.end() - 1);
  for (size_t i = 0; i < n; ++i) kids[at[static_cast<size_t>(entries[i]->parent + 1)]++] = static_cast<int32_t>(i);

  // As TppOutlineNode::CopyChildren copies the recorded tree: a hidden
  // entry's children go to its parent's copy, a page once under a parent.
  struct Level {
    size_t next, end;
    int depth;  // of the copy the level's entries go under (0: the root)
    std::unordered_set<int32_t>* pages;
    std::unordered_set<int32_t> own;
  };
  std::deque<Level> levels;  // references stay as levels are added
  auto enter = [&](int32_t entry, int depth, std::unordered_set<int32_t>* pages) {
    Level& l = levels.emplace_back(
        Level{first[static_cast<size_t>(entry + 1)], first[static_cast<size_t>(entry + 2)], depth, pages, {}});
    if (!l.pages) l.pages = &l.own;
  };
  enter(-1, 0, nullptr);
  while (!levels.empty()) {
    Level& l = levels.back();
    if (l.next == l.end) {
      levels.pop_back();
      continue;
    }
    const int32_t k = kids[l.next++];
    const Entry& e = *entries[static_cast<size_t>(k)];
    if (!e.createNode) {
      enter(k, l.depth, l.pages);
      continue;
    }
    if (e.nodeType == ntPage && !l.pages->insert(e.pageReference).second) continue;
    const int depth = l.depth + 1;
    enter(k, depth, nullptr);
    if (!visit(e, depth)) return false;
  }
  return true;
}

TppOutlineNode* TppOutlineSnapshot::CopyTree(const std::function<bool()>& heard) const {
  if (!taken_) return nullptr;
  cls::Owned<TppOutlineNode> root(new TppOutlineNode(nullptr));
  root->caption_ = rootCaption_;
  root->pageReference_ = rootPageReference_;
  root->nodeType_ = ntRoot;
  std::vector<TppOutlineNode*> path{root.get()};  // the last copy of each depth
  const bool whole = ForEachCopied([&](const Entry& e, int depth) {
    auto* copy = new TppOutlineNode(nullptr);
    copy->caption_ = e.caption;
    copy->pageReference_ = e.pageReference;
    copy->nodeType_ = e.nodeType;
    copy->SetParent(path[static_cast<size_t>(depth) - 1]);
    path.resize(static_cast<size_t>(depth));
    path.push_back(copy);
    return !heard || heard();
  });
  return whole ? root.release() : nullptr;
}

bool TppOutlineSnapshot::SharesTree(const TppOutlineSnapshot& other) const {
  return taken_ && other.taken_ && last_ == other.last_ && rootCaption_ == other.rootCaption_ &&
         rootPageReference_ == other.rootPageReference_;
}

// ---- TppOutlineNode ----

TppOutlineNode::TppOutlineNode(cls::TComponent* owner) : TppTreeNode(owner) {}

TppOutlineNode::~TppOutlineNode() {
  // Deleted without Free: it leaves its parent's count and recording.
  SetNodeCreator(nullptr);
  if (ownRecorder_) ownRecorder_->Release();
  else if (recorder_) recorder_->Detached(this);
}

void TppOutlineNode::BeforeDestruction() {
  if (IppOutlineNodeOwner* creator = nodeCreator_) {
    SetNodeCreator(nullptr);
    creator->OutlineNodeFreed(this);
  }
  inherited::BeforeDestruction();
}

void TppOutlineNode::SetNodeCreator(IppOutlineNodeOwner* v) {
  if (auto* parent = cls::ObjectAs<TppOutlineNode>(Parent()); parent && !nodeCreator_ != !v)
    parent->creatorChildren_ += v ? 1 : -1;
  nodeCreator_ = v;
}

void TppOutlineNode::Assign(cls::TPersistent* source) {
  auto* from = cls::ObjectAs<TppOutlineNode>(source);
  if (!from) {
    inherited::Assign(source);
    return;
  }
  if (caption_ == from->caption_ && pageReference_ == from->pageReference_ && nodeType_ == from->nodeType_ &&
      createNode_ == from->createNode_)
    return;
  caption_ = from->caption_;
  pageReference_ = from->pageReference_;
  nodeType_ = from->nodeType_;
  createNode_ = from->createNode_;
  Changed();
}

void TppOutlineNode::InsertChild(int index, TppRelative* child) {
  const bool already = child && child->Parent() == this;
  inherited::InsertChild(index, child);
  if (already || !child || child->Parent() != this) return;
  if (auto* node = cls::ObjectAs<TppOutlineNode>(child); node && node->nodeCreator_) ++creatorChildren_;
  if (recorder_) recorder_->Attached(this, child);
}

void TppOutlineNode::RemoveChild(TppRelative* child) {
  const bool mine = child && child->Parent() == this;
  inherited::RemoveChild(child);
  if (!mine || child->Parent() == this) return;
  if (auto* node = cls::ObjectAs<TppOutlineNode>(child); node && node->nodeCreator_) --creatorChildren_;
  if (recorder_) recorder_->Detached(child);
}

void TppOutlineNode::Changed() {
  if (recorder_) recorder_->Changed(this);
}

void TppOutlineNode::SetCreateNode(bool v) {
  if (createNode_ == v) return;  // an unchanged node is not recorded again
  createNode_ = v;
  Changed();
}

void TppOutlineNode::SetCaption(const std::string& v) {
  if (caption_ == v) return;
  caption_ = v;
  Changed();
}

void TppOutlineNode::SetNodeType(TppOutlineNodeType v) {
  if (nodeType_ == v) return;
  nodeType_ = v;
  Changed();
}

void TppOutlineNode::SetPageReference(int32_t v) {
  if (pageReference_ == v) return;
  pageReference_ = v;
  Changed();
}

TppOutlineNode* TppOutlineNode::OutlineChild(int index) const { return cls::ObjectAs<TppOutlineNode>(GetChild(index)); }

TppOutlineNode* TppOutlineNode::CopyTree() const {
  if (nodeType_ != ntRoot) return nullptr;
  cls::Owned<TppOutlineNode> copy(new TppOutlineNode(nullptr));
  copy->caption_ = caption_;
  copy->pageReference_ = pageReference_;
  copy->nodeType_ = ntRoot;
  std::unordered_set<int32_t> pages;
  CopyChildren(copy.get(), pages);
  return copy.release();
}

TppOutlineSnapshot TppOutlineNode::Snapshot() {
  if (nodeType_ != ntRoot) return {};
  if (!ownRecorder_) ownRecorder_.reset(new TppOutlineRecorder(this));
  return ownRecorder_->Take();
}

void TppOutlineNode::CopyChildren(TppOutlineNode* into, std::unordered_set<int32_t>& pages) const {
  for (int i = 0; i < ChildCount(); ++i) {
    const TppOutlineNode* child = OutlineChild(i);
    if (!child) continue;
    if (!child->createNode_) {
      child->CopyChildren(into, pages);
      continue;
    }
    // A page node goes once under a parent.
    if (child->nodeType_ == ntPage && !pages.insert(child->pageReference_).second) continue;
    auto* copy = new TppOutlineNode(nullptr);
    copy->caption_ = child->caption_;
    copy->pageReference_ = child->pageReference_;
    copy->nodeType_ = child->nodeType_;
    copy->SetParent(into);
    std::unordered_set<int32_t> inner;
    child->CopyChildren(copy, inner);
  }
}

bool TppOutlineNode::IsSameTree(const TppOutlineNode* other) const {
  if (!other || caption_ != other->caption_ || pageReference_ != other->pageReference_ ||
      nodeType_ != other->nodeType_ || ChildCount() != other->ChildCount())
    return false;
  for (int i = 0; i < ChildCount(); ++i) {
    const TppOutlineNode* a = OutlineChild(i);
    const TppOutlineNode* b = other->OutlineChild(i);
    if (!a || !a->IsSameTree(b)) return false;
  }
  return true;
}

void TppOutlineNode::FreeTree(TppOutlineNode* root, const std::function<void()>& each) {
  TppRelative* at = root;
  try {
    while (at) {
      if (at->ChildCount() > 0) {
        at = at->GetChild(at->ChildCount() - 1);
        continue;
      }
      TppRelative* parent = at->Parent();
      at->Free();  // the last child: it leaves its parent at once
      at = parent;
      if (each) each();
    }
  } catch (...) {
    if (at) root->Free();
    throw;
  }
}

void ppRegisterOutlineNodeUnit() { cls::RegisterClass(&TppOutlineNode::StaticClass()); }
