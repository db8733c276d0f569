// TppPrintable: the base of everything a band prints. It keeps the
// object's geometry in thousandths of a millimetre and shows it in the
// report's Units, holds its text, colour, font and data binding, and turns
// itself into a draw command on a page when the band engine prints it.
// Design-time operations serve a report designer attached to the report:
// without one they do nothing.
#pragma once
#include <cstdint>
#include <initializer_list>
#include <memory>
#include <string>
#include <vector>

#include "platform/classes/typinfo.h"
#include "platform/gdi/colors.h"
#include "report/model/ppCache.h"
#include "report/model/ppDesignControls.h"
#include "report/model/ppIntf.h"
#include "report/model/ppTypes.h"
#include "report/model/ppUtils.h"
#include "report/model/ppUtilsDraw.h"

class TppDataPipeline;
class TppDrawCommand;
class TppPage;
class TppPrinter;

// State flag of a design update (the report designer rebuilding controls).
constexpr uint16_t pstDesignUpdate = 8;

// Which property the designer edits in place.
constexpr uint8_t ppPropEditNone = 1;
constexpr uint8_t ppPropEditDataField = 2;

// A draw command made or clicked: (Sender, the command).
using TppDrawCommandEvent = cls::TMethodPointer<void(cls::TObject* Sender, cls::TObject* aDrawCommand)>;

class TppPrintable : public TppCacheable, public IppDesignComponent {
  CLS_DECLARE_CLASS(TppPrintable, TppCacheable)
 public:
  explicit TppPrintable(cls::TComponent* owner);
  // Unlinks the data pipeline, then frees what the object owns.
  void BeforeDestruction() override;

  // ---- properties ----
  cls::TAlignment Alignment() const { return alignment_; }
  bool AutoSize() const { return autoSize_; }
  const std::string& Caption() const { return caption_; }
  gdi::TColor Color() const { return color_; }
  const std::string& DataField() const { return dataField_; }
  TppDataPipeline* DataPipeline() const { return dataPipeline_; }
  const std::string& DataPipelineName() const { return dataPipelineName_; }
  uint8_t DefaultPropEditType() const { return defaultPropEditType_; }
  const std::string& DefaultPropName() const { return defaultPropName_; }
  cls::TClass DrawCommandClass() const { return drawCommandClass_; }
  void SetDrawCommandClass(cls::TClass c) { drawCommandClass_ = c; }
  bool DrawComponent() const { return drawComponent_; }
  void SetDrawComponent(bool v) { drawComponent_ = v; }
  // The font; its changes run FontChanged.
  TppFont* Font() { return &font_; }
  const TppFont* Font() const { return &font_; }
  bool ForceJustifyLastLine() const { return forceJustifyLastLine_; }
  bool GenerationComplete() const { return generationComplete_; }
  void SetGenerationComplete(bool v) { generationComplete_ = v; }
  cls::TObject* LookupPipeline() const { return nullptr; }
  bool OutOfSpace() const { return outOfSpace_; }
  void SetOutOfSpace(bool v) { outOfSpace_ = v; }
  bool OverFlow() const { return overFlow_; }
  void SetOverFlow(bool v) { overFlow_ = v; }
  bool ParentHeight() const { return parentHeight_; }
  bool ParentWidth() const { return parentWidth_; }
  const TppRect& PrintRect() const { return printRect_; }
  void SetPrintRect(const TppRect& r) { printRect_ = r; }
  bool ReprintOnOverFlow() const { return reprintOnOverFlow_; }
  bool ResetOnCompute() const { return resetOnCompute_; }
  bool ShiftWithParent() const { return shiftWithParent_; }
  int32_t SpaceUsed() const { return spaceUsed_; }
  bool StretchWithParent() const { return stretchWithParent_; }
  const std::string& Text() const { return text_; }
  TppTextAlignment TextAlignment() const { return textAlignment_; }
  bool Transparent() const { return transparent_; }
  TppUnitType Units() const { return units_; }
  bool Visible() const { return visible_; }
  void SetVisible(bool value);
  bool WordWrap() const { return wordWrap_; }
  int32_t ZOrder() const { return zOrder_; }
  void SetZOrder(int32_t v) { zOrder_ = v; }
  // Design-time objects (owned); none without a report designer.
  TppDesignControl* DesignControl() const { return designControl_; }
  TppSelectionObject* SelectionObject() const { return selectionObject_; }
  // The canvas of the design bitmap, sized to spWidth x spHeight.
  gdi::TCanvas& GetBitmapCanvas();

