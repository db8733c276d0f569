#include "report/output/ppTextSearch.h"

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <map>
#include <memory>
#include <mutex>

#include "platform/gdi/gdi.h"
#include "platform/richedit/match.h"
#include "report/model/ppUtils.h"
#include "report/output/ppPlainText.h"

CLS_IMPLEMENT_CLASS(TppTextSearchToolbox)
CLS_IMPLEMENT_CLASS(TppTextSearchOccurrence)
CLS_IMPLEMENT_CLASS(TppTextSearchPage)
CLS_IMPLEMENT_CLASS(TppTextSearchPageList)
CLS_IMPLEMENT_CLASS(TppTextSearchDrawCommandHighlighter)
CLS_IMPLEMENT_CLASS(TppTextSearchSelectionHighlighter)
CLS_IMPLEMENT_CLASS(TppTextSearchRichTextHighlighter)

namespace {

std::mutex g_mutex;  // the registries below

const TppTextSearchToolbox* g_toolbox = nullptr;

cls::TStringList& DelimiterList() {
  static cls::TStringList list;
  return list;
}
std::once_flag g_delimitersMade;

void MakeDelimiters() {
  std::call_once(g_delimitersMade, [] { TppTextSearchToolbox::Default().FillDelimiters(&DelimiterList()); });
}

// The single-byte delimiters of the list, as the matcher takes them; the
// list is made once and never changes.
const std::string& DelimiterBytes() {
  static const std::string bytes = [] {
    std::string b;
    for (int i = 0; i < WordDelimiters().Count(); ++i)
      if (WordDelimiters().Strings(i).size() == 1) b += WordDelimiters().Strings(i);
    return b;
  }();
  return bytes;
}

std::vector<TppTextSearchEngineClass>& Engines() {
  static std::vector<TppTextSearchEngineClass> v;
  return v;
}

struct HighlightEntry {
  cls::TClass DrawCommandClass;
  cls::TClass HighlighterClass;
  TppTextSearchHighlightRegistryList::Factory Create;
};
std::vector<HighlightEntry>& Highlighters() {
  static std::vector<HighlightEntry> v;
  return v;
}
std::map<cls::TClass, std::unique_ptr<TppTextSearchDrawCommandHighlighter, cls::TFreeObject>>& Instances() {
  static std::map<cls::TClass, std::unique_ptr<TppTextSearchDrawCommandHighlighter, cls::TFreeObject>> m;
  return m;
}

// Screen pixels of the page at 100 % to thousandths of a millimetre.
int32_t PixelsToMM(double pixels, TppDirection direction) {
  return ConvertToMMThousandths(static_cast<float>(pixels), utScreenPixels, direction);
}

// The command's font on CANVAS for SCALE, put back when it goes.
class TppZoomedFont {
 public:
  TppZoomedFont(gdi::TCanvas* canvas, const gdi::TFont& font, double scale) : canvas_(canvas), saved_(canvas->Font) {
    canvas->Font.Assign(font);
    canvas->Font.SetName(GetTrueTypeFontName(font.Name()));
    int height = static_cast<int>(ppNint(font.Height() * scale));
    canvas->Font.SetHeight(height == 0 ? -1 : height);
  }
  ~TppZoomedFont() { canvas_->Font.Assign(saved_); }
  TppZoomedFont(const TppZoomedFont&) = delete;
  TppZoomedFont& operator=(const TppZoomedFont&) = delete;

 private:
  gdi::TCanvas* canvas_;
  gdi::TFont saved_;
};

}  // namespace

// ---- toolbox ----

const TppTextSearchToolbox& TppTextSearchToolbox::Default() {
  static const TppTextSearchToolbox toolbox;
  return toolbox;
}

void TppTextSearchToolbox::FillDelimiters(cls::TStringList* list) const {
  list->Clear();
  for (char c : richedit::kWordDelimiters) list->Add(std::string(1, c));
}

