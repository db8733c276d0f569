// Display formats: the text a report shows for a value of a data type, laid
// through a format string (Boolean texts, date-time patterns, float
// patterns, currency, edit masks), and the catalogue of sample formats
// offered to a user. The formatter is a stateless class reached through a
// process-wide slot, so another formatter can take its place.
#pragma once
#include <span>
#include <string>

#include "platform/classes/classes.h"
#include "platform/classes/variants.h"
#include "report/model/ppTypes.h"

// One catalogue entry: the sample as it would appear and its format.
struct TppDisplayFormatEntry {
  const char* Sample;
  const char* Format;
};

// The catalogue's entries of a data type (empty for types without any).
std::span<const TppDisplayFormatEntry> ppDisplayFormatEntries(TppDataType dataType);

class TppDisplayFormat : public cls::TObject {
  CLS_DECLARE_CLASS(TppDisplayFormat, cls::TObject)
 public:
  static const TppDisplayFormat& Instance();

  // Class-level operations, in slot order.
  // VALUE as text through DISPLAYFORMAT for DATATYPE. Never raises: null
  // gives ""; a value its type cannot take, or a date outside the years 1
  // to 9999, gives its plain text.
  virtual std::string Format(const std::string& displayFormat, const cls::Variant& value,
                             TppDataType dataType) const;
  // Clears LIST and adds the data type's entries, each the sample, the
  // character 1 and the format.
  virtual void GetDisplayFormats(TppDataType dataType, cls::TStringList* list) const;
};

// The slot (the model's registration fills it with TppDisplayFormat; nil
// empties it).
void ppSetDisplayFormatClass(const TppDisplayFormat* formatter);
const TppDisplayFormat* ppDisplayFormatClass();

// Through the class in the slot; with an empty slot the value's plain text
// and no entries.
std::string FormatDisplayValue(const std::string& displayFormat, const cls::Variant& value, TppDataType dataType);
void GetDisplayFormats(TppDataType dataType, cls::TStringList* list);
