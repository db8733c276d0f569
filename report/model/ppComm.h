// TppCommunicator: the root of every report object. Two-way notification
// links keep references between report objects from dangling; one-way event
// subscriptions carry numbered events; UserName is unique within a report.
#pragma once
#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "platform/classes/classes.h"
#include "report/model/ppIntf.h"
#include "report/model/ppRTTI.h"

class TppCommunicator;

// Notification operations between linked communicators.
constexpr uint8_t ppopRemove = 0;       // the linked communicator is being freed
constexpr uint8_t ppopDataChange = 2;   // its data changed
constexpr uint8_t ppopUserNameChange = 3;

// State flags of the 16-bit state set.
constexpr uint16_t pstDesignerOpen = 1;
constexpr uint16_t pstRenameWhileReading = 32;
constexpr uint16_t pstReadingTemplate = 128;

// Every event, one row each: its id constant, its id (0 to 255 can be
// delivered) and the name the scripting layer and the designer show.
#define PP_EVENTS(X) \
  X(ciProducerAfterPrint, 0, "AfterPrint") \
  X(ciProducerBeforePrint, 1, "BeforePrint") \
  X(ciProducerCancel, 2, "OnCancel") \
  X(ciProducerCancelDialogCreate, 3, "OnCancelDialogCreate") \
  X(ciProducerCancelDialogClose, 4, "OnCancelDialogClose") \
  X(ciProducerPreviewFormCreate, 5, "OnPreviewFormCreate") \
  X(ciProducerPreviewFormClose, 6, "OnPreviewFormClose") \
  X(ciProducerPrintDialogCreate, 7, "OnPrintDialogCreate") \
  X(ciProducerPrintDialogClose, 8, "OnPrintDialogClose") \
  X(ciProducerSaveText, 9, "OnSaveText") \
  X(ciReportAfterAutoSearchDialogCreate, 10, "AfterAutoSearchDialogCreate") \
  X(ciReportAutoSearchDialogClose, 11, "OnAutoSearchDialogClose") \
  X(ciReportGetAutoSearchValues, 12, "OnGetAutoSearchValues") \
  X(ciEngineReportStart, 13, "ReportStart") \
  X(ciEngineReportEnd, 14, "ReportEnd") \
  X(ciReportEndColumn, 15, "OnEndColumn") \
  X(ciReportEndFirstPass, 16, "OnEndFirstPass") \
  X(ciReportEndPage, 17, "OnEndPage") \
  X(ciReportEndSecondPass, 18, "OnEndSecondPass") \
  X(ciReportStartColumn, 19, "OnStartColumn") \
  X(ciReportStartFirstPass, 20, "OnStartFirstPass") \
  X(ciReportStartPage, 21, "OnStartPage") \
  X(ciReportStartSecondPass, 22, "OnStartSecondPass") \
  X(ciBandAfterPrint, 23, "AfterPrint") \
  X(ciBandBeforePrint, 24, "BeforePrint") \
  X(ciBandAfterGenerate, 25, "AfterGenerate") \
  X(ciBandBeforeGenerate, 26, "BeforeGenerate") \
  X(ciGroupAfterGroupBreak, 27, "AfterGroupBreak") \
  X(ciGroupBeforeGroupBreak, 28, "BeforeGroupBreak") \
  X(ciGroupBeforeHeader, 29, "BeforeHeader") \
  X(ciGroupBeforeFooter, 30, "BeforeFooter") \
  X(ciGroupGetBreakValue, 31, "OnGetBreakValue") \
  X(ciComponentPrint, 32, "OnPrint") \
  X(ciComponentCalc, 33, "OnCalc") \
  X(ciVariableReset, 34, "OnReset") \
  X(ciEngineTraversal, 35, "Traversal") \
  X(ciPipelineRecordPositionChange, 37, "OnRecordPositionChange") \
  X(ciPipelineMasterRecordPositionChange, 38, "OnMasterRecordPositionChange") \
  X(ciPipelineTraversal, 39, "OnTraversal") \
  X(ciPipelineGotoBookmark, 40, "OnGotoBookmark") \
  X(ciPipelineDataChange, 41, "OnDataChange") \
  X(ciPipelineFirst, 42, "OnFirst") \
  X(ciPipelineNext, 43, "OnNext") \
  X(ciPipelinePrior, 44, "OnPrior") \
  X(ciPipelineLast, 45, "OnLast") \
  X(ciPipelineOpen, 46, "OnOpen") \
  X(ciPipelineClose, 47, "OnClose") \
  X(ciCacheFull, 48, "CacheFull") \
  X(ciCacheError, 49, "CacheError") \
  X(ciComponentGetText, 53, "OnGetText") \
  X(ciReportAutoSearchFieldChange, 66, "AutoSearchFieldChange") \
  X(ciLookAheadChange, 67, "LookAheadChange") \
  X(ciGroupBreakReset, 68, "GroupBreakReset") \
  X(ciImageGetPicture, 69, "OnGetPicture") \
  X(ciReportPrepare, 70, "ReportPrepare") \
  X(ciReportEngineReset, 71, "ReportEngineReset") \
  X(ciReportBeforeAutoSearchDialogCreate, 72, "BeforeAutoSearchDialogCreate") \
  X(ciPipelineBeforeClose, 73, "BeforeClose") \
  X(ciComponentDrawCommandCreate, 84, "OnDrawCommandCreate") \
  X(ciComponentDrawCommandClick, 85, "OnDrawCommandClick") \
  X(ciMemoGetMemo, 86, "OnGetMemo") \
  X(ciReportNoData, 87, "OnNoData") \
  X(ciReportOutlineNodeCreate, 88, "OnOutlineNodeCreate") \
  X(ciProducerPrintJobEnd, 89, "PrintJobEnd") \
  X(ciEngineGenerationEnd, 90, "EngineGenerationEnd") \
  X(ciReportGenerationStart, 91, "ReportGenerationStart") \
  X(ciViewerBeforePageDraw, 92, "BeforePageDraw") \
  X(ciViewerAfterPageDraw, 93, "AfterPageDraw") \
  X(ciViewerPageChange, 94, "OnPageChange") \
  X(ciViewerPrintStateChange, 95, "OnPrintStateChange") \
  X(ciViewerStatusChange, 96, "OnStatusChange") \
  X(ciViewerReset, 97, "ViewerReset") \
  X(ciDevicePageReceived, 98, "DevicePageReceived") \
  X(ciPublisherPagePublished, 99, "PagePublished") \
  X(ciPublisherPageRequestProcessed, 100, "PageRequestProcessed") \
  X(ciOutlineEvent, 101, "OutlineEvent") \
  X(ciSearchPanelVisible, 102, "SearchPanelVisible") \
  X(ciSearchPanelToggled, 103, "SearchPanelToggled") \
  X(ciTextSearchEvent, 104, "TextSearchEvent") \
  X(ciProducerAssignPreviewFormSettings, 105, "OnAssignPreviewFormSettings") \
  X(ciPublisherReset, 109, "PublisherReset") \
  X(ciNameChanged, 111, "NameChanged")