int32_t TppTextSearchToolbox::CalculateLineHeight(TppDrawText* drawText, gdi::TCanvas* canvas, double scale) const {
  if (!canvas)
    throw ESearchError("TppTextMetrics.CalculateLineHeight: Must assign current canvas before calling this routine.");
  if (!drawText || scale <= 0) return 0;
  TppZoomedFont font(canvas, *drawText->Font(), scale);
  canvas->RequireState();
  win::TEXTMETRICA tm{};
  win::GetTextMetricsA(canvas->Handle(), &tm);
  double lineHeight = tm.tmHeight;
  if (drawText->IsMemo())
    lineHeight += ConvertFromMMThousandths(drawText->Leading(), utScreenPixels, ppVertical);
  else
    lineHeight += tm.tmExternalLeading;
  const double screenHeight = ConvertFromMMThousandths(drawText->Height(), utScreenPixels, ppVertical) * scale;
  const int lines = drawText->WrappedText()->Count();
  double perLine = drawText->IsMemo() && lines > 0 ? ppNint(screenHeight / lines) : screenHeight;
  if (lineHeight > 0 && std::fabs(perLine - lineHeight) / lineHeight <= 0.1) lineHeight = perLine;
  return PixelsToMM(lineHeight / scale, ppVertical);
}

int TppTextSearchToolbox::GetTextWidth(gdi::TCanvas* canvas, const std::string& text) const {
  if (!canvas) return 0;
  TppTabPositions none{};
  return TppPlainText::GetTabbedTextWidth(*canvas, text, none, 0);
}

int TppTextSearchToolbox::FindSearchText(const std::string& text, const std::string& searchText, int& position,
                                         bool wholeWord, bool caseSensitive, int start) const {
  size_t from = start > 1 ? static_cast<size_t>(start - 1) : 0;
  size_t at = richedit::FindText(text, searchText, from, std::string::npos, wholeWord, caseSensitive, DelimiterBytes());
  position = at == std::string::npos ? 0 : static_cast<int>(at) + 1;
  return position;
}

int TppTextSearchToolbox::FindRichText(ui::TRichEdit* richEdit, const std::string& text, int start, int length,
                                       ui::TSearchTypes options) const {
  return richEdit ? richEdit->FindText(text, start, length, options) : -1;
}

std::string TppTextSearchToolbox::ReplaceText(const std::string& text, const std::string& oldText,
                                              const std::string& newText, bool ignoreCase, bool replaceAll) const {
  std::string result;
  size_t from = 0;
  for (;;) {
    size_t at = richedit::FindText(text, oldText, from, std::string::npos, false, !ignoreCase);
    if (at == std::string::npos) break;
    result.append(text, from, at - from);
    result += newText;
    from = at + oldText.size();
    if (!replaceAll) break;
  }
  result.append(text, from, std::string::npos);
  return result;
}

void TppTextSearchToolboxRegistry::RegisterToolboxClass(const TppTextSearchToolbox* toolbox) {
  std::lock_guard<std::mutex> lock(g_mutex);
  g_toolbox = toolbox;
}

void TppTextSearchToolboxRegistry::UnregisterToolboxClass() {
  std::lock_guard<std::mutex> lock(g_mutex);
  g_toolbox = nullptr;
}

const TppTextSearchToolbox& TppTextSearchToolboxRegistry::GetToolbox() {
  MakeDelimiters();
  std::lock_guard<std::mutex> lock(g_mutex);
  return g_toolbox ? *g_toolbox : TppTextSearchToolbox::Default();
}

const cls::TStringList& WordDelimiters() {
  MakeDelimiters();
  return DelimiterList();
}

// ---- engine registry ----

void TppTextSearchEngineRegistry::Register(const TppTextSearchEngineClass& engineClass) {
  if (!engineClass.Class || !engineClass.EngineName)
    throw ESearchError("TppTextSearchEngineRegistry.Register: Cannot register a nil class");
  std::lock_guard<std::mutex> lock(g_mutex);
  for (const TppTextSearchEngineClass& e : Engines())
    if (e.Class == engineClass.Class) return;
  Engines().push_back(engineClass);
}

