// The class library's canvas over a device context: font, pen and brush
// objects that are selected into the context before each drawing call.
#pragma once
#include <functional>
#include <memory>
#include <string>

#include "platform/gdi/colors.h"
#include "platform/gdi/gdi.h"
#include "platform/classes/classes.h"
#include "platform/classes/typinfo.h"

namespace cls {
class TStream;
}

namespace gdi {

// The RGB value of a colour; system colours by the system-colour scheme.
win::COLORREF ColorToRGB(TColor color);

enum TFontStyle : unsigned { fsBold = 1, fsItalic = 2, fsUnderline = 4, fsStrikeOut = 8 };
using TFontStyles = unsigned;  // bit n for the style of ordinal n (a set)
CLS_ENUM_CLASS(TFontPitch, fpDefault, fpVariable, fpFixed)
CLS_ENUM_CLASS(TPenStyle, psSolid, psDash, psDot, psDashDot, psDashDotDot, psClear, psInsideFrame)
CLS_ENUM_CLASS(TPenMode, pmCopy, pmNot, pmXor, pmMerge, pmMask)
CLS_ENUM_CLASS(TBrushStyle, bsSolid, bsClear, bsHorizontal, bsVertical, bsFDiagonal, bsBDiagonal, bsCross,
               bsDiagCross)

// Fonts, pens, brushes and pictures are persistent: Assign copies them and
// their published properties (RegisterGraphicsClasses) stream with the
// object that holds them.

// A font: Height in pixels of its PixelsPerInch (the screen's unless set;
// negative: character height), Size in points; setting one recomputes the
// other.
class TFont : public cls::TPersistent {
  CLS_DECLARE_CLASS(TFont, cls::TPersistent)
 public:
  TFont();
  // Copies take the values, not the OnChange handler; assigning is Assign.
  TFont(const TFont& other);
  TFont& operator=(const TFont& other);
  std::string Name() const { return name_; }
  void SetName(const std::string& v);
  int Size() const;
  void SetSize(int points);
  int Height() const { return height_; }
  void SetHeight(int v);
  TFontStyles Style() const { return style_; }
  void SetStyle(TFontStyles v);
  TColor Color() const { return color_; }
  void SetColor(TColor v);
  int Charset() const { return charset_; }
  void SetCharset(int v);
  TFontPitch Pitch() const { return pitch_; }
  void SetPitch(TFontPitch v);
  int PixelsPerInch() const { return ppi_; }
  // Changes the resolution keeping Height (as the class library does).
  void SetPixelsPerInch(int v) { ppi_ = v > 0 ? v : ppi_; }
  int Orientation() const { return orientation_; }  // tenths of a degree
  void SetOrientation(int v);
  void Assign(const TFont& other);
  // A font source is copied; others as TPersistent has it.
  void Assign(cls::TPersistent* source) override;
  bool Equals(const TFont& other) const;  // name, size, style, colour, charset, pitch
  win::LOGFONTA LogFont() const;
  std::function<void()> OnChange;

 private:
  void Changed();
  std::string name_ = "MS Sans Serif";
  int height_ = -11;
  TFontStyles style_ = 0;
  TColor color_ = clWindowText;
  int charset_ = win::DEFAULT_CHARSET;
  TFontPitch pitch_ = TFontPitch::fpDefault;
  int ppi_;  // the screen's at creation
  int orientation_ = 0;
};

// Pens and brushes: the fields may be written directly (no notice); the
// setters and Assign notify OnChange.
class TPen : public cls::TPersistent {
  CLS_DECLARE_CLASS(TPen, cls::TPersistent)
 public:
  TPen() = default;
  // Copies take the values, not the OnChange handler.
  TPen(const TPen& o) : TPersistent(), Color(o.Color), Width(o.Width), Style(o.Style), Mode(o.Mode) {}
  TPen& operator=(const TPen& o) {
    if (this != &o) Assign(o);
    return *this;
  }
  TColor Color = clBlack;
  int Width = 1;
  TPenStyle Style = TPenStyle::psSolid;
  TPenMode Mode = TPenMode::pmCopy;
  void SetColor(TColor v);
  void SetWidth(int v);
  void SetStyle(TPenStyle v);
  void SetMode(TPenMode v);
  void Assign(const TPen& o);
  void Assign(cls::TPersistent* source) override;
  std::function<void()> OnChange;

 private:
  void Changed() {
    if (OnChange) OnChange();
  }
};

class TBrush : public cls::TPersistent {
  CLS_DECLARE_CLASS(TBrush, cls::TPersistent)
 public:
  TBrush() = default;
  TBrush(const TBrush& o) : TPersistent(), Color(o.Color), Style(o.Style) {}
  TBrush& operator=(const TBrush& o) {
    if (this != &o) Assign(o);
    return *this;
  }
  TColor Color = clWhite;
  TBrushStyle Style = TBrushStyle::bsSolid;
  void SetColor(TColor v);
  void SetStyle(TBrushStyle v);
  void Assign(const TBrush& o);
  void Assign(cls::TPersistent* source) override;
  std::function<void()> OnChange;

