// Background printing on a recording copy of the demo printer: reports
// owned by test data modules print in a row on the worker, one container at
// a time; failures on a page, in the owner's construction and in the wait
// for the container reach the exception event as text; a cancel by Clear
// is carried out by the worker; the checks of a request.
#include <gtest/gtest.h>

#include <atomic>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <functional>
#include <string>
#include <thread>
#include <vector>

#include "platform/com/com.h"
#include "platform/gdi/fonts.h"
#include "platform/gdi/gdi.h"
#include "platform/classes/typinfo.h"
#include "platform/spool/printerdef.h"
#include "platform/sysroot/sysroot.h"
#include "platform/ui/dialogs.h"
#include "platform/ui/forms.h"
#include "report/engine/ppBackgroundPrint.h"
#include "report/engine/ppBackgroundReportGenerator.h"
#include "report/engine/ppBands.h"
#include "report/engine/ppReport.h"
#include "report/output/ppPrintr.h"
#include "tests/report/output/ppPrintr_fixture.h"
#include "tests/support/ppListPipeline.h"
#include "tests/support/testroot.h"

namespace {

std::atomic<int> g_liveModules{0};
std::atomic<int> g_mostModules{0};
std::atomic<bool> g_workerHadCom{false};
std::atomic<bool> g_messageHandled{false};
std::atomic<int> g_slowConstructionMs{0};

// A data module with one report of three 82 x 100 mm pages, "Report1",
// a page a record.
class TReceiptModule : public cls::TComponent {
  CLS_DECLARE_CLASS(TReceiptModule, cls::TComponent)
 public:
  explicit TReceiptModule(cls::TComponent* owner) : cls::TComponent(owner) {
    int live = ++g_liveModules;
    for (int most = g_mostModules.load(); live > most && !g_mostModules.compare_exchange_weak(most, live);) {
    }
    Report = new TppReport(this);
    Report->SetName("Report1");
    Report->SetUnits(utMillimeters);
    TppPrinterSetup* s = Report->PrinterSetup();
    s->SetUnits(utMillimeters);
    s->SetPrinterName("Zolmet");
    s->SetPaperWidth(82);
    s->SetPaperHeight(100);
    auto* records = new TppListPipeline(this);
    records->SetName("plRecords");
    for (int i = 0; i < 10; ++i) records->AddRecord({});
    Report->SetDataPipeline(records);
    Report->SetPageLimit(3);
    Report->SetDeviceType("Printer");
    Report->SetShowPrintDialog(false);
    Report->SetShowCancelDialog(false);
    Report->BackgroundPrintSettings()->SetEnabled(true);
    Report->BackgroundPrintSettings()->SetActive(true);
    auto* detail = new TppDetailBand(this);
    detail->SetReport(Report);
    detail->SetHeight(80);
    Report->OnStartPage = cls::TNotifyEvent(this, &TReceiptModule::StartPage);
  }
  ~TReceiptModule() override { --g_liveModules; }
  virtual void StartPage(cls::TObject*) {}
  TppReport* Report;
};
CLS_IMPLEMENT_COMPONENT(TReceiptModule)

// Raises on its page 2.
class TFailingModule : public TReceiptModule {
  CLS_DECLARE_CLASS(TFailingModule, TReceiptModule)
 public:
  using TReceiptModule::TReceiptModule;
  void StartPage(cls::TObject*) override {
    if (Report->AbsolutePageNo() == 2) throw EDataError("No data for page 2.");
  }
};
CLS_IMPLEMENT_COMPONENT(TFailingModule)

// On its first page: posts a message to the main thread and waits until it
// was handled; notes whether COM is initialised on the worker.
class TPostingModule : public TReceiptModule {
  CLS_DECLARE_CLASS(TPostingModule, TReceiptModule)
 public:
  using TReceiptModule::TReceiptModule;
  void StartPage(cls::TObject*) override {
    if (Report->AbsolutePageNo() != 1 || win::IsMainThread()) return;
    g_workerHadCom = com::CoInitializeCount() > 0;
    cls::TEvent handled(true, false, "handled");
    ui::Application().PostMessage([&handled] {
      g_messageHandled = true;
      handled.SetEvent();
    });
    ASSERT_EQ(handled.WaitFor(10000), cls::TWaitResult::wrSignaled);
    // A box the worker asks for: the main thread shows it.
    EXPECT_EQ(ui::MessageDlg("Paper low", ui::TMsgDlgType::mtWarning, ui::mbOK | ui::mbCancel), ui::mrOk);
  }
};
CLS_IMPLEMENT_COMPONENT(TPostingModule)

// On the worker's page 2: tells the main thread and waits for it.
cls::TEvent g_gateReached(true, false, "reached");
cls::TEvent g_gateOpen(true, false, "open");
class TGateModule : public TReceiptModule {
  CLS_DECLARE_CLASS(TGateModule, TReceiptModule)
 public:
  using TReceiptModule::TReceiptModule;
  void StartPage(cls::TObject*) override {
    if (Report->AbsolutePageNo() != 2 || win::IsMainThread()) return;
    g_gateReached.SetEvent();
    ASSERT_EQ(g_gateOpen.WaitFor(10000), cls::TWaitResult::wrSignaled);
  }
};
CLS_IMPLEMENT_COMPONENT(TGateModule)

// Its construction on the worker has the main thread, inside its wait for
// the container, run a message that returns only once the job has ended.
class THandshakeModule : public TReceiptModule {
  CLS_DECLARE_CLASS(THandshakeModule, TReceiptModule)
 public:
  explicit THandshakeModule(cls::TComponent* owner) : TReceiptModule(owner) {
    if (win::IsMainThread()) return;
    cls::TEvent seen(true, false, "seen");
    ui::Application().PostMessage([&seen] {
      TppBackgroundPrintThread* t = ppBackgroundPrintManager()->Queue()->Thread();
      seen.SetEvent();
      while (!t->Finished()) std::this_thread::sleep_for(std::chrono::milliseconds(1));
    });
    EXPECT_EQ(seen.WaitFor(10000), cls::TWaitResult::wrSignaled);
  }
};
CLS_IMPLEMENT_COMPONENT(THandshakeModule)

// Its construction raises on the worker.
class TBrokenModule : public TReceiptModule {
  CLS_DECLARE_CLASS(TBrokenModule, TReceiptModule)
 public:
  explicit TBrokenModule(cls::TComponent* owner) : TReceiptModule(owner) {
    if (!win::IsMainThread()) throw cls::EComponentError("Module cannot load");
  }
};
CLS_IMPLEMENT_COMPONENT(TBrokenModule)

// Its construction on the worker takes g_slowConstructionMs.
class TSlowModule : public TReceiptModule {
  CLS_DECLARE_CLASS(TSlowModule, TReceiptModule)
 public:
  explicit TSlowModule(cls::TComponent* owner) : TReceiptModule(owner) {
    if (!win::IsMainThread()) std::this_thread::sleep_for(std::chrono::milliseconds(g_slowConstructionMs.load()));
  }
};
CLS_IMPLEMENT_COMPONENT(TSlowModule)

// On the worker its report bears another name.
class TRenamingModule : public TReceiptModule {
  CLS_DECLARE_CLASS(TRenamingModule, TReceiptModule)
 public:
  explicit TRenamingModule(cls::TComponent* owner) : TReceiptModule(owner) {
    if (!win::IsMainThread()) Report->SetName("Other");
  }
};
CLS_IMPLEMENT_COMPONENT(TRenamingModule)

// A data module without a virtual constructor.
class TFixedModule : public TReceiptModule {
  CLS_DECLARE_CLASS(TFixedModule, TReceiptModule)
 public:
  using TReceiptModule::TReceiptModule;
};
CLS_IMPLEMENT_CLASS(TFixedModule)

struct TManagerLog {
  std::vector<std::string> events;
  std::vector<std::string> errors;
  void JobEnded(cls::TObject*) { events.push_back("job"); }
  void QueueEmpty(cls::TObject*) { events.push_back("empty"); }
  void Failed(cls::TObject*, const cls::Exception& e) { errors.push_back(e.Message()); }
};

class BackgroundPrint : public ::testing::Test {
 protected:
  void SetUp() override {
    ASSERT_NE(std::freopen("/dev/null", "r", stdin), nullptr);
    ui::SetEchoDialogs(false);
    ui::ClearRecordedDialogs();
    gdi::SetDeterministicMetrics(true);
    ASSERT_NO_FATAL_FAILURE(UseRecordingZolmet());
    // The page handler is published: the template names it, and the
    // worker's report binds it to its own module.
    static bool published = [] {
      cls::PublishMethod(TReceiptModule::StaticClass(), cls::TMethodInfo{"StartPage", [](cls::TObject* o) {
                           return cls::TNotifyEvent(static_cast<TReceiptModule*>(o), &TReceiptModule::StartPage)
                               .Method();
                         }});
      return true;
    }();
    (void)published;
    g_liveModules = 0;
    g_mostModules = 0;
    manager_ = ppBackgroundPrintManager();
    manager_->OnJobEnded = cls::TNotifyEvent(&log_, &TManagerLog::JobEnded);
    manager_->OnQueueEmpty = cls::TNotifyEvent(&log_, &TManagerLog::QueueEmpty);
    manager_->OnException = TppBackgroundExceptionEvent(&log_, &TManagerLog::Failed);
  }
  void TearDown() override {
    ppBackgroundPrintFinalize();
    for (cls::TComponent* m : modules_) m->Free();
    TppBackgroundPrintThread::WaitStepMs = 250;
    ui::Application().Shutdown();
    ppPrintrFinalize();
    gdi::SetDeterministicMetrics(false);
    ui::SetEchoDialogs(true);
  }
  template <class T>
  T* Module(const std::string& document) {
    auto* m = new T(nullptr);
    m->Report->PrinterSetup()->SetDocumentName(document);
    modules_.push_back(m);
    return m;
  }
  // Pumps the main thread's messages until the queue emptied (or 30 s).
  void PumpUntilEmpty() {
    for (int i = 0; i < 30000; ++i) {
      ui::Application().ProcessMessages();
      if (!manager_->Queue()->Thread() && manager_->GetCount() == 0) return;
      std::this_thread::sleep_for(std::chrono::milliseconds(1));
    }
    FAIL() << "the queue did not empty";
  }
  static int Count(const std::vector<std::string>& v, const std::string& s) {
    return static_cast<int>(std::count(v.begin(), v.end(), s));
  }

