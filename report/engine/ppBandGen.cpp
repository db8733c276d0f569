// The band generation: one pass after another on the engine's current page
// until the band is done, written over the state accessors and hook slots.
#include <algorithm>

#include "report/engine/ppBands.h"
#include "report/engine/ppClass.h"
#include "report/engine/ppCustEng.h"
#include "report/engine/ppCustRpt.h"
#include "report/engine/ppStrtch.h"
#include "report/model/ppResMgr.h"
#include "report/output/ppDevice.h"

// ---- the never-fits guard ----

void TppNeverFitsGuard::PassEnded(bool stalled, TppCustomReport* report, const std::string& culprit) {
  // A subreport's room on its parent's page is judged with that page.
  if (!stalled || (report && !report->JudgesPageProgress())) {
    stalled_ = false;
    return;
  }
  int32_t page = report && report->Engine() ? report->Engine()->AbsolutePageNo() : 0;
  if (!stalled_ || !report) {
    stalled_ = true;
    stalledPage_ = page;
    return;
  }
  if (page == stalledPage_) return;
  stalled_ = false;
  report->FailGeneration(culprit + " does not fit on a page.");
}

// ---- helpers ----

TppCustomReport* TppBandGeneration::GenReport() const { return genBand_ ? genBand_->Report() : nullptr; }

TppCustomEngine* TppBandGeneration::GenEngine() const {
  TppCustomReport* r = GenReport();
  return r ? r->Engine() : nullptr;
}

bool TppBandGeneration::GenDynamic() const { return genBand_->PrintHeight() == phDynamic; }

void TppBandGeneration::ProcessReportMessages() const {
  if (TppCustomReport* r = GenReport()) r->ProcessMessages();
}

int TppBandGeneration::ListIndexOfKey(int key) const {
  for (size_t i = 0; i < printLists_.size(); ++i)
    if (printLists_[i].first == key) return static_cast<int>(i);
  return -1;
}

// ---- run start ----

void TppBandGeneration::BuildPrintLists() {
  printLists_.clear();
  for (int i = 0; i < genBand_->ObjectCount(); ++i) genBand_->Objects(i)->SetZOrder(i);
  std::vector<TppComponent*> byKey[4];
  for (int i = 0; i < genBand_->ObjectCount(); ++i) {
    TppComponent* c = genBand_->Objects(i);
    auto* s = cls::ObjectAs<TppStretchable>(c);
    if ((s && s->ShiftRelativeTo()) || c->Region()) continue;  // printed by its anchor or region
    int key = 1;
    if (s && s->Stretch()) key = 2;
    else if (c->StretchWithParent()) key = 3;
    else if (c->ShiftWithParent()) key = 4;
    byKey[key - 1].push_back(c);
  }
  // Lists only where an object needs one, in key order.
  for (int key = 1; key <= 4; ++key)
    if (!byKey[key - 1].empty()) printLists_.emplace_back(key, std::move(byKey[key - 1]));
}

void TppBandGeneration::InitBandGeneration() {
  for (int i = 0; i < genBand_->ObjectCount(); ++i) genBand_->Objects(i)->InitGeneration();
  SetResumeListIndex(0);
  SetResumeObjectIndex(0);
  SetOverFlow(false);
  SetPartialGeneration(false);
  SetPartialAdjustment(genBand_->mmHeight());
  BuildPrintLists();
  resetAtStart_.clear();
  for (int i = 0; i < genBand_->ObjectCount(); ++i)
    if (genBand_->Objects(i)->NeedsResetAtStart()) resetAtStart_.push_back(genBand_->Objects(i));
  neverFits_.Reset();
  InitGenerationDone();
}

TppComponent* TppBandGeneration::CurrentObject() {
  TppCustomReport* r = GenReport();
  if (!r || !r->MainReport()->Printing()) return nullptr;
  int li = GetResumeListIndex(), oi = GetResumeObjectIndex();
  if (li < 0 || oi < 0 || static_cast<size_t>(li) >= printLists_.size()) return nullptr;
  const auto& list = printLists_[static_cast<size_t>(li)].second;
  return static_cast<size_t>(oi) < list.size() ? list[static_cast<size_t>(oi)] : nullptr;
}

// ---- one generation ----

bool TppBandGeneration::PassDone() {
  TppCustomEngine* engine = GenEngine();
  if (GetGenerationComplete()) return true;
  if (!engine || engine->Cancelled()) return true;
  if (GetOutOfSpace()) return true;
  uint8_t mode = genBand_->PrintCountMode();
  if (mode == ppPrintOnce && GetCount() == 1) return true;
  if (mode == ppPrintCountTimes && GetCount() == genBand_->PrintCount()) return true;
  return !engine->State().Intersects(genBand_->GetKindFlag());
}

