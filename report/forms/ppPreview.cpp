#include "report/forms/ppPreview.h"

#include <atomic>
#include <string>
#include <variant>

#include "platform/classes/sysutils.h"
#include "platform/ui/forms.h"
#include "platform/ui/input.h"
#include "report/engine/ppOutline.h"
#include "report/engine/ppProd.h"
#include "report/forms/ppOutlineViewer.h"
#include "report/forms/ppTextSearchPreview.h"
#include "report/model/ppRTTI.h"
#include "report/model/ppResMgr.h"
#include "report/output/ppOutlineDrawCommand.h"
#include "report/output/ppViewr.h"

// ---- icons ----

void TppPreviewIcon::DrawImage() {
  FillRect(0, 0, ImageWidth() - 1, ImageHeight() - 1, TransparentColor());
  DrawGlyph();
}

void TppDoubleGlyphIcon::DrawImage() {
  FillRect(0, 0, ImageWidth() - 1, ImageHeight() - 1, TransparentColor());
  DrawGlyphAt(0, EnabledColor());
  DrawGlyphAt(16, DisabledColor());
}

void TppDoubleGlyphIcon::Arrow(int tip, bool left, gdi::TColor color) {
  for (int k = 0; k < 5; ++k) {
    int x = left ? tip + k : tip - k;
    Line(x, 8 - k, x, 8 + k, color);
  }
}

void TppFirstIcon::DrawGlyphAt(int x, gdi::TColor color) {
  FillRect(x + 3, 3, x + 4, 13, color);
  Arrow(x + 6, true, color);
}

void TppPriorIcon::DrawGlyphAt(int x, gdi::TColor color) { Arrow(x + 5, true, color); }

void TppNextIcon::DrawGlyphAt(int x, gdi::TColor color) { Arrow(x + 10, false, color); }

void TppLastIcon::DrawGlyphAt(int x, gdi::TColor color) {
  Arrow(x + 9, false, color);
  FillRect(x + 11, 3, x + 12, 13, color);
}

void TppPrinterIcon::DrawGlyph() {
  FillRect(4, 1, 11, 5, gdi::clWhite);  // paper in
  FrameRect(4, 1, 11, 5, gdi::clBlack);
  FillRect(1, 6, 14, 11, gdi::clSilver);  // body
  FrameRect(1, 6, 14, 11, gdi::clBlack);
  Line(12, 8, 13, 8, gdi::clLime);
  FillRect(4, 10, 11, 14, gdi::clWhite);  // paper out
  FrameRect(4, 10, 11, 14, gdi::clBlack);
  Line(6, 12, 10, 12, gdi::clGray);
}

void TppAutoSearchIcon::DrawGlyph() {
  FillRect(1, 2, 14, 13, gdi::clWhite);
  for (int y = 2; y <= 13; y += 4) Line(1, y, 14, y, gdi::clNavy);
  Line(1, 2, 1, 13, gdi::clNavy);
  Line(6, 2, 6, 13, gdi::clNavy);
  Line(14, 2, 14, 13, gdi::clNavy);
  FillRect(2, 3, 13, 5, gdi::clNavy);  // the header row
}

void TppTextSearchIcon::DrawGlyphAt(int x, gdi::TColor color) {
  FrameRect(x + 1, 1, x + 9, 12, color);
  for (int y = 3; y <= 9; y += 2) Line(x + 3, y, x + 7, y, color);
  Ellipse(x + 7, 7, x + 12, 12, color);
  Line(x + 12, 12, x + 14, 14, color);
  Line(x + 11, 12, x + 13, 14, color);
}

void TppZoomIcon::DrawGlyph() {
  DrawPage();
  Ellipse(7, 6, 13, 12, gdi::clBlack);  // the lens
  FillRect(9, 8, 11, 10, gdi::clSilver);
  Line(12, 12, 15, 15, gdi::clMaroon);  // the handle
  Line(13, 12, 15, 14, gdi::clMaroon);
}

void TppZoomWholePageIcon::DrawPage() {
  FillRect(1, 0, 10, 13, gdi::clWhite);
  FrameRect(1, 0, 10, 13, gdi::clBlack);
}

void TppZoomPageWidthIcon::DrawPage() {
  FillRect(0, 2, 13, 11, gdi::clWhite);
  FrameRect(0, 2, 13, 11, gdi::clBlack);
  Line(2, 4, 2, 9, gdi::clGray);
}

void TppZoom100PercentIcon::DrawPage() {
  FillRect(1, 0, 10, 13, gdi::clWhite);
  FrameRect(1, 0, 10, 13, gdi::clBlack);
  for (int y = 2; y <= 10; y += 2) Line(3, y, 6, y, gdi::clBlack);
}

