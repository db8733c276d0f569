// The engine's report classes by name: the report's events with their ids
// and parameters, its methods and indexed lists, the describing class found
// for a band class of a test, and the events whose subscribers read and
// write the sender's variables through the parameter list.
#include <gtest/gtest.h>

#include <string>

#include "report/engine/ppBands.h"
#include "report/engine/ppEngine.h"
#include "report/engine/ppGroup.h"
#include "report/engine/ppReport.h"
#include "report/model/ppParameter.h"
#include "report/output/ppDevice.h"
#include "tests/report/engine/ppTestDoubles.h"
#include "tests/support/pagesource.h"

using namespace engine_doubles;
using testing_support::TEventHook;

namespace {

// A band kind of its own, straight from TppBand.
class TTestBand : public TppBand {
  CLS_DECLARE_CLASS(TTestBand, TppBand)
 public:
  explicit TTestBand(cls::TComponent* owner) : TppBand(owner) {}
  std::string GetSortKey() override { return "       5"; }
  TppBandKinds GetKindFlag() override { return TppBandKind::bkDetail; }
  void Generate() override {}
  TppBandType BandType() const override { return TppBandType::btDetail; }
  int CaptionMessage() const override { return 189; }
};
CLS_IMPLEMENT_COMPONENT(TTestBand)

class ReportScripting : public ::testing::Test {
 protected:
  void SetUp() override {
    ppRegisterEngineUnit();
    report = new TppReport(nullptr);
    header = new TppHeaderBand(nullptr);
    header->SetReport(report);
    detail = new TppDetailBand(nullptr);
    detail->SetReport(report);
    fixed = new TFixed(nullptr);
    fixed->SetBand(detail);
    rtti = raGetRTTIClass(report->ClassType());
    ASSERT_EQ(rtti, &TraTppReportRTTI::Instance());
  }
  void TearDown() override {
    fixed->Free();
    report->Free();
  }
  // Calls NAME on OBJECT with PARAMS, "Result" bound to RESULT.
  template <class T>
  bool Call(cls::TObject* object, const std::string& name, TraParamList* params, T*& result) {
    const TraRTTI* r = raGetRTTIClass(object->ClassType());
    result = nullptr;
    params->SetParamAddress("Result", &result);
    return r->CallMethod(object, name, params);
  }

  TppReport* report = nullptr;
  TppHeaderBand* header = nullptr;
  TppDetailBand* detail = nullptr;
  TFixed* fixed = nullptr;
  const TraRTTI* rtti = nullptr;
};

}  // namespace

TEST_F(ReportScripting, EventsCarryTheirIdsAndParameterLists) {
  TraPropRec rec;
  ASSERT_TRUE(rtti->GetPropRec("onstartpage", rec));
  EXPECT_EQ(rec.Name, "OnStartPage");
  EXPECT_EQ(rec.TypeCode, daMethod);
  EXPECT_EQ(rec.EventId, 21);
  ASSERT_TRUE(rtti->GetPropRec("OnNoData", rec));
  EXPECT_EQ(rec.EventId, ciReportNoData);
  ASSERT_TRUE(rec.Params);
  ASSERT_EQ(rec.Params->ParamCount(), 4);
  EXPECT_EQ(rec.Params->ParamRec(1).Name, "aShowDialog");
  EXPECT_TRUE(rec.Params->ParamRec(1).IsReference);
  EXPECT_FALSE(rec.Params->ParamRec(2).IsReference);
  // Inherited: the producer's events and the printable's.
  ASSERT_TRUE(rtti->GetPropRec("OnSaveText", rec));
  EXPECT_EQ(rec.EventId, ciProducerSaveText);
  ASSERT_TRUE(raGetRTTIClass(fixed->ClassType())->GetPropRec("OnDrawCommandClick", rec));
  EXPECT_EQ(rec.EventId, ciComponentDrawCommandClick);

  cls::TStringList events, props;
  rtti->GetEventList(&events);
  rtti->GetPropList(&props);
  EXPECT_GE(events.IndexOf("OnStartPage"), 0);
  EXPECT_GE(events.IndexOf("OnCancel"), 0);
  EXPECT_LT(props.IndexOf("OnStartPage"), 0);
  EXPECT_GE(props.IndexOf("GetBand"), 0);
  ASSERT_TRUE(rtti->GetPropRec("GetBand", rec));
  EXPECT_EQ(rec.ClassType, &TppBand::StaticClass());
  ASSERT_TRUE(rtti->GetPropRec("Bands", rec));
  EXPECT_TRUE(rec.IsIndexed);
}

