// The rich-text draw command, the rich-edit controls the library creates and
// the RTF engine that formats their ranges into device contexts.
#include <algorithm>
#include <cstring>

#include "platform/classes/sysutils.h"
#include "platform/gdi/engine.h"
#include "report/model/ppUtils.h"
#include "report/output/ppDrwCmd.h"
#include "report/output/ppDrwCmdProps.h"
#include "report/output/ppPrintr.h"
#include "report/output/ppPrnDev.h"

CLS_IMPLEMENT_COMPONENT(TppRichEdit)
CLS_IMPLEMENT_CLASS(TppRichEditUtils)
CLS_IMPLEMENT_COMPONENT(TppDrawRichText)

namespace {

// Kept until ppRichEditFinalize (never freed by a static destructor).
cls::TClass richEditClass = nullptr;
TppRichEditUtils* utils = nullptr;
ui::TRichEdit* shared = nullptr;

int Twips(int pixels, int ppi) { return static_cast<int>(int64_t{pixels} * 1440 / std::max(ppi, 1)); }

}  // namespace

// ---- controls ----

std::recursive_mutex& ppRichEditLock() {
  static std::recursive_mutex lock;
  return lock;
}

void TppRichEditUtils::ProtectChangeHandler(cls::TObject*, int, int, bool& AllowChange) { AllowChange = true; }

void ppSetRichEditClass(cls::TClass c) {
  std::lock_guard<std::recursive_mutex> hold(ppRichEditLock());
  richEditClass = c;
}

cls::TClass ppRichEditClass() {
  std::lock_guard<std::recursive_mutex> hold(ppRichEditLock());
  return richEditClass ? richEditClass : &TppRichEdit::StaticClass();
}

ui::TRichEdit* CreateRichEdit(cls::TComponent* owner) {
  std::lock_guard<std::recursive_mutex> hold(ppRichEditLock());
  ui::RegisterRichEditClass();
  cls::TClass c = ppRichEditClass();
  ui::TRichEdit* edit = nullptr;
  if (c->Create && c->InheritsFrom(&ui::TRichEdit::StaticClass()))
    edit = static_cast<ui::TRichEdit*>(c->Create(owner));
  if (!edit) edit = new TppRichEdit(owner);
  if (!utils) utils = new TppRichEditUtils();
  cls::SetMethodProp(
      edit, "OnProtectChange",
      ui::TRichEditProtectChange(utils, &TppRichEditUtils::ProtectChangeHandler).Method());
  return edit;
}

ui::TRichEdit* CreateHiddenRichEdit(cls::TComponent* owner) {
  std::lock_guard<std::recursive_mutex> hold(ppRichEditLock());
  ui::TRichEdit* edit = CreateRichEdit(owner);
  edit->SetVisible(false);
  edit->SetParent(nullptr);
  edit->SetBounds(-1500, -1500, edit->Width(), edit->Height());
  return edit;
}

ui::TRichEdit* ppSharedRichEdit() {
  std::lock_guard<std::recursive_mutex> hold(ppRichEditLock());
  if (!shared) shared = CreateHiddenRichEdit(nullptr);
  return shared;
}

void ppRichEditFinalize() {
  std::lock_guard<std::recursive_mutex> hold(ppRichEditLock());
  if (shared) shared->Free();
  shared = nullptr;
  if (utils) utils->Free();
  utils = nullptr;
  richEditClass = nullptr;
}

// ---- the RTF engine ----

int TppRTFEngine::FormatRange(ui::TRichEdit* richEdit, win::HDC dc, bool render, int first, int last,
                              const win::RECT& rect, win::HDC targetDC, int* height) {
  std::lock_guard<std::recursive_mutex> hold(ppRichEditLock());
  if (height) *height = 0;
  if (!richEdit || !dc) return first;
  int ppiX = win::GetDeviceCaps(dc, win::LOGPIXELSX), ppiY = win::GetDeviceCaps(dc, win::LOGPIXELSY);
  win::RECT twips{Twips(rect.left, ppiX) + 45, Twips(rect.top, ppiY), Twips(rect.right, ppiX),
                  Twips(rect.bottom, ppiY)};
  richedit::FormatResult r =
      richEdit->Document().FormatRange(dc, targetDC ? targetDC : dc, twips, first, last, render);
  if (height) *height = r.height;
  return r.next;
}

