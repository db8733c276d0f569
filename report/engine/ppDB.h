// TppDataPipeline: the library's abstract record source. It walks a range
// of records (first, next, prior, last), keeps record flags, a list of kept
// bookmarks, master/detail links, field objects and events; a descendant
// supplies the data. The base class has no data: it is never active and
// reports no records.
//
// Bookmarks are opaque values of the descendant's making (0 is none); who
// takes one with GetBookmark frees it with FreeBookmark.
//
// Master/detail: a detail's TppMasterFieldLinks are its relative children.
// For the master's current record its range is the detail's bookmarks whose
// link fields equal the master's, in data order (all records when it has no
// links); it is rebuilt when the master sends 37, and an empty range is
// NoRecords. The master sends the detail its events (AddEventNotify).
#pragma once
#include <cstdint>
#include <string>
#include <vector>

#include "platform/classes/variants.h"
#include "platform/classes/typinfo.h"
#include "report/model/ppRTTI.h"
#include "report/model/ppRelatv.h"
#include "report/model/ppTypes.h"

class TppDataPipeline;
class TppDataPipelineList;

using TppBookmark = uint64_t;

// Record flags.
constexpr uint8_t ppFirstRecord = 1;
constexpr uint8_t ppLastRecord = 2;
constexpr uint8_t ppNoRecords = 4;

// A field of a pipeline (a relative child of it).
class TppField : public TppRelative {
  CLS_DECLARE_CLASS(TppField, TppRelative)
 public:
  explicit TppField(cls::TComponent* owner);

  // The pipeline this field is a child of, or nullptr.
  TppDataPipeline* DataPipeline() const;

  cls::TAlignment Alignment() const { return alignment_; }
  void SetAlignment(cls::TAlignment v) { alignment_ = v; }
  TppDataType DataType() const { return dataType_; }
  // EInvalidPropertyError when the field's pipeline does not support TYPE.
  void SetDataType(TppDataType type);
  const std::string& DisplayFormat() const { return displayFormat_; }
  void SetDisplayFormat(const std::string& v) { displayFormat_ = v; }
  int32_t DisplayWidth() const { return displayWidth_; }
  void SetDisplayWidth(int32_t v) { displayWidth_ = v; }
  const std::string& FieldAlias() const { return fieldAlias_; }
  void SetFieldAlias(const std::string& v) { fieldAlias_ = v; }
  int32_t FieldLength() const { return fieldLength_; }
  void SetFieldLength(int32_t v) { fieldLength_ = v; }
  const std::string& FieldName() const { return fieldName_; }
  void SetFieldName(const std::string& v) { fieldName_ = v; }
  int32_t GroupOrder() const { return groupOrder_; }
  void SetGroupOrder(int32_t v) { groupOrder_ = v; }
  bool IsDetail() const { return isDetail_; }
  void SetIsDetail(bool v) { isDetail_ = v; }
  bool Linkable() const { return linkable_; }
  void SetLinkable(bool v) { linkable_ = v; }
  bool Mandatory() const { return mandatory_; }
  void SetMandatory(bool v) { mandatory_ = v; }
  int32_t FieldPosition() const { return position_; }
  void SetFieldPosition(int32_t v) { position_ = v; }
  bool Searchable() const { return searchable_; }
  void SetSearchable(bool v) { searchable_ = v; }
  bool Search() const { return search_; }
  void SetSearch(bool v) { search_ = v; }
  const std::string& SearchExpression() const { return searchExpression_; }
  void SetSearchExpression(const std::string& v) { searchExpression_ = v; }
  int32_t SearchOrder() const { return searchOrder_; }
  void SetSearchOrder(int32_t v) { searchOrder_ = v; }
  bool Selectable() const { return selectable_; }
  void SetSelectable(bool v) { selectable_ = v; }
  int32_t SelectOrder() const { return selectOrder_; }
  void SetSelectOrder(int32_t v) { selectOrder_ = v; }
  bool ShowAllValues() const { return showAllValues_; }
  void SetShowAllValues(bool v) { showAllValues_ = v; }
  bool Sortable() const { return sortable_; }
  void SetSortable(bool v) { sortable_ = v; }
  bool Sort() const { return sort_; }
  void SetSort(bool v) { sort_ = v; }
  const std::string& SortExpression() const { return sortExpression_; }
  void SetSortExpression(const std::string& v) { sortExpression_ = v; }
  int32_t SortOrder() const { return sortOrder_; }
  void SetSortOrder(int32_t v) { sortOrder_ = v; }
  TppSortOrderType SortType() const { return sortType_; }
  void SetSortType(TppSortOrderType v) { sortType_ = v; }
  const std::string& TableAlias() const { return tableAlias_; }
  void SetTableAlias(const std::string& v) { tableAlias_ = v; }
  const std::string& TableName() const { return tableName_; }
  void SetTableName(const std::string& v) { tableName_ = v; }

