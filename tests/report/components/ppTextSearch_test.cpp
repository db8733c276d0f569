// The text search engine on a grouped report shown in a viewer: the hits
// of each page in reading order, whole words and case, Big5 texts, walks
// that leave the page shown alone, cancelling and freeing mid-walk, and the
// highlights drawn where the hits are on the page bitmap.
#include <gtest/gtest.h>

#include <algorithm>
#include <cctype>
#include <memory>
#include <string>
#include <tuple>
#include <vector>

#include "platform/sysroot/codepage.h"
#include "platform/ui/forms.h"
#include "report/output/ppTextSearch.h"
#include "report/output/ppViewr.h"
#include "tests/report/output/ppPrintr_fixture.h"
#include "tests/support/ppSearchReport.h"

namespace {

// (page, row top in mm, byte position in the line)
using Hit = std::tuple<int, int, int>;
using Hits = std::vector<Hit>;

// The search report shown in a viewer, searched by the full search engine.
class TextSearchReport : public Printers {
 protected:
  void SetUp() override {
    Printers::SetUp();
    source.reset(new testing_support::TSearchReport);
    report = source->report.get();
    viewer.reset(new TppViewer(nullptr));
    viewer->SetBounds(0, 0, 600, 400);
    viewer->OnPageChange = cls::TNotifyEvent(this, &TextSearchReport::PageChanged);
    viewer->SetReport(report);
    report->PrintToDevices();
    settings.reset(new TppTextSearchSettings);
    engine.reset(new TppTextSearchRichTextEngine(nullptr));
    engine->SetViewer(viewer.get());
    engine->SetTextSearchSettings(settings.get());
  }
  void TearDown() override {
    engine.reset();
    settings.reset();
    viewer.reset();
    source.reset();
    Printers::TearDown();
  }
  void PageChanged(cls::TObject*) { shown.push_back(viewer->GetAbsolutePageNo()); }
  // Every hit found so far, in order.
  Hits Found() const {
    Hits hits;
    TppTextSearchPageList* list = engine->PageList();
    for (int p = 0; p < list->Count(); ++p)
      for (int i = 0; i < list->Pages(p)->Count(); ++i) {
        TppTextSearchOccurrence* o = list->Pages(p)->GetDrawCommandForIndex(i);
        hits.emplace_back(list->Pages(p)->PageNo, o->Top / 1000, o->BytePosition);
      }
    return hits;
  }
  // The hits of the whole report for TEXT.
  Hits SearchAll(const std::string& text) {
    engine->ResetSearch();
    engine->Search(text);
    engine->NavigateForward(text, false);
    EXPECT_TRUE(engine->Complete());
    return Found();
  }

  std::unique_ptr<testing_support::TSearchReport> source;
  TppReport* report = nullptr;
  cls::Owned<TppViewer> viewer;
  cls::Owned<TppTextSearchSettings> settings;
  cls::Owned<TppTextSearchRichTextEngine> engine;
  std::vector<int> shown;
};

}  // namespace

TEST_F(TextSearchReport, EveryHitOfTheReportInReadingOrderWhileThePageShownStays) {
  ASSERT_EQ(viewer->GetAbsolutePageNo(), 1);
  shown.clear();
  EXPECT_EQ(SearchAll("cat"), (Hits{{1, 20, 5}, {1, 30, 1}, {1, 30, 12}, {1, 40, 4}, {1, 60, 3}, {1, 80, 2},
                                   {2, 20, 2}, {2, 30, 1}, {2, 30, 5}, {2, 40, 1}, {2, 40, 4}, {2, 40, 8},
                                   {5, 20, 1}}));
  EXPECT_TRUE(shown.empty());  // the walk never reached the viewer
  EXPECT_EQ(viewer->GetAbsolutePageNo(), 1);
  EXPECT_EQ(engine->HighestPage(), 5);
  EXPECT_EQ(engine->DeviceCounter(), 1);
  EXPECT_EQ(engine->OffScreenDevice()->Publisher(), nullptr);
  // The viewer still moves.
  viewer->NextPage();
  EXPECT_EQ(viewer->GetAbsolutePageNo(), 2);
}

TEST_F(TextSearchReport, WholeWordsAndCase) {
  settings->SetWholeWord(true);
  EXPECT_EQ(SearchAll("cat"), (Hits{{1, 20, 5}, {1, 30, 12}, {2, 20, 2}, {2, 30, 1}, {2, 30, 5}, {2, 40, 8}, {5, 20, 1}}));
  settings->SetCaseSensitive(true);
  EXPECT_EQ(SearchAll("cat"), (Hits{{1, 20, 5}, {2, 20, 2}, {2, 30, 1}, {2, 30, 5}, {2, 40, 8}}));
}

TEST_F(TextSearchReport, Big5HitsAreWholeCharacters) {
  EXPECT_EQ(SearchAll("憭"), (Hits{{4, 20, 1}}));
  EXPECT_EQ(SearchAll("兀"), (Hits{{1, 70, 1}}));
  EXPECT_EQ(SearchAll("\\"), Hits{});
  EXPECT_EQ(SearchAll(""), Hits{});
}

