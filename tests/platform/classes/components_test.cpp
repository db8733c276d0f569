#include <gtest/gtest.h>

#include <algorithm>
#include <map>
#include <random>
#include <stdexcept>
#include <string>
#include <vector>

#include "platform/classes/classes.h"

using namespace cls;

namespace {

std::vector<std::string> g_log;

// Records the notices it receives; its teardown sends none itself.
class TProbe : public TComponent {
  CLS_DECLARE_CLASS(TProbe, TComponent)
 public:
  explicit TProbe(TComponent* owner, std::string tag = {}) : TComponent(owner), label(std::move(tag)) {}
  void BeforeDestruction() override {
    g_log.push_back("free " + label + (HasState(csDestroying) ? " again" : ""));
    inherited::BeforeDestruction();
  }
  void Notification(TComponent* c, TOperation op) override {
    if (op == opRemove && c == watched) {
      watched = nullptr;
      g_log.push_back(label + " lost " + static_cast<TProbe*>(c)->label);
    }
    inherited::Notification(c, op);
  }
  void Loaded() override {
    inherited::Loaded();
    loadedCalls++;
  }
  std::string label;
  TComponent* watched = nullptr;
  int loadedCalls = 0;
};
CLS_IMPLEMENT_COMPONENT(TProbe)

TEST(Component, ClassReferencesAndRegistry) {
  TProbe* p = new TProbe(nullptr);
  EXPECT_EQ(p->ClassName(), "TProbe");
  EXPECT_EQ(p->ClassParent(), &TComponent::StaticClass());
  EXPECT_TRUE(p->InheritsFrom(&TPersistent::StaticClass()));
  EXPECT_FALSE(TComponent(nullptr).InheritsFrom(&TProbe::StaticClass()));
  EXPECT_EQ(ObjectAs<TProbe>(static_cast<TObject*>(p)), p);
  p->Free();

  EXPECT_EQ(FindClass("TProbe"), nullptr);
  EXPECT_THROW(GetClass("TProbe"), EClassNotFound);
  RegisterClass(&TProbe::StaticClass());
  TClass c = FindClass("tprobe");
  ASSERT_EQ(c, &TProbe::StaticClass());
  TComponent owner(nullptr);
  TComponent* made = c->Create(&owner);  // virtual constructor
  EXPECT_EQ(made->ClassName(), "TProbe");
  EXPECT_EQ(made->Owner(), &owner);
  UnregisterClass(c);
  EXPECT_EQ(FindClass("TProbe"), nullptr);
  owner.BeforeDestruction();
  EXPECT_EQ(owner.ComponentCount(), 0);
}

TEST(Component, OwnerFreesOwnedLastFirst) {
  g_log.clear();
  auto* owner = new TProbe(nullptr, "owner");
  new TProbe(owner, "a");
  auto* b = new TProbe(owner, "b");
  new TProbe(b, "b1");
  new TProbe(owner, "c");
  EXPECT_EQ(owner->ComponentCount(), 3);
  EXPECT_EQ(b->ComponentIndex(), 1);
  owner->Free();
  EXPECT_EQ(g_log, (std::vector<std::string>{"free owner", "free c", "free b", "free b1", "free a"}));
}

TEST(Component, AStackComponentLetsGoOfItsLinksWithoutNotices) {
  g_log.clear();
  auto* partner = new TProbe(nullptr, "partner");
  auto* owner = new TProbe(nullptr, "owner");
  {
    TProbe local(owner, "local");
    new TProbe(&local, "child");
    partner->watched = &local;
    partner->FreeNotification(&local);
  }
  // The child was freed; no notice reached the partner or the owner.
  EXPECT_EQ(g_log, (std::vector<std::string>{"free child"}));
  EXPECT_EQ(owner->ComponentCount(), 0);
  partner->watched = nullptr;
  partner->Free();  // its notices reach nobody freed
  owner->Free();
}

TEST(Component, FreeingAnOwnedComponentLeavesTheOwner) {
  auto* owner = new TProbe(nullptr);
  auto* a = new TProbe(owner);
  auto* b = new TProbe(owner);
  a->Free();
  ASSERT_EQ(owner->ComponentCount(), 1);
  EXPECT_EQ(owner->Components(0), b);
  EXPECT_THROW(owner->Components(1), EListError);
  owner->Free();
}

TEST(Component, FreeNotificationsReachBothSidesInAnyOrder) {
  for (int order = 0; order < 2; ++order) {
    g_log.clear();
    auto* x = new TProbe(nullptr, "x");
    auto* y = new TProbe(nullptr, "y");
    x->watched = y;
    y->watched = x;
    x->FreeNotification(y);
    x->FreeNotification(y);  // once only
    if (order == 0) {
      y->Free();
      EXPECT_EQ(x->watched, nullptr);
      x->Free();
    } else {
      x->Free();
      EXPECT_EQ(y->watched, nullptr);
      y->Free();
    }
    EXPECT_EQ(g_log.size(), 3u);
  }
  // A removed notice is not sent.
  auto* x = new TProbe(nullptr, "x");
  auto* y = new TProbe(nullptr, "y");
  x->watched = y;
  x->FreeNotification(y);
  y->RemoveFreeNotification(x);
  y->Free();
  EXPECT_NE(x->watched, nullptr);
  x->Free();
}

// A component many others link to (a band and the commands of every kept
// page), under links made from either side, removed from either side and
// partners freed at random: the notices of its own freeing go to those still
// linked, last linked first, as a plain list of them says.
TEST(Component, ALongListOfFreeNoticesKeepsItsOrderUnderEveryChange) {
  std::mt19937 random(7);
  for (int run = 0; run < 20; ++run) {
    g_log.clear();
    auto* hub = new TProbe(nullptr, "hub");
    std::vector<TProbe*> partners, linked;
    for (int i = 0; i < 150; ++i) {
      partners.push_back(new TProbe(nullptr, std::to_string(i)));
      partners.back()->watched = hub;
    }
    for (int step = 0; step < 3000; ++step) {
      TProbe* p = partners[random() % partners.size()];
      if (!p) continue;
      auto at = std::find(linked.begin(), linked.end(), p);
      switch (random() % 7) {
        case 0:
        case 1:
        case 2:
          if (random() % 2) hub->FreeNotification(p);
          else p->FreeNotification(hub);
          if (at == linked.end()) linked.push_back(p);
          break;
        case 3:
        case 4:
          if (random() % 2) hub->RemoveFreeNotification(p);
          else p->RemoveFreeNotification(hub);
          if (at != linked.end()) linked.erase(at);
          break;
        case 5:
          if (random() % 10 == 0) {
            p->watched = nullptr;
            p->Free();
            *std::find(partners.begin(), partners.end(), p) = nullptr;
            if (at != linked.end()) linked.erase(at);
          }
          break;
        default:
          break;
      }
    }
    g_log.clear();
    hub->Free();
    std::vector<std::string> expected{"free hub"};
    for (auto p = linked.rbegin(); p != linked.rend(); ++p) expected.push_back((*p)->label + " lost hub");
    EXPECT_EQ(g_log, expected) << run;
    for (TProbe* p : partners)
      if (p) p->Free();
  }
}

TEST(Component, OwnerPassesRemovalNoticesToItsComponents) {
  auto* owner = new TProbe(nullptr, "owner");
  auto* label = new TProbe(owner, "label");
  auto* pipe = new TProbe(owner, "pipe");
  label->watched = pipe;
  pipe->Free();
  EXPECT_EQ(label->watched, nullptr);
  owner->Free();
}

TEST(Component, NamesAreIdentifiersUniqueInTheOwner) {
  auto* owner = new TComponent(nullptr);
  auto* a = new TComponent(owner);
  auto* b = new TComponent(owner);
  a->SetName("Label1");
  EXPECT_THROW(b->SetName("label1"), EComponentError);
  EXPECT_THROW(b->SetName("1abc"), EComponentError);
  EXPECT_THROW(b->SetName("a b"), EComponentError);
  EXPECT_EQ(b->Name(), "");
  b->SetName("Label2");
  a->SetName("LABEL1");  // a case change of its own name is fine
  EXPECT_EQ(owner->FindComponent("label2"), b);
  EXPECT_EQ(owner->FindComponent("nothing"), nullptr);
  // A named component cannot join an owner that has the name already.
  auto* stray = new TComponent(nullptr);
  stray->SetName("Label2");
  EXPECT_THROW(owner->InsertComponent(stray), EComponentError);
  EXPECT_EQ(stray->Owner(), nullptr);
  stray->SetTag(42);
  EXPECT_EQ(stray->Tag(), 42);
  stray->Free();
  owner->Free();
}

TEST(Component, LoadingStateAndLoaded) {
  auto* p = new TProbe(nullptr);
  p->BeginLoading();
  EXPECT_TRUE(p->HasState(csLoading));
  EXPECT_TRUE(p->HasState(csReading));
  p->EndReading();
  EXPECT_FALSE(p->HasState(csReading));
  p->FinishLoading();
  EXPECT_FALSE(p->HasState(csLoading));
  EXPECT_EQ(p->loadedCalls, 1);
  p->SetDesigning(true);
  EXPECT_TRUE(p->HasState(csDesigning));
  p->Free();
}

TEST(Component, MovingToAnotherOwner) {
  auto* o1 = new TComponent(nullptr);
  auto* o2 = new TComponent(nullptr);
  auto* c = new TComponent(o1);
  o2->InsertComponent(c);
  EXPECT_EQ(c->Owner(), o2);
  EXPECT_EQ(o1->ComponentCount(), 0);
  o1->Free();
  o2->Free();
}

// Two owners whose components (some that watch a sibling and so have a
// Notification of their own, some plain) are made, freed and moved between
// them in any order: each owner's list, every index in it, and the removal
// notices the watchers get through their owner stay what a plain list of
// them says.
TEST(Component, OwnedListsAndTheirNoticesHoldUnderAnyOrderOfChanges) {
  std::mt19937 random(44);
  TProbe* owners[2] = {new TProbe(nullptr, "A"), new TProbe(nullptr, "B")};
  std::vector<TComponent*> model[2];
  std::map<TProbe*, TComponent*> watches;  // what each watcher should still watch
  auto forget = [&](TComponent* gone) {
    for (auto& [p, w] : watches)
      if (w == gone) w = nullptr;
  };
  for (int step = 0; step < 4000; ++step) {
    const int side = static_cast<int>(random() % 2);
    auto& list = model[side];
    const int op = static_cast<int>(random() % 10);
    if (op < 4 || list.empty()) {
      if (random() % 2) {
        auto* p = new TProbe(owners[side]);
        watches[p] = nullptr;
        list.push_back(p);
      } else {
        list.push_back(new TComponent(owners[side]));
      }
    } else if (op < 6) {  // freed
      size_t at = random() % list.size();
      TComponent* c = list[at];
      list.erase(list.begin() + static_cast<long>(at));
      auto* p = dynamic_cast<TProbe*>(c);
      if (p) watches.erase(p);
      forget(c);
      c->Free();
    } else if (op < 8) {  // moved to the other owner, watching nothing
      size_t at = random() % list.size();
      TComponent* c = list[at];
      list.erase(list.begin() + static_cast<long>(at));
      forget(c);
      if (auto* p = dynamic_cast<TProbe*>(c)) p->watched = nullptr, watches[p] = nullptr;
      owners[1 - side]->InsertComponent(c);
      model[1 - side].push_back(c);
    } else {  // a watcher watches a sibling watcher
      auto* p = dynamic_cast<TProbe*>(list[random() % list.size()]);
      auto* target = dynamic_cast<TProbe*>(list[random() % list.size()]);
      if (p && target && target != p) p->watched = target, watches[p] = target;
    }
    for (int o = 0; o < 2; ++o) {
      ASSERT_EQ(owners[o]->ComponentCount(), static_cast<int>(model[o].size())) << step;
      for (size_t i = 0; i < model[o].size(); ++i) {
        ASSERT_EQ(owners[o]->Components(static_cast<int>(i)), model[o][i]) << step;
        ASSERT_EQ(model[o][i]->ComponentIndex(), static_cast<int>(i)) << step;
      }
    }
    for (const auto& [p, w] : watches) ASSERT_EQ(p->watched, w) << step;
  }
  g_log.clear();
  owners[0]->Free();
  owners[1]->Free();
}

TEST(MethodPointer, AssignTestCompareCall) {
  struct Handler : TObject {
    int calls = 0;
    TObject* last = nullptr;
    void OnClick(TObject* sender) {
      ++calls;
      last = sender;
    }
    void Other(TObject*) {}
  } h, h2;
  TNotifyEvent e;
  EXPECT_FALSE(e.Assigned());
  EXPECT_TRUE(e == nullptr);
  e = TNotifyEvent(&h, &Handler::OnClick);
  EXPECT_TRUE(e);
  e(&h2);
  EXPECT_EQ(h.calls, 1);
  EXPECT_EQ(h.last, &h2);
  EXPECT_TRUE(e == TNotifyEvent(&h, &Handler::OnClick));
  EXPECT_FALSE(e == TNotifyEvent(&h2, &Handler::OnClick));
  EXPECT_FALSE(e == TNotifyEvent(&h, &Handler::Other));
  TNotifyEvent copy = e;
  copy(nullptr);
  EXPECT_EQ(h.calls, 2);
  // Erased and taken back; a different signature refuses it.
  TMethod m = e.Method();
  EXPECT_TRUE(TNotifyEvent::FromMethod(m) == e);
  EXPECT_FALSE((TMethodPointer<void(TObject*, int)>::FromMethod(m)).Assigned());
  int seen = 0;
  TMethodPointer<int(TObject*, int)> fn(&seen, [](void* d, TObject*, int v) {
    *static_cast<int*>(d) = v;
    return v * 2;
  });
  EXPECT_EQ(fn(nullptr, 21), 42);
  EXPECT_EQ(seen, 21);
  e.Clear();
  EXPECT_FALSE(e.Assigned());
}

}  // namespace

