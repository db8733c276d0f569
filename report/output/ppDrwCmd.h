// The draw commands for text, lines, shapes, pictures and bar codes: what a
// component leaves on a page for every device to draw or store. Their published
// properties are what archives keep, so the defaults decide what a stream
// leaves out.
#pragma once
#include <cstdint>
#include <mutex>
#include <string>

#include "platform/classes/classes.h"
#include "platform/classes/typinfo.h"
#include "platform/gdi/canvas.h"
#include "platform/gdi/picture.h"
#include "platform/ui/richedit.h"
#include "report/model/ppComm.h"
#include "report/model/ppTypes.h"
#include "report/model/ppUtilsDraw.h"
#include "report/output/ppBarCodeEnc.h"
#include "report/output/ppDevice.h"

class TppCustomPrinter;
class TppPrinterDevice;

class TppDrawText : public TppDrawCommand {
  CLS_DECLARE_CLASS(TppDrawText, TppDrawCommand)
 public:
  explicit TppDrawText(cls::TComponent* owner);
  // From another text command (after the command's own values): every
  // published value and Alignment.
  void Assign(cls::TPersistent* source) override;
  // Alignments, options, colour, the font's name, size and style (not its
  // colour), the texts, tab stops and wrapped lines.
  bool IsSameAs(TppDrawCommand* other) override;
  // Reads "Alignment" of older streams (never written).
  void DefineProperties(cls::TFiler* filer) override;

  // The order of saved fields in text files: band number, then component
  // number, each right-aligned in eight characters.
  std::string SaveSortKey() const;

  // Not published; kept in step with TextAlignment.
  cls::TAlignment Alignment() const { return alignment_; }
  void SetAlignment(cls::TAlignment v);

  // Published.
  bool AutoSize() const { return autoSize_; }
  void SetAutoSize(bool v) { autoSize_ = v; }
  gdi::TColor Color() const { return color_; }
  void SetColor(gdi::TColor v) { color_ = v; }
  TppFont* Font() { return &font_; }
  const TppFont* Font() const { return &font_; }
  void SetFont(const gdi::TFont* font);  // assigns; nullptr is ignored
  bool ForceJustifyLastLine() const { return forceJustifyLastLine_; }
  void SetForceJustifyLastLine(bool v) { forceJustifyLastLine_ = v; }
  bool IsMemo() const { return isMemo_; }
  void SetIsMemo(bool v) { isMemo_ = v; }
  int32_t Leading() const { return leading_; }
  void SetLeading(int32_t v) { leading_ = v; }
  cls::TStringList* TabStopPositions() { return &tabStopPositions_; }
  const cls::TStringList* TabStopPositions() const { return &tabStopPositions_; }
  void SetTabStopPositions(const cls::TStringList* list);  // assigns; nullptr empties
  std::string Text() const { return text_; }
  void SetText(const std::string& v) { text_ = v; }
  TppTextAlignment TextAlignment() const { return textAlignment_; }
  void SetTextAlignment(TppTextAlignment v);
  bool Transparent() const { return transparent_; }
  void SetTransparent(bool v) { transparent_ = v; }
  bool WordWrap() const { return wordWrap_; }
  void SetWordWrap(bool v) { wordWrap_ = v; }
  cls::TStringList* WrappedText() { return &wrappedText_; }
  const cls::TStringList* WrappedText() const { return &wrappedText_; }
  void SetWrappedText(const cls::TStringList* list);  // assigns; nullptr empties
  bool BandSave() const { return bandSave_; }
  void SetBandSave(bool v) { bandSave_ = v; }
  int32_t BandSaveNo() const { return bandSaveNo_; }
  void SetBandSaveNo(int32_t v) { bandSaveNo_ = v; }
  bool ComponentSave() const { return componentSave_; }
  void SetComponentSave(bool v) { componentSave_ = v; }
  int32_t ComponentSaveNo() const { return componentSaveNo_; }
  void SetComponentSaveNo(int32_t v) { componentSaveNo_ = v; }
  int32_t SaveLength() const { return saveLength_; }
  void SetSaveLength(int32_t v) { saveLength_ = v; }

