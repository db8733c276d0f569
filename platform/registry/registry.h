// The registry: hierarchical keys holding named string values, kept in one
// file per hive under the system root (<root>/Registry/<hive>.reg). Key and
// value names are matched without regard to ASCII case, as Windows does.
// Every change is one locked read-modify-write, so several processes may
// change the store at once without losing each other's entries.
#pragma once
#include <functional>
#include <map>
#include <optional>
#include <string>
#include <vector>

namespace reg {

enum class Hive { ClassesRoot, CurrentUser, LocalMachine };

const char* HiveName(Hive hive);  // "HKEY_CLASSES_ROOT", ...

// One hive in memory. Paths are "A\B\C" (no leading "\"); "" is the hive.
class Tree {
 public:
  bool KeyExists(const std::string& path) const;
  void CreateKey(const std::string& path);  // with its missing parents
  // Removes the key with everything below it; false when it was not there.
  bool DeleteKey(const std::string& path);
  // "" names the key's default value. Setting creates the key.
  void SetValue(const std::string& path, const std::string& name, const std::string& value);
  std::optional<std::string> GetValue(const std::string& path, const std::string& name) const;
  std::vector<std::string> SubKeys(const std::string& path) const;  // direct children, names only
  std::vector<std::string> ValueNames(const std::string& path) const;

  // Every key and value, one line each, in a stable order (for comparisons).
  std::vector<std::string> Dump() const;

  std::string Serialize() const;
  static Tree Parse(const std::string& text);

 private:
  struct Key {
    std::string path;                                            // as first written
    std::map<std::string, std::pair<std::string, std::string>> values;  // folded name -> (name, value)
  };
  std::map<std::string, Key> keys_;  // folded path -> key
  Key& Ensure(const std::string& path);
};

// Reads the hive (empty when it has no file yet).
Tree Load(Hive hive);
// Runs CHANGE on the hive under the store's lock and writes the result.
// False when the store cannot be read or written.
bool Modify(Hive hive, const std::function<void(Tree&)>& change);

// Single-step conveniences over Load and Modify.
bool SetValue(Hive hive, const std::string& path, const std::string& name, const std::string& value);
std::optional<std::string> GetValue(Hive hive, const std::string& path, const std::string& name);
bool KeyExists(Hive hive, const std::string& path);
bool DeleteKey(Hive hive, const std::string& path);

}  // namespace reg
