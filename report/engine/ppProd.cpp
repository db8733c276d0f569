#include "report/engine/ppProd.h"

#include <mutex>
#include <thread>

#include "platform/ui/dialogs.h"
#include "report/engine/ppBackgroundPrint.h"
#include "report/model/ppRTTI.h"
#include "report/model/ppResMgr.h"
#include "report/model/ppTemplate.h"
#include "report/model/ppUtils.h"
#include "report/output/ppViewr.h"

CLS_IMPLEMENT_COMPONENT(TppProducer)

namespace {

constexpr int64_t kVersionNo = 7030;
constexpr const char* kVersion = "7.03";
constexpr const char* kScreen = "Screen";

// Runs every step; the first failure passes on once all have run.
class TppSteps {
 public:
  template <class F>
  void Run(F&& step) {
    try {
      step();
    } catch (...) {
      if (!first_) first_ = std::current_exception();
    }
  }
  void Finish() {
    if (first_) std::rethrow_exception(first_);
  }

 private:
  std::exception_ptr first_;
};

}  // namespace

TppProducer::TppProducer(cls::TComponent* owner)
    : TppRelative(owner),
      printerSetup_(this),
      publisher_(new TppPublisher(nullptr)),
      previewFormSettings_(new TppPreviewFormSettings),
      textSearchSettings_(new TppTextSearchSettings) {
  printerSetup_.OnGetPrinter = TppGetPrinterEvent(this, &TppProducer::SetupGetPrinter);
  printerSetup_.OnPageDefChanging = TppPageDefChangingEvent(this, &TppProducer::PageDefChanging);
  printerSetup_.OnPageDefChange = cls::TNotifyEvent(this, &TppProducer::DoPageDefChange);
  printerSetup_.OnPrinterSetupChange = cls::TNotifyEvent(this, &TppProducer::DoPrinterSetupChange);
  publisher_->OnPageRequest = TppPageRequestEvent(this, &TppProducer::PageRequest);
}

TppProducer::~TppProducer() = default;

void TppProducer::BeforeDestruction() {
  if (previewForm_) CloseDialog(previewForm_);
  if (cancelDialog_) CloseDialog(cancelDialog_);
  previewForm_ = nullptr;
  cancelDialog_ = nullptr;
  // A run still open (freed from one of its handlers): its objects go too.
  if (printDialog_) cls::FreeAndNil(printDialog_);
  savedSetup_.reset();
  cls::FreeAndNil(fileDevice_);
  cls::FreeAndNil(printerDevice_);
  printerSetup_.OnGetPrinter.Clear();
  printerSetup_.OnPageDefChanging.Clear();
  printerSetup_.OnPageDefChange.Clear();
  printerSetup_.OnPrinterSetupChange.Clear();
  publisher_->OnPageRequest.Clear();
  publisher_.reset();
  ownPrinter_.reset();
  inherited::BeforeDestruction();
}

void TppProducer::CloseDialog(TppForm* form) {
  form->RemoveFreeNotification(this);
  form->OnCancel.Clear();
  form->OnFormCloseQuery.Clear();
  form->OnFormDestroy.Clear();
  if (auto* c = cls::ObjectAs<TppCustomCancelDialog>(form)) c->OnPrint.Clear();
  form->SetReport(nullptr);
  try {
    form->Perform(ppWMReportDestroyed, ppReportMessageParam, reinterpret_cast<intptr_t>(this));
  } catch (...) {
  }
  form->Free();
}

void TppProducer::Notification(cls::TComponent* c, cls::TOperation op) {
  inherited::Notification(c, op);
  if (op != cls::opRemove) return;
  if (c == cancelDialog_) cancelDialog_ = nullptr;
  if (c == previewForm_) previewForm_ = nullptr;
  if (c == printDialog_) printDialog_ = nullptr;
  if (c == printerDevice_) printerDevice_ = nullptr;
  if (c == fileDevice_) fileDevice_ = nullptr;
}

// ---- stored form

void TppProducer::DefineProperties(cls::TFiler* filer) {
  inherited::DefineProperties(filer);
  filer->DefineProperty(
      "Version",
      [this](cls::TReader& r) {
        cls::TValueKind kind = r.NextValue();
        if (kind != cls::vkString && kind != cls::vkIdent) {
          r.SkipValue();
          return;
        }
        version_ = kind == cls::vkString ? r.ReadString() : r.ReadIdent();
        versionNo_ = VersionToInteger(version_);
      },
      [](cls::TWriter& w) { w.WriteString(kVersion); }, true);
  filer->DefineProperty(
      "Device",
      [this](cls::TReader& r) {
        if (r.NextValue() != cls::vkIdent) {
          r.SkipValue();
          return;
        }
        std::string ident = r.ReadIdent();
        if (ident == "dvScreen") SetDeviceType(kScreen);
        else if (ident == "dvPrinter") SetDeviceType("Printer");
        else if (ident == "dvFile") SetDeviceType("TextFile");
        else if (ident == "dvArchive") SetDeviceType("ArchiveFile");
      },
      nullptr, false);
}

