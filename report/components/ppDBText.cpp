#include "report/model/ppForms.h"
#include "report/components/ppDBText.h"

#include <cmath>
#include <cstdio>
#include <cstring>
#include <vector>

#include "report/engine/ppBands.h"
#include "report/engine/ppCustEng.h"
#include "report/engine/ppCustRpt.h"
#include "report/engine/ppDB.h"
#include "report/engine/ppGroup.h"
#include "report/model/ppDisplayFormat.h"
#include "report/model/ppResMgr.h"
#include "report/output/ppDrwCmd.h"
#include "report/output/ppDrwCmdProps.h"

CLS_IMPLEMENT_COMPONENT(TppDBText)
CLS_IMPLEMENT_COMPONENT(TppDBCalc)

namespace {

bool IsNumericOrDate(TppDataType t) {
  switch (t) {
    case dtDate:
    case dtTime:
    case dtDateTime:
    case dtInteger:
    case dtSingle:
    case dtDouble:
    case dtExtended:
    case dtCurrency:
    case dtLongint:
    case dtLargeInt: return true;
    default: return false;
  }
}

// Cache record: a flags byte, then LastPage; a DB calc adds Value, Count
// and whether the next value is the first after a reset.
constexpr int32_t kDBTextRecordSize = 5;
constexpr int32_t kDBCalcRecordSize = kDBTextRecordSize + 8 + 8 + 1;
constexpr uint8_t kDraw = 1, kPrinted = 2, kRepeated = 4, kFirstAfterReset = 8, kAbsent = 0x80;

bool IsDateType(TppDataType t) { return t == dtDate || t == dtTime || t == dtDateTime; }

TppCustomEngine* EngineOf(TppComponent* c) {
  TppCustomReport* report = c->GetReport();
  return report ? report->Engine() : nullptr;
}

}  // namespace

double ppFieldValueAsDouble(const cls::Variant& value, bool& nullValue) {
  nullValue = value.IsNull() || value.IsEmpty();
  if (nullValue) return 0;
  if (value.VarType() == cls::varString) {
    double d = 0;
    return cls::TryStrToFloat(value.AsString(), d) ? d : 0.0;
  }
  try {
    return value.AsDouble();
  } catch (const cls::Exception&) {
    return 0;
  }
}

// ---------------------------------------------------------------- TppDBText

TppDBText::TppDBText(cls::TComponent* owner) : TppCustomText(owner) {
  SetCacheRecordSize(kDBTextRecordSize);
  SetAutoSize(false);
  SetDefaultPropEditType(ppPropEditDataField);
  SetDefaultPropName("DataField");
}

bool TppDBText::IsDataAvailable() {
  if (!TppCustomText::IsDataAvailable()) return false;
  // A field the pipeline lacks is no data.
  TppDataPipeline* pipeline = DataPipeline();
  return pipeline->FieldCount() == 0 || pipeline->IndexOfFieldName(DataField()) >= 0;
}

void TppDBText::SetBlankWhenZero(bool value) {
  blankWhenZero_ = value;
  InvalidateDesign();
  Changed();
}

void TppDBText::SetSuppressRepeatedValues(bool value) {
  suppressRepeatedValues_ = value;
  InvalidateDesign();
  Changed();
}

void TppDBText::SetReprintOnSubsequent(bool value) {
  reprintOnSubsequent_ = value;
  InvalidateDesign();
  Changed();
}

std::string TppDBText::GetDisplayText() {
  if (!IsDataAvailable()) {
    if (IsPrinting()) return {};
    if (DataField().empty()) return UserName();
    if (!DataPipeline()) return DataField();
    return DataPipeline()->GetFieldDisplayName(DataField());
  }
  TppDataPipeline* pipeline = DataPipeline();
  TppDataType type = pipeline->GetFieldDataType(DataField());
  cls::Variant value = pipeline->GetFieldValue(DataField());
  if (blankWhenZero_ && !value.IsNull() && IsNumericOrDate(type)) {
    bool isNull;
    if (ppFieldValueAsDouble(value, isNull) == 0) return {};
  }
  if (value.VarType() == cls::varString && value.AsString().empty()) return {};
  if (value.IsNull() && (type == dtDate || type == dtDateTime)) return {};
  std::string text = FormatDisplayValue(OnFormat ? std::string() : DisplayFormat(), value, type);
  if (OnFormat) OnFormat(this, DisplayFormat(), type, value, text);
  return text;
}