  // The current record's value, through the pipeline.
  std::string AsString() const;
  double AsDouble() const;
  bool IsNull() const;
  cls::Variant Value() const;

 private:
  cls::TAlignment alignment_ = cls::taLeftJustify;
  TppDataType dataType_ = dtString;
  std::string displayFormat_;
  int32_t displayWidth_ = 0;
  std::string fieldAlias_;
  int32_t fieldLength_ = 0;
  std::string fieldName_;
  int32_t groupOrder_ = -1;
  bool isDetail_ = false;
  bool linkable_ = true;
  bool mandatory_ = false;
  int32_t position_ = -1;
  bool searchable_ = true;
  bool search_ = false;
  std::string searchExpression_;
  int32_t searchOrder_ = -1;
  bool selectable_ = true;
  int32_t selectOrder_ = -1;
  bool showAllValues_ = false;
  bool sortable_ = true;
  bool sort_ = false;
  std::string sortExpression_;
  int32_t sortOrder_ = -1;
  TppSortOrderType sortType_ = TppSortOrderType::soAscending;
  std::string tableAlias_;
  std::string tableName_;
};

// One link field pair of a detail pipeline (a relative child of the detail).
class TppMasterFieldLink : public TppRelative {
  CLS_DECLARE_CLASS(TppMasterFieldLink, TppRelative)
 public:
  explicit TppMasterFieldLink(cls::TComponent* owner);

  const std::string& MasterFieldName() const { return masterFieldName_; }
  void SetMasterFieldName(const std::string& v) { masterFieldName_ = v; }
  const std::string& DetailFieldName() const { return detailFieldName_; }
  void SetDetailFieldName(const std::string& v) { detailFieldName_ = v; }
  TppSortOrderType DetailSortOrder() const { return detailSortOrder_; }
  void SetDetailSortOrder(TppSortOrderType v) { detailSortOrder_ = v; }
  bool IsCaseSensitive() const { return isCaseSensitive_; }
  void SetIsCaseSensitive(bool v) { isCaseSensitive_ = v; }
  TppCollationType CollationType() const { return collationType_; }
  void SetCollationType(TppCollationType v) { collationType_ = v; }

 private:
  std::string masterFieldName_;
  std::string detailFieldName_;
  TppSortOrderType detailSortOrder_ = TppSortOrderType::soAscending;
  bool isCaseSensitive_ = false;
  TppCollationType collationType_ = TppCollationType::ctANSI;
};

class TppDataPipeline : public TppRelative, public IppDataTable {
  CLS_DECLARE_CLASS(TppDataPipeline, TppRelative)
 public:
  explicit TppDataPipeline(cls::TComponent* owner);
  // Frees the kept bookmarks and the link range, leaves master and details.
  void BeforeDestruction() override;

  bool Active() const { return GetActive(); }
  // The table interface: the range from its start.
  bool Active() override { return GetActive(); }
  void First() override { TraverseFirst(); }
  void Next() override { TraverseNext(); }

  // ---- opening ----
  // Opens the data, sets the record flags, OnOpen, event 46.
  void Open() override;
  // Event 73, closes the data, clears the flags, the data-change step,
  // OnClose, event 47.
  void Close();

  // ---- traversal of the range ----
  void TraverseFirst();
  void TraverseNext();
  void TraversePrior();
  void TraverseLast();
  // Before the range start / past the range end.
  bool Bof();
  bool Eof() override;
  // Goes to BOOKMARK (which stays the caller's): 37, OnGotoBookmark, 40.
  void GotoBookmark(TppBookmark bookmark);
  // Puts the pipeline back where a saved position was: the bookmark (none
  // leaves the record), the traversal count and the record flags.
  void RestoreTraversal(TppBookmark bookmark, int32_t traversalCount, uint8_t recordFlags);
  // Event 39, then OnTraversal.
  void DoTraversal();

  uint8_t RecordFlags() const { return recordFlags_; }
  void SetRecordFlags(uint8_t flags) { recordFlags_ = flags; }
  bool FirstRecord() const { return recordFlags_ & ppFirstRecord; }
  bool LastRecord() const { return recordFlags_ & ppLastRecord; }
  bool NoRecords() const { return recordFlags_ & ppNoRecords; }
  int32_t TraversalCount() const { return traversalCount_; }
  bool DataTraversed() const { return dataTraversed_; }

