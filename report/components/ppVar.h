// Texts whose value the report computes: system variables (dates, page
// numbers and counts), the older calc component, and variables whose typed
// value OnCalc changes at one kind of event and OnReset clears at another.
// A variable with LookAhead prints the last value of its reset span: the
// first pass records it in a look-ahead list, whose entries and the first
// pass's draw commands hear later values through event 67.
#pragma once
#include <cstdint>
#include <string>

#include "platform/classes/variants.h"
#include "report/components/ppCtrls.h"

class TppCustomEngine;
class TppDataPipeline;
class TppDrawCommand;
class TppDrawVariable;

// OnFormat (Sender, DisplayFormat, DataType, Value, var Text).
using TppFormatEvent = cls::TMethodPointer<void(cls::TObject* Sender, const std::string& DisplayFormat,
                                                TppDataType DataType, const cls::Variant& Value, std::string& Text)>;
// OnCalc / OnReset of a variable (Sender, var Value).
using TppVarCalcEvent = cls::TMethodPointer<void(cls::TObject* Sender, cls::Variant& Value)>;

// The look-ahead values of one variable or DB calc: one entry per span key,
// each a draw command holding the span's latest text.
class TppLookAheadList {
 public:
  explicit TppLookAheadList(TppCommunicator* owner) : owner_(owner) {}
  ~TppLookAheadList();
  TppLookAheadList(const TppLookAheadList&) = delete;
  TppLookAheadList& operator=(const TppLookAheadList&) = delete;

  // A value of the span KEY at TRAVERSALCOUNT. A known key: the owner
  // broadcasts event 67 (the entry and listening commands take a later
  // count); a new key: a new entry, and the broadcast too.
  void Update(const std::string& key, int32_t traversalCount, const std::string& text);
  // The entry of KEY (nullptr when none); the listeners of entries passed
  // on the way stop listening, their spans being closed.
  TppDrawVariable* Lookup(const std::string& key);
  // Every entry stops listening (end of generation).
  void UnsubscribeAll();
  // Fills COMMAND (a variable command) for the span KEY: the span's value
  // when known, and on the first pass the look-ahead marks, with the owner
  // passing the span's later values on to it. A command made before its
  // span has a value starts at count -1, so any value of the span wins.
  void PrepareCommand(const std::string& key, TppDrawCommand* command, bool firstPass);
  int Count() const { return static_cast<int>(entries_.size()); }

 private:
  TppCommunicator* owner_;
  std::vector<TppDrawVariable*> entries_;
};

// A look-ahead key: the span's position and column, as text.
std::string ppLookAheadKey(int32_t position, int32_t column);

// Broadcasts event 67 from SENDER with the key, the count and the text.
void ppSendLookAheadChange(TppCommunicator* sender, const std::string& key, int32_t traversalCount,
                           const std::string& text);

class TppCustomVariable : public TppCustomText {
  CLS_DECLARE_CLASS(TppCustomVariable, TppCustomText)
 public:
  explicit TppCustomVariable(cls::TComponent* owner);
  // The type of the value shown.
  virtual TppDataType GetDataType() const { return dtString; }
  virtual void ToggleLookAhead() {}
  void PropertiesToDrawCommand(TppDrawCommand* command) override;

 protected:
  // Formats VALUE by the DisplayFormat (empty with HANDLER), then HANDLER.
  std::string FormatValue(const TppFormatEvent& handler, TppDataType type, const cls::Variant& value);
};

class TppSystemVariable : public TppCustomVariable {
  CLS_DECLARE_CLASS(TppSystemVariable, TppCustomVariable)
 public:
  explicit TppSystemVariable(cls::TComponent* owner);

  TppVarType VarType() const { return varType_; }
  // The page sets make the main report two-pass.
  void SetVarType(TppVarType value);
  TppFormatEvent OnFormat;

  TppDataType GetDataType() const override;
  // The value of the VarType now (page values from the printing report).
  cls::Variant Value();
  std::string GetDisplayText() override;
  void SetDisplayFormat(const std::string& value) override;
  void PropertiesToDrawCommand(TppDrawCommand* command) override;
  void GetDescription(std::string& text) override;

 private:
  void RefreshCaption();
  TppVarType varType_ = vtDate;
};

class TppCalc : public TppCustomVariable {
  CLS_DECLARE_CLASS(TppCalc, TppCustomVariable)
 public:
  explicit TppCalc(cls::TComponent* owner);

  TppCalcType CalcType() const { return calcType_; }
  void SetCalcType(TppCalcType value);
  TppDataType CustomType() const { return customType_; }
  // Only for ctCustom (or while loading).
  void SetCustomType(TppDataType value);
  // ctCustom only: a string value.
  void SetText(const std::string& value) override;
  // The custom value the OnCalc handler sets.
  cls::Variant& CustomValue() { return customValue_; }
  cls::TNotifyEvent OnCalc;
  TppFormatEvent OnFormat;

