#include <gtest/gtest.h>

#include <thread>

#include "platform/classes/typinfo.h"
#include "platform/process/clock.h"
#include "report/model/ppComm.h"
#include "report/model/ppUtils.h"
#include "tests/support/testroot.h"

namespace {

class TppLabel : public TppCommunicator {
  CLS_DECLARE_CLASS(TppLabel, TppCommunicator)
 public:
  using TppCommunicator::TppCommunicator;
  int Size() const { return size_; }
  void SetSize(int v) { size_ = v; }
  std::string Caption() const { return caption_; }
  void Fired(cls::TObject*) { ++fired; }
  cls::TNotifyEvent OnFire;
  int fired = 0;

 private:
  int size_ = 3;
  std::string caption_ = "cap";
};
CLS_IMPLEMENT_COMPONENT(TppLabel)

class TppDBLabel : public TppLabel {
  CLS_DECLARE_CLASS(TppDBLabel, TppLabel)
 public:
  using TppLabel::TppLabel;
};
CLS_IMPLEMENT_COMPONENT(TppDBLabel)

class TppShape : public TppCommunicator {
  CLS_DECLARE_CLASS(TppShape, TppCommunicator)
 public:
  using TppCommunicator::TppCommunicator;
};
CLS_IMPLEMENT_COMPONENT(TppShape)

cls::TComponent* Named(cls::TComponent* owner, cls::TClass c, const std::string& name) {
  cls::TComponent* x = c->Create(owner);
  x->SetName(name);
  return x;
}

TEST(Names, UniqueNamesFillTheFirstGap) {
  auto* owner = new cls::TComponent(nullptr);
  auto* probe = new TppLabel(owner);
  EXPECT_EQ(GetUniqueName(owner, "Label", probe), "Label1");
  for (const char* n : {"Label1", "Label2", "Label4", "LabelX", "Label0", "Label_1"})
    Named(owner, &TppLabel::StaticClass(), n);
  EXPECT_EQ(GetUniqueName(owner, "Label", probe), "Label3");
  Named(owner, &TppDBLabel::StaticClass(), "Label3");  // a descendant counts
  EXPECT_EQ(GetUniqueName(owner, "Label", probe), "Label5");
  // A component of another class with the name is skipped over as well.
  Named(owner, &TppShape::StaticClass(), "Label5");
  EXPECT_EQ(GetUniqueName(owner, "Label", probe), "Label6");
  // Numbers beyond nine sort numerically.
  for (int i = 6; i <= 12; ++i) Named(owner, &TppLabel::StaticClass(), "Label" + std::to_string(i));
  EXPECT_EQ(GetUniqueName(owner, "Label", probe), "Label13");
  owner->Free();
}

TEST(Names, MakingComponents) {
  auto* owner = new cls::TComponent(nullptr);
  auto* report = new TppLabel(owner);
  cls::TComponent* a = ppMakeComponent(report, &TppShape::StaticClass());
  cls::TComponent* b = ppMakeComponent(report, &TppShape::StaticClass());
  EXPECT_EQ(a->Owner(), owner);
  EXPECT_EQ(a->Name(), "ppShape1");
  EXPECT_EQ(b->Name(), "ppShape2");
  EXPECT_EQ(static_cast<TppShape*>(a)->UserName(), "Shape1");
  EXPECT_EQ(static_cast<TppShape*>(b)->UserName(), "Shape2");
  int64_t n = 0;
  EXPECT_TRUE(ppUserNameNumber("Shape", static_cast<TppShape*>(b), n));
  EXPECT_EQ(n, 2);
  EXPECT_FALSE(ppUserNameNumber("Label", static_cast<TppShape*>(b), n));
  EXPECT_FALSE(ppNumberAfterBase("Shape", "Shape0", n));
  EXPECT_FALSE(ppNumberAfterBase("Shape", "Shape", n));
  EXPECT_EQ(ClassNameWithoutT(a), "ppShape");
  EXPECT_EQ(ClassNameWithoutPrefix(a), "Shape");
  EXPECT_TRUE(SameTextNoCase("ppShape", "PPSHAPE"));
  owner->Free();
}

TEST(Texts, SmallRoutines) {
  EXPECT_EQ(PadString("abc", 6, ppPadBoth), " abc  ");
  EXPECT_EQ(PadString("abc", 2, ppPadBoth), "ab");
  EXPECT_EQ(PadString("abc", 5, ppPadRight), "abc  ");
  EXPECT_EQ(PadString("abc", 5, ppPadLeft), "  abc");
  EXPECT_EQ(RemoveChar("1,234,567", ','), "1234567");
  cls::TStringList l;
  SplitCommaText("a,b c,,d", &l);
  EXPECT_EQ(l.Count(), 4);
  EXPECT_EQ(l[1], "b c");
  EXPECT_EQ(l[2], "");
  SplitCommaText("", &l);
  EXPECT_EQ(l.Count(), 0);
  EXPECT_EQ(ExtractDirectory("C:\\Zolmet\\Logs\\x.log"), "C:\\Zolmet\\Logs\\");
  EXPECT_EQ(ExtractDirectory("x.log"), "");
  EXPECT_EQ(VersionToInteger("7.03"), 7030);
  EXPECT_EQ(VersionToInteger("7"), 7000);
  EXPECT_EQ(VersionToInteger("10.5b"), 1050);
  EXPECT_EQ(VersionToInteger("1.2.3"), 1200);
  EXPECT_EQ(VersionToInteger(""), 0);
  EXPECT_EQ(VersionToInteger("99999999999999999999999"), 999999999999999999);
  EXPECT_EQ(TppStrUtils::LeftStr("abcdef", 3), "abc");
  EXPECT_EQ(TppStrUtils::LeftStr("ab", 5), "ab");
  EXPECT_EQ(TppStrUtils::LeftStr("ab", -1), "");
  EXPECT_EQ(TppMath::Max(3, -4), 3);
  EXPECT_EQ(MakeRect(1, 2, 3, 4), (TppRect{1, 2, 3, 4}));
  EXPECT_DOUBLE_EQ(ScaleToFit(100, 50, 200, 200), 0.25);
  EXPECT_DOUBLE_EQ(ScaleToFit(100, 50, 0, 200), 0);
  EXPECT_THROW(StringToDateTime("no date"), cls::EConvertError);
  cls::TMemoryStream m;
  m.WriteBuffer("old contents", 12);
  l.SetCommaText("x,y");
  StringsToStream(&l, &m);
  EXPECT_EQ(m.DataString(), "x\r\ny\r\n");
}

std::string Keys(const cls::TStringList& l) { return l.CommaText(); }

TEST(PageLists, KeysAndRanges) {
  EXPECT_EQ(ppPageKey(12), "      12");
  cls::TStringList l;
  ParsePageList("1,3,5-7", &l, true);
  EXPECT_EQ(Keys(l), "1,3,5,6,7");
  ParsePageList("1,3,5-7", &l, false);
  EXPECT_EQ(l[3], "       6");
  ParsePageList("3-1", &l, true);
  EXPECT_EQ(Keys(l), "3,1");
  ParsePageList("2,2", &l, true);
  EXPECT_EQ(Keys(l), "2");
  ParsePageList("4-4, 9 -10", &l, true);  // a space breaks the range
  EXPECT_EQ(Keys(l), "4,9,10");
  ParsePageList("", &l, true);
  EXPECT_EQ(l.Count(), 0);
}

TEST(PageLists, HugeNumbersAndRangesAreBounded) {
  cls::TStringList l;
  ParsePageList("1-999999999", &l, true);
  EXPECT_EQ(Keys(l), "1");
  ParsePageList("5,123456789012345678901234567890,6", &l, true);
  EXPECT_EQ(Keys(l), "5,6");
  ParsePageList("99999999", &l, false);
  EXPECT_EQ(l[0], "99999999");
  ParsePageList("1-99999999,7", &l, true);
  EXPECT_EQ(l.Count(), ppMaxPageListEntries);
  EXPECT_EQ(l[0], "1");
  EXPECT_EQ(l[ppMaxPageListEntries - 1], std::to_string(ppMaxPageListEntries));
}

TEST(PageLists, RepeatedRangesCostOnlyWhatTheyAdd) {
  // Twenty thousand ranges over the same pages: once, not twenty thousand
  // times a hundred thousand steps.
  std::string text;
  for (int i = 0; i < 20000; ++i) text += "1-99999,";
  text += "100001-100003,2,99998-100002";
  cls::TStringList l;
  ParsePageList(text, &l, true);
  ASSERT_EQ(l.Count(), ppMaxPageListEntries);
  EXPECT_EQ(l[99998], "99999");
  EXPECT_EQ(l[99999], "100001");  // the list is full after it
  // Runs met in any order keep first-appearance order and no duplicates.
  ParsePageList("5-7,1-3,2-9,4,12-10,11-12", &l, true);
  EXPECT_EQ(Keys(l), "5,6,7,1,2,3,4,8,9,12,10,11");
}

TEST(SystemVariables, Texts) {
  win::DateTimeParts p;
  p.year = 2026;
  p.month = 12;
  p.day = 8;
  p.hour = 14;
  p.minute = 5;
  p.second = 9;
  win::SetNowForTesting(win::EncodeDateTime(p));
  EXPECT_EQ(BuildSystemVariableText(vtDate, 3, 9, true, 0), "2026/12/8");
  EXPECT_EQ(BuildSystemVariableText(vtDateTime, 3, 9, true, 0), "2026/12/8 14:05:09");
  EXPECT_EQ(BuildSystemVariableText(vtTime, 3, 9, true, 0), "14:05:09");
  EXPECT_EQ(BuildSystemVariableText(vtDocumentName, 3, 9, true, 0), "");
  p.hour = 8;
  double printed = win::EncodeDateTime(p);
  EXPECT_EQ(BuildSystemVariableText(vtPrintDateTime, 3, 9, true, printed), "2026/12/8 08:05:09");
  EXPECT_EQ(BuildSystemVariableText(vtPrintDateTime, 3, 9, false, printed), "2026/12/8 14:05:09");
  EXPECT_EQ(BuildSystemVariableText(vtPageCount, 3, 9, true, 0), "9");
  EXPECT_EQ(BuildSystemVariableText(vtPageCount, 3, 9, false, 0), "1");
  EXPECT_EQ(BuildSystemVariableText(vtPageSet, 3, 9, true, 0), "3 of 9");
  EXPECT_EQ(BuildSystemVariableText(vtPageSet, 3, 9, false, 0), "1 of 1");
  EXPECT_EQ(BuildSystemVariableText(vtPageSetDesc, 3, 9, true, 0), "Page 3 of 9");
  EXPECT_EQ(BuildSystemVariableText(vtPageNo, 3, 9, true, 0), "3");
  EXPECT_EQ(BuildSystemVariableText(vtPageNoDesc, 3, 9, true, 0), "Page 3");
  win::SetNowForTesting(std::nullopt);
}

TEST(Threads, TreatAsMainThread) {
  EXPECT_TRUE(InMainThread());
  bool before = true, during = false, after = true;
  std::thread t([&] {
    before = InMainThread();
    BeginTreatAsMainThread();
    during = InMainThread();
    EndTreatAsMainThread();
    EndTreatAsMainThread();  // never below zero
    after = InMainThread();
  });
  t.join();
  EXPECT_FALSE(before);
  EXPECT_TRUE(during);
  EXPECT_FALSE(after);
  // Many threads counting at once leave the counter balanced.
  std::vector<std::thread> ts;
  for (int i = 0; i < 8; ++i)
    ts.emplace_back([] {
      for (int k = 0; k < 1000; ++k) {
        BeginTreatAsMainThread();
        EndTreatAsMainThread();
      }
    });
  for (auto& x : ts) x.join();
  bool end = true;
  std::thread check([&] { end = InMainThread(); });
  check.join();
  EXPECT_FALSE(end);
}

TEST(TempFiles, InTheSystemTempFolder) {
  testing_support::TempRoot root;
  std::string dir = GetTempDirectory();
  std::string a = MakeTempFileName(dir, "arc");
  EXPECT_EQ(a.rfind(dir + "arc", 0), 0u);
  EXPECT_NE(a, MakeTempFileName(dir, "arc"));
}

TEST(PublishedByName, ReadWriteAndMethods) {
  using L = TppLabel;
  static bool once = [] {
    cls::PublishProperty(L::StaticClass(), cls::OrdProperty<L, int>("Size", cls::TypeInfoInteger(), &L::Size, &L::SetSize));
    cls::PublishProperty(L::StaticClass(), cls::StrProperty<L>("Caption", &L::Caption));
    cls::PublishProperty(L::StaticClass(), cls::MethodProperty<L>("OnFire", &L::OnFire));
    cls::PublishMethod(L::StaticClass(), cls::TMethodInfo{"Fired", [](cls::TObject* o) {
                                                            return cls::TNotifyEvent(static_cast<L*>(o), &L::Fired).Method();
                                                          }});
    return true;
  }();
  (void)once;
  auto* l = new TppDBLabel(nullptr);
  EXPECT_TRUE(HasPublishedProp(l, "size"));
  EXPECT_FALSE(HasPublishedProp(l, "Width"));
  EXPECT_FALSE(HasPublishedProp(nullptr, "Size"));
  EXPECT_EQ(GetOrdPropByName(l, "Size"), 3);
  EXPECT_EQ(GetOrdPropByName(l, "Width"), 0);
  EXPECT_EQ(GetStrPropByName(l, "Caption"), "cap");
  EXPECT_EQ(GetStrPropByName(l, "Nope"), "");
  SetOrdPropByName(l, "Size", 9);
  SetOrdPropByName(l, "Width", 9);  // absent: nothing
  SetOrdPropByName(l, "Caption", 9);  // not ordinal: nothing
  EXPECT_EQ(l->Size(), 9);
  cls::TMethod m = GetMethodByName(l, "fired");
  ASSERT_TRUE(m.Assigned());
  SetMethodPropByName(l, "OnFire", m);
  l->OnFire(l);
  EXPECT_EQ(l->fired, 1);
  EXPECT_FALSE(GetMethodByName(l, "Missing").Assigned());
  l->Free();
}

}  // namespace

