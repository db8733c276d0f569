#include <gtest/gtest.h>

#include <cfloat>
#include <cmath>
#include <map>

#include "platform/classes/typinfo.h"
#include "report/output/ppDrwCmd.h"

namespace {

template <class T>
T* Make() {
  return new T(nullptr);
}

// A stream with one value for a defined property.
class OneValueReader : public cls::TReader {
 public:
  OneValueReader(cls::TValueKind kind, std::string value) : kind_(kind), value_(std::move(value)) {}
  cls::TValueKind NextValue() override { return done_ ? cls::vkNone : kind_; }
  int64_t ReadInteger() override { return Take(), 0; }
  double ReadFloat() override { return Take(), 0; }
  std::string ReadString() override { return Take(); }
  std::string ReadIdent() override { return Take(); }
  bool ReadBoolean() override { return Take(), false; }
  void SkipValue() override { Take(); }
  bool EndOfList() override { return done_; }
  std::string ReadPropName() override { return {}; }
  int64_t Position() override { return done_; }
  void SetPosition(int64_t p) override { done_ = p != 0; }
  bool done_ = false;

 private:
  std::string Take() {
    done_ = true;
    return value_;
  }
  cls::TValueKind kind_;
  std::string value_;
};

class Filer : public cls::TFiler {
 public:
  void DefineProperty(const std::string& name, ReadProc read, WriteProc write, bool hasData) override {
    reads[name] = read;
    writes += (write && hasData) ? 1 : 0;
  }
  std::map<std::string, ReadProc> reads;
  int writes = 0;
};

// A graphic of some other kind: a black square.
class TSquare : public gdi::TGraphic {
  CLS_DECLARE_CLASS(TSquare, gdi::TGraphic)
 public:
  explicit TSquare(int side) : side_(side) {}
  int Width() const override { return side_; }
  int Height() const override { return side_; }
  void Draw(gdi::TCanvas& canvas, const win::RECT& r) override {
    canvas.Brush.Color = gdi::clBlack;
    canvas.FillRect(r);
  }
  gdi::TGraphic* NewCopy() const override { return new TSquare(side_); }

 private:
  int side_;
};
CLS_IMPLEMENT_CLASS(TSquare)

}  // namespace

TEST(DrawCommands, RegisteredByNameWithTheirDefaultsAsStreamsLeaveThemOut) {
  for (const char* name : {"TppDrawText", "TppDrawVar", "TppDrawCalc", "TppDrawShape", "TppDrawLine", "TppDrawImage",
                           "TppDrawVariable"}) {
    SCOPED_TRACE(name);
    cls::TClass c = cls::FindClass(name);
    ASSERT_NE(c, nullptr);
    ASSERT_TRUE(c->InheritsFrom(&TppDrawCommand::StaticClass()));
    cls::TComponent* made = c->Create(nullptr);
    ASSERT_EQ(made->ClassType(), c);
    bool graphic = !made->InheritsFrom(&TppDrawText::StaticClass());
    EXPECT_EQ(static_cast<TppDrawCommand*>(made)->DataType(), graphic ? dtGraphic : dtString);
    // A fresh command holds every ordinal default; enumerations name it.
    for (const cls::TPropInfo* p : cls::GetPropList(c)) {
      if (!p->HasDefault || !p->GetOrd) continue;
      if (p->Name == "DataType") continue;  // the graphics' own
      EXPECT_EQ(p->GetOrd(made), p->Default) << p->Name;
      if (p->Kind() == cls::tkEnumeration) {
        EXPECT_FALSE(cls::GetEnumName(p->Type, p->Default).empty()) << p->Name;
      }
    }
    made->Free();
  }
  // The archive names of the text command, in order after the base's.
  std::vector<std::string> names;
  for (const cls::TPropInfo* p : cls::GetPropList(&TppDrawText::StaticClass())) names.push_back(p->Name);
  EXPECT_EQ(names, (std::vector<std::string>{"Left", "Top", "Width", "Height", "Clickable", "DataType", "AutoSize",
                                             "Color", "Font", "ForceJustifyLastLine", "IsMemo", "Leading",
                                             "TabStopPositions", "Text", "TextAlignment", "Transparent", "WordWrap",
                                             "WrappedText", "BandSave", "BandSaveNo", "ComponentSave",
                                             "ComponentSaveNo", "SaveLength"}));
  auto* text = Make<TppDrawText>();
  EXPECT_EQ(cls::GetOrdProp(text, "Color"), 0xFFFFFF);
  EXPECT_EQ(cls::GetObjectProp(text, "Font")->ClassName(), "TppFont");
  text->Free();
  EXPECT_EQ(cls::GetPropInfo(&TppDrawShape::StaticClass(), "ShapeType")->Default,
            static_cast<int>(TShapeType::stRectangle));
  EXPECT_EQ(cls::GetPropInfo(&TppDrawVar::StaticClass(), "VarType")->Default, vtDate);
}

