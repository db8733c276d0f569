// The producer's print runs on a recording copy of the demo printer, with
// stand-in dialogs registered where a case needs one; its stored form and
// settings.
#include "report/engine/ppProd.h"

#include <gtest/gtest.h>

#include <cstdio>
#include <fstream>
#include <map>
#include <thread>

#include "platform/gdi/fonts.h"
#include "platform/process/clock.h"
#include "platform/spool/printerdef.h"
#include "platform/sysroot/files.h"
#include "platform/sysroot/sysroot.h"
#include "platform/ui/dialogs.h"
#include "platform/ui/forms.h"
#include "report/model/ppResMgr.h"
#include "report/output/ppViewr.h"
#include "tests/report/output/ppPrintr_fixture.h"
#include "tests/support/pagesource.h"
#include "tests/support/testroot.h"

using testing_support::TEventCounter;
using testing_support::TPageSource;

namespace {

// Values of one stored property each, read in order.
class TValueReader : public cls::TReader {
 public:
  TValueReader(cls::TValueKind kind, std::string value) : kind_(kind), value_(std::move(value)) {}
  cls::TValueKind NextValue() override { return done_ ? cls::vkNone : kind_; }
  int64_t ReadInteger() override { return cls::StrToInt(Take()); }
  double ReadFloat() override { return cls::StrToFloat(Take()); }
  std::string ReadString() override { return Take(); }
  std::string ReadIdent() override { return Take(); }
  bool ReadBoolean() override { return Take() == "True"; }
  void SkipValue() override { Take(); }
  bool EndOfList() override { return done_; }
  std::string ReadPropName() override { return {}; }
  int64_t Position() override { return done_; }
  void SetPosition(int64_t p) override { done_ = p != 0; }

 private:
  std::string Take() {
    if (kind_ == cls::vkString && done_) throw cls::EReadError("read past the value");
    done_ = true;
    return value_;
  }
  cls::TValueKind kind_;
  std::string value_;
  bool done_ = false;
};

class TStringWriter : public cls::TWriter {
 public:
  void WriteInteger(int64_t v) override { Written += "i" + std::to_string(v); }
  void WriteFloat(double) override { Written += "f"; }
  void WriteString(const std::string& v) override { Written += "s" + v; }
  void WriteIdent(const std::string& v) override { Written += "n" + v; }
  void WriteBoolean(bool v) override { Written += v ? "T" : "F"; }
  std::string Written;
};

struct TDefinedProperty {
  cls::TFiler::ReadProc read;
  cls::TFiler::WriteProc write;
  bool hasData = false;
};

class TCollectingFiler : public cls::TFiler {
 public:
  void DefineProperty(const std::string& name, ReadProc read, WriteProc write, bool hasData) override {
    Props[name] = {read, write, hasData};
  }
  std::map<std::string, TDefinedProperty> Props;
};

// A producer read from a stream holding VERSION (and DEVICE when given).
cls::Owned<TppProducer> Load(cls::TValueKind kind, const std::string& version, const std::string& device = "",
                             TppLanguageType language = lgDefault) {
  cls::Owned<TppProducer> p(new TppProducer(nullptr));
  p->BeginLoading();
  TCollectingFiler filer;
  p->DefineProperties(&filer);
  TValueReader v(kind, version);
  filer.Props.at("Version").read(v);
  if (!device.empty()) {
    TValueReader d(cls::vkIdent, device);
    filer.Props.at("Device").read(d);
  }
  if (language != lgDefault) p->SetLanguage(language);
  p->FinishLoading();
  return p;
}


// Records the status texts, whether it was visible when printing started,
// and offers the cancel button a user would press.
class TStatusDialog : public TppCustomCancelDialog {
  CLS_DECLARE_CLASS(TStatusDialog, TppCustomCancelDialog)
 public:
  explicit TStatusDialog(cls::TComponent* owner) : TppCustomCancelDialog(owner) {
    Caption = "Printing";
    btnCancel = new ui::TButton(this);
    btnCancel->SetName("btnCancel");
    btnCancel->SetParent(this);
    btnCancel->OnClick = [this](cls::TObject*) {
      RequestCancel();
      Close();
    };
  }
  void StatusChanged() override { Texts.push_back(StatusText()); }
  ui::TButton* btnCancel;
  std::vector<std::string> Texts;
};
CLS_IMPLEMENT_COMPONENT(TStatusDialog)

// A print dialog answered by its OK button; its Init can change the world.
class TFakePrintDialog : public TppCustomPrintDialog {
  CLS_DECLARE_CLASS(TFakePrintDialog, TppCustomPrintDialog)
 public:
  explicit TFakePrintDialog(cls::TComponent* owner) : TppCustomPrintDialog(owner) {
    auto* ok = new ui::TButton(this);
    ok->SetName("btnOK");
    ok->SetParent(this);
    ok->ModalResult = ui::mrOk;
    ok->Default = true;
    auto* cancel = new ui::TButton(this);
    cancel->SetName("btnCancel");
    cancel->SetParent(this);
    cancel->ModalResult = ui::mrCancel;
  }
  cls::TObject* PageRequest() override { return &request_; }
  void Init() override {
    if (OnInit) OnInit(this);
  }
  static inline std::function<void(TFakePrintDialog*)> OnInit;

