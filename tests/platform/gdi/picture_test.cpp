#include <gtest/gtest.h>

#include <climits>

#include "platform/classes/typinfo.h"
#include "platform/gdi/fonts.h"
#include "platform/gdi/picture.h"
#include "tests/support/testroot.h"

using namespace testing_support;

namespace {

std::uint32_t At(const std::vector<std::uint32_t>& px, int width, int x, int y) {
  return px[static_cast<size_t>(y) * width + x] & 0xFFFFFF;
}

// A 100 x 50 metafile: a red block on the left half, a 3-pixel black line
// along the bottom edge.
void DrawSample(gdi::TMetafile& mf, win::HDC reference = nullptr) {
  mf.SetSize(100, 50);
  gdi::TMetafileCanvas c(mf, reference);
  c.Brush.Color = gdi::clRed;
  c.FillRect({0, 0, 50, 50});
  c.Pen.Width = 3;
  c.MoveTo(0, 48);
  c.LineTo(99, 48);
}

}  // namespace

TEST(Metafiles, RecordAndReplayStretchedOnAnyCanvas) {
  gdi::TMetafile mf;
  DrawSample(mf);
  ASSERT_EQ(mf.Operations().size(), 2u);
  EXPECT_FALSE(mf.Empty());

  // Twice the size, moved by (10, 20), on a bitmap.
  gdi::TBitmap bm;
  bm.SetSize(220, 130);
  bm.Canvas().StretchDraw({10, 20, 210, 120}, mf);
  auto px = bm.Pixels();
  EXPECT_EQ(At(px, 220, 15, 25), 0xFF0000u);    // red, in ARGB
  EXPECT_EQ(At(px, 220, 105, 25), 0xFF0000u);  // the block ends at x 110
  EXPECT_EQ(At(px, 220, 112, 25), 0xFFFFFFu);   // right half stays white
  EXPECT_EQ(At(px, 220, 150, 116), 0x000000u);  // the line, now 6 pixels wide
  EXPECT_EQ(At(px, 220, 5, 25), 0xFFFFFFu);     // left of the destination

  // On a recording printer the operations arrive scaled.
  TempRoot root;
  spool::PrinterDef d = spool::DemoReceiptPrinter();
  d.name = "Rec";
  d.backend = spool::PrinterBackend::Record;
  ASSERT_TRUE(spool::InstallPrinter(d));
  gdi::ClearRecordedJobs();
  win::HDC dc = win::CreateDCA(nullptr, "Rec", nullptr, nullptr);
  win::DOCINFOA di;
  di.lpszDocName = "m";
  ASSERT_GT(win::StartDocA(dc, &di), 0);
  win::StartPage(dc);
  win::IntersectClipRect(dc, 0, 0, 150, 1000);
  gdi::PlayOperations(dc, mf.Operations(), {0, 0, 100, 50}, {0, 0, 300, 25});
  win::EndPage(dc);
  win::EndDoc(dc);
  win::DeleteDC(dc);
  auto jobs = gdi::RecordedJobs();
  ASSERT_EQ(jobs.size(), 1u);
  const auto& ops = jobs[0].pages.at(0).ops;
  ASSERT_EQ(ops.size(), 2u);
  const auto* fill = ops[0].As<gdi::FillOp>();
  ASSERT_NE(fill, nullptr);
  EXPECT_EQ(fill->rect.right, 150);
  EXPECT_EQ(fill->rect.bottom, 25);
  const auto* line = ops[1].As<gdi::LineOp>();
  ASSERT_NE(line, nullptr);
  EXPECT_EQ(line->points[1].x, 297);
  EXPECT_EQ(line->points[1].y, 24);
  EXPECT_EQ(line->pen.width, 5);  // 3 x the mean of the two scales, 3 and 0.5
  ASSERT_TRUE(ops[1].clip.has_value());
  EXPECT_EQ(ops[1].clip->right, 150);  // the target's clipping holds
}

