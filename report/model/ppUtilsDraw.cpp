// Drawing utilities: off-screen device canvases, bitmaps on devices and
// bitmaps drawn by code.
#include "report/model/ppUtilsDraw.h"

#include <vector>

CLS_IMPLEMENT_CLASS(TppFont)

TppDeviceCompatibleCanvas::TppDeviceCompatibleCanvas(int width, int height, win::HDC device)
    : width_(width), height_(height) {
  memDC_ = win::CreateCompatibleDC(device);
  bitmap_ = win::CreateCompatibleBitmap(device, width, height);
  if (memDC_ && bitmap_) oldBitmap_ = win::SelectObject(memDC_, bitmap_);
  SetHandle(memDC_);
  if (memDC_ && bitmap_) win::BitBlt(memDC_, 0, 0, width, height, nullptr, 0, 0, win::WHITENESS);
}

TppDeviceCompatibleCanvas::~TppDeviceCompatibleCanvas() {
  SetHandle(nullptr);
  if (memDC_ && oldBitmap_) win::SelectObject(memDC_, oldBitmap_);
  win::DeleteObject(bitmap_);
  if (memDC_) win::DeleteDC(memDC_);
}

void TppDeviceCompatibleCanvas::RenderToDevice(const win::RECT& rect, win::HDC device, unsigned rop) {
  if (!memDC_ || !bitmap_ || !device) return;
  win::StretchBlt(device, rect.left, rect.top, rect.right - rect.left, rect.bottom - rect.top, memDC_, 0, 0,
                  width_, height_, rop);
}

namespace {

constexpr int kBitmapBits = 32;

int DeviceBits(win::HDC dc) { return win::GetDeviceCaps(dc, win::BITSPIXEL) * win::GetDeviceCaps(dc, win::PLANES); }

// A bitmap of SOURCE's size whose pixels are MAP(pixel).
template <class Map>
std::unique_ptr<gdi::TBitmap> Mapped(gdi::TBitmap& source, Map map) {
  auto out = std::make_unique<gdi::TBitmap>();
  out->SetSize(source.Width(), source.Height());
  std::vector<std::uint32_t> px = source.Pixels();
  for (auto& p : px) p = map(p);
  win::HDC dc = out->DC();
  win::HBITMAP bm = win::CreateBitmap32(source.Width(), source.Height(), px.data());
  win::HDC src = win::CreateCompatibleDC(dc);
  win::HGDIOBJ old = win::SelectObject(src, bm);
  win::BitBlt(dc, 0, 0, source.Width(), source.Height(), src, 0, 0, win::SRCCOPY);
  win::SelectObject(src, old);
  win::DeleteDC(src);
  win::DeleteObject(bm);
  return out;
}

bool IsWhite(std::uint32_t argb) { return (argb & 0xFFFFFFu) == 0xFFFFFFu; }

}  // namespace

void StretchDrawDIB(gdi::TCanvas& device, const win::RECT& rect, gdi::TBitmap& bitmap) {
  win::HDC dc = device.Handle();
  if (!dc || bitmap.Width() <= 0 || bitmap.Height() <= 0) return;
  std::vector<std::uint32_t> bits = bitmap.Pixels();
  win::BITMAPINFO info{};
  info.bmiHeader.biWidth = bitmap.Width();
  info.bmiHeader.biHeight = -bitmap.Height();  // top-down
  info.bmiHeader.biBitCount = kBitmapBits;
  int deviceBits = DeviceBits(dc);
  if (deviceBits <= 8 && deviceBits < kBitmapBits) {
    win::PT origin{};
    win::GetBrushOrgEx(dc, &origin);
    win::SetStretchBltMode(dc, win::HALFTONE);
    win::SetBrushOrgEx(dc, origin.x, origin.y, nullptr);
  }
  win::StretchDIBits(dc, rect.left, rect.top, rect.right - rect.left, rect.bottom - rect.top, 0, 0,
                     bitmap.Width(), bitmap.Height(), bits.data(), &info, win::DIB_RGB_COLORS, win::SRCCOPY);
}

