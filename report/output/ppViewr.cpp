#include "report/output/ppViewr.h"

#include <algorithm>
#include <cmath>

#include "platform/classes/typinfo.h"
#include "platform/ui/forms.h"
#include "report/model/ppResMgr.h"
#include "report/model/ppUtils.h"
#include "report/output/ppOutlineDrawCommand.h"

CLS_IMPLEMENT_COMPONENT(TppScreenDevice)

namespace {

int Nint(double v) { return static_cast<int>(ppNint(v)); }

int ScreenPpi() { return cls::Screen().PixelsPerInch > 0 ? cls::Screen().PixelsPerInch : 96; }

// The grey around the page.
constexpr gdi::TColor kPageSurround = gdi::clBtnShadow;

}  // namespace

// ---- TppScreenDevice ----

TppScreenDevice::TppScreenDevice(cls::TComponent* owner)
    : TppRasterDevice(owner), page_(new TppPage(nullptr)), viewer_(cls::ObjectAs<TppViewer>(owner)) {
  PageRequest()->SetPageSetting(TppPageSettingType::psFirstPage);
  PageRequest()->SetPageRequested(1);
}

TppScreenDevice::~TppScreenDevice() = default;

void TppScreenDevice::BeforeDestruction() {
  pageCanvas_ = nullptr;
  pageBitmap_.reset();
  inherited::BeforeDestruction();
}

bool TppScreenDevice::Designing() const { return Owner() && Owner()->HasState(cls::csDesigning); }

void TppScreenDevice::StartJob() {
  inherited::StartJob();
  SetStatus(LoadLanguageString(2));
  FreeOutlineTree();
  ++pageSerial_;
  page_->Clear();
}

void TppScreenDevice::CancelJob() {
  SetStatus(page_->GetPageNoText());
  inherited::CancelJob();
}

void TppScreenDevice::EndJob() {
  TppPublisher* publisher = Publisher();
  SetStatus(publisher && publisher->LastPageSeen() ? page_->GetPageNoOfCountText() : page_->GetPageNoText());
  inherited::EndJob();
}

void TppScreenDevice::ResetJob() {
  inherited::ResetJob();
  if (viewer_ && viewer_->Report()) ResetPage();
  PageRequest()->SetPageSetting(TppPageSettingType::psFirstPage);
  PageRequest()->SetPageRequested(1);
}

void TppScreenDevice::SetStatus(const std::string& text) {
  if (!statusEnabled_) return;
  inherited::SetStatus(text);
  TppUnlockedScope unlocked(Publisher());
  if (viewer_) viewer_->StatusChanged();
  ui::Application().ProcessMessages();
}

void TppScreenDevice::ReceivePage(TppPage* page) {
  if (!page) return;
  inherited::ReceivePage(page);
  if (Designing()) return;
  TppPublisher* publisher = Publisher();
  bool counted = publisher && publisher->LastPageSeen();
  if (!PageIsRequested()) {
    if (page->Calculation())
      SetStatus(FormatLanguageString(4, {page->AbsolutePageNo(), page->DocumentName()}));
    if (page_->AbsolutePageNo() > 0 && page->AbsolutePageCount() != page_->AbsolutePageCount()) {
      page_->SetAbsolutePageCount(page->AbsolutePageCount());
      if (page->ControlGroupBreakNo() == page_->ControlGroupBreakNo()) page_->SetPageCount(page->PageCount());
      page_->UpdatePageValues(this);
      TppUnlockedScope unlocked(publisher);
      ui::Application().ProcessMessages();
    }
    return;
  }
  if (SkipPage()) {
    if (!counted)
      SetStatus(FormatLanguageString(4, {page->AbsolutePageNo(), page->DocumentName()}));
    else
      SetStatus(FormatLanguageString(10, {page->AbsolutePageNo(), page->AbsolutePageCount(), page->DocumentName()}));
    return;
  }
  ++pageSerial_;
  page_->Assign(page);
  PreparePage();
  SetStatus(counted ? page_->GetPageNoOfCountText() : page_->GetPageNoText());
  if (viewer_) {
    TppUnlockedScope unlocked(publisher);
    viewer_->PageDisplayed();
  }
}