 private:
  TppPageRequest request_;
};
CLS_IMPLEMENT_COMPONENT(TFakePrintDialog)

// A preview that frees itself when closed.
class TFakePreviewer : public TppCustomPreviewer {
  CLS_DECLARE_CLASS(TFakePreviewer, TppCustomPreviewer)
 public:
  explicit TFakePreviewer(cls::TComponent* owner) : TppCustomPreviewer(owner) {
    OnClose = [](cls::TObject*, ui::TCloseAction& action) { action = ui::TCloseAction::caFree; };
  }
};
CLS_IMPLEMENT_COMPONENT(TFakePreviewer)

class Producer : public ::testing::Test {
 protected:
  void SetUp() override {
    ASSERT_NE(std::freopen("/dev/null", "r", stdin), nullptr);
    ui::SetEchoDialogs(false);
    ui::ClearRecordedDialogs();
    ui::ClearScriptedClicks();
    gdi::SetDeterministicMetrics(true);
    ASSERT_NO_FATAL_FAILURE(UseRecordingZolmet());
    report_.reset(new TPageSource(nullptr));
    TppPrinterSetup* s = report_->PrinterSetup();
    s->SetUnits(utMillimeters);
    s->SetPrinterName("Zolmet");
    s->SetPaperWidth(82);
    s->SetPaperHeight(100);
    s->SetDocumentName("Report");
    report_->SetDeviceType("Printer");
    report_->SetShowPrintDialog(false);
    events_.reset(new TEventCounter(report_.get()));
  }
  void TearDown() override {
    events_.reset();
    report_.reset();
    for (cls::TClass c : {&TppCustomCancelDialog::StaticClass(), &TppCustomPrintDialog::StaticClass(),
                          &TppCustomPreviewer::StaticClass()})
      UnregisterFormClass(c);
    TFakePrintDialog::OnInit = nullptr;
    ui::Application().Shutdown();
    ui::ClearScriptedClicks();
    ppPrintrFinalize();
    gdi::SetDeterministicMetrics(false);
    ui::SetEchoDialogs(true);
  }
  static std::vector<gdi::Job> Jobs() { return gdi::RecordedJobs(); }
  // As read from a stream of the current version with DEVICETYPE.
  void Reload(const std::string& deviceType) {
    report_->BeginLoading();
    TCollectingFiler filer;
    report_->DefineProperties(&filer);
    TValueReader v(cls::vkString, "7.03");
    filer.Props.at("Version").read(v);
    report_->SetDeviceType(deviceType);
    report_->FinishLoading();
  }
  static int Shown(const std::string& kind) {
    int n = 0;
    for (const ui::TRecordedDialog& d : ui::RecordedDialogs()) n += d.kind == kind;
    return n;
  }
  void ExpectIdle() {
    EXPECT_FALSE(report_->Producing());
    EXPECT_EQ(report_->PrinterDevice(), nullptr);
    EXPECT_EQ(report_->CancelDialog(), nullptr);
    EXPECT_EQ(report_->Publisher()->GetDeviceCount(), 0);
  }

  testing_support::TempRoot root_;
  cls::Owned<TPageSource> report_;
  cls::Owned<TEventCounter> events_;
};

}  // namespace

TEST_F(Producer, PrintsWithoutACancelDialogAndRestoresTheSetup) {
  // Nothing is registered as the cancel dialog in this program.
  report_->PrinterSetup()->SetPaperHeight(83.452f);
  float during = 0;
  report_->AfterPage = [&](int) { during = report_->PrinterSetup()->PaperHeight(); };
  report_->Print();
  auto jobs = Jobs();
  ASSERT_EQ(jobs.size(), 1u);
  EXPECT_EQ(jobs[0].status, "done");
  EXPECT_EQ(jobs[0].pages.size(), 2u);
  EXPECT_EQ(jobs[0].document, "Report");
  // Pages are made for the paper the driver gives back: 835 tenths.
  EXPECT_FLOAT_EQ(during, 83.5f);
  EXPECT_FLOAT_EQ(report_->PrinterSetup()->PaperHeight(), 83.452f);
  EXPECT_EQ((*events_)[ciProducerPrintJobEnd], 1);
  EXPECT_EQ((*events_)[ciProducerCancelDialogCreate], 0);
  ExpectIdle();

  // SavePrinterSetup keeps what the printer gave.
  report_->SetSavePrinterSetup(true);
  report_->Print();
  EXPECT_FLOAT_EQ(report_->PrinterSetup()->PaperHeight(), 83.5f);
}

