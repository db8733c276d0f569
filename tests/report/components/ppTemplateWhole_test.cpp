// A report built in code comes back whole from its template: band
// settings, pipelines named by the stream, column positions, parameters
// and auto-search fields; each printed before and after the round trip and
// in the background gives the same pages. Crafted templates the reader
// refuses, older definitions converted while loading, and the small faults
// of the readers.
#include <gtest/gtest.h>

#include <algorithm>
#include <cstring>
#include <filesystem>
#include <limits>

#include "platform/classes/datamodule.h"
#include "platform/classes/streams.h"
#include "platform/sysroot/sysroot.h"
#include "report/components/ppDBText.h"
#include "report/engine/ppAutoSearchField.h"
#include "report/engine/ppGroup.h"
#include "report/engine/ppSubRpt.h"
#include "report/model/ppUtils.h"
#include "tests/report/components/ppTemplateSupport.h"
#include "tests/report/output/ppPrintr_fixture.h"

using namespace template_support;

CLS_IMPLEMENT_COMPONENT(template_support::TWholeForm)

namespace {

class WholeTemplates : public Printers {
 protected:
  void SetUp() override {
    Printers::SetUp();
    Install(RecordingZolmet(), true);
    RegisterWholeForm();
  }
  void TearDown() override {
    ppBackgroundPrintFinalize();
    ui::Application().Shutdown();
    Printers::TearDown();
  }
};

// Title on a page of its own, a header that skips page 1, a footer that
// skips the last page, a detail band on its own pipeline printed twice a
// record across two columns at set positions, a page style on page 1
// only, a summary on a new page; parameters a handler prints, an
// auto-search field.
void BuildBandSettings(TWholeForm& f) {
  TppReport* r = f.report;
  r->SetColumns(2);
  cls::TStringList positions;
  positions.Add("4");
  positions.Add("44");
  r->SetColumnPositions(positions);
  auto* title = f.Band<TppTitleBand>("ppTitleBand1", 10);
  title->SetNewPage(true);
  f.Label(title, "ppLabel1", "標題 Title");
  auto* header = f.Band<TppHeaderBand>("ppHeaderBand1", 8);
  header->SetPrintOnFirstPage(false);
  f.Label(header, "ppLabel2", "Header");
  auto* detail = f.Band<TppDetailBand>("ppDetailBand1", 30);
  detail->SetDataPipeline(f.plOrders);
  detail->SetBandsPerRecord(2);
  detail->SetColumnTraversal(ctLeftToRight);
  detail->SetSave(true);
  detail->BeforePrint = cls::TNotifyEvent(&f, &TWholeForm::DetailBeforePrint);
  auto* item = f.Add<TppDBText>(detail, "ppDBText1");
  item->SetDataPipeline(f.plOrders);
  item->SetDataField("Item");
  item->SetBoundsInUnits(1, 1, 30, 5);
  f.Label(detail, "ppCustomer", "?")->SetTop(8);
  auto* footer = f.Band<TppFooterBand>("ppFooterBand1", 6);
  footer->SetPrintOnLastPage(false);
  f.Label(footer, "ppLabel3", "Footer");
  auto* style = f.Band<TppPageStyle>("ppPageStyle1", 5);
  style->SetPageSetting(TppPageSettingType::psFirstPage);
  f.Label(style, "ppLabel4", "First page only");
  auto* summary = f.Band<TppSummaryBand>("ppSummaryBand1", 10);
  summary->SetNewPage(true);
  f.Label(summary, "ppLabel5", "Summary");
  TppParameterList* params = r->Parameters();
  params->Add("Customer", dtString, cls::Variant(std::string("王小明")));
  params->Add("Copies", dtInteger, cls::Variant(12));
  params->Add("Rate", dtCurrency, cls::Variant(cls::Currency::FromDouble(12.5)));
  params->Add("Printed", dtBoolean, cls::Variant(true));
  params->Items(0)->PickList()->Add("王小明");
  params->Items(0)->PickList()->Add("Lee");
  r->CreateAutoSearchCriteria("plOrders", "Item", TppSearchOperatorType::soLike, "A", true);
}

// The same pages before, after the round trip in both forms (which saves
// again byte for byte), and in the background.
void ExpectSamePagesEverywhere(TWholeForm& f, size_t pages) {
  auto before = PrintedPages(f.report);
  EXPECT_EQ(before.size(), pages);
  for (TppFormatType format : {TppFormatType::ftBinary, TppFormatType::ftASCII}) {
    SCOPED_TRACE(format == TppFormatType::ftBinary ? "binary" : "text");
    std::string saved = Save(f.report, format);
    TWholeForm loaded;
    Load(loaded.report, saved);
    EXPECT_EQ(PrintedPages(loaded.report), before);
    EXPECT_EQ(Save(loaded.report, format), saved);
  }
  EXPECT_EQ(BackgroundPages(f.report), before);
}

}  // namespace

// ---- faults 1, 4 and 5: what a template carries ----

