// The producer: the base of the report component. It owns the printer
// setup and the publisher, makes the devices and dialogs of a print run and
// fires the print events; the report supplies the pages through its virtual
// operations (StartJob, RequestPages, EndJob, PageRequest, ...).
//
// A printer run: Print -> PrintToPrinter -> (inside the modal run of the
// cancel dialog) PrintToDevices -> StartJob, RequestPages, EndJob ->
// EndPrintJob. A failure inside the run ends it through EndPrintJob with
// the open document given up, and Print passes the failure on.
#pragma once
#include <atomic>
#include <cstdint>
#include <exception>
#include <string>

#include "platform/classes/classes.h"
#include "platform/ui/forms.h"
#include "report/engine/ppBackgroundPrintSettings.h"
#include "report/model/ppForms.h"
#include "report/model/ppPreviewSettings.h"
#include "report/model/ppRelatv.h"
#include "report/model/ppTypes.h"
#include "report/output/ppDevice.h"
#include "report/output/ppFilDev.h"
#include "report/output/ppPrintr.h"
#include "report/output/ppPrnDev.h"

class TppProducer : public TppRelative, public IppViewerReport {
  CLS_DECLARE_CLASS(TppProducer, TppRelative)
 public:
  explicit TppProducer(cls::TComponent* owner);
  ~TppProducer() override;
  // Closes and frees open dialogs and run objects, then what it owns.
  void BeforeDestruction() override;
  void Notification(cls::TComponent* c, cls::TOperation op) override;

  // Streams "Version" (always written as "7.03") and reads the old "Device".
  void DefineProperties(cls::TFiler* filer) override;
  // After loading: the stored version decides the conversion; then the
  // version becomes the current one.
  void Loaded() override;
  bool IsProducer() const override { return true; }
  // From another producer: its settings, setup and event handlers.
  void Transfer(TppCommunicator* source) override;

  // Virtual operations, in slot order.
  virtual void SaveText(cls::TObject* field, std::string& text);
  virtual void StartJob();
  virtual void RequestPages();
  virtual void EndJob();
  virtual void SetEnableProcessMessages(bool v);
  virtual void DoAfterPrint();
  virtual void DoBeforePrint();
  virtual void DoOnCancel();
  virtual void DoOnCancelDialogCreate();
  virtual void DoOnCancelDialogClose();
  virtual void DeviceAssigned(TppDevice*) {}
  virtual void DoOnPageRequest(TppPageRequest* request);
  virtual void DoOnAssignPreviewFormSettings();
  virtual void DoOnPreviewFormCreate();
  virtual void DoOnPreviewFormClose();
  virtual void DoOnPrintDialogCreate();
  virtual void DoOnPrintDialogClose();
  virtual void DoOnPrintingComplete();
  virtual void DoOnSaveText(cls::TObject* field, std::string& text);
  virtual bool IsNonScreenDevice() const;
  // Outside loading: the search settings' default text in the new language.
  virtual void LanguageChanged();
  virtual void PrinterSetupChanged() {}
  // The page geometry changed; then PrinterSetupChanged.
  virtual void PageDefChanged();
  // 0 printer, 1 screen, 2 text file, 3 archive; others are ignored.
  virtual void SetDeviceTypeFromOrdinal(int ordinal);
  // Outside loading, a name no device class bears keeps the old one.
  void SetDeviceType(const std::string& name) override;
  virtual void SetLanguage(TppLanguageType language);
  virtual void PageDefChanging(cls::TObject*, TppPageDef*, bool&) {}
  virtual void DoPageDefChange(cls::TObject* Sender);
  virtual void DoPrinterSetupChange(cls::TObject* Sender);
  // Sets Cancelled and tells the devices.
  void Cancel() override;
  virtual void Convert(int64_t versionNo);
  bool ExecuteAutoSearchDialog() override { return false; }
  void Print() override;
  virtual void PrintToDevices();
  // The background run: InternalPrintInBackground with the printer
  // device's page request, DeviceType and both file names.
  virtual void PrintInBackground();
  // Hands a snapshot of the job to the global background print manager.
  virtual void InternalPrintInBackground(TppPageRequest* request, const std::string& deviceType,
                                         const std::string& textFileName, const std::string& archiveFileName);
  // The publisher asks for pages: OnPageRequest here; the report generates.
  virtual void PageRequest(cls::TObject* Sender, TppPageRequest* aPageRequest);
  // Tells the devices to cancel without setting Cancelled. FAILURE is what
  // stopped the generation (the report raises it again).
  virtual void CancelJob(const std::exception_ptr& failure);
  // Unless Printing: no job started, not cancelled.
  virtual void ResetJobState();
  virtual void NotifyAfterPrint();
  virtual void NotifyBeforePrint();
  virtual void NotifyReportPrepare();
  virtual void NotifyReportEngineReset();

