#include <gtest/gtest.h>

#include <thread>

#include "platform/com/com.h"
#include "platform/com/typeinfo.h"

using namespace com;

TEST(Guid, ParsesAndFormatsBothWays) {
  GUID g;
  ASSERT_TRUE(GuidFromString("{8070d7ab-9d3f-4eb9-9405-70447f713814}", g));
  EXPECT_EQ(g.Data1, 0x8070D7ABu);
  EXPECT_EQ(g.Data4[7], 0x14);
  EXPECT_EQ(GuidToString(g), "{8070D7AB-9D3F-4EB9-9405-70447F713814}");
  GUID h;
  ASSERT_TRUE(GuidFromString("8070D7AB-9D3F-4EB9-9405-70447F713814", h));
  EXPECT_EQ(g, h);
  for (const char* bad : {"", "{8070D7AB-9D3F-4EB9-9405-70447F71381}", "8070D7AB-9D3F-4EB9-9405-70447F71381G",
                          "{8070D7AB+9D3F-4EB9-9405-70447F713814}", "8070D7AB-9D3F-4EB9-9405-70447F713814}"})
    EXPECT_FALSE(GuidFromString(bad, h)) << bad;
}

TEST(Variant, ConvertsAsAutomationDoes) {
  VARIANT out;
  HRESULT hr;
  ASSERT_TRUE(ChangeType(VARIANT::Str(u" -42 "), VT_I4, out, hr));
  EXPECT_EQ(out.lVal, -42);
  ASSERT_TRUE(ChangeType(VARIANT::I4(7), VT_BSTR, out, hr));
  EXPECT_EQ(out.bstrVal, u"7");
  ASSERT_TRUE(ChangeType(VARIANT::Str(u"true"), VT_BOOL, out, hr));
  EXPECT_EQ(out.boolVal, VARIANT_TRUE);
  EXPECT_FALSE(ChangeType(VARIANT::Str(u"12x"), VT_I4, out, hr));
  EXPECT_EQ(hr, DISP_E_TYPEMISMATCH);
  EXPECT_FALSE(ChangeType(VARIANT::Str(u""), VT_I4, out, hr));
  EXPECT_FALSE(ChangeType(VARIANT::Str(u"99999999999"), VT_I4, out, hr));
  EXPECT_FALSE(ChangeType(VARIANT::I4(40000), VT_I2, out, hr));
  EXPECT_EQ(hr, DISP_E_OVERFLOW);
  std::int16_t k = 5;
  ASSERT_TRUE(ChangeType(VARIANT::I2Ref(&k), VT_I4, out, hr));
  EXPECT_EQ(out.lVal, 5);
}

namespace {

TypeInfo SampleType() {
  TypeInfo t;
  t.name = "ISample";
  t.kind = TypeKind::Dual;
  t.funcs.push_back({"Add", 1, InvokeKind::Method, {{"a", VT_I4}, {"b", VT_I4}}, VT_I4});
  t.funcs.push_back({"Name", 2, InvokeKind::PropGet, {}, VT_BSTR});
  t.funcs.push_back({"Name", 2, InvokeKind::PropPut, {{"Value", VT_BSTR}}, VT_EMPTY});
  t.funcs.push_back({"Key", 3, InvokeKind::Method, {{"k", static_cast<std::uint16_t>(VT_BYREF | VT_I2)}}, VT_EMPTY});
  t.funcs.push_back({"Boom", 4, InvokeKind::Method, {}, VT_EMPTY});
  return t;
}

HRESULT Sample(const FuncDesc& f, std::vector<VARIANT>& a, VARIANT& ret) {
  switch (f.id) {
    case 1: ret = VARIANT::I4(a[0].lVal + a[1].lVal); return S_OK;
    case 2: ret = VARIANT::Str(f.kind == InvokeKind::PropGet ? u"got" : a[0].bstrVal); return S_OK;
    case 3: *a[0].piVal = static_cast<std::int16_t>(*a[0].piVal + 1); return S_OK;
    default: SetErrorInfo(u"Sample", u"it broke"); return E_FAIL;
  }
}

}  // namespace

TEST(Dispatch, NamesResolveWithoutRegardToCase) {
  TypeInfo t = SampleType();
  std::u16string names[] = {u"aDD", u"B", u"zz"};
  DISPID ids[3];
  EXPECT_EQ(GetIDsOfNames(t, names, 2, ids), S_OK);
  EXPECT_EQ(ids[0], 1);
  EXPECT_EQ(ids[1], 1);  // parameter b
  EXPECT_EQ(GetIDsOfNames(t, names, 3, ids), DISP_E_UNKNOWNNAME);
  std::u16string unknown = u"Nope";
  EXPECT_EQ(GetIDsOfNames(t, &unknown, 1, ids), DISP_E_UNKNOWNNAME);
  EXPECT_EQ(ids[0], DISPID_UNKNOWN);
}

