// The bar-code draw command: encoding for the device at hand, sizing, and
// painting through its symbology's hooks in any of four orientations.
#include <algorithm>
#include <cfloat>
#include <cmath>

#include "platform/gdi/engine.h"
#include "platform/ui/dialogs.h"
#include "report/model/ppResMgr.h"
#include "report/model/ppUtils.h"
#include "report/output/ppDrwCmd.h"
#include "report/output/ppDrwCmdProps.h"
#include "report/output/ppPrnDev.h"

CLS_IMPLEMENT_COMPONENT(TppDrawBarCode)

using namespace ppBarCode;

namespace {

// Font sizes the fit starts from at most (a height from a stream may be
// any number).
constexpr int kMaxFontSize = 1000;

// A symbol's own coordinates mapped onto a canvas: (X0, Y0) is the corner
// of its extent W x H on the canvas (W, H swapped for the vertical
// orientations). Rectangles come out with left <= right, top <= bottom.
class CanvasSurface : public TppBarCodeSurface {
 public:
  CanvasSurface(gdi::TCanvas& canvas, TppBarCodeOrientation orientation, gdi::TColor color, gdi::TColor barColor)
      : canvas_(canvas), orientation_(orientation), color_(color), barColor_(barColor) {}

  void Place(int x0, int y0, int w, int h) { x0_ = x0, y0_ = y0, w_ = w, h_ = h; }

  void FillBackground(int l, int t, int r, int b) override { Fill(l, t, r, b, color_); }
  void FillBar(int l, int t, int r, int b) override { Fill(l, t, r, b, barColor_); }

  // Turned with the symbol; the brush is clear for the call.
  void Text(int x, int y, const std::string& text) override {
    if (text.empty()) return;
    int px = x0_ + x, py = y0_ + y, angle = 0;
    switch (orientation_) {
      case orLeftToRight: break;
      case orRightToLeft: px = x0_ + w_ - x, py = y0_ + h_ - y, angle = 180; break;
      case orTopToBottom: px = x0_ + w_ - y, py = y0_ + x, angle = 270; break;
      case orBottomToTop: px = x0_ + y, py = y0_ + h_ - x, angle = 90; break;
    }
    gdi::TBrushStyle style = canvas_.Brush.Style;
    int turned = canvas_.Font.Orientation();
    canvas_.Brush.Style = gdi::TBrushStyle::bsClear;
    canvas_.Font.SetOrientation(angle * 10);
    canvas_.TextOut(px, py, text);
    canvas_.Font.SetOrientation(turned);
    canvas_.Brush.Style = style;
  }
  int TextWidth(const std::string& text) override { return canvas_.TextWidth(text); }
  int TextHeight(const std::string& text) override { return canvas_.TextHeight(text); }

 private:
  void Fill(int l, int t, int r, int b, gdi::TColor color) {
    win::RECT rc{};
    switch (orientation_) {
      case orLeftToRight: rc = {x0_ + l, y0_ + t, x0_ + r, y0_ + b}; break;
      case orRightToLeft: rc = {x0_ + w_ - r, y0_ + h_ - b, x0_ + w_ - l, y0_ + h_ - t}; break;
      case orTopToBottom: rc = {x0_ + w_ - b, y0_ + l, x0_ + w_ - t, y0_ + r}; break;
      case orBottomToTop: rc = {x0_ + t, y0_ + h_ - r, x0_ + b, y0_ + h_ - l}; break;
    }
    if (rc.right <= rc.left || rc.bottom <= rc.top) return;
    canvas_.Brush.Color = color;
    canvas_.Brush.Style = gdi::TBrushStyle::bsSolid;
    canvas_.FillRect(rc);
  }

  gdi::TCanvas& canvas_;
  TppBarCodeOrientation orientation_;
  gdi::TColor color_, barColor_;
  int x0_ = 0, y0_ = 0, w_ = 0, h_ = 0;
};

}  // namespace

TppDrawBarCode::TppDrawBarCode(cls::TComponent* owner) : TppDrawCommand(owner) {}

void TppDrawBarCode::Assign(cls::TPersistent* source) {
  inherited::Assign(source);
  auto* from = cls::ObjectAs<TppDrawBarCode>(source);
  if (!from || from == this) return;
  data_ = from->data_;
  autoSize_ = from->autoSize_;
  autoSizeFont_ = from->autoSizeFont_;
  barColor_ = from->barColor_;
  bearerBars_ = from->bearerBars_;
  color_ = from->color_;
  SetFont(&from->font_);
  orientation_ = from->orientation_;
  printHumanReadable_ = from->printHumanReadable_;
  transparent_ = from->transparent_;
}

