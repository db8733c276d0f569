#include <algorithm>
#include <cerrno>
#include <cmath>
#include <cstring>
#include <fcntl.h>
#include <filesystem>
#include <fstream>
#include <mutex>
#include <sstream>
#include <unistd.h>

#include "dc_internal.h"
#include "platform/classes/classes.h"
#include "platform/process/process.h"
#include "platform/sysroot/codepage.h"
#include "platform/sysroot/handles.h"
#include "platform/sysroot/sysroot.h"

namespace fs = std::filesystem;

namespace win {

namespace {
// Every font, pen, brush, bitmap and region from its creation until
// DeleteObject; stock objects stay (kept past static destruction, as
// contexts are).
LiveHandles<GdiObject>& Objects() {
  static auto* live = new LiveHandles<GdiObject>;
  return *live;
}

GdiObject* NewObject(GdiObject::Kind kind, bool stock = false) {
  auto* o = new GdiObject(kind);
  o->stock = stock;
  return Objects().Add(o);
}
}  // namespace

bool ValidObject(const GdiObject* object, GdiObject::Kind kind) {
  if (!Objects().Contains(object) || object->kind != kind) {
    SetLastError(ERROR_INVALID_HANDLE);
    return false;
  }
  return true;
}

// The 1 x 1 bitmap a context holds while none of its own is
// selected; nothing is drawn on it.
GdiObject* DefaultBitmap() {
  static GdiObject* bitmap = [] {
    GdiObject* o = NewObject(GdiObject::Bitmap, true);
    o->bmWidth = o->bmHeight = 1;
    return o;
  }();
  return bitmap;
}

struct DcState {
  LOGFONTA font{};
  int penStyle = PS_SOLID, penWidth = 1;
  COLORREF penColor = 0;
  int brushStyle = BS_SOLID, brushHatch = 0;
  COLORREF brushColor = 0xFFFFFF;
  COLORREF textColor = 0, bkColor = 0xFFFFFF;
  int bkMode = OPAQUE;
  unsigned textAlign = TA_LEFT | TA_TOP;
  bool clipped = false;
  RECT clip{};
  PT pos{};
  int justifyExtra = 0, justifyBreaks = 0;
  int stretchMode = BLACKONWHITE;
  PT brushOrg{};
  HGDIOBJ font_ = nullptr, pen_ = nullptr, brush_ = nullptr, bitmap_ = DefaultBitmap();
};

class DeviceContext {
 public:
  enum Kind { Screen, Info, Printer, Memory } kind = Screen;
  spool::PrinterDef def;
  bool hasMode = false;
  DEVMODEA mode{};
  spool::PageSize page;
  DcState st;
  std::vector<DcState> saved;
  // Printing.
  bool inDoc = false, inPage = false;
  gdi::Job job;
  gdi::Page current;
  std::unique_ptr<gdi::CairoDocument> doc;

  int Dpi(bool y) const {
    if (kind == Printer || kind == Info) return y ? def.dpiY : def.dpiX;
    return gdi::ScreenPixelsPerInch();
  }
  int Px(int tenths, bool y) const {
    return static_cast<int>(std::lround(tenths * static_cast<double>(Dpi(y)) / 254.0));
  }
  void ResolvePage() { page = spool::ResolvePageSize(def, hasMode ? &mode : nullptr); }
};

namespace {
// Every context from its creation until DeleteDC or ReleaseDC (kept past
// static destruction: contexts may be let go from destructors at exit).
LiveHandles<DeviceContext>& Dcs() {
  static auto* live = new LiveHandles<DeviceContext>;
  return *live;
}
}  // namespace

}  // namespace win

