// zolmet-page: stands in for a web page's script. It creates the control
// registered under a ProgID or CLSID, asks it whether it is safe for
// scripting as the browser does, and calls its members by name.
//   zolmet-page [--progid ID | --clsid {GUID}] CALL [; CALL]...
//   CALL is  MEMBER [ARG...]  (a method call or property read; arguments are
//   strings in UTF-8, converted as the script engine converts them) or
//   MEMBER=VALUE  (a property write).
// Each result is printed in UTF-8 on a line of its own, its control
// characters shown as the programs show them ("^[" for ESC, CR as a line
// break). A failing call prints its error description to stderr and ends
// with exit code 1.
#include <cstdio>
#include <string>
#include <vector>

#include "platform/com/com.h"
#include "platform/process/library.h"
#include "platform/com/registration.h"
#include "platform/process/process.h"
#include "platform/setup/setup.h"
#include "platform/ui/dialogs.h"
#include "utf.h"

using namespace com;

namespace {

int Fail(const std::string& utf8) {
  std::fprintf(stderr, "zolmet-page: %s\n", ui::ForTerminalUtf8(utf8).c_str());
  return 1;
}

std::string HexCode(HRESULT hr) {
  char buf[16];
  std::snprintf(buf, sizeof buf, "0x%08X", static_cast<unsigned>(hr));
  return buf;
}

std::string Describe(HRESULT hr, const EXCEPINFO& e) {
  if (hr == DISP_E_EXCEPTION && !e.bstrDescription.empty()) return page::Utf16ToUtf8(e.bstrDescription);
  std::string text = HResultText(hr == DISP_E_EXCEPTION ? e.scode : hr);
  return text.empty() ? "error " + HexCode(hr) : text + " (" + HexCode(hr) + ")";
}

struct Call {
  std::string member;
  std::vector<std::string> args;
};

int Run(IDispatch* object, const Call& call) {
  std::string name = call.member;
  bool put = false;
  std::string putValue;
  if (size_t eq = name.find('='); eq != std::string::npos) {
    put = true;
    putValue = name.substr(eq + 1);
    name.resize(eq);
  }
  std::u16string wide = page::Utf8ToUtf16(name);
  DISPID id = DISPID_UNKNOWN;
  HRESULT hr = object->GetIDsOfNames(IID_NULL, &wide, 1, 0x409, &id);
  if (FAILED(hr)) return Fail(name + ": " + Describe(hr, {}));
  DISPPARAMS params;
  if (put) params.args.push_back(VARIANT::Str(page::Utf8ToUtf16(putValue)));
  for (const auto& a : call.args) params.args.push_back(VARIANT::Str(page::Utf8ToUtf16(a)));
  VARIANT result;
  EXCEPINFO excep;
  unsigned argErr = 0;
  hr = object->Invoke(id, IID_NULL, 0x409, put ? DISPATCH_PROPERTYPUT : DISPATCH_METHOD | DISPATCH_PROPERTYGET,
                      params, put ? nullptr : &result, &excep, &argErr);
  if (FAILED(hr)) {
    std::string where = hr == DISP_E_TYPEMISMATCH ? " (argument " + std::to_string(argErr + 1) + ")" : "";
    return Fail(name + where + ": " + Describe(hr, excep));
  }
  if (!put) std::printf("%s\n", ui::ForTerminalUtf8(page::Utf16ToUtf8(VariantText(result))).c_str());
  std::fflush(stdout);
  return 0;
}

}  // namespace

int main(int argc, char** argv) {
  win::InitArguments(argc, argv);
  setup::LayOutMissingRootOnFirstUse();
  std::string progId = "Zolmet.ZolmetStart", clsidText;
  std::vector<Call> calls;
  int i = 1;
  for (; i < argc; ++i) {
    std::string a = argv[i];
    if (a == "--progid" && i + 1 < argc) progId = argv[++i];
    else if (a == "--clsid" && i + 1 < argc) clsidText = argv[++i];
    else break;
  }
  for (; i < argc; ++i) {
    std::string a = argv[i];
    if (a == ";") continue;
    if (calls.empty() || std::string(argv[i - 1]) == ";") calls.push_back({a, {}});
    else calls.back().args.push_back(a);
  }
  if (calls.empty())
    return Fail("usage: zolmet-page [--progid ID | --clsid {GUID}] MEMBER [ARG...] [; MEMBER [ARG...]]...");

  CLSID clsid;
  if (!clsidText.empty()) {
    if (!GuidFromString(clsidText, clsid)) return Fail("not a CLSID: " + clsidText);
  } else if (!CLSIDFromProgID(progId, clsid)) {
    return Fail("class not registered: " + progId);
  }

  int rc = 0;
  {
    ComPtr<IUnknown> unknown;
    HRESULT hr = CoCreateInstance(clsid, IID_IUnknown, unknown.out());
    if (FAILED(hr)) {
      std::string extra = win::LibraryErrorText().empty() ? "" : " (" + win::LibraryErrorText() + ")";
      return Fail("cannot create " + GuidToString(clsid) + ": " + Describe(hr, {}) + extra);
    }
    // As the browser: the control must be safe for untrusted callers and data.
    ComPtr<IObjectSafety> safety;
    const DWORD wanted = INTERFACESAFE_FOR_UNTRUSTED_CALLER | INTERFACESAFE_FOR_UNTRUSTED_DATA;
    DWORD supported = 0, enabled = 0;
    if (FAILED(unknown->QueryInterface(IID_IObjectSafety, safety.out())) ||
        FAILED(safety->GetInterfaceSafetyOptions(IID_IDispatch, &supported, &enabled)) ||
        (supported & wanted) != wanted || FAILED(safety->SetInterfaceSafetyOptions(IID_IDispatch, wanted, wanted)))
      return Fail("the control is not safe for scripting");
    ComPtr<IDispatch> object;
    hr = unknown->QueryInterface(IID_IDispatch, object.out());
    if (FAILED(hr)) return Fail("no dispatch interface: " + Describe(hr, {}));
    for (const auto& call : calls) {
      rc = Run(object.get(), call);
      if (rc != 0) break;
    }
  }
  CoFreeUnusedLibraries();
  return rc;
}
