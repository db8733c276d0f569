#include <gtest/gtest.h>

#include <cstring>

#include "report/model/ppResMgr.h"
#include "tests/support/testroot.h"

namespace {

TEST(Messages, OwnTable) {
  EXPECT_EQ(LoadLanguageString(1034), "No Data Found");
  EXPECT_EQ(LoadLanguageString(21), "");
  EXPECT_EQ(LoadLanguageString(284), "");
  EXPECT_EQ(LoadLanguageString(1073), "Print in Background");
  EXPECT_EQ(LoadLanguageString(11), "Enter page numbers and/or page ranges separated by commas.  For example, 1,3,5-12.");
  EXPECT_EQ(LanguageCode(lgGerman), "deu");
  EXPECT_EQ(LanguageCode(lgPortugueseBrazil), "ptb");
  EXPECT_EQ(LanguageCode(lgCustom), "cst");
}

TEST(Messages, PlaceholdersFilledInTextOrder) {
  EXPECT_EQ(FormatLanguageString(28, {3, 10, "Sales", "Zebra-1"}),
            "Printing page 3 of 10 for report Sales on the Zebra-1");
  EXPECT_EQ(FormatLanguageString(73, {"Tab1", "Amount"}), "CrossTab: Tab1 references field 'Amount'");
  EXPECT_EQ(ReplacePlaceholder("Drawing page <page> of <pagecount>"), "Drawing page %s of %s");
  // Any other "%" is text, not a format.
  EXPECT_EQ(FormatLanguageString(1, {}), "100 %");
  EXPECT_EQ(ReplacePlaceholder("50% of <page>"), "50%% of %s");
  EXPECT_EQ(cls::Format(ReplacePlaceholder("50% of <page>"), {"7"}), "50% of 7");
  EXPECT_EQ(FormatPlaceholders("%s%d%n <page>", {"5"}), "%s%d%n 5");
  // A placeholder without an argument stays as written; spare arguments are unused.
  EXPECT_EQ(FormatPlaceholders("<page> of <pagecount>", {1}), "1 of <pagecount>");
  EXPECT_EQ(FormatPlaceholders("<no>", {1, 2}), "1");
}

class LanguageModules : public ::testing::Test {
 protected:
  void Module(const std::string& name, const std::string& text) {
    testing_support::WriteFile(root.Host("C:\\Windows\\" + name), text);
  }
  testing_support::TempRoot root;
};

TEST_F(LanguageModules, LoadAndLookUp) {
  Module("kzPrint.deu", "; German\r\n44034=Keine Daten\r\n43018=Seite\n43099=a\\nb\\\\c\nbad line\n");
  TppResourceManager m;
  m.AddModule("kzPrint");
  m.AddModule("KZPRINT");  // once only
  EXPECT_EQ(m.ModuleCount(), 1);
  EXPECT_EQ(m.LoadedCount(), 0);  // no module of the default language
  EXPECT_EQ(m.LoadString(44034), "No Data Found");
  EXPECT_TRUE(m.SetLanguage(lgGerman));
  EXPECT_EQ(m.Language(), lgGerman);
  EXPECT_EQ(m.LoadedCount(), 1);
  EXPECT_EQ(m.LoadString(44034), "Keine Daten");
  EXPECT_EQ(m.LoadString(43099), "a\nb\\c");
  EXPECT_EQ(m.LoadString(44035), "No data found for this report.");  // falls back
  EXPECT_EQ(m.LoadString(43021), "");
  m.RemoveModule("kzprint");
  EXPECT_EQ(m.ModuleCount(), 0);
  EXPECT_EQ(m.LoadString(44034), "No Data Found");
}

TEST_F(LanguageModules, RefusedLanguageKeepsThePreviousModules) {
  TppResourceManager m;
  m.AddModule("kzPrint");
  EXPECT_FALSE(m.SetLanguage(lgGerman));  // no German module anywhere
  EXPECT_EQ(m.Language(), lgDefault);
  EXPECT_TRUE(m.SetLanguage(lgDefault));

  Module("kzPrint.deu", "44034=Keine Daten\n");
  Module("other.deu", "44034=Andere\n");
  m.AddModule("other");
  ASSERT_TRUE(m.SetLanguage(lgGerman));
  EXPECT_EQ(m.LoadedCount(), 2);
  EXPECT_EQ(m.LoadString(44034), "Keine Daten");  // first module in list order
  EXPECT_FALSE(m.SetLanguage(lgFrench));
  EXPECT_EQ(m.Language(), lgGerman);
  EXPECT_EQ(m.LoadedCount(), 2);
  EXPECT_EQ(m.LoadString(44034), "Keine Daten");
}

TEST_F(LanguageModules, LongTextsAreCut) {
  Module("kzPrint.deu", "44034=" + std::string(1500, 'x') + "\n");
  TppResourceManager m;
  m.AddModule("kzPrint");
  ASSERT_TRUE(m.SetLanguage(lgGerman));
  EXPECT_EQ(m.LoadString(44034).size(), 1023u);
}

TEST_F(LanguageModules, Big5TextsStayWhole) {
  // 0xB3 0x5C is one character whose second byte is a backslash; an id
  // beyond the integer range names no message (it does not wrap to 44034).
  Module("kzPrint.deu",
         "44034=\xB3\x5Cn\\n\n4295011330=Wrapped\n44035=" + std::string(1022, 'x') + "\xA4\xA4yz\n");
  TppResourceManager m;
  m.AddModule("kzPrint");
  ASSERT_TRUE(m.SetLanguage(lgGerman));
  EXPECT_EQ(m.LoadString(44034), "\xB3\x5Cn\n");
  // A text cut at the buffer's end never ends with half a character.
  EXPECT_EQ(m.LoadString(44035), std::string(1022, 'x'));
}

}  // namespace

