#include "com.h"

#include <climits>
#include <cstdio>
#include <cstring>

namespace com {

bool operator==(const GUID& a, const GUID& b) {
  return a.Data1 == b.Data1 && a.Data2 == b.Data2 && a.Data3 == b.Data3 &&
         std::memcmp(a.Data4, b.Data4, sizeof a.Data4) == 0;
}

namespace {

int Hex(char c) {
  if (c >= '0' && c <= '9') return c - '0';
  if (c >= 'A' && c <= 'F') return c - 'A' + 10;
  if (c >= 'a' && c <= 'f') return c - 'a' + 10;
  return -1;
}

thread_local std::u16string t_errSource, t_errDescription;
thread_local bool t_errSet = false;

}  // namespace

bool GuidFromString(std::string_view t, GUID& out) {
  if (t.size() == 38 && t.front() == '{' && t.back() == '}') t = t.substr(1, 36);
  if (t.size() != 36 || t[8] != '-' || t[13] != '-' || t[18] != '-' || t[23] != '-') return false;
  std::uint8_t b[16];
  size_t n = 0;
  for (size_t i = 0; i < t.size();) {
    if (t[i] == '-') {
      ++i;
      continue;
    }
    int hi = Hex(t[i]), lo = Hex(t[i + 1]);
    if (hi < 0 || lo < 0) return false;
    b[n++] = static_cast<std::uint8_t>(hi * 16 + lo);
    i += 2;
  }
  GUID g;
  g.Data1 = (std::uint32_t(b[0]) << 24) | (std::uint32_t(b[1]) << 16) | (std::uint32_t(b[2]) << 8) | b[3];
  g.Data2 = static_cast<std::uint16_t>((b[4] << 8) | b[5]);
  g.Data3 = static_cast<std::uint16_t>((b[6] << 8) | b[7]);
  std::memcpy(g.Data4, b + 8, 8);
  out = g;
  return true;
}

GUID MakeGuid(std::string_view text) {
  GUID g;
  GuidFromString(text, g);
  return g;
}

std::string GuidToString(const GUID& g) {
  char buf[40];
  std::snprintf(buf, sizeof buf, "{%08X-%04X-%04X-%02X%02X-%02X%02X%02X%02X%02X%02X}", g.Data1,
                g.Data2, g.Data3, g.Data4[0], g.Data4[1], g.Data4[2], g.Data4[3], g.Data4[4],
                g.Data4[5], g.Data4[6], g.Data4[7]);
  return buf;
}

const IID IID_NULL{};
const IID IID_IUnknown = MakeGuid("00000000-0000-0000-C000-000000000046");
const IID IID_IDispatch = MakeGuid("00020400-0000-0000-C000-000000000046");
const IID IID_IClassFactory = MakeGuid("00000001-0000-0000-C000-000000000046");
const IID IID_IObjectSafety = MakeGuid("CB5BDC81-93C1-11CF-8F20-00805F2CD064");
const IID IID_IConnectionPointContainer = MakeGuid("B196B284-BAB4-101A-B69C-00AA00341D07");
const IID IID_IConnectionPoint = MakeGuid("B196B286-BAB4-101A-B69C-00AA00341D07");
const GUID CLSID_PSOAInterface = MakeGuid("00020424-0000-0000-C000-000000000046");
const GUID LIBID_StdOle = MakeGuid("00020430-0000-0000-C000-000000000046");

std::string HResultText(HRESULT hr) {
  switch (hr) {
    case S_OK: return "The operation completed successfully.";
    case E_NOTIMPL: return "Not implemented.";
    case E_NOINTERFACE: return "No such interface supported.";
    case E_POINTER: return "Invalid pointer.";
    case E_FAIL: return "Unspecified error.";
    case E_UNEXPECTED: return "Catastrophic failure.";
    case E_OUTOFMEMORY: return "Not enough memory.";
    case E_INVALIDARG: return "The parameter is incorrect.";
    case DISP_E_MEMBERNOTFOUND: return "Member not found.";
    case DISP_E_PARAMNOTFOUND: return "Parameter not found.";
    case DISP_E_TYPEMISMATCH: return "Type mismatch.";
    case DISP_E_UNKNOWNNAME: return "Unknown name.";
    case DISP_E_EXCEPTION: return "Exception occurred.";
    case DISP_E_OVERFLOW: return "Out of present range.";
    case DISP_E_BADPARAMCOUNT: return "Invalid number of parameters.";
    case TYPE_E_ELEMENTNOTFOUND: return "Element not found.";
    case CLASS_E_NOAGGREGATION: return "Class does not support aggregation.";
    case CLASS_E_CLASSNOTAVAILABLE: return "ClassFactory cannot supply requested class.";
    case REGDB_E_CLASSNOTREG: return "Class not registered.";
    case CONNECT_E_NOCONNECTION: return "There is no connection for this connection ID.";
    case CONNECT_E_CANNOTCONNECT: return "Cannot connect.";
    default: return "";
  }
}

VARIANT VARIANT::I4(std::int32_t v) {
  VARIANT r;
  r.vt = VT_I4;
  r.lVal = v;
  return r;
}
VARIANT VARIANT::I2(std::int16_t v) {
  VARIANT r;
  r.vt = VT_I2;
  r.iVal = v;
  return r;
}
VARIANT VARIANT::Bool(bool v) {
  VARIANT r;
  r.vt = VT_BOOL;
  r.boolVal = v ? VARIANT_TRUE : VARIANT_FALSE;
  return r;
}
VARIANT VARIANT::Str(BSTR v) {
  VARIANT r;
  r.vt = VT_BSTR;
  r.bstrVal = std::move(v);
  return r;
}
VARIANT VARIANT::I2Ref(std::int16_t* p) {
  VARIANT r;
  r.vt = VT_BYREF | VT_I2;
  r.piVal = p;
  return r;
}

namespace {

bool ParseInt(const std::u16string& s, long long& out) {
  size_t i = 0, end = s.size();
  while (i < end && (s[i] == u' ' || s[i] == u'\t')) ++i;
  while (end > i && (s[end - 1] == u' ' || s[end - 1] == u'\t')) --end;
  bool neg = false;
  if (i < end && (s[i] == u'-' || s[i] == u'+')) neg = s[i++] == u'-';
  if (i >= end) return false;
  long long v = 0;
  for (; i < end; ++i) {
    if (s[i] < u'0' || s[i] > u'9') return false;
    v = v * 10 + (s[i] - u'0');
    if (v > (1LL << 40)) return false;
  }
  out = neg ? -v : v;
  return true;
}

std::u16string Ascii(const std::string& s) { return std::u16string(s.begin(), s.end()); }

}  // namespace

bool ChangeType(const VARIANT& in, std::uint16_t vt, VARIANT& out, HRESULT& hr) {
  hr = S_OK;
  // Read by-reference values as the values they point at.
  long long n = 0;
  bool isNumber = true;
  std::uint16_t from = in.vt;
  if (from == (VT_BYREF | VT_I2)) {
    if (!in.piVal) {
      hr = E_POINTER;
      return false;
    }
    n = *in.piVal;
  } else if (from == VT_I2) {
    n = in.iVal;
  } else if (from == VT_I4) {
    n = in.lVal;
  } else if (from == VT_BOOL) {
    n = in.boolVal ? -1 : 0;
  } else if (from == VT_EMPTY) {
    n = 0;
  } else if (from == VT_BSTR) {
    isNumber = false;
  } else {
    hr = DISP_E_TYPEMISMATCH;
    return false;
  }
  if (vt == VT_BSTR) {
    if (isNumber)
      out = VARIANT::Str(from == VT_BOOL ? (n ? u"True" : u"False") : Ascii(std::to_string(n)));
    else
      out = VARIANT::Str(in.bstrVal);
    return true;
  }
  if (!isNumber) {
    const std::u16string& s = in.bstrVal;
    if (vt == VT_BOOL && (s == u"True" || s == u"true")) n = -1;
    else if (vt == VT_BOOL && (s == u"False" || s == u"false")) n = 0;
    else if (!ParseInt(s, n)) {
      hr = DISP_E_TYPEMISMATCH;
      return false;
    }
  }
  switch (vt) {
    case VT_I4:
      if (n < INT32_MIN || n > INT32_MAX) break;
      out = VARIANT::I4(static_cast<std::int32_t>(n));
      return true;
    case VT_I2:
      if (n < INT16_MIN || n > INT16_MAX) break;
      out = VARIANT::I2(static_cast<std::int16_t>(n));
      return true;
    case VT_BOOL:
      out = VARIANT::Bool(n != 0);
      return true;
    default:
      hr = DISP_E_TYPEMISMATCH;
      return false;
  }
  hr = DISP_E_OVERFLOW;
  return false;
}

std::u16string VariantText(const VARIANT& v) {
  VARIANT s;
  HRESULT hr;
  if (v.vt == VT_EMPTY) return u"";
  if (ChangeType(v, VT_BSTR, s, hr)) return s.bstrVal;
  return u"";
}

void SetErrorInfo(const std::u16string& source, const std::u16string& description) {
  t_errSource = source;
  t_errDescription = description;
  t_errSet = true;
}

bool GetErrorInfo(std::u16string& source, std::u16string& description) {
  if (!t_errSet) return false;
  source = t_errSource;
  description = t_errDescription;
  ClearErrorInfo();
  return true;
}

void ClearErrorInfo() {
  t_errSet = false;
  t_errSource.clear();
  t_errDescription.clear();
}

namespace {
thread_local int t_comInits = 0;
}  // namespace

HRESULT CoInitialize(void*) { return t_comInits++ == 0 ? S_OK : S_FALSE; }

void CoUninitialize() {
  if (t_comInits > 0) --t_comInits;
}

int CoInitializeCount() { return t_comInits; }

}  // namespace com
