// The print program's main form. It stays hidden, handles the one
// command-line argument from a single timer tick and ends the program.
#pragma once
#include <cstdint>
#include <functional>
#include <string>

#include "platform/sysroot/files.h"
#include "platform/ui/forms.h"

namespace printclient {

class TzfMain : public ui::TForm {
  CLS_DECLARE_CLASS(TzfMain, ui::TForm)

 public:
  explicit TzfMain(ui::TComponent* AOwner);
  ~TzfMain() override;

  ui::TPanel* pnHint;
  // The receipt report lives here too once the report library stands:
  // ppReport1 with ppHeaderBand1, ppDetailBand1, ppFooterBand1, lbTitle,
  // lbData and ppBarCode, all owned by the form.
  ui::TTimer* Timer1;

  void FormCreate(ui::TObject* Sender);
  void Timer1Timer(ui::TObject* Sender);

  // The receipt and shift-report routines; the program block sets them.
  std::function<int(const std::string& IP, const std::string& WebName, const std::string& WebPage,
                    const std::string& Data)>
      ProcessPrintData;
  std::function<int(const std::string& Text)> PrintShiftReport;
  // How "VER" leaves; the real one never returns.
  std::function<void(win::DWORD)> ExitProcess;
  // The minute count when the program started (the form is made at
  // start-up): the argument is read with its key, not the timer's.
  std::uint32_t StartMinute = 0;
  // Reads the argument (uuCoding::DecodeParam with StartMinute).
  std::function<std::string(const std::string& Argument)> DecodeParam;
};

extern TzfMain* zfMain;

// The exit code that answers "VER": the six digits yyMMdd of the version
// times 100, plus the index of its letter.
win::DWORD VersionExitCode(const std::string& version);

}  // namespace printclient
