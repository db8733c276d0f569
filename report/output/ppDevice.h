// Pages and their draw commands, page requests, the publisher that hands
// pages from the report to the output devices, the device base and the
// registry of device classes.
//
// Positions are thousandths of a millimetre from the page's top-left
// corner. A page owns its draw commands (they are its children and it is
// their owner); a command belongs to one page at a time.
#pragma once
#include <atomic>
#include <cstdint>
#include <functional>
#include <memory>
#include <mutex>
#include <string>
#include <thread>
#include <unordered_map>
#include <utility>
#include <vector>

#include "platform/classes/classes.h"
#include "report/model/ppRelatv.h"
#include "report/model/ppTypes.h"
#include "report/model/ppUtils.h"
#include "report/output/ppPrintr.h"

class TppCustomCancelDialog;
class TppDevice;
class TppDrawCommand;
class TppPage;
class TppPageRequest;
class TppPublisher;

// ---- pages ----

class TppPage : public TppRelative {
  CLS_DECLARE_CLASS(TppPage, TppRelative)
 public:
  explicit TppPage(cls::TComponent* owner);
  ~TppPage() override;
  void BeforeDestruction() override;
  // From another page: its values, its setup and copies of its commands
  // (same classes, same order); other classes go to the inherited assign.
  void Assign(cls::TPersistent* source) override;
  // Lists the commands read with the page for clicks and late values
  // (their flags are read after they join it).
  void Loaded() override;
  void RemoveChild(TppRelative* child) override;

  // Frees the commands and zeroes the numbers, flags and document name.
  void Clear();

  // Appends COMMAND (drawing order), lists it for late page values and
  // clicks, and takes it over. A second outline command raises EOutlineError.
  void AddDrawCommand(TppDrawCommand* command);
  // Takes COMMAND off the page; the page gives up owning it unless the page
  // is being freed.
  void RemoveDrawCommand(TppDrawCommand* command);
  TppDrawCommand* GetDrawCommand(int index) const;
  int GetDrawCommandCount() const { return ChildCount(); }
  TppDrawCommand* GetClickableCommand(int index) const;
  int GetClickableCommandCount() const { return clickable_.Count(); }
  // The first command of class C or a descendant; nullptr when none.
  TppDrawCommand* FindDrawCommandOfClass(cls::TClass c) const;
  TppDrawCommand* GetOutlineDrawCommand() const;

  // "Page 3", "Page 3 of 7".
  std::string GetPageNoText() const;
  std::string GetPageNoOfCountText() const;

  bool HasPageValueCommands() const { return lateValues_.Count() > 0; }
  // Recomputes the late page values; DEVICE (or nullptr) redraws those
  // that changed.
  void UpdatePageValues(TppDevice* device);

  // Published.
  int32_t AbsolutePageNo() const { return absolutePageNo_; }
  void SetAbsolutePageNo(int32_t v) { absolutePageNo_ = v; }
  int32_t AbsolutePageCount() const { return absolutePageCount_; }
  void SetAbsolutePageCount(int32_t v) { absolutePageCount_ = v; }
  bool Calculation() const { return calculation_; }
  void SetCalculation(bool v) { calculation_ = v; }
  int32_t Color() const { return color_; }
  void SetColor(int32_t v) { color_ = v; }
  int32_t ControlGroupBreakNo() const { return controlGroupBreakNo_; }
  void SetControlGroupBreakNo(int32_t v) { controlGroupBreakNo_ = v; }
  std::string DocumentName() const { return documentName_; }
  void SetDocumentName(const std::string& v) { documentName_ = v; }
  bool Final() const { return final_; }
  void SetFinal(bool v) { final_ = v; }
  bool FirstPage() const { return firstPage_; }
  void SetFirstPage(bool v) { firstPage_ = v; }
  int32_t LanguageIndex() const { return languageIndex_; }
  void SetLanguageIndex(int32_t v) { languageIndex_ = v; }
  bool LastPage() const { return lastPage_; }
  void SetLastPage(bool v) { lastPage_ = v; }
  int32_t PageNo() const { return pageNo_; }
  void SetPageNo(int32_t v) { pageNo_ = v; }
  int32_t PageCount() const { return pageCount_; }
  void SetPageCount(int32_t v) { pageCount_ = v; }
  TppPassSettingType PassSetting() const { return passSetting_; }
  void SetPassSetting(TppPassSettingType v) { passSetting_ = v; }
  double PrintDateTime() const { return printDateTime_; }
  void SetPrintDateTime(double v) { printDateTime_ = v; }
  TppPrinterSetup* PrinterSetup() const { return printerSetup_.get(); }
  // Assigns; nullptr is ignored.
  void SetPrinterSetup(TppPrinterSetup* setup);
  TppPageDef* PageDef() const;

