#include "report/model/ppUtils.h"

#include <atomic>
#include <cmath>
#include <limits>
#include <map>
#include <set>

#include "platform/classes/typinfo.h"
#include "platform/process/clock.h"
#include "platform/sysroot/codepage.h"
#include "report/model/ppComm.h"
#include "report/model/ppResMgr.h"

namespace {

constexpr double K = static_cast<double>(ppInchesPerMM);

int32_t ToInt32(double v) {
  if (std::isnan(v)) return 0;
  if (v >= 2147483647.0) return std::numeric_limits<int32_t>::max();
  if (v <= -2147483648.0) return std::numeric_limits<int32_t>::min();
  return static_cast<int32_t>(v);
}

double ScreenPPI() { return cls::Screen().PixelsPerInch; }

double PrinterPPI(TppDirection direction, cls::TObject* printer) {
  if (auto* p = dynamic_cast<IppPrinterMetrics*>(printer)) {
    int x = 0, y = 0;
    p->GetPixelsPerInch(x, y);
    int v = direction == ppVertical ? y : x;
    if (v > 0) return v;
  }
  return ScreenPPI();
}

}  // namespace

double ppNint(double x) {
  // Halves to even regardless of the caller's rounding mode.
  double r = std::round(x);
  if (std::fabs(x - std::trunc(x)) == 0.5) r = 2.0 * std::round(x / 2.0);
  return r;
}

float ConvertFromMMThousandths(int32_t value, TppUnitType unit, TppDirection direction, cls::TObject* printer) {
  double v = value;
  switch (unit) {
    case utScreenPixels: return static_cast<float>(ppNint(v / 1000 * K * ScreenPPI()));
    case utInches: return static_cast<float>(ppNint(v / 1000 * K * 10000) / 10000);
    case utMillimeters: return static_cast<float>(v / 1000);
    case utPrinterPixels: return static_cast<float>(ppNint(v / 1000 * K * PrinterPPI(direction, printer)));
    case utMMThousandths: return static_cast<float>(value);
  }
  return 0;
}

int32_t ConvertToMMThousandths(float value, TppUnitType unit, TppDirection direction, cls::TObject* printer) {
  double v = value;
  switch (unit) {
    case utScreenPixels: return ToInt32(ppNint(v / ScreenPPI() / K * 1000));
    case utInches: return ToInt32(ppNint(v / K * 1000));
    case utMillimeters: return ToInt32(ppNint(v * 1000));
    case utPrinterPixels: return ToInt32(ppNint(v / PrinterPPI(direction, printer) / K * 1000));
    case utMMThousandths: return ToInt32(std::trunc(v));
  }
  return 0;
}

float ConvertFromScreenPixels(int32_t pixels, TppUnitType unit, TppDirection direction, cls::TObject* printer) {
  return ConvertFromMMThousandths(
      ConvertToMMThousandths(static_cast<float>(pixels), utScreenPixels, direction, printer), unit, direction,
      printer);
}

int32_t ConvertToScreenPixels(float value, TppUnitType unit, TppDirection direction, cls::TObject* printer) {
  return ToInt32(std::trunc(ConvertFromMMThousandths(ConvertToMMThousandths(value, unit, direction, printer),
                                                     utScreenPixels, direction, printer)));
}

float FromTenthsMM(int32_t value, TppUnitType unit, TppDirection direction, cls::TObject* printer) {
  int64_t th = static_cast<int64_t>(value) * 100;
  int32_t thousandths = ToInt32(static_cast<double>(th));
  switch (unit) {
    case utScreenPixels:
    case utPrinterPixels: return ConvertFromMMThousandths(thousandths, unit, direction, printer);
    case utInches:
      return ConvertFromScreenPixels(
          ConvertToScreenPixels(static_cast<float>(thousandths), utMMThousandths, direction, printer), utInches,
          direction, printer);
    case utMillimeters: return static_cast<float>(ppNint(static_cast<double>(value) / 10));
    case utMMThousandths: return static_cast<float>(thousandths);
  }
  return 0;
}

