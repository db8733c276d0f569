// Bands: horizontal strips of a report that hold components and print at
// fixed moments of page generation. TppBand keeps what every band has,
// TppCustomBand adds the band generation, the kinds set their defaults and
// override a few steps.
//
// The band generation is written once, in TppBandGeneration, over the
// generation state accessors and the hook slots; a band runs it on its own
// state, and a detail band's band engine runs the same code on its own.
#pragma once
#include <cstdint>
#include <string>
#include <utility>
#include <vector>

#include "report/engine/ppEngTypes.h"
#include "report/model/ppCache.h"
#include "report/model/ppTypes.h"
#include "report/model/ppUtils.h"

class TppComponent;
class TppPopupMenu;
class TppCustomBand;
class TppCustomEngine;
class TppCustomReport;
class TppDataPipeline;
class TppDetailBand;
class TppGroup;
class TppStretchable;

// Print-count modes: once, unlimited, PrintCount times.
constexpr uint8_t ppPrintOnce = 1;
constexpr uint8_t ppPrintUnlimited = 2;
constexpr uint8_t ppPrintCountTimes = 3;

// ---- the guard against pages that cannot progress ----

// A pass that ran out of space with nothing placed (objects reprinted on a
// continuation page count as nothing, and so does a continuing region whose
// objects only reprinted: TppComponent::PrintedNewContent), begun while the page
// (or column) held no body output, cannot be helped by a new page. The
// first such pass may have been crowded off by a title; when the next pass
// of the same object ends alike on a later page, the object can never fit
// and the report's job is cancelled with an EPrintError naming it (another
// column of the same page is crowded alike and proves nothing). Bands run
// it after every pass; anything else that generates across pages uses it
// the same way.
class TppNeverFitsGuard {
 public:
  void Reset() { stalled_ = false; }
  // STALLED: this pass ended as above. CULPRIT names the band or component.
  void PassEnded(bool stalled, TppCustomReport* report, const std::string& culprit);
  bool Armed() const { return stalled_; }

 private:
  bool stalled_ = false;
  int32_t stalledPage_ = 0;
};

// ---- generation state ----

struct TppBandGenerationState {
  bool AllObjectsPrinted = false;
  int32_t Count = 0;
  int32_t CurrentPosition = 0;
  int32_t CumulativeCurrentPosition = 0;
  bool Generating = false;
  bool GenerationComplete = false;
  TppStretchable* MaxStretchable = nullptr;
  int32_t ResumeListIndex = 0;
  int32_t ResumeObjectIndex = 0;
  bool OutOfSpace = false;
  bool OverFlow = false;
  int32_t PageBottom = 0;
  bool PartialGeneration = false;
  int32_t PartialAdjustment = 0;
  bool PrintingSection = false;
  bool PrintPositionBreak = false;
  TppRect PrintRect;
  int32_t SpaceUsed = 0;
  int32_t StartingPosition = 0;
};

// The band generation over a band's settings (GenBand) and a generation
// state reached only through the accessors below.
class TppBandGeneration {
 public:
  explicit TppBandGeneration(TppCustomBand* band) : genBand_(band) {}
  virtual ~TppBandGeneration() = default;
  TppBandGeneration(const TppBandGeneration&) = delete;
  TppBandGeneration& operator=(const TppBandGeneration&) = delete;

  // The band whose settings and objects are generated.
  TppCustomBand* GenBand() const { return genBand_; }
  void SetGenBand(TppCustomBand* band) { genBand_ = band; }

  // Once per run: objects initialised, state cleared, print lists built.
  void InitBandGeneration();
  // One generation of the band on the engine's current page.
  void GenerateBand();
  // The object at the resume indexes while the report prints.
  TppComponent* CurrentObject();
  const std::vector<TppComponent*>& ResetAtStartObjects() const { return resetAtStart_; }
  TppNeverFitsGuard& NeverFitsGuard() { return neverFits_; }

  // ---- hook slots ----
  virtual void CheckPrintPosition();
  virtual void EndGeneration() {}
  virtual void AfterObjects();
  virtual void AfterGeneration();
  virtual void BeforeGeneration() {}
  virtual void StartGeneration();
  virtual void BeforePrintObjects();
  virtual void PlaceBand();
  virtual void DrawObjects() {}
  virtual bool NeedsEngineStep() { return false; }
  virtual void AdvancePage();
  // The band events as generation fires them (the band's own by default).
  virtual void FireBeforePrint();
  virtual void FireAfterPrint();
  virtual void FireBeforeGenerate();
  virtual void FireAfterGenerate();
  // The end of InitBandGeneration, and the band's end-of-page call (band
  // engines add to both).
  virtual void InitGenerationDone() {}
  virtual void EndOfPage() {}

