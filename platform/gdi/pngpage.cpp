// Pages as PNG files in the depth their pixels need, written by libpng at a
// fast compression level: a receipt is black and white or grey, and its
// file is a fraction of the 24-bit one.
#include <png.h>
#include <zlib.h>

#include <csetjmp>
#include <cstdint>
#include <vector>

#include "platform/gdi/engine.h"

namespace gdi {
namespace {

enum class Depth { kBlackWhite, kGrey, kRgb };

Depth DepthOf(const std::vector<std::uint32_t>& pixels, size_t count) {
  bool blackWhite = true;
  for (size_t i = 0; i < count; ++i) {
    const std::uint32_t p = pixels[i] & 0xFFFFFFu;
    if (p == 0 || p == 0xFFFFFFu) continue;
    if (((p >> 16) & 0xFF) != (p & 0xFF) || ((p >> 8) & 0xFF) != (p & 0xFF)) return Depth::kRgb;
    blackWhite = false;
  }
  return blackWhite ? Depth::kBlackWhite : Depth::kGrey;
}

struct Sink {
  const std::function<bool(const unsigned char*, size_t)>* write;
  bool ok;
};

void WriteData(png_structp png, png_bytep data, size_t length) {
  auto* sink = static_cast<Sink*>(png_get_io_ptr(png));
  if (sink->ok && !(*sink->write)(data, length)) sink->ok = false;
}

void FlushData(png_structp) {}

// libpng leaves by longjmp on errors; this frame holds nothing to unwind.
bool Encode(png_structp png, png_infop info, const std::vector<std::uint32_t>& pixels, int width, int height,
            Depth depth, std::vector<png_byte>& row) {
  if (setjmp(png_jmpbuf(png))) return false;
  const int type = depth == Depth::kRgb ? PNG_COLOR_TYPE_RGB : PNG_COLOR_TYPE_GRAY;
  png_set_IHDR(png, info, static_cast<png_uint_32>(width), static_cast<png_uint_32>(height),
               depth == Depth::kBlackWhite ? 1 : 8, type, PNG_INTERLACE_NONE, PNG_COMPRESSION_TYPE_DEFAULT,
               PNG_FILTER_TYPE_DEFAULT);
  png_set_compression_level(png, Z_BEST_SPEED);
  // Text on white packs smaller unfiltered, and sooner; colour keeps the
  // left-neighbour filter.
  png_set_filter(png, PNG_FILTER_TYPE_BASE, depth == Depth::kRgb ? PNG_FILTER_SUB : PNG_FILTER_NONE);
  png_write_info(png, info);
  const size_t w = static_cast<size_t>(width);
  for (int y = 0; y < height; ++y) {
    const std::uint32_t* p = pixels.data() + static_cast<size_t>(y) * w;
    switch (depth) {
      case Depth::kBlackWhite:
        for (size_t x = 0; x < (w + 7) / 8; ++x) row[x] = 0;
        for (size_t x = 0; x < w; ++x)
          if (p[x] & 0xFF) row[x / 8] = static_cast<png_byte>(row[x / 8] | (0x80 >> (x % 8)));
        break;
      case Depth::kGrey:
        for (size_t x = 0; x < w; ++x) row[x] = static_cast<png_byte>(p[x] & 0xFF);
        break;
      case Depth::kRgb:
        for (size_t x = 0; x < w; ++x) {
          row[3 * x] = static_cast<png_byte>(p[x] >> 16);
          row[3 * x + 1] = static_cast<png_byte>(p[x] >> 8);
          row[3 * x + 2] = static_cast<png_byte>(p[x]);
        }
        break;
    }
    png_write_row(png, row.data());
  }
  png_write_end(png, info);
  return true;
}

}  // namespace

bool WritePixelsPng(const std::vector<std::uint32_t>& pixels, int width, int height,
                    const std::function<bool(const unsigned char*, size_t)>& write) {
  const size_t count = static_cast<size_t>(width > 0 ? width : 0) * static_cast<size_t>(height > 0 ? height : 0);
  if (count == 0 || pixels.size() < count) return false;
  const Depth depth = DepthOf(pixels, count);
  std::vector<png_byte> row(static_cast<size_t>(width) * 3);
  Sink sink{&write, true};
  png_structp png = png_create_write_struct(PNG_LIBPNG_VER_STRING, nullptr, nullptr, nullptr);
  if (!png) return false;
  png_infop info = png_create_info_struct(png);
  bool ok = false;
  if (info) {
    png_set_write_fn(png, &sink, WriteData, FlushData);
    ok = Encode(png, info, pixels, width, height, depth, row);
  }
  png_destroy_write_struct(&png, info ? &info : nullptr);
  return ok && sink.ok;
}

}  // namespace gdi