void TppTextSearchEngineRegistry::UnRegister(cls::TClass engineClass) {
  if (!engineClass) throw ESearchError("TppTextSearchEngineRegistry.UnRegister: Cannot unregister a nil class");
  std::lock_guard<std::mutex> lock(g_mutex);
  auto& v = Engines();
  v.erase(std::remove_if(v.begin(), v.end(), [&](const TppTextSearchEngineClass& e) { return e.Class == engineClass; }),
          v.end());
}

cls::TClass TppTextSearchEngineRegistry::FindEngineClass(const std::string& name) {
  std::lock_guard<std::mutex> lock(g_mutex);
  cls::TClass found = nullptr;
  for (const TppTextSearchEngineClass& e : Engines())
    if (e.EngineName() == name) found = e.Class;
  return found;
}

// ---- hits ----

std::string TppTextSearchOccurrence::SortKey() const {
  auto last8 = [](int32_t v) {
    char buf[32];
    std::snprintf(buf, sizeof buf, "0000000000%d", v);
    std::string s(buf);
    return s.substr(s.size() - 8);
  };
  return last8(Top) + last8(SortLeft);
}

void TppTextSearchPage::BeforeDestruction() {
  while (occurrences_.Count() > 0) {
    TppTextSearchOccurrence* o = occurrences_.Last();
    occurrences_.Delete(occurrences_.Count() - 1);
    cls::UnguardFree(o);
    o->Free();
  }
  inherited::BeforeDestruction();
}

void TppTextSearchPage::AddOccurrence(TppTextSearchOccurrence* occurrence) {
  if (!occurrence || occurrences_.Contains(occurrence)) return;
  occurrences_.Add(occurrence);
  cls::GuardFree(occurrence, [] { throw ESearchError("TppTextSearchPage.Notify: Cannot free draw command info from page."); });
}

TppTextSearchOccurrence* TppTextSearchPage::GetDrawCommandForIndex(int index) const {
  if (index < 0 || index >= occurrences_.Count())
    throw ESearchError(
        "TppTextSearchPage.GetDrawCommandForIndex: Must reference an index in range of DrawCommmandCount");
  return occurrences_[index];
}

void TppTextSearchPage::Sort() {
  // Each key made once.
  std::vector<std::pair<std::string, TppTextSearchOccurrence*>> keyed;
  keyed.reserve(static_cast<size_t>(occurrences_.Count()));
  for (TppTextSearchOccurrence* o : occurrences_) {
    keyed.emplace_back(o->SortKey(), o);
    if (keyed.back().first.size() != keyed.front().first.size())
      throw ESearchError("TppTextSearchPage.PositionToText: Formatting failure");
  }
  std::stable_sort(keyed.begin(), keyed.end(), [](const auto& a, const auto& b) { return a.first < b.first; });
  for (size_t i = 0; i < keyed.size(); ++i) occurrences_.Put(static_cast<int>(i), keyed[i].second);
}

void TppTextSearchPageList::BeforeDestruction() {
  Clear();
  inherited::BeforeDestruction();
}

void TppTextSearchPageList::Add(TppTextSearchPage* page) {
  if (!page || !held_.insert(page).second) return;
  pages_.Add(page);
  byNumber_.emplace(page->PageNo, page);
  cls::GuardFree(page, [] { throw ESearchError("TppTextSearchPageList.Notify: Cannot free a TextSearchPage embedded object"); });
}

void TppTextSearchPageList::Clear() {
  pageIndex_ = occurrenceIndex_ = -1;
  held_.clear();
  byNumber_.clear();
  while (pages_.Count() > 0) {
    TppTextSearchPage* p = pages_.Last();
    pages_.Delete(pages_.Count() - 1);
    cls::UnguardFree(p);
    p->Free();
  }
}

TppTextSearchPage* TppTextSearchPageList::FindPage(int32_t pageNo) const {
  auto it = byNumber_.find(pageNo);
  return it == byNumber_.end() ? nullptr : it->second;
}

int TppTextSearchPageList::OccurrenceCount() const {
  int n = 0;
  for (TppTextSearchPage* p : pages_) n += p->Count();
  return n;
}