  // ---- state accessors ----
  virtual bool GetAllObjectsPrinted() { return state_.AllObjectsPrinted; }
  virtual int32_t GetCount() { return state_.Count; }
  virtual int32_t GetCurrentPosition() { return state_.CurrentPosition; }
  virtual int32_t GetCumulativeCurrentPosition() { return state_.CumulativeCurrentPosition; }
  virtual bool GetGenerating() { return state_.Generating; }
  virtual bool GetGenerationComplete() { return state_.GenerationComplete; }
  virtual TppStretchable* GetMaxStretchable() { return state_.MaxStretchable; }
  virtual int32_t GetResumeListIndex() { return state_.ResumeListIndex; }
  virtual int32_t GetResumeObjectIndex() { return state_.ResumeObjectIndex; }
  virtual bool GetOutOfSpace() { return state_.OutOfSpace; }
  virtual bool GetOverFlow() { return state_.OverFlow; }
  virtual int32_t GetPageBottom() { return state_.PageBottom; }
  virtual bool GetPartialGeneration() { return state_.PartialGeneration; }
  virtual int32_t GetPartialAdjustment() { return state_.PartialAdjustment; }
  virtual bool GetPrintingSection() { return state_.PrintingSection; }
  virtual bool GetPrintPositionBreak() { return state_.PrintPositionBreak; }
  virtual TppRect GetPrintRect() { return state_.PrintRect; }
  virtual int32_t GetSpaceUsed() { return state_.SpaceUsed; }
  virtual int32_t GetStartingPosition() { return state_.StartingPosition; }
  virtual void SetAllObjectsPrinted(bool v) { state_.AllObjectsPrinted = v; }
  virtual void SetCount(int32_t v) { state_.Count = v; }
  virtual void SetCurrentPosition(int32_t v) { state_.CurrentPosition = v; }
  virtual void SetCumulativeCurrentPosition(int32_t v) { state_.CumulativeCurrentPosition = v; }
  virtual void SetGenerating(bool v) { state_.Generating = v; }
  virtual void SetGenerationComplete(bool v) { state_.GenerationComplete = v; }
  virtual void SetMaxStretchable(TppStretchable* v) { state_.MaxStretchable = v; }
  virtual void SetResumeListIndex(int32_t v) { state_.ResumeListIndex = v; }
  virtual void SetResumeObjectIndex(int32_t v) { state_.ResumeObjectIndex = v; }
  virtual void SetOutOfSpace(bool v) { state_.OutOfSpace = v; }
  virtual void SetOverFlow(bool v) { state_.OverFlow = v; }
  virtual void SetPageBottom(int32_t v) { state_.PageBottom = v; }
  virtual void SetPartialGeneration(bool v) { state_.PartialGeneration = v; }
  virtual void SetPartialAdjustment(int32_t v) { state_.PartialAdjustment = v; }
  virtual void SetPrintingSection(bool v) { state_.PrintingSection = v; }
  virtual void SetPrintPositionBreak(bool v) { state_.PrintPositionBreak = v; }
  virtual void SetPrintRect(const TppRect& v) { state_.PrintRect = v; }
  virtual void SetSpaceUsed(int32_t v) { state_.SpaceUsed = v; }
  virtual void SetStartingPosition(int32_t v) { state_.StartingPosition = v; }
  // Detail passes printed for the current record (detail band engines).
  virtual int32_t GetRecordCounter() { return 0; }
  virtual void SetRecordCounter(int32_t) {}

 protected:
  TppCustomEngine* GenEngine() const;
  TppCustomReport* GenReport() const;
  bool GenDynamic() const;
  void ProcessReportMessages() const;

 private:
  bool PassDone();
  void GenerateObjects();
  void PrintObjectList(size_t listIndex, size_t from);
  void BuildPrintLists();
  int ListIndexOfKey(int key) const;

