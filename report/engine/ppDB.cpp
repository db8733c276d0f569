#include "report/engine/ppDB.h"

#include "platform/classes/filer.h"
#include "platform/classes/sysutils.h"
#include "platform/classes/typinfo.h"
#include "report/model/ppUtils.h"

CLS_IMPLEMENT_COMPONENT(TppField)
CLS_IMPLEMENT_COMPONENT(TppMasterFieldLink)
CLS_IMPLEMENT_COMPONENT(TppDataPipeline)
CLS_IMPLEMENT_CLASS(TppDataPipelineList)

// ---------------------------------------------------------------- TppField

TppField::TppField(cls::TComponent* owner) : TppRelative(owner) {}

TppDataPipeline* TppField::DataPipeline() const { return cls::ObjectAs<TppDataPipeline>(Parent()); }

void TppField::SetDataType(TppDataType type) {
  TppDataPipeline* pipeline = DataPipeline();
  if (pipeline && !pipeline->IsDataTypeSupported(type))
    throw EInvalidPropertyError("DataType not supported by " + pipeline->ClassType()->Name);
  dataType_ = type;
}

std::string TppField::AsString() const {
  TppDataPipeline* p = DataPipeline();
  return p ? p->GetFieldAsString(fieldName_) : std::string();
}

double TppField::AsDouble() const {
  TppDataPipeline* p = DataPipeline();
  return p ? p->GetFieldAsDouble(fieldName_) : 0.0;
}

bool TppField::IsNull() const {
  TppDataPipeline* p = DataPipeline();
  return !p || p->GetFieldIsNull(fieldName_);
}

cls::Variant TppField::Value() const {
  TppDataPipeline* p = DataPipeline();
  return p ? p->GetFieldValue(fieldName_) : cls::Variant::Null();
}

// ---------------------------------------------------------------- TppMasterFieldLink

TppMasterFieldLink::TppMasterFieldLink(cls::TComponent* owner) : TppRelative(owner) {}

// ---------------------------------------------------------------- TppDataPipeline

TppDataPipeline::TppDataPipeline(cls::TComponent* owner) : TppRelative(owner) {
  EventMask().Include(ciPipelineRecordPositionChange);
}

void TppDataPipeline::BeforeDestruction() {
  ClearBookmarkList();
  FreeLinkRange();
  SetMasterDataPipeline(nullptr);
  while (details_.Count() > 0) details_[details_.Count() - 1]->SetMasterDataPipeline(nullptr);
  TppRelative::BeforeDestruction();
}

void TppDataPipeline::Fire(const cls::TNotifyEvent& handler, int eventId) {
  if (handler) handler(this);
  SendEventNotify(this, eventId, nullptr);
}

// ---- opening ----

void TppDataPipeline::Open() {
  OpenDataSet();
  if (GetActive()) {
    linkRangeValid_ = false;
    if (master_) BuildLinkRange();
    recordFlags_ = RangeEmpty() ? ppNoRecords : 0;
  }
  Fire(OnOpen, ciPipelineOpen);
}

void TppDataPipeline::Close() {
  SendEventNotify(this, ciPipelineBeforeClose, nullptr);
  CloseDataSet();
  recordFlags_ = 0;
  FreeLinkRange();
  DataChange();
  Fire(OnClose, ciPipelineClose);
}

void TppDataPipeline::DataChange() {
  if (HasState(cls::csLoading) || HasState(cls::csReading) || HasState(cls::csDestroying) || moving_) return;
  SendNotify(this, ppopDataChange);
  SendEventNotify(this, ciPipelineDataChange, nullptr);
  if (OnDataChange) OnDataChange(this);
}

// ---- range tests ----

bool TppDataPipeline::PassedCurrent(int sign) {
  if (!currentRecordBookmark_) return false;
  TppBookmark here = GetBookmark();
  if (!here) return false;
  int c = CompareBookmarks(here, currentRecordBookmark_);
  FreeBookmark(here);
  int direction = step_ < 0 ? -sign : sign;
  return direction > 0 ? c > 0 : c < 0;
}

