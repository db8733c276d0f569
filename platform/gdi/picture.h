// Metafiles (kept drawing calls, replayed stretched on any canvas), icons
// and pictures, which hold a bitmap, a metafile or another graphic; the
// reading of their files.
#pragma once
#include <cstddef>
#include <cstdint>
#include <functional>
#include <string>
#include <vector>

#include "platform/classes/classes.h"
#include "platform/gdi/canvas.h"

namespace gdi {

// A picture file or data that cannot be read as the graphic asked for.
CLS_DECLARE_EXCEPTION(EInvalidGraphic, cls::Exception);

// Graphic files larger than this are refused unread.
constexpr int64_t kMaxGraphicBytes = int64_t(96) << 20;

// A device-independent bitmap: a header of 40 bytes or more, the colour
// table, and the rows at BITSOFFSET from DATA (0: right after the table).
// nullptr for anything malformed, short, compressed or larger than 30,000
// pixels a side or 16 Mi pixels.
win::HBITMAP BitmapFromDIB(const void* data, size_t size, size_t bitsOffset = 0);

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
  // Enhanced and Windows metafile files: their bytes are kept (and saved
  // again) and their frame gives the size, but they are not drawn.
  void LoadFromStream(cls::TStream& stream) override;
  void SaveToStream(cls::TStream& stream) override;
  const std::vector<uint8_t>& FileBytes() const { return bytes_; }

 private:
  friend class TMetafileCanvas;
  int width_ = 0, height_ = 0;
  std::vector<Op> ops_;
  std::vector<uint8_t> bytes_;
};

// An icon: the largest uncompressed image of an .ico file, drawn with its
// mask or alpha; the file's bytes are kept and saved again.
class TIcon : public TGraphic {
  CLS_DECLARE_CLASS(TIcon, TGraphic)
 public:
  TIcon();
  ~TIcon() override;
  int Width() const override;
  int Height() const override;
  void Draw(TCanvas& canvas, const win::RECT& r) override;
  TGraphic* NewCopy() const override;
  void Assign(cls::TPersistent* source) override;
  void LoadFromStream(cls::TStream& stream) override;
  void SaveToStream(cls::TStream& stream) override;
  // Premultiplied 0xAARRGGBB, rows top down.
  std::vector<std::uint32_t> Pixels() const;

 private:
  cls::Owned<TBitmap> image_;
  std::vector<uint8_t> bytes_;
};

// A new empty graphic for a file extension (".bmp", ".ico", ".emf",
// ".wmf", any case); nullptr for another.
TGraphic* NewGraphicForExtension(const std::string& extension);

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
  // A graphic of the class the extension names, from a file by its Windows
  // name under the system root. EInvalidGraphic (unknown extension, bad
  // file) or the stream's error, and the picture stays as it was.
  void LoadFromFile(const std::string& fileName);
  // Takes GRAPHIC (owned from now on; nullptr empties).
  void Adopt(TGraphic* graphic);
  // "Data": the graphic's class name (a length byte and the name), then its
  // data (a bitmap's with a 4-byte length first). A metafile only recorded
  // by a canvas has no data to keep.
  void DefineProperties(cls::TFiler* filer) override;
  void ReadData(cls::TStream& stream);
  void WriteData(cls::TStream& stream);
  bool HasData() const;
  std::function<void()> OnChange;

 private:
  void Changed() {
    if (OnChange) OnChange();
  }
  cls::Owned<TGraphic> graphic_;
};

}  // namespace gdi
