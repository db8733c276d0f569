#include "tests/support/ppListPipeline.h"

#include <algorithm>
#include <mutex>

#include "platform/classes/streams.h"
#include "platform/classes/sysutils.h"
#include "platform/classes/typinfo.h"
#include "report/model/ppUtils.h"

CLS_IMPLEMENT_COMPONENT(TppListPipeline)

TppListPipeline::TppListPipeline(cls::TComponent* owner) : TppDataPipeline(owner) {
  static std::once_flag once;
  std::call_once(once, [] {
    using L = TppListPipeline;
    cls::PublishProperty(L::StaticClass(), cls::StrProperty<L>("Description", &L::Description, &L::SetDescription));
    cls::PublishProperty(L::StaticClass(), cls::OrdProperty<L, int32_t>("AutoSearchTabOrder", cls::TypeInfoInteger(),
                                                                         &L::AutoSearchTabOrder,
                                                                         &L::SetAutoSearchTabOrder));
  });
}

TppField* TppListPipeline::AddField(const std::string& name, TppDataType type) {
  auto* field = new TppField(this);
  field->SetFieldName(name);
  field->SetParent(this);
  field->SetDataType(type);
  return field;
}

void TppListPipeline::SetFieldNames(const std::vector<std::string>& names) {
  for (const std::string& n : names) AddField(n);
}

void TppListPipeline::ClearRecords() {
  records_.clear();
  GoTo(0);
  DataChange();
}

void TppListPipeline::OpenDataSet() {
  active_ = true;
  GoTo(0);
}

void TppListPipeline::GoTo(int index) {
  bool empty = records_.empty();
  index_ = empty ? 0 : std::clamp(index, 0, RecordCount() - 1);
  bof_ = eof_ = empty;
}

void TppListPipeline::DataMoveBy(int32_t count) {
  if (records_.empty() || count == 0) return;
  int64_t target = static_cast<int64_t>(index_) + count;
  bof_ = eof_ = false;
  if (target >= RecordCount()) {
    index_ = RecordCount() - 1;
    eof_ = true;
  } else if (target < 0) {
    index_ = 0;
    bof_ = true;
  } else {
    index_ = static_cast<int>(target);
  }
}

void TppListPipeline::DataGotoBookmark(TppBookmark bookmark) {
  if (bookmark >= 1 && bookmark <= records_.size()) GoTo(static_cast<int>(bookmark - 1));
}

TppBookmark TppListPipeline::GetBookmark() {
  if (!active_ || records_.empty()) return 0;
  ++bookmarksOut_;
  return static_cast<TppBookmark>(index_) + 1;
}

void TppListPipeline::FreeBookmark(TppBookmark bookmark) {
  if (bookmark) --bookmarksOut_;
}

int TppListPipeline::CompareBookmarks(TppBookmark a, TppBookmark b) { return a < b ? -1 : a > b ? 1 : 0; }

bool TppListPipeline::IsDataTypeSupported(TppDataType type) {
  return type != dtBLOB && type != dtGraphic && type != dtNotKnown;
}

const TppListPipeline::TValue* TppListPipeline::Value(const std::string& fieldName) const {
  if (!active_ || records_.empty()) return nullptr;
  for (const auto& [name, value] : records_[static_cast<size_t>(index_)])
    if (SameTextNoCase(name, fieldName)) return &value;
  return nullptr;
}

bool TppListPipeline::GetFieldIsNull(const std::string& fieldName) {
  const TValue* v = Value(fieldName);
  return !v || std::holds_alternative<std::monostate>(*v);
}

double TppListPipeline::GetFieldAsDouble(const std::string& fieldName) {
  const TValue* v = Value(fieldName);
  if (!v) return 0;
  if (auto* b = std::get_if<bool>(v)) return *b ? 1 : 0;
  if (auto* i = std::get_if<int64_t>(v)) return static_cast<double>(*i);
  if (auto* d = std::get_if<double>(v)) return *d;
  double parsed = 0;
  if (auto* s = std::get_if<std::string>(v)) cls::TryStrToFloat(*s, parsed);
  return parsed;
}

std::string TppListPipeline::GetFieldAsString(const std::string& fieldName) {
  const TValue* v = Value(fieldName);
  if (!v || std::holds_alternative<std::monostate>(*v)) return std::string();
  if (auto* s = std::get_if<std::string>(v)) return *s;
  if (auto* b = std::get_if<bool>(v)) return *b ? "True" : "False";
  if (auto* i = std::get_if<int64_t>(v)) return cls::IntToStr(*i);
  double d = std::get<double>(*v);
  switch (GetFieldDataType(fieldName)) {
    case dtDate: return cls::DateToStr(d);
    case dtTime: return cls::TimeToStr(d);
    case dtDateTime: return cls::DateTimeToStr(d);
    default: return cls::FloatToStrG(d);
  }
}

// ---- writing ----

bool TppListPipeline::Locate(const std::string& fieldName, const std::string& value) {
  if (!active_) Open();
  for (int i = 0; i < RecordCount(); ++i) {
    GoTo(i);
    if (cls::SameText(GetFieldAsString(fieldName), value)) return true;
  }
  return false;
}

void TppListPipeline::Insert() {
  if (!active_) Open();
  records_.emplace_back();
  GoTo(RecordCount() - 1);
  editing_ = true;
}

void TppListPipeline::Edit() {
  if (!active_ || records_.empty()) throw EDataError("No record to edit");
  editing_ = true;
}

void TppListPipeline::Post() {
  if (!editing_) throw EDataError("No record in edit mode");
  editing_ = false;
  ++posts_;
  DataChange();
}

void TppListPipeline::SetFieldAsString(const std::string& fieldName, const std::string& value) {
  if (!editing_) throw EDataError("No record in edit mode");
  TRecord& record = records_[static_cast<size_t>(index_)];
  for (auto& [name, v] : record)
    if (SameTextNoCase(name, fieldName)) {
      v = value;
      return;
    }
  record[fieldName] = value;
}

void TppListPipeline::GetFieldAsStream(const std::string& fieldName, cls::TStream* stream) {
  const TValue* v = Value(fieldName);
  if (auto* s = v ? std::get_if<std::string>(v) : nullptr)
    stream->WriteBuffer(s->data(), static_cast<int64_t>(s->size()));
}

void TppListPipeline::SetFieldFromStream(const std::string& fieldName, cls::TStream* stream) {
  std::string bytes(static_cast<size_t>(stream->Size()), '\0');
  stream->SetPosition(0);
  if (!bytes.empty()) stream->ReadBuffer(bytes.data(), static_cast<int64_t>(bytes.size()));
  SetFieldAsString(fieldName, bytes);
}
