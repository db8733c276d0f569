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

std::atomic<TppPrinterList*> g_printerList{nullptr};
std::atomic<TppPrinter*> g_globalPrinter{nullptr};
std::atomic<TppPrinterInfo*> g_noPrinterInfo{nullptr};
// Global printers a rebuild forgot; callers may still hold them.
std::vector<cls::Owned<TppPrinter>> g_retiredPrinters;

}  // namespace

TppLock& ppPrintrUnitLock() {
  static TppLock lock;
  return lock;
}

// ---------------------------------------------------------------- paper tables

namespace {

// Four names keep the four characters \275 where a half would stand.
constexpr TppPaper kPapers[] = {
    {1, "Letter 8 1/2 x 11 in", 8.5, 11, true},
    {2, "Letter 8 1/2 x 11 in", 8.5, 11, true},
    {3, "Tabloid 11 x 17 in", 11, 17, true},
    {4, "Ledger 17 x 11 in", 17, 11, true},
    {5, "Legal 8 12 x 14 in", 8.5, 14, true},
    {6, "Statement 5 1/2 x 8 12 in", 5.5, 8.5, true},
    {7, "Executive 7 14 x 10 1/2 in", 7.25, 10.5, true},
    {8, "A3 297 x 420 mm", 2970, 4200, false},
    {9, "A4 210 x 297 mm", 2100, 2970, false},
    {10, "A4 Small 210 x 297 mm", 2100, 2970, false},
    {11, "A5 148 x 210 mm", 1480, 2100, false},
    {12, "B4 (JIS) 250 x 354", 2500, 3540, false},
    {13, "B5 (JIS) 182 x 257 mm", 1820, 2570, false},
    {14, "Folio 8 1/2 x 13 in", 8.5, 13, true},
    {15, "Quarto 215 x 275 mm", 2150, 2750, false},
    {16, "10 x 14 in", 10, 14, true},
    {17, "11 x 17 in", 11, 17, true},
    {18, "Note 8 1/2 x 11 in", 8.5, 11, true},
    {19, "Envelope #9 3 7/8 x 8 7/8", 3.875, 8.875, true},
    {20, "Envelope #10 4 18 x 9 1/2", 4.125, 9.5, true},
    {21, "Envelope #11 4 12 x 10 3/8", 4.5, 10.375, true},
    {22, "Envelope #12 4 276 x 11", 4.75, 11, true},
    {23, "Envelope #14 5 x 11 1/2", 5, 11.5, true},
    {24, "C size sheet", 17, 22, true},
    {25, "D size sheet", 22, 34, true},
    {26, "E size sheet", 34, 44, true},
    {27, "Envelope DL 110 x 220mm", 1100, 2200, false},
    {28, "Envelope C5 162 x 229 mm", 1620, 2290, false},
    {29, " Envelope C3  324 x 458 mm", 3240, 4580, false},
    {30, "Envelope C4  229 x 324 mm", 2290, 3240, false},
    {31, "Envelope C6  114 x 162 mm", 1140, 1620, false},
    {32, "Envelope C65 114 x 229 mm", 1140, 2290, false},
    {33, "Envelope B4  250 x 353 mm", 2500, 3530, false},
    {34, "Envelope B5  176 x 250 mm", 1760, 2500, false},
    {35, "Envelope B6  176 x 125 mm", 1760, 1250, false},
    {36, "Envelope 110 x 230 mm", 1100, 2300, false},
    {37, "Envelope Monarch 3.875 x 7.5 in", 3.875, 7.5, true},
    {38, "6 34 Envelope 3 5/8 x 6 1/2 in", 3.625, 6.5, true},
    {39, "US Std Fanfold 14 7/8 x 11 in", 14.875, 11, true},
    {40, "German Std Fanfold 8 1/2 x 12 in", 8.5, 12, true},
    {41, "German Legal Fanfold 8 1/2 x 13 in", 8.5, 13, true},
    {42, "B4 (ISO) 250 x 353 mm", 2500, 3530, false},
    {43, "Japanese Postcard 100 x 148 mm", 1000, 1480, false},
    {44, "9 x 11 in", 9, 11, true},
    {45, "10 x 11 in", 10, 11, true},
    {46, "15 x 11 in", 15, 11, true},
    {47, "Envelope Invite 220 x 220 mm", 2200, 2200, false},
    // Letter Extra (and its transverse form) is 9.5 x 12 in, Legal Extra
    // 9.5 x 15 in, Letter Transverse 8.5 x 11 in, as their names say.
    {50, "Letter Extra 9 \\275 x 12 in", 9.5, 12, true},
    {51, "Legal Extra 9 \\275 x 15 in", 9.5, 15, true},
    {52, "Tabloid Extra 11.69 x 18 in", 11.69, 18, true},
    {53, "A4 Extra 9.27 x 12.69 in", 9.27, 12.69, true},
    {54, "Letter Transverse 8 \\275 x 11 in", 8.5, 11, true},
    {55, "A4 Transverse 210 x 297 mm", 2100, 2970, false},
    {56, "Letter Extra Transverse 9\\275 x 12 in", 9.5, 12, true},
    {57, "SuperASuperAA4 227 x 356 mm", 2270, 3560, false},
    {58, "SuperBSuperBA3 305 x 487 mm", 3050, 4870, false},
    {59, "Letter Plus 8.5 x 12.69 in", 8.5, 12.69, true},
    {60, "A4 Plus 210 x 330 mm", 2100, 3300, false},
    {61, "A5 Transverse 148 x 210 mm", 1480, 2100, false},
    {62, "B5 (JIS) Transverse 182 x 257 mm", 1820, 2570, false},
    {63, "A3 Extra 322 x 445 mm", 3220, 4450, false},
    {64, "A5 Extra 174 x 235 mm", 1740, 2350, false},
    {65, "B5 (ISO) Extra 201 x 276 mm", 2010, 2760, false},
    {66, "A2 420 x 594 mm", 4200, 5940, false},
    {67, "A3 Transverse 297 x 420 mm", 2970, 4200, false},
    {68, "A3 Extra Transverse 322 x 445 mm", 3220, 4450, false},
    {118, "DMPAPER_A3_EXTRA_TRANSVERSE", 0, 0, false},
    {256, "Custom", 0, 0, false},
};

constexpr bool CodesIncrease() {
  for (size_t i = 1; i < std::size(kPapers); ++i)
    if (kPapers[i - 1].Code >= kPapers[i].Code) return false;
  return true;
}
static_assert(CodesIncrease(), "the paper table is looked up by increasing code");

const TppPaper* FindPaper(int code) {
  auto it = std::lower_bound(std::begin(kPapers), std::end(kPapers), code,
                             [](const TppPaper& p, int c) { return p.Code < c; });
  return it != std::end(kPapers) && it->Code == code ? &*it : nullptr;
}

}  // namespace