void TppProducer::Loaded() {
  static const std::string kBeta = "Beta Build";
  size_t at = version_.find(kBeta);
  if (at != std::string::npos && kVersionNo <= versionNo_) {
    // The build number sits 11 places on; anything but a digit there
    // counts as an early build.
    size_t i = at + 11;
    int build = i < version_.size() && version_[i] >= '0' && version_[i] <= '9' ? version_[i] - '0' : 0;
    versionNo_ = build >= 7 ? 3999 : 3998;
  }
  convertedFromPre40_ = versionNo_ < 4000;
  if (kVersionNo > versionNo_) {
    Convert(versionNo_);
    converted_ = true;
  }
  version_ = kVersion;
  versionNo_ = kVersionNo;
  inherited::Loaded();
}

void TppProducer::Convert(int64_t versionNo) {
  if (versionNo < 4211 && language_ == lgSpanish) language_ = lgSpanishMexico;
  // Earlier templates had no search pane to show.
  if (versionNo < 7010) textSearchSettings_->SetVisible(false);
}

void TppProducer::LanguageChanged() {
  if (!Streaming()) textSearchSettings_->ResetDefaultString();
}

void TppProducer::SetPreviewFormSettings(TppPreviewFormSettings* settings) {
  if (settings && settings != previewFormSettings_.get()) previewFormSettings_->CopySettings(settings);
}

void TppProducer::SetTextSearchSettings(TppTextSearchSettings* settings) {
  if (settings && settings != textSearchSettings_.get()) textSearchSettings_->Assign(settings);
}

void TppProducer::Transfer(TppCommunicator* source) {
  inherited::Transfer(source);
  auto* s = cls::ObjectAs<TppProducer>(source);
  if (!s || s == this) return;
  allowPrintToArchive_ = s->allowPrintToArchive_;
  allowPrintToFile_ = s->allowPrintToFile_;
  archiveFileName_ = s->archiveFileName_;
  converted_ = s->converted_;
  convertedFromPre40_ = s->convertedFromPre40_;
  deviceType_ = s->deviceType_;
  icon_ = s->icon_;
  language_ = s->language_;
  languageIndex_ = s->languageIndex_;
  modalCancelDialog_ = s->modalCancelDialog_;
  modalPreview_ = s->modalPreview_;
  showCancelDialog_ = s->showCancelDialog_;
  showPrintDialog_ = s->showPrintDialog_;
  textFileName_ = s->textFileName_;
  textFileType_ = s->textFileType_;
  version_ = s->version_;
  versionNo_ = s->versionNo_;
  printerSetup_.Assign(&s->printerSetup_);
  textSearchSettings_->Assign(s->textSearchSettings_.get());
  // Templates load through Transfer: the preview settings travel too.
  previewFormSettings_->CopySettings(s->previewFormSettings_.get());
  AfterPrint = s->AfterPrint;
  BeforePrint = s->BeforePrint;
  OnCancel = s->OnCancel;
  OnCancelDialogCreate = s->OnCancelDialogCreate;
  OnCancelDialogClose = s->OnCancelDialogClose;
  OnPageRequest = s->OnPageRequest;
  OnAssignPreviewFormSettings = s->OnAssignPreviewFormSettings;
  OnPreviewFormCreate = s->OnPreviewFormCreate;
  OnPreviewFormClose = s->OnPreviewFormClose;
  OnPrintDialogCreate = s->OnPrintDialogCreate;
  OnPrintDialogClose = s->OnPrintDialogClose;
  OnSaveText = s->OnSaveText;
  OnPrintingComplete = s->OnPrintingComplete;
}

// ---- settings

void TppProducer::SetAllowPrintToArchive(bool v) {
  if (!printing_) allowPrintToArchive_ = v;
}

void TppProducer::SetAllowPrintToFile(bool v) {
  if (!printing_) allowPrintToFile_ = v;
}

void TppProducer::SetArchiveFileName(const std::string& v) {
  if (printing_) return;
  archiveFileName_ = v;
  ResetJobState();
  publisher_->ResetDevices();
}

void TppProducer::SetIcon(const ui::TIcon& icon) {
  if (!printing_) icon_ = icon;
}

void TppProducer::SetModalCancelDialog(bool v) {
  if (!printing_) modalCancelDialog_ = v;
}

void TppProducer::SetModalPreview(bool v) {
  if (!printing_) modalPreview_ = v;
}

void TppProducer::SetShowCancelDialog(bool v) {
  if (!printing_) showCancelDialog_ = v;
}

void TppProducer::SetShowPrintDialog(bool v) {
  if (!printing_) showPrintDialog_ = v;
}

void TppProducer::SetTextFileName(const std::string& v) {
  if (!printing_) textFileName_ = v;
}

void TppProducer::SetTextFileType(TppFileType v) {
  if (!printing_) textFileType_ = v;
}

void TppProducer::SetEnableProcessMessages(bool v) { enableProcessMessages_ = v; }