cls::Variant TppDBText::FieldValue() {
  if (!IsDataAvailable()) return cls::Variant::Null();
  return DataPipeline()->GetFieldValue(DataField());
}

void TppDBText::GetDescription(std::string& text) {
  text = DataField().empty() ? UserName() : UserName() + ": " + DataField();
}

void TppDBText::RefreshCaption() {
  if (IsPrinting()) return;
  std::string text;
  GetText(text);
  StoreCaption(text);
}

void TppDBText::SetDisplayFormat(const std::string& value) {
  TppCustomText::SetDisplayFormat(value);
  RefreshCaption();
}

void TppDBText::SetDataField(const std::string& value) {
  TppCustomText::SetDataField(value);
  if (!LoadingOrReading()) RefreshCaption();
}

int32_t TppDBText::CurrentCachePage() {
  TppCustomEngine* engine = EngineOf(this);
  return engine ? engine->AbsolutePageNo() : 0;
}

void TppDBText::InitGeneration() {
  TppCustomText::InitGeneration();
  printed_ = false;
  lastPage_ = -1;
  lastText_.clear();
  repeated_ = false;
  firstAfterReset_ = true;
  EventMask().Include(ciEngineTraversal);
  EventMask().Include(ciGroupAfterGroupBreak);
  EventMask().Include(ciReportStartPage);
  if (TppCustomEngine* engine = EngineOf(this)) engine->AddEventNotify(this);
  if (TppCustomReport* report = GetReport()) report->AddEventNotify(this);
  if (TppGroup* group = ResetGroup()) group->AddEventNotify(this);
}

void TppDBText::Reset() {
  TppCustomText::Reset();
  printed_ = false;
  lastPage_ = -1;
  lastText_.clear();
  repeated_ = false;
  firstAfterReset_ = true;
}

void TppDBText::EventNotify(TppCommunicator* sender, int eventId, TraParamList* params) {
  TppCustomText::EventNotify(sender, eventId, params);
  if (eventId == ciGroupAfterGroupBreak && sender == ResetGroup()) Reset();
  else if (eventId == ciEngineTraversal && sender == EngineOf(this)) Traversal();
  else if (eventId == ciReportStartPage && sender == GetReport()) PageStarted();
}

void TppDBText::PageStarted() {
  if (lastPage_ != -1) printed_ = !reprintOnSubsequent_;
}

void TppDBText::Traversal() {
  CheckRepeat();
  firstAfterReset_ = false;
}

void TppDBText::CheckRepeat() {
  GetText(currentText_);
  if (!firstAfterReset_ && lastText_ == currentText_) {
    repeated_ = true;
  } else {
    lastText_ = currentText_;
    repeated_ = false;
    lastPage_ = CurrentCachePage();
  }
}

void TppDBText::DecidePrinting() {
  bool print;
  TppDataPipeline* pipeline = DataPipeline();
  if (!repeated_) {
    printed_ = false;
    print = true;
  } else if (pipeline && pipeline->FirstRecord() && !printed_) {
    print = true;
  } else if (!suppressRepeatedValues_) {
    print = DrawComponent();
  } else if (reprintOnSubsequent_) {
    print = CurrentCachePage() > lastPage_ && !printed_;
  } else {
    print = false;
  }
  if (print) {
    printed_ = true;
  } else {
    SetSpaceUsed(0);
    SetDrawComponent(false);
  }
  CheckRepeat();
}

void TppDBText::WriteState(uint8_t* record) {
  record[0] = (DrawComponent() ? kDraw : 0) | (printed_ ? kPrinted : 0) | (repeated_ ? kRepeated : 0) |
              (firstAfterReset_ ? kFirstAfterReset : 0);
  std::memcpy(record + 1, &lastPage_, 4);
}

void TppDBText::ReadState(const uint8_t* record) {
  SetDrawComponent(record[0] & kDraw);
  printed_ = record[0] & kPrinted;
  repeated_ = record[0] & kRepeated;
  firstAfterReset_ = record[0] & kFirstAfterReset;
  std::memcpy(&lastPage_, record + 1, 4);
}

