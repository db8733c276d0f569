#include <gtest/gtest.h>

#include "report/engine/ppReport.h"

namespace {

TEST(ReportParameters, MadeOnFirstUseReplacedAndDropped) {
  cls::Owned<cls::TComponent> form(new cls::TComponent(nullptr));
  auto* report = new TppReport(form.get());
  const int before = form->ComponentCount();
  TppParameterList* params = report->Parameters();
  ASSERT_NE(params, nullptr);
  EXPECT_EQ(report->Parameters(), params);
  EXPECT_EQ(params->Owner(), form.get());
  EXPECT_EQ(params->Parent(), report);
  EXPECT_EQ(form->ComponentCount(), before + 1);
  params->Add("Customer", dtString, "ACME");
  // Setting copies.
  cls::Owned<TppParameterList> other(new TppParameterList(nullptr));
  other->Add("Limit", dtInteger, 5);
  report->SetParameters(other.get());
  EXPECT_EQ(report->Parameters(), params);
  EXPECT_TRUE(params->EqualTo(other.get()));
  // A list added as a child replaces (and frees) the one there.
  auto* replacement = new TppParameterList(form.get());
  replacement->SetParent(report);
  EXPECT_EQ(report->Parameters(), replacement);
  EXPECT_EQ(form->ComponentCount(), before + 1);
  // Freed elsewhere, the list is no longer the report's.
  replacement->Free();
  EXPECT_EQ(form->ComponentCount(), before);
  TppParameterList* fresh = report->Parameters();
  EXPECT_EQ(fresh->Count(), 0);
  EXPECT_EQ(form->ComponentCount(), before + 1);
  // The report frees its list with itself.
  report->Free();
  EXPECT_EQ(form->ComponentCount(), before - 1);
}

}  // namespace