namespace gdi {
namespace {

std::mutex g_recordMutex;
std::vector<Job>& Recorded() {
  static std::vector<Job> v;
  return v;
}

std::mutex g_jobMutex;  // job numbers within this process

std::string HostFolder(const std::string& winFolder) { return sysroot::HostPath(winFolder); }

// One line of the record: a text without line breaks.
std::string OneLine(std::string text) {
  for (char& c : text)
    if (c == '\r' || c == '\n') c = ' ';
  return text;
}

std::string FormatRecord(const Job& j) {
  std::ostringstream o;
  o << "Printer=" << j.printer << "\r\n"
    << "Document=" << j.document << "\r\n"
    << "Status=" << j.status << "\r\n";
  if (!j.error.empty()) o << "Error=" << OneLine(j.error) << "\r\n";
  o << "Copies=" << j.copies << "\r\n"
    << "Pages=" << j.pages.size() << "\r\n";
  for (size_t i = 0; i < j.pages.size(); ++i)
    o << "Page" << i + 1 << "=" << j.pages[i].widthTenths << "," << j.pages[i].heightTenths << ","
      << j.pages[i].width << "," << j.pages[i].height << "\r\n";
  o << "Pdf=" << fs::path(j.pdfPath).filename().string() << "\r\n";
  for (const auto& p : j.pngPaths) o << "Png=" << fs::path(p).filename().string() << "\r\n";
  return o.str();
}

bool WriteRecord(const Job& j, Failure& why) {
  if (j.recordPath.empty()) return true;
  errno = 0;
  std::ofstream f(j.recordPath, std::ios::binary | std::ios::trunc);
  f << FormatRecord(j);
  f.flush();
  if (f) return true;
  int err = errno ? errno : EIO;
  why.code = win::SetLastErrorFromErrno(err);
  why.text = "Cannot write the job record " + j.recordPath + ": " + std::strerror(err) + ".";
  return false;
}

bool WriteRecord(const Job& j) {
  Failure ignored;
  return WriteRecord(j, ignored);
}

// Hands the finished PDF to COMMAND, run by the shell with the PDF as its
// last argument, through the process layer. A command still running after
// LIMIT seconds is stopped with all it started.
bool HandOver(const std::string& command, const std::string& pdf, int limitSeconds, Failure& why) {
  const std::string quoted = "\"" + command + "\"";
  // The command runs in a subshell, so that an "exit" in it still reaches
  // the line after; that line leaves the status in the process layer's side
  // channel, which tells it even when this program ignores its children's
  // ends and the system collects them unseen.
  // The command has lines of its own, so that a comment in it ends there.
  const std::string script =
      "(\n" + command + " \"$1\"\n)\ns=$?; echo \"$$ $s\" >\"$ZOLMET_EXIT_FILE\"; exit $s";
  win::HPROCESS p = win::CreateHostProcess("/bin/sh", {"-c", script, "sh", pdf});
  if (!p) {
    why.code = win::GetLastError();
    why.text = "The command " + quoted + " could not be started.";
    return false;
  }
  const win::DWORD limitMs = static_cast<win::DWORD>(std::max(1, limitSeconds)) * 1000u;
  if (win::WaitForSingleObject(p, limitMs) != win::WAIT_OBJECT_0) {
    win::TerminateProcess(p, 1);
    why.code = win::WAIT_TIMEOUT_ERROR;
    why.text = "The command " + quoted + " did not end within " + std::to_string(limitSeconds) +
               " s and was stopped.";
    return false;
  }
  win::DWORD code = 0;
  if (!win::GetExitCodeProcess(p, code)) {
    why.code = win::ERROR_GEN_FAILURE;
    why.text = "The command " + quoted + " ended without an exit status.";
    return false;
  }
  if (code != 0) {
    why.code = win::ERROR_GEN_FAILURE;
    why.text = "The command " + quoted + " ended with exit code " + std::to_string(code) + ".";
    return false;
  }
  return true;
}

}  // namespace

int ScreenPixelsPerInch() {
  int ppi = cls::Screen().PixelsPerInch;
  return ppi > 0 ? ppi : 96;
}

std::vector<Job> RecordedJobs() {
  std::lock_guard<std::mutex> lock(g_recordMutex);
  return Recorded();
}

void ClearRecordedJobs() {
  std::lock_guard<std::mutex> lock(g_recordMutex);
  Recorded().clear();
}

std::string DocumentError(win::HDC dc) {
  return win::Dcs().Contains(dc) ? dc->job.error : std::string();
}

const std::vector<Page>* DocumentPages(win::HDC dc) {
  return win::Dcs().Contains(dc) && dc->inDoc ? &dc->job.pages : nullptr;
}

}  // namespace gdi

