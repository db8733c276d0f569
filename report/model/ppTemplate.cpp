#include "report/model/ppTemplate.h"

#include <cerrno>
#include <cstring>
#include <exception>
#include <sys/stat.h>
#include <string>
#include <vector>

#include "platform/classes/compstream.h"
#include "platform/classes/typinfo.h"
#include "platform/sysroot/fileio.h"
#include "platform/sysroot/sysroot.h"
#include "platform/ui/dialogs.h"
#include "platform/ui/forms.h"
#include "report/model/ppForms.h"
#include "report/model/ppIntf.h"
#include "report/model/ppResMgr.h"

CLS_IMPLEMENT_CLASS(TppTemplateDBSettings)
CLS_IMPLEMENT_CLASS(TppCustomTemplate)
CLS_IMPLEMENT_CLASS(TppTemplate)

// ---- TppTemplateDBSettings ----

void TppTemplateDBSettings::SetDataPipeline(TppCommunicator* pipeline) {
  if (pipeline == dataPipeline_) return;
  if (OnPipelineChanging) OnPipelineChanging(pipeline);
  dataPipeline_ = pipeline;
}

void TppTemplateDBSettings::SetName(const std::string& name) {
  name_ = name;
  if (OnNameChange) OnNameChange();
}

IppDataTable* TppTemplateDBSettings::Table() const { return dynamic_cast<IppDataTable*>(dataPipeline_); }

void TppTemplateDBSettings::Assign(cls::TPersistent* source) {
  auto* s = cls::ObjectAs<TppTemplateDBSettings>(source);
  if (!s) return inherited::Assign(source);
  SetDataPipeline(s->dataPipeline_);
  SetName(s->name_);
  SetNameField(s->nameField_);
  SetTemplateField(s->templateField_);
}

// ---- TppCustomTemplate ----

TppCustomTemplate::TppCustomTemplate(cls::TComponent* owner) : owner_(owner) {}

std::string TppCustomTemplate::TemplateName() const {
  return saveTo_ == stFile ? fileName_ : databaseSettings_.Name();
}

void TppCustomTemplate::SetTemplateName(const std::string& name) {
  if (saveTo_ == stFile) fileName_ = name;
  else databaseSettings_.SetName(name);
}

bool TppCustomTemplate::DatabaseComplete() const {
  return databaseSettings_.DataPipeline() && !databaseSettings_.NameField().empty() &&
         !databaseSettings_.TemplateField().empty();
}

bool TppCustomTemplate::ReadOnly() const {
  if (fileName_.empty()) return false;
  struct stat st;
  if (stat(sysroot::HostPath(fileName_).c_str(), &st) != 0 || !S_ISREG(st.st_mode)) return false;
  return (st.st_mode & S_IWUSR) == 0;
}

void TppCustomTemplate::Assign(cls::TPersistent* source) {
  auto* s = cls::ObjectAs<TppCustomTemplate>(source);
  if (!s) return inherited::Assign(source);
  databaseSettings_.Assign(&s->databaseSettings_);
  fileName_ = s->fileName_;
  offset_ = s->offset_;
  saveTo_ = s->saveTo_;
  format_ = s->format_;
  showBusyCursor_ = s->showBusyCursor_;
}

// ---- TppTemplate ----

TppTemplate::TppTemplate(cls::TComponent* owner) : TppCustomTemplate(owner) {}

bool TppTemplate::Designing() const { return Root() && Root()->HasState(cls::csDesigning); }

void TppTemplate::Load() {
  if (SaveTo() == stDatabase) LoadFromDatabase();
  else LoadFromFile();
}

void TppTemplate::Save() {
  if (SaveTo() == stDatabase) SaveToDatabase();
  else SaveToFile();
}

void TppTemplate::New() {
  DoNew();
  if (OnNew) OnNew(this);
}

