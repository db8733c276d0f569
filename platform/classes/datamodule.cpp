#include "platform/classes/datamodule.h"

#include <algorithm>
#include <mutex>

namespace cls {

CLS_IMPLEMENT_COMPONENT(TDataModule)

namespace {

std::mutex& ModulesLock() {
  static std::mutex lock;
  return lock;
}

std::vector<TComponent*>& Modules() {
  static std::vector<TComponent*> modules;
  return modules;
}

}  // namespace

TDataModule::TDataModule(TComponent* owner) : TComponent(owner) {
  std::lock_guard<std::mutex> hold(ModulesLock());
  Modules().push_back(this);
}

namespace {
void Unlist(TComponent* c) {
  std::lock_guard<std::mutex> hold(ModulesLock());
  auto& modules = Modules();
  modules.erase(std::remove(modules.begin(), modules.end(), c), modules.end());
}
}  // namespace

// Unlisted before its teardown, and (a stack object) when deleted.
void TDataModule::BeforeDestruction() {
  Unlist(this);
  TComponent::BeforeDestruction();
}

TDataModule::~TDataModule() { Unlist(this); }

std::vector<TComponent*> GlobalComponents() {
  std::lock_guard<std::mutex> hold(ModulesLock());
  return Modules();
}

TComponent* FindGlobalComponent(const std::string& name) {
  if (name.empty()) return nullptr;
  for (TComponent* c : GlobalComponents())
    if (SameText(c->Name(), name)) return c;
  return nullptr;
}

}  // namespace cls