void TppBandGeneration::GenerateBand() {
  TppCustomEngine* engine = GenEngine();
  SetGenerating(true);
  SetGenerationComplete(false);
  SetOutOfSpace(false);
  SetCount(0);
  BeforeGeneration();
  SetSpaceUsed(0);
  while (!PassDone()) {
    SetAllObjectsPrinted(true);
    SetMaxStretchable(nullptr);
    firstObjectFound_ = resumeListFound_ = overflowPending_ = false;
    firstUnfinished_ = nullptr;
    drawList_.clear();
    SetSpaceUsed(0);
    bool fresh = !GetOverFlow() && !GetPartialGeneration();
    if (fresh)
      for (int i = 0; i < genBand_->ObjectCount(); ++i) genBand_->Objects(i)->SetDrawComponent(true);
    bool pageHeldBody = engine->GetNewPageRequested();
    bool continuation = GetOverFlow();
    bool objectsRan = false;

    BeforePrintObjects();
    PlaceBand();
    // A break forced to reach PrintPosition says nothing about fitting.
    bool forcedBreak = GetPrintPositionBreak();
    if (genBand_->Visible()) {
      if (!GetOutOfSpace()) {
        if (!GetOverFlow() && !GetPartialGeneration()) engine->SetReportBandCount(engine->ReportBandCount() + 1);
        engine->SetPageBandCount(engine->PageBandCount() + 1);
        SetCount(GetCount() + 1);
        StartGeneration();
        objectsRan = true;
        GenerateObjects();
        AfterGeneration();
        AdvancePage();
      }
      if (genBand_->DrawPage()) {
        DrawObjects();
        std::stable_sort(drawList_.begin(), drawList_.end(),
                         [](TppComponent* a, TppComponent* b) { return a->ZOrder() < b->ZOrder(); });
        for (TppComponent* c : drawList_) {
          c->PrintToPage(engine->Page());
          ProcessReportMessages();
        }
      }
    }
    SetGenerationComplete(!genBand_->Visible());
    AfterObjects();
    ProcessReportMessages();

    // Objects reprinted on a continuation page are no progress, nor is a
    // region that only reprinted what it holds.
    bool progressed = std::any_of(drawList_.begin(), drawList_.end(),
                                  [&](TppComponent* c) { return c->PrintedNewContent(continuation); });
    bool stalled = GetOutOfSpace() && !progressed && !pageHeldBody && !engine->Cancelled();
    // An object known by no name is named by its band, a band without one
    // (a group band made in code) by its class.
    auto named = [](TppCommunicator* c) { return !c->UserName().empty() ? c->UserName() : c->Name(); };
    std::string culprit = objectsRan && firstUnfinished_ ? named(firstUnfinished_) : std::string();
    if (culprit.empty()) culprit = named(genBand_);
    if (culprit.empty()) culprit = ClassNameWithoutPrefix(genBand_);
    if (!forcedBreak) neverFits_.PassEnded(stalled, GenReport(), culprit);
  }
  EndGeneration();
  SetGenerating(false);
}

// ---- placing ----

void TppBandGeneration::PlaceBand() {
  TppCustomEngine* engine = GenEngine();
  SetPageBottom(engine->GetPageBottom() - genBand_->mmBottomOffset());
  SetStartingPosition(engine->PageRect().Top);
  CheckPrintPosition();
  int32_t needed = GenDynamic() ? 0 : genBand_->mmHeight();
  if (genBand_->Visible() && GetStartingPosition() + needed > GetPageBottom()) {
    SetOutOfSpace(true);
    return;
  }
  const TppRect& page = engine->PageRect();
  int32_t top = GetStartingPosition();
  SetPrintRect(MakeRect(page.Left, top, page.Right, GenDynamic() ? GetPageBottom() : top + genBand_->mmHeight()));
  SetCurrentPosition(top);
  lowestStretchBottom_ = 0;
  workingAdjustment_ = GetPartialAdjustment();
}

void TppBandGeneration::CheckPrintPosition() {
  int32_t position = genBand_->mmPrintPosition();
  if (position == 0) return;
  if (position >= GetPageBottom()) {
    if (TppCustomReport* r = GenReport()) r->FailGeneration(ppLoadStr(415) + ".");
    return;
  }
  if (position >= GetStartingPosition() && (GenDynamic() || position + genBand_->mmHeight() <= GetPageBottom())) {
    SetStartingPosition(position);
    SetPrintPositionBreak(false);
  } else if (!GetPrintPositionBreak()) {
    SetOutOfSpace(true);
    SetPrintPositionBreak(true);
  } else {
    SetPrintPositionBreak(false);
  }
}

void TppBandGeneration::AdvancePage() {
  TppCustomEngine* engine = GenEngine();
  int32_t used = (GenDynamic() ? GetSpaceUsed() : genBand_->mmHeight()) + genBand_->mmBottomOffset();
  SetSpaceUsed(used);
  TppRect rect = GetPrintRect();
  int32_t newTop = rect.Top + used;
  engine->SetPageRect(rect.Left, newTop, rect.Right, newTop);
  engine->SetUsedHeight(engine->UsedHeight() + used);
}

// ---- pass steps ----

void TppBandGeneration::BeforePrintObjects() {
  if (NeedsEngineStep())
    if (TppCustomEngine* engine = GenEngine()) engine->DeferredBreakStep();
  for (int i = 0; i < genBand_->ObjectCount(); ++i) genBand_->Objects(i)->ClearPrintState();
  FireBeforePrint();
}

