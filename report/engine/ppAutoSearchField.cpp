#include "report/engine/ppAutoSearchField.h"

#include <cfloat>
#include <cmath>
#include <cstdint>

#include "platform/classes/sysutils.h"
#include "platform/classes/typinfo.h"
#include "report/engine/ppDB.h"
#include "report/model/ppResMgr.h"

CLS_IMPLEMENT_COMPONENT(TppAutoSearchField)
CLS_IMPLEMENT_COMPONENT(TppAutoSearchGroup)
CLS_IMPLEMENT_COMPONENT(TppAutoSearchGroups)

// ---- the value reader ----

namespace {

bool IsDateType(TppDataType t) { return t == dtDate || t == dtTime || t == dtDateTime; }
bool IsIntegerType(TppDataType t) { return t == dtInteger || t == dtLongint; }
bool IsFloatType(TppDataType t) { return t == dtSingle || t == dtDouble || t == dtExtended; }
bool IsTextType(TppDataType t) { return t == dtChar || t == dtString || t == dtMemo; }

// The reason a value of the type does not convert (library message), 0
// when it converts; the converted value in OUT.
int Convert(TppDataType t, const std::string& value, cls::Variant& out) {
  if (IsDateType(t)) {
    int reason = t == dtDate ? 56 : t == dtTime ? 57 : 58;
    try {
      double d = t == dtDate ? cls::StrToDate(value) : t == dtTime ? cls::StrToTime(value) : cls::StrToDateTime(value);
      if (!std::isfinite(d) || !cls::IsValidDateTime(d)) return reason;
      out = cls::Variant::DateTime(d);
      return 0;
    } catch (const cls::Exception&) {
      return reason;
    }
  }
  if (IsIntegerType(t)) {
    int64_t i = 0;
    if (!cls::TryStrToInt(value, i) || i < INT32_MIN || i > INT32_MAX) return 59;
    out = cls::Variant(i);
    return 0;
  }
  if (IsFloatType(t)) {
    double d = 0;
    if (!cls::TryStrToFloat(value, d) || !std::isfinite(d)) return 59;
    if (t == dtSingle && std::fabs(d) > FLT_MAX) return 59;
    out = cls::Variant(d);
    return 0;
  }
  if (t == dtCurrency) {
    cls::Currency c;
    if (!cls::TryStrToCurr(value, c)) return 59;
    out = cls::Variant(c);
    return 0;
  }
  out = cls::Variant(value);
  return 0;
}

bool IsBooleanText(const std::string& value) {
  if (value.empty()) return false;
  switch (value[0]) {
    case '0': case '1': case 'F': case 'f': case 'N': case 'n': case 'T': case 't': case 'Y': case 'y':
      return true;
    default:
      return false;
  }
}

}  // namespace

std::vector<std::string> ppSplitSearchValues(const std::string& expression) {
  cls::TStringList list;
  list.SetCommaText(expression);
  std::vector<std::string> values;
  values.reserve(static_cast<size_t>(list.Count()));
  for (int i = 0; i < list.Count(); ++i) values.push_back(list.Strings(i));
  return values;
}

cls::Variant ppConvertSearchValue(TppDataType dataType, const std::string& value, const std::string& wildCard) {
  if (IsTextType(dataType)) {
    if (!wildCard.empty() && value.find(wildCard) == std::string::npos) return cls::Variant(value + wildCard);
    return cls::Variant(value);
  }
  cls::Variant out;
  if (int reason = Convert(dataType, value, out)) throw cls::EConvertError(value + " " + LoadLanguageString(reason));
  return out;
}

std::string ppCheckSearchValue(TppDataType dataType, const std::string& value) {
  if (dataType == dtBoolean) return IsBooleanText(value) ? std::string() : LoadLanguageString(60);
  cls::Variant out;
  int reason = Convert(dataType, value, out);
  return reason ? value + " " + LoadLanguageString(reason) : std::string();
}

std::string ppCheckSearchValues(TppDataType dataType, bool mandatory, const std::vector<std::string>& values) {
  if (values.empty()) return mandatory ? LoadLanguageString(61) : std::string();
  for (const std::string& v : values)
    if (std::string message = ppCheckSearchValue(dataType, v); !message.empty()) return message;
  return {};
}