namespace {

// The template files this thread is loading, outermost first: a report
// read from one of them that names it again (a child report keeping its
// definition there) would load it without end.
thread_local std::vector<std::string> filesLoading;

// The deepest nesting of template loads (a child's template naming
// another's, and so on).
constexpr size_t kMaxNestedTemplateFiles = 32;

class TLoadingFile {
 public:
  explicit TLoadingFile(const std::string& fileName) {
    std::string path = sysroot::HostPath(fileName);
    for (const std::string& loading : filesLoading)
      if (cls::SameText(loading, path))
        throw cls::EReadError("Template " + fileName + " names itself: it is being loaded already");
    if (filesLoading.size() >= kMaxNestedTemplateFiles)
      throw cls::EReadError("Template " + fileName + ": templates nested too deeply");
    filesLoading.push_back(path);
  }
  ~TLoadingFile() { filesLoading.pop_back(); }
  TLoadingFile(const TLoadingFile&) = delete;
  TLoadingFile& operator=(const TLoadingFile&) = delete;
};

}  // namespace

void TppTemplate::LoadFromFile() {
  if (!win::FileExists(FileName())) throw ETemplateLoadError(ppLoadStr(46) + " " + FileName());
  TLoadingFile loading(FileName());
  cls::TMemoryStream mem;
  {
    cls::TFileStream file(FileName(), cls::fmOpenRead | cls::fmShareDenyNone);
    mem.LoadFromStream(&file);
  }
  mem.SetPosition(0);
  LoadFromStream(&mem);
}

bool TppTemplate::FindRecord() {
  const std::string& name = DatabaseSettings()->Name();
  if (OnLocateRecord) return OnLocateRecord(this, name);
  bool found = false;
  if (LocateByOwner(name, found)) return found;
  return DatabaseSettings()->Table()->Locate(DatabaseSettings()->NameField(), name);
}

void TppTemplate::LoadFromDatabase() {
  IppDataTable* table = DatabaseSettings()->Table();
  if (table) {
    if (!table->Active()) table->Open();
    if (DatabaseComplete() && FindRecord()) {
      cls::TMemoryStream mem;
      table->GetFieldAsStream(DatabaseSettings()->TemplateField(), &mem);
      mem.SetPosition(0);
      LoadFromStream(&mem);
      return;
    }
  }
  throw ETemplateLoadError(ppLoadStr(45) + " " + DatabaseSettings()->Name());
}

void TppTemplate::SaveToFile() {
  cls::TMemoryStream mem;
  SaveToStream(&mem);
  if (mem.Size() == 0) return;
  if (ReadOnly()) throw ETemplateSaveError(ppLoadStr(51));
  // Replaced whole: a failure at any step leaves the old file.
  if (!sysroot::ReplaceFile(sysroot::HostPath(FileName()), mem.DataString())) {
    win::SetLastErrorFromErrno(errno);
    throw ETemplateSaveError("Cannot create file \"" + FileName() + "\". " +
                             win::SysErrorMessage(win::GetLastError()));
  }
}

void TppTemplate::SaveToDatabase() {
  if (!DatabaseComplete()) return;
  IppDataTable* table = DatabaseSettings()->Table();
  if (!table) return;
  TppDataType type = table->GetFieldDataType(DatabaseSettings()->TemplateField());
  if (type != dtBLOB && type != dtMemo) throw ETemplateSaveError(ppLoadStr(53));
  cls::TMemoryStream mem;
  SaveToStream(&mem);
  if (!table->Active()) table->Open();
  if (FindRecord()) {
    table->Edit();
  } else {
    table->Insert();
    table->SetFieldAsString(DatabaseSettings()->NameField(), DatabaseSettings()->Name());
  }
  mem.SetPosition(0);
  table->SetFieldFromStream(DatabaseSettings()->TemplateField(), &mem);
  table->Post();
}

namespace {

// 1 binary signature, 2 text signature, 0 none (over the bytes present).
int SignatureAt(cls::TStream* stream, int64_t at) {
  if (at < 0 || at >= stream->Size()) return 0;
  stream->SetPosition(at);
  char buf[6];
  int64_t n = stream->Read(buf, sizeof buf);
  if (n >= 4 && std::memcmp(buf, "TPF0", 4) == 0) return 1;
  if (n >= 6 && std::memcmp(buf, "object", 6) == 0) return 2;
  return 0;
}

// Puts the screen cursor back when it goes.
class TCursorRestore {
 public:
  TCursorRestore(bool busy, ui::TCursor after) : old_(ui::Screen().Cursor()), after_(after), busy_(busy) {
    if (busy_) ui::Screen().SetCursor(ui::crHourGlass);
  }
  ~TCursorRestore() {
    if (busy_) ui::Screen().SetCursor(after_ == kRestore ? old_ : after_);
  }
  static constexpr ui::TCursor kRestore = 1 << 30;

