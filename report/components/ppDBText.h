// Data-aware texts: TppDBText prints a field of its pipeline through the
// DisplayFormat, optionally leaving out a value that repeats; TppDBCalc
// counts, sums, averages or takes the minimum or maximum of a field over
// the records of a span, with the variables' look-ahead scheme.
#pragma once
#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "report/components/ppVar.h"

class TppDBText : public TppCustomText {
  CLS_DECLARE_CLASS(TppDBText, TppCustomText)
 public:
  // Popup items BlankWhenZero, DisplayFormat, ReprintOnSubsequent,
  // ResetGroup, SuppressRepeatedValues.
  void CreatePopupMenu(TppPopupMenu*& menu) override;
  explicit TppDBText(cls::TComponent* owner);

  bool BlankWhenZero() const { return blankWhenZero_; }
  void SetBlankWhenZero(bool value);
  bool SuppressRepeatedValues() const { return suppressRepeatedValues_; }
  void SetSuppressRepeatedValues(bool value);
  bool ReprintOnSubsequent() const { return reprintOnSubsequent_; }
  void SetReprintOnSubsequent(bool value);
  TppFormatEvent OnFormat;

  bool Repeated() const { return repeated_; }
  bool Printed() const { return printed_; }
  // The last text seen and the cache page it was taken on (-1 when none).
  const std::string& LastText() const { return lastText_; }
  int32_t LastPage() const { return lastPage_; }
  // The field's value now; null without data.
  cls::Variant FieldValue();

  // Data only for a field the pipeline has.
  bool IsDataAvailable() override;
  bool IsDataAware() override { return true; }
  std::string GetDisplayText() override;
  void GetDescription(std::string& text) override;
  void SetDisplayFormat(const std::string& value) override;
  void SetDataField(const std::string& value) override;
  void InitGeneration() override;
  void Reset() override;
  void EventNotify(TppCommunicator* sender, int eventId, TraParamList* params) override;
  void DecidePrinting() override;
  // The cache record, and beside it the last text as the page left it: a
  // page made again compares its first value with the one carried over.
  void SaveToCache(int32_t pageIndex) override;
  void RestoreFromCache(int32_t pageIndex) override;
  void ResetCache(int32_t pageIndex) override;

 protected:
  // Each record: CheckRepeat, then the first-after-reset flag clears.
  virtual void Traversal();
  // The generation state in a cache record of CacheRecordSize bytes.
  virtual void WriteState(uint8_t* record);
  virtual void ReadState(const uint8_t* record);
  void CheckRepeat();
  // At each page's start, after the cache is restored: a value seen before
  // may print again on this page only with ReprintOnSubsequent.
  void PageStarted();
  int32_t CurrentCachePage();
  void RefreshCaption();

 private:
  bool blankWhenZero_ = false;
  bool suppressRepeatedValues_ = false;
  bool reprintOnSubsequent_ = false;
  std::string lastText_;
  std::string currentText_;
  int32_t lastPage_ = -1;
  bool repeated_ = false;
  bool printed_ = false;
  bool firstAfterReset_ = true;
  std::vector<std::string> pageLastTexts_;
};

class TppDBCalc : public TppDBText {
  CLS_DECLARE_CLASS(TppDBCalc, TppDBText)
 public:
  // Popup items Calculations (the registered DB calc dialog), LookAhead.
  void CreatePopupMenu(TppPopupMenu*& menu) override;
  explicit TppDBCalc(cls::TComponent* owner);
  void BeforeDestruction() override;

  TppDBCalcType DBCalcType() const { return dbCalcType_; }
  void SetDBCalcType(TppDBCalcType value);
  bool LookAhead() const { return lookAhead_; }
  void SetLookAhead(bool value);
  cls::TNotifyEvent OnCalc;
  cls::TNotifyEvent OnGroupBreak;

  double Value() const { return value_; }
  void SetValue(double value);
  double Count() const { return count_; }
  void SetCount(double value);
  // Value and Count 0; the next value is the first of a span.
  void Clear();
  // The result: the value, or for an average value / count (0 without records).
  double Result() const;
  TppLookAheadList* LookAheadList() const { return lookAheadList_.get(); }

  std::string GetDisplayText() override;
  void SetBand(TppCustomBand* band) override;
  void InitGeneration() override;
  void Reset() override;
  void PropertiesToDrawCommand(TppDrawCommand* command) override;
  void EventNotify(TppCommunicator* sender, int eventId, TraParamList* params) override;
  // The DB text's state, Value, Count and the first-value flag; saving
  // sets the cache-saved flag, which a reset in a footer spends.
  void SaveToCache(int32_t pageIndex) override;
  bool CacheSaved() const { return cacheSaved_; }
  // The key of the current span.
  std::string LookAheadKey();

 protected:
  void Traversal() override;
  void WriteState(uint8_t* record) override;
  void ReadState(const uint8_t* record) override;

 private:
  TppDataType ResultType();
  bool LookAheadActive() const;
  int32_t CurrentTraversalCount();

  TppDBCalcType dbCalcType_ = dcSum;
  bool lookAhead_ = false;
  double value_ = 0;
  double count_ = 0;
  bool firstValue_ = true;
  bool cacheSaved_ = false;
  std::unique_ptr<TppLookAheadList> lookAheadList_;
  int32_t ownCalcCount_ = 0;
};

// ---- scripting ----

class TraTppDBTextRTTI : public TraTppCustomTextRTTI {
  RA_DECLARE_RTTI(TraTppDBTextRTTI, TraTppCustomTextRTTI, TppDBText)
};

class TraTppDBCalcRTTI : public TraTppDBTextRTTI {
  RA_DECLARE_RTTI(TraTppDBCalcRTTI, TraTppDBTextRTTI, TppDBCalc)
};

// The value of a field as a number for the calculations: numbers,
// currency, dates and Booleans convert; text reads as a number or is 0;
// null is 0 (NULLVALUE tells it).
double ppFieldValueAsDouble(const cls::Variant& value, bool& nullValue);

void ppRegisterDBTextUnit();
