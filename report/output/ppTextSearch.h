// Text search in the pages of a previewed report: the matching toolbox, the
// engine registry and engines, the hits (occurrences) of each page, and the
// highlighters that make the draw commands shown over the hits.
//
// Positions are thousandths of a millimetre, the same at every zoom: text
// is measured on the zoomed screen canvas, then divided by the scale.
#pragma once
#include <cstdint>
#include <functional>
#include <string>
#include <unordered_map>
#include <unordered_set>
#include <vector>

#include "platform/classes/classes.h"
#include "platform/gdi/canvas.h"
#include "platform/ui/richedit.h"
#include "report/model/ppComm.h"
#include "report/model/ppPreviewSettings.h"
#include "report/model/ppTypes.h"
#include "report/output/ppDevice.h"
#include "report/output/ppDrwCmd.h"

class TppScreenDevice;
class TppTextSearchCustomEngine;
class TppViewer;

CLS_DECLARE_EXCEPTION(ESearchEngineError, ESearchError);
CLS_DECLARE_EXCEPTION(ESearchHighlightError, ESearchError);

// ---- toolbox ----

// The matching rules as class methods: one instance stands for a toolbox
// class (TppTextSearchToolboxRegistry holds the one in use).
class TppTextSearchToolbox : public cls::TObject {
  CLS_DECLARE_CLASS(TppTextSearchToolbox, cls::TObject)
 public:
  // Virtual operations, in slot order.
  // Fills LIST with the word delimiters, one single-byte string each.
  virtual void FillDelimiters(cls::TStringList* list) const;
  // The height of one line of the text command, in thousandths of a
  // millimetre, measured on CANVAS at SCALE (screen pixels of the zoomed page
  // per pixel at 100 %). Without a canvas: ESearchError.
  virtual int32_t CalculateLineHeight(TppDrawText* drawText, gdi::TCanvas* canvas, double scale) const;
  // Tabbed width of TEXT on CANVAS, no tab stops, in its pixels.
  virtual int GetTextWidth(gdi::TCanvas* canvas, const std::string& text) const;
  // 1-based position of the first hit of SEARCHTEXT in TEXT at or after
  // START (1-based); 0 when none. POSITION gets the same. See the matcher
  // (platform/richedit/match.h); the delimiters are WordDelimiters().
  virtual int FindSearchText(const std::string& text, const std::string& searchText, int& position, bool wholeWord,
                             bool caseSensitive, int start = 1) const;
  // The rich edit's own find: the first character of the hit, -1 when none.
  virtual int FindRichText(ui::TRichEdit* richEdit, const std::string& text, int start, int length,
                           ui::TSearchTypes options) const;
  virtual std::string ReplaceText(const std::string& text, const std::string& oldText, const std::string& newText,
                                  bool ignoreCase, bool replaceAll) const;

  // The default toolbox.
  static const TppTextSearchToolbox& Default();
};

class TppTextSearchToolboxRegistry {
 public:
  // The toolbox in use from now on (not owned; it must outlive its use).
  static void RegisterToolboxClass(const TppTextSearchToolbox* toolbox);
  static void UnregisterToolboxClass();
  // The registered toolbox, the default one when none; the delimiter list
  // is made on first use.
  static const TppTextSearchToolbox& GetToolbox();
};

// The word delimiters (one string list for the process, made when the unit
// registers).
const cls::TStringList& WordDelimiters();

// ---- engine registry ----

struct TppTextSearchEngineClass {
  cls::TClass Class = nullptr;
  std::string (*EngineName)() = nullptr;
};

class TppTextSearchEngineRegistry {
 public:
  // A class listed already is not added again; nil raises ESearchError.
  static void Register(const TppTextSearchEngineClass& engineClass);
  template <class T>
  static void Register() {
    Register(TppTextSearchEngineClass{&T::StaticClass(), &T::ClassEngineName});
  }
  static void UnRegister(cls::TClass engineClass);
  // The last registered class of that name (exact), nullptr when none.
  static cls::TClass FindEngineClass(const std::string& name);
};

// ---- hits ----

class TppTextSearchOccurrence : public TppCommunicator {
  CLS_DECLARE_CLASS(TppTextSearchOccurrence, TppCommunicator)
 public:
  explicit TppTextSearchOccurrence(cls::TComponent* owner = nullptr) : TppCommunicator(owner) {}

