// Drawing one operation with cairo, in device pixels.
#include <algorithm>
#include <array>
#include <cmath>
#include <cstring>
#include <map>
#include <memory>
#include <mutex>
#include <tuple>
#include <unordered_map>
#include <sstream>

#include "dc_internal.h"
#include "platform/gdi/fontmatch.h"
#include "platform/gdi/fonts.h"
#include "platform/sysroot/codepage.h"

namespace gdi {
namespace {

void SetColor(cairo_t* cr, win::COLORREF c) {
  cairo_set_source_rgb(cr, (c & 0xFF) / 255.0, ((c >> 8) & 0xFF) / 255.0, ((c >> 16) & 0xFF) / 255.0);
}

bool HasPen(const PenSpec& pen) { return pen.style != win::PS_NULL && pen.width > 0; }

void ApplyPen(cairo_t* cr, const PenSpec& pen) {
  SetColor(cr, pen.color);
  cairo_set_line_width(cr, std::max(1, pen.width));
  double w = std::max(1, pen.width);
  switch (pen.style) {
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

void FillBrush(cairo_t* cr, const BrushSpec& brush) {
  if (brush.style == win::BS_NULL) return;
  SetColor(cr, brush.color);
  if (brush.style == win::BS_HATCHED) {
    // Hatches as thin lines every 8 pixels inside the current path; the
    // path stays for the outline.
    cairo_path_t* path = cairo_copy_path(cr);
    double x1, y1, x2, y2;
    cairo_save(cr);
    cairo_clip_preserve(cr);
    cairo_clip_extents(cr, &x1, &y1, &x2, &y2);
    cairo_new_path(cr);
    cairo_set_line_width(cr, 1);
    double span = (x2 - x1) + (y2 - y1);
    for (double s = -span; s < span; s += 8) {
      int h = brush.hatch;
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
    cairo_new_path(cr);
    cairo_append_path(cr, path);
    cairo_path_destroy(path);
    return;
  }
  cairo_fill_preserve(cr);
}

enum class Outline { Rect, RoundRect, Ellipse };

// The path of a shape inside BOUNDS, drawn INSET pixels in.
void ShapePath(cairo_t* cr, Outline shape, const win::RECT& bounds, win::SIZE corner, double inset) {
  double l = bounds.left + inset, t = bounds.top + inset;
  double r = bounds.right - inset, b = bounds.bottom - inset;
  if (r < l) r = l;
  if (b < t) b = t;
  cairo_new_path(cr);
  if (shape == Outline::Ellipse) {
    cairo_save(cr);
    cairo_translate(cr, (l + r) / 2, (t + b) / 2);
    cairo_scale(cr, std::max(0.01, (r - l) / 2), std::max(0.01, (b - t) / 2));
    cairo_arc(cr, 0, 0, 1, 0, 2 * M_PI);
    cairo_restore(cr);
  } else if (shape == Outline::RoundRect) {
    double rx = std::min((r - l) / 2, corner.cx / 2.0), ry = std::min((b - t) / 2, corner.cy / 2.0);
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

// A shape filled with its brush and outlined inside its bounds with its pen.
void RenderShape(cairo_t* cr, Outline shape, const win::RECT& bounds, win::SIZE corner, const PenSpec& pen,
                 const BrushSpec& brush) {
  double w = HasPen(pen) ? std::max(1, pen.width) : 0;
  ShapePath(cr, shape, bounds, corner, w / 2);
  FillBrush(cr, brush);
  if (HasPen(pen)) {
    ApplyPen(cr, pen);
    cairo_stroke(cr);
  }
}

// An open or closed run of lines through the pixel centres.
void RenderPath(cairo_t* cr, const std::vector<win::PT>& points, const PenSpec& pen, const BrushSpec* fill) {
  if (points.empty()) return;
  cairo_new_path(cr);
  for (size_t i = 0; i < points.size(); ++i) {
    double x = points[i].x + 0.5, y = points[i].y + 0.5;
    i ? cairo_line_to(cr, x, y) : cairo_move_to(cr, x, y);
  }
  if (fill) {
    cairo_close_path(cr);
    FillBrush(cr, *fill);
  }
  if (HasPen(pen)) {
    ApplyPen(cr, pen);
    cairo_set_line_cap(cr, CAIRO_LINE_CAP_SQUARE);
    cairo_stroke(cr);
  }
}

// The characters of one installed face (family, weight, slant) as drawn:
// each one's UTF-8 and, where it is one glyph, that glyph's index, found on
// first use. A face's glyphs do not depend on its size.
class FaceGlyphs {
 public:
  struct Char {
    std::string utf8;
    unsigned long index = 0;
    bool single = false;  // one glyph; else converted at each use
    // The family that draws it when the face lacks it (DrawingFamily).
    const std::string* fallback = nullptr;
  };

  std::mutex mutex;

  // The character of LEN bytes at AT in TEXT of FAMILY (under the lock).
  const Char& Find(const std::string& family, const std::string& text, size_t at, size_t len,
                   cairo_scaled_font_t* sf) {
    unsigned code = static_cast<unsigned char>(text[at]);
    if (len == 1) {
      std::unique_ptr<Char>& single = single_[code];
      if (!single) single = std::make_unique<Char>(Make(family, text, at, sf));
      return *single;
    }
    code = code << 8 | static_cast<unsigned char>(text[at + 1]);
    auto it = chars_.find(code);
    if (it != chars_.end()) return it->second;
    return chars_.emplace(code, Make(family, text, at, sf)).first->second;
  }

 private:
  static Char Make(const std::string& family, const std::string& text, size_t at, cairo_scaled_font_t* sf) {
    Char ch;
    size_t n;
    ch.utf8 = CharUtf8(text, at, n);
    if (const std::string& drawing = DrawingFamily(family, ch.utf8); drawing != family) {
      ch.fallback = &drawing;
      return ch;
    }
    cairo_glyph_t* g = nullptr;
    int count = 0;
    if (cairo_scaled_font_text_to_glyphs(sf, 0, 0, ch.utf8.c_str(), static_cast<int>(ch.utf8.size()), &g, &count,
                                         nullptr, nullptr, nullptr) == CAIRO_STATUS_SUCCESS &&
        count == 1) {
      ch.index = g[0].index;
      ch.single = true;
    }
    cairo_glyph_free(g);
    return ch;
  }

  std::array<std::unique_ptr<Char>, 256> single_;
  std::unordered_map<unsigned, Char> chars_;
};

FaceGlyphs& GlyphsOf(const std::string& family, bool bold, bool italic) {
  // A page is mostly one face: the last one asked for on this thread
  // answers without the lock.
  struct Last {
    std::string family;
    bool bold = false, italic = false;
    FaceGlyphs* glyphs = nullptr;
  };
  thread_local Last last;
  if (last.glyphs && last.bold == bold && last.italic == italic && last.family == family) return *last.glyphs;
  static std::mutex mutex;
  static auto* faces = new std::map<std::tuple<std::string, bool, bool>, std::unique_ptr<FaceGlyphs>>;
  std::lock_guard<std::mutex> lock(mutex);
  auto& f = (*faces)[std::make_tuple(family, bold, italic)];
  if (!f) f = std::make_unique<FaceGlyphs>();
  last = {family, bold, italic, f.get()};
  return *f;
}

// The face and size set on a context outside any save: the lines that
// follow in the same face and size set nothing again.
struct ContextFont {
  std::string family;
  bool bold = false, italic = false;
  int em = 0;
};
const cairo_user_data_key_t kContextFont{};

void SelectFont(cairo_t* cr, const std::string& family, bool bold, bool italic, int em) {
  SelectFace(cr, family, bold, italic, em);
}

// Sets the font of the context's own state, unless it is set already.
void SelectBaseFont(cairo_t* cr, const std::string& family, bool bold, bool italic, int em) {
  auto* font = static_cast<ContextFont*>(cairo_get_user_data(cr, &kContextFont));
  if (!font) {
    font = new ContextFont;
    if (cairo_set_user_data(cr, &kContextFont, font, [](void* p) { delete static_cast<ContextFont*>(p); }) !=
        CAIRO_STATUS_SUCCESS) {
      delete font;
      SelectFont(cr, family, bold, italic, em);
      return;
    }
  } else if (font->em == em && font->bold == bold && font->italic == italic && font->family == family) {
    return;
  }
  SelectFont(cr, family, bold, italic, em);
  *font = {family, bold, italic, em};
}

// BASE: drawn in the context's own state (no clip, no turn), which keeps
// the font and colour for the next line; otherwise within a save.
void RenderText(cairo_t* cr, const TextOp& op, bool base) {
  if (op.text.empty()) return;
  ReleaseFontsAtExit();
  int total = 0;
  for (int a : op.advances) total += a;
  if (!base) cairo_save(cr);
  // Upright text is placed by offsets: moving the user space would make
  // cairo look its scaled font up again for every line.
  double ox = op.origin.x, oy = op.origin.y;
  if (op.escapement) {
    cairo_translate(cr, op.origin.x, op.origin.y);
    cairo_rotate(cr, -op.escapement * M_PI / 1800.0);
    ox = oy = 0;
  }
  if (op.opaque) {
    SetColor(cr, op.bkColor);
    cairo_rectangle(cr, ox, oy, total, op.ascent + op.descent);
    cairo_fill(cr);
  }
  const bool bold = op.weight >= 600;
  if (base) SelectBaseFont(cr, op.family, bold, op.italic, std::max(1, op.em));
  else SelectFont(cr, op.family, bold, op.italic, std::max(1, op.em));
  cairo_scaled_font_t* sf = cairo_get_scaled_font(cr);
  // Kept between calls, so drawing a line allocates nothing.
  thread_local std::string utf8;
  thread_local std::vector<cairo_glyph_t> glyphs;
  thread_local std::vector<cairo_text_cluster_t> clusters;
  utf8.clear();
  glyphs.clear();
  clusters.clear();
  FaceGlyphs& face = GlyphsOf(op.family, bold, op.italic);
  // Characters the face lacks, drawn afterwards in the face that has them.
  struct Fallback {
    const std::string* family;
    std::string utf8;
    double x;
  };
  thread_local std::vector<Fallback> fallbacks;
  fallbacks.clear();
  {
    std::lock_guard<std::mutex> lock(face.mutex);
    int x = 0;
    for (size_t i = 0; i < op.text.size();) {
      unsigned char c = static_cast<unsigned char>(op.text[i]);
      size_t len = cp::IsBig5Lead(c) && i + 1 < op.text.size() ? 2 : 1;
      int adv = i < op.advances.size() ? op.advances[i] : 0;
      if (c >= 0x20 && c != 0x7F) {
        const FaceGlyphs::Char& ch = face.Find(op.family, op.text, i, len, sf);
        if (ch.fallback) {
          fallbacks.push_back({ch.fallback, ch.utf8, ox + x});
        } else if (ch.single) {
          glyphs.push_back({ch.index, ox + x, oy + op.ascent});
          utf8 += ch.utf8;
          clusters.push_back({static_cast<int>(ch.utf8.size()), 1});
        } else {
          cairo_glyph_t* g = nullptr;
          int n = 0;
          if (cairo_scaled_font_text_to_glyphs(sf, ox + x, oy + op.ascent, ch.utf8.c_str(),
                                               static_cast<int>(ch.utf8.size()),
                                               &g, &n, nullptr, nullptr, nullptr) == CAIRO_STATUS_SUCCESS) {
            for (int k = 0; k < n; ++k) glyphs.push_back(g[k]);
            utf8 += ch.utf8;
            clusters.push_back({static_cast<int>(ch.utf8.size()), n});
          }
          cairo_glyph_free(g);
        }
      }
      x += adv;
      i += len;
    }
  }
  SetColor(cr, op.color);
  if (!glyphs.empty())
    cairo_show_text_glyphs(cr, utf8.c_str(), static_cast<int>(utf8.size()), glyphs.data(),
                           static_cast<int>(glyphs.size()), clusters.data(), static_cast<int>(clusters.size()),
                           static_cast<cairo_text_cluster_flags_t>(0));
  const std::string* selected = nullptr;
  for (const Fallback& f : fallbacks) {
    if (f.family != selected) {
      selected = f.family;
      SelectFace(cr, *f.family, bold, op.italic, std::max(1, op.em));
    }
    cairo_glyph_t* g = nullptr;
    int n = 0;
    if (cairo_scaled_font_text_to_glyphs(cairo_get_scaled_font(cr), f.x, oy + op.ascent, f.utf8.c_str(),
                                         static_cast<int>(f.utf8.size()), &g, &n, nullptr, nullptr,
                                         nullptr) == CAIRO_STATUS_SUCCESS)
      cairo_show_glyphs(cr, g, n);
    cairo_glyph_free(g);
  }
  double lw = std::max(1.0, op.em / 14.0);
  if (op.underline) {
    cairo_rectangle(cr, ox, oy + op.ascent + lw, total, lw);
    cairo_fill(cr);
  }
  if (op.strikeOut) {
    cairo_rectangle(cr, ox, oy + op.ascent - op.em * 0.3, total, lw);
    cairo_fill(cr);
  }
  if (!base) cairo_restore(cr);
}

void RenderImage(cairo_t* cr, const ImageOp& op) {
  if (!op.pixels || op.width <= 0 || op.height <= 0 ||
      op.pixels->size() < static_cast<size_t>(op.width) * static_cast<size_t>(op.height))
    return;
  int stride = cairo_format_stride_for_width(CAIRO_FORMAT_ARGB32, op.width);
  std::vector<unsigned char> data(static_cast<size_t>(stride) * op.height);
  for (int y = 0; y < op.height; ++y)
    std::memcpy(data.data() + static_cast<size_t>(y) * stride, op.pixels->data() + static_cast<size_t>(y) * op.width,
                static_cast<size_t>(op.width) * 4);
  cairo_surface_t* img =
      cairo_image_surface_create_for_data(data.data(), CAIRO_FORMAT_ARGB32, op.width, op.height, stride);
  double l = op.dest.left, t = op.dest.top, r = op.dest.right, b = op.dest.bottom;
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
  const auto& clip = op.clip;
  if (clip && (clip->right <= clip->left || clip->bottom <= clip->top)) return;
  // Plain upright text needs no state of its own (every other drawing
  // leaves the context's state as it found it).
  if (const TextOp* text = op.As<TextOp>(); text && !clip && !text->escapement) {
    RenderText(cr, *text, true);
    cairo_new_path(cr);
    return;
  }
  cairo_save(cr);
  if (clip) {
    cairo_rectangle(cr, clip->left, clip->top, clip->right - clip->left, clip->bottom - clip->top);
    cairo_clip(cr);
  }
  cairo_set_antialias(cr, CAIRO_ANTIALIAS_DEFAULT);
  struct Draw {
    cairo_t* cr;
    void operator()(const TextOp& o) const { RenderText(cr, o, false); }
    void operator()(const LineOp& o) const { RenderPath(cr, o.points, o.pen, nullptr); }
    void operator()(const PolygonOp& o) const { RenderPath(cr, o.points, o.pen, &o.brush); }
    void operator()(const RectOp& o) const { RenderShape(cr, Outline::Rect, o.bounds, {}, o.pen, o.brush); }
    void operator()(const RoundRectOp& o) const {
      RenderShape(cr, Outline::RoundRect, o.bounds, o.corner, o.pen, o.brush);
    }
    void operator()(const EllipseOp& o) const { RenderShape(cr, Outline::Ellipse, o.bounds, {}, o.pen, o.brush); }
    void operator()(const FillOp& o) const {
      ShapePath(cr, Outline::Rect, o.rect, {}, 0);
      FillBrush(cr, o.brush);
    }
    void operator()(const ImageOp& o) const { RenderImage(cr, o); }
  };
  std::visit(Draw{cr}, op.what);
  cairo_new_path(cr);
  cairo_restore(cr);
}

std::string Op::Describe() const {
  std::ostringstream o;
  auto corners = [&](const win::RECT& r) { o << " " << r.left << "," << r.top << " " << r.right << "," << r.bottom; };
  auto points = [&](const std::vector<win::PT>& pts) {
    for (const auto& p : pts) o << " " << p.x << "," << p.y;
  };
  struct Name {
    std::ostringstream& o;
    decltype(corners)& rect;
    decltype(points)& pts;
    void operator()(const TextOp& t) const {
      o << "Text " << t.origin.x << "," << t.origin.y << " \"" << cp::Big5ToUtf8(t.text) << "\" " << t.family << " "
        << t.em;
    }
    void operator()(const LineOp& l) const { o << "Line", pts(l.points); }
    void operator()(const PolygonOp& p) const { o << "Polygon", pts(p.points); }
    void operator()(const RectOp& r) const { o << "Rect", rect(r.bounds); }
    void operator()(const RoundRectOp& r) const {
      o << "RoundRect", rect(r.bounds);
      o << " " << r.corner.cx << "," << r.corner.cy;
    }
    void operator()(const EllipseOp& e) const { o << "Ellipse", rect(e.bounds); }
    void operator()(const FillOp& f) const { o << "Fill", rect(f.rect); }
    void operator()(const ImageOp& i) const { o << "Image", rect(i.dest); }
  };
  std::visit(Name{o, corners, points}, what);
  if (clip) o << " clip " << clip->left << "," << clip->top << "," << clip->right << "," << clip->bottom;
  return o.str();
}

}  // namespace gdi