void ppPrepareStatusBar(ui::TStatusBar* bar, const char* refusal) {
  if (!bar) return;
  if (bar->SimplePanel) throw ESearchError(refusal);
  if (bar->Panels.Count() == 1) bar->Panels.Add();
  if (bar->Panels.Count() > 0) {
    bar->Panels[0].Width = 275;
    bar->Panels[0].Alignment = cls::taLeftJustify;
  }
}

// ---- plug-in classes ----

namespace {
std::atomic<cls::TClass> g_searchPreviewClass{nullptr};
std::atomic<cls::TClass> g_plugInClass{nullptr};
}  // namespace

void TppPreviewPlugIn::RegisterPreviewPlugInClass(cls::TClass plugInClass) { g_plugInClass.store(plugInClass); }

void TppPreviewPlugIn::UnregisterPreviewPlugInClass() { g_plugInClass.store(nullptr); }

cls::TClass TppPreviewPlugIn::PreviewPlugInClass() { return g_plugInClass.load(); }

TppCustomPreview* TppPreviewPlugIn::CreatePreviewPlugIn(ui::TWinControl* parent) {
  cls::TClass c = PreviewPlugInClass();
  if (!c || !c->Create || !c->InheritsFrom(&TppCustomPreview::StaticClass())) {
    c = &TppPreview::StaticClass();
    RegisterPreviewPlugInClass(c);
  }
  auto* plugIn = static_cast<TppCustomPreview*>(c->Create(parent));
  try {
    plugIn->CreateControls();
  } catch (...) {
    plugIn->Free();
    throw;
  }
  return plugIn;
}

void TppPreviewPlugIn::RegisterSearchPreviewClass(cls::TClass searchPreviewClass) {
  g_searchPreviewClass.store(searchPreviewClass);
}

void TppPreviewPlugIn::UnregisterSearchPreviewClass() { g_searchPreviewClass.store(nullptr); }

cls::TClass TppPreviewPlugIn::SearchPreviewClass() { return g_searchPreviewClass.load(); }

TppCustomSearchPreview* TppPreviewPlugIn::CreateSearchPreview(cls::TComponent* owner) {
  cls::TClass c = SearchPreviewClass();
  if (!c || !c->Create || !c->InheritsFrom(&TppCustomSearchPreview::StaticClass())) return nullptr;
  return static_cast<TppCustomSearchPreview*>(c->Create(owner));
}

// ---- TppCustomPreview ----

CLS_IMPLEMENT_COMPONENT(TppCustomPreview)

class TppCustomPreview::TppActionScope {
 public:
  TppActionScope(TppCustomSearchPreview* search, int action) : search_(search), action_(action) {
    if (search_) search_->BeforePreviewAction(action_);
  }
  ~TppActionScope() {
    if (!search_) return;
    try {
      search_->AfterPreviewAction(action_);
    } catch (...) {
    }
  }
  TppActionScope(const TppActionScope&) = delete;
  TppActionScope& operator=(const TppActionScope&) = delete;

 private:
  TppCustomSearchPreview* search_;
  int action_;
};

TppCustomPreview::TppCustomPreview(cls::TComponent* parent)
    : TppCommunicator(nullptr), parent_(dynamic_cast<ui::TWinControl*>(parent)) {
  for (int id : {ciViewerPageChange, ciViewerPrintStateChange, ciViewerStatusChange, ciViewerReset, ciOutlineEvent,
                 ciSearchPanelVisible, ciSearchPanelToggled})
    EventMask().Include(id);
  viewer_ = new TppViewer(parent);
  viewer_->SetName("vwrPreview");
  if (parent_) viewer_->SetParent(parent_);
  viewer_->SetAlign(ui::TAlign::alClient);
  viewer_->FreeNotification(this);
  viewer_->Communicator()->AddEventNotify(this);
}

TppCustomPreview::~TppCustomPreview() = default;

void TppCustomPreview::BeforeDestruction() {
  if (TppCustomSearchPreview* s = searchPreview_) {
    searchPreview_ = nullptr;
    try {
      s->RemoveEventNotify(this);
      cls::UnguardFree(s);
      s->Free();  // put off by the pane while one of its actions runs
    } catch (...) {
    }
  }
  if (viewer_) {
    try {
      viewer_->Communicator()->RemoveEventNotify(this);
      viewer_->RemoveFreeNotification(this);
    } catch (...) {
    }
    viewer_ = nullptr;
  }
  inherited::BeforeDestruction();
}

void TppCustomPreview::Notification(cls::TComponent* c, cls::TOperation op) {
  if (op == cls::opRemove) {
    if (c == viewer_) viewer_ = nullptr;
    if (c == searchPreview_) searchPreview_ = nullptr;
    if (c == statusBar_) statusBar_ = nullptr;
  }
  inherited::Notification(c, op);
}