void TppDBText::SaveToCache(int32_t pageIndex) {
  std::vector<uint8_t> record(static_cast<size_t>(CacheRecordSize()));
  WriteState(record.data());
  WriteCacheRecord(pageIndex, record.data());
  if (pageIndex < 0) return;
  auto page = static_cast<size_t>(pageIndex);
  if (pageLastTexts_.size() <= page) pageLastTexts_.resize(page + 1);
  pageLastTexts_[page] = lastText_;
}

void TppDBText::RestoreFromCache(int32_t pageIndex) {
  std::vector<uint8_t> record(static_cast<size_t>(CacheRecordSize()));
  record[0] = kAbsent;
  ReadCacheRecord(pageIndex, record.data());
  if (record[0] == kAbsent) return;
  ReadState(record.data());
  if (pageIndex >= 0 && static_cast<size_t>(pageIndex) < pageLastTexts_.size())
    lastText_ = pageLastTexts_[static_cast<size_t>(pageIndex)];
}

void TppDBText::ResetCache(int32_t pageIndex) {
  if (pageIndex >= 0 && static_cast<size_t>(pageIndex) < pageLastTexts_.size())
    pageLastTexts_.resize(static_cast<size_t>(pageIndex));
}

// ---------------------------------------------------------------- TppDBCalc

TppDBCalc::TppDBCalc(cls::TComponent* owner) : TppDBText(owner) {
  SetCacheRecordSize(kDBCalcRecordSize);
  SetDrawCommandClass(&TppDrawVariable::StaticClass());
}

void TppDBCalc::WriteState(uint8_t* record) {
  TppDBText::WriteState(record);
  std::memcpy(record + kDBTextRecordSize, &value_, 8);
  std::memcpy(record + kDBTextRecordSize + 8, &count_, 8);
  record[kDBTextRecordSize + 16] = firstValue_;
}

void TppDBCalc::ReadState(const uint8_t* record) {
  TppDBText::ReadState(record);
  std::memcpy(&value_, record + kDBTextRecordSize, 8);
  std::memcpy(&count_, record + kDBTextRecordSize + 8, 8);
  firstValue_ = record[kDBTextRecordSize + 16] != 0;
}

void TppDBCalc::SaveToCache(int32_t pageIndex) {
  TppDBText::SaveToCache(pageIndex);
  cacheSaved_ = true;
}

void TppDBCalc::Clear() {
  value_ = count_ = 0;
  firstValue_ = true;
}

void TppDBCalc::SetValue(double value) { value_ = value; }
void TppDBCalc::SetCount(double value) { count_ = value; }

void TppDBCalc::BeforeDestruction() {
  lookAheadList_.reset();
  TppDBText::BeforeDestruction();
}

void TppDBCalc::SetDBCalcType(TppDBCalcType value) {
  dbCalcType_ = value;
  if (!IsPrinting()) {
    RefreshCaption();
    InvalidateDesign();
  }
  Changed();
}

void TppDBCalc::SetLookAhead(bool value) {
  if (IsPrinting()) return;
  lookAhead_ = value;
  if (LoadingOrReading()) return;
  if (value)
    if (TppCustomReport* main = GetMainReport()) main->SetPassSetting(TppPassSettingType::psTwoPass);
  InvalidateDesign();
  Changed();
}

void TppDBCalc::SetBand(TppCustomBand* band) {
  TppDBText::SetBand(band);
  if (LoadingOrReading() || IsPrinting()) return;
  auto* groupBand = cls::ObjectAs<TppGroupBand>(band);
  SetResetGroup(groupBand ? groupBand->Group() : nullptr);
}

double TppDBCalc::Result() const {
  if (dbCalcType_ == dcAverage) return count_ == 0 ? 0 : value_ / count_;
  return value_;
}

TppDataType TppDBCalc::ResultType() {
  if (dbCalcType_ == dcCount) return dtInteger;
  TppDataPipeline* pipeline = DataPipeline();
  if (pipeline && !DataField().empty() && IsDateType(pipeline->GetFieldDataType(DataField()))) return dtDateTime;
  return dtDouble;
}