TEST_F(WholeTemplates, BandSettingsColumnsParametersAndSearchFieldsComeBack) {
  TWholeForm f;
  BuildBandSettings(f);
  for (TppFormatType format : {TppFormatType::ftBinary, TppFormatType::ftASCII}) {
    TWholeForm g;
    TppParameterList* keptList = g.report->Parameters();
    Load(g.report, Save(f.report, format));
    TppReport* r = g.report;
    EXPECT_TRUE(static_cast<TppTitleBand*>(r->GetBand(TppBandType::btTitle, 0))->NewPage());
    auto* header = static_cast<TppHeaderBand*>(r->GetBand(TppBandType::btHeader, 0));
    EXPECT_FALSE(header->PrintOnFirstPage());
    EXPECT_TRUE(header->PrintOnLastPage());
    EXPECT_FALSE(static_cast<TppFooterBand*>(r->GetBand(TppBandType::btFooter, 0))->PrintOnLastPage());
    auto* detail = static_cast<TppDetailBand*>(r->GetBand(TppBandType::btDetail, 0));
    EXPECT_EQ(detail->DataPipeline(), g.plOrders);
    EXPECT_EQ(detail->BandsPerRecord(), 2);
    EXPECT_EQ(detail->ColumnTraversal(), ctLeftToRight);
    EXPECT_TRUE(detail->Save());
    EXPECT_EQ(static_cast<TppPageStyle*>(r->GetBand(TppBandType::btPageStyle, 0))->PageSetting(),
              TppPageSettingType::psFirstPage);
    EXPECT_EQ(r->StoredColumnPositions().Count(), 2);
    EXPECT_EQ(r->StoredColumnPositions().Text(), f.report->StoredColumnPositions().Text());
    // The caller's list is the report's list still, holding what was read.
    ASSERT_EQ(r->Parameters(), keptList);
    EXPECT_TRUE(keptList->EqualTo(f.report->Parameters()));
    ASSERT_EQ(keptList->Count(), 4);
    EXPECT_EQ(keptList->Items(1)->Value().VarType(), cls::varInt64);
    EXPECT_EQ(keptList->Items(2)->Value().AsCurrency().Scaled, 125000);
    EXPECT_EQ(keptList->Items(0)->PickList()->Text(), std::string("王小明\r\nLee\r\n"));
    ASSERT_EQ(r->AutoSearchFieldCount(), 1);
    EXPECT_EQ(r->AutoSearchFields(0)->FieldName(), "Item");
    EXPECT_EQ(r->AutoSearchFields(0)->SearchOperator(), TppSearchOperatorType::soLike);
    EXPECT_TRUE(r->AutoSearchFields(0)->Mandatory());
  }
}

TEST_F(WholeTemplates, BandSettingsPrintTheSamePagesAfterTheRoundTripAndInTheBackground) {
  TWholeForm f;
  BuildBandSettings(f);
  // The title's page, the detail page, the summary's page; the customer
  // printed.
  auto pages = PrintedPages(f.report);
  bool customer = false;
  for (const auto& page : pages)
    for (const std::string& op : page) customer = customer || op.find(ToUtf8("王小明")) != std::string::npos;
  EXPECT_TRUE(customer);
  ExpectSamePagesEverywhere(f, 3);
}

// ---- faults 2 and 3: pipelines named by the stream ----

TEST_F(WholeTemplates, APipelineOfAnotherOwnerIsNamedAndFoundByName) {
  TWholeForm f;
  // A data module's pipeline with the same records as the forms' plData.
  cls::Owned<cls::TComponent> dm(new cls::TComponent(nullptr));
  dm->SetName("dm");
  auto* plData = MakeRecords(dm.get(), "plData");
  f.report->SetDataPipeline(plData);
  // A record a page.
  auto* detail = f.Band<TppDetailBand>("ppDetailBand1", 250);
  auto* item = f.Add<TppDBText>(detail, "ppDBText1");
  item->SetDataPipeline(plData);
  item->SetDataField("Item");
  item->SetBoundsInUnits(1, 1, 30, 5);
  EXPECT_EQ(Save(f.report, TppFormatType::ftASCII).find("dm.plData"), std::string::npos);
  ExpectSamePagesEverywhere(f, 3);
  // A form without such a pipeline keeps the name.
  cls::Owned<cls::TComponent> bare(new cls::TComponent(nullptr));
  auto* report = new TppReport(bare.get());
  report->SetName("ppReport1");
  Load(report, Save(f.report, TppFormatType::ftBinary));
  EXPECT_EQ(report->DataPipeline(), nullptr);
  EXPECT_EQ(report->DataPipelineName(), "plData");
}

TEST_F(WholeTemplates, AnUnownedPipelineIsNamedAndWithoutItTheBandsPrintOnce) {
  TWholeForm f;
  cls::Owned<TppListPipeline> loose(MakeRecords(nullptr, "plLoose"));
  f.report->SetDataPipeline(loose.get());
  f.report->SetPageLimit(50);
  auto* detail = f.Band<TppDetailBand>("ppDetailBand1", 250);
  f.Label(detail, "ppLabel1", "Record");
  auto before = PrintedPages(f.report);
  ASSERT_EQ(before.size(), 3u);
  for (TppFormatType format : {TppFormatType::ftBinary, TppFormatType::ftASCII}) {
    TWholeForm g;
    Load(g.report, Save(f.report, format));
    EXPECT_FALSE(g.report->AutoStop());
    EXPECT_EQ(g.report->DataPipeline(), nullptr);
    EXPECT_EQ(g.report->DataPipelineName(), "plLoose");
    // No pipeline and no AutoStop: one pass of the bands, not 50 pages.
    EXPECT_EQ(PrintedPages(g.report).size(), 1u);
    // A pipeline of that name is found when the report prints.
    MakeRecords(g.form(), "plLoose");
    EXPECT_EQ(PrintedPages(g.report), before);
  }
}

