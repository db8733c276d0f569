#include "report/output/ppTextSearch.h"

#include <gtest/gtest.h>

#include <cctype>
#include <map>
#include <set>
#include <string>
#include <vector>

#include "platform/gdi/fonts.h"
#include "report/model/ppUtils.h"

namespace {

int Mm(double px, TppDirection direction = ppHorizontal) {
  return ConvertToMMThousandths(static_cast<float>(px), utScreenPixels, direction);
}

// A text command in the deterministic font 20 pixels high (a byte is 10
// pixels wide, a Big5 character 20), on a screen bitmap.
class TextSearch : public ::testing::Test {
 protected:
  void SetUp() override {
    gdi::SetDeterministicMetrics(true);
    bitmap_.SetSize(400, 300);
  }
  void TearDown() override { gdi::SetDeterministicMetrics(false); }
  cls::Owned<TppDrawText> Text(const std::string& text, TppTextAlignment alignment = taLeftJustified) {
    cls::Owned<TppDrawText> t(new TppDrawText(nullptr));
    t->Font()->SetName("Courier New");
    t->Font()->SetHeight(-20);
    t->SetText(text);
    t->SetTextAlignment(alignment);
    t->SetLeft(5000);
    t->SetTop(20000);
    t->SetWidth(Mm(200));
    t->SetHeight(Mm(20, ppVertical));
    return t;
  }
  // The hits the selection highlighter finds: (line, byte position).
  std::vector<std::pair<int, int>> Hits(TppDrawText* text, const std::string& what, bool whole, bool matchCase = false) {
    TppTextSearchSelectionHighlighter h;
    h.WholeWord = whole;
    h.CaseSensitive = matchCase;
    std::vector<std::pair<int, int>> hits;
    std::map<int, int> perLine;
    h.FindOccurrences(text, what, [&](TppTextSearchOccurrence* o) {
      // Numbered from 1 in each line.
      EXPECT_EQ(o->OccurrenceNumber, ++perLine[o->LineNumber]);
      hits.emplace_back(o->LineNumber, o->BytePosition);
      o->Free();
      return true;
    });
    return hits;
  }
  TppCanvasScale Scale(double s) { return TppCanvasScale{&bitmap_.Canvas(), s, s}; }
  gdi::TBitmap bitmap_;
};

using Hit = std::pair<int, int>;

}  // namespace

// The preview's layer registers the settings and their enumerations.
TEST(PreviewFormSettings, PublishedAndKnownByName) {
  ASSERT_NE(FindEnumType("TppZoomSettingType"), nullptr);
  EXPECT_EQ(FindEnumType("TppZoomSettingType")->EnumNames.at(3), "zsPercentage");
  ASSERT_NE(FindEnumType("TWindowState"), nullptr);
  EXPECT_EQ(FindEnumType("TWindowState")->EnumNames.at(2), "wsMaximized");
  EXPECT_EQ(cls::FindClass("TppTextSearchSettings"), &TppTextSearchSettings::StaticClass());
  EXPECT_EQ(cls::FindClass("TppPreviewFormSettings"), &TppPreviewFormSettings::StaticClass());
  // The published setter (what a stream uses) clamps and leaves the setting.
  cls::Owned<TppPreviewFormSettings> s(new TppPreviewFormSettings);
  s->SetZoomSetting(zsPageWidth);
  cls::SetOrdProp(s.get(), "ZoomPercentage", 1000);
  EXPECT_EQ(s->ZoomPercentage(), 250);
  EXPECT_EQ(s->ZoomSetting(), zsPageWidth);
  cls::SetOrdProp(s.get(), "ZoomPercentage", -3);
  EXPECT_EQ(s->ZoomPercentage(), 25);
}

// ---- toolbox ----

TEST(TextSearchToolbox, ThirtyOneByteDelimitersWithTheSpaceFirst) {
  const cls::TStringList& d = WordDelimiters();
  ASSERT_EQ(d.Count(), 30);
  EXPECT_EQ(d.Strings(0), " ");
  EXPECT_EQ(d.Strings(11), "@");
  EXPECT_EQ(d.Strings(29), "\\");
  std::set<std::string> distinct;
  for (int i = 0; i < d.Count(); ++i) {
    EXPECT_EQ(d.Strings(i).size(), 1u);
    unsigned char c = static_cast<unsigned char>(d.Strings(i)[0]);
    EXPECT_TRUE(c >= 0x20 && c < 0x7F && !std::isalnum(c)) << i;
    distinct.insert(d.Strings(i));
  }
  EXPECT_EQ(distinct.size(), 30u);
}

