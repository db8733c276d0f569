// Labels sizing themselves to their text, their save order and names, and
// the registration of the layer's classes (deterministic metrics, no
// printer: sizes come from the screen).
#include <gtest/gtest.h>

#include "report/components/ppBarCod.h"
#include "report/components/ppCtrls.h"
#include "report/components/ppMemo.h"
#include "report/engine/ppBands.h"
#include "tests/report/output/ppPrintr_fixture.h"

namespace {

class Labels : public Printers {
 protected:
  void TearDown() override {
    for (auto it = objects.rbegin(); it != objects.rend(); ++it) (*it)->Free();
    Printers::TearDown();
  }
  TppLabel* Label(cls::TAlignment alignment, int32_t left, int32_t width) {
    auto* l = new TppLabel(nullptr);
    objects.push_back(l);
    l->SetAlignment(alignment);
    l->SetBounds(left, 1000, width, 5000);
    return l;
  }
  std::vector<cls::TObject*> objects;
};

}  // namespace

TEST_F(Labels, AutoSizeKeepsTheLeftEdgeTheRightEdgeOrTheCentre) {
  for (int32_t width : {50000, 1001}) {  // shrinking, and growing by an odd amount
    TppLabel* left = Label(cls::taLeftJustify, 10000, width);
    TppLabel* right = Label(cls::taRightJustify, 10000, width);
    TppLabel* centre = Label(cls::taCenter, 10000, width);
    for (TppLabel* l : {left, right, centre}) l->SetCaption("ABCDEFGH");
    int32_t w = left->mmWidth();
    ASSERT_GT(w, 1001);
    ASSERT_LT(w, 50000);
    EXPECT_EQ(right->mmWidth(), w);
    EXPECT_EQ(left->mmLeft(), 10000);
    EXPECT_EQ(right->mmLeft() + w, 10000 + width);
    int32_t delta = width - w;
    EXPECT_EQ(centre->mmLeft(), 10000 + delta / 2);  // toward zero, either way
    EXPECT_LE(std::abs(2 * centre->mmLeft() + w - (20000 + width)), 1);
    EXPECT_GT(left->mmHeight(), 0);
    EXPECT_EQ(left->mmTop(), 1000);
  }
}

TEST_F(Labels, WithoutAutoSizeOnlyTheHeightFollowsAndWordWrapKeepsAll) {
  TppLabel* plain = Label(cls::taLeftJustify, 10000, 40000);
  plain->SetAutoSize(false);
  plain->SetCaption("ABCDEFGH");
  EXPECT_EQ(plain->mmWidth(), 40000);
  EXPECT_EQ(plain->mmLeft(), 10000);
  int32_t oneLine = plain->mmHeight();
  EXPECT_NE(oneLine, 5000);

  TppLabel* wrapped = Label(cls::taLeftJustify, 10000, 40000);
  wrapped->SetWordWrap(true);
  wrapped->SetAutoSize(false);
  wrapped->SetBounds(10000, 1000, 40000, 5000);
  wrapped->SetCaption("ABCDEFGH ABCDEFGH ABCDEFGH ABCDEFGH ABCDEFGH");
  wrapped->Font()->SetSize(20);
  EXPECT_EQ(wrapped->mmWidth(), 40000);
  EXPECT_EQ(wrapped->mmHeight(), 5000);

  // A taller font makes the plain label taller.
  plain->Font()->SetSize(20);
  EXPECT_GT(plain->mmHeight(), oneLine);
}

TEST_F(Labels, FullJustificationIsRefusedAndTheAlignmentStays) {
  TppLabel* l = Label(cls::taRightJustify, 0, 10000);
  l->SetTextAlignment(taFullJustified);
  EXPECT_EQ(l->TextAlignment(), taRightJustified);
  EXPECT_EQ(l->Alignment(), cls::taRightJustify);
}

TEST_F(Labels, RenamingCarriesACaptionThatFollowedTheName) {
  TppLabel* a = Label(cls::taLeftJustify, 0, 10000);
  a->SetUserName("Label1");
  a->SetCaption("Label1");
  a->SetUserName("Total");
  EXPECT_EQ(a->Caption(), "Total");
  a->SetCaption("Sum");
  a->SetUserName("Grand");
  EXPECT_EQ(a->Caption(), "Sum");
  std::string d;
  a->GetDescription(d);
  EXPECT_EQ(d, "Grand: Sum");
}

TEST_F(Labels, SaveOrderIsClampedToTheBandsSaveList) {
  auto* band = new TppHeaderBand(nullptr);
  std::vector<TppLabel*> l;
  for (int i = 0; i < 3; ++i) {
    l.push_back(Label(cls::taLeftJustify, 0, 10000));
    l.back()->SetBand(band);
    l.back()->SetSave(true);
  }
  objects.push_back(band);  // freed first: the labels leave it
  EXPECT_EQ(l[2]->SaveOrder(), 2);
  l[0]->SetSaveOrder(10);
  EXPECT_EQ(band->SaveList(), (std::vector<TppComponent*>{l[1], l[2], l[0]}));
  l[0]->SetSaveOrder(-4);
  EXPECT_EQ(band->SaveList(), (std::vector<TppComponent*>{l[0], l[1], l[2]}));
  l[1]->SetSave(false);
  EXPECT_EQ(l[1]->SaveOrder(), -1);
  l[1]->SetSaveOrder(0);
  EXPECT_EQ(band->SaveList(), (std::vector<TppComponent*>{l[0], l[2]}));
  l[2]->SetBand(nullptr);
  EXPECT_EQ(band->SaveList(), (std::vector<TppComponent*>{l[0]}));
}

TEST(ComponentRegistration, ClassesStreamByNameWithTheirProperties) {
  for (const char* name : {"TppLabel", "TppMemo", "TppDBMemo", "TppBarCode", "TppDBBarCode"})
    ASSERT_NE(cls::FindClass(name), nullptr) << name;
  EXPECT_NE(cls::GetPropInfo(cls::FindClass("TppMemo"), "Lines"), nullptr);
  EXPECT_EQ(cls::GetPropInfo(cls::FindClass("TppDBMemo"), "Lines"), nullptr);
  EXPECT_NE(cls::GetPropInfo(cls::FindClass("TppDBMemo"), "DataField"), nullptr);
  EXPECT_NE(cls::GetPropInfo(cls::FindClass("TppBarCode"), "Data"), nullptr);
  EXPECT_NE(cls::GetPropInfo(cls::FindClass("TppLabel"), "SaveOrder"), nullptr);
  const cls::TPropInfo* autoSize = cls::GetPropInfo(cls::FindClass("TppLabel"), "AutoSize");
  ASSERT_NE(autoSize, nullptr);
  EXPECT_EQ(autoSize->Default, 1);
}
