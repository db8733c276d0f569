#include "uuPrintMethods.h"

#include "common/uuCoding.h"
#include "common/uuCommon.h"
#include "platform/process/process.h"
#include "platform/resources/version.h"

namespace control::uuPrintMethods {

const std::string kPrintProgram = "C:\\Program Files\\Zolmet\\ZolmetPrint.exe";
const std::string kPrintFolder = "C:\\Program Files\\Zolmet";
const std::string kInnerVersion = "v20090831a";

namespace {

// The print program as a command line starts it: quoted, so that the space
// in its folder cannot make the system start "C:\Program.exe" instead.
std::string PrintCommand() { return "\"" + kPrintProgram + "\""; }

void ErrLog(const std::string& text) {
  uuCommon::WriteLog(uuCommon::kLogDir, "Zolmet.err", text, uuCommon::kControlLogHeader);
}

// Scrambles REQUEST and starts the print program with it.
int StartPrinter(const std::string& request, bool logFailure) {
  std::string argument;
  try {
    argument = ::uuCoding::EncodeCommandLine(request);
  } catch (...) {
    return 10;
  }
  if (argument.empty()) return 10;
  unsigned started = win::WinExec(PrintCommand() + " " + argument, win::SW_SHOWNORMAL);
  if (started >= 32) return 1;
  if (logFailure) ErrLog("[OCX][Print] 執行Printer失敗,Err=" + std::to_string(win::GetLastError()));
  return 13;
}

}  // namespace

int Print(const std::string& IP, const std::string& WebName, const std::string& WebPage,
          const std::string& Data) {
  try {
    uuCommon::WriteLog(uuCommon::kLogDir, "Zolmet.debug",
                       "[OCX][Print] IP=" + uuCommon::ForLog(IP) + " Web=" + uuCommon::ForLog(WebName) +
                           " Page=" + uuCommon::ForLog(WebPage) + " Data=" + uuCommon::ForLog(Data),
                       uuCommon::kControlLogHeader);
    return StartPrinter(IP + "," + WebName + "," + WebPage + "," + Data + "XJ", true);
  } catch (...) {
    return 10;
  }
}

int PrintTurn(const std::string& Data) {
  try {
    return StartPrinter(Data + "IS", false);
  } catch (...) {
    return 10;
  }
}

std::string VersionFromExitCode(std::uint32_t code) {
  return "v" + std::to_string(code / 100 + 20000000) + static_cast<char>('a' + code % 100);
}

std::string GetPrinterVer() {
  try {
    if (!win::FileExists(kPrintProgram)) return "檔案不存在";
    win::HPROCESS process = win::CreateProcess(PrintCommand() + " VER", kPrintFolder);
    if (!process) return "執行失敗";
    if (win::WaitForSingleObject(process, 10000) != win::WAIT_OBJECT_0) return "等待失敗";
    // A program that crashed or was killed answered nothing.
    if (int signal = win::TerminationSignal(process)) {
      ErrLog("[OCX][GetPrinterVer] 列印程式被訊號 " + std::to_string(signal) + " 終止, 沒有版本");
      return "取回傳值失敗";
    }
    win::DWORD code = 0;
    if (!win::GetExitCodeProcess(process, code)) code = 0;
    if (code == 0) return "取回傳值失敗";
    return VersionFromExitCode(code);
  } catch (...) {
    return "系統錯誤";
  }
}

std::string GetVer(const std::string& file) {
  try {
    win::VS_FIXEDFILEINFO fixed;
    return rsrc::ReadFixedFileInfo(file, fixed) ? rsrc::FileVersionText(fixed, ',') : "";
  } catch (...) {
    return "";
  }
}

}  // namespace control::uuPrintMethods
