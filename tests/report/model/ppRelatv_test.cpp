#include <gtest/gtest.h>

#include <algorithm>
#include <map>
#include <random>
#include <string>
#include <vector>

#include "report/model/ppRelatv.h"

namespace {

std::vector<std::string> g_freed;

class TppNode : public TppRelative {
  CLS_DECLARE_CLASS(TppNode, TppRelative)
 public:
  explicit TppNode(cls::TComponent* owner, std::string label = {}) : TppRelative(owner), label(std::move(label)) {
    ++made;
  }
  ~TppNode() override { ++destroyed; }
  static inline int made = 0, destroyed = 0;
  void BeforeDestruction() override {
    TppNode* parent = static_cast<TppNode*>(Parent());
    std::string entry = label;
    if (parent) entry += " (parent freeing: " + std::string(parent->FreeingChildren() ? "yes" : "no") + ")";
    g_freed.push_back(entry);
    inherited::BeforeDestruction();
  }
  void DesignInvalidated() override { ++invalidated; }
  std::string label;
  int invalidated = 0;
};
CLS_IMPLEMENT_COMPONENT(TppNode)

std::string Order(TppRelative* parent) {
  std::string s;
  for (int i = 0; i < parent->ChildCount(); ++i) {
    if (i) s += ",";
    s += static_cast<TppNode*>(parent->GetChild(i))->label;
  }
  return s;
}

class Tree : public ::testing::Test {
 protected:
  void SetUp() override {
    g_freed.clear();
    owner = new cls::TComponent(nullptr);
    root = new TppNode(owner, "root");
    for (const char* n : {"a", "b", "c"}) {
      kids.push_back(new TppNode(owner, n));
      kids.back()->SetParent(root);
    }
  }
  void TearDown() override { owner->Free(); }
  cls::TComponent* owner;
  TppNode* root;
  std::vector<TppNode*> kids;
};

TEST_F(Tree, ParentsAndPositions) {
  EXPECT_EQ(Order(root), "a,b,c");
  EXPECT_EQ(kids[1]->Position(), 1);
  EXPECT_EQ(root->Position(), -1);
  EXPECT_EQ(kids[0]->GetParentComponent(), root);
  EXPECT_TRUE(kids[0]->HasParent());
  kids[2]->MoveToPosition(-5);
  EXPECT_EQ(Order(root), "c,a,b");
  kids[2]->MoveToPosition(99);
  EXPECT_EQ(Order(root), "a,b,c");
  kids[0]->SetPosition(1);
  EXPECT_EQ(Order(root), "b,a,c");
  EXPECT_GE(kids[0]->invalidated, 1);
  EXPECT_GE(root->invalidated, 1);  // passed up the tree
  kids[1]->SetParent(nullptr);
  EXPECT_EQ(Order(root), "a,c");
  EXPECT_EQ(kids[1]->Parent(), nullptr);
  kids[1]->SetParent(kids[0]);
  EXPECT_EQ(kids[0]->ChildCount(), 1);
  // No cycles: an object never becomes its own ancestor.
  root->SetParent(kids[1]);
  kids[0]->SetParent(kids[0]);
  EXPECT_EQ(root->Parent(), nullptr);
  EXPECT_EQ(kids[0]->Parent(), root);
  EXPECT_EQ(root->IndexOfChild(kids[1]), -1);
  root->RemoveChild(kids[1]);  // not a child: nothing
  EXPECT_EQ(kids[1]->Parent(), kids[0]);
}

TEST_F(Tree, ChildTypeMovesToTheEnd) {
  kids[0]->SetChildType(3);
  EXPECT_EQ(Order(root), "b,c,a");
  EXPECT_EQ(kids[0]->ChildType(), 3);
  auto* lone = new TppNode(owner, "lone");
  lone->SetChildType(2);
  EXPECT_EQ(lone->ChildType(), 2);
}

TEST_F(Tree, FreeingAParentFreesItsChildrenLastFirst) {
  auto* grandchild = new TppNode(owner, "b1");
  grandchild->SetParent(kids[1]);
  root->Free();
  EXPECT_EQ(g_freed, (std::vector<std::string>{"root", "c (parent freeing: yes)", "b (parent freeing: yes)",
                                                "b1 (parent freeing: yes)", "a (parent freeing: yes)"}));
  EXPECT_EQ(owner->ComponentCount(), 0);
}

TEST_F(Tree, FreeingAChildLeavesItsParent) {
  kids[1]->Free();
  EXPECT_EQ(Order(root), "a,c");
  EXPECT_EQ(owner->ComponentCount(), 3);
}

TEST_F(Tree, SavedPositionsRestoreTheOrder) {
  root->SetOrderedChildren(true);
  for (TppNode* k : kids) k->BeginLoading();
  root->BeginLoading();
  kids[0]->SetPosition(2);
  kids[1]->SetPosition(0);
  kids[2]->SetPosition(1);
  EXPECT_EQ(Order(root), "a,b,c");  // only kept while reading
  EXPECT_EQ(kids[0]->SavedPosition(), 2);
  for (TppNode* k : kids) k->FinishLoading();
  root->FinishLoading();
  EXPECT_EQ(Order(root), "b,c,a");
}

TEST_F(Tree, OutOfRangeSavedPositionsStay) {
  root->SetOrderedChildren(true);
  root->BeginLoading();
  for (TppNode* k : kids) k->BeginLoading();
  kids[0]->SetPosition(7);
  kids[2]->SetPosition(0);
  for (TppNode* k : kids) k->FinishLoading();
  root->FinishLoading();
  EXPECT_EQ(Order(root), "c,a,b");
}

TEST_F(Tree, TransferTakesTheOthersChildren) {
  auto* otherOwner = new cls::TComponent(nullptr);
  auto* parent = new TppNode(otherOwner, "parent");
  auto* other = new TppNode(otherOwner, "other");
  other->SetParent(parent);
  other->SetOrderedChildren(true);
  auto* x = new TppNode(otherOwner, "x");
  auto* y = new TppNode(otherOwner, "y");
  auto* z = new TppNode(owner, "z");  // a different owner stays
  for (TppNode* n : {x, y, z}) n->SetParent(other);
  auto* xChild = new TppNode(otherOwner, "x1");
  xChild->SetParent(x);

  root->Transfer(other);
  EXPECT_EQ(other->ChildCount(), 0);
  EXPECT_EQ(Order(root), "x,y,z");
  EXPECT_TRUE(root->OrderedChildren());
  EXPECT_EQ(root->Parent(), parent);
  EXPECT_EQ(x->Owner(), owner);
  EXPECT_EQ(xChild->Owner(), owner);  // children follow their parent's move
  EXPECT_EQ(z->Owner(), owner);
  // The old children of root are gone.
  EXPECT_EQ(g_freed.size(), 3u);
  root->SetParent(nullptr);
  otherOwner->Free();
  EXPECT_EQ(Order(root), "x,y,z");
}

TEST_F(Tree, TransferFromOwnDescendantIsRefused) {
  // Taking the place of a child or grandchild would free it with this
  // object's own children and then read it.
  auto* grandchild = new TppNode(owner, "g");
  auto* leaf = new TppNode(owner, "leaf");
  grandchild->SetParent(kids[0]);
  leaf->SetParent(grandchild);
  root->Transfer(grandchild);
  root->Transfer(kids[1]);
  EXPECT_EQ(Order(root), "a,b,c");
  EXPECT_EQ(grandchild->ChildCount(), 1);
  EXPECT_TRUE(g_freed.empty());
}

// An owner that counts its kind.
class TCountedOwner : public cls::TComponent {
 public:
  explicit TCountedOwner() : cls::TComponent(nullptr) { ++made; }
  ~TCountedOwner() override { ++destroyed; }
  static inline int made = 0, destroyed = 0;
};

// Objects with links, subscriptions, children and owners, freed in many
// orders: AddressSanitizer catches any use after free, and every object
// made is destroyed once.
TEST(Lifetime, AnyFreeOrderIsSafe) {
  std::mt19937 rng(1234);
  TppNode::made = TppNode::destroyed = 0;
  TCountedOwner::made = TCountedOwner::destroyed = 0;
  for (int round = 0; round < 300; ++round) {
    const int n = 8;
    std::vector<cls::TComponent*> owners = {new TCountedOwner, new TCountedOwner};
    std::vector<TppNode*> nodes;
    for (int i = 0; i < n; ++i)
      nodes.push_back(new TppNode(rng() % 3 == 0 ? nullptr : owners[rng() % 2], std::to_string(i)));
    for (int i = 0; i < 3 * n; ++i) {
      TppNode* a = nodes[rng() % n];
      TppNode* b = nodes[rng() % n];
      switch (rng() % 4) {
        case 0: a->AddNotify(b); break;
        case 1:
          b->EventMask().Include(7);
          a->AddEventNotify(b);
          break;
        case 2: b->SetParent(a); break;
        case 3: a->RemoveNotify(b); break;
      }
    }
    nodes[0]->SendEventNotify(nodes[0], 7, nullptr);
    // Free a random selection in random order, then the owners.
    std::vector<cls::TObject*> order(nodes.begin(), nodes.end());
    std::shuffle(order.begin(), order.end(), rng);
    std::vector<TppNode*> alive(nodes);
    for (cls::TObject* o : order) {
      auto it = std::find(alive.begin(), alive.end(), o);
      if (it == alive.end() || rng() % 2) continue;
      // Freeing one frees its children as well; forget all that went.
      std::vector<TppNode*> gone;
      std::function<void(TppNode*)> collect = [&](TppNode* x) {
        gone.push_back(x);
        for (int i = 0; i < x->ChildCount(); ++i) collect(static_cast<TppNode*>(x->GetChild(i)));
      };
      collect(*it);
      (*it)->Free();
      for (TppNode* g : gone) alive.erase(std::remove(alive.begin(), alive.end(), g), alive.end());
      for (TppNode* s : alive) s->SendEventNotify(s, 7, nullptr);
    }
    // Owners free what they own (with their trees); then the unowned rest.
    for (cls::TComponent* o : owners) {
      std::vector<TppNode*> gone;
      std::function<void(TppNode*)> collect = [&](TppNode* x) {
        gone.push_back(x);
        for (int i = 0; i < x->ChildCount(); ++i) collect(static_cast<TppNode*>(x->GetChild(i)));
      };
      for (TppNode* x : alive)
        if (x->Owner() == o) collect(x);
      o->Free();
      for (TppNode* g : gone) alive.erase(std::remove(alive.begin(), alive.end(), g), alive.end());
    }
    while (!alive.empty()) {
      TppNode* x = alive.front();
      std::vector<TppNode*> gone;
      std::function<void(TppNode*)> collect = [&](TppNode* y) {
        gone.push_back(y);
        for (int i = 0; i < y->ChildCount(); ++i) collect(static_cast<TppNode*>(y->GetChild(i)));
      };
      // Free from the top of its tree.
      while (x->Parent()) x = static_cast<TppNode*>(x->Parent());
      collect(x);
      x->Free();
      for (TppNode* g : gone) alive.erase(std::remove(alive.begin(), alive.end(), g), alive.end());
    }
    ASSERT_EQ(TppNode::made, (round + 1) * n);
    ASSERT_EQ(TppNode::destroyed, TppNode::made) << "round " << round;
    ASSERT_EQ(TCountedOwner::destroyed, TCountedOwner::made) << "round " << round;
  }
}

// Inserts anywhere, moves, removals, re-parenting and frees at random,
// checked after every step against plain lists: each node's parent, index
// and children agree (the lists' positions are looked up by hint and
// search, so every kind of change must leave them right).
TEST(Relatives, ListsAgreeWithPlainListsUnderEveryChange) {
  std::mt19937 rng(4321);
  std::vector<TppNode*> nodes;
  std::map<TppNode*, TppNode*> parent;
  std::map<TppNode*, std::vector<TppNode*>> kids;
  int made = 0;
  auto add = [&] { nodes.push_back(new TppNode(nullptr, std::to_string(made++))); };
  for (int i = 0; i < 30; ++i) add();
  auto below = [&](TppNode* a, TppNode* b) {  // B is A or lies below it
    for (TppNode* p = b; p; p = parent[p])
      if (p == a) return true;
    return false;
  };
  auto detach = [&](TppNode* c) {
    if (TppNode* p = parent[c]) {
      auto& v = kids[p];
      v.erase(std::find(v.begin(), v.end(), c));
      parent[c] = nullptr;
    }
  };
  auto index = [&](TppNode* c) {
    TppNode* p = parent[c];
    if (!p) return -1;
    return static_cast<int>(std::find(kids[p].begin(), kids[p].end(), c) - kids[p].begin());
  };
  for (int step = 0; step < 4000; ++step) {
    TppNode* a = nodes[rng() % nodes.size()];
    TppNode* b = nodes[rng() % nodes.size()];
    switch (rng() % 6) {
      case 0:
      case 1: {  // B into A at any place (or past the ends)
        int at = static_cast<int>(rng() % (kids[a].size() + 3)) - 1;
        a->InsertChild(at, b);
        if (below(b, a) || parent[b] == a) break;
        detach(b);
        at = std::clamp(at, 0, static_cast<int>(kids[a].size()));
        kids[a].insert(kids[a].begin() + at, b);
        parent[b] = a;
        break;
      }
      case 2:
        a->RemoveChild(b);
        if (parent[b] == a) detach(b);
        break;
      case 3: {
        const int to = static_cast<int>(rng() % 8) - 1;
        b->MoveToPosition(to);
        if (TppNode* p = parent[b]) {
          const int count = static_cast<int>(kids[p].size());
          const int target = std::min(std::max(to, 0), count - 1);
          if (target != index(b)) {
            detach(b);
            kids[p].insert(kids[p].begin() + target, b);
            parent[b] = p;
          }
        }
        break;
      }
      case 4:
        if (rng() % 2) {
          b->SetParent(nullptr);
          detach(b);
        } else {
          b->SetParent(a);
          if (parent[b] == a || below(b, a)) break;
          detach(b);
          kids[a].push_back(b);
          parent[b] = a;
        }
        break;
      case 5: {  // B and all below it go; new nodes take their places
        std::vector<TppNode*> gone{b};
        for (size_t i = 0; i < gone.size(); ++i) gone.insert(gone.end(), kids[gone[i]].begin(), kids[gone[i]].end());
        detach(b);
        b->Free();
        for (TppNode* g : gone) {
          nodes.erase(std::find(nodes.begin(), nodes.end(), g));
          parent.erase(g);
          kids.erase(g);
          add();
        }
        break;
      }
    }
    for (TppNode* n : nodes) {
      ASSERT_EQ(n->Parent(), parent[n]) << "step " << step;
      ASSERT_EQ(n->GetIndex(), index(n)) << "step " << step;
      ASSERT_EQ(n->ChildCount(), static_cast<int>(kids[n].size())) << "step " << step;
      for (int i = 0; i < n->ChildCount(); ++i) ASSERT_EQ(n->GetChild(i), kids[n][static_cast<size_t>(i)]);
    }
  }
  for (TppNode* n : std::vector<TppNode*>(nodes))
    if (!parent[n]) n->Free();
}

}  // namespace
