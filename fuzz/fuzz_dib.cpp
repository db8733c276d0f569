// Packed device-independent bitmaps, as bitmap resources hold them: a
// malformed or short one is refused, a decoded one has the header's size.
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <cstring>

#include "platform/gdi/gdi.h"
#include "report/model/ppResMgr.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  win::HBITMAP b = ppBitmapFromPackedDIB(data, size);
  if (!b) return 0;
  win::BITMAPINFOHEADER h;
  if (size < sizeof h) std::abort();
  std::memcpy(&h, data, sizeof h);
  win::SIZE s{};
  int64_t height = h.biHeight < 0 ? -static_cast<int64_t>(h.biHeight) : h.biHeight;
  if (!win::GetBitmapSize(b, &s) || s.cx != h.biWidth || s.cy != height) std::abort();
  if (!win::DeleteObject(b)) std::abort();
  return 0;
}
