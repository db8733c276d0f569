#include <gtest/gtest.h>

#include <string>

#include "platform/process/clock.h"
#include "report/model/ppCache.h"
#include "report/model/ppRTTI.h"
#include "report/model/ppRelatv.h"

namespace {

PP_ENUM(TppTestShade, tsLight, tsDark, tsNone)  // never registered

// A relative with one published property of each kind and an indexed list.
class TppGadget : public TppRelative {
  CLS_DECLARE_CLASS(TppGadget, TppRelative)
 public:
  using TppRelative::TppRelative;
  int32_t Count() const { return count; }
  void SetCount(int32_t v) { count = v; }
  bool Active() const { return active; }
  void SetActive(bool v) { active = v; }
  TppUnitType Units() const { return units; }
  void SetUnits(TppUnitType v) { units = v; }
  TppTestShade Shade() const { return shade; }
  void SetShade(TppTestShade v) { shade = v; }
  float Ratio() const { return ratio; }
  void SetRatio(float v) { ratio = v; }
  double Price() const { return price; }
  void SetPrice(double v) { price = v; }
  double Stamp() const { return stamp; }
  void SetStamp(double v) { stamp = v; }
  const std::string& Caption() const { return caption; }
  void SetCaption(const std::string& v) { caption = v; }
  cls::Variant Value() const { return value; }
  void SetValue(const cls::Variant& v) { value = v; }
  char Mark() const { return mark; }
  void SetMark(char v) { mark = v; }
  TppRelative* Buddy() const { return buddy; }
  void SetBuddy(TppRelative* v) { buddy = v; }
  cls::TNotifyEvent OnChange;

  int32_t count = 0;
  bool active = false;
  TppUnitType units = utInches;
  TppTestShade shade = tsLight;
  float ratio = 0;
  double price = 0, stamp = 0;
  std::string caption;
  cls::Variant value;
  char mark = 'A';
  TppRelative* buddy = nullptr;
  std::vector<std::string> items{"a", "b", "c"};
};
CLS_IMPLEMENT_COMPONENT(TppGadget)

class TppSubGadget : public TppGadget {
  CLS_DECLARE_CLASS(TppSubGadget, TppGadget)
 public:
  using TppGadget::TppGadget;
};
CLS_IMPLEMENT_COMPONENT(TppSubGadget)

// Describes the gadget: "Items" indexed, "Caption" also published, "Reset".
class TraTppGadgetRTTI : public TraTppRelativeRTTI {
  RA_DECLARE_RTTI(TraTppGadgetRTTI, TraTppRelativeRTTI, TppGadget)
};
RA_IMPLEMENT_RTTI(TraTppGadgetRTTI)

const TraMembers* TraTppGadgetRTTI::Members() const {
  using C = TppGadget;
  static const TraMembers members(
      inherited::Members(),
      {raProperty<C, daString>("Caption", &C::Caption),
       raEnumProperty<C, TppTestShade>("Shade", &C::Shade, &C::SetShade),
       raIndexed(
           "Items", daString, nullptr, [](cls::TObject* o) { return static_cast<int>(static_cast<C*>(o)->items.size()); },
           [](cls::TObject* o, int i) { return TraValue(static_cast<C*>(o)->items[i]); },
           [](cls::TObject* o, int i, const TraValue& v) { static_cast<C*>(o)->items[i] = std::get<std::string>(v); }),
       raMethod("Reset", {raParam("Count", daInteger)},
                [](cls::TObject* o, TraParamList* list, bool) {
                  int32_t n = 0;
                  list->GetParam("Count", n);
                  static_cast<C*>(o)->count = n;
                  return true;
                }),
       raEvent("OnStartPage", ciReportStartPage, {raParam("Text", daString, nullptr, true)})});
  return &members;
}

void PublishGadget() {
  static bool done = false;
  if (done) return;
  done = true;
  using C = TppGadget;
  auto& c = C::StaticClass();
  cls::PublishProperty(c, cls::OrdProperty<C, int32_t>("Count", cls::TypeInfoInteger(), &C::Count, &C::SetCount));
  cls::PublishProperty(c, cls::OrdProperty<C, bool>("Active", cls::TypeInfoBoolean(), &C::Active, &C::SetActive));
  cls::PublishProperty(c, cls::OrdProperty<C, TppUnitType>("Units", ppEnumTypeInfo<TppUnitType>(), &C::Units,
                                                           &C::SetUnits));
  cls::PublishProperty(c, cls::FloatProperty<C, float>("Ratio", &C::Ratio, &C::SetRatio));
  cls::TPropInfo price = cls::FloatProperty<C, double>("Price", &C::Price, &C::SetPrice);
  price.Type = cls::TypeInfoCurrency();
  cls::PublishProperty(c, price);
  cls::TPropInfo stamp = cls::FloatProperty<C, double>("Stamp", &C::Stamp, &C::SetStamp);
  stamp.Type = cls::TypeInfoDateTime();
  cls::PublishProperty(c, stamp);
  cls::PublishProperty(c, cls::StrProperty<C>("Caption", &C::Caption, &C::SetCaption));
  cls::PublishProperty(c, cls::VariantProperty<C>("Value", &C::Value, &C::SetValue));
  static const cls::TTypeInfo charType{cls::tkChar, "Char", {}};
  cls::PublishProperty(c, cls::OrdProperty<C, char>("Mark", &charType, &C::Mark, &C::SetMark));
  cls::TPropInfo buddy;
  buddy.Name = "Buddy";
  buddy.Type = cls::MakeClassTypeInfo("TppRelative", &TppRelative::StaticClass());
  buddy.GetObj = [](cls::TObject* o) -> cls::TObject* { return static_cast<C*>(o)->Buddy(); };
  buddy.SetObj = [](cls::TObject* o, cls::TObject* v) { static_cast<C*>(o)->SetBuddy(static_cast<TppRelative*>(v)); };
  cls::PublishProperty(c, buddy);
  cls::PublishProperty(c, cls::MethodProperty<C>("OnChange", &C::OnChange));
  raRegisterRTTI(TraTppGadgetRTTI::Instance());
}

class Scripting : public ::testing::Test {
 protected:
  void SetUp() override {
    PublishGadget();
    saved_ = cls::FormatSettings();
  }
  void TearDown() override { cls::FormatSettings() = saved_; }
  const TraRTTI& Gadgets() { return *raGetRTTIClass(&TppGadget::StaticClass()); }