std::string ppSearchOperatorText(TppSearchOperatorType op, TppDataType dataType) {
  using O = TppSearchOperatorType;
  bool date = IsDateType(dataType);
  switch (op) {
    case O::soEqual: return LoadLanguageString(date ? 92 : 93);
    case O::soNotEqual: return LoadLanguageString(date ? 94 : 95);
    case O::soLessThan: return LoadLanguageString(date ? 96 : 97);
    case O::soLessThanOrEqualTo: return LoadLanguageString(date ? 98 : 99);
    case O::soGreaterThan: return LoadLanguageString(date ? 100 : 1000);
    case O::soGreaterThanOrEqualTo: return LoadLanguageString(date ? 1001 : 1002);
    case O::soLike: return LoadLanguageString(1003);
    case O::soNotLike: return LoadLanguageString(1004);
    case O::soBetween: return LoadLanguageString(1005);
    case O::soNotBetween: return LoadLanguageString(1006);
    case O::soInList: return LoadLanguageString(1007);
    case O::soNotInList: return LoadLanguageString(1027);
    case O::soBlank: return LoadLanguageString(1008);
    case O::soNotBlank: return LoadLanguageString(1009);
  }
  return {};
}

// ---- the field ----

TppAutoSearchField::TppAutoSearchField(cls::TComponent* owner) : TppRelative(owner) {}

void TppAutoSearchField::BeforeDestruction() {
  SetDataPipeline(nullptr);
  inherited::BeforeDestruction();
}

void TppAutoSearchField::Notify(TppCommunicator* communicator, uint8_t operation) {
  inherited::Notify(communicator, operation);
  if (operation == ppopRemove && communicator && communicator == dataPipeline_) dataPipeline_ = nullptr;
}

void TppAutoSearchField::Loaded() {
  inherited::Loaded();
  ResolveDataPipeline();
}

void TppAutoSearchField::Changed() {
  if (HasState(cls::csLoading) || HasState(cls::csReading)) return;
  if (OnChange) OnChange(this);
}

void TppAutoSearchField::SetDataPipeline(TppDataPipeline* pipeline) {
  if (pipeline == dataPipeline_) return;
  if (dataPipeline_) RemoveNotify(dataPipeline_);
  dataPipeline_ = pipeline;
  if (dataPipeline_) {
    AddNotify(dataPipeline_);
    dataPipelineName_ = dataPipeline_->Name();
  }
}

void TppAutoSearchField::SetDataPipelineName(const std::string& name) {
  dataPipelineName_ = name;
  if (!HasState(cls::csLoading) && !HasState(cls::csReading)) ResolveDataPipeline();
}

void TppAutoSearchField::ResolveDataPipeline() {
  if (dataPipelineName_.empty()) return;
  if (dataPipeline_ && cls::SameText(dataPipeline_->Name(), dataPipelineName_)) return;
  // The report's owner holds the pipelines; look from the nearest owner out.
  for (cls::TComponent* owner = Owner(); owner; owner = owner->Owner()) {
    for (int i = 0; i < owner->ComponentCount(); ++i) {
      auto* p = cls::ObjectAs<TppDataPipeline>(owner->Components(i));
      if (p && cls::SameText(p->Name(), dataPipelineName_)) {
        std::string name = dataPipelineName_;
        SetDataPipeline(p);
        dataPipelineName_ = name;
        return;
      }
    }
  }
}

void TppAutoSearchField::Assign(cls::TPersistent* source) {
  auto* f = cls::ObjectAs<TppAutoSearchField>(source);
  if (!f) {
    inherited::Assign(source);
    return;
  }
  if (f == this) return;
  alignment_ = f->alignment_;
  dataType_ = f->dataType_;
  displayFormat_ = f->displayFormat_;
  displayWidth_ = f->displayWidth_;
  fieldAlias_ = f->fieldAlias_;
  fieldLength_ = f->fieldLength_;
  fieldName_ = f->fieldName_;
  groupOrder_ = f->groupOrder_;
  isDetail_ = f->isDetail_;
  linkable_ = f->linkable_;
  mandatory_ = f->mandatory_;
  search_ = f->search_;
  searchable_ = f->searchable_;
  searchExpression_ = f->searchExpression_;
  searchOperator_ = f->searchOperator_;
  searchOrder_ = f->searchOrder_;
  selectable_ = f->selectable_;
  selectOrder_ = f->selectOrder_;
  showAllValues_ = f->showAllValues_;
  sort_ = f->sort_;
  sortable_ = f->sortable_;
  sortExpression_ = f->sortExpression_;
  sortOrder_ = f->sortOrder_;
  sortType_ = f->sortType_;
  tableAlias_ = f->tableAlias_;
  tableName_ = f->tableName_;
  delimiter_ = f->delimiter_;
  wildCard_ = f->wildCard_;
  if (Parent()) SetPosition(f->Position());
  Changed();
}

