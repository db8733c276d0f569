// Rich text: an RTF document held in a hidden rich edit. A stretching rich
// text prints, page by page, the character range that fits the room left
// and goes on from the next character on the next page (StartCharPos and
// EndCharPos, kept with each page's cache record). TppRichText holds its
// text and can merge data fields into it; TppDBRichText takes it from a
// data field or OnGetRichText.
#pragma once
#include <cstdint>
#include <string>

#include "platform/classes/streams.h"
#include "platform/ui/richedit.h"
#include "report/engine/ppStrtch.h"

class TppCustomRichText : public TppStretchable {
  CLS_DECLARE_CLASS(TppCustomRichText, TppStretchable)
 public:
  explicit TppCustomRichText(cls::TComponent* owner);
  void BeforeDestruction() override;

  int32_t StartCharPos() const { return startCharPos_; }
  int32_t EndCharPos() const { return endCharPos_; }
  bool MailMerge() const { return mailMerge_; }
  void SetMailMerge(bool value);
  ui::TRichEdit* RichEdit() const { return editor_; }
  // The editor printing uses: the merge editor while merging.
  ui::TRichEdit* PrintEditor() const { return mailMerge_ && mergeEditor_ ? mergeEditor_ : editor_; }
  // The stream's bytes, loaded into the editor, with the text limit raised
  // to the stream's size when one is set below it.
  void LoadRTFStream(cls::TStream& stream);
  // Files by their Windows names; a file that cannot be read raises
  // EFOpenError and leaves the text as it was.
  void LoadFromFile(const std::string& fileName);
  void LoadFromRTFStream(cls::TStream& stream);
  void SaveToFile(const std::string& fileName);
  void SaveToRTFStream(cls::TStream& stream);
  // Forward from START within LENGTH characters; -1 when not found.
  int FindText(const std::string& searchText, int start, int length, bool wholeWord, bool matchCase);
  // The markers "<name>" of the report pipeline's fields (or aliases) in
  // the merge editor replaced by the fields' values.
  void MergeFields();

  // ---- virtual operations, in slot order ----
  // The RTF stream's bytes; empty when the editor has no lines.
  virtual std::string GetRichText();
  virtual cls::TMemoryStream* GetRichTextStream();
  // With MailMerge, the editor's text copied into the merge editor.
  virtual void PrepareMailMerge();
  virtual void RichTextChanged() {}
  virtual void SetRichText(const std::string& value);
  virtual void RichTextLoaded() {}

  // ---- overrides ----
  bool HasFont() override { return false; }
  void InitGeneration() override;
  void CalcPrintExtent() override;
  void PropertiesToDrawCommand(TppDrawCommand* command) override;
  // The page's record: DrawComponent, ShiftersStarted, KeptTogether,
  // ShifterResumeIndex, OverFlow, PartialGeneration, StartCharPos,
  // EndCharPos.
  void SaveToCache(int32_t pageIndex) override;
  void RestoreFromCache(int32_t pageIndex) override;
  // Design painting needs a report designer.
  void PaintDesignControl(gdi::TCanvas*) override {}

 protected:
  cls::TMemoryStream& Stream() { return stream_; }
  // The editor's text into the RTF stream.
  void StoreEditor();

 private:
  int32_t endCharPos_ = -1;
  bool mailMerge_ = false;
  bool printed_ = false;
  ui::TRichEdit* mergeEditor_ = nullptr;
  ui::TRichEdit* editor_ = nullptr;
  cls::TMemoryStream stream_;
  int32_t startCharPos_ = -1;
};

class TppRichText : public TppCustomRichText {
  CLS_DECLARE_CLASS(TppRichText, TppCustomRichText)
 public:
  // Popup items Edit (the registered rich-text editor) and MailMerge.
  void CreatePopupMenu(TppPopupMenu*& menu) override;
  explicit TppRichText(cls::TComponent* owner);
  // The RTF of the text (published "RichText").
  std::string RichText() { return GetRichText(); }
  void SetRichText(const std::string& value) override;
  void RichTextChanged() override { StoreEditor(); }
  void RichTextLoaded() override;
};

// OnGetRichText (Sender, var Text).
using TppRichTextEvent = cls::TMethodPointer<void(cls::TObject* Sender, std::string& Text)>;

class TppDBRichText : public TppCustomRichText {
  CLS_DECLARE_CLASS(TppDBRichText, TppCustomRichText)
 public:
  explicit TppDBRichText(cls::TComponent* owner);
  bool AutoDisplay() const { return autoDisplay_; }
  void SetAutoDisplay(bool value);
  TppRichTextEvent OnGetRichText;

  // From OnGetRichText, else event 53's non-empty text, else the field.
  cls::TMemoryStream* GetRichTextStream() override;
  // The field's value as the rich text when AutoDisplay and data is there.
  void RichTextChanged() override;
  void SetDataField(const std::string& value) override;
  bool IsDataAware() override { return true; }
  void Notify(TppCommunicator* communicator, uint8_t operation) override;

 private:
  bool autoDisplay_ = true;
};

void ppRegisterRichTextUnit();

// ---- scripting ----

class TraTppCustomRichTextRTTI : public TraTppStretchableRTTI {
  RA_DECLARE_RTTI(TraTppCustomRichTextRTTI, TraTppStretchableRTTI, TppCustomRichText)
};

class TraTppDBRichTextRTTI : public TraTppCustomRichTextRTTI {
  RA_DECLARE_RTTI(TraTppDBRichTextRTTI, TraTppCustomRichTextRTTI, TppDBRichText)
};
