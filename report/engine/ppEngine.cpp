#include "report/engine/ppEngine.h"

#include <algorithm>
#include <climits>
#include <cstring>

#include "platform/process/clock.h"
#include "report/engine/ppBands.h"
#include "report/engine/ppClass.h"
#include "report/engine/ppCustRpt.h"
#include "report/engine/ppDB.h"
#include "report/engine/ppGroup.h"
#include "report/engine/ppHorizontalBandEngine.h"
#include "report/engine/ppReport.h"
#include "report/engine/ppVerticalBandEngine.h"
#include "report/model/ppForms.h"
#include "report/model/ppResMgr.h"
#include "report/output/ppDrwCmd.h"

CLS_IMPLEMENT_CLASS(TppEngine)

namespace {

constexpr uint16_t kFlagBits[] = {1, 8, 32, 16, 64, 128};
constexpr uint16_t kStateBits[] = {1, 4, 16, 64, 256, 128, 32, 8, 2};

void PutInt(uint8_t* at, int32_t v) { std::memcpy(at, &v, sizeof v); }
int32_t GetInt(const uint8_t* at) {
  int32_t v = 0;
  std::memcpy(&v, at, sizeof v);
  return v;
}

void PutPosition(uint8_t* at, const TppPipelinePosition& p) {
  at[0] = p.NoRecords;
  at[1] = p.LastRecord;
  at[2] = p.FirstRecord;
  at[3] = p.BookmarkHeld;
  PutInt(at + 4, p.TraversalCount);
  std::memcpy(at + 8, &p.Bookmark, sizeof p.Bookmark);
  std::memcpy(at + 16, &p.CurrentBookmark, sizeof p.CurrentBookmark);
}

TppPipelinePosition GetPosition(const uint8_t* at) {
  TppPipelinePosition p;
  p.NoRecords = at[0] != 0;
  p.LastRecord = at[1] != 0;
  p.FirstRecord = at[2] != 0;
  p.BookmarkHeld = at[3] != 0;
  p.TraversalCount = GetInt(at + 4);
  std::memcpy(&p.Bookmark, at + 8, sizeof p.Bookmark);
  std::memcpy(&p.CurrentBookmark, at + 16, sizeof p.CurrentBookmark);
  return p;
}

bool IsGroupHeader(TppCustomBand* band) { return cls::ObjectIs<TppGroupHeaderBand>(band); }

}  // namespace

// ---- life ----

TppEngine::TppEngine(TppCustomReport* report) : TppCustomEngine(report) {
  SetCacheRecordSize(ppEngineRecordSize);
  EventMask().Include(ciPipelineClose);
  IncludeFlags(TppEngineFlag::efInitialised);
  ResetState();
}

void TppEngine::BeforeDestruction() {
  if (noDataText_) {
    noDataText_->Free();
    noDataText_ = nullptr;
  }
  FreePosition(masterPipeline_, startPositions_[0]);
  FreePosition(detailPipeline_, startPositions_[1]);
  FreePagePositions();
  FreeKeptBookmark();
  ReleasePipelines();
  for (auto& list : bandLists_) list.clear();
  TppCustomEngine::BeforeDestruction();
}

bool TppEngine::Nested() const {
  TppCustomReport* r = Report();
  return r && (cls::ObjectIs<TppChildReport>(r) || r->MainReport() != r);
}

TppCustomEngine* TppEngine::MainEngine() const {
  TppCustomReport* main = Report() ? Report()->MainReport() : nullptr;
  TppCustomEngine* e = main ? main->Engine() : nullptr;
  return e ? e : const_cast<TppEngine*>(this);
}

bool TppEngine::TwoPass() const {
  TppCustomReport* main = Report() ? Report()->MainReport() : nullptr;
  return main && main->PassSetting() == TppPassSettingType::psTwoPass;
}

TppPageDef* TppEngine::PageDef() const {
  if (TppPageDef* def = Page()->PageDef()) return def;
  return Report() ? Report()->PrinterSetup()->PageDef() : nullptr;
}

TppDetailBand* TppEngine::DetailBand() const {
  return Report() ? cls::ObjectAs<TppDetailBand>(Report()->GetBand(TppBandType::btDetail, 0)) : nullptr;
}

// ---- cache ----

void TppEngine::ResetCache(int32_t pageIndex) {
  FreePagePositions();
  FreeRecordBookmarks(std::max(pageIndex, 0), nullptr, false);
}

void TppEngine::FreeRecordBookmarks(int32_t pageIndex, TppDataPipeline* pipeline, bool writeBack) {
  if (!CacheStream()) return;
  constexpr int kBookmarkAt[2] = {44, 68};
  TppDataPipeline* owners[2] = {masterPipeline_, detailPipeline_};
  // Up to the last record in the stream (gaps before a record read as 0).
  for (int32_t page = pageIndex;; ++page) {
    uint8_t record[ppEngineRecordSize];
    std::memset(record, 0xFF, sizeof record);
    ReadCacheRecord(page, record);
    if (record[0] == 0xFF) break;
    bool changed = false;
    for (int i = 0; i < 2; ++i) {
      if (!owners[i] || (pipeline && owners[i] != pipeline)) continue;
      TppBookmark b = 0;
      std::memcpy(&b, record + kBookmarkAt[i], sizeof b);
      if (!b) continue;
      owners[i]->FreeBookmark(b);
      std::memset(record + kBookmarkAt[i], 0, sizeof b);
      record[kBookmarkAt[i] - 5] = 0;  // bookmark held
      changed = true;
    }
    if (changed && writeBack) WriteCacheRecord(page, record);
  }
}

void TppEngine::SaveToCache(int32_t pageIndex) {
  uint8_t record[ppEngineRecordSize] = {};
  record[0] = OuterBreakDone();
  record[1] = columnHeadersDone_;
  record[2] = DataExhausted();
  PutInt(record + 4, listIndex_);
  PutInt(record + 8, listPosition_);
  PutInt(record + 12, ReportBandCount());
  for (size_t i = 0; i < std::size(kFlagBits); ++i)
    record[16 + i] = Flags().Contains(TppEngineFlags::FromBits(kFlagBits[i]));
  for (size_t i = 0; i < std::size(kStateBits); ++i)
    record[22 + i] = State().Contains(TppBandKinds::FromBits(kStateBits[i]));
  record[31] = masterNoticePending_;
  record[32] = detailNoticePending_;
  record[33] = TraversalNoticePending();
  TppPipelinePosition master, detail;
  if (pagePositionsHeld_ && pagePositionsOwned_) {
    master = pagePositions_[0];
    detail = pagePositions_[1];
    pagePositions_[0] = pagePositions_[1] = TppPipelinePosition();
    pagePositionsHeld_ = pagePositionsOwned_ = false;
  } else {
    // Positions restored from another record stay that record's.
    master = CurrentPosition(masterPipeline_);
    detail = CurrentPosition(detailPipeline_);
  }
  PutPosition(record + 36, master);
  PutPosition(record + 60, detail);
  // A record written over gives up its bookmarks.
  uint8_t old[ppEngineRecordSize];
  std::memset(old, 0xFF, sizeof old);
  ReadCacheRecord(pageIndex, old);
  if (old[0] != 0xFF) {
    TppPipelinePosition was[2] = {GetPosition(old + 36), GetPosition(old + 60)};
    FreePosition(masterPipeline_, was[0]);
    FreePosition(detailPipeline_, was[1]);
  }
  WriteCacheRecord(pageIndex, record);
}

