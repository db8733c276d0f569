// Auto search: criteria a user enters before a report runs. A field names
// a field of a data pipeline, an operator and its values (comma text in
// SearchExpression); groups gather the fields of one pipeline description
// for the dialog's tabs.
//
// The value reader (split, conversion, check) is kept free of the dialog so
// that the dialog's panels and the report's handlers read values alike.
#pragma once
#include <cstdint>
#include <string>
#include <vector>

#include "platform/classes/variants.h"
#include "report/model/ppRTTI.h"
#include "report/model/ppRelatv.h"
#include "report/model/ppTypes.h"

class TppDataPipeline;

// ---- the value reader ----

// The values of an expression, split as comma text.
std::vector<std::string> ppSplitSearchValues(const std::string& expression);
// VALUE converted by the data type: dates and times to a date-time,
// integers (32-bit) to an integer, floats and currency to a float or an
// amount, texts to the text (WILDCARD appended when it is not empty and
// not in the text); other types the text. EConvertError with the panel's
// message when it cannot be converted.
cls::Variant ppConvertSearchValue(TppDataType dataType, const std::string& value, const std::string& wildCard);
// The panel's check of one value: empty when valid, else the message (the
// value and its reason, or the Boolean message).
std::string ppCheckSearchValue(TppDataType dataType, const std::string& value);
// The check of a panel's values: a mandatory field with none gives the
// mandatory message; else the first invalid value's message, or empty.
std::string ppCheckSearchValues(TppDataType dataType, bool mandatory, const std::vector<std::string>& values);
// The operator's text for the data type ("is equal to", "is before", ...).
std::string ppSearchOperatorText(TppSearchOperatorType op, TppDataType dataType);

// ---- the field ----

class TppAutoSearchField : public TppRelative {
  CLS_DECLARE_CLASS(TppAutoSearchField, TppRelative)
 public:
  explicit TppAutoSearchField(cls::TComponent* owner);
  void BeforeDestruction() override;
  void Notify(TppCommunicator* communicator, uint8_t operation) override;
  // The pipeline name is resolved once loaded.
  void Loaded() override;
  // From another field: every published value and the position.
  void Assign(cls::TPersistent* source) override;
  // SearchExpression and ShowAllValues of OTHER; whether either changed.
  bool AssignSearchValues(const TppAutoSearchField* other);

  // The values.
  std::vector<std::string> ValueList() const { return ppSplitSearchValues(searchExpression_); }
  int ValueCount() const { return static_cast<int>(ValueList().size()); }
  // The first value; empty without values.
  cls::Variant Value() const { return Values(0); }
  // The value at INDEX converted by DataType; empty beyond the values.
  cls::Variant Values(int index) const;
  // "Show all data where the City is equal to Kaohsiung"; empty when the
  // criteria are disabled.
  std::string Description() const;
  std::string OperatorText() const { return ppSearchOperatorText(searchOperator_, dataType_); }

  // The pipeline: linked, cleared when it goes.
  TppDataPipeline* DataPipeline() const { return dataPipeline_; }
  void SetDataPipeline(TppDataPipeline* pipeline);
  const std::string& DataPipelineName() const { return dataPipelineName_; }
  // Stores the name and, outside loading, looks the pipeline up among the
  // components of the field's owners.
  void SetDataPipelineName(const std::string& name);

  bool CriteriaEnabled() const { return criteriaEnabled_; }
  void DisableCriteria() { criteriaEnabled_ = false; }
  bool FirstCriterion() const { return firstCriterion_; }
  void SetFirstCriterion(bool v) { firstCriterion_ = v; }
  // The dialog's panel showing the field (not owned).
  cls::TObject* Panel() const { return panel_; }
  void SetPanel(cls::TObject* panel) { panel_ = panel; }
  // Called by every setter but DataType, unless loading or reading.
  cls::TNotifyEvent OnChange;

  // Published.
  cls::TAlignment Alignment() const { return alignment_; }
  void SetAlignment(cls::TAlignment v);
  TppDataType DataType() const { return dataType_; }
  void SetDataType(TppDataType v) { dataType_ = v; }
  const std::string& DisplayFormat() const { return displayFormat_; }
  void SetDisplayFormat(const std::string& v);
  int32_t DisplayWidth() const { return displayWidth_; }
  void SetDisplayWidth(int32_t v);
  const std::string& FieldAlias() const { return fieldAlias_; }
  void SetFieldAlias(const std::string& v);
  int32_t FieldLength() const { return fieldLength_; }
  void SetFieldLength(int32_t v);
  const std::string& FieldName() const { return fieldName_; }
  // An alias that equalled the old name follows the new one.
  void SetFieldName(const std::string& v);
  int32_t GroupOrder() const { return groupOrder_; }
  void SetGroupOrder(int32_t v);
  bool IsDetail() const { return isDetail_; }
  void SetIsDetail(bool v);
  bool Linkable() const { return linkable_; }
  void SetLinkable(bool v);
  bool Mandatory() const { return mandatory_; }
  // True clears ShowAllValues.
  void SetMandatory(bool v);
  bool Search() const { return search_; }
  void SetSearch(bool v);
  bool Searchable() const { return searchable_; }
  void SetSearchable(bool v);
  const std::string& SearchExpression() const { return searchExpression_; }
  void SetSearchExpression(const std::string& v);
  TppSearchOperatorType SearchOperator() const { return searchOperator_; }
  void SetSearchOperator(TppSearchOperatorType v);
  int32_t SearchOrder() const { return searchOrder_; }
  void SetSearchOrder(int32_t v);
  bool Selectable() const { return selectable_; }
  void SetSelectable(bool v);
  int32_t SelectOrder() const { return selectOrder_; }
  void SetSelectOrder(int32_t v);
  bool ShowAllValues() const { return showAllValues_; }
  // True clears Mandatory.
  void SetShowAllValues(bool v);
  bool Sort() const { return sort_; }
  void SetSort(bool v);
  bool Sortable() const { return sortable_; }
  void SetSortable(bool v);
  const std::string& SortExpression() const { return sortExpression_; }
  void SetSortExpression(const std::string& v);
  int32_t SortOrder() const { return sortOrder_; }
  void SetSortOrder(int32_t v);
  TppSortOrderType SortType() const { return sortType_; }
  void SetSortType(TppSortOrderType v);
  const std::string& TableAlias() const { return tableAlias_; }
  void SetTableAlias(const std::string& v);
  const std::string& TableName() const { return tableName_; }
  void SetTableName(const std::string& v);
  const std::string& Delimiter() const { return delimiter_; }
  void SetDelimiter(const std::string& v);
  const std::string& WildCard() const { return wildCard_; }
  void SetWildCard(const std::string& v);

