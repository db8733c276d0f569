// What a person reads in a form's PNG, checked by the texts the form draws
// (recorded with their positions) and by the pixels of its picture: every
// button reads something, no "&" is drawn, no Big5 character comes out as
// the hollow box of a face that lacks it, and no text runs over another
// text or past the edge of the control that draws it.
#pragma once
#include <gtest/gtest.h>

#include <algorithm>
#include <cctype>
#include <cstdint>
#include <cstdlib>
#include <map>
#include <optional>
#include <string>
#include <vector>

#include "platform/gdi/canvas.h"
#include "platform/gdi/gdi.h"
#include "platform/sysroot/codepage.h"
#include "platform/sysroot/sysroot.h"
#include "platform/ui/controls.h"

namespace picture_checks {

struct Text {
  gdi::TextOp op;
  win::RECT rect;  // the cells it fills
  std::optional<win::RECT> clip;
};

inline std::vector<Text> DrawnTexts(ui::TControl* form) {
  win::HDC dc = gdi::CreateMetafileDC(nullptr);
  {
    gdi::TCanvas canvas;
    canvas.SetHandle(dc);
    form->PaintTo(canvas, 0, 0);
  }
  std::vector<Text> out;
  for (const gdi::Op& op : gdi::CloseMetafileDC(dc))
    if (const auto* t = op.As<gdi::TextOp>(); t && !t->text.empty()) {
      int width = 0;
      for (int a : t->advances) width += a;
      out.push_back({*t, {t->origin.x, t->origin.y, t->origin.x + width, t->origin.y + t->ascent + t->descent}, op.clip});
    }
  return out;
}

// The control's rectangle in the form's pixels.
inline win::RECT FormRect(const ui::TControl* c, const ui::TControl* form) {
  int x = 0, y = 0;
  for (const ui::TControl* p = c; p && p != form; p = p->Parent()) {
    x += p->Left();
    y += p->Top();
  }
  return {x, y, x + c->Width(), y + c->Height()};
}

inline bool Inside(const win::PT& p, const win::RECT& r) {
  return p.x >= r.left && p.x < r.right && p.y >= r.top && p.y < r.bottom;
}

inline bool Overlap(const win::RECT& a, const win::RECT& b) {
  return std::max(a.left, b.left) < std::min(a.right, b.right) && std::max(a.top, b.top) < std::min(a.bottom, b.bottom);
}

// The shown buttons of the form (within shown parents).
inline void ShownButtons(ui::TWinControl* w, std::vector<ui::TButton*>& out) {
  for (ui::TControl* c : w->Controls()) {
    if (!c->Visible()) continue;
    if (auto* b = dynamic_cast<ui::TButton*>(c)) out.push_back(b);
    else if (auto* wc = dynamic_cast<ui::TWinControl*>(c)) ShownButtons(wc, out);
  }
}

// The ink of a character cell is a hollow rectangle: what a face draws
// for a character it lacks. Ink: pixels far from the cell's commonest
// colour.
inline bool HollowBox(const std::vector<std::uint32_t>& px, int width, int height, const win::RECT& cell) {
  const int l = std::max(0, static_cast<int>(cell.left)), t = std::max(0, static_cast<int>(cell.top));
  const int r = std::min(width, static_cast<int>(cell.right)), b = std::min(height, static_cast<int>(cell.bottom));
  if (r - l < 4 || b - t < 4) return false;
  std::map<std::uint32_t, int> counts;
  for (int y = t; y < b; ++y)
    for (int x = l; x < r; ++x) ++counts[px[static_cast<size_t>(y) * width + x] & 0xFFFFFF];
  const std::uint32_t bg =
      std::max_element(counts.begin(), counts.end(), [](auto& p, auto& q) { return p.second < q.second; })->first;
  auto ink = [&](int x, int y) {
    const std::uint32_t p = px[static_cast<size_t>(y) * width + x] & 0xFFFFFF;
    int d = 0;
    for (int s = 0; s < 24; s += 8) d += std::abs(static_cast<int>((p >> s) & 0xFF) - static_cast<int>((bg >> s) & 0xFF));
    return d > 150;
  };
  int x0 = r, x1 = -1, y0 = b, y1 = -1;
  for (int y = t; y < b; ++y)
    for (int x = l; x < r; ++x)
      if (ink(x, y)) x0 = std::min(x0, x), x1 = std::max(x1, x), y0 = std::min(y0, y), y1 = std::max(y1, y);
  if (x1 - x0 < 3 || y1 - y0 < 3) return false;
  for (int y = y0 + 2; y <= y1 - 2; ++y)
    for (int x = x0 + 2; x <= x1 - 2; ++x)
      if (ink(x, y)) return false;
  return true;
}

// Every check on FORM as it is now; failures name WHAT.
inline void ExpectReadable(ui::TWinControl* form, const std::string& what) {
  SCOPED_TRACE(what);
  const std::vector<Text> texts = DrawnTexts(form);
  EXPECT_FALSE(texts.empty());
  for (const Text& t : texts) EXPECT_EQ(t.op.text.find('&'), std::string::npos) << "drawn: " << t.op.text;

  std::vector<ui::TButton*> buttons;
  ShownButtons(form, buttons);
  for (ui::TButton* b : buttons) {
    auto* speed = dynamic_cast<ui::TSpeedButton*>(b);
    if (speed && !speed->Glyph().Empty()) continue;  // a picture, no caption
    if (b->Width() <= 0 || b->Height() <= 0) continue;
    const win::RECT r = FormRect(b, form);
    const bool reads = std::any_of(texts.begin(), texts.end(), [&](const Text& t) { return Inside(t.op.origin, r); });
    EXPECT_TRUE(reads) << "blank button " << b->Name();
  }

  for (size_t i = 0; i < texts.size(); ++i) {
    const Text& a = texts[i];
    if (a.clip) {
      // Cut by its control's edge (a glyph cell may overhang by a pixel).
      const win::RECT& c = *a.clip;
      EXPECT_TRUE(a.rect.left >= c.left - 1 && a.rect.right <= c.right + 1 && a.rect.top >= c.top - 1 &&
                  a.rect.bottom <= c.bottom + 1)
          << "cut: \"" << cp::Big5ToUtf8(a.op.text) << "\" at " << a.rect.left << "," << a.rect.top << "-"
          << a.rect.right << "," << a.rect.bottom << " in " << c.left << "," << c.top << "-" << c.right << ","
          << c.bottom;
    }
    // The underlined accelerator is drawn over its own caption.
    if (a.op.underline) continue;
    for (size_t j = i + 1; j < texts.size(); ++j) {
      if (texts[j].op.underline) continue;
      EXPECT_FALSE(Overlap(a.rect, texts[j].rect))
          << "\"" << cp::Big5ToUtf8(a.op.text) << "\" over \"" << cp::Big5ToUtf8(texts[j].op.text) << "\"";
    }
  }

  // ZOLMET_KEEP_PICTURES=FOLDER keeps each picture there for a person to look at.
  if (const char* keep = std::getenv("ZOLMET_KEEP_PICTURES")) {
    std::string name = what;
    std::replace_if(name.begin(), name.end(), [](char ch) { return !std::isalnum(static_cast<unsigned char>(ch)); }, '-');
    form->SaveToPng(sysroot::WinPath(std::string(keep) + "/" + name + ".png"));
  }
  gdi::TBitmap picture;
  form->PaintToBitmap(picture);
  const std::vector<std::uint32_t> px = picture.Pixels();
  for (const Text& t : texts) {
    int x = t.rect.left;
    for (size_t k = 0; k < t.op.text.size(); ++k) {
      const int advance = k < t.op.advances.size() ? t.op.advances[k] : 0;
      if (cp::IsBig5Lead(static_cast<unsigned char>(t.op.text[k])) && k + 1 < t.op.text.size()) {
        const win::RECT cell{x, t.rect.top, x + advance, t.rect.bottom};
        EXPECT_FALSE(HollowBox(px, picture.Width(), picture.Height(), cell))
            << "a box for a Big5 character of \"" << cp::Big5ToUtf8(t.op.text) << "\"";
        ++k;
      }
      x += advance;
    }
  }
}

}  // namespace picture_checks