void TppEngine::RestoreFromCache(int32_t pageIndex) {
  uint8_t record[ppEngineRecordSize];
  std::memset(record, 0xFF, sizeof record);
  ReadCacheRecord(pageIndex, record);
  if (record[0] == 0xFF) return;  // no record of that page
  FreePagePositions();
  SetOuterBreakDone(record[0] != 0);
  columnHeadersDone_ = record[1] != 0;
  SetDataExhausted(record[2] != 0);
  listIndex_ = GetInt(record + 4);
  listPosition_ = std::clamp(GetInt(record + 8), 0, blListCount - 1);
  SetReportBandCount(GetInt(record + 12));
  for (size_t i = 0; i < std::size(kFlagBits); ++i) {
    TppEngineFlags f = TppEngineFlags::FromBits(kFlagBits[i]);
    if (record[16 + i]) IncludeFlags(f);
    else ExcludeFlags(f);
  }
  ClearState();
  for (size_t i = 0; i < std::size(kStateBits); ++i)
    if (record[22 + i]) IncludeState(TppBandKinds::FromBits(kStateBits[i]));
  masterNoticePending_ = record[31] != 0;
  detailNoticePending_ = record[32] != 0;
  SetTraversalNoticePending(record[33] != 0);
  pagePositions_[0] = GetPosition(record + 36);
  pagePositions_[1] = GetPosition(record + 60);
  pagePositionsHeld_ = true;
  pagePositionsOwned_ = false;
  restoredPositions_ = true;
}

void TppEngine::FreePagePositions() {
  if (pagePositionsOwned_) {
    FreePosition(masterPipeline_, pagePositions_[0]);
    FreePosition(detailPipeline_, pagePositions_[1]);
  }
  pagePositions_[0] = pagePositions_[1] = TppPipelinePosition();
  pagePositionsHeld_ = pagePositionsOwned_ = false;
  restoredPositions_ = false;
}

void TppEngine::FreePosition(TppDataPipeline* pipeline, TppPipelinePosition& position) {
  if (pipeline && position.Bookmark) pipeline->FreeBookmark(position.Bookmark);
  position.Bookmark = 0;
  position.BookmarkHeld = false;
}

void TppEngine::FreeKeptBookmark() {
  if (!keptBookmark_) return;
  TppBookmark b = keptBookmark_;
  keptBookmark_ = 0;
  if (masterPipeline_) {
    if (masterPipeline_->CurrentRecordBookmark() == b) masterPipeline_->SetCurrentRecordBookmark(0);
    masterPipeline_->FreeBookmark(b);
  }
}

// ---- simple operations ----

bool TppEngine::IsOnePastAvailable() { return AvailablePage() + 1 == AbsolutePageNo(); }

bool TppEngine::GetColumnEnded(int column) {
  return column >= 0 && static_cast<size_t>(column) < columnEndedList_.size() && columnEndedList_[column];
}
bool TppEngine::GetColumnBegun(int column) {
  return column >= 0 && static_cast<size_t>(column) < columnBegunList_.size() && columnBegunList_[column];
}
void TppEngine::SetColumnEnded(int column, bool value) {
  if (column >= 0 && static_cast<size_t>(column) < columnEndedList_.size()) columnEndedList_[column] = value;
}
void TppEngine::SetColumnBegun(int column, bool value) {
  if (column >= 0 && static_cast<size_t>(column) < columnBegunList_.size()) columnBegunList_[column] = value;
}

int32_t TppEngine::GetPageBottom() {
  if (!Report()) throw EPrintError("TppEngine.GetPageBottom: No Report assigned to this engine.");
  TppPageDef* def = PageDef();
  int32_t bottom = def->mmHeight() - def->mmMarginBottom();
  for (int i = 0; i < Report()->BandCount(); ++i) {
    TppBand* b = Report()->Bands(i);
    TppBandType t = b->BandType();
    if ((t == TppBandType::btColumnFooter || t == TppBandType::btFooter) && b->Visible()) bottom -= b->mmHeight();
  }
  return bottom;
}


bool TppEngine::PageNotGenerated() {
  DoPageRequest();
  return AbsolutePageNo() == 0 || AbsolutePageNo() > AvailablePage();
}

void TppEngine::ClosePipelines() {
  FreePagePositions();
  FreeKeptBookmark();
  std::vector<TppDataPipeline*> others(otherPipelines_.rbegin(), otherPipelines_.rend());
  TppDataPipeline* master = masterPipeline_;
  TppDataPipeline* detail = detailPipeline_;
  ReleasePipelines();
  if (master) master->Close();
  if (detail) detail->Close();
  for (TppDataPipeline* p : others) p->Close();
}

void TppEngine::ReleasePipelines() {
  for (TppDataPipeline* p : {masterPipeline_, detailPipeline_}) {
    if (!p) continue;
    p->RemoveEventNotify(this);
    RemoveNotify(p);
  }
  for (TppDataPipeline* p : otherPipelines_)
    if (p != masterPipeline_ && p != detailPipeline_) RemoveNotify(p);
  masterPipeline_ = detailPipeline_ = nullptr;
  otherPipelines_.clear();
  masterDetail_ = false;
}

void TppEngine::Stop() {
  SetDataExhausted(true);
  IncludeState(TppBandKind::bkSummary | TppBandKind::bkGroupFooter);
}

void TppEngine::PageLimitReached() {
  Stop();
  SetReportFinished(true);
}

void TppEngine::ResetState() {
  if (Generating()) return;
  Page()->Clear();
  SetAbsolutePageNo(0);
  SetAbsolutePageCount(0);
  ClearFlags();
  ClearState();
  prepared_ = false;
  SetCountKnown(false);
  firstPassEnded_ = false;
  secondPassStarted_ = false;
  if (Report() && !Nested()) Report()->NotifyReportEngineReset();
}

void TppEngine::Reset(int32_t pageCount) {
  if (pageCount == 0) {
    SetAbsolutePageNo(0);
    SetAbsolutePageCount(0);
    ClearFlags();
    ClearState();
  } else {
    SetAbsolutePageCount(pageCount);
  }
  Page()->Clear();
  SetCountKnown(false);
  firstPassEnded_ = false;
  secondPassStarted_ = false;
}

void TppEngine::RestorePagePosition() {
  if (!restoredPositions_) return;
  // Put back where the record says; the record keeps its bookmarks.
  PutBackPosition(masterPipeline_, pagePositions_[0]);
  PutBackPosition(detailPipeline_, pagePositions_[1]);
  restoredPositions_ = false;
}

// ---- data stepping ----