int32_t ToTenthsMM(float value, TppUnitType unit, TppDirection direction, cls::TObject* printer) {
  switch (unit) {
    case utScreenPixels:
    case utPrinterPixels: return ConvertToMMThousandths(value, unit, direction, printer) / 100;
    case utInches:
      return ToInt32(std::trunc(
          static_cast<double>(ConvertFromScreenPixels(ConvertToScreenPixels(value, utInches, direction, printer),
                                                      utMMThousandths, direction, printer)) /
          100));
    case utMillimeters: return ToInt32(ppNint(static_cast<double>(value) * 10));
    case utMMThousandths: return ToInt32(ppNint(static_cast<double>(value) / 100));
  }
  return 0;
}

std::string ppFixDecimalSeparator(const std::string& text) {
  std::string s = text;
  size_t dot = s.find('.');
  if (dot != std::string::npos) s[dot] = cls::FormatSettings().DecimalSeparator;
  return s;
}

void ListFromMMThousandths(cls::TStringList* list, TppUnitType unit, TppDirection direction, cls::TObject* printer) {
  if (!list) return;
  for (int i = 0; i < list->Count(); ++i) {
    int64_t v = cls::StrToInt(list->Strings(i));
    float f = ConvertFromMMThousandths(ToInt32(static_cast<double>(v)), unit, direction, printer);
    list->Put(i, cls::FloatToStrG(f, 7));
  }
}

void ListToMMThousandths(cls::TStringList* list, TppUnitType unit, TppDirection direction, cls::TObject* printer) {
  if (!list) return;
  for (int i = 0; i < list->Count(); ++i) {
    double v = cls::StrToFloat(ppFixDecimalSeparator(list->Strings(i)));
    list->Put(i, cls::IntToStr(ConvertToMMThousandths(static_cast<float>(v), unit, direction, printer)));
  }
}

// ---- TppPageDef ----

CLS_IMPLEMENT_CLASS(TppPageDef)

TppPageDef::TppPageDef() = default;

void TppPageDef::Assign(cls::TPersistent* source) {
  if (auto* o = cls::ObjectAs<TppPageDef>(source)) {
    mmHeight_ = o->mmHeight_;
    mmWidth_ = o->mmWidth_;
    mmMarginLeft_ = o->mmMarginLeft_;
    mmMarginRight_ = o->mmMarginRight_;
    mmMarginTop_ = o->mmMarginTop_;
    mmMarginBottom_ = o->mmMarginBottom_;
    return;
  }
  inherited::Assign(source);
}

// Page definitions come from archives too: sums are taken in 64 bits and
// clamped to 32.
TppRect TppPageDef::GetPrintableRect() const {
  return TppRect{mmMarginLeft_, mmMarginTop_, ToInt32(double(int64_t{mmWidth_} - mmMarginRight_)),
                 ToInt32(double(int64_t{mmHeight_} - mmMarginBottom_))};
}
int32_t TppPageDef::GetPrintableWidth() const {
  return ToInt32(double(int64_t{mmWidth_} - (int64_t{mmMarginLeft_} + mmMarginRight_)));
}
int32_t TppPageDef::GetPrintableHeight() const {
  return ToInt32(double(int64_t{mmHeight_} - (int64_t{mmMarginTop_} + mmMarginBottom_)));
}
bool TppPageDef::IsEqual(const TppPageDef* o) const {
  return o && mmHeight_ == o->mmHeight_ && mmWidth_ == o->mmWidth_ && mmMarginLeft_ == o->mmMarginLeft_ &&
         mmMarginRight_ == o->mmMarginRight_ && mmMarginTop_ == o->mmMarginTop_ &&
         mmMarginBottom_ == o->mmMarginBottom_;
}
int32_t TppPageDef::spWidth() const {
  return static_cast<int32_t>(ConvertFromMMThousandths(mmWidth_, utScreenPixels, ppHorizontal));
}
int32_t TppPageDef::spHeight() const {
  return static_cast<int32_t>(ConvertFromMMThousandths(mmHeight_, utScreenPixels, ppVertical));
}
int32_t TppPageDef::spPrintableWidth() const {
  return static_cast<int32_t>(ConvertFromMMThousandths(GetPrintableWidth(), utScreenPixels, ppHorizontal));
}

// ---- names and texts ----


bool SameTextNoCase(const std::string& a, const std::string& b) { return cls::SameText(a, b); }

