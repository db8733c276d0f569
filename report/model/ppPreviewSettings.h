// How the preview form opens (window state and zoom) and the text search
// options of the preview; a report carries both as published properties.
#pragma once
#include <string>

#include "platform/classes/classes.h"
#include "platform/ui/forms.h"
#include "report/model/ppComm.h"
#include "report/model/ppTypes.h"

class TppPreviewFormSettings : public cls::TPersistent {
  CLS_DECLARE_CLASS(TppPreviewFormSettings, cls::TPersistent)
 public:
  // From other settings: the three values, with the change notice.
  void Assign(cls::TPersistent* source) override;
  // The three values of OTHER, without notices.
  void CopySettings(const TppPreviewFormSettings* other);

  // Published. Each change calls OnChange.
  ui::TWindowState WindowState() const { return windowState_; }
  void SetWindowState(ui::TWindowState v);
  int ZoomPercentage() const { return zoomPercentage_; }
  // Kept within 25..250; ZoomSetting becomes zsPercentage.
  void SetZoomPercentage(int v);
  TppZoomSettingType ZoomSetting() const { return zoomSetting_; }
  void SetZoomSetting(TppZoomSettingType v);

  cls::TNotifyEvent OnChange;

  static void RegisterProperties();

 private:
  friend struct TppPreviewSettingsStreaming;
  void Changed();
  ui::TWindowState windowState_ = ui::wsNormal;
  int zoomPercentage_ = 100;
  TppZoomSettingType zoomSetting_ = zsWholePage;
};

// The preview's text search options. Its embedded communicator (the
// "walkie talkie") is what a search pane links to, to learn when the
// settings go; only the settings free it.
class TppTextSearchSettings : public cls::TPersistent {
  CLS_DECLARE_CLASS(TppTextSearchSettings, cls::TPersistent)
 public:
  TppTextSearchSettings();
  void BeforeDestruction() override;
  // From other settings: all seven values.
  void Assign(cls::TPersistent* source) override;
  // DefaultString := "<FindText>" in the current language.
  void ResetDefaultString();

  // Published.
  bool CaseSensitive() const { return caseSensitive_; }
  void SetCaseSensitive(bool v) { caseSensitive_ = v; }
  const std::string& DefaultString() const { return defaultString_; }
  void SetDefaultString(const std::string& v) { defaultString_ = v; }
  bool Enabled() const { return enabled_; }
  void SetEnabled(bool v) { enabled_ = v; }
  bool SearchFromCurrentPage() const { return searchFromCurrentPage_; }
  void SetSearchFromCurrentPage(bool v) { searchFromCurrentPage_ = v; }
  bool ShowAll() const { return showAll_; }
  void SetShowAll(bool v) { showAll_ = v; }
  bool Visible() const { return visible_; }
  // Stays False while not Enabled.
  void SetVisible(bool v) { visible_ = enabled_ && v; }
  bool WholeWord() const { return wholeWord_; }
  void SetWholeWord(bool v) { wholeWord_ = v; }

  TppCommunicator* WalkieTalkie() const { return walkieTalkie_; }

  static void RegisterProperties();

 private:
  void WalkieTalkieNotifyEvent(cls::TObject* Sender, TppCommunicator* aCommunicator, uint8_t aOperation);
  bool caseSensitive_ = false;
  std::string defaultString_;
  bool enabled_ = true;
  bool searchFromCurrentPage_ = false;
  bool showAll_ = false;
  bool visible_ = false;
  bool wholeWord_ = false;
  TppCommunicator* walkieTalkie_ = nullptr;  // owned, freed by BeforeDestruction
};

// Registers both classes and the enumerations by name (the preview's
// layer, output, calls it).
void ppRegisterPreviewSettingsUnit();