void TppScreenDevice::RequestPages() {
  // The job's start clears the page shown; a request that fails shows it
  // again.
  cls::Owned<TppPage> shown;
  if (page_->AbsolutePageNo() > 0) {
    shown.reset(new TppPage(nullptr));
    shown->Assign(page_.get());
  }
  try {
    TppDevice::RequestPages();
    if (Cancelled()) {
      // The user's cancel: the request is dropped once the run has unwound.
      // The page shown before it shows again, every page made stays
      // reachable, and the viewer hears that the work has stopped.
      SetCancelled(false);
      const bool restore = shown && page_->AbsolutePageNo() != shown->AbsolutePageNo();
      if (restore) {
        FreeOutlineTree();
        ++pageSerial_;
        page_->Assign(shown.get());
        PreparePage();
      }
      // The job's last status, shown as a busy job's is (not "Page 0").
      TppPublisher* publisher = Publisher();
      SetBusy(true);
      SetStatus(publisher && publisher->LastPageSeen() ? page_->GetPageNoOfCountText() : page_->GetPageNoText());
      SetBusy(false);
      SetCancelled(false);  // a cancel typed meanwhile was this request's
      Fire(OnCancelJob);
      if (restore && viewer_) {
        TppUnlockedScope unlocked(publisher);
        viewer_->PageDisplayed();
      }
    }
  } catch (...) {
    // Not the user's cancel: every page stays reachable. The viewer hears
    // of the end as of a cancel; the request's own failure is passed on.
    SetCancelled(false);
    const bool busy = Busy();
    SetBusy(false);
    try {
      const bool restore = shown && page_->AbsolutePageNo() == 0;
      if (restore) {
        ++pageSerial_;
        page_->Assign(shown.get());
        PreparePage();
      }
      SetStatus(page_->GetPageNoText());
      if (busy || restore) Fire(OnCancelJob);
    } catch (...) {
    }
    throw;
  }
}

void TppScreenDevice::FirstPage() {
  if (Busy() || Cancelled() || page_->AbsolutePageNo() == 1) return;
  PageRequest()->SetPageSetting(TppPageSettingType::psFirstPage);
  PageRequest()->SetPageRequested(1);
  RequestPages();
}

void TppScreenDevice::LastPage() {
  if (Busy() || Cancelled() || page_->LastPage()) return;
  PageRequest()->SetPageSetting(TppPageSettingType::psLastPage);
  RequestPages();
}

void TppScreenDevice::GotoPage(int32_t pageNo) {
  pageNo = std::max<int32_t>(pageNo, 1);
  if (Busy() || page_->AbsolutePageNo() == pageNo) return;
  PageRequest()->SetPageSetting(TppPageSettingType::psSinglePage);
  PageRequest()->SetPageRequested(pageNo);
  RequestPages();
}

void TppScreenDevice::Cancel() {
  if (viewer_ && viewer_->ViewerReport()) viewer_->ViewerReport()->Cancel();
}

int32_t TppScreenDevice::GetAbsolutePageNo() const { return page_->AbsolutePageNo(); }

bool TppScreenDevice::FindCommandAt(int x, int y, TppDrawCommand*& command) const {
  command = nullptr;
  for (int i = 0; i < page_->GetClickableCommandCount(); ++i) {
    TppDrawCommand* c = page_->GetClickableCommand(i);
    if (!c) continue;
    TppRect r = c->GetDrawRect();
    if (x >= r.Left && x <= r.Right && y >= r.Top && y <= r.Bottom) {
      command = c;
      return true;
    }
  }
  return false;
}

