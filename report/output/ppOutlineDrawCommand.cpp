#include "report/output/ppOutlineDrawCommand.h"

#include <mutex>
#include <vector>

#include "platform/classes/streams.h"
#include "platform/classes/typinfo.h"

CLS_IMPLEMENT_COMPONENT(TppOutlineDrawCommand)

namespace {

TppOutlineNode* NewRoot() {
  auto* root = new TppOutlineNode(nullptr);
  root->SetNodeType(ntRoot);
  root->SetPageReference(-1);
  return root;
}

}  // namespace

TppOutlineDrawCommand::TppOutlineDrawCommand(cls::TComponent* owner) : TppDrawCommand(owner), root_(NewRoot()) {}

TppOutlineNode* TppOutlineDrawCommand::OutlineNode() const {
  if (!root_) {
    TppOutlineNode* tree = snapshot_.CopyTree();
    root_.reset(tree ? tree : NewRoot());
  }
  return root_.get();
}

bool TppOutlineDrawCommand::MakeOutlineNode(const std::function<bool()>& heard) {
  if (root_) return true;
  bool stopped = false;
  TppOutlineNode* tree = snapshot_.CopyTree([&] { return heard() || !(stopped = true); });
  if (stopped) return false;
  root_.reset(tree ? tree : NewRoot());
  return true;
}

TppOutlineNode* TppOutlineDrawCommand::TakeMadeTree() {
  if (snapshot_.Empty()) return nullptr;
  return root_.release();
}

void TppOutlineDrawCommand::SetOutlineNode(TppOutlineNode* root) {
  snapshot_ = TppOutlineSnapshot();
  root_.reset(root ? root : NewRoot());
}

void TppOutlineDrawCommand::SetSnapshot(const TppOutlineSnapshot& snapshot) {
  if (snapshot.Empty()) {
    SetOutlineNode(nullptr);
    return;
  }
  snapshot_ = snapshot;
  root_.reset();
}

void TppOutlineDrawCommand::Assign(cls::TPersistent* source) {
  inherited::Assign(source);
  auto* from = cls::ObjectAs<TppOutlineDrawCommand>(source);
  if (!from || from == this) return;
  complete_ = from->complete_;
  if (!from->snapshot_.Empty()) SetSnapshot(from->snapshot_);
  else SetOutlineNode(from->root_ ? from->root_->CopyTree() : nullptr);
}

bool TppOutlineDrawCommand::IsSameAs(TppDrawCommand* other) {
  if (!inherited::IsSameAs(other)) return false;
  auto* o = static_cast<TppOutlineDrawCommand*>(other);
  if (complete_ != o->complete_) return false;
  return snapshot_.SharesTree(o->snapshot_) || OutlineNode()->IsSameTree(o->OutlineNode());
}

// The nodes in pre-order below the root: each its depth (1 for the
// root's children), node type and page reference (int32 each), then the
// caption's length (int32) and bytes.
void TppOutlineDrawCommand::WriteNodes(cls::TStream& s) const {
  auto put = [&](int32_t v) { s.WriteBuffer(&v, 4); };
  auto node = [&](int32_t depth, TppOutlineNodeType type, int32_t page, const std::string& caption) {
    put(depth);
    put(static_cast<int32_t>(type));
    put(page);
    put(static_cast<int32_t>(caption.size()));
    if (!caption.empty()) s.WriteBuffer(caption.data(), static_cast<int64_t>(caption.size()));
  };
  if (!root_ && !snapshot_.Empty()) {
    // Straight from the snapshot: no tree is made for the writing.
    put(snapshot_.RootPageReference());
    snapshot_.ForEachCopied([&](const TppOutlineSnapshot::Entry& e, int depth) {
      node(depth, e.nodeType, e.pageReference, e.caption);
      return true;
    });
    return;
  }
  const TppOutlineNode* root = OutlineNode();
  put(root->PageReference());
  std::vector<std::pair<const TppOutlineNode*, int32_t>> stack;
  for (int i = root->ChildCount() - 1; i >= 0; --i) stack.emplace_back(root->OutlineChild(i), 1);
  while (!stack.empty()) {
    auto [n, depth] = stack.back();
    stack.pop_back();
    if (!n) continue;
    node(depth, n->NodeType(), n->PageReference(), n->Caption());
    for (int i = n->ChildCount() - 1; i >= 0; --i) stack.emplace_back(n->OutlineChild(i), depth + 1);
  }
}

void TppOutlineDrawCommand::ReadNodes(cls::TStream& s) {
  auto get = [&]() {
    int32_t v = 0;
    if (s.Size() - s.Position() < 4) throw cls::EReadError("OutlineNodes: the data ends inside a node");
    s.ReadBuffer(&v, 4);
    return v;
  };
  cls::Owned<TppOutlineNode> root(NewRoot());
  root->SetPageReference(get());
  std::vector<TppOutlineNode*> path{root.get()};  // the last node of each depth
  while (s.Position() < s.Size()) {
    const int32_t depth = get(), type = get(), page = get(), length = get();
    if (depth < 1 || static_cast<size_t>(depth) > path.size())
      throw cls::EReadError("OutlineNodes: a node without a parent");
    if (type < 0 || type > static_cast<int32_t>(ntOther)) throw cls::EReadError("OutlineNodes: an unknown node type");
    if (length < 0 || length > s.Size() - s.Position()) throw cls::EReadError("OutlineNodes: a caption beyond the data");
    std::string caption(static_cast<size_t>(length), '\0');
    if (length > 0) s.ReadBuffer(caption.data(), length);
    auto* node = new TppOutlineNode(nullptr);
    node->SetNodeType(static_cast<TppOutlineNodeType>(type));
    node->SetPageReference(page);
    node->SetCaption(caption);
    node->SetParent(path[static_cast<size_t>(depth) - 1]);
    path.resize(static_cast<size_t>(depth));
    path.push_back(node);
  }
  SetOutlineNode(root.release());
}

void TppOutlineDrawCommand::DefineProperties(cls::TFiler* filer) {
  inherited::DefineProperties(filer);
  filer->DefineBinaryProperty(
      "OutlineNodes", [this](cls::TStream& s) { ReadNodes(s); }, [this](cls::TStream& s) { WriteNodes(s); }, true);
}

void TppOutlineDrawCommand::RegisterProperties() {
  using C = TppOutlineDrawCommand;
  cls::TPropInfo complete = cls::OrdProperty<C, bool>("Complete", cls::TypeInfoBoolean(), &C::Complete, &C::SetComplete);
  complete.HasDefault = true;
  cls::PublishProperty(C::StaticClass(), std::move(complete));
}

void ppRegisterOutlineDrawCommandUnit() {
  static std::once_flag once;
  std::call_once(once, [] {
    cls::RegisterClass(&TppOutlineDrawCommand::StaticClass());
    TppOutlineDrawCommand::RegisterProperties();
  });
}
