// Device contexts in the shape the report library calls them: printers
// (information and printing contexts), the screen and memory contexts for
// bitmaps; device capabilities; documents and pages; fonts, pens, brushes,
// text and shapes, in device pixels.
//
// Every drawing call becomes one typed operation (gdi::Op) in device
// pixels, drawn by the context's engine (engine.h), chosen once from the
// context's kind: a printing context keeps the operations of its page and
// hands the page to its printer's engine at EndPage (cairo: a PDF, and a
// PNG per page where the printer asks for it, with a job record beside it;
// record: the pages kept in memory for tests, gdi::RecordedJobs); a memory
// context draws on its bitmap at once through the raster engine; the
// screen context and information contexts draw nowhere.
#pragma once
#include <cstdint>
#include <memory>
#include <optional>
#include <set>
#include <string>
#include <variant>
#include <vector>

#include "platform/spool/spool.h"

namespace win {

using COLORREF = std::uint32_t;  // 0x00BBGGRR
inline constexpr COLORREF RGB(int r, int g, int b) {
  return static_cast<COLORREF>((r & 0xFF) | ((g & 0xFF) << 8) | ((b & 0xFF) << 16));
}

struct RECT {
  int left = 0, top = 0, right = 0, bottom = 0;
};
struct SIZE {
  int cx = 0, cy = 0;
};
struct PT {
  int x = 0, y = 0;
};

// GetDeviceCaps indexes.
constexpr int DRIVERVERSION = 0, TECHNOLOGY = 2, HORZSIZE = 4, VERTSIZE = 6, HORZRES = 8,
              VERTRES = 10, BITSPIXEL = 12, PLANES = 14, NUMCOLORS = 24, RASTERCAPS = 38,
              LOGPIXELSX = 88, LOGPIXELSY = 90, SIZEPALETTE = 104, PHYSICALWIDTH = 110,
              PHYSICALHEIGHT = 111, PHYSICALOFFSETX = 112, PHYSICALOFFSETY = 113;
constexpr int DT_RASDISPLAY = 1, DT_RASPRINTER = 2;
constexpr int RC_BITBLT = 0x1, RC_DI_BITMAP = 0x80, RC_STRETCHBLT = 0x800, RC_STRETCHDIB = 0x2000;

// Fonts.
constexpr int FW_NORMAL = 400, FW_BOLD = 700;
constexpr int ANSI_CHARSET = 0, DEFAULT_CHARSET = 1, CHINESEBIG5_CHARSET = 136;
struct LOGFONTA {
  LONG lfHeight = 0;  // < 0: character height (em), > 0: cell height, in device pixels
  LONG lfWidth = 0;
  LONG lfEscapement = 0;  // tenths of a degree, counter-clockwise
  LONG lfOrientation = 0;
  LONG lfWeight = FW_NORMAL;
  BYTE lfItalic = 0, lfUnderline = 0, lfStrikeOut = 0, lfCharSet = DEFAULT_CHARSET;
  BYTE lfOutPrecision = 0, lfClipPrecision = 0, lfQuality = 0, lfPitchAndFamily = 0;
  char lfFaceName[32] = {};
};
struct TEXTMETRICA {
  LONG tmHeight, tmAscent, tmDescent, tmInternalLeading, tmExternalLeading, tmAveCharWidth,
      tmMaxCharWidth, tmWeight;
  BYTE tmItalic, tmUnderlined, tmStruckOut, tmPitchAndFamily, tmCharSet;
};

// Pens and brushes.
constexpr int PS_SOLID = 0, PS_DASH = 1, PS_DOT = 2, PS_DASHDOT = 3, PS_DASHDOTDOT = 4, PS_NULL = 5,
              PS_INSIDEFRAME = 6;
constexpr int BS_SOLID = 0, BS_NULL = 1, BS_HATCHED = 2;
constexpr int HS_HORIZONTAL = 0, HS_VERTICAL = 1, HS_FDIAGONAL = 2, HS_BDIAGONAL = 3, HS_CROSS = 4,
              HS_DIAGCROSS = 5;
constexpr int TRANSPARENT = 1, OPAQUE = 2;
constexpr unsigned TA_LEFT = 0, TA_TOP = 0, TA_UPDATECP = 1, TA_RIGHT = 2, TA_CENTER = 6,
                   TA_BOTTOM = 8, TA_BASELINE = 24;
constexpr unsigned ETO_OPAQUE = 2, ETO_CLIPPED = 4;
constexpr unsigned SRCCOPY = 0x00CC0020, SRCAND = 0x008800C6, SRCPAINT = 0x00EE0086,
                   SRCINVERT = 0x00660046, WHITENESS = 0x00FF0062, BLACKNESS = 0x00000042;

// DrawText flags.
constexpr unsigned DT_LEFT = 0x0, DT_CENTER = 0x1, DT_RIGHT = 0x2, DT_VCENTER = 0x4, DT_BOTTOM = 0x8,
                   DT_WORDBREAK = 0x10, DT_SINGLELINE = 0x20, DT_EXPANDTABS = 0x40,
                   DT_TABSTOP = 0x80, DT_NOCLIP = 0x100, DT_EXTERNALLEADING = 0x200,
                   DT_CALCRECT = 0x400, DT_NOPREFIX = 0x800;

class GdiObject;
using HGDIOBJ = GdiObject*;
using HFONT = GdiObject*;
using HPEN = GdiObject*;
using HBRUSH = GdiObject*;
using HBITMAP = GdiObject*;
using HRGN = GdiObject*;
class DeviceContext;
using HDC = DeviceContext*;

// Contexts. DEVICE is the printer name; DRIVER and PORT are not needed to
// find it. A context on a printer that is not installed is nullptr with the
// last error set.
HDC CreateDCA(const char* driver, const char* device, const char* port, const DEVMODEA* mode);
HDC CreateICA(const char* driver, const char* device, const char* port, const DEVMODEA* mode);
HDC ResetDCA(HDC dc, const DEVMODEA* mode);
HDC CreateCompatibleDC(HDC dc);
bool DeleteDC(HDC dc);
HDC GetDC(void* window);  // nullptr window: the screen
int ReleaseDC(void* window, HDC dc);
int GetDeviceCaps(HDC dc, int index);

// Documents and pages: StartDoc answers the job number (> 0), the others
// a value above 0; failures answer SP_ERROR (-1) with the last error set.
constexpr int SP_ERROR = -1;
struct DOCINFOA {
  int cbSize = sizeof(DOCINFOA);
  const char* lpszDocName = nullptr;
  const char* lpszOutput = nullptr;
  const char* lpszDatatype = nullptr;
  DWORD fwType = 0;
};
int StartDocA(HDC dc, const DOCINFOA* info);
int StartPage(HDC dc);
int EndPage(HDC dc);
int EndDoc(HDC dc);
int AbortDoc(HDC dc);

// Objects.
HFONT CreateFontIndirectA(const LOGFONTA* font);
HPEN CreatePen(int style, int width, COLORREF color);
HBRUSH CreateSolidBrush(COLORREF color);
HBRUSH CreateHatchBrush(int hatch, COLORREF color);
HBRUSH CreateBrushStyle(int style, COLORREF color);  // BS_NULL for a hollow brush
constexpr int WHITE_BRUSH = 0, BLACK_BRUSH = 4, NULL_BRUSH = 5, WHITE_PEN = 6, BLACK_PEN = 7,
              NULL_PEN = 8, SYSTEM_FONT = 13;
HGDIOBJ GetStockObject(int which);
HGDIOBJ SelectObject(HDC dc, HGDIOBJ object);  // previous object of that kind
constexpr unsigned OBJ_PEN = 1, OBJ_BRUSH = 2, OBJ_FONT = 6, OBJ_BITMAP = 7;
HGDIOBJ GetCurrentObject(HDC dc, unsigned type);  // the object of that kind selected now
bool DeleteObject(HGDIOBJ object);             // stock objects are kept
HRGN CreateRectRgn(int left, int top, int right, int bottom);
int SelectClipRgn(HDC dc, HRGN region);  // nullptr removes the clipping
int IntersectClipRect(HDC dc, int left, int top, int right, int bottom);
bool GetClipBox(HDC dc, RECT* rect);
// The viewport origin: where logical (0, 0) lies in device pixels. Drawing,
// IntersectClipRect, GetClipBox, GetPixel and ExtFloodFill take logical
// coordinates; SelectClipRgn takes device ones. Saved with the state.
bool SetViewportOrgEx(HDC dc, int x, int y, PT* old);
bool GetViewportOrgEx(HDC dc, PT* org);
bool OffsetViewportOrgEx(HDC dc, int dx, int dy, PT* old);
int SaveDC(HDC dc);
bool RestoreDC(HDC dc, int saved);  // -1: the last saved

COLORREF SetTextColor(HDC dc, COLORREF color);
COLORREF SetBkColor(HDC dc, COLORREF color);
int SetBkMode(HDC dc, int mode);
unsigned SetTextAlign(HDC dc, unsigned align);
bool SetTextJustification(HDC dc, int extra, int breaks);

// Text (Big5 bytes).
bool GetTextMetricsA(HDC dc, TEXTMETRICA* metrics);
bool GetTextExtentPoint32A(HDC dc, const char* text, int count, SIZE* size);
bool TextOutA(HDC dc, int x, int y, const char* text, int count);
bool ExtTextOutA(HDC dc, int x, int y, unsigned options, const RECT* rect, const char* text, int count,
                 const int* dx);
// Answers (height << 16) | width of the text drawn.
LONG TabbedTextOutA(HDC dc, int x, int y, const char* text, int count, int tabCount, const int* tabs,
                    int tabOrigin);
DWORD GetTabbedTextExtentA(HDC dc, const char* text, int count, int tabCount, const int* tabs);
int DrawTextA(HDC dc, const char* text, int count, RECT* rect, unsigned format);

// Lines and shapes (the right and bottom edges are exclusive, as in GDI).
bool MoveToEx(HDC dc, int x, int y, PT* old);
bool LineTo(HDC dc, int x, int y);
bool Polyline(HDC dc, const PT* points, int count);
bool Polygon(HDC dc, const PT* points, int count);
bool Rectangle(HDC dc, int left, int top, int right, int bottom);
bool RoundRect(HDC dc, int left, int top, int right, int bottom, int cornerWidth, int cornerHeight);
bool Ellipse(HDC dc, int left, int top, int right, int bottom);
int FillRect(HDC dc, const RECT* rect, HBRUSH brush);
int FrameRect(HDC dc, const RECT* rect, HBRUSH brush);

// Bitmaps: 32-bit top-down pixels 0xAARRGGBB.
HBITMAP CreateBitmap32(int width, int height, const std::uint32_t* pixels);
bool GetBitmapSize(HBITMAP bitmap, SIZE* size);
bool GetBitmapPixels(HBITMAP bitmap, std::vector<std::uint32_t>& pixels);
bool StretchBlt(HDC dest, int x, int y, int w, int h, HDC src, int sx, int sy, int sw, int sh,
                DWORD rop);
bool BitBlt(HDC dest, int x, int y, int w, int h, HDC src, int sx, int sy, DWORD rop);
// A bitmap for a memory context of DC (32-bit, white).
HBITMAP CreateCompatibleBitmap(HDC dc, int width, int height);
// Stretch mode and brush origin are kept per context.
constexpr int BLACKONWHITE = 1, WHITEONBLACK = 2, COLORONCOLOR = 3, HALFTONE = 4;
int SetStretchBltMode(HDC dc, int mode);  // the previous mode, 0 on failure
int GetStretchBltMode(HDC dc);
bool SetBrushOrgEx(HDC dc, int x, int y, PT* old);
bool GetBrushOrgEx(HDC dc, PT* org);
// Pixels of a memory context's bitmap.
constexpr COLORREF CLR_INVALID = 0xFFFFFFFF;
COLORREF GetPixel(HDC dc, int x, int y);
// Fills with the selected brush: FLOODFILLSURFACE over the area of COLOR
// around the point, FLOODFILLBORDER up to a border of COLOR.
constexpr unsigned FLOODFILLBORDER = 0, FLOODFILLSURFACE = 1;
bool ExtFloodFill(HDC dc, int x, int y, COLORREF color, unsigned type);

// Device-independent bitmaps (BI_RGB, 1, 4, 8, 24 or 32 bits a pixel; a
// negative height is top-down). The source rectangle counts rows from the
// top of the picture. Answers the rows drawn, 0 on bad input.
struct BITMAPINFOHEADER {
  DWORD biSize = sizeof(BITMAPINFOHEADER);
  LONG biWidth = 0, biHeight = 0;
  WORD biPlanes = 1, biBitCount = 24;
  DWORD biCompression = 0, biSizeImage = 0;
  LONG biXPelsPerMeter = 0, biYPelsPerMeter = 0;
  DWORD biClrUsed = 0, biClrImportant = 0;
};
struct RGBQUAD {
  BYTE rgbBlue, rgbGreen, rgbRed, rgbReserved;
};
struct BITMAPINFO {
  BITMAPINFOHEADER bmiHeader;
  RGBQUAD bmiColors[1];  // the palette runs on past the structure
};
constexpr DWORD BI_RGB = 0;
constexpr unsigned DIB_RGB_COLORS = 0;
int StretchDIBits(HDC dc, int x, int y, int w, int h, int sx, int sy, int sw, int sh, const void* bits,
                  const BITMAPINFO* info, unsigned usage, DWORD rop);

}  // namespace win

