// Memo lines, text and tab stops outside generation.
#include <gtest/gtest.h>

#include "report/components/ppMemo.h"
#include "tests/report/output/ppPrintr_fixture.h"

namespace {

class Memos : public Printers {
 protected:
  void SetUp() override {
    Printers::SetUp();
    memo.reset(new TppMemo(nullptr));
  }
  void TearDown() override {
    memo.reset();
    Printers::TearDown();
  }
  cls::Owned<TppMemo> memo;
};

}  // namespace

TEST_F(Memos, SetTextSplitsAtEveryKindOfBreakAndReadsBackWithCrLf) {
  memo->SetText("A\r\nB");
  ASSERT_EQ(memo->GetLines()->Count(), 2);
  std::string text;
  memo->GetText(text);
  EXPECT_EQ(text, "A\r\nB\r\n");
  memo->SetText("one\rtwo\nthree\r\n\r\nfive");
  EXPECT_EQ(memo->GetLines()->Count(), 5);
  EXPECT_EQ(memo->GetLines()->Strings(3), "");
  EXPECT_EQ(memo->GetMemoBuffer(), "one\r\ntwo\r\nthree\r\n\r\nfive\r\n");
  // A lone lead byte at the end stays a byte of the last line.
  memo->SetText(std::string("x\r\xA4"));
  EXPECT_EQ(memo->GetLines()->Strings(1), std::string("\xA4"));
}

TEST_F(Memos, TabStopsAndLeadingAreKeptInThousandthsShownInUnits) {
  memo->SetUnits(utMillimeters);
  cls::TStringList stops;
  stops.Add("10");
  stops.Add("20.5");
  memo->SetTabStopPositions(&stops);
  ASSERT_EQ(memo->StoredTabStops().Count(), 2);
  EXPECT_EQ(memo->StoredTabStops()[0], "10000");
  EXPECT_EQ(memo->StoredTabStops()[1], "20500");
  cls::TStringList* shown = memo->TabStopPositions();
  EXPECT_EQ(shown->Strings(1), "20.5");
  memo->SetLeading(1.5f);
  EXPECT_EQ(memo->mmLeading(), 1500);
  EXPECT_FLOAT_EQ(memo->Leading(), 1.5f);
  EXPECT_TRUE(memo->CanJustify());
  memo->SetTextAlignment(taFullJustified);
  EXPECT_EQ(memo->TextAlignment(), taFullJustified);
}
