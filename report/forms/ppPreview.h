// The print preview: the icons of its toolbar drawn by code, the plug-in
// that builds the controls inside the preview form and carries out the
// toolbar's actions (TppCustomPreview, TppPreview), the registry of the
// plug-in and search pane classes, and the form TppPrintPreview.
#pragma once
#include <cstdint>
#include <memory>

#include "platform/classes/classes.h"
#include "platform/gdi/canvas.h"
#include "platform/ui/comctrls.h"
#include "platform/ui/controls.h"
#include "platform/ui/extctrls.h"
#include "report/model/ppComm.h"
#include "report/model/ppForms.h"
#include "report/model/ppTypes.h"
#include "report/model/ppUtilsDraw.h"

class TppCustomSearchPreview;
class TppCustomPreview;
class TppOutlineViewer;
class TppProducer;
class TppViewer;

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

// A printer.
class TppPrinterIcon : public TppPreviewIcon {
 protected:
  void DrawGlyph() override;
};
// A grid of fields.
class TppAutoSearchIcon : public TppPreviewIcon {
 protected:
  void DrawGlyph() override;
};
// A page with text lines under a lens, enabled and disabled.
class TppTextSearchIcon : public TppDoubleGlyphIcon {
 protected:
  void DrawGlyphAt(int x, gdi::TColor color) override;
};
// A lens at the bottom right over a page drawn by the descendant.
class TppZoomIcon : public TppPreviewIcon {
 protected:
  void DrawGlyph() override;
  virtual void DrawPage() {}
};
class TppZoomWholePageIcon : public TppZoomIcon {
 protected:
  void DrawPage() override;
};
class TppZoomPageWidthIcon : public TppZoomIcon {
 protected:
  void DrawPage() override;
};
class TppZoom100PercentIcon : public TppZoomIcon {
 protected:
  void DrawPage() override;
};

// What the preview and its search pane build their controls with: a
// control of class C named NAME, owned by OWNER, on PARENT (when given).
template <class C>
C* ppMakeControl(cls::TComponent* owner, ui::TWinControl* parent, const char* name) {
  auto* c = new C(owner);
  c->SetName(name);
  if (parent) c->SetParent(parent);
  return c;
}

// The button's glyph: the icon class ICON, holding GLYPHS pictures.
template <class Icon>
void ppSetGlyph(ui::TSpeedButton* b, int glyphs) {
  b->SetGlyph(*TppPreviewIcon::GetGlyph<Icon>());
  b->SetNumGlyphs(glyphs);
}

// A status bar the preview can show its texts on: a second panel beside
// a first one, 275 wide and left aligned. A simple-panel bar raises
// ESearchError with REFUSAL.
void ppPrepareStatusBar(ui::TStatusBar* bar, const char* refusal);

// The class registry of the preview: the plug-in's class (TppPreview by
// default) and the search pane's class.
class TppPreviewPlugIn {
 public:
  static void RegisterPreviewPlugInClass(cls::TClass plugInClass);
  static void UnregisterPreviewPlugInClass();
  static cls::TClass PreviewPlugInClass();
  // A plug-in of the registered class hosted by PARENT (TppPreview when
  // none is registered), its controls built once it is whole.
  static TppCustomPreview* CreatePreviewPlugIn(ui::TWinControl* parent);
  static void RegisterSearchPreviewClass(cls::TClass searchPreviewClass);
  static void UnregisterSearchPreviewClass();
  static cls::TClass SearchPreviewClass();
  // A search preview of the registered class owned by OWNER; nullptr when
  // none is registered.
  static TppCustomSearchPreview* CreateSearchPreview(cls::TComponent* owner);
};

// The preview's actions; toolbar controls carry theirs in Tag.
enum TppPreviewAction : int {
  paPrint = 0,
  paAutoSearch = 1,
  paTextSearch = 2,
  paWholePage = 3,
  paPageWidth = 4,
  pa100Percent = 5,
  paFirst = 6,
  paPrior = 7,
  paNext = 8,
  paLast = 9,
  paCancel = 10,
  paClose = 11
};

