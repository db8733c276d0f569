#include "report/model/ppTreeNode.h"

#include <vector>

CLS_IMPLEMENT_COMPONENT(TppTreeNode)

TppTreeNode::TppTreeNode(cls::TComponent* owner) : TppRelative(owner) {}

TppTreeNode* TppTreeNode::ChildNodes(int index) const { return cls::ObjectAs<TppTreeNode>(GetChild(index)); }

int TppTreeNode::AbsoluteChildNodeCount() const {
  int n = 0;
  for (int i = 0; i < ChildCount(); ++i) {
    ++n;
    if (TppTreeNode* c = ChildNodes(i)) n += c->AbsoluteChildNodeCount();
  }
  return n;
}

int TppTreeNode::Level() const {
  int n = 0;
  for (TppTreeNode* p = ParentNode(); p; p = p->ParentNode()) ++n;
  return n;
}

TppTreeNode* TppTreeNode::ParentNode() const { return cls::ObjectAs<TppTreeNode>(Parent()); }

TppTreeNode* TppTreeNode::Add() {
  auto* node = static_cast<TppTreeNode*>(ClassType()->Create(Owner()));
  node->SetParent(this);
  return node;
}

void TppTreeNode::Assign(cls::TPersistent* source) {
  if (cls::ObjectAs<TppTreeNode>(source)) return;
  inherited::Assign(source);
}

TppTreeNode* TppTreeNode::CloneNode(TppTreeNode* newParent, bool recurse) {
  std::set<const TppTreeNode*> made;
  return Clone(newParent, recurse, made);
}

TppTreeNode* TppTreeNode::Clone(TppTreeNode* newParent, bool recurse, std::set<const TppTreeNode*>& made) {
  cls::TComponent* owner = newParent ? newParent->Owner() : Owner();
  cls::Owned<TppTreeNode> node(static_cast<TppTreeNode*>(ClassType()->Create(owner)));
  node->Assign(this);
  node->SetParent(newParent);
  made.insert(node.get());
  if (recurse) {
    // The children as they are now: clones made below may land here.
    std::vector<TppTreeNode*> children;
    for (int i = 0; i < ChildNodeCount(); ++i)
      if (TppTreeNode* c = ChildNodes(i); c && !made.count(c)) children.push_back(c);
    for (TppTreeNode* c : children) c->Clone(node.get(), true, made);
  }
  return node.release();
}

TppTreeNode* TppTreeNode::GetFirstChild() const { return ChildNodes(0); }

TppTreeNode* TppTreeNode::GetLastChild() const { return ChildNodes(ChildCount() - 1); }

TppTreeNode* TppTreeNode::GetLastChildDescendent() const {
  TppTreeNode* n = GetLastChild();
  while (n && n->GetLastChild()) n = n->GetLastChild();
  return n;
}

TppTreeNode* TppTreeNode::Sibling(int delta) const {
  TppTreeNode* p = ParentNode();
  return p ? p->ChildNodes(p->IndexOfChild(this) + delta) : nullptr;
}

TppTreeNode* TppTreeNode::GetNextSibling() const { return Sibling(1); }

TppTreeNode* TppTreeNode::GetPreviousSibling() const { return Sibling(-1); }

TppTreeNode* TppTreeNode::GetNext() const {
  if (TppTreeNode* c = GetFirstChild()) return c;
  for (const TppTreeNode* n = this; n; n = n->ParentNode())
    if (TppTreeNode* s = n->GetNextSibling()) return s;
  return nullptr;
}

TppTreeNode* TppTreeNode::GetPrevious() const {
  if (TppTreeNode* s = GetPreviousSibling()) {
    TppTreeNode* last = s->GetLastChildDescendent();
    return last ? last : s;
  }
  return ParentNode();
}

// ---- scripting

RA_IMPLEMENT_RTTI(TraTppTreeNodeRTTI)

namespace {

using Getter = TppTreeNode* (TppTreeNode::*)() const;

// A method answering a node in "Result".
TraMember NodeMethod(const std::string& name, Getter get) {
  return raMethod(name, {raParam("Result", daObject, &TppTreeNode::StaticClass())},
                  [get](cls::TObject* o, TraParamList* params, bool) {
                    if (!params) return false;
                    TppTreeNode* n = (static_cast<TppTreeNode*>(o)->*get)();
                    return params->SetParamValue("Result", static_cast<cls::TObject*>(n));
                  });
}

}  // namespace

const TraMembers* TraTppTreeNodeRTTI::Members() const {
  using C = TppTreeNode;
  static const TraMembers members(
      inherited::Members(),
      {raProperty<C, daInteger>("AbsoluteChildNodeCount", &C::AbsoluteChildNodeCount),
       raProperty<C, daInteger>("ChildNodeCount", &C::ChildNodeCount),
       raIndexed(
           "ChildNodes", daObject, &C::StaticClass(), [](cls::TObject* o) { return static_cast<C*>(o)->ChildNodeCount(); },
           [](cls::TObject* o, int i) { return TraValue(static_cast<cls::TObject*>(static_cast<C*>(o)->ChildNodes(i))); }),
       raProperty<C, daInteger>("Level", &C::Level),
       raObjectProperty<C, C>("ParentNode", &C::ParentNode, &C::SetParentNode),
       raMethod("Add", {raParam("Result", daObject, &C::StaticClass())},
                [](cls::TObject* o, TraParamList* params, bool) {
                  if (!params) return false;
                  return params->SetParamValue("Result", static_cast<cls::TObject*>(static_cast<C*>(o)->Add()));
                }),
       raMethod("Assign", {raParam("Source", daObject, &cls::TPersistent::StaticClass())},
                [](cls::TObject* o, TraParamList* params, bool) {
                  cls::TObject* source = nullptr;
                  if (!params || !params->GetParam("Source", source)) return false;
                  static_cast<C*>(o)->Assign(cls::ObjectAs<cls::TPersistent>(source));
                  return true;
                }),
       raMethod("CloneNode",
                {raParam("aNewParent", daObject, &C::StaticClass()), raParam("aRecurse", daBoolean),
                 raParam("Result", daObject, &C::StaticClass())},
                [](cls::TObject* o, TraParamList* params, bool) {
                  cls::TObject* parent = nullptr;
                  bool recurse = false;
                  if (!params || !params->GetParam("aNewParent", parent) || !params->GetParam("aRecurse", recurse))
                    return false;
                  C* clone = static_cast<C*>(o)->CloneNode(cls::ObjectAs<C>(parent), recurse);
                  return params->SetParamValue("Result", static_cast<cls::TObject*>(clone));
                }),
       NodeMethod("GetFirstChild", &C::GetFirstChild), NodeMethod("GetLastChild", &C::GetLastChild),
       NodeMethod("GetLastChildDescendent", &C::GetLastChildDescendent),
       NodeMethod("GetNextSibling", &C::GetNextSibling), NodeMethod("GetPreviousSibling", &C::GetPreviousSibling),
       NodeMethod("GetNext", &C::GetNext), NodeMethod("GetPrevious", &C::GetPrevious)});
  return &members;
}

void ppRegisterTreeNodeUnit() {
  cls::RegisterClass(&TppTreeNode::StaticClass());
  raRegisterRTTI(TraTppTreeNodeRTTI::Instance());
}
