// What the object model asks of classes that later layers build (printer,
// engine, report). They implement these; the model calls through them.
#pragma once
#include <functional>

namespace cls {
class TObject;
class TComponent;
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

// A report designer attached to report objects at design time. None exists
// in this system; the model only asks it for the object it works on.
class IppReportDesigner {
 public:
  virtual ~IppReportDesigner() = default;
  virtual cls::TComponent* DesignTarget() = 0;
};
