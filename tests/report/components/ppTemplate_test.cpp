// Report templates of a whole report on a form: saved in both forms, loaded
// into another form's empty report and into the report itself, damaged
// streams, reader errors through the error dialog, offsets, files and a
// table of templates.
#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <signal.h>
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>

#include "platform/classes/compstream.h"
#include "platform/gdi/gdi.h"
#include "platform/sysroot/codepage.h"
#include "platform/sysroot/sysroot.h"
#include "platform/ui/dialogs.h"
#include "platform/ui/forms.h"
#include "report/components/ppBarCod.h"
#include "report/components/ppCtrls.h"
#include "report/components/ppDBText.h"
#include "report/components/ppMemo.h"
#include "report/engine/ppBands.h"
#include "report/engine/ppGroup.h"
#include "report/engine/ppSubRpt.h"
#include "report/engine/ppReport.h"
#include "report/engine/ppReportTemplate.h"
#include "report/model/ppForms.h"
#include "report/model/ppResMgr.h"
#include "tests/report/output/ppPrintr_fixture.h"
#include "tests/support/ppListPipeline.h"

namespace {

using TValue = TppListPipeline::TValue;

// A form: a named component owning the pipeline and the report.
struct TTestForm {
  cls::Owned<cls::TComponent> form;
  TppListPipeline* plOrders = nullptr;
  TppReport* report = nullptr;

  explicit TTestForm(const std::string& name) : form(new cls::TComponent(nullptr)) {
    form->SetName(name);
    plOrders = new TppListPipeline(form.get());
    plOrders->SetName("plOrders");
    plOrders->SetFieldNames({"City", "Item"});
    plOrders->AddField("Amount", dtInteger);
    for (auto [city, item, amount] : {std::tuple{"臺北", "A", 5}, {"臺北", "B", 3}, {"臺南", "C", 7}})
      plOrders->AddRecord({{"City", TValue(std::string(city))},
                           {"Item", TValue(std::string(item))},
                           {"Amount", TValue(int64_t{amount})}});
    report = new TppReport(form.get());
    report->SetName("ppReport1");
    report->SetUnits(utMillimeters);
    report->PrinterSetup()->SetPrinterName("Zolmet");
    report->SetDeviceType("Printer");
    report->SetShowPrintDialog(false);
    report->SetShowCancelDialog(false);
  }

  template <class T>
  T* Add(TppCustomBand* band, const std::string& name) {
    auto* c = new T(form.get());
    c->SetName(name);
    c->SetBand(band);
    return c;
  }

  // The report of Must-show 1, built in code.
  void Build() {
    auto* header = new TppHeaderBand(form.get());
    header->SetName("ppHeaderBand1");
    header->SetReport(report);
    header->SetHeight(30);
    auto* title = Add<TppLabel>(header, "ppLabel1");
    title->SetCaption("訂單 Orders");
    title->SetBoundsInUnits(2, 1, 50, 6);
    auto* bar = Add<TppBarCode>(header, "ppBarCode1");
    bar->SetBarCodeType(bcEAN_13);
    bar->SetData("200000100001");
    bar->SetLeft(2);
    bar->SetTop(8);
    auto* group = new TppGroup(form.get());
    group->SetName("ppGroup1");
    group->SetReport(report);
    group->SetDataPipeline(plOrders);
    group->SetBreakName("City");
    auto* groupHeader = new TppGroupHeaderBand(form.get());
    groupHeader->SetName("ppGroupHeaderBand1");
    groupHeader->SetGroup(group);
    groupHeader->SetHeight(7);
    auto* city = Add<TppDBText>(groupHeader, "ppDBText1");
    city->SetDataPipeline(plOrders);
    city->SetDataField("City");
    city->SetBoundsInUnits(2, 1, 20, 5);
    auto* groupFooter = new TppGroupFooterBand(form.get());
    groupFooter->SetName("ppGroupFooterBand1");
    groupFooter->SetGroup(group);
    groupFooter->SetHeight(7);
    auto* citySum = Add<TppDBCalc>(groupFooter, "ppDBCalc2");
    citySum->SetDataPipeline(plOrders);
    citySum->SetDataField("Amount");
    citySum->SetDBCalcType(dcSum);
    citySum->SetBoundsInUnits(2, 1, 20, 5);
    auto* detail = new TppDetailBand(form.get());
    detail->SetName("ppDetailBand1");
    detail->SetReport(report);
    detail->SetHeight(12);
    auto* item = Add<TppDBText>(detail, "ppDBText2");
    item->SetDataPipeline(plOrders);
    item->SetDataField("Item");
    item->SetBoundsInUnits(2, 0, 20, 5);
    auto* memo1 = Add<TppMemo>(detail, "ppMemo1");
    memo1->SetBoundsInUnits(24, 0, 30, 5);
    memo1->SetStretch(true);
    memo1->GetLines()->SetText("first line\r\nsecond line\r\n");
    auto* memo2 = Add<TppMemo>(detail, "ppMemo2");
    memo2->SetBoundsInUnits(24, 6, 30, 5);
    memo2->SetStretch(true);
    memo2->GetLines()->SetText("below\r\n");
    memo2->SetShiftRelativeTo(memo1);
    auto* summary = new TppSummaryBand(form.get());
    summary->SetName("ppSummaryBand1");
    summary->SetReport(report);
    summary->SetHeight(8);
    auto* sum = Add<TppDBCalc>(summary, "ppDBCalc1");
    sum->SetDataPipeline(plOrders);
    sum->SetDataField("Amount");
    sum->SetDBCalcType(dcSum);
    sum->SetBoundsInUnits(2, 1, 20, 5);
    auto* sub = Add<TppSubReport>(summary, "ppSubReport1");
    sub->SetPrintBehavior(pbChild);
    sub->SetBoundsInUnits(2, 7, 60, 6);
    auto* subDetail = new TppDetailBand(form.get());
    subDetail->SetName("ppDetailBand2");
    subDetail->SetReport(sub->Report());
    subDetail->SetHeight(6);
    auto* subLabel = Add<TppLabel>(subDetail, "ppLabel2");
    subLabel->SetCaption("子報表 child");
    subLabel->SetBoundsInUnits(4, 0, 40, 5);
    summary->SetHeight(15);
    report->SetDataPipeline(plOrders);
    // The memo's reference names a memo made after it.
    memo1->SetShiftRelativeTo(nullptr);
    memo2->SetShiftRelativeTo(nullptr);
    memo1->SetShiftRelativeTo(memo2);
  }

