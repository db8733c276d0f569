#include "report/output/ppPrintr.h"

#include <algorithm>
#include <atomic>
#include <cmath>
#include <cstring>

#include "platform/spool/osversion.h"
#include "platform/sysroot/codepage.h"

namespace {

// The class library's resource text for a printer on a port.
const char kPrinterOnPort[] = "%s on %s";

bool IsNT() { return win::Win32Platform() == win::VER_PLATFORM_WIN32_NT; }

int StrToIntDef(const std::string& s, int def) {
  try {
    size_t used = 0;
    int v = std::stoi(s, &used);
    return used == s.size() ? v : def;
  } catch (...) {
    return def;
  }
}

std::string Str(int v) { return std::to_string(v); }

std::atomic<TppPrinterList*> g_printerList{nullptr};
std::atomic<TppPrinter*> g_globalPrinter{nullptr};
std::atomic<TppPrinterInfo*> g_noPrinterInfo{nullptr};

}  // namespace

TppLock& ppPrintrUnitLock() {
  static TppLock lock;
  return lock;
}

// ---------------------------------------------------------------- paper tables

std::string ppGetPaperName(int code) {
  switch (code) {
    case 1: case 2: return "Letter 8 1/2 x 11 in";
    case 3: return "Tabloid 11 x 17 in";
    case 4: return "Ledger 17 x 11 in";
    case 5: return "Legal 8 12 x 14 in";
    case 6: return "Statement 5 1/2 x 8 12 in";
    case 7: return "Executive 7 14 x 10 1/2 in";
    case 8: return "A3 297 x 420 mm";
    case 9: return "A4 210 x 297 mm";
    case 10: return "A4 Small 210 x 297 mm";
    case 11: return "A5 148 x 210 mm";
    case 12: return "B4 (JIS) 250 x 354";
    case 13: return "B5 (JIS) 182 x 257 mm";
    case 14: return "Folio 8 1/2 x 13 in";
    case 15: return "Quarto 215 x 275 mm";
    case 16: return "10 x 14 in";
    case 17: return "11 x 17 in";
    case 18: return "Note 8 1/2 x 11 in";
    case 19: return "Envelope #9 3 7/8 x 8 7/8";
    case 20: return "Envelope #10 4 18 x 9 1/2";
    case 21: return "Envelope #11 4 12 x 10 3/8";
    case 22: return "Envelope #12 4 276 x 11";
    case 23: return "Envelope #14 5 x 11 1/2";
    case 24: return "C size sheet";
    case 25: return "D size sheet";
    case 26: return "E size sheet";
    case 27: return "Envelope DL 110 x 220mm";
    case 28: return "Envelope C5 162 x 229 mm";
    case 29: return " Envelope C3  324 x 458 mm";
    case 30: return "Envelope C4  229 x 324 mm";
    case 31: return "Envelope C6  114 x 162 mm";
    case 32: return "Envelope C65 114 x 229 mm";
    case 33: return "Envelope B4  250 x 353 mm";
    case 34: return "Envelope B5  176 x 250 mm";
    case 35: return "Envelope B6  176 x 125 mm";
    case 36: return "Envelope 110 x 230 mm";
    case 37: return "Envelope Monarch 3.875 x 7.5 in";
    case 38: return "6 34 Envelope 3 5/8 x 6 1/2 in";
    case 39: return "US Std Fanfold 14 7/8 x 11 in";
    case 40: return "German Std Fanfold 8 1/2 x 12 in";
    case 41: return "German Legal Fanfold 8 1/2 x 13 in";
    case 42: return "B4 (ISO) 250 x 353 mm";
    case 43: return "Japanese Postcard 100 x 148 mm";
    case 44: return "9 x 11 in";
    case 45: return "10 x 11 in";
    case 46: return "15 x 11 in";
    case 47: return "Envelope Invite 220 x 220 mm";
    case 50: return "Letter Extra 9 \\275 x 12 in";
    case 51: return "Legal Extra 9 \\275 x 15 in";
    case 52: return "Tabloid Extra 11.69 x 18 in";
    case 53: return "A4 Extra 9.27 x 12.69 in";
    case 54: return "Letter Transverse 8 \\275 x 11 in";
    case 55: return "A4 Transverse 210 x 297 mm";
    case 56: return "Letter Extra Transverse 9\\275 x 12 in";
    case 57: return "SuperASuperAA4 227 x 356 mm";
    case 58: return "SuperBSuperBA3 305 x 487 mm";
    case 59: return "Letter Plus 8.5 x 12.69 in";
    case 60: return "A4 Plus 210 x 330 mm";
    case 61: return "A5 Transverse 148 x 210 mm";
    case 62: return "B5 (JIS) Transverse 182 x 257 mm";
    case 63: return "A3 Extra 322 x 445 mm";
    case 64: return "A5 Extra 174 x 235 mm";
    case 65: return "B5 (ISO) Extra 201 x 276 mm";
    case 66: return "A2 420 x 594 mm";
    case 67: return "A3 Transverse 297 x 420 mm";
    case 68: return "A3 Extra Transverse 322 x 445 mm";
    case 118: return "DMPAPER_A3_EXTRA_TRANSVERSE";
    case 256: return "Custom";
    default: return "Unknown";
  }
}

void ppGetPaperSize(int code, int& width, int& height) {
  struct Size {
    double w, h;
    bool inches;
  };
  Size s{0, 0, false};
  switch (code) {
    case 1: case 2: case 18: s = {8.5, 11, true}; break;
    case 3: case 17: s = {11, 17, true}; break;
    case 4: s = {17, 11, true}; break;
    case 5: s = {8.5, 14, true}; break;
    case 6: s = {5.5, 8.5, true}; break;
    case 7: s = {7.25, 10.5, true}; break;
    case 8: case 67: s = {2970, 4200, false}; break;
    case 9: case 10: case 55: s = {2100, 2970, false}; break;
    case 11: case 61: s = {1480, 2100, false}; break;
    case 12: s = {2500, 3540, false}; break;
    case 13: case 62: s = {1820, 2570, false}; break;
    case 14: case 41: s = {8.5, 13, true}; break;
    case 15: s = {2150, 2750, false}; break;
    case 16: s = {10, 14, true}; break;
    case 19: s = {3.875, 8.875, true}; break;
    case 20: s = {4.125, 9.5, true}; break;
    case 21: s = {4.5, 10.375, true}; break;
    case 22: s = {4.75, 11, true}; break;
    case 23: s = {5, 11.5, true}; break;
    case 24: s = {17, 22, true}; break;
    case 25: s = {22, 34, true}; break;
    case 26: s = {34, 44, true}; break;
    case 27: s = {1100, 2200, false}; break;
    case 28: s = {1620, 2290, false}; break;
    case 29: s = {3240, 4580, false}; break;
    case 30: s = {2290, 3240, false}; break;
    case 31: s = {1140, 1620, false}; break;
    case 32: s = {1140, 2290, false}; break;
    case 33: case 42: s = {2500, 3530, false}; break;
    case 34: s = {1760, 2500, false}; break;
    case 35: s = {1760, 1250, false}; break;
    case 36: s = {1100, 2300, false}; break;
    case 37: s = {3.875, 7.5, true}; break;
    case 38: s = {3.625, 6.5, true}; break;
    case 39: s = {14.875, 11, true}; break;
    case 40: s = {8.5, 12, true}; break;
    case 43: s = {1000, 1480, false}; break;
    case 44: s = {9, 11, true}; break;
    case 45: s = {10, 11, true}; break;
    case 46: s = {15, 11, true}; break;
    case 47: s = {2200, 2200, false}; break;
    // Letter Extra (and its transverse form) is 9.5 x 12 in, Legal Extra
    // 9.5 x 15 in, Letter Transverse 8.5 x 11 in, as their names say.
    case 50: case 56: s = {9.5, 12, true}; break;
    case 51: s = {9.5, 15, true}; break;
    case 52: s = {11.69, 18, true}; break;
    case 53: s = {9.27, 12.69, true}; break;
    case 54: s = {8.5, 11, true}; break;
    case 57: s = {2270, 3560, false}; break;
    case 58: s = {3050, 4870, false}; break;
    case 59: s = {8.5, 12.69, true}; break;
    case 60: s = {2100, 3300, false}; break;
    case 63: case 68: s = {3220, 4450, false}; break;
    case 64: s = {1740, 2350, false}; break;
    case 65: s = {2010, 2760, false}; break;
    case 66: s = {4200, 5940, false}; break;
    default: break;
  }
  if (s.inches) {
    width = ToTenthsMM(static_cast<float>(s.w), utInches);
    height = ToTenthsMM(static_cast<float>(s.h), utInches);
  } else {
    width = static_cast<int>(s.w);
    height = static_cast<int>(s.h);
  }
}

