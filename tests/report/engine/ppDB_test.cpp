// Data pipelines over the list pipeline: ranges walked first to last, kept
// bookmarks, record flags and events, master/detail ranges with their
// refusals, fields and the pipeline list.
#include <gtest/gtest.h>

#include <algorithm>
#include <string>
#include <vector>

#include "platform/classes/sysutils.h"
#include "report/engine/ppDB.h"
#include "report/model/ppIntf.h"
#include "report/model/ppRTTI.h"
#include "tests/support/ppListPipeline.h"

namespace {

// Keeps the ids of the pipeline events it is sent, with their senders.
class TEventLog : public TppCommunicator {
  CLS_DECLARE_CLASS(TEventLog, TppCommunicator)
 public:
  TEventLog() : TppCommunicator(nullptr) {
    for (int id = ciPipelineRecordPositionChange; id <= ciPipelineClose; ++id) EventMask().Include(id);
    EventMask().Include(ciPipelineBeforeClose);
  }
  void EventNotify(TppCommunicator* sender, int eventId, TraParamList* params) override {
    TppCommunicator::EventNotify(sender, eventId, params);
    ids.push_back(eventId);
  }
  int Count(int id) const { return static_cast<int>(std::count(ids.begin(), ids.end(), id)); }
  std::vector<int> ids;
};
CLS_IMPLEMENT_CLASS(TEventLog)

using TValue = TppListPipeline::TValue;

// Records 1-10 in the integer field "No".
cls::Owned<TppListPipeline> Numbers(int count) {
  cls::Owned<TppListPipeline> p(new TppListPipeline(nullptr));
  p->AddField("No", dtInteger);
  for (int i = 1; i <= count; ++i) p->AddRecord({{"No", TValue(int64_t{i})}});
  p->Open();
  return p;
}

// TraverseFirst, then TraverseNext until EOF: the values of FIELD. A walk
// that does not end fails instead of hanging.
std::vector<std::string> Walk(TppDataPipeline* p, const std::string& field = "No") {
  std::vector<std::string> seen;
  p->TraverseFirst();
  while (!p->Eof()) {
    seen.push_back(p->GetFieldAsString(field));
    if (seen.size() > 100) {
      ADD_FAILURE() << "the walk does not end";
      break;
    }
    p->TraverseNext();
  }
  return seen;
}

std::vector<std::string> Texts(std::initializer_list<int> numbers) {
  std::vector<std::string> out;
  for (int n : numbers) out.push_back(std::to_string(n));
  return out;
}

}  // namespace

// ---- ranges ----

TEST(PipelineRange, EachRangeSettingWalksItsRecords) {
  auto p = Numbers(10);
  EXPECT_EQ(Walk(p.get()), Texts({1, 2, 3, 4, 5, 6, 7, 8, 9, 10}));
  EXPECT_TRUE(p->LastRecord());
  EXPECT_EQ(p->TraversalCount(), 10);

  p->SetRangeBegin(rbLastRecord);
  p->SetRangeEnd(reFirstRecord);
  p->SetStep(-1);
  EXPECT_EQ(Walk(p.get()), Texts({10, 9, 8, 7, 6, 5, 4, 3, 2, 1}));

  p->SetRangeBegin(rbFirstRecord);
  p->SetRangeEnd(reCount);
  p->SetRangeEndCount(3);
  p->SetStep(1);
  EXPECT_EQ(Walk(p.get()), Texts({1, 2, 3}));
  p->TraverseLast();
  EXPECT_EQ(p->TraversalCount(), 3);
  EXPECT_TRUE(p->LastRecord());
  // A negative count used to step forever; it ends the range at once.
  p->SetRangeEndCount(-1);
  p->TraverseLast();
  EXPECT_EQ(p->TraversalCount(), 0);
  EXPECT_TRUE(Walk(p.get()).empty());
  // A count past the data ends with the data.
  p->SetRangeEndCount(50);
  p->TraverseLast();
  EXPECT_EQ(p->TraversalCount(), 10);
}