  // What a background job carries of the report beyond its settings. The
  // template through the scripting registry's "Template" property: written
  // into STREAM (TOSTREAM) or loaded from it; nothing for a producer
  // without one. The auto-search fields as a copy, given to the worker's
  // report: nothing here; the report carries its fields.
  virtual void TransferTemplate(cls::TStream* stream, bool toStream);
  virtual cls::TObject* CopyAutoSearchFields() { return nullptr; }
  virtual void TransferAutoSearchFields(cls::TObject* /*fields*/) {}

  // Pumps the application's messages when EnableProcessMessages; a
  // background job's cancel request is carried out here first.
  void ProcessMessages();
  // The flag a background job's cancel request sets (the worker's report
  // reads it between steps); nullptr: none.
  void SetCancelRequest(const std::atomic<bool>* flag) { cancelRequest_ = flag; }
  // The printer the report measures and prints with; nullptr when none.
  TppPrinter* GetPrinter();
  // Binds OnSaveText to the owner's published method of that name.
  void AssignOnSaveTextMethod(const std::string& name);

  // Published on the report.
  bool AllowPrintToArchive() const { return allowPrintToArchive_; }
  void SetAllowPrintToArchive(bool v);
  bool AllowPrintToFile() const { return allowPrintToFile_; }
  void SetAllowPrintToFile(bool v);
  const std::string& ArchiveFileName() const { return archiveFileName_; }
  void SetArchiveFileName(const std::string& v);
  TppBackgroundPrintSettings* BackgroundPrintSettings() { return &backgroundPrintSettings_; }
  const std::string& DeviceType() const override { return deviceType_; }
  bool EnableProcessMessages() const { return enableProcessMessages_; }
  const ui::TIcon& Icon() const { return icon_; }
  void SetIcon(const ui::TIcon& icon);
  TppLanguageType Language() const { return language_; }
  bool ModalCancelDialog() const { return modalCancelDialog_; }
  void SetModalCancelDialog(bool v);
  bool ModalPreview() const { return modalPreview_; }
  void SetModalPreview(bool v);
  TppPreviewFormSettings* PreviewFormSettings() const { return previewFormSettings_.get(); }
  // Both settings setters copy the values of SETTINGS (nullptr is ignored).
  void SetPreviewFormSettings(TppPreviewFormSettings* settings);
  TppPrinterSetup* PrinterSetup() override { return &printerSetup_; }
  // Assigns SETUP; a new page geometry or orientation is PageDefChanged,
  // else PrinterSetupChanged.
  void SetPrinterSetup(TppPrinterSetup* setup);
  bool SavePrinterSetup() const { return savePrinterSetup_; }
  void SetSavePrinterSetup(bool v) { savePrinterSetup_ = v; }
  bool ShowAutoSearchDialog() const override { return showAutoSearchDialog_; }
  void SetShowAutoSearchDialog(bool v) override { showAutoSearchDialog_ = v; }
  bool ShowCancelDialog() const { return showCancelDialog_; }
  void SetShowCancelDialog(bool v);
  bool ShowPrintDialog() const { return showPrintDialog_; }
  void SetShowPrintDialog(bool v);
  const std::string& TextFileName() const { return textFileName_; }
  void SetTextFileName(const std::string& v);
  TppFileType TextFileType() const { return textFileType_; }
  void SetTextFileType(TppFileType v);
  TppTextSearchSettings* TextSearchSettings() const { return textSearchSettings_.get(); }
  void SetTextSearchSettings(TppTextSearchSettings* settings);

  // Public, not published.
  TppCustomCancelDialog* CancelDialog() const { return cancelDialog_; }
  bool Cancelled() const { return cancelled_; }
  bool Converted() const { return converted_; }
  bool ConvertedFromPre40() const { return convertedFromPre40_; }
  int CurrentPage() const override { return currentPage_; }
  void SetCurrentPage(int v) override { currentPage_ = v; }
  TppFileDevice* FileDevice() const { return fileDevice_; }
  int LanguageIndex() const { return languageIndex_; }
  void SetLanguageIndex(int v) { languageIndex_ = v; }
  TppCustomPreviewer* PreviewForm() const { return previewForm_; }
  TppCustomPrintDialog* PrintDialog() const { return printDialog_; }
  TppPrinterDevice* PrinterDevice() const { return printerDevice_; }
  bool Printing() const override { return printing_; }
  bool Producing() const { return producing_; }
  TppPublisher* Publisher() const override { return publisher_.get(); }
  const std::string& Version() const { return version_; }
  int64_t VersionNo() const { return versionNo_; }