TEST(Metafiles, BadFramesAndDestinationsDrawNothing) {
  gdi::TMetafile mf;
  DrawSample(mf);
  gdi::TBitmap bm;
  bm.SetSize(60, 60);
  for (win::RECT dest : {win::RECT{10, 10, 10, 50}, win::RECT{50, 10, 10, 50}, win::RECT{10, 50, 50, 10},
                         win::RECT{INT_MIN, INT_MIN, INT_MIN, INT_MIN}}) {
    bm.Canvas().StretchDraw(dest, mf);
  }
  for (std::uint32_t p : bm.Pixels()) ASSERT_EQ(p & 0xFFFFFF, 0xFFFFFFu);
  // Huge destinations do not overflow the coordinates.
  gdi::PlayOperations(bm.DC(), mf.Operations(), {0, 0, 100, 50}, {INT_MIN / 2, INT_MIN / 2, INT_MAX / 2, INT_MAX / 2});
  gdi::PlayOperations(bm.DC(), mf.Operations(), {0, 0, 0, 50}, {0, 0, 60, 60});
  gdi::TMetafile empty;
  EXPECT_TRUE(empty.Empty());
  bm.Canvas().StretchDraw({0, 0, 60, 60}, empty);
}

TEST(Metafiles, SizeFromTheDrawingAndTheReferenceResolution) {
  gdi::TMetafile mf;
  {
    gdi::TMetafileCanvas c(mf, nullptr);
    c.Rectangle(5, 5, 40, 30);
  }
  EXPECT_EQ(mf.Width(), 40);
  EXPECT_EQ(mf.Height(), 30);

  // Recorded on a printer's information context: measured at its resolution.
  TempRoot root;
  spool::PrinterDef d = spool::DemoReceiptPrinter();
  ASSERT_TRUE(spool::InstallPrinter(d));
  win::HDC ic = win::CreateICA(nullptr, d.name.c_str(), nullptr, nullptr);
  ASSERT_NE(ic, nullptr);
  gdi::TMetafile printed;
  win::HDC mdc = gdi::CreateMetafileDC(ic);
  EXPECT_EQ(win::GetDeviceCaps(mdc, win::LOGPIXELSY), 203);
  EXPECT_EQ(win::GetDeviceCaps(mdc, win::TECHNOLOGY), win::DT_RASPRINTER);
  EXPECT_TRUE(gdi::CloseMetafileDC(mdc).empty());
  EXPECT_TRUE(gdi::CloseMetafileDC(mdc).empty());  // gone: nothing more
  {
    gdi::TMetafileCanvas c(printed, ic);
    EXPECT_EQ(c.Font.PixelsPerInch(), 203);
  }
  win::DeleteDC(ic);
}

TEST(Pictures, HoldCopiesOfBitmapsMetafilesAndSwitchKinds) {
  gdi::TPicture pic;
  int changes = 0;
  pic.OnChange = [&] { ++changes; };
  EXPECT_TRUE(pic.Empty());

  gdi::TBitmap bm;
  bm.SetSize(4, 2);
  bm.Canvas().Brush.Color = gdi::clBlack;
  bm.Canvas().FillRect({0, 0, 4, 2});
  pic.Assign(&bm);
  ASSERT_TRUE(pic.HasBitmap());
  EXPECT_NE(pic.Graphic(), &bm);  // a copy
  bm.SetSize(1, 1);
  EXPECT_EQ(pic.Width(), 4);
  EXPECT_EQ(At(pic.Bitmap().Pixels(), 4, 3, 1), 0u);

  gdi::TPicture other;
  other.Assign(&pic);
  pic.Bitmap().Canvas().Brush.Color = gdi::clWhite;
  pic.Bitmap().Canvas().FillRect({0, 0, 4, 2});
  EXPECT_EQ(At(other.Bitmap().Pixels(), 4, 0, 0), 0u);  // deep copy

  // Asking for a metafile replaces the bitmap.
  gdi::TMetafile& mf = pic.Metafile();
  EXPECT_FALSE(pic.HasBitmap());
  DrawSample(mf);
  EXPECT_EQ(pic.Width(), 100);

  // A bitmap from another graphic has its size and drawing.
  gdi::TBitmap flat;
  flat.Assign(pic.Graphic());
  EXPECT_EQ(flat.Width(), 100);
  EXPECT_EQ(At(flat.Pixels(), 100, 10, 10), 0xFF0000u);
  EXPECT_EQ(At(flat.Pixels(), 100, 80, 10), 0xFFFFFFu);

  pic.Assign(nullptr);
  EXPECT_TRUE(pic.Empty());
  EXPECT_EQ(pic.Graphic(), nullptr);
  EXPECT_GE(changes, 3);

  gdi::TFont font;
  EXPECT_THROW(pic.Assign(&font), cls::EConvertError);
  EXPECT_THROW(bm.Assign(&font), cls::EConvertError);
}

