// The drawing of text, lines, shapes and pictures on a raster device's
// canvas, in device pixels of a TppDeviceScale.
#include <algorithm>
#include <cmath>

#include "platform/gdi/engine.h"
#include "report/model/ppUtilsDraw.h"
#include "report/output/ppDrwCmd.h"
#include "report/output/ppPlainText.h"
#include "report/output/ppPrnDev.h"

namespace {

win::RECT ToRect(const TppRect& r) { return win::RECT{r.Left, r.Top, r.Right, r.Bottom}; }

int Nint(double v) { return static_cast<int>(ppNint(v)); }

// The page's size in device pixels; without a page, the canvas's. Never
// more than an image can have.
win::SIZE PageExtent(gdi::TCanvas& canvas, const TppDeviceScale& scale, const TppDrawCommand* command) {
  win::SIZE s;
  if (TppPage* page = command->Page()) {
    s.cx = scale.Zoom(scale.ToPixels(page->PageDef()->mmWidth(), ppHorizontal), ppHorizontal);
    s.cy = scale.Zoom(scale.ToPixels(page->PageDef()->mmHeight(), ppVertical), ppVertical);
  } else {
    win::RECT clip = canvas.ClipRect();
    s.cx = clip.right - clip.left;
    s.cy = clip.bottom - clip.top;
  }
  s.cx = std::clamp(s.cx, 1, gdi::RasterEngine::kMaxSide);
  s.cy = std::clamp(s.cy, 1, gdi::RasterEngine::kMaxSide);
  return s;
}

bool Empty(const TppRect& r) { return r.Right <= r.Left || r.Bottom <= r.Top; }

// One step smaller in magnitude.
int SmallerHeight(int height) { return height < 0 ? height + 1 : height - 1; }

// The screen's fitting of a memo's lines into rectangle R: each line wider
// than R makes the font smaller (while its height's magnitude stays at
// least 2); then a line height within 10 % of the even share of R takes
// it, else the leading and then the font shrink until the lines fit or the
// font reaches 2. Answers the line height and how many lines fit.
int FitMemoLines(gdi::TCanvas& canvas, const std::vector<std::string>& lines, const TppRect& r, int& leading,
                 size_t& fitting) {
  auto metrics = [&canvas, &leading] {
    canvas.RequireState();
    win::TEXTMETRICA tm{};
    win::GetTextMetricsA(canvas.Handle(), &tm);
    return tm.tmHeight + leading;
  };
  const int width = r.Right - r.Left, height = r.Bottom - r.Top;
  for (const std::string& line : lines)
    while (canvas.TextWidth(line) > width && std::abs(SmallerHeight(canvas.Font.Height())) >= 2)
      canvas.Font.SetHeight(SmallerHeight(canvas.Font.Height()));
  int lineHeight = metrics();
  const int n = static_cast<int>(lines.size());
  const int ideal = Nint(double(height) / n);
  if (std::abs(lineHeight - ideal) <= 0.1 * lineHeight) {
    lineHeight = ideal;
  } else {
    while (lineHeight > height / n && std::abs(canvas.Font.Height()) >= 2) {
      if (leading > 0) --leading;
      else canvas.Font.SetHeight(SmallerHeight(canvas.Font.Height()));
      lineHeight = metrics();
    }
  }
  fitting = lineHeight > 0 ? static_cast<size_t>(std::max(0, height / lineHeight)) : lines.size();
  return lineHeight;
}

std::string TrimBlanks(const std::string& s) {
  size_t a = s.find_first_not_of(' '), b = s.find_last_not_of(' ');
  return a == std::string::npos ? std::string() : s.substr(a, b - a + 1);
}

}  // namespace

