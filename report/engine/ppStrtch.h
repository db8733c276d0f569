// TppStretchable: a component whose printed height is decided while the
// page is generated. It can grow with its content, continue on the next
// page, sit below another stretchable (ShiftRelativeTo), shift and stretch
// with its parent and stop at a fixed position. Descendants say how much of
// their content fits (CalcPrintExtent).
#pragma once
#include <cstdint>
#include <vector>

#include "report/engine/ppClass.h"

class TppStretchable : public TppComponent {
  CLS_DECLARE_CLASS(TppStretchable, TppComponent)
 public:
  explicit TppStretchable(cls::TComponent* owner);
  void BeforeDestruction() override;

  // ---- properties ----
  int32_t mmBottomOffset() const { return mmBottomOffset_; }
  void SetmmBottomOffset(int32_t v);
  int32_t mmOverFlowOffset() const { return mmOverFlowOffset_; }
  void SetmmOverFlowOffset(int32_t v);
  int32_t mmStopPosition() const { return mmStopPosition_; }
  void SetmmStopPosition(int32_t v);
  float BottomOffset() const { return FromMMThousandths(mmBottomOffset_, Units(), ppVertical); }
  void SetBottomOffset(float v) { SetmmBottomOffset(ToMMThousandths(v, Units(), ppVertical)); }
  float OverFlowOffset() const { return FromMMThousandths(mmOverFlowOffset_, Units(), ppVertical); }
  void SetOverFlowOffset(float v) { SetmmOverFlowOffset(ToMMThousandths(v, Units(), ppVertical)); }
  float StopPosition() const { return FromMMThousandths(mmStopPosition_, Units(), ppVertical); }
  void SetStopPosition(float v) { SetmmStopPosition(ToMMThousandths(v, Units(), ppVertical)); }
  bool KeepTogether() const { return keepTogether_; }
  void SetKeepTogether(bool v);
  bool KeptTogether() const { return keptTogether_; }
  void SetKeptTogether(bool v) { keptTogether_ = v; }
  bool Stretch() const { return stretch_; }
  void SetStretch(bool v);
  // A target that left the band is dropped first.
  TppStretchable* ShiftRelativeTo();
  int ShifterCount() const { return static_cast<int>(shifters_.size()); }
  TppStretchable* Shifter(int i) const { return shifters_[static_cast<size_t>(i)]; }

  // A page record that holds more starts with a head of this size:
  // DrawComponent, ShiftersStarted, KeptTogether, ShifterResumeIndex (4
  // bytes), OverFlow, PartialGeneration.
  static constexpr int32_t kRecordHeadSize = 9;

  // ---- generation state ----
  int32_t CurrentPosition() const { return currentPosition_; }
  void SetCurrentPosition(int32_t v) { currentPosition_ = v; }
  int32_t PageBottom() const { return pageBottom_; }
  void SetPageBottom(int32_t v) { pageBottom_ = v; }
  int32_t PartialAdjustment() const { return partialAdjustment_; }
  bool PartialGeneration() const { return partialGeneration_; }
  bool ShiftersStarted() const { return shiftersStarted_; }
  bool ShiftersComplete() const { return shiftersComplete_; }
  int32_t ShifterResumeIndex() const { return shifterResumeIndex_; }

  bool ParentCanStretch();
  bool IsStretching();
  bool CheckKeepTogether();

  // ---- virtual operations, in slot order ----
  // From the print rectangle that CalcPrintPosition set, how much of the
  // content fits: sets SpaceUsed and OverFlow.
  virtual void CalcPrintExtent() {}
  virtual void SetShiftRelativeTo(TppStretchable* target);
  virtual void AddShifter(TppStretchable* shifter);
  virtual void RemoveShifter(TppStretchable* shifter);
  // The stretchable of a region reaching lowest; nullptr but for regions.
  virtual TppStretchable* LastStretchable() { return nullptr; }