  testing_support::TempRoot root_;
  TppBackgroundPrintManager* manager_ = nullptr;
  TManagerLog log_;
  std::vector<cls::TComponent*> modules_;
};

}  // namespace

TEST_F(BackgroundPrint, FiveReportsPrintInCallOrderOneContainerAtATime) {
  std::vector<TReceiptModule*> modules{Module<TReceiptModule>("Report 1"), Module<TPostingModule>("Report 2"),
                                       Module<TFailingModule>("Report 3"), Module<TReceiptModule>("Report 4"),
                                       Module<TReceiptModule>("Report 5")};
  g_mostModules = 0;
  const int onMain = g_liveModules;
  for (TReceiptModule* m : modules) {
    m->Report->Print();
    // The main thread's report is idle again at once.
    EXPECT_FALSE(m->Report->Producing());
    EXPECT_EQ(m->Report->PrinterDevice(), nullptr);
  }
  PumpUntilEmpty();

  auto jobs = gdi::RecordedJobs();
  ASSERT_EQ(jobs.size(), 5u);
  for (int i = 0; i < 5; ++i) {
    SCOPED_TRACE(i);
    EXPECT_EQ(jobs[i].document, "Report " + std::to_string(i + 1));
    EXPECT_EQ(jobs[i].printer, "Zolmet");
    EXPECT_EQ(jobs[i].copies, 1);
    if (i == 2) {
      EXPECT_EQ(jobs[i].status, "aborted");
      continue;
    }
    EXPECT_EQ(jobs[i].status, "done");
    ASSERT_EQ(jobs[i].pages.size(), 3u);
    for (const gdi::Page& p : jobs[i].pages) {
      EXPECT_EQ(p.widthTenths, 820);
      EXPECT_EQ(p.heightTenths, 1000);
    }
  }
  // One worker container at a time beside the five on the main thread.
  EXPECT_EQ(g_mostModules.load(), onMain + 1);
  EXPECT_EQ(g_liveModules.load(), onMain);
  ASSERT_EQ(log_.errors.size(), 1u);
  EXPECT_EQ(log_.errors[0], "EDataError: No data for page 2.");
  EXPECT_EQ(Count(log_.events, "job"), 5);
  EXPECT_EQ(Count(log_.events, "empty"), 1);
  EXPECT_EQ(log_.events.back(), "empty");
  // Report 2's message ran on the main thread; the worker had COM and
  // showed no window: its box was shown here, the worker took OK.
  EXPECT_TRUE(g_messageHandled);
  EXPECT_TRUE(g_workerHadCom);
  auto shown = ui::RecordedDialogs();
  ASSERT_EQ(shown.size(), 1u);
  EXPECT_EQ(shown[0].text, "Paper low");
  EXPECT_TRUE(cls::IsMultiThread());
}