std::string ppFormatPaperSize(int width, int height) {
  return Str(width / 10) + " x " + Str(height / 10) + " mm";
}

// ---------------------------------------------------------------- capabilities

CLS_IMPLEMENT_CLASS(TppPrinterCapabilities)

void TppPrinterCapabilities::NormalisePapers() {
  // 1. Names follow the codes.
  if (PaperNames.Count() < PaperCodes.Count()) {
    PaperNames.Clear();
    for (int i = 0; i < PaperCodes.Count(); ++i) {
      int code = StrToIntDef(PaperCodes[i], 0);
      std::string name = ppGetPaperName(code);
      if (name == "Unknown") {
        if (i < PaperWidths.Count() && i < PaperHeights.Count())
          name = ppFormatPaperSize(StrToIntDef(PaperWidths[i], 0), StrToIntDef(PaperHeights[i], 0));
        else
          name = "Unknown: " + PaperCodes[i];
      }
      PaperNames.Add(name);
    }
  } else {
    while (PaperNames.Count() > PaperCodes.Count()) PaperNames.Delete(PaperNames.Count() - 1);
  }
  // 2. The custom entry.
  int custom = PaperCodes.IndexOf("256");
  if (custom >= 0) {
    PaperNames.Put(custom, "Custom");
  } else {
    for (int i = 0; i < PaperNames.Count(); ++i) {
      std::string up = cp::UpperAscii(PaperNames[i]);
      if (up.find("CUSTOM") != std::string::npos || up.find("USER") != std::string::npos) {
        PaperNames.Put(i, "Custom");
        custom = i;
        break;
      }
    }
    if (custom < 0) {
      PaperNames.Add("Custom");
      PaperCodes.Add("256");
    }
  }
  // 3. Sizes from the table where the printer gave none.
  for (int i = 0; i < PaperCodes.Count(); ++i) {
    if (i < PaperWidths.Count() && i < PaperHeights.Count()) continue;
    int w, h;
    ppGetPaperSize(StrToIntDef(PaperCodes[i], 0), w, h);
    if (i < PaperWidths.Count())
      PaperWidths.Put(i, Str(w));
    else
      PaperWidths.Add(Str(w));
    if (i < PaperHeights.Count())
      PaperHeights.Put(i, Str(h));
    else
      PaperHeights.Add(Str(h));
  }
  // 4. Papers without a size go, except "Custom".
  for (int i = PaperCodes.Count() - 1; i >= 0; --i) {
    if (PaperNames[i] == "Custom") continue;
    if (PaperWidths[i] == "0" || PaperHeights[i] == "0") {
      PaperNames.Delete(i);
      PaperCodes.Delete(i);
      PaperWidths.Delete(i);
      PaperHeights.Delete(i);
    }
  }
  // 5. "Custom" last.
  int c = PaperNames.IndexOf("Custom");
  if (c >= 0) {
    int last = PaperNames.Count() - 1;
    PaperNames.Move(c, last);
    PaperCodes.Move(c, last);
    PaperWidths.Move(c, last);
    PaperHeights.Move(c, last);
  }
}

void TppPrinterCapabilities::NormaliseBins() {
  while (BinNames.Count() > BinCodes.Count()) BinNames.Delete(BinNames.Count() - 1);
  while (BinCodes.Count() > BinNames.Count()) BinCodes.Delete(BinCodes.Count() - 1);
  if (BinNames.IndexOf("Default") < 0) {
    BinNames.Insert(0, "Default");
    BinCodes.Insert(0, "7");
  }
}

// ---------------------------------------------------------------- printer info

CLS_IMPLEMENT_CLASS(TppPrinterInfo)

TppPrinterInfo::TppPrinterInfo(const std::string& name, bool /*open*/, const char* driver, const char* device,
                               const char* port)
    : name_(name) {
  bool blankAbsent = IsNT() && win::Win32MajorVersion() < 4;
  auto copy = [&](const char* s) -> std::optional<std::string> {
    if (s) return std::string(s);
    if (blankAbsent) return std::string();
    return std::nullopt;
  };
  driver_ = copy(driver);
  device_ = copy(device);
  port_ = copy(port);
}

TppPrinterInfo::~TppPrinterInfo() { delete capabilities_; }

std::string TppPrinterInfo::GetDescription() const {
  if (!device_ || !port_) return "";
  return cls::Format(kPrinterOnPort, {*device_, *port_});
}

TppPrinterCapabilities* TppPrinterInfo::GetCapabilities() {
  TppLockGuard guard(lock_);
  if (capabilities_) return capabilities_;
  auto* caps = new TppPrinterCapabilities;
  caps->PrinterName = name_;
  const char* device = device_ ? device_->c_str() : nullptr;
  const char* port = port_ ? port_->c_str() : nullptr;
  auto query = [&](win::WORD cap, size_t entry, auto&& take) {
    int n = win::DeviceCapabilitiesA(device, port, cap, nullptr, nullptr);
    if (n <= 0) return;
    std::vector<char> buf(static_cast<size_t>(n) * entry + 1, 0);
    n = std::min(n, win::DeviceCapabilitiesA(device, port, cap, buf.data(), nullptr));
    for (int i = 0; i < n; ++i) take(buf.data() + static_cast<size_t>(i) * entry);
  };
  auto name = [](size_t size) {
    return [size](cls::TStringList& list) {
      return [&list, size](const char* p) { list.Add(std::string(p, strnlen(p, size))); };
    };
  };
  auto word = [](cls::TStringList& list) {
    return [&list](const char* p) {
      win::WORD w;
      std::memcpy(&w, p, 2);
      list.Add(Str(w));
    };
  };
  if (device) {
    query(win::DC_PAPERNAMES, 64, name(64)(caps->PaperNames));
    query(win::DC_PAPERS, 2, word(caps->PaperCodes));
    query(win::DC_PAPERSIZE, sizeof(win::POINT), [&](const char* p) {
      win::POINT pt;
      std::memcpy(&pt, p, sizeof pt);
      caps->PaperWidths.Add(Str(pt.x));
      caps->PaperHeights.Add(Str(pt.y));
    });
    query(win::DC_BINNAMES, 24, name(24)(caps->BinNames));
    query(win::DC_BINS, 2, word(caps->BinCodes));
  }
  caps->NormalisePapers();
  caps->NormaliseBins();
  capabilities_ = caps;
  return caps;
}

CLS_IMPLEMENT_CLASS(TppScreenPrinterInfo)

TppScreenPrinterInfo::TppScreenPrinterInfo() : TppPrinterInfo("Screen", true, nullptr, "Screen", nullptr) {}

TppPrinterCapabilities* TppScreenPrinterInfo::GetCapabilities() {
  TppLockGuard guard(lock_);
  if (capabilities_) return capabilities_;
  auto* caps = new TppPrinterCapabilities;
  caps->PrinterName = Name();
  caps->BinCodes.Add("7");
  caps->BinNames.Add("Default");
  for (int code : {256, 1, 5, 8, 8, 9, 17, 39, 40, 19, 20, 21, 22, 23}) {
    int w, h;
    ppGetPaperSize(code, w, h);
    caps->PaperCodes.Add(Str(code));
    caps->PaperNames.Add(ppGetPaperName(code));
    caps->PaperWidths.Add(Str(w));
    caps->PaperHeights.Add(Str(h));
  }
  capabilities_ = caps;
  return caps;
}

// ---------------------------------------------------------------- printer list

CLS_IMPLEMENT_CLASS(TppPrinterList)

TppPrinterList::TppPrinterList() { BuildPrinterList(); }

TppPrinterList::~TppPrinterList() { FreeInfos(); }

void TppPrinterList::FreeInfos() {
  for (int i = 0; i < names_.Count(); ++i) delete static_cast<TppPrinterInfo*>(names_.Objects(i));
  names_.Clear();
}