void TppEngine::RecordStep() {
  SetRecordStepActive(true);
  ExcludeState(TppBandKind::bkHeader | TppBandKind::bkColumnHeader | TppBandKind::bkGroupHeader);
  IncludeState(TppBandKind::bkDetail);
  if (DataExhausted()) return;
  AdvanceRecord();
  if (MasterAtEnd()) {
    SetDataExhausted(true);
    IncludeState(TppBandKind::bkSummary | TppBandKind::bkGroupFooter);
    if (masterPipeline_) masterPipeline_->TraverseLast();
  } else if (State().Contains(TppBandKind::bkGroupFooter)) {
    StepBack();
  } else {
    SetTraversalNoticePending(true);
  }
}

void TppEngine::DeferredBreakStep() {
  if (!OuterBreakDone() && !TraversalNoticePending()) return;
  SetRecordStepActive(false);
  if (OuterBreakDone()) {
    SetOuterBreakDone(false);
    SetTraversalNoticePending(false);
    AdvanceRecord();
    SendTraversalNotices();
    if (!State().Contains(TppBandKind::bkSummary)) ExcludeState(TppBandKind::bkGroupFooter);
    IncludeState(TppBandKind::bkGroupHeader | TppBandKind::bkDetail);
  } else {
    SetTraversalNoticePending(false);
    SendTraversalNotices();
  }
  ResetGroupBreakValues();
}

void TppEngine::SendTraversalNotices() {
  bool master = masterNoticePending_;
  bool detail = detailNoticePending_;
  masterNoticePending_ = detailNoticePending_ = false;
  if (master && masterPipeline_) masterPipeline_->DoTraversal();
  if (detail && detailPipeline_) detailPipeline_->DoTraversal();
  SendEventNotify(this, ciEngineTraversal, nullptr);
}

// ---- pipelines ----

void TppEngine::OpenPipeline(TppDataPipeline* pipeline) {
  pipeline->Open();
  if (pipeline->Active()) return;
  Report()->CancelJob(std::make_exception_ptr(EPrintError(ppLoadStr(40) + ": " + pipeline->UserName())));
}

void TppEngine::InitPipelines() {
  TppCustomReport* r = Report();
  // The page records' bookmarks go back to the pipelines that made them.
  TppDetailBand* detailBand = DetailBand();
  if (masterPipeline_ && masterPipeline_ != r->DataPipeline()) FreeRecordBookmarks(0, masterPipeline_, true);
  if (detailPipeline_ && detailPipeline_ != (detailBand ? detailBand->DataPipeline() : nullptr))
    FreeRecordBookmarks(0, detailPipeline_, true);
  FreePagePositions();
  FreeKeptBookmark();
  ReleasePipelines();
  if (TppDataPipeline* master = r->DataPipeline()) {
    masterPipeline_ = master;
    AddNotify(master);
    master->AddEventNotify(this);
    OpenPipeline(master);
    if (!Nested()) {
      keptBookmark_ = master->GetBookmark();
      master->SetCurrentRecordBookmark(keptBookmark_);
    }
    master->TraverseFirst();
    masterNoticePending_ = true;
  }
  TppDataPipeline* dp = detailBand ? detailBand->DataPipeline() : nullptr;
  if (dp && dp != masterPipeline_) {
    detailPipeline_ = dp;
    AddNotify(dp);
    dp->AddEventNotify(this);
    OpenPipeline(dp);
    dp->TraverseFirst();
    detailNoticePending_ = true;
  }
  if (HasData()) ExcludeFlags(TppEngineFlag::efNoData);
  else IncludeFlags(TppEngineFlag::efNoData);
  for (int i = 0; i < r->BandCount(); ++i) {
    TppBand* band = r->Bands(i);
    for (int j = 0; j < band->ObjectCount(); ++j) {
      TppComponent* c = band->Objects(j);
      TppDataPipeline* p = c->IsDataAware() ? c->DataPipeline() : nullptr;
      if (!p || p == masterPipeline_ || p == detailPipeline_) continue;
      if (std::find(otherPipelines_.begin(), otherPipelines_.end(), p) != otherPipelines_.end()) continue;
      OpenPipeline(p);
      AddNotify(p);
      otherPipelines_.push_back(p);
    }
  }
}

TppPipelinePosition TppEngine::CurrentPosition(TppDataPipeline* pipeline) {
  TppPipelinePosition p;
  if (!pipeline) return p;
  p.NoRecords = pipeline->NoRecords();
  p.LastRecord = pipeline->LastRecord();
  p.FirstRecord = pipeline->FirstRecord();
  p.Bookmark = pipeline->Active() ? pipeline->GetBookmark() : 0;
  p.BookmarkHeld = p.Bookmark != 0;
  p.TraversalCount = pipeline->TraversalCount();
  p.CurrentBookmark = pipeline->CurrentRecordBookmark();
  return p;
}

void TppEngine::PutBackPosition(TppDataPipeline* pipeline, const TppPipelinePosition& position) {
  if (!pipeline || !pipeline->Active()) return;
  // A pipeline that had no place (closed, or without records) keeps the
  // one it has; only its emptiness is put back.
  if (!position.BookmarkHeld) {
    if (position.NoRecords) pipeline->SetRecordFlags(ppNoRecords);
    return;
  }
  uint8_t flags = (position.FirstRecord ? ppFirstRecord : 0) | (position.LastRecord ? ppLastRecord : 0) |
                  (position.NoRecords ? ppNoRecords : 0);
  pipeline->RestoreTraversal(position.Bookmark, position.TraversalCount, flags);
}

bool TppEngine::HasData() {
  if (Cancelled()) return false;
  if (!masterPipeline_) return true;
  if (masterPipeline_->NoRecords()) return false;
  if (!masterPipeline_->Active()) return true;
  return !masterPipeline_->Eof();
}

// ---- record stepping ----

void TppEngine::AdvanceRecord() {
  if (!masterDetail_) {
    if (!masterPipeline_) return;
    masterPipeline_->TraverseNext();
    masterNoticePending_ = true;
    detailNoticePending_ = detailPipeline_ != nullptr;
    FindGroupBreaks(masterPipeline_);
    return;
  }
  bool detailLeft = !detailPipeline_->LastRecord() && !detailPipeline_->NoRecords();
  if (detailLeft) {
    detailPipeline_->TraverseNext();
    detailNoticePending_ = true;
    if (!detailPipeline_->Eof()) {
      FindGroupBreaks(detailPipeline_);
      return;
    }
  } else if (masterPipeline_->LastRecord() || masterPipeline_->NoRecords()) {
    // Neither has records left: the master reaches its end, so the groups
    // break and the data end (standing still would repeat the last record).
    masterPipeline_->TraverseNext();
    masterNoticePending_ = true;
    FindGroupBreaks(masterPipeline_);
    return;
  }
  masterPipeline_->TraverseNext();
  masterNoticePending_ = detailNoticePending_ = true;
  detailPipeline_->TraverseFirst();
  FindGroupBreaks(masterPipeline_);
}

void TppEngine::StepPipelineBack(TppDataPipeline* pipeline) {
  if (pipeline->Eof()) pipeline->TraverseLast();
  else pipeline->TraversePrior();
}

