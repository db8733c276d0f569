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
#include <vector>

#include "platform/classes/classes.h"
#include "platform/ui/controls.h"
#include "platform/ui/forms.h"
#include "report/model/ppTypes.h"

// The message a report sends its open dialogs when it is freed (wParam
// ppReportMessageParam, lParam the report): the dialog closes.
constexpr unsigned ppWMReportDestroyed = 1126;
constexpr intptr_t ppReportMessageParam = 5050;

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

 protected:
  // Closes on ppWMReportDestroyed.
  void WndProc(ui::TMessage& message) override;

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

// The print preview form: it answers the viewer it shows (a page viewer of
// the output layer). Published: Viewer.
class TppCustomPreviewer : public TppForm {
  CLS_DECLARE_CLASS(TppCustomPreviewer, TppForm)

 public:
  using TppForm::TppForm;
  // The caption shows the report's document name on activation.
  bool DisplayDocumentName = false;
  cls::TObject* Viewer() { return GetViewer(); }
  virtual cls::TObject* GetViewer() { return nullptr; }
  virtual void Init() {}
};

// The print dialog edits the printer (its setup), the page request and the
// background print settings the caller hands in.
class TppCustomPrintDialog : public TppForm {
  CLS_DECLARE_CLASS(TppCustomPrintDialog, TppForm)

 public:
  using TppForm::TppForm;
  bool AllowPrintToArchive = false;
  bool AllowPrintToFile = false;
  bool PrintToArchive = false;  // the chosen output after OK
  bool PrintToFile = false;
  bool Designing = false;       // the report's owner is being designed
  std::string ArchiveFileName;
  std::string DeviceType;
  std::string TextFileName;
  TppFileType TextFileType = TppFileType::ftComma;

  cls::TObject* Printer() const { return printer_; }
  // Stores the printer whose setup the dialog edits.
  virtual void SetPrinter(cls::TObject* printer) { printer_ = printer; }
  virtual cls::TObject* PageRequest() { return nullptr; }
  virtual cls::TObject* BackgroundPrintSettings() { return nullptr; }
  virtual void SetBackgroundPrintSettings(cls::TObject*) {}
  virtual void Init() {}

 private:
  cls::TObject* printer_ = nullptr;
};

class TppCustomPageSettingDialog : public TppForm {
  CLS_DECLARE_CLASS(TppCustomPageSettingDialog, TppForm)

 public:
  using TppForm::TppForm;
  cls::TStringList PageList;
  bool AllPages = false;
  std::string PageRange;
};

class TppCustomCalcTimingDialog : public TppForm {
  CLS_DECLARE_CLASS(TppCustomCalcTimingDialog, TppForm)

 public:
  using TppForm::TppForm;
  int CalcOn = -1;
  int ResetOn = -1;
  cls::TStringList CalcComponents;
  cls::TStringList ResetComponents;
  virtual int AddCalcComponent(const std::string& name, cls::TObject* component) {
    return CalcComponents.AddObject(name, component);
  }
  virtual int AddResetComponent(const std::string& name, cls::TObject* component) {
    return ResetComponents.AddObject(name, component);
  }
};

// Opens or saves a template kept in a table: mode 0 open, 1 save.
class TppCustomTemplateDialog : public TppForm {
  CLS_DECLARE_CLASS(TppCustomTemplateDialog, TppForm)

 public:
  using TppForm::TppForm;
  int Mode() const { return mode_; }
  virtual void SetMode(int mode) { mode_ = mode; }

 private:
  int mode_ = 0;
};

// The auto search dialog. The report hands it its auto-search fields (the
// engine's field objects, not owned) and shows it modally; OK (modal
// result 1) has written the entered values back into them.
class TppCustomAutoSearchDialog : public TppForm {
  CLS_DECLARE_CLASS(TppCustomAutoSearchDialog, TppForm)

 public:
  using TppForm::TppForm;
  const std::vector<cls::TComponent*>& AutoSearchFields() const { return autoSearchFields_; }
  virtual void SetAutoSearchFields(const std::vector<cls::TComponent*>& fields) { autoSearchFields_ = fields; }
  // Builds the dialog's controls for the fields.
  virtual void Init() {}

 private:
  std::vector<cls::TComponent*> autoSearchFields_;
};

// The abstract dialogs whose callers need nothing beyond the form base.
#define PP_ABSTRACT_FORM(Class)              \
  class Class : public TppForm {             \
    CLS_DECLARE_CLASS(Class, TppForm)        \
                                             \
   public:                                   \
    using TppForm::TppForm;                  \
  };
PP_ABSTRACT_FORM(TppCustomRTFEditor)
PP_ABSTRACT_FORM(TppCustomNoDataDialog)
PP_ABSTRACT_FORM(TppCustomTextSearchSettingsDialog)
PP_ABSTRACT_FORM(TppCustomFormatDialog)
PP_ABSTRACT_FORM(TppCustomPositionDialog)
PP_ABSTRACT_FORM(TppCustomBandPositionDialog)
PP_ABSTRACT_FORM(TppCustomMemoDialog)
PP_ABSTRACT_FORM(TppCustomDBTextDialog)
PP_ABSTRACT_FORM(TppCustomDBCalcDialog)
PP_ABSTRACT_FORM(TppCustomCalcDialog)
PP_ABSTRACT_FORM(TppCustomShiftDialog)
PP_ABSTRACT_FORM(TppCustomDrillDownDialog)
PP_ABSTRACT_FORM(TppCustomTemplateErrorDialog)
PP_ABSTRACT_FORM(TppCustomBarCodeDialog)
PP_ABSTRACT_FORM(TppCustomCalcOrderDialog)
#undef PP_ABSTRACT_FORM

// The spin button the dialogs attach to numeric edit fields: Min -100, two
// small arrow marks drawn over the standard face.
class TppUpDown : public ui::TUpDown {
  CLS_DECLARE_CLASS(TppUpDown, ui::TUpDown)

 public:
  explicit TppUpDown(cls::TComponent* AOwner);
  // Attached to EDIT: placed inside its right edge, on its parent.
  TppUpDown(cls::TComponent* AOwner, ui::TEdit* edit);

 protected:
  void Paint() override;
};

// Publishes the form classes' properties (the model's entry point calls it).
void ppPublishFormProperties();

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
