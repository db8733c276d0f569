// TppReportTemplate: the report's template. Loading replaces the report's
// bands, groups and settings in place (the report object stays the same);
// a failed load gives the report back what it had.
#pragma once
#include <string>

#include "report/model/ppTemplate.h"

class TppCustomReport;

class TppReportTemplate : public TppTemplate {
  CLS_DECLARE_CLASS(TppReportTemplate, TppTemplate)
 public:
  explicit TppReportTemplate(TppCustomReport* report);

  TppCustomReport* Report() const { return report_; }
  std::string FileExtension() const { return "rtm"; }
  std::string FileFilter() const { return "Report file (*.rtm)|*.rtm"; }
  std::string Description() const { return TemplateName(); }

 protected:
  cls::TComponent* StoredComponent() override;
  // Refused without a report or while it generates for a page request;
  // else the contents move to a temporary report and flag 128 is set.
  bool BeginLoad() override;
  // The top object must be a report; it carries flag 128 while it is read.
  void ComponentCreated(cls::TComponent* component, cls::TComponent* parent) override;
  void EndLoad(cls::TComponent* read) override;
  // The report emptied and the template's name cleared.
  void DoNew() override;
  int LanguageIndex() const override;

 private:
  TppCustomReport* report_;
  TppCustomReport* saved_ = nullptr;
};

class TraTppReportTemplateRTTI : public TraTppTemplateRTTI {
  RA_DECLARE_RTTI(TraTppReportTemplateRTTI, TraTppTemplateRTTI, TppReportTemplate)
};
