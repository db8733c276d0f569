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

class TraParamList;
class TppCommunicator;

// Notification operations between linked communicators.
constexpr uint8_t ppopRemove = 0;       // the linked communicator is being freed
constexpr uint8_t ppopDataChange = 2;   // its data changed
constexpr uint8_t ppopUserNameChange = 3;

// State flags of the 16-bit state set.
constexpr uint16_t pstDesignerOpen = 1;
constexpr uint16_t pstRenameWhileReading = 32;
constexpr uint16_t pstReadingTemplate = 128;

// Event ids (0 to 255 can be delivered).
enum : int {
  ciProducerAfterPrint = 0,
  ciProducerBeforePrint = 1,
  ciProducerCancel = 2,
  ciProducerCancelDialogCreate = 3,
  ciProducerCancelDialogClose = 4,
  ciProducerPreviewFormCreate = 5,
  ciProducerPreviewFormClose = 6,
  ciProducerPrintDialogCreate = 7,
  ciProducerPrintDialogClose = 8,
  ciProducerSaveText = 9,
  ciReportAfterAutoSearchDialogCreate = 10,
  ciReportAutoSearchDialogClose = 11,
  ciReportGetAutoSearchValues = 12,
  ciEngineReportStart = 13,
  ciEngineReportEnd = 14,
  ciReportEndColumn = 15,
  ciReportEndFirstPass = 16,
  ciReportEndPage = 17,
  ciReportEndSecondPass = 18,
  ciReportStartColumn = 19,
  ciReportStartFirstPass = 20,
  ciReportStartPage = 21,
  ciReportStartSecondPass = 22,
  ciBandAfterPrint = 23,
  ciBandBeforePrint = 24,
  ciBandAfterGenerate = 25,
  ciBandBeforeGenerate = 26,
  ciGroupAfterGroupBreak = 27,
  ciGroupBeforeGroupBreak = 28,
  ciGroupBeforeHeader = 29,
  ciGroupBeforeFooter = 30,
  ciGroupGetBreakValue = 31,
  ciComponentPrint = 32,
  ciComponentCalc = 33,
  ciVariableReset = 34,
  ciEngineTraversal = 35,
  ciPipelineRecordPositionChange = 37,
  ciPipelineMasterRecordPositionChange = 38,
  ciPipelineTraversal = 39,
  ciPipelineGotoBookmark = 40,
  ciPipelineDataChange = 41,
  ciPipelineFirst = 42,
  ciPipelineNext = 43,
  ciPipelinePrior = 44,
  ciPipelineLast = 45,
  ciPipelineOpen = 46,
  ciPipelineClose = 47,
  ciCacheFull = 48,
  ciCacheError = 49,
  ciComponentGetText = 53,
  ciReportAutoSearchFieldChange = 66,
  ciLookAheadChange = 67,
  ciGroupBreakReset = 68,
  ciImageGetPicture = 69,
  ciReportPrepare = 70,
  ciReportEngineReset = 71,
  ciReportBeforeAutoSearchDialogCreate = 72,
  ciPipelineBeforeClose = 73,
  ciComponentDrawCommandCreate = 84,
  ciComponentDrawCommandClick = 85,
  ciMemoGetMemo = 86,
  ciReportNoData = 87,
  ciReportOutlineNodeCreate = 88,
  ciProducerPrintJobEnd = 89,
  ciEngineGenerationEnd = 90,
  ciReportGenerationStart = 91,
  ciViewerBeforePageDraw = 92,
  ciViewerAfterPageDraw = 93,
  ciViewerPageChange = 94,
  ciViewerPrintStateChange = 95,
  ciViewerStatusChange = 96,
  ciViewerReset = 97,
  ciDevicePageReceived = 98,
  ciPublisherPagePublished = 99,
  ciPublisherPageRequestProcessed = 100,
  ciOutlineEvent = 101,
  ciSearchPanelVisible = 102,
  ciSearchPanelToggled = 103,
  ciTextSearchEvent = 104,
  ciProducerAssignPreviewFormSettings = 105,
  ciPublisherReset = 109,
  ciNameChanged = 111,
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
  cls::TSet256& EventMask() { return eventMask_; }
  const cls::TSet256& EventMask() const { return eventMask_; }

  // User name.
  std::string UserName() const { return GetUserName(); }
  std::string GetDefaultUserName();

  uint16_t StateFlags() const { return stateFlags_; }
  cls::TObject* ReportDesigner() const { return reportDesigner_; }
  cls::TComponent* GetDesignTarget() const;
  TppCommunicator* GetParentCommunicator() const;

  // Component overrides.
  void SetName(const std::string& name) override;
  void Loaded() override;
  // Interfaces: answered from the class's own table (empty here).
  virtual int32_t QueryInterface(const std::string& iid, void** obj);
  int32_t AddRef() { return -1; }
  int32_t Release() { return -1; }

  TppNotifyEvent OnNotify;
  TppEventNotifyEvent OnEventNotify;

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
  void StoreUserName(const std::string& name) { userName_ = name; }

 private:
  void InsertEventNotifySorted(TppCommunicator* subscriber);
  void DropSubscriber(TppCommunicator* subscriber);
  void DropNotifyLink(TppCommunicator* other);
  void DropAllLinks();
  // Cleared when the object is deleted, so that a delivery running in it
  // stops when a receiver frees it.
  std::shared_ptr<bool> LifeToken();

  cls::TObject* reportDesigner_ = nullptr;
  uint16_t stateFlags_ = 0;
  cls::TPtrList<TppCommunicator>* notifyList_ = nullptr;
  cls::TPtrList<TppCommunicator>* eventList_ = nullptr;
  // Publishers whose event list holds this object.
  std::vector<TppCommunicator*> subscribedTo_;
  cls::TSet256 eventMask_;
  std::string userName_;
  std::shared_ptr<bool> alive_;
};
