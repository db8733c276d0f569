#include "report/components/ppRegister.h"

#include <gtest/gtest.h>

#include <map>
#include <set>

#include "report/components/ppBarCod.h"
#include "report/components/ppCtrls.h"
#include "report/model/ppRegistration.h"

namespace {

TppRegList& List() {
  TppRegList* list = ppRegisteredComponents();
  EXPECT_NE(list, nullptr);
  return *list;
}

}  // namespace

TEST(ComponentPalette, TheBarCodeIsTheNinthStandardComponent) {
  TppRegComponent* entry = List().FindEntry("TppBarCode");
  ASSERT_NE(entry, nullptr);
  EXPECT_EQ(entry->ComponentClass(), &TppBarCode::StaticClass());
  EXPECT_EQ(entry->PaletteName(), "Standard Components");
  EXPECT_EQ(entry->PalettePosition(), 8);
  EXPECT_EQ(entry->DescriptionMessage(), 460);
  EXPECT_EQ(entry->Name(), "");
  EXPECT_EQ(entry->Number(), 0);
}

// Every row is listed as the table says and streams can make its class by
// name; no two rows share a class or a place on a page; the list holds the
// table's rows and nothing else.
TEST(ComponentPalette, EveryRowIsRegisteredInItsOwnPlace) {
  const std::map<std::string, int> pageSizes = {
      {"Standard Components", 9}, {"Data Components", 6}, {"Advanced Components", 2}};
  std::set<std::pair<std::string, int>> places;
  std::set<std::string> names;
  for (const TppComponentClassRow& row : ppComponentClassRows()) {
    const std::string name = row.Class().Name;
    SCOPED_TRACE(name);
    ASSERT_TRUE(pageSizes.count(row.Page));
    EXPECT_GE(row.Position, 0);
    EXPECT_LT(row.Position, pageSizes.at(row.Page));
    EXPECT_TRUE(places.insert({row.Page, row.Position}).second);
    EXPECT_TRUE(names.insert(name).second);
    TppRegComponent* entry = List().FindEntry(name);
    ASSERT_NE(entry, nullptr);
    EXPECT_EQ(entry->ComponentClass(), &row.Class());
    EXPECT_EQ(entry->PaletteName(), row.Page);
    EXPECT_EQ(entry->PalettePosition(), row.Position);
    EXPECT_EQ(entry->DescriptionMessage(), row.DescriptionMessage);
    ASSERT_EQ(cls::FindClass(name), &row.Class());
    cls::Owned<cls::TComponent> made(cls::FindClass(name)->Create(nullptr));
    EXPECT_EQ(made->ClassType(), &row.Class());
  }
  EXPECT_EQ(List().Count(), static_cast<int>(ppComponentClassRows().size()));
  EXPECT_EQ(List().FindEntry("TppCalc"), nullptr);  // streamed, not on the palette
  EXPECT_NE(cls::FindClass("TppCalc"), nullptr);
}

TEST(ComponentPalette, RegisteringTheLabelTwiceKeepsTheLaterEntry) {
  const int count = List().Count();
  ppRegisterComponent(&TppLabel::StaticClass(), "Data Components", 7, "", 0, 999);
  EXPECT_EQ(List().Count(), count);
  TppRegComponent* entry = List().FindEntry("TppLabel");
  ASSERT_NE(entry, nullptr);
  EXPECT_EQ(entry->PaletteName(), "Data Components");
  EXPECT_EQ(entry->PalettePosition(), 7);
  EXPECT_EQ(entry->DescriptionMessage(), 999);
  EXPECT_EQ(cls::FindClass("TppLabel"), &TppLabel::StaticClass());
  ppRegisterComponent(&TppLabel::StaticClass(), "Standard Components", 0, "", 0, 172);
}
