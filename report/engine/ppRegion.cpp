#include "report/engine/ppRegion.h"

#include <algorithm>
#include <cstring>

#include "report/engine/ppBands.h"
#include "report/engine/ppCustEng.h"
#include "report/engine/ppCustRpt.h"
#include "report/model/ppCache.h"
#include "report/model/ppRTTI.h"
#include "report/output/ppDevice.h"
#include "report/output/ppDrwCmd.h"
#include "report/output/ppDrwCmdProps.h"

CLS_IMPLEMENT_COMPONENT(TppCustomRegion)
CLS_IMPLEMENT_COMPONENT(TppRegion)

namespace {

constexpr int32_t kRegionRecordSize = 17;

void PutInt(uint8_t* at, int32_t v) { std::memcpy(at, &v, sizeof v); }
int32_t GetInt(const uint8_t* at) {
  int32_t v;
  std::memcpy(&v, at, sizeof v);
  return v;
}

}  // namespace

TppCustomRegion::TppCustomRegion(cls::TComponent* owner) : TppStretchable(owner) {
  SetCacheRecordSize(kRegionRecordSize);
  SetDrawCommandClass(&TppDrawShape::StaticClass());
  brush_.OnChange = [this] { GraphicChanged(); };
  pen_.OnChange = [this] { GraphicChanged(); };
  RememberBounds();
}

void TppCustomRegion::BeforeDestruction() {
  if (cacheManager_) {
    RemoveNotify(cacheManager_.get());
    cacheManager_.reset();
  }
  savedPage_.reset();
  FreeGroups();
  // Each component leaves the list while it is freed.
  while (!objects_.empty()) {
    TppComponent* c = objects_.back();
    c->Free();
    if (!objects_.empty() && objects_.back() == c) objects_.pop_back();
  }
  brush_.OnChange = nullptr;
  pen_.OnChange = nullptr;
  TppStretchable::BeforeDestruction();
}

// ---- objects ----

int TppCustomRegion::IndexOfObject(const TppComponent* c) const {
  auto it = std::find(objects_.begin(), objects_.end(), c);
  return it == objects_.end() ? -1 : static_cast<int>(it - objects_.begin());
}

void TppCustomRegion::AddObject(TppComponent* c) {
  if (!c || c == this || c->IsRegion() || IndexOfObject(c) >= 0) return;
  if (c->Region() != this) {
    c->SetRegion(this);  // which comes back here
    return;
  }
  if (Band() && c->Band() != Band()) c->SetBand(Band());
  objects_.push_back(c);
  AddNotify(c);
  if (LoadingOrReading()) return;
  c->BringToFront();
  auto* s = cls::ObjectAs<TppStretchable>(c);
  if (s && s->Stretch() && !Stretch()) SetStretch(true);
}

void TppCustomRegion::ForgetObject(TppComponent* c) {
  objects_.erase(std::remove(objects_.begin(), objects_.end(), c), objects_.end());
  for (TGroup& g : groups_) g.second.erase(std::remove(g.second.begin(), g.second.end(), c), g.second.end());
  if (maxStretchable_ == c) maxStretchable_ = nullptr;
}

void TppCustomRegion::RemoveObject(TppComponent* c) {
  if (!c || IndexOfObject(c) < 0) return;
  ForgetObject(c);
  bool destroying = c->HasState(cls::csDestroying);
  if (!destroying) c->Notify(this, ppopRemove);  // it forgets the region
  RemoveNotify(c);
  Changed();
}

void TppCustomRegion::MoveObject(TppComponent* c, int index) {
  int from = IndexOfObject(c);
  if (from < 0) return;
  index = std::clamp(index, 0, ObjectCount() - 1);
  objects_.erase(objects_.begin() + from);
  objects_.insert(objects_.begin() + index, c);
  Changed();
}

