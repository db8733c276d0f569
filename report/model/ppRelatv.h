// TppRelative: a communicator with a parent and ordered children. The
// relative tree orders layout and streaming; ownership stays with the
// component owner, but a parent frees its children, whoever owns them.
#pragma once
#include <functional>

#include "report/model/ppComm.h"

class TppRelative;

using TppChildCallback = std::function<void(cls::TComponent* child)>;

class TppRelative : public TppCommunicator {
  CLS_DECLARE_CLASS(TppRelative, TppCommunicator)
 public:
  explicit TppRelative(cls::TComponent* owner);
  ~TppRelative() override;
  void BeforeDestruction() override;

  TppRelative* Parent() const { return parent_; }
  int ChildCount() const { return children_.Count(); }
  TppRelative* GetChild(int index) const;
  int32_t ChildType() const { return childType_; }
  void SetChildType(int32_t value);
  bool FreeingChildren() const { return freeingChildren_; }
  bool OrderedChildren() const { return orderedChildren_; }
  void SetOrderedChildren(bool v) { orderedChildren_ = v; }

  // Index among the parent's children, -1 without a parent. While reading
  // from a stream, setting it only keeps the value for RestoreChildOrder.
  int Position() const { return GetIndex(); }
  void SetPosition(int value);
  int GetIndex() const;
  int SavedPosition() const { return savedPosition_; }
  void MoveToPosition(int index);
  void ForEachChild(const TppChildCallback& callback);
  void FreeChildren();
  // Puts children back at their saved positions (OrderedChildren only).
  void RestoreChildOrder();

  // Virtual operations, in slot order.
  virtual bool IsProducer() const { return false; }
  virtual void DesignInvalidated() {}
  // A parent that is this object or one of its descendants is refused.
  virtual void SetParent(TppRelative* parent);
  virtual int GetAllChildCount() const { return children_.Count(); }
  virtual TppRelative* GetAllChild(int index) const { return GetChild(index); }
  virtual void IterateExtraObjects(const TppChildCallback&) {}
  virtual void AddChild(TppRelative* child);
  virtual void InsertChild(int index, TppRelative* child);
  virtual int IndexOfChild(const TppRelative* child) const { return ChildIndex(child); }
  virtual void RemoveChild(TppRelative* child);
  virtual void Transfer(TppCommunicator* other);

  // Overrides.
  void InvalidateDesign() override;
  void ChangeOwner(cls::TComponent* newOwner) override;
  void Loaded() override;
  // Streams without a published ChildType still read an old "ChildType".
  void DefineProperties(cls::TFiler* filer) override;
  bool HasParent() const override { return true; }
  cls::TComponent* GetParentComponent() const override { return parent_; }
  void SetParentComponent(cls::TComponent* parent) override;
  void GetChildren(const std::function<void(cls::TComponent*)>& proc, cls::TComponent* root) override;

 private:
  bool IsAncestorOrSelf(const TppRelative* other) const;
  // CHILD's index in the list, -1 when it is not there: its parent link
  // says whether, its hint (checked) or a search from the end where.
  int ChildIndex(const TppRelative* child) const;
  cls::TPtrList<TppRelative> children_;
  int32_t childType_ = 0;
  bool freeingChildren_ = false;
  bool orderedChildren_ = false;
  TppRelative* parent_ = nullptr;
  int savedPosition_ = -1;
  mutable int indexHint_ = -1;  // where it was put in its parent's list
};

// By-name access to the tree: counts, index, child type, position, order and
// parent.
class TraTppRelativeRTTI : public TraTppCommunicatorRTTI {
  RA_DECLARE_RTTI(TraTppRelativeRTTI, TraTppCommunicatorRTTI, TppRelative)
};
