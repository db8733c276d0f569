// The text search engines: the page walks over the cache and the
// off-screen device, the hits of each page and their highlights.
#include <algorithm>

#include "platform/ui/forms.h"
#include "report/output/ppTextSearch.h"
#include "report/output/ppViewr.h"

CLS_IMPLEMENT_COMPONENT(TppTextSearchCustomEngine)
CLS_IMPLEMENT_COMPONENT(TppTextSearchEngine)
CLS_IMPLEMENT_COMPONENT(TppTextSearchRichTextEngine)

// ---- TppTextSearchCustomEngine ----

TppTextSearchCustomEngine::TppTextSearchCustomEngine(cls::TComponent* owner) : TppCommunicator(owner) {
  offScreenDevice_ = new TppScreenDevice(nullptr);
  offScreenDevice_->SetDrawsPages(false);  // its pages are searched, never seen
  offScreenDevice_->AddEventNotify(this);
  EventMask().Include(ciDevicePageReceived);
  cls::GuardFree(offScreenDevice_, [] {
    throw ESearchEngineError("TppTextSearchCustomEngine.Notify: Do not attempt to free the embedded OffScreenDevice.");
  });
}

TppTextSearchCustomEngine::~TppTextSearchCustomEngine() = default;

void TppTextSearchCustomEngine::BeforeDestruction() {
  cancelled_ = true;
  FreeHighlights();
  Unlink();
  if (TppScreenDevice* d = offScreenDevice_) {
    offScreenDevice_ = nullptr;
    d->SetPublisher(nullptr);
    cls::UnguardFree(d);
    d->Free();
  }
  inherited::BeforeDestruction();
}

void TppTextSearchCustomEngine::Free() {
  if (searching_ > 0) {
    // Freed from a handler the walk let through: the walk stops, and the
    // engine goes when it has unwound.
    cancelled_ = true;
    freePending_ = true;
    if (Owner()) Owner()->RemoveComponent(this);
    return;
  }
  inherited::Free();
}

void TppTextSearchCustomEngine::FreePendingAfterWalk() {
  if (searching_ == 0 && freePending_) {
    freePending_ = false;
    inherited::Free();
  }
}

void TppTextSearchCustomEngine::Unlink() {
  while (deviceCounter_ <= 0) SwitchDevices(true);
  if (publisher_) {
    publisher_->RemoveEventNotify(this);
    RemoveNotify(publisher_);
    publisher_ = nullptr;
  }
  if (viewer_) {
    viewer_->RemoveFreeNotification(this);
    viewer_ = nullptr;
  }
  SetTextSearchSettings(nullptr);
}

void TppTextSearchCustomEngine::Notify(TppCommunicator* communicator, uint8_t operation) {
  if (operation == ppopRemove) {
    if (communicator == publisher_) {
      cancelled_ = true;
      publisher_ = nullptr;
      deactivated_.clear();
    }
    if (settings_ && communicator == settings_->WalkieTalkie()) settings_ = nullptr;
  }
  inherited::Notify(communicator, operation);
}

void TppTextSearchCustomEngine::Notification(cls::TComponent* c, cls::TOperation op) {
  if (op == cls::opRemove && c == viewer_) {
    // The viewer went: the walk stops; its publisher is left alone.
    cancelled_ = true;
    viewer_ = nullptr;
    if (offScreenDevice_) offScreenDevice_->SetPublisher(nullptr);
    deactivated_.clear();
  }
  inherited::Notification(c, op);
}

void TppTextSearchCustomEngine::EventNotify(TppCommunicator* sender, int eventId, TraParamList* params) {
  if (eventId == ciDevicePageReceived && sender == offScreenDevice_ && params) {
    cls::TObject* page = nullptr;
    if (params->GetParam("Page", page))
      if (auto* p = cls::ObjectAs<TppPage>(page)) requestedPage_ = p->AbsolutePageNo();
  }
  inherited::EventNotify(sender, eventId, params);
}

void TppTextSearchCustomEngine::SetTextSearchSettings(TppTextSearchSettings* settings) {
  if (settings == settings_) return;
  if (settings_ && settings_->WalkieTalkie()) RemoveNotify(settings_->WalkieTalkie());
  settings_ = settings;
  if (settings_ && settings_->WalkieTalkie()) AddNotify(settings_->WalkieTalkie());
}

