// The tree node: walking, counting, cloning and the scripting names.
#include <gtest/gtest.h>

#include <map>
#include <string>
#include <vector>

#include "report/model/ppTreeNode.h"

namespace {

// R(A(A1, A2(A2a)), B), all owned by one component.
class TreeNodeTest : public ::testing::Test {
 protected:
  void SetUp() override {
    R = Named(new TppTreeNode(&owner), "R");
    A = Named(R->Add(), "A");
    A1 = Named(A->Add(), "A1");
    A2 = Named(A->Add(), "A2");
    A2a = Named(A2->Add(), "A2a");
    B = Named(R->Add(), "B");
  }
  TppTreeNode* Named(TppTreeNode* n, const std::string& name) {
    names[n] = name;
    return n;
  }
  std::string Name(const TppTreeNode* n) {
    if (!n) return "nil";
    auto it = names.find(n);
    return it == names.end() ? "?" : it->second;
  }
  // The pre-order walk from N by GetNext, or backwards by GetPrevious.
  std::vector<std::string> Walk(TppTreeNode* n, bool forward) {
    std::vector<std::string> out;
    for (TppTreeNode* x = forward ? n->GetNext() : n->GetPrevious(); x; x = forward ? x->GetNext() : x->GetPrevious())
      out.push_back(Name(x));
    return out;
  }
  // The shape of the tree under N: "(child(grandchild...)...)".
  static std::string Shape(const TppTreeNode* n) {
    std::string s = "(";
    for (int i = 0; i < n->ChildNodeCount(); ++i) s += Shape(n->ChildNodes(i));
    return s + ")";
  }

  cls::TComponent owner{nullptr};
  std::map<const TppTreeNode*, std::string> names;
  TppTreeNode *R, *A, *A1, *A2, *A2a, *B;
};

TEST_F(TreeNodeTest, WalksPreOrderBothWaysAndCounts) {
  EXPECT_EQ(Walk(R, true), (std::vector<std::string>{"A", "A1", "A2", "A2a", "B"}));
  EXPECT_EQ(Walk(B, false), (std::vector<std::string>{"A2a", "A2", "A1", "A", "R"}));
  EXPECT_EQ(R->AbsoluteChildNodeCount(), 5);
  EXPECT_EQ(A2a->Level(), 3);  // A2, A and R above it
  EXPECT_EQ(R->Level(), 0);
  EXPECT_EQ(A->GetLastChildDescendent(), A2a);
  EXPECT_EQ(A1->GetLastChildDescendent(), nullptr);
  EXPECT_EQ(A1->GetPrevious(), A);  // a first child's predecessor is its parent
  EXPECT_EQ(B->GetNextSibling(), nullptr);
  EXPECT_EQ(A->GetPreviousSibling(), nullptr);
  EXPECT_EQ(R->GetNextSibling(), nullptr);  // no parent, no siblings
  EXPECT_EQ(A2a->Owner(), &owner);          // new nodes: their parent's owner

  // A parent that is no tree node counts as none.
  TppRelative plain(nullptr);
  R->SetParent(&plain);
  EXPECT_EQ(R->ParentNode(), nullptr);
  EXPECT_EQ(A->Level(), 1);
  EXPECT_EQ(R->GetPrevious(), nullptr);
  R->SetParent(nullptr);
  // Re-parenting through ParentNode moves the whole branch.
  A2->SetParentNode(B);
  EXPECT_EQ(Walk(R, true), (std::vector<std::string>{"A", "A1", "B", "A2", "A2a"}));
}

TEST_F(TreeNodeTest, ClonesWalkAlikeAndCloningIntoItsOwnSubtreeEnds) {
  cls::TComponent other(nullptr);
  auto& top = *new TppTreeNode(&other);
  TppTreeNode* copy = R->CloneNode(&top, true);
  EXPECT_EQ(copy->Owner(), &other);
  EXPECT_EQ(copy->ParentNode(), &top);
  EXPECT_EQ(Shape(copy), Shape(R));
  EXPECT_EQ(Shape(R), "((()(()))())");
  EXPECT_EQ(copy->AbsoluteChildNodeCount(), 5);
  EXPECT_EQ(copy->GetNext()->GetNext()->GetNext()->GetNext()->Level(), 4);  // A2a's copy, under top

  TppTreeNode* bare = A->CloneNode(nullptr, false);
  EXPECT_EQ(bare->ChildNodeCount(), 0);
  EXPECT_EQ(bare->ParentNode(), nullptr);
  EXPECT_EQ(bare->Owner(), &owner);

  // A under its own child A2: only what was there before is copied.
  TppTreeNode* inner = A->CloneNode(A2, true);
  EXPECT_EQ(inner->ParentNode(), A2);
  EXPECT_EQ(Shape(inner), "(()(()))");
  EXPECT_EQ(Shape(A), "(()(()(()(()))))");
  EXPECT_EQ(R->AbsoluteChildNodeCount(), 9);

  // Another class of source cannot be assigned.
  TppRelative plain(nullptr);
  EXPECT_THROW(R->Assign(&plain), cls::EConvertError);
}

TEST_F(TreeNodeTest, ScriptingReachesPropertiesAndMethodsByName) {
  const TraRTTI* rtti = raGetRTTIClass(R->ClassType());
  ASSERT_EQ(rtti, &TraTppTreeNodeRTTI::Instance());
  EXPECT_EQ(cls::FindClass("TppTreeNode"), &TppTreeNode::StaticClass());
  TraValue v;
  ASSERT_TRUE(rtti->GetPropValue(R, "AbsoluteChildNodeCount", v));
  EXPECT_EQ(std::get<int32_t>(v), 5);
  ASSERT_TRUE(rtti->GetPropValue(A2a, "Level", v));
  EXPECT_EQ(std::get<int32_t>(v), 3);
  EXPECT_FALSE(rtti->SetPropValue(R, "Level", int32_t{4}));
  EXPECT_TRUE(rtti->SetPropValue(A2a, "ParentNode", static_cast<cls::TObject*>(B)));
  EXPECT_EQ(A2a->ParentNode(), B);
  ASSERT_TRUE(rtti->GetPropValue(R, "ChildCount", v));  // passed on to the relative
  EXPECT_EQ(std::get<int32_t>(v), 2);

  cls::Owned<TraParamList> next(rtti->GetParams("GetNext"));
  TppTreeNode* got = nullptr;
  next->SetParamAddress("Result", &got);
  ASSERT_TRUE(rtti->CallMethod(A1, "GetNext", next.get()));
  EXPECT_EQ(got, A2);

  cls::Owned<TraParamList> clone(rtti->GetParams("CloneNode"));
  TppTreeNode* parent = B;
  bool recurse = true;
  clone->SetParamAddress("aNewParent", &parent);
  clone->SetParamAddress("aRecurse", &recurse);
  clone->SetParamAddress("Result", &got);
  ASSERT_TRUE(rtti->CallMethod(A, "CloneNode", clone.get()));
  EXPECT_EQ(got->ParentNode(), B);
  EXPECT_EQ(got->AbsoluteChildNodeCount(), 2);  // A1 and A2; A2a moved to B
}

}  // namespace
