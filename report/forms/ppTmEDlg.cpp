#include "report/forms/ppTmEDlg.h"

#include "platform/classes/typinfo.h"
#include "platform/ui/dialogs.h"
#include "report/model/ppResMgr.h"

CLS_IMPLEMENT_COMPONENT(TppTemplateErrorDialog)

namespace {

ui::TButton* AddButton(TppTemplateErrorDialog* form, const char* name, const char* caption, int left,
                       int modalResult) {
  auto* b = new ui::TButton(form);
  b->SetName(name);
  b->SetParent(form);
  b->SetBounds(left, 96, 75, 25);
  b->Caption = caption;
  b->ModalResult = modalResult;
  return b;
}

}  // namespace

TppTemplateErrorDialog::TppTemplateErrorDialog(cls::TComponent* AOwner) : TppCustomTemplateErrorDialog(AOwner) {
  BorderStyle = ui::TFormBorderStyle::bsDialog;
  Position = ui::TPosition::poScreenCenter;
  SetClientWidth(342);
  SetClientHeight(131);
  Caption = "Error Reading Template";

  lblMessage = new ui::TLabel(this);
  lblMessage->SetName("lblMessage");
  lblMessage->SetParent(this);
  lblMessage->SetBounds(12, 12, 318, 72);
  lblMessage->AutoSize = false;
  lblMessage->WordWrap = true;

  const int firstLeft = 97;  // the buttons end 10 pixels from the right
  btnIgnore = AddButton(this, "btnIgnore", "&Ignore", firstLeft, ui::mrIgnore);
  btnIgnoreAll = AddButton(this, "btnIgnoreAll", "Ignore &All", firstLeft + 80, ui::mrAll);
  btnCancel = AddButton(this, "btnCancel", "Cancel", firstLeft + 160, ui::mrCancel);
  btnCancel->Cancel = true;
  btnCancel->Default = true;
}

void TppTemplateErrorDialog::LanguageChanged() {
  Caption = ppLoadStr(418);
  btnIgnore->Caption = ppLoadStr(416);
  btnCancel->Caption = ppLoadStr(5);
  btnIgnoreAll->Caption = ppLoadStr(417);
}

void TppTemplateErrorDialog::RegisterProperties() {
  using D = TppTemplateErrorDialog;
  cls::PublishProperty(StaticClass(), cls::StrProperty<D>("MessageText", &D::MessageText, &D::SetMessageText));
}
