// The class library's canvas over a device context: font, pen and brush
// objects that are selected into the context before each drawing call.
#pragma once
#include <functional>
#include <memory>
#include <string>

#include "platform/gdi/colors.h"
#include "platform/gdi/gdi.h"
#include "platform/classes/typinfo.h"

namespace gdi {

// The RGB value of a colour; system colours by the system-colour scheme.
win::COLORREF ColorToRGB(TColor color);

enum TFontStyle : unsigned { fsBold = 1, fsItalic = 2, fsUnderline = 4, fsStrikeOut = 8 };
using TFontStyles = unsigned;
enum class TFontPitch { fpDefault, fpVariable, fpFixed };
CLS_ENUM_CLASS(TPenStyle, psSolid, psDash, psDot, psDashDot, psDashDotDot, psClear, psInsideFrame)
enum class TPenMode { pmCopy, pmNot, pmXor, pmMerge, pmMask };
CLS_ENUM_CLASS(TBrushStyle, bsSolid, bsClear, bsHorizontal, bsVertical, bsFDiagonal, bsBDiagonal, bsCross,
               bsDiagCross)

// A font: Height in pixels of its PixelsPerInch (the screen's unless set;
// negative: character height), Size in points; setting one recomputes the
// other.
class TFont {
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

class TPen {
 public:
  TColor Color = clBlack;
  int Width = 1;
  TPenStyle Style = TPenStyle::psSolid;
  TPenMode Mode = TPenMode::pmCopy;
  void Assign(const TPen& o) { Color = o.Color, Width = o.Width, Style = o.Style, Mode = o.Mode; }
};

class TBrush {
 public:
  TColor Color = clWhite;
  TBrushStyle Style = TBrushStyle::bsSolid;
  void Assign(const TBrush& o) { Color = o.Color, Style = o.Style; }
};

class TBitmap;

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
  void StretchDraw(const win::RECT& r, TBitmap& bitmap);
  void Draw(int x, int y, TBitmap& bitmap);
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
};

// A bitmap with a canvas of its own (32-bit, white when made).
class TBitmap {
 public:
  TBitmap();
  ~TBitmap();
  TBitmap(const TBitmap&) = delete;
  TBitmap& operator=(const TBitmap&) = delete;
  int Width() const { return width_; }
  int Height() const { return height_; }
  void SetSize(int w, int h);
  TCanvas& Canvas();
  win::HDC DC();
  std::vector<std::uint32_t> Pixels() const;

 private:
  int width_ = 0, height_ = 0;
  win::HDC dc_ = nullptr;
  win::HBITMAP bitmap_ = nullptr;
  win::HGDIOBJ old_ = nullptr;
  std::unique_ptr<TCanvas> canvas_;
};

}  // namespace gdi
