#include "report/output/ppPrnDev.h"

#include <algorithm>
#include <cmath>
#include <limits>

#include "platform/ui/forms.h"
#include "report/model/ppForms.h"
#include "report/model/ppResMgr.h"

// ---- TppDeviceScale ----

TppDeviceScale::TppDeviceScale(int ppiX, int ppiY, int offsetX, int offsetY)
    : ppiX_(ppiX > 0 ? ppiX : cls::Screen().PixelsPerInch),
      ppiY_(ppiY > 0 ? ppiY : cls::Screen().PixelsPerInch),
      offsetX_(offsetX),
      offsetY_(offsetY) {}

void TppDeviceScale::GetPixelsPerInch(int& x, int& y) {
  x = ppiX_;
  y = ppiY_;
}

int TppDeviceScale::ToPixels(int64_t mmThousandths, TppDirection direction) const {
  // Sums of bounds near the 32-bit limits stay within them.
  int64_t v = std::clamp<int64_t>(mmThousandths, std::numeric_limits<int32_t>::min(),
                                  std::numeric_limits<int32_t>::max());
  float px = ConvertFromMMThousandths(static_cast<int32_t>(v), utPrinterPixels, direction,
                                      const_cast<TppDeviceScale*>(this));
  return static_cast<int>(std::trunc(px));
}

int TppDeviceScale::FromScreenPixels(int pixels, TppDirection direction) const {
  float px = ConvertFromScreenPixels(pixels, utPrinterPixels, direction, const_cast<TppDeviceScale*>(this));
  return static_cast<int>(std::trunc(px));
}

TppDeviceScale::TppDeviceScale(int ppiX, int ppiY, int offsetX, int offsetY, double zoomX, double zoomY)
    : TppDeviceScale(ppiX, ppiY, offsetX, offsetY) {
  zoomed_ = true;
  zoomX_ = std::isfinite(zoomX) && zoomX > 0 ? zoomX : 1;
  zoomY_ = std::isfinite(zoomY) && zoomY > 0 ? zoomY : 1;
}

int TppDeviceScale::Zoom(int pixels, TppDirection direction) const {
  double v = pixels * (direction == ppHorizontal ? zoomX_ : zoomY_);
  return static_cast<int>(std::clamp<double>(ppNint(v), std::numeric_limits<int32_t>::min(),
                                             std::numeric_limits<int32_t>::max()));
}

TppRect TppDeviceScale::DeviceRect(const TppDrawCommand* c) const {
  int64_t left = c->Left(), top = c->Top();
  if (!zoomed_)
    return MakeRect(ToDeviceX(left), ToDeviceY(top), ToDeviceX(left + c->Width()), ToDeviceY(top + c->Height()));
  int x = ToPixels(left, ppHorizontal), y = ToPixels(top, ppVertical);
  int w = ToPixels(c->Width(), ppHorizontal), h = ToPixels(c->Height(), ppVertical);
  auto edge = [this](int64_t pixels, TppDirection d, int offset) {
    double v = pixels * (d == ppHorizontal ? zoomX_ : zoomY_);
    return static_cast<int>(std::clamp<double>(ppNint(v) + offset, std::numeric_limits<int32_t>::min(),
                                               std::numeric_limits<int32_t>::max()));
  };
  return MakeRect(edge(x, ppHorizontal, offsetX_), edge(y, ppVertical, offsetY_),
                  edge(int64_t{x} + w, ppHorizontal, offsetX_), edge(int64_t{y} + h, ppVertical, offsetY_));
}

// ---- TppPrinterDevice ----

CLS_IMPLEMENT_COMPONENT(TppPrinterDevice)

TppPrinterDevice::TppPrinterDevice(cls::TComponent* owner)
    : TppRasterDevice(owner), jobSetup_(nullptr), printer_(new TppPrinter()) {}

TppPrinterDevice::~TppPrinterDevice() = default;

void TppPrinterDevice::BeforeDestruction() {
  // Freed with its document open (a cancel after the last page): end it
  // as a cancel does, so that what was printed is kept.
  try {
    EndDocument();
  } catch (...) {
  }
  inherited::BeforeDestruction();
}

void TppPrinterDevice::EndDocument() {
  canvas_ = nullptr;
  if (!printer_ || !printer_->Printing()) return;
  // A job that printed no page fails; one that asked for particular pages
  // says that they do not exist.
  const bool empty = printer_->PageNumber() == 0;
  try {
    printer_->EndDoc();
  } catch (const EPrintError&) {
    if (!empty || jobRequest_.PageSetting() == TppPageSettingType::psAll) throw;
    throw EPrintError("The pages asked for do not exist: nothing was printed on printer " +
                      printer_->GetPrinterName() + ".");
  }
}

