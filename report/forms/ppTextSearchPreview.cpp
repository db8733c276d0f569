#include "report/forms/ppTextSearchPreview.h"

#include <algorithm>
#include <thread>

#include "platform/ui/forms.h"
#include "report/model/ppResMgr.h"
#include "report/output/ppViewr.h"

CLS_IMPLEMENT_COMPONENT(TppCustomSearchPreview)
CLS_IMPLEMENT_COMPONENT(TppTextSearchPreview)

// Raises a counter for a scope.
class TppCustomSearchPreview::TppRaised {
 public:
  TppRaised(int& counter, int by = 1) : counter_(counter), by_(by) { counter_ += by_; }
  ~TppRaised() { counter_ -= by_; }
  TppRaised(const TppRaised&) = delete;
  TppRaised& operator=(const TppRaised&) = delete;

 private:
  int& counter_;
  int by_;
};

namespace {

// A state bit on for a scope.
class TppBitOn {
 public:
  TppBitOn(int& state, int bit) : state_(state), bit_(bit) { state_ |= bit_; }
  ~TppBitOn() { state_ &= ~bit_; }
  TppBitOn(const TppBitOn&) = delete;
  TppBitOn& operator=(const TppBitOn&) = delete;

 private:
  int& state_;
  int bit_;
};

// The screen cursor for a scope.
class TppCursorScope {
 public:
  explicit TppCursorScope(ui::TCursor c) : saved_(ui::Screen().Cursor()) { ui::Screen().SetCursor(c); }
  ~TppCursorScope() { ui::Screen().SetCursor(saved_); }
  TppCursorScope(const TppCursorScope&) = delete;
  TppCursorScope& operator=(const TppCursorScope&) = delete;

 private:
  ui::TCursor saved_;
};

int64_t NowMilliseconds() {
  using namespace std::chrono;
  return duration_cast<milliseconds>(steady_clock::now().time_since_epoch()).count();
}

}  // namespace

// ---- TppCustomSearchPreview ----

TppCustomSearchPreview::TppCustomSearchPreview(cls::TComponent* owner) : TppCommunicator(owner) {
  settings_ = new TppTextSearchSettings;
  cls::GuardFree(settings_, [] { throw ESearchError("TppCustomSearchPreview.Notify: Cannot free the TextSearchSettings."); });
  for (int id : {ciViewerBeforePageDraw, ciViewerAfterPageDraw, ciViewerReset, ciDevicePageReceived, ciTextSearchEvent})
    EventMask().Include(id);
}

TppCustomSearchPreview::~TppCustomSearchPreview() = default;

void TppCustomSearchPreview::BeforeDestruction() {
  if (engine_) {
    TppTextSearchEngine* e = engine_;
    engine_ = nullptr;
    e->Free();  // put off by the engine while one of its walks runs
  }
  SetViewer(nullptr);
  if (TppTextSearchSettings* s = settings_) {
    settings_ = nullptr;
    cls::UnguardFree(s);
    s->Free();
  }
  inherited::BeforeDestruction();
}

void TppCustomSearchPreview::Free() {
  if (actions_ > 0) {
    // Freed from a handler an action let through: the search stops and the
    // pane goes when the action has unwound.
    freePending_ = true;
    if (engine_ && engine_->Publisher()) engine_->CancelSearch();
    if (Owner()) Owner()->RemoveComponent(this);
    return;
  }
  inherited::Free();
}

void TppCustomSearchPreview::FreePendingAfterAction() {
  if (actions_ == 0 && freePending_) {
    freePending_ = false;
    inherited::Free();
  }
}

void TppCustomSearchPreview::Notify(TppCommunicator* communicator, uint8_t operation) {
  if (operation == ppopRemove && communicator == engine_) engine_ = nullptr;
  inherited::Notify(communicator, operation);
}