namespace gdi {

// The pen and brush of an operation: a null pen is PS_NULL, a hollow brush
// BS_NULL.
struct PenSpec {
  int style = win::PS_SOLID, width = 1;
  win::COLORREF color = 0;
};
struct BrushSpec {
  int style = win::BS_SOLID, hatch = 0;
  win::COLORREF color = 0xFFFFFF;
};

// Drawing operations, resolved to device pixels.
struct TextOp {
  win::PT origin;  // the first character cell's top-left
  std::string text;  // Big5
  std::vector<int> advances;  // one a byte: a Big5 character's on its lead byte, 0 on its trail byte
  std::string face;    // as selected (Big5)
  std::string family;  // the installed family used to render it (UTF-8)
  int em = 0, ascent = 0, descent = 0, weight = win::FW_NORMAL, escapement = 0;
  bool italic = false, underline = false, strikeOut = false;
  win::COLORREF color = 0;
  bool opaque = false;  // the cells filled in bkColor first
  win::COLORREF bkColor = 0xFFFFFF;
};
struct LineOp {  // an open polyline
  std::vector<win::PT> points;
  PenSpec pen;
};
struct PolygonOp {
  std::vector<win::PT> points;
  PenSpec pen;
  BrushSpec brush;
};
struct RectOp {
  win::RECT bounds;
  PenSpec pen;
  BrushSpec brush;
};
struct RoundRectOp {
  win::RECT bounds;
  win::SIZE corner;  // the corner ellipse's width and height
  PenSpec pen;
  BrushSpec brush;
};
struct EllipseOp {
  win::RECT bounds;
  PenSpec pen;
  BrushSpec brush;
};
struct FillOp {  // no outline
  win::RECT rect;
  BrushSpec brush;
};
struct ImageOp {
  win::RECT dest;  // left, top, left + width, top + height (a negative size mirrors)
  int width = 0, height = 0;
  std::shared_ptr<const std::vector<std::uint32_t>> pixels;  // 0xAARRGGBB, rows top down
  win::RECT source{};
  unsigned rop = win::SRCCOPY;
};
using Drawing = std::variant<TextOp, LineOp, PolygonOp, RectOp, RoundRectOp, EllipseOp, FillOp, ImageOp>;

// One operation with the clipping in force when it was drawn.
struct Op {
  Drawing what;
  std::optional<win::RECT> clip;