  static void RegisterProperties();

 private:
  cls::TPtrList<TppDrawCommand> clickable_;
  cls::TPtrList<TppDrawCommand> lateValues_;
  int32_t absolutePageNo_ = 0;
  int32_t absolutePageCount_ = 0;
  bool calculation_ = false;
  int32_t color_ = 0xFFFFFF;
  int32_t controlGroupBreakNo_ = 0;
  std::string documentName_;
  bool final_ = false;
  bool firstPage_ = false;
  int32_t languageIndex_ = 0;
  bool lastPage_ = false;
  int32_t pageNo_ = 0;
  int32_t pageCount_ = 0;
  TppPassSettingType passSetting_ = TppPassSettingType::psOnePass;
  double printDateTime_ = 0;
  cls::Owned<TppPrinterSetup> printerSetup_;
};

// ---- draw commands ----

class TppDrawCommand : public TppRelative {
  CLS_DECLARE_CLASS(TppDrawCommand, TppRelative)
 public:
  explicit TppDrawCommand(cls::TComponent* owner);
  void BeforeDestruction() override;
  // From another command: band, component, page rectangle, Clickable,
  // DataType, device rectangle, name, bounds, click handler and Tag (not
  // Page or RedrawPage).
  void Assign(cls::TPersistent* source) override;
  // Drops the component (and the click handler) or band that is freed.
  void Notification(cls::TComponent* c, cls::TOperation op) override;
  // A command read as a page's child joins the page.
  void SetParentComponent(cls::TComponent* parent) override;

  // Virtual operations, in slot order.
  // The device's DrawCommand; commands that draw themselves override it.
  virtual bool Draw(TppDevice* device);
  // Same class and bounds; descendants add their content.
  virtual bool IsSameAs(TppDrawCommand* other);
  virtual bool NeedsPageValues() { return false; }
  // True when a page value changed and the command must be drawn again.
  virtual bool UpdatePageValues() { return false; }

  // Published: bounds in thousandths of a millimetre.
  int32_t Left() const { return left_; }
  void SetLeft(int32_t v) { left_ = v; }
  int32_t Top() const { return top_; }
  void SetTop(int32_t v) { top_ = v; }
  int32_t Width() const { return width_; }
  void SetWidth(int32_t v) { width_ = v; }
  int32_t Height() const { return height_; }
  void SetHeight(int32_t v) { height_ = v; }
  bool Clickable() const { return clickable_; }
  void SetClickable(bool v) { clickable_ = v; }
  TppDataType DataType() const { return dataType_; }
  void SetDataType(TppDataType v) { dataType_ = v; }

  // The band of the component that made the command (not owned).
  cls::TComponent* Band() const { return band_; }
  void SetBand(cls::TComponent* band);
  // The component that made the command (not owned), and the printable
  // rectangle of the page it was made for.
  cls::TComponent* Component() const { return component_; }
  void SetComponent(cls::TComponent* component);
  const TppRect& PageRect() const { return pageRect_; }
  void SetPageRect(const TppRect& r) { pageRect_ = r; }

