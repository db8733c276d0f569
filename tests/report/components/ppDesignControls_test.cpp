// Design-time controls worked headless through a test designer: popup
// menus and their check items, selection marks around a component's design
// control, and what happens when the component goes first.
#include <gtest/gtest.h>

#include <algorithm>
#include <string>
#include <vector>

#include "platform/ui/dialogs.h"
#include "report/components/ppBarCod.h"
#include "report/components/ppCtrls.h"
#include "report/components/ppDBText.h"
#include "report/components/ppMemo.h"
#include "report/components/ppVar.h"
#include "report/engine/ppBands.h"
#include "report/engine/ppRegion.h"
#include "report/engine/ppReport.h"
#include "report/engine/ppSubRpt.h"
#include "report/model/ppDesignControls.h"
#include "report/model/ppForms.h"
#include "tests/report/output/ppPrintr_fixture.h"

namespace {

// A design surface that answers the designer messages: 1136 with a design
// control placed on itself; every message is recorded.
class TTestDesigner : public ui::TWinControl, public IppReportDesigner {
  CLS_DECLARE_CLASS(TTestDesigner, ui::TWinControl)
 public:
  explicit TTestDesigner(cls::TComponent* owner) : ui::TWinControl(owner) { SetBounds(0, 0, 800, 600); }
  cls::TComponent* DesignTarget() override { return nullptr; }
  std::vector<unsigned> messages;

 protected:
  void WndProc(ui::TMessage& m) override {
    if (m.Msg < 1124 || m.Msg > 1160) return ui::TWinControl::WndProc(m);
    messages.push_back(m.Msg);
    if (m.Msg == 1136) {
      auto* control = new TppDesignControl(nullptr);
      control->SetParent(this);
      m.Result = reinterpret_cast<intptr_t>(static_cast<cls::TObject*>(control));
    }
  }
};
CLS_IMPLEMENT_COMPONENT(TTestDesigner)

// A position dialog answered by its OK button; counts its showings.
class TTestPositionDialog : public TppCustomPositionDialog {
  CLS_DECLARE_CLASS(TTestPositionDialog, TppCustomPositionDialog)
 public:
  explicit TTestPositionDialog(cls::TComponent* owner) : TppCustomPositionDialog(owner) {
    auto* ok = new ui::TButton(this);
    ok->SetParent(this);
    ok->ModalResult = ui::mrOk;
    ok->Default = true;
    ++shown;
  }
  static inline int shown = 0;
};
CLS_IMPLEMENT_COMPONENT(TTestPositionDialog)

std::vector<std::string> ItemNames(ui::TPopupMenu& menu) {
  std::vector<std::string> names;
  for (int i = 0; i < menu.Items().Count(); ++i) names.push_back(menu.Items().Items(i)->Name());
  return names;
}

using TPoints = std::vector<std::pair<int, int>>;

TPoints Shown(TppHandleSet& set) {
  TPoints at;
  for (int i = 0; i < set.Count(); ++i)
    if (set.Handle(i)->Visible()) at.push_back({set.Handle(i)->Left(), set.Handle(i)->Top()});
  return at;
}

constexpr gdi::TColor clYellow = 0x00FFFF;

// A report in millimetres with a detail band on the test designer's
// surface; the band's designer state makes design controls for what joins.
class Designer : public Printers {
 protected:
  void SetUp() override {
    Printers::SetUp();
    designer = new TTestDesigner(nullptr);
    report = new TppReport(nullptr);
    report->SetUnits(utMillimeters);
    report->SetReportDesigner(designer);
    band = new TppDetailBand(nullptr);
    band->SetReport(report);
    band->SetHeight(50);
    band->SetStateFlags(pstDesignerOpen);
  }
  void TearDown() override {
    for (auto it = menus.rbegin(); it != menus.rend(); ++it) (*it)->Free();
    for (auto it = objects.rbegin(); it != objects.rend(); ++it) (*it)->Free();
    band->Free();
    report->Free();
    designer->Free();
    UnregisterFormClass(&TppCustomPositionDialog::StaticClass());
    Printers::TearDown();
  }
  template <class T>
  T* Add(T* c, bool inBand = true) {
    objects.push_back(c);
    if (inBand) c->SetBand(band);
    return c;
  }
  TppLabel* LabelAt(int left, int top, int width, int height) {
    auto* l = Add(new TppLabel(nullptr));
    l->SetAutoSize(false);
    l->SetspBounds(left, top, width, height);
    return l;
  }
  template <class T>
  TppPopupMenu* MenuOf(T* c) {
    TppPopupMenu* menu = nullptr;
    c->CreatePopupMenu(menu);
    menus.push_back(menu);
    c->UpdatePopupMenu(menu);
    return menu;
  }