  // The 1-based number of the hit within its line.
  int OccurrenceNumber = 0;
  // The command's index in the page's draw command list.
  int DrawCommandIndex = 0;
  // The command's Left plus the occurrence number.
  int32_t SortLeft = 0;
  // The command's Top plus the lines above the hit.
  int32_t Top = 0;
  // Rich text: the selection start of the hit.
  int TextPosition = 0;
  int LineNumber = 0;
  // Text: the hit's 1-based byte position in its line, where the
  // highlighter splits it.
  int BytePosition = 0;
  // Rich text: the command's first and last character searched.
  int RangeStart = -1;
  int RangeEnd = -1;

  gdi::TColor Color() const { return color_; }
  // clWindow is stored as white.
  void SetColor(gdi::TColor c) { color_ = c == gdi::clWindow ? gdi::clWhite : c; }

  // The key that orders hits for reading: top, then left.
  std::string SortKey() const;

 private:
  gdi::TColor color_ = gdi::clWhite;
};

// The hits of one page in reading order; it owns them.
class TppTextSearchPage : public TppCommunicator {
  CLS_DECLARE_CLASS(TppTextSearchPage, TppCommunicator)
 public:
  explicit TppTextSearchPage(cls::TComponent* owner = nullptr) : TppCommunicator(owner) {}
  void BeforeDestruction() override;

  // Takes OCCURRENCE over; only the page frees it.
  void AddOccurrence(TppTextSearchOccurrence* occurrence);
  int Count() const { return occurrences_.Count(); }
  TppTextSearchOccurrence* GetDrawCommandForIndex(int index) const;
  int IndexOf(const TppTextSearchOccurrence* occurrence) const { return occurrences_.IndexOf(occurrence); }
  // Reading order: by SortKey.
  void Sort();

  int32_t PageNo = 0;

 private:
  cls::TPtrList<TppTextSearchOccurrence> occurrences_;
};

// The pages with hits, in the order found, with the current hit.
class TppTextSearchPageList : public TppCommunicator {
  CLS_DECLARE_CLASS(TppTextSearchPageList, TppCommunicator)
 public:
  explicit TppTextSearchPageList(cls::TComponent* owner = nullptr) : TppCommunicator(owner) {}
  void BeforeDestruction() override;

  // Takes PAGE over, its number set; only the list frees it.
  void Add(TppTextSearchPage* page);
  void Clear();
  int Count() const { return pages_.Count(); }
  TppTextSearchPage* Pages(int index) const { return pages_[index]; }
  TppTextSearchPage* FindPage(int32_t pageNo) const;
  // The hits of every page.
  int OccurrenceCount() const;
  int32_t HighestPageNo() const;

  // The current hit: page index and hit index in that page (-1 when empty).
  int CurrentPageIndex() const { return pageIndex_; }
  int CurrentOccurrenceIndex() const { return occurrenceIndex_; }
  TppTextSearchPage* CurrentPage() const;
  TppTextSearchOccurrence* CurrentOccurrence() const;
  // The current hit's index among all hits, -1 when none.
  int SearchIndex() const;
  // Moves the current hit; false (nothing moved) when there is none.
  bool First();
  bool Last();
  bool Next();
  bool Prior();
  bool IsLast() const;
  // The first hit of page PAGENO; ESearchError when the page has none.
  void GotoPage(int32_t pageNo);
  // The hit of that index among all hits; ESearchError out of range.
  void ResetSearchIndex(int index);
  // The last page; ESearchError when empty.
  TppTextSearchPage* LastTextSearchPage() const;

 private:
  cls::TPtrList<TppTextSearchPage> pages_;
  // The pages held, and the first page of each number: a walk asks for
  // every page it meets.
  std::unordered_set<const TppTextSearchPage*> held_;
  std::unordered_map<int32_t, TppTextSearchPage*> byNumber_;
  int pageIndex_ = -1;
  int occurrenceIndex_ = -1;
};

// ---- highlighters ----

// What a highlighter needs of the screen: the zoomed canvas and its scale.
struct TppCanvasScale {
  gdi::TCanvas* Canvas = nullptr;
  double ScaleX = 1, ScaleY = 1;
};

