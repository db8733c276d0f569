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
  cls::Owned<TppCalc> calc(new TppCalc(nullptr));
  EXPECT_EQ(raGetRTTIClass(calc->ClassType()), &TraTppCustomTextRTTI::Instance());

  cls::Owned<TppVariable> var(new TppVariable(nullptr));
  ASSERT_TRUE(raSetPropValue(var.get(), "AsCurrency", cls::Currency::FromDouble(12.5)));
  EXPECT_EQ(var->DataType(), dtCurrency);
  std::string text;
  ASSERT_TRUE(raGetPropValueText(var.get(), "DataType", text));
  EXPECT_EQ(text, "dtCurrency");
  EXPECT_DOUBLE_EQ(var->AsDouble(), 12.5);
  EXPECT_FALSE(raSetPropValue(var.get(), "AsCurrency", 12.5));  // a double is no currency
  // A value the type cannot take: False, nothing changed.
  ASSERT_TRUE(raSetPropValue(var.get(), "AsInteger", int32_t{7}));
  EXPECT_FALSE(raSetPropValue(var.get(), "Value", cls::Variant("seven")));
  EXPECT_EQ(var->AsInteger(), 7);
  ASSERT_TRUE(raSetPropValue(var.get(), "Value", cls::Variant("8")));
  EXPECT_EQ(var->Value(), cls::Variant(8));

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
  EXPECT_FALSE(raSetPropValue(dbCalc.get(), "Value", cls::Variant::Null()));
  ASSERT_TRUE(raSetPropValue(dbCalc.get(), "Value", cls::Variant("9.5")));
  ASSERT_TRUE(raSetPropValue(dbCalc.get(), "Divisor", 2.0));
  EXPECT_EQ(dbCalc->Result(), 9.5);
  ASSERT_TRUE(raSetPropValue(dbCalc.get(), "DBCalcType", TraEnumValue{dcAverage}));
  EXPECT_EQ(dbCalc->Result(), 4.75);

  const TraRTTI* rtti = raGetRTTIClass(dbCalc->ClassType());
  ASSERT_EQ(rtti, &TraTppDBCalcRTTI::Instance());
  cls::Owned<TraParamList> params(rtti->GetParams("GetLookAheadValue"));
  ASSERT_TRUE(params);
  std::string key = "unknown", result;
  params->SetParamAddress("aLookAheadKey", &key);
  params->SetParamAddress("Result", &result);
  ASSERT_TRUE(rtti->CallMethod(dbCalc.get(), "GetLookAheadValue", params.get()));
  EXPECT_EQ(result, "0");
  cls::Owned<TraParamList> keyParams(rtti->GetParams("GetLookAheadKey"));
  keyParams->SetParamAddress("Result", &result);
  ASSERT_TRUE(rtti->CallMethod(dbCalc.get(), "GetLookAheadKey", keyParams.get()));
  EXPECT_EQ(result, "       0|       0");
  ASSERT_TRUE(rtti->CallMethod(dbCalc.get(), "Clear", nullptr));
  EXPECT_EQ(dbCalc->Value(), 0);
  EXPECT_EQ(dbCalc->Count(), 0);
  dbCalc->SetDataPipeline(nullptr);

  TraPropRec rec;
  ASSERT_TRUE(raGetRTTIClass(var->ClassType())->GetPropRec("OnReset", rec));
  EXPECT_EQ(rec.EventId, ciVariableReset);
  ASSERT_TRUE(rec.Params);
  EXPECT_EQ(rec.Params->ParamRec(0).TypeCode, daVariant);
  EXPECT_TRUE(rec.Params->ParamRec(0).IsReference);
}

