#include "report/model/ppDisplayFormat.h"

#include <algorithm>
#include <atomic>

#include "platform/classes/sysutils.h"

namespace {

constexpr TppDisplayFormatEntry kBooleanFormats[] = {
    {"Yes", "Yes;No"}, {"Y", "Y;N"}, {"True", "True;False"}, {"T", "T;F"},
    {"OK", "OK;"},     {"Done", "Done;"}, {"", ";Not OK"},   {"", ";Not Done"},
};

// The date-time entries, then the date entries (shared by both types).
constexpr TppDisplayFormatEntry kDateTimeFormats[] = {
    {"3/4/95 1:30:55 PM", "m/d/yy h:nn:ss AM/PM"},
    {"3/4/95 13:30:55", "m/d/yy h:nn:ss"},
    {"3/4/95", "m/d/yy"},
    {"03/04/95", "mm/dd/yy"},
    {"03/04/1995", "mm/dd/yyyy"},
    {"4-Mar-95 ", "d-mmm-yy"},
    {"04-Mar-95 ", "dd-mmm-yy"},
    {"March 4, 1995", "mmmm d, yyyy"},
    {"3/4", "m/d"},
    {"Mar-95", "mmm-yy"},
    {"March-95", "mmmm-yy"},
};
constexpr size_t kDateTimeOnly = 2;

constexpr TppDisplayFormatEntry kTimeFormats[] = {
    {"1:30 PM", "h:nn AM/PM"},
    {"13:30", "h:nn"},
    {"1:30:55 PM", "h:nn:ss AM/PM"},
    {"13:30:55", "h:nn:ss"},
};

constexpr TppDisplayFormatEntry kNumericFormats[] = {
    {"-1,234", "#,0;-#,0"},
    {"-1,234.40", "#,0.00;-#,0.00"},
    {"(1,234.40)", "#,0.00;(#,0.00)"},
    {"($1,234.40)", "$#,0.00;($#,0.00)"},
    {"-$1,234.40", "$#,0.00;-$#,0.00"},
    {"-$1,234", "$#,0;-$#,0"},
    {"($1,234)", "$#,0;($#,0)"},
    {"-1234.4 %", "0 %"},
    {"-1234.40 %", "0.00 %"},
};

constexpr TppDisplayFormatEntry kStringFormats[] = {
    {"Phone", "!\\(999\\)\\ 000\\-0000;0; "},
    {"Extension", "!99999;0; "},
    {"Social Security", "000\\-00\\-0000;0; "},
    {"Short Zip Code", "00000;0; "},
    {"Long Zip Code", "00000\\-9999;0; "},
    {"Date", "!99/99/00;0; "},
    {"Long Time", "!90:00:00\\ >LL;0; "},
    {"Short Time", "!90:00;0; "},
};

bool IsNumeric(TppDataType t) {
  switch (t) {
    case dtInteger:
    case dtSingle:
    case dtDouble:
    case dtExtended:
    case dtCurrency:
    case dtLongint:
    case dtLargeInt: return true;
    default: return false;
  }
}

// The value as an 80-bit number: integers and amounts with every digit.
long double NumberOf(const cls::Variant& v) {
  switch (v.VarType()) {
    case cls::varInt64: return static_cast<long double>(v.AsInt64());
    case cls::varCurrency: return static_cast<long double>(v.AsCurrency().Scaled) / 10000.0L;
    default: return v.AsDouble();
  }
}

std::string PlainText(const cls::Variant& v) {
  try {
    return cls::VarToStr(v);
  } catch (const cls::Exception&) {
    return {};
  }
}

// Significant digits a value is rounded to before its decimals: every digit
// of an integer or amount, else those of the data type's float.
int PrecisionOf(const cls::Variant& v, TppDataType t) {
  if (v.VarType() == cls::varInt64 || v.VarType() == cls::varCurrency) return 19;
  return t == dtSingle ? 7 : t == dtExtended ? 18 : 15;
}

std::string FormatNumber(const std::string& f, const cls::Variant& v, TppDataType t) {
  const cls::TFormatSettings& fs = cls::FormatSettings();
  const int precision = PrecisionOf(v, t);
  if (f.find('$') != std::string::npos) {
    // Only the decimals of the positive section count; the currency
    // string and its placement are the system's.
    std::string positive = f.substr(0, f.find(';'));
    size_t dot = positive.find('.');
    size_t decimals = dot == std::string::npos ? 0 : std::min<size_t>(positive.size() - dot - 1, 18);
    return cls::FloatToStrF(NumberOf(v), cls::ffCurrency, precision, static_cast<int>(decimals));
  }
  if (!f.empty()) {
    if (v.VarType() == cls::varCurrency) return cls::FormatCurr(f, v.AsCurrency());
    return cls::FormatFloat(f, NumberOf(v), precision);
  }
  if (t == dtCurrency) return cls::FloatToStrF(NumberOf(v), cls::ffCurrency, precision, fs.CurrencyDecimals);
  if (v.VarType() == cls::varInt64) return cls::IntToStr(v.AsInt64());
  return cls::ExtendedToStrG(NumberOf(v), 15);
}

std::string FormatDate(const std::string& f, const cls::Variant& v, TppDataType t) {
  double days = v.AsDateTime();
  if (!cls::IsValidDateTime(days)) return PlainText(v);
  const cls::TFormatSettings& fs = cls::FormatSettings();
  std::string pattern = f;
  if (pattern.empty()) pattern = t == dtDate ? fs.ShortDateFormat : t == dtTime ? fs.LongTimeFormat : "c";
  return cls::FormatDateTime(pattern, days);
}

std::atomic<const TppDisplayFormat*> g_formatter{nullptr};

}  // namespace