void TppCustomPreview::EventNotify(TppCommunicator* sender, int eventId, TraParamList* params) {
  inherited::EventNotify(sender, eventId, params);
  switch (eventId) {
    case ciViewerPageChange: PageChangeEvent(); break;
    case ciViewerPrintStateChange: PrintStateChangeEvent(); break;
    case ciViewerStatusChange: StatusChangeEvent(); break;
    case ciViewerReset: ViewerRefreshEvent(); break;
    case ciSearchPanelVisible:
      if (searchPreview_ && sender == searchPreview_) UpdateOutlinePanel();
      break;
    case ciSearchPanelToggled:
      if (searchPreview_ && sender == searchPreview_) SearchPanelToggledEvent();
      break;
    default: break;
  }
}

void TppCustomPreview::SetStatusBar(ui::TStatusBar* statusBar) {
  if (statusBar_) statusBar_->RemoveFreeNotification(this);
  statusBar_ = statusBar;
  if (statusBar_) statusBar_->FreeNotification(this);
  if (searchPreview_) searchPreview_->SetStatusBar(statusBar_);
}

TppCustomSearchPreview* TppCustomPreview::GetSearchPreview() {
  if (!searchPreview_) {
    searchPreview_ = TppPreviewPlugIn::CreateSearchPreview(this);
    if (searchPreview_) {
      cls::GuardFree(searchPreview_, [] {
        throw ESearchError("TppCustomPreview.Notify: Do not attempt to free the embedded search preview object.");
      });
      searchPreview_->AddEventNotify(this);
    }
  }
  return searchPreview_;
}

void TppCustomPreview::BeforePreview() {
  if (!viewer_) return;
  report_ = cls::ObjectAs<TppProducer>(viewer_->Report());
  viewer_->ScreenDevice()->SetActive(true);
  viewer_->ScrollBox();
  if (report_ && report_->TextSearchSettings()->Enabled()) GetSearchPreview();
  if (searchPreview_) {
    searchPreview_->SetViewer(viewer_);
    searchPreview_->SetStatusBar(statusBar_);
    if (report_) searchPreview_->SetTextSearchSettings(report_->TextSearchSettings());
  }
}

void TppCustomPreview::AfterPreview() {
  if (viewer_) viewer_->ScreenDevice()->SetActive(false);
  if (searchPreview_) searchPreview_->EndPreview();
  report_ = nullptr;
}

void TppCustomPreview::UpdateSearch() {
  if (searchPreview_) searchPreview_->UpdateSearch();
}

void TppCustomPreview::Cancel() {
  // A search under way stops too.
  if (searchPreview_ && searchPreview_->Searching()) searchPreview_->PerformSearchAction(saCancel);
  if (!report_ || !viewer_) return;
  // A print from the preview is the report's printer run; a screen run
  // makes its pages without the printing flag, so the viewer's busy state
  // (which holds the report's printing) decides.
  if (printing_) report_->Cancel();
  else if (viewer_->GetBusy()) viewer_->Cancel();
}

bool TppCustomPreview::WorkUnderWay() const {
  // The viewer is busy while its report prints, too.
  return printing_ || (viewer_ && viewer_->GetBusy()) || (searchPreview_ && searchPreview_->Searching());
}

void TppCustomPreview::LanguageChanged() {
  if (searchPreview_) searchPreview_->LanguageChanged();
}

void TppCustomPreview::PerformAction(int action) {
  if (!viewer_) return;
  TppActionScope told(searchPreview_, action);
  switch (action) {
    case paPrint: Print(); break;
    case paAutoSearch: viewer_->RunAutoSearch(); break;
    case paTextSearch: ToggleSearchPanel(); break;
    case paWholePage: SetZoomSetting(zsWholePage); break;
    case paPageWidth: SetZoomSetting(zsPageWidth); break;
    case pa100Percent: SetZoomSetting(zs100Percent); break;
    case paFirst: viewer_->FirstPage(); break;
    case paPrior: viewer_->PriorPage(); break;
    case paNext: viewer_->NextPage(); break;
    case paLast: viewer_->LastPage(); break;
    case paCancel: Cancel(); break;
    case paClose:
      // The work under way stops first; the form goes once it has unwound.
      Cancel();
      if (OnClose) OnClose(this);
      break;
    default: break;
  }
}

void TppCustomPreview::Print() {
  if (!report_ || !viewer_) return;
  cls::TFlagScope printing(printing_);
  if (BeforePrint) BeforePrint(this);
  try {
    viewer_->Print();
  } catch (...) {
    if (AfterPrint) AfterPrint(this);
    throw;
  }
  if (AfterPrint) AfterPrint(this);
}

void TppCustomPreview::SetZoomSetting(TppZoomSettingType zoom) {
  if (viewer_) viewer_->SetZoomSetting(zoom);
}

void TppCustomPreview::SetZoomPercentage(int percent) {
  if (!viewer_) return;
  viewer_->SetZoomPercentage(percent);
  PageChangeEvent();
}