// Every listed name of the new describing classes reads, and every
// writable one takes its own value back.
TEST(VarScripting, EveryNameReadsAndTakesItsValueBack) {
  cls::Owned<TppReport> report(new TppReport(nullptr));
  auto* detail = new TppDetailBand(nullptr);
  detail->SetReport(report.get());
  std::vector<TppComponent*> components{new TppVariable(nullptr), new TppSystemVariable(nullptr),
                                        new TppDBText(nullptr),   new TppDBCalc(nullptr),
                                        new TppShape(nullptr),    new TppLine(nullptr),
                                        new TppImage(nullptr),    new TppDBImage(nullptr)};
  for (TppComponent* c : components) c->SetBand(detail);
  int written = 0;
  for (TppComponent* c : components) {
    const TraRTTI* rtti = raGetRTTIClass(c->ClassType());
    ASSERT_NE(rtti, nullptr);
    cls::TStringList names;
    rtti->GetPropList(&names);
    for (int i = 0; i < names.Count(); ++i) {
      SCOPED_TRACE(c->ClassName() + "." + names[i]);
      TraPropRec rec;
      ASSERT_TRUE(rtti->GetPropRec(names[i], rec));
      if (rec.TypeCode == daMethod) continue;
      TraValue value;
      std::string text, again;
      ASSERT_TRUE(rtti->GetPropValue(c, names[i], value));
      ASSERT_TRUE(rtti->GetPropValueText(c, names[i], text));
      if (rec.IsReadOnly) {
        EXPECT_FALSE(rtti->SetPropValue(c, names[i], value));
        continue;
      }
      ASSERT_TRUE(rtti->SetPropValue(c, names[i], value));
      ++written;
      ASSERT_TRUE(rtti->GetPropValueText(c, names[i], again));
      EXPECT_EQ(again, text);
    }
  }
  EXPECT_GT(written, 150);
  EXPECT_EQ(detail->ObjectCount(), 8);
  for (TppComponent* c : components) c->Free();
}

// The band's variables notify in calculation order; a new place is bounded
// to the list and other objects keep theirs among themselves.
TEST(VarScripting, CalcOrderDecidesWhoCalculatesFirst) {
  cls::Owned<TppReport> report(new TppReport(nullptr));
  auto* detail = new TppDetailBand(nullptr);
  detail->SetReport(report.get());
  auto* a = new TppVariable(report.get());
  auto* label = new TppLabel(report.get());
  auto* b = new TppVariable(report.get());
  for (TppComponent* c : std::initializer_list<TppComponent*>{a, label, b}) c->SetBand(detail);
  EXPECT_EQ(a->CalcOrder(), 0);
  EXPECT_EQ(b->CalcOrder(), 1);
  EXPECT_EQ(label->IndexInBand(), 1);
  std::string ka, kb;
  a->GetEventNotifySortKey(ka);
  b->GetEventNotifySortKey(kb);
  EXPECT_LT(ka, kb);
  b->SetCalcOrder(-5);
  EXPECT_EQ(b->CalcOrder(), 0);
  EXPECT_EQ(a->CalcOrder(), 1);
  a->GetEventNotifySortKey(ka);
  b->GetEventNotifySortKey(kb);
  EXPECT_LT(kb, ka);
  b->MoveToCalcOrder(99);
  EXPECT_EQ(b->CalcOrder(), 1);
  cls::Owned<TppVariable> loose(new TppVariable(nullptr));
  EXPECT_EQ(loose->CalcOrder(), -1);
  loose->MoveToCalcOrder(0);  // no band: nothing
}

// A page's record gives back every kind of value, text whole; pages never
// saved, or cut from the cache, leave the state as it is.
TEST(VarCache, ValuesOfEveryKindComeBackFromTheirPage) {
  cls::Owned<TppVariable> var(new TppVariable(nullptr));
  cls::Owned<TppCalc> calc(new TppCalc(nullptr));
  cls::Owned<TppCacheManager> cache(new TppCacheManager(nullptr));
  cache->SetCacheables({var.get(), calc.get()});
  std::string longText(600, 'x');
  longText += "\xA4\xA4\xA4\xE5";  // Big5 at the end: nothing is cut
  var->SetAsString(longText);
  var->SetDrawComponent(true);
  var->SetReprintOnOverFlow(true);
  var->SaveToCache(1);
  EXPECT_TRUE(var->CacheSaved());
  var->SetAsCurrency(cls::Currency{-123456789});
  var->SaveToCache(2);
  var->SetAsDate(45000.25);
  var->SaveToCache(3);
  var->SetAsBoolean(false);
  var->SetDrawComponent(false);
  var->SetReprintOnOverFlow(false);
  var->RestoreFromCache(1);
  EXPECT_EQ(var->DataType(), dtString);
  EXPECT_EQ(var->AsString(), longText);
  EXPECT_TRUE(var->DrawComponent());
  EXPECT_TRUE(var->ReprintOnOverFlow());
  var->RestoreFromCache(2);
  EXPECT_EQ(var->DataType(), dtCurrency);
  EXPECT_EQ(var->AsCurrency().Scaled, -123456789);
  var->RestoreFromCache(3);
  EXPECT_EQ(var->DataType(), dtDate);
  EXPECT_EQ(var->Value(), cls::Variant::DateTime(45000.25));
  var->RestoreFromCache(7);  // never saved
  EXPECT_EQ(var->DataType(), dtDate);

  calc->SetCalcType(TppCalcType::ctCustom);
  calc->CustomValue() = cls::Variant("custom text");
  calc->SaveToCache(1);
  calc->CustomValue() = cls::Variant(3);
  calc->RestoreFromCache(1);
  EXPECT_EQ(calc->CustomValue(), cls::Variant("custom text"));

  cache->TruncateFrom(0);
  cache->Clear();
  var->RestoreFromCache(1);  // the records are gone with the texts
  EXPECT_EQ(var->DataType(), dtDate);
}