std::string ClassNameWithoutT(const cls::TObject* object) {
  if (!object) return {};
  const std::string& n = object->ClassName();
  return n.size() > 1 ? n.substr(1) : std::string();
}

std::string ClassNameWithoutPrefix(const cls::TObject* object) {
  if (!object) return {};
  const std::string& n = object->ClassName();
  return n.size() > 3 ? n.substr(3) : std::string();
}

bool ppNumberAfterBase(const std::string& base, const std::string& text, int64_t& number) {
  if (text.size() <= base.size() || !cls::SameText(text.substr(0, base.size()), base)) return false;
  std::string rest = text.substr(base.size());
  if (rest.size() > 18) return false;
  for (char c : rest)
    if (c < '0' || c > '9') return false;
  int64_t v = cls::StrToInt(rest);
  if (v <= 0) return false;
  number = v;
  return true;
}

namespace {

// The first gap in 1, 2, 3, ... of USED (count + 1 when there is none),
// then onwards past any number TAKEN refuses.
std::string FirstFree(const std::string& base, const std::set<int64_t>& used,
                      const std::function<bool(const std::string&)>& taken) {
  // The used numbers as "%8d" texts in text order are in numeric order.
  cls::TStringList keys;
  keys.SetSorted(true);
  for (int64_t n : used) keys.Add(ppPageKey(n));
  int64_t n = keys.Count() + 1;
  for (int i = 0; i < keys.Count(); ++i)
    if (cls::StrToInt(keys[i]) != i + 1) {
      n = i + 1;
      break;
    }
  for (;; ++n) {
    if (used.count(n)) continue;
    std::string name = base + cls::IntToStr(n);
    if (!taken || !taken(name)) return name;
  }
}

}  // namespace

std::string GetUniqueName(cls::TComponent* owner, const std::string& base, cls::TComponent* component) {
  std::set<int64_t> used;
  if (owner && component)
    for (int i = 0; i < owner->ComponentCount(); ++i) {
      cls::TComponent* c = owner->Components(i);
      int64_t n;
      if (c != component && c->InheritsFrom(component->ClassType()) && ppNumberAfterBase(base, c->Name(), n))
        used.insert(n);
    }
  return FirstFree(base, used, [&](const std::string& name) {
    if (!owner) return false;
    cls::TComponent* c = owner->FindComponent(name);
    return c && c != component;
  });
}

bool ppUserNameNumber(const std::string& base, TppCommunicator* communicator, int64_t& number) {
  return communicator && ppNumberAfterBase(base, communicator->GetUserName(), number);
}

std::string ppGetUniqueUserName(cls::TComponent* owner, const std::string& base, cls::TComponent* component,
                                TppCommunicator* finder) {
  std::set<int64_t> used;
  if (owner && component)
    for (int i = 0; i < owner->ComponentCount(); ++i) {
      auto* c = cls::ObjectAs<TppCommunicator>(owner->Components(i));
      int64_t n;
      if (c && c != component && c->InheritsFrom(component->ClassType()) && ppUserNameNumber(base, c, n))
        used.insert(n);
    }
  return FirstFree(base, used, [&](const std::string& name) {
    if (finder) {
      TppCommunicator* found = finder->FindUserName(name);
      if (found && found != component) return true;
    }
    if (owner)
      for (int i = 0; i < owner->ComponentCount(); ++i) {
        auto* c = cls::ObjectAs<TppCommunicator>(owner->Components(i));
        if (c && c != component && cls::SameText(c->GetUserName(), name)) return true;
      }
    return false;
  });
}

cls::TComponent* ppMakeComponent(TppCommunicator* object, cls::TClass c) {
  if (!object || !c || !c->Create) return nullptr;
  cls::TComponent* owner = object->GetDesignTarget();
  if (!owner) owner = object->Owner();
  cls::TComponent* made = c->Create(owner);
  std::string name;
  object->MakeUniqueName(made, name);
  made->SetName(name);
  if (auto* comm = cls::ObjectAs<TppCommunicator>(made)) {
    std::string userName;
    comm->MakeUniqueUserName(comm, userName);
    comm->SetUserName(userName);
  }
  return made;
}

