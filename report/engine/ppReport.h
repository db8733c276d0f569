// The report components. TppBandedReport names the band kinds and makes
// the bands a job needs; TppReport is the report placed on a form: it adds
// the page cache that lets the engine make any page again, hands finished
// pages to the publisher and generates for the publisher's page requests;
// TppChildReport is the report a subreport owns, which leaves job-level
// decisions to its main report.
//
// The outline and templates come with their own units.
#pragma once
#include <vector>

#include "report/engine/ppAutoSearchField.h"
#include "report/engine/ppCustEng.h"
#include "report/engine/ppCustRpt.h"
#include "report/engine/ppOutline.h"
#include "report/model/ppCache.h"
#include "report/model/ppParameter.h"

class TppSubReport;

class TppBandedReport : public TppCustomReport {
  CLS_DECLARE_CLASS(TppBandedReport, TppCustomReport)
 public:
  explicit TppBandedReport(cls::TComponent* owner) : TppCustomReport(owner) {}

  // nullptr when the band exists; else a band of the type's class in the
  // report's owner (group bands join group GROUPINDEX).
  TppBand* CreateBand(TppBandType type, int groupIndex);
  TppBand* TitleBand() const { return GetBand(TppBandType::btTitle, 0); }
  TppBand* HeaderBand() const { return GetBand(TppBandType::btHeader, 0); }
  TppBand* ColumnHeaderBand() const { return GetBand(TppBandType::btColumnHeader, 0); }
  TppBand* ColumnFooterBand() const { return GetBand(TppBandType::btColumnFooter, 0); }
  TppBand* FooterBand() const { return GetBand(TppBandType::btFooter, 0); }
  TppBand* SummaryBand() const { return GetBand(TppBandType::btSummary, 0); }
  TppBand* GroupHeaderBand(int i) const { return GetBand(TppBandType::btGroupHeader, i); }
  TppBand* GroupFooterBand(int i) const { return GetBand(TppBandType::btGroupFooter, i); }
  // Made when absent.
  TppBand* DetailBand();

  // No band at all: the default set; then the detail band and every
  // group's header and footer where missing.
  void CreateMissingBands() override;
  // The missing bands first.
  void StartJob() override;
};

// OnOutlineNodeCreate (Sender, Node, var Accept).
using TppOutlineNodeCreateEvent = cls::TMethodPointer<void(cls::TObject* Sender, cls::TObject* Node, bool& Accept)>;

class TppReport : public TppBandedReport, public IppOutlineParticipant {
  CLS_DECLARE_CLASS(TppReport, TppBandedReport)
 public:
  explicit TppReport(cls::TComponent* owner);
  void BeforeDestruction() override;

  bool CachePages() const { return cachePages_; }
  void SetCachePages(bool v);
  TppCacheManager* CacheManager() const { return cacheManager_.get(); }

  // PrePrint decides whether the producer prints.
  void Print() override;
  // With ShowAutoSearchDialog the dialog's answer, else True; then, unless
  // the engine is initialised, OnGetAutoSearchValues when there are
  // auto-search fields.
  bool PrePrint();
  void PrintToDevices() override;
  // Generates the pages the publisher asks for.
  void PageRequest(cls::TObject* Sender, TppPageRequest* aPageRequest) override;
  // The engine's page to the publisher, or a drawn page to the printer
  // device of a section that prints as a job of its own.
  void SendPage(cls::TObject* Sender) override;
  void Cancel() override;
  // For every subreport (nested ones too): 0 resets its child report's
  // engine, 1 sets ExpandAll, 2 clears it.
  void ExpandSubReports(int mode);

 private:
  void CacheStartGeneration(cls::TObject*);
  void CacheStartPage(cls::TObject*);
  void CachePagePositionSaved(cls::TObject*);
  void CachePageRequest(cls::TObject*, int32_t& availablePage);

  cls::Owned<TppCacheManager> cacheManager_;
  bool cachePages_ = false;
  bool prePrinting_ = false;