void TppCustomSearchPreview::Notification(cls::TComponent* c, cls::TOperation op) {
  if (op == cls::opRemove && c == viewer_) {
    // A viewer freed by its owner is let go; the search stops.
    viewer_ = nullptr;
    state_ = (state_ & ~kSearched) | (Searching() ? kCancelled : 0);
    if (engine_) engine_->SetViewer(nullptr);
  }
  if (op == cls::opRemove && c == statusBar_) statusBar_ = nullptr;
  if (op == cls::opRemove && c == pane_) pane_ = nullptr;
  inherited::Notification(c, op);
}

void TppCustomSearchPreview::SetViewer(TppViewer* viewer) {
  if (viewer == viewer_) return;
  if (viewer_) {
    if (viewer_->Communicator()) viewer_->Communicator()->RemoveEventNotify(this);
    viewer_->RemoveFreeNotification(this);
  }
  viewer_ = viewer;
  if (viewer_) {
    viewer_->FreeNotification(this);
    if (viewer_->Communicator()) viewer_->Communicator()->AddEventNotify(this);
  }
}

void TppCustomSearchPreview::SetTextSearchSettings(TppTextSearchSettings* settings) {
  if (settings) settings_->Assign(settings);
}

void TppCustomSearchPreview::SetPane(ui::TWinControl* pane) {
  if (pane_ || !pane) return;
  pane_ = pane;
  pane_->FreeNotification(this);
  CreateControls();
  UpdateControls();
}

void TppCustomSearchPreview::CreateSearchEngine() {
  cls::TClass c = TppTextSearchEngineRegistry::FindEngineClass(EngineName);
  if (!c) c = TppTextSearchEngineRegistry::FindEngineClass("Full Search");
  if (!c || !c->Create || !c->InheritsFrom(&TppTextSearchEngine::StaticClass()))
    throw ESearchError("TppCustomSearchPreview.CreateSearchEngine: Text search engine not found in registry: " +
                       EngineName);
  if (c == engineClass_ && engine_) return;
  if (engine_) {
    TppTextSearchEngine* old = engine_;
    engine_ = nullptr;
    old->RemoveEventNotify(this);
    old->Free();
  }
  engine_ = static_cast<TppTextSearchEngine*>(c->Create(nullptr));
  engineClass_ = c;
  engine_->AddEventNotify(this);
  engine_->OffScreenDevice()->AddEventNotify(this);
}

void TppCustomSearchPreview::BeforePreview() {
  if (!viewer_) throw ESearchError("TppCustomSearchPreview.BeforePreview: Must assign viewer first.");
  if (!viewer_->ScreenDevice()) throw ESearchError("TppCustomSearchPreview.BeforePreview: Screen device is nil.");
  if (!statusBar_) throw ESearchError("TppCustomSearchPreview.BeforePreview: Must assign status bar first.");
  ui::TWindowUpdateLock lock(pane_);
  CreateSearchEngine();
  state_ &= ~kCancelled;
  optionsChanged_ = false;
  SetPaneVisible(settings_->Enabled() && settings_->Visible());
  if (!visible_) CancelFinishedSearch();
  else ResetSearchState();
  UpdateControls();
}

void TppCustomSearchPreview::EndPreview() {
  state_ &= ~kSearching;
  optionsChanged_ = pageMoved_ = false;
  currentIndex_ = -1;
  searchText_.clear();
  startPage_ = 1;
  if (engine_) engine_->ResetSearch();
}

void TppCustomSearchPreview::SetPaneVisible(bool v) {
  visible_ = v;
  if (pane_) pane_->SetVisible(v);
  SendEventNotify(this, ciSearchPanelVisible, nullptr);
}

void TppCustomSearchPreview::SendToggled() {
  if (!quiet_) SendEventNotify(this, ciSearchPanelToggled, nullptr);
}

void TppCustomSearchPreview::TogglePanel() {
  {
    ui::TWindowUpdateLock lock(pane_);
    settings_->SetVisible(!visible_);
    SetPaneVisible(!visible_);
    if (!visible_) CancelFinishedSearch();
    else ResetSearchState();
    UpdateControls();
  }
  SendToggled();
}