TEST(PipelineRange, CurrentRecordBookmarkBoundsTheRange) {
  auto p = Numbers(10);
  p->TraverseFirst();
  for (int i = 0; i < 3; ++i) p->TraverseNext();
  TppBookmark four = p->GetBookmark();
  p->SetCurrentRecordBookmark(four);

  p->SetRangeBegin(rbCurrentRecord);
  EXPECT_EQ(Walk(p.get()), Texts({4, 5, 6, 7, 8, 9, 10}));
  p->SetRangeBegin(rbFirstRecord);
  p->SetRangeEnd(reCurrentRecord);
  EXPECT_EQ(Walk(p.get()), Texts({1, 2, 3, 4}));
  p->SetRangeBegin(rbCurrentRecord);
  EXPECT_EQ(Walk(p.get()), Texts({4}));
  // Backwards from the last record down to the current one.
  p->SetRangeBegin(rbLastRecord);
  p->SetStep(-1);
  EXPECT_EQ(Walk(p.get()), Texts({10, 9, 8, 7, 6, 5, 4}));
  p->FreeBookmark(four);
  EXPECT_EQ(p->BookmarksOut(), 0);
}

TEST(PipelineRange, StepZeroEndsAfterOneStep) {
  auto p = Numbers(5);
  p->SetStep(0);
  for (TppRangeEndType end : {reFirstRecord, reLastRecord, reCurrentRecord}) {
    p->SetRangeEnd(end);
    EXPECT_EQ(Walk(p.get()).size(), 1u) << static_cast<int>(end);
  }
  p->SetRangeEnd(reCount);
  p->SetRangeEndCount(3);
  EXPECT_EQ(Walk(p.get()), Texts({1, 1, 1}));
}

TEST(PipelineRange, KeptBookmarksAreWalkedInTheirOrderAndFreed) {
  auto p = Numbers(10);
  std::vector<TppBookmark> marks;
  for (int n : {7, 2, 9}) {
    p->TraverseFirst();
    for (int i = 1; i < n; ++i) p->TraverseNext();
    marks.push_back(p->GetBookmark());
  }
  for (TppBookmark b : marks) p->AddBookmark(b);
  EXPECT_EQ(Walk(p.get()), Texts({7, 2, 9}));
  p->TraverseLast();
  EXPECT_EQ(p->GetFieldAsString("No"), "9");
  p->TraversePrior();
  EXPECT_EQ(p->GetFieldAsString("No"), "2");
  p->TraversePrior();
  EXPECT_TRUE(p->Bof());
  EXPECT_EQ(p->BookmarksOut(), 3);
  p->ClearBookmarkList();
  EXPECT_EQ(p->BookmarksOut(), 0);
  EXPECT_EQ(Walk(p.get()).size(), 10u);
}

TEST(PipelineRange, PriorStepsBackToTheFirstRecordAndNoFurther) {
  auto p = Numbers(3);
  p->TraverseFirst();
  EXPECT_TRUE(p->FirstRecord());
  p->TraverseNext();
  p->TraverseNext();
  p->TraversePrior();
  EXPECT_EQ(p->GetFieldAsString("No"), "2");
  EXPECT_FALSE(p->FirstRecord());
  p->TraversePrior();
  p->TraversePrior();
  EXPECT_TRUE(p->Bof());
  EXPECT_TRUE(p->FirstRecord());
  EXPECT_EQ(p->GetFieldAsString("No"), "1");
}

// ---- flags and events ----

TEST(PipelineEvents, AnEmptyPipelineHasNoRecordsAndStillSendsFirst) {
  auto p = Numbers(0);
  EXPECT_TRUE(p->NoRecords());
  TEventLog log;
  p->AddEventNotify(&log);
  p->TraverseFirst();
  EXPECT_TRUE(p->NoRecords());
  EXPECT_TRUE(p->Eof());
  EXPECT_EQ(log.Count(ciPipelineFirst), 1);
  p->TraverseNext();
  EXPECT_TRUE(p->NoRecords());
  EXPECT_EQ(log.Count(ciPipelineNext), 1);
  // A pipeline that is not open has no records to walk either.
  cls::Owned<TppDataPipeline> base(new TppDataPipeline(nullptr));
  base->Open();
  EXPECT_FALSE(base->Active());
  EXPECT_TRUE(Walk(base.get()).empty());
}

