#include "report/forms/ppTextSearchSettingsDlg.h"

#include <algorithm>

#include "platform/ui/dialogs.h"
#include "report/engine/ppProd.h"
#include "report/model/ppIniStorage.h"
#include "report/model/ppResMgr.h"

CLS_IMPLEMENT_COMPONENT(TppTextSearchSettingsDialog)

namespace {

template <class C>
C* Make(TppTextSearchSettingsDialog* form, const char* name, int left, int top, int width, int height) {
  auto* c = new C(form);
  c->SetName(name);
  c->SetParent(form);
  c->SetBounds(left, top, width, height);
  return c;
}

}  // namespace

TppTextSearchSettingsDialog::TppTextSearchSettingsDialog(cls::TComponent* AOwner)
    : TppCustomTextSearchSettingsDialog(AOwner) {
  BorderStyle = ui::TFormBorderStyle::bsSizeable;
  // Placed where the store says (ReportAssigned), not centred over it.
  Position = ui::TPosition::poDesigned;
  SetWidth(265);
  SetHeight(kHeight);
  Caption = "Text Search Settings";

  cbxEnabled = Make<ui::TCheckBox>(this, "cbxEnabled", 16, 12, 200, 17);
  cbxShowAll = Make<ui::TCheckBox>(this, "cbxShowAll", 32, 36, 200, 17);
  cbxCaseSensitive = Make<ui::TCheckBox>(this, "cbxCaseSensitive", 32, 58, 200, 17);
  cbxWholeWord = Make<ui::TCheckBox>(this, "cbxWholeWord", 32, 80, 200, 17);
  rdgStartingPage = Make<ui::TRadioGroup>(this, "rdgStartingPage", 32, 104, 217, 64);
  rdgStartingPage->Items.Add("Start Search on First Page");
  rdgStartingPage->Items.Add("Start Search on Current Page");
  rdgStartingPage->SetItemIndex(0);
  cbxShowSearchToolbar = Make<ui::TCheckBox>(this, "cbxShowSearchToolbar", 32, 176, 217, 17);
  lblSearchString = Make<ui::TLabel>(this, "lblSearchString", 32, 204, 200, 13);
  edtSearchString = Make<ui::TEdit>(this, "edtSearchString", 32, 222, 217, 21);
  btnOK = Make<ui::TButton>(this, "btnOK", 94, 262, 75, 25);
  btnOK->Caption = "OK";
  btnOK->Default = true;
  btnCancel = Make<ui::TButton>(this, "btnCancel", 176, 262, 75, 25);
  btnCancel->Caption = "Cancel";
  btnCancel->Cancel = true;

  cbxEnabled->OnClick = [this](cls::TObject* s) { cbxEnabledClick(s); };
  btnOK->OnClick = [this](cls::TObject* s) { btnOKClick(s); };
  btnCancel->OnClick = [this](cls::TObject* s) { btnCancelClick(s); };
  OnClose = [this](cls::TObject* s, ui::TCloseAction& a) { FormClose(s, a); };
  // No settings yet; the captions of the current language.
  LanguageChanged();
}

void TppTextSearchSettingsDialog::LanguageChanged() {
  Caption = ppLoadStr(1150);
  cbxEnabled->Caption = ppLoadStr(1066);
  cbxShowAll->Caption = ppLoadStr(1062);
  cbxCaseSensitive->Caption = ppLoadStr(1063);
  cbxWholeWord->Caption = ppLoadStr(1064);
  rdgStartingPage->Caption = ppLoadStr(1065);
  rdgStartingPage->Items.Put(0, ppLoadStr(1057));
  rdgStartingPage->Items.Put(1, ppLoadStr(1056));
  cbxShowSearchToolbar->Caption = ppLoadStr(1067);
  lblSearchString->Caption = ppLoadStr(1068);
  edtSearchString->SetText(ppLoadStr(1069));
  btnOK->Caption = ppLoadStr(17);
  btnCancel->Caption = ppLoadStr(5);
}

