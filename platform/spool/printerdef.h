// Installed printers: one definition file per printer under the system root
// ("C:\Windows\System32\spool\PRINTERS\<name>.prn"), and the default printer
// (win.ini's [windows] device line "name,driver,port").
//
// A definition file is lines of KEY=VALUE (Big5), repeated keys for lists:
//   Name=Zolmet                 Driver=Zolmet Receipt      Ports=USB001,USB002
//   Attributes=64               Resolution=203,203         Color=0
//   Unprintable=0,0,0,0         (left, top, right, bottom; tenths of a mm)
//   Paper=257,820,2970,Roll Paper 82 x 297 mm   (code, width, height, name)
//   Bin=15,Roll Feed            (code, name)
//   DefaultPaper=257            DefaultCustom=820,1500     DefaultBin=15
//   DefaultOrientation=1        Custom=1                   CustomRange=100,100,820,32000
//   Output=C:\Zolmet\Printed\Zolmet                        Formats=pdf,png
//   Command=lp -d receipt       (receives each finished PDF as its last argument,
//                               run by /bin/sh with ZOLMET_PAGE_MM set to the
//                               first page's size in mm, as "82x57.9"; what it
//                               writes goes into the cause of a failed job)
//   CommandTimeout=60           (seconds the command may run before it is stopped
//                               and the job fails; 1 to 86400, default 60)
//   Backend=cairo               (or "record": pages kept in memory for tests;
//                               any other value is cairo)
#pragma once
#include <cstdint>
#include <string>
#include <vector>

namespace spool {

struct Paper {
  int code = 0;
  int width = 0;   // tenths of a mm
  int height = 0;  // tenths of a mm
  std::string name;
};

struct Bin {
  int code = 0;
  std::string name;
};

// Where a printer's pages go: cairo PDF (and PNG) files, or memory.
enum class PrinterBackend { Cairo, Record };

struct PrinterDef {
  std::string name;
  std::string driver = "Zolmet Generic";
  std::vector<std::string> ports{"FILE:"};
  std::uint32_t attributes = 0x40;  // PRINTER_ATTRIBUTE_LOCAL
  int dpiX = 300, dpiY = 300;
  bool color = false;
  int unprintLeft = 0, unprintTop = 0, unprintRight = 0, unprintBottom = 0;  // tenths of a mm
  std::vector<Paper> papers;
  std::vector<Bin> bins;
  int defaultPaper = 9;
  int defaultCustomWidth = 2100, defaultCustomLength = 2970;
  int defaultBin = 7;
  int defaultOrientation = 1;  // DMORIENT_PORTRAIT
  bool customAllowed = false;
  int customMinWidth = 10, customMinLength = 10, customMaxWidth = 32767, customMaxLength = 32767;
  std::string output;                    // Windows folder; empty: C:\Zolmet\Printed\<name>
  std::vector<std::string> formats{"pdf"};  // "pdf", "png"
  std::string command;
  int commandTimeout = 60;  // seconds
  PrinterBackend backend = PrinterBackend::Cairo;

  const Paper* FindPaper(int code) const;
  bool WritesPng() const;
  bool WritesPdf() const;
  std::string OutputFolder() const;  // Windows path
};

// Host folder of the definitions, and the file of one printer.
std::string PrintersDir();
std::string DefinitionFile(const std::string& printerName);

// Writes the definition (replacing one of the same name). False on a name
// that cannot be a file name or when the file cannot be written.
bool InstallPrinter(const PrinterDef& def);
bool RemovePrinter(const std::string& name);
// The definition of an installed printer (name matched without regard to
// case); false when none or unreadable.
bool LoadPrinter(const std::string& name, PrinterDef& def);
// Every installed printer, ordered by name.
std::vector<PrinterDef> InstalledPrinters();

// The limits of a definition: paper and bin codes are 16-bit, sizes and
// margins fit a DEVMODE's short, and pixel sizes fit an int.
constexpr int kMaxCode = 65535;
constexpr int kMaxTenths = 32767;
constexpr int kMaxResolution = 9600;

std::string FormatDefinition(const PrinterDef& def);
// False for a text that is no definition (no name, or a value out of its
// limits); WHY then tells which line and why.
bool ParseDefinition(const std::string& text, PrinterDef& def, std::string* why = nullptr);

// win.ini access: the value of KEY in SECTION, or DEF.
std::string GetProfileString(const std::string& section, const std::string& key,
                             const std::string& def);
bool WriteProfileString(const std::string& section, const std::string& key,
                        const std::string& value);
// Makes an installed printer the default (device line "name,driver,port").
bool SetDefaultPrinter(const std::string& name);

// The demo receipt printer: an 82 mm roll at 203 dpi, custom paper allowed,
// writing PDF and PNG.
PrinterDef DemoReceiptPrinter();

}  // namespace spool
