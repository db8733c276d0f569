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

void TppGroup::RefreshBands() {
  if (report_) report_->SortBands();
}
