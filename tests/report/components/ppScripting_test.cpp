// The report classes by name: every name each describing class lists reads,
// and every writable one takes back its own value; units set on a report by
// name reach its components; a text's subscriber rewrites what it prints.
#include <gtest/gtest.h>

#include <memory>
#include <string>
#include <vector>

#include "report/components/ppBarCod.h"
#include "report/components/ppCtrls.h"
#include "report/components/ppDBText.h"
#include "report/components/ppMemo.h"
#include "report/components/ppVar.h"
#include "report/engine/ppBands.h"
#include "report/engine/ppGroup.h"
#include "report/engine/ppReport.h"
#include "tests/report/output/ppPrintr_fixture.h"
#include "tests/support/pagesource.h"
#include "tests/support/ppListPipeline.h"

using testing_support::TEventHook;

namespace {

// A report with a group, a band of every kind and each component in the
// detail band.
class ReportByName : public Printers {
 protected:
  void SetUp() override {
    Printers::SetUp();
    report = new TppReport(nullptr);
    auto* group = new TppGroup(nullptr);
    group->SetReport(report);
    for (int t = 0; t < ppBandTypeCount; ++t) report->CreateBand(static_cast<TppBandType>(t), 0);
    detail = static_cast<TppCustomBand*>(report->GetBand(TppBandType::btDetail, 0));
    label = Add<TppLabel>();
    label->SetCaption("Total");
    auto* memo = Add<TppMemo>();
    memo->SetText("one\r\ntwo");
    Add<TppDBMemo>();
    auto* bar = Add<TppBarCode>();
    bar->SetBarCodeType(bcEAN_13);
    bar->SetData("2000001000014");
    Add<TppDBBarCode>();
    Add<TppShape>();
    Add<TppLine>();
    Add<TppImage>();
    Add<TppDBImage>();
  }
  void TearDown() override {
    for (auto it = components.rbegin(); it != components.rend(); ++it) (*it)->Free();
    report->Free();
    Printers::TearDown();
  }
  template <class T>
  T* Add() {
    auto* c = new T(nullptr);
    components.push_back(c);
    c->SetBand(detail);
    return c;
  }
  // Every object of the report: itself, its groups, bands and components,
  // and a child report.
  std::vector<cls::TObject*> Objects() {
    std::vector<cls::TObject*> all{report};
    for (int i = 0; i < report->GroupCount(); ++i) all.push_back(report->Groups(i));
    for (int i = 0; i < report->BandCount(); ++i) all.push_back(report->Bands(i));
    for (cls::TObject* c : components) all.push_back(c);
    return all;
  }

  TppReport* report = nullptr;
  TppCustomBand* detail = nullptr;
  TppLabel* label = nullptr;
  std::vector<TppComponent*> components;
};

// Every name OBJECTS' describing classes list reads; every writable one
// takes back its own value (counted in WRITTEN).
void ReadAndWriteEveryName(const std::vector<cls::TObject*>& objects, int& written) {
  for (cls::TObject* object : objects) {
    const TraRTTI* rtti = raGetRTTIClass(object->ClassType());
    ASSERT_NE(rtti, nullptr) << object->ClassName();
    cls::TStringList names;
    rtti->GetPropList(&names);
    for (int i = 0; i < names.Count(); ++i) {
      SCOPED_TRACE(object->ClassName() + "." + names[i]);
      TraPropRec rec;
      ASSERT_TRUE(rtti->GetPropRec(names[i], rec));
      if (rec.TypeCode == daMethod) continue;
      TraValue value;
      ASSERT_TRUE(rtti->GetPropValue(object, names[i], value));
      std::string text, again;
      ASSERT_TRUE(rtti->GetPropValueText(object, names[i], text));
      if (rec.IsReadOnly) {
        EXPECT_FALSE(rtti->SetPropValue(object, names[i], value));
        continue;
      }
      ASSERT_TRUE(rtti->SetPropValue(object, names[i], value));
      ++written;
      ASSERT_TRUE(rtti->GetPropValueText(object, names[i], again));
      EXPECT_EQ(again, text);
    }
  }
}

}  // namespace

TEST_F(ReportByName, EveryListedNameReadsAndEveryWritableOneTakesItsOwnValueBack) {
  cls::Owned<TppChildReport> child(new TppChildReport(nullptr));
  cls::Owned<TppListPipeline> pipeline(new TppListPipeline(nullptr));
  pipeline->AddField("Item");
  report->SetDataPipeline(pipeline.get());
  std::vector<cls::TObject*> objects = Objects();
  objects.push_back(child.get());
  objects.push_back(pipeline.get());
  objects.push_back(pipeline->Fields(0));
  ASSERT_EQ(objects.size(), 1u + 1u + 10u + 9u + 3u);
  int written = 0;
  ReadAndWriteEveryName(objects, written);
  EXPECT_GT(written, 300);
  // The components still stand where they stood.
  EXPECT_EQ(detail->ObjectCount(), 9);
  EXPECT_EQ(label->Caption(), "Total");
  EXPECT_EQ(report->DataPipeline(), pipeline.get());
  report->SetDataPipeline(nullptr);
}

