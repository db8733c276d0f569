#include "report/forms/ppPreview.h"

#include <atomic>

#include "report/forms/ppTextSearchPreview.h"

// ---- icons ----

void TppPreviewIcon::DrawImage() {
  FillRect(0, 0, ImageWidth() - 1, ImageHeight() - 1, TransparentColor());
  DrawGlyph();
}

void TppDoubleGlyphIcon::DrawImage() {
  FillRect(0, 0, ImageWidth() - 1, ImageHeight() - 1, TransparentColor());
  DrawGlyphAt(0, EnabledColor());
  DrawGlyphAt(16, DisabledColor());
}

void TppDoubleGlyphIcon::Arrow(int tip, bool left, gdi::TColor color) {
  for (int k = 0; k < 5; ++k) {
    int x = left ? tip + k : tip - k;
    Line(x, 8 - k, x, 8 + k, color);
  }
}

void TppFirstIcon::DrawGlyphAt(int x, gdi::TColor color) {
  FillRect(x + 3, 3, x + 4, 13, color);
  Arrow(x + 6, true, color);
}

void TppPriorIcon::DrawGlyphAt(int x, gdi::TColor color) { Arrow(x + 5, true, color); }

void TppNextIcon::DrawGlyphAt(int x, gdi::TColor color) { Arrow(x + 10, false, color); }

void TppLastIcon::DrawGlyphAt(int x, gdi::TColor color) {
  Arrow(x + 9, false, color);
  FillRect(x + 11, 3, x + 12, 13, color);
}

// ---- plug-in classes ----

namespace {
std::atomic<cls::TClass> g_searchPreviewClass{nullptr};
}  // namespace

void TppPreviewPlugIn::RegisterSearchPreviewClass(cls::TClass searchPreviewClass) {
  g_searchPreviewClass.store(searchPreviewClass);
}

void TppPreviewPlugIn::UnregisterSearchPreviewClass() { g_searchPreviewClass.store(nullptr); }

cls::TClass TppPreviewPlugIn::SearchPreviewClass() { return g_searchPreviewClass.load(); }

TppCustomSearchPreview* TppPreviewPlugIn::CreateSearchPreview(cls::TComponent* owner) {
  cls::TClass c = SearchPreviewClass();
  if (!c || !c->Create || !c->InheritsFrom(&TppCustomSearchPreview::StaticClass())) return nullptr;
  return static_cast<TppCustomSearchPreview*>(c->Create(owner));
}