  TppCustomBand* genBand_;
  TppBandGenerationState state_;
  // Working fields of a pass.
  bool firstObjectFound_ = false;
  bool resumeListFound_ = false;
  bool overflowPending_ = false;
  int32_t workingAdjustment_ = 0;
  int32_t lowestStretchBottom_ = 0;
  TppComponent* firstUnfinished_ = nullptr;
  // Print lists "1" to "4" in key order, and the objects that used space on
  // this page.
  std::vector<std::pair<int, std::vector<TppComponent*>>> printLists_;
  std::vector<TppComponent*> drawList_;
  std::vector<TppComponent*> resetAtStart_;
  TppNeverFitsGuard neverFits_;
};

// ---- TppBand ----

class TppBand : public TppCacheable {
  CLS_DECLARE_CLASS(TppBand, TppCacheable)
 public:
  explicit TppBand(cls::TComponent* owner);
  // Leaves its report; its components leave it.
  void BeforeDestruction() override;

  // ---- properties ----
  TppCustomReport* Report() const { return report_; }
  TppUnitType Units() const { return units_; }
  void SetUnits(TppUnitType units);
  int32_t mmHeight() const { return mmHeight_; }
  void SetmmHeight(int32_t value);
  float Height() const;
  void SetHeight(float value);
  int32_t mmBottomOffset() const { return mmBottomOffset_; }
  void SetmmBottomOffset(int32_t value);
  float BottomOffset() const;
  void SetBottomOffset(float value);
  int32_t mmPrintPosition() const { return mmPrintPosition_; }
  void SetmmPrintPosition(int32_t value);
  float PrintPosition() const;
  void SetPrintPosition(float value);
  TppPrintHeightType PrintHeight() const { return printHeight_; }
  int32_t PrintCount() const { return printCount_; }
  void SetPrintCount(int32_t value);
  uint8_t PrintCountMode() const { return printCountMode_; }
  bool Visible() const { return visible_; }
  void SetVisible(bool value);
  bool Save() const { return save_; }
  void SetSave(bool value);
  const std::string& Caption() const { return caption_; }
  int CaptionIndex() const { return captionIndex_; }
  // Set by the engine at every page start: the page request wants this page drawn.
  bool DrawPage() const { return drawPage_; }
  void SetDrawPage(bool v) { drawPage_ = v; }
  // The band's width: the column width for a band inside columns of a
  // report with two or more columns, else the printable page width.
  int32_t mmWidth() const;
  // The index in the report's band list.
  int Index() const;

  // ---- objects (listed, not owned) ----
  int ObjectCount() const { return objects_.Count(); }
  TppComponent* Objects(int i) const { return objects_[i]; }
  int IndexOfObject(const TppComponent* c) const { return objects_.IndexOf(c); }
  void AddObject(TppComponent* c);
  void RemoveObject(TppComponent* c);
  void MoveObject(int from, int to);
  void BringObjectToFront(TppComponent* c);
  void SendObjectToBack(TppComponent* c);
  // The components whose text goes to the text-file export, in save order
  // (not owned; an object leaving the band leaves it too).
  std::vector<TppComponent*>& SaveList() { return saveList_; }

  // ---- events ----
  cls::TNotifyEvent AfterGenerate;
  cls::TNotifyEvent AfterPrint;
  cls::TNotifyEvent BeforeGenerate;
  cls::TNotifyEvent BeforePrint;

  std::string GetUserName() const override;
  void Notify(TppCommunicator* communicator, uint8_t operation) override;

  // ---- streams: the band sits in its report and holds its objects ----
  void GetChildren(const std::function<void(cls::TComponent*)>& proc, cls::TComponent* root) override;
  void SetParentComponent(cls::TComponent* parent) override;
  // mmHeight, mmBottomOffset and mmPrintPosition; older definitions'
  // OnPrint (the handler's name, kept), OnSaveLineEnd, OnSaveLineStart,
  // Left and Top (dropped).
  void DefineProperties(cls::TFiler* filer) override;

