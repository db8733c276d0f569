#include "comctrls.h"

#include <algorithm>

#include "platform/ui/forms.h"

namespace ui {

CLS_IMPLEMENT_COMPONENT(TImageList)
CLS_IMPLEMENT_COMPONENT(TTabSheet)
CLS_IMPLEMENT_COMPONENT(TPageControl)
CLS_IMPLEMENT_COMPONENT(TStatusBar)
CLS_IMPLEMENT_COMPONENT(TCustomTreeView)
CLS_IMPLEMENT_COMPONENT(TTreeView)

// ---- TImageList

TImageList::TImageList(TComponent* AOwner) : TComponent(AOwner) {}

TImageList::~TImageList() = default;

void TImageList::SetSize(int width, int height) {
  width_ = std::max(1, width);
  height_ = std::max(1, height);
  images_.clear();
}

int TImageList::AddMasked(const gdi::TBitmap& image, gdi::TColor maskColor) {
  auto img = std::make_unique<Image>();
  img->pixels = MaskedPixels(image, 0, width_, height_, maskColor);
  img->bitmap.SetPixels(width_, height_, img->pixels);
  images_.push_back(std::move(img));
  return Count() - 1;
}

void TImageList::Delete(int index) {
  if (index >= 0 && index < Count()) images_.erase(images_.begin() + index);
}

void TImageList::Draw(gdi::TCanvas& canvas, int x, int y, int index) const {
  if (index < 0 || index >= Count()) return;
  canvas.Draw(x, y, images_[static_cast<size_t>(index)]->bitmap);
}

// ---- TTabSheet

TTabSheet::TTabSheet(TComponent* AOwner) : TWinControl(AOwner) { SetVisible(false); }

TTabSheet::~TTabSheet() {
  if (pageControl_) pageControl_->Remove(this);
}

void TTabSheet::SetPageControl(TPageControl* pc) {
  if (pc == pageControl_) return;
  if (pageControl_) pageControl_->Remove(this);
  pageControl_ = pc;
  if (!pc) {
    SetParent(nullptr);
    return;
  }
  pc->pages_.push_back(this);
  SetAlign(TAlign::alClient);
  SetParent(pc);
  if (!pc->active_) pc->SetActivePage(this);
}

int TTabSheet::PageIndex() const {
  if (!pageControl_) return -1;
  const auto& p = pageControl_->pages_;
  return static_cast<int>(std::find(p.begin(), p.end(), this) - p.begin());
}

void TTabSheet::SetPageIndex(int i) {
  if (!pageControl_) return;
  auto& p = pageControl_->pages_;
  p.erase(p.begin() + PageIndex());
  i = std::clamp(i, 0, static_cast<int>(p.size()));
  p.insert(p.begin() + i, this);
  pageControl_->Invalidate();
}

void TTabSheet::Paint() {
  gdi::TCanvas& c = Canvas();
  c.Brush.Style = gdi::TBrushStyle::bsSolid;
  c.Brush.Color = Color;
  c.FillRect({0, 0, Width(), Height()});
}

// ---- TPageControl

TPageControl::TPageControl(TComponent* AOwner) : TWinControl(AOwner) { SetBounds(0, 0, 289, 193); }

TPageControl::~TPageControl() {
  for (TTabSheet* p : pages_) p->pageControl_ = nullptr;
}

void TPageControl::Remove(TTabSheet* page) {
  auto it = std::find(pages_.begin(), pages_.end(), page);
  if (it == pages_.end()) return;
  const size_t at = static_cast<size_t>(it - pages_.begin());
  pages_.erase(it);
  page->pageControl_ = nullptr;
  if (active_ == page) {
    active_ = nullptr;
    if (!pages_.empty()) SetActivePage(pages_[std::min(at, pages_.size() - 1)]);
  }
}

void TPageControl::SetActivePage(TTabSheet* page) {
  if (page && page->pageControl_ != this) return;
  active_ = page;
  for (TTabSheet* p : pages_) p->SetVisible(p == page);
  Invalidate();
}

void TPageControl::SetActivePageIndex(int i) {
  SetActivePage(i >= 0 && i < PageCount() ? pages_[static_cast<size_t>(i)] : nullptr);
}

win::RECT TPageControl::AlignArea() const { return {4, kTabHeight + 2, Width() - 4, Height() - 2}; }

win::RECT TPageControl::TabRect(int index) {
  gdi::TCanvas& c = Canvas();
  int x = 2;
  for (int i = 0; i < PageCount(); ++i) {
    TTabSheet* p = pages_[static_cast<size_t>(i)];
    if (!p->TabVisible) {
      if (i == index) return {};
      continue;
    }
    int w = c.TextWidth(p->Caption) + 12;
    if (Images && p->ImageIndex >= 0) w += Images->Width() + 3;
    if (i == index) return {x, 2, x + w, kTabHeight};
    x += w;
  }
  return {};
}

int TPageControl::IndexOfTabAt(int x, int y) {
  for (int i = 0; i < PageCount(); ++i) {
    const win::RECT r = TabRect(i);
    if (x >= r.left && x < r.right && y >= r.top && y < r.bottom) return i;
  }
  return -1;
}

void TPageControl::Paint() {
  gdi::TCanvas& c = Canvas();
  c.Brush.Style = gdi::TBrushStyle::bsSolid;
  c.Brush.Color = Color;
  c.FillRect({0, 0, Width(), Height()});
  win::RECT frame{0, kTabHeight, Width(), Height()};
  Frame3D(c, frame, TBevelCut::bvRaised, 1);
  for (int i = 0; i < PageCount(); ++i) {
    win::RECT r = TabRect(i);
    if (r.right <= r.left) continue;
    TTabSheet* p = pages_[static_cast<size_t>(i)];
    if (p == active_) r = {r.left - 2, r.top - 2, r.right + 2, r.bottom + 1};
    c.Brush.Style = gdi::TBrushStyle::bsSolid;
    c.Brush.Color = Color;
    c.FillRect(r);
    win::RECT edge{r.left, r.top, r.right, r.bottom + 2};
    Frame3D(c, edge, TBevelCut::bvRaised, 1);
    int x = r.left + 6;
    if (Images && p->ImageIndex >= 0) {
      Images->Draw(c, x, r.top + (r.bottom - r.top - Images->Height()) / 2, p->ImageIndex);
      x += Images->Width() + 3;
    }
    c.Font.Assign(Font);
    c.Brush.Style = gdi::TBrushStyle::bsClear;
    CaptionOut(c, x, r.top + (r.bottom - r.top - c.TextHeight("Ag")) / 2, p->Caption);
  }
}

void TPageControl::MouseDown(TMouseButton button, TShiftState shift, int x, int y) {
  if (button == TMouseButton::mbLeft) {
    const int i = IndexOfTabAt(x, y);
    if (i >= 0 && pages_[static_cast<size_t>(i)] != active_) {
      SetActivePageIndex(i);
      if (OnChange) OnChange(this);
    }
  }
  TWinControl::MouseDown(button, shift, x, y);
}

// ---- TStatusBar

TStatusBar::TStatusBar(TComponent* AOwner) : TWinControl(AOwner) {
  SetBounds(0, 0, 185, 19);
  SetAlign(TAlign::alBottom);
}

win::RECT TStatusBar::PanelRect(int i) const {
  if (SimplePanel) return i == 0 ? win::RECT{0, 2, Width(), Height()} : win::RECT{0, 0, 0, 0};
  int x = 0;
  for (int k = 0; k < Panels.Count(); ++k) {
    const bool last = k == Panels.Count() - 1;
    const int right = last ? std::max(x, Width()) : x + std::max(0, Panels[k].Width);
    if (k == i) return {x, 2, right, Height()};
    x = right;
  }
  return {0, 0, 0, 0};
}

void TStatusBar::Paint() {
  gdi::TCanvas& c = Canvas();
  Fill(c, {0, 0, Width(), Height()}, Color);
  const int count = SimplePanel ? 1 : Panels.Count();
  for (int i = 0; i < count; ++i) {
    win::RECT r = PanelRect(i);
    const TStatusPanelBevel bevel = SimplePanel ? TStatusPanelBevel::pbLowered : Panels[i].Bevel;
    if (bevel != TStatusPanelBevel::pbNone)
      Frame3D(c, r, bevel == TStatusPanelBevel::pbLowered ? TBevelCut::bvLowered : TBevelCut::bvRaised, 1);
    const std::string& text = SimplePanel ? SimpleText : Panels[i].Text;
    const TAlignment align = SimplePanel ? TAlignment::taLeftJustify : Panels[i].Alignment;
    const int w = c.TextWidth(text);
    int x = r.left + 2;
    if (align == TAlignment::taCenter) x = r.left + (r.right - r.left - w) / 2;
    else if (align == TAlignment::taRightJustify) x = r.right - 2 - w;
    c.Brush.Style = gdi::TBrushStyle::bsClear;
    c.TextRect(r, x, r.top + (r.bottom - r.top - c.TextHeight("Ag")) / 2, text);
  }
}

// ---- TTreeNode

TTreeNode::~TTreeNode() = default;

int TTreeNode::Index() const {
  if (!parent_) return -1;
  const auto& s = parent_->children_;
  // Where it was last found first: a walk over siblings stays linear.
  if (indexHint_ < s.size() && s[indexHint_].get() == this) return static_cast<int>(indexHint_);
  for (size_t i = 0; i < s.size(); ++i)
    if (s[i].get() == this) {
      indexHint_ = i;
      return static_cast<int>(i);
    }
  return -1;
}

int TTreeNode::AbsoluteIndex() const {
  int i = -1;
  for (TTreeNode* n = owner_->GetFirstNode(); n; n = n->GetNext()) {
    ++i;
    if (n == this) return i;
  }
  return -1;
}

int TTreeNode::Level() const {
  int level = -1;  // the hidden root holds the top level
  for (const TTreeNode* p = parent_; p; p = p->parent_) ++level;
  return level;
}

TTreeNode* TTreeNode::GetNextSibling() const {
  const int i = Index();
  return i >= 0 && i + 1 < parent_->Count() ? parent_->Item(i + 1) : nullptr;
}

TTreeNode* TTreeNode::GetPrevSibling() const {
  const int i = Index();
  return i > 0 ? parent_->Item(i - 1) : nullptr;
}

TTreeNode* TTreeNode::GetNext() const {
  if (TTreeNode* c = GetFirstChild()) return c;
  for (const TTreeNode* n = this; n && n->parent_; n = n->parent_)
    if (TTreeNode* s = n->GetNextSibling()) return s;
  return nullptr;
}

bool TTreeNode::IsVisible() const {
  for (const TTreeNode* p = parent_; p && p->parent_; p = p->parent_)
    if (!p->expanded_) return false;
  return true;
}

void TTreeNode::SetExpanded(bool v) {
  if (v == expanded_) return;
  expanded_ = v;
  // A selection folded away moves up to the node folded.
  TCustomTreeView& view = owner_->View();
  if (!v && view.selected_ && !view.selected_->IsVisible())
    for (TTreeNode* p = view.selected_->parent_; p && p->parent_; p = p->parent_)
      if (p == this) {
        view.SetSelected(this);
        break;
      }
  view.Invalidate();
}

void TTreeNode::Expand(bool recurse) {
  SetExpanded(true);
  if (recurse)
    for (auto& c : children_) c->Expand(true);
}

void TTreeNode::Collapse(bool recurse) {
  if (recurse)
    for (auto& c : children_) c->Collapse(true);
  SetExpanded(false);
}

bool TTreeNode::Selected() const { return owner_->View().Selected() == this; }

void TTreeNode::Delete() { owner_->Delete(this); }

// ---- TTreeNodes

TTreeNodes::~TTreeNodes() = default;

TTreeNode* TTreeNodes::AddObject(TTreeNode* sibling, const std::string& text, intptr_t data) {
  return AddChildObject(sibling ? sibling->parent_ : nullptr, text, data);
}

TTreeNode* TTreeNodes::AddChildObject(TTreeNode* parent, const std::string& text, intptr_t data) {
  TTreeNode* p = parent ? parent : root_.get();
  auto* node = new TTreeNode(this, p);
  node->Text = text;
  node->Data = data;
  node->indexHint_ = p->children_.size();
  p->children_.emplace_back(node);
  view_.Invalidate();
  return node;
}

void TTreeNodes::Delete(TTreeNode* node) {
  if (!node || node == root_.get() || node->owner_ != this || !node->parent_) return;
  view_.NodeDeleting(node);
  auto& s = node->parent_->children_;
  const int i = node->Index();
  if (i >= 0) s.erase(s.begin() + i);
  view_.Invalidate();
}

void TTreeNodes::Clear() {
  while (root_->HasChildren()) Delete(root_->GetLastChild());
}

int TTreeNodes::Count() const {
  int n = 0;
  for (TTreeNode* i = GetFirstNode(); i; i = i->GetNext()) ++n;
  return n;
}

TTreeNode* TTreeNodes::Item(int absoluteIndex) const {
  int i = 0;
  for (TTreeNode* n = GetFirstNode(); n; n = n->GetNext(), ++i)
    if (i == absoluteIndex) return n;
  return nullptr;
}

// ---- TCustomTreeView

TCustomTreeView::TCustomTreeView(TComponent* AOwner) : TWinControl(AOwner), items_(*this) {
  SetBounds(0, 0, 121, 97);
  Color = gdi::clWindow;
}

TCustomTreeView::~TCustomTreeView() {
  // The nodes go without selection changes.
  selected_ = hot_ = nullptr;
  OnChange = nullptr;
}

void TCustomTreeView::NodeDeleting(TTreeNode* node) {
  for (TTreeNode* n : {selected_, hot_})
    for (TTreeNode* p = n; p; p = p->parent_)
      if (p == node) {
        if (n == selected_) selected_ = nullptr;
        if (n == hot_) hot_ = nullptr;
        break;
      }
}

void TCustomTreeView::SetSelected(TTreeNode* node) {
  if (node == selected_) return;
  selected_ = node;
  Invalidate();
  Change(node);
}

void TCustomTreeView::Change(TTreeNode* node) {
  if (!OnChange) return;
  TCustomForm::HandlerScope scope(GetParentForm(this));
  OnChange(this, node);
}

void TCustomTreeView::FullExpand() {
  for (TTreeNode* n = items_.GetFirstNode(); n; n = n->GetNext()) n->SetExpanded(true);
}

void TCustomTreeView::FullCollapse() {
  for (TTreeNode* n = items_.GetFirstNode(); n; n = n->GetNext()) n->SetExpanded(false);
}

int TCustomTreeView::ClientWidth() const {
  return std::max(0, Width() - (BorderStyle == TBorderStyle::bsSingle ? 4 : 0));
}

int TCustomTreeView::ClientHeight() const {
  return std::max(0, Height() - (BorderStyle == TBorderStyle::bsSingle ? 4 : 0));
}

win::PT TCustomTreeView::ClientOffset() const {
  return BorderStyle == TBorderStyle::bsSingle ? win::PT{2, 2} : win::PT{0, 0};
}

int TCustomTreeView::RowHeight() { return Canvas().TextHeight("Ag") + 3; }

std::vector<TTreeNode*> TCustomTreeView::VisibleNodes() const {
  std::vector<TTreeNode*> rows;
  for (TTreeNode* n = items_.GetFirstNode(); n;) {
    rows.push_back(n);
    if (n->Expanded() && n->HasChildren()) {
      n = n->GetFirstChild();
      continue;
    }
    // The next sibling, or the nearest ancestor's.
    TTreeNode* next = nullptr;
    for (TTreeNode* m = n; m && m->Parent() && !next; m = m->Parent()) next = m->GetNextSibling();
    n = next;
  }
  return rows;
}

bool TCustomTreeView::HasButton(const TTreeNode* node) const {
  return ShowButtons && node->HasChildren() && (ShowRoot || node->Level() > 0);
}

int TCustomTreeView::ButtonLeft(const TTreeNode* node) const {
  return ClientOffset().x + (node->Level() + (ShowRoot ? 1 : 0) - 1) * Indent;
}

win::RECT TCustomTreeView::DisplayRect(TTreeNode* node, bool textOnly) {
  const std::vector<TTreeNode*> rows = VisibleNodes();
  const auto it = std::find(rows.begin(), rows.end(), node);
  if (it == rows.end()) return {0, 0, 0, 0};
  const int h = RowHeight();
  const win::PT o = ClientOffset();
  const int top = o.y + static_cast<int>(it - rows.begin()) * h;
  if (!textOnly) return {o.x, top, o.x + ClientWidth(), top + h};
  const int left = ButtonLeft(node) + Indent + 2;
  return {left, top, left + Canvas().TextWidth(node->Text) + 4, top + h};
}

TTreeNode* TCustomTreeView::GetNodeAt(int x, int y) {
  const win::PT o = ClientOffset();
  if (x < o.x || x >= o.x + ClientWidth() || y < o.y) return nullptr;
  const std::vector<TTreeNode*> rows = VisibleNodes();
  const int row = (y - o.y) / std::max(1, RowHeight());
  return row < static_cast<int>(rows.size()) ? rows[static_cast<size_t>(row)] : nullptr;
}

THitTests TCustomTreeView::GetHitTestInfoAt(int x, int y) {
  const win::PT o = ClientOffset();
  if (y < o.y) return htAbove;
  if (y >= o.y + ClientHeight()) return htBelow;
  TTreeNode* node = GetNodeAt(x, y);
  if (!node) return htNowhere;
  const win::RECT label = DisplayRect(node, true);
  if (x >= label.right) return htToRight;
  if (x >= label.left) return htOnLabel;
  const int button = ButtonLeft(node);
  if (HasButton(node) && x >= button && x < button + Indent) return htOnButton;
  return htOnIndent;
}

void TCustomTreeView::Paint() {
  gdi::TCanvas& c = Canvas();
  win::RECT r{0, 0, Width(), Height()};
  Fill(c, r, Color);
  if (BorderStyle == TBorderStyle::bsSingle) Frame3D(c, r, TBevelCut::bvLowered, 2);
  const win::PT o = ClientOffset();
  win::HDC dc = c.Handle();
  const int saved = win::SaveDC(dc);
  win::IntersectClipRect(dc, o.x, o.y, o.x + ClientWidth(), o.y + ClientHeight());
  const int h = RowHeight(), th = c.TextHeight("Ag");
  const std::vector<TTreeNode*> rows = VisibleNodes();
  for (size_t i = 0; i < rows.size(); ++i) {
    TTreeNode* n = rows[i];
    const int top = o.y + static_cast<int>(i) * h;
    if (top >= o.y + ClientHeight()) break;
    if (HasButton(n)) {
      // A 9-pixel box with a minus, and a plus while folded.
      const int bx = ButtonLeft(n) + (Indent - 9) / 2, by = top + (h - 9) / 2;
      Fill(c, {bx, by, bx + 9, by + 9}, gdi::clWindow);
      c.Brush.Color = gdi::clGray;
      c.FrameRect({bx, by, bx + 9, by + 9});
      Fill(c, {bx + 2, by + 4, bx + 7, by + 5}, gdi::clBlack);
      if (!n->Expanded()) Fill(c, {bx + 4, by + 2, bx + 5, by + 7}, gdi::clBlack);
    }
    const int left = ButtonLeft(n) + Indent + 2;
    const win::RECT label{left, top, left + c.TextWidth(n->Text) + 4, top + h};
    c.Font.Assign(Font);
    if (n == selected_) {
      Fill(c, label, gdi::clHighlight);
      c.Font.SetColor(gdi::clHighlightText);
    } else if (HotTrack && n == hot_) {
      c.Font.SetColor(gdi::clBlue);
      c.Font.SetStyle(c.Font.Style() | gdi::fsUnderline);
    }
    c.Brush.Style = gdi::TBrushStyle::bsClear;
    c.TextOut(left + 2, top + (h - th) / 2, n->Text);
  }
  win::RestoreDC(dc, saved);
}

void TCustomTreeView::MouseDown(TMouseButton button, TShiftState shift, int x, int y) {
  if (button == TMouseButton::mbLeft || button == TMouseButton::mbRight) {
    const THitTests hit = GetHitTestInfoAt(x, y);
    TTreeNode* node = GetNodeAt(x, y);
    // The second press of a double click has toggled the node already.
    if (button == TMouseButton::mbLeft && (hit & htOnButton) && node) {
      if (!(shift & ssDouble)) node->SetExpanded(!node->Expanded());
    }
    else if ((hit & htOnLabel) && node) SetSelected(node);
  }
  lastDown_ = {x, y};
  TWinControl::MouseDown(button, shift, x, y);
}

void TCustomTreeView::MouseMove(TShiftState shift, int x, int y) {
  if (HotTrack) {
    TTreeNode* node = (GetHitTestInfoAt(x, y) & htOnLabel) ? GetNodeAt(x, y) : nullptr;
    if (node != hot_) {
      hot_ = node;
      Invalidate();
    }
  }
  TWinControl::MouseMove(shift, x, y);
}

void TCustomTreeView::WndProc(TMessage& m) {
  // The double click's own point, before DblClick runs.
  if (m.Msg == WM_LBUTTONDBLCLK) lastDown_ = ParamToPoint(m.LParam);
  TWinControl::WndProc(m);
}

void TCustomTreeView::DblClick() {
  TWinControl::DblClick();
  if (TTreeNode* node = GetNodeAt(lastDown_.x, lastDown_.y)) node->SetExpanded(!node->Expanded());
}

}  // namespace ui
