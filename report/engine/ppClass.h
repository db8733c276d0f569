// TppComponent: a printable that sits in a band (optionally inside a
// region). It ties the printable's geometry to its container, answers the
// band's report for printer, designer and printing questions, keeps its
// band type and group number, and turns every change into a reset of the
// report's prepared output.
#pragma once
#include <cstdint>
#include <vector>

#include "report/engine/ppPrnabl.h"

class TppCustomBand;
class TppCustomReport;
class TppGroup;

class TppComponent : public TppPrintable, public IppShiftable {
  CLS_DECLARE_CLASS(TppComponent, TppPrintable)
 public:
  explicit TppComponent(cls::TComponent* owner);
  // The region lets it go, then the band.
  void BeforeDestruction() override;

  TppCustomBand* Band() const { return band_; }
  uint8_t BandType() const { return bandType_; }
  int32_t GroupNo() const { return groupNo_; }
  bool ParentDataPipeline() const { return parentDataPipeline_; }
  TppComponent* Region() const { return region_; }
  TppGroup* ResetGroup() const { return resetGroup_; }

  TppCustomReport* GetReport() const;
  TppCustomReport* GetMainReport() const;
  int IndexInBand() const;
  int ZOrderIndex() const;
  // True without band, report or engine; else whether the main report's
  // engine makes a page past the last one made so far.
  bool GeneratingNewPage() const;
  void FitToParent();

  // ---- virtual operations, in slot order ----
  // A text-type component (labels, texts, shapes, pictures): regions
  // generate these and stretchables, nothing else.
  virtual bool IsCustomComponent() const { return false; }
  virtual bool IsRegion() const { return false; }
  virtual TppComponent* GetNextSibling();
  virtual cls::TComponent* GetParent();
  virtual void SetBand(TppCustomBand* band);
  virtual void SetParentDataPipeline(bool value);
  virtual void SetResetGroup(TppGroup* group);
  // A value that is neither nil nor a region is ignored.
  virtual void SetRegion(TppComponent* region);
  virtual void GetParentRect(TppRect& rect);
  virtual void BringToFront();
  virtual void SendToBack();
  // Groups breaking on this component's text: a text component keeps them
  // (and answers True); others refuse.
  virtual bool RegisterResetGroup(TppGroup*) { return false; }
  virtual void UnregisterResetGroup(TppGroup*) {}
  // Whether what it put on this page is new: not a reprint on a page its
  // parent continues on (CONTINUATION). The never-fits guard asks it.
  virtual bool PrintedNewContent(bool continuation) { return !(continuation && ReprintOnOverFlow()); }

  // ---- printable overrides ----
  // The band's report's designer; nil without band or report.
  cls::TObject* GetDesigner() override;
  int GetLanguageIndex() override { return 0; }
  TppPrinter* GetPrinter() const override;
  bool IsPrinting() override;
  void Changed() override;
  void SetBounds(int32_t left, int32_t top, int32_t width, int32_t height) override;
  void SetmmLeft(int32_t value) override;
  void SetmmTop(int32_t value) override;
  void SetmmWidth(int32_t value) override;
  void SetmmHeight(int32_t value) override;
  void SetParentWidth(bool value) override;
  void SetParentHeight(bool value) override;
  void SetDataPipeline(TppDataPipeline* value) override;
  void PropertiesToDrawCommand(TppDrawCommand* command) override;
  void Notify(TppCommunicator* communicator, uint8_t operation) override;
  // A band read as its parent becomes its band, a region its region.
  void SetParentComponent(cls::TComponent* parent) override;
  // Design time: the control follows the component; the popup menu holds
  // BringToFront, SendToBack, Position and Visible.
  void UpdateDesignControl() override;
  void CreatePopupMenu(TppPopupMenu*& menu) override;
  void UpdatePopupMenu(TppPopupMenu* menu) override;
  // Shows the registered position dialog.
  void CreatePositionDialog();
  // Shows the dialog registered under ANCESTOR for this component's report
  // (nothing without one); answers its modal result.
  int ShowDesignDialog(cls::TClass ancestor);

  // ---- IppShiftable ----
  bool IsStretchableComponent() override { return false; }
  bool IsRegionComponent() override { return IsRegion(); }
  cls::TComponent* ShiftRegion() override { return region_; }
  cls::TComponent* ShiftTarget() override { return nullptr; }
  void ShiftBandObjects(std::vector<cls::TComponent*>& objects) override;

 protected:
  bool DesignerOpen() const { return (StateFlags() & pstDesignerOpen) != 0; }
  bool LoadingOrReading() const { return HasState(cls::csLoading) || HasState(cls::csReading); }

 private:
  TppCustomBand* band_ = nullptr;
  uint8_t bandType_ = 4;
  int32_t groupNo_ = -1;
  bool parentDataPipeline_ = true;
  TppComponent* region_ = nullptr;
  TppGroup* resetGroup_ = nullptr;
};

// ---- scripting ----

class TraTppComponentRTTI : public TraTppPrintableRTTI {
  RA_DECLARE_RTTI(TraTppComponentRTTI, TraTppPrintableRTTI, TppComponent)
};