void TppCustomRegion::RememberBounds() {
  boundsKnown_ = true;
  lastLeft_ = mmLeft();
  lastTop_ = mmTop();
  lastWidth_ = mmWidth();
  lastHeight_ = mmHeight();
}

void TppCustomRegion::MoveChildren() {
  if (LoadingOrReading()) return;
  if (!boundsKnown_) {
    RememberBounds();
    return;
  }
  int32_t dx = mmLeft() - lastLeft_, dy = mmTop() - lastTop_;
  bool sized = mmWidth() != lastWidth_ || mmHeight() != lastHeight_;
  // Recorded first: a call made while the objects move sees no change.
  RememberBounds();
  if (objects_.empty() || (dx == 0 && dy == 0 && !sized)) return;
  const std::vector<TppComponent*> objects = objects_;
  for (TppComponent* c : objects) {
    if (dx != 0 || dy != 0) c->SetBounds(c->mmLeft() + dx, c->mmTop() + dy, c->mmWidth(), c->mmHeight());
    if (sized) c->FitToParent();
  }
}

void TppCustomRegion::GetChildren(const std::function<void(cls::TComponent*)>& proc, cls::TComponent* root) {
  TppStretchable::GetChildren(proc, root);
  for (TppComponent* c : objects_) proc(c);
}

// ---- brush, pen, colours ----

void TppCustomRegion::SetBrush(const gdi::TBrush* value) {
  if (value && value != &brush_) brush_.Assign(*value);  // its change handler runs GraphicChanged
}

void TppCustomRegion::SetPen(const gdi::TPen* value) {
  if (value && value != &pen_) pen_.Assign(*value);
}

void TppCustomRegion::GraphicChanged() {
  bool clear = brush_.Style == gdi::TBrushStyle::bsClear;
  if (Transparent() != clear) TppPrintable::SetTransparent(clear);
  InvalidateDesignControl();
  InvalidateDesign();
}

void TppCustomRegion::SetTransparent(bool value) {
  TppStretchable::SetTransparent(value);
  if (LoadingOrReading()) return;
  if (value) brush_.SetStyle(gdi::TBrushStyle::bsClear);
  else if (brush_.Style == gdi::TBrushStyle::bsClear) brush_.SetStyle(gdi::TBrushStyle::bsSolid);
}

void TppCustomRegion::SetColorAndTransparency(gdi::TColor color, bool transparent) {
  if (transparent) {
    brush_.SetStyle(gdi::TBrushStyle::bsClear);
    return;
  }
  brush_.SetColor(color);
  if (brush_.Style == gdi::TBrushStyle::bsClear) brush_.SetStyle(gdi::TBrushStyle::bsSolid);
}

void TppCustomRegion::SetFontColor(gdi::TColor color) { pen_.SetColor(color); }

// ---- place in the band ----

void TppCustomRegion::SetBand(TppCustomBand* band) {
  TppStretchable::SetBand(band);
  if (HasState(cls::csDestroying)) return;
  const std::vector<TppComponent*> objects = objects_;
  for (TppComponent* c : objects)
    if (c->Band() != band) c->SetBand(band);
}

TppComponent* TppCustomRegion::GetNextSibling() {
  TppCustomBand* band = Band();
  if (!band) return nullptr;
  for (int i = band->IndexOfObject(this) + 1; i > 0 && i < band->ObjectCount(); ++i)
    if (IndexOfObject(band->Objects(i)) < 0) return band->Objects(i);
  return nullptr;
}

void TppCustomRegion::BringToFront() {
  TppCustomBand* band = Band();
  if (!band) return;
  band->BringObjectToFront(this);
  for (TppComponent* c : objects_) band->BringObjectToFront(c);
}

void TppCustomRegion::SendToBack() {
  if (TppCustomBand* band = Band()) {
    band->SendObjectToBack(this);
    for (size_t k = 0; k < objects_.size(); ++k)
      band->MoveObject(band->IndexOfObject(objects_[k]), static_cast<int>(k) + 1);
  }
  InvalidateDesign();
}