void TppTextSearchSettingsDialog::ReportAssigned() {
  auto* producer = cls::ObjectAs<TppProducer>(Report());
  settings_ = producer ? producer->TextSearchSettings() : nullptr;
  ok_ = false;
  if (settings_) {
    enabled_ = settings_->Enabled();
    LoadControls();
  }
  EnableControls();
  RestoreBounds();
}

void TppTextSearchSettingsDialog::LoadControls() {
  // Loading is no click: the held flag is set already.
  auto onClick = std::move(cbxEnabled->OnClick);
  cbxEnabled->OnClick = nullptr;
  cbxEnabled->SetChecked(enabled_);
  cbxEnabled->OnClick = std::move(onClick);
  edtSearchString->SetText(settings_->DefaultString());
  cbxShowAll->SetChecked(settings_->ShowAll());
  cbxCaseSensitive->SetChecked(settings_->CaseSensitive());
  cbxWholeWord->SetChecked(settings_->WholeWord());
  cbxShowSearchToolbar->SetChecked(settings_->Visible());
  rdgStartingPage->SetItemIndex(settings_->SearchFromCurrentPage() ? 1 : 0);
}

void TppTextSearchSettingsDialog::EnableControls() {
  for (ui::TControl* c : std::initializer_list<ui::TControl*>{edtSearchString, lblSearchString, cbxCaseSensitive,
                                                              cbxShowAll, cbxWholeWord, cbxShowSearchToolbar,
                                                              rdgStartingPage})
    c->Enabled = enabled_;
}

void TppTextSearchSettingsDialog::cbxEnabledClick(cls::TObject*) {
  enabled_ = cbxEnabled->Checked();
  EnableControls();
}

void TppTextSearchSettingsDialog::btnOKClick(cls::TObject*) {
  ok_ = true;
  // Closing a modal run answers Cancel; OK answers OK.
  if (Modal()) ModalResult = ui::mrOk;
  else Close();
}

void TppTextSearchSettingsDialog::btnCancelClick(cls::TObject*) {
  ok_ = false;
  Close();
}

void TppTextSearchSettingsDialog::FormClose(cls::TObject*, ui::TCloseAction&) {
  SaveBounds();
  if (!ok_ || !settings_) return;
  settings_->SetDefaultString(edtSearchString->Text());
  settings_->SetCaseSensitive(cbxCaseSensitive->Checked());
  settings_->SetEnabled(enabled_);
  settings_->SetShowAll(cbxShowAll->Checked());
  settings_->SetWholeWord(cbxWholeWord->Checked());
  settings_->SetVisible(cbxShowSearchToolbar->Checked());  // stays False unless enabled
  settings_->SetSearchFromCurrentPage(rdgStartingPage->ItemIndex() == 1);
  if (auto* producer = cls::ObjectAs<TppProducer>(Report())) producer->SetTextSearchSettings(settings_);
}

void TppTextSearchSettingsDialog::RestoreBounds() {
  cls::Owned<TppIniStorage> store = CreateIniStorage();
  int top = store->ReadInteger(kSection, "FormTop", Top());
  int left = store->ReadInteger(kSection, "FormLeft", Left());
  int width = ScaleToScreen(store->ReadInteger(kSection, "FormWidth", ScaleFromScreen(Width())));
  // The form's limits hold whatever the store says.
  width = std::clamp(width, ScaleToScreen(kMinWidth), ScaleToScreen(kMaxWidth));
  SetBounds(left, top, width, ScaleToScreen(kHeight));
}

void TppTextSearchSettingsDialog::SaveBounds() {
  cls::Owned<TppIniStorage> store = CreateIniStorage();
  store->WriteInteger(kSection, "FormTop", Top());
  store->WriteInteger(kSection, "FormLeft", Left());
  store->WriteInteger(kSection, "FormWidth", ScaleFromScreen(Width()));
  store->WriteInteger(kSection, "FormHeight", ScaleFromScreen(Height()));
}