 public:
  // ---- auto search ----
  // Event 72; True without ShowAutoSearchDialog, without a registered
  // dialog class or without fields. Else the dialog runs modally and the
  // answer is whether it closed with OK; on OK the job state and engine
  // are reset and, outside PrePrint, OnGetAutoSearchValues fires.
  bool ExecuteAutoSearchDialog() override;
  // A new field owned by the report with a unique name; event 66 with
  // "aAutoSearchField".
  TppAutoSearchField* CreateAutoSearchCriteria(const std::string& dataPipelineName, const std::string& fieldName,
                                               TppSearchOperatorType op, const std::string& expression,
                                               bool mandatory);
  // The first field of the pipeline and field name (case ignored), or nullptr.
  TppAutoSearchField* AutoSearchCriteriaByName(const std::string& dataPipelineName,
                                               const std::string& fieldName) const;
  // A background job's copy of the fields (a TppAutoSearchGroups), nullptr
  // without fields; and its values given to this report's fields: fields
  // made from the copy when it has none, else the search values taken
  // field by field (EBackgroundPrintError when the counts differ).
  cls::TObject* CopyAutoSearchFields() override;
  void TransferAutoSearchFields(cls::TObject* fields) override;
  int AutoSearchFieldCount() const { return autoSearchFields_.Count(); }
  TppAutoSearchField* AutoSearchFields(int index) const;
  std::vector<TppAutoSearchField*> AutoSearchFieldList() const;
  // The fields' descriptions joined with " " (the first marked first).
  std::string AutoSearchDescription();
  std::string GetAutoSearchDescriptionAsString() { return AutoSearchDescription(); }
  // One line per field that has a description.
  void GetAutoSearchDescriptionLines(cls::TStringList* lines);
  TppCustomAutoSearchDialog* AutoSearchDialog() const { return autoSearchDialog_; }

  cls::TNotifyEvent BeforeAutoSearchDialogCreate;
  cls::TNotifyEvent AfterAutoSearchDialogCreate;
  cls::TNotifyEvent OnAutoSearchDialogClose;
  cls::TNotifyEvent OnGetAutoSearchValues;

  // Subscribers' events 12 and 72 fire the handlers.
  void EventNotify(TppCommunicator* sender, int eventId, TraParamList* params) override;
  void Notify(TppCommunicator* communicator, uint8_t operation) override;

 private:
  void DoBeforeAutoSearchDialogCreate();
  void DoAfterAutoSearchDialogCreate();
  void DoOnAutoSearchDialogClose();
  void DoOnGetAutoSearchValues();
  void FreeAutoSearchDialog();

  TppCustomAutoSearchDialog* autoSearchDialog_ = nullptr;
  cls::TPtrList<TppAutoSearchField> autoSearchFields_;

 public:
  // Made on first use, owned like the report and its child; setting copies
  // into it.
  TppParameterList* Parameters();
  void SetParameters(TppParameterList* value) { Parameters()->Assign(value); }
  // A parameter list added as a child replaces (and frees) Parameters,
  // except while reading: a second list read raises EReadError. Removed
  // (or freed elsewhere), it is no longer the report's. An
  // auto-search field joins (or leaves) the auto-search list, linked, and
  // the job state is reset.
  void InsertChild(int index, TppRelative* child) override;
  void RemoveChild(TppRelative* child) override;

 private:
  struct TDetachedParameters {
    TppParameterList* List;
    int Position;
  };
  TDetachedParameters DetachParameters();
  // Runs TRANSFER (the relative children move) with both reports' lists
  // set aside, then the parameters of FROM's list move into this report's
  // own list: a caller's pointer to Parameters stays good.
  void TransferParameters(TppReport* from, const std::function<void()>& transfer);
  TppParameterList* parameters_ = nullptr;