TEST(TextSearchToolbox, FindSearchTextAnswersOneBasedPositions) {
  const TppTextSearchToolbox& t = TppTextSearchToolboxRegistry::GetToolbox();
  int position = -1;
  EXPECT_EQ(t.FindSearchText("the cat sat", "cat", position, true, false), 5);
  EXPECT_EQ(position, 5);
  EXPECT_EQ(t.FindSearchText("catcat cat", "cat", position, true, false), 8);
  EXPECT_EQ(t.FindSearchText("cat cat", "cat", position, true, false, 2), 5);
  EXPECT_EQ(t.FindSearchText("scat", "cat", position, true, false), 0);
  EXPECT_EQ(position, 0);
  EXPECT_EQ(t.FindSearchText("a,b", ",", position, true, false), 2);
  EXPECT_EQ(t.FindSearchText("anything", "", position, false, false), 0);
  EXPECT_EQ(t.ReplaceText("Cat cat CAT", "cat", "dog", true, true), "dog dog dog");
  EXPECT_EQ(t.ReplaceText("Cat cat CAT", "cat", "dog", false, false), "Cat dog CAT");
  EXPECT_EQ(t.ReplaceText("文中文", "中", "-", true, true), "文-文");

  // Another toolbox serves while registered.
  struct TFixed : TppTextSearchToolbox {
    int FindSearchText(const std::string&, const std::string&, int& position, bool, bool, int) const override {
      return position = 42;
    }
  } fixed;
  TppTextSearchToolboxRegistry::RegisterToolboxClass(&fixed);
  EXPECT_EQ(TppTextSearchToolboxRegistry::GetToolbox().FindSearchText("", "", position, false, false), 42);
  TppTextSearchToolboxRegistry::UnregisterToolboxClass();
  EXPECT_EQ(&TppTextSearchToolboxRegistry::GetToolbox(), &TppTextSearchToolbox::Default());
  TppTextSearchToolboxRegistry::RegisterToolboxClass(&TppTextSearchToolbox::Default());
}

TEST_F(TextSearch, LineHeightIsInPageUnitsAtEveryZoom) {
  const TppTextSearchToolbox& t = TppTextSearchToolboxRegistry::GetToolbox();
  auto text = Text("x");
  EXPECT_THROW(t.CalculateLineHeight(text.get(), nullptr, 1), ESearchError);
  const int32_t at100 = t.CalculateLineHeight(text.get(), &bitmap_.Canvas(), 1.0);
  EXPECT_EQ(at100, Mm(20, ppVertical));
  EXPECT_NEAR(t.CalculateLineHeight(text.get(), &bitmap_.Canvas(), 2.0), at100, Mm(1, ppVertical));
  EXPECT_NEAR(t.CalculateLineHeight(text.get(), &bitmap_.Canvas(), 0.5), at100, Mm(2, ppVertical));
  // A memo's lines share its height when they are near the font's.
  text->SetIsMemo(true);
  text->SetHeight(Mm(63, ppVertical));
  cls::TStringList lines;
  lines.SetText("a\r\nb\r\nc");
  text->SetWrappedText(&lines);
  EXPECT_EQ(t.CalculateLineHeight(text.get(), &bitmap_.Canvas(), 1.0), Mm(21, ppVertical));
  EXPECT_EQ(bitmap_.Canvas().Font.Name(), "MS Sans Serif");  // the canvas font is put back
}

// ---- engine registry ----

namespace {
class TEngineA : public TppCommunicator {
  CLS_DECLARE_CLASS(TEngineA, TppCommunicator)
 public:
  using TppCommunicator::TppCommunicator;
  static std::string ClassEngineName() { return "Test Search"; }
};
class TEngineB : public TEngineA {
  CLS_DECLARE_CLASS(TEngineB, TEngineA)
 public:
  using TEngineA::TEngineA;
};
CLS_IMPLEMENT_COMPONENT(TEngineA)
CLS_IMPLEMENT_COMPONENT(TEngineB)
}  // namespace