bool TppDataPipeline::Bof() {
  if (!GetActive()) return true;
  if (Walking()) return Walk().empty() || traversalCount_ <= 0;
  switch (rangeBegin_) {
    case rbFirstRecord: return DataBof();
    case rbLastRecord: return DataEof();
    case rbCurrentRecord:
      if (!dataTraversed_) return rangeEnd_ == reCurrentRecord || DataBof();
      return PassedCurrent(-1);
  }
  return true;
}

bool TppDataPipeline::Eof() {
  if (!GetActive()) return true;
  if (Walking()) return Walk().empty() || traversalCount_ >= static_cast<int32_t>(Walk().size());
  // A step of 0 never reaches a data end: the range ends after one step.
  if (step_ == 0 && rangeEnd_ != reCount) return dataTraversed_;
  bool dataEnd = step_ > 0 ? DataEof() : DataBof();
  switch (rangeEnd_) {
    case reFirstRecord: return DataBof();
    case reLastRecord: return DataEof();
    case reCurrentRecord:
      if (!dataTraversed_) return DataBof() && DataEof();
      if (rangeBegin_ == rbCurrentRecord) return true;
      return dataEnd || PassedCurrent(1);
    case reCount:
      if (traversalCount_ >= rangeEndCount_) return true;
      return step_ != 0 && dataEnd;
  }
  return true;
}

bool TppDataPipeline::RangeEmpty() {
  if (!GetActive()) return true;
  if (Walking()) return Walk().empty();
  return (DataBof() && DataEof()) || Eof();
}

void TppDataPipeline::UpdateRecordFlags() {
  if (!GetActive() || HasState(cls::csDestroying) || (recordFlags_ & ppNoRecords)) return;
  uint8_t flags = 0;
  if (Bof()) flags |= ppFirstRecord;
  if (Eof()) flags |= ppLastRecord;
  recordFlags_ = flags;
}

void TppDataPipeline::RecordPositionChange() {
  Fire(OnRecordPositionChange, ciPipelineRecordPositionChange);
}

// ---- traversal ----

void TppDataPipeline::TraverseFirst() {
  dataTraversed_ = false;
  traversalCount_ = 0;
  if (GetActive()) {
    if (master_ && !linkRangeValid_) BuildLinkRange();
    moving_ = true;
    if (Walking()) {
      if (!Walk().empty()) DataGotoBookmark(Walk().front());
    } else if (rangeBegin_ == rbFirstRecord) {
      DataFirst();
    } else if (rangeBegin_ == rbLastRecord) {
      DataLast();
    } else if (currentRecordBookmark_) {
      DataGotoBookmark(currentRecordBookmark_);
    }
    moving_ = false;
    recordFlags_ = RangeEmpty() ? ppNoRecords : ppFirstRecord;
    RecordPositionChange();
    SkipEmptyMasterRecords(1);
  }
  Fire(OnFirst, ciPipelineFirst);
}

bool TppDataPipeline::StepOnce(int sign) {
  bool moved = false;
  moving_ = true;
  if (Walking()) {
    int32_t target = traversalCount_ + sign;
    int32_t size = static_cast<int32_t>(Walk().size());
    if (target >= 0) {
      traversalCount_ = target;
      if (target < size) {
        DataGotoBookmark(Walk()[static_cast<size_t>(target)]);
        moved = true;
      }
    }
  } else {
    bool atEnd = sign > 0 ? Eof() : Bof();
    if (!atEnd && !RangeFixed() && step_ != 0) {
      DataMoveBy(sign * step_);
      moved = true;
    }
    traversalCount_ += sign;
  }
  moving_ = false;
  dataTraversed_ = true;
  return moved;
}

void TppDataPipeline::TraverseNext() {
  if (GetActive()) {
    bool moved = StepOnce(1);
    UpdateRecordFlags();
    if (moved) {
      RecordPositionChange();
      SkipEmptyMasterRecords(1);
    }
  }
  Fire(OnNext, ciPipelineNext);
}

void TppDataPipeline::TraversePrior() {
  if (GetActive()) {
    bool moved = StepOnce(-1);
    UpdateRecordFlags();
    if (moved) {
      RecordPositionChange();
      SkipEmptyMasterRecords(-1);
    }
  }
  Fire(OnPrior, ciPipelinePrior);
}