 private:
  ui::TCursor old_, after_;
  bool busy_;
};

}  // namespace

void TppTemplate::DetectOffsetAndFormat(cls::TStream* stream) {
  int64_t start = stream->Position();
  if (!SignatureAt(stream, Offset())) {
    if (SignatureAt(stream, 0)) {
      SetOffset(0);
    } else if (stream->Size() >= 4) {
      stream->SetPosition(0);
      uint8_t b[4];
      stream->ReadBuffer(b, 4);
      int32_t n = static_cast<int32_t>(uint32_t(b[0]) | uint32_t(b[1]) << 8 | uint32_t(b[2]) << 16 |
                                       uint32_t(b[3]) << 24);
      if (n >= 1 && SignatureAt(stream, n)) SetOffset(n);
    }
  }
  int kind = SignatureAt(stream, Offset());
  stream->SetPosition(start);
  if (!kind) throw EInvalidTemplateError(ppLoadStr(49));
  SetFormat(kind == 1 ? TppFormatType::ftBinary : TppFormatType::ftASCII);
}

void TppTemplate::ReaderError(const std::string& message, bool& handled) {
  if (ignoreAll_) {
    handled = true;
    return;
  }
  cls::TClass c = FindFormClass(&TppCustomTemplateErrorDialog::StaticClass());
  auto* dialog = c ? cls::ObjectAs<TppForm>(ui::NewFormOfClass(c, nullptr)) : nullptr;
  if (!dialog) return;
  int answer = ui::mrCancel;
  try {
    dialog->SetLanguageIndex(LanguageIndex());
    if (cls::GetPropInfo(dialog, "MessageText"))
      cls::SetStrProp(dialog, "MessageText", ppLoadStr(50) + "\r\n" + message);
    answer = dialog->ShowModal();
  } catch (...) {
    dialog->Free();
    throw;
  }
  dialog->Free();
  if (answer == ui::mrCancel || answer == ui::mrNone) return;
  if (answer == ui::mrAll) ignoreAll_ = true;
  handled = true;
}

void TppTemplate::LoadFromStream(cls::TStream* stream) {
  ignoreAll_ = false;
  changedNames_.clear();
  if (!BeginLoad()) return;
  TppCustomTemplate saved(Owner());
  saved.Assign(this);
  TCursorRestore cursor(ShowBusyCursor(), TCursorRestore::kRestore);
  cls::TComponent* read = nullptr;
  std::exception_ptr failure;
  try {
    if (OnLoadStart) OnLoadStart(this);
    DetectOffsetAndFormat(stream);
    cls::TMemoryStream bytes;
    int64_t count = stream->Size() - Offset();
    stream->SetPosition(Offset());
    if (count > 0) bytes.CopyFrom(stream, count);
    bytes.SetPosition(0);
    cls::TMemoryStream binary;
    if (Format() == TppFormatType::ftASCII) {
      cls::ObjectTextToBinary(&bytes, &binary);
      binary.SetPosition(0);
    }
    cls::TStream* source = Format() == TppFormatType::ftASCII ? &binary : &bytes;

    cls::TComponentReader reader;
    if (Designing() || !cls::IsMultiThread())
      reader.OnError = [this](const std::string& message, bool& handled) { ReaderError(message, handled); };
    reader.OnSetName = [this](cls::TComponent* component, std::string& name) {
      // A component the root does not own cannot clash with its components.
      if (name.empty() || !Root() || component->Owner() != Root() || !Root()->FindComponent(name)) return;
      std::string unique;
      if (auto* comm = cls::ObjectAs<TppCommunicator>(component)) comm->MakeUniqueName(component, unique);
      if (unique.empty()) return;
      changedNames_[cls::AnsiUpperCase(name)] = unique;
      name = unique;
    };
    reader.OnReferenceName = [this](std::string& name) {
      auto it = changedNames_.find(cls::AnsiUpperCase(name));
      if (it != changedNames_.end()) name = it->second;
    };
    reader.OnCreateComponent = [this](cls::TComponent* component, cls::TComponent* parent) {
      ComponentCreated(component, parent);
    };
    {
      cls::TGlobalNameSpaceWrite lock;
      read = reader.ReadComponent(source, Root());
    }
  } catch (...) {
    failure = std::current_exception();
  }
  try {
    if (OnLoadEnd) OnLoadEnd(this);
  } catch (...) {
    if (!failure) failure = std::current_exception();
  }
  Assign(&saved);
  EndLoad(failure ? nullptr : read);
  if (failure) std::rethrow_exception(failure);
}