std::string PadString(const std::string& text, int width, TppPadSide side) {
  if (width < 0) width = 0;
  if (text.size() >= static_cast<size_t>(width)) {
    size_t cut = Big5Boundary(text, static_cast<size_t>(width));
    return text.substr(0, cut) + std::string(static_cast<size_t>(width) - cut, ' ');
  }
  size_t spaces = static_cast<size_t>(width) - text.size();
  switch (side) {
    case ppPadLeft: return std::string(spaces, ' ') + text;
    case ppPadBoth: return std::string(spaces / 2, ' ') + text + std::string(spaces - spaces / 2, ' ');
    default: return text + std::string(spaces, ' ');
  }
}

size_t Big5Boundary(const std::string& text, size_t at) {
  if (at >= text.size()) return text.size();
  size_t i = 0;
  while (i < at) {
    size_t len = cp::IsBig5Lead(static_cast<unsigned char>(text[i])) && i + 1 < text.size() ? 2 : 1;
    if (i + len > at) break;
    i += len;
  }
  return i;
}

std::string RemoveChar(const std::string& text, char c) {
  std::string out;
  for (char x : text)
    if (x != c) out += x;
  return out;
}

void SplitCommaText(const std::string& text, cls::TStringList* list) {
  if (!list) return;
  list->Clear();
  if (text.empty()) return;
  size_t start = 0;
  for (;;) {
    size_t comma = text.find(',', start);
    list->Add(text.substr(start, comma == std::string::npos ? std::string::npos : comma - start));
    if (comma == std::string::npos) break;
    start = comma + 1;
  }
}

std::string ExtractDirectory(const std::string& path) {
  size_t slash = path.rfind('\\');
  return slash == std::string::npos ? std::string() : path.substr(0, slash + 1);
}

void StringsToStream(const cls::TStringList* list, cls::TStream* stream) {
  if (!stream) return;
  stream->SetSize(0);
  stream->SetPosition(0);
  if (!list) return;
  std::string text = list->Text();
  stream->WriteBuffer(text.data(), static_cast<int64_t>(text.size()));
}

int64_t VersionToInteger(const std::string& text) {
  std::string lead;
  bool dot = false;
  for (char c : text) {
    if (lead.size() >= 19) break;
    if (c >= '0' && c <= '9') {
      lead += c;
    } else if (c == '.' && !dot) {
      dot = true;  // the first dot goes; a second one ends the number
    } else {
      break;
    }
  }
  while (lead.size() < 4) lead += '0';
  if (lead.size() > 18) lead.resize(18);
  return cls::StrToInt(lead);
}

double StringToDateTime(const std::string& text) { return cls::StrToDateTime(text); }

std::string TppStrUtils::LeftStr(const std::string& text, int count) {
  if (count <= 0) return {};
  return text.substr(0, static_cast<size_t>(count));
}

TppRect MakeRect(int32_t left, int32_t top, int32_t right, int32_t bottom) { return TppRect{left, top, right, bottom}; }

double ScaleToFit(double availableWidth, double availableHeight, double pictureWidth, double pictureHeight) {
  if (pictureWidth <= 0 || pictureHeight <= 0) return 0;
  double a = availableWidth / pictureWidth, b = availableHeight / pictureHeight;
  return a < b ? a : b;
}

// ---- page keys and page lists ----

std::string ppPageKey(int64_t pageNo) { return cls::Format("%8d", {pageNo}); }

namespace {

// Page numbers in order of first appearance; membership kept as disjoint
// runs, so that a range repeated over numbers already present costs nothing.
class TPageSet {
 public:
  bool Full() const { return static_cast<int>(order_.size()) >= ppMaxPageListEntries; }
  void Add(int64_t n) { AddRange(n, n); }
  // Adds the numbers FROM..TO not yet present, ascending.
  void AddRange(int64_t from, int64_t to) {
    int64_t k = from;
    while (k <= to && !Full()) {
      auto it = runs_.upper_bound(k);  // first run starting after k
      if (it != runs_.begin()) {
        auto prev = std::prev(it);
        if (prev->second >= k) {  // k is present: skip its run
          k = prev->second + 1;
          continue;
        }
      }
      int64_t end = it == runs_.end() ? to : std::min(to, it->first - 1);
      int64_t room = ppMaxPageListEntries - static_cast<int64_t>(order_.size());
      if (end - k + 1 > room) end = k + room - 1;
      for (int64_t j = k; j <= end; ++j) order_.push_back(j);
      Insert(k, end);
      k = end + 1;
    }
  }
  const std::vector<int64_t>& Order() const { return order_; }