void DrawTransparentBitmap(gdi::TCanvas& device, const win::RECT& rect, gdi::TBitmap& bitmap) {
  win::HDC dc = device.Handle();
  if (!dc || bitmap.Width() <= 0 || bitmap.Height() <= 0) return;
  if (!(win::GetDeviceCaps(dc, win::RASTERCAPS) & win::RC_STRETCHBLT)) {
    StretchDrawDIB(device, rect, bitmap);
    return;
  }
  // The mask is white where the bitmap is white and black elsewhere; the
  // image is the bitmap with its white made black. The mask ANDed onto the
  // device clears the picture's place, the image ORed fills it.
  auto mask = Mapped(bitmap, [](std::uint32_t p) { return IsWhite(p) ? 0xFFFFFFFFu : 0xFF000000u; });
  auto image = Mapped(bitmap, [](std::uint32_t p) { return IsWhite(p) ? 0xFF000000u : p; });
  bool mono = DeviceBits(dc) == 1;
  int w = mono ? rect.right - rect.left : bitmap.Width();
  int h = mono ? rect.bottom - rect.top : bitmap.Height();
  if (w <= 0 || h <= 0) return;
  TppDeviceCompatibleCanvas maskCanvas(w, h, dc), imageCanvas(w, h, dc);
  maskCanvas.StretchDraw({0, 0, w, h}, *mask);
  imageCanvas.StretchDraw({0, 0, w, h}, *image);
  maskCanvas.RenderToDevice(rect, dc, win::SRCAND);
  imageCanvas.RenderToDevice(rect, dc, win::SRCPAINT);
}

void TppMetaBitmap::DrawInto(gdi::TBitmap& bitmap) {
  canvas_ = &bitmap.Canvas();
  DrawImage();
  canvas_ = nullptr;
}

void TppMetaBitmap::SetColor(gdi::TColor color) {
  canvas_->Pen.Color = color;
  canvas_->Pen.Style = gdi::TPenStyle::psSolid;
  canvas_->Pen.Width = 1;
  canvas_->Brush.Color = color;
  canvas_->Brush.Style = gdi::TBrushStyle::bsSolid;
}

void TppMetaBitmap::Line(int x1, int y1, int x2, int y2, gdi::TColor color) {
  SetColor(color);
  // A line leaves out its end pixel; straight ones run one further.
  if (y1 == y2) x2 += x2 >= x1 ? 1 : -1;
  else if (x1 == x2) y2 += y2 >= y1 ? 1 : -1;
  canvas_->MoveTo(x1, y1);
  canvas_->LineTo(x2, y2);
}

void TppMetaBitmap::FillRect(int left, int top, int right, int bottom, gdi::TColor color) {
  SetColor(color);
  canvas_->FillRect({left, top, right + 1, bottom + 1});
}

void TppMetaBitmap::FrameRect(int left, int top, int right, int bottom, gdi::TColor color) {
  SetColor(color);
  canvas_->FrameRect({left, top, right + 1, bottom + 1});
}

void TppMetaBitmap::Ellipse(int left, int top, int right, int bottom, gdi::TColor color) {
  SetColor(color);
  canvas_->Ellipse(left, top, right + 1, bottom + 1);
}

void TppMetaBitmap::FloodFill(int x, int y, gdi::TColor color) {
  SetColor(color);
  canvas_->RequireState();
  win::HDC dc = canvas_->Handle();
  win::COLORREF surface = win::GetPixel(dc, x, y);
  if (surface != win::CLR_INVALID) win::ExtFloodFill(dc, x, y, surface, win::FLOODFILLSURFACE);
}

void TppMetaBitmap::Text(int x, int y, const std::string& text, gdi::TColor color) {
  SetColor(color);
  canvas_->Font.SetColor(color);
  canvas_->Brush.Style = gdi::TBrushStyle::bsClear;
  canvas_->TextOut(x - 1, y - 2, text);
}