int TppRTFEngine::UsedHeight(ui::TRichEdit* richEdit, win::HDC dc, const win::RECT& rect, int first, int last) {
  std::lock_guard<std::recursive_mutex> hold(ppRichEditLock());
  if (!richEdit) return 0;
  const richedit::Document& doc = richEdit->Document();
  last = std::min(last, doc.Length() - 1);
  // Trailing empty lines take no space; the mark that ends the last line
  // stays, since drawing lays that line at the mark's height too.
  auto isMark = [&](int pos) {
    std::string c = doc.TextRange(pos, pos);
    return c == "\r" || c == "\v";
  };
  while (last >= first && last >= 0 && isMark(last) && (last == first || isMark(last - 1))) --last;
  if (last < first) return 0;
  int height = 0;
  FormatRange(richEdit, dc, false, first, last, rect, dc, &height);
  return height;
}

bool TppRTFEngine::FitRange(ui::TRichEdit* richEdit, win::HDC dc, int& lastFitting, int& usedHeight,
                            const win::RECT& rect, int first, int last) {
  std::lock_guard<std::recursive_mutex> hold(ppRichEditLock());
  int next = FormatRange(richEdit, dc, false, first, last, rect, dc);
  bool fits = next > last;
  if (!fits && richEdit) {
    std::string rest = richEdit->Document().TextRange(next, last);
    fits = rest == "\r" || rest == "\v";
  }
  if (fits) {
    usedHeight = UsedHeight(richEdit, dc, rect, first, last);
  } else {
    lastFitting = next - 1;
    usedHeight = std::max(0, rect.bottom - rect.top);
  }
  return fits;
}

gdi::TColor TppRTFEngine::SetSelBackColor(ui::TRichEdit* richEdit, gdi::TColor color, bool& changed) {
  std::lock_guard<std::recursive_mutex> hold(ppRichEditLock());
  changed = false;
  if (!richEdit) return gdi::clNone;
  std::optional<win::COLORREF> old = richEdit->SelAttributes().back;
  std::optional<win::COLORREF> now;
  if (color != gdi::clNone) now = gdi::ColorToRGB(color);
  changed = old != now;
  richEdit->Document().ChangeSelectionFormat([&](richedit::CharFormat& f) { f.back = now; });
  return old ? static_cast<gdi::TColor>(*old) : gdi::clNone;
}

// ---- the draw command ----

TppDrawRichText::TppDrawRichText(cls::TComponent* owner) : TppDrawCommand(owner) { SetDataType(dtBLOB); }

void TppDrawRichText::Assign(cls::TPersistent* source) {
  inherited::Assign(source);
  auto* from = cls::ObjectAs<TppDrawRichText>(source);
  if (!from || from == this) return;
  color_ = from->color_;
  endCharPos_ = from->endCharPos_;
  startCharPos_ = from->startCharPos_;
  transparent_ = from->transparent_;
  stream_.Clear();
  stream_.CopyFrom(&from->stream_, 0);
}

bool TppDrawRichText::IsSameAs(TppDrawCommand* other) {
  if (!inherited::IsSameAs(other)) return false;
  auto* o = cls::ObjectAs<TppDrawRichText>(other);
  if (!o || color_ != o->color_ || endCharPos_ != o->endCharPos_ || startCharPos_ != o->startCharPos_ ||
      transparent_ != o->transparent_ || stream_.Size() != o->stream_.Size())
    return false;
  richedit::Document mine, theirs;
  mine.Load(stream_.DataString());
  theirs.Load(o->stream_.DataString());
  return mine.Lines() == theirs.Lines();
}

void TppDrawRichText::ReadStream(cls::TStream& s) {
  stream_.Clear();
  int32_t length = 0;
  s.ReadBuffer(&length, 4);
  if (length < 0 || length > s.Size() - s.Position())
    throw cls::EReadError("RTFStream: length " + std::to_string(length) + " beyond the data");
  if (length > 0) stream_.CopyFrom(&s, length);
  stream_.SetPosition(0);
}

void TppDrawRichText::WriteStream(cls::TStream& s) {
  int64_t size = stream_.Size();
  int32_t length = static_cast<int32_t>(std::min<int64_t>(size, INT32_MAX));
  s.WriteBuffer(&length, 4);
  if (length > 0) s.WriteBuffer(stream_.Memory(), length);
}

void TppDrawRichText::DefineProperties(cls::TFiler* filer) {
  inherited::DefineProperties(filer);
  filer->DefineBinaryProperty(
      "RTFStream", [this](cls::TStream& s) { ReadStream(s); }, [this](cls::TStream& s) { WriteStream(s); }, true);
}

bool TppDrawRichText::Draw(TppDevice* device) {
  if (auto* printer = cls::ObjectAs<TppPrinterDevice>(device)) return DrawToPrinter(printer);
  if (auto* screen = dynamic_cast<IppScreenDrawing*>(device)) return DrawToScreen(screen);
  return false;
}

ui::TRichEdit* TppDrawRichText::LoadShared() {
  ui::TRichEdit* edit = ppSharedRichEdit();
  if (stream_.Size() > 0) edit->SetMaxLength(static_cast<int>(std::min<int64_t>(stream_.Size(), INT32_MAX)));
  edit->Document().Load(stream_.DataString());
  return edit;
}

