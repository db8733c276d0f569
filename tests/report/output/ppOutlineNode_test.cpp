// Outline nodes and the page's outline command: the copy a page keeps,
// comparing, assigning and streaming it, and damaged streams.
#include <gtest/gtest.h>

#include <algorithm>
#include <cstring>
#include <random>
#include <stdexcept>
#include <string>
#include <vector>

#include "platform/classes/compstream.h"
#include "platform/classes/streams.h"
#include "report/output/ppOutlineDrawCommand.h"
#include "report/output/ppOutlineNode.h"

namespace {

TppOutlineNode* Node(TppOutlineNode* parent, const std::string& caption, TppOutlineNodeType type, int32_t page) {
  auto* n = new TppOutlineNode(nullptr);
  n->SetCaption(caption);
  n->SetNodeType(type);
  n->SetPageReference(page);
  if (parent) n->SetParent(parent);
  return n;
}

std::string Describe(const TppOutlineNode* n) {
  std::string s = n->Caption() + "(" + std::to_string(n->PageReference()) + ")";
  for (int i = 0; i < n->ChildCount(); ++i) s += (i ? ", " : " > [") + Describe(n->OutlineChild(i));
  return n->ChildCount() ? s + "]" : s;
}

// COMMAND as a component stream holds it.
std::string Written(TppOutlineDrawCommand* command) {
  cls::TMemoryStream stream;
  cls::WriteComponent(&stream, command, nullptr);
  return stream.DataString();
}

// COMMAND written to a component stream and read back.
cls::Owned<TppOutlineDrawCommand> StreamedBack(TppOutlineDrawCommand* command) {
  cls::TMemoryStream stream;
  cls::WriteComponent(&stream, command, nullptr);
  stream.SetPosition(0);
  cls::TComponentReader reader;
  cls::TComponent* read = reader.ReadComponent(&stream, nullptr);
  return cls::Owned<TppOutlineDrawCommand>(cls::ObjectAs<TppOutlineDrawCommand>(read));
}

struct TCreator : IppOutlineNodeOwner {
  void OutlineNodeFreed(TppOutlineNode* node) override { freed.push_back(node); }
  std::vector<TppOutlineNode*> freed;
};

// Main > [hidden > [Page 3, x], Page 3, Page 4]
struct OutlineTree : ::testing::Test {
  void SetUp() override {
    root.reset(Node(nullptr, "", ntRoot, -1));
    main = Node(root.get(), "Main", ntReport, 1);
    hidden = Node(main, "Hidden", ntGroup, 3);
    hidden->SetCreateNode(false);
    Node(hidden, "Page 3", ntPage, 3);
    Node(hidden, "x", ntGroup, 3);
    Node(main, "Page 3", ntPage, 3);
    Node(main, "Page 4", ntPage, 4);
  }
  cls::Owned<TppOutlineNode> root;
  TppOutlineNode* main = nullptr;
  TppOutlineNode* hidden = nullptr;
};

}  // namespace

TEST_F(OutlineTree, CopiesLeaveHiddenNodesOutAndPageNodesOnce) {
  cls::Owned<TppOutlineNode> copy(root->CopyTree());
  ASSERT_TRUE(copy);
  EXPECT_EQ(Describe(copy.get()), "(-1) > [Main(1) > [Page 3(3), x(3), Page 4(4)]]");
  EXPECT_EQ(copy->NodeType(), ntRoot);
  // Only a root copies.
  EXPECT_EQ(main->CopyTree(), nullptr);
  // Trees compare by caption (exactly), page, type and children in order.
  cls::Owned<TppOutlineNode> again(root->CopyTree());
  EXPECT_TRUE(copy->IsSameTree(again.get()));
  again->OutlineChild(0)->OutlineChild(1)->SetCaption("X");
  EXPECT_FALSE(copy->IsSameTree(again.get()));
  again->OutlineChild(0)->OutlineChild(1)->SetCaption("x");
  again->OutlineChild(0)->OutlineChild(2)->SetNodeType(ntGroup);
  EXPECT_FALSE(copy->IsSameTree(again.get()));
  EXPECT_FALSE(copy->IsSameTree(nullptr));
}

