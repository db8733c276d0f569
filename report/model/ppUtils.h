// Units of length and their conversions, page geometry, and the library's
// small shared routines. The drawing routines are in ppUtilsDraw.h.
#pragma once
#include <cstdint>
#include <string>

#include "platform/classes/classes.h"
#include "platform/classes/filer.h"
#include "platform/classes/streams.h"
#include "report/model/ppIntf.h"
#include "report/model/ppTypes.h"

// Inches per millimetre, as a single-precision constant.
constexpr float ppInchesPerMM = 0.03937f;

// Direction of a conversion; it matters only for printer pixels, whose
// horizontal and vertical resolutions may differ. A value other than
// ppVertical counts as horizontal.
enum TppDirection : uint8_t { ppHorizontal = 0, ppVertical = 1 };

// The nearest integer, halves to the even neighbour.
double ppNint(double x);

// PRINTER counts only when it is a printer (IppPrinterMetrics) and only for
// utPrinterPixels; the screen's pixels per inch stand in otherwise.
float ConvertFromMMThousandths(int32_t value, TppUnitType unit, TppDirection direction = ppHorizontal,
                               cls::TObject* printer = nullptr);
int32_t ConvertToMMThousandths(float value, TppUnitType unit, TppDirection direction = ppHorizontal,
                               cls::TObject* printer = nullptr);
float ConvertFromScreenPixels(int32_t pixels, TppUnitType unit, TppDirection direction = ppHorizontal,
                              cls::TObject* printer = nullptr);
int32_t ConvertToScreenPixels(float value, TppUnitType unit, TppDirection direction = ppHorizontal,
                              cls::TObject* printer = nullptr);
// Tenths of a millimetre (printer driver sizes).
float FromTenthsMM(int32_t value, TppUnitType unit, TppDirection direction = ppHorizontal, cls::TObject* printer = nullptr);
int32_t ToTenthsMM(float value, TppUnitType unit, TppDirection direction = ppHorizontal, cls::TObject* printer = nullptr);
// Every entry of a list of numbers, in place: thousandths to float text in
// the unit (7 significant digits), or float text in the unit to thousandths.
// A text that is no number raises EConvertError.
void ListFromMMThousandths(cls::TStringList* list, TppUnitType unit, TppDirection direction = ppHorizontal,
                           cls::TObject* printer = nullptr);
void ListToMMThousandths(cls::TStringList* list, TppUnitType unit, TppDirection direction = ppHorizontal,
                         cls::TObject* printer = nullptr);
// The first "." of the text becomes the system's decimal separator.
std::string ppFixDecimalSeparator(const std::string& text);

struct TppRect {
  int32_t Left = 0, Top = 0, Right = 0, Bottom = 0;
  bool operator==(const TppRect& o) const {
    return Left == o.Left && Top == o.Top && Right == o.Right && Bottom == o.Bottom;
  }
};

// A page's geometry in thousandths of a millimetre.
class TppPageDef : public cls::TPersistent {
  CLS_DECLARE_CLASS(TppPageDef, cls::TPersistent)
 public:
  TppPageDef();
  void Assign(cls::TPersistent* source) override;

  int32_t mmHeight() const { return mmHeight_; }
  int32_t mmWidth() const { return mmWidth_; }
  int32_t mmMarginLeft() const { return mmMarginLeft_; }
  int32_t mmMarginRight() const { return mmMarginRight_; }
  int32_t mmMarginTop() const { return mmMarginTop_; }
  int32_t mmMarginBottom() const { return mmMarginBottom_; }
  void SetmmHeight(int32_t v) { mmHeight_ = v; }
  void SetmmWidth(int32_t v) { mmWidth_ = v; }
  void SetmmMarginLeft(int32_t v) { mmMarginLeft_ = v; }
  void SetmmMarginRight(int32_t v) { mmMarginRight_ = v; }
  void SetmmMarginTop(int32_t v) { mmMarginTop_ = v; }
  void SetmmMarginBottom(int32_t v) { mmMarginBottom_ = v; }

  TppRect GetPrintableRect() const;
  int32_t GetPrintableWidth() const;
  int32_t GetPrintableHeight() const;
  bool IsEqual(const TppPageDef* other) const;
  int32_t spWidth() const;
  int32_t spHeight() const;
  int32_t spPrintableWidth() const;

 private:
  int32_t mmHeight_ = 0, mmWidth_ = 0, mmMarginLeft_ = 0, mmMarginRight_ = 0, mmMarginTop_ = 0,
          mmMarginBottom_ = 0;
};

class TppCommunicator;

// ---- names and texts ----