std::string TppDBCalc::GetDisplayText() {
  if (IsPrinting()) {
    double result = Result();
    if (BlankWhenZero() && result == 0) return {};
    TppDataType type = ResultType();
    if (type == dtDateTime && result == 0) return {};
    cls::Variant value = type == dtInteger    ? cls::Variant(static_cast<long long>(std::llround(result)))
                         : type == dtDateTime ? cls::Variant::DateTime(result)
                                              : cls::Variant(result);
    std::string text = FormatDisplayValue(OnFormat ? std::string() : DisplayFormat(), value, type);
    if (OnFormat) OnFormat(this, DisplayFormat(), type, value, text);
    return text;
  }
  std::string text = LoadLanguageString(1028 + static_cast<int>(dbCalcType_)) + "(";
  if (DataField().empty())
    return text + (dbCalcType_ == dcCount ? "*)" : "?)");
  return text + (DataPipeline() ? DataPipeline()->GetFieldDisplayName(DataField()) : DataField()) + ")";
}

void TppDBCalc::InitGeneration() {
  TppDBText::InitGeneration();
  Clear();
  cacheSaved_ = false;
  ownCalcCount_ = 0;
  if (lookAheadList_) lookAheadList_->UnsubscribeAll();
  lookAheadList_.reset();
  if (LookAheadActive()) {
    lookAheadList_ = std::make_unique<TppLookAheadList>(this);
    EventMask().Include(ciEngineGenerationEnd);
  }
}

bool TppDBCalc::LookAheadActive() const {
  TppCustomReport* main = GetMainReport();
  return lookAhead_ && main && main->PassSetting() == TppPassSettingType::psTwoPass;
}

void TppDBCalc::Reset() {
  TppDBText::Reset();
  Clear();
  // A footer's total starts afresh on the page that follows a saved one.
  TppCustomBand* band = Band();
  if (!cacheSaved_ || !(cls::ObjectIs<TppFooterBand>(band) || cls::ObjectIs<TppColumnFooterBand>(band))) return;
  cacheSaved_ = false;
  TppDBText::SaveToCache(CurrentCachePage());
}

void TppDBCalc::EventNotify(TppCommunicator* sender, int eventId, TraParamList* params) {
  TppDBText::EventNotify(sender, eventId, params);
  if (eventId == ciEngineGenerationEnd && lookAheadList_ && GetReport() && !GetReport()->FirstPass())
    lookAheadList_->UnsubscribeAll();
}

void TppDBCalc::Traversal() {
  TppDataPipeline* pipeline = DataPipeline();
  bool hasField = IsDataAvailable();
  if (pipeline && pipeline->NoRecords()) {
    value_ = 0;
  } else if (hasField || dbCalcType_ == dcCount) {
    // A count counts every record, with or without a field.
    if (firstValue_ && OnGroupBreak) OnGroupBreak(this);
    bool isNull = true;
    double x = hasField ? ppFieldValueAsDouble(pipeline->GetFieldValue(DataField()), isNull) : 0;
    count_ += 1;
    switch (dbCalcType_) {
      case dcCount: value_ = count_; break;
      case dcSum:
      case dcAverage: value_ += x; break;
      // Minimum and maximum skip nulls.
      case dcMinimum:
        if (!isNull && (firstValue_ || x < value_)) value_ = x;
        break;
      case dcMaximum:
        if (!isNull && (firstValue_ || x > value_)) value_ = x;
        break;
    }
    if (!isNull || (dbCalcType_ != dcMinimum && dbCalcType_ != dcMaximum)) firstValue_ = false;
  }
  TppDBText::Traversal();
  if (OnCalc) OnCalc(this);
  SendEventNotify(this, ciComponentCalc, nullptr);
  TppCustomReport* report = GetReport();
  if (lookAheadList_ && report && report->FirstPass()) {
    ++ownCalcCount_;
    std::string text;
    GetText(text);
    lookAheadList_->Update(LookAheadKey(), CurrentTraversalCount(), text);
  }
}

int32_t TppDBCalc::CurrentTraversalCount() {
  TppDataPipeline* pipeline = DataPipeline();
  if (!pipeline && ResetGroup()) pipeline = ResetGroup()->DataPipeline();
  pipeline = ppLookAheadPipeline(GetReport(), pipeline);
  // Without a pipeline the calc's own first-pass calculations order the values.
  return pipeline ? pipeline->TraversalCount() : ownCalcCount_;
}