  // ---- virtual operations, in slot order ----
  virtual void DoAfterGenerate();
  virtual void DoAfterPrint();
  virtual void DoBeforeGenerate();
  virtual void DoBeforePrint();
  virtual uint8_t GetDefaultPrintMode() { return ppPrintOnce; }
  virtual std::string GetSortKey() = 0;
  virtual TppBandKinds GetKindFlag() = 0;
  virtual bool IsInsideColumns() { return true; }
  virtual void SetCaption(const std::string& text);
  virtual void SetPrintHeight(TppPrintHeightType value);
  virtual void SetReport(TppCustomReport* report);
  virtual void NotifyObjectsBeforeGeneration();
  virtual void EndPage() {}
  virtual void ReplaceDataPipeline(TppDataPipeline* pipeline, const std::string& name);
  virtual void Generate() = 0;
  virtual TppDataPipeline* GetDataPipeline();
  // Data-aware objects that follow the band's pipeline move from OLD to NEW:
  // one on OLD takes NEW; one on none takes NEW unless NEW lacks its field.
  void RebindDataPipeline(TppDataPipeline* oldPipeline, TppDataPipeline* newPipeline);
  virtual std::string GetCaptionText() { return caption_; }
  virtual void InitGeneration();
  virtual bool IsDetailLike() { return false; }
  virtual void LanguageChanged();
  virtual void PrepareObjects() {}
  virtual void FinishObjects() {}
  // Older definitions brought up to date: every object converts; before
  // 1270 the old OnPrint handler becomes BeforePrint; heights of versions
  // before 2097 were screen pixels; before 3000 a dynamic band keeps the
  // room below its lowest object as its bottom offset.
  virtual void Convert(int64_t version);
  // The design popup menu: DynamicHeight and StaticHeight (the current one
  // ticked, a click chooses it), CalcOrder, Position and Visible; kinds add
  // theirs. MENU is made when nil (the caller owns it).
  virtual void CreatePopupMenu(TppPopupMenu*& menu);
  virtual void UpdatePopupMenu(TppPopupMenu* menu);

  // The band type of the class; the name a fixed kind always answers
  // (empty for group bands) and its caption message.
  virtual TppBandType BandType() const = 0;
  virtual std::string FixedUserName() const { return std::string(); }
  virtual int CaptionMessage() const = 0;

 protected:
  void StorePrintHeight(TppPrintHeightType v) { printHeight_ = v; }
  void StoreHeight(int32_t v) { mmHeight_ = v; }
  void StoreVisible(bool v) { visible_ = v; }
  // The report's ResetJobState, when there is a report.
  void ReportChanged();
  bool Reading() const { return HasState(cls::csReading); }

 private:
  float ToUnits(int32_t value) const;
  int32_t FromUnits(float value) const;

  int32_t mmBottomOffset_ = 0;
  std::string oldOnPrint_;
  std::string caption_;
  int captionIndex_ = 0;
  int32_t mmHeight_ = 0;
  cls::TPtrList<TppComponent> objects_;
  std::vector<TppComponent*> saveList_;
  int32_t printCount_ = 0;
  TppPrintHeightType printHeight_ = phStatic;
  int32_t mmPrintPosition_ = 0;
  uint8_t printCountMode_ = ppPrintOnce;
  TppCustomReport* report_ = nullptr;
  bool save_ = false;
  TppUnitType units_ = utInches;
  bool visible_ = true;
  bool drawPage_ = true;

  friend class TppCustomBand;
};

// ---- TppCustomBand: a band that generates itself ----

// Its page-cache record: resume object and list indexes, PartialAdjustment
// (int32 each), OverFlow, PartialGeneration, PrintPositionBreak,
// PrintingSection (a byte each), then four bytes of the kind's own (20
// bytes; the detail and group header bands add four more).
class TppCustomBand : public TppBand, public TppBandGeneration {
  CLS_DECLARE_CLASS(TppCustomBand, TppBand)
 public:
  explicit TppCustomBand(cls::TComponent* owner);
  void Generate() override { GenerateBand(); }
  void InitGeneration() override;
  void SaveToCache(int32_t pageIndex) override;
  void RestoreFromCache(int32_t pageIndex) override;

 protected:
  static constexpr int32_t ppBandRecordSize = 20;
  // The kind's bytes of the record, from offset 16.
  virtual void WriteKindState(uint8_t*) {}
  virtual void ReadKindState(const uint8_t*) {}
};

class TppBasicBand : public TppCustomBand {
  CLS_DECLARE_CLASS(TppBasicBand, TppCustomBand)
 public:
  explicit TppBasicBand(cls::TComponent* owner) : TppCustomBand(owner) {}
};