int32_t TppTextSearchPageList::HighestPageNo() const {
  int32_t n = 0;
  for (TppTextSearchPage* p : pages_) n = std::max(n, p->PageNo);
  return n;
}

TppTextSearchPage* TppTextSearchPageList::CurrentPage() const {
  return pageIndex_ >= 0 && pageIndex_ < pages_.Count() ? pages_[pageIndex_] : nullptr;
}

TppTextSearchOccurrence* TppTextSearchPageList::CurrentOccurrence() const {
  TppTextSearchPage* p = CurrentPage();
  return p && occurrenceIndex_ >= 0 && occurrenceIndex_ < p->Count() ? p->GetDrawCommandForIndex(occurrenceIndex_)
                                                                     : nullptr;
}

int TppTextSearchPageList::SearchIndex() const {
  if (!CurrentOccurrence()) return -1;
  int n = occurrenceIndex_;
  for (int i = 0; i < pageIndex_; ++i) n += pages_[i]->Count();
  return n;
}

bool TppTextSearchPageList::First() {
  for (int i = 0; i < pages_.Count(); ++i)
    if (pages_[i]->Count() > 0) {
      pageIndex_ = i;
      occurrenceIndex_ = 0;
      return true;
    }
  return false;
}

bool TppTextSearchPageList::Last() {
  for (int i = pages_.Count() - 1; i >= 0; --i)
    if (pages_[i]->Count() > 0) {
      pageIndex_ = i;
      occurrenceIndex_ = pages_[i]->Count() - 1;
      return true;
    }
  return false;
}

bool TppTextSearchPageList::Next() {
  if (!CurrentOccurrence()) return First();
  if (occurrenceIndex_ + 1 < pages_[pageIndex_]->Count()) {
    ++occurrenceIndex_;
    return true;
  }
  for (int i = pageIndex_ + 1; i < pages_.Count(); ++i)
    if (pages_[i]->Count() > 0) {
      pageIndex_ = i;
      occurrenceIndex_ = 0;
      return true;
    }
  return false;
}

bool TppTextSearchPageList::Prior() {
  if (!CurrentOccurrence()) return false;
  if (occurrenceIndex_ > 0) {
    --occurrenceIndex_;
    return true;
  }
  for (int i = pageIndex_ - 1; i >= 0; --i)
    if (pages_[i]->Count() > 0) {
      pageIndex_ = i;
      occurrenceIndex_ = pages_[i]->Count() - 1;
      return true;
    }
  return false;
}

bool TppTextSearchPageList::IsLast() const {
  int index = SearchIndex();
  return index >= 0 && index == OccurrenceCount() - 1;
}

void TppTextSearchPageList::GotoPage(int32_t pageNo) {
  for (int i = 0; i < pages_.Count(); ++i)
    if (pages_[i]->PageNo == pageNo && pages_[i]->Count() > 0) {
      pageIndex_ = i;
      occurrenceIndex_ = 0;
      return;
    }
  throw ESearchError("TppTextSearchPageList.GotoPage: Cannot find the " + std::to_string(pageNo) +
                     " in the list of page info objects of (1-" + std::to_string(pages_.Count()) + ").");
}

void TppTextSearchPageList::ResetSearchIndex(int index) {
  int n = index;
  if (index >= 0)
    for (int i = 0; i < pages_.Count(); ++i) {
      if (n < pages_[i]->Count()) {
        pageIndex_ = i;
        occurrenceIndex_ = n;
        return;
      }
      n -= pages_[i]->Count();
    }
  throw ESearchError("TppTextSearchPageList.ResetSearchIndex: Cannot find the search index in the page range: " +
                     std::to_string(index));
}

TppTextSearchPage* TppTextSearchPageList::LastTextSearchPage() const {
  if (pages_.Count() == 0)
    throw ESearchError("TppTextSearchPageList.LastTextSearchPage: Current page search object list is empty.");
  return pages_.Last();
}

// ---- highlighters ----