// ---- fault 6: crafted templates ----

TEST_F(WholeTemplates, ASecondParameterListChildReportOrGroupBandIsRefusedAndTheReportStaysAsItWas) {
  TWholeForm f;
  BuildBandSettings(f);
  const std::string before = Save(f.report, TppFormatType::ftASCII);
  TppParameterList* list = f.report->Parameters();
  const std::string twoLists =
      "object ppReport1: TppReport\r\n"
      "  object TppParameterList\r\n    object Customer: TppParameter\r\n      Value = 'a'\r\n    end\r\n  end\r\n"
      "  object TppParameterList\r\n  end\r\nend\r\n";
  const std::string twoChildReports =
      "object ppReport1: TppReport\r\n  object ppDetailBand9: TppDetailBand\r\n"
      "    object ppSubReport9: TppSubReport\r\n      object ppChildReport8: TppChildReport\r\n      end\r\n"
      "      object ppChildReport9: TppChildReport\r\n      end\r\n    end\r\n  end\r\nend\r\n";
  const std::string twoGroupHeaders =
      "object ppReport1: TppReport\r\n  object ppGroup9: TppGroup\r\n"
      "    object ppGroupHeaderBand8: TppGroupHeaderBand\r\n    end\r\n"
      "    object ppGroupHeaderBand9: TppGroupHeaderBand\r\n    end\r\n  end\r\nend\r\n";
  for (const std::string* crafted : {&twoLists, &twoChildReports, &twoGroupHeaders})
    for (bool binary : {false, true}) {
      std::string bytes = binary ? ToBinary(*crafted) : *crafted;
      EXPECT_THROW(Load(f.report, bytes), cls::EReadError) << *crafted;
      EXPECT_EQ(Save(f.report, TppFormatType::ftASCII), before);
      EXPECT_EQ(f.report->Parameters(), list);
    }
}

// ---- fault 7: older definitions are converted while loading ----

TEST_F(WholeTemplates, AnOlderDefinitionIsConvertedWhileLoading) {
  TWholeForm f;
  auto* detail = f.Band<TppDetailBand>("ppDetailBand1", 10);
  auto* label = f.Label(detail, "ppLabel1", "x");
  auto* group = new TppGroup(f.form());
  group->SetName("ppGroup1");
  group->SetReport(f.report);
  group->SetNewPage(true);
  std::string text = Save(f.report, TppFormatType::ftASCII);
  const std::string current = "Version = '7.03'";
  size_t at = text.find(current);
  ASSERT_NE(at, std::string::npos) << text;
  TWholeForm g;
  Load(g.report, text.replace(at, current.size(), "Version = '2.0'"));
  // Before 2097 sizes were screen pixels and a group's column break
  // followed its page break; before 4100 AutoStop was off.
  auto* loaded = cls::ObjectAs<TppLabel>(g.form()->FindComponent("ppLabel1"));
  ASSERT_NE(loaded, nullptr);
  EXPECT_EQ(loaded->mmLeft(), ConvertToMMThousandths(static_cast<float>(label->mmLeft()), utScreenPixels, ppHorizontal));
  EXPECT_EQ(loaded->mmHeight(),
            ConvertToMMThousandths(static_cast<float>(label->mmHeight()), utScreenPixels, ppVertical));
  EXPECT_EQ(g.report->GetBand(TppBandType::btDetail, 0)->mmHeight(),
            ConvertToMMThousandths(static_cast<float>(detail->mmHeight()), utScreenPixels, ppVertical));
  ASSERT_EQ(g.report->GroupCount(), 1);
  EXPECT_TRUE(g.report->Groups(0)->NewColumn());
  EXPECT_FALSE(g.report->AutoStop());
  EXPECT_EQ(g.report->PassSetting(), TppPassSettingType::psTwoPass);
  EXPECT_TRUE(g.report->Converted());
  // The current version converts nothing.
  TWholeForm h;
  Load(h.report, Save(f.report, TppFormatType::ftBinary));
  EXPECT_EQ(cls::ObjectAs<TppLabel>(h.form()->FindComponent("ppLabel1"))->mmLeft(), label->mmLeft());
  EXPECT_FALSE(h.report->Converted());
}

// ---- fault 8: small faults of the readers ----

TEST_F(WholeTemplates, FloatsThatAreNoNumbersAndImpossibleColumnCountsAreRefused) {
  TWholeForm f;
  const float margin = f.report->PrinterSetup()->MarginLeft();
  const std::string before = Save(f.report, TppFormatType::ftASCII);
  // The text form has no word for them: the binary form is patched.
  f.report->PrinterSetup()->SetMarginLeft(12.5f);
  std::string binary = Save(f.report, TppFormatType::ftBinary);
  f.report->PrinterSetup()->SetMarginLeft(margin);
  const std::string prop = "PrinterSetup.MarginLeft";
  const std::string name = std::string(1, static_cast<char>(prop.size())) + prop;
  size_t at = binary.find(name);
  ASSERT_NE(at, std::string::npos);
  const size_t value = at + name.size();
  for (double bad : {std::numeric_limits<double>::infinity(), -std::numeric_limits<double>::infinity(),
                     std::numeric_limits<double>::quiet_NaN()}) {
    std::string patched = binary;
    if (patched[value] == char(cls::vaSingle)) {
      float v = static_cast<float>(bad);
      std::memcpy(&patched[value + 1], &v, 4);
    } else {
      ASSERT_EQ(patched[value], char(cls::vaDouble));
      std::memcpy(&patched[value + 1], &bad, 8);
    }
    EXPECT_THROW(Load(f.report, patched), cls::EReadError);
    EXPECT_EQ(Save(f.report, TppFormatType::ftASCII), before);
  }
  std::string columns = before;
  columns.insert(columns.find("\r\n") + 2, "  Columns = 2147483647\r\n");
  EXPECT_THROW(Load(f.report, columns), cls::EReadError);
  EXPECT_EQ(Save(f.report, TppFormatType::ftASCII), before);
}

