// A report built in code comes back whole from its template: band
// settings, pipelines named by the stream, column positions, parameters
// and auto-search fields; each printed before and after the round trip and
// in the background gives the same pages. Crafted templates the reader
// refuses, older definitions converted while loading, and the small faults
// of the readers.
#include <gtest/gtest.h>

#include <cstring>
#include <limits>

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
}
