#include "report/engine/ppClass.h"

#include "report/engine/ppBands.h"
#include "report/engine/ppCustEng.h"
#include "report/engine/ppCustRpt.h"
#include "report/engine/ppDB.h"
#include "report/engine/ppGroup.h"
#include "report/engine/ppRegion.h"
#include "report/model/ppForms.h"
#include "report/output/ppDevice.h"

CLS_IMPLEMENT_CLASS(TppComponent)

TppComponent::TppComponent(cls::TComponent* owner) : TppPrintable(owner) {}

void TppComponent::BeforeDestruction() {
  PerformDesignerMessage(1128, 5050, this);
  if (auto* r = cls::ObjectAs<TppCustomRegion>(region_)) r->RemoveObject(this);
  region_ = nullptr;
  if (resetGroup_) SetResetGroup(nullptr);
  SetBand(nullptr);
  TppPrintable::BeforeDestruction();
}

TppCustomReport* TppComponent::GetReport() const { return band_ ? band_->Report() : nullptr; }

TppCustomReport* TppComponent::GetMainReport() const {
  TppCustomReport* r = GetReport();
  return r ? r->MainReport() : nullptr;
}

int TppComponent::IndexInBand() const { return band_ ? band_->IndexOfObject(this) : -1; }

int TppComponent::ZOrderIndex() const {
  if (auto* r = cls::ObjectAs<TppCustomRegion>(region_)) return r->IndexOfObject(this);
  return IndexInBand();
}

bool TppComponent::GeneratingNewPage() const {
  TppCustomReport* main = GetMainReport();
  TppCustomEngine* engine = main ? main->Engine() : nullptr;
  return engine ? engine->PageNotGenerated() : true;
}

TppPrinter* TppComponent::GetPrinter() const {
  if (TppCustomReport* r = GetReport()) return r->GetPrinter();
  return ppGetGlobalPrinter();
}

bool TppComponent::IsPrinting() {
  TppCustomReport* main = GetMainReport();
  return main && main->Printing();
}

void TppComponent::Changed() {
  if (TppCustomReport* r = GetReport()) r->ResetJobState();
}

// ---- geometry ----

void TppComponent::SetmmLeft(int32_t value) {
  if (ParentWidth()) return;
  if (value < 0) value = 0;
  if (band_ && value > band_->mmWidth()) value = band_->mmWidth();
  if (value != mmLeft()) TppPrintable::SetmmLeft(value);
}

void TppComponent::SetmmTop(int32_t value) {
  if (ParentHeight()) return;
  if (value < 0) value = 0;
  if (DesignerOpen() && !IsPrinting() && band_ && value > band_->mmHeight()) value = band_->mmHeight();
  if (value != mmTop()) TppPrintable::SetmmTop(value);
}

void TppComponent::SetmmWidth(int32_t value) {
  if (ParentWidth()) return;
  if (value < 0) value = 0;
  if (value != mmWidth()) TppPrintable::SetmmWidth(value);
}

void TppComponent::SetmmHeight(int32_t value) {
  if (ParentHeight()) return;
  if (value < 0) value = 0;
  if (value != mmHeight()) TppPrintable::SetmmHeight(value);
}

void TppComponent::SetBounds(int32_t left, int32_t top, int32_t width, int32_t height) {
  if (DesignerOpen() && !IsPrinting() && band_) {
    if (top < 0) top = 0;
    if (top > band_->mmHeight()) top = band_->mmHeight();
    if (left < 0) left = 0;
    if (left > band_->mmWidth()) left = band_->mmWidth();
  }
  TppPrintable::SetBounds(left, top, width, height);
}

void TppComponent::SetParentWidth(bool value) {
  TppPrintable::SetParentWidth(value);
  if (value) FitToParent();
}

void TppComponent::SetParentHeight(bool value) {
  TppPrintable::SetParentHeight(value);
  if (value) FitToParent();
}

