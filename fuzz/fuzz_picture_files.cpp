// Picture files from outside: the first byte chooses the reader (0: a BMP
// file, 1: an .ico file, 2: a picture's stream Data), the rest is the
// file. A refused file leaves the graphic as it was; a read one keeps the
// size limits, and a bitmap saved and read again has the same pixels.
#include <cstddef>
#include <cstdint>
#include <cstdlib>

#include "platform/classes/streams.h"
#include "platform/gdi/picture.h"

namespace {

cls::TMemoryStream* Stream(const std::uint8_t* data, std::size_t size) {
  auto* s = new cls::TMemoryStream;
  if (size) s->WriteBuffer(data, static_cast<int64_t>(size));
  s->SetPosition(0);
  return s;
}

void CheckBitmap(gdi::TBitmap& bm) {
  if (bm.Width() <= 0 || bm.Height() <= 0 || bm.Width() > 30000 || bm.Height() > 30000 ||
      int64_t{bm.Width()} * bm.Height() > (int64_t(1) << 24))
    std::abort();
  cls::TMemoryStream saved;
  bm.SaveToStream(saved);
  saved.SetPosition(0);
  gdi::TBitmap again;
  again.LoadFromStream(saved);
  std::vector<std::uint32_t> a = bm.Pixels(), b = again.Pixels();
  if (a.size() != b.size()) std::abort();
  for (size_t i = 0; i < a.size(); ++i)
    if ((a[i] & 0xFFFFFF) != (b[i] & 0xFFFFFF)) std::abort();
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  if (size == 0) return 0;
  cls::Owned<cls::TMemoryStream> s(Stream(data + 1, size - 1));
  switch (data[0] % 3) {
    case 0: {
      gdi::TBitmap bm;
      try {
        bm.LoadFromStream(*s);
      } catch (const gdi::EInvalidGraphic&) {
        if (!bm.Empty()) std::abort();
        return 0;
      }
      CheckBitmap(bm);
      break;
    }
    case 1: {
      gdi::TIcon icon;
      try {
        icon.LoadFromStream(*s);
      } catch (const gdi::EInvalidGraphic&) {
        if (!icon.Empty()) std::abort();
        return 0;
      }
      if (icon.Width() <= 0 || icon.Width() > 256 || icon.Height() <= 0 || icon.Height() > 256) std::abort();
      if (icon.Pixels().size() != static_cast<size_t>(icon.Width()) * icon.Height()) std::abort();
      break;
    }
    default: {
      gdi::TPicture picture;
      try {
        picture.ReadData(*s);
      } catch (const cls::Exception&) {
        if (picture.Graphic()) std::abort();
        return 0;
      }
      if (picture.HasBitmap()) CheckBitmap(picture.Bitmap());
      break;
    }
  }
  return 0;
}