  // ---- outline (ppReportOutline.cpp) ----
 public:
  TppOutlineReportSettings* OutlineSettings() override { return &outlineSettings_; }
  void SetOutlineSettings(TppOutlineSettings* value) { outlineSettings_.Assign(value); }
  // Made on first use; nullptr until then and after ResetJobState.
  TppOutline* Outline() const { return outline_.get(); }
  TppOutline* CreateOutline();
  TppOutlineNodeCreateEvent OnOutlineNodeCreate;
  // After the page-end event: with OutlineSettings.Enabled the page gets
  // the outline as it stands.
  void UpdateOutline() override;
  // Unless printing, the outline goes.
  void ResetJobState() override;
  // Below 6100 the outline is disabled.
  void Convert(int64_t versionNo) override;
  // The producer's and report's settings, then OutlineSettings and the
  // rest the report publishes; the parameters move into this report's own
  // list.
  void Transfer(TppCommunicator* other) override;
  // Message 374, ": " and the pipeline's name.
  std::string GetDescriptionText() override;

  // ---- IppOutlineParticipant ----
  void OutlineChildren(std::vector<cls::TObject*>& list) override { GetOutlineChildren(list); }
  cls::TClass OutlineNodeCreatorClass() override;
  void OutlineSettingsChanged() override {}
  static void RegisterOutlineProperties();

 private:
  // Before a generation starts: the outline made when missing and reset.
  void PrepareOutline();
  // Event 88 (Node, Accept), then OnOutlineNodeCreate.
  void OutlineNodeCreate(cls::TComponent* component, TppOutlineNode* node, bool& accept);
  TppOutlineReportSettings outlineSettings_{this};
  cls::Owned<TppOutline> outline_;
};

class TppChildReport : public TppBandedReport {
  CLS_DECLARE_CLASS(TppChildReport, TppBandedReport)
 public:
  explicit TppChildReport(cls::TComponent* owner) : TppBandedReport(owner) {}

  // The report whose subreport holds this one; set by the subreport.
  void SetParentReport(TppCustomReport* parent) { parentReport_ = parent; }
  TppCustomReport* ParentReport() const { return parentReport_; }
  // The subreport that owns this report; set by the subreport.
  TppSubReport* ParentSubReport() const { return parentSubReport_; }
  void SetParentSubReport(TppSubReport* subReport) { parentSubReport_ = subReport; }
  // A subreport read around the child report takes it.
  void SetParentComponent(cls::TComponent* parent) override;
  // Only a section's pages are pages of their own.
  bool JudgesPageProgress() override;
  // A setup that no longer matches the main report's clears the
  // subreport's ParentPrinterSetup.
  void PrinterSetupChanged() override;
  // The parent's main report; this report outside a subreport.
  TppCustomReport* MainReport() override;
  // The subreport's caption.
  std::string GetDescriptionText() override;

  void SetModified(bool value) override;
  // Acts on the main report; nothing outside a subreport.
  void ResetJobState() override;
  // The producer part, the own engine, and a main report that is no TppReport.
  void Cancel() override;
  // The own engine's flags and the parent's.
  void IncludeFlags(TppEngineFlags flags) override;
  void ExcludeFlags(TppEngineFlags flags) override;

 private:
  TppCustomReport* parentReport_ = nullptr;
  TppSubReport* parentSubReport_ = nullptr;
};

// The page cache of REPORT's main report; nullptr when that is no TppReport.
TppCacheManager* ppPageCache(TppCustomReport* report);

// Registers the report classes with the class registry.
void ppRegisterReportUnit();

// ---- scripting ----

class TraTppBandedReportRTTI : public TraTppCustomReportRTTI {
  RA_DECLARE_RTTI(TraTppBandedReportRTTI, TraTppCustomReportRTTI, TppBandedReport)
};

// The cache, parameters and auto search: AutoSearchFields (Index),
// AutoSearchFieldCount, AutoSearchDescription, AutoSearchDialog and the
// methods AutoSearchCriteriaByName, CreateAutoSearchCriteria,
// GetAutoSearchDescriptionLines, GetAutoSearchDescriptionAsString.
class TraTppReportRTTI : public TraTppBandedReportRTTI {
  RA_DECLARE_RTTI(TraTppReportRTTI, TraTppBandedReportRTTI, TppReport)
};
