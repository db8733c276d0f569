// The bar-code component's settings: what each type brings, what is
// refused (with a message, but not while loading), the data rules of all
// eleven types and the update lock.
#include <gtest/gtest.h>

#include "platform/ui/dialogs.h"
#include "report/components/ppBarCod.h"
#include "report/model/ppResMgr.h"
#include "report/output/ppBarCodeEnc.h"
#include "tests/report/output/ppPrintr_fixture.h"

namespace {

class BarCodes : public Printers {
 protected:
  void SetUp() override {
    Printers::SetUp();
    ui::ClearRecordedDialogs();
    bar.reset(new TppBarCode(nullptr));
  }
  void TearDown() override {
    bar.reset();
    Printers::TearDown();
  }
  // The texts of the message boxes shown since the last call.
  std::vector<std::string> Shown() {
    std::vector<std::string> texts;
    for (const auto& d : ui::RecordedDialogs()) texts.push_back(d.text);
    ui::ClearRecordedDialogs();
    return texts;
  }
  cls::Owned<TppBarCode> bar;
};

}  // namespace

TEST_F(BarCodes, NewBarCodeIsCode39WithItsDefaults) {
  EXPECT_EQ(bar->BarCodeType(), bcCode39);
  EXPECT_EQ(bar->Data(), "Barcode");
  EXPECT_EQ(bar->mmBarWidth(), 254);
  EXPECT_FLOAT_EQ(bar->WideBarRatio(), 3.0f);
  EXPECT_EQ(bar->mmWideBarRatio(), 76200);
  EXPECT_TRUE(bar->CalcCheckDigit());
  EXPECT_TRUE(bar->PrintHumanReadable());
  EXPECT_TRUE(bar->AutoSize());
  EXPECT_EQ(bar->Font()->Name(), "Courier New");
  // Construction does not size the component.
  EXPECT_EQ(bar->mmWidth(), ConvertToMMThousandths(1.53f, utInches));
}

TEST_F(BarCodes, EanThirteenBringsItsSampleBarWidthAndFontFit) {
  bar->SetAutoSizeFont(true);
  bar->SetBarCodeType(bcEAN_13);
  EXPECT_EQ(bar->Data(), "0012345678905");
  EXPECT_EQ(bar->mmBarWidth(), ConvertToMMThousandths(0.013f, utInches));
  EXPECT_TRUE(bar->AutoSizeFont());
  EXPECT_TRUE(bar->CodeOK());
  bar->SetData("123456789012");
  EXPECT_TRUE(bar->CodeOK());
  EXPECT_TRUE(Shown().empty());
  bar->SetCalcCheckDigit(false);
  EXPECT_FALSE(bar->CodeOK());
  EXPECT_EQ(Shown(), std::vector<std::string>{ppLoadStr(432)});
  // Font fit cannot be turned off for UPC/EAN.
  bar->SetAutoSizeFont(false);
  EXPECT_TRUE(bar->AutoSizeFont());
  EXPECT_EQ(Shown(), std::vector<std::string>{ppLoadStr(426)});
}

TEST_F(BarCodes, AutoEncodeOnlyForCode128) {
  bar->SetAutoEncode(true);
  EXPECT_FALSE(bar->AutoEncode());
  EXPECT_TRUE(Shown().empty());
  bar->SetBarCodeType(bcCode128);
  EXPECT_TRUE(bar->AutoEncode());
  EXPECT_EQ(bar->Data().size(), 11u);
  EXPECT_EQ(static_cast<unsigned char>(bar->Data()[0]), 210);
  EXPECT_EQ(static_cast<unsigned char>(bar->Data()[5]), 205);
}

TEST_F(BarCodes, BarWidthLimitsAreFourThousandthsAndOneTenthOfAnInch) {
  ASSERT_EQ(bar->Units(), utInches);
  bar->SetAutoSize(false);
  bar->SetBarWidth(0.004f);
  EXPECT_EQ(bar->mmBarWidth(), ConvertToMMThousandths(0.004f, utInches));
  EXPECT_TRUE(Shown().empty());
  bar->SetBarWidth(0.0039f);
  EXPECT_EQ(bar->mmBarWidth(), ConvertToMMThousandths(0.004f, utInches));
  auto shown = Shown();
  ASSERT_EQ(shown.size(), 1u);
  EXPECT_EQ(shown[0], FormatLanguageString(427, {"0.004"}));
  bar->SetBarWidth(0.1f);
  EXPECT_EQ(bar->mmBarWidth(), 2540);
  bar->SetBarWidth(0.11f);
  EXPECT_EQ(bar->mmBarWidth(), 2540);
  EXPECT_EQ(Shown(), std::vector<std::string>{FormatLanguageString(428, {"0.1"})});
  // The limits hold in other units too.
  bar->SetUnits(utMillimeters);
  bar->SetBarWidth(0.0990f);
  EXPECT_EQ(bar->mmBarWidth(), 2540);
  EXPECT_EQ(Shown().size(), 1u);
}

