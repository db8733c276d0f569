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
#include "tests/report/components/ppTemplateSupport.h"
#include "tests/report/output/ppPrintr_fixture.h"
#include "tests/support/ppListPipeline.h"
#include "tests/support/ppTestReport.h"

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
    testing_support::PrintOnZolmet(report);
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

using template_support::PrintedPages;

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

// ---- Both forms, another form, byte for byte ----

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

// The preview's settings travel with the template; a stored zoom
// percentage keeps a whole-page setting.
TEST_F(Templates, PreviewAndSearchSettingsRoundTrip) {
  TppPreviewFormSettings* preview = form1().report->PreviewFormSettings();
  preview->SetZoomPercentage(150);
  preview->SetZoomSetting(zsWholePage);
  preview->SetWindowState(ui::wsMaximized);
  TppTextSearchSettings* search = form1().report->TextSearchSettings();
  search->SetWholeWord(true);
  search->SetShowAll(true);
  search->SetVisible(true);
  search->SetDefaultString("尋找");
  std::string text = form1().Save(TppFormatType::ftASCII);
  EXPECT_NE(text.find("TextSearchSettings.WholeWord = True"), std::string::npos) << text;
  for (TppFormatType format : {TppFormatType::ftASCII, TppFormatType::ftBinary}) {
    std::string saved = form1().Save(format);
    TTestForm form2("Form2");
    form2.Load(saved);
    TppPreviewFormSettings* p2 = form2.report->PreviewFormSettings();
    EXPECT_EQ(p2->ZoomPercentage(), 150);
    EXPECT_EQ(p2->ZoomSetting(), zsWholePage);
    EXPECT_EQ(p2->WindowState(), ui::wsMaximized);
    TppTextSearchSettings* s2 = form2.report->TextSearchSettings();
    EXPECT_TRUE(s2->WholeWord() && s2->ShowAll() && s2->Visible() && s2->Enabled());
    EXPECT_FALSE(s2->CaseSensitive());
    EXPECT_EQ(s2->DefaultString(), "尋找");  // loading is no language change
    EXPECT_EQ(form2.Save(format), saved);
  }
}

// ---- Damaged streams change nothing ----

// Every cut is tried; each of the eight cases takes every eighth one, so
// that the cases run side by side.
class CutTemplates : public Templates, public testing::WithParamInterface<int> {};

TEST_P(CutTemplates, EveryCutTemplateFailsAndLeavesTheReport) {
  const size_t shard = static_cast<size_t>(GetParam()), shards = 8;
  std::string binary = form1().Save(TppFormatType::ftBinary);
  std::string text = form1().Save(TppFormatType::ftASCII);
  std::string before = form1().Save(TppFormatType::ftASCII);
  auto expectFailure = [&](const std::string& bytes, bool shortOfSignature) {
    try {
      form1().Load(bytes);
      ADD_FAILURE() << "loaded " << bytes.size() << " bytes";
    } catch (const EInvalidTemplateError& e) {
      EXPECT_TRUE(shortOfSignature) << bytes.size() << ": " << e.what();
      EXPECT_EQ(std::string(e.what()), "Invalid Template Format");
    } catch (const cls::EReadError& e) {
      EXPECT_FALSE(shortOfSignature) << bytes.size() << ": " << e.what();
    }
  };
  for (size_t n = shard; n < binary.size(); n += shards) expectFailure(binary.substr(0, n), n < 4);
  std::vector<size_t> lineStarts{0};
  for (size_t i = 0; i + 1 < text.size(); ++i)
    if (text[i] == '\n') lineStarts.push_back(i + 1);
  for (size_t i = shard; i < lineStarts.size(); i += shards)
    expectFailure(text.substr(0, lineStarts[i]), lineStarts[i] < 6);
  // A label as the top object is no report.
  expectFailure("object ppLabel9: TppLabel\r\n  Caption = 'x'\r\nend\r\n", true);
  EXPECT_EQ(form1().report->StateFlags() & pstReadingTemplate, 0);
  EXPECT_EQ(form1().Save(TppFormatType::ftASCII), before);
  EXPECT_EQ(form1().report->Template()->Format(), TppFormatType::ftASCII);
}

INSTANTIATE_TEST_SUITE_P(Shards, CutTemplates, testing::Range(0, 8));

// ---- Into the report itself ----

