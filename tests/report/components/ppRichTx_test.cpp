// Rich texts generated over pages by the page generation engine and printed
// on the recording "Zolmet" (deterministic metrics: 12 pt is 34 px a line).
#include <gtest/gtest.h>

#include "platform/classes/sysutils.h"
#include "platform/gdi/gdi.h"
#include "report/model/ppRTTI.h"
#include "tests/report/components/ppRichTx_support.h"
#include "tests/report/output/ppPrintr_fixture.h"
#include "tests/support/ppListPipeline.h"

namespace {

class RichTextPages : public Printers {
 protected:
  void SetUp() override {
    Printers::SetUp();
    Install(RecordingZolmet(), true);
    fixture.reset(new TRichTextReport());
  }
  void TearDown() override {
    fixture.reset();
    ppRichEditFinalize();
    Printers::TearDown();
  }
  TppRichText* Rich() { return fixture->rich.get(); }
  // The texts of every printed page with their tops.
  static std::vector<std::vector<std::pair<int, std::string>>> Printed() {
    std::vector<std::vector<std::pair<int, std::string>>> pages;
    for (const gdi::Job& job : gdi::RecordedJobs())
      for (const gdi::Page& page : job.pages) {
        pages.emplace_back();
        for (const gdi::Op& op : page.ops)
          if (auto* t = op.As<gdi::TextOp>()) pages.back().emplace_back(t->origin.y, t->text);
      }
    return pages;
  }
  std::unique_ptr<TRichTextReport> fixture;
};

}  // namespace

TEST_F(RichTextPages, SixtyLinesGoOnOverThreePagesFromTheNextCharacter) {
  Rich()->SetRichText(NumberedLines(60));
  ASSERT_EQ(Rich()->RichEdit()->GetTextLen(), 479);
  fixture->report->Print();
  const auto& pages = fixture->pages;
  ASSERT_EQ(pages.size(), 3u);
  EXPECT_EQ(std::make_pair(pages[0].start, pages[0].end), std::make_pair(0, 183));
  EXPECT_EQ(std::make_pair(pages[1].start, pages[1].end), std::make_pair(184, 367));
  EXPECT_EQ(std::make_pair(pages[2].start, pages[2].end), std::make_pair(368, 478));
  // 14 lines of 34 px at 203 dpi.
  EXPECT_EQ(pages[2].height, 59559);
  auto printed = Printed();
  ASSERT_EQ(printed.size(), 3u);
  int line = 1;
  for (size_t p = 0; p < 3; ++p) {
    for (size_t i = 0; i < printed[p].size(); ++i, ++line) {
      char want[16];
      std::snprintf(want, sizeof want, "Line %02d", line);
      EXPECT_EQ(printed[p][i].second, want);
      EXPECT_EQ(printed[p][i].first, static_cast<int>(34 * i)) << want;
    }
  }
  EXPECT_EQ(line, 61);
  // A page asked for again comes from the page cache as it was made.
  std::vector<TRichPage> first = pages;
  fixture->pages.clear();
  TppPageRequest one;
  one.SetPageSetting(TppPageSettingType::psSinglePage);
  one.SetPageRequested(2);
  fixture->report->PageRequest(fixture->report.get(), &one);
  ASSERT_EQ(fixture->pages.size(), 1u);
  EXPECT_EQ(fixture->pages[0].start, 184);
  EXPECT_EQ(fixture->pages[0].end, 367);
}

TEST_F(RichTextPages, AfterATitleThatLeavesNoLineTheTextStartsOnPageTwo) {
  fixture->AddTitle(98000);
  Rich()->SetRichText(NumberedLines(60));
  fixture->report->Print();
  const auto& pages = fixture->pages;
  ASSERT_EQ(pages.size(), 4u);
  EXPECT_FALSE(pages[0].hasRichText);
  EXPECT_EQ(std::make_pair(pages[1].start, pages[1].end), std::make_pair(0, 183));
  EXPECT_EQ(std::make_pair(pages[2].start, pages[2].end), std::make_pair(184, 367));
  EXPECT_EQ(std::make_pair(pages[3].start, pages[3].end), std::make_pair(368, 478));
}

TEST_F(RichTextPages, ATextThatCanNeverFitEndsTheJobNamingIt) {
  fixture->AddTitle(98000);
  Rich()->SetRichText(NumberedLines(3, 2000));
  try {
    fixture->report->Print();
    ADD_FAILURE() << "no error";
  } catch (const EPrintError& e) {
    EXPECT_NE(e.Message().find("rtReceipt"), std::string::npos) << e.Message();
  }
  EXPECT_LE(fixture->pages.size(), 3u);
}