bool TppDrawRichText::DrawToPrinter(TppPrinterDevice* device) {
  if (!device || !device->Canvas()) return false;
  gdi::TCanvas* canvas = device->Canvas();
  device->CalcDeviceRect(this);
  TppRect r = GetDrawRect();
  win::RECT rect{r.Left, r.Top, r.Right, r.Bottom};
  std::lock_guard<std::recursive_mutex> hold(ppRichEditLock());
  ui::TRichEdit* edit = LoadShared();
  gdi::TFont font(canvas->Font);
  if (!transparent_) {
    canvas->CopyMode = win::SRCCOPY;
    canvas->Brush.Color = color_;
    canvas->Brush.Style = gdi::TBrushStyle::bsSolid;
    canvas->FillRect(rect);
  } else {
    canvas->CopyMode = win::SRCAND;
  }
  canvas->Brush.Style = gdi::TBrushStyle::bsClear;
  canvas->RequireState();
  TppRTFEngine::FormatRange(edit, canvas->Handle(), true, startCharPos_, endCharPos_, rect, canvas->Handle());
  canvas->Font.Assign(font);
  return true;
}

bool TppDrawRichText::DrawToScreen(IppScreenDrawing* screen) {
  if (!screen) return false;
  gdi::TCanvas* canvas = screen->ScreenCanvas();
  if (!canvas) return true;
  // The reference: the global printer for the page's setup, else the screen.
  win::HDC reference = nullptr, screenDC = nullptr;
  TppPrinter* printer = ppGetGlobalPrinter();
  if (printer && Page() && Page()->PrinterSetup()) printer->SetPrinterSetup(Page()->PrinterSetup());
  if (printer && printer->GetCanvas()) reference = printer->GetCanvas()->Handle();
  if (!reference) reference = screenDC = win::GetDC(nullptr);
  int ppiX = win::GetDeviceCaps(reference, win::LOGPIXELSX), ppiY = win::GetDeviceCaps(reference, win::LOGPIXELSY);
  int w = static_cast<int>(int64_t{Width()} * ppiX / 25400), h = static_cast<int>(int64_t{Height()} * ppiY / 25400);
  screen->CalcDeviceRect(this);
  TppRect r = GetDrawRect();
  if (w > 0 && h > 0 && w <= gdi::RasterEngine::kMaxSide && h <= gdi::RasterEngine::kMaxSide &&
      int64_t{w} * h <= TppDrawImage::kMaxBitmapPixels) {
    gdi::TMetafile metafile;
    metafile.SetSize(w, h);
    {
      std::lock_guard<std::recursive_mutex> hold(ppRichEditLock());
      ui::TRichEdit* edit = LoadShared();
      gdi::TMetafileCanvas mc(metafile, reference);
      if (!transparent_) {
        mc.CopyMode = win::SRCCOPY;
        mc.Brush.Color = color_;
        mc.FillRect({0, 0, w, h});
      }
      mc.Brush.Style = gdi::TBrushStyle::bsClear;
      mc.RequireState();
      TppRTFEngine::FormatRange(edit, mc.Handle(), true, startCharPos_, endCharPos_, {0, 0, w, h}, reference);
    }
    win::RECT dest{r.Left, r.Top, r.Right, r.Bottom};
    if (!transparent_) {
      canvas->CopyMode = win::SRCCOPY;
      canvas->StretchDraw(dest, metafile);
    } else {
      gdi::TBitmap bitmap;
      bitmap.SetSize(w, h);
      metafile.Draw(bitmap.Canvas(), {0, 0, w, h});
      canvas->CopyMode = win::SRCAND;
      canvas->StretchDraw(dest, bitmap);
    }
  }
  if (screenDC) win::ReleaseDC(nullptr, screenDC);
  return true;
}

void ppRegisterRichTextCommand() {
  static std::once_flag once;
  std::call_once(once, [] {
    using namespace ppDrwCmdProps;
    using D = TppDrawRichText;
    ui::RegisterRichEditClass();
    cls::RegisterClass(&TppDrawRichText::StaticClass());
    cls::RegisterClass(&TppRichEdit::StaticClass());
    auto& c = D::StaticClass();
    cls::PublishProperty(c, cls::OrdProperty("Color", cls::TypeInfoInteger(), &D::Color, &D::SetColor));
    cls::PublishProperty(c, Int("EndCharPos", &D::EndCharPos, &D::SetEndCharPos, -1));
    cls::PublishProperty(c, Int("StartCharPos", &D::StartCharPos, &D::SetStartCharPos, -1));
    cls::PublishProperty(c, Bool("Transparent", &D::Transparent, &D::SetTransparent));
  });
}
