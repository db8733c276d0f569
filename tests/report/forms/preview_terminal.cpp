// zolmet-test-preview: forms of the report library worked at the terminal
// (by a person, or by zolmet-test-terminal) under the system root
// ZOLMET_ROOT names. Says how the run ended.
//   zolmet-test-preview [OPTION...] [PAGES]
//                                        the preview of a report of PAGES
//                                        pages (5 by default; over 5, in two
//                                        passes: all are made first)
//     --one-pass                         in one pass: pages are made as asked
//     --no-cache                         the pages are not kept
//     --no-outline                       without the outline pane
//     --endless                          a producer whose pages never end
//   zolmet-test-preview --print PAGES [--dialog]
//                                        that report printed on "Zolmet"
//                                        with the cancel dialog (and the
//                                        print dialog first)
//   zolmet-test-preview --save FOLDER    the template dialog saving
//                                        "Receipt" among the FOLDER's files
//                                        (one a template), written on OK
//   zolmet-test-preview --open FOLDER    the template dialog opening one of
//                                        the FOLDER's files
//   zolmet-test-preview --auto-search    the auto search dialog of a report
//                                        over customers and orders (two
//                                        tabs), then what the report printed
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <exception>
#include <filesystem>
#include <fstream>
#include <string>
#include <thread>
#include <utility>

#include "platform/classes/typinfo.h"
#include "platform/ui/dialogs.h"
#include "platform/ui/forms.h"
#include "report/forms/ppRegister.h"
#include "report/engine/ppBands.h"
#include "report/forms/ppTmDlg.h"
#include "tests/support/memtable.h"
#include "tests/support/pagesource.h"
#include "tests/support/ppListPipeline.h"
#include "tests/support/ppPagedReport.h"
#include "tests/support/ppTestReport.h"

