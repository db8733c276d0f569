// Printers used from more than one thread: a rebuild of the printer list
// racing the global printer, two setups assigned to and compared with each
// other crosswise, and holders of list entries that outlive a rebuild.
#include <gtest/gtest.h>

#include <atomic>
#include <condition_variable>
#include <cstdio>
#include <cstdlib>
#include <functional>
#include <mutex>
#include <thread>
#include <vector>

#include "report/output/ppPrintr.h"
#include "tests/report/output/ppPrintr_fixture.h"

namespace {

constexpr int kRounds = 300;

// Runs each body on a thread of its own. Bodies that have not all finished
// within the time limit are taken for a deadlock: the program stops with a
// failure instead of hanging.
void RunTogether(const std::vector<std::function<void()>>& bodies, int seconds = 30) {
  std::mutex m;
  std::condition_variable done;
  size_t finished = 0;
  std::vector<std::thread> threads;
  for (const auto& body : bodies)
    threads.emplace_back([&, body] {
      body();
      std::lock_guard<std::mutex> g(m);
      ++finished;
      done.notify_all();
    });
  std::unique_lock<std::mutex> lock(m);
  if (!done.wait_for(lock, std::chrono::seconds(seconds), [&] { return finished == bodies.size(); })) {
    std::fprintf(stderr, "%s: threads still running after %d s: deadlock\n",
                 ::testing::UnitTest::GetInstance()->current_test_info()->name(), seconds);
    std::fflush(stderr);
    std::_Exit(1);
  }
  lock.unlock();
  for (auto& t : threads) t.join();
}

// Counts the geometry changes of one setup and reads the other setup from
// inside the handler, as a report reading its page's setup would.
struct Reader {
  TppPrinterSetup* other = nullptr;
  std::atomic<int> calls{0};
  void Changed(cls::TObject*) {
    other->PaperWidth();
    other->Copies();
    ++calls;
  }
};

}  // namespace

TEST_F(Printers, RebuildRacesTheGlobalPrinter) {
  Install(RecordingZolmet(), true);
  Install(Office("Office"));
  TppPrinterList* list = ppGetPrinterList();
  std::atomic<int> seen{0};
  RunTogether({[&] {
                 for (int i = 0; i < kRounds; ++i) list->BuildPrinterList();
               },
               [&] {
                 for (int i = 0; i < kRounds; ++i)
                   if (TppPrinter* p = ppGetGlobalPrinter()) {
                     // A printer taken before a rebuild stays usable after it.
                     if (p->GetPrinterName() == "Default") ++seen;
                     p->GetCapabilities();
                   }
               },
               [&] {
                 TppPrinterSetup setup(nullptr);
                 for (int i = 0; i < kRounds; ++i) {
                   setup.SetPrinterName(i % 2 ? "Office" : "Zolmet");
                   setup.PrinterDescription();
                   setup.GetResolvedPrinterName();
                   setup.PaperNames();
                 }
               }});
  EXPECT_EQ(seen, kRounds);
  EXPECT_EQ(list->PrinterNames(), (std::vector<std::string>{"Screen", "Default", "Office", "Zolmet"}));
  EXPECT_EQ(list->DefaultPrinterName(), "Zolmet");
  EXPECT_NE(ppGetGlobalPrinter(), nullptr);
}

TEST_F(Printers, CrossedAssignAndCompareFinish) {
  Install(RecordingZolmet(), true);
  Install(Office("Office"));
  TppPrinterSetup a(nullptr), b(nullptr);
  a.SetPrinterName("Zolmet");
  b.SetPrinterName("Office");
  Reader readsB, readsA;
  readsB.other = &b;
  readsA.other = &a;
  a.OnPageDefChange = cls::TNotifyEvent(&readsB, &Reader::Changed);
  b.OnPageDefChange = cls::TNotifyEvent(&readsA, &Reader::Changed);
  std::atomic<int> equal{0};
  RunTogether({[&] {
                 for (int i = 0; i < kRounds; ++i) {
                   a.Assign(&b);
                   equal += a.IsEqual(&b);
                   a.MatchesPaper(&b);
                   a.SetMarginTop(static_cast<float>(i % 3));
                 }
               },
               [&] {
                 for (int i = 0; i < kRounds; ++i) {
                   b.Assign(&a);
                   equal += b.IsEqual(&a);
                   b.MatchesPaper(&a);
                   b.SetMarginLeft(static_cast<float>(i % 3));
                   b.SetCopies(1 + i % 4);
                 }
               }});
  EXPECT_EQ(readsB.calls, kRounds);
  EXPECT_EQ(readsA.calls, kRounds);
  // Each assignment copied a whole setup, never half of one.
  a.Assign(&b);
  EXPECT_TRUE(a.IsEqual(&b));
  EXPECT_TRUE(b.IsEqual(&a));
  EXPECT_EQ(a.PrinterInfo(), b.PrinterInfo());
}

TEST_F(Printers, HoldersOutliveARebuild) {
  Install(RecordingZolmet(), true);
  TppPrinterSetup setup(nullptr);
  setup.SetPrinterName("Zolmet");
  TppPrinter printer;
  printer.SetPrinterName("Zolmet");
  TppPrinter* global = ppGetGlobalPrinter();
  ASSERT_NE(global, nullptr);
  ppGetPrinterList()->BuildPrinterList();
  EXPECT_EQ(setup.PrinterDescription(), "");  // a level 4 entry has no port
  EXPECT_EQ(setup.PrinterInfo()->Name(), "Zolmet");
  EXPECT_EQ(setup.BinNames(), (std::vector<std::string>{"Default", "Roll Feed"}));
  EXPECT_EQ(printer.GetPrinterInfo()->Name(), "Zolmet");
  EXPECT_EQ(printer.GetCapabilities()->PaperCodes.CommaText(), "257,256");
  // The rebuild forgot the global printer; the one handed out still works.
  EXPECT_EQ(global->GetPrinterName(), "Default");
  EXPECT_NE(ppGetGlobalPrinter(), global);
  // A name resolves against the new list.
  printer.SetPrinterName("Zolmet");
  EXPECT_EQ(printer.GetPrinterInfo(), ppGetPrinterList()->GetPrinterInfo("Zolmet"));

  win::SetVersionForTesting(win::VER_PLATFORM_WIN32_WINDOWS, 4);
  Install(Office("Office"));
  ppGetPrinterList()->BuildPrinterList();
  setup.SetPrinterName("Office");
  ppGetPrinterList()->BuildPrinterList();
  EXPECT_EQ(setup.PrinterDescription(), "Office on LPT1:");
  EXPECT_EQ(setup.GetResolvedPrinterName(), "Office");
}
