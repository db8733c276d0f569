#include "report/model/ppComm.h"

#include <algorithm>
#include <unordered_map>

#include "platform/classes/typinfo.h"
#include "report/model/ppUtils.h"

CLS_IMPLEMENT_COMPONENT(TppCommunicator)

std::string ppEventName(int eventId) {
  for (const TppEventRow& row : ppEvents)
    if (row.Id == eventId) return row.Name;
  return {};
}

struct TppCommunicator::Links {
  cls::TObject* reportDesigner = nullptr;
  cls::TPtrList<TppCommunicator> notifyList;
  cls::TPtrList<TppCommunicator> eventList;
  // Publishers whose event list holds this object.
  std::vector<TppCommunicator*> subscribedTo;
  cls::TSet256 eventMask;
  std::string userName;
  std::shared_ptr<bool> alive;
  TppNotifyEvent onNotify;
  TppEventNotifyEvent onEventNotify;
};

TppCommunicator::TppCommunicator(cls::TComponent* owner) : cls::TComponent(owner) {}

TppCommunicator::~TppCommunicator() {
  DropAllLinks();
  if (links_ && links_->alive) *links_->alive = false;
}

TppCommunicator::Links& TppCommunicator::Own() {
  if (!links_) links_ = std::make_unique<Links>();
  return *links_;
}

const TppCommunicator::Links& TppCommunicator::None() {
  static const Links none;
  return none;
}

const TppCommunicator::Links& TppCommunicator::Read() const {
  if (links_) return *links_;
  return None();
}

std::shared_ptr<bool> TppCommunicator::LifeToken() {
  Links& l = Own();
  if (!l.alive) l.alive = std::make_shared<bool>(true);
  return l.alive;
}

const std::vector<TppCommunicator*>& TppCommunicator::EventSources() const { return Read().subscribedTo; }
cls::TSet256& TppCommunicator::EventMask() { return Own().eventMask; }
const cls::TSet256& TppCommunicator::EventMask() const { return Read().eventMask; }
cls::TObject* TppCommunicator::ReportDesigner() const { return Read().reportDesigner; }
void TppCommunicator::StoreUserName(const std::string& name) {
  if (links_ || !name.empty()) Own().userName = name;
}

void TppCommunicator::SetOnNotify(TppNotifyEvent handler) {
  if (links_ || handler) Own().onNotify = handler;
}

void TppCommunicator::SetOnEventNotify(TppEventNotifyEvent handler) {
  if (links_ || handler) Own().onEventNotify = handler;
}

void TppCommunicator::BeforeDestruction() {
  SetStateFlag(cls::csDestroying, true);
  SendNotify(this, ppopRemove);
  DropAllLinks();
  inherited::BeforeDestruction();
}

void TppCommunicator::DropAllLinks() {
  // Links made while the notices went out, or kept by receivers that did
  // not let go, are dropped on both sides without further notices.
  if (!links_) return;
  Links& l = *links_;
  while (l.notifyList.Count() > 0) DropNotifyLink(l.notifyList.Last());
  // Leave every event list this object is in, and forget the subscribers.
  while (!l.subscribedTo.empty()) l.subscribedTo.back()->DropSubscriber(this);
  while (l.eventList.Count() > 0) DropSubscriber(l.eventList.Last());
}

// ---- notification links ----

void TppCommunicator::AddNotify(TppCommunicator* other) {
  if (!other || other == this || Read().notifyList.Contains(other)) return;
  Own().notifyList.Add(other);
  other->AddNotify(this);
}

void TppCommunicator::RemoveNotify(TppCommunicator* other) {
  if (other && Read().notifyList.Contains(other)) {
    links_->notifyList.Remove(other);
    other->RemoveNotify(this);
  }
}

void TppCommunicator::DropNotifyLink(TppCommunicator* other) {
  if (links_) links_->notifyList.Remove(other);
  if (other->links_) other->links_->notifyList.Remove(this);
}

