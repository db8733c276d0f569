#include "report/model/ppForms.h"
#include "report/components/ppVar.h"

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <cstring>

#include "platform/classes/threads.h"
#include "platform/process/clock.h"
#include "report/engine/ppBands.h"
#include "report/engine/ppCustEng.h"
#include "report/engine/ppCustRpt.h"
#include "report/engine/ppDB.h"
#include "report/engine/ppGroup.h"
#include "report/engine/ppReport.h"
#include "report/model/ppDisplayFormat.h"
#include "report/model/ppResMgr.h"
#include "report/output/ppDrwCmd.h"
#include "report/output/ppDrwCmdProps.h"
#include "report/output/ppPrintr.h"

CLS_IMPLEMENT_CLASS(TppCustomVariable)
CLS_IMPLEMENT_COMPONENT(TppSystemVariable)
CLS_IMPLEMENT_COMPONENT(TppCalc)
CLS_IMPLEMENT_COMPONENT(TppVariable)

namespace {

// The message table lacks these ids; their texts are the names themselves.
struct TNamedId {
  int Id;
  const char* Text;
};
constexpr TNamedId kVarTypeNames[] = {{303, "Date"},        {304, "DateTime"}, {1127, "Document Name"},
                                      {305, "PrintDateTime"}, {306, "PageCount"}, {307, "PageSet"},
                                      {308, "PageSetDesc"}, {309, "PageNo"},   {310, "PageNoDesc"},
                                      {311, "Time"}};

TppVarType CalcToVarType(TppCalcType t) {
  switch (t) {
    case TppCalcType::ctDate: return vtDate;
    case TppCalcType::ctDateTime: return vtDateTime;
    case TppCalcType::ctPrintDateTime: return vtPrintDateTime;
    case TppCalcType::ctPageCount: return vtPageCount;
    case TppCalcType::ctPageSet: return vtPageSet;
    case TppCalcType::ctPageSetDesc: return vtPageSetDesc;
    case TppCalcType::ctPageNo: return vtPageNo;
    case TppCalcType::ctPageNoDesc: return vtPageNoDesc;
    case TppCalcType::ctTime:
    case TppCalcType::ctCustom: break;
  }
  return vtTime;
}

TppDataType VarTypeDataType(TppVarType t) {
  switch (t) {
    case vtDate: return dtDate;
    case vtDateTime:
    case vtPrintDateTime: return dtDateTime;
    case vtPageCount:
    case vtPageNo: return dtInteger;
    case vtTime: return dtTime;
    default: return dtString;
  }
}

// Cache records of calcs and variables: flags, a data type, the value.
constexpr uint8_t kDraw = 1, kReprint = 2, kAbsent = 0x80;
constexpr int32_t kCalcRecordSize = 2 + TppCachedTexts::kValueSize;
constexpr int32_t kVariableRecordSize = 2 + TppCachedTexts::kValueSize;

bool IsDesignState(TppPrintable* p) { return !p->IsPrinting(); }

TppCustomEngine* EngineOf(TppComponent* c) {
  TppCustomReport* report = c->GetReport();
  return report ? report->Engine() : nullptr;
}

// The system value of KIND for component C.
cls::Variant SystemValue(TppComponent* c, TppVarType kind) {
  TppCustomReport* report = c->GetReport();
  bool printing = c->IsPrinting() && report;
  switch (kind) {
    case vtDate: return cls::Variant::DateTime(std::floor(win::Now()));
    case vtDateTime: return cls::Variant::DateTime(win::Now());
    case vtTime: return cls::Variant::DateTime(win::Now() - std::floor(win::Now()));
    case vtPrintDateTime:
      return cls::Variant::DateTime(printing && report->Engine() ? report->Engine()->PrintDateTime() : win::Now());
    case vtPageCount: return cls::Variant(printing ? report->PageCount() : 1);
    case vtPageNo: return cls::Variant(printing ? report->PageNo() : 1);
    case vtDocumentName: {
      auto* r = cls::ObjectAs<TppReport>(report ? report->MainReport() : nullptr);
      return cls::Variant(r && r->PrinterSetup() ? r->PrinterSetup()->DocumentName() : std::string());
    }
    default: break;
  }
  return cls::Variant(BuildSystemVariableText(kind, printing ? report->PageNo() : 1,
                                              printing ? report->PageCount() : 1, printing, 0));
}

void MakeTwoPass(TppComponent* c) {
  if (TppCustomReport* main = c->GetMainReport()) main->SetPassSetting(TppPassSettingType::psTwoPass);
}

}  // namespace

std::string ppVarTypeName(TppVarType type) {
  const TNamedId& row = kVarTypeNames[static_cast<int>(type)];
  std::string text = LoadLanguageString(row.Id);
  return text.empty() ? row.Text : text;
}

// ---------------------------------------------------------------- look-ahead

void ppSendLookAheadChange(TppCommunicator* sender, const std::string& key, int32_t traversalCount,
                           const std::string& text) {
  std::string k = key, t = text;
  int32_t count = traversalCount;
  TraParamList params;
  params.AddParam("aLookAheadKey", daString);
  params.AddParam("aTraversalCount", daInteger);
  params.AddParam("aText", daString);
  params.SetParamAddress(0, &k);
  params.SetParamAddress(1, &count);
  params.SetParamAddress(2, &t);
  sender->SendEventNotify(sender, ciLookAheadChange, &params);
}

TppLookAheadList::~TppLookAheadList() {
  UnsubscribeAll();
  for (TppDrawVariable* e : entries_) delete e;
}

void TppLookAheadList::Update(const std::string& key, int32_t traversalCount, const std::string& text) {
  bool known = false;
  for (TppDrawVariable* e : entries_)
    if (e->LookAheadKey() == key) known = true;
  if (!known) {
    auto* entry = new TppDrawVariable(nullptr);
    entry->SetText(text);
    entry->SetLookAheadKey(key);
    entry->SetTraversalCount(traversalCount);
    entry->SetLookAhead(true);
    owner_->AddEventNotify(entry->Listener());
    entries_.push_back(entry);
  }
  // Commands made before the entry existed wait for this too.
  ppSendLookAheadChange(owner_, key, traversalCount, text);
}