TEST_F(Templates, LoadingIntoTheSameReportRenamesTheClashingComponents) {
  TTestForm& f = form1();
  std::string text = f.Save(TppFormatType::ftASCII);
  int before = f.form->ComponentCount();
  f.Load(text);
  EXPECT_EQ(f.form->ComponentCount(), before);
  auto* memo1 = cls::ObjectAs<TppMemo>(f.form->FindComponent("ppMemo3"));
  auto* memo2 = cls::ObjectAs<TppMemo>(f.form->FindComponent("ppMemo4"));
  ASSERT_NE(memo1, nullptr);
  ASSERT_NE(memo2, nullptr);
  EXPECT_EQ(f.form->FindComponent("ppMemo1"), nullptr);
  EXPECT_EQ(memo1->ShiftRelativeTo(), memo2);
  EXPECT_EQ(memo1->Band(), memo2->Band());
  EXPECT_EQ(memo1->GetReport(), f.report);
  EXPECT_NE(f.form->FindComponent("ppHeaderBand2"), nullptr);
  EXPECT_NE(f.form->FindComponent("ppLabel3"), nullptr);
  EXPECT_NE(f.form->FindComponent("ppLabel4"), nullptr);
  EXPECT_EQ(f.report->Template()->ChangedNames().at("PPMEMO1"), "ppMemo3");
  EXPECT_EQ(f.report->Name(), "ppReport1");
  EXPECT_EQ(f.report->StateFlags() & pstReadingTemplate, 0);
}

TEST_F(Templates, ATemplateNamingItsOwnFileLoadsOnce) {
  TTestForm& f = form1();
  std::filesystem::create_directories(sysroot::HostPath("C:\\Reports"));
  f.report->SetSaveAsTemplate(true);
  f.report->Template()->SetFileName("C:\\Reports\\self.rtm");
  f.report->Template()->SetFormat(TppFormatType::ftASCII);
  f.report->Template()->SaveToFile();
  struct Count {
    int loads = 0;
    void Start(cls::TObject*) { ++loads; }
  } count;
  f.report->Template()->OnLoadStart = cls::TNotifyEvent(&count, &Count::Start);
  f.report->Template()->LoadFromFile();
  EXPECT_EQ(count.loads, 1);
  EXPECT_TRUE(f.report->SaveAsTemplate());
  EXPECT_EQ(f.report->BandCount(), 5);
}

// ---- Offsets and the decimal separator ----

TEST_F(Templates, HeaderBeforeTheTemplateIsFoundThroughItsFirstFourBytes) {
  std::string binary = form1().Save(TppFormatType::ftBinary);
  std::string header(16, '\0');
  header[0] = 16;
  TTestForm form2("Form2");
  int32_t seen = -1;
  struct See {
    int32_t* seen;
    void End(cls::TObject* sender) { *seen = static_cast<TppTemplate*>(sender)->Offset(); }
  } see{&seen};
  form2.report->Template()->OnLoadEnd = cls::TNotifyEvent(&see, &See::End);
  form2.Load(header + binary);
  EXPECT_EQ(seen, 16);
  EXPECT_EQ(form2.report->Template()->Offset(), 0);
  EXPECT_EQ(form2.report->BandCount(), 5);
}

TEST_F(Templates, SavingAtAnOffsetWritesZerosFirst) {
  form1().report->Template()->SetOffset(8);
  std::string saved = form1().Save(TppFormatType::ftBinary);
  EXPECT_EQ(saved.substr(0, 8), std::string(8, '\0'));
  EXPECT_EQ(saved.substr(8, 4), "TPF0");
  // The caller's header before the position stays.
  cls::TMemoryStream s;
  s.WriteBuffer("HEADER", 6);
  s.SetPosition(2);
  form1().report->Template()->SaveToStream(&s);
  EXPECT_EQ(s.DataString().substr(0, 6), "HEADER");
  EXPECT_EQ(s.DataString().substr(10, 4), "TPF0");
}

TEST_F(Templates, FloatsAreWrittenWithAPointWhateverTheSeparator) {
  cls::TFormatSettings saved = cls::FormatSettings();
  cls::FormatSettings().DecimalSeparator = ',';
  form1().report->PrinterSetup()->SetMarginLeft(2.5f);
  std::string text = form1().Save(TppFormatType::ftASCII);
  EXPECT_NE(text.find("PrinterSetup.MarginLeft = 2.5\r\n"), std::string::npos);
  TTestForm form2("Form2");
  form2.Load(text);
  EXPECT_EQ(form2.report->PrinterSetup()->MarginLeft(), 2.5f);
  EXPECT_EQ(cls::FormatSettings().DecimalSeparator, ',');
  cls::FormatSettings() = saved;
}

