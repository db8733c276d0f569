#include <gtest/gtest.h>

#include "report/model/ppUtils.h"

namespace {

class TFakePrinter : public cls::TObject, public IppPrinterMetrics {
 public:
  TFakePrinter(int x, int y) : x_(x), y_(y) {}
  void GetPixelsPerInch(int& x, int& y) override {
    x = x_;
    y = y_;
  }

 private:
  int x_, y_;
};

class Units : public ::testing::Test {
 protected:
  void SetUp() override { cls::Screen().PixelsPerInch = 96; }
};

TEST_F(Units, ExactValuesFromThousandths) {
  EXPECT_EQ(ConvertFromMMThousandths(25400, utInches), 1.0f);  // 0.999998 to four decimals
  EXPECT_EQ(ConvertFromMMThousandths(12700, utInches), 0.5f);
  EXPECT_EQ(ConvertFromMMThousandths(25400, utScreenPixels), 96.0f);
  EXPECT_EQ(ConvertFromMMThousandths(10000, utScreenPixels), 38.0f);  // 37.795
  EXPECT_EQ(ConvertFromMMThousandths(1500, utMillimeters), 1.5f);
  EXPECT_EQ(ConvertFromMMThousandths(1234, utMillimeters), 1.234f);  // not rounded
  EXPECT_EQ(ConvertFromMMThousandths(-77, utMMThousandths), -77.0f);
  EXPECT_EQ(ConvertFromMMThousandths(25400, static_cast<TppUnitType>(7)), 0.0f);
}

TEST_F(Units, ExactValuesToThousandths) {
  EXPECT_EQ(ConvertToMMThousandths(1.0f, utInches), 25400);
  EXPECT_EQ(ConvertToMMThousandths(0.5f, utMillimeters), 500);
  EXPECT_EQ(ConvertToMMThousandths(96.0f, utScreenPixels), 25400);
  EXPECT_EQ(ConvertToMMThousandths(12.9f, utMMThousandths), 12);   // truncated
  EXPECT_EQ(ConvertToMMThousandths(-12.9f, utMMThousandths), -12);
  EXPECT_EQ(ConvertToMMThousandths(1.0f, static_cast<TppUnitType>(7)), 0);
  // Out of range values stop at the integer limits.
  EXPECT_EQ(ConvertToMMThousandths(1e30f, utMillimeters), 2147483647);
}

TEST_F(Units, PrinterPixelsUseThePrinterOrTheScreen) {
  for (int32_t v : {0, 1, 999, 10000, 25400, 82000, -5000})
    EXPECT_EQ(ConvertFromMMThousandths(v, utPrinterPixels, ppVertical, nullptr),
              ConvertFromMMThousandths(v, utScreenPixels, ppVertical));
  cls::TObject notAPrinter;
  EXPECT_EQ(ConvertFromMMThousandths(25400, utPrinterPixels, ppHorizontal, &notAPrinter), 96.0f);
  TFakePrinter p(203, 406);
  EXPECT_EQ(ConvertFromMMThousandths(82000, utPrinterPixels, ppHorizontal, &p), 655.0f);  // 655.35
  EXPECT_EQ(ConvertFromMMThousandths(82000, utPrinterPixels, ppVertical, &p), 1311.0f);   // 1310.7
  EXPECT_EQ(ConvertFromMMThousandths(82000, utPrinterPixels, static_cast<TppDirection>(2), &p), 655.0f);  // horizontal
  EXPECT_EQ(ConvertToMMThousandths(203.0f, utPrinterPixels, ppHorizontal, &p), 25400);
  EXPECT_EQ(ConvertToMMThousandths(203.0f, utPrinterPixels, ppVertical, &p), 12700);
  cls::Screen().PixelsPerInch = 120;
  EXPECT_EQ(ConvertFromMMThousandths(25400, utScreenPixels), 120.0f);
}

TEST_F(Units, HalvesGoToTheEvenNeighbour) {
  EXPECT_EQ(ppNint(2.5), 2);
  EXPECT_EQ(ppNint(3.5), 4);
  EXPECT_EQ(ppNint(-2.5), -2);
  EXPECT_EQ(ppNint(2.51), 3);
  EXPECT_EQ(ToTenthsMM(250.0f, utMMThousandths), 2);
  EXPECT_EQ(ToTenthsMM(350.0f, utMMThousandths), 4);
  EXPECT_EQ(FromTenthsMM(25, utMillimeters), 2.0f);
  EXPECT_EQ(FromTenthsMM(35, utMillimeters), 4.0f);
  EXPECT_EQ(ToTenthsMM(0.25f, utMillimeters), 2);  // 2.5
}

TEST_F(Units, TenthsOfAMillimetre) {
  EXPECT_EQ(FromTenthsMM(820, utMMThousandths), 82000.0f);
  EXPECT_EQ(FromTenthsMM(254, utScreenPixels), 96.0f);
  EXPECT_EQ(FromTenthsMM(254, utInches), 1.0f);      // through whole screen pixels
  EXPECT_EQ(FromTenthsMM(100, utInches), 0.3958f);  // 38 px
  EXPECT_EQ(ToTenthsMM(1.0f, utInches), 254);
  EXPECT_EQ(ToTenthsMM(96.0f, utScreenPixels), 254);
  EXPECT_EQ(ToTenthsMM(37.0f, utScreenPixels), 97);  // 9790 thousandths, truncated
  EXPECT_EQ(FromTenthsMM(1, static_cast<TppUnitType>(7)), 0.0f);
  EXPECT_EQ(ToTenthsMM(1, static_cast<TppUnitType>(7)), 0);
  EXPECT_EQ(ConvertToScreenPixels(1.0f, utInches), 96);
  EXPECT_EQ(ConvertFromScreenPixels(96, utMillimeters), 25.4f);
}

TEST_F(Units, ListsOfNumbers) {
  cls::TStringList l;
  l.SetCommaText("25400,12700,0,1234");
  ListFromMMThousandths(&l, utMillimeters);
  EXPECT_EQ(l.CommaText(), "25.4,12.7,0,1.234");
  ListToMMThousandths(&l, utMillimeters);
  EXPECT_EQ(l.CommaText(), "25400,12700,0,1234");
  ListFromMMThousandths(&l, utInches);
  EXPECT_EQ(l[0], "1");
  // Stored texts use "."; the system's separator may differ.
  cls::FormatSettings().DecimalSeparator = ',';
  l.SetCommaText("25.4");
  ListToMMThousandths(&l, utMillimeters);
  EXPECT_EQ(l[0], "25400");
  cls::FormatSettings().DecimalSeparator = '.';
  l.SetCommaText("abc");
  EXPECT_THROW(ListToMMThousandths(&l, utMillimeters), cls::EConvertError);
  // Numbers beyond the integer range stop at its ends instead of wrapping.
  l.SetCommaText("9999999999,-9999999999");
  ListFromMMThousandths(&l, utMillimeters);
  EXPECT_EQ(l.CommaText(), "2147484,-2147484");
}

TEST_F(Units, PageDefinition) {
  TppPageDef a;
  a.SetmmWidth(82000);
  a.SetmmHeight(100000);
  a.SetmmMarginLeft(1000);
  a.SetmmMarginRight(2000);
  a.SetmmMarginTop(3000);
  a.SetmmMarginBottom(4000);
  EXPECT_EQ(a.GetPrintableRect(), (TppRect{1000, 3000, 80000, 96000}));
  EXPECT_EQ(a.GetPrintableWidth(), 79000);
  EXPECT_EQ(a.GetPrintableHeight(), 93000);
  EXPECT_EQ(a.spWidth(), 310);  // 309.9
  EXPECT_EQ(a.spPrintableWidth(), 299);
  TppPageDef b;
  EXPECT_FALSE(b.IsEqual(&a));
  b.Assign(&a);
  EXPECT_TRUE(b.IsEqual(&a));
  EXPECT_EQ(cls::GetOrdProp(&b, "mmMarginBottom"), 4000);
  auto props = cls::GetPropList(b.ClassType());
  ASSERT_EQ(props.size(), 6u);
  EXPECT_EQ(props[0]->Name, "mmHeight");
  EXPECT_EQ(props[5]->Name, "mmMarginBottom");
}

}  // namespace
