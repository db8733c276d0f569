// Painting, scrolling, input and the newer controls.
#include <gtest/gtest.h>

#include <cstdio>
#include <fstream>
#include <string>
#include <vector>

#include "platform/gdi/gdi.h"
#include "platform/gdi/picture.h"
#include "platform/sysroot/sysroot.h"
#include "platform/ui/comctrls.h"
#include "platform/ui/dialogs.h"
#include "platform/ui/extctrls.h"
#include "platform/ui/forms.h"
#include "platform/ui/input.h"
#include "platform/ui/menus.h"
#include "tests/support/testroot.h"

using namespace ui;

namespace {

class ControlsTest : public ::testing::Test {
 protected:
  void SetUp() override { SetEchoDialogs(false); }
  void TearDown() override {
    Application().Shutdown();
    SetEchoDialogs(true);
  }
  testing_support::TempRoot root;
};

// RGB of a pixel of a painted bitmap (0xRRGGBB).
struct Picture {
  int w = 0, h = 0;
  std::vector<std::uint32_t> px;
  explicit Picture(TControl& c) {
    gdi::TBitmap b;
    c.PaintToBitmap(b);
    w = b.Width();
    h = b.Height();
    px = b.Pixels();
  }
  std::uint32_t At(int x, int y) const { return px.at(static_cast<size_t>(y) * static_cast<size_t>(w) + static_cast<size_t>(x)) & 0xFFFFFF; }
};

TEST_F(ControlsTest, ChildrenPaintClippedToTheirParentAndShiftedByItsScrollPosition) {
  auto* f = NewForm<TForm>(nullptr);
  f->SetBounds(0, 0, 200, 150);
  auto* box = new TScrollBox(f);
  box->SetParent(f);
  box->BorderStyle = TBorderStyle::bsNone;
  box->SetBounds(10, 10, 100, 80);
  auto* pb = new TPaintBox(f);
  pb->SetParent(box);
  pb->SetBounds(0, 0, 300, 300);
  // Red left half, blue right half of the paint box's own pixels.
  pb->OnPaint = [&](TObject*) {
    gdi::TCanvas& c = pb->Canvas();
    c.Brush.Color = gdi::clRed;
    c.FillRect({0, 0, 150, 300});
    c.Brush.Color = gdi::clBlue;
    c.FillRect({150, 0, 300, 300});
  };
  EXPECT_EQ(box->HorzScrollBar().Range(), 300);  // AutoScroll follows the child
  Picture a(*f);
  EXPECT_EQ(a.At(10, 10), 0xFF0000u);   // the box's corner: red (RGB order)
  EXPECT_EQ(a.At(9, 10), 0xC0C0C0u);    // the form's face outside it
  EXPECT_EQ(a.At(60, 60), 0xFF0000u);
  EXPECT_EQ(a.At(150, 60), 0xC0C0C0u);  // clipped at the box's right edge
  box->HorzScrollBar().SetPosition(100);
  Picture b(*f);
  EXPECT_EQ(b.At(59, 40), 0xFF0000u);  // x 149 of the paint box
  EXPECT_EQ(b.At(60, 40), 0x0000FFu);  // x 150
  // The bars are drawn inside the client area, over the children.
  EXPECT_NE(b.At(105, 40), 0x0000FFu);
  f->Free();
}

TEST_F(ControlsTest, PngHasTheControlsSizeAndTheScreensResolution) {
  auto* p = new TPanel(nullptr);
  p->SetBounds(0, 0, 37, 21);
  p->Color = gdi::clBtnShadow;
  Picture pic(*p);
  EXPECT_EQ(pic.At(18, 10), 0x808080u);  // button shadow resolved at drawing
  EXPECT_EQ(pic.At(0, 0), 0xFFFFFFu);    // the raised bevel's lit edge
  p->SaveToPng("C:\\shot.png");
  std::ifstream in(sysroot::HostPath("C:\\shot.png"), std::ios::binary);
  std::string png((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
  auto be = [&](size_t at) {
    return (static_cast<unsigned>(static_cast<unsigned char>(png.at(at))) << 24) |
           (static_cast<unsigned>(static_cast<unsigned char>(png.at(at + 1))) << 16) |
           (static_cast<unsigned>(static_cast<unsigned char>(png.at(at + 2))) << 8) |
           static_cast<unsigned>(static_cast<unsigned char>(png.at(at + 3)));
  };
  ASSERT_GT(png.size(), 60u);
  EXPECT_EQ(png.substr(1, 3), "PNG");
  EXPECT_EQ(be(16), 37u);
  EXPECT_EQ(be(20), 21u);
  EXPECT_EQ(png.substr(37, 4), "pHYs");
  EXPECT_EQ(be(41), 3780u);  // 96 pixels an inch in pixels a metre
  gdi::TBitmap empty;
  EXPECT_THROW(empty.SaveToPngFile("C:\\empty.png"), gdi::EInvalidGraphic);
  p->Free();
}

TEST_F(ControlsTest, ScrollMessagesMoveTheBarsWithThirtyTwoBitPositions) {
  TScrollBox box(nullptr);
  box.BorderStyle = TBorderStyle::bsNone;
  box.SetBounds(0, 0, 300, 200);
  TControlScrollBar& v = box.VertScrollBar();
  v.SetRange(34064);
  EXPECT_FALSE(box.AutoScroll);
  EXPECT_TRUE(v.IsScrollBarVisible());
  EXPECT_FALSE(box.HorzScrollBar().IsScrollBarVisible());
  box.HorzScrollBar().SetRange(300);  // not more than the client width
  EXPECT_FALSE(box.HorzScrollBar().IsScrollBarVisible());

  SendScroll(&box, TScrollBarKind::sbVertical, SB_BOTTOM);
  EXPECT_EQ(v.Position(), 33864);
  SendScroll(&box, TScrollBarKind::sbVertical, SB_THUMBTRACK, 33000);
  EXPECT_EQ(v.Position(), 33864);  // no tracking
  v.Tracking = true;
  SendScroll(&box, TScrollBarKind::sbVertical, SB_THUMBTRACK, 33000);
  EXPECT_EQ(v.Position(), 33000);
  SendScroll(&box, TScrollBarKind::sbVertical, SB_THUMBPOSITION, 40000);
  EXPECT_EQ(v.Position(), 33864);
  SendScroll(&box, TScrollBarKind::sbVertical, SB_PAGEUP);
  EXPECT_EQ(v.Position(), 33664);
  SendScroll(&box, TScrollBarKind::sbVertical, SB_LINEUP);
  EXPECT_EQ(v.Position(), 33656);
  SendScroll(&box, TScrollBarKind::sbVertical, SB_TOP);
  SendScroll(&box, TScrollBarKind::sbVertical, SB_LINEUP);
  EXPECT_EQ(v.Position(), 0);
  // A smaller range pulls the position back.
  v.SetPosition(1000);
  v.SetRange(500);
  EXPECT_EQ(v.Position(), 300);
  box.SetHeight(600);
  EXPECT_EQ(v.Position(), 0);
  EXPECT_FALSE(v.IsScrollBarVisible());
}

TEST_F(ControlsTest, WheelNotchScrollsThreeLinesUnlessAHandlerTakesIt) {
  TScrollBox box(nullptr);
  box.SetBounds(0, 0, 100, 100);
  auto* pb = new TPaintBox(&box);
  pb->SetParent(&box);
  pb->SetBounds(0, 0, 50, 1000);
  std::vector<int> codes;
  box.OnMouseWheel = nullptr;
  TControlScrollBar& v = box.VertScrollBar();
  v.Increment = 10;
  SendMouseWheel(pb, -WHEEL_DELTA, 5, 5);  // from the child, up to the box
  EXPECT_EQ(v.Position(), 30);
  SendMouseWheel(&box, -60, 5, 5);
  EXPECT_EQ(v.Position(), 30);  // half a notch waits
  SendMouseWheel(&box, -60, 5, 5);
  EXPECT_EQ(v.Position(), 60);
  SendMouseWheel(&box, 2 * WHEEL_DELTA, 5, 5);
  EXPECT_EQ(v.Position(), 0);
  bool seen = false;
  box.OnMouseWheel = [&](TObject*, TShiftState, int delta, win::PT, bool& handled) {
    seen = delta == -WHEEL_DELTA;
    handled = true;
  };
  SendMouseWheel(&box, -WHEEL_DELTA, 5, 5);
  EXPECT_TRUE(seen);
  EXPECT_EQ(v.Position(), 0);
}

TEST_F(ControlsTest, MouseDriversDeliverPressClickAndReleaseInOrder) {
  auto* f = NewForm<TForm>(nullptr);
  auto* pb = new TPaintBox(f);
  pb->SetParent(f);
  pb->SetBounds(20, 20, 100, 100);
  std::vector<std::string> seen;
  pb->OnMouseDown = [&](TObject*, TMouseButton b, TShiftState s, int x, int y) {
    seen.push_back("down " + std::to_string(static_cast<int>(b)) + (s & ssLeft ? "L" : "") + " " +
                   std::to_string(x) + "," + std::to_string(y));
  };
  pb->OnMouseUp = [&](TObject*, TMouseButton, TShiftState, int x, int) { seen.push_back("up " + std::to_string(x)); };
  pb->OnClick = [&](TObject*) { seen.push_back("click"); };
  pb->OnDblClick = [&](TObject*) { seen.push_back("dbl"); };
  pb->OnMouseMove = [&](TObject*, TShiftState, int x, int y) {
    seen.push_back("move " + std::to_string(x) + "," + std::to_string(y));
  };
  SendMouseMove(pb, 70000, -5);  // 32-bit points
  SendClick(pb, 10, 11);
  SendMouseDown(pb, TMouseButton::mbLeft, 10, 10);
  SendMouseUp(pb, TMouseButton::mbLeft, 200, 10);  // released outside: no click
  SendDblClick(pb, 3, 4);
  EXPECT_EQ(seen, (std::vector<std::string>{"move 70000,-5", "down 0L 10,11", "click", "up 10", "down 0L 10,10",
                                            "up 200", "dbl", "down 0L 3,4", "click", "up 3"}));
  int x = 25, y = 30;
  EXPECT_EQ(f->ControlAtPos(x, y), pb);
  EXPECT_EQ(x, 5);
  EXPECT_EQ(y, 10);
  pb->SetCursor(crHandPoint);
  EXPECT_EQ(pb->Cursor(), crHandPoint);

  // A right click shows the popup menu for the control.
  auto& menu = *new TPopupMenu(f);
  auto* item = new TMenuItem(&menu);
  item->Caption = "Move";
  menu.Items().Add(item);
  int popups = 0, clicks = 0;
  menu.OnPopup = [&](TObject*) { ++popups; };
  item->OnClick = [&](TObject*) { ++clicks; };
  pb->PopupMenu = &menu;
  SendMouseDown(pb, TMouseButton::mbRight, 4, 5);
  SendMouseUp(pb, TMouseButton::mbRight, 4, 5);
  EXPECT_EQ(popups, 1);
  EXPECT_EQ(menu.PopupComponent, pb);
  EXPECT_EQ(menu.ShownAt().x, f->Left() + 24);
  item->Click();
  item->Enabled = false;
  item->Click();
  EXPECT_EQ(clicks, 1);
  f->Free();
}

TEST_F(ControlsTest, TypingEditsTheTextThroughKeyEvents) {
  auto* f = NewForm<TForm>(nullptr);
  auto* e = new TEdit(f);
  e->SetParent(f);
  e->SetText("old");
  std::string keys;
  int changes = 0;
  e->OnKeyPress = [&](TObject*, char& k) {
    keys += k;
    if (k == 'x') k = 'y';  // a handler may change the character
  };
  e->OnChange = [&](TObject*) { ++changes; };
  TypeInto(e, "ax\xA4\xA4");
  EXPECT_EQ(e->Text(), "ay\xA4\xA4");
  EXPECT_EQ(keys, "\bax\xA4\xA4");
  EXPECT_EQ(changes, 5);  // cleared, then each byte
  SendKey(e, VK_BACK);
  EXPECT_EQ(e->Text(), "ay");  // a Big5 character goes whole
  e->ReadOnly = true;
  SendText(e, "z");
  EXPECT_EQ(e->Text(), "ay");
  f->Free();
}

TEST_F(ControlsTest, CheckBoxClickTogglesAndEveryChangeRunsOnClick) {
  TCheckBox cb(nullptr);
  int clicks = 0;
  cb.OnClick = [&](TObject*) { ++clicks; };
  cb.Click();
  EXPECT_TRUE(cb.Checked());
  cb.SetChecked(true);
  EXPECT_EQ(clicks, 1);
  cb.SetChecked(false);
  SendClick(&cb, 3, 3);
  EXPECT_TRUE(cb.Checked());
  EXPECT_EQ(clicks, 3);
  cb.SetBounds(0, 0, 60, 17);
  cb.Color = gdi::clWhite;
  Picture pic(cb);
  EXPECT_EQ(pic.At(6, 10), 0u);  // the tick
  EXPECT_EQ(pic.At(10, 5), 0xFFFFFFu);
}

TEST_F(ControlsTest, PageControlActivatesItsPagesAndShowsTabImages) {
  auto* f = NewForm<TForm>(nullptr);
  auto* pc = new TPageControl(f);
  pc->SetParent(f);
  pc->SetBounds(0, 0, 300, 200);
  TTabSheet* sheets[3];
  for (int i = 0; i < 3; ++i) {
    sheets[i] = new TTabSheet(f);
    sheets[i]->Caption = std::string("Tab") + char('A' + i);
    sheets[i]->SetPageControl(pc);
  }
  EXPECT_EQ(pc->ActivePage(), sheets[0]);
  EXPECT_TRUE(sheets[0]->Visible());
  EXPECT_FALSE(sheets[1]->Visible());
  EXPECT_EQ(sheets[0]->Top(), 26);
  EXPECT_EQ(sheets[0]->Height(), 200 - 28);

  int changes = 0;
  pc->OnChange = [&](TObject*) { ++changes; };
  const win::RECT tab = pc->TabRect(2);
  SendClick(pc, tab.left + 2, tab.top + 2);
  EXPECT_EQ(pc->ActivePage(), sheets[2]);
  EXPECT_EQ(changes, 1);
  SendClick(pc, tab.left + 2, tab.top + 2);
  EXPECT_EQ(changes, 1);

  sheets[2]->SetPageIndex(0);
  EXPECT_EQ(pc->Pages(0), sheets[2]);
  EXPECT_EQ(sheets[0]->PageIndex(), 1);

  // A red bullet image; white is transparent.
  auto& images = *new TImageList(f);
  images.SetSize(5, 5);
  gdi::TBitmap bullet;
  bullet.SetSize(5, 5);
  bullet.Canvas().Brush.Color = gdi::clRed;
  bullet.Canvas().FillRect({1, 1, 4, 4});
  EXPECT_EQ(images.AddMasked(bullet, gdi::clWhite), 0);
  EXPECT_EQ(images.Pixels(0)[0], 0u);
  EXPECT_EQ(images.Pixels(0)[6], 0xFFFF0000u);
  pc->Images = &images;
  sheets[1]->ImageIndex = 0;
  const win::RECT r = pc->TabRect(sheets[1]->PageIndex());
  Picture pic(*pc);
  const int iy = r.top + (r.bottom - r.top - 5) / 2;
  EXPECT_EQ(pic.At(r.left + 6 + 2, iy + 2), 0xFF0000u);
  EXPECT_EQ(pic.At(r.left + 6, iy), 0xC0C0C0u);  // transparent corner

  sheets[2]->Free();  // the active page goes: its neighbour takes over
  EXPECT_EQ(pc->PageCount(), 2);
  EXPECT_EQ(pc->ActivePage(), sheets[0]);
  f->Free();
}

TEST_F(ControlsTest, ShapesAndBevelsPaintAsTheSystemDoes) {
  TShape s(nullptr);
  s.SetBounds(0, 0, 5, 7);
  s.Shape = TShapeType::stCircle;
  s.Pen.Color = gdi::clRed;
  s.Brush.Color = gdi::clRed;
  Picture c(s);
  EXPECT_EQ(c.At(2, 3), 0xFF0000u);   // the circle's middle
  EXPECT_NE(c.At(0, 0), 0xFF0000u);   // outside the circle
  EXPECT_NE(c.At(2, 0), 0xFF0000u);   // a 5 x 5 circle centred in 7 rows
  TBevel b(nullptr);
  b.SetBounds(0, 0, 10, 6);
  b.Shape = TBevelShape::bsBottomLine;
  Picture l(b);
  EXPECT_EQ(l.At(3, 4), 0x808080u);
  EXPECT_EQ(l.At(3, 5), 0xFFFFFFu);
}

TEST_F(ControlsTest, AutoScrollRangeFollowsTopAlignedPanels) {
  TScrollBox box(nullptr);
  box.BorderStyle = TBorderStyle::bsNone;
  box.SetBounds(0, 0, 200, 100);
  for (int i = 0; i < 3; ++i) {
    auto* p = new TPanel(&box);
    p->SetParent(&box);
    p->SetHeight(73);
    p->SetAlign(TAlign::alTop);
  }
  EXPECT_EQ(box.VertScrollBar().Range(), 219);
  EXPECT_EQ(box.Controls()[2]->Top(), 146);
  EXPECT_EQ(box.Controls()[2]->Width(), 200);
  EXPECT_TRUE(box.VertScrollBar().IsScrollBarVisible());
}

}  // namespace