 protected:
  // The text of a system variable from the owning page's numbers, with
  // the page values known; false without a page.
  bool PageValueText(TppVarType varType, std::string& text) const;

 private:
  cls::TAlignment alignment_ = cls::taLeftJustify;
  bool autoSize_ = false;
  gdi::TColor color_ = gdi::clWhite;
  TppFont font_;
  bool forceJustifyLastLine_ = false;
  bool isMemo_ = false;
  int32_t leading_ = 0;
  cls::TStringList tabStopPositions_;
  std::string text_;
  TppTextAlignment textAlignment_ = taLeftJustified;
  bool transparent_ = false;
  bool wordWrap_ = false;
  cls::TStringList wrappedText_;
  bool bandSave_ = false;
  int32_t bandSaveNo_ = 0;
  bool componentSave_ = false;
  int32_t componentSaveNo_ = 0;
  int32_t saveLength_ = 0;
};

// The text of a variable or DB calculation; with LookAhead on it keeps
// listening for the final value (event 67) until told the value is final.
class TppDrawVariable : public TppDrawText {
  CLS_DECLARE_CLASS(TppDrawVariable, TppDrawText)
 public:
  explicit TppDrawVariable(cls::TComponent* owner);
  void BeforeDestruction() override;
  // Also LookAhead (with a listener of its own, subscribed where the
  // source's listens), LookAheadKey and TraversalCount.
  void Assign(cls::TPersistent* source) override;
  bool NeedsPageValues() override { return lookAhead_; }
  // True while the listener still listens.
  bool UpdatePageValues() override;

  bool LookAhead() const { return lookAhead_; }
  // On: a listener for event 67 only (made once); off: the listener goes.
  void SetLookAhead(bool v);
  const std::string& LookAheadKey() const { return lookAheadKey_; }
  void SetLookAheadKey(const std::string& v) { lookAheadKey_ = v; }
  int32_t TraversalCount() const { return traversalCount_; }
  void SetTraversalCount(int32_t v) { traversalCount_ = v; }
  // The listener (nullptr while LookAhead is off); components subscribe it.
  TppCommunicator* Listener() const { return listener_.get(); }

  // A look-ahead value: with this command's key, a later traversal sets
  // the text; another key means the value is final and listening stops.
  void LookAheadChange(const std::string& key, int32_t traversalCount, const std::string& text);

 private:
  void ListenerEvent(cls::TObject* sender, TppCommunicator* publisher, int eventId, TraParamList* params);
  bool lookAhead_ = false;
  std::string lookAheadKey_;
  int32_t traversalCount_ = 0;
  cls::Owned<TppCommunicator> listener_;
};

// A system variable's text.
class TppDrawVar : public TppDrawText {
  CLS_DECLARE_CLASS(TppDrawVar, TppDrawText)
 public:
  explicit TppDrawVar(cls::TComponent* owner) : TppDrawText(owner) {}
  void Assign(cls::TPersistent* source) override;
  // Clock values match any clock value of another TppDrawVar; the others
  // compare as text and by VarType.
  bool IsSameAs(TppDrawCommand* other) override;
  // The page numbers and counts.
  bool NeedsPageValues() override;
  bool UpdatePageValues() override;

  TppVarType VarType() const { return varType_; }
  void SetVarType(TppVarType v) { varType_ = v; }

 private:
  TppVarType varType_ = vtDate;
};

// A system-variable calculation's text.
class TppDrawCalc : public TppDrawText {
  CLS_DECLARE_CLASS(TppDrawCalc, TppDrawText)
 public:
  explicit TppDrawCalc(cls::TComponent* owner) : TppDrawText(owner) {}
  void Assign(cls::TPersistent* source) override;
  bool NeedsPageValues() override { return true; }
  // Recomputes the page count and the page sets.
  bool UpdatePageValues() override;

  TppCalcType CalcType() const { return calcType_; }
  void SetCalcType(TppCalcType v) { calcType_ = v; }

 private:
  TppCalcType calcType_ = TppCalcType::ctDate;
};

