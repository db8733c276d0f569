#include <cairo-pdf.h>
#include <cerrno>
#include <cstring>
#include <cmath>
#include <cstdio>
#include <sstream>

#include "dc_internal.h"
#include "platform/sysroot/codepage.h"

namespace gdi {
namespace {

void SetColor(cairo_t* cr, win::COLORREF c) {
  cairo_set_source_rgb(cr, (c & 0xFF) / 255.0, ((c >> 8) & 0xFF) / 255.0, ((c >> 16) & 0xFF) / 255.0);
}

bool HasPen(const Op& op) { return op.penStyle != win::PS_NULL && op.penWidth > 0; }
bool HasBrush(const Op& op) { return op.brushStyle != win::BS_NULL; }

void ApplyPen(cairo_t* cr, const Op& op) {
  SetColor(cr, op.penColor);
  cairo_set_line_width(cr, std::max(1, op.penWidth));
  double w = std::max(1, op.penWidth);
  switch (op.penStyle) {
    case win::PS_DASH: {
      double d[] = {6 * w, 2 * w};
      cairo_set_dash(cr, d, 2, 0);
      break;
    }
    case win::PS_DOT: {
      double d[] = {w, w};
      cairo_set_dash(cr, d, 2, 0);
      break;
    }
    case win::PS_DASHDOT: {
      double d[] = {6 * w, 2 * w, w, 2 * w};
      cairo_set_dash(cr, d, 4, 0);
      break;
    }
    case win::PS_DASHDOTDOT: {
      double d[] = {6 * w, 2 * w, w, 2 * w, w, 2 * w};
      cairo_set_dash(cr, d, 6, 0);
      break;
    }
    default:
      cairo_set_dash(cr, nullptr, 0, 0);
  }
}

void FillBrush(cairo_t* cr, const Op& op) {
  if (!HasBrush(op)) return;
  SetColor(cr, op.brushColor);
  if (op.brushStyle == win::BS_HATCHED) {
    // Hatches as thin lines every 8 pixels inside the current path.
    double x1, y1, x2, y2;
    cairo_save(cr);
    cairo_clip_preserve(cr);
    cairo_clip_extents(cr, &x1, &y1, &x2, &y2);
    cairo_new_path(cr);
    cairo_set_line_width(cr, 1);
    double span = (x2 - x1) + (y2 - y1);
    for (double s = -span; s < span; s += 8) {
      int h = op.brushHatch;
      if (h == win::HS_HORIZONTAL || h == win::HS_CROSS) {
        cairo_move_to(cr, x1, y1 + s + span), cairo_line_to(cr, x2, y1 + s + span);
      }
      if (h == win::HS_VERTICAL || h == win::HS_CROSS) {
        cairo_move_to(cr, x1 + s + span, y1), cairo_line_to(cr, x1 + s + span, y2);
      }
      if (h == win::HS_FDIAGONAL || h == win::HS_DIAGCROSS) {
        cairo_move_to(cr, x1 + s, y1), cairo_line_to(cr, x1 + s + (y2 - y1), y2);
      }
      if (h == win::HS_BDIAGONAL || h == win::HS_DIAGCROSS) {
        cairo_move_to(cr, x1 + s, y2), cairo_line_to(cr, x1 + s + (y2 - y1), y1);
      }
    }
    cairo_stroke(cr);
    cairo_restore(cr);
    return;
  }
  cairo_fill_preserve(cr);
}

void ShapePath(cairo_t* cr, const Op& op, double inset) {
  double l = op.points[0].x + inset, t = op.points[0].y + inset;
  double r = op.points[1].x - inset, b = op.points[1].y - inset;
  if (r < l) r = l;
  if (b < t) b = t;
  cairo_new_path(cr);
  if (op.kind == Op::Ellipse) {
    cairo_save(cr);
    cairo_translate(cr, (l + r) / 2, (t + b) / 2);
    cairo_scale(cr, std::max(0.01, (r - l) / 2), std::max(0.01, (b - t) / 2));
    cairo_arc(cr, 0, 0, 1, 0, 2 * M_PI);
    cairo_restore(cr);
  } else if (op.kind == Op::RoundRect && op.points.size() > 2) {
    double rx = std::min((r - l) / 2, op.points[2].x / 2.0), ry = std::min((b - t) / 2, op.points[2].y / 2.0);
    if (rx <= 0 || ry <= 0) {
      cairo_rectangle(cr, l, t, r - l, b - t);
    } else {
      cairo_save(cr);
      cairo_translate(cr, l, t);
      cairo_scale(cr, rx, ry);
      double w = (r - l) / rx, h = (b - t) / ry;
      cairo_arc(cr, w - 1, 1, 1, -M_PI / 2, 0);
      cairo_arc(cr, w - 1, h - 1, 1, 0, M_PI / 2);
      cairo_arc(cr, 1, h - 1, 1, M_PI / 2, M_PI);
      cairo_arc(cr, 1, 1, 1, M_PI, 3 * M_PI / 2);
      cairo_close_path(cr);
      cairo_restore(cr);
    }
  } else {
    cairo_rectangle(cr, l, t, r - l, b - t);
  }
}

void RenderText(cairo_t* cr, const Op& op) {
  if (op.text.empty()) return;
  int total = 0;
  for (int a : op.advances) total += a;
  cairo_save(cr);
  cairo_translate(cr, op.points[0].x, op.points[0].y);
  if (op.escapement) cairo_rotate(cr, -op.escapement * M_PI / 1800.0);
  if (op.opaque) {
    SetColor(cr, op.bkColor);
    cairo_rectangle(cr, 0, 0, total, op.ascent + op.descent);
    cairo_fill(cr);
  }
  cairo_select_font_face(cr, op.family.c_str(), op.italic ? CAIRO_FONT_SLANT_ITALIC : CAIRO_FONT_SLANT_NORMAL,
                         op.weight >= 600 ? CAIRO_FONT_WEIGHT_BOLD : CAIRO_FONT_WEIGHT_NORMAL);
  cairo_set_font_size(cr, std::max(1, op.em));
  cairo_scaled_font_t* sf = cairo_get_scaled_font(cr);
  std::string utf8;
  std::vector<cairo_glyph_t> glyphs;
  std::vector<cairo_text_cluster_t> clusters;
  int x = 0;
  for (size_t i = 0; i < op.text.size();) {
    size_t len;
    unsigned char c = static_cast<unsigned char>(op.text[i]);
    std::string piece = CharUtf8(op.text, i, len);
    int adv = i < op.advances.size() ? op.advances[i] : 0;
    if (c >= 0x20 && c != 0x7F) {
      cairo_glyph_t* g = nullptr;
      int n = 0;
      if (cairo_scaled_font_text_to_glyphs(sf, x, op.ascent, piece.c_str(), static_cast<int>(piece.size()), &g, &n,
                                           nullptr, nullptr, nullptr) == CAIRO_STATUS_SUCCESS) {
        for (int k = 0; k < n; ++k) glyphs.push_back(g[k]);
        utf8 += piece;
        clusters.push_back({static_cast<int>(piece.size()), n});
      }
      cairo_glyph_free(g);
    }
    x += adv;
    i += len;
  }
  SetColor(cr, op.textColor);
  if (!glyphs.empty())
    cairo_show_text_glyphs(cr, utf8.c_str(), static_cast<int>(utf8.size()), glyphs.data(),
                           static_cast<int>(glyphs.size()), clusters.data(), static_cast<int>(clusters.size()),
                           static_cast<cairo_text_cluster_flags_t>(0));
  double lw = std::max(1.0, op.em / 14.0);
  if (op.underline) {
    cairo_rectangle(cr, 0, op.ascent + lw, total, lw);
    cairo_fill(cr);
  }
  if (op.strikeOut) {
    cairo_rectangle(cr, 0, op.ascent - op.em * 0.3, total, lw);
    cairo_fill(cr);
  }
  cairo_restore(cr);
}

void RenderImage(cairo_t* cr, const Op& op) {
  if (!op.pixels || op.imageWidth <= 0 || op.imageHeight <= 0) return;
  int stride = cairo_format_stride_for_width(CAIRO_FORMAT_ARGB32, op.imageWidth);
  std::vector<unsigned char> data(static_cast<size_t>(stride) * op.imageHeight);
  for (int y = 0; y < op.imageHeight; ++y)
    std::memcpy(data.data() + static_cast<size_t>(y) * stride, op.pixels->data() + static_cast<size_t>(y) * op.imageWidth,
                static_cast<size_t>(op.imageWidth) * 4);
  cairo_surface_t* img = cairo_image_surface_create_for_data(data.data(), CAIRO_FORMAT_ARGB32, op.imageWidth,
                                                             op.imageHeight, stride);
  double l = op.points[0].x, t = op.points[0].y, r = op.points[1].x, b = op.points[1].y;
  double sw = op.source.right - op.source.left, sh = op.source.bottom - op.source.top;
  if (sw != 0 && sh != 0 && r != l && b != t) {
    cairo_save(cr);
    cairo_rectangle(cr, std::min(l, r), std::min(t, b), std::fabs(r - l), std::fabs(b - t));
    cairo_clip(cr);
    cairo_translate(cr, l, t);
    cairo_scale(cr, (r - l) / sw, (b - t) / sh);
    cairo_set_source_surface(cr, img, -op.source.left, -op.source.top);
    cairo_pattern_set_filter(cairo_get_source(cr), CAIRO_FILTER_NEAREST);
    if (op.rop == win::SRCAND) cairo_set_operator(cr, CAIRO_OPERATOR_MULTIPLY);
    if (op.rop == win::SRCPAINT) cairo_set_operator(cr, CAIRO_OPERATOR_LIGHTEN);
    cairo_paint(cr);
    cairo_restore(cr);
  }
  cairo_surface_destroy(img);
}

}  // namespace

void RenderOp(cairo_t* cr, const Op& op) {
  // A clip that encloses nothing shows nothing (cairo would take the
  // rectangle between its crossed edges instead).
  if (op.clipped && (op.clip.right <= op.clip.left || op.clip.bottom <= op.clip.top)) return;
  cairo_save(cr);
  if (op.clipped) {
    cairo_rectangle(cr, op.clip.left, op.clip.top, op.clip.right - op.clip.left, op.clip.bottom - op.clip.top);
    cairo_clip(cr);
  }
  cairo_set_antialias(cr, CAIRO_ANTIALIAS_DEFAULT);
  switch (op.kind) {
    case Op::Text:
      RenderText(cr, op);
      break;
    case Op::Line:
    case Op::Polygon: {
      if (op.points.empty()) break;
      cairo_new_path(cr);
      for (size_t i = 0; i < op.points.size(); ++i) {
        double x = op.points[i].x + 0.5, y = op.points[i].y + 0.5;
        i ? cairo_line_to(cr, x, y) : cairo_move_to(cr, x, y);
      }
      if (op.kind == Op::Polygon) {
        cairo_close_path(cr);
        FillBrush(cr, op);
      }
      if (HasPen(op)) {
        ApplyPen(cr, op);
        cairo_set_line_cap(cr, CAIRO_LINE_CAP_SQUARE);
        cairo_stroke(cr);
      }
      break;
    }
    case Op::Rect:
    case Op::RoundRect:
    case Op::Ellipse: {
      double w = HasPen(op) ? std::max(1, op.penWidth) : 0;
      ShapePath(cr, op, w / 2);
      FillBrush(cr, op);
      if (HasPen(op)) {
        ApplyPen(cr, op);
        cairo_stroke(cr);
      }
      break;
    }
    case Op::Fill:
      ShapePath(cr, op, 0);
      FillBrush(cr, op);
      break;
    case Op::Image:
      RenderImage(cr, op);
      break;
  }
  cairo_new_path(cr);
  cairo_restore(cr);
}

std::string Op::Describe() const {
  std::ostringstream o;
  static const char* names[] = {"Text", "Line", "Polygon", "Rect", "RoundRect", "Ellipse", "Fill", "Image"};
  o << names[kind];
  for (const auto& p : points) o << " " << p.x << "," << p.y;
  if (kind == Text) o << " \"" << cp::Big5ToUtf8(text) << "\" " << family << " " << em;
  if (clipped) o << " clip " << clip.left << "," << clip.top << "," << clip.right << "," << clip.bottom;
  return o.str();
}

namespace {

// The page drawn on a white image of its size; nullptr when there is no
// page or cairo cannot make an image that large.
cairo_surface_t* RenderSurface(const Page& page, cairo_format_t format) {
  if (page.width <= 0 || page.height <= 0) return nullptr;
  cairo_surface_t* s = cairo_image_surface_create(format, page.width, page.height);
  if (cairo_surface_status(s) != CAIRO_STATUS_SUCCESS) {
    cairo_surface_destroy(s);
    return nullptr;
  }
  cairo_t* cr = cairo_create(s);
  cairo_set_source_rgb(cr, 1, 1, 1);
  cairo_paint(cr);
  for (const auto& op : page.ops) RenderOp(cr, op);
  cairo_destroy(cr);
  cairo_surface_flush(s);
  return s;
}

}  // namespace

std::vector<std::uint32_t> RenderPage(const Page& page) {
  std::vector<std::uint32_t> out;
  cairo_surface_t* s = RenderSurface(page, CAIRO_FORMAT_ARGB32);
  if (!s) return out;
  int stride = cairo_image_surface_get_stride(s);
  const unsigned char* data = cairo_image_surface_get_data(s);
  out.resize(static_cast<size_t>(page.width) * page.height);
  for (int y = 0; y < page.height; ++y)
    std::memcpy(out.data() + static_cast<size_t>(y) * page.width, data + static_cast<size_t>(y) * stride,
                static_cast<size_t>(page.width) * 4);
  cairo_surface_destroy(s);
  return out;
}

static double TenthsToPoints(int tenths) { return tenths * 72.0 / 254.0; }

namespace {

// A cairo failure: out of memory, or output that could not be written.
Failure CairoFailure(cairo_status_t st, const std::string& what) {
  Failure f;
  f.code = st == CAIRO_STATUS_NO_MEMORY ? win::ERROR_NOT_ENOUGH_MEMORY : win::ERROR_WRITE_FAULT;
  f.text = "Cannot write " + what + ": " + cairo_status_to_string(st) + ".";
  return f;
}

}  // namespace

bool CairoDocument::Open(const std::string& pdfPath, int w, int h, Failure& why) {
  FILE* probe = std::fopen(pdfPath.c_str(), "wb");
  if (!probe) {
    int err = errno;
    why.code = win::SetLastErrorFromErrno(err);
    why.text = "Cannot write " + pdfPath + ": " + std::strerror(err) + ".";
    return false;
  }
  std::fclose(probe);
  surface_ = cairo_pdf_surface_create(pdfPath.c_str(), TenthsToPoints(std::max(1, w)), TenthsToPoints(std::max(1, h)));
  if (cairo_surface_status(surface_) != CAIRO_STATUS_SUCCESS) {
    why = CairoFailure(cairo_surface_status(surface_), pdfPath);
    cairo_surface_destroy(surface_);
    surface_ = nullptr;
    return false;
  }
  return true;
}

bool CairoDocument::AddPage(const Page& page, int dpiX, int dpiY, const std::string& pngPath, Failure& why) {
  if (!surface_) {
    why = {win::ERROR_INVALID_PARAMETER, "No document is open."};
    return false;
  }
  cairo_pdf_surface_set_size(surface_, TenthsToPoints(page.widthTenths), TenthsToPoints(page.heightTenths));
  cairo_t* cr = cairo_create(surface_);
  cairo_scale(cr, 72.0 / dpiX, 72.0 / dpiY);
  for (const auto& op : page.ops) RenderOp(cr, op);
  cairo_show_page(cr);
  cairo_status_t st = cairo_status(cr);
  cairo_destroy(cr);
  if (st != CAIRO_STATUS_SUCCESS) {
    why = CairoFailure(st, "the PDF");
    return false;
  }
  if (pngPath.empty()) return true;
  cairo_surface_t* png = RenderSurface(page, CAIRO_FORMAT_RGB24);
  if (!png) {
    why = {win::ERROR_NOT_ENOUGH_MEMORY, "The page of " + std::to_string(page.width) + " x " +
                                             std::to_string(page.height) + " pixels is too large for an image."};
    return false;
  }
  st = cairo_surface_write_to_png(png, pngPath.c_str());
  cairo_surface_destroy(png);
  if (st != CAIRO_STATUS_SUCCESS) {
    why = CairoFailure(st, pngPath);
    return false;
  }
  return true;
}

bool CairoDocument::Close(Failure& why) {
  if (!surface_) return false;
  cairo_surface_finish(surface_);
  cairo_status_t st = cairo_surface_status(surface_);
  cairo_surface_destroy(surface_);
  surface_ = nullptr;
  if (st != CAIRO_STATUS_SUCCESS) {
    why = CairoFailure(st, "the PDF");
    return false;
  }
  return true;
}

void CairoDocument::Abandon() {
  if (surface_) {
    cairo_surface_finish(surface_);
    cairo_surface_destroy(surface_);
    surface_ = nullptr;
  }
}

CairoDocument::~CairoDocument() { Abandon(); }

}  // namespace gdi
