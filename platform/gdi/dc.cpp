// Device contexts: creation, capabilities, state, clipping, lines and
// shapes, and the hand-over of each operation to the context's engine.
#include <algorithm>
#include <climits>
#include <cmath>
#include <cstring>

#include "dc_internal.h"
#include "platform/classes/classes.h"

namespace gdi {

int ScreenPixelsPerInch() {
  int ppi = cls::Screen().PixelsPerInch;
  return ppi > 0 ? ppi : 96;
}

}  // namespace gdi

namespace win {

// Kept past static destruction: contexts may be let go from destructors
// at exit.
LiveHandles<DeviceContext>& Dcs() {
  static auto* live = new LiveHandles<DeviceContext>;
  return *live;
}

void DeviceContext::TargetBitmap() {
  if (!raster) return;
  GdiObject* bm = st.bitmap_;
  if (bm && !bm->stock && bm->pixels)
    raster->SetTarget(bm->pixels, bm->bmWidth, bm->bmHeight);
  else
    raster->SetTarget(nullptr, 0, 0);
}

namespace {

int Moved(int v, int by) {
  long long r = static_cast<long long>(v) + by;
  return static_cast<int>(std::clamp<long long>(r, INT_MIN, INT_MAX));
}

// Moves an operation's coordinates by the viewport origin.
struct Shift {
  PT by;
  void P(PT& p) const { p = {Moved(p.x, by.x), Moved(p.y, by.y)}; }
  void R(RECT& r) const {
    r = {Moved(r.left, by.x), Moved(r.top, by.y), Moved(r.right, by.x), Moved(r.bottom, by.y)};
  }
  void operator()(gdi::TextOp& o) const { P(o.origin); }
  void operator()(gdi::LineOp& o) const {
    for (auto& p : o.points) P(p);
  }
  void operator()(gdi::PolygonOp& o) const {
    for (auto& p : o.points) P(p);
  }
  void operator()(gdi::RectOp& o) const { R(o.bounds); }
  void operator()(gdi::RoundRectOp& o) const { R(o.bounds); }
  void operator()(gdi::EllipseOp& o) const { R(o.bounds); }
  void operator()(gdi::FillOp& o) const { R(o.rect); }
  void operator()(gdi::ImageOp& o) const { R(o.dest); }
};

}  // namespace

RECT ToDevice(HDC dc, RECT r) {
  Shift{dc->st.origin}.R(r);
  return r;
}

gdi::Op NewOp(HDC dc, gdi::Drawing what) {
  if (dc->st.origin.x != 0 || dc->st.origin.y != 0) std::visit(Shift{dc->st.origin}, what);
  return gdi::Op{std::move(what), dc->st.clip};
}

void Emit(HDC dc, gdi::Op&& op) {
  if (!dc->engine) return;
  if (dc->engine->Immediate())
    dc->engine->Draw(op);
  else if (dc->inPage)
    dc->current.ops.push_back(std::move(op));
}

namespace {

void InitState(DcState& s, int dpiY) {
  s = DcState();
  s.font = Stock(SYSTEM_FONT)->font;
  s.font.lfHeight = -static_cast<LONG>(std::lround(10.0 * dpiY / 72.0));
  s.font_ = Stock(SYSTEM_FONT);
  s.pen_ = Stock(BLACK_PEN);
  s.brush_ = Stock(WHITE_BRUSH);
  CountSelections(s, +1);
}

HDC NewPrinterDC(const char* device, const DEVMODEA* mode, bool printing) {
  spool::PrinterDef def;
  if (!device || !spool::LoadPrinter(device, def)) {
    SetLastError(ERROR_INVALID_PRINTER_NAME);
    return nullptr;
  }
  auto* dc = new DeviceContext;
  dc->kind = printing ? DeviceContext::Printer : DeviceContext::Info;
  dc->def = def;
  if (printing) dc->engine = gdi::MakePrinterEngine(def);
  if (mode) {
    dc->hasMode = true;
    dc->mode = spool::MergeDevMode(def, *mode);
  }
  dc->ResolvePage();
  InitState(dc->st, def.dpiY);
  return Dcs().Add(dc);
}

}  // namespace

HDC CreateDCA(const char*, const char* device, const char*, const DEVMODEA* mode) {
  return NewPrinterDC(device, mode, true);
}

HDC CreateICA(const char*, const char* device, const char*, const DEVMODEA* mode) {
  return NewPrinterDC(device, mode, false);
}

HDC ResetDCA(HDC dc, const DEVMODEA* mode) {
  if (!Valid(dc)) return nullptr;
  if (dc->kind != DeviceContext::Printer && dc->kind != DeviceContext::Info) return dc;
  if (dc->inPage) {  // not allowed inside a page
    SetLastError(ERROR_INVALID_PARAMETER);
    return nullptr;
  }
  if (mode) {
    dc->hasMode = true;
    dc->mode = spool::MergeDevMode(dc->def, *mode);
  }
  dc->ResolvePage();
  return dc;
}

HDC CreateCompatibleDC(HDC) {
  auto* dc = new DeviceContext;
  dc->kind = DeviceContext::Memory;
  auto raster = std::make_unique<gdi::RasterEngine>();
  dc->raster = raster.get();
  dc->engine = std::move(raster);
  InitState(dc->st, gdi::ScreenPixelsPerInch());
  return Dcs().Add(dc);
}

bool DeleteDC(HDC dc) {
  if (!Valid(dc)) return false;
  if (dc->inDoc) AbortDoc(dc);
  if (!Dcs().Remove(dc)) return false;
  CountSelections(dc->st, -1);
  delete dc;
  return true;
}

HDC GetDC(void* window) {
  if (window) {
    SetLastError(ERROR_INVALID_HANDLE);
    return nullptr;
  }
  auto* dc = new DeviceContext;
  dc->kind = DeviceContext::Screen;
  InitState(dc->st, gdi::ScreenPixelsPerInch());
  return Dcs().Add(dc);
}

int ReleaseDC(void*, HDC dc) { return DeleteDC(dc) ? 1 : 0; }

int GetDeviceCaps(HDC dc, int index) {
  if (!Valid(dc)) return 0;
  bool printer = dc->kind == DeviceContext::Printer || dc->kind == DeviceContext::Info || dc->printerReference;
  if (!printer) {
    int ppi = gdi::ScreenPixelsPerInch();
    int w = 1024, h = 768;
    if (dc->kind == DeviceContext::Memory && dc->st.bitmap_ && !dc->st.bitmap_->stock)
      w = dc->st.bitmap_->bmWidth, h = dc->st.bitmap_->bmHeight;
    switch (index) {
      case TECHNOLOGY: return DT_RASDISPLAY;
      case HORZRES: case PHYSICALWIDTH: return index == PHYSICALWIDTH ? 0 : w;
      case VERTRES: case PHYSICALHEIGHT: return index == PHYSICALHEIGHT ? 0 : h;
      case HORZSIZE: return static_cast<int>(std::lround(w * 25.4 / ppi));
      case VERTSIZE: return static_cast<int>(std::lround(h * 25.4 / ppi));
      case LOGPIXELSX: case LOGPIXELSY: return ppi;
      case BITSPIXEL: return 32;
      case PLANES: return 1;
      case NUMCOLORS: return -1;
      case SIZEPALETTE: return 0;
      case RASTERCAPS: return RC_BITBLT | RC_DI_BITMAP | RC_STRETCHBLT | RC_STRETCHDIB;
      default: return 0;
    }
  }
  const auto& d = dc->def;
  int pw = dc->Px(dc->page.width, false), ph = dc->Px(dc->page.length, true);
  // Unprintable margins turn with the page.
  int ul = d.unprintLeft, ut = d.unprintTop, ur = d.unprintRight, ub = d.unprintBottom;
  if (dc->page.landscape) {
    int l = ul, t = ut, r = ur, b = ub;
    ul = b, ut = l, ur = t, ub = r;
  }
  int ox = dc->Px(ul, false), oy = dc->Px(ut, true);
  switch (index) {
    case DRIVERVERSION: return 0x100;
    case TECHNOLOGY: return DT_RASPRINTER;
    case PHYSICALWIDTH: return pw;
    case PHYSICALHEIGHT: return ph;
    case PHYSICALOFFSETX: return ox;
    case PHYSICALOFFSETY: return oy;
    case HORZRES: return std::max(0, pw - ox - dc->Px(ur, false));
    case VERTRES: return std::max(0, ph - oy - dc->Px(ub, true));
    case HORZSIZE: return (dc->page.width - ul - ur) / 10;
    case VERTSIZE: return (dc->page.length - ut - ub) / 10;
    case LOGPIXELSX: return d.dpiX;
    case LOGPIXELSY: return d.dpiY;
    case BITSPIXEL: return d.color ? 24 : 1;
    case PLANES: return 1;
    case NUMCOLORS: return d.color ? -1 : 2;
    case SIZEPALETTE: return d.color ? 0 : 2;
    case RASTERCAPS: return RC_BITBLT | RC_DI_BITMAP | RC_STRETCHBLT | RC_STRETCHDIB;
    default: return 0;
  }
}

// ---- clipping and saved states

int SelectClipRgn(HDC dc, HRGN rgn) {
  if (!Valid(dc)) return 0;
  if (!rgn) {
    dc->st.clip.reset();
    return 1;
  }
  if (!ValidObject(rgn, GdiObject::Region)) return 0;
  dc->st.clip = rgn->rect;
  return 2;
}

int IntersectClipRect(HDC dc, int l, int t, int r, int b) {
  if (!Valid(dc)) return 0;
  RECT c = ToDevice(dc, {l, t, r, b});
  if (const auto& old = dc->st.clip) {
    c.left = std::max(c.left, old->left), c.top = std::max(c.top, old->top);
    c.right = std::min(c.right, old->right), c.bottom = std::min(c.bottom, old->bottom);
    if (c.right < c.left) c.right = c.left;
    if (c.bottom < c.top) c.bottom = c.top;
  }
  dc->st.clip = c;
  return c.right > c.left && c.bottom > c.top ? 2 : 1;
}

bool GetClipBox(HDC dc, RECT* rect) {
  if (!Valid(dc) || !rect) return false;
  if (dc->st.clip)
    *rect = *dc->st.clip;
  else
    *rect = {0, 0, GetDeviceCaps(dc, HORZRES), GetDeviceCaps(dc, VERTRES)};
  const PT o = dc->st.origin;
  *rect = {Moved(rect->left, -o.x), Moved(rect->top, -o.y), Moved(rect->right, -o.x), Moved(rect->bottom, -o.y)};
  return true;
}

bool SetViewportOrgEx(HDC dc, int x, int y, PT* old) {
  if (!Valid(dc)) return false;
  if (old) *old = dc->st.origin;
  dc->st.origin = {x, y};
  return true;
}

bool GetViewportOrgEx(HDC dc, PT* org) {
  if (!Valid(dc) || !org) return false;
  *org = dc->st.origin;
  return true;
}

bool OffsetViewportOrgEx(HDC dc, int dx, int dy, PT* old) {
  if (!Valid(dc)) return false;
  if (old) *old = dc->st.origin;
  dc->st.origin = {Moved(dc->st.origin.x, dx), Moved(dc->st.origin.y, dy)};
  return true;
}

int SaveDC(HDC dc) {
  if (!Valid(dc)) return 0;
  dc->saved.push_back(dc->st);
  return static_cast<int>(dc->saved.size());
}

bool RestoreDC(HDC dc, int which) {
  if (!Valid(dc) || dc->saved.empty()) return false;
  size_t n = which < 0 ? dc->saved.size() + which : static_cast<size_t>(which) - 1;
  if (n >= dc->saved.size()) return false;
  CountSelections(dc->st, -1);
  dc->st = dc->saved[n];
  dc->saved.resize(n);
  // An object deleted since the state was saved is not taken back: the
  // context keeps its values and holds the stock object of that kind.
  auto keep = [](HGDIOBJ& o, GdiObject::Kind kind, HGDIOBJ stock) {
    if (!LiveObject(o, kind)) o = stock;
  };
  keep(dc->st.font_, GdiObject::Font, Stock(SYSTEM_FONT));
  keep(dc->st.pen_, GdiObject::Pen, Stock(BLACK_PEN));
  keep(dc->st.brush_, GdiObject::Brush, Stock(WHITE_BRUSH));
  keep(dc->st.bitmap_, GdiObject::Bitmap, DefaultBitmap());
  CountSelections(dc->st, +1);
  dc->TargetBitmap();
  return true;
}

COLORREF SetTextColor(HDC dc, COLORREF c) {
  if (!Valid(dc)) return 0;
  std::swap(dc->st.textColor, c);
  return c;
}

COLORREF SetBkColor(HDC dc, COLORREF c) {
  if (!Valid(dc)) return 0;
  std::swap(dc->st.bkColor, c);
  return c;
}

int SetBkMode(HDC dc, int mode) {
  if (!Valid(dc)) return 0;
  std::swap(dc->st.bkMode, mode);
  return mode;
}

unsigned SetTextAlign(HDC dc, unsigned align) {
  if (!Valid(dc)) return 0;
  std::swap(dc->st.textAlign, align);
  return align;
}

bool SetTextJustification(HDC dc, int extra, int breaks) {
  if (!Valid(dc)) return false;
  dc->st.justifyExtra = breaks > 0 ? extra : 0;
  dc->st.justifyBreaks = std::max(0, breaks);
  return true;
}

// ---- lines and shapes

bool MoveToEx(HDC dc, int x, int y, PT* old) {
  if (!Valid(dc)) return false;
  if (old) *old = dc->st.pos;
  dc->st.pos = {x, y};
  return true;
}

bool LineTo(HDC dc, int x, int y) {
  if (!Valid(dc)) return false;
  Emit(dc, NewOp(dc, gdi::LineOp{{dc->st.pos, {x, y}}, dc->st.pen}));
  dc->st.pos = {x, y};
  return true;
}

bool Polyline(HDC dc, const PT* pts, int count) {
  if (!Valid(dc) || !pts || count < 2) return false;
  Emit(dc, NewOp(dc, gdi::LineOp{{pts, pts + count}, dc->st.pen}));
  return true;
}

bool Polygon(HDC dc, const PT* pts, int count) {
  if (!Valid(dc) || !pts || count < 2) return false;
  Emit(dc, NewOp(dc, gdi::PolygonOp{{pts, pts + count}, dc->st.pen, dc->st.brush}));
  return true;
}

namespace {
RECT Ordered(int l, int t, int r, int b) { return {std::min(l, r), std::min(t, b), std::max(l, r), std::max(t, b)}; }
}  // namespace

bool Rectangle(HDC dc, int l, int t, int r, int b) {
  if (!Valid(dc)) return false;
  Emit(dc, NewOp(dc, gdi::RectOp{Ordered(l, t, r, b), dc->st.pen, dc->st.brush}));
  return true;
}

bool RoundRect(HDC dc, int l, int t, int r, int b, int cw, int ch) {
  if (!Valid(dc)) return false;
  Emit(dc, NewOp(dc, gdi::RoundRectOp{Ordered(l, t, r, b), {cw, ch}, dc->st.pen, dc->st.brush}));
  return true;
}

bool Ellipse(HDC dc, int l, int t, int r, int b) {
  if (!Valid(dc)) return false;
  Emit(dc, NewOp(dc, gdi::EllipseOp{Ordered(l, t, r, b), dc->st.pen, dc->st.brush}));
  return true;
}

int FillRect(HDC dc, const RECT* rect, HBRUSH brush) {
  if (!Valid(dc) || !rect || !ValidObject(brush, GdiObject::Brush)) return 0;
  Emit(dc, NewOp(dc, gdi::FillOp{*rect, brush->brush}));
  return 1;
}

int FrameRect(HDC dc, const RECT* r, HBRUSH brush) {
  if (!Valid(dc) || !r || !ValidObject(brush, GdiObject::Brush)) return 0;
  RECT sides[] = {{r->left, r->top, r->right, r->top + 1},
                  {r->left, r->bottom - 1, r->right, r->bottom},
                  {r->left, r->top, r->left + 1, r->bottom},
                  {r->right - 1, r->top, r->right, r->bottom}};
  for (const auto& s : sides) FillRect(dc, &s, brush);
  return 1;
}

}  // namespace win

