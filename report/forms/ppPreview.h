// The print preview's unit, as far as the text search needs it now: the
// preview icons drawn by code (single glyphs and the two-glyph first,
// prior, next and last arrows) and the class registry through which the
// preview plug-in makes its search pane.
#pragma once
#include <memory>

#include "platform/classes/classes.h"
#include "platform/gdi/canvas.h"
#include "report/model/ppUtilsDraw.h"

class TppCustomSearchPreview;

// 16 x 16; clGreen is transparent.
class TppPreviewIcon : public TppMetaBitmap {
 public:
  virtual gdi::TColor TransparentColor() const { return gdi::clGreen; }
  // A new bitmap of the icon class T, for a button's Glyph.
  template <class T>
  static std::unique_ptr<gdi::TBitmap> GetGlyph() {
    return TppMetaBitmap::CreateBitmap<T>();
  }

 protected:
  // The transparent colour under the glyph, then the glyph.
  void DrawImage() override;
  virtual void DrawGlyph() {}
};

// 32 x 16, clBtnFace transparent: the glyph in the enabled colour on the
// left and in the disabled colour on the right.
class TppDoubleGlyphIcon : public TppPreviewIcon {
 public:
  int ImageWidth() const override { return 32; }
  gdi::TColor TransparentColor() const override { return gdi::clBtnFace; }
  virtual gdi::TColor EnabledColor() const { return gdi::clBlack; }
  virtual gdi::TColor DisabledColor() const { return gdi::clGray; }

 protected:
  void DrawImage() override;
  // One glyph with its left edge at X.
  virtual void DrawGlyphAt(int x, gdi::TColor color) = 0;
  // An arrow of five columns pointing left or right, its tip at column TIP.
  void Arrow(int tip, bool left, gdi::TColor color);
};

// A bar and an arrow to it; a single arrow; the same the other way.
class TppFirstIcon : public TppDoubleGlyphIcon {
 protected:
  void DrawGlyphAt(int x, gdi::TColor color) override;
};
class TppPriorIcon : public TppDoubleGlyphIcon {
 protected:
  void DrawGlyphAt(int x, gdi::TColor color) override;
};
class TppNextIcon : public TppDoubleGlyphIcon {
 protected:
  void DrawGlyphAt(int x, gdi::TColor color) override;
};
class TppLastIcon : public TppDoubleGlyphIcon {
 protected:
  void DrawGlyphAt(int x, gdi::TColor color) override;
};

// The class registry of the preview plug-in: the search pane's class.
class TppPreviewPlugIn {
 public:
  static void RegisterSearchPreviewClass(cls::TClass searchPreviewClass);
  static void UnregisterSearchPreviewClass();
  static cls::TClass SearchPreviewClass();
  // A search preview of the registered class owned by OWNER; nullptr when
  // none is registered.
  static TppCustomSearchPreview* CreateSearchPreview(cls::TComponent* owner);
};