  static void RegisterProperties();

 private:
  template <class T>
  void Store(T& field, const T& value) {
    field = value;
    Changed();
  }
  void Changed();
  void ResolveDataPipeline();

  cls::TAlignment alignment_ = cls::taLeftJustify;
  TppDataType dataType_ = dtString;
  std::string displayFormat_;
  int32_t displayWidth_ = 10;
  std::string fieldAlias_;
  int32_t fieldLength_ = 10;
  std::string fieldName_;
  int32_t groupOrder_ = -1;
  bool isDetail_ = false;
  bool linkable_ = true;
  bool mandatory_ = false;
  bool search_ = false;
  bool searchable_ = true;
  std::string searchExpression_;
  TppSearchOperatorType searchOperator_ = TppSearchOperatorType::soEqual;
  int32_t searchOrder_ = -1;
  bool selectable_ = true;
  int32_t selectOrder_ = -1;
  bool showAllValues_ = false;
  bool sort_ = false;
  bool sortable_ = true;
  std::string sortExpression_;
  int32_t sortOrder_ = -1;
  TppSortOrderType sortType_ = TppSortOrderType::soAscending;
  std::string tableAlias_;
  std::string tableName_;
  std::string delimiter_;
  std::string wildCard_;

  TppDataPipeline* dataPipeline_ = nullptr;
  std::string dataPipelineName_;
  bool criteriaEnabled_ = true;
  bool firstCriterion_ = false;
  cls::TObject* panel_ = nullptr;
};

// ---- groups ----

// The fields of one pipeline description (its children, owned).
class TppAutoSearchGroup : public TppRelative {
  CLS_DECLARE_CLASS(TppAutoSearchGroup, TppRelative)
 public:
  explicit TppAutoSearchGroup(cls::TComponent* owner) : TppRelative(owner) {}
  // Writes the tab order to the first field's pipeline when it publishes
  // "AutoSearchTabOrder"; never raises.
  void BeforeDestruction() override;

  const std::string& Description() const { return description_; }
  void SetDescription(const std::string& v) { description_ = v; }
  int32_t TabOrder() const { return tabOrder_; }
  void SetTabOrder(int32_t v) { tabOrder_ = v; }
  int FieldCount() const { return ChildCount(); }
  TppAutoSearchField* Fields(int index) const;

 private:
  std::string description_;
  int32_t tabOrder_ = 0;
};

// The groups (owned, freed last first).
class TppAutoSearchGroups : public TppRelative {
  CLS_DECLARE_CLASS(TppAutoSearchGroups, TppRelative)
 public:
  explicit TppAutoSearchGroups(cls::TComponent* owner) : TppRelative(owner) {}

  // A copy of each field (Assign plus the pipeline link) joins the group
  // whose description is its pipeline's "Description" (exactly); a new
  // group takes the pipeline's "AutoSearchTabOrder". Fields without a
  // pipeline go to the group with an empty description, tab order 0.
  // Answers the copies in the order of FIELDS.
  std::vector<TppAutoSearchField*> AddFields(const std::vector<TppAutoSearchField*>& fields);
  int GroupCount() const { return ChildCount(); }
  TppAutoSearchGroup* Groups(int index) const;
  // Every field of every group, groups and fields in order.
  std::vector<TppAutoSearchField*> FieldList() const;
};

// A pipeline's "Description" and "AutoSearchTabOrder" read by name: "" and
// 0 when it does not publish them.
std::string ppPipelineDescription(cls::TObject* pipeline);
int32_t ppPipelineAutoSearchTabOrder(cls::TObject* pipeline);

// Scripting: Value, Values (Index, Result), ValueCount and DisableCriteria.
class TraTppAutoSearchFieldRTTI : public TraTppRelativeRTTI {
  RA_DECLARE_RTTI(TraTppAutoSearchFieldRTTI, TraTppRelativeRTTI, TppAutoSearchField)
};

// Registers the three classes, the field's published properties and its
// describing class.
void ppRegisterAutoSearchFieldUnit();
