// Bitmaps: 32-bit memory bitmaps, copies between contexts, device-
// independent bits, pixels and flood fills.
#include <algorithm>

#include "dc_internal.h"

namespace win {

HBITMAP CreateBitmap32(int width, int height, const std::uint32_t* pixels) {
  // Taller bitmaps (a long page on the screen) are kept to 64 M pixels.
  constexpr long long kMaxTallPixels = 64LL << 20;
  if (width <= 0 || height <= 0 || width > 30000) return nullptr;
  if (height > 30000 && static_cast<long long>(width) * height > kMaxTallPixels) return nullptr;
  GdiObject* o = NewObject(GdiObject::Bitmap);
  o->bmWidth = width;
  o->bmHeight = height;
  o->pixels = std::make_shared<std::vector<std::uint32_t>>(static_cast<size_t>(width) * height, 0xFFFFFFFFu);
  if (pixels) std::copy(pixels, pixels + o->pixels->size(), o->pixels->begin());
  return o;
}

bool GetBitmapSize(HBITMAP bm, SIZE* size) {
  if (!ValidObject(bm, GdiObject::Bitmap) || !size) return false;
  *size = {bm->bmWidth, bm->bmHeight};
  return true;
}

bool GetBitmapPixels(HBITMAP bm, std::vector<std::uint32_t>& pixels) {
  if (!ValidObject(bm, GdiObject::Bitmap) || !bm->pixels) return false;
  pixels = *bm->pixels;
  return true;
}

bool StretchBlt(HDC dest, int x, int y, int w, int h, HDC src, int sx, int sy, int sw, int sh, DWORD rop) {
  if (!Valid(dest)) return false;
  if (rop == WHITENESS || rop == BLACKNESS) {
    Emit(dest, NewOp(dest, gdi::FillOp{{x, y, x + w, y + h}, {BS_SOLID, 0, rop == WHITENESS ? 0xFFFFFFu : 0u}}));
    return true;
  }
  if (!Valid(src) || src->kind != DeviceContext::Memory || !src->st.bitmap_ || !src->st.bitmap_->pixels)
    return false;
  HGDIOBJ bm = src->st.bitmap_;
  // Only the source rectangle's pixels travel (a viewer copies a window of
  // a page bitmap that may be far larger than an image can be).
  const long long left = std::clamp<long long>(std::min<long long>(sx, 0LL + sx + sw), 0, bm->bmWidth);
  const long long right = std::clamp<long long>(std::max<long long>(sx, 0LL + sx + sw), 0, bm->bmWidth);
  const long long top = std::clamp<long long>(std::min<long long>(sy, 0LL + sy + sh), 0, bm->bmHeight);
  const long long bottom = std::clamp<long long>(std::max<long long>(sy, 0LL + sy + sh), 0, bm->bmHeight);
  const bool whole = left == 0 && top == 0 && right == bm->bmWidth && bottom == bm->bmHeight;
  if (whole || right <= left || bottom <= top) {
    Emit(dest, NewOp(dest, gdi::ImageOp{{x, y, x + w, y + h},
                                        bm->bmWidth,
                                        bm->bmHeight,
                                        std::make_shared<const std::vector<std::uint32_t>>(*bm->pixels),
                                        {sx, sy, sx + sw, sy + sh},
                                        rop}));
    return true;
  }
  const int cw = static_cast<int>(right - left), ch = static_cast<int>(bottom - top);
  auto part = std::make_shared<std::vector<std::uint32_t>>(static_cast<size_t>(cw) * ch);
  for (int row = 0; row < ch; ++row) {
    auto from = bm->pixels->begin() + static_cast<std::ptrdiff_t>((top + row) * bm->bmWidth + left);
    std::copy(from, from + cw, part->begin() + static_cast<std::ptrdiff_t>(row) * cw);
  }
  const int ox = static_cast<int>(left), oy = static_cast<int>(top);
  Emit(dest, NewOp(dest, gdi::ImageOp{{x, y, x + w, y + h},
                                      cw,
                                      ch,
                                      std::move(part),
                                      {sx - ox, sy - oy, sx + sw - ox, sy + sh - oy},
                                      rop}));
  return true;
}

HBITMAP CreateCompatibleBitmap(HDC dc, int width, int height) {
  if (!Valid(dc)) return nullptr;
  return CreateBitmap32(width, height, nullptr);
}

int SetStretchBltMode(HDC dc, int mode) {
  if (!Valid(dc) || mode < BLACKONWHITE || mode > HALFTONE) return 0;
  int prev = dc->st.stretchMode;
  dc->st.stretchMode = mode;
  return prev;
}

int GetStretchBltMode(HDC dc) { return Valid(dc) ? dc->st.stretchMode : 0; }

bool SetBrushOrgEx(HDC dc, int x, int y, PT* old) {
  if (!Valid(dc)) return false;
  if (old) *old = dc->st.brushOrg;
  dc->st.brushOrg = {x, y};
  return true;
}

bool GetBrushOrgEx(HDC dc, PT* org) {
  if (!Valid(dc) || !org) return false;
  *org = dc->st.brushOrg;
  return true;
}

namespace {
// The selected bitmap of a memory context, or nullptr.
GdiObject* DrawnBitmap(HDC dc) {
  if (!Valid(dc) || dc->kind != DeviceContext::Memory) return nullptr;
  GdiObject* bm = dc->st.bitmap_;
  if (!bm || bm->stock || !bm->pixels) return nullptr;
  return bm;
}

// Moves a logical point to the bitmap's pixels; false outside it.
bool ToBitmapPoint(HDC dc, const GdiObject* bm, int& x, int& y) {
  const long long dx = static_cast<long long>(x) + dc->st.origin.x, dy = static_cast<long long>(y) + dc->st.origin.y;
  if (dx < 0 || dy < 0 || dx >= bm->bmWidth || dy >= bm->bmHeight) return false;
  x = static_cast<int>(dx);
  y = static_cast<int>(dy);
  return true;
}

}  // namespace

COLORREF GetPixel(HDC dc, int x, int y) {
  GdiObject* bm = DrawnBitmap(dc);
  if (!bm || !ToBitmapPoint(dc, bm, x, y)) return CLR_INVALID;
  return ToColorRef((*bm->pixels)[static_cast<size_t>(y) * bm->bmWidth + x]);
}

bool ExtFloodFill(HDC dc, int x, int y, COLORREF color, unsigned type) {
  GdiObject* bm = DrawnBitmap(dc);
  if (!bm || !ToBitmapPoint(dc, bm, x, y)) return false;
  if (dc->st.brush.style == BS_NULL) return true;
  auto& px = *bm->pixels;
  const int w = bm->bmWidth, h = bm->bmHeight;
  const std::uint32_t fill = ToArgb(dc->st.brush.color), edge = ToArgb(color) & 0xFFFFFFu;
  auto inside = [&](size_t i) {
    bool same = (px[i] & 0xFFFFFFu) == edge;
    return type == FLOODFILLSURFACE ? same : !same;
  };
  size_t start = static_cast<size_t>(y) * w + x;
  if (!inside(start)) return false;
  // Four-way fill; a visited mark keeps it finite when the fill colour
  // itself counts as inside.
  std::vector<bool> seen(px.size(), false);
  std::vector<size_t> todo{start};
  seen[start] = true;
  while (!todo.empty()) {
    size_t i = todo.back();
    todo.pop_back();
    int cx = static_cast<int>(i % w), cy = static_cast<int>(i / w);
    const int nx[] = {cx - 1, cx + 1, cx, cx}, ny[] = {cy, cy, cy - 1, cy + 1};
    for (int k = 0; k < 4; ++k) {
      if (nx[k] < 0 || ny[k] < 0 || nx[k] >= w || ny[k] >= h) continue;
      size_t j = static_cast<size_t>(ny[k]) * w + nx[k];
      if (!seen[j] && inside(j)) {
        seen[j] = true;
        todo.push_back(j);
      }
    }
    px[i] = fill;
  }
  return true;
}

bool BitBlt(HDC dest, int x, int y, int w, int h, HDC src, int sx, int sy, DWORD rop) {
  return StretchBlt(dest, x, y, w, h, src, sx, sy, w, h, rop);
}

int StretchDIBits(HDC dc, int x, int y, int w, int h, int sx, int sy, int sw, int sh, const void* bits,
                  const BITMAPINFO* info, unsigned usage, DWORD rop) {
  if (!Valid(dc) || !bits || !info || usage != DIB_RGB_COLORS) return 0;
  const BITMAPINFOHEADER& hd = info->bmiHeader;
  int bpp = hd.biBitCount;
  long width = hd.biWidth, height = hd.biHeight < 0 ? -static_cast<long>(hd.biHeight) : hd.biHeight;
  if (hd.biCompression != BI_RGB || width <= 0 || height <= 0 || width > 30000 || height > 30000 ||
      (bpp != 1 && bpp != 4 && bpp != 8 && bpp != 24 && bpp != 32))
    return 0;
  size_t stride = ((static_cast<size_t>(width) * bpp + 31) / 32) * 4;
  int colours = bpp <= 8 ? (hd.biClrUsed ? static_cast<int>(std::min<DWORD>(hd.biClrUsed, 1u << bpp)) : 1 << bpp) : 0;
  auto pixels = std::make_shared<std::vector<std::uint32_t>>(static_cast<size_t>(width) * height);
  const auto* src = static_cast<const BYTE*>(bits);
  for (long row = 0; row < height; ++row) {
    const BYTE* line = src + stride * static_cast<size_t>(hd.biHeight < 0 ? row : height - 1 - row);
    for (long col = 0; col < width; ++col) {
      std::uint32_t argb;
      if (bpp >= 24) {
        const BYTE* p = line + col * (bpp / 8);
        argb = 0xFF000000u | (p[2] << 16) | (p[1] << 8) | p[0];
      } else {
        int bitPos = static_cast<int>(col * bpp);
        int index = (line[bitPos / 8] >> (8 - bpp - bitPos % 8)) & ((1 << bpp) - 1);
        if (index >= colours) index = 0;
        const RGBQUAD& q = info->bmiColors[index];
        argb = 0xFF000000u | (q.rgbRed << 16) | (q.rgbGreen << 8) | q.rgbBlue;
      }
      (*pixels)[static_cast<size_t>(row) * width + col] = argb;
    }
  }
  Emit(dc, NewOp(dc, gdi::ImageOp{{x, y, x + w, y + h},
                                  static_cast<int>(width),
                                  static_cast<int>(height),
                                  std::move(pixels),
                                  {sx, sy, sx + sw, sy + sh},
                                  rop}));
  return static_cast<int>(height);
}

}  // namespace win