enum : int {
#define PP_EVENT_ID_(Constant, Id, Name) Constant = Id,
  PP_EVENTS(PP_EVENT_ID_)
#undef PP_EVENT_ID_
};

struct TppEventRow {
  int Id;
  const char* Name;
};
inline constexpr TppEventRow ppEvents[] = {
#define PP_EVENT_ROW_(Constant, Id, Name) {Id, Name},
    PP_EVENTS(PP_EVENT_ROW_)
#undef PP_EVENT_ROW_
};

// The name of an event id ("AfterPrint", "OnStartPage", ...); empty for an
// id that no one sends.
std::string ppEventName(int eventId);

using TppNotifyEvent = cls::TMethodPointer<void(cls::TObject* Sender, TppCommunicator* aCommunicator, uint8_t aOperation)>;
using TppEventNotifyEvent =
    cls::TMethodPointer<void(cls::TObject* Sender, TppCommunicator* aSender, int aEventId, TraParamList* aParams)>;

constexpr int32_t E_NOINTERFACE_CODE = static_cast<int32_t>(0x80004002u);

class TppCommunicator : public cls::TComponent {
  CLS_DECLARE_CLASS(TppCommunicator, cls::TComponent)
 public:
  explicit TppCommunicator(cls::TComponent* owner);
  ~TppCommunicator() override;
  void BeforeDestruction() override;

