// The base of the library's dialogs, one abstract form class for each kind
// of dialog, and the registry that maps an abstract class to the form class
// that implements it. The library creates a dialog from the registered
// class and drives it through the abstract class's virtual operations; a
// program replaces a dialog by registering its own class.
//
// Classes of higher layers (printer setup, page request, viewer, background
// print settings) are held here as class-library objects.
#pragma once
#include <string>

#include "platform/classes/classes.h"
#include "platform/ui/controls.h"
#include "platform/ui/forms.h"

class TppForm : public ui::TForm {
  CLS_DECLARE_CLASS(TppForm, ui::TForm)

 public:
  explicit TppForm(cls::TComponent* AOwner);
  // Runs the destroy handler, then the form's own teardown.
  void BeforeDestruction() override;

  // Handlers of the report objects that open the dialog; each gets the
  // form as sender.
  cls::TNotifyEvent OnFormActivate;
  cls::TNotifyEvent OnCancel;
  cls::TNotifyEvent OnFormCloseQuery;
  cls::TNotifyEvent OnFormDestroy;

  int LanguageIndex() const { return languageIndex_; }
  // Stores it, then LanguageChanged.
  void SetLanguageIndex(int value);
  cls::TComponent* Report() const { return report_; }
  // Stores it, then ReportAssigned.
  void SetReport(cls::TComponent* value);

  // Calls the cancel handler when one is assigned.
  virtual void RequestCancel();
  // The dialog reloads its texts here.
  virtual void LanguageChanged() {}
  virtual void ReportAssigned() {}

  // The form runs its own activation, then the activation handler.
  void Activate() override;
  // The close-query handler first, then the form's own close query decides.
  bool CloseQuery() override;

  // Lengths in design pixels (the form's PixelsPerInch) to screen pixels
  // and back, rounded.
  int ScaleToScreen(int designPixels) const;
  int ScaleFromScreen(int screenPixels) const;

 private:
  int languageIndex_ = 0;
  cls::TComponent* report_ = nullptr;
};

// Progress while printing. StartDialog shows the dialog modally and prints
// from its timer 10 ms after it has appeared; the printer device reports
// each page through SetStatusText.
class TppCustomCancelDialog : public TppForm {
  CLS_DECLARE_CLASS(TppCustomCancelDialog, TppForm)

 public:
  explicit TppCustomCancelDialog(cls::TComponent* AOwner);

  // Whether the user may cancel (the Cancel button is enabled).
  bool AllowPrintCancel() const { return allowPrintCancel_; }
  void SetAllowPrintCancel(bool v) { allowPrintCancel_ = v; }
  bool Printing() const { return printing_; }
  const std::string& StatusText() const { return statusText_; }
  // Stores it, then StatusChanged.
  void SetStatusText(const std::string& text);
  ui::TTimer* Timer() const { return timer_; }
  // Runs from the timer's tick, once per StartDialog.
  cls::TNotifyEvent OnPrint;

  // Sets the printing flag, starts the timer and shows the dialog modally;
  // answers the modal result.
  int StartDialog();
  virtual void StatusChanged() {}

  // Not printing, showing remembers the screen's active form; hiding
  // enables that form again and focuses it when it can take the focus.
  void DoShow() override;
  void DoHide() override;

 protected:
  void Notification(cls::TComponent* c, cls::TOperation op) override;

 private:
  void TimerTick();
  void ForgetActiveForm();

  ui::TCustomForm* activeForm_ = nullptr;  // remembered while shown
  bool allowPrintCancel_ = false;
  bool printing_ = false;
  std::string statusText_;
  ui::TTimer* timer_;  // owned as a component
};

// The registry. Names compare without regard to case.
//
// Registers FORMCLASS under ANCESTORCLASS, replacing an earlier one, and
// with the class library's class registry.
void RegisterFormClass(cls::TClass ancestorClass, cls::TClass formClass);
// Removes the registration (and the form class from the class registry);
// nothing when there is none.
void UnregisterFormClass(cls::TClass ancestorClass);
// The form class registered under ANCESTORCLASS, or nullptr.
cls::TClass FindFormClass(cls::TClass ancestorClass);
