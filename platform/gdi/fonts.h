// Fonts: the substitution table from the system's fonts to installed ones,
// the vertical metrics of the font a substitute stands for, and character
// widths. Text is Big5; it is measured per character and converted to
// UTF-8 only to find glyphs.
//
// The deterministic metric font (for layout tests) gives every character
// fixed widths: an ASCII or other single byte half an em (rounded up), a
// Big5 character a whole em; ascent 4/5 em (rounded), descent the rest.
// Turn it on with SetDeterministicMetrics(true) or, for child processes,
// ZOLMET_GDI_METRICS=deterministic in the environment.
#pragma once
#include <string>
#include <string_view>
#include <vector>

#include "platform/gdi/gdi.h"

namespace gdi {

struct Substitute {
  const char* face;       // the system's face name (Big5)
  const char* family;     // installed family (UTF-8)
  double ascent, descent, externalLeading;  // of the face stood for, in em
};
// The table, in order; the first entry whose face matches (without regard
// to case) applies.
const std::vector<Substitute>& SubstitutionTable();
// The installed family for FACE (faces not in the table: FACE in UTF-8).
std::string SubstituteFamily(const std::string& face);

void SetDeterministicMetrics(bool on);
bool DeterministicMetrics();

class AdvanceTable;

struct FontMetrics {
  std::string family;
  int em = 0, ascent = 0, descent = 0, internalLeading = 0, externalLeading = 0;
  int aveCharWidth = 0, maxCharWidth = 0;
  bool bold = false, italic = false;
  // The character advances of the installed font (family, em, weight,
  // slant); null in metrics made by hand, which find theirs when measured.
  AdvanceTable* advances = nullptr;
};
// The metrics of FONT, worked out once per face, height, weight class and
// slant (and metric mode) and kept for the process.
const FontMetrics& MetricsOf(const win::LOGFONTA& font);

// The advance of each byte of TEXT (a Big5 pair's advance on its lead byte,
// 0 on the trail byte); tabs measure as blanks. Each character is measured
// once per installed font and size.
std::vector<int> CharAdvances(const FontMetrics& m, std::string_view text);
// The same into OUT (resized to TEXT's length).
void CharAdvances(const FontMetrics& m, std::string_view text, std::vector<int>& out);

// Gives cairo's and fontconfig's font caches back at exit (once asked, by
// the measurer or by text rendering), so leak checkers see only what the
// program itself kept; in builds without a leak checker it does nothing.
void ReleaseFontsAtExit();

// The installed family that draws the character UTF8 for FAMILY: FAMILY
// when the face fontconfig gives for it has the character, else the first
// of the AR PL Big5 fonts that has it (else FAMILY, which draws a box).
const std::string& DrawingFamily(const std::string& family, const std::string& utf8);

// One Big5 character (or single byte) as UTF-8.
std::string CharUtf8(std::string_view text, size_t at, size_t& length);

}  // namespace gdi
