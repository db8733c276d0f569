// Printers of the report library: the process-wide printer list with its
// "Screen" and "Default" entries, printer capabilities and the paper
// tables, the printer setup that a report carries, and the printer object
// that prints through the spooler and a device context.
//
// Locks, always taken in this order, never the other way round:
//   1. a printer's lock,
//   2. a printer setup's lock,
//   3. the unit lock (ppPrintrUnitLock),
//   4. the printer list's lock,
//   5. a printer info's lock.
// A thread holding one may take a later one only. No user event (method
// pointer of the caller) is fired and no get-printer event is asked while a
// lock is held; a printer's own setup calls back into that printer, whose
// lock is re-entrant. Two objects of one class are never locked together:
// one is read under its own lock first. The printer list is an immutable
// snapshot that a rebuild replaces; its entries are shared, so holders keep
// them (or the name) across a rebuild. Objects made under the unit lock
// take no printer or setup lock while they are made.
#pragma once
#include <atomic>
#include <memory>
#include <mutex>
#include <optional>
#include <span>
#include <string>
#include <vector>

#include "platform/classes/classes.h"
#include "platform/classes/filer.h"
#include "platform/gdi/canvas.h"
#include "platform/gdi/gdi.h"
#include "platform/spool/spool.h"
#include "report/model/ppIntf.h"
#include "report/model/ppRTTI.h"
#include "report/model/ppTypes.h"
#include "report/model/ppUtils.h"

class TppPrinter;
class TppPrinterSetup;

using TppLock = std::recursive_mutex;
using TppLockGuard = std::lock_guard<std::recursive_mutex>;

// ---- capabilities and the printer list ----

class TppPrinterCapabilities : public cls::TObject {
  CLS_DECLARE_CLASS(TppPrinterCapabilities, cls::TObject)
 public:
  std::string PrinterName;
  // Every entry a decimal text; paper sizes in tenths of a millimetre.
  cls::TStringList BinCodes, BinNames, PaperHeights, PaperNames, PaperCodes, PaperWidths;

  void NormalisePapers();
  void NormaliseBins();
};

class TppPrinterInfo : public cls::TObject {
  CLS_DECLARE_CLASS(TppPrinterInfo, cls::TObject)
 public:
  // OPEN is taken for the callers' sake; nothing reads it.
  TppPrinterInfo(const std::string& name, bool open, const char* driver, const char* device, const char* port);

  const std::string& Name() const { return name_; }
  const std::optional<std::string>& Driver() const { return driver_; }
  const std::optional<std::string>& Device() const { return device_; }
  const std::optional<std::string>& Port() const { return port_; }
  bool Usable() const { return usable_; }
  void SetUsable(bool v) { usable_ = v; }
  bool Network() const { return network_; }
  void SetNetwork(bool v) { network_ = v; }

  // Built on first use; normalised. Lives as long as the info.
  virtual TppPrinterCapabilities* GetCapabilities();
  // "<device> on <port>", or empty when either is missing.
  std::string GetDescription() const;

 protected:
  TppLock lock_;
  cls::Owned<TppPrinterCapabilities> capabilities_;

 private:
  std::string name_;
  std::optional<std::string> driver_, device_, port_;
  std::atomic<bool> usable_{true};  // cleared by any printer that uses the entry
  bool network_ = false;
};

// An entry of the printer list. Holders keep it (or the name), never a raw
// pointer: a rebuild of the list drops its entries.
using TppPrinterInfoRef = std::shared_ptr<TppPrinterInfo>;

class TppScreenPrinterInfo : public TppPrinterInfo {
  CLS_DECLARE_CLASS(TppScreenPrinterInfo, TppPrinterInfo)
 public:
  TppScreenPrinterInfo();
  TppPrinterCapabilities* GetCapabilities() override;
};

// One state of the printer list. It never changes: a rebuild, or a new
// default printer, publishes a new one.
struct TppPrinterListSnapshot {
  struct Entry {
    std::string Name;
    TppPrinterInfoRef Info;
  };
  std::vector<Entry> Entries;
  std::string DefaultPrinterName;