  template <class T>
  const T* As() const {
    return std::get_if<T>(&what);
  }
  std::string Describe() const;  // one line, for tests and logs
};

struct Page {
  int width = 0, height = 0;  // device pixels
  int widthTenths = 0, heightTenths = 0;
  std::vector<Op> ops;
};

struct Job {
  int number = 0;
  std::string printer, document, output;
  int copies = 1;
  std::string status;  // "printing", "done", "aborted", "failed", "empty" (no page),
                       // "cancelled" (cut short after some pages)
  // The first failure of the job: its text (also in the job record) and
  // error code; empty and 0 while none.
  std::string error;
  win::DWORD errorCode = 0;
  std::vector<Page> pages;
  std::string pdfPath, recordPath;  // host paths (cairo back end)
  std::vector<std::string> pngPaths;  // written whole
  bool pdfWritten = false;             // the PDF is whole under pdfPath
  bool cutShort = false;               // cancelled after its pages so far
};

// Jobs of printers with the "record" back end, oldest first.
std::vector<Job> RecordedJobs();
void ClearRecordedJobs();

// The pages of the current document of a printing context so far (pages
// already written to a file keep only their sizes).
const std::vector<Page>* DocumentPages(win::HDC dc);

// The cause of the first failure of the current or last document of a
// printing context (a cairo, file or command text); empty when none.
std::string DocumentError(win::HDC dc);

// Jobs a printer took whose record could not say so (the disk full even
// for a rewrite in place), one sentence each; each is given out once.
std::vector<std::string> TakeUnrecordedJobs();

// Where the last sweep for jobs ended unfinished left a printer's output
// folder: the highest job number it saw, and those it found still printing
// (their programs alive). Kept in the root, one small file per folder.
struct Sweep {
  std::string folder;
  long max = 0;
  std::set<long> live;
  bool operator==(const Sweep&) const = default;
};
std::string FormatSweep(const Sweep& sweep);
// False (and SWEEP empty) for anything but a whole state as written.
bool ParseSweep(const std::string& text, Sweep& sweep);
// For tests: the next job in any folder sweeps it again and numbers its
// job from the folder's contents, as in a new process.
void ForgetSweptFolders();

// Marks the current document of a printing context as cancelled after the
// pages it has: ended, it is recorded "cancelled" and not handed over.
void CutShortDocument(win::HDC dc);

// Metafile contexts keep every drawing call as an operation, in the
// pixels of the reference context (the screen's when there is none), and
// answer capabilities as it does.
win::HDC CreateMetafileDC(win::HDC reference);
// The operations kept so far; the context is freed.
std::vector<Op> CloseMetafileDC(win::HDC dc);
// Draws OPS, recorded within FRAME, stretched into DEST on DC through its
// engine: clipped by their own clipping and DC's, empty or inverted frames
// and destinations draw nothing.
void PlayOperations(win::HDC dc, const std::vector<Op>& ops, const win::RECT& frame, const win::RECT& dest);
// The smallest rectangle holding what OPS draw (empty when nothing).
win::RECT OperationBounds(const std::vector<Op>& ops);

// The headless screen's pixels per inch, as the class library's Screen
// holds it (one value for both).
int ScreenPixelsPerInch();

// Renders one page's operations into an ARGB32 image of its size (white
// background), for tests; empty when the page is too large for an image.
std::vector<std::uint32_t> RenderPage(const Page& page);

}  // namespace gdi