bool TppAutoSearchField::AssignSearchValues(const TppAutoSearchField* other) {
  if (!other || other == this) return false;
  bool changed = searchExpression_ != other->searchExpression_ || showAllValues_ != other->showAllValues_;
  searchExpression_ = other->searchExpression_;
  showAllValues_ = other->showAllValues_;
  if (showAllValues_) mandatory_ = false;
  if (changed) Changed();
  return changed;
}

cls::Variant TppAutoSearchField::Values(int index) const {
  std::vector<std::string> values = ValueList();
  if (index < 0 || index >= static_cast<int>(values.size())) return {};
  return ppConvertSearchValue(dataType_, values[static_cast<size_t>(index)], wildCard_);
}

std::string TppAutoSearchField::Description() const {
  if (!criteriaEnabled_) return {};
  std::string text = LoadLanguageString(firstCriterion_ ? 54 : 55) + " " + fieldAlias_ + " ";
  if (showAllValues_) return text + LoadLanguageString(1036);
  return text + OperatorText() + " " + searchExpression_;
}

void TppAutoSearchField::SetAlignment(cls::TAlignment v) { Store(alignment_, v); }
void TppAutoSearchField::SetDisplayFormat(const std::string& v) { Store(displayFormat_, v); }
void TppAutoSearchField::SetDisplayWidth(int32_t v) { Store(displayWidth_, v); }
void TppAutoSearchField::SetFieldAlias(const std::string& v) { Store(fieldAlias_, v); }
void TppAutoSearchField::SetFieldLength(int32_t v) { Store(fieldLength_, v); }
void TppAutoSearchField::SetGroupOrder(int32_t v) { Store(groupOrder_, v); }
void TppAutoSearchField::SetIsDetail(bool v) { Store(isDetail_, v); }
void TppAutoSearchField::SetLinkable(bool v) { Store(linkable_, v); }
void TppAutoSearchField::SetSearch(bool v) { Store(search_, v); }
void TppAutoSearchField::SetSearchable(bool v) { Store(searchable_, v); }
void TppAutoSearchField::SetSearchExpression(const std::string& v) { Store(searchExpression_, v); }
void TppAutoSearchField::SetSearchOperator(TppSearchOperatorType v) { Store(searchOperator_, v); }
void TppAutoSearchField::SetSearchOrder(int32_t v) { Store(searchOrder_, v); }
void TppAutoSearchField::SetSelectable(bool v) { Store(selectable_, v); }
void TppAutoSearchField::SetSelectOrder(int32_t v) { Store(selectOrder_, v); }
void TppAutoSearchField::SetSort(bool v) { Store(sort_, v); }
void TppAutoSearchField::SetSortable(bool v) { Store(sortable_, v); }
void TppAutoSearchField::SetSortExpression(const std::string& v) { Store(sortExpression_, v); }
void TppAutoSearchField::SetSortOrder(int32_t v) { Store(sortOrder_, v); }
void TppAutoSearchField::SetSortType(TppSortOrderType v) { Store(sortType_, v); }
void TppAutoSearchField::SetTableAlias(const std::string& v) { Store(tableAlias_, v); }
void TppAutoSearchField::SetTableName(const std::string& v) { Store(tableName_, v); }
void TppAutoSearchField::SetDelimiter(const std::string& v) { Store(delimiter_, v); }
void TppAutoSearchField::SetWildCard(const std::string& v) { Store(wildCard_, v); }

void TppAutoSearchField::SetFieldName(const std::string& v) {
  if (fieldAlias_ == fieldName_) fieldAlias_ = v;
  Store(fieldName_, v);
}

void TppAutoSearchField::SetMandatory(bool v) {
  if (v) showAllValues_ = false;
  Store(mandatory_, v);
}