TEST_F(Producer, TheRunHappensInsideTheModalCancelDialog) {
  RegisterFormClass(&TppCustomCancelDialog::StaticClass(), &TStatusDialog::StaticClass());
  TStatusDialog* dialog = nullptr;
  int starts = 0;
  bool visibleAtStart = false, modal = false, cancelAllowed = false;
  report_->AfterPage = [&](int) {
    dialog = cls::ObjectAs<TStatusDialog>(report_->CancelDialog());
    modal = dialog && dialog->Modal();
    cancelAllowed = dialog && dialog->AllowPrintCancel();
  };
  struct Hook {
    int* starts;
    bool* visible;
    TppProducer* report;
    void BeforePrint(cls::TObject*) {
      ++*starts;
      *visible = report->CancelDialog() && report->CancelDialog()->Visible();
    }
  } hook{&starts, &visibleAtStart, report_.get()};
  report_->BeforePrint = cls::TNotifyEvent(&hook, &Hook::BeforePrint);
  report_->Print();

  ASSERT_NE(dialog, nullptr);
  EXPECT_TRUE(modal);
  EXPECT_TRUE(cancelAllowed);
  EXPECT_EQ(starts, 1);
  EXPECT_TRUE(visibleAtStart);
  EXPECT_EQ(dialog->Texts, (std::vector<std::string>{"Accessing data...",
                                                      "Printing page 1 for report Report on the Zolmet",
                                                      "Printing page 2 for report Report on the Zolmet"}));
  auto shown = ui::RecordedDialogs();
  ASSERT_EQ(Shown("TStatusDialog"), 1);
  EXPECT_EQ(shown.back().answer, ui::mrOk);
  auto jobs = Jobs();
  ASSERT_EQ(jobs.size(), 1u);
  EXPECT_EQ(jobs[0].status, "done");
  EXPECT_EQ(jobs[0].pages.size(), 2u);
  for (int id : {ciProducerCancelDialogCreate, ciProducerCancelDialogClose, ciProducerPrintJobEnd})
    EXPECT_EQ((*events_)[id], 1) << id;
  ExpectIdle();
  EXPECT_EQ(ui::FindWindow("TStatusDialog"), 0u);
}

TEST_F(Producer, AModelessCancelDialogIsClosedWhenTheRunEnds) {
  RegisterFormClass(&TppCustomCancelDialog::StaticClass(), &TStatusDialog::StaticClass());
  report_->SetModalCancelDialog(false);
  bool shown = false, modal = true;
  report_->AfterPage = [&](int) {
    shown = report_->CancelDialog() && report_->CancelDialog()->Visible();
    modal = report_->CancelDialog() && report_->CancelDialog()->Modal();
  };
  report_->Print();
  EXPECT_TRUE(shown);
  EXPECT_FALSE(modal);
  EXPECT_TRUE(ui::RecordedDialogs().empty());
  ASSERT_EQ(Jobs().size(), 1u);
  EXPECT_EQ(Jobs()[0].pages.size(), 2u);
  for (int id : {ciProducerCancelDialogCreate, ciProducerCancelDialogClose, ciProducerPrintJobEnd})
    EXPECT_EQ((*events_)[id], 1) << id;
  ExpectIdle();
  EXPECT_EQ(ui::FindWindow("TStatusDialog"), 0u);
}

TEST_F(Producer, AFailureInsideTheModalRunEndsItAndReachesTheCaller) {
  RegisterFormClass(&TppCustomCancelDialog::StaticClass(), &TStatusDialog::StaticClass());
  report_->FailOnPage = 2;
  try {
    report_->Print();
    ADD_FAILURE() << "no exception";
  } catch (const EDataError& e) {
    EXPECT_STREQ(e.what(), "No data for page 2.");
  }
  EXPECT_EQ(Shown("MessageBox"), 0);
  auto jobs = Jobs();
  ASSERT_EQ(jobs.size(), 1u);
  EXPECT_EQ(jobs[0].status, "aborted");
  EXPECT_EQ((*events_)[ciProducerPrintJobEnd], 1);
  EXPECT_EQ((*events_)[ciProducerCancelDialogClose], 1);
  EXPECT_EQ(ui::RecordedDialogs().back().answer, ui::mrAbort);
  ExpectIdle();
  EXPECT_EQ(ui::FindWindow("TStatusDialog"), 0u);

  // The next run prints both pages.
  report_->FailOnPage = 0;
  report_->Print();
  jobs = Jobs();
  ASSERT_EQ(jobs.size(), 2u);
  EXPECT_EQ(jobs[1].status, "done");
  EXPECT_EQ(jobs[1].pages.size(), 2u);
}

TEST_F(Producer, AFailureWithoutADialogGetsTheSameCleanUp) {
  report_->SetShowCancelDialog(false);
  report_->FailOnPage = 2;
  report_->PrinterSetup()->SetPaperHeight(83.452f);
  EXPECT_THROW(report_->Print(), EDataError);
  ASSERT_EQ(Jobs().size(), 1u);
  EXPECT_EQ(Jobs()[0].status, "aborted");
  EXPECT_EQ((*events_)[ciProducerPrintJobEnd], 1);
  EXPECT_FLOAT_EQ(report_->PrinterSetup()->PaperHeight(), 83.452f);
  ExpectIdle();
}

TEST_F(Producer, ACancelStopsTheRunAndKeepsThePagesPrinted) {
  RegisterFormClass(&TppCustomCancelDialog::StaticClass(), &TStatusDialog::StaticClass());
  report_->AfterPage = [](int page) {
    if (page == 1) ui::ScriptClicks({"btnCancel"});
  };
  int cancels = 0;
  struct Hook {
    int* n;
    void Cancel(cls::TObject*) { ++*n; }
  } hook{&cancels};
  report_->OnCancel = cls::TNotifyEvent(&hook, &Hook::Cancel);
  report_->Print();
  EXPECT_EQ(cancels, 1);
  EXPECT_EQ((*events_)[ciProducerCancel], 1);
  EXPECT_EQ(report_->Published, std::vector<int>{1});
  ASSERT_EQ(Jobs().size(), 1u);
  EXPECT_EQ(Jobs()[0].status, "cancelled");
  EXPECT_EQ(Jobs()[0].pages.size(), 1u);
  EXPECT_EQ((*events_)[ciProducerPrintJobEnd], 1);
  ExpectIdle();
}

