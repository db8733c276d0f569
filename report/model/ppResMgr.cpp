#include "report/model/ppResMgr.h"

#include <algorithm>
#include <cstring>
#include <fstream>
#include <iterator>
#include <memory>
#include <mutex>
#include <sstream>

#include "platform/gdi/picture.h"
#include "platform/process/process.h"
#include "platform/resources/resources.h"
#include "platform/sysroot/codepage.h"
#include "platform/sysroot/files.h"
#include "platform/sysroot/sysroot.h"

namespace {

// The program's own message table (English).
const std::map<int, const char*>& OwnMessages() {
  static const std::map<int, const char*> table = {
    {1, "100 %"},
    {2, "Accessing data..."},
    {3, "&All"},
    {4, "Calculating page <page> for report <documentname>"},
    {5, "Cancel"},
    {6, "Close"},
    {7, "Copies"},
    {8, "There are no printers connected to your computer."},
    {9, "Curr&ent Page"},
    {10, "Drawing page <page> of <pagecount> for report <documentname>"},
    {11, "Enter page numbers and/or page ranges separated by commas.  For example, 1,3,5-12."},
    {12, "Report Emulation Text File"},
    {13, "First Page"},
    {14, "Last Page"},
    {15, "Next Page"},
    {16, "of"},
    {17, "OK"},
    {18, "Page"},
    {19, "Page Range"},
    {20, "Pa&ges"},
    {22, "Print"},
    {23, "Print Preview"},
    {24, "Printing"},
    {25, "Printer"},
    {26, "Print to File"},
    {27, "Printing page <page> for report <documentname> on the <printername>"},
    {28, "Printing page <page> of <pagecount> for report <documentname> on the <printername>"},
    {29, "Prior Page"},
    {30, "Whole Page"},
    {31, "Page Width"},
    {32, "No pages entered."},
    {33, "Please specify file name before continuing."},
    {34, "Archive File"},
    {37, "Text File"},
    {38, "As"},
    {39, "Name"},
    {40, "Could not open DataSet."},
    {42, "Unable to convert position for column <columnno>."},
    {43, "Unable to find position for column <columnno>."},
    {44, "Band height cannot exceed page height."},
    {45, "Record not found:"},
    {46, "File not found:"},
    {47, "Error reading template from database."},
    {49, "Invalid Template Format"},
    {50, "Ignore the error and continue?"},
    {51, "File is read-only."},
    {53, "Cannot store a template to a field of this type."},
    {54, "Show all data where the"},
    {55, "and the"},
    {56, "is not a valid date."},
    {57, "is not a valid time."},
    {58, "is not a valid datetime."},
    {59, "is not a valid number."},
    {60, "Value must be either True or False."},
    {61, "Search value must be entered."},
    {62, "and"},
    {63, "Add to list"},
    {64, "Remove from list"},
    {65, "Search"},
    {66, "indicates that this search value must be entered."},
    {67, "Unable to open file: <filename>."},
    {68, "(blank)"},
    {69, "Calculating Crosstab: Record <count>."},
    {70, "Total"},
    {71, "Data"},
    {72, "Grand Total"},
    {73, "CrossTab: <name> references field '<name>'"},
    {74, "which is not a field of data pipeline: <name>."},
    {75, "Subtotal"},
    {76, "Formatting CrossTab: Compute cell heights and widths."},
    {77, "Formatting CrossTab Values: Compute cell heights and widths."},
    {78, "Formatting CrossTab Values: Compute cell heights and widths. Column: <count> Row: <count>"},
    {79, "Formatting CrossTab Rows: Compute caption text sizes."},
    {80, "Formatting CrossTab Rows: Coalesce caption heights."},
    {81, "Formatting CrossTab Rows: Allocate caption heights."},
    {82, "Formatting CrossTab Rows: Adjust total row heights."},
    {83, "Formatting CrossTab Rows: Allocate caption widths."},
    {84, "Formatting CrossTab Columns: Compute caption text sizes."},
    {85, "Formatting CrossTab Columns: Coalesce caption widths."},
    {86, "Formatting CrossTab Columns: Coalesce caption heights."},
    {87, "Formatting CrossTab Columns: Allocate caption widths."},
    {88, "Formatting CrossTab Columns: Adjust total column heights."},
    {89, "Formatting CrossTab Columns: Position field labels."},
    {90, "Formatting CrossTab Values: Position field labels."},
    {91, "Formatting CrossTab Values: Allocate caption heights."},
    {92, "is"},
    {93, "is equal to"},
    {94, "is not"},
    {95, "is not equal to"},
    {96, "is before"},
    {97, "is less than"},
    {98, "is on or before"},
    {99, "is less than or equal to"},
    {100, "is after"},
    {187, "Column Footer"},
    {188, "Column Header"},
    {189, "Detail"},
    {190, "Footer"},
    {191, "Group Footer"},
    {192, "Group Header"},
    {193, "Header"},
    {194, "Summary"},
    {195, "Title"},
    {226, "Auto Size"},
    {227, "Blank When Zero"},
    {228, "Calculations"},
    {230, "Display Format"},
    {238, "Reprint On Over Flow"},
    {239, "Reprint On Subsequent"},
    {240, "Shift With Parent"},
    {245, "Suppress Repeated Values"},
    {246, "Transparent"},
    {248, "Word Wrap"},
    {296, "A band that holds components cannot be made this small."},
    {297, "The band would be taller than the page."},
    {134, "&Open"},
    {138, "&Save"},
    {300, "(no break component)"},
    {301, "(no break field)"},
    {342, "A component cannot shift relative to a component that shifts relative to it."},
    {361, "Open Template"},
    {362, "Save Template"},
    {415, "The band's print position lies at or below the bottom of the page"},
    {416, "&Ignore"},
    {417, "Ignore &All"},
    {418, "Error Reading Template"},
    {423, "Add-on codes are for UPC and EAN bar codes only."},
    {424, "An add-on code has 2 or 5 digits."},
    {425, "This bar code type always sizes itself."},
    {426, "UPC and EAN bar codes always fit their font."},
    {427, "The bar width must be at least <minbarwidth>."},
    {428, "The bar width must be at most <maxbarwidth>."},
    {429, "Bearer bars are for Interleaved 2 of 5 bar codes only."},
    {430, "Code 39 data holds blanks, $ % + - . / 0-9 and A-Z only; it may start and end with *."},
    {431, "EAN-13 data has 12 or 13 digits."},
    {432, "EAN-13 data of 12 digits needs the check digit calculated."},
    {433, "EAN-13 data must be numeric."},
    {434, "Interleaved 2 of 5 data must be numeric."},
    {435, "Interleaved 2 of 5 data of odd length needs the check digit calculated."},
    {436, "POSTNET data holds digits and dashes only."},
    {437, "The bar code data is not valid for this type."},
    {438, "UPC-A data has 11 or 12 digits."},
    {439, "UPC-A data of 11 digits needs the check digit calculated."},
    {440, "UPC-A data must be numeric."},
    {645, "EAN-8 data has 7 or 8 digits."},
    {646, "EAN-8 data of 7 digits needs the check digit calculated."},
    {647, "EAN-8 data must be numeric."},
    {648, "UPC-E data has 6 or 7 digits."},
    {649, "UPC-E data of 6 digits needs the check digit calculated."},
    {650, "UPC-E data must be numeric."},
    {651, "FIM data is one letter: A, B or C."},
    {652, "Codabar data holds $ + - . / : 0-9 and A-D only."},
    {653, "Codabar data starts and ends with A, B, C or D."},
    {654, "The Codabar letters A to D"},
    {655, "stand at the start and the end only."},
    {441, "Auto Size Font"},
    {442, "Print Human Readable"},
    {443, "Configure"},
    {451, "Code 128 data must begin with a start character (START A, START B or START C)."},
    {452, "A Code 128 start character may only stand at the beginning of the data."},
    {453, "The character <character> cannot be encoded in the current Code 128 character set."},
    {454, "Code 128 control characters (NUL to US) can only be encoded in character set A."},
    {455, "Code 128 character set C encodes pairs of digits: the last digit has no partner."},
    {456, "A Code 128 CODE A, CODE B or CODE C character switches to the character set already in use."},
    {457, "FNC2, FNC3 and SHIFT cannot be used in Code 128 character set C."},
    {458, "A Code 128 SHIFT must be followed by a character of the other character set."},
    {459, "The selected printer is not valid."},
    {494, "A template of this name already exists:"},
    {523, "Do you want to replace it?"},
    {691, "Page Style"},
    {1000, "is greater than"},
    {1001, "is on or after"},
    {1002, "is greater than or equal to"},
    {1003, "begins with"},
    {1004, "does not begin with"},
    {1005, "is between"},
    {1006, "is not between"},
    {1007, "matches one of the values in this list"},
    {1008, "is blank"},
    {1009, "is not blank"},
    {1010, "&Name"},
    {1011, "Type"},
    {1012, "Where"},
    {1013, "&Properties"},
    {1014, "Number of &copies"},
    {1015, "Colla&te"},
    {1016, "P&rint"},
    {1017, "All pages in range"},
    {1018, "Odd pages"},
    {1019, "Even pages"},
    {1020, "Windows cannot print due to a problem with the current printer setup."},
    {1021, "Search Data"},
    {1022, "No bands for this report."},
    {1023, "Cannot generate report."},
    {1024, "Invalid Value"},
    {1025, "Move Tab &Left"},
    {1026, "Move Tab &Right"},
    {1027, "does not match any of the values in this list"},
    {1028, "Count"},
    {1029, "Sum"},
    {1030, "Minimum"},
    {1031, "Maximum"},
    {1032, "Average"},
    {1033, "Show all values of the <name> field."},
    {1034, "No Data Found"},
    {1035, "No data found for this report."},
    {1036, "has any value."},
    {1040, "Main"},
    {1041, "Hide Outline"},
    {1042, "Show Outline"},
    {1043, "Expand Outline"},
    {1044, "Collapse Outline"},
    {1045, "...more..."},
    {1046, "Done"},
    {1047, "Error"},
    {1048, "Found"},
    {1049, "Clear the search"},
    {1050, "Found Text From Page"},
    {1051, "Text Search Cancelled"},
    {1052, "Enter the text to find"},
    {1053, "Find text in the report"},
    {1054, "Show the Find Text Toolbar"},
    {1055, "Hide the Find Text Toolbar"},
    {1056, "Start Search on Current Page"},
    {1057, "Start Search on First Page"},
    {1058, "Find First"},
    {1059, "Find Last"},
    {1060, "Find Next"},
    {1061, "Find Prior"},
    {1062, "Show All"},
    {1063, "Case Sensitive"},
    {1064, "Whole Word"},
    {1065, "StartingPage"},
    {1066, "Enabled"},
    {1067, "Show the Find Text Toolbar"},
    {1068, "Default Find Text String"},
    {1069, "<FindText>"},
    {1070, "Error: Text Search Cancelled"},
    {1071, "Find"},
    {1072, "Find Text"},
    {1073, "Print in Background"},
    {1131, "Look Ahead"},
    {1132, "Reset Group"},
    {1150, "Text Search Settings"},  };
  return table;
}

std::string OwnString(int id) {
  auto it = OwnMessages().find(id - ppMessageBase);
  return it == OwnMessages().end() ? std::string() : std::string(it->second);
}

constexpr size_t kMaxText = 1023;

const char* const kPlaceholders[] = {"<page>",        "<pagecount>",   "<documentname>", "<printername>",
                                     "<columnno>",    "<filename>",    "<minbarwidth>",  "<maxbarwidth>",
                                     "<character>",   "<identifier>",  "<name>",         "<count>",
                                     "<message>",     "<length>",      "<no>"};

// Length of the placeholder at TEXT[i], 0 when none starts there.
size_t PlaceholderAt(const std::string& text, size_t i) {
  for (const char* p : kPlaceholders) {
    size_t n = std::char_traits<char>::length(p);
    if (text.compare(i, n, p) == 0) return n;
  }
  return 0;
}

std::string ArgText(const cls::TVarRec& v) {
  switch (v.kind()) {
    case cls::TVarRec::vInteger: return cls::IntToStr(v.AsInteger());
    case cls::TVarRec::vFloat: return cls::FloatToStrG(v.AsFloat(), 15);
    case cls::TVarRec::vString: return v.AsString();
  }
  return {};
}

cls::Owned<TppResourceManager>& Instance() {
  static cls::Owned<TppResourceManager> p;
  return p;
}
std::mutex g_instanceMutex;

}  // namespace

