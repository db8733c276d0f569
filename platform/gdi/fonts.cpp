#include "fonts.h"

#include <atomic>
#include <cairo.h>
#include <fontconfig/fontconfig.h>
#include <cmath>
#include <cstdlib>
#include <cstring>
#include <array>
#include <map>
#include <memory>
#include <mutex>
#include <tuple>
#include <unordered_map>

#include "platform/gdi/fontmatch.h"
#include "platform/sysroot/codepage.h"

namespace gdi {
namespace {

std::atomic<int> g_deterministic{-1};  // -1: not yet read from the environment

int Round(double v) { return static_cast<int>(std::lround(v)); }

// The cairo context that installed fonts are measured on.
struct Measurer {
  std::mutex mutex;
  cairo_surface_t* surface = nullptr;
  cairo_t* cr = nullptr;

  Measurer() {
    surface = cairo_image_surface_create(CAIRO_FORMAT_ARGB32, 1, 1);
    cr = cairo_create(surface);
    cairo_font_options_t* o = cairo_font_options_create();
    cairo_font_options_set_hint_metrics(o, CAIRO_HINT_METRICS_OFF);
    cairo_font_options_set_hint_style(o, CAIRO_HINT_STYLE_NONE);
    cairo_set_font_options(cr, o);
    cairo_font_options_destroy(o);
  }
  ~Measurer() {
    cairo_destroy(cr);
    cairo_surface_destroy(surface);
  }

  // The advance of one character (UTF-8) in FAMILY at EM pixels, or in
  // the family that draws it when FAMILY lacks it.
  int Advance(const std::string& family, int em, bool bold, bool italic, const std::string& utf8) {
    const std::string& drawing = DrawingFamily(family, utf8);
    std::lock_guard<std::mutex> lock(mutex);
    SelectFace(cr, drawing, bold, italic, em);
    cairo_text_extents_t e;
    cairo_text_extents(cr, utf8.c_str(), &e);
    return Round(e.x_advance);
  }
};

Measurer* g_measurer = nullptr;

// At exit the font caches of cairo and fontconfig are given back, so leak
// checkers see only what the program itself kept.
[[maybe_unused]] void ReleaseFonts() {
  delete g_measurer;
  g_measurer = nullptr;
  ReleaseFontMatches();
  cairo_debug_reset_static_data();
  FcFini();
}

// The process's one T in MADE, made on first use and given back at exit.
template <class T>
T& MadeOnce(T*& made) {
  static std::once_flag once;
  std::call_once(once, [&made] {
    made = new T;
    ReleaseFontsAtExit();
  });
  return *made;
}

Measurer& TheMeasurer() { return MadeOnce(g_measurer); }

}  // namespace

// Only a leak checker needs them back: the end of the process gives them
// back whole, and a print need not spend its time taking them apart.
#if defined(__SANITIZE_ADDRESS__)
#define ZOLMET_LEAK_CHECKED 1
#elif defined(__has_feature)
#if __has_feature(address_sanitizer)
#define ZOLMET_LEAK_CHECKED 1
#endif
#endif

void ReleaseFontsAtExit() {
#ifdef ZOLMET_LEAK_CHECKED
  static std::once_flag once;
  std::call_once(once, [] { std::atexit(ReleaseFonts); });
#endif
}

const std::string& DrawingFamily(const std::string& family, const std::string& utf8) {
  // The Big5 fonts installed with the system, in the order they are tried.
  static const std::string fallbacks[] = {"AR PL Mingti2L Big5", "AR PL KaitiM Big5"};
  FcChar32 ucs4 = 0;
  const int n = FcUtf8ToUcs4(reinterpret_cast<const FcChar8*>(utf8.data()), &ucs4, static_cast<int>(utf8.size()));
  // Blanks and controls are drawn by nothing; ASCII is in every face.
  if (n <= 0 || ucs4 < 0x80) return family;
  if (FamilyHasChar(family, ucs4)) return family;
  for (const std::string& f : fallbacks)
    if (f != family && FamilyHasChar(f, ucs4)) return f;
  return family;
}

// The advances of one installed font at one size: single bytes in a table,
// Big5 pairs as they are met.
class AdvanceTable {
 public:
  AdvanceTable(std::string family, int em, bool bold, bool italic)
      : family_(std::move(family)), em_(em), bold_(bold), italic_(italic) {
    single_.fill(-1);
  }

  void Measure(std::string_view text, int* out) {
    std::lock_guard<std::mutex> lock(mutex_);
    for (size_t i = 0; i < text.size();) {
      unsigned char c = static_cast<unsigned char>(text[i]);
      if (cp::IsBig5Lead(c) && i + 1 < text.size()) {
        unsigned code = c << 8 | static_cast<unsigned char>(text[i + 1]);
        auto it = pairs_.find(code);
        if (it == pairs_.end()) {
          size_t len;
          it = pairs_.emplace(code, Advance(CharUtf8(text, i, len))).first;
        }
        out[i] = it->second;
        i += 2;
      } else {
        out[i++] = Single(c == '\t' ? ' ' : c);
      }
    }
  }

