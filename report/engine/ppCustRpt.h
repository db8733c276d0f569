// TppCustomReport: the core of every report. It owns the bands, groups,
// column layout and the page-generation engine, keeps the report-wide
// settings and fires the report events while pages are generated.
#pragma once
#include <cstdint>
#include <functional>
#include <string>
#include <utility>
#include <vector>

#include "report/engine/ppEngTypes.h"
#include "report/engine/ppProd.h"
#include "report/engine/ppReportTemplate.h"
#include "report/model/ppIntf.h"
#include "report/model/ppTypes.h"

class TppBand;
class TppChildReport;
class TppCustomEngine;
class TppDevice;
class TppDataPipeline;
class TppGroup;

// OnNoData (Sender, aDialog, var aShowDialog, aDrawCommand, var aAddDrawCommand).
using TppNoDataEvent = cls::TMethodPointer<void(cls::TObject* Sender, cls::TObject* aDialog, bool& aShowDialog,
                                                cls::TObject* aDrawCommand, bool& aAddDrawCommand)>;

class TppCustomReport : public TppProducer, public IppCacheReport {
  CLS_DECLARE_CLASS(TppCustomReport, TppProducer)
 public:
  explicit TppCustomReport(cls::TComponent* owner);
  // Cache managers reset and let go, then bands, groups and the engine freed.
  void BeforeDestruction() override;

  // ---- published ----
  bool AutoStop() const { return autoStop_; }
  void SetAutoStop(bool v) { autoStop_ = v; }
  int Columns() const { return columns_; }
  void SetColumns(int value);
  // Column left positions in Units, one number per line. A line that is
  // no number raises EConvertError and keeps the stored positions.
  void GetColumnPositions(cls::TStringList& lines) const;
  void SetColumnPositions(const cls::TStringList& lines);
  // The shown positions refreshed, as an object the published property hands out.
  cls::TStringList* ColumnPositionsView() const;
  // The stored positions, thousandths of a millimetre as text.
  const cls::TStringList& StoredColumnPositions() const { return storedColumnPositions_; }
  float ColumnWidth() const;
  void SetColumnWidth(float value);
  int32_t mmColumnWidth() const { return mmColumnWidth_; }
  TppDataPipeline* DataPipeline() const { return dataPipeline_; }
  void SetDataPipeline(TppDataPipeline* pipeline);
  // The pipeline's name, kept while no pipeline of that name is found: a
  // stream names the pipeline, and the report takes the owner's pipeline
  // of that name after loading or, failing that, when it prints.
  const std::string& DataPipelineName() const { return dataPipelineName_; }
  // An older definition's row spacing (in Units), 0 when none was read.
  float OldRowSpacing() const { return oldRowSpacing_; }
  // Every pipeline name the report, its bands, objects (subreports with
  // their child reports) and groups keep and have no pipeline for, looked
  // up in PIPELINES.
  void ResolvePipelineNames(const std::vector<TppDataPipeline*>& pipelines);
  // The owner's pipelines, then those of the live data modules.
  std::vector<TppDataPipeline*> OwnersPipelines() const;
  TppNoDataBehaviors NoDataBehaviors() const { return noDataBehaviors_; }
  void SetNoDataBehaviors(TppNoDataBehaviors value);
  int PageLimit() const { return pageLimit_; }
  void SetPageLimit(int v);
  TppPassSettingType PassSetting() const { return passSetting_; }
  void SetPassSetting(TppPassSettingType v);
  bool SaveAsTemplate() const { return saveAsTemplate_; }
  void SetSaveAsTemplate(bool v) { saveAsTemplate_ = v; }
  TppUnitType Units() const { return units_; }
  void SetUnits(TppUnitType value);
  // The report's template (owned); setting copies into it.
  TppReportTemplate* Template() const { return template_.get(); }
  void SetTemplate(TppReportTemplate* value) { template_->Assign(value); }

  cls::TNotifyEvent OnEndColumn, OnEndFirstPass, OnEndPage, OnEndSecondPass, OnPrintingComplete, OnStartColumn,
      OnStartFirstPass, OnStartPage, OnStartSecondPass;
  TppNoDataEvent OnNoData;

  // ---- public ----
  TppCustomEngine* Engine() const { return engine_.get(); }
  int BandCount() const { return bands_.Count(); }
  TppBand* Bands(int i) const { return bands_[i]; }
  int IndexOfBand(const TppBand* band) const { return bands_.IndexOf(band); }
  int GroupCount() const { return groups_.Count(); }
  TppGroup* Groups(int i) const { return groups_[i]; }
  int IndexOfGroup(const TppGroup* group) const { return groups_.IndexOf(group); }
  TppBandTypes DefaultBandTypes() const { return defaultBandTypes_; }
  void SetDefaultBandTypes(TppBandTypes types) { defaultBandTypes_ = types; }
  bool Modified() const { return modified_; }
  int32_t AbsolutePageNo() const;
  int32_t AbsolutePageCount() const;
  int32_t PageNo() const;
  int32_t PageCount() const;
  int32_t CurrentColumn() const;
  bool FirstPass() const;
  bool SecondPass() const;
  // The printable page width and height (thousandths of a millimetre).
  int32_t PrintableWidth() const;
  int32_t PrintableHeight() const;

