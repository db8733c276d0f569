// What the object model asks of classes that later layers build (printer,
// engine, report). They implement these; the model calls through them.
#pragma once
#include <cstdint>
#include <functional>
#include <string>
#include <vector>

#include "report/model/ppTypes.h"

namespace cls {
class TObject;
class TComponent;
class TStream;
}
class TppCacheManager;

// A printer's resolution (the printer object).
class IppPrinterMetrics {
 public:
  virtual ~IppPrinterMetrics() = default;
  virtual void GetPixelsPerInch(int& x, int& y) = 0;
};

// The part of an engine the cache manager needs.
class IppCacheEngine {
 public:
  virtual ~IppCacheEngine() = default;
  virtual bool Generating() const = 0;
  virtual void SetCancelled(bool cancelled) = 0;
};

// The part of a report the cache manager needs: its list of cache managers,
// its engine and the iteration over its objects (engine, bands, band objects
// and subreports).
class IppCacheReport {
 public:
  virtual ~IppCacheReport() = default;
  virtual void AddCacheManager(TppCacheManager* manager) = 0;
  virtual void RemoveCacheManager(TppCacheManager* manager) = 0;
  virtual IppCacheEngine* CacheEngine() = 0;
  virtual void ForEachCacheObject(const std::function<void(cls::TObject*)>& proc) = 0;
};

// The page viewer as the panes beside it reach it (the outline viewer, the
// text search pane): going to a page, and the flag a pane raises while it
// toggles, after which the preview refits the page.
class IppPageViewer {
 public:
  virtual ~IppPageViewer() = default;
  virtual void GotoPage(int32_t pageNo) = 0;
  virtual bool RefitPending() const = 0;
  virtual void SetRefitPending(bool v) = 0;
};

// A report designer attached to report objects at design time. None exists
// in this system; the model only asks it for the object it works on.
class IppReportDesigner {
 public:
  virtual ~IppReportDesigner() = default;
  virtual cls::TComponent* DesignTarget() = 0;
};

// What the selection marks ask of the component they mark (the printable
// implements it): its colour and its place on the design surface.
class IppDesignComponent {
 public:
  virtual ~IppDesignComponent() = default;
  virtual int32_t DesignColor() = 0;
  // Screen pixels.
  virtual int32_t DesignLeft() = 0;
  virtual int32_t DesignTop() = 0;
};

// What the ShiftRelativeTo utilities ask of a component (stretchables,
// regions and the components of bands implement it).
class IppShiftable {
 public:
  virtual ~IppShiftable() = default;
  virtual bool IsStretchableComponent() = 0;
  virtual bool IsRegionComponent() = 0;
  // The region the component sits in, or nullptr.
  virtual cls::TComponent* ShiftRegion() = 0;
  // The component this one is placed below, or nullptr.
  virtual cls::TComponent* ShiftTarget() = 0;
  // The objects of the component's band, in order (none without a band).
  virtual void ShiftBandObjects(std::vector<cls::TComponent*>& objects) = 0;
};

// A table of records read in order, field values by field name (a data
// pipeline implements it; the template dialog lists a template table
// through it, templates are read from and written to one). A table that
// cannot be written raises EDataError from the writing operations.
class IppDataTable {
 public:
  virtual ~IppDataTable() = default;
  virtual bool Active() = 0;
  virtual void Open() = 0;
  virtual void First() = 0;
  virtual void Next() = 0;
  // Past the last record (at once when the table is empty).
  virtual bool Eof() = 0;
  // The current record's value of FIELDNAME as text.
  virtual std::string GetFieldAsString(const std::string& fieldName) = 0;

  // Makes the first record whose FIELDNAME equals VALUE (case ignored) the
  // current one; false when none does.
  virtual bool Locate(const std::string& fieldName, const std::string& value) {
    if (!Active()) Open();
    for (First(); !Eof(); Next())
      if (cls::SameText(GetFieldAsString(fieldName), value)) return true;
    return false;
  }
  // dtNotKnown for a field the table lacks.
  virtual TppDataType GetFieldDataType(const std::string&) { return dtNotKnown; }
  // A new record becomes the current one, in edit mode.
  virtual void Insert() { throw EDataError("The table cannot be written"); }
  // The current record goes into edit mode.
  virtual void Edit() { throw EDataError("The table cannot be written"); }
  // The record in edit mode is stored.
  virtual void Post() { throw EDataError("The table cannot be written"); }
  // Writes the record in edit mode.
  virtual void SetFieldAsString(const std::string&, const std::string&) {
    throw EDataError("The table cannot be written");
  }
  // The current record's bytes of a blob or memo field into STREAM (at its
  // position); nothing for a null value.
  virtual void GetFieldAsStream(const std::string&, cls::TStream*) {
    throw EDataError("The table holds no streams");
  }
  // The whole of STREAM into the field of the record in edit mode.
  virtual void SetFieldFromStream(const std::string&, cls::TStream*) {
    throw EDataError("The table cannot be written");
  }
};
