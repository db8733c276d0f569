#include <gtest/gtest.h>

#include <algorithm>
#include <map>
#include <thread>

#include "control/ZolmetServer.h"
#include "control/Zolmet_TLB.h"
#include "control/uuZolmetStart.h"
#include "platform/process/process.h"
#include "platform/registry/registry.h"
#include "platform/serial/serial.h"
#include "platform/sysroot/codepage.h"
#include "support.h"
#include "tests/support/testroot.h"

using namespace com;
using namespace control::Zolmet_TLB;
using control::uuZolmetStart::TZolmetStart;

namespace {

// An event sink as a page would connect: records every event and, for a
// key press, answers with a key of its own.
class Sink : public IDispatch {
 public:
  std::vector<DISPID> events;
  std::int16_t answerKey = 0;
  ULONG refs = 1;

  HRESULT QueryInterface(const IID& iid, void** object) override {
    if (iid == IID_IUnknown || iid == IID_IDispatch || iid == DIID_IZolmetStartEvents) {
      *object = this;
      AddRef();
      return S_OK;
    }
    *object = nullptr;
    return E_NOINTERFACE;
  }
  ULONG AddRef() override { return ++refs; }
  ULONG Release() override { return --refs; }
  HRESULT GetTypeInfoCount(unsigned*) override { return E_NOTIMPL; }
  HRESULT GetTypeInfo(unsigned, LCID, const TypeInfo**) override { return E_NOTIMPL; }
  HRESULT GetIDsOfNames(const IID&, const std::u16string*, unsigned, LCID, DISPID*) override { return E_NOTIMPL; }
  HRESULT Invoke(DISPID id, const IID&, LCID, std::uint16_t, DISPPARAMS& p, VARIANT*, EXCEPINFO*, unsigned*) override {
    events.push_back(id);
    if (id == DISPID_OnKeyPress && p.args.size() == 1 && p.args[0].vt == (VT_BYREF | VT_I2)) *p.args[0].piVal = answerKey;
    return S_OK;
  }
};

class ControlObject : public ::testing::Test {
 protected:
  void SetUp() override {
    object = control_test::CreateControl();
    ASSERT_NE(object, nullptr);
  }
  void TearDown() override {
    if (object) object->Release();
  }
  VARIANT Call(const std::u16string& name, std::vector<VARIANT> args = {}, HRESULT expect = S_OK) {
    VARIANT r;
    EXCEPINFO e;
    EXPECT_EQ(control_test::CallByName(object, name, std::move(args), r, e), expect);
    lastError = e;
    return r;
  }
  testing_support::TempRoot root;
  IDispatch* object = nullptr;
  EXCEPINFO lastError;
};

}  // namespace

TEST_F(ControlObject, InterfacesAndIdentity) {
  void* p = nullptr;
  for (const IID* iid : {&IID_IUnknown, &IID_IDispatch, &IID_IZolmetStart, &IID_IObjectSafety,
                         &IID_IConnectionPointContainer}) {
    ASSERT_EQ(object->QueryInterface(*iid, &p), S_OK);
    IUnknown* unk = nullptr;
    static_cast<IUnknown*>(p)->QueryInterface(IID_IUnknown, reinterpret_cast<void**>(&unk));
    EXPECT_EQ(unk, static_cast<IUnknown*>(object));  // one identity for every interface
    unk->Release();
    static_cast<IUnknown*>(p)->Release();
  }
  EXPECT_EQ(object->QueryInterface(IID_IClassFactory, &p), E_NOINTERFACE);
  EXPECT_EQ(p, nullptr);
  EXPECT_EQ(object->QueryInterface(IID_IDispatch, nullptr), E_POINTER);
}