TEST_F(RichTextPages, KeepTogetherMovesTheWholeTextAndFixedOnesPrintAllClipped) {
  // Below a fixed text in the same band, with 160 px left on the page.
  cls::Owned<TppRichText> lead(new TppRichText(nullptr));
  lead->SetBand(fixture->detail);
  lead->SetmmWidth(72000);
  lead->SetmmHeight(80000);
  lead->SetRichText("lead");
  Rich()->SetmmTop(80000);
  Rich()->SetRichText(NumberedLines(10));
  Rich()->SetKeepTogether(true);
  fixture->report->Print();
  ASSERT_EQ(fixture->pages.size(), 2u);
  EXPECT_EQ(fixture->pages[0].end, 4);  // the lead: not stretching, up to its length
  EXPECT_EQ(fixture->pages[1].start, 0);
  EXPECT_EQ(fixture->pages[1].end, 78);
  EXPECT_EQ(fixture->pages[1].height, 42542);  // 10 lines: 340 px

  // Not stretching: the design height and the whole text.
  fixture->pages.clear();
  gdi::ClearRecordedJobs();
  lead.reset();
  Rich()->SetKeepTogether(false);
  Rich()->SetStretch(false);
  fixture->report->Print();
  ASSERT_EQ(fixture->pages.size(), 1u);
  EXPECT_EQ(fixture->pages[0].top, 80000);
  EXPECT_EQ(fixture->pages[0].height, 10000);
  EXPECT_EQ(fixture->pages[0].start, 0);
  EXPECT_EQ(fixture->pages[0].end, 79);
  auto printed = Printed();
  ASSERT_EQ(printed.size(), 1u);
  EXPECT_EQ(printed[0].size(), 2u);  // 10 mm (79 px) hold two whole lines
}

TEST_F(RichTextPages, EmptyTextUsesNoSpaceAndPrintsNothing) {
  fixture->report->Print();
  ASSERT_EQ(fixture->pages.size(), 1u);
  EXPECT_FALSE(fixture->pages[0].hasRichText);
  EXPECT_TRUE(Printed()[0].empty());
}

TEST_F(RichTextPages, MailMergePutsFieldValuesForKnownNamesAndAliases) {
  cls::Owned<TppListPipeline> data(new TppListPipeline(nullptr));
  data->AddField("CustName")->SetFieldAlias("Name");
  data->AddField("Amount", dtInteger);
  data->AddField("Note");
  data->AddRecord({{"CustName", TppListPipeline::TValue(std::string("王小明"))},
                   {"Amount", TppListPipeline::TValue(int64_t{12})},
                   {"Note", TppListPipeline::TValue(std::string("<Amount> > <"))}});
  fixture->report->SetDataPipeline(data.get());
  Rich()->SetMailMerge(true);
  Rich()->SetRichText("{\\rtf1 <Name> paid <Amount>, <Nobody>\\par <note>|> <amount\\par x>y<AMOUNT>}");
  fixture->report->Print();
  auto printed = Printed();
  ASSERT_EQ(printed.size(), 1u);
  std::vector<std::string> texts;
  for (auto& t : printed[0]) texts.push_back(t.second);
  // A value holding brackets is not searched again; names ignore case.
  EXPECT_EQ(texts, (std::vector<std::string>{"王小明 paid 12, <Nobody>", "<Amount> > <|> <amount", "x>y12"}));
  // The design text is kept.
  EXPECT_EQ(Rich()->RichEdit()->Lines()->Strings(0), "<Name> paid <Amount>, <Nobody>");
  fixture->report->SetDataPipeline(nullptr);
}

TEST_F(RichTextPages, DataRichTextFromTheFieldOrTheEvent) {
  cls::Owned<TppListPipeline> data(new TppListPipeline(nullptr));
  data->AddField("Body");
  data->AddRecord({{"Body", TppListPipeline::TValue(std::string("{\\rtf1 from \\b field}"))}});
  fixture->report->SetDataPipeline(data.get());
  cls::Owned<TppDBRichText> db(new TppDBRichText(nullptr));
  db->SetBand(fixture->detail);
  db->SetmmTop(20000);
  db->SetmmWidth(72000);
  db->SetmmHeight(5000);
  db->SetStretch(true);
  db->SetDataPipeline(data.get());
  db->SetDataField("Body");
  fixture->report->Print();
  auto text = [&] {
    std::vector<std::string> all;
    for (auto& page : Printed())
      for (auto& t : page) all.push_back(t.second);
    return all;
  };
  EXPECT_EQ(text(), (std::vector<std::string>{"from ", "field"}));
  struct Handler {
    void Get(cls::TObject*, std::string& t) { t = "by event"; }
  } handler;
  db->OnGetRichText = TppRichTextEvent(&handler, &Handler::Get);
  gdi::ClearRecordedJobs();
  fixture->report->Print();
  EXPECT_EQ(text(), std::vector<std::string>{"by event"});
  db.reset();
  fixture->report->SetDataPipeline(nullptr);
}

TEST_F(RichTextPages, ScriptingLoadsSavesAndFinds) {
  testing_support::TempRoot root;
  ASSERT_EQ(raGetRTTIClass(&TppRichText::StaticClass()), &TraTppCustomRichTextRTTI::Instance());
  ASSERT_EQ(raGetRTTIClass(&TppDBRichText::StaticClass()), &TraTppDBRichTextRTTI::Instance());
  Rich()->SetRichText("{\\rtf1 Dear \\b Name\\b0 , thanks}");
  cls::TMemoryStream saved;
  Rich()->SaveToRTFStream(saved);
  Rich()->SaveToFile("C:\\letter.rtf");
  EXPECT_THROW(Rich()->LoadFromFile("C:\\none.rtf"), cls::EFOpenError);
  EXPECT_EQ(Rich()->FindText("name", 0, -1, true, false), 5);
  EXPECT_EQ(Rich()->FindText("name", 0, -1, true, true), -1);
  Rich()->SetRichText("other");
  Rich()->LoadFromFile("C:\\letter.rtf");
  EXPECT_EQ(Rich()->RichText(), saved.DataString());
  EXPECT_TRUE(Rich()->RichEdit()->Document().FormatAt(5).bold);
}