class TppTextSearchDrawCommandHighlighter : public cls::TObject {
  CLS_DECLARE_CLASS(TppTextSearchDrawCommandHighlighter, cls::TObject)
 public:
  // Checks its arguments (ESearchHighlightError) and makes nothing; the
  // descendants make the highlight, which the caller owns.
  virtual TppDrawCommand* CreateHighlight(TppDrawCommand* drawCommand, TppTextSearchOccurrence* occurrence,
                                          const TppCanvasScale& scale, const std::string& searchText);
  // The hits of one command's text (or rich text), in order, each made
  // with the fields the highlighter reads; the engine fills in the rest.
  // Cancel stops the walk. The base finds none.
  virtual void FindOccurrences(TppDrawCommand* drawCommand, const std::string& searchText,
                               const std::function<bool(TppTextSearchOccurrence*)>& add);

  gdi::TColor BackgroundColor = gdi::clHighlight;
  gdi::TColor TextColor = gdi::clHighlightText;
  bool CaseSensitive = false;
  bool WholeWord = false;
};

// Text commands: a text command over the hit, in the highlight colours.
class TppTextSearchSelectionHighlighter : public TppTextSearchDrawCommandHighlighter {
  CLS_DECLARE_CLASS(TppTextSearchSelectionHighlighter, TppTextSearchDrawCommandHighlighter)
 public:
  TppDrawCommand* CreateHighlight(TppDrawCommand* drawCommand, TppTextSearchOccurrence* occurrence,
                                  const TppCanvasScale& scale, const std::string& searchText) override;
  // The text's lines (the wrapped lines of a memo, else the text), each
  // searched from its start and again after each hit.
  void FindOccurrences(TppDrawCommand* drawCommand, const std::string& searchText,
                       const std::function<bool(TppTextSearchOccurrence*)>& add) override;
  // The lines searched: the wrapped lines of a memo, else the text.
  static std::vector<std::string> Lines(const TppDrawText* drawText);
};

// Rich text: a copy of the command with the hit on a highlight background.
class TppTextSearchRichTextHighlighter : public TppTextSearchDrawCommandHighlighter {
  CLS_DECLARE_CLASS(TppTextSearchRichTextHighlighter, TppTextSearchDrawCommandHighlighter)
 public:
  // The occurrence keeps the background the hit had.
  TppDrawCommand* CreateHighlight(TppDrawCommand* drawCommand, TppTextSearchOccurrence* occurrence,
                                  const TppCanvasScale& scale, const std::string& searchText) override;
  // The rich edit's find over the command's characters.
  void FindOccurrences(TppDrawCommand* drawCommand, const std::string& searchText,
                       const std::function<bool(TppTextSearchOccurrence*)>& add) override;
};

// Maps draw command classes to highlighter classes; one highlighter of
// each class, made on first use.
class TppTextSearchHighlightRegistryList {
 public:
  using Factory = TppTextSearchDrawCommandHighlighter* (*)();
  static void Register(cls::TClass drawCommandClass, cls::TClass highlighterClass, Factory create);
  template <class H>
  static void Register(cls::TClass drawCommandClass) {
    Register(drawCommandClass, &H::StaticClass(), [] { return static_cast<TppTextSearchDrawCommandHighlighter*>(new H); });
  }
  static void UnRegister(cls::TClass drawCommandClass);
  // The highlighter of the most derived registered class the command's
  // class descends from; nullptr when none.
  static TppTextSearchDrawCommandHighlighter* FindHighlighter(cls::TClass drawCommandClass);
  // The same; none raises ESearchError.
  static TppTextSearchDrawCommandHighlighter* GetHighlighterForDrawCommand(const TppDrawCommand* drawCommand);
  // Frees the highlighters made.
  static void FreeHighlighters();
};

// ---- engines ----

