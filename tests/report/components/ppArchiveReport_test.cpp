// A three-page report of text, line, shape, picture and EAN-13 printed to
// the archive device, read back by the test reader and printed on the
// demo printer: the same document, texts, page sizes and pixels as the
// report printed directly. And an archive run whose writes fail.
#include <gtest/gtest.h>

#include <cairo.h>
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <csignal>
#include <filesystem>
#include <string>
#include <vector>

#include "platform/sysroot/files.h"
#include "platform/sysroot/sysroot.h"
#include "report/components/ppBarCod.h"
#include "report/components/ppCtrls.h"
#include "report/components/ppDBText.h"
#include "report/engine/ppBands.h"
#include "report/engine/ppEngine.h"
#include "report/engine/ppReport.h"
#include "report/model/ppUtils.h"
#include "tests/report/output/ppPrintr_fixture.h"
#include "tests/support/ppArchiveReader.h"
#include "tests/support/ppListPipeline.h"

namespace fs = std::filesystem;
using testing_support::ReadFile;
using testing_support::Shell;
using TValue = TppListPipeline::TValue;

namespace {

class ArchiveReport : public Printers {
 protected:
  void SetUp() override {
    Printers::SetUp();
    gdi::SetDeterministicMetrics(false);
    spool::PrinterDef def = spool::DemoReceiptPrinter();
    Install(def, true);
    ppRegisterEngineUnit();
    ASSERT_TRUE(win::CreateDirectory("C:\\Out"));
    data.reset(new TppListPipeline(nullptr));
    data->SetFieldNames({"No"});
    for (const char* no : {"No. 1", "No. 2", "No. 3"}) data->AddRecord({{"No", TValue(std::string(no))}});
    report.reset(new TppReport(nullptr));
    report->SetUnits(utMillimeters);
    report->PrinterSetup()->SetPrinterName("Zolmet");
    report->PrinterSetup()->SetDocumentName("Archive test");
    report->SetShowPrintDialog(false);
    report->SetShowCancelDialog(false);
    report->SetDataPipeline(data.get());
    TppPageDef* def82 = report->PrinterSetup()->PageDef();
    def82->SetmmWidth(82000);
    def82->SetmmHeight(100000);
    def82->SetmmMarginTop(5000);
    def82->SetmmMarginBottom(5000);
    def82->SetmmMarginLeft(3000);
    def82->SetmmMarginRight(3000);
    auto* detail = new TppDetailBand(nullptr);
    detail->SetReport(report.get());
    detail->SetHeight(80);
    auto* text = Add<TppDBText>(detail, 0, 0, 60000, 6000);
    text->SetDataPipeline(data.get());
    text->SetDataField("No");
    text->Font()->SetName("Arial");
    text->Font()->SetSize(12);
    text->Font()->SetColor(gdi::clBlack);
    Add<TppLine>(detail, 0, 8000, 70000, 1000);
    auto* shape = Add<TppShape>(detail, 2000, 12000, 20000, 12000);
    shape->SetShape(TShapeType::stEllipse);
    auto* image = Add<TppImage>(detail, 30000, 12000, 16000, 8000);
    image->Picture()->Bitmap().SetPixels(4, 2, {0xFFFF0000u, 0xFF00FF00u, 0xFF0000FFu, 0xFF000000u, 0xFFFFFFFFu,
                                                0xFF808080u, 0xFF123456u, 0xFF654321u});
    image->SetStretch(true);
    auto* bar = Add<TppBarCode>(detail, 2000, 30000, 50000, 20000);
    bar->SetBarCodeType(bcEAN_13);
    bar->SetData("2000001000014");
  }
  void TearDown() override {
    report.reset();
    components.clear();
    data.reset();
    Printers::TearDown();
  }
  template <class T>
  T* Add(TppDetailBand* band, int left, int top, int width, int height) {
    auto* c = new T(nullptr);
    components.emplace_back(c);
    c->SetBand(band);
    c->SetmmLeft(left);
    c->SetmmTop(top);
    c->SetmmWidth(width);
    c->SetmmHeight(height);
    return c;
  }
  static std::string Folder() { return sysroot::HostPath("C:\\Zolmet\\Printed\\Zolmet"); }
  static std::string Job(int n, const std::string& suffix) {
    char name[32];
    std::snprintf(name, sizeof name, "/job-%04d%s", n, suffix.c_str());
    return Folder() + name;
  }
  static std::string Field(const std::string& record, const std::string& key) {
    size_t at = record.find(key + "=");
    if (at == std::string::npos) return "";
    at += key.size() + 1;
    return record.substr(at, record.find("\r\n", at) - at);
  }
  // The pixels of a PNG, row by row; empty when it cannot be read.
  static std::vector<uint32_t> Pixels(const std::string& png, int& width, int& height) {
    std::vector<uint32_t> px;
    cairo_surface_t* img = cairo_image_surface_create_from_png(png.c_str());
    if (cairo_surface_status(img) == CAIRO_STATUS_SUCCESS) {
      cairo_surface_flush(img);
      width = cairo_image_surface_get_width(img);
      height = cairo_image_surface_get_height(img);
      int stride = cairo_image_surface_get_stride(img) / 4;
      auto* data = reinterpret_cast<uint32_t*>(cairo_image_surface_get_data(img));
      for (int y = 0; y < height; ++y) px.insert(px.end(), data + y * stride, data + y * stride + width);
    }
    cairo_surface_destroy(img);
    return px;
  }
  std::vector<std::string> ArcFiles() {
    std::vector<std::string> found;
    fs::path temp = root_.Host(GetTempDirectory());
    if (fs::is_directory(temp))
      for (const auto& e : fs::directory_iterator(temp))
        if (e.path().filename().string().rfind("arc", 0) == 0) found.push_back(e.path().string());
    return found;
  }
  cls::Owned<TppListPipeline> data;
  cls::Owned<TppReport> report;
  std::vector<cls::Owned<TppComponent>> components;
};

}  // namespace

