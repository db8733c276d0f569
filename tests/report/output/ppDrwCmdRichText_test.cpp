// The rich-text command: fitting ranges, its stream values, and drawing on
// the printer device and a screen.
#include <gtest/gtest.h>

#include "platform/classes/sysutils.h"
#include "report/output/ppPrnDev.h"
#include "tests/report/output/ppDrwCmdRichText_support.h"
#include "tests/report/output/ppPrintr_fixture.h"

namespace {

class RichTextRanges : public Printers {
 protected:
  void SetUp() override {
    Printers::SetUp();
    edit.reset(CreateRichEdit(nullptr));
    bitmap.SetSize(10, 10);
    dc = bitmap.Canvas().Handle();
  }
  void TearDown() override {
    edit.reset();
    ppRichEditFinalize();
    Printers::TearDown();
  }
  // The text's rectangle: 3 px of left inset come off at 96 ppi.
  win::RECT Rect(int w, int h) const { return {0, 0, w + 3, h}; }
  bool Fit(const std::string& text, int w, int h, int& lastFitting, int& used) {
    edit->Lines()->SetText(text);
    return TppRTFEngine::FitRange(edit.get(), dc, lastFitting, used, Rect(w, h), 0, edit->GetTextLen() - 1);
  }
  cls::Owned<ui::TRichEdit> edit;
  gdi::TBitmap bitmap;
  win::HDC dc = nullptr;
};

}  // namespace

TEST_F(RichTextRanges, FitRangeCountsTrailingEndsAndALastCharacterAlone) {
  ASSERT_EQ(cls::ObjectAs<TppRichEdit>(edit.get()), edit.get());
  EXPECT_EQ(win::GetDeviceCaps(dc, win::LOGPIXELSY), 96);
  int last = -7, used = 0;
  // 16 px lines; an empty last paragraph that does not fit still counts
  // as fitting, and its height is not counted.
  EXPECT_TRUE(Fit("aaa\rbbb\r\r", 80, 32, last, used));
  EXPECT_EQ(used, 32);
  EXPECT_EQ(last, -7);
  EXPECT_TRUE(Fit("aaa\rbbb", 80, 100, last, used));
  EXPECT_EQ(used, 32);
  // 8 px letters: "aaaa" fills 32 px and the fifth stands alone below.
  EXPECT_FALSE(Fit("aaaaa", 32, 16, last, used));
  EXPECT_EQ(last, 3);
  EXPECT_EQ(used, 16);
  // Nothing fits a rectangle below one line.
  EXPECT_FALSE(Fit("aaa", 80, 15, last, used));
  EXPECT_EQ(last, -1);
  EXPECT_EQ(used, 15);
  // An empty text fits and uses nothing.
  EXPECT_TRUE(Fit("", 80, 15, last, used));
  EXPECT_EQ(used, 0);
}

TEST_F(RichTextRanges, SelectionBackColourIsSwappedAndReported) {
  edit->Lines()->SetText("find me");
  edit->SetSelStart(5);
  edit->SetSelLength(2);
  bool changed = false;
  EXPECT_EQ(TppRTFEngine::SetSelBackColor(edit.get(), gdi::clBlue, changed), gdi::clNone);
  EXPECT_TRUE(changed);
  EXPECT_EQ(edit->Document().FormatAt(5).back, win::RGB(0, 0, 255));
  EXPECT_EQ(TppRTFEngine::SetSelBackColor(edit.get(), gdi::clNone, changed), gdi::clBlue);
  EXPECT_FALSE(edit->Document().FormatAt(6).back.has_value());
}

TEST_F(RichTextRanges, ControlsOfTheSetClassBoundToTheUtilities) {
  ppSetRichEditClass(&ui::TRichEdit::StaticClass());
  cls::Owned<ui::TRichEdit> plain(CreateHiddenRichEdit(nullptr));
  EXPECT_EQ(plain->ClassType(), &ui::TRichEdit::StaticClass());
  EXPECT_FALSE(plain->Visible());
  EXPECT_EQ(plain->Left(), -1500);
  EXPECT_TRUE(plain->OnProtectChange.Assigned());
  EXPECT_TRUE(plain->ProtectChange(0, 1));
  ppSetRichEditClass(nullptr);
  EXPECT_EQ(ppRichEditClass(), &TppRichEdit::StaticClass());
}

// ---- the command's values ----

TEST(RichTextCommand, StreamValuesReadBackTheSameCommand) {
  ppRegisterRichTextCommand();
  cls::Owned<TppPage> page(new TppPage(nullptr)), copy(new TppPage(nullptr));
  auto* c = new TppDrawRichText(nullptr);
  c->SetPage(page.get());
  EXPECT_EQ(c->DataType(), dtBLOB);
  SetRtf(c, "{\\rtf1 {\\b 收據}\\par two}");
  c->SetStartCharPos(3);
  c->SetEndCharPos(5);
  c->SetColor(gdi::clBlue);
  c->SetTransparent(true);
  Bounds(c, 1000, 2000, 30000, 4000);
  auto* r = new TppDrawRichText(nullptr);
  r->SetPage(copy.get());
  for (const cls::TPropInfo* p : cls::GetPropList(c->ClassType()))
    if (p->GetOrd && p->SetOrd) p->SetOrd(r, p->GetOrd(c));
  TBinaryFiler filer;
  filer.Write(c);
  ASSERT_EQ(filer.values.count("RTFStream"), 1u);
  filer.Read(r);
  EXPECT_TRUE(r->IsSameAs(c));
  EXPECT_EQ(r->RichTextStream()->DataString(), c->RichTextStream()->DataString());
  // Same lines from other bytes of one size are the same; other text is not.
  SetRtf(r, "{\\rtf1 {\\i 收據}\\par two}");
  EXPECT_TRUE(r->IsSameAs(c));
  SetRtf(r, "{\\rtf1 {\\i 收據}\\par twa}");
  EXPECT_FALSE(r->IsSameAs(c));
  cls::Owned<TppDrawRichText> assigned(new TppDrawRichText(nullptr));
  assigned->Assign(c);
  EXPECT_TRUE(assigned->IsSameAs(c));
  EXPECT_TRUE(assigned->Transparent());
}