void TppTextSearchCustomEngine::SetViewer(TppViewer* viewer) {
  if (viewer == viewer_) return;
  Unlink();
  if (!viewer) return;
  TppPublisher* publisher = viewer->ScreenDevice() ? viewer->ScreenDevice()->Publisher() : nullptr;
  if (!publisher) throw ESearchEngineError("TppTextSearchCustomEngine.SetViewer: Publisher cannot be nil");
  viewer_ = viewer;
  viewer_->FreeNotification(this);
  publisher_ = publisher;
  publisher_->AddEventNotify(this);
  offScreenDevice_->SetPublisher(nullptr);
}

bool TppTextSearchCustomEngine::Search(const std::string&) {
  cancelled_ = false;
  if (!viewer_)
    throw ESearchEngineError(
        "TppTextSearchCustomEngine.Search: Must assign a non-nil viewer from the device in order to search.");
  AssignCanvasScale();
  return true;
}

bool TppTextSearchCustomEngine::SearchPage(TppPage* page, const std::string&) {
  if (!page) throw ESearchEngineError("TppSearchEngine.Search: Must pass a non-nil page object from page cache.");
  highestPage_ = std::max(highestPage_, page->AbsolutePageNo());
  return true;
}

int32_t TppTextSearchCustomEngine::NavigateForward(const std::string& text, bool stopAtFirst) {
  if (!viewer_)
    throw ESearchEngineError(
        "TppTextSearchCustomEngine.NavigateForward: Cannot request pages when the viewer is nil.");
  TppWalk walk(this);
  int32_t hitPage = 0;
  {
    TppDevicesSwitched switched(this);
    const int32_t shown = ShownPageNo();
    for (int32_t n = std::max(shown, highestPage_) + 1; !cancelled_; ++n) {
      TppPage* page = RequestPage(n);
      if (!page) {
        complete_ = true;  // nothing beyond: the report ended
        break;
      }
      if (SearchPage(page, text)) hitPage = n;
      bool last = page->LastPage();
      if (Pump()) break;
      if (last || (stopAtFirst && hitPage)) break;
    }
    if (cancelled_) hitPage = ShownPageNo();
  }
  FreePendingAfterWalk();
  return hitPage;
}

void TppTextSearchCustomEngine::CancelSearch() {
  cancelled_ = true;
  if (!publisher_)
    throw ESearchEngineError(
        "TppTextSearchCustomEngine.CancelSearch: Publisher is nil and cannot cancel the search cleanly.");
  {
    TppDevicesSwitched switched(this);
    publisher_->CancelJob();
    if (offScreenDevice_) offScreenDevice_->CancelJob();
  }
  ResetSearch();
}

void TppTextSearchCustomEngine::ResetSearch() { FreeHighlights(); }

void TppTextSearchCustomEngine::FreeHighlights() {
  std::vector<TppDrawCommand*> highlights;
  highlights.swap(highlights_);
  for (TppDrawCommand* c : highlights) c->Free();
}

TppCanvasScale TppTextSearchCustomEngine::CanvasScale() const {
  TppScreenDevice* device = viewer_ && viewer_->ScreenDevice() ? viewer_->ScreenDevice() : offScreenDevice_;
  if (!device) return {};
  return TppCanvasScale{device->ScreenCanvas(), device->HorizontalScale(), device->VerticalScale()};
}

void TppTextSearchCustomEngine::AssignCanvasScale() {
  if (!CanvasScale().Canvas)
    throw ESearchEngineError("TppTextSearchCustomEngine.AssignCanvasScale: Must have a non nil canvas.");
}

TppDrawCommand* TppTextSearchCustomEngine::CreateHighlightDrawCommand(TppDrawCommand* drawCommand,
                                                                      TppTextSearchOccurrence* occurrence) {
  TppTextSearchDrawCommandHighlighter* h =
      TppTextSearchHighlightRegistryList::FindHighlighter(drawCommand ? drawCommand->ClassType() : nullptr);
  if (!h)
    throw ESearchEngineError(
        "TppTextSearchCustomEngine.CreateHighlightDrawCommand: Highlighter class not registered for draw ommand class " +
        (drawCommand ? drawCommand->ClassName() : std::string("nil")) + ".");
  h->CaseSensitive = settings_ && settings_->CaseSensitive();
  h->WholeWord = settings_ && settings_->WholeWord();
  TppDrawCommand* highlight = h->CreateHighlight(drawCommand, occurrence, CanvasScale(), searchText_);
  if (highlight) highlights_.push_back(highlight);
  return highlight;
}