TEST_F(ControlObject, SafeForScriptingOnEveryInterface) {
  ComPtr<IObjectSafety> safety;
  ASSERT_EQ(object->QueryInterface(IID_IObjectSafety, safety.out()), S_OK);
  DWORD supported = 9, enabled = 9;
  EXPECT_EQ(safety->GetInterfaceSafetyOptions(IID_IDispatch, nullptr, &enabled), E_POINTER);
  EXPECT_EQ(safety->GetInterfaceSafetyOptions(IID_IDispatch, &supported, nullptr), E_POINTER);
  ASSERT_EQ(safety->GetInterfaceSafetyOptions(IID_IDispatch, &supported, &enabled), S_OK);
  EXPECT_EQ(supported, 3u);
  EXPECT_EQ(enabled, 0u);
  EXPECT_EQ(safety->SetInterfaceSafetyOptions(IID_IDispatch, 3, 7), S_OK);
  // One set of options, shared by all interfaces.
  ASSERT_EQ(safety->GetInterfaceSafetyOptions(IID_IZolmetStart, &supported, &enabled), S_OK);
  EXPECT_EQ(enabled, 3u);
  EXPECT_EQ(safety->SetInterfaceSafetyOptions(IID_IUnknown, 1, 3), S_OK);
  safety->GetInterfaceSafetyOptions(IID_IDispatch, &supported, &enabled);
  EXPECT_EQ(enabled, 1u);
  // An interface the object does not have: nothing supported, nothing changed.
  EXPECT_EQ(safety->GetInterfaceSafetyOptions(IID_IClassFactory, &supported, &enabled), E_NOINTERFACE);
  EXPECT_EQ(supported, 0u);
  EXPECT_EQ(enabled, 0u);
  EXPECT_EQ(safety->SetInterfaceSafetyOptions(IID_IClassFactory, 3, 3), E_NOINTERFACE);
  safety->GetInterfaceSafetyOptions(IID_IDispatch, &supported, &enabled);
  EXPECT_EQ(enabled, 1u);
}

TEST_F(ControlObject, DispatchIdsAsTheTypeLibrarySays) {
  std::map<std::u16string, DISPID> expected = {
      {u"Print", 217},      {u"GetInfo", 218},       {u"GetIPInfo", 219}, {u"PrintTurn", 220},
      {u"GetVer", 221},     {u"GetInfoSize", 222},   {u"GetPrinterVer", 223}, {u"GetInnerVer", 224},
      {u"GetFileName", 225}, {u"Invoice", 226},      {u"Visible", 201},   {u"AxBorderStyle", 204},
      {u"Caption", -518},   {u"Color", -501},        {u"Font", -512},     {u"Enabled", -514},
      {u"KeyPreview", 205}, {u"VisibleDockClientCount", 216}};
  for (const auto& [name, id] : expected) {
    DISPID got = 0;
    EXPECT_EQ(object->GetIDsOfNames(IID_NULL, &name, 1, 0x409, &got), S_OK);
    EXPECT_EQ(got, id);
  }
  const TypeInfo* info = nullptr;
  ASSERT_EQ(object->GetTypeInfo(0, 0x409, &info), S_OK);
  EXPECT_EQ(info->name, "IZolmetStart");
  EXPECT_EQ(info->helpString, "Dispatch interface for ZolmetStart Control");
  const TypeLib& lib = ZolmetTypeLib();
  EXPECT_EQ(GuidToString(lib.libid), "{FB8A24E6-DEA8-4384-A1D7-E5EAEDF55277}");
  EXPECT_EQ(lib.lcid, 0x409u);
  ASSERT_NE(lib.FindByName("TxPrintScale"), nullptr);
  EXPECT_EQ(lib.FindByName("TxPrintScale")->enumValues[2].first, "poPrintToFit");
  const TypeInfo* coclass = lib.Find(CLSID_ZolmetStart);
  ASSERT_NE(coclass, nullptr);
  EXPECT_EQ(coclass->defaultSource, DIID_IZolmetStartEvents);
}

TEST_F(ControlObject, FormPropertiesAreStored) {
  EXPECT_EQ(Call(u"Caption").bstrVal, u"ZolmetStart");
  EXPECT_EQ(Call(u"Enabled").boolVal, VARIANT_TRUE);
  DISPID id;
  std::u16string name = u"caption";
  object->GetIDsOfNames(IID_NULL, &name, 1, 0, &id);
  DISPPARAMS p;
  p.args = {VARIANT::Str(u"收銀台")};
  EXCEPINFO e;
  ASSERT_EQ(object->Invoke(id, IID_NULL, 0, DISPATCH_PROPERTYPUT, p, nullptr, &e, nullptr), S_OK);
  EXPECT_EQ(Call(u"Caption").bstrVal, u"收銀台");
  name = u"PixelsPerInch";
  object->GetIDsOfNames(IID_NULL, &name, 1, 0, &id);
  p.args = {VARIANT::Str(u"120")};
  ASSERT_EQ(object->Invoke(id, IID_NULL, 0, DISPATCH_PROPERTYPUT, p, nullptr, &e, nullptr), S_OK);
  EXPECT_EQ(Call(u"PixelsPerInch").lVal, 120);
}