TppDrawCommand* TppTextSearchDrawCommandHighlighter::CreateHighlight(TppDrawCommand* drawCommand,
                                                                     TppTextSearchOccurrence* occurrence,
                                                                     const TppCanvasScale& scale, const std::string&) {
  if (!drawCommand)
    throw ESearchHighlightError("TppTextSearchDrawCommandHighlighter.CreateHighlight: Must pass a non nil draw command object.");
  if (!occurrence)
    throw ESearchHighlightError(
        "TppTextSearchDrawCommandHighlighter.CreateHighlight: Must pass a non nil draw command search Artifact object.");
  if (!scale.Canvas)
    throw ESearchHighlightError("TppTextSearchDrawCommandHighlighter.CreateHighlight: Must pass a non nil TCanvas object.");
  return nullptr;
}

void TppTextSearchDrawCommandHighlighter::FindOccurrences(TppDrawCommand*, const std::string&,
                                                          const std::function<bool(TppTextSearchOccurrence*)>&) {}

std::vector<std::string> TppTextSearchSelectionHighlighter::Lines(const TppDrawText* drawText) {
  std::vector<std::string> lines;
  if (drawText->IsMemo() && drawText->WrappedText()->Count() > 0) {
    for (int i = 0; i < drawText->WrappedText()->Count(); ++i) lines.push_back(drawText->WrappedText()->Strings(i));
  } else {
    lines.push_back(drawText->Text());
  }
  return lines;
}

void TppTextSearchSelectionHighlighter::FindOccurrences(TppDrawCommand* drawCommand, const std::string& searchText,
                                                        const std::function<bool(TppTextSearchOccurrence*)>& add) {
  auto* text = cls::ObjectAs<TppDrawText>(drawCommand);
  if (!text) return;
  const TppTextSearchToolbox& toolbox = TppTextSearchToolboxRegistry::GetToolbox();
  const std::vector<std::string> lines = Lines(text);
  for (size_t line = 0; line < lines.size(); ++line) {
    int number = 0, position = 0;
    // Each search starts after the last hit, so hits never overlap; the
    // neighbours are those of the whole line.
    for (int start = 1; toolbox.FindSearchText(lines[line], searchText, position, WholeWord, CaseSensitive, start) > 0;
         start = position + static_cast<int>(searchText.size())) {
      auto* o = new TppTextSearchOccurrence;
      o->OccurrenceNumber = ++number;
      o->LineNumber = static_cast<int>(line) + 1;
      o->BytePosition = position;
      if (!add(o)) return;
    }
  }
}

