#include "printerdef.h"

#include <algorithm>
#include <filesystem>
#include <iostream>
#include <map>
#include <mutex>
#include <set>
#include <sstream>

#include "platform/registry/ini.h"
#include "platform/sysroot/codepage.h"
#include "platform/sysroot/fileio.h"
#include "platform/sysroot/sysroot.h"

namespace fs = std::filesystem;

namespace spool {
namespace {

const char kPrintersWinDir[] = "C:\\Windows\\System32\\spool\\PRINTERS";

std::string Trim(const std::string& s) {
  size_t b = s.find_first_not_of(" \t\r\n");
  if (b == std::string::npos) return "";
  size_t e = s.find_last_not_of(" \t\r\n");
  return s.substr(b, e - b + 1);
}


std::vector<std::string> SplitComma(const std::string& s, size_t maxParts = 0) {
  std::vector<std::string> out;
  size_t start = 0;
  while (true) {
    if (maxParts && out.size() + 1 == maxParts) {
      out.push_back(Trim(s.substr(start)));
      break;
    }
    size_t p = s.find(',', start);
    out.push_back(Trim(s.substr(start, p == std::string::npos ? std::string::npos : p - start)));
    if (p == std::string::npos) break;
    start = p + 1;
  }
  return out;
}

bool ToInt(const std::string& s, int& v) {
  try {
    size_t used = 0;
    long x = std::stol(s, &used);
    if (used != s.size() || x < -2147483647L || x > 2147483647L) return false;
    v = static_cast<int>(x);
    return true;
  } catch (...) {
    return false;
  }
}

// A 32-bit mask: written unsigned; a negative value is taken as its two's
// complement, as older definitions may hold one.
bool ToMask(const std::string& s, std::uint32_t& v) {
  try {
    size_t used = 0;
    long long x = std::stoll(s, &used);
    if (used != s.size() || x < -2147483648LL || x > 4294967295LL) return false;
    v = static_cast<std::uint32_t>(x);
    return true;
  } catch (...) {
    return false;
  }
}

std::string Join(const std::vector<std::string>& v) {
  std::string r;
  for (size_t i = 0; i < v.size(); ++i) r += (i ? "," : "") + v[i];
  return r;
}

bool ValidName(const std::string& name) {
  if (name.empty() || name.size() > 200 || Trim(name) != name) return false;
  for (size_t i = 0; i < name.size(); ++i) {
    unsigned char c = static_cast<unsigned char>(name[i]);
    if (c >= 0x81 && c <= 0xFE && i + 1 < name.size()) {  // Big5 pair
      ++i;
      continue;
    }
    if (c < 0x20 || std::string("\\/:*?\"<>|,=").find(static_cast<char>(c)) != std::string::npos)
      return false;
  }
  return true;
}

// A definition file read: one that is refused says so on the standard
// error, once per process for each file and fault, naming the line.
bool ParseFile(const std::string& path, const std::string& text, PrinterDef& def) {
  std::string why;
  if (ParseDefinition(text, def, &why)) return true;
  static std::mutex mutex;
  static std::set<std::string> told;
  std::string message = "The printer definition " + path + " is refused: " + why;
  std::lock_guard<std::mutex> lock(mutex);
  if (told.insert(message).second) std::cerr << cp::Big5ToUtf8(message) << "\n";
  return false;
}

std::string WinIniPath() { return sysroot::HostPath(sysroot::JoinWin(sysroot::WindowsDir(), "win.ini")); }

}  // namespace

const Paper* PrinterDef::FindPaper(int code) const {
  for (const auto& p : papers)
    if (p.code == code) return &p;
  return nullptr;
}

bool PrinterDef::WritesPng() const {
  return std::any_of(formats.begin(), formats.end(), [](const std::string& f) { return cp::SameText(f, "png"); });
}

bool PrinterDef::WritesPdf() const {
  return std::any_of(formats.begin(), formats.end(), [](const std::string& f) { return cp::SameText(f, "pdf"); });
}

std::string PrinterDef::OutputFolder() const {
  return output.empty() ? "C:\\Zolmet\\Printed\\" + name : output;
}

std::string PrintersDir() { return sysroot::HostPath(kPrintersWinDir); }

std::string DefinitionFile(const std::string& printerName) {
  return sysroot::HostPath(sysroot::JoinWin(kPrintersWinDir, printerName + ".prn"));
}

std::string FormatDefinition(const PrinterDef& d) {
  std::ostringstream o;
  o << "Name=" << d.name << "\r\n";
  o << "Driver=" << d.driver << "\r\n";
  o << "Ports=" << Join(d.ports) << "\r\n";
  o << "Attributes=" << d.attributes << "\r\n";
  o << "Resolution=" << d.dpiX << "," << d.dpiY << "\r\n";
  o << "Color=" << (d.color ? 1 : 0) << "\r\n";
  o << "Unprintable=" << d.unprintLeft << "," << d.unprintTop << "," << d.unprintRight << ","
    << d.unprintBottom << "\r\n";
  for (const auto& p : d.papers)
    o << "Paper=" << p.code << "," << p.width << "," << p.height << "," << p.name << "\r\n";
  for (const auto& b : d.bins) o << "Bin=" << b.code << "," << b.name << "\r\n";
  o << "DefaultPaper=" << d.defaultPaper << "\r\n";
  o << "DefaultCustom=" << d.defaultCustomWidth << "," << d.defaultCustomLength << "\r\n";
  o << "DefaultBin=" << d.defaultBin << "\r\n";
  o << "DefaultOrientation=" << d.defaultOrientation << "\r\n";
  o << "Custom=" << (d.customAllowed ? 1 : 0) << "\r\n";
  o << "CustomRange=" << d.customMinWidth << "," << d.customMinLength << "," << d.customMaxWidth
    << "," << d.customMaxLength << "\r\n";
  o << "Output=" << d.output << "\r\n";
  o << "Formats=" << Join(d.formats) << "\r\n";
  o << "Command=" << d.command << "\r\n";
  o << "CommandTimeout=" << d.commandTimeout << "\r\n";
  o << "Backend=" << (d.backend == PrinterBackend::Record ? "record" : "cairo") << "\r\n";
  return o.str();
}

bool ParseDefinition(const std::string& text, PrinterDef& d, std::string* why) {
  d = PrinterDef();
  bool named = false;
  const ini::File file = ini::File::Parse(text);
  size_t number = 0;
  std::string problem;
  for (const auto& line : file.Lines()) {
    ++number;
    if (line.kind == ini::File::Kind::Blank || line.kind == ini::File::Kind::Comment) continue;
    std::string key = cp::UpperAscii(line.name);
    const std::string& val = line.value;
    // Whole numbers within LOW to HIGH, N of them separated by commas.
    auto ints = [&](size_t n, std::vector<int>& out, int low, int high) {
      auto parts = SplitComma(val);
      if (parts.size() != n) return false;
      out.resize(n);
      for (size_t i = 0; i < n; ++i)
        if (!ToInt(parts[i], out[i]) || out[i] < low || out[i] > high) return false;
      return true;
    };
    auto one = [&](int& out, int low, int high) {
      std::vector<int> v;
      if (!ints(1, v, low, high)) return false;
      out = v[0];
      return true;
    };
    std::vector<int> v;
    if (line.kind != ini::File::Kind::Entry) {
      problem = "not a KEY=VALUE line";
    } else if (key == "NAME") {
      d.name = val;
      named = !val.empty();
    } else if (key == "DRIVER") {
      d.driver = val;
    } else if (key == "PORTS") {
      d.ports = val.empty() ? std::vector<std::string>{} : SplitComma(val);
    } else if (key == "ATTRIBUTES") {
      if (!ToMask(val, d.attributes)) problem = "not a 32-bit mask";
    } else if (key == "RESOLUTION") {
      if (!ints(2, v, 1, kMaxResolution))
        problem = "two resolutions of 1 to " + std::to_string(kMaxResolution) + " dots per inch expected";
      else d.dpiX = v[0], d.dpiY = v[1];
    } else if (key == "COLOR") {
      d.color = val == "1";
    } else if (key == "UNPRINTABLE") {
      if (!ints(4, v, 0, kMaxTenths))
        problem = "four margins of 0 to " + std::to_string(kMaxTenths) + " tenths of a mm expected";
      else d.unprintLeft = v[0], d.unprintTop = v[1], d.unprintRight = v[2], d.unprintBottom = v[3];
    } else if (key == "PAPER") {
      auto parts = SplitComma(val, 4);
      Paper p;
      if (parts.size() != 4 || !ToInt(parts[0], p.code) || !ToInt(parts[1], p.width) || !ToInt(parts[2], p.height))
        problem = "code, width, height and name expected";
      else if (p.code < 0 || p.code > kMaxCode)
        problem = "the paper code must be 0 to " + std::to_string(kMaxCode);
      else if (p.width < 0 || p.width > kMaxTenths || p.height < 0 || p.height > kMaxTenths)
        problem = "the paper's width and height must be 0 to " + std::to_string(kMaxTenths) + " tenths of a mm";
      p.name = parts.size() == 4 ? parts[3] : "";
      d.papers.push_back(p);
    } else if (key == "BIN") {
      auto parts = SplitComma(val, 2);
      Bin b;
      if (parts.size() != 2 || !ToInt(parts[0], b.code) || b.code < 0 || b.code > kMaxCode)
        problem = "a bin code of 0 to " + std::to_string(kMaxCode) + " and a name expected";
      else b.name = parts[1];
      d.bins.push_back(b);
    } else if (key == "DEFAULTPAPER") {
      if (!one(d.defaultPaper, 0, kMaxCode)) problem = "a paper code of 0 to " + std::to_string(kMaxCode) + " expected";
    } else if (key == "DEFAULTCUSTOM") {
      if (!ints(2, v, 0, kMaxTenths))
        problem = "a width and a length of 0 to " + std::to_string(kMaxTenths) + " tenths of a mm expected";
      else d.defaultCustomWidth = v[0], d.defaultCustomLength = v[1];
    } else if (key == "DEFAULTBIN") {
      if (!one(d.defaultBin, 0, kMaxCode)) problem = "a bin code of 0 to " + std::to_string(kMaxCode) + " expected";
    } else if (key == "DEFAULTORIENTATION") {
      if (!one(d.defaultOrientation, 1, 2)) problem = "1 (portrait) or 2 (landscape) expected";
    } else if (key == "CUSTOM") {
      d.customAllowed = val == "1";
    } else if (key == "CUSTOMRANGE") {
      if (!ints(4, v, 0, kMaxTenths))
        problem = "four sizes of 0 to " + std::to_string(kMaxTenths) + " tenths of a mm expected";
      else d.customMinWidth = v[0], d.customMinLength = v[1], d.customMaxWidth = v[2], d.customMaxLength = v[3];
    } else if (key == "OUTPUT") {
      d.output = val;
    } else if (key == "FORMATS") {
      d.formats = val.empty() ? std::vector<std::string>{} : SplitComma(val);
    } else if (key == "COMMAND") {
      d.command = val;
    } else if (key == "COMMANDTIMEOUT") {
      if (!one(d.commandTimeout, 1, 86400)) problem = "1 to 86400 seconds expected";
    } else if (key == "BACKEND") {
      d.backend = cp::SameText(val, "record") ? PrinterBackend::Record : PrinterBackend::Cairo;
    }
    // Unknown keys are kept for later versions and ignored here.
    if (!problem.empty()) {
      if (why) {
        std::string shown = line.text;  // control bytes are not sent on
        for (char& c : shown)
          if (static_cast<unsigned char>(c) < 0x20 || c == 0x7F) c = '?';
        *why = "line " + std::to_string(number) + " \"" + shown + "\": " + problem + ".";
      }
      return false;
    }
  }
  if (!named && why) *why = "no Name= line.";
  return named;
}

bool InstallPrinter(const PrinterDef& def) {
  if (!ValidName(def.name)) return false;
  std::string path = DefinitionFile(def.name);
  std::error_code ec;
  fs::create_directories(fs::path(path).parent_path(), ec);
  return sysroot::ReplaceFile(path, FormatDefinition(def));
}

bool RemovePrinter(const std::string& name) {
  if (!ValidName(name)) return false;
  std::error_code ec;
  return fs::remove(DefinitionFile(name), ec);
}

bool LoadPrinter(const std::string& name, PrinterDef& def) {
  if (!ValidName(name)) return false;
  std::string text;
  const std::string path = DefinitionFile(name);
  if (!sysroot::ReadHostFileKept(path, text)) return false;
  // The last text parsed for each file, and what it gave.
  struct Parsed {
    std::string text;
    bool ok;
    PrinterDef def;
  };
  static std::mutex mutex;
  static auto* parsed = new std::map<std::string, Parsed>;
  {
    std::lock_guard<std::mutex> lock(mutex);
    auto it = parsed->find(path);
    if (it != parsed->end() && it->second.text == text) {
      if (it->second.ok) def = it->second.def;
      return it->second.ok && cp::SameText(def.name, name);
    }
  }
  PrinterDef read;
  const bool ok = ParseFile(path, text, read);
  {
    std::lock_guard<std::mutex> lock(mutex);
    (*parsed)[path] = Parsed{text, ok, read};
  }
  if (ok) def = read;
  return ok && cp::SameText(def.name, name);
}

std::vector<PrinterDef> InstalledPrinters() {
  std::vector<PrinterDef> out;
  std::error_code ec;
  for (const auto& e : fs::directory_iterator(PrintersDir(), ec)) {
    if (!e.is_regular_file() || e.path().extension() != ".prn") continue;
    std::string text;
    PrinterDef d;
    // A definition counts only under its own name's file: one that names
    // another printer could be neither opened nor told apart.
    if (sysroot::ReadHostFile(e.path().string(), text) && ParseFile(e.path().string(), text, d) &&
        ValidName(d.name) && fs::path(DefinitionFile(d.name)) == e.path())
      out.push_back(d);
  }
  std::sort(out.begin(), out.end(),
            [](const PrinterDef& a, const PrinterDef& b) { return cp::UpperAscii(a.name) < cp::UpperAscii(b.name); });
  return out;
}

std::string GetProfileString(const std::string& section, const std::string& key,
                             const std::string& def) {
  ini::File f;
  if (!ini::Load(WinIniPath(), f)) return def;
  return f.Get(section, key).value_or(def);
}

bool WriteProfileString(const std::string& section, const std::string& key,
                        const std::string& value) {
  return ini::Modify(WinIniPath(), [&](ini::File& f) { f.Set(section, key, value); });
}

bool SetDefaultPrinter(const std::string& name) {
  PrinterDef d;
  if (!LoadPrinter(name, d)) return false;
  return WriteProfileString("windows", "device",
                            d.name + "," + d.driver + "," + (d.ports.empty() ? "" : d.ports[0]));
}

PrinterDef DemoReceiptPrinter() {
  PrinterDef d;
  d.name = "Zolmet";
  d.driver = "Zolmet Receipt";
  d.ports = {"USB001"};
  d.attributes = 0x40;
  d.dpiX = d.dpiY = 203;
  d.color = false;
  d.papers = {{257, 820, 2970, "Roll Paper 82 x 297 mm"}, {256, 0, 0, "User Defined"}};
  d.bins = {{15, "Roll Feed"}};
  d.defaultPaper = 257;
  d.defaultCustomWidth = 820;
  d.defaultCustomLength = 2970;
  d.defaultBin = 15;
  d.customAllowed = true;
  d.customMinWidth = 100;
  d.customMinLength = 100;
  d.customMaxWidth = 820;
  d.customMaxLength = 32000;
  d.output = "C:\\Zolmet\\Printed\\Zolmet";
  d.formats = {"pdf", "png"};
  return d;
}

}  // namespace spool