TEST_F(WholeTemplates, AParameterAlwaysHoldsAValueOfItsTypeAndIsDescribedByName) {
  TWholeForm f;
  const std::string noValue =
      "object ppReport1: TppReport\r\n  object TppParameterList\r\n"
      "    object Count: TppParameter\r\n      DataType = dtInteger\r\n    end\r\n"
      "    object Amount: TppParameter\r\n      Value = '12'\r\n      DataType = dtDouble\r\n    end\r\n"
      "  end\r\nend\r\n";
  Load(f.report, noValue);
  TppParameterList* params = f.report->Parameters();
  ASSERT_EQ(params->Count(), 2);
  EXPECT_EQ(params->Items(0)->Value().VarType(), cls::varInt64);
  EXPECT_EQ(params->Items(0)->Value().AsInt64(), 0);
  EXPECT_EQ(params->Items(1)->Value().VarType(), cls::varDouble);
  EXPECT_EQ(params->Items(1)->Value().AsDouble(), 12.0);
  // A value that cannot take its type is refused.
  std::string bad = noValue;
  bad.replace(bad.find("'12'"), 4, "'twelve'");
  EXPECT_THROW(Load(f.report, bad), cls::EReadError);
  EXPECT_EQ(f.report->Parameters()->Count(), 2);
  // A class described through an ancestor's describing class: the name
  // lookup and the value agree.
  std::string text;
  ASSERT_TRUE(raGetPropValueText(params->Items(0), "DataType", text));
  EXPECT_EQ(text, "dtInteger");
  TraPropRec rec;
  ASSERT_TRUE(raGetPropRec(params->Items(0), "DataType", rec));
  EXPECT_EQ(rec.TypeCode, daEnum);
  EXPECT_TRUE(rec.IsPublished);
  ASSERT_TRUE(raGetPropRec(params->Items(0), "Value", rec));
  EXPECT_EQ(rec.TypeCode, daVariant);
  EXPECT_FALSE(raGetPropRec(params->Items(0), "NoSuchName", rec));
  // A single holds a single, in both forms.
  params->Add("Rate", dtSingle, cls::Variant(2.2));
  EXPECT_EQ(params->Find("Rate")->Value(), cls::Variant::Single(2.2f));
  for (TppFormatType format : {TppFormatType::ftBinary, TppFormatType::ftASCII}) {
    TWholeForm g;
    Load(g.report, Save(f.report, format));
    ASSERT_NE(g.report->Parameters()->Find("Rate"), nullptr);
    EXPECT_EQ(g.report->Parameters()->Find("Rate")->Value(), cls::Variant::Single(2.2f));
  }
}

// ---- second round: what the first round trip still lost ----

namespace {

// The texts of PAGES, page by page.
std::vector<std::vector<std::string>> Texts(const std::vector<std::vector<std::string>>& pages) {
  std::vector<std::vector<std::string>> texts;
  for (const auto& page : pages) {
    texts.emplace_back();
    for (const std::string& op : page) {
      if (op.rfind("Text ", 0) != 0) continue;
      size_t a = op.find('"'), b = op.find('"', a + 1);
      if (a != std::string::npos && b != std::string::npos) texts.back().push_back(op.substr(a + 1, b - a - 1));
    }
  }
  return texts;
}

bool Printed(const std::vector<std::vector<std::string>>& pages, const std::string& text) {
  for (const auto& page : Texts(pages))
    for (const std::string& t : page)
      if (t == text) return true;
  return false;
}

// Sales by region on pages 30 mm of body high: a group on the region with
// its sum in the footer (a variable reset at the group's end and a DB
// calc reset by the group) and the running total (a variable never reset).
TppGroup* BuildSales(TWholeForm& f) {
  TppReport* r = f.report;
  r->SetUnits(utMillimeters);
  r->SetDataPipeline(f.plSales);
  TppPageDef* def = r->PrinterSetup()->PageDef();
  def->SetmmHeight(50000);
  def->SetmmMarginTop(10000);
  def->SetmmMarginBottom(10000);
  auto* group = new TppGroup(f.form());
  group->SetName("ppGroup1");
  group->SetReport(r);
  group->SetDataPipeline(f.plSales);
  group->SetBreakName("Region");
  auto* header = new TppGroupHeaderBand(f.form());
  header->SetName("ppGroupHeaderBand1");
  header->SetGroup(group);
  header->SetHeight(6);
  auto* region = f.Add<TppDBText>(header, "ppRegion");
  region->SetDataPipeline(f.plSales);
  region->SetDataField("Region");
  region->SetBoundsInUnits(1, 0, 30, 5);
  auto* detail = f.Band<TppDetailBand>("ppDetailBand1", 6);
  auto* amount = f.Add<TppDBText>(detail, "ppAmount");
  amount->SetDataPipeline(f.plSales);
  amount->SetDataField("Amount");
  amount->SetBoundsInUnits(1, 0, 30, 5);
  auto* footer = new TppGroupFooterBand(f.form());
  footer->SetName("ppGroupFooterBand1");
  footer->SetGroup(group);
  footer->SetHeight(12);
  auto variable = [&](const std::string& name, float top) {
    auto* v = f.Add<TppVariable>(footer, name);
    v->SetDataType(dtDouble);
    v->OnCalc = TppVarCalcEvent(&f, &TWholeForm::AddAmount);
    v->SetBoundsInUnits(1, top, 30, 5);
    return v;
  };
  auto* subtotal = variable("ppSubtotal", 0);
  subtotal->SetResetType(veGroupEnd);
  subtotal->SetResetComponent(group);
  variable("ppTotal", 6);
  auto* calc = f.Add<TppDBCalc>(footer, "ppCalc");
  calc->SetDataPipeline(f.plSales);
  calc->SetDataField("Amount");
  calc->SetResetGroup(group);
  calc->SetBoundsInUnits(40, 0, 30, 5);
  return group;
}

}  // namespace

