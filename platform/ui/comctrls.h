// Image lists and page controls with their tab sheets.
#pragma once
#include <vector>

#include "platform/ui/controls.h"

namespace ui {

// Images of one size, each with its transparent pixels.
class TImageList : public TComponent {
  CLS_DECLARE_CLASS(TImageList, TComponent)

 public:
  explicit TImageList(TComponent* AOwner);
  ~TImageList() override;
  int Width() const { return width_; }
  int Height() const { return height_; }
  // A new size clears the list.
  void SetSize(int width, int height);
  int Count() const { return static_cast<int>(images_.size()); }
  // Adds IMAGE (cut or padded to the list's size) with the pixels of
  // MASKCOLOR transparent; answers its index.
  int AddMasked(const gdi::TBitmap& image, gdi::TColor maskColor);
  void Delete(int index);
  void Clear() { images_.clear(); }
  // Draws image INDEX with its top-left at (X, Y); nothing for an index
  // outside the list.
  void Draw(gdi::TCanvas& canvas, int x, int y, int index) const;
  // The image's pixels (0xAARRGGBB, transparent ones with alpha 0).
  const std::vector<std::uint32_t>& Pixels(int index) const { return images_.at(static_cast<size_t>(index))->pixels; }

 private:
  struct Image {
    std::vector<std::uint32_t> pixels;
    gdi::TBitmap bitmap;
  };
  int width_ = 16, height_ = 16;
  std::vector<std::unique_ptr<Image>> images_;
};

class TPageControl;

// One page of a page control; its tab shows Caption and image ImageIndex.
class TTabSheet : public TWinControl {
  CLS_DECLARE_CLASS(TTabSheet, TWinControl)

 public:
  explicit TTabSheet(TComponent* AOwner);
  ~TTabSheet() override;
  TPageControl* PageControl() const { return pageControl_; }
  // Joins (or with nullptr leaves) a page control, as its last page.
  void SetPageControl(TPageControl* pc);
  // The index among the pages; setting it moves the page there.
  int PageIndex() const;
  void SetPageIndex(int i);
  int ImageIndex = -1;
  bool TabVisible = true;

 protected:
  void Paint() override;

 private:
  friend class TPageControl;
  TPageControl* pageControl_ = nullptr;
};

class TPageControl : public TWinControl {
  CLS_DECLARE_CLASS(TPageControl, TWinControl)

 public:
  explicit TPageControl(TComponent* AOwner);
  ~TPageControl() override;
  int PageCount() const { return static_cast<int>(pages_.size()); }
  TTabSheet* Pages(int i) const { return pages_.at(static_cast<size_t>(i)); }
  TTabSheet* ActivePage() const { return active_; }
  // Shows PAGE (one of this control's, or nullptr) and hides the others.
  void SetActivePage(TTabSheet* page);
  int ActivePageIndex() const { return active_ ? active_->PageIndex() : -1; }
  void SetActivePageIndex(int i);
  // The images the tabs show (not owned).
  TImageList* Images = nullptr;
  // After the user changed the page.
  TNotifyEvent OnChange;

  // The tabs run along the top; the pages fill the rest, inside a frame.
  static constexpr int kTabHeight = 24;
  win::RECT TabRect(int index);
  // The page whose tab holds the point, or -1.
  int IndexOfTabAt(int x, int y);
  win::RECT AlignArea() const override;

 protected:
  void Paint() override;
  // A left press on a tab selects its page.
  void MouseDown(TMouseButton button, TShiftState shift, int x, int y) override;

 private:
  friend class TTabSheet;
  void Remove(TTabSheet* page);
  std::vector<TTabSheet*> pages_;
  TTabSheet* active_ = nullptr;
};

}  // namespace ui
