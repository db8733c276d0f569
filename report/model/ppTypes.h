// Exceptions and enumerations of the report library, and the registry
// through which the scripting layer finds an enumeration by its type name.
#pragma once
#include <cstdint>
#include <string>
#include <vector>

#include "platform/classes/sysutils.h"
#include "platform/classes/typinfo.h"

// ---- exceptions ----

CLS_DECLARE_EXCEPTION(EPagewrightError, cls::Exception);
CLS_DECLARE_EXCEPTION(EPrintError, EPagewrightError);
CLS_DECLARE_EXCEPTION(EDataError, EPagewrightError);
CLS_DECLARE_EXCEPTION(EDesignError, EPagewrightError);
CLS_DECLARE_EXCEPTION(EInvalidPropertyError, EPagewrightError);
CLS_DECLARE_EXCEPTION(ETemplateLoadError, EPagewrightError);
CLS_DECLARE_EXCEPTION(ETemplateSaveError, EPagewrightError);
CLS_DECLARE_EXCEPTION(EInvalidTemplateError, EPagewrightError);
CLS_DECLARE_EXCEPTION(EOutlineError, EPagewrightError);
CLS_DECLARE_EXCEPTION(EBackgroundPrintError, EPagewrightError);
CLS_DECLARE_EXCEPTION(EBackgroundPrintTimeoutError, EBackgroundPrintError);
CLS_DECLARE_EXCEPTION(EParameterError, EPagewrightError);

// ---- enumerations (one byte each, numbered from 0) ----
// Scoped where two enumerations share a value prefix.

enum class TppCollationType : uint8_t { ctANSI, ctASCII };
enum TppBarCodeType : uint8_t { bcUPC_A, bcUPC_E, bcEAN_13, bcEAN_8, bcInt2of5, bcCode128, bcCode39, bcPostnet, bcFIM, bcCodabar, bcMSI };
enum TppBarCodeOrientation : uint8_t { orLeftToRight, orRightToLeft, orTopToBottom, orBottomToTop };
enum TppBreakType : uint8_t { btDataField, btCustomField };
enum class TppCalcType : uint8_t { ctDate, ctDateTime, ctPrintDateTime, ctPageCount, ctPageSet, ctPageSetDesc, ctPageNo, ctPageNoDesc, ctTime, ctCustom };
enum TppDataType : uint8_t { dtBoolean, dtDate, dtTime, dtDateTime, dtInteger, dtSingle, dtDouble, dtExtended, dtCurrency, dtChar, dtString, dtVariant, dtLongint, dtBLOB, dtMemo, dtGraphic, dtNotKnown, dtLargeInt };
enum TppDBCalcType : uint8_t { dcCount, dcSum, dcMinimum, dcMaximum, dcAverage };
enum TppDuplexType : uint8_t { dpNone, dpHorizontal, dpVertical };
enum class TppFileType : uint8_t { ftComma, ftTab, ftFixedLength, ftCustom };
enum class TppFormatType : uint8_t { ftBinary, ftASCII };
enum TppLanguageType : uint8_t { lgDefault, lgDanish, lgDutch, lgEnglish, lgFrench, lgGerman, lgItalian, lgPortugueseBrazil, lgPortuguese, lgSpanish, lgSpanishMexico, lgSwedish, lgNorwegian, lgCustom };
enum TppLinePositionType : uint8_t { lpTop, lpBottom, lpLeft, lpRight };
enum TppLineStyleType : uint8_t { lsSingle, lsDouble };
enum TppNoDataBehaviorType : uint8_t { ndMessageDialog, ndMessageOnPage, ndBlankPage, ndBlankReport };
enum TppOutlineNodeType : uint8_t { ntRoot, ntReport, ntSubReport, ntGroup, ntPage, ntNoOutline, ntOther };
enum class TppPageSettingType : uint8_t { psAll, psPageList, psSinglePage, psFirstPage, psLastPage, psPageRange };
enum TppPageRangeType : uint8_t { prAll, prOddPages, prEvenPages };
enum class TppPassSettingType : uint8_t { psOnePass, psTwoPass };
enum TppPrintBehaviorType : uint8_t { pbChild, pbSection, pbFixed };
enum TppPrintHeightType : uint8_t { phStatic, phDynamic };
enum TppRangeBeginType : uint8_t { rbFirstRecord, rbLastRecord, rbCurrentRecord };
enum TppRangeEndType : uint8_t { reFirstRecord, reLastRecord, reCurrentRecord, reCount };
enum TppSaveToType : uint8_t { stDatabase, stFile };
enum class TppSearchOperatorType : uint8_t { soEqual, soNotEqual, soLessThan, soLessThanOrEqualTo, soGreaterThan, soGreaterThanOrEqualTo, soLike, soNotLike, soBetween, soNotBetween, soInList, soNotInList, soBlank, soNotBlank };
enum class TppSortOrderType : uint8_t { soAscending, soDescending };
enum TppUnitType : uint8_t { utScreenPixels, utInches, utMillimeters, utPrinterPixels, utMMThousandths };
enum TppVarEventType : uint8_t { veTraversal, veDataPipelineTraversal, vePageStart, vePageEnd, veColumnStart, veColumnEnd, veReportStart, veReportEnd, veGroupStart, veGroupEnd, veGroupBeforeHeader, veGroupBeforeFooter };
enum TppVarType : uint8_t { vtDate, vtDateTime, vtDocumentName, vtPrintDateTime, vtPageCount, vtPageSet, vtPageSetDesc, vtPageNo, vtPageNoDesc, vtTime };
enum TppTextAlignment : uint8_t { taLeftJustified, taRightJustified, taCentered, taFullJustified };
enum TppZoomSettingType : uint8_t { zsWholePage, zsPageWidth, zs100Percent, zsPercentage };
enum TppVerticalScrollEventType : uint8_t { vsLineUp, vsLineDown, vsPageUp, vsPageDown, vsThumbPos, vsThumbTrack, vsTop, vsBottom, vsEndScroll };
enum TppHorizontalScrollEventType : uint8_t { hsLineLeft, hsLineRight, hsPageLeft, hsPageRight, hsThumbPos, hsThumbTrack, hsLeft, hsRight, hsEndScroll };
// The platform printer's orientation.
enum TPrinterOrientation : uint8_t { poPortrait, poLandscape };

