#include <gtest/gtest.h>

#include <string>

#include "report/model/ppParameter.h"

namespace {

struct ListFixture : public ::testing::Test {
  cls::Owned<TppParameterList> list{new TppParameterList(nullptr)};
};

template <class F>
std::string MessageOf(F f) {
  try {
    f();
  } catch (const EParameterError& e) {
    return e.Message();
  }
  return "(no error)";
}

TEST_F(ListFixture, NamesAddAndTheSpare) {
  list->Add("Customer");
  EXPECT_EQ(MessageOf([&] { list->Add("customer"); }),
            "TppParameterList.Add: a Parameter named, customer, already exists.");
  EXPECT_EQ(list->Count(), 1);
  // Insert mode: the spare answers for a missing name and is counted only
  // once it holds a value.
  TppParameter* x = list->GetItemForName("X");
  EXPECT_EQ(x->Name(), "X");
  EXPECT_EQ(list->Count(), 1);
  EXPECT_FALSE(list->InList("X"));
  x->SetValue(cls::Variant::Null());
  x->SetValue(cls::Variant());
  EXPECT_EQ(list->Count(), 1);
  x->SetValue("seven");
  EXPECT_EQ(list->Count(), 2);
  EXPECT_EQ(list->GetItemForName("x"), x);
  EXPECT_NE(list->Spare(), x);
  EXPECT_EQ(list->GetParamValue("X"), cls::Variant("seven"));
  // The new spare joins the same way.
  list->GetItemForName("Y")->SetValue(3);
  EXPECT_EQ(list->Count(), 3);
  list->SetInsertMode(false);
  EXPECT_EQ(MessageOf([&] { list->GetItemForName("Z"); }),
            "TppParameterList.GetItemForName: No parameter named, Z, exists");
  EXPECT_EQ(list->Count(), 3);
  list->Remove("customer");
  EXPECT_FALSE(list->InList("Customer"));
  list->Clear();
  EXPECT_EQ(list->Count(), 0);
}

TEST_F(ListFixture, SpareWhoseNameWasListedMeanwhileFeedsThatParameter) {
  TppParameter* spare = list->GetItemForName("Total");
  TppParameter* listed = list->Add("Total", dtInteger, 1);
  spare->SetValue("7");
  ASSERT_EQ(list->Count(), 1);
  EXPECT_EQ(list->Items(0), listed);
  EXPECT_EQ(listed->Value(), cls::Variant(7));
  EXPECT_EQ(list->Spare(), spare);  // still the spare, not listed twice
}

TEST(Parameters, DataTypeConvertsTheValue) {
  cls::Owned<TppParameter> p(new TppParameter(nullptr));
  EXPECT_EQ(p->Value(), cls::Variant(""));
  p->SetDataType(dtInteger);
  EXPECT_EQ(p->Value(), cls::Variant(0));
  p->SetDataType(dtString);
  EXPECT_EQ(p->Value(), cls::Variant(""));
  p->SetValue("12");
  p->SetDataType(dtInteger);
  EXPECT_EQ(p->Value(), cls::Variant(12));
  p->SetDataType(dtDouble);
  EXPECT_EQ(p->Value(), cls::Variant(12.0));
  p->SetDataType(dtBoolean);
  EXPECT_EQ(p->Value(), cls::Variant(true));
  p->SetDataType(dtString);
  EXPECT_EQ(p->Value(), cls::Variant("True"));
  // An empty text becomes the new type's zero; a zero becomes "" again.
  p->SetValue("");
  p->SetDataType(dtDateTime);
  EXPECT_EQ(p->Value(), cls::Variant::DateTime(0));
  p->SetDataType(dtString);
  EXPECT_EQ(p->Value(), cls::Variant(""));
  try {
    p->SetDataType(dtMemo);
    FAIL();
  } catch (const EParameterError& e) {
    EXPECT_EQ(e.Message(), "TppParameter.SetDataType: dtMemo data type is not supported");
  }
  EXPECT_EQ(p->DataType(), dtString);
  // Read from a stream, the type may come after the value: no conversion
  // then, but the value takes its type when loading ends; one that cannot
  // is refused.
  p->SetValue("12");
  p->BeginLoading();
  p->SetDataType(dtInteger);
  EXPECT_EQ(p->Value(), cls::Variant("12"));
  p->FinishLoading();
  EXPECT_EQ(p->Value(), cls::Variant(12));
  p->SetDataType(dtString);
  p->SetValue("abc");
  p->BeginLoading();
  p->SetDataType(dtInteger);
  EXPECT_THROW(p->FinishLoading(), cls::EReadError);
}

TEST(Parameters, FailedConversionsChangeNothing) {
  cls::Owned<TppParameter> p(new TppParameter(nullptr));
  int changes = 0;
  p->OnChange = [&](TppParameter*) { ++changes; };
  p->SetValue("abc");
  EXPECT_THROW(p->SetDataType(dtInteger), cls::EConvertError);
  EXPECT_EQ(p->DataType(), dtString);
  EXPECT_EQ(p->Value(), cls::Variant("abc"));
  p->SetValue("5");
  p->SetDataType(dtInteger);
  EXPECT_THROW(p->SetValue("five"), cls::EConvertError);
  EXPECT_THROW(p->SetValue(int64_t{1} << 40), cls::EVariantOverflowError);  // 32-bit integers
  EXPECT_EQ(p->Value(), cls::Variant(5));
  EXPECT_FALSE(p->IsNull());
  EXPECT_EQ(changes, 2);
  // Null keeps the value and calls nobody.
  p->SetValue(cls::Variant::Null());
  EXPECT_TRUE(p->IsNull());
  EXPECT_EQ(p->Value(), cls::Variant(5));
  EXPECT_EQ(changes, 2);
  // 64-bit integers and amounts are exact.
  p->SetDataType(dtLargeInt);
  p->SetValue("9223372036854775807");
  EXPECT_EQ(p->Value().AsInt64(), INT64_MAX);
  EXPECT_THROW(p->SetDataType(dtCurrency), cls::EVariantOverflowError);
  EXPECT_EQ(p->DataType(), dtLargeInt);
  p->SetValue(1);
  p->SetDataType(dtCurrency);
  p->SetValue("922337203685477.5807");
  EXPECT_EQ(p->Value().AsCurrency().Scaled, INT64_MAX);
  p->SetDataType(dtSingle);
  p->SetValue(0.1);
  EXPECT_EQ(p->Value(), cls::Variant::Single(0.1f));
  EXPECT_THROW(p->SetValue(1e300), cls::EVariantOverflowError);
}

TEST(Parameters, VarTypesMapToDataTypes) {
  EXPECT_EQ(VarTypeToDataType(cls::varInt64), dtLargeInt);
  EXPECT_EQ(VarTypeToDataType(cls::varDate), dtDateTime);
  EXPECT_EQ(VarTypeToDataType(cls::varSingle), dtSingle);
  EXPECT_EQ(VarTypeToDataType(cls::varNull), dtNotKnown);
  EXPECT_EQ(VarTypeToDataType(cls::varEmpty), dtNotKnown);
  for (int t = 0; t < cls::EnumCount<TppDataType>(); ++t) {
    auto type = static_cast<TppDataType>(t);
    // Every supported type holds a value of its own kind.
    if (ppParameterSupports(type)) {
      TppDataType back = VarTypeToDataType(ppConvertToDataType(cls::Variant(1), type).VarType());
      EXPECT_NE(back, dtNotKnown) << t;
    } else {
      EXPECT_THROW(ppConvertToDataType(cls::Variant(1), type), EParameterError) << t;
    }
  }
}

TEST_F(ListFixture, AssignCopiesAndSelfAssignKeeps) {
  cls::Owned<cls::TComponent> form(new cls::TComponent(nullptr));
  cls::Owned<TppParameterList> source(new TppParameterList(form.get()));
  source->Add("Region", dtString, "North")->PickList()->Add("South");
  source->Add("Limit", dtCurrency, "12.5");
  source->Add("Flag", dtBoolean, true)->SetValue(cls::Variant::Null());
  source->Assign(source.get());
  ASSERT_EQ(source->Count(), 3);
  // A list of the same owner copies it twice over: the second copy's names
  // are taken in the owner, so those copies stay unowned.
  cls::Owned<TppParameterList> copy(new TppParameterList(form.get()));
  copy->Assign(source.get());
  cls::Owned<TppParameterList> again(new TppParameterList(form.get()));
  again->Assign(copy.get());
  for (TppParameterList* l : {copy.get(), again.get()}) {
    ASSERT_TRUE(l->EqualTo(source.get()));
    EXPECT_EQ(l->Items(0)->PickList()->Count(), 1);
    EXPECT_TRUE(l->Items(2)->IsNull());
    EXPECT_EQ(l->Items(1)->Value().AsCurrency().Scaled, 125000);
  }
  EXPECT_EQ(copy->Items(0)->Owner(), form.get());
  EXPECT_EQ(again->Items(0)->Owner(), nullptr);
  copy->Assign(nullptr);
  EXPECT_EQ(copy->Count(), 0);
}

TEST_F(ListFixture, EqualToComparesInOrder) {
  cls::Owned<TppParameterList> other(new TppParameterList(nullptr));
  for (TppParameterList* l : {list.get(), other.get()}) {
    l->Add("A", dtInteger, 1);
    l->Add("B", dtString, "x");
  }
  EXPECT_TRUE(list->EqualTo(other.get()));
  other->Items(0)->SetName("a");
  EXPECT_TRUE(list->EqualTo(other.get()));  // names ignore case
  other->Items(1)->SetValue(cls::Variant::Null());
  EXPECT_FALSE(list->EqualTo(other.get()));  // the null flag
  other->Items(1)->SetValue("x");
  other->Items(0)->SetDataType(dtLargeInt);
  EXPECT_FALSE(list->EqualTo(other.get()));
  other->Items(0)->SetDataType(dtInteger);
  other->Items(0)->SetValue(2);
  EXPECT_FALSE(list->EqualTo(other.get()));
  other->Items(0)->SetValue(1);
  other->Items(1)->MoveToPosition(0);
  EXPECT_FALSE(list->EqualTo(other.get()));
  EXPECT_FALSE(list->EqualTo(nullptr));
  // A failed Add leaves the list as it was.
  EXPECT_THROW(list->Add("C", dtInteger, "not a number"), cls::EConvertError);
  EXPECT_EQ(list->Count(), 2);
}

TEST_F(ListFixture, ScriptingPassesObjectsAndVariantsWhole) {
  const TraRTTI* rtti = raGetRTTIClass(list->ClassType());
  ASSERT_EQ(rtti, &TraTppParameterListRTTI::Instance());
  TraPropRec rec;
  ASSERT_TRUE(rtti->GetPropRec("Add", rec));
  EXPECT_EQ(rec.ClassType, &TppParameter::StaticClass());
  // Add: an enumeration, a variant holding a 64-bit integer, a parameter back.
  cls::Owned<TraParamList> params(rtti->GetParams("Add"));
  std::string name = "Big";
  TppDataType type = dtLargeInt;
  cls::Variant value(INT64_MAX - 1);
  TppParameter* made = nullptr;
  params->SetParamAddress("Name", &name);
  params->SetParamAddress("DataType", &type);
  params->SetParamAddress("Value", &value);
  params->SetParamAddress("Result", &made);
  ASSERT_TRUE(rtti->CallMethod(list.get(), "Add", params.get()));
  ASSERT_EQ(made, list->Items(0));
  EXPECT_EQ(made->Value().AsInt64(), INT64_MAX - 1);
  // Values: read and written by name as variants (an amount stays exact).
  cls::Owned<TraParamList> values(rtti->GetParams("Values"));
  cls::Variant got;
  values->SetParamAddress("Name", &name);
  values->SetParamAddress("Result", &got);
  ASSERT_TRUE(rtti->CallMethod(list.get(), "Values", values.get()));
  EXPECT_EQ(got, cls::Variant(INT64_MAX - 1));
  name = "Amount";
  got = cls::Currency{INT64_MIN};
  ASSERT_TRUE(rtti->CallMethod(list.get(), "Values", values.get(), false));
  ASSERT_TRUE(list->InList("Amount"));  // the spare joined
  list->Find("Amount")->SetDataType(dtCurrency);
  EXPECT_EQ(list->Find("Amount")->Value().AsCurrency().Scaled, INT64_MIN);
  // Items by name and by index give the parameter itself.
  cls::Owned<TraParamList> items(rtti->GetParams("ItemsByIndex"));
  int32_t index = 1;
  TppParameter* item = nullptr;
  items->SetParamAddress("Index", &index);
  items->SetParamAddress("Result", &item);
  ASSERT_TRUE(rtti->CallMethod(list.get(), "ItemsByIndex", items.get()));
  EXPECT_EQ(item, list->Find("Amount"));
  TraValue count;
  ASSERT_TRUE(rtti->GetPropValue(list.get(), "Count", count));
  EXPECT_EQ(std::get<int32_t>(count), 2);
  // Assign through the script with the list itself changes nothing.
  cls::Owned<TraParamList> assign(rtti->GetParams("Assign"));
  TppParameterList* self = list.get();
  assign->SetParamAddress("Source", &self);
  ASSERT_TRUE(rtti->CallMethod(list.get(), "Assign", assign.get()));
  EXPECT_EQ(list->Count(), 2);
  EXPECT_TRUE(rtti->SetPropValue(list.get(), "InsertMode", false));
  EXPECT_FALSE(list->InsertMode());
}

TEST(Parameters, RegisteredByName) {
  EXPECT_EQ(cls::FindClass("TppParameter"), &TppParameter::StaticClass());
  EXPECT_EQ(cls::FindClass("TppParameterList"), &TppParameterList::StaticClass());
  const cls::TPropInfo* dataType = cls::GetPropInfo(&TppParameter::StaticClass(), "DataType");
  ASSERT_NE(dataType, nullptr);
  EXPECT_EQ(dataType->Default, dtString);
  cls::Owned<TppParameter> p(new TppParameter(nullptr));
  EXPECT_FALSE(p->HasPickList());
  cls::SetVariantProp(p.get(), "Value", cls::Variant(42));
  EXPECT_EQ(cls::GetVariantProp(p.get(), "Value"), cls::Variant("42"));
}

}  // namespace
