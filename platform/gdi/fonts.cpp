#include "fonts.h"

#include <atomic>
#include <cairo.h>
#include <fontconfig/fontconfig.h>
#include <cmath>
#include <cstdlib>
#include <cstring>
#include <map>
#include <mutex>
#include <tuple>

#include "platform/sysroot/codepage.h"

namespace gdi {
namespace {

std::atomic<int> g_deterministic{-1};  // -1: not yet read from the environment

int Round(double v) { return static_cast<int>(std::lround(v)); }

// Character advances of installed fonts, measured once per font and size.
struct AdvanceCache {
  std::mutex mutex;
  cairo_surface_t* surface = nullptr;
  cairo_t* cr = nullptr;
  std::map<std::tuple<std::string, int, bool, bool, std::string>, int> advances;

  AdvanceCache() {
    surface = cairo_image_surface_create(CAIRO_FORMAT_ARGB32, 1, 1);
    cr = cairo_create(surface);
    cairo_font_options_t* o = cairo_font_options_create();
    cairo_font_options_set_hint_metrics(o, CAIRO_HINT_METRICS_OFF);
    cairo_font_options_set_hint_style(o, CAIRO_HINT_STYLE_NONE);
    cairo_set_font_options(cr, o);
    cairo_font_options_destroy(o);
  }
  ~AdvanceCache() {
    cairo_destroy(cr);
    cairo_surface_destroy(surface);
  }

