// Metafiles (kept drawing calls, replayed stretched on any canvas) and
// pictures, which hold a bitmap, a metafile or another graphic.
#pragma once
#include <functional>
#include <vector>

#include "platform/classes/classes.h"
#include "platform/gdi/canvas.h"

namespace gdi {

// Drawing calls kept as operations within a frame of Width x Height
// pixels (of the reference the canvas that recorded them had).
class TMetafile : public TGraphic {
  CLS_DECLARE_CLASS(TMetafile, TGraphic)
 public:
  int Width() const override { return width_; }
  int Height() const override { return height_; }
  // Sizes below 0 count as 0.
  void SetSize(int w, int h);
  bool Empty() const override { return ops_.empty() || TGraphic::Empty(); }
  void Clear();
  const std::vector<Op>& Operations() const { return ops_; }
  void Draw(TCanvas& canvas, const win::RECT& r) override;
  TGraphic* NewCopy() const override;
  void Assign(cls::TPersistent* source) override;

 private:
  friend class TMetafileCanvas;
  int width_ = 0, height_ = 0;
  std::vector<Op> ops_;
};

// A canvas whose drawing goes into a metafile, measured as on REFERENCE
// (the screen when nullptr). The metafile gets the drawing, replacing
// what it held, when the canvas is closed or freed; a metafile without a
// size then takes the size of what was drawn.
class TMetafileCanvas : public TCanvas {
 public:
  TMetafileCanvas(TMetafile& metafile, win::HDC reference);
  ~TMetafileCanvas() override;
  void Close();

 private:
  TMetafile* metafile_;
  win::HDC dc_;
};

// A picture: empty, or one graphic it owns.
class TPicture : public cls::TPersistent {
  CLS_DECLARE_CLASS(TPicture, cls::TPersistent)
 public:
  TPicture() = default;
  TGraphic* Graphic() const { return graphic_.get(); }
  // Holds a copy of GRAPHIC; nullptr empties the picture.
  void SetGraphic(TGraphic* graphic);
  // The bitmap or metafile held; a picture holding something else first
  // gets a new empty one.
  TBitmap& Bitmap();
  TMetafile& Metafile();
  bool HasBitmap() const { return cls::ObjectIs<TBitmap>(graphic_.get()); }
  bool HasMetafile() const { return cls::ObjectIs<TMetafile>(graphic_.get()); }
  int Width() const { return graphic_ ? graphic_->Width() : 0; }
  int Height() const { return graphic_ ? graphic_->Height() : 0; }
  bool Empty() const { return !graphic_ || graphic_->Empty(); }
  // From a picture, a graphic, or nullptr (empties).
  void Assign(cls::TPersistent* source) override;
  std::function<void()> OnChange;

 private:
  void Changed() {
    if (OnChange) OnChange();
  }
  cls::Owned<TGraphic> graphic_;
};

}  // namespace gdi
