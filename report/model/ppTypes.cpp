#include "report/model/ppTypes.h"

#include <mutex>

#include "platform/gdi/canvas.h"

#define PP_ENUM_IMPL(Type, ...)                                                  \
  const cls::TTypeInfo* TypeInfo##Type() {                                       \
    static const cls::TTypeInfo* t = cls::MakeEnumTypeInfo(#Type, __VA_ARGS__); \
    return t;                                                                    \
  }
PP_ENUM_IMPL(TppCollationType, {"ctANSI", "ctASCII"})
PP_ENUM_IMPL(TppBarCodeType, {"bcUPC_A", "bcUPC_E", "bcEAN_13", "bcEAN_8", "bcInt2of5", "bcCode128", "bcCode39", "bcPostnet", "bcFIM", "bcCodabar", "bcMSI"})
PP_ENUM_IMPL(TppBarCodeOrientation, {"orLeftToRight", "orRightToLeft", "orTopToBottom", "orBottomToTop"})
PP_ENUM_IMPL(TppBreakType, {"btDataField", "btCustomField"})
PP_ENUM_IMPL(TppCalcType, {"ctDate", "ctDateTime", "ctPrintDateTime", "ctPageCount", "ctPageSet", "ctPageSetDesc", "ctPageNo", "ctPageNoDesc", "ctTime", "ctCustom"})
PP_ENUM_IMPL(TppDataType, {"dtBoolean", "dtDate", "dtTime", "dtDateTime", "dtInteger", "dtSingle", "dtDouble", "dtExtended", "dtCurrency", "dtChar", "dtString", "dtVariant", "dtLongint", "dtBLOB", "dtMemo", "dtGraphic", "dtNotKnown", "dtLargeInt"})
PP_ENUM_IMPL(TppDBCalcType, {"dcCount", "dcSum", "dcMinimum", "dcMaximum", "dcAverage"})
PP_ENUM_IMPL(TppDuplexType, {"dpNone", "dpHorizontal", "dpVertical"})
PP_ENUM_IMPL(TppFileType, {"ftComma", "ftTab", "ftFixedLength", "ftCustom"})
PP_ENUM_IMPL(TppFormatType, {"ftBinary", "ftASCII"})
PP_ENUM_IMPL(TppLanguageType, {"lgDefault", "lgDanish", "lgDutch", "lgEnglish", "lgFrench", "lgGerman", "lgItalian", "lgPortugueseBrazil", "lgPortuguese", "lgSpanish", "lgSpanishMexico", "lgSwedish", "lgNorwegian", "lgCustom"})
PP_ENUM_IMPL(TppLinePositionType, {"lpTop", "lpBottom", "lpLeft", "lpRight"})
PP_ENUM_IMPL(TppLineStyleType, {"lsSingle", "lsDouble"})
PP_ENUM_IMPL(TppNoDataBehaviorType, {"ndMessageDialog", "ndMessageOnPage", "ndBlankPage", "ndBlankReport"})
PP_ENUM_IMPL(TppOutlineNodeType, {"ntRoot", "ntReport", "ntSubReport", "ntGroup", "ntPage", "ntNoOutline", "ntOther"})
PP_ENUM_IMPL(TppPageSettingType, {"psAll", "psPageList", "psSinglePage", "psFirstPage", "psLastPage", "psPageRange"})
PP_ENUM_IMPL(TppPageRangeType, {"prAll", "prOddPages", "prEvenPages"})
PP_ENUM_IMPL(TppPassSettingType, {"psOnePass", "psTwoPass"})
PP_ENUM_IMPL(TppPrintBehaviorType, {"pbChild", "pbSection", "pbFixed"})
PP_ENUM_IMPL(TppPrintHeightType, {"phStatic", "phDynamic"})
PP_ENUM_IMPL(TppRangeBeginType, {"rbFirstRecord", "rbLastRecord", "rbCurrentRecord"})
PP_ENUM_IMPL(TppRangeEndType, {"reFirstRecord", "reLastRecord", "reCurrentRecord", "reCount"})
PP_ENUM_IMPL(TppSaveToType, {"stDatabase", "stFile"})
PP_ENUM_IMPL(TppSearchOperatorType, {"soEqual", "soNotEqual", "soLessThan", "soLessThanOrEqualTo", "soGreaterThan", "soGreaterThanOrEqualTo", "soLike", "soNotLike", "soBetween", "soNotBetween", "soInList", "soNotInList", "soBlank", "soNotBlank"})
PP_ENUM_IMPL(TppSortOrderType, {"soAscending", "soDescending"})
PP_ENUM_IMPL(TppUnitType, {"utScreenPixels", "utInches", "utMillimeters", "utPrinterPixels", "utMMThousandths"})
PP_ENUM_IMPL(TppVarEventType, {"veTraversal", "veDataPipelineTraversal", "vePageStart", "vePageEnd", "veColumnStart", "veColumnEnd", "veReportStart", "veReportEnd", "veGroupStart", "veGroupEnd", "veGroupBeforeHeader", "veGroupBeforeFooter"})
PP_ENUM_IMPL(TppVarType, {"vtDate", "vtDateTime", "vtDocumentName", "vtPrintDateTime", "vtPageCount", "vtPageSet", "vtPageSetDesc", "vtPageNo", "vtPageNoDesc", "vtTime"})
PP_ENUM_IMPL(TppTextAlignment, {"taLeftJustified", "taRightJustified", "taCentered", "taFullJustified"})
PP_ENUM_IMPL(TppZoomSettingType, {"zsWholePage", "zsPageWidth", "zs100Percent", "zsPercentage"})
PP_ENUM_IMPL(TppVerticalScrollEventType, {"vsLineUp", "vsLineDown", "vsPageUp", "vsPageDown", "vsThumbPos", "vsThumbTrack", "vsTop", "vsBottom", "vsEndScroll"})
PP_ENUM_IMPL(TppHorizontalScrollEventType, {"hsLineLeft", "hsLineRight", "hsPageLeft", "hsPageRight", "hsThumbPos", "hsThumbTrack", "hsLeft", "hsRight", "hsEndScroll"})
#undef PP_ENUM_IMPL
const cls::TTypeInfo* TypeInfoTPrinterOrientation() { return ppPlatformEnumTypeInfo("TPrinterOrientation"); }

