// How the memo report (memo_report.h) scales: printed at 1,000, 10,000 and
// 100,000 pages with the outline on and off (CPU time a page and peak
// memory), archived, searched twice in a viewer, and previewed with the
// page cache on to its last page. Each case runs in a child process of its
// own, so its peak memory is its own; times are the child's CPU time.
#include <benchmark/benchmark.h>
#include <sys/mman.h>

#include <string>

#include "bench/report_engine/memo_report.h"
#include "platform/gdi/gdi.h"
#include "report/output/ppFilDev.h"
#include "report/output/ppTextSearch.h"
#include "report/output/ppViewr.h"

using namespace memo_bench;

namespace {

// Values a child hands back.
struct Shared {
  double values[4] = {};
};

Shared* SharedValues() {
  static Shared* shared = static_cast<Shared*>(
      mmap(nullptr, sizeof(Shared), PROT_READ | PROT_WRITE, MAP_SHARED | MAP_ANONYMOUS, -1, 0));
  return shared;
}

// Runs WORK in a child; the time is the child's CPU time.
template <class Work>
void RunInChild(benchmark::State& state, int pages, Work work) {
  Shared* shared = SharedValues();
  *shared = Shared{};
  for (auto _ : state) {
    ChildCost cost = InChild([&] { return work(*shared); });
    if (!cost.ok) state.SkipWithError("the run failed");
    state.SetIterationTime(cost.cpuSeconds);
    state.counters["ms_per_page"] = cost.cpuSeconds * 1000 / pages;
    state.counters["peak_rss_mb"] = static_cast<double>(cost.peakRssKb) / 1024;
    TheRoot().ClearOutput();
  }
  state.counters["pages"] = pages;
}

// Printed to the PDF printer; range(1) 1: the outline on (0: off).
void BM_MemoPages(benchmark::State& state) {
  int pages = static_cast<int>(state.range(0));
  RunInChild(state, pages, [&](Shared&) {
    MemoReport r(pages, state.range(1) != 0);
    r.report->Print();
    return r.report->AbsolutePageCount() == pages;
  });
}

// Archived, the outline of every page but the last removed as the device
// does by default; range(1) as above.
void BM_ArchivePages(benchmark::State& state) {
  int pages = static_cast<int>(state.range(0));
  RunInChild(state, pages, [&](Shared&) {
    MemoReport r(pages, state.range(1) != 0);
    r.report->SetDeviceType("ArchiveFile");
    std::filesystem::create_directories(TheRoot().Output());
    r.report->SetArchiveFileName("C:\\Zolmet\\Printed\\" + TheRoot().printer() + "\\memo.raf");
    r.report->Print();
    return r.report->AbsolutePageCount() == pages;
  });
}

// Shown in a viewer and searched for a text on no page, then again; then
// for a text on most pages. Counters: CPU seconds of each search.
void BM_TextSearch(benchmark::State& state) {
  int pages = static_cast<int>(state.range(0));
  RunInChild(state, pages, [&](Shared& out) {
    MemoReport r(pages, state.range(1) != 0);
    r.report->SetDeviceType("Screen");
    cls::Owned<TppViewer> viewer(new TppViewer(nullptr));
    viewer->SetBounds(0, 0, 600, 400);
    viewer->SetReport(r.report);
    r.report->PrintToDevices();
    cls::Owned<TppTextSearchSettings> settings(new TppTextSearchSettings);
    cls::Owned<TppTextSearchRichTextEngine> engine(new TppTextSearchRichTextEngine(nullptr));
    engine->SetViewer(viewer.get());
    engine->SetTextSearchSettings(settings.get());
    bool ok = true;
    auto search = [&](const std::string& text) {
      double start = CpuSeconds();
      engine->ResetSearch();
      engine->Search(text);
      engine->NavigateForward(text, false);
      ok = ok && engine->Complete();
      return CpuSeconds() - start;
    };
    out.values[0] = search("nowhere");
    out.values[1] = search("nowhere");
    out.values[2] = search("Line 001");
    int pagesHit = engine->PageList()->Count();
    engine.reset();
    viewer.reset();
    return ok && pagesHit > pages / 2;
  });
  state.counters["first_s"] = SharedValues()->values[0];
  state.counters["second_s"] = SharedValues()->values[1];
  state.counters["hits_s"] = SharedValues()->values[2];
}

// Previewed with the page cache on, to the last page; range(2) the memo
// lines a page (PaperHeightFor).
void BM_CachedPreview(benchmark::State& state) {
  int pages = static_cast<int>(state.range(0));
  double paper = PaperHeightFor(static_cast<int>(state.range(2)));
  RunInChild(state, pages, [&](Shared&) {
    MemoReport r(pages, state.range(1) != 0, paper);
    r.report->SetDeviceType("Screen");
    r.report->SetCachePages(true);
    cls::Owned<TppViewer> viewer(new TppViewer(nullptr));
    viewer->SetBounds(0, 0, 600, 400);
    viewer->SetReport(r.report);
    r.report->PrintToDevices();
    viewer->LastPage();
    bool last = viewer->GetAbsolutePageNo() == pages;
    viewer.reset();
    return last;
  });
}

// One stretching memo of range(0) lines printed on the recording printer:
// the time of a page must not grow with the memo's length.
void BM_LongMemo(benchmark::State& state) {
  int lines = static_cast<int>(state.range(0));
  RunInChild(state, 1, [&](Shared& out) {
    LongMemoReport r(lines, TheRoot().recorder());
    gdi::ClearRecordedJobs();
    r.report->Print();
    out.values[0] = r.report->AbsolutePageCount();
    gdi::ClearRecordedJobs();
    return r.report->AbsolutePageCount() >= lines / 48;
  });
  state.counters["pages"] = SharedValues()->values[0];
}

// The smallest size of each first: a filtered run of "/1000/" is the quick one.
BENCHMARK(BM_MemoPages)
    ->ArgsProduct({{1000, 10000, 100000}, {1, 0}})
    ->Iterations(1)
    ->UseManualTime()
    ->Unit(benchmark::kMillisecond);
BENCHMARK(BM_ArchivePages)
    ->ArgsProduct({{1000}, {1, 0}})
    ->Iterations(1)
    ->UseManualTime()
    ->Unit(benchmark::kMillisecond);
BENCHMARK(BM_TextSearch)
    ->ArgsProduct({{1000}, {1, 0}})
    ->Iterations(1)
    ->UseManualTime()
    ->Unit(benchmark::kMillisecond);
BENCHMARK(BM_CachedPreview)
    ->ArgsProduct({{2000, 20000}, {1, 0}, {48}})
    ->Iterations(1)
    ->UseManualTime()
    ->Unit(benchmark::kMillisecond);
// The other page shapes: 47 lines a page (4 mm shorter) and 40.
BENCHMARK(BM_CachedPreview)
    ->ArgsProduct({{2000}, {1}, {47, 40}})
    ->Iterations(1)
    ->UseManualTime()
    ->Unit(benchmark::kMillisecond);
// Each doubling of the memo's length should double the time, no more.
BENCHMARK(BM_LongMemo)
    ->Arg(2000)
    ->Arg(4000)
    ->Arg(8000)
    ->Arg(16000)
    ->Iterations(1)
    ->UseManualTime()
    ->Unit(benchmark::kMillisecond);

}  // namespace

int main(int argc, char** argv) {
  benchmark::Initialize(&argc, argv);
  if (benchmark::ReportUnrecognizedArguments(argc, argv)) return 1;
  TheRoot();
  benchmark::RunSpecifiedBenchmarks();
  benchmark::Shutdown();
  return 0;
}