void TppCustomPreview::GotoPage(int32_t pageNo) {
  if (!viewer_) return;
  // The pane hears of a page move as of a step to the first page.
  TppActionScope told(searchPreview_, paFirst);
  viewer_->GotoPage(pageNo);
}

void TppCustomPreview::StatusChangeEvent() {
  if (viewer_ && viewer_->GetBusy() && statusBar_ && statusBar_->Panels.Count() > 0) {
    statusBar_->Panels[0].Text = viewer_->GetStatus();
    statusBar_->Invalidate();
  }
  if (searchPreview_) {
    searchPreview_->StatusChange();
    return;
  }
  ppPrepareStatusBar(statusBar_, "TppCustomPreview.StatusChangeEvent: Must have a non-SimplePanel status bar.");
}

void TppCustomPreview::PageChangeEvent() {
  if (OnPageChange) OnPageChange(this);
}

void TppCustomPreview::ToggleSearchPanel() {
  if (searchPreview_) searchPreview_->TogglePanel();
}

void TppCustomPreview::KeyDown(unsigned short& key, ui::TShiftState shift) {
  if (!viewer_) return;
  if (shift & ui::ssCtrl) {
    switch (key) {
      case ui::VK_PRIOR: viewer_->PriorPage(); break;
      case ui::VK_NEXT: viewer_->NextPage(); break;
      case ui::VK_HOME: viewer_->FirstPage(); break;
      case ui::VK_END: viewer_->LastPage(); break;
      default: break;
    }
    return;
  }
  switch (key) {
    case ui::VK_ESCAPE: PerformAction(paClose); break;
    case ui::VK_PRIOR:
    case ui::VK_UP: viewer_->Scroll(0); break;
    case ui::VK_NEXT:
    case ui::VK_DOWN: viewer_->Scroll(1); break;
    case ui::VK_LEFT: viewer_->Scroll(2); break;
    case ui::VK_RIGHT: viewer_->Scroll(3); break;
    default: break;
  }
}

// ---- TppPreview ----

CLS_IMPLEMENT_COMPONENT(TppPreview)

namespace {

int RightOf(const ui::TControl* c) { return c->Left() + c->Width(); }

}  // namespace

TppPreview::TppPreview(cls::TComponent* parent) : TppCustomPreview(parent) {}

void TppPreview::CreateControls() {
  if (built_) return;
  built_ = true;
  ui::TWinControl* parent = Parent();
  CreatePanels();
  CreateToolbar();
  CreateOutlineViewer();
  splViewer = ppMakeControl<ui::TSplitter>(parent, parent, "splViewer");
  splViewer->SetLeft(tvOutline->Width());
  splViewer->SetAlign(ui::TAlign::alLeft);
  splViewer->AutoSnap = false;
  splViewer->MinSize = tvOutline->Width();
  Viewer()->SetAlign(ui::TAlign::alClient);
  Viewer()->ScrollBox();
  Viewer()->ScreenDevice()->SetActive(false);
}

void TppPreview::CreatePanels() {
  ui::TWinControl* parent = Parent();
  pnlToolbar = ppMakeControl<ui::TPanel>(parent, parent, "pnlToolbar");
  pnlToolbar->SetAlign(ui::TAlign::alTop);
  pnlToolbar->SetHeight(26);
  pnlToolbar->BevelOuter = ui::TBevelCut::bvNone;
  pnlToolbar->ShowHint = true;
  pnlToolbar->Color = gdi::clBtnFace;
  pnlButtons = ppMakeControl<ui::TPanel>(parent, pnlToolbar, "pnlButtons");
  pnlButtons->SetBounds(0, 0, 550, 26);
  pnlButtons->BevelOuter = ui::TBevelCut::bvNone;
  pnlButtons->ShowHint = true;
  pnlButtons->Color = gdi::clBtnFace;
  pnlLeft = ppMakeControl<ui::TPanel>(parent, parent, "pnlLeft");
  pnlLeft->SetAlign(ui::TAlign::alLeft);
  pnlLeft->SetWidth(125);
  pnlLeft->BevelOuter = ui::TBevelCut::bvNone;
  pnlLeft->ShowHint = true;
  pnlLeft->Color = gdi::clBtnFace;
  pnlSearch = ppMakeControl<ui::TPanel>(parent, nullptr, "pnlSearch");
  pnlSearch->BevelInner = ui::TBevelCut::bvNone;
  pnlSearch->BevelOuter = ui::TBevelCut::bvNone;
  pnlSearch->Color = gdi::clBtnFace;
}