void TppCustomSearchPreview::CancelFinishedSearch() {
  if (state_ & kSearched) {
    quiet_ = true;
    PerformSearchAction(saCancel);
    quiet_ = false;
  } else {
    ResetSearchState();
  }
}

void TppCustomSearchPreview::UpdateSearch() {
  if (!(state_ & kSearched)) {
    ResetSearchState();
    SetPaneVisible(true);
    if (pane_) pane_->Enabled = true;
    UpdateControls();
  } else {
    quiet_ = true;
    PerformSearchAction(saCancel);
    quiet_ = false;
  }
}

void TppCustomSearchPreview::StatusChange() {
  if (!statusBar_) return;
  ppPrepareStatusBar(statusBar_,
                     "TppCustomSearchPreview.StatusChange: Must have a non SimplePanel status bar to support text search.");
  UpdateStatusText();
}

void TppCustomSearchPreview::BeforePreviewAction(int action) {
  --busy_;
  if (!(state_ & kSearched)) {
    if (state_ & kCancelled) ResetSearchState();
    return;
  }
  switch (action) {
    case 6: case 7: case 8:
      pageMoved_ = true;
      break;
    case 9:
      pageMoved_ = true;
      if (engine_ && viewer_ && viewer_->GetAbsolutePageNo() >= engine_->HighestPage() && !engine_->Complete()) {
        TppRaised running(actions_);
        engine_->NavigateForward(searchText_, false);
        UpdateStatusText();
      }
      break;
    case 1: case 10: case 11:
      PerformSearchAction(saCancel);
      if (action == 10 && pane_) pane_->Enabled = false;
      break;
    default:
      break;
  }
}

void TppCustomSearchPreview::AfterPreviewAction(int) {
  ++busy_;
  FreePendingAfterAction();
}

void TppCustomSearchPreview::SetSearchText(const std::string& text) {
  if (text != searchText_) optionsChanged_ = true;
  searchText_ = text;
}

void TppCustomSearchPreview::ResetSearchState() {
  state_ &= ~(kSearching | kCancelled | kSearched);
  currentIndex_ = -1;
  startPage_ = 1;
  lastHighlighted_ = 0;
  if (engine_) engine_->ResetSearch();
}

int TppCustomSearchPreview::HitCount() const { return engine_ ? engine_->PageList()->OccurrenceCount() : 0; }

bool TppCustomSearchPreview::Complete() const { return engine_ && engine_->Complete(); }

std::string TppCustomSearchPreview::StatusText() const {
  if (state_ & kCancelled) return ppLoadStr(1051);
  if (!(state_ & kSearched)) return {};
  std::string text = ppLoadStr(1048) + " ";
  if (settings_->ShowAll())
    text += std::to_string(HitCount());
  else
    text += std::to_string(currentIndex_ + 1) + " " + ppLoadStr(16) + " " + std::to_string(HitCount());
  if (!Complete()) text += ppLoadStr(1045);
  return text;
}

void TppCustomSearchPreview::UpdateStatusText() {
  if (statusBar_ && statusBar_->Panels.Count() > 1) {
    statusBar_->Panels[1].Text = StatusText();
    statusBar_->Invalidate();
  }
}

