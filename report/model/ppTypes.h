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
CLS_DECLARE_EXCEPTION(ESearchError, EPagewrightError);

// ---- enumerations (one byte each, numbered from 0) ----
//
// Each is declared once with its value names (CLS_ENUM of platform/classes):
//   PP_ENUM(Type, values...)                  not registered at start-up
//   PP_STARTUP_ENUM(Slot, Type, values...)    the registry knows it from the
//                                             start, at place Slot of its list
// and the _CLASS forms for scoped ones (two enumerations sharing a value
// prefix). ppRegisterModel() registers the start-up places 0 to
// ppStartupEnumCount - 1 in order; types declared elsewhere take their place
// with PP_STARTUP_TYPE. A place left empty or taken twice does not compile.
// Example: PP_STARTUP_ENUM(26, TppUnitType, utScreenPixels, utInches, ...)

constexpr int ppStartupEnumCount = 30;
template <int Slot>
struct ppStartupEnum;  // static const cls::TTypeInfo* TypeInfo()

#define PP_STARTUP_TYPE(Slot, TypeInfoExpression)                                         \
  template <>                                                                             \
  struct ppStartupEnum<Slot> {                                                            \
    static_assert((Slot) >= 0 && (Slot) < ppStartupEnumCount, "no such start-up place"); \
    static const cls::TTypeInfo* TypeInfo() { return TypeInfoExpression; }               \
  };
#define PP_ENUM(Type, ...) CLS_ENUM(Type, __VA_ARGS__)
#define PP_ENUM_CLASS(Type, ...) CLS_ENUM_CLASS(Type, __VA_ARGS__)
#define PP_STARTUP_ENUM(Slot, Type, ...) \
  CLS_ENUM(Type, __VA_ARGS__)            \
  PP_STARTUP_TYPE(Slot, cls::EnumTypeInfo<Type>())
#define PP_STARTUP_ENUM_CLASS(Slot, Type, ...) \
  CLS_ENUM_CLASS(Type, __VA_ARGS__)            \
  PP_STARTUP_TYPE(Slot, cls::EnumTypeInfo<Type>())

// Places 0 to 3: Boolean, the canvas's brush and pen styles, the class
// library's alignment.
const cls::TTypeInfo* ppTypeInfoBrushStyle();
const cls::TTypeInfo* ppTypeInfoPenStyle();
PP_STARTUP_TYPE(0, cls::TypeInfoBoolean())
PP_STARTUP_TYPE(1, ppTypeInfoBrushStyle())
PP_STARTUP_TYPE(2, ppTypeInfoPenStyle())
PP_STARTUP_TYPE(3, cls::EnumTypeInfo<cls::TAlignment>())
PP_STARTUP_ENUM(4, TppBarCodeType, bcUPC_A, bcUPC_E, bcEAN_13, bcEAN_8, bcInt2of5, bcCode128, bcCode39, bcPostnet,
                bcFIM, bcCodabar, bcMSI)
PP_STARTUP_ENUM(5, TppBarCodeOrientation, orLeftToRight, orRightToLeft, orTopToBottom, orBottomToTop)
PP_STARTUP_ENUM(6, TppBreakType, btDataField, btCustomField)
PP_STARTUP_ENUM_CLASS(7, TppCalcType, ctDate, ctDateTime, ctPrintDateTime, ctPageCount, ctPageSet, ctPageSetDesc,
                      ctPageNo, ctPageNoDesc, ctTime, ctCustom)
PP_STARTUP_ENUM(8, TppDataType, dtBoolean, dtDate, dtTime, dtDateTime, dtInteger, dtSingle, dtDouble, dtExtended,
                dtCurrency, dtChar, dtString, dtVariant, dtLongint, dtBLOB, dtMemo, dtGraphic, dtNotKnown, dtLargeInt)
PP_STARTUP_ENUM(9, TppDBCalcType, dcCount, dcSum, dcMinimum, dcMaximum, dcAverage)
PP_STARTUP_ENUM(10, TppDuplexType, dpNone, dpHorizontal, dpVertical)
PP_STARTUP_ENUM_CLASS(11, TppFileType, ftComma, ftTab, ftFixedLength, ftCustom)
PP_STARTUP_ENUM_CLASS(12, TppFormatType, ftBinary, ftASCII)
PP_STARTUP_ENUM(13, TppLanguageType, lgDefault, lgDanish, lgDutch, lgEnglish, lgFrench, lgGerman, lgItalian,
                lgPortugueseBrazil, lgPortuguese, lgSpanish, lgSpanishMexico, lgSwedish, lgNorwegian, lgCustom)