TEST_F(WholeTemplates, GroupSubtotalsOfVariablesKeepTheirResetGroupInEveryPassAndPlace) {
  for (TppPassSettingType pass : {TppPassSettingType::psOnePass, TppPassSettingType::psTwoPass}) {
    SCOPED_TRACE(pass == TppPassSettingType::psOnePass ? "one pass" : "two passes");
    TWholeForm f;
    BuildSales(f);
    f.report->SetPassSetting(pass);
    auto pages = PrintedPages(f.report);
    // B's subtotal, not the running total of 34.5.
    EXPECT_TRUE(Printed(pages, "30.75"));
    ExpectSamePagesEverywhere(f, pages.size());
    TWholeForm g;
    Load(g.report, Save(f.report, TppFormatType::ftASCII));
    auto* loaded = cls::ObjectAs<TppVariable>(g.form()->FindComponent("ppSubtotal"));
    ASSERT_NE(loaded, nullptr);
    EXPECT_EQ(loaded->ResetComponent(), g.form()->FindComponent("ppGroup1"));
  }
}

TEST_F(WholeTemplates, APipelineOfAVariableIsNamedAndFoundAgain) {
  TWholeForm f;
  BuildSales(f);
  auto* count =
      f.Add<TppVariable>(static_cast<TppCustomBand*>(f.report->GetBand(TppBandType::btDetail, 0)), "ppCount");
  count->SetCalcType(veDataPipelineTraversal);
  count->SetCalcComponent(f.plSales);
  count->SetResetType(veDataPipelineTraversal);
  count->SetResetComponent(f.plOrders);
  const std::string text = Save(f.report, TppFormatType::ftASCII);
  EXPECT_NE(text.find("CalcDataPipelineName = 'plSales'"), std::string::npos);
  EXPECT_NE(text.find("ResetDataPipelineName = 'plOrders'"), std::string::npos);
  TWholeForm g;
  Load(g.report, text);
  auto* loaded = cls::ObjectAs<TppVariable>(g.form()->FindComponent("ppCount"));
  ASSERT_NE(loaded, nullptr);
  EXPECT_EQ(loaded->CalcComponent(), g.plSales);
  EXPECT_EQ(loaded->ResetComponent(), g.plOrders);
}

TEST_F(WholeTemplates, PipelinesOfADataModuleAreFoundOnLoadingAndKeptWhenAbsent) {
  cls::Owned<cls::TDataModule> dm(new cls::TDataModule(nullptr));
  dm->SetName("dmSales");
  auto* plModule = MakeSales(dm.get(), "plModule");
  auto* plRegions = MakeSales(dm.get(), "plRegions");
  TWholeForm f;
  TppReport* r = f.report;
  r->SetDataPipeline(plModule);
  auto* detail = f.Band<TppDetailBand>("ppDetailBand1", 8);
  auto* amount = f.Add<TppDBText>(detail, "ppAmount");
  amount->SetDataPipeline(plModule);
  amount->SetDataField("Amount");
  amount->SetBoundsInUnits(1, 0, 30, 5);
  auto* sub = f.Add<TppSubReport>(detail, "ppSubReport1");
  sub->SetDataPipeline(plRegions);
  sub->SetBoundsInUnits(1, 6, 30, 1);
  auto* childDetail = new TppDetailBand(f.form());
  childDetail->SetName("ppDetailBand2");
  childDetail->SetReport(sub->Report());
  auto* region = f.Add<TppDBText>(childDetail, "ppRegion");
  region->SetDataPipeline(plRegions);
  region->SetDataField("Region");
  region->SetBoundsInUnits(1, 0, 30, 5);
  auto before = PrintedPages(r);
  ASSERT_TRUE(Printed(before, "100.125"));
  ASSERT_TRUE(Printed(before, "C"));
  // Loaded into the report that saved it.
  Load(r, Save(r, TppFormatType::ftBinary));
  EXPECT_EQ(PrintedPages(r), before);
  ExpectSamePagesEverywhere(f, before.size());
  // Without the data module the names are kept, written back, and found
  // when it is there again at printing.
  const std::string binary = Save(r, TppFormatType::ftBinary);
  dm.reset();
  TWholeForm g;
  Load(g.report, binary);
  EXPECT_EQ(g.report->DataPipeline(), nullptr);
  EXPECT_EQ(Save(g.report, TppFormatType::ftBinary), binary);
  dm.reset(new cls::TDataModule(nullptr));
  dm->SetName("dmSales");
  MakeSales(dm.get(), "plModule");
  MakeSales(dm.get(), "plRegions");
  EXPECT_EQ(PrintedPages(g.report), before);
  // Loaded into the report that saved it, the objects took new names.
  TppSubReport* loadedSub = nullptr;
  for (int i = 0; i < g.form()->ComponentCount(); ++i)
    if (auto* s = cls::ObjectAs<TppSubReport>(g.form()->Components(i))) loadedSub = s;
  ASSERT_NE(loadedSub, nullptr);
  EXPECT_EQ(loadedSub->DataPipeline(), dm->FindComponent("plRegions"));
}