TppDrawVariable* TppLookAheadList::Find(const std::string& key) const {
  for (TppDrawVariable* e : entries_)
    if (e->LookAheadKey() == key) return e;
  return nullptr;
}

TppDrawVariable* TppLookAheadList::Lookup(const std::string& key) {
  for (TppDrawVariable* e : entries_) {
    if (e->LookAheadKey() == key) return e;
    if (e->Listener()) owner_->RemoveEventNotify(e->Listener());
  }
  return nullptr;
}

void TppLookAheadList::PrepareCommand(const std::string& key, TppDrawCommand* command, bool firstPass) {
  auto* var = cls::ObjectAs<TppDrawVariable>(command);
  if (!var) return;
  TppDrawVariable* entry = Lookup(key);
  if (entry) var->SetText(entry->Text());
  if (!firstPass) return;
  var->SetLookAhead(true);
  var->SetLookAheadKey(key);
  var->SetTraversalCount(entry ? entry->TraversalCount() : -1);
  owner_->AddEventNotify(var->Listener());
}

TppDataPipeline* ppLookAheadPipeline(TppCustomReport* report, TppDataPipeline* preferred) {
  if (preferred || !report) return preferred;
  if (auto* detail = cls::ObjectAs<TppDetailBand>(report->GetBand(TppBandType::btDetail, 0)))
    return detail->GetDataPipeline();
  return report->DataPipeline();
}

std::string ppLookAheadKeyPrefix(TppCustomReport* report) {
  std::string prefix;
  // Nesting is shallow; the bound only guards a parent chain that loops.
  for (int depth = 0; depth < 64; ++depth) {
    auto* child = cls::ObjectAs<TppChildReport>(report);
    if (!child || !child->ParentReport()) break;
    report = child->ParentReport();
    TppDataPipeline* pipeline = ppLookAheadPipeline(report, nullptr);
    char part[16];
    std::snprintf(part, sizeof part, "%8d|", pipeline ? pipeline->TraversalCount() : 0);
    prefix.insert(0, part);
  }
  return prefix;
}

std::string ppLookAheadKey(TppCustomReport* report, int32_t position, int32_t column) {
  char key[32];
  std::snprintf(key, sizeof key, "%8d|%8d", position, column);
  return ppLookAheadKeyPrefix(report) + key;
}

// ---------------------------------------------------------------- cached values

void TppCachedTexts::Write(int32_t pageIndex, const cls::Variant& value, uint8_t* at) {
  at[0] = static_cast<uint8_t>(value.VarType());
  std::memset(at + 1, 0, kValueSize - 1);
  switch (value.VarType()) {
    case cls::varBoolean: at[1] = value.AsBoolean(); break;
    case cls::varInt64: {
      int64_t i = value.AsInt64();
      std::memcpy(at + 1, &i, 8);
      break;
    }
    case cls::varDouble:
    case cls::varSingle:
    case cls::varDate: {
      double d = value.VarType() == cls::varDate ? value.AsDateTime() : value.AsDouble();
      std::memcpy(at + 1, &d, 8);
      break;
    }
    case cls::varCurrency: {
      int64_t scaled = value.AsCurrency().Scaled;
      std::memcpy(at + 1, &scaled, 8);
      break;
    }
    case cls::varString: texts_[pageIndex] = value.AsString(); break;
    default: break;
  }
}

cls::Variant TppCachedTexts::Read(int32_t pageIndex, const uint8_t* at) const {
  int64_t i = 0;
  double d = 0;
  std::memcpy(&i, at + 1, 8);
  std::memcpy(&d, at + 1, 8);
  switch (at[0]) {
    case cls::varNull: return cls::Variant::Null();
    case cls::varBoolean: return cls::Variant(at[1] != 0);
    case cls::varInt64: return cls::Variant(static_cast<long long>(i));
    case cls::varDouble: return cls::Variant(d);
    case cls::varSingle: return cls::Variant::Single(static_cast<float>(d));
    case cls::varDate: return cls::Variant::DateTime(d);
    case cls::varCurrency: return cls::Variant(cls::Currency{i});
    case cls::varString: {
      auto it = texts_.find(pageIndex);
      return cls::Variant(it == texts_.end() ? std::string() : it->second);
    }
    default: return cls::Variant();
  }
}

void TppCachedTexts::DropFrom(int32_t pageIndex) { texts_.erase(texts_.lower_bound(pageIndex), texts_.end()); }

void TppLookAheadList::UnsubscribeAll() {
  for (TppDrawVariable* e : entries_)
    if (e->Listener()) owner_->RemoveEventNotify(e->Listener());
}

// ---------------------------------------------------------------- TppCustomVariable

TppCustomVariable::TppCustomVariable(cls::TComponent* owner) : TppCustomText(owner) {}

void TppCustomVariable::PropertiesToDrawCommand(TppDrawCommand* command) {
  TppCustomText::PropertiesToDrawCommand(command);
  command->SetDataType(GetDataType());
}

std::string TppCustomVariable::FormatValue(const TppFormatEvent& handler, TppDataType type,
                                           const cls::Variant& value) {
  std::string text = FormatDisplayValue(handler ? std::string() : DisplayFormat(), value, type);
  if (handler) handler(this, DisplayFormat(), type, value, text);
  return text;
}

// ---------------------------------------------------------------- TppSystemVariable

TppSystemVariable::TppSystemVariable(cls::TComponent* owner) : TppCustomVariable(owner) {
  SetDrawCommandClass(&TppDrawVar::StaticClass());
  SetDefaultPropName("VarType");
}

TppDataType TppSystemVariable::GetDataType() const { return VarTypeDataType(varType_); }

cls::Variant TppSystemVariable::Value() { return SystemValue(this, varType_); }

void TppSystemVariable::SetVarType(TppVarType value) {
  varType_ = value;
  if (LoadingOrReading()) return;
  if (value == vtPageSet || value == vtPageSetDesc) MakeTwoPass(this);
  if (IsDesignState(this)) {
    RefreshCaption();
    InvalidateDesign();
    Changed();
  }
}