// Header and footer.
class TppPageBand : public TppBasicBand {
  CLS_DECLARE_CLASS(TppPageBand, TppBasicBand)
 public:
  // Adds PrintOnFirstPage and PrintOnLastPage, ticked by their values; a
  // click toggles one.
  void CreatePopupMenu(TppPopupMenu*& menu) override;
  void UpdatePopupMenu(TppPopupMenu* menu) override;
  explicit TppPageBand(cls::TComponent* owner) : TppBasicBand(owner) {}
  bool PrintOnFirstPage() const { return printOnFirstPage_; }
  void SetPrintOnFirstPage(bool v);
  bool PrintOnLastPage() const { return printOnLastPage_; }
  void SetPrintOnLastPage(bool v);
  bool IsInsideColumns() override { return false; }
  void BeforeGeneration() override;

 private:
  bool printOnFirstPage_ = true;
  bool printOnLastPage_ = true;
};

// Title and summary.
class TppReportBand : public TppBasicBand {
  CLS_DECLARE_CLASS(TppReportBand, TppBasicBand)
 public:
  // Adds NewPage, ticked by its value; a click toggles it.
  void CreatePopupMenu(TppPopupMenu*& menu) override;
  void UpdatePopupMenu(TppPopupMenu* menu) override;
  explicit TppReportBand(cls::TComponent* owner) : TppBasicBand(owner) {}
  bool NewPage() const { return newPage_; }
  void SetNewPage(bool v);
  bool Printed() const { return printed_; }
  void SetPrinted(bool v) { printed_ = v; }
  bool IsInsideColumns() override { return false; }
  void InitGeneration() override;

 protected:
  void WriteKindState(uint8_t* kindBytes) override { kindBytes[0] = printed_; }
  void ReadKindState(const uint8_t* kindBytes) override { printed_ = kindBytes[0] != 0; }

 private:
  bool newPage_ = false;
  bool printed_ = false;
};

class TppHeaderBand : public TppPageBand {
  CLS_DECLARE_CLASS(TppHeaderBand, TppPageBand)
 public:
  explicit TppHeaderBand(cls::TComponent* owner);
  std::string GetSortKey() override;
  TppBandKinds GetKindFlag() override { return TppBandKind::bkHeader; }
  TppBandType BandType() const override { return TppBandType::btHeader; }
  std::string FixedUserName() const override { return "Header"; }
  int CaptionMessage() const override { return 193; }
  bool NeedsEngineStep() override { return true; }
};

class TppFooterBand : public TppPageBand {
  CLS_DECLARE_CLASS(TppFooterBand, TppPageBand)
 public:
  explicit TppFooterBand(cls::TComponent* owner);
  std::string GetSortKey() override;
  TppBandKinds GetKindFlag() override { return TppBandKind::bkFooter; }
  TppBandType BandType() const override { return TppBandType::btFooter; }
  std::string FixedUserName() const override { return "Footer"; }
  int CaptionMessage() const override { return 190; }
  // Always static.
  void SetPrintHeight(TppPrintHeightType) override {}
  void PlaceBand() override;
};

class TppTitleBand : public TppReportBand {
  CLS_DECLARE_CLASS(TppTitleBand, TppReportBand)
 public:
  explicit TppTitleBand(cls::TComponent* owner);
  std::string GetSortKey() override;
  TppBandKinds GetKindFlag() override { return TppBandKind::bkTitle; }
  TppBandType BandType() const override { return TppBandType::btTitle; }
  std::string FixedUserName() const override { return "Title"; }
  int CaptionMessage() const override { return 195; }
  bool NeedsEngineStep() override { return true; }
  void BeforeGeneration() override;
  void EndGeneration() override;
};

class TppSummaryBand : public TppReportBand {
  CLS_DECLARE_CLASS(TppSummaryBand, TppReportBand)
 public:
  explicit TppSummaryBand(cls::TComponent* owner);
  std::string GetSortKey() override;
  TppBandKinds GetKindFlag() override { return TppBandKind::bkSummary; }
  TppBandType BandType() const override { return TppBandType::btSummary; }
  std::string FixedUserName() const override { return "Summary"; }
  int CaptionMessage() const override { return 194; }
  void BeforeGeneration() override;
  void PlaceBand() override;
  void EndPage() override;
};