TEST(PipelineEvents, StepsSendTheirEventsInOrder) {
  auto p = Numbers(2);
  TEventLog log;
  p->AddEventNotify(&log);
  int positions = 0;
  struct Count {
    int* n;
    void Hit(cls::TObject*) { ++*n; }
  } counter{&positions};
  p->OnRecordPositionChange = cls::TNotifyEvent(&counter, &Count::Hit);
  p->TraverseFirst();
  p->TraverseNext();
  p->TraverseNext();  // steps past the last record
  p->TraverseNext();  // at the end: no step
  p->TraverseLast();
  p->TraversePrior();
  EXPECT_EQ(log.ids, (std::vector<int>{37, 42, 37, 43, 37, 43, 43, 37, 45, 37, 44}));
  EXPECT_EQ(positions, 5);
  log.ids.clear();
  p->Close();
  EXPECT_EQ(log.ids, (std::vector<int>{ciPipelineBeforeClose, ciPipelineDataChange, ciPipelineClose}));
  EXPECT_EQ(p->RecordFlags(), 0);
  log.ids.clear();
  p->Open();
  EXPECT_EQ(log.ids, (std::vector<int>{ciPipelineOpen}));
  p->OnRecordPositionChange = cls::TNotifyEvent();
}

TEST(PipelineEvents, TheTableInterfaceWalksTheRange) {
  auto p = Numbers(3);
  p->Close();
  IppDataTable* table = p.get();
  EXPECT_FALSE(table->Active());
  table->Open();
  std::vector<std::string> seen;
  for (table->First(); !table->Eof(); table->Next()) seen.push_back(table->GetFieldAsString("no"));
  EXPECT_EQ(seen, Texts({1, 2, 3}));
}

// ---- master and detail ----

namespace {

struct MasterDetail : ::testing::Test {
  void SetUp() override {
    master.reset(new TppListPipeline(nullptr));
    master->AddField("Id", dtInteger);
    for (int i = 1; i <= 4; ++i) master->AddRecord({{"Id", TValue(int64_t{i})}});
    detail.reset(new TppListPipeline(nullptr));
    detail->AddField("MasterId", dtInteger);
    detail->AddField("Item");
    for (auto [id, item] : std::vector<std::pair<int, std::string>>{{4, "d"}, {1, "a"}, {3, "c"}, {1, "b"}, {4, "e"}})
      detail->AddRecord({{"MasterId", TValue(int64_t{id})}, {"Item", TValue(item)}});
    link = new TppMasterFieldLink(nullptr);
    link->SetMasterFieldName("Id");
    link->SetDetailFieldName("MasterId");
    link->SetParent(detail.get());
    detail->SetMasterDataPipeline(master.get());
    master->Open();
    detail->Open();
  }
  // (master detail...) for every master record of the walk.
  std::string Run() {
    std::string out;
    master->TraverseFirst();
    for (int guard = 0; !master->Eof() && guard < 20; ++guard) {
      out += "(" + master->GetFieldAsString("Id");
      for (const std::string& item : Walk(detail.get(), "Item")) out += " " + item;
      out += ")";
      master->TraverseNext();
    }
    return out;
  }
  cls::Owned<TppListPipeline> master, detail;
  TppMasterFieldLink* link = nullptr;
};

}  // namespace

TEST_F(MasterDetail, DetailRangeFollowsTheMasterRecord) {
  // The detail's data order is d, a, c, b, e.
  EXPECT_EQ(Run(), "(1 a b)(3 c)(4 d e)");
  detail->SetSkipWhenNoRecords(false);
  EXPECT_EQ(Run(), "(1 a b)(2)(3 c)(4 d e)");
  // The link range holds the detail's bookmarks; a close gives them back.
  master->TraverseFirst();
  EXPECT_EQ(detail->LinkRange().size(), 2u);
  detail->Close();
  EXPECT_EQ(detail->BookmarksOut(), 0);
}

TEST_F(MasterDetail, MasterSendsItsEventsToTheDetail) {
  ASSERT_EQ(master->EventNotifyCount(), 1);
  EXPECT_EQ(master->GetEventNotify(0), detail.get());
  ASSERT_EQ(master->DetailCount(), 1);
  TEventLog log;
  detail->AddEventNotify(&log);
  master->TraverseFirst();
  // The detail's range is rebuilt (38), and its record moved (37).
  EXPECT_EQ(log.ids, (std::vector<int>{ciPipelineMasterRecordPositionChange, ciPipelineRecordPositionChange}));
  // Master 2 has no detail record: NoRecords, never all the data.
  detail->SetSkipWhenNoRecords(false);
  master->TraverseNext();
  EXPECT_EQ(master->GetFieldAsString("Id"), "2");
  EXPECT_TRUE(detail->NoRecords());
  EXPECT_TRUE(Walk(detail.get(), "Item").empty());
}

