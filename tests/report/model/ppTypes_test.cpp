#include <gtest/gtest.h>

#include <set>
#include <utility>

#include "platform/classes/typinfo.h"
#include "report/model/ppRegister.h"
#include "report/model/ppTypes.h"
#include "report/model/ppUtils.h"

namespace {

TEST(Exceptions, OneRootForTheLibrary) {
  try {
    throw EPrintError("TppEngine.Generate: no pages");
  } catch (const EPagewrightError& e) {
    EXPECT_EQ(e.Message(), "TppEngine.Generate: no pages");
    EXPECT_STREQ(e.ClassName(), "EPrintError");
  }
  EXPECT_THROW(throw EBackgroundPrintTimeoutError(""), EBackgroundPrintError);
  EXPECT_THROW(throw EParameterError(""), cls::Exception);
}

TEST(Enumerations, ValuesAndNamesInOrder) {
  EXPECT_EQ(static_cast<int>(utMMThousandths), 4);
  EXPECT_EQ(static_cast<int>(bcEAN_13), 2);
  EXPECT_EQ(static_cast<int>(dtLargeInt), 17);
  EXPECT_EQ(static_cast<int>(TppSearchOperatorType::soNotBlank), 13);
  EXPECT_EQ(ppEnumName(utMillimeters), "utMillimeters");
  EXPECT_EQ(ppEnumName(TppPageSettingType::psPageRange), "psPageRange");
  EXPECT_EQ(ppEnumName(taFullJustified), "taFullJustified");
  EXPECT_EQ(ppEnumName(zs100Percent), "zs100Percent");
  EXPECT_EQ(ppEnumName(static_cast<TppUnitType>(9)), "");
  EXPECT_EQ(ppEnumValue<TppVarType>("VTTIME"), static_cast<int>(vtTime));
  EXPECT_EQ(ppEnumValue<TppVarType>("vtNothing"), -1);
  EXPECT_EQ(ppEnumTypeInfo<TppLanguageType>()->EnumNames.size(), 14u);
  EXPECT_EQ(ppEnumTypeInfo<TppHorizontalScrollEventType>()->EnumNames.back(), "hsEndScroll");
  EXPECT_EQ(ppEnumName(poLandscape), "poLandscape");
  EXPECT_EQ(ppEnumTypeInfo<TPrinterOrientation>(), FindEnumType("TPrinterOrientation"));
  TppNoDataBehaviors b{ndBlankPage};
  b.Include(ndMessageDialog);
  EXPECT_TRUE(b.Contains(ndBlankPage));
  EXPECT_FALSE(b.Contains(ndBlankReport));
  EXPECT_EQ(b.Bits(), 5u);
}

// Every value of E: its name round-trips, names are distinct identifiers
// sharing the enumeration's two-letter prefix, one past the end has none.
template <class E>
void CheckEnumeration() {
  const cls::TTypeInfo* t = cls::EnumTypeInfo<E>();
  SCOPED_TRACE(t->Name);
  ASSERT_EQ(t->Kind, cls::tkEnumeration);
  ASSERT_EQ(static_cast<int>(t->EnumNames.size()), cls::EnumCount<E>());
  ASSERT_GE(cls::EnumCount<E>(), 2);
  std::set<std::string> seen;
  const std::string prefix = t->EnumNames[0].substr(0, 2);
  for (int v = 0; v < cls::EnumCount<E>(); ++v) {
    std::string name = cls::EnumName(static_cast<E>(v));
    EXPECT_TRUE(cls::IsValidIdent(name)) << name;
    EXPECT_TRUE(seen.insert(name).second) << name;
    EXPECT_EQ(name.substr(0, 2), prefix) << name;
    EXPECT_EQ(cls::EnumValue<E>(name), v);
  }
  EXPECT_EQ(cls::EnumName(static_cast<E>(cls::EnumCount<E>())), "");
}

template <size_t... Slot>
void CheckStartupEnumerations(std::index_sequence<Slot...>) {
  // Place 0 is Boolean; the others are enumerations of the library or the platform.
  for (const cls::TTypeInfo* t : {ppStartupEnum<static_cast<int>(Slot) + 1>::TypeInfo()...}) {
    SCOPED_TRACE(t->Name);
    std::set<std::string> seen(t->EnumNames.begin(), t->EnumNames.end());
    EXPECT_EQ(seen.size(), t->EnumNames.size());
    for (size_t v = 0; v < t->EnumNames.size(); ++v) {
      EXPECT_EQ(t->EnumNames[v].substr(0, 2), t->EnumNames[0].substr(0, 2));
      EXPECT_EQ(cls::GetEnumValue(t, t->EnumNames[v]), static_cast<int64_t>(v));
    }
  }
}

TEST(Enumerations, EveryDeclarationNamesEveryValue) {
  CheckEnumeration<TppBarCodeType>();
  CheckEnumeration<TppBarCodeOrientation>();
  CheckEnumeration<TppBreakType>();
  CheckEnumeration<TppCalcType>();
  CheckEnumeration<TppDataType>();
  CheckEnumeration<TppDBCalcType>();
  CheckEnumeration<TppDuplexType>();
  CheckEnumeration<TppFileType>();
  CheckEnumeration<TppFormatType>();
  CheckEnumeration<TppLanguageType>();
  CheckEnumeration<TppLinePositionType>();
  CheckEnumeration<TppLineStyleType>();
  CheckEnumeration<TppPassSettingType>();
  CheckEnumeration<TppPrintBehaviorType>();
  CheckEnumeration<TppPrintHeightType>();
  CheckEnumeration<TppRangeBeginType>();
  CheckEnumeration<TppRangeEndType>();
  CheckEnumeration<TppSaveToType>();
  CheckEnumeration<TppSearchOperatorType>();
  CheckEnumeration<TShapeType>();
  CheckEnumeration<TppSortOrderType>();
  CheckEnumeration<TppTextAlignment>();
  CheckEnumeration<TppUnitType>();
  CheckEnumeration<TppVarEventType>();
  CheckEnumeration<TppVarType>();
  CheckEnumeration<TPrinterOrientation>();
  CheckEnumeration<TppCollationType>();
  CheckEnumeration<TppNoDataBehaviorType>();
  CheckEnumeration<TppOutlineNodeType>();
  CheckEnumeration<TppPageSettingType>();
  CheckEnumeration<TppPageRangeType>();
  CheckEnumeration<TppZoomSettingType>();
  CheckEnumeration<TppVerticalScrollEventType>();
  CheckEnumeration<TppHorizontalScrollEventType>();
  CheckEnumeration<cls::TAlignment>();
  CheckStartupEnumerations(std::make_index_sequence<ppStartupEnumCount - 1>{});
  // The description is made once and is the one of the type's name.
  EXPECT_EQ(cls::EnumTypeInfo<TppUnitType>(), ppEnumTypeInfo<TppUnitType>());
  EXPECT_EQ(cls::EnumTypeInfo<TppCalcType>()->Name, "TppCalcType");
  EXPECT_EQ(cls::EnumTypeInfo<TShapeType>()->EnumNames[3], "stRoundSquare");
}

TEST(Enumerations, VariableEventsMapToEventIds) {
  EXPECT_EQ(VarEventToEventId(veTraversal), 35);
  EXPECT_EQ(VarEventToEventId(vePageStart), 21);
  EXPECT_EQ(VarEventToEventId(vePageEnd), 17);
  EXPECT_EQ(VarEventToEventId(veGroupStart), 28);
  EXPECT_EQ(VarEventToEventId(veGroupBeforeFooter), 30);
  EXPECT_EQ(VarEventToEventId(veDataPipelineTraversal), 39);
}

TEST(EnumRegistry, StartupTypesAndReplacement) {
  auto names = RegisteredEnumTypeNames();
  ASSERT_GE(names.size(), 30u);
  EXPECT_EQ(names[0], "Boolean");
  EXPECT_EQ(names[23], "TShapeType");
  EXPECT_EQ(names[29], "TPrinterOrientation");
  EXPECT_EQ(FindEnumType("tppunittype"), ppEnumTypeInfo<TppUnitType>());
  EXPECT_EQ(FindEnumType("TPenStyle")->EnumNames[5], "psClear");
  EXPECT_EQ(FindEnumType("Boolean")->EnumNames[1], "True");
  EXPECT_EQ(FindEnumType("TppZoomSettingType"), nullptr);  // the preview registers it

  const cls::TTypeInfo* a = cls::MakeEnumTypeInfo("TMine", {"mA"});
  const cls::TTypeInfo* b = cls::MakeEnumTypeInfo("TMine", {"mA", "mB"});
  RegisterEnumType("TMine", a);
  RegisterEnumType("TMINE", b);
  auto after = RegisteredEnumTypeNames();
  EXPECT_EQ(std::count(after.begin(), after.end(), "TMine"), 1);
  EXPECT_EQ(FindEnumType("TMine"), b);
  UnregisterEnumType("tmine");
  EXPECT_EQ(FindEnumType("TMine"), nullptr);
  UnregisterEnumType("TMine");  // absent: nothing happens
}

template <size_t... Slot>
std::vector<const cls::TTypeInfo*> StartupTypes(std::index_sequence<Slot...>) {
  return {ppStartupEnum<static_cast<int>(Slot)>::TypeInfo()...};
}

TEST(EnumRegistry, RegisteringTheModelEntersEveryStartupTypeInItsPlaceOnce) {
  ppRegisterModel();
  auto names = RegisteredEnumTypeNames();
  auto types = StartupTypes(std::make_index_sequence<ppStartupEnumCount>{});
  ASSERT_GE(names.size(), types.size());
  std::set<std::string> distinct;
  for (size_t i = 0; i < types.size(); ++i) {
    EXPECT_EQ(names[i], types[i]->Name);
    EXPECT_EQ(FindEnumType(names[i]), types[i]);
    distinct.insert(names[i]);
  }
  EXPECT_EQ(distinct.size(), types.size());
  // A second call changes nothing.
  size_t props = cls::GetPropList(&TppPageDef::StaticClass()).size();
  EXPECT_EQ(props, 6u);
  ppRegisterModel();
  EXPECT_EQ(RegisteredEnumTypeNames(), names);
  EXPECT_EQ(cls::GetPropList(&TppPageDef::StaticClass()).size(), props);
}

// A component with a unit property, written and read by value name.
class TUnitHolder : public cls::TComponent {
  CLS_DECLARE_CLASS(TUnitHolder, cls::TComponent)
 public:
  using cls::TComponent::TComponent;
  TppUnitType Units() const { return units_; }
  void SetUnits(TppUnitType u) { units_ = u; }

 private:
  TppUnitType units_ = utInches;
};
CLS_IMPLEMENT_COMPONENT(TUnitHolder)

TEST(EnumRegistry, UnitPropertyByValueName) {
  cls::PublishProperty(TUnitHolder::StaticClass(),
                       cls::OrdProperty<TUnitHolder, TppUnitType>("Units", FindEnumType("TppUnitType"),
                                                                  &TUnitHolder::Units, &TUnitHolder::SetUnits));
  auto* h = new TUnitHolder(nullptr);
  h->SetUnits(utMillimeters);
  EXPECT_EQ(cls::GetEnumProp(h, "Units"), "utMillimeters");
  h->SetUnits(utInches);
  cls::SetEnumProp(h, "Units", "utMillimeters");
  EXPECT_EQ(static_cast<int>(h->Units()), 2);
  h->Free();
}

}  // namespace
