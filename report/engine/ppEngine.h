// TppEngine: the page generation engine every report makes. It sorts the
// report's bands into ten lists, decides from a page request which pages to
// make, and runs each page: page style, title and header, then the group
// header, detail and group footer lists record after record, the summary,
// the column and page footers. Finished pages go to the report's send-page
// hook; the detail band's own passes run in its band engine.
//
// The engine opens and steps the report's pipeline (master) and the detail
// band's own one (detail), and tests the groups for breaks on the way; the
// group steps live in ppEngineGroups.cpp.
//
// Generation-state record (SaveToCache / RestoreFromCache), 84 bytes; a
// flag is a byte of 0 or 1, integers are int32 in host order:
//    0  outer-break-done, column-headers-done, data-exhausted (3 bytes)
//    4  position within the list       8  list position
//   12  report-band counter
//   16  engine flags 1, 8, 32, 16, 64, 128 (6 bytes)
//   22  state bits 1, 4, 16, 64, 256, 128, 32, 8, 2 (9 bytes)
//   31  master, detail and engine traversal notices pending (3 bytes)
//   36  master pipeline position (24 bytes, layout below)
//   60  detail pipeline position (24 bytes)
// A pipeline position: +0 NoRecords, +1 LastRecord, +2 FirstRecord,
// +3 bookmark held (bytes), +4 traversal count (int32), +8 the bookmark,
// +16 the current-record bookmark (64-bit handles, 0 for none). So the
// bookmarks of a page record sit at bytes 44 and 52 (master) and 68 and 76
// (detail). A record owns its bookmarks at +8 (44 and 68): the cache reset
// frees those of every record it drops, and so does a record written over
// or a pipeline that goes; the current-record bookmark is the engine's
// (taken when the pipelines open) and records keep a copy of it.
#pragma once
#include <cstdint>
#include <vector>

#include "report/engine/ppCustEng.h"
#include "report/engine/ppDB.h"
#include "report/output/ppDevice.h"

class TppBand;
class TppDetailBand;
class TppDrawText;

// A data pipeline's place, as the engine keeps it across pages.
struct TppPipelinePosition {
  bool NoRecords = false;
  bool LastRecord = false;
  bool FirstRecord = false;
  bool BookmarkHeld = false;
  int32_t TraversalCount = 0;
  TppBookmark Bookmark = 0;
  TppBookmark CurrentBookmark = 0;
};

// Band list positions.
enum TppBandListPosition : int {
  blPageStyle,
  blHeader,
  blTitle,
  blColumnHeader,
  blGroupHeader,
  blDetail,
  blGroupFooter,
  blSummary,
  blColumnFooter,
  blFooter,
  blListCount
};

class TppEngine : public TppCustomEngine {
  CLS_DECLARE_CLASS(TppEngine, TppCustomEngine)
 public:
  explicit TppEngine(TppCustomReport* report);
  void BeforeDestruction() override;
  static TppCustomEngine* Make(TppCustomReport* report) { return new TppEngine(report); }

  static constexpr int32_t ppEngineRecordSize = 84;

  // ---- cache ----
  void ResetCache(int32_t pageIndex) override;
  void RestoreFromCache(int32_t pageIndex) override;
  void SaveToCache(int32_t pageIndex) override;

  // ---- engine operations ----
  bool IsOnePastAvailable() override;
  bool GetColumnEnded(int column) override;
  bool GetColumnBegun(int column) override;
  TppCustomBand* GetCurrentBand() override { return currentBand_; }
  int GetCurrentListPosition() override { return listPosition_; }
  int32_t GetPageBottom() override;
  int32_t GetPageCount() override;
  int32_t GetPageNo() override;
  void SetColumnEnded(int column, bool value) override;
  void SetColumnBegun(int column, bool value) override;
  bool PageNotGenerated() override;
  void ClosePipelines() override;
  void Stop() override;
  void PageLimitReached() override;
  void InitGeneration() override;
  void Generate(TppPageRequest* request) override;
  void ResetState() override;
  void Reset(int32_t pageCount) override;
  void RestorePagePosition() override;
  void DeferredBreakStep() override;
  void RecordStep() override;
  // A child report's engine shares the request with its parent report's:
  // it asks the parent when its own flag is clear and tells the parent
  // when it sets it (see ppEngineGroups.cpp).
  bool GetNewPageRequested() override;
  void SetNewPageRequested(bool value) override;

  // ---- what the band engines and tests read ----
  const std::vector<TppCustomBand*>& BandList(int position) const { return bandLists_[position]; }
  int ListIndex() const { return listIndex_; }
  bool PageEnded() const { return pageEnded_; }
  bool ColumnsMode() const { return columnsMode_; }
  int ColumnCounter() const { return columnCounter_; }
  bool HasData();
  const TppPageRequest& PageRequest() const { return pageRequest_; }
  // Runs list POSITION from its first band without keeping the position:
  // the column header or column footer work of a column across the page.
  void GenerateColumnBands(int position);
  // The detail band, or nullptr.
  TppDetailBand* DetailBand() const;
  TppDataPipeline* MasterPipeline() const { return masterPipeline_; }
  TppDataPipeline* DetailPipeline() const { return detailPipeline_; }
  bool MasterDetail() const { return masterDetail_; }
  // The pipelines of data-aware objects that are neither of the two.
  const std::vector<TppDataPipeline*>& OtherPipelines() const { return otherPipelines_; }

  void Notify(TppCommunicator* communicator, uint8_t operation) override;
  void EventNotify(TppCommunicator* sender, int eventId, TraParamList* params) override;

