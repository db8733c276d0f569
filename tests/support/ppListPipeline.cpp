#include "tests/support/ppListPipeline.h"

#include <algorithm>

#include "report/model/ppUtils.h"

CLS_IMPLEMENT_COMPONENT(TppListPipeline)

TppListPipeline::TppListPipeline(cls::TComponent* owner) : TppDataPipeline(owner) {}

void TppListPipeline::Open() {
  active_ = true;
  index_ = 0;
}

void TppListPipeline::Next() {
  if (index_ < RecordCount()) ++index_;
}

bool TppListPipeline::CheckFieldName(const std::string& fieldName) {
  return std::any_of(fieldNames_.begin(), fieldNames_.end(),
                     [&](const std::string& f) { return SameTextNoCase(f, fieldName); });
}

TppDataType TppListPipeline::GetFieldDataType(const std::string& fieldName) {
  return CheckFieldName(fieldName) ? dtString : dtNotKnown;
}

std::string TppListPipeline::GetFieldAsString(const std::string& fieldName) {
  if (!active_ || Eof()) return std::string();
  for (const auto& [name, value] : records_[static_cast<size_t>(index_)])
    if (SameTextNoCase(name, fieldName)) return value;
  return std::string();
}
