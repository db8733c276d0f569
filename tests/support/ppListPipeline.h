// A pipeline over records kept in memory, for the tests of data-aware
// components: named string fields, one current record.
#pragma once
#include <map>
#include <string>
#include <vector>

#include "report/engine/ppDB.h"

class TppListPipeline : public TppDataPipeline {
  CLS_DECLARE_CLASS(TppListPipeline, TppDataPipeline)
 public:
  explicit TppListPipeline(cls::TComponent* owner);

  using TRecord = std::map<std::string, std::string>;
  // The fields of every record; a field a record lacks is null.
  void SetFieldNames(const std::vector<std::string>& names) { fieldNames_ = names; }
  void AddRecord(const TRecord& record) { records_.push_back(record); }
  int RecordCount() const { return static_cast<int>(records_.size()); }
  int RecordIndex() const { return index_; }
  // Opens the list at its first record.
  void Open();
  void Close() { active_ = false; }
  void First() { index_ = 0; }
  void Next();
  bool Eof() const { return index_ >= RecordCount(); }

  bool GetActive() const override { return active_; }
  TppDataType GetFieldDataType(const std::string& fieldName) override;
  bool CheckFieldName(const std::string& fieldName) override;
  std::string GetFieldAsString(const std::string& fieldName) override;

 private:
  std::vector<std::string> fieldNames_;
  std::vector<TRecord> records_;
  int index_ = 0;
  bool active_ = false;
};
