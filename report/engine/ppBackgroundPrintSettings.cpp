#include "report/engine/ppBackgroundPrintSettings.h"

#include <mutex>

#include "platform/classes/typinfo.h"

CLS_IMPLEMENT_CLASS(TppBackgroundPrintSettings)

void TppBackgroundPrintSettings::Assign(cls::TPersistent* source) {
  auto* s = cls::ObjectAs<TppBackgroundPrintSettings>(source);
  if (!s) {
    inherited::Assign(source);
    return;
  }
  enabled_ = s->enabled_;
  active_ = s->active_;
}

void TppBackgroundPrintSettings::RegisterProperties() {
  static std::once_flag once;
  std::call_once(once, [] {
    using S = TppBackgroundPrintSettings;
    auto& c = S::StaticClass();
    const cls::TTypeInfo* b = cls::TypeInfoBoolean();
    // Enabled first: a stream read in order then keeps a stored Active.
    cls::TPropInfo enabled = cls::OrdProperty<S, bool>("Enabled", b, &S::Enabled, &S::SetEnabled);
    enabled.HasDefault = true;
    cls::PublishProperty(c, std::move(enabled));
    cls::TPropInfo active = cls::OrdProperty<S, bool>("Active", b, &S::Active, &S::SetActive);
    active.HasDefault = true;
    cls::PublishProperty(c, std::move(active));
  });
}
