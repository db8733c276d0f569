// Memos: multi-line text wrapped to the memo's width. A stretching memo
// takes the room left on the page, prints the lines that fit and goes on
// with the rest on the next page from the byte where it stopped (CharPos,
// kept with each page's cache record). TppMemo holds its lines; TppDBMemo
// takes them from a data field or OnGetMemo.
#pragma once
#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "platform/classes/streams.h"
#include "report/engine/ppStrtch.h"
#include "report/output/ppPlainText.h"

class TppCustomMemo : public TppStretchable {
  CLS_DECLARE_CLASS(TppCustomMemo, TppStretchable)
 public:
  // Popup items CharWrap, KeepTogether, ForceJustifyLastLine, Transparent.
  void CreatePopupMenu(TppPopupMenu*& menu) override;
  explicit TppCustomMemo(cls::TComponent* owner);

  // Where the next page continues in the text (0: the start).
  int32_t CharPos() const { return charPos_; }
  bool CharWrap() const { return charWrap_; }
  void SetCharWrap(bool value);
  int32_t mmLeading() const { return mmLeading_; }
  // Extra space per line, in Units.
  float Leading() const;
  void SetLeading(float value);
  // In Units (the stored thousandths while loading or writing).
  cls::TStringList* TabStopPositions();
  void SetTabStopPositions(const cls::TStringList* value);
  const cls::TStringList& StoredTabStops() const { return tabStops_; }

  // ---- virtual operations, in slot order ----
  virtual cls::TStringList* GetLines();
  virtual cls::TMemoryStream* GetMemoStream();
  virtual cls::TStringList* GetPrintLines();
  // The lines into the memo stream.
  virtual void LinesChanged();
  virtual void SetLines(const cls::TStringList* value);
  // The memo stream's bytes.
  virtual std::string GetMemoBuffer();

  // ---- overrides ----
  // Every line followed by CR LF.
  void GetText(std::string& text) override;
  // The lines from TEXT (split at CR LF, CR or LF); no change notice.
  void SetText(const std::string& value) override;
  bool CanJustify() override { return true; }
  void Convert(int64_t version) override;
  void FontChanged() override;
  void InitGeneration() override;
  void PropertiesToDrawCommand(TppDrawCommand* command) override;
  void CalcPrintExtent() override;
  // The page's record: DrawComponent, ShiftersStarted, KeptTogether,
  // ShifterResumeIndex, OverFlow, PartialGeneration, CharPos.
  void SaveToCache(int32_t pageIndex) override;
  void RestoreFromCache(int32_t pageIndex) override;
  void DefineProperties(cls::TFiler* filer) override;

 protected:
  cls::TStringList& LinesList() { return lines_; }

 private:
  // Wraps TEXT from CharPos into the print rectangle.
  void WrapToPrintRect(const std::shared_ptr<const std::string>& text);
  // The text of Lines, joined again only when Lines has changed.
  const std::shared_ptr<const std::string>& LinesText();
  // The lines into the memo stream when LinesChanged asked for it.
  void WriteMemoStream();

  // The text wrapped at the print rectangle's width, within one generation
  // (the printer stays): a page takes its lines from it wherever it
  // starts, whatever room the page leaves.
  std::vector<std::unique_ptr<TppWrappedText>> wraps_;

  int32_t charPos_ = 0;
  bool charWrap_ = false;
  cls::TStringList tabStopsInUnits_;
  int32_t mmLeading_ = 0;
  cls::TStringList lines_;
  std::shared_ptr<const std::string> linesText_;
  uint64_t linesTextChanges_ = 0;
  int32_t linesTextLength_ = 0;  // the bytes before the first NUL: where the wrapper's text ends
  cls::TMemoryStream memoStream_;
  bool streamStale_ = false;
  cls::TStringList printLines_;
  cls::TStringList tabStops_;
};

class TppMemo : public TppCustomMemo {
  CLS_DECLARE_CLASS(TppMemo, TppCustomMemo)
 public:
  // Popup item Lines (the registered memo dialog).
  void CreatePopupMenu(TppPopupMenu*& menu) override;
  explicit TppMemo(cls::TComponent* owner);
  // Also a design notice and the change event.
  void SetLines(const cls::TStringList* value) override;
};

// OnGetMemo (Sender, Lines).
using TppGetMemoEvent = cls::TMethodPointer<void(cls::TObject* Sender, cls::TStringList* Lines)>;

class TppDBMemo : public TppCustomMemo {
  CLS_DECLARE_CLASS(TppDBMemo, TppCustomMemo)
 public:
  // Popup items AutoDisplay and SuppressRepeatedValues.
  void CreatePopupMenu(TppPopupMenu*& menu) override;
  explicit TppDBMemo(cls::TComponent* owner);

  bool AutoDisplay() const { return autoDisplay_; }
  void SetAutoDisplay(bool value);
  bool SuppressRepeatedValues() const { return suppressRepeatedValues_; }
  void SetSuppressRepeatedValues(bool value);
  bool IsRepeated() const { return isRepeated_; }
  TppGetMemoEvent OnGetMemo;

  // The lines from OnGetMemo and event 86 while printing, else from the
  // data field when data is available.
  void LinesChanged() override;
  void SetDataField(const std::string& value) override;
  bool IsDataAware() override { return true; }
  bool NeedsResetAtStart() override { return suppressRepeatedValues_; }
  void InitGeneration() override;
  void Reset() override;
  void CalcPrintExtent() override;
  void EventNotify(TppCommunicator* sender, int eventId, TraParamList* params) override;
  void Notify(TppCommunicator* communicator, uint8_t operation) override;

 private:
  void DoOnGetMemo(cls::TStringList* lines);
  void CheckRepeated();

  bool autoDisplay_ = true;
  bool repeatPrinted_ = false;
  std::string lastText_;
  bool isRepeated_ = false;
  bool suppressRepeatedValues_ = false;
};

void ppRegisterMemoUnit();

// ---- scripting ----

class TraTppCustomMemoRTTI : public TraTppStretchableRTTI {
  RA_DECLARE_RTTI(TraTppCustomMemoRTTI, TraTppStretchableRTTI, TppCustomMemo)
};

class TraTppDBMemoRTTI : public TraTppCustomMemoRTTI {
  RA_DECLARE_RTTI(TraTppDBMemoRTTI, TraTppCustomMemoRTTI, TppDBMemo)
};
