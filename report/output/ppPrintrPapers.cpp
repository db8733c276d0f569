#include "report/output/ppPrintr.h"

#include <algorithm>
#include <cmath>
#include <iterator>

#include "platform/sysroot/codepage.h"

// ---------------------------------------------------------------- paper tables

namespace {

// Four names keep the four characters \275 where a half would stand.
constexpr TppPaper kPapers[] = {
    {1, "Letter 8 1/2 x 11 in", 8.5, 11, true},
    {2, "Letter 8 1/2 x 11 in", 8.5, 11, true},
    {3, "Tabloid 11 x 17 in", 11, 17, true},
    {4, "Ledger 17 x 11 in", 17, 11, true},
    {5, "Legal 8 12 x 14 in", 8.5, 14, true},
    {6, "Statement 5 1/2 x 8 12 in", 5.5, 8.5, true},
    {7, "Executive 7 14 x 10 1/2 in", 7.25, 10.5, true},
    {8, "A3 297 x 420 mm", 2970, 4200, false},
    {9, "A4 210 x 297 mm", 2100, 2970, false},
    {10, "A4 Small 210 x 297 mm", 2100, 2970, false},
    {11, "A5 148 x 210 mm", 1480, 2100, false},
    {12, "B4 (JIS) 250 x 354", 2500, 3540, false},
    {13, "B5 (JIS) 182 x 257 mm", 1820, 2570, false},
    {14, "Folio 8 1/2 x 13 in", 8.5, 13, true},
    {15, "Quarto 215 x 275 mm", 2150, 2750, false},
    {16, "10 x 14 in", 10, 14, true},
    {17, "11 x 17 in", 11, 17, true},
    {18, "Note 8 1/2 x 11 in", 8.5, 11, true},
    {19, "Envelope #9 3 7/8 x 8 7/8", 3.875, 8.875, true},
    {20, "Envelope #10 4 18 x 9 1/2", 4.125, 9.5, true},
    {21, "Envelope #11 4 12 x 10 3/8", 4.5, 10.375, true},
    {22, "Envelope #12 4 276 x 11", 4.75, 11, true},
    {23, "Envelope #14 5 x 11 1/2", 5, 11.5, true},
    {24, "C size sheet", 17, 22, true},
    {25, "D size sheet", 22, 34, true},
    {26, "E size sheet", 34, 44, true},
    {27, "Envelope DL 110 x 220mm", 1100, 2200, false},
    {28, "Envelope C5 162 x 229 mm", 1620, 2290, false},
    {29, " Envelope C3  324 x 458 mm", 3240, 4580, false},
    {30, "Envelope C4  229 x 324 mm", 2290, 3240, false},
    {31, "Envelope C6  114 x 162 mm", 1140, 1620, false},
    {32, "Envelope C65 114 x 229 mm", 1140, 2290, false},
    {33, "Envelope B4  250 x 353 mm", 2500, 3530, false},
    {34, "Envelope B5  176 x 250 mm", 1760, 2500, false},
    {35, "Envelope B6  176 x 125 mm", 1760, 1250, false},
    {36, "Envelope 110 x 230 mm", 1100, 2300, false},
    {37, "Envelope Monarch 3.875 x 7.5 in", 3.875, 7.5, true},
    {38, "6 34 Envelope 3 5/8 x 6 1/2 in", 3.625, 6.5, true},
    {39, "US Std Fanfold 14 7/8 x 11 in", 14.875, 11, true},
    {40, "German Std Fanfold 8 1/2 x 12 in", 8.5, 12, true},
    {41, "German Legal Fanfold 8 1/2 x 13 in", 8.5, 13, true},
    {42, "B4 (ISO) 250 x 353 mm", 2500, 3530, false},
    {43, "Japanese Postcard 100 x 148 mm", 1000, 1480, false},
    {44, "9 x 11 in", 9, 11, true},
    {45, "10 x 11 in", 10, 11, true},
    {46, "15 x 11 in", 15, 11, true},
    {47, "Envelope Invite 220 x 220 mm", 2200, 2200, false},
    // Letter Extra (and its transverse form) is 9.5 x 12 in, Legal Extra
    // 9.5 x 15 in, Letter Transverse 8.5 x 11 in, as their names say.
    {50, "Letter Extra 9 \\275 x 12 in", 9.5, 12, true},
    {51, "Legal Extra 9 \\275 x 15 in", 9.5, 15, true},
    {52, "Tabloid Extra 11.69 x 18 in", 11.69, 18, true},
    {53, "A4 Extra 9.27 x 12.69 in", 9.27, 12.69, true},
    {54, "Letter Transverse 8 \\275 x 11 in", 8.5, 11, true},
    {55, "A4 Transverse 210 x 297 mm", 2100, 2970, false},
    {56, "Letter Extra Transverse 9\\275 x 12 in", 9.5, 12, true},
    {57, "SuperASuperAA4 227 x 356 mm", 2270, 3560, false},
    {58, "SuperBSuperBA3 305 x 487 mm", 3050, 4870, false},
    {59, "Letter Plus 8.5 x 12.69 in", 8.5, 12.69, true},
    {60, "A4 Plus 210 x 330 mm", 2100, 3300, false},
    {61, "A5 Transverse 148 x 210 mm", 1480, 2100, false},
    {62, "B5 (JIS) Transverse 182 x 257 mm", 1820, 2570, false},
    {63, "A3 Extra 322 x 445 mm", 3220, 4450, false},
    {64, "A5 Extra 174 x 235 mm", 1740, 2350, false},
    {65, "B5 (ISO) Extra 201 x 276 mm", 2010, 2760, false},
    {66, "A2 420 x 594 mm", 4200, 5940, false},
    {67, "A3 Transverse 297 x 420 mm", 2970, 4200, false},
    {68, "A3 Extra Transverse 322 x 445 mm", 3220, 4450, false},
    {118, "DMPAPER_A3_EXTRA_TRANSVERSE", 0, 0, false},
    {256, "Custom", 0, 0, false},
};

constexpr bool CodesIncrease() {
  for (size_t i = 1; i < std::size(kPapers); ++i)
    if (kPapers[i - 1].Code >= kPapers[i].Code) return false;
  return true;
}
static_assert(CodesIncrease(), "the paper table is looked up by increasing code");

const TppPaper* FindPaper(int code) {
  auto it = std::lower_bound(std::begin(kPapers), std::end(kPapers), code,
                             [](const TppPaper& p, int c) { return p.Code < c; });
  return it != std::end(kPapers) && it->Code == code ? &*it : nullptr;
}

}  // namespace