TEST_F(Producer, ACancelAfterTheLastPageStillEndsTheDocument) {
  report_->SetShowCancelDialog(false);
  TppPrinter* printer = nullptr;
  report_->AfterPage = [&](int page) {
    printer = report_->PrinterDevice()->Printer();
    if (page == 2) report_->Cancel();
  };
  report_->Print();
  ASSERT_NE(printer, nullptr);
  ASSERT_EQ(Jobs().size(), 1u);
  EXPECT_EQ(Jobs()[0].status, "done");
  EXPECT_EQ(Jobs()[0].pages.size(), 2u);
  ExpectIdle();
}

TEST_F(Producer, PrintFromAHandlerOfAPrinterRunDoesNothing) {
  struct Hook {
    TppProducer* report;
    void BeforePrint(cls::TObject*) { report->Print(); }
  } hook{report_.get()};
  report_->BeforePrint = cls::TNotifyEvent(&hook, &Hook::BeforePrint);
  report_->Print();
  EXPECT_EQ(report_->Requests, 1);
  EXPECT_EQ(Jobs().size(), 1u);
  EXPECT_EQ((*events_)[ciProducerPrintJobEnd], 1);
}

TEST_F(Producer, TheScreenPrinterCannotPrint) {
  report_->PrinterSetup()->SetPrinterName("Screen");
  try {
    report_->Print();
    ADD_FAILURE() << "no exception";
  } catch (const EPrintError& e) {
    EXPECT_STREQ(e.what(), "Screen printer does not support printing.");
  }
  EXPECT_TRUE(Jobs().empty());
  EXPECT_EQ((*events_)[ciProducerPrintJobEnd], 1);
  ExpectIdle();
}

TEST_F(Producer, APrinterWithoutAContextShowsMessage1020) {
  RegisterFormClass(&TppCustomPrintDialog::StaticClass(), &TFakePrintDialog::StaticClass());
  report_->SetShowPrintDialog(true);
  TppPrinter* dialogPrinter = nullptr;
  // The printer's entry goes bad after the printer chose it.
  TFakePrintDialog::OnInit = [&](TFakePrintDialog* d) {
    dialogPrinter = cls::ObjectAs<TppPrinter>(d->Printer());
    ppGetPrinterList()->GetPrinterInfo("Zolmet")->SetUsable(false);
  };
  report_->Print();
  EXPECT_NE(dialogPrinter, nullptr);
  auto shown = ui::RecordedDialogs();
  ASSERT_EQ(shown.size(), 2u);
  EXPECT_EQ(shown[0].kind, "TFakePrintDialog");
  EXPECT_EQ(shown[1].kind, "MessageDlg");
  EXPECT_EQ(shown[1].text, "Windows cannot print due to a problem with the current printer setup.");
  EXPECT_EQ(shown[1].icon, ui::MB_ICONWARNING);
  EXPECT_TRUE(Jobs().empty());
  EXPECT_EQ((*events_)[ciProducerPrintDialogCreate], 1);
  EXPECT_EQ((*events_)[ciProducerPrintDialogClose], 1);
  EXPECT_EQ((*events_)[ciProducerPrintJobEnd], 1);
  EXPECT_EQ(report_->PrintDialog(), nullptr);
  ExpectIdle();
}

TEST_F(Producer, ACancelledPrintDialogEndsTheRunQuietly) {
  RegisterFormClass(&TppCustomPrintDialog::StaticClass(), &TFakePrintDialog::StaticClass());
  report_->SetShowPrintDialog(true);
  ui::ScriptClicks({"btnCancel"});
  report_->Print();
  EXPECT_EQ(report_->Requests, 0);
  EXPECT_TRUE(Jobs().empty());
  EXPECT_EQ((*events_)[ciProducerPrintJobEnd], 1);
  ExpectIdle();
}

TEST_F(Producer, ADeviceTypeWithoutADeviceClassPrintsNothing) {
  // A stored device name is taken unchecked while loading.
  Reload("Plotter");
  EXPECT_EQ(report_->DeviceType(), "Plotter");
  report_->Print();
  EXPECT_FALSE(report_->Producing());
  EXPECT_EQ(report_->Requests, 0);
  EXPECT_EQ((*events_)[ciProducerPrintJobEnd], 0);
  // Outside loading an unknown name keeps the old one.
  report_->SetDeviceType("Printer");
  report_->SetDeviceType("Plotter");
  EXPECT_EQ(report_->DeviceType(), "Printer");
}