  int Advance(const FontMetrics& m, const std::string& utf8) {
    std::lock_guard<std::mutex> lock(mutex);
    auto key = std::make_tuple(m.family, m.em, m.bold, m.italic, utf8);
    auto it = advances.find(key);
    if (it != advances.end()) return it->second;
    cairo_select_font_face(cr, m.family.c_str(),
                           m.italic ? CAIRO_FONT_SLANT_ITALIC : CAIRO_FONT_SLANT_NORMAL,
                           m.bold ? CAIRO_FONT_WEIGHT_BOLD : CAIRO_FONT_WEIGHT_NORMAL);
    cairo_set_font_size(cr, m.em);
    cairo_text_extents_t e;
    cairo_text_extents(cr, utf8.c_str(), &e);
    int adv = Round(e.x_advance);
    advances.emplace(key, adv);
    return adv;
  }
};

AdvanceCache* g_cache = nullptr;

// At exit the font caches of cairo and fontconfig are given back, so leak
// checkers see only what the program itself kept.
void ReleaseFonts() {
  delete g_cache;
  g_cache = nullptr;
  cairo_debug_reset_static_data();
  FcFini();
}

AdvanceCache& Cache() {
  static std::once_flag once;
  std::call_once(once, [] {
    g_cache = new AdvanceCache;
    std::atexit(ReleaseFonts);
  });
  return *g_cache;
}

}  // namespace

const std::vector<Substitute>& SubstitutionTable() {
  // The AR PL Big5 fonts are one em high, as the fonts they stand for, and
  // keep their own ascent (900 + 124 units of 1024), so that their glyphs
  // stay inside the cell.
  static const std::vector<Substitute> table = {
      {"標楷體", "AR PL KaitiM Big5", 900.0 / 1024, 124.0 / 1024, 0.0},
      {"DFKai-SB", "AR PL KaitiM Big5", 900.0 / 1024, 124.0 / 1024, 0.0},
      {"細明體", "AR PL Mingti2L Big5", 900.0 / 1024, 124.0 / 1024, 0.0},
      {"新細明體", "AR PL Mingti2L Big5", 900.0 / 1024, 124.0 / 1024, 0.0},
      {"MingLiU", "AR PL Mingti2L Big5", 900.0 / 1024, 124.0 / 1024, 0.0},
      {"PMingLiU", "AR PL Mingti2L Big5", 900.0 / 1024, 124.0 / 1024, 0.0},
      {"Courier New", "Liberation Mono", 1705.0 / 2048, 615.0 / 2048, 0.0},
      {"Arial", "Liberation Sans", 1854.0 / 2048, 434.0 / 2048, 67.0 / 2048},
      {"MS Sans Serif", "Liberation Sans", 1854.0 / 2048, 434.0 / 2048, 67.0 / 2048},
      {"Times New Roman", "Liberation Serif", 1825.0 / 2048, 443.0 / 2048, 87.0 / 2048},
  };
  return table;
}

static const Substitute* FindSubstitute(const std::string& face) {
  std::string u = cp::UpperAscii(face);
  for (const auto& s : SubstitutionTable())
    if (cp::UpperAscii(s.face) == u) return &s;
  return nullptr;
}

std::string SubstituteFamily(const std::string& face) {
  if (const Substitute* s = FindSubstitute(face)) return s->family;
  return face.empty() ? "Liberation Sans" : cp::Big5ToUtf8(face);
}

void SetDeterministicMetrics(bool on) { g_deterministic = on ? 1 : 0; }

bool DeterministicMetrics() {
  int v = g_deterministic;
  if (v < 0) {
    const char* env = std::getenv("ZOLMET_GDI_METRICS");
    v = env && std::strcmp(env, "deterministic") == 0 ? 1 : 0;
    g_deterministic = v;
  }
  return v == 1;
}

FontMetrics MetricsOf(const win::LOGFONTA& font) {
  FontMetrics m;
  std::string face(font.lfFaceName, strnlen(font.lfFaceName, sizeof font.lfFaceName));
  m.family = SubstituteFamily(face);
  m.bold = font.lfWeight >= 600;
  m.italic = font.lfItalic != 0;
  double asc = 0.8, desc = 0.2, ext = 0.0;
  if (DeterministicMetrics()) {
    m.family = "Liberation Sans";
  } else if (const Substitute* s = FindSubstitute(face)) {
    asc = s->ascent, desc = s->descent, ext = s->externalLeading;
  } else {
    // A face outside the table carries its own metrics.
    std::lock_guard<std::mutex> lock(Cache().mutex);
    cairo_t* cr = Cache().cr;
    cairo_select_font_face(cr, m.family.c_str(), CAIRO_FONT_SLANT_NORMAL, CAIRO_FONT_WEIGHT_NORMAL);
    cairo_set_font_size(cr, 1000);
    cairo_font_extents_t fe;
    cairo_font_extents(cr, &fe);
    if (fe.ascent + fe.descent > 0) {
      asc = fe.ascent / 1000;
      desc = fe.descent / 1000;
      ext = std::max(0.0, fe.height / 1000 - asc - desc);
    }
  }
  long h = font.lfHeight;
  if (h == 0) h = -12;  // the system font's size on a 96 dpi screen
  if (h < 0) {
    m.em = static_cast<int>(-h);
  } else {
    m.em = std::max(1, Round(h / (asc + desc)));
  }
  if (DeterministicMetrics()) {
    m.ascent = Round(m.em * 0.8);
    m.descent = m.em - m.ascent;
  } else {
    m.ascent = Round(asc * m.em);
    m.descent = Round((asc + desc) * m.em) - m.ascent;  // the cell rounds as a whole
    m.externalLeading = Round(ext * m.em);
  }
  if (h > 0) {  // a cell height is the whole cell
    int cell = static_cast<int>(h);
    m.descent = std::max(0, cell - m.ascent);
  }
  m.internalLeading = std::max(0, m.ascent + m.descent - m.em);
  m.aveCharWidth = CharAdvances(m, "x")[0];
  m.maxCharWidth = std::max(m.em, CharAdvances(m, "W")[0]);
  return m;
}

std::string CharUtf8(const std::string& text, size_t at, size_t& length) {
  unsigned char c = static_cast<unsigned char>(text[at]);
  length = cp::IsBig5Lead(c) && at + 1 < text.size() ? 2 : 1;
  if (length == 1 && c < 0x80) return std::string(1, static_cast<char>(c));
  std::string u = cp::Big5ToUtf8(text.substr(at, length));
  return u.empty() ? "?" : u;
}

std::vector<int> CharAdvances(const FontMetrics& m, const std::string& text) {
  std::vector<int> out(text.size(), 0);
  for (size_t i = 0; i < text.size();) {
    size_t len;
    unsigned char c = static_cast<unsigned char>(text[i]);
    std::string u = c == '\t' ? std::string(" ") : CharUtf8(text, i, len);
    if (c == '\t') len = 1;
    if (DeterministicMetrics())
      out[i] = len == 2 ? m.em : (m.em + 1) / 2;
    else
      out[i] = Cache().Advance(m, u);
    i += len;
  }
  return out;
}

}  // namespace gdi
