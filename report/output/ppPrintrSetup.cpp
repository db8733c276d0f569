#include "report/output/ppPrintr.h"

#include <algorithm>
#include <cstdlib>
#include <limits>
#include <mutex>

// ---------------------------------------------------------------- printer setup

CLS_IMPLEMENT_CLASS(TppPrinterSetup)

TppPrinterSetup::TppPrinterSetup(cls::TComponent* owner) : owner_(owner) {
  if (cls::FormatSettings().DecimalSeparator == '.') {
    pageDef_.SetmmWidth(215900);
    pageDef_.SetmmHeight(279401);
  } else {
    pageDef_.SetmmWidth(210000);
    pageDef_.SetmmHeight(297000);
  }
  pageDef_.SetmmMarginLeft(6350);
  pageDef_.SetmmMarginRight(6350);
  pageDef_.SetmmMarginTop(6350);
  pageDef_.SetmmMarginBottom(6350);
  printerInfo_ = ppGetPrinterList()->GetPrinterInfo(printerName_);
}

cls::TObject* TppPrinterSetup::Printer() {
  TppPrinter* p = nullptr;
  if (OnGetPrinter) OnGetPrinter(p);
  return p;
}

TppPrinterCapabilities* TppPrinterSetup::CapabilitiesOf(const TppPrinterInfoRef& info) {
  return info ? info->GetCapabilities() : ppGetNoPrinterInfo()->GetCapabilities();
}

bool TppPrinterSetup::Reading() { return owner_ && owner_->HasState(cls::csReading); }

bool TppPrinterSetup::NotificationsEnabled() {
  TppLockGuard g(lock_);
  return notify_ && !(owner_ && (owner_->HasState(cls::csLoading) || owner_->HasState(cls::csReading)));
}

bool TppPrinterSetup::NotifyFlag() {
  TppLockGuard g(lock_);
  return notify_;
}

void TppPrinterSetup::SetNotifyFlag(bool v) {
  TppLockGuard g(lock_);
  notify_ = v;
}

bool TppPrinterSetup::DoPageDefChanging(TppPageDef* newPageDef) {
  bool accept = true;
  if (OnPageDefChanging && NotificationsEnabled()) OnPageDefChanging(this, newPageDef, accept);
  return accept;
}

void TppPrinterSetup::DoPageDefChange() {
  if (OnPageDefChange && NotificationsEnabled()) OnPageDefChange(this);
}

void TppPrinterSetup::DoPrinterSetupChange() {
  if (OnPrinterSetupChange && NotificationsEnabled()) OnPrinterSetupChange(this);
}

template <class T>
void TppPrinterSetup::Change(T TppPrinterSetup::*field, const T& v) {
  {
    TppLockGuard g(lock_);
    if (this->*field == v) return;
    this->*field = v;
  }
  DoPrinterSetupChange();
}

std::string TppPrinterSetup::BinName() {
  TppLockGuard g(lock_);
  return binName_;
}

void TppPrinterSetup::SetBinName(const std::string& v) {
  Change(&TppPrinterSetup::binName_, cls::AnsiCompareText(v, "Current") == 0 ? std::string("Default") : v);
}

bool TppPrinterSetup::Collation() {
  TppLockGuard g(lock_);
  return collation_;
}

void TppPrinterSetup::SetCollation(bool v) { Change(&TppPrinterSetup::collation_, v); }

int TppPrinterSetup::Copies() {
  TppLockGuard g(lock_);
  return copies_;
}

void TppPrinterSetup::SetCopies(int v) {
  if (v >= 1) Change(&TppPrinterSetup::copies_, v);
}

std::string TppPrinterSetup::DocumentName() {
  TppLockGuard g(lock_);
  return documentName_;
}

void TppPrinterSetup::SetDocumentName(const std::string& v) { Change(&TppPrinterSetup::documentName_, v); }

TppDuplexType TppPrinterSetup::Duplex() {
  TppLockGuard g(lock_);
  return duplex_;
}

void TppPrinterSetup::SetDuplex(TppDuplexType v) { Change(&TppPrinterSetup::duplex_, v); }