void TppProducer::SetDeviceType(const std::string& name) {
  std::string old = deviceType_;
  deviceType_ = name;
  if (!Streaming() && !GetDeviceClassForName(name)) deviceType_ = old;
}

void TppProducer::SetDeviceTypeFromOrdinal(int ordinal) {
  static const char* const names[] = {"Printer", kScreen, "TextFile", "ArchiveFile"};
  if (ordinal >= 0 && ordinal < 4) SetDeviceType(names[ordinal]);
}

void TppProducer::SetLanguage(TppLanguageType language) {
  if (printing_) return;
  TppResourceManager* manager = GetResourceManager();
  if (!manager->SetLanguage(language)) {
    if (!Streaming()) return;
    language = lgDefault;
    manager->SetLanguage(lgDefault);
  }
  language_ = language;
  languageIndex_ = 0;
  LanguageChanged();
}

void TppProducer::SetPrinterSetup(TppPrinterSetup* setup) {
  if (!setup) return;
  bool compare = !Streaming();
  TppPageDef oldPageDef;
  TPrinterOrientation oldOrientation = poPortrait;
  if (compare) {
    oldPageDef.Assign(printerSetup_.PageDef());
    oldOrientation = printerSetup_.Orientation();
  }
  printerSetup_.Assign(setup);
  if (compare && (!oldPageDef.IsEqual(printerSetup_.PageDef()) || oldOrientation != printerSetup_.Orientation()))
    PageDefChanged();
  else
    PrinterSetupChanged();
}

void TppProducer::PageDefChanged() { PrinterSetupChanged(); }

void TppProducer::DoPageDefChange(cls::TObject*) { PageDefChanged(); }

void TppProducer::DoPrinterSetupChange(cls::TObject*) { PrinterSetupChanged(); }

void TppProducer::AssignOnSaveTextMethod(const std::string& name) {
  OnSaveText = TppSaveTextEvent::FromMethod(GetMethodByName(Owner(), name.substr(0, 255)));
}

// ---- printers

TppPrinter* TppProducer::GetPrinter() {
  if (ownPrinter_) {
    ownPrinter_->SetPrinterSetup(&printerSetup_);
    return ownPrinter_.get();
  }
  if (printerDevice_) return printerDevice_->Printer();
  TppPrinter* global = ppGetGlobalPrinter();
  if (!InMainThread() && global) {
    ownPrinter_.reset(new TppPrinter());
    ownPrinter_->SetPrinterSetup(&printerSetup_);
    return ownPrinter_.get();
  }
  if (global) global->SetPrinterSetup(&printerSetup_);
  return global;
}

void TppProducer::SetupGetPrinter(TppPrinter*& aPrinter) { aPrinter = GetPrinter(); }

void TppProducer::ProcessMessages() {
  if (cancelRequest_ && cancelRequest_->load() && !cancelled_) Cancel();
  if (enableProcessMessages_) ui::Application().ProcessMessages();
}

// ---- events

void TppProducer::NotifyAfterPrint() {
  if (!printNotified_) return;
  printNotified_ = false;
  SendEventNotify(this, ciProducerAfterPrint, nullptr);
}

void TppProducer::NotifyBeforePrint() {
  if (printNotified_) return;
  printNotified_ = true;
  SendEventNotify(this, ciProducerBeforePrint, nullptr);
}

void TppProducer::NotifyReportPrepare() { SendEventNotify(this, ciReportPrepare, nullptr); }

void TppProducer::NotifyReportEngineReset() { SendEventNotify(this, ciReportEngineReset, nullptr); }

void TppProducer::DoAfterPrint() {
  NotifyAfterPrint();
  if (AfterPrint) AfterPrint(this);
}

void TppProducer::DoBeforePrint() {
  NotifyBeforePrint();
  if (BeforePrint) BeforePrint(this);
}

void TppProducer::DoOnCancel() {
  if (OnCancel) OnCancel(this);
  SendEventNotify(this, ciProducerCancel, nullptr);
}

void TppProducer::DoOnCancelDialogCreate() {
  if (OnCancelDialogCreate) OnCancelDialogCreate(this);
  SendEventNotify(this, ciProducerCancelDialogCreate, nullptr);
}

void TppProducer::DoOnCancelDialogClose() {
  if (OnCancelDialogClose) OnCancelDialogClose(this);
  SendEventNotify(this, ciProducerCancelDialogClose, nullptr);
}

void TppProducer::DoOnPageRequest(TppPageRequest* request) {
  if (OnPageRequest) OnPageRequest(this, request);
}

void TppProducer::DoOnAssignPreviewFormSettings() {
  if (OnAssignPreviewFormSettings) OnAssignPreviewFormSettings(this);
  SendEventNotify(this, ciProducerAssignPreviewFormSettings, nullptr);
}

void TppProducer::DoOnPreviewFormCreate() {
  if (previewForm_) {
    previewForm_->SetLanguageIndex(languageIndex_);
    if (!icon_.Empty()) previewForm_->Icon.Assign(icon_);
  }
  if (OnPreviewFormCreate) OnPreviewFormCreate(this);
  SendEventNotify(this, ciProducerPreviewFormCreate, nullptr);
}