  // Geometry in thousandths of a millimetre.
  int32_t mmLeft() const { return mmLeft_; }
  int32_t mmTop() const { return mmTop_; }
  int32_t mmWidth() const { return mmWidth_; }
  int32_t mmHeight() const { return mmHeight_; }
  // Geometry in Units: Left and Width convert horizontally, Top and Height
  // vertically. While the object is read from a stream a setter stores the
  // value truncated and unconverted (old definitions held pixels there).
  float Left() const;
  float Top() const;
  float Width() const;
  float Height() const;
  void SetLeft(float value);
  void SetTop(float value);
  void SetWidth(float value);
  void SetHeight(float value);
  // Geometry in screen pixels.
  int32_t spLeft() const;
  int32_t spTop() const;
  int32_t spWidth() const;
  int32_t spHeight() const;
  void SetspLeft(int32_t value);
  void SetspTop(int32_t value);
  void SetspWidth(int32_t value);
  void SetspHeight(int32_t value);
  void SetspBounds(int32_t left, int32_t top, int32_t width, int32_t height);
  void SetBoundsInUnits(float left, float top, float width, float height);
  // The conversions with this object's printer (asked for printer pixels only).
  float FromMMThousandths(int32_t value, TppUnitType units, TppDirection direction) const;
  int32_t ToMMThousandths(float value, TppUnitType units, TppDirection direction) const;

  // Fires OnPrint, then sends OnPrint's event.
  void DoOnPrint();
  // Designer messages go to the control GetDesigner answers (wParam cut to
  // 16 bits); sent, the answer is the message's Result, 0 without one.
  intptr_t PerformDesignerMessage(uint32_t message, uint32_t wParam, cls::TObject* lParam);
  void PostDesignerMessage(uint32_t message, uint32_t wParam, cls::TObject* lParam);

  // ---- virtual operations, in slot order ----
  virtual void AdjustBounds();
  virtual void BoundsChange();
  virtual bool IsDataAvailable();
  virtual void CreateDrawCommand(TppPage* page);
  // Adds the class's items to MENU (made when nil; the caller owns it).
  virtual void CreatePopupMenu(TppPopupMenu*& menu);
  virtual void DoOnDrawCommandClick(cls::TObject* drawCommand);
  virtual void FontChanged();
  virtual void GetCaption(std::string& text);
  virtual TppDataPipeline* GetDataPipeline();
  virtual void GetDefaultPropHint(std::string& text);
  virtual std::string GetUserNameForDisplay();
  virtual cls::TObject* GetDesigner() = 0;
  virtual int GetLanguageIndex() = 0;
  // The printer of printer-pixel conversions; none here.
  virtual TppPrinter* GetPrinter() const;
  virtual void InvalidateDesignControl();
  virtual void PaintDesignControl(gdi::TCanvas* canvas);
  virtual void PropertiesToDrawCommand(TppDrawCommand* command);
  virtual void InitDrawComponent();
  virtual void SetAlignment(cls::TAlignment value);
  virtual void SetAutoSize(bool value);
  virtual void SetColor(gdi::TColor value);
  virtual void SetCaption(const std::string& value);
  virtual void SetDataField(const std::string& value);
  virtual void SetDataPipeline(TppDataPipeline* value);
  // Takes the font's attributes; nullptr is ignored.
  virtual void SetFont(const gdi::TFont* value);
  virtual void SetForceJustifyLastLine(bool value);
  virtual void SetmmHeight(int32_t value);
  virtual void SetmmLeft(int32_t value);
  virtual void SetmmTop(int32_t value);
  virtual void SetmmWidth(int32_t value);
  virtual void SetParentHeight(bool value);
  virtual void SetParentWidth(bool value);
  virtual void SetReprintOnOverFlow(bool value);
  virtual void SetResetOnCompute(bool value);
  virtual void SetShiftWithParent(bool value);
  virtual void SetSpaceUsed(int32_t value);
  virtual void SetStretchWithParent(bool value);
  virtual void SetTextAlignment(TppTextAlignment value);
  virtual void SetTransparent(bool value);
  virtual void SetWordWrap(bool value);
  virtual void SetUnits(TppUnitType value);
  // The design control's rectangle in screen pixels.
  virtual void GetDesignRect(TppRect& rect);
  virtual void UpdateDesignControl();
  virtual void GetDescription(std::string& text);
  virtual void UpdateDrawComponent();
  virtual bool CanJustify();
  virtual void ClearPrintState();
  virtual void Reset();
  virtual void UpdateDataFieldName(TppDataPipeline* pipeline, const std::string& oldName,
                                   const std::string& newName);
  virtual void ReplaceDataPipeline(TppDataPipeline* pipeline, const std::string& name);
  virtual void FreeDesignObjects();
  // One generation step on the current page.
  virtual void Generate() = 0;
  virtual void GetColorAndTransparency(gdi::TColor& color, bool& transparent);
  virtual void GetFontColorAndTransparency(gdi::TColor& color, bool& transparent);
  virtual void GetText(std::string& text);
  virtual void AddDataPipelineToList(std::vector<TppDataPipeline*>& list);
  virtual bool HasColor();
  virtual bool HasFont();
  virtual void InitGeneration();
  virtual void CreateDesignControl();
  virtual bool NeedsResetAtStart();
  virtual bool IsDataAware();
  virtual void UpdatePopupMenu(TppPopupMenu* menu);
  virtual bool IsPrinting();
  // Puts this object's draw command on PAGE when it is to be drawn.
  virtual void PrintToPage(TppPage* page);
  virtual void Changed();
  // Finds the pipeline named by the stream among LIST (names ignore case).
  virtual void ResolveDataPipeline(const std::vector<TppDataPipeline*>& list);
  virtual void SetBounds(int32_t left, int32_t top, int32_t width, int32_t height);
  virtual void SetText(const std::string& value);
  virtual void SetColorAndTransparency(gdi::TColor color, bool transparent);
  virtual void SetFontColor(gdi::TColor color);
  // Brings a definition of an older version up to date.
  virtual void Convert(int64_t version);