TEST_F(BackgroundPrint, ARequestIsRefusedBeforeAnythingIsQueued) {
  auto* m = Module<TReceiptModule>("Screen");
  auto raised = [&](std::function<void()> f) -> std::string {
    try {
      f();
    } catch (const EBackgroundPrintError& e) {
      return e.Message();
    }
    return "";
  };
  EXPECT_EQ(raised([&] { manager_->Print(m->Report, nullptr, "", "", "Screen"); }),
            "TppBackgroundPrintRequest.Create: The producer's device cannot be a screen device for background "
            "printing.");
  TppReport orphan(nullptr);
  EXPECT_EQ(raised([&] { manager_->Print(&orphan, nullptr, "", "", "Printer"); }),
            "TppBackgroundPrintRequest.Create: Owner of producer cannot be nil for background printing.");
  TppProducer producer(m);
  EXPECT_EQ(raised([&] { manager_->Print(&producer, nullptr, "", "", "Printer"); }),
            "TppBackgroundPrintManager.Print: Background printing not supported for TppProducer");
  EXPECT_EQ(raised([] { TppBackgroundPrintRequest(nullptr, "", "", "Printer", nullptr); }),
            "TppBackgroundPrintRequest.Create: Producer cannot be nil for background printing.");
  EXPECT_EQ(raised([&] { TppBackgroundPrintRequest(m, "", "", "Printer", nullptr); }),
            "TppBackgroundPrintRequest.Create: Object passed as producer is not a TppProducer but rather a "
            "TReceiptModule");
  EXPECT_EQ(manager_->GetCount(), 0);
  EXPECT_EQ(manager_->Queue()->Thread(), nullptr);
  manager_->Queue()->Add(nullptr);
  EXPECT_EQ(manager_->Queue()->ErrorText(), "TppBackgroundPrintQueue.Add: The background print request may not be nil.");
  EXPECT_TRUE(gdi::RecordedJobs().empty());
}