void TppTemplate::SaveToStream(cls::TStream* stream) {
  TCursorRestore cursor(ShowBusyCursor(), ui::crDefault);
  if (OnSaveStart) OnSaveStart(this);
  cls::TMemoryStream binary;
  cls::WriteComponent(&binary, StoredComponent(), Root());
  cls::TMemoryStream text;
  cls::TMemoryStream* result = &binary;
  if (Format() == TppFormatType::ftASCII) {
    binary.SetPosition(0);
    cls::ObjectBinaryToText(&binary, &text);
    result = &text;
  }
  if (Offset() > 0) {
    // The caller's header stays in front; a gap past the end is zeros.
    int64_t target = stream->Position() + Offset();
    int64_t size = stream->Size();
    if (size < target) {
      stream->Seek(0, cls::soEnd);
      std::string zeros(static_cast<size_t>(target - size), '\0');
      stream->WriteBuffer(zeros.data(), static_cast<int64_t>(zeros.size()));
    }
    stream->SetPosition(target);
  }
  stream->WriteBuffer(result->Memory(), result->Size());
  if (OnSaveEnd) OnSaveEnd(this);
}

// ---- scripting ----

namespace {

// A method that runs OP on the template; failures answer false.
TraMember TemplateMethod(const std::string& name, void (TppTemplate::*op)()) {
  return raMethod(name, {}, [op](cls::TObject* o, TraParamList*, bool) {
    (static_cast<TppTemplate*>(o)->*op)();
    return true;
  });
}

}  // namespace

RA_IMPLEMENT_RTTI(TraTppTemplateDBSettingsRTTI)

const TraMembers* TraTppTemplateDBSettingsRTTI::Members() const {
  using C = TppTemplateDBSettings;
  static const TraMembers members(
      inherited::Members(),
      {raObjectProperty<C, TppCommunicator>("DataPipeline", &C::DataPipeline, &C::SetDataPipeline),
       raProperty<C, daString>("Name", &C::Name, &C::SetName),
       raProperty<C, daString>("NameField", &C::NameField, &C::SetNameField),
       raProperty<C, daString>("TemplateField", &C::TemplateField, &C::SetTemplateField)});
  return &members;
}

RA_IMPLEMENT_RTTI(TraTppCustomTemplateRTTI)

const TraMembers* TraTppCustomTemplateRTTI::Members() const {
  using C = TppCustomTemplate;
  static const TraMembers members(
      inherited::Members(),
      {raObjectProperty<C, TppTemplateDBSettings>("DatabaseSettings", &C::DatabaseSettings,
                                                  &C::SetDatabaseSettings),
       raProperty<C, daString>("FileName", &C::FileName, &C::SetFileName),
       raEnumProperty<C, TppFormatType>("Format", &C::Format, &C::SetFormat),
       raProperty<C, daInteger>("Offset", &C::Offset, &C::SetOffset),
       raEnumProperty<C, TppSaveToType>("SaveTo", &C::SaveTo, &C::SetSaveTo),
       raProperty<C, daBoolean>("ReadOnly", &C::ReadOnly),
       raObjectProperty<C, cls::TComponent>("Owner", &C::Owner)});
  return &members;
}

RA_IMPLEMENT_RTTI(TraTppTemplateRTTI)