TppDrawCommand* TppTextSearchSelectionHighlighter::CreateHighlight(TppDrawCommand* drawCommand,
                                                                   TppTextSearchOccurrence* occurrence,
                                                                   const TppCanvasScale& scale,
                                                                   const std::string& searchText) {
  TppTextSearchDrawCommandHighlighter::CreateHighlight(drawCommand, occurrence, scale, searchText);
  auto* text = cls::ObjectAs<TppDrawText>(drawCommand);
  if (!text) throw ESearchHighlightError("TppTextSearchHighlighter.HighlightText: Must pass a TppDrawText object.");
  const TppTextSearchToolbox& toolbox = TppTextSearchToolboxRegistry::GetToolbox();
  const std::vector<std::string> lines = Lines(text);
  const size_t lineIndex = static_cast<size_t>(std::max(occurrence->LineNumber, 1) - 1);
  const std::string line = lineIndex < lines.size() ? lines[lineIndex] : std::string();
  // The line split at the hit's byte position.
  const size_t at = std::min(line.size(), static_cast<size_t>(std::max(occurrence->BytePosition, 1) - 1));
  const std::string before = line.substr(0, at);
  const std::string hit = line.substr(at, searchText.size());
  const std::string after = at + hit.size() < line.size() ? line.substr(at + hit.size()) : std::string();

  gdi::TCanvas* canvas = scale.Canvas;
  const double sx = scale.ScaleX > 0 ? scale.ScaleX : 1, sy = scale.ScaleY > 0 ? scale.ScaleY : 1;
  const int32_t lineHeight = toolbox.CalculateLineHeight(text, canvas, sy);
  double offset = 0, width = 0;
  {
    TppZoomedFont font(canvas, *text->Font(), sy);
    const double wBefore = toolbox.GetTextWidth(canvas, before), wHit = toolbox.GetTextWidth(canvas, hit),
                 wAfter = toolbox.GetTextWidth(canvas, after);
    const double commandWidth = ConvertFromMMThousandths(text->Width(), utScreenPixels, ppHorizontal) * sx;
    switch (text->TextAlignment()) {
      case taLeftJustified: offset = wBefore; break;
      case taRightJustified: offset = commandWidth - wHit - wAfter; break;
      case taCentered: offset = wBefore + ppNint((commandWidth - (wAfter + wHit + wBefore)) / 2 - 0.5); break;
      case taFullJustified: offset = 0; break;
    }
    width = text->TextAlignment() == taFullJustified ? commandWidth : wHit;
  }
  const bool italic = (text->Font()->Style() & gdi::fsItalic) != 0;
  auto* highlight = new TppDrawText(nullptr);
  highlight->SetFont(text->Font());
  highlight->Font()->SetName(GetTrueTypeFontName(text->Font()->Name()));
  highlight->Font()->SetColor(TextColor);
  highlight->SetColor(BackgroundColor);
  highlight->SetTransparent(false);
  highlight->SetText(hit);
  highlight->SetTextAlignment(taLeftJustified);
  highlight->SetAutoSize(false);
  highlight->SetLeft(text->Left() + PixelsToMM(offset / sx, ppHorizontal));
  highlight->SetTop(text->Top() + static_cast<int32_t>(lineIndex) * lineHeight);
  highlight->SetWidth(PixelsToMM(width / sx, ppHorizontal) + (italic ? 750 : 100));
  highlight->SetHeight(lineHeight);
  return highlight;
}

void TppTextSearchRichTextHighlighter::FindOccurrences(TppDrawCommand* drawCommand, const std::string& searchText,
                                                       const std::function<bool(TppTextSearchOccurrence*)>& add) {
  auto* rich = cls::ObjectAs<TppDrawRichText>(drawCommand);
  if (!rich || searchText.empty()) return;
  std::lock_guard<std::recursive_mutex> lock(ppRichEditLock());
  cls::Owned<ui::TRichEdit> edit(CreateHiddenRichEdit(nullptr));
  rich->RichTextStream()->SetPosition(0);
  edit->Lines()->LoadFromStream(*rich->RichTextStream());
  const int first = std::max(rich->StartCharPos(), 0);
  const int last = rich->EndCharPos() < 0 ? edit->GetTextLen() - 1 : std::min(rich->EndCharPos(), edit->GetTextLen() - 1);
  ui::TSearchTypes options = (WholeWord ? ui::TSearchTypes{ui::stWholeWord} : 0u) | (CaseSensitive ? ui::TSearchTypes{ui::stMatchCase} : 0u);
  const TppTextSearchToolbox& toolbox = TppTextSearchToolboxRegistry::GetToolbox();
  int number = 0;
  for (int start = first; start <= last;) {
    int at = toolbox.FindRichText(edit.get(), searchText, start, last - start + 1, options);
    if (at < 0) break;
    auto* o = new TppTextSearchOccurrence;
    o->OccurrenceNumber = ++number;
    o->LineNumber = 1;
    o->TextPosition = at;
    o->RangeStart = first;
    o->RangeEnd = last;
    if (!add(o)) return;
    // The search text's length in characters, at least one.
    richedit::Document probe;
    probe.Load(searchText);
    start = at + std::max(probe.Length(), 1);
  }
}