// ---- metafile contexts

namespace gdi {
namespace {

// Keeps each operation as it comes.
class OpListEngine : public Engine {
 public:
  bool Immediate() const override { return true; }
  void Draw(const Op& op) override { ops.push_back(op); }
  std::vector<Op> ops;
};

}  // namespace

win::HDC CreateMetafileDC(win::HDC reference) {
  using win::DeviceContext;
  auto* dc = new DeviceContext;
  dc->kind = DeviceContext::Metafile;
  int dpiY = ScreenPixelsPerInch();
  if (reference && win::Valid(reference) &&
      (reference->kind == DeviceContext::Printer || reference->kind == DeviceContext::Info ||
       reference->printerReference)) {
    dc->printerReference = true;
    dc->def = reference->def;
    dc->hasMode = reference->hasMode;
    dc->mode = reference->mode;
    dc->page = reference->page;
    dpiY = dc->def.dpiY;
  }
  dc->engine = std::make_unique<OpListEngine>();
  win::InitState(dc->st, dpiY);
  return win::Dcs().Add(dc);
}

std::vector<Op> CloseMetafileDC(win::HDC dc) {
  if (!win::Valid(dc) || dc->kind != win::DeviceContext::Metafile) return {};
  std::vector<Op> ops = std::move(static_cast<OpListEngine*>(dc->engine.get())->ops);
  win::DeleteDC(dc);
  return ops;
}

}  // namespace gdi
