// Units of length and their conversions, page geometry, and the library's
// small shared routines.
#pragma once
#include <cstdint>
#include <string>

#include "platform/classes/classes.h"
#include "report/model/ppIntf.h"
#include "report/model/ppTypes.h"

// Inches per millimetre, as a single-precision constant.
constexpr float ppInchesPerMM = 0.03937f;

// Direction of a conversion: 1 is vertical, anything else horizontal. It
// matters only for printer pixels.
constexpr int ppHorizontal = 0;
constexpr int ppVertical = 1;

// The nearest integer, halves to the even neighbour.
double ppNint(double x);

// PRINTER counts only when it is a printer (IppPrinterMetrics) and only for
// utPrinterPixels; the screen's pixels per inch stand in otherwise.
float ConvertFromMMThousandths(int32_t value, TppUnitType unit, int direction = ppHorizontal,
                               cls::TObject* printer = nullptr);
int32_t ConvertToMMThousandths(float value, TppUnitType unit, int direction = ppHorizontal,
                               cls::TObject* printer = nullptr);
float ConvertFromScreenPixels(int32_t pixels, TppUnitType unit, int direction = ppHorizontal,
                              cls::TObject* printer = nullptr);
int32_t ConvertToScreenPixels(float value, TppUnitType unit, int direction = ppHorizontal,
                              cls::TObject* printer = nullptr);
// Tenths of a millimetre (printer driver sizes).
float FromTenthsMM(int32_t value, TppUnitType unit, int direction = ppHorizontal, cls::TObject* printer = nullptr);
int32_t ToTenthsMM(float value, TppUnitType unit, int direction = ppHorizontal, cls::TObject* printer = nullptr);
// Every entry of a list of numbers, in place: thousandths to float text in
// the unit (7 significant digits), or float text in the unit to thousandths.
// A text that is no number raises EConvertError.
void ListFromMMThousandths(cls::TStringList* list, TppUnitType unit, int direction = ppHorizontal,
                           cls::TObject* printer = nullptr);
void ListToMMThousandths(cls::TStringList* list, TppUnitType unit, int direction = ppHorizontal,
                         cls::TObject* printer = nullptr);
// The first "." of the text becomes the system's decimal separator.
std::string ppFixDecimalSeparator(const std::string& text);

struct TppRect {
  int32_t Left = 0, Top = 0, Right = 0, Bottom = 0;
  bool operator==(const TppRect& o) const {
    return Left == o.Left && Top == o.Top && Right == o.Right && Bottom == o.Bottom;
  }
};

// A page's geometry in thousandths of a millimetre.
class TppPageDef : public cls::TPersistent {
  CLS_DECLARE_CLASS(TppPageDef, cls::TPersistent)
 public:
  TppPageDef();
  void Assign(cls::TPersistent* source) override;

  int32_t mmHeight() const { return mmHeight_; }
  int32_t mmWidth() const { return mmWidth_; }
  int32_t mmMarginLeft() const { return mmMarginLeft_; }
  int32_t mmMarginRight() const { return mmMarginRight_; }
  int32_t mmMarginTop() const { return mmMarginTop_; }
  int32_t mmMarginBottom() const { return mmMarginBottom_; }
  void SetmmHeight(int32_t v) { mmHeight_ = v; }
  void SetmmWidth(int32_t v) { mmWidth_ = v; }
  void SetmmMarginLeft(int32_t v) { mmMarginLeft_ = v; }
  void SetmmMarginRight(int32_t v) { mmMarginRight_ = v; }
  void SetmmMarginTop(int32_t v) { mmMarginTop_ = v; }
  void SetmmMarginBottom(int32_t v) { mmMarginBottom_ = v; }

  TppRect GetPrintableRect() const;
  int32_t GetPrintableWidth() const;
  int32_t GetPrintableHeight() const;
  bool IsEqual(const TppPageDef* other) const;
  int32_t spWidth() const;
  int32_t spHeight() const;
  int32_t spPrintableWidth() const;

 private:
  int32_t mmHeight_ = 0, mmWidth_ = 0, mmMarginLeft_ = 0, mmMarginRight_ = 0, mmMarginTop_ = 0,
          mmMarginBottom_ = 0;
};
