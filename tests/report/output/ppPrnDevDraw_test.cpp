// Text, lines, shapes and pictures drawn by the printer device on a
// recording copy of the demo printer (deterministic metrics).
#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <limits>

#include "platform/gdi/picture.h"
#include "report/output/ppDrwCmd.h"
#include "report/output/ppPlainText.h"
#include "report/output/ppPrnDev.h"
#include "tests/report/output/ppPrintr_fixture.h"

namespace {

class DrawOnPrinter : public Printers {
 protected:
  void SetUp() override {
    Printers::SetUp();
    spool::PrinterDef def = RecordingZolmet();
    def.unprintLeft = 20;
    Install(def, true);
    ZolmetPaper(setup_);
    page_.reset(new TppPage(nullptr));
    page_->SetPrinterSetup(&setup_);
    page_->SetFinal(true);
    page_->SetFirstPage(true);
    page_->SetLastPage(true);
    page_->SetAbsolutePageNo(1);
    device_.reset(new TppPrinterDevice(nullptr));
  }
  void TearDown() override {
    device_.reset();
    page_.reset();
    Printers::TearDown();
  }
  template <class T>
  T* Place(int left, int top, int width, int height) {
    auto* c = new T(nullptr);
    c->SetLeft(left);
    c->SetTop(top);
    c->SetWidth(width);
    c->SetHeight(height);
    c->SetPage(page_.get());
    return c;
  }
  // Prints the page; the operations drawn on it.
  std::vector<gdi::Op> Print() {
    device_->Printer()->SetPrinterSetup(&setup_);
    device_->StartJob();
    device_->ReceivePage(page_.get());
    device_->EndJob();
    auto jobs = gdi::RecordedJobs();
    EXPECT_EQ(jobs.size(), 1u);
    if (jobs.empty() || jobs.back().pages.empty()) return {};
    return jobs.back().pages[0].ops;
  }
  template <class T>
  static std::vector<const T*> OpsOf(const std::vector<gdi::Op>& ops) {
    std::vector<const T*> out;
    for (const gdi::Op& op : ops)
      if (auto* t = op.As<T>()) out.push_back(t);
    return out;
  }
  TppPrinterSetup setup_{nullptr};
  cls::Owned<TppPage> page_;
  cls::Owned<TppPrinterDevice> device_;
};

}  // namespace

TEST_F(DrawOnPrinter, APointLineIsThreePixelLinesAtTwoHundredAndThreeDpi) {
  auto* line = Place<TppDrawLine>(5000, 20000, 70000, 1000);
  line->SetWeight(1);
  auto* thin = Place<TppDrawLine>(5000, 40000, 70000, 1000);
  thin->SetWeight(0.5f);
  auto ops = Print();
  auto lines = OpsOf<gdi::LineOp>(ops);
  ASSERT_EQ(lines.size(), 4u);
  for (int i = 0; i < 3; ++i) {
    EXPECT_EQ(lines[i]->points[0].y, 160 + i);
    EXPECT_EQ(lines[i]->points[1].y, 160 + i);
    EXPECT_EQ(lines[i]->points[0].x, 24);
    // The canvas includes a line's end pixel: the last one is 582, before
    // the rectangle's right edge at 583.
    EXPECT_EQ(lines[i]->points[1].x, 582);
    EXPECT_EQ(lines[i]->pen.width, 1);
  }
  EXPECT_EQ(lines[3]->points[0].y, 320);
}

TEST_F(DrawOnPrinter, WeightsOutsideReasonDrawBetweenAPixelAndThePage) {
  const float weights[] = {std::numeric_limits<float>::quiet_NaN(), -3.0f, 0.0f, 1e30f,
                           std::numeric_limits<float>::infinity()};
  for (float w : weights) {
    auto* line = Place<TppDrawLine>(5000, 20000, 70000, 1000);
    line->SetWeight(w);
    line->SetLinePosition(lpLeft);
  }
  auto ops = Print();
  auto lines = OpsOf<gdi::LineOp>(ops);
  // One each for NaN, -3 and 0; the page's width (655) for the huge one;
  // infinity counts as no weight.
  EXPECT_EQ(lines.size(), 3u + 655u + 1u);
}