void TppProducer::DoOnPreviewFormClose() {
  if (printing_) Cancel();
  if (OnPreviewFormClose) OnPreviewFormClose(this);
  SendEventNotify(this, ciProducerPreviewFormClose, nullptr);
}

void TppProducer::DoOnPrintDialogCreate() {
  if (OnPrintDialogCreate) OnPrintDialogCreate(this);
  SendEventNotify(this, ciProducerPrintDialogCreate, nullptr);
}

void TppProducer::DoOnPrintDialogClose() {
  if (OnPrintDialogClose) OnPrintDialogClose(this);
  SendEventNotify(this, ciProducerPrintDialogClose, nullptr);
}

void TppProducer::DoOnPrintingComplete() {
  if (OnPrintingComplete) OnPrintingComplete(this);
}

void TppProducer::DoOnSaveText(cls::TObject* field, std::string& text) {
  if (OnSaveText) OnSaveText(this, field, text);
  if (!HasEventNotify(ciProducerSaveText)) return;
  cls::Owned<TraParamList> params(raGetParams(this, "OnSaveText"));
  std::string value = text;
  if (params) params->SetParamAddress("Text", &value);
  SendEventNotify(this, ciProducerSaveText, params.get());
  if (params) params->GetParam("Text", text);
}

void TppProducer::SaveText(cls::TObject* field, std::string& text) { DoOnSaveText(field, text); }

bool TppProducer::IsNonScreenDevice() const { return !cls::SameText(deviceType_, kScreen); }

// ---- the job

void TppProducer::StartJob() {
  if (convertedFromPre40_) {
    ConvertBeforePrinting(true);
    return;
  }
  DoBeforePrint();
  if (!jobStarted_ && !cancelled_) publisher_->Refresh();
  jobStarted_ = true;
  cancelled_ = false;
  publisher_->StartJob();
}

void TppProducer::RequestPages() { publisher_->RequestPages(); }

void TppProducer::EndJob() {
  if (!cancelled_) publisher_->EndJob();
  if (!IsNonScreenDevice()) return;
  DoAfterPrint();
  DoOnPrintingComplete();
  EndPrintJob();
}

void TppProducer::Cancel() {
  cancelled_ = true;
  publisher_->CancelJob();
}

void TppProducer::CancelJob(const std::exception_ptr&) { publisher_->CancelJob(); }

void TppProducer::ResetJobState() {
  if (printing_) return;
  jobStarted_ = false;
  cancelled_ = false;
}

void TppProducer::PageRequest(cls::TObject*, TppPageRequest* aPageRequest) { DoOnPageRequest(aPageRequest); }

void TppProducer::PrintInBackground() {
  InternalPrintInBackground(printerDevice_ ? printerDevice_->PageRequest() : nullptr, deviceType_, textFileName_,
                            archiveFileName_);
}

void TppProducer::InternalPrintInBackground(TppPageRequest* request, const std::string& deviceType,
                                            const std::string& textFileName, const std::string& archiveFileName) {
  ppBackgroundPrintManager()->Print(this, request, textFileName, archiveFileName, deviceType);
}

void TppProducer::TransferTemplate(cls::TStream* stream, bool toStream) {
  TraValue value;
  if (!raGetPropValue(this, "Template", value) || !std::holds_alternative<cls::TObject*>(value)) return;
  auto* tmpl = cls::ObjectAs<TppTemplate>(std::get<cls::TObject*>(value));
  if (!tmpl) return;
  if (toStream) tmpl->SaveToStream(stream);
  else tmpl->LoadFromStream(stream);
}

void TppProducer::ConvertBeforePrinting(bool continueWithStartJob) {
  if (printing_) return;
  ui::ShowMessage("This report will be converted to 4.0 format before printing.");
  printing_ = true;
  conversionWait_ = true;
  {
    cls::Owned<ui::TTimer> timer(new ui::TTimer(nullptr));
    timer->SetEnabled(false);
    timer->SetInterval(1000);
    ui::TTimer* t = timer.get();
    timer->OnTimer = [this, t](cls::TObject*) {
      t->SetEnabled(false);
      conversionWait_ = false;
    };
    timer->SetEnabled(true);
    try {
      // The application's own pump: the wait ends even without
      // EnableProcessMessages.
      while (conversionWait_) {
        ui::Application().ProcessMessages();
        if (conversionWait_) std::this_thread::sleep_for(std::chrono::milliseconds(2));
      }
    } catch (...) {
      conversionWait_ = false;
      printing_ = false;
      throw;
    }
  }
  convertedFromPre40_ = false;
  printing_ = false;
  if (continueWithStartJob) StartJob();
  else Print();
}

void TppProducer::Print() {
  // A handler of a printer run prints nothing more; an open preview, whose
  // run keeps Producing set, may print.
  if (printerRun_) return;
  if (convertedFromPre40_) {
    ConvertBeforePrinting(false);
    return;
  }
  // A printer run from an open preview leaves the preview's run producing.
  previewRun_ = producing_ && previewForm_;
  producing_ = true;
  if (IsNonScreenDevice()) PrintToPrinter();
  else PrintToScreen();
}