TEST_F(ReportScripting, ABandClassOfATestGetsTheBandDescription) {
  EXPECT_EQ(raGetRTTIClass(&TTestBand::StaticClass()), &TraTppBandRTTI::Instance());
  EXPECT_EQ(raGetRTTIClass(&TppGroupFooterBand::StaticClass()), &TraTppBandRTTI::Instance());
  EXPECT_EQ(raGetRTTIClass(&TFixed::StaticClass()), &TraTppComponentRTTI::Instance());
  EXPECT_EQ(raGetRTTIClass(&TLines::StaticClass()), &TraTppStretchableRTTI::Instance());
  EXPECT_EQ(raGetRTTIClass(&TppChildReport::StaticClass()), &TraTppBandedReportRTTI::Instance());
  cls::Owned<TTestBand> band(new TTestBand(nullptr));
  band->SetReport(report);
  std::string text;
  ASSERT_TRUE(raGetPropValueText(band.get(), "PrintHeight", text));
  EXPECT_EQ(text, "phStatic");
  EXPECT_TRUE(raSetPropValue(band.get(), "PrintHeight", TraEnumValue{phDynamic}));
  EXPECT_EQ(band->PrintHeight(), phDynamic);
  EXPECT_FALSE(raSetPropValue(band.get(), "PrintHeight", TraEnumValue{2}));
  EXPECT_FALSE(raSetPropValue(band.get(), "ObjectCount", int32_t{3}));
  TraValue v;
  ASSERT_TRUE(raGetPropValue(band.get(), "Report", v));
  EXPECT_EQ(std::get<cls::TObject*>(v), report);
  ASSERT_TRUE(raGetPropValue(band.get(), "Index", v));
  EXPECT_EQ(std::get<int32_t>(v), report->IndexOfBand(band.get()));
}

TEST_F(ReportScripting, MethodsAndIndexedListsByName) {
  TppBand* result = nullptr;
  cls::Owned<TraParamList> params(rtti->GetParams("GetBand"));
  TppBandType type = TppBandType::btDetail;
  int32_t group = 0;
  params->SetParamAddress("BandType", &type);
  params->SetParamAddress("GroupIndex", &group);
  ASSERT_TRUE(Call(report, "getband", params.get(), result));
  EXPECT_EQ(result, detail);
  type = TppBandType::btGroupHeader;  // no group: nil
  ASSERT_TRUE(Call(report, "GetBand", params.get(), result));
  EXPECT_EQ(result, nullptr);

  // The band list by index; past the end and writes are refused.
  cls::Owned<TraParamList> indexed(rtti->GetParams("Bands"));
  int32_t index = 1;
  indexed->SetParamAddress("Index", &index);
  ASSERT_TRUE(Call(report, "Bands", indexed.get(), result));
  EXPECT_EQ(result, report->Bands(1));
  EXPECT_EQ(result, header == report->Bands(0) ? static_cast<TppBand*>(detail) : header);
  index = 2;
  EXPECT_FALSE(Call(report, "Bands", indexed.get(), result));
  index = 0;
  EXPECT_FALSE(rtti->CallMethod(report, "Bands", indexed.get(), false));

  // A band's objects; its saves and variables are empty here.
  const TraRTTI* bands = raGetRTTIClass(detail->ClassType());
  for (const char* name : {"Objects", "Saves", "Variables"}) {
    cls::Owned<TraParamList> list(bands->GetParams(name));
    ASSERT_TRUE(list) << name;
    list->SetParamAddress("Index", &index);
    TppComponent* component = nullptr;
    EXPECT_EQ(Call(detail, name, list.get(), component), std::string(name) == "Objects") << name;
    EXPECT_EQ(component, std::string(name) == "Objects" ? fixed : nullptr) << name;
    cls::TObject* any = nullptr;  // an element is no mere object
    EXPECT_THROW(list->SetParamAddress("Result", &any), EPagewrightError);
  }
  TraValue v;
  ASSERT_TRUE(raGetPropValue(detail, "VariableCount", v));
  EXPECT_EQ(std::get<int32_t>(v), 0);

  // The banded report's band names and group band methods.
  ASSERT_TRUE(raGetPropValue(report, "Detail", v));
  EXPECT_EQ(std::get<cls::TObject*>(v), detail);
  ASSERT_TRUE(raGetPropValue(report, "SummaryBand", v));
  EXPECT_EQ(std::get<cls::TObject*>(v), nullptr);
  EXPECT_EQ(report->BandCount(), 2);  // reading made nothing
  cls::Owned<TraParamList> groups(rtti->GetParams("GroupFooter"));
  groups->SetParamAddress("Index", &index);
  ASSERT_TRUE(Call(report, "GroupFooter", groups.get(), result));
  EXPECT_EQ(result, nullptr);

  // Another parameter list is copied into the report's own.
  cls::Owned<TppParameterList> other(new TppParameterList(nullptr));
  other->Add("Store");
  TppParameterList* own = report->Parameters();
  ASSERT_TRUE(raSetPropValue(report, "Parameters", static_cast<cls::TObject*>(other.get())));
  EXPECT_EQ(report->Parameters(), own);
  EXPECT_TRUE(own->InList("Store"));

  // The component's place.
  std::string text;
  ASSERT_TRUE(raGetPropValueText(fixed, "BandType", text));
  EXPECT_EQ(text, "btDetail");
  ASSERT_TRUE(raGetPropValue(fixed, "Parent", v));
  EXPECT_EQ(std::get<cls::TObject*>(v), detail);
  EXPECT_TRUE(raSetPropValue(fixed, "Band", static_cast<cls::TObject*>(header)));
  EXPECT_EQ(fixed->Band(), header);
  EXPECT_FALSE(raSetPropValue(fixed, "Band", static_cast<cls::TObject*>(report)));
  EXPECT_EQ(fixed->Band(), header);
}