TEST_F(Producer, WithoutAPreviewTheScreenRunOnlyEnds) {
  report_->SetDeviceTypeFromOrdinal(1);
  ASSERT_EQ(report_->DeviceType(), "Screen");  // the output layer registers the screen device
  Reload("Screen");
  report_->Print();
  EXPECT_FALSE(report_->Producing());
  EXPECT_EQ(report_->Requests, 0);

  // A preview shown without its modal loop makes the pages at once; it is
  // closed when the report goes.
  RegisterFormClass(&TppCustomPreviewer::StaticClass(), &TFakePreviewer::StaticClass());
  report_->SetModalPreview(false);
  report_->Print();
  ASSERT_NE(report_->PreviewForm(), nullptr);
  EXPECT_TRUE(report_->Producing());
  EXPECT_TRUE(report_->PreviewForm()->Visible());
  EXPECT_EQ(report_->Requests, 1);
  EXPECT_EQ((*events_)[ciProducerPreviewFormCreate], 1);
  size_t forms = ui::Application().Forms().size();
  events_.reset();
  report_.reset();
  EXPECT_EQ(ui::Application().Forms().size(), forms - 1);
}

TEST_F(Producer, AModalPreviewMakesThePagesFromItsLoopAndEndsTheRunWhenClosed) {
  RegisterFormClass(&TppCustomPreviewer::StaticClass(), &TFakePreviewer::StaticClass());
  Reload("Screen");
  int afterPrint = 0;
  struct Hook {
    int* n;
    void AfterPrint(cls::TObject*) { ++*n; }
  } hook{&afterPrint};
  report_->AfterPrint = cls::TNotifyEvent(&hook, &Hook::AfterPrint);
  report_->Print();  // nobody answers: the preview is closed
  EXPECT_EQ(report_->Requests, 1);
  EXPECT_EQ(afterPrint, 1);
  EXPECT_EQ((*events_)[ciProducerPreviewFormClose], 1);
  EXPECT_FALSE(report_->Producing());
  ui::Application().ProcessMessages();
  EXPECT_EQ(report_->PreviewForm(), nullptr);
}

TEST_F(Producer, APrintFromAnOpenPreviewGoesThroughAndThePreviewKeepsProducing) {
  RegisterFormClass(&TppCustomPreviewer::StaticClass(), &TFakePreviewer::StaticClass());
  report_->Pages = 3;
  cls::Owned<TppViewer> viewer(new TppViewer(nullptr));
  viewer->SetBounds(0, 0, 400, 300);
  viewer->SetReport(report_.get());
  Reload("Screen");
  report_->SetModalPreview(false);
  report_->Print();
  ASSERT_NE(report_->PreviewForm(), nullptr);
  ASSERT_TRUE(report_->Producing());
  ASSERT_EQ(viewer->GetAbsolutePageNo(), 1);
  viewer->NextPage();
  // The preview's print: a printer run while Producing is set.
  viewer->Print();
  ASSERT_EQ(Jobs().size(), 1u);
  EXPECT_EQ(Jobs()[0].pages.size(), 3u);
  EXPECT_EQ(report_->CurrentPage(), 2);
  EXPECT_EQ((*events_)[ciProducerPrintJobEnd], 1);
  EXPECT_TRUE(report_->Producing());
  EXPECT_NE(report_->PreviewForm(), nullptr);
  EXPECT_EQ(report_->DeviceType(), "Screen");
  EXPECT_EQ(report_->PrinterDevice(), nullptr);
  viewer->NextPage();
  EXPECT_EQ(viewer->GetAbsolutePageNo(), 3);

  // A run that fails: one box where the click lands, the preview as it was.
  viewer->FirstPage();
  report_->FailOnPage = 2;
  try {
    viewer->Print();
  } catch (...) {
    ui::Application().HandleException(viewer.get());
  }
  ASSERT_EQ(ui::RecordedDialogs().size(), 1u);
  EXPECT_EQ(ui::RecordedDialogs()[0].text, "No data for page 2.");
  ASSERT_EQ(Jobs().size(), 2u);
  EXPECT_EQ(Jobs()[1].status, "aborted");
  EXPECT_EQ((*events_)[ciProducerPrintJobEnd], 2);
  EXPECT_TRUE(report_->Producing());
  EXPECT_EQ(report_->DeviceType(), "Screen");
  report_->FailOnPage = 0;
  viewer->NextPage();
  EXPECT_EQ(viewer->GetAbsolutePageNo(), 2);

  // No printer device: nothing runs, the preview still producing.
  UnregisterDevice(&TppPrinterDevice::StaticClass());
  viewer->Print();
  RegisterDevice<TppPrinterDevice>();
  EXPECT_EQ(Jobs().size(), 2u);
  EXPECT_EQ((*events_)[ciProducerPrintJobEnd], 2);
  EXPECT_TRUE(report_->Producing());
  EXPECT_EQ(report_->DeviceType(), "Screen");
  EXPECT_EQ(ui::RecordedDialogs().size(), 1u);
  // Nor does a cancelled print dialog.
  RegisterFormClass(&TppCustomPrintDialog::StaticClass(), &TFakePrintDialog::StaticClass());
  report_->SetShowPrintDialog(true);
  ui::ScriptClicks({"btnCancel"});
  viewer->Print();
  EXPECT_EQ(Jobs().size(), 2u);
  EXPECT_EQ((*events_)[ciProducerPrintJobEnd], 3);
  EXPECT_TRUE(report_->Producing());
  EXPECT_EQ(report_->DeviceType(), "Screen");
  viewer->NextPage();
  EXPECT_EQ(viewer->GetAbsolutePageNo(), 3);

  // Closing the preview ends its run.
  report_->PreviewForm()->Close();
  EXPECT_FALSE(report_->Producing());
  viewer.reset();
}

