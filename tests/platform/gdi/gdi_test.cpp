#include <gtest/gtest.h>

#include <cairo.h>
#include <csignal>
#include <cstdlib>
#include <cstdio>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <thread>  // the clocks

#include <sys/resource.h>
#include <sys/wait.h>

#include "platform/classes/classes.h"
#include "platform/gdi/canvas.h"
#include "platform/gdi/engine.h"
#include "platform/gdi/fonts.h"
#include "platform/gdi/gdi.h"
#include "platform/sysroot/codepage.h"
#include "tests/support/testroot.h"

using namespace testing_support;
namespace fs = std::filesystem;

namespace {

spool::PrinterDef Recorder(const std::string& name = "Recorder") {
  spool::PrinterDef d = spool::DemoReceiptPrinter();
  d.name = name;
  d.backend = spool::PrinterBackend::Record;
  d.unprintLeft = 30;  // 3 mm
  return d;
}

win::DEVMODEA Custom(short w, short l) {
  win::DEVMODEA m;
  std::memset(&m, 0, sizeof m);
  m.dmFields = win::DM_PAPERSIZE | win::DM_PAPERWIDTH | win::DM_PAPERLENGTH;
  m.dmPaperSize = 256, m.dmPaperWidth = w, m.dmPaperLength = l;
  return m;
}

win::HFONT Font(const char* face, int height) {
  win::LOGFONTA lf;
  std::strcpy(lf.lfFaceName, face);
  lf.lfHeight = height;
  return win::CreateFontIndirectA(&lf);
}

struct Deterministic {
  Deterministic() { gdi::SetDeterministicMetrics(true); }
  ~Deterministic() { gdi::SetDeterministicMetrics(false); }
};

}  // namespace

TEST(DeviceCaps, PrinterPageFromTheDeviceMode) {
  TempRoot root;
  ASSERT_TRUE(spool::InstallPrinter(Recorder()));
  win::DEVMODEA m = Custom(820, 1500);
  win::HDC ic = win::CreateICA(nullptr, "Recorder", nullptr, &m);
  ASSERT_NE(ic, nullptr);
  EXPECT_EQ(win::GetDeviceCaps(ic, win::LOGPIXELSX), 203);
  EXPECT_EQ(win::GetDeviceCaps(ic, win::PHYSICALWIDTH), 655);
  EXPECT_EQ(win::GetDeviceCaps(ic, win::PHYSICALHEIGHT), 1199);
  EXPECT_EQ(win::GetDeviceCaps(ic, win::PHYSICALOFFSETX), 24);
  EXPECT_EQ(win::GetDeviceCaps(ic, win::HORZRES), 655 - 24);
  EXPECT_EQ(win::GetDeviceCaps(ic, win::NUMCOLORS), 2);
  EXPECT_EQ(win::GetDeviceCaps(ic, win::SIZEPALETTE), 2);
  m.dmFields |= win::DM_ORIENTATION;
  m.dmOrientation = win::DMORIENT_LANDSCAPE;
  ASSERT_EQ(win::ResetDCA(ic, &m), ic);
  EXPECT_EQ(win::GetDeviceCaps(ic, win::PHYSICALWIDTH), 1199);
  EXPECT_EQ(win::GetDeviceCaps(ic, win::PHYSICALOFFSETY), 24);  // the left margin turned up
  EXPECT_EQ(win::StartDocA(ic, nullptr), win::SP_ERROR);        // an information context cannot print
  EXPECT_TRUE(win::DeleteDC(ic));
  // A deleted context is refused, not used.
  EXPECT_FALSE(win::DeleteDC(ic));
  EXPECT_EQ(win::GetLastError(), win::ERROR_INVALID_HANDLE);
  EXPECT_EQ(win::GetDeviceCaps(ic, win::LOGPIXELSX), 0);
  EXPECT_EQ(win::CreateDCA(nullptr, "Missing", nullptr, nullptr), nullptr);
  win::HDC screen = win::GetDC(nullptr);
  EXPECT_EQ(win::GetDeviceCaps(screen, win::LOGPIXELSY), 96);
  EXPECT_EQ(win::GetDeviceCaps(screen, win::TECHNOLOGY), win::DT_RASDISPLAY);
  // The class library's Screen and the screen context share one value; a
  // new font takes it.
  cls::Screen().PixelsPerInch = 120;
  EXPECT_EQ(win::GetDeviceCaps(screen, win::LOGPIXELSX), 120);
  EXPECT_EQ(gdi::TFont().PixelsPerInch(), 120);
  cls::Screen().PixelsPerInch = 96;
  win::ReleaseDC(nullptr, screen);
}

TEST(Fonts, SubstitutesCarryTheVerticalMetricsOfTheirFonts) {
  TempRoot root;
  ASSERT_TRUE(spool::InstallPrinter(Recorder()));
  win::HDC ic = win::CreateICA(nullptr, "Recorder", nullptr, nullptr);
  // 12 pt at 203 dpi: a 34 px em; the Big5 fonts' cell is one em.
  win::HFONT ming = Font("細明體", -34);
  win::SelectObject(ic, ming);
  win::TEXTMETRICA tm;
  ASSERT_TRUE(win::GetTextMetricsA(ic, &tm));
  EXPECT_EQ(tm.tmHeight, 34);
  EXPECT_EQ(tm.tmAscent, 30);  // their own 900 + 124 of 1024 units
  EXPECT_EQ(tm.tmDescent, 4);
  EXPECT_EQ(tm.tmInternalLeading, 0);
  EXPECT_EQ(gdi::SubstituteFamily("細明體"), "AR PL Mingti2L Big5");
  EXPECT_EQ(gdi::SubstituteFamily("標楷體"), "AR PL KaitiM Big5");
  EXPECT_EQ(gdi::SubstituteFamily("courier new"), "Liberation Mono");
  // Courier New: 1705 + 615 font units of 2048 per em.
  win::HFONT courier = Font("Courier New", -23);
  win::SelectObject(ic, courier);
  ASSERT_TRUE(win::GetTextMetricsA(ic, &tm));
  EXPECT_EQ(tm.tmAscent, 19);
  EXPECT_EQ(tm.tmDescent, 7);
  EXPECT_EQ(tm.tmInternalLeading, 3);
  // Liberation Mono is as wide as Courier New: 0.6 em a character.
  win::SIZE s;
  win::GetTextExtentPoint32A(ic, "0123456789", 10, &s);
  EXPECT_NEAR(s.cx, 138, 10);
  // A Big5 character is measured as one character.
  win::SelectObject(ic, ming);
  win::GetTextExtentPoint32A(ic, "中", -1, &s);
  EXPECT_EQ(s.cx, 34);
  win::DeleteDC(ic);
  win::DeleteObject(ming);
  win::DeleteObject(courier);
}

TEST(Fonts, DeterministicMetricFont) {
  Deterministic on;
  TempRoot root;
  ASSERT_TRUE(spool::InstallPrinter(Recorder()));
  win::HDC ic = win::CreateICA(nullptr, "Recorder", nullptr, nullptr);
  win::HFONT f = Font("Anything", -21);
  win::SelectObject(ic, f);
  win::SIZE s;
  win::GetTextExtentPoint32A(ic, "ab中", -1, &s);
  EXPECT_EQ(s.cx, 11 + 11 + 21);
  EXPECT_EQ(s.cy, 21);
  win::TEXTMETRICA tm;
  win::GetTextMetricsA(ic, &tm);
  EXPECT_EQ(tm.tmAscent, 17);
  // Justification spreads the extra pixels over the blanks.
  win::SetTextJustification(ic, 5, 2);
  win::GetTextExtentPoint32A(ic, "a b c", -1, &s);
  EXPECT_EQ(s.cx, 5 * 11 + 5);
  win::SetTextJustification(ic, 0, 0);
  // Tabs: stops relative to the origin.
  int tabs[] = {100, 200};
  win::DWORD ext = win::GetTabbedTextExtentA(ic, "a\tb\tc", -1, 2, tabs);
  EXPECT_EQ(ext & 0xFFFF, 211u);
  EXPECT_EQ(ext >> 16, 21u);
  // Past the last stop the default stops follow: every 8 average widths.
  ext = win::GetTabbedTextExtentA(ic, "a\tb\tc\td", -1, 2, tabs);
  EXPECT_EQ(ext & 0xFFFF, 264u + 11);
  // Stops count from the tab origin, also to its left.
  int fifty[] = {50};
  EXPECT_EQ(win::TabbedTextOutA(ic, 10, 0, "a\t", 2, 1, fifty, 100) & 0xFFFF, 50 - 10);
  // Word breaking: lines that fit, a long word left whole.
  win::RECT r{0, 0, 60, 0};
  EXPECT_EQ(win::DrawTextA(ic, "aa bb cc\r\ndddddddd", -1, &r, win::DT_CALCRECT | win::DT_WORDBREAK), 3 * 21);
  EXPECT_EQ(r.right, 88);
  r = {0, 0, 60, 0};
  win::DrawTextA(ic, "&File", -1, &r, win::DT_CALCRECT | win::DT_SINGLELINE);
  EXPECT_EQ(r.right, 44);  // the mnemonic sign is not drawn
  win::DeleteDC(ic);
  win::DeleteObject(f);
}

TEST(RecordingBackEnd, DrawTextPlacesEachLineAndItsTabStops) {
  Deterministic on;
  TempRoot root;
  gdi::ClearRecordedJobs();
  ASSERT_TRUE(spool::InstallPrinter(Recorder()));
  win::HDC dc = win::CreateDCA(nullptr, "Recorder", nullptr, nullptr);
  ASSERT_NE(dc, nullptr);
  win::DOCINFOA di;
  di.lpszDocName = "Lines";
  ASSERT_GT(win::StartDocA(dc, &di), 0);
  ASSERT_GT(win::StartPage(dc), 0);
  win::HFONT f = Font("Anything", -21);  // 11 a byte, 21 a line
  win::SelectObject(dc, f);
  win::SetBkMode(dc, win::TRANSPARENT);
  win::RECT r{100, 0, 300, 100};
  win::DrawTextA(dc, "ab\r\nc", -1, &r, win::DT_CENTER | win::DT_NOCLIP);
  win::DrawTextA(dc, "ab", -1, &r, win::DT_RIGHT | win::DT_NOCLIP);
  // The stops count from where the line starts: every 8 average widths.
  r = {100, 50, 300, 100};
  win::DrawTextA(dc, "a\tb", -1, &r, win::DT_RIGHT | win::DT_EXPANDTABS | win::DT_NOCLIP);
  ASSERT_GT(win::EndPage(dc), 0);
  ASSERT_GT(win::EndDoc(dc), 0);
  win::DeleteDC(dc);
  win::DeleteObject(f);

  auto jobs = gdi::RecordedJobs();
  ASSERT_EQ(jobs.size(), 1u);
  ASSERT_EQ(jobs[0].pages.size(), 1u);
  std::vector<std::string> drawn;
  for (const auto& op : jobs[0].pages[0].ops) {
    const gdi::TextOp* t = op.As<gdi::TextOp>();
    ASSERT_NE(t, nullptr) << op.Describe();
    drawn.push_back(t->text + " " + std::to_string(t->origin.x) + "," + std::to_string(t->origin.y));
  }
  EXPECT_EQ(drawn, (std::vector<std::string>{"ab 189,0", "c 194,21", "ab 278,0", "a 201,50", "b 289,50"}));
}

