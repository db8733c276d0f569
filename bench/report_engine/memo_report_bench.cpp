// The memo report (memo_report.h) printed to a PDF-only printer against
// cairo drawing, in the same run, exactly the lines the report draws: read
// back from the report's pages as the printer recorded them, each with its
// font, size and place; at 48, 47 and 40 lines a page (range(1)). The
// program fails when the report takes more than twice cairo's time for
// 1,000 pages of any shape, or when its resident memory after 1,000 pages
// is more than 2 MB above the figure after 100.
#include <benchmark/benchmark.h>
#include <cairo-pdf.h>
#include <cairo.h>

#include <cstdio>
#include <filesystem>
#include <map>
#include <string>
#include <vector>

#include "bench/report_engine/memo_report.h"
#include "platform/gdi/gdi.h"

namespace fs = std::filesystem;
using namespace memo_bench;

namespace {

void ClearOutput() { TheRoot().ClearOutput(); }

void BM_MemoReport(benchmark::State& state) {
  int pages = static_cast<int>(state.range(0));
  MemoReport r(pages, true, PaperHeightFor(static_cast<int>(state.range(1))));
  for (auto _ : state) {
    r.report->Print();
    state.PauseTiming();
    ClearOutput();
    state.ResumeTiming();
  }
  if (r.report->AbsolutePageCount() != pages) state.SkipWithError("wrong page count");
  state.counters["pages"] = pages;
  state.counters["peak_rss_kb"] = static_cast<double>(PeakRssKb());
}

// The text the report draws, page by page, as the printer recorded it.
std::vector<std::vector<gdi::TextOp>> RecordedLines(int pages, int linesAPage) {
  MemoReport r(pages, true, PaperHeightFor(linesAPage));
  r.report->PrinterSetup()->SetPrinterName(TheRoot().recorder());
  gdi::ClearRecordedJobs();
  r.report->Print();
  std::vector<std::vector<gdi::TextOp>> lines;
  for (const gdi::Job& job : gdi::RecordedJobs())
    for (const gdi::Page& page : job.pages) {
      lines.emplace_back();
      for (const gdi::Op& op : page.ops)
        if (const gdi::TextOp* t = op.As<gdi::TextOp>()) lines.back().push_back(*t);
    }
  gdi::ClearRecordedJobs();
  return lines;
}

const std::vector<std::vector<gdi::TextOp>>& ReportLines(int linesAPage = 48) {
  static std::map<int, std::vector<std::vector<gdi::TextOp>>> lines;
  auto it = lines.find(linesAPage);
  if (it == lines.end()) it = lines.emplace(linesAPage, RecordedLines(1000, linesAPage)).first;
  return it->second;
}

// Each recorded line drawn by cairo with its font, size and origin.
void BM_CairoLines(benchmark::State& state) {
  const int linesAPage = static_cast<int>(state.range(1));
  const auto& pages = ReportLines(linesAPage);
  if (!pages.empty() && static_cast<int>(pages.front().size()) != linesAPage)
    state.SkipWithError("the paper does not hold the lines a page it should");
  const double dpi = spool::DemoReceiptPrinter().dpiX;
  double w = kPaperWidthMM / 25.4 * 72, h = PaperHeightFor(linesAPage) / 25.4 * 72;
  std::string file = TheRoot().Output();
  fs::create_directories(file);
  file += "/cairo.pdf";
  size_t count = 0;
  for (auto _ : state) {
    cairo_surface_t* surface = cairo_pdf_surface_create(file.c_str(), w, h);
    cairo_t* cr = cairo_create(surface);
    cairo_scale(cr, 72 / dpi, 72 / dpi);
    for (const auto& page : pages) {
      for (const gdi::TextOp& t : page) {
        cairo_select_font_face(cr, t.family.c_str(), CAIRO_FONT_SLANT_NORMAL, CAIRO_FONT_WEIGHT_NORMAL);
        cairo_set_font_size(cr, t.em);
        cairo_move_to(cr, t.origin.x, t.origin.y + t.ascent);
        cairo_show_text(cr, t.text.c_str());
        ++count;
      }
      cairo_show_page(cr);
    }
    cairo_destroy(cr);
    cairo_surface_finish(surface);
    cairo_surface_destroy(surface);
    state.PauseTiming();
    ClearOutput();
    fs::create_directories(TheRoot().Output());
    state.ResumeTiming();
  }
  state.counters["pages"] = static_cast<double>(pages.size());
  state.counters["lines"] = static_cast<double>(count) / static_cast<double>(state.iterations());
}

// Not a limit, a yardstick: the recorded lines with every glyph at the
// whole printer pixel the report puts it (the recorded advances), glyphs
// worked out beforehand. The PDF then gives each glyph its own offset,
// which is most of what the report costs beyond cairo's plain lines.
void BM_CairoPixelPlacedLines(benchmark::State& state) {
  const double dpi = spool::DemoReceiptPrinter().dpiX;
  double w = kPaperWidthMM / 25.4 * 72, h = kPaperHeightMM / 25.4 * 72;
  std::string file = TheRoot().Output();
  fs::create_directories(file);
  file += "/cairo-placed.pdf";
  struct Line {
    std::string text, family;
    int em = 0;
    std::vector<cairo_glyph_t> glyphs;
    std::vector<cairo_text_cluster_t> clusters;
  };
  std::vector<std::vector<Line>> pages;
  {
    cairo_surface_t* s = cairo_image_surface_create(CAIRO_FORMAT_ARGB32, 1, 1);
    cairo_t* cr = cairo_create(s);
    for (const auto& page : ReportLines()) {
      pages.emplace_back();
      for (const gdi::TextOp& t : page) {
        cairo_select_font_face(cr, t.family.c_str(), CAIRO_FONT_SLANT_NORMAL, CAIRO_FONT_WEIGHT_NORMAL);
        cairo_set_font_size(cr, t.em);
        cairo_scaled_font_t* sf = cairo_get_scaled_font(cr);
        Line l{t.text, t.family, t.em, {}, {}};
        double x = t.origin.x;
        for (size_t i = 0; i < t.text.size(); ++i) {
          char one[2] = {t.text[i], 0};
          cairo_glyph_t* g = nullptr;
          int n = 0;
          cairo_scaled_font_text_to_glyphs(sf, 0, 0, one, 1, &g, &n, nullptr, nullptr, nullptr);
          l.glyphs.push_back({n > 0 ? g[0].index : 0, x, static_cast<double>(t.origin.y + t.ascent)});
          l.clusters.push_back({1, 1});
          x += i < t.advances.size() ? t.advances[i] : 0;
          cairo_glyph_free(g);
        }
        pages.back().push_back(std::move(l));
      }
    }
    cairo_destroy(cr);
    cairo_surface_destroy(s);
  }
  for (auto _ : state) {
    cairo_surface_t* surface = cairo_pdf_surface_create(file.c_str(), w, h);
    cairo_t* cr = cairo_create(surface);
    cairo_scale(cr, 72 / dpi, 72 / dpi);
    for (const auto& page : pages) {
      for (const Line& l : page) {
        cairo_select_font_face(cr, l.family.c_str(), CAIRO_FONT_SLANT_NORMAL, CAIRO_FONT_WEIGHT_NORMAL);
        cairo_set_font_size(cr, l.em);
        cairo_show_text_glyphs(cr, l.text.data(), static_cast<int>(l.text.size()), l.glyphs.data(),
                               static_cast<int>(l.glyphs.size()), l.clusters.data(),
                               static_cast<int>(l.clusters.size()), static_cast<cairo_text_cluster_flags_t>(0));
      }
      cairo_show_page(cr);
    }
    cairo_destroy(cr);
    cairo_surface_finish(surface);
    cairo_surface_destroy(surface);
    state.PauseTiming();
    ClearOutput();
    fs::create_directories(TheRoot().Output());
    state.ResumeTiming();
  }
}

BENCHMARK(BM_MemoReport)->Args({100, 48})->Iterations(1)->MeasureProcessCPUTime()->Unit(benchmark::kMillisecond);
BENCHMARK(BM_MemoReport)
    ->ArgsProduct({{1000}, {48, 47, 40}})
    ->Repetitions(3)
    ->Iterations(1)
    ->MeasureProcessCPUTime()
    ->Unit(benchmark::kMillisecond);
BENCHMARK(BM_CairoLines)
    ->ArgsProduct({{1000}, {48, 47, 40}})
    ->Repetitions(3)
    ->Iterations(1)
    ->MeasureProcessCPUTime()
    ->Unit(benchmark::kMillisecond);
BENCHMARK(BM_CairoPixelPlacedLines)
    ->Arg(1000)
    ->Repetitions(3)
    ->Iterations(1)
    ->MeasureProcessCPUTime()
    ->Unit(benchmark::kMillisecond);

// Keeps the median of each benchmark's repetitions, and the counters.
class Collector : public benchmark::ConsoleReporter {
 public:
  void ReportRuns(const std::vector<Run>& runs) override {
    for (const Run& run : runs) {
      std::string name = run.benchmark_name();
      if (run.run_type == Run::RT_Aggregate) {
        if (run.aggregate_name == "median") median[run.run_name.str()] = run.GetAdjustedCPUTime();
      } else {
        single[name] = run.GetAdjustedCPUTime();
        auto it = run.counters.find("peak_rss_kb");
        if (it != run.counters.end()) rss[run.run_name.str()] = it->second.value;
      }
    }
    ConsoleReporter::ReportRuns(runs);
  }
  // The median of the runs whose name starts with PREFIX, else the single run's time.
  double Time(const std::string& prefix) const {
    if (double v = Find(median, prefix)) return v;
    return Find(single, prefix);
  }
  static double Find(const std::map<std::string, double>& values, const std::string& prefix) {
    for (const auto& [k, v] : values)
      if (k.rfind(prefix, 0) == 0) return v;
    return 0;
  }
  std::map<std::string, double> median, single, rss;
};

}  // namespace