// A DB calc's record carries its Value and Count; in a footer band a reset
// spends the cache-saved flag saving the fresh totals.
TEST(VarCache, DBCalcTotalsAndTheFooterReset) {
  cls::Owned<TppReport> report(new TppReport(nullptr));
  auto* footer = new TppFooterBand(nullptr);
  footer->SetReport(report.get());
  auto* calc = new TppDBCalc(report.get());
  calc->SetBand(footer);
  cls::Owned<TppCacheManager> cache(new TppCacheManager(nullptr));
  cache->SetCacheables({calc});
  calc->SetValue(15);
  calc->SetCount(3);
  EXPECT_FALSE(calc->CacheSaved());
  calc->Reset();  // nothing saved yet: nothing written
  calc->SetValue(15);
  calc->SetCount(3);
  calc->SaveToCache(0);
  EXPECT_TRUE(calc->CacheSaved());
  calc->Clear();
  calc->RestoreFromCache(0);
  EXPECT_EQ(calc->Value(), 15);
  EXPECT_EQ(calc->Count(), 3);
  calc->Reset();  // the current cache page without an engine run: 0
  EXPECT_FALSE(calc->CacheSaved());
  calc->SetValue(4);
  calc->RestoreFromCache(0);
  EXPECT_EQ(calc->Value(), 0);
  EXPECT_EQ(calc->Count(), 0);
}

TEST(LookAheadKey, ChildReportsPrefixTheirParentsRecord) {
  cls::Owned<TppReport> main(new TppReport(nullptr));
  cls::Owned<TppChildReport> child(new TppChildReport(nullptr));
  cls::Owned<TppChildReport> grandChild(new TppChildReport(nullptr));
  child->SetParentReport(main.get());
  grandChild->SetParentReport(child.get());
  cls::Owned<TppListPipeline> orders(new TppListPipeline(nullptr));
  orders->AddField("No");
  for (int i = 0; i < 3; ++i) orders->AddRecord({{"No", TppListPipeline::TValue(std::to_string(i))}});
  main->SetDataPipeline(orders.get());
  orders->Open();
  orders->First();
  orders->Next();
  orders->Next();
  int32_t count = orders->TraversalCount();
  EXPECT_EQ(ppLookAheadKey(main.get(), 3, 0), "       3|       0");
  char want[64];
  std::snprintf(want, sizeof want, "%8d|%8d|%8d", count, 3, 1);
  EXPECT_EQ(ppLookAheadKey(child.get(), 3, 1), want);
  // The child's own records come next for a grandchild (none here: 0).
  std::snprintf(want, sizeof want, "%8d|%8d|%8d|%8d", count, 0, 3, 1);
  EXPECT_EQ(ppLookAheadKey(grandChild.get(), 3, 1), want);
  // Without a pipeline of its own, the detail band's counts.
  EXPECT_EQ(ppLookAheadPipeline(child.get(), nullptr), nullptr);
  auto* detail = new TppDetailBand(nullptr);
  detail->SetReport(child.get());
  detail->SetDataPipeline(orders.get());
  EXPECT_EQ(ppLookAheadPipeline(child.get(), nullptr), orders.get());
  main->SetDataPipeline(nullptr);
  detail->SetDataPipeline(nullptr);
}