void TppCustomRegion::CreatePopupMenu(TppPopupMenu*& menu) {
  TppStretchable::CreatePopupMenu(menu);
  menu->AddAction<TppCustomRegion>(10, "KeepTogether", 0);
  menu->AddAction<TppCustomRegion>(11, "ParentWidth", 0);
  menu->AddAction<TppCustomRegion>(12, "ParentHeight", 0);
  menu->AddAction<TppCustomRegion>(13, "StretchWithParent", 0);
  menu->AddAction<TppCustomRegion>(14, "Transparent", 246);
}

void TppCustomRegion::BoundsChange() {
  TppStretchable::BoundsChange();
  MoveChildren();
}

void TppCustomRegion::UpdateDesignControl() {
  TppStretchable::UpdateDesignControl();
  MoveChildren();
}

void TppCustomRegion::Loaded() {
  TppStretchable::Loaded();
  RememberBounds();
}

// ---- generation ----

void TppCustomRegion::InitGeneration() {
  TppStretchable::InitGeneration();
  for (TppComponent* c : objects_) c->InitGeneration();
  SetPartialAdjustment(mmHeight());
  FreeGroups();
  GroupObjects();
}

void TppCustomRegion::GroupObjects() {
  std::vector<TppComponent*> byKey[4];
  for (size_t i = 0; i < objects_.size(); ++i) {
    TppComponent* c = objects_[i];
    c->SetZOrder(static_cast<int32_t>(i));
    auto* s = cls::ObjectAs<TppStretchable>(c);
    int key;
    if (s && s->ShiftRelativeTo()) continue;  // generated by its target
    if (s && s->Stretch()) key = 2;
    else if (!s && !c->IsCustomComponent()) continue;
    else if (c->StretchWithParent()) key = 3;
    else if (c->ShiftWithParent()) key = 4;
    else key = 1;
    byKey[key - 1].push_back(c);
  }
  for (int key = 1; key <= 4; ++key)
    if (!byKey[key - 1].empty()) groups_.emplace_back(key, std::move(byKey[key - 1]));
}

void TppCustomRegion::InitDrawComponent() {
  TppStretchable::InitDrawComponent();
  for (TppComponent* c : objects_) c->SetDrawComponent(true);
}

bool TppCustomRegion::SectionStep() {
  TppCustomReport* main = GetMainReport();
  TppCustomEngine* engine = main ? main->Engine() : nullptr;
  return engine && engine->Flags().Intersects(TppEngineFlag::efSectionPending | TppEngineFlag::efSectionGenerating |
                                              TppEngineFlag::efSectionFinished);
}

void TppCustomRegion::CalcPrintExtent() {
  bool keep = CheckKeepTogether();
  if (keep) SaveRegionState();
  GenerateGroups(ResumeGroup(), ShifterResumeIndex());
  if (keep && OverFlow()) {
    // The whole region starts on the next page.
    RestoreRegionState();
    SetSpaceUsed(0);
    SetKeptTogether(true);
    for (TppComponent* c : objects_) {
      c->SetDrawComponent(true);
      c->SetGenerationComplete(false);
    }
    SetSpareA(0);
    SetShifterResumeIndex(0);
    SetPartialGeneration(false);
    SetPartialAdjustment(mmHeight());
    ClearPrintList();
    maxStretchable_ = nullptr;
  }
  if (!OverFlow()) SetKeptTogether(false);
}