const TraMembers* TraTppTemplateRTTI::Members() const {
  using C = TppTemplate;
  static const TraMembers members(
      inherited::Members(),
      {raObjectProperty<C, cls::TComponent>("Root", &C::Root, &C::SetRoot),
       TemplateMethod("LoadFromDatabase", &C::LoadFromDatabase), TemplateMethod("LoadFromFile", &C::LoadFromFile),
       TemplateMethod("New", &C::New), TemplateMethod("SaveToDatabase", &C::SaveToDatabase),
       TemplateMethod("SaveToFile", &C::SaveToFile)});
  return &members;
}

// ---- registration ----

void ppRegisterTemplateUnit() {
  {
    using S = TppTemplateDBSettings;
    auto& c = S::StaticClass();
    cls::TPropInfo pipeline;
    pipeline.Name = "DataPipeline";
    pipeline.Type = cls::MakeClassTypeInfo("TppCommunicator", &TppCommunicator::StaticClass());
    pipeline.GetObj = [](cls::TObject* o) -> cls::TObject* { return static_cast<S*>(o)->DataPipeline(); };
    pipeline.SetObj = [](cls::TObject* o, cls::TObject* v) {
      static_cast<S*>(o)->SetDataPipeline(cls::ObjectAs<TppCommunicator>(v));
    };
    cls::PublishProperty(c, pipeline);
    cls::PublishProperty(c, cls::StrProperty<S>("Name", &S::Name, &S::SetName));
    cls::PublishProperty(c, cls::StrProperty<S>("NameField", &S::NameField, &S::SetNameField));
    cls::PublishProperty(c, cls::StrProperty<S>("TemplateField", &S::TemplateField, &S::SetTemplateField));
  }
  {
    using T = TppCustomTemplate;
    auto& c = T::StaticClass();
    cls::TPropInfo settings;
    settings.Name = "DatabaseSettings";
    settings.Type = cls::MakeClassTypeInfo("TppTemplateDBSettings", &TppTemplateDBSettings::StaticClass());
    settings.GetObj = [](cls::TObject* o) -> cls::TObject* { return static_cast<T*>(o)->DatabaseSettings(); };
    settings.SetObj = [](cls::TObject* o, cls::TObject* v) {
      if (auto* s = cls::ObjectAs<TppTemplateDBSettings>(v)) static_cast<T*>(o)->SetDatabaseSettings(s);
    };
    cls::PublishProperty(c, settings);
    cls::PublishProperty(c, cls::StrProperty<T>("FileName", &T::FileName, &T::SetFileName));
    cls::TPropInfo format = cls::OrdProperty<T, TppFormatType>("Format", cls::EnumTypeInfo<TppFormatType>(),
                                                               &T::Format, &T::SetFormat);
    format.HasDefault = true;
    cls::PublishProperty(c, format);
    cls::TPropInfo offset = cls::OrdProperty<T, int32_t>("Offset", cls::TypeInfoInteger(), &T::Offset, &T::SetOffset);
    offset.HasDefault = true;
    cls::PublishProperty(c, offset);
    cls::TPropInfo saveTo =
        cls::OrdProperty<T, TppSaveToType>("SaveTo", cls::EnumTypeInfo<TppSaveToType>(), &T::SaveTo, &T::SetSaveTo);
    saveTo.HasDefault = true;
    saveTo.Default = stFile;
    cls::PublishProperty(c, saveTo);
    cls::TPropInfo busy = cls::OrdProperty<T, bool>("ShowBusyCursor", cls::TypeInfoBoolean(), &T::ShowBusyCursor,
                                                    &T::SetShowBusyCursor);
    busy.HasDefault = true;
    busy.Default = 1;
    cls::PublishProperty(c, busy);
  }
  for (const TraRTTI* rtti : {static_cast<const TraRTTI*>(&TraTppTemplateDBSettingsRTTI::Instance()),
                              static_cast<const TraRTTI*>(&TraTppCustomTemplateRTTI::Instance()),
                              static_cast<const TraRTTI*>(&TraTppTemplateRTTI::Instance())})
    raRegisterRTTI(*rtti);
}