bool TppScreenDevice::SizePageBitmap(int& width, int& height) {
  TppPageDef* def = page_->PageDef();
  if (!def || def->mmWidth() <= 0 || def->mmHeight() <= 0) return false;
  const int64_t pw = def->spWidth(), ph = def->spHeight();
  if (pw <= 0 || ph <= 0) return false;
  const int s = ScreenPpi();
  const int m8 = Nint(s * 0.125), m4 = Nint(s * 0.25), m2 = Nint(s * 0.5);
  int64_t W = viewer_ ? viewer_->DisplayWidth() : 0, H = viewer_ ? viewer_->DisplayHeight() : 0;
  TppZoomSettingType zoom = viewer_ ? viewer_->ZoomSetting() : zs100Percent;
  int64_t pageW = 0, pageH = 0, bw = 0, bh = 0;
  switch (zoom) {
    case zsPageWidth:
      pageW = W - 2 * m8 - Nint(s * 0.1458);
      pageH = static_cast<int64_t>(ppNint(double(pageW) * ph / pw));
      bw = pageW + 2 * m8;
      bh = std::max(pageH + 2 * m8, H);
      break;
    case zsWholePage:
      if (H <= m4) return false;
      bw = W;
      bh = H;
      pageH = H - m4;
      pageW = static_cast<int64_t>(ppNint(double(pageH) * pw / ph));
      if (bw > m2 && bh > m2)
        while (pageW >= bw && pageH > 0) {
          pageH = std::max<int64_t>(pageH - m4, 0);
          pageW = static_cast<int64_t>(ppNint(double(pageH) * pw / ph));
        }
      break;
    case zs100Percent:
    case zsPercentage: {
      double f = viewer_ && zoom == zsPercentage ? viewer_->ZoomPercentage() / 100.0 : 1.0;
      pageH = static_cast<int64_t>(ppNint(ph * f));
      pageW = static_cast<int64_t>(ppNint(pw * f));
      bw = pageW + 2 * m4;
      bh = pageH + 2 * m4;
      if (viewer_) {
        bw = std::max(bw, W);
        bh = std::max(bh, H);
      }
      break;
    }
  }
  if (pageW <= 0 || pageH <= 0 || bw <= 0 || bh <= 0 || bw > INT32_MAX || bh > INT32_MAX ||
      bw * bh > kMaxBitmapPixels)
    return false;
  width = static_cast<int>(bw);
  height = static_cast<int>(bh);
  pageWidth_ = static_cast<int>(pageW);
  pageHeight_ = static_cast<int>(pageH);
  calculatedZoom_ = Nint(double(pageH) / ph * 100);
  return true;
}

void TppScreenDevice::PreparePage() {
  pageCanvas_ = nullptr;
  pageBitmap_.reset();
  int bw = 0, bh = 0;
  if (!drawsPages_ || !SizePageBitmap(bw, bh)) return;
  if (viewer_) viewer_->ShowDisplay();
  auto bitmap = std::make_unique<gdi::TBitmap>();
  bitmap->SetSize(bw, bh);
  if (bitmap->Width() != bw || bitmap->Height() != bh) return;  // more than an image may be
  gdi::TCanvas& canvas = bitmap->Canvas();
  canvas.Brush.Style = gdi::TBrushStyle::bsSolid;
  canvas.Brush.Color = kPageSurround;
  canvas.FillRect({0, 0, bw, bh});
  x0_ = (bw - pageWidth_) / 2;
  y0_ = (bh - pageHeight_) / 2;
  canvas.Brush.Color = viewer_ ? viewer_->PageColor() : gdi::clWhite;
  canvas.FillRect({x0_, y0_, x0_ + pageWidth_, y0_ + pageHeight_});
  TppPageDef* def = page_->PageDef();
  scaleX_ = double(pageWidth_) / def->spWidth();
  scaleY_ = double(pageHeight_) / def->spHeight();
  pageBitmap_ = std::move(bitmap);
  pageCanvas_ = &canvas;
  SendViewerEvent(ciViewerBeforePageDraw);
  DrawPage(page_.get());
  SendViewerEvent(ciViewerAfterPageDraw);
  Fire(OnPagePrepared);
}

void TppScreenDevice::FreeOutlineTree() {
  auto* command = cls::ObjectAs<TppOutlineDrawCommand>(page_->GetOutlineDrawCommand());
  TppOutlineNode* tree = command ? command->TakeMadeTree() : nullptr;
  if (!tree) return;
  // Busy meanwhile unless already; a cancel heard meanwhile ends it.
  struct BusyScope {
    TppScreenDevice* device;
    bool was;
    ~BusyScope() {
      if (!was) device->SetBusy(false);
    }
  } busy{this, Busy()};
  SetBusy(true);
  TppUnlockedScope unlocked(Publisher());
  TppOutlineNode::FreeTree(tree, [] { ui::Application().ProcessMessagesWhileWorking(); });
}

void TppScreenDevice::ResetPage() {
  ++pageSerial_;
  page_->FreeChildren();
  PreparePage();
}