TEST_F(WholeTemplates, ReportEventsOnNoDataAndOnSaveTextComeBack) {
  TWholeForm f;
  f.report->OnNoData = TppNoDataEvent(&f, &TWholeForm::NoData);
  f.report->OnSaveText = TppSaveTextEvent(&f, &TWholeForm::SaveText);
  for (TppFormatType format : {TppFormatType::ftBinary, TppFormatType::ftASCII}) {
    TWholeForm g;
    Load(g.report, Save(f.report, format));
    EXPECT_EQ(g.report->OnNoData.Method(), TppNoDataEvent(&g, &TWholeForm::NoData).Method());
    EXPECT_EQ(g.report->OnSaveText.Method(), TppSaveTextEvent(&g, &TWholeForm::SaveText).Method());
  }
}

TEST_F(WholeTemplates, ANoDataHandlerPrintsTheSamePagesAfterTheRoundTripAndInTheBackground) {
  TWholeForm f;
  f.report->SetDataPipeline(f.plEmpty);
  f.report->SetNoDataBehaviors(TppNoDataBehaviors{ndBlankReport, ndMessageOnPage});
  f.Label(f.Band<TppTitleBand>("ppTitleBand1", 10), "ppLabel1", "Title");
  f.Band<TppDetailBand>("ppDetailBand1", 10);
  auto withMessage = PrintedPages(f.report);
  f.report->OnNoData = TppNoDataEvent(&f, &TWholeForm::NoData);
  auto pages = PrintedPages(f.report);
  // The handler keeps the message off the page.
  ASSERT_NE(pages, withMessage);
  ExpectSamePagesEverywhere(f, pages.size());
}

TEST_F(WholeTemplates, ValidPagesPrintThePageStyleOnThePagesListed) {
  TWholeForm f;
  f.report->SetDataPipeline(f.plSales);
  f.Label(f.Band<TppDetailBand>("ppDetailBand1", 250), "ppLabel1", "Record");
  auto* style = f.Band<TppPageStyle>("ppPageStyle1", 5);
  style->SetValidPages("1,3");
  f.Label(style, "ppLabel2", "Styled");
  f.report->SetPageLimit(4);
  auto pages = PrintedPages(f.report);
  ASSERT_EQ(pages.size(), 4u);
  std::vector<bool> styled;
  for (const auto& page : Texts(pages)) styled.push_back(std::count(page.begin(), page.end(), "Styled") > 0);
  EXPECT_EQ(styled, (std::vector<bool>{true, false, true, false}));
  ExpectSamePagesEverywhere(f, 4);
}

// ---- what cannot stand in a report is refused ----

namespace {

// Streams whose objects cannot stand where they are, or count more than
// can print; each is a seed of the template reader's fuzz target.
const char* const kMisplaced[] = {
    "object ppReport1: TppReport\r\n  object ppDetailBand8: TppDetailBand\r\n  end\r\n"
    "  object ppDetailBand9: TppDetailBand\r\n  end\r\nend\r\n",
    "object ppReport1: TppReport\r\n  object ppTitleBand8: TppTitleBand\r\n  end\r\n"
    "  object ppTitleBand9: TppTitleBand\r\n  end\r\nend\r\n",
    "object ppReport1: TppReport\r\n  object ppDetailBand9: TppDetailBand\r\n"
    "    object ppLabel8: TppLabel\r\n      object ppLabel9: TppLabel\r\n      end\r\n    end\r\n  end\r\nend\r\n",
    "object ppReport1: TppReport\r\n  object ppDetailBand9: TppDetailBand\r\n"
    "    object ppReport9: TppReport\r\n    end\r\n  end\r\nend\r\n",
    "object ppReport1: TppReport\r\n  object ppChildReport9: TppChildReport\r\n  end\r\nend\r\n",
    "object ppReport1: TppReport\r\n  object ppDetailBand9: TppDetailBand\r\n"
    "    object Customer: TppParameter\r\n    end\r\n  end\r\nend\r\n",
    "object ppReport1: TppReport\r\n  object ppDetailBand9: TppDetailBand\r\n"
    "    BandsPerRecord = 2147483647\r\n  end\r\nend\r\n",
};

}  // namespace