std::string TppSystemVariable::GetDisplayText() {
  cls::Variant value = Value();
  if (GetDataType() == dtString) {
    std::string text = value.AsString();
    if (OnFormat) OnFormat(this, DisplayFormat(), dtString, value, text);
    return text;
  }
  return FormatValue(OnFormat, GetDataType(), value);
}

void TppSystemVariable::RefreshCaption() {
  std::string text;
  GetText(text);
  StoreCaption(text);
}

void TppSystemVariable::SetDisplayFormat(const std::string& value) {
  TppCustomVariable::SetDisplayFormat(value);
  if (IsDesignState(this) && !LoadingOrReading()) RefreshCaption();
}

void TppSystemVariable::PropertiesToDrawCommand(TppDrawCommand* command) {
  TppCustomVariable::PropertiesToDrawCommand(command);
  if (auto* var = cls::ObjectAs<TppDrawVar>(command)) var->SetVarType(varType_);
}

void TppSystemVariable::GetDescription(std::string& text) { text = UserName() + ": " + ppVarTypeName(varType_); }

// ---------------------------------------------------------------- TppCalc

TppCalc::TppCalc(cls::TComponent* owner) : TppCustomVariable(owner) {
  SetCacheRecordSize(kCalcRecordSize);
  SetDrawCommandClass(&TppDrawCalc::StaticClass());
  SetDefaultPropName("CalcType");
  ClearCustomValue();
}

void TppCalc::UpdateDataType() {
  dataType_ = calcType_ == TppCalcType::ctCustom ? customType_ : VarTypeDataType(CalcToVarType(calcType_));
  if (calcType_ == TppCalcType::ctDateTime || calcType_ == TppCalcType::ctPrintDateTime) dataType_ = dtDateTime;
}

void TppCalc::SetCalcType(TppCalcType value) {
  calcType_ = value;
  if (value == TppCalcType::ctCustom) customType_ = dtString;
  UpdateDataType();
  if (LoadingOrReading()) return;
  InvalidateDesign();
  Changed();
}

void TppCalc::SetCustomType(TppDataType value) {
  if (calcType_ != TppCalcType::ctCustom && !LoadingOrReading()) return;
  customType_ = value;
  UpdateDataType();
}

void TppCalc::SetText(const std::string& value) {
  if (calcType_ != TppCalcType::ctCustom) return;
  customType_ = dtString;
  UpdateDataType();
  customValue_ = cls::Variant(value);
  TppCustomVariable::SetText(value);
}

void TppCalc::ClearCustomValue() {
  switch (customType_) {
    case dtBoolean: customValue_ = cls::Variant(false); break;
    case dtDate:
    case dtTime:
    case dtDateTime: customValue_ = cls::Variant::DateTime(win::Now()); break;
    case dtInteger: customValue_ = cls::Variant(0); break;
    case dtSingle:
    case dtDouble:
    case dtExtended:
    case dtCurrency: customValue_ = cls::Variant(0.0); break;
    default: customValue_ = cls::Variant(std::string()); break;
  }
}

cls::Variant TppCalc::Value() {
  if (calcType_ != TppCalcType::ctCustom) return SystemValue(this, CalcToVarType(calcType_));
  if (IsDesignState(this)) return cls::Variant("Custom");
  return customValue_;
}

std::string TppCalc::GetDisplayText() {
  cls::Variant value = Value();
  if (dataType_ == dtString || (calcType_ == TppCalcType::ctCustom && IsDesignState(this))) {
    std::string text;
    try {
      text = value.AsString();
    } catch (const cls::Exception&) {
    }
    if (OnFormat) OnFormat(this, DisplayFormat(), dtString, value, text);
    return text;
  }
  return FormatValue(OnFormat, dataType_, value);
}

void TppCalc::PropertiesToDrawCommand(TppDrawCommand* command) {
  TppCustomVariable::PropertiesToDrawCommand(command);
  if (auto* calc = cls::ObjectAs<TppDrawCalc>(command)) calc->SetCalcType(calcType_);
}

void TppCalc::GetDescription(std::string& text) {
  text = UserName() + ": " +
         (calcType_ == TppCalcType::ctCustom ? std::string("Custom") : ppVarTypeName(CalcToVarType(calcType_)));
}

void TppCalc::InitGeneration() {
  TppCustomVariable::InitGeneration();
  ClearCustomValue();
  if (calcType_ != TppCalcType::ctCustom) return;
  EventMask().Include(ciEngineTraversal);
  if (TppCustomEngine* engine = EngineOf(this)) engine->AddEventNotify(this);
}

void TppCalc::EventNotify(TppCommunicator* sender, int eventId, TraParamList* params) {
  TppCustomVariable::EventNotify(sender, eventId, params);
  if (eventId != ciEngineTraversal || calcType_ != TppCalcType::ctCustom || !IsPrinting()) return;
  if (ResetOnCompute()) {
    ClearCustomValue();
    SetResetOnCompute(false);
  }
  if (OnCalc) OnCalc(this);
}

void TppCalc::SaveToCache(int32_t pageIndex) {
  uint8_t record[kCalcRecordSize] = {};
  record[0] = DrawComponent() ? kDraw : 0;
  record[1] = static_cast<uint8_t>(customType_);
  cachedTexts_.Write(pageIndex, customValue_, record + 2);
  WriteCacheRecord(pageIndex, record);
}

void TppCalc::RestoreFromCache(int32_t pageIndex) {
  uint8_t record[kCalcRecordSize] = {kAbsent};
  ReadCacheRecord(pageIndex, record);
  if (record[0] == kAbsent) return;
  SetDrawComponent(record[0] & kDraw);
  if (record[1] <= dtString) customType_ = static_cast<TppDataType>(record[1]);
  UpdateDataType();
  customValue_ = cachedTexts_.Read(pageIndex, record + 2);
}

void TppCalc::ResetCache(int32_t pageIndex) {
  TppCustomVariable::ResetCache(pageIndex);
  cachedTexts_.DropFrom(pageIndex);
}