TEST_F(ArchiveReport, PagesReadBackPrintAsTheReportDoes) {
  report->SetDeviceType("Printer");
  report->Print();
  report->SetDeviceType("ArchiveFile");
  report->SetArchiveFileName("C:\\Out\\report.raf");
  report->Print();
  EXPECT_TRUE(ArcFiles().empty());

  std::string file = ReadFile(root_.Host("C:\\Out\\report.raf"));
  testing_support::TArchiveReader reader("C:\\Out\\report.raf");
  EXPECT_EQ(reader.DataOffset(), 28u);
  ASSERT_EQ(reader.PageCount(), 3);
  uint32_t position = 0;
  for (int i = 0; i < 3; ++i) {
    EXPECT_EQ(reader.Index()[i].Position, position);
    EXPECT_EQ(reader.Index()[i].PageNo, static_cast<uint32_t>(i + 1));
    EXPECT_EQ(file.substr(28 + position, 4), "TPF0");
    position += static_cast<uint32_t>(reader.PageBytes(i).size());
  }
  EXPECT_EQ(28 + position, file.size());

  reader.Print("Zolmet");
  std::string direct = ReadFile(Job(1, ".job")), archived = ReadFile(Job(2, ".job"));
  EXPECT_EQ(Field(direct, "Status"), "done");
  EXPECT_EQ(Field(archived, "Status"), "done");
  EXPECT_EQ(Field(direct, "Document"), "Archive test");
  EXPECT_EQ(Field(archived, "Document"), Field(direct, "Document"));
  for (const char* key : {"Pages", "Page1", "Page2", "Page3", "Copies"})
    EXPECT_EQ(Field(archived, key), Field(direct, key)) << key;
  for (int page = 1; page <= 3; ++page) {
    int w1 = 0, h1 = 0, w2 = 0, h2 = 0;
    std::vector<uint32_t> a = Pixels(Job(1, "-p" + std::to_string(page) + ".png"), w1, h1);
    std::vector<uint32_t> b = Pixels(Job(2, "-p" + std::to_string(page) + ".png"), w2, h2);
    ASSERT_FALSE(a.empty()) << page;
    EXPECT_EQ(w1, w2);
    EXPECT_EQ(h1, h2);
    EXPECT_TRUE(a == b) << "page " << page << " differs";
    // Bars, line and text are drawn: the pages are not blank.
    EXPECT_GT(std::count_if(a.begin(), a.end(), [](uint32_t p) { return (p & 0xFFFFFF) == 0; }), 1000) << page;
  }
  if (std::system("command -v pdftotext > /dev/null 2>&1 && command -v pdfinfo > /dev/null 2>&1") != 0)
    GTEST_SKIP() << "poppler-utils are not installed";
  std::string text = Shell("pdftotext -layout '" + Job(1, ".pdf") + "' -");
  EXPECT_NE(text.find("No. 2"), std::string::npos) << text;
  EXPECT_EQ(Shell("pdftotext -layout '" + Job(2, ".pdf") + "' -"), text);
  // "Page    1 size: ..." lines.
  auto sizes = [](const std::string& pdf) {
    std::string info = Shell("pdfinfo -f 1 -l 3 '" + pdf + "'"), out;
    for (size_t at = 0, end; at < info.size(); at = end + 1) {
      end = info.find('\n', at);
      if (end == std::string::npos) end = info.size();
      std::string line = info.substr(at, end - at);
      if (line.rfind("Page ", 0) == 0 && line.find(" size:") != std::string::npos) out += line + "\n";
    }
    return out;
  };
  std::string pageSizes = sizes(Job(1, ".pdf"));
  EXPECT_EQ(sizes(Job(2, ".pdf")), pageSizes);
  EXPECT_EQ(std::count(pageSizes.begin(), pageSizes.end(), '\n'), 3) << pageSizes;
}

TEST_F(ArchiveReport, WritesFailingPartWayLeaveNeitherArchiveNorTemporaryFile) {
  report->SetDeviceType("ArchiveFile");
  report->SetArchiveFileName("C:\\Out\\whole.raf");
  report->Print();
  int64_t whole = static_cast<int64_t>(ReadFile(root_.Host("C:\\Out\\whole.raf")).size());
  ASSERT_GT(whole, 300);
  report->SetArchiveFileName("C:\\Out\\limited.raf");
  pid_t child = fork();
  ASSERT_GE(child, 0);
  if (child == 0) {
    // Files of this process may not grow past half the archive.
    std::signal(SIGXFSZ, SIG_IGN);
    rlimit limit{static_cast<rlim_t>(whole / 2), static_cast<rlim_t>(whole / 2)};
    setrlimit(RLIMIT_FSIZE, &limit);
    int code = 0;
    try {
      report->Print();
      code = 1;
    } catch (const cls::EWriteError&) {
    } catch (...) {
      code = 2;
    }
    if (win::FileExists("C:\\Out\\limited.raf")) code = 3;
    if (!ArcFiles().empty()) code = 4;
    _exit(code);
  }
  int status = 0;
  ASSERT_EQ(waitpid(child, &status, 0), child);
  ASSERT_TRUE(WIFEXITED(status));
  EXPECT_EQ(WEXITSTATUS(status), 0) << "1 no failure, 2 another error, 3 archive left, 4 arc file left";
}