void TppCustomRegion::GenerateGroups(int group, int index) {
  maxStretchable_ = nullptr;
  continuing_ = OverFlow();
  SetCurrentPosition(PrintRect().Top + SpaceUsed());
  size_t from = static_cast<size_t>(std::max(0, group));
  // Fixed objects come again on a page the region continues on; only
  // those marked to reprint print again.
  if (OverFlow() && !PartialGeneration() && from != 0 && !groups_.empty() && groups_[0].first == 1)
    GenerateGroup(groups_[0].second, 0, SectionStep());
  for (size_t g = from; g < groups_.size(); ++g) {
    GenerateGroup(groups_[g].second, g == from ? std::max(0, index) : 0, SectionStep());
    if (IncompleteShifterFound() && SpareB() == 0) {
      SetSpareB(1);
      SetSpareA(static_cast<int32_t>(g));
    }
    if (SectionStep()) break;
    if (groups_[g].first == 2 && SpaceUsed() == 0) break;
    if (TppCustomReport* r = GetReport()) r->ProcessMessages();
  }
  SetOverFlow(ShifterOverFlow());
  SetPartialGeneration(!ShiftersComplete() && !OverFlow());
  if (!PartialGeneration()) SetPartialAdjustment(mmHeight());
  else if (PrintList().empty()) SetPartialAdjustment(0);
  if (ShiftersComplete()) {
    SetSpareA(0);
    SetShifterResumeIndex(0);
  }
  if (PartialGeneration()) SetOverFlow(true);
}

void TppCustomRegion::GenerateGroup(const std::vector<TppComponent*>& list, int start, bool sectionStep) {
  const int32_t top = PrintRect().Top;
  const bool canStretch = ParentCanStretch() && Stretch();
  int32_t lowest = 0, lowestStretch = 0;
  for (size_t k = static_cast<size_t>(start); k < list.size(); ++k) {
    TppComponent* c = list[k];
    auto* s = cls::ObjectAs<TppStretchable>(c);
    c->Generate();
    if (c->SpaceUsed() > 0) AddToPrintList(c);
    if (s && !maxStretchable_) maxStretchable_ = s;
    if (c->SpaceUsed() >= 1) {
      int32_t bottom = c->PrintRect().Top + c->SpaceUsed();
      lowest = std::max(lowest, bottom);
      if (canStretch) {
        if (bottom > CurrentPosition()) SetCurrentPosition(bottom);
        if (s && bottom > lowestStretch) {
          lowestStretch = bottom;
          maxStretchable_ = s;
        }
      }
    }
    if (!c->GenerationComplete()) {
      if (!IncompleteShifterFound()) {
        SetIncompleteShifterFound(true);
        SetShifterResumeIndex(static_cast<int32_t>(k));
        SetShifterOverFlow(s && s->Stretch());
      }
      SetPartialAdjustment(std::min(PartialAdjustment(), c->mmTop() - mmTop()));
      SetShiftersComplete(false);
      if (sectionStep && k + 1 < list.size()) {
        SetGenerationComplete(true);
        break;
      }
    }
    if (TppCustomReport* r = GetReport()) r->ProcessMessages();
  }
  if (lowest > 0 && lowest >= CurrentPosition()) {
    SetCurrentPosition(lowest);
    SetSpaceUsed(lowest - top);
  }
}

void TppCustomRegion::SaveRegionState() {
  TppCustomReport* main = GetMainReport();
  TppCustomEngine* engine = main ? main->Engine() : nullptr;
  if (engine && engine->Page()) {
    if (!savedPage_) savedPage_.reset(new TppPage(nullptr));
    savedPage_->Assign(engine->Page());
  }
  if (!cacheManager_) {
    cacheManager_.reset(new TppCacheManager(nullptr));
    AddNotify(cacheManager_.get());
  }
  // The report's cache resets may have emptied it: the objects are set
  // again for every trial.
  cacheManager_->SetCacheables(std::vector<TppCacheable*>(objects_.begin(), objects_.end()));
  cacheManager_->SavePage(0);
}

void TppCustomRegion::RestoreRegionState() {
  if (cacheManager_) cacheManager_->RestorePage(0);
  TppCustomReport* main = GetMainReport();
  TppCustomEngine* engine = main ? main->Engine() : nullptr;
  if (engine && engine->Page() && savedPage_) engine->Page()->Assign(savedPage_.get());
}