void TppCalc::Convert(int64_t version) {
  TppCustomVariable::Convert(version);
  if (version < 3000) UpdateDataType();
  if (version < 3999) cls::QueueToMainThread(this, [this] { ReplaceByVariable(); });
}

void TppCalc::BeforeDestruction() {
  cls::RemoveQueuedEvents(this);
  TppCustomVariable::BeforeDestruction();
}

void TppCalc::ReplaceByVariable() {
  TppCustomBand* band = Band();
  if (!band) return;
  TppCustomVariable* made = nullptr;
  if (calcType_ == TppCalcType::ctCustom) {
    auto* v = new TppVariable(Owner());
    v->SetDataType(customType_);
    v->OldOnCalc = OnCalc;
    v->OnFormat = OnFormat;
    made = v;
  } else {
    auto* v = new TppSystemVariable(Owner());
    std::string kind = cls::EnumName(calcType_);
    int varType = cls::EnumValue<TppVarType>("vt" + kind.substr(2));
    v->SetVarType(varType < 0 ? vtDate : static_cast<TppVarType>(varType));
    made = v;
  }
  made->SetBand(band);
  made->SetBounds(mmLeft(), mmTop(), mmWidth(), mmHeight());
  made->SetFont(Font());
  made->SetTextAlignment(TextAlignment());
  made->SetDisplayFormat(DisplayFormat());
  made->SetAutoSize(AutoSize());
  made->SetColor(Color());
  made->SetTransparent(Transparent());
  made->SetWordWrap(WordWrap());
  made->SetVisible(Visible());
  band->MoveObject(made->IndexInBand(), IndexInBand());
  const std::string name = Name(), userName = UserName();
  Free();
  made->SetName(name);
  made->SetUserName(userName);
}

void TppCalc::DefineProperties(cls::TFiler* filer) {
  TppCustomVariable::DefineProperties(filer);
  filer->DefineProperty(
      "DataType",
      [this](cls::TReader& r) {
        static const struct {
          const char* Name;
          TppDataType Type;
        } kMap[] = {{"ftString", dtString},   {"ftSmallint", dtInteger}, {"ftInteger", dtInteger},
                    {"ftWord", dtInteger},    {"ftBytes", dtInteger},    {"ftFloat", dtDouble},
                    {"ftCurrency", dtDouble}, {"ftBoolean", dtBoolean},  {"ftDate", dtDate},
                    {"ftTime", dtTime},       {"ftDateTime", dtDateTime}};
        std::string ident = r.ReadIdent();
        for (const auto& m : kMap)
          if (cls::SameText(ident, m.Name)) {
            customType_ = m.Type;
            UpdateDataType();
          }
      },
      nullptr, false);
}

// ---------------------------------------------------------------- TppVariable

TppVariable::TppVariable(cls::TComponent* owner) : TppCustomVariable(owner) {
  SetCacheRecordSize(kVariableRecordSize);
  SetDrawCommandClass(&TppDrawVariable::StaticClass());
  SetDefaultPropName("DataType");
  ClearValue();
  UpdateEventMask();
}

void TppVariable::BeforeDestruction() {
  lookAheadList_.reset();
  TppCustomVariable::BeforeDestruction();
}

void TppVariable::UpdateEventMask() {
  EventMask().Clear();
  EventMask().Include(VarEventToEventId(calcType_));
  EventMask().Include(VarEventToEventId(resetType_));
}

void TppVariable::SetCalcType(TppVarEventType value) {
  calcType_ = value;
  UpdateEventMask();
  if (!LoadingOrReading()) Changed();
}

void TppVariable::SetResetType(TppVarEventType value) {
  resetType_ = value;
  UpdateEventMask();
  if (!LoadingOrReading()) Changed();
}

void TppVariable::SetCalcComponent(TppCommunicator* value) {
  if (value == calcComponent_) return;
  if (calcComponent_ && calcComponent_ != resetComponent_) calcComponent_->RemoveEventNotify(this);
  calcComponent_ = value;
  if (value) value->AddEventNotify(this);
  if (!HasState(cls::csReading)) calcPipelineName_.clear();
  InvalidateDesign();
  if (!LoadingOrReading()) Changed();
}

void TppVariable::SetResetComponent(TppCommunicator* value) {
  if (value == resetComponent_) return;
  if (resetComponent_ && resetComponent_ != calcComponent_) resetComponent_->RemoveEventNotify(this);
  resetComponent_ = value;
  if (value) value->AddEventNotify(this);
  if (!HasState(cls::csReading)) resetPipelineName_.clear();
  InvalidateDesign();
  if (!LoadingOrReading()) Changed();
}

bool TppVariable::KeepsComponent(TppVarEventType type) {
  switch (type) {
    case veDataPipelineTraversal:
    case veGroupStart:
    case veGroupEnd:
    case veGroupBeforeHeader:
    case veGroupBeforeFooter: return true;
    default: return false;
  }
}

namespace {

// The name a stream gives COMPONENT of event kind TYPE: a pipeline's name,
// or the name read and not resolved; empty for anything else.
std::string StreamedPipelineName(TppVarEventType type, TppCommunicator* component, const std::string& read) {
  if (!TppVariable::KeepsComponent(type)) return {};
  if (auto* pipeline = cls::ObjectAs<TppDataPipeline>(component)) return pipeline->Name();
  return component ? std::string() : read;
}

}  // namespace

void TppVariable::DefineProperties(cls::TFiler* filer) {
  TppCustomVariable::DefineProperties(filer);
  auto pipelineName = [filer](const char* name, TppVarEventType type, TppCommunicator* component,
                              std::string& field) {
    std::string written = StreamedPipelineName(type, component, field);
    filer->DefineProperty(
        name, [&field](cls::TReader& r) { field = r.ReadString(); },
        [written](cls::TWriter& w) { w.WriteString(written); }, !written.empty());
  };
  pipelineName("CalcDataPipelineName", calcType_, calcComponent_, calcPipelineName_);
  pipelineName("ResetDataPipelineName", resetType_, resetComponent_, resetPipelineName_);
}