TEST_F(BackgroundPrint, ClearDuringAJobCancelsItAndNothingAfterPrints) {
  std::vector<TReceiptModule*> modules{Module<TReceiptModule>("Report 1"), Module<TGateModule>("Report 2"),
                                       Module<TReceiptModule>("Report 3"), Module<TReceiptModule>("Report 4")};
  g_gateReached.ResetEvent();
  g_gateOpen.ResetEvent();
  for (TReceiptModule* m : modules) m->Report->Print();
  // Job 2 runs once job 1's end was handled; clear while it is on page 2.
  for (int i = 0; i < 10000 && g_gateReached.WaitFor(0) != cls::TWaitResult::wrSignaled; ++i) {
    ui::Application().ProcessMessages();
    std::this_thread::sleep_for(std::chrono::milliseconds(1));
  }
  const int queued = manager_->GetCount();
  manager_->Clear();
  // The running job's request stays until its end is handled.
  const int left = manager_->GetCount();
  g_gateOpen.SetEvent();
  EXPECT_EQ(queued, 3);
  EXPECT_EQ(left, 1);
  PumpUntilEmpty();
  // Job 2 is cancelled on its page 2; the jobs after it are gone.
  auto jobs = gdi::RecordedJobs();
  ASSERT_GE(jobs.size(), 1u);
  EXPECT_EQ(jobs[0].document, "Report 1");
  EXPECT_EQ(jobs[0].status, "done");
  ASSERT_EQ(jobs.size(), 2u);
  EXPECT_EQ(jobs[1].document, "Report 2");
  // A cancel keeps what was printed: page 1 only.
  EXPECT_EQ(jobs[1].pages.size(), 1u);
  EXPECT_EQ(Count(log_.events, "job"), 2);
  EXPECT_EQ(log_.events.back(), "empty");
  EXPECT_TRUE(log_.errors.empty());
}