  // The device rectangle, in device pixels, written by the drawing device.
  TppRect GetDrawRect() const { return drawRect_; }
  void SetDrawRect(const TppRect& r) { drawRect_ = r; }
  int32_t DrawLeft() const { return drawRect_.Left; }
  int32_t DrawTop() const { return drawRect_.Top; }
  int32_t DrawRight() const { return drawRect_.Right; }
  int32_t DrawBottom() const { return drawRect_.Bottom; }

  const std::string& CommandName() const { return commandName_; }
  void SetCommandName(const std::string& v) { commandName_ = v; }

  // Fires the click handler when set (a viewer calls it for a click).
  void DoClick();
  cls::TNotifyEvent OnClick;

  TppPage* Page() const { return page_; }
  // Leaves the old page and joins the new one (nullptr: none).
  void SetPage(TppPage* page);
  bool RedrawPage() const { return redrawPage_; }
  void SetRedrawPage(bool v) { redrawPage_ = v; }

  static void RegisterProperties();

 private:
  friend class TppPage;
  void Link(cls::TComponent*& field, cls::TComponent* value);
  int32_t left_ = 0, top_ = 0, width_ = 0, height_ = 0;
  bool clickable_ = false;
  TppDataType dataType_ = dtString;
  cls::TComponent* band_ = nullptr;
  cls::TComponent* component_ = nullptr;
  TppRect pageRect_;
  TppRect drawRect_;
  std::string commandName_;
  TppPage* page_ = nullptr;
  bool redrawPage_ = false;
};

// ---- page requests ----

class TppPageRequest : public cls::TPersistent {
  CLS_DECLARE_CLASS(TppPageRequest, cls::TPersistent)
 public:
  TppPageRequest();
  // From another request only; other classes are ignored.
  void Assign(cls::TPersistent* source) override;
  // Back to psAll, page 1, prAll, no list.
  void Clear();

  // Whether PAGE is wanted; a single-page request beyond the last page is
  // clamped to it.
  bool IsPageRequested(TppPage* page);
  // Whether PAGE completes the request (a page list strikes it off).
  bool IsRequestComplete(TppPage* page);
  // Widens this pending request so that it also covers OTHER.
  void MergeRequest(const TppPageRequest* other);

  // Published.
  cls::TStringList* PageList() { return &pageList_; }
  const cls::TStringList* PageList() const { return &pageList_; }
  void SetPageList(const cls::TStringList* list);
  int32_t PageRequested() const { return pageRequested_; }
  void SetPageRequested(int32_t v) { pageRequested_ = v; }
  TppPageSettingType PageSetting() const { return pageSetting_; }
  void SetPageSetting(TppPageSettingType v) { pageSetting_ = v; }
  TppPageRangeType PageRange() const { return pageRange_; }
  void SetPageRange(TppPageRangeType v) { pageRange_ = v; }

  static void RegisterProperties();

 private:
  void AddPageEntry(int32_t pageNo);
  cls::TStringList pageList_;
  int32_t pageRequested_ = 1;
  TppPageSettingType pageSetting_ = TppPageSettingType::psAll;
  TppPageRangeType pageRange_ = prAll;
};

// ---- publisher ----

PP_ENUM(TppDeviceNotification, dnCancelJob, dnEndJob, dnRequestPages, dnReceivePage, dnStartJob, dnResetJob)

using TppPageRequestEvent = cls::TMethodPointer<void(cls::TObject* Sender, TppPageRequest* aPageRequest)>;
using TppPageEvent = cls::TMethodPointer<void(cls::TObject* Sender, TppPage* aPage)>;

// A re-entrant lock that its holder can give up for a while (around user
// events and message pumping) and take back at the same depth.
class TppBroadcastLock {
 public:
  void Lock();
  void Unlock();
  // Gives the lock up when this thread holds it; the depth it had.
  int Suspend();
  void Resume(int depth);

