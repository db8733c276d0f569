// Rich texts printed on the demo printer "Zolmet" of a fresh system root:
// the PDF's text read back by pdftotext, and a recording copy's drawing.
#include <gtest/gtest.h>

#include <algorithm>
#include <cstdlib>
#include <filesystem>

#include "platform/gdi/gdi.h"
#include "platform/spool/spool.h"
#include "platform/sysroot/codepage.h"
#include "platform/sysroot/sysroot.h"
#include "report/output/ppPrintr.h"
#include "tests/report/components/ppRichTx_support.h"
#include "tests/support/corpuswords.h"
#include "tests/support/testroot.h"

using namespace testing_support;

namespace {

// Font 1 is 細明體 in Big5 escapes.
const char* const kSample =
    "{\\rtf1\\ansi\\ansicpg950\\deff0{\\fonttbl{\\f0 Times New Roman;}{\\f1\\fcharset136 "
    "\\'b2\\'d3\\'a9\\'fa\\'c5\\'e9;}{\\f2 Arial;}}{\\colortbl;\\red255\\green0\\blue0;}\\pard\\f0\\fs24 Plain "
    "\\b bold\\b0  \\i italic\\i0  \\cf1 red\\cf0\\par \\f1\\fs28 \\'a6\\'ac\\'be\\'da\\uc1\\u28204?\\'b8\\'d5\\par"
    "\\pard\\qc\\f2\\fs20 Centred}";

class RichTextOnZolmet : public ::testing::Test {
 protected:
  void SetUp() override {
    if (std::system("command -v pdftotext > /dev/null 2>&1") != 0) GTEST_SKIP() << "pdftotext is not installed";
    root_ = tmp_.path() + "/root";
    ASSERT_EQ(std::system((BinPath("zolmet-sysroot") + " '" + root_ + "' > /dev/null").c_str()), 0);
    sysroot::SetRoot(root_);
    ppPrintrFinalize();
    gdi::ClearRecordedJobs();
    fixture_.reset(new TRichTextReport());
  }
  void TearDown() override {
    fixture_.reset();
    ppRichEditFinalize();
    ppPrintrFinalize();
  }
  std::string Pdf(int job) const {
    char name[32];
    std::snprintf(name, sizeof name, "/job-%04d.pdf", job);
    return sysroot::HostPath("C:\\Zolmet\\Printed\\Zolmet") + name;
  }
  static int Pages(const std::string& pdf) {
    std::string info = Shell("pdfinfo '" + pdf + "'");
    size_t at = info.find("Pages:");
    return at == std::string::npos ? -1 : std::stoi(info.substr(at + 6));
  }
  TempRoot tmp_;
  std::string root_;
  std::unique_ptr<TRichTextReport> fixture_;
};

}  // namespace

TEST_F(RichTextOnZolmet, FormattedSampleReadsBackInOrderAndDrawsItsFormats) {
  fixture_->rich->SetRichText(kSample);
  fixture_->report->Print();
  std::string pdf = Pdf(1);
  ASSERT_TRUE(std::filesystem::exists(pdf));
  EXPECT_EQ(Pages(pdf), 1);
  std::string text = Shell("pdftotext -enc UTF-8 '" + pdf + "' -");
  size_t a = text.find("Plain bold italic red"), b = text.find(cp::Big5ToUtf8("收據測試")), c = text.find("Centred");
  ASSERT_NE(a, std::string::npos) << text;
  ASSERT_NE(b, std::string::npos) << text;
  ASSERT_NE(c, std::string::npos) << text;
  EXPECT_LT(a, b);
  EXPECT_LT(b, c);

  // The same on a recording copy of the printer.
  spool::PrinterDef def = spool::DemoReceiptPrinter();
  def.backend = spool::PrinterBackend::Record;
  ASSERT_TRUE(spool::InstallPrinter(def));
  ppPrintrFinalize();
  fixture_->report->Print();
  auto jobs = gdi::RecordedJobs();
  ASSERT_EQ(jobs.size(), 1u);
  ASSERT_EQ(jobs[0].pages.size(), 1u);
  std::map<std::string, gdi::TextOp> ops;
  for (const gdi::Op& op : jobs[0].pages[0].ops)
    if (auto* t = op.As<gdi::TextOp>()) ops[t->text] = *t;
  ASSERT_TRUE(ops.count("bold") && ops.count("italic") && ops.count("red") && ops.count("收據測試") &&
              ops.count("Centred"));
  EXPECT_EQ(ops["bold"].weight, 700);
  EXPECT_EQ(ops["Plain "].weight, 400);
  EXPECT_TRUE(ops["italic"].italic);
  EXPECT_EQ(ops["red"].color, 0x0000FFu);
  EXPECT_EQ(ops["收據測試"].face, "細明體");
  EXPECT_EQ(ops["收據測試"].em, 39);
  // The layout rectangle at 203 dpi: 5 mm and 45 twips in, to 77 mm.
  const gdi::TextOp& centred = ops["Centred"];
  int width = 0;
  for (int w : centred.advances) width += w;
  const double left = 5 * 203 / 25.4 + 45 * 203 / 1440.0, right = 77 * 203 / 25.4;
  EXPECT_NEAR(centred.origin.x + width / 2.0, (left + right) / 2, 1.0);

  // Saved, loaded and saved again: the same text, formats and bytes.
  const richedit::Document& doc = fixture_->rich->RichEdit()->Document();
  std::string first = doc.SaveRtf();
  richedit::Document again;
  again.Load(first);
  EXPECT_EQ(again.Text(), doc.Text());
  for (int i = 0; i < doc.Length(); ++i) EXPECT_EQ(again.FormatAt(i), doc.FormatAt(i)) << i;
  EXPECT_EQ(again.SaveRtf(), first);
}

