// A problem while reading a template: Ignore (mrIgnore), Ignore All (mrAll)
// or Cancel (mrCancel, the answer when nobody is there to give one).
// Published: MessageText.
#pragma once
#include <string>

#include "platform/ui/controls.h"
#include "report/model/ppForms.h"

class TppTemplateErrorDialog : public TppCustomTemplateErrorDialog {
  CLS_DECLARE_CLASS(TppTemplateErrorDialog, TppCustomTemplateErrorDialog)

 public:
  explicit TppTemplateErrorDialog(cls::TComponent* AOwner);

  ui::TLabel* lblMessage;
  ui::TButton* btnIgnore;
  ui::TButton* btnIgnoreAll;
  ui::TButton* btnCancel;

  std::string MessageText() const { return lblMessage->Caption; }
  void SetMessageText(const std::string& text) { lblMessage->Caption = text; }

  void LanguageChanged() override;

  static void RegisterProperties();
};