void TppTextSearchCustomEngine::SwitchDevices(bool up) {
  deviceCounter_ += up ? 1 : -1;
  if (!viewer_ || !viewer_->ScreenDevice() || !publisher_ || !offScreenDevice_) return;
  if (deviceCounter_ <= 0) {
    if (offScreenDevice_->Publisher() != publisher_) {
      // The viewer's device stays attached (detaching it tells the viewer
      // its report went) but takes no pages while the off-screen one works.
      for (int i = 0; i < publisher_->GetDeviceCount(); ++i) {
        TppDevice* d = publisher_->GetDevice(i);
        if (!cls::ObjectIs<TppScreenDevice>(d) || !d->Active()) continue;
        d->SetActive(false);
        if (!d->Active()) deactivated_.push_back(d);
      }
      offScreenDevice_->SetPublisher(publisher_);
    }
    AssignCanvasScale();
  } else if (offScreenDevice_->Publisher()) {
    offScreenDevice_->SetPublisher(nullptr);
    for (int i = 0; i < publisher_->GetDeviceCount(); ++i) {
      TppDevice* d = publisher_->GetDevice(i);
      if (std::find(deactivated_.begin(), deactivated_.end(), d) != deactivated_.end()) d->SetActive(true);
    }
    deactivated_.clear();
  }
}

bool TppTextSearchCustomEngine::Pump() {
  ui::Application().ProcessMessages();
  return cancelled_;
}

TppPage* TppTextSearchCustomEngine::RequestPage(int32_t pageNo) {
  if (!offScreenDevice_ || !offScreenDevice_->Publisher()) return nullptr;
  TppPageRequest* request = offScreenDevice_->PageRequest();
  request->SetPageSetting(TppPageSettingType::psSinglePage);
  request->SetPageRequested(pageNo);
  offScreenDevice_->RequestPages();
  TppPage* page = offScreenDevice_ ? offScreenDevice_->GetPage() : nullptr;
  if (!page) throw ESearchEngineError("TppTextSearchCustomEngine.SearchRequestedPages: Requested page is nil.");
  // Another page than the one asked for: the report has no such page.
  return page->AbsolutePageNo() == pageNo ? page : nullptr;
}

int32_t TppTextSearchCustomEngine::ShownPageNo() const { return viewer_ ? viewer_->GetAbsolutePageNo() : 0; }

void TppTextSearchCustomEngine::TextSearchEvent() { SendEventNotify(this, ciTextSearchEvent, nullptr); }

// ---- TppTextSearchEngine ----

TppTextSearchEngine::TppTextSearchEngine(cls::TComponent* owner)
    : TppTextSearchCustomEngine(owner), pageList_(new TppTextSearchPageList) {}

void TppTextSearchEngine::BeforeDestruction() {
  if (TppTextSearchPageList* list = pageList_) {
    pageList_ = nullptr;
    list->Free();
  }
  inherited::BeforeDestruction();
}

bool TppTextSearchEngine::CaseSensitive() const { return TextSearchSettings() && TextSearchSettings()->CaseSensitive(); }
bool TppTextSearchEngine::WholeWord() const { return TextSearchSettings() && TextSearchSettings()->WholeWord(); }

void TppTextSearchEngine::ResetSearch() {
  inherited::ResetSearch();
  if (pageList_) pageList_->Clear();
  complete_ = false;
  searchText_.clear();
  resultPage_ = -1;
  highestPage_ = 0;
}

bool TppTextSearchEngine::Search(const std::string& text) {
  bool found = false;
  {
    TppWalk walk(this);
    {
      TppDevicesSwitched switched(this);
      inherited::Search(text);
      searchText_ = text;
      pageList_->Clear();
      found = SearchPages();
    }
    if (found && !cancelled_ && Viewer() && resultPage_ != ShownPageNo()) Viewer()->GotoPage(resultPage_);
  }
  FreePendingAfterWalk();
  return found;
}

