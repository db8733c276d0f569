#include "report/forms/ppNoDataDlg.h"

#include "platform/ui/dialogs.h"
#include "report/model/ppResMgr.h"

CLS_IMPLEMENT_COMPONENT(TppNoDataDialog)

TppNoDataDialog::TppNoDataDialog(cls::TComponent* AOwner) : TppCustomCancelDialog(AOwner) {
  BorderStyle = ui::TFormBorderStyle::bsDialog;
  BorderIcons = 0;
  Position = ui::TPosition::poScreenCenter;
  SetClientWidth(270);
  SetClientHeight(93);
  Caption = "No Data Found";

  memMessage = new ui::TMemo(this);
  memMessage->SetName("memMessage");
  memMessage->SetParent(this);
  memMessage->SetBounds(41, 10, 187, 41);
  memMessage->ReadOnly = true;
  memMessage->BorderStyle = ui::TBorderStyle::bsNone;
  memMessage->Alignment = ui::TAlignment::taCenter;
  memMessage->Color = gdi::clBtnFace;
  memMessage->Lines.SetText("No data found for this report.");

  btnOK = new ui::TButton(this);
  btnOK->SetName("btnOK");
  btnOK->SetParent(this);
  btnOK->SetBounds((270 - 75) / 2, 60, 75, 23);
  btnOK->Caption = "OK";
  btnOK->ModalResult = ui::mrOk;
  btnOK->Default = true;
}

void TppNoDataDialog::LanguageChanged() {
  Caption = ppLoadStr(1034);
  memMessage->Lines.SetText(ppLoadStr(1035));
  btnOK->Caption = ppLoadStr(17);
}