TEST(DrawCommands, AlignmentsStayInStepAndOldStreamsSetThem) {
  auto* t = Make<TppDrawText>();
  t->SetTextAlignment(taFullJustified);
  EXPECT_EQ(t->Alignment(), cls::taLeftJustify);
  t->SetTextAlignment(taCentered);
  EXPECT_EQ(t->Alignment(), cls::taCenter);
  t->SetAlignment(cls::taRightJustify);
  EXPECT_EQ(t->TextAlignment(), taRightJustified);
  t->SetAlignment(cls::taLeftJustify);
  EXPECT_EQ(t->TextAlignment(), taLeftJustified);  // never full

  Filer f;
  t->DefineProperties(&f);
  ASSERT_EQ(f.reads.count("Alignment"), 1u);
  EXPECT_EQ(f.writes, 0);  // read only
  OneValueReader center(cls::vkIdent, "taCenter");
  f.reads["Alignment"](center);
  EXPECT_EQ(t->TextAlignment(), taCentered);
  OneValueReader unknown(cls::vkIdent, "taJustify");
  f.reads["Alignment"](unknown);
  OneValueReader number(cls::vkInteger, "2");
  f.reads["Alignment"](number);
  EXPECT_TRUE(number.done_);  // stepped over
  EXPECT_EQ(t->TextAlignment(), taCentered);
  EXPECT_EQ(t->Alignment(), cls::taCenter);

  t->SetBandSaveNo(3);
  t->SetComponentSaveNo(12);
  EXPECT_EQ(t->SaveSortKey(), "       3      12");
  t->Free();
}