bool TppCustomRegion::PrintedNewContent(bool continuation) {
  if (!TppStretchable::PrintedNewContent(continuation)) return false;
  if (!continuing_) return true;  // the region itself is new on this page
  for (TppComponent* c : PrintList())
    if (c->PrintedNewContent(true)) return true;
  return false;
}

// ---- drawing ----

void TppCustomRegion::PropertiesToDrawCommand(TppDrawCommand* command) {
  TppStretchable::PropertiesToDrawCommand(command);
  auto* shape = cls::ObjectAs<TppDrawShape>(command);
  if (!shape) return;
  shape->SetBrush(&brush_);
  shape->SetPen(&pen_);
  // Inside the pen's half width (pen widths are screen pixels).
  int32_t p = ConvertToMMThousandths(static_cast<float>(pen_.Width / 2), utScreenPixels, ppVertical);
  const TppRect& r = PrintRect();
  int32_t w = r.Right - r.Left, h = r.Bottom - r.Top;
  shape->SetLeft(r.Left + p);
  shape->SetTop(r.Top + p);
  shape->SetWidth(std::max(0, w - 2 * p));
  shape->SetHeight(std::max(0, h - 2 * p));
  shape->SetShapeType(TShapeType::stRectangle);
  shape->SetXCornerRound(std::min(w, h) / 4);
  shape->SetYCornerRound(std::min(w, h) / 4);
}

// ---- page cache ----

void TppCustomRegion::SaveToCache(int32_t pageIndex) {
  uint8_t record[kRegionRecordSize] = {};
  record[0] = DrawComponent();
  record[1] = ShiftersStarted();
  record[2] = KeptTogether();
  record[3] = OverFlow();
  PutInt(record + 4, ShifterResumeIndex());
  record[8] = PartialGeneration();
  PutInt(record + 9, ResumeGroup());
  PutInt(record + 13, PartialAdjustment());
  WriteCacheRecord(pageIndex, record);
}

void TppCustomRegion::RestoreFromCache(int32_t pageIndex) {
  uint8_t record[kRegionRecordSize] = {};
  record[0] = DrawComponent();
  record[1] = ShiftersStarted();
  record[2] = KeptTogether();
  record[3] = OverFlow();
  PutInt(record + 4, ShifterResumeIndex());
  record[8] = PartialGeneration();
  PutInt(record + 9, ResumeGroup());
  PutInt(record + 13, PartialAdjustment());
  ReadCacheRecord(pageIndex, record);  // an absent record leaves the state
  SetDrawComponent(record[0] != 0);
  SetShiftersStarted(record[1] != 0);
  SetKeptTogether(record[2] != 0);
  SetOverFlow(record[3] != 0);
  SetShifterResumeIndex(GetInt(record + 4));
  SetPartialGeneration(record[8] != 0);
  SetSpareA(GetInt(record + 9));
  SetPartialAdjustment(GetInt(record + 13));
}

void TppCustomRegion::ResetCache(int32_t pageIndex) {
  TppStretchable::ResetCache(pageIndex);
  SetKeptTogether(false);
}

void TppCustomRegion::Notify(TppCommunicator* communicator, uint8_t operation) {
  TppStretchable::Notify(communicator, operation);
  if (operation != ppopRemove || !communicator) return;
  if (cacheManager_ && communicator == cacheManager_.get()) {
    cacheManager_.release();  // freed elsewhere: forgotten
    return;
  }
  if (auto* c = cls::ObjectAs<TppComponent>(communicator)) ForgetObject(c);
}

// ---------------------------------------------------------------- TppRegion

TppRegion::TppRegion(cls::TComponent* owner) : TppCustomRegion(owner) {
  SetDefaultPropName("Caption");
  SetDefaultPropEditType(0);
}

// ---------------------------------------------------------------- registration