// The preview plug-in: owns the page viewer inside its parent form, hears
// the viewer's events (94-97) and the search pane's (102, 103) and carries
// out the actions. Its search pane is refused to outside frees.
class TppCustomPreview : public TppCommunicator {
  CLS_DECLARE_CLASS(TppCustomPreview, TppCommunicator)
 public:
  // PARENT is the hosting form (a window control); controls are made with
  // it as owner.
  explicit TppCustomPreview(cls::TComponent* parent);
  ~TppCustomPreview() override;
  void BeforeDestruction() override;
  void EventNotify(TppCommunicator* sender, int eventId, TraParamList* params) override;
  void Notification(cls::TComponent* c, cls::TOperation op) override;

  cls::TNotifyEvent AfterPrint;
  cls::TNotifyEvent BeforePrint;
  cls::TNotifyEvent OnClose;
  cls::TNotifyEvent OnPageChange;

  ui::TWinControl* Parent() const { return parent_; }
  TppViewer* Viewer() const { return viewer_; }
  TppProducer* Report() const { return report_; }
  ui::TStatusBar* StatusBar() const { return statusBar_; }
  void SetStatusBar(ui::TStatusBar* statusBar);
  // The search pane made so far (GetSearchPreview makes it).
  TppCustomSearchPreview* SearchPreview() const { return searchPreview_; }

  virtual TppCustomSearchPreview* GetSearchPreview();
  virtual void UpdateOutlinePanel() {}
  virtual bool GetOutlineVisible() { return false; }
  virtual void PageChangeEvent();
  virtual void PrintStateChangeEvent() {}
  virtual void SetOutlineVisible(bool) {}
  virtual void SearchPanelToggledEvent() {}
  virtual void StatusChangeEvent();
  virtual void ViewerRefreshEvent() {}
  virtual void ToggleSearchPanel();
  virtual void AfterPreview();
  virtual void BeforePreview();
  virtual void UpdateSearch();
  // Stops the search, generation or print under way (also the close road).
  virtual void Cancel();
  virtual void LanguageChanged();
  // The search pane hears of it before and after; a close first cancels
  // the generation or search under way.
  virtual void PerformAction(int action);
  virtual void Print();
  virtual void SetZoomSetting(TppZoomSettingType zoom);
  virtual void KeyDown(unsigned short& key, ui::TShiftState shift);
  void SetZoomPercentage(int percent);
  void GotoPage(int32_t pageNo);

  // A generation, a print from the preview or a search is under way.
  bool WorkUnderWay() const;

 protected:
  friend class TppPreviewPlugIn;
  // Builds the controls inside the parent; runs once the object is whole,
  // so a descendant's overrides take part.
  virtual void CreateControls() {}
  // Sends the search pane the before call and, on leaving, the after call.
  class TppActionScope;

 private:
  ui::TWinControl* parent_ = nullptr;
  ui::TStatusBar* statusBar_ = nullptr;
  TppViewer* viewer_ = nullptr;  // owned by the parent as a component
  TppProducer* report_ = nullptr;
  TppCustomSearchPreview* searchPreview_ = nullptr;  // owned
  bool printing_ = false;  // Print is under way
};

// The default plug-in: toolbar, outline pane, search panel, splitter and
// the page viewer. Made by TppPreviewPlugIn::CreatePreviewPlugIn, which
// builds its controls.
class TppPreview : public TppCustomPreview {
  CLS_DECLARE_CLASS(TppPreview, TppCustomPreview)
 public:
  explicit TppPreview(cls::TComponent* parent);
  void EventNotify(TppCommunicator* sender, int eventId, TraParamList* params) override;

  void UpdateOutlinePanel() override;
  bool GetOutlineVisible() override;
  void PageChangeEvent() override;
  void PrintStateChangeEvent() override;
  void SetOutlineVisible(bool visible) override;
  void SearchPanelToggledEvent() override;
  void ViewerRefreshEvent() override;
  void BeforePreview() override;
  void Cancel() override;
  void LanguageChanged() override;
  void SetZoomSetting(TppZoomSettingType zoom) override;

