#include <gtest/gtest.h>
#include <cairo-ft.h>
#include <fontconfig/fontconfig.h>

#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <set>
#include <string>
#include <vector>

#include "platform/gdi/fontmatch.h"
#include "platform/gdi/fonts.h"
#include "platform/sysroot/sysroot.h"
#include "tests/support/testroot.h"

using namespace testing_support;
namespace fs = std::filesystem;

namespace {

std::vector<std::string> InstalledFamilies() {
  std::set<std::string> out;
  FcPattern* all = FcPatternCreate();
  FcObjectSet* os = FcObjectSetBuild(FC_FAMILY, nullptr);
  if (FcFontSet* set = FcFontList(nullptr, all, os)) {
    for (int i = 0; i < set->nfont; ++i) {
      FcChar8* family = nullptr;
      if (FcPatternGetString(set->fonts[i], FC_FAMILY, 0, &family) == FcResultMatch) out.insert(reinterpret_cast<char*>(family));
    }
    FcFontSetDestroy(set);
  }
  FcObjectSetDestroy(os);
  FcPatternDestroy(all);
  return {out.begin(), out.end()};
}

// One selection drawn: the face's names, the text's extents and the pixels.
struct Drawn {
  std::string face;
  double advance = 0, height = 0;
  std::vector<unsigned char> pixels;
  bool operator==(const Drawn&) const = default;
};

struct Case {
  std::string family;
  bool bold, italic;
  double em;
  int options;  // 0 the surface's; 1 hinting off, as the text measurer asks; 2 no antialiasing; 3 subpixels
  double scale;          // the context's transformation
};

template <class Select>
Drawn Draw(const Case& c, Select select) {
  cairo_surface_t* s = cairo_image_surface_create(CAIRO_FORMAT_ARGB32, 160, 48);
  cairo_t* cr = cairo_create(s);
  if (c.options) {
    cairo_font_options_t* o = cairo_font_options_create();
    if (c.options == 1) {
      cairo_font_options_set_hint_metrics(o, CAIRO_HINT_METRICS_OFF);
      cairo_font_options_set_hint_style(o, CAIRO_HINT_STYLE_NONE);
    } else if (c.options == 2) {
      cairo_font_options_set_antialias(o, CAIRO_ANTIALIAS_NONE);
    } else {
      cairo_font_options_set_antialias(o, CAIRO_ANTIALIAS_SUBPIXEL);
      cairo_font_options_set_subpixel_order(o, CAIRO_SUBPIXEL_ORDER_RGB);
    }
    cairo_set_font_options(cr, o);
    cairo_font_options_destroy(o);
  }
  cairo_scale(cr, c.scale, c.scale);
  select(cr);
  const char* text = "Hg 1 \xE6\xB0\xB8\xE9\x80\xB2";
  Drawn d;
  cairo_text_extents_t e;
  cairo_text_extents(cr, text, &e);
  d.advance = e.x_advance;
  d.height = e.height;
  cairo_move_to(cr, 2, 34 / c.scale);
  cairo_show_text(cr, text);
  cairo_surface_flush(s);
  if (FT_Face face = cairo_ft_scaled_font_lock_face(cairo_get_scaled_font(cr))) {
    d.face = std::string(face->family_name ? face->family_name : "") + "/" + (face->style_name ? face->style_name : "") +
             "/" + std::to_string(face->num_glyphs);
    cairo_ft_scaled_font_unlock_face(cairo_get_scaled_font(cr));
  }
  const unsigned char* p = cairo_image_surface_get_data(s);
  d.pixels.assign(p, p + cairo_image_surface_get_stride(s) * cairo_image_surface_get_height(s));
  cairo_destroy(cr);
  cairo_surface_destroy(s);
  return d;
}

Drawn Ours(const Case& c) {
  return Draw(c, [&](cairo_t* cr) { gdi::SelectFace(cr, c.family, c.bold, c.italic, c.em); });
}

// Every installed family in three styles, each first selected at its own
// size, options and transformation: bold at 6.25 pixels (12.5 halved) and
// italic at 7.75 (31 quartered), about where small faces lose their hinting.
std::vector<Case> EveryFamily() {
  static const double sizes[] = {7, 12.5, 31, 5};
  std::vector<Case> cases;
  int n = 0;
  for (const std::string& f : InstalledFamilies()) {
    cases.push_back({f, false, false, sizes[n % 4], n % 4, 1.0});
    cases.push_back({f, true, false, 12.5, (n + 1) % 4, 0.5});
    cases.push_back({f, false, true, 31, (n + 2) % 4, 0.25});
    ++n;
  }
  return cases;
}

}  // namespace