void TppDataPipeline::TraverseLast() {
  if (GetActive()) {
    if (master_ && !linkRangeValid_) BuildLinkRange();
    if (!Walking() && rangeEnd_ == reCount) {
      TraverseFirst();
      // Only while the count is not reached and the range goes on: a
      // negative count or a short range ends the walk.
      while (traversalCount_ < rangeEndCount_ && !Eof()) TraverseNext();
    } else {
      moving_ = true;
      if (Walking()) {
        if (!Walk().empty()) {
          traversalCount_ = static_cast<int32_t>(Walk().size()) - 1;
          DataGotoBookmark(Walk().back());
        }
      } else if (rangeEnd_ == reFirstRecord) {
        DataFirst();
      } else if (rangeEnd_ == reLastRecord) {
        DataLast();
      } else if (currentRecordBookmark_) {
        DataGotoBookmark(currentRecordBookmark_);
      }
      moving_ = false;
      dataTraversed_ = true;
      RecordPositionChange();
    }
    bool empty = (recordFlags_ & ppNoRecords) || (Walking() ? Walk().empty() : DataBof() && DataEof());
    recordFlags_ = empty ? ppNoRecords : ppLastRecord;
    SkipEmptyMasterRecords(-1);
  }
  Fire(OnLast, ciPipelineLast);
}

void TppDataPipeline::GotoBookmark(TppBookmark bookmark) {
  if (GetActive() && bookmark) {
    moving_ = true;
    DataGotoBookmark(bookmark);
    moving_ = false;
    RecordPositionChange();
  }
  Fire(OnGotoBookmark, ciPipelineGotoBookmark);
}

void TppDataPipeline::RestoreTraversal(TppBookmark bookmark, int32_t traversalCount, uint8_t recordFlags) {
  if (bookmark) GotoBookmark(bookmark);
  traversalCount_ = traversalCount;
  dataTraversed_ = traversalCount != 0;
  recordFlags_ = recordFlags;
}

void TppDataPipeline::DoTraversal() {
  SendEventNotify(this, ciPipelineTraversal, nullptr);
  if (OnTraversal) OnTraversal(this);
}

// ---- master records without detail records ----

bool TppDataPipeline::DetailsEmpty() const {
  bool any = false;
  for (TppDataPipeline* d : details_) {
    // One detail that keeps its empty masters keeps them all.
    if (!d->skipWhenNoRecords_) return false;
    if (!d->GetActive()) continue;
    any = true;
    if (!d->NoRecords()) return false;
  }
  return any;
}

void TppDataPipeline::SkipEmptyMasterRecords(int sign) {
  if (details_.Count() == 0) return;
  while (!(recordFlags_ & ppNoRecords) && DetailsEmpty()) {
    if (sign > 0 ? Eof() : Bof()) break;
    if (!StepOnce(sign)) {
      UpdateRecordFlags();
      break;
    }
    UpdateRecordFlags();
    RecordPositionChange();
  }
}

// ---- kept bookmarks ----

void TppDataPipeline::ClearBookmarkList() {
  std::vector<TppBookmark> list;
  list.swap(bookmarkList_);
  for (TppBookmark b : list) FreeBookmark(b);
}

// ---- master and details ----

void TppDataPipeline::SetMasterDataPipeline(TppDataPipeline* master) {
  if (master == master_) return;
  for (TppDataPipeline* p = master; p; p = p->master_)
    if (p == this) return;
  if (master_) {
    TppDataPipeline* old = master_;
    master_ = nullptr;
    old->RemoveDetail(this);
    old->RemoveEventNotify(this);
    RemoveNotify(old);
  }
  FreeLinkRange();
  master_ = master;
  if (master_) {
    masterName_ = master_->Name();
    AddNotify(master_);
    master_->AddEventNotify(this);
    master_->AddDetail(this);
  } else {
    masterName_.clear();
  }
}

void TppDataPipeline::AddDetail(TppDataPipeline* detail) {
  if (!details_.Contains(detail)) details_.Add(detail);
}