void TppScreenDevice::SendViewerEvent(int eventId) {
  TppCommunicator* sender = viewer_ && viewer_->Communicator() ? viewer_->Communicator() : this;
  if (!sender->HasEventNotify(eventId)) return;
  TppUnlockedScope unlocked(Publisher());
  sender->SendEventNotify(sender, eventId, nullptr);
}

TppDeviceScale TppScreenDevice::Scale() const {
  return TppDeviceScale(ScreenPpi(), ScreenPpi(), x0_, y0_, scaleX_, scaleY_);
}

gdi::TCanvas* TppScreenDevice::ScreenCanvas() { return pageCanvas_; }

void TppScreenDevice::CalcDeviceRect(TppDrawCommand* command) {
  if (command) command->SetDrawRect(Scale().DeviceRect(command));
}

bool TppScreenDevice::DrawCommand(TppDrawCommand* command) {
  if (!command || !pageCanvas_) return false;
  CalcDeviceRect(command);
  const TppDeviceScale scale = Scale();
  if (auto* text = cls::ObjectAs<TppDrawText>(command)) {
    ppRasterDraw::DrawText(*pageCanvas_, scale, text);
  } else if (auto* shape = cls::ObjectAs<TppDrawShape>(command)) {
    ppRasterDraw::DrawShape(*pageCanvas_, scale, shape);
  } else if (auto* line = cls::ObjectAs<TppDrawLine>(command)) {
    ppRasterDraw::DrawLine(*pageCanvas_, scale, line);
  } else if (auto* image = cls::ObjectAs<TppDrawImage>(command)) {
    ppRasterDraw::DrawImage(*pageCanvas_, scale, image);
  } else {
    return false;
  }
  return true;
}

bool TppScreenDevice::RedrawCommand(TppDrawCommand* command) {
  if (!pageCanvas_) return true;
  if (!command) return false;
  auto* text = cls::ObjectAs<TppDrawText>(command);
  bool transparent = text && text->Transparent();
  if (text) text->SetTransparent(false);
  bool drawn = command->Draw(this);
  if (text) text->SetTransparent(transparent);
  if (drawn && viewer_) viewer_->CopyToDisplay(command->GetDrawRect());
  return drawn;
}

// ---- TppViewer ----

// Receives the report's events (87 no data, 89 print job end) and its free
// notice for the viewer, and sends the viewer's own events.
class TppViewerCommunicator : public TppCommunicator {
  CLS_DECLARE_CLASS(TppViewerCommunicator, TppCommunicator)
 public:
  TppViewerCommunicator(cls::TComponent* owner, TppViewer* viewer) : TppCommunicator(owner), viewer_(viewer) {
    EventMask().Include(ciReportNoData);
    EventMask().Include(ciProducerPrintJobEnd);
  }
  void EventNotify(TppCommunicator* sender, int eventId, TraParamList* params) override {
    TppCommunicator::EventNotify(sender, eventId, params);
    if (viewer_ && sender && sender == viewer_->Report()) viewer_->ReportEvent(eventId);
  }
  void Notify(TppCommunicator* communicator, uint8_t operation) override {
    TppCommunicator::Notify(communicator, operation);
    if (viewer_ && operation == ppopRemove && communicator && communicator == viewer_->Report()) viewer_->ReportFreed();
  }
  TppViewer* viewer_;
};
CLS_IMPLEMENT_CLASS(TppViewerCommunicator)

CLS_IMPLEMENT_COMPONENT(TppViewer)

TppViewer::TppViewer(cls::TComponent* owner) : ui::TCustomPanel(owner) {
  Font.SetName("MS Sans Serif");
  Font.SetSize(8);
  Color = kPageSurround;
  SetBounds(Left(), Top(), 320, 120);
  screenDevice_ = new TppScreenDevice(this);
  screenDevice_->OnStartJob = cls::TNotifyEvent(this, &TppViewer::PrintStateChanged);
  screenDevice_->OnEndJob = cls::TNotifyEvent(this, &TppViewer::PrintStateChanged);
  screenDevice_->OnCancelJob = cls::TNotifyEvent(this, &TppViewer::PrintStateChanged);
  screenDevice_->OnPublisherChange = cls::TNotifyEvent(this, &TppViewer::PublisherChanged);
  communicator_ = new TppViewerCommunicator(this, this);
  normalCursor_ = Cursor();
}

void TppViewer::Loaded() {
  inherited::Loaded();
  CreateControls();
}

