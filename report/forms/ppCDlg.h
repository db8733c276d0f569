// The cancel dialog: shows the printer device's status text page by page
// while printing and offers a Cancel button (enabled only when the caller
// allows cancelling). No button answers it by default: an unattended run
// is never cancelled.
#pragma once
#include "platform/ui/controls.h"
#include "report/model/ppForms.h"

class TppCancelDialog : public TppCustomCancelDialog {
  CLS_DECLARE_CLASS(TppCancelDialog, TppCustomCancelDialog)

 public:
  explicit TppCancelDialog(cls::TComponent* AOwner);

  ui::TMemo* memMessage;
  ui::TButton* btnCancel;

  void LanguageChanged() override;
  void StatusChanged() override;
  // Cancel is enabled exactly when cancelling is allowed.
  void Activate() override;
  // The window's close during its modal run is its Cancel button: the print
  // stops when cancelling is allowed; else the window stays.
  void Close() override;

 private:
  void btnCancelClick(cls::TObject* Sender);
};
