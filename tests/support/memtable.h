// An in-memory table of records for tests of what reads tables through
// IppDataTable: rows of field values by field name, with counts of opens
// and walks so tests can see how it was read.
#pragma once
#include <map>
#include <string>
#include <vector>

#include "platform/classes/classes.h"
#include "report/model/ppIntf.h"

namespace testing_support {

class TMemTable : public cls::TComponent, public IppDataTable {
 public:
  using Row = std::map<std::string, std::string>;

  explicit TMemTable(cls::TComponent* owner = nullptr) : cls::TComponent(owner) {}

  std::vector<Row> rows;
  int opens = 0;
  int firsts = 0;

  bool Active() override { return active_; }
  void Open() override {
    ++opens;
    active_ = true;
  }
  void Close() { active_ = false; }
  void First() override {
    ++firsts;
    at_ = 0;
  }
  void Next() override {
    if (at_ < rows.size()) ++at_;
  }
  bool Eof() override { return !active_ || at_ >= rows.size(); }
  // Empty for a field the record lacks, or when there is no record.
  std::string GetFieldAsString(const std::string& fieldName) override {
    if (Eof()) return {};
    auto it = rows[at_].find(fieldName);
    return it == rows[at_].end() ? std::string() : it->second;
  }

 private:
  bool active_ = false;
  size_t at_ = 0;
};

}  // namespace testing_support
