// The class library's ini-file face: settings read and written by section
// and key, in an ini file (TIniFile) or under a registry key of the current
// user (TRegistryIniFile).
//
// Every value is kept as text: integers in decimal, Booleans "1" and "0",
// floats, dates and times in the locale's format (FormatSettings). A key
// that is missing, or whose text does not read as the type asked for,
// reads as the default given. A change that cannot be stored raises
// EIniFileException.
#pragma once
#include <optional>
#include <string>

#include "platform/classes/classes.h"

namespace cls {

CLS_DECLARE_EXCEPTION(EIniFileException, Exception);

class TCustomIniFile : public TObject {
  CLS_DECLARE_CLASS(TCustomIniFile, TObject)
 public:
  explicit TCustomIniFile(std::string fileName) : fileName_(std::move(fileName)) {}
  const std::string& FileName() const { return fileName_; }

  // The text of IDENT in SECTION; nothing when it is missing or cannot be read.
  virtual std::optional<std::string> ReadValue(const std::string& section, const std::string& ident) const = 0;
  virtual void WriteString(const std::string& section, const std::string& ident, const std::string& value) = 0;
  virtual void EraseSection(const std::string& section) = 0;

  std::string ReadString(const std::string& section, const std::string& ident, const std::string& def) const;
  // A 32-bit decimal or $hex integer.
  int32_t ReadInteger(const std::string& section, const std::string& ident, int32_t def) const;
  // Any integer other than 0 is true.
  bool ReadBool(const std::string& section, const std::string& ident, bool def) const;
  double ReadFloat(const std::string& section, const std::string& ident, double def) const;
  double ReadDate(const std::string& section, const std::string& ident, double def) const;
  double ReadDateTime(const std::string& section, const std::string& ident, double def) const;
  double ReadTime(const std::string& section, const std::string& ident, double def) const;
  void WriteInteger(const std::string& section, const std::string& ident, int32_t value);
  void WriteBool(const std::string& section, const std::string& ident, bool value);
  void WriteFloat(const std::string& section, const std::string& ident, double value);
  void WriteDate(const std::string& section, const std::string& ident, double value);
  void WriteDateTime(const std::string& section, const std::string& ident, double value);
  void WriteTime(const std::string& section, const std::string& ident, double value);

 private:
  std::string fileName_;
};

// An ini file named as the profile functions name it (a bare name lies in
// the Windows folder). Each change is one locked read-modify-write that
// replaces the file whole, so a reader sees the old file or the new one.
class TIniFile : public TCustomIniFile {
  CLS_DECLARE_CLASS(TIniFile, TCustomIniFile)
 public:
  explicit TIniFile(const std::string& fileName);

  std::optional<std::string> ReadValue(const std::string& section, const std::string& ident) const override;
  void WriteString(const std::string& section, const std::string& ident, const std::string& value) override;
  void EraseSection(const std::string& section) override;

 private:
  std::string hostPath_;
};

// The registry as an ini file: the key FILENAME of HKEY_CURRENT_USER, each
// section a subkey of it and each ident a value of the subkey.
class TRegistryIniFile : public TCustomIniFile {
  CLS_DECLARE_CLASS(TRegistryIniFile, TCustomIniFile)
 public:
  explicit TRegistryIniFile(const std::string& fileName) : TCustomIniFile(fileName) {}

  std::optional<std::string> ReadValue(const std::string& section, const std::string& ident) const override;
  void WriteString(const std::string& section, const std::string& ident, const std::string& value) override;
  void EraseSection(const std::string& section) override;

 private:
  std::string KeyPath(const std::string& section) const;
};

}  // namespace cls
