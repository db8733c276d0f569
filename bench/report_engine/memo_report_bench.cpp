// A report of page-high detail memos (AutoStop off, ended by PageLimit)
// printed to a PDF-only printer, against cairo drawing the same lines
// straight onto a PDF in the same run. The program fails when the report
// takes more than 1.5 times cairo's time for 1,000 pages, or when its
// resident memory after 1,000 pages is more than 2 MB above the figure
// after 100.
#include <benchmark/benchmark.h>
#include <cairo-pdf.h>
#include <cairo.h>

#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <map>
#include <string>
#include <vector>

#include "platform/spool/printerdef.h"
#include "platform/sysroot/layout.h"
#include "platform/sysroot/sysroot.h"
#include "report/components/ppMemo.h"
#include "report/components/ppRegister.h"
#include "report/engine/ppBands.h"
#include "report/engine/ppReport.h"

namespace fs = std::filesystem;

namespace {

constexpr int kLinesPerPage = 40;
constexpr double kPaperWidthMM = 82, kPaperHeightMM = 200;

class Root {
 public:
  Root() {
    char tmpl[] = "/tmp/zolmet-bench-XXXXXX";
    path_ = mkdtemp(tmpl) ? tmpl : "";
    sysroot::LayOut(path_);
    sysroot::SetRoot(path_);
    spool::PrinterDef d = spool::DemoReceiptPrinter();
    d.formats = {"pdf"};
    spool::InstallPrinter(d);
    spool::SetDefaultPrinter(d.name);
    printer_ = d.name;
  }
  ~Root() {
    std::error_code ec;
    fs::remove_all(path_, ec);
  }
  const std::string& printer() const { return printer_; }
  std::string Output() const { return sysroot::HostPath("C:\\Zolmet\\Printed\\" + printer_); }

