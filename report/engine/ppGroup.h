// TppGroup: a run of detail records with the same break value, printed
// between its header and footer bands. The group tests each record for a
// break, keeps a run together on one page (its own cache and page copy),
// and numbers pages within a run; the engine drives it record by record.
//
// Page-cache record, 24 bytes, int32 in host order, flags a byte:
//    0 FirstPageNo   4 LastPageNo   8 Breaking   12 BreakNo
//   16 FirstColumn  20 KeptTogether
#pragma once
#include <cstdint>
#include <string>
#include <vector>

#include "report/engine/ppOutline.h"
#include "report/model/ppCache.h"
#include "report/model/ppTypes.h"
#include "report/model/ppUtils.h"

class TppComponent;
class TppCustomReport;
class TppDataPipeline;
class TppGroupFooterBand;
class TppGroupHeaderBand;
class TppPage;

// OnGetBreakValue (Sender, var aBreakValue).
using TppGetBreakValueEvent = cls::TMethodPointer<void(cls::TObject* Sender, std::string& aBreakValue)>;

class TppGroup : public TppCacheable, public IppOutlineParticipant {
  CLS_DECLARE_CLASS(TppGroup, TppCacheable)
 public:
  static constexpr int32_t ppGroupRecordSize = 24;

  explicit TppGroup(cls::TComponent* owner);
  // Frees its two bands, its keep-together cache and page, and leaves its
  // report, pipeline and break component.
  void BeforeDestruction() override;

  // ---- links ----
  TppCustomReport* Report() const { return report_; }
  void SetReport(TppCustomReport* report);
  TppGroupHeaderBand* HeaderBand() const { return headerBand_; }
  TppGroupFooterBand* FooterBand() const { return footerBand_; }
  TppDataPipeline* DataPipeline() const { return dataPipeline_; }
  void SetDataPipeline(TppDataPipeline* pipeline);
  const std::string& DataPipelineName() const { return dataPipelineName_; }
  // For a custom break, the report's component whose UserName is BreakName.
  TppComponent* BreakComponent();
  // The group's index in its report's group list, -1 without a report.
  int GroupNo() const;

  // ---- published ----
  TppBreakType BreakType() const { return breakType_; }
  void SetBreakType(TppBreakType v);
  const std::string& BreakName() const { return breakName_; }
  void SetBreakName(const std::string& v);
  bool HeaderForOrphanedFooter() const { return headerForOrphanedFooter_; }
  void SetHeaderForOrphanedFooter(bool v);
  bool KeepTogether() const { return keepTogether_; }
  void SetKeepTogether(bool v);
  bool NewPage() const { return newPage_; }
  void SetNewPage(bool v);
  bool NewColumn() const { return newColumn_; }
  void SetNewColumn(bool v);
  float NewPageThreshold() const;
  void SetNewPageThreshold(float v);
  float NewColumnThreshold() const;
  void SetNewColumnThreshold(float v);
  int32_t mmNewPageThreshold() const { return mmNewPageThreshold_; }
  void SetmmNewPageThreshold(int32_t v);
  int32_t mmNewColumnThreshold() const { return mmNewColumnThreshold_; }
  void SetmmNewColumnThreshold(int32_t v);
  bool ResetPageNo() const { return resetPageNo_; }
  void SetResetPageNo(bool v);
  bool ReprintOnSubsequentPage() const { return reprintOnSubsequentPage_; }
  void SetReprintOnSubsequentPage(bool v);
  bool ReprintOnSubsequentColumn() const { return reprintOnSubsequentColumn_; }
  void SetReprintOnSubsequentColumn(bool v);
  int32_t Tag() const { return tag_; }
  void SetTag(int32_t v) { tag_ = v; }
  TppUnitType Units() const { return units_; }
  void SetUnits(TppUnitType v) { units_ = v; }

  cls::TNotifyEvent AfterGroupBreak;
  cls::TNotifyEvent BeforeGroupBreak;
  cls::TNotifyEvent BeforeHeader;
  cls::TNotifyEvent BeforeFooter;
  TppGetBreakValueEvent OnGetBreakValue;

  // ---- run state ----
  bool Breaking() const { return breaking_; }
  int32_t BreakNo() const { return breakNo_; }
  const std::string& BreakValue() const { return breakValue_; }
  const std::string& PriorValue() const { return priorValue_; }
  int32_t FirstPageNo() const { return firstPageNo_; }
  void SetFirstPageNo(int32_t v) { firstPageNo_ = v; }
  int32_t LastPageNo() const { return lastPageNo_; }
  int32_t FirstColumn() const { return firstColumn_; }
  void SetFirstColumn(int32_t v) { firstColumn_ = v; }
  bool KeptTogether() const { return keptTogether_; }
  void SetKeptTogether(bool v) { keptTogether_ = v; }
  // Within the run: AbsolutePageNo - FirstPageNo + 1, LastPageNo -
  // FirstPageNo + 1, AbsolutePageNo = FirstPageNo (0 or False without an
  // engine).
  int32_t PageNo() const;
  int32_t PageCount() const;
  bool FirstPage() const;
  std::string Description();
  // The field's display name, the break name, or message 300 / 301.
  std::string BreakText();