std::string LanguageCode(TppLanguageType language) {
  // One per language, in the enumeration's order.
  static constexpr const char* codes[] = {"dft", "dan", "nld", "eng", "fra", "deu", "ita",
                                          "ptb", "ptg", "esp", "esm", "sve", "nor", "cst"};
  static_assert(static_cast<int>(std::size(codes)) == cls::EnumCount<TppLanguageType>());
  size_t i = static_cast<size_t>(language);
  return i < std::size(codes) ? codes[i] : "";
}

// ---- TppLanguageModule ----

CLS_IMPLEMENT_CLASS(TppLanguageModule)

cls::Owned<TppLanguageModule> TppLanguageModule::Load(const std::string& fileName) {
  std::vector<std::string> candidates;
  if (fileName.find('\\') != std::string::npos || fileName.find(':') != std::string::npos) {
    candidates.push_back(fileName);
  } else {
    std::string program = win::GetModuleFileName();
    size_t slash = program.rfind('\\');
    if (slash != std::string::npos) candidates.push_back(program.substr(0, slash + 1) + fileName);
    candidates.push_back(sysroot::JoinWin(sysroot::SystemDir(), fileName));
    candidates.push_back(sysroot::JoinWin(sysroot::WindowsDir(), fileName));
  }
  for (const std::string& name : candidates) {
    if (!win::FileExists(name)) continue;
    std::ifstream in(sysroot::HostPath(name), std::ios::binary);
    if (!in) continue;
    auto m = cls::MakeOwned<TppLanguageModule>();
    std::string line;
    while (std::getline(in, line)) {
      if (!line.empty() && line.back() == '\r') line.pop_back();
      if (line.empty() || line[0] == ';') continue;
      size_t eq = line.find('=');
      int64_t id;
      if (eq == std::string::npos || !cls::TryStrToInt(line.substr(0, eq), id) || id < 0 || id > 0xFFFF) continue;
      std::string text;
      for (size_t i = eq + 1; i < line.size(); ++i) {
        if (cp::IsBig5Lead(static_cast<unsigned char>(line[i])) && i + 1 < line.size()) {
          text.append(line, i, 2);  // a trail byte may be a backslash
          ++i;
        } else if (line[i] == '\\' && i + 1 < line.size() && (line[i + 1] == 'n' || line[i + 1] == '\\')) {
          text += line[i + 1] == 'n' ? '\n' : '\\';
          ++i;
        } else {
          text += line[i];
        }
      }
      m->strings_[static_cast<int>(id)] = text;
    }
    return m;
  }
  return {};
}