// A small set of enumeration values.
template <class E>
class TppSet {
 public:
  TppSet() = default;
  TppSet(std::initializer_list<E> values) {
    for (E v : values) Include(v);
  }
  void Include(E v) { bits_ |= Bit(v); }
  void Exclude(E v) { bits_ &= ~Bit(v); }
  bool Contains(E v) const { return (bits_ & Bit(v)) != 0; }
  bool Empty() const { return bits_ == 0; }
  uint64_t Bits() const { return bits_; }
  static TppSet FromBits(uint64_t b) {
    TppSet s;
    s.bits_ = b;
    return s;
  }
  bool operator==(const TppSet& o) const { return bits_ == o.bits_; }

 private:
  static uint64_t Bit(E v) { return uint64_t(1) << static_cast<unsigned>(v); }
  uint64_t bits_ = 0;
};
using TppNoDataBehaviors = TppSet<TppNoDataBehaviorType>;

// Type descriptions (value names in order) of the enumerations.
template <class E>
const cls::TTypeInfo* ppEnumTypeInfo();
#define PP_ENUM_TYPEINFO(Type)          \
  const cls::TTypeInfo* TypeInfo##Type(); \
  template <>                           \
  inline const cls::TTypeInfo* ppEnumTypeInfo<Type>() { return TypeInfo##Type(); }
PP_ENUM_TYPEINFO(TppCollationType)
PP_ENUM_TYPEINFO(TppBarCodeType)
PP_ENUM_TYPEINFO(TppBarCodeOrientation)
PP_ENUM_TYPEINFO(TppBreakType)
PP_ENUM_TYPEINFO(TppCalcType)
PP_ENUM_TYPEINFO(TppDataType)
PP_ENUM_TYPEINFO(TppDBCalcType)
PP_ENUM_TYPEINFO(TppDuplexType)
PP_ENUM_TYPEINFO(TppFileType)
PP_ENUM_TYPEINFO(TppFormatType)
PP_ENUM_TYPEINFO(TppLanguageType)
PP_ENUM_TYPEINFO(TppLinePositionType)
PP_ENUM_TYPEINFO(TppLineStyleType)
PP_ENUM_TYPEINFO(TppNoDataBehaviorType)
PP_ENUM_TYPEINFO(TppOutlineNodeType)
PP_ENUM_TYPEINFO(TppPageSettingType)
PP_ENUM_TYPEINFO(TppPageRangeType)
PP_ENUM_TYPEINFO(TppPassSettingType)
PP_ENUM_TYPEINFO(TppPrintBehaviorType)
PP_ENUM_TYPEINFO(TppPrintHeightType)
PP_ENUM_TYPEINFO(TppRangeBeginType)
PP_ENUM_TYPEINFO(TppRangeEndType)
PP_ENUM_TYPEINFO(TppSaveToType)
PP_ENUM_TYPEINFO(TppSearchOperatorType)
PP_ENUM_TYPEINFO(TppSortOrderType)
PP_ENUM_TYPEINFO(TppUnitType)
PP_ENUM_TYPEINFO(TppVarEventType)
PP_ENUM_TYPEINFO(TppVarType)
PP_ENUM_TYPEINFO(TppTextAlignment)
PP_ENUM_TYPEINFO(TppZoomSettingType)
PP_ENUM_TYPEINFO(TppVerticalScrollEventType)
PP_ENUM_TYPEINFO(TppHorizontalScrollEventType)
PP_ENUM_TYPEINFO(TPrinterOrientation)
#undef PP_ENUM_TYPEINFO

// The value name of an enumeration value, and the value of a name (-1 when
// none, case-insensitive).
template <class E>
std::string ppEnumName(E value) {
  return cls::GetEnumName(ppEnumTypeInfo<E>(), static_cast<int64_t>(value));
}
template <class E>
int ppEnumValue(const std::string& name) {
  return static_cast<int>(cls::GetEnumValue(ppEnumTypeInfo<E>(), name));
}

// Type descriptions of the class library's and the printer's enumerations
// that the registry names: TBrushStyle, TPenStyle, TAlignment, TShapeType,
// TPrinterOrientation.
const cls::TTypeInfo* ppPlatformEnumTypeInfo(const std::string& typeName);

// ---- enumeration registry ----

// Replaces the description of a name already present, else appends.
void RegisterEnumType(const std::string& typeName, const cls::TTypeInfo* description);
void UnregisterEnumType(const std::string& typeName);
// The description registered under the name (case-insensitive), or nullptr.
const cls::TTypeInfo* FindEnumType(const std::string& typeName);
// Registered names in order.
std::vector<std::string> RegisteredEnumTypeNames();

// The event id of a variable event type.
int VarEventToEventId(TppVarEventType eventType);