void TppProducer::PrintToDevices() {
  if (BackgroundActive() && IsNonScreenDevice()) {
    PrintInBackground();
    return;
  }
  try {
    StartJob();
    // A cancel while the job started (its status shown, messages run)
    // ends it before any page is made.
    if (!cancelled_) RequestPages();
    EndJob();
  } catch (...) {
    // A screen run's failure: its devices stop waiting, as on a cancel,
    // so the viewer is not left busy. A printer run ends in PrintToPrinter.
    if (!IsNonScreenDevice()) {
      try {
        publisher_->CancelJob();
      } catch (...) {
      }
    }
    throw;
  }
}

// ---- the printer run

void TppProducer::PrintToPrinter() {
  // A run that cannot start leaves Producing as it was before Print.
  if (cancelDialog_ || !GetDeviceClassForName(deviceType_)) {
    producing_ = previewRun_;
    return;
  }
  cls::TFlagScope run(printerRun_);
  runFailure_ = nullptr;
  runOpen_ = true;
  try {
    setupChanged_ = false;
    cls::Owned<TppPrinterSetup> saved(new TppPrinterSetup(nullptr));
    saved->Assign(&printerSetup_);
    savedSetup_ = std::move(saved);
    RunPrinterJob();
  } catch (...) {
    std::exception_ptr failure = std::current_exception();
    AbandonPrintJob();
    ReleaseCancelDialog();
    std::rethrow_exception(failure);
  }
  ReleaseCancelDialog();
  if (std::exception_ptr failure = runFailure_) {
    runFailure_ = nullptr;
    std::rethrow_exception(failure);
  }
}

void TppProducer::RunPrinterJob() {
  // 2: the printer device.
  printerDevice_ = new TppPrinterDevice(this);
  printerDevice_->FreeNotification(this);
  printerDevice_->SetGrouped(true);
  if (TppPrinter* printer = printerDevice_->Printer()) printer->SetPrinterSetup(&printerSetup_);

  // 3, 4: the print dialog.
  std::string deviceType = deviceType_;
  if (CreatePrintDialog()) {
    int result = printDialog_->ShowModal();
    DoOnPrintDialogClose();
    if (!printDialog_) return EndPrintJob();
    if (auto* bps = cls::ObjectAs<TppBackgroundPrintSettings>(printDialog_->BackgroundPrintSettings()))
      backgroundPrintSettings_.SetActive(bps->Active());
    if (result != ui::mrOk) return EndPrintJob();
    deviceType = printDialog_->DeviceType;
  }

  // 5: a file device, else a printer that can print.
  if (!BackgroundActive()) {
    const bool toFile = CreateFileDevice(deviceType);
    if (!toFile && printerDevice_ && !printerDevice_->Printer()->OpenPrinterDC()) {
      ui::MessageDlg(LoadLanguageString(1020), ui::TMsgDlgType::mtWarning, ui::mbOK);
      return EndPrintJob();
    }
    // The pages chosen in the dialog, for a file as for the printer.
    TppDevice* chosen = toFile ? static_cast<TppDevice*>(fileDevice_) : printerDevice_;
    if (printDialog_ && chosen)
      if (auto* request = cls::ObjectAs<TppPageRequest>(printDialog_->PageRequest())) chosen->SetPageRequest(request);
  }

  // 6: the device that prints gets the pages.
  TppDevice* device = fileDevice_ ? static_cast<TppDevice*>(fileDevice_) : printerDevice_;
  if (device) {
    device->SetPublisher(publisher_.get());
    DeviceAssigned(device);
  }
  if (!fileDevice_ && printerDevice_) SetPrinterSetup(printerDevice_->Printer()->GetPrinterSetup());

  // 7: another printer or paper: the pages are made again.
  if (!printerSetup_.MatchesPaper(savedSetup_.get())) {
    setupChanged_ = true;
    Regenerate();
  }

  // 8, 9: the run, inside the cancel dialog's modal loop when there is one.
  CreateCancelDialog();
  if (cancelDialog_ && modalCancelDialog_) {
    cancelDialog_->OnPrint = cls::TNotifyEvent(this, &TppProducer::CancelDialogStart);
    cancelDialog_->StartDialog();
  } else if (cancelDialog_) {
    cancelDialog_->Show();
    PrintToDevices();
  } else if (BackgroundActive()) {
    if (printDialog_)
      InternalPrintInBackground(cls::ObjectAs<TppPageRequest>(printDialog_->PageRequest()), deviceType,
                                printDialog_->TextFileName, printDialog_->ArchiveFileName);
    else
      PrintInBackground();
    EndPrintJob();
  } else {
    PrintToDevices();
  }
}

