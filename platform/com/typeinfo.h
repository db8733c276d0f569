// Type libraries as data, and dispatch driven by them: names to ids, and
// calls by id with argument count and type checks, conversions and error
// descriptions.
#pragma once
#include <functional>
#include <string>
#include <utility>
#include <vector>

#include "com.h"

namespace com {

enum class TypeKind { Dual, DispInterface, CoClass, Enum };
enum class InvokeKind { Method = DISPATCH_METHOD, PropGet = DISPATCH_PROPERTYGET, PropPut = DISPATCH_PROPERTYPUT };

struct ParamDesc {
  std::string name;
  std::uint16_t vt;  // may carry VT_BYREF
};

struct FuncDesc {
  std::string name;
  DISPID id;
  InvokeKind kind;
  std::vector<ParamDesc> params;
  std::uint16_t result = VT_EMPTY;  // the [out, retval] type; VT_EMPTY for none
};

struct TypeInfo {
  std::string name;
  GUID guid;
  TypeKind kind;
  std::string helpString;
  std::vector<FuncDesc> funcs;                         // interfaces, in vtable order
  std::vector<std::pair<std::string, int>> enumValues; // enumerations
  IID defaultInterface{};                              // coclasses
  IID defaultSource{};

  const FuncDesc* Find(DISPID id, InvokeKind kind) const;
};

struct TypeLib {
  std::string name;
  std::string helpString;
  GUID libid;
  std::uint16_t major = 1, minor = 0;
  LCID lcid = 0;
  std::vector<GUID> imports;
  std::vector<TypeInfo> types;

  const TypeInfo* Find(const GUID& guid) const;
  const TypeInfo* FindByName(const std::string& name) const;
};

// Maps a member name (NAMES[0]) and its parameter names to dispatch ids,
// ignoring case. Unknown names get DISPID_UNKNOWN and DISP_E_UNKNOWNNAME.
HRESULT GetIDsOfNames(const TypeInfo& type, const std::u16string* names, unsigned count, DISPID* ids);

// Runs one dispatch call against TYPE: finds the member for ID and FLAGS,
// checks the argument count, converts every argument to its declared type
// (a by-reference short may come as a plain value; then nothing is copied
// back), and calls CALL. A failing CALL becomes DISP_E_EXCEPTION with the
// thread's error information in EXCEPT (when given).
using MemberCall = std::function<HRESULT(const FuncDesc& member, std::vector<VARIANT>& args, VARIANT& result)>;
HRESULT InvokeByType(const TypeInfo& type, DISPID id, std::uint16_t flags, DISPPARAMS& params,
                     VARIANT* result, EXCEPINFO* excep, unsigned* argErr, const MemberCall& call);

// The type library as the bytes of a "TYPELIB" resource, and back. False
// when BYTES is not a well-formed library.
std::string SaveTypeLib(const TypeLib& lib);
bool LoadTypeLib(const std::string& bytes, TypeLib& out);
// Reads type-library resource 1 of the module file at WINPATH.
bool LoadTypeLibFromFile(const std::string& winPath, TypeLib& out);

}  // namespace com
