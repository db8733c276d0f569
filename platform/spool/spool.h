// The spooler in the shape the report library calls it: printer enumeration,
// printer handles, device modes, document properties, device capabilities
// and server-wide forms. Printers are the definitions of printerdef.h.
#pragma once
#include <cstdint>
#include <functional>
#include <string>

#include "platform/spool/printerdef.h"
#include "platform/sysroot/files.h"

namespace win {

constexpr DWORD ERROR_INVALID_PRINTER_NAME = 1801;
constexpr DWORD ERROR_INVALID_LEVEL = 124;
constexpr DWORD ERROR_INVALID_FORM_NAME = 1902;

// EnumPrinters flags and the attribute bits.
constexpr DWORD PRINTER_ENUM_LOCAL = 0x2;
constexpr DWORD PRINTER_ENUM_CONNECTIONS = 0x4;
constexpr DWORD PRINTER_ATTRIBUTE_NETWORK = 0x10;
constexpr DWORD PRINTER_ATTRIBUTE_LOCAL = 0x40;

struct PRINTER_INFO_4A {
  char* pPrinterName;
  char* pServerName;
  DWORD Attributes;
};

struct PRINTER_INFO_5A {
  char* pPrinterName;
  char* pPortName;
  DWORD Attributes;
  DWORD DeviceNotSelectedTimeout;
  DWORD TransmissionRetryTimeout;
};

// The fields of level 2 this system keeps: name, ports, driver, attributes.
struct PRINTER_INFO_2A {
  char* pPrinterName;
  char* pPortName;  // ports joined with ", "
  char* pDriverName;
  DWORD Attributes;
};

// Device mode field flags.
constexpr DWORD DM_ORIENTATION = 0x1;
constexpr DWORD DM_PAPERSIZE = 0x2;
constexpr DWORD DM_PAPERLENGTH = 0x4;
constexpr DWORD DM_PAPERWIDTH = 0x8;
constexpr DWORD DM_SCALE = 0x10;
constexpr DWORD DM_COPIES = 0x100;
constexpr DWORD DM_DEFAULTSOURCE = 0x200;
constexpr DWORD DM_PRINTQUALITY = 0x400;
constexpr DWORD DM_COLOR = 0x800;
constexpr DWORD DM_DUPLEX = 0x1000;
constexpr DWORD DM_YRESOLUTION = 0x2000;
constexpr DWORD DM_COLLATE = 0x8000;
constexpr DWORD DM_FORMNAME = 0x10000;

constexpr short DMORIENT_PORTRAIT = 1;
constexpr short DMORIENT_LANDSCAPE = 2;
constexpr short DMPAPER_USER = 256;
constexpr short DMCOLOR_MONOCHROME = 1;
constexpr short DMCOLOR_COLOR = 2;
constexpr short DMDUP_SIMPLEX = 1;

// DocumentProperties modes.
constexpr DWORD DM_OUT_BUFFER = 2;
constexpr DWORD DM_IN_PROMPT = 4;
constexpr DWORD DM_IN_BUFFER = 8;
constexpr int IDOK_ = 1;
constexpr int IDCANCEL_ = 2;

// A device mode: a plain value, copied byte for byte.
struct DEVMODEA {
  char dmDeviceName[32];
  WORD dmSpecVersion;
  WORD dmDriverVersion;
  WORD dmSize;
  WORD dmDriverExtra;
  DWORD dmFields;
  short dmOrientation;
  short dmPaperSize;
  short dmPaperLength;  // tenths of a mm
  short dmPaperWidth;   // tenths of a mm
  short dmScale;
  short dmCopies;
  short dmDefaultSource;
  short dmPrintQuality;
  short dmColor;
  short dmDuplex;
  short dmYResolution;
  short dmTTOption;
  short dmCollate;
  char dmFormName[32];
};

// DeviceCapabilities indexes.
constexpr WORD DC_PAPERS = 2;
constexpr WORD DC_PAPERSIZE = 3;
constexpr WORD DC_BINS = 6;
constexpr WORD DC_BINNAMES = 12;
constexpr WORD DC_PAPERNAMES = 16;

struct POINT {
  LONG x, y;
};
struct SIZEL {
  LONG cx, cy;
};
struct RECTL {
  LONG left, top, right, bottom;
};

struct FORM_INFO_1A {
  DWORD Flags;
  char* pName;
  SIZEL Size;           // thousandths of a mm
  RECTL ImageableArea;  // thousandths of a mm
};

class PrinterHandle;
using HANDLE = PrinterHandle*;

// Fills BUF with LEVEL (4 or 5) entries followed by their strings. NEEDED
// gets the size required; too small a buffer fails with
// ERROR_INSUFFICIENT_BUFFER. No printers: true with NEEDED and RETURNED 0.
bool EnumPrintersA(DWORD flags, const char* name, DWORD level, BYTE* buf, DWORD cb,
                   DWORD* needed, DWORD* returned);

bool OpenPrinterA(const char* printerName, HANDLE* handle, void* defaults);
// Fills BUF with the open printer's LEVEL 2 entry followed by its strings.
// NEEDED gets the size required; too small a buffer fails with
// ERROR_INSUFFICIENT_BUFFER, another level with ERROR_INVALID_LEVEL.
bool GetPrinterA(HANDLE printer, DWORD level, BYTE* buf, DWORD cb, DWORD* needed);
bool ClosePrinter(HANDLE handle);
// True while HANDLE is open; a closed handle is refused with
// ERROR_INVALID_HANDLE by every call.
bool IsPrinterHandle(HANDLE handle);
std::string PrinterNameOf(HANDLE handle);

// Mode 0: the size of a device mode. DM_OUT_BUFFER: the driver's defaults,
// with the set fields of IN merged over them when DM_IN_BUFFER is given.
// DM_IN_PROMPT asks the properties prompt (spool::SetPropertiesPrompt) and
// answers IDOK or IDCANCEL; OUT is written only on IDOK. Negative on error.
long DocumentPropertiesA(void* hwnd, HANDLE printer, const char* deviceName, DEVMODEA* out,
                         const DEVMODEA* in, DWORD mode);

// Count of entries of CAPABILITY, or -1; with OUTPUT the entries are written
// there (names 64 or 24 bytes, codes as WORDs, sizes as POINTs in tenths of
// a mm) and their number answered: never more than the last count this
// thread was given for the printer's papers or bins.
int DeviceCapabilitiesA(const char* device, const char* port, WORD capability, char* output,
                        const DEVMODEA* devMode);

// Server-wide forms (one file for every printer).
bool GetFormA(HANDLE printer, const char* formName, DWORD level, BYTE* buf, DWORD cb,
              DWORD* needed);
bool SetFormA(HANDLE printer, const char* formName, DWORD level, const FORM_INFO_1A* form);
bool AddFormA(HANDLE printer, DWORD level, const FORM_INFO_1A* form);

}  // namespace win

