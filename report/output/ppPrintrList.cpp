#include "report/output/ppPrintr.h"

#include <algorithm>
#include <atomic>
#include <cstring>

#include "platform/spool/osversion.h"

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
