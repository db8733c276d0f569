// Tells that the report found no data; OK answers it by default.
#pragma once
#include "platform/ui/controls.h"
#include "report/model/ppForms.h"

// Registered under TppCustomNoDataDialog; descends from the cancel dialog
// base as it always has (callers check the class before its members).
class TppNoDataDialog : public TppCustomCancelDialog {
  CLS_DECLARE_CLASS(TppNoDataDialog, TppCustomCancelDialog)

 public:
  explicit TppNoDataDialog(cls::TComponent* AOwner);

  ui::TMemo* memMessage;
  ui::TButton* btnOK;

  void LanguageChanged() override;
};
