// TppSubReport: a stretchable that embeds a whole report, the TppChildReport
// it owns, in a band of its parent report. By PrintBehavior the child's
// output fills the room the subreport has on the parent's page and goes on
// on the next page (pbChild), prints as pages of its own in place of the
// parent's (pbSection), or stays inside the design rectangle (pbFixed). A
// drill-down subreport stays collapsed until its drill-down component is
// clicked in a viewer.
#pragma once
#include <cstdint>
#include <map>
#include <string>

#include "report/engine/ppEngTypes.h"
#include "report/engine/ppOutline.h"
#include "report/engine/ppStrtch.h"

class TppChildReport;
class TppCustomEngine;
class TppCustomReport;
class TppDevice;
class TppPrinterDevice;

// The child report's default band sets: title, detail, summary (146) for
// pbChild; header, detail, footer (273) for the others.
TppBandTypes ppSubReportBandTypes(TppPrintBehaviorType behavior);

class TppSubReport : public TppStretchable, public IppOutlineParticipant {
  CLS_DECLARE_CLASS(TppSubReport, TppStretchable)
 public:
  explicit TppSubReport(cls::TComponent* owner);
  // The section's own printer device is cancelled, the child report freed.
  void BeforeDestruction() override;

  // ---- published ----
  bool ExpandAll() const { return expandAll_; }
  void SetExpandAll(bool value);
  // Drops a component that left the band (not while writing).
  TppComponent* DrillDownComponent();
  void SetDrillDownComponent(TppComponent* component);
  bool NewPrintJob() const { return newPrintJob_; }
  void SetNewPrintJob(bool value);
  bool ParentPrinterSetup() const { return parentPrinterSetup_; }
  void SetParentPrinterSetup(bool value);
  TppPrintBehaviorType PrintBehavior() const { return printBehavior_; }
  void SetPrintBehavior(TppPrintBehaviorType value);
  bool ResetPageNo() const { return resetPageNo_; }
  void SetResetPageNo(bool value);
  bool TraverseAllData() const { return traverseAllData_; }
  void SetTraverseAllData(bool value);

  // ---- public ----
  // The child report (nullptr until the subreport has a band of a report).
  TppChildReport* Report() const { return child_; }
  // Makes the child report when there is none yet (OWNERREPORT: the
  // report of the subreport's band).
  void CreateChildReport(TppCustomReport* ownerReport);
  // A child report read from a stream inside the subreport takes the place
  // of the one made with the band (which is freed).
  void AdoptChildReport(TppChildReport* child);
  // Streams hold the child report inside the subreport.
  void GetChildren(const std::function<void(cls::TComponent*)>& proc, cls::TComponent* root) override;
  // UserName + ": " + the pipeline's UserName (or "No Data Pipeline Assigned").
  void GetCaption(std::string& text) override;

  // ---- drill-down ----
  // Printed instances so far in this run.
  int32_t Count() const { return instanceCount_; }
  // The band report's key: empty for the main report, else the key of the
  // subreport instance that holds it.
  std::string CurrentReportKey() const;
  // CurrentReportKey followed by the instance counter as "%8d".
  std::string CurrentExpansionKey() const;
  bool DrillDownExpanded() const;
  int ExpansionCount() const { return expansions_.Count(); }
  std::string Expansions(int index) const;
  // What a click on a drill-down command does: the key goes into the
  // expansions or leaves them, and the main report regenerates.
  void ToggleExpansion(const std::string& key);
  // The key a drill-down command was made with; empty when unknown.
  std::string CommandExpansionKey(const TppDrawCommand* command) const;

  // A drill-down component is assigned and the behaviour is not pbSection.
  bool IsDrillDown();

  // ---- outline ----
  TppOutlineSettings* OutlineSettings() override { return &outlineSettings_; }
  // The child report's outline children.
  void OutlineChildren(std::vector<cls::TObject*>& list) override;
  cls::TClass OutlineNodeCreatorClass() override { return &TppOutlineReportNodeCreator::StaticClass(); }
  void OutlineSettingsChanged() override {}

  // The printer device of a NewPrintJob section while its job is open.
  TppPrinterDevice* SectionDevice() const { return sectionDevice_; }
  // Whether the child's pages are pages of their own (pbSection) rather
  // than the room of the subreport on its parent's page.
  bool ChildPagesArePages() const { return printBehavior_ == pbSection; }