TEST_F(WholeTemplates, ObjectsThatCannotStandWhereTheStreamPutsThemAreRefusedAndTheReportStaysAsItWas) {
  TWholeForm f;
  BuildBandSettings(f);
  const std::string before = Save(f.report, TppFormatType::ftASCII);
  const int components = f.form()->ComponentCount();
  for (const char* misplaced : kMisplaced)
    for (bool binary : {false, true}) {
      SCOPED_TRACE(misplaced);
      EXPECT_THROW(Load(f.report, binary ? ToBinary(misplaced) : std::string(misplaced)), cls::EReadError);
      EXPECT_EQ(Save(f.report, TppFormatType::ftASCII), before);
      EXPECT_EQ(f.form()->ComponentCount(), components);
    }
  // A stream of the same objects each where it can stand loads.
  Load(f.report,
       "object ppReport1: TppReport\r\n  object ppTitleBand9: TppTitleBand\r\n  end\r\n"
       "  object ppDetailBand9: TppDetailBand\r\n    BandsPerRecord = 3\r\n"
       "    object ppLabel9: TppLabel\r\n    end\r\n  end\r\nend\r\n");
  EXPECT_EQ(f.report->BandCount(), 2);
}

TEST_F(WholeTemplates, AChildReportWhoseTemplateIsTheFileBeingLoadedIsRefusedNamingIt) {
  std::filesystem::create_directories(sysroot::HostPath("C:\\Reports"));
  const std::string file = "C:\\Reports\\self.rtm";
  TWholeForm f;
  auto* detail = f.Band<TppDetailBand>("ppDetailBand1", 20);
  f.Label(detail, "ppLabel1", "Main");
  auto* sub = f.Add<TppSubReport>(detail, "ppSubReport1");
  sub->Report()->Template()->SetFileName(file);
  sub->Report()->SetSaveAsTemplate(true);
  f.report->Template()->SetFileName(file);
  f.report->Template()->SaveToFile();
  TWholeForm g;
  g.Label(g.Band<TppDetailBand>("ppDetailBand1", 20), "ppLabel1", "Other");
  g.report->Template()->SetFileName(file);
  const std::string before = Save(g.report, TppFormatType::ftASCII);
  const int components = g.form()->ComponentCount();
  try {
    g.report->Template()->LoadFromFile();
    ADD_FAILURE() << "loaded";
  } catch (const cls::EReadError& e) {
    EXPECT_NE(std::string(e.what()).find(file), std::string::npos) << e.what();
  }
  EXPECT_EQ(Save(g.report, TppFormatType::ftASCII), before);
  EXPECT_EQ(g.form()->ComponentCount(), components);
  // Read from a stream the child report's template is the outer file.
  cls::TMemoryStream bytes;
  {
    cls::TFileStream in(file, cls::fmOpenRead | cls::fmShareDenyNone);
    bytes.LoadFromStream(&in);
  }
  EXPECT_THROW(Load(g.report, bytes.DataString()), cls::EReadError);
  EXPECT_EQ(Save(g.report, TppFormatType::ftASCII), before);
}

// ---- older definitions: legacy properties and the conversion steps ----

namespace {

// An older template loaded into F's report, which prints where the tests
// see it (old templates name no printer and no device).
TppReport* LoadOld(TWholeForm& f, const std::string& text) {
  Load(f.report, text);
  f.report->PrinterSetup()->SetPrinterName("Zolmet");
  f.report->SetDeviceType("Printer");
  f.report->SetShowPrintDialog(false);
  f.report->SetShowCancelDialog(false);
  return f.report;
}

}  // namespace

TEST_F(WholeTemplates, AVersionOneTemplateReadsItsLegacyPropertiesAndPrints) {
  // Before 1270 the detail band's OnPrint handler is its BeforePrint (it
  // prints the customer); before 2097 sizes are screen pixels.
  const std::string v10 =
      "object ppReport1: TppReport\r\n"
      "  UserName = 'Report'\r\n  RulerUnits = utMillimeters\r\n  DataPipeline = plOrders\r\n  Version = '1.0'\r\n"
      "  object ppDetailBand1: TppDetailBand\r\n"
      "    OnPrint = DetailBeforePrint\r\n    OnSaveLineEnd = Notice\r\n    OnSaveLineStart = Notice\r\n"
      "    Left = 0\r\n    Top = 0\r\n    DataSource = plData\r\n    NoRecordsAction = nraPrintNothing\r\n"
      "    SkipWhenNoRecords = True\r\n    mmHeight = 40\r\n"
      "    object ppCustomer: TppLabel\r\n      Caption = '?'\r\n"
      "      mmLeft = 10\r\n      mmTop = 0\r\n      mmWidth = 100\r\n      mmHeight = 17\r\n    end\r\n"
      "    object ppDBText1: TppDBText\r\n      ReportField = 'Item'\r\n      DataPipelineName = 'plOrders'\r\n"
      "      mmLeft = 10\r\n      mmTop = 20\r\n      mmWidth = 100\r\n      mmHeight = 17\r\n    end\r\n"
      "  end\r\n"
      "  object TppParameterList\r\n    object Customer: TppParameter\r\n      Value = 'Lee'\r\n    end\r\n  end\r\n"
      "end\r\n";
  TWholeForm f;
  TppReport* r = LoadOld(f, v10);
  EXPECT_EQ(r->Units(), utMillimeters);
  auto* detail = static_cast<TppDetailBand*>(r->GetBand(TppBandType::btDetail, 0));
  ASSERT_NE(detail, nullptr);
  EXPECT_EQ(detail->DataPipeline(), f.form()->FindComponent("plData"));
  EXPECT_EQ(detail->BeforePrint.Method(), cls::TNotifyEvent(&f, &TWholeForm::DetailBeforePrint).Method());
  EXPECT_EQ(detail->mmHeight(), ConvertToMMThousandths(40, utScreenPixels, ppVertical));
  auto texts = Texts(PrintedPages(r));
  ASSERT_FALSE(texts.empty());
  for (const char* seen : {"Lee", "Apple", "Banana", "Cherry"})
    EXPECT_TRUE(std::count(texts[0].begin(), texts[0].end(), seen) > 0) << seen;
}