void TppCustomSearchPreview::PerformSearchAction(TppSearchAction action) {
  if (busy_ > 0 && action != saCancel) return;
  FreePendingAfterAction();
  {
    TppRaised running(actions_);
    TppRaised busy(busy_, action == saCancel ? 0 : 1);
    const int64_t start = NowMilliseconds();
    if (engine_) {
      TppCursorScope cursor(ui::crHourGlass);
      engine_->SetTextSearchSettings(settings_);
      if (viewer_ && engine_->Viewer() != viewer_) engine_->SetViewer(viewer_);
      switch (action) {
        case saFind: Find(); break;
        case saFirst:
          if (!(state_ & kCancelled) && engine_->PageList()->First()) {
            currentIndex_ = 0;
            ShowHit();
          }
          break;
        case saNext:
          if (state_ & kCancelled) break;
          if (engine_->PageList()->IsLast() && !engine_->Complete()) {
            TppBitOn searching(state_, kSearching);
            engine_->NavigateForward(searchText_, true);
          }
          if (!(state_ & kCancelled) && !engine_->PageList()->IsLast() && engine_->PageList()->Next()) {
            ++currentIndex_;
            ShowHit();
          }
          break;
        case saPrior:
          if (!(state_ & kCancelled) && currentIndex_ > 0 && engine_->PageList()->Prior()) {
            --currentIndex_;
            ShowHit();
          }
          break;
        case saLast:
          if (state_ & kCancelled) break;
          if (!engine_->Complete()) {
            TppBitOn searching(state_, kSearching);
            engine_->NavigateForward(searchText_, false);
          }
          if (!(state_ & kCancelled) && engine_->PageList()->Last()) {
            currentIndex_ = HitCount() - 1;
            ShowHit();
          }
          break;
        case saHighlight: HighlightShownPage(); break;
        case saCancel:
          state_ = (state_ | kCancelled) & ~kSearched;
          engine_->CancelSearch();
          UpdateControls();
          RedrawPage();
          break;
        case saClear:
          UpdateControls();
          ResetSearchState();
          searchText_.clear();
          RedrawPage();
          break;
      }
      // A search that ended cancelled keeps no results (the status still
      // says it was cancelled).
      if (action != saCancel && (state_ & kCancelled) && engine_) {
        currentIndex_ = -1;
        engine_->ResetSearch();
      }
    }
    elapsed_ = NowMilliseconds() - start;
  }
  UpdateControls();
  UpdateStatusText();
  if (!quiet_) SendEventNotify(this, ciSearchPanelToggled, nullptr);
  FreePendingAfterAction();
}

void TppCustomSearchPreview::Find() {
  if (!optionsChanged_ && !pageMoved_ && HitCount() > 0) {
    if (engine_->PageList()->First()) {
      currentIndex_ = 0;
      ShowHit();
    }
    return;
  }
  bool found = false;
  {
    TppBitOn searching(state_, kSearching);
    ReadControls();
    state_ &= ~(kCancelled | kSearched);
    engine_->ResetSearch();
    engine_->SetTextSearchSettings(settings_);
    currentIndex_ = -1;
    startPage_ = settings_->SearchFromCurrentPage() && viewer_ ? std::max(viewer_->GetAbsolutePageNo(), 1) : 1;
    engine_->SetStartPage(startPage_);
    {
      TppRaised off(highlights_, -1);
      UpdateControls();
      found = engine_->Search(searchText_);
    }
    optionsChanged_ = pageMoved_ = false;
  }
  ShowPageStatus();
  if (state_ & kCancelled) return;
  state_ |= kSearched;
  if (!found) {
    RedrawPage();
  } else if (engine_->PageList()->First()) {
    currentIndex_ = 0;
    ShowHit();
  }
}

void TppCustomSearchPreview::ShowPageStatus() {
  // The pages asked for while searching left their progress in panel 0.
  if (!statusBar_ || statusBar_->Panels.Count() == 0 || !viewer_) return;
  TppPage* page = viewer_->GetCurrentPage();
  if (!page || page->AbsolutePageNo() <= 0) return;
  TppPublisher* publisher = viewer_->ScreenDevice()->Publisher();
  statusBar_->Panels[0].Text = publisher && publisher->LastPageSeen() ? page->GetPageNoOfCountText() : page->GetPageNoText();
  statusBar_->Invalidate();
}