std::span<const TppPaper> ppPapers() { return kPapers; }

std::string ppGetPaperName(int code) {
  const TppPaper* p = FindPaper(code);
  return p ? p->Name : "Unknown";
}

void ppGetPaperSize(int code, int& width, int& height) {
  const TppPaper* p = FindPaper(code);
  if (!p) {
    width = height = 0;
  } else if (p->Inches) {
    width = ToTenthsMM(static_cast<float>(p->Width), utInches);
    height = ToTenthsMM(static_cast<float>(p->Height), utInches);
  } else {
    width = static_cast<int>(p->Width);
    height = static_cast<int>(p->Height);
  }
}

std::string ppFormatPaperSize(int width, int height) {
  return cls::IntToStr(width / 10) + " x " + cls::IntToStr(height / 10) + " mm";
}

// ---------------------------------------------------------------- capabilities

CLS_IMPLEMENT_CLASS(TppPrinterCapabilities)

void TppPrinterCapabilities::NormalisePapers() {
  // 1. Names follow the codes.
  if (PaperNames.Count() < PaperCodes.Count()) {
    PaperNames.Clear();
    for (int i = 0; i < PaperCodes.Count(); ++i) {
      int code = cls::StrToIntDef(PaperCodes[i], 0);
      std::string name = ppGetPaperName(code);
      if (name == "Unknown") {
        if (i < PaperWidths.Count() && i < PaperHeights.Count())
          name = ppFormatPaperSize(cls::StrToIntDef(PaperWidths[i], 0), cls::StrToIntDef(PaperHeights[i], 0));
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
    ppGetPaperSize(cls::StrToIntDef(PaperCodes[i], 0), w, h);
    if (i < PaperWidths.Count())
      PaperWidths.Put(i, cls::IntToStr(w));
    else
      PaperWidths.Add(cls::IntToStr(w));
    if (i < PaperHeights.Count())
      PaperHeights.Put(i, cls::IntToStr(h));
    else
      PaperHeights.Add(cls::IntToStr(h));
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

std::string TppPrinterInfo::GetDescription() const {
  if (!device_ || !port_) return "";
  return cls::Format(kPrinterOnPort, {*device_, *port_});
}

TppPrinterCapabilities* TppPrinterInfo::GetCapabilities() {
  TppLockGuard guard(lock_);
  if (capabilities_) return capabilities_.get();
  auto caps = cls::MakeOwned<TppPrinterCapabilities>();
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
      list.Add(cls::IntToStr(w));
    };
  };
  if (device) {
    query(win::DC_PAPERNAMES, 64, name(64)(caps->PaperNames));
    query(win::DC_PAPERS, 2, word(caps->PaperCodes));
    query(win::DC_PAPERSIZE, sizeof(win::POINT), [&](const char* p) {
      win::POINT pt;
      std::memcpy(&pt, p, sizeof pt);
      caps->PaperWidths.Add(cls::IntToStr(pt.x));
      caps->PaperHeights.Add(cls::IntToStr(pt.y));
    });
    query(win::DC_BINNAMES, 24, name(24)(caps->BinNames));
    query(win::DC_BINS, 2, word(caps->BinCodes));
  }
  caps->NormalisePapers();
  caps->NormaliseBins();
  capabilities_ = std::move(caps);
  return capabilities_.get();
}

CLS_IMPLEMENT_CLASS(TppScreenPrinterInfo)

TppScreenPrinterInfo::TppScreenPrinterInfo() : TppPrinterInfo("Screen", true, nullptr, "Screen", nullptr) {}

TppPrinterCapabilities* TppScreenPrinterInfo::GetCapabilities() {
  TppLockGuard guard(lock_);
  if (capabilities_) return capabilities_.get();
  auto caps = cls::MakeOwned<TppPrinterCapabilities>();
  caps->PrinterName = Name();
  caps->BinCodes.Add("7");
  caps->BinNames.Add("Default");
  for (int code : {256, 1, 5, 8, 8, 9, 17, 39, 40, 19, 20, 21, 22, 23}) {
    int w, h;
    ppGetPaperSize(code, w, h);
    caps->PaperCodes.Add(cls::IntToStr(code));
    caps->PaperNames.Add(ppGetPaperName(code));
    caps->PaperWidths.Add(cls::IntToStr(w));
    caps->PaperHeights.Add(cls::IntToStr(h));
  }
  capabilities_ = std::move(caps);
  return capabilities_.get();
}

// ---------------------------------------------------------------- printer list

namespace {

// Entries are freed through Free(), when the last snapshot or holder lets go.
template <class Info, class... Args>
TppPrinterInfoRef MakeInfo(Args&&... args) {
  return TppPrinterInfoRef(new Info(std::forward<Args>(args)...), cls::TFreeObject());
}

}  // namespace

TppPrinterInfoRef TppPrinterListSnapshot::Find(const std::string& name) const {
  if (name.empty()) return nullptr;
  for (const Entry& e : Entries)
    if (cls::AnsiCompareText(e.Name, name) == 0) return e.Info;
  return nullptr;
}

std::string TppPrinterListSnapshot::FindNameByDevice(const std::string& device) const {
  for (const Entry& e : Entries) {
    // An entry without a device (the "Default" entry) stands for no device.
    const auto& d = e.Info->Device();
    if (d && !d->empty() && *d == device) return e.Name;
  }
  return "";
}

CLS_IMPLEMENT_CLASS(TppPrinterList)

TppPrinterList::TppPrinterList() { Build(); }

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

namespace {

// The device of win.ini's device line; "Screen" when there is none.
std::string DefaultDevice() {
  std::string line = spool::GetProfileString("windows", "device", "");
  if (line.size() > 80) line.resize(80);
  std::string device = line.substr(0, line.find(','));
  return device.empty() ? "Screen" : device;
}

}  // namespace

void TppPrinterList::Build() {
  auto next = std::make_shared<TppPrinterListSnapshot>();
  auto add = [&](const std::string& name, TppPrinterInfoRef info) { next->Entries.push_back({name, std::move(info)}); };
  add("Screen", MakeInfo<TppScreenPrinterInfo>());
  add("Default", MakeInfo<TppPrinterInfo>("Default", false, nullptr, nullptr, nullptr));

  TppLockGuard guard(lock_);
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
          auto info = MakeInfo<TppPrinterInfo>(e.pPrinterName, false, nullptr, e.pPrinterName, nullptr);
          info->SetNetwork(e.Attributes != win::PRINTER_ATTRIBUTE_NETWORK);
          add(e.pPrinterName, std::move(info));
        } else {
          win::PRINTER_INFO_5A e;
          std::memcpy(&e, buf.data() + i * sizeof e, sizeof e);
          for (const auto& port : SplitCommaList(e.pPortName ? e.pPortName : "")) {
            auto info = MakeInfo<TppPrinterInfo>(e.pPrinterName, false, nullptr, e.pPrinterName, port.c_str());
            info->SetNetwork(e.Attributes != win::PRINTER_ATTRIBUTE_NETWORK);
            add(e.pPrinterName, std::move(info));
          }
        }
      }
    }
  }
  next->DefaultPrinterName = next->FindNameByDevice(DefaultDevice());
  snapshot_ = std::move(next);
}