namespace ppRasterDraw {

void DrawText(gdi::TCanvas& canvas, const TppDeviceScale& scale, TppDrawText* command) {
  if (!command) return;
  // 1. Tab stops of memos in device pixels.
  TppTabPositions tabs{};
  int tabCount = 0;
  if (command->IsMemo() && command->TabStopPositions()->Count() > 0) {
    TppPlainText::ConvertTabStops(utPrinterPixels, command->TabStopPositions(), const_cast<TppDeviceScale*>(&scale),
                                  tabCount, tabs);
    for (int i = 0; i < tabCount && scale.Zoomed(); ++i) tabs[static_cast<size_t>(i)] = scale.Zoom(tabs[i], ppHorizontal);
  }
  // 2. The font, unless the canvas has it already; zoomed, under its
  // TrueType name and scaled.
  if (!canvas.Font.Equals(*command->Font())) canvas.Font.Assign(*command->Font());
  if (scale.Zoomed()) {
    canvas.Font.SetName(GetTrueTypeFontName(canvas.Font.Name()));
    int height = scale.Zoom(command->Font()->Height(), ppVertical);
    canvas.Font.SetHeight(height == 0 ? -1 : height);
  }
  canvas.RequireState();
  win::HDC dc = canvas.Handle();
  if (!dc) return;
  // 3. The line height.
  win::TEXTMETRICA tm{};
  win::GetTextMetricsA(dc, &tm);
  int leading = command->IsMemo() ? scale.ToPixels(command->Leading(), ppVertical) : tm.tmExternalLeading;
  int lineHeight = tm.tmHeight + leading;
  // 4. The rectangle; one line high at least when sized to a single line.
  TppRect r = command->GetDrawRect();
  if (command->AutoSize() && !command->WordWrap() && !command->Text().empty())
    r.Bottom = std::max(r.Bottom, r.Top + lineHeight);
  // 5. The lines.
  std::vector<std::string> lines;
  if (command->WordWrap()) {
    for (int i = 0; i < command->WrappedText()->Count(); ++i) lines.push_back(command->WrappedText()->Strings(i));
  } else if (!command->Text().empty()) {
    lines.push_back(command->Text());
  }
  std::string marker = TppTextMarkups::EndOfParagraph();
  auto printable = [&](const std::string& line) {
    std::string out;
    TppPlainText::RemoveAll(line, marker, out);
    return out;
  };
  // 6. Sized to the widest line, anchored by the alignment.
  if (command->AutoSize()) {
    int widest = 0;
    for (const std::string& line : lines)
      widest = std::max(widest, TppPlainText::GetTabbedTextWidth(canvas, printable(line), tabs, tabCount));
    switch (command->Alignment()) {
      case cls::taLeftJustify:
        r.Right = r.Left + widest;
        break;
      case cls::taRightJustify:
        r.Left = r.Right - widest;
        break;
      case cls::taCenter:
        r.Left += Nint((r.Right - r.Left - widest) / 2.0);
        r.Right = r.Left + widest;
        break;
    }
  }
  if (Empty(r)) return;
  // Zoomed memos are fitted into their rectangle.
  size_t drawn = lines.size();
  if (scale.Zoomed() && command->IsMemo() && lines.size() > 1) {
    std::vector<std::string> measured;
    for (const std::string& line : lines) measured.push_back(printable(line));
    lineHeight = FitMemoLines(canvas, measured, r, leading, drawn);
    if (canvas.Font.Height() == 0) canvas.Font.SetHeight(-1);
  }
  // 7. The background.
  if (!command->Transparent()) {
    canvas.Brush.Style = gdi::TBrushStyle::bsSolid;
    canvas.Brush.Color = command->Color();
    canvas.FillRect(ToRect(r));
  }
  canvas.Brush.Style = gdi::TBrushStyle::bsClear;
  // Memo lines go straight to the context: it takes the clear brush now, so
  // that they are drawn without a background of their own.
  canvas.RequireState();
  // 8, 9. The lines.
  bool justified = false;
  win::RECT whole = ToRect(r);
  for (size_t i = 0; i < std::min(drawn, lines.size()); ++i) {
    int top = r.Top + static_cast<int>(i) * lineHeight;
    bool endsParagraph = TppTextMarkups::HasEndOfParagraph(lines[i]);
    std::string line = printable(lines[i]);
    int x = r.Left;
    switch (command->TextAlignment()) {
      case taLeftJustified:
        break;
      case taRightJustified:
        x = r.Right - TppPlainText::GetTabbedTextWidth(canvas, line, tabs, tabCount);
        break;
      case taCentered:
        x = r.Left + Nint((r.Right - r.Left - TppPlainText::GetTabbedTextWidth(canvas, line, tabs, tabCount)) / 2.0 -
                          0.5);
        break;
      case taFullJustified: {
        bool blankInside = TrimBlanks(line).find(' ') != std::string::npos;
        bool keep = endsParagraph && (!command->ForceJustifyLastLine() || !blankInside);
        if (!keep) {
          TppPlainText::JustifyLine(canvas, whole, tabs, tabCount, line);
          justified = true;
        } else {
          win::SetTextJustification(dc, 0, 0);
        }
        break;
      }
    }
    if (command->IsMemo()) {
      win::TabbedTextOutA(dc, x, top, line.data(), static_cast<int>(line.size()), tabCount,
                          tabCount ? tabs.data() : nullptr, x);
    } else {
      canvas.TextRect(win::RECT{r.Left, top, r.Right, r.Bottom}, x, top, line);
    }
  }
  // 10.
  if (justified) win::SetTextJustification(dc, 0, 0);
  if (command->AutoSize()) {
    TppRect drawn = command->GetDrawRect();
    drawn.Left = r.Left;
    drawn.Right = r.Right;
    drawn.Bottom = drawn.Top + static_cast<int>(lines.size()) * lineHeight;
    command->SetDrawRect(drawn);
  }
}

void DrawLine(gdi::TCanvas& canvas, const TppDeviceScale& scale, TppDrawLine* command) {
  if (!command) return;
  TppRect r = command->GetDrawRect();
  TppLinePositionType position = command->LinePosition();
  bool horizontal = position == lpTop || position == lpBottom;
  if (horizontal ? r.Right <= r.Left : r.Bottom <= r.Top) return;
  // The thickness: at least a pixel, at most the page.
  win::SIZE page = PageExtent(canvas, scale, command);
  int limit = horizontal ? page.cy : page.cx;
  double ppi = horizontal ? scale.PixelsPerInchY() : scale.PixelsPerInchX();
  double weight = command->Weight();
  int t = 1;
  if (std::isfinite(weight) && weight > 0)
    t = std::clamp(Nint(std::min(ppi * weight / 72 * scale.ZoomX(), double(limit))), 1, limit);
  canvas.Pen.Assign(*command->Pen());
  canvas.Pen.Width = 1;
  // One band of T one-pixel lines, OFFSET pixels in from the edge.
  auto band = [&](int offset) {
    for (int i = 0; i < t; ++i) {
      int d = offset + i;
      switch (position) {
        case lpTop:
          canvas.MoveTo(r.Left, r.Top + d);
          canvas.LineTo(r.Right - 1, r.Top + d);
          break;
        case lpBottom:
          canvas.MoveTo(r.Left, r.Bottom - 1 - d);
          canvas.LineTo(r.Right - 1, r.Bottom - 1 - d);
          break;
        case lpLeft:
          canvas.MoveTo(r.Left + d, r.Top);
          canvas.LineTo(r.Left + d, r.Bottom - 1);
          break;
        case lpRight:
          canvas.MoveTo(r.Right - 1 - d, r.Top);
          canvas.LineTo(r.Right - 1 - d, r.Bottom - 1);
          break;
      }
    }
  };
  band(0);
  if (command->LineStyle() == lsDouble) {
    int offset = command->Pen()->Width != 0 ? 2 * t
                                            : scale.FromScreenPixels(2, horizontal ? ppVertical : ppHorizontal);
    band(std::min(offset, limit));
  }
}

void DrawShape(gdi::TCanvas& canvas, const TppDeviceScale& scale, TppDrawShape* command) {
  if (!command) return;
  TppRect r = command->GetDrawRect();
  if (Empty(r)) return;
  canvas.Pen.Assign(*command->Pen());
  canvas.Brush.Assign(*command->Brush());
  int width = command->Pen()->Width;
  win::SIZE page = PageExtent(canvas, scale, command);
  canvas.Pen.Width =
      width == 0 ? 1 : std::clamp(scale.Zoom(scale.FromScreenPixels(width, ppHorizontal), ppHorizontal), 1, page.cx);
  switch (command->ShapeType()) {
    case TShapeType::stRectangle:
      if (canvas.Brush.Style == gdi::TBrushStyle::bsClear)
        canvas.Polyline({{r.Left, r.Top}, {r.Right, r.Top}, {r.Right, r.Bottom}, {r.Left, r.Bottom}, {r.Left, r.Top}});
      else
        canvas.Rectangle(r.Left, r.Top, r.Right, r.Bottom);
      break;
    case TShapeType::stRoundRect:
      canvas.RoundRect(r.Left, r.Top, r.Right, r.Bottom,
                       scale.Zoom(scale.ToPixels(command->XCornerRound(), ppHorizontal), ppHorizontal),
                       scale.Zoom(scale.ToPixels(command->YCornerRound(), ppVertical), ppVertical));
      break;
    case TShapeType::stEllipse:
      canvas.Ellipse(r.Left, r.Top, r.Right, r.Bottom);
      break;
    default:
      break;  // the other shapes are not drawn on a device
  }
}

TppRect ImageTarget(const TppRect& bounds, int width, int height, bool stretch, bool keepAspect, bool center) {
  int bw = bounds.Right - bounds.Left, bh = bounds.Bottom - bounds.Top;
  int w = width, h = height;
  if (stretch) {
    if (!keepAspect) return bounds;
    double s = ScaleToFit(bw, bh, width, height);
    w = Nint(width * s);
    h = Nint(height * s);
  }
  int left = bounds.Left, top = bounds.Top;
  if (center) {
    left += Nint((bw - w) / 2.0);
    top += Nint((bh - h) / 2.0);
  }
  return MakeRect(left, top, left + w, top + h);
}

void DrawGraphic(gdi::TCanvas& canvas, const win::RECT& target, gdi::TGraphic& graphic, bool transparent) {
  canvas.CopyMode = transparent ? win::SRCAND : win::SRCCOPY;
  canvas.StretchDraw(target, graphic);
  canvas.CopyMode = win::SRCCOPY;
}

void DrawBitmap(gdi::TCanvas& canvas, const win::RECT& target, gdi::TBitmap& bitmap, bool transparent) {
  if (transparent)
    DrawTransparentBitmap(canvas, target, bitmap);
  else
    StretchDrawDIB(canvas, target, bitmap);
}

void DrawMetafile(gdi::TCanvas& canvas, const TppDeviceScale& scale, TppDrawImage* command, gdi::TGraphic& graphic) {
  TppRect r = command->GetDrawRect();
  if (Empty(r)) return;
  // Rendered off the device at the rectangle's size, but no larger than
  // the page: a larger rectangle is rendered smaller and stretched.
  win::SIZE page = PageExtent(canvas, scale, command);
  int rw = r.Right - r.Left, rh = r.Bottom - r.Top;
  double f = std::min({1.0, double(page.cx) / rw, double(page.cy) / rh});
  int bw = std::max(1, Nint(rw * f)), bh = std::max(1, Nint(rh * f));
  int w = Nint(scale.Zoom(scale.FromScreenPixels(graphic.Width(), ppHorizontal), ppHorizontal) * f);
  int h = Nint(scale.Zoom(scale.FromScreenPixels(graphic.Height(), ppVertical), ppVertical) * f);
  TppRect target = ImageTarget(MakeRect(0, 0, bw, bh), w, h, command->Stretch(), command->MaintainAspectRatio(),
                               command->Center());
  win::HDC dc = canvas.Handle();
  TppDeviceCompatibleCanvas offscreen(bw, bh, dc);
  if (auto* bitmap = cls::ObjectAs<gdi::TBitmap>(&graphic))
    StretchDrawDIB(offscreen, ToRect(target), *bitmap);
  else
    offscreen.StretchDraw(ToRect(target), graphic);
  offscreen.RenderToDevice(ToRect(r), dc, command->Transparent() ? win::SRCAND : win::SRCCOPY);
}

void DrawImage(gdi::TCanvas& canvas, const TppDeviceScale& scale, TppDrawImage* command) {
  if (!command) return;
  gdi::TPicture* picture = command->Picture();
  gdi::TGraphic* graphic = picture ? picture->Graphic() : nullptr;
  if (!graphic || graphic->Empty()) return;
  TppRect r = command->GetDrawRect();
  if (Empty(r)) return;
  auto* bitmap = cls::ObjectAs<gdi::TBitmap>(graphic);
  gdi::TBitmap* drawable = nullptr;
  bool direct = command->DirectDraw();
  if (!bitmap && !direct) {
    drawable = command->GetBitmapHandle();
    if (!drawable) {
      DrawMetafile(canvas, scale, command, *graphic);
      return;
    }
  }
  if (bitmap && !direct) drawable = bitmap;
  int w = scale.Zoom(scale.FromScreenPixels(picture->Width(), ppHorizontal), ppHorizontal);
  int h = scale.Zoom(scale.FromScreenPixels(picture->Height(), ppHorizontal), ppHorizontal);
  TppRect target = ImageTarget(r, w, h, command->Stretch(), command->MaintainAspectRatio(), command->Center());
  win::HDC dc = canvas.Handle();
  bool clipped = !command->Stretch() && dc;
  if (clipped) win::IntersectClipRect(dc, r.Left, r.Top, r.Right, r.Bottom);
  if (drawable)
    DrawBitmap(canvas, ToRect(target), *drawable, command->Transparent());
  else
    DrawGraphic(canvas, ToRect(target), *graphic, command->Transparent());
  if (clipped) win::SelectClipRgn(dc, nullptr);
}

}  // namespace ppRasterDraw

// ---- the printer device's dispatch ----

bool TppPrinterDevice::DrawCommand(TppDrawCommand* command) {
  if (!command || !canvas_) return false;
  CalcDeviceRect(command);
  if (auto* text = cls::ObjectAs<TppDrawText>(command)) {
    DrawText(text);
  } else if (auto* shape = cls::ObjectAs<TppDrawShape>(command)) {
    DrawShape(shape);
  } else if (auto* line = cls::ObjectAs<TppDrawLine>(command)) {
    DrawLine(line);
  } else if (auto* image = cls::ObjectAs<TppDrawImage>(command)) {
    DrawImage(image);
  } else {
    return false;
  }
  return true;
}
