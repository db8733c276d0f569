#include "report/engine/ppReportTemplate.h"

#include "report/engine/ppCustEng.h"
#include "report/engine/ppCustRpt.h"
#include "report/model/ppResMgr.h"

CLS_IMPLEMENT_CLASS(TppReportTemplate)

TppReportTemplate::TppReportTemplate(TppCustomReport* report) : TppTemplate(report), report_(report) {}

cls::TComponent* TppReportTemplate::StoredComponent() { return report_; }

bool TppReportTemplate::BeginLoad() {
  if (!report_ || (report_->Engine() && report_->Engine()->Generating())) return false;
  auto* saved = static_cast<TppCustomReport*>(report_->ClassType()->Create(report_->Owner()));
  saved->Transfer(report_);
  saved_ = saved;
  report_->SetStateFlags(pstReadingTemplate);
  return true;
}

void TppReportTemplate::ComponentCreated(cls::TComponent* component, cls::TComponent* parent) {
  if (parent) return;
  auto* report = cls::ObjectAs<TppCustomReport>(component);
  if (!report) throw EInvalidTemplateError(ppLoadStr(49));
  report->SetStateFlags(pstReadingTemplate);
}

void TppReportTemplate::EndLoad(cls::TComponent* read) {
  TppCustomReport* saved = saved_;
  saved_ = nullptr;
  auto* readReport = cls::ObjectAs<TppCustomReport>(read);
  report_->Transfer(readReport ? readReport : saved);
  // What the report did not take goes with its objects.
  if (readReport && readReport != report_) readReport->FreeContents();
  if (read) read->Free();
  if (saved) {
    saved->FreeContents();
    saved->Free();
  }
  report_->ClearStateFlags(pstReadingTemplate);
  report_->SetModified(false);
}

void TppReportTemplate::DoNew() {
  if (report_) report_->FreeContents();
  SetTemplateName(std::string());
}

int TppReportTemplate::LanguageIndex() const { return report_ ? report_->LanguageIndex() : 0; }

// ---- scripting ----

RA_IMPLEMENT_RTTI(TraTppReportTemplateRTTI)

const TraMembers* TraTppReportTemplateRTTI::Members() const {
  using C = TppReportTemplate;
  static const TraMembers members(inherited::Members(),
                                  {raProperty<C, daString>("Description", &C::Description),
                                   raProperty<C, daString>("FileExtension", &C::FileExtension),
                                   raProperty<C, daString>("FileFilter", &C::FileFilter),
                                   raObjectProperty<C, TppCustomReport>("Report", &C::Report)});
  return &members;
}