TEST(RecordingBackEnd, KeepsEveryCallInDevicePixels) {
  Deterministic on;
  TempRoot root;
  gdi::ClearRecordedJobs();
  ASSERT_TRUE(spool::InstallPrinter(Recorder()));
  win::DEVMODEA m = Custom(820, 1500);
  m.dmFields |= win::DM_COPIES;
  m.dmCopies = 2;
  win::HDC dc = win::CreateDCA(nullptr, "Recorder", nullptr, &m);
  ASSERT_NE(dc, nullptr);
  EXPECT_EQ(win::StartPage(dc), win::SP_ERROR);  // no document yet
  win::DOCINFOA di;
  di.lpszDocName = "Receipt";
  ASSERT_GT(win::StartDocA(dc, &di), 0);
  EXPECT_EQ(win::StartDocA(dc, &di), win::SP_ERROR);
  EXPECT_EQ(win::EndPage(dc), win::SP_ERROR);
  ASSERT_GT(win::StartPage(dc), 0);
  win::HFONT f = Font("細明體", -34);
  win::SelectObject(dc, f);
  win::SetBkMode(dc, win::TRANSPARENT);
  win::TextOutA(dc, 10, 20, "Hi", 2);
  win::SetTextAlign(dc, win::TA_RIGHT | win::TA_BASELINE);
  win::TextOutA(dc, 600, 100, "R", 1);
  win::SetTextAlign(dc, win::TA_LEFT);
  win::MoveToEx(dc, 0, 50, nullptr);
  win::LineTo(dc, 640, 50);
  win::IntersectClipRect(dc, 0, 0, 300, 300);
  win::Rectangle(dc, 5, 60, 200, 160);
  win::SelectClipRgn(dc, nullptr);
  int tabs[] = {100};
  win::TabbedTextOutA(dc, 10, 200, "a\tb", 3, 1, tabs, 10);
  ASSERT_GT(win::EndPage(dc), 0);
  ASSERT_GT(win::EndDoc(dc), 0);
  win::DeleteDC(dc);
  win::DeleteObject(f);

  auto jobs = gdi::RecordedJobs();
  ASSERT_EQ(jobs.size(), 1u);
  const gdi::Job& j = jobs[0];
  EXPECT_EQ(j.document, "Receipt");
  EXPECT_EQ(j.copies, 2);
  EXPECT_EQ(j.status, "done");
  ASSERT_EQ(j.pages.size(), 1u);
  const gdi::Page& p = j.pages[0];
  EXPECT_EQ(p.width, 655);
  EXPECT_EQ(p.heightTenths, 1500);
  ASSERT_EQ(p.ops.size(), 6u);
  EXPECT_EQ(p.ops[0].Describe(), "Text 10,20 \"Hi\" Liberation Sans 34");
  ASSERT_NE(p.ops[1].As<gdi::TextOp>(), nullptr);
  EXPECT_EQ(p.ops[1].As<gdi::TextOp>()->origin.x, 600 - 17);
  EXPECT_EQ(p.ops[1].As<gdi::TextOp>()->origin.y, 100 - 27);
  EXPECT_EQ(p.ops[2].Describe(), "Line 0,50 640,50");
  EXPECT_EQ(p.ops[3].Describe(), "Rect 5,60 200,160 clip 0,0,300,300");
  ASSERT_NE(p.ops[4].As<gdi::TextOp>(), nullptr);
  EXPECT_EQ(p.ops[4].As<gdi::TextOp>()->text, "a");
  ASSERT_NE(p.ops[5].As<gdi::TextOp>(), nullptr);
  EXPECT_EQ(p.ops[5].As<gdi::TextOp>()->origin.x, 110);
}

TEST(CairoBackEnd, PdfPngAndJobRecord) {
  TempRoot root;
  spool::PrinterDef z = spool::DemoReceiptPrinter();
  ASSERT_TRUE(spool::InstallPrinter(z));
  win::DEVMODEA m = Custom(820, 1500);
  win::HDC dc = win::CreateDCA(nullptr, "Zolmet", nullptr, &m);
  win::DOCINFOA di;
  di.lpszDocName = "收據";
  ASSERT_EQ(win::StartDocA(dc, &di), 1);
  ASSERT_GT(win::StartPage(dc), 0);
  win::HFONT f = Font("細明體", -34);
  win::SelectObject(dc, f);
  win::TextOutA(dc, 40, 40, "Total 中文測試", -1);
  win::Rectangle(dc, 20, 20, 600, 300);
  ASSERT_GT(win::EndPage(dc), 0);
  ASSERT_GT(win::EndDoc(dc), 0);
  win::DeleteDC(dc);
  win::DeleteObject(f);

  std::string folder = root.Host("C:\\Zolmet\\Printed\\Zolmet");
  std::string pdf = folder + "/job-0001.pdf", png = folder + "/job-0001-p1.png";
  ASSERT_TRUE(fs::exists(pdf));
  std::string info = Shell("pdfinfo '" + pdf + "'");
  EXPECT_NE(info.find("232.441 x 425.197 pts"), std::string::npos) << info;
  std::string text = Shell("pdftotext -enc UTF-8 '" + pdf + "' -");
  EXPECT_NE(text.find(cp::Big5ToUtf8("Total 中文測試")), std::string::npos) << text;
  cairo_surface_t* img = cairo_image_surface_create_from_png(png.c_str());
  ASSERT_EQ(cairo_surface_status(img), CAIRO_STATUS_SUCCESS);
  EXPECT_EQ(cairo_image_surface_get_width(img), 655);
  EXPECT_EQ(cairo_image_surface_get_height(img), 1199);
  // The rectangle's top edge is black, the page around it white.
  cairo_surface_flush(img);
  auto* px = reinterpret_cast<uint32_t*>(cairo_image_surface_get_data(img));
  int stride = cairo_image_surface_get_stride(img) / 4;
  EXPECT_EQ(px[20 * stride + 300] & 0xFFFFFF, 0u);
  EXPECT_EQ(px[10 * stride + 300] & 0xFFFFFF, 0xFFFFFFu);
  cairo_surface_destroy(img);
  std::string record = ReadFile(folder + "/job-0001.job");
  EXPECT_NE(record.find("Printer=Zolmet\r\n"), std::string::npos);
  EXPECT_NE(record.find("Document=收據\r\n"), std::string::npos);
  EXPECT_NE(record.find("Status=done\r\n"), std::string::npos);
  EXPECT_NE(record.find("Page1=820,1500,655,1199\r\n"), std::string::npos);

  // The next job takes the next number; an aborted one leaves no files.
  dc = win::CreateDCA(nullptr, "Zolmet", nullptr, nullptr);
  ASSERT_EQ(win::StartDocA(dc, &di), 2);
  win::StartPage(dc);
  win::EndPage(dc);
  ASSERT_GT(win::AbortDoc(dc), 0);
  win::DeleteDC(dc);
  EXPECT_FALSE(fs::exists(folder + "/job-0002.pdf"));
  EXPECT_FALSE(fs::exists(folder + "/job-0002-p1.png"));
  EXPECT_NE(ReadFile(folder + "/job-0002.job").find("Status=aborted"), std::string::npos);
}

TEST(CairoBackEnd, FailuresAreReportedNotPassedAsPrinted) {
  TempRoot root;
  spool::PrinterDef z = spool::DemoReceiptPrinter();
  z.name = "Blocked";
  z.output = "C:\\blocker\\out";
  ASSERT_TRUE(spool::InstallPrinter(z));
  WriteFile(root.Host("C:\\") + "/blocker", "a file where the folder should be");
  win::HDC dc = win::CreateDCA(nullptr, "Blocked", nullptr, nullptr);
  win::DOCINFOA di;
  di.lpszDocName = "x";
  EXPECT_EQ(win::StartDocA(dc, &di), win::SP_ERROR);
  win::DeleteDC(dc);

  // A command that fails makes the document fail; one that works gets the PDF.
  z = spool::DemoReceiptPrinter();
  z.name = "Handed";
  z.command = "cp";
  z.formats = {"pdf"};
  std::string target = root.path() + "/handed.pdf";
  z.command = "sh -c 'cp \"$0\" " + target + "'";
  ASSERT_TRUE(spool::InstallPrinter(z));
  dc = win::CreateDCA(nullptr, "Handed", nullptr, nullptr);
  ASSERT_GT(win::StartDocA(dc, &di), 0);
  win::StartPage(dc);
  ASSERT_GT(win::EndDoc(dc), 0);  // ends the open page first
  win::DeleteDC(dc);
  EXPECT_TRUE(fs::exists(target));
  z.command = "false";
  ASSERT_TRUE(spool::InstallPrinter(z));
  dc = win::CreateDCA(nullptr, "Handed", nullptr, nullptr);
  ASSERT_GT(win::StartDocA(dc, &di), 0);
  EXPECT_EQ(win::EndDoc(dc), win::SP_ERROR);
  win::DeleteDC(dc);

  // Printing to a named output file.
  dc = win::CreateDCA(nullptr, "Zolmet", nullptr, nullptr);
  ASSERT_TRUE(spool::InstallPrinter(spool::DemoReceiptPrinter()));
  win::DeleteDC(dc);
  dc = win::CreateDCA(nullptr, "Zolmet", nullptr, nullptr);
  di.lpszOutput = "C:\\Out\\receipt.pdf";
  ASSERT_GT(win::StartDocA(dc, &di), 0);
  win::StartPage(dc);
  ASSERT_GT(win::EndDoc(dc), 0);
  win::DeleteDC(dc);
  EXPECT_TRUE(fs::exists(root.Host("C:\\Out\\receipt.pdf")));
  EXPECT_TRUE(fs::exists(root.Host("C:\\Out\\receipt-p1.png")));
}

