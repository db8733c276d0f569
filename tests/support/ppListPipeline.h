// A pipeline over records kept in memory, the one every data-aware test
// uses: typed fields (field objects of the pipeline), values that may be
// null, bookmarks that are record indexes (plus one: 0 is "none"). EOF
// comes after a step past the last record, BOF after a step before the
// first; both at once when there are no records. Going to the first or last
// record, or to a bookmark, clears both.
#pragma once
#include <cstdint>
#include <map>
#include <string>
#include <variant>
#include <vector>

#include "report/engine/ppDB.h"

class TppListPipeline : public TppDataPipeline {
  CLS_DECLARE_CLASS(TppListPipeline, TppDataPipeline)
 public:
  explicit TppListPipeline(cls::TComponent* owner);

  // A value; std::monostate is null. Dates and times are day numbers.
  using TValue = std::variant<std::monostate, bool, int64_t, double, std::string>;
  // Values by field name (case ignored); a field a record lacks is null.
  using TRecord = std::map<std::string, TValue>;

  // Adds a field object of TYPE.
  TppField* AddField(const std::string& name, TppDataType type = dtString);
  // Adds a string field for each name.
  void SetFieldNames(const std::vector<std::string>& names);
  void AddRecord(const TRecord& record) { records_.push_back(record); }
  void ClearRecords();
  int RecordCount() const { return static_cast<int>(records_.size()); }
  // The current record's index (0 based).
  int RecordIndex() const { return index_; }
  // Bookmarks taken and not yet freed.
  int BookmarksOut() const { return bookmarksOut_; }

  // Published (as auto search reads them by name); the first list made
  // publishes them.
  const std::string& Description() const { return description_; }
  void SetDescription(const std::string& v) { description_ = v; }
  int32_t AutoSearchTabOrder() const { return autoSearchTabOrder_; }
  void SetAutoSearchTabOrder(int32_t v) { autoSearchTabOrder_ = v; }

  bool GetActive() const override { return active_; }
  std::string GetFieldAsString(const std::string& fieldName) override;
  double GetFieldAsDouble(const std::string& fieldName) override;
  bool GetFieldIsNull(const std::string& fieldName) override;
  // Pictures and blobs are not kept in the list.
  bool IsDataTypeSupported(TppDataType type) override;
  TppBookmark GetBookmark() override;
  void FreeBookmark(TppBookmark bookmark) override;
  int CompareBookmarks(TppBookmark a, TppBookmark b) override;
  int32_t GetRecordCount() override { return RecordCount(); }

  // Writing: Insert appends an empty record and Edit takes the current one;
  // values set go to that record at once, Post ends the edit. Writing
  // outside an edit raises EDataError. Stream values are kept as strings.
  bool Locate(const std::string& fieldName, const std::string& value) override;
  void Insert() override;
  void Edit() override;
  void Post() override;
  void SetFieldAsString(const std::string& fieldName, const std::string& value) override;
  void GetFieldAsStream(const std::string& fieldName, cls::TStream* stream) override;
  void SetFieldFromStream(const std::string& fieldName, cls::TStream* stream) override;
  bool Editing() const { return editing_; }
  int PostCount() const { return posts_; }

 protected:
  void OpenDataSet() override;
  void CloseDataSet() override { active_ = false; }
  bool DataBof() override { return bof_; }
  bool DataEof() override { return eof_; }
  void DataFirst() override { GoTo(0); }
  void DataLast() override { GoTo(RecordCount() - 1); }
  void DataMoveBy(int32_t count) override;
  void DataGotoBookmark(TppBookmark bookmark) override;

 private:
  void GoTo(int index);
  const TValue* Value(const std::string& fieldName) const;

  std::vector<TRecord> records_;
  int index_ = 0;
  bool active_ = false;
  bool bof_ = true;
  bool eof_ = true;
  int bookmarksOut_ = 0;
  bool editing_ = false;
  int posts_ = 0;
  std::string description_;
  int32_t autoSearchTabOrder_ = 0;
};