TEST_F(WholeTemplates, AVersionTwoNineTemplateTakesOffsetsAndColumnsInItsUnits) {
  // Before 3000: a dynamic band keeps the room below its lowest object, the
  // report's row spacing becomes the detail band's bottom offset, and the
  // column positions and width were in the report's units.
  const std::string v29 =
      "object ppReport1: TppReport\r\n"
      "  Columns = 2\r\n  ColumnPositions = ('5' '45')\r\n  ColumnWidth = 30.0\r\n  DataPipeline = plOrders\r\n"
      "  RowSpacing = 2.5\r\n  Units = utMillimeters\r\n  Version = '2.9'\r\n"
      "  object ppHeaderBand1: TppHeaderBand\r\n    PrintHeight = phDynamic\r\n    mmHeight = 20000\r\n"
      "    object ppLabel1: TppLabel\r\n      Caption = 'Header'\r\n"
      "      mmLeft = 0\r\n      mmTop = 0\r\n      mmWidth = 30000\r\n      mmHeight = 5000\r\n    end\r\n  end\r\n"
      "  object ppDetailBand1: TppDetailBand\r\n    mmHeight = 8000\r\n"
      "    object ppDBText1: TppDBText\r\n      DataField = 'Item'\r\n      DataPipelineName = 'plOrders'\r\n"
      "      mmLeft = 0\r\n      mmTop = 0\r\n      mmWidth = 25000\r\n      mmHeight = 5000\r\n    end\r\n  end\r\n"
      "end\r\n";
  TWholeForm f;
  TppReport* r = LoadOld(f, v29);
  EXPECT_EQ(r->StoredColumnPositions().Text(), "5000\r\n45000\r\n");
  EXPECT_EQ(r->mmColumnWidth(), 30000);
  EXPECT_EQ(r->GetBand(TppBandType::btHeader, 0)->mmBottomOffset(), 15000);
  EXPECT_EQ(r->GetBand(TppBandType::btDetail, 0)->mmBottomOffset(), 2500);
  EXPECT_EQ(r->PassSetting(), TppPassSettingType::psTwoPass);
  auto texts = Texts(PrintedPages(r));
  ASSERT_EQ(texts.size(), 1u);
  EXPECT_EQ(texts[0], (std::vector<std::string>{"Header", "Apple", "Banana", "Cherry"}));
}

TEST_F(WholeTemplates, AVersionThreeFiveTemplatesCalculationsBecomeSystemVariables) {
  const std::string v35 =
      "object ppReport1: TppReport\r\n  Units = utMillimeters\r\n  Version = '3.5'\r\n"
      "  object ppDetailBand1: TppDetailBand\r\n    mmHeight = 8000\r\n"
      "    object ppCalc1: TppCalc\r\n      CalcType = ctPageSetDesc\r\n      TextAlignment = taCentered\r\n"
      "      mmLeft = 2000\r\n      mmTop = 1000\r\n      mmWidth = 40000\r\n      mmHeight = 5000\r\n    end\r\n"
      "    object ppCalc2: TppCalc\r\n      CalcType = ctCustom\r\n"
      "      mmLeft = 50000\r\n      mmTop = 1000\r\n      mmWidth = 20000\r\n      mmHeight = 5000\r\n    end\r\n"
      "  end\r\nend\r\n";
  TWholeForm f;
  LoadOld(f, v35);
  // Printing converts, the calculations printing as they are.
  auto before = PrintedPages(f.report);
  // One turn of the main thread's work later they are system variables.
  ui::Application().ProcessMessages();
  auto* page = cls::ObjectAs<TppSystemVariable>(f.form()->FindComponent("ppCalc1"));
  ASSERT_NE(page, nullptr);
  EXPECT_EQ(page->VarType(), vtPageSetDesc);
  EXPECT_EQ(page->mmLeft(), 2000);
  EXPECT_EQ(page->mmWidth(), 40000);
  EXPECT_EQ(page->TextAlignment(), taCentered);
  EXPECT_NE(cls::ObjectAs<TppVariable>(f.form()->FindComponent("ppCalc2")), nullptr);
  TppBand* detail = f.report->GetBand(TppBandType::btDetail, 0);
  ASSERT_EQ(detail->ObjectCount(), 2);
  EXPECT_EQ(detail->Objects(0), page);
  // The page text a calculation printed, the system variable prints.
  auto after = PrintedPages(f.report);
  EXPECT_TRUE(Printed(before, "Page 1 of 1"));
  EXPECT_TRUE(Printed(after, "Page 1 of 1"));
}
