#include "report/forms/ppCDlg.h"

#include <algorithm>

#include "report/model/ppResMgr.h"

CLS_IMPLEMENT_COMPONENT(TppCancelDialog)

namespace {

// Design width of the dialog buttons; a wider caption widens the button.
constexpr int kButtonWidth = 75;

}  // namespace

TppCancelDialog::TppCancelDialog(cls::TComponent* AOwner) : TppCustomCancelDialog(AOwner) {
  BorderStyle = ui::TFormBorderStyle::bsDialog;
  BorderIcons = 0;
  Position = ui::TPosition::poScreenCenter;
  SetClientWidth(270);
  SetClientHeight(133);
  Caption = "Printing";

  memMessage = new ui::TMemo(this);
  memMessage->SetName("memMessage");
  memMessage->SetParent(this);
  memMessage->SetBounds(41, 12, 187, 75);
  memMessage->ReadOnly = true;
  memMessage->BorderStyle = ui::TBorderStyle::bsNone;
  memMessage->Alignment = ui::TAlignment::taCenter;
  memMessage->Color = gdi::clBtnFace;

  btnCancel = new ui::TButton(this);
  btnCancel->SetName("btnCancel");
  btnCancel->SetParent(this);
  btnCancel->SetBounds((270 - kButtonWidth) / 2, 98, kButtonWidth, 23);
  btnCancel->Caption = "Cancel";
  btnCancel->Cancel = true;  // Esc cancels the print as the button does
  btnCancel->OnClick = [this](cls::TObject* Sender) { btnCancelClick(Sender); };
}

void TppCancelDialog::LanguageChanged() {
  Caption = ppLoadStr(24);
  btnCancel->Caption = ppLoadStr(5);
  gdi::TCanvas& canvas = Canvas();
  canvas.Font.Assign(btnCancel->Font);
  int width = std::max(kButtonWidth, canvas.TextWidth(btnCancel->Caption) + 15);
  btnCancel->SetBounds((ClientWidth() - width) / 2, btnCancel->Top(), width, btnCancel->Height());
}

void TppCancelDialog::StatusChanged() { memMessage->Lines.SetText(StatusText()); }

void TppCancelDialog::Activate() {
  btnCancel->Enabled = AllowPrintCancel();
  inherited::Activate();
}

void TppCancelDialog::btnCancelClick(cls::TObject*) {
  RequestCancel();
  inherited::Close();
}

void TppCancelDialog::Close() {
  if (!Modal()) return inherited::Close();
  if (!AllowPrintCancel()) return;
  btnCancelClick(this);
}