std::string TppDBCalc::LookAheadKey() {
  int32_t position = 0, column = 0;
  TppCustomBand* band = Band();
  TppCustomReport* report = GetReport();
  if (TppGroup* group = ResetGroup()) {
    position = group->BreakNo();
  } else if (report) {
    if (cls::ObjectAs<TppHeaderBand>(band) || cls::ObjectAs<TppFooterBand>(band) ||
        cls::ObjectAs<TppColumnHeaderBand>(band) || cls::ObjectAs<TppColumnFooterBand>(band))
      position = report->AbsolutePageNo();
    if (cls::ObjectAs<TppColumnHeaderBand>(band) || cls::ObjectAs<TppColumnFooterBand>(band))
      column = report->CurrentColumn();
  }
  return ppLookAheadKey(report, position, column);
}

void TppDBCalc::PropertiesToDrawCommand(TppDrawCommand* command) {
  TppDBText::PropertiesToDrawCommand(command);
  if (!lookAheadList_) return;
  TppCustomReport* report = GetReport();
  lookAheadList_->PrepareCommand(LookAheadKey(), command, report && report->FirstPass());
}

// ---------------------------------------------------------------- scripting

RA_IMPLEMENT_RTTI(TraTppDBTextRTTI)
RA_IMPLEMENT_RTTI(TraTppDBCalcRTTI)

const TraMembers* TraTppDBTextRTTI::Members() const {
  using C = TppDBText;
  static const TraMembers members(
      inherited::Members(),
      {raProperty<C, daBoolean>("AlreadyPrinted", &C::Printed),
       raProperty<C, daVariant>("FieldValue", &C::FieldValue),
       raProperty<C, daInteger>("FirstPage", &C::LastPage),
       raProperty<C, daString>("PriorValue", &C::LastText),
       raProperty<C, daBoolean>("PriorValueSame", &C::Repeated),
       raProperty<C, daBoolean>("BlankWhenZero", &C::BlankWhenZero, &C::SetBlankWhenZero),
       raProperty<C, daBoolean>("ReprintOnSubsequent", &C::ReprintOnSubsequent, &C::SetReprintOnSubsequent),
       raProperty<C, daBoolean>("SuppressRepeatedValues", &C::SuppressRepeatedValues,
                                &C::SetSuppressRepeatedValues)});
  return &members;
}

namespace {

// A number written by name: numbers, currency, dates, Booleans and numeric
// text; anything else raises EConvertError.
double ScriptedNumber(const cls::Variant& value) {
  if (value.IsNull() || value.IsEmpty()) throw cls::EConvertError("Value is not a number");
  if (value.VarType() == cls::varString) return cls::StrToFloat(value.AsString());
  return value.AsDouble();
}

}  // namespace

const TraMembers* TraTppDBCalcRTTI::Members() const {
  using C = TppDBCalc;
  static const TraMembers members(
      inherited::Members(),
      {raProperty<C, daDouble>("Divisor", &C::Count, &C::SetCount),
       raProperty<C, daVariant>(
           "Value", [](C* c) { return cls::Variant(c->Value()); },
           [](C* c, const cls::Variant& v) { c->SetValue(ScriptedNumber(v)); }),
       raEnumProperty<C, TppDBCalcType>("DBCalcType", &C::DBCalcType, &C::SetDBCalcType),
       raEvent("OnCalc", ciComponentCalc),
       raMethod("GetLookAheadKey", {raParam("Result", daString)},
                [](cls::TObject* o, TraParamList* list, bool) {
                  return list && list->SetParamValue("Result", static_cast<C*>(o)->LookAheadKey());
                }),
       raMethod("GetLookAheadValue", {raParam("aLookAheadKey", daString), raParam("Result", daString)},
                [](cls::TObject* o, TraParamList* list, bool) {
                  std::string key;
                  if (!list || !list->GetParam("aLookAheadKey", key)) return false;
                  TppLookAheadList* values = static_cast<C*>(o)->LookAheadList();
                  TppDrawVariable* entry = values ? values->Find(key) : nullptr;
                  return list->SetParamValue("Result", entry ? entry->Text() : std::string("0"));
                }),
       raMethod("Clear", {}, [](cls::TObject* o, TraParamList*, bool) {
         static_cast<C*>(o)->Clear();
         return true;
       })});
  return &members;
}