void TppAutoSearchField::SetShowAllValues(bool v) {
  if (v) mandatory_ = false;
  Store(showAllValues_, v);
}

void TppAutoSearchField::RegisterProperties() {
  using F = TppAutoSearchField;
  auto& c = F::StaticClass();
  auto withDefault = [&c](cls::TPropInfo p, int64_t value) {
    p.HasDefault = true;
    p.Default = value;
    cls::PublishProperty(c, std::move(p));
  };
  auto boolean = [&](const char* name, bool (F::*get)() const, void (F::*set)(bool), bool def) {
    withDefault(cls::OrdProperty<F, bool>(name, cls::TypeInfoBoolean(), get, set), def);
  };
  auto integer = [&](const char* name, int32_t (F::*get)() const, void (F::*set)(int32_t), int32_t def) {
    withDefault(cls::OrdProperty<F, int32_t>(name, cls::TypeInfoInteger(), get, set), def);
  };
  auto text = [&](const char* name, const std::string& (F::*get)() const, void (F::*set)(const std::string&)) {
    cls::PublishProperty(c, cls::StrProperty<F>(name, get, set));
  };
  withDefault(cls::OrdProperty<F, cls::TAlignment>("Alignment", cls::EnumTypeInfo<cls::TAlignment>(), &F::Alignment,
                                                  &F::SetAlignment),
              cls::taLeftJustify);
  withDefault(cls::OrdProperty<F, TppDataType>("DataType", cls::EnumTypeInfo<TppDataType>(), &F::DataType,
                                               &F::SetDataType),
              dtString);
  text("DisplayFormat", &F::DisplayFormat, &F::SetDisplayFormat);
  integer("DisplayWidth", &F::DisplayWidth, &F::SetDisplayWidth, 10);
  text("FieldAlias", &F::FieldAlias, &F::SetFieldAlias);
  integer("FieldLength", &F::FieldLength, &F::SetFieldLength, 10);
  text("FieldName", &F::FieldName, &F::SetFieldName);
  integer("GroupOrder", &F::GroupOrder, &F::SetGroupOrder, -1);
  boolean("IsDetail", &F::IsDetail, &F::SetIsDetail, false);
  boolean("Linkable", &F::Linkable, &F::SetLinkable, true);
  boolean("Mandatory", &F::Mandatory, &F::SetMandatory, false);
  withDefault(cls::OrdProperty<F, int>("Position", cls::TypeInfoInteger(), &F::Position, &F::SetPosition), -1);
  boolean("Search", &F::Search, &F::SetSearch, false);
  boolean("Searchable", &F::Searchable, &F::SetSearchable, true);
  text("SearchExpression", &F::SearchExpression, &F::SetSearchExpression);
  withDefault(cls::OrdProperty<F, TppSearchOperatorType>("SearchOperator", cls::EnumTypeInfo<TppSearchOperatorType>(),
                                                         &F::SearchOperator, &F::SetSearchOperator),
              0);
  integer("SearchOrder", &F::SearchOrder, &F::SetSearchOrder, -1);
  boolean("Selectable", &F::Selectable, &F::SetSelectable, true);
  integer("SelectOrder", &F::SelectOrder, &F::SetSelectOrder, -1);
  boolean("ShowAllValues", &F::ShowAllValues, &F::SetShowAllValues, false);
  boolean("Sort", &F::Sort, &F::SetSort, false);
  boolean("Sortable", &F::Sortable, &F::SetSortable, true);
  text("SortExpression", &F::SortExpression, &F::SetSortExpression);
  integer("SortOrder", &F::SortOrder, &F::SetSortOrder, -1);
  withDefault(cls::OrdProperty<F, TppSortOrderType>("SortType", cls::EnumTypeInfo<TppSortOrderType>(), &F::SortType,
                                                    &F::SetSortType),
              0);
  text("TableAlias", &F::TableAlias, &F::SetTableAlias);
  text("TableName", &F::TableName, &F::SetTableName);
  text("Delimiter", &F::Delimiter, &F::SetDelimiter);
  text("WildCard", &F::WildCard, &F::SetWildCard);
}

// ---- groups ----

std::string ppPipelineDescription(cls::TObject* pipeline) {
  if (!pipeline) return {};
  const cls::TPropInfo* p = cls::GetPropInfo(pipeline, "Description");
  if (!p || !p->GetStr) return {};
  return p->GetStr(pipeline);
}