TEST_F(Producer, AScreenRunThatFailsLeavesTheViewerIdle) {
  RegisterFormClass(&TppCustomPreviewer::StaticClass(), &TFakePreviewer::StaticClass());
  report_->Pages = 3;
  cls::Owned<TppViewer> viewer(new TppViewer(nullptr));
  viewer->SetBounds(0, 0, 400, 300);
  viewer->SetReport(report_.get());
  int stateChanges = 0;
  testing_support::TEventHook hook(viewer->Communicator(), {ciViewerPrintStateChange},
                                   [&](TppCommunicator*, int, TraParamList*) { ++stateChanges; });
  Reload("Screen");
  report_->SetModalPreview(false);
  report_->FailOnPage = 1;
  EXPECT_THROW(report_->Print(), EDataError);
  EXPECT_FALSE(viewer->ScreenDevice()->Busy());
  EXPECT_FALSE(viewer->GetBusy());
  EXPECT_GE(stateChanges, 2);  // started, then stopped
  // The next request shows its page.
  report_->FailOnPage = 0;
  viewer->GotoPage(2);
  EXPECT_EQ(viewer->GetAbsolutePageNo(), 2);
  viewer->FirstPage();
  EXPECT_EQ(viewer->GetAbsolutePageNo(), 1);
}

TEST_F(Producer, AnOldReportWaitsForItsConversionBeforePrinting) {
  report_->BeginLoading();
  report_->FinishLoading();  // nothing stored: version 1.0
  EXPECT_TRUE(report_->ConvertedFromPre40());
  EXPECT_TRUE(report_->Converted());
  report_->SetShowCancelDialog(false);
  uint64_t start = win::MonotonicMs();
  report_->Print();
  uint64_t waited = win::MonotonicMs() - start;
  EXPECT_GE(waited, 1000u);
  EXPECT_EQ(Shown("ShowMessage"), 1);
  EXPECT_EQ(ui::RecordedDialogs()[0].text, "This report will be converted to 4.0 format before printing.");
  EXPECT_FALSE(report_->ConvertedFromPre40());
  EXPECT_FALSE(report_->Printing());
  ASSERT_EQ(Jobs().size(), 1u);
  EXPECT_EQ(Jobs()[0].pages.size(), 2u);
}

TEST_F(Producer, ThePrinterForMeasuringFollowsTheRunAndTheThread) {
  TppPrinter* global = report_->GetPrinter();
  ASSERT_EQ(global, ppGetGlobalPrinter());
  EXPECT_EQ(global->GetPrinterName(), "Zolmet");
  TppPrinter* during = nullptr;
  report_->SetShowCancelDialog(false);
  report_->AfterPage = [&](int) { during = report_->GetPrinter(); };
  report_->Print();
  EXPECT_NE(during, global);
  EXPECT_NE(during, nullptr);
  // Off the main thread the report gets a printer of its own, and keeps it.
  TppPrinter* own = nullptr;
  TppPrinter* again = nullptr;
  std::thread([&] {
    own = report_->GetPrinter();
    again = report_->GetPrinter();
  }).join();
  EXPECT_NE(own, global);
  EXPECT_EQ(own, again);
  EXPECT_EQ(report_->GetPrinter(), own);
}


TEST(ProducerStoredForm, TheVersionIsAlwaysWrittenAsTheCurrentOne) {
  cls::Owned<TppProducer> p(new TppProducer(nullptr));
  EXPECT_EQ(p->Version(), "1.0");
  EXPECT_EQ(p->VersionNo(), 1000);
  TCollectingFiler filer;
  p->DefineProperties(&filer);
  ASSERT_EQ(filer.Props.count("Version"), 1u);
  ASSERT_EQ(filer.Props.count("Device"), 1u);
  EXPECT_TRUE(filer.Props["Version"].hasData);
  TStringWriter w;
  filer.Props["Version"].write(w);
  EXPECT_EQ(w.Written, "s7.03");
  // The device is read only.
  EXPECT_FALSE(filer.Props["Device"].write && filer.Props["Device"].hasData);
}

TEST(ProducerStoredForm, TheStoredVersionDecidesTheConversion) {
  testing_support::TempRoot root;
  {
    std::ofstream module(sysroot::HostPath("C:\\Windows\\kzPrint.esp"));
    module << "43024=Imprimiendo\n";
  }
  auto current = Load(cls::vkString, "7.03");
  EXPECT_FALSE(current->ConvertedFromPre40());
  EXPECT_FALSE(current->Converted());
  EXPECT_EQ(current->VersionNo(), 7030);

  auto old = Load(cls::vkString, "3.5", "", lgSpanish);
  EXPECT_TRUE(old->ConvertedFromPre40());
  EXPECT_TRUE(old->Converted());
  EXPECT_EQ(old->Language(), lgSpanishMexico);
  EXPECT_EQ(old->Version(), "7.03");
  EXPECT_EQ(old->VersionNo(), 7030);

  auto five = Load(cls::vkString, "5.0", "", lgSpanish);
  EXPECT_FALSE(five->ConvertedFromPre40());
  EXPECT_TRUE(five->Converted());
  EXPECT_EQ(five->Language(), lgSpanish);

  // A language without a module: refused, except while loading, where the
  // default takes its place.
  five->SetLanguageIndex(2);
  five->SetLanguage(lgGerman);
  EXPECT_EQ(five->Language(), lgSpanish);
  EXPECT_EQ(five->LanguageIndex(), 2);
  EXPECT_EQ(Load(cls::vkString, "7.03", "", lgGerman)->Language(), lgDefault);
  GetResourceManager()->SetLanguage(lgDefault);
}