 private:
  cls::TFormatSettings saved_;
};

TEST_F(Scripting, ParametersBindOnlyVariablesOfTheirType) {
  TraParamList list;
  int iInt = list.AddParam("Count", daInteger);
  int iDate = list.AddParam("When", daDateTime);
  int iText = list.AddParam("Text", daString, false, true);
  int iObj = list.AddParam("Node", daObject, false, false, {}, &TppRelative::StaticClass());
  int iEnum = list.AddParam("Units", daEnum, false, false, "TppUnitType");
  int32_t count = 0;
  double when = 0, wrongDouble = 0;
  std::string text;
  TppRelative* node = nullptr;
  TppCacheable* cacheable = nullptr;
  TppCommunicator* communicator = nullptr;
  TppUnitType units = utInches;
  TppDuplexType duplex = dpNone;
  EXPECT_NO_THROW(list.SetParamAddress(iInt, &count));
  EXPECT_NO_THROW(list.SetParamAddress(iDate, &when));
  EXPECT_NO_THROW(list.SetParamReference(iText, &text));
  EXPECT_NO_THROW(list.SetParamAddress(iObj, &node));
  EXPECT_NO_THROW(list.SetParamAddress(iObj, &cacheable));  // a descendant's variable
  EXPECT_NO_THROW(list.SetParamAddress(iEnum, &units));
  EXPECT_THROW(list.SetParamAddress(iInt, &wrongDouble), EPagewrightError);
  // A variable of a type no code holds (int64_t) does not compile.
  EXPECT_THROW(list.SetParamAddress(iText, &count), EPagewrightError);
  EXPECT_THROW(list.SetParamAddress(iObj, &communicator), EPagewrightError);  // could hold another class
  EXPECT_THROW(list.SetParamAddress(iEnum, &duplex), EPagewrightError);
  EXPECT_THROW(list.SetParamAddress(iEnum, &count), EPagewrightError);
  EXPECT_THROW(list.SetParamAddress("Missing", &count), EPagewrightError);
  EXPECT_THROW(list.SetParamAddress(9, &count), cls::EStringListError);
  // A refused binding leaves the earlier one.
  EXPECT_TRUE(list.ParamRec(iInt).Bound);
  EXPECT_TRUE(list.SetParamValue(iInt, int32_t{5}));
  EXPECT_EQ(count, 5);
}

TEST_F(Scripting, ParameterValuesGoThroughTheBoundVariables) {
  cls::Owned<TraParamList> list(new TraParamList());
  int iText = list->AddParam("Text", daString, false, true);
  int iObj = list->AddParam("Node", daObject, false, false, {}, &TppRelative::StaticClass());
  int iEnum = list->AddParam("Units", daEnum, false, false, "TppUnitType");
  int iFree = list->AddParam("Loose", daInteger);
  std::string text = "Before";
  TppCacheable* cacheable = nullptr;
  TppUnitType units = utInches;
  list->SetParamAddress(iText, &text);
  list->SetParamAddress(iObj, &cacheable);
  list->SetParamAddress(iEnum, &units);
  // A receiver writes the sender's variable.
  EXPECT_TRUE(list->SetParamValue("Text", std::string("After")));
  EXPECT_EQ(text, "After");
  TraValue v;
  EXPECT_TRUE(list->GetParamValue(iText, v));
  EXPECT_EQ(std::get<std::string>(v), "After");
  // Wrong value types, classes and ordinals change nothing.
  EXPECT_FALSE(list->SetParamValue(iText, int32_t{1}));
  EXPECT_EQ(text, "After");
  TppRelative plain(nullptr);
  TppCacheable cache(nullptr);
  EXPECT_FALSE(list->SetParamValue(iObj, static_cast<cls::TObject*>(&plain)));  // not what the variable holds
  EXPECT_EQ(cacheable, nullptr);
  EXPECT_TRUE(list->SetParamValue(iObj, static_cast<cls::TObject*>(&cache)));
  EXPECT_EQ(cacheable, &cache);
  EXPECT_FALSE(list->SetParamValue(iEnum, TraEnumValue{5}));
  EXPECT_FALSE(list->SetParamValue(iEnum, TraEnumValue{-1}));
  EXPECT_TRUE(list->SetParamValue(iEnum, TraEnumValue{utMMThousandths}));
  EXPECT_EQ(units, utMMThousandths);
  // Unbound parameters read and write nothing.
  TraValue untouched = int32_t{77};
  EXPECT_FALSE(list->GetParamValue(iFree, untouched));
  EXPECT_EQ(std::get<int32_t>(untouched), 77);
  EXPECT_FALSE(list->SetParamValue(iFree, int32_t{1}));
  list->SetParamAddress(iText, static_cast<std::string*>(nullptr));
  EXPECT_FALSE(list->SetParamValue(iText, std::string("Later")));
  EXPECT_EQ(text, "After");
  EXPECT_FALSE(list->ParamRec(iText).Bound);
  EXPECT_TRUE(list->ParamRec(iText).IsReference);
  EXPECT_FALSE(list->SetParamValue("Missing", int32_t{1}));
  // A class parameter narrows only to a descendant.
  EXPECT_NO_THROW(list->SetParamClass(iObj, &TppCacheable::StaticClass()));
  EXPECT_THROW(list->SetParamClass(iObj, &TppRelative::StaticClass()), EPagewrightError);
  EXPECT_THROW(list->SetParamClass(iText, &TppRelative::StaticClass()), EPagewrightError);
}

TEST_F(Scripting, RegistryFindsTheNearestDescribedAncestor) {
  auto& registry = raRTTIClassRegistry();
  EXPECT_EQ(registry.GetRTTIClass(&TppGadget::StaticClass()), &TraTppGadgetRTTI::Instance());
  EXPECT_EQ(registry.GetRTTIClass(&TppSubGadget::StaticClass()), &TraTppGadgetRTTI::Instance());
  EXPECT_EQ(registry.GetRTTIClass(&TppCacheable::StaticClass()), &TraTppCacheableRTTI::Instance());
  EXPECT_EQ(registry.GetRTTIClass(&TppCacheManager::StaticClass()), &TraTppCommunicatorRTTI::Instance());
  EXPECT_EQ(registry.GetRTTIClass(&cls::TStringList::StaticClass()), &TraTPersistentRTTI::Instance());
  EXPECT_EQ(registry.GetRTTIClass(nullptr), nullptr);
  // The class library finds describing classes by name.
  EXPECT_EQ(cls::FindClass("TraTppRelativeRTTI"), TraTppRelativeRTTI::Instance().ClassType());
  EXPECT_EQ(registry.FindRTTIClass("tratppcacheablertti"), &TraTppCacheableRTTI::Instance());
  // A second describing class of a described class keeps the first.
  class TraOtherGadgetRTTI : public TraTppGadgetRTTI {};
  static const TraOtherGadgetRTTI other{};
  registry.Register(other);
  EXPECT_EQ(registry.GetRTTIClass(&TppGadget::StaticClass()), &TraTppGadgetRTTI::Instance());
  // Unregistered, the gadget falls back to its ancestor's description.
  registry.Unregister(TraTppGadgetRTTI::Instance());
  EXPECT_EQ(registry.GetRTTIClass(&TppSubGadget::StaticClass()), &TraTppRelativeRTTI::Instance());
  EXPECT_EQ(cls::FindClass("TraTppGadgetRTTI"), nullptr);
  registry.Register(TraTppGadgetRTTI::Instance());
  EXPECT_EQ(registry.GetRTTIClass(&TppSubGadget::StaticClass()), &TraTppGadgetRTTI::Instance());
}

TEST_F(Scripting, ByNameReadsAndWritesOrRefusesWithNothingChanged) {
  TppGadget gadget(nullptr);
  TppRelative parent(nullptr);
  const TraRTTI& rtti = Gadgets();
  EXPECT_TRUE(rtti.SetPropValue(&gadget, "parent", static_cast<cls::TObject*>(&parent)));
  EXPECT_EQ(gadget.Parent(), &parent);
  TraValue v;
  ASSERT_TRUE(raGetPropValue(&parent, "ChildCount", v));
  EXPECT_EQ(std::get<int32_t>(v), 1);
  EXPECT_TRUE(rtti.SetPropValue(&gadget, "ChildType", int32_t{7}));
  EXPECT_EQ(gadget.ChildType(), 7);
  EXPECT_TRUE(rtti.SetPropValue(&gadget, "UserName", std::string("Gadget1")));
  EXPECT_EQ(gadget.UserName(), "Gadget1");
  EXPECT_TRUE(rtti.SetPropValue(&gadget, "Tag", int32_t{-3}));
  EXPECT_EQ(gadget.Tag(), -3);
  // Refusals: unknown, read-only, wrong type, wrong class, ordinal out of
  // range, an object that is not the described class's.
  TppCommunicator stranger(nullptr);
  EXPECT_FALSE(rtti.SetPropValue(&gadget, "NoSuchName", int32_t{1}));
  EXPECT_FALSE(rtti.SetPropValue(&gadget, "ChildCount", int32_t{4}));
  EXPECT_FALSE(rtti.SetPropValue(&gadget, "Index", int32_t{0}));
  EXPECT_FALSE(rtti.SetPropValue(&gadget, "ChildType", std::string("8")));
  EXPECT_FALSE(rtti.SetPropValue(&gadget, "ChildType", 8.0));
  EXPECT_FALSE(rtti.SetPropValue(&gadget, "Parent", static_cast<cls::TObject*>(&stranger)));
  EXPECT_FALSE(rtti.SetPropValue(&gadget, "Units", TraEnumValue{5}));
  EXPECT_FALSE(rtti.SetPropValue(&gadget, "Shade", TraEnumValue{3}));
  EXPECT_FALSE(rtti.SetPropValue(&gadget, "Count", TraValue(true)));
  EXPECT_FALSE(rtti.SetPropValue(&gadget, "Caption", std::string("x")));  // read-only in the description
  EXPECT_FALSE(rtti.GetPropValue(&stranger, "ChildCount", v));
  EXPECT_FALSE(rtti.SetPropValue(&stranger, "UserName", std::string("x")));
  EXPECT_FALSE(rtti.SetPropValue(nullptr, "ChildType", int32_t{1}));
  EXPECT_EQ(gadget.Parent(), &parent);
  EXPECT_EQ(gadget.ChildType(), 7);
  EXPECT_EQ(gadget.units, utInches);
  EXPECT_EQ(gadget.shade, tsLight);
  EXPECT_EQ(gadget.count, 0);
  EXPECT_EQ(gadget.caption, "");
  // Methods are not values.
  EXPECT_FALSE(rtti.GetPropValue(&gadget, "Reset", v));
  EXPECT_FALSE(rtti.SetPropValue(&gadget, "OnStartPage", int32_t{1}));
  gadget.SetParent(nullptr);
}

TEST_F(Scripting, PublishedPropertiesByTypeCodeAndAsText) {
  TppGadget gadget(nullptr);
  TppRelative other(nullptr);
  const TraRTTI& rtti = Gadgets();
  struct Row {
    const char* name;
    TraTypeCode code;
    TraValue value;
    const char* text;
  };
  win::DateTimeParts when;
  when.year = 2026;
  when.month = 5;
  when.day = 17;
  when.hour = 13;
  when.minute = 45;
  const Row rows[] = {
      {"Count", daInteger, int32_t{-12}, "-12"},
      {"Active", daBoolean, true, "True"},
      {"Units", daEnum, TraEnumValue{utMillimeters}, "utMillimeters"},
      {"Ratio", daSingle, 1.0f / 3, "0.33333334"},
      {"Price", daCurrency, cls::Currency{125000}, "NT$12.50"},
      {"Stamp", daDateTime, win::EncodeDateTime(when), "2026/5/17 13:45:00"},
      {"Value", daVariant, cls::Variant(2.5), "2.5"},
      {"Mark", daChar, 'Z', "90"},
      {"Buddy", daObject, static_cast<cls::TObject*>(&other), ""},
  };
  for (const Row& row : rows) {
    SCOPED_TRACE(row.name);
    TraPropRec rec;
    ASSERT_TRUE(rtti.GetPropRec(row.name, rec));
    EXPECT_EQ(rec.TypeCode, row.code);
    EXPECT_TRUE(rec.IsPublished);
    EXPECT_FALSE(rec.IsReadOnly);
    EXPECT_EQ(rec.EventId, -1);
    ASSERT_TRUE(rtti.SetPropValue(&gadget, row.name, row.value));
    TraValue back;
    ASSERT_TRUE(rtti.GetPropValue(&gadget, row.name, back));
    EXPECT_EQ(back, row.value);
    std::string text;
    ASSERT_TRUE(rtti.GetPropValueText(&gadget, row.name, text));
    EXPECT_EQ(text, row.text);
  }
  TraPropRec rec;
  ASSERT_TRUE(rtti.GetPropRec("Units", rec));
  EXPECT_EQ(rec.EnumTypeName, "TppUnitType");
  ASSERT_TRUE(rtti.GetPropRec("Buddy", rec));
  EXPECT_EQ(rec.ClassType, &TppRelative::StaticClass());
  // The US examples' currency text.
  cls::FormatSettings().CurrencyString = "$";
  std::string text;
  rtti.GetPropValueText(&gadget, "Price", text);
  EXPECT_EQ(text, "$12.50");
  // An enumeration the registry does not know reads as its ordinal.
  gadget.shade = tsNone;
  ASSERT_TRUE(rtti.GetPropValueText(&gadget, "Shade", text));
  EXPECT_EQ(text, "2");
  // A Boolean of the description, and the description's own read-only copy
  // of a published name.
  ASSERT_TRUE(rtti.GetPropValueText(&gadget, "OrderedChildren", text));
  EXPECT_EQ(text, "False");
  ASSERT_TRUE(rtti.GetPropRec("Caption", rec));
  EXPECT_TRUE(rec.IsPublished);
  EXPECT_TRUE(rec.IsReadOnly);
  EXPECT_FALSE(rtti.GetPropRec("Nothing", rec));
  EXPECT_FALSE(rtti.GetPropValueText(&gadget, "Nothing", text));
}

TEST_F(Scripting, ListsHoldEachNameOnceEventsApart) {
  cls::TStringList props, events;
  Gadgets().GetPropList(&props);
  Gadgets().GetEventList(&events);
  for (const char* name : {"Caption", "Count", "Units", "Items", "Reset", "ChildCount", "Parent", "UserName", "Tag",
                           "Owner", "Create", "Free", "ClassName", "Assign"}) {
    int n = 0;
    for (int i = 0; i < props.Count(); ++i) n += cls::SameText(props[i], name);
    EXPECT_EQ(n, 1) << name;
  }
  EXPECT_LT(props.IndexOf("OnChange"), 0);
  EXPECT_LT(props.IndexOf("OnStartPage"), 0);
  EXPECT_GE(events.IndexOf("OnChange"), 0);
  EXPECT_GE(events.IndexOf("OnStartPage"), 0);
  TraPropRec rec;
  ASSERT_TRUE(Gadgets().GetPropRec("onstartpage", rec));
  EXPECT_EQ(rec.TypeCode, daMethod);
  EXPECT_EQ(rec.EventId, 21);
  ASSERT_TRUE(rec.Params);
  EXPECT_EQ(rec.Params->ParamRec(0).Name, "Text");
  EXPECT_TRUE(rec.Params->ParamRec(0).IsReference);
  EXPECT_EQ(Gadgets().GetParams("Count"), nullptr);
  EXPECT_EQ(Gadgets().GetParams("Nothing"), nullptr);
}

TEST_F(Scripting, MethodsConstructorsAndIndexedNames) {
  const TraRTTI& rtti = Gadgets();
  TppGadget gadget(nullptr);
  // ClassName with a string result.
  cls::Owned<TraParamList> p(rtti.GetParams("ClassName"));
  std::string name;
  p->SetParamAddress("Result", &name);
  EXPECT_TRUE(rtti.CallMethod(&gadget, "ClassName", p.get()));
  EXPECT_EQ(name, "TppGadget");
  // A method reading its argument.
  p.reset(rtti.GetParams("Reset"));
  int32_t count = 9;
  p->SetParamAddress("Count", &count);
  EXPECT_TRUE(rtti.CallMethod(&gadget, "Reset", p.get()));
  EXPECT_EQ(gadget.count, 9);
  EXPECT_FALSE(rtti.CallMethod(&gadget, "Count", p.get()));
  EXPECT_FALSE(rtti.CallMethod(&gadget, "Nothing", p.get()));
  // Indexed: read with get, write without; out of range is refused.
  p.reset(rtti.GetParams("Items"));
  int32_t index = 1;
  std::string item;
  p->SetParamAddress("Index", &index);
  p->SetParamAddress("Result", &item);
  EXPECT_TRUE(rtti.CallMethod(&gadget, "Items", p.get(), true));
  EXPECT_EQ(item, "b");
  item = "B";
  EXPECT_TRUE(rtti.CallMethod(&gadget, "Items", p.get(), false));
  EXPECT_EQ(gadget.items[1], "B");
  index = 3;
  EXPECT_FALSE(rtti.CallMethod(&gadget, "Items", p.get(), true));
  index = -1;
  EXPECT_FALSE(rtti.CallMethod(&gadget, "Items", p.get(), false));
  TraPropRec rec;
  ASSERT_TRUE(rtti.GetPropRec("Items", rec));
  EXPECT_TRUE(rec.IsIndexed);
  EXPECT_EQ(rec.TypeCode, daMethod);
  EXPECT_TRUE(rec.IsReadOnly);
  // "Create" makes the described class with its owner.
  cls::TComponent owner(nullptr);
  ASSERT_TRUE(rtti.GetPropRec("Create", rec));
  EXPECT_TRUE(rec.IsConstructor);
  EXPECT_EQ(rec.ClassType, &TppGadget::StaticClass());
  p.reset(rtti.GetParams("Create"));
  cls::TComponent* ownerVar = &owner;
  TppGadget* made = nullptr;
  p->SetParamAddress("Owner", &ownerVar);
  p->SetParamAddress("Result", &made);
  p->SetParamClass(p->IndexOf("Class"), &TppSubGadget::StaticClass());
  EXPECT_TRUE(rtti.CallMethod(nullptr, "Create", p.get()));
  ASSERT_NE(made, nullptr);
  EXPECT_EQ(made->ClassType(), &TppSubGadget::StaticClass());
  EXPECT_EQ(made->Owner(), &owner);
  // Without a virtual constructor there is nothing to make.
  const TraRTTI& objects = TraTObjectRTTI::Instance();
  p.reset(objects.GetParams("Create"));
  cls::TObject* object = nullptr;
  p->SetParamAddress("Result", &object);
  EXPECT_FALSE(objects.CallMethod(nullptr, "Create", p.get()));
  EXPECT_EQ(object, nullptr);
  // A result variable that cannot hold the class is refused at binding.
  p.reset(rtti.GetParams("Create"));
  TppRelative* relative = nullptr;
  EXPECT_THROW(p->SetParamAddress("Result", &relative), EPagewrightError);
  // Assign and Free.
  p.reset(rtti.GetParams("Assign"));
  cls::TStringList source;
  cls::TObject* sourceVar = &source;
  EXPECT_THROW(p->SetParamAddress("Source", &sourceVar), EPagewrightError);
  cls::TPersistent* persistent = &source;
  p->SetParamAddress("Source", &persistent);
  EXPECT_THROW(rtti.CallMethod(&gadget, "Assign", p.get()), cls::EConvertError);
  EXPECT_TRUE(rtti.CallMethod(made, "Free", nullptr));
  EXPECT_EQ(owner.ComponentCount(), 0);
}

TEST_F(Scripting, RecordBuilders) {
  const TraRTTI& rtti = Gadgets();
  TraPropRec rec;
  TraRTTI::PropToRec("Width", daInteger, true, rec);
  EXPECT_EQ(rec.Name, "Width");
  EXPECT_TRUE(rec.IsReadOnly);
  EXPECT_EQ(rec.ClassType, nullptr);
  EXPECT_EQ(rec.EventId, -1);
  EXPECT_FALSE(rec.Params);
  TraRTTI::EnumPropToRec("Units", "TppUnitType", false, rec);
  EXPECT_EQ(rec.TypeCode, daEnum);
  EXPECT_EQ(rec.EnumTypeName, "TppUnitType");
  rtti.MethodToRec("Create", true, rec);
  EXPECT_EQ(rec.ClassType, &TppGadget::StaticClass());  // from "Result"
  EXPECT_TRUE(rec.IsReadOnly);
  rtti.MethodToRec("Create", false, rec);
  EXPECT_EQ(rec.ClassType, nullptr);
  EXPECT_FALSE(rec.Params);
  rtti.EventToRec("OnStartPage", 21, false, rec);
  EXPECT_EQ(rec.EventId, 21);
  EXPECT_FALSE(rec.Params);
  rtti.ConstructorToRec("Make", &TppRelative::StaticClass(), rec);
  EXPECT_TRUE(rec.IsConstructor);
  ASSERT_TRUE(rec.Params);
  EXPECT_EQ(rec.Params->ParamRec(0).Name, "Class");
  EXPECT_EQ(rec.Params->ParamRec(0).Class, &TppRelative::StaticClass());
  EXPECT_EQ(rec.Params->ParamRec(1).Name, "Result");
}

}  // namespace
