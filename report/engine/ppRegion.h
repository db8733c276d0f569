// Regions: stretchable rectangles inside a band that own and move the
// components placed in them, print a framed background, generate their
// components in a fixed group order, grow with the stretching ones,
// continue on the next page when one overflows, and can keep themselves on
// one page by rolling back a trial generation. TppCustomRegion holds the
// logic; TppRegion is the published form.
#pragma once
#include <cstdint>
#include <functional>
#include <utility>
#include <vector>

#include "platform/gdi/canvas.h"
#include "report/engine/ppStrtch.h"

class TppCacheManager;
class TppPage;

class TppCustomRegion : public TppStretchable {
  CLS_DECLARE_CLASS(TppCustomRegion, TppStretchable)
 public:
  explicit TppCustomRegion(cls::TComponent* owner);
  // Frees the trial state, then every component in the region.
  void BeforeDestruction() override;

  gdi::TBrush* Brush() { return &brush_; }
  gdi::TPen* Pen() { return &pen_; }

  // ---- objects ----
  int ObjectCount() const { return static_cast<int>(objects_.size()); }
  TppComponent* Objects(int index) const { return objects_.at(static_cast<size_t>(index)); }
  int IndexOfObject(const TppComponent* c) const;
  // Components join and leave through their SetRegion; called directly,
  // these pass through it.
  void AddObject(TppComponent* c);
  void RemoveObject(TppComponent* c);
  // Moves C to INDEX in the region's list (clamped).
  void MoveObject(TppComponent* c, int index);
  // Moves the objects by the change of the region's position since they
  // were last placed (and fits them when the size changed).
  void MoveChildren();

  // ---- generation ----
  // The stretchable that reached lowest on this page.
  TppStretchable* MaxStretchable() const { return maxStretchable_; }
  // Index of the print group to resume with on the next page.
  int32_t ResumeGroup() const { return SpareA(); }
  int GroupCount() const { return static_cast<int>(groups_.size()); }
  // The key ("1" to "4") of the group at INDEX.
  int GroupKey(int index) const { return groups_.at(static_cast<size_t>(index)).first; }

  // ---- virtual operations, in slot order ----
  virtual void SetBrush(const gdi::TBrush* value);
  virtual void SetPen(const gdi::TPen* value);
  // Transparent follows a clear brush; the design is repainted.
  virtual void GraphicChanged();

  // ---- overrides ----
  bool IsRegion() const override { return true; }
  void SetBand(TppCustomBand* band) override;
  // Regions do not nest.
  void SetRegion(TppComponent*) override {}
  void SetTransparent(bool value) override;
  void SetColorAndTransparency(gdi::TColor color, bool transparent) override;
  void SetFontColor(gdi::TColor color) override;
  bool HasFont() override { return false; }
  TppComponent* GetNextSibling() override;
  void BringToFront() override;
  void SendToBack() override;
  void BoundsChange() override;
  void UpdateDesignControl() override;
  // Adds KeepTogether, ParentWidth, ParentHeight, StretchWithParent and
  // Transparent.
  void CreatePopupMenu(TppPopupMenu*& menu) override;
  void Loaded() override;
  void InitGeneration() override;
  void InitDrawComponent() override;
  void CalcPrintExtent() override;
  void PropertiesToDrawCommand(TppDrawCommand* command) override;
  // The page's record: DrawComponent, ShiftersStarted, KeptTogether,
  // OverFlow, ShifterResumeIndex, PartialGeneration, the resume group and
  // PartialAdjustment. Resetting the cache clears KeptTogether.
  void SaveToCache(int32_t pageIndex) override;
  void RestoreFromCache(int32_t pageIndex) override;
  void ResetCache(int32_t pageIndex) override;
  void Notify(TppCommunicator* communicator, uint8_t operation) override;
  TppStretchable* LastStretchable() override { return maxStretchable_; }
  // On a page the region continues on, only what its objects newly placed.
  bool PrintedNewContent(bool continuation) override;
  // The stream writes the region's objects inside it.
  void GetChildren(const std::function<void(cls::TComponent*)>& proc, cls::TComponent* root) override;

 private:
  using TGroup = std::pair<int, std::vector<TppComponent*>>;
  void FreeGroups() { groups_.clear(); }
  void GroupObjects();
  void GenerateGroups(int group, int index);
  void GenerateGroup(const std::vector<TppComponent*>& list, int start, bool sectionStep);
  bool SectionStep();
  void SaveRegionState();
  void RestoreRegionState();
  void RememberBounds();
  void ForgetObject(TppComponent* c);

  gdi::TBrush brush_;
  cls::Owned<TppCacheManager> cacheManager_;
  TppStretchable* maxStretchable_ = nullptr;
  std::vector<TGroup> groups_;
  std::vector<TppComponent*> objects_;
  cls::Owned<TppPage> savedPage_;
  gdi::TPen pen_;
  bool boundsKnown_ = false;
  int32_t lastLeft_ = 0, lastTop_ = 0, lastWidth_ = 0, lastHeight_ = 0;
  // The region continued from the previous page when this page began.
  bool continuing_ = false;
};

class TppRegion : public TppCustomRegion {
  CLS_DECLARE_CLASS(TppRegion, TppCustomRegion)
 public:
  explicit TppRegion(cls::TComponent* owner);
};

void ppRegisterRegionUnit();

// ---- scripting ----

class TraTppCustomRegionRTTI : public TraTppStretchableRTTI {
  RA_DECLARE_RTTI(TraTppCustomRegionRTTI, TraTppStretchableRTTI, TppCustomRegion)
};