 private:
  std::recursive_mutex mutex_;
  std::atomic<std::thread::id> owner_{};
  int depth_ = 0;
};

// Gives the publisher's broadcast lock up for the scope (nothing without a
// publisher or when this thread does not hold it).
class TppUnlockedScope {
 public:
  explicit TppUnlockedScope(TppPublisher* publisher);
  ~TppUnlockedScope();
  TppUnlockedScope(const TppUnlockedScope&) = delete;
  TppUnlockedScope& operator=(const TppUnlockedScope&) = delete;

 private:
  TppPublisher* publisher_;
  int depth_ = 0;
};

class TppPublisher : public TppCommunicator {
  CLS_DECLARE_CLASS(TppPublisher, TppCommunicator)
 public:
  explicit TppPublisher(cls::TComponent* owner);
  ~TppPublisher() override;
  void BeforeDestruction() override;
  void Notify(TppCommunicator* communicator, uint8_t operation) override;

  void StartJob();
  void RequestPages();
  // Called by the report for every page it makes.
  void PublishPage(TppPage* page);
  void EndJob();
  void CancelJob();
  void ResetDevices();
  // Before a new generation: no pages seen, cache emptied.
  void Reset();
  // Reset, a fresh request and the PublisherReset notice.
  void Refresh();
  void ResetRequest();
  void ServePageRequest(const TppPageRequest* request);

  std::string GetStatus() const;
  void SetStatus(const std::string& text);
  bool HasOnlyScreenDevices() const;

  // Called by the device's Publisher setter only.
  void AddDevice(TppDevice* device);
  void RemoveDevice(TppDevice* device);
  TppDevice* GetDevice(int index) const { return devices_[index]; }
  int GetDeviceCount() const { return devices_.Count(); }

  // A cached page read here carries the counts of every page cached after it.
  TppPage* GetCachedPage(int index);
  int GetCachedPageCount() const { return cache_.Count(); }
  TppPage* FindCachedPage(int32_t pageNo);
  void FreeCachedPages();

  bool CachePages() const { return cachePages_; }
  void SetCachePages(bool v);
  // AbsolutePageNo of the first last page seen; 0 until then.
  int32_t PageCount() const { return pageCount_; }
  bool LastPageSeen() const { return lastPageSeen_; }
  bool Requesting() const { return requesting_; }
  const TppPageRequest* PendingRequest() const { return &pending_; }

  TppPageRequestEvent OnPageRequest;

  TppBroadcastLock& BroadcastLock() { return lock_; }

 private:
  void Broadcast(TppDeviceNotification code, TppPage* page);
  void ProcessRequest();
  bool ServeFromCache();
  void CachePage(TppPage* page);
  // The counts of PAGE, just cached, are kept for the pages cached before it.
  void UpdateCachedPageCounts(TppPage* page);
  // PAGE takes the counts kept since it last took them, as if each page
  // cached after it had raised it then.
  void TakeCachedCounts(TppPage* page);
  TppPage* CachedPageAt(int index) const;
  bool CanAddDevice(TppDevice* device) const;
  void PushGroupedDevice(TppDevice* device);
  bool PopGroupedDevice(TppDevice* device);
  // Publishes the cached page PAGENO; false when it is not cached.
  bool PublishCached(int32_t pageNo);

