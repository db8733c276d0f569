#include "report/engine/ppStrtch.h"

#include <algorithm>
#include <cstring>

#include "report/engine/ppBands.h"
#include "report/engine/ppCustEng.h"
#include "report/engine/ppCustRpt.h"
#include "report/engine/ppRegion.h"
#include "report/model/ppForms.h"
#include "report/model/ppResMgr.h"

CLS_IMPLEMENT_COMPONENT(TppStretchable)

namespace {
constexpr int32_t kStretchRecordSize = 8;
}

TppStretchable::TppStretchable(cls::TComponent* owner) : TppComponent(owner) {
  SetCacheRecordSize(kStretchRecordSize);
  SetAutoSize(false);
  SetWordWrap(false);
  SetspHeight(89);
  SetspWidth(185);
}

void TppStretchable::BeforeDestruction() {
  if (shiftRelativeTo_) {
    TppStretchable* target = shiftRelativeTo_;
    shiftRelativeTo_ = nullptr;
    target->RemoveShifter(this);
  }
  while (!shifters_.empty()) {
    TppStretchable* s = shifters_.back();
    s->shiftRelativeTo_ = nullptr;
    RemoveShifter(s);
  }
  printList_.clear();
  TppComponent::BeforeDestruction();
}

// ---- properties ----

void TppStretchable::SetmmBottomOffset(int32_t v) {
  mmBottomOffset_ = v;
  InvalidateDesign();
  Changed();
}
void TppStretchable::SetmmOverFlowOffset(int32_t v) {
  mmOverFlowOffset_ = v;
  InvalidateDesign();
  Changed();
}
void TppStretchable::SetmmStopPosition(int32_t v) {
  mmStopPosition_ = v;
  InvalidateDesign();
  Changed();
}
void TppStretchable::SetKeepTogether(bool v) {
  keepTogether_ = v;
  Changed();
  InvalidateDesign();
}

void TppStretchable::SetStretch(bool v) {
  if (v == stretch_) return;
  if (LoadingOrReading()) {
    stretch_ = v;
    return;
  }
  // Shifters keep their anchor stretching.
  if (!v && !shifters_.empty()) return;
  stretch_ = v;
  if (v) {
    SetReprintOnOverFlow(false);
    SetShiftWithParent(false);
    SetStretchWithParent(false);
    if (auto* region = cls::ObjectAs<TppStretchable>(Region())) {
      if (!region->Stretch()) region->SetStretch(true);
    } else if (Band() && Band()->PrintHeight() != phDynamic) {
      Band()->SetPrintHeight(phDynamic);
    }
  }
  Changed();
  InvalidateDesign();
}

TppStretchable* TppStretchable::ShiftRelativeTo() {
  if (shiftRelativeTo_ && !HasState(cls::csWriting) &&
      (!Band() || Band()->IndexOfObject(shiftRelativeTo_) < 0))
    SetShiftRelativeTo(nullptr);
  return shiftRelativeTo_;
}

void TppStretchable::SetShiftRelativeTo(TppStretchable* target) {
  if (target == shiftRelativeTo_) return;
  if (!CanShiftRelativeTo(this, target)) throw EInvalidPropertyError(ppLoadStr(342));
  if (shiftRelativeTo_) shiftRelativeTo_->RemoveShifter(this);
  shiftRelativeTo_ = target;
  InvalidateDesign();
  Changed();
  if (target) {
    target->AddShifter(this);
    SetReprintOnOverFlow(false);
    SetShiftWithParent(false);
    SetStretchWithParent(false);
  }
}

void TppStretchable::AddShifter(TppStretchable* shifter) {
  if (!shifter || std::find(shifters_.begin(), shifters_.end(), shifter) != shifters_.end()) return;
  shifters_.push_back(shifter);
  if (!stretch_) SetStretch(true);
  AddNotify(shifter);
}

void TppStretchable::RemoveShifter(TppStretchable* shifter) {
  auto it = std::find(shifters_.begin(), shifters_.end(), shifter);
  if (it == shifters_.end()) return;
  shifters_.erase(it);
  RemoveNotify(shifter);
}

void TppStretchable::SetReprintOnOverFlow(bool value) { TppComponent::SetReprintOnOverFlow(value); }
void TppStretchable::SetShiftWithParent(bool value) {
  TppComponent::SetShiftWithParent(value);
  if (value && !LoadingOrReading()) {
    if (shiftRelativeTo_) SetShiftRelativeTo(nullptr);
    if (stretch_ && shifters_.empty()) SetStretch(false);
  }
}
void TppStretchable::SetStretchWithParent(bool value) {
  TppComponent::SetStretchWithParent(value);
  if (value && !LoadingOrReading()) {
    if (shiftRelativeTo_) SetShiftRelativeTo(nullptr);
    if (stretch_ && shifters_.empty()) SetStretch(false);
  }
}