TEST(TextSearchEngineRegistry, OneEntryPerClassAndTheLastOfANameWins) {
  TppTextSearchEngineRegistry::Register<TEngineA>();
  TppTextSearchEngineRegistry::Register<TEngineA>();
  EXPECT_EQ(TppTextSearchEngineRegistry::FindEngineClass("Test Search"), &TEngineA::StaticClass());
  TppTextSearchEngineRegistry::Register<TEngineB>();
  EXPECT_EQ(TppTextSearchEngineRegistry::FindEngineClass("Test Search"), &TEngineB::StaticClass());
  TppTextSearchEngineRegistry::UnRegister(&TEngineB::StaticClass());
  EXPECT_EQ(TppTextSearchEngineRegistry::FindEngineClass("Test Search"), &TEngineA::StaticClass());
  EXPECT_EQ(TppTextSearchEngineRegistry::FindEngineClass("test search"), nullptr);
  TppTextSearchEngineRegistry::UnRegister(&TEngineA::StaticClass());
  EXPECT_EQ(TppTextSearchEngineRegistry::FindEngineClass("Test Search"), nullptr);
  EXPECT_THROW(TppTextSearchEngineRegistry::Register(TppTextSearchEngineClass{}), ESearchError);
  EXPECT_THROW(TppTextSearchEngineRegistry::UnRegister(nullptr), ESearchError);
}

// ---- pages of hits ----

namespace {
TppTextSearchOccurrence* Occurrence(int32_t top, int32_t sortLeft) {
  auto* o = new TppTextSearchOccurrence;
  o->Top = top;
  o->SortLeft = sortLeft;
  return o;
}
}  // namespace

TEST(TextSearchPages, HitsReadTopToBottomThenLeftToRight) {
  cls::Owned<TppTextSearchPage> page(new TppTextSearchPage);
  page->AddOccurrence(Occurrence(30000, 50001));
  page->AddOccurrence(Occurrence(20000, 90002));
  page->AddOccurrence(Occurrence(30000, 10001));
  page->AddOccurrence(Occurrence(20000, 10001));
  page->Sort();
  std::vector<std::pair<int32_t, int32_t>> order;
  for (int i = 0; i < page->Count(); ++i)
    order.emplace_back(page->GetDrawCommandForIndex(i)->Top, page->GetDrawCommandForIndex(i)->SortLeft);
  EXPECT_EQ(order, (std::vector<std::pair<int32_t, int32_t>>{{20000, 10001}, {20000, 90002}, {30000, 10001}, {30000, 50001}}));
  cls::Owned<TppTextSearchOccurrence> wide(Occurrence(5, 123456789));
  EXPECT_EQ(wide->SortKey(), "0000000523456789");
  EXPECT_THROW(page->GetDrawCommandForIndex(4), ESearchError);
  EXPECT_THROW(page->GetDrawCommandForIndex(-1), ESearchError);
  // Only the page frees its hits; a refused free leaves the hit whole.
  TppTextSearchOccurrence* first = page->GetDrawCommandForIndex(0);
  try {
    first->Free();
    FAIL();
  } catch (const ESearchError& e) {
    EXPECT_STREQ(e.what(), "TppTextSearchPage.Notify: Cannot free draw command info from page.");
  }
  EXPECT_EQ(page->GetDrawCommandForIndex(0)->Top, 20000);
}

TEST(TextSearchPages, TheListWalksEveryHitAcrossPages) {
  cls::Owned<TppTextSearchPageList> list(new TppTextSearchPageList);
  EXPECT_EQ(list->CurrentPageIndex(), -1);
  EXPECT_FALSE(list->First());
  EXPECT_THROW(list->LastTextSearchPage(), ESearchError);
  for (int32_t pageNo : {1, 2, 5}) {
    auto* page = new TppTextSearchPage;
    page->PageNo = pageNo;
    for (int i = 0; i < (pageNo == 5 ? 1 : 2); ++i) page->AddOccurrence(Occurrence(i * 1000, 0));
    list->Add(page);
  }
  EXPECT_EQ(list->OccurrenceCount(), 5);
  EXPECT_EQ(list->HighestPageNo(), 5);
  ASSERT_TRUE(list->First());
  std::vector<int> indexes{list->SearchIndex()};
  while (list->Next()) indexes.push_back(list->SearchIndex());
  EXPECT_EQ(indexes, (std::vector<int>{0, 1, 2, 3, 4}));
  EXPECT_TRUE(list->IsLast());
  EXPECT_EQ(list->CurrentPage()->PageNo, 5);
  ASSERT_TRUE(list->Prior());
  EXPECT_EQ(list->CurrentPage()->PageNo, 2);
  EXPECT_EQ(list->CurrentOccurrenceIndex(), 1);
  list->GotoPage(1);
  EXPECT_EQ(list->SearchIndex(), 0);
  EXPECT_FALSE(list->Prior());
  list->ResetSearchIndex(3);
  EXPECT_EQ(list->CurrentPage()->PageNo, 2);
  EXPECT_EQ(list->CurrentOccurrenceIndex(), 1);
  try {
    list->GotoPage(3);
    FAIL();
  } catch (const ESearchError& e) {
    EXPECT_STREQ(e.what(), "TppTextSearchPageList.GotoPage: Cannot find the 3 in the list of page info objects of (1-3).");
  }
  try {
    list->ResetSearchIndex(5);
    FAIL();
  } catch (const ESearchError& e) {
    EXPECT_STREQ(e.what(), "TppTextSearchPageList.ResetSearchIndex: Cannot find the search index in the page range: 5");
  }
  EXPECT_THROW(list->LastTextSearchPage()->Free(), ESearchError);
  EXPECT_EQ(list->Count(), 3);
  list->Clear();
  EXPECT_EQ(list->Count(), 0);
  EXPECT_EQ(list->SearchIndex(), -1);
}

