// Registration, loading and objects of a real in-process server.
#include <gtest/gtest.h>

#include "platform/com/registration.h"
#include "platform/process/library.h"
#include "platform/registry/registry.h"
#include "platform/sysroot/sysroot.h"
#include "tests/support/testroot.h"

using namespace com;
using testing_support::TempRoot;

namespace {

const CLSID kClsid = MakeGuid("{5A3C0E61-7F0D-4C41-9C3B-0D2E7A10B001}");
const std::string kServer = ZOLMET_COMSERVER;

ServerRegistration Registration(const CLSID& clsid, const std::string& progId, const std::string& module) {
  ServerRegistration r;
  r.clsid = clsid;
  r.description = "Test Server";
  r.progId = progId;
  r.modulePath = module;
  r.threadingModel = "Apartment";
  return r;
}

// The server's own answer to whether it may go. (The loader keeps a library
// with unique symbols mapped after its last close, so unmapping is not seen.)
bool MayUnload() {
  win::HLIBRARY h = win::LoadLibrary(sysroot::WinPath(kServer));
  auto canUnload = reinterpret_cast<DllCanUnloadNowProc>(win::GetProcAddress(h, "DllCanUnloadNow"));
  bool may = canUnload && canUnload() == S_OK;
  win::FreeLibrary(h);
  return may;
}

long LiveObjects() {
  win::HLIBRARY h = win::LoadLibrary(sysroot::WinPath(kServer));
  auto live = reinterpret_cast<long (*)()>(win::GetProcAddress(h, "TestLiveObjects"));
  long n = live ? live() : -1;
  win::FreeLibrary(h);
  return n;
}

// Calls member NAME of D with ARGS; the result code, RESULT and EXCEP filled.
HRESULT Call(IDispatch* d, const std::u16string& name, std::uint16_t flags, std::vector<VARIANT> args,
             VARIANT& result, EXCEPINFO& excep, unsigned& argErr) {
  DISPID id = 0;
  HRESULT hr = d->GetIDsOfNames(IID_NULL, &name, 1, 0, &id);
  if (FAILED(hr)) return hr;
  DISPPARAMS p;
  p.args = std::move(args);
  argErr = 99;
  return d->Invoke(id, IID_NULL, 0, flags, p, &result, &excep, &argErr);
}

class Server : public ::testing::Test {
 protected:
  void SetUp() override {
    ASSERT_TRUE(EnsureBaseKeys());
    ASSERT_TRUE(RegisterServer(Registration(kClsid, "Zolmet.Test", sysroot::WinPath(kServer))));
  }
  void TearDown() override { CoFreeUnusedLibraries(); }
  TempRoot root;
};

}  // namespace

TEST(Registration, ServersAndTypeLibrariesUnregisterToExactlyWhatWasThere) {
  TempRoot root;
  std::vector<std::string> added;
  ASSERT_TRUE(EnsureBaseKeys(&added));
  EXPECT_EQ(added.size(), 3u);
  ASSERT_TRUE(RegisterServer(Registration(MakeGuid("{00000000-0000-0000-0000-0000000000AA}"), "Other.Thing",
                                          "C:\\other.ocx")));
  const auto before = reg::Load(reg::Hive::ClassesRoot).Dump();

  ServerRegistration r = Registration(kClsid, "Zolmet.Test", "C:\\Program Files\\Test\\test.ocx");
  r.control = true;
  r.verbs = {{"0", "&Properties...,0,2"}};
  ASSERT_TRUE(RegisterServer(r));
  TypeLib lib;
  lib.name = "TestLib";
  lib.libid = MakeGuid("{5A3C0E61-7F0D-4C41-9C3B-0D2E7A10B00F}");
  TypeInfo dual;
  dual.name = "ITest";
  dual.kind = TypeKind::Dual;
  dual.guid = MakeGuid("{5A3C0E61-7F0D-4C41-9C3B-0D2E7A10B002}");
  lib.types = {dual};
  TypeLib newer = lib;
  newer.minor = 2;
  ASSERT_TRUE(RegisterTypeLib(lib, r.modulePath));
  ASSERT_TRUE(RegisterTypeLib(newer, r.modulePath));

  CLSID found;
  ASSERT_TRUE(CLSIDFromProgID("zolmet.TEST", found));
  EXPECT_EQ(found, kClsid);
  EXPECT_EQ(InprocServerPath(kClsid), r.modulePath);
  // One version goes, the other stays.
  ASSERT_TRUE(UnRegisterTypeLib(lib));
  EXPECT_TRUE(reg::KeyExists(reg::Hive::ClassesRoot, "TypeLib\\" + GuidToString(lib.libid) + "\\1.2"));
  ASSERT_TRUE(UnRegisterTypeLib(newer));
  ASSERT_TRUE(UnregisterServer(r));
  EXPECT_EQ(reg::Load(reg::Hive::ClassesRoot).Dump(), before);
  EXPECT_FALSE(CLSIDFromProgID("Zolmet.Test", found));
  EXPECT_EQ(InprocServerPath(kClsid), "");
  added.clear();
  ASSERT_TRUE(EnsureBaseKeys(&added));
  EXPECT_TRUE(added.empty());
}

