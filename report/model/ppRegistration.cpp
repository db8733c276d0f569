#include "report/model/ppRegistration.h"

#include <atomic>

CLS_IMPLEMENT_CLASS(TppRegComponent)
CLS_IMPLEMENT_CLASS(TppRegList)

// ---- TppRegList ----

TppRegList::TppRegList() : cls::TStringList(true) { SetSorted(true); }

void TppRegList::AddListener(const cls::TNotifyEvent& listener) {
  std::lock_guard<std::mutex> guard(lock_);
  for (const cls::TNotifyEvent& l : listeners_)
    if (l == listener) return;
  listeners_.push_back(listener);
}

void TppRegList::RemoveListener(const cls::TNotifyEvent& listener) {
  std::lock_guard<std::mutex> guard(lock_);
  std::erase(listeners_, listener);
}

void TppRegList::Changed(int times) {
  std::vector<cls::TNotifyEvent> listeners;
  {
    std::lock_guard<std::mutex> guard(lock_);
    listeners = listeners_;
  }
  for (int i = 0; i < times; ++i)
    for (const cls::TNotifyEvent& l : listeners) l(this);
}

void TppRegList::RegisterComponent(cls::TClass c, const std::string& paletteName, int palettePosition,
                                   const std::string& name, int number, int descriptionMessage) {
  if (!c) return;
  int changes = 0;
  try {
    std::lock_guard<std::mutex> guard(lock_);
    int index;
    if (Find(c->Name, index)) {
      cls::UnregisterClass(static_cast<TppRegComponent*>(Objects(index))->ComponentClass());
      Delete(index);
      ++changes;
    }
    cls::Owned<TppRegComponent> entry(
        new TppRegComponent(c, paletteName, palettePosition, name, number, descriptionMessage));
    cls::RegisterClass(c);  // raises when another class has the name
    AddObject(c->Name, entry.release());
    ++changes;
  } catch (...) {
    Changed(changes);
    throw;
  }
  Changed(changes);
}

void TppRegList::UnregisterComponent(cls::TClass c) {
  if (!c) return;
  int changes = 0;
  {
    std::lock_guard<std::mutex> guard(lock_);
    cls::UnregisterClass(c);
    int index;
    if (Find(c->Name, index)) {
      Delete(index);
      ++changes;
    }
  }
  Changed(changes);
}

TppRegComponent* TppRegList::FindEntry(const std::string& className) const {
  std::lock_guard<std::mutex> guard(lock_);
  int index;
  return Find(className, index) ? static_cast<TppRegComponent*>(Objects(index)) : nullptr;
}

// ---- slots, wrappers and the unit ----

namespace {

std::atomic<TppRegisterComponentProc> g_registerProc{nullptr};
std::atomic<TppUnregisterComponentProc> g_unregisterProc{nullptr};

std::mutex& UnitLock() {
  static std::mutex m;
  return m;
}
cls::Owned<TppRegList>& TheList() {
  static cls::Owned<TppRegList> list;
  return list;
}

void RegisterInList(cls::TClass c, const std::string& paletteName, int palettePosition, const std::string& name,
                    int number, int descriptionMessage) {
  if (TppRegList* list = ppRegisteredComponents())
    list->RegisterComponent(c, paletteName, palettePosition, name, number, descriptionMessage);
}

void UnregisterFromList(cls::TClass c) {
  if (TppRegList* list = ppRegisteredComponents()) list->UnregisterComponent(c);
}

}  // namespace

void ppSetRegistrationProcs(TppRegisterComponentProc registerProc, TppUnregisterComponentProc unregisterProc) {
  g_registerProc = registerProc;
  g_unregisterProc = unregisterProc;
}

TppRegisterComponentProc ppRegisterComponentProc() { return g_registerProc; }
TppUnregisterComponentProc ppUnregisterComponentProc() { return g_unregisterProc; }

void ppRegisterComponent(cls::TClass c, const std::string& paletteName, int palettePosition,
                         const std::string& name, int number, int descriptionMessage) {
  TppRegisterComponentProc proc = g_registerProc;
  if (!proc) throw cls::Exception("Unable to register component classes.");
  proc(c, paletteName, palettePosition, name, number, descriptionMessage);
}

void ppUnRegisterComponent(cls::TClass c) {
  TppUnregisterComponentProc proc = g_unregisterProc;
  if (!proc) throw cls::Exception("Unable to unregister component classes.");
  proc(c);
}

TppRegList* ppRegisteredComponents() {
  std::lock_guard<std::mutex> guard(UnitLock());
  return TheList().get();
}

void ppRegisterRegistrationUnit() {
  {
    std::lock_guard<std::mutex> guard(UnitLock());
    if (!TheList()) TheList().reset(new TppRegList);
  }
  ppSetRegistrationProcs(&RegisterInList, &UnregisterFromList);
}

void ppFinalizeRegistrationUnit() {
  ppSetRegistrationProcs(nullptr, nullptr);
  cls::Owned<TppRegList> list;
  {
    std::lock_guard<std::mutex> guard(UnitLock());
    list = std::move(TheList());
  }
}