bool TppViewer::CreateControls() {
  if (scrollBox_) return true;
  if (HasState(cls::csLoading) || HasState(cls::csReading)) return false;
  scrollBox_ = new TppScrollBox(this);
  scrollBox_->SetName("");
  scrollBox_->SetParent(this);
  scrollBox_->Hide();
  scrollBox_->BorderStyle = ui::TBorderStyle::bsNone;
  scrollBox_->SetAlign(ui::TAlign::alClient);
  scrollBox_->DoubleBuffered = true;
  scrollBox_->AutoScroll = false;
  scrollBox_->HorzScrollBar().Tracking = true;
  scrollBox_->VertScrollBar().Tracking = true;
  scrollBox_->OnMouseWheel = [this](cls::TObject* sender, ui::TShiftState shift, int delta, win::PT pos,
                                    bool& handled) { ScrollBoxMouseWheel(sender, shift, delta, pos, handled); };
  paintBox_ = new ui::TPaintBox(this);
  paintBox_->SetParent(scrollBox_);
  paintBox_->Hide();
  paintBox_->SetAlign(ui::TAlign::alClient);
  paintBox_->Color = kPageSurround;
  paintBox_->SetCursor(Cursor());
  normalCursor_ = Cursor();
  paintBox_->OnPaint = [this](cls::TObject* sender) { PaintBoxPaint(sender); };
  paintBox_->OnMouseMove = [this](cls::TObject* sender, ui::TShiftState shift, int x, int y) {
    PaintBoxMouseMove(sender, shift, x, y);
  };
  paintBox_->OnClick = [this](cls::TObject* sender) { PaintBoxClick(sender); };
  paintBox_->OnDblClick = OnDblClick;
  paintBox_->OnDragDrop = OnDragDrop;
  paintBox_->OnDragOver = OnDragOver;
  // The press also tells the click where it was.
  paintBox_->OnMouseDown = [this, down = OnMouseDown](cls::TObject* sender, ui::TMouseButton button,
                                                      ui::TShiftState shift, int x, int y) {
    mouse_ = {x, y};
    if (down) down(sender, button, shift, x, y);
  };
  paintBox_->OnMouseUp = OnMouseUp;
  scrollBox_->Show();
  Realign();
  Invalidate();
  return true;
}

TppScrollBox* TppViewer::ScrollBox() {
  CreateControls();
  return scrollBox_;
}

ui::TPaintBox* TppViewer::PaintBox() {
  CreateControls();
  return paintBox_;
}

void TppViewer::ScrollBoxMouseWheel(cls::TObject*, ui::TShiftState, int, win::PT, bool&) {}

void TppViewer::SetCursor(ui::TCursor c) {
  inherited::SetCursor(c);
  if (paintBox_ && !handShowing_) paintBox_->SetCursor(c);
  if (!handShowing_) normalCursor_ = c;
}

void TppViewer::ShowDisplay() {
  if (CreateControls() && !paintBox_->Visible() && !HasState(cls::csDesigning)) paintBox_->Show();
}

void TppViewer::UpdateScrollBars() {
  if (!CreateControls()) return;
  gdi::TBitmap* bitmap = screenDevice_->PageBitmap();
  scrollBox_->HorzScrollBar().SetRange(bitmap ? bitmap->Width() : 0);
  scrollBox_->VertScrollBar().SetRange(bitmap ? bitmap->Height() : 0);
  scrollBox_->Realign();
}

void TppViewer::PaintBoxPaint(cls::TObject*) {
  gdi::TBitmap* bitmap = screenDevice_->PageBitmap();
  if (!bitmap || !paintBox_) return;
  // Only the part in view travels.
  gdi::TCanvas& canvas = paintBox_->Canvas();
  const int x = scrollBox_->HorzScrollBar().Position(), y = scrollBox_->VertScrollBar().Position();
  const int w = std::min(scrollBox_->ClientWidth(), bitmap->Width() - x);
  const int h = std::min(scrollBox_->ClientHeight(), bitmap->Height() - y);
  if (w <= 0 || h <= 0) return;
  win::BitBlt(canvas.Handle(), x, y, w, h, bitmap->Canvas().Handle(), x, y, win::SRCCOPY);
}