  // ---- range ----
  TppRangeBeginType RangeBegin() const { return rangeBegin_; }
  void SetRangeBegin(TppRangeBeginType v) { rangeBegin_ = v; }
  TppRangeEndType RangeEnd() const { return rangeEnd_; }
  void SetRangeEnd(TppRangeEndType v) { rangeEnd_ = v; }
  int32_t RangeEndCount() const { return rangeEndCount_; }
  void SetRangeEndCount(int32_t v) { rangeEndCount_ = v; }
  // Records moved per next or prior step; its sign is the direction.
  int32_t Step() const { return step_; }
  void SetStep(int32_t v) { step_ = v; }
  bool SkipWhenNoRecords() const { return skipWhenNoRecords_; }
  void SetSkipWhenNoRecords(bool v) { skipWhenNoRecords_ = v; }
  bool Visible() const { return visible_; }
  void SetVisible(bool v) { visible_ = v; }
  // The record rbCurrentRecord and reCurrentRecord mean; stays the caller's.
  TppBookmark CurrentRecordBookmark() const { return currentRecordBookmark_; }
  void SetCurrentRecordBookmark(TppBookmark b) { currentRecordBookmark_ = b; }

  // ---- kept bookmarks: walked instead of the data when there are any ----
  // The list takes BOOKMARK and frees it.
  void AddBookmark(TppBookmark bookmark) { bookmarkList_.push_back(bookmark); }
  void ClearBookmarkList();
  int BookmarkCount() const { return static_cast<int>(bookmarkList_.size()); }

  // ---- master and details ----
  TppDataPipeline* MasterDataPipeline() const { return master_; }
  // Refused (the old master kept) when MASTER is this pipeline or one of
  // its details at any depth.
  void SetMasterDataPipeline(TppDataPipeline* master);
  const std::string& MasterDataPipelineName() const { return masterName_; }
  // After loading: the master named by the stream, found in LIST.
  void ResolveMasterDataPipeline(const TppDataPipelineList& list);
  int DetailCount() const { return details_.Count(); }
  TppDataPipeline* Details(int i) const { return details_[i]; }
  std::vector<TppMasterFieldLink*> MasterFieldLinks() const;
  // The bookmarks of the detail range for the master's record.
  const std::vector<TppBookmark>& LinkRange() const { return linkRange_; }

  // ---- fields ----
  int FieldCount() const;
  TppField* Fields(int index) const;
  TppField* GetFieldForName(const std::string& fieldName) const;
  // Index in the field-name list, -1 when absent (names ignore case).
  int IndexOfFieldName(const std::string& fieldName) const;
  std::vector<std::string> FieldNames() const;

  // ---- what printable objects ask ----
  virtual bool GetActive() const;
  // The data type of a field; dtNotKnown for a field the pipeline lacks.
  TppDataType GetFieldDataType(const std::string& fieldName) override;
  // The field's alias when it has one, else its name.
  virtual std::string GetFieldDisplayName(const std::string& fieldName);
  // False when the pipeline has fields and FIELDNAME is none of them.
  virtual bool CheckFieldName(const std::string& fieldName);

  // ---- what a descendant supplies ----
  // The current record's value of a field as text, formatted by the
  // field's type; empty for a null value or a field the pipeline lacks.
  std::string GetFieldAsString(const std::string& fieldName) override;
  virtual double GetFieldAsDouble(const std::string& fieldName);
  virtual bool GetFieldIsNull(const std::string& fieldName);
  // The value as a variant of the field's type (null for a null value).
  virtual cls::Variant GetFieldValue(const std::string& fieldName);
  virtual bool IsDataTypeSupported(TppDataType type);
  virtual TppBookmark GetBookmark();
  virtual void FreeBookmark(TppBookmark bookmark);
  // <0, 0, >0 as A lies before, at or after B in data order.
  virtual int CompareBookmarks(TppBookmark a, TppBookmark b);
  virtual int32_t GetRecordCount();

  // ---- events ----
  cls::TNotifyEvent OnClose;
  cls::TNotifyEvent OnDataChange;
  cls::TNotifyEvent OnFirst;
  cls::TNotifyEvent OnGotoBookmark;
  cls::TNotifyEvent OnLast;
  cls::TNotifyEvent OnMasterRecordPositionChange;
  cls::TNotifyEvent OnNext;
  cls::TNotifyEvent OnOpen;
  cls::TNotifyEvent OnPrior;
  cls::TNotifyEvent OnRecordPositionChange;
  cls::TNotifyEvent OnTraversal;

  // ---- overrides ----
  void Notify(TppCommunicator* communicator, uint8_t operation) override;
  void EventNotify(TppCommunicator* sender, int eventId, TraParamList* params) override;
  void DefineProperties(cls::TFiler* filer) override;

 protected:
  // The data changed: linked objects are told (operation 2), event 41,
  // OnDataChange; not while loading, reading, destroying or moving.
  void DataChange();