void TppEngine::StepBack() {
  if (masterDetail_ && !detailPipeline_->FirstRecord() && !detailPipeline_->NoRecords()) {
    StepPipelineBack(detailPipeline_);
  } else if (masterPipeline_ && !masterPipeline_->FirstRecord() && !masterPipeline_->NoRecords()) {
    StepPipelineBack(masterPipeline_);
    if (masterDetail_) detailPipeline_->TraverseLast();
  }
}

bool TppEngine::MasterAtEnd() { return masterPipeline_ && masterPipeline_->Eof(); }

// ---- notices ----

void TppEngine::Notify(TppCommunicator* communicator, uint8_t operation) {
  TppCustomEngine::Notify(communicator, operation);
  if (operation != ppopRemove || !communicator) return;
  auto* pipeline = cls::ObjectAs<TppDataPipeline>(communicator);
  if (!pipeline) return;
  int which = pipeline == masterPipeline_ ? 0 : pipeline == detailPipeline_ ? 1 : -1;
  if (which >= 0) {
    // Its bookmarks go while it can still free them.
    FreeRecordBookmarks(0, pipeline, true);
    FreePosition(pipeline, startPositions_[which]);
    if (pagePositionsOwned_) FreePosition(pipeline, pagePositions_[which]);
    pagePositions_[which] = TppPipelinePosition();
    if (which == 0) {
      FreeKeptBookmark();
      masterPipeline_ = nullptr;
    } else {
      detailPipeline_ = nullptr;
    }
    masterDetail_ = false;
  }
  otherPipelines_.erase(std::remove(otherPipelines_.begin(), otherPipelines_.end(), pipeline), otherPipelines_.end());
}

void TppEngine::EventNotify(TppCommunicator* sender, int eventId, TraParamList* params) {
  TppCustomEngine::EventNotify(sender, eventId, params);
  if (eventId == ciPipelineClose && sender && sender == masterPipeline_) FreeKeptBookmark();
}

// ---- band lists ----

void TppEngine::SortBands() {
  for (auto& list : bandLists_) list.clear();
  lastBand_ = nullptr;
  TppCustomReport* r = Report();
  if (r->BandCount() == 0) r->CreateDefaultBands();
  r->SortBands();
  for (int i = 0; i < r->BandCount(); ++i) {
    auto* band = cls::ObjectAs<TppCustomBand>(r->Bands(i));
    if (!band) continue;
    TppBandKinds k = band->GetKindFlag();
    int list = -1;
    if (k.Contains(TppBandKind::bkTitle)) list = blTitle;
    else if (k.Contains(TppBandKind::bkGroupHeader)) list = blGroupHeader;
    else if (k.Contains(TppBandKind::bkHeader) && cls::ObjectIs<TppPageStyle>(band)) list = blPageStyle;
    else if (k.Contains(TppBandKind::bkHeader) && cls::ObjectIs<TppPageBand>(band)) list = blHeader;
    else if (k.Contains(TppBandKind::bkColumnHeader)) list = blColumnHeader;
    else if (k.Contains(TppBandKind::bkDetail)) list = blDetail;
    else if (k.Contains(TppBandKind::bkGroupFooter)) list = blGroupFooter;
    else if (k.Contains(TppBandKind::bkColumnFooter)) list = blColumnFooter;
    else if (k.Contains(TppBandKind::bkFooter)) list = blFooter;
    else if (k.Contains(TppBandKind::bkSummary)) list = blSummary;
    if (list >= 0) bandLists_[list].push_back(band);
  }
  if (!bandLists_[blSummary].empty()) lastBand_ = bandLists_[blSummary].back();
  else if (!bandLists_[blGroupFooter].empty()) lastBand_ = bandLists_[blGroupFooter].back();
  else if (!bandLists_[blDetail].empty()) lastBand_ = bandLists_[blDetail].back();
}

// ---- a run ----

void TppEngine::Generate(TppPageRequest* request) {
  if (Generating()) return;
  SetRunUnderWay(true);
  struct RunEnd {
    TppEngine* e;
    ~RunEnd() {
      e->restoredPositions_ = false;
      e->SetRunUnderWay(false);
    }
  } runEnd{this};
  if (request) pageRequest_.Assign(request);
  else pageRequest_.Clear();
  FreePosition(Report()->DataPipeline(), startPositions_[0]);
  FreePosition(DetailBand() ? DetailBand()->DataPipeline() : nullptr, startPositions_[1]);
  startPositions_[0] = CurrentPosition(Report()->DataPipeline());
  TppDetailBand* detail = DetailBand();
  startPositions_[1] = CurrentPosition(detail ? detail->DataPipeline() : nullptr);
  ResumeNestedPositions();

  bool twoPassFirst = TwoPass() && !cls::ObjectIs<TppChildReport>(Report()) &&
                      (!Flags().Contains(TppEngineFlag::efInitialised) || !CountKnown());
  if (twoPassFirst) {
    TppPageSettingType setting = pageRequest_.PageSetting();
    pageRequest_.SetPageSetting(TppPageSettingType::psAll);
    GeneratePages();
    pageRequest_.SetPageSetting(setting);
    if (!Cancelled()) GeneratePages();
  } else {
    GeneratePages();
  }
  KeepNestedPositions();
  PutBackPosition(Report()->DataPipeline(), startPositions_[0]);
  PutBackPosition(detail ? detail->DataPipeline() : nullptr, startPositions_[1]);
  FreePosition(Report()->DataPipeline(), startPositions_[0]);
  FreePosition(detail ? detail->DataPipeline() : nullptr, startPositions_[1]);
}

// A report printed inside a subreport makes its pages one request at a
// time: each request goes on from where the last page left the data.
void TppEngine::ResumeNestedPositions() {
  if (!Nested() || !pagePositionsHeld_ || restoredPositions_) return;
  PutBackPosition(masterPipeline_, pagePositions_[0]);
  PutBackPosition(detailPipeline_, pagePositions_[1]);
  FreePagePositions();
}

void TppEngine::KeepNestedPositions() {
  if (!Nested() || pagePositionsHeld_) return;
  pagePositions_[0] = CurrentPosition(masterPipeline_);
  pagePositions_[1] = CurrentPosition(detailPipeline_);
  pagePositionsHeld_ = pagePositionsOwned_ = true;
}

