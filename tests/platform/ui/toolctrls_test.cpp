// Masked edits, splitters and speed-button groups: what typing, dragging
// and clicking leave, and how they paint.
#include <gtest/gtest.h>

#include <cstdio>

#include "platform/ui/dialogs.h"
#include "platform/ui/extctrls.h"
#include "platform/ui/forms.h"
#include "platform/ui/input.h"
#include "tests/support/testroot.h"

using namespace ui;

namespace {

const bool kNoTerminal = std::freopen("/dev/null", "r", stdin) != nullptr;

class ToolCtrlsTest : public ::testing::Test {
 protected:
  void SetUp() override {
    ASSERT_TRUE(kNoTerminal);
    SetEchoDialogs(false);
    ClearScriptedClicks();
    form = NewForm<TForm>(nullptr);
    form->SetBounds(0, 0, 400, 200);
  }
  void TearDown() override {
    Application().Shutdown();
    ClearScriptedClicks();
    SetEchoDialogs(true);
  }
  template <class T>
  T* Make(const char* name, TWinControl* parent) {
    T* c = new T(form);
    c->SetName(name);
    c->SetParent(parent);
    return c;
  }
  testing_support::TempRoot root;
  TForm* form = nullptr;
};

// The RGB of a pixel of BITMAP.
win::COLORREF PixelAt(const gdi::TBitmap& bitmap, int x, int y) {
  const std::uint32_t argb = bitmap.Pixels()[static_cast<size_t>(y) * static_cast<size_t>(bitmap.Width()) + static_cast<size_t>(x)];
  return ((argb >> 16) & 0xFF) | (argb & 0xFF00) | ((argb & 0xFF) << 16);
}

TEST_F(ToolCtrlsTest, MaskedEditTakesOnlyWhatItsMaskTakes) {
  auto* zoom = Make<TMaskEdit>("edtZoom", form);
  zoom->SetEditMask("999\\ %;0; ");
  zoom->MaxLength = 5;
  int changes = 0;
  zoom->OnChange = [&](TObject*) { ++changes; };
  SendText(zoom, "1a5x07");  // letters refused, the fourth digit has no place
  EXPECT_EQ(zoom->Text(), "150");
  EXPECT_EQ(zoom->EditText(), "150 %");
  EXPECT_EQ(changes, 3);
  SendKey(zoom, VK_BACK);
  EXPECT_EQ(zoom->Text(), "15");
  EXPECT_EQ(zoom->EditText(), "15  %");
  zoom->SetText("1000 %");  // code: what fits
  EXPECT_EQ(zoom->Text(), "100");
  zoom->SetText("abc");
  EXPECT_EQ(zoom->Text(), "");
  SendKey(zoom, VK_BACK);  // nothing to take
  EXPECT_EQ(zoom->EditText(), "    %");
  // It paints what it shows.
  zoom->SetText("150");
  auto* plain = Make<TEdit>("edtPlain", form);
  plain->SetText("150 %");
  gdi::TBitmap shown, plainShown;
  zoom->PaintToBitmap(shown);
  plain->PaintToBitmap(plainShown);
  EXPECT_EQ(shown.Pixels(), plainShown.Pixels());

  // MaxLength below the mask's places limits the text; scripted typing is a user's.
  auto* page = Make<TMaskEdit>("edtPageNo", form);
  page->SetEditMask("99999;0; ");
  TypeInto(page, "123456");
  EXPECT_EQ(page->Text(), "12345");
  page->MaxLength = 3;
  TypeInto(page, "123456");
  EXPECT_EQ(page->Text(), "123");
  TypeInto(page, "abc");
  EXPECT_EQ(page->Text(), "");

  // Required places, escaped mask characters and the default blank.
  auto* code = Make<TMaskEdit>("edtCode", form);
  code->SetText("12");
  code->SetEditMask("(\\900)");  // a literal 9, then two required digits; the text is refitted
  EXPECT_EQ(code->Text(), "12");
  EXPECT_EQ(code->EditText(), "(912)");
  EXPECT_TRUE(code->MaskComplete());
  code->SetText("7");
  EXPECT_EQ(code->EditText(), "(97_)");
  EXPECT_FALSE(code->MaskComplete());
}

TEST_F(ToolCtrlsTest, SplitterDragResizesTheControlItBorders) {
  auto* left = Make<TPanel>("pnlLeft", form);
  left->SetAlign(TAlign::alLeft);
  left->SetWidth(100);
  auto* split = Make<TSplitter>("split", form);
  split->AutoSnap = false;
  auto* rest = Make<TPanel>("pnlRest", form);
  rest->SetAlign(TAlign::alClient);
  int moved = 0;
  split->OnMoved = [&](TObject*) { ++moved; };
  ASSERT_EQ(split->Left(), 100);
  ASSERT_EQ(split->ResizedControl(), left);
  auto drag = [&](int dx) {
    SendMouseDown(split, TMouseButton::mbLeft, 1, 50);
    SendMouseMove(split, 1 + dx, 50, ssLeft);
    SendMouseUp(split, TMouseButton::mbLeft, 1 + dx, 50);
  };
  drag(40);
  EXPECT_EQ(left->Width(), 140);
  EXPECT_EQ(split->Left(), 140);
  EXPECT_EQ(rest->Left(), 143);
  EXPECT_EQ(moved, 1);
  drag(-500);  // stops at MinSize
  EXPECT_EQ(left->Width(), 30);
  drag(1000);  // the free area cannot go below nothing
  EXPECT_EQ(left->Width(), 397);
  EXPECT_EQ(rest->Width(), 0);
  split->AutoSnap = true;
  drag(-380);
  EXPECT_EQ(left->Width(), 0);  // snapped shut
  EXPECT_EQ(moved, 4);
  // A right press does not drag.
  left->SetWidth(100);
  SendMouseDown(split, TMouseButton::mbRight, 1, 50);
  SendMouseUp(split, TMouseButton::mbRight, 60, 50);
  EXPECT_EQ(left->Width(), 100);
  EXPECT_EQ(moved, 4);

  // A top splitter under a top panel drags downwards; it paints a face-coloured bar.
  auto* top = Make<TPanel>("pnlTop", rest);
  top->SetAlign(TAlign::alTop);
  top->SetHeight(50);
  auto* bar = Make<TSplitter>("bar", rest);
  bar->SetAlign(TAlign::alTop);
  bar->SetHeight(4);
  SendMouseDown(bar, TMouseButton::mbLeft, 10, 1);
  SendMouseUp(bar, TMouseButton::mbLeft, 10, 21);
  EXPECT_EQ(top->Height(), 70);
  gdi::TBitmap picture;
  bar->PaintToBitmap(picture);
  EXPECT_EQ(PixelAt(picture, 5, 2), gdi::ColorToRGB(gdi::clBtnFace));
}

TEST_F(ToolCtrlsTest, SpeedButtonGroupsKeepOneDown) {
  auto* strip = Make<TPanel>("strip", form);
  auto speed = [&](const char* name, int group, bool allowAllUp) {
    auto* b = Make<TSpeedButton>(name, strip);
    b->GroupIndex = group;
    b->AllowAllUp = allowAllUp;
    return b;
  };
  TSpeedButton* whole = speed("btnWholePage", 1, false);
  TSpeedButton* width = speed("btnPageWidth", 1, false);
  TSpeedButton* full = speed("btnPercent", 1, false);
  TSpeedButton* toggle = speed("btnTextSearch", 2, true);
  TSpeedButton* plain = speed("btnPrint", 0, false);
  auto* other = Make<TSpeedButton>("btnElsewhere", form);  // same group, another parent
  other->GroupIndex = 1;
  other->SetDown(true);
  int clicks = 0;
  width->OnClick = [&](TObject*) { ++clicks; };
  whole->SetDown(true);
  width->Click();
  EXPECT_TRUE(width->Down());
  EXPECT_FALSE(whole->Down());
  width->Click();  // the down one of an exclusive group stays down
  EXPECT_TRUE(width->Down());
  EXPECT_EQ(clicks, 2);
  full->SetDown(true);
  EXPECT_FALSE(width->Down());
  EXPECT_TRUE(other->Down());
  full->SetDown(false);  // the code may show the whole group up
  EXPECT_FALSE(whole->Down() || width->Down() || full->Down());
  toggle->Click();
  EXPECT_TRUE(toggle->Down());
  toggle->Click();
  EXPECT_FALSE(toggle->Down());
  plain->SetDown(true);
  plain->Click();
  EXPECT_FALSE(plain->Down());
}

TEST_F(ToolCtrlsTest, SpeedButtonsPaintDownLoweredAndTheGlyphOnItsSide) {
  auto* b = Make<TSpeedButton>("btnTextSearch", form);
  b->Flat = true;
  b->GroupIndex = 2;
  b->AllowAllUp = true;
  b->SetBounds(0, 0, 80, 22);
  b->Caption = "Find";
  gdi::TBitmap glyph;
  glyph.SetSize(8, 8);
  glyph.Canvas().Brush.Color = gdi::clRed;
  glyph.Canvas().FillRect({0, 0, 8, 8});
  glyph.Canvas().Brush.Color = gdi::clGreen;
  glyph.Canvas().FillRect({0, 7, 1, 8});  // the transparent corner
  b->SetGlyph(glyph);
  gdi::TBitmap up, down;
  b->PaintToBitmap(up);
  EXPECT_EQ(PixelAt(up, 0, 0), gdi::ColorToRGB(gdi::clBtnFace));  // flat: no frame
  b->SetDown(true);
  b->PaintToBitmap(down);
  EXPECT_EQ(PixelAt(down, 0, 0), gdi::ColorToRGB(gdi::clBtnShadow));
  EXPECT_EQ(PixelAt(down, 79, 21), gdi::ColorToRGB(gdi::clBtnHighlight));
  // The red glyph's columns against the caption's (what is neither red nor face).
  const win::COLORREF kRed = gdi::ColorToRGB(gdi::clRed), kFace = gdi::ColorToRGB(gdi::clBtnFace);
  auto columns = [&](const gdi::TBitmap& p, bool glyph) {
    std::pair<int, int> span{p.Width(), -1};
    for (int x = 0; x < p.Width(); ++x)
      for (int y = 0; y < p.Height(); ++y) {
        const win::COLORREF c = PixelAt(p, x, y);
        if (glyph ? c == kRed : c != kRed && c != kFace) span = {std::min(span.first, x), std::max(span.second, x)};
      }
    return span;
  };
  const auto red = columns(up, true), text = columns(up, false);
  ASSERT_LE(red.first, red.second);
  ASSERT_LE(text.first, text.second);
  EXPECT_LT(red.second, text.first);
}

}  // namespace

