#include "report/model/ppForms.h"
#include "report/components/ppBarCod.h"

#include <algorithm>
#include <cctype>
#include <cfloat>
#include <cmath>

#include "platform/ui/dialogs.h"
#include "report/engine/ppDB.h"
#include "report/model/ppResMgr.h"
#include "report/output/ppDrwCmd.h"
#include "report/output/ppDrwCmdProps.h"
#include "report/output/ppPrintr.h"

CLS_IMPLEMENT_CLASS(TppCustomBarCode)
CLS_IMPLEMENT_COMPONENT(TppBarCode)
CLS_IMPLEMENT_COMPONENT(TppDBBarCode)

namespace {

bool IsUpcEan(TppBarCodeType t) { return t <= bcEAN_8; }

int32_t InchesToMM(float inches) { return ConvertToMMThousandths(inches, utInches); }

bool AllDigits(const std::string& s) {
  return std::all_of(s.begin(), s.end(), [](char c) { return c >= '0' && c <= '9'; });
}

bool InCode39Set(char c) {
  return c == ' ' || c == '$' || c == '%' || c == '+' || c == '-' || c == '.' || c == '/' || (c >= '0' && c <= '9') ||
         (c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z');
}

bool IsCodabarStartStop(char c) { return (c >= 'A' && c <= 'D') || (c >= 'a' && c <= 'd'); }

bool InCodabarSet(char c) {
  return c == '$' || c == '+' || c == '-' || c == '.' || c == '/' || c == ':' || (c >= '0' && c <= '9') ||
         IsCodabarStartStop(c);
}

// The length and check-digit rules of the UPC/EAN types: SHORT digits only
// with CalcCheckDigit, LONG always; messages for the length, the short
// form without check digit, and digits.
int LengthDigitsRule(const std::string& data, bool calc, size_t shortLen, int lengthMsg, int calcMsg, int digitMsg) {
  if (data.size() != shortLen && data.size() != shortLen + 1) return lengthMsg;
  if (data.size() == shortLen && !calc) return calcMsg;
  if (!AllDigits(data)) return digitMsg;
  return 0;
}

}  // namespace

// ---------------------------------------------------------------- TppCustomBarCode

TppCustomBarCode::TppCustomBarCode(cls::TComponent* owner) : TppCustomComponent(owner) {
  Font()->SetName("Courier New");
  SetmmWidth(InchesToMM(1.53f));
  SetmmHeight(InchesToMM(0.5083f));
  SetAutoSize(true);
  SetDrawCommandClass(&TppDrawBarCode::StaticClass());
  constructing_ = false;
}

void TppCustomBarCode::BeforeDestruction() {
  measure_.reset();
  TppCustomComponent::BeforeDestruction();
}

// ---- refusals and validation ----

void TppCustomBarCode::Refuse(const std::string& text) {
  if (LoadingOrReading() || IsPrinting()) return;
  ui::MessageDlg(text, ui::TMsgDlgType::mtInformation, ui::mbOK);
}

void TppCustomBarCode::Refuse(int id) { Refuse(LoadLanguageString(id)); }

bool TppCustomBarCode::ValidateData(const std::string& data) { return Validate(data, true); }

bool TppCustomBarCode::Validate(const std::string& data, bool show) {
  if (data.empty()) return false;
  int message = 0;
  std::string text;
  switch (barCodeType_) {
    case bcUPC_A: message = LengthDigitsRule(data, calcCheckDigit_, 11, 438, 439, 440); break;
    case bcUPC_E: message = LengthDigitsRule(data, calcCheckDigit_, 6, 648, 649, 650); break;
    case bcEAN_13: message = LengthDigitsRule(data, calcCheckDigit_, 12, 431, 432, 433); break;
    case bcEAN_8: message = LengthDigitsRule(data, calcCheckDigit_, 7, 645, 646, 647); break;
    case bcInt2of5:
      if (!AllDigits(data)) message = 434;
      else if (data.size() % 2 == 1 && !calcCheckDigit_) message = 435;
      break;
    case bcCode128: {
      // The encoder's own verdict: data it would refuse to print.
      ppBarCode::TppBarCodeData probe;
      probe.BarCodeType = bcCode128;
      probe.Data = data;
      probe.AutoEncode = autoEncode_;
      std::string modules;
      if (ppBarCode::EncodeCode128(probe, modules, message)) break;
      if (!message) return false;
      text = FormatLanguageString(message, {cls::TVarRec(probe.MessageArg)});
      message = 0;
      break;
    }
    case bcCode39: {
      auto ends = [](char c) { return c == '*' || InCode39Set(c); };
      bool ok = ends(data.front()) && ends(data.back());
      for (size_t i = 1; ok && i + 1 < data.size(); ++i) ok = InCode39Set(data[i]);
      if (!ok) message = 430;
      break;
    }
    case bcPostnet:
      if (!std::all_of(data.begin(), data.end(), [](char c) { return c == '-' || (c >= '0' && c <= '9'); }))
        message = 436;
      break;
    case bcFIM: {
      char c = static_cast<char>(std::toupper(static_cast<unsigned char>(data[0])));
      if (data.size() != 1 || (c != 'A' && c != 'B' && c != 'C')) message = 651;
      break;
    }
    case bcCodabar:
      if (!std::all_of(data.begin(), data.end(), InCodabarSet)) {
        message = 652;
      } else if (!IsCodabarStartStop(data.front()) || !IsCodabarStartStop(data.back())) {
        message = 653;
      } else if (data.size() > 2 && std::any_of(data.begin() + 1, data.end() - 1, IsCodabarStartStop)) {
        text = LoadLanguageString(654) + " " + LoadLanguageString(655);
      }
      break;
    case bcMSI:
      if (!AllDigits(data)) text = "MSI Barcodes must be numeric";
      break;
    default:
      return false;  // a type from a stream that no symbology has
  }
  if (message) text = LoadLanguageString(message);
  if (text.empty()) return true;
  if (show) Refuse(text);
  return false;
}

std::string TppCustomBarCode::SampleData(TppBarCodeType type, bool calc, bool dataAware) {
  switch (type) {
    case bcUPC_A: return calc ? "01234567890" : "012345678905";
    case bcUPC_E: return calc ? "012345" : "0123456";
    case bcEAN_13: return "0012345678905";
    case bcEAN_8: return "20123451";
    case bcInt2of5: return calc ? "0123456789" : "01234567";
    case bcCode128: return std::string("\xD2") + "1234" + "\xCD" + " abcd";  // START C ... CODE B ...
    case bcCode39: return dataAware ? "DBBarCode" : "BarCode";
    case bcPostnet: return "012345678";
    case bcFIM: return "A";
    case bcCodabar: return "A01234B";
    case bcMSI: return "0139725";
  }
  return std::string();
}

// ---- update lock ----

void TppCustomBarCode::BeginUpdate() { ++updateCount_; }

void TppCustomBarCode::EndUpdate() {
  if (updateCount_ > 0) --updateCount_;
  if (updateCount_ != 0) return;
  if (AutoSize()) AdjustBounds();
  else InvalidateDesignControl();
}

void TppCustomBarCode::SettingChanged() {
  AdjustBounds();
  InvalidateDesign();
}

// ---- setters ----

std::string TppCustomBarCode::Data() { return data_; }

void TppCustomBarCode::SetData(const std::string& value) {
  if (value == data_) return;
  data_ = value;
  if (LoadingOrReading()) return;
  codeOK_ = ValidateData(Data());
  AdjustBounds();
  if (!IsDataAware()) InvalidateDesign();
}

void TppCustomBarCode::SetBarCodeType(TppBarCodeType value) {
  if (value == barCodeType_) return;
  BeginUpdate();
  barCodeType_ = value;
  if (!LoadingOrReading()) {
    data_ = SampleData(value, calcCheckDigit_, IsDataAware());
    codeOK_ = true;
    if (value == bcPostnet || value == bcFIM) {
      SetAutoSize(true);
      printHumanReadable_ = false;
    }
    if (IsUpcEan(value)) autoSizeFont_ = true;
    if (value == bcCode128) SetAutoEncode(true);
    float inches = 0.01f;
    switch (value) {
      case bcUPC_A: case bcUPC_E: case bcEAN_13: case bcEAN_8: inches = 0.013f; break;
      case bcInt2of5: inches = 0.015f; break;
      case bcPostnet: inches = 0.02f; break;
      case bcFIM: inches = 0.031f; break;
      default: break;
    }
    mmBarWidth_ = InchesToMM(inches);
  }
  AdjustBounds();
  InvalidateDesign();
  EndUpdate();
}

void TppCustomBarCode::ReadBarCodeType(int64_t value) {
  // A byte from a stream: a type no symbology has draws no bars.
  if (value >= 0 && value <= 255) barCodeType_ = static_cast<TppBarCodeType>(value);
}

void TppCustomBarCode::SetAddOnCode(const std::string& value) {
  if (value == addOnCode_) return;
  // A stream may give the add-on code before the type.
  if (!value.empty() && barCodeType_ >= bcInt2of5 && !LoadingOrReading()) return Refuse(423);
  if (value.size() != 0 && value.size() != 2 && value.size() != 5) return Refuse(424);
  addOnCode_ = value;
  SettingChanged();
}

void TppCustomBarCode::SetAutoEncode(bool value) {
  if (value == autoEncode_) return;
  if (!LoadingOrReading() && value && barCodeType_ != bcCode128) return;
  autoEncode_ = value;
  if (LoadingOrReading()) return;
  codeOK_ = Validate(Data(), false);
  SettingChanged();
}

void TppCustomBarCode::SetAutoSizeFont(bool value) {
  if (value == autoSizeFont_) return;
  if (!value && IsUpcEan(barCodeType_)) return Refuse(426);
  autoSizeFont_ = value;
  SettingChanged();
}

void TppCustomBarCode::SetAutoSize(bool value) {
  if (!value && (barCodeType_ == bcPostnet || barCodeType_ == bcFIM)) return Refuse(425);
  TppCustomComponent::SetAutoSize(value);
}

float TppCustomBarCode::BarWidth() const { return FromMMThousandths(mmBarWidth_, Units(), ppHorizontal); }

void TppCustomBarCode::SetBarWidth(float value) {
  int32_t mm = ToMMThousandths(value, Units(), ppHorizontal);
  if (mm == mmBarWidth_) return;
  if (HasState(cls::csLoading)) {
    mmBarWidth_ = mm;
    return;
  }
  // The limits converted as the value is, so that 0.004 inch itself passes.
  const int32_t least = ToMMThousandths(FromMMThousandths(InchesToMM(0.004f), Units(), ppHorizontal), Units(),
                                        ppHorizontal);
  const int32_t most = ToMMThousandths(FromMMThousandths(InchesToMM(0.1f), Units(), ppHorizontal), Units(),
                                       ppHorizontal);
  auto limitText = [this](float inches) {
    return cls::FloatToStrG(FromMMThousandths(InchesToMM(inches), Units(), ppHorizontal), 4);
  };
  if (mm < least) return Refuse(FormatLanguageString(427, {limitText(0.004f)}));
  if (mm > most) return Refuse(FormatLanguageString(428, {limitText(0.1f)}));
  mmBarWidth_ = mm;
  SettingChanged();
}

void TppCustomBarCode::SetBearerBars(bool value) {
  if (value == bearerBars_) return;
  if (value && barCodeType_ != bcInt2of5) return Refuse(429);
  bearerBars_ = value;
  SettingChanged();
}

void TppCustomBarCode::SetCalcCheckDigit(bool value) {
  if (value == calcCheckDigit_) return;
  calcCheckDigit_ = value;
  if (!LoadingOrReading()) codeOK_ = ValidateData(Data());
  SettingChanged();
}

void TppCustomBarCode::SetOrientation(TppBarCodeOrientation value) {
  orientation_ = value;
  InvalidateDesign();
  AdjustBounds();
}

void TppCustomBarCode::SetPrintHumanReadable(bool value) {
  printHumanReadable_ = value;
  InvalidateDesign();
  AdjustBounds();
}

float TppCustomBarCode::WideBarRatio() const { return ConvertFromMMThousandths(mmWideBarRatio_, utInches); }

void TppCustomBarCode::SetWideBarRatio(float value) {
  if (!(value > 0)) return;
  int32_t mm = InchesToMM(value);
  if (mm == mmWideBarRatio_) return;
  mmWideBarRatio_ = mm;
  SettingChanged();
}

void TppCustomBarCode::SetBarColor(gdi::TColor value) {
  barColor_ = value;
  if (Font()->Color() != value) Font()->SetColor(value);
}

void TppCustomBarCode::FontChanged() {
  if (Font()->Color() != barColor_) barColor_ = Font()->Color();
  TppCustomComponent::FontChanged();
}

// ---- sizing and drawing ----

void TppCustomBarCode::AdjustBounds() {
  if (constructing_ || LoadingOrReading() || updateCount_ > 0) return;
  if (AutoSize()) {
    if (!measure_) measure_.reset(new TppDrawBarCode(nullptr));
    TppRect saved = PrintRect();
    SetPrintRect(MakeRect(0, 0, mmWidth(), mmHeight()));
    PropertiesToDrawCommand(measure_.get());
    SetPrintRect(saved);
    // CalcSize gave the symbol's extent, exchanged for vertical symbols.
    if (measure_->CodeOK()) SetBounds(mmLeft(), mmTop(), measure_->Width(), measure_->Height());
  }
  InvalidateDesignControl();
}

void TppCustomBarCode::PropertiesToDrawCommand(TppDrawCommand* command) {
  TppCustomComponent::PropertiesToDrawCommand(command);
  auto* bar = cls::ObjectAs<TppDrawBarCode>(command);
  if (!bar) return;
  bar->SetAlignment(Alignment());
  bar->SetAddOnCode(addOnCode_);
  bar->SetAutoEncode(autoEncode_);
  bar->SetAutoSize(AutoSize());
  bar->SetAutoSizeFont(autoSizeFont_);
  bar->SetBarCodeType(barCodeType_);
  bar->SetBarColor(barColor_);
  bar->SetBarWidth(mmBarWidth_);
  bar->SetBearerBars(bearerBars_);
  bar->SetCalcCheckDigit(calcCheckDigit_);
  bar->SetColor(Color());
  std::string data = Data();
  bar->SetData(data);
  // The setters showed what is wrong; sizing and printing say it no more.
  bar->SetCodeOK(Validate(data, false));
  bar->SetFont(Font());
  bar->SetOrientation(orientation_);
  bar->SetPrintHumanReadable(printHumanReadable_);
  bar->SetTransparent(Transparent());
  bar->SetWideBarRatio(WideBarRatio());
  const TppRect& r = PrintRect();
  bar->SetLeft(r.Left);
  bar->SetTop(r.Top);
  bar->SetWidth(r.Right - r.Left);
  bar->SetHeight(r.Bottom - r.Top);
  bar->CalcSize(GetPrinter());
}

void TppCustomBarCode::DefineProperties(cls::TFiler* filer) {
  TppCustomComponent::DefineProperties(filer);
  filer->DefineProperty(
      "mmBarWidth", [this](cls::TReader& r) { mmBarWidth_ = static_cast<int32_t>(std::clamp<int64_t>(r.ReadInteger(), INT32_MIN, INT32_MAX)); },
      [this](cls::TWriter& w) { w.WriteInteger(mmBarWidth_); }, true);
  filer->DefineProperty(
      "mmWideBarRatio",
      [this](cls::TReader& r) { mmWideBarRatio_ = static_cast<int32_t>(std::clamp<int64_t>(r.ReadInteger(), INT32_MIN, INT32_MAX)); },
      [this](cls::TWriter& w) { w.WriteInteger(mmWideBarRatio_); }, true);
}

// ---------------------------------------------------------------- TppBarCode

TppBarCode::TppBarCode(cls::TComponent* owner) : TppCustomBarCode(owner) {
  StoreData("Barcode");
  SetDefaultPropName("Data");
}

// ---------------------------------------------------------------- TppDBBarCode

TppDBBarCode::TppDBBarCode(cls::TComponent* owner) : TppCustomBarCode(owner) {
  SetDefaultPropEditType(ppPropEditDataField);
  SetDefaultPropName("DataField");
}

std::string TppDBBarCode::Data() {
  if (!IsDataAvailable()) return IsPrinting() ? std::string() : SampleData(BarCodeType(), CalcCheckDigit(), true);
  return DataPipeline()->GetFieldAsString(DataField());
}

void TppDBBarCode::CopyFieldValue() {
  if (!IsPrinting() && IsDataAvailable()) StoreData(Data());
}

void TppDBBarCode::SetDataField(const std::string& value) {
  TppCustomBarCode::SetDataField(value);
  CopyFieldValue();
}

void TppDBBarCode::SetDataPipeline(TppDataPipeline* value) {
  TppCustomBarCode::SetDataPipeline(value);
  CopyFieldValue();
}

// ---------------------------------------------------------------- registration

void ppRegisterBarCodeUnit() {
  using namespace ppDrwCmdProps;
  using B = TppCustomBarCode;
  for (cls::TClassInfo* c : {&TppBarCode::StaticClass(), &TppDBBarCode::StaticClass()}) {
    cls::TClassInfo& info = *c;
    cls::PublishProperty(info, cls::StrProperty<B>("AddOnCode", &B::AddOnCode, &B::SetAddOnCode));
    TppPrintable::PublishProperties(info, {"Alignment"});
    cls::PublishProperty(info, Bool<B>("AutoEncode", &B::AutoEncode, &B::SetAutoEncode));
    cls::PublishProperty(info, ppAutoSizeProperty(true));
    cls::TPropInfo sizeFont = Bool<B>("AutoSizeFont", &B::AutoSizeFont, &B::SetAutoSizeFont);
    sizeFont.Default = 1;
    cls::PublishProperty(info, sizeFont);
    cls::TPropInfo type = Enum<B, TppBarCodeType>("BarCodeType", &B::BarCodeType, &B::SetBarCodeType, bcCode39);
    type.SetOrd = [](cls::TObject* o, int64_t v) {
      auto* b = static_cast<B*>(o);
      if (b->HasState(cls::csReading) || b->HasState(cls::csLoading)) b->ReadBarCodeType(v);
      else if (v >= 0 && v < cls::EnumCount<TppBarCodeType>()) b->SetBarCodeType(static_cast<TppBarCodeType>(v));
    };
    cls::PublishProperty(info, type);
    cls::TPropInfo barColor = cls::OrdProperty<B, gdi::TColor>("BarColor", cls::TypeInfoInteger(), &B::BarColor,
                                                              &B::SetBarColor);
    barColor.HasDefault = true;
    cls::PublishProperty(info, barColor);
    cls::TPropInfo width = cls::FloatProperty<B, float>("BarWidth", &B::BarWidth, &B::SetBarWidth);
    width.Stored = [](cls::TObject*) { return false; };  // streamed as mmBarWidth
    cls::PublishProperty(info, width);
    cls::PublishProperty(info, Bool<B>("BearerBars", &B::BearerBars, &B::SetBearerBars));
    cls::TPropInfo calc = Bool<B>("CalcCheckDigit", &B::CalcCheckDigit, &B::SetCalcCheckDigit);
    calc.Default = 1;
    cls::PublishProperty(info, calc);
    TppPrintable::PublishProperties(info, {"Color"});
    if (c == &TppBarCode::StaticClass()) {
      cls::TPropInfo data;
      data.Name = "Data";
      data.Type = cls::TypeInfoString();
      data.GetStr = [](cls::TObject* o) { return static_cast<B*>(o)->Data(); };
      data.SetStr = [](cls::TObject* o, const std::string& v) { static_cast<B*>(o)->SetData(v); };
      cls::PublishProperty(info, data);
    } else {
      TppPrintable::PublishProperties(info, {"DataField", "DataPipeline"});
    }
    TppPrintable::PublishProperties(info, {"Font", "OnDrawCommandClick", "OnDrawCommandCreate"});
    cls::PublishProperty(info, Enum<B, TppBarCodeOrientation>("Orientation", &B::Orientation, &B::SetOrientation,
                                                              orLeftToRight));
    cls::TPropInfo human = Bool<B>("PrintHumanReadable", &B::PrintHumanReadable, &B::SetPrintHumanReadable);
    human.Default = 1;
    cls::PublishProperty(info, human);
    TppPrintable::PublishProperties(info, {"ReprintOnOverFlow", "ShiftWithParent", "Transparent"});
    cls::PublishProperty(info, ppUserNameProperty());
    TppPrintable::PublishProperties(info, {"Visible"});
    cls::TPropInfo ratio = cls::FloatProperty<B, float>("WideBarRatio", &B::WideBarRatio, &B::SetWideBarRatio);
    ratio.Stored = [](cls::TObject*) { return false; };  // streamed as mmWideBarRatio
    ratio.SetFloat = [](cls::TObject* o, double v) {
      if (std::isnan(v)) return;
      static_cast<B*>(o)->SetWideBarRatio(static_cast<float>(std::clamp(v, 0.0, 1000.0)));
    };
    cls::PublishProperty(info, ratio);
    TppPrintable::PublishProperties(info, {"Height", "Left", "Top", "Width"});
  }
}

// ---- scripting ----

RA_IMPLEMENT_RTTI(TraTppBarCodeRTTI)

const TraMembers* TraTppBarCodeRTTI::Members() const {
  using C = TppCustomBarCode;
  static const TraMembers members(
      inherited::Members(),
      {raProperty<C, daString>("AddOnCode", &C::AddOnCode, &C::SetAddOnCode),
       raProperty<C, daBoolean>("AutoEncode", &C::AutoEncode, &C::SetAutoEncode),
       raProperty<C, daBoolean>("AutoSizeFont", &C::AutoSizeFont, &C::SetAutoSizeFont),
       raEnumProperty<C, TppBarCodeType>("BarCodeType", &C::BarCodeType, &C::SetBarCodeType),
       raProperty<C, daInteger>(
           "BarColor", [](C* b) { return static_cast<int32_t>(b->BarColor()); },
           [](C* b, int32_t v) { b->SetBarColor(static_cast<gdi::TColor>(v)); }),
       raProperty<C, daSingle>("BarWidth", &C::BarWidth, &C::SetBarWidth),
       raProperty<C, daBoolean>("BearerBars", &C::BearerBars, &C::SetBearerBars),
       raProperty<C, daBoolean>("CalcCheckDigit", &C::CalcCheckDigit, &C::SetCalcCheckDigit),
       raProperty<C, daString>("Data", &C::Data, &C::SetData),
       // Described and read, not written by name.
       raEnumProperty<C, TppBarCodeOrientation>("Orientation", &C::Orientation),
       raProperty<C, daBoolean>("PrintHumanReadable", &C::PrintHumanReadable, &C::SetPrintHumanReadable),
       raProperty<C, daSingle>("WideBarRatio", &C::WideBarRatio, &C::SetWideBarRatio)});
  return &members;
}

// ---- design popup menu ----

void TppCustomBarCode::CreatePopupMenu(TppPopupMenu*& menu) {
  TppCustomComponent::CreatePopupMenu(menu);
  menu->AddAction<TppCustomBarCode>(6, "AutoSize", 226);
  menu->AddAction<TppCustomBarCode>(7, "AutoSizeFont", 441);
  menu->AddAction<TppCustomBarCode>(8, "Configure", 443, [](TppCustomBarCode& b) {
    b.ShowDesignDialog(&TppCustomBarCodeDialog::StaticClass());
  });
  menu->AddAction<TppCustomBarCode>(9, "PrintHumanReadable", 442);
  menu->AddAction<TppCustomBarCode>(10, "ReprintOnOverFlow", 238);
  menu->AddAction<TppCustomBarCode>(11, "ShiftWithParent", 240);
  menu->AddAction<TppCustomBarCode>(12, "Transparent", 246);
}