 private:
  void Changed() {
    if (OnChange) OnChange();
  }
};

class TCanvas;

// A picture of some kind (bitmap, metafile, ...) of a size in pixels.
class TGraphic : public cls::TPersistent {
  CLS_DECLARE_CLASS(TGraphic, cls::TPersistent)
 public:
  virtual int Width() const = 0;
  virtual int Height() const = 0;
  virtual bool Empty() const { return Width() <= 0 || Height() <= 0; }
  // Draws the graphic stretched into R on CANVAS.
  virtual void Draw(TCanvas& canvas, const win::RECT& r) = 0;
  // A new graphic of this class holding the same picture.
  virtual TGraphic* NewCopy() const = 0;
  // The graphic's file format from the stream's position to its end; a
  // graphic that cannot be read raises EInvalidGraphic and stays as it was.
  virtual void LoadFromStream(cls::TStream& stream);
  virtual void SaveToStream(cls::TStream& stream);
  // A file by its Windows name under the system root.
  void LoadFromFile(const std::string& fileName);
};


class TCanvas {
 public:
  TCanvas();
  virtual ~TCanvas();
  TCanvas(const TCanvas&) = delete;
  TCanvas& operator=(const TCanvas&) = delete;

  // The context; asks CreateHandle when there is none.
  win::HDC Handle();
  void SetHandle(win::HDC dc);  // not owned
  bool HandleAllocated() const { return dc_ != nullptr; }

  TFont Font;
  TPen Pen;
  TBrush Brush;
  unsigned CopyMode = win::SRCCOPY;
  win::PT PenPos() const { return penPos_; }

  void MoveTo(int x, int y);
  void LineTo(int x, int y);
  void Polyline(const std::vector<win::PT>& points);
  void Polygon(const std::vector<win::PT>& points);
  void Rectangle(int l, int t, int r, int b);
  void RoundRect(int l, int t, int r, int b, int cw, int ch);
  void Ellipse(int l, int t, int r, int b);
  void FillRect(const win::RECT& r);
  void FrameRect(const win::RECT& r);
  void TextOut(int x, int y, const std::string& text);
  // Text clipped to R, drawn at (x, y).
  void TextRect(const win::RECT& r, int x, int y, const std::string& text);
  int TextWidth(const std::string& text);
  int TextHeight(const std::string& text);
  win::SIZE TextExtent(const std::string& text);
  // The graphic stretched into R; at its own size at (x, y).
  void StretchDraw(const win::RECT& r, TGraphic& graphic);
  void Draw(int x, int y, TGraphic& graphic);
  win::RECT ClipRect();

  // Selects font, pen and brush into the context (before each call).
  void RequireState();

 protected:
  virtual void CreateHandle() {}
  // Runs before each change of the drawing (the printer canvas refreshes
  // its font here).
  virtual void Changing() {}

 private:
  void FreeObjects();
  win::HDC dc_ = nullptr;
  win::PT penPos_{};
  win::HFONT font_ = nullptr;
  win::HPEN pen_ = nullptr;
  win::HBRUSH brush_ = nullptr;
  // What the objects were made from.
  win::LOGFONTA fontSpec_{};
  PenSpec penSpec_;
  BrushSpec brushSpec_;
};

// A bitmap with a canvas of its own (32-bit, white when made).
class TBitmap : public TGraphic {
  CLS_DECLARE_CLASS(TBitmap, TGraphic)
 public:
  TBitmap();
  ~TBitmap() override;
  int Width() const override { return width_; }
  int Height() const override { return height_; }
  void SetSize(int w, int h);
  TCanvas& Canvas();
  win::HDC DC();
  std::vector<std::uint32_t> Pixels() const;
  // Takes W x H pixels (0xAARRGGBB, rows top down); false, leaving the
  // bitmap as it was, when the size is not one a bitmap can have or the
  // pixels do not fill it.
  bool SetPixels(int w, int h, const std::vector<std::uint32_t>& pixels);
  void Draw(TCanvas& canvas, const win::RECT& r) override;
  TGraphic* NewCopy() const override;
  // A bitmap is copied; another graphic is drawn at its own size on white.
  void Assign(cls::TPersistent* source) override;
  // BMP files (uncompressed, 1, 4, 8, 24 or 32 bits a pixel); saved with
  // 24 bits.
  void LoadFromStream(cls::TStream& stream) override;
  void SaveToStream(cls::TStream& stream) override;
  // A PNG (RGB, written by cairo) stating the screen's pixels per inch;
  // the file by its Windows name under the system root. An empty bitmap
  // or a failed write raises EInvalidGraphic (the stream's own errors pass).
  void SaveToPngStream(cls::TStream& stream) const;
  void SaveToPngFile(const std::string& fileName) const;

 private:
  void Replace(win::HBITMAP bm, int w, int h);
  int width_ = 0, height_ = 0;
  win::HDC dc_ = nullptr;
  win::HBITMAP bitmap_ = nullptr;
  win::HGDIOBJ old_ = nullptr;
  std::unique_ptr<TCanvas> canvas_;
};

// Publishes the properties of fonts, pens and brushes (once; later calls
// do nothing).
void RegisterGraphicsClasses();

}  // namespace gdi
