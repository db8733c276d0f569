#include "report/engine/ppGroup.h"

#include "report/engine/ppBands.h"
#include "report/engine/ppCustRpt.h"

CLS_IMPLEMENT_COMPONENT(TppGroup)

TppGroup::TppGroup(cls::TComponent* owner) : TppCacheable(owner) {}

void TppGroup::BeforeDestruction() {
  if (headerBand_) headerBand_->Free();
  if (footerBand_) footerBand_->Free();
  if (report_) SetReport(nullptr);
  TppCacheable::BeforeDestruction();
}

void TppGroup::SetReport(TppCustomReport* report) {
  if (report == report_) return;
  if (report_) {
    TppCustomReport* old = report_;
    report_ = nullptr;
    old->RemoveGroup(this);
  }
  report_ = report;
  if (report_) {
    report_->AddGroup(this);
    units_ = report_->Units();
  }
  if (headerBand_) headerBand_->SetReport(report_);
  if (footerBand_) footerBand_->SetReport(report_);
  if (report_) report_->SortBands();
}

int TppGroup::GroupNo() const { return report_ ? report_->IndexOfGroup(this) : -1; }

void TppGroup::Changed() {
  if (report_) report_->ResetJobState();
}

void TppGroup::SetKeepTogether(bool v) {
  keepTogether_ = v;
  Changed();
}
void TppGroup::SetReprintOnSubsequentPage(bool v) {
  reprintOnSubsequentPage_ = v;
  Changed();
}
void TppGroup::SetReprintOnSubsequentColumn(bool v) {
  reprintOnSubsequentColumn_ = v;
  Changed();
}
void TppGroup::SetBreakName(const std::string& v) {
  breakName_ = v;
  Changed();
}

void TppGroup::GetChildren(const std::function<void(cls::TComponent*)>& proc, cls::TComponent*) {
  if (headerBand_) proc(headerBand_);
  if (footerBand_) proc(footerBand_);
}

void TppGroup::SetParentComponent(cls::TComponent* parent) {
  if (auto* report = cls::ObjectAs<TppCustomReport>(parent)) SetReport(report);
}

void TppGroup::RefreshBands() {
  if (report_) report_->SortBands();
}

// ---- scripting ----

RA_IMPLEMENT_RTTI(TraTppGroupRTTI)

const TraMembers* TraTppGroupRTTI::Members() const {
  using C = TppGroup;
  static const TraMembers members(
      inherited::Members(),
      {raEvent("AfterGroupBreak", ciGroupAfterGroupBreak), raEvent("BeforeGroupBreak", ciGroupBeforeGroupBreak),
       raEvent("BeforeHeader", ciGroupBeforeHeader), raEvent("BeforeFooter", ciGroupBeforeFooter),
       raEvent("OnGetBreakValue", ciGroupGetBreakValue, {raParam("BreakValue", daString, nullptr, true)}),
       raProperty<C, daString>("BreakName", &C::BreakName, &C::SetBreakName),
       raObjectProperty<C, TppGroupFooterBand>("FooterBand", &C::FooterBand),
       raProperty<C, daInteger>("GroupNo", &C::GroupNo),
       raObjectProperty<C, TppGroupHeaderBand>("HeaderBand", &C::HeaderBand),
       raProperty<C, daInteger>("Index", &C::GroupNo),
       raProperty<C, daBoolean>("KeepTogether", &C::KeepTogether, &C::SetKeepTogether),
       raObjectProperty<C, TppCustomReport>("Report", &C::Report),
       raProperty<C, daBoolean>("ReprintOnSubsequentColumn", &C::ReprintOnSubsequentColumn,
                                &C::SetReprintOnSubsequentColumn),
       raProperty<C, daBoolean>("ReprintOnSubsequentPage", &C::ReprintOnSubsequentPage,
                                &C::SetReprintOnSubsequentPage),
       raEnumProperty<C, TppUnitType>("Units", &C::Units, &C::SetUnits)});
  return &members;
}
