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

class TTestDrawCommand : public TppDrawCommand {
  CLS_DECLARE_CLASS(TTestDrawCommand, TppDrawCommand)
 public:
  explicit TTestDrawCommand(cls::TComponent* owner) : TppDrawCommand(owner) {}
};

class TFixed : public TppComponent {
  CLS_DECLARE_CLASS(TFixed, TppComponent)
 public:
  explicit TFixed(cls::TComponent* owner);
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
  // The stretchable's record, then DONE.
  void WriteCacheState(uint8_t* record) override;
  void ReadCacheState(const uint8_t* record) override;
  int32_t lines = 0, pitch = 4255, done = 0;
};