TEST(DrawCommands, AssignCopiesContentAndIsSameAsComparesWhatIsDrawn) {
  auto* a = Make<TppDrawText>();
  auto* owner = new cls::TComponent(nullptr);
  a->SetComponent(owner);
  a->SetLeft(5000), a->SetTop(5000), a->SetWidth(70000), a->SetHeight(6000);
  a->SetText("收據 測試");
  a->Font()->SetName("細明體");
  a->Font()->SetSize(12);
  a->SetTextAlignment(taCentered);
  a->TabStopPositions()->Add("25400");
  a->WrappedText()->Add("收據");
  a->SetColor(gdi::clNone);
  auto* b = Make<TppDrawText>();
  b->Assign(a);
  EXPECT_EQ(b->Text(), a->Text());
  EXPECT_EQ(b->Component(), owner);
  EXPECT_EQ(b->Alignment(), cls::taCenter);
  EXPECT_EQ(b->TabStopPositions()->Text(), "25400\r\n");
  EXPECT_NE(b->Font(), a->Font());
  EXPECT_TRUE(b->IsSameAs(a));
  b->Font()->SetColor(gdi::clRed);  // not compared
  EXPECT_TRUE(b->IsSameAs(a));
  b->Font()->SetSize(10);
  EXPECT_FALSE(b->IsSameAs(a));
  b->Assign(a);
  b->WrappedText()->Add("測試");
  EXPECT_FALSE(b->IsSameAs(a));
  EXPECT_THROW(b->Assign(owner), cls::EConvertError);
  owner->Free();
  EXPECT_EQ(a->Component(), nullptr);  // dropped with the component

  // A variable's clock values match any clock value, whatever the text.
  auto* t1 = Make<TppDrawVar>();
  auto* t2 = Make<TppDrawVar>();
  t1->SetVarType(vtTime), t1->SetText("08:00"), t1->SetLeft(1);
  t2->SetVarType(vtDate), t2->SetText("2026/1/1");
  EXPECT_TRUE(t1->IsSameAs(t2));
  EXPECT_FALSE(t1->IsSameAs(a));
  t1->SetVarType(vtPageNo), t2->SetVarType(vtPageNo);
  EXPECT_FALSE(t1->IsSameAs(t2));
  t2->Assign(t1);
  EXPECT_TRUE(t1->IsSameAs(t2));

  // Lines compare the pen, not the weight; shapes the brush too.
  auto* l1 = Make<TppDrawLine>();
  auto* l2 = Make<TppDrawLine>();
  l1->SetWeight(1), l1->Pen()->Width = 2;
  l2->Assign(l1);
  l2->SetWeight(3);
  EXPECT_TRUE(l1->IsSameAs(l2));
  l2->Pen()->Color = gdi::clRed;
  EXPECT_FALSE(l1->IsSameAs(l2));
  auto* s1 = Make<TppDrawShape>();
  auto* s2 = Make<TppDrawShape>();
  s1->SetShapeType(TShapeType::stRoundRect), s1->SetXCornerRound(4);
  s2->Assign(s1);
  EXPECT_TRUE(s1->IsSameAs(s2));
  s2->Brush()->Style = gdi::TBrushStyle::bsClear;
  EXPECT_FALSE(s1->IsSameAs(s2));
  EXPECT_FALSE(s1->IsSameAs(l1));  // another class
  for (TppDrawCommand* c : std::initializer_list<TppDrawCommand*>{a, b, t1, t2, l1, l2, s1, s2}) c->Free();
}

TEST(DrawCommands, PageCopiesKeepClassesOrderAndPictures) {
  auto* page = new TppPage(nullptr);
  auto* text = Make<TppDrawText>();
  text->SetText("收據");
  text->SetPage(page);
  auto* line = Make<TppDrawLine>();
  line->SetLinePosition(lpBottom);
  line->SetPage(page);
  auto* image = Make<TppDrawImage>();
  image->Picture()->Bitmap().SetSize(20, 10);
  image->SetStretch(true);
  image->SetPage(page);
  auto* copy = new TppPage(nullptr);
  copy->Assign(page);
  ASSERT_EQ(copy->GetDrawCommandCount(), 3);
  for (int i = 0; i < 3; ++i) {
    EXPECT_EQ(copy->GetDrawCommand(i)->ClassType(), page->GetDrawCommand(i)->ClassType());
    EXPECT_TRUE(copy->GetDrawCommand(i)->IsSameAs(page->GetDrawCommand(i)));
  }
  auto* imageCopy = static_cast<TppDrawImage*>(copy->GetDrawCommand(2));
  EXPECT_TRUE(imageCopy->Stretch());
  EXPECT_EQ(imageCopy->GetBitmapHandle()->Width(), 20);
  EXPECT_NE(imageCopy->GetBitmapHandle(), image->GetBitmapHandle());
  copy->Free();
  page->Free();
}