void TppPreview::CreateToolbar() {
  ui::TWinControl* parent = Parent();
  auto button = [&](const char* name, int tag, int left) {
    auto* b = ppMakeControl<ui::TSpeedButton>(parent, pnlButtons, name);
    b->Flat = true;
    b->SetTag(tag);
    b->SetLeft(left);
    b->SetTop(2);
    b->OnClick = [this](cls::TObject* s) { ToolButtonClick(s); };
    return b;
  };
  auto box = [&](const char* name, int left, const char* mask) {
    auto* e = ppMakeControl<ui::TMaskEdit>(parent, pnlButtons, name);
    e->SetBounds(left, 2, 37, 21);
    e->SetEditMask(mask);
    e->MaxLength = 5;
    e->TabStop = false;
    e->OnKeyDown = [this](cls::TObject* s, unsigned short& k, ui::TShiftState sh) { EditKeyDown(s, k, sh); };
    return e;
  };
  btnPrint = button("btnPrint", paPrint, 2);
  ppSetGlyph<TppPrinterIcon>(btnPrint, 1);
  btnAutoSearch = button("btnAutoSearch", paAutoSearch, btnPrint->Left() + 2 * btnPrint->Width());
  ppSetGlyph<TppAutoSearchIcon>(btnAutoSearch, 1);
  btnAutoSearch->SetVisible(false);
  btnTextSearch = button("btnTextSearch", paTextSearch, 77);
  ppSetGlyph<TppTextSearchIcon>(btnTextSearch, 2);
  btnTextSearch->Layout = ui::TSpeedButton::TButtonLayout::blGlyphLeft;
  btnTextSearch->GroupIndex = 2;
  btnTextSearch->AllowAllUp = true;
  btnWholePage = button("btnWholePage", paWholePage, btnAutoSearch->Left() + 3 * btnAutoSearch->Width());
  ppSetGlyph<TppZoomWholePageIcon>(btnWholePage, 1);
  btnWholePage->GroupIndex = 1;
  btnWholePage->AllowAllUp = false;
  btnWholePage->SetDown(true);
  btnPageWidth = button("btnPageWidth", paPageWidth, RightOf(btnWholePage));
  ppSetGlyph<TppZoomPageWidthIcon>(btnPageWidth, 1);
  btnPageWidth->GroupIndex = 1;
  btn100Percent = button("btn100Percent", pa100Percent, RightOf(btnPageWidth));
  ppSetGlyph<TppZoom100PercentIcon>(btn100Percent, 1);
  btn100Percent->GroupIndex = 1;
  edtZoom = box("edtZoom", RightOf(btn100Percent) + 5, "999\\ %;0; ");
  edtZoom->OnKeyPress = [this](cls::TObject* s, char& k) { ZoomKeyPress(s, k); };
  btnFirst = button("btnFirst", paFirst, 0);
  btnFirst->SetLeft(RightOf(edtZoom) + btnFirst->Width());
  ppSetGlyph<TppFirstIcon>(btnFirst, 2);
  btnPrior = button("btnPrior", paPrior, RightOf(btnFirst));
  ppSetGlyph<TppPriorIcon>(btnPrior, 2);
  edtPageNo = box("edtPageNo", RightOf(btnPrior) + 8, "99999;0; ");
  edtPageNo->OnKeyPress = [this](cls::TObject* s, char& k) { PageNoKeyPress(s, k); };
  btnNext = button("btnNext", paNext, RightOf(edtPageNo) + 8);
  ppSetGlyph<TppNextIcon>(btnNext, 2);
  btnLast = button("btnLast", paLast, RightOf(btnNext));
  ppSetGlyph<TppLastIcon>(btnLast, 2);
  btnCancel = ppMakeControl<ui::TButton>(parent, pnlButtons, "btnCancel");
  btnCancel->SetTag(paCancel);
  btnCancel->SetBounds(btnLast->Left() + 3 * btnLast->Width(), 0, 54, 25);
  btnCancel->Caption = ppLoadStr(5);
  btnCancel->OnClick = [this](cls::TObject* s) { ToolButtonClick(s); };
  edtKeySink = ppMakeControl<ui::TEdit>(parent, parent, "edtKeySink");
  edtKeySink->SetBounds(0, 0, 0, 0);
  edtKeySink->OnKeyDown = [this](cls::TObject* s, unsigned short& k, ui::TShiftState sh) { EditKeyDown(s, k, sh); };
  edtKeySink->OnKeyPress = [this](cls::TObject* s, char& k) { KeySinkKeyPress(s, k); };
  // The form's language change then reads "Close" and fits the width.
  SetHints();
}

void TppPreview::CreateOutlineViewer() {
  tvOutline = ppMakeControl<TppOutlineViewer>(Parent(), pnlLeft, "tvOutline");
  tvOutline->Color = gdi::clBtnFace;
  tvOutline->SetAlign(ui::TAlign::alClient);
  tvOutline->SetViewer(Viewer());
  tvOutline->SetVisible(false);
  tvOutline->WalkieTalkie()->AddEventNotify(this);
}