TEST_F(BackgroundPrint, AFailedContainerIsReportedOnceAndTheNextJobPrints) {
  auto* broken = Module<TBrokenModule>("Broken");
  auto* fixed = Module<TFixedModule>("Fixed");
  auto* renaming = Module<TRenamingModule>("Renaming");
  auto* good = Module<TReceiptModule>("Good");
  int handled = 0;
  ui::Application().OnException = [&](cls::TObject*, const std::exception_ptr&) { ++handled; };
  broken->Report->Print();
  fixed->Report->Print();
  renaming->Report->Print();
  good->Report->Print();
  PumpUntilEmpty();
  ASSERT_EQ(log_.errors.size(), 3u);
  EXPECT_EQ(log_.errors[0], "EComponentError: Module cannot load");
  EXPECT_EQ(log_.errors[1], "TppBackgroundContainerAdapter.CreateContainer: Cannot create container: TFixedModule");
  EXPECT_EQ(log_.errors[2], "TppBackgroundContainerAdapter.CreateContainer: Cannot find producer in owner: Report1");
  // The application's exception handler saw nothing.
  EXPECT_EQ(handled, 0);
  auto jobs = gdi::RecordedJobs();
  ASSERT_EQ(jobs.size(), 1u);
  EXPECT_EQ(jobs[0].document, "Good");
  EXPECT_EQ(jobs[0].status, "done");
  EXPECT_EQ(Count(log_.events, "job"), 4);
  EXPECT_EQ(log_.events.back(), "empty");
  // Every container made on the worker is gone.
  EXPECT_EQ(g_liveModules.load(), 4);
}

TEST_F(BackgroundPrint, WithoutAnExceptionHandlerTheErrorIsAWarningBox) {
  manager_->OnException.Clear();
  Module<TFailingModule>("Failing")->Report->Print();
  PumpUntilEmpty();
  auto shown = ui::RecordedDialogs();
  ASSERT_EQ(shown.size(), 1u);
  EXPECT_EQ(shown[0].text, "EDataError: No data for page 2.");
  EXPECT_EQ(shown[0].icon, ui::MB_ICONWARNING);
}

TEST_F(BackgroundPrint, TheWaitForTheContainerEndsWithTheTimeOutTextAndTheJobGoesOn) {
  TppBackgroundPrintThread::WaitStepMs = 2;  // 40 steps: 80 ms
  g_slowConstructionMs = 400;
  auto* slow = Module<TSlowModule>("Slow");
  auto* next = Module<TReceiptModule>("Next");
  slow->Report->Print();
  // The next job waits the full time: a loaded machine may take longer
  // than 80 ms to build even a quick container.
  TppBackgroundPrintThread::WaitStepMs = 250;
  next->Report->Print();
  PumpUntilEmpty();
  ASSERT_EQ(log_.errors.size(), 1u);
  EXPECT_EQ(log_.errors[0],
            "TppBackgroundPrintThread.PrintInBackground: 10 second timeout exceeded for background printing thread "
            "to create report container");
  auto jobs = gdi::RecordedJobs();
  ASSERT_EQ(jobs.size(), 2u);
  EXPECT_EQ(jobs[0].document, "Slow");
  EXPECT_EQ(jobs[0].status, "done");
  EXPECT_EQ(jobs[1].document, "Next");
  EXPECT_EQ(Count(log_.events, "job"), 2);
}