TEST(Dispatch, ChecksCountsAndTypesAndConvertsStrings) {
  TypeInfo t = SampleType();
  DISPPARAMS p;
  p.args = {VARIANT::Str(u"40"), VARIANT::I4(2)};
  VARIANT r;
  EXCEPINFO e;
  unsigned argErr = 99;
  EXPECT_EQ(InvokeByType(t, 1, DISPATCH_METHOD, p, &r, &e, &argErr, Sample), S_OK);
  EXPECT_EQ(r.vt, VT_I4);
  EXPECT_EQ(r.lVal, 42);
  p.args = {VARIANT::I4(1)};
  EXPECT_EQ(InvokeByType(t, 1, DISPATCH_METHOD, p, &r, &e, &argErr, Sample), DISP_E_BADPARAMCOUNT);
  p.args = {VARIANT::I4(1), VARIANT::Str(u"x")};
  EXPECT_EQ(InvokeByType(t, 1, DISPATCH_METHOD, p, &r, &e, &argErr, Sample), DISP_E_TYPEMISMATCH);
  EXPECT_EQ(argErr, 1u);
  p.args = {};
  EXPECT_EQ(InvokeByType(t, 9, DISPATCH_METHOD, p, &r, &e, &argErr, Sample), DISP_E_MEMBERNOTFOUND);
  // A property is read with either flag, written with the put flag.
  EXPECT_EQ(InvokeByType(t, 2, DISPATCH_METHOD | DISPATCH_PROPERTYGET, p, &r, &e, &argErr, Sample), S_OK);
  EXPECT_EQ(r.bstrVal, u"got");
  p.args = {VARIANT::Str(u"new")};
  EXPECT_EQ(InvokeByType(t, 2, DISPATCH_PROPERTYPUT, p, nullptr, &e, &argErr, Sample), S_OK);
}

TEST(Dispatch, ByReferenceShortsAreWrittenBack) {
  TypeInfo t = SampleType();
  std::int16_t key = 'a';
  DISPPARAMS p;
  p.args = {VARIANT::I2Ref(&key)};
  VARIANT r;
  EXCEPINFO e;
  ASSERT_EQ(InvokeByType(t, 3, DISPATCH_METHOD, p, &r, &e, nullptr, Sample), S_OK);
  EXPECT_EQ(key, 'b');
  // A plain value is accepted; there is nowhere to write back to.
  p.args = {VARIANT::I4(7)};
  EXPECT_EQ(InvokeByType(t, 3, DISPATCH_METHOD, p, &r, &e, nullptr, Sample), S_OK);
  p.args = {VARIANT::I2Ref(nullptr)};
  EXPECT_EQ(InvokeByType(t, 3, DISPATCH_METHOD, p, &r, &e, nullptr, Sample), E_POINTER);
}

TEST(Dispatch, FailuresCarryTheirDescription) {
  TypeInfo t = SampleType();
  DISPPARAMS p;
  VARIANT r;
  EXCEPINFO e;
  EXPECT_EQ(InvokeByType(t, 4, DISPATCH_METHOD, p, &r, &e, nullptr, Sample), DISP_E_EXCEPTION);
  EXPECT_EQ(e.bstrDescription, u"it broke");
  EXPECT_EQ(e.bstrSource, u"Sample");
  EXPECT_EQ(e.scode, E_FAIL);
  // Without room for the description the failure itself comes back.
  EXPECT_EQ(InvokeByType(t, 4, DISPATCH_METHOD, p, &r, nullptr, nullptr, Sample), E_FAIL);
}

TEST(TypeLibBytes, RoundTripAndDamage) {
  TypeLib lib;
  lib.name = "Sample";
  lib.helpString = "Sample Library";
  lib.libid = MakeGuid("11111111-2222-3333-4444-555555555555");
  lib.minor = 2;
  lib.lcid = 0x404;
  lib.imports = {LIBID_StdOle};
  lib.types.push_back(SampleType());
  TypeInfo e;
  e.name = "TxColour";
  e.kind = TypeKind::Enum;
  e.enumValues = {{"cRed", 0}, {"cBlue", -3}};
  lib.types.push_back(e);
  std::string bytes = SaveTypeLib(lib);
  TypeLib back;
  ASSERT_TRUE(LoadTypeLib(bytes, back));
  EXPECT_EQ(SaveTypeLib(back), bytes);
  EXPECT_EQ(back.types[0].Find(3, InvokeKind::Method)->params[0].vt, VT_BYREF | VT_I2);
  EXPECT_EQ(back.FindByName("TxColour")->enumValues[1].second, -3);
  for (std::string bad : {std::string(), std::string("type\tdual\tX\n"), bytes + "func\tx\n",
                          bytes.substr(0, bytes.find('{')) + "{nonsense}\n", bytes + "value\ta\tb\n"})
    EXPECT_FALSE(LoadTypeLib(bad, back)) << bad;
  EXPECT_FALSE(LoadTypeLibFromFile("C:\\no\\such.ocx", back));
}

TEST(ComApartment, CountedPerThread) {
  EXPECT_EQ(com::CoInitialize(), com::S_OK);
  EXPECT_EQ(com::CoInitialize(), com::S_FALSE);
  int other = -1;
  com::HRESULT first = 0;
  std::thread([&] {
    other = com::CoInitializeCount();
    first = com::CoInitialize();
    com::CoUninitialize();
    com::CoUninitialize();  // one too many does nothing
  }).join();
  EXPECT_EQ(other, 0);
  EXPECT_EQ(first, com::S_OK);
  EXPECT_EQ(com::CoInitializeCount(), 2);
  com::CoUninitialize();
  com::CoUninitialize();
  EXPECT_EQ(com::CoInitializeCount(), 0);
  EXPECT_EQ(com::CoInitialize(), com::S_OK);
  com::CoUninitialize();
}