TEST_F(OutlineTree, AFreedNodeTellsTheCreatorThatQueuedIt) {
  TCreator creator;
  TppOutlineNode* x = hidden->OutlineChild(1);
  x->SetNodeCreator(&creator);
  hidden->SetNodeCreator(&creator);
  hidden->Free();  // with its children
  ASSERT_EQ(creator.freed.size(), 2u);
  EXPECT_EQ(creator.freed[0], hidden);
  EXPECT_EQ(creator.freed[1], x);
}

TEST_F(OutlineTree, CommandsCompareAssignAndStreamTheirTree) {
  cls::Owned<TppOutlineDrawCommand> a(new TppOutlineDrawCommand(nullptr));
  a->SetOutlineNode(root->CopyTree());
  a->SetComplete(true);
  cls::Owned<TppOutlineDrawCommand> b(new TppOutlineDrawCommand(nullptr));
  EXPECT_FALSE(a->IsSameAs(b.get()));
  b->Assign(a.get());
  EXPECT_TRUE(a->IsSameAs(b.get()));
  EXPECT_NE(a->OutlineNode(), b->OutlineNode());  // a copy, not shared
  b->SetComplete(false);
  EXPECT_FALSE(a->IsSameAs(b.get()));
  // Through a component stream and back, Big5 captions byte for byte.
  a->OutlineNode()->OutlineChild(0)->SetCaption("台北\\功");
  cls::Owned<TppOutlineDrawCommand> read = StreamedBack(a.get());
  ASSERT_TRUE(read);
  EXPECT_TRUE(read->IsSameAs(a.get()));
  EXPECT_EQ(Describe(read->OutlineNode()), "(-1) > [台北\\功(1) > [Page 3(3), x(3), Page 4(4)]]");
  // An empty tree streams too.
  cls::Owned<TppOutlineDrawCommand> empty(new TppOutlineDrawCommand(nullptr));
  cls::Owned<TppOutlineDrawCommand> back = StreamedBack(empty.get());
  ASSERT_TRUE(back);
  EXPECT_EQ(back->OutlineNode()->ChildCount(), 0);
}

TEST_F(OutlineTree, DamagedNodeDataIsRefusedWithoutReadingPastIt) {
  cls::Owned<TppOutlineDrawCommand> a(new TppOutlineDrawCommand(nullptr));
  a->SetOutlineNode(root->CopyTree());
  cls::TMemoryStream stream;
  cls::WriteComponent(&stream, a.get(), nullptr);
  const std::string good = stream.DataString();
  // The node data follow the property name; each case damages one field.
  const size_t at = good.find("OutlineNodes");
  ASSERT_NE(at, std::string::npos);
  const size_t data = at + 12 + 1 + 4;  // name, binary value tag, size
  auto read = [&](const std::string& bytes) {
    cls::TMemoryStream s;
    s.WriteBuffer(bytes.data(), static_cast<int64_t>(bytes.size()));
    s.SetPosition(0);
    cls::TComponentReader reader;
    cls::Owned<cls::TComponent> c(reader.ReadComponent(&s, nullptr));
  };
  EXPECT_NO_THROW(read(good));
  auto with = [&](size_t offset, int32_t value) {
    std::string bad = good;
    std::memcpy(&bad[data + offset], &value, 4);
    return bad;
  };
  EXPECT_THROW(read(with(4, 2)), cls::EReadError);              // depth 2 with no parent
  EXPECT_THROW(read(with(8, 99)), cls::EReadError);             // no such node type
  EXPECT_THROW(read(with(16, 0x7FFFFFFF)), cls::EReadError);    // caption past the data
  EXPECT_THROW(read(with(16, -1)), cls::EReadError);
}

