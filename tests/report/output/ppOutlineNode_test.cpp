// Outline nodes and the page's outline command: the copy a page keeps,
// comparing, assigning and streaming it, and damaged streams.
#include <gtest/gtest.h>

#include <string>

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
  cls::TMemoryStream stream;
  cls::WriteComponent(&stream, a.get(), nullptr);
  stream.SetPosition(0);
  cls::TComponentReader reader;
  cls::Owned<TppOutlineDrawCommand> read(cls::ObjectAs<TppOutlineDrawCommand>(reader.ReadComponent(&stream, nullptr)));
  ASSERT_TRUE(read);
  EXPECT_TRUE(read->IsSameAs(a.get()));
  EXPECT_EQ(Describe(read->OutlineNode()), "(-1) > [台北\\功(1) > [Page 3(3), x(3), Page 4(4)]]");
  // An empty tree streams too.
  cls::Owned<TppOutlineDrawCommand> empty(new TppOutlineDrawCommand(nullptr));
  cls::TMemoryStream s2;
  cls::WriteComponent(&s2, empty.get(), nullptr);
  s2.SetPosition(0);
  cls::Owned<TppOutlineDrawCommand> back(cls::ObjectAs<TppOutlineDrawCommand>(reader.ReadComponent(&s2, nullptr)));
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