void TppDataPipeline::RemoveDetail(TppDataPipeline* detail) { details_.Remove(detail); }

void TppDataPipeline::ResolveMasterDataPipeline(const TppDataPipelineList& list) {
  if (master_ || masterName_.empty()) return;
  if (TppDataPipeline* p = list.FindPipelineByName(masterName_)) SetMasterDataPipeline(p);
}

std::vector<TppMasterFieldLink*> TppDataPipeline::MasterFieldLinks() const {
  std::vector<TppMasterFieldLink*> links;
  for (int i = 0; i < ChildCount(); ++i)
    if (auto* l = cls::ObjectAs<TppMasterFieldLink>(GetChild(i))) links.push_back(l);
  return links;
}

void TppDataPipeline::FreeLinkRange() {
  std::vector<TppBookmark> range;
  range.swap(linkRange_);
  linkRangeValid_ = false;
  for (TppBookmark b : range) FreeBookmark(b);
}

bool TppDataPipeline::LinkFieldsMatch(const std::vector<TppMasterFieldLink*>& links) {
  for (TppMasterFieldLink* l : links) {
    if (master_->GetFieldIsNull(l->MasterFieldName()) || GetFieldIsNull(l->DetailFieldName())) return false;
    std::string m = master_->GetFieldAsString(l->MasterFieldName());
    std::string d = GetFieldAsString(l->DetailFieldName());
    if (l->IsCaseSensitive() ? m != d : !SameTextNoCase(m, d)) return false;
  }
  return true;
}

void TppDataPipeline::BuildLinkRange() {
  FreeLinkRange();
  if (!master_ || !GetActive()) return;
  linkRangeValid_ = true;
  if (!master_->GetActive() || master_->NoRecords()) return;
  std::vector<TppMasterFieldLink*> links = MasterFieldLinks();
  moving_ = true;
  DataFirst();
  while (!DataEof()) {
    if (LinkFieldsMatch(links)) linkRange_.push_back(GetBookmark());
    DataMoveBy(1);
  }
  if (!linkRange_.empty()) DataGotoBookmark(linkRange_.front());
  moving_ = false;
  traversalCount_ = 0;
  dataTraversed_ = false;
  recordFlags_ = linkRange_.empty() ? ppNoRecords : ppFirstRecord;
}

// ---- fields ----

int TppDataPipeline::FieldCount() const {
  int n = 0;
  for (int i = 0; i < ChildCount(); ++i)
    if (cls::ObjectIs<TppField>(GetChild(i))) ++n;
  return n;
}

TppField* TppDataPipeline::Fields(int index) const {
  int n = 0;
  for (int i = 0; i < ChildCount(); ++i)
    if (auto* f = cls::ObjectAs<TppField>(GetChild(i)))
      if (n++ == index) return f;
  return nullptr;
}

int TppDataPipeline::IndexOfFieldName(const std::string& fieldName) const {
  int n = 0;
  for (int i = 0; i < ChildCount(); ++i)
    if (auto* f = cls::ObjectAs<TppField>(GetChild(i))) {
      if (SameTextNoCase(f->FieldName(), fieldName)) return n;
      ++n;
    }
  return -1;
}

TppField* TppDataPipeline::GetFieldForName(const std::string& fieldName) const {
  int i = IndexOfFieldName(fieldName);
  return i < 0 ? nullptr : Fields(i);
}

std::vector<std::string> TppDataPipeline::FieldNames() const {
  std::vector<std::string> names;
  for (int i = 0; i < ChildCount(); ++i)
    if (auto* f = cls::ObjectAs<TppField>(GetChild(i))) names.push_back(f->FieldName());
  return names;
}

bool TppDataPipeline::GetActive() const { return false; }

TppDataType TppDataPipeline::GetFieldDataType(const std::string& fieldName) {
  TppField* f = GetFieldForName(fieldName);
  return f ? f->DataType() : dtNotKnown;
}

std::string TppDataPipeline::GetFieldDisplayName(const std::string& fieldName) {
  TppField* f = GetFieldForName(fieldName);
  return f && !f->FieldAlias().empty() ? f->FieldAlias() : fieldName;
}