std::string TppPrinterSetup::OutputFileName() {
  TppLockGuard g(lock_);
  return outputFileName_;
}

void TppPrinterSetup::SetOutputFileName(const std::string& v) {
  TppLockGuard g(lock_);
  outputFileName_ = v;
}

// Lengths are read under the lock and converted after it, since a
// conversion to printer pixels asks the printer.
float TppPrinterSetup::GetLength(int32_t (TppPageDef::*get)() const, TppDirection direction) {
  int32_t v;
  TppUnitType u;
  {
    TppLockGuard g(lock_);
    v = (pageDef_.*get)();
    u = units_;
  }
  return ConvertFromMMThousandths(v, u, direction, Printer());
}

void TppPrinterSetup::SetMargin(void (TppPageDef::*set)(int32_t), TppDirection direction, float v) {
  if (v < 0) return;
  TppPageDef work;
  TppUnitType u;
  {
    TppLockGuard g(lock_);
    work.Assign(&pageDef_);
    u = units_;
  }
  (work.*set)(ConvertToMMThousandths(v, u, direction, Printer()));
  if (!DoPageDefChanging(&work)) return;
  {
    TppLockGuard g(lock_);
    pageDef_.Assign(&work);
  }
  DoPageDefChange();
}

float TppPrinterSetup::MarginBottom() { return GetLength(&TppPageDef::mmMarginBottom, ppVertical); }
void TppPrinterSetup::SetMarginBottom(float v) { SetMargin(&TppPageDef::SetmmMarginBottom, ppVertical, v); }
float TppPrinterSetup::MarginLeft() { return GetLength(&TppPageDef::mmMarginLeft, ppHorizontal); }
void TppPrinterSetup::SetMarginLeft(float v) { SetMargin(&TppPageDef::SetmmMarginLeft, ppHorizontal, v); }
float TppPrinterSetup::MarginRight() { return GetLength(&TppPageDef::mmMarginRight, ppHorizontal); }
void TppPrinterSetup::SetMarginRight(float v) { SetMargin(&TppPageDef::SetmmMarginRight, ppHorizontal, v); }
float TppPrinterSetup::MarginTop() { return GetLength(&TppPageDef::mmMarginTop, ppVertical); }
void TppPrinterSetup::SetMarginTop(float v) { SetMargin(&TppPageDef::SetmmMarginTop, ppVertical, v); }

TPrinterOrientation TppPrinterSetup::Orientation() {
  TppLockGuard g(lock_);
  return orientation_;
}

void TppPrinterSetup::SetOrientation(TPrinterOrientation v) {
  TppPageDef work;
  {
    TppLockGuard g(lock_);
    if (v == orientation_) return;
    work.Assign(&pageDef_);
    work.SetmmWidth(pageDef_.mmHeight());
    work.SetmmHeight(pageDef_.mmWidth());
  }
  if (!DoPageDefChanging(&work)) return;
  {
    TppLockGuard g(lock_);
    if (v == orientation_) return;
    orientation_ = v;
    int32_t w = pageDef_.mmWidth();
    pageDef_.SetmmWidth(pageDef_.mmHeight());
    pageDef_.SetmmHeight(w);
  }
  DoPageDefChange();
}

float TppPrinterSetup::PaperHeight() { return GetLength(&TppPageDef::mmHeight, ppVertical); }
float TppPrinterSetup::PaperWidth() { return GetLength(&TppPageDef::mmWidth, ppHorizontal); }

void TppPrinterSetup::SetPaperSize(bool height, float v) {
  TppUnitType u;
  {
    TppLockGuard g(lock_);
    if (Reading()) {
      (height ? deferredHeight_ : deferredWidth_) = v;
      return;
    }
    if (v < 0) return;
    u = units_;
  }
  int32_t mm = ConvertToMMThousandths(v, u, height ? ppVertical : ppHorizontal, Printer());
  if (height)
    SetPaperSizeMM(std::nullopt, mm);
  else
    SetPaperSizeMM(mm, std::nullopt);
}