// Searches the pages of a viewer's report: first the pages the publisher
// has cached, then page after page asked for on an off-screen screen
// device, so the page shown does not change meanwhile. Every loop stops
// when the search is cancelled, and lets the window messages through.
class TppTextSearchCustomEngine : public TppCommunicator {
  CLS_DECLARE_CLASS(TppTextSearchCustomEngine, TppCommunicator)
 public:
  explicit TppTextSearchCustomEngine(cls::TComponent* owner);
  ~TppTextSearchCustomEngine() override;
  void BeforeDestruction() override;
  // Inside one of its own walks the free is put off until the walk has
  // unwound, and the walk is cancelled.
  void Free() override;
  void Notify(TppCommunicator* communicator, uint8_t operation) override;
  void Notification(cls::TComponent* c, cls::TOperation op) override;
  // 98 from the off-screen device: the page received.
  void EventNotify(TppCommunicator* sender, int eventId, TraParamList* params) override;

  static std::string ClassEngineName() { return "Custom Search"; }

  // Virtual operations, in slot order.
  virtual void SetViewer(TppViewer* viewer);
  // Clears the cancel flag; without a viewer ESearchEngineError.
  virtual bool Search(const std::string& text);
  // Records the highest page searched.
  virtual bool SearchPage(TppPage* page, const std::string& text);
  // From the page after the shown one (or the highest searched): the next
  // page with a hit, or to the report's end; 0 when none, the shown page
  // when cancelled.
  virtual int32_t NavigateForward(const std::string& text, bool stopAtFirst);
  virtual void CancelSearch();
  virtual void ResetSearch();

  // The canvas and scale of the viewer's screen device (the off-screen
  // device's without a viewer); ESearchEngineError without a canvas.
  void AssignCanvasScale();
  // The current canvas and scale (the page bitmap changes with each page).
  TppCanvasScale CanvasScale() const;
  // A highlight of OCCURRENCE in DRAWCOMMAND made by its registered
  // highlighter; the engine keeps it.
  TppDrawCommand* CreateHighlightDrawCommand(TppDrawCommand* drawCommand, TppTextSearchOccurrence* occurrence);
  void FreeHighlights();
  const std::vector<TppDrawCommand*>& Highlights() const { return highlights_; }

  TppViewer* Viewer() const { return viewer_; }
  TppScreenDevice* OffScreenDevice() const { return offScreenDevice_; }
  TppPublisher* Publisher() const { return publisher_; }
  TppTextSearchSettings* TextSearchSettings() const { return settings_; }
  // Linked, not owned.
  void SetTextSearchSettings(TppTextSearchSettings* settings);
  bool Cancelled() const { return cancelled_; }
  bool Complete() const { return complete_; }
  bool Searching() const { return searching_ > 0; }
  const std::string& SearchText() const { return searchText_; }
  int32_t StartPage() const { return startPage_; }
  void SetStartPage(int32_t v) { startPage_ = v < 1 ? 1 : v; }
  int32_t HighestPage() const { return highestPage_; }
  int32_t RequestedPage() const { return requestedPage_; }
  int32_t ResultPage() const { return resultPage_; }
  int DeviceCounter() const { return deviceCounter_; }

  // The devices for a page walk: down, the off-screen device takes the
  // viewer's place at the publisher; up again, the viewer's comes back.
  void SwitchDevices(bool up);

 protected:
  // Holds the switch down for a scope.
  class TppDevicesSwitched {
   public:
    explicit TppDevicesSwitched(TppTextSearchCustomEngine* e) : e_(e) { e_->SwitchDevices(false); }
    ~TppDevicesSwitched() { e_->SwitchDevices(true); }
    TppDevicesSwitched(const TppDevicesSwitched&) = delete;
    TppDevicesSwitched& operator=(const TppDevicesSwitched&) = delete;

   private:
    TppTextSearchCustomEngine* e_;
  };
  // Counts the walks running; the last one out carries out a put-off free.
  class TppWalk {
   public:
    explicit TppWalk(TppTextSearchCustomEngine* e) : e_(e) { ++e_->searching_; }
    ~TppWalk() { --e_->searching_; }
    TppWalk(const TppWalk&) = delete;
    TppWalk& operator=(const TppWalk&) = delete;

   private:
    TppTextSearchCustomEngine* e_;
  };
  // Lets the window messages through; true when the walk must stop.
  bool Pump();
  // Page PAGENO on the off-screen device; nullptr when another page came.
  TppPage* RequestPage(int32_t pageNo);
  // The viewer's page number, 0 without one.
  int32_t ShownPageNo() const;
  // Sends 104.
  void TextSearchEvent();
  void FreePendingAfterWalk();