  TTestDesigner* designer = nullptr;
  TppReport* report = nullptr;
  TppDetailBand* band = nullptr;
  std::vector<cls::TComponent*> objects;
  std::vector<TppPopupMenu*> menus;
};

}  // namespace

TEST_F(Designer, ItemsTakeTheirPlaceByOrderThenNameAndTheirCaptionFromTheTable) {
  cls::Owned<TppPopupMenu> menu(new TppPopupMenu(nullptr));
  ASSERT_NE(menu->AddItem(20, "Visible", 0, "Visible"), nullptr);
  ui::TMenuItem* hide = menu->AddItem(10, "Hide", 1041, "");
  menu->AddItem(20, "Transparent", 246, "");
  EXPECT_EQ(menu->AddItem(5, "Visible", 0, "Again"), nullptr);  // the name is taken
  EXPECT_EQ(ItemNames(*menu), (std::vector<std::string>{"Hide", "Transparent", "Visible"}));
  std::vector<std::string> captions;
  for (int i = 0; i < 3; ++i) captions.push_back(menu->Items().Items(i)->Caption);
  EXPECT_EQ(captions, (std::vector<std::string>{"Hide Outline", "Transparent", "Visible"}));
  EXPECT_EQ(hide->Tag(), 1041);
  EXPECT_EQ(menu->FindItem("Transparent"), menu->Items().Items(1));
  EXPECT_EQ(menu->FindItem("Nothing"), nullptr);
  EXPECT_EQ(ppMenuCaption("ReprintOnOverFlow"), "Reprint On Over Flow");
}

TEST_F(Designer, ALabelsMenuListsTheComponentsItemsThenTheTextsAndTogglesItsBooleans) {
  TppLabel* label = LabelAt(20, 30, 100, 40);
  label->SetTransparent(true);
  TppPopupMenu* menu = MenuOf(label);
  EXPECT_EQ(ItemNames(*menu), (std::vector<std::string>{"BringToFront", "SendToBack", "mniLine1", "Position",
                                                         "Visible", "AutoSize", "ReprintOnOverFlow",
                                                         "ShiftWithParent", "Transparent", "WordWrap"}));
  EXPECT_EQ(menu->FindItem("AutoSize")->Caption, "Auto Size");
  EXPECT_EQ(menu->FindItem("mniLine1")->Caption, "-");
  EXPECT_EQ(menu->FindItem("BringToFront")->Caption, "Bring To Front");

  ui::TMenuItem* transparent = menu->FindItem("Transparent");
  EXPECT_TRUE(transparent->Checked);
  EXPECT_TRUE(menu->FindItem("Visible")->Checked);
  EXPECT_FALSE(menu->FindItem("WordWrap")->Checked);
  transparent->Click();
  EXPECT_FALSE(label->Transparent());
  menu->FindItem("Visible")->Click();
  EXPECT_FALSE(label->Visible());

  // One menu serves every label: it acts on the one bound last.
  TppLabel* other = LabelAt(0, 0, 10, 10);
  label->BringToFront();
  other->UpdatePopupMenu(menu);
  menu->FindItem("SendToBack")->Click();
  EXPECT_EQ(band->IndexOfObject(other), 0);
  menu->FindItem("BringToFront")->Click();
  EXPECT_EQ(band->IndexOfObject(other), band->ObjectCount() - 1);
}