namespace spool {

// The properties prompt: may change the device mode; answers IDOK (1) or
// IDCANCEL (2). Without one the prompt answers IDCANCEL.
using PropertiesPrompt = std::function<int(const std::string& printer, win::DEVMODEA& mode)>;
void SetPropertiesPrompt(PropertiesPrompt prompt);
// Whether a properties prompt is set (else printers have no properties to
// set here).
bool HasPropertiesPrompt();

// The driver's default device mode of a printer.
win::DEVMODEA DefaultDevMode(const PrinterDef& def);
// MODE's set fields over the driver defaults, each value checked: unknown
// paper codes and bins, custom sizes where custom paper is not allowed and
// copies below 1 are dropped.
win::DEVMODEA MergeDevMode(const PrinterDef& def, const win::DEVMODEA& mode);

// How a device mode becomes a page. Starting from the driver's default
// paper and orientation:
//  1. DM_PAPERSIZE with code 256 (and custom paper allowed): a custom page of
//     DM_PAPERWIDTH x DM_PAPERLENGTH, each taken only when its flag is set
//     and it is above 0, else the driver's default custom size; both are
//     clamped to the printer's custom range.
//  2. DM_PAPERSIZE with a code of the printer's papers: that paper.
//  3. Otherwise DM_FORMNAME naming a server form: that form's size as a
//     custom page (where custom paper is allowed).
//  4. DM_ORIENTATION landscape exchanges width and length.
// Anything else keeps the driver's default.
struct PageSize {
  int paperCode = 0;
  int width = 0;   // tenths of a mm, as the page lies (after orientation)
  int length = 0;  // tenths of a mm
  bool landscape = false;
};
PageSize ResolvePageSize(const PrinterDef& def, const win::DEVMODEA* mode);

// Forms as stored, for tests and tools.
struct Form {
  std::string name;
  int width = 0, height = 0;  // thousandths of a mm
  win::RECTL imageable{0, 0, 0, 0};
};
std::string FormsFile();  // host path
bool FindForm(const std::string& name, Form& form);

}  // namespace spool