void TppComponent::GetParentRect(TppRect& rect) {
  if (region_) {
    rect = MakeRect(region_->mmLeft(), region_->mmTop(), region_->mmLeft() + region_->mmWidth(),
                    region_->mmTop() + region_->mmHeight());
  } else if (band_) {
    rect = MakeRect(0, 0, band_->mmWidth(), band_->mmHeight());
  } else {
    rect = MakeRect(mmLeft(), mmTop(), mmLeft() + mmWidth(), mmTop() + mmHeight());
  }
}

void TppComponent::FitToParent() {
  if (LoadingOrReading()) return;
  TppRect r;
  GetParentRect(r);
  if (ParentWidth() && ParentHeight()) SetBounds(r.Left, r.Top, r.Right - r.Left, r.Bottom - r.Top);
  else if (ParentWidth()) SetBounds(r.Left, mmTop(), r.Right - r.Left, mmHeight());
  else if (ParentHeight()) SetBounds(mmLeft(), r.Top, mmWidth(), r.Bottom - r.Top);
}

// ---- containers ----

TppComponent* TppComponent::GetNextSibling() {
  if (!band_) return nullptr;
  int i = band_->IndexOfObject(this);
  if (i < 0 || i + 1 >= band_->ObjectCount()) return nullptr;
  TppComponent* next = band_->Objects(i + 1);
  return next->GetParent() == GetParent() ? next : nullptr;
}

cls::TComponent* TppComponent::GetParent() {
  if (region_) return region_;
  return band_;
}

void TppComponent::SetBand(TppCustomBand* band) {
  if (band_) {
    TppCustomBand* old = band_;
    band_ = nullptr;
    old->RemoveObject(this);
  }
  band_ = band;
  if (!band_ && DesignControl()) {
    FreeDesignObjects();
    InvalidateDesign();
  }
  if (band_) {
    if (band_->StateFlags() & pstDesignerOpen) CreateDesignControl();
    SetUnits(band_->Units());
    band_->AddObject(this);
    if (GetParent() == band_) FitToParent();
    bandType_ = static_cast<uint8_t>(band_->BandType());
    auto* groupBand = cls::ObjectAs<TppGroupBand>(band_);
    groupNo_ = groupBand ? groupBand->GroupIndex() : -1;
  }
  Changed();
}

void TppComponent::SetRegion(TppComponent* region) {
  if (region && !cls::ObjectIs<TppRegion>(region)) return;
  // The old region tells it to forget the region (Notify).
  if (auto* old = cls::ObjectAs<TppCustomRegion>(region_)) old->RemoveObject(this);
  region_ = region;
  if (auto* r = cls::ObjectAs<TppCustomRegion>(region_)) r->AddObject(this);
  if (ParentWidth() || ParentHeight()) FitToParent();
  Changed();
}

void TppComponent::SetResetGroup(TppGroup* group) {
  if (resetGroup_) {
    resetGroup_->RemoveEventNotify(this);
    RemoveNotify(resetGroup_);
    EventMask().Exclude(ciGroupAfterGroupBreak);
  }
  resetGroup_ = group;
  if (resetGroup_) {
    resetGroup_->AddEventNotify(this);
    AddNotify(resetGroup_);
    EventMask().Include(ciGroupAfterGroupBreak);
  }
  Changed();
}

void TppComponent::SetParentDataPipeline(bool value) {
  parentDataPipeline_ = value;
  if (value && band_ && DataPipeline() != band_->GetDataPipeline()) SetDataPipeline(band_->GetDataPipeline());
}

void TppComponent::SetDataPipeline(TppDataPipeline* value) {
  TppPrintable::SetDataPipeline(value);
  if (!LoadingOrReading() && StateFlags() < pstReadingTemplate && band_ && parentDataPipeline_ &&
      value != band_->GetDataPipeline())
    SetParentDataPipeline(false);
}

cls::TObject* TppComponent::GetDesigner() {
  TppCustomReport* r = GetReport();
  return r ? r->ReportDesigner() : nullptr;
}

void TppComponent::UpdateDesignControl() { PlaceDesignControl(); }

void TppComponent::CreatePositionDialog() { ShowDesignDialog(&TppCustomPositionDialog::StaticClass()); }

int TppComponent::ShowDesignDialog(cls::TClass ancestor) {
  return ppShowDesignDialog(ancestor, GetLanguageIndex(), GetReport());
}