void TppDrawBarCode::SetFont(const gdi::TFont* font) {
  if (font && font != &font_) font_.Assign(*font);
}

bool TppDrawBarCode::Draw(TppDevice* device) {
  if (auto* printer = cls::ObjectAs<TppPrinterDevice>(device)) return DrawToPrinter(printer);
  if (auto* screen = dynamic_cast<IppScreenDrawing*>(device)) return DrawToScreen(screen);
  return false;
}

void TppDrawBarCode::Encode(int ppiX, int ppiY) {
  int along = Vertical() ? ppiY : ppiX, message = 0;
  EncodeBarCode(data_, along, barPattern_, message);
  ShowEncodeError(message);
  EncodeAddOn(data_, along, addOnPattern_, message);
  ShowEncodeError(message);
}

void TppDrawBarCode::ShowEncodeError(int message) {
  if (message > 0 && !printing_)
    ui::MessageDlg(FormatLanguageString(message, {cls::TVarRec(data_.MessageArg)}), ui::TMsgDlgType::mtInformation,
                   ui::mbOK);
}

bool TppDrawBarCode::DrawToPrinter(TppPrinterDevice* device) {
  if (!device) return false;
  cls::TFlagScope printing(printing_);
  int x = 0, y = 0;
  device->Printer()->GetPixelsPerInch(x, y);
  device->CalcDeviceRect(this);
  Encode(x, y);
  PaintBars(device->Canvas(), DrawLeft(), true, x, y, DrawTop());
  return true;
}

bool TppDrawBarCode::DrawToScreen(IppScreenDrawing* screen) {
  if (!screen) return false;
  gdi::TCanvas* canvas = screen->ScreenCanvas();
  if (!canvas) return true;
  int ppi = cls::Screen().PixelsPerInch;
  Encode(ppi, ppi);
  PaintBars(canvas, 0, false, ppi, ppi, 0);
  int w = PixelWidth(), h = PixelHeight();
  if (Vertical()) std::swap(w, h);
  SetDrawRect(MakeRect(0, 0, w, h));
  // A symbol sized from a stream may be of any size: no bitmap beyond what
  // a picture may have.
  if (w <= 0 || h <= 0 || w > gdi::RasterEngine::kMaxSide || h > gdi::RasterEngine::kMaxSide ||
      static_cast<int64_t>(w) * h > TppDrawImage::kMaxBitmapPixels)
    return true;
  gdi::TBitmap bitmap;
  bitmap.SetSize(w, h);
  PaintBars(&bitmap.Canvas(), 0, true, ppi, ppi, 0);
  screen->CalcDeviceRect(this);
  TppRect r = GetDrawRect();
  canvas->CopyMode = transparent_ ? win::SRCAND : win::SRCCOPY;
  canvas->StretchDraw(win::RECT{r.Left, r.Top, r.Right, r.Bottom}, bitmap);
  return true;
}

void TppDrawBarCode::CalcSize(TppCustomPrinter* printer) {
  if (!printer) printer = ppGetGlobalPrinter();
  gdi::TCanvas* canvas = printer ? printer->GetCanvas() : nullptr;
  if (canvas && !canvas->Handle()) canvas = nullptr;
  int x = cls::Screen().PixelsPerInch, y = x;
  TppUnitType unit = utScreenPixels;
  gdi::TBitmap bitmap;
  if (canvas) {
    printer->GetPixelsPerInch(x, y);
    unit = utPrinterPixels;
  } else {
    printer = nullptr;
    bitmap.SetSize(1, 1);
    canvas = &bitmap.Canvas();
  }
  Encode(x, y);
  PaintBars(canvas, 0, false, x, y, 0);
  int w = PixelWidth(), h = PixelHeight();
  if (Vertical()) std::swap(w, h);
  SetWidth(ConvertToMMThousandths(static_cast<float>(w), unit, ppHorizontal, printer));
  SetHeight(ConvertToMMThousandths(static_cast<float>(h), unit, ppVertical, printer));
}

void TppDrawBarCode::PaintToCanvas(gdi::TCanvas* canvas) {
  if (!canvas || !canvas->Handle()) return;
  int x = win::GetDeviceCaps(canvas->Handle(), win::LOGPIXELSX);
  int y = win::GetDeviceCaps(canvas->Handle(), win::LOGPIXELSY);
  Encode(x, y);
  PaintBars(canvas, 0, true, x, y, 0);
}