  // For types 3 and 5 the header or footer band of group GROUPINDEX (nil
  // out of range); else the first band of the type's class.
  TppBand* GetBand(TppBandType bandType, int groupIndex) const;
  // Bands join and leave through TppBand::SetReport; groups through TppGroup::SetReport.
  void AddBand(TppBand* band);
  void RemoveBand(TppBand* band);
  void AddGroup(TppGroup* group);
  void RemoveGroup(TppGroup* group);
  // Re-sorts the band list by the bands' sort keys.
  void SortBands();
  // Only when the report has no band: a band of each default type.
  void CreateDefaultBands();
  // Frees every group (with its bands) and every band.
  void ClearBandsAndGroups();
  // Frees the objects of every band (a subreport's child report emptied
  // first), then the groups and bands: the report is left empty.
  void FreeContents();

  // ---- subreports ----
  // The engine, every group, every band and each of its objects, then the
  // same for the child report of every subreport met on the way.
  void IterateObjects(const std::function<void(cls::TObject*)>& callback);
  // (UserName, child report) of the subreports of the bands that have a
  // child report; GetAllSubReports also those of the child reports.
  using TppSubReportList = std::vector<std::pair<std::string, TppChildReport*>>;
  void GetSubReports(TppSubReportList& list);
  void GetAllSubReports(TppSubReportList& list);
  // The report's children in the outline: the subreports of the bands
  // before the detail band, the first group (or the detail band's
  // subreports), then the subreports of the bands after it.
  void GetOutlineChildren(std::vector<cls::TObject*>& list);
  // The report that generates now: a child report while its subreport
  // makes its part, else this report.
  TppCustomReport* CurrentReport() { return currentReport_ ? currentReport_ : this; }
  void SetCurrentReport(TppCustomReport* report) { currentReport_ = report == this ? nullptr : report; }
  // The printer device of a section printed as a job of its own: it takes
  // the drawn pages instead of the publisher while it is set.
  TppDevice* SectionDevice() const { return sectionDevice_; }
  void SetSectionDevice(TppDevice* device) { sectionDevice_ = device; }
  // Passed to every band's objects (and, for the report's own pipeline,
  // nothing more until groups break on fields).
  void RenameDataField(TppDataPipeline* pipeline, const std::string& oldName, const std::string& newName);
  void ReplaceDataPipeline(TppDataPipeline* pipeline, const std::string& name);
  // Whether a page that cannot progress ends this report's job: a child
  // report's pages that are only its subreport's room are not judged.
  virtual bool JudgesPageProgress() { return true; }

  void Stop();
  void PageLimitReached();
  // Cancels the job with an EPrintError of CAUSE (CancelJob raises).
  // Every generation failure ends here.
  [[noreturn]] void FailGeneration(const std::string& cause);
  void ResetCaches();

  // Report events: the handler, then the event to subscribers.
  void DoOnEndColumn();
  void DoOnEndFirstPass();
  void DoOnEndPage();
  void DoOnEndSecondPass();
  void DoOnStartColumn();
  void DoOnStartFirstPass();
  void DoOnStartPage();
  void DoOnStartSecondPass();
  void DoOnNoData(cls::TObject* dialog, bool& showDialog, cls::TObject* drawCommand, bool& addDrawCommand);
  // The start of page generation (event 91).
  void NotifyGenerationStart();

  // ---- producer overrides ----
  void StartJob() override;
  void ResetJobState() override;
  // The child reports of the subreports hear them too: before printing
  // after this report, after printing before it.
  void NotifyBeforePrint() override;
  void NotifyAfterPrint() override;
  // Subreports with ParentPrinterSetup hand the new setup to their child.
  void PrinterSetupChanged() override;
  // The producer part, then ApplyPageLayout: pages made for the old paper
  // are not printed again.
  void PageDefChanged() override;
  // The producer part, a running engine cancelled, then EPrintError with
  // "Cannot generate report.", CR LF, CR LF and FAILURE's message.
  void CancelJob(const std::exception_ptr& failure) override;

  // ---- IppCacheReport ----
  void AddCacheManager(TppCacheManager* manager) override;
  void RemoveCacheManager(TppCacheManager* manager) override;
  IppCacheEngine* CacheEngine() override;
  void ForEachCacheObject(const std::function<void(cls::TObject*)>& proc) override;
  int CacheManagerCount() const { return cacheManagers_.Count(); }

