// Components that do not stretch, and the single-block texts among them.
// TppCustomComponent places itself on the page in each band pass;
// TppCustomText sizes itself to its text and fills a TppDrawText;
// TppLabel prints a fixed caption.
#pragma once
#include <cstdint>
#include <string>
#include <vector>

#include "report/engine/ppClass.h"

class TppDrawText;
class TppGroup;

class TppCustomComponent : public TppComponent {
  CLS_DECLARE_CLASS(TppCustomComponent, TppComponent)
 public:
  explicit TppCustomComponent(cls::TComponent* owner);

  // One band pass: placed when it is to be drawn, else complete at once.
  void Generate() override;
  // Reads "ShiftWithBand" and "StretchWithBand" of older streams.
  void DefineProperties(cls::TFiler* filer) override;
  // The page's record: DrawComponent.
  void SaveToCache(int32_t pageIndex) override;
  void RestoreFromCache(int32_t pageIndex) override;

  // After placing: whether the value prints (SpaceUsed 0 suppresses it).
  virtual void DecidePrinting() {}

 protected:
  // The print rectangle and SpaceUsed on the page, or OutOfSpace when the
  // parent stretches and the component no longer fits on this page.
  void PlaceOnPage();
};

// OnGetText (Sender, var Text).
using TppGetTextEvent = cls::TMethodPointer<void(cls::TObject* Sender, std::string& Text)>;

class TppCustomText : public TppCustomComponent {
  CLS_DECLARE_CLASS(TppCustomText, TppCustomComponent)
 public:
  explicit TppCustomText(cls::TComponent* owner);
  // The groups that break on it forget its name; it leaves the save list.
  void BeforeDestruction() override;

  // ---- published ----
  bool CharWrap() const { return charWrap_; }
  void SetCharWrap(bool value);
  bool Save() const { return save_; }
  void SetSave(bool value);
  int32_t SaveLength() const { return saveLength_; }
  void SetSaveLength(int32_t value);
  // The place in the band's save list, -1 without a band or save.
  int16_t SaveOrder() const;
  void SetSaveOrder(int16_t value);
  const std::string& DisplayFormat() const { return displayFormat_; }
  TppGetTextEvent OnGetText;

  int16_t StreamedSaveOrder() const { return streamedSaveOrder_; }
  // Moves the component to ORDER in its band's save list (only with Save).
  void MoveToSaveOrder(int order);
  // Groups whose break value is this component (kept by the groups).
  void RegisterResetGroup(TppGroup* group);
  void UnregisterResetGroup(TppGroup* group);
  int ResetGroupCount() const { return static_cast<int>(resetGroups_.size()); }
  // What decides whether a transparent text needs drawing: False only for
  // a transparent one in a white font.
  bool HasVisibleContent() const;

  // ---- added virtual operations ----
  // The text before OnGetText: the stored text; descendants format here.
  virtual std::string GetDisplayText();
  virtual void SetDisplayFormat(const std::string& value);

  // ---- overrides ----
  void AdjustBounds() override;
  void GetDescription(std::string& text) override;
  void PropertiesToDrawCommand(TppDrawCommand* command) override;
  void SetFont(const gdi::TFont* value) override;
  void SetTextAlignment(TppTextAlignment value) override;
  // The display text, then OnGetText and event 53 (not in design state
  // unless printing).
  void GetText(std::string& text) override;
  void Convert(int64_t version) override;
  void SetBand(TppCustomBand* band) override;
  void SetName(const std::string& name) override;
  void DefineProperties(cls::TFiler* filer) override;
  void Loaded() override;

 protected:
  bool Constructing() const { return constructing_; }

 private:
  std::vector<TppComponent*>* BandSaveList() const;
  void EnterSaveList();
  void LeaveSaveList();

  std::vector<TppGroup*> resetGroups_;
  std::string displayFormat_;
  int16_t streamedSaveOrder_ = -1;
  bool save_ = false;
  int32_t saveLength_ = 0;
  std::string legacyOnSave_;
  bool charWrap_ = false;
  bool constructing_ = true;
};

class TppLabel : public TppCustomText {
  CLS_DECLARE_CLASS(TppLabel, TppCustomText)
 public:
  explicit TppLabel(cls::TComponent* owner);
  // A caption that followed the old user name follows the new one.
  void SetUserName(const std::string& name) override;
};

// Published-property helpers of the components' units: UserName, and
// AutoSize with the class's default.
cls::TPropInfo ppUserNameProperty();
cls::TPropInfo ppAutoSizeProperty(bool defaultValue);

// Publishes the properties of the unit's classes (part of the components
// layer's registration).
void ppRegisterCtrlsUnit();

// ---- scripting ----

class TraTppCustomTextRTTI : public TraTppComponentRTTI {
  RA_DECLARE_RTTI(TraTppCustomTextRTTI, TraTppComponentRTTI, TppCustomText)
};

// A colour by name: a 32-bit value, described as an integer.
TraMember ppColorMember(const std::string& name, gdi::TColor (TppPrintable::*get)() const,
                        void (TppPrintable::*set)(gdi::TColor));