TEST_F(BackgroundPrint, ShutdownWithAJobRunningWaitsForIt) {
  auto* big = Module<TReceiptModule>("Big");
  big->Report->SetPageLimit(100);
  big->Report->Print();
  Module<TReceiptModule>("Queued")->Report->Print();
  ppBackgroundPrintFinalize();
  // The worker's container is gone, the job was cancelled and nothing else ran.
  EXPECT_EQ(g_liveModules.load(), 2);
  auto jobs = gdi::RecordedJobs();
  ASSERT_EQ(jobs.size(), 1u);
  EXPECT_NE(jobs[0].status, "printing");
  // Its end, still queued for the main thread, is dropped.
  for (int i = 0; i < 20; ++i) ui::Application().ProcessMessages();
  EXPECT_TRUE(log_.events.empty());
}

TEST_F(BackgroundPrint, AJobThatEndsWhileItsStartStillWaitsIsHandledAfterwards) {
  TppBackgroundPrintThread::WaitStepMs = 50;  // short steps, room for a loaded machine
  auto* quick = Module<THandshakeModule>("Quick");
  auto* second = Module<TReceiptModule>("Second");
  quick->Report->Print();
  // The job ended inside Start's wait; its end is handled after Start
  // returned, so the second job starts from the loop.
  EXPECT_TRUE(log_.events.empty());
  EXPECT_EQ(manager_->GetCount(), 1);
  ASSERT_NE(manager_->Queue()->Thread(), nullptr);
  EXPECT_TRUE(manager_->Queue()->Thread()->Finished());
  second->Report->Print();
  PumpUntilEmpty();
  auto jobs = gdi::RecordedJobs();
  ASSERT_EQ(jobs.size(), 2u);
  EXPECT_EQ(jobs[0].document, "Quick");
  EXPECT_EQ(jobs[1].document, "Second");
  EXPECT_EQ(log_.events, (std::vector<std::string>{"job", "job", "empty"}));
  EXPECT_TRUE(log_.errors.empty());
}

TEST_F(BackgroundPrint, OnTheDemoPrinterTheFailedJobLeavesARecordAndNoPdf) {
  namespace fs = std::filesystem;
  ASSERT_TRUE(spool::InstallPrinter(spool::DemoReceiptPrinter()));
  ppPrintrFinalize();
  Module<TReceiptModule>("First")->Report->Print();
  Module<TFailingModule>("Failing")->Report->Print();
  Module<TReceiptModule>("Last")->Report->Print();
  PumpUntilEmpty();
  const std::string folder = sysroot::HostPath("C:\\Zolmet\\Printed\\Zolmet");
  std::vector<std::string> records;
  for (const auto& e : fs::directory_iterator(folder))
    if (e.path().extension() == ".job") records.push_back(e.path().string());
  std::sort(records.begin(), records.end());
  ASSERT_EQ(records.size(), 3u);
  const char* documents[] = {"First", "Failing", "Last"};
  for (int i = 0; i < 3; ++i) {
    SCOPED_TRACE(documents[i]);
    std::string record = testing_support::ReadFile(records[i]);
    std::string pdf = records[i].substr(0, records[i].size() - 4) + ".pdf";
    EXPECT_NE(record.find("Printer=Zolmet\r\nDocument=" + std::string(documents[i]) + "\r\n"), std::string::npos)
        << record;
    if (i == 1) {
      EXPECT_NE(record.find("Status=aborted\r\n"), std::string::npos) << record;
      EXPECT_FALSE(fs::exists(pdf));
    } else {
      EXPECT_NE(record.find("Status=done\r\nCopies=1\r\nPages=3\r\nPage1=820,1000,"), std::string::npos) << record;
      EXPECT_TRUE(fs::exists(pdf));
    }
  }
  ASSERT_EQ(log_.errors.size(), 1u);
  EXPECT_EQ(log_.errors[0], "EDataError: No data for page 2.");
}

TEST_F(BackgroundPrint, TheWorkersReportIsLoadedFromTheTemplateOfTheReportPrinted) {
  auto* m = Module<TReceiptModule>("Edited");
  // Changed after the module was built: only the template carries it.
  m->Report->SetPageLimit(2);
  m->Report->Print();
  PumpUntilEmpty();
  auto jobs = gdi::RecordedJobs();
  ASSERT_EQ(jobs.size(), 1u);
  EXPECT_EQ(jobs[0].status, "done");
  EXPECT_EQ(jobs[0].pages.size(), 2u);
  EXPECT_TRUE(log_.errors.empty());
}