TEST(Canvas, BitmapCanvasDrawsAtOnce) {
  gdi::TBitmap bm;
  bm.SetSize(40, 20);
  gdi::TCanvas& c = bm.Canvas();
  c.Brush.Color = gdi::clRed;
  c.FillRect({0, 0, 10, 10});
  c.Pen.Color = gdi::clBlue;
  c.MoveTo(0, 15);
  c.LineTo(40, 15);
  auto px = bm.Pixels();
  EXPECT_EQ(px[5 * 40 + 5] & 0xFFFFFF, 0xFF0000u);   // red in ARGB
  EXPECT_EQ(px[5 * 40 + 20] & 0xFFFFFF, 0xFFFFFFu);  // still white
  EXPECT_EQ(px[15 * 40 + 20] & 0xFFFFFF, 0x0000FFu);
  EXPECT_EQ(c.PenPos().x, 40);
}

TEST(Canvas, FontSizeAndHeightFollowTheResolution) {
  gdi::TFont f;
  EXPECT_EQ(f.Size(), 8);
  f.SetSize(12);
  EXPECT_EQ(f.Height(), -16);
  f.SetPixelsPerInch(203);
  f.SetSize(12);
  EXPECT_EQ(f.Height(), -34);
  gdi::TFont g;
  g.Assign(f);  // keeps the points under its own resolution
  EXPECT_EQ(g.Height(), -16);
  EXPECT_TRUE(g.Equals(f));
}

TEST(Bitmaps, DeviceIndependentBitsAndStretching) {
  // 2 x 2, 24 bits, bottom-up: the first stored row is the bottom one.
  unsigned char bits[2 * 8] = {0, 0, 255, 0, 255, 0, 0, 0,    // bottom: red, green
                               255, 0, 0, 0, 0, 0, 0, 0};     // top: blue, black
  win::BITMAPINFO bi{};
  bi.bmiHeader.biWidth = 2;
  bi.bmiHeader.biHeight = 2;
  gdi::TBitmap target;
  target.SetSize(20, 20);
  ASSERT_EQ(win::StretchDIBits(target.DC(), 0, 0, 20, 20, 0, 0, 2, 2, bits, &bi, win::DIB_RGB_COLORS,
                               win::SRCCOPY),
            2);
  auto px = target.Pixels();
  EXPECT_EQ(px[2 * 20 + 2] & 0xFFFFFF, 0x0000FFu);     // top left blue
  EXPECT_EQ(px[2 * 20 + 15] & 0xFFFFFF, 0x000000u);    // top right black
  EXPECT_EQ(px[15 * 20 + 2] & 0xFFFFFF, 0xFF0000u);    // bottom left red
  EXPECT_EQ(px[15 * 20 + 15] & 0xFFFFFF, 0x00FF00u);   // bottom right green
  bi.bmiHeader.biBitCount = 16;
  EXPECT_EQ(win::StretchDIBits(target.DC(), 0, 0, 20, 20, 0, 0, 2, 2, bits, &bi, 0, win::SRCCOPY), 0);

  // A bitmap stretched onto another canvas; SRCAND keeps the darker.
  gdi::TBitmap src;
  src.SetSize(2, 1);
  src.Canvas().Brush.Color = gdi::clBlack;
  src.Canvas().FillRect({0, 0, 1, 1});
  gdi::TBitmap dst;
  dst.SetSize(4, 2);
  dst.Canvas().Brush.Color = gdi::clRed;
  dst.Canvas().FillRect({0, 0, 4, 2});
  dst.Canvas().CopyMode = win::SRCAND;
  dst.Canvas().StretchDraw({0, 0, 4, 2}, src);
  px = dst.Pixels();
  EXPECT_EQ(px[0] & 0xFFFFFF, 0u);            // black AND red
  EXPECT_EQ(px[3] & 0xFFFFFF, 0xFF0000u);     // white AND red
}

TEST(RecordingBackEnd, ADeletedContextGivesUpItsDocument) {
  TempRoot root;
  gdi::ClearRecordedJobs();
  ASSERT_TRUE(spool::InstallPrinter(Recorder()));
  win::HDC dc = win::CreateDCA(nullptr, "Recorder", nullptr, nullptr);
  win::DOCINFOA di;
  ASSERT_GT(win::StartDocA(dc, &di), 0);
  win::StartPage(dc);
  win::DeleteDC(dc);
  auto jobs = gdi::RecordedJobs();
  ASSERT_EQ(jobs.size(), 1u);
  EXPECT_EQ(jobs[0].status, "aborted");
}

namespace {

// Dark pixels of a rendered page.
int Ink(const gdi::Page& page) {
  int n = 0;
  for (std::uint32_t p : gdi::RenderPage(page)) n += (p & 0xFF) < 128;
  return n;
}

}  // namespace

TEST(Clipping, TextOutsideTwoDisjointClipsIsNotDrawn) {
  TempRoot root;
  gdi::ClearRecordedJobs();
  ASSERT_TRUE(spool::InstallPrinter(Recorder()));
  win::HDC dc = win::CreateDCA(nullptr, "Recorder", nullptr, nullptr);
  win::DOCINFOA di;
  ASSERT_GT(win::StartDocA(dc, &di), 0);
  ASSERT_GT(win::StartPage(dc), 0);
  win::HFONT f = Font("Arial", -34);
  win::SelectObject(dc, f);
  win::SetBkMode(dc, win::TRANSPARENT);
  win::IntersectClipRect(dc, 0, 0, 100, 100);
  // The text lies between the context's clip and its own rectangle: it is
  // inside neither, so nothing shows.
  win::RECT own{200, 0, 300, 50};
  win::ExtTextOutA(dc, 110, 5, win::ETO_CLIPPED, &own, "WWW", 3, nullptr);
  ASSERT_GT(win::EndDoc(dc), 0);
  win::DeleteDC(dc);
  win::DeleteObject(f);
  auto jobs = gdi::RecordedJobs();
  ASSERT_EQ(jobs.size(), 1u);
  ASSERT_EQ(jobs[0].pages.size(), 1u);
  EXPECT_EQ(Ink(jobs[0].pages[0]), 0);
}

TEST(Fonts, ChineseTextClippedToItsCellKeepsAllItsInk) {
  TempRoot root;
  gdi::ClearRecordedJobs();
  ASSERT_TRUE(spool::InstallPrinter(Recorder()));
  win::HDC dc = win::CreateDCA(nullptr, "Recorder", nullptr, nullptr);
  win::DOCINFOA di;
  ASSERT_GT(win::StartDocA(dc, &di), 0);
  win::HFONT f = Font("細明體", -34);  // 12 pt at 203 dpi
  win::SelectObject(dc, f);
  win::SetBkMode(dc, win::TRANSPARENT);
  win::TEXTMETRICA tm;
  ASSERT_TRUE(win::GetTextMetricsA(dc, &tm));
  ASSERT_EQ(tm.tmHeight, 34);
  const char* text = "收據測試【中】";
  win::SIZE s;
  win::GetTextExtentPoint32A(dc, text, -1, &s);
  // Page 1 free, page 2 clipped to the text's own cell.
  ASSERT_GT(win::StartPage(dc), 0);
  win::TextOutA(dc, 20, 40, text, -1);
  ASSERT_GT(win::EndPage(dc), 0);
  ASSERT_GT(win::StartPage(dc), 0);
  win::RECT cell{20, 40, 20 + s.cx, 40 + tm.tmHeight};
  win::ExtTextOutA(dc, 20, 40, win::ETO_CLIPPED, &cell, text, -1, nullptr);
  ASSERT_GT(win::EndPage(dc), 0);
  ASSERT_GT(win::EndDoc(dc), 0);
  win::DeleteDC(dc);
  win::DeleteObject(f);
  auto jobs = gdi::RecordedJobs();
  ASSERT_EQ(jobs.size(), 1u);
  ASSERT_EQ(jobs[0].pages.size(), 2u);
  int free = Ink(jobs[0].pages[0]);
  EXPECT_GT(free, 500);
  EXPECT_EQ(Ink(jobs[0].pages[1]), free);
}

TEST(CairoBackEnd, APageTooLargeForItsPngFailsInsteadOfCrashing) {
  TempRoot root;
  spool::PrinterDef d = spool::DemoReceiptPrinter();
  d.name = "Fine";
  d.output.clear();
  d.dpiX = d.dpiY = 600;
  d.customMaxLength = 20000;
  ASSERT_TRUE(spool::InstallPrinter(d));
  win::DEVMODEA m = Custom(820, 16000);  // 1.6 m at 600 dpi: 37795 pixel rows
  win::HDC dc = win::CreateDCA(nullptr, "Fine", nullptr, &m);
  ASSERT_NE(dc, nullptr);
  ASSERT_EQ(win::GetDeviceCaps(dc, win::PHYSICALHEIGHT), 37795);
  win::DOCINFOA di;
  ASSERT_GT(win::StartDocA(dc, &di), 0);
  ASSERT_GT(win::StartPage(dc), 0);
  win::Rectangle(dc, 10, 10, 100, 100);
  EXPECT_EQ(win::EndPage(dc), win::SP_ERROR);
  win::AbortDoc(dc);
  win::DeleteDC(dc);
  EXPECT_NE(ReadFile(root.Host("C:\\Zolmet\\Printed\\Fine\\job-0001.job")).find("Status=failed"),
            std::string::npos);
}

TEST(Canvas, ABitmapEmptiedAfterDrawingIsSafeToDrawOnAndToResize) {
  gdi::TBitmap bm;
  bm.SetSize(10, 10);
  bm.Canvas().Brush.Color = gdi::clRed;
  bm.Canvas().FillRect({0, 0, 10, 10});
  bm.SetSize(0, 0);
  EXPECT_EQ(bm.Width(), 0);
  bm.Canvas().FillRect({0, 0, 10, 10});  // nothing to draw on
  EXPECT_TRUE(bm.Pixels().empty());
  bm.SetSize(4, 4);
  bm.Canvas().FillRect({0, 0, 2, 2});
  auto px = bm.Pixels();
  ASSERT_EQ(px.size(), 16u);
  EXPECT_EQ(px[0] & 0xFFFFFF, 0xFF0000u);
  EXPECT_EQ(px[15] & 0xFFFFFF, 0xFFFFFFu);
}

