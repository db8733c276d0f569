// Fonts, pens, brushes, bitmaps and regions: live handles from creation to
// DeleteObject, selection into contexts, stock objects.
#include <algorithm>
#include <cstring>
#include <mutex>

#include "dc_internal.h"

namespace win {
namespace {

// Every object from its creation until DeleteObject; stock objects stay
// (kept past static destruction, as contexts are).
LiveHandles<GdiObject>& Objects() {
  static auto* live = new LiveHandles<GdiObject>;
  return *live;
}

GdiObject* NewStock(GdiObject::Kind kind) {
  GdiObject* o = NewObject(kind);
  o->stock = true;
  return o;
}

}  // namespace

GdiObject* NewObject(GdiObject::Kind kind) { return Objects().Add(new GdiObject(kind)); }

bool ValidObject(const GdiObject* object) { return Objects().Check(object); }

bool ValidObject(const GdiObject* object, GdiObject::Kind kind) {
  if (LiveObject(object, kind)) return true;
  SetLastError(ERROR_INVALID_HANDLE);
  return false;
}

bool LiveObject(const GdiObject* object, GdiObject::Kind kind) {
  return Objects().Contains(object) && object->kind == kind;
}

GdiObject* DefaultBitmap() {
  static GdiObject* bitmap = [] {
    GdiObject* o = NewStock(GdiObject::Bitmap);
    o->bmWidth = o->bmHeight = 1;
    return o;
  }();
  return bitmap;
}

GdiObject* Stock(int which) {
  static GdiObject* objs[20] = {};
  static std::once_flag once;
  std::call_once(once, [] {
    objs[WHITE_BRUSH] = NewStock(GdiObject::Brush), objs[WHITE_BRUSH]->brush.color = 0xFFFFFF;
    objs[BLACK_BRUSH] = NewStock(GdiObject::Brush), objs[BLACK_BRUSH]->brush.color = 0;
    objs[NULL_BRUSH] = NewStock(GdiObject::Brush), objs[NULL_BRUSH]->brush.style = BS_NULL;
    objs[WHITE_PEN] = NewStock(GdiObject::Pen), objs[WHITE_PEN]->pen.color = 0xFFFFFF;
    objs[BLACK_PEN] = NewStock(GdiObject::Pen), objs[BLACK_PEN]->pen.color = 0;
    objs[NULL_PEN] = NewStock(GdiObject::Pen), objs[NULL_PEN]->pen.style = PS_NULL;
    objs[SYSTEM_FONT] = NewStock(GdiObject::Font);
    std::strcpy(objs[SYSTEM_FONT]->font.lfFaceName, "MS Sans Serif");
    objs[SYSTEM_FONT]->font.lfHeight = -13;
  });
  return which >= 0 && which < 20 ? objs[which] : nullptr;
}

void CountSelections(const DcState& s, int delta) {
  for (GdiObject* o : {s.font_, s.pen_, s.brush_, s.bitmap_})
    if (o) o->selections += delta;
}

HFONT CreateFontIndirectA(const LOGFONTA* font) {
  if (!font) return nullptr;
  GdiObject* o = NewObject(GdiObject::Font);
  o->font = *font;
  return o;
}

HPEN CreatePen(int style, int width, COLORREF color) {
  GdiObject* o = NewObject(GdiObject::Pen);
  o->pen = {style, width, color};
  return o;
}

HBRUSH CreateSolidBrush(COLORREF color) { return CreateBrushStyle(BS_SOLID, color); }

HBRUSH CreateHatchBrush(int hatch, COLORREF color) {
  HBRUSH b = CreateBrushStyle(BS_HATCHED, color);
  b->brush.hatch = hatch;
  return b;
}

HBRUSH CreateBrushStyle(int style, COLORREF color) {
  GdiObject* o = NewObject(GdiObject::Brush);
  o->brush.style = style;
  o->brush.color = color;
  return o;
}

HGDIOBJ GetStockObject(int which) { return Stock(which); }

HGDIOBJ SelectObject(HDC dc, HGDIOBJ obj) {
  if (!Valid(dc) || !ValidObject(obj)) return nullptr;
  HGDIOBJ* slot = nullptr;
  switch (obj->kind) {
    case GdiObject::Font:
      slot = &dc->st.font_;
      dc->st.font = obj->font;
      break;
    case GdiObject::Pen:
      slot = &dc->st.pen_;
      dc->st.pen = obj->pen;
      break;
    case GdiObject::Brush:
      slot = &dc->st.brush_;
      dc->st.brush = obj->brush;
      break;
    case GdiObject::Bitmap:
      if (dc->kind != DeviceContext::Memory) return nullptr;
      slot = &dc->st.bitmap_;
      break;
    case GdiObject::Region:
      SelectClipRgn(dc, obj);
      return obj;
  }
  HGDIOBJ prev = *slot;
  *slot = obj;
  ++obj->selections;
  if (prev) --prev->selections;
  if (obj->kind == GdiObject::Bitmap) dc->TargetBitmap();
  return prev;
}

HGDIOBJ GetCurrentObject(HDC dc, unsigned type) {
  if (!Valid(dc)) return nullptr;
  switch (type) {
    case OBJ_PEN: return dc->st.pen_;
    case OBJ_BRUSH: return dc->st.brush_;
    case OBJ_FONT: return dc->st.font_;
    case OBJ_BITMAP: return dc->st.bitmap_;
  }
  SetLastError(ERROR_INVALID_PARAMETER);
  return nullptr;
}

bool DeleteObject(HGDIOBJ obj) {
  if (!ValidObject(obj)) return false;
  if (obj->stock) return true;
  // Still selected into a context: refused, as the system does, so that the
  // context never draws with freed memory.
  if (obj->selections > 0) return false;
  if (!Objects().Remove(obj)) return false;
  delete obj;
  return true;
}

HRGN CreateRectRgn(int l, int t, int r, int b) {
  GdiObject* o = NewObject(GdiObject::Region);
  o->rect = {std::min(l, r), std::min(t, b), std::max(l, r), std::max(t, b)};
  return o;
}

}  // namespace win
