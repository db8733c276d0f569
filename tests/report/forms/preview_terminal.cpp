// zolmet-test-preview: forms of the report library worked at the terminal
// (by a person, or by zolmet-test-terminal) under the system root
// ZOLMET_ROOT names. Says how the run ended.
//   zolmet-test-preview [PAGES]          the preview of a report of PAGES
//                                        pages (5 by default; over 5, in two
//                                        passes: all are made first)
//   zolmet-test-preview --print PAGES    that report printed on "Zolmet"
//                                        with the cancel dialog
//   zolmet-test-preview --save FOLDER    the template dialog saving
//                                        "Receipt" among the FOLDER's files
//                                        (one a template), written on OK
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <exception>
#include <filesystem>
#include <fstream>
#include <string>
#include <thread>

#include "platform/classes/typinfo.h"
#include "platform/ui/dialogs.h"
#include "platform/ui/forms.h"
#include "report/forms/ppRegister.h"
#include "report/forms/ppTmDlg.h"
#include "tests/support/memtable.h"
#include "tests/support/ppPagedReport.h"

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

int RunReport(int pages, bool print) {
  testing_support::TPagedReport source(pages);
  PageCounter counter;
  source.report->OnEndPage = cls::TNotifyEvent(&counter, &PageCounter::EndPage);
  if (pages > 5) source.report->SetPassSetting(TppPassSettingType::psTwoPass);
  if (print) {
    source.report->SetDeviceType("Printer");
    source.report->SetShowPrintDialog(false);
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

int SaveTemplate(const std::string& folder) {
  namespace fs = std::filesystem;
  testing_support::TMemTable table;
  for (const auto& f : fs::directory_iterator(folder)) table.rows.push_back({{"Name", f.path().filename().string()}});
  auto* dialog = cls::ObjectAs<TppTemplateDialog>(
      ui::NewFormOfClass(FindFormClass(&TppCustomTemplateDialog::StaticClass()), nullptr));
  cls::SetObjectProp(dialog, "DataPipeline", &table);
  cls::SetStrProp(dialog, "NameField", "Name");
  dialog->SetMode(1);
  dialog->SetTemplateName("Receipt");
  const int answer = dialog->ShowModal();
  const std::string name = dialog->TemplateName();
  dialog->Free();
  if (answer == ui::mrOk) std::ofstream(fs::path(folder) / name) << "saved\n";
  std::printf("template dialog: %s\n", answer == ui::mrOk ? "OK" : "Cancel");
  return 0;
}

}  // namespace

int main(int argc, char** argv) {
  ppRegisterForms();
  int code = 0;
  if (argc == 3 && std::strcmp(argv[1], "--save") == 0) code = SaveTemplate(argv[2]);
  else if (argc == 3 && std::strcmp(argv[1], "--print") == 0) code = RunReport(std::atoi(argv[2]), true);
  else code = RunReport(argc == 2 ? std::atoi(argv[1]) : 5, false);
  ui::Application().Shutdown();
  return code;
}