// ---------------------------------------------------------------- registration

void ppRegisterDBTextUnit() {
  using namespace ppDrwCmdProps;
  using D = TppDBText;
  cls::TPropInfo format =
      cls::StrProperty<TppCustomText>("DisplayFormat", &TppCustomText::DisplayFormat, &TppCustomText::SetDisplayFormat);
  cls::TPropInfo parent = cls::OrdProperty<TppComponent, bool>(
      "ParentDataPipeline", cls::TypeInfoBoolean(), &TppComponent::ParentDataPipeline,
      &TppComponent::SetParentDataPipeline);
  parent.HasDefault = true;
  parent.Default = 1;
  for (cls::TClassInfo* c : {&TppDBText::StaticClass(), &TppDBCalc::StaticClass()}) {
    cls::TClassInfo& info = *c;
    cls::PublishProperty(info, ppAutoSizeProperty(false));
    cls::PublishProperty(info, Bool<D>("BlankWhenZero", &D::BlankWhenZero, &D::SetBlankWhenZero));
    TppPrintable::PublishProperties(info, {"Color", "DataField", "DataPipeline"});
    cls::PublishProperty(info, format);
    TppPrintable::PublishProperties(info, {"Font", "OnDrawCommandClick", "OnDrawCommandCreate"});
    cls::PublishProperty(info, cls::MethodProperty<D>("OnFormat", &D::OnFormat));
    cls::PublishProperty(info, parent);
    cls::PublishProperty(info, Bool<D>("ReprintOnSubsequent", &D::ReprintOnSubsequent, &D::SetReprintOnSubsequent));
    cls::PublishProperty(info, Bool<D>("SuppressRepeatedValues", &D::SuppressRepeatedValues,
                                       &D::SetSuppressRepeatedValues));
    TppPrintable::PublishProperties(info, {"TextAlignment", "Transparent", "Visible", "WordWrap", "Height", "Left",
                                           "Top", "Width"});
  }
  using C = TppDBCalc;
  auto& calc = C::StaticClass();
  cls::PublishProperty(calc, Enum<C, TppDBCalcType>("DBCalcType", &C::DBCalcType, &C::SetDBCalcType, dcSum));
  cls::PublishProperty(calc, Bool<C>("LookAhead", &C::LookAhead, &C::SetLookAhead));
  cls::PublishProperty(calc, cls::MethodProperty<C>("OnCalc", &C::OnCalc));
  cls::PublishProperty(calc, cls::MethodProperty<C>("OnGroupBreak", &C::OnGroupBreak));
  cls::TPropInfo resetGroup;
  resetGroup.Name = "ResetGroup";
  resetGroup.Type = cls::MakeClassTypeInfo("TppGroup", &TppGroup::StaticClass());
  resetGroup.GetObj = [](cls::TObject* o) -> cls::TObject* { return static_cast<C*>(o)->ResetGroup(); };
  resetGroup.SetObj = [](cls::TObject* o, cls::TObject* v) {
    static_cast<C*>(o)->SetResetGroup(cls::ObjectAs<TppGroup>(v));
  };
  cls::PublishProperty(calc, resetGroup);
}

// ---- design popup menus ----

void TppDBText::CreatePopupMenu(TppPopupMenu*& menu) {
  TppCustomText::CreatePopupMenu(menu);
  menu->AddAction<TppDBText>(31, "BlankWhenZero", 227);
  menu->AddAction<TppDBText>(32, "DisplayFormat", 230, [](TppDBText& t) {
    t.ShowDesignDialog(&TppCustomFormatDialog::StaticClass());
  });
  menu->AddAction<TppDBText>(33, "ReprintOnSubsequent", 239);
  menu->AddAction<TppDBText>(34, "ResetGroup", 1132);
  menu->AddAction<TppDBText>(35, "SuppressRepeatedValues", 245);
}

void TppDBCalc::CreatePopupMenu(TppPopupMenu*& menu) {
  TppDBText::CreatePopupMenu(menu);
  menu->AddAction<TppDBCalc>(36, "Calculations", 228, [](TppDBCalc& c) {
    c.ShowDesignDialog(&TppCustomDBCalcDialog::StaticClass());
  });
  menu->AddAction<TppDBCalc>(37, "LookAhead", 1131);
}