// Snapshots taken between random changes of every kind (nodes added at the
// end or in between, hidden, renamed, moved with their children, freed,
// subtrees attached whole, page nodes repeated, creators set and cleared)
// each keep the tree as it stood: its copy equals the tree's copy made when
// it was taken, however the tree changed afterwards, and also when the
// snapshot before it went (its page freed). Every node knows at every step
// whether a child has a creator. Page commands holding a snapshot compare,
// assign and stream it as the tree itself.
TEST(OutlineSnapshots, EachKeepsTheTreeAsItStood) {
  std::mt19937 rng(2024);
  TCreator creator;
  cls::Owned<TppOutlineNode> root(Node(nullptr, "", ntRoot, -1));
  std::vector<TppOutlineNode*> nodes;  // every node under the root
  std::vector<std::pair<TppOutlineSnapshot, cls::Owned<TppOutlineNode>>> taken;
  auto any = [&]() -> TppOutlineNode* {
    return nodes.empty() || rng() % 4 == 0 ? root.get() : nodes[rng() % nodes.size()];
  };
  auto subtree = [&](TppOutlineNode* n) {
    std::vector<TppOutlineNode*> all{n};
    for (size_t i = 0; i < all.size(); ++i)
      for (int k = 0; k < all[i]->ChildCount(); ++k) all.push_back(all[i]->OutlineChild(k));
    return all;
  };
  auto type = [&] { return rng() % 2 ? ntPage : ntGroup; };
  for (int step = 0; step < 700; ++step) {
    const int page = static_cast<int>(rng() % 20);
    switch (rng() % 10) {
      case 0:
      case 1:
      case 2:
      case 3:  // the common case: a node at the end
        nodes.push_back(Node(any(), "n" + std::to_string(step), type(), page));
        break;
      case 4: {  // a node in between
        TppOutlineNode* parent = any();
        TppOutlineNode* n = Node(parent, "i" + std::to_string(step), type(), page);
        n->MoveToPosition(static_cast<int>(rng() % static_cast<unsigned>(parent->ChildCount())));
        nodes.push_back(n);
        break;
      }
      case 5:
        if (nodes.empty()) break;
        switch (TppOutlineNode* n = nodes[rng() % nodes.size()]; rng() % 4) {
          case 0: n->SetCreateNode(!n->CreateNode()); break;
          case 1: n->SetCaption(n->Caption() + "'"); break;
          case 2: n->SetPageReference(page); break;
          case 3: n->SetNodeType(type()); break;
        }
        break;
      case 6:  // moved with its children (a move into its own subtree is refused)
        if (!nodes.empty()) nodes[rng() % nodes.size()]->SetParent(any());
        break;
      case 7:
        if (!nodes.empty()) {
          TppOutlineNode* n = nodes[rng() % nodes.size()];
          for (TppOutlineNode* g : subtree(n)) nodes.erase(std::find(nodes.begin(), nodes.end(), g));
          n->Free();
        }
        break;
      case 8: {  // made apart, then attached whole
        TppOutlineNode* top = Node(nullptr, "t" + std::to_string(step), ntGroup, page);
        TppOutlineNode* below = Node(top, "Page " + std::to_string(page), ntPage, page);
        top->SetParent(any());
        nodes.push_back(top);
        nodes.push_back(below);
        break;
      }
      case 9:
        // The last page gone (printed and freed): the record may grow in place.
        if (!taken.empty() && rng() % 2) taken.pop_back();
        taken.emplace_back(root->Snapshot(), root->CopyTree());
        if (!nodes.empty()) {
          TppOutlineNode* n = nodes[rng() % nodes.size()];
          n->SetNodeCreator(n->NodeCreator() ? nullptr : &creator);
        }
        break;
    }
    if (step % 50 == 0) root->SetCaption(std::to_string(step));  // a root change
    for (TppOutlineNode* n : subtree(root.get())) {
      bool any = false;
      for (int k = 0; k < n->ChildCount(); ++k) any = any || n->OutlineChild(k)->NodeCreator();
      ASSERT_EQ(n->HasCreatorChild(), any) << "step " << step;
    }
  }
  ASSERT_GT(taken.size(), 20u);
  for (size_t i = 0; i < taken.size(); ++i) {
    cls::Owned<TppOutlineNode> copy(taken[i].first.CopyTree());
    ASSERT_TRUE(copy);
    EXPECT_TRUE(copy->IsSameTree(taken[i].second.get())) << "snapshot " << i << ": " << Describe(copy.get())
                                                       << "\nwas " << Describe(taken[i].second.get());
    // Made hearing: once a node, the same tree; stopped half way, none.
    int heard = 0;
    cls::Owned<TppOutlineNode> heardCopy(taken[i].first.CopyTree([&] { return ++heard > 0; }));
    ASSERT_TRUE(heardCopy);
    EXPECT_TRUE(heardCopy->IsSameTree(copy.get())) << "snapshot " << i;
    EXPECT_EQ(heard, copy->AbsoluteChildNodeCount()) << "snapshot " << i;
    int left = heard / 2;
    if (heard > 0) {
      cls::Owned<TppOutlineNode> stopped(taken[i].first.CopyTree([&] { return --left > 0; }));
      EXPECT_FALSE(stopped) << "snapshot " << i;
    }
    // Written from the snapshot (no tree made) as from its tree.
    cls::Owned<TppOutlineDrawCommand> fromSnapshot(new TppOutlineDrawCommand(nullptr));
    fromSnapshot->SetSnapshot(taken[i].first);
    cls::Owned<TppOutlineDrawCommand> fromTree(new TppOutlineDrawCommand(nullptr));
    fromTree->SetOutlineNode(copy->CopyTree());
    EXPECT_EQ(Written(fromSnapshot.get()), Written(fromTree.get())) << "snapshot " << i;
    // Freed in steps: one a node, the root last; a step that throws has
    // the rest freed at once (a node left would be a leak).
    int freed = 0;
    TppOutlineNode::FreeTree(heardCopy.release(), [&] { ++freed; });
    EXPECT_EQ(freed, heard + 1) << "snapshot " << i;
    int steps = heard / 2;
    EXPECT_THROW(TppOutlineNode::FreeTree(taken[i].first.CopyTree(), [&] {
      if (--steps < 0) throw std::runtime_error("stopped");
    }),
                 std::runtime_error)
        << "snapshot " << i;
  }
  // Commands: an assigned one shares the snapshot; streamed, the tree (the
  // stream keeps no root caption).
  root->SetCaption("");
  taken.emplace_back(root->Snapshot(), root->CopyTree());
  const auto& [last, lastCopy] = taken.back();
  cls::Owned<TppOutlineDrawCommand> a(new TppOutlineDrawCommand(nullptr));
  a->SetSnapshot(last);
  cls::Owned<TppOutlineDrawCommand> b(new TppOutlineDrawCommand(nullptr));
  b->Assign(a.get());
  EXPECT_TRUE(b->IsSameAs(a.get()));
  EXPECT_TRUE(b->OutlineNode()->IsSameTree(lastCopy.get()));
  cls::Owned<TppOutlineDrawCommand> read = StreamedBack(a.get());
  ASSERT_TRUE(read);
  EXPECT_TRUE(read->IsSameAs(a.get()));
  EXPECT_TRUE(read->OutlineNode()->IsSameTree(lastCopy.get()));
  // The tree made from the snapshot is handed over and made again when
  // asked; a tree given, not made, is not handed over.
  ASSERT_TRUE(a->MakeOutlineNode([] { return true; }));
  TppOutlineNode* made = a->OutlineNode();
  TppOutlineNode* handed = a->TakeMadeTree();
  EXPECT_EQ(handed, made);
  EXPECT_EQ(a->TakeMadeTree(), nullptr);
  EXPECT_TRUE(a->OutlineNode()->IsSameTree(handed));
  TppOutlineNode::FreeTree(handed, nullptr);
  cls::Owned<TppOutlineDrawCommand> given(new TppOutlineDrawCommand(nullptr));
  given->SetOutlineNode(lastCopy->CopyTree());
  EXPECT_EQ(given->TakeMadeTree(), nullptr);
  // Only a root has snapshots.
  EXPECT_TRUE(cls::Owned<TppOutlineNode>(Node(nullptr, "x", ntGroup, 1))->Snapshot().Empty());
}