void TppDrawBarCode::FitFont(gdi::TCanvas& canvas, TppBarCodeSurface& surface, const TppSymbology& symbology) {
  TppBarCodeGeometry& g = geometry_;
  canvas.Font.Assign(font_);
  int across = std::max(1, g.PpiAcross);
  int screen = Pixels(static_cast<double>(g.PixelHeight) * cls::Screen().PixelsPerInch / across);
  int start = symbology.FontStart ? symbology.FontStart(screen) : Pixels(screen * symbology.FontFactor);
  int size = std::clamp(start, 1, kMaxFontSize);
  canvas.Font.SetSize(size);
  while (size > 1 && symbology.FontTooWide(surface, g, data_)) canvas.Font.SetSize(--size);
  font_.Assign(canvas.Font);
}

void TppDrawBarCode::PaintBars(gdi::TCanvas* canvas, int left, bool paint, int ppiX, int ppiY, int top) {
  if (!canvas) return;
  const TppSymbology* symbology = Symbology(data_.BarCodeType);
  TppBarCodeGeometry& g = geometry_;
  g = TppBarCodeGeometry{};
  const bool vertical = Vertical();
  g.BarWidth = data_.BarWidth;
  g.BarWidthInches = BarWidthInches(data_.BarWidth);
  g.PpiAlong = vertical ? ppiY : ppiX;
  g.PpiAcross = vertical ? ppiX : ppiY;
  g.ModuleWidth = ModuleColumns(g.BarWidthInches, g.PpiAlong);
  g.Columns = static_cast<int>(barPattern_.size());
  g.AddOnColumns = static_cast<int>(addOnPattern_.size());
  // 2. Width.
  g.QuietZone = symbology ? symbology->QuietZone(g) : 0;
  double width = g.Columns + 2.0 * g.QuietZone;
  if (g.AddOnColumns > 0) width += g.AddOnColumns + 9.0 * g.ModuleWidth;
  g.PixelWidth = Pixels(width);
  // 3. Height.
  if (autoSize_) {
    g.PixelHeight = std::max(5, symbology ? symbology->BarHeight(g) : 0);
  } else {
    float inches = ConvertFromMMThousandths(vertical ? Width() : Height(), utInches);
    g.PixelHeight = Pixels(static_cast<double>(inches) * g.PpiAcross);
  }
  // 4. Font.
  CanvasSurface surface(*canvas, orientation_, color_, barColor_);
  if (autoSizeFont_ && data_.CodeOK && symbology && symbology->FontTooWide) FitFont(*canvas, surface, *symbology);
  else canvas->Font.Assign(font_);
  // 5. The bars' height.
  g.BarHeight = g.PixelHeight;
  if (printHumanReadable_) {
    int text = canvas->TextHeight("0");
    if (autoSize_) g.PixelHeight = Pixels(static_cast<double>(g.PixelHeight) + text);
    else g.BarHeight = std::max(0, g.PixelHeight - text);
  }
  if (!paint) return;
  // 7. Background.
  if (vertical) surface.Place(left, top, g.PixelHeight, g.PixelWidth);
  else surface.Place(left, top, g.PixelWidth, g.PixelHeight);
  if (!transparent_) surface.FillBackground(0, 0, g.PixelWidth, g.PixelHeight);
  if (!data_.CodeOK) return;
  // 9. Pen, font and brush in the bar colour.
  canvas->Pen.Width = 1;
  canvas->Pen.Style = gdi::TPenStyle::psSolid;
  canvas->Pen.Color = barColor_;
  canvas->Font.SetColor(barColor_);
  // 10. Bars, run by run from the end of the quiet zone.
  const int m = g.ModuleWidth, bh = g.BarHeight;
  g.BarLength = bh;
  if (symbology && symbology->GuardsIntoText) g.BarLength = bh - m + (g.PixelHeight - bh) / 2;
  // Two heights (POSTNET): '2' tall, '1' at 0.4 of it, on the same bottom.
  const bool twoHeights = symbology && symbology->TallAndShortBars;
  const int shortTop = bh - Pixels(0.4 * bh);
  int x = g.QuietZone;
  for (size_t i = 0; i < barPattern_.size();) {
    size_t j = i;
    while (j < barPattern_.size() && barPattern_[j] == barPattern_[i]) ++j;
    int run = static_cast<int>(j - i);
    char c = barPattern_[i];
    if (c != '0' && x <= g.PixelWidth) {
      if (!twoHeights) surface.FillBar(x, 0, x + run, g.BarLength);
      else surface.FillBar(x, c == '2' ? 0 : shortTop, x + run, bh);
    }
    x += run;
    i = j;
  }
  // 12. Bearer bars.
  if (bearerBars_) {
    surface.FillBar(0, 0, g.PixelWidth, 3 * m);
    surface.FillBar(0, bh - 3 * m, g.PixelWidth, bh);
  }
  // 13, 14. Text and add-on.
  if (printHumanReadable_ && symbology && symbology->DrawText) symbology->DrawText(surface, g, data_);
  if (!addOnPattern_.empty() && symbology && symbology->DrawAddOn)
    symbology->DrawAddOn(surface, g, data_, addOnPattern_, printHumanReadable_);
  canvas->Brush.Color = color_;
}

