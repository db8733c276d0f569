// Report parameters: named, typed values that callers set before printing
// and that the report's objects read by name. A parameter holds its value
// converted to the variant kind of its data type; the list holds its
// parameters as its children in the relative tree and, in insert mode,
// hands out a spare parameter for a name it lacks, which joins the list
// when it is first given a value.
#pragma once
#include <functional>
#include <string>

#include "platform/classes/variants.h"
#include "report/model/ppRTTI.h"
#include "report/model/ppRelatv.h"
#include "report/model/ppTypes.h"


// EParameterError is declared with the library's exceptions (ppTypes).
class TppParameter;
class TppParameterList;

// Called after each non-null assignment to a parameter's Value.
using TppParameterChange = std::function<void(TppParameter* parameter)>;

// The data type of a variant kind: integers dtLargeInt (the variant's
// integers are 64-bit), Double dtDouble, Currency dtCurrency, Date
// dtDateTime, String dtString, Boolean dtBoolean; Empty and Null dtNotKnown.
TppDataType VarTypeToDataType(cls::TVarType varType);
// Whether a parameter can hold the data type: dtBoolean, dtDateTime,
// dtInteger, dtSingle, dtDouble, dtCurrency, dtString, dtLargeInt.
bool ppParameterSupports(TppDataType dataType);
// VALUE converted to the data type's kind (integers in 32 bits, singles
// rounded to single precision); a conversion error when it cannot be.
cls::Variant ppConvertToDataType(const cls::Variant& value, TppDataType dataType);

class TppParameter : public TppRelative {
  CLS_DECLARE_CLASS(TppParameter, TppRelative)
 public:
  explicit TppParameter(cls::TComponent* owner);
  void BeforeDestruction() override;

  TppDataType DataType() const { return dataType_; }
  // EParameterError for a type a parameter cannot hold. A changed type
  // converts the value ("" under dtString becomes 0, 0 becomes "" under
  // dtString), except while the parameter is read from a stream; a value
  // that cannot be converted raises and changes nothing.
  void SetDataType(TppDataType value);
  const cls::Variant& Value() const { return value_; }
  // Empty or Null only sets the null flag. Any other value is converted
  // (a failure raises and changes nothing), stored, and the change callback
  // is called.
  void SetValue(const cls::Variant& value);
  bool IsNull() const { return isNull_; }
  // Made on first read.
  cls::TStringList* PickList() const;
  bool HasPickList() const { return pickList_.get() != nullptr; }
  void SetPickList(cls::TStringList* value);

  TppParameterChange OnChange;

  // From another parameter: name, data type, null flag, value, pick list.
  void Assign(cls::TPersistent* source) override;
  // The value read is converted to the data type (none read: 0 of the
  // type); one that cannot be raises EReadError.
  void Loaded() override;

 private:
  friend class TppParameterList;
  TppDataType dataType_ = dtString;
  cls::Variant value_ = std::string();
  bool isNull_ = false;
  mutable cls::Owned<cls::TStringList> pickList_;
  // The list this parameter is the spare of.
  TppParameterList* spareOf_ = nullptr;
};

class TppParameterList : public TppRelative {
  CLS_DECLARE_CLASS(TppParameterList, TppRelative)
 public:
  explicit TppParameterList(cls::TComponent* owner);
  void BeforeDestruction() override;

  int Count() const { return ChildCount(); }
  TppParameter* Items(int index) const;
  bool InsertMode() const { return insertMode_; }
  void SetInsertMode(bool value) { insertMode_ = value; }

  // EParameterError when the name is listed already.
  TppParameter* Add(const std::string& name);
  TppParameter* Add(const std::string& name, TppDataType dataType, const cls::Variant& value);
  // The parameter of the name (ignoring case); else, in insert mode, the
  // spare under that name (counted once it has a value); else
  // EParameterError.
  TppParameter* GetItemForName(const std::string& name);
  cls::Variant GetParamValue(const std::string& name) { return GetItemForName(name)->Value(); }
  // The listed parameter of the name, or nil.
  TppParameter* Find(const std::string& name) const;
  bool InList(const std::string& name) const { return Find(name) != nullptr; }
  void Remove(const std::string& name);
  void Clear();
  // Same count and, in order, same name (ignoring case), data type, null
  // flag and value.
  bool EqualTo(const TppParameterList* other) const;

  // A copy of another list's parameters (nil clears; the list itself
  // changes nothing).
  void Assign(cls::TPersistent* source) override;

  const TppParameter* Spare() const { return spare_; }

 private:
  friend class TppParameter;
  void MakeSpare();
  void SpareChanged(TppParameter* spare);
  bool insertMode_ = true;
  TppParameter* spare_ = nullptr;
  TppParameterChange spareChange_;
};

// By-name access: Assign, EqualTo, AddName, Add, Clear, InList, Remove;
// Count, InsertMode; the indexed Items (by name), ItemsByIndex and Values.
class TraTppParameterListRTTI : public TraTppRelativeRTTI {
  RA_DECLARE_RTTI(TraTppParameterListRTTI, TraTppRelativeRTTI, TppParameterList)
};

// Registers the parameter classes, their published properties and the
// list's describing class (the model's registration calls it).
void ppRegisterParameterUnit();