namespace {

std::vector<uint32_t> Pixels(win::HBITMAP b, win::SIZE& size) {
  std::vector<uint32_t> p;
  EXPECT_TRUE(win::GetBitmapSize(b, &size));
  EXPECT_TRUE(win::GetBitmapPixels(b, p));
  return p;
}

TEST(BitmapResources, DecodedFromTheProgram) {
  // 24 bits, stored bottom row first.
  win::HBITMAP b = LoadBitmapResource("PPCOLOURS");
  ASSERT_NE(b, nullptr);
  win::SIZE size{};
  auto p = Pixels(b, size);
  EXPECT_EQ(size.cx, 3);
  EXPECT_EQ(size.cy, 2);
  EXPECT_EQ(p, (std::vector<uint32_t>{0xFFFFFFFF, 0xFF000000, 0xFF808080, 0xFF0000FF, 0xFF00FF00, 0xFFFF0000}));
  win::DeleteObject(b);
  // 8 bits with a three-colour table behind a longer header, top row first;
  // names are found whatever their case.
  b = LoadBitmapResource("ppPalette");
  ASSERT_NE(b, nullptr);
  p = Pixels(b, size);
  EXPECT_EQ(size.cx, 2);
  EXPECT_EQ(p, (std::vector<uint32_t>{0xFFFF0000, 0xFF00FF00, 0xFF0000FF, 0xFFFF0000}));
  win::DeleteObject(b);
}

TEST(BitmapResources, MissingOrDamagedGiveNone) {
  EXPECT_EQ(LoadBitmapResource("PPNOSUCHBITMAP"), nullptr);
  EXPECT_EQ(LoadBitmapResource("PPNOTABITMAP"), nullptr);  // another resource type
  EXPECT_EQ(LoadBitmapResource("PPCUTSHORT"), nullptr);    // bits shorter than the header says
  std::vector<unsigned char> header(40, 0);
  EXPECT_EQ(ppBitmapFromPackedDIB(header.data(), header.size()), nullptr);
  EXPECT_EQ(ppBitmapFromPackedDIB(header.data(), 10), nullptr);
  EXPECT_EQ(ppBitmapFromPackedDIB(nullptr, 0), nullptr);
  // A 1-bit picture whose table declares three entries: the third is
  // skipped, not taken for the bits.
  win::BITMAPINFOHEADER h;
  h.biWidth = 8;
  h.biHeight = 1;
  h.biBitCount = 1;
  h.biClrUsed = 3;
  std::vector<unsigned char> dib(sizeof h);
  std::memcpy(dib.data(), &h, sizeof h);
  for (uint32_t q : {0x000000u, 0xFFFFFFu, 0x123456u})
    for (int k = 0; k < 4; ++k) dib.push_back(static_cast<unsigned char>(q >> (8 * k)));
  for (unsigned char c : {0xF0, 0, 0, 0}) dib.push_back(c);
  win::HBITMAP b = ppBitmapFromPackedDIB(dib.data(), dib.size());
  ASSERT_NE(b, nullptr);
  win::SIZE size{};
  auto p = Pixels(b, size);
  EXPECT_EQ(p, (std::vector<uint32_t>{0xFFFFFFFF, 0xFFFFFFFF, 0xFFFFFFFF, 0xFFFFFFFF, 0xFF000000, 0xFF000000,
                                      0xFF000000, 0xFF000000}));
  win::DeleteObject(b);
  dib.pop_back();  // one byte short
  EXPECT_EQ(ppBitmapFromPackedDIB(dib.data(), dib.size()), nullptr);
}

}  // namespace