namespace {

// Counts the pages a run has made (a print makes them twice: counted,
// then printed).
struct PageCounter {
  int pages = 0;
  void EndPage(cls::TObject*) { ++pages; }
};

long long NowMs() {
  return std::chrono::duration_cast<std::chrono::milliseconds>(std::chrono::steady_clock::now().time_since_epoch())
      .count();
}

struct Options {
  int pages = 5;
  bool print = false, dialog = false, onePass = false, noCache = false, noOutline = false;
};

int RunReport(const Options& o) {
  const int pages = o.pages;
  testing_support::TPagedReport source(pages);
  PageCounter counter;
  source.report->OnEndPage = cls::TNotifyEvent(&counter, &PageCounter::EndPage);
  if (pages > 5 && !o.onePass) source.report->SetPassSetting(TppPassSettingType::psTwoPass);
  if (o.noCache) source.report->SetCachePages(false);
  if (o.noOutline) source.report->OutlineSettings()->SetEnabled(false);
  if (o.print) {
    source.report->SetDeviceType("Printer");
    source.report->SetShowPrintDialog(o.dialog);
    source.report->SetShowCancelDialog(true);
  }
  const long long start = NowMs();
  int code = 0;
  try {
    source.report->Print();
  } catch (const std::exception& e) {
    std::printf("failed: %s\n", e.what());
    code = 1;
  }
  std::printf("pages made: %d of %d after %lld ms\n", counter.pages, pages, NowMs() - start);
  std::printf("preview closed: %s, producing: %s\n", source.report->PreviewForm() ? "no" : "yes",
              source.report->Producing() ? "yes" : "no");
  source.report->OnEndPage = cls::TNotifyEvent();
  return code;
}

// A producer whose pages never end, in the preview until it is closed.
int RunEndless() {
  cls::Owned<testing_support::TPageSource> source(new testing_support::TPageSource(nullptr));
  source->Pages = 2147483647;  // not kept: made until stopped
  try {
    source->Print();
  } catch (const std::exception& e) {
    std::printf("failed: %s\n", e.what());
    return 1;
  }
  std::printf("pages made: %zu\n", source->Published.size());
  std::printf("preview closed: %s, producing: %s\n", source->PreviewForm() ? "no" : "yes",
              source->Producing() ? "yes" : "no");
  return 0;
}

// Orders and customers, criteria on each (two tabs, customers the second,
// with a mandatory list of names); prints the criteria the dialog left.
int AutoSearch() {
  using TValue = TppListPipeline::TValue;
  cls::Owned<cls::TComponent> owner(new cls::TComponent(nullptr));
  auto* customers = new TppListPipeline(owner.get());
  customers->SetName("plCustomer");
  customers->SetDescription("客戶 Customers");
  customers->SetAutoSearchTabOrder(2);
  customers->AddField("Name");
  customers->AddField("City");
  for (const char* name : {"Chen", "Lin", "Wang"}) customers->AddRecord({{"Name", TValue(std::string(name))}});
  auto* orders = new TppListPipeline(owner.get());
  orders->SetName("plOrders");
  orders->SetDescription("Orders");
  orders->SetAutoSearchTabOrder(1);
  orders->AddField("OrderNo");
  auto* report = new TppReport(owner.get());
  testing_support::PrintOnZolmet(report);
  testing_support::SetPage(report, 82000, 100000, 5000);
  report->SetDataPipeline(customers);
  report->SetShowAutoSearchDialog(true);
  auto* detail = new TppDetailBand(nullptr);
  detail->SetReport(report);
  detail->SetHeight(6);
  report->CreateAutoSearchCriteria("plCustomer", "City", TppSearchOperatorType::soEqual, "Taipei", false);
  report->CreateAutoSearchCriteria("plOrders", "OrderNo", TppSearchOperatorType::soEqual, "7", false);
  report->CreateAutoSearchCriteria("plCustomer", "Name", TppSearchOperatorType::soInList, "Chen,Lin", true);
  try {
    report->Print();
  } catch (const std::exception& e) {
    std::printf("failed: %s\n", e.what());
    return 1;
  }
  for (auto [pipeline, field] : {std::pair{"plCustomer", "City"}, std::pair{"plOrders", "OrderNo"}})
    if (TppAutoSearchField* f = report->AutoSearchCriteriaByName(pipeline, field))
      std::printf("criterion %s: %s\n", field, f->SearchExpression().c_str());
  return 0;
}

// The template dialog over FOLDER's files: opening one (SAVE false), or
// saving "Receipt", written there on OK.
int TemplateDialog(const std::string& folder, bool save) {
  namespace fs = std::filesystem;
  testing_support::TMemTable table;
  for (const auto& f : fs::directory_iterator(folder)) table.rows.push_back({{"Name", f.path().filename().string()}});
  auto* dialog = cls::ObjectAs<TppTemplateDialog>(
      ui::NewFormOfClass(FindFormClass(&TppCustomTemplateDialog::StaticClass()), nullptr));
  cls::SetObjectProp(dialog, "DataPipeline", &table);
  cls::SetStrProp(dialog, "NameField", "Name");
  dialog->SetMode(save ? 1 : 0);
  if (save) dialog->SetTemplateName("Receipt");
  const int answer = dialog->ShowModal();
  const std::string name = dialog->TemplateName();
  dialog->Free();
  if (answer == ui::mrOk && save) std::ofstream(fs::path(folder) / name) << "saved\n";
  std::printf("template dialog: %s\n", answer == ui::mrOk ? ("OK " + name).c_str() : "Cancel");
  return 0;
}

}  // namespace

int main(int argc, char** argv) {
  ppRegisterForms();
  int code = 0;
  Options o;
  bool endless = false;
  for (int i = 1; i < argc; ++i) {
    const std::string a = argv[i];
    if (a == "--one-pass") o.onePass = true;
    else if (a == "--no-cache") o.noCache = true;
    else if (a == "--no-outline") o.noOutline = true;
    else if (a == "--endless") endless = true;
    else if (a == "--dialog") o.dialog = true;
    else if (a == "--print") o.print = true;
    else if (a == "--auto-search") return (code = AutoSearch(), ui::Application().Shutdown(), code);
    else if ((a == "--save" || a == "--open") && i + 1 < argc) {
      code = TemplateDialog(argv[i + 1], a == "--save");
      ui::Application().Shutdown();
      return code;
    } else o.pages = std::atoi(argv[i]);
  }
  code = endless ? RunEndless() : RunReport(o);
  ui::Application().Shutdown();
  return code;
}