void TppPreview::EventNotify(TppCommunicator* sender, int eventId, TraParamList* params) {
  inherited::EventNotify(sender, eventId, params);
  if (eventId == ciOutlineEvent && tvOutline && sender == tvOutline->WalkieTalkie()) {
    if (Viewer()) tvOutline->SelectPage(Viewer()->GetAbsolutePageNo());
    UpdateOutlinePanel();
  }
}

void TppPreview::KeySinkKeyPress(cls::TObject*, char& Key) {
  if (Key == '\r') Key = 0;
}

void TppPreview::EditKeyDown(cls::TObject*, unsigned short& Key, ui::TShiftState Shift) {
  KeyDown(Key, Shift);
  // Headless: the pointer has no shape to refresh.
}

void TppPreview::PageNoKeyPress(cls::TObject*, char& Key) {
  if (Key != '\r') return;
  Key = 0;
  // An empty or garbled box raises the conversion error; the loop shows it.
  GotoPage(static_cast<int32_t>(std::clamp<int64_t>(cls::StrToInt(edtPageNo->Text()), 0, ppMaxPageNumber)));
  FocusKeySink();
}

void TppPreview::ZoomKeyPress(cls::TObject*, char& Key) {
  if (Key != '\r') return;
  Key = 0;
  int64_t percent = cls::StrToIntDef(edtZoom->Text(), 100);
  SetZoomPercentage(static_cast<int>(std::clamp<int64_t>(percent, 25, 250)));
  FocusKeySink();
}

void TppPreview::FocusKeySink() {
  try {
    if (edtKeySink && edtKeySink->CanFocus()) edtKeySink->SetFocus();
  } catch (...) {
  }
}

void TppPreview::ToolButtonClick(cls::TObject* Sender) {
  auto* c = dynamic_cast<ui::TControl*>(Sender);
  if (!c || !Viewer()) return;
  int action = static_cast<int>(c->Tag());
  if (action == paCancel && !WorkUnderWay()) action = paClose;
  PerformAction(action);
  FocusKeySink();
}

void TppPreview::ZoomButtonsDown() {
  ui::TSpeedButton* down = nullptr;
  switch (Viewer()->ZoomSetting()) {
    case zsWholePage: down = btnWholePage; break;
    case zsPageWidth: down = btnPageWidth; break;
    case zs100Percent: down = btn100Percent; break;
    default: break;
  }
  if (down) {
    down->SetDown(true);
    return;
  }
  // A custom zoom: all three up.
  for (ui::TSpeedButton* b : {btnWholePage, btnPageWidth, btn100Percent}) b->SetDown(false);
}

void TppPreview::SetZoomSetting(TppZoomSettingType zoom) {
  inherited::SetZoomSetting(zoom);
  if (!Viewer()) return;
  edtZoom->SetText(std::to_string(Viewer()->GetCalculatedZoom()));
  ZoomButtonsDown();
  // The focus leaves the zoom box for the key sink, where keys still act.
  FocusKeySink();
}

bool TppPreview::GetOutlineVisible() { return tvOutline && tvOutline->GetShowOutline(); }

void TppPreview::SetOutlineVisible(bool visible) {
  if (tvOutline) tvOutline->SetShowOutline(visible);
  UpdateOutlinePanel();
}

void TppPreview::UpdateOutlinePanel() {
  if (!tvOutline || !pnlLeft) return;
  bool visible;
  if (pnlSearch->Parent() != tvOutline->Parent()) visible = tvOutline->Visible();
  else if (!GetOutlineVisible()) visible = pnlSearch->Visible();
  else visible = true;
  const bool changed = pnlLeft->Visible() != visible;
  pnlLeft->SetVisible(visible);
  splViewer->SetVisible(visible);
  if (changed && !initialising_ && Viewer()) {
    Viewer()->SetRefitPending(false);
    SetZoomSetting(Viewer()->ZoomSetting());
  }
}

void TppPreview::LayoutSearchPanel() {
  TppCustomSearchPreview* search = SearchPreview();
  if (!search) return;
  pnlSearch->SetParent(pnlLeft);
  pnlSearch->SetAlign(ui::TAlign::alTop);
  pnlSearch->BevelInner = ui::TBevelCut::bvLowered;
  pnlSearch->SetHeight(78);
  const int width = search->Layout();
  if (!searchPanelWidthApplied_ && width > 0) {
    pnlLeft->SetWidth(width);
    searchPanelWidthApplied_ = true;
  }
  if (width > 0) splViewer->MinSize = width;
}

void TppPreview::UpdateToolbarVisibility() {
  TppProducer* report = Report();
  if (!report) return;
  btnAutoSearch->SetVisible(report->ShowAutoSearchDialog());
  btnTextSearch->SetVisible(report->TextSearchSettings()->Enabled());
}