  // The first entry named NAME (case ignored); nil when none.
  TppPrinterInfoRef Find(const std::string& name) const;
  // The list name of the first entry whose device is DEVICE; empty if none.
  std::string FindNameByDevice(const std::string& device) const;
};

class TppPrinterList : public cls::TObject {
  CLS_DECLARE_CLASS(TppPrinterList, cls::TObject)
 public:
  TppPrinterList();

  // Enumerates the printers again; the global printer is forgotten.
  void BuildPrinterList();
  void ReadDefaultPrinter();
  std::shared_ptr<const TppPrinterListSnapshot> Snapshot();
  TppPrinterInfoRef GetPrinterInfo(const std::string& name);
  int GetCount();
  // The list names in order ("Screen", "Default", then the printers).
  std::vector<std::string> PrinterNames();
  std::string DefaultPrinterName();
  // The list name of the first entry whose device is DEVICE; empty if none.
  std::string FindNameByDevice(const std::string& device);
  static std::vector<std::string> SplitCommaList(const std::string& text);

 private:
  void Build();
  TppLock lock_;
  std::shared_ptr<const TppPrinterListSnapshot> snapshot_;
};

// ---- unit routines ----

TppPrinterList* ppGetPrinterList();
// The shared printer; nil while the list holds no real printer. A rebuild
// of the list forgets it; a forgotten one stays valid until ppPrintrFinalize.
TppPrinter* ppGetGlobalPrinter();
TppPrinterInfo* ppGetNoPrinterInfo();
TppLock& ppPrintrUnitLock();
// Frees the list, the global printer and the no-printer info (the unit's
// finalisation); the next use builds them again.
void ppPrintrFinalize();

// A standard paper: its DMPAPER code, name and size (0 x 0 for none).
struct TppPaper {
  int Code;
  const char* Name;
  double Width, Height;
  bool Inches;  // the size is in inches, else in tenths of a millimetre
};
// The paper table, by increasing code.
std::span<const TppPaper> ppPapers();
// Sizes in tenths of a millimetre; 0 x 0 for a code without one.
void ppGetPaperSize(int code, int& width, int& height);
// "Unknown" for a code the table does not know.
std::string ppGetPaperName(int code);
std::string ppFormatPaperSize(int width, int height);

// ---- printer setup ----

using TppGetPrinterEvent = cls::TMethodPointer<void(TppPrinter*& aPrinter)>;
using TppPageDefChangingEvent =
    cls::TMethodPointer<void(cls::TObject* Sender, TppPageDef* aPageDef, bool& aAccept)>;

class TppPrinterSetup : public cls::TPersistent {
  CLS_DECLARE_CLASS(TppPrinterSetup, cls::TPersistent)
 public:
  explicit TppPrinterSetup(cls::TComponent* owner);
  // Copies another setup (taken under its own lock first, so two setups are
  // never locked together).
  void Assign(cls::TPersistent* source) override;
  // The page geometry in thousandths of a millimetre and the paper code.
  void DefineProperties(cls::TFiler* filer) override;

  // Published.
  std::string BinName();
  void SetBinName(const std::string& v);
  bool Collation();
  void SetCollation(bool v);
  int Copies();
  void SetCopies(int v);
  std::string DocumentName();
  void SetDocumentName(const std::string& v);
  TppDuplexType Duplex();
  void SetDuplex(TppDuplexType v);
  float MarginBottom();
  void SetMarginBottom(float v);
  float MarginLeft();
  void SetMarginLeft(float v);
  float MarginRight();
  void SetMarginRight(float v);
  float MarginTop();
  void SetMarginTop(float v);
  TPrinterOrientation Orientation();
  void SetOrientation(TPrinterOrientation v);
  float PaperHeight();
  void SetPaperHeight(float v);
  std::string PaperName();
  void SetPaperName(const std::string& v);
  float PaperWidth();
  void SetPaperWidth(float v);
  std::string PrinterName();
  void SetPrinterName(const std::string& v);

  std::string OutputFileName();
  void SetOutputFileName(const std::string& v);
  TppUnitType Units();
  void SetUnits(TppUnitType v);
  TppPageDef* PageDef() { return &pageDef_; }
  TppPrinterInfoRef PrinterInfo();
  cls::TComponent* Owner() const { return owner_; }

