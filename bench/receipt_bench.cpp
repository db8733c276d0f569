// The demo's first receipt (bar code and four lines) from the reply to a
// finished job of the printer "Zolmet" (PDF and PNG), as the print program
// does it: reply checks, wrap, the main form's report, the cancel dialog's
// run, the page drawn by cairo. Process CPU time; the median of the runs
// is the figure.
#include <benchmark/benchmark.h>

#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <string>

#include "bench/bench_root.h"
#include "common/uuCoding.h"
#include "platform/spool/printerdef.h"
#include "platform/sysroot/layout.h"
#include "platform/sysroot/sysroot.h"
#include "platform/ui/dialogs.h"
#include "platform/ui/forms.h"
#include "printclient/ufMain.h"
#include "printclient/ufMainReceipt.h"
#include "report/forms/ppRegister.h"
#include "report/output/ppPrintr.h"

namespace fs = std::filesystem;

namespace {

using Root = bench_support::TempRoot;

// The demo reply's first receipt, scrambled as the server sends it.
std::string FirstDemoReceipt() {
  const std::string text =
      "Orvane 購卡站 收據\n點數卡 300 點          NT$ 300\n合計                   NT$ 300\n謝謝光臨\n";
  return "Lstart\rK2\rD" + uuCoding::EncodeData("2000001000014\n" + text, 2, std::string(40, 'f')) + "\rEND";
}

void BM_FirstDemoReceiptToPdfAndPng(benchmark::State& state) {
  // One root for the process: the repetitions print on the same printer.
  static Root root;
  static const bool ready = [] {
    ui::SetEchoDialogs(false);
    ppRegisterForms();
    spool::InstallPrinter(spool::DemoReceiptPrinter());
    spool::SetDefaultPrinter("Zolmet");
    ppPrintrFinalize();
    return std::freopen("/dev/null", "r", stdin) != nullptr;
  }();
  if (!ready) state.SkipWithError("no /dev/null");
  auto* form = ui::Application().CreateForm<printclient::TzfMain>();
  form->Timer1->SetEnabled(false);  // no request to dispatch
  const std::string R = FirstDemoReceipt();
  const std::string folder = sysroot::HostPath("C:\\Zolmet\\Printed\\Zolmet");
  auto print = [form](int Lines, const std::string& Barcode, const std::string& Text, std::string& Cause) {
    return form->PrintReceipt(Lines, Barcode, Text, &Cause);
  };
  for (auto _ : state) {
    if (printclient::ufMain::ProcessReply(R, print) != printclient::ufMain::prDone) {
      state.SkipWithError("the receipt did not print");
      break;
    }
    state.PauseTiming();
    bool png = false;
    std::error_code ec;
    for (const auto& e : fs::directory_iterator(folder, ec)) png |= e.path().extension() == ".png";
    fs::remove_all(folder, ec);
    state.ResumeTiming();
    if (!png) {
      state.SkipWithError("no PNG");
      break;
    }
  }
  ui::Application().Shutdown();
}
BENCHMARK(BM_FirstDemoReceiptToPdfAndPng)
    ->Unit(benchmark::kMillisecond)
    ->MeasureProcessCPUTime()
    ->Repetitions(5)
    ->ReportAggregatesOnly(true);

}  // namespace