 protected:
  // ---- steps waiting for pipelines, groups, sections and the outline ----
  virtual void InitPipelines();
  virtual TppPipelinePosition CurrentPosition(TppDataPipeline* pipeline);
  virtual void PutBackPosition(TppDataPipeline* pipeline, const TppPipelinePosition& position);
  // Opens a pipeline; one that stays closed goes to the report's error
  // operation (message 40).
  virtual void OpenPipeline(TppDataPipeline* pipeline);
  // Moves the data on one record; the groups are tested on the way.
  virtual void AdvanceRecord();
  // Moves the data back one record.
  virtual void StepBack();
  virtual bool MasterAtEnd();
  virtual void SendTraversalNotices();
  // ---- groups (ppEngineGroups.cpp) ----
  // Tests the groups against PIPELINE, which just moved (only within a
  // record step), and triggers the breaks found.
  virtual void FindGroupBreaks(TppDataPipeline* pipeline);
  // From the outermost breaking group in: only one NewPage header takes a
  // new page.
  virtual void TriggerGroupBreaks();
  virtual void ResetGroups();
  virtual void ResetGroupBreakValues();
  // The page-number group and the keep-together group.
  virtual void ChooseGroups();
  virtual void UpdateGroupPageNumbers();
  // BAND ran out of space: the keep-together group's run goes back to its
  // start, for the next page.
  virtual void KeepGroupTogether(TppCustomBand* band);
  // Footers left over from the last page: the outer groups' headers again,
  // then the footers.
  virtual void ContinueGroupFooters();
  // Whether the group header band in the current band forces a page end
  // at a column end.
  virtual bool GroupForcesPageEnd();
  // The report's outline step (after the page-end event).
  virtual void UpdateOutline();
  // The engine of the report whose subreport holds this engine's report.
  TppCustomEngine* ParentEngine() const;

 private:
  bool Nested() const;
  TppCustomEngine* MainEngine() const;
  bool TwoPass() const;
  void SortBands();
  void GeneratePages();
  void SetInitialPage();
  void NextPage();
  bool NextListedPage(int32_t& page);
  void CheckDone();
  void GeneratePage();
  void StartPage();
  void ResetPage();
  bool PageCompleteRule();
  void GenerateBands(int position, int index);
  void GenerateBandList(int position, int first, bool keepPosition);
  void EndPage();
  void EndPageBands();
  void SavePagePosition();
  void AdjustLastPage();
  void DescribePage();
  void StartColumn();
  bool PlaceColumn();
  void EndColumn();
  // Message 43 for COLUMNNO (1-based) through the report's error operation.
  void ColumnPositionMissing(int columnNo);
  void StartNoData();
  void HandleNoData();
  void CreateNoDataText();
  bool ShowNoDataDialog();
  void RunNoDataDialog();
  void FreePagePositions();
  // A nested report's run starts at the positions its last page ended at,
  // and keeps where this one ended when no page end saved it.
  void ResumeNestedPositions();
  void KeepNestedPositions();
  // Moves PIPELINE back one record (to its last at EOF).
  static void StepPipelineBack(TppDataPipeline* pipeline);
  void FreePosition(TppDataPipeline* pipeline, TppPipelinePosition& position);
  // Frees the bookmarks of the cache records from PAGEINDEX on that
  // PIPELINE made (both pipelines' when nullptr); WRITEBACK keeps the
  // records, without those bookmarks.
  void FreeRecordBookmarks(int32_t pageIndex, TppDataPipeline* pipeline, bool writeBack);
  void FreeKeptBookmark();
  // Unlinks the master, detail and other pipelines (without closing them).
  void ReleasePipelines();
  TppPageDef* PageDef() const;

  std::vector<TppCustomBand*> bandLists_[blListCount];
  TppCustomBand* lastBand_ = nullptr;
  TppPageRequest pageRequest_;
  int listCursor_ = 0;

  int listPosition_ = blTitle;
  int listIndex_ = 0;
  TppCustomBand* currentBand_ = nullptr;
  bool pageEnded_ = false;
  int32_t lastGeneratedPage_ = 0;
  // The page-number group's run the page began in: the page is described
  // again at its end, after a footer may have ended the run.
  int32_t pageBreakNo_ = 0;

  bool firstPassStarted_ = false;
  bool firstPassEnded_ = false;
  bool secondPassStarted_ = false;
  bool secondPassEnded_ = false;
  bool prepared_ = false;

  bool columnsMode_ = false;
  int columnCounter_ = 0;
  bool columnEnded_ = false;
  int32_t columnTop_ = 0;
  bool columnHeadersDone_ = false;
  std::vector<bool> columnBegunList_;
  std::vector<bool> columnEndedList_;

  TppDataPipeline* masterPipeline_ = nullptr;
  TppDataPipeline* detailPipeline_ = nullptr;
  bool masterDetail_ = false;
  // The outermost group found breaking by the last record step.
  int outermostBreak_ = 0;
  bool masterNoticePending_ = false;
  bool detailNoticePending_ = false;
  std::vector<TppDataPipeline*> otherPipelines_;
  TppBookmark keptBookmark_ = 0;
  TppPipelinePosition startPositions_[2];
  TppPipelinePosition pagePositions_[2];
  bool pagePositionsHeld_ = false;
  // The page positions' bookmarks are the engine's (taken, not restored).
  bool pagePositionsOwned_ = false;
  bool restoredPositions_ = false;

  TppDrawText* noDataText_ = nullptr;
};

// Registers the engine and the band engines as the classes reports and
// detail bands make.
void ppRegisterEngineUnit();