TEST(ProducerStoredForm, BetaBuildsReadTheirBuildDigitWithinTheText) {
  EXPECT_TRUE(Load(cls::vkString, "7.03 Beta Build 8")->ConvertedFromPre40());
  EXPECT_TRUE(Load(cls::vkString, "7.03 Beta Build 3")->ConvertedFromPre40());
  // No digit 11 places on (or no text there): an early build, never a read
  // past the end.
  for (const char* v : {"7.03 Beta Build", "7.03 Beta Build x", "7.03 Beta Build "}) {
    auto p = Load(cls::vkString, v);
    EXPECT_TRUE(p->ConvertedFromPre40()) << v;
    EXPECT_TRUE(p->Converted()) << v;
  }
  // Below the current version the beta text is not looked at.
  EXPECT_TRUE(Load(cls::vkString, "6.0 Beta Build 9")->Converted());
}

TEST(ProducerStoredForm, AnyStoredValueLoadsAndUnknownDevicesAreIgnored) {
  for (auto kind : {cls::vkInteger, cls::vkFloat, cls::vkBoolean, cls::vkNil}) {
    auto p = Load(kind, "12");
    EXPECT_EQ(p->Version(), "7.03");
  }
  EXPECT_EQ(Load(cls::vkString, "")->VersionNo(), 7030);
  EXPECT_EQ(Load(cls::vkString, "7.03", "dvPrinter")->DeviceType(), "Printer");
  EXPECT_EQ(Load(cls::vkString, "7.03", "dvFile")->DeviceType(), "TextFile");
  EXPECT_EQ(Load(cls::vkString, "7.03", "dvArchive")->DeviceType(), "ArchiveFile");
  EXPECT_EQ(Load(cls::vkString, "7.03", "dvPlotter")->DeviceType(), "Screen");
  EXPECT_EQ(Load(cls::vkString, "7.03", "")->DeviceType(), "Screen");
}

TEST(ProducerSettings, SettersDoNothingWhilePrinting) {
  cls::Owned<TPageSource> p(new TPageSource(nullptr));
  p->SetPrintingFlag(true);
  p->SetShowPrintDialog(false);
  p->SetShowCancelDialog(false);
  p->SetModalCancelDialog(false);
  p->SetModalPreview(false);
  p->SetAllowPrintToArchive(true);
  p->SetAllowPrintToFile(true);
  p->SetArchiveFileName("a.raf");
  p->SetTextFileName("a.txt");
  p->SetTextFileType(TppFileType::ftTab);
  ui::TIcon icon;
  icon.SetImage(1, 1, {0xFF0000});
  p->SetIcon(icon);
  p->SetLanguage(lgDefault);
  EXPECT_TRUE(p->ShowPrintDialog());
  EXPECT_TRUE(p->ShowCancelDialog());
  EXPECT_TRUE(p->ModalCancelDialog());
  EXPECT_TRUE(p->ModalPreview());
  EXPECT_FALSE(p->AllowPrintToArchive());
  EXPECT_FALSE(p->AllowPrintToFile());
  EXPECT_EQ(p->ArchiveFileName(), "");
  EXPECT_EQ(p->TextFileName(), "");
  EXPECT_EQ(p->TextFileType(), TppFileType::ftComma);
  EXPECT_TRUE(p->Icon().Empty());
  p->SetPrintingFlag(false);
  p->SetShowPrintDialog(false);
  EXPECT_FALSE(p->ShowPrintDialog());

  // The background settings hold Active only while Enabled.
  TppBackgroundPrintSettings* bps = p->BackgroundPrintSettings();
  bps->SetActive(true);
  EXPECT_FALSE(bps->Active());
  bps->SetEnabled(true);
  bps->SetActive(true);
  EXPECT_TRUE(bps->Active());
  TppBackgroundPrintSettings copy;
  copy.Assign(bps);
  EXPECT_TRUE(copy.Enabled() && copy.Active());
}

TEST(ProducerSettings, TheBeforeAndAfterPrintNoticesComeInPairs) {
  cls::Owned<TppProducer> p(new TppProducer(nullptr));
  cls::Owned<TEventCounter> events(new TEventCounter(p.get()));
  p->DoAfterPrint();
  EXPECT_EQ((*events)[ciProducerAfterPrint], 0);
  p->NotifyBeforePrint();
  p->NotifyBeforePrint();
  EXPECT_EQ((*events)[ciProducerBeforePrint], 1);
  p->DoAfterPrint();
  p->DoAfterPrint();
  EXPECT_EQ((*events)[ciProducerAfterPrint], 1);
}