  std::vector<std::string> PrinterNames();
  std::vector<std::string> BinNames();
  std::vector<std::string> PaperNames();
  std::string PrinterDescription();
  float PrintableHeight();
  float PrintableWidth();

  int GetPaperSizeCode();
  std::string FindPaperName(float width, float height);
  void GetPaperSizeOfName(const std::string& name, float& width, float& height);
  std::string GetResolvedPrinterName();
  bool IsEqual(TppPrinterSetup* other);
  bool MatchesPaper(TppPrinterSetup* other);
  void UpdatePageDefSize();
  // The paper size as a driver gives it, kept to the tenth of a millimetre.
  void SetPaperSizeTenthsMM(int32_t width, int32_t height);
  // Only the paper of SOURCE: its size, margins, name and orientation.
  void AssignPaper(TppPrinterSetup* source);

  // The paper code read from a stream ("PaperSize"), resolved on the next
  // read of PaperName.
  void SetStoredPaperCode(int code);

  bool NotifyFlag();
  void SetNotifyFlag(bool v);
  bool NotificationsEnabled();

  TppGetPrinterEvent OnGetPrinter;
  TppPageDefChangingEvent OnPageDefChanging;
  cls::TNotifyEvent OnPageDefChange;
  cls::TNotifyEvent OnPrinterSetupChange;

  // Publishes the properties above (once per process).
  static void RegisterProperties();

 private:
  // The settings that Assign copies and IsEqual compares, read at once.
  struct Settings {
    std::string binName, documentName, outputFileName, paperName, printerName;
    bool collation = true;
    int copies = 1;
    TppDuplexType duplex = dpNone;
    TPrinterOrientation orientation = poPortrait;
    TppUnitType units = utInches;
    TppPageDef pageDef;
  };
  void ReadSettings(Settings& out);
  static std::string ResolvedName(const std::string& printerName);

  // The get-printer event's printer; asked with no lock held.
  cls::TObject* Printer();
  TppPrinterCapabilities* CapabilitiesOf(const TppPrinterInfoRef& info);
  bool Reading();
  // The page-geometry events, fired with no lock held.
  bool DoPageDefChanging(TppPageDef* newPageDef);
  void DoPageDefChange();
  void DoPrinterSetupChange();
  float GetLength(int32_t (TppPageDef::*get)() const, TppDirection direction);
  void SetMargin(void (TppPageDef::*set)(int32_t), TppDirection direction, float v);
  void SetPaperSize(bool height, float v);
  // The paper width and height (thousandths of a millimetre) as given.
  void SetPaperSizeMM(std::optional<int32_t> width, std::optional<int32_t> height);
  // Stores V in FIELD under the lock and tells of a change.
  template <class T>
  void Change(T TppPrinterSetup::*field, const T& v);

  TppLock lock_;
  bool notify_ = true;
  std::string binName_ = "Default";
  bool collation_ = true;
  int copies_ = 1;
  std::string documentName_;
  TppDuplexType duplex_ = dpNone;
  std::string outputFileName_;
  TPrinterOrientation orientation_ = poPortrait;
  TppPageDef pageDef_;
  std::string paperName_ = "Custom";
  std::string printerName_ = "Default";
  TppPrinterInfoRef printerInfo_;
  cls::TComponent* const owner_;
  TppUnitType units_ = utInches;
  int storedPaperCode_ = 0;
  std::optional<float> deferredHeight_, deferredWidth_;
};

// ---- printer object ----

class TppCustomPrinter;

class TppPrinterCanvas : public gdi::TCanvas {
 public:
  explicit TppPrinterCanvas(TppCustomPrinter* printer) : printer_(printer) {}
  TppCustomPrinter* Printer() const { return printer_; }
  // Keeps the font's point size under the printer's resolution; a printer
  // that is not colour prints every font colour but white in black.
  void UpdateFont();

 protected:
  void CreateHandle() override;
  void Changing() override;

 private:
  TppCustomPrinter* printer_;
};