 private:
  int Single(unsigned char c) {
    if (single_[c] < 0) {
      size_t len;
      single_[c] = Advance(CharUtf8(std::string_view(reinterpret_cast<const char*>(&c), 1), 0, len));
    }
    return single_[c];
  }
  int Advance(const std::string& utf8) { return TheMeasurer().Advance(family_, em_, bold_, italic_, utf8); }

  const std::string family_;
  const int em_;
  const bool bold_, italic_;
  std::mutex mutex_;
  std::array<int, 256> single_;
  std::unordered_map<unsigned, int> pairs_;
};

namespace {

// What the metrics of a logical font depend on.
struct MetricsKey {
  std::string face;
  long height;
  bool bold, italic, deterministic;
  bool operator<(const MetricsKey& o) const {
    return std::tie(face, height, bold, italic, deterministic) <
           std::tie(o.face, o.height, o.bold, o.italic, o.deterministic);
  }
};

// Resolved fonts and advance tables, kept for the process (entries never
// move or go, so pointers to them stay good).
struct FontRegistry {
  std::mutex mutex;
  std::map<MetricsKey, FontMetrics> metrics;
  std::map<std::tuple<std::string, int, bool, bool>, std::unique_ptr<AdvanceTable>> tables;

  // Under the lock.
  AdvanceTable* Table(const std::string& family, int em, bool bold, bool italic) {
    auto& t = tables[std::make_tuple(family, em, bold, italic)];
    if (!t) t = std::make_unique<AdvanceTable>(family, em, bold, italic);
    return t.get();
  }
};

FontRegistry& Registry() {
  static auto* registry = new FontRegistry;
  return *registry;
}

std::string FaceOf(const win::LOGFONTA& font) {
  return std::string(font.lfFaceName, strnlen(font.lfFaceName, sizeof font.lfFaceName));
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

// The metrics of FONT worked out afresh; under the registry's lock.
static FontMetrics Compute(FontRegistry& registry, const win::LOGFONTA& font) {
  FontMetrics m;
  std::string face = FaceOf(font);
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
    Measurer& measurer = TheMeasurer();
    std::lock_guard<std::mutex> lock(measurer.mutex);
    cairo_t* cr = measurer.cr;
    SelectFace(cr, m.family, false, false, 1000);
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
  if (!DeterministicMetrics()) m.advances = registry.Table(m.family, m.em, m.bold, m.italic);
  m.aveCharWidth = CharAdvances(m, "x")[0];
  m.maxCharWidth = std::max(m.em, CharAdvances(m, "W")[0]);
  return m;
}

const FontMetrics& MetricsOf(const win::LOGFONTA& font) {
  // Text is measured and drawn in one font many times running: the last
  // font resolved on this thread answers without the lock.
  struct Last {
    win::LOGFONTA font{};
    bool deterministic = false;
    const FontMetrics* metrics = nullptr;
  };
  thread_local Last last;
  const bool deterministic = DeterministicMetrics();
  const bool bold = font.lfWeight >= 600, italic = font.lfItalic != 0;
  if (last.metrics && last.deterministic == deterministic && last.font.lfHeight == font.lfHeight &&
      (last.font.lfWeight >= 600) == bold && (last.font.lfItalic != 0) == italic &&
      strncmp(last.font.lfFaceName, font.lfFaceName, sizeof font.lfFaceName) == 0)
    return *last.metrics;
  FontRegistry& registry = Registry();
  std::lock_guard<std::mutex> lock(registry.mutex);
  MetricsKey key{FaceOf(font), font.lfHeight, bold, italic, deterministic};
  auto it = registry.metrics.find(key);
  if (it == registry.metrics.end()) it = registry.metrics.emplace(std::move(key), Compute(registry, font)).first;
  last = {font, deterministic, &it->second};
  return it->second;
}

std::string CharUtf8(std::string_view text, size_t at, size_t& length) {
  unsigned char c = static_cast<unsigned char>(text[at]);
  length = cp::IsBig5Lead(c) && at + 1 < text.size() ? 2 : 1;
  if (length == 1 && c < 0x80) return std::string(1, static_cast<char>(c));
  std::string u = cp::Big5ToUtf8(text.substr(at, length));
  return u.empty() ? "?" : u;
}

void CharAdvances(const FontMetrics& m, std::string_view text, std::vector<int>& out) {
  out.assign(text.size(), 0);
  if (DeterministicMetrics()) {
    for (size_t i = 0; i < text.size();) {
      bool pair = text[i] != '\t' && cp::IsBig5Lead(static_cast<unsigned char>(text[i])) && i + 1 < text.size();
      out[i] = pair ? m.em : (m.em + 1) / 2;
      i += pair ? 2 : 1;
    }
    return;
  }
  AdvanceTable* table = m.advances;
  if (!table) {
    FontRegistry& registry = Registry();
    std::lock_guard<std::mutex> lock(registry.mutex);
    table = registry.Table(m.family, m.em, m.bold, m.italic);
  }
  table->Measure(text, out.data());
}

std::vector<int> CharAdvances(const FontMetrics& m, std::string_view text) {
  std::vector<int> out;
  CharAdvances(m, text, out);
  return out;
}

}  // namespace gdi