TEST_F(ReportScripting, NoDataSubscribersDecideTheDialogAndTheText) {
  bool show = true, add = false;
  report->DoOnNoData(nullptr, show, nullptr, add);  // nobody listens
  EXPECT_TRUE(show);
  EXPECT_FALSE(add);
  int calls = 0;
  TEventHook hook(report, {ciReportNoData}, [&](TppCommunicator* sender, int, TraParamList* params) {
    ++calls;
    EXPECT_EQ(sender, report);
    ASSERT_NE(params, nullptr);
    bool shown = false;
    EXPECT_TRUE(params->GetParam("aShowDialog", shown));
    EXPECT_TRUE(shown);
    cls::TObject* dialog = report;
    EXPECT_TRUE(params->GetParam("aDialog", dialog));
    EXPECT_EQ(dialog, nullptr);
    EXPECT_TRUE(params->SetParamValue("aShowDialog", false));
    EXPECT_TRUE(params->SetParamValue("aAddDrawCommand", true));
    EXPECT_FALSE(params->SetParamValue("aAddDrawCommand", int32_t{1}));
  });
  report->DoOnNoData(nullptr, show, nullptr, add);
  EXPECT_EQ(calls, 1);
  EXPECT_FALSE(show);
  EXPECT_TRUE(add);
}

TEST_F(ReportScripting, SavedTextAndDrawCommandEventsReachTheSendersVariables) {
  TEventHook saver(report, {ciProducerSaveText}, [](TppCommunicator*, int, TraParamList* params) {
    std::string text;
    ASSERT_TRUE(params && params->GetParam("Text", text));
    EXPECT_TRUE(params->SetParamValue("Text", "<" + text + ">"));
  });
  std::string text = "12.50";
  report->SaveText(nullptr, text);
  EXPECT_EQ(text, "<12.50>");

  std::vector<cls::TObject*> seen;
  TEventHook commands(fixed, {ciComponentDrawCommandCreate, ciComponentDrawCommandClick},
                      [&](TppCommunicator*, int, TraParamList* params) {
                        cls::TObject* command = nullptr;
                        ASSERT_TRUE(params && params->GetParam("aDrawCommand", command));
                        seen.push_back(command);
                      });
  cls::Owned<TppPage> page(new TppPage(nullptr));
  fixed->CreateDrawCommand(page.get());
  ASSERT_EQ(page->GetDrawCommandCount(), 1);
  TppDrawCommand* made = page->GetDrawCommand(0);
  EXPECT_TRUE(made->Clickable());  // a subscriber wants clicks
  fixed->DoOnDrawCommandClick(made);
  EXPECT_EQ(seen, (std::vector<cls::TObject*>{made, made}));
}