void TppEngine::InitGeneration() {
  if (Flags().Contains(TppEngineFlag::efInitialised)) {
    if (!HasData()) StartNoData();
    return;
  }
  TppCustomReport* r = Report();
  bool nested = Nested();
  if (!nested && !prepared_) r->NotifyReportPrepare();
  InitPipelines();
  if (Cancelled() && masterPipeline_) masterPipeline_->SetRecordFlags(ppNoRecords);
  if (!nested && !prepared_) {
    r->PrepareBandsAndGroups();
    prepared_ = true;
  }
  r->FinishBandsAndGroups();
  ClearState();
  ClearFlags();
  DoStartGeneration();
  firstPassStarted_ = firstPassEnded_ = secondPassStarted_ = secondPassEnded_ = false;
  SetCountKnown(false);
  SetUsedHeight(0);
  SetDataExhausted(false);
  masterNoticePending_ = detailNoticePending_ = false;
  SetOuterBreakDone(false);
  SetTraversalNoticePending(false);
  columnHeadersDone_ = false;
  masterDetail_ = masterPipeline_ && detailPipeline_;
  if (noDataText_) {
    noDataText_->Free();
    noDataText_ = nullptr;
  }
  if (!HasData()) StartNoData();
  SetTraversalNoticePending(true);
  masterNoticePending_ = masterPipeline_ != nullptr;
  detailNoticePending_ = detailPipeline_ != nullptr;
  SetNewPageRequested(false);
  ResetGroups();
  ChooseGroups();
  SortBands();
  for (int i = 0; i < r->BandCount(); ++i) r->Bands(i)->InitGeneration();
  IncludeState(TppBandKind::bkGroupHeader);
  TppCustomReport* main = r->MainReport();
  if (nested && main && main->Engine() && main->Engine() != this)
    SetPrintDateTime(main->Engine()->PrintDateTime());
  else
    SetPrintDateTime(win::Now());
  IncludeFlags(TppEngineFlag::efInitialised | TppEngineFlag::efFirstPass);
  SetReportBandCount(0);
  SetPageBandCount(0);
  SetAbsolutePageNo(0);
  SetAbsolutePageCount(0);
  TppDetailBand* detail = DetailBand();
  columnsMode_ = ppColumnCount(r) >= 2 && detail && detail->ColumnTraversal() == ctTopToBottom;
  IncludeState(TppBandKind::bkTitle);
  listPosition_ = blTitle;
  listIndex_ = 0;
  SavePagePosition();
  lastGeneratedPage_ = 0;
  columnBegunList_.assign(static_cast<size_t>(r->Columns()), false);
  columnEndedList_.assign(static_cast<size_t>(r->Columns()), false);
}

void TppEngine::GeneratePages() {
  SetDone(false);
  SetCancelled(false);
  SetReportFinished(false);
  InitGeneration();
  Report()->NotifyGenerationStart();
  SetInitialPage();
  while (!Done() && !Cancelled()) {
    SetUsedHeight(0);
    ExcludeFlags(TppEngineFlag::efFirstPass | TppEngineFlag::efSecondPass);
    if (TwoPass() && CountKnown()) IncludeFlags(TppEngineFlag::efSecondPass);
    else IncludeFlags(TppEngineFlag::efFirstPass);
    if (Flags().Contains(TppEngineFlag::efFirstPass) && !firstPassStarted_) {
      firstPassStarted_ = true;
      Report()->DoOnStartFirstPass();
    }
    if (Flags().Contains(TppEngineFlag::efSecondPass) && !secondPassStarted_) {
      secondPassStarted_ = true;
      Report()->DoOnStartSecondPass();
    }
    GeneratePage();
    if (CountKnown() && AbsolutePageNo() == AbsolutePageCount()) {
      if (Flags().Contains(TppEngineFlag::efFirstPass) && !firstPassEnded_) {
        firstPassEnded_ = true;
        Report()->DoOnEndFirstPass();
        ExcludeFlags(TppEngineFlag::efFirstPass);
      } else if (Flags().Contains(TppEngineFlag::efSecondPass) && !secondPassEnded_) {
        secondPassEnded_ = true;
        Report()->DoOnEndSecondPass();
        ExcludeFlags(TppEngineFlag::efSecondPass);
      }
    }
    NextPage();
    Report()->ProcessMessages();
  }
}

// ---- which pages ----

bool TppEngine::NextListedPage(int32_t& page) {
  cls::TStringList* list = pageRequest_.PageList();
  while (listCursor_ < list->Count()) {
    int64_t value = 0;
    bool number = cls::TryStrToInt(cls::Trim(list->Strings(listCursor_)), value);
    bool valid = number && value >= 1 && value <= INT32_MAX && (!CountKnown() || value <= AbsolutePageCount());
    if (!valid) {
      ++listCursor_;
      continue;
    }
    pageRequest_.SetPageRequested(static_cast<int32_t>(value));
    // A page beyond the next one is read again once the pages before it exist.
    if (value <= static_cast<int64_t>(AbsolutePageCount()) + 1) ++listCursor_;
    page = static_cast<int32_t>(value);
    return true;
  }
  return false;
}

void TppEngine::SetInitialPage() {
  DoPageRequest();
  int32_t available = AvailablePage();
  int32_t page = 1;
  using enum TppPageSettingType;
  switch (pageRequest_.PageSetting()) {
    case psAll:
    case psFirstPage:
    case psPageRange:
      page = 1;
      break;
    case psPageList:
      listCursor_ = 0;
      if (!NextListedPage(page)) {
        SetDone(true);
        return;
      }
      break;
    case psSinglePage:
      if (CountKnown() && pageRequest_.PageRequested() > AbsolutePageCount())
        pageRequest_.SetPageRequested(AbsolutePageCount());
      if (pageRequest_.PageRequested() < 1) pageRequest_.SetPageRequested(1);
      page = pageRequest_.PageRequested();
      break;
    case psLastPage:
      page = CountKnown() ? AbsolutePageCount() : available + 1;
      break;
  }
  SetAbsolutePageNo(std::max(1, std::min(page, available + 1)));
}

void TppEngine::NextPage() {
  if (Done()) return;
  DoPageRequest();
  int32_t available = AvailablePage();
  int32_t page = AbsolutePageNo();
  using enum TppPageSettingType;
  switch (pageRequest_.PageSetting()) {
    case psAll:
    case psPageRange:
      if (ReportFinished()) SetDone(true);
      else ++page;
      break;
    case psPageList:
      if (!NextListedPage(page)) SetDone(true);
      break;
    case psSinglePage:
      if (pageRequest_.PageRequested() <= page) SetDone(PageComplete());
      if (!Done()) {
        if (CountKnown() && pageRequest_.PageRequested() > AbsolutePageCount())
          pageRequest_.SetPageRequested(AbsolutePageCount());
        if (pageRequest_.PageRequested() < 1) pageRequest_.SetPageRequested(1);
        page = pageRequest_.PageRequested();
      }
      break;
    case psFirstPage:
      if (page >= 1) SetDone(true);
      break;
    case psLastPage:
      if (ReportFinished()) SetDone(PageComplete());
      else ++page;
      break;
  }
  if (Done()) return;
  if (available + 1 < page) page = CountKnown() ? available : available + 1;
  SetAbsolutePageNo(std::max(1, page));
}

void TppEngine::CheckDone() {
  int32_t page = AbsolutePageNo();
  using enum TppPageSettingType;
  switch (pageRequest_.PageSetting()) {
    case psAll:
    case psPageRange:
    case psLastPage:
      if (ReportFinished() && PageComplete() && page == AbsolutePageCount()) SetDone(true);
      break;
    case psPageList: {
      cls::TStringList* list = pageRequest_.PageList();
      bool valid = false;
      if (listCursor_ < list->Count()) {
        int64_t value = 0;
        valid = cls::TryStrToInt(cls::Trim(list->Strings(listCursor_)), value) && value >= 1 && value <= INT32_MAX &&
                (!CountKnown() || value <= AbsolutePageCount());
      }
      if (!valid) SetDone(true);
      break;
    }
    case psSinglePage:
      if (pageRequest_.PageRequested() <= page && PageComplete()) SetDone(true);
      break;
    case psFirstPage:
      if (page >= 1 && PageComplete()) SetDone(true);
      break;
  }
}