// ---- Files and a table of templates ----

TEST_F(Templates, FilesReadOnlyMissingAndReplacedWhole) {
  TppReportTemplate* t = form1().report->Template();
  std::filesystem::create_directories(sysroot::HostPath("C:\\Reports"));
  t->SetFileName("C:\\Reports\\none.rtm");
  try {
    t->LoadFromFile();
    ADD_FAILURE() << "loaded a missing file";
  } catch (const ETemplateLoadError& e) {
    EXPECT_EQ(std::string(e.what()), "File not found: C:\\Reports\\none.rtm");
  }
  std::string host = sysroot::HostPath("C:\\Reports\\locked.rtm");
  { std::ofstream(host) << "old"; }
  std::filesystem::permissions(host, std::filesystem::perms::owner_read | std::filesystem::perms::group_read);
  t->SetFileName("C:\\Reports\\locked.rtm");
  try {
    t->SaveToFile();
    ADD_FAILURE() << "saved over a read-only file";
  } catch (const ETemplateSaveError& e) {
    EXPECT_EQ(std::string(e.what()), "File is read-only.");
  }
  EXPECT_TRUE(t->ReadOnly());
}

TEST_F(Templates, AFailedSaveLeavesTheOldFile) {
  TppReportTemplate* t = form1().report->Template();
  std::filesystem::create_directories(sysroot::HostPath("C:\\Reports"));
  std::string host = sysroot::HostPath("C:\\Reports\\orders.rtm");
  { std::ofstream(host) << "old template"; }
  t->SetFileName("C:\\Reports\\orders.rtm");
  pid_t child = fork();
  ASSERT_GE(child, 0);
  if (child == 0) {
    signal(SIGXFSZ, SIG_IGN);
    rlimit limit{512, 512};
    setrlimit(RLIMIT_FSIZE, &limit);
    int code = 1;
    try {
      t->SaveToFile();
    } catch (const ETemplateSaveError&) {
      code = 0;
    }
    _exit(code);
  }
  int status = 0;
  ASSERT_EQ(waitpid(child, &status, 0), child);
  ASSERT_TRUE(WIFEXITED(status));
  EXPECT_EQ(WEXITSTATUS(status), 0);
  std::ifstream in(host);
  std::string content((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
  EXPECT_EQ(content, "old template");
  int files = 0;
  for (auto& e : std::filesystem::directory_iterator(std::filesystem::path(host).parent_path())) {
    (void)e;
    ++files;
  }
  EXPECT_EQ(files, 1);
  // Without the limit the file is replaced.
  t->SaveToFile();
  std::ifstream again(host);
  std::string saved((std::istreambuf_iterator<char>(again)), std::istreambuf_iterator<char>());
  EXPECT_EQ(saved.substr(0, 4), "TPF0");
}

TEST_F(Templates, TableOfTemplatesKeepsOneRecordPerName) {
  TTestForm& f = form1();
  auto* table = new TppListPipeline(f.form.get());
  table->SetName("plTemplates");
  table->AddField("Name");
  TppField* field = table->AddField("Template", dtMemo);
  TppReportTemplate* t = f.report->Template();
  t->SetSaveTo(stDatabase);
  t->DatabaseSettings()->SetDataPipeline(table);
  t->DatabaseSettings()->SetNameField("Name");
  t->DatabaseSettings()->SetTemplateField("Template");
  t->DatabaseSettings()->SetName("orders");
  t->Save();
  t->Save();
  EXPECT_EQ(table->RecordCount(), 1);
  EXPECT_EQ(table->PostCount(), 2);
  TTestForm form2("Form2");
  auto* table2 = new TppListPipeline(form2.form.get());
  table2->SetName("plTemplates");
  (void)table2;
  TppReportTemplate* t2 = form2.report->Template();
  t2->DatabaseSettings()->SetDataPipeline(table);
  t2->DatabaseSettings()->SetNameField("Name");
  t2->DatabaseSettings()->SetTemplateField("Template");
  t2->DatabaseSettings()->SetName("ORDERS");
  t2->LoadFromDatabase();
  EXPECT_EQ(form2.report->BandCount(), 5);
  t2->DatabaseSettings()->SetName("none");
  try {
    t2->LoadFromDatabase();
    ADD_FAILURE() << "loaded a missing record";
  } catch (const ETemplateLoadError& e) {
    EXPECT_EQ(std::string(e.what()), "Record not found: none");
  }
  // A string field cannot hold a template; nothing is written.
  field->SetDataType(dtString);
  t->DatabaseSettings()->SetName("other");
  try {
    t->Save();
    ADD_FAILURE() << "saved into a string field";
  } catch (const ETemplateSaveError& e) {
    EXPECT_EQ(std::string(e.what()), ppLoadStr(53));
  }
  EXPECT_EQ(table->RecordCount(), 1);
  EXPECT_EQ(table->PostCount(), 2);
  // The table going clears the template's link to it.
  table->Free();
  EXPECT_EQ(t->DatabaseSettings()->DataPipeline(), nullptr);
  t2->DatabaseSettings()->SetDataPipeline(nullptr);
}

// ---- On paper: the loaded report printed on "Zolmet" ----

TEST(TemplatesOnPaper, LoadedReportPrintsTextAndAReadableBarCode) {
  if (std::system("command -v pdftotext > /dev/null 2>&1") != 0 ||
      std::system("command -v zbarimg > /dev/null 2>&1") != 0)
    GTEST_SKIP() << "pdftotext or zbarimg is not installed";
  testing_support::TempRoot root;
  ppPrintrFinalize();
  ASSERT_TRUE(spool::InstallPrinter(spool::DemoReceiptPrinter()));
  ASSERT_TRUE(spool::SetDefaultPrinter("Zolmet"));
  std::string binary;
  {
    TTestForm form1("Form1");
    form1.Build();
    binary = form1.Save(TppFormatType::ftBinary);
  }
  TTestForm form2("Form2");
  form2.Load(binary);
  form2.report->Print();
  std::string folder = sysroot::HostPath("C:\\Zolmet\\Printed\\Zolmet");
  std::string pdf, png;
  for (const auto& e : std::filesystem::directory_iterator(folder)) {
    if (e.path().extension() == ".pdf") pdf = e.path().string();
    if (e.path().extension() == ".png" && png.empty()) png = e.path().string();
  }
  ASSERT_FALSE(pdf.empty());
  ASSERT_FALSE(png.empty());
  std::string text = testing_support::Shell("pdftotext -layout '" + pdf + "' -");
  for (const char* expected : {"訂單 Orders", "臺北", "臺南", "first line", "below", "子報表 child"})
    EXPECT_NE(text.find(cp::Big5ToUtf8(expected)), std::string::npos) << expected << " in:\n" << text;
  EXPECT_EQ(testing_support::Shell("zbarimg --quiet '" + png + "' 2>/dev/null"), "EAN-13:2000001000014\n");
  ppPrintrFinalize();
}

// ---- the template's description and the busy cursor ----

TEST_F(Templates, DescribedByNameAndTheCursorPutBack) {
  TppReportTemplate* t = form1().report->Template();
  const TraRTTI* rtti = raGetRTTIClass(t->ClassType());
  ASSERT_NE(rtti, nullptr);
  EXPECT_EQ(rtti, &TraTppReportTemplateRTTI::Instance());
  std::string text;
  ASSERT_TRUE(raGetPropValueText(t, "FileExtension", text));
  EXPECT_EQ(text, "rtm");
  EXPECT_TRUE(raSetPropValue(t, "FileName", TraValue(std::string("C:\\Reports\\x.rtm"))));
  EXPECT_EQ(t->FileName(), "C:\\Reports\\x.rtm");
  ASSERT_TRUE(raGetPropValueText(t, "Format", text));
  EXPECT_EQ(text, "ftBinary");
  TraValue report;
  ASSERT_TRUE(raGetPropValue(t, "Report", report));
  EXPECT_EQ(std::get<cls::TObject*>(report), form1().report);
  // "New" empties the report and forgets the name.
  EXPECT_TRUE(rtti->CallMethod(t, "New", nullptr));
  EXPECT_EQ(form1().report->BandCount(), 0);
  EXPECT_EQ(t->FileName(), "");
  EXPECT_EQ(form1().form->FindComponent("ppMemo1"), nullptr);

  ui::Screen().SetCursor(ui::crSQLWait);
  EXPECT_THROW(form1().Load("neither"), EInvalidTemplateError);
  EXPECT_EQ(ui::Screen().Cursor(), ui::crSQLWait);
  form1().Save(TppFormatType::ftBinary);
  EXPECT_EQ(ui::Screen().Cursor(), ui::crDefault);
}