bool TppProducer::CreatePrintDialog() {
  if (!showPrintDialog_ && !(StateFlags() & 4)) return false;
  cls::TClass c = FindFormClass(&TppCustomPrintDialog::StaticClass());
  if (!c) return false;
  auto* dialog = cls::ObjectAs<TppCustomPrintDialog>(ui::NewFormOfClass(c, nullptr));
  if (!dialog) return false;
  printDialog_ = dialog;
  dialog->FreeNotification(this);
  dialog->SetReport(this);
  dialog->DeviceType = deviceType_;
  dialog->SetPrinter(printerDevice_ ? printerDevice_->Printer() : nullptr);
  dialog->SetLanguageIndex(languageIndex_);
  dialog->AllowPrintToArchive = allowPrintToArchive_;
  dialog->AllowPrintToFile = allowPrintToFile_;
  dialog->ArchiveFileName = archiveFileName_;
  dialog->SetBackgroundPrintSettings(&backgroundPrintSettings_);
  dialog->TextFileName = textFileName_;
  dialog->TextFileType = textFileType_;
  if (auto* request = cls::ObjectAs<TppPageRequest>(dialog->PageRequest())) request->SetPageRequested(currentPage_);
  dialog->Designing = Owner() && Owner()->HasState(cls::csDesigning);
  if (dialog->Icon.Empty() && !icon_.Empty()) dialog->Icon.Assign(icon_);
  dialog->Init();
  DoOnPrintDialogCreate();
  return true;
}

bool TppProducer::CreateFileDevice(const std::string& deviceType) {
  cls::TClass c = GetDeviceClassForName(deviceType);
  if (!c || !c->Create || !c->InheritsFrom(&TppFileDevice::StaticClass())) return false;
  cls::TComponent* made = c->Create(this);
  auto* device = cls::ObjectAs<TppFileDevice>(made);
  if (!device) {
    if (made) made->Free();
    return false;
  }
  if (fileDevice_) {
    device->Free();
    throw EPagewrightError("TppProducer.PrintToPrinter: The file device has already been created.");
  }
  fileDevice_ = device;
  device->FreeNotification(this);
  // The print dialog's choices, else the report's own.
  std::string textFileName = printDialog_ ? printDialog_->TextFileName : textFileName_;
  std::string archiveFileName = printDialog_ ? printDialog_->ArchiveFileName : archiveFileName_;
  TppFileType fileType = printDialog_ ? printDialog_->TextFileType : textFileType_;
  if (cls::ObjectAs<TppArchiveDevice>(device)) {
    device->SetFileName(archiveFileName);
  } else {
    device->SetFileName(textFileName);
    if (auto* text = cls::ObjectAs<TppTextFileDevice>(device)) {
      text->SetFileType(fileType);
      text->OnSaveText = TppSaveTextEvent(this, &TppProducer::FileDeviceSaveText);
    }
  }
  return true;
}

void TppProducer::FileDeviceSaveText(cls::TObject*, cls::TObject* aField, std::string& aText) { SaveText(aField, aText); }

void TppProducer::CreateCancelDialog() {
  if (!showCancelDialog_ || BackgroundActive()) return;
  cls::TClass c = FindFormClass(&TppCustomCancelDialog::StaticClass());
  if (!c) return;
  auto* dialog = cls::ObjectAs<TppCustomCancelDialog>(ui::NewFormOfClass(c, nullptr));
  if (!dialog) return;
  cancelDialog_ = dialog;
  dialog->FreeNotification(this);
  dialog->SetReport(this);
  dialog->SetLanguageIndex(languageIndex_);
  dialog->OnCancel = cls::TNotifyEvent(this, &TppProducer::DialogCancel);
  dialog->OnFormCloseQuery = cls::TNotifyEvent(this, &TppProducer::CancelDialogClose);
  dialog->SetAllowPrintCancel(true);
  if (!icon_.Empty()) dialog->Icon.Assign(icon_);
  if (TppDevice* device = fileDevice_ ? static_cast<TppDevice*>(fileDevice_) : printerDevice_)
    device->SetCancelDialog(dialog);
  DoOnCancelDialogCreate();
}

void TppProducer::ReleaseCancelDialog() {
  TppCustomCancelDialog* dialog = cancelDialog_;
  if (!dialog) return;
  cancelDialog_ = nullptr;
  dialog->RemoveFreeNotification(this);
  dialog->OnCancel.Clear();
  dialog->OnFormCloseQuery.Clear();
  dialog->OnPrint.Clear();
  dialog->SetReport(nullptr);
  if (dialog->Visible()) dialog->Hide();
  dialog->Release();
}

void TppProducer::DialogCancel(cls::TObject*) {
  Cancel();
  DoOnCancel();
}

void TppProducer::CancelDialogClose(cls::TObject*) {
  DoOnCancelDialogClose();
  // The run's devices are gone once EndPrintJob has run.
  if (fileDevice_) fileDevice_->SetCancelDialog(nullptr);
  if (printerDevice_) printerDevice_->SetCancelDialog(nullptr);
}

void TppProducer::CancelDialogStart(cls::TObject*) {
  try {
    PrintToDevices();
  } catch (...) {
    // The run ends here; Print raises the failure once the loop is done.
    runFailure_ = std::current_exception();
    AbandonPrintJob();
    if (cancelDialog_) cancelDialog_->ModalResult = ui::mrAbort;
  }
}