namespace {

// A band component as the shift utilities see it.
class TppShifty : public TppCommunicator, public IppShiftable {
 public:
  TppShifty(cls::TComponent* owner, const std::string& name, bool stretchable, bool region = false)
      : TppCommunicator(owner), stretchable_(stretchable), region_(region) {
    SetName(name);
  }
  bool IsStretchableComponent() override { return stretchable_; }
  bool IsRegionComponent() override { return region_; }
  cls::TComponent* ShiftRegion() override { return inRegion; }
  cls::TComponent* ShiftTarget() override { return target; }
  void ShiftBandObjects(std::vector<cls::TComponent*>& objects) override {
    if (band) objects = *band;
  }
  cls::TComponent* inRegion = nullptr;
  cls::TComponent* target = nullptr;
  std::vector<cls::TComponent*>* band = nullptr;

 private:
  bool stretchable_, region_;
};

TEST(ShiftRelativeTo, CandidatesAndCycles) {
  auto* owner = new cls::TComponent(nullptr);
  auto* memo1 = new TppShifty(owner, "ppMemo1", true);
  auto* memo2 = new TppShifty(owner, "ppMemo2", true);
  auto* memo3 = new TppShifty(owner, "ppMemo3", true);
  auto* label = new TppShifty(owner, "ppLabel1", false);
  auto* region = new TppShifty(owner, "ppRegion1", true, true);
  auto* inside = new TppShifty(owner, "ppMemo4", true);
  inside->inRegion = region;
  std::vector<cls::TComponent*> band = {memo1, memo2, memo3, label, region, inside};
  for (cls::TComponent* c : band) static_cast<TppShifty*>(c)->band = &band;

  EXPECT_TRUE(CanShiftRelativeTo(memo1, nullptr));
  EXPECT_TRUE(CanShiftRelativeTo(memo2, memo1));
  EXPECT_FALSE(CanShiftRelativeTo(memo1, memo1));
  memo2->target = memo1;
  memo3->target = memo2;
  EXPECT_FALSE(CanShiftRelativeTo(memo1, memo3));  // memo3 -> memo2 -> memo1
  EXPECT_FALSE(CanShiftRelativeTo(region, inside));
  EXPECT_TRUE(CanShiftRelativeTo(inside, region));
  // A chain that already loops elsewhere does not hang the walk.
  memo1->target = memo3;
  EXPECT_TRUE(CanShiftRelativeTo(region, memo1));
  memo1->target = nullptr;

  cls::TStringList list;
  GetShiftRelativeToCandidates(memo1, &list, true);
  EXPECT_EQ(list.CommaText(), "Region1,Memo4");
  EXPECT_EQ(list.Objects(0), region);
  GetShiftRelativeToCandidates(region, &list, false);
  EXPECT_EQ(list.CommaText(), "ppMemo1,ppMemo2,ppMemo3");

  cls::TStringList tabs;
  tabs.SetCommaText("12.5,3");
  cls::FormatSettings().DecimalSeparator = ',';
  ppFixTabStops(&tabs);
  cls::FormatSettings().DecimalSeparator = '.';
  EXPECT_EQ(tabs[0], "12,5");
  owner->Free();
}

}  // namespace