TEST_F(MasterDetail, LinksIgnoreCaseUnlessCaseSensitive) {
  master->Close();
  detail->Close();
  cls::Owned<TppListPipeline> m(new TppListPipeline(nullptr));
  m->AddField("Code");
  m->AddRecord({{"Code", TValue(std::string("ab"))}});
  m->AddRecord({{"Code", TValue()}});
  cls::Owned<TppListPipeline> d(new TppListPipeline(nullptr));
  d->AddField("Code");
  d->AddField("Item");
  d->AddRecord({{"Code", TValue(std::string("AB"))}, {"Item", TValue(std::string("x"))}});
  d->AddRecord({{"Code", TValue()}, {"Item", TValue(std::string("null"))}});
  link->SetMasterFieldName("Code");
  link->SetDetailFieldName("Code");
  link->SetParent(d.get());
  d->SetMasterDataPipeline(m.get());
  d->SetSkipWhenNoRecords(false);
  m->Open();
  d->Open();
  m->TraverseFirst();
  EXPECT_EQ(Walk(d.get(), "Item"), std::vector<std::string>{"x"});
  // A null key links no record.
  m->TraverseNext();
  EXPECT_TRUE(d->NoRecords());
  link->SetIsCaseSensitive(true);
  m->TraverseFirst();
  EXPECT_TRUE(d->NoRecords());
  d->SetMasterDataPipeline(nullptr);
}

TEST_F(MasterDetail, MasterThatIsADetailAtAnyDepthIsRefused) {
  cls::Owned<TppListPipeline> grandDetail(new TppListPipeline(nullptr));
  grandDetail->SetMasterDataPipeline(detail.get());
  master->SetMasterDataPipeline(grandDetail.get());
  EXPECT_EQ(master->MasterDataPipeline(), nullptr);
  master->SetMasterDataPipeline(master.get());
  EXPECT_EQ(master->MasterDataPipeline(), nullptr);
  detail->SetMasterDataPipeline(grandDetail.get());
  EXPECT_EQ(detail->MasterDataPipeline(), master.get());
  grandDetail->SetMasterDataPipeline(nullptr);
}

TEST_F(MasterDetail, FreedMasterClearsTheDetails) {
  master.reset();
  EXPECT_EQ(detail->MasterDataPipeline(), nullptr);
  // Without a master the detail walks all its data.
  EXPECT_EQ(Walk(detail.get(), "Item").size(), 5u);
  EXPECT_EQ(detail->BookmarksOut(), 0);
}

TEST_F(MasterDetail, StreamedMasterNameIsResolvedFromTheList) {
  master->SetName("Orders");
  detail->SetMasterDataPipeline(nullptr);
  cls::Owned<TppListPipeline> loaded(new TppListPipeline(nullptr));
  loaded->SetName("Items");
  TppDataPipelineList list;
  list.AddPipeline(master.get());
  list.AddPipeline(loaded.get());
  EXPECT_EQ(list.FindPipelineByName("oRDERS"), master.get());
  EXPECT_EQ(list.FindPipelineByName("none"), nullptr);
  EXPECT_EQ(list.GetPipeline(1), loaded.get());
  EXPECT_EQ(list.GetPipeline(2), nullptr);
  detail->SetMasterDataPipeline(master.get());
  EXPECT_EQ(detail->MasterDataPipelineName(), "Orders");
}

// ---- fields ----