void TppViewer::PaintBoxMouseMove(cls::TObject*, ui::TShiftState, int x, int y) {
  mouse_ = {x, y};
  TppDrawCommand* command = nullptr;
  bool hand = screenDevice_->FindCommandAt(x, y, command);
  if (hand == handShowing_ || !paintBox_) return;
  handShowing_ = hand;
  paintBox_->SetCursor(hand ? ui::crHandPoint : normalCursor_);
}

void TppViewer::PaintBoxClick(cls::TObject*) {
  TppDrawCommand* command = nullptr;
  if (!screenDevice_->FindCommandAt(mouse_.x, mouse_.y, command)) return;
  const uint64_t serial = screenDevice_->PageSerial();
  TppCommunicator* report = report_;
  command->DoClick();
  // The handler may have asked for pages or let the report go: the command
  // may be gone with the page it was on.
  if (report_ != report || screenDevice_->PageSerial() != serial || !command->RedrawPage()) return;
  command->SetRedrawPage(false);
  int32_t pageNo = screenDevice_->GetAbsolutePageNo();
  if (screenDevice_->Busy()) return;
  screenDevice_->PageRequest()->SetPageSetting(TppPageSettingType::psSinglePage);
  screenDevice_->PageRequest()->SetPageRequested(std::max<int32_t>(pageNo, 1));
  screenDevice_->RequestPages();
  RefreshPointer();
}

void TppViewer::RefreshPointer() {
  if (!paintBox_) return;
  // The pointer goes back where it was even when the pump raises.
  struct Back {
    TppViewer* viewer;
    win::PT at;
    ~Back() {
      try {
        viewer->PaintBoxMouseMove(viewer->paintBox_, 0, at.x, at.y);
      } catch (...) {
      }
    }
  } back{this, mouse_};
  PaintBoxMouseMove(paintBox_, 0, back.at.x + 1, back.at.y);
  ui::Application().ProcessMessages();
}

void TppViewer::Scroll(int direction) {
  if (!CreateControls()) return;
  switch (direction) {
    case 0: scrollBox_->VertScrollBar().SetPosition(scrollBox_->VertScrollBar().Position() - scrollBox_->Height()); break;
    case 1: scrollBox_->VertScrollBar().SetPosition(scrollBox_->VertScrollBar().Position() + scrollBox_->Height()); break;
    case 2: scrollBox_->HorzScrollBar().SetPosition(scrollBox_->HorzScrollBar().Position() - scrollBox_->Width()); break;
    case 3: scrollBox_->HorzScrollBar().SetPosition(scrollBox_->HorzScrollBar().Position() + scrollBox_->Width()); break;
    default: return;
  }
  Invalidate();
}

TppViewer::~TppViewer() = default;

void TppViewer::BeforeDestruction() {
  SetReport(nullptr);
  if (communicator_) static_cast<TppViewerCommunicator*>(communicator_)->viewer_ = nullptr;
  screenDevice_->OnStartJob.Clear();
  screenDevice_->OnEndJob.Clear();
  screenDevice_->OnCancelJob.Clear();
  screenDevice_->OnPublisherChange.Clear();
  inherited::BeforeDestruction();
}

void TppViewer::AttachDevice(TppPublisher* publisher) {
  cls::TFlagScope attaching(attaching_);
  screenDevice_->SetPublisher(publisher);
}

void TppViewer::SetReport(TppCommunicator* report) {
  if (report == report_) return;
  CreateControls();
  if (report_) {
    AttachDevice(nullptr);
    report_->RemoveEventNotify(communicator_);
    communicator_->RemoveNotify(report_);
  }
  auto* viewerReport = dynamic_cast<IppViewerReport*>(report);
  report_ = viewerReport ? report : nullptr;
  viewerReport_ = viewerReport;
  printRun_ = false;
  refreshAfterPrint_ = false;
  savedSetup_.reset();
  if (!report_) return;
  communicator_->AddNotify(report_);
  report_->AddEventNotify(communicator_);
  AttachDevice(viewerReport_->Publisher());
}

void TppViewer::ReportFreed() {
  // The report is going: nothing of it is touched any more.
  if (!report_) return;
  report_ = nullptr;
  viewerReport_ = nullptr;
  printRun_ = false;
  refreshAfterPrint_ = false;
  savedSetup_.reset();
  AttachDevice(nullptr);
  ResetDisplay();
}

