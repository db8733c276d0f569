// The benches' report: a detail band holding one 40-line memo, a record
// each, over records that never run out, until PageLimit pages, on 82 mm
// paper 200 mm high (48 lines a page; PaperHeightFor gives other shapes),
// printed to a PDF-only copy of the demo printer in a root of its own.
// LongMemoReport: one stretching memo of many lines, printed once.
#pragma once
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cstdio>
#include <cstdlib>
#include <ctime>
#include <filesystem>
#include <fstream>
#include <functional>
#include <string>
#include <vector>

#include "bench/bench_root.h"
#include "platform/spool/printerdef.h"
#include "platform/sysroot/layout.h"
#include "platform/sysroot/sysroot.h"
#include "report/components/ppMemo.h"
#include "report/components/ppRegister.h"
#include "report/engine/ppBands.h"
#include "report/engine/ppDB.h"
#include "report/engine/ppReport.h"

namespace memo_bench {

constexpr int kMemoLines = 40;
constexpr double kPaperWidthMM = 82, kPaperHeightMM = 200;

// The paper height that holds LINES memo lines a page: 48 (the default
// paper), 47 (4 mm shorter) or 40.
inline double PaperHeightFor(int lines) {
  switch (lines) {
    case 47: return 196;
    case 40: return 170;
    default: return kPaperHeightMM;
  }
}

class Root {
 public:
  Root() {
    spool::PrinterDef d = spool::DemoReceiptPrinter();
    d.formats = {"pdf"};
    spool::InstallPrinter(d);
    spool::SetDefaultPrinter(d.name);
    printer_ = d.name;
    d.name += "Record";
    d.backend = spool::PrinterBackend::Record;
    spool::InstallPrinter(d);
    recorder_ = d.name;
  }
  // The PDF printer, and the same printer keeping its pages in memory.
  const std::string& printer() const { return printer_; }
  const std::string& recorder() const { return recorder_; }
  std::string Output() const { return sysroot::HostPath("C:\\Zolmet\\Printed\\" + printer_); }
  void ClearOutput() const {
    std::error_code ec;
    std::filesystem::remove_all(Output(), ec);
  }

 private:
  bench_support::TempRoot root_;
  std::string printer_, recorder_;
};

inline Root& TheRoot() {
  static Root root;
  return root;
}

// Records without fields that do not end; the page limit ends the report.
class EndlessRecords : public TppDataPipeline {
 public:
  EndlessRecords() : TppDataPipeline(nullptr) {}
  bool GetActive() const override { return active_; }
  TppBookmark GetBookmark() override { return static_cast<TppBookmark>(index_ + 1); }

 protected:
  void OpenDataSet() override { active_ = true, index_ = 0; }
  void CloseDataSet() override { active_ = false; }
  bool DataBof() override { return false; }
  bool DataEof() override { return false; }
  void DataFirst() override { index_ = 0; }
  void DataMoveBy(int32_t count) override { index_ += count; }
  void DataGotoBookmark(TppBookmark bookmark) override { index_ = static_cast<int64_t>(bookmark) - 1; }

 private:
  bool active_ = false;
  int64_t index_ = 0;
};

inline std::vector<std::string> MemoLines(int count = kMemoLines) {
  std::vector<std::string> lines;
  for (int i = 1; i <= count; ++i) {
    char text[64];
    std::snprintf(text, sizeof text, "Line %03d  item 1234567  qty 2  $246.00", i);
    lines.push_back(text);
  }
  return lines;
}

// A report on the benches' paper whose detail band holds MEMO (stretching,
// the printable width, Arial 10 pt).
inline TppReport* NewMemoReport(TppMemo*& memo, const std::string& printer, double paperHeightMM,
                                const std::vector<std::string>& text) {
  ppRegisterComponents();
  auto* report = new TppReport(nullptr);
  report->SetUnits(utMillimeters);
  TppPrinterSetup* s = report->PrinterSetup();
  s->SetPrinterName(printer);
  s->SetPaperWidth(static_cast<float>(kPaperWidthMM));
  s->SetPaperHeight(static_cast<float>(paperHeightMM));
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
  for (const std::string& l : text) lines.Add(l);
  memo->SetLines(&lines);
  return report;
}

struct MemoReport {
  TppReport* report = nullptr;
  TppMemo* memo = nullptr;
  EndlessRecords* records = nullptr;
  explicit MemoReport(int pages, bool outline = true, double paperHeightMM = kPaperHeightMM) {
    TheRoot();  // the printers before the printer list is read
    report = NewMemoReport(memo, TheRoot().printer(), paperHeightMM, MemoLines());
    report->OutlineSettings()->SetEnabled(outline);
    records = new EndlessRecords;
    report->SetDataPipeline(records);
    report->SetPageLimit(pages);
  }
  ~MemoReport() {
    report->Free();
    memo->Free();
    records->Free();
  }
  MemoReport(const MemoReport&) = delete;
  MemoReport& operator=(const MemoReport&) = delete;
};

// One memo of LINES lines over no data: printed once, page after page.
struct LongMemoReport {
  TppReport* report = nullptr;
  TppMemo* memo = nullptr;
  LongMemoReport(int lines, const std::string& printer) {
    TheRoot();
    report = NewMemoReport(memo, printer, kPaperHeightMM, MemoLines(lines));
  }
  ~LongMemoReport() {
    report->Free();
    memo->Free();
  }
  LongMemoReport(const LongMemoReport&) = delete;
  LongMemoReport& operator=(const LongMemoReport&) = delete;
};

// Kilobytes of the process's peak resident set.
inline long PeakRssKb() {
  std::ifstream status("/proc/self/status");
  std::string key;
  while (status >> key) {
    long value = 0;
    if (key == "VmHWM:" && status >> value) return value;
    status.ignore(1 << 12, '\n');
  }
  return 0;
}

// What a run in a child process cost: CPU seconds (user and system) and
// peak resident kilobytes, its own alone; ok when it exited with 0.
struct ChildCost {
  double cpuSeconds = 0;
  long peakRssKb = 0;
  bool ok = false;
};

// Runs WORK in a forked child, so that each size's peak memory is its own.
inline ChildCost InChild(const std::function<bool()>& work) {
  std::fflush(nullptr);
  pid_t pid = fork();
  if (pid == 0) _exit(work() ? 0 : 1);
  ChildCost cost;
  int status = 0;
  rusage usage{};
  if (pid < 0 || wait4(pid, &status, 0, &usage) != pid) return cost;
  cost.cpuSeconds = static_cast<double>(usage.ru_utime.tv_sec + usage.ru_stime.tv_sec) +
                    static_cast<double>(usage.ru_utime.tv_usec + usage.ru_stime.tv_usec) / 1e6;
  cost.peakRssKb = usage.ru_maxrss;
  cost.ok = WIFEXITED(status) && WEXITSTATUS(status) == 0;
  return cost;
}

// CPU seconds of this process so far.
inline double CpuSeconds() {
  timespec t{};
  clock_gettime(CLOCK_PROCESS_CPUTIME_ID, &t);
  return static_cast<double>(t.tv_sec) + static_cast<double>(t.tv_nsec) / 1e9;
}

}  // namespace memo_bench