  int32_t pageCount_ = 0;
  bool cachePages_ = false;
  cls::TPtrList<TppDevice> devices_;
  bool freshRequest_ = true;
  // Group name (case ignored) and the devices of the group, newest first.
  std::vector<std::pair<std::string, std::vector<TppDevice*>>> groups_;
  cls::TStringList cache_{true};  // ppPageKey -> owned page copy, sorted
  // The counts of the pages cached since every cached page last took them all,
  // in order; AbsolutePageCount never falls along it.
  struct CachedCounts {
    int32_t absolutePageCount;
    int32_t pageCount;
    int32_t controlGroupBreakNo;
  };
  std::vector<CachedCounts> cachedCounts_;
  // Per ControlGroupBreakNo, the entries of cachedCounts_ that raised the
  // AbsolutePageCount of the one before them: index and PageCount, each
  // PageCount above all after it (the largest from any index on is found
  // by the index).
  std::unordered_map<int32_t, std::vector<std::pair<size_t, int32_t>>> countRaises_;
  // Per cached page, how many entries of cachedCounts_ it has taken.
  std::unordered_map<const TppPage*, size_t> countsTaken_;
  TppPageRequest pending_;
  bool requestSatisfied_ = false;
  bool servingFromCache_ = false;
  bool lastPageSeen_ = false;
  bool collecting_ = false;
  bool requesting_ = false;
  TppBroadcastLock lock_;
};

// ---- devices ----

class TppDevice : public TppCommunicator {
  CLS_DECLARE_CLASS(TppDevice, TppCommunicator)
 public:
  explicit TppDevice(cls::TComponent* owner);
  ~TppDevice() override;
  void BeforeDestruction() override;
  void Notify(TppCommunicator* communicator, uint8_t operation) override;
  void Notification(cls::TComponent* c, cls::TOperation op) override;

  // The name the registry knows the class by.
  static std::string ClassDeviceName() { return "TppDevice"; }

  // Virtual operations, in slot order.
  virtual void SetGrouped(bool v);
  virtual void SetGroupName(const std::string& v);
  virtual void SetStatus(const std::string& text);
  virtual std::string DeviceName() const { return ClassDeviceName(); }
  virtual void CancelJob();
  virtual bool DrawCommand(TppDrawCommand* command);
  virtual bool RedrawCommand(TppDrawCommand* command);
  virtual void EndJob();
  virtual bool SkipsNonFinalPages() const { return true; }
  virtual void ReceivePage(TppPage* page);
  virtual void ResetJob();
  virtual void StartJob();

  // Asks the publisher for the device's pages (a device that wants pages
  // itself); nothing without a publisher.
  virtual void RequestPages();
  // Draws the commands that start on the paper, in order.
  void DrawPage(TppPage* page);
  void DoPageRequest();

  bool Active() const { return active_; }
  void SetActive(bool v);  // ignored while Busy
  bool Busy() const { return busy_; }
  bool Cancelled() const { return cancelled_; }
  bool SkipPage() const { return skipPage_; }
  bool PageIsRequested() const { return pageIsRequested_; }
  bool Waiting() const { return waiting_; }
  bool Grouped() const { return grouped_; }
  const std::string& GroupName() const { return groupName_; }
  const std::string& Status() const { return status_; }
  TppPageRequest* PageRequest() { return &pageRequest_; }
  void SetPageRequest(const TppPageRequest* request);
  TppPublisher* Publisher() const { return publisher_; }
  void SetPublisher(TppPublisher* publisher);
  // The dialog that shows the device's progress (not owned; forgotten when
  // it is freed).
  TppCustomCancelDialog* CancelDialog() const { return cancelDialog_; }
  void SetCancelDialog(TppCustomCancelDialog* dialog);

  cls::TNotifyEvent OnCancelJob;
  cls::TNotifyEvent OnPageRequest;
  TppPageEvent OnPageReceive;
  cls::TNotifyEvent OnStartJob;
  cls::TNotifyEvent OnEndJob;
  cls::TNotifyEvent OnPublisherChange;

 protected:
  // Fires EVENT with the publisher's broadcast lock given up.
  void Fire(const cls::TNotifyEvent& event);
  // ReceivePage without the completion check: skip flags, request test,
  // the page-received event and notice.
  void BeginReceivePage(TppPage* page);
  void CheckRequestComplete(TppPage* page);
  void DoPublisherChange();
  void SetBusy(bool v) { busy_ = v; }
  void SetCancelled(bool v) { cancelled_ = v; }
  // Stores the progress TEXT; a cancel dialog showing another text gets it,
  // and the application's messages are processed.
  void ShowStatus(const std::string& text);
  // The dialog's current text; empty without one.
  std::string DialogStatus() const;