TEST_F(BarCodes, AddOnsAndBearerBarsBelongToTheirTypes) {
  bar->SetAddOnCode("12");
  EXPECT_EQ(bar->AddOnCode(), "");
  EXPECT_EQ(Shown(), std::vector<std::string>{ppLoadStr(423)});
  bar->SetBarCodeType(bcUPC_A);
  bar->SetAddOnCode("12");
  EXPECT_EQ(bar->AddOnCode(), "12");
  bar->SetAddOnCode("123");
  EXPECT_EQ(bar->AddOnCode(), "12");
  bar->SetAddOnCode("12345");
  EXPECT_EQ(bar->AddOnCode(), "12345");
  EXPECT_EQ(Shown(), std::vector<std::string>{ppLoadStr(424)});
  bar->SetBearerBars(true);
  EXPECT_FALSE(bar->BearerBars());
  bar->SetBarCodeType(bcInt2of5);
  bar->SetBearerBars(true);
  EXPECT_TRUE(bar->BearerBars());
  EXPECT_EQ(Shown(), std::vector<std::string>{ppLoadStr(429)});
  // POSTNET always sizes itself.
  bar->SetBarCodeType(bcPostnet);
  EXPECT_TRUE(bar->AutoSize());
  EXPECT_FALSE(bar->PrintHumanReadable());
  bar->SetAutoSize(false);
  EXPECT_TRUE(bar->AutoSize());
  EXPECT_EQ(Shown(), std::vector<std::string>{ppLoadStr(425)});
}

TEST_F(BarCodes, RefusalsAreSilentWhileLoading) {
  bar->BeginLoading();
  bar->SetBearerBars(true);
  bar->SetBarWidth(0.001f);  // stored as it is
  bar->SetData("not digits");
  bar->FinishLoading();
  EXPECT_TRUE(Shown().empty());
  EXPECT_EQ(bar->mmBarWidth(), ConvertToMMThousandths(0.001f, utInches));
}

TEST_F(BarCodes, EveryTypeChecksItsData) {
  struct Case {
    TppBarCodeType type;
    bool calc;
    const char* data;
    int message;  // 0: valid; -1: invalid without a library message
  };
  const Case cases[] = {
      {bcUPC_A, true, "01234567890", 0},      {bcUPC_A, false, "01234567890", 439},
      {bcUPC_A, true, "0123456789", 438},     {bcUPC_A, true, "0123456789A", 440},
      {bcUPC_E, true, "012345", 0},           {bcUPC_E, false, "012345", 649},
      {bcUPC_E, true, "01234", 648},          {bcUPC_E, false, "01234X5", 650},
      {bcEAN_13, false, "2000001000014", 0},  {bcEAN_13, true, "20000010000", 431},
      {bcEAN_13, false, "200000100001", 432}, {bcEAN_13, true, "20000010000A4", 433},
      {bcEAN_8, true, "2012345", 0},          {bcEAN_8, false, "2012345", 646},
      {bcEAN_8, true, "201234", 645},         {bcEAN_8, true, "2012345X", 647},
      {bcInt2of5, true, "12345", 0},          {bcInt2of5, false, "12345", 435},
      {bcInt2of5, false, "1234", 0},          {bcInt2of5, true, "12a4", 434},
      {bcCode128, true, "any \x01 bytes", 0}, {bcCode39, true, "*CODE-39 $%*", 0},
      {bcCode39, true, "AB*C", 430},          {bcCode39, true, "AB#", 430},
      {bcPostnet, true, "12345-6789", 0},     {bcPostnet, true, "1234 5", 436},
      {bcFIM, true, "c", 0},                  {bcFIM, true, "D", 651},
      {bcFIM, true, "AB", 651},               {bcCodabar, true, "A0123:$B", 0},
      {bcCodabar, true, "A01E3B", 652},       {bcCodabar, true, "0123B", 653},
      {bcMSI, true, "0139725", 0},            {bcMSI, true, "01397X5", -1},
  };
  for (const Case& c : cases) {
    bar->SetBarCodeType(c.type);
    bar->SetCalcCheckDigit(c.calc);
    Shown();
    SCOPED_TRACE(std::string(cls::EnumName(c.type)) + " " + c.data);
    EXPECT_EQ(bar->ValidateData(c.data), c.message == 0);
    std::vector<std::string> expected;
    if (c.message > 0) expected.push_back(ppLoadStr(c.message));
    if (c.message == -1) expected.push_back("MSI Barcodes must be numeric");
    EXPECT_EQ(Shown(), expected);
  }
  bar->SetBarCodeType(bcCodabar);
  EXPECT_FALSE(bar->ValidateData("A01B23B"));
  EXPECT_EQ(Shown(), std::vector<std::string>{ppLoadStr(654) + " " + ppLoadStr(655)});
  EXPECT_FALSE(bar->ValidateData(""));
  EXPECT_TRUE(Shown().empty());
}