TEST(Component, OwnedFreesThroughFreeExactlyOnce) {
  g_log.clear();
  {
    Owned<TProbe> a(new TProbe(nullptr, "a"));
    Owned<TProbe> b = std::move(a);
    EXPECT_FALSE(a);
    EXPECT_TRUE(g_log.empty());
    b.reset(new TProbe(nullptr, "c"));
    EXPECT_EQ(g_log, (std::vector<std::string>{"free a"}));
    TProbe* kept = b.release();
    EXPECT_EQ(g_log.size(), 1u);
    b = Owned<TProbe>(kept);
    EXPECT_EQ(b->label, "c");
  }
  EXPECT_EQ(g_log, (std::vector<std::string>{"free a", "free c"}));
}

// A guarded object refuses Free() from others before any teardown; its
// holder lifts the guard and frees it; unwinding lets it go.
TEST(Component, FreeGuardRaisesBeforeTeardownAndLiftsForTheHolder) {
  g_log.clear();
  TProbe* owner = new TProbe(nullptr, "owner");
  TProbe* kept = new TProbe(owner, "kept");
  GuardFree(kept, [] { throw EComponentError("Do not free"); });
  EXPECT_THROW(kept->Free(), EComponentError);
  EXPECT_TRUE(g_log.empty());  // nothing torn down
  EXPECT_EQ(owner->ComponentCount(), 1);
  EXPECT_TRUE(IsFreeGuarded(kept));
  UnguardFree(kept);
  kept->Free();
  EXPECT_EQ(g_log, (std::vector<std::string>{"free kept"}));
  EXPECT_EQ(owner->ComponentCount(), 0);

  TProbe* other = new TProbe(owner, "other");
  GuardFree(other, [] { throw EComponentError("Do not free"); });
  try {
    struct FreeOnUnwind {
      TProbe* p;
      ~FreeOnUnwind() { p->Free(); }
    } guard{other};
    throw std::runtime_error("unwind");
  } catch (const std::runtime_error&) {
  }
  EXPECT_EQ(owner->ComponentCount(), 0);
  owner->Free();
}