bool TppTextSearchEngine::SearchPages() {
  TppDevicesSwitched switched(this);
  if (!Publisher())
    throw ESearchEngineError(
        "TppTextSearchEngine.Search: The publisher is nil because the off screen device has been deactivated.");
  resultPage_ = -1;
  if (searchText_.empty()) return false;  // finds nothing, and a walk on it would not advance
  if (Publisher()->CachePages() && Publisher()->GetCachedPageCount() >= startPage_) {
    resultPage_ = SearchCachedPages();
    if (resultPage_ < 0 && !complete_ && !cancelled_) {
      startPage_ = Publisher()->GetCachedPageCount() + 1;
      resultPage_ = SearchRequestedPages();
    }
  } else {
    resultPage_ = SearchRequestedPages();
  }
  if (cancelled_) {
    resultPage_ = ShownPageNo();
    return false;
  }
  return resultPage_ > 0;
}

int32_t TppTextSearchEngine::SearchCachedPages() {
  int32_t first = -1;
  const int32_t count = Publisher()->GetCachedPageCount();
  TppPage* lastCached = Publisher()->FindCachedPage(count);
  const bool all = lastCached && lastCached->LastPage();
  for (int32_t n = startPage_; n <= count && !cancelled_; ++n) {
    TppPage* page = Publisher() ? Publisher()->FindCachedPage(n) : nullptr;
    if (!page) break;
    bool last = page->LastPage();
    if (SearchPage(page, searchText_) && first < 0) first = n;
    if (Pump() || last || (first > 0 && !all)) break;
  }
  if (all) complete_ = true;
  return first;
}

int32_t TppTextSearchEngine::SearchRequestedPages() {
  int32_t first = -1;
  for (int32_t n = startPage_; !cancelled_; ++n) {
    TppPage* page = n == ShownPageNo() && Viewer() ? Viewer()->GetCurrentPage() : RequestPage(n);
    if (!page) {
      complete_ = true;  // asked beyond the report's end
      break;
    }
    bool last = page->LastPage();
    if (SearchPage(page, searchText_)) first = n;
    if (Pump() || last || first > 0) break;
  }
  return first;
}

int32_t TppTextSearchEngine::NavigateForward(const std::string& text, bool stopAtFirst) {
  if (searchText_.empty()) searchText_ = text;
  return inherited::NavigateForward(text, stopAtFirst);
}

bool TppTextSearchEngine::SearchPage(TppPage* page, const std::string& text) {
  inherited::SearchPage(page, text);
  const int32_t pageNo = page->AbsolutePageNo();
  if (pageList_->FindPage(pageNo)) return true;
  complete_ = page->LastPage();
  if (text.empty()) return false;
  // A copy: the walk lets messages through, and the cache or the shown
  // page may change meanwhile.
  cls::Owned<TppPage> copy(new TppPage(nullptr));
  copy->Assign(page);
  cls::Owned<TppTextSearchPage> found;
  std::string saved = searchText_;
  searchText_ = text;
  for (int i = 0; i < copy->GetDrawCommandCount() && !cancelled_; ++i) {
    TppDrawCommand* command = copy->GetDrawCommand(i);
    if (!TppTextSearchHighlightRegistryList::FindHighlighter(command->ClassType()) || !CanSearch(command)) continue;
    std::vector<TppTextSearchOccurrence*> hits;
    try {
      BuildSearchOccurrenceList(command, i, hits);
    } catch (...) {
      for (TppTextSearchOccurrence* o : hits) o->Free();
      searchText_ = saved;
      throw;
    }
    for (TppTextSearchOccurrence* o : hits) {
      if (!found) {
        found.reset(new TppTextSearchPage);
        TextSearchEvent();
      }
      found->AddOccurrence(o);
      TextSearchEvent();
    }
    if (Pump()) break;
  }
  searchText_ = saved;
  if (cancelled_) return false;  // no half-built page stays
  if (!found) return false;
  found->PageNo = pageNo;
  found->Sort();
  pageList_->Add(found.release());
  TextSearchEvent();
  return true;
}