TEST_F(Server, LoadFailuresNameTheirCause) {
  void* object = this;
  EXPECT_EQ(CoCreateInstance(MakeGuid("{00000000-0000-0000-0000-000000000001}"), IID_IUnknown, &object),
            REGDB_E_CLASSNOTREG);
  EXPECT_EQ(object, nullptr);
  const CLSID missing = MakeGuid("{00000000-0000-0000-0000-000000000002}");
  ASSERT_TRUE(RegisterServer(Registration(missing, "", "C:\\no\\such.ocx")));
  EXPECT_EQ(CoCreateInstance(missing, IID_IUnknown, &object), Hr(0x8007007E));
  // A library that is no server.
  const CLSID plain = MakeGuid("{00000000-0000-0000-0000-000000000003}");
  ASSERT_TRUE(RegisterServer(
      Registration(plain, "", sysroot::WinPath(testing_support::BinPath("libzolmet-test-reslib.so")))));
  EXPECT_EQ(CoCreateInstance(plain, IID_IUnknown, &object), Hr(0x8007007F));
  // The server's module, registered for a class it does not serve.
  const CLSID other = MakeGuid("{00000000-0000-0000-0000-000000000004}");
  ASSERT_TRUE(RegisterServer(Registration(other, "", sysroot::WinPath(kServer))));
  EXPECT_EQ(CoCreateInstance(other, IID_IUnknown, &object), CLASS_E_CLASSNOTAVAILABLE);
  EXPECT_EQ(CoCreateInstance(kClsid, IID_IConnectionPoint, &object), E_NOINTERFACE);
  EXPECT_EQ(object, nullptr);
  EXPECT_EQ(LiveObjects(), 0);
}

TEST_F(Server, DispatchByNameChecksCountsAndTypes) {
  ComPtr<IDispatch> d;
  ASSERT_EQ(CoCreateInstance(kClsid, IID_IDispatch, d.out()), S_OK);
  VARIANT r;
  EXCEPINFO e;
  unsigned argErr;
  ASSERT_EQ(Call(d.get(), u"SUM", DISPATCH_METHOD, {VARIANT::Str(u"40"), VARIANT::I4(2)}, r, e, argErr), S_OK);
  EXPECT_EQ(r.lVal, 42);
  EXPECT_EQ(Call(d.get(), u"Sum", DISPATCH_METHOD, {VARIANT::I4(1)}, r, e, argErr), DISP_E_BADPARAMCOUNT);
  EXPECT_EQ(Call(d.get(), u"Sum", DISPATCH_METHOD, {VARIANT::I4(1), VARIANT::I4(2), VARIANT::I4(3)}, r, e, argErr),
            DISP_E_BADPARAMCOUNT);
  EXPECT_EQ(Call(d.get(), u"Sum", DISPATCH_METHOD, {VARIANT::I4(1), VARIANT::Str(u"two")}, r, e, argErr),
            DISP_E_TYPEMISMATCH);
  EXPECT_EQ(argErr, 1u);
  // The second parameter is a short.
  EXPECT_EQ(Call(d.get(), u"Sum", DISPATCH_METHOD, {VARIANT::I4(1), VARIANT::I4(40000)}, r, e, argErr),
            DISP_E_OVERFLOW);
  EXPECT_EQ(argErr, 1u);
  VARIANT object;
  object.vt = VT_DISPATCH;
  object.punkVal = d.get();
  EXPECT_EQ(Call(d.get(), u"Sum", DISPATCH_METHOD, {object, VARIANT::I4(1)}, r, e, argErr), DISP_E_TYPEMISMATCH);
  EXPECT_EQ(argErr, 0u);
  EXPECT_EQ(Call(d.get(), u"Total", DISPATCH_METHOD, {}, r, e, argErr), DISP_E_UNKNOWNNAME);
  // A property: written with the put flag only, read back by either flag.
  ASSERT_EQ(Call(d.get(), u"caption", DISPATCH_PROPERTYPUT, {VARIANT::I4(7)}, r, e, argErr), S_OK);
  EXPECT_EQ(Call(d.get(), u"Caption", DISPATCH_PROPERTYPUT, {}, r, e, argErr), DISP_E_BADPARAMCOUNT);
  ASSERT_EQ(Call(d.get(), u"Caption", DISPATCH_PROPERTYGET, {}, r, e, argErr), S_OK);
  EXPECT_EQ(r.bstrVal, u"7");
  ASSERT_EQ(Call(d.get(), u"Caption", DISPATCH_METHOD, {}, r, e, argErr), S_OK);
  EXPECT_EQ(r.bstrVal, u"7");
}