void TppProducer::Regenerate() {
  producing_ = false;
  publisher_->Reset();
  ResetJobState();
  producing_ = true;
}

void TppProducer::EndPrintJob() {
  runOpen_ = false;
  // Unless the preview closed meanwhile, its run goes on producing.
  const bool previewRun = previewRun_ && producing_;
  TppSteps steps;
  if (TppCustomCancelDialog* dialog = cancelDialog_) {
    steps.Run([&] {
      if (modalCancelDialog_ && dialog->Modal()) dialog->ModalResult = ui::mrOk;
      else if (dialog->Visible()) dialog->Close();
    });
  }
  if (setupChanged_) steps.Run([&] { Regenerate(); });
  if (!savePrinterSetup_ && savedSetup_) steps.Run([&] { SetPrinterSetup(savedSetup_.get()); });
  {
    cls::TGlobalNameSpaceWrite lock;
    steps.Run([&] { cls::FreeAndNil(printDialog_); });
    savedSetup_.reset();
    steps.Run([&] { cls::FreeAndNil(fileDevice_); });
    steps.Run([&] { cls::FreeAndNil(printerDevice_); });
  }
  producing_ = previewRun;
  setupChanged_ = false;
  steps.Run([&] { SendEventNotify(this, ciProducerPrintJobEnd, nullptr); });
  steps.Finish();
}

void TppProducer::AbandonPrintJob() {
  if (!runOpen_) return;
  try {
    if (printerDevice_ && printerDevice_->Printer()) printerDevice_->Printer()->AbortDoc();
  } catch (...) {
  }
  try {
    EndPrintJob();
  } catch (...) {
  }
  try {
    ResetJobState();
  } catch (...) {
  }
}

// ---- the screen run

void TppProducer::PrintToScreen() {
  if (previewForm_) return;
  cls::TClass c = FindFormClass(&TppCustomPreviewer::StaticClass());
  auto* form = c ? cls::ObjectAs<TppCustomPreviewer>(ui::NewFormOfClass(c, nullptr)) : nullptr;
  if (!form) {
    producing_ = false;
    return;
  }
  previewForm_ = form;
  form->FreeNotification(this);
  form->SetReport(this);
  form->OnFormCloseQuery = cls::TNotifyEvent(this, &TppProducer::PreviewFormClose);
  form->OnFormDestroy = cls::TNotifyEvent(this, &TppProducer::PreviewFormDestroy);
  form->OnCancel = cls::TNotifyEvent(this, &TppProducer::DialogCancel);
  DoOnAssignPreviewFormSettings();
  ApplyPreviewFormSettings();
  DoOnPreviewFormCreate();
  if (modalPreview_) {
    // The pages are made from the loop once the form is up; a close
    // meanwhile frees the form once they have stopped.
    ui::Application().PostMessage([this, form] {
      if (previewForm_ != form) return;
      ui::TCustomForm::HandlerScope keep(form);
      PreviewFormStart();
    });
    try {
      form->ShowModal();
    } catch (...) {
      // The loop gave up (a stuck script, say): the run ends here, the
      // hidden form goes and the next Print starts afresh.
      if (previewForm_ == form) {
        previewForm_ = nullptr;
        CloseDialog(form);
      }
      producing_ = false;
      throw;
    }
  } else {
    form->Show();
    ui::TCustomForm::HandlerScope keep(form);
    PreviewFormStart();
  }
  ProcessMessages();
}

void TppProducer::ApplyPreviewFormSettings() {
  if (!previewForm_) return;
  TppPreviewFormSettings* settings = previewFormSettings_.get();
  if (auto* viewer = cls::ObjectAs<TppViewer>(previewForm_->Viewer())) {
    viewer->SetZoomSetting(settings->ZoomSetting());
    if (settings->ZoomSetting() == zsPercentage) viewer->SetZoomPercentage(settings->ZoomPercentage());
  }
  previewForm_->WindowState = settings->WindowState();
}

void TppProducer::PreviewFormStart() {
  if (IsNonScreenDevice()) return;
  try {
    PrintToDevices();
  } catch (...) {
    // A page that failed ends the job: the screen device is idle again and
    // the pages made so far stay reachable.
    try {
      EndJob();
    } catch (...) {
    }
    throw;
  }
}

void TppProducer::PreviewFormClose(cls::TObject*) {
  DoOnPreviewFormClose();
  producing_ = false;
  DoAfterPrint();
}

void TppProducer::PreviewFormDestroy(cls::TObject*) { previewForm_ = nullptr; }

// ---- registration

void ppRegisterProducerUnit() {
  static std::once_flag once;
  std::call_once(once, [] {
    GetResourceManager()->AddModule("kzPrint");
    cls::RegisterClass(&TppProducer::StaticClass());
    cls::RegisterClass(&TppPrinterSetup::StaticClass());
    cls::RegisterClass(&TppBackgroundPrintSettings::StaticClass());
    TppBackgroundPrintSettings::RegisterProperties();
  });
}

// ---- scripting ----