 private:
  void Insert(int64_t from, int64_t to) {
    auto next = runs_.find(to + 1);
    if (next != runs_.end()) {
      to = next->second;
      runs_.erase(next);
    }
    auto it = runs_.lower_bound(from);
    if (it != runs_.begin() && std::prev(it)->second == from - 1) {
      std::prev(it)->second = to;
      return;
    }
    runs_[from] = to;
  }
  std::map<int64_t, int64_t> runs_;  // first -> last
  std::vector<int64_t> order_;
};

}  // namespace

void ParsePageList(const std::string& text, cls::TStringList* list, bool trim) {
  if (!list) return;
  list->Clear();
  TPageSet pages;
  bool rangeOpen = false;
  int64_t rangeStart = 0;
  size_t i = 0;
  while (i < text.size()) {
    if (text[i] < '0' || text[i] > '9') {
      ++i;
      continue;
    }
    size_t start = i;
    while (i < text.size() && text[i] >= '0' && text[i] <= '9') ++i;
    std::string digits = text.substr(start, i - start);
    size_t nz = digits.find_first_not_of('0');
    digits = nz == std::string::npos ? "0" : digits.substr(nz);
    bool tooBig = digits.size() > 8;
    int64_t n = tooBig ? 0 : cls::StrToInt(digits);
    if (tooBig || n > ppMaxPageNumber) {
      rangeOpen = false;  // ignored, and it closes nothing
      continue;
    }
    if (rangeOpen) {
      rangeOpen = false;
      if (n >= rangeStart) {
        pages.AddRange(rangeStart, n);
      } else {
        pages.Add(rangeStart);
        pages.Add(n);
      }
    } else {
      pages.Add(n);
    }
    if (i < text.size() && text[i] == '-') {
      rangeOpen = true;
      rangeStart = n;
      ++i;
    }
  }
  for (int64_t n : pages.Order()) list->Add(trim ? cls::IntToStr(n) : ppPageKey(n));
}

// ---- system variable texts ----

std::string BuildSystemVariableText(TppVarType varType, int pageNo, int pageCount, bool printing,
                                    double printDateTime) {
  int n = printing ? pageNo : 1;
  int m = printing ? pageCount : 1;
  std::string pageSet = cls::IntToStr(n) + " " + LoadLanguageString(16) + " " + cls::IntToStr(m);
  switch (varType) {
    case vtDate: return cls::DateTimeToStr(std::floor(win::Now()));
    case vtDateTime: return cls::DateTimeToStr(win::Now());
    case vtDocumentName: return {};
    case vtPrintDateTime: return cls::DateTimeToStr(printing ? printDateTime : win::Now());
    case vtPageCount: return cls::IntToStr(m);
    case vtPageSet: return pageSet;
    case vtPageSetDesc: return LoadLanguageString(18) + " " + pageSet;
    case vtPageNo: return cls::IntToStr(n);
    case vtPageNoDesc: return LoadLanguageString(18) + " " + cls::IntToStr(n);
    case vtTime: return cls::TimeToStr(win::Now());
  }
  return {};
}

// ---- temporary files and threads ----

std::string GetTempDirectory() { return win::GetTempPath(); }

std::string MakeTempFileName(const std::string& folder, const std::string& prefix) {
  return win::GetTempFileName(folder, prefix);
}

namespace {
std::atomic<int> g_treatAsMain{0};
}

bool InMainThread() { return g_treatAsMain.load() > 0 || win::IsMainThread(); }

void BeginTreatAsMainThread() { g_treatAsMain.fetch_add(1); }

void EndTreatAsMainThread() {
  int v = g_treatAsMain.load();
  while (v > 0 && !g_treatAsMain.compare_exchange_weak(v, v - 1)) {
  }
}

// ---- published properties by name ----