TEST_F(Server, AFailedCallCarriesItsOwnDescription) {
  ComPtr<IDispatch> d;
  ASSERT_EQ(CoCreateInstance(kClsid, IID_IDispatch, d.out()), S_OK);
  VARIANT r;
  EXCEPINFO e;
  unsigned argErr;
  ASSERT_EQ(Call(d.get(), u"Fail", DISPATCH_METHOD, {VARIANT::I4(1)}, r, e, argErr), DISP_E_EXCEPTION);
  EXPECT_EQ(e.bstrSource, u"Test");
  EXPECT_EQ(e.bstrDescription, u"the printer is off");
  EXPECT_EQ(e.scode, E_FAIL);
  // A failure that says nothing gets its code's text, not words an earlier
  // call left behind.
  ASSERT_EQ(Call(d.get(), u"Fail", DISPATCH_METHOD, {VARIANT::I4(0)}, r, e, argErr), S_OK);
  EXCEPINFO next;
  ASSERT_EQ(Call(d.get(), u"Fail", DISPATCH_METHOD, {VARIANT::I4(2)}, r, next, argErr), DISP_E_EXCEPTION);
  EXPECT_EQ(next.bstrDescription, u"Not enough memory.");
  EXPECT_EQ(next.bstrSource, u"");
  EXPECT_EQ(next.scode, E_OUTOFMEMORY);
}

TEST_F(Server, ReferencesAndLocksKeepTheServerUntilTheLastGoes) {
  ComPtr<IDispatch> a;
  ASSERT_EQ(CoCreateInstance(kClsid, IID_IDispatch, a.out()), S_OK);
  {
    ComPtr<IDispatch> b = a;
    b = b;  // a self-assignment keeps the reference
    ComPtr<IUnknown> u;
    ASSERT_EQ(b->QueryInterface(IID_IUnknown, u.out()), S_OK);
    ComPtr<IDispatch> c;
    c = a;
    c = ComPtr<IDispatch>();
    EXPECT_EQ(LiveObjects(), 1);
  }
  EXPECT_EQ(a->AddRef(), 2u);
  EXPECT_EQ(a->Release(), 1u);
  CoFreeUnusedLibraries();
  EXPECT_FALSE(MayUnload());
  a.Reset();
  EXPECT_EQ(LiveObjects(), 0);
  CoFreeUnusedLibraries();
  EXPECT_TRUE(MayUnload());

  // A locked server stays without any object or factory.
  ComPtr<IClassFactory> f;
  ASSERT_EQ(CoGetClassObject(kClsid, IID_IClassFactory, f.out()), S_OK);
  ASSERT_EQ(f->LockServer(true), S_OK);
  f.Reset();
  CoFreeUnusedLibraries();
  EXPECT_FALSE(MayUnload());
  ASSERT_EQ(CoGetClassObject(kClsid, IID_IClassFactory, f.out()), S_OK);
  ASSERT_EQ(f->LockServer(false), S_OK);
  EXPECT_EQ(f->CreateInstance(f.get(), IID_IUnknown, a.out()), CLASS_E_NOAGGREGATION);
  f.Reset();
  CoFreeUnusedLibraries();
  EXPECT_TRUE(MayUnload());
  // A server let go is loaded again when asked.
  ASSERT_EQ(CoCreateInstance(kClsid, IID_IDispatch, a.out()), S_OK);
  EXPECT_EQ(LiveObjects(), 1);
}
