// Bar-code encoding: a symbology turns the data into a module string, the
// pipeline expands the modules into one character per device pixel column.
// Each symbology is one row of hooks (encoder, quiet zone, bar height, font
// fit, human-readable text, add-on); the bar-code draw command sizes and
// paints every symbol through its row.
#pragma once
#include <cstdint>
#include <string>
#include <string_view>

#include "report/model/ppTypes.h"

namespace ppBarCode {

// Columns a bar pattern and an add-on pattern hold at most.
constexpr int kPatternCapacity = 7999;
constexpr int kAddOnCapacity = 999;

// What the encoders read and may change: the draw command's values.
struct TppBarCodeData {
  TppBarCodeType BarCodeType = bcUPC_A;  // a value above bcMSI encodes nothing
  std::string Data;
  std::string AddOnCode;
  bool AutoEncode = false;
  bool CalcCheckDigit = true;
  bool CodeOK = true;  // False: no bars, now and at every later encode
  int32_t BarWidth = 0;  // narrow module, thousandths of a millimetre
  float WideBarRatio = 0;
};

// Module strings hold one byte a module: '0' a space, '1' a bar (POSTNET:
// '1' short, '2' tall); kWide marks a wide module.
constexpr char kWide = '\x80';
inline char WideModule(char module) { return static_cast<char>(module | kWide); }

// One symbol's sizes on one device, in device pixels. "Along" is the
// direction of the bar sequence, "across" the direction of the bars.
struct TppBarCodeGeometry {
  int32_t BarWidth = 0;  // thousandths of a millimetre
  float BarWidthInches = 0;
  int PpiAlong = 0, PpiAcross = 0;
  int ModuleWidth = 0;  // m: a narrow module's columns
  int Columns = 0;      // of the bar pattern
  int AddOnColumns = 0;
  int QuietZone = 0;
  int PixelWidth = 0, PixelHeight = 0;
  int BarHeight = 0;  // the bars' height above the text line
};

// Where a symbol is painted, in its own unrotated coordinates: x along the
// bar sequence from the left end of the quiet zone, y across from the top.
class TppBarCodeSurface {
 public:
  virtual ~TppBarCodeSurface() = default;
  virtual void FillBackground(int left, int top, int right, int bottom) = 0;
  virtual void FillBar(int left, int top, int right, int bottom) = 0;
  // Text with its top-left corner at (x, y), in the surface's font.
  virtual void Text(int x, int y, const std::string& text) = 0;
  virtual int TextWidth(const std::string& text) = 0;
  virtual int TextHeight(const std::string& text) = 0;
};

// A module string from the data, which the encoder may rewrite (a check
// digit). False: the data cannot be encoded; MESSAGE may name the library
// message that says why (0: none).
using TppEncoder = bool (*)(TppBarCodeData& data, std::string& modules, int& message);

// The hooks of one symbology. A null hook means: no bars (encoder), no
// text, the font as it is (font fit), no add-on.
struct TppSymbology {
  TppBarCodeType Type;
  TppEncoder Encode;
  int (*QuietZone)(const TppBarCodeGeometry& g);
  // The automatic bar height, before the floor of 5 pixels.
  int (*BarHeight)(const TppBarCodeGeometry& g);
  // Font fit: the start size is the symbol's height in screen pixels times
  // the factor; TooWide says the surface's font is still too large.
  double FontFactor;
  bool (*FontTooWide)(TppBarCodeSurface& s, const TppBarCodeGeometry& g, const TppBarCodeData& d);
  void (*DrawText)(TppBarCodeSurface& s, const TppBarCodeGeometry& g, const TppBarCodeData& d);
  // The bars reach half-way into the text line, less one module.
  bool GuardsIntoText;
  TppEncoder EncodeAddOn;
  void (*DrawAddOn)(TppBarCodeSurface& s, const TppBarCodeGeometry& g, const TppBarCodeData& d,
                    const std::string& addOnPattern);
};

// The row of TYPE; nullptr for a type above bcMSI.
const TppSymbology* Symbology(TppBarCodeType type);

// BarWidth (thousandths of a millimetre) in inches, to four decimals.
float BarWidthInches(int32_t barWidth);
// Sizes in device pixels never pass this (far beyond any page).
constexpr int kMaxExtent = 1 << 24;
// nint(inches x ppi x ratio) columns: 0 when not positive or not a number,
// at most kMaxExtent.
int ModuleColumns(float inches, int ppi, double ratio = 1);
// nint(V) within 0..kMaxExtent (0 for not a number).
int Pixels(double v);
// Expands MODULES into PATTERN, one character per column. The columns are
// counted first: when they pass CAPACITY, PATTERN stays empty and the
// result is False.
bool ExpandModules(std::string_view modules, float inches, float wideRatio, int ppi, int capacity,
                   std::string& pattern);

// The pipeline: PATTERN is emptied, then filled at PPI (along the bar
// sequence) unless the data is blank, CodeOK is False or the type has no
// encoder. A failing encoder sets CodeOK to False.
void EncodeBarCode(TppBarCodeData& data, int ppi, std::string& pattern, int& message);
// The add-on of the UPC/EAN types, likewise.
void EncodeAddOn(TppBarCodeData& data, int ppi, std::string& pattern, int& message);

// ---- EAN-13 ----

// The UPC/EAN number sets: A odd parity and B even parity (left hand),
// C the right hand.
enum TppNumberSet : uint8_t { nsA, nsB, nsC };
// The 7-module pattern of DIGIT (0-9) in SET.
const char* DigitPattern(TppNumberSet set, int digit);
// The sets of digits 2-7 for a first digit (0-9): six of 'A' and 'B'.
const char* Ean13Parity(int firstDigit);
// The check digit of twelve digits (GS1).
int Ean13CheckDigit(std::string_view digits);
// 12 or 13 digits with CalcCheckDigit (the 13th is replaced by the computed
// one), exactly 13 without; anything else fails and leaves Data alone.
bool EncodeEan13(TppBarCodeData& data, std::string& modules, int& message);

}  // namespace ppBarCode