std::span<const TppDisplayFormatEntry> ppDisplayFormatEntries(TppDataType dataType) {
  switch (dataType) {
    case dtBoolean: return kBooleanFormats;
    case dtDate: return std::span<const TppDisplayFormatEntry>(kDateTimeFormats).subspan(kDateTimeOnly);
    case dtTime: return kTimeFormats;
    case dtDateTime: return kDateTimeFormats;
    case dtString: return kStringFormats;
    default: break;
  }
  if (IsNumeric(dataType)) return kNumericFormats;
  return {};
}

CLS_IMPLEMENT_CLASS(TppDisplayFormat)

const TppDisplayFormat& TppDisplayFormat::Instance() {
  static const TppDisplayFormat instance{};
  return instance;
}

std::string TppDisplayFormat::Format(const std::string& f, const cls::Variant& v, TppDataType t) const {
  if (v.IsNull() || static_cast<int>(t) >= cls::EnumCount<TppDataType>()) return {};
  try {
    switch (t) {
      case dtBoolean: {
        if (f.empty() || v.VarType() != cls::varBoolean) return PlainText(v);
        size_t semi = f.find(';');
        if (v.AsBoolean()) return f.substr(0, semi);
        return semi == std::string::npos ? std::string() : f.substr(semi + 1);
      }
      case dtDate:
      case dtTime:
      case dtDateTime: return FormatDate(f, v, t);
      case dtChar:
      case dtString:
      case dtMemo: return f.empty() ? PlainText(v) : cls::FormatMaskText(f, PlainText(v));
      default: break;
    }
    if (IsNumeric(t)) return FormatNumber(f, v, t);
    return {};
  } catch (const cls::Exception&) {
    return PlainText(v);
  }
}

void TppDisplayFormat::GetDisplayFormats(TppDataType dataType, cls::TStringList* list) const {
  if (!list) return;
  list->Clear();
  for (const TppDisplayFormatEntry& e : ppDisplayFormatEntries(dataType))
    list->Add(std::string(e.Sample) + '\x01' + e.Format);
}

void ppSetDisplayFormatClass(const TppDisplayFormat* formatter) { g_formatter.store(formatter); }
const TppDisplayFormat* ppDisplayFormatClass() { return g_formatter.load(); }

std::string FormatDisplayValue(const std::string& displayFormat, const cls::Variant& value, TppDataType dataType) {
  if (const TppDisplayFormat* f = ppDisplayFormatClass()) return f->Format(displayFormat, value, dataType);
  return value.IsNull() ? std::string() : PlainText(value);
}

void GetDisplayFormats(TppDataType dataType, cls::TStringList* list) {
  if (const TppDisplayFormat* f = ppDisplayFormatClass()) f->GetDisplayFormats(dataType, list);
  else if (list) list->Clear();
}
