// The class library's rich-edit control over a rich-text document: lines
// that load and save RTF, the selection and its attributes, a text limit,
// forward search and the protect-change question.
#pragma once
#include <string>

#include "platform/classes/streams.h"
#include "platform/richedit/richedit.h"
#include "platform/ui/controls.h"

namespace ui {

class TRichEdit;

// The control's paragraphs. Streams and files load RTF (plain text when it
// is not RTF) and save RTF.
class TRichEditStrings : public cls::TPersistent {
  CLS_DECLARE_CLASS(TRichEditStrings, cls::TPersistent)
 public:
  explicit TRichEditStrings(TRichEdit* owner) : owner_(owner) {}
  int Count() const;
  std::string Strings(int index) const;
  // The paragraphs joined by CR LF; SetText loads plain text.
  std::string Text() const;
  void SetText(const std::string& text);
  void Clear();
  // From the stream's position to its end.
  void LoadFromStream(cls::TStream& stream);
  void SaveToStream(cls::TStream& stream) const;
  // Files by their Windows names. A file that cannot be read raises
  // EFOpenError and leaves the text as it was.
  void LoadFromFile(const std::string& fileName);
  void SaveToFile(const std::string& fileName) const;
  // Another control's lines are copied as RTF.
  void Assign(cls::TPersistent* source) override;

 private:
  TRichEdit* owner_;
};

enum TSearchType : unsigned { stWholeWord = 1, stMatchCase = 2 };
using TSearchTypes = unsigned;

using TRichEditProtectChange =
    cls::TMethodPointer<void(cls::TObject* Sender, int StartPos, int EndPos, bool& AllowChange)>;

class TRichEdit : public TWinControl {
  CLS_DECLARE_CLASS(TRichEdit, TWinControl)
 public:
  explicit TRichEdit(TComponent* AOwner);

  TRichEditStrings* Lines() { return &lines_; }
  richedit::Document& Document() { return doc_; }
  const richedit::Document& Document() const { return doc_; }
  int GetTextLen() const { return doc_.Length(); }

  int SelStart() const { return doc_.SelStart(); }
  void SetSelStart(int v) { doc_.SetSelection(v, 0); }
  int SelLength() const { return doc_.SelLength(); }
  void SetSelLength(int v) { doc_.SetSelection(doc_.SelStart(), v); }
  std::string SelText() const { return doc_.SelText(); }
  // Replaces the selection unless OnProtectChange refuses.
  void SetSelText(const std::string& text);
  richedit::CharFormat SelAttributes() const { return doc_.SelectionFormat(); }
  void SetSelAttributes(const richedit::CharFormat& format);
  // 0: no limit.
  int MaxLength() const { return doc_.MaxLength(); }
  void SetMaxLength(int v) { doc_.SetMaxLength(v); }
  // Forward from START within LENGTH characters; -1 when not found.
  virtual int FindText(const std::string& text, int start, int length, TSearchTypes options);

  TScrollStyle ScrollBars = TScrollStyle::ssBoth;
  bool HideScrollBars = true;
  TRichEditProtectChange OnProtectChange;
  // Asks OnProtectChange about changing START..END; allowed without one.
  bool ProtectChange(int start, int end);

 private:
  richedit::Document doc_;
  TRichEditStrings lines_{this};
};

// Publishes "Lines" and "OnProtectChange" (once).
void RegisterRichEditClass();

}  // namespace ui