void TppPreview::HookSearchKeys() {
  auto* search = dynamic_cast<TppTextSearchPreview*>(SearchPreview());
  if (!search || !search->edtFind) return;
  ui::TKeyEvent inner = search->edtFind->OnKeyDown;
  search->edtFind->OnKeyDown = [this, inner](cls::TObject* s, unsigned short& k, ui::TShiftState sh) {
    if (inner) inner(s, k, sh);
    if (k == ui::VK_ESCAPE) {
      KeyDown(k, sh);
      k = 0;
    }
  };
}

namespace {

cls::TObject* ObjectProperty(cls::TObject* object, const char* name) {
  TraValue value;
  if (!object || !raGetPropValue(object, name, value)) return nullptr;
  auto* p = std::get_if<cls::TObject*>(&value);
  return p ? *p : nullptr;
}

bool BooleanProperty(cls::TObject* object, const char* name) {
  TraValue value;
  if (!object || !raGetPropValue(object, name, value)) return false;
  auto* p = std::get_if<bool>(&value);
  return p && *p;
}

}  // namespace

void TppPreview::BeforePreview() {
  cls::TFlagScope initialising(initialising_);
  const bool hadSearch = SearchPreview() != nullptr;
  inherited::BeforePreview();
  if (TppCustomSearchPreview* search = SearchPreview()) {
    if (!hadSearch) {
      search->SetPane(pnlSearch);
      HookSearchKeys();
    }
    LayoutSearchPanel();
    search->BeforePreview();
  }
  for (ui::TSpeedButton* b : {btnFirst, btnPrior, btnNext, btnLast}) b->Enabled = false;
  ZoomButtonsDown();
  UpdateToolbarVisibility();
  tvOutline->Invalidate();
  TppProducer* report = Report();
  auto* settings = cls::ObjectAs<TppOutlineReportSettings>(ObjectProperty(report, "OutlineSettings"));
  outlineEnabled_ = settings && settings->Enabled() && settings->Visible();
  if (settings && settings->Enabled() && !settings->Visible()) tvOutline->Clear();
  const bool show =
      outlineEnabled_ || (BooleanProperty(report, "OutlineExists") && !BooleanProperty(report, "SuppressOutline"));
  SetOutlineVisible(show);
  StatusChangeEvent();
}

void TppPreview::PageChangeEvent() {
  TppViewer* viewer = Viewer();
  if (!viewer) return;
  edtPageNo->SetText(std::to_string(viewer->GetAbsolutePageNo()));
  edtZoom->SetText(std::to_string(viewer->GetCalculatedZoom()));
  ZoomButtonsDown();
  if (TppPage* page = viewer->GetCurrentPage()) {
    btnFirst->Enabled = btnPrior->Enabled = !page->FirstPage();
    btnNext->Enabled = btnLast->Enabled = !page->LastPage();
    if (!GetOutlineVisible() && outlineEnabled_ && page->FirstPage() && !viewer->IsLocked())
      SetOutlineVisible(page->GetOutlineDrawCommand() != nullptr);
    if (GetOutlineVisible()) {
      tvOutline->SyncToPage(page);
      tvOutline->SelectPage(page->AbsolutePageNo());
    }
  }
  UpdateToolbarVisibility();
  LayoutSearchPanel();
  inherited::PageChangeEvent();
}

void TppPreview::PrintStateChangeEvent() {
  TppViewer* viewer = Viewer();
  if (!viewer) return;
  const bool busy = viewer->GetBusy();
  const ui::TCursor cursor = busy ? ui::crHourGlass : ui::crDefault;
  viewer->SetCursor(cursor);
  pnlToolbar->SetCursor(cursor);
  if (StatusBar()) StatusBar()->SetCursor(cursor);
  edtZoom->Enabled = edtPageNo->Enabled = !busy;
  if (busy) btnCancel->SetCursor(ui::crArrow);
  btnCancel->Caption = ppLoadStr(busy ? 5 : 6);
}

void TppPreview::ViewerRefreshEvent() {
  // The pages are asked for again: paging waits for the next page shown.
  for (ui::TSpeedButton* b : {btnFirst, btnPrior, btnNext, btnLast}) b->Enabled = false;
}

void TppPreview::SearchPanelToggledEvent() {
  TppCustomSearchPreview* search = SearchPreview();
  if (!search) return;
  const bool shown = search->PaneVisible();
  btnTextSearch->SetDown(shown);
  btnTextSearch->Hint = ppLoadStr(shown ? 1055 : 1054);
  LayoutSearchPanel();
  UpdateOutlinePanel();
}

void TppPreview::Cancel() {
  if (tvOutline) tvOutline->StopLoading();
  inherited::Cancel();
  PrintStateChangeEvent();
}

