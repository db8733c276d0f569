#include "report/output/ppOutlineNode.h"

CLS_IMPLEMENT_COMPONENT(TppOutlineNode)

TppOutlineNode::TppOutlineNode(cls::TComponent* owner) : TppTreeNode(owner) {}

void TppOutlineNode::BeforeDestruction() {
  if (IppOutlineNodeOwner* creator = nodeCreator_) {
    nodeCreator_ = nullptr;
    creator->OutlineNodeFreed(this);
  }
  inherited::BeforeDestruction();
}

void TppOutlineNode::Assign(cls::TPersistent* source) {
  auto* from = cls::ObjectAs<TppOutlineNode>(source);
  if (!from) {
    inherited::Assign(source);
    return;
  }
  caption_ = from->caption_;
  pageReference_ = from->pageReference_;
  nodeType_ = from->nodeType_;
  createNode_ = from->createNode_;
}

TppOutlineNode* TppOutlineNode::OutlineChild(int index) const { return cls::ObjectAs<TppOutlineNode>(GetChild(index)); }

TppOutlineNode* TppOutlineNode::CopyTree() const {
  if (nodeType_ != ntRoot) return nullptr;
  cls::Owned<TppOutlineNode> copy(new TppOutlineNode(nullptr));
  copy->caption_ = caption_;
  copy->pageReference_ = pageReference_;
  copy->nodeType_ = ntRoot;
  CopyChildren(copy.get());
  return copy.release();
}

void TppOutlineNode::CopyChildren(TppOutlineNode* into) const {
  for (int i = 0; i < ChildCount(); ++i) {
    const TppOutlineNode* child = OutlineChild(i);
    if (!child) continue;
    if (!child->createNode_) {
      child->CopyChildren(into);
      continue;
    }
    if (child->nodeType_ == ntPage) {
      bool known = false;
      for (int k = 0; k < into->ChildCount() && !known; ++k) {
        const TppOutlineNode* c = into->OutlineChild(k);
        known = c && c->nodeType_ == ntPage && c->pageReference_ == child->pageReference_;
      }
      if (known) continue;
    }
    auto* copy = new TppOutlineNode(nullptr);
    copy->caption_ = child->caption_;
    copy->pageReference_ = child->pageReference_;
    copy->nodeType_ = child->nodeType_;
    copy->SetParent(into);
    child->CopyChildren(copy);
  }
}

bool TppOutlineNode::IsSameTree(const TppOutlineNode* other) const {
  if (!other || caption_ != other->caption_ || pageReference_ != other->pageReference_ ||
      nodeType_ != other->nodeType_ || ChildCount() != other->ChildCount())
    return false;
  for (int i = 0; i < ChildCount(); ++i) {
    const TppOutlineNode* a = OutlineChild(i);
    const TppOutlineNode* b = other->OutlineChild(i);
    if (!a || !a->IsSameTree(b)) return false;
  }
  return true;
}

void ppRegisterOutlineNodeUnit() { cls::RegisterClass(&TppOutlineNode::StaticClass()); }