TEST_F(Designer, AnItemsDialogOpensOnlyWhenAFormIsRegistered) {
  TppLabel* label = LabelAt(0, 0, 10, 10);
  TppPopupMenu* menu = MenuOf(label);
  TTestPositionDialog::shown = 0;
  menu->FindItem("Position")->Click();
  EXPECT_EQ(TTestPositionDialog::shown, 0);
  RegisterFormClass(&TppCustomPositionDialog::StaticClass(), &TTestPositionDialog::StaticClass());
  menu->FindItem("Position")->Click();
  EXPECT_EQ(TTestPositionDialog::shown, 1);
  EXPECT_EQ(ppShowDesignDialog(&TppCustomPositionDialog::StaticClass(), 0, report), ui::mrOk);
}

TEST_F(Designer, SelectionMarksSitAroundTheDesignControl) {
  TppLabel* label = LabelAt(20, 30, 100, 40);
  TppDesignControl* control = label->DesignControl();
  ASSERT_NE(control, nullptr);
  EXPECT_EQ(control->Parent(), designer);
  EXPECT_EQ(control->Component(), label);
  EXPECT_EQ(std::count(designer->messages.begin(), designer->messages.end(), 1136u), 1);
  EXPECT_EQ(control->Width(), 100);
  EXPECT_EQ(control->Height(), 40);

  TppSelectionObject* selection = label->SelectionObject();
  ASSERT_NE(selection, nullptr);
  selection->SetSelected(true);
  EXPECT_FALSE(selection->BoundsRect()->Visible());
  EXPECT_EQ(Shown(*selection->Handles()), (TPoints{{20, 30}, {115, 30}, {20, 65}, {115, 65}}));
  for (int i = 0; i < 4; ++i) {
    EXPECT_EQ(selection->Handles()->Handle(i)->Tag(), i);
    EXPECT_EQ(selection->Handles()->Handle(i)->Brush.Color, gdi::clSilver);
  }

  cls::Owned<TppDesignHandles> eight(new TppDesignHandles(nullptr));
  eight->SetParent(designer);
  selection->SetDesignHandles(eight.get());
  selection->SetSelected(false);
  EXPECT_TRUE(Shown(*selection->Handles()).empty());
  label->SetColor(gdi::clNavy);
  selection->SetSelected(true);
  const TPoints around{{18, 28}, {68, 28}, {118, 28}, {18, 48},
                                    {118, 48}, {18, 68}, {68, 68}, {118, 68}};
  EXPECT_EQ(Shown(*eight), around);
  EXPECT_EQ(eight->Color(), gdi::clWhite);
  EXPECT_EQ(eight->Handle(7)->Pen.Color, gdi::clWhite);
  EXPECT_EQ(designer->Controls().back(), eight->Handle(7));  // brought to the front
  label->SetColor(clYellow);
  selection->SetSelected(true);
  EXPECT_EQ(eight->Handle(0)->Brush.Color, gdi::clBlack);
  selection->SetSelected(false);
  EXPECT_TRUE(Shown(*eight).empty());
  EXPECT_TRUE(Shown(*selection->Handles()).empty());

  // Moved, the control, the bounds and the selected handles follow.
  selection->SetSelected(true);
  label->SetspLeft(40);
  EXPECT_EQ(control->Left(), 40);
  EXPECT_EQ(selection->BoundsRect()->Left(), 40);
  EXPECT_EQ(Shown(*eight).front().first, 38);
}

TEST_F(Designer, LeavingTheBandFreesTheDesignObjects) {
  TppLabel* label = LabelAt(5, 5, 10, 10);
  ASSERT_NE(label->DesignControl(), nullptr);
  const int before = designer->ControlCount();
  label->SetBand(nullptr);
  EXPECT_EQ(label->DesignControl(), nullptr);
  EXPECT_EQ(label->SelectionObject(), nullptr);
  EXPECT_FALSE(label->StateFlags() & pstDesignerOpen);
  EXPECT_LT(designer->ControlCount(), before);

  // Without a designer nothing is made.
  report->SetReportDesigner(nullptr);
  label->SetBand(band);
  EXPECT_EQ(label->DesignControl(), nullptr);
}