TEST(Text, ByteWidthsOfABig5CharacterAddUp) {
  TempRoot root;
  gdi::ClearRecordedJobs();
  ASSERT_TRUE(spool::InstallPrinter(Recorder()));
  win::HDC dc = win::CreateDCA(nullptr, "Recorder", nullptr, nullptr);
  win::DOCINFOA di;
  ASSERT_GT(win::StartDocA(dc, &di), 0);
  win::HFONT f = Font("細明體", -34);
  win::SelectObject(dc, f);
  win::SetBkMode(dc, win::TRANSPARENT);
  win::SIZE natural;
  win::GetTextExtentPoint32A(dc, "中文", 4, &natural);
  ASSERT_EQ(natural.cx, 68);
  ASSERT_GT(win::StartPage(dc), 0);
  win::TextOutA(dc, 20, 40, "中文", 4);
  ASSERT_GT(win::EndPage(dc), 0);
  // One width a byte: a character takes its two bytes' widths together.
  int dx[] = {17, 17, 17, 17};
  ASSERT_GT(win::StartPage(dc), 0);
  win::ExtTextOutA(dc, 20, 40, 0, nullptr, "中文", 4, dx);
  ASSERT_GT(win::EndPage(dc), 0);
  ASSERT_GT(win::EndDoc(dc), 0);
  win::DeleteDC(dc);
  win::DeleteObject(f);
  auto jobs = gdi::RecordedJobs();
  ASSERT_EQ(jobs.size(), 1u);
  EXPECT_EQ(gdi::RenderPage(jobs[0].pages[1]), gdi::RenderPage(jobs[0].pages[0]));
}

TEST(Fonts, MeasuresFollowEveryChangeOfFontAndMetricMode) {
  TempRoot root;
  ASSERT_TRUE(spool::InstallPrinter(Recorder()));
  win::HDC ic = win::CreateICA(nullptr, "Recorder", nullptr, nullptr);
  auto width = [&](const char* face, int height, int weight, int italic, const char* text) {
    win::LOGFONTA lf;
    std::strcpy(lf.lfFaceName, face);
    lf.lfHeight = height, lf.lfWeight = weight, lf.lfItalic = static_cast<win::BYTE>(italic);
    win::HFONT f = win::CreateFontIndirectA(&lf);
    win::HGDIOBJ old = win::SelectObject(ic, f);
    win::SIZE s{};
    win::GetTextExtentPoint32A(ic, text, -1, &s);
    win::SelectObject(ic, old);
    win::DeleteObject(f);
    return s.cx;
  };
  // Fonts one field apart, measured one after the other, each keep their own widths.
  const long plain = width("Arial", -28, 400, 0, "WWW mmm");
  EXPECT_GT(width("Arial", -28, 700, 0, "WWW mmm"), plain);
  EXPECT_GT(width("Arial", -40, 400, 0, "WWW mmm"), plain);
  EXPECT_NE(width("Courier New", -28, 400, 0, "WWW mmm"), plain);
  EXPECT_EQ(width("MS Sans Serif", -28, 400, 0, "WWW mmm"), plain);  // the same installed font
  EXPECT_EQ(width("Arial", -28, 400, 0, "WWW mmm"), plain);
  {
    Deterministic on;
    EXPECT_EQ(width("Arial", -28, 400, 0, "WWW mmm"), 7 * 14);
  }
  EXPECT_EQ(width("Arial", -28, 400, 0, "WWW mmm"), plain);
  // Another thread measures the same; metrics made by hand find the same advances.
  long other = 0;
  std::thread([&] { other = width("Arial", -28, 400, 0, "WWW mmm"); }).join();
  EXPECT_EQ(other, plain);
  gdi::FontMetrics m;
  m.family = "Liberation Sans";
  m.em = 28;
  auto adv = gdi::CharAdvances(m, "WWW mmm");
  long sum = 0;
  for (int a : adv) sum += a;
  EXPECT_EQ(sum, plain);
  // A tab measures as a blank; a Big5 pair has its width on its lead byte.
  EXPECT_EQ(width("細明體", -34, 400, 0, "a\tb"), width("細明體", -34, 400, 0, "a b"));
  m.family = "AR PL Mingti2L Big5";
  m.em = 34;
  EXPECT_EQ(gdi::CharAdvances(m, "中a"), (std::vector<int>{34, 0, gdi::CharAdvances(m, "a")[0]}));
  win::DeleteDC(ic);
}

TEST(Canvas, ObjectsSelectedBehindTheCanvasAreReplacedBeforeItDraws) {
  TempRoot root;
  gdi::ClearRecordedJobs();
  ASSERT_TRUE(spool::InstallPrinter(Recorder()));
  win::HDC dc = win::CreateDCA(nullptr, "Recorder", nullptr, nullptr);
  win::DOCINFOA di;
  ASSERT_GT(win::StartDocA(dc, &di), 0);
  ASSERT_GT(win::StartPage(dc), 0);
  {
    gdi::TCanvas c;
    c.SetHandle(dc);
    c.Font.SetName("Arial");
    c.Font.SetHeight(-28);
    c.Pen.Color = gdi::clRed;
    const int w = c.TextWidth("WWW");
    c.LineTo(10, 10);
    // Someone selects their own font and pen on the context.
    win::HFONT big = Font("Courier New", -60);
    win::HPEN blue = win::CreatePen(win::PS_SOLID, 3, 0xFF0000);
    win::HGDIOBJ oldFont = win::SelectObject(dc, big);
    win::HGDIOBJ oldPen = win::SelectObject(dc, blue);
    EXPECT_EQ(c.TextWidth("WWW"), w);
    c.LineTo(20, 20);
    c.Font.SetHeight(-56);
    EXPECT_GT(c.TextWidth("WWW"), w);
    win::SelectObject(dc, oldFont);
    win::SelectObject(dc, oldPen);
    EXPECT_TRUE(win::DeleteObject(big));
    EXPECT_TRUE(win::DeleteObject(blue));
    c.SetHandle(nullptr);
  }
  ASSERT_GT(win::EndPage(dc), 0);
  ASSERT_GT(win::EndDoc(dc), 0);
  win::DeleteDC(dc);
  auto jobs = gdi::RecordedJobs();
  ASSERT_EQ(jobs.size(), 1u);
  std::vector<gdi::PenSpec> pens;
  for (const gdi::Op& op : jobs[0].pages[0].ops)
    if (auto* l = op.As<gdi::LineOp>()) pens.push_back(l->pen);
  ASSERT_EQ(pens.size(), 2u);
  for (const gdi::PenSpec& p : pens) {
    EXPECT_EQ(p.color, 0x0000FFu);
    EXPECT_EQ(p.width, 1);
  }
}

TEST(CairoBackEnd, JobsDoneAbortedOrFailedLeaveNoFilesOpen) {
  TempRoot root;
  spool::PrinterDef z = spool::DemoReceiptPrinter();
  ASSERT_TRUE(spool::InstallPrinter(z));
  z.name = "Handed";
  z.output.clear();
  z.command = "false";
  ASSERT_TRUE(spool::InstallPrinter(z));
  auto openFiles = [] {
    return std::distance(fs::directory_iterator("/proc/self/fd"), fs::directory_iterator());
  };
  auto job = [](const char* printer, bool abort) {
    win::HDC dc = win::CreateDCA(nullptr, printer, nullptr, nullptr);
    win::DOCINFOA di;
    di.lpszDocName = "x";
    win::StartDocA(dc, &di);
    win::StartPage(dc);
    win::Rectangle(dc, 1, 1, 50, 50);
    win::EndPage(dc);
    abort ? win::AbortDoc(dc) : win::EndDoc(dc);
    win::DeleteDC(dc);
  };
  job("Zolmet", false);  // the first job loads what stays loaded
  auto before = openFiles();
  job("Zolmet", false);
  job("Zolmet", true);
  job("Handed", false);
  EXPECT_EQ(openFiles(), before);
}

TEST(CairoBackEnd, AFailedHandOverFailsEvenWhenChildrenAreIgnored) {
  // A parent that ignores its children's ends passes that on to this
  // program; the command's exit status must still count.
  struct IgnoreChildren {
    IgnoreChildren() { std::signal(SIGCHLD, SIG_IGN); }
    ~IgnoreChildren() { std::signal(SIGCHLD, SIG_DFL); }
  } ignore;
  TempRoot root;
  spool::PrinterDef z = spool::DemoReceiptPrinter();
  z.formats = {"pdf"};
  z.command = "false";
  ASSERT_TRUE(spool::InstallPrinter(z));
  auto print = [] {
    win::HDC dc = win::CreateDCA(nullptr, "Zolmet", nullptr, nullptr);
    win::DOCINFOA di;
    di.lpszDocName = "x";
    win::StartDocA(dc, &di);
    win::StartPage(dc);
    int result = win::EndDoc(dc);
    win::DeleteDC(dc);
    return result;
  };
  EXPECT_EQ(print(), win::SP_ERROR);
  z.command = "true";
  ASSERT_TRUE(spool::InstallPrinter(z));
  EXPECT_GT(print(), 0);
}

TEST(CairoBackEnd, WrittenPagesDoNotStayInMemory) {
  TempRoot root;
  ASSERT_TRUE(spool::InstallPrinter(spool::DemoReceiptPrinter()));
  gdi::TBitmap logo;
  logo.SetSize(600, 200);
  win::HDC dc = win::CreateDCA(nullptr, "Zolmet", nullptr, nullptr);
  win::DOCINFOA di;
  ASSERT_GT(win::StartDocA(dc, &di), 0);
  for (int page = 0; page < 3; ++page) {
    ASSERT_GT(win::StartPage(dc), 0);
    win::StretchBlt(dc, 0, 0, 600, 200, logo.DC(), 0, 0, 600, 200, win::SRCCOPY);
    ASSERT_EQ(gdi::DocumentPages(dc)->size(), static_cast<size_t>(page));
    ASSERT_GT(win::EndPage(dc), 0);
    EXPECT_TRUE(gdi::DocumentPages(dc)->back().ops.empty());
    EXPECT_EQ(gdi::DocumentPages(dc)->back().width, 655);
  }
  ASSERT_GT(win::EndDoc(dc), 0);
  win::DeleteDC(dc);
}

