#include <gtest/gtest.h>

#include "platform/classes/classes.h"

using namespace cls;

namespace {

TEST(PtrList, BasicsAndBounds) {
  int a = 1, b = 2, c = 3;
  TPtrList<int> l;
  l.Add(&a);
  l.Add(&b);
  l.Insert(0, &c);
  EXPECT_EQ(l.Count(), 3);
  EXPECT_EQ(l[0], &c);
  EXPECT_EQ(l.IndexOf(&b), 2);
  l.Move(2, 0);
  EXPECT_EQ(l.First(), &b);
  EXPECT_EQ(l.Remove(&c), 1);
  EXPECT_EQ(l.Remove(&c), -1);
  EXPECT_THROW(l.Get(2), EListError);
  EXPECT_THROW(l.Insert(5, &a), EListError);
  EXPECT_EQ(l.Last(), &a);
}

TEST(Set256, MembersOnlyInRange) {
  TSet256 s;
  EXPECT_TRUE(s.Empty());
  s.Include(48);
  s.Include(255);
  s.Include(256);
  s.Include(-1);
  EXPECT_TRUE(s.Contains(48));
  EXPECT_TRUE(s.Contains(255));
  EXPECT_FALSE(s.Contains(256));
  EXPECT_FALSE(s.Contains(-1));
  s.Exclude(48);
  EXPECT_FALSE(s.Contains(48));
}

TEST(StringList, CaseInsensitiveAndBig5Aware) {
  EXPECT_EQ(AnsiCompareText("Label", "LABEL"), 0);
  EXPECT_LT(AnsiCompareText("_a", "a"), 0);
  // The trail byte of a Big5 character is never folded: "\xA4\x41" and
  // "\xA4\x61" are two different characters.
  EXPECT_NE(AnsiCompareText("\xA4\x41", "\xA4\x61"), 0);
  EXPECT_EQ(AnsiCompareText("\xA4\x41x", "\xA4\x41X"), 0);
  EXPECT_EQ(AnsiUpperCase("a\xA4\x61z"), "A\xA4\x61Z");

  TStringList l;
  l.Add("beta");
  l.Add("Alpha");
  EXPECT_EQ(l.IndexOf("ALPHA"), 1);
  l.SetSorted(true);
  EXPECT_EQ(l[0], "Alpha");
  EXPECT_EQ(l.Add("alpha"), 0);  // duplicates ignored by default
  EXPECT_EQ(l.Count(), 2);
  l.SetDuplicates(TStringList::dupError);
  EXPECT_THROW(l.Add("BETA"), EStringListError);
  l.SetDuplicates(TStringList::dupAccept);
  l.Add("Beta");
  EXPECT_EQ(l.Count(), 3);
  int at;
  EXPECT_FALSE(l.Find("gamma", at));
  EXPECT_EQ(at, 3);
  EXPECT_THROW(l.Insert(0, "x"), EStringListError);
}

TEST(StringList, ObjectsTextAndCommaText) {
  TStringList l;
  TObject o;
  l.AddObject("one", &o);
  l.Add("two words");
  l.Add("say \"hi\"");
  l.Add("");
  EXPECT_EQ(l.Objects(0), &o);
  EXPECT_EQ(l.IndexOfObject(&o), 0);
  EXPECT_EQ(l.Text(), "one\r\ntwo words\r\nsay \"hi\"\r\n\r\n");
  EXPECT_EQ(l.CommaText(), "one,\"two words\",\"say \"\"hi\"\"\",\"\"");
  TStringList back;
  back.SetCommaText(l.CommaText());
  EXPECT_EQ(back.Text(), l.Text());
  back.SetCommaText("a, b ,c,");
  EXPECT_EQ(back.Text(), "a\r\nb\r\nc\r\n\r\n");
  back.SetText("x\ny\r\nz");
  EXPECT_EQ(back.Count(), 3);
  EXPECT_EQ(back[2], "z");
  back.SetValue("Key", "v");
  EXPECT_EQ(back.Values("KEY"), "v");
  EXPECT_EQ(back.Names(3), "Key");
  back.SetValue("key", "");
  EXPECT_EQ(back.IndexOfName("Key"), -1);
  TStringList copy;
  copy.Assign(&l);
  EXPECT_EQ(copy.Text(), l.Text());
  EXPECT_EQ(copy.Objects(0), &o);
}

// A list added to itself adds what it held, once, objects and all (it
// used to chase its own growing end).
TEST(StringList, AddedToItselfAddsWhatItHeld) {
  TStringList l;
  TObject o;
  l.AddObject("first entry, longer than a short string", &o);
  l.Add("b");
  l.AddStrings(l);
  l.AddStrings(l);
  ASSERT_EQ(l.Count(), 8);
  EXPECT_EQ(l[6], "first entry, longer than a short string");
  EXPECT_EQ(l.Objects(6), &o);
  EXPECT_EQ(l[7], "b");
}

// Counts how many of its kind are alive.
class TCounted : public TObject {
 public:
  TCounted() { ++alive; }
  ~TCounted() override { --alive; }
  static inline int alive = 0;
};

TEST(StringList, AnOwningListFreesItsObjectsWhereverTheyGo) {
  {
    TStringList l(true);
    for (const char* s : {"a", "b", "c", "d", "e"}) l.AddObject(s, new TCounted);
    EXPECT_EQ(TCounted::alive, 5);
    l.Delete(0);
    EXPECT_EQ(TCounted::alive, 4);
    l.PutObject(0, new TCounted);  // the replaced one goes
    EXPECT_EQ(TCounted::alive, 4);
    l.PutObject(0, l.Objects(0));  // the same one stays
    EXPECT_EQ(TCounted::alive, 4);
    l.PutObject(1, nullptr);
    EXPECT_EQ(TCounted::alive, 3);
    // A sorted list that changes a value keeps the object with the string.
    l.SetSorted(true);
    l.SetValue("k", "1");
    l.PutObject(l.IndexOfName("k"), new TCounted);
    l.SetValue("k", "2");
    EXPECT_EQ(TCounted::alive, 4);
    EXPECT_NE(l.Objects(l.IndexOfName("k")), nullptr);
    l.SetValue("k", "");  // deleted with its object
    EXPECT_EQ(TCounted::alive, 3);
    l.SetText("x\r\ny");
    EXPECT_EQ(TCounted::alive, 0);
    l.AddObject("z", new TCounted);
  }
  EXPECT_EQ(TCounted::alive, 0);  // the list's end frees the rest
  // A list that does not own leaves its objects alone.
  TCounted kept;
  {
    TStringList l;
    l.AddObject("k", &kept);
    l.Delete(0);
    l.AddObject("k", &kept);
    l.Clear();
    l.AddObject("k", &kept);
  }
  EXPECT_EQ(TCounted::alive, 1);
}

TEST(StringList, CustomSortAndSortedValueChange) {
  TStringList l;
  for (const char* s : {"10", "9", "100"}) l.Add(s);
  l.CustomSort([](const TStringList& list, int a, int b) {
    return static_cast<int>(StrToInt(list[a]) - StrToInt(list[b]));
  });
  EXPECT_EQ(l.CommaText(), "9,10,100");
  l.SetSorted(true);
  EXPECT_EQ(l.CommaText(), "10,100,9");
}

}  // namespace