namespace {

// The hits of WHAT in a line, as a plain reader of Big5 text finds them:
// 1-based byte positions of whole characters, no two overlapping, ASCII
// letters alike in either case unless MATCHCASE, and for WHOLEWORD the
// characters around a hit delimiters or the line's edge (a WHAT that is a
// delimiter itself is plain text).
std::vector<int> PlainHits(const std::string& line, const std::string& what, bool wholeWord, bool matchCase) {
  auto chars = [](const std::string& s) {
    std::vector<std::string> out;
    for (size_t i = 0; i < s.size();) {
      const bool two = cp::IsBig5Lead(static_cast<unsigned char>(s[i])) && i + 1 < s.size() &&
                       cp::IsBig5Trail(static_cast<unsigned char>(s[i + 1]));
      out.push_back(s.substr(i, two ? 2 : 1));
      i += two ? 2 : 1;
    }
    return out;
  };
  auto same = [&](const std::string& a, const std::string& b) {
    if (a.size() != b.size()) return false;
    if (a.size() == 2 || matchCase) return a == b;
    return std::toupper(static_cast<unsigned char>(a[0])) == std::toupper(static_cast<unsigned char>(b[0]));
  };
  auto delimiter = [](const std::string& c) {
    for (int i = 0; i < WordDelimiters().Count(); ++i)
      if (WordDelimiters().Strings(i) == c) return true;
    return false;
  };
  const std::vector<std::string> text = chars(line), pattern = chars(what);
  const bool plain = !wholeWord || (pattern.size() == 1 && delimiter(pattern[0]));
  std::vector<int> hits;
  int position = 1;
  for (size_t i = 0; i < text.size();) {
    bool hit = !pattern.empty() && i + pattern.size() <= text.size();
    for (size_t k = 0; hit && k < pattern.size(); ++k) hit = same(text[i + k], pattern[k]);
    const size_t end = i + pattern.size();
    if (hit && !plain)
      hit = (i == 0 || delimiter(text[i - 1])) && (end >= text.size() || delimiter(text[end]));
    if (hit) {
      hits.push_back(position);
      for (; i < end; ++i) position += static_cast<int>(text[i].size());
    } else {
      position += static_cast<int>(text[i].size());
      ++i;
    }
  }
  return hits;
}

}  // namespace

// Every page's text searched for texts that meet Big5 characters (whose
// second byte may be a letter), delimiters and both cases, with each
// option: the engine finds what a plain reading of the pages finds, in
// reading order.
TEST_F(TextSearchReport, EveryOptionFindsWhatAPlainReadingOfThePagesFinds) {
  std::vector<std::vector<std::pair<int, std::string>>> pages;  // (top in mm, text) of each page
  for (int n = 1; viewer->GetAbsolutePageNo() == n; ++n) {
    TppPage* page = viewer->GetCurrentPage();
    pages.emplace_back();
    for (int i = 0; i < page->GetDrawCommandCount(); ++i)
      if (auto* t = cls::ObjectAs<TppDrawText>(page->GetDrawCommand(i)))
        pages.back().emplace_back(t->Top() / 1000, t->Text());
    if (page->LastPage()) break;
    viewer->NextPage();
  }
  ASSERT_EQ(pages.size(), 5u);
  viewer->FirstPage();
  for (bool wholeWord : {false, true})
    for (bool matchCase : {false, true}) {
      settings->SetWholeWord(wholeWord);
      settings->SetCaseSensitive(matchCase);
      for (const char* what : {"cat", "CAT", "a", "A", "t", "x", "Q", "at", "cat cat", "台", "中", "乙", "兀乙", "北",
                               "-", ".", "(cat)", "cat."}) {
        Hits expected;
        for (size_t p = 0; p < pages.size(); ++p) {
          std::vector<std::pair<int, std::string>> rows = pages[p];
          std::stable_sort(rows.begin(), rows.end(), [](const auto& a, const auto& b) { return a.first < b.first; });
          for (const auto& [top, text] : rows)
            for (int at : PlainHits(text, what, wholeWord, matchCase))
              expected.emplace_back(static_cast<int>(p) + 1, top, at);
        }
        EXPECT_EQ(SearchAll(what), expected) << what << (wholeWord ? " whole word" : "") << (matchCase ? " case" : "");
      }
    }
}

TEST_F(TextSearchReport, TheViewerGoesToTheFirstHitOnlyWhenTheWalkEnds) {
  shown.clear();
  EXPECT_TRUE(engine->Search("憭"));
  EXPECT_EQ(engine->ResultPage(), 4);
  EXPECT_EQ(shown, (std::vector<int>{4}));
  EXPECT_FALSE(engine->Complete());
  // From page 4 the walk goes on to the end: the only other page is 5.
  EXPECT_EQ(engine->NavigateForward("憭", true), 0);
  EXPECT_TRUE(engine->Complete());
  EXPECT_EQ(viewer->GetAbsolutePageNo(), 4);
}

