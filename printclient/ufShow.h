// The notice shown when the printer "Zolmet" is not installed: it lists the
// installed printers and lets the user print on the default printer anyway
// (modal result mrYes) or give up (mrNo).
#pragma once
#include "platform/ui/forms.h"

namespace printclient {

class TzfShow : public ui::TForm {
  CLS_DECLARE_CLASS(TzfShow, ui::TForm)

 public:
  explicit TzfShow(ui::TComponent* AOwner);

  ui::TPanel* Panel1;
  ui::TLabel* lbListTitle;
  ui::TMemo* Memo1;
  ui::TPanel* Panel2;
  ui::TLabel* lbNote;
  ui::TButton* bnPrint;
  ui::TButton* bnAbort;

  void FormCreate(ui::TObject* Sender);
  void FormClose(ui::TObject* Sender, ui::TCloseAction& Action);
  void bnPrintClick(ui::TObject* Sender);
  void bnAbortClick(ui::TObject* Sender);
};

}  // namespace printclient