TEST_F(DrawOnPrinter, EmptyAndInvertedRectanglesDrawNothing) {
  Place<TppDrawShape>(5000, 5000, 0, 10000);
  Place<TppDrawShape>(5000, 5000, -10000, 10000);
  Place<TppDrawLine>(5000, 5000, -10000, 1000)->SetWeight(1);
  auto* image = Place<TppDrawImage>(5000, 5000, 10000, -5000);
  image->Picture()->Bitmap().SetPixels(2, 2, std::vector<std::uint32_t>(4, 0xFF000000u));
  image->SetStretch(true);
  auto* text = Place<TppDrawText>(5000, 5000, -1000, 5000);
  text->SetText("x");
  EXPECT_TRUE(Print().empty());
}

TEST_F(DrawOnPrinter, ShapesTakeThePenInPrinterPixels) {
  auto* box = Place<TppDrawShape>(5000, 30000, 70000, 20000);
  box->Pen()->Width = 2;
  auto* hollow = Place<TppDrawShape>(5000, 30000, 70000, 20000);
  hollow->Brush()->Style = gdi::TBrushStyle::bsClear;
  auto* round = Place<TppDrawShape>(5000, 30000, 70000, 20000);
  round->SetShapeType(TShapeType::stRoundRect);
  round->SetXCornerRound(5000);
  round->SetYCornerRound(2500);
  Place<TppDrawShape>(5000, 30000, 70000, 20000)->SetShapeType(TShapeType::stCircle);  // not drawn
  auto ops = Print();
  auto rects = OpsOf<gdi::RectOp>(ops);
  ASSERT_EQ(rects.size(), 1u);
  EXPECT_EQ(rects[0]->bounds.left, 24);
  EXPECT_EQ(rects[0]->bounds.top, 240);
  EXPECT_EQ(rects[0]->bounds.right, 583);
  EXPECT_EQ(rects[0]->bounds.bottom, 400);
  // 2 screen pixels at 96 dpi are 4 printer pixels at 203.
  EXPECT_EQ(rects[0]->pen.width, 4);
  auto polylines = OpsOf<gdi::LineOp>(ops);
  ASSERT_EQ(polylines.size(), 1u);
  EXPECT_EQ(polylines[0]->points.size(), 5u);
  auto rounds = OpsOf<gdi::RoundRectOp>(ops);
  ASSERT_EQ(rounds.size(), 1u);
  EXPECT_EQ(rounds[0]->corner.cx, 40);
  EXPECT_EQ(rounds[0]->corner.cy, 20);
}

TEST_F(DrawOnPrinter, TextIsPlacedByItsAlignment) {
  // 12 pt at 203 dpi is a 34-pixel em; an ASCII character is half of it.
  auto text = [&](TppTextAlignment alignment, const std::string& s) {
    auto* t = Place<TppDrawText>(5000, 5000, 70000, 6000);
    t->Font()->SetName("Arial");
    t->Font()->SetSize(12);
    t->SetText(s);
    t->SetTransparent(true);
    t->SetTextAlignment(alignment);
    return t;
  };
  text(taLeftJustified, "ab");
  text(taRightJustified, "ab");
  text(taCentered, "ab");
  text(taLeftJustified, "$\xB6\x4F");  // "$" and a Big5 character, no paragraph end
  auto ops = Print();
  auto texts = OpsOf<gdi::TextOp>(ops);
  ASSERT_EQ(texts.size(), 4u);
  EXPECT_TRUE(OpsOf<gdi::FillOp>(ops).empty());  // transparent
  EXPECT_EQ(texts[0]->origin.x, 24);
  EXPECT_EQ(texts[0]->origin.y, 40);
  EXPECT_EQ(texts[1]->origin.x, 583 - 34);
  // 559 pixels wide, 34 of text: nint(525 / 2 - 0.5) = 262 in.
  EXPECT_EQ(texts[2]->origin.x, 24 + 262);
  EXPECT_EQ(texts[3]->text, "$\xB6\x4F");
  auto first = std::find_if(ops.begin(), ops.end(), [](const gdi::Op& op) { return op.As<gdi::TextOp>(); });
  ASSERT_TRUE(first->clip.has_value());
  EXPECT_EQ(first->clip->right, 583);
}