namespace {

TEST(MemoryBitmaps, ViewportOriginMovesDrawingClippingAndPixelsButNotRegions) {
  win::HDC screen = win::GetDC(nullptr);
  win::HDC dc = win::CreateCompatibleDC(screen);
  win::HBITMAP bm = win::CreateCompatibleBitmap(screen, 20, 20);
  win::HGDIOBJ old = win::SelectObject(dc, bm);
  win::HBRUSH red = win::CreateSolidBrush(win::RGB(255, 0, 0));
  const int saved = win::SaveDC(dc);
  EXPECT_TRUE(win::SetViewportOrgEx(dc, 10, 5, nullptr));
  win::PT org{};
  EXPECT_TRUE(win::OffsetViewportOrgEx(dc, -2, 1, &org));
  EXPECT_EQ(org.x, 10);
  win::IntersectClipRect(dc, 0, 0, 3, 3);  // device 8,6 .. 11,9
  win::RECT box{};
  win::GetClipBox(dc, &box);
  EXPECT_EQ(box.left, 0);
  EXPECT_EQ(box.right, 3);
  win::RECT all{-100, -100, 100, 100};
  win::FillRect(dc, &all, red);
  EXPECT_EQ(win::GetPixel(dc, 0, 0), win::RGB(255, 0, 0));  // logical
  EXPECT_EQ(win::GetPixel(dc, -8, -6), 0xFFFFFFu);         // the bitmap's corner
  EXPECT_EQ(win::GetPixel(dc, 3, 0), 0xFFFFFFu);           // clipped
  EXPECT_EQ(win::GetPixel(dc, 100, 0), win::CLR_INVALID);
  win::RestoreDC(dc, saved);
  win::GetViewportOrgEx(dc, &org);
  EXPECT_EQ(org.x, 0);
  EXPECT_EQ(org.y, 0);
  EXPECT_EQ(win::GetPixel(dc, 8, 6), win::RGB(255, 0, 0));
  EXPECT_EQ(win::GetPixel(dc, 11, 6), 0xFFFFFFu);
  win::SelectObject(dc, old);
  win::DeleteObject(red);
  win::DeleteObject(bm);
  win::DeleteDC(dc);
  win::ReleaseDC(nullptr, screen);
}

TEST(MemoryBitmaps, FloodFillPixelsAndStretchMode) {
  win::HDC screen = win::GetDC(nullptr);
  win::HDC dc = win::CreateCompatibleDC(screen);
  win::HBITMAP bm = win::CreateCompatibleBitmap(screen, 10, 10);
  ASSERT_NE(bm, nullptr);
  win::HGDIOBJ old = win::SelectObject(dc, bm);
  EXPECT_EQ(win::GetPixel(dc, 0, 0), 0xFFFFFFu);  // white when made
  EXPECT_EQ(win::GetPixel(dc, 10, 0), win::CLR_INVALID);
  EXPECT_EQ(win::GetPixel(screen, 0, 0), win::CLR_INVALID);
  // A black frame round 2..7; surface fills stay on their side of it.
  win::HBRUSH black = win::CreateSolidBrush(0);
  win::RECT frame{2, 2, 8, 8};
  win::FrameRect(dc, &frame, black);
  win::HBRUSH red = win::CreateSolidBrush(win::RGB(255, 0, 0));
  win::HGDIOBJ oldBrush = win::SelectObject(dc, red);
  EXPECT_TRUE(win::ExtFloodFill(dc, 4, 4, 0xFFFFFF, win::FLOODFILLSURFACE));
  EXPECT_EQ(win::GetPixel(dc, 4, 4), win::RGB(255, 0, 0));
  EXPECT_EQ(win::GetPixel(dc, 3, 6), win::RGB(255, 0, 0));
  EXPECT_EQ(win::GetPixel(dc, 2, 4), 0u);
  EXPECT_EQ(win::GetPixel(dc, 0, 0), 0xFFFFFFu);
  // A point not of the surface colour fills nothing.
  EXPECT_FALSE(win::ExtFloodFill(dc, 2, 2, 0xFFFFFF, win::FLOODFILLSURFACE));
  // The same colour as the fill ends too.
  EXPECT_TRUE(win::ExtFloodFill(dc, 4, 4, win::RGB(255, 0, 0), win::FLOODFILLSURFACE));
  // Border fill: everything up to black, from outside the frame.
  win::SelectObject(dc, black);
  EXPECT_TRUE(win::ExtFloodFill(dc, 0, 0, 0, win::FLOODFILLBORDER));
  EXPECT_EQ(win::GetPixel(dc, 9, 9), 0u);
  EXPECT_EQ(win::GetPixel(dc, 4, 4), win::RGB(255, 0, 0));

  EXPECT_EQ(win::GetStretchBltMode(dc), win::BLACKONWHITE);
  EXPECT_EQ(win::SetStretchBltMode(dc, win::HALFTONE), win::BLACKONWHITE);
  EXPECT_EQ(win::SetStretchBltMode(dc, 9), 0);
  EXPECT_EQ(win::GetStretchBltMode(dc), win::HALFTONE);
  win::PT org{};
  EXPECT_TRUE(win::SetBrushOrgEx(dc, 3, 4, &org));
  EXPECT_EQ(org.x, 0);
  EXPECT_TRUE(win::GetBrushOrgEx(dc, &org));
  EXPECT_EQ(org.x, 3);
  EXPECT_EQ(org.y, 4);

  win::SelectObject(dc, oldBrush);
  win::SelectObject(dc, old);
  win::DeleteObject(red);
  win::DeleteObject(black);
  win::DeleteObject(bm);
  win::DeleteDC(dc);
  win::ReleaseDC(nullptr, screen);
}

}  // namespace

TEST(GdiHandles, ObjectsSelectedIntoALiveContextCannotBeDeleted) {
  win::HDC dc = win::CreateCompatibleDC(nullptr);
  win::HBITMAP bm = win::CreateBitmap32(8, 8, nullptr);
  win::HGDIOBJ old = win::SelectObject(dc, bm);
  ASSERT_NE(old, nullptr);
  // Refused while selected: drawing goes on into pixels that still exist.
  EXPECT_FALSE(win::DeleteObject(bm));
  win::HBRUSH red = win::CreateSolidBrush(win::RGB(255, 0, 0));
  win::RECT all{0, 0, 8, 8};
  EXPECT_EQ(win::FillRect(dc, &all, red), 1);
  EXPECT_EQ(win::GetPixel(dc, 7, 7), win::RGB(255, 0, 0));
  // Let go of, it goes; the stale handle is refused everywhere after.
  EXPECT_EQ(win::SelectObject(dc, old), bm);
  EXPECT_TRUE(win::DeleteObject(bm));
  EXPECT_EQ(win::SelectObject(dc, bm), nullptr);
  EXPECT_EQ(win::GetLastError(), win::ERROR_INVALID_HANDLE);
  std::vector<std::uint32_t> px;
  EXPECT_FALSE(win::GetBitmapPixels(bm, px));
  win::SIZE size;
  EXPECT_FALSE(win::GetBitmapSize(bm, &size));
  EXPECT_FALSE(win::DeleteObject(bm));
  EXPECT_EQ(win::GetPixel(dc, 0, 0), win::CLR_INVALID);  // the default bitmap draws nowhere

  // A deleted brush, or a handle of another kind, draws nothing.
  EXPECT_TRUE(win::DeleteObject(red));
  EXPECT_EQ(win::FillRect(dc, &all, red), 0);
  win::HPEN pen = win::CreatePen(win::PS_SOLID, 1, 0);
  EXPECT_EQ(win::FillRect(dc, &all, pen), 0);
  // A pen, font or brush is kept while selected, and goes with its context.
  win::HGDIOBJ oldPen = win::SelectObject(dc, pen);
  EXPECT_EQ(oldPen, win::GetStockObject(win::BLACK_PEN));
  EXPECT_FALSE(win::DeleteObject(pen));
  win::HFONT font = Font("Arial", -12);
  win::SelectObject(dc, font);
  EXPECT_FALSE(win::DeleteObject(font));
  win::DeleteDC(dc);
  EXPECT_TRUE(win::DeleteObject(pen));
  EXPECT_TRUE(win::DeleteObject(font));
  // Stock objects are never deleted.
  EXPECT_TRUE(win::DeleteObject(win::GetStockObject(win::BLACK_PEN)));
  EXPECT_EQ(win::GetStockObject(win::BLACK_PEN), oldPen);
}

TEST(GdiHandles, ARestoredStateLeavesOutObjectsDeletedSinceItWasSaved) {
  gdi::TBitmap bm;
  bm.SetSize(4, 4);
  win::HDC dc = bm.DC();
  win::HBRUSH blue = win::CreateSolidBrush(win::RGB(0, 0, 255));
  win::HGDIOBJ old = win::SelectObject(dc, blue);
  int saved = win::SaveDC(dc);
  ASSERT_GT(saved, 0);
  win::SelectObject(dc, old);
  EXPECT_TRUE(win::DeleteObject(blue));
  ASSERT_TRUE(win::RestoreDC(dc, saved));
  // The state's colour comes back; the freed brush does not.
  EXPECT_TRUE(win::ExtFloodFill(dc, 0, 0, 0xFFFFFF, win::FLOODFILLSURFACE));
  EXPECT_EQ(win::GetPixel(dc, 3, 3), win::RGB(0, 0, 255));
  EXPECT_EQ(win::SelectObject(dc, old), win::GetStockObject(win::WHITE_BRUSH));
  // The context's bitmap stays drawable and freeable by its owner.
}

namespace {

// A cairo printer writing PDF only whose hand-over command is COMMAND.
void InstallHandingPrinter(const std::string& command, int limitSeconds) {
  spool::PrinterDef z = spool::DemoReceiptPrinter();
  z.formats = {"pdf"};
  z.command = command;
  z.commandTimeout = limitSeconds;
  ASSERT_TRUE(spool::InstallPrinter(z));
}

// Prints one empty page on "Zolmet"; the result of EndDoc, the last error
// and the document's cause.
struct Printed {
  int result;
  win::DWORD error;
  std::string cause;
};
Printed PrintOnePage(const win::DEVMODEA* mode = nullptr) {
  win::HDC dc = win::CreateDCA(nullptr, "Zolmet", nullptr, mode);
  win::DOCINFOA di;
  di.lpszDocName = "x";
  EXPECT_GT(win::StartDocA(dc, &di), 0);
  win::StartPage(dc);
  Printed p;
  p.result = win::EndDoc(dc);
  p.error = win::GetLastError();
  p.cause = gdi::DocumentError(dc);
  win::DeleteDC(dc);
  return p;
}

}  // namespace

TEST(HandOver, ACommandThatNeverEndsIsStoppedAtItsTimeLimit) {
  TempRoot root;
  // The command leaves the process id of what it runs, to check it is gone.
  std::string pidFile = root.path() + "/command.pid";
  InstallHandingPrinter("sh -c 'echo $$ >" + pidFile + "; exec sleep 1000'", 1);
  const auto start = std::chrono::steady_clock::now();
  Printed p = PrintOnePage();
  const double seconds = std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
  EXPECT_EQ(p.result, win::SP_ERROR);
  EXPECT_LT(seconds, 5.0);
  EXPECT_GE(seconds, 0.9);
  EXPECT_EQ(p.error, win::WAIT_TIMEOUT_ERROR);
  EXPECT_NE(p.cause.find("did not end within 1 s"), std::string::npos) << p.cause;
  std::string record = ReadFile(root.Host("C:\\Zolmet\\Printed\\Zolmet\\job-0001.job"));
  EXPECT_NE(record.find("Status=failed\r\n"), std::string::npos) << record;
  EXPECT_NE(record.find("Error=The command \"sh -c"), std::string::npos) << record;
  EXPECT_NE(record.find("did not end within 1 s and was stopped.\r\n"), std::string::npos) << record;
  // What the command started was stopped with it (at most a zombie that
  // nobody reaps in this container is left).
  int pid = std::atoi(ReadFile(pidFile).c_str());
  ASSERT_GT(pid, 0);
  // A kill is delivered asynchronously: give it a moment to land.
  std::string stat;
  EXPECT_TRUE(testing_support::GoneOrZombie(pid, 200, stat)) << stat;
}

