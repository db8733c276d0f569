// Components that do not stretch, and the single-block texts among them.
// TppCustomComponent places itself on the page in each band pass;
// TppCustomText sizes itself to its text and fills a TppDrawText;
// TppLabel prints a fixed caption. Shapes, lines and pictures fill their
// draw commands (ppCtrlsGraphic.cpp).
#pragma once
#include <cstdint>
#include <string>
#include <vector>

#include "platform/gdi/canvas.h"
#include "platform/gdi/picture.h"
#include "report/engine/ppClass.h"

class TppDrawText;
class TppGroup;

class TppCustomComponent : public TppComponent {
  CLS_DECLARE_CLASS(TppCustomComponent, TppComponent)
 public:
  explicit TppCustomComponent(cls::TComponent* owner);
  bool IsCustomComponent() const override { return true; }

  // One band pass: placed when it is to be drawn, else complete at once.
  void Generate() override;
  // Reads "ShiftWithBand" and "StretchWithBand" of older streams.
  void DefineProperties(cls::TFiler* filer) override;
  // The page's record: DrawComponent.
  void SaveToCache(int32_t pageIndex) override;
  void RestoreFromCache(int32_t pageIndex) override;

  // After placing: whether the value prints (SpaceUsed 0 suppresses it).
  virtual void DecidePrinting() {}

 protected:
  // The print rectangle and SpaceUsed on the page, or OutOfSpace when the
  // parent stretches and the component no longer fits on this page.
  void PlaceOnPage();
};

// OnGetText (Sender, var Text).
using TppGetTextEvent = cls::TMethodPointer<void(cls::TObject* Sender, std::string& Text)>;

class TppCustomText : public TppCustomComponent {
  CLS_DECLARE_CLASS(TppCustomText, TppCustomComponent)
 public:
  // Popup items AutoSize, ReprintOnOverFlow, ShiftWithParent, Transparent
  // and WordWrap, all of order 30.
  void CreatePopupMenu(TppPopupMenu*& menu) override;
  explicit TppCustomText(cls::TComponent* owner);
  // The groups that break on it forget its name; it leaves the save list.
  void BeforeDestruction() override;

  // ---- published ----
  bool CharWrap() const { return charWrap_; }
  void SetCharWrap(bool value);
  bool Save() const { return save_; }
  void SetSave(bool value);
  int32_t SaveLength() const { return saveLength_; }
  void SetSaveLength(int32_t value);
  // The place in the band's save list, -1 without a band or save.
  int16_t SaveOrder() const;
  void SetSaveOrder(int16_t value);
  const std::string& DisplayFormat() const { return displayFormat_; }
  TppGetTextEvent OnGetText;

  int16_t StreamedSaveOrder() const { return streamedSaveOrder_; }
  // Moves the component to ORDER in its band's save list (only with Save).
  void MoveToSaveOrder(int order);
  // Groups whose break value is this component (kept by the groups).
  bool RegisterResetGroup(TppGroup* group) override;
  void UnregisterResetGroup(TppGroup* group) override;
  int ResetGroupCount() const { return static_cast<int>(resetGroups_.size()); }
  // What decides whether a transparent text needs drawing: False only for
  // a transparent one in a white font.
  bool HasVisibleContent() const;

  // ---- added virtual operations ----
  // The text before OnGetText: the stored text; descendants format here.
  virtual std::string GetDisplayText();
  virtual void SetDisplayFormat(const std::string& value);

  // ---- overrides ----
  void AdjustBounds() override;
  void GetDescription(std::string& text) override;
  void PropertiesToDrawCommand(TppDrawCommand* command) override;
  void SetFont(const gdi::TFont* value) override;
  void SetTextAlignment(TppTextAlignment value) override;
  // The display text, then OnGetText and event 53 (not in design state
  // unless printing).
  void GetText(std::string& text) override;
  void Convert(int64_t version) override;
  void SetBand(TppCustomBand* band) override;
  void SetName(const std::string& name) override;
  void DefineProperties(cls::TFiler* filer) override;
  void Loaded() override;

 protected:
  bool Constructing() const { return constructing_; }

 private:
  std::vector<TppComponent*>* BandSaveList() const;
  void EnterSaveList();
  void LeaveSaveList();

  std::vector<TppGroup*> resetGroups_;
  std::string displayFormat_;
  int16_t streamedSaveOrder_ = -1;
  bool save_ = false;
  int32_t saveLength_ = 0;
  std::string legacyOnSave_;
  bool charWrap_ = false;
  bool constructing_ = true;
};

