#include "ufShow.h"

#include "platform/ui/dialogs.h"
#include "printclient/ufMain.h"
#include "printclient/uuConfig.h"
#include "report/engine/ppReport.h"

namespace printclient {

CLS_IMPLEMENT_COMPONENT(TzfShow)

TzfShow::TzfShow(ui::TComponent* AOwner) : ui::TForm(AOwner) {
  // A notice released but not yet freed keeps its name: a second one is
  // named as the form designer names a second instance.
  std::string name = "zfShow";
  for (int i = 1; AOwner && AOwner->FindComponent(name) && AOwner->FindComponent(name) != this; ++i)
    name = "zfShow_" + std::to_string(i);
  SetName(name);
  BorderIcons = ui::biMaximize;
  Position = ui::TPosition::poScreenCenter;
  SetClientWidth(385);
  SetClientHeight(288);
  Font.SetName("細明體");
  Font.SetHeight(-16);
  Font.SetCharset(win::CHINESEBIG5_CHARSET);

  Panel1 = new ui::TPanel(this);
  Panel1->SetName("Panel1");
  Panel1->SetParent(this);
  Panel1->SetHeight(33);
  Panel1->SetAlign(ui::TAlign::alTop);
  Panel1->BevelOuter = ui::TBevelCut::bvNone;

  lbListTitle = new ui::TLabel(this);
  lbListTitle->SetName("lbListTitle");
  lbListTitle->SetParent(Panel1);
  lbListTitle->SetBounds(8, 9, 144, 16);
  lbListTitle->Caption = "目前已安裝列表機：";

  Panel2 = new ui::TPanel(this);
  Panel2->SetName("Panel2");
  Panel2->SetParent(this);
  Panel2->SetHeight(81);
  Panel2->SetAlign(ui::TAlign::alBottom);
  Panel2->BevelOuter = ui::TBevelCut::bvNone;

  lbNote = new ui::TLabel(this);
  lbNote->SetName("lbNote");
  lbNote->SetParent(Panel2);
  lbNote->SetBounds(8, 8, 369, 16);
  lbNote->Font.Assign(Font);
  lbNote->Font.SetColor(gdi::clRed);
  lbNote->Caption = "您的電腦目前尚未安裝名為 \"" + uuConfig::kPrinterName + "\" 的列表機";

  // No default button: a notice nobody answers declines.
  bnPrint = new ui::TButton(this);
  bnPrint->SetName("bnPrint");
  bnPrint->SetParent(Panel2);
  bnPrint->SetBounds(96, 40, 89, 29);
  bnPrint->Caption = "繼續列印";
  bnPrint->OnClick = [this](ui::TObject* s) { bnPrintClick(s); };

  bnAbort = new ui::TButton(this);
  bnAbort->SetName("bnAbort");
  bnAbort->SetParent(Panel2);
  bnAbort->SetBounds(200, 40, 89, 29);
  bnAbort->Caption = "取消";
  bnAbort->OnClick = [this](ui::TObject* s) { bnAbortClick(s); };

  Memo1 = new ui::TMemo(this);
  Memo1->SetName("Memo1");
  Memo1->SetParent(this);
  Memo1->SetAlign(ui::TAlign::alClient);
  Memo1->ReadOnly = true;
  Memo1->ScrollBars = ui::TScrollStyle::ssBoth;

  OnCreate = [this](ui::TObject* s) { FormCreate(s); };
  OnClose = [this](ui::TObject* s, ui::TCloseAction& a) { FormClose(s, a); };
}

void TzfShow::FormCreate(ui::TObject*) {
  Caption = "[Dravik] 列表機設定訊息";
  TzfMain* main = cls::ObjectAs<TzfMain>(Owner());
  if (!main) main = zfMain;
  if (!main) return;
  Icon.Assign(main->Icon);
  Memo1->Lines.Clear();
  for (const std::string& name : main->ppReport1->PrinterSetup()->PrinterNames())
    if (name != "Default" && name != "Screen") Memo1->Lines.Add(name);
}

void TzfShow::FormClose(ui::TObject*, ui::TCloseAction& Action) { Action = ui::TCloseAction::caFree; }

void TzfShow::bnPrintClick(ui::TObject*) {
  if (ui::MessageBox("將使用預設印表機列印 ?", "注意", ui::MB_OKCANCEL) == ui::IDOK) ModalResult = ui::mrYes;
}

void TzfShow::bnAbortClick(ui::TObject*) { ModalResult = ui::mrNo; }

}  // namespace printclient