void TppStretchable::SetRegion(TppComponent* region) {
  if (region && !cls::ObjectIs<TppRegion>(region)) return;
  TppComponent::SetRegion(region);
  if (shiftRelativeTo_) SetShiftRelativeTo(nullptr);
  if (auto* r = cls::ObjectAs<TppStretchable>(region))
    if (r->shiftRelativeTo_ == this) r->SetShiftRelativeTo(nullptr);
}

void TppStretchable::CreatePopupMenu(TppPopupMenu*& menu) {
  TppComponent::CreatePopupMenu(menu);
  // Toggles that work also where a class does not publish the property.
  menu->AddAction<TppStretchable>(6, "ReprintOnOverFlow", 238,
                                  [](TppStretchable& c) { c.SetReprintOnOverFlow(!c.ReprintOnOverFlow()); });
  menu->AddAction<TppStretchable>(7, "ShiftWithParent", 240,
                                  [](TppStretchable& c) { c.SetShiftWithParent(!c.ShiftWithParent()); });
  menu->AddAction<TppStretchable>(8, "ShiftRelativeTo", 0, [](TppStretchable& c) {
    c.ShowDesignDialog(&TppCustomShiftDialog::StaticClass());
  });
  menu->AddAction<TppStretchable>(9, "Stretch", 0, [](TppStretchable& c) { c.SetStretch(!c.Stretch()); });
}

void TppStretchable::UpdatePopupMenu(TppPopupMenu* menu) {
  TppComponent::UpdatePopupMenu(menu);
  if (!menu) return;
  const std::pair<const char*, bool> ticks[] = {
      {"ReprintOnOverFlow", ReprintOnOverFlow()}, {"ShiftWithParent", ShiftWithParent()}, {"Stretch", Stretch()}};
  for (const auto& [name, value] : ticks)
    if (ui::TMenuItem* i = menu->FindItem(name)) i->Checked = value;
}

void TppStretchable::SetUserName(const std::string& name) {
  std::string old = UserName();
  TppComponent::SetUserName(name);
  if (!HasState(cls::csReading) && (Caption() == old || Caption().empty())) SetCaption(UserName());
}

void TppStretchable::Notify(TppCommunicator* communicator, uint8_t operation) {
  TppComponent::Notify(communicator, operation);
  if (operation != ppopRemove || !communicator || HasState(cls::csDestroying)) return;
  if (communicator == shiftRelativeTo_) shiftRelativeTo_ = nullptr;
  auto it = std::find(shifters_.begin(), shifters_.end(), communicator);
  if (it != shifters_.end()) shifters_.erase(it);
}

// ---- questions ----

bool TppStretchable::ParentCanStretch() {
  TppCustomBand* band = Band();
  if (!band || band->PrintHeight() != phDynamic) return false;
  if (auto* region = cls::ObjectAs<TppStretchable>(Region())) return region->Stretch();
  return true;
}

bool TppStretchable::IsStretching() { return (ParentCanStretch() && stretch_) || mmStopPosition_ != 0; }

bool TppStretchable::CheckKeepTogether() {
  if (!keepTogether_ || keptTogether_) return false;
  if (shiftRelativeTo_) {
    int32_t sum = 0;
    for (TppStretchable* t = shiftRelativeTo_; t; t = t->shiftRelativeTo_) {
      sum += t->SpaceUsed();
      if (t == this) break;
    }
    return sum != 0;
  }
  TppCustomReport* main = GetMainReport();
  TppCustomEngine* engine = main ? main->Engine() : nullptr;
  if (engine && engine->GetNewPageRequested()) return true;
  return Band() && Band()->GetSpaceUsed() != 0;
}

// ---- generation ----

void TppStretchable::Generate() {
  bool parentOverFlow = false;
  if (auto* region = cls::ObjectAs<TppStretchable>(Region())) parentOverFlow = region->OverFlow();
  else if (Band()) parentOverFlow = Band()->GetOverFlow();
  if (ReprintOnOverFlow() && parentOverFlow) InitDrawComponent();
  DoOnPrint();
  CalcPrintPosition();
  if (OutOfSpace()) return;
  if (DrawComponent() && !OverFlow() && !shiftersStarted_) {
    shiftersStarted_ = true;
    for (TppStretchable* s : shifters_) s->SetDrawComponent(true);
  }
  if (shiftersStarted_) PrintShifters(shifterResumeIndex_);
  if (!OverFlow() && !partialGeneration_) SetGenerationComplete(true);
}