// ---- highlighters ----

namespace {
class TSpecialHighlighter : public TppTextSearchDrawCommandHighlighter {
  CLS_DECLARE_CLASS(TSpecialHighlighter, TppTextSearchDrawCommandHighlighter)
};
CLS_IMPLEMENT_CLASS(TSpecialHighlighter)
}  // namespace

TEST(TextSearchHighlighters, TheMostDerivedRegisteredClassWinsAndEachHighlighterIsMadeOnce) {
  using R = TppTextSearchHighlightRegistryList;
  TppTextSearchDrawCommandHighlighter* text = R::FindHighlighter(&TppDrawText::StaticClass());
  ASSERT_TRUE(cls::ObjectIs<TppTextSearchSelectionHighlighter>(text));
  EXPECT_EQ(R::FindHighlighter(&TppDrawCalc::StaticClass()), text);
  EXPECT_TRUE(cls::ObjectIs<TppTextSearchRichTextHighlighter>(R::FindHighlighter(&TppDrawRichText::StaticClass())));
  R::Register<TSpecialHighlighter>(&TppDrawCalc::StaticClass());
  EXPECT_TRUE(cls::ObjectIs<TSpecialHighlighter>(R::FindHighlighter(&TppDrawCalc::StaticClass())));
  EXPECT_EQ(R::FindHighlighter(&TppDrawVar::StaticClass()), text);
  R::UnRegister(&TppDrawCalc::StaticClass());
  EXPECT_EQ(R::FindHighlighter(&TppDrawCalc::StaticClass()), text);
  cls::Owned<TppDrawLine> line(new TppDrawLine(nullptr));
  try {
    R::GetHighlighterForDrawCommand(line.get());
    FAIL();
  } catch (const ESearchError& e) {
    EXPECT_STREQ(e.what(),
                 "TppTextSearchHighlightRegistry.GetHighlighterForDrawCommand: Unable to find highlighter class for: "
                 "TppDrawLine.");
  }
}

TEST_F(TextSearch, TheTextHighlighterFindsEachHitOnceInEveryLine) {
  auto text = Text("catcat cat");
  EXPECT_EQ(Hits(text.get(), "cat", false), (std::vector<Hit>{{1, 1}, {1, 4}, {1, 8}}));
  EXPECT_EQ(Hits(text.get(), "cat", true), (std::vector<Hit>{{1, 8}}));
  text->SetText("aaaa");
  EXPECT_EQ(Hits(text.get(), "aa", false), (std::vector<Hit>{{1, 1}, {1, 3}}));
  EXPECT_TRUE(Hits(text.get(), "", false).empty());
  // A memo's wrapped lines, numbered from 1.
  text->SetIsMemo(true);
  cls::TStringList lines;
  lines.SetText("the cat\r\nno\r\ncat cat");
  text->SetWrappedText(&lines);
  EXPECT_EQ(Hits(text.get(), "CAT", true), (std::vector<Hit>{{1, 5}, {3, 1}, {3, 5}}));
  EXPECT_TRUE(Hits(text.get(), "CAT", true, true).empty());
}