namespace {

// A wrapping label breaks at spaces and around Big5 characters, keeps an
// over-long word whole, and paints every line.
TEST_F(ToolCtrlsTest, WrappingLabelsBreakAtSpacesAndAroundBig5) {
  auto* label = Make<TLabel>("lblText", form);
  label->Caption = "one two three";
  label->SetBounds(0, 0, label->Canvas().TextWidth("one two") + 1, 60);
  EXPECT_EQ(label->Lines(), std::vector<std::string>{"one two three"});  // no WordWrap: one line
  label->WordWrap = true;
  EXPECT_EQ(label->Lines(), (std::vector<std::string>{"one two", "three"}));
  EXPECT_EQ(label->LinesHeight(), 2 * label->Canvas().TextHeight("Wg"));
  label->Caption = "unbreakablewordthatiswide x";
  EXPECT_EQ(label->Lines(), (std::vector<std::string>{"unbreakablewordthatiswide", "x"}));
  const std::string han = "\xa4\xa4\xa4\xe5\xa6\x72";  // three characters, no spaces
  label->Caption = han;
  label->SetWidth(label->Canvas().TextWidth(han.substr(0, 4)) + 1);
  EXPECT_EQ(label->Lines(), (std::vector<std::string>{han.substr(0, 4), han.substr(4)}));
  // Both lines are painted: the second line's band is not blank.
  label->Caption = "one two three";
  label->SetBounds(0, 0, label->Canvas().TextWidth("one two") + 1, 2 * label->Canvas().TextHeight("Wg"));
  gdi::TBitmap picture;
  label->PaintToBitmap(picture);
  bool inked = false;
  for (int y = label->Canvas().TextHeight("Wg"); y < picture.Height(); ++y)
    for (int x = 0; x < picture.Width(); ++x) inked = inked || PixelAt(picture, x, y) != PixelAt(picture, 0, 0);
  EXPECT_TRUE(inked);
}

}  // namespace