bool HasPublishedProp(cls::TObject* object, const std::string& name) {
  return object && cls::GetPropInfo(object, name);
}

int64_t GetOrdPropByName(cls::TObject* object, const std::string& name) {
  const cls::TPropInfo* p = cls::GetPropInfo(object, name);
  return p && p->GetOrd ? p->GetOrd(object) : 0;
}

std::string GetStrPropByName(cls::TObject* object, const std::string& name) {
  const cls::TPropInfo* p = cls::GetPropInfo(object, name);
  return p && p->GetStr ? p->GetStr(object) : std::string();
}

void SetOrdPropByName(cls::TObject* object, const std::string& name, int64_t value) {
  const cls::TPropInfo* p = cls::GetPropInfo(object, name);
  if (p && p->SetOrd) p->SetOrd(object, value);
}

void SetMethodPropByName(cls::TObject* object, const std::string& name, const cls::TMethod& method) {
  const cls::TPropInfo* p = cls::GetPropInfo(object, name);
  if (p && p->SetMethod) p->SetMethod(object, method);
}

cls::TMethod GetMethodByName(cls::TObject* object, const std::string& name) {
  if (!object) return {};
  const cls::TMethodInfo* m = cls::GetMethodInfo(object->ClassType(), name);
  return m ? m->Bind(object) : cls::TMethod();
}

std::string ReadIdentProperty(cls::TReader& reader, const std::string& name) {
  int64_t start = reader.Position();
  std::string result;
  try {
    while (!reader.EndOfList()) {
      std::string prop = reader.ReadPropName();
      if (cls::SameText(prop, name) && reader.NextValue() == cls::vkIdent) {
        result = reader.ReadIdent();
        size_t dot = result.rfind('.');
        if (dot != std::string::npos) result = result.substr(dot + 1);
        break;
      }
      reader.SkipValue();
    }
  } catch (...) {
    reader.SetPosition(start);
    throw;
  }
  reader.SetPosition(start);
  return result;
}

int64_t ReadIntegerOrFloat(cls::TReader& reader) {
  if (reader.NextValue() == cls::vkFloat) {
    double v = ppNint(reader.ReadFloat());
    if (std::isnan(v)) return 0;
    if (v >= 9.2e18) return std::numeric_limits<int64_t>::max();
    if (v <= -9.2e18) return std::numeric_limits<int64_t>::min();
    return static_cast<int64_t>(v);
  }
  return reader.ReadInteger();
}

// ---- ShiftRelativeTo candidates ----

bool CanShiftRelativeTo(cls::TComponent* component, cls::TComponent* candidate) {
  if (!candidate) return true;
  if (candidate == component) return false;
  auto* self = dynamic_cast<IppShiftable*>(component);
  auto* other = dynamic_cast<IppShiftable*>(candidate);
  if (self && other && self->IsRegionComponent() && other->ShiftRegion() == component) return false;
  // Follow the chain; a chain that loops on itself ends the walk too.
  std::set<cls::TComponent*> seen;
  for (cls::TComponent* c = candidate; c; ) {
    if (c == component) return false;
    if (!seen.insert(c).second) break;
    auto* s = dynamic_cast<IppShiftable*>(c);
    c = s ? s->ShiftTarget() : nullptr;
  }
  return true;
}

void GetShiftRelativeToCandidates(cls::TComponent* component, cls::TStringList* list, bool byUserName) {
  if (!list) return;
  list->Clear();
  auto* self = dynamic_cast<IppShiftable*>(component);
  if (!self) return;
  std::vector<cls::TComponent*> objects;
  self->ShiftBandObjects(objects);
  for (cls::TComponent* o : objects) {
    auto* s = dynamic_cast<IppShiftable*>(o);
    if (o == component || !s || !s->IsStretchableComponent() || !CanShiftRelativeTo(component, o)) continue;
    auto* comm = cls::ObjectAs<TppCommunicator>(o);
    list->AddObject(byUserName && comm ? comm->GetUserName() : o->Name(), o);
  }
}

void ppFixTabStops(cls::TStringList* tabStops) {
  if (!tabStops) return;
  for (int i = 0; i < tabStops->Count(); ++i) tabStops->Put(i, ppFixDecimalSeparator(tabStops->Strings(i)));
}