TEST_F(RichTextOnZolmet, SixtyLinesReadBackOncePageByPage) {
  fixture_->rich->SetRichText(NumberedLines(60));
  fixture_->report->Print();
  std::string pdf = Pdf(1);
  ASSERT_TRUE(std::filesystem::exists(pdf));
  ASSERT_EQ(Pages(pdf), 3);
  const int firsts[] = {1, 24, 47, 61};
  for (int p = 0; p < 3; ++p) {
    std::string text =
        Shell("pdftotext -enc UTF-8 -f " + std::to_string(p + 1) + " -l " + std::to_string(p + 1) + " '" + pdf + "' -");
    for (int line = 1; line <= 60; ++line) {
      char want[16];
      std::snprintf(want, sizeof want, "Line %02d", line);
      size_t at = text.find(want);
      bool here = line >= firsts[p] && line < firsts[p + 1];
      EXPECT_EQ(at != std::string::npos, here) << want << " on page " << p + 1;
      if (at != std::string::npos) {
        EXPECT_EQ(text.find(want, at + 1), std::string::npos) << want << " twice";
      }
    }
  }
  ASSERT_EQ(fixture_->pages.size(), 3u);
  EXPECT_EQ(fixture_->pages[2].height, 59559);
}

namespace {

std::string Joined(const std::vector<std::string>& words) {
  std::string out;
  for (const std::string& w : words) out += w;
  return out;
}

}  // namespace

// Every document of the RTF corpus printed stretching (over pages) and not
// (one tall box), in a wide and a narrow box: the printed pages hold the
// words the independent reader read, in its order.
TEST_F(RichTextOnZolmet, CorpusPrintsEveryWordStretchingOrNotAtTwoWidths) {
  const std::filesystem::path dir = std::filesystem::path(ZOLMET_SOURCE_DIR) / "tests/platform/richedit/corpus";
  std::vector<std::filesystem::path> files;
  for (const auto& entry : std::filesystem::directory_iterator(dir))
    if (entry.path().extension() == ".rtf") files.push_back(entry.path());
  std::sort(files.begin(), files.end());
  ASSERT_GE(files.size(), 7u);
  int job = 0;
  for (const std::filesystem::path& file : files) {
    const std::vector<std::string> want = Big5Words(CorpusText(file.string()));
    for (bool stretch : {true, false})
      for (int32_t width : {72000, 30000}) {
        SCOPED_TRACE(file.filename().string() + (stretch ? " stretching" : " fixed") + " width " +
                     std::to_string(width));
        fixture_.reset();
        fixture_.reset(new TRichTextReport());
        fixture_->rich->SetmmWidth(width);
        fixture_->rich->SetStretch(stretch);
        if (!stretch) {
          testing_support::SetPage(fixture_->report.get(), 82000, 1500000, 0);
          fixture_->rich->SetmmHeight(1490000);
        }
        fixture_->rich->SetRichText(ReadFile(file.string()));
        fixture_->report->Print();
        std::string pdf = Pdf(++job);
        ASSERT_TRUE(std::filesystem::exists(pdf));
        if (!stretch) {
          EXPECT_EQ(Pages(pdf), 1);
        }
        const std::vector<std::string> printed =
            Big5Words(Utf8TextAsBig5(Shell("pdftotext -layout -enc UTF-8 '" + pdf + "' -")));
        if (width > 50000) {
          EXPECT_EQ(printed, want);
        } else {
          // Lines narrower than a word break it: the same characters.
          EXPECT_EQ(Joined(printed), Joined(want));
        }
      }
  }
}