void TppPrinterSetup::SetPaperSizeMM(std::optional<int32_t> width, std::optional<int32_t> height) {
  TppPageDef work;
  {
    TppLockGuard g(lock_);
    work.Assign(&pageDef_);
  }
  if (width) work.SetmmWidth(*width);
  if (height) work.SetmmHeight(*height);
  if (!DoPageDefChanging(&work)) return;
  {
    TppLockGuard g(lock_);
    pageDef_.Assign(&work);
  }
  std::string name = FindPaperName(PaperWidth(), PaperHeight());
  {
    TppLockGuard g(lock_);
    paperName_ = name;
  }
  DoPageDefChange();
}

void TppPrinterSetup::SetPaperSizeTenthsMM(int32_t width, int32_t height) {
  constexpr int32_t most = std::numeric_limits<int32_t>::max() / 100;
  if (width < 0 || height < 0 || width > most || height > most) return;
  SetPaperSizeMM(width * 100, height * 100);
}

void TppPrinterSetup::AssignPaper(TppPrinterSetup* source) {
  if (!source || source == this) return;
  Settings from;
  source->ReadSettings(from);
  TppLockGuard g(lock_);
  orientation_ = from.orientation;
  pageDef_.Assign(&from.pageDef);
  paperName_ = from.paperName;
  storedPaperCode_ = 0;
}

void TppPrinterSetup::SetPaperHeight(float v) { SetPaperSize(true, v); }
void TppPrinterSetup::SetPaperWidth(float v) { SetPaperSize(false, v); }

void TppPrinterSetup::UpdatePageDefSize() {
  std::optional<float> height, width;
  TppUnitType u;
  {
    TppLockGuard g(lock_);
    height.swap(deferredHeight_);
    width.swap(deferredWidth_);
    u = units_;
  }
  // Negative sizes are dropped here as the setters drop them.
  bool takeHeight = height && *height >= 0, takeWidth = width && *width >= 0;
  int32_t h = takeHeight ? ConvertToMMThousandths(*height, u, ppVertical, Printer()) : 0;
  int32_t w = takeWidth ? ConvertToMMThousandths(*width, u, ppHorizontal, Printer()) : 0;
  TppLockGuard g(lock_);
  if (takeHeight) pageDef_.SetmmHeight(h);
  if (takeWidth) pageDef_.SetmmWidth(w);
}

void TppPrinterSetup::SetStoredPaperCode(int code) {
  TppLockGuard g(lock_);
  storedPaperCode_ = code;
}

std::string TppPrinterSetup::PaperName() {
  int code;
  TppPrinterInfoRef info;
  std::string name;
  {
    TppLockGuard g(lock_);
    code = storedPaperCode_;
    info = printerInfo_;
  }
  if (code != 0) {
    std::string byCode;
    if (info) {
      TppPrinterCapabilities* caps = info->GetCapabilities();
      int i = caps->PaperCodes.IndexOf(cls::IntToStr(code));
      if (i >= 0 && i < caps->PaperNames.Count()) byCode = caps->PaperNames[i];
    }
    TppLockGuard g(lock_);
    if (!byCode.empty()) paperName_ = byCode;
    storedPaperCode_ = 0;
  }
  {
    TppLockGuard g(lock_);
    name = paperName_;
  }
  if (name != "Custom") return name;
  name = FindPaperName(PaperWidth(), PaperHeight());
  TppLockGuard g(lock_);
  paperName_ = name;
  return name;
}