  bool cancelled_ = false;
  bool complete_ = false;
  int32_t startPage_ = 1;
  int32_t requestedPage_ = 0;
  int32_t highestPage_ = 0;
  int32_t resultPage_ = -1;
  std::string searchText_;

 private:
  void Unlink();
  TppViewer* viewer_ = nullptr;
  TppScreenDevice* offScreenDevice_ = nullptr;  // owned
  TppPublisher* publisher_ = nullptr;
  TppTextSearchSettings* settings_ = nullptr;
  std::vector<TppDrawCommand*> highlights_;  // owned
  std::vector<TppDevice*> deactivated_;      // screen devices put aside by the switch
  int deviceCounter_ = 1;
  int searching_ = 0;
  bool freePending_ = false;
};

// "Standard Search": text commands, hits kept by page in reading order.
class TppTextSearchEngine : public TppTextSearchCustomEngine {
  CLS_DECLARE_CLASS(TppTextSearchEngine, TppTextSearchCustomEngine)
 public:
  explicit TppTextSearchEngine(cls::TComponent* owner);
  void BeforeDestruction() override;
  static std::string ClassEngineName() { return "Standard Search"; }

  // The pages from the start page (devices switched); the viewer then
  // shows the first page with a hit.
  bool Search(const std::string& text) override;
  // The page's hits, made once per page; false when none or cancelled.
  bool SearchPage(TppPage* page, const std::string& text) override;
  int32_t NavigateForward(const std::string& text, bool stopAtFirst) override;
  void ResetSearch() override;

  // Whether the engine searches commands of that kind (text).
  virtual bool CanSearch(const TppDrawCommand* drawCommand) const { return cls::ObjectIs<TppDrawText>(drawCommand); }
  // The hits of one command; ESearchEngineError for a command this engine
  // does not search.
  virtual void BuildSearchOccurrenceList(TppDrawCommand* drawCommand, int commandIndex,
                                         std::vector<TppTextSearchOccurrence*>& found);

  // Highlights of every hit of the current page, or of the current hit.
  void CreateEntirePageHighlights();
  void CreateSingleHighlight();
  // The highlights for the page shown: all its hits with ShowAll, else the
  // current hit when it is on that page.
  void HighlightPage(int32_t pageNo);

  TppTextSearchPageList* PageList() const { return pageList_; }
  TppTextSearchPage* CurrentPage() const { return pageList_->CurrentPage(); }
  TppTextSearchOccurrence* CurrentOccurrence() const { return pageList_->CurrentOccurrence(); }

 protected:
  bool SearchPages();
  int32_t SearchCachedPages();
  int32_t SearchRequestedPages();
  // The command of OCCURRENCE on the page with that number (the page shown
  // or a cached one); nullptr when it is not at hand.
  TppDrawCommand* CommandOf(int32_t pageNo, const TppTextSearchOccurrence* occurrence) const;
  bool CaseSensitive() const;
  bool WholeWord() const;

 private:
  TppTextSearchPageList* pageList_;  // owned
};

// "Full Search": text commands and rich text.
class TppTextSearchRichTextEngine : public TppTextSearchEngine {
  CLS_DECLARE_CLASS(TppTextSearchRichTextEngine, TppTextSearchEngine)
 public:
  explicit TppTextSearchRichTextEngine(cls::TComponent* owner) : TppTextSearchEngine(owner) {}
  static std::string ClassEngineName() { return "Full Search"; }
  bool CanSearch(const TppDrawCommand* drawCommand) const override {
    return TppTextSearchEngine::CanSearch(drawCommand) || cls::ObjectIs<TppDrawRichText>(drawCommand);
  }
  // Rich text by the rich edit's find; two hits or more spread their tops
  // evenly over the command's height.
  void BuildSearchOccurrenceList(TppDrawCommand* drawCommand, int commandIndex,
                                 std::vector<TppTextSearchOccurrence*>& found) override;
};

// Registers the rich text engine and the two highlighters, and makes the
// delimiter list (the output layer's registration).
void ppRegisterTextSearchUnit();
// The engines' part of it.
void ppRegisterTextSearchEngines();