void TppCommunicator::SendNotify(TppCommunicator* communicator, uint8_t operation) {
  if (Read().notifyList.Count() == 0) return;
  // Last linked first. Receivers may unlink themselves or others (or free
  // them) meanwhile: each one is told once, and only while still linked.
  // An object made where a freed one was is not the one in the snapshot.
  std::vector<std::pair<TppCommunicator*, std::shared_ptr<bool>>> snapshot;
  for (TppCommunicator* c : links_->notifyList) snapshot.emplace_back(c, c->LifeToken());
  std::shared_ptr<bool> alive = LifeToken();
  for (size_t i = snapshot.size(); i-- > 0;) {
    if (!*alive || links_->notifyList.Count() == 0) break;  // freed by a receiver, or no links left
    auto& [c, token] = snapshot[i];
    if (!*token || !links_->notifyList.Contains(c)) continue;
    c->Notify(communicator, operation);
  }
}

TppCommunicator* TppCommunicator::GetNotify(int index) const {
  const auto& list = Read().notifyList;
  if (index < 0 || index >= list.Count()) return nullptr;
  return list[index];
}

int TppCommunicator::NotifyCount() const { return Read().notifyList.Count(); }

void TppCommunicator::Notify(TppCommunicator* communicator, uint8_t operation) {
  if (!links_) return;
  if (TppNotifyEvent handler = links_->onNotify) handler(this, communicator, operation);
  if (operation == ppopRemove && communicator) {
    // The freed side empties its own list itself.
    links_->notifyList.Remove(communicator);
    if (links_->eventList.Contains(communicator)) DropSubscriber(communicator);
  }
}

// ---- events ----

void TppCommunicator::DropSubscriber(TppCommunicator* subscriber) {
  if (links_) links_->eventList.Remove(subscriber);
  if (!subscriber->links_) return;
  auto& back = subscriber->links_->subscribedTo;
  back.erase(std::remove(back.begin(), back.end(), this), back.end());
}

void TppCommunicator::AddEventNotify(TppCommunicator* subscriber) {
  if (!subscriber || Read().eventList.Contains(subscriber)) return;
  std::string key;
  subscriber->GetEventNotifySortKey(key);
  if (key.empty())
    Own().eventList.Add(subscriber);
  else
    InsertEventNotifySorted(subscriber);
  subscriber->Own().subscribedTo.push_back(this);
  AddNotify(subscriber);
}

void TppCommunicator::InsertEventNotifySorted(TppCommunicator* subscriber) {
  cls::TStringList keys;
  auto& list = Own().eventList;
  for (TppCommunicator* s : list) {
    std::string k;
    s->GetEventNotifySortKey(k);
    keys.AddObject(k, s);
  }
  std::string k;
  subscriber->GetEventNotifySortKey(k);
  keys.AddObject(k, subscriber);
  keys.Sort();
  list.Clear();
  for (int i = 0; i < keys.Count(); ++i) list.Add(static_cast<TppCommunicator*>(keys.Objects(i)));
}

void TppCommunicator::RemoveEventNotify(TppCommunicator* subscriber) {
  if (!subscriber || !Read().eventList.Contains(subscriber)) return;
  DropSubscriber(subscriber);
  RemoveNotify(subscriber);
}

bool TppCommunicator::HasEventNotify(int eventId) const {
  if (eventId < 0 || eventId >= 256) return false;
  for (TppCommunicator* c : Read().notifyList)
    if (c->Read().eventMask.Contains(eventId)) return true;
  return false;
}

int TppCommunicator::EventNotifyCount() const { return Read().eventList.Count(); }

TppCommunicator* TppCommunicator::GetEventNotify(int index) const {
  const auto& list = Read().eventList;
  if (index < 0 || index >= list.Count()) return nullptr;
  return list[index];
}