void TppPrinterSetup::SetPaperName(const std::string& v) {
  if (!NotificationsEnabled() || v == "Custom") {
    TppLockGuard g(lock_);
    paperName_ = v;
    return;
  }
  // A paper the printer does not know changes nothing.
  if (CapabilitiesOf(PrinterInfo())->PaperNames.IndexOf(v) < 0) return;
  TPrinterOrientation orientation;
  {
    TppLockGuard g(lock_);
    orientation = orientation_;
    if (v.find("Envelope") != std::string::npos) orientation_ = poLandscape;
  }
  float w, h;
  GetPaperSizeOfName(v, w, h);
  TppPageDef work;
  TppUnitType u;
  {
    TppLockGuard g(lock_);
    work.Assign(&pageDef_);
    u = units_;
  }
  work.SetmmWidth(ConvertToMMThousandths(w, u, ppHorizontal, Printer()));
  work.SetmmHeight(ConvertToMMThousandths(h, u, ppVertical, Printer()));
  if (!DoPageDefChanging(&work)) {
    TppLockGuard g(lock_);
    orientation_ = orientation;
    return;
  }
  {
    TppLockGuard g(lock_);
    paperName_ = v;
    pageDef_.SetmmWidth(work.mmWidth());
    pageDef_.SetmmHeight(work.mmHeight());
  }
  DoPageDefChange();
}

std::string TppPrinterSetup::PrinterName() {
  TppLockGuard g(lock_);
  return printerName_;
}

void TppPrinterSetup::SetPrinterName(const std::string& value) {
  std::string v = cls::AnsiCompareText(value, "Current") == 0 ? "Default" : value;
  bool enabled = NotificationsEnabled();
  int code = enabled ? GetPaperSizeCode() : 0;
  TppPrinterInfoRef info = ppGetPrinterList()->GetPrinterInfo(v);
  if (!info) return;
  if (cls::AnsiCompareText(v, "Default") != 0) v = info->Name();
  {
    TppLockGuard g(lock_);
    printerName_ = v;
    printerInfo_ = info;
  }
  if (!enabled) return;
  std::string name;
  if (code > 0 && code != 256) {
    TppPrinterCapabilities* caps = info->GetCapabilities();
    int i = caps->PaperCodes.IndexOf(cls::IntToStr(code));
    if (i >= 0 && i < caps->PaperNames.Count()) name = caps->PaperNames[i];
  }
  if (name.empty()) name = FindPaperName(PaperWidth(), PaperHeight());
  {
    TppLockGuard g(lock_);
    paperName_ = name;
  }
  DoPrinterSetupChange();
}

TppPrinterInfoRef TppPrinterSetup::PrinterInfo() {
  TppLockGuard g(lock_);
  return printerInfo_;
}

TppUnitType TppPrinterSetup::Units() {
  TppLockGuard g(lock_);
  return units_;
}

void TppPrinterSetup::SetUnits(TppUnitType v) {
  std::string paper;
  {
    TppLockGuard g(lock_);
    if (v == units_) return;
    units_ = v;
    paper = paperName_;
  }
  if (!NotificationsEnabled() || paper == "Custom" || CapabilitiesOf(PrinterInfo())->PaperNames.IndexOf(paper) < 0)
    return;
  float w, h;
  GetPaperSizeOfName(paper, w, h);
  int32_t wt = ConvertToMMThousandths(w, v, ppHorizontal, Printer());
  int32_t ht = ConvertToMMThousandths(h, v, ppVertical, Printer());
  {
    TppLockGuard g(lock_);
    pageDef_.SetmmWidth(wt);
    pageDef_.SetmmHeight(ht);
  }
  DoPageDefChange();
}

std::vector<std::string> TppPrinterSetup::PrinterNames() {
  TppLockGuard g(lock_);
  return ppGetPrinterList()->PrinterNames();
}

static std::vector<std::string> ListOf(const cls::TStringList& l) {
  std::vector<std::string> out;
  for (int i = 0; i < l.Count(); ++i) out.push_back(l[i]);
  return out;
}

std::vector<std::string> TppPrinterSetup::BinNames() {
  TppPrinterInfoRef info = PrinterInfo();
  return ListOf(CapabilitiesOf(info)->BinNames);
}

std::vector<std::string> TppPrinterSetup::PaperNames() {
  TppPrinterInfoRef info = PrinterInfo();
  return ListOf(CapabilitiesOf(info)->PaperNames);
}

std::string TppPrinterSetup::PrinterDescription() {
  TppPrinterInfoRef info = PrinterInfo();
  return info ? info->GetDescription() : "";
}

