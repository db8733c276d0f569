// Bar-code encoding: a symbology turns the data into a module string, the
// pipeline expands the modules into one character per device pixel column.
// Each symbology is one row of hooks (encoder, quiet zone, bar height, font
// fit, human-readable text, add-on); the bar-code draw command sizes and
// paints every symbol through its row.
#pragma once
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

#include "platform/classes/typinfo.h"
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
  cls::TAlignment Alignment = cls::taLeftJustify;  // of a one-line text
  std::string MessageArg;  // the character a failure's message names
};

// Module strings hold one byte a module: '0' a space, '1' a bar (POSTNET:
// '1' short, '2' tall). The top two bits give the module's columns:
// none narrow (m), kWide m x WideBarRatio, kDouble nint(inches x 2 x ppi)
// (Code 39's gap), kSpacing nint(m x 1.375) (POSTNET's gap).
constexpr char kWide = '\x80';
constexpr char kDouble = '\x40';
constexpr char kSpacing = '\xC0';
constexpr char kKindBits = '\xC0';
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
  int BarLength = 0;  // the bars' length (UPC/EAN: into the text line)
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
  // After the main bars; TEXT: with its digits above.
  void (*DrawAddOn)(TppBarCodeSurface& s, const TppBarCodeGeometry& g, const TppBarCodeData& d,
                    const std::string& addOnPattern, bool text);
  // The font's start size from the height when not nint(h x FontFactor).
  int (*FontStart)(int h);
  // '2' columns are tall bars, '1' columns short ones on the same bottom.
  bool TallAndShortBars;
};

// The row of TYPE; nullptr for a type above bcMSI.
const TppSymbology* Symbology(TppBarCodeType type);

// The rows, each in its family's file.
extern const TppSymbology kUpcARow, kUpcERow, kEan13Row, kEan8Row, kInt2of5Row, kCode128Row, kCode39Row,
    kPostnetRow, kFimRow, kCodabarRow, kMsiRow;

// Hooks several families share.
int NoQuietZone(const TppBarCodeGeometry& g);
int QuarterWidthHeight(const TppBarCodeGeometry& g);
// The one-line text is too wide: TextWidth("0") x the length of Data
// passes the symbol's width.
bool LineTooWide(TppBarCodeSurface& s, const TppBarCodeGeometry& g, const TppBarCodeData& d);
// TEXT in one line under the bars, placed by the data's Alignment across
// the symbol.
void DrawLine(TppBarCodeSurface& s, const TppBarCodeGeometry& g, const TppBarCodeData& d, const std::string& text);
// Data in one line under the bars.
void DrawDataLine(TppBarCodeSurface& s, const TppBarCodeGeometry& g, const TppBarCodeData& d);
bool IsDigit(char c);
bool AllDigits(std::string_view s);
// The module string of ELEMENTS ('0' narrow, '1' wide), alternately bar
// and space from a bar.
void AppendElements(std::string& modules, std::string_view elements);

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
// encoder. A failing encoder, or a symbol over the capacity, sets CodeOK to
// False.
void EncodeBarCode(TppBarCodeData& data, int ppi, std::string& pattern, int& message);
// The add-on of the UPC/EAN types, likewise.
void EncodeAddOn(TppBarCodeData& data, int ppi, std::string& pattern, int& message);

// ---- UPC/EAN and the add-on ----

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
// 3 x the digits at odd positions + those at even ones, to the next ten.
int UpcCheckDigit(std::string_view digits);
// The sets of UPC-E's six digits for its check digit (0-9).
const char* UpcEParity(int checkDigit);
// Six UPC-E digits as the eleven of their UPC-A form (without check digit).
std::string UpcEToUpcA(std::string_view six);
// With CalcCheckDigit 11 or 12 digits (UPC-A), 6 or 7 (UPC-E), 7 or 8
// (EAN-8), the last replaced by the check digit; without, 12, 7 or 8.
bool EncodeUpcA(TppBarCodeData& data, std::string& modules, int& message);
bool EncodeUpcE(TppBarCodeData& data, std::string& modules, int& message);
bool EncodeEan8(TppBarCodeData& data, std::string& modules, int& message);
// AddOnCode of 2 or 5 digits; another length gives no add-on, non-digits
// fail.
bool EncodeUpcEanAddOn(TppBarCodeData& data, std::string& modules, int& message);

// ---- Interleaved 2 of 5 ----

// The five elements of DIGIT, '1' wide.
const char* Int2of5Pattern(int digit);
// Weights 3 and 1 from the first digit, to the next ten.
int Int2of5CheckDigit(std::string_view digits);
// Digits, an even number of them (an odd number gets the check digit with
// CalcCheckDigit).
bool EncodeInt2of5(TppBarCodeData& data, std::string& modules, int& message);

// ---- Code 128 ----

// Control characters of the data (bytes); 211-242 are the ASCII control
// characters 0-31 in set A.
constexpr unsigned char kFnc3 = 201, kFnc2 = 202, kShift = 203, kCodeC = 204, kCodeB = 205, kCodeA = 206,
                        kFnc1 = 207, kStartA = 208, kStartB = 209, kStartC = 210, kControlFirst = 211,
                        kControlLast = 242;
// The eleven modules of VALUE (0-105); the stop pattern has thirteen.
const char* Code128Pattern(int value);
constexpr const char* kCode128Stop = "1100011101011";
// DATA with start and set switches chosen, in time linear in its length.
// Plain data is ASCII. Data already in the control form (from a start
// character on, as this writes it) loses its start, switch, shift and
// function characters, which are chosen again, and its bytes 211-242 count
// as the control characters they stand for. Any other byte: nullopt, and
// BAD its index.
std::optional<std::string> Code128AutoEncode(std::string_view data, size_t* bad = nullptr);
// Data from a start character on, with the control characters; messages
// 451-458 say why it cannot be encoded.
bool EncodeCode128(TppBarCodeData& data, std::string& modules, int& message);

// ---- Code 39 ----

// The nine elements of C ('1' wide), "" when C is no Code 39 character.
const char* Code39Pattern(char c);
// Framed with '*' at either end unless there; lower case as upper case.
bool EncodeCode39(TppBarCodeData& data, std::string& modules, int& message);

// ---- Codabar ----

// The seven elements of C ('1' wide), "" when C is no Codabar character.
const char* CodabarPattern(char c);
bool EncodeCodabar(TppBarCodeData& data, std::string& modules, int& message);

// ---- MSI ----

// The Luhn digit of the digits.
int MsiCheckDigit(std::string_view digits);
// With CalcCheckDigit the check digit goes into the modules only.
bool EncodeMsi(TppBarCodeData& data, std::string& modules, int& message);

// ---- POSTNET and FIM ----

// The five bars of DIGIT, '2' tall and '1' short.
const char* PostnetPattern(int digit);
// What brings the digits' sum to a multiple of ten.
int PostnetCheckDigit(std::string_view digits);
// Digits and hyphens (skipped); the correction digit is always encoded.
bool EncodePostnet(TppBarCodeData& data, std::string& modules, int& message);
// The pattern of FIM A, B or C (either case), "" for anything else.
const char* FimPattern(char c);
// One character, A, B or C.
bool EncodeFim(TppBarCodeData& data, std::string& modules, int& message);

}  // namespace ppBarCode
