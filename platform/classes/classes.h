// The class-library base: objects with class references, persistent
// objects, components with owners and free notices, pointer lists, string
// lists and 256-bit sets.
//
// Lifetime: objects are freed with Free(). Free() first runs the virtual
// BeforeDestruction() (each class does its teardown there, with the whole
// object still alive, then calls its base's) and then deletes the object.
// Destructors only release memory and never throw.
#pragma once
#include <algorithm>
#include <bitset>
#include <cstdint>
#include <functional>
#include <memory>
#include <string>
#include <type_traits>
#include <unordered_map>
#include <utility>
#include <vector>

#include "platform/classes/filer.h"
#include "platform/classes/methods.h"
#include "platform/classes/sysutils.h"

namespace cls {

class TObject;
class TComponent;
struct TClassInfo;
struct TPropInfo;
struct TMethodInfo;
using TClass = const TClassInfo*;

// Class reference: name, parent, virtual constructor and published tables.
struct TClassInfo {
  std::string Name;
  TClass Parent = nullptr;
  // The virtual constructor; nullptr for a class that cannot be made by name.
  TComponent* (*Create)(TComponent* owner) = nullptr;
  // Published properties and methods introduced by this class (in order).
  std::vector<TPropInfo>* Props = nullptr;
  std::vector<TMethodInfo>* Methods = nullptr;

  bool InheritsFrom(TClass other) const {
    for (TClass c = this; c; c = c->Parent)
      if (c == other) return true;
    return false;
  }
};

class TObject;
// A holder may forbid everyone else to free an object it keeps: Free() then
// calls RAISE, which throws, before anything of the object is touched. The
// holder lifts the guard before it frees the object itself. Nothing is
// raised while an exception unwinds the stack (the object is let go then).
void GuardFree(const TObject* object, std::function<void()> raise);
void UnguardFree(const TObject* object);
bool IsFreeGuarded(const TObject* object);
// Raises the guard's error when OBJECT is guarded (Free's first step).
void CheckFree(const TObject* object);

class TObject {
 public:
  TObject() = default;
  TObject(const TObject&) = delete;
  TObject& operator=(const TObject&) = delete;
  // Drops a guard left on the object.
  virtual ~TObject();

  static TClassInfo& StaticClass();
  virtual TClass ClassType() const { return &StaticClass(); }
  const std::string& ClassName() const { return ClassType()->Name; }
  TClass ClassParent() const { return ClassType()->Parent; }
  bool InheritsFrom(TClass c) const { return ClassType()->InheritsFrom(c); }

  // Teardown with the whole object alive; see the file comment.
  virtual void BeforeDestruction() {}
  // A class may put its freeing off (a form inside one of its own
  // handlers); when the time comes it calls TObject::Free.
  virtual void Free() {
    CheckFree(this);
    BeforeDestruction();
    delete this;
  }
};

// Frees the object (nil does nothing) and clears the reference first.
template <class T>
void FreeAndNil(T*& p) {
  T* q = p;
  p = nullptr;
  if (q) q->Free();
}

// Sets FLAG for a scope and gives it back its value on leaving, however
// the scope is left.
class TFlagScope {
 public:
  explicit TFlagScope(bool& flag) : flag_(flag), saved_(flag) { flag_ = true; }
  ~TFlagScope() { flag_ = saved_; }
  TFlagScope(const TFlagScope&) = delete;
  TFlagScope& operator=(const TFlagScope&) = delete;

 private:
  bool& flag_;
  bool saved_;
};

// Frees an object through Free() (a unique_ptr deleter).
struct TFreeObject {
  void operator()(TObject* o) const {
    if (o) o->Free();
  }
};

// An owned class-library object: freed through Free(), never deleted
// directly. Moving hands the object on; reset() frees it now.
template <class T>
class Owned {
 public:
  Owned() = default;
  explicit Owned(T* p) : p_(p) {}
  Owned(Owned&& o) noexcept : p_(o.release()) {}
  // An owned object of a descendant class becomes one of this class.
  template <class U, class = std::enable_if_t<std::is_convertible_v<U*, T*>>>
  Owned(Owned<U>&& o) noexcept : p_(o.release()) {}
  Owned& operator=(Owned&& o) noexcept {
    if (this != &o) reset(o.release());
    return *this;
  }
  Owned(const Owned&) = delete;
  Owned& operator=(const Owned&) = delete;
  ~Owned() { reset(); }