void TppStretchable::CalcPrintPosition() {
  bool drawing = DrawComponent() && Visible();
  TppRect bandRect = Band() ? Band()->GetPrintRect() : TppRect();
  int32_t left = bandRect.Left + (drawing ? mmLeft() : 0);
  int32_t top = CalcTop();
  int32_t height = 0;
  if (drawing && !IsStretching()) height = mmHeight();
  if (StretchWithParent()) {
    int32_t p = 0;
    if (auto* region = cls::ObjectAs<TppStretchable>(Region())) p = region->CurrentPosition();
    else if (Band()) p = Band()->GetCurrentPosition();
    if (p > top) height = p - top;
    if (top < pageBottom_ && pageBottom_ < top + height) height = pageBottom_ - top;
  }
  bool stretching = IsStretching();
  SetPrintRect(MakeRect(left, top, left + mmWidth(), stretching ? pageBottom_ : top + height));
  if (drawing && top + height > pageBottom_ + 1) {
    SetOutOfSpace(true);
    return;
  }
  if (drawing) {
    if (!stretching) SetSpaceUsed(height);
    CalcPrintExtent();
  }
  TppRect r = PrintRect();
  r.Bottom = r.Top + SpaceUsed();
  SetPrintRect(r);
  if (drawing && SpaceUsed() > 0) SetSpaceUsed(SpaceUsed() + mmBottomOffset_);
}

int32_t TppStretchable::CalcTop() {
  int32_t current = 0, bottom = 0, adjustment = 0, top = 0, growth = 0;
  bool partial = false;
  TppStretchable* last = nullptr;
  if (shiftRelativeTo_) {
    current = shiftRelativeTo_->CurrentPosition();
    bottom = Band() ? Band()->GetPageBottom() : 0;
    top = current;
  } else if (auto* region = cls::ObjectAs<TppStretchable>(Region())) {
    current = region->CurrentPosition();
    bottom = region->PageBottom();
    partial = region->PartialGeneration();
    adjustment = region->PartialAdjustment();
    top = mmTop() - region->mmTop() + region->PrintRect().Top;
    if (region->SpaceUsed() > 0) {
      last = region->LastStretchable();
      growth = region->SpaceUsed() - region->mmHeight();
    }
  } else if (TppCustomBand* band = Band()) {
    current = band->GetCurrentPosition();
    bottom = band->GetPageBottom();
    partial = band->GetPartialGeneration();
    adjustment = band->GetPartialAdjustment();
    top = band->GetPrintRect().Top + mmTop();
    if (band->GetSpaceUsed() > 0) {
      last = band->GetMaxStretchable();
      growth = band->GetSpaceUsed() - band->mmHeight();
    }
  }
  if (partial) {
    top -= adjustment;
  } else if (OverFlow() && mmStopPosition_ == 0) {
    top = current + (shiftRelativeTo_ ? 0 : mmOverFlowOffset_);
  } else if (ShiftWithParent() && !shiftRelativeTo_) {
    if (last) top = last->PrintRect().Top + last->SpaceUsed() + (mmTop() - (last->mmTop() + last->mmHeight()));
    else top += growth;
  }
  currentPosition_ = top;
  if (mmStopPosition_ != 0 && mmStopPosition_ < bottom) pageBottom_ = mmStopPosition_ - mmBottomOffset_;
  else pageBottom_ = bottom - mmBottomOffset_;
  return top;
}

void TppStretchable::PrintShifters(int index) {
  currentPosition_ = PrintRect().Top + SpaceUsed();
  pageBottom_ += mmBottomOffset_;
  int32_t lowest = 0;
  for (size_t i = static_cast<size_t>(std::max(0, index)); i < shifters_.size(); ++i) {
    TppStretchable* s = shifters_[i];
    s->Generate();
    if (s->SpaceUsed() > 0) {
      printList_.push_back(s);
      lowest = std::max(lowest, s->PrintRect().Top + s->SpaceUsed());
    }
    if (!s->GenerationComplete()) {
      if (!incompleteShifterFound_) {
        incompleteShifterFound_ = true;
        shifterResumeIndex_ = static_cast<int32_t>(i);
        shifterOverFlow_ = s->Stretch();
      }
      partialAdjustment_ = std::min(partialAdjustment_, s->mmTop());
      shiftersComplete_ = false;
    }
    if (TppCustomReport* r = GetReport()) r->ProcessMessages();
  }
  if (lowest > currentPosition_) {
    currentPosition_ = lowest;
    SetSpaceUsed(lowest - PrintRect().Top);
  }
  SetOverFlow(shifterOverFlow_);
  partialGeneration_ = !shiftersComplete_ && !OverFlow();
}