class TppColumnHeaderBand : public TppBasicBand {
  CLS_DECLARE_CLASS(TppColumnHeaderBand, TppBasicBand)
 public:
  explicit TppColumnHeaderBand(cls::TComponent* owner);
  std::string GetSortKey() override;
  TppBandKinds GetKindFlag() override { return TppBandKind::bkColumnHeader; }
  TppBandType BandType() const override { return TppBandType::btColumnHeader; }
  std::string FixedUserName() const override { return "ColumnHeader"; }
  int CaptionMessage() const override { return 188; }
  bool NeedsEngineStep() override { return true; }
};

class TppColumnFooterBand : public TppBasicBand {
  CLS_DECLARE_CLASS(TppColumnFooterBand, TppBasicBand)
 public:
  explicit TppColumnFooterBand(cls::TComponent* owner);
  std::string GetSortKey() override;
  TppBandKinds GetKindFlag() override { return TppBandKind::bkColumnFooter; }
  TppBandType BandType() const override { return TppBandType::btColumnFooter; }
  std::string FixedUserName() const override { return "ColumnFooter"; }
  int CaptionMessage() const override { return 187; }
  // Always static.
  void SetPrintHeight(TppPrintHeightType) override {}
  void PlaceBand() override;
};

// The detail band hands its generation to a band engine made at every
// InitGeneration by the band-engine hook; without one it answers the
// defaults (complete, resume indexes -1, everything else 0 or False).
class TppDetailBand : public TppBasicBand {
  CLS_DECLARE_CLASS(TppDetailBand, TppBasicBand)
 public:
  explicit TppDetailBand(cls::TComponent* owner);
  void BeforeDestruction() override;

  int32_t BandsPerRecord() const { return bandsPerRecord_; }
  void SetBandsPerRecord(int32_t v);
  TppColumnTraversalType ColumnTraversal() const { return columnTraversal_; }
  void SetColumnTraversal(TppColumnTraversalType v);
  TppDataPipeline* DataPipeline() const { return dataPipeline_; }
  void SetDataPipeline(TppDataPipeline* pipeline);
  // Streamed as DataPipelineName; a name read takes the listed pipeline
  // of that name after loading.
  // DataPipelineName; older definitions' DataSource (kept as the name),
  // NoRecordsAction and SkipWhenNoRecords (dropped).
  void DefineProperties(cls::TFiler* filer) override;
  // Before 3000 the report's old row spacing becomes the bottom offset.
  void Convert(int64_t version) override;
  void ResolveDataPipeline(const std::vector<TppDataPipeline*>& list);
  // The band engine of the current run, or nullptr.
  TppBandGeneration* BandEngine() const { return bandEngine_; }
  cls::TObject* BandEngineObject() const { return bandEngineObject_.get(); }

  std::string GetSortKey() override;
  TppBandKinds GetKindFlag() override { return TppBandKind::bkDetail; }
  TppBandType BandType() const override { return TppBandType::btDetail; }
  std::string FixedUserName() const override { return "Detail"; }
  int CaptionMessage() const override { return 189; }
  uint8_t GetDefaultPrintMode() override { return ppPrintUnlimited; }
  bool IsDetailLike() override { return true; }
  void SetPrintHeight(TppPrintHeightType value) override;
  TppDataPipeline* GetDataPipeline() override;
  void Notify(TppCommunicator* communicator, uint8_t operation) override;
  void InitGeneration() override;
  void Generate() override;
  void EndPage() override;

  bool GetAllObjectsPrinted() override;
  int32_t GetCount() override;
  int32_t GetCurrentPosition() override;
  int32_t GetCumulativeCurrentPosition() override;
  bool GetGenerating() override;
  bool GetGenerationComplete() override;
  TppStretchable* GetMaxStretchable() override;
  int32_t GetResumeListIndex() override;
  int32_t GetResumeObjectIndex() override;
  bool GetOutOfSpace() override;
  bool GetOverFlow() override;
  int32_t GetPageBottom() override;
  bool GetPartialGeneration() override;
  int32_t GetPartialAdjustment() override;
  bool GetPrintingSection() override;
  bool GetPrintPositionBreak() override;
  TppRect GetPrintRect() override;
  int32_t GetSpaceUsed() override;
  int32_t GetStartingPosition() override;
  void SetAllObjectsPrinted(bool v) override;
  void SetCount(int32_t v) override;
  void SetCurrentPosition(int32_t v) override;
  void SetCumulativeCurrentPosition(int32_t v) override;
  void SetGenerating(bool v) override;
  void SetGenerationComplete(bool v) override;
  void SetMaxStretchable(TppStretchable* v) override;
  void SetResumeListIndex(int32_t v) override;
  void SetResumeObjectIndex(int32_t v) override;
  void SetOutOfSpace(bool v) override;
  void SetOverFlow(bool v) override;
  void SetPageBottom(int32_t v) override;
  void SetPartialGeneration(bool v) override;
  void SetPartialAdjustment(int32_t v) override;
  void SetPrintingSection(bool v) override;
  void SetPrintPositionBreak(bool v) override;
  void SetPrintRect(const TppRect& v) override;
  void SetSpaceUsed(int32_t v) override;
  void SetStartingPosition(int32_t v) override;
  int32_t GetRecordCounter() override;
  void SetRecordCounter(int32_t v) override;

