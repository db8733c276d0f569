#include "platform/registry/inifiles.h"

#include <limits>
#include <optional>

#include "platform/registry/ini.h"
#include "platform/registry/registry.h"
#include "platform/sysroot/sysroot.h"

namespace cls {

CLS_IMPLEMENT_CLASS(TCustomIniFile)
CLS_IMPLEMENT_CLASS(TIniFile)
CLS_IMPLEMENT_CLASS(TRegistryIniFile)

namespace {

// The value read through CONVERT, or nothing when the key is missing or its
// text is not one CONVERT reads.
template <class Convert>
auto ReadAs(const TCustomIniFile& file, const std::string& section, const std::string& ident, Convert convert)
    -> std::optional<decltype(convert(std::string()))> {
  std::optional<std::string> text = file.ReadValue(section, ident);
  if (!text) return std::nullopt;
  try {
    return convert(*text);
  } catch (const EConvertError&) {
    return std::nullopt;
  }
}

int32_t ToInt32(const std::string& text) {
  int64_t v = StrToInt(text);
  if (v < std::numeric_limits<int32_t>::min() || v > std::numeric_limits<int32_t>::max())
    throw EConvertError("'" + text + "' is not a valid integer value");
  return static_cast<int32_t>(v);
}

}  // namespace

std::string TCustomIniFile::ReadString(const std::string& section, const std::string& ident,
                                       const std::string& def) const {
  return ReadValue(section, ident).value_or(def);
}

int32_t TCustomIniFile::ReadInteger(const std::string& section, const std::string& ident, int32_t def) const {
  return ReadAs(*this, section, ident, ToInt32).value_or(def);
}

bool TCustomIniFile::ReadBool(const std::string& section, const std::string& ident, bool def) const {
  return ReadAs(*this, section, ident, [](const std::string& t) { return ToInt32(t) != 0; }).value_or(def);
}

double TCustomIniFile::ReadFloat(const std::string& section, const std::string& ident, double def) const {
  return ReadAs(*this, section, ident, [](const std::string& t) { return StrToFloat(t); }).value_or(def);
}

double TCustomIniFile::ReadDate(const std::string& section, const std::string& ident, double def) const {
  return ReadAs(*this, section, ident, [](const std::string& t) { return StrToDate(t); }).value_or(def);
}

double TCustomIniFile::ReadDateTime(const std::string& section, const std::string& ident, double def) const {
  return ReadAs(*this, section, ident, [](const std::string& t) { return StrToDateTime(t); }).value_or(def);
}

double TCustomIniFile::ReadTime(const std::string& section, const std::string& ident, double def) const {
  return ReadAs(*this, section, ident, [](const std::string& t) { return StrToTime(t); }).value_or(def);
}

void TCustomIniFile::WriteInteger(const std::string& section, const std::string& ident, int32_t value) {
  WriteString(section, ident, IntToStr(value));
}

void TCustomIniFile::WriteBool(const std::string& section, const std::string& ident, bool value) {
  WriteString(section, ident, value ? "1" : "0");
}

void TCustomIniFile::WriteFloat(const std::string& section, const std::string& ident, double value) {
  WriteString(section, ident, FloatToStrG(value));
}

void TCustomIniFile::WriteDate(const std::string& section, const std::string& ident, double value) {
  WriteString(section, ident, DateToStr(value));
}

void TCustomIniFile::WriteDateTime(const std::string& section, const std::string& ident, double value) {
  WriteString(section, ident, DateTimeToStr(value));
}

void TCustomIniFile::WriteTime(const std::string& section, const std::string& ident, double value) {
  WriteString(section, ident, TimeToStr(value));
}

// ---- TIniFile ----

TIniFile::TIniFile(const std::string& fileName) : TCustomIniFile(fileName), hostPath_(ini::ProfileFile(fileName)) {}

std::optional<std::string> TIniFile::ReadValue(const std::string& section, const std::string& ident) const {
  ini::File f;
  if (!ini::Load(hostPath_, f)) return std::nullopt;
  return f.Get(section, ident);
}

void TIniFile::WriteString(const std::string& section, const std::string& ident, const std::string& value) {
  bool accepted = true;
  if (!ini::Modify(hostPath_, [&](ini::File& f) { accepted = f.Set(section, ident, value); }))
    throw EIniFileException("Unable to write to " + sysroot::WinPath(hostPath_));
  if (!accepted)
    throw EIniFileException("Cannot write " + section + "." + ident + " to " + sysroot::WinPath(hostPath_) +
                            ": a line break, or a key that cannot be read back");
}

void TIniFile::EraseSection(const std::string& section) {
  if (!ini::Modify(hostPath_, [&](ini::File& f) { f.EraseSection(section); }))
    throw EIniFileException("Unable to write to " + sysroot::WinPath(hostPath_));
}

// ---- TRegistryIniFile ----

std::string TRegistryIniFile::KeyPath(const std::string& section) const {
  if (section.empty()) return FileName();
  return FileName().empty() ? section : FileName() + "\\" + section;
}

std::optional<std::string> TRegistryIniFile::ReadValue(const std::string& section, const std::string& ident) const {
  return reg::GetValue(reg::Hive::CurrentUser, KeyPath(section), ident);
}

void TRegistryIniFile::WriteString(const std::string& section, const std::string& ident, const std::string& value) {
  if (!reg::SetValue(reg::Hive::CurrentUser, KeyPath(section), ident, value))
    throw EIniFileException("Unable to write to " + std::string(reg::HiveName(reg::Hive::CurrentUser)) + "\\" +
                            KeyPath(section));
}

void TRegistryIniFile::EraseSection(const std::string& section) {
  if (KeyPath(section).empty()) return;  // never the whole hive
  if (!reg::Modify(reg::Hive::CurrentUser, [&](reg::Tree& t) { t.DeleteKey(KeyPath(section)); }))
    throw EIniFileException("Unable to write to " + std::string(reg::HiveName(reg::Hive::CurrentUser)) + "\\" +
                            KeyPath(section));
}

}  // namespace cls
