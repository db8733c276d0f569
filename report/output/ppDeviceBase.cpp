// The device base, the registry of device classes and the font-name
// substitution of the devices.
#include <memory>
#include <mutex>

#include "report/output/ppDevice.h"

#include "platform/ui/forms.h"
#include "report/model/ppForms.h"

// ---- TppDevice ----

CLS_IMPLEMENT_COMPONENT(TppDevice)
CLS_IMPLEMENT_CLASS(TppRasterDevice)

TppDevice::TppDevice(cls::TComponent* owner) : TppCommunicator(owner) {}

TppDevice::~TppDevice() = default;

void TppDevice::BeforeDestruction() {
  SetCancelDialog(nullptr);
  if (publisher_) {
    TppPublisher* p = publisher_;
    publisher_ = nullptr;
    p->RemoveDevice(this);
  }
  inherited::BeforeDestruction();
}

void TppDevice::Notify(TppCommunicator* communicator, uint8_t operation) {
  inherited::Notify(communicator, operation);
  if (operation == ppopRemove && communicator && communicator == publisher_) {
    publisher_ = nullptr;
    DoPublisherChange();
  }
}

void TppDevice::Notification(cls::TComponent* c, cls::TOperation op) {
  inherited::Notification(c, op);
  if (op == cls::opRemove && c && c == cancelDialog_) cancelDialog_ = nullptr;
}

void TppDevice::SetCancelDialog(TppCustomCancelDialog* dialog) {
  if (dialog == cancelDialog_) return;
  if (cancelDialog_) RemoveFreeNotification(cancelDialog_);
  cancelDialog_ = dialog;
  if (cancelDialog_) FreeNotification(cancelDialog_);
}

std::string TppDevice::DialogStatus() const { return cancelDialog_ ? cancelDialog_->StatusText() : ""; }

void TppDevice::ShowStatus(const std::string& text) {
  SetStatus(text);
  if (!cancelDialog_ || cancelDialog_->StatusText() == text) return;
  TppUnlockedScope unlocked(publisher_);
  cancelDialog_->SetStatusText(text);
  ui::Application().ProcessMessages();
}

void TppDevice::SetGrouped(bool v) {
  if (!publisher_ && !busy_) grouped_ = v;
}

void TppDevice::SetGroupName(const std::string& v) {
  if (!publisher_ && !busy_) groupName_ = v;
}

void TppDevice::SetStatus(const std::string& text) { status_ = text; }

void TppDevice::Fire(const cls::TNotifyEvent& event) {
  if (!event) return;
  TppUnlockedScope unlocked(publisher_);
  event(this);
}

void TppDevice::CancelJob() {
  busy_ = false;
  cancelled_ = true;
  Fire(OnCancelJob);
}

bool TppDevice::DrawCommand(TppDrawCommand*) { return false; }

bool TppDevice::RedrawCommand(TppDrawCommand*) { return false; }

void TppDevice::EndJob() {
  if (!busy_) return;
  busy_ = false;
  waiting_ = true;
  Fire(OnEndJob);
}

void TppDevice::ReceivePage(TppPage* page) {
  if (!page) return;
  BeginReceivePage(page);
  CheckRequestComplete(page);
}

void TppDevice::BeginReceivePage(TppPage* page) {
  skipPage_ = false;
  pageIsRequested_ = pageRequest_.IsPageRequested(page);
  if (page->Calculation()) skipPage_ = true;
  if (!page->Final() && SkipsNonFinalPages()) skipPage_ = true;
  {
    TppUnlockedScope unlocked(publisher_);
    if (OnPageReceive) OnPageReceive(this, page);
    ppSendPageEvent(this, ciDevicePageReceived, page);
  }
}

void TppDevice::CheckRequestComplete(TppPage* page) {
  if (waiting_ && page->Final() && !page->Calculation()) waiting_ = !pageRequest_.IsRequestComplete(page);
}

void TppDevice::ResetJob() {
  pageRequest_.Clear();
  cancelled_ = false;
  waiting_ = true;
}