TEST(HandOver, EachFailureKeepsItsOwnCause) {
  TempRoot root;
  InstallHandingPrinter("false", 60);
  Printed p = PrintOnePage();
  EXPECT_EQ(p.result, win::SP_ERROR);
  EXPECT_EQ(p.error, win::ERROR_GEN_FAILURE);
  EXPECT_EQ(p.cause, "The command \"false\" ended with exit code 1.");
  EXPECT_NE(ReadFile(root.Host("C:\\Zolmet\\Printed\\Zolmet\\job-0001.job"))
                .find("Error=The command \"false\" ended with exit code 1.\r\n"),
            std::string::npos);
  // An "exit" in the command still counts as the command's end.
  InstallHandingPrinter("exit 7;", 60);
  p = PrintOnePage();
  EXPECT_EQ(p.cause, "The command \"exit 7;\" ended with exit code 7.");
  // A command that works leaves no cause, and a new document none of the last.
  InstallHandingPrinter("true", 60);
  p = PrintOnePage();
  EXPECT_GT(p.result, 0);
  EXPECT_EQ(p.cause, "");
  std::string record = ReadFile(root.Host("C:\\Zolmet\\Printed\\Zolmet\\job-0003.job"));
  EXPECT_EQ(record.find("Error="), std::string::npos) << record;

  // A page too large for its PNG: memory, not a full disk, and the first
  // cause is kept through the abort that follows.
  spool::PrinterDef d = spool::DemoReceiptPrinter();
  d.name = "Fine";
  d.output.clear();
  d.dpiX = d.dpiY = 600;
  d.customMaxLength = 20000;
  ASSERT_TRUE(spool::InstallPrinter(d));
  win::DEVMODEA m = Custom(820, 16000);
  win::HDC dc = win::CreateDCA(nullptr, "Fine", nullptr, &m);
  win::DOCINFOA di;
  ASSERT_GT(win::StartDocA(dc, &di), 0);
  ASSERT_GT(win::StartPage(dc), 0);
  EXPECT_EQ(win::EndDoc(dc), win::SP_ERROR);  // ends the page, which fails
  EXPECT_EQ(win::GetLastError(), win::ERROR_NOT_ENOUGH_MEMORY);
  EXPECT_NE(gdi::DocumentError(dc).find("too large for an image"), std::string::npos);
  win::DeleteDC(dc);
  std::string fine = ReadFile(root.Host("C:\\Zolmet\\Printed\\Fine\\job-0001.job"));
  EXPECT_NE(fine.find("Status=failed\r\nError=The page of 1937 x 37795 pixels is too large"), std::string::npos)
      << fine;

  // A folder that cannot be made says why.
  d = spool::DemoReceiptPrinter();
  d.name = "Blocked";
  d.output = "C:\\blocker\\out";
  ASSERT_TRUE(spool::InstallPrinter(d));
  WriteFile(root.Host("C:\\") + "/blocker", "a file where the folder should be");
  dc = win::CreateDCA(nullptr, "Blocked", nullptr, nullptr);
  EXPECT_EQ(win::StartDocA(dc, &di), win::SP_ERROR);
  EXPECT_NE(win::GetLastError(), win::ERROR_DISK_FULL);
  EXPECT_NE(gdi::DocumentError(dc).find("Cannot make the output folder"), std::string::npos);
  win::DeleteDC(dc);
}

// Every file of a job that cannot be written whole fails the job with its
// own cause, leaves no part of it, and hands nothing over; a job without a
// page is no job either. A link to /dev/full planted under each of the
// job's files in turn is never written through (real full disks: the
// full-disk cases of the job fault tests).
TEST(HandOver, AJobThatCannotBeWrittenWholeOrHasNoPageIsNotPrinted) {
  TempRoot root;
  const std::string marker = root.path() + "/handed";
  spool::PrinterDef z = spool::DemoReceiptPrinter();
  z.command = "touch '" + marker + "'";
  ASSERT_TRUE(spool::InstallPrinter(z));
  const std::string folder = root.Host("C:\\Zolmet\\Printed\\Zolmet");
  fs::create_directories(folder);
  struct Case {
    const char* full;  // the job's file on the full disk; none for no page
    int pages;
  };
  int job = 0;
  for (const Case& c : {Case{".pdf", 1}, Case{".pdf", 3}, Case{"-p1.png", 1}, Case{"-p2.png", 2}, Case{nullptr, 0}}) {
    SCOPED_TRACE(c.full ? c.full : "no page");
    char name[32];
    std::snprintf(name, sizeof name, "/job-%04d", ++job);
    const std::string base = folder + name;
    if (c.full) fs::create_symlink("/dev/full", base + c.full);
    win::HDC dc = win::CreateDCA(nullptr, "Zolmet", nullptr, nullptr);
    win::DOCINFOA di;
    di.lpszDocName = "x";
    ASSERT_EQ(win::StartDocA(dc, &di), job);
    bool failed = false;
    for (int page = 0; page < c.pages && !failed; ++page) {
      win::StartPage(dc);
      win::Rectangle(dc, 20, 20, 600, 300);
      failed = win::EndPage(dc) <= 0;
    }
    failed = failed || win::EndDoc(dc) <= 0;
    const win::DWORD error = win::GetLastError();
    const std::string cause = gdi::DocumentError(dc);
    if (failed && gdi::DocumentPages(dc)) win::AbortDoc(dc);
    win::DeleteDC(dc);
    EXPECT_TRUE(failed);
    // The link is never written through: its name is taken, and the job
    // fails naming it.
    EXPECT_EQ(error, c.full ? win::ERROR_ALREADY_EXISTS : win::ERROR_NO_DATA);
    EXPECT_EQ(cause, c.full ? "Cannot write " + base + c.full + ": File exists."
                            : "The job has no page: nothing was printed.");
    const std::string record = ReadFile(base + ".job");
    EXPECT_NE(record.find(std::string("Status=") + (c.full ? "failed" : "empty") + "\r\nError=" + cause + "\r\n"),
              std::string::npos)
        << record;
    EXPECT_EQ(record.find("Pdf="), std::string::npos) << record;
    EXPECT_EQ(record.find("Png="), std::string::npos) << record;
    // What the job wrote is gone; the link it did not make stays.
    for (const char* file : {".pdf", "-p1.png", "-p2.png"})
      EXPECT_EQ(fs::exists(fs::symlink_status(base + file)), c.full && std::string(c.full) == file) << file;
    EXPECT_FALSE(fs::exists(marker));
  }
  // A disk that takes nothing more at the start of a job: the job fails and
  // leaves no empty record behind (a file size limit stands for it).
  pid_t child = fork();
  if (child == 0) {
    std::signal(SIGXFSZ, SIG_IGN);
    rlimit none{0, 0};
    setrlimit(RLIMIT_FSIZE, &none);
    win::HDC dc = win::CreateDCA(nullptr, "Zolmet", nullptr, nullptr);
    win::DOCINFOA di;
    di.lpszDocName = "x";
    _exit(win::StartDocA(dc, &di) == win::SP_ERROR && gdi::DocumentError(dc).find("File too large") != std::string::npos
              ? 0
              : 1);
  }
  int status = -1;
  waitpid(child, &status, 0);
  EXPECT_EQ(status, 0);
  EXPECT_EQ(fs::exists(folder + "/job-0006.job"), false);
}

// What the command writes is its own account of a failure: it goes, as one
// line of Big5 text and bounded, into the cause and the job record.
TEST(HandOver, TheCommandsOwnMessageIsPartOfItsFailure) {
  TempRoot root;
  const std::string lp = "echo 'lp: Destination \"receipt\" is not accepting jobs.' >&2; echo second; exit 2;";
  InstallHandingPrinter(lp, 60);
  Printed p = PrintOnePage();
  EXPECT_EQ(p.result, win::SP_ERROR);
  const std::string cause = "The command \"" + lp +
                            "\" ended with exit code 2. Its output: lp: Destination \"receipt\" is not accepting "
                            "jobs. second";
  EXPECT_EQ(p.cause, cause);
  EXPECT_NE(ReadFile(root.Host("C:\\Zolmet\\Printed\\Zolmet\\job-0001.job")).find("Error=" + cause + "\r\n"),
            std::string::npos);

  // UTF-8 output ("缺紙") is kept as Big5 text.
  InstallHandingPrinter("printf '\\347\\274\\272\\347\\264\\231\\n'; exit 1;", 60);
  p = PrintOnePage();
  EXPECT_EQ(p.cause.substr(p.cause.size() - 16), "Its output: 缺紙") << p.cause;

  // A flood of output keeps its end; the cause stays short.
  InstallHandingPrinter("head -c 200000 /dev/zero | tr '\\0' x; echo ' the end'; exit 1;", 60);
  p = PrintOnePage();
  EXPECT_LT(p.cause.size(), 1200u);
  EXPECT_NE(p.cause.find("Its output: ...xxx"), std::string::npos) << p.cause;
  EXPECT_EQ(p.cause.substr(p.cause.size() - 8), " the end");

  // A command stopped at its limit still tells what it wrote so far.
  InstallHandingPrinter("echo waiting for the printer; sleep 1000;", 1);
  p = PrintOnePage();
  EXPECT_EQ(p.error, win::WAIT_TIMEOUT_ERROR);
  EXPECT_NE(p.cause.find("did not end within 1 s and was stopped. Its output: waiting for the printer"),
            std::string::npos)
      << p.cause;

  // A command that works: its output is no cause.
  InstallHandingPrinter("echo request id is receipt-1; true", 60);
  p = PrintOnePage();
  EXPECT_GT(p.result, 0);
  EXPECT_EQ(p.cause, "");
}