  // Notification links.
  void AddNotify(TppCommunicator* other);
  void RemoveNotify(TppCommunicator* other);
  void SendNotify(TppCommunicator* communicator, uint8_t operation);
  TppCommunicator* GetNotify(int index) const;
  int NotifyCount() const;

  // Event subscriptions (this object publishes; SUBSCRIBER receives).
  void AddEventNotify(TppCommunicator* subscriber);
  void RemoveEventNotify(TppCommunicator* subscriber);
  bool HasEventNotify(int eventId) const;
  void SendEventNotify(TppCommunicator* sender, int eventId, TraParamList* params);
  int EventNotifyCount() const;
  TppCommunicator* GetEventNotify(int index) const;
  // The publishers whose events this object receives.
  const std::vector<TppCommunicator*>& EventSources() const;
  cls::TSet256& EventMask();
  const cls::TSet256& EventMask() const;

  // User name.
  std::string UserName() const { return GetUserName(); }
  std::string GetDefaultUserName();

  uint16_t StateFlags() const { return stateFlags_; }
  cls::TObject* ReportDesigner() const;
  cls::TComponent* GetDesignTarget() const;
  TppCommunicator* GetParentCommunicator() const;

  // Component overrides.
  void SetName(const std::string& name) override;
  void Loaded() override;
  // Interfaces: answered from the class's own table (empty here).
  virtual int32_t QueryInterface(const std::string& iid, void** obj);
  int32_t AddRef() { return -1; }
  int32_t Release() { return -1; }

  // Handlers called by the base Notify and EventNotify.
  void SetOnNotify(TppNotifyEvent handler);
  void SetOnEventNotify(TppEventNotifyEvent handler);

  // Virtual operations, in slot order.
  virtual std::string GetUserName() const;
  virtual void SetReportDesigner(cls::TObject* designer);
  virtual void StateChanged(uint16_t flags);
  virtual void InvalidateDesign();
  virtual void SetUserName(const std::string& name);
  virtual void ChangeOwner(cls::TComponent* newOwner);
  virtual void MakeUniqueName(cls::TComponent* component, std::string& name);
  virtual void Notify(TppCommunicator* communicator, uint8_t operation);
  virtual void EventNotify(TppCommunicator* sender, int eventId, TraParamList* params);
  virtual void ClearStateFlags(uint16_t flags);
  virtual void SetStateFlags(uint16_t flags);
  virtual bool IsValidUserName(const std::string& name);
  virtual TppCommunicator* FindUserName(const std::string& name);
  virtual void MakeUniqueUserName(cls::TComponent* component, std::string& name);
  virtual void GetEventNotifySortKey(std::string& key);

 protected:
  // Stores the user name without checks or notices.
  void StoreUserName(const std::string& name);

 private:
  void InsertEventNotifySorted(TppCommunicator* subscriber);
  void DropSubscriber(TppCommunicator* subscriber);
  void DropNotifyLink(TppCommunicator* other);
  void DropAllLinks();
  // Cleared when the object is deleted, so that a delivery running in it
  // stops when a receiver frees it.
  std::shared_ptr<bool> LifeToken();

  // What many objects never get (links, handlers, names), made on first
  // need: the objects made a page at a time stay small.
  struct Links;
  Links& Own();
  static const Links& None();
  const Links& Read() const;

  uint16_t stateFlags_ = 0;
  std::unique_ptr<Links> links_;
};

// By-name access: "UserName".
class TraTppCommunicatorRTTI : public TraTComponentRTTI {
  RA_DECLARE_RTTI(TraTppCommunicatorRTTI, TraTComponentRTTI, TppCommunicator)
};