// The face kept for a selection is the one cairo's own selection would make,
// for every installed family and style at the size, options and
// transformation of its first use; a later process takes the same faces from
// the file without asking fontconfig, and draws the same pixels.
TEST(FontMatches, EveryInstalledFamilyDrawsAsCairosOwnSelectionColdAndWarm) {
  TempRoot root;
  gdi::ForgetFontMatches();
  const std::vector<Case> cases = EveryFamily();
  ASSERT_GT(cases.size(), 3u);
  std::vector<Drawn> cold;
  for (const Case& c : cases) {
    Drawn own = Draw(c, [&](cairo_t* cr) {
      cairo_select_font_face(cr, c.family.c_str(), c.italic ? CAIRO_FONT_SLANT_ITALIC : CAIRO_FONT_SLANT_NORMAL,
                             c.bold ? CAIRO_FONT_WEIGHT_BOLD : CAIRO_FONT_WEIGHT_NORMAL);
      cairo_set_font_size(cr, c.em);
    });
    cold.push_back(Ours(c));
    EXPECT_FALSE(own.face.empty()) << c.family;
    EXPECT_TRUE(own == cold.back()) << c.family << (c.bold ? " bold" : "") << (c.italic ? " italic" : "") << " at "
                                    << c.em << ": " << own.face << " against " << cold.back().face;
  }
  ASSERT_TRUE(fs::exists(root.path() + "/Platform/FontMatches"));

  gdi::ForgetFontMatches();
  const int asked = gdi::FontconfigLookups();
  for (size_t i = 0; i < cases.size(); ++i) EXPECT_TRUE(Ours(cases[i]) == cold[i]) << cases[i].family;
  EXPECT_EQ(gdi::FontconfigLookups(), asked) << "a warm selection asked fontconfig";
}

// The kept answers hold only while what fontconfig read is unchanged: a font
// folder appearing, or the file spoilt, makes them asked again, and the
// characters a family draws are kept as exactly as the faces.
TEST(FontMatches, AnswersAreAskedAgainWhenTheFontsOrTheFileChange) {
  TempRoot root;
  const char* oldHome = std::getenv("HOME");
  const std::string home = root.path() + "/home";
  fs::create_directories(home);
  setenv("HOME", home.c_str(), 1);
  gdi::ForgetFontMatches();
  const Case c{"Liberation Sans", false, false, 13, 0, 1.0};
  auto chars = [] {
    std::string has;
    for (std::uint32_t ch : {0x41u, 0xE9u, 0x6C38u, 0x9032u, 0x1F600u})
      for (const char* family : {"Liberation Sans", "AR PL Mingti2L Big5"})
        has += gdi::FamilyHasChar(family, ch) ? '1' : '0';
    return has;
  };
  const Drawn first = Ours(c);
  const std::string has = chars();
  EXPECT_NE(has.find('1'), std::string::npos);
  const std::string file = root.path() + "/Platform/FontMatches";
  gdi::FontMatches kept;
  ASSERT_TRUE(gdi::ParseFontMatches(ReadFile(file), kept));
  EXPECT_EQ(kept.faces.size(), 1u);
  EXPECT_EQ(kept.chars.size(), 2u);
  EXPECT_EQ(gdi::FormatFontMatches(kept), ReadFile(file));

  // Unchanged: nothing is asked.
  int asked = gdi::FontconfigLookups();
  gdi::ForgetFontMatches();
  EXPECT_TRUE(Ours(c) == first);
  EXPECT_EQ(chars(), has);
  EXPECT_EQ(gdi::FontconfigLookups(), asked);

  // The user's font folder appears: asked again, the same answers.
  fs::create_directories(home + "/.fonts");
  gdi::ForgetFontMatches();
  EXPECT_TRUE(Ours(c) == first);
  EXPECT_EQ(chars(), has);
  EXPECT_EQ(gdi::FontconfigLookups(), asked + 3);

  // A spoilt file: refused, asked again, written whole.
  asked = gdi::FontconfigLookups();
  std::string text = ReadFile(file);
  WriteFile(file, text.substr(0, text.size() / 2));
  gdi::ForgetFontMatches();
  EXPECT_TRUE(Ours(c) == first);
  EXPECT_EQ(gdi::FontconfigLookups(), asked + 1);
  EXPECT_TRUE(gdi::ParseFontMatches(ReadFile(file), kept));

  if (oldHome) setenv("HOME", oldHome, 1);
  else unsetenv("HOME");
  gdi::ForgetFontMatches();
}
