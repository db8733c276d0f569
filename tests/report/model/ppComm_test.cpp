#include <gtest/gtest.h>

#include <functional>
#include <set>
#include <string>
#include <vector>

#include "platform/classes/typinfo.h"
#include "report/model/ppComm.h"
#include "report/model/ppRelatv.h"

namespace {

// A communicator that logs what reaches it and can run code on receipt.
class TppProbe : public TppCommunicator {
  CLS_DECLARE_CLASS(TppProbe, TppCommunicator)
 public:
  explicit TppProbe(cls::TComponent* owner, std::string label = {}) : TppCommunicator(owner), label_(std::move(label)) {}
  void Notify(TppCommunicator* c, uint8_t op) override {
    auto* probe = cls::ObjectAs<TppProbe>(c);
    if (log) log->push_back(label_ + ":notify " + std::to_string(op) + " from " + (probe ? probe->label_ : c->ClassName()));
    if (onNotify) onNotify(c, op);
    inherited::Notify(c, op);
  }
  void EventNotify(TppCommunicator* sender, int id, TraParamList* params) override {
    if (log) log->push_back(label_ + ":event " + std::to_string(id));
    if (onEvent) onEvent(id);
    inherited::EventNotify(sender, id, params);
  }
  void GetEventNotifySortKey(std::string& key) override { key = sortKey; }
  void StateChanged(uint16_t flags) override { stateChanges.push_back(flags); }

