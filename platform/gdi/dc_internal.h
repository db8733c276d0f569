// Internals shared by the context, rendering and output files.
#pragma once
#include <atomic>
#include <cairo.h>
#include <memory>
#include <string>
#include <vector>

#include "platform/gdi/fonts.h"
#include "platform/gdi/gdi.h"

namespace win {

class GdiObject {
 public:
  enum Kind { Font, Pen, Brush, Bitmap, Region } kind;
  bool stock = false;
  LOGFONTA font{};
  int style = 0, width = 1, hatch = 0;
  COLORREF color = 0;
  int bmWidth = 0, bmHeight = 0;
  std::shared_ptr<std::vector<std::uint32_t>> pixels;
  RECT rect{};
  // Contexts that have it selected now; it cannot be deleted while any has.
  std::atomic<int> selections{0};
  explicit GdiObject(Kind k) : kind(k) {}
};

// True when OBJECT is a live object of KIND; else false with the last
// error set.
bool ValidObject(const GdiObject* object, GdiObject::Kind kind);

}  // namespace win

namespace gdi {

// Why a document step failed: an error code for the caller and a text for
// the job record and the message the user reads.
struct Failure {
  win::DWORD code = 0;
  std::string text;
};

// Draws one operation on CR, whose user space is device pixels.
void RenderOp(cairo_t* cr, const Op& op);

// A document being written by the cairo back end.
class CairoDocument {
 public:
  // Opens the PDF; false with a reason when it cannot be written.
  bool Open(const std::string& pdfPath, int firstWidthTenths, int firstHeightTenths, Failure& why);
  // Writes one page to the PDF (and to PNGPATH when not empty).
  bool AddPage(const Page& page, int dpiX, int dpiY, const std::string& pngPath, Failure& why);
  // Finishes the PDF; false when it could not be written whole.
  bool Close(Failure& why);
  void Abandon();
  ~CairoDocument();

 private:
  cairo_surface_t* surface_ = nullptr;
};

}  // namespace gdi