void TppCustomSearchPreview::ShowHit() {
  TppTextSearchPage* page = engine_->CurrentPage();
  if (!page || !viewer_) return;
  ui::Application().ProcessMessages();
  if (!viewer_ || !engine_) return;
  if (viewer_->GetAbsolutePageNo() != page->PageNo) {
    engine_->FreeHighlights();
    viewer_->GotoPage(page->PageNo);  // its drawing (93) brings the highlights
    ui::Application().ProcessMessages();
  } else {
    HighlightShownPage();
  }
}

void TppCustomSearchPreview::RedrawPage() {
  if (engine_) engine_->FreeHighlights();
  if (viewer_ && viewer_->ScreenDevice() && viewer_->ScreenDevice()->PageBitmap()) viewer_->ScreenDevice()->PreparePage();
}

void TppCustomSearchPreview::HighlightShownPage() {
  if (!engine_ || !viewer_ || highlights_ <= 0 || HitCount() == 0 || !(state_ & kSearched)) return;
  TppPage* shown = viewer_->GetCurrentPage();
  TppScreenDevice* screen = viewer_->ScreenDevice();
  if (!shown || !screen) return;
  const int32_t pageNo = shown->AbsolutePageNo();
  // A page beyond the walk is searched first.
  const bool showAll = settings_->ShowAll();
  if (pageNo > engine_->HighestPage() && (!showAll || pageNo != lastHighlighted_) &&
      !(settings_->SearchFromCurrentPage() && pageNo < startPage_))
    engine_->SearchPage(shown, searchText_);
  engine_->HighlightPage(pageNo);
  // Over the page bitmap only: no page drawing, so no new 92 or 93.
  for (TppDrawCommand* h : engine_->Highlights()) screen->RedrawCommand(h);
  lastHighlighted_ = pageNo;
  UpdateStatusText();
}

void TppCustomSearchPreview::EventNotify(TppCommunicator* sender, int eventId, TraParamList* params) {
  inherited::EventNotify(sender, eventId, params);
  const bool fromViewer = viewer_ && sender == viewer_->Communicator();
  switch (eventId) {
    case ciTextSearchEvent:
      if (engine_ && sender == engine_) UpdateStatusText();
      break;
    case ciViewerReset:
      if (fromViewer) ResetSearchState();
      break;
    case ciViewerBeforePageDraw:
      if (fromViewer && highlights_ > 0 && engine_) engine_->FreeHighlights();
      break;
    case ciViewerAfterPageDraw:
      if (fromViewer) HighlightShownPage();
      break;
    case ciDevicePageReceived:
      if (engine_ && sender == engine_->OffScreenDevice() && statusBar_ && statusBar_->Panels.Count() > 0) {
        cls::TObject* o = nullptr;
        if (params && params->GetParam("Page", o))
          if (auto* page = cls::ObjectAs<TppPage>(o)) {
            statusBar_->Panels[0].Text =
                FormatLanguageString(4, {page->AbsolutePageNo(), page->DocumentName()});
            statusBar_->Invalidate();
          }
      }
      break;
    default:
      break;
  }
}

// ---- TppTextSearchPreview ----

namespace {

template <class C>
C* MakeControl(cls::TComponent* owner, ui::TWinControl* parent, const char* name, int tag) {
  C* c = ppMakeControl<C>(owner, parent, name);
  c->SetTag(tag);
  return c;
}

template <class Icon>
void GlyphOf(ui::TSpeedButton* b) {
  ppSetGlyph<Icon>(b, 2);
  b->Flat = true;
  b->Enabled = false;
  b->SetBounds(0, 0, 23, 22);
}

}  // namespace

