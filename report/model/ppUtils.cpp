#include "report/model/ppUtils.h"

#include <cfenv>
#include <cmath>
#include <limits>

#include "platform/classes/typinfo.h"

namespace {

constexpr double K = static_cast<double>(ppInchesPerMM);

int32_t ToInt32(double v) {
  if (std::isnan(v)) return 0;
  if (v >= 2147483647.0) return std::numeric_limits<int32_t>::max();
  if (v <= -2147483648.0) return std::numeric_limits<int32_t>::min();
  return static_cast<int32_t>(v);
}

double ScreenPPI() { return cls::Screen().PixelsPerInch; }

double PrinterPPI(int direction, cls::TObject* printer) {
  if (auto* p = dynamic_cast<IppPrinterMetrics*>(printer)) {
    int x = 0, y = 0;
    p->GetPixelsPerInch(x, y);
    int v = direction == ppVertical ? y : x;
    if (v > 0) return v;
  }
  return ScreenPPI();
}

}  // namespace

double ppNint(double x) {
  // Halves to even regardless of the caller's rounding mode.
  double r = std::round(x);
  if (std::fabs(x - std::trunc(x)) == 0.5) r = 2.0 * std::round(x / 2.0);
  return r;
}

float ConvertFromMMThousandths(int32_t value, TppUnitType unit, int direction, cls::TObject* printer) {
  double v = value;
  switch (unit) {
    case utScreenPixels: return static_cast<float>(ppNint(v / 1000 * K * ScreenPPI()));
    case utInches: return static_cast<float>(ppNint(v / 1000 * K * 10000) / 10000);
    case utMillimeters: return static_cast<float>(v / 1000);
    case utPrinterPixels: return static_cast<float>(ppNint(v / 1000 * K * PrinterPPI(direction, printer)));
    case utMMThousandths: return static_cast<float>(value);
  }
  return 0;
}

int32_t ConvertToMMThousandths(float value, TppUnitType unit, int direction, cls::TObject* printer) {
  double v = value;
  switch (unit) {
    case utScreenPixels: return ToInt32(ppNint(v / ScreenPPI() / K * 1000));
    case utInches: return ToInt32(ppNint(v / K * 1000));
    case utMillimeters: return ToInt32(ppNint(v * 1000));
    case utPrinterPixels: return ToInt32(ppNint(v / PrinterPPI(direction, printer) / K * 1000));
    case utMMThousandths: return ToInt32(std::trunc(v));
  }
  return 0;
}

float ConvertFromScreenPixels(int32_t pixels, TppUnitType unit, int direction, cls::TObject* printer) {
  return ConvertFromMMThousandths(
      ConvertToMMThousandths(static_cast<float>(pixels), utScreenPixels, direction, printer), unit, direction,
      printer);
}

int32_t ConvertToScreenPixels(float value, TppUnitType unit, int direction, cls::TObject* printer) {
  return ToInt32(std::trunc(ConvertFromMMThousandths(ConvertToMMThousandths(value, unit, direction, printer),
                                                     utScreenPixels, direction, printer)));
}

float FromTenthsMM(int32_t value, TppUnitType unit, int direction, cls::TObject* printer) {
  int64_t th = static_cast<int64_t>(value) * 100;
  int32_t thousandths = ToInt32(static_cast<double>(th));
  switch (unit) {
    case utScreenPixels:
    case utPrinterPixels: return ConvertFromMMThousandths(thousandths, unit, direction, printer);
    case utInches:
      return ConvertFromScreenPixels(
          ConvertToScreenPixels(static_cast<float>(thousandths), utMMThousandths, direction, printer), utInches,
          direction, printer);
    case utMillimeters: return static_cast<float>(ppNint(static_cast<double>(value) / 10));
    case utMMThousandths: return static_cast<float>(thousandths);
  }
  return 0;
}

int32_t ToTenthsMM(float value, TppUnitType unit, int direction, cls::TObject* printer) {
  switch (unit) {
    case utScreenPixels:
    case utPrinterPixels: return ConvertToMMThousandths(value, unit, direction, printer) / 100;
    case utInches:
      return ToInt32(std::trunc(
          static_cast<double>(ConvertFromScreenPixels(ConvertToScreenPixels(value, utInches, direction, printer),
                                                      utMMThousandths, direction, printer)) /
          100));
    case utMillimeters: return ToInt32(ppNint(static_cast<double>(value) * 10));
    case utMMThousandths: return ToInt32(ppNint(static_cast<double>(value) / 100));
  }
  return 0;
}

