// Templates: a component's definition kept as a component stream in a file,
// in a record of a table reached through a data pipeline, or in any stream
// behind a header of the caller's (Offset). TppTemplate reads and writes
// it; what it reads replaces the stored component's contents through the
// hooks a descendant (the report template) supplies.
#pragma once
#include <cstdint>
#include <functional>
#include <map>
#include <string>

#include "platform/classes/classes.h"
#include "platform/classes/streams.h"
#include "report/model/ppComm.h"
#include "report/model/ppTypes.h"

class IppDataTable;

// Where a template lives in a table.
class TppTemplateDBSettings : public cls::TPersistent {
  CLS_DECLARE_CLASS(TppTemplateDBSettings, cls::TPersistent)
 public:
  // The pipeline over the table of templates (a communicator that is an
  // IppDataTable).
  TppCommunicator* DataPipeline() const { return dataPipeline_; }
  void SetDataPipeline(TppCommunicator* pipeline);
  const std::string& Name() const { return name_; }
  void SetName(const std::string& name);
  const std::string& NameField() const { return nameField_; }
  void SetNameField(const std::string& v) { nameField_ = v; }
  const std::string& TemplateField() const { return templateField_; }
  void SetTemplateField(const std::string& v) { templateField_ = v; }
  IppDataTable* Table() const;

  // Set by the template: after Name changes; before DataPipeline changes
  // (with the new pipeline).
  std::function<void()> OnNameChange;
  std::function<void(TppCommunicator*)> OnPipelineChanging;

  void Assign(cls::TPersistent* source) override;

 private:
  TppCommunicator* dataPipeline_ = nullptr;
  std::string name_, nameField_, templateField_;
};

class TppCustomTemplate : public cls::TPersistent {
  CLS_DECLARE_CLASS(TppCustomTemplate, cls::TPersistent)
 public:
  // OWNER is the component whose definition the template stores.
  explicit TppCustomTemplate(cls::TComponent* owner);

  cls::TComponent* Owner() const { return owner_; }
  TppTemplateDBSettings* DatabaseSettings() { return &databaseSettings_; }
  void SetDatabaseSettings(TppTemplateDBSettings* v) { databaseSettings_.Assign(v); }
  const std::string& FileName() const { return fileName_; }
  void SetFileName(const std::string& v) { fileName_ = v; }
  TppFormatType Format() const { return format_; }
  void SetFormat(TppFormatType v) { format_ = v; }
  int32_t Offset() const { return offset_; }
  void SetOffset(int32_t v) { offset_ = v; }
  TppSaveToType SaveTo() const { return saveTo_; }
  void SetSaveTo(TppSaveToType v) { saveTo_ = v; }
  bool ShowBusyCursor() const { return showBusyCursor_; }
  void SetShowBusyCursor(bool v) { showBusyCursor_ = v; }

  // FileName for stFile, else DatabaseSettings.Name; setting sets that one.
  std::string TemplateName() const;
  void SetTemplateName(const std::string& name);
  // DataPipeline, NameField and TemplateField all set.
  bool DatabaseComplete() const;
  // The file exists and cannot be written.
  bool ReadOnly() const;

  void Assign(cls::TPersistent* source) override;

 private:
  cls::TComponent* owner_;
  TppTemplateDBSettings databaseSettings_;
  std::string fileName_;
  TppFormatType format_ = TppFormatType::ftBinary;
  int32_t offset_ = 0;
  TppSaveToType saveTo_ = stFile;
  bool showBusyCursor_ = true;
};

// The record-locating handler: true when it made the template's record the
// current one.
using TppLocateRecordEvent = std::function<bool(cls::TObject* sender, const std::string& name)>;

class TppTemplate : public TppCustomTemplate {
  CLS_DECLARE_CLASS(TppTemplate, TppCustomTemplate)
 public:
  explicit TppTemplate(cls::TComponent* owner);

  // The owner of the stored component unless set; it owns the components
  // read.
  cls::TComponent* Root() const { return root_ ? root_ : Owner() ? Owner()->Owner() : nullptr; }
  void SetRoot(cls::TComponent* root) { root_ = root; }

  cls::TNotifyEvent OnLoadStart, OnLoadEnd, OnSaveStart, OnSaveEnd, OnNew;
  TppLocateRecordEvent OnLocateRecord;

  // ETemplateLoadError "File not found: <FileName>" when missing.
  void LoadFromFile();
  // ETemplateLoadError "Record not found: <Name>" without the record.
  void LoadFromDatabase();
  // ETemplateSaveError "File is read-only." for a read-only file. The file
  // is replaced whole: a failure leaves the old one.
  void SaveToFile();
  // Nothing when the location is incomplete; ETemplateSaveError (message
  // 53) for a template field that is neither a blob nor a memo.
  void SaveToDatabase();
  void New();
  // By SaveTo.
  void Load();
  void Save();
  void LoadFromStream(cls::TStream* stream);
  void SaveToStream(cls::TStream* stream);

  // Names of components renamed while reading: old name to new name.
  const std::map<std::string, std::string>& ChangedNames() const { return changedNames_; }

 protected:
  // ---- what a descendant supplies ----
  // The component written.
  virtual cls::TComponent* StoredComponent() { return Owner(); }
  // Before a load: false refuses it (nothing happens).
  virtual bool BeginLoad() { return true; }
  // A component has been made by the reader (PARENT nullptr for the top
  // one); raising refuses it.
  virtual void ComponentCreated(cls::TComponent*, cls::TComponent*) {}
  // After the read: READ is the top component read (nullptr when the read
  // failed); the descendant takes it over or frees it.
  virtual void EndLoad(cls::TComponent* read) {
    if (read) read->Free();
  }
  virtual void DoNew() {}
  // Whether the record-locating handler of the stored component is set,
  // and its answer.
  virtual bool LocateByOwner(const std::string&, bool& found) {
    (void)found;
    return false;
  }
  virtual int LanguageIndex() const { return 0; }
  virtual bool Designing() const;

 private:
  bool FindRecord();
  void DetectOffsetAndFormat(cls::TStream* stream);
  void ReaderError(const std::string& message, bool& handled);

  cls::TComponent* root_ = nullptr;
  bool ignoreAll_ = false;
  std::map<std::string, std::string> changedNames_;
};

// ---- scripting ----

class TraTppTemplateDBSettingsRTTI : public TraTPersistentRTTI {
  RA_DECLARE_RTTI(TraTppTemplateDBSettingsRTTI, TraTPersistentRTTI, TppTemplateDBSettings)
};
class TraTppCustomTemplateRTTI : public TraTPersistentRTTI {
  RA_DECLARE_RTTI(TraTppCustomTemplateRTTI, TraTPersistentRTTI, TppCustomTemplate)
};
class TraTppTemplateRTTI : public TraTppCustomTemplateRTTI {
  RA_DECLARE_RTTI(TraTppTemplateRTTI, TraTppCustomTemplateRTTI, TppTemplate)
};

// Registers the template unit's describing classes.
void ppRegisterTemplateUnit();
