#include "report/model/ppRelatv.h"

#include <vector>

#include "platform/classes/typinfo.h"

CLS_IMPLEMENT_COMPONENT(TppRelative)

TppRelative::TppRelative(cls::TComponent* owner) : TppCommunicator(owner) {}

TppRelative::~TppRelative() {
  // Deleted without Free: detach at least, so nothing points here.
  if (parent_) {
    const int index = parent_->ChildIndex(this);
    if (index >= 0) parent_->children_.Delete(index);
  }
  for (TppRelative* c : children_) c->parent_ = nullptr;
}

void TppRelative::BeforeDestruction() {
  SetStateFlag(cls::csDestroying, true);
  SetParent(nullptr);
  FreeChildren();
  inherited::BeforeDestruction();
}

TppRelative* TppRelative::GetChild(int index) const {
  if (index < 0 || index >= children_.Count()) return nullptr;
  return children_[index];
}

bool TppRelative::IsAncestorOrSelf(const TppRelative* other) const {
  // True when OTHER is this object or lies below it.
  for (const TppRelative* p = other; p; p = p->parent_)
    if (p == this) return true;
  return false;
}

void TppRelative::SetParent(TppRelative* parent) {
  if (parent == parent_) return;
  if (parent && IsAncestorOrSelf(parent)) return;
  if (parent_) parent_->RemoveChild(this);
  if (parent) parent->AddChild(this);
}

void TppRelative::AddChild(TppRelative* child) { InsertChild(children_.Count(), child); }

void TppRelative::InsertChild(int index, TppRelative* child) {
  if (!child || child->IsAncestorOrSelf(this)) return;
  if (child->parent_ && child->parent_ != this) child->parent_->RemoveChild(child);
  // A child of this list has it as its parent, and only such a one.
  if (child->parent_ == this) return;
  if (index < 0) index = 0;
  if (index > children_.Count()) index = children_.Count();
  children_.Insert(index, child);
  child->parent_ = this;
  child->indexHint_ = index;
}

int TppRelative::ChildIndex(const TppRelative* child) const {
  if (!child || child->parent_ != this) return -1;
  // Right after an append and while freeing from the end the hint holds;
  // otherwise the list is searched from the end, where changes are made.
  const int hint = child->indexHint_;
  if (hint >= 0 && hint < children_.Count() && children_[hint] == child) return hint;
  for (int i = children_.Count() - 1; i >= 0; --i)
    if (children_[i] == child) {
      child->indexHint_ = i;
      return i;
    }
  return -1;
}

void TppRelative::RemoveChild(TppRelative* child) {
  const int index = ChildIndex(child);
  if (index < 0) return;
  children_.Delete(index);
  child->parent_ = nullptr;
}

int TppRelative::GetIndex() const { return parent_ ? parent_->IndexOfChild(this) : -1; }

void TppRelative::SetPosition(int value) {
  if (HasState(cls::csReading)) {
    savedPosition_ = value;
    return;
  }
  MoveToPosition(value);
  InvalidateDesign();
}

void TppRelative::MoveToPosition(int index) {
  TppRelative* parent = parent_;
  if (!parent) return;
  int current = Position();
  int count = parent->ChildCount();
  int target = index < 0 ? 0 : index;
  if (count >= 1 && target >= count) target = count - 1;
  if (target == current) return;
  if (current >= 0) parent->RemoveChild(this);
  parent->InsertChild(target, this);
}

void TppRelative::SetChildType(int32_t value) {
  TppRelative* parent = parent_;
  if (!parent) {
    childType_ = value;
    return;
  }
  parent->RemoveChild(this);
  childType_ = value;
  parent->AddChild(this);
}

void TppRelative::ForEachChild(const TppChildCallback& callback) {
  for (int i = 0; i < children_.Count(); ++i) callback(children_[i]);
  IterateExtraObjects(callback);
}