TEST(Persistent, FontsPensAndBrushesAssignAndPublishTheirProperties) {
  gdi::RegisterGraphicsClasses();
  gdi::TFont f;
  int changes = 0;
  f.OnChange = [&] { ++changes; };
  gdi::TFont src;
  src.SetName("Arial");
  src.SetStyle(gdi::fsBold | gdi::fsUnderline);
  f.Assign(static_cast<cls::TPersistent*>(&src));
  EXPECT_TRUE(f.Equals(src));
  EXPECT_EQ(changes, 1);
  gdi::TPen pen;
  EXPECT_THROW(f.Assign(&pen), cls::EConvertError);

  std::vector<std::string> names;
  for (const cls::TPropInfo* p : cls::GetPropList(&gdi::TFont::StaticClass())) names.push_back(p->Name);
  EXPECT_EQ(names, (std::vector<std::string>{"Charset", "Color", "Height", "Name", "Pitch", "Size", "Style"}));
  const cls::TPropInfo* style = cls::GetPropInfo(&f, "Style");
  ASSERT_EQ(style->Kind(), cls::tkSet);
  EXPECT_EQ(cls::GetEnumName(style->Type->ElementType, 2), "fsUnderline");
  EXPECT_EQ(cls::GetOrdProp(&f, "Style"), gdi::fsBold | gdi::fsUnderline);
  EXPECT_FALSE(cls::GetPropInfo(&f, "Size")->IsStored(&f));  // Height is kept
  cls::SetEnumProp(&f, "Pitch", "fpFixed");
  EXPECT_EQ(f.Pitch(), gdi::TFontPitch::fpFixed);
  cls::SetOrdProp(&f, "Size", 12);
  EXPECT_EQ(f.Size(), 12);

  // Pens: setters notify; stream values are kept within range.
  int penChanges = 0;
  pen.OnChange = [&] { ++penChanges; };
  cls::SetEnumProp(&pen, "Style", "psDot");
  cls::SetOrdProp(&pen, "Width", int64_t(1) << 40);
  EXPECT_EQ(pen.Style, gdi::TPenStyle::psDot);
  EXPECT_EQ(pen.Width, 32767);
  cls::SetOrdProp(&pen, "Mode", 99);  // no such mode
  EXPECT_EQ(pen.Mode, gdi::TPenMode::pmCopy);
  EXPECT_EQ(penChanges, 2);
  const cls::TPropInfo* width = cls::GetPropInfo(&pen, "Width");
  EXPECT_TRUE(width->HasDefault);
  EXPECT_EQ(width->Default, 1);

  gdi::TBrush brush, copy;
  cls::SetEnumProp(&brush, "Style", "bsClear");
  cls::SetOrdProp(&brush, "Color", gdi::clNavy);
  copy.Assign(static_cast<cls::TPersistent*>(&brush));
  EXPECT_EQ(copy.Style, gdi::TBrushStyle::bsClear);
  EXPECT_EQ(cls::GetOrdProp(&copy, "Color"), gdi::clNavy);
}