  // The data, record by record (a descendant's). The base has none.
  virtual void OpenDataSet() {}
  virtual void CloseDataSet() {}
  // A step went before the first record / past the last; both when the
  // data are empty.
  virtual bool DataBof() { return true; }
  virtual bool DataEof() { return true; }
  virtual void DataFirst() {}
  virtual void DataLast() {}
  virtual void DataMoveBy(int32_t) {}
  virtual void DataGotoBookmark(TppBookmark) {}

 private:
  bool Walking() const { return !bookmarkList_.empty() || master_; }
  const std::vector<TppBookmark>& Walk() const { return bookmarkList_.empty() ? linkRange_ : bookmarkList_; }
  bool RangeFixed() const { return rangeBegin_ == rbCurrentRecord && rangeEnd_ == reCurrentRecord; }
  // Whether the record has passed the current-record bookmark in the
  // step's direction (SIGN +1) or against it (-1).
  bool PassedCurrent(int sign);
  bool RangeEmpty();
  void UpdateRecordFlags();
  void RecordPositionChange();
  // One step along the range (SIGN +1 next, -1 prior); true when it moved.
  bool StepOnce(int sign);
  void SkipEmptyMasterRecords(int sign);
  bool DetailsEmpty() const;
  void BuildLinkRange();
  void FreeLinkRange();
  bool LinkFieldsMatch(const std::vector<TppMasterFieldLink*>& links);
  void Fire(const cls::TNotifyEvent& handler, int eventId);
  void AddDetail(TppDataPipeline* detail);
  void RemoveDetail(TppDataPipeline* detail);

  std::vector<TppBookmark> bookmarkList_;
  TppBookmark currentRecordBookmark_ = 0;
  bool dataTraversed_ = false;
  cls::TPtrList<TppDataPipeline> details_;
  TppDataPipeline* master_ = nullptr;
  std::string masterName_;
  int32_t step_ = 1;
  TppRangeEndType rangeEnd_ = reLastRecord;
  int32_t rangeEndCount_ = 0;
  TppRangeBeginType rangeBegin_ = rbFirstRecord;
  bool skipWhenNoRecords_ = true;
  uint8_t recordFlags_ = 0;
  int32_t traversalCount_ = 0;
  bool visible_ = true;
  std::vector<TppBookmark> linkRange_;
  bool linkRangeValid_ = false;
  bool moving_ = false;
};

// A named list of pipelines: the names, with the pipelines as objects.
class TppDataPipelineList : public cls::TStringList {
  CLS_DECLARE_CLASS(TppDataPipelineList, cls::TStringList)
 public:
  void AddPipeline(TppDataPipeline* pipeline);
  // The pipeline whose component name is NAME ignoring case, or nullptr.
  TppDataPipeline* FindPipelineByName(const std::string& name) const;
  TppDataPipeline* GetPipeline(int index) const;
};

// Scripting: the pipeline's events 37-47; the field's value names.
class TraTppDataPipelineRTTI : public TraTppRelativeRTTI {
  RA_DECLARE_RTTI(TraTppDataPipelineRTTI, TraTppRelativeRTTI, TppDataPipeline)
};
class TraTppFieldRTTI : public TraTppRelativeRTTI {
  RA_DECLARE_RTTI(TraTppFieldRTTI, TraTppRelativeRTTI, TppField)
};

// Registers the pipeline classes, the fields' published properties and the
// describing classes.
void ppRegisterDBUnit();

// The pipeline of LIST named NAME (case ignored), nullptr when none.
TppDataPipeline* ppPipelineNamed(const std::vector<TppDataPipeline*>& list, const std::string& name);

// A link to a pipeline streamed by name as DataPipelineName: read into
// NAME, written from CURRENT's name, or NAME while CURRENT is nil (a name
// no pipeline answered yet is kept); stored when either is set.
void ppDefinePipelineName(cls::TFiler* filer, TppDataPipeline* const& current, std::string& name);

// The published DataPipeline of class C, streamed as DataPipelineName (a
// name resolved after loading), so not stored itself.
template <class C>
cls::TPropInfo ppDataPipelineProperty(TppDataPipeline* (C::*get)() const, void (C::*set)(TppDataPipeline*)) {
  cls::TPropInfo p;
  p.Name = "DataPipeline";
  static const cls::TTypeInfo* type = cls::MakeClassTypeInfo("TppDataPipeline", &TppDataPipeline::StaticClass());
  p.Type = type;
  p.GetObj = [get](cls::TObject* o) -> cls::TObject* { return (static_cast<C*>(o)->*get)(); };
  p.SetObj = [set](cls::TObject* o, cls::TObject* v) { (static_cast<C*>(o)->*set)(cls::ObjectAs<TppDataPipeline>(v)); };
  p.Stored = [](cls::TObject*) { return false; };
  return p;
}
