#include "platform/classes/classes.h"
#include "platform/classes/registered.h"

#include <atomic>
#include <exception>
#include <map>
#include <mutex>

#include "platform/classes/typinfo.h"
#include "platform/sysroot/codepage.h"

namespace cls {

TObject::~TObject() { UnguardFree(this); }

TClassInfo& TObject::StaticClass() {
  static TClassInfo info{"TObject", nullptr};
  return info;
}

TScreen& Screen() {
  static TScreen screen;
  return screen;
}

// ---- global name space ----

namespace {
std::recursive_mutex& NameSpaceMutex() {
  static std::recursive_mutex m;
  return m;
}
}  // namespace

void BeginGlobalNameSpaceWrite() { NameSpaceMutex().lock(); }
void EndGlobalNameSpaceWrite() { NameSpaceMutex().unlock(); }

// ---- threads ----

namespace {
std::atomic<bool> g_multiThread{false};
}  // namespace

bool IsMultiThread() { return g_multiThread.load(); }
void SetMultiThread() { g_multiThread.store(true); }

// ---- free guards ----

namespace {
std::atomic<int> g_freeGuards{0};
std::mutex g_freeGuardMutex;
std::map<const TObject*, std::function<void()>>& FreeGuards() {
  static std::map<const TObject*, std::function<void()>> m;
  return m;
}
}  // namespace

void GuardFree(const TObject* object, std::function<void()> raise) {
  if (!object || !raise) return;
  std::lock_guard<std::mutex> lock(g_freeGuardMutex);
  FreeGuards()[object] = std::move(raise);
  g_freeGuards.store(static_cast<int>(FreeGuards().size()));
}

void UnguardFree(const TObject* object) {
  if (g_freeGuards.load() == 0) return;
  std::lock_guard<std::mutex> lock(g_freeGuardMutex);
  FreeGuards().erase(object);
  g_freeGuards.store(static_cast<int>(FreeGuards().size()));
}

bool IsFreeGuarded(const TObject* object) {
  if (g_freeGuards.load() == 0) return false;
  std::lock_guard<std::mutex> lock(g_freeGuardMutex);
  return FreeGuards().count(object) != 0;
}

void CheckFree(const TObject* object) {
  if (g_freeGuards.load() == 0) return;
  std::function<void()> raise;
  {
    std::lock_guard<std::mutex> lock(g_freeGuardMutex);
    auto it = FreeGuards().find(object);
    if (it == FreeGuards().end()) return;
    if (std::uncaught_exceptions() > 0) {
      // Unwinding: let the object go rather than throw a second time.
      FreeGuards().erase(it);
      g_freeGuards.store(static_cast<int>(FreeGuards().size()));
      return;
    }
    raise = it->second;
  }
  raise();
}

// ---- class registry ----

namespace {
std::mutex g_registryMutex;
std::vector<TClass>& Registry() {
  static std::vector<TClass> v;
  return v;
}
}  // namespace

void RegisterClass(TClass c) {
  if (!c) return;
  std::lock_guard<std::mutex> lock(g_registryMutex);
  for (TClass r : Registry())
    if (r == c) return;
  for (TClass r : Registry())
    if (SameText(r->Name, c->Name)) throw EComponentError("Class " + c->Name + " already registered");
  Registry().push_back(c);
}

void UnregisterClass(TClass c) {
  std::lock_guard<std::mutex> lock(g_registryMutex);
  auto& v = Registry();
  v.erase(std::remove(v.begin(), v.end(), c), v.end());
}

TClass FindClass(const std::string& name) {
  std::lock_guard<std::mutex> lock(g_registryMutex);
  for (TClass r : Registry())
    if (SameText(r->Name, name)) return r;
  return nullptr;
}

std::vector<TClass> RegisteredClasses() {
  std::lock_guard<std::mutex> lock(g_registryMutex);
  return Registry();
}

TClass GetClass(const std::string& name) {
  TClass c = FindClass(name);
  if (!c) throw EClassNotFound("Class " + name + " not found");
  return c;
}

// ---- TPersistent ----

CLS_IMPLEMENT_CLASS(TPersistent)

void TPersistent::Assign(TPersistent* source) {
  if (source) {
    source->AssignTo(this);
    return;
  }
  throw EConvertError("Cannot assign a nil to a " + ClassName());
}

void TPersistent::AssignTo(TPersistent* dest) {
  std::string from = ClassName();
  throw EConvertError("Cannot assign a " + from + " to a " + dest->ClassName());
}

// ---- TNoticeList ----

namespace {
constexpr size_t kIndexedNotices = 16;

// The fewest bits of an index that holds N entries at most a quarter full.
unsigned IndexBits(size_t n) {
  unsigned bits = 6;
  while ((size_t{1} << bits) < 4 * n) ++bits;
  return bits;
}
}  // namespace

size_t TNoticeList::Home(const TComponent* c) const {
  const uint64_t key = static_cast<uint64_t>(reinterpret_cast<uintptr_t>(c));
  return static_cast<size_t>((key * 0x9E3779B97F4A7C15ull) >> (64 - bits_));
}

size_t TNoticeList::Probe(const TComponent* c) const {
  const size_t mask = index_.size() - 1;
  size_t i = Home(c);
  while (index_[i] && items_[index_[i] - 1] != c) i = (i + 1) & mask;
  return i;
}

void TNoticeList::Unindex(size_t i) {
  const size_t mask = index_.size() - 1;
  for (size_t j = (i + 1) & mask; index_[j]; j = (j + 1) & mask) {
    // Slot j stays where its probe began after the freed slot.
    const size_t home = Home(items_[index_[j] - 1]);
    if (((j - home) & mask) < ((j - i) & mask)) continue;
    index_[i] = index_[j];
    i = j;
  }
  index_[i] = 0;
  --indexed_;
}

void TNoticeList::Reindex(unsigned bits) {
  index_.assign(size_t{1} << bits, 0);
  bits_ = bits;
  indexed_ = 0;
  for (size_t at = 0; at < items_.size(); ++at) {
    if (!items_[at]) continue;
    index_[Probe(items_[at])] = static_cast<uint32_t>(at + 1);
    ++indexed_;
  }
}

bool TNoticeList::Contains(TComponent* c) const {
  if (!index_.empty()) return index_[Probe(c)] != 0;
  return std::find(items_.begin(), items_.end(), c) != items_.end();
}

void TNoticeList::Add(TComponent* c) {
  if (index_.empty()) {
    if (std::find(items_.begin(), items_.end(), c) != items_.end()) return;
    items_.push_back(c);
    if (items_.size() >= kIndexedNotices) Reindex(IndexBits(items_.size()));
    return;
  }
  const size_t i = Probe(c);
  if (index_[i]) return;
  items_.push_back(c);
  if (2 * (indexed_ + 1) > index_.size()) {
    Reindex(bits_ + 1);
    return;
  }
  index_[i] = static_cast<uint32_t>(items_.size());
  ++indexed_;
}

void TNoticeList::Remove(TComponent* c) {
  if (index_.empty()) {
    items_.erase(std::remove(items_.begin(), items_.end(), c), items_.end());
    return;
  }
  const size_t i = Probe(c);
  if (!index_[i]) return;
  const size_t at = index_[i] - 1;
  Unindex(i);
  items_[at] = nullptr;
  Trim();
  // Closed up once the gaps outnumber the entries; the index shrinks with it.
  if (items_.size() <= 2 * indexed_) return;
  items_.erase(std::remove(items_.begin(), items_.end(), nullptr), items_.end());
  Reindex(IndexBits(items_.size()));
}

TComponent* TNoticeList::PopBack() {
  TComponent* c = items_.back();
  if (!index_.empty()) {
    const size_t i = Probe(c);
    if (index_[i]) Unindex(i);
  }
  items_.pop_back();
  Trim();
  return c;
}

void TNoticeList::Clear() {
  items_.clear();
  std::vector<uint32_t>().swap(index_);
  bits_ = 0;
  indexed_ = 0;
}

void TNoticeList::Trim() {
  while (!items_.empty() && !items_.back()) items_.pop_back();
}

// ---- TComponent ----

CLS_IMPLEMENT_COMPONENT(TComponent)

TComponent::TComponent(TComponent* owner) {
  if (owner) owner->InsertComponent(this);
}

const std::vector<TComponent*>& TComponent::NoComponents() {
  static const std::vector<TComponent*> none;
  return none;
}

const std::string& TComponent::NoName() {
  static const std::string none;
  return none;
}

void TComponent::DropFreeNotify(TComponent* c) {
  if (c->extra_) c->extra_->freeNotifies.Remove(this);
}

TComponent::~TComponent() {
  // Not freed through Free() (a stack object): let go of every link without
  // notices or virtual calls, which belong in BeforeDestruction.
  if (tornDown_) return;
  tornDown_ = true;
  if (!extra_) {
    if (owner_) owner_->RemoveOwned(this);
    return;
  }
  extra_->freeNotifies.ForEach([this](TComponent* c) { DropFreeNotify(c); });
  extra_->freeNotifies.Clear();
  while (!extra_->components.empty()) {
    TComponent* c = extra_->components.back();
    RemoveOwned(c);
    c->Free();
  }
  if (owner_) owner_->RemoveOwned(this);
}

void TComponent::BeforeDestruction() { Teardown(); }

void TComponent::Teardown() {
  if (tornDown_) return;
  tornDown_ = true;
  SetStateFlag(csDestroying, true);
  // Free notices: each side forgets the other.
  while (extra_ && !extra_->freeNotifies.Empty()) {
    TComponent* c = extra_->freeNotifies.PopBack();
    DropFreeNotify(c);
    c->Notification(this, opRemove);
  }
  DestroyComponents();
  if (owner_) owner_->RemoveComponent(this);
}

TComponent* TComponent::Components(int i) const {
  if (i < 0 || i >= ComponentCount()) throw EListError("List index out of bounds (" + std::to_string(i) + ")");
  return Owned()[static_cast<size_t>(i)];
}

int TComponent::ComponentIndex() const {
  if (!owner_) return -1;
  owner_->Owned();  // the gaps closed: the index is the place
  return ownedIndex_;
}

TComponent* TComponent::FindComponent(const std::string& name) const {
  if (name.empty()) return nullptr;
  for (TComponent* c : Owned())
    if (SameText(c->Name(), name)) return c;
  return nullptr;
}

void TComponent::SetName(const std::string& name) {
  if (Name() == name) return;
  if (!name.empty() && !IsValidIdent(name))
    throw EComponentError("'" + name + "' is not a valid component name");
  if (owner_)
    owner_->ValidateRename(this, Name(), name);
  else
    ValidateRename(nullptr, Name(), name);
  ChangeName(name);
}

void TComponent::ValidateRename(TComponent* c, const std::string& curName, const std::string& newName) {
  if (c && !SameText(curName, newName) && !newName.empty()) {
    TComponent* other = FindComponent(newName);
    if (other && other != c) throw EComponentError("A component named " + newName + " already exists");
  }
}

void TComponent::SetDesigning(bool on) {
  SetStateFlag(csDesigning, on);
  for (size_t i = 0; i < Owned().size(); ++i) Owned()[i]->SetDesigning(on);
}

void TComponent::BeginLoading() {
  SetStateFlag(csLoading, true);
  SetStateFlag(csReading, true);
}
void TComponent::EndReading() { SetStateFlag(csReading, false); }
void TComponent::FinishLoading() {
  SetStateFlag(csReading, false);
  SetStateFlag(csLoading, false);
  Loaded();
}
void TComponent::Loaded() { SetStateFlag(csLoading, false); }

void TComponent::CloseGaps() const {
  auto& components = extra_->components;
  size_t kept = 0;
  for (TComponent* c : components)
    if (c) {
      c->ownedIndex_ = static_cast<int32_t>(kept);
      components[kept++] = c;
    }
  components.resize(kept);
  extra_->holes = 0;
}

void TComponent::InsertOwned(TComponent* c, int index) {
  Extra& extra = OwnExtra();
  if (extra.holes) CloseGaps();
  auto& components = extra.components;
  if (index < 0 || index > ComponentCount()) {
    c->ownedIndex_ = static_cast<int32_t>(components.size());
    components.push_back(c);
  } else {
    components.insert(components.begin() + index, c);
    for (size_t i = static_cast<size_t>(index); i < components.size(); ++i)
      components[i]->ownedIndex_ = static_cast<int32_t>(i);
  }
  c->owner_ = this;
  if (c->notices_ == kTakesNotices) AddListener(c);
  else if (c->notices_ == kNotSorted) extra.unsorted.push_back(c);
}

void TComponent::RemoveOwned(TComponent* c) {
  if (extra_) {
    auto& components = extra_->components;
    size_t at = static_cast<size_t>(c->ownedIndex_);
    if (c->ownedIndex_ < 0 || at >= components.size() || components[at] != c)
      at = static_cast<size_t>(std::find(components.begin(), components.end(), c) - components.begin());
    if (at + 1 == components.size()) {
      components.pop_back();
      while (!components.empty() && !components.back()) {
        components.pop_back();
        --extra_->holes;
      }
    } else if (at < components.size()) {
      components[at] = nullptr;
      ++extra_->holes;
    }
    if (c->notices_ != kNoNotices) {
      auto& from = c->notices_ == kTakesNotices ? extra_->listeners : extra_->unsorted;
      auto it = std::find(from.rbegin(), from.rend(), c);
      if (it != from.rend()) from.erase(std::next(it).base());
    }
  }
  c->owner_ = nullptr;
  c->ownedIndex_ = -1;
}

void TComponent::TakeNotices() {
  if (notices_ == kTakesNotices) return;
  if (owner_ && notices_ == kNotSorted) {
    auto& unsorted = owner_->extra_->unsorted;
    auto it = std::find(unsorted.rbegin(), unsorted.rend(), this);
    if (it != unsorted.rend()) unsorted.erase(std::next(it).base());
  }
  notices_ = kTakesNotices;
  if (owner_) owner_->AddListener(this);
}

void TComponent::AddListener(TComponent* c) {
  auto& listeners = OwnExtra().listeners;
  // In owned order: places only grow along the list, gaps or not.
  auto at = std::upper_bound(listeners.begin(), listeners.end(), c->ownedIndex_,
                             [](int32_t index, const TComponent* l) { return index < l->ownedIndex_; });
  listeners.insert(at, c);
  TakeNotices();
}

bool TComponent::HasOwnNotification() const {
#if defined(__GNUC__) && !defined(__clang__)
  // The function a call would reach, against the one of this class.
#pragma GCC diagnostic push
#pragma GCC diagnostic ignored "-Wpmf-conversions"
  using Fn = void (*)(TComponent*, TComponent*, TOperation);
  Fn reached = (Fn)(const_cast<TComponent*>(this)->*(&TComponent::Notification));
  Fn own = (Fn)(&TComponent::Notification);
#pragma GCC diagnostic pop
  return reached != own;
#else
  return true;  // not known: every one is visited
#endif
}

void TComponent::SortUnsorted(const TComponent* except) {
  if (!extra_ || extra_->unsorted.empty()) return;
  std::vector<TComponent*> unsorted;
  unsorted.swap(extra_->unsorted);
  for (TComponent* c : unsorted) {
    if (c == except) {
      extra_->unsorted.push_back(c);
    } else if (c->HasOwnNotification() || (c->extra_ && !c->extra_->listeners.empty())) {
      c->notices_ = kNoNotices;  // not among the unsorted any more
      c->TakeNotices();
    } else {
      c->notices_ = kNoNotices;
    }
  }
}

void TComponent::InsertComponent(TComponent* c) {
  if (!c || c->owner_ == this) return;
  ValidateRename(c, "", c->Name());
  if (c->owner_) c->owner_->RemoveComponent(c);
  InsertOwned(c);
  Notification(c, opInsert);
}

void TComponent::RemoveComponent(TComponent* c) {
  if (!c || c->owner_ != this) return;
  Notification(c, opRemove);
  RemoveOwned(c);
}

void TComponent::DestroyComponents() {
  while (!Owned().empty()) {
    TComponent* c = Owned().back();
    RemoveOwned(c);
    c->Free();
  }
}

void TComponent::FreeNotification(TComponent* c) {
  if (!c || c == this) return;
  OwnExtra().freeNotifies.Add(c);
  c->OwnExtra().freeNotifies.Add(this);
  TakeNotices();
  c->TakeNotices();
}

void TComponent::RemoveFreeNotification(TComponent* c) {
  if (!c) return;
  c->DropFreeNotify(this);
  DropFreeNotify(c);
}

void TComponent::Notification(TComponent* c, TOperation op) {
  if (op == opRemove && c) RemoveFreeNotification(c);
  // Pass the notice on to the owned components that take notices; the
  // list may change.
  if (!extra_) return;
  // Sorted when a removal is told: then they have long been made (an
  // insertion is told while the newcomer, and maybe the one making it, is
  // still being made).
  if (op == opRemove) SortUnsorted(c);
  for (size_t i = extra_->listeners.size(); i-- > 0;) {
    if (i >= extra_->listeners.size()) continue;
    TComponent* own = extra_->listeners[i];
    if (own != c) own->Notification(c, op);
  }
}

void TComponent::GetChildren(const std::function<void(TComponent*)>&, TComponent*) {}

// ---- TStringList ----

CLS_IMPLEMENT_CLASS(TStringList)

void TStringList::Check(int i) const {
  if (i < 0 || i >= Count()) throw EStringListError("List index out of bounds (" + std::to_string(i) + ")");
}

const std::string& TStringList::Strings(int i) const {
  Check(i);
  return items_[i].s;
}

void TStringList::Put(int i, const std::string& s) {
  if (sorted_) throw EStringListError("Operation not allowed on sorted list");
  Check(i);
  ++changes_;
  items_[i].s = s;
}

TStringList::~TStringList() { Clear(); }

TObject* TStringList::Objects(int i) const {
  Check(i);
  return items_[i].o;
}

void TStringList::PutObject(int i, TObject* o) {
  Check(i);
  TObject* old = items_[i].o;
  ++changes_;
  items_[i].o = o;
  if (ownsObjects_ && old && old != o) old->Free();
}

void TStringList::Clear() {
  ++changes_;
  std::vector<Item> gone;
  gone.swap(items_);
  if (!ownsObjects_) return;
  for (Item& it : gone)
    if (it.o) it.o->Free();
}

int TStringList::CompareStrings(const std::string& a, const std::string& b) const {
  if (caseSensitive_) return a.compare(b) < 0 ? -1 : (a == b ? 0 : 1);
  return AnsiCompareText(a, b);
}

bool TStringList::Find(const std::string& s, int& index) const {
  int lo = 0, hi = Count() - 1;
  bool found = false;
  while (lo <= hi) {
    int mid = (lo + hi) / 2;
    int c = CompareStrings(items_[mid].s, s);
    if (c < 0) {
      lo = mid + 1;
    } else {
      hi = mid - 1;
      if (c == 0) {
        found = true;
        if (duplicates_ != dupAccept) lo = mid;
      }
    }
  }
  index = lo;
  return found;
}

int TStringList::AddObject(const std::string& s, TObject* o) {
  int index = Count();
  if (sorted_) {
    if (Find(s, index)) {
      if (duplicates_ == dupIgnore) return index;
      if (duplicates_ == dupError) throw EStringListError("String list does not allow duplicates");
    }
  }
  ++changes_;
  items_.insert(items_.begin() + index, Item{s, o});
  return index;
}

void TStringList::InsertObject(int i, const std::string& s, TObject* o) {
  if (sorted_) throw EStringListError("Operation not allowed on sorted list");
  if (i < 0 || i > Count()) throw EStringListError("List index out of bounds (" + std::to_string(i) + ")");
  ++changes_;
  items_.insert(items_.begin() + i, Item{s, o});
}

void TStringList::Delete(int i) {
  Check(i);
  TObject* o = items_[i].o;
  ++changes_;
  items_.erase(items_.begin() + i);
  if (ownsObjects_ && o) o->Free();
}

void TStringList::Exchange(int a, int b) {
  Check(a);
  Check(b);
  ++changes_;
  std::swap(items_[a], items_[b]);
}

void TStringList::Move(int from, int to) {
  Check(from);
  Check(to);
  Item it = items_[from];
  ++changes_;
  items_.erase(items_.begin() + from);
  items_.insert(items_.begin() + to, it);
}

int TStringList::IndexOf(const std::string& s) const {
  if (sorted_) {
    int i;
    return Find(s, i) ? i : -1;
  }
  for (int i = 0; i < Count(); ++i)
    if (CompareStrings(items_[i].s, s) == 0) return i;
  return -1;
}

int TStringList::IndexOfObject(const TObject* o) const {
  for (int i = 0; i < Count(); ++i)
    if (items_[i].o == o) return i;
  return -1;
}

std::string TStringList::Names(int i) const {
  const std::string& s = Strings(i);
  size_t eq = s.find('=');
  return eq == std::string::npos ? std::string() : s.substr(0, eq);
}

int TStringList::IndexOfName(const std::string& name) const {
  for (int i = 0; i < Count(); ++i) {
    size_t eq = items_[i].s.find('=');
    if (eq != std::string::npos && CompareStrings(items_[i].s.substr(0, eq), name) == 0) return i;
  }
  return -1;
}

std::string TStringList::Values(const std::string& name) const {
  int i = IndexOfName(name);
  return i < 0 ? std::string() : items_[i].s.substr(items_[i].s.find('=') + 1);
}

void TStringList::SetValue(const std::string& name, const std::string& value) {
  int i = IndexOfName(name);
  if (value.empty()) {
    if (i >= 0) Delete(i);
    return;
  }
  if (i < 0) {
    Add(name + "=" + value);
  } else if (sorted_) {
    TObject* o = items_[i].o;
    ++changes_;
    items_.erase(items_.begin() + i);  // the object moves with its string
    AddObject(name + "=" + value, o);
  } else {
    ++changes_;
    items_[i].s = name + "=" + value;
  }
}

void TStringList::AddStrings(const TStringList& other) {
  // Room made once: a copy is as long as its lines, and a list added to
  // itself adds what it held.
  const int count = other.Count();
  const size_t needed = items_.size() + static_cast<size_t>(count);
  if (needed > items_.capacity()) items_.reserve(std::max(needed, 2 * items_.size()));
  for (int i = 0; i < count; ++i) AddObject(other.items_[i].s, other.items_[i].o);
}

void TStringList::Assign(TPersistent* source) {
  if (auto* other = ObjectAs<TStringList>(source)) {
    if (other == this) return;
    Clear();
    AddStrings(*other);
    return;
  }
  TPersistent::Assign(source);
}

void TStringList::SetSorted(bool v) {
  if (v && !sorted_) Sort();
  sorted_ = v;
}

void TStringList::Sort() {
  ++changes_;
  std::stable_sort(items_.begin(), items_.end(),
                   [this](const Item& a, const Item& b) { return CompareStrings(a.s, b.s) < 0; });
}

void TStringList::CustomSort(const std::function<int(const TStringList&, int, int)>& compare) {
  // Sort an index table with the caller's compare, then rearrange.
  std::vector<int> order(items_.size());
  for (size_t i = 0; i < order.size(); ++i) order[i] = static_cast<int>(i);
  std::stable_sort(order.begin(), order.end(), [&](int a, int b) { return compare(*this, a, b) < 0; });
  std::vector<Item> sorted;
  sorted.reserve(items_.size());
  for (int i : order) sorted.push_back(items_[i]);
  ++changes_;
  items_.swap(sorted);
}

void TStringList::SetCaseSensitive(bool v) {
  if (v == caseSensitive_) return;
  caseSensitive_ = v;
  if (sorted_) Sort();
}

std::string TStringList::Text() const {
  std::string out;
  for (const Item& it : items_) out += it.s + "\r\n";
  return out;
}

void TStringList::SetText(const std::string& text) {
  Clear();
  size_t i = 0;
  while (i < text.size()) {
    size_t start = i;
    while (i < text.size() && text[i] != '\r' && text[i] != '\n') ++i;
    Add(text.substr(start, i - start));
    if (i < text.size() && text[i] == '\r') ++i;
    if (i < text.size() && text[i] == '\n') ++i;
  }
}

std::string TStringList::CommaText() const {
  std::string out;
  for (int i = 0; i < Count(); ++i) {
    const std::string& s = items_[i].s;
    bool quote = s.empty();
    for (size_t k = 0; k < s.size(); ++k) {
      unsigned char c = static_cast<unsigned char>(s[k]);
      if (cp::IsBig5Lead(c) && k + 1 < s.size()) {
        ++k;
        continue;
      }
      if (c <= ' ' || c == ',' || c == '"') quote = true;
    }
    if (i > 0) out += ',';
    if (quote) {
      out += '"';
      for (char c : s) {
        if (c == '"') out += '"';
        out += c;
      }
      out += '"';
    } else {
      out += s;
    }
  }
  return out;
}

void TStringList::SetCommaText(const std::string& text) {
  Clear();
  size_t i = 0;
  auto skipSpace = [&] {
    while (i < text.size() && static_cast<unsigned char>(text[i]) <= ' ') ++i;
  };
  skipSpace();
  while (i < text.size()) {
    std::string item;
    if (text[i] == '"') {
      ++i;
      while (i < text.size()) {
        if (text[i] == '"') {
          if (i + 1 < text.size() && text[i + 1] == '"') {
            item += '"';
            i += 2;
            continue;
          }
          ++i;
          break;
        }
        item += text[i++];
      }
    } else {
      while (i < text.size() && text[i] != ',' && static_cast<unsigned char>(text[i]) > ' ') {
        if (cp::IsBig5Lead(static_cast<unsigned char>(text[i])) && i + 1 < text.size()) item += text[i++];
        item += text[i++];
      }
    }
    Add(item);
    skipSpace();
    if (i < text.size() && text[i] == ',') {
      ++i;
      skipSpace();
      if (i >= text.size()) Add("");
    }
  }
}

}  // namespace cls
