#include "tests/report/engine/ppTestDoubles.h"

#include <cstring>

namespace engine_doubles {

CLS_IMPLEMENT_COMPONENT(TTestDrawCommand)
CLS_IMPLEMENT_COMPONENT(TFixed)
CLS_IMPLEMENT_COMPONENT(TLines)

namespace {

void BoundsToCommand(TppPrintable* p, TppDrawCommand* c) {
  c->SetLeft(p->PrintRect().Left);
  c->SetTop(p->PrintRect().Top);
  c->SetWidth(p->mmWidth());
  c->SetHeight(p->SpaceUsed());
}
}  // namespace

TFixed::TFixed(cls::TComponent* owner) : TppComponent(owner) { SetDrawCommandClass(&TTestDrawCommand::StaticClass()); }

void TFixed::Generate() {
  ++generated;
  TppCustomBand* band = Band();
  auto* region = cls::ObjectAs<TppStretchable>(Region());
  bool parentOverFlow = region ? region->OverFlow() : band->GetOverFlow();
  if (ReprintOnOverFlow() && parentOverFlow) InitDrawComponent();
  if (!DrawComponent() || !Visible()) {
    SetGenerationComplete(true);
    return;
  }
  int32_t left = band->GetPrintRect().Left + mmLeft(), top, bottom;
  bool stretches;
  if (region) {
    top = region->PrintRect().Top + mmTop() - region->mmTop();
    if (region->PartialGeneration()) top -= region->PartialAdjustment();
    bottom = region->PageBottom();
    stretches = region->Stretch() && band->PrintHeight() == phDynamic;
  } else {
    top = band->GetPrintRect().Top + mmTop();
    if (band->GetPartialGeneration()) top -= band->GetPartialAdjustment();
    bottom = band->GetPageBottom();
    stretches = band->PrintHeight() == phDynamic;
  }
  int32_t height = mmHeight();
  if (stretches && top + height > bottom + 1) {
    SetOutOfSpace(true);
    return;
  }
  SetPrintRect(MakeRect(left, top, left + mmWidth(), top + height));
  SetSpaceUsed(height);
  SetGenerationComplete(true);
}

void TFixed::PropertiesToDrawCommand(TppDrawCommand* c) {
  TppComponent::PropertiesToDrawCommand(c);
  BoundsToCommand(this, c);
}

TLines::TLines(cls::TComponent* owner) : TppStretchable(owner) {
  SetDrawCommandClass(&TTestDrawCommand::StaticClass());
  SetCacheRecordSize(8);
}

void TLines::CalcPrintExtent() {
  int32_t room = PrintRect().Bottom - PrintRect().Top;
  int32_t fit = room > 0 ? room / pitch : 0;
  int32_t placed = std::min(fit, lines - done);
  done += placed;
  SetSpaceUsed(placed * pitch);
  SetOverFlow(done < lines);
}

void TLines::InitGeneration() {
  TppStretchable::InitGeneration();
  done = 0;
}

void TLines::PropertiesToDrawCommand(TppDrawCommand* c) {
  TppStretchable::PropertiesToDrawCommand(c);
  BoundsToCommand(this, c);
}

void TLines::SaveToCache(int32_t pageIndex) {
  uint8_t record[8] = {};
  record[0] = DrawComponent();
  record[1] = OverFlow();
  std::memcpy(record + 4, &done, sizeof done);
  WriteCacheRecord(pageIndex, record);
}

void TLines::RestoreFromCache(int32_t pageIndex) {
  uint8_t record[8];
  std::memset(record, 0xFF, sizeof record);
  ReadCacheRecord(pageIndex, record);
  if (record[0] == 0xFF) return;  // no record of that page
  SetDrawComponent(record[0] != 0);
  SetOverFlow(record[1] != 0);
  std::memcpy(&done, record + 4, sizeof done);
}

}  // namespace engine_doubles