std::string ppFixDecimalSeparator(const std::string& text) {
  std::string s = text;
  size_t dot = s.find('.');
  if (dot != std::string::npos) s[dot] = cls::FormatSettings().DecimalSeparator;
  return s;
}

void ListFromMMThousandths(cls::TStringList* list, TppUnitType unit, int direction, cls::TObject* printer) {
  if (!list) return;
  for (int i = 0; i < list->Count(); ++i) {
    int64_t v = cls::StrToInt(list->Strings(i));
    float f = ConvertFromMMThousandths(static_cast<int32_t>(v), unit, direction, printer);
    list->Put(i, cls::FloatToStrG(f, 7));
  }
}

void ListToMMThousandths(cls::TStringList* list, TppUnitType unit, int direction, cls::TObject* printer) {
  if (!list) return;
  for (int i = 0; i < list->Count(); ++i) {
    double v = cls::StrToFloat(ppFixDecimalSeparator(list->Strings(i)));
    list->Put(i, cls::IntToStr(ConvertToMMThousandths(static_cast<float>(v), unit, direction, printer)));
  }
}

// ---- TppPageDef ----

CLS_IMPLEMENT_CLASS(TppPageDef)

namespace {
struct PageDefUnit {
  PageDefUnit() {
    auto& c = TppPageDef::StaticClass();
    using P = TppPageDef;
    const cls::TTypeInfo* i = cls::TypeInfoInteger();
    cls::PublishProperty(c, cls::OrdProperty<P, int32_t>("mmHeight", i, &P::mmHeight, &P::SetmmHeight));
    cls::PublishProperty(c, cls::OrdProperty<P, int32_t>("mmWidth", i, &P::mmWidth, &P::SetmmWidth));
    cls::PublishProperty(c, cls::OrdProperty<P, int32_t>("mmMarginLeft", i, &P::mmMarginLeft, &P::SetmmMarginLeft));
    cls::PublishProperty(c,
                         cls::OrdProperty<P, int32_t>("mmMarginRight", i, &P::mmMarginRight, &P::SetmmMarginRight));
    cls::PublishProperty(c, cls::OrdProperty<P, int32_t>("mmMarginTop", i, &P::mmMarginTop, &P::SetmmMarginTop));
    cls::PublishProperty(
        c, cls::OrdProperty<P, int32_t>("mmMarginBottom", i, &P::mmMarginBottom, &P::SetmmMarginBottom));
  }
} g_pageDefUnit;
}  // namespace

TppPageDef::TppPageDef() = default;

void TppPageDef::Assign(cls::TPersistent* source) {
  if (auto* o = cls::ObjectAs<TppPageDef>(source)) {
    mmHeight_ = o->mmHeight_;
    mmWidth_ = o->mmWidth_;
    mmMarginLeft_ = o->mmMarginLeft_;
    mmMarginRight_ = o->mmMarginRight_;
    mmMarginTop_ = o->mmMarginTop_;
    mmMarginBottom_ = o->mmMarginBottom_;
    return;
  }
  inherited::Assign(source);
}

TppRect TppPageDef::GetPrintableRect() const {
  return TppRect{mmMarginLeft_, mmMarginTop_, mmWidth_ - mmMarginRight_, mmHeight_ - mmMarginBottom_};
}
int32_t TppPageDef::GetPrintableWidth() const { return mmWidth_ - (mmMarginLeft_ + mmMarginRight_); }
int32_t TppPageDef::GetPrintableHeight() const { return mmHeight_ - (mmMarginTop_ + mmMarginBottom_); }
bool TppPageDef::IsEqual(const TppPageDef* o) const {
  return o && mmHeight_ == o->mmHeight_ && mmWidth_ == o->mmWidth_ && mmMarginLeft_ == o->mmMarginLeft_ &&
         mmMarginRight_ == o->mmMarginRight_ && mmMarginTop_ == o->mmMarginTop_ &&
         mmMarginBottom_ == o->mmMarginBottom_;
}
int32_t TppPageDef::spWidth() const {
  return static_cast<int32_t>(ConvertFromMMThousandths(mmWidth_, utScreenPixels, ppHorizontal));
}
int32_t TppPageDef::spHeight() const {
  return static_cast<int32_t>(ConvertFromMMThousandths(mmHeight_, utScreenPixels, ppVertical));
}
int32_t TppPageDef::spPrintableWidth() const {
  return static_cast<int32_t>(ConvertFromMMThousandths(GetPrintableWidth(), utScreenPixels, ppHorizontal));
}
