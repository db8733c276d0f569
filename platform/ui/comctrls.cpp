#include "comctrls.h"

#include <algorithm>

#include "platform/ui/forms.h"

namespace ui {

CLS_IMPLEMENT_COMPONENT(TImageList)
CLS_IMPLEMENT_COMPONENT(TTabSheet)
CLS_IMPLEMENT_COMPONENT(TPageControl)

// ---- TImageList

TImageList::TImageList(TComponent* AOwner) : TComponent(AOwner) {}

TImageList::~TImageList() = default;

void TImageList::SetSize(int width, int height) {
  width_ = std::max(1, width);
  height_ = std::max(1, height);
  images_.clear();
}

int TImageList::AddMasked(const gdi::TBitmap& image, gdi::TColor maskColor) {
  const std::vector<std::uint32_t> src = image.Pixels();
  const win::COLORREF mask = gdi::ColorToRGB(maskColor);
  auto img = std::make_unique<Image>();
  img->pixels.assign(static_cast<size_t>(width_) * static_cast<size_t>(height_), 0);
  for (int y = 0; y < std::min(height_, image.Height()); ++y)
    for (int x = 0; x < std::min(width_, image.Width()); ++x) {
      const std::uint32_t argb = src[static_cast<size_t>(y) * static_cast<size_t>(image.Width()) + static_cast<size_t>(x)];
      const win::COLORREF rgb = ((argb >> 16) & 0xFF) | (argb & 0xFF00) | ((argb & 0xFF) << 16);
      if (rgb != mask) img->pixels[static_cast<size_t>(y) * static_cast<size_t>(width_) + static_cast<size_t>(x)] = argb | 0xFF000000u;
    }
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
    c.TextOut(x, r.top + (r.bottom - r.top - c.TextHeight("Ag")) / 2, p->Caption);
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

}  // namespace ui