int32_t ppPipelineAutoSearchTabOrder(cls::TObject* pipeline) {
  if (!pipeline) return 0;
  const cls::TPropInfo* p = cls::GetPropInfo(pipeline, "AutoSearchTabOrder");
  if (!p || !p->GetOrd) return 0;
  int64_t v = p->GetOrd(pipeline);
  return v < INT32_MIN || v > INT32_MAX ? 0 : static_cast<int32_t>(v);
}

TppAutoSearchField* TppAutoSearchGroup::Fields(int index) const {
  return cls::ObjectAs<TppAutoSearchField>(GetChild(index));
}

void TppAutoSearchGroup::BeforeDestruction() {
  try {
    TppAutoSearchField* first = Fields(0);
    TppDataPipeline* pipeline = first ? first->DataPipeline() : nullptr;
    const cls::TPropInfo* p = pipeline ? cls::GetPropInfo(pipeline, "AutoSearchTabOrder") : nullptr;
    if (p && p->SetOrd) p->SetOrd(pipeline, tabOrder_);
  } catch (...) {
  }
  inherited::BeforeDestruction();
}

TppAutoSearchGroup* TppAutoSearchGroups::Groups(int index) const {
  return cls::ObjectAs<TppAutoSearchGroup>(GetChild(index));
}

std::vector<TppAutoSearchField*> TppAutoSearchGroups::AddFields(const std::vector<TppAutoSearchField*>& fields) {
  std::vector<TppAutoSearchField*> copies;
  for (TppAutoSearchField* field : fields) {
    if (!field) continue;
    TppDataPipeline* pipeline = field->DataPipeline();
    std::string description = ppPipelineDescription(pipeline);
    TppAutoSearchGroup* group = nullptr;
    for (int i = 0; i < GroupCount() && !group; ++i)
      if (Groups(i)->Description() == description) group = Groups(i);
    if (!group) {
      cls::Owned<TppAutoSearchGroup> made(new TppAutoSearchGroup(nullptr));
      made->SetDescription(description);
      made->SetTabOrder(ppPipelineAutoSearchTabOrder(pipeline));
      made->SetParent(this);
      group = made.release();
    }
    cls::Owned<TppAutoSearchField> copy(new TppAutoSearchField(nullptr));
    copy->Assign(field);
    copy->SetDataPipeline(pipeline);
    copy->SetParent(group);
    copies.push_back(copy.release());
  }
  return copies;
}

std::vector<TppAutoSearchField*> TppAutoSearchGroups::FieldList() const {
  std::vector<TppAutoSearchField*> list;
  for (int g = 0; g < GroupCount(); ++g)
    for (int f = 0; f < Groups(g)->FieldCount(); ++f)
      if (TppAutoSearchField* field = Groups(g)->Fields(f)) list.push_back(field);
  return list;
}

// ---- scripting ----

RA_IMPLEMENT_RTTI(TraTppAutoSearchFieldRTTI)

const TraMembers* TraTppAutoSearchFieldRTTI::Members() const {
  using F = TppAutoSearchField;
  static const TraMembers members(
      inherited::Members(),
      {raProperty<F, daVariant>("Value", [](F* f) { return f->Value(); }),
       raIndexed(
           "Values", daVariant, nullptr,
           [](cls::TObject* o) { return static_cast<F*>(o)->ValueCount(); },
           [](cls::TObject* o, int i) { return TraValue(static_cast<F*>(o)->Values(i)); }),
       raProperty<F, daInteger>("ValueCount", [](F* f) { return f->ValueCount(); }),
       raMethod("DisableCriteria", {}, [](cls::TObject* o, TraParamList*, bool) {
         static_cast<F*>(o)->DisableCriteria();
         return true;
       })});
  return &members;
}

void ppRegisterAutoSearchFieldUnit() {
  TppAutoSearchField::RegisterProperties();
  cls::RegisterClass(&TppAutoSearchField::StaticClass());
  cls::RegisterClass(&TppAutoSearchGroup::StaticClass());
  cls::RegisterClass(&TppAutoSearchGroups::StaticClass());
  raRegisterRTTI(TraTppAutoSearchFieldRTTI::Instance());
}