TEST(DrawCommands, LatePageValuesComeFromTheOwningPage) {
  auto* page = new TppPage(nullptr);
  page->SetPageNo(3);
  page->SetPageCount(9);
  auto* setDesc = Make<TppDrawVar>();
  setDesc->SetVarType(vtPageSetDesc);
  setDesc->SetPage(page);
  auto* clock = Make<TppDrawVar>();
  clock->SetText("08:00");
  clock->SetVarType(vtTime);
  clock->SetPage(page);
  auto* count = Make<TppDrawCalc>();
  count->SetCalcType(TppCalcType::ctPageCount);
  count->SetPage(page);
  auto* date = Make<TppDrawCalc>();
  date->SetText("2026/1/1");
  date->SetPage(page);
  EXPECT_FALSE(clock->NeedsPageValues());
  EXPECT_TRUE(date->NeedsPageValues());
  ASSERT_TRUE(page->HasPageValueCommands());
  page->UpdatePageValues(nullptr);
  EXPECT_EQ(setDesc->Text(), "Page 3 of 9");
  EXPECT_EQ(count->Text(), "9");
  EXPECT_EQ(clock->Text(), "08:00");
  EXPECT_FALSE(date->UpdatePageValues());
  EXPECT_EQ(date->Text(), "2026/1/1");
  count->SetCalcType(TppCalcType::ctPageSet);
  EXPECT_TRUE(count->UpdatePageValues());
  EXPECT_EQ(count->Text(), "3 of 9");
  // Without a page nothing changes.
  auto* loose = Make<TppDrawVar>();
  loose->SetVarType(vtPageNo);
  EXPECT_FALSE(loose->UpdatePageValues());
  loose->Free();
  page->Free();
}

TEST(DrawCommands, LookAheadValuesUntilTheyAreFinal) {
  auto* v = Make<TppDrawVariable>();
  EXPECT_FALSE(v->NeedsPageValues());
  v->SetLookAheadKey("Group1");
  v->SetLookAhead(true);
  ASSERT_NE(v->Listener(), nullptr);
  EXPECT_TRUE(v->Listener()->EventMask().Contains(ciLookAheadChange));
  EXPECT_TRUE(v->UpdatePageValues());
  v->LookAheadChange("Group1", 2, "120");
  v->LookAheadChange("Group1", 2, "999");  // not later
  v->LookAheadChange("Group1", 1, "888");
  EXPECT_EQ(v->Text(), "120");
  EXPECT_EQ(v->TraversalCount(), 2);

  // A copy listens where the source listens and keeps the newest value.
  auto* publisher = new TppCommunicator(nullptr);
  publisher->AddEventNotify(v->Listener());
  auto* copy = Make<TppDrawVariable>();
  copy->Assign(v);
  ASSERT_NE(copy->Listener(), v->Listener());
  EXPECT_EQ(publisher->EventNotifyCount(), 2);
  copy->LookAheadChange("Group1", 1, "old");
  EXPECT_EQ(copy->Text(), "120");
  copy->Free();
  EXPECT_EQ(publisher->EventNotifyCount(), 1);

  // Another key: final; no later value is taken.
  v->LookAheadChange("Group2", 5, "x");
  EXPECT_FALSE(v->UpdatePageValues());
  v->LookAheadChange("Group1", 9, "130");
  EXPECT_EQ(v->Text(), "120");
  v->SetLookAhead(false);
  EXPECT_EQ(v->Listener(), nullptr);
  EXPECT_EQ(publisher->EventNotifyCount(), 0);
  v->Free();
  publisher->Free();
}