 private:
  bool active_ = true;
  bool busy_ = false;
  bool cancelled_ = false;
  bool skipPage_ = false;
  bool pageIsRequested_ = false;
  TppPageRequest pageRequest_;
  TppPublisher* publisher_ = nullptr;
  bool grouped_ = false;
  std::string groupName_;
  std::string status_;
  bool waiting_ = true;
  TppCustomCancelDialog* cancelDialog_ = nullptr;
};

// The devices that draw commands (printer, screen) rather than store them.
class TppRasterDevice : public TppDevice {
  CLS_DECLARE_CLASS(TppRasterDevice, TppDevice)
 public:
  explicit TppRasterDevice(cls::TComponent* owner) : TppDevice(owner) {}
};

// ---- the report a page viewer shows ----

// What a page viewer needs of its report (the producer answers it; the
// viewer finds it on the report component it is given). The report's
// events and its free notice come through the report as a communicator.
class IppViewerReport {
 public:
  virtual ~IppViewerReport() = default;
  virtual TppPublisher* Publisher() const = 0;
  virtual TppPrinterSetup* PrinterSetup() = 0;
  virtual const std::string& DeviceType() const = 0;
  virtual void SetDeviceType(const std::string& name) = 0;
  // The page a print run starts from.
  virtual int CurrentPage() const = 0;
  virtual void SetCurrentPage(int page) = 0;
  virtual bool ShowAutoSearchDialog() const = 0;
  virtual void SetShowAutoSearchDialog(bool v) = 0;
  virtual void Print() = 0;
  virtual void Cancel() = 0;
  virtual bool ExecuteAutoSearchDialog() = 0;
  // The report is generating pages.
  virtual bool Printing() const = 0;
};

// ---- device registry ----

struct TppDeviceClass {
  cls::TClass Class = nullptr;
  std::string (*DeviceName)() = nullptr;
};

// Registers the class for streaming and lists it under its device name;
// a class listed already is ignored.
void RegisterDevice(const TppDeviceClass& deviceClass);
template <class T>
void RegisterDevice() {
  RegisterDevice(TppDeviceClass{&T::StaticClass(), &T::ClassDeviceName});
}
void UnregisterDevice(cls::TClass c);
// Device names of the registered classes, in registration order.
std::vector<TppDeviceClass> GetDeviceClasses();
std::vector<std::string> GetDeviceNames();
// The class registered under NAME (case ignored); nullptr when none.
cls::TClass GetDeviceClassForName(const std::string& name);

// The TrueType font that stands for an old raster font name; any other
// name unchanged (exact, case-sensitive comparison).
std::string GetTrueTypeFontName(const std::string& fontName);

// Registers pages and page requests for streaming and publishes their
// properties and those of draw commands (the output layer's registration).
void ppRegisterDeviceUnit();

// ---- scripting ----

// "RemoveDrawCommand" ("aDrawCommand").
class TraTppPageRTTI : public TraTppRelativeRTTI {
  RA_DECLARE_RTTI(TraTppPageRTTI, TraTppRelativeRTTI, TppPage)
};

// "Clickable" (read-only), "Page" and "RedrawPage".
class TraTppDrawCommandRTTI : public TraTppRelativeRTTI {
  RA_DECLARE_RTTI(TraTppDrawCommandRTTI, TraTppRelativeRTTI, TppDrawCommand)
};

// Event ID of SENDER with the parameter "Page" bound to PAGE, when a
// subscriber wants it (the device's page received, the publisher's page
// published).
void ppSendPageEvent(TppCommunicator* sender, int eventId, TppPage* page);