void TppVariable::ResolveDataPipeline(const std::vector<TppDataPipeline*>& list) {
  TppCustomVariable::ResolveDataPipeline(list);
  if (!calcComponent_)
    if (TppDataPipeline* p = ppPipelineNamed(list, calcPipelineName_)) SetCalcComponent(p);
  if (!resetComponent_)
    if (TppDataPipeline* p = ppPipelineNamed(list, resetPipelineName_)) SetResetComponent(p);
}

void TppVariable::Notify(TppCommunicator* communicator, uint8_t operation) {
  TppCustomVariable::Notify(communicator, operation);
  if (operation != ppopRemove) return;
  if (communicator == calcComponent_) calcComponent_ = nullptr;
  if (communicator == resetComponent_) resetComponent_ = nullptr;
}

void TppVariable::SetDataType(TppDataType value) {
  if (value > dtString) return;
  dataType_ = value;
  value_ = Coerce(value_);
  InvalidateDesign();
  if (!LoadingOrReading()) Changed();
}

void TppVariable::SetLookAhead(bool value) {
  if (IsPrinting()) return;
  lookAhead_ = value;
  if (LoadingOrReading()) return;
  if (value) MakeTwoPass(this);
  InvalidateDesign();
  Changed();
}

void TppVariable::SetUserName(const std::string& name) {
  TppCustomVariable::SetUserName(name);
  if (!HasState(cls::csReading)) StoreCaption(UserName());
}

void TppVariable::GetEventNotifySortKey(std::string& key) {
  key.clear();
  if (TppCustomBand* band = Band()) band->GetEventNotifySortKey(key);
  char order[16];
  std::snprintf(order, sizeof order, "%8d", CalcOrder());
  key += order;
}

namespace {

// The band's variables in band order: the calculation list.
std::vector<TppVariable*> CalcList(TppCustomBand* band) {
  std::vector<TppVariable*> list;
  if (!band) return list;
  for (int i = 0; i < band->ObjectCount(); ++i)
    if (auto* v = cls::ObjectAs<TppVariable>(band->Objects(i))) list.push_back(v);
  return list;
}

}  // namespace

int32_t TppVariable::CalcOrder() const {
  std::vector<TppVariable*> list = CalcList(Band());
  auto it = std::find(list.begin(), list.end(), this);
  return it == list.end() ? -1 : static_cast<int32_t>(it - list.begin());
}

void TppVariable::SetCalcOrder(int32_t value) {
  // Read from a stream, the band's object order already holds it.
  if (HasState(cls::csReading)) return;
  MoveToCalcOrder(value);
  Changed();
}

void TppVariable::MoveToCalcOrder(int32_t order) {
  TppCustomBand* band = Band();
  std::vector<TppVariable*> list = CalcList(band);
  if (list.empty()) return;
  order = std::clamp<int32_t>(order, 0, static_cast<int32_t>(list.size()) - 1);
  if (list[static_cast<size_t>(order)] == this) return;
  // Into the band place of the variable now holding ORDER.
  band->MoveObject(IndexInBand(), list[static_cast<size_t>(order)]->IndexInBand());
}

// ---- the value ----

cls::Variant TppVariable::Coerce(const cls::Variant& v) const {
  try {
    return ConvertValue(v);
  } catch (const cls::Exception&) {
  }
  return cls::Variant();
}

cls::Variant TppVariable::ConvertValue(const cls::Variant& v) const {
  {
    switch (dataType_) {
      case dtBoolean: return cls::Variant(v.IsNull() || v.IsEmpty() ? false : v.AsBoolean());
      case dtDate:
      case dtTime:
      case dtDateTime: return cls::Variant::DateTime(v.IsNull() || v.IsEmpty() ? 0.0 : v.AsDateTime());
      case dtInteger: return cls::Variant(static_cast<int64_t>(static_cast<int32_t>(v.AsInt64())));
      case dtSingle: return cls::Variant(static_cast<double>(static_cast<float>(v.AsDouble())));
      case dtDouble:
      case dtExtended: return cls::Variant(v.AsDouble());
      case dtCurrency: return cls::Variant(v.AsCurrency());
      case dtChar: {
        std::string s = v.AsString();
        return cls::Variant(s.substr(0, s.empty() ? 0 : 1));
      }
      case dtString: return cls::Variant(v.IsNull() ? std::string() : v.AsString());
      default: break;
    }
  }
  return cls::Variant();
}

void TppVariable::ClearValue() {
  switch (dataType_) {
    case dtBoolean: value_ = cls::Variant(false); break;
    case dtDate:
    case dtTime:
    case dtDateTime: value_ = cls::Variant::DateTime(win::Now()); break;
    case dtInteger: value_ = cls::Variant(0); break;
    case dtSingle:
    case dtDouble:
    case dtExtended: value_ = cls::Variant(0.0); break;
    case dtCurrency: value_ = cls::Variant(cls::Currency{}); break;
    case dtChar:
    case dtString: value_ = cls::Variant(std::string()); break;
    default: value_ = cls::Variant(); break;
  }
}

void TppVariable::SetValue(const cls::Variant& value) { value_ = ConvertValue(value); }

bool TppVariable::AsBoolean() const {
  try {
    return value_.AsBoolean();
  } catch (const cls::Exception&) {
    return false;
  }
}
char TppVariable::AsChar() const {
  std::string s = AsString();
  return s.empty() ? '\0' : s[0];
}
cls::Currency TppVariable::AsCurrency() const {
  try {
    return value_.AsCurrency();
  } catch (const cls::Exception&) {
    return {};
  }
}
double TppVariable::AsDateTime() const {
  try {
    return value_.AsDateTime();
  } catch (const cls::Exception&) {
    return 0;
  }
}
double TppVariable::AsDouble() const {
  try {
    return value_.AsDouble();
  } catch (const cls::Exception&) {
    return 0;
  }
}
int32_t TppVariable::AsInteger() const {
  try {
    return static_cast<int32_t>(value_.AsInt64());
  } catch (const cls::Exception&) {
    return 0;
  }
}
std::string TppVariable::AsString() const {
  try {
    return value_.IsNull() ? std::string() : value_.AsString();
  } catch (const cls::Exception&) {
    return {};
  }
}

