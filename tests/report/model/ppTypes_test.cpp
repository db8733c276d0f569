#include <gtest/gtest.h>

#include "platform/classes/typinfo.h"
#include "report/model/ppTypes.h"

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