// ---- one page ----

void TppEngine::GeneratePage() {
  DoStartPage();
  RestorePagePosition();
  if (Flags().Intersects(TppEngineFlag::efSectionPending | TppEngineFlag::efSectionGenerating)) {
    ResetPage();
    SetNewPageRequested(false);
    GenerateBands(listPosition_, listIndex_);
    return;
  }
  StartPage();
  if (listPosition_ != blGroupFooter) {
    DeferredBreakStep();
    ResetGroupBreakValues();
  }
  switch (listPosition_) {
    case blHeader:
    case blTitle:
    case blColumnHeader:
    case blDetail:
    case blGroupHeader:
      listPosition_ = blGroupHeader;
      listIndex_ = 0;
      break;
    case blGroupFooter:
      if (!columnsMode_) ContinueGroupFooters();
      break;
    default:
      break;
  }
  GenerateBands(listPosition_, listIndex_);
}

void TppEngine::StartPage() {
  SetNewPageRequested(false);
  int savedPosition = listPosition_, savedIndex = listIndex_;
  ResetPage();
  if (!pageEnded_) {
    IncludeState(TppBandKind::bkHeader);
    GenerateBandList(blPageStyle, 0, false);
    ExcludeState(TppBandKind::bkHeader);
  }
  if (State().Contains(TppBandKind::bkTitle)) {
    listPosition_ = blTitle;
    GenerateBandList(blTitle, 0, true);
    if (!pageEnded_) ExcludeState(TppBandKind::bkTitle);
  }
  if (!pageEnded_) {
    IncludeState(TppBandKind::bkHeader);
    listPosition_ = blHeader;
    GenerateBandList(blHeader, 0, true);
  }
  listPosition_ = savedPosition;
  listIndex_ = savedIndex;
  std::fill(columnBegunList_.begin(), columnBegunList_.end(), false);
  std::fill(columnEndedList_.begin(), columnEndedList_.end(), false);
}

void TppEngine::ResetPage() {
  TppCustomReport* r = Report();
  if (TppDetailBand* detail = DetailBand()) detail->SetCount(0);
  bool firstPage = AbsolutePageNo() == 1;
  if (firstPage) SendEventNotify(this, ciEngineReportStart, nullptr);
  r->DoOnStartPage();
  if (firstPage) IncludeState(TppBandKind::bkDetail);
  TppPageDef* def = PageDef();
  SetPageRect(def->mmMarginLeft(), def->mmMarginTop(), def->GetPrintableWidth(), def->mmMarginTop());
  SetFirstDetail(false);
  columnHeadersDone_ = false;
  columnCounter_ = 0;
  columnTop_ = 0;
  pageEnded_ = false;
  SetPageBandCount(1);
  if (!CountKnown() && AbsolutePageNo() > AbsolutePageCount()) {
    SetAbsolutePageCount(AbsolutePageNo());
    UpdateGroupPageNumbers();
  }
  Page()->Clear();
  SetPageComplete(false);
  pageBreakNo_ = PageNoGroup() ? PageNoGroup()->BreakNo() : 0;
  DescribePage();
  SetPageComplete(PageCompleteRule());
  for (int i = 0; i < r->BandCount(); ++i) r->Bands(i)->SetDrawPage(PageComplete());
}

bool TppEngine::PageCompleteRule() {
  TppCustomReport* main = Report()->MainReport();
  TppCustomEngine* mainEngine = MainEngine();
  bool twoPass = TwoPass();
  int32_t page = AbsolutePageNo();
  bool complete = false;
  if (mainEngine->Flags().Contains(TppEngineFlag::efFirstPass))
    complete = !twoPass || pageRequest_.PageRequested() == page;
  else if (mainEngine->Flags().Contains(TppEngineFlag::efSecondPass))
    complete = twoPass;
  if (complete && main && main->Publisher()->CachePages()) return true;
  using enum TppPageSettingType;
  switch (pageRequest_.PageSetting()) {
    case psPageList:
    case psSinglePage:
      return pageRequest_.PageRequested() == page;
    case psFirstPage:
      return page == 1;
    case psLastPage:
      return CountKnown() && page == AbsolutePageCount();
    case psAll:
    case psPageRange:
      return complete;
  }
  return complete;
}

void TppEngine::GenerateBands(int position, int index) {
  listPosition_ = position;
  listIndex_ = index;
  bool firstTurn = true;
  while (listPosition_ <= blGroupFooter && !pageEnded_ && !Cancelled() &&
         (firstTurn || !Flags().Contains(TppEngineFlag::efSectionPending))) {
    firstTurn = false;
    if (columnsMode_ && (columnEnded_ || columnCounter_ == 0)) {
      columnEnded_ = false;
      int savedPosition = listPosition_, savedIndex = listIndex_;
      StartColumn();
      listPosition_ = savedPosition;
      listIndex_ = savedIndex;
      if (listPosition_ == blGroupFooter) {
        ContinueGroupFooters();
      } else if (listPosition_ == blGroupHeader || listPosition_ == blDetail) {
        GenerateBandList(blGroupHeader, 0, true);
        listPosition_ = blDetail;
        listIndex_ = 0;
      }
    }
    if (!(columnsMode_ && columnEnded_) && !pageEnded_ && listPosition_ <= blGroupFooter) {
      GenerateBandList(listPosition_, listIndex_, true);
      bool goOn = columnsMode_ ? !columnEnded_ : !pageEnded_;
      if (goOn) {
        if (listPosition_ == blGroupFooter) listPosition_ = DataExhausted() ? blSummary : blGroupHeader;
        else ++listPosition_;
        listIndex_ = 0;
      }
    }
    Report()->ProcessMessages();
  }
  if (!pageEnded_ && !Cancelled() && DataExhausted()) {
    listPosition_ = blSummary;
    GenerateBandList(blSummary, 0, true);
  }
  if (!pageEnded_ && !Cancelled()) {
    if (columnsMode_) EndColumn();
    else EndPage();
  }
}