  std::string Save(TppFormatType format) {
    report->Template()->SetFormat(format);
    cls::TMemoryStream s;
    report->Template()->SaveToStream(&s);
    return s.DataString();
  }
  void Load(const std::string& bytes) {
    cls::TMemoryStream s;
    s.WriteBuffer(bytes.data(), static_cast<int64_t>(bytes.size()));
    s.SetPosition(0);
    report->Template()->LoadFromStream(&s);
  }
};

// Every drawing call of the recorded jobs, page by page.
std::vector<std::vector<std::string>> RecordedPages() {
  std::vector<std::vector<std::string>> pages;
  for (const gdi::Job& job : gdi::RecordedJobs())
    for (const gdi::Page& page : job.pages) {
      std::vector<std::string> ops;
      for (const gdi::Op& op : page.ops) ops.push_back(op.Describe());
      pages.push_back(ops);
    }
  return pages;
}

std::vector<std::vector<std::string>> PrintedPages(TppReport* report) {
  gdi::ClearRecordedJobs();
  report->Print();
  auto pages = RecordedPages();
  gdi::ClearRecordedJobs();
  return pages;
}

class Templates : public Printers {
 protected:
  void SetUp() override {
    Printers::SetUp();
    Install(RecordingZolmet(), true);
    owned1 = std::make_unique<TTestForm>("Form1");
    owned1->Build();
  }
  void TearDown() override {
    owned1.reset();
    Printers::TearDown();
  }
  std::unique_ptr<TTestForm> owned1;
  TTestForm& form1() { return *owned1; }
};

}  // namespace

// ---- Must show 1: both forms, another form, byte for byte ----

TEST_F(Templates, SavedFormsLoadIntoAnotherFormAndPrintTheSame) {
  std::string binary = form1().Save(TppFormatType::ftBinary);
  std::string text = form1().Save(TppFormatType::ftASCII);
  EXPECT_EQ(binary.substr(0, 4), "TPF0");
  EXPECT_EQ(text.substr(0, 27), "object ppReport1: TppReport");
  auto expected = PrintedPages(form1().report);
  ASSERT_FALSE(expected.empty());
  for (const std::string* saved : {&binary, &text}) {
    TTestForm form2("Form2");
    form2.Load(*saved);
    EXPECT_EQ(form2.report->BandCount(), 5);
    EXPECT_EQ(form2.report->GroupCount(), 1);
    EXPECT_EQ(form2.report->DataPipeline(), form2.plOrders);
    EXPECT_EQ(PrintedPages(form2.report), expected);
    EXPECT_EQ(form2.Save(TppFormatType::ftBinary), binary);
    EXPECT_EQ(form2.Save(TppFormatType::ftASCII), text);
  }
}
TEST_F(Templates, DebugDump) {
  std::string text = form1().Save(TppFormatType::ftASCII);
  TTestForm form2("Form2");
  form2.Load(text);
  std::string again = form2.Save(TppFormatType::ftASCII);
  if (0) fprintf(stderr, "device %s printing %d bands %d pipeline %p\n", form2.report->DeviceType().c_str(), form2.report->Printing(), form2.report->BandCount(), (void*)form2.report->DataPipeline());
  auto a = PrintedPages(form1().report);
  auto b = PrintedPages(form2.report);
  fprintf(stderr, "pages %zu %zu\n", a.size(), b.size());
  for (size_t p = 0; p < std::min(a.size(), b.size()); ++p)
    for (size_t i = 0; i < std::max(a[p].size(), b[p].size()); ++i) {
      std::string x = i < a[p].size() ? a[p][i] : "-", y = i < b[p].size() ? b[p][i] : "-";
      if (x != y) fprintf(stderr, "%zu/%zu: %s | %s\n", p, i, x.c_str(), y.c_str());
    }
}
