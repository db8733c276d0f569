// The report library's settings store: values read and written by section
// and key in an ini file or under a registry key, chosen process-wide.
// Callers make a store with CreateIniStorage, use it and free it. Store
// classes are plug-ins listed by display name for a settings dialog.
//
// Values are kept as text (Booleans "1"/"0", floats and dates in the
// locale's format). A missing key or a value that does not read as the
// type asked for gives the default; a write that fails raises
// cls::EIniFileException.
#pragma once
#include <string>
#include <vector>

#include "platform/classes/classes.h"
#include "platform/registry/inifiles.h"

class TppIniStorage : public cls::TObject {
  CLS_DECLARE_CLASS(TppIniStorage, cls::TObject)
 public:
  virtual void EraseSection(const std::string& section) = 0;
  virtual bool ReadBool(const std::string& section, const std::string& key, bool def) const = 0;
  virtual double ReadDate(const std::string& section, const std::string& key, double def) const = 0;
  virtual double ReadDateTime(const std::string& section, const std::string& key, double def) const = 0;
  virtual double ReadFloat(const std::string& section, const std::string& key, double def) const = 0;
  virtual int32_t ReadInteger(const std::string& section, const std::string& key, int32_t def) const = 0;
  virtual std::string ReadString(const std::string& section, const std::string& key,
                                 const std::string& def) const = 0;
  virtual double ReadTime(const std::string& section, const std::string& key, double def) const = 0;
  virtual void WriteBool(const std::string& section, const std::string& key, bool value) = 0;
  virtual void WriteDate(const std::string& section, const std::string& key, double value) = 0;
  virtual void WriteDateTime(const std::string& section, const std::string& key, double value) = 0;
  virtual void WriteFloat(const std::string& section, const std::string& key, double value) = 0;
  virtual void WriteInteger(const std::string& section, const std::string& key, int32_t value) = 0;
  virtual void WriteString(const std::string& section, const std::string& key, const std::string& value) = 0;
  virtual void WriteTime(const std::string& section, const std::string& key, double value) = 0;
};

// A store over a class-library ini-file object, which it owns and to which
// every operation goes unchanged.
class TppCustomIniFileStorage : public TppIniStorage {
  CLS_DECLARE_CLASS(TppCustomIniFileStorage, TppIniStorage)
 public:
  explicit TppCustomIniFileStorage(cls::Owned<cls::TCustomIniFile> iniFile) : iniFile_(std::move(iniFile)) {}
  cls::TCustomIniFile* IniFile() const { return iniFile_.get(); }

  void EraseSection(const std::string& section) override;
  bool ReadBool(const std::string& section, const std::string& key, bool def) const override;
  double ReadDate(const std::string& section, const std::string& key, double def) const override;
  double ReadDateTime(const std::string& section, const std::string& key, double def) const override;
  double ReadFloat(const std::string& section, const std::string& key, double def) const override;
  int32_t ReadInteger(const std::string& section, const std::string& key, int32_t def) const override;
  std::string ReadString(const std::string& section, const std::string& key, const std::string& def) const override;
  double ReadTime(const std::string& section, const std::string& key, double def) const override;
  void WriteBool(const std::string& section, const std::string& key, bool value) override;
  void WriteDate(const std::string& section, const std::string& key, double value) override;
  void WriteDateTime(const std::string& section, const std::string& key, double value) override;
  void WriteFloat(const std::string& section, const std::string& key, double value) override;
  void WriteInteger(const std::string& section, const std::string& key, int32_t value) override;
  void WriteString(const std::string& section, const std::string& key, const std::string& value) override;
  void WriteTime(const std::string& section, const std::string& key, double value) override;

 private:
  cls::Owned<cls::TCustomIniFile> iniFile_;
};

// The ini file in the Windows folder.
class TppIniFile : public TppCustomIniFileStorage {
  CLS_DECLARE_CLASS(TppIniFile, TppCustomIniFileStorage)
 public:
  explicit TppIniFile(const std::string& storageName) : TppCustomIniFileStorage(CreateIniFile(storageName)) {}
  static std::string ClassDisplayName() { return "IniFile"; }
  static std::string ClassDefaultStorageName() { return "($WINSYS)\\Pagewright.ini"; }
  // The ini file on the name without every "($WINSYS)\" (case ignored).
  static cls::Owned<cls::TCustomIniFile> CreateIniFile(const std::string& storageName);
};

// The registry key of the current user.
class TppRegistry : public TppCustomIniFileStorage {
  CLS_DECLARE_CLASS(TppRegistry, TppCustomIniFileStorage)
 public:
  explicit TppRegistry(const std::string& storageName) : TppCustomIniFileStorage(CreateIniFile(storageName)) {}
  static std::string ClassDisplayName() { return "Registry"; }
  static std::string ClassDefaultStorageName() { return "Pagewright"; }
  static cls::Owned<cls::TCustomIniFile> CreateIniFile(const std::string& storageName);
};

// A store class: its class-level operations.
struct TppIniStorageClass {
  cls::TClass Class = nullptr;
  std::string (*DisplayName)() = nullptr;
  std::string (*DefaultStorageName)() = nullptr;
  TppIniStorage* (*Create)(const std::string& storageName) = nullptr;
};
template <class T>
TppIniStorageClass ppIniStorageClassOf() {
  return {&T::StaticClass(), &T::ClassDisplayName, &T::ClassDefaultStorageName,
          [](const std::string& name) -> TppIniStorage* { return new T(name); }};
}

// The store classes a settings dialog offers.
class TppIniStoragePlugIns {
 public:
  // A class listed already is ignored.
  static void Register(const TppIniStorageClass& storageClass);
  static void UnRegister(cls::TClass c);
  // The listed classes in registration order (a copy).
  static std::vector<TppIniStorageClass> Classes();
};

// The process-wide store class (TppIniFile until set) and storage name
// ("($WINSYS)\Pagewright.ini" until set).
void ppSetIniStorageType(const TppIniStorageClass& storageClass);
TppIniStorageClass ppIniStorageType();
void ppSetIniStorageName(const std::string& name);
std::string ppIniStorageName();

// A new store of the configured class on the configured name.
cls::Owned<TppIniStorage> CreateIniStorage();

// Lists TppIniFile and TppRegistry (the model's registration).
void ppRegisterIniStorageUnit();
