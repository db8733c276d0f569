// TppGroup: a run of detail records with the same break value, printed
// between its header and footer bands. Declared here with what the report
// core and the bands use; breaks, keep-together and page numbers come with
// the group work.
#pragma once
#include <string>

#include "report/model/ppCache.h"
#include "report/model/ppTypes.h"

class TppCustomReport;
class TppGroupFooterBand;
class TppGroupHeaderBand;

class TppGroup : public TppCacheable {
  CLS_DECLARE_CLASS(TppGroup, TppCacheable)
 public:
  explicit TppGroup(cls::TComponent* owner);
  // Frees its two bands and leaves its report.
  void BeforeDestruction() override;

  TppCustomReport* Report() const { return report_; }
  void SetReport(TppCustomReport* report);
  TppGroupHeaderBand* HeaderBand() const { return headerBand_; }
  TppGroupFooterBand* FooterBand() const { return footerBand_; }
  // The group's index in its report's group list, -1 without a report.
  int GroupNo() const;

  bool KeepTogether() const { return keepTogether_; }
  void SetKeepTogether(bool v);
  bool ReprintOnSubsequentPage() const { return reprintOnSubsequentPage_; }
  void SetReprintOnSubsequentPage(bool v);
  bool ReprintOnSubsequentColumn() const { return reprintOnSubsequentColumn_; }
  void SetReprintOnSubsequentColumn(bool v);
  const std::string& BreakName() const { return breakName_; }
  void SetBreakName(const std::string& v);
  TppUnitType Units() const { return units_; }
  void SetUnits(TppUnitType v) { units_ = v; }

  // After a change of the group list: the bands take their new sort keys.
  void RefreshBands();

  // Streams: the group sits in its report and holds its two bands.
  void GetChildren(const std::function<void(cls::TComponent*)>& proc, cls::TComponent* root) override;
  void SetParentComponent(cls::TComponent* parent) override;

 private:
  friend class TppGroupHeaderBand;
  friend class TppGroupFooterBand;
  void Changed();

  TppCustomReport* report_ = nullptr;
  TppGroupHeaderBand* headerBand_ = nullptr;
  TppGroupFooterBand* footerBand_ = nullptr;
  bool keepTogether_ = false;
  bool reprintOnSubsequentPage_ = false;
  bool reprintOnSubsequentColumn_ = false;
  std::string breakName_;
  TppUnitType units_ = utInches;
};

// ---- scripting ----

// The names the group answers so far; breaks, keep-together and page
// numbers bring theirs with them.
class TraTppGroupRTTI : public TraTppCacheableRTTI {
  RA_DECLARE_RTTI(TraTppGroupRTTI, TraTppCacheableRTTI, TppGroup)
};
