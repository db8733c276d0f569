// Variables, DB texts and DB calcs by name and through their events, and
// their state in the page cache: typed values that scripted subscribers
// change, conversions that fail without changing anything, values of every
// kind (text too) back from a page's record, and the calculation order.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "report/components/ppCtrls.h"
#include "report/components/ppDBText.h"
#include "report/components/ppVar.h"
#include "report/engine/ppBands.h"
#include "report/engine/ppReport.h"
#include "report/model/ppCache.h"
#include "report/output/ppDrwCmd.h"
#include "tests/support/pagesource.h"
#include "tests/support/ppListPipeline.h"

using testing_support::TEventHook;

TEST(VarScripting, DescribingClassesAnswerTheirNames) {
  cls::Owned<TppImage> image(new TppImage(nullptr));
  EXPECT_EQ(raGetRTTIClass(image->ClassType()), &TraTppCustomImageRTTI::Instance());
  cls::Owned<TppVariable> var(new TppVariable(nullptr));
  ASSERT_TRUE(raSetPropValue(var.get(), "AsCurrency", cls::Currency::FromDouble(12.5)));
  EXPECT_EQ(var->DataType(), dtCurrency);
  EXPECT_DOUBLE_EQ(var->AsDouble(), 12.5);
  // A value the type cannot take: False, nothing changed.
  ASSERT_TRUE(raSetPropValue(var.get(), "AsInteger", int32_t{7}));
  EXPECT_FALSE(raSetPropValue(var.get(), "Value", cls::Variant("seven")));
  EXPECT_EQ(var->Value(), cls::Variant(7));

  cls::Owned<TppListPipeline> items(new TppListPipeline(nullptr));
  items->AddField("Amount", dtDouble);
  items->AddRecord({{"Amount", TppListPipeline::TValue(2.5)}});
  items->Open();
  cls::Owned<TppDBCalc> dbCalc(new TppDBCalc(nullptr));
  dbCalc->SetDataPipeline(items.get());
  dbCalc->SetDataField("Amount");
  TraValue value;
  ASSERT_TRUE(raGetPropValue(dbCalc.get(), "FieldValue", value));
  EXPECT_EQ(std::get<cls::Variant>(value).AsDouble(), 2.5);
  EXPECT_FALSE(raSetPropValue(dbCalc.get(), "FieldValue", cls::Variant(1.0)));
  EXPECT_FALSE(raSetPropValue(dbCalc.get(), "Value", cls::Variant("abc")));
  ASSERT_TRUE(raSetPropValue(dbCalc.get(), "Value", cls::Variant("9.5")));
  ASSERT_TRUE(raSetPropValue(dbCalc.get(), "Divisor", 2.0));
  ASSERT_TRUE(raSetPropValue(dbCalc.get(), "DBCalcType", TraEnumValue{dcAverage}));
  EXPECT_EQ(dbCalc->Result(), 4.75);
  const TraRTTI* rtti = raGetRTTIClass(dbCalc->ClassType());
  cls::Owned<TraParamList> params(rtti->GetParams("GetLookAheadValue"));
  std::string key = "unknown", result;
  params->SetParamAddress("aLookAheadKey", &key);
  params->SetParamAddress("Result", &result);
  ASSERT_TRUE(rtti->CallMethod(dbCalc.get(), "GetLookAheadValue", params.get()));
  EXPECT_EQ(result, "0");
  dbCalc->SetDataPipeline(nullptr);
}

// The band's variables notify in calculation order; a new place is bounded
// to the list.
TEST(VarScripting, CalcOrderDecidesWhoCalculatesFirst) {
  cls::Owned<TppReport> report(new TppReport(nullptr));
  auto* detail = new TppDetailBand(nullptr);
  detail->SetReport(report.get());
  auto* a = new TppVariable(report.get());
  auto* label = new TppLabel(report.get());
  auto* b = new TppVariable(report.get());
  for (TppComponent* c : std::initializer_list<TppComponent*>{a, label, b}) c->SetBand(detail);
  EXPECT_EQ(b->CalcOrder(), 1);
  b->SetCalcOrder(-5);
  EXPECT_EQ(a->CalcOrder(), 1);
  std::string ka, kb;
  a->GetEventNotifySortKey(ka);
  b->GetEventNotifySortKey(kb);
  EXPECT_LT(kb, ka);
  b->MoveToCalcOrder(99);
  EXPECT_EQ(b->CalcOrder(), 1);
}

// A page's record gives back the value of its kind, text whole; a page
// never saved leaves the state. A DB calc's record carries its totals, and
// in a footer a reset spends the cache-saved flag saving fresh ones.
TEST(VarCache, ValuesComeBackFromTheirPage) {
  cls::Owned<TppReport> report(new TppReport(nullptr));
  auto* footer = new TppFooterBand(nullptr);
  footer->SetReport(report.get());
  auto* var = new TppVariable(report.get());
  auto* calc = new TppDBCalc(report.get());
  calc->SetBand(footer);
  cls::Owned<TppCacheManager> cache(new TppCacheManager(nullptr));
  cache->SetCacheables({var, calc});
  std::string text = std::string(600, 'x') + "\xA4\xA4\xA4\xE5";
  var->SetAsString(text);
  var->SaveToCache(1);
  var->SetAsCurrency(cls::Currency{-123456789});
  var->SaveToCache(2);
  var->SetAsBoolean(false);
  var->RestoreFromCache(1);
  EXPECT_EQ(var->AsString(), text);
  var->RestoreFromCache(2);
  EXPECT_EQ(var->DataType(), dtCurrency);
  EXPECT_EQ(var->AsCurrency().Scaled, -123456789);
  var->RestoreFromCache(7);
  EXPECT_EQ(var->DataType(), dtCurrency);

  calc->SetValue(15);
  calc->SetCount(3);
  calc->SaveToCache(0);
  EXPECT_TRUE(calc->CacheSaved());
  calc->Clear();
  calc->RestoreFromCache(0);
  EXPECT_EQ(calc->Value(), 15);
  EXPECT_EQ(calc->Count(), 3);
  calc->Reset();
  EXPECT_FALSE(calc->CacheSaved());
  calc->SetValue(4);
  calc->RestoreFromCache(0);
  EXPECT_EQ(calc->Value(), 0);
}

TEST(LookAheadKey, ChildReportsPrefixTheirParentsRecord) {
  cls::Owned<TppReport> main(new TppReport(nullptr));
  cls::Owned<TppChildReport> child(new TppChildReport(nullptr));
  child->SetParentReport(main.get());
  cls::Owned<TppListPipeline> orders(new TppListPipeline(nullptr));
  orders->AddField("No");
  for (const char* no : {"1", "2", "3"}) orders->AddRecord({{"No", TppListPipeline::TValue(no)}});
  main->SetDataPipeline(orders.get());
  orders->Open();
  orders->First();
  orders->Next();
  EXPECT_EQ(ppLookAheadKey(main.get(), 3, 0), "       3|       0");
  char want[64];
  std::snprintf(want, sizeof want, "%8d|%8d|%8d", orders->TraversalCount(), 3, 1);
  EXPECT_EQ(ppLookAheadKey(child.get(), 3, 1), want);
  main->SetDataPipeline(nullptr);
}
