// Internals shared by the context, object, text, job, bitmap and engine
// files.
#pragma once
#include <atomic>
#include <cairo.h>
#include <cmath>
#include <memory>
#include <string>
#include <vector>

#include "platform/gdi/engine.h"
#include "platform/gdi/fonts.h"
#include "platform/gdi/gdi.h"
#include "platform/sysroot/handles.h"

namespace win {

class GdiObject {
 public:
  enum Kind { Font, Pen, Brush, Bitmap, Region } kind;
  bool stock = false;
  LOGFONTA font{};                         // Font
  gdi::PenSpec pen;                        // Pen
  gdi::BrushSpec brush;                    // Brush
  int bmWidth = 0, bmHeight = 0;           // Bitmap
  std::shared_ptr<std::vector<std::uint32_t>> pixels;
  RECT rect{};                             // Region
  // Contexts that have it selected now; it cannot be deleted while any has.
  std::atomic<int> selections{0};
  explicit GdiObject(Kind k) : kind(k) {}
};

// Objects (objects.cpp).
GdiObject* NewObject(GdiObject::Kind kind);
// True when OBJECT is a live object (of KIND); else false with the last
// error set.
bool ValidObject(const GdiObject* object);
bool ValidObject(const GdiObject* object, GdiObject::Kind kind);
// True while OBJECT is live and of KIND, without touching the last error.
bool LiveObject(const GdiObject* object, GdiObject::Kind kind);
GdiObject* Stock(int which);
// The 1 x 1 bitmap a context holds while none of its own is selected;
// nothing is drawn on it.
GdiObject* DefaultBitmap();

struct DcState {
  LOGFONTA font{};
  gdi::PenSpec pen;
  gdi::BrushSpec brush;
  COLORREF textColor = 0, bkColor = 0xFFFFFF;
  int bkMode = OPAQUE;
  unsigned textAlign = TA_LEFT | TA_TOP;
  std::optional<RECT> clip;
  PT pos{};
  int justifyExtra = 0, justifyBreaks = 0;
  int stretchMode = BLACKONWHITE;
  PT brushOrg{};
  PT origin{};  // the viewport origin: device = logical + origin
  HGDIOBJ font_ = nullptr, pen_ = nullptr, brush_ = nullptr, bitmap_ = DefaultBitmap();
};

// Counts the selections of the objects of S in (+1) or out (-1).
void CountSelections(const DcState& s, int delta);

class DeviceContext {
 public:
  enum Kind { Screen, Info, Printer, Memory, Metafile } kind = Screen;
  // A metafile context on a printer reference answers as the printer.
  bool printerReference = false;
  spool::PrinterDef def;
  bool hasMode = false;
  DEVMODEA mode{};
  spool::PageSize page;
  DcState st;
  std::vector<DcState> saved;
  // Where drawing goes: the printer's engine, a raster engine on the
  // selected bitmap, or none (screen and information contexts).
  std::unique_ptr<gdi::Engine> engine;
  gdi::RasterEngine* raster = nullptr;  // the engine of a memory context
  // Printing.
  bool inDoc = false, inPage = false;
  gdi::Job job;
  gdi::Page current;

  int Dpi(bool y) const {
    if (kind == Printer || kind == Info || printerReference) return y ? def.dpiY : def.dpiX;
    return gdi::ScreenPixelsPerInch();
  }
  int Px(int tenths, bool y) const {
    return static_cast<int>(std::lround(tenths * static_cast<double>(Dpi(y)) / 254.0));
  }
  void ResolvePage() { page = spool::ResolvePageSize(def, hasMode ? &mode : nullptr); }
  // Points the raster engine of a memory context at the selected bitmap.
  void TargetBitmap();
};

// Every context from its creation until DeleteDC or ReleaseDC.
LiveHandles<DeviceContext>& Dcs();
inline bool Valid(HDC dc) { return Dcs().Check(dc); }

// An operation in device pixels (moved by the viewport origin) with the
// context's clipping.
gdi::Op NewOp(HDC dc, gdi::Drawing what);
// A logical rectangle or point of DC in device pixels.
RECT ToDevice(HDC dc, RECT r);
// Hands OP to the context's engine: drawn at once, kept in the open page,
// or dropped where the context draws nowhere.
void Emit(HDC dc, gdi::Op&& op);

// ARGB pixels and COLORREF values.
inline std::uint32_t ToArgb(COLORREF c) {
  return 0xFF000000u | ((c & 0xFF) << 16) | (c & 0xFF00) | ((c >> 16) & 0xFF);
}
inline COLORREF ToColorRef(std::uint32_t argb) {
  return ((argb >> 16) & 0xFF) | (argb & 0xFF00) | ((argb & 0xFF) << 16);
}

}  // namespace win

namespace gdi {

// Draws one operation on CR, whose user space is device pixels (render.cpp).
void RenderOp(cairo_t* cr, const Op& op);

// Hands JOB's finished PDF to COMMAND; false with the cause (how it ended
// and what it wrote) when it fails or outlives LIMITSECONDS (jobs.cpp).
bool HandOver(const std::string& command, const Job& job, int limitSeconds, Failure& why);

// The job record beside a cairo job's files; false with the cause when it
// cannot be written (jobs.cpp).
bool WriteRecord(const Job& job, Failure& why);
// The text of a job record.
std::string FormatRecord(const Job& job);

// The jobs of the recording engine (jobs.cpp).
int NextRecordedJobNumber();
void AddRecordedJob(const Job& job);

}  // namespace gdi