std::vector<std::string> TppPrinterList::SplitCommaList(const std::string& text) {
  std::vector<std::string> out;
  size_t start = 0;
  while (start <= text.size()) {
    while (start < text.size() && text[start] == ' ') ++start;
    size_t comma = text.find(',', start);
    std::string piece = text.substr(start, comma == std::string::npos ? std::string::npos : comma - start);
    if (!piece.empty()) out.push_back(piece);
    if (comma == std::string::npos) break;
    start = comma + 1;
  }
  return out;
}

void TppPrinterList::BuildPrinterList() {
  TppLockGuard guard(lock_);
  {
    TppLockGuard unit(ppPrintrUnitLock());
    if (TppPrinter* p = g_globalPrinter.exchange(nullptr)) p->Free();
  }
  FreeInfos();
  names_.AddObject("Screen", new TppScreenPrinterInfo);
  names_.AddObject("Default", new TppPrinterInfo("Default", false, nullptr, nullptr, nullptr));

  const bool nt = IsNT();
  const win::DWORD flags = nt ? (win::PRINTER_ENUM_LOCAL | win::PRINTER_ENUM_CONNECTIONS) : win::PRINTER_ENUM_LOCAL;
  const win::DWORD level = nt ? 4 : 5;
  win::DWORD needed = 0, returned = 0;
  win::EnumPrintersA(flags, nullptr, level, nullptr, 0, &needed, &returned);
  if (needed > 0) {
    std::vector<win::BYTE> buf(needed);
    if (win::EnumPrintersA(flags, nullptr, level, buf.data(), needed, &needed, &returned)) {
      for (win::DWORD i = 0; i < returned; ++i) {
        if (level == 4) {
          win::PRINTER_INFO_4A e;
          std::memcpy(&e, buf.data() + i * sizeof e, sizeof e);
          auto* info = new TppPrinterInfo(e.pPrinterName, false, nullptr, e.pPrinterName, nullptr);
          info->SetNetwork(e.Attributes != win::PRINTER_ATTRIBUTE_NETWORK);
          names_.AddObject(e.pPrinterName, info);
        } else {
          win::PRINTER_INFO_5A e;
          std::memcpy(&e, buf.data() + i * sizeof e, sizeof e);
          for (const auto& port : SplitCommaList(e.pPortName ? e.pPortName : "")) {
            auto* info = new TppPrinterInfo(e.pPrinterName, false, nullptr, e.pPrinterName, port.c_str());
            info->SetNetwork(e.Attributes != win::PRINTER_ATTRIBUTE_NETWORK);
            names_.AddObject(e.pPrinterName, info);
          }
        }
      }
    }
  }
  ReadDefaultPrinter();
}

std::string TppPrinterList::FindNameByDevice(const std::string& device) {
  TppLockGuard guard(lock_);
  for (int i = 0; i < names_.Count(); ++i) {
    auto* info = static_cast<TppPrinterInfo*>(names_.Objects(i));
    // An entry without a device (the "Default" entry) stands for no device.
    if (info->Device() && !info->Device()->empty() && *info->Device() == device) return names_[i];
  }
  return "";
}

void TppPrinterList::ReadDefaultPrinter() {
  TppLockGuard guard(lock_);
  std::string line = spool::GetProfileString("windows", "device", "");
  if (line.size() > 80) line.resize(80);
  std::string device = line.substr(0, line.find(','));
  if (device.empty()) device = "Screen";
  defaultPrinterName_ = FindNameByDevice(device);
}

TppPrinterInfo* TppPrinterList::GetPrinterInfo(const std::string& name) {
  TppLockGuard guard(lock_);
  auto lookUp = [&](const std::string& n) -> TppPrinterInfo* {
    if (n.empty()) return nullptr;
    int i = names_.IndexOf(n);
    return i >= 0 ? static_cast<TppPrinterInfo*>(names_.Objects(i)) : nullptr;
  };
  TppPrinterInfo* info = lookUp(cls::AnsiCompareText(name, "Default") == 0 ? defaultPrinterName_ : name);
  if (info) return info;
  // "<device> on <port>": the entry of that device.
  size_t on = name.find(" on");
  if (on != std::string::npos && on > 0) {
    info = lookUp(FindNameByDevice(name.substr(0, on)));
    if (info) return info;
  }
  if (!IsNT()) {
    for (int i = 0; i < names_.Count(); ++i) {
      auto* e = static_cast<TppPrinterInfo*>(names_.Objects(i));
      if (names_[i] != "Default" && !name.empty() && e->GetDescription() == name) return e;
    }
  }
  return lookUp(defaultPrinterName_);
}

int TppPrinterList::GetCount() {
  TppLockGuard guard(lock_);
  return names_.Count();
}

std::vector<std::string> TppPrinterList::PrinterNames() {
  TppLockGuard guard(lock_);
  std::vector<std::string> out;
  for (int i = 0; i < names_.Count(); ++i) out.push_back(names_[i]);
  return out;
}

std::string TppPrinterList::DefaultPrinterName() {
  TppLockGuard guard(lock_);
  return defaultPrinterName_;
}

// ---------------------------------------------------------------- unit globals

TppPrinterList* ppGetPrinterList() {
  if (!g_printerList) {
    TppLockGuard unit(ppPrintrUnitLock());
    if (!g_printerList) g_printerList = new TppPrinterList;
  }
  return g_printerList;
}

TppPrinter* ppGetGlobalPrinter() {
  if (!g_globalPrinter) {
    TppPrinterList* list = ppGetPrinterList();
    TppLockGuard unit(ppPrintrUnitLock());
    if (!g_globalPrinter && list->GetCount() > 2) g_globalPrinter = new TppPrinter;
  }
  return g_globalPrinter;
}

TppPrinterInfo* ppGetNoPrinterInfo() {
  if (!g_noPrinterInfo) {
    TppLockGuard unit(ppPrintrUnitLock());
    if (!g_noPrinterInfo) g_noPrinterInfo = new TppPrinterInfo("No Printer Installed", false, "None", "None", nullptr);
  }
  return g_noPrinterInfo;
}

void ppPrintrFinalize() {
  TppLockGuard unit(ppPrintrUnitLock());
  if (TppPrinter* p = g_globalPrinter.exchange(nullptr)) p->Free();
  if (TppPrinterList* l = g_printerList.exchange(nullptr)) l->Free();
  if (TppPrinterInfo* i = g_noPrinterInfo.exchange(nullptr)) i->Free();
}

// ---------------------------------------------------------------- printer setup

CLS_IMPLEMENT_CLASS(TppPrinterSetup)

namespace {
enum { mBottom, mLeft, mRight, mTop };
}

TppPrinterSetup::TppPrinterSetup(cls::TComponent* owner) : owner_(owner) {
  pageDef_ = new TppPageDef;
  workPageDef_ = new TppPageDef;
  if (cls::FormatSettings().DecimalSeparator == '.') {
    pageDef_->SetmmWidth(215900);
    pageDef_->SetmmHeight(279401);
  } else {
    pageDef_->SetmmWidth(210000);
    pageDef_->SetmmHeight(297000);
  }
  pageDef_->SetmmMarginLeft(6350);
  pageDef_->SetmmMarginRight(6350);
  pageDef_->SetmmMarginTop(6350);
  pageDef_->SetmmMarginBottom(6350);
  printerInfo_ = ppGetPrinterList()->GetPrinterInfo(printerName_);
}

TppPrinterSetup::~TppPrinterSetup() {
  delete pageDef_;
  delete workPageDef_;
}

cls::TObject* TppPrinterSetup::Printer() {
  TppPrinter* p = nullptr;
  if (OnGetPrinter) OnGetPrinter(p);
  return p;
}

TppPrinterCapabilities* TppPrinterSetup::Capabilities() {
  return (printerInfo_ ? printerInfo_ : ppGetNoPrinterInfo())->GetCapabilities();
}

bool TppPrinterSetup::Reading() { return owner_ && owner_->HasState(cls::csReading); }

bool TppPrinterSetup::NotificationsEnabled() {
  TppLockGuard g(lock_);
  return notify_ && !(owner_ && (owner_->HasState(cls::csLoading) || owner_->HasState(cls::csReading)));
}

bool TppPrinterSetup::NotifyFlag() {
  TppLockGuard g(lock_);
  return notify_;
}

void TppPrinterSetup::SetNotifyFlag(bool v) {
  TppLockGuard g(lock_);
  notify_ = v;
}

bool TppPrinterSetup::DoPageDefChanging(TppPageDef* newPageDef) {
  bool accept = true;
  if (OnPageDefChanging && NotificationsEnabled()) OnPageDefChanging(this, newPageDef, accept);
  return accept;
}