PP_STARTUP_ENUM(14, TppLinePositionType, lpTop, lpBottom, lpLeft, lpRight)
PP_STARTUP_ENUM(15, TppLineStyleType, lsSingle, lsDouble)
PP_STARTUP_ENUM_CLASS(16, TppPassSettingType, psOnePass, psTwoPass)
PP_STARTUP_ENUM(17, TppPrintBehaviorType, pbChild, pbSection, pbFixed)
PP_STARTUP_ENUM(18, TppPrintHeightType, phStatic, phDynamic)
PP_STARTUP_ENUM(19, TppRangeBeginType, rbFirstRecord, rbLastRecord, rbCurrentRecord)
PP_STARTUP_ENUM(20, TppRangeEndType, reFirstRecord, reLastRecord, reCurrentRecord, reCount)
PP_STARTUP_ENUM(21, TppSaveToType, stDatabase, stFile)
PP_STARTUP_ENUM_CLASS(22, TppSearchOperatorType, soEqual, soNotEqual, soLessThan, soLessThanOrEqualTo, soGreaterThan,
                      soGreaterThanOrEqualTo, soLike, soNotLike, soBetween, soNotBetween, soInList, soNotInList,
                      soBlank, soNotBlank)
// The shape components' shapes (the class library's type).
PP_STARTUP_ENUM_CLASS(23, TShapeType, stRectangle, stSquare, stRoundRect, stRoundSquare, stEllipse, stCircle)
PP_STARTUP_ENUM_CLASS(24, TppSortOrderType, soAscending, soDescending)
PP_STARTUP_ENUM(25, TppTextAlignment, taLeftJustified, taRightJustified, taCentered, taFullJustified)
PP_STARTUP_ENUM(26, TppUnitType, utScreenPixels, utInches, utMillimeters, utPrinterPixels, utMMThousandths)
PP_STARTUP_ENUM(27, TppVarEventType, veTraversal, veDataPipelineTraversal, vePageStart, vePageEnd, veColumnStart,
                veColumnEnd, veReportStart, veReportEnd, veGroupStart, veGroupEnd, veGroupBeforeHeader,
                veGroupBeforeFooter)
PP_STARTUP_ENUM(28, TppVarType, vtDate, vtDateTime, vtDocumentName, vtPrintDateTime, vtPageCount, vtPageSet,
                vtPageSetDesc, vtPageNo, vtPageNoDesc, vtTime)
// The platform printer's orientation.
PP_STARTUP_ENUM(29, TPrinterOrientation, poPortrait, poLandscape)

PP_ENUM_CLASS(TppCollationType, ctANSI, ctASCII)
PP_ENUM(TppColumnTraversalType, ctTopToBottom, ctLeftToRight)
PP_ENUM(TppNoDataBehaviorType, ndMessageDialog, ndMessageOnPage, ndBlankPage, ndBlankReport)
PP_ENUM(TppOutlineNodeType, ntRoot, ntReport, ntSubReport, ntGroup, ntPage, ntNoOutline, ntOther)
PP_ENUM_CLASS(TppPageSettingType, psAll, psPageList, psSinglePage, psFirstPage, psLastPage, psPageRange)
PP_ENUM(TppPageRangeType, prAll, prOddPages, prEvenPages)
// The preview registers these when it comes.
PP_ENUM(TppZoomSettingType, zsWholePage, zsPageWidth, zs100Percent, zsPercentage)
PP_ENUM(TppVerticalScrollEventType, vsLineUp, vsLineDown, vsPageUp, vsPageDown, vsThumbPos, vsThumbTrack, vsTop,
        vsBottom, vsEndScroll)
PP_ENUM(TppHorizontalScrollEventType, hsLineLeft, hsLineRight, hsPageLeft, hsPageRight, hsThumbPos, hsThumbTrack,
        hsLeft, hsRight, hsEndScroll)

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

// The type description of an enumeration (value names in order), the value
// name of a value (empty out of range) and the value of a name (-1 when
// none, case-insensitive).
template <class E>
const cls::TTypeInfo* ppEnumTypeInfo() {
  return cls::EnumTypeInfo<E>();
}
template <class E>
std::string ppEnumName(E value) {
  return cls::EnumName(value);
}
template <class E>
int ppEnumValue(const std::string& name) {
  return cls::EnumValue<E>(name);
}

// ---- enumeration registry ----

// Created on first use, empty until ppRegisterModel() enters the start-up
// types. Replaces the description of a name already present, else appends.
void RegisterEnumType(const std::string& typeName, const cls::TTypeInfo* description);
void UnregisterEnumType(const std::string& typeName);
// The description registered under the name (case-insensitive), or nullptr.
const cls::TTypeInfo* FindEnumType(const std::string& typeName);
// Registered names in order.
std::vector<std::string> RegisteredEnumTypeNames();

// The event id of a variable event type.
int VarEventToEventId(TppVarEventType eventType);