void TppCommunicator::SendEventNotify(TppCommunicator* sender, int eventId, TraParamList* params) {
  if (Read().eventList.Count() == 0 || eventId < 0 || eventId >= 256) return;
  // Delivery in list order to the subscribers present when it began. A
  // subscriber may remove or add others while it receives: nobody gets the
  // event twice, nobody who left gets it, newcomers wait for the next one.
  // Each subscriber is known by its life token too: an object made where a
  // freed one was is a newcomer.
  std::unordered_map<TppCommunicator*, std::shared_ptr<bool>> pending;
  for (TppCommunicator* c : links_->eventList) pending.emplace(c, c->LifeToken());
  std::shared_ptr<bool> alive = LifeToken();
  int pos = 0;
  while (*alive && !pending.empty()) {
    TppCommunicator* next = nullptr;
    for (int pass = 0; pass < 2 && !next; ++pass) {
      int start = pass == 0 ? pos : 0;
      for (int j = start; j < links_->eventList.Count(); ++j) {
        TppCommunicator* c = links_->eventList[j];
        auto it = pending.find(c);
        if (it != pending.end() && it->second == c->Read().alive) {
          next = c;
          pos = j;
          break;
        }
      }
    }
    if (!next) break;
    pending.erase(next);
    if (next->Read().eventMask.Contains(eventId)) next->EventNotify(sender, eventId, params);
  }
}

void TppCommunicator::EventNotify(TppCommunicator* sender, int eventId, TraParamList* params) {
  if (!links_) return;
  if (TppEventNotifyEvent handler = links_->onEventNotify) handler(this, sender, eventId, params);
}

void TppCommunicator::GetEventNotifySortKey(std::string& key) { key.clear(); }

// ---- names ----

std::string TppCommunicator::GetUserName() const { return Read().userName; }

void TppCommunicator::SetUserName(const std::string& name) {
  if (!cls::IsValidIdent(name)) return;
  std::string taken = name;
  if (!IsValidUserName(name)) {
    char last = name.back();
    if (last >= '1' && last <= '9') return;
    for (int64_t n = 1;; ++n) {
      std::string candidate = name + cls::IntToStr(n);
      TppCommunicator* found = FindUserName(candidate);
      if (!found || found == this) {
        taken = candidate;
        break;
      }
    }
  }
  if (taken == Read().userName) return;
  Own().userName = taken;
  SendNotify(this, ppopUserNameChange);
}

bool TppCommunicator::IsValidUserName(const std::string& name) {
  if (!cls::IsValidIdent(name)) return false;
  TppCommunicator* found = FindUserName(name);
  return !found || found == this;
}

TppCommunicator* TppCommunicator::FindUserName(const std::string& name) {
  if (TppCommunicator* parent = GetParentCommunicator()) return parent->FindUserName(name);
  cls::TComponent* owner = Owner();
  if (!owner) return nullptr;
  for (int i = 0; i < owner->ComponentCount(); ++i)
    if (auto* c = cls::ObjectAs<TppCommunicator>(owner->Components(i)))
      if (cls::SameText(c->GetUserName(), name)) return c;
  return nullptr;
}

std::string TppCommunicator::GetDefaultUserName() {
  const std::string& n = Name();
  const std::string& cn = ClassName();
  std::string def = n;
  if (n.size() >= 2 && cn.size() >= 3 && n.compare(0, 2, cn, 1, 2) == 0) def = n.substr(2);
  if (!IsValidUserName(def)) MakeUniqueUserName(this, def);
  return def;
}

void TppCommunicator::MakeUniqueUserName(cls::TComponent* component, std::string& name) {
  if (TppCommunicator* parent = GetParentCommunicator()) {
    parent->MakeUniqueUserName(component, name);
    return;
  }
  const std::string& cn = component->ClassName();
  std::string base = cn.size() > 3 ? cn.substr(3) : std::string();
  cls::TComponent* owner = component->Owner() ? component->Owner() : Owner();
  name = ppGetUniqueUserName(owner, base, component, this);
}

