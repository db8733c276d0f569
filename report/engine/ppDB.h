// TppDataPipeline: the library's abstract record source. This declares
// what printable objects ask of a pipeline; traversal, fields and events
// come with the full pipeline. The base class has no data: it is never
// active, knows no field types and rejects no field.
#pragma once
#include <string>

#include "report/model/ppRelatv.h"
#include "report/model/ppTypes.h"

class TppDataPipeline : public TppRelative {
  CLS_DECLARE_CLASS(TppDataPipeline, TppRelative)
 public:
  explicit TppDataPipeline(cls::TComponent* owner);

  bool Active() const { return GetActive(); }

  virtual bool GetActive() const;
  // The data type of a field; dtNotKnown for a field the pipeline lacks.
  virtual TppDataType GetFieldDataType(const std::string& fieldName);
  // The name a field is shown by; the field name itself unless the
  // pipeline knows better.
  virtual std::string GetFieldDisplayName(const std::string& fieldName);
  // False when the pipeline rejects the field name.
  virtual bool CheckFieldName(const std::string& fieldName);
  // The current record's value of a field as text, formatted by the
  // field's type; empty for a null value or a field the pipeline lacks.
  virtual std::string GetFieldAsString(const std::string& fieldName);
};