void TppTextSearchPreview::CreateControls() {
  ui::TWinControl* pane = Pane();
  cls::TComponent* owner = pane;
  edtFind = MakeControl<ui::TEdit>(owner, pane, "edtFind", 101);
  edtFind->SetBounds(5, 5, 115, 21);
  edtFind->SetText(TextSearchSettings()->DefaultString());
  edtFind->OnKeyDown = [this](cls::TObject* s, unsigned short& k, ui::TShiftState sh) { FindKeyDown(s, k, sh); };
  btnFirst = MakeControl<ui::TSpeedButton>(owner, pane, "btnFirstHit", 102);
  GlyphOf<TppFirstSearchOccurrenceIcon>(btnFirst);
  btnPrior = MakeControl<ui::TSpeedButton>(owner, pane, "btnPriorHit", 103);
  GlyphOf<TppPriorSearchOccurrenceIcon>(btnPrior);
  btnNext = MakeControl<ui::TSpeedButton>(owner, pane, "btnNextHit", 104);
  GlyphOf<TppNextSearchOccurrenceIcon>(btnNext);
  btnLast = MakeControl<ui::TSpeedButton>(owner, pane, "btnLastHit", 105);
  GlyphOf<TppLastSearchOccurrenceIcon>(btnLast);
  btnFind = MakeControl<ui::TButton>(owner, pane, "btnFind", 106);
  btnFind->SetBounds(0, 0, 55, 23);
  btnDone = MakeControl<ui::TButton>(owner, pane, "btnDone", 107);
  btnDone->SetBounds(0, 0, 55, 23);
  btnDone->Enabled = false;
  for (ui::TButton* b : std::initializer_list<ui::TButton*>{btnFirst, btnPrior, btnNext, btnLast, btnFind, btnDone})
    b->OnClick = [this](cls::TObject* s) { ButtonClick(s); };

  mnuOptions = new ui::TPopupMenu(owner);
  auto item = [&](const char* name, bool radio) {
    auto* m = new ui::TMenuItem(owner);
    m->SetName(name);
    m->RadioItem = radio;
    m->GroupIndex = radio ? 1 : 0;
    m->OnClick = [this](cls::TObject* s) { OptionClick(s); };
    mnuOptions->Items().Add(m);
    return m;
  };
  miShowAll = item("miShowAll", false);
  miCaseSensitive = item("miCaseSensitive", false);
  miWholeWord = item("miWholeWord", false);
  auto* separator = new ui::TMenuItem(owner);
  separator->Caption = "-";
  mnuOptions->Items().Add(separator);
  miFirstPage = item("miFirstPage", true);
  miCurrentPage = item("miCurrentPage", true);
  pane->PopupMenu = mnuOptions;
  LanguageChanged();
  // The options as the settings have them.
  miShowAll->Checked = TextSearchSettings()->ShowAll();
  miCaseSensitive->Checked = TextSearchSettings()->CaseSensitive();
  miWholeWord->Checked = TextSearchSettings()->WholeWord();
  (TextSearchSettings()->SearchFromCurrentPage() ? miCurrentPage : miFirstPage)->SetChecked(true);
  Layout();
}

void TppTextSearchPreview::LanguageChanged() {
  if (!btnFind) return;
  btnFind->Caption = ppLoadStr(1072);
  btnDone->Caption = Busy() ? ppLoadStr(5) : ppLoadStr(1046);
  miShowAll->Caption = ppLoadStr(1062);
  miCaseSensitive->Caption = ppLoadStr(1063);
  miWholeWord->Caption = ppLoadStr(1064);
  miFirstPage->Caption = ppLoadStr(1057);
  miCurrentPage->Caption = ppLoadStr(1056);
  edtFind->Hint = ppLoadStr(1052);
  btnFirst->Hint = ppLoadStr(1058);
  btnPrior->Hint = ppLoadStr(1061);
  btnNext->Hint = ppLoadStr(1060);
  btnLast->Hint = ppLoadStr(1059);
  btnFind->Hint = ppLoadStr(1053);
  btnDone->Hint = Busy() ? ppLoadStr(5) : ppLoadStr(1049);
  Layout();
}