void TppVariable::SetAsBoolean(bool v) {
  dataType_ = dtBoolean;
  value_ = cls::Variant(v);
}
void TppVariable::SetAsChar(char v) {
  dataType_ = dtChar;
  value_ = cls::Variant(std::string(1, v));
}
void TppVariable::SetAsCurrency(cls::Currency v) {
  dataType_ = dtCurrency;
  value_ = cls::Variant(v);
}
void TppVariable::SetAsDate(double v) {
  dataType_ = dtDate;
  value_ = cls::Variant::DateTime(v);
}
void TppVariable::SetAsDateTime(double v) {
  dataType_ = dtDateTime;
  value_ = cls::Variant::DateTime(v);
}
void TppVariable::SetAsTime(double v) {
  dataType_ = dtTime;
  value_ = cls::Variant::DateTime(v);
}
void TppVariable::SetAsDouble(double v) {
  dataType_ = dtDouble;
  value_ = cls::Variant(v);
}
void TppVariable::SetAsExtended(long double v) {
  dataType_ = dtExtended;
  value_ = cls::Variant(static_cast<double>(v));
}
void TppVariable::SetAsInteger(int32_t v) {
  dataType_ = dtInteger;
  value_ = cls::Variant(v);
  if (!IsPrinting()) InvalidateDesign();
}
void TppVariable::SetAsSingle(float v) {
  dataType_ = dtSingle;
  value_ = cls::Variant(static_cast<double>(v));
}
void TppVariable::SetAsString(const std::string& v) {
  dataType_ = dtString;
  value_ = cls::Variant(v);
}

// ---- generation ----

void TppVariable::InitGeneration() {
  TppCustomVariable::InitGeneration();
  UpdateEventMask();
  TppCustomReport* report = GetReport();
  auto pick = [&](TppVarEventType type, void (TppVariable::*set)(TppCommunicator*)) {
    switch (type) {
      case veTraversal:
      case veReportStart:
      case veReportEnd: (this->*set)(report ? report->Engine() : nullptr); break;
      case vePageStart:
      case vePageEnd:
      case veColumnStart:
      case veColumnEnd: (this->*set)(report); break;
      default: break;  // the user's choice stays
    }
  };
  pick(calcType_, &TppVariable::SetCalcComponent);
  pick(resetType_, &TppVariable::SetResetComponent);
  ClearValue();
  cacheSaved_ = false;
  ownCalcCount_ = 0;
  EndLookAhead();
  lookAheadList_.reset();
  if (LookAheadActive()) {
    lookAheadList_ = std::make_unique<TppLookAheadList>(this);
    if (TppCustomEngine* engine = EngineOf(this)) {
      EventMask().Include(ciEngineGenerationEnd);
      engine->AddEventNotify(this);
    }
  }
}

bool TppVariable::LookAheadActive() const {
  TppCustomReport* main = GetMainReport();
  return lookAhead_ && main && main->PassSetting() == TppPassSettingType::psTwoPass;
}

void TppVariable::EndLookAhead() {
  if (lookAheadList_) lookAheadList_->UnsubscribeAll();
}

void TppVariable::EventNotify(TppCommunicator* sender, int eventId, TraParamList* params) {
  TppCustomVariable::EventNotify(sender, eventId, params);
  if (eventId == ciEngineGenerationEnd && lookAheadList_ && !GetReport()->FirstPass()) EndLookAhead();
  if (sender == resetComponent_ && eventId == VarEventToEventId(resetType_)) Reset();
  if (sender == calcComponent_ && eventId == VarEventToEventId(calcType_)) Calc();
}

void TppVariable::CacheStep(TppVarEventType type) {
  if ((type != vePageEnd && type != veColumnEnd) || !cacheSaved_) return;
  cacheSaved_ = false;
  if (TppCustomEngine* engine = EngineOf(this)) WriteState(engine->AbsolutePageNo());
}

void TppVariable::Calc() {
  if (!IsPrinting()) return;
  cls::Variant value = value_;
  if (OnCalc) OnCalc(this, value);
  else if (OldOnCalc) OldOnCalc(this);
  if (OnCalc && !(value == value_)) value_ = Coerce(value);
  TraParamList params;
  params.AddParam("Value", daVariant, false, true);
  cls::Variant sent = value_;
  params.SetParamAddress(0, &sent);
  SendEventNotify(this, ciComponentCalc, &params);
  if (!(sent == value_)) value_ = Coerce(sent);
  CacheStep(calcType_);
  TppCustomReport* report = GetReport();
  if (lookAheadList_ && report && report->FirstPass()) {
    ++ownCalcCount_;
    std::string text;
    GetText(text);
    lookAheadList_->Update(LookAheadKey(), CurrentTraversalCount(), text);
  }
}

void TppVariable::Reset() {
  TppCustomVariable::Reset();
  ClearValue();
  if (OnReset) {
    cls::Variant value = value_;
    OnReset(this, value);
    if (!(value == value_)) value_ = Coerce(value);
  }
  TraParamList params;
  params.AddParam("Value", daVariant, false, true);
  cls::Variant sent = value_;
  params.SetParamAddress(0, &sent);
  SendEventNotify(this, ciVariableReset, &params);
  if (!(sent == value_)) value_ = Coerce(sent);
  CacheStep(resetType_);
}

int32_t TppVariable::CurrentTraversalCount() {
  TppDataPipeline* pipeline = ppLookAheadPipeline(GetReport(), cls::ObjectAs<TppDataPipeline>(calcComponent_));
  // Without a pipeline the variable's own first-pass calcs order the values.
  return pipeline ? pipeline->TraversalCount() : ownCalcCount_;
}

std::string TppVariable::LookAheadKey() {
  TppCustomReport* report = GetReport();
  int32_t position = 0, column = 0;
  switch (resetType_) {
    case veTraversal: position = CurrentTraversalCount(); break;
    case veDataPipelineTraversal:
      if (auto* p = cls::ObjectAs<TppDataPipeline>(resetComponent_)) position = p->TraversalCount();
      break;
    case vePageStart:
    case vePageEnd:
    case veColumnStart:
    case veColumnEnd:
      if (report) position = report->AbsolutePageNo();
      if (report && (resetType_ == veColumnStart || resetType_ == veColumnEnd)) column = report->CurrentColumn();
      break;
    case veGroupStart:
    case veGroupEnd:
    case veGroupBeforeHeader:
    case veGroupBeforeFooter:
      if (auto* group = cls::ObjectAs<TppGroup>(resetComponent_)) position = group->BreakNo();
      break;
    default: break;
  }
  return ppLookAheadKey(report, position, column);
}

