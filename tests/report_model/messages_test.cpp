#include <gtest/gtest.h>

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

}  // namespace