std::string TppLanguageModule::LoadString(int id) const {
  auto it = strings_.find(id);
  return it == strings_.end() ? std::string() : it->second;
}

// ---- TppResourceManager ----

CLS_IMPLEMENT_CLASS(TppResourceManager)

TppResourceManager::TppResourceManager() = default;

cls::Owned<TppLanguageModule> TppResourceManager::LoadModule(const std::string& baseName) const {
  return TppLanguageModule::Load(baseName + "." + LanguageCode(language_));
}

void TppResourceManager::ReleaseModules() {
  for (int i = 0; i < modules_.Count(); ++i) modules_.PutObject(i, nullptr);  // frees the module
  loadedCount_ = 0;
}

void TppResourceManager::LoadModules() {
  ReleaseModules();
  for (int i = 0; i < modules_.Count(); ++i) {
    cls::Owned<TppLanguageModule> m = LoadModule(modules_[i]);
    if (m) ++loadedCount_;
    modules_.PutObject(i, m.release());
  }
  loaded_ = true;
}

bool TppResourceManager::SetLanguage(TppLanguageType language) {
  TppLanguageType previous = language_;
  if (language != language_) {
    language_ = language;
    loaded_ = false;
  }
  if (!loaded_) LoadModules();
  if (language_ != lgDefault && loadedCount_ == 0) {
    // Refused: the previous language comes back with its modules.
    language_ = previous;
    LoadModules();
    return false;
  }
  return true;
}