bool TppDataPipeline::CheckFieldName(const std::string& fieldName) {
  return FieldCount() == 0 || IndexOfFieldName(fieldName) >= 0;
}

std::string TppDataPipeline::GetFieldAsString(const std::string&) { return std::string(); }

double TppDataPipeline::GetFieldAsDouble(const std::string& fieldName) {
  double v = 0;
  return cls::TryStrToFloat(GetFieldAsString(fieldName), v) ? v : 0.0;
}

bool TppDataPipeline::GetFieldIsNull(const std::string&) { return true; }

cls::Variant TppDataPipeline::GetFieldValue(const std::string& fieldName) {
  if (GetFieldIsNull(fieldName)) return cls::Variant::Null();
  switch (GetFieldDataType(fieldName)) {
    case dtBoolean: return cls::Variant(GetFieldAsDouble(fieldName) != 0);
    case dtDate:
    case dtTime:
    case dtDateTime: return cls::Variant::DateTime(GetFieldAsDouble(fieldName));
    case dtInteger:
    case dtLongint:
    case dtLargeInt: return cls::Variant(static_cast<long long>(GetFieldAsDouble(fieldName)));
    case dtSingle:
    case dtDouble:
    case dtExtended:
    case dtCurrency: return cls::Variant(GetFieldAsDouble(fieldName));
    default: return cls::Variant(GetFieldAsString(fieldName));
  }
}
bool TppDataPipeline::IsDataTypeSupported(TppDataType) { return true; }
TppBookmark TppDataPipeline::GetBookmark() { return 0; }
void TppDataPipeline::FreeBookmark(TppBookmark) {}
int TppDataPipeline::CompareBookmarks(TppBookmark a, TppBookmark b) { return a < b ? -1 : a > b ? 1 : 0; }
int32_t TppDataPipeline::GetRecordCount() { return 0; }

// ---- notices ----

void TppDataPipeline::Notify(TppCommunicator* communicator, uint8_t operation) {
  inherited::Notify(communicator, operation);
  if (operation != ppopRemove || !communicator) return;
  if (communicator == master_) {
    // The master's own teardown unlinks it; drop what belongs to it.
    master_->RemoveDetail(this);
    master_->RemoveEventNotify(this);
    master_ = nullptr;
    FreeLinkRange();
  }
  // Any communicator may be linked (a variable counting its records).
  if (auto* detail = cls::ObjectAs<TppDataPipeline>(communicator)) details_.Remove(detail);
}

void TppDataPipeline::EventNotify(TppCommunicator* sender, int eventId, TraParamList* params) {
  inherited::EventNotify(sender, eventId, params);
  if (eventId != ciPipelineRecordPositionChange || !master_ || sender != master_) return;
  if (!GetActive()) {
    FreeLinkRange();
    return;
  }
  BuildLinkRange();
  Fire(OnMasterRecordPositionChange, ciPipelineMasterRecordPositionChange);
  RecordPositionChange();
}

void TppDataPipeline::DefineProperties(cls::TFiler* filer) {
  inherited::DefineProperties(filer);
  filer->DefineProperty(
      "MasterDataPipelineName", [this](cls::TReader& r) { masterName_ = r.ReadString(); },
      [this](cls::TWriter& w) { w.WriteString(master_ ? master_->Name() : masterName_); }, master_ != nullptr);
}

// ---------------------------------------------------------------- TppDataPipelineList

void TppDataPipelineList::AddPipeline(TppDataPipeline* pipeline) {
  if (pipeline && IndexOfObject(pipeline) < 0) AddObject(pipeline->Name(), pipeline);
}

TppDataPipeline* TppDataPipelineList::FindPipelineByName(const std::string& name) const {
  for (int i = 0; i < Count(); ++i) {
    TppDataPipeline* p = GetPipeline(i);
    if (p && SameTextNoCase(p->Name(), name)) return p;
  }
  return nullptr;
}

TppDataPipeline* TppDataPipelineList::GetPipeline(int index) const {
  return index >= 0 && index < Count() ? cls::ObjectAs<TppDataPipeline>(Objects(index)) : nullptr;
}

