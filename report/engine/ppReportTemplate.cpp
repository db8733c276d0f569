#include "report/engine/ppReportTemplate.h"

#include "report/engine/ppBands.h"
#include "report/engine/ppClass.h"
#include "report/engine/ppCustEng.h"
#include "report/engine/ppCustRpt.h"
#include "report/engine/ppGroup.h"
#include "report/engine/ppRegion.h"
#include "report/engine/ppReport.h"
#include "report/engine/ppSubRpt.h"
#include "report/model/ppParameter.h"
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

namespace {

// Raises EReadError when CHILD cannot stand in PARENT: a report holds one
// band of each kind, groups and its own lists; a group holds its bands; a
// band or region holds components; a subreport holds its child report; a
// parameter list holds parameters; other components hold nothing.
void CheckPlace(cls::TComponent* child, cls::TComponent* parent) {
  auto refuse = [&](const std::string& why) {
    throw cls::EReadError("A " + child->ClassName() + " cannot stand in " + parent->Name() + ": " + why);
  };
  const bool component = cls::ObjectIs<TppComponent>(child);
  if (auto* report = cls::ObjectAs<TppCustomReport>(parent)) {
    if (cls::ObjectIs<TppGroupBand>(child)) refuse("a group band belongs to a group");
    if (cls::ObjectIs<TppBand>(child)) {
      for (int i = 0; i < report->BandCount(); ++i)
        if (report->Bands(i)->ClassType() == child->ClassType()) refuse("a report holds one of each band");
      return;
    }
    if (component || cls::ObjectIs<TppCustomReport>(child) || cls::ObjectIs<TppParameter>(child))
      refuse("a report holds bands, groups and lists");
    return;
  }
  if (cls::ObjectIs<TppGroup>(parent)) {
    if (!cls::ObjectIs<TppGroupBand>(child)) refuse("a group holds its header and footer bands");
    return;
  }
  if (cls::ObjectIs<TppSubReport>(parent)) {
    if (!cls::ObjectIs<TppChildReport>(child)) refuse("a subreport holds its child report");
    return;
  }
  if (cls::ObjectIs<TppBand>(parent) || cls::ObjectIs<TppCustomRegion>(parent)) {
    if (!component) refuse("bands and regions hold components");
    return;
  }
  if (cls::ObjectIs<TppComponent>(parent)) refuse("a component holds none");
  if (cls::ObjectIs<TppParameterList>(parent) && !cls::ObjectIs<TppParameter>(child))
    refuse("a parameter list holds parameters");
}

}  // namespace

void TppReportTemplate::ComponentCreated(cls::TComponent* component, cls::TComponent* parent) {
  if (parent) return CheckPlace(component, parent);
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
