// A receipt-sized page (82 x 150 mm at 203 dpi: text in Big5 and ASCII,
// lines and a frame) printed on the demo printer to a PDF and a PNG.
#include <benchmark/benchmark.h>

#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <string>

#include "bench/bench_root.h"
#include "platform/gdi/gdi.h"
#include "platform/spool/printerdef.h"
#include "platform/sysroot/layout.h"
#include "platform/sysroot/sysroot.h"

namespace fs = std::filesystem;

namespace {

using Root = bench_support::TempRoot;

void PrintReceipt(win::HDC dc) {
  win::DOCINFOA di;
  di.lpszDocName = "Receipt";
  win::StartDocA(dc, &di);
  win::StartPage(dc);
  win::LOGFONTA lf;
  std::strcpy(lf.lfFaceName, "細明體");
  lf.lfHeight = -34;  // 12 pt
  win::HFONT font = win::CreateFontIndirectA(&lf);
  win::HGDIOBJ old = win::SelectObject(dc, font);
  win::SetBkMode(dc, win::TRANSPARENT);
  int y = 24;
  win::TextOutA(dc, 40, y, "收據 Orvane．Dravik購卡站", -1);
  for (int line = 0; line < 26; ++line) {
    y += 34;
    std::string text = "品項 " + std::to_string(line + 1) + "  數量 2  單價 123.00  小計 246.00";
    win::TextOutA(dc, 40, y, text.c_str(), -1);
    if (line % 5 == 4) {
      win::MoveToEx(dc, 40, y + 33, nullptr);
      win::LineTo(dc, 615, y + 33);
    }
  }
  win::Rectangle(dc, 30, 20, 625, y + 40);
  win::SelectObject(dc, old);
  win::DeleteObject(font);
  win::EndPage(dc);
  win::EndDoc(dc);
}

void BM_ReceiptToPdfAndPng(benchmark::State& state) {
  Root root;
  spool::InstallPrinter(spool::DemoReceiptPrinter());
  win::DEVMODEA mode{};
  mode.dmFields = win::DM_PAPERSIZE | win::DM_PAPERWIDTH | win::DM_PAPERLENGTH;
  mode.dmPaperSize = win::DMPAPER_USER;
  mode.dmPaperWidth = 820;
  mode.dmPaperLength = 1500;
  std::string folder = sysroot::HostPath("C:\\Zolmet\\Printed\\Zolmet");
  for (auto _ : state) {
    win::HDC dc = win::CreateDCA(nullptr, "Zolmet", nullptr, &mode);
    if (!dc) {
      state.SkipWithError("no printer");
      break;
    }
    PrintReceipt(dc);
    win::DeleteDC(dc);
    state.PauseTiming();
    std::error_code ec;
    fs::remove_all(folder, ec);
    state.ResumeTiming();
  }
}
BENCHMARK(BM_ReceiptToPdfAndPng)->Unit(benchmark::kMillisecond);

}  // namespace