class TppDrawLine : public TppDrawCommand {
  CLS_DECLARE_CLASS(TppDrawLine, TppDrawCommand)
 public:
  explicit TppDrawLine(cls::TComponent* owner);
  void Assign(cls::TPersistent* source) override;
  // Position, style and the pen's colour, style and width (not Weight).
  bool IsSameAs(TppDrawCommand* other) override;

  TppLinePositionType LinePosition() const { return linePosition_; }
  void SetLinePosition(TppLinePositionType v) { linePosition_ = v; }
  TppLineStyleType LineStyle() const { return lineStyle_; }
  void SetLineStyle(TppLineStyleType v) { lineStyle_ = v; }
  gdi::TPen* Pen() { return &pen_; }
  const gdi::TPen* Pen() const { return &pen_; }
  void SetPen(const gdi::TPen* pen);  // assigns; nullptr is ignored
  // Thickness in points, stored as given (a device keeps what it draws
  // within the page).
  float Weight() const { return weight_; }
  void SetWeight(float v) { weight_ = v; }

 private:
  TppLinePositionType linePosition_ = lpTop;
  TppLineStyleType lineStyle_ = lsSingle;
  gdi::TPen pen_;
  float weight_ = 0;
};

class TppDrawShape : public TppDrawCommand {
  CLS_DECLARE_CLASS(TppDrawShape, TppDrawCommand)
 public:
  explicit TppDrawShape(cls::TComponent* owner);
  void Assign(cls::TPersistent* source) override;
  // Brush, pen (colour, style, width), shape and corner rounds.
  bool IsSameAs(TppDrawCommand* other) override;

  gdi::TBrush* Brush() { return &brush_; }
  const gdi::TBrush* Brush() const { return &brush_; }
  void SetBrush(const gdi::TBrush* brush);  // assigns; nullptr is ignored
  gdi::TPen* Pen() { return &pen_; }
  const gdi::TPen* Pen() const { return &pen_; }
  void SetPen(const gdi::TPen* pen);
  TShapeType ShapeType() const { return shapeType_; }
  void SetShapeType(TShapeType v) { shapeType_ = v; }
  int32_t XCornerRound() const { return xCornerRound_; }
  void SetXCornerRound(int32_t v) { xCornerRound_ = v; }
  int32_t YCornerRound() const { return yCornerRound_; }
  void SetYCornerRound(int32_t v) { yCornerRound_ = v; }

 private:
  gdi::TBrush brush_;
  gdi::TPen pen_;
  TShapeType shapeType_ = TShapeType::stRectangle;
  int32_t xCornerRound_ = 0, yCornerRound_ = 0;
};

class TppDrawImage : public TppDrawCommand {
  CLS_DECLARE_CLASS(TppDrawImage, TppDrawCommand)
 public:
  // Larger graphics get no bitmap from GetBitmapHandle.
  static constexpr int64_t kMaxBitmapPixels = int64_t(16) << 20;

  explicit TppDrawImage(cls::TComponent* owner);
  // Every published value; not the bitmap made from the picture.
  void Assign(cls::TPersistent* source) override;

  // The bitmap devices draw: the picture's own bitmap; for a graphic other
  // than a bitmap or metafile, a bitmap of its size with it drawn at
  // (0, 0), made on the first request and kept until the picture changes;
  // nullptr for a metafile, an empty picture or a graphic too large.
  gdi::TBitmap* GetBitmapHandle();

  bool Center() const { return center_; }
  void SetCenter(bool v) { center_ = v; }
  bool MaintainAspectRatio() const { return maintainAspectRatio_; }
  void SetMaintainAspectRatio(bool v) { maintainAspectRatio_ = v; }
  bool Scale() const { return scale_; }
  void SetScale(bool v) { scale_ = v; }
  bool Stretch() const { return stretch_; }
  void SetStretch(bool v) { stretch_ = v; }
  bool Transparent() const { return transparent_; }
  void SetTransparent(bool v) { transparent_ = v; }
  bool DirectDraw() const { return directDraw_; }
  void SetDirectDraw(bool v) { directDraw_ = v; }
  gdi::TPicture* Picture() { return &picture_; }
  const gdi::TPicture* Picture() const { return &picture_; }
  void SetPicture(gdi::TPicture* picture);  // assigns; nullptr is ignored
  std::string ImageName() const { return imageName_; }
  void SetImageName(const std::string& v) { imageName_ = v; }

