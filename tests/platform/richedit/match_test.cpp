#include "platform/richedit/match.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "platform/richedit/richedit.h"

using richedit::FindText;

namespace {

constexpr size_t npos = std::string::npos;

size_t Find(const std::string& text, const std::string& what, bool whole, bool matchCase = false, size_t from = 0,
            size_t to = npos) {
  return FindText(text, what, from, to, whole, matchCase);
}

// Every hit of WHAT in TEXT as the occurrence loop finds them: each search
// starts after the last hit, neighbours judged in the whole line.
std::vector<size_t> All(const std::string& text, const std::string& what, bool whole, bool matchCase = false) {
  std::vector<size_t> hits;
  for (size_t at = Find(text, what, whole, matchCase); at != npos;
       at = Find(text, what, whole, matchCase, at + what.size()))
    hits.push_back(at);
  return hits;
}

}  // namespace

TEST(Matcher, PlainSearchFoldsAsciiOnlyAndNeverOverlaps) {
  EXPECT_EQ(Find("Cats and a CAT.", "cat", false), 0u);
  EXPECT_EQ(Find("Cats and a CAT.", "cat", false, false, 1), 11u);
  EXPECT_EQ(Find("Cats and a CAT.", "cat", false, true), npos);
  EXPECT_EQ(Find("abc", "ABC", false), 0u);
  EXPECT_EQ(All("aaa", "aa", false), (std::vector<size_t>{0}));
  EXPECT_EQ(All("catcat cat", "cat", false), (std::vector<size_t>{0, 3, 7}));
  // A hit must end by TO; the text beyond it is not searched.
  EXPECT_EQ(Find("the cat", "cat", false, false, 0, 6), npos);
  EXPECT_EQ(Find("the cat", "cat", false, false, 0, 7), 4u);
  EXPECT_EQ(Find("the cat", "cat", false, false, 5), npos);
  EXPECT_EQ(Find("cat", "cat", false, false, 9), npos);
}

TEST(Matcher, WholeWordJudgesEachCandidateByItsRealNeighbours) {
  struct Row {
    const char* text;
    std::vector<size_t> hits;
  };
  const Row rows[] = {
      {"the cat sat", {4}},  {"Cats and a CAT.", {11}}, {"concatenate", {}}, {"scat", {}},
      {"(cat)", {1}},        {"cat cat", {0, 4}},       {"catcat cat", {7}}, {"cats", {}},
      {"a cats", {}},        {"cat.", {0}},             {"cat", {0}},        {"x-cat-y", {2}},
      {"cat\r\ncat", {0, 5}}, {"\"cat\"", {1}},          {"cat\\cat", {0, 4}}};
  for (const Row& row : rows) EXPECT_EQ(All(row.text, "cat", true), row.hits) << row.text;
  // The neighbour before FROM still counts: no hit at 1 of "xcat".
  EXPECT_EQ(Find("xcat", "cat", true, false, 1), npos);
  EXPECT_EQ(Find("cat cat", "cat", true, true, 1), 4u);
  EXPECT_EQ(Find("CAT cat", "cat", true, true), 4u);
  // A search text that is itself a delimiter is searched plainly.
  EXPECT_EQ(Find("a,b", ",", true), 1u);
  EXPECT_EQ(Find("a b", " ", true), 1u);
  // Other delimiters are the caller's to give.
  EXPECT_EQ(FindText("a_cat_b", "cat", 0, npos, true, false, "_"), 2u);
  EXPECT_EQ(FindText("a cat b", "cat", 0, npos, true, false, "_"), npos);
}

TEST(Matcher, Big5HitsStartAndEndOnCharacters) {
  // 憭 is E5 A4; 文中 is A4 E5 A4 A4: the bytes appear across the two.
  EXPECT_EQ(Find("文中", "憭", false), npos);
  EXPECT_EQ(std::string("文中").find("憭"), 1u);
  EXPECT_EQ(Find("x憭", "憭", false), 1u);
  // 兀 (A4 61) and 乙 (A4 41) differ only by a trail byte's case.
  EXPECT_EQ(Find("兀乙", "兀", false), 0u);
  EXPECT_EQ(Find("乙", "兀", false), npos);
  EXPECT_EQ(Find("乙", "乙", false, true), 0u);
  // A trail byte is never a delimiter nor a search hit: 功 is A5 5C, 一 is A4 40.
  EXPECT_EQ(Find("功能", "\\", false), npos);
  EXPECT_EQ(Find("一", "@", false), npos);
  EXPECT_EQ(Find("一cat", "cat", true), npos);
  EXPECT_EQ(Find("功cat", "cat", true), npos);
  EXPECT_EQ(Find("一 cat", "cat", true), 3u);
  // A Big5 neighbour is a whole character, never a delimiter.
  EXPECT_EQ(Find("cat文", "cat", true), npos);
  EXPECT_EQ(All("文中 文中", "文中", true), (std::vector<size_t>{0, 5}));
}

TEST(Matcher, AnyBytesEndSafely) {
  const std::string lone = "a\xA4";
  EXPECT_EQ(Find(lone, "\xA4", false), 1u);  // a lone lead byte at the end is one character
  EXPECT_EQ(Find("一", "\xA4", false), npos);
  EXPECT_EQ(Find("a一", "a\xA4", false), npos);
  EXPECT_EQ(Find("abc", "", false), npos);
  EXPECT_EQ(Find("", "a", true), npos);
  EXPECT_EQ(Find("ab", "abc", true), npos);
  EXPECT_EQ(Find("\t\tcat\t", "cat", false), 2u);
  EXPECT_EQ(richedit::CharLength("\xA4", 0), 1u);
  EXPECT_EQ(richedit::CharLength("\xA4\x20", 0), 1u);
  EXPECT_EQ(richedit::CharLength("一", 0), 2u);
  EXPECT_EQ(richedit::CharLength("一", 2), 0u);
}

// The document's find is the same matcher, in characters.
TEST(Matcher, DocumentFindCountsCharacters) {
  richedit::Document d;
  d.Load("一cat cat\r\n(cat)");
  EXPECT_EQ(d.Find("cat", 0, -1, true, false), 5);
  EXPECT_EQ(d.Find("cat", 0, -1, false, false), 1);
  EXPECT_EQ(d.Find("cat", 6, -1, true, false), 10);
  EXPECT_EQ(d.Find("cat", 6, 3, true, false), -1);
  EXPECT_EQ(d.Find("CAT", 0, -1, true, true), -1);
}