void TppStretchable::PrintToPage(TppPage* page) {
  TppComponent::PrintToPage(page);
  std::stable_sort(printList_.begin(), printList_.end(),
                   [](TppComponent* a, TppComponent* b) { return a->ZOrder() < b->ZOrder(); });
  for (TppComponent* s : printList_) {
    s->PrintToPage(page);
    if (TppCustomReport* r = GetReport()) r->ProcessMessages();
  }
}

void TppStretchable::ClearPrintState() {
  TppComponent::ClearPrintState();
  shiftersComplete_ = true;
  currentPosition_ = 0;
  spareB_ = 0;
  incompleteShifterFound_ = false;
  shifterOverFlow_ = false;
  pageBottom_ = 0;
  printList_.clear();
}

void TppStretchable::UpdateDrawComponent() {
  TppComponent::UpdateDrawComponent();
  if (DrawComponent() && shiftersStarted_) SetDrawComponent(false);
  if (shiftersStarted_ && !OverFlow() && !partialGeneration_) shiftersStarted_ = false;
  if (shiftersComplete_) shifterResumeIndex_ = 0;
}

void TppStretchable::InitGeneration() {
  TppComponent::InitGeneration();
  shiftersStarted_ = false;
  keptTogether_ = false;
  spareA_ = spareB_ = 0;
  shifterResumeIndex_ = 0;
  partialAdjustment_ = 0;
  partialGeneration_ = false;
}

// ---- page cache ----

void TppStretchable::SaveToCache(int32_t pageIndex) {
  uint8_t record[kStretchRecordSize] = {};
  record[0] = DrawComponent();
  record[1] = shiftersStarted_;
  std::memcpy(record + 2, &shifterResumeIndex_, 4);
  record[6] = OverFlow();
  record[7] = partialGeneration_;
  WriteCacheRecord(pageIndex, record);
}

void TppStretchable::RestoreFromCache(int32_t pageIndex) {
  uint8_t record[kStretchRecordSize] = {};
  record[0] = DrawComponent();
  record[1] = shiftersStarted_;
  std::memcpy(record + 2, &shifterResumeIndex_, 4);
  record[6] = OverFlow();
  record[7] = partialGeneration_;
  ReadCacheRecord(pageIndex, record);  // an absent record leaves the state
  SetDrawComponent(record[0] != 0);
  shiftersStarted_ = record[1] != 0;
  std::memcpy(&shifterResumeIndex_, record + 2, 4);
  SetOverFlow(record[6] != 0);
  partialGeneration_ = record[7] != 0;
}

void TppStretchable::WriteHeadedRecord(int32_t pageIndex, uint8_t* record) {
  record[0] = DrawComponent();
  record[1] = shiftersStarted_;
  record[2] = keptTogether_;
  std::memcpy(record + 3, &shifterResumeIndex_, 4);
  record[7] = OverFlow();
  record[8] = partialGeneration_;
  WriteCacheRecord(pageIndex, record);
}

bool TppStretchable::ReadHeadedRecord(int32_t pageIndex, uint8_t* record) {
  record[0] = 2;  // marks a record that is absent
  ReadCacheRecord(pageIndex, record);
  if (record[0] == 2) return false;
  SetDrawComponent(record[0] != 0);
  shiftersStarted_ = record[1] != 0;
  keptTogether_ = record[2] != 0;
  std::memcpy(&shifterResumeIndex_, record + 3, 4);
  SetOverFlow(record[7] != 0);
  partialGeneration_ = record[8] != 0;
  return true;
}

// ---- scripting ----

RA_IMPLEMENT_RTTI(TraTppStretchableRTTI)

const TraMembers* TraTppStretchableRTTI::Members() const {
  using C = TppStretchable;
  static const TraMembers members(
      inherited::Members(),
      {raProperty<C, daInteger>("CurrentPosition", &C::CurrentPosition),
       raProperty<C, daInteger>("mmBottomOffset", &C::mmBottomOffset),
       raProperty<C, daInteger>("mmOverFlowOffset", &C::mmOverFlowOffset),
       raProperty<C, daBoolean>("KeptTogether", &C::KeptTogether),
       raProperty<C, daInteger>("PageBottom", &C::PageBottom),
       raProperty<C, daInteger>("PartialAdjustment", &C::PartialAdjustment),
       raProperty<C, daBoolean>("PartialGeneration", &C::PartialGeneration),
       raProperty<C, daInteger>("ShifterCount", &C::ShifterCount),
       raProperty<C, daInteger>("mmStopPosition", &C::mmStopPosition),
       raProperty<C, daBoolean>("KeepTogether", &C::KeepTogether, &C::SetKeepTogether),
       raObjectProperty<C, TppStretchable>("ShiftRelativeTo", &C::ShiftRelativeTo, &C::SetShiftRelativeTo),
       raProperty<C, daBoolean>("Stretch", &C::Stretch, &C::SetStretch)});
  return &members;
}