 private:
  bool center_ = false, maintainAspectRatio_ = false, scale_ = false, stretch_ = false, transparent_ = false,
       directDraw_ = false;
  gdi::TPicture picture_;
  std::string imageName_;
  cls::Owned<gdi::TBitmap> bitmap_;
};

// What a screen device gives the commands that draw themselves on it: its
// canvas and the device rectangle of a command.
class IppScreenDrawing {
 public:
  virtual ~IppScreenDrawing() = default;
  virtual gdi::TCanvas* ScreenCanvas() = 0;
  virtual void CalcDeviceRect(TppDrawCommand* command) = 0;
};

// A bar code: it encodes its data for the resolution of the device it is
// drawn on and paints bars, bearer bars, the human-readable text and an
// add-on itself.
class TppDrawBarCode : public TppDrawCommand {
  CLS_DECLARE_CLASS(TppDrawBarCode, TppDrawCommand)
 public:
  explicit TppDrawBarCode(cls::TComponent* owner);
  // From another bar code (after the command's own values): every
  // published value.
  void Assign(cls::TPersistent* source) override;

  // Virtual operations, in slot order.
  // The printer device and screen devices draw it; other devices store it.
  bool Draw(TppDevice* device) override;
  virtual bool DrawToPrinter(TppPrinterDevice* device);
  // Painted on a bitmap at the screen's resolution, then stretched into
  // the device rectangle the screen computes (combined with SRCAND when
  // Transparent).
  virtual bool DrawToScreen(IppScreenDrawing* screen);
  // Sizes the symbol for the resolution (pixels per inch) and, with PAINT,
  // paints it at (LEFT, TOP); a nil canvas does nothing.
  virtual void PaintBars(gdi::TCanvas* canvas, int left, bool paint, int ppiX, int ppiY, int top);

  // Width and Height from the symbol's extent on PRINTER (else the global
  // printer; without one, on the screen).
  void CalcSize(TppCustomPrinter* printer);
  // Paints at (0, 0) at the canvas's own resolution (design painting).
  void PaintToCanvas(gdi::TCanvas* canvas);
  // BarPattern (and AddOnPattern) for the resolution along the symbol.
  void Encode(int ppiX, int ppiY);

  // Published.
  TppBarCodeType BarCodeType() const { return data_.BarCodeType; }
  void SetBarCodeType(TppBarCodeType v) { data_.BarCodeType = v; }
  std::string Data() const { return data_.Data; }
  void SetData(const std::string& v) { data_.Data = v; }
  std::string AddOnCode() const { return data_.AddOnCode; }
  void SetAddOnCode(const std::string& v) { data_.AddOnCode = v; }
  bool AutoEncode() const { return data_.AutoEncode; }
  void SetAutoEncode(bool v) { data_.AutoEncode = v; }
  bool AutoSize() const { return autoSize_; }
  void SetAutoSize(bool v) { autoSize_ = v; }
  bool AutoSizeFont() const { return autoSizeFont_; }
  void SetAutoSizeFont(bool v) { autoSizeFont_ = v; }
  gdi::TColor BarColor() const { return barColor_; }
  void SetBarColor(gdi::TColor v) { barColor_ = v; }
  // The narrow module in thousandths of a millimetre.
  int32_t BarWidth() const { return data_.BarWidth; }
  void SetBarWidth(int32_t v) { data_.BarWidth = v; }
  bool BearerBars() const { return bearerBars_; }
  void SetBearerBars(bool v) { bearerBars_ = v; }
  bool CalcCheckDigit() const { return data_.CalcCheckDigit; }
  void SetCalcCheckDigit(bool v) { data_.CalcCheckDigit = v; }
  bool CodeOK() const { return data_.CodeOK; }
  void SetCodeOK(bool v) { data_.CodeOK = v; }
  gdi::TColor Color() const { return color_; }
  void SetColor(gdi::TColor v) { color_ = v; }
  TppFont* Font() { return &font_; }
  const TppFont* Font() const { return &font_; }
  void SetFont(const gdi::TFont* font);  // assigns; nullptr is ignored
  cls::TAlignment Alignment() const { return data_.Alignment; }
  void SetAlignment(cls::TAlignment v) { data_.Alignment = v; }
  TppBarCodeOrientation Orientation() const { return orientation_; }
  void SetOrientation(TppBarCodeOrientation v) { orientation_ = v; }
  bool PrintHumanReadable() const { return printHumanReadable_; }
  void SetPrintHumanReadable(bool v) { printHumanReadable_ = v; }
  bool Transparent() const { return transparent_; }
  void SetTransparent(bool v) { transparent_ = v; }
  float WideBarRatio() const { return data_.WideBarRatio; }
  void SetWideBarRatio(float v) { data_.WideBarRatio = v; }