TEST_F(Producer, AFileRunWritesThroughItsFileDeviceWithTheCancelDialogAttached) {
  RegisterFormClass(&TppCustomCancelDialog::StaticClass(), &TStatusDialog::StaticClass());
  ASSERT_TRUE(win::CreateDirectory("C:\\Out"));
  report_->SetDeviceType("TextFile");
  report_->SetTextFileName("C:\\Out\\report.txt");
  report_->SetTextFileType(TppFileType::ftTab);
  TStatusDialog* dialog = nullptr;
  TppFileDevice* device = nullptr;
  report_->AfterPage = [&](int) {
    dialog = cls::ObjectAs<TStatusDialog>(report_->CancelDialog());
    device = report_->FileDevice();
  };
  report_->Print();
  ASSERT_NE(device, nullptr);
  ASSERT_NE(dialog, nullptr);
  EXPECT_EQ(dialog->Texts, (std::vector<std::string>{"Accessing data...",
                                                      "Printing page 1 for report Report on the C:\\Out\\report.txt",
                                                      "Printing page 2 for report Report on the C:\\Out\\report.txt"}));
  EXPECT_TRUE(Jobs().empty());
  EXPECT_TRUE(win::FileExists("C:\\Out\\report.txt"));
  EXPECT_EQ(report_->FileDevice(), nullptr);
  ExpectIdle();
}

TEST_F(Producer, ThePrintDialogsFileChoicesMakeTheFileDevice) {
  RegisterFormClass(&TppCustomPrintDialog::StaticClass(), &TFakePrintDialog::StaticClass());
  ASSERT_TRUE(win::CreateDirectory("C:\\Out"));
  report_->SetShowPrintDialog(true);
  report_->SetShowCancelDialog(false);
  report_->SetTextFileName("C:\\Out\\not this.txt");
  TFakePrintDialog::OnInit = [](TFakePrintDialog* d) {
    d->DeviceType = "ReportTextFile";
    d->TextFileName = "C:\\Out\\grid.txt";
  };
  std::string deviceClass;
  report_->AfterPage = [&](int) {
    if (report_->FileDevice()) deviceClass = report_->FileDevice()->ClassName();
  };
  report_->Print();
  EXPECT_EQ(deviceClass, "TppReportTextFileDevice");
  std::string grid = testing_support::ReadFile(root_.Host("C:\\Out\\grid.txt"));
  EXPECT_NE(grid.find("Page 1"), std::string::npos);
  EXPECT_NE(grid.find("Page 2"), std::string::npos);
  EXPECT_FALSE(win::FileExists("C:\\Out\\not this.txt"));
  EXPECT_TRUE(Jobs().empty());
  ExpectIdle();
}

// The search settings: cleared Visible below 7.01, copied by Transfer, the
// default text reset only by a language change made outside loading.
TEST(ProducerStoredForm, TextSearchSettingsConvertTransferAndFollowTheLanguage) {
  testing_support::TempRoot root;
  for (auto [version, visible] : {std::pair{"7.0", false}, {"7.01", true}}) {
    cls::Owned<TppProducer> p(new TppProducer(nullptr));
    p->BeginLoading();
    TCollectingFiler filer;
    p->DefineProperties(&filer);
    TValueReader v(cls::vkString, version);
    filer.Props.at("Version").read(v);
    p->TextSearchSettings()->SetVisible(true);
    p->TextSearchSettings()->SetDefaultString("kept");
    p->SetLanguage(lgDefault);
    p->FinishLoading();
    EXPECT_EQ(p->TextSearchSettings()->Visible(), visible) << version;
    EXPECT_EQ(p->TextSearchSettings()->DefaultString(), "kept");
    p->SetLanguage(lgDefault);
    EXPECT_EQ(p->TextSearchSettings()->DefaultString(), "<FindText>");
  }
  cls::Owned<TppProducer> a(new TppProducer(nullptr)), b(new TppProducer(nullptr));
  a->TextSearchSettings()->SetCaseSensitive(true);
  a->TextSearchSettings()->SetEnabled(false);
  b->Transfer(a.get());
  EXPECT_TRUE(b->TextSearchSettings()->CaseSensitive());
  EXPECT_FALSE(b->TextSearchSettings()->Enabled());
  EXPECT_NE(b->TextSearchSettings(), a->TextSearchSettings());
  // Scripting writes a copy; another class is ignored.
  a->TextSearchSettings()->SetShowAll(true);
  EXPECT_TRUE(raSetPropValue(b.get(), "TextSearchSettings", TraValue(static_cast<cls::TObject*>(a->TextSearchSettings()))));
  EXPECT_TRUE(b->TextSearchSettings()->ShowAll());
  EXPECT_NE(b->TextSearchSettings(), a->TextSearchSettings());
  EXPECT_FALSE(raSetPropValue(b.get(), "TextSearchSettings", TraValue(static_cast<cls::TObject*>(a->PreviewFormSettings()))));
  a->PreviewFormSettings()->SetZoomPercentage(40);
  EXPECT_TRUE(raSetPropValue(b.get(), "PreviewFormSettings", TraValue(static_cast<cls::TObject*>(a->PreviewFormSettings()))));
  EXPECT_EQ(b->PreviewFormSettings()->ZoomPercentage(), 40);
}