void TppPrinterList::BuildPrinterList() {
  Build();
  // The global printer is forgotten after the list lock is let go (the unit
  // lock comes first); it stays alive for those who hold it.
  TppLockGuard unit(ppPrintrUnitLock());
  if (TppPrinter* p = g_globalPrinter.exchange(nullptr)) g_retiredPrinters.emplace_back(p);
}

std::shared_ptr<const TppPrinterListSnapshot> TppPrinterList::Snapshot() {
  TppLockGuard guard(lock_);
  return snapshot_;
}

std::string TppPrinterList::FindNameByDevice(const std::string& device) {
  return Snapshot()->FindNameByDevice(device);
}

void TppPrinterList::ReadDefaultPrinter() {
  TppLockGuard guard(lock_);
  auto next = std::make_shared<TppPrinterListSnapshot>(*snapshot_);
  next->DefaultPrinterName = next->FindNameByDevice(DefaultDevice());
  snapshot_ = std::move(next);
}

TppPrinterInfoRef TppPrinterList::GetPrinterInfo(const std::string& name) {
  auto snap = Snapshot();
  TppPrinterInfoRef info = snap->Find(cls::AnsiCompareText(name, "Default") == 0 ? snap->DefaultPrinterName : name);
  if (info) return info;
  // "<device> on <port>": the entry of that device.
  size_t on = name.find(" on");
  if (on != std::string::npos && on > 0) {
    info = snap->Find(snap->FindNameByDevice(name.substr(0, on)));
    if (info) return info;
  }
  if (!IsNT()) {
    for (const auto& e : snap->Entries)
      if (e.Name != "Default" && !name.empty() && e.Info->GetDescription() == name) return e.Info;
  }
  return snap->Find(snap->DefaultPrinterName);
}

int TppPrinterList::GetCount() { return static_cast<int>(Snapshot()->Entries.size()); }

std::vector<std::string> TppPrinterList::PrinterNames() {
  std::vector<std::string> out;
  for (const auto& e : Snapshot()->Entries) out.push_back(e.Name);
  return out;
}

std::string TppPrinterList::DefaultPrinterName() { return Snapshot()->DefaultPrinterName; }

// ---------------------------------------------------------------- unit globals

TppPrinterList* ppGetPrinterList() {
  if (TppPrinterList* l = g_printerList) return l;
  TppLockGuard unit(ppPrintrUnitLock());
  if (!g_printerList) g_printerList = new TppPrinterList;
  return g_printerList;
}

TppPrinter* ppGetGlobalPrinter() {
  if (TppPrinter* p = g_globalPrinter) return p;
  TppPrinterList* list = ppGetPrinterList();
  TppLockGuard unit(ppPrintrUnitLock());
  // A new printer takes the list's lock while it is made, after the unit lock.
  if (!g_globalPrinter && list->GetCount() > 2) g_globalPrinter = new TppPrinter;
  return g_globalPrinter;
}

TppPrinterInfo* ppGetNoPrinterInfo() {
  if (TppPrinterInfo* i = g_noPrinterInfo) return i;
  TppLockGuard unit(ppPrintrUnitLock());
  if (!g_noPrinterInfo) g_noPrinterInfo = new TppPrinterInfo("No Printer Installed", false, "None", "None", nullptr);
  return g_noPrinterInfo;
}

void ppPrintrFinalize() {
  // Taken under the unit lock, freed after it: freeing a printer takes the
  // printer's lock, which comes first.
  cls::Owned<TppPrinter> printer;
  cls::Owned<TppPrinterList> list;
  cls::Owned<TppPrinterInfo> none;
  std::vector<cls::Owned<TppPrinter>> retired;
  {
    TppLockGuard unit(ppPrintrUnitLock());
    printer.reset(g_globalPrinter.exchange(nullptr));
    list.reset(g_printerList.exchange(nullptr));
    none.reset(g_noPrinterInfo.exchange(nullptr));
    retired.swap(g_retiredPrinters);
  }
}