  // ---- what the engine and the group bands call ----
  // The break field's (or component's) text, through OnGetBreakValue and
  // event 31; empty when the field, pipeline or component is missing.
  std::string CurrentValue();
  // PriorValue := BreakValue, BreakValue := the current value; whether
  // that is a break.
  bool CheckForBreak();
  void TriggerBreak();
  // Start of a generation.
  void Reset();
  void ResetBreakValue();
  // LastPageNo := the engine's page, and the cached pages of this run learn
  // the run's first and last page.
  void UpdateLastPageNo();
  // Keep-together: the generation's preparation, the start of a run, and
  // the rollback when the run does not fit.
  void PrepareKeepTogether();
  void StartKeepTogether();
  void RollbackKeepTogether();
  // The group events the bands fire.
  void DoBeforeGroupBreak();
  void DoAfterGroupBreak();
  void DoBeforeHeader();
  void DoBeforeFooter();

  // ---- cacheable ----
  void ResetCache(int32_t pageIndex) override;
  void RestoreFromCache(int32_t pageIndex) override;
  void SaveToCache(int32_t pageIndex) override;

  // ---- virtual operations, in slot order ----
  virtual void StartState();
  virtual void RefreshCaptions();
  virtual void Convert(int64_t version);

  // After a change of the group list: the bands take their new sort keys.
  void RefreshBands();
  // Whether the group is the engine's keep-together group.
  bool IsKeepTogetherGroup() const;

  void Notify(TppCommunicator* communicator, uint8_t operation) override;
  void DefineProperties(cls::TFiler* filer) override;
  void Loaded() override;
  // A field-break group without a pipeline takes the one the stream named.
  void ResolveDataPipeline(const std::vector<TppDataPipeline*>& list);
  // Registers the published properties.
  static void RegisterProperties();

  // ---- outline ----
  TppOutlineSettings* OutlineSettings() override { return &outlineSettings_; }
  // The next inner group; the innermost group's: the detail band's subreports.
  void OutlineChildren(std::vector<cls::TObject*>& list) override;
  cls::TClass OutlineNodeCreatorClass() override { return &TppOutlineGroupNodeCreator::StaticClass(); }
  void OutlineSettingsChanged() override {}

  // Streams: the group sits in its report and holds its two bands.
  void GetChildren(const std::function<void(cls::TComponent*)>& proc, cls::TComponent* root) override;
  void SetParentComponent(cls::TComponent* parent) override;

 private:
  friend class TppGroupHeaderBand;
  friend class TppGroupFooterBand;
  void Changed();
  void LeaveBreakComponent();
  TppComponent* FindBreakComponent(const std::string& name) const;
  // The engine of the report, or nullptr.
  class TppCustomEngine* Engine() const;

  TppComponent* breakComponent_ = nullptr;
  bool breakComponentStale_ = true;
  bool breaking_ = false;
  int32_t breakNo_ = 0;
  TppBreakType breakType_ = btDataField;
  std::string breakName_;
  std::string breakValue_;
  cls::Owned<TppCacheManager> cacheManager_;
  TppDataPipeline* dataPipeline_ = nullptr;
  std::string dataPipelineName_;
  int32_t firstColumn_ = 1;
  int32_t firstPageNo_ = 1;
  TppCustomReport* report_ = nullptr;
  TppGroupHeaderBand* headerBand_ = nullptr;
  TppGroupFooterBand* footerBand_ = nullptr;
  bool headerForOrphanedFooter_ = true;
  bool keepTogether_ = false;
  bool keptTogether_ = false;
  int32_t lastPageNo_ = 1;
  bool newColumn_ = false;
  bool newPage_ = false;
  int32_t mmNewColumnThreshold_ = 0;
  int32_t mmNewPageThreshold_ = 0;
  cls::Owned<TppPage> page_;
  std::string priorValue_;
  bool reprintOnSubsequentColumn_ = true;
  bool reprintOnSubsequentPage_ = true;
  bool resetPageNo_ = false;
  bool busy_ = false;
  int32_t tag_ = 0;
  TppUnitType units_ = utInches;
  std::string oldFieldName_;
  float oldThreshold_ = 0;
  bool oldReprint_ = true;
  bool oldReprintRead_ = false;
  TppOutlineSettings outlineSettings_{this};
};

// Registers TppGroup, its published properties and TppBreakType.
void ppRegisterGroups();

// ---- scripting ----

class TraTppGroupRTTI : public TraTppCacheableRTTI {
  RA_DECLARE_RTTI(TraTppGroupRTTI, TraTppCacheableRTTI, TppGroup)
};