namespace {

struct Entry {
  std::string name;
  const cls::TTypeInfo* description;
};

std::mutex g_mutex;
std::vector<Entry>*& Entries() {
  static std::vector<Entry>* list = nullptr;
  return list;
}

const char* const kStartupTypes[] = {
    "Boolean", "TBrushStyle", "TPenStyle", "TAlignment", "TppBarCodeType", "TppBarCodeOrientation",
    "TppBreakType", "TppCalcType", "TppDataType", "TppDBCalcType", "TppDuplexType", "TppFileType",
    "TppFormatType", "TppLanguageType", "TppLinePositionType", "TppLineStyleType", "TppPassSettingType",
    "TppPrintBehaviorType", "TppPrintHeightType", "TppRangeBeginType", "TppRangeEndType", "TppSaveToType",
    "TppSearchOperatorType", "TShapeType", "TppSortOrderType", "TppTextAlignment", "TppUnitType",
    "TppVarEventType", "TppVarType", "TPrinterOrientation"};

const cls::TTypeInfo* StartupDescription(const std::string& name) {
  if (name == "Boolean") return cls::TypeInfoBoolean();
  if (const cls::TTypeInfo* t = ppPlatformEnumTypeInfo(name)) return t;
  static const std::vector<const cls::TTypeInfo*> own = {
      TypeInfoTppBarCodeType(), TypeInfoTppBarCodeOrientation(), TypeInfoTppBreakType(),
      TypeInfoTppCalcType(), TypeInfoTppDataType(), TypeInfoTppDBCalcType(), TypeInfoTppDuplexType(),
      TypeInfoTppFileType(), TypeInfoTppFormatType(), TypeInfoTppLanguageType(),
      TypeInfoTppLinePositionType(), TypeInfoTppLineStyleType(), TypeInfoTppPassSettingType(),
      TypeInfoTppPrintBehaviorType(), TypeInfoTppPrintHeightType(), TypeInfoTppRangeBeginType(),
      TypeInfoTppRangeEndType(), TypeInfoTppSaveToType(), TypeInfoTppSearchOperatorType(),
      TypeInfoTppSortOrderType(), TypeInfoTppTextAlignment(), TypeInfoTppUnitType(),
      TypeInfoTppVarEventType(), TypeInfoTppVarType()};
  for (const cls::TTypeInfo* t : own)
    if (t->Name == name) return t;
  return nullptr;
}

// The unit's initialisation and finalisation.
struct RegistryUnit {
  RegistryUnit() {
    for (const char* name : kStartupTypes) RegisterEnumType(name, StartupDescription(name));
  }
  ~RegistryUnit() {
    for (const char* name : kStartupTypes) UnregisterEnumType(name);
    std::lock_guard<std::mutex> lock(g_mutex);
    delete Entries();
    Entries() = nullptr;
  }
} g_unit;

}  // namespace