// ---------------------------------------------------------------- registration

namespace {

template <class C>
cls::TPropInfo BoolProp(const char* name, bool (C::*get)() const, void (C::*set)(bool)) {
  return cls::OrdProperty<C, bool>(name, cls::TypeInfoBoolean(), get, set);
}
template <class C>
cls::TPropInfo IntProp(const char* name, int32_t (C::*get)() const, void (C::*set)(int32_t)) {
  return cls::OrdProperty<C, int32_t>(name, cls::TypeInfoInteger(), get, set);
}
template <class C>
cls::TPropInfo StrProp(const char* name, const std::string& (C::*get)() const, void (C::*set)(const std::string&)) {
  return cls::StrProperty<C>(name, get, set);
}
template <class C, class E>
cls::TPropInfo EnumProp(const char* name, E (C::*get)() const, void (C::*set)(E)) {
  return cls::OrdProperty<C, E>(name, cls::EnumTypeInfo<E>(), get, set);
}
cls::TPropInfo WithDefault(cls::TPropInfo p, int64_t value) {
  p.HasDefault = true;
  p.Default = value;
  return p;
}

void PublishField() {
  using F = TppField;
  cls::TClassInfo& c = F::StaticClass();
  for (cls::TPropInfo p : {
           WithDefault(EnumProp<F>("Alignment", &F::Alignment, &F::SetAlignment), cls::taLeftJustify),
           WithDefault(EnumProp<F>("DataType", &F::DataType, &F::SetDataType), dtString),
           StrProp<F>("DisplayFormat", &F::DisplayFormat, &F::SetDisplayFormat),
           IntProp<F>("DisplayWidth", &F::DisplayWidth, &F::SetDisplayWidth),
           StrProp<F>("FieldAlias", &F::FieldAlias, &F::SetFieldAlias),
           IntProp<F>("FieldLength", &F::FieldLength, &F::SetFieldLength),
           StrProp<F>("FieldName", &F::FieldName, &F::SetFieldName),
           WithDefault(IntProp<F>("GroupOrder", &F::GroupOrder, &F::SetGroupOrder), -1),
           WithDefault(BoolProp<F>("IsDetail", &F::IsDetail, &F::SetIsDetail), 0),
           WithDefault(BoolProp<F>("Linkable", &F::Linkable, &F::SetLinkable), 1),
           WithDefault(BoolProp<F>("Mandatory", &F::Mandatory, &F::SetMandatory), 0),
           WithDefault(IntProp<F>("Position", &F::FieldPosition, &F::SetFieldPosition), -1),
           WithDefault(BoolProp<F>("Searchable", &F::Searchable, &F::SetSearchable), 1),
           WithDefault(BoolProp<F>("Search", &F::Search, &F::SetSearch), 0),
           StrProp<F>("SearchExpression", &F::SearchExpression, &F::SetSearchExpression),
           WithDefault(IntProp<F>("SearchOrder", &F::SearchOrder, &F::SetSearchOrder), -1),
           WithDefault(BoolProp<F>("Selectable", &F::Selectable, &F::SetSelectable), 1),
           WithDefault(IntProp<F>("SelectOrder", &F::SelectOrder, &F::SetSelectOrder), -1),
           WithDefault(BoolProp<F>("ShowAllValues", &F::ShowAllValues, &F::SetShowAllValues), 0),
           WithDefault(BoolProp<F>("Sortable", &F::Sortable, &F::SetSortable), 1),
           WithDefault(BoolProp<F>("Sort", &F::Sort, &F::SetSort), 0),
           StrProp<F>("SortExpression", &F::SortExpression, &F::SetSortExpression),
           WithDefault(IntProp<F>("SortOrder", &F::SortOrder, &F::SetSortOrder), -1),
           WithDefault(EnumProp<F>("SortType", &F::SortType, &F::SetSortType), 0),
           StrProp<F>("TableAlias", &F::TableAlias, &F::SetTableAlias),
           StrProp<F>("TableName", &F::TableName, &F::SetTableName),
       })
    cls::PublishProperty(c, std::move(p));
}

void PublishMasterFieldLink() {
  using L = TppMasterFieldLink;
  cls::TClassInfo& c = L::StaticClass();
  cls::PublishProperty(c, StrProp<L>("MasterFieldName", &L::MasterFieldName, &L::SetMasterFieldName));
  cls::PublishProperty(c, StrProp<L>("DetailFieldName", &L::DetailFieldName, &L::SetDetailFieldName));
  cls::PublishProperty(c, EnumProp<L>("DetailSortOrder", &L::DetailSortOrder, &L::SetDetailSortOrder));
  cls::PublishProperty(c,
                       WithDefault(BoolProp<L>("IsCaseSensitive", &L::IsCaseSensitive, &L::SetIsCaseSensitive), 0));
  cls::PublishProperty(c, WithDefault(EnumProp<L>("CollationType", &L::CollationType, &L::SetCollationType), 0));
}

void PublishPipeline() {
  using P = TppDataPipeline;
  cls::TClassInfo& c = P::StaticClass();
  cls::PublishProperty(c, WithDefault(EnumProp<P>("RangeBegin", &P::RangeBegin, &P::SetRangeBegin), rbFirstRecord));
  cls::PublishProperty(c, WithDefault(EnumProp<P>("RangeEnd", &P::RangeEnd, &P::SetRangeEnd), reLastRecord));
  cls::PublishProperty(c, WithDefault(IntProp<P>("RangeEndCount", &P::RangeEndCount, &P::SetRangeEndCount), 0));
  cls::PublishProperty(
      c, WithDefault(BoolProp<P>("SkipWhenNoRecords", &P::SkipWhenNoRecords, &P::SetSkipWhenNoRecords), 1));
  cls::PublishProperty(c, WithDefault(BoolProp<P>("Visible", &P::Visible, &P::SetVisible), 1));
}

}  // namespace

