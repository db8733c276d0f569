// TppCustomEngine: the abstract base of a report's page-generation engine.
// It holds what the report, its bands and groups read and write while pages
// are made: the page being filled, the page rectangle bands move down
// through, page numbers, the flag and generation state sets, counters and
// eight event hooks. The concrete engine implements the page loop.
#pragma once
#include <cstdint>

#include "report/engine/ppEngTypes.h"
#include "report/model/ppCache.h"
#include "report/model/ppIntf.h"
#include "report/model/ppUtils.h"

class TppCustomBand;
class TppCustomReport;
class TppGroup;
class TppPage;
class TppPageRequest;

// Hook 3: the page-request hook fills in the last page whose state is at
// hand (the report's page cache answers it).
using TppEnginePageRequestEvent = cls::TMethodPointer<void(cls::TObject* Sender, int32_t& aAvailablePage)>;

class TppCustomEngine : public TppCacheable, public IppCacheEngine {
  CLS_DECLARE_CLASS(TppCustomEngine, TppCacheable)
 public:
  // The concrete engine runs its start-state reset at the end of its own
  // constructor (a base constructor cannot reach it).
  explicit TppCustomEngine(TppCustomReport* report);
  void BeforeDestruction() override;

  TppCustomReport* Report() const { return report_; }
  TppPage* Page() const { return page_.get(); }

  // ---- page rectangle: left, top (current position), right, last-band bottom ----
  const TppRect& PageRect() const { return pageRect_; }
  void SetPageRect(int32_t left, int32_t top, int32_t right, int32_t bottom);
  // Left := the left margin of the page's setup.
  void ResetColumnLeft();

  // ---- flag and state sets ----
  TppEngineFlags Flags() const { return flags_; }
  void IncludeFlags(TppEngineFlags f) { flags_.Include(f); }
  void ExcludeFlags(TppEngineFlags f) { flags_.Exclude(f); }
  void ClearFlags() { flags_ = TppEngineFlags(); }
  TppBandKinds State() const { return state_; }
  void IncludeState(TppBandKinds s) { state_.Include(s); }
  void ExcludeState(TppBandKinds s) { state_.Exclude(s); }
  void ClearState() { state_ = TppBandKinds(); }

  // ---- counters and run state ----
  int32_t AbsolutePageNo() const { return absolutePageNo_; }
  void SetAbsolutePageNo(int32_t v) { absolutePageNo_ = v; }
  int32_t AbsolutePageCount() const { return absolutePageCount_; }
  void SetAbsolutePageCount(int32_t v) { absolutePageCount_ = v; }
  int32_t PageBandCount() const { return pageBandCount_; }
  void SetPageBandCount(int32_t v) { pageBandCount_ = v; }
  int32_t ReportBandCount() const { return reportBandCount_; }
  void SetReportBandCount(int32_t v) { reportBandCount_ = v; }
  // The lowest last-band bottom reached on the page.
  int32_t UsedHeight() const { return usedHeight_; }
  void SetUsedHeight(int32_t v) { usedHeight_ = v; }
  int32_t CurrentColumn() const { return currentColumn_; }
  void SetCurrentColumn(int32_t v) { currentColumn_ = v; }
  int32_t AvailablePage() const { return availablePage_; }
  void SetAvailablePage(int32_t v) { availablePage_ = v; }
  double PrintDateTime() const { return printDateTime_; }
  void SetPrintDateTime(double v) { printDateTime_ = v; }

  bool Cancelled() const { return cancelled_; }
  void SetCancelled(bool value) override { cancelled_ = value; }
  bool Generating() const override { return runUnderWay_; }
  void SetRunUnderWay(bool v) { runUnderWay_ = v; }
  bool ErrorFlag() const { return errorFlag_; }
  void SetErrorFlag(bool v) { errorFlag_ = v; }
  bool OuterBreakDone() const { return outerBreakDone_; }
  void SetOuterBreakDone(bool v) { outerBreakDone_ = v; }
  bool DataExhausted() const { return dataExhausted_; }
  void SetDataExhausted(bool v) { dataExhausted_ = v; }
  bool TraversalNoticePending() const { return traversalNoticePending_; }
  void SetTraversalNoticePending(bool v) { traversalNoticePending_ = v; }
  bool RecordStepActive() const { return recordStepActive_; }
  void SetRecordStepActive(bool v) { recordStepActive_ = v; }
  bool PageComplete() const { return pageComplete_; }
  void SetPageComplete(bool v) { pageComplete_ = v; }
  bool FirstDetail() const { return firstDetail_; }
  void SetFirstDetail(bool v) { firstDetail_ = v; }
  bool CountKnown() const { return countKnown_; }
  void SetCountKnown(bool v) { countKnown_ = v; }
  bool Done() const { return done_; }
  void SetDone(bool v) { done_ = v; }
  bool ReportFinished() const { return reportFinished_; }
  void SetReportFinished(bool v) { reportFinished_ = v; }
  TppGroup* PageNoGroup() const { return pageNoGroup_; }
  void SetPageNoGroup(TppGroup* g) { pageNoGroup_ = g; }
  TppGroup* KeepTogetherGroup() const { return keepTogetherGroup_; }
  void SetKeepTogetherGroup(TppGroup* g) { keepTogetherGroup_ = g; }

