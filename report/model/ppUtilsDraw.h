// The library's drawing routines on canvases and devices (the part of the
// utilities that needs the canvas).
#pragma once
#include <memory>
#include <string>

#include "platform/classes/classes.h"
#include "platform/gdi/canvas.h"

// The library's font: a class-library font (persistent, with published
// properties) as components and draw commands own it.
class TppFont : public gdi::TFont {
  CLS_DECLARE_CLASS(TppFont, gdi::TFont)
 public:
  TppFont() = default;
  TppFont(const TppFont& other) : gdi::TFont(other) {}
  TppFont& operator=(const TppFont& other) {
    gdi::TFont::operator=(other);
    return *this;
  }
};

// An off-screen canvas like the device: a memory context with a bitmap of
// the given size, white when made.
class TppDeviceCompatibleCanvas : public gdi::TCanvas {
 public:
  TppDeviceCompatibleCanvas(int width, int height, win::HDC device);
  ~TppDeviceCompatibleCanvas() override;
  int Width() const { return width_; }
  int Height() const { return height_; }
  // Copies the bitmap onto DEVICE, stretched to RECT.
  void RenderToDevice(const win::RECT& rect, win::HDC device, unsigned rop = win::SRCCOPY);

 private:
  int width_, height_;
  win::HDC memDC_ = nullptr;
  win::HBITMAP bitmap_ = nullptr;
  win::HGDIOBJ oldBitmap_ = nullptr;
};

// The bitmap's bits stretched into RECT; halftone when the device has at
// most 8 bits a pixel and fewer than the bitmap.
void StretchDrawDIB(gdi::TCanvas& device, const win::RECT& rect, gdi::TBitmap& bitmap);
// The bitmap stretched into RECT with its white pixels left out, where the
// device can stretch-blit; a plain stretched DIB otherwise.
void DrawTransparentBitmap(gdi::TCanvas& device, const win::RECT& rect, gdi::TBitmap& bitmap);

// A small picture drawn by code; descendants give its size and DrawImage.
class TppMetaBitmap : public cls::TObject {
 public:
  // A new bitmap of T's size with a new T drawn into it.
  template <class T>
  static std::unique_ptr<gdi::TBitmap> CreateBitmap() {
    T image;
    auto bitmap = std::make_unique<gdi::TBitmap>();
    bitmap->SetSize(image.ImageWidth(), image.ImageHeight());
    image.DrawInto(*bitmap);
    return bitmap;
  }
  // A new T drawn into BITMAP as it is.
  template <class T>
  static void DrawToBitmap(gdi::TBitmap& bitmap) {
    T image;
    image.DrawInto(bitmap);
  }

  virtual int ImageWidth() const { return 16; }
  virtual int ImageHeight() const { return 16; }
  void DrawInto(gdi::TBitmap& bitmap);

 protected:
  virtual void DrawImage() = 0;
  gdi::TCanvas& Canvas() { return *canvas_; }
  // Each sets pen and brush to COLOR. Horizontal and vertical lines include
  // their end pixel; rectangles and ellipses include both corners.
  void Line(int x1, int y1, int x2, int y2, gdi::TColor color);
  void FillRect(int left, int top, int right, int bottom, gdi::TColor color);
  void FrameRect(int left, int top, int right, int bottom, gdi::TColor color);
  void Ellipse(int left, int top, int right, int bottom, gdi::TColor color);
  // Fills the area of the colour found at (x, y).
  void FloodFill(int x, int y, gdi::TColor color);
  // Text one pixel left and two up of (x, y).
  void Text(int x, int y, const std::string& text, gdi::TColor color);

 private:
  void SetColor(gdi::TColor color);
  gdi::TCanvas* canvas_ = nullptr;
};
