// Library messages: message n is the string 43000 + n of the program's own
// table, or of the first loaded language module that has it. A language
// module is the file base + "." + language code, a data file of lines
// "id=text" (see TppLanguageModule).
#pragma once
#include <map>
#include <string>
#include <vector>

#include "platform/classes/classes.h"
#include "platform/gdi/gdi.h"
#include "report/model/ppTypes.h"

constexpr int ppMessageBase = 43000;

// "dft", "dan", ... for each language.
std::string LanguageCode(TppLanguageType language);

// A loaded language module: the strings of one file. The file holds lines
// "<id>=<text>" with Big5 texts; "\n" and "\\" in a text stand for a line
// break and a backslash; empty lines and lines starting with ";" are skipped.
class TppLanguageModule : public cls::TObject {
  CLS_DECLARE_CLASS(TppLanguageModule, cls::TObject)
 public:
  // nullptr when the file is missing or unreadable. Windows file name; a
  // name without a folder is looked for beside the program, in the system
  // folder and in the Windows folder.
  static cls::Owned<TppLanguageModule> Load(const std::string& fileName);
  // Empty when the module has no such string.
  std::string LoadString(int id) const;

 private:
  std::map<int, std::string> strings_;
};

class TppResourceManager : public cls::TObject {
  CLS_DECLARE_CLASS(TppResourceManager, cls::TObject)
 public:
  TppResourceManager();

  TppLanguageType Language() const { return language_; }
  // False, with the previous language and its modules kept, when a language
  // other than lgDefault has no module at all.
  bool SetLanguage(TppLanguageType language);
  void AddModule(const std::string& baseName);
  void RemoveModule(const std::string& baseName);
  int ModuleCount() const { return modules_.Count(); }
  int LoadedCount() const { return loadedCount_; }
  bool Loaded() const { return loaded_; }

  // The text of resource ID (at most 1023 characters); empty when none has it.
  std::string LoadString(int id) const;

 private:
  void ReleaseModules();
  void LoadModules();
  cls::Owned<TppLanguageModule> LoadModule(const std::string& baseName) const;

  TppLanguageType language_ = lgDefault;
  cls::TStringList modules_{true};  // base names, owning their loaded modules
  int loadedCount_ = 0;
  bool loaded_ = false;
};

// The one resource manager of the process, made on first use.
TppResourceManager* GetResourceManager();

// The text of library message N.
std::string LoadLanguageString(int n);
std::string ppLoadStr(int n);
// Every placeholder ("<page>", "<pagecount>", ...) becomes "%s" and every
// other "%" becomes "%%", so the result is a format string whose arguments
// are the placeholders in the order they stand in the text.
std::string ReplacePlaceholder(const std::string& text);
// Message N with its placeholders filled from ARGS in text order. Nothing
// but placeholders is substituted: other "%" signs stay as they are, and a
// placeholder with no argument left stays as written.
std::string FormatLanguageString(int n, const std::vector<cls::TVarRec>& args);
// The same for a text already at hand.
std::string FormatPlaceholders(const std::string& text, const std::vector<cls::TVarRec>& args);

// The bitmap resource NAME (type RT_BITMAP) of the program, else of the
// module holding the report library when that is another one; nullptr when
// none has it or its bits are damaged. The caller deletes it (DeleteObject).
win::HBITMAP LoadBitmapResource(const std::string& name);
// A packed device-independent bitmap decoded into a bitmap; nullptr when it
// is malformed or cut short.
win::HBITMAP ppBitmapFromPackedDIB(const void* data, size_t size);