TEST_F(ControlObject, MethodsByNameWithArgumentChecks) {
  EXPECT_EQ(Call(u"GetInnerVer").bstrVal, u"v20090831a");
  EXPECT_EQ(Call(u"getinnerver").bstrVal, u"v20090831a");
  Call(u"GetInfo", {}, DISP_E_BADPARAMCOUNT);
  Call(u"GetInfo", {VARIANT::Str(u"three")}, DISP_E_TYPEMISMATCH);
  Call(u"Nothing", {}, DISP_E_UNKNOWNNAME);
  EXPECT_EQ(Call(u"GetPrinterVer").bstrVal, cp::Big5ToUtf16("檔案不存在"));
  EXPECT_EQ(Call(u"Print", {VARIANT::Str(u"a"), VARIANT::Str(u"b"), VARIANT::Str(u"c"), VARIANT::Str(u"d")}).lVal, 13);
}

TEST_F(ControlObject, PageStringsWithoutBig5FormNeverBreakACall) {
  std::u16string odd = u"\u00E9\U0001F600\u53F0";  // é, an emoji, 台
  odd += static_cast<char16_t>(0xD800);               // a lone surrogate
  odd += u"x";
  VARIANT r = Call(u"Print", {VARIANT::Str(odd), VARIANT::Str(u"w"), VARIANT::Str(u"p"), VARIANT::Str(odd)});
  EXPECT_EQ(r.lVal, 13);
  std::string log = control_test::ReadLog("Zolmet.debug");
  size_t at = log.find("Data=");
  ASSERT_NE(at, std::string::npos);
  std::string data = log.substr(at + 5, log.find('\r', at) - at - 5);
  EXPECT_NE(data.find("台"), std::string::npos) << data;
  EXPECT_EQ(data.back(), 'x');
  EXPECT_EQ(data.find_first_of("\x00", 0, 1), std::string::npos);
  Call(u"Invoice", {VARIANT::Str(odd)});
}

TEST_F(ControlObject, PortFailureBecomesAScriptError) {
  testing_support::WriteFile(root.Host("C:\\Windows\\System32\\mode.com"), "mode");
  serial::SetPortMapEntry("COM1", root.path() + "/no/such/tty");
  setenv("ZOLMET_INVOICE_PAUSE_MS", "10", 1);
  Call(u"Invoice", {VARIANT::Str(u"41")}, DISP_E_EXCEPTION);
  unsetenv("ZOLMET_INVOICE_PAUSE_MS");
  EXPECT_EQ(lastError.bstrDescription, cp::Big5ToUtf16("開檔失敗: 2"));
  EXPECT_EQ(lastError.scode, E_FAIL);
  // The object is still fine afterwards.
  EXPECT_EQ(Call(u"GetInnerVer").bstrVal, u"v20090831a");
}

