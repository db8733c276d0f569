// Picture files: device-independent bitmaps and BMP files, icons, metafile
// bytes, and a picture's "Data" in component streams. Every size is
// checked against the bytes there are before anything is allocated.
#include <algorithm>
#include <cctype>
#include <cmath>
#include <cstring>

#include "platform/classes/filer.h"
#include "platform/classes/streams.h"
#include "platform/gdi/picture.h"

namespace gdi {

CLS_IMPLEMENT_CLASS(TIcon)

namespace {

constexpr int kMaxSide = 30000;
constexpr int64_t kMaxPixels = int64_t(1) << 24;
constexpr int kMaxFileSide = 32767;  // the largest size a metafile frame may give

uint16_t U16(const uint8_t* p) { return static_cast<uint16_t>(p[0] | p[1] << 8); }
uint32_t U32(const uint8_t* p) { return p[0] | p[1] << 8 | p[2] << 16 | static_cast<uint32_t>(p[3]) << 24; }
int32_t I32(const uint8_t* p) { return static_cast<int32_t>(U32(p)); }
int16_t I16(const uint8_t* p) { return static_cast<int16_t>(U16(p)); }

void PutU16(std::vector<uint8_t>& out, uint32_t v) {
  out.push_back(static_cast<uint8_t>(v));
  out.push_back(static_cast<uint8_t>(v >> 8));
}
void PutU32(std::vector<uint8_t>& out, uint32_t v) {
  PutU16(out, v & 0xFFFF);
  PutU16(out, v >> 16);
}

// The bytes from the stream's position to its end (at most LIMIT).
std::vector<uint8_t> ReadRest(cls::TStream& stream, int64_t limit = kMaxGraphicBytes) {
  int64_t rest = stream.Size() - stream.Position();
  if (rest < 0) rest = 0;
  if (rest > limit) throw EInvalidGraphic("The picture is too large");
  std::vector<uint8_t> bytes(static_cast<size_t>(rest));
  if (rest) stream.ReadBuffer(bytes.data(), rest);
  return bytes;
}

void Write(cls::TStream& stream, const std::vector<uint8_t>& bytes) {
  if (!bytes.empty()) stream.WriteBuffer(bytes.data(), static_cast<int64_t>(bytes.size()));
}

// The image of a DIB as premultiplied pixels; the mask (1 bit a pixel,
// set: transparent) and the alpha of 32-bit rows when READALPHA.
struct DibRows {
  int width = 0, height = 0;
  std::vector<std::uint32_t> pixels;
};

bool DecodeDIB(const uint8_t* data, size_t size, size_t bitsOffset, DibRows& out) {
  win::HBITMAP b = BitmapFromDIB(data, size, bitsOffset);
  if (!b) return false;
  win::SIZE s{};
  bool ok = win::GetBitmapSize(b, &s) && win::GetBitmapPixels(b, out.pixels);
  win::DeleteObject(b);
  out.width = s.cx;
  out.height = s.cy;
  return ok;
}

uint32_t Premultiplied(uint32_t rgb, uint32_t alpha) {
  auto c = [&](int shift) { return ((rgb >> shift & 0xFF) * alpha + 127) / 255 << shift; };
  return alpha << 24 | c(16) | c(8) | c(0);
}

// One icon image (a DIB of twice the icon's height: the colours, then the
// mask) into premultiplied pixels; false when it is not one.
bool DecodeIconImage(const uint8_t* data, size_t size, DibRows& out) {
  win::BITMAPINFOHEADER h;
  if (size < sizeof h) return false;
  std::memcpy(&h, data, sizeof h);
  if (h.biSize < sizeof h || h.biSize > size || h.biHeight <= 0 || h.biHeight % 2 != 0 || h.biWidth <= 0 ||
      h.biWidth > 256 || h.biHeight > 512)
    return false;
  const int w = h.biWidth, ht = h.biHeight / 2, bpp = h.biBitCount;
  // The colours: the same DIB with half the height.
  std::vector<uint8_t> copy(data, data + size);
  win::BITMAPINFOHEADER half = h;
  half.biHeight = ht;
  half.biSizeImage = 0;
  std::memcpy(copy.data(), &half, sizeof half);
  if (!DecodeDIB(copy.data(), copy.size(), 0, out) || out.width != w || out.height != ht) return false;
  // Where the colour rows and the mask rows start.
  uint64_t stored = h.biClrUsed ? h.biClrUsed : (bpp <= 8 ? (1u << bpp) : 0);
  uint64_t rowsAt = h.biSize + stored * sizeof(win::RGBQUAD);
  uint64_t stride = ((static_cast<uint64_t>(w) * bpp + 31) / 32) * 4;
  uint64_t maskAt = rowsAt + stride * ht, maskStride = ((static_cast<uint64_t>(w) + 31) / 32) * 4;
  if (maskAt + maskStride * ht > size) return false;  // every icon image has its mask
  bool alpha = false;
  if (bpp == 32)
    for (int y = 0; y < ht && !alpha; ++y)
      for (int x = 0; x < w && !alpha; ++x) alpha = data[rowsAt + stride * y + 4 * x + 3] != 0;
  for (int y = 0; y < ht; ++y) {
    int row = ht - 1 - y;  // rows are stored bottom up
    for (int x = 0; x < w; ++x) {
      uint32_t& p = out.pixels[static_cast<size_t>(y) * w + x];
      uint32_t a;
      if (alpha) a = data[rowsAt + stride * row + 4 * x + 3];
      else a = (data[maskAt + maskStride * row + x / 8] >> (7 - x % 8) & 1) ? 0 : 255;
      p = Premultiplied(p & 0xFFFFFF, a);
    }
  }
  return true;
}

// Size of a metafile's frame in screen pixels (0 x 0 when the file does not
// say); false when the bytes are no metafile.
bool MetafileFrame(const std::vector<uint8_t>& b, int& width, int& height) {
  const int ppi = cls::Screen().PixelsPerInch;
  double w = 0, h = 0;
  if (b.size() >= 88 && U32(&b[0]) == 1 && U32(&b[40]) == 0x464D4520u) {  // " EMF"
    // The frame in hundredths of a millimetre.
    w = (static_cast<double>(I32(&b[32])) - I32(&b[24])) * ppi / 2540.0;
    h = (static_cast<double>(I32(&b[36])) - I32(&b[28])) * ppi / 2540.0;
  } else if (b.size() >= 22 + 18 && U32(&b[0]) == 0x9AC6CDD7u) {  // placeable
    int inch = U16(&b[14]);
    if (inch == 0) return false;
    w = (static_cast<double>(I16(&b[10])) - I16(&b[6])) * ppi / inch;
    h = (static_cast<double>(I16(&b[12])) - I16(&b[8])) * ppi / inch;
  } else if (!(b.size() >= 18 && (U16(&b[0]) == 1 || U16(&b[0]) == 2) && U16(&b[2]) == 9)) {
    return false;
  }
  w = std::fabs(std::round(w));
  h = std::fabs(std::round(h));
  if (w > kMaxFileSide || h > kMaxFileSide) return false;
  width = static_cast<int>(w);
  height = static_cast<int>(h);
  return true;
}

std::string Lower(std::string s) {
  for (char& c : s) c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
  return s;
}

}  // namespace

// ---- device-independent bitmaps

win::HBITMAP BitmapFromDIB(const void* data, size_t size, size_t bitsOffset) {
  const auto* bytes = static_cast<const unsigned char*>(data);
  win::BITMAPINFOHEADER h;
  if (!bytes || size < sizeof h) return nullptr;
  std::memcpy(&h, bytes, sizeof h);
  // Any header from the 40-byte one on; the colour table follows it.
  if (h.biSize < sizeof h || h.biSize > size) return nullptr;
  int bpp = h.biBitCount;
  if (h.biCompression != win::BI_RGB || h.biPlanes != 1 ||
      (bpp != 1 && bpp != 4 && bpp != 8 && bpp != 24 && bpp != 32))
    return nullptr;
  int64_t width = h.biWidth, height = h.biHeight < 0 ? -static_cast<int64_t>(h.biHeight) : h.biHeight;
  if (width <= 0 || height <= 0 || width > kMaxSide || height > kMaxSide || width * height > kMaxPixels)
    return nullptr;
  // The table holds biClrUsed entries (all 2^bpp when 0 on a paletted
  // picture); only the first 2^bpp can be used, the rest is skipped.
  uint64_t stored = h.biClrUsed ? h.biClrUsed : (bpp <= 8 ? (1u << bpp) : 0);
  uint64_t colours = bpp <= 8 ? std::min<uint64_t>(stored, 1u << bpp) : 0;
  uint64_t stride = ((static_cast<uint64_t>(width) * bpp + 31) / 32) * 4;
  uint64_t tableStart = h.biSize, tableEnd = tableStart + stored * sizeof(win::RGBQUAD);
  uint64_t rowsAt = bitsOffset ? bitsOffset : tableEnd;
  if (tableEnd > size || rowsAt < tableEnd || rowsAt > size ||
      static_cast<uint64_t>(size) - rowsAt < stride * static_cast<uint64_t>(height))
    return nullptr;
  // Header and table laid out as the drawing call reads them.
  std::vector<unsigned char> info(sizeof h + (bpp <= 8 ? colours : 1) * sizeof(win::RGBQUAD), 0);
  h.biSize = sizeof h;
  h.biClrUsed = bpp <= 8 ? static_cast<win::DWORD>(colours) : 0;
  std::memcpy(info.data(), &h, sizeof h);
  if (bpp <= 8) std::memcpy(info.data() + sizeof h, bytes + tableStart, colours * sizeof(win::RGBQUAD));
  int w = static_cast<int>(width), ht = static_cast<int>(height);
  win::HBITMAP bitmap = win::CreateBitmap32(w, ht, nullptr);
  win::HDC dc = bitmap ? win::CreateCompatibleDC(nullptr) : nullptr;
  if (!dc) {
    if (bitmap) win::DeleteObject(bitmap);
    return nullptr;
  }
  win::HGDIOBJ old = win::SelectObject(dc, bitmap);
  int rows = win::StretchDIBits(dc, 0, 0, w, ht, 0, 0, w, ht, bytes + rowsAt,
                                reinterpret_cast<const win::BITMAPINFO*>(info.data()), win::DIB_RGB_COLORS,
                                win::SRCCOPY);
  win::SelectObject(dc, old);
  win::DeleteDC(dc);
  if (rows != ht) {
    win::DeleteObject(bitmap);
    return nullptr;
  }
  return bitmap;
}

// ---- graphics in general

void TGraphic::LoadFromStream(cls::TStream&) { throw EInvalidGraphic(ClassName() + " cannot be read from a file"); }

void TGraphic::SaveToStream(cls::TStream&) {}

void TGraphic::LoadFromFile(const std::string& fileName) {
  cls::TFileStream file(fileName, cls::fmOpenRead);
  LoadFromStream(file);
}

TGraphic* NewGraphicForExtension(const std::string& extension) {
  std::string e = Lower(extension);
  if (e == ".bmp") return new TBitmap;
  if (e == ".ico") return new TIcon;
  if (e == ".emf" || e == ".wmf") return new TMetafile;
  return nullptr;
}

// ---- bitmaps

void TBitmap::LoadFromStream(cls::TStream& stream) {
  std::vector<uint8_t> b = ReadRest(stream);
  if (b.size() < 14 + sizeof(win::BITMAPINFOHEADER) || b[0] != 'B' || b[1] != 'M')
    throw EInvalidGraphic("Bitmap image is not valid");
  uint32_t offBits = U32(&b[10]);
  if (offBits < 14) throw EInvalidGraphic("Bitmap image is not valid");
  win::HBITMAP bm = BitmapFromDIB(b.data() + 14, b.size() - 14, offBits - 14);
  win::SIZE s{};
  if (!bm || !win::GetBitmapSize(bm, &s)) {
    if (bm) win::DeleteObject(bm);
    throw EInvalidGraphic("Bitmap image is not valid");
  }
  Replace(bm, s.cx, s.cy);
}

void TBitmap::SaveToStream(cls::TStream& stream) {
  if (Empty()) return;
  std::vector<std::uint32_t> px = Pixels();
  const uint32_t stride = (static_cast<uint32_t>(width_) * 3 + 3) / 4 * 4;
  const uint32_t image = stride * static_cast<uint32_t>(height_), offBits = 14 + 40;
  std::vector<uint8_t> out;
  out.reserve(offBits + image);
  out.push_back('B');
  out.push_back('M');
  PutU32(out, offBits + image);
  PutU32(out, 0);
  PutU32(out, offBits);
  PutU32(out, 40);
  PutU32(out, static_cast<uint32_t>(width_));
  PutU32(out, static_cast<uint32_t>(height_));
  PutU16(out, 1);
  PutU16(out, 24);
  for (uint32_t v : {0u, image, 3780u, 3780u, 0u, 0u}) PutU32(out, v);  // 96 dpi
  for (int y = height_ - 1; y >= 0; --y) {
    size_t start = out.size();
    for (int x = 0; x < width_; ++x) {
      uint32_t p = px[static_cast<size_t>(y) * width_ + x];
      out.push_back(static_cast<uint8_t>(p));
      out.push_back(static_cast<uint8_t>(p >> 8));
      out.push_back(static_cast<uint8_t>(p >> 16));
    }
    out.resize(start + stride, 0);
  }
  Write(stream, out);
}

// ---- metafile files

void TMetafile::LoadFromStream(cls::TStream& stream) {
  std::vector<uint8_t> b = ReadRest(stream);
  int w = 0, h = 0;
  if (!MetafileFrame(b, w, h)) throw EInvalidGraphic("Metafile is not valid");
  ops_.clear();
  bytes_ = std::move(b);
  width_ = w;
  height_ = h;
}

void TMetafile::SaveToStream(cls::TStream& stream) { Write(stream, bytes_); }

// ---- icons

TIcon::TIcon() = default;
TIcon::~TIcon() = default;

int TIcon::Width() const { return image_ ? image_->Width() : 0; }
int TIcon::Height() const { return image_ ? image_->Height() : 0; }

void TIcon::Draw(TCanvas& canvas, const win::RECT& r) {
  if (image_) image_->Draw(canvas, r);
}

TGraphic* TIcon::NewCopy() const {
  auto* copy = new TIcon;
  copy->Assign(const_cast<TIcon*>(this));
  return copy;
}

void TIcon::Assign(cls::TPersistent* source) {
  if (source == this) return;
  if (auto* i = cls::ObjectAs<TIcon>(source)) {
    bytes_ = i->bytes_;
    image_.reset(i->image_ ? static_cast<TBitmap*>(i->image_->NewCopy()) : nullptr);
    return;
  }
  inherited::Assign(source);
}

std::vector<std::uint32_t> TIcon::Pixels() const { return image_ ? image_->Pixels() : std::vector<std::uint32_t>(); }

void TIcon::LoadFromStream(cls::TStream& stream) {
  std::vector<uint8_t> b = ReadRest(stream);
  if (b.size() < 6 || U16(&b[0]) != 0 || U16(&b[2]) != 1 || U16(&b[4]) == 0)
    throw EInvalidGraphic("Icon image is not valid");
  const size_t count = U16(&b[4]);
  if (b.size() < 6 + 16 * count) throw EInvalidGraphic("Icon image is not valid");
  // The images by preference: largest first, then the most colours.
  struct Entry {
    size_t offset, size;
    int64_t area;
    int bits;
  };
  std::vector<Entry> entries;
  for (size_t i = 0; i < count; ++i) {
    const uint8_t* e = &b[6 + 16 * i];
    size_t size = U32(e + 8), offset = U32(e + 12);
    if (offset > b.size() || size > b.size() - offset) continue;
    int w = e[0] ? e[0] : 256, h = e[1] ? e[1] : 256;
    entries.push_back({offset, size, int64_t{w} * h, U16(e + 6)});
  }
  std::stable_sort(entries.begin(), entries.end(), [](const Entry& a, const Entry& c) {
    return a.area != c.area ? a.area > c.area : a.bits > c.bits;
  });
  for (const Entry& e : entries) {
    DibRows rows;
    if (!DecodeIconImage(b.data() + e.offset, e.size, rows)) continue;  // PNG images among them
    cls::Owned<TBitmap> image(new TBitmap);
    if (!image->SetPixels(rows.width, rows.height, rows.pixels)) continue;
    image_ = std::move(image);
    bytes_ = std::move(b);
    return;
  }
  throw EInvalidGraphic("Icon image is not valid");
}

void TIcon::SaveToStream(cls::TStream& stream) { Write(stream, bytes_); }

// ---- pictures

void TPicture::Adopt(TGraphic* graphic) {
  if (graphic == graphic_.get()) return;
  graphic_.reset(graphic);
  Changed();
}

void TPicture::LoadFromFile(const std::string& fileName) {
  size_t dot = fileName.find_last_of(".\\/:");
  std::string ext = dot != std::string::npos && fileName[dot] == '.' ? fileName.substr(dot) : std::string();
  cls::Owned<TGraphic> graphic(NewGraphicForExtension(ext));
  if (!graphic) throw EInvalidGraphic("Unknown picture file extension (" + ext + ")");
  graphic->LoadFromFile(fileName);
  Adopt(graphic.release());
}

bool TPicture::HasData() const {
  if (auto* m = cls::ObjectAs<TMetafile>(graphic_.get())) return !m->FileBytes().empty();
  return graphic_ && !graphic_->Empty();
}

void TPicture::WriteData(cls::TStream& stream) {
  if (!HasData()) return;
  const std::string& name = graphic_->ClassName();
  uint8_t length = static_cast<uint8_t>(std::min<size_t>(name.size(), 255));
  stream.WriteBuffer(&length, 1);
  stream.WriteBuffer(name.data(), length);
  if (cls::ObjectIs<TBitmap>(graphic_.get())) {
    cls::TMemoryStream bytes;
    graphic_->SaveToStream(bytes);
    std::vector<uint8_t> size;
    PutU32(size, static_cast<uint32_t>(bytes.Size()));
    Write(stream, size);
    if (bytes.Size()) stream.WriteBuffer(bytes.Memory(), bytes.Size());
  } else {
    graphic_->SaveToStream(stream);
  }
}

void TPicture::ReadData(cls::TStream& stream) {
  uint8_t length = 0;
  if (stream.Read(&length, 1) != 1 || length == 0) return Adopt(nullptr);
  std::string name(length, '\0');
  stream.ReadBuffer(name.data(), length);
  cls::Owned<TGraphic> graphic;
  if (name == "TBitmap") graphic.reset(new TBitmap);
  else if (name == "TIcon") graphic.reset(new TIcon);
  else if (name == "TMetafile") graphic.reset(new TMetafile);
  else throw EInvalidGraphic("Unknown graphic class " + name);
  if (cls::ObjectIs<TBitmap>(graphic.get())) {
    uint8_t size[4];
    stream.ReadBuffer(size, 4);
    int64_t n = U32(size);
    if (n > stream.Size() - stream.Position()) throw EInvalidGraphic("Bitmap image is not valid");
    cls::TMemoryStream bytes;
    if (n) bytes.CopyFrom(&stream, n);
    bytes.SetPosition(0);
    graphic->LoadFromStream(bytes);
  } else {
    graphic->LoadFromStream(stream);
  }
  Adopt(graphic.release());
}

void TPicture::DefineProperties(cls::TFiler* filer) {
  inherited::DefineProperties(filer);
  filer->DefineBinaryProperty(
      "Data", [this](cls::TStream& s) { ReadData(s); }, [this](cls::TStream& s) { WriteData(s); }, HasData());
}

}  // namespace gdi