// The command learns the job's page size, for a queue that needs it.
TEST(HandOver, TheCommandIsToldThePageSizeInMillimetres) {
  TempRoot root;
  const std::string size = root.path() + "/size.txt";
  InstallHandingPrinter("printf %s \"$ZOLMET_PAGE_MM\" >'" + size + "'; true", 60);
  win::DEVMODEA m = Custom(820, 579);
  EXPECT_GT(PrintOnePage(&m).result, 0);
  EXPECT_EQ(ReadFile(size), "82x57.9");
  m = Custom(580, 1000);
  EXPECT_GT(PrintOnePage(&m).result, 0);
  EXPECT_EQ(ReadFile(size), "58x100");
}

namespace {

// Draws a few shapes and a picture on DC (the same calls for every engine).
void DrawSample(win::HDC dc) {
  win::HPEN pen = win::CreatePen(win::PS_SOLID, 3, win::RGB(0, 0, 255));
  win::HBRUSH brush = win::CreateHatchBrush(win::HS_CROSS, win::RGB(255, 0, 0));
  win::HGDIOBJ oldPen = win::SelectObject(dc, pen);
  win::HGDIOBJ oldBrush = win::SelectObject(dc, brush);
  win::Rectangle(dc, 2, 2, 30, 20);
  win::RoundRect(dc, 34, 2, 70, 30, 12, 12);
  win::Ellipse(dc, 2, 34, 40, 60);
  win::PT tri[] = {{50, 40}, {70, 60}, {45, 60}};
  win::Polygon(dc, tri, 3);
  win::IntersectClipRect(dc, 0, 62, 40, 70);
  win::MoveToEx(dc, 0, 66, nullptr);
  win::LineTo(dc, 79, 66);  // clipped at 40
  win::SelectClipRgn(dc, nullptr);
  std::uint32_t checker[] = {0xFF000000u, 0xFFFFFFFFu, 0xFFFFFFFFu, 0xFF000000u};
  win::HBITMAP bm = win::CreateBitmap32(2, 2, checker);
  win::HDC src = win::CreateCompatibleDC(dc);
  win::HGDIOBJ oldBm = win::SelectObject(src, bm);
  win::StretchBlt(dc, 60, 70, 8, 8, src, 0, 0, 2, 2, win::SRCCOPY);
  win::SelectObject(src, oldBm);
  win::DeleteDC(src);
  win::DeleteObject(bm);
  win::SelectObject(dc, oldPen);
  win::SelectObject(dc, oldBrush);
  win::DeleteObject(pen);
  win::DeleteObject(brush);
}

}  // namespace

TEST(Engines, APagePrintedAndABitmapDrawnGiveTheSamePixels) {
  TempRoot root;
  gdi::ClearRecordedJobs();
  spool::PrinterDef d = Recorder();
  d.dpiX = d.dpiY = 96;  // the page is as many pixels as the bitmap
  ASSERT_TRUE(spool::InstallPrinter(d));
  win::DEVMODEA m = Custom(212, 212);  // 80 x 80 pixels
  win::HDC dc = win::CreateDCA(nullptr, "Recorder", nullptr, &m);
  win::DOCINFOA di;
  ASSERT_GT(win::StartDocA(dc, &di), 0);
  ASSERT_GT(win::StartPage(dc), 0);
  DrawSample(dc);
  ASSERT_GT(win::EndDoc(dc), 0);
  win::DeleteDC(dc);
  auto jobs = gdi::RecordedJobs();
  ASSERT_EQ(jobs.size(), 1u);
  const gdi::Page& page = jobs[0].pages[0];
  ASSERT_EQ(page.width, 80);
  ASSERT_EQ(page.ops.size(), 6u);
  EXPECT_EQ(page.ops[1].Describe(), "RoundRect 34,2 70,30 12,12");
  EXPECT_EQ(page.ops[4].Describe(), "Line 0,66 79,66 clip 0,62,40,70");
  EXPECT_EQ(page.ops[5].Describe(), "Image 60,70 68,78");

  gdi::TBitmap bm;
  bm.SetSize(80, 80);
  DrawSample(bm.DC());
  std::vector<std::uint32_t> printed = gdi::RenderPage(page), drawn = bm.Pixels();
  ASSERT_EQ(printed.size(), drawn.size());
  EXPECT_TRUE(printed == drawn);
  // The outline of a hatched shape is drawn, inside the bounds; the
  // clipped line stops at the clip.
  auto at = [&](int x, int y) { return drawn[static_cast<size_t>(y) * 80 + x] & 0xFFFFFF; };
  EXPECT_EQ(at(2, 10), 0x0000FFu);
  EXPECT_EQ(at(1, 10), 0xFFFFFFu);
  EXPECT_EQ(at(30, 10), 0xFFFFFFu);
  EXPECT_EQ(at(39, 66), 0x0000FFu);
  EXPECT_EQ(at(41, 66), 0xFFFFFFu);
  EXPECT_EQ(at(60, 70), 0x000000u);  // the picture's black corner, four pixels a source pixel
  EXPECT_EQ(at(64, 70), 0xFFFFFFu);
}

TEST(Engines, ThePrinterDefinitionNamesTheEngineOnce) {
  spool::PrinterDef d;
  ASSERT_TRUE(spool::ParseDefinition("Name=X\nBackend=RECORD\n", d));
  EXPECT_EQ(d.backend, spool::PrinterBackend::Record);
  EXPECT_NE(spool::FormatDefinition(d).find("Backend=record\r\n"), std::string::npos);
  ASSERT_TRUE(spool::ParseDefinition("Name=X\nBackend=plotter\n", d));
  EXPECT_EQ(d.backend, spool::PrinterBackend::Cairo);  // anything else writes files
}

TEST(Canvas, AFontCopyTakesTheValuesAndAssigningNotifiesTheOwner) {
  int changes = 0;
  gdi::TFont owned;
  owned.OnChange = [&] { ++changes; };
  gdi::TFont other;
  other.SetName("細明體");
  other.SetCharset(win::CHINESEBIG5_CHARSET);
  owned = other;  // as a control's Font = a form's Font
  EXPECT_EQ(changes, 1);
  EXPECT_EQ(owned.Name(), "細明體");
  EXPECT_TRUE(owned.Equals(other));
  gdi::TFont copy(owned);  // the handler stays with its owner
  copy.SetSize(20);
  EXPECT_EQ(changes, 1);
  EXPECT_FALSE(copy.Equals(owned));
  // System colours resolve through one scheme.
  EXPECT_EQ(gdi::ColorToRGB(gdi::clBtnFace), 0xC0C0C0u);
  EXPECT_EQ(gdi::ColorToRGB(gdi::clWindowText), 0u);
  EXPECT_EQ(gdi::ColorToRGB(gdi::clRed), win::RGB(255, 0, 0));
}

TEST(Bitmaps, TallBitmapsAreDrawnWholeAndCopiedByTheirSourceRectangle) {
  // Taller than cairo draws at once, within 64 M pixels; wider ones and
  // larger ones are refused.
  gdi::TBitmap tall;
  tall.SetSize(40, 40000);
  ASSERT_EQ(tall.Height(), 40000);
  gdi::TBitmap refused;
  refused.SetSize(30001, 10);
  EXPECT_EQ(refused.Width(), 0);
  refused.SetSize(2000, 40000);
  EXPECT_EQ(refused.Width(), 0);
  gdi::TCanvas& c = tall.Canvas();
  c.Brush.Color = gdi::clBlack;
  c.FillRect({0, 0, 40, 40000});
  c.Brush.Color = gdi::clRed;
  c.FillRect({10, 39990, 20, 40000});  // beyond the first band of rows
  std::vector<std::uint32_t> px = tall.Pixels();
  auto at = [&](const std::vector<std::uint32_t>& p, int w, int x, int y) { return p[y * w + x] & 0xFFFFFF; };
  EXPECT_EQ(at(px, 40, 15, 39995), 0xFF0000u);
  EXPECT_EQ(at(px, 40, 5, 39995), 0u);
  EXPECT_EQ(at(px, 40, 15, 32767), 0u);
  // A window of it copied: the window's pixels only.
  gdi::TBitmap view;
  view.SetSize(20, 20);
  win::BitBlt(view.Canvas().Handle(), 0, 0, 20, 20, tall.Canvas().Handle(), 5, 39985, win::SRCCOPY);
  std::vector<std::uint32_t> vp = view.Pixels();
  EXPECT_EQ(at(vp, 20, 10, 10), 0xFF0000u);  // (15, 39995)
  EXPECT_EQ(at(vp, 20, 4, 10), 0u);          // (9, 39995)
  EXPECT_EQ(at(vp, 20, 10, 4), 0u);          // (15, 39989)
  // A source rectangle reaching past the bitmap copies what there is.
  view.Canvas().Brush.Color = gdi::clWhite;
  view.Canvas().FillRect({0, 0, 20, 20});
  win::BitBlt(view.Canvas().Handle(), 0, 0, 20, 20, tall.Canvas().Handle(), 30, 39995, win::SRCCOPY);
  vp = view.Pixels();
  EXPECT_EQ(at(vp, 20, 5, 2), 0u);
  EXPECT_EQ(at(vp, 20, 15, 2), 0xFFFFFFu);
}

namespace {

cairo_status_t AppendPng(void* closure, const unsigned char* data, unsigned int length) {
  static_cast<std::string*>(closure)->append(reinterpret_cast<const char*>(data), length);
  return CAIRO_STATUS_SUCCESS;
}

struct PngReader {
  const std::string* bytes;
  size_t at = 0;
};

cairo_status_t ReadPng(void* closure, unsigned char* data, unsigned int length) {
  auto* r = static_cast<PngReader*>(closure);
  if (r->at + length > r->bytes->size()) return CAIRO_STATUS_READ_ERROR;
  std::memcpy(data, r->bytes->data() + r->at, length);
  r->at += length;
  return CAIRO_STATUS_SUCCESS;
}

// PNG bytes decoded by libpng (through cairo) into 0xRRGGBB pixels.
std::vector<uint32_t> DecodedPng(const std::string& png, int& width, int& height) {
  PngReader reader{&png};
  cairo_surface_t* img = cairo_image_surface_create_from_png_stream(ReadPng, &reader);
  std::vector<uint32_t> out;
  width = height = 0;
  if (cairo_surface_status(img) == CAIRO_STATUS_SUCCESS) {
    cairo_surface_flush(img);
    width = cairo_image_surface_get_width(img);
    height = cairo_image_surface_get_height(img);
    const int stride = cairo_image_surface_get_stride(img) / 4;
    const auto* px = reinterpret_cast<const uint32_t*>(cairo_image_surface_get_data(img));
    for (int y = 0; y < height; ++y)
      for (int x = 0; x < width; ++x) out.push_back(px[y * stride + x] & 0xFFFFFFu);
  }
  cairo_surface_destroy(img);
  return out;
}

}  // namespace