void TppBandGeneration::StartGeneration() { FireBeforeGenerate(); }
void TppBandGeneration::AfterGeneration() { FireAfterGenerate(); }

void TppBandGeneration::AfterObjects() {
  for (int i = 0; i < genBand_->ObjectCount(); ++i) genBand_->Objects(i)->UpdateDrawComponent();
  if (!(GetOutOfSpace() && !GetOverFlow())) FireAfterPrint();
}

void TppBandGeneration::FireBeforePrint() { genBand_->DoBeforePrint(); }
void TppBandGeneration::FireAfterPrint() { genBand_->DoAfterPrint(); }
void TppBandGeneration::FireBeforeGenerate() { genBand_->DoBeforeGenerate(); }
void TppBandGeneration::FireAfterGenerate() { genBand_->DoAfterGenerate(); }

// ---- objects ----

void TppBandGeneration::GenerateObjects() {
  size_t from = static_cast<size_t>(std::max(0, GetResumeListIndex()));
  size_t index = static_cast<size_t>(std::max(0, GetResumeObjectIndex()));
  int first = ListIndexOfKey(1);
  if (GetOverFlow() && first >= 0 && !GetPrintingSection() && from != 0 && !GetPartialGeneration())
    PrintObjectList(static_cast<size_t>(first), 0);
  for (size_t li = from; li < printLists_.size(); ++li) {
    PrintObjectList(li, li == from ? index : 0);
    if (!GetAllObjectsPrinted() && !resumeListFound_) {
      resumeListFound_ = true;
      SetResumeListIndex(static_cast<int32_t>(li));
    }
    if (GetPrintingSection()) break;
    if (printLists_[li].first == 2 && GetSpaceUsed() == 0) break;
    ProcessReportMessages();
  }
  SetOverFlow(overflowPending_ && !drawList_.empty());
  SetPartialGeneration(!GetAllObjectsPrinted() && !GetOverFlow());
  if (GetPartialGeneration()) SetPartialAdjustment(drawList_.empty() ? 0 : workingAdjustment_);
  else SetPartialAdjustment(genBand_->mmHeight());
  if (GetAllObjectsPrinted()) {
    SetResumeListIndex(0);
    SetResumeObjectIndex(0);
  }
  if (GetPartialGeneration() || GetOverFlow()) SetOutOfSpace(true);
}

void TppBandGeneration::PrintObjectList(size_t listIndex, size_t from) {
  const std::vector<TppComponent*> objects = printLists_[listIndex].second;
  bool dynamic = GenDynamic();
  bool partialWithoutUnfinished = GetPartialGeneration() && GetAllObjectsPrinted();
  SetCumulativeCurrentPosition(GetCurrentPosition());
  for (size_t i = from; i < objects.size() && !GetGenerationComplete(); ++i) {
    TppComponent* c = objects[i];
    auto* s = cls::ObjectAs<TppStretchable>(c);
    c->Generate();
    if (c->SpaceUsed() > 0) drawList_.push_back(c);
    if (!c->GenerationComplete()) {
      if (!firstObjectFound_) {
        firstObjectFound_ = true;
        firstUnfinished_ = c;
        SetResumeObjectIndex(static_cast<int32_t>(i));
        overflowPending_ = s && s->Stretch();
      }
      SetAllObjectsPrinted(false);
      if (workingAdjustment_ == 0) workingAdjustment_ = genBand_->mmHeight();
      if (c->mmTop() < workingAdjustment_) workingAdjustment_ = c->mmTop();
    }
    if (!GetPrintingSection()) {
      if (dynamic) {
        if (s && !GetMaxStretchable()) SetMaxStretchable(s);
        if (c->SpaceUsed() != 0) {
          int32_t bottom = c->PrintRect().Top + c->SpaceUsed();
          if (bottom > GetCumulativeCurrentPosition()) SetCumulativeCurrentPosition(bottom);
          if (s && bottom > lowestStretchBottom_) {
            lowestStretchBottom_ = bottom;
            SetMaxStretchable(s);
          }
        }
      }
    } else if (c->GenerationComplete()) {
      // The section is done: the band takes the rest of the page.
      int32_t bottom = GetPageBottom();
      TppRect rect = GetPrintRect();
      SetCurrentPosition(bottom);
      SetCumulativeCurrentPosition(bottom);
      SetSpaceUsed(bottom - rect.Top);
      rect.Top = rect.Bottom = bottom;
      SetPrintRect(rect);
      SetPrintingSection(false);
      SetPartialGeneration(false);
      if (dynamic) SetPartialAdjustment(-1);
    } else {
      SetGenerationComplete(true);
    }
  }
  if (GetCumulativeCurrentPosition() != GetCurrentPosition()) {
    SetCurrentPosition(GetCumulativeCurrentPosition());
    SetSpaceUsed(GetCurrentPosition() - GetPrintRect().Top);
  }
  if (partialWithoutUnfinished && !GetAllObjectsPrinted()) {
    size_t at = static_cast<size_t>(std::max(0, GetResumeObjectIndex()));
    if (at >= from && at < objects.size()) workingAdjustment_ = objects[at]->mmTop();
  }
}
