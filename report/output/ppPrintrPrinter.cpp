#include "report/output/ppPrintr.h"

#include <algorithm>
#include <cstring>

#include "platform/spool/osversion.h"
#include "platform/sysroot/fileio.h"

namespace {

bool IsNT() { return win::Win32Platform() == win::VER_PLATFORM_WIN32_NT; }

}  // namespace

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
    if (sameSize && sameArea) return;
    if (win::SetFormA(spooler_, n.c_str(), 1, &form)) return;
  } else if (win::AddFormA(spooler_, 1, &form)) {
    return;
  }
  // The forms are locked by another process for too long: the print fails,
  // naming the file, rather than go on with an old form.
  if (win::GetLastError() == win::ERROR_LOCK_VIOLATION)
    throw EPrintError("TppCustomPrinter.AddOrUpdateForm: the form " + name + " could not be stored on printer " +
                      printerName_ + " (" + sysroot::LastLockFailure() + ").");
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

void TppCustomPrinter::CutShort() {
  TppLockGuard g(lock_);
  if (printing_ && dc_) gdi::CutShortDocument(dc_);
}

void TppCustomPrinter::AbortDoc() {
  TppLockGuard g(lock_);
  if (!printing_) return;
  if (dc_) win::AbortDoc(dc_);
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
  // The name goes first, unheard: applied now, the old paper would be
  // stored as the server's "Custom" form only to be replaced just below.
  setup_.SetNotifyFlag(false);
  if (!Printing() && setup_.PrinterName() != setup->PrinterName()) setup_.SetPrinterName(setup->PrinterName());
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
        setup_.SetPaperSizeTenthsMM(w, h);
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