namespace win {
namespace {

GdiObject* Stock(int which) {
  static GdiObject* objs[20] = {};
  static std::once_flag once;
  std::call_once(once, [] {
    auto make = [](GdiObject::Kind k) { return NewObject(k, true); };
    objs[WHITE_BRUSH] = make(GdiObject::Brush), objs[WHITE_BRUSH]->color = 0xFFFFFF;
    objs[BLACK_BRUSH] = make(GdiObject::Brush), objs[BLACK_BRUSH]->color = 0;
    objs[NULL_BRUSH] = make(GdiObject::Brush), objs[NULL_BRUSH]->style = BS_NULL;
    objs[WHITE_PEN] = make(GdiObject::Pen), objs[WHITE_PEN]->color = 0xFFFFFF;
    objs[BLACK_PEN] = make(GdiObject::Pen), objs[BLACK_PEN]->color = 0;
    objs[NULL_PEN] = make(GdiObject::Pen), objs[NULL_PEN]->style = PS_NULL;
    objs[SYSTEM_FONT] = make(GdiObject::Font);
    std::strcpy(objs[SYSTEM_FONT]->font.lfFaceName, "MS Sans Serif");
    objs[SYSTEM_FONT]->font.lfHeight = -13;
  });
  return which >= 0 && which < 20 ? objs[which] : nullptr;
}

// Counts the selections of the objects of S in or out.
void CountSelections(const DcState& s, int delta) {
  for (GdiObject* o : {s.font_, s.pen_, s.brush_, s.bitmap_})
    if (o) o->selections += delta;
}

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
  if (mode) {
    dc->hasMode = true;
    dc->mode = spool::MergeDevMode(def, *mode);
  }
  dc->ResolvePage();
  InitState(dc->st, def.dpiY);
  return Dcs().Add(dc);
}

// Clip and state common to every operation.
gdi::Op NewOp(HDC dc, gdi::Op::Kind kind) {
  gdi::Op op;
  op.kind = kind;
  op.penStyle = dc->st.penStyle;
  op.penWidth = dc->st.penWidth;
  op.penColor = dc->st.penColor;
  op.brushStyle = dc->st.brushStyle;
  op.brushHatch = dc->st.brushHatch;
  op.brushColor = dc->st.brushColor;
  op.clipped = dc->st.clipped;
  op.clip = dc->st.clip;
  return op;
}

void Emit(HDC dc, gdi::Op&& op) {
  if (dc->kind == DeviceContext::Printer) {
    if (dc->inPage) dc->current.ops.push_back(std::move(op));
  } else if (dc->kind == DeviceContext::Memory) {
    HGDIOBJ bm = dc->st.bitmap_;
    if (!bm || !bm->pixels || bm->bmWidth <= 0 || bm->bmHeight <= 0) return;
    int stride = cairo_format_stride_for_width(CAIRO_FORMAT_ARGB32, bm->bmWidth);
    if (stride != bm->bmWidth * 4) return;
    cairo_surface_t* s = cairo_image_surface_create_for_data(
        reinterpret_cast<unsigned char*>(bm->pixels->data()), CAIRO_FORMAT_ARGB32, bm->bmWidth, bm->bmHeight, stride);
    cairo_t* cr = cairo_create(s);
    gdi::RenderOp(cr, op);
    cairo_destroy(cr);
    cairo_surface_flush(s);
    cairo_surface_destroy(s);
  }
}

bool Valid(HDC dc) { return Dcs().Check(dc); }

gdi::FontMetrics Metrics(HDC dc) { return gdi::MetricsOf(dc->st.font); }

// Advances of TEXT with the justification in force spread over its blanks.
std::vector<int> Advances(HDC dc, const gdi::FontMetrics& m, const std::string& text) {
  auto adv = gdi::CharAdvances(m, text);
  int breaks = dc->st.justifyBreaks, extra = dc->st.justifyExtra;
  if (breaks > 0 && extra != 0) {
    int seen = 0;
    for (size_t i = 0; i < text.size(); ++i)
      if (text[i] == ' ' && seen < breaks) {
        adv[i] += extra / breaks + (seen < std::abs(extra % breaks) ? (extra < 0 ? -1 : 1) : 0);
        ++seen;
      }
  }
  return adv;
}

int Sum(const std::vector<int>& v) {
  int s = 0;
  for (int x : v) s += x;
  return s;
}

void EmitText(HDC dc, int x, int y, const std::string& text, const gdi::FontMetrics& m,
              const std::vector<int>& adv, const RECT* clipTo, bool opaqueRect) {
  gdi::Op op = NewOp(dc, gdi::Op::Text);
  op.points = {{x, y}};
  op.text = text;
  op.advances = adv;
  op.face = std::string(dc->st.font.lfFaceName, strnlen(dc->st.font.lfFaceName, 32));
  op.family = m.family;
  op.em = m.em;
  op.ascent = m.ascent;
  op.descent = m.descent;
  op.weight = dc->st.font.lfWeight;
  op.escapement = dc->st.font.lfEscapement;
  op.italic = dc->st.font.lfItalic;
  op.underline = dc->st.font.lfUnderline;
  op.strikeOut = dc->st.font.lfStrikeOut;
  op.textColor = dc->st.textColor;
  op.opaque = dc->st.bkMode == OPAQUE && !opaqueRect;
  op.bkColor = dc->st.bkColor;
  if (clipTo) {
    RECT c = *clipTo;
    if (op.clipped) {
      c.left = std::max(c.left, op.clip.left), c.top = std::max(c.top, op.clip.top);
      c.right = std::min(c.right, op.clip.right), c.bottom = std::min(c.bottom, op.clip.bottom);
    }
    op.clipped = true;
    op.clip = c;
  }
  Emit(dc, std::move(op));
}

// Places text by the text alignment; answers the cell's top-left.
PT Place(HDC dc, int x, int y, int width, const gdi::FontMetrics& m) {
  unsigned a = dc->st.textAlign;
  if (a & TA_UPDATECP) x = dc->st.pos.x, y = dc->st.pos.y;
  if ((a & TA_CENTER) == TA_CENTER)
    x -= width / 2;
  else if (a & TA_RIGHT)
    x -= width;
  if ((a & TA_BASELINE) == TA_BASELINE)
    y -= m.ascent;
  else if (a & TA_BOTTOM)
    y -= m.ascent + m.descent;
  if (a & TA_UPDATECP) dc->st.pos.x += width;
  return {x, y};
}

std::string Str(const char* text, int count) {
  if (!text) return "";
  return count < 0 ? std::string(text) : std::string(text, static_cast<size_t>(count));
}

struct TabPiece {
  int offset;  // from the start
  std::string text;
  std::vector<int> advances;
};

struct TabLayout {
  std::vector<TabPiece> pieces;
  int width = 0;
};

// The first of the stops every STEP pixels from ORIGIN that lies right of X.
int NextStop(int x, int origin, int step) {
  int d = x - origin;
  int k = d >= 0 ? d / step : -((-d + step - 1) / step);  // rounded down
  if (origin + k * step <= x) ++k;
  return origin + k * step;
}

TabLayout LayOutTabs(HDC dc, const gdi::FontMetrics& m, const std::string& text, int startX, int tabCount,
                     const int* tabs, int origin) {
  TabLayout t;
  int x = startX;
  size_t from = 0;
  // One stop: a stop every so many pixels; none or past the last of several:
  // the default stops, every 8 average character widths.
  const int defaultStep = 8 * std::max(1, m.aveCharWidth);
  int step = tabCount == 1 ? std::abs(tabs[0]) : defaultStep;
  for (size_t i = 0; i <= text.size(); ++i) {
    if (i < text.size() && text[i] != '\t') {
      if (cp::IsBig5Lead(static_cast<unsigned char>(text[i])) && i + 1 < text.size()) ++i;
      continue;
    }
    std::string piece = text.substr(from, i - from);
    std::vector<int> adv = Advances(dc, m, piece);
    const int width = Sum(adv);
    t.pieces.push_back({x - startX, std::move(piece), std::move(adv)});
    x += width;
    if (i < text.size()) {  // a tab: the next stop right of x
      int next = x;
      if (tabCount <= 1) {
        if (step > 0) next = NextStop(x, origin, step);
      } else {
        bool found = false;
        for (int k = 0; k < tabCount; ++k)
          if (origin + std::abs(tabs[k]) > x) {
            next = origin + std::abs(tabs[k]);
            found = true;
            break;
          }
        if (!found) next = NextStop(x, origin, defaultStep);
      }
      x = next;
    }
    from = i + 1;
  }
  t.width = x - startX;
  return t;
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
  bool printer = dc->kind == DeviceContext::Printer || dc->kind == DeviceContext::Info;
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

namespace {

// Fails a step of the document: the job keeps its first cause, and the
// last error is that cause's code.
int FailDocument(HDC dc, const gdi::Failure& why) {
  if (dc->job.error.empty()) {
    dc->job.error = why.text;
    dc->job.errorCode = why.code ? why.code : ERROR_GEN_FAILURE;
  }
  SetLastError(dc->job.errorCode);
  return SP_ERROR;
}

}  // namespace

int StartDocA(HDC dc, const DOCINFOA* info) {
  if (!Valid(dc)) return SP_ERROR;
  if (dc->kind != DeviceContext::Printer || dc->inDoc || !info) {
    SetLastError(ERROR_INVALID_PARAMETER);
    return SP_ERROR;
  }
  gdi::Job job;
  job.printer = dc->def.name;
  job.document = info->lpszDocName ? info->lpszDocName : "";
  job.output = info->lpszOutput ? info->lpszOutput : "";
  job.copies = dc->hasMode && (dc->mode.dmFields & DM_COPIES) ? std::max<short>(1, dc->mode.dmCopies) : 1;
  job.status = "printing";
  dc->job = gdi::Job();  // the last document's cause goes with it
  if (dc->def.backend == "record") {
    std::lock_guard<std::mutex> lock(gdi::g_recordMutex);
    job.number = static_cast<int>(gdi::Recorded().size()) + 1;
  } else {
    std::string base;
    std::error_code ec;
    if (!job.output.empty()) {
      fs::path p = sysroot::HostPath(job.output);
      fs::create_directories(p.parent_path(), ec);
      base = (p.parent_path() / p.stem()).string();
      job.pdfPath = p.string();
      job.recordPath = base + ".job";
      std::lock_guard<std::mutex> lock(gdi::g_jobMutex);
      job.number = 1;
    } else {
      fs::path folder = gdi::HostFolder(dc->def.OutputFolder());
      fs::create_directories(folder, ec);
      if (ec || !fs::is_directory(folder)) {
        int err = ec ? ec.value() : ENOTDIR;
        return FailDocument(dc, {SetLastErrorFromErrno(err), "Cannot make the output folder " + folder.string() +
                                                                 ": " + std::strerror(err) + "."});
      }
      // The job number is the first whose record can be made new.
      std::lock_guard<std::mutex> lock(gdi::g_jobMutex);
      for (int n = 1; n < 1000000; ++n) {
        char name[32];
        std::snprintf(name, sizeof name, "job-%04d", n);
        std::string rec = (folder / (std::string(name) + ".job")).string();
        int fd = ::open(rec.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0644);
        if (fd >= 0) {
          ::close(fd);
          job.number = n;
          base = (folder / name).string();
          job.recordPath = rec;
          job.pdfPath = base + ".pdf";
          break;
        }
        if (errno != EEXIST) {
          int err = errno;
          return FailDocument(dc, {SetLastErrorFromErrno(err),
                                   "Cannot make the job record " + rec + ": " + std::strerror(err) + "."});
        }
      }
    }
    gdi::Failure why;
    if (!gdi::WriteRecord(job, why)) return FailDocument(dc, why);
    auto doc = std::make_unique<gdi::CairoDocument>();
    if (!doc->Open(job.pdfPath, dc->page.width, dc->page.length, why)) {
      job.status = "failed";
      job.error = why.text;
      job.errorCode = why.code;
      gdi::WriteRecord(job);
      dc->job = std::move(job);
      return FailDocument(dc, why);
    }
    dc->doc = std::move(doc);
  }
  dc->job = std::move(job);
  dc->inDoc = true;
  dc->inPage = false;
  return dc->job.number;
}

int StartPage(HDC dc) {
  if (!Valid(dc)) return SP_ERROR;
  if (!dc->inDoc || dc->inPage) {
    SetLastError(ERROR_INVALID_PARAMETER);
    return SP_ERROR;
  }
  dc->current = gdi::Page();
  dc->current.widthTenths = dc->page.width;
  dc->current.heightTenths = dc->page.length;
  dc->current.width = dc->Px(dc->page.width, false);
  dc->current.height = dc->Px(dc->page.length, true);
  dc->inPage = true;
  return 1;
}

int EndPage(HDC dc) {
  if (!Valid(dc)) return SP_ERROR;
  if (!dc->inDoc || !dc->inPage) {
    SetLastError(ERROR_INVALID_PARAMETER);
    return SP_ERROR;
  }
  dc->inPage = false;
  dc->job.pages.push_back(std::move(dc->current));
  if (dc->doc) {
    std::string png;
    if (dc->def.WritesPng()) {
      fs::path pdf(dc->job.pdfPath);
      png = (pdf.parent_path() / pdf.stem()).string() + "-p" + std::to_string(dc->job.pages.size()) + ".png";
    }
    gdi::Failure why;
    if (!dc->doc->AddPage(dc->job.pages.back(), dc->def.dpiX, dc->def.dpiY, png, why))
      return FailDocument(dc, why);
    if (!png.empty()) dc->job.pngPaths.push_back(png);
    // Written: only its size is kept, so a long job does not hold every
    // page's drawing (and pictures) until it ends.
    std::vector<gdi::Op>().swap(dc->job.pages.back().ops);
  }
  return 1;
}

int EndDoc(HDC dc) {
  if (!Valid(dc)) return SP_ERROR;
  if (!dc->inDoc) {
    SetLastError(ERROR_INVALID_PARAMETER);
    return SP_ERROR;
  }
  if (dc->inPage && EndPage(dc) <= 0) {
    DWORD code = GetLastError();
    AbortDoc(dc);
    SetLastError(code);
    return SP_ERROR;
  }
  dc->inDoc = false;
  gdi::Failure why;
  bool ok = true;
  if (dc->doc) {
    ok = dc->doc->Close(why);
    dc->doc.reset();
    if (ok && !dc->def.command.empty())
      ok = gdi::HandOver(dc->def.command, dc->job.pdfPath, dc->def.commandTimeout, why);
    if (!ok) FailDocument(dc, why);  // the cause goes into the record
    dc->job.status = ok ? "done" : "failed";
    gdi::Failure unwritten;
    if (!gdi::WriteRecord(dc->job, unwritten) && ok) {
      ok = false;
      why = unwritten;
    }
  } else {
    dc->job.status = "done";
  }
  if (dc->def.backend == "record") {
    std::lock_guard<std::mutex> lock(gdi::g_recordMutex);
    gdi::Recorded().push_back(dc->job);
  }
  return ok ? 1 : FailDocument(dc, why);
}

int AbortDoc(HDC dc) {
  if (!Valid(dc)) return SP_ERROR;
  if (!dc->inDoc) {
    SetLastError(ERROR_INVALID_PARAMETER);
    return SP_ERROR;
  }
  dc->inDoc = dc->inPage = false;
  dc->job.status = "aborted";
  if (dc->doc) {
    dc->doc->Abandon();
    dc->doc.reset();
    std::error_code ec;
    fs::remove(dc->job.pdfPath, ec);
    for (const auto& p : dc->job.pngPaths) fs::remove(p, ec);
    dc->job.pngPaths.clear();
    gdi::WriteRecord(dc->job);
  }
  if (dc->def.backend == "record") {
    std::lock_guard<std::mutex> lock(gdi::g_recordMutex);
    gdi::Recorded().push_back(dc->job);
  }
  return 1;
}

// ---- objects

HFONT CreateFontIndirectA(const LOGFONTA* font) {
  if (!font) return nullptr;
  GdiObject* o = NewObject(GdiObject::Font);
  o->font = *font;
  return o;
}

HPEN CreatePen(int style, int width, COLORREF color) {
  GdiObject* o = NewObject(GdiObject::Pen);
  o->style = style;
  o->width = width;
  o->color = color;
  return o;
}

HBRUSH CreateSolidBrush(COLORREF color) { return CreateBrushStyle(BS_SOLID, color); }

HBRUSH CreateHatchBrush(int hatch, COLORREF color) {
  HBRUSH b = CreateBrushStyle(BS_HATCHED, color);
  b->hatch = hatch;
  return b;
}

HBRUSH CreateBrushStyle(int style, COLORREF color) {
  GdiObject* o = NewObject(GdiObject::Brush);
  o->style = style;
  o->color = color;
  return o;
}

HGDIOBJ GetStockObject(int which) { return Stock(which); }

HGDIOBJ SelectObject(HDC dc, HGDIOBJ obj) {
  if (!Valid(dc)) return nullptr;
  if (!Objects().Check(obj)) return nullptr;
  HGDIOBJ* slot = nullptr;
  switch (obj->kind) {
    case GdiObject::Font:
      slot = &dc->st.font_;
      dc->st.font = obj->font;
      break;
    case GdiObject::Pen:
      slot = &dc->st.pen_;
      dc->st.penStyle = obj->style, dc->st.penWidth = obj->width, dc->st.penColor = obj->color;
      break;
    case GdiObject::Brush:
      slot = &dc->st.brush_;
      dc->st.brushStyle = obj->style, dc->st.brushHatch = obj->hatch, dc->st.brushColor = obj->color;
      break;
    case GdiObject::Bitmap:
      if (dc->kind != DeviceContext::Memory) return nullptr;
      slot = &dc->st.bitmap_;
      break;
    case GdiObject::Region:
      SelectClipRgn(dc, obj);
      return obj;
  }
  HGDIOBJ prev = *slot;
  *slot = obj;
  ++obj->selections;
  if (prev) --prev->selections;
  return prev;
}

bool DeleteObject(HGDIOBJ obj) {
  if (!Objects().Check(obj)) return false;
  if (obj->stock) return true;
  // Still selected into a context: refused, as the system does, so that the
  // context never draws with freed memory.
  if (obj->selections > 0) return false;
  if (!Objects().Remove(obj)) return false;
  delete obj;
  return true;
}

HRGN CreateRectRgn(int l, int t, int r, int b) {
  GdiObject* o = NewObject(GdiObject::Region);
  o->rect = {std::min(l, r), std::min(t, b), std::max(l, r), std::max(t, b)};
  return o;
}

int SelectClipRgn(HDC dc, HRGN rgn) {
  if (!Valid(dc)) return 0;
  if (!rgn) {
    dc->st.clipped = false;
    return 1;
  }
  if (!ValidObject(rgn, GdiObject::Region)) return 0;
  dc->st.clipped = true;
  dc->st.clip = rgn->rect;
  return 2;
}

int IntersectClipRect(HDC dc, int l, int t, int r, int b) {
  if (!Valid(dc)) return 0;
  RECT c{l, t, r, b};
  if (dc->st.clipped) {
    c.left = std::max(c.left, dc->st.clip.left), c.top = std::max(c.top, dc->st.clip.top);
    c.right = std::min(c.right, dc->st.clip.right), c.bottom = std::min(c.bottom, dc->st.clip.bottom);
    if (c.right < c.left) c.right = c.left;
    if (c.bottom < c.top) c.bottom = c.top;
  }
  dc->st.clipped = true;
  dc->st.clip = c;
  return c.right > c.left && c.bottom > c.top ? 2 : 1;
}

bool GetClipBox(HDC dc, RECT* rect) {
  if (!Valid(dc) || !rect) return false;
  if (dc->st.clipped) {
    *rect = dc->st.clip;
  } else {
    *rect = {0, 0, GetDeviceCaps(dc, HORZRES), GetDeviceCaps(dc, VERTRES)};
  }
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
    if (!Objects().Contains(o) || o->kind != kind) o = stock;
  };
  keep(dc->st.font_, GdiObject::Font, Stock(SYSTEM_FONT));
  keep(dc->st.pen_, GdiObject::Pen, Stock(BLACK_PEN));
  keep(dc->st.brush_, GdiObject::Brush, Stock(WHITE_BRUSH));
  keep(dc->st.bitmap_, GdiObject::Bitmap, DefaultBitmap());
  CountSelections(dc->st, +1);
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

// ---- text

bool GetTextMetricsA(HDC dc, TEXTMETRICA* tm) {
  if (!Valid(dc) || !tm) return false;
  gdi::FontMetrics m = Metrics(dc);
  std::memset(tm, 0, sizeof *tm);
  tm->tmHeight = m.ascent + m.descent;
  tm->tmAscent = m.ascent;
  tm->tmDescent = m.descent;
  tm->tmInternalLeading = m.internalLeading;
  tm->tmExternalLeading = m.externalLeading;
  tm->tmAveCharWidth = m.aveCharWidth;
  tm->tmMaxCharWidth = m.maxCharWidth;
  tm->tmWeight = dc->st.font.lfWeight;
  tm->tmItalic = dc->st.font.lfItalic;
  tm->tmUnderlined = dc->st.font.lfUnderline;
  tm->tmStruckOut = dc->st.font.lfStrikeOut;
  tm->tmCharSet = dc->st.font.lfCharSet;
  return true;
}

bool GetTextExtentPoint32A(HDC dc, const char* text, int count, SIZE* size) {
  if (!Valid(dc) || !size) return false;
  gdi::FontMetrics m = Metrics(dc);
  size->cx = Sum(Advances(dc, m, Str(text, count)));
  size->cy = m.ascent + m.descent;
  return true;
}

bool TextOutA(HDC dc, int x, int y, const char* text, int count) {
  return ExtTextOutA(dc, x, y, 0, nullptr, text, count, nullptr);
}

bool ExtTextOutA(HDC dc, int x, int y, unsigned options, const RECT* rect, const char* text, int count,
                 const int* dx) {
  if (!Valid(dc)) return false;
  std::string s = Str(text, count);
  gdi::FontMetrics m = Metrics(dc);
  std::vector<int> adv = Advances(dc, m, s);
  if (dx)  // one width a byte; a Big5 character advances by its two together
    for (size_t i = 0; i < s.size(); ++i) {
      adv[i] = dx[i];
      if (cp::IsBig5Lead(static_cast<unsigned char>(s[i])) && i + 1 < s.size()) {
        adv[i] += dx[i + 1];
        adv[++i] = 0;
      }
    }
  PT at = Place(dc, x, y, Sum(adv), m);
  if ((options & ETO_OPAQUE) && rect) {
    gdi::Op fill = NewOp(dc, gdi::Op::Fill);
    fill.points = {{rect->left, rect->top}, {rect->right, rect->bottom}};
    fill.brushStyle = BS_SOLID;
    fill.brushColor = dc->st.bkColor;
    Emit(dc, std::move(fill));
  }
  EmitText(dc, at.x, at.y, s, m, adv, (options & ETO_CLIPPED) ? rect : nullptr, (options & ETO_OPAQUE) != 0);
  return true;
}

LONG TabbedTextOutA(HDC dc, int x, int y, const char* text, int count, int tabCount, const int* tabs,
                    int tabOrigin) {
  if (!Valid(dc)) return 0;
  std::string s = Str(text, count);
  gdi::FontMetrics m = Metrics(dc);
  TabLayout t = LayOutTabs(dc, m, s, x, tabs ? tabCount : 0, tabs, tabOrigin);
  for (const auto& p : t.pieces)
    if (!p.text.empty()) EmitText(dc, x + p.offset, y, p.text, m, p.advances, nullptr, false);
  return static_cast<LONG>(((m.ascent + m.descent) << 16) | (t.width & 0xFFFF));
}

DWORD GetTabbedTextExtentA(HDC dc, const char* text, int count, int tabCount, const int* tabs) {
  if (!Valid(dc)) return 0;
  gdi::FontMetrics m = Metrics(dc);
  TabLayout t = LayOutTabs(dc, m, Str(text, count), 0, tabs ? tabCount : 0, tabs, 0);
  return static_cast<DWORD>(((m.ascent + m.descent) << 16) | (t.width & 0xFFFF));
}

int DrawTextA(HDC dc, const char* text, int count, RECT* rect, unsigned format) {
  if (!Valid(dc) || !rect) return 0;
  std::string raw = Str(text, count);
  std::string s;
  for (size_t i = 0; i < raw.size(); ++i) {  // "&" marks a mnemonic unless DT_NOPREFIX
    if (!(format & DT_NOPREFIX) && raw[i] == '&') {
      if (i + 1 < raw.size() && raw[i + 1] == '&') s += '&';
      if (i + 1 < raw.size()) ++i, s += raw[i];
      continue;
    }
    s += raw[i];
    if (cp::IsBig5Lead(static_cast<unsigned char>(raw[i])) && i + 1 < raw.size()) s += raw[++i];
  }
  gdi::FontMetrics m = Metrics(dc);
  int lineH = m.ascent + m.descent + ((format & DT_EXTERNALLEADING) ? m.externalLeading : 0);
  // Tab stops count from the line's start, so a layout at 0 serves any x.
  auto layOut = [&](const std::string& line) {
    if (format & DT_EXPANDTABS) return LayOutTabs(dc, m, line, 0, 0, nullptr, 0);
    TabLayout t;
    t.pieces.push_back({0, line, Advances(dc, m, line)});
    t.width = Sum(t.pieces.back().advances);
    return t;
  };
  auto width = [&](const std::string& line) { return layOut(line).width; };
  // Paragraphs, then words.
  std::vector<std::string> lines;
  std::vector<std::string> paras;
  if (format & DT_SINGLELINE) {
    std::string one;
    for (char c : s)
      if (c != '\r' && c != '\n') one += c;
    paras.push_back(one);
  } else {
    std::string cur;
    for (size_t i = 0; i < s.size(); ++i) {
      if (s[i] == '\r' || s[i] == '\n') {
        paras.push_back(cur);
        cur.clear();
        if (s[i] == '\r' && i + 1 < s.size() && s[i + 1] == '\n') ++i;
      } else {
        cur += s[i];
      }
    }
    paras.push_back(cur);
  }
  int avail = rect->right - rect->left;
  for (const auto& p : paras) {
    if (!(format & DT_WORDBREAK) || (format & DT_SINGLELINE)) {
      lines.push_back(p);
      continue;
    }
    // Units: a Big5 character, a word of single bytes, a run of blanks.
    std::vector<std::string> units;
    for (size_t i = 0; i < p.size();) {
      size_t j = i;
      if (cp::IsBig5Lead(static_cast<unsigned char>(p[i])) && i + 1 < p.size()) {
        j = i + 2;
      } else {
        bool blank = p[i] == ' ';
        while (j < p.size() && (p[j] == ' ') == blank &&
               !(cp::IsBig5Lead(static_cast<unsigned char>(p[j])) && j + 1 < p.size()))
          ++j;
      }
      units.push_back(p.substr(i, j - i));
      i = j;
    }
    auto trimRight = [](std::string x) {
      while (!x.empty() && x.back() == ' ') x.pop_back();
      return x;
    };
    std::string line;
    for (const auto& u : units) {
      if (u[0] == ' ') {
        if (!line.empty()) line += u;
        continue;
      }
      std::string cand = line + u;
      if (trimRight(line).empty() || width(cand) <= avail) {
        line = cand;
      } else {
        lines.push_back(trimRight(line));
        line = u;
      }
    }
    lines.push_back(trimRight(line));
  }
  int height = static_cast<int>(lines.size()) * lineH;
  if (format & DT_CALCRECT) {
    int widest = 0;
    for (const auto& l : lines) widest = std::max(widest, width(l));
    rect->right = rect->left + widest;
    rect->bottom = rect->top + height;
    return height;
  }
  int y = rect->top;
  if (format & DT_SINGLELINE) {
    if (format & DT_VCENTER)
      y = rect->top + (rect->bottom - rect->top - lineH) / 2;
    else if (format & DT_BOTTOM)
      y = rect->bottom - lineH;
  }
  const RECT* clip = (format & DT_NOCLIP) ? nullptr : rect;
  for (const auto& l : lines) {
    TabLayout t = layOut(l);
    int x = rect->left;
    if (format & DT_CENTER)
      x = rect->left + (avail - t.width) / 2;
    else if (format & DT_RIGHT)
      x = rect->right - t.width;
    for (const auto& p : t.pieces)
      if (!p.text.empty()) EmitText(dc, x + p.offset, y, p.text, m, p.advances, clip, false);
    y += lineH;
  }
  return height;
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
  gdi::Op op = NewOp(dc, gdi::Op::Line);
  op.points = {dc->st.pos, {x, y}};
  Emit(dc, std::move(op));
  dc->st.pos = {x, y};
  return true;
}

bool Polyline(HDC dc, const PT* pts, int count) {
  if (!Valid(dc) || !pts || count < 2) return false;
  gdi::Op op = NewOp(dc, gdi::Op::Line);
  op.points.assign(pts, pts + count);
  Emit(dc, std::move(op));
  return true;
}

bool Polygon(HDC dc, const PT* pts, int count) {
  if (!Valid(dc) || !pts || count < 2) return false;
  gdi::Op op = NewOp(dc, gdi::Op::Polygon);
  op.points.assign(pts, pts + count);
  Emit(dc, std::move(op));
  return true;
}

static bool Shape(HDC dc, gdi::Op::Kind kind, int l, int t, int r, int b, int cw = 0, int ch = 0) {
  if (!Valid(dc)) return false;
  gdi::Op op = NewOp(dc, kind);
  op.points = {{std::min(l, r), std::min(t, b)}, {std::max(l, r), std::max(t, b)}};
  if (kind == gdi::Op::RoundRect) op.points.push_back({cw, ch});
  Emit(dc, std::move(op));
  return true;
}

bool Rectangle(HDC dc, int l, int t, int r, int b) { return Shape(dc, gdi::Op::Rect, l, t, r, b); }
bool RoundRect(HDC dc, int l, int t, int r, int b, int cw, int ch) {
  return Shape(dc, gdi::Op::RoundRect, l, t, r, b, cw, ch);
}
bool Ellipse(HDC dc, int l, int t, int r, int b) { return Shape(dc, gdi::Op::Ellipse, l, t, r, b); }

int FillRect(HDC dc, const RECT* rect, HBRUSH brush) {
  if (!Valid(dc) || !rect || !ValidObject(brush, GdiObject::Brush)) return 0;
  gdi::Op op = NewOp(dc, gdi::Op::Fill);
  op.points = {{rect->left, rect->top}, {rect->right, rect->bottom}};
  op.brushStyle = brush->style, op.brushHatch = brush->hatch, op.brushColor = brush->color;
  Emit(dc, std::move(op));
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

// ---- bitmaps

HBITMAP CreateBitmap32(int width, int height, const std::uint32_t* pixels) {
  if (width <= 0 || height <= 0 || width > 30000 || height > 30000) return nullptr;
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
  gdi::Op op = NewOp(dest, gdi::Op::Image);
  op.points = {{x, y}, {x + w, y + h}};
  op.rop = rop;
  if (rop == WHITENESS || rop == BLACKNESS) {
    op.kind = gdi::Op::Fill;
    op.brushStyle = BS_SOLID;
    op.brushColor = rop == WHITENESS ? 0xFFFFFF : 0;
    Emit(dest, std::move(op));
    return true;
  }
  if (!Valid(src) || src->kind != DeviceContext::Memory || !src->st.bitmap_ || !src->st.bitmap_->pixels)
    return false;
  HGDIOBJ bm = src->st.bitmap_;
  op.imageWidth = bm->bmWidth;
  op.imageHeight = bm->bmHeight;
  op.pixels = std::make_shared<const std::vector<std::uint32_t>>(*bm->pixels);
  op.source = {sx, sy, sx + sw, sy + sh};
  Emit(dest, std::move(op));
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

std::uint32_t ToArgb(COLORREF c) {
  return 0xFF000000u | ((c & 0xFF) << 16) | (c & 0xFF00) | ((c >> 16) & 0xFF);
}

COLORREF ToColorRef(std::uint32_t argb) {
  return ((argb >> 16) & 0xFF) | (argb & 0xFF00) | ((argb & 0xFF) << 16);
}
}  // namespace

COLORREF GetPixel(HDC dc, int x, int y) {
  GdiObject* bm = DrawnBitmap(dc);
  if (!bm || x < 0 || y < 0 || x >= bm->bmWidth || y >= bm->bmHeight) return CLR_INVALID;
  return ToColorRef((*bm->pixels)[static_cast<size_t>(y) * bm->bmWidth + x]);
}

bool ExtFloodFill(HDC dc, int x, int y, COLORREF color, unsigned type) {
  GdiObject* bm = DrawnBitmap(dc);
  if (!bm || x < 0 || y < 0 || x >= bm->bmWidth || y >= bm->bmHeight) return false;
  if (dc->st.brushStyle == BS_NULL) return true;
  auto& px = *bm->pixels;
  const int w = bm->bmWidth, h = bm->bmHeight;
  const std::uint32_t fill = ToArgb(dc->st.brushColor), edge = ToArgb(color) & 0xFFFFFFu;
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
  gdi::Op op = NewOp(dc, gdi::Op::Image);
  op.points = {{x, y}, {x + w, y + h}};
  op.rop = rop;
  op.imageWidth = static_cast<int>(width);
  op.imageHeight = static_cast<int>(height);
  op.pixels = pixels;
  op.source = {sx, sy, sx + sw, sy + sh};
  Emit(dc, std::move(op));
  return static_cast<int>(height);
}

}  // namespace win
