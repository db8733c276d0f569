#include "spool.h"

#include <algorithm>
#include <cstring>
#include <map>
#include <mutex>
#include <vector>

#include "platform/sysroot/handles.h"

namespace win {

class PrinterHandle {
 public:
  std::string name;
};

namespace {
// Open printers until ClosePrinter (kept past static destruction).
LiveHandles<PrinterHandle>& Printers() {
  static auto* live = new LiveHandles<PrinterHandle>;
  return *live;
}
}  // namespace

bool IsPrinterHandle(HANDLE handle) { return Printers().Contains(handle); }

}  // namespace win

namespace spool {
namespace {

std::mutex g_promptMutex;
PropertiesPrompt& Prompt() {
  static PropertiesPrompt p;
  return p;
}

void CopyName(char* dst, size_t size, const std::string& src) {
  std::memset(dst, 0, size);
  std::memcpy(dst, src.data(), std::min(src.size(), size - 1));
}

int Clamp(int v, int lo, int hi) { return std::max(lo, std::min(hi, v)); }

bool HasBin(const PrinterDef& def, int code) {
  return std::any_of(def.bins.begin(), def.bins.end(), [&](const Bin& b) { return b.code == code; });
}

}  // namespace

void SetPropertiesPrompt(PropertiesPrompt prompt) {
  std::lock_guard<std::mutex> lock(g_promptMutex);
  Prompt() = std::move(prompt);
}

bool HasPropertiesPrompt() {
  std::lock_guard<std::mutex> lock(g_promptMutex);
  return static_cast<bool>(Prompt());
}

win::DEVMODEA DefaultDevMode(const PrinterDef& def) {
  win::DEVMODEA m;
  std::memset(&m, 0, sizeof m);
  CopyName(m.dmDeviceName, sizeof m.dmDeviceName, def.name);
  m.dmSpecVersion = 0x0401;
  m.dmDriverVersion = 0x0100;
  m.dmSize = sizeof(win::DEVMODEA);
  m.dmDriverExtra = 0;
  m.dmFields = win::DM_ORIENTATION | win::DM_PAPERSIZE | win::DM_PAPERLENGTH | win::DM_PAPERWIDTH |
               win::DM_COPIES | win::DM_DEFAULTSOURCE | win::DM_PRINTQUALITY | win::DM_COLOR |
               win::DM_DUPLEX | win::DM_YRESOLUTION | win::DM_COLLATE | win::DM_FORMNAME;
  m.dmOrientation = static_cast<short>(def.defaultOrientation == 2 ? 2 : 1);
  m.dmPaperSize = static_cast<short>(def.defaultPaper);
  const Paper* p = def.FindPaper(def.defaultPaper);
  if (def.defaultPaper == win::DMPAPER_USER || !p) {
    m.dmPaperWidth = static_cast<short>(def.defaultCustomWidth);
    m.dmPaperLength = static_cast<short>(def.defaultCustomLength);
  } else {
    m.dmPaperWidth = static_cast<short>(p->width);
    m.dmPaperLength = static_cast<short>(p->height);
  }
  CopyName(m.dmFormName, sizeof m.dmFormName, p ? p->name : "");
  m.dmScale = 100;
  m.dmCopies = 1;
  m.dmDefaultSource = static_cast<short>(def.defaultBin);
  m.dmPrintQuality = static_cast<short>(def.dpiX);
  m.dmYResolution = static_cast<short>(def.dpiY);
  m.dmColor = def.color ? win::DMCOLOR_COLOR : win::DMCOLOR_MONOCHROME;
  m.dmDuplex = win::DMDUP_SIMPLEX;
  m.dmCollate = 1;
  return m;
}

win::DEVMODEA MergeDevMode(const PrinterDef& def, const win::DEVMODEA& in) {
  win::DEVMODEA m = DefaultDevMode(def);
  const win::DWORD f = in.dmFields;
  if ((f & win::DM_ORIENTATION) && (in.dmOrientation == 1 || in.dmOrientation == 2))
    m.dmOrientation = in.dmOrientation;
  bool custom = false;
  if (f & win::DM_PAPERSIZE) {
    if (in.dmPaperSize == win::DMPAPER_USER && def.customAllowed) {
      m.dmPaperSize = win::DMPAPER_USER;
      custom = true;
      CopyName(m.dmFormName, sizeof m.dmFormName, "");
    } else if (in.dmPaperSize != win::DMPAPER_USER && def.FindPaper(in.dmPaperSize)) {
      const Paper* p = def.FindPaper(in.dmPaperSize);
      m.dmPaperSize = in.dmPaperSize;
      m.dmPaperWidth = static_cast<short>(p->width);
      m.dmPaperLength = static_cast<short>(p->height);
      CopyName(m.dmFormName, sizeof m.dmFormName, p->name);
    }
  }
  if (custom) {
    m.dmPaperWidth = static_cast<short>(def.defaultCustomWidth);
    m.dmPaperLength = static_cast<short>(def.defaultCustomLength);
    if ((f & win::DM_PAPERWIDTH) && in.dmPaperWidth > 0) m.dmPaperWidth = in.dmPaperWidth;
    if ((f & win::DM_PAPERLENGTH) && in.dmPaperLength > 0) m.dmPaperLength = in.dmPaperLength;
    m.dmPaperWidth = static_cast<short>(Clamp(m.dmPaperWidth, def.customMinWidth, def.customMaxWidth));
    m.dmPaperLength =
        static_cast<short>(Clamp(m.dmPaperLength, def.customMinLength, def.customMaxLength));
  }
  if (f & win::DM_FORMNAME) {
    std::string name(in.dmFormName, strnlen(in.dmFormName, sizeof in.dmFormName));
    CopyName(m.dmFormName, sizeof m.dmFormName, name);
  }
  if ((f & win::DM_COPIES) && in.dmCopies >= 1) m.dmCopies = in.dmCopies;
  if ((f & win::DM_DEFAULTSOURCE) && HasBin(def, in.dmDefaultSource))
    m.dmDefaultSource = in.dmDefaultSource;
  if ((f & win::DM_DUPLEX) && in.dmDuplex >= 1 && in.dmDuplex <= 3) m.dmDuplex = in.dmDuplex;
  if ((f & win::DM_COLLATE) && (in.dmCollate == 0 || in.dmCollate == 1)) m.dmCollate = in.dmCollate;
  if ((f & win::DM_COLOR) && def.color && (in.dmColor == 1 || in.dmColor == 2)) m.dmColor = in.dmColor;
  // The fields the caller set stay marked; the rest keep the driver's flags.
  m.dmFields |= f & (win::DM_FORMNAME);
  if (!(f & win::DM_FORMNAME) && m.dmPaperSize == win::DMPAPER_USER) m.dmFields &= ~win::DM_FORMNAME;
  return m;
}

PageSize ResolvePageSize(const PrinterDef& def, const win::DEVMODEA* mode) {
  PageSize ps;
  ps.paperCode = def.defaultPaper;
  const Paper* p = def.FindPaper(def.defaultPaper);
  if (p && def.defaultPaper != win::DMPAPER_USER) {
    ps.width = p->width;
    ps.length = p->height;
  } else {
    ps.width = def.defaultCustomWidth;
    ps.length = def.defaultCustomLength;
  }
  bool landscape = def.defaultOrientation == 2;
  if (mode) {
    const win::DWORD f = mode->dmFields;
    bool chosen = false;
    if (f & win::DM_PAPERSIZE) {
      if (mode->dmPaperSize == win::DMPAPER_USER) {
        if (def.customAllowed) {
          ps.paperCode = win::DMPAPER_USER;
          ps.width = (f & win::DM_PAPERWIDTH) && mode->dmPaperWidth > 0 ? mode->dmPaperWidth
                                                                        : def.defaultCustomWidth;
          ps.length = (f & win::DM_PAPERLENGTH) && mode->dmPaperLength > 0 ? mode->dmPaperLength
                                                                           : def.defaultCustomLength;
          chosen = true;
        }
      } else if (const Paper* q = def.FindPaper(mode->dmPaperSize)) {
        ps.paperCode = q->code;
        ps.width = q->width;
        ps.length = q->height;
        chosen = true;
      }
    }
    if (!chosen && (f & win::DM_FORMNAME) && def.customAllowed) {
      Form form;
      std::string name(mode->dmFormName, strnlen(mode->dmFormName, sizeof mode->dmFormName));
      if (!name.empty() && FindForm(name, form) && form.width > 0 && form.height > 0) {
        ps.paperCode = win::DMPAPER_USER;
        ps.width = (form.width + 50) / 100;
        ps.length = (form.height + 50) / 100;
      }
    }
    if ((f & win::DM_ORIENTATION) && (mode->dmOrientation == 1 || mode->dmOrientation == 2))
      landscape = mode->dmOrientation == 2;
  }
  if (ps.paperCode == win::DMPAPER_USER) {
    ps.width = Clamp(ps.width, def.customMinWidth, def.customMaxWidth);
    ps.length = Clamp(ps.length, def.customMinLength, def.customMaxLength);
  }
  ps.landscape = landscape;
  if (landscape) std::swap(ps.width, ps.length);
  return ps;
}

}  // namespace spool

