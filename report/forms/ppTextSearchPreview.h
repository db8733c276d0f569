// The preview's text search pane: a find box, buttons for the first, prior,
// next and last hit, Find and Done/Cancel, and an options menu. It owns a
// search engine, moves from hit to hit, keeps the status bar told and has
// the hits of the page shown drawn over the page bitmap after each page is
// drawn (event 93) without drawing the page again.
#pragma once
#include <cstdint>
#include <string>

#include "platform/ui/comctrls.h"
#include "platform/ui/controls.h"
#include "platform/ui/menus.h"
#include "report/forms/ppPreview.h"
#include "report/model/ppComm.h"
#include "report/model/ppPreviewSettings.h"
#include "report/output/ppTextSearch.h"

class TppViewer;

PP_ENUM(TppSearchAction, saFind, saFirst, saNext, saPrior, saLast, saHighlight, saCancel, saClear)

class TppCustomSearchPreview : public TppCommunicator {
  CLS_DECLARE_CLASS(TppCustomSearchPreview, TppCommunicator)
 public:
  explicit TppCustomSearchPreview(cls::TComponent* owner);
  ~TppCustomSearchPreview() override;
  void BeforeDestruction() override;
  // Inside an action the free waits until the action has unwound; a
  // search under way is cancelled.
  void Free() override;
  void Notify(TppCommunicator* communicator, uint8_t operation) override;
  void Notification(cls::TComponent* c, cls::TOperation op) override;
  void EventNotify(TppCommunicator* sender, int eventId, TraParamList* params) override;

  // State bits.
  static constexpr int kSearching = 1, kCancelled = 2, kSearched = 4;

  // What the preview plug-in calls.
  void SetViewer(TppViewer* viewer);
  void SetStatusBar(ui::TStatusBar* statusBar) { statusBar_ = statusBar; }
  // Copies the report's settings into the pane's own.
  void SetTextSearchSettings(TppTextSearchSettings* settings);
  // The pane's parent; the controls are made on it once.
  void SetPane(ui::TWinControl* pane);
  virtual void BeforePreview();
  void EndPreview();
  void TogglePanel();
  // The preview's actions (0-11): before each the busy count drops, after
  // it rises again; paging marks the page moved, the last page searches on,
  // auto search, cancel and close cancel the search.
  void BeforePreviewAction(int action);
  void AfterPreviewAction(int action);
  // Without a finished search: state reset, pane visible and enabled; with
  // one: cancelled without event 103.
  void UpdateSearch();
  // The status bar needs two panels; ESearchError for a simple one.
  void StatusChange();
  virtual void LanguageChanged() {}
  // Places the controls; answers the pane's width.
  virtual int Layout() { return 0; }

  virtual void PerformSearchAction(TppSearchAction action);
  void CreateSearchEngine();

  // The search text and the options changed since the last search.
  void SetSearchText(const std::string& text);
  void OptionsChanged() { optionsChanged_ = true; }

  std::string StatusText() const;
  int State() const { return state_; }
  bool Busy() const { return busy_ > 0; }
  bool Searching() const { return (state_ & kSearching) != 0; }
  int CurrentIndex() const { return currentIndex_; }
  int HitCount() const;
  bool PaneVisible() const { return visible_; }
  int64_t ElapsedMilliseconds() const { return elapsed_; }
  TppTextSearchEngine* Engine() const { return engine_; }
  TppTextSearchSettings* TextSearchSettings() const { return settings_; }
  TppViewer* Viewer() const { return viewer_; }
  ui::TWinControl* Pane() const { return pane_; }
  // The engine class looked up by name.
  std::string EngineName = "Full Search";

 protected:
  // The controls: made, read into the settings, brought up to date.
  virtual void CreateControls() {}
  virtual void ReadControls() {}
  virtual void UpdateControls() {}
  void ResetSearchState();
  void UpdateStatusText();
  void SetPaneVisible(bool v);
  bool Complete() const;

 private:
  class TppRaised;
  void Find();
  void ShowHit();
  void HighlightShownPage();
  void RedrawPage();
  // Panel 0 shows the page shown again once a search has ended.
  void ShowPageStatus();
  void CancelFinishedSearch();
  void FreePendingAfterAction();
  void SendToggled();

  int highlights_ = 1;  // highlights are drawn while positive
  int busy_ = 0;
  int actions_ = 0;     // actions under way
  bool freePending_ = false;
  int64_t elapsed_ = 0;
  bool optionsChanged_ = false;
  bool pageMoved_ = false;
  bool visible_ = false;
  bool quiet_ = false;
  int currentIndex_ = -1;
  std::string searchText_;
  int32_t startPage_ = 1;
  int32_t lastHighlighted_ = 0;
  int state_ = 0;
  TppTextSearchEngine* engine_ = nullptr;  // owned
  cls::TClass engineClass_ = nullptr;
  ui::TStatusBar* statusBar_ = nullptr;
  TppViewer* viewer_ = nullptr;
  TppTextSearchSettings* settings_ = nullptr;  // owned
  ui::TWinControl* pane_ = nullptr;
};

// The pane's controls.
class TppTextSearchPreview : public TppCustomSearchPreview {
  CLS_DECLARE_CLASS(TppTextSearchPreview, TppCustomSearchPreview)
 public:
  explicit TppTextSearchPreview(cls::TComponent* owner) : TppCustomSearchPreview(owner) {}
  void LanguageChanged() override;
  int Layout() override;

  ui::TEdit* edtFind = nullptr;             // 101
  ui::TSpeedButton* btnFirst = nullptr;     // 102
  ui::TSpeedButton* btnPrior = nullptr;     // 103
  ui::TSpeedButton* btnNext = nullptr;      // 104
  ui::TSpeedButton* btnLast = nullptr;      // 105
  ui::TButton* btnFind = nullptr;           // 106
  ui::TButton* btnDone = nullptr;           // 107
  ui::TPopupMenu* mnuOptions = nullptr;
  ui::TMenuItem* miShowAll = nullptr;
  ui::TMenuItem* miCaseSensitive = nullptr;
  ui::TMenuItem* miWholeWord = nullptr;
  ui::TMenuItem* miFirstPage = nullptr;
  ui::TMenuItem* miCurrentPage = nullptr;

 protected:
  void CreateControls() override;
  void ReadControls() override;
  void UpdateControls() override;

 private:
  void ButtonClick(cls::TObject* Sender);
  void OptionClick(cls::TObject* Sender);
  void FindKeyDown(cls::TObject* Sender, unsigned short& Key, ui::TShiftState Shift);
};

// The four hit buttons' glyphs: the preview's arrows, enabled in maroon.
class TppFirstSearchOccurrenceIcon : public TppFirstIcon {
 public:
  gdi::TColor EnabledColor() const override { return gdi::clMaroon; }
};
class TppPriorSearchOccurrenceIcon : public TppPriorIcon {
 public:
  gdi::TColor EnabledColor() const override { return gdi::clMaroon; }
};
class TppNextSearchOccurrenceIcon : public TppNextIcon {
 public:
  gdi::TColor EnabledColor() const override { return gdi::clMaroon; }
};
class TppLastSearchOccurrenceIcon : public TppLastIcon {
 public:
  gdi::TColor EnabledColor() const override { return gdi::clMaroon; }
};

// Registers TppTextSearchPreview as the search pane's class.
void ppRegisterTextSearchPreviewUnit();