  std::string label_;
  std::vector<std::string>* log = nullptr;
  std::function<void(TppCommunicator*, uint8_t)> onNotify;
  std::function<void(int)> onEvent;
  std::string sortKey;
  std::vector<uint16_t> stateChanges;
};
CLS_IMPLEMENT_COMPONENT(TppProbe)

class TppLabel : public TppCommunicator {
  CLS_DECLARE_CLASS(TppLabel, TppCommunicator)
 public:
  using TppCommunicator::TppCommunicator;
};
CLS_IMPLEMENT_COMPONENT(TppLabel)

class TppDBText : public TppCommunicator {
  CLS_DECLARE_CLASS(TppDBText, TppCommunicator)
 public:
  using TppCommunicator::TppCommunicator;
};
CLS_IMPLEMENT_COMPONENT(TppDBText)

TEST(Links, SymmetricAndReleasedWhenEmpty) {
  auto* a = new TppProbe(nullptr, "a");
  auto* b = new TppProbe(nullptr, "b");
  a->AddNotify(b);
  a->AddNotify(b);
  b->AddNotify(a);
  a->AddNotify(a);
  a->AddNotify(nullptr);
  EXPECT_EQ(a->NotifyCount(), 1);
  EXPECT_EQ(b->GetNotify(0), a);
  b->RemoveNotify(a);
  EXPECT_EQ(a->NotifyCount(), 0);
  EXPECT_EQ(b->NotifyCount(), 0);
  EXPECT_EQ(a->GetNotify(0), nullptr);
  a->RemoveNotify(b);  // not linked: nothing
  a->Free();
  b->Free();
}

TEST(Links, FreeingTellsEveryLinkedObjectLastFirst) {
  std::vector<std::string> log;
  auto* a = new TppProbe(nullptr, "a");
  auto* b = new TppProbe(nullptr, "b");
  auto* c = new TppProbe(nullptr, "c");
  b->log = c->log = &log;
  a->AddNotify(b);
  a->AddNotify(c);
  uint8_t seenOp = 255;
  b->SetOnNotify(TppNotifyEvent(&seenOp, [](void* d, cls::TObject*, TppCommunicator*, uint8_t op) {
    *static_cast<uint8_t*>(d) = op;
  }));
  a->Free();
  EXPECT_EQ(log, (std::vector<std::string>{"c:notify 0 from a", "b:notify 0 from a"}));
  EXPECT_EQ(seenOp, 0);
  EXPECT_EQ(b->NotifyCount(), 0);
  EXPECT_EQ(c->NotifyCount(), 0);
  b->Free();
  c->Free();
}

TEST(Links, SendNotifySurvivesReceiversChangingTheList) {
  std::vector<std::string> log;
  auto* hub = new TppProbe(nullptr, "hub");
  std::vector<TppProbe*> p;
  for (const char* n : {"p0", "p1", "p2", "p3"}) {
    p.push_back(new TppProbe(nullptr, n));
    p.back()->log = &log;
    hub->AddNotify(p.back());
  }
  // p3 frees p1 and p0 unlinks itself when told; p2 links a newcomer.
  auto* late = new TppProbe(nullptr, "late");
  late->log = &log;
  p[3]->onNotify = [&](TppCommunicator*, uint8_t) {
    p[1]->Free();
    p[1] = nullptr;
  };
  p[2]->onNotify = [&](TppCommunicator*, uint8_t) { hub->AddNotify(late); };
  hub->SendNotify(hub, ppopDataChange);
  EXPECT_EQ(log, (std::vector<std::string>{"p3:notify 2 from hub", "p2:notify 2 from hub", "p0:notify 2 from hub"}));
  // Freeing the hub reaches the newcomer too and leaves no link behind.
  p[3]->onNotify = nullptr;
  p[2]->onNotify = nullptr;
  hub->Free();
  for (TppProbe* q : {p[0], p[2], p[3], late}) {
    EXPECT_EQ(q->NotifyCount(), 0);
    q->Free();
  }
}

TEST(Links, ReceiverMayFreeTheSenderDuringDelivery) {
  // Notices and events stop at once when the object sending them is freed
  // by one of its receivers; the others learn of it by the free notice.
  for (int kind = 0; kind < 2; ++kind) {
    std::vector<std::string> log;
    auto* hub = new TppProbe(nullptr, "hub");
    auto* a = new TppProbe(nullptr, "a");
    auto* b = new TppProbe(nullptr, "b");
    for (TppProbe* q : {a, b}) {
      q->log = &log;
      q->EventMask().Include(9);
    }
    if (kind == 0) {
      hub->AddNotify(a);
      hub->AddNotify(b);
      b->onNotify = [&](TppCommunicator*, uint8_t op) {
        if (op == ppopDataChange) hub->Free();
      };
      hub->SendNotify(hub, ppopDataChange);
      EXPECT_EQ(log, (std::vector<std::string>{"b:notify 2 from hub", "b:notify 0 from hub", "a:notify 0 from hub"}));
    } else {
      hub->AddEventNotify(a);
      hub->AddEventNotify(b);
      a->onEvent = [&](int) { hub->Free(); };
      hub->SendEventNotify(hub, 9, nullptr);
      EXPECT_EQ(log, (std::vector<std::string>{"a:event 9", "b:notify 0 from hub", "a:notify 0 from hub"}));
    }
    EXPECT_EQ(a->NotifyCount() + b->NotifyCount(), 0);
    a->Free();
    b->Free();
  }
}

TEST(Links, ReceiverThatLinksDuringFreeDoesNotDangle) {
  auto* a = new TppProbe(nullptr, "a");
  auto* b = new TppProbe(nullptr, "b");
  a->AddNotify(b);
  b->onNotify = [&](TppCommunicator* c, uint8_t op) {
    if (op == ppopRemove) c->AddNotify(b);  // links again to the dying object
  };
  a->Free();
  EXPECT_EQ(b->NotifyCount(), 0);
  b->Free();
}

TEST(UserName, Rules) {
  auto* owner = new cls::TComponent(nullptr);
  auto* l1 = new TppLabel(owner);
  auto* l2 = new TppLabel(owner);
  auto* other = new TppLabel(owner);
  auto* listener = new TppProbe(nullptr, "listener");
  std::vector<std::string> log;
  listener->log = &log;
  other->AddNotify(listener);
  l1->SetUserName("Label1");
  l2->SetUserName("Label");
  other->SetUserName("Label1");  // taken, ends in a digit: ignored
  EXPECT_EQ(other->UserName(), "");
  EXPECT_TRUE(log.empty());
  other->SetUserName("label");   // taken by l2: Label1 taken too, so label2
  EXPECT_EQ(other->UserName(), "label2");
  EXPECT_EQ(log, (std::vector<std::string>{"listener:notify 3 from TppLabel"}));
  other->SetUserName("1abc");
  other->SetUserName("");
  other->SetUserName("a b");
  EXPECT_EQ(other->UserName(), "label2");
  EXPECT_TRUE(other->IsValidUserName("Label2"));  // its own
  EXPECT_FALSE(other->IsValidUserName("LABEL"));
  EXPECT_EQ(l2->FindUserName("LABEL1"), l1);
  EXPECT_EQ(l2->FindUserName("none"), nullptr);
  // Without an owner nothing is found.
  auto* lone = new TppLabel(nullptr);
  EXPECT_EQ(lone->FindUserName("Label"), nullptr);
  lone->Free();
  listener->Free();
  owner->Free();
}

TEST(UserName, TakenEndingsSkipToTheFirstFree) {
  auto* owner = new cls::TComponent(nullptr);
  std::vector<TppLabel*> l;
  for (const char* n : {"Label", "Label1", "Label2"}) {
    l.push_back(new TppLabel(owner));
    l.back()->SetUserName(n);
  }
  auto* x = new TppLabel(owner);
  x->SetUserName("Label");
  EXPECT_EQ(x->UserName(), "Label3");
  owner->Free();
}

TEST(UserName, DefaultsFollowTheComponentName) {
  auto* owner = new cls::TComponent(nullptr);
  auto* t = new TppDBText(owner);
  t->SetName("ppDBText3");
  EXPECT_EQ(t->UserName(), "DBText3");
  EXPECT_EQ(t->GetDefaultUserName(), "DBText3");
  auto* u = new TppDBText(owner);
  u->SetName("Text3");
  EXPECT_EQ(u->UserName(), "Text3");

  // A customised user name stays; NameChanged still goes out.
  auto* watcher = new TppProbe(nullptr, "w");
  std::vector<std::string> log;
  watcher->log = &log;
  watcher->EventMask().Include(ciNameChanged);
  t->AddEventNotify(watcher);
  t->SetUserName("Amount");
  t->SetName("ppDBText9");
  EXPECT_EQ(t->UserName(), "Amount");
  EXPECT_EQ(log, (std::vector<std::string>{"w:notify 3 from TppDBText", "w:event 111"}));
  // One that follows the name changes with it.
  u->SetName("Text4");
  EXPECT_EQ(u->UserName(), "Text4");

  // While loading nothing follows and nothing is sent, unless flag 32 is set.
  log.clear();
  u->BeginLoading();
  u->SetName("Text5");
  EXPECT_EQ(u->UserName(), "Text4");
  u->FinishLoading();
  auto* w = new TppDBText(owner);
  w->SetName("Text6");
  w->BeginLoading();
  w->SetStateFlags(pstRenameWhileReading);
  w->SetName("Text7");
  EXPECT_EQ(w->UserName(), "Text7");
  w->FinishLoading();

  // A default that is taken gets a unique one.
  auto* v = new TppDBText(owner);
  v->SetName("ppText7");  // default Text7 belongs to w
  EXPECT_EQ(v->UserName(), "DBText1");
  watcher->Free();
  owner->Free();
}

TEST(UserName, UniqueNamesForNewComponents) {
  auto* owner = new cls::TComponent(nullptr);
  auto* a = new TppLabel(owner);
  std::string name;
  a->MakeUniqueName(a, name);
  EXPECT_EQ(name, "ppLabel1");
  a->SetName(name);
  auto* b = new TppLabel(owner);
  b->MakeUniqueName(b, name);
  EXPECT_EQ(name, "ppLabel2");
  b->MakeUniqueUserName(b, name);
  EXPECT_EQ(name, "Label2");  // a took Label1 with its name
  owner->Free();
}

TEST(UserName, ChangeOwnerKeepsUserNamesUnique) {
  auto* o1 = new cls::TComponent(nullptr);
  auto* o2 = new cls::TComponent(nullptr);
  auto* a = new TppLabel(o1);
  auto* b = new TppLabel(o2);
  a->SetUserName("Label1");
  b->SetUserName("Label1");
  auto* listener = new TppProbe(nullptr, "l");
  std::vector<std::string> log;
  listener->log = &log;
  a->AddNotify(listener);
  a->ChangeOwner(o2);
  EXPECT_EQ(a->Owner(), o2);
  EXPECT_EQ(o1->ComponentCount(), 0);
  EXPECT_EQ(a->UserName(), "Label2");
  EXPECT_TRUE(log.empty());  // stored without a notice
  // A component name clash refuses the move before anything changes.
  auto* c = new TppLabel(o1);
  c->SetName("Twin");
  b->SetName("Twin");
  EXPECT_THROW(c->ChangeOwner(o2), cls::EComponentError);
  EXPECT_EQ(c->Owner(), o1);
  listener->Free();
  o1->Free();
  o2->Free();
}

TEST(UserName, LoadedGivesADefaultWhenUserNameIsPublished) {
  cls::PublishProperty(TppLabel::StaticClass(),
                       cls::StrProperty<TppLabel>("UserName", &TppLabel::UserName, &TppLabel::SetUserName));
  auto* owner = new cls::TComponent(nullptr);
  auto* a = new TppLabel(owner);
  a->BeginLoading();
  a->SetName("ppLabel7");
  EXPECT_EQ(a->UserName(), "");
  a->FinishLoading();
  EXPECT_EQ(a->UserName(), "Label7");
  owner->Free();
}

TEST(State, FlagsCallTheHookOnlyOnChange) {
  auto* p = new TppProbe(nullptr);
  p->SetStateFlags(1 | 32);
  p->SetStateFlags(1);
  p->ClearStateFlags(128);
  p->ClearStateFlags(1 | 128);
  EXPECT_EQ(p->stateChanges, (std::vector<uint16_t>{33, 129}));
  EXPECT_EQ(p->StateFlags(), 32);
  void* obj = p;
  EXPECT_EQ(p->QueryInterface("{00000000-0000-0000-C000-000000000046}", &obj), E_NOINTERFACE_CODE);
  EXPECT_EQ(obj, nullptr);
  EXPECT_EQ(p->AddRef(), -1);
  p->Free();
}

class Events : public ::testing::Test {
 protected:
  TppProbe* Sub(const std::string& label, std::initializer_list<int> ids) {
    auto* s = new TppProbe(nullptr, label);
    s->log = &log;
    for (int id : ids) s->EventMask().Include(id);
    subs.push_back(s);
    return s;
  }
  void TearDown() override {
    for (TppProbe* s : subs)
      if (s) s->Free();
    if (pub) pub->Free();
  }
  TppProbe* pub = new TppProbe(nullptr, "pub");
  std::vector<TppProbe*> subs;
  std::vector<std::string> log;
};

TEST_F(Events, MaskAndRange) {
  auto* a = Sub("a", {21});
  auto* b = Sub("b", {17, 21});
  pub->AddEventNotify(a);
  pub->AddEventNotify(b);
  pub->AddEventNotify(a);
  EXPECT_EQ(pub->EventNotifyCount(), 2);
  EXPECT_EQ(pub->NotifyCount(), 2);  // linked both ways
  pub->SendEventNotify(pub, 17, nullptr);
  pub->SendEventNotify(pub, 21, nullptr);
  pub->SendEventNotify(pub, 256, nullptr);
  pub->SendEventNotify(pub, -1, nullptr);
  EXPECT_EQ(log, (std::vector<std::string>{"b:event 17", "a:event 21", "b:event 21"}));
  EXPECT_TRUE(pub->HasEventNotify(17));
  EXPECT_FALSE(pub->HasEventNotify(48));
  EXPECT_FALSE(pub->HasEventNotify(256));
  int seen = -1;
  a->SetOnEventNotify(TppEventNotifyEvent(&seen, [](void* d, cls::TObject*, TppCommunicator*, int id, TraParamList*) {
    *static_cast<int*>(d) = id;
  }));
  pub->SendEventNotify(pub, 21, nullptr);
  EXPECT_EQ(seen, 21);
  pub->RemoveEventNotify(a);
  EXPECT_EQ(pub->EventNotifyCount(), 1);
  EXPECT_EQ(a->NotifyCount(), 0);
}

TEST_F(Events, SelfRemovalDoesNotSkipTheNext) {
  auto* a = Sub("a", {5});
  auto* b = Sub("b", {5});
  auto* c = Sub("c", {5});
  for (auto* s : {a, b, c}) pub->AddEventNotify(s);
  a->onEvent = [&](int) { pub->RemoveEventNotify(a); };
  pub->SendEventNotify(pub, 5, nullptr);
  EXPECT_EQ(log, (std::vector<std::string>{"a:event 5", "b:event 5", "c:event 5"}));
}

TEST_F(Events, RemovingOthersAndAddingNeverDeliversTwice) {
  auto* a = Sub("a", {5});
  auto* b = Sub("b", {5});
  auto* c = Sub("c", {5});
  auto* d = Sub("d", {5});
  for (auto* s : {a, b, c, d}) pub->AddEventNotify(s);
  // b removes a (already served) and c (not yet), then adds a again and a newcomer.
  auto* n = Sub("n", {5});
  b->onEvent = [&](int) {
    pub->RemoveEventNotify(a);
    pub->RemoveEventNotify(c);
    pub->AddEventNotify(a);
    pub->AddEventNotify(n);
  };
  pub->SendEventNotify(pub, 5, nullptr);
  EXPECT_EQ(log, (std::vector<std::string>{"a:event 5", "b:event 5", "d:event 5"}));
  // A subscriber that keeps adding newcomers does not keep the broadcast going.
  log.clear();
  b->onEvent = [&](int) { pub->AddEventNotify(Sub("x", {5})); };
  pub->SendEventNotify(pub, 5, nullptr);
  EXPECT_EQ(log.size(), 4u);  // b, d, a, n
}

// A subscriber made in the very place of one just freed, as an allocator may
// do: it is a newcomer all the same.
class TppRecycled : public TppProbe {
  CLS_DECLARE_CLASS(TppRecycled, TppProbe)
 public:
  using TppProbe::TppProbe;
  static void* operator new(size_t size) {
    EXPECT_LE(size, sizeof(slot));
    return slot;
  }
  static void operator delete(void*) {}
  alignas(std::max_align_t) static inline unsigned char slot[1024];
};
CLS_IMPLEMENT_CLASS(TppRecycled)

TEST_F(Events, NewcomerAtAFreedSubscribersAddressWaits) {
  auto* a = Sub("a", {5});
  auto* b = new TppRecycled(nullptr, "b");
  b->log = &log;
  b->EventMask().Include(5);
  pub->AddEventNotify(a);
  pub->AddEventNotify(b);
  TppRecycled* late = nullptr;
  a->onEvent = [&](int) {
    b->Free();
    late = new TppRecycled(nullptr, "late");
    ASSERT_EQ(static_cast<void*>(late), static_cast<void*>(b));
    late->log = &log;
    late->EventMask().Include(5);
    pub->AddEventNotify(late);
  };
  pub->SendEventNotify(pub, 5, nullptr);
  EXPECT_EQ(log, (std::vector<std::string>{"a:event 5"}));
  a->onEvent = nullptr;
  late->Free();

  // The same for notices, told last linked first: x frees b and makes the
  // newcomer before b's turn.
  log.clear();
  auto* hub = new TppProbe(nullptr, "hub");
  b = new TppRecycled(nullptr, "b");
  auto* x = Sub("x", {});
  for (TppProbe* q : {static_cast<TppProbe*>(b), x}) q->log = &log;
  hub->AddNotify(a);
  hub->AddNotify(b);
  hub->AddNotify(x);
  x->onNotify = [&](TppCommunicator*, uint8_t op) {
    if (op != ppopDataChange) return;
    b->Free();
    late = new TppRecycled(nullptr, "late");
    late->log = &log;
    hub->AddNotify(late);
  };
  hub->SendNotify(hub, ppopDataChange);
  EXPECT_EQ(log, (std::vector<std::string>{"x:notify 2 from hub", "a:notify 2 from hub"}));
  x->onNotify = nullptr;
  late->Free();
  hub->Free();
}

TEST_F(Events, RemovingTheLastSubscriptionEndsTheBroadcast) {
  auto* a = Sub("a", {5});
  auto* b = Sub("b", {5});
  pub->AddEventNotify(a);
  pub->AddEventNotify(b);
  a->onEvent = [&](int) {
    pub->RemoveEventNotify(a);
    pub->RemoveEventNotify(b);
  };
  pub->SendEventNotify(pub, 5, nullptr);
  EXPECT_EQ(log, (std::vector<std::string>{"a:event 5"}));
  EXPECT_EQ(pub->EventNotifyCount(), 0);
}

TEST_F(Events, FreedSubscriberLeavesEveryEventList) {
  auto* pub2 = Sub("pub2", {});
  auto* a = Sub("a", {5});
  pub->AddEventNotify(a);
  pub2->AddEventNotify(a);
  // The notify link is dropped while the subscription stays.
  a->RemoveNotify(pub);
  EXPECT_EQ(pub->EventNotifyCount(), 1);
  a->Free();
  subs[1] = nullptr;
  log.clear();
  EXPECT_EQ(pub->EventNotifyCount(), 0);
  EXPECT_EQ(pub2->EventNotifyCount(), 0);
  pub->SendEventNotify(pub, 5, nullptr);  // nothing left to reach
  EXPECT_TRUE(log.empty());
  // A freed publisher leaves nothing behind in its subscribers either.
  auto* b = Sub("b", {5});
  pub2->AddEventNotify(b);
  b->RemoveNotify(pub2);
  pub2->Free();
  subs[0] = nullptr;
  b->Free();
  subs.back() = nullptr;
}

TEST_F(Events, SortKeysOrderDelivery) {
  auto* c = Sub("c", {5});
  c->sortKey = "Charlie";
  auto* a = Sub("a", {5});
  a->sortKey = "alpha";
  auto* b = Sub("b", {5});
  b->sortKey = "BRAVO";
  auto* e = Sub("e", {5});
  for (auto* s : {c, a, b, e}) pub->AddEventNotify(s);
  pub->SendEventNotify(pub, 5, nullptr);
  EXPECT_EQ(log, (std::vector<std::string>{"a:event 5", "b:event 5", "c:event 5", "e:event 5"}));
  EXPECT_EQ(ppEventName(48), "CacheFull");
  EXPECT_EQ(ppEventName(111), "NameChanged");
  EXPECT_EQ(ppEventName(36), "");
}

// Every row of the event table: a deliverable id of its own, a name that
// ppEventName gives back; ids without a row have no name.
TEST(EventTable, IdsUniqueAndNamesRoundTrip) {
  std::set<int> ids;
  for (const TppEventRow& row : ppEvents) {
    EXPECT_GE(row.Id, 0);
    EXPECT_LT(row.Id, 256);
    EXPECT_TRUE(ids.insert(row.Id).second) << row.Id;
    EXPECT_TRUE(cls::IsValidIdent(row.Name)) << row.Id;
    EXPECT_EQ(ppEventName(row.Id), row.Name);
  }
  EXPECT_EQ(ids.size(), 82u);
  for (int id = -1; id <= 256; ++id) {
    if (!ids.count(id)) {
      EXPECT_EQ(ppEventName(id), "") << id;
    }
  }
  // Known rows: a producer's and a band's events share their names.
  EXPECT_EQ(ciBandAfterPrint, 23);
  EXPECT_EQ(ppEventName(ciProducerAfterPrint), "AfterPrint");
  EXPECT_EQ(ppEventName(ciBandAfterPrint), "AfterPrint");
  EXPECT_EQ(ppEventName(ciReportStartPage), "OnStartPage");
  EXPECT_EQ(ciCacheFull, 48);
  EXPECT_EQ(ciNameChanged, 111);
}

}  // namespace