std::string TppVariable::GetDisplayText() {
  if (!IsPrinting()) return UserName();
  return FormatValue(OnFormat, dataType_, value_);
}

void TppVariable::PropertiesToDrawCommand(TppDrawCommand* command) {
  TppCustomVariable::PropertiesToDrawCommand(command);
  if (!lookAheadList_) return;
  TppCustomReport* report = GetReport();
  lookAheadList_->PrepareCommand(LookAheadKey(), command, report && report->FirstPass());
}

void TppVariable::WriteState(int32_t pageIndex) {
  uint8_t record[kVariableRecordSize] = {};
  record[0] = (DrawComponent() ? kDraw : 0) | (ReprintOnOverFlow() ? kReprint : 0);
  record[1] = static_cast<uint8_t>(dataType_);
  cachedTexts_.Write(pageIndex, value_, record + 2);
  WriteCacheRecord(pageIndex, record);
}

void TppVariable::SaveToCache(int32_t pageIndex) {
  WriteState(pageIndex);
  cacheSaved_ = true;
}

void TppVariable::RestoreFromCache(int32_t pageIndex) {
  uint8_t record[kVariableRecordSize] = {kAbsent};
  ReadCacheRecord(pageIndex, record);
  if (record[0] == kAbsent) return;
  SetDrawComponent(record[0] & kDraw);
  bool reprint = record[0] & kReprint;
  if (reprint != ReprintOnOverFlow()) SetReprintOnOverFlow(reprint);
  if (record[1] <= dtString) dataType_ = static_cast<TppDataType>(record[1]);
  value_ = cachedTexts_.Read(pageIndex, record + 2);
}

void TppVariable::ResetCache(int32_t pageIndex) {
  TppCustomVariable::ResetCache(pageIndex);
  cachedTexts_.DropFrom(pageIndex);
}

// ---------------------------------------------------------------- scripting

RA_IMPLEMENT_RTTI(TraTppVariableRTTI)
RA_IMPLEMENT_RTTI(TraTppSystemVariableRTTI)

const TraMembers* TraTppVariableRTTI::Members() const {
  using C = TppVariable;
  // OnCalc and OnReset hand the value by reference.
  auto value = [] { return std::vector<TraParamSpec>{raParam("Value", daVariant, nullptr, true)}; };
  static const TraMembers members(
      inherited::Members(),
      {raEvent("OldOnCalc", -1), raEvent("OnCalc", ciComponentCalc, value()),
       raEvent("OnReset", ciVariableReset, value()),
       raMethod("SaveToCache", {raParam("aCachePageNo", daInteger)},
                [](cls::TObject* o, TraParamList* list, bool) {
                  int32_t page = 0;
                  if (!list || !list->GetParam("aCachePageNo", page)) return false;
                  static_cast<C*>(o)->SaveToCache(page);
                  return true;
                }),
       raProperty<C, daInteger>("CalcOrder", &C::CalcOrder, &C::SetCalcOrder),
       raObjectProperty<C, TppCommunicator>("CalcComponent", &C::CalcComponent, &C::SetCalcComponent),
       raEnumProperty<C, TppVarEventType>("CalcType", &C::CalcType, &C::SetCalcType),
       raEnumProperty<C, TppDataType>("DataType", &C::DataType, &C::SetDataType),
       raObjectProperty<C, TppCommunicator>("ResetComponent", &C::ResetComponent, &C::SetResetComponent),
       raEnumProperty<C, TppVarEventType>("ResetType", &C::ResetType, &C::SetResetType),
       raProperty<C, daBoolean>("AsBoolean", &C::AsBoolean, &C::SetAsBoolean),
       raProperty<C, daChar>("AsChar", &C::AsChar, &C::SetAsChar),
       raProperty<C, daCurrency>("AsCurrency", &C::AsCurrency, &C::SetAsCurrency),
       raProperty<C, daDateTime>("AsDateTime", &C::AsDateTime, &C::SetAsDateTime),
       raProperty<C, daDate>("AsDate", &C::AsDate, &C::SetAsDate),
       raProperty<C, daDouble>("AsDouble", &C::AsDouble, &C::SetAsDouble),
       raProperty<C, daExtended>("AsExtended", &C::AsExtended, &C::SetAsExtended),
       raProperty<C, daInteger>("AsInteger", &C::AsInteger, &C::SetAsInteger),
       raProperty<C, daSingle>("AsSingle", &C::AsSingle, &C::SetAsSingle),
       raProperty<C, daString>("AsString", &C::AsString, &C::SetAsString),
       raProperty<C, daTime>("AsTime", &C::AsTime, &C::SetAsTime),
       raProperty<C, daVariant>("Value", &C::Value, &C::SetValue)});
  return &members;
}

const TraMembers* TraTppSystemVariableRTTI::Members() const {
  using C = TppSystemVariable;
  static const TraMembers members(inherited::Members(),
                                  {raEnumProperty<C, TppVarType>("VarType", &C::VarType, &C::SetVarType)});
  return &members;
}

// ---------------------------------------------------------------- registration