 private:
  std::string path_, printer_;
};

Root& TheRoot() {
  static Root root;
  return root;
}

std::vector<std::string> MemoLines() {
  std::vector<std::string> lines;
  for (int i = 1; i <= kLinesPerPage; ++i) {
    char text[64];
    std::snprintf(text, sizeof text, "Line %03d  item 1234567  qty 2  $246.00", i);
    lines.push_back(text);
  }
  return lines;
}

// Kilobytes of the process's peak resident set.
long PeakRssKb() {
  std::ifstream status("/proc/self/status");
  std::string key;
  while (status >> key) {
    long value = 0;
    if (key == "VmHWM:" && status >> value) return value;
    status.ignore(1 << 12, '\n');
  }
  return 0;
}

// One report: a detail band holding one memo that fills a page.
struct MemoReport {
  TppReport* report = nullptr;
  TppMemo* memo = nullptr;
  explicit MemoReport(int pages) {
    report = new TppReport(nullptr);
    report->SetUnits(utMillimeters);
    TppPrinterSetup* s = report->PrinterSetup();
    s->SetPrinterName(TheRoot().printer());
    s->SetPaperWidth(static_cast<float>(kPaperWidthMM));
    s->SetPaperHeight(static_cast<float>(kPaperHeightMM));
    report->SetDeviceType("Printer");
    report->SetShowPrintDialog(false);
    report->SetShowCancelDialog(false);
    auto* detail = new TppDetailBand(nullptr);
    detail->SetReport(report);
    detail->SetPrintHeight(phDynamic);
    detail->SetHeight(10);
    memo = new TppMemo(nullptr);
    memo->SetBand(detail);
    memo->Font()->SetName("Arial");
    memo->Font()->SetSize(10);
    memo->SetmmWidth(report->PrintableWidth());
    memo->SetmmHeight(5000);
    memo->SetStretch(true);
    cls::TStringList lines;
    for (const std::string& l : MemoLines()) lines.Add(l);
    memo->SetLines(&lines);
    report->SetAutoStop(false);
    report->SetPageLimit(pages);
  }
  ~MemoReport() {
    report->Free();
    memo->Free();
  }
};

void ClearOutput() {
  std::error_code ec;
  fs::remove_all(TheRoot().Output(), ec);
}

void BM_MemoReport(benchmark::State& state) {
  ppRegisterComponents();
  int pages = static_cast<int>(state.range(0));
  MemoReport r(pages);
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

// The same lines, font and pitch drawn with cairo on the same page size.
void BM_CairoLines(benchmark::State& state) {
  int pages = static_cast<int>(state.range(0));
  std::vector<std::string> lines = MemoLines();
  double w = kPaperWidthMM / 25.4 * 72, h = kPaperHeightMM / 25.4 * 72;
  std::string file = TheRoot().Output();
  fs::create_directories(file);
  file += "/cairo.pdf";
  for (auto _ : state) {
    cairo_surface_t* surface = cairo_pdf_surface_create(file.c_str(), w, h);
    cairo_t* cr = cairo_create(surface);
    cairo_select_font_face(cr, "Liberation Sans", CAIRO_FONT_SLANT_NORMAL, CAIRO_FONT_WEIGHT_NORMAL);
    cairo_set_font_size(cr, 10);
    cairo_font_extents_t fe;
    cairo_font_extents(cr, &fe);
    for (int p = 0; p < pages; ++p) {
      double y = 18 + fe.ascent;
      for (const std::string& line : lines) {
        cairo_move_to(cr, 18, y);
        cairo_show_text(cr, line.c_str());
        y += fe.height;
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

// Not a limit, a yardstick: the same lines drawn by cairo with every glyph
// placed at whole printer pixels (203 dpi), as the printer back end places
// them, positions worked out beforehand. The PDF then gives each glyph its
// own offset, which is most of what the report costs beyond cairo's plain
// lines.
void BM_CairoPixelPlacedLines(benchmark::State& state) {
  int pages = static_cast<int>(state.range(0));
  const double dpi = 203, em = 28;  // Arial 10 pt at 203 dpi
  double w = kPaperWidthMM / 25.4 * 72, h = kPaperHeightMM / 25.4 * 72;
  std::string file = TheRoot().Output();
  fs::create_directories(file);
  file += "/cairo-placed.pdf";
  struct Line {
    std::string text;
    std::vector<cairo_glyph_t> glyphs;
    std::vector<cairo_text_cluster_t> clusters;
  };
  std::vector<Line> lines;
  {
    cairo_surface_t* s = cairo_image_surface_create(CAIRO_FORMAT_ARGB32, 1, 1);
    cairo_t* cr = cairo_create(s);
    cairo_font_options_t* o = cairo_font_options_create();  // unhinted, as the platform measures
    cairo_font_options_set_hint_metrics(o, CAIRO_HINT_METRICS_OFF);
    cairo_font_options_set_hint_style(o, CAIRO_HINT_STYLE_NONE);
    cairo_set_font_options(cr, o);
    cairo_font_options_destroy(o);
    cairo_select_font_face(cr, "Liberation Sans", CAIRO_FONT_SLANT_NORMAL, CAIRO_FONT_WEIGHT_NORMAL);
    cairo_set_font_size(cr, em);
    cairo_scaled_font_t* sf = cairo_get_scaled_font(cr);
    double y = 51 + std::lround(em * 1854 / 2048);
    for (const std::string& text : MemoLines()) {
      Line l{text, {}, {}};
      double x = 51;
      for (char c : text) {
        char one[2] = {c, 0};
        cairo_glyph_t* g = nullptr;
        int n = 0;
        cairo_scaled_font_text_to_glyphs(sf, 0, 0, one, 1, &g, &n, nullptr, nullptr, nullptr);
        cairo_text_extents_t e;
        cairo_scaled_font_glyph_extents(sf, g, 1, &e);
        l.glyphs.push_back({g[0].index, x, y});
        l.clusters.push_back({1, 1});
        x += std::lround(e.x_advance);
        cairo_glyph_free(g);
      }
      lines.push_back(std::move(l));
      y += 31;
    }
    cairo_destroy(cr);
    cairo_surface_destroy(s);
  }
  for (auto _ : state) {
    cairo_surface_t* surface = cairo_pdf_surface_create(file.c_str(), w, h);
    cairo_t* cr = cairo_create(surface);
    cairo_scale(cr, 72 / dpi, 72 / dpi);
    cairo_select_font_face(cr, "Liberation Sans", CAIRO_FONT_SLANT_NORMAL, CAIRO_FONT_WEIGHT_NORMAL);
    cairo_set_font_size(cr, em);
    for (int p = 0; p < pages; ++p) {
      for (const Line& l : lines)
        cairo_show_text_glyphs(cr, l.text.data(), static_cast<int>(l.text.size()), l.glyphs.data(),
                               static_cast<int>(l.glyphs.size()), l.clusters.data(),
                               static_cast<int>(l.clusters.size()), static_cast<cairo_text_cluster_flags_t>(0));
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

BENCHMARK(BM_MemoReport)->Arg(100)->Iterations(1)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_MemoReport)->Arg(1000)->Repetitions(3)->Iterations(1)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_CairoLines)->Arg(1000)->Repetitions(3)->Iterations(1)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_CairoPixelPlacedLines)->Arg(1000)->Repetitions(3)->Iterations(1)->Unit(benchmark::kMillisecond);

// Keeps the median of each benchmark's repetitions, and the counters.
class Collector : public benchmark::ConsoleReporter {
 public:
  void ReportRuns(const std::vector<Run>& runs) override {
    for (const Run& run : runs) {
      std::string name = run.benchmark_name();
      if (run.run_type == Run::RT_Aggregate) {
        if (run.aggregate_name == "median") median[run.run_name.str()] = run.GetAdjustedRealTime();
      } else {
        single[name] = run.GetAdjustedRealTime();
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
  double report = collector.Time("BM_MemoReport/1000/");
  double cairo = collector.Time("BM_CairoLines/1000/");
  double rss100 = Collector::Find(collector.rss, "BM_MemoReport/100/");
  double rss1000 = Collector::Find(collector.rss, "BM_MemoReport/1000/");
  if (report <= 0 || cairo <= 0) return 0;  // a filtered run: nothing to compare
  double ratio = report / cairo;
  double growthMb = (rss1000 - rss100) / 1024;
  std::printf("1,000 pages: report %.0f ms, cairo %.0f ms, ratio %.2f (at most 1.5)\n", report, cairo, ratio);
  if (double placed = collector.Time("BM_CairoPixelPlacedLines/1000/"))
    std::printf("  cairo with glyphs at whole printer pixels %.0f ms (%.2f x cairo); the report is %.2f x that\n",
                placed, placed / cairo, report / placed);
  std::printf("peak resident: %.1f MB after 100 pages, %.1f MB after 1,000 (+%.2f MB, at most 2)\n", rss100 / 1024,
              rss1000 / 1024, growthMb);
  bool ok = ratio <= 1.5 && growthMb <= 2.0;
  if (!ok) std::printf("FAILED\n");
  return ok ? 0 : 1;
}