std::span<const TppPaper> ppPapers() { return kPapers; }

std::string ppGetPaperName(int code) {
  const TppPaper* p = FindPaper(code);
  return p ? p->Name : "Unknown";
}

void ppGetPaperSize(int code, int& width, int& height) {
  const TppPaper* p = FindPaper(code);
  if (!p) {
    width = height = 0;
  } else if (p->Inches) {
    // 254 tenths of a millimetre to the inch, rounded once.
    width = static_cast<int>(std::lround(p->Width * 254));
    height = static_cast<int>(std::lround(p->Height * 254));
  } else {
    width = static_cast<int>(p->Width);
    height = static_cast<int>(p->Height);
  }
}

std::string ppFormatPaperSize(int width, int height) {
  return cls::IntToStr(width / 10) + " x " + cls::IntToStr(height / 10) + " mm";
}

// ---------------------------------------------------------------- capabilities

CLS_IMPLEMENT_CLASS(TppPrinterCapabilities)

void TppPrinterCapabilities::NormalisePapers() {
  // 1. Names follow the codes.
  if (PaperNames.Count() < PaperCodes.Count()) {
    PaperNames.Clear();
    for (int i = 0; i < PaperCodes.Count(); ++i) {
      int code = cls::StrToIntDef(PaperCodes[i], 0);
      std::string name = ppGetPaperName(code);
      if (name == "Unknown") {
        if (i < PaperWidths.Count() && i < PaperHeights.Count())
          name = ppFormatPaperSize(cls::StrToIntDef(PaperWidths[i], 0), cls::StrToIntDef(PaperHeights[i], 0));
        else
          name = "Unknown: " + PaperCodes[i];
      }
      PaperNames.Add(name);
    }
  } else {
    while (PaperNames.Count() > PaperCodes.Count()) PaperNames.Delete(PaperNames.Count() - 1);
  }
  // 2. The custom entry.
  int custom = PaperCodes.IndexOf("256");
  if (custom >= 0) {
    PaperNames.Put(custom, "Custom");
  } else {
    for (int i = 0; i < PaperNames.Count(); ++i) {
      std::string up = cp::UpperAscii(PaperNames[i]);
      if (up.find("CUSTOM") != std::string::npos || up.find("USER") != std::string::npos) {
        PaperNames.Put(i, "Custom");
        custom = i;
        break;
      }
    }
    if (custom < 0) {
      PaperNames.Add("Custom");
      PaperCodes.Add("256");
    }
  }
  // 3. Sizes from the table where the printer gave none.
  for (int i = 0; i < PaperCodes.Count(); ++i) {
    if (i < PaperWidths.Count() && i < PaperHeights.Count()) continue;
    int w, h;
    ppGetPaperSize(cls::StrToIntDef(PaperCodes[i], 0), w, h);
    if (i < PaperWidths.Count())
      PaperWidths.Put(i, cls::IntToStr(w));
    else
      PaperWidths.Add(cls::IntToStr(w));
    if (i < PaperHeights.Count())
      PaperHeights.Put(i, cls::IntToStr(h));
    else
      PaperHeights.Add(cls::IntToStr(h));
  }
  // 4. Papers without a size go, except "Custom".
  for (int i = PaperCodes.Count() - 1; i >= 0; --i) {
    if (PaperNames[i] == "Custom") continue;
    if (PaperWidths[i] == "0" || PaperHeights[i] == "0") {
      PaperNames.Delete(i);
      PaperCodes.Delete(i);
      PaperWidths.Delete(i);
      PaperHeights.Delete(i);
    }
  }
  // 5. "Custom" last.
  int c = PaperNames.IndexOf("Custom");
  if (c >= 0) {
    int last = PaperNames.Count() - 1;
    PaperNames.Move(c, last);
    PaperCodes.Move(c, last);
    PaperWidths.Move(c, last);
    PaperHeights.Move(c, last);
  }
}

void TppPrinterCapabilities::NormaliseBins() {
  while (BinNames.Count() > BinCodes.Count()) BinNames.Delete(BinNames.Count() - 1);
  while (BinCodes.Count() > BinNames.Count()) BinCodes.Delete(BinCodes.Count() - 1);
  if (BinNames.IndexOf("Default") < 0) {
    BinNames.Insert(0, "Default");
    BinCodes.Insert(0, "7");
  }
}