  T* get() const { return p_; }
  T* operator->() const { return p_; }
  T& operator*() const { return *p_; }
  explicit operator bool() const { return p_ != nullptr; }
  // Gives the object up without freeing it.
  T* release() {
    T* q = p_;
    p_ = nullptr;
    return q;
  }
  // Frees the object held (the reference is cleared first) and holds P.
  void reset(T* p = nullptr) {
    T* q = p_;
    p_ = p;
    if (q) q->Free();
  }

 private:
  T* p_ = nullptr;
};

template <class T, class... Args>
Owned<T> MakeOwned(Args&&... args) {
  return Owned<T>(new T(std::forward<Args>(args)...));
}

// Checked conversion of an object to a class; nullptr when it is not one.
template <class T>
T* ObjectAs(TObject* o) {
  return o && o->InheritsFrom(&T::StaticClass()) ? static_cast<T*>(o) : nullptr;
}
template <class T>
const T* ObjectAs(const TObject* o) {
  return o && o->InheritsFrom(&T::StaticClass()) ? static_cast<const T*>(o) : nullptr;
}
template <class T>
bool ObjectIs(const TObject* o) {
  return o && o->InheritsFrom(&T::StaticClass());
}

// In a class body: the class reference of CLASS, a descendant of PARENT.
#define CLS_DECLARE_CLASS(Class, ParentClass) \
 public:                                      \
  using inherited = ParentClass;              \
  static ::cls::TClassInfo& StaticClass();    \
  ::cls::TClass ClassType() const override { return &StaticClass(); }

// In a source file. CLS_IMPLEMENT_CLASS for classes that cannot be made by
// name, CLS_IMPLEMENT_COMPONENT for components with a (TComponent* owner)
// constructor.
#define CLS_IMPLEMENT_CLASS(Class)                                       \
  ::cls::TClassInfo& Class::StaticClass() {                              \
    static ::cls::TClassInfo info{#Class, &inherited::StaticClass()};    \
    return info;                                                         \
  }
#define CLS_IMPLEMENT_COMPONENT(Class)                                           \
  ::cls::TClassInfo& Class::StaticClass() {                                      \
    static ::cls::TClassInfo info{#Class, &inherited::StaticClass(),             \
                                  [](::cls::TComponent* owner) -> ::cls::TComponent* { \
                                    return new Class(owner);                     \
                                  }};                                            \
    return info;                                                                 \
  }

// The screen as the class library knows it.
struct TScreen {
  int PixelsPerInch = 96;
};
TScreen& Screen();

// The class library's global name-space lock. Its writers (form
// construction, a printer run's clean-up) exclude each other; a thread that
// holds it may take it again. Held briefly, never around a user event.
void BeginGlobalNameSpaceWrite();
void EndGlobalNameSpaceWrite();
class TGlobalNameSpaceWrite {
 public:
  TGlobalNameSpaceWrite() { BeginGlobalNameSpaceWrite(); }
  ~TGlobalNameSpaceWrite() { EndGlobalNameSpaceWrite(); }
  TGlobalNameSpaceWrite(const TGlobalNameSpaceWrite&) = delete;
  TGlobalNameSpaceWrite& operator=(const TGlobalNameSpaceWrite&) = delete;
};

// Set once a worker thread has been started (background printing sets it);
// never cleared.
bool IsMultiThread();
void SetMultiThread();

// Process-wide registry of classes by name (streams name their classes).
void RegisterClass(TClass c);
void UnregisterClass(TClass c);
TClass FindClass(const std::string& name);  // nullptr when not registered
TClass GetClass(const std::string& name);   // raises EClassNotFound

// Pointer list.
template <class T>
class TPtrList {
 public:
  int Count() const { return static_cast<int>(items_.size()); }
  T* operator[](int i) const { return Get(i); }
  T* Get(int i) const {
    Check(i);
    return items_[i];
  }
  void Put(int i, T* p) {
    Check(i);
    items_[i] = p;
  }
  int Add(T* p) {
    items_.push_back(p);
    return Count() - 1;
  }
  void Insert(int i, T* p) {
    if (i < 0 || i > Count()) throw EListError("List index out of bounds (" + std::to_string(i) + ")");
    items_.insert(items_.begin() + i, p);
  }
  void Delete(int i) {
    Check(i);
    items_.erase(items_.begin() + i);
  }
  int IndexOf(const T* p) const {
    for (size_t i = 0; i < items_.size(); ++i)
      if (items_[i] == p) return static_cast<int>(i);
    return -1;
  }
  bool Contains(const T* p) const { return IndexOf(p) >= 0; }
  int Remove(const T* p) {
    int i = IndexOf(p);
    if (i >= 0) Delete(i);
    return i;
  }
  void Move(int from, int to) {
    Check(from);
    Check(to);
    T* p = items_[from];
    items_.erase(items_.begin() + from);
    items_.insert(items_.begin() + to, p);
  }
  void Exchange(int a, int b) {
    Check(a);
    Check(b);
    std::swap(items_[a], items_[b]);
  }
  void Clear() { items_.clear(); }
  T* First() const { return Get(0); }
  T* Last() const { return Get(Count() - 1); }
  void Sort(const std::function<bool(T*, T*)>& less) { std::stable_sort(items_.begin(), items_.end(), less); }
  typename std::vector<T*>::const_iterator begin() const { return items_.begin(); }
  typename std::vector<T*>::const_iterator end() const { return items_.end(); }

 private:
  void Check(int i) const {
    if (i < 0 || i >= Count()) throw EListError("List index out of bounds (" + std::to_string(i) + ")");
  }
  std::vector<T*> items_;
};
using TList = TPtrList<void>;

// Set of the values 0 to 255; values outside are never members.
class TSet256 {
 public:
  void Include(int v) {
    if (v >= 0 && v < 256) bits_.set(v);
  }
  void Exclude(int v) {
    if (v >= 0 && v < 256) bits_.reset(v);
  }
  bool Contains(int v) const { return v >= 0 && v < 256 && bits_.test(v); }
  bool Empty() const { return bits_.none(); }
  void Clear() { bits_.reset(); }
  bool operator==(const TSet256& o) const { return bits_ == o.bits_; }

 private:
  std::bitset<256> bits_;
};

class TPersistent : public TObject {
  CLS_DECLARE_CLASS(TPersistent, TObject)
 public:
  // Copies SOURCE into this object; raises EConvertError when neither side
  // knows how.
  virtual void Assign(TPersistent* source);
  // Stream properties beyond the published ones.
  virtual void DefineProperties(TFiler*) {}

 protected:
  virtual void AssignTo(TPersistent* dest);
};

// The components a component tells when it goes: in the order added, each
// once. A long list (a band every drawn command of a kept page links to)
// also indexes its positions, so adding, finding and removing stay O(1).
class TNoticeList {
 public:
  TNoticeList() = default;
  TNoticeList(const TNoticeList&) = delete;
  TNoticeList& operator=(const TNoticeList&) = delete;
  bool Empty() const { return items_.empty(); }
  bool Contains(TComponent* c) const;
  void Add(TComponent* c);  // nothing when present
  void Remove(TComponent* c);
  TComponent* PopBack();
  void Clear();
  template <class F>
  void ForEach(F f) const {
    for (TComponent* c : items_)
      if (c) f(c);
  }

 private:
  void Trim();
  // The slot holding C, or the free slot where it would go.
  size_t Probe(const TComponent* c) const;
  size_t Home(const TComponent* c) const;
  // Frees slot I, moving up the ones that probed past it.
  void Unindex(size_t i);
  // Indexes every entry anew in 2^BITS slots.
  void Reindex(unsigned bits);
  // nullptr where one was removed from an indexed list; never last.
  std::vector<TComponent*> items_;
  // Open addressing with linear probing, at most half full: each slot holds
  // a place in items_ plus one (0: free). Empty while the list is short.
  std::vector<uint32_t> index_;
  unsigned bits_ = 0;
  size_t indexed_ = 0;
};

enum TComponentStateFlag { csLoading, csReading, csWriting, csDesigning, csDestroying };
enum TOperation { opInsert, opRemove };

class TComponent : public TPersistent {
  CLS_DECLARE_CLASS(TComponent, TPersistent)
 public:
  explicit TComponent(TComponent* owner);
  ~TComponent() override;
  void BeforeDestruction() override;

  TComponent* Owner() const { return owner_; }
  int ComponentCount() const { return static_cast<int>(Owned().size()); }
  TComponent* Components(int i) const;
  int ComponentIndex() const;
  TComponent* FindComponent(const std::string& name) const;

  const std::string& Name() const { return extra_ ? extra_->name : NoName(); }
  // Valid identifier (or empty) and unique among the owner's components;
  // EComponentError otherwise.
  virtual void SetName(const std::string& name);
  int64_t Tag() const { return tag_; }
  void SetTag(int64_t tag) { tag_ = tag; }

  bool HasState(TComponentStateFlag f) const { return (state_ >> f) & 1u; }
  unsigned ComponentState() const { return state_; }
  void SetDesigning(bool on);
  // Loading protocol of component streams.
  void BeginLoading();    // sets loading and reading
  void EndReading();      // clears reading
  void FinishLoading();   // clears loading and calls Loaded
  virtual void Loaded();
  // Set while a component stream writes the component.
  void SetWriting(bool on) { SetStateFlag(csWriting, on); }

  void InsertComponent(TComponent* c);
  void RemoveComponent(TComponent* c);
  // Frees the owned components, last first.
  void DestroyComponents();

  // Both components learn when the other is freed (opRemove).
  void FreeNotification(TComponent* c);
  void RemoveFreeNotification(TComponent* c);
  // Passes the notice on to the owned components that take notices, last
  // first: those with free notices, those whose class has a Notification
  // of its own and those that own such. The others could do nothing with
  // it and are not visited. A component is first looked at when a removal
  // is told, so an insertion reaches only those known by then.
  virtual void Notification(TComponent* c, TOperation op);

  // Streaming hooks for components that live inside a parent component.
  virtual bool HasParent() const { return false; }
  virtual TComponent* GetParentComponent() const { return nullptr; }
  virtual void SetParentComponent(TComponent*) {}
  virtual void GetChildren(const std::function<void(TComponent*)>& proc, TComponent* root);

 protected:
  void SetStateFlag(TComponentStateFlag f, bool on) {
    if (on) state_ |= 1u << f;
    else state_ &= ~(1u << f);
  }
  // Stores the name without checks (and without notices).
  void ChangeName(const std::string& name) {
    if (extra_ || !name.empty()) OwnExtra().name = name;
  }
  virtual void ValidateRename(TComponent* c, const std::string& curName, const std::string& newName);
  // Moves within or out of the owned list without notices.
  void InsertOwned(TComponent* c, int index = -1);
  void RemoveOwned(TComponent* c);

 private:
  void Teardown();
  // What many components never get (owned components, free notices, a
  // name), made on first need: the objects made a page at a time stay
  // small.
  struct Extra {
    // nullptr where one was removed from the middle (holes), never last;
    // Owned() closes the gaps.
    std::vector<TComponent*> components;
    size_t holes = 0;
    // The owned components that take notices, in owned order, and those not
    // yet looked at (their class is known once they are made).
    std::vector<TComponent*> listeners, unsorted;
    TNoticeList freeNotifies;
    std::string name;
  };
  Extra& OwnExtra() {
    if (!extra_) extra_ = std::make_unique<Extra>();
    return *extra_;
  }
  static const std::vector<TComponent*>& NoComponents();
  static const std::string& NoName();
  const std::vector<TComponent*>& Owned() const {
    if (!extra_) return NoComponents();
    if (extra_->holes) CloseGaps();
    return extra_->components;
  }
  void CloseGaps() const;
  // From now on this component takes its owner's notices (and so does the
  // owner from its own owner, to pass them on).
  void TakeNotices();
  void AddListener(TComponent* c);
  // Sorts the owned components not yet looked at, all but EXCEPT (still
  // being made).
  void SortUnsorted(const TComponent* except);
  bool HasOwnNotification() const;
  // C forgets this component among its free notices.
  void DropFreeNotify(TComponent* c);

  TComponent* owner_ = nullptr;
  std::unique_ptr<Extra> extra_;
  int64_t tag_ = 0;
  unsigned state_ = 0;
  int32_t ownedIndex_ = -1;  // the place in the owner's list, holes counted
  bool tornDown_ = false;
  enum : uint8_t { kNotSorted, kNoNotices, kTakesNotices } notices_ = kNotSorted;
};

// Strings with attached objects, sorted or in insertion order; compares
// with AnsiCompareText unless CaseSensitive. A list that owns its objects
// frees them (through Free) when they are deleted, cleared, replaced by
// PutObject, or when the list goes; it must not be given another list's
// objects by Assign or AddStrings.
class TStringList : public TPersistent {
  CLS_DECLARE_CLASS(TStringList, TPersistent)
 public:
  enum TDuplicates { dupIgnore, dupAccept, dupError };
  TStringList() = default;
  explicit TStringList(bool ownsObjects) : ownsObjects_(ownsObjects) {}
  ~TStringList() override;
  bool OwnsObjects() const { return ownsObjects_; }
  void SetOwnsObjects(bool v) { ownsObjects_ = v; }

  int Count() const { return static_cast<int>(items_.size()); }
  // Room for N entries without growing (never less than Count()).
  void SetCapacity(int n) { items_.reserve(static_cast<size_t>(std::max(n, 0))); }
  const std::string& Strings(int i) const;
  std::string operator[](int i) const { return Strings(i); }
  void Put(int i, const std::string& s);
  TObject* Objects(int i) const;
  void PutObject(int i, TObject* o);

  int Add(const std::string& s) { return AddObject(s, nullptr); }
  int AddObject(const std::string& s, TObject* o);
  void Insert(int i, const std::string& s) { InsertObject(i, s, nullptr); }
  void InsertObject(int i, const std::string& s, TObject* o);
  void Delete(int i);
  void Clear();
  void Exchange(int a, int b);
  void Move(int from, int to);
  int IndexOf(const std::string& s) const;
  int IndexOfObject(const TObject* o) const;
  int IndexOfName(const std::string& name) const;
  // Binary search of a sorted list: true when found; INDEX is the place.
  bool Find(const std::string& s, int& index) const;
  void AddStrings(const TStringList& other);
  void Assign(TPersistent* source) override;

  bool Sorted() const { return sorted_; }
  void SetSorted(bool v);
  void Sort();
  void CustomSort(const std::function<int(const TStringList&, int, int)>& compare);
  TDuplicates Duplicates() const { return duplicates_; }
  void SetDuplicates(TDuplicates d) { duplicates_ = d; }
  bool CaseSensitive() const { return caseSensitive_; }
  void SetCaseSensitive(bool v);

  // Lines joined with CR LF, each ended by one.
  std::string Text() const;
  void SetText(const std::string& text);
  // Comma-separated, with quotes around entries holding spaces, commas or quotes.
  std::string CommaText() const;
  void SetCommaText(const std::string& text);
  std::string Names(int i) const;
  std::string Values(const std::string& name) const;
  void SetValue(const std::string& name, const std::string& value);

  int CompareStrings(const std::string& a, const std::string& b) const;

  // Grows with every change to the entries: equal counts, equal entries.
  uint64_t Changes() const { return changes_; }

 private:
  struct Item {
    std::string s;
    TObject* o;
  };
  void Check(int i) const;
  std::vector<Item> items_;
  bool sorted_ = false;
  bool caseSensitive_ = false;
  TDuplicates duplicates_ = dupIgnore;
  bool ownsObjects_ = false;
  uint64_t changes_ = 0;
};

}  // namespace cls