void TppViewer::PublisherChanged(cls::TObject*) {
  // Not the viewer's own doing: the publisher went with its report.
  if (!attaching_ && report_ && !screenDevice_->Publisher()) ReportFreed();
}

void TppViewer::ReportEvent(int eventId) {
  if (eventId == ciReportNoData) screenDevice_->PreparePage();
  else if (eventId == ciProducerPrintJobEnd && printRun_) RestoreAfterPrint();
}

void TppViewer::SetZoomPercentage(int v) {
  int clamped = std::clamp(v, 25, 250);
  bool changed = clamped != zoomPercentage_;
  zoomPercentage_ = clamped;
  if (zoomSetting_ != zsPercentage) SetZoomSetting(zsPercentage);
  else if (changed) Rezoom();
}

void TppViewer::SetZoomSetting(TppZoomSettingType v) {
  bool changed = v != zoomSetting_;
  zoomSetting_ = v;
  if (changed) Rezoom();
}

void TppViewer::Rezoom() {
  if (HasState(cls::csLoading) || HasState(cls::csReading) || !report_) return;
  if (!Visible() || !CreateControls()) {
    Realign();
    return;
  }
  paintBox_->Hide();
  screenDevice_->PreparePage();
  scrollBox_->HorzScrollBar().SetPosition(0);
  scrollBox_->VertScrollBar().SetPosition(0);
  UpdateScrollBars();
  Invalidate();
  paintBox_->Show();
}

int TppViewer::DisplayWidth() const {
  return scrollBox_ ? scrollBox_->ClientWidth() : ClientWidth();
}
int TppViewer::DisplayHeight() const {
  return scrollBox_ ? scrollBox_->ClientHeight() : ClientHeight();
}

bool TppViewer::GetBusy() const { return screenDevice_->Busy() || (viewerReport_ && viewerReport_->Printing()); }

void TppViewer::GotoPage(int32_t pageNo) { screenDevice_->GotoPage(pageNo); }
void TppViewer::FirstPage() { screenDevice_->FirstPage(); }
void TppViewer::LastPage() { screenDevice_->LastPage(); }

void TppViewer::NextPage() {
  TppPage* page = screenDevice_->GetPage();
  if (page->LastPage() || page->AbsolutePageNo() < 1) return;
  GotoPage(page->AbsolutePageNo() + 1);
}

void TppViewer::PriorPage() {
  int32_t n = screenDevice_->GetAbsolutePageNo();
  if (n <= 1) return;
  GotoPage(n - 1);
}

void TppViewer::Cancel() { screenDevice_->Cancel(); }

void TppViewer::ResetDisplay() {
  if (viewerReport_) {
    TppPageDef* from = viewerReport_->PrinterSetup()->PageDef();
    TppPageDef* to = screenDevice_->GetPage()->PageDef();
    to->SetmmHeight(from->mmHeight());
    to->SetmmWidth(from->mmWidth());
  }
  screenDevice_->ResetJob();
  if (OnReset) OnReset(this);
  Broadcast(ciViewerReset);
}

void TppViewer::Regenerate() {
  if (GetBusy() || !viewerReport_) return;
  if (TppPublisher* publisher = viewerReport_->Publisher()) publisher->Refresh();
  ResetDisplay();
  if (OnReset) OnReset(this);
  screenDevice_->RequestPages();
}

void TppViewer::RunAutoSearch() {
  if (GetBusy() || !viewerReport_) return;
  if (viewerReport_->ExecuteAutoSearchDialog()) Regenerate();
}

void TppViewer::Print() {
  if (printRun_ || GetBusy() || !viewerReport_) return;
  IppViewerReport* report = viewerReport_;
  const std::string printer = TppPrinterDevice::ClassDeviceName();
  savedDeviceType_ = report->DeviceType();
  savedShowAutoSearch_ = report->ShowAutoSearchDialog();
  savedSetup_.reset(new TppPrinterSetup(nullptr));
  savedSetup_->Assign(report->PrinterSetup());
  refreshAfterPrint_ = false;
  printRun_ = true;
  // However the run ends, the report is given back once: on event 89,
  // else here.
  struct HandBack {
    TppViewer* viewer;
    ~HandBack() {
      if (!viewer->printRun_) return;
      try {
        viewer->RestoreAfterPrint();
      } catch (...) {
      }
    }
  } handBack{this};
  AttachDevice(nullptr);
  report->SetCurrentPage(std::max<int32_t>(screenDevice_->GetAbsolutePageNo(), 1));
  report->SetShowAutoSearchDialog(false);
  report->SetDeviceType(printer);
  // No printer device class: the name is refused and a Print would show
  // the screen instead.
  if (!cls::SameText(report->DeviceType(), printer)) return;
  report->Print();
  if (printRun_) RestoreAfterPrint();
  // Outside the printer run: the page again for the setup it left.
  if (refreshAfterPrint_ && viewerReport_ && !screenDevice_->Busy()) {
    refreshAfterPrint_ = false;
    screenDevice_->RequestPages();
  }
}