void TppPrinterSetup::DoPageDefChange() {
  if (OnPageDefChange && NotificationsEnabled()) OnPageDefChange(this);
}

void TppPrinterSetup::DoPrinterSetupChange() {
  if (OnPrinterSetupChange && NotificationsEnabled()) OnPrinterSetupChange(this);
}

std::string TppPrinterSetup::BinName() {
  TppLockGuard g(lock_);
  return binName_;
}

void TppPrinterSetup::SetBinName(const std::string& v) {
  TppLockGuard g(lock_);
  std::string name = cls::AnsiCompareText(v, "Current") == 0 ? "Default" : v;
  if (name == binName_) return;
  binName_ = name;
  DoPrinterSetupChange();
}

bool TppPrinterSetup::Collation() {
  TppLockGuard g(lock_);
  return collation_;
}

void TppPrinterSetup::SetCollation(bool v) {
  TppLockGuard g(lock_);
  if (v == collation_) return;
  collation_ = v;
  DoPrinterSetupChange();
}

int TppPrinterSetup::Copies() {
  TppLockGuard g(lock_);
  return copies_;
}

void TppPrinterSetup::SetCopies(int v) {
  TppLockGuard g(lock_);
  if (v < 1 || v == copies_) return;
  copies_ = v;
  DoPrinterSetupChange();
}

std::string TppPrinterSetup::DocumentName() {
  TppLockGuard g(lock_);
  return documentName_;
}

void TppPrinterSetup::SetDocumentName(const std::string& v) {
  TppLockGuard g(lock_);
  if (v == documentName_) return;
  documentName_ = v;
  DoPrinterSetupChange();
}

TppDuplexType TppPrinterSetup::Duplex() {
  TppLockGuard g(lock_);
  return duplex_;
}

void TppPrinterSetup::SetDuplex(TppDuplexType v) {
  TppLockGuard g(lock_);
  if (v == duplex_) return;
  duplex_ = v;
  DoPrinterSetupChange();
}

std::string TppPrinterSetup::OutputFileName() {
  TppLockGuard g(lock_);
  return outputFileName_;
}

void TppPrinterSetup::SetOutputFileName(const std::string& v) {
  TppLockGuard g(lock_);
  outputFileName_ = v;
}

float TppPrinterSetup::GetMargin(int which) {
  TppLockGuard g(lock_);
  switch (which) {
    case mBottom: return ConvertFromMMThousandths(pageDef_->mmMarginBottom(), units_, ppVertical, Printer());
    case mLeft: return ConvertFromMMThousandths(pageDef_->mmMarginLeft(), units_, ppHorizontal, Printer());
    case mRight: return ConvertFromMMThousandths(pageDef_->mmMarginRight(), units_, ppHorizontal, Printer());
    default: return ConvertFromMMThousandths(pageDef_->mmMarginTop(), units_, ppVertical, Printer());
  }
}

void TppPrinterSetup::SetMargin(int which, float v) {
  TppLockGuard g(lock_);
  if (v < 0) return;
  bool vertical = which == mBottom || which == mTop;
  int32_t t = ConvertToMMThousandths(v, units_, vertical ? ppVertical : ppHorizontal, Printer());
  workPageDef_->Assign(pageDef_);
  switch (which) {
    case mBottom: workPageDef_->SetmmMarginBottom(t); break;
    case mLeft: workPageDef_->SetmmMarginLeft(t); break;
    case mRight: workPageDef_->SetmmMarginRight(t); break;
    default: workPageDef_->SetmmMarginTop(t); break;
  }
  if (!DoPageDefChanging(workPageDef_)) return;
  pageDef_->Assign(workPageDef_);
  DoPageDefChange();
}

float TppPrinterSetup::MarginBottom() { return GetMargin(mBottom); }
void TppPrinterSetup::SetMarginBottom(float v) { SetMargin(mBottom, v); }
float TppPrinterSetup::MarginLeft() { return GetMargin(mLeft); }
void TppPrinterSetup::SetMarginLeft(float v) { SetMargin(mLeft, v); }
float TppPrinterSetup::MarginRight() { return GetMargin(mRight); }
void TppPrinterSetup::SetMarginRight(float v) { SetMargin(mRight, v); }
float TppPrinterSetup::MarginTop() { return GetMargin(mTop); }
void TppPrinterSetup::SetMarginTop(float v) { SetMargin(mTop, v); }

TPrinterOrientation TppPrinterSetup::Orientation() {
  TppLockGuard g(lock_);
  return orientation_;
}

void TppPrinterSetup::SetOrientation(TPrinterOrientation v) {
  TppLockGuard g(lock_);
  if (v == orientation_) return;
  workPageDef_->Assign(pageDef_);
  workPageDef_->SetmmWidth(pageDef_->mmHeight());
  workPageDef_->SetmmHeight(pageDef_->mmWidth());
  if (!DoPageDefChanging(workPageDef_)) return;
  orientation_ = v;
  int32_t w = pageDef_->mmWidth();
  pageDef_->SetmmWidth(pageDef_->mmHeight());
  pageDef_->SetmmHeight(w);
  DoPageDefChange();
}

float TppPrinterSetup::PaperHeight() {
  TppLockGuard g(lock_);
  return ConvertFromMMThousandths(pageDef_->mmHeight(), units_, ppVertical, Printer());
}

float TppPrinterSetup::PaperWidth() {
  TppLockGuard g(lock_);
  return ConvertFromMMThousandths(pageDef_->mmWidth(), units_, ppHorizontal, Printer());
}

void TppPrinterSetup::SetPaperHeight(float v) {
  TppLockGuard g(lock_);
  if (Reading()) {
    deferredHeight_ = v;
    return;
  }
  if (v < 0) return;
  workPageDef_->Assign(pageDef_);
  workPageDef_->SetmmHeight(ConvertToMMThousandths(v, units_, ppVertical, Printer()));
  if (!DoPageDefChanging(workPageDef_)) return;
  pageDef_->Assign(workPageDef_);
  paperName_ = FindPaperName(PaperWidth(), PaperHeight());
  DoPageDefChange();
}

void TppPrinterSetup::SetPaperWidth(float v) {
  TppLockGuard g(lock_);
  if (Reading()) {
    deferredWidth_ = v;
    return;
  }
  if (v < 0) return;
  workPageDef_->Assign(pageDef_);
  workPageDef_->SetmmWidth(ConvertToMMThousandths(v, units_, ppHorizontal, Printer()));
  if (!DoPageDefChanging(workPageDef_)) return;
  pageDef_->Assign(workPageDef_);
  paperName_ = FindPaperName(PaperWidth(), PaperHeight());
  DoPageDefChange();
}

void TppPrinterSetup::UpdatePageDefSize() {
  TppLockGuard g(lock_);
  // Negative sizes are dropped here as the setters drop them.
  if (deferredHeight_ && *deferredHeight_ >= 0)
    pageDef_->SetmmHeight(ConvertToMMThousandths(*deferredHeight_, units_, ppVertical, Printer()));
  if (deferredWidth_ && *deferredWidth_ >= 0)
    pageDef_->SetmmWidth(ConvertToMMThousandths(*deferredWidth_, units_, ppHorizontal, Printer()));
  deferredHeight_.reset();
  deferredWidth_.reset();
}

void TppPrinterSetup::SetStoredPaperCode(int code) {
  TppLockGuard g(lock_);
  storedPaperCode_ = code;
}

std::string TppPrinterSetup::PaperName() {
  TppLockGuard g(lock_);
  if (storedPaperCode_ != 0) {
    if (printerInfo_) {
      TppPrinterCapabilities* caps = Capabilities();
      int i = caps->PaperCodes.IndexOf(Str(storedPaperCode_));
      if (i >= 0 && i < caps->PaperNames.Count()) paperName_ = caps->PaperNames[i];
    }
    storedPaperCode_ = 0;
  }
  if (paperName_ == "Custom") paperName_ = FindPaperName(PaperWidth(), PaperHeight());
  return paperName_;
}