  TppDataType GetDataType() const override { return dataType_; }
  cls::Variant Value();
  std::string GetDisplayText() override;
  void PropertiesToDrawCommand(TppDrawCommand* command) override;
  void GetDescription(std::string& text) override;
  void InitGeneration() override;
  void EventNotify(TppCommunicator* sender, int eventId, TraParamList* params) override;
  void SaveToCache(int32_t pageIndex) override;
  void RestoreFromCache(int32_t pageIndex) override;
  void Convert(int64_t version) override;
  void DefineProperties(cls::TFiler* filer) override;

 private:
  void ClearCustomValue();
  void UpdateDataType();
  TppCalcType calcType_ = TppCalcType::ctDate;
  TppDataType customType_ = dtString;
  TppDataType dataType_ = dtDate;
  cls::Variant customValue_;
};

class TppVariable : public TppCustomVariable {
  CLS_DECLARE_CLASS(TppVariable, TppCustomVariable)
 public:
  explicit TppVariable(cls::TComponent* owner);
  void BeforeDestruction() override;

  // ---- published ----
  TppVarEventType CalcType() const { return calcType_; }
  void SetCalcType(TppVarEventType value);
  TppVarEventType ResetType() const { return resetType_; }
  void SetResetType(TppVarEventType value);
  TppCommunicator* CalcComponent() const { return calcComponent_; }
  void SetCalcComponent(TppCommunicator* value);
  TppCommunicator* ResetComponent() const { return resetComponent_; }
  void SetResetComponent(TppCommunicator* value);
  TppDataType DataType() const { return dataType_; }
  // dtBoolean through dtString only; others leave the type.
  void SetDataType(TppDataType value);
  bool LookAhead() const { return lookAhead_; }
  void SetLookAhead(bool value);
  TppVarCalcEvent OnCalc;
  cls::TNotifyEvent OldOnCalc;
  TppFormatEvent OnFormat;
  TppVarCalcEvent OnReset;

  // ---- the value, each setter also setting DataType ----
  const cls::Variant& Value() const { return value_; }
  void SetValue(const cls::Variant& value);
  bool AsBoolean() const;
  void SetAsBoolean(bool v);
  char AsChar() const;
  void SetAsChar(char v);
  cls::Currency AsCurrency() const;
  void SetAsCurrency(cls::Currency v);
  double AsDate() const { return AsDateTime(); }
  void SetAsDate(double v);
  double AsDateTime() const;
  void SetAsDateTime(double v);
  double AsTime() const { return AsDateTime(); }
  void SetAsTime(double v);
  double AsDouble() const;
  void SetAsDouble(double v);
  long double AsExtended() const { return AsDouble(); }
  void SetAsExtended(long double v);
  int32_t AsInteger() const;
  void SetAsInteger(int32_t v);
  float AsSingle() const { return static_cast<float>(AsDouble()); }
  void SetAsSingle(float v);
  std::string AsString() const;
  void SetAsString(const std::string& v);

  // Run by the events (public for the report's own calls and tests).
  void Calc();
  void Reset() override;
  // The look-ahead list while look-ahead is active (else nullptr).
  TppLookAheadList* LookAheadList() const { return lookAheadList_.get(); }

  TppDataType GetDataType() const override { return dataType_; }
  std::string GetDisplayText() override;
  void PropertiesToDrawCommand(TppDrawCommand* command) override;
  void InitGeneration() override;
  void EventNotify(TppCommunicator* sender, int eventId, TraParamList* params) override;
  void Notify(TppCommunicator* communicator, uint8_t operation) override;
  void GetEventNotifySortKey(std::string& key) override;
  void SetUserName(const std::string& name) override;
  void ToggleLookAhead() override { SetLookAhead(!lookAhead_); }
  void SaveToCache(int32_t pageIndex) override;
  void RestoreFromCache(int32_t pageIndex) override;

 private:
  void UpdateEventMask();
  // Value cleared for the data type (date-times now).
  void ClearValue();
  // Converts V to the data type; an unknown type gives empty.
  cls::Variant Coerce(const cls::Variant& v) const;
  void CacheStep(TppVarEventType type);
  bool LookAheadActive() const;
  std::string LookAheadKey();
  int32_t CurrentTraversalCount();
  void EndLookAhead();

  TppVarEventType calcType_ = veTraversal;
  TppVarEventType resetType_ = veReportEnd;
  TppCommunicator* calcComponent_ = nullptr;
  TppCommunicator* resetComponent_ = nullptr;
  TppDataType dataType_ = dtString;
  bool lookAhead_ = false;
  bool cacheSaved_ = false;
  cls::Variant value_;
  std::unique_ptr<TppLookAheadList> lookAheadList_;
  // Without a pipeline's traversal count: the first-pass calcs counted.
  int32_t ownCalcCount_ = 0;
};

// The texts of the message ids the message table lacks (VarType names,
// popup items).
std::string ppVarTypeName(TppVarType type);

void ppRegisterVarUnit();