void TppViewer::RestoreAfterPrint() {
  printRun_ = false;
  refreshAfterPrint_ = false;
  cls::Owned<TppPrinterSetup> saved(std::move(savedSetup_));
  if (!viewerReport_) return;
  viewerReport_->SetDeviceType(savedDeviceType_);
  viewerReport_->SetShowAutoSearchDialog(savedShowAutoSearch_);
  AttachDevice(viewerReport_->Publisher());
  refreshAfterPrint_ = saved && !viewerReport_->PrinterSetup()->IsEqual(saved.get());
}

void TppViewer::PageDisplayed() {
  UpdateScrollBars();
  Invalidate();
  Fire(OnPageChange, ciViewerPageChange);
}

void TppViewer::StatusChanged() { Fire(OnStatusChange, ciViewerStatusChange); }

void TppViewer::PrintStateChanged(cls::TObject*) {
  Invalidate();
  Fire(OnPrintStateChange, ciViewerPrintStateChange);
}

void TppViewer::CopyToDisplay(const TppRect&) {
  // Headless, the next rendering copies the bitmap as it now is.
  repainting_ = true;
  Invalidate();
  repainting_ = false;
}

void TppViewer::Fire(const cls::TNotifyEvent& event, int eventId) {
  if (event) event(this);
  Broadcast(eventId);
}

void TppViewer::Broadcast(int eventId) {
  if (communicator_ && communicator_->HasEventNotify(eventId)) communicator_->SendEventNotify(communicator_, eventId, nullptr);
}

void TppViewer::RegisterProperties() {
  using V = TppViewer;
  auto& c = V::StaticClass();
  cls::TPropInfo report;
  report.Name = "Report";
  report.Type = cls::MakeClassTypeInfo("TppCommunicator", &TppCommunicator::StaticClass());
  report.GetObj = [](cls::TObject* o) -> cls::TObject* { return static_cast<V*>(o)->Report(); };
  report.SetObj = [](cls::TObject* o, cls::TObject* v) {
    static_cast<V*>(o)->SetReport(cls::ObjectAs<TppCommunicator>(v));
  };
  cls::PublishProperty(c, std::move(report));
  cls::TPropInfo zoom = cls::OrdProperty<V, TppZoomSettingType>("ZoomSetting", cls::EnumTypeInfo<TppZoomSettingType>(),
                                                               &V::ZoomSetting, &V::SetZoomSetting);
  zoom.HasDefault = true;
  zoom.Default = zsWholePage;
  cls::PublishProperty(c, std::move(zoom));
  cls::TPropInfo percentage =
      cls::OrdProperty<V, int>("ZoomPercentage", cls::TypeInfoInteger(), &V::ZoomPercentage, &V::SetZoomPercentage);
  percentage.HasDefault = true;
  percentage.Default = 100;
  cls::PublishProperty(c, std::move(percentage));
  cls::PublishProperty(c, cls::OrdProperty<V, gdi::TColor>("PageColor", cls::TypeInfoInteger(), &V::PageColor,
                                                          &V::SetPageColor));
  for (const auto& [name, field] : {std::pair{"OnPageChange", &V::OnPageChange},
                                    std::pair{"OnPrintStateChange", &V::OnPrintStateChange},
                                    std::pair{"OnStatusChange", &V::OnStatusChange}})
    cls::PublishProperty(c, cls::MethodProperty<V>(name, field));
}

void ppRegisterViewerUnit() {
  RegisterDevice<TppScreenDevice>();
  TppViewer::RegisterProperties();
  cls::RegisterClass(&TppViewer::StaticClass());
}