void TppPrinterSetup::SetPaperName(const std::string& v) {
  TppLockGuard g(lock_);
  if (!NotificationsEnabled() || v == "Custom") {
    paperName_ = v;
    return;
  }
  // A paper the printer does not know changes nothing.
  if (Capabilities()->PaperNames.IndexOf(v) < 0) return;
  TPrinterOrientation orientation = orientation_;
  if (v.find("Envelope") != std::string::npos) orientation_ = poLandscape;
  float w, h;
  GetPaperSizeOfName(v, w, h);
  workPageDef_->Assign(pageDef_);
  workPageDef_->SetmmWidth(ConvertToMMThousandths(w, units_, ppHorizontal, Printer()));
  workPageDef_->SetmmHeight(ConvertToMMThousandths(h, units_, ppVertical, Printer()));
  if (!DoPageDefChanging(workPageDef_)) {
    orientation_ = orientation;
    return;
  }
  paperName_ = v;
  pageDef_->SetmmWidth(workPageDef_->mmWidth());
  pageDef_->SetmmHeight(workPageDef_->mmHeight());
  DoPageDefChange();
}

std::string TppPrinterSetup::PrinterName() {
  TppLockGuard g(lock_);
  return printerName_;
}

void TppPrinterSetup::SetPrinterName(const std::string& value) {
  TppLockGuard g(lock_);
  std::string v = cls::AnsiCompareText(value, "Current") == 0 ? "Default" : value;
  bool enabled = NotificationsEnabled();
  int code = enabled ? GetPaperSizeCode() : 0;
  TppPrinterInfo* info = ppGetPrinterList()->GetPrinterInfo(v);
  if (!info) return;
  if (cls::AnsiCompareText(v, "Default") != 0) v = info->Name();
  printerName_ = v;
  printerInfo_ = info;
  if (!enabled) return;
  std::string name;
  if (code > 0 && code != 256) {
    TppPrinterCapabilities* caps = Capabilities();
    int i = caps->PaperCodes.IndexOf(Str(code));
    if (i >= 0 && i < caps->PaperNames.Count()) name = caps->PaperNames[i];
  }
  if (name.empty()) name = FindPaperName(PaperWidth(), PaperHeight());
  paperName_ = name;
  DoPrinterSetupChange();
}

TppPrinterInfo* TppPrinterSetup::PrinterInfo() {
  TppLockGuard g(lock_);
  return printerInfo_;
}

TppUnitType TppPrinterSetup::Units() {
  TppLockGuard g(lock_);
  return units_;
}

void TppPrinterSetup::SetUnits(TppUnitType v) {
  TppLockGuard g(lock_);
  if (v == units_) return;
  units_ = v;
  if (NotificationsEnabled() && paperName_ != "Custom" && Capabilities()->PaperNames.IndexOf(paperName_) >= 0) {
    float w, h;
    GetPaperSizeOfName(paperName_, w, h);
    pageDef_->SetmmWidth(ConvertToMMThousandths(w, units_, ppHorizontal, Printer()));
    pageDef_->SetmmHeight(ConvertToMMThousandths(h, units_, ppVertical, Printer()));
    DoPageDefChange();
  }
}

std::vector<std::string> TppPrinterSetup::PrinterNames() {
  TppLockGuard g(lock_);
  return ppGetPrinterList()->PrinterNames();
}

static std::vector<std::string> ListOf(const cls::TStringList& l) {
  std::vector<std::string> out;
  for (int i = 0; i < l.Count(); ++i) out.push_back(l[i]);
  return out;
}

std::vector<std::string> TppPrinterSetup::BinNames() {
  TppLockGuard g(lock_);
  return ListOf(Capabilities()->BinNames);
}

std::vector<std::string> TppPrinterSetup::PaperNames() {
  TppLockGuard g(lock_);
  return ListOf(Capabilities()->PaperNames);
}

std::string TppPrinterSetup::PrinterDescription() {
  TppLockGuard g(lock_);
  return printerInfo_ ? printerInfo_->GetDescription() : "";
}

float TppPrinterSetup::PrintableHeight() {
  TppLockGuard g(lock_);
  return ConvertFromMMThousandths(pageDef_->GetPrintableHeight(), units_, ppVertical, Printer());
}

float TppPrinterSetup::PrintableWidth() {
  TppLockGuard g(lock_);
  return ConvertFromMMThousandths(pageDef_->GetPrintableWidth(), units_, ppHorizontal, Printer());
}

int TppPrinterSetup::GetPaperSizeCode() {
  TppLockGuard g(lock_);
  if (!printerInfo_) return 0;
  TppPrinterCapabilities* caps = Capabilities();
  int pos = caps->PaperNames.IndexOf(paperName_);
  if (pos <= 0) pos = caps->PaperNames.IndexOf(FindPaperName(PaperWidth(), PaperHeight()));
  if (pos >= 0 && pos < caps->PaperCodes.Count()) return StrToIntDef(caps->PaperCodes[pos], 256);
  return 256;
}

std::string TppPrinterSetup::FindPaperName(float width, float height) {
  TppLockGuard g(lock_);
  if (!printerInfo_) return paperName_;
  int w = ToTenthsMM(width, units_, ppHorizontal, Printer());
  int h = ToTenthsMM(height, units_, ppVertical, Printer());
  if (orientation_ == poLandscape) std::swap(w, h);
  TppPrinterCapabilities* caps = Capabilities();
  int n = std::min({caps->PaperNames.Count(), caps->PaperWidths.Count(), caps->PaperHeights.Count()});
  for (int i = 0; i < n; ++i) {
    int cw = StrToIntDef(caps->PaperWidths[i], 0), ch = StrToIntDef(caps->PaperHeights[i], 0);
    if (std::abs(ch - h) < 11 && std::abs(cw - w) < 11) return caps->PaperNames[i];
  }
  return "Custom";
}

void TppPrinterSetup::GetPaperSizeOfName(const std::string& name, float& width, float& height) {
  TppLockGuard g(lock_);
  width = height = 0;
  TppPrinterCapabilities* caps = Capabilities();
  int i = caps->PaperNames.IndexOf(name);
  if (i < 0 || i >= caps->PaperWidths.Count() || i >= caps->PaperHeights.Count()) return;
  int w = StrToIntDef(caps->PaperWidths[i], 0), h = StrToIntDef(caps->PaperHeights[i], 0);
  if (orientation_ == poLandscape) std::swap(w, h);
  width = FromTenthsMM(w, units_, ppHorizontal, Printer());
  height = FromTenthsMM(h, units_, ppVertical, Printer());
}

std::string TppPrinterSetup::GetResolvedPrinterName() {
  TppLockGuard g(lock_);
  if (cls::AnsiCompareText(printerName_, "Default") == 0) return ppGetPrinterList()->DefaultPrinterName();
  return printerName_;
}

void TppPrinterSetup::Assign(cls::TPersistent* source) {
  auto* s = cls::ObjectAs<TppPrinterSetup>(source);
  if (!s) {
    inherited::Assign(source);
    return;
  }
  if (s == this) return;
  TppLockGuard g(lock_);
  TppLockGuard gs(s->lock_);
  collation_ = s->collation_;
  copies_ = s->copies_;
  documentName_ = s->documentName_;
  outputFileName_ = s->outputFileName_;
  printerName_ = s->printerName_;
  printerInfo_ = ppGetPrinterList()->GetPrinterInfo(printerName_);
  duplex_ = s->duplex_;
  orientation_ = s->orientation_;
  pageDef_->Assign(s->pageDef_);
  paperName_ = s->paperName_;
  binName_ = s->binName_;
  units_ = s->units_;
  storedPaperCode_ = 0;
}

void TppPrinterSetup::DefineProperties(cls::TFiler* filer) {
  inherited::DefineProperties(filer);
  using Set = void (TppPageDef::*)(int32_t);
  using Get = int32_t (TppPageDef::*)() const;
  struct Item {
    const char* name;
    Get get;
    Set set;
  };
  static const Item items[] = {{"mmMarginBottom", &TppPageDef::mmMarginBottom, &TppPageDef::SetmmMarginBottom},
                               {"mmMarginLeft", &TppPageDef::mmMarginLeft, &TppPageDef::SetmmMarginLeft},
                               {"mmMarginRight", &TppPageDef::mmMarginRight, &TppPageDef::SetmmMarginRight},
                               {"mmMarginTop", &TppPageDef::mmMarginTop, &TppPageDef::SetmmMarginTop},
                               {"mmPaperHeight", &TppPageDef::mmHeight, &TppPageDef::SetmmHeight},
                               {"mmPaperWidth", &TppPageDef::mmWidth, &TppPageDef::SetmmWidth}};
  TppPageDef* pd = pageDef_;
  TppLock* lock = &lock_;
  for (const Item& it : items) {
    Get get = it.get;
    Set set = it.set;
    filer->DefineProperty(
        it.name,
        [pd, lock, set](cls::TReader& r) {
          TppLockGuard g(*lock);
          (pd->*set)(static_cast<int32_t>(r.ReadInteger()));
        },
        [pd, lock, get](cls::TWriter& w) {
          TppLockGuard g(*lock);
          w.WriteInteger((pd->*get)());
        },
        true);
  }
  filer->DefineProperty(
      "PaperSize", [this](cls::TReader& r) { SetStoredPaperCode(static_cast<int>(r.ReadInteger())); },
      [this](cls::TWriter& w) { w.WriteInteger(GetPaperSizeCode()); }, true);
}

