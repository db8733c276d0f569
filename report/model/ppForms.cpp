#include "report/model/ppForms.h"

#include <mutex>
#include <utility>
#include <vector>

#include "report/model/ppUtils.h"

// ---- TppForm

CLS_IMPLEMENT_COMPONENT(TppForm)

TppForm::TppForm(cls::TComponent* AOwner) : ui::TForm(AOwner) {}

void TppForm::BeforeDestruction() {
  if (OnFormDestroy && !HasState(cls::csDestroying)) {
    try {
      OnFormDestroy(this);
    } catch (...) {
    }
  }
  inherited::BeforeDestruction();
}

void TppForm::SetLanguageIndex(int value) {
  languageIndex_ = value;
  LanguageChanged();
}

void TppForm::SetReport(cls::TComponent* value) {
  report_ = value;
  ReportAssigned();
}

void TppForm::RequestCancel() {
  if (OnCancel) OnCancel(this);
}

void TppForm::Activate() {
  inherited::Activate();
  if (OnFormActivate) OnFormActivate(this);
}

bool TppForm::CloseQuery() {
  if (OnFormCloseQuery) OnFormCloseQuery(this);
  return inherited::CloseQuery();
}

int TppForm::ScaleToScreen(int designPixels) const {
  int formPpi = PixelsPerInch > 0 ? PixelsPerInch : 96;
  return static_cast<int>(ppNint(static_cast<double>(designPixels) * ui::Screen().PixelsPerInch() / formPpi));
}

int TppForm::ScaleFromScreen(int screenPixels) const {
  int formPpi = PixelsPerInch > 0 ? PixelsPerInch : 96;
  return static_cast<int>(ppNint(static_cast<double>(screenPixels) * formPpi / ui::Screen().PixelsPerInch()));
}

// ---- TppCustomCancelDialog

CLS_IMPLEMENT_COMPONENT(TppCustomCancelDialog)

TppCustomCancelDialog::TppCustomCancelDialog(cls::TComponent* AOwner)
    : TppForm(AOwner), timer_(new ui::TTimer(this)) {
  timer_->SetEnabled(false);
  timer_->SetInterval(10);
  timer_->OnTimer = [this](cls::TObject*) { TimerTick(); };
}

void TppCustomCancelDialog::TimerTick() {
  timer_->SetEnabled(false);
  if (OnPrint) OnPrint(this);
}

void TppCustomCancelDialog::SetStatusText(const std::string& text) {
  statusText_ = text;
  StatusChanged();
}

int TppCustomCancelDialog::StartDialog() {
  printing_ = true;
  timer_->SetEnabled(true);
  return ShowModal();
}

void TppCustomCancelDialog::DoShow() {
  if (!printing_) {
    ForgetActiveForm();
    ui::TCustomForm* active = ui::Screen().ActiveForm();
    if (active && active != this) {
      activeForm_ = active;
      activeForm_->FreeNotification(this);
    }
  }
  inherited::DoShow();
}

void TppCustomCancelDialog::DoHide() {
  inherited::DoHide();
  if (ui::TCustomForm* f = activeForm_) {
    ForgetActiveForm();
    f->Enabled = true;
    if (f->CanFocus()) f->SetFocus();
  }
}

void TppCustomCancelDialog::ForgetActiveForm() {
  if (!activeForm_) return;
  ui::TCustomForm* f = activeForm_;
  activeForm_ = nullptr;
  f->RemoveFreeNotification(this);
}

void TppCustomCancelDialog::Notification(cls::TComponent* c, cls::TOperation op) {
  inherited::Notification(c, op);
  if (op == cls::opRemove && c == activeForm_) activeForm_ = nullptr;
}

// ---- registry

namespace {

struct FormClassEntry {
  std::string ancestorName;
  cls::TClass formClass;
};

// Class references live as long as the program; the lock guards the list.
std::mutex g_formClassMutex;
std::vector<FormClassEntry>& FormClassList() {
  static std::vector<FormClassEntry> list;
  return list;
}

}  // namespace

void UnregisterFormClass(cls::TClass ancestorClass) {
  if (!ancestorClass) return;
  cls::TClass removed = nullptr;
  {
    std::lock_guard<std::mutex> lock(g_formClassMutex);
    auto& list = FormClassList();
    for (auto it = list.begin(); it != list.end(); ++it)
      if (cls::SameText(it->ancestorName, ancestorClass->Name)) {
        removed = it->formClass;
        list.erase(it);
        break;
      }
  }
  if (removed) cls::UnregisterClass(removed);
}

void RegisterFormClass(cls::TClass ancestorClass, cls::TClass formClass) {
  if (!ancestorClass || !formClass) return;
  UnregisterFormClass(ancestorClass);
  cls::RegisterClass(formClass);
  std::lock_guard<std::mutex> lock(g_formClassMutex);
  FormClassList().push_back({ancestorClass->Name, formClass});
}

cls::TClass FindFormClass(cls::TClass ancestorClass) {
  if (!ancestorClass) return nullptr;
  std::lock_guard<std::mutex> lock(g_formClassMutex);
  for (const FormClassEntry& e : FormClassList())
    if (cls::SameText(e.ancestorName, ancestorClass->Name)) return e.formClass;
  return nullptr;
}