TEST(DrawCommands, StreamValuesOutOfRangeAreKeptSafe) {
  auto* line = Make<TppDrawLine>();
  cls::SetFloatProp(line, "Weight", 1e300);
  EXPECT_EQ(line->Weight(), FLT_MAX);
  cls::SetFloatProp(line, "Weight", -1e300);
  EXPECT_EQ(line->Weight(), -FLT_MAX);
  cls::SetFloatProp(line, "Weight", std::nan(""));
  EXPECT_TRUE(std::isnan(line->Weight()));
  cls::SetOrdProp(line, "LinePosition", 2);
  cls::SetOrdProp(line, "LinePosition", 77);  // no such position
  cls::SetOrdProp(line, "LineStyle", -1);
  EXPECT_EQ(line->LinePosition(), lpLeft);
  EXPECT_EQ(line->LineStyle(), lsSingle);
  cls::SetOrdProp(line, "Left", INT32_MAX);
  cls::SetOrdProp(line, "Width", INT32_MAX);
  auto* other = Make<TppDrawLine>();
  other->Assign(line);
  EXPECT_TRUE(other->IsSameAs(line));
  // Owned objects are assigned, never taken over.
  gdi::TPen pen;
  pen.Width = 7;
  cls::SetObjectProp(line, "Pen", &pen);
  EXPECT_EQ(line->Pen()->Width, 7);
  EXPECT_NE(cls::GetObjectProp(line, "Pen"), &pen);
  cls::SetObjectProp(line, "Pen", nullptr);
  EXPECT_EQ(line->Pen()->Width, 7);
  other->Free();
  line->Free();
}

TEST(DrawCommands, ImagesGiveTheBitmapDevicesDraw) {
  auto* image = Make<TppDrawImage>();
  EXPECT_EQ(image->GetBitmapHandle(), nullptr);  // empty
  image->Picture()->Metafile();
  EXPECT_EQ(image->GetBitmapHandle(), nullptr);  // drawn as a metafile
  image->Picture()->Bitmap().SetSize(20, 10);
  EXPECT_EQ(image->GetBitmapHandle(), &image->Picture()->Bitmap());

  TSquare square(8);
  image->Picture()->SetGraphic(&square);
  gdi::TBitmap* made = image->GetBitmapHandle();
  ASSERT_NE(made, nullptr);
  EXPECT_EQ(made->Width(), 8);
  EXPECT_EQ(made->Pixels()[0] & 0xFFFFFF, 0u);
  EXPECT_EQ(image->GetBitmapHandle(), made);  // kept

  auto* copy = Make<TppDrawImage>();
  copy->Assign(image);
  gdi::TBitmap* own = copy->GetBitmapHandle();
  EXPECT_NE(own, made);  // its own, not the source's

  TSquare huge(1 << 20);
  image->Picture()->SetGraphic(&huge);
  EXPECT_EQ(image->GetBitmapHandle(), nullptr);  // the old one went with the picture
  copy->Free();
  image->Free();
}

TEST(DrawCommands, LookAheadValuesArriveInTheEventsParameters) {
  cls::Owned<TppDrawVariable> v(Make<TppDrawVariable>());
  v->SetLookAheadKey("Group1");
  v->SetLookAhead(true);
  TppCommunicator sender(nullptr);
  sender.AddEventNotify(v->Listener());
  std::string key = "Group1", text = "120";
  int32_t count = 2;
  cls::Owned<TraParamList> params(new TraParamList());
  params->AddParam("aLookAheadKey", daString);
  params->AddParam("aTraversalCount", daInteger);
  params->SetParamAddress("aLookAheadKey", &key);
  params->SetParamAddress("aTraversalCount", &count);
  // Without its text the event carries nothing to take.
  sender.SendEventNotify(&sender, ciLookAheadChange, params.get());
  EXPECT_EQ(v->Text(), "");
  params->AddParam("aText", daString);
  params->SetParamAddress("aText", &text);
  sender.SendEventNotify(&sender, ciLookAheadChange, params.get());
  EXPECT_EQ(v->Text(), "120");
  // The describing class of every text command is the text's.
  EXPECT_EQ(raGetRTTIClass(&TppDrawCalc::StaticClass()), &TraTppDrawTextRTTI::Instance());
  EXPECT_EQ(raGetRTTIClass(&TppDrawLine::StaticClass()), &TraTppDrawCommandRTTI::Instance());
  EXPECT_TRUE(TraTppDrawTextRTTI::Instance().SetPropValue(v.get(), "TextAlignment", TraEnumValue{taCentered}));
  EXPECT_EQ(v->Alignment(), cls::taCenter);
  sender.RemoveEventNotify(v->Listener());
}