TEST_F(TextSearch, ATextHighlightCoversTheHitInPageUnitsAtEveryZoom) {
  TppTextSearchSelectionHighlighter h;
  auto text = Text("ab cat de");
  TppTextSearchOccurrence o;
  o.LineNumber = 1;
  o.BytePosition = 4;
  EXPECT_THROW(h.CreateHighlight(nullptr, &o, Scale(1), "cat"), ESearchHighlightError);
  EXPECT_THROW(h.CreateHighlight(text.get(), nullptr, Scale(1), "cat"), ESearchHighlightError);
  EXPECT_THROW(h.CreateHighlight(text.get(), &o, TppCanvasScale{}, "cat"), ESearchHighlightError);
  cls::Owned<TppDrawLine> line(new TppDrawLine(nullptr));
  EXPECT_THROW(h.CreateHighlight(line.get(), &o, Scale(1), "cat"), ESearchHighlightError);

  for (double zoom : {1.0, 2.0}) {
    cls::Owned<TppDrawText> hl(cls::ObjectAs<TppDrawText>(h.CreateHighlight(text.get(), &o, Scale(zoom), "cat")));
    ASSERT_TRUE(hl) << zoom;
    EXPECT_EQ(hl->Text(), "cat");
    EXPECT_EQ(hl->Color(), gdi::clHighlight);
    EXPECT_EQ(hl->Font()->Color(), gdi::clHighlightText);
    EXPECT_FALSE(hl->Transparent());
    EXPECT_NEAR(hl->Left(), 5000 + Mm(30), Mm(1)) << zoom;
    EXPECT_NEAR(hl->Width(), Mm(30) + 100, Mm(1)) << zoom;
    EXPECT_EQ(hl->Top(), 20000);
    EXPECT_NEAR(hl->Height(), Mm(20, ppVertical), Mm(1, ppVertical));
  }
  // Right: the command's width less the hit and what follows; centred: the
  // spare width halved after the text before.
  text->SetTextAlignment(taRightJustified);
  cls::Owned<TppDrawCommand> right(h.CreateHighlight(text.get(), &o, Scale(1), "cat"));
  EXPECT_EQ(right->Left(), 5000 + Mm(200 - 30 - 30));
  text->SetTextAlignment(taCentered);
  cls::Owned<TppDrawCommand> centred(h.CreateHighlight(text.get(), &o, Scale(1), "cat"));
  EXPECT_EQ(centred->Left(), 5000 + Mm(30 + 54));  // 30 + round(110 / 2 - 0.5), halves to even
  // A memo's third line sits two line heights down.
  text->SetTextAlignment(taLeftJustified);
  text->SetIsMemo(true);
  cls::TStringList lines;
  lines.SetText("x\r\ny\r\nab cat");
  text->SetWrappedText(&lines);
  text->SetHeight(Mm(60, ppVertical));
  o.LineNumber = 3;
  cls::Owned<TppDrawCommand> third(h.CreateHighlight(text.get(), &o, Scale(1), "cat"));
  EXPECT_EQ(third->Top(), 20000 + 2 * Mm(20, ppVertical));
}

TEST_F(TextSearch, ARichTextHighlightIsACopyWithTheHitOnTheHighlightBackground) {
  cls::Owned<TppDrawRichText> rich(new TppDrawRichText(nullptr));
  const std::string rtf = "{\\rtf1\\ansi\\ansicpg950 one cat\\par two \\'a4\\'e5 cat cats}";
  rich->RichTextStream()->WriteBuffer(rtf.data(), static_cast<int64_t>(rtf.size()));
  TppTextSearchRichTextHighlighter h;
  h.WholeWord = true;
  std::vector<int> positions;
  std::vector<cls::Owned<TppTextSearchOccurrence>> hits;
  h.FindOccurrences(rich.get(), "cat", [&](TppTextSearchOccurrence* o) {
    positions.push_back(o->TextPosition);
    hits.emplace_back(o);
    return true;
  });
  // "one cat\rtwo 文 cat cats": characters, the paragraph end counted once.
  EXPECT_EQ(positions, (std::vector<int>{4, 14}));
  cls::Owned<TppDrawCommand> copy(h.CreateHighlight(rich.get(), hits[1].get(), Scale(1), "cat"));
  auto* highlight = cls::ObjectAs<TppDrawRichText>(copy.get());
  ASSERT_TRUE(highlight);
  EXPECT_EQ(hits[1]->Color(), gdi::clNone);  // the hit had no background
  richedit::Document doc;
  doc.Load(highlight->RichTextStream()->DataString());
  EXPECT_TRUE(doc.FormatAt(14).back.has_value());
  EXPECT_TRUE(doc.FormatAt(16).back.has_value());
  EXPECT_FALSE(doc.FormatAt(17).back.has_value());
  EXPECT_FALSE(doc.FormatAt(4).back.has_value());
  EXPECT_THROW(h.CreateHighlight(Text("x").get(), hits[0].get(), Scale(1), "cat"), ESearchHighlightError);
}
