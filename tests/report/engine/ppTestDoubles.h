// Components for engine tests: a fixed component that takes its place from
// the band's state, and a stretchable of fixed-pitch lines that continues
// on the next page and keeps its place per cached page (as a memo keeps
// CharPos). Their draw commands record bounds.
#pragma once
#include <algorithm>

#include "report/engine/ppBands.h"
#include "report/engine/ppClass.h"
#include "report/engine/ppStrtch.h"
#include "report/output/ppDevice.h"

namespace engine_doubles {

class TTestDrawCommand : public TppDrawCommand {
  CLS_DECLARE_CLASS(TTestDrawCommand, TppDrawCommand)
 public:
  explicit TTestDrawCommand(cls::TComponent* owner) : TppDrawCommand(owner) {}
};

// Takes its place from its band, or from its region as a label does.
class TFixed : public TppComponent {
  CLS_DECLARE_CLASS(TFixed, TppComponent)
 public:
  explicit TFixed(cls::TComponent* owner);
  bool IsCustomComponent() const override { return true; }
  void Generate() override;
  void PropertiesToDrawCommand(TppDrawCommand* c) override;
  int generated = 0;
};

// Whole lines of PITCH, as many as fit; DONE is the continuation point.
class TLines : public TppStretchable {
  CLS_DECLARE_CLASS(TLines, TppStretchable)
 public:
  explicit TLines(cls::TComponent* owner);
  void CalcPrintExtent() override;
  void InitGeneration() override;
  void PropertiesToDrawCommand(TppDrawCommand* c) override;
  // Its page record: DrawComponent, OverFlow, DONE.
  void SaveToCache(int32_t pageIndex) override;
  void RestoreFromCache(int32_t pageIndex) override;
  int32_t lines = 0, pitch = 4255, done = 0;
};

}  // namespace engine_doubles