// ---------------------------------------------------------------- scripting

RA_IMPLEMENT_RTTI(TraTppDataPipelineRTTI)

const TraMembers* TraTppDataPipelineRTTI::Members() const {
  static const TraMembers members(inherited::Members(), [] {
    std::vector<TraMember> events;
    for (int id = ciPipelineRecordPositionChange; id <= ciPipelineClose; ++id)
      events.push_back(raEvent(ppEventName(id), id));
    return events;
  }());
  return &members;
}

RA_IMPLEMENT_RTTI(TraTppFieldRTTI)

const TraMembers* TraTppFieldRTTI::Members() const {
  using F = TppField;
  static const TraMembers members(inherited::Members(),
                                  {raProperty<F, daDouble>("AsDouble", &F::AsDouble),
                                   raProperty<F, daString>("AsString", &F::AsString),
                                   raProperty<F, daBoolean>("IsNull", &F::IsNull),
                                   raObjectProperty<F, TppDataPipeline>("DataPipeline", &F::DataPipeline),
                                   raProperty<F, daVariant>("Value", &F::Value)});
  return &members;
}

TppDataPipeline* ppPipelineNamed(const std::vector<TppDataPipeline*>& list, const std::string& name) {
  if (name.empty()) return nullptr;
  for (TppDataPipeline* p : list)
    if (p && cls::SameText(p->Name(), name)) return p;
  return nullptr;
}

void ppDefinePipelineName(cls::TFiler* filer, TppDataPipeline* const& current, std::string& name) {
  filer->DefineProperty(
      "DataPipelineName", [&name](cls::TReader& r) { name = r.ReadString(); },
      [&current, &name](cls::TWriter& w) { w.WriteString(current ? current->Name() : name); },
      current || !name.empty());
}

void ppRegisterDBUnit() {
  raRegisterRTTI(TraTppDataPipelineRTTI::Instance());
  raRegisterRTTI(TraTppFieldRTTI::Instance());
  PublishField();
  PublishMasterFieldLink();
  PublishPipeline();
  cls::RegisterClass(&TppDataPipeline::StaticClass());
  cls::RegisterClass(&TppField::StaticClass());
  cls::RegisterClass(&TppMasterFieldLink::StaticClass());
}
