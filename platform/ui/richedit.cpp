#include "platform/ui/richedit.h"

#include <mutex>

#include "platform/classes/typinfo.h"

namespace ui {

CLS_IMPLEMENT_CLASS(TRichEditStrings)
CLS_IMPLEMENT_COMPONENT(TRichEdit)

// ---- lines ----

int TRichEditStrings::Count() const { return static_cast<int>(owner_->Document().Lines().size()); }

std::string TRichEditStrings::Strings(int index) const {
  std::vector<std::string> lines = owner_->Document().Lines();
  return index >= 0 && index < static_cast<int>(lines.size()) ? lines[static_cast<size_t>(index)] : std::string();
}

std::string TRichEditStrings::Text() const {
  std::string out;
  for (const std::string& line : owner_->Document().Lines()) out += line + "\r\n";
  return out;
}

void TRichEditStrings::SetText(const std::string& text) {
  richedit::Document& d = owner_->Document();
  d.Clear();
  d.ReplaceSelection(text);
  d.SetSelection(0, 0);
}

void TRichEditStrings::Clear() { owner_->Document().Clear(); }

void TRichEditStrings::LoadFromStream(cls::TStream& stream) {
  int64_t size = stream.Size() - stream.Position();
  std::string bytes(static_cast<size_t>(size > 0 ? size : 0), '\0');
  if (!bytes.empty()) stream.ReadBuffer(bytes.data(), static_cast<int64_t>(bytes.size()));
  owner_->Document().Load(bytes);
}

void TRichEditStrings::SaveToStream(cls::TStream& stream) const {
  std::string rtf = owner_->Document().SaveRtf();
  stream.WriteBuffer(rtf.data(), static_cast<int64_t>(rtf.size()));
}

void TRichEditStrings::LoadFromFile(const std::string& fileName) {
  cls::TFileStream file(fileName, cls::fmOpenRead | cls::fmShareDenyNone);
  LoadFromStream(file);
}

void TRichEditStrings::SaveToFile(const std::string& fileName) const {
  cls::TFileStream file(fileName, cls::fmCreate);
  SaveToStream(file);
}

void TRichEditStrings::Assign(cls::TPersistent* source) {
  if (auto* other = cls::ObjectAs<TRichEditStrings>(source)) {
    if (other != this) owner_->Document().Load(other->owner_->Document().SaveRtf());
    return;
  }
  TPersistent::Assign(source);
}

// ---- control ----

TRichEdit::TRichEdit(TComponent* AOwner) : TWinControl(AOwner) {
  SetBounds(0, 0, 185, 89);
  Color = gdi::clWindow;
}

bool TRichEdit::ProtectChange(int start, int end) {
  bool allow = true;
  if (OnProtectChange) OnProtectChange(this, start, end, allow);
  return allow;
}

void TRichEdit::SetSelText(const std::string& text) {
  if (!ProtectChange(SelStart(), SelStart() + SelLength())) return;
  doc_.ReplaceSelection(text);
}

void TRichEdit::SetSelAttributes(const richedit::CharFormat& format) {
  doc_.ChangeSelectionFormat([&](richedit::CharFormat& f) { f = format; });
}

int TRichEdit::FindText(const std::string& text, int start, int length, TSearchTypes options) {
  return doc_.Find(text, start, length, options & stWholeWord, options & stMatchCase);
}

void RegisterRichEditClass() {
  static std::once_flag once;
  std::call_once(once, [] {
    static const cls::TTypeInfo* strings =
        cls::MakeClassTypeInfo("TRichEditStrings", &TRichEditStrings::StaticClass());
    cls::TPropInfo lines;
    lines.Name = "Lines";
    lines.Type = strings;
    lines.GetObj = [](cls::TObject* o) -> cls::TObject* { return static_cast<TRichEdit*>(o)->Lines(); };
    lines.SetObj = [](cls::TObject* o, cls::TObject* v) {
      if (v) static_cast<TRichEdit*>(o)->Lines()->Assign(static_cast<cls::TPersistent*>(v));
    };
    cls::PublishProperty(TRichEdit::StaticClass(), lines);
    cls::PublishProperty(TRichEdit::StaticClass(),
                         cls::MethodProperty<TRichEdit>("OnProtectChange", &TRichEdit::OnProtectChange));
  });
}

}  // namespace ui