TEST_F(Designer, AFreedComponentIsDroppedByItsMenuAndItsMarks) {
  TppLabel* label = LabelAt(20, 30, 100, 40);
  TppPopupMenu* menu = MenuOf(label);
  cls::Owned<TppSelectionObject> marks(new TppSelectionObject(nullptr));
  marks->SetParentControl(designer);
  marks->SetComponent(label, label->DesignControl());
  marks->UpdateBounds();

  std::erase(objects, label);
  label->Free();
  EXPECT_EQ(menu->Component(), nullptr);
  EXPECT_EQ(marks->Component(), nullptr);
  EXPECT_EQ(marks->Control(), nullptr);
  for (const char* name : {"Transparent", "Visible", "BringToFront", "Position"}) menu->FindItem(name)->Click();
  marks->SetSelected(true);
  EXPECT_TRUE(Shown(*marks->Handles()).empty());
  EXPECT_EQ(std::count(designer->messages.begin(), designer->messages.end(), 1128u), 1);

  // The eight-handle set freed first is dropped too.
  auto* eight = new TppDesignHandles(nullptr);
  marks->SetDesignHandles(eight);
  eight->Free();
  EXPECT_EQ(marks->DesignHandles(), nullptr);
}

TEST_F(Designer, EachClassAddsItsOwnItemsAfterItsAncestors) {
  const std::vector<std::string> component{"BringToFront", "SendToBack", "mniLine1", "Position", "Visible"};
  const std::vector<std::string> stretchable{"ReprintOnOverFlow", "ShiftWithParent", "ShiftRelativeTo", "Stretch"};
  auto with = [](std::vector<std::string> a, const std::vector<std::string>& b) {
    a.insert(a.end(), b.begin(), b.end());
    return a;
  };
  const std::vector<std::string> memo = with(with(component, stretchable), {"CharWrap", "KeepTogether",
                                                                             "ForceJustifyLastLine", "Transparent"});
  EXPECT_EQ(ItemNames(*MenuOf(Add(new TppMemo(nullptr)))), with(memo, {"Lines"}));
  EXPECT_EQ(ItemNames(*MenuOf(Add(new TppDBMemo(nullptr)))), with(memo, {"AutoDisplay", "SuppressRepeatedValues"}));
  EXPECT_EQ(ItemNames(*MenuOf(Add(new TppRegion(nullptr)))),
            with(with(component, stretchable),
                 {"KeepTogether", "ParentWidth", "ParentHeight", "StretchWithParent", "Transparent"}));
  EXPECT_EQ(ItemNames(*MenuOf(Add(new TppBarCode(nullptr)))),
            with(component, {"AutoSize", "AutoSizeFont", "Configure", "PrintHumanReadable", "ReprintOnOverFlow",
                             "ShiftWithParent", "Transparent"}));
  EXPECT_EQ(ItemNames(*MenuOf(Add(new TppShape(nullptr)))), component);

  const std::vector<std::string> text = with(component, {"AutoSize", "ReprintOnOverFlow", "ShiftWithParent",
                                                          "Transparent", "WordWrap"});
  EXPECT_EQ(ItemNames(*MenuOf(Add(new TppDBCalc(nullptr)))),
            with(text, {"BlankWhenZero", "DisplayFormat", "ReprintOnSubsequent", "ResetGroup",
                        "SuppressRepeatedValues", "Calculations", "LookAhead"}));
  EXPECT_EQ(ItemNames(*MenuOf(Add(new TppVariable(nullptr)))),
            with(text, {"DisplayFormat", "LookAhead", "Calculations"}));

  TppPopupMenu* calc = MenuOf(Add(new TppDBCalc(nullptr)));
  EXPECT_EQ(calc->FindItem("LookAhead")->Caption, "Look Ahead");
  EXPECT_EQ(calc->FindItem("ResetGroup")->Tag(), 1132);
}