TEST_F(DrawOnPrinter, MemoLinesAreDrawnWithoutABackgroundOfTheirOwn) {
  // A filled memo and then a transparent one over a shape: the fill is the
  // memo's rectangle, and no line paints the cells behind its characters.
  auto memo = [&](int top, bool transparent) {
    auto* t = Place<TppDrawText>(5000, top, 70000, 12000);
    t->Font()->SetName("Arial");
    t->Font()->SetSize(12);
    t->SetIsMemo(true);
    t->SetWordWrap(true);
    t->SetTransparent(transparent);
    t->SetColor(gdi::clSilver);
    t->WrappedText()->Add("one two");
    t->WrappedText()->Add("three");
  };
  memo(5000, false);
  Place<TppDrawShape>(5000, 30000, 70000, 12000);
  memo(30000, true);
  auto ops = Print();
  auto texts = OpsOf<gdi::TextOp>(ops);
  ASSERT_EQ(texts.size(), 4u);
  for (const gdi::TextOp* t : texts) EXPECT_FALSE(t->opaque) << t->text;
  auto fills = OpsOf<gdi::FillOp>(ops);
  ASSERT_EQ(fills.size(), 1u);
  EXPECT_EQ(fills[0]->rect.top, 40);
}

TEST_F(DrawOnPrinter, TheLastLineOfAJustifiedParagraphIsNotStretched) {
  auto* t = Place<TppDrawText>(5000, 5000, 70000, 20000);
  t->Font()->SetName("Arial");
  t->Font()->SetSize(12);
  t->SetWordWrap(true);
  t->SetTransparent(true);
  t->SetTextAlignment(taFullJustified);
  t->WrappedText()->Add("one two");
  t->WrappedText()->Add("three four" + TppTextMarkups::EndOfParagraph());
  auto ops = Print();
  auto texts = OpsOf<gdi::TextOp>(ops);
  ASSERT_EQ(texts.size(), 2u);
  EXPECT_EQ(texts[1]->text, "three four");
  EXPECT_EQ(texts[1]->origin.y, texts[0]->origin.y + 34);
  // The first line spreads to the right edge, the last keeps its widths.
  int first = 0, last = 0;
  for (int a : texts[0]->advances) first += a;
  for (int a : texts[1]->advances) last += a;
  EXPECT_EQ(first, 583 - 24);
  EXPECT_EQ(last, 10 * 17);
}

TEST_F(DrawOnPrinter, PicturesAreStretchedOrClippedAndNeverRenderedLargerThanThePage) {
  auto* black = Place<TppDrawImage>(5000, 60000, 10000, 5000);
  black->Picture()->Bitmap().SetPixels(20, 10, std::vector<std::uint32_t>(200, 0xFF000000u));
  black->SetStretch(true);
  // A drawing (not a bitmap) on a rectangle far beyond the page.
  auto* drawing = Place<TppDrawImage>(0, 0, 2000000000, 2000000000);
  gdi::TMetafile& meta = drawing->Picture()->Metafile();
  {
    gdi::TMetafileCanvas c(meta, nullptr);
    c.Brush.Color = gdi::clBlack;
    c.FillRect(win::RECT{0, 0, 10, 10});
  }
  drawing->SetStretch(true);
  auto ops = Print();
  auto images = OpsOf<gdi::ImageOp>(ops);
  ASSERT_EQ(images.size(), 2u);
  EXPECT_EQ(images[0]->dest.left, 24);
  EXPECT_EQ(images[0]->dest.top, 480);
  EXPECT_EQ(images[0]->dest.right, 104);
  EXPECT_EQ(images[0]->dest.bottom, 519);
  EXPECT_LE(images[1]->width, 655);
  EXPECT_LE(images[1]->height, 799);
}