// ---- registration ----

void ppDrwCmdProps::PublishBarCode() {
  using D = TppDrawBarCode;
  auto& c = D::StaticClass();
  static const cls::TTypeInfo* font = cls::MakeClassTypeInfo("TFont", &gdi::TFont::StaticClass());
  auto on = [](cls::TPropInfo p) {
    p.Default = 1;
    return p;
  };
  // A byte from a stream: types above bcMSI are kept and draw no bars.
  cls::TPropInfo type = cls::OrdProperty("BarCodeType", cls::EnumTypeInfo<TppBarCodeType>(), &D::BarCodeType,
                                         &D::SetBarCodeType);
  type.SetOrd = [](cls::TObject* o, int64_t v) {
    if (v >= 0 && v <= 255) static_cast<D*>(o)->SetBarCodeType(static_cast<TppBarCodeType>(v));
  };
  cls::PublishProperty(c, type);
  cls::PublishProperty(c, cls::StrProperty<D>("Data", &D::Data, &D::SetData));
  cls::PublishProperty(c, cls::StrProperty<D>("AddOnCode", &D::AddOnCode, &D::SetAddOnCode));
  cls::PublishProperty(c, Bool("AutoEncode", &D::AutoEncode, &D::SetAutoEncode));
  cls::PublishProperty(c, on(Bool("AutoSize", &D::AutoSize, &D::SetAutoSize)));
  cls::PublishProperty(c, on(Bool("AutoSizeFont", &D::AutoSizeFont, &D::SetAutoSizeFont)));
  cls::PublishProperty(c, cls::OrdProperty("BarColor", cls::TypeInfoInteger(), &D::BarColor, &D::SetBarColor));
  cls::PublishProperty(c, cls::OrdProperty("BarWidth", cls::TypeInfoInteger(), &D::BarWidth, &D::SetBarWidth));
  cls::PublishProperty(c, Bool("BearerBars", &D::BearerBars, &D::SetBearerBars));
  cls::PublishProperty(c, on(Bool("CalcCheckDigit", &D::CalcCheckDigit, &D::SetCalcCheckDigit)));
  cls::PublishProperty(c, on(Bool("CodeOK", &D::CodeOK, &D::SetCodeOK)));
  cls::PublishProperty(c, cls::OrdProperty("Color", cls::TypeInfoInteger(), &D::Color, &D::SetColor));
  cls::TPropInfo f;
  f.Name = "Font";
  f.Type = font;
  f.GetObj = [](cls::TObject* o) -> cls::TObject* { return static_cast<D*>(o)->Font(); };
  f.SetObj = [](cls::TObject* o, cls::TObject* v) { static_cast<D*>(o)->SetFont(cls::ObjectAs<gdi::TFont>(v)); };
  cls::PublishProperty(c, f);
  cls::PublishProperty(c, Enum("Alignment", &D::Alignment, &D::SetAlignment, cls::taLeftJustify));
  cls::PublishProperty(c, Enum("Orientation", &D::Orientation, &D::SetOrientation, orLeftToRight));
  cls::PublishProperty(c, on(Bool("PrintHumanReadable", &D::PrintHumanReadable, &D::SetPrintHumanReadable)));
  cls::PublishProperty(c, Bool("Transparent", &D::Transparent, &D::SetTransparent));
  cls::TPropInfo ratio = cls::FloatProperty("WideBarRatio", &D::WideBarRatio, &D::SetWideBarRatio);
  // A stream's double is brought into single range first.
  ratio.SetFloat = [](cls::TObject* o, double v) {
    if (!std::isnan(v)) v = std::clamp(v, -static_cast<double>(FLT_MAX), static_cast<double>(FLT_MAX));
    static_cast<D*>(o)->SetWideBarRatio(static_cast<float>(v));
  };
  cls::PublishProperty(c, ratio);
}