TEST(ControlEvents, SinkReceivesTheFormsEvents) {
  testing_support::TempRoot root;
  Sink sink;
  auto* form = new TZolmetStart();
  ComPtr<IConnectionPoint> point;
  EXPECT_EQ(form->FindConnectionPoint(IID_IDispatch, point.outTyped()), CONNECT_E_NOCONNECTION);
  ASSERT_EQ(form->FindConnectionPoint(DIID_IZolmetStartEvents, point.outTyped()), S_OK);
  IID iid;
  point->GetConnectionInterface(&iid);
  EXPECT_EQ(iid, DIID_IZolmetStartEvents);
  form->Click();  // nobody listening yet
  DWORD cookie = 0;
  ASSERT_EQ(point->Advise(&sink, &cookie), S_OK);
  Sink second;
  DWORD cookie2 = 0;
  EXPECT_EQ(point->Advise(&second, &cookie2), CONNECT_E_ADVISELIMIT);
  form->Activate();
  form->Click();
  form->DblClick();
  form->Paint();
  form->Deactivate();
  sink.answerKey = 'Z';
  char key = 'a';
  form->KeyPress(key);
  EXPECT_EQ(key, 'Z');  // the page's key is taken back
  EXPECT_EQ(sink.events, (std::vector<DISPID>{DISPID_OnActivate, DISPID_OnClick, DISPID_OnDblClick,
                                              DISPID_OnPaint, DISPID_OnDeactivate, DISPID_OnKeyPress}));
  EXPECT_EQ(point->Unadvise(cookie + 1), CONNECT_E_NOCONNECTION);
  ASSERT_EQ(point->Unadvise(cookie), S_OK);
  EXPECT_EQ(sink.refs, 1u);  // the control let go of the sink
  form->Click();
  EXPECT_EQ(sink.events.size(), 6u);
  // Connected at the end: the sink hears the form go.
  ASSERT_EQ(point->Advise(&sink, &cookie), S_OK);
  point.Reset();
  static_cast<IZolmetStart*>(form)->Release();
  EXPECT_EQ(sink.events.back(), DISPID_OnDestroy);
  EXPECT_EQ(sink.refs, 1u);
}

TEST(ControlServer, FactoryUnloadAndRegistration) {
  testing_support::TempRoot root;
  // Print programs of earlier tests may still be ending.
  for (int i = 0; i < 200 && win::RunningChildren() > 0; ++i)
    std::this_thread::sleep_for(std::chrono::milliseconds(25));
  void* p = nullptr;
  EXPECT_EQ(control::ZolmetServer::GetClassObject(IID_IDispatch, IID_IClassFactory, &p), CLASS_E_CLASSNOTAVAILABLE);
  ComPtr<IClassFactory> factory;
  ASSERT_EQ(control::ZolmetServer::GetClassObject(CLSID_ZolmetStart, IID_IClassFactory, factory.out()), S_OK);
  EXPECT_EQ(control::ZolmetServer::CanUnloadNow(), S_OK);
  Sink outer;
  EXPECT_EQ(factory->CreateInstance(&outer, IID_IUnknown, &p), CLASS_E_NOAGGREGATION);
  EXPECT_EQ(factory->CreateInstance(nullptr, IID_IClassFactory, &p), E_NOINTERFACE);
  EXPECT_EQ(control::ZolmetServer::CanUnloadNow(), S_OK);  // the refused object is gone
  ComPtr<IDispatch> control;
  ASSERT_EQ(factory->CreateInstance(nullptr, IID_IDispatch, control.out()), S_OK);
  EXPECT_EQ(control::ZolmetServer::CanUnloadNow(), S_FALSE);
  control.Reset();
  factory->LockServer(true);
  EXPECT_EQ(control::ZolmetServer::CanUnloadNow(), S_FALSE);
  factory->LockServer(false);
  EXPECT_EQ(control::ZolmetServer::CanUnloadNow(), S_OK);

  ASSERT_TRUE(EnsureBaseKeys());
  auto before = reg::Load(reg::Hive::ClassesRoot).Dump();
  const std::string path = "C:\\Program Files\\Zolmet\\Zolmet.ocx";
  ASSERT_EQ(control::ZolmetServer::RegisterServer(path), S_OK);
  std::string clsidKey = "CLSID\\{8070D7AB-9D3F-4EB9-9405-70447F713814}";
  reg::Tree t = reg::Load(reg::Hive::ClassesRoot);
  EXPECT_EQ(t.GetValue(clsidKey + "\\InprocServer32", ""), path);
  EXPECT_EQ(t.GetValue(clsidKey + "\\InprocServer32", "ThreadingModel"), "Apartment");
  EXPECT_EQ(t.GetValue(clsidKey + "\\MiscStatus\\1", ""), "73728");
  EXPECT_EQ(t.GetValue(clsidKey + "\\TypeLib", ""), "{FB8A24E6-DEA8-4384-A1D7-E5EAEDF55277}");
  EXPECT_EQ(t.GetValue("Zolmet.ZolmetStart\\CLSID", ""), "{8070D7AB-9D3F-4EB9-9405-70447F713814}");
  EXPECT_TRUE(t.KeyExists(clsidKey + "\\Control"));
  EXPECT_FALSE(t.KeyExists(clsidKey + "\\Implemented Categories"));
  EXPECT_EQ(t.GetValue("TypeLib\\{FB8A24E6-DEA8-4384-A1D7-E5EAEDF55277}\\1.0\\409\\win32", ""), path);
  EXPECT_TRUE(t.KeyExists("Interface\\{87C4FB8B-4401-49E2-B07B-D39EEA1C0AE4}"));
  EXPECT_TRUE(t.KeyExists("Interface\\{6C8A7547-0216-4526-832D-61F5C70997AF}"));
  EXPECT_EQ(control::ZolmetServer::RegisterServer(path), S_OK);  // again: nothing doubles
  EXPECT_EQ(reg::Load(reg::Hive::ClassesRoot).Dump(), t.Dump());
  ASSERT_EQ(control::ZolmetServer::UnregisterServer(path), S_OK);
  EXPECT_EQ(reg::Load(reg::Hive::ClassesRoot).Dump(), before);
  EXPECT_EQ(control::ZolmetServer::RegisterServer(""), SELFREG_E_CLASS);
}