void TppRelative::FreeChildren() {
  freeingChildren_ = true;
  while (children_.Count() > 0) {
    int n = children_.Count();
    TppRelative* child = children_[n - 1];
    child->Free();  // its teardown takes it out of this list
    if (children_.Count() == n && children_[n - 1] == child) children_.Delete(n - 1);
  }
  freeingChildren_ = false;
}

void TppRelative::RestoreChildOrder() {
  if (!orderedChildren_ || children_.Count() == 0) return;
  int count = children_.Count();
  std::vector<TppRelative*> slots(static_cast<size_t>(count), nullptr);
  for (TppRelative* c : children_)
    if (c->savedPosition_ >= 0 && c->savedPosition_ < count) slots[static_cast<size_t>(c->savedPosition_)] = c;
  for (int i = 0; i < count; ++i)
    if (slots[static_cast<size_t>(i)] && slots[static_cast<size_t>(i)]->parent_ == this)
      slots[static_cast<size_t>(i)]->MoveToPosition(i);
}

void TppRelative::Transfer(TppCommunicator* other) {
  auto* from = cls::ObjectAs<TppRelative>(other);
  // Not from one of its own descendants: freeing the children would free it.
  if (!from || IsAncestorOrSelf(from)) return;
  orderedChildren_ = from->orderedChildren_;
  SetParent(from->parent_);
  FreeChildren();
  int count = from->ChildCount();
  for (int i = 0; i < count && from->ChildCount() > 0; ++i) {
    TppRelative* child = from->children_[0];
    child->SetParent(this);
    if (child->parent_ != this) break;  // refused (it would make a cycle)
    if (child->Owner() == from->Owner()) child->ChangeOwner(Owner());
  }
}

void TppRelative::InvalidateDesign() {
  if (parent_) parent_->InvalidateDesign();
  DesignInvalidated();
}

void TppRelative::ChangeOwner(cls::TComponent* newOwner) {
  cls::TComponent* old = Owner();
  if (old == newOwner) return;
  inherited::ChangeOwner(newOwner);
  std::vector<TppRelative*> kids(children_.begin(), children_.end());
  for (TppRelative* c : kids)
    if (c->Owner() == old) c->ChangeOwner(newOwner);
}

void TppRelative::Loaded() {
  inherited::Loaded();
  RestoreChildOrder();
}

void TppRelative::SetParentComponent(cls::TComponent* parent) {
  if (auto* r = cls::ObjectAs<TppRelative>(parent)) SetParent(r);
}

void TppRelative::GetChildren(const std::function<void(cls::TComponent*)>& proc, cls::TComponent*) {
  ForEachChild(proc);
}

void TppRelative::DefineProperties(cls::TFiler* filer) {
  inherited::DefineProperties(filer);
  if (cls::GetPropInfo(ClassType(), "ChildType")) return;
  filer->DefineProperty(
      "ChildType", [this](cls::TReader& r) { childType_ = static_cast<int32_t>(r.ReadInteger()); }, nullptr, false);
}

// ---- scripting ----

RA_IMPLEMENT_RTTI(TraTppRelativeRTTI)

const TraMembers* TraTppRelativeRTTI::Members() const {
  using C = TppRelative;
  static const TraMembers members(
      inherited::Members(),
      {raProperty<C, daInteger>("AllChildCount", &C::GetAllChildCount),
       raProperty<C, daInteger>("ChildCount", &C::ChildCount),
       raProperty<C, daBoolean>("FreeingChildren", &C::FreeingChildren),
       raProperty<C, daInteger>("Index", &C::GetIndex),
       raProperty<C, daInteger>("ChildType", &C::ChildType, &C::SetChildType),
       raProperty<C, daInteger>("Position", &C::Position, &C::SetPosition),
       raProperty<C, daBoolean>("OrderedChildren", &C::OrderedChildren, &C::SetOrderedChildren),
       raObjectProperty<C, TppRelative>("Parent", &C::Parent, &C::SetParent)});
  return &members;
}
