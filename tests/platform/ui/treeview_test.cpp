// Tree views, status bars, menus with check and radio items, radio
// groups, two-glyph speed buttons and the window-update lock.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "platform/gdi/gdi.h"
#include "platform/ui/comctrls.h"
#include "platform/ui/dialogs.h"
#include "platform/ui/extctrls.h"
#include "platform/ui/forms.h"
#include "platform/ui/input.h"
#include "platform/ui/menus.h"
#include "tests/support/testroot.h"

using namespace ui;

namespace {

class ViewControlsTest : public ::testing::Test {
 protected:
  void SetUp() override { SetEchoDialogs(false); }
  void TearDown() override {
    Application().Shutdown();
    SetEchoDialogs(true);
  }
  testing_support::TempRoot root;
};

struct Picture {
  int w = 0, h = 0;
  std::vector<std::uint32_t> px;
  explicit Picture(const gdi::TBitmap& b) : w(b.Width()), h(b.Height()), px(b.Pixels()) {}
  explicit Picture(TControl& c) {
    gdi::TBitmap b;
    c.PaintToBitmap(b);
    *this = Picture(b);
  }
  std::uint32_t At(int x, int y) const { return px.at(static_cast<size_t>(y) * static_cast<size_t>(w) + static_cast<size_t>(x)) & 0xFFFFFF; }
  // Pixels of R that differ from RGB.
  int Other(std::uint32_t rgb, const win::RECT& r) const {
    return (r.right - r.left) * (r.bottom - r.top) - Count(rgb, r);
  }
  int Count(std::uint32_t rgb, const win::RECT& r) const {
    int n = 0;
    for (int y = r.top; y < r.bottom; ++y)
      for (int x = r.left; x < r.right; ++x) n += At(x, y) == rgb;
    return n;
  }
};

constexpr std::uint32_t kNavy = 0x000080;  // clHighlight as RGB

TEST_F(ViewControlsTest, HighlightColoursResolveToNavyAndWhite) {
  EXPECT_EQ(gdi::ColorToRGB(gdi::clHighlight), 0x800000u);
  EXPECT_EQ(gdi::ColorToRGB(gdi::clHighlightText), 0xFFFFFFu);
}

TEST_F(ViewControlsTest, TreeNodesKeepOrderLevelsAndPreOrderIndexes) {
  auto* f = NewForm<TForm>(nullptr);
  auto* tv = new TTreeView(f);
  TTreeNodes& items = tv->Items();
  TTreeNode* a = items.Add(nullptr, "a");
  TTreeNode* a1 = items.AddChildObject(a, "a1", 11);
  TTreeNode* a2 = items.AddChild(a, "a2");
  TTreeNode* a2x = items.AddChild(a2, "a2x");
  TTreeNode* b = items.Add(a, "b");  // a sibling of a: top level
  EXPECT_EQ(items.Count(), 5);
  EXPECT_EQ(items.TopCount(), 2);
  EXPECT_EQ(b->Level(), 0);
  EXPECT_EQ(a2x->Level(), 2);
  EXPECT_EQ(a1->Data, 11);
  EXPECT_EQ(b->AbsoluteIndex(), 4);
  EXPECT_EQ(items.Item(3), a2x);
  EXPECT_EQ(a2x->GetNext(), b);
  EXPECT_EQ(b->GetNext(), nullptr);
  EXPECT_EQ(a2->GetPrevSibling(), a1);
  // Folded nodes hide their subtree; expanding everything shows all rows.
  EXPECT_EQ(tv->VisibleNodes().size(), 2u);
  tv->FullExpand();
  EXPECT_EQ(tv->VisibleNodes().size(), 5u);
  a2->Collapse(true);
  EXPECT_FALSE(a2x->IsVisible());
  // Deleting a subtree takes the selection inside it along, without a change event.
  int changes = 0;
  tv->OnChange = [&](TObject*, TTreeNode*) { ++changes; };
  tv->FullExpand();
  tv->SetSelected(a2x);
  EXPECT_EQ(changes, 1);
  a2->Delete();
  EXPECT_EQ(tv->Selected(), nullptr);
  EXPECT_EQ(changes, 1);
  EXPECT_EQ(items.Count(), 3);
  items.Clear();
  EXPECT_EQ(items.Count(), 0);
  f->Free();
}

TEST_F(ViewControlsTest, TreeViewClicksSelectLabelsAndToggleButtons) {
  auto* f = NewForm<TForm>(nullptr);
  f->SetBounds(0, 0, 300, 200);
  auto* tv = new TTreeView(f);
  tv->SetParent(f);
  tv->SetBounds(0, 0, 200, 150);
  TTreeNode* top = tv->Items().Add(nullptr, "Top");
  TTreeNode* child = tv->Items().AddChild(top, "Child");
  std::vector<TTreeNode*> changed;
  tv->OnChange = [&](TObject*, TTreeNode* n) { changed.push_back(n); };
  const win::RECT button = tv->DisplayRect(top, true);
  // ShowRoot: the top node has a box left of its label; a press there unfolds it.
  EXPECT_EQ(tv->GetHitTestInfoAt(button.left - 5, button.top + 2), htOnButton);
  SendClick(tv, button.left - 5, button.top + 2);
  EXPECT_TRUE(top->Expanded());
  EXPECT_TRUE(changed.empty());
  const win::RECT label = tv->DisplayRect(child, true);
  EXPECT_GT(label.left, button.left);
  SendClick(tv, label.left + 3, label.top + 3);
  ASSERT_EQ(changed.size(), 1u);
  EXPECT_EQ(changed[0], child);
  EXPECT_EQ(tv->GetHitTestInfoAt(label.right + 5, label.top + 3), htToRight);
  EXPECT_EQ(tv->GetHitTestInfoAt(10, 140), htNowhere);
  // Folding the parent moves the selection up to it.
  SendDblClick(tv, button.left + 20, button.top + 2);
  EXPECT_FALSE(top->Expanded());
  EXPECT_EQ(tv->Selected(), top);
  // The selected label is painted navy; without ShowRoot the box goes.
  Picture p(*tv);
  const win::RECT sel = tv->DisplayRect(top, true);
  EXPECT_GT(p.Count(kNavy, sel), (sel.right - sel.left) * (sel.bottom - sel.top) / 2);
  tv->ShowRoot = false;
  EXPECT_EQ(tv->DisplayRect(top, true).left, sel.left - tv->Indent);
  EXPECT_EQ(tv->GetHitTestInfoAt(sel.left - 5, sel.top + 2), htOnLabel);
  f->Free();
}

TEST_F(ViewControlsTest, StatusBarPanelsShareTheWidthAndTheLastTakesTheRest) {
  auto* f = NewForm<TForm>(nullptr);
  f->SetBounds(0, 0, 300, 200);
  auto* sb = new TStatusBar(f);
  sb->SetParent(f);
  EXPECT_EQ(sb->Top() + sb->Height(), f->ClientHeight());  // along the bottom
  sb->Panels.Add().Width = 80;
  TStatusPanel& last = sb->Panels.Add();
  last.Text = "Page 1";
  EXPECT_EQ(sb->PanelRect(0).right, 80);
  EXPECT_EQ(sb->PanelRect(1).left, 80);
  EXPECT_EQ(sb->PanelRect(1).right, sb->Width());
  Picture p(*sb);
  const win::RECT r = sb->PanelRect(1);
  EXPECT_GT(p.Other(0xC0C0C0, {r.left + 2, r.top + 2, r.right - 2, r.bottom - 2}), 10);  // the text
  EXPECT_EQ(p.Other(0xC0C0C0, {3, 4, 77, 17}), 0);                                       // the empty panel
  sb->SimplePanel = true;
  EXPECT_EQ(sb->PanelRect(1).right, 0);
  f->Free();
}

TEST_F(ViewControlsTest, MenuClicksReachItemsRadioItemsStayExclusive) {
  auto* f = NewForm<TForm>(nullptr);
  auto* menu = new TPopupMenu(f);
  std::vector<TMenuItem*> items;
  for (const char* caption : {"One", "Two", "-", "Check", "Off"}) {
    auto* i = new TMenuItem(menu);
    i->Caption = caption;
    menu->Items().Add(i);
    items.push_back(i);
  }
  for (int i = 0; i < 2; ++i) items[static_cast<size_t>(i)]->RadioItem = items[static_cast<size_t>(i)]->AutoCheck = true;
  items[3]->AutoCheck = true;
  items[4]->Enabled = false;
  int clicks = 0;
  for (TMenuItem* i : items) i->OnClick = [&](TObject*) { ++clicks; };
  items[0]->SetChecked(true);
  auto centre = [&](int i) {
    const win::RECT r = menu->ItemRect(i);
    return win::PT{(r.left + r.right) / 2, (r.top + r.bottom) / 2};
  };
  win::PT c = centre(1);
  EXPECT_TRUE(SendMenuClick(menu, c.x, c.y));
  EXPECT_TRUE(items[1]->Checked);
  EXPECT_FALSE(items[0]->Checked);
  c = centre(3);
  SendMenuClick(menu, c.x, c.y);
  SendMenuClick(menu, c.x, c.y);
  EXPECT_FALSE(items[3]->Checked);  // toggled twice
  c = centre(2);
  EXPECT_FALSE(SendMenuClick(menu, c.x, c.y));  // a separator
  c = centre(4);
  SendMenuClick(menu, c.x, c.y);  // disabled
  EXPECT_EQ(clicks, 3);
  // The picture: a bullet beside the chosen radio item, a tick beside a checked item.
  items[3]->Checked = true;
  gdi::TBitmap b;
  menu->PaintToBitmap(b);
  Picture p(b);
  auto marks = [&](int i) {
    const win::RECT r = menu->ItemRect(i);
    return p.Count(0x000000, {r.left, r.top, r.left + 18, r.bottom});
  };
  EXPECT_GT(marks(1), 8);
  EXPECT_EQ(marks(0), 0);
  EXPECT_GT(marks(3), 8);
  // The disabled caption is grey, not black.
  const win::RECT off = menu->ItemRect(4);
  EXPECT_EQ(p.Count(0x000000, {off.left + 18, off.top, off.right, off.bottom}), 0);
  EXPECT_GT(p.Other(0xC0C0C0, {off.left + 18, off.top, off.right, off.bottom}), 5);
  f->Free();
}

TEST_F(ViewControlsTest, RadioGroupChoosesTheClickedButtonOnce) {
  auto* f = NewForm<TForm>(nullptr);
  f->SetBounds(0, 0, 300, 200);
  auto* rg = new TRadioGroup(f);
  rg->SetParent(f);
  rg->Caption = "Start";
  rg->Items.Add("First page");
  rg->Items.Add("Current page");
  rg->Items.Add("Last");
  rg->Columns = 2;
  int clicks = 0;
  rg->OnClick = [&](TObject*) { ++clicks; };
  // Two columns, filled column by column: two buttons, then one.
  EXPECT_EQ(rg->ButtonRect(1).left, rg->ButtonRect(0).left);
  EXPECT_GT(rg->ButtonRect(2).left, rg->ButtonRect(0).left);
  const win::RECT r = rg->ButtonRect(1);
  SendClick(rg, r.left + 5, (r.top + r.bottom) / 2);
  EXPECT_EQ(rg->ItemIndex(), 1);
  EXPECT_EQ(clicks, 1);
  SendClick(rg, r.left + 5, (r.top + r.bottom) / 2);  // no change
  SendClick(rg, 2, 2);                                // off the buttons
  EXPECT_EQ(clicks, 1);
  // A press on one button released on another chooses nothing.
  const win::RECT r2 = rg->ButtonRect(2);
  SendMouseDown(rg, TMouseButton::mbLeft, r.left + 5, r.top + 2);
  SendMouseUp(rg, TMouseButton::mbLeft, r2.left + 5, r2.top + 2);
  EXPECT_EQ(rg->ItemIndex(), 1);
  rg->SetItemIndex(7);
  EXPECT_EQ(rg->ItemIndex(), -1);
  EXPECT_EQ(clicks, 2);
  rg->SetItemIndex(0);
  Picture p(*rg);
  const win::RECT b0 = rg->ButtonRect(0), b1 = rg->ButtonRect(1);
  const int cy0 = (b0.top + b0.bottom) / 2, cy1 = (b1.top + b1.bottom) / 2;
  EXPECT_EQ(p.At(b0.left + 6, cy0), 0x000000u);  // the dot
  EXPECT_EQ(p.At(b1.left + 6, cy1), 0xFFFFFFu);
  f->Free();
}

TEST_F(ViewControlsTest, SpeedButtonShowsTheEnabledOrDisabledGlyphOverItsFace) {
  auto* f = NewForm<TForm>(nullptr);
  auto* sb = new TSpeedButton(f);
  sb->SetBounds(0, 0, 24, 24);
  // Two 8 x 8 glyphs: red and blue squares on a green ground (the corner).
  gdi::TBitmap g;
  g.SetSize(16, 8);
  gdi::TCanvas& c = g.Canvas();
  c.Brush.Color = gdi::clGreen;
  c.FillRect({0, 0, 16, 8});
  c.Brush.Color = gdi::clRed;
  c.FillRect({2, 2, 6, 6});
  c.Brush.Color = gdi::clBlue;
  c.FillRect({10, 2, 14, 6});
  sb->SetGlyph(g);
  sb->SetNumGlyphs(2);
  Picture on(*sb);
  EXPECT_EQ(on.At(8 + 3, 8 + 3), 0xFF0000u);
  EXPECT_EQ(on.At(8 + 0, 8 + 0), 0xC0C0C0u);  // transparent: the face
  EXPECT_EQ(on.Count(0x008000, {0, 0, 24, 24}), 0);
  sb->Enabled = false;
  Picture off(*sb);
  EXPECT_EQ(off.At(8 + 3, 8 + 3), 0x0000FFu);
  EXPECT_EQ(off.Count(0xFF0000, {0, 0, 24, 24}), 0);
  sb->SetNumGlyphs(9);
  EXPECT_EQ(sb->NumGlyphs(), 4);
  f->Free();
}

TEST_F(ViewControlsTest, WindowUpdateLockHoldsRepaintsUntilUnlocked) {
  auto* f = NewForm<TForm>(nullptr);
  auto* panel = new TPanel(f);
  panel->SetParent(f);
  auto* child = new TPanel(f);
  child->SetParent(panel);
  auto* other = new TPanel(f);
  const int before = panel->InvalidateCount();
  {
    TWindowUpdateLock lock(panel);
    EXPECT_TRUE(lock.Locked());
    EXPECT_EQ(LockedWindow(), panel);
    TWindowUpdateLock second(other);  // one window at a time
    EXPECT_FALSE(second.Locked());
    child->Invalidate();
    panel->Invalidate();
    other->Invalidate();
    EXPECT_EQ(panel->InvalidateCount(), before);
    EXPECT_EQ(other->InvalidateCount(), 1);
  }
  EXPECT_EQ(LockedWindow(), nullptr);
  EXPECT_EQ(panel->InvalidateCount(), before + 1);  // once, at the unlock
  // A locked window that goes is unlocked.
  EXPECT_TRUE(LockWindowUpdate(other));
  other->Free();
  EXPECT_EQ(LockedWindow(), nullptr);
  EXPECT_FALSE(LockWindowUpdate(nullptr));
  f->Free();
}

}  // namespace

namespace {

TEST_F(ViewControlsTest, ScriptedClicksReachMenuItemsTheFormOwns) {
  auto* f = NewForm<TForm>(nullptr);
  auto* panel = new TPanel(f);
  panel->SetParent(f);
  auto* menu = new TPopupMenu(panel);  // owned below the form
  auto* tick = new TMenuItem(menu);
  tick->SetName("miTick");
  tick->AutoCheck = true;
  menu->Items().Add(tick);
  auto* off = new TMenuItem(menu);
  off->SetName("miOff");
  off->Enabled = false;
  menu->Items().Add(off);
  auto* ok = new TButton(f);
  ok->SetName("bnOK");
  ok->ModalResult = mrOk;
  ok->SetParent(f);
  ScriptClicks({"miTick", "bnOK"});
  EXPECT_EQ(f->ShowModal(), mrOk);
  EXPECT_TRUE(tick->Checked);
  // A disabled item is not there for a script.
  ScriptClicks({"miOff"});
  EXPECT_THROW(f->ShowModal(), EStuckLoop);
  ClearScriptedClicks();
  f->Free();
}

}  // namespace