  // ---- hooks: each fires its handler when assigned ----
  void DoAfterSendPage();  // then sends the generation-end event (90)
  void DoBeforeSendPage();
  void DoPageRequest();    // fills in AvailablePage
  void DoEndPage();
  void DoSendPage();
  void DoStartPage();
  void DoStartGeneration();
  void DoPagePositionSaved();

  cls::TNotifyEvent OnAfterSendPage;
  cls::TNotifyEvent OnBeforeSendPage;
  TppEnginePageRequestEvent OnPageRequest;
  cls::TNotifyEvent OnEndPage;
  cls::TNotifyEvent OnSendPage;
  cls::TNotifyEvent OnStartPage;
  cls::TNotifyEvent OnStartGeneration;
  cls::TNotifyEvent OnPagePositionSaved;

  // ---- virtual operations, in slot order ----
  // The page number is one past the last page available.
  virtual bool IsOnePastAvailable() = 0;
  virtual bool GetColumnEnded(int column) = 0;
  virtual bool GetColumnBegun(int column) = 0;
  virtual TppCustomBand* GetCurrentBand() = 0;
  virtual int GetCurrentListPosition() = 0;
  // The lowest position bands may use on the page.
  virtual int32_t GetPageBottom() = 0;
  virtual int32_t GetPageCount() { return absolutePageCount_; }
  virtual int32_t GetPageNo() { return absolutePageNo_; }
  virtual bool GetNewPageRequested() { return newPageRequested_; }
  virtual void SetColumnEnded(int column, bool value) = 0;
  virtual void SetColumnBegun(int column, bool value) = 0;
  virtual bool PageNotGenerated() = 0;
  virtual void ClosePipelines() = 0;
  virtual void Stop() {}
  virtual void PageLimitReached() {}
  virtual void InitGeneration() = 0;
  virtual void Generate(TppPageRequest* request) = 0;
  virtual void ResetState() = 0;
  virtual void Reset(int32_t pageCount) = 0;
  virtual void RestorePagePosition() = 0;
  virtual void SetNewPageRequested(bool value) { newPageRequested_ = value; }
  virtual void DeferredBreakStep() = 0;
  virtual void RecordStep() = 0;

 private:
  int32_t absolutePageNo_ = 0;
  int32_t absolutePageCount_ = 0;
  bool outerBreakDone_ = false;
  bool dataExhausted_ = false;
  bool traversalNoticePending_ = false;
  bool recordStepActive_ = false;
  TppGroup* pageNoGroup_ = nullptr;
  TppGroup* keepTogetherGroup_ = nullptr;
  int32_t currentColumn_ = 0;
  bool pageComplete_ = false;
  TppEngineFlags flags_;
  bool firstDetail_ = false;
  bool countKnown_ = false;
  bool done_ = false;
  bool reportFinished_ = false;
  int32_t availablePage_ = 0;
  cls::Owned<TppPage> page_;
  TppBandKinds state_;
  double printDateTime_ = 0;
  bool runUnderWay_ = false;
  TppRect pageRect_;
  int32_t pageBandCount_ = 0;
  bool newPageRequested_ = false;
  TppCustomReport* report_ = nullptr;
  int32_t reportBandCount_ = 0;
  bool errorFlag_ = false;
  int32_t usedHeight_ = 0;
  bool cancelled_ = false;
};

// The class of engine every report makes: set by the concrete engine's
// registration (or a test). Without one a report has no engine.
using TppEngineCreator = TppCustomEngine* (*)(TppCustomReport* report);
void ppSetEngineClass(TppEngineCreator creator);
TppEngineCreator ppGetEngineClass();