void TppEngine::GenerateBandList(int position, int first, bool keepPosition) {
  const std::vector<TppCustomBand*> bands = bandLists_[position];
  int index = std::max(0, first);
  bool ranOut = false;
  while (static_cast<size_t>(index) < bands.size() && !ranOut && !Cancelled()) {
    TppCustomBand* band = bands[static_cast<size_t>(index)];
    currentBand_ = band;
    bool columnsCase = columnsMode_ && band->BandType() == TppBandType::btDetail && columnCounter_ >= 2;
    int32_t b0 = PageRect().Bottom, u0 = UsedHeight();
    if (columnsCase) SetUsedHeight(0);
    band->Generate();
    if (Cancelled()) break;
    int32_t spaceUsed = band->GetSpaceUsed();
    if (GetNewPageRequested()) {
      SetNewPageRequested(true);
    } else if (IsGroupHeader(band)) {
      auto* header = static_cast<TppGroupHeaderBand*>(band);
      if (header->Group() && !header->Group()->ReprintOnSubsequentPage() && spaceUsed >= 1)
        SetNewPageRequested(true);
    } else if ((position < blHeader || position > blColumnHeader) && spaceUsed >= 1) {
      SetNewPageRequested(true);
    }
    if (columnsCase) {
      int32_t b1 = PageRect().Bottom;
      SetUsedHeight(b1 >= b0 ? u0 : u0 + b0 - b1);
    } else if (PageRect().Bottom > UsedHeight()) {
      SetUsedHeight(PageRect().Bottom);
    }
    if (band->GetOutOfSpace()) {
      ranOut = true;
      KeepGroupTogether(band);
    } else {
      if (DataExhausted() && band == lastBand_) SetReportFinished(true);
      ++index;
    }
    Report()->ProcessMessages();
  }
  if (Cancelled()) return;  // the current band stays set
  if (position == blGroupHeader && !ranOut)
    ExcludeState(TppBandKind::bkTitle | TppBandKind::bkHeader | TppBandKind::bkColumnHeader);
  if (keepPosition) listIndex_ = ranOut ? index : std::max(0, static_cast<int>(bands.size()) - 1);
  if (ranOut && !State().Contains(TppBandKind::bkFooter)) {
    if (columnsMode_) EndColumn();
    else EndPage();
  }
  currentBand_ = nullptr;
}

void TppEngine::GenerateColumnBands(int position) {
  TppCustomBand* current = currentBand_;
  GenerateBandList(position, 0, false);
  currentBand_ = current;
}

// ---- page end ----

void TppEngine::EndPage() {
  pageEnded_ = true;
  if (!columnsMode_) SavePagePosition();
  lastGeneratedPage_ = AbsolutePageNo();
  if (!columnsMode_ && TraversalNoticePending()) StepBack();
  EndPageBands();
  if (!State().Contains(TppBandKind::bkFooter) &&
      !Flags().Intersects(TppEngineFlag::efSectionGenerating | TppEngineFlag::efSectionFinished)) {
    IncludeState(TppBandKind::bkFooter);
    GenerateBandList(blFooter, 0, false);
  }
  DoEndPage();
  if (!Nested()) UpdateOutline();
  if (Flags().Contains(TppEngineFlag::efFirstPass) && DataExhausted() && ReportFinished()) {
    SetCountKnown(true);
    SendEventNotify(this, ciEngineReportEnd, nullptr);
    if (!Nested() && prepared_) Report()->NotifyBandsBeforeGeneration();
  }
  if (CountKnown() && AbsolutePageNo() == AbsolutePageCount() && PageComplete()) AdjustLastPage();
  if (!HasData() && UsedHeight() != 0) {
    HandleNoData();
    if (noDataText_) {
      noDataText_->SetPage(Page());
      noDataText_ = nullptr;
    }
  }
  DoBeforeSendPage();
  DescribePage();
  DoSendPage();
  CheckDone();
  DoAfterSendPage();
  ExcludeState(TppBandKind::bkFooter);
}

void TppEngine::UpdateOutline() {
  if (TppCustomReport* r = Report()) r->UpdateOutline();
}

void TppEngine::EndPageBands() {
  TppCustomReport* r = Report();
  for (int i = 0; i < r->BandCount(); ++i) r->Bands(i)->EndPage();
}

void TppEngine::SavePagePosition() {
  if (!Nested() && (CountKnown() || MainEngine()->CountKnown())) return;
  if (pagePositionsOwned_) {
    FreePosition(masterPipeline_, pagePositions_[0]);
    FreePosition(detailPipeline_, pagePositions_[1]);
  }
  pagePositions_[0] = CurrentPosition(masterPipeline_);
  pagePositions_[1] = CurrentPosition(detailPipeline_);
  pagePositionsHeld_ = pagePositionsOwned_ = true;
  if (MainEngine()->PageNotGenerated()) DoPagePositionSaved();
}

void TppEngine::AdjustLastPage() {
  TppPage* page = Page();
  auto bandOf = [](TppDrawCommand* c) { return cls::ObjectAs<TppBand>(c->Band()); };
  int32_t tallest = 0;
  for (TppCustomBand* header : bandLists_[blHeader]) {
    tallest = std::max(tallest, header->GetSpaceUsed());
    auto* pageBand = cls::ObjectAs<TppPageBand>(header);
    if (!pageBand || pageBand->PrintOnLastPage()) continue;
    std::vector<TppDrawCommand*> removed;
    for (int i = 0; i < page->GetDrawCommandCount(); ++i) {
      TppDrawCommand* c = page->GetDrawCommand(i);
      TppBand* b = bandOf(c);
      if (b == header) {
        removed.push_back(c);
      } else if (!b || (b->BandType() != TppBandType::btTitle && b->BandType() != TppBandType::btFooter &&
                        b->BandType() != TppBandType::btColumnFooter)) {
        c->SetTop(c->Top() - tallest);
      }
    }
    for (TppDrawCommand* c : removed) {
      page->RemoveDrawCommand(c);
      c->Free();
    }
  }
  int32_t amount = 0;
  for (TppCustomBand* footer : bandLists_[blFooter]) {
    amount = footer->GetSpaceUsed() > amount ? footer->GetSpaceUsed() : footer->mmHeight();
    auto* pageBand = cls::ObjectAs<TppPageBand>(footer);
    if (!pageBand || pageBand->PrintOnLastPage()) continue;
    std::vector<TppDrawCommand*> removed;
    for (int i = 0; i < page->GetDrawCommandCount(); ++i) {
      TppDrawCommand* c = page->GetDrawCommand(i);
      TppBand* b = bandOf(c);
      if (b == footer) removed.push_back(c);
      else if (b && b->BandType() == TppBandType::btColumnFooter) c->SetTop(c->Top() + amount);
    }
    for (TppDrawCommand* c : removed) {
      page->RemoveDrawCommand(c);
      c->Free();
    }
  }
}

void TppEngine::DescribePage() {
  TppCustomReport* r = Report();
  TppPage* page = Page();
  int32_t no = AbsolutePageNo();
  page->SetAbsolutePageNo(no);
  page->SetAbsolutePageCount(AbsolutePageCount());
  page->SetControlGroupBreakNo(pageBreakNo_);
  page->SetDocumentName(r->PrinterSetup()->DocumentName());
  page->SetFirstPage(no == 1);
  page->SetLanguageIndex(r->LanguageIndex());
  page->SetLastPage(ReportFinished() && no == AbsolutePageCount());
  page->SetPassSetting(r->PassSetting());
  if (!Flags().Intersects(TppEngineFlag::efSectionPending | TppEngineFlag::efSectionGenerating |
                          TppEngineFlag::efSectionFinished)) {
    page->SetPageNo(GetPageNo());
    page->SetPageCount(GetPageCount());
  }
  page->SetPrintDateTime(PrintDateTime());
  bool twoPass = TwoPass();
  page->SetFinal((!twoPass && Flags().Contains(TppEngineFlag::efFirstPass)) ||
                 (twoPass && Flags().Contains(TppEngineFlag::efSecondPass) && PageComplete()));
  page->SetCalculation(!PageComplete());
}

// ---- columns down the page ----