float TppPrinterSetup::PrintableHeight() { return GetLength(&TppPageDef::GetPrintableHeight, ppVertical); }
float TppPrinterSetup::PrintableWidth() { return GetLength(&TppPageDef::GetPrintableWidth, ppHorizontal); }

int TppPrinterSetup::GetPaperSizeCode() {
  TppPrinterInfoRef info;
  std::string name;
  {
    TppLockGuard g(lock_);
    info = printerInfo_;
    name = paperName_;
  }
  if (!info) return 0;
  TppPrinterCapabilities* caps = info->GetCapabilities();
  int pos = caps->PaperNames.IndexOf(name);
  if (pos <= 0) pos = caps->PaperNames.IndexOf(FindPaperName(PaperWidth(), PaperHeight()));
  if (pos >= 0 && pos < caps->PaperCodes.Count()) return cls::StrToIntDef(caps->PaperCodes[pos], 256);
  return 256;
}

std::string TppPrinterSetup::FindPaperName(float width, float height) {
  TppPrinterInfoRef info;
  TppUnitType u;
  TPrinterOrientation orientation;
  {
    TppLockGuard g(lock_);
    if (!printerInfo_) return paperName_;
    info = printerInfo_;
    u = units_;
    orientation = orientation_;
  }
  int w = ToTenthsMM(width, u, ppHorizontal, Printer());
  int h = ToTenthsMM(height, u, ppVertical, Printer());
  if (orientation == poLandscape) std::swap(w, h);
  TppPrinterCapabilities* caps = info->GetCapabilities();
  int n = std::min({caps->PaperNames.Count(), caps->PaperWidths.Count(), caps->PaperHeights.Count()});
  for (int i = 0; i < n; ++i) {
    int cw = cls::StrToIntDef(caps->PaperWidths[i], 0), ch = cls::StrToIntDef(caps->PaperHeights[i], 0);
    if (std::abs(ch - h) < 11 && std::abs(cw - w) < 11) return caps->PaperNames[i];
  }
  return "Custom";
}

void TppPrinterSetup::GetPaperSizeOfName(const std::string& name, float& width, float& height) {
  TppPrinterInfoRef info;
  TppUnitType u;
  TPrinterOrientation orientation;
  {
    TppLockGuard g(lock_);
    info = printerInfo_;
    u = units_;
    orientation = orientation_;
  }
  width = height = 0;
  TppPrinterCapabilities* caps = CapabilitiesOf(info);
  int i = caps->PaperNames.IndexOf(name);
  if (i < 0 || i >= caps->PaperWidths.Count() || i >= caps->PaperHeights.Count()) return;
  int w = cls::StrToIntDef(caps->PaperWidths[i], 0), h = cls::StrToIntDef(caps->PaperHeights[i], 0);
  if (orientation == poLandscape) std::swap(w, h);
  width = FromTenthsMM(w, u, ppHorizontal, Printer());
  height = FromTenthsMM(h, u, ppVertical, Printer());
}

std::string TppPrinterSetup::ResolvedName(const std::string& printerName) {
  if (cls::AnsiCompareText(printerName, "Default") == 0) return ppGetPrinterList()->DefaultPrinterName();
  return printerName;
}

std::string TppPrinterSetup::GetResolvedPrinterName() { return ResolvedName(PrinterName()); }

void TppPrinterSetup::ReadSettings(Settings& out) {
  TppLockGuard g(lock_);
  out.binName = binName_;
  out.documentName = documentName_;
  out.outputFileName = outputFileName_;
  out.paperName = paperName_;
  out.printerName = printerName_;
  out.collation = collation_;
  out.copies = copies_;
  out.duplex = duplex_;
  out.orientation = orientation_;
  out.units = units_;
  out.pageDef.Assign(&pageDef_);
}