TEST(PipelineFields, TypedValuesAreTextByTheirTypeAndNullsAreEmpty) {
  cls::Owned<TppListPipeline> p(new TppListPipeline(nullptr));
  p->AddField("Count", dtInteger);
  p->AddField("Price", dtDouble);
  p->AddField("Paid", dtBoolean);
  p->AddField("Day", dtDate)->SetFieldAlias("Date of sale");
  p->AddField("Note");
  p->AddRecord({{"Count", TValue(int64_t{12})},
                {"Price", TValue(12.5)},
                {"Paid", TValue(true)},
                {"Day", TValue(46000.0)},
                {"Note", TValue()}});
  p->Open();
  p->TraverseFirst();
  EXPECT_EQ(p->GetFieldAsString("count"), "12");
  EXPECT_EQ(p->GetFieldAsString("Price"), "12.5");
  EXPECT_EQ(p->GetFieldAsString("Paid"), "True");
  EXPECT_EQ(p->GetFieldAsString("Day"), "2025/12/9");
  EXPECT_EQ(p->GetFieldAsString("Note"), "");
  EXPECT_TRUE(p->GetFieldForName("note")->IsNull());
  EXPECT_FALSE(p->GetFieldForName("Price")->IsNull());
  EXPECT_DOUBLE_EQ(p->GetFieldForName("Price")->AsDouble(), 12.5);
  EXPECT_EQ(p->GetFieldDataType("DAY"), dtDate);
  EXPECT_EQ(p->GetFieldDataType("Missing"), dtNotKnown);
  EXPECT_EQ(p->GetFieldDisplayName("Day"), "Date of sale");
  EXPECT_EQ(p->GetFieldDisplayName("Note"), "Note");
  EXPECT_EQ(p->IndexOfFieldName("PAID"), 2);
  EXPECT_EQ(p->IndexOfFieldName("Missing"), -1);
  EXPECT_FALSE(p->CheckFieldName("Missing"));
  // A missing field and a closed pipeline give nothing.
  EXPECT_EQ(p->GetFieldAsString("Missing"), "");
  p->Close();
  EXPECT_EQ(p->GetFieldAsString("Count"), "");
}

TEST(PipelineFields, DataTypeThePipelineCannotKeepIsRefused) {
  cls::Owned<TppListPipeline> p(new TppListPipeline(nullptr));
  TppField* f = p->AddField("Picture", dtString);
  try {
    f->SetDataType(dtGraphic);
    FAIL() << "no error";
  } catch (const EInvalidPropertyError& e) {
    EXPECT_EQ(e.Message(), "DataType not supported by TppListPipeline");
  }
  EXPECT_EQ(f->DataType(), dtString);
  // A field of no pipeline takes any type.
  cls::Owned<TppField> loose(new TppField(nullptr));
  loose->SetDataType(dtGraphic);
  EXPECT_EQ(loose->DataType(), dtGraphic);
}

// ---- scripting ----

TEST(PipelineScripting, PipelineEventsAndFieldValuesByName) {
  const TraRTTI* rtti = raGetRTTIClass(&TppListPipeline::StaticClass());
  ASSERT_NE(rtti, nullptr);
  EXPECT_EQ(rtti->ClassType()->Name, "TraTppDataPipelineRTTI");
  cls::TStringList events;
  rtti->GetEventList(&events);
  for (int id = ciPipelineRecordPositionChange; id <= ciPipelineClose; ++id) {
    TraPropRec rec;
    ASSERT_TRUE(rtti->GetPropRec(ppEventName(id), rec)) << id;
    EXPECT_EQ(rec.EventId, id);
    EXPECT_GE(events.IndexOf(ppEventName(id)), 0) << id;
  }

  cls::Owned<TppListPipeline> p(new TppListPipeline(nullptr));
  TppField* price = p->AddField("Price", dtCurrency);
  TppField* day = p->AddField("Day", dtDate);
  p->AddRecord({{"Price", TValue(12.5)}, {"Day", TValue()}});
  p->Open();
  p->TraverseFirst();
  TraValue v;
  ASSERT_TRUE(raGetPropValue(price, "asstring", v));
  EXPECT_EQ(std::get<std::string>(v), "12.5");
  ASSERT_TRUE(raGetPropValue(price, "Value", v));
  EXPECT_DOUBLE_EQ(std::get<cls::Variant>(v).AsDouble(), 12.5);
  ASSERT_TRUE(raGetPropValue(day, "IsNull", v));
  EXPECT_TRUE(std::get<bool>(v));
  ASSERT_TRUE(raGetPropValue(day, "Value", v));
  EXPECT_TRUE(std::get<cls::Variant>(v).IsNull());
  ASSERT_TRUE(raGetPropValue(day, "DataPipeline", v));
  EXPECT_EQ(std::get<cls::TObject*>(v), p.get());
  // Read-only values refuse a write; published ones take it.
  EXPECT_FALSE(raSetPropValue(price, "AsString", TraValue(std::string("1"))));
  EXPECT_TRUE(raSetPropValue(price, "FieldAlias", TraValue(std::string("Amount"))));
  EXPECT_EQ(p->GetFieldDisplayName("Price"), "Amount");
}