TEST_F(ReportByName, VariablesAndDataTextsByEveryName) {
  std::vector<cls::TObject*> objects{Add<TppVariable>(), Add<TppSystemVariable>(), Add<TppDBText>(),
                                     Add<TppDBCalc>()};
  int written = 0;
  ReadAndWriteEveryName(objects, written);
  EXPECT_GT(written, 80);
  EXPECT_EQ(detail->ObjectCount(), 13);
}

TEST_F(ReportByName, UnitsSetOnTheReportReachItsComponents) {
  label->SetmmLeft(25400);
  ASSERT_TRUE(raSetPropValue(report, "Units", TraEnumValue{utMillimeters}));
  std::string text;
  ASSERT_TRUE(raGetPropValueText(report, "Units", text));
  EXPECT_EQ(text, "utMillimeters");
  ASSERT_TRUE(raGetPropValueText(label, "Left", text));
  EXPECT_EQ(text, "25.4");
  ASSERT_TRUE(raGetPropValueText(detail, "Units", text));
  EXPECT_EQ(text, "utMillimeters");
  // Out of range or of another type: refused, nothing changed.
  EXPECT_FALSE(raSetPropValue(report, "Units", TraEnumValue{5}));
  EXPECT_FALSE(raSetPropValue(report, "Units", int32_t{1}));
  EXPECT_EQ(report->Units(), utMillimeters);
  // Written in the new units.
  ASSERT_TRUE(raSetPropValue(label, "Left", 12.7f));
  EXPECT_EQ(label->mmLeft(), 12700);
  EXPECT_FALSE(raSetPropValue(label, "mmLeft", int32_t{0}));
}

TEST_F(ReportByName, ComponentNamesGoThroughTheirSetters) {
  auto* bar = static_cast<TppBarCode*>(components[3]);
  std::string text;
  ASSERT_TRUE(raGetPropValueText(bar, "BarCodeType", text));
  EXPECT_EQ(text, "bcEAN_13");
  ASSERT_TRUE(raGetPropValueText(bar, "Orientation", text));
  EXPECT_EQ(text, "orLeftToRight");
  EXPECT_FALSE(raSetPropValue(bar, "Orientation", TraEnumValue{orTopToBottom}));
  EXPECT_EQ(bar->Orientation(), orLeftToRight);
  ASSERT_TRUE(raSetPropValue(bar, "Data", std::string("400638133393")));
  EXPECT_EQ(bar->Data(), "400638133393");
  ASSERT_TRUE(raSetPropValue(bar, "BarColor", int32_t{0xFF}));
  EXPECT_EQ(bar->BarColor(), 0xFFu);

  auto* memo = static_cast<TppMemo*>(components[1]);
  TraValue lines;
  ASSERT_TRUE(raGetPropValue(memo, "Lines", lines));
  EXPECT_EQ(std::get<cls::TObject*>(lines), memo->GetLines());
  ASSERT_TRUE(raGetPropValueText(memo, "Text", text));
  EXPECT_EQ(text, "one\r\ntwo\r\n");
  EXPECT_FALSE(raSetPropValue(memo, "Lines", static_cast<cls::TObject*>(memo)));  // no string list
  EXPECT_EQ(memo->GetLines()->Count(), 2);

  ASSERT_TRUE(raSetPropValue(label, "Text", std::string("Sum")));
  ASSERT_TRUE(raGetPropValueText(label, "Text", text));
  EXPECT_EQ(text, "Sum");
  ASSERT_TRUE(raGetPropValueText(label, "Description", text));
  EXPECT_FALSE(raSetPropValue(label, "Description", text));
  TraPropRec rec;
  ASSERT_TRUE(raGetRTTIClass(label->ClassType())->GetPropRec("OnGetText", rec));
  EXPECT_EQ(rec.EventId, ciComponentGetText);
  ASSERT_TRUE(rec.Params);
  EXPECT_TRUE(rec.Params->ParamRec(0).IsReference);
  ASSERT_TRUE(raGetRTTIClass(components[2]->ClassType())->GetPropRec("OnGetMemo", rec));
  EXPECT_EQ(rec.EventId, ciMemoGetMemo);
}

TEST_F(ReportByName, TextSubscribersRewriteTheTextWithoutCallingThemselvesAgain) {
  int calls = 0;
  TEventHook hook(label, {ciComponentGetText}, [&](TppCommunicator* sender, int, TraParamList* params) {
    ++calls;
    std::string text, stored;
    ASSERT_TRUE(params && params->GetParam("Text", text));
    // Reading the text by name here sends no second event.
    ASSERT_TRUE(raGetPropValueText(sender, "Text", stored));
    EXPECT_EQ(stored, "Total");
    EXPECT_TRUE(params->SetParamValue("Text", text + " after"));
  });
  std::string text;
  label->GetText(text);
  EXPECT_EQ(text, "Total after");
  EXPECT_EQ(calls, 1);
}