  virtual void EditKeyDown(cls::TObject* Sender, unsigned short& Key, ui::TShiftState Shift);
  virtual void PageNoKeyPress(cls::TObject* Sender, char& Key);
  virtual void ZoomKeyPress(cls::TObject* Sender, char& Key);
  virtual void ToolButtonClick(cls::TObject* Sender);
  virtual void LayoutSearchPanel();
  void UpdateToolbarVisibility();
  void FocusKeySink();

  ui::TPanel* pnlToolbar = nullptr;
  ui::TPanel* pnlButtons = nullptr;
  ui::TPanel* pnlLeft = nullptr;
  ui::TPanel* pnlSearch = nullptr;
  TppOutlineViewer* tvOutline = nullptr;
  ui::TSplitter* splViewer = nullptr;
  ui::TSpeedButton* btnPrint = nullptr;
  ui::TSpeedButton* btnAutoSearch = nullptr;
  ui::TSpeedButton* btnTextSearch = nullptr;
  ui::TSpeedButton* btnWholePage = nullptr;
  ui::TSpeedButton* btnPageWidth = nullptr;
  ui::TSpeedButton* btn100Percent = nullptr;
  ui::TSpeedButton* btnFirst = nullptr;
  ui::TSpeedButton* btnPrior = nullptr;
  ui::TSpeedButton* btnNext = nullptr;
  ui::TSpeedButton* btnLast = nullptr;
  ui::TButton* btnCancel = nullptr;
  ui::TMaskEdit* edtPageNo = nullptr;
  ui::TMaskEdit* edtZoom = nullptr;
  ui::TEdit* edtKeySink = nullptr;

  bool OutlineEnabled() const { return outlineEnabled_; }

 protected:
  // Panels, toolbar, outline viewer, splitter; the viewer's controls.
  void CreateControls() override;
  virtual void CreateOutlineViewer();
  virtual void CreatePanels();
  virtual void CreateToolbar();

 private:
  void KeySinkKeyPress(cls::TObject* Sender, char& Key);
  // The toolbar's hints in the current language.
  void SetHints();
  void ZoomButtonsDown();
  // Esc in the search pane's edits reaches the preview's keys too.
  void HookSearchKeys();

  bool built_ = false;
  bool initialising_ = false;
  bool searchPanelWidthApplied_ = false;
  bool outlineEnabled_ = true;
};

// The preview form: a status bar and the plug-in. Closing frees it once
// the work under way has stopped.
class TppPrintPreview : public TppCustomPreviewer {
  CLS_DECLARE_CLASS(TppPrintPreview, TppCustomPreviewer)
 public:
  explicit TppPrintPreview(cls::TComponent* AOwner);

  ui::TStatusBar* StatusBar() const { return statusBar_; }
  TppCustomPreview* PreviewPlugIn() const { return plugIn_; }

  void LanguageChanged() override;
  void ReportAssigned() override;
  cls::TObject* GetViewer() override;
  void Activate() override;
  // The work under way (pages, a search, a print) is cancelled first; the
  // form goes once it has unwound. The report's going (1126, 5050) closes
  // the form this way too.
  void Close() override;

 private:
  void FormCreate(cls::TObject* Sender);
  void FormClose(cls::TObject* Sender, ui::TCloseAction& Action);
  void FormDestroy(cls::TObject* Sender);
  void FormKeyDown(cls::TObject* Sender, unsigned short& Key, ui::TShiftState Shift);
  void PlugInClose(cls::TObject*) { Close(); }

  ui::TStatusBar* statusBar_ = nullptr;
  TppCustomPreview* plugIn_ = nullptr;  // owned
};

// Registers the plug-in and form classes (the forms layer's entry point
// calls it).
void ppRegisterPreviewUnit();
