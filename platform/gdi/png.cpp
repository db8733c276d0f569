// PNG files of bitmaps, written by cairo, with the screen's resolution.
#include <array>
#include <cairo.h>
#include <cmath>

#include "dc_internal.h"
#include "platform/classes/streams.h"
#include "platform/gdi/canvas.h"
#include "platform/gdi/picture.h"

namespace gdi {
namespace {

std::uint32_t Crc32(const unsigned char* p, size_t n, std::uint32_t crc = 0xFFFFFFFFu) {
  static const std::array<std::uint32_t, 256> table = [] {
    std::array<std::uint32_t, 256> t{};
    for (std::uint32_t i = 0; i < 256; ++i) {
      std::uint32_t c = i;
      for (int k = 0; k < 8; ++k) c = c & 1 ? 0xEDB88320u ^ (c >> 1) : c >> 1;
      t[i] = c;
    }
    return t;
  }();
  for (size_t i = 0; i < n; ++i) crc = table[(crc ^ p[i]) & 0xFF] ^ (crc >> 8);
  return crc;
}

void PutBE(std::string& s, std::uint32_t v) {
  for (int shift = 24; shift >= 0; shift -= 8) s += static_cast<char>((v >> shift) & 0xFF);
}

// The pHYs chunk: pixels per metre in both directions.
std::string PhysChunk(int ppi) {
  const auto ppm = static_cast<std::uint32_t>(std::lround(ppi / 0.0254));
  std::string body = "pHYs";
  PutBE(body, ppm);
  PutBE(body, ppm);
  body += '\1';  // the unit is the metre
  std::string chunk;
  PutBE(chunk, 9);
  chunk += body;
  PutBE(chunk, Crc32(reinterpret_cast<const unsigned char*>(body.data()), body.size()) ^ 0xFFFFFFFFu);
  return chunk;
}

cairo_status_t Collect(void* closure, const unsigned char* data, unsigned int length) {
  static_cast<std::string*>(closure)->append(reinterpret_cast<const char*>(data), length);
  return CAIRO_STATUS_SUCCESS;
}

}  // namespace

void TBitmap::SaveToPngStream(cls::TStream& stream) const {
  std::vector<std::uint32_t> px = Pixels();
  if (width_ <= 0 || height_ <= 0 || px.size() != static_cast<size_t>(width_) * static_cast<size_t>(height_))
    throw EInvalidGraphic("An empty bitmap cannot be saved as PNG");
  cairo_surface_t* s = cairo_image_surface_create_for_data(reinterpret_cast<unsigned char*>(px.data()),
                                                           CAIRO_FORMAT_RGB24, width_, height_, width_ * 4);
  std::string png;
  cairo_status_t st = cairo_surface_write_to_png_stream(s, Collect, &png);
  cairo_surface_destroy(s);
  // The signature (8 bytes) and IHDR (25) come first; pHYs follows IHDR.
  constexpr size_t kAfterHeader = 33;
  if (st != CAIRO_STATUS_SUCCESS || png.size() < kAfterHeader)
    throw EInvalidGraphic(std::string("PNG not written: ") + cairo_status_to_string(st));
  png.insert(kAfterHeader, PhysChunk(ScreenPixelsPerInch()));
  stream.WriteBuffer(png.data(), static_cast<int64_t>(png.size()));
}

void TBitmap::SaveToPngFile(const std::string& fileName) const {
  cls::TFileStream file(fileName, cls::fmCreate);
  SaveToPngStream(file);
}

}  // namespace gdi
