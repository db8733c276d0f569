// Plain-text services: the control characters of wrapped text, tab stops,
// tabbed widths, full justification of a line and removal of markers.
#pragma once
#include <array>
#include <string>

#include "platform/classes/classes.h"
#include "platform/gdi/canvas.h"
#include "report/model/ppTypes.h"

// The control characters of plain text.
class TppTextMarkups {
 public:
  static char Tab() { return '\t'; }
  static char CarriageReturn() { return '\r'; }
  static char LineFeed() { return '\n'; }
  static std::string LineBreak() { return "\r\n"; }
  static char EndOfText() { return '\0'; }
  // "$" then byte 0xB6: ends a paragraph of full-justified wrapped text.
  static std::string EndOfParagraph() { return std::string{'$', '\xB6'}; }
  static char Space() { return ' '; }

  // The marker counts only where its 0xB6 does not start a Big5 character
  // with the byte after it: "$" 0xB6 0x4F is "$" and one character.
  static bool IsEndOfParagraphAt(const std::string& text, size_t at);
  static bool HasEndOfParagraph(const std::string& text);
};

// At most this many tab stops are used.
constexpr int ppMaxTabStops = 100;
using TppTabPositions = std::array<int, ppMaxTabStops>;

class TppPlainText {
 public:
  // Tab stops (entries in mm/1000) as device pixels of UNITS, truncated and
  // in order; only screen and printer pixels (the printer's from DEVICE)
  // give any. Entries that are not integers are skipped; at most
  // ppMaxTabStops are used.
  static void ConvertTabStops(TppUnitType units, const cls::TStringList* tabStops, cls::TObject* device, int& count,
                              TppTabPositions& positions);
  // The width of TEXT on CANVAS with its tabs at the first COUNT positions.
  static int GetTabbedTextWidth(gdi::TCanvas& canvas, const std::string& text, const TppTabPositions& positions,
                                int count);
  // Readies LINE to fill RECT's width: its outer blanks go, a line without
  // inner blanks gets one between every two characters, and the canvas
  // spreads the pixels left over across the blanks. An empty line turns
  // the spreading off.
  static void JustifyLine(gdi::TCanvas& canvas, const win::RECT& rect, const TppTabPositions& positions, int count,
                          std::string& line);
  // TEXT without any occurrence of SUBSTR. An occurrence is whole
  // characters: it neither starts nor ends inside a Big5 character.
  static void RemoveAll(const std::string& text, const std::string& subStr, std::string& result);
  // Where SUBSTR occurs as whole characters from FROM on; npos when not.
  static size_t Find(const std::string& text, const std::string& subStr, size_t from = 0);
};