 protected:
  // The band engine's record counter.
  void WriteKindState(uint8_t* kindBytes) override;
  void ReadKindState(const uint8_t* kindBytes) override;

 private:
  void FreeBandEngine();
  int32_t bandsPerRecord_ = 1;
  TppColumnTraversalType columnTraversal_ = ctTopToBottom;
  TppDataPipeline* dataPipeline_ = nullptr;
  std::string dataPipelineName_;
  cls::Owned<cls::TObject> bandEngineObject_;
  TppBandGeneration* bandEngine_ = nullptr;
};

// The band engine a detail band runs on: an object that is also a
// TppBandGeneration (the hook gives both views of one object), or nullptr.
struct TppBandEngineRef {
  cls::TObject* Object = nullptr;
  TppBandGeneration* Generation = nullptr;
};
using TppDetailBandEngineCreator = TppBandEngineRef (*)(TppDetailBand* band);
void ppSetDetailBandEngineClass(TppDetailBandEngineCreator creator);
TppDetailBandEngineCreator ppGetDetailBandEngineClass();

class TppPageStyle : public TppBasicBand {
  CLS_DECLARE_CLASS(TppPageStyle, TppBasicBand)
 public:
  // Adds PageSetting (the registered page-setting dialog).
  void CreatePopupMenu(TppPopupMenu*& menu) override;
  explicit TppPageStyle(cls::TComponent* owner);
  std::string GetSortKey() override;
  TppBandKinds GetKindFlag() override { return TppBandKind::bkHeader; }
  TppBandType BandType() const override { return TppBandType::btPageStyle; }
  std::string FixedUserName() const override { return "PageStyle"; }
  int CaptionMessage() const override { return 691; }
  bool IsInsideColumns() override { return false; }
  bool IsDetailLike() override { return true; }
  bool NeedsEngineStep() override { return true; }

  TppPageSettingType PageSetting() const { return pageSetting_; }
  void SetPageSetting(TppPageSettingType v);
  int32_t StartPage() const { return startPage_; }
  void SetStartPage(int32_t v);
  int32_t EndPage_() const { return endPage_; }
  void SetEndPage(int32_t v);
  int32_t SinglePage() const { return singlePage_; }
  void SetSinglePage(int32_t v);
  // Page keys ("%8d").
  const cls::TStringList& PageList() const { return pageList_; }
  void SetPageList(const cls::TStringList& list);
  const std::string& ValidPages() const { return validPages_; }
  void SetValidPages(const std::string& text);
  // Whether the page style shows on absolute page N of a run whose page
  // count is COUNT when COUNTKNOWN.
  bool ShowsOnPage(int32_t n, bool countKnown, int32_t count);

  void BeforeGeneration() override;
  void PlaceBand() override;
  void AdvancePage() override;

 private:
  bool PrintingReport() const;
  TppPageSettingType pageSetting_ = TppPageSettingType::psAll;
  int32_t startPage_ = 0;
  int32_t endPage_ = 0;
  int32_t singlePage_ = 0;
  cls::TStringList pageList_;
  std::string validPages_;
  TppRect savedRect_;
};

// ---- group bands ----