bool TppPrinterSetup::IsEqual(TppPrinterSetup* o) {
  if (!o) return false;
  TppLockGuard g(lock_);
  return GetResolvedPrinterName() == o->GetResolvedPrinterName() && binName_ == o->BinName() &&
         collation_ == o->Collation() && copies_ == o->Copies() && documentName_ == o->DocumentName() &&
         outputFileName_ == o->OutputFileName() && duplex_ == o->Duplex() && orientation_ == o->Orientation() &&
         pageDef_->IsEqual(o->PageDef());
}

bool TppPrinterSetup::MatchesPaper(TppPrinterSetup* o) {
  if (!o) return false;
  TppLockGuard g(lock_);
  return GetResolvedPrinterName() == o->GetResolvedPrinterName() && orientation_ == o->Orientation() &&
         PaperName() == o->PaperName();
}

void TppPrinterSetup::RegisterProperties() {
  static std::once_flag once;
  std::call_once(once, [] {
    using S = TppPrinterSetup;
    auto& c = S::StaticClass();
    auto str = [&](const char* name, std::string (S::*get)(), void (S::*set)(const std::string&)) {
      cls::TPropInfo p;
      p.Name = name;
      p.Type = cls::TypeInfoString();
      p.GetStr = [get](cls::TObject* o) { return (static_cast<S*>(o)->*get)(); };
      p.SetStr = [set](cls::TObject* o, const std::string& v) { (static_cast<S*>(o)->*set)(v); };
      cls::PublishProperty(c, p);
    };
    auto flt = [&](const char* name, float (S::*get)(), void (S::*set)(float)) {
      cls::TPropInfo p;
      p.Name = name;
      p.Type = cls::TypeInfoFloat();
      p.GetFloat = [get](cls::TObject* o) { return static_cast<double>((static_cast<S*>(o)->*get)()); };
      p.SetFloat = [set](cls::TObject* o, double v) { (static_cast<S*>(o)->*set)(static_cast<float>(v)); };
      cls::PublishProperty(c, p);
    };
    auto ord = [&](const char* name, const cls::TTypeInfo* type, int64_t def, auto get, auto set) {
      cls::TPropInfo p;
      p.Name = name;
      p.Type = type;
      p.GetOrd = [get](cls::TObject* o) { return static_cast<int64_t>(get(static_cast<S*>(o))); };
      p.SetOrd = [set](cls::TObject* o, int64_t v) { set(static_cast<S*>(o), v); };
      p.HasDefault = true;
      p.Default = def;
      cls::PublishProperty(c, p);
    };
    str("BinName", &S::BinName, &S::SetBinName);
    ord("Collation", cls::TypeInfoBoolean(), 1, [](S* s) { return s->Collation(); },
        [](S* s, int64_t v) { s->SetCollation(v != 0); });
    ord("Copies", cls::TypeInfoInteger(), 1, [](S* s) { return s->Copies(); },
        [](S* s, int64_t v) { s->SetCopies(static_cast<int>(v)); });
    str("DocumentName", &S::DocumentName, &S::SetDocumentName);
    ord("Duplex", ppEnumTypeInfo<TppDuplexType>(), 0, [](S* s) { return s->Duplex(); },
        [](S* s, int64_t v) { s->SetDuplex(static_cast<TppDuplexType>(v)); });
    flt("MarginBottom", &S::MarginBottom, &S::SetMarginBottom);
    flt("MarginLeft", &S::MarginLeft, &S::SetMarginLeft);
    flt("MarginRight", &S::MarginRight, &S::SetMarginRight);
    flt("MarginTop", &S::MarginTop, &S::SetMarginTop);
    ord("Orientation", ppEnumTypeInfo<TPrinterOrientation>(), 0, [](S* s) { return s->Orientation(); },
        [](S* s, int64_t v) { s->SetOrientation(v == 1 ? poLandscape : poPortrait); });
    flt("PaperHeight", &S::PaperHeight, &S::SetPaperHeight);
    str("PaperName", &S::PaperName, &S::SetPaperName);
    flt("PaperWidth", &S::PaperWidth, &S::SetPaperWidth);
    str("PrinterName", &S::PrinterName, &S::SetPrinterName);
  });
}

// ---------------------------------------------------------------- printer canvas

void TppPrinterCanvas::CreateHandle() {
  SetHandle(printer_->OpenPrinterDC());
  UpdateFont();
}

void TppPrinterCanvas::Changing() { UpdateFont(); }

void TppPrinterCanvas::UpdateFont() {
  int x = 0, y = 0;
  printer_->GetPixelsPerInch(x, y);
  if (y > 0 && Font.PixelsPerInch() != y) {
    int size = Font.Size();
    Font.SetPixelsPerInch(y);
    Font.SetSize(size);
  }
  if (!printer_->IsColor() && Font.Color() != gdi::clBlack && Font.Color() != gdi::clWhite)
    Font.SetColor(gdi::clBlack);
}

// ---------------------------------------------------------------- printer object

CLS_IMPLEMENT_CLASS(TppCustomPrinter)

TppCustomPrinter::TppCustomPrinter() = default;

TppCustomPrinter::~TppCustomPrinter() {
  delete canvas_;
  canvas_ = nullptr;
  // A job still open is given up rather than left behind half written.
  if (printing_ && dc_) win::AbortDoc(dc_);
  printing_ = false;
  FreeHandles();
}

void TppCustomPrinter::FreeDC() {
  if (canvas_) canvas_->SetHandle(nullptr);
  if (dc_) {
    if (screenDC_)
      win::ReleaseDC(nullptr, dc_);
    else
      win::DeleteDC(dc_);
  }
  dc_ = nullptr;
  screenDC_ = false;
}

void TppCustomPrinter::FreeHandles() {
  TppLockGuard g(lock_);
  if (printing_) return;
  FreeDC();
  devMode_.reset();
  if (spooler_) win::ClosePrinter(spooler_);
  spooler_ = nullptr;
}

TppPrinterInfo* TppCustomPrinter::GetPrinterInfo() {
  TppLockGuard g(lock_);
  return printerInfo_;
}

TppPrinterCapabilities* TppCustomPrinter::GetCapabilities() {
  TppLockGuard g(lock_);
  return (printerInfo_ ? printerInfo_ : ppGetNoPrinterInfo())->GetCapabilities();
}

TppPrinterCanvas* TppCustomPrinter::GetCanvas() {
  TppLockGuard g(lock_);
  if (!canvas_) canvas_ = new TppPrinterCanvas(this);
  return canvas_;
}

std::string TppCustomPrinter::GetPrinterName() {
  TppLockGuard g(lock_);
  return printerName_;
}

void TppCustomPrinter::SetPrinterName(const std::string& name) {
  TppLockGuard g(lock_);
  if (printing_) return;
  TppPrinterList* list = ppGetPrinterList();
  if (cls::AnsiCompareText(name, "Default") == 0) list->ReadDefaultPrinter();
  TppPrinterInfo* info = list->GetPrinterInfo(name);
  if (!info || !info->Usable()) info = list->GetPrinterInfo("Screen");
  if (info == printerInfo_) return;
  FreeHandles();
  printerName_ = info->Name();
  printerInfo_ = info;
}