void TppResourceManager::AddModule(const std::string& baseName) {
  if (modules_.IndexOf(baseName) >= 0) return;
  cls::Owned<TppLanguageModule> m = LoadModule(baseName);
  if (m) ++loadedCount_;
  modules_.AddObject(baseName, m.release());
}

void TppResourceManager::RemoveModule(const std::string& baseName) {
  int i = modules_.IndexOf(baseName);
  if (i < 0) return;
  if (modules_.Objects(i)) --loadedCount_;
  modules_.Delete(i);  // frees the module
}

std::string TppResourceManager::LoadString(int id) const {
  std::string text;
  if (loadedCount_ > 0) {
    for (int i = 0; i < modules_.Count() && text.empty(); ++i)
      if (auto* m = static_cast<TppLanguageModule*>(modules_.Objects(i))) text = m->LoadString(id);
  }
  if (text.empty()) text = OwnString(id);
  if (text.size() > kMaxText) {
    // Cut at a character boundary: no lead byte without its trail byte.
    size_t end = 0;
    while (end < kMaxText) {
      size_t len = cp::IsBig5Lead(static_cast<unsigned char>(text[end])) ? 2 : 1;
      if (end + len > kMaxText) break;
      end += len;
    }
    text.resize(end);
  }
  return text;
}