int TppTextSearchPreview::Layout() {
  if (!btnFind) return 0;
  const int row1 = edtFind->Top() + edtFind->Height() + 2;
  btnFirst->SetLeft(5);
  btnFirst->SetTop(row1);
  btnPrior->SetBounds(btnFirst->Left() + btnFirst->Width() + 7, row1, btnPrior->Width(), btnPrior->Height());
  btnNext->SetBounds(btnPrior->Left() + btnPrior->Width() + 10, row1, btnNext->Width(), btnNext->Height());
  btnLast->SetBounds(btnNext->Left() + btnNext->Width() + 7, row1, btnLast->Width(), btnLast->Height());
  const int row2 = row1 + btnFirst->Height() + 2;
  const int findWidth = std::max(btnFind->Canvas().TextWidth(btnFind->Caption) + 10, 55);
  btnFind->SetBounds(5, row2, findWidth, 23);
  const int doneWidth = std::max(btnDone->Canvas().TextWidth(btnDone->Caption) + 10, findWidth);
  btnDone->SetBounds(btnFind->Left() + findWidth + 6, row2, doneWidth, 23);
  return btnDone->Left() + btnDone->Width() + 5;
}

void TppTextSearchPreview::ReadControls() {
  if (!btnFind) return;
  TppTextSearchSettings* s = TextSearchSettings();
  s->SetShowAll(miShowAll->Checked);
  s->SetCaseSensitive(miCaseSensitive->Checked);
  s->SetWholeWord(miWholeWord->Checked);
  s->SetSearchFromCurrentPage(miCurrentPage->Checked);
  SetSearchText(edtFind->Text());
}

void TppTextSearchPreview::UpdateControls() {
  if (!btnFind) return;
  const bool busy = Busy() || Searching();
  btnDone->Caption = busy ? ppLoadStr(5) : ppLoadStr(1046);
  btnDone->Hint = busy ? ppLoadStr(5) : ppLoadStr(1049);
  const bool finished = (State() & kSearched) != 0;
  if (TextSearchSettings()->ShowAll() || !finished) {
    for (ui::TButton* b : std::initializer_list<ui::TButton*>{btnFirst, btnPrior, btnNext, btnLast}) b->Enabled = false;
    btnDone->Enabled = finished || busy;
    return;
  }
  if (HitCount() == 0 && !busy) {
    btnNext->Enabled = btnPrior->Enabled = btnDone->Enabled = false;
  } else {
    btnPrior->Enabled = CurrentIndex() > 0;
    btnNext->Enabled = !(Complete() && CurrentIndex() >= HitCount() - 1);
    btnDone->Enabled = true;
  }
  btnFirst->Enabled = btnPrior->Enabled;
  btnLast->Enabled = btnNext->Enabled;
}

void TppTextSearchPreview::ButtonClick(cls::TObject* Sender) {
  auto* c = static_cast<ui::TControl*>(Sender);
  switch (c->Tag()) {
    case 102: PerformSearchAction(saFirst); break;
    case 103: PerformSearchAction(saPrior); break;
    case 104: PerformSearchAction(saNext); break;
    case 105: PerformSearchAction(saLast); break;
    case 106:
      SetSearchText(edtFind->Text());
      PerformSearchAction(saFind);
      break;
    case 107:
      PerformSearchAction(btnDone->Caption == ppLoadStr(5) ? saCancel : saClear);
      break;
    default: break;
  }
}

void TppTextSearchPreview::OptionClick(cls::TObject* Sender) {
  auto* m = static_cast<ui::TMenuItem*>(Sender);
  if (m->RadioItem) m->SetChecked(true);
  else m->Checked = !m->Checked;
  OptionsChanged();
  btnFind->Enabled = true;
}

void TppTextSearchPreview::FindKeyDown(cls::TObject*, unsigned short& Key, ui::TShiftState) {
  if (Key != ui::VK_RETURN) return;
  Key = 0;  // swallowed
  SetSearchText(edtFind->Text());
  OptionsChanged();
  PerformSearchAction(saFind);
}

void ppRegisterTextSearchPreviewUnit() {
  cls::RegisterClass(&TppTextSearchPreview::StaticClass());
  TppPreviewPlugIn::RegisterSearchPreviewClass(&TppTextSearchPreview::StaticClass());
}