  // ---- overrides ----
  void SetBand(TppCustomBand* band) override;
  void SetRegion(TppComponent* region) override;
  void SetParentWidth(bool value) override;
  void SetShiftRelativeTo(TppStretchable* target) override;
  void SetDataPipeline(TppDataPipeline* value) override;
  void SetUserName(const std::string& name) override;
  void UpdateDataFieldName(TppDataPipeline* pipeline, const std::string& oldName,
                           const std::string& newName) override;
  void ReplaceDataPipeline(TppDataPipeline* pipeline, const std::string& name) override;
  void AddDataPipelineToList(std::vector<TppDataPipeline*>& list) override;
  // Not data-aware, yet it names the pipeline it hands its child report;
  // then the child report resolves its own names.
  void ResolveDataPipeline(const std::vector<TppDataPipeline*>& list) override;
  bool HasColor() override { return false; }
  bool HasFont() override { return false; }
  void Notify(TppCommunicator* communicator, uint8_t operation) override;
  void EventNotify(TppCommunicator* sender, int eventId, TraParamList* params) override;

  // "Caption" of older streams is read and dropped.
  void DefineProperties(cls::TFiler* filer) override;

  void InitGeneration() override;
  void CalcPrintExtent() override;
  // pbChild and pbFixed move the child page's commands onto PAGE.
  void PrintToPage(TppPage* page) override;
  void UpdateDrawComponent() override;
  // The stretchable's items (Stretch hidden), the print behaviours (one
  // ticked, a click chooses it) and the subreport's own check items.
  void CreatePopupMenu(TppPopupMenu*& menu) override;
  // Ticks and enables the items by PrintBehavior and the drill-down
  // component.
  void UpdatePopupMenu(TppPopupMenu* menu) override;
  // The stretchable's record, then started, generated, child overflow
  // state, child page number, recorded and saved page numbers, instance
  // counter.
  void SaveToCache(int32_t pageIndex) override;
  void RestoreFromCache(int32_t pageIndex) override;

  static constexpr int32_t ppSubReportRecordSize = 32;

 private:
  TppCustomReport* BandReport() const;
  TppCustomEngine* ChildEngine() const;
  TppCustomEngine* ParentEngine() const;
  bool InRegion() const { return Region() != nullptr; }
  bool Collapsed() const;
  void GenerateAsChild();
  void GenerateFixed();
  void GenerateSection();
  void StartSection();
  void RequestChildPage();
  void ChildPageRequest(cls::TObject* sender, int32_t& availablePage);
  // The child page's geometry: HEIGHT x WIDTH with no margins.
  void SetChildRoom(int32_t height, int32_t width);
  void RestartChild();
  void SavePageState();
  void UpdateInstanceRecords();
  void MoveChildDrawCommands(TppPage* page);
  void CreateSectionDevice();
  // Ends the section's own job (kept when FINISHED, else given up).
  void FreeSectionDevice(bool finished);
  void BindDrillDownHandlers(bool bind);
  void DrillDownCommandCreate(cls::TObject* sender, cls::TObject* command);
  void DrillDownCommandClick(cls::TObject* sender, cls::TObject* command);
  void UpdateChildBandTypes();
  bool Streaming() const { return LoadingOrReading(); }

  bool sectionFlag_ = false;
  bool expandAll_ = false;
  bool childOverflowState_ = false;
  TppComponent* drillDownComponent_ = nullptr;
  cls::TStringList expansions_;
  bool newPrintJob_ = false;
  bool parentPrinterSetup_ = true;
  TppPrintBehaviorType printBehavior_ = pbChild;
  TppChildReport* child_ = nullptr;
  int32_t savedPageNo_ = 0;
  bool generated_ = false;
  int32_t childPageNo_ = 1;
  bool resetPageNo_ = true;
  bool started_ = false;
  bool traverseAllData_ = false;
  // Run state.
  int32_t recordedPageNo_ = 0;
  int32_t instanceCount_ = 0;
  bool generatedThisPass_ = false;
  bool allSections_ = false;
  bool restartDue_ = false;
  bool hasContent_ = false;
  bool subscribed_ = false;
  TppPrinterDevice* sectionDevice_ = nullptr;
  std::map<const TppDrawCommand*, std::string> commandKeys_;
  TppOutlineSettings outlineSettings_{this};
};

// Registers TppSubReport and "TppPrintBehaviorType".
void ppRegisterSubReportUnit();

// ---- scripting ----

class TraTppSubReportRTTI : public TraTppStretchableRTTI {
  RA_DECLARE_RTTI(TraTppSubReportRTTI, TraTppStretchableRTTI, TppSubReport)
};