// Unloading the library while a print program it started still runs would
// leave that program a zombie nobody collects.
TEST(ControlServer, StaysLoadedUntilItsPrintProgramsAreCollected) {
  testing_support::TempRoot root;
  control_test::InstallFakePrinter();
  setenv("ZOLMET_TEST_PRINT_MS", "1500", 1);
  IDispatch* control = control_test::CreateControl();
  ASSERT_NE(control, nullptr);
  VARIANT r;
  EXCEPINFO e;
  ASSERT_EQ(control_test::CallByName(control, u"PrintTurn", {VARIANT::Str(u"x")}, r, e), S_OK);
  EXPECT_EQ(r.lVal, 1);
  control->Release();
  unsetenv("ZOLMET_TEST_PRINT_MS");
  EXPECT_EQ(control::ZolmetServer::CanUnloadNow(), S_FALSE);
  HRESULT unload = S_FALSE;
  for (int i = 0; i < 200 && unload != S_OK; ++i) {
    std::this_thread::sleep_for(std::chrono::milliseconds(50));
    unload = control::ZolmetServer::CanUnloadNow();
  }
  EXPECT_EQ(unload, S_OK);
  EXPECT_EQ(testing_support::ReadFile(root.Host("C:\\recorded.txt")), "ISx\n");
}

// A page whose handler of the form's going touches the control once more.
TEST(ControlEvents, SinkTouchingTheControlAsItGoes) {
  testing_support::TempRoot root;
  struct Toucher final : Sink {
    IUnknown* control = nullptr;
    HRESULT Invoke(DISPID id, const IID& iid, LCID lcid, std::uint16_t flags, DISPPARAMS& p, VARIANT* r,
                   EXCEPINFO* e, unsigned* a) override {
      if (id == DISPID_OnDestroy && control) {
        void* again = nullptr;
        if (SUCCEEDED(control->QueryInterface(IID_IDispatch, &again))) static_cast<IDispatch*>(again)->Release();
      }
      return Sink::Invoke(id, iid, lcid, flags, p, r, e, a);
    }
  } sink;
  auto* form = new TZolmetStart();
  sink.control = static_cast<IZolmetStart*>(form);
  ComPtr<IConnectionPoint> point;
  ASSERT_EQ(form->FindConnectionPoint(DIID_IZolmetStartEvents, point.outTyped()), S_OK);
  DWORD cookie = 0;
  ASSERT_EQ(point->Advise(&sink, &cookie), S_OK);
  point.Reset();
  static_cast<IZolmetStart*>(form)->Release();  // goes once, not twice
  EXPECT_EQ(std::count(sink.events.begin(), sink.events.end(), DISPID_OnDestroy), 1);
  EXPECT_EQ(sink.refs, 1u);
}