win::HDC TppCustomPrinter::OpenPrinterDC() {
  TppLockGuard g(lock_);
  if (dc_) return dc_;
  TppPrinterInfo* info = ppGetPrinterList()->GetPrinterInfo(printerName_);
  if (!info || !info->Usable()) return nullptr;
  if (!ObjectIs<TppScreenPrinterInfo>(info)) {
    const char* driver = info->Driver() ? info->Driver()->c_str() : nullptr;
    const char* device = info->Device() ? info->Device()->c_str() : nullptr;
    const char* port = info->Port() ? info->Port()->c_str() : nullptr;
    dc_ = printing_ ? win::CreateDCA(driver, device, port, GetDevModePointer())
                    : win::CreateICA(driver, device, port, GetDevModePointer());
  } else {
    if (printing_) throw EPrintError("Screen printer does not support printing.");
    dc_ = win::GetDC(nullptr);
    screenDC_ = dc_ != nullptr;
  }
  if (!dc_) {
    info->SetUsable(false);
    if (!printing_ && printerName_ != "Screen") {
      SetPrinterName("Screen");
      return OpenPrinterDC();
    }
    return nullptr;
  }
  if (canvas_) canvas_->SetHandle(dc_);
  UpdateMetrics();
  return dc_;
}

bool TppCustomPrinter::OpenSpooler() {
  if (spooler_) return true;
  TppPrinterInfo* info = ppGetPrinterList()->GetPrinterInfo(printerName_);
  if (!info || !info->Device()) return false;
  return win::OpenPrinterA(info->Device()->c_str(), &spooler_, nullptr);
}

const win::DEVMODEA* TppCustomPrinter::GetDevMode() { return GetDevModePointer(); }

win::DEVMODEA* TppCustomPrinter::GetDevModePointer() {
  TppLockGuard g(lock_);
  if (devMode_) return devMode_.get();
  TppPrinterInfo* info = ppGetPrinterList()->GetPrinterInfo(printerName_);
  if (!info || !info->Device() || !OpenSpooler()) return nullptr;
  const char* device = info->Device()->c_str();
  long size = win::DocumentPropertiesA(nullptr, spooler_, device, nullptr, nullptr, 0);
  if (size <= 0 || size < static_cast<long>(sizeof(win::DEVMODEA))) return nullptr;
  auto mode = std::make_unique<win::DEVMODEA>();
  std::memset(mode.get(), 0, sizeof(win::DEVMODEA));
  if (win::DocumentPropertiesA(nullptr, spooler_, device, mode.get(), nullptr, win::DM_OUT_BUFFER) > 0) {
    defaultBin_ = mode->dmDefaultSource;
    devMode_ = std::move(mode);
  }
  return devMode_.get();
}

std::optional<win::DEVMODEA> TppCustomPrinter::GetDevModeCopy() {
  TppLockGuard g(lock_);
  if (const win::DEVMODEA* m = GetDevModePointer()) return *m;
  return std::nullopt;
}

void TppCustomPrinter::SetDevMode(const win::DEVMODEA& mode) {
  TppLockGuard g(lock_);
  if (printing_)
    devModePending_ = true;
  else
    FreeDC();
  devMode_ = std::make_unique<win::DEVMODEA>(mode);
}

bool TppCustomPrinter::ShowPropertiesDialog() {
  TppLockGuard g(lock_);
  std::optional<win::DEVMODEA> copy = GetDevModeCopy();
  TppPrinterInfo* info = ppGetPrinterList()->GetPrinterInfo(printerName_);
  if (!copy || !info || !info->Device()) return false;
  long result = win::DocumentPropertiesA(nullptr, spooler_, info->Device()->c_str(), &*copy, &*copy,
                                         win::DM_IN_BUFFER | win::DM_OUT_BUFFER | win::DM_IN_PROMPT);
  // Only OK confirms; Cancel answers a positive value too.
  bool confirmed = result == win::IDOK_;
  if (confirmed) {
    SetDevMode(*copy);
    if (OnDevModeChange) OnDevModeChange(this);
  }
  return confirmed;
}

void TppCustomPrinter::AddOrUpdateForm(const std::string& name, win::SIZEL size, win::RECTL area) {
  TppLockGuard g(lock_);
  if (!IsNT() || !OpenSpooler()) return;
  std::string n = name;
  win::FORM_INFO_1A form{0, n.data(), size, area};
  win::DWORD needed = 0;
  win::GetFormA(spooler_, n.c_str(), 1, nullptr, 0, &needed);
  std::vector<win::BYTE> buf(std::max<win::DWORD>(needed, 1));
  if (needed > 0 && win::GetFormA(spooler_, n.c_str(), 1, buf.data(), needed, &needed)) {
    win::FORM_INFO_1A old;
    std::memcpy(&old, buf.data(), sizeof old);
    bool sameSize = old.Size.cx == size.cx && old.Size.cy == size.cy;
    bool sameArea = old.ImageableArea.left == area.left && old.ImageableArea.top == area.top &&
                    old.ImageableArea.right == area.right && old.ImageableArea.bottom == area.bottom;
    if (!sameSize || !sameArea) win::SetFormA(spooler_, n.c_str(), 1, &form);
  } else {
    win::AddFormA(spooler_, 1, &form);
  }
}

void TppCustomPrinter::UpdateMetrics() {
  TppLockGuard g(lock_);
  if (!dc_) return;
  ppiX_ = win::GetDeviceCaps(dc_, win::LOGPIXELSX);
  ppiY_ = win::GetDeviceCaps(dc_, win::LOGPIXELSY);
  physicalWidth_ = win::GetDeviceCaps(dc_, win::PHYSICALWIDTH);
  physicalHeight_ = win::GetDeviceCaps(dc_, win::PHYSICALHEIGHT);
  horzRes_ = win::GetDeviceCaps(dc_, win::HORZRES);
  vertRes_ = win::GetDeviceCaps(dc_, win::VERTRES);
  offsetX_ = win::GetDeviceCaps(dc_, win::PHYSICALOFFSETX);
  offsetY_ = win::GetDeviceCaps(dc_, win::PHYSICALOFFSETY);
  unprintableRight_ = physicalWidth_ - offsetX_ - horzRes_;
  unprintableBottom_ = physicalHeight_ - offsetY_ - vertRes_;
  isColor_ = !(IsNT() && win::GetDeviceCaps(dc_, win::SIZEPALETTE) == 2 && win::GetDeviceCaps(dc_, win::NUMCOLORS) == 2);
}

bool TppCustomPrinter::IsColor() {
  TppLockGuard g(lock_);
  OpenPrinterDC();
  return isColor_;
}

void TppCustomPrinter::GetPixelsPerInch(int& x, int& y) {
  TppLockGuard g(lock_);
  if (dc_) {
    x = ppiX_;
    y = ppiY_;
  } else {
    x = y = cls::Screen().PixelsPerInch;
  }
}

void TppCustomPrinter::GetPageOffsets(int& left, int& top, int& right, int& bottom) {
  TppLockGuard g(lock_);
  left = offsetX_, top = offsetY_, right = unprintableRight_, bottom = unprintableBottom_;
}

int TppCustomPrinter::PhysicalWidth() { TppLockGuard g(lock_); return physicalWidth_; }
int TppCustomPrinter::PhysicalHeight() { TppLockGuard g(lock_); return physicalHeight_; }
int TppCustomPrinter::PrintableWidth() { TppLockGuard g(lock_); return horzRes_; }
int TppCustomPrinter::PrintableHeight() { TppLockGuard g(lock_); return vertRes_; }
int TppCustomPrinter::PageNumber() { TppLockGuard g(lock_); return pageNumber_; }
bool TppCustomPrinter::Printing() { TppLockGuard g(lock_); return printing_; }
bool TppCustomPrinter::PageOpen() { TppLockGuard g(lock_); return pageOpen_; }
int TppCustomPrinter::DefaultBin() { TppLockGuard g(lock_); return defaultBin_; }

void TppCustomPrinter::ResetDevice() {
  TppLockGuard g(lock_);
  win::HDC dc = GetCanvas()->Handle();
  if (!dc) dc = OpenPrinterDC();
  if (dc && !screenDC_) {
    if (win::DEVMODEA* mode = GetDevModePointer()) {
      win::HDC r = win::ResetDCA(dc, mode);
      if (r) dc_ = r;
    }
  }
  devModePending_ = false;
  UpdateMetrics();
  if (canvas_) canvas_->UpdateFont();
}