void TppPreview::SetHints() {
  const struct {
    ui::TControl* control;
    int message;
  } hints[] = {{btnPrint, 22},      {btnAutoSearch, 1021}, {btnWholePage, 30}, {btnPageWidth, 31},
               {btn100Percent, 1},  {btnFirst, 13},        {btnPrior, 29},     {btnNext, 15},
               {btnLast, 14},       {btnCancel, 5}};
  for (const auto& h : hints) h.control->Hint = ppLoadStr(h.message);
  btnTextSearch->Hint = ppLoadStr(btnTextSearch->Down() ? 1055 : 1054);
}

void TppPreview::LanguageChanged() {
  inherited::LanguageChanged();
  searchPanelWidthApplied_ = false;
  if (Viewer() && Viewer()->GetCurrentPage() && tvOutline)
    tvOutline->LanguageChanged(cls::ObjectAs<TppOutlineDrawCommand>(Viewer()->GetCurrentPage()->GetOutlineDrawCommand()));
  SetHints();
  btnCancel->Caption = ppLoadStr(6);
  cls::Owned<gdi::TBitmap> measure(new gdi::TBitmap);
  measure->Canvas().Font.Assign(btnCancel->Font);
  btnCancel->SetWidth(measure->Canvas().TextWidth(btnCancel->Caption) + 30);
}

// ---- TppPrintPreview ----

CLS_IMPLEMENT_COMPONENT(TppPrintPreview)

TppPrintPreview::TppPrintPreview(cls::TComponent* AOwner) : TppCustomPreviewer(AOwner) {
  Caption = "Print Preview";
  SetClientWidth(547);
  SetClientHeight(323);
  Position = ui::TPosition::poScreenCenter;
  Font.SetName("MS Sans Serif");
  Font.SetHeight(-11);
  OnCreate = [this](cls::TObject* s) { FormCreate(s); };
  OnClose = [this](cls::TObject* s, ui::TCloseAction& a) { FormClose(s, a); };
  OnDestroy = [this](cls::TObject* s) { FormDestroy(s); };
  OnKeyDown = [this](cls::TObject* s, unsigned short& k, ui::TShiftState sh) { FormKeyDown(s, k, sh); };
}

void TppPrintPreview::FormCreate(cls::TObject*) {
  statusBar_ = new ui::TStatusBar(this);
  statusBar_->SetName("stbStatus");
  statusBar_->SetParent(this);
  statusBar_->SimplePanel = false;
  statusBar_->SetAlign(ui::TAlign::alBottom);
  statusBar_->Panels.Add().Width = 275;
  plugIn_ = TppPreviewPlugIn::CreatePreviewPlugIn(this);
  plugIn_->SetStatusBar(statusBar_);
  plugIn_->OnClose = cls::TNotifyEvent(this, &TppPrintPreview::PlugInClose);
}

void TppPrintPreview::FormClose(cls::TObject*, ui::TCloseAction& Action) { Action = ui::TCloseAction::caFree; }

void TppPrintPreview::FormDestroy(cls::TObject*) {
  TppCustomPreview* p = plugIn_;
  plugIn_ = nullptr;
  if (!p) return;
  try {
    p->AfterPreview();
  } catch (...) {
  }
  try {
    p->Free();
  } catch (...) {
  }
}

void TppPrintPreview::FormKeyDown(cls::TObject*, unsigned short& Key, ui::TShiftState Shift) {
  if (plugIn_) plugIn_->KeyDown(Key, Shift);
}

void TppPrintPreview::LanguageChanged() {
  Caption = ppLoadStr(23);
  if (plugIn_) plugIn_->LanguageChanged();
}

void TppPrintPreview::ReportAssigned() {
  if (!plugIn_) return;
  if (!Report()) {
    // The report lets go (it may be going): the preview ends and keeps
    // nothing of it.
    plugIn_->AfterPreview();
    if (TppViewer* viewer = plugIn_->Viewer()) viewer->SetReport(nullptr);
    return;
  }
  if (auto* producer = cls::ObjectAs<TppProducer>(Report())) plugIn_->Viewer()->SetReport(producer);
  plugIn_->BeforePreview();
}

cls::TObject* TppPrintPreview::GetViewer() { return plugIn_ ? plugIn_->Viewer() : nullptr; }

void TppPrintPreview::Activate() {
  if (DisplayDocumentName)
    if (auto* producer = cls::ObjectAs<TppProducer>(Report())) Caption = producer->PrinterSetup()->DocumentName();
  inherited::Activate();
}

void TppPrintPreview::Close() {
  if (plugIn_) {
    try {
      plugIn_->Cancel();
    } catch (...) {
    }
  }
  inherited::Close();
}

void ppRegisterPreviewUnit() {
  cls::RegisterClass(&TppPreview::StaticClass());
  cls::RegisterClass(&TppPrintPreview::StaticClass());
  TppPreviewPlugIn::RegisterPreviewPlugInClass(&TppPreview::StaticClass());
  RegisterFormClass(&TppCustomPreviewer::StaticClass(), &TppPrintPreview::StaticClass());
}