// ---------------------------------------------------------------- printer setup

CLS_IMPLEMENT_CLASS(TppPrinterSetup)

TppPrinterSetup::TppPrinterSetup(cls::TComponent* owner) : owner_(owner) {
  if (cls::FormatSettings().DecimalSeparator == '.') {
    pageDef_.SetmmWidth(215900);
    pageDef_.SetmmHeight(279401);
  } else {
    pageDef_.SetmmWidth(210000);
    pageDef_.SetmmHeight(297000);
  }
  pageDef_.SetmmMarginLeft(6350);
  pageDef_.SetmmMarginRight(6350);
  pageDef_.SetmmMarginTop(6350);
  pageDef_.SetmmMarginBottom(6350);
  printerInfo_ = ppGetPrinterList()->GetPrinterInfo(printerName_);
}

cls::TObject* TppPrinterSetup::Printer() {
  TppPrinter* p = nullptr;
  if (OnGetPrinter) OnGetPrinter(p);
  return p;
}

TppPrinterCapabilities* TppPrinterSetup::CapabilitiesOf(const TppPrinterInfoRef& info) {
  return info ? info->GetCapabilities() : ppGetNoPrinterInfo()->GetCapabilities();
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

template <class T>
void TppPrinterSetup::Change(T TppPrinterSetup::*field, const T& v) {
  {
    TppLockGuard g(lock_);
    if (this->*field == v) return;
    this->*field = v;
  }
  DoPrinterSetupChange();
}

std::string TppPrinterSetup::BinName() {
  TppLockGuard g(lock_);
  return binName_;
}

void TppPrinterSetup::SetBinName(const std::string& v) {
  Change(&TppPrinterSetup::binName_, cls::AnsiCompareText(v, "Current") == 0 ? std::string("Default") : v);
}

bool TppPrinterSetup::Collation() {
  TppLockGuard g(lock_);
  return collation_;
}

void TppPrinterSetup::SetCollation(bool v) { Change(&TppPrinterSetup::collation_, v); }

int TppPrinterSetup::Copies() {
  TppLockGuard g(lock_);
  return copies_;
}

void TppPrinterSetup::SetCopies(int v) {
  if (v >= 1) Change(&TppPrinterSetup::copies_, v);
}

std::string TppPrinterSetup::DocumentName() {
  TppLockGuard g(lock_);
  return documentName_;
}

void TppPrinterSetup::SetDocumentName(const std::string& v) { Change(&TppPrinterSetup::documentName_, v); }

TppDuplexType TppPrinterSetup::Duplex() {
  TppLockGuard g(lock_);
  return duplex_;
}

void TppPrinterSetup::SetDuplex(TppDuplexType v) { Change(&TppPrinterSetup::duplex_, v); }

std::string TppPrinterSetup::OutputFileName() {
  TppLockGuard g(lock_);
  return outputFileName_;
}

void TppPrinterSetup::SetOutputFileName(const std::string& v) {
  TppLockGuard g(lock_);
  outputFileName_ = v;
}

// Lengths are read under the lock and converted after it, since a
// conversion to printer pixels asks the printer.
float TppPrinterSetup::GetLength(int32_t (TppPageDef::*get)() const, int direction) {
  int32_t v;
  TppUnitType u;
  {
    TppLockGuard g(lock_);
    v = (pageDef_.*get)();
    u = units_;
  }
  return ConvertFromMMThousandths(v, u, direction, Printer());
}

void TppPrinterSetup::SetMargin(void (TppPageDef::*set)(int32_t), int direction, float v) {
  if (v < 0) return;
  TppPageDef work;
  TppUnitType u;
  {
    TppLockGuard g(lock_);
    work.Assign(&pageDef_);
    u = units_;
  }
  (work.*set)(ConvertToMMThousandths(v, u, direction, Printer()));
  if (!DoPageDefChanging(&work)) return;
  {
    TppLockGuard g(lock_);
    pageDef_.Assign(&work);
  }
  DoPageDefChange();
}

float TppPrinterSetup::MarginBottom() { return GetLength(&TppPageDef::mmMarginBottom, ppVertical); }
void TppPrinterSetup::SetMarginBottom(float v) { SetMargin(&TppPageDef::SetmmMarginBottom, ppVertical, v); }
float TppPrinterSetup::MarginLeft() { return GetLength(&TppPageDef::mmMarginLeft, ppHorizontal); }
void TppPrinterSetup::SetMarginLeft(float v) { SetMargin(&TppPageDef::SetmmMarginLeft, ppHorizontal, v); }
float TppPrinterSetup::MarginRight() { return GetLength(&TppPageDef::mmMarginRight, ppHorizontal); }
void TppPrinterSetup::SetMarginRight(float v) { SetMargin(&TppPageDef::SetmmMarginRight, ppHorizontal, v); }
float TppPrinterSetup::MarginTop() { return GetLength(&TppPageDef::mmMarginTop, ppVertical); }
void TppPrinterSetup::SetMarginTop(float v) { SetMargin(&TppPageDef::SetmmMarginTop, ppVertical, v); }

TPrinterOrientation TppPrinterSetup::Orientation() {
  TppLockGuard g(lock_);
  return orientation_;
}

void TppPrinterSetup::SetOrientation(TPrinterOrientation v) {
  TppPageDef work;
  {
    TppLockGuard g(lock_);
    if (v == orientation_) return;
    work.Assign(&pageDef_);
    work.SetmmWidth(pageDef_.mmHeight());
    work.SetmmHeight(pageDef_.mmWidth());
  }
  if (!DoPageDefChanging(&work)) return;
  {
    TppLockGuard g(lock_);
    if (v == orientation_) return;
    orientation_ = v;
    int32_t w = pageDef_.mmWidth();
    pageDef_.SetmmWidth(pageDef_.mmHeight());
    pageDef_.SetmmHeight(w);
  }
  DoPageDefChange();
}

float TppPrinterSetup::PaperHeight() { return GetLength(&TppPageDef::mmHeight, ppVertical); }
float TppPrinterSetup::PaperWidth() { return GetLength(&TppPageDef::mmWidth, ppHorizontal); }

void TppPrinterSetup::SetPaperSize(bool height, float v) {
  TppPageDef work;
  TppUnitType u;
  {
    TppLockGuard g(lock_);
    if (Reading()) {
      (height ? deferredHeight_ : deferredWidth_) = v;
      return;
    }
    if (v < 0) return;
    work.Assign(&pageDef_);
    u = units_;
  }
  if (height)
    work.SetmmHeight(ConvertToMMThousandths(v, u, ppVertical, Printer()));
  else
    work.SetmmWidth(ConvertToMMThousandths(v, u, ppHorizontal, Printer()));
  if (!DoPageDefChanging(&work)) return;
  {
    TppLockGuard g(lock_);
    pageDef_.Assign(&work);
  }
  std::string name = FindPaperName(PaperWidth(), PaperHeight());
  {
    TppLockGuard g(lock_);
    paperName_ = name;
  }
  DoPageDefChange();
}

void TppPrinterSetup::SetPaperHeight(float v) { SetPaperSize(true, v); }
void TppPrinterSetup::SetPaperWidth(float v) { SetPaperSize(false, v); }

void TppPrinterSetup::UpdatePageDefSize() {
  std::optional<float> height, width;
  TppUnitType u;
  {
    TppLockGuard g(lock_);
    height.swap(deferredHeight_);
    width.swap(deferredWidth_);
    u = units_;
  }
  // Negative sizes are dropped here as the setters drop them.
  bool takeHeight = height && *height >= 0, takeWidth = width && *width >= 0;
  int32_t h = takeHeight ? ConvertToMMThousandths(*height, u, ppVertical, Printer()) : 0;
  int32_t w = takeWidth ? ConvertToMMThousandths(*width, u, ppHorizontal, Printer()) : 0;
  TppLockGuard g(lock_);
  if (takeHeight) pageDef_.SetmmHeight(h);
  if (takeWidth) pageDef_.SetmmWidth(w);
}

void TppPrinterSetup::SetStoredPaperCode(int code) {
  TppLockGuard g(lock_);
  storedPaperCode_ = code;
}

std::string TppPrinterSetup::PaperName() {
  int code;
  TppPrinterInfoRef info;
  std::string name;
  {
    TppLockGuard g(lock_);
    code = storedPaperCode_;
    info = printerInfo_;
  }
  if (code != 0) {
    std::string byCode;
    if (info) {
      TppPrinterCapabilities* caps = info->GetCapabilities();
      int i = caps->PaperCodes.IndexOf(cls::IntToStr(code));
      if (i >= 0 && i < caps->PaperNames.Count()) byCode = caps->PaperNames[i];
    }
    TppLockGuard g(lock_);
    if (!byCode.empty()) paperName_ = byCode;
    storedPaperCode_ = 0;
  }
  {
    TppLockGuard g(lock_);
    name = paperName_;
  }
  if (name != "Custom") return name;
  name = FindPaperName(PaperWidth(), PaperHeight());
  TppLockGuard g(lock_);
  paperName_ = name;
  return name;
}

void TppPrinterSetup::SetPaperName(const std::string& v) {
  if (!NotificationsEnabled() || v == "Custom") {
    TppLockGuard g(lock_);
    paperName_ = v;
    return;
  }
  // A paper the printer does not know changes nothing.
  if (CapabilitiesOf(PrinterInfo())->PaperNames.IndexOf(v) < 0) return;
  TPrinterOrientation orientation;
  {
    TppLockGuard g(lock_);
    orientation = orientation_;
    if (v.find("Envelope") != std::string::npos) orientation_ = poLandscape;
  }
  float w, h;
  GetPaperSizeOfName(v, w, h);
  TppPageDef work;
  TppUnitType u;
  {
    TppLockGuard g(lock_);
    work.Assign(&pageDef_);
    u = units_;
  }
  work.SetmmWidth(ConvertToMMThousandths(w, u, ppHorizontal, Printer()));
  work.SetmmHeight(ConvertToMMThousandths(h, u, ppVertical, Printer()));
  if (!DoPageDefChanging(&work)) {
    TppLockGuard g(lock_);
    orientation_ = orientation;
    return;
  }
  {
    TppLockGuard g(lock_);
    paperName_ = v;
    pageDef_.SetmmWidth(work.mmWidth());
    pageDef_.SetmmHeight(work.mmHeight());
  }
  DoPageDefChange();
}

std::string TppPrinterSetup::PrinterName() {
  TppLockGuard g(lock_);
  return printerName_;
}

void TppPrinterSetup::SetPrinterName(const std::string& value) {
  std::string v = cls::AnsiCompareText(value, "Current") == 0 ? "Default" : value;
  bool enabled = NotificationsEnabled();
  int code = enabled ? GetPaperSizeCode() : 0;
  TppPrinterInfoRef info = ppGetPrinterList()->GetPrinterInfo(v);
  if (!info) return;
  if (cls::AnsiCompareText(v, "Default") != 0) v = info->Name();
  {
    TppLockGuard g(lock_);
    printerName_ = v;
    printerInfo_ = info;
  }
  if (!enabled) return;
  std::string name;
  if (code > 0 && code != 256) {
    TppPrinterCapabilities* caps = info->GetCapabilities();
    int i = caps->PaperCodes.IndexOf(cls::IntToStr(code));
    if (i >= 0 && i < caps->PaperNames.Count()) name = caps->PaperNames[i];
  }
  if (name.empty()) name = FindPaperName(PaperWidth(), PaperHeight());
  {
    TppLockGuard g(lock_);
    paperName_ = name;
  }
  DoPrinterSetupChange();
}

TppPrinterInfoRef TppPrinterSetup::PrinterInfo() {
  TppLockGuard g(lock_);
  return printerInfo_;
}

TppUnitType TppPrinterSetup::Units() {
  TppLockGuard g(lock_);
  return units_;
}

void TppPrinterSetup::SetUnits(TppUnitType v) {
  std::string paper;
  {
    TppLockGuard g(lock_);
    if (v == units_) return;
    units_ = v;
    paper = paperName_;
  }
  if (!NotificationsEnabled() || paper == "Custom" || CapabilitiesOf(PrinterInfo())->PaperNames.IndexOf(paper) < 0)
    return;
  float w, h;
  GetPaperSizeOfName(paper, w, h);
  int32_t wt = ConvertToMMThousandths(w, v, ppHorizontal, Printer());
  int32_t ht = ConvertToMMThousandths(h, v, ppVertical, Printer());
  {
    TppLockGuard g(lock_);
    pageDef_.SetmmWidth(wt);
    pageDef_.SetmmHeight(ht);
  }
  DoPageDefChange();
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
  TppPrinterInfoRef info = PrinterInfo();
  return ListOf(CapabilitiesOf(info)->BinNames);
}

std::vector<std::string> TppPrinterSetup::PaperNames() {
  TppPrinterInfoRef info = PrinterInfo();
  return ListOf(CapabilitiesOf(info)->PaperNames);
}

std::string TppPrinterSetup::PrinterDescription() {
  TppPrinterInfoRef info = PrinterInfo();
  return info ? info->GetDescription() : "";
}

float TppPrinterSetup::PrintableHeight() { return GetLength(&TppPageDef::GetPrintableHeight, ppVertical); }
float TppPrinterSetup::PrintableWidth() { return GetLength(&TppPageDef::GetPrintableWidth, ppHorizontal); }

int TppPrinterSetup::GetPaperSizeCode() {
  TppPrinterInfoRef info;
  std::string name;
  {
    TppLockGuard g(lock_);
    info = printerInfo_;
    name = paperName_;
  }
  if (!info) return 0;
  TppPrinterCapabilities* caps = info->GetCapabilities();
  int pos = caps->PaperNames.IndexOf(name);
  if (pos <= 0) pos = caps->PaperNames.IndexOf(FindPaperName(PaperWidth(), PaperHeight()));
  if (pos >= 0 && pos < caps->PaperCodes.Count()) return cls::StrToIntDef(caps->PaperCodes[pos], 256);
  return 256;
}

std::string TppPrinterSetup::FindPaperName(float width, float height) {
  TppPrinterInfoRef info;
  TppUnitType u;
  TPrinterOrientation orientation;
  {
    TppLockGuard g(lock_);
    if (!printerInfo_) return paperName_;
    info = printerInfo_;
    u = units_;
    orientation = orientation_;
  }
  int w = ToTenthsMM(width, u, ppHorizontal, Printer());
  int h = ToTenthsMM(height, u, ppVertical, Printer());
  if (orientation == poLandscape) std::swap(w, h);
  TppPrinterCapabilities* caps = info->GetCapabilities();
  int n = std::min({caps->PaperNames.Count(), caps->PaperWidths.Count(), caps->PaperHeights.Count()});
  for (int i = 0; i < n; ++i) {
    int cw = cls::StrToIntDef(caps->PaperWidths[i], 0), ch = cls::StrToIntDef(caps->PaperHeights[i], 0);
    if (std::abs(ch - h) < 11 && std::abs(cw - w) < 11) return caps->PaperNames[i];
  }
  return "Custom";
}

void TppPrinterSetup::GetPaperSizeOfName(const std::string& name, float& width, float& height) {
  TppPrinterInfoRef info;
  TppUnitType u;
  TPrinterOrientation orientation;
  {
    TppLockGuard g(lock_);
    info = printerInfo_;
    u = units_;
    orientation = orientation_;
  }
  width = height = 0;
  TppPrinterCapabilities* caps = CapabilitiesOf(info);
  int i = caps->PaperNames.IndexOf(name);
  if (i < 0 || i >= caps->PaperWidths.Count() || i >= caps->PaperHeights.Count()) return;
  int w = cls::StrToIntDef(caps->PaperWidths[i], 0), h = cls::StrToIntDef(caps->PaperHeights[i], 0);
  if (orientation == poLandscape) std::swap(w, h);
  width = FromTenthsMM(w, u, ppHorizontal, Printer());
  height = FromTenthsMM(h, u, ppVertical, Printer());
}

std::string TppPrinterSetup::ResolvedName(const std::string& printerName) {
  if (cls::AnsiCompareText(printerName, "Default") == 0) return ppGetPrinterList()->DefaultPrinterName();
  return printerName;
}

std::string TppPrinterSetup::GetResolvedPrinterName() { return ResolvedName(PrinterName()); }

void TppPrinterSetup::ReadSettings(Settings& out) {
  TppLockGuard g(lock_);
  out.binName = binName_;
  out.documentName = documentName_;
  out.outputFileName = outputFileName_;
  out.paperName = paperName_;
  out.printerName = printerName_;
  out.collation = collation_;
  out.copies = copies_;
  out.duplex = duplex_;
  out.orientation = orientation_;
  out.units = units_;
  out.pageDef.Assign(&pageDef_);
}

void TppPrinterSetup::Assign(cls::TPersistent* source) {
  auto* s = cls::ObjectAs<TppPrinterSetup>(source);
  if (!s) {
    inherited::Assign(source);
    return;
  }
  if (s == this) return;
  Settings from;
  s->ReadSettings(from);
  TppPrinterInfoRef info = ppGetPrinterList()->GetPrinterInfo(from.printerName);
  TppLockGuard g(lock_);
  collation_ = from.collation;
  copies_ = from.copies;
  documentName_ = from.documentName;
  outputFileName_ = from.outputFileName;
  printerName_ = from.printerName;
  printerInfo_ = info;
  duplex_ = from.duplex;
  orientation_ = from.orientation;
  pageDef_.Assign(&from.pageDef);
  paperName_ = from.paperName;
  binName_ = from.binName;
  units_ = from.units;
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
  TppPageDef* pd = &pageDef_;
  TppLock* lock = &lock_;
  for (const Item& it : items) {
    Get get = it.get;
    Set set = it.set;
    filer->DefineProperty(
        it.name,
        [pd, lock, set](cls::TReader& r) {
          int32_t v = static_cast<int32_t>(r.ReadInteger());
          TppLockGuard g(*lock);
          (pd->*set)(v);
        },
        [pd, lock, get](cls::TWriter& w) {
          int32_t v;
          {
            TppLockGuard g(*lock);
            v = (pd->*get)();
          }
          w.WriteInteger(v);
        },
        true);
  }
  filer->DefineProperty(
      "PaperSize", [this](cls::TReader& r) { SetStoredPaperCode(static_cast<int>(r.ReadInteger())); },
      [this](cls::TWriter& w) { w.WriteInteger(GetPaperSizeCode()); }, true);
}

bool TppPrinterSetup::IsEqual(TppPrinterSetup* o) {
  if (!o) return false;
  Settings a, b;
  ReadSettings(a);
  o->ReadSettings(b);
  return ResolvedName(a.printerName) == ResolvedName(b.printerName) && a.binName == b.binName &&
         a.collation == b.collation && a.copies == b.copies && a.documentName == b.documentName &&
         a.outputFileName == b.outputFileName && a.duplex == b.duplex && a.orientation == b.orientation &&
         a.pageDef.IsEqual(&b.pageDef);
}

bool TppPrinterSetup::MatchesPaper(TppPrinterSetup* o) {
  if (!o) return false;
  Settings a, b;
  ReadSettings(a);
  o->ReadSettings(b);
  return ResolvedName(a.printerName) == ResolvedName(b.printerName) && a.orientation == b.orientation &&
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

TppCustomPrinter::~TppCustomPrinter() { Teardown(); }

void TppCustomPrinter::BeforeDestruction() {
  Teardown();
  inherited::BeforeDestruction();
}

void TppCustomPrinter::Teardown() {
  TppLockGuard g(lock_);
  // The canvas lets its objects go while the context still exists.
  canvas_.reset();
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

TppPrinterInfoRef TppCustomPrinter::GetPrinterInfo() {
  TppLockGuard g(lock_);
  return printerInfo_;
}

TppPrinterCapabilities* TppCustomPrinter::GetCapabilities() {
  TppLockGuard g(lock_);
  return printerInfo_ ? printerInfo_->GetCapabilities() : ppGetNoPrinterInfo()->GetCapabilities();
}

TppPrinterCanvas* TppCustomPrinter::GetCanvas() {
  TppLockGuard g(lock_);
  if (!canvas_) canvas_ = std::make_unique<TppPrinterCanvas>(this);
  return canvas_.get();
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
  TppPrinterInfoRef info = list->GetPrinterInfo(name);
  if (!info || !info->Usable()) info = list->GetPrinterInfo("Screen");
  if (info == printerInfo_) return;
  FreeHandles();
  printerName_ = info->Name();
  printerInfo_ = info;
}

win::HDC TppCustomPrinter::OpenPrinterDC() {
  TppLockGuard g(lock_);
  if (dc_) return dc_;
  TppPrinterInfoRef info = ppGetPrinterList()->GetPrinterInfo(printerName_);
  if (!info || !info->Usable()) return nullptr;
  if (!ObjectIs<TppScreenPrinterInfo>(info.get())) {
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
  TppPrinterInfoRef info = ppGetPrinterList()->GetPrinterInfo(printerName_);
  if (!info || !info->Device()) return false;
  return win::OpenPrinterA(info->Device()->c_str(), &spooler_, nullptr);
}

const win::DEVMODEA* TppCustomPrinter::GetDevMode() { return GetDevModePointer(); }

win::DEVMODEA* TppCustomPrinter::GetDevModePointer() {
  TppLockGuard g(lock_);
  if (devMode_) return devMode_.get();
  TppPrinterInfoRef info = ppGetPrinterList()->GetPrinterInfo(printerName_);
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
  bool confirmed;
  {
    TppLockGuard g(lock_);
    std::optional<win::DEVMODEA> copy = GetDevModeCopy();
    TppPrinterInfoRef info = ppGetPrinterList()->GetPrinterInfo(printerName_);
    if (!copy || !info || !info->Device()) return false;
    long result = win::DocumentPropertiesA(nullptr, spooler_, info->Device()->c_str(), &*copy, &*copy,
                                           win::DM_IN_BUFFER | win::DM_OUT_BUFFER | win::DM_IN_PROMPT);
    // Only OK confirms; Cancel answers a positive value too.
    confirmed = result == win::IDOK_;
    if (confirmed) SetDevMode(*copy);
  }
  // The caller hears of it with the lock let go.
  if (confirmed && OnDevModeChange) OnDevModeChange(this);
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
void TppCustomPrinter::FailJob(const std::string& operation, const std::string& what) {
  win::DWORD error = win::GetLastError();
  if (dc_ && printing_) win::AbortDoc(dc_);
  printing_ = false;
  pageOpen_ = false;
  pageNumber_ = 0;
  FreeDC();
  throw EPrintError("TppCustomPrinter." + operation + ": " + what + " on printer " + printerName_ + " (" +
                    win::SysErrorMessage(error) + ").");
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
  setup_.OnPageDefChange = cls::TNotifyEvent(this, &TppPrinter::SetupChanged);
  setup_.OnPrinterSetupChange = cls::TNotifyEvent(this, &TppPrinter::SetupChanged);
  setup_.OnGetPrinter = TppGetPrinterEvent(this, &TppPrinter::GetSelf);
}

void TppPrinter::GetSelf(TppPrinter*& aPrinter) { aPrinter = this; }

void TppPrinter::SetupChanged(cls::TObject*) {
  TppLockGuard g(lock_);
  ApplySetup();
}

void TppPrinter::SetPrinterSetup(TppPrinterSetup* setup) {
  if (!setup) return;
  TppLockGuard g(lock_);
  TppPrinterInfoRef info = GetPrinterInfo();
  bool differs = !info || info->Name() != setup->GetResolvedPrinterName() || !setup_.IsEqual(setup);
  if (!differs) return;
  if (!Printing() && setup_.PrinterName() != setup->PrinterName()) setup_.SetPrinterName(setup->PrinterName());
  setup_.SetNotifyFlag(false);
  setup_.Assign(setup);
  ApplySetup();
  setup_.SetNotifyFlag(true);
}

void TppPrinter::GetCustomPaperSize(int& width, int& length) {
  TppLockGuard g(lock_);
  TppUnitType u = setup_.Units();
  width = ToTenthsMM(setup_.PaperWidth(), u, ppHorizontal, this);
  length = ToTenthsMM(setup_.PaperHeight(), u, ppVertical, this);
  if (setup_.Orientation() == poLandscape) std::swap(width, length);
}

void TppPrinter::ApplySetup() {
  TppLockGuard g(lock_);
  bool notify = setup_.NotifyFlag();
  setup_.SetNotifyFlag(false);
  SetPrinterName(setup_.PrinterName());
  documentName_ = setup_.DocumentName();
  outputFileName_ = setup_.OutputFileName();
  std::optional<win::DEVMODEA> copy = GetDevModeCopy();
  if (copy) {
    win::DEVMODEA& m = *copy;
    bool custom = setup_.PaperName() == "Custom";
    if (IsNT() && custom) {
      int32_t w = setup_.PageDef()->mmWidth(), h = setup_.PageDef()->mmHeight();
      if (setup_.Orientation() == poLandscape) std::swap(w, h);
      AddOrUpdateForm("Custom", {w, h}, {0, 0, w, h});
      std::memset(m.dmFormName, 0, sizeof m.dmFormName);
      std::strcpy(m.dmFormName, "Custom");
    }
    m.dmFields = win::DM_ORIENTATION | win::DM_PAPERSIZE | win::DM_COPIES | win::DM_DUPLEX;
    m.dmCopies = 1;
    m.dmDuplex = static_cast<short>(setup_.Duplex() + 1);
    m.dmOrientation = static_cast<short>(setup_.Orientation() + 1);
    int code = setup_.GetPaperSizeCode();
    m.dmPaperSize = static_cast<short>(code);
    if (custom || code == 256) {
      m.dmFields |= win::DM_PAPERLENGTH | win::DM_PAPERWIDTH;
      int w, l;
      GetCustomPaperSize(w, l);
      m.dmPaperWidth = static_cast<short>(std::clamp(w, 0, 32767));
      m.dmPaperLength = static_cast<short>(std::clamp(l, 0, 32767));
    }
    TppPrinterCapabilities* caps = GetCapabilities();
    int bin = caps->BinNames.IndexOf(setup_.BinName());
    if (bin >= 0 && bin < caps->BinCodes.Count()) {
      m.dmDefaultSource = static_cast<short>(setup_.BinName() == "Default" ? DefaultBin()
                                                                             : cls::StrToIntDef(caps->BinCodes[bin], 0));
      m.dmFields |= win::DM_DEFAULTSOURCE;
    }
    SetDevMode(m);
  }
  setup_.SetNotifyFlag(notify);
}

TppPrinterSetup* TppPrinter::GetPrinterSetup() {
  TppLockGuard g(lock_);
  bool notify = setup_.NotifyFlag();
  setup_.SetNotifyFlag(false);
  std::optional<win::DEVMODEA> copy = GetDevModeCopy();
  if (copy) {
    const win::DEVMODEA& m = *copy;
    TppUnitType u = setup_.Units();
    if (m.dmFields & win::DM_DUPLEX) setup_.SetDuplex(static_cast<TppDuplexType>(std::clamp(m.dmDuplex - 1, 0, 2)));
    if (m.dmFields & win::DM_ORIENTATION) setup_.SetOrientation(m.dmOrientation == 2 ? poLandscape : poPortrait);
    bool landscape = setup_.Orientation() == poLandscape;
    if (m.dmFields & win::DM_PAPERSIZE) {
      TppPrinterCapabilities* caps = GetCapabilities();
      int i = caps->PaperCodes.IndexOf(cls::IntToStr(m.dmPaperSize));
      if (i >= 0 && i < caps->PaperNames.Count()) {
        int w, h;
        if (m.dmPaperSize == 256) {
          w = m.dmPaperWidth, h = m.dmPaperLength;
        } else {
          w = cls::StrToIntDef(caps->PaperWidths[i], 0), h = cls::StrToIntDef(caps->PaperHeights[i], 0);
        }
        if (landscape) std::swap(w, h);
        setup_.SetPaperName(caps->PaperNames[i]);
        setup_.SetPaperWidth(FromTenthsMM(w, u, ppHorizontal, this));
        setup_.SetPaperHeight(FromTenthsMM(h, u, ppVertical, this));
      }
    }
    if (m.dmFields & win::DM_DEFAULTSOURCE) {
      TppPrinterCapabilities* caps = GetCapabilities();
      int i = caps->BinCodes.IndexOf(cls::IntToStr(m.dmDefaultSource));
      if (m.dmDefaultSource != DefaultBin() && i >= 0 && i < caps->BinNames.Count())
        setup_.SetBinName(caps->BinNames[i]);
      else
        setup_.SetBinName("Default");
    }
  }
  setup_.SetNotifyFlag(notify);
  return &setup_;
}
