// The print program's main form. It stays hidden, handles the one
// command-line argument from a single timer tick and ends the program.
#pragma once
#include <cstdint>
#include <functional>
#include <string>

#include "platform/sysroot/files.h"
#include "platform/ui/forms.h"

class TppBarCode;
class TppDetailBand;
class TppFooterBand;
class TppHeaderBand;
class TppLabel;
class TppMemo;
class TppReport;

namespace printclient {

class TzfMain : public ui::TForm {
  CLS_DECLARE_CLASS(TzfMain, ui::TForm)

 public:
  explicit TzfMain(ui::TComponent* AOwner);
  ~TzfMain() override;

  ui::TPanel* pnHint;
  // The receipt report with its bands and components, all owned by the form.
  TppReport* ppReport1;
  TppHeaderBand* ppHeaderBand1;
  TppLabel* lbTitle;
  TppBarCode* ppBarCode;
  TppMemo* lbData;
  TppDetailBand* ppDetailBand1;
  TppFooterBand* ppFooterBand1;
  ui::TTimer* Timer1;

  void FormCreate(ui::TObject* Sender);
  void Timer1Timer(ui::TObject* Sender);

  // Prints one receipt on the printer "Zolmet" (after the notice when it is
  // not installed): line count, bar code ('' or an invalid one prints none)
  // and the wrapped text. False when the print failed; its cause has been
  // shown then, and is left in CAUSE when one is given.
  virtual bool PrintReceipt(int Lines, const std::string& Barcode, const std::string& Text,
                            std::string* Cause = nullptr);
  // The shift hand-over report, printed as a receipt without a bar code:
  // 1 when printed, else 0 (logged).
  virtual int PrintShiftReport(const std::string& Text);

  // The receipt request; the program block sets it (with PrintReceipt).
  std::function<int(const std::string& IP, const std::string& WebName, const std::string& WebPage,
                    const std::string& Data)>
      ProcessPrintData;
  // How "VER" leaves; the real one never returns.
  std::function<void(win::DWORD)> ExitProcess;
  // The minute count when the process started, as the system recorded it:
  // the argument is read with its key however late the program came to run.
  std::uint32_t StartMinute = 0;
  // Reads the argument (uuCoding::DecodeParam with StartMinute).
  std::function<std::string(const std::string& Argument)> DecodeParam;

 private:
  void CreateReport();
};

extern TzfMain* zfMain;

// The exit code that answers "VER": the six digits yyMMdd of the version
// times 100, plus the index of its letter.
win::DWORD VersionExitCode(const std::string& version);

}  // namespace printclient
