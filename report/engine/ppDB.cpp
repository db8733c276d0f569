#include "report/engine/ppDB.h"

CLS_IMPLEMENT_COMPONENT(TppDataPipeline)

TppDataPipeline::TppDataPipeline(cls::TComponent* owner) : TppRelative(owner) {}

bool TppDataPipeline::GetActive() const { return false; }
TppDataType TppDataPipeline::GetFieldDataType(const std::string&) { return dtNotKnown; }
std::string TppDataPipeline::GetFieldDisplayName(const std::string& fieldName) { return fieldName; }
bool TppDataPipeline::CheckFieldName(const std::string&) { return true; }
std::string TppDataPipeline::GetFieldAsString(const std::string&) { return std::string(); }