  // ---- overrides ----
  void Notify(TppCommunicator* communicator, uint8_t operation) override;
  void InvalidateDesign() override;
  void StateChanged(uint16_t flags) override;
  void Loaded() override;
  void DefineProperties(cls::TFiler* filer) override;
  // The design control freed elsewhere is forgotten.
  void Notification(cls::TComponent* c, cls::TOperation op) override;

  // ---- IppDesignComponent ----
  int32_t DesignColor() override { return color_; }
  int32_t DesignLeft() override { return spLeft(); }
  int32_t DesignTop() override { return spTop(); }

  // ---- events ----
  cls::TNotifyEvent OnPrint;
  TppDrawCommandEvent OnDrawCommandCreate;
  TppDrawCommandEvent OnDrawCommandClick;

  // Publishes on C the printable properties NAMES, in that order; each
  // descendant publishes its own subset. OnPrint is published here.
  static void PublishProperties(cls::TClassInfo& c, std::initializer_list<const char*> names);
  static void RegisterProperties();

 protected:
  void SetDefaultPropEditType(uint8_t v) { defaultPropEditType_ = v; }
  void SetDefaultPropName(const std::string& v) { defaultPropName_ = v; }
  // Stores without notices.
  void StoreCaption(const std::string& v) { caption_ = v; }
  void StoreText(const std::string& v) { text_ = v; }
  // Places the design control at the design rectangle moved to spLeft,
  // spTop.
  void PlaceDesignControl();

 private:
  bool Reading() const { return HasState(cls::csReading); }
  // A geometry setter in Units: while reading, VALUE truncated is stored
  // as it is; otherwise it is converted and SETTER is called.
  void SetGeometry(float value, TppDirection direction, int32_t& field, void (TppPrintable::*setter)(int32_t));
  void ReadOldAlignment(cls::TReader& reader);
  // The design control's paint handler: the design bitmap, repainted when
  // out of date.
  void PaintDesignBitmap(cls::TObject* sender, gdi::TCanvas* canvas);

  cls::TAlignment alignment_ = cls::taLeftJustify;
  bool autoSize_ = false;
  std::string caption_;
  gdi::TColor color_ = 0xFFFFFF;
  std::string dataField_;
  TppDataPipeline* dataPipeline_ = nullptr;
  std::string dataPipelineName_;
  uint8_t defaultPropEditType_ = ppPropEditNone;
  std::string defaultPropName_;
  cls::TClass drawCommandClass_ = nullptr;
  bool drawComponent_ = false;
  TppFont font_;
  bool forceJustifyLastLine_ = false;
  bool generationComplete_ = false;
  int32_t mmHeight_ = 0;
  int32_t mmLeft_ = 0;
  bool outOfSpace_ = false;
  bool overFlow_ = false;
  bool parentHeight_ = false;
  bool parentWidth_ = false;
  TppRect printRect_;
  bool reprintOnOverFlow_ = false;
  bool resetOnCompute_ = false;
  bool shiftWithParent_ = false;
  int32_t spaceUsed_ = 0;
  bool stretchWithParent_ = false;
  std::string text_;
  TppTextAlignment textAlignment_ = taLeftJustified;
  int32_t mmTop_ = 0;
  bool transparent_ = false;
  TppUnitType units_ = utInches;
  bool visible_ = true;
  int32_t mmWidth_ = 0;
  bool wordWrap_ = false;
  int32_t zOrder_ = 0;
  TppDesignControl* designControl_ = nullptr;
  TppSelectionObject* selectionObject_ = nullptr;
  std::unique_ptr<gdi::TBitmap> bitmap_;
  bool designPainted_ = false;
  int32_t drawnWidth_ = 0, drawnHeight_ = 0;  // mm size when last repainted
  // Names read from old definitions, used by Convert.
  std::string oldDataFieldName_;
  std::string oldDataSourceName_;
};

// ---- scripting ----

class TraTppPrintableRTTI : public TraTppCacheableRTTI {
  RA_DECLARE_RTTI(TraTppPrintableRTTI, TraTppCacheableRTTI, TppPrintable)
};