// Pages as the raster draws them (antialiased text in the receipt's fonts,
// black bars, grey and coloured fills, widths that end inside a byte)
// written in the depth they need: decoded by libpng they are the pixels of
// the 24-bit file written before, and the depth is the least that holds them.
TEST(PagePng, DecodesToThePixelsOfThe24BitFileInTheLeastDepth) {
  gdi::SetDeterministicMetrics(false);
  struct Case {
    int width, height;
    bool text, grey, colour;
  };
  const std::vector<Case> cases = {{1, 1, false, false, false},  {9, 3, false, false, false},
                                   {17, 5, false, true, false},  {13, 2, false, true, true},
                                   {655, 120, true, false, false}, {201, 60, true, false, true}};
  for (const Case& c : cases) {
    gdi::TBitmap bitmap;
    bitmap.SetSize(c.width, c.height);
    gdi::TCanvas& canvas = bitmap.Canvas();
    canvas.Brush.Color = gdi::clWhite;
    canvas.FillRect(win::RECT{0, 0, c.width, c.height});
    canvas.Brush.Color = gdi::clBlack;
    for (int x = 0; x < c.width; x += 3) canvas.FillRect(win::RECT{x, 0, x + 1 + x % 2, c.height});
    if (c.grey) {
      canvas.Brush.Color = static_cast<gdi::TColor>(0x808080);
      canvas.FillRect(win::RECT{0, 0, std::max(1, c.width / 2), 1});
    }
    if (c.colour) {
      canvas.Brush.Color = static_cast<gdi::TColor>(0x0000FF);
      canvas.FillRect(win::RECT{c.width - 1, c.height - 1, c.width, c.height});
    }
    if (c.text) {
      canvas.Brush.Color = gdi::clWhite;
      canvas.FillRect(win::RECT{0, 0, c.width, c.height});
      for (const char* face : {"細明體", "Courier New"}) {
        canvas.Font.SetName(face);
        canvas.Font.SetSize(12);
        canvas.TextOut(3, face[0] == 'C' ? 60 : 10, "收據 Orvane Dravik 2000001000014");
      }
      if (c.colour) {
        canvas.Brush.Color = static_cast<gdi::TColor>(0x00FF00);
        canvas.FillRect(win::RECT{0, 0, 2, 2});
      }
    }
    const std::vector<uint32_t> pixels = bitmap.Pixels();
    std::string lean;
    ASSERT_TRUE(gdi::WritePixelsPng(pixels, c.width, c.height, [&](const unsigned char* d, size_t n) {
      lean.append(reinterpret_cast<const char*>(d), n);
      return true;
    }));
    std::vector<uint32_t> copy = pixels;
    cairo_surface_t* s = cairo_image_surface_create_for_data(reinterpret_cast<unsigned char*>(copy.data()),
                                                             CAIRO_FORMAT_RGB24, c.width, c.height, c.width * 4);
    std::string full;
    ASSERT_EQ(cairo_surface_write_to_png_stream(s, AppendPng, &full), CAIRO_STATUS_SUCCESS);
    cairo_surface_destroy(s);
    int w = 0, h = 0, fw = 0, fh = 0;
    const std::vector<uint32_t> got = DecodedPng(lean, w, h), before = DecodedPng(full, fw, fh);
    ASSERT_EQ(w, c.width);
    ASSERT_EQ(h, c.height);
    ASSERT_EQ(fw, c.width);
    EXPECT_TRUE(got == before) << c.width << " x " << c.height;
    std::vector<uint32_t> given;
    for (uint32_t p : pixels) given.push_back(p & 0xFFFFFFu);
    EXPECT_TRUE(got == given) << c.width << " x " << c.height;
    // IHDR: bit depth at byte 24, colour type at 25 (0 grey, 2 RGB).
    bool bw = true, grey = true;
    for (uint32_t p : given) {
      bw = bw && (p == 0 || p == 0xFFFFFFu);
      grey = grey && ((p >> 16) & 0xFF) == (p & 0xFF) && ((p >> 8) & 0xFF) == (p & 0xFF);
    }
    ASSERT_GT(lean.size(), 26u);
    EXPECT_EQ(static_cast<int>(lean[24]), bw ? 1 : 8) << c.width;
    EXPECT_EQ(static_cast<int>(lean[25]), grey ? 0 : 2) << c.width;
    EXPECT_EQ(bw, !c.grey && !c.colour && !c.text) << c.width;
    EXPECT_EQ(grey, !c.colour) << c.width;
  }
  // A failed write fails the file.
  EXPECT_FALSE(gdi::WritePixelsPng(std::vector<uint32_t>(4, 0), 2, 2, [](const unsigned char*, size_t) { return false; }));
  EXPECT_FALSE(gdi::WritePixelsPng(std::vector<uint32_t>(3, 0), 2, 2, [](const unsigned char*, size_t) { return true; }));
}

namespace {

// Read calls this process has made so far.
long ReadCalls() {
  std::ifstream io("/proc/self/io");
  std::string key;
  long value = 0;
  while (io >> key >> value)
    if (key == "syscr:") return value;
  return -1;
}

int PrintOneJob(const char* printer) {
  win::HDC dc = win::CreateDCA(nullptr, printer, nullptr, nullptr);
  win::DOCINFOA di;
  di.lpszDocName = "x";
  const int job = win::StartDocA(dc, &di);
  win::StartPage(dc);
  win::EndPage(dc);
  win::EndDoc(dc);
  win::DeleteDC(dc);
  return job;
}

}  // namespace

// A job's start reads what its folder gained since the last sweep for
// unfinished jobs, not the folder's history; a job left printing by a
// program that ended is found whether it came before or after that sweep,
// and numbers go on from the highest.
TEST(JobRecords, AJobsStartReadsWhatTheFolderGainedNotItsHistory) {
  if (ReadCalls() < 0) GTEST_SKIP() << "this kernel keeps no read counts (/proc/self/io)";
  TempRoot root;
  spool::PrinterDef z = spool::DemoReceiptPrinter();
  z.name = "History";
  z.output = "C:\\Zolmet\\Printed\\History";
  z.formats = {"pdf"};
  ASSERT_TRUE(spool::InstallPrinter(z));
  const std::string folder = root.Host("C:\\Zolmet\\Printed\\History");
  fs::create_directories(folder);
  // A process that has ended, for the jobs it left printing.
  const pid_t gone = fork();
  if (gone == 0) _exit(0);
  waitpid(gone, nullptr, 0);
  auto record = [&](int n, const char* status) {
    char name[32];
    std::snprintf(name, sizeof name, "job-%04d", n);
    std::string text = std::string("Printer=History\r\nDocument=x\r\nStatus=") + status + "\r\n";
    // A job still printing names no file yet.
    if (std::string(status) == "printing") text += "Process=" + std::to_string(gone) + "\r\n";
    else text += std::string("Pdf=") + name + ".pdf\r\n";
    WriteFile(folder + "/" + name + ".job", text);
    WriteFile(folder + "/" + name + ".pdf", "%PDF-1.5 half");
  };
  const int kHistory = 3000;
  for (int n = 1; n <= kHistory; ++n) record(n, n == 1234 ? "printing" : "done");
  auto status = [&](int n) {
    char name[32];
    std::snprintf(name, sizeof name, "/job-%04d.job", n);
    const std::string text = ReadFile(folder + name);
    const size_t at = text.find("Status=");
    return at == std::string::npos ? std::string() : text.substr(at + 7, text.find('\r', at) - at - 7);
  };

  gdi::ForgetSweptFolders();
  long before = ReadCalls();
  EXPECT_EQ(PrintOneJob("History"), kHistory + 1);
  const long firstSweep = ReadCalls() - before;
  EXPECT_GE(firstSweep, kHistory);  // no state yet: every record is read
  EXPECT_EQ(status(1234), "aborted");
  EXPECT_FALSE(fs::exists(folder + "/job-1234.pdf"));  // its half-written file goes, the others stay
  EXPECT_TRUE(fs::exists(folder + "/job-1233.pdf"));

  // As a new process: one more record left printing since the sweep.
  record(kHistory + 2, "printing");
  gdi::ForgetSweptFolders();
  before = ReadCalls();
  EXPECT_EQ(PrintOneJob("History"), kHistory + 3);
  EXPECT_LT(ReadCalls() - before, 200) << "the first sweep read " << firstSweep;
  EXPECT_EQ(status(kHistory + 2), "aborted");
  EXPECT_EQ(status(kHistory + 3), "done");

  // A spoilt state: everything is read again, nothing is lost.
  for (const auto& e : fs::directory_iterator(root.path() + "/Platform/JobSweeps")) WriteFile(e.path(), "max 9\n");
  gdi::ForgetSweptFolders();
  before = ReadCalls();
  EXPECT_EQ(PrintOneJob("History"), kHistory + 4);
  EXPECT_GE(ReadCalls() - before, kHistory);

  // The folder emptied: numbers begin again, and a job left printing below
  // the highest the last sweep saw is still found.
  for (const auto& e : fs::directory_iterator(folder)) fs::remove(e.path());
  record(1, "done");
  record(2, "printing");
  gdi::ForgetSweptFolders();
  EXPECT_EQ(PrintOneJob("History"), 3);
  EXPECT_EQ(status(2), "aborted");
  gdi::ForgetSweptFolders();
}

// The sweep's state reads back as written, and anything else is refused.
TEST(JobRecords, SweepStatesReadBackAndOthersAreRefused) {
  gdi::Sweep s{"/r/C/Zolmet/Printed/Zolmet", 12, {3, 11, 12}};
  gdi::Sweep back;
  ASSERT_TRUE(gdi::ParseSweep(gdi::FormatSweep(s), back));
  EXPECT_EQ(back, s);
  ASSERT_TRUE(gdi::ParseSweep("folder /x\nmax 0\nlive\n", back));
  EXPECT_EQ(back, (gdi::Sweep{"/x", 0, {}}));
  for (const char* bad : {"", "folder /x\nmax 1\nlive 2\n", "folder /x\nmax 1\nlive 1 1\n", "folder /x\nmax -1\nlive\n",
                          "folder /x\nmax 1\nlive 1", "folder /x\nmax 1\nlive 1 \n", "folder /x\nmax 1\nlive1\n",
                          "folder /x\nmax 1\nlive\nmore\n", "max 1\nlive\n", "folder /x\nmax 9999999999\nlive\n"}) {
    EXPECT_FALSE(gdi::ParseSweep(bad, back)) << bad;
    EXPECT_EQ(back, gdi::Sweep());
  }
}
