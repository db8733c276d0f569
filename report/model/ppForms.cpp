#include "report/model/ppForms.h"

#include <mutex>
#include <utility>
#include <vector>

#include "platform/classes/typinfo.h"
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

void TppForm::WndProc(ui::TMessage& message) {
  if (message.Msg == ppWMReportDestroyed && message.WParam == ppReportMessageParam) Close();
  else inherited::WndProc(message);
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

// ---- the abstract dialogs

CLS_IMPLEMENT_COMPONENT(TppCustomPreviewer)
CLS_IMPLEMENT_COMPONENT(TppCustomPrintDialog)
CLS_IMPLEMENT_COMPONENT(TppCustomPageSettingDialog)
CLS_IMPLEMENT_COMPONENT(TppCustomCalcTimingDialog)
CLS_IMPLEMENT_COMPONENT(TppCustomTemplateDialog)
CLS_IMPLEMENT_COMPONENT(TppCustomRTFEditor)
CLS_IMPLEMENT_COMPONENT(TppCustomAutoSearchDialog)
CLS_IMPLEMENT_COMPONENT(TppCustomNoDataDialog)
CLS_IMPLEMENT_COMPONENT(TppCustomTextSearchSettingsDialog)
CLS_IMPLEMENT_COMPONENT(TppCustomFormatDialog)
CLS_IMPLEMENT_COMPONENT(TppCustomPositionDialog)
CLS_IMPLEMENT_COMPONENT(TppCustomBandPositionDialog)
CLS_IMPLEMENT_COMPONENT(TppCustomMemoDialog)
CLS_IMPLEMENT_COMPONENT(TppCustomDBTextDialog)
CLS_IMPLEMENT_COMPONENT(TppCustomDBCalcDialog)
CLS_IMPLEMENT_COMPONENT(TppCustomCalcDialog)
CLS_IMPLEMENT_COMPONENT(TppCustomShiftDialog)
CLS_IMPLEMENT_COMPONENT(TppCustomDrillDownDialog)
CLS_IMPLEMENT_COMPONENT(TppCustomTemplateErrorDialog)
CLS_IMPLEMENT_COMPONENT(TppCustomBarCodeDialog)
CLS_IMPLEMENT_COMPONENT(TppCustomCalcOrderDialog)

void ppPublishFormProperties() {
  cls::TPropInfo viewer;
  viewer.Name = "Viewer";
  viewer.Type = cls::MakeClassTypeInfo("TObject", &cls::TObject::StaticClass());
  viewer.GetObj = [](cls::TObject* o) { return static_cast<TppCustomPreviewer*>(o)->Viewer(); };
  cls::PublishProperty(TppCustomPreviewer::StaticClass(), std::move(viewer));
}

// ---- TppUpDown

CLS_IMPLEMENT_COMPONENT(TppUpDown)

TppUpDown::TppUpDown(cls::TComponent* AOwner) : ui::TUpDown(AOwner) { Min = -100; }

TppUpDown::TppUpDown(cls::TComponent* AOwner, ui::TEdit* edit) : TppUpDown(AOwner) {
  SetParent(edit->Parent());
  SetBounds(edit->Left() + edit->Width() - Width() - 2, edit->Top() + 2, Width(), edit->Height() - 4);
}

void TppUpDown::Paint() {
  inherited::Paint();
  gdi::TCanvas& c = Canvas();
  c.Brush.Style = gdi::TBrushStyle::bsSolid;
  c.Brush.Color = gdi::clBlack;
  const int x = (Width() - 1) / 2;
  const int up = Height() / 4 - 1;        // the up mark's tip
  const int down = Height() * 3 / 4 + 1;  // the down mark's tip
  // Three pixel rows each, one, three and five pixels wide.
  for (int i = 0; i < 3; ++i) {
    c.FillRect({x - i, up + i, x + i + 1, up + i + 1});
    c.FillRect({x - i, down - i, x + i + 1, down - i + 1});
  }
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