  // As last encoded and sized.
  bool Printing() const { return printing_; }
  const std::string& BarPattern() const { return barPattern_; }
  const std::string& AddOnPattern() const { return addOnPattern_; }
  int PixelWidth() const { return geometry_.PixelWidth; }
  int PixelHeight() const { return geometry_.PixelHeight; }
  int QuietZone() const { return geometry_.QuietZone; }
  const ppBarCode::TppBarCodeGeometry& Geometry() const { return geometry_; }

 private:
  bool Vertical() const { return orientation_ == orTopToBottom || orientation_ == orBottomToTop; }
  void ShowEncodeError(int message);
  void FitFont(gdi::TCanvas& canvas, ppBarCode::TppBarCodeSurface& surface, const ppBarCode::TppSymbology& symbology);

  ppBarCode::TppBarCodeData data_;
  bool autoSize_ = true;
  bool autoSizeFont_ = true;
  gdi::TColor barColor_ = gdi::clBlack;
  bool bearerBars_ = false;
  gdi::TColor color_ = gdi::clWhite;
  TppFont font_;
  TppBarCodeOrientation orientation_ = orLeftToRight;
  bool printHumanReadable_ = true;
  bool transparent_ = false;
  bool printing_ = false;
  std::string addOnPattern_;
  std::string barPattern_;
  ppBarCode::TppBarCodeGeometry geometry_;
};

// ---- rich text ----

// The rich-edit control the report library creates: shown nowhere, made
// hidden for rendering and measuring. Its searches are forward searches,
// the only kind the control has.
class TppRichEdit : public ui::TRichEdit {
  CLS_DECLARE_CLASS(TppRichEdit, ui::TRichEdit)
 public:
  explicit TppRichEdit(cls::TComponent* owner) : ui::TRichEdit(owner) {}
};

// Answers the controls' protect-change questions: always allowed.
class TppRichEditUtils : public cls::TObject {
  CLS_DECLARE_CLASS(TppRichEditUtils, cls::TObject)
 public:
  void ProtectChangeHandler(cls::TObject* Sender, int StartPos, int EndPos, bool& AllowChange);
};

// The one lock of every rich-edit use (loading the shared control through
// rendering, fitting, measuring, creating controls). Re-entrant; taken
// after the publisher's lock and the printer's context, never before them.
std::recursive_mutex& ppRichEditLock();

// The class CreateRichEdit makes (TppRichEdit unless set; nullptr restores
// it). A class that is not a rich edit gives a TppRichEdit.
void ppSetRichEditClass(cls::TClass richEditClass);
cls::TClass ppRichEditClass();
// A control of that class owned by OWNER, its OnProtectChange bound by
// name to the unit's TppRichEditUtils.
ui::TRichEdit* CreateRichEdit(cls::TComponent* owner);
// The same, invisible and parentless at (-1500, -1500).
ui::TRichEdit* CreateHiddenRichEdit(cls::TComponent* owner);
// The hidden control draw commands render through (made on first use);
// use it only while holding ppRichEditLock().
ui::TRichEdit* ppSharedRichEdit();
// Frees the shared control and the utilities object.
void ppRichEditFinalize();