void ppRegisterRegionUnit() {
  using namespace ppDrwCmdProps;
  using R = TppCustomRegion;
  using S = TppStretchable;
  cls::RegisterClass(&TppRegion::StaticClass());
  auto& c = TppRegion::StaticClass();
  static const cls::TTypeInfo* brushType = cls::MakeClassTypeInfo("TBrush", &gdi::TBrush::StaticClass());
  static const cls::TTypeInfo* penType = cls::MakeClassTypeInfo("TPen", &gdi::TPen::StaticClass());
  static const cls::TTypeInfo* stretchableType = cls::MakeClassTypeInfo("TppStretchable", &S::StaticClass());
  cls::PublishProperty(c, Object<R, gdi::TBrush>("Brush", brushType, &R::Brush, &R::SetBrush));
  TppPrintable::PublishProperties(c, {"Caption"});
  cls::PublishProperty(c, Bool<S>("KeepTogether", &S::KeepTogether, &S::SetKeepTogether));
  TppPrintable::PublishProperties(c, {"OnDrawCommandClick", "OnDrawCommandCreate", "ParentHeight", "ParentWidth"});
  cls::PublishProperty(c, Object<R, gdi::TPen>("Pen", penType, &R::Pen, &R::SetPen));
  TppPrintable::PublishProperties(c, {"ReprintOnOverFlow"});
  cls::TPropInfo shift;
  shift.Name = "ShiftRelativeTo";
  shift.Type = stretchableType;
  shift.GetObj = [](cls::TObject* o) -> cls::TObject* { return static_cast<S*>(o)->ShiftRelativeTo(); };
  shift.SetObj = [](cls::TObject* o, cls::TObject* v) {
    static_cast<S*>(o)->SetShiftRelativeTo(cls::ObjectAs<TppStretchable>(v));
  };
  cls::PublishProperty(c, shift);
  TppPrintable::PublishProperties(c, {"ShiftWithParent"});
  cls::PublishProperty(c, Bool<S>("Stretch", &S::Stretch, &S::SetStretch));
  TppPrintable::PublishProperties(c, {"StretchWithParent", "Transparent"});
  cls::PublishProperty(c, cls::StrProperty<TppCommunicator>("UserName", &TppCommunicator::UserName,
                                                            &TppCommunicator::SetUserName));
  TppPrintable::PublishProperties(c, {"Visible"});
  cls::PublishProperty(c, cls::FloatProperty<S, float>("BottomOffset", &S::BottomOffset, &S::SetBottomOffset));
  TppPrintable::PublishProperties(c, {"Height", "Left"});
  cls::PublishProperty(c, cls::FloatProperty<S, float>("OverFlowOffset", &S::OverFlowOffset, &S::SetOverFlowOffset));
  TppPrintable::PublishProperties(c, {"Top", "Width"});
}

// ---- scripting ----

RA_IMPLEMENT_RTTI(TraTppCustomRegionRTTI)

const TraMembers* TraTppCustomRegionRTTI::Members() const {
  using C = TppCustomRegion;
  static const TraMembers members(
      inherited::Members(),
      {raObjectProperty<C, gdi::TBrush>(
           "Brush", [](C* r) { return r->Brush(); }, [](C* r, gdi::TBrush* b) { r->SetBrush(b); }),
       raProperty<C, daInteger>("ObjectCount", &C::ObjectCount),
       raIndexed(
           "Objects", daObject, &TppComponent::StaticClass(),
           [](cls::TObject* o) { return static_cast<C*>(o)->ObjectCount(); },
           [](cls::TObject* o, int i) -> TraValue { return static_cast<cls::TObject*>(static_cast<C*>(o)->Objects(i)); }),
       raObjectProperty<C, TppStretchable>("MaxStretchable", &C::MaxStretchable),
       raObjectProperty<C, gdi::TPen>(
           "Pen", [](C* r) { return r->Pen(); }, [](C* r, gdi::TPen* p) { r->SetPen(p); })});
  return &members;
}