void TppPrinterDevice::StartJob() {
  if (Busy()) return;
  inherited::StartJob();
  UpdateStatus(nullptr);
  try {
    printer_->BeginDoc();
  } catch (...) {
    // No document: the device stays idle.
    canvas_ = nullptr;
    SetBusy(false);
    throw;
  }
  // Cancelled during the status update, before the document began: the job
  // is given up as a cancel before the first page is.
  if (Cancelled()) {
    canvas_ = nullptr;
    printer_->AbortDoc();
    return;
  }
  canvas_ = printer_->GetCanvas();
  firstPage_ = true;
  jobRequest_.Assign(PageRequest());
  jobSetup_.Assign(printer_->GetPrinterSetup());
}

void TppPrinterDevice::ReceivePage(TppPage* page) {
  if (!page) return;
  BeginReceivePage(page);
  if (Busy() && !Cancelled() && PageIsRequested()) {
    UpdateStatus(page);
    // A cancel may have been handled inside the status update.
    if (Busy() && !Cancelled() && !SkipPage()) PrintPage(page);
  }
  // Only now is the request complete: a cancel during the last page still
  // reaches the device.
  CheckRequestComplete(page);
}

void TppPrinterDevice::PrintPage(TppPage* page) {
  int copies = jobSetup_.Collation() ? 1 : jobSetup_.Copies();
  for (int i = 0; i < std::max(copies, 1); ++i) {
    if (!Busy() || Cancelled() || !canvas_) break;
    StartPage(page);
    DrawPage(page);
    EndPage(page);
  }
}

void TppPrinterDevice::EndJob() {
  if (!Busy() || !NextCopy()) return;
  EndDocument();
  inherited::EndJob();
}

bool TppPrinterDevice::NextCopy() {
  if (copiesLeft_ <= 1) return true;
  --copiesLeft_;
  PageRequest()->Assign(&jobRequest_);
  RequestPages();
  return false;
}

void TppPrinterDevice::CancelJob() {
  // Cancelled before its first page, the job is given up: it is no job, and
  // a cancel is no failure.
  if (printer_ && printer_->Printing() && printer_->PageNumber() == 0) {
    canvas_ = nullptr;
    printer_->AbortDoc();
  } else {
    // The pages printed are kept, and the record says the rest never came.
    if (printer_) printer_->CutShort();
    EndDocument();
  }
  inherited::CancelJob();
}

void TppPrinterDevice::StartPage(TppPage* page) {
  if (firstPage_) {
    if (jobSetup_.Collation()) copiesLeft_ = std::max(jobSetup_.Copies(), 1);
    firstPage_ = false;
  }
  // A page (a cached one too) brings only its paper; printer, copies and
  // the rest stay the job's.
  TppPrinterSetup pageSetup(nullptr);
  pageSetup.Assign(&jobSetup_);
  pageSetup.AssignPaper(page->PrinterSetup());
  printer_->SetPrinterSetup(&pageSetup);
  printer_->NewPage();
  int left = 0, top = 0, right = 0, bottom = 0;
  printer_->GetPageOffsets(left, top, right, bottom);
  pageOffsetX_ = -left;
  pageOffsetY_ = -top;
  if (OnStartPage) {
    TppUnlockedScope unlocked(Publisher());
    OnStartPage(this, page);
  }
}

void TppPrinterDevice::EndPage(TppPage* page) {
  printer_->EndPage();
  if (OnEndPage) {
    TppUnlockedScope unlocked(Publisher());
    OnEndPage(this, page);
  }
}

TppDeviceScale TppPrinterDevice::Scale() {
  int x = 0, y = 0;
  printer_->GetPixelsPerInch(x, y);
  return TppDeviceScale(x, y, pageOffsetX_, pageOffsetY_);
}

void TppPrinterDevice::CalcDeviceRect(TppDrawCommand* command) {
  if (command) command->SetDrawRect(Scale().DeviceRect(command));
}

void TppPrinterDevice::UpdateStatus(TppPage* page) {
  TppPublisher* publisher = Publisher();
  std::string text;
  if (!page) {
    text = LoadLanguageString(2);
  } else if (SkipPage() && publisher && !publisher->LastPageSeen()) {
    text = DialogStatus();
  } else {
    std::string document = page->DocumentName(), printer = printer_->GetPrinterName();
    if (!publisher || publisher->LastPageSeen())
      text = FormatLanguageString(28, {page->AbsolutePageNo(), page->AbsolutePageCount(), document, printer});
    else
      text = FormatLanguageString(27, {page->AbsolutePageNo(), document, printer});
  }
  ShowStatus(text);
}

void TppPrinterDevice::DrawShape(TppDrawShape* command) {
  if (canvas_) ppRasterDraw::DrawShape(*canvas_, Scale(), command);
}

void TppPrinterDevice::DrawLine(TppDrawLine* command) {
  if (canvas_) ppRasterDraw::DrawLine(*canvas_, Scale(), command);
}

void TppPrinterDevice::DrawImage(TppDrawImage* command) {
  if (canvas_) ppRasterDraw::DrawImage(*canvas_, Scale(), command);
}

void TppPrinterDevice::DrawText(TppDrawText* command) {
  if (canvas_) ppRasterDraw::DrawText(*canvas_, Scale(), command);
}
