#include "report/model/ppPreviewSettings.h"

#include <algorithm>
#include <mutex>

#include "platform/classes/typinfo.h"
#include "report/model/ppResMgr.h"

CLS_IMPLEMENT_CLASS(TppPreviewFormSettings)
CLS_IMPLEMENT_CLASS(TppTextSearchSettings)

// ---- TppPreviewFormSettings ----

void TppPreviewFormSettings::Assign(cls::TPersistent* source) {
  auto* s = cls::ObjectAs<TppPreviewFormSettings>(source);
  if (!s) {
    inherited::Assign(source);
    return;
  }
  CopySettings(s);
  Changed();
}

void TppPreviewFormSettings::CopySettings(const TppPreviewFormSettings* other) {
  if (!other) return;
  windowState_ = other->windowState_;
  zoomPercentage_ = other->zoomPercentage_;
  zoomSetting_ = other->zoomSetting_;
}

void TppPreviewFormSettings::Changed() {
  if (OnChange) OnChange(this);
}

void TppPreviewFormSettings::SetWindowState(ui::TWindowState v) {
  windowState_ = v;
  Changed();
}

void TppPreviewFormSettings::SetZoomPercentage(int v) {
  zoomPercentage_ = std::clamp(v, 25, 250);
  SetZoomSetting(zsPercentage);
  Changed();
}

void TppPreviewFormSettings::SetZoomSetting(TppZoomSettingType v) {
  zoomSetting_ = v;
  Changed();
}

// What a stream sets: a stored ZoomPercentage is clamped but leaves the
// stored ZoomSetting alone, so that both read back as written.
struct TppPreviewSettingsStreaming {
  static void SetZoomPercentage(TppPreviewFormSettings* s, int64_t v) {
    s->zoomPercentage_ = static_cast<int>(std::clamp<int64_t>(v, 25, 250));
  }
};

void TppPreviewFormSettings::RegisterProperties() {
  using S = TppPreviewFormSettings;
  auto& c = S::StaticClass();
  cls::TPropInfo state = cls::OrdProperty<S, ui::TWindowState>(
      "WindowState", cls::EnumTypeInfo<ui::TWindowState>(), &S::WindowState, &S::SetWindowState);
  state.HasDefault = true;
  state.Default = ui::wsNormal;
  cls::PublishProperty(c, state);
  cls::TPropInfo percentage = cls::OrdProperty<S, int>("ZoomPercentage", cls::TypeInfoInteger(), &S::ZoomPercentage);
  percentage.SetOrd = [](cls::TObject* o, int64_t v) {
    TppPreviewSettingsStreaming::SetZoomPercentage(static_cast<S*>(o), v);
  };
  percentage.HasDefault = true;
  percentage.Default = 100;
  cls::PublishProperty(c, percentage);
  cls::TPropInfo setting = cls::OrdProperty<S, TppZoomSettingType>(
      "ZoomSetting", cls::EnumTypeInfo<TppZoomSettingType>(), &S::ZoomSetting, &S::SetZoomSetting);
  setting.HasDefault = true;
  setting.Default = zsWholePage;
  cls::PublishProperty(c, setting);
}

// ---- TppTextSearchSettings ----

TppTextSearchSettings::TppTextSearchSettings() : defaultString_(ppLoadStr(1069)) {
  walkieTalkie_ = new TppCommunicator(nullptr);
  walkieTalkie_->SetOnNotify(TppNotifyEvent(this, &TppTextSearchSettings::WalkieTalkieNotifyEvent));
  cls::GuardFree(walkieTalkie_, [] {
    throw ESearchError("TppTextSearchSettings.WalkieTalkieNotifyEvent: Don't free the embedded walkie talkie!");
  });
}

void TppTextSearchSettings::BeforeDestruction() {
  if (TppCommunicator* w = walkieTalkie_) {
    walkieTalkie_ = nullptr;
    w->SetOnNotify(TppNotifyEvent());
    cls::UnguardFree(w);
    w->Free();
  }
  inherited::BeforeDestruction();
}

void TppTextSearchSettings::WalkieTalkieNotifyEvent(cls::TObject*, TppCommunicator* aCommunicator,
                                                    uint8_t aOperation) {
  // The free guard refuses the free before it starts; a removal notice of
  // the embedded communicator can only come from a free that slipped by.
  if (aOperation == ppopRemove && aCommunicator == walkieTalkie_ && walkieTalkie_) walkieTalkie_ = nullptr;
}

void TppTextSearchSettings::Assign(cls::TPersistent* source) {
  auto* s = cls::ObjectAs<TppTextSearchSettings>(source);
  if (!s) {
    inherited::Assign(source);
    return;
  }
  caseSensitive_ = s->caseSensitive_;
  defaultString_ = s->defaultString_;
  enabled_ = s->enabled_;
  searchFromCurrentPage_ = s->searchFromCurrentPage_;
  showAll_ = s->showAll_;
  visible_ = s->visible_;
  wholeWord_ = s->wholeWord_;
}

void TppTextSearchSettings::ResetDefaultString() { defaultString_ = ppLoadStr(1069); }

void TppTextSearchSettings::RegisterProperties() {
  using S = TppTextSearchSettings;
  auto& c = S::StaticClass();
  auto boolean = [&](const char* name, bool (S::*get)() const, void (S::*set)(bool), bool def) {
    cls::TPropInfo p = cls::OrdProperty<S, bool>(name, cls::TypeInfoBoolean(), get, set);
    p.HasDefault = true;
    p.Default = def;
    cls::PublishProperty(c, p);
  };
  boolean("CaseSensitive", &S::CaseSensitive, &S::SetCaseSensitive, false);
  cls::TPropInfo text = cls::StrProperty<S>("DefaultString", &S::DefaultString, &S::SetDefaultString);
  text.Stored = [](cls::TObject* o) { return static_cast<S*>(o)->DefaultString() != ppLoadStr(1069); };
  cls::PublishProperty(c, text);
  // Enabled before Visible: a stream read in order keeps a stored Visible.
  boolean("Enabled", &S::Enabled, &S::SetEnabled, true);
  boolean("SearchFromCurrentPage", &S::SearchFromCurrentPage, &S::SetSearchFromCurrentPage, false);
  boolean("ShowAll", &S::ShowAll, &S::SetShowAll, false);
  boolean("Visible", &S::Visible, &S::SetVisible, false);
  boolean("WholeWord", &S::WholeWord, &S::SetWholeWord, false);
}

void ppRegisterPreviewSettingsUnit() {
  static std::once_flag once;
  std::call_once(once, [] {
    cls::RegisterClass(&TppPreviewFormSettings::StaticClass());
    cls::RegisterClass(&TppTextSearchSettings::StaticClass());
    TppPreviewFormSettings::RegisterProperties();
    TppTextSearchSettings::RegisterProperties();
    RegisterEnumType("TppZoomSettingType", cls::EnumTypeInfo<TppZoomSettingType>());
    RegisterEnumType("TWindowState", cls::EnumTypeInfo<ui::TWindowState>());
  });
}