TEST(RichTextCommand, RtfStreamLengthsBeyondTheDataAreReadErrors) {
  cls::Owned<TppDrawRichText> c(new TppDrawRichText(nullptr));
  TBinaryFiler filer;
  for (int32_t length : {-1, 1000000}) {
    SetRtf(c.get(), "old");
    filer.values["RTFStream"] = RtfStreamValue(length, "0123456789");
    EXPECT_THROW(filer.Read(c.get()), cls::EReadError) << length;
    EXPECT_EQ(c->RichTextStream()->Size(), 0);
  }
  filer.values["RTFStream"] = RtfStreamValue(0, "");
  filer.Read(c.get());
  EXPECT_EQ(c->RichTextStream()->Size(), 0);
  filer.values["RTFStream"] = RtfStreamValue(3, "abcdef");
  filer.Read(c.get());
  EXPECT_EQ(c->RichTextStream()->DataString(), "abc");
}

// ---- drawing ----

namespace {

class RichTextOnPrinter : public Printers {
 protected:
  void SetUp() override {
    Printers::SetUp();
    Install(RecordingZolmet(), true);
    ZolmetPaper(setup_);
    page_.reset(new TppPage(nullptr));
    page_->SetPrinterSetup(&setup_);
    page_->SetFinal(true);
    page_->SetAbsolutePageNo(1);
    device_.reset(new TppPrinterDevice(nullptr));
  }
  void TearDown() override {
    device_.reset();
    page_.reset();
    ppRichEditFinalize();
    Printers::TearDown();
  }
  std::vector<gdi::Op> Print() {
    device_->Printer()->SetPrinterSetup(&setup_);
    device_->StartJob();
    device_->ReceivePage(page_.get());
    device_->EndJob();
    auto jobs = gdi::RecordedJobs();
    if (jobs.empty() || jobs.back().pages.empty()) return {};
    return jobs.back().pages[0].ops;
  }
  TppPrinterSetup setup_{nullptr};
  cls::Owned<TppPage> page_;
  cls::Owned<TppPrinterDevice> device_;
};

}  // namespace

TEST_F(RichTextOnPrinter, RangeDrawnInTheDeviceRectangleAndEmptyStreamsOnlyFill) {
  auto* c = new TppDrawRichText(nullptr);
  Bounds(c, 5000, 10000, 72000, 20000);
  c->SetColor(gdi::clBlue);
  SetRtf(c, "{\\rtf1 skip\\par keep}");
  c->SetStartCharPos(5);
  c->SetEndCharPos(8);
  c->SetPage(page_.get());
  auto* empty = new TppDrawRichText(nullptr);
  Bounds(empty, 5000, 40000, 72000, 10000);
  empty->SetColor(gdi::clRed);
  empty->SetStartCharPos(0);
  empty->SetEndCharPos(0);
  empty->SetPage(page_.get());
  std::vector<gdi::Op> ops = Print();
  std::vector<std::string> texts;
  std::vector<win::RECT> fills;
  for (const gdi::Op& op : ops) {
    if (auto* t = op.As<gdi::TextOp>()) {
      texts.push_back(t->text);
      // 5 mm at 203 dpi, 45 twips in: 40 + 6 px.
      EXPECT_EQ(t->origin.x, 46);
      EXPECT_EQ(t->origin.y, 80);
      ASSERT_TRUE(op.clip.has_value());
      EXPECT_EQ(op.clip->left, 46);
    }
    if (auto* f = op.As<gdi::FillOp>()) fills.push_back(f->rect);
  }
  EXPECT_EQ(texts, std::vector<std::string>{"keep"});
  ASSERT_EQ(fills.size(), 2u);
  EXPECT_EQ(fills[1].top, 320);
}

// Installed fonts: rendering glyphs measures them too, so the font caches
// are given back at exit.
TEST(RichTextOnScreen, RenderedThroughAMetafileOntoTheScreensBitmap) {
  testing_support::TempRoot root;
  cls::Owned<TppDrawRichText> c(new TppDrawRichText(nullptr));
  SetRtf(c.get(), "{\\rtf1 WWWW}");
  Bounds(c.get(), 0, 0, 25400, 12700);
  c->SetStartCharPos(0);
  c->SetEndCharPos(3);
  c->SetColor(gdi::clRed);
  TBitmapScreen screen(200, 100);
  EXPECT_TRUE(c->Draw(nullptr) == false);
  ASSERT_TRUE(c->DrawToScreen(&screen));
  std::vector<std::uint32_t> px = screen.bitmap.Pixels();
  auto at = [&](int x, int y) { return px[static_cast<size_t>(y) * 200 + x] & 0xFFFFFF; };
  EXPECT_EQ(at(90, 40), 0xFF0000u);   // the background, in 0xRRGGBB
  EXPECT_EQ(at(150, 40), 0xFFFFFFu);  // outside the command
  int dark = 0;
  for (int y = 0; y < 16; ++y)
    for (int x = 0; x < 40; ++x) dark += (at(x, y) >> 16) < 0x80;
  EXPECT_GT(dark, 20);
  ppRichEditFinalize();
}
