// A receipt page of text, line, rectangle and picture published to the
// printer device on a fresh system root: the demo printer's PDF, PNG and
// job record, and the cancel dialog's texts.
#include <gtest/gtest.h>

#include <cairo.h>
#include <cstdio>
#include <filesystem>

#include "platform/sysroot/sysroot.h"
#include "report/model/ppForms.h"
#include "report/output/ppDrwCmd.h"
#include "report/output/ppPrnDev.h"
#include "tests/report/output/ppPrintr_fixture.h"
#include "tests/support/testroot.h"

using namespace testing_support;
namespace fs = std::filesystem;

namespace {

class TextsDialog : public TppCustomCancelDialog {
  CLS_DECLARE_CLASS(TextsDialog, TppCustomCancelDialog)
 public:
  using TppCustomCancelDialog::TppCustomCancelDialog;
  void StatusChanged() override { Texts.push_back(StatusText()); }
  std::vector<std::string> Texts;
};
CLS_IMPLEMENT_COMPONENT(TextsDialog)

template <class T>
T* Place(TppPage* page, int left, int top, int width, int height) {
  auto* c = new T(nullptr);
  c->SetLeft(left);
  c->SetTop(top);
  c->SetWidth(width);
  c->SetHeight(height);
  c->SetPage(page);
  return c;
}

struct ReceiptReport {
  TppPublisher* Publisher = nullptr;
  TppPrinterSetup* Setup = nullptr;
  int Pages = 1;
  void PageRequest(cls::TObject*, TppPageRequest*) {
    for (int i = 1; i <= Pages; ++i) {
      cls::Owned<TppPage> page(new TppPage(nullptr));
      page->SetPrinterSetup(Setup);
      page->SetDocumentName("Receipt");
      page->SetAbsolutePageNo(i);
      page->SetAbsolutePageCount(i);
      page->SetFirstPage(i == 1);
      page->SetLastPage(i == Pages);
      page->SetFinal(true);
      auto* text = Place<TppDrawText>(page.get(), 5000, 5000, 70000, 6000);
      text->SetText("收據 測試");
      text->Font()->SetName("細明體");
      text->Font()->SetSize(12);
      text->Font()->SetColor(gdi::clBlack);
      auto* line = Place<TppDrawLine>(page.get(), 5000, 20000, 70000, 1000);
      line->SetLinePosition(lpTop);
      line->SetWeight(1);
      Place<TppDrawShape>(page.get(), 5000, 30000, 70000, 20000);
      auto* image = Place<TppDrawImage>(page.get(), 5000, 60000, 10000, 5000);
      image->Picture()->Bitmap().SetPixels(20, 10, std::vector<std::uint32_t>(200, 0xFF000000u));
      image->SetStretch(true);
      Publisher->PublishPage(page.get());
    }
  }
};

class ReceiptOnZolmet : public ::testing::Test {
 protected:
  void SetUp() override {
    root_ = tmp_.path() + "/root";
    ASSERT_EQ(std::system((BinPath("zolmet-sysroot") + " '" + root_ + "' > /dev/null").c_str()), 0);
    sysroot::SetRoot(root_);
    ppPrintrFinalize();
    ZolmetPaper(setup_);
    setup_.SetDocumentName("Receipt");
    report_.Publisher = &publisher_;
    report_.Setup = &setup_;
    publisher_.OnPageRequest = TppPageRequestEvent(&report_, &ReceiptReport::PageRequest);
    device_.reset(new TppPrinterDevice(nullptr));
    device_->SetPublisher(&publisher_);
  }
  void TearDown() override {
    device_.reset();
    ppPrintrFinalize();
  }
  void Print() {
    device_->Printer()->SetPrinterSetup(&setup_);
    publisher_.StartJob();
    publisher_.RequestPages();
    publisher_.EndJob();
  }
  std::string Folder() const { return sysroot::HostPath("C:\\Zolmet\\Printed\\Zolmet"); }

  TempRoot tmp_;
  std::string root_;
  TppPrinterSetup setup_{nullptr};
  TppPublisher publisher_{nullptr};
  ReceiptReport report_;
  cls::Owned<TppPrinterDevice> device_;
};

}  // namespace

TEST_F(ReceiptOnZolmet, OnePageAsPdfAndPng) {
  cls::Owned<TextsDialog> dialog(new TextsDialog(nullptr));
  device_->SetCancelDialog(dialog.get());
  Print();
  EXPECT_EQ(dialog->Texts,
            (std::vector<std::string>{"Accessing data...", "Printing page 1 for report Receipt on the Zolmet"}));

  std::string pdf = Folder() + "/job-0001.pdf", png = Folder() + "/job-0001-p1.png";
  ASSERT_TRUE(fs::exists(pdf));
  std::string info = Shell("pdfinfo '" + pdf + "'");
  EXPECT_NE(info.find("232.441 x 283.465 pts"), std::string::npos) << info;
  size_t pages = info.find("Pages:");
  ASSERT_NE(pages, std::string::npos);
  EXPECT_EQ(std::stoi(info.substr(pages + 6)), 1);
  std::string text = Shell("pdftotext -enc UTF-8 '" + pdf + "' -");
  EXPECT_NE(text.find("\xE6\x94\xB6\xE6\x93\x9A \xE6\xB8\xAC\xE8\xA9\xA6"), std::string::npos) << text;

  cairo_surface_t* img = cairo_image_surface_create_from_png(png.c_str());
  ASSERT_EQ(cairo_surface_status(img), CAIRO_STATUS_SUCCESS);
  EXPECT_EQ(cairo_image_surface_get_width(img), 655);
  EXPECT_EQ(cairo_image_surface_get_height(img), 799);
  cairo_surface_flush(img);
  auto* px = reinterpret_cast<uint32_t*>(cairo_image_surface_get_data(img));
  int stride = cairo_image_surface_get_stride(img) / 4;
  auto at = [&](int x, int y) { return px[y * stride + x] & 0xFFFFFF; };
  EXPECT_EQ(at(300, 161), 0u);  // the line, three pixels from y 160
  EXPECT_EQ(at(300, 160), 0u);
  EXPECT_EQ(at(300, 162), 0u);
  EXPECT_EQ(at(300, 163), 0xFFFFFFu);
  EXPECT_EQ(at(80, 499), 0u);  // the picture
  EXPECT_EQ(at(300, 170), 0xFFFFFFu);
  EXPECT_EQ(at(40, 300), 0u);  // the rectangle's left edge
  EXPECT_EQ(at(300, 300), 0xFFFFFFu);
  int ink = 0;  // the text, in its first line
  for (int y = 40; y < 80; ++y)
    for (int x = 40; x < 300; ++x) ink += (px[y * stride + x] & 0xFF) < 128;
  EXPECT_GT(ink, 100);
  cairo_surface_destroy(img);

  std::string record = ReadFile(Folder() + "/job-0001.job");
  EXPECT_NE(record.find("Document=Receipt\r\nStatus=done\r\nCopies=1\r\nPages=1\r\n"), std::string::npos) << record;
}

TEST_F(ReceiptOnZolmet, UncollatedCopiesArePagesOfOneJob) {
  report_.Pages = 2;
  setup_.SetCopies(3);
  setup_.SetCollation(false);
  Print();
  std::string record = ReadFile(Folder() + "/job-0001.job");
  EXPECT_NE(record.find("Status=done\r\nCopies=1\r\nPages=6\r\n"), std::string::npos) << record;
  std::string info = Shell("pdfinfo '" + Folder() + "/job-0001.pdf'");
  EXPECT_EQ(std::stoi(info.substr(info.find("Pages:") + 6)), 6);
}