// At design time CodeOK tells what printing will do: Code 128 data the
// encoder refuses is not OK, and its message is the one printing would give.
TEST_F(BarCodes, Code128DataIsOkExactlyWhenItPrints) {
  using namespace ppBarCode;
  bar->SetBarCodeType(bcCode128);
  const std::string startB(1, static_cast<char>(kStartB)), startC(1, static_cast<char>(kStartC)),
      codeB(1, static_cast<char>(kCodeB)), codeC(1, static_cast<char>(kCodeC)), shift(1, static_cast<char>(kShift));
  const std::pair<bool, std::string> cases[] = {
      {true, "any \x01 bytes"}, {true, "12345678"},        {true, "\xA6\xAC"},           {true, "a\x7F"},
      {false, startB + "abc"},  {false, "abc"},             {false, startC + "123"},       {false, startC + "1234"},
      {false, startC + "12" + codeB + " abcd"},            {false, startB + "a" + startC}, {false, startC + "1a"},
      {false, startB + codeB + "a"}, {false, startB + shift + shift + "a"}, {false, startC + codeC + "12"},
      {false, startB + "\x01"},   {false, startB + "\x80"},    {false, startC}};
  int ok = 0, refused = 0;
  for (const auto& [autoEncode, data] : cases) {
    SCOPED_TRACE((autoEncode ? "auto " : "") + data);
    bar->SetAutoEncode(autoEncode);
    bar->SetData("");
    Shown();
    bar->SetData(data);
    TppBarCodeData printed;
    printed.BarCodeType = bcCode128;
    printed.Data = data;
    printed.AutoEncode = autoEncode;
    printed.BarWidth = bar->mmBarWidth();
    printed.WideBarRatio = bar->WideBarRatio();
    std::string pattern;
    int message = 0;
    EncodeBarCode(printed, 203, pattern, message);
    EXPECT_EQ(bar->CodeOK(), !pattern.empty());
    std::vector<std::string> expected;
    if (message > 0) expected.push_back(FormatLanguageString(message, {cls::TVarRec(printed.MessageArg)}));
    EXPECT_EQ(Shown(), expected);
    ++(pattern.empty() ? refused : ok);
  }
  EXPECT_GE(ok, 4);
  EXPECT_GE(refused, 8);
  // Turning AutoEncode off judges the data again, silently.
  bar->SetAutoEncode(true);
  bar->SetData("plain");
  EXPECT_TRUE(bar->CodeOK());
  bar->SetAutoEncode(false);
  EXPECT_FALSE(bar->CodeOK());
  EXPECT_TRUE(Shown().empty());
}

TEST_F(BarCodes, UpdateLockSizesOnceAtTheEnd) {
  bar->SetBarCodeType(bcEAN_13);
  int32_t width = bar->mmWidth();
  bar->BeginUpdate();
  bar->SetBarWidth(0.02f);
  bar->SetData("2000001000014");
  EXPECT_EQ(bar->mmWidth(), width);
  bar->EndUpdate();
  EXPECT_GT(bar->mmWidth(), width);
  bar->EndUpdate();  // not below zero
  EXPECT_EQ(bar->UpdateCount(), 0);
}

TEST_F(BarCodes, StreamedTypeWithoutSymbologyIsKept) {
  const cls::TPropInfo* type = cls::GetPropInfo(bar.get(), "BarCodeType");
  ASSERT_NE(type, nullptr);
  bar->BeginLoading();
  type->SetOrd(bar.get(), 200);
  bar->FinishLoading();
  EXPECT_EQ(static_cast<int>(bar->BarCodeType()), 200);
  EXPECT_FALSE(bar->ValidateData("123"));
  type->SetOrd(bar.get(), 201);  // outside loading: not a type
  EXPECT_EQ(static_cast<int>(bar->BarCodeType()), 200);
}