void TppPrinterSetup::Assign(cls::TPersistent* source) {
  auto* s = cls::ObjectAs<TppPrinterSetup>(source);
  if (!s) {
    inherited::Assign(source);
    return;
  }
  if (s == this) return;
  Settings from;
  s->ReadSettings(from);
  TppPrinterInfoRef info = ppGetPrinterList()->GetPrinterInfo(from.printerName);
  TppLockGuard g(lock_);
  collation_ = from.collation;
  copies_ = from.copies;
  documentName_ = from.documentName;
  outputFileName_ = from.outputFileName;
  printerName_ = from.printerName;
  printerInfo_ = info;
  duplex_ = from.duplex;
  orientation_ = from.orientation;
  pageDef_.Assign(&from.pageDef);
  paperName_ = from.paperName;
  binName_ = from.binName;
  units_ = from.units;
  storedPaperCode_ = 0;
}

void TppPrinterSetup::DefineProperties(cls::TFiler* filer) {
  inherited::DefineProperties(filer);
  using Set = void (TppPageDef::*)(int32_t);
  using Get = int32_t (TppPageDef::*)() const;
  struct Item {
    const char* name;
    Get get;
    Set set;
  };
  static const Item items[] = {{"mmMarginBottom", &TppPageDef::mmMarginBottom, &TppPageDef::SetmmMarginBottom},
                               {"mmMarginLeft", &TppPageDef::mmMarginLeft, &TppPageDef::SetmmMarginLeft},
                               {"mmMarginRight", &TppPageDef::mmMarginRight, &TppPageDef::SetmmMarginRight},
                               {"mmMarginTop", &TppPageDef::mmMarginTop, &TppPageDef::SetmmMarginTop},
                               {"mmPaperHeight", &TppPageDef::mmHeight, &TppPageDef::SetmmHeight},
                               {"mmPaperWidth", &TppPageDef::mmWidth, &TppPageDef::SetmmWidth}};
  TppPageDef* pd = &pageDef_;
  TppLock* lock = &lock_;
  for (const Item& it : items) {
    Get get = it.get;
    Set set = it.set;
    filer->DefineProperty(
        it.name,
        [pd, lock, set](cls::TReader& r) {
          int32_t v = static_cast<int32_t>(r.ReadInteger());
          TppLockGuard g(*lock);
          (pd->*set)(v);
        },
        [pd, lock, get](cls::TWriter& w) {
          int32_t v;
          {
            TppLockGuard g(*lock);
            v = (pd->*get)();
          }
          w.WriteInteger(v);
        },
        true);
  }
  filer->DefineProperty(
      "PaperSize", [this](cls::TReader& r) { SetStoredPaperCode(static_cast<int>(r.ReadInteger())); },
      [this](cls::TWriter& w) { w.WriteInteger(GetPaperSizeCode()); }, true);
}

bool TppPrinterSetup::IsEqual(TppPrinterSetup* o) {
  if (!o) return false;
  Settings a, b;
  ReadSettings(a);
  o->ReadSettings(b);
  return ResolvedName(a.printerName) == ResolvedName(b.printerName) && a.binName == b.binName &&
         a.collation == b.collation && a.copies == b.copies && a.documentName == b.documentName &&
         a.outputFileName == b.outputFileName && a.duplex == b.duplex && a.orientation == b.orientation &&
         a.pageDef.IsEqual(&b.pageDef);
}

bool TppPrinterSetup::MatchesPaper(TppPrinterSetup* o) {
  if (!o) return false;
  Settings a, b;
  ReadSettings(a);
  o->ReadSettings(b);
  return ResolvedName(a.printerName) == ResolvedName(b.printerName) && a.orientation == b.orientation &&
         PaperName() == o->PaperName();
}