// Class functions formatting a character range of a rich edit into a
// device context. Rectangles are in DC pixels; every call takes the lock.
class TppRTFEngine {
 public:
  // The first character not laid out (LAST + 1 when all fits); HEIGHT (when
  // given) gets the pixels used from the rectangle's top.
  static int FormatRange(ui::TRichEdit* richEdit, win::HDC dc, bool render, int first, int last,
                         const win::RECT& rect, win::HDC targetDC, int* height = nullptr);
  // True when FIRST..LAST fits RECT, or only a paragraph end or line break
  // is left. Fitting: USEDHEIGHT is the height the range needs (trailing
  // paragraph ends not counted); else LASTFITTING is the last character
  // laid out and USEDHEIGHT the rectangle's height.
  static bool FitRange(ui::TRichEdit* richEdit, win::HDC dc, int& lastFitting, int& usedHeight,
                       const win::RECT& rect, int first, int last);
  // The height FIRST..LAST needs, trailing paragraph ends and line breaks
  // not counted.
  static int UsedHeight(ui::TRichEdit* richEdit, win::HDC dc, const win::RECT& rect, int first, int last);
  // Sets the selection's background and answers the one it had (clNone:
  // none); CHANGED tells whether it differed.
  static gdi::TColor SetSelBackColor(ui::TRichEdit* richEdit, gdi::TColor color, bool& changed);
};

// A character range of an RTF document, rendered by the shared rich edit.
class TppDrawRichText : public TppDrawCommand {
  CLS_DECLARE_CLASS(TppDrawRichText, TppDrawCommand)
 public:
  explicit TppDrawRichText(cls::TComponent* owner);
  // Colour, range, Transparent and a copy of the stream.
  void Assign(cls::TPersistent* source) override;
  // Colour, range, Transparent, streams of one size and documents of equal
  // lines.
  bool IsSameAs(TppDrawCommand* other) override;
  // "RTFStream": a 4-byte little-endian length, then that many bytes. A
  // length below 0 or beyond the bytes held raises EReadError and leaves
  // the stream empty.
  void DefineProperties(cls::TFiler* filer) override;

  // The printer device and screen devices draw it; others get False.
  bool Draw(TppDevice* device) override;
  virtual bool DrawToPrinter(TppPrinterDevice* device);
  // Rendered into a metafile on the reference context (the global
  // printer's, else the screen's), stretched into the device rectangle the
  // screen computes (through a bitmap, with SRCAND, when Transparent).
  virtual bool DrawToScreen(IppScreenDrawing* screen);

  cls::TMemoryStream* RichTextStream() { return &stream_; }
  const cls::TMemoryStream* RichTextStream() const { return &stream_; }
  // Published.
  int32_t StartCharPos() const { return startCharPos_; }
  void SetStartCharPos(int32_t v) { startCharPos_ = v; }
  int32_t EndCharPos() const { return endCharPos_; }
  void SetEndCharPos(int32_t v) { endCharPos_ = v; }
  gdi::TColor Color() const { return color_; }
  void SetColor(gdi::TColor v) { color_ = v; }
  bool Transparent() const { return transparent_; }
  void SetTransparent(bool v) { transparent_ = v; }

 private:
  // Loads the stream into the shared control (under the lock).
  ui::TRichEdit* LoadShared();
  void ReadStream(cls::TStream& s);
  void WriteStream(cls::TStream& s);
  cls::TMemoryStream stream_;
  int32_t startCharPos_ = -1, endCharPos_ = -1;
  gdi::TColor color_ = 0;
  bool transparent_ = false;
};

// Registers the rich-text command and TppRichEdit for streaming and
// publishes the command's properties (part of the output layer's
// registration).
void ppRegisterRichTextCommand();

// Registers the eight classes for streaming and publishes their
// properties (part of the output layer's registration).
void ppRegisterDrawCommandUnit();

// The text command's published properties on the command's description.
class TraTppDrawTextRTTI : public TraTppDrawCommandRTTI {
  RA_DECLARE_RTTI(TraTppDrawTextRTTI, TraTppDrawCommandRTTI, TppDrawText)
};