const cls::TTypeInfo* ppPlatformEnumTypeInfo(const std::string& typeName) {
  static const std::vector<const cls::TTypeInfo*> types = {
      gdi::TypeInfoTBrushStyle(), gdi::TypeInfoTPenStyle(),
      cls::MakeEnumTypeInfo("TAlignment", {"taLeftJustify", "taRightJustify", "taCenter"}),
      cls::MakeEnumTypeInfo("TShapeType",
                            {"stRectangle", "stSquare", "stRoundRect", "stRoundSquare", "stEllipse", "stCircle"}),
      cls::MakeEnumTypeInfo("TPrinterOrientation", {"poPortrait", "poLandscape"})};
  for (const cls::TTypeInfo* t : types)
    if (t->Name == typeName) return t;
  return nullptr;
}

void RegisterEnumType(const std::string& typeName, const cls::TTypeInfo* description) {
  std::lock_guard<std::mutex> lock(g_mutex);
  if (!Entries()) Entries() = new std::vector<Entry>();
  for (Entry& e : *Entries())
    if (cls::SameText(e.name, typeName)) {
      e.description = description;
      return;
    }
  Entries()->push_back(Entry{typeName, description});
}

void UnregisterEnumType(const std::string& typeName) {
  std::lock_guard<std::mutex> lock(g_mutex);
  if (!Entries()) return;
  auto& v = *Entries();
  for (auto it = v.begin(); it != v.end(); ++it)
    if (cls::SameText(it->name, typeName)) {
      v.erase(it);
      return;
    }
}

const cls::TTypeInfo* FindEnumType(const std::string& typeName) {
  std::lock_guard<std::mutex> lock(g_mutex);
  if (!Entries()) return nullptr;
  for (const Entry& e : *Entries())
    if (cls::SameText(e.name, typeName)) return e.description;
  return nullptr;
}

std::vector<std::string> RegisteredEnumTypeNames() {
  std::lock_guard<std::mutex> lock(g_mutex);
  std::vector<std::string> out;
  if (Entries())
    for (const Entry& e : *Entries()) out.push_back(e.name);
  return out;
}

int VarEventToEventId(TppVarEventType eventType) {
  switch (eventType) {
    case veTraversal: return 35;
    case veDataPipelineTraversal: return 39;
    case vePageStart: return 21;
    case vePageEnd: return 17;
    case veColumnStart: return 19;
    case veColumnEnd: return 15;
    case veReportStart: return 13;
    case veReportEnd: return 14;
    case veGroupStart: return 28;
    case veGroupEnd: return 27;
    case veGroupBeforeHeader: return 29;
    case veGroupBeforeFooter: return 30;
  }
  return -1;
}