  void Notify(TppCommunicator* communicator, uint8_t operation) override;
  // Event 73 from the data pipeline (before it closes) resets the caches
  // while the main report is not printing.
  void EventNotify(TppCommunicator* sender, int eventId, TraParamList* params) override;
  // A report always answers "Report".
  std::string GetUserName() const override { return "Report"; }
  // Ignoring case: the report, each band and its objects, each group;
  // else the owner's search, unless it finds a band, component or group
  // of another report.
  TppCommunicator* FindUserName(const std::string& name) override;
  // Bands keep their rule; another object gets its class name without
  // "Tpp" and the first number no object of its class in this report (for
  // a subreport: in the main report and all child reports) uses.
  void MakeUniqueUserName(cls::TComponent* component, std::string& name) override;

  // ---- streams ----
  // The producer part, then the report's settings as Assign copies them
  // (not the template), then OTHER's bands and groups move here; this
  // report's own go first.
  void Transfer(TppCommunicator* other) override;
  // With SaveAsTemplate and no template being read into it (flag 128 and
  // above clear): a child report tells its main report, then the
  // definition is loaded from the template (not for a main report at
  // design time).
  void Loaded() override;
  // mmColumnWidth, mmColumnPositions and DataPipelineName; an older
  // stream's DataPipeline reference is read as the name.
  void DefineProperties(cls::TFiler* filer) override;
  // The bands that are not group bands, the groups, then the relative
  // children (a parameter list, auto-search fields).
  void GetChildren(const std::function<void(cls::TComponent*)>& proc, cls::TComponent* root) override;
  // The producer's part, then older definitions' settings, then every
  // band and every group.
  void Convert(int64_t versionNo) override;
  // The published properties of the report classes.
  static void RegisterProperties();

  // ---- virtual operations, in slot order ----
  virtual void ChildTemplateLoaded(TppCustomReport*) {}
  virtual void SetModified(bool value);
  virtual void ApplyPageLayout();
  // The engine's end-of-page hook.
  virtual void CheckPageLimit(cls::TObject* sender);
  // The engine's send-page hook.
  virtual void SendPage(cls::TObject*) {}
  // The engine's outline step at each page end (the report component's).
  virtual void UpdateOutline() {}
  virtual std::string GetDescriptionText() { return std::string(); }
  virtual TppCustomReport* MainReport() { return this; }
  virtual std::string GetClassNameText() { return ClassName(); }
  virtual std::string GetDesignBitmapName() { return "PPNOREPORTBITMAP"; }
  virtual void NotifyBandsBeforeGeneration();
  virtual void IncludeFlags(TppEngineFlags flags);
  virtual void ExcludeFlags(TppEngineFlags flags);
  virtual void PrepareBandsAndGroups();
  virtual void FinishBandsAndGroups();
  virtual void CreateMissingBands() {}

 private:
  bool LoadingOrReading() const { return HasState(cls::csLoading) || HasState(cls::csReading); }
  bool Designing() const { return (StateFlags() & pstDesignerOpen) != 0; }
  TppBand* NewBandOfClass(cls::TClass c);
  // Joins PIPELINE's notification links and events, leaving the old one's.
  void LinkDataPipeline(TppDataPipeline* pipeline);
  // Without a pipeline, the pipeline of the kept name among PIPELINES, if any.
  void ResolveDataPipelineName(const std::vector<TppDataPipeline*>& pipelines);

  bool autoStop_ = true;
  cls::TPtrList<TppBand> bands_;
  cls::TPtrList<TppCacheManager> cacheManagers_;
  int columns_ = 1;
  int32_t mmColumnWidth_ = 0;
  TppDataPipeline* dataPipeline_ = nullptr;
  std::string dataPipelineName_;
  // Older definitions': the column width as read (in Units) and the row
  // spacing.
  float oldColumnWidth_ = 0;
  float oldRowSpacing_ = 0;
  // ColumnPositions as the shown list (the published property's object).
  mutable cls::TStringList columnPositionsView_;
  TppBandTypes defaultBandTypes_ = ppDefaultBandTypes;
  cls::Owned<TppCustomEngine> engine_;
  cls::TStringList storedColumnPositions_;
  cls::TPtrList<TppGroup> groups_;
  bool modified_ = false;
  TppNoDataBehaviors noDataBehaviors_{ndBlankPage};
  int pageLimit_ = 0;
  TppPassSettingType passSetting_ = TppPassSettingType::psOnePass;
  bool saveAsTemplate_ = false;
  TppUnitType units_ = utInches;
  bool destroying_ = false;
  TppCustomReport* currentReport_ = nullptr;
  TppDevice* sectionDevice_ = nullptr;
  cls::Owned<TppReportTemplate> template_;
};

// ---- scripting ----

class TraTppCustomReportRTTI : public TraTppProducerRTTI {
  RA_DECLARE_RTTI(TraTppCustomReportRTTI, TraTppProducerRTTI, TppCustomReport)
};
