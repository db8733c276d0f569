// The control's print and version methods, on system code page strings.
#pragma once
#include <cstdint>
#include <string>

namespace control::uuPrintMethods {

extern const std::string kPrintProgram;  // "C:\Program Files\Zolmet\ZolmetPrint.exe"
extern const std::string kPrintFolder;   // "C:\Program Files\Zolmet"
extern const std::string kInnerVersion;  // "v20090831a"

// Start the print program with a receipt request (IP, WebName, WebPage,
// Data) or a shift report (Data) and do not wait: 1 started, 10 the request
// cannot be prepared, 13 the program cannot be started.
int Print(const std::string& IP, const std::string& WebName, const std::string& WebPage,
          const std::string& Data);
int PrintTurn(const std::string& Data);

// Runs the print program with "VER" (up to 10 s) and turns its exit code
// into its version text, or answers a failure text.
std::string GetPrinterVer();
// "v" + (code div 100 + 20000000) + the letter 'a' + code mod 100.
std::string VersionFromExitCode(std::uint32_t code);

// The file version of FILE joined with ","; '' without a version block.
std::string GetVer(const std::string& file);

}  // namespace control::uuPrintMethods