int main(int argc, char** argv) {
  benchmark::Initialize(&argc, argv);
  if (benchmark::ReportUnrecognizedArguments(argc, argv)) return 1;
  TheRoot();
  Collector collector;
  benchmark::RunSpecifiedBenchmarks(&collector);
  benchmark::Shutdown();
  bool ok = true, compared = false;
  for (int shape : {48, 47, 40}) {
    std::string args = "/1000/" + std::to_string(shape) + "/";
    double report = collector.Time("BM_MemoReport" + args);
    double cairo = collector.Time("BM_CairoLines" + args);
    if (report <= 0 || cairo <= 0) continue;  // a filtered run: nothing to compare
    compared = true;
    double ratio = report / cairo;
    std::printf("1,000 pages of %d lines (CPU time): report %.0f ms, cairo %.0f ms, ratio %.2f (at most 2)\n", shape,
                report, cairo, ratio);
    if (shape == 48)
      if (double placed = collector.Time("BM_CairoPixelPlacedLines/1000/"))
        std::printf("  cairo with glyphs at whole printer pixels %.0f ms (%.2f x cairo); the report is %.2f x that\n",
                    placed, placed / cairo, report / placed);
    ok = ok && ratio <= 2.0;
  }
  double rss100 = Collector::Find(collector.rss, "BM_MemoReport/100/");
  double rss1000 = Collector::Find(collector.rss, "BM_MemoReport/1000/48/");
  if (!compared || rss100 <= 0 || rss1000 <= 0) return 0;
  double growthMb = (rss1000 - rss100) / 1024;
  std::printf("peak resident: %.1f MB after 100 pages, %.1f MB after 1,000 (+%.2f MB, at most 2)\n", rss100 / 1024,
              rss1000 / 1024, growthMb);
  ok = ok && growthMb <= 2.0;
  if (!ok) std::printf("FAILED\n");
  return ok ? 0 : 1;
}
