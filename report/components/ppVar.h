// Texts whose value the report computes: system variables (dates, page
// numbers and counts), the older calc component, and variables whose typed
// value OnCalc changes at one kind of event and OnReset clears at another.
// A variable with LookAhead prints the last value of its reset span: the
// first pass records it in a look-ahead list, whose entries and the first
// pass's draw commands hear later values through event 67.
#pragma once
#include <cstdint>
#include <map>
#include <string>

#include "platform/classes/variants.h"
#include "report/components/ppCtrls.h"

class TppCustomEngine;
class TppCustomReport;
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
  // The entry of KEY without closing any span (nullptr when none).
  TppDrawVariable* Find(const std::string& key) const;
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

// A look-ahead key of REPORT: the child-report prefix, then the span's
// position and column ("%8d|%8d").
std::string ppLookAheadKey(TppCustomReport* report, int32_t position, int32_t column);
// The key prefix of a child report: for each report it sits in, outermost
// first, that report's current record ("%8d|"); empty for a main report.
std::string ppLookAheadKeyPrefix(TppCustomReport* report);
// The pipeline whose traversal count orders look-ahead values: PREFERRED,
// else the detail band's pipeline of REPORT, else the report's (nullptr
// when none).
TppDataPipeline* ppLookAheadPipeline(TppCustomReport* report, TppDataPipeline* preferred);

// Broadcasts event 67 from SENDER with the key, the count and the text.
void ppSendLookAheadChange(TppCommunicator* sender, const std::string& key, int32_t traversalCount,
                           const std::string& text);

// Cache records have one size for every page, texts have not: a text
// value stays whole here under its page, its record marking it.
class TppCachedTexts {
 public:
  // The bytes a value takes in a record: its kind, then 8 bytes.
  static constexpr int32_t kValueSize = 9;
  void Write(int32_t pageIndex, const cls::Variant& value, uint8_t* at);
  cls::Variant Read(int32_t pageIndex, const uint8_t* at) const;
  // The texts of PAGEINDEX and later go (their records are cut).
  void DropFrom(int32_t pageIndex);

 private:
  std::map<int32_t, std::string> texts_;
};

class TppCustomVariable : public TppCustomText {
  CLS_DECLARE_CLASS(TppCustomVariable, TppCustomText)
 public:
  // Popup items DisplayFormat (the registered format dialog) and
  // LookAhead (ToggleLookAhead).
  void CreatePopupMenu(TppPopupMenu*& menu) override;
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
  // Popup items choosing VarType, the current one ticked.
  void CreatePopupMenu(TppPopupMenu*& menu) override;
  void UpdatePopupMenu(TppPopupMenu* menu) override;
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
  // DrawComponent, the custom type and value.
  void SaveToCache(int32_t pageIndex) override;
  void RestoreFromCache(int32_t pageIndex) override;
  void ResetCache(int32_t pageIndex) override;
  // Before 3999 the calculation is replaced, once the work queued for the
  // main thread runs (after the read), by a system variable of the same
  // kind, or a custom one by a variable, with the same place, size, font,
  // alignment, format and settings.
  void Convert(int64_t version) override;
  void BeforeDestruction() override;
  void ReplaceByVariable();
  void DefineProperties(cls::TFiler* filer) override;

 private:
  void ClearCustomValue();
  void UpdateDataType();
  TppCalcType calcType_ = TppCalcType::ctDate;
  TppDataType customType_ = dtString;
  TppDataType dataType_ = dtDate;
  cls::Variant customValue_;
  TppCachedTexts cachedTexts_;
};

class TppVariable : public TppCustomVariable {
  CLS_DECLARE_CLASS(TppVariable, TppCustomVariable)
 public:
  // Popup item Calculations (the registered calculations dialog).
  void CreatePopupMenu(TppPopupMenu*& menu) override;
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
  // The place among the band's variables, which notify in this order
  // (-1 without a band); a new place is bounded to the list.
  int32_t CalcOrder() const;
  void SetCalcOrder(int32_t value);
  void MoveToCalcOrder(int32_t order);
  bool LookAhead() const { return lookAhead_; }
  void SetLookAhead(bool value);
  TppVarCalcEvent OnCalc;
  cls::TNotifyEvent OldOnCalc;
  TppFormatEvent OnFormat;
  TppVarCalcEvent OnReset;

  // ---- the value, each setter also setting DataType ----
  const cls::Variant& Value() const { return value_; }
  // Converted to the DataType; EConvertError (nothing changed) when it
  // cannot be.
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
  // CalcDataPipelineName and ResetDataPipelineName: a pipeline chosen as a
  // calc or reset component is named, not referenced; a name read takes
  // the listed pipeline of that name when no component is set.
  void DefineProperties(cls::TFiler* filer) override;
  void ResolveDataPipeline(const std::vector<TppDataPipeline*>& list) override;
  // Whether the stream names the component of event kind TYPE: only the
  // kinds that keep the user's component do.
  static bool KeepsComponent(TppVarEventType type);
  // DrawComponent, ReprintOnOverFlow, DataType and the value; saving sets
  // the cache-saved flag, which a page-end or column-end event then spends
  // saving the value after it.
  void SaveToCache(int32_t pageIndex) override;
  void RestoreFromCache(int32_t pageIndex) override;
  void ResetCache(int32_t pageIndex) override;
  bool CacheSaved() const { return cacheSaved_; }
  std::string LookAheadKey();

 private:
  void WriteState(int32_t pageIndex);
  void UpdateEventMask();
  // Value cleared for the data type (date-times now).
  void ClearValue();
  // V in the data type; EConvertError (or a variant error) when it cannot
  // be; an unknown type gives empty.
  cls::Variant ConvertValue(const cls::Variant& v) const;
  // The same, a failure giving empty.
  cls::Variant Coerce(const cls::Variant& v) const;
  void CacheStep(TppVarEventType type);
  bool LookAheadActive() const;
  int32_t CurrentTraversalCount();
  void EndLookAhead();

  TppVarEventType calcType_ = veTraversal;
  TppVarEventType resetType_ = veReportEnd;
  TppCommunicator* calcComponent_ = nullptr;
  TppCommunicator* resetComponent_ = nullptr;
  // Pipeline names read (or not yet resolved), written back as read.
  std::string calcPipelineName_, resetPipelineName_;
  TppDataType dataType_ = dtString;
  bool lookAhead_ = false;
  bool cacheSaved_ = false;
  cls::Variant value_;
  std::unique_ptr<TppLookAheadList> lookAheadList_;
  // Without a pipeline's traversal count: the first-pass calcs counted.
  int32_t ownCalcCount_ = 0;
  TppCachedTexts cachedTexts_;
};

// ---- scripting ----

class TraTppVariableRTTI : public TraTppCustomTextRTTI {
  RA_DECLARE_RTTI(TraTppVariableRTTI, TraTppCustomTextRTTI, TppVariable)
};

class TraTppSystemVariableRTTI : public TraTppCustomTextRTTI {
  RA_DECLARE_RTTI(TraTppSystemVariableRTTI, TraTppCustomTextRTTI, TppSystemVariable)
};

// The texts of the message ids the message table lacks (VarType names,
// popup items).
std::string ppVarTypeName(TppVarType type);

void ppRegisterVarUnit();
