// Picture files made byte by byte for the tests: BMP files of any depth,
// .ico files of DIB images with masks, and a metafile header.
#pragma once
#include <algorithm>
#include <cstdint>
#include <string>
#include <vector>

namespace testing_support {

inline void Put16(std::string& s, uint32_t v) {
  s += static_cast<char>(v & 0xFF);
  s += static_cast<char>(v >> 8 & 0xFF);
}
inline void Put32(std::string& s, uint32_t v) {
  Put16(s, v & 0xFFFF);
  Put16(s, v >> 16);
}

// The header, colour table and rows of a DIB of W x H pixels (0xRRGGBB, or
// 0xAARRGGBB for 32 bits; rows top down), HEIGHTFACTOR x H high in the
// header. A palette depth takes the distinct colours in order of use.
inline std::string DibBits(int w, int h, int bpp, const std::vector<uint32_t>& px, bool topDown = false,
                           int heightFactor = 1, std::string* headerAndTable = nullptr) {
  std::vector<uint32_t> palette;
  if (bpp <= 8)
    for (uint32_t p : px)
      if (std::find(palette.begin(), palette.end(), p & 0xFFFFFF) == palette.end()) palette.push_back(p & 0xFFFFFF);
  std::string head;
  Put32(head, 40);
  Put32(head, static_cast<uint32_t>(w));
  Put32(head, static_cast<uint32_t>(topDown ? -h * heightFactor : h * heightFactor));
  Put16(head, 1);
  Put16(head, static_cast<uint32_t>(bpp));
  for (int i = 0; i < 4; ++i) Put32(head, 0);
  Put32(head, static_cast<uint32_t>(palette.size()));
  Put32(head, 0);
  for (uint32_t c : palette) Put32(head, c);
  const size_t stride = (static_cast<size_t>(w) * bpp + 31) / 32 * 4;
  std::string rows;
  for (int i = 0; i < h; ++i) {
    int y = topDown ? i : h - 1 - i;
    std::string row(stride, '\0');
    for (int x = 0; x < w; ++x) {
      uint32_t p = px[static_cast<size_t>(y) * w + x];
      if (bpp >= 24) {
        for (int b = 0; b < bpp / 8; ++b) row[static_cast<size_t>(x * (bpp / 8) + b)] = static_cast<char>(p >> (8 * b));
      } else {
        uint32_t index = static_cast<uint32_t>(std::find(palette.begin(), palette.end(), p & 0xFFFFFF) - palette.begin());
        int bit = x * bpp;
        row[static_cast<size_t>(bit / 8)] |= static_cast<char>(index << (8 - bpp - bit % 8));
      }
    }
    rows += row;
  }
  if (headerAndTable) *headerAndTable = head;
  return head + rows;
}

inline std::string BmpFile(int w, int h, int bpp, const std::vector<uint32_t>& px, bool topDown = false) {
  std::string head;
  std::string dib = DibBits(w, h, bpp, px, topDown, 1, &head);
  std::string file = "BM";
  Put32(file, static_cast<uint32_t>(14 + dib.size()));
  Put32(file, 0);
  Put32(file, static_cast<uint32_t>(14 + head.size()));
  return file + dib;
}

// One image of an icon: pixels (0xAARRGGBB top down) and which of them the
// mask makes transparent.
struct IconImage {
  int w = 0, h = 0, bpp = 32;
  std::vector<uint32_t> px;
  std::vector<bool> clear;
  std::string raw;  // bytes used as they are instead (a PNG image, say)
};

inline std::string IconBytes(const IconImage& im) {
  if (!im.raw.empty()) return im.raw;
  std::string dib = DibBits(im.w, im.h, im.bpp, im.px, false, 2);
  const size_t stride = (static_cast<size_t>(im.w) + 31) / 32 * 4;
  for (int i = 0; i < im.h; ++i) {
    int y = im.h - 1 - i;
    std::string row(stride, '\0');
    for (int x = 0; x < im.w; ++x)
      if (!im.clear.empty() && im.clear[static_cast<size_t>(y) * im.w + x])
        row[static_cast<size_t>(x / 8)] |= static_cast<char>(0x80 >> (x % 8));
    dib += row;
  }
  return dib;
}

inline std::string IcoFile(const std::vector<IconImage>& images) {
  std::string file;
  Put16(file, 0);
  Put16(file, 1);
  Put16(file, static_cast<uint32_t>(images.size()));
  std::vector<std::string> bodies;
  size_t offset = 6 + 16 * images.size();
  for (const IconImage& im : images) {
    bodies.push_back(IconBytes(im));
    file += static_cast<char>(im.w & 0xFF);
    file += static_cast<char>(im.h & 0xFF);
    file += '\0';
    file += '\0';
    Put16(file, 1);
    Put16(file, static_cast<uint32_t>(im.bpp));
    Put32(file, static_cast<uint32_t>(bodies.back().size()));
    Put32(file, static_cast<uint32_t>(offset));
    offset += bodies.back().size();
  }
  for (const std::string& b : bodies) file += b;
  return file;
}

// An enhanced metafile's header record whose frame is W x H hundredths of
// a millimetre, then a few bytes of records.
inline std::string EmfFile(int32_t w, int32_t h) {
  std::string s;
  Put32(s, 1);   // EMR_HEADER
  Put32(s, 88);  // its size
  for (int32_t v : {0, 0, 100, 100, 0, 0, w, h}) Put32(s, static_cast<uint32_t>(v));
  Put32(s, 0x464D4520u);  // " EMF"
  Put32(s, 0x10000);
  Put32(s, 88 + 20);
  while (s.size() < 88) s += '\0';
  Put32(s, 14);  // EMR_EOF
  Put32(s, 20);
  Put32(s, 0);
  Put32(s, 0);
  Put32(s, 20);
  return s;
}

}  // namespace testing_support