class TppLabel : public TppCustomText {
  CLS_DECLARE_CLASS(TppLabel, TppCustomText)
 public:
  explicit TppLabel(cls::TComponent* owner);
  // A caption that followed the old user name follows the new one.
  void SetUserName(const std::string& name) override;
};

// ---------------------------------------------------------------- shapes, lines, pictures

// A drawn component: a pen and a brush whose changes reach GraphicChanged.
class TppCustomGraphic : public TppCustomComponent {
  CLS_DECLARE_CLASS(TppCustomGraphic, TppCustomComponent)
 public:
  explicit TppCustomGraphic(cls::TComponent* owner);
  gdi::TBrush* Brush() { return &brush_; }
  const gdi::TBrush* Brush() const { return &brush_; }
  gdi::TPen* Pen() { return &pen_; }
  const gdi::TPen* Pen() const { return &pen_; }

  // ---- added virtual operations, in slot order ----
  // CLEAR: the brush (pen) style is clear.
  virtual void GetBrushColor(gdi::TColor& color, bool& clear);
  virtual void GetPenColor(gdi::TColor& color, bool& clear);
  // CLEAR makes the style clear; a colour makes a clear style solid.
  virtual void SetBrushColor(gdi::TColor color, bool clear);
  virtual void SetPenColor(gdi::TColor color, bool clear);
  virtual void SetPenWidth(int width);
  // Assign; nullptr is ignored.
  virtual void SetBrush(const gdi::TBrush* value);
  virtual void SetPen(const gdi::TPen* value);
  // Unless loading or reading: the design is invalidated, the change told.
  virtual void GraphicChanged();

 private:
  gdi::TBrush brush_;
  gdi::TPen pen_;
};

class TppShape : public TppCustomGraphic {
  CLS_DECLARE_CLASS(TppShape, TppCustomGraphic)
 public:
  explicit TppShape(cls::TComponent* owner);
  TShapeType Shape() const { return shape_; }
  void SetShape(TShapeType value);
  // Transparent follows a clear brush.
  void GraphicChanged() override;
  // The shape inside the pen's half width, squares and circles centred;
  // corner rounds a quarter of the smaller side; all in thousandths of a
  // millimetre.
  void PropertiesToDrawCommand(TppDrawCommand* command) override;

 private:
  TShapeType shape_ = TShapeType::stRectangle;
};

class TppLine : public TppCustomGraphic {
  CLS_DECLARE_CLASS(TppLine, TppCustomGraphic)
 public:
  // Popup items choosing Style (StyleSingle, StyleDouble) and Position
  // (PositionTop, PositionBottom, PositionLeft, PositionRight); the
  // current ones ticked.
  void CreatePopupMenu(TppPopupMenu*& menu) override;
  void UpdatePopupMenu(TppPopupMenu* menu) override;
  explicit TppLine(cls::TComponent* owner);
  TppLinePositionType Position() const { return position_; }
  void SetPosition(TppLinePositionType value);
  TppLineStyleType Style() const { return style_; }
  void SetStyle(TppLineStyleType value);
  // Thickness in points; the pen's width follows it in screen pixels, and
  // a pen width set otherwise gives the weight back.
  float Weight() const { return weight_; }
  void SetWeight(float value);
  // False only for a white pen.
  bool HasVisibleContent() const { return Pen()->Color != gdi::clWhite; }

  void GraphicChanged() override;
  void PropertiesToDrawCommand(TppDrawCommand* command) override;
  // Streams before version 3000 carry the pen width only.
  void Convert(int64_t version) override;

 private:
  float WeightOfPen() const;
  TppLinePositionType position_ = lpTop;
  TppLineStyleType style_ = lsSingle;
  float weight_ = 0;
  int lastPenWidth_ = -1;
  bool settingWeight_ = false;
};

// OnGetPicture (Sender, Picture).
using TppPictureEvent = cls::TMethodPointer<void(cls::TObject* Sender, gdi::TPicture* Picture)>;

class TppCustomImage : public TppCustomComponent {
  CLS_DECLARE_CLASS(TppCustomImage, TppCustomComponent)
 public:
  explicit TppCustomImage(cls::TComponent* owner);

  gdi::TPicture* Picture() { return &picture_; }
  const gdi::TPicture* Picture() const { return &picture_; }
  // Assigns; nullptr empties.
  void SetPicture(gdi::TPicture* value);
  bool Center() const { return center_; }
  void SetCenter(bool value);
  bool MaintainAspectRatio() const { return maintainAspectRatio_; }
  void SetMaintainAspectRatio(bool value);
  bool Stretch() const { return stretch_; }
  void SetStretch(bool value);
  bool DirectDraw() const { return directDraw_; }
  void SetDirectDraw(bool value);
  // Pictures made in this generation (a part of the image names).
  uint32_t ImageCount() const { return imageCount_; }

