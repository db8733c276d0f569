// The document's text, formats, selection and search.
#include <algorithm>

#include "platform/richedit/richedit.h"
#include "platform/richedit/match.h"
#include "platform/sysroot/codepage.h"

namespace richedit {

namespace {

std::string FormatKey(const CharFormat& f) {
  std::string k = f.face;
  k += '\0';
  for (int v : {f.charset, f.halfPoints, int(f.bold), int(f.italic), int(f.underline), int(f.color.has_value()),
                int(f.color.value_or(0)), int(f.back.has_value()), int(f.back.value_or(0))}) {
    k += std::to_string(v);
    k += ',';
  }
  return k;
}

}  // namespace

std::string CleanBig5(std::string_view bytes, bool lines) {
  std::string out;
  out.reserve(bytes.size());
  for (size_t i = 0; i < bytes.size(); ++i) {
    unsigned char c = static_cast<unsigned char>(bytes[i]);
    if (c == '\r' || c == '\n') {
      if (lines) out += '\r';
      if (c == '\r' && i + 1 < bytes.size() && bytes[i + 1] == '\n') ++i;
    } else if (c == '\t' || (c >= 0x20 && c < 0x80)) {
      out += static_cast<char>(c);
    } else if (c >= 0x80) {
      if (cp::IsBig5Lead(c) && i + 1 < bytes.size() && cp::IsBig5Trail(static_cast<unsigned char>(bytes[i + 1]))) {
        out += static_cast<char>(c);
        out += bytes[++i];
      } else {
        out += '?';
      }
    }
  }
  return out;
}

Document::Document() { Clear(); }

void Document::Clear() {
  chars_.clear();
  formats_.clear();
  formatIndex_.clear();
  paras_.assign(1, ParaFormat{});
  paraStartsValid_ = false;
  selStart_ = selLength_ = 0;
}

int Document::FormatIndex(const CharFormat& f) {
  std::string key = FormatKey(f);
  auto it = formatIndex_.find(key);
  if (it != formatIndex_.end()) return it->second;
  formats_.push_back(f);
  int index = static_cast<int>(formats_.size()) - 1;
  formatIndex_.emplace(std::move(key), index);
  return index;
}

void Document::Append(std::string_view big5, const CharFormat& format) {
  if (big5.empty() || Full()) return;
  int fmt = FormatIndex(format);
  for (size_t i = 0; i < big5.size() && !Full(); ++i) {
    Char c{{big5[i], 0}, 1, fmt};
    if (cp::IsBig5Lead(static_cast<unsigned char>(big5[i])) && i + 1 < big5.size()) {
      c.b[1] = big5[++i];
      c.n = 2;
    }
    if (c.n == 1 && c.b[0] == '\r') {
      paras_.push_back(paras_.back());
      paraStartsValid_ = false;
    }
    chars_.push_back(c);
  }
}

void Document::EndParagraph(const CharFormat& format, const ParaFormat& paragraph) {
  if (Full()) return;
  paras_.back() = paragraph;
  Append("\r", format);
}

void Document::SetParagraphFormat(int index, const ParaFormat& format) {
  if (index >= 0 && index < ParagraphCount()) paras_[static_cast<size_t>(index)] = format;
}

std::string Document::Text() const { return TextRange(0, Length() - 1); }

std::string Document::TextRange(int first, int last) const {
  first = std::max(first, 0);
  last = std::min(last, Length() - 1);
  std::string out;
  for (int i = first; i <= last; ++i) out.append(chars_[static_cast<size_t>(i)].b, chars_[static_cast<size_t>(i)].n);
  return out;
}

std::vector<std::string> Document::Lines() const {
  std::vector<std::string> lines(1);
  for (const Char& c : chars_) {
    if (c.n == 1 && c.b[0] == '\r') lines.emplace_back();
    else lines.back().append(c.b, c.n);
  }
  if (chars_.empty()) lines.clear();
  return lines;
}

CharFormat Document::FormatAt(int pos) const {
  if (pos < 0 || pos >= Length()) return CharFormat{};
  return formats_[static_cast<size_t>(chars_[static_cast<size_t>(pos)].fmt)];
}

int Document::ParagraphIndex(int pos) const {
  if (!paraStartsValid_) {
    paraStarts_.assign(1, 0);
    for (int i = 0; i < Length(); ++i)
      if (chars_[static_cast<size_t>(i)].n == 1 && chars_[static_cast<size_t>(i)].b[0] == '\r')
        paraStarts_.push_back(i + 1);
    paraStartsValid_ = true;
  }
  auto it = std::upper_bound(paraStarts_.begin(), paraStarts_.end(), pos);
  return static_cast<int>(it - paraStarts_.begin()) - 1;
}

const ParaFormat& Document::ParagraphAt(int pos) const {
  int p = std::clamp(ParagraphIndex(std::max(pos, 0)), 0, ParagraphCount() - 1);
  return paras_[static_cast<size_t>(p)];
}

// ---- selection ----

void Document::SetSelection(int start, int length) {
  selStart_ = std::clamp(start, 0, Length());
  selLength_ = std::clamp(length, 0, Length() - selStart_);
}

std::string Document::SelText() const { return TextRange(selStart_, selStart_ + selLength_ - 1); }

void Document::ReplaceSelection(std::string_view text) {
  CharFormat format = SelectionFormat();
  int start = selStart_, end = selStart_ + selLength_;
  // Paragraphs joined by the removed ends lose their formats.
  int removedEnds = 0;
  for (int i = start; i < end; ++i)
    if (chars_[static_cast<size_t>(i)].n == 1 && chars_[static_cast<size_t>(i)].b[0] == '\r') ++removedEnds;
  int para = ParagraphIndex(start);
  paras_.erase(paras_.begin() + para + 1, paras_.begin() + para + 1 + removedEnds);
  std::vector<Char> tail(chars_.begin() + end, chars_.end());
  chars_.resize(static_cast<size_t>(start));
  // Appended paragraphs copy the last one; they belong after PARA.
  std::vector<ParaFormat> after(paras_.begin() + para + 1, paras_.end());
  paras_.resize(static_cast<size_t>(para) + 1);
  std::string clean = CleanBig5(text, true);
  if (maxLength_ > 0) {
    int room = maxLength_ - start - static_cast<int>(tail.size());
    Document probe;
    probe.Append(clean, format);
    if (room < probe.Length()) clean = probe.TextRange(0, room - 1);
  }
  Append(clean, format);
  int caret = Length();
  chars_.insert(chars_.end(), tail.begin(), tail.end());
  paras_.insert(paras_.end(), after.begin(), after.end());
  paraStartsValid_ = false;
  selStart_ = caret;
  selLength_ = 0;
}

CharFormat Document::SelectionFormat() const {
  if (selLength_ > 0) return FormatAt(selStart_);
  if (selStart_ > 0) return FormatAt(selStart_ - 1);
  return FormatAt(0);
}

void Document::ChangeSelectionFormat(const std::function<void(CharFormat&)>& change) {
  for (int i = selStart_; i < selStart_ + selLength_; ++i) {
    Char& c = chars_[static_cast<size_t>(i)];
    CharFormat f = formats_[static_cast<size_t>(c.fmt)];
    change(f);
    c.fmt = FormatIndex(f);
  }
}

// ---- search ----

int Document::Find(std::string_view what, int start, int length, bool wholeWord, bool matchCase) const {
  const std::string pattern = CleanBig5(what, true);
  start = std::clamp(start, 0, Length());
  const int end = length < 0 ? Length() : std::min(Length(), start + length);
  // The text's bytes and where each character starts.
  std::string bytes;
  std::vector<size_t> starts;
  bytes.reserve(chars_.size());
  starts.reserve(chars_.size() + 1);
  for (const Char& c : chars_) {
    starts.push_back(bytes.size());
    // A byte pair that is no Big5 character, or a lone high byte, reads as
    // the reader's '?', so that the characters split here as they are kept.
    std::string_view text(c.b, c.n);
    if (CharLength(text, 0) != c.n || (c.n == 1 && static_cast<unsigned char>(c.b[0]) >= 0x80))
      bytes.append(c.n, '?');
    else
      bytes.append(text);
  }
  starts.push_back(bytes.size());
  size_t at = FindText(bytes, pattern, starts[static_cast<size_t>(start)], starts[static_cast<size_t>(std::max(end, start))],
                       wholeWord, matchCase);
  if (at == std::string_view::npos) return -1;
  return static_cast<int>(std::lower_bound(starts.begin(), starts.end(), at) - starts.begin());
}

}  // namespace richedit