TEST_F(Designer, ChoiceItemsAreTickedAndChoose) {
  auto* line = Add(new TppLine(nullptr));
  TppPopupMenu* menu = MenuOf(line);
  EXPECT_TRUE(menu->FindItem("StyleSingle")->Checked);
  EXPECT_TRUE(menu->FindItem("PositionTop")->Checked);
  menu->FindItem("StyleDouble")->Click();
  menu->FindItem("PositionRight")->Click();
  line->UpdatePopupMenu(menu);
  EXPECT_EQ(line->Style(), lsDouble);
  EXPECT_EQ(line->Position(), lpRight);
  EXPECT_FALSE(menu->FindItem("StyleSingle")->Checked);
  EXPECT_TRUE(menu->FindItem("PositionRight")->Checked);

  auto* variable = Add(new TppSystemVariable(nullptr));
  menu = MenuOf(variable);
  EXPECT_TRUE(menu->FindItem("Date")->Checked);
  ASSERT_NE(menu->FindItem("DocumentName"), nullptr);
  menu->FindItem("PageNo")->Click();
  variable->UpdatePopupMenu(menu);
  EXPECT_EQ(variable->VarType(), vtPageNo);
  EXPECT_FALSE(menu->FindItem("Date")->Checked);
  EXPECT_TRUE(menu->FindItem("PageNo")->Checked);

  auto* image = Add(new TppDBImage(nullptr));
  menu = MenuOf(image);
  ui::TMenuItem* types = menu->FindItem("GraphicType");
  ASSERT_GT(types->Count(), 1);
  EXPECT_TRUE(types->Items(0)->Checked);  // Bitmap
  types->Items(types->Count() - 1)->Click();
  EXPECT_EQ(image->GraphicType(), types->Items(types->Count() - 1)->Caption);
}

TEST_F(Designer, ASubreportsItemsFollowItsPrintBehavior) {
  auto* sub = Add(new TppSubReport(nullptr));
  TppPopupMenu* menu = MenuOf(sub);
  auto enabled = [&](const char* name) { return menu->FindItem(name)->Enabled; };
  EXPECT_FALSE(menu->FindItem("Stretch")->Visible);
  EXPECT_TRUE(menu->FindItem("Child")->Checked);
  EXPECT_TRUE(enabled("KeepTogether"));
  EXPECT_FALSE(enabled("NewPrintJob"));
  EXPECT_FALSE(enabled("ExpandAll"));  // no drill-down component
  menu->FindItem("Section")->Click();
  EXPECT_EQ(sub->PrintBehavior(), pbSection);
  sub->UpdatePopupMenu(menu);
  EXPECT_TRUE(menu->FindItem("Section")->Checked);
  EXPECT_FALSE(menu->FindItem("Child")->Checked);
  EXPECT_FALSE(enabled("KeepTogether"));
  EXPECT_FALSE(enabled("ParentWidth"));
  EXPECT_FALSE(enabled("ShiftRelativeTo"));
  EXPECT_TRUE(enabled("NewPrintJob"));
  EXPECT_TRUE(enabled("ResetPageNo"));
  EXPECT_FALSE(enabled("TraverseAllData"));

  // The stretchable's flags work though a subreport does not publish them.
  menu->FindItem("ShiftWithParent")->Click();
  sub->UpdatePopupMenu(menu);
  EXPECT_TRUE(sub->ShiftWithParent());
  EXPECT_TRUE(menu->FindItem("ShiftWithParent")->Checked);
}

TEST_F(Designer, BandMenusAddTheirKindsItems) {
  TppPopupMenu* menu = MenuOf(band);
  EXPECT_EQ(ItemNames(*menu),
            (std::vector<std::string>{"DynamicHeight", "StaticHeight", "mniLine1", "CalcOrder", "Position", "Visible"}));
  const bool dynamic = band->PrintHeight() == phDynamic;
  EXPECT_EQ(menu->FindItem("DynamicHeight")->Checked, dynamic);
  menu->FindItem(dynamic ? "StaticHeight" : "DynamicHeight")->Click();
  EXPECT_NE(band->PrintHeight() == phDynamic, dynamic);

  auto* header = new TppHeaderBand(nullptr);
  header->SetReport(report);
  TppPopupMenu* headerMenu = MenuOf(header);
  EXPECT_EQ(ItemNames(*headerMenu).back(), "PrintOnLastPage");
  EXPECT_TRUE(headerMenu->FindItem("PrintOnFirstPage")->Checked);
  headerMenu->FindItem("PrintOnFirstPage")->Click();
  EXPECT_FALSE(header->PrintOnFirstPage());
  header->Free();
  // The band gone, its menu does nothing.
  headerMenu->FindItem("PrintOnLastPage")->Click();
  EXPECT_EQ(headerMenu->Component(), nullptr);
}