namespace {

// The icon is no class-library object: described, of no type, read-only.
TraMember IconMember() {
  TraMember icon;
  icon.Name = "Icon";
  icon.Get = [](cls::TObject*, TraValue& v) { v = std::monostate{}; };
  return icon;
}

}  // namespace

RA_IMPLEMENT_RTTI(TraTppProducerRTTI)

const TraMembers* TraTppProducerRTTI::Members() const {
  using C = TppProducer;
  static const TraMembers members(
      inherited::Members(),
      {raEvent("AfterPrint", ciProducerAfterPrint), raEvent("BeforePrint", ciProducerBeforePrint),
       raEvent("OnCancel", ciProducerCancel), raEvent("OnCancelDialogCreate", ciProducerCancelDialogCreate),
       raEvent("OnCancelDialogClose", ciProducerCancelDialogClose),
       raEvent("OnAssignPreviewFormSettings", ciProducerAssignPreviewFormSettings),
       raEvent("OnPreviewFormCreate", ciProducerPreviewFormCreate),
       raEvent("OnPreviewFormClose", ciProducerPreviewFormClose),
       raEvent("OnPrintDialogCreate", ciProducerPrintDialogCreate),
       raEvent("OnPrintDialogClose", ciProducerPrintDialogClose),
       raEvent("OnSaveText", ciProducerSaveText, {raParam("Text", daString, nullptr, true)}),
       raMethod("Cancel", {},
                [](cls::TObject* o, TraParamList*, bool) {
                  static_cast<C*>(o)->Cancel();
                  return true;
                }),
       raProperty<C, daBoolean>("AllowPrintToArchive", &C::AllowPrintToArchive, &C::SetAllowPrintToArchive),
       raProperty<C, daBoolean>("AllowPrintToFile", &C::AllowPrintToFile, &C::SetAllowPrintToFile),
       raProperty<C, daString>("ArchiveFileName", &C::ArchiveFileName, &C::SetArchiveFileName),
       raObjectProperty<C, TppCustomCancelDialog>("CancelDialog", &C::CancelDialog),
       raProperty<C, daBoolean>("Converted", &C::Converted),
       raProperty<C, daBoolean>("ConvertedFromPre40", &C::ConvertedFromPre40),
       raProperty<C, daInteger>("CurrentPage", &C::CurrentPage),
       raProperty<C, daString>("DeviceType", &C::DeviceType, &C::SetDeviceType),
       raProperty<C, daBoolean>("EnableProcessMessages", &C::EnableProcessMessages),
       raObjectProperty<C, TppFileDevice>("FileDevice", &C::FileDevice), IconMember(),
       raEnumProperty<C, TppLanguageType>("Language", &C::Language, &C::SetLanguage),
       raProperty<C, daInteger>("LanguageIndex", &C::LanguageIndex),
       raProperty<C, daBoolean>("ModalCancelDialog", &C::ModalCancelDialog, &C::SetModalCancelDialog),
       raProperty<C, daBoolean>("ModalPreview", &C::ModalPreview, &C::SetModalPreview),
       raObjectProperty<C, TppCustomPreviewer>("PreviewForm", &C::PreviewForm),
       raObjectProperty<C, TppPreviewFormSettings>("PreviewFormSettings", &C::PreviewFormSettings,
                                                   &C::SetPreviewFormSettings),
       raObjectProperty<C, TppPrinterSetup>("PrinterSetup", &C::PrinterSetup),
       raObjectProperty<C, TppPrinter>("Printer", &C::GetPrinter),
       raObjectProperty<C, TppCustomPrintDialog>("PrintDialog", &C::PrintDialog),
       raProperty<C, daBoolean>("Printing", &C::Printing), raProperty<C, daBoolean>("Producing", &C::Producing),
       raObjectProperty<C, TppPrinterDevice>("PrinterDevice", &C::PrinterDevice),
       raObjectProperty<C, TppPublisher>("Publisher", &C::Publisher),
       raProperty<C, daBoolean>("SavePrinterSetup", &C::SavePrinterSetup, &C::SetSavePrinterSetup),
       raProperty<C, daBoolean>("ShowAutoSearchDialog", &C::ShowAutoSearchDialog, &C::SetShowAutoSearchDialog),
       raProperty<C, daBoolean>("ShowCancelDialog", &C::ShowCancelDialog, &C::SetShowCancelDialog),
       raProperty<C, daBoolean>("ShowPrintDialog", &C::ShowPrintDialog, &C::SetShowPrintDialog),
       raProperty<C, daString>("TextFileName", &C::TextFileName, &C::SetTextFileName),
       raEnumProperty<C, TppFileType>("TextFileType", &C::TextFileType, &C::SetTextFileType),
       raObjectProperty<C, TppTextSearchSettings>("TextSearchSettings", &C::TextSearchSettings,
                                                  &C::SetTextSearchSettings),
       raProperty<C, daString>("Version", &C::Version),
       raProperty<C, daInteger>("VersionNo", [](C* p) { return static_cast<int32_t>(p->VersionNo()); })});
  return &members;
}