class TppGroupBand : public TppCustomBand {
  CLS_DECLARE_CLASS(TppGroupBand, TppCustomBand)
 public:
  // Adds Groups (tells the designer, message 1130).
  void CreatePopupMenu(TppPopupMenu*& menu) override;
  explicit TppGroupBand(cls::TComponent* owner);
  TppGroup* Group() const { return group_; }
  // Joins GROUP (and its report); nullptr leaves the old one.
  void SetGroup(TppGroup* group);
  const std::string& Description() const { return Caption(); }
  bool Generation() const { return generation_; }
  void SetGeneration(bool v) { generation_ = v; }
  bool SaveGeneration() const { return saveGeneration_; }
  void SetSaveGeneration(bool v) { saveGeneration_ = v; }
  void BeforeDestruction() override;
  // The group index, -1 without a group.
  int GroupIndex() const;
  // A group band sits in its group in a stream.
  void SetParentComponent(cls::TComponent* parent) override;
  // The caption: the band's caption, "[group index]: " and the group's
  // break text (the plain caption without a group).
  void RefreshCaption();
  void LanguageChanged() override;

 protected:
  virtual void AttachToGroup(TppGroup* group, bool attach) = 0;
  // The group's band of this band's kind.
  virtual TppGroupBand* KindBandOf(TppGroup* group) = 0;
  void WriteKindState(uint8_t* kindBytes) override { kindBytes[0] = generation_; }
  void ReadKindState(const uint8_t* kindBytes) override { generation_ = kindBytes[0] != 0; }

 private:
  TppGroup* group_ = nullptr;
  bool generation_ = false;
  bool saveGeneration_ = false;
};

// A pending break (Generation) prints the header once: it may first take
// a new page or column (NewPage, NewColumn, the thresholds), starts the
// keep-together of its group and settles the deferred record step. Without
// one the header reprints at the top of the pages (and columns) its run
// continues on.
class TppGroupHeaderBand : public TppGroupBand {
  CLS_DECLARE_CLASS(TppGroupHeaderBand, TppGroupBand)
 public:
  explicit TppGroupHeaderBand(cls::TComponent* owner) : TppGroupBand(owner) {
    SetCacheRecordSize(ppBandRecordSize + 4);
  }
  std::string GetSortKey() override;
  TppBandKinds GetKindFlag() override;
  TppBandType BandType() const override { return TppBandType::btGroupHeader; }
  int CaptionMessage() const override { return 192; }
  bool AlreadyPageBreak() const { return alreadyPageBreak_; }
  void SetAlreadyPageBreak(bool v) { alreadyPageBreak_ = v; }
  bool NewColumnTaken() const { return newColumnTaken_; }
  void SetNewColumnTaken(bool v) { newColumnTaken_ = v; }
  void InitGeneration() override;
  void BeforeGeneration() override;
  void StartGeneration() override;
  void EndGeneration() override;

 protected:
  void AttachToGroup(TppGroup* group, bool attach) override;
  TppGroupBand* KindBandOf(TppGroup* group) override;
  void WriteKindState(uint8_t* kindBytes) override;
  void ReadKindState(const uint8_t* kindBytes) override;

 private:
  bool alreadyPageBreak_ = false;
  bool newColumnTaken_ = false;
};

// Prints once for a pending break (and for every run at the data end);
// the outermost footer lets the engine move the data on.
class TppGroupFooterBand : public TppGroupBand {
  CLS_DECLARE_CLASS(TppGroupFooterBand, TppGroupBand)
 public:
  explicit TppGroupFooterBand(cls::TComponent* owner) : TppGroupBand(owner) {}
  std::string GetSortKey() override;
  TppBandKinds GetKindFlag() override { return TppBandKind::bkGroupFooter; }
  TppBandType BandType() const override { return TppBandType::btGroupFooter; }
  int CaptionMessage() const override { return 191; }
  void InitGeneration() override;
  void BeforeGeneration() override;
  void StartGeneration() override;
  void EndGeneration() override;

 protected:
  void AttachToGroup(TppGroup* group, bool attach) override;
  TppGroupBand* KindBandOf(TppGroup* group) override;
};

// The columns the report prints: Columns, or 1 when it has no column width.
int ppColumnCount(TppCustomReport* report);

// The band class of each band type (group types give their band classes too).
cls::TClass ppBandClassOfType(TppBandType type);
// Registers the band classes and TppColumnTraversalType.
void ppRegisterBands();

// ---- scripting ----

class TraTppBandRTTI : public TraTppCacheableRTTI {
  RA_DECLARE_RTTI(TraTppBandRTTI, TraTppCacheableRTTI, TppBand)
};