void TppCommunicator::MakeUniqueName(cls::TComponent* component, std::string& name) {
  const std::string& cn = component->ClassName();
  std::string base = cn.size() > 1 ? cn.substr(1) : cn;
  name = GetUniqueName(Owner() ? Owner() : this, base, component);
}

void TppCommunicator::SetName(const std::string& name) {
  std::string old = Name();
  const std::string& user = Read().userName;
  bool follow = user.empty() || user == old || (old.size() >= 2 && user == old.substr(2));
  inherited::SetName(name);
  if ((HasState(cls::csLoading) || HasState(cls::csReading)) && !(stateFlags_ & pstRenameWhileReading)) return;
  if (follow) SetUserName(GetDefaultUserName());
  SendEventNotify(this, ciNameChanged, nullptr);
}

void TppCommunicator::Loaded() {
  inherited::Loaded();
  if (cls::GetPropInfo(ClassType(), "UserName") && Read().userName.empty()) SetUserName(GetDefaultUserName());
}

void TppCommunicator::ChangeOwner(cls::TComponent* newOwner) {
  cls::TComponent* old = Owner();
  if (old == newOwner) return;
  if (newOwner && !Name().empty()) {
    cls::TComponent* clash = newOwner->FindComponent(Name());
    if (clash && clash != this) throw cls::EComponentError("A component named " + Name() + " already exists");
  }
  if (old) old->RemoveComponent(this);
  if (newOwner) {
    bool clash = false;
    for (int i = 0; i < newOwner->ComponentCount() && !clash; ++i)
      if (auto* c = cls::ObjectAs<TppCommunicator>(newOwner->Components(i)))
        clash = c != this && !Read().userName.empty() && cls::SameText(c->GetUserName(), Read().userName);
    if (clash) {
      std::string unique;
      if (GetParentCommunicator()) {
        MakeUniqueUserName(this, unique);
      } else {
        const std::string& cn = ClassName();
        unique = ppGetUniqueUserName(newOwner, cn.size() > 3 ? cn.substr(3) : std::string(), this, nullptr);
      }
      StoreUserName(unique);
    }
    newOwner->InsertComponent(this);
  }
}

// ---- state, designer ----

void TppCommunicator::SetReportDesigner(cls::TObject* designer) {
  if (links_ || designer) Own().reportDesigner = designer;
}

cls::TComponent* TppCommunicator::GetDesignTarget() const {
  for (const TppCommunicator* c = this; c; c = c->GetParentCommunicator())
    if (cls::TObject* designer = c->Read().reportDesigner) {
      auto* d = dynamic_cast<IppReportDesigner*>(designer);
      return d ? d->DesignTarget() : nullptr;
    }
  return nullptr;
}

TppCommunicator* TppCommunicator::GetParentCommunicator() const {
  if (!HasParent()) return nullptr;
  return cls::ObjectAs<TppCommunicator>(GetParentComponent());
}

void TppCommunicator::StateChanged(uint16_t) {}
void TppCommunicator::InvalidateDesign() {}

void TppCommunicator::SetStateFlags(uint16_t flags) {
  uint16_t before = stateFlags_;
  stateFlags_ |= flags;
  if (stateFlags_ != before) StateChanged(flags);
}

void TppCommunicator::ClearStateFlags(uint16_t flags) {
  uint16_t before = stateFlags_;
  stateFlags_ &= static_cast<uint16_t>(~flags);
  if (stateFlags_ != before) StateChanged(flags);
}

int32_t TppCommunicator::QueryInterface(const std::string&, void** obj) {
  if (obj) *obj = nullptr;
  return E_NOINTERFACE_CODE;
}

// ---- scripting ----

RA_IMPLEMENT_RTTI(TraTppCommunicatorRTTI)

const TraMembers* TraTppCommunicatorRTTI::Members() const {
  using C = TppCommunicator;
  static const TraMembers members(inherited::Members(),
                                  {raProperty<C, daString>("UserName", &C::GetUserName, &C::SetUserName)});
  return &members;
}