TEST_F(TextSearchReport, ACancelledWalkKeepsThePageShownAndNoHalfPage) {
  ui::Application().PostMessage([this] { engine->CancelSearch(); });
  EXPECT_FALSE(engine->Search("bird"));  // bird is on page 3
  EXPECT_TRUE(engine->Cancelled());
  EXPECT_EQ(engine->ResultPage(), 1);
  EXPECT_EQ(engine->PageList()->Count(), 0);
  EXPECT_EQ(viewer->GetAbsolutePageNo(), 1);
  EXPECT_EQ(engine->DeviceCounter(), 1);
  viewer->NextPage();
  EXPECT_EQ(viewer->GetAbsolutePageNo(), 2);
  // The next search starts afresh.
  EXPECT_TRUE(engine->Search("bird"));
  EXPECT_EQ(viewer->GetAbsolutePageNo(), 3);
}

TEST_F(TextSearchReport, TheOffScreenDeviceIsTheEnginesToFree) {
  try {
    engine->OffScreenDevice()->Free();
    FAIL();
  } catch (const ESearchEngineError& e) {
    EXPECT_STREQ(e.what(), "TppTextSearchCustomEngine.Notify: Do not attempt to free the embedded OffScreenDevice.");
  }
  EXPECT_EQ(SearchAll("dog"), (Hits{{3, 20, 1}}));
}

TEST_F(TextSearchReport, AnEngineFreedMidWalkGoesWhenTheWalkUnwinds) {
  ui::Application().PostMessage([this] { engine.reset(); });
  TppTextSearchRichTextEngine* e = engine.get();
  EXPECT_FALSE(e->Search("bird"));
  EXPECT_FALSE(engine);
  EXPECT_EQ(viewer->GetAbsolutePageNo(), 1);
  viewer->LastPage();
  EXPECT_EQ(viewer->GetAbsolutePageNo(), 5);
}

TEST_F(TextSearchReport, AViewerFreedMidWalkStopsIt) {
  ui::Application().PostMessage([this] { viewer.reset(); });
  EXPECT_FALSE(engine->Search("bird"));
  EXPECT_EQ(engine->Viewer(), nullptr);
  EXPECT_THROW(engine->Search("bird"), ESearchEngineError);
}

// The highlights of page 2 cover the whole-word hits there, at 100 % and
// at whole-page zoom; nothing else on the bitmap is in the highlight colour.
TEST_F(TextSearchReport, HighlightsCoverTheHitsOnThePageBitmap) {
  settings->SetWholeWord(true);
  SearchAll("cat");
  for (TppZoomSettingType zoom : {zs100Percent, zsWholePage}) {
    viewer->SetZoomSetting(zoom);
    viewer->GotoPage(2);
    ASSERT_EQ(viewer->GetAbsolutePageNo(), 2);
    for (bool all : {true, false}) {
      settings->SetShowAll(all);
      engine->PageList()->GotoPage(2);
      engine->PageList()->Next();
      engine->PageList()->Next();  // (2,30,5): the second word of "cat cat"
      engine->HighlightPage(2);
      ASSERT_EQ(engine->Highlights().size(), all ? 4u : 1u);
      std::vector<std::pair<int, int>> placed;
      for (TppDrawCommand* c : engine->Highlights()) {
        auto* t = cls::ObjectAs<TppDrawText>(c);
        ASSERT_TRUE(t);
        EXPECT_EQ(t->Text(), "cat");
        placed.emplace_back(t->Top() / 1000, t->Left());
      }
      const int32_t left = 10000;
      if (all) {
        EXPECT_EQ(placed[0].first, 20);
        EXPECT_EQ(placed[1], std::make_pair(30, left));
        EXPECT_EQ(placed[2].first, 30);
        EXPECT_GT(placed[2].second, left);
        EXPECT_EQ(placed[3].first, 40);
        EXPECT_GT(placed[3].second, placed[2].second);
      } else {
        EXPECT_EQ(placed[0].first, 30);
        EXPECT_GT(placed[0].second, left);
      }
      // Drawn on the page bitmap, in the highlight colour.
      TppScreenDevice* screen = viewer->ScreenDevice();
      for (TppDrawCommand* c : engine->Highlights()) EXPECT_TRUE(screen->RedrawCommand(c));
      std::vector<std::uint32_t> pixels = screen->PageBitmap()->Pixels();
      const int w = screen->PageBitmap()->Width();
      int navy = 0;
      for (std::uint32_t p : pixels) navy += (p & 0xFFFFFF) == 0x000080;  // 0x800000 as BGR
      EXPECT_GT(navy, 0);
      for (TppDrawCommand* c : engine->Highlights()) {
        TppRect r = c->GetDrawRect();
        int x = (r.Left + r.Right) / 2, y = r.Top + 1;
        EXPECT_EQ(pixels[static_cast<size_t>(y) * w + x] & 0xFFFFFF, 0x000080u);
      }
      viewer->ScreenDevice()->PreparePage();  // clean for the next round
    }
  }
}