void TppDevice::StartJob() {
  if (busy_) return;
  busy_ = true;
  cancelled_ = false;
  Fire(OnStartJob);
}

void TppDevice::RequestPages() {
  TppPublisher* publisher = publisher_;
  if (!publisher) return;
  waiting_ = true;
  publisher->StartJob();
  publisher->RequestPages();
  if (!waiting_ && publisher_ == publisher) publisher->EndJob();
}

void TppDevice::DrawPage(TppPage* page) {
  if (!page) return;
  TppPageDef* def = page->PageDef();
  // A copy: drawing may not change the page under the walk.
  std::vector<TppDrawCommand*> commands;
  for (int i = 0; i < page->GetDrawCommandCount(); ++i) commands.push_back(page->GetDrawCommand(i));
  for (TppDrawCommand* c : commands) {
    if (!c || c->Page() != page) continue;
    if (c->Left() <= def->mmWidth() && c->Top() <= def->mmHeight()) c->Draw(this);
  }
}

void TppDevice::DoPageRequest() { Fire(OnPageRequest); }

void TppDevice::DoPublisherChange() { Fire(OnPublisherChange); }

void TppDevice::SetActive(bool v) {
  if (!busy_) active_ = v;
}

void TppDevice::SetPageRequest(const TppPageRequest* request) {
  if (request) pageRequest_.Assign(const_cast<TppPageRequest*>(request));
}

void TppDevice::SetPublisher(TppPublisher* publisher) {
  if (publisher == publisher_) return;
  if (publisher_) publisher_->RemoveDevice(this);
  publisher_ = publisher;
  if (publisher_) publisher_->AddDevice(this);
  DoPublisherChange();
}

// ---- registry ----

namespace {

using DeviceClasses = std::vector<TppDeviceClass>;

std::mutex& RegistryLock() {
  static std::mutex m;
  return m;
}

// The registered classes: an immutable snapshot that each change replaces.
std::shared_ptr<const DeviceClasses>& Registry() {
  static std::shared_ptr<const DeviceClasses> list = std::make_shared<DeviceClasses>();
  return list;
}

std::shared_ptr<const DeviceClasses> Snapshot() {
  std::lock_guard<std::mutex> guard(RegistryLock());
  return Registry();
}

}  // namespace

void RegisterDevice(const TppDeviceClass& deviceClass) {
  if (!deviceClass.Class || !deviceClass.DeviceName) return;
  std::lock_guard<std::mutex> guard(RegistryLock());
  for (const TppDeviceClass& d : *Registry())
    if (d.Class == deviceClass.Class) return;
  cls::RegisterClass(deviceClass.Class);
  auto next = std::make_shared<DeviceClasses>(*Registry());
  next->push_back(deviceClass);
  Registry() = std::move(next);
}

void UnregisterDevice(cls::TClass c) {
  if (!c) return;
  std::lock_guard<std::mutex> guard(RegistryLock());
  cls::UnregisterClass(c);
  auto next = std::make_shared<DeviceClasses>();
  for (const TppDeviceClass& d : *Registry())
    if (d.Class != c) next->push_back(d);
  Registry() = std::move(next);
}

std::vector<TppDeviceClass> GetDeviceClasses() { return *Snapshot(); }

std::vector<std::string> GetDeviceNames() {
  std::vector<std::string> names;
  for (const TppDeviceClass& d : *Snapshot()) names.push_back(d.DeviceName());
  return names;
}

cls::TClass GetDeviceClassForName(const std::string& name) {
  for (const TppDeviceClass& d : *Snapshot())
    if (SameTextNoCase(d.DeviceName(), name)) return d.Class;
  return nullptr;
}

std::string GetTrueTypeFontName(const std::string& fontName) {
  if (fontName == "Courier" || fontName == "MS Serif") return "Courier New";
  for (const char* raster : {"Fixedsys", "Modern", "MS Sans Serif", "Small Fonts", "System", "Terminal"})
    if (fontName == raster) return "Arial";
  return fontName;
}