  void SetTransparent(bool value) override;
  void InitGeneration() override;
  void GetCaption(std::string& text) override;
  void PropertiesToDrawCommand(TppDrawCommand* command) override;
  // Unless loading or reading: sized to the picture with AutoSize, and
  // counted while the report generates.
  virtual void PictureChanged();

 protected:
  // The image's name on the draw command: Name and the count.
  virtual std::string ImageName();
  void CountImage() { ++imageCount_; }

 private:
  gdi::TPicture picture_;
  bool center_ = true;
  bool maintainAspectRatio_ = false;
  bool stretch_ = false;
  bool directDraw_ = false;
  uint32_t imageCount_ = 0;
};

class TppImage : public TppCustomImage {
  CLS_DECLARE_CLASS(TppImage, TppCustomImage)
 public:
  // Popup item Picture.
  void CreatePopupMenu(TppPopupMenu*& menu) override;
  explicit TppImage(cls::TComponent* owner);
  void SetAutoSize(bool value) override;
  // Streams before version 4201: a metafile is drawn directly.
  void Convert(int64_t version) override;
};

class TppDBImage : public TppCustomImage {
  CLS_DECLARE_CLASS(TppDBImage, TppCustomImage)
 public:
  // Popup item GraphicType with the registered types under it, the
  // current one ticked.
  void CreatePopupMenu(TppPopupMenu*& menu) override;
  void UpdatePopupMenu(TppPopupMenu* menu) override;
  explicit TppDBImage(cls::TComponent* owner);

  bool AutoDisplay() const { return autoDisplay_; }
  // Turning it on loads the picture.
  void SetAutoDisplay(bool value);
  const std::string& GraphicType() const { return graphicType_; }
  // Only a registered type ("Bitmap", "Icon", "MetaFile"); any other name
  // is ignored.
  void SetGraphicType(const std::string& value);
  TppPictureEvent OnGetPicture;

  // The picture of the current record: from the field (a blob of the
  // graphic type, or the name of a picture file), else from OnGetPicture
  // and event 69 when someone listens. A picture that cannot be read
  // leaves it empty.
  void LoadPicture();

  bool IsDataAware() override { return true; }
  void SetDataField(const std::string& value) override;
  void SetDataPipeline(TppDataPipeline* value) override;
  void PictureChanged() override;
  void GetDescription(std::string& text) override;
  void PropertiesToDrawCommand(TppDrawCommand* command) override;

 protected:
  std::string ImageName() override;

 private:
  bool autoDisplay_ = true;
  std::string graphicType_ = "Bitmap";
  uint32_t loads_ = 0;
};

// Registers and publishes the shapes, lines and pictures (part of the
// components layer's registration).
void ppRegisterCtrlsGraphicUnit();

// Published-property helpers of the components' units: UserName, and
// AutoSize with the class's default.
cls::TPropInfo ppUserNameProperty();
cls::TPropInfo ppAutoSizeProperty(bool defaultValue);

// Publishes the properties of the unit's classes (part of the components
// layer's registration).
void ppRegisterCtrlsUnit();

// ---- scripting ----

class TraTppCustomTextRTTI : public TraTppComponentRTTI {
  RA_DECLARE_RTTI(TraTppCustomTextRTTI, TraTppComponentRTTI, TppCustomText)
};

class TraTppCustomImageRTTI : public TraTppComponentRTTI {
  RA_DECLARE_RTTI(TraTppCustomImageRTTI, TraTppComponentRTTI, TppCustomImage)
};

// OnGetPicture (event 69) with the picture.
class TraTppDBImageRTTI : public TraTppCustomImageRTTI {
  RA_DECLARE_RTTI(TraTppDBImageRTTI, TraTppCustomImageRTTI, TppDBImage)
};

class TraTppCustomGraphicRTTI : public TraTppComponentRTTI {
  RA_DECLARE_RTTI(TraTppCustomGraphicRTTI, TraTppComponentRTTI, TppCustomGraphic)
};

class TraTppLineRTTI : public TraTppCustomGraphicRTTI {
  RA_DECLARE_RTTI(TraTppLineRTTI, TraTppCustomGraphicRTTI, TppLine)
};

class TraTppShapeRTTI : public TraTppCustomGraphicRTTI {
  RA_DECLARE_RTTI(TraTppShapeRTTI, TraTppCustomGraphicRTTI, TppShape)
};

// A colour by name: a 32-bit value, described as an integer.
TraMember ppColorMember(const std::string& name, gdi::TColor (TppPrintable::*get)() const,
                        void (TppPrintable::*set)(gdi::TColor));