void TppEngine::ColumnPositionMissing(int columnNo) {
  std::string text = ppLoadStr(43);
  std::string::size_type at = text.find("<columnno>");
  if (at != std::string::npos) text.replace(at, 10, cls::IntToStr(columnNo));
  Report()->CancelJob(std::make_exception_ptr(EPrintError(text + ".")));
}

void TppEngine::StartColumn() {
  if (Flags().Intersects(TppEngineFlag::efTitle | TppEngineFlag::efSummary)) return;
  if (columnCounter_ == 0) columnTop_ = PageRect().Top;
  if (Report()->Columns() <= columnCounter_) return;
  ++columnCounter_;
  SetCurrentColumn(columnCounter_ - 1);
  if (PlaceColumn() && !columnHeadersDone_) {
    Report()->DoOnStartColumn();
    IncludeState(TppBandKind::bkColumnHeader);
    listPosition_ = blColumnHeader;
    SetNewPageRequested(false);
    GenerateBandList(blColumnHeader, 0, true);
  }
  if (columnCounter_ >= Report()->Columns()) columnHeadersDone_ = true;
}

bool TppEngine::PlaceColumn() {
  TppCustomReport* r = Report();
  TppPageDef* def = PageDef();
  int column = columnCounter_;
  int32_t width = r->mmColumnWidth();
  const cls::TStringList& positions = r->StoredColumnPositions();
  bool hasPositions = positions.Count() > 0;
  int32_t left = 0;
  if (!hasPositions) {
    left = def->mmMarginLeft() + (column - 1) * width;
  } else if (positions.Count() < column) {
    ColumnPositionMissing(column);
  } else {
    int64_t value = 0;
    if (cls::TryStrToInt(cls::Trim(positions[column - 1]), value)) left = static_cast<int32_t>(value);
    else ColumnPositionMissing(column);
  }
  int32_t right = def->mmWidth() - def->mmMarginRight();
  bool fits = (!hasPositions || left <= right) && (hasPositions || left + width <= right);
  if (fits) SetPageRect(left, columnTop_, right, columnTop_);
  return fits;
}

void TppEngine::EndColumn() {
  columnEnded_ = true;
  TppDetailBand* detail = DetailBand();
  bool titleOrSummaryAlone = Flags().Intersects(TppEngineFlag::efTitle | TppEngineFlag::efSummary) &&
                             (!detail || detail->GetCount() == 0);
  bool forcePageEnd = titleOrSummaryAlone || GroupForcesPageEnd();
  int positionCount = Report()->StoredColumnPositions().Count();
  bool nextFits = false;
  if (!(columnCounter_ >= 1 && columnCounter_ == positionCount)) {
    TppRect saved = PageRect();
    ++columnCounter_;
    nextFits = columnCounter_ <= Report()->Columns() && PlaceColumn();
    --columnCounter_;
    SetPageRect(saved.Left, saved.Top, saved.Right, saved.Bottom);
  }
  bool pageEndDue = columnCounter_ >= Report()->Columns() || (DataExhausted() && listPosition_ > blGroupFooter) ||
                    !nextFits || forcePageEnd || Flags().Contains(TppEngineFlag::efSectionPending);
  if (pageEndDue) SavePagePosition();
  if (TraversalNoticePending()) {
    StepBack();
    SetOuterBreakDone(nextFits);
  }
  if (!titleOrSummaryAlone) {
    IncludeState(TppBandKind::bkColumnFooter);
    GenerateBandList(blColumnFooter, 0, false);
    Report()->DoOnEndColumn();
    ExcludeState(TppBandKind::bkColumnFooter);
  }
  if (pageEndDue) {
    TppPageDef* def = PageDef();
    SetPageRect(def->mmMarginLeft(), PageRect().Top, def->GetPrintableWidth(), PageRect().Bottom);
    EndPage();
  }
}

// ---- no data ----

bool TppEngine::ShowNoDataDialog() {
  cls::TClass c = FindFormClass(&TppCustomNoDataDialog::StaticClass());
  return c != nullptr && !secondPassStarted_;
}

void TppEngine::RunNoDataDialog() {
  TppCustomReport* r = Report();
  cls::TClass c = FindFormClass(&TppCustomNoDataDialog::StaticClass());
  auto* dialog = c ? cls::ObjectAs<TppForm>(ui::NewFormOfClass(c, nullptr)) : nullptr;
  if (!dialog) return;
  dialog->SetReport(r);
  dialog->SetLanguageIndex(r->LanguageIndex());
  dialog->ShowModal();
  dialog->Free();
}

void TppEngine::StartNoData() {
  TppCustomReport* r = Report();
  if (!r->NoDataBehaviors().Contains(ndBlankPage)) return;
  SetDone(true);
  SetReportFinished(true);
  prepared_ = false;
  bool show = r->NoDataBehaviors().Contains(ndMessageDialog) && ShowNoDataDialog();
  bool addText = false;
  r->DoOnNoData(nullptr, show, nullptr, addText);
  if (show) RunNoDataDialog();
  if (TwoPass()) secondPassStarted_ = true;
}

void TppEngine::HandleNoData() {
  TppCustomReport* r = Report();
  if (!r->NoDataBehaviors().Contains(ndBlankReport)) return;
  if (noDataText_) {
    noDataText_->Free();
    noDataText_ = nullptr;
  }
  bool addText = false;
  if (r->NoDataBehaviors().Contains(ndMessageOnPage)) {
    CreateNoDataText();
    addText = true;
  }
  bool show = r->NoDataBehaviors().Contains(ndMessageDialog) && ShowNoDataDialog();
  r->DoOnNoData(nullptr, show, noDataText_, addText);
  if (show) RunNoDataDialog();
  if (!addText && noDataText_) {
    noDataText_->Free();
    noDataText_ = nullptr;
  }
}

void TppEngine::CreateNoDataText() {
  auto* text = new TppDrawText(nullptr);
  text->Font()->SetName("Arial");
  text->Font()->SetSize(12);
  text->Font()->SetColor(gdi::clBlack);
  text->SetText(ppLoadStr(1034));
  int32_t width = ConvertToMMThousandths(110, utScreenPixels, ppHorizontal);
  int32_t height = ConvertToMMThousandths(18, utScreenPixels, ppVertical);
  TppPageDef* def = PageDef();
  text->SetLeft((def->GetPrintableWidth() - width) / 2);
  text->SetTop((UsedHeight() - height) / 2);
  text->SetWidth(width);
  text->SetHeight(height);
  noDataText_ = text;
}

// ---- registration ----

namespace {

TppBandEngineRef MakeDetailBandEngine(TppDetailBand* band) {
  TppCustomReport* r = band->Report();
  TppDetailBandEngine* engine = nullptr;
  if (ppColumnCount(r) >= 2 && band->ColumnTraversal() == ctLeftToRight)
    engine = new TppHorizontalBandEngine(band);
  else
    engine = new TppVerticalBandEngine(band);
  return {engine, engine};
}

}  // namespace

void ppRegisterEngineUnit() {
  ppSetEngineClass(&TppEngine::Make);
  ppSetDetailBandEngineClass(&MakeDetailBandEngine);
}