  // ---- overrides ----
  void Generate() override;
  void PrintToPage(TppPage* page) override;
  void InitGeneration() override;
  void ClearPrintState() override;
  void UpdateDrawComponent() override;
  void SetReprintOnOverFlow(bool value) override;
  void SetShiftWithParent(bool value) override;
  void SetStretchWithParent(bool value) override;
  void SetRegion(TppComponent* region) override;
  void SetUserName(const std::string& name) override;
  void Notify(TppCommunicator* communicator, uint8_t operation) override;
  // The page's record: DrawComponent, ShiftersStarted, ShifterResumeIndex,
  // OverFlow, PartialGeneration.
  void SaveToCache(int32_t pageIndex) override;
  void RestoreFromCache(int32_t pageIndex) override;
  bool IsStretchableComponent() override { return true; }
  cls::TComponent* ShiftTarget() override { return shiftRelativeTo_; }
  // Adds ReprintOnOverFlow, ShiftWithParent, ShiftRelativeTo (the
  // registered shift dialog) and Stretch; the flags are ticked by their
  // values and toggled by a click.
  void CreatePopupMenu(TppPopupMenu*& menu) override;
  void UpdatePopupMenu(TppPopupMenu* menu) override;

 protected:
  // For descendants that keep the page state in a record of their own.
  void SetShiftersStarted(bool v) { shiftersStarted_ = v; }
  void SetShifterResumeIndex(int32_t v) { shifterResumeIndex_ = v; }
  void SetPartialGeneration(bool v) { partialGeneration_ = v; }
  void SetPartialAdjustment(int32_t v) { partialAdjustment_ = v; }
  // Puts the head into RECORD (CacheRecordSize bytes) and writes it as the
  // page's record.
  void WriteHeadedRecord(int32_t pageIndex, uint8_t* record);
  // Reads the page's record into RECORD and takes its head; false, with the
  // state left as it is, when the page has no record.
  bool ReadHeadedRecord(int32_t pageIndex, uint8_t* record);
  // For descendants that generate objects of their own as shifters are
  // generated (regions).
  void SetShiftersComplete(bool v) { shiftersComplete_ = v; }
  bool IncompleteShifterFound() const { return incompleteShifterFound_; }
  void SetIncompleteShifterFound(bool v) { incompleteShifterFound_ = v; }
  bool ShifterOverFlow() const { return shifterOverFlow_; }
  void SetShifterOverFlow(bool v) { shifterOverFlow_ = v; }
  void AddToPrintList(TppComponent* c) { printList_.push_back(c); }
  const std::vector<TppComponent*>& PrintList() const { return printList_; }
  void ClearPrintList() { printList_.clear(); }
  // Two integers cleared at the start of a run (both) and of a page (B).
  int32_t SpareA() const { return spareA_; }
  void SetSpareA(int32_t v) { spareA_ = v; }
  int32_t SpareB() const { return spareB_; }
  void SetSpareB(int32_t v) { spareB_ = v; }
  void CalcPrintPosition();
  int32_t CalcTop();
  void PrintShifters(int index);

 private:
  int32_t mmBottomOffset_ = 0;
  bool keepTogether_ = false;
  bool keptTogether_ = false;
  int32_t mmOverFlowOffset_ = 0;
  std::vector<TppStretchable*> shifters_;
  TppStretchable* shiftRelativeTo_ = nullptr;
  int32_t mmStopPosition_ = 0;
  bool stretch_ = false;
  bool shiftersComplete_ = true;
  int32_t currentPosition_ = 0;
  int32_t spareA_ = 0;
  int32_t spareB_ = 0;
  bool shiftersStarted_ = false;
  int32_t shifterResumeIndex_ = 0;
  bool shifterOverFlow_ = false;
  bool incompleteShifterFound_ = false;
  int32_t pageBottom_ = 0;
  int32_t partialAdjustment_ = 0;
  bool partialGeneration_ = false;
  std::vector<TppComponent*> printList_;
};

// ---- scripting ----

class TraTppStretchableRTTI : public TraTppComponentRTTI {
  RA_DECLARE_RTTI(TraTppStretchableRTTI, TraTppComponentRTTI, TppStretchable)
};
