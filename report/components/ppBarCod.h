// The bar-code component: it keeps the settings of a symbol, refuses
// settings that do not go together (with a message box, outside loading,
// reading and printing), checks its data for the symbology, sizes itself
// through a measuring draw command and hands everything to a
// TppDrawBarCode, which encodes and paints the bars on every device.
#pragma once
#include <cstdint>
#include <string>

#include "platform/classes/classes.h"
#include "report/components/ppCtrls.h"

class TppDrawBarCode;

class TppCustomBarCode : public TppCustomComponent {
  CLS_DECLARE_CLASS(TppCustomBarCode, TppCustomComponent)
 public:
  // Popup items; Configure shows the registered bar-code dialog.
  void CreatePopupMenu(TppPopupMenu*& menu) override;
  explicit TppCustomBarCode(cls::TComponent* owner);
  void BeforeDestruction() override;

  // ---- published ----
  const std::string& AddOnCode() const { return addOnCode_; }
  void SetAddOnCode(const std::string& value);
  bool AutoEncode() const { return autoEncode_; }
  void SetAutoEncode(bool value);
  bool AutoSizeFont() const { return autoSizeFont_; }
  void SetAutoSizeFont(bool value);
  TppBarCodeType BarCodeType() const { return barCodeType_; }
  void SetBarCodeType(TppBarCodeType value);
  gdi::TColor BarColor() const { return barColor_; }
  void SetBarColor(gdi::TColor value);
  // The narrow bar in Units (horizontal); stored in thousandths of a mm.
  float BarWidth() const;
  void SetBarWidth(float value);
  int32_t mmBarWidth() const { return mmBarWidth_; }
  bool BearerBars() const { return bearerBars_; }
  void SetBearerBars(bool value);
  bool CalcCheckDigit() const { return calcCheckDigit_; }
  void SetCalcCheckDigit(bool value);
  TppBarCodeOrientation Orientation() const { return orientation_; }
  void SetOrientation(TppBarCodeOrientation value);
  bool PrintHumanReadable() const { return printHumanReadable_; }
  void SetPrintHumanReadable(bool value);
  // The wide-to-narrow ratio, held as a length in inches (r x 25400).
  float WideBarRatio() const;
  void SetWideBarRatio(float value);
  int32_t mmWideBarRatio() const { return mmWideBarRatio_; }

  // The data printed (the data-aware class reads its field).
  virtual std::string Data();
  void SetData(const std::string& value);
  // The current data suits the type.
  bool CodeOK() const { return codeOK_; }

  // Settings changed under the lock size the component once, at the end.
  void BeginUpdate();
  void EndUpdate();
  int UpdateCount() const { return updateCount_; }

  // Whether DATA suits the type and check-digit setting; a failed rule
  // shows its message (outside loading, reading and printing).
  bool ValidateData(const std::string& data);
  // The data a new symbol of TYPE shows.
  static std::string SampleData(TppBarCodeType type, bool calcCheckDigit, bool dataAware);

  // ---- overrides ----
  void AdjustBounds() override;
  void SetAutoSize(bool value) override;
  void FontChanged() override;
  // Every setting, the data and the bounds from the print rectangle, then
  // the symbol's extent on the component's printer (CalcSize).
  void PropertiesToDrawCommand(TppDrawCommand* command) override;
  void DefineProperties(cls::TFiler* filer) override;

  // Stream access that skips the setters' checks.
  void ReadBarCodeType(int64_t value);

 protected:
  // The stored data.
  const std::string& StoredData() const { return data_; }
  void StoreData(const std::string& value) { data_ = value; }

 private:
  bool LoadingOrReading() const { return HasState(cls::csLoading) || HasState(cls::csReading); }
  // Shows message ID unless loading, reading or printing.
  void Refuse(int id);
  void Refuse(const std::string& text);
  bool Validate(const std::string& data, bool show);
  void SettingChanged();

  std::string addOnCode_;
  bool autoEncode_ = false;
  bool autoSizeFont_ = true;
  TppBarCodeType barCodeType_ = bcCode39;
  gdi::TColor barColor_ = gdi::clBlack;
  int32_t mmBarWidth_ = 254;
  bool bearerBars_ = false;
  bool calcCheckDigit_ = true;
  std::string data_;
  TppBarCodeOrientation orientation_ = orLeftToRight;
  bool printHumanReadable_ = true;
  int32_t mmWideBarRatio_ = 76200;
  bool codeOK_ = true;
  int32_t updateCount_ = 0;
  bool constructing_ = true;
  cls::Owned<TppDrawBarCode> measure_;
};

class TppBarCode : public TppCustomBarCode {
  CLS_DECLARE_CLASS(TppBarCode, TppCustomBarCode)
 public:
  explicit TppBarCode(cls::TComponent* owner);
};

class TppDBBarCode : public TppCustomBarCode {
  CLS_DECLARE_CLASS(TppDBBarCode, TppCustomBarCode)
 public:
  explicit TppDBBarCode(cls::TComponent* owner);
  // Without data: empty while printing, else the type's sample data. With
  // data: the field's value as text.
  std::string Data() override;
  bool IsDataAware() override { return true; }
  void SetDataField(const std::string& value) override;
  void SetDataPipeline(TppDataPipeline* value) override;

 private:
  void CopyFieldValue();
};

void ppRegisterBarCodeUnit();

// ---- scripting ----

class TraTppBarCodeRTTI : public TraTppComponentRTTI {
  RA_DECLARE_RTTI(TraTppBarCodeRTTI, TraTppComponentRTTI, TppCustomBarCode)
};