void TppTextSearchEngine::BuildSearchOccurrenceList(TppDrawCommand* drawCommand, int commandIndex,
                                                    std::vector<TppTextSearchOccurrence*>& found) {
  auto* text = cls::ObjectAs<TppDrawText>(drawCommand);
  if (!text)
    throw ESearchEngineError("TppDrawTextSearchEngine.BuildSearchOccurrenceList: The draw command is a " +
                             (drawCommand ? drawCommand->ClassName() : std::string("nil")) + " not a TppDrawText.");
  const TppCanvasScale scale = CanvasScale();
  const int32_t lineHeight =
      TppTextSearchToolboxRegistry::GetToolbox().CalculateLineHeight(text, scale.Canvas, scale.ScaleY);
  TppTextSearchSelectionHighlighter finder;
  finder.CaseSensitive = CaseSensitive();
  finder.WholeWord = WholeWord();
  finder.FindOccurrences(text, searchText_, [&](TppTextSearchOccurrence* o) {
    o->DrawCommandIndex = commandIndex;
    o->Top = text->Top() + (o->LineNumber - 1) * lineHeight;
    o->SortLeft = text->Left() + o->OccurrenceNumber;
    found.push_back(o);
    return !Pump();
  });
}

TppDrawCommand* TppTextSearchEngine::CommandOf(int32_t pageNo, const TppTextSearchOccurrence* occurrence) const {
  TppPage* page = nullptr;
  if (Viewer() && Viewer()->GetCurrentPage() && Viewer()->GetAbsolutePageNo() == pageNo)
    page = Viewer()->GetCurrentPage();
  else if (Publisher())
    page = Publisher()->FindCachedPage(pageNo);
  if (!page || occurrence->DrawCommandIndex < 0 || occurrence->DrawCommandIndex >= page->GetDrawCommandCount())
    return nullptr;
  return page->GetDrawCommand(occurrence->DrawCommandIndex);
}

void TppTextSearchEngine::CreateEntirePageHighlights() {
  TppTextSearchPage* page = CurrentPage();
  if (!page) return;
  for (int i = 0; i < page->Count() && !cancelled_; ++i) {
    TppTextSearchOccurrence* o = page->GetDrawCommandForIndex(i);
    if (TppDrawCommand* command = CommandOf(page->PageNo, o)) CreateHighlightDrawCommand(command, o);
  }
}

void TppTextSearchEngine::CreateSingleHighlight() {
  TppTextSearchPage* page = CurrentPage();
  TppTextSearchOccurrence* o = CurrentOccurrence();
  if (!page || !o || cancelled_) return;
  if (TppDrawCommand* command = CommandOf(page->PageNo, o)) CreateHighlightDrawCommand(command, o);
}

void TppTextSearchEngine::HighlightPage(int32_t pageNo) {
  FreeHighlights();
  const bool showAll = TextSearchSettings() && TextSearchSettings()->ShowAll();
  TppTextSearchPage* current = CurrentPage();
  if (showAll) {
    TppTextSearchPage* page = pageList_->FindPage(pageNo);
    if (!page) return;
    // The page's hits, whatever the current hit.
    for (int i = 0; i < page->Count() && !cancelled_; ++i) {
      TppTextSearchOccurrence* o = page->GetDrawCommandForIndex(i);
      if (TppDrawCommand* command = CommandOf(pageNo, o)) CreateHighlightDrawCommand(command, o);
    }
  } else if (current && current->PageNo == pageNo) {
    CreateSingleHighlight();
  }
}

// ---- TppTextSearchRichTextEngine ----

void TppTextSearchRichTextEngine::BuildSearchOccurrenceList(TppDrawCommand* drawCommand, int commandIndex,
                                                            std::vector<TppTextSearchOccurrence*>& found) {
  auto* rich = cls::ObjectAs<TppDrawRichText>(drawCommand);
  if (!rich) {
    inherited::BuildSearchOccurrenceList(drawCommand, commandIndex, found);
    return;
  }
  TppTextSearchRichTextHighlighter finder;
  finder.CaseSensitive = CaseSensitive();
  finder.WholeWord = WholeWord();
  const size_t first = found.size();
  finder.FindOccurrences(rich, searchText_, [&](TppTextSearchOccurrence* o) {
    o->DrawCommandIndex = commandIndex;
    o->Top = rich->Top();
    o->SortLeft = rich->Left() + o->OccurrenceNumber;
    found.push_back(o);
    return !Pump();
  });
  const size_t count = found.size() - first;
  if (count >= 2)
    for (size_t i = 0; i < count; ++i)
      found[first + i]->Top = rich->Top() + static_cast<int32_t>(static_cast<int64_t>(i) * rich->Height() / static_cast<int64_t>(count));
}

void ppRegisterTextSearchEngines() {
  cls::RegisterClass(&TppTextSearchRichTextEngine::StaticClass());
  TppTextSearchEngineRegistry::Register<TppTextSearchRichTextEngine>();
}