void TppComponent::CreatePopupMenu(TppPopupMenu*& menu) {
  TppPrintable::CreatePopupMenu(menu);
  if (!menu) menu = new TppPopupMenu(nullptr);
  menu->AddAction<TppComponent>(1, "BringToFront", 0, [](TppComponent& c) { c.BringToFront(); });
  menu->AddAction<TppComponent>(2, "SendToBack", 0, [](TppComponent& c) { c.SendToBack(); });
  menu->AddItem(3, "mniLine1", 0, "-");
  menu->AddAction<TppComponent>(4, "Position", 0, [](TppComponent& c) { c.CreatePositionDialog(); });
  menu->AddAction<TppComponent>(5, "Visible", 0);
}

void TppComponent::UpdatePopupMenu(TppPopupMenu* menu) {
  TppPrintable::UpdatePopupMenu(menu);
  if (!menu) return;
  menu->LanguageIndex = GetLanguageIndex();
  menu->UpdateChecks(this);
}

void TppComponent::BringToFront() {
  if (auto* r = cls::ObjectAs<TppCustomRegion>(region_)) r->MoveObject(this, r->ObjectCount() - 1);
  else if (band_) band_->BringObjectToFront(this);
}

void TppComponent::SendToBack() {
  if (auto* r = cls::ObjectAs<TppCustomRegion>(region_)) r->MoveObject(this, 0);
  else if (band_) band_->SendObjectToBack(this);
  InvalidateDesign();
}

void TppComponent::PropertiesToDrawCommand(TppDrawCommand* command) {
  TppPrintable::PropertiesToDrawCommand(command);
  command->SetBand(band_);
}

void TppComponent::Notify(TppCommunicator* communicator, uint8_t operation) {
  TppPrintable::Notify(communicator, operation);
  if (operation != ppopRemove || !communicator) return;
  if (communicator == region_) region_ = nullptr;
  if (communicator == resetGroup_) resetGroup_ = nullptr;
}

void TppComponent::SetParentComponent(cls::TComponent* parent) {
  if (auto* region = cls::ObjectAs<TppRegion>(parent)) {
    if (region->Band() != band_) SetBand(region->Band());
    SetRegion(region);
  } else if (auto* band = cls::ObjectAs<TppCustomBand>(parent)) {
    SetBand(band);
  } else {
    TppPrintable::SetParentComponent(parent);
  }
}

void TppComponent::ShiftBandObjects(std::vector<cls::TComponent*>& objects) {
  objects.clear();
  if (!band_) return;
  for (int i = 0; i < band_->ObjectCount(); ++i) objects.push_back(band_->Objects(i));
}

// ---- scripting ----

RA_IMPLEMENT_RTTI(TraTppComponentRTTI)

const TraMembers* TraTppComponentRTTI::Members() const {
  using C = TppComponent;
  static const TraMembers members(
      inherited::Members(),
      {raObjectProperty<C, TppBand>("Band", &C::Band,
                                    [](C* c, TppBand* band) {
                                      // Only bands that generate hold components.
                                      if (!band || cls::ObjectIs<TppCustomBand>(band))
                                        c->SetBand(static_cast<TppCustomBand*>(band));
                                    }),
       raEnumProperty<C, TppBandType>("BandType", [](C* c) { return static_cast<TppBandType>(c->BandType()); }),
       raProperty<C, daInteger>("Index", &C::IndexInBand),
       raObjectProperty<C, TppComponent>("NextSibling", &C::GetNextSibling),
       raProperty<C, daInteger>("ParentIndex", &C::ZOrderIndex), raProperty<C, daInteger>("GroupNo", &C::GroupNo),
       raObjectProperty<C, cls::TComponent>("Parent", &C::GetParent),
       raProperty<C, daBoolean>("ParentDataPipeline", &C::ParentDataPipeline, &C::SetParentDataPipeline),
       raObjectProperty<C, TppComponent>("Region", &C::Region, &C::SetRegion),
       raObjectProperty<C, TppGroup>("ResetGroup", &C::ResetGroup, &C::SetResetGroup)});
  return &members;
}