namespace win {
namespace {

bool Matches(const spool::PrinterDef& d, DWORD flags) {
  bool network = (d.attributes & PRINTER_ATTRIBUTE_NETWORK) != 0;
  return ((flags & PRINTER_ENUM_LOCAL) && !network) || ((flags & PRINTER_ENUM_CONNECTIONS) && network);
}

}  // namespace

bool EnumPrintersA(DWORD flags, const char* name, DWORD level, BYTE* buf, DWORD cb,
                   DWORD* needed, DWORD* returned) {
  if (needed) *needed = 0;
  if (returned) *returned = 0;
  if ((level != 4 && level != 5) || !needed || !returned || (name && *name)) {
    SetLastError(ERROR_INVALID_PARAMETER);
    return false;
  }
  std::vector<spool::PrinterDef> list;
  for (auto& d : spool::InstalledPrinters())
    if (Matches(d, flags)) list.push_back(std::move(d));
  const size_t entry = level == 4 ? sizeof(PRINTER_INFO_4A) : sizeof(PRINTER_INFO_5A);
  size_t size = entry * list.size();
  std::vector<std::string> second;  // server names (level 4) or port lists (level 5)
  for (const auto& d : list) {
    std::string s;
    if (level == 5)
      for (size_t i = 0; i < d.ports.size(); ++i) s += (i ? ", " : "") + d.ports[i];
    second.push_back(s);
    size += d.name.size() + 1 + (level == 5 ? s.size() + 1 : 0);
  }
  *needed = static_cast<DWORD>(size);
  if (list.empty()) return true;
  if (!buf || cb < size) {
    SetLastError(ERROR_INSUFFICIENT_BUFFER);
    return false;
  }
  char* strings = reinterpret_cast<char*>(buf) + entry * list.size();
  auto put = [&](const std::string& s) {
    char* at = strings;
    std::memcpy(at, s.c_str(), s.size() + 1);
    strings += s.size() + 1;
    return at;
  };
  for (size_t i = 0; i < list.size(); ++i) {
    if (level == 4) {
      PRINTER_INFO_4A e{};
      e.pPrinterName = put(list[i].name);
      e.pServerName = nullptr;
      e.Attributes = list[i].attributes;
      std::memcpy(buf + i * entry, &e, sizeof e);
    } else {
      PRINTER_INFO_5A e{};
      e.pPrinterName = put(list[i].name);
      e.pPortName = put(second[i]);
      e.Attributes = list[i].attributes;
      e.DeviceNotSelectedTimeout = 15000;
      e.TransmissionRetryTimeout = 45000;
      std::memcpy(buf + i * entry, &e, sizeof e);
    }
  }
  *returned = static_cast<DWORD>(list.size());
  return true;
}

bool OpenPrinterA(const char* printerName, HANDLE* handle, void*) {
  if (!handle) {
    SetLastError(ERROR_INVALID_PARAMETER);
    return false;
  }
  *handle = nullptr;
  spool::PrinterDef d;
  if (!printerName || !spool::LoadPrinter(printerName, d)) {
    SetLastError(ERROR_INVALID_PRINTER_NAME);
    return false;
  }
  *handle = Printers().Add(new PrinterHandle{d.name});
  return true;
}

bool GetPrinterA(HANDLE printer, DWORD level, BYTE* buf, DWORD cb, DWORD* needed) {
  if (needed) *needed = 0;
  if (!IsPrinterHandle(printer)) {
    SetLastError(ERROR_INVALID_HANDLE);
    return false;
  }
  if (level != 2 || !needed) {
    SetLastError(level != 2 ? ERROR_INVALID_LEVEL : ERROR_INVALID_PARAMETER);
    return false;
  }
  spool::PrinterDef d;
  if (!spool::LoadPrinter(printer->name, d)) {
    SetLastError(ERROR_INVALID_PRINTER_NAME);
    return false;
  }
  std::string ports;
  for (size_t i = 0; i < d.ports.size(); ++i) ports += (i ? ", " : "") + d.ports[i];
  const size_t size = sizeof(PRINTER_INFO_2A) + d.name.size() + ports.size() + d.driver.size() + 3;
  *needed = static_cast<DWORD>(size);
  if (!buf || cb < size) {
    SetLastError(ERROR_INSUFFICIENT_BUFFER);
    return false;
  }
  char* strings = reinterpret_cast<char*>(buf) + sizeof(PRINTER_INFO_2A);
  auto put = [&](const std::string& s) {
    char* at = strings;
    std::memcpy(at, s.c_str(), s.size() + 1);
    strings += s.size() + 1;
    return at;
  };
  PRINTER_INFO_2A e{};
  e.pPrinterName = put(d.name);
  e.pPortName = put(ports);
  e.pDriverName = put(d.driver);
  e.Attributes = d.attributes;
  std::memcpy(buf, &e, sizeof e);
  return true;
}

bool ClosePrinter(HANDLE handle) {
  if (!Printers().Remove(handle)) return false;
  delete handle;
  return true;
}

std::string PrinterNameOf(HANDLE handle) { return IsPrinterHandle(handle) ? handle->name : std::string(); }

long DocumentPropertiesA(void*, HANDLE printer, const char* deviceName, DEVMODEA* out,
                         const DEVMODEA* in, DWORD mode) {
  if (printer && !Printers().Check(printer)) return -1;
  std::string name = printer ? printer->name : (deviceName ? deviceName : "");
  spool::PrinterDef d;
  if (!spool::LoadPrinter(name, d)) {
    SetLastError(ERROR_INVALID_PRINTER_NAME);
    return -1;
  }
  if (mode == 0) return static_cast<long>(sizeof(DEVMODEA));
  DEVMODEA work = (mode & DM_IN_BUFFER) && in ? spool::MergeDevMode(d, *in) : spool::DefaultDevMode(d);
  long result = IDOK_;
  if (mode & DM_IN_PROMPT) {
    spool::PropertiesPrompt prompt;
    {
      std::lock_guard<std::mutex> lock(spool::g_promptMutex);
      prompt = spool::Prompt();
    }
    DEVMODEA edited = work;
    result = prompt ? prompt(d.name, edited) : IDCANCEL_;
    if (result != IDOK_ && result != IDCANCEL_) result = IDCANCEL_;
    if (result == IDOK_) work = spool::MergeDevMode(d, edited);
  }
  if ((mode & DM_OUT_BUFFER) && (result == IDOK_ || !(mode & DM_IN_PROMPT))) {
    if (!out) {
      SetLastError(ERROR_INVALID_PARAMETER);
      return -1;
    }
    *out = work;
  }
  return result;
}

int DeviceCapabilitiesA(const char* device, const char*, WORD capability, char* output,
                        const DEVMODEA*) {
  spool::PrinterDef d;
  if (!device || !spool::LoadPrinter(device, d)) {
    SetLastError(ERROR_INVALID_PRINTER_NAME);
    return -1;
  }
  bool papers = capability == DC_PAPERNAMES || capability == DC_PAPERS || capability == DC_PAPERSIZE;
  if (!papers && capability != DC_BINNAMES && capability != DC_BINS) {
    SetLastError(ERROR_INVALID_PARAMETER);
    return -1;
  }
  // The definition is read afresh on every call and may have grown since
  // the caller asked for the count it sized OUTPUT by: a fill writes no more
  // entries than the last count this thread was given for that list.
  thread_local std::map<std::pair<std::string, bool>, size_t> counts;
  const auto key = std::make_pair(spool::DefinitionFile(d.name), papers);
  size_t n = papers ? d.papers.size() : d.bins.size();
  if (!output) {
    counts[key] = n;
    return static_cast<int>(n);
  }
  if (auto it = counts.find(key); it != counts.end()) n = std::min(n, it->second);
  for (size_t i = 0; i < n; ++i) {
    switch (capability) {
      case DC_PAPERNAMES:
        spool::CopyName(output + 64 * i, 64, d.papers[i].name);
        break;
      case DC_PAPERS: {
        WORD w = static_cast<WORD>(d.papers[i].code);
        std::memcpy(output + 2 * i, &w, 2);
        break;
      }
      case DC_PAPERSIZE: {
        POINT pt{d.papers[i].width, d.papers[i].height};
        std::memcpy(output + sizeof(POINT) * i, &pt, sizeof pt);
        break;
      }
      case DC_BINNAMES:
        spool::CopyName(output + 24 * i, 24, d.bins[i].name);
        break;
      default: {
        WORD w = static_cast<WORD>(d.bins[i].code);
        std::memcpy(output + 2 * i, &w, 2);
      }
    }
  }
  return static_cast<int>(n);
}

}  // namespace win