TppResourceManager* GetResourceManager() {
  std::lock_guard<std::mutex> lock(g_instanceMutex);
  if (!Instance()) Instance() = cls::MakeOwned<TppResourceManager>();
  return Instance().get();
}

std::string LoadLanguageString(int n) { return GetResourceManager()->LoadString(ppMessageBase + n); }
std::string ppLoadStr(int n) { return LoadLanguageString(n); }

std::string ReplacePlaceholder(const std::string& text) {
  std::string out;
  for (size_t i = 0; i < text.size();) {
    if (size_t n = PlaceholderAt(text, i)) {
      out += "%s";
      i += n;
    } else {
      if (text[i] == '%') out += '%';
      out += text[i++];
    }
  }
  return out;
}

std::string FormatPlaceholders(const std::string& text, const std::vector<cls::TVarRec>& args) {
  std::string out;
  size_t next = 0;
  for (size_t i = 0; i < text.size();) {
    size_t n = PlaceholderAt(text, i);
    if (n && next < args.size()) {
      out += ArgText(args[next++]);
      i += n;
    } else if (n) {
      out.append(text, i, n);
      i += n;
    } else {
      out += text[i++];
    }
  }
  return out;
}

std::string FormatLanguageString(int n, const std::vector<cls::TVarRec>& args) {
  return FormatPlaceholders(LoadLanguageString(n), args);
}

// ---- bitmaps ----

win::HBITMAP ppBitmapFromPackedDIB(const void* data, size_t size) { return gdi::BitmapFromDIB(data, size); }

win::HBITMAP LoadBitmapResource(const std::string& name) {
  std::vector<win::HMODULE> modules{win::GetModuleHandle()};
  if (win::HMODULE library = win::ModuleFromAddress(reinterpret_cast<const void*>(&LoadBitmapResource)))
    if (library != modules[0]) modules.push_back(library);
  for (win::HMODULE m : modules) {
    if (!m) continue;
    win::HRSRC r = win::FindResource(m, name, win::RT_BITMAP);
    if (!r) continue;
    win::HGLOBAL g = win::LoadResource(m, r);
    const void* data = g ? win::LockResource(g) : nullptr;
    if (!data) continue;
    if (win::HBITMAP b = ppBitmapFromPackedDIB(data, win::SizeofResource(m, r))) return b;
  }
  return nullptr;
}
