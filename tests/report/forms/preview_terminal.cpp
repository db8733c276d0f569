// zolmet-test-preview: prints the preview tests' five-page report to the
// screen under the system root ZOLMET_ROOT names, so that the preview is
// worked at the terminal (by a person, or by zolmet-test-terminal). Says
// how the run ended.
#include <cstdio>
#include <exception>

#include "platform/ui/forms.h"
#include "report/forms/ppRegister.h"
#include "tests/support/ppPagedReport.h"

int main() {
  ppRegisterForms();
  int code = 0;
  {
    testing_support::TPagedReport source(5);
    try {
      source.report->Print();
    } catch (const std::exception& e) {
      std::printf("failed: %s\n", e.what());
      code = 1;
    }
    std::printf("preview closed: %s, producing: %s\n", source.report->PreviewForm() ? "no" : "yes",
                source.report->Producing() ? "yes" : "no");
  }
  ui::Application().Shutdown();
  return code;
}