// A job step that failed: the job is given up and the printer is idle again.
// The message names the job's own cause (the cairo, file or command text)
// where the device kept one, else the system's text for the last error.
void TppCustomPrinter::FailJob(const std::string& operation, const std::string& what) {
  win::DWORD error = win::GetLastError();
  std::string cause = dc_ ? gdi::DocumentError(dc_) : std::string();
  if (cause.empty()) cause = win::SysErrorMessage(error);
  if (dc_ && printing_) win::AbortDoc(dc_);
  printing_ = false;
  pageOpen_ = false;
  pageNumber_ = 0;
  FreeDC();
  throw EPrintError("TppCustomPrinter." + operation + ": " + what + " on printer " + printerName_ + " (" +
                    cause + ").");
}

void TppCustomPrinter::BeginDoc() {
  TppLockGuard g(lock_);
  if (printing_) return;
  printing_ = true;
  pageNumber_ = 0;
  pageOpen_ = false;
  FreeDC();
  try {
    ResetDevice();
  } catch (...) {
    printing_ = false;
    FreeDC();
    throw;
  }
  win::DOCINFOA info;
  info.cbSize = 20;
  info.lpszDocName = documentName_.c_str();
  info.lpszOutput = outputFileName_.empty() ? nullptr : outputFileName_.c_str();
  if (!dc_ || win::StartDocA(dc_, &info) <= 0) FailJob("BeginDoc", "the document could not be started");
}

void TppCustomPrinter::NewPage() {
  TppLockGuard g(lock_);
  if (!printing_ || pageOpen_) return;
  pageOpen_ = true;
  if (devModePending_) ResetDevice();
  if (win::StartPage(dc_) <= 0) FailJob("NewPage", "the page could not be started");
  ++pageNumber_;
  if (canvas_) canvas_->UpdateFont();
}

void TppCustomPrinter::EndPage() {
  TppLockGuard g(lock_);
  if (!pageOpen_) return;
  pageOpen_ = false;
  if (win::EndPage(dc_) <= 0) FailJob("EndPage", "the page could not be printed");
}

void TppCustomPrinter::EndDoc() {
  TppLockGuard g(lock_);
  if (!printing_) return;
  EndPage();
  if (win::EndDoc(dc_) <= 0) FailJob("EndDoc", "the document could not be finished");
  FreeDC();
  printing_ = false;
  pageOpen_ = false;
  pageNumber_ = 0;
}

// ---------------------------------------------------------------- TppPrinter

CLS_IMPLEMENT_CLASS(TppPrinter)

TppPrinter::TppPrinter() {
  setup_ = new TppPrinterSetup(nullptr);
  setup_->OnPageDefChange = cls::TNotifyEvent(this, &TppPrinter::SetupChanged);
  setup_->OnPrinterSetupChange = cls::TNotifyEvent(this, &TppPrinter::SetupChanged);
  setup_->OnGetPrinter = TppGetPrinterEvent(this, &TppPrinter::GetSelf);
}

TppPrinter::~TppPrinter() { delete setup_; }

void TppPrinter::GetSelf(TppPrinter*& aPrinter) { aPrinter = this; }

void TppPrinter::SetupChanged(cls::TObject*) {
  TppLockGuard g(lock_);
  ApplySetup();
}

void TppPrinter::SetPrinterSetup(TppPrinterSetup* setup) {
  if (!setup) return;
  TppLockGuard g(lock_);
  TppPrinterInfo* info = GetPrinterInfo();
  bool differs = !info || info->Name() != setup->GetResolvedPrinterName() || !setup_->IsEqual(setup);
  if (!differs) return;
  if (!Printing() && setup_->PrinterName() != setup->PrinterName()) setup_->SetPrinterName(setup->PrinterName());
  setup_->SetNotifyFlag(false);
  setup_->Assign(setup);
  ApplySetup();
  setup_->SetNotifyFlag(true);
}

void TppPrinter::GetCustomPaperSize(int& width, int& length) {
  TppLockGuard g(lock_);
  TppUnitType u = setup_->Units();
  width = ToTenthsMM(setup_->PaperWidth(), u, ppHorizontal, this);
  length = ToTenthsMM(setup_->PaperHeight(), u, ppVertical, this);
  if (setup_->Orientation() == poLandscape) std::swap(width, length);
}

void TppPrinter::ApplySetup() {
  TppLockGuard g(lock_);
  bool notify = setup_->NotifyFlag();
  setup_->SetNotifyFlag(false);
  SetPrinterName(setup_->PrinterName());
  documentName_ = setup_->DocumentName();
  outputFileName_ = setup_->OutputFileName();
  std::optional<win::DEVMODEA> copy = GetDevModeCopy();
  if (copy) {
    win::DEVMODEA& m = *copy;
    bool custom = setup_->PaperName() == "Custom";
    if (IsNT() && custom) {
      int32_t w = setup_->PageDef()->mmWidth(), h = setup_->PageDef()->mmHeight();
      if (setup_->Orientation() == poLandscape) std::swap(w, h);
      AddOrUpdateForm("Custom", {w, h}, {0, 0, w, h});
      std::memset(m.dmFormName, 0, sizeof m.dmFormName);
      std::strcpy(m.dmFormName, "Custom");
    }
    m.dmFields = win::DM_ORIENTATION | win::DM_PAPERSIZE | win::DM_COPIES | win::DM_DUPLEX;
    m.dmCopies = 1;
    m.dmDuplex = static_cast<short>(setup_->Duplex() + 1);
    m.dmOrientation = static_cast<short>(setup_->Orientation() + 1);
    int code = setup_->GetPaperSizeCode();
    m.dmPaperSize = static_cast<short>(code);
    if (custom || code == 256) {
      m.dmFields |= win::DM_PAPERLENGTH | win::DM_PAPERWIDTH;
      int w, l;
      GetCustomPaperSize(w, l);
      m.dmPaperWidth = static_cast<short>(std::clamp(w, 0, 32767));
      m.dmPaperLength = static_cast<short>(std::clamp(l, 0, 32767));
    }
    TppPrinterCapabilities* caps = GetCapabilities();
    int bin = caps->BinNames.IndexOf(setup_->BinName());
    if (bin >= 0 && bin < caps->BinCodes.Count()) {
      m.dmDefaultSource = static_cast<short>(setup_->BinName() == "Default" ? DefaultBin()
                                                                             : StrToIntDef(caps->BinCodes[bin], 0));
      m.dmFields |= win::DM_DEFAULTSOURCE;
    }
    SetDevMode(m);
  }
  setup_->SetNotifyFlag(notify);
}

TppPrinterSetup* TppPrinter::GetPrinterSetup() {
  TppLockGuard g(lock_);
  bool notify = setup_->NotifyFlag();
  setup_->SetNotifyFlag(false);
  std::optional<win::DEVMODEA> copy = GetDevModeCopy();
  if (copy) {
    const win::DEVMODEA& m = *copy;
    TppUnitType u = setup_->Units();
    if (m.dmFields & win::DM_DUPLEX) setup_->SetDuplex(static_cast<TppDuplexType>(std::clamp(m.dmDuplex - 1, 0, 2)));
    if (m.dmFields & win::DM_ORIENTATION) setup_->SetOrientation(m.dmOrientation == 2 ? poLandscape : poPortrait);
    bool landscape = setup_->Orientation() == poLandscape;
    if (m.dmFields & win::DM_PAPERSIZE) {
      TppPrinterCapabilities* caps = GetCapabilities();
      int i = caps->PaperCodes.IndexOf(Str(m.dmPaperSize));
      if (i >= 0 && i < caps->PaperNames.Count()) {
        int w, h;
        if (m.dmPaperSize == 256) {
          w = m.dmPaperWidth, h = m.dmPaperLength;
        } else {
          w = StrToIntDef(caps->PaperWidths[i], 0), h = StrToIntDef(caps->PaperHeights[i], 0);
        }
        if (landscape) std::swap(w, h);
        setup_->SetPaperName(caps->PaperNames[i]);
        setup_->SetPaperWidth(FromTenthsMM(w, u, ppHorizontal, this));
        setup_->SetPaperHeight(FromTenthsMM(h, u, ppVertical, this));
      }
    }
    if (m.dmFields & win::DM_DEFAULTSOURCE) {
      TppPrinterCapabilities* caps = GetCapabilities();
      int i = caps->BinCodes.IndexOf(Str(m.dmDefaultSource));
      if (m.dmDefaultSource != DefaultBin() && i >= 0 && i < caps->BinNames.Count())
        setup_->SetBinName(caps->BinNames[i]);
      else
        setup_->SetBinName("Default");
    }
  }
  setup_->SetNotifyFlag(notify);
  return setup_;
}