  cls::TNotifyEvent AfterPrint;
  cls::TNotifyEvent BeforePrint;
  cls::TNotifyEvent OnCancel;
  cls::TNotifyEvent OnCancelDialogCreate;
  cls::TNotifyEvent OnCancelDialogClose;
  TppPageRequestEvent OnPageRequest;
  cls::TNotifyEvent OnAssignPreviewFormSettings;
  cls::TNotifyEvent OnPreviewFormCreate;
  cls::TNotifyEvent OnPreviewFormClose;
  cls::TNotifyEvent OnPrintDialogCreate;
  cls::TNotifyEvent OnPrintDialogClose;
  TppSaveTextEvent OnSaveText;
  cls::TNotifyEvent OnPrintingComplete;

 protected:
  // Set while the report generates (and during a conversion): the guarded
  // setters do nothing then.
  void SetPrinting(bool v) { printing_ = v; }
  bool JobStarted() const { return jobStarted_; }
  // Waits one second with a notice, then StartJob (or Print).
  void ConvertBeforePrinting(bool continueWithStartJob);

 private:
  void PrintToPrinter();
  // Steps 2 to 9 of a printer run.
  void RunPrinterJob();
  void PrintToScreen();
  void EndPrintJob();
  // A run that failed: the open document is given up, the run ended.
  void AbandonPrintJob();
  // Producing off, publisher reset, job state reset, Producing on.
  void Regenerate();
  bool CreatePrintDialog();
  // The file device of DEVICETYPE with its file name (and file type);
  // false for the printer and the screen.
  bool CreateFileDevice(const std::string& deviceType);
  void CreateCancelDialog();
  void ReleaseCancelDialog();
  // The form is going: its handlers and report are cleared, it is told and
  // freed (the producer's destruction).
  void CloseDialog(TppForm* form);
  bool BackgroundActive() { return backgroundPrintSettings_.Active(); }

  // Handlers of the dialogs, the publisher and the setup.
  void DialogCancel(cls::TObject* Sender);
  void CancelDialogClose(cls::TObject* Sender);
  void CancelDialogStart(cls::TObject* Sender);
  void FileDeviceSaveText(cls::TObject* Sender, cls::TObject* aField, std::string& aText);
  void PreviewFormClose(cls::TObject* Sender);
  void PreviewFormDestroy(cls::TObject* Sender);
  void PreviewFormStart();
  // The preview form's zoom (its percentage only for a custom zoom) and
  // window state from PreviewFormSettings.
  void ApplyPreviewFormSettings();
  void SetupGetPrinter(TppPrinter*& aPrinter);

  bool Streaming() const { return HasState(cls::csLoading) || HasState(cls::csReading); }

  bool allowPrintToArchive_ = false;
  bool allowPrintToFile_ = false;
  std::string archiveFileName_;
  TppBackgroundPrintSettings backgroundPrintSettings_;
  bool printNotified_ = false;
  TppCustomCancelDialog* cancelDialog_ = nullptr;
  bool converted_ = false;
  int currentPage_ = 1;
  std::string deviceType_ = "Screen";
  bool enableProcessMessages_ = true;
  TppFileDevice* fileDevice_ = nullptr;
  ui::TIcon icon_;
  bool jobStarted_ = false;
  TppLanguageType language_ = lgDefault;
  int languageIndex_ = 0;
  bool modalCancelDialog_ = true;
  bool modalPreview_ = true;
  cls::Owned<TppPrinterSetup> savedSetup_;
  TppCustomPreviewer* previewForm_ = nullptr;
  bool cancelled_ = false;
  TppPrinterDevice* printerDevice_ = nullptr;
  TppPrinterSetup printerSetup_;
  TppCustomPrintDialog* printDialog_ = nullptr;
  bool printing_ = false;
  cls::Owned<TppPrinter> ownPrinter_;
  bool producing_ = false;
  cls::Owned<TppPublisher> publisher_;
  cls::Owned<TppPreviewFormSettings> previewFormSettings_;
  cls::Owned<TppTextSearchSettings> textSearchSettings_;
  bool setupChanged_ = false;
  bool savePrinterSetup_ = false;
  bool showAutoSearchDialog_ = false;
  bool showCancelDialog_ = true;
  bool showPrintDialog_ = true;
  std::string textFileName_;
  TppFileType textFileType_ = TppFileType::ftComma;
  std::string version_ = "1.0";
  int64_t versionNo_ = 1000;
  bool convertedFromPre40_ = false;
  bool conversionWait_ = false;

  bool printerRun_ = false;           // PrintToPrinter is under way
  bool previewRun_ = false;           // the printer run began from an open preview
  bool runOpen_ = false;              // a printer run that EndPrintJob has not ended
  std::exception_ptr runFailure_;     // raised inside the cancel dialog's run
  const std::atomic<bool>* cancelRequest_ = nullptr;
};

// Registers the producer, its setup and background print settings for
// streaming and publishes the settings' properties.
void ppRegisterProducerUnit();

// ---- scripting ----

class TraTppProducerRTTI : public TraTppRelativeRTTI {
  RA_DECLARE_RTTI(TraTppProducerRTTI, TraTppRelativeRTTI, TppProducer)
};