// Equal ignoring case (the system's case-insensitive compare).
bool SameTextNoCase(const std::string& a, const std::string& b);
std::string ClassNameWithoutT(const cls::TObject* object);
std::string ClassNameWithoutPrefix(const cls::TObject* object);
// True with the number when TEXT is BASE followed by a positive integer.
bool ppNumberAfterBase(const std::string& base, const std::string& text, int64_t& number);
// BASE + the smallest positive number that no component of the owner of
// COMPONENT's class (or a descendant) uses after BASE, skipping any name
// that another component of the owner already has.
std::string GetUniqueName(cls::TComponent* owner, const std::string& base, cls::TComponent* component);
// The same rule over user names; FINDER (when given) is asked whether a
// candidate is taken anywhere in its report.
std::string ppGetUniqueUserName(cls::TComponent* owner, const std::string& base, cls::TComponent* component,
                                TppCommunicator* finder);
// True with the number when the communicator's UserName is BASE followed by
// a positive integer.
bool ppUserNameNumber(const std::string& base, TppCommunicator* communicator, int64_t& number);
// A new component of class C owned by OBJECT's owner (or the attached
// designer's target), with a unique Name and UserName.
cls::TComponent* ppMakeComponent(TppCommunicator* object, cls::TClass c);

// Where PadString puts the spaces: on the right, the left, or both sides
// (the left getting half of them, rounded down).
enum TppPadSide : uint8_t { ppPadRight = 0, ppPadLeft = 1, ppPadBoth = 2 };
// Cut to WIDTH, or padded with spaces on SIDE (any other value: the right).
// A cut never splits a Big5 character: it falls before one that would not
// fit, and a blank makes up the width.
std::string PadString(const std::string& text, int width, TppPadSide side);
// The largest character boundary of Big5 TEXT at or before byte AT.
size_t Big5Boundary(const std::string& text, size_t at);
std::string RemoveChar(const std::string& text, char c);
void SplitCommaText(const std::string& text, cls::TStringList* list);
// Up to and including the last backslash; empty without one.
std::string ExtractDirectory(const std::string& path);
void StringsToStream(const cls::TStringList* list, cls::TStream* stream);
// "7.03" -> 7030, "7" -> 7000, "10.5b" -> 1050.
int64_t VersionToInteger(const std::string& text);
double StringToDateTime(const std::string& text);  // EConvertError on bad text

struct TppStrUtils {
  static std::string LeftStr(const std::string& text, int count);
};
struct TppMath {
  static int Max(int a, int b) { return a > b ? a : b; }
};
TppRect MakeRect(int32_t left, int32_t top, int32_t right, int32_t bottom);
// The smaller of the two ratios available / picture; 0 for an empty picture.
double ScaleToFit(double availableWidth, double availableHeight, double pictureWidth, double pictureHeight);

// ---- ShiftRelativeTo candidates ----

// True for nil; false when COMPONENT is a region holding CANDIDATE, or when
// CANDIDATE's ShiftRelativeTo chain leads back to COMPONENT; else true.
bool CanShiftRelativeTo(cls::TComponent* component, cls::TComponent* candidate);
// The stretchables of COMPONENT's band that it may be placed below, by user
// name (or component name), each with the component as the entry's object.
void GetShiftRelativeToCandidates(cls::TComponent* component, cls::TStringList* list, bool byUserName);
// After loading: the first "." of every tab-stop position becomes the
// system's decimal separator.
void ppFixTabStops(cls::TStringList* tabStops);

// ---- page keys and page lists ----

// A page number as a key: "%8d", so that text order is numeric order.
std::string ppPageKey(int64_t pageNo);
// Numbers above this are ignored in page lists, and a list stops growing at
// ppMaxPageListEntries keys.
constexpr int64_t ppMaxPageNumber = 99999999;
constexpr int ppMaxPageListEntries = 100000;
// "1,3,5-7" -> 1, 3, 5, 6, 7 as page keys (plain numbers with TRIM).
void ParsePageList(const std::string& text, cls::TStringList* list, bool trim);

// ---- system variable texts ----

std::string BuildSystemVariableText(TppVarType varType, int pageNo, int pageCount, bool printing,
                                    double printDateTime);

// ---- temporary files and threads ----

std::string GetTempDirectory();
// A new unique file in FOLDER with PREFIX; empty when none can be made.
std::string MakeTempFileName(const std::string& folder, const std::string& prefix);

bool InMainThread();
void BeginTreatAsMainThread();
void EndTreatAsMainThread();

// ---- published properties by name ----

bool HasPublishedProp(cls::TObject* object, const std::string& name);
int64_t GetOrdPropByName(cls::TObject* object, const std::string& name);         // 0 when absent
std::string GetStrPropByName(cls::TObject* object, const std::string& name);     // empty when absent
void SetOrdPropByName(cls::TObject* object, const std::string& name, int64_t value);
void SetMethodPropByName(cls::TObject* object, const std::string& name, const cls::TMethod& method);
// The object's published method bound to it; unassigned when none.
cls::TMethod GetMethodByName(cls::TObject* object, const std::string& name);

// Looks ahead in the reader's property list for NAME holding an identifier
// and gives the part after its last "."; empty when there is none. The
// reader is back where it was afterwards.
std::string ReadIdentProperty(cls::TReader& reader, const std::string& name);
// An integer, or a float rounded to the nearest integer.
int64_t ReadIntegerOrFloat(cls::TReader& reader);