void ppRegisterVarUnit() {
  using namespace ppDrwCmdProps;
  cls::TPropInfo format =
      cls::StrProperty<TppCustomText>("DisplayFormat", &TppCustomText::DisplayFormat, &TppCustomText::SetDisplayFormat);
  const std::initializer_list<const char*> text = {"Color", "Font", "OnDrawCommandClick", "OnDrawCommandCreate",
                                                   "TextAlignment", "Transparent", "Visible", "WordWrap",
                                                   "Height", "Left", "Top", "Width"};
  using S = TppSystemVariable;
  auto& sys = S::StaticClass();
  cls::PublishProperty(sys, ppAutoSizeProperty(true));
  cls::PublishProperty(sys, format);
  cls::PublishProperty(sys, Enum<S, TppVarType>("VarType", &S::VarType, &S::SetVarType, vtDate));
  TppPrintable::PublishProperties(sys, text);

  using C = TppCalc;
  auto& calc = C::StaticClass();
  cls::PublishProperty(calc, ppAutoSizeProperty(true));
  cls::PublishProperty(calc, Enum<C, TppCalcType>("CalcType", &C::CalcType, &C::SetCalcType, TppCalcType::ctDate));
  cls::PublishProperty(calc, Enum<C, TppDataType>("CustomType", &C::CustomType, &C::SetCustomType, dtString));
  cls::PublishProperty(calc, format);
  cls::PublishProperty(calc, cls::MethodProperty<C>("OnCalc", &C::OnCalc));
  cls::PublishProperty(calc, cls::MethodProperty<C>("OnFormat", &C::OnFormat));
  TppPrintable::PublishProperties(calc, text);

  using V = TppVariable;
  auto& var = V::StaticClass();
  cls::PublishProperty(var, ppAutoSizeProperty(true));
  // A calc or reset component is a reference only for the kinds that keep
  // the user's choice, and a pipeline is named instead (DefineProperties).
  auto component = [](const char* name, TppVarEventType (V::*type)() const, TppCommunicator* (V::*get)() const,
                      void (V::*set)(TppCommunicator*)) {
    cls::TPropInfo p;
    p.Name = name;
    static const cls::TTypeInfo* communicator =
        cls::MakeClassTypeInfo("TppCommunicator", &TppCommunicator::StaticClass());
    p.Type = communicator;
    p.GetObj = [get](cls::TObject* o) -> cls::TObject* { return (static_cast<V*>(o)->*get)(); };
    p.SetObj = [set](cls::TObject* o, cls::TObject* v) {
      (static_cast<V*>(o)->*set)(cls::ObjectAs<TppCommunicator>(v));
    };
    p.Stored = [type, get](cls::TObject* o) {
      TppCommunicator* c = (static_cast<V*>(o)->*get)();
      return c && V::KeepsComponent((static_cast<V*>(o)->*type)()) && !cls::ObjectIs<TppDataPipeline>(c);
    };
    return p;
  };
  cls::PublishProperty(var, Enum<V, TppVarEventType>("CalcType", &V::CalcType, &V::SetCalcType, veTraversal));
  cls::PublishProperty(var, component("CalcComponent", &V::CalcType, &V::CalcComponent, &V::SetCalcComponent));
  cls::TPropInfo calcOrder =
      cls::OrdProperty<V, int32_t>("CalcOrder", cls::TypeInfoInteger(), &V::CalcOrder, &V::SetCalcOrder);
  calcOrder.HasDefault = true;
  calcOrder.Default = -1;
  cls::PublishProperty(var, calcOrder);
  cls::PublishProperty(var, Enum<V, TppDataType>("DataType", &V::DataType, &V::SetDataType, dtString));
  cls::PublishProperty(var, format);
  cls::PublishProperty(var, Bool<V>("LookAhead", &V::LookAhead, &V::SetLookAhead));
  cls::PublishProperty(var, cls::MethodProperty<V>("OnCalc", &V::OnCalc));
  cls::PublishProperty(var, cls::MethodProperty<V>("OldOnCalc", &V::OldOnCalc));
  cls::PublishProperty(var, cls::MethodProperty<V>("OnFormat", &V::OnFormat));
  cls::PublishProperty(var, cls::MethodProperty<V>("OnReset", &V::OnReset));
  cls::PublishProperty(var, Enum<V, TppVarEventType>("ResetType", &V::ResetType, &V::SetResetType, veReportEnd));
  cls::PublishProperty(var, component("ResetComponent", &V::ResetType, &V::ResetComponent, &V::SetResetComponent));
  TppPrintable::PublishProperties(var, text);
}

// ---- design popup menus ----

void TppCustomVariable::CreatePopupMenu(TppPopupMenu*& menu) {
  TppCustomText::CreatePopupMenu(menu);
  menu->AddAction<TppCustomVariable>(31, "DisplayFormat", 230, [](TppCustomVariable& v) {
    v.ShowDesignDialog(&TppCustomFormatDialog::StaticClass());
  });
  menu->AddAction<TppCustomVariable>(32, "LookAhead", 1131, [](TppCustomVariable& v) { v.ToggleLookAhead(); });
}

namespace {

// A VarType's item: its English name without blanks.
std::string VarTypeItemName(TppVarType type) {
  std::string name = kVarTypeNames[static_cast<int>(type)].Text;
  std::erase(name, ' ');
  return name;
}

}  // namespace

void TppSystemVariable::CreatePopupMenu(TppPopupMenu*& menu) {
  TppCustomVariable::CreatePopupMenu(menu);
  int order = 33;
  for (int t = 0; t < static_cast<int>(std::size(kVarTypeNames)); ++t) {
    const auto type = static_cast<TppVarType>(t);
    menu->AddItem(order++, VarTypeItemName(type), kVarTypeNames[t].Id, ppVarTypeName(type));
    menu->SetItemAction(VarTypeItemName(type), [type](cls::TComponent* c) {
      if (auto* v = cls::ObjectAs<TppSystemVariable>(c)) v->SetVarType(type);
    });
  }
}

void TppSystemVariable::UpdatePopupMenu(TppPopupMenu* menu) {
  TppCustomVariable::UpdatePopupMenu(menu);
  if (!menu) return;
  for (int t = 0; t < static_cast<int>(std::size(kVarTypeNames)); ++t)
    if (ui::TMenuItem* i = menu->FindItem(VarTypeItemName(static_cast<TppVarType>(t))))
      i->Checked = t == static_cast<int>(varType_);
}

void TppVariable::CreatePopupMenu(TppPopupMenu*& menu) {
  TppCustomVariable::CreatePopupMenu(menu);
  menu->AddAction<TppVariable>(33, "Calculations", 228, [](TppVariable& v) {
    v.ShowDesignDialog(&TppCustomCalcDialog::StaticClass());
  });
}