TppDrawCommand* TppTextSearchRichTextHighlighter::CreateHighlight(TppDrawCommand* drawCommand,
                                                                  TppTextSearchOccurrence* occurrence,
                                                                  const TppCanvasScale& scale,
                                                                  const std::string& searchText) {
  TppTextSearchDrawCommandHighlighter::CreateHighlight(drawCommand, occurrence, scale, searchText);
  auto* rich = cls::ObjectAs<TppDrawRichText>(drawCommand);
  if (!rich)
    throw ESearchHighlightError(
        "TppTextSearchRichTextHighlighter.CreateHighlight: Must pass a TppDrawRichText object to highlight, not a " +
        drawCommand->ClassName());
  std::lock_guard<std::recursive_mutex> lock(ppRichEditLock());
  cls::Owned<ui::TRichEdit> edit(CreateHiddenRichEdit(nullptr));
  rich->RichTextStream()->SetPosition(0);
  edit->Lines()->LoadFromStream(*rich->RichTextStream());
  richedit::Document probe;
  probe.Load(searchText);
  edit->Document().SetSelection(occurrence->TextPosition, std::max(probe.Length(), 1));
  bool changed = false;
  occurrence->SetColor(TppRTFEngine::SetSelBackColor(edit.get(), BackgroundColor, changed));
  auto* highlight = new TppDrawRichText(nullptr);
  highlight->Assign(rich);
  highlight->SetTransparent(true);
  highlight->RichTextStream()->Clear();
  edit->Lines()->SaveToStream(*highlight->RichTextStream());
  highlight->RichTextStream()->SetPosition(0);
  return highlight;
}

void TppTextSearchHighlightRegistryList::Register(cls::TClass drawCommandClass, cls::TClass highlighterClass,
                                                  Factory create) {
  if (!drawCommandClass || !highlighterClass || !create) return;
  std::lock_guard<std::mutex> lock(g_mutex);
  for (HighlightEntry& e : Highlighters())
    if (e.DrawCommandClass == drawCommandClass) {
      e = HighlightEntry{drawCommandClass, highlighterClass, create};
      return;
    }
  Highlighters().push_back({drawCommandClass, highlighterClass, create});
}

void TppTextSearchHighlightRegistryList::UnRegister(cls::TClass drawCommandClass) {
  std::lock_guard<std::mutex> lock(g_mutex);
  auto& v = Highlighters();
  v.erase(std::remove_if(v.begin(), v.end(), [&](const HighlightEntry& e) { return e.DrawCommandClass == drawCommandClass; }),
          v.end());
}

TppTextSearchDrawCommandHighlighter* TppTextSearchHighlightRegistryList::FindHighlighter(cls::TClass drawCommandClass) {
  if (!drawCommandClass) return nullptr;
  std::lock_guard<std::mutex> lock(g_mutex);
  const HighlightEntry* best = nullptr;
  for (const HighlightEntry& e : Highlighters())
    if (drawCommandClass->InheritsFrom(e.DrawCommandClass) &&
        (!best || e.DrawCommandClass->InheritsFrom(best->DrawCommandClass)))
      best = &e;
  if (!best) return nullptr;
  auto& instance = Instances()[best->HighlighterClass];
  if (!instance) instance.reset(best->Create());
  return instance.get();
}

TppTextSearchDrawCommandHighlighter* TppTextSearchHighlightRegistryList::GetHighlighterForDrawCommand(
    const TppDrawCommand* drawCommand) {
  TppTextSearchDrawCommandHighlighter* h = FindHighlighter(drawCommand ? drawCommand->ClassType() : nullptr);
  if (!h)
    throw ESearchError("TppTextSearchHighlightRegistry.GetHighlighterForDrawCommand: Unable to find highlighter class for: " +
                       (drawCommand ? drawCommand->ClassName() : std::string("nil")) + ".");
  return h;
}

void TppTextSearchHighlightRegistryList::FreeHighlighters() {
  std::lock_guard<std::mutex> lock(g_mutex);
  Instances().clear();
}

void ppRegisterTextSearchUnit() {
  static std::once_flag once;
  std::call_once(once, [] {
    MakeDelimiters();
    TppTextSearchToolboxRegistry::RegisterToolboxClass(&TppTextSearchToolbox::Default());
    TppTextSearchHighlightRegistryList::Register<TppTextSearchSelectionHighlighter>(&TppDrawText::StaticClass());
    TppTextSearchHighlightRegistryList::Register<TppTextSearchRichTextHighlighter>(&TppDrawRichText::StaticClass());
    ppRegisterTextSearchEngines();
  });
}
