// Edits a report's text search settings. The settings change only on OK;
// the dialog's place and size are kept in the settings store.
#pragma once
#include "platform/ui/controls.h"
#include "platform/ui/extctrls.h"
#include "report/model/ppForms.h"
#include "report/model/ppPreviewSettings.h"

// Registered under TppCustomTextSearchSettingsDialog.
class TppTextSearchSettingsDialog : public TppCustomTextSearchSettingsDialog {
  CLS_DECLARE_CLASS(TppTextSearchSettingsDialog, TppCustomTextSearchSettingsDialog)

 public:
  explicit TppTextSearchSettingsDialog(cls::TComponent* AOwner);

  ui::TCheckBox* cbxEnabled;
  ui::TCheckBox* cbxShowAll;
  ui::TCheckBox* cbxCaseSensitive;
  ui::TCheckBox* cbxWholeWord;
  ui::TRadioGroup* rdgStartingPage;
  ui::TCheckBox* cbxShowSearchToolbar;
  ui::TLabel* lblSearchString;
  ui::TEdit* edtSearchString;
  ui::TButton* btnOK;
  ui::TButton* btnCancel;

  // The report's settings (not a copy): the controls show them, the place
  // and size come back from the store.
  void ReportAssigned() override;
  void LanguageChanged() override;

  TppTextSearchSettings* Settings() const { return settings_; }
  bool OK() const { return ok_; }

  // The store's section and the form's size limits.
  static constexpr const char* kSection = "TextSearchSettingsDialog";
  static constexpr int kHeight = 327, kMinWidth = 235, kMaxWidth = 436;

 private:
  void LoadControls();
  void EnableControls();
  void RestoreBounds();
  void SaveBounds();
  void cbxEnabledClick(cls::TObject* Sender);
  void btnOKClick(cls::TObject* Sender);
  void btnCancelClick(cls::TObject* Sender);
  void FormClose(cls::TObject* Sender, ui::TCloseAction& Action);

  TppTextSearchSettings* settings_ = nullptr;
  bool ok_ = false;
  bool enabled_ = true;  // held until OK
};