class TppCustomPrinter : public cls::TObject, public IppPrinterMetrics {
  CLS_DECLARE_CLASS(TppCustomPrinter, cls::TObject)
 public:
  TppCustomPrinter();
  // A printer on the stack is torn down by its destructor instead.
  ~TppCustomPrinter() override;
  // Gives up an open job and releases the canvas and the handles.
  void BeforeDestruction() override;

  void BeginDoc();
  void NewPage();
  void EndPage();
  void EndDoc();
  // Gives an open job up: nothing of it is kept.
  void AbortDoc();
  // The open document was cancelled after some of its pages: EndDoc ends it
  // as cut short, and nothing is handed on.
  void CutShort();

  win::HDC OpenPrinterDC();
  TppPrinterInfoRef GetPrinterInfo();
  // The current printer's; valid while the printer keeps that printer.
  TppPrinterCapabilities* GetCapabilities();
  TppPrinterCanvas* GetCanvas();
  void SetPrinterName(const std::string& name);
  std::string GetPrinterName();

  const win::DEVMODEA* GetDevMode();
  std::optional<win::DEVMODEA> GetDevModeCopy();
  win::DEVMODEA* GetDevModePointer();
  void SetDevMode(const win::DEVMODEA& mode);
  bool ShowPropertiesDialog();
  void AddOrUpdateForm(const std::string& name, win::SIZEL size, win::RECTL imageableArea);

  void GetPixelsPerInch(int& x, int& y) override;
  void GetPageOffsets(int& left, int& top, int& right, int& bottom);
  bool IsColor();

  // Page metrics in printer pixels.
  int PhysicalWidth();
  int PhysicalHeight();
  int PrintableWidth();
  int PrintableHeight();
  int PageNumber();
  bool Printing();
  bool PageOpen();
  int DefaultBin();

  cls::TNotifyEvent OnDevModeChange;

 protected:
  void FreeHandles();
  void FreeDC();
  void ResetDevice();
  void UpdateMetrics();
  void FailJob(const std::string& operation, const std::string& what);
  std::string documentName_, outputFileName_;
  TppLock lock_;

 private:
  friend class TppPrinterCanvas;
  bool OpenSpooler();
  void Teardown();

  bool isColor_ = true;
  std::unique_ptr<TppPrinterCanvas> canvas_;
  win::HDC dc_ = nullptr;
  bool screenDC_ = false;
  TppPrinterInfoRef printerInfo_;
  int defaultBin_ = 0;
  int pageNumber_ = 0;
  bool printing_ = false;
  win::HANDLE spooler_ = nullptr;
  std::string printerName_ = "Default";
  bool devModePending_ = false;
  bool pageOpen_ = false;
  std::unique_ptr<win::DEVMODEA> devMode_;
  int offsetX_ = 0, offsetY_ = 0, unprintableRight_ = 0, unprintableBottom_ = 0;
  int ppiX_ = 0, ppiY_ = 0, physicalWidth_ = 0, physicalHeight_ = 0, vertRes_ = 0, horzRes_ = 0;
};

class TppPrinter : public TppCustomPrinter {
  CLS_DECLARE_CLASS(TppPrinter, TppCustomPrinter)
 public:
  TppPrinter();

  void SetPrinterSetup(TppPrinterSetup* setup);
  // The own setup, refreshed from the device mode.
  TppPrinterSetup* GetPrinterSetup();
  // The setup's paper size in tenths of a millimetre, as the page lies.
  void GetCustomPaperSize(int& width, int& length);

 private:
  void ApplySetup();
  void SetupChanged(cls::TObject* Sender);
  void GetSelf(TppPrinter*& aPrinter);
  TppPrinterSetup setup_{nullptr};
};

// The published properties and "BinNames", "PaperNames", "PrinterNames"
// (texts of one name a line), "PrinterDescription", "PrinterInfo" (while the
// setup keeps that printer), "PageDef", "PrintableHeight", "PrintableWidth"
// (read-only) and "Units".
class TraTppPrinterSetupRTTI : public TraTPersistentRTTI {
  RA_DECLARE_RTTI(TraTppPrinterSetupRTTI, TraTPersistentRTTI, TppPrinterSetup)
};
