#include "report/model/ppIniStorage.h"

#include <mutex>

#include "platform/sysroot/codepage.h"

CLS_IMPLEMENT_CLASS(TppIniStorage)
CLS_IMPLEMENT_CLASS(TppCustomIniFileStorage)
CLS_IMPLEMENT_CLASS(TppIniFile)
CLS_IMPLEMENT_CLASS(TppRegistry)

// ---- TppCustomIniFileStorage ----

void TppCustomIniFileStorage::EraseSection(const std::string& section) { iniFile_->EraseSection(section); }

bool TppCustomIniFileStorage::ReadBool(const std::string& section, const std::string& key, bool def) const {
  return iniFile_->ReadBool(section, key, def);
}
double TppCustomIniFileStorage::ReadDate(const std::string& section, const std::string& key, double def) const {
  return iniFile_->ReadDate(section, key, def);
}
double TppCustomIniFileStorage::ReadDateTime(const std::string& section, const std::string& key, double def) const {
  return iniFile_->ReadDateTime(section, key, def);
}
double TppCustomIniFileStorage::ReadFloat(const std::string& section, const std::string& key, double def) const {
  return iniFile_->ReadFloat(section, key, def);
}
int32_t TppCustomIniFileStorage::ReadInteger(const std::string& section, const std::string& key, int32_t def) const {
  return iniFile_->ReadInteger(section, key, def);
}
std::string TppCustomIniFileStorage::ReadString(const std::string& section, const std::string& key,
                                                const std::string& def) const {
  return iniFile_->ReadString(section, key, def);
}
double TppCustomIniFileStorage::ReadTime(const std::string& section, const std::string& key, double def) const {
  return iniFile_->ReadTime(section, key, def);
}

void TppCustomIniFileStorage::WriteBool(const std::string& section, const std::string& key, bool value) {
  iniFile_->WriteBool(section, key, value);
}
void TppCustomIniFileStorage::WriteDate(const std::string& section, const std::string& key, double value) {
  iniFile_->WriteDate(section, key, value);
}
void TppCustomIniFileStorage::WriteDateTime(const std::string& section, const std::string& key, double value) {
  iniFile_->WriteDateTime(section, key, value);
}
void TppCustomIniFileStorage::WriteFloat(const std::string& section, const std::string& key, double value) {
  iniFile_->WriteFloat(section, key, value);
}
void TppCustomIniFileStorage::WriteInteger(const std::string& section, const std::string& key, int32_t value) {
  iniFile_->WriteInteger(section, key, value);
}
void TppCustomIniFileStorage::WriteString(const std::string& section, const std::string& key,
                                          const std::string& value) {
  iniFile_->WriteString(section, key, value);
}
void TppCustomIniFileStorage::WriteTime(const std::string& section, const std::string& key, double value) {
  iniFile_->WriteTime(section, key, value);
}

// ---- the two stores ----

cls::Owned<cls::TCustomIniFile> TppIniFile::CreateIniFile(const std::string& storageName) {
  static const std::string kWinSys = "($WINSYS)\\";
  std::string name;
  for (size_t i = 0; i < storageName.size();) {
    if (cp::SameText(std::string_view(storageName).substr(i, kWinSys.size()), kWinSys)) {
      i += kWinSys.size();
      continue;
    }
    size_t n = cp::IsBig5Lead(static_cast<unsigned char>(storageName[i])) && i + 1 < storageName.size() ? 2 : 1;
    name.append(storageName, i, n);
    i += n;
  }
  return cls::Owned<cls::TCustomIniFile>(new cls::TIniFile(name));
}

cls::Owned<cls::TCustomIniFile> TppRegistry::CreateIniFile(const std::string& storageName) {
  return cls::Owned<cls::TCustomIniFile>(new cls::TRegistryIniFile(storageName));
}

// ---- process-wide settings and plug-ins ----

namespace {

struct Settings {
  std::mutex lock;
  TppIniStorageClass storageClass = ppIniStorageClassOf<TppIniFile>();
  std::string storageName = TppIniFile::ClassDefaultStorageName();
  std::vector<TppIniStorageClass> plugIns;
};

Settings& TheSettings() {
  static Settings s;
  return s;
}

}  // namespace

void TppIniStoragePlugIns::Register(const TppIniStorageClass& storageClass) {
  if (!storageClass.Class || !storageClass.Create) return;
  Settings& s = TheSettings();
  std::lock_guard<std::mutex> guard(s.lock);
  for (const TppIniStorageClass& c : s.plugIns)
    if (c.Class == storageClass.Class) return;
  s.plugIns.push_back(storageClass);
}

void TppIniStoragePlugIns::UnRegister(cls::TClass c) {
  Settings& s = TheSettings();
  std::lock_guard<std::mutex> guard(s.lock);
  std::erase_if(s.plugIns, [c](const TppIniStorageClass& p) { return p.Class == c; });
}

std::vector<TppIniStorageClass> TppIniStoragePlugIns::Classes() {
  Settings& s = TheSettings();
  std::lock_guard<std::mutex> guard(s.lock);
  return s.plugIns;
}

void ppSetIniStorageType(const TppIniStorageClass& storageClass) {
  if (!storageClass.Create) return;
  Settings& s = TheSettings();
  std::lock_guard<std::mutex> guard(s.lock);
  s.storageClass = storageClass;
}

TppIniStorageClass ppIniStorageType() {
  Settings& s = TheSettings();
  std::lock_guard<std::mutex> guard(s.lock);
  return s.storageClass;
}

void ppSetIniStorageName(const std::string& name) {
  Settings& s = TheSettings();
  std::lock_guard<std::mutex> guard(s.lock);
  s.storageName = name;
}

std::string ppIniStorageName() {
  Settings& s = TheSettings();
  std::lock_guard<std::mutex> guard(s.lock);
  return s.storageName;
}

cls::Owned<TppIniStorage> CreateIniStorage() {
  TppIniStorageClass c;
  std::string name;
  {
    Settings& s = TheSettings();
    std::lock_guard<std::mutex> guard(s.lock);
    c = s.storageClass;
    name = s.storageName;
  }
  return cls::Owned<TppIniStorage>(c.Create(name));
}

void ppRegisterIniStorageUnit() {
  TppIniStoragePlugIns::Register(ppIniStorageClassOf<TppIniFile>());
  TppIniStoragePlugIns::Register(ppIniStorageClassOf<TppRegistry>());
}