void TppPrinterSetup::RegisterProperties() {
  static std::once_flag once;
  std::call_once(once, [] {
    using S = TppPrinterSetup;
    auto& c = S::StaticClass();
    auto str = [&](const char* name, std::string (S::*get)(), void (S::*set)(const std::string&)) {
      cls::TPropInfo p;
      p.Name = name;
      p.Type = cls::TypeInfoString();
      p.GetStr = [get](cls::TObject* o) { return (static_cast<S*>(o)->*get)(); };
      p.SetStr = [set](cls::TObject* o, const std::string& v) { (static_cast<S*>(o)->*set)(v); };
      cls::PublishProperty(c, p);
    };
    auto flt = [&](const char* name, float (S::*get)(), void (S::*set)(float)) {
      cls::TPropInfo p;
      p.Name = name;
      p.Type = cls::TypeInfoSingle();
      p.GetFloat = [get](cls::TObject* o) { return static_cast<double>((static_cast<S*>(o)->*get)()); };
      p.SetFloat = [set](cls::TObject* o, double v) { (static_cast<S*>(o)->*set)(static_cast<float>(v)); };
      cls::PublishProperty(c, p);
    };
    auto ord = [&](const char* name, const cls::TTypeInfo* type, int64_t def, auto get, auto set) {
      cls::TPropInfo p;
      p.Name = name;
      p.Type = type;
      p.GetOrd = [get](cls::TObject* o) { return static_cast<int64_t>(get(static_cast<S*>(o))); };
      p.SetOrd = [set](cls::TObject* o, int64_t v) { set(static_cast<S*>(o), v); };
      p.HasDefault = true;
      p.Default = def;
      cls::PublishProperty(c, p);
    };
    str("BinName", &S::BinName, &S::SetBinName);
    ord("Collation", cls::TypeInfoBoolean(), 1, [](S* s) { return s->Collation(); },
        [](S* s, int64_t v) { s->SetCollation(v != 0); });
    ord("Copies", cls::TypeInfoInteger(), 1, [](S* s) { return s->Copies(); },
        [](S* s, int64_t v) { s->SetCopies(static_cast<int>(v)); });
    str("DocumentName", &S::DocumentName, &S::SetDocumentName);
    ord("Duplex", ppEnumTypeInfo<TppDuplexType>(), 0, [](S* s) { return s->Duplex(); },
        [](S* s, int64_t v) { s->SetDuplex(static_cast<TppDuplexType>(v)); });
    flt("MarginBottom", &S::MarginBottom, &S::SetMarginBottom);
    flt("MarginLeft", &S::MarginLeft, &S::SetMarginLeft);
    flt("MarginRight", &S::MarginRight, &S::SetMarginRight);
    flt("MarginTop", &S::MarginTop, &S::SetMarginTop);
    ord("Orientation", ppEnumTypeInfo<TPrinterOrientation>(), 0, [](S* s) { return s->Orientation(); },
        [](S* s, int64_t v) { s->SetOrientation(v == 1 ? poLandscape : poPortrait); });
    flt("PaperHeight", &S::PaperHeight, &S::SetPaperHeight);
    str("PaperName", &S::PaperName, &S::SetPaperName);
    flt("PaperWidth", &S::PaperWidth, &S::SetPaperWidth);
    str("PrinterName", &S::PrinterName, &S::SetPrinterName);
  });
}

// ---- scripting ----

namespace {

std::string Lines(const std::vector<std::string>& names) {
  cls::TStringList list;
  for (const std::string& name : names) list.Add(name);
  return list.Text();
}

}  // namespace

RA_IMPLEMENT_RTTI(TraTppPrinterSetupRTTI)

const TraMembers* TraTppPrinterSetupRTTI::Members() const {
  using C = TppPrinterSetup;
  static const TraMembers members(
      inherited::Members(),
      {raProperty<C, daString>("BinNames", [](C* s) { return Lines(s->BinNames()); }),
       raProperty<C, daString>("PaperNames", [](C* s) { return Lines(s->PaperNames()); }),
       raProperty<C, daString>("PrinterDescription", &C::PrinterDescription),
       raProperty<C, daString>("PrinterNames", [](C* s) { return Lines(s->PrinterNames()); }),
       raObjectProperty<C, TppPrinterInfo>("PrinterInfo", [](C* s) { return s->PrinterInfo().get(); }),
       raObjectProperty<C, TppPageDef>("PageDef", &C::PageDef),
       raProperty<C, daSingle>("PrintableHeight", &C::PrintableHeight),
       raProperty<C, daSingle>("PrintableWidth", &C::PrintableWidth),
       raEnumProperty<C, TppUnitType>("Units", &C::Units, &C::SetUnits)});
  return &members;
}
