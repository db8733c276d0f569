// The word wrapper on any bytes. The first bytes choose the width, the
// lines a run has room for and the options; the rest is the text. Wrapping
// run by run from the returned position must move on every run and give
// the text back: every byte but blanks and line breaks, in order, once, with
// no line ending inside a Big5 character; the text's kept lines give every
// run the same.
#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <memory>
#include <string>
#include <vector>

#include "fuzz/fuzz_support.h"
#include "platform/gdi/fonts.h"
#include "platform/sysroot/codepage.h"
#include "report/model/ppUtils.h"
#include "report/output/ppPlainText.h"

namespace {

bool Dropped(char c) { return c == ' ' || c == '\r' || c == '\n'; }

// The kept bytes of TEXT and, for each, its index in TEXT.
void Normalize(const std::string& text, std::string& kept, std::vector<size_t>& index) {
  for (size_t i = 0; i < text.size(); ++i) {
    if (TppTextMarkups::IsEndOfParagraphAt(text, i)) {
      ++i;
      continue;
    }
    if (!Dropped(text[i])) kept += text[i], index.push_back(i);
  }
}

}  // namespace

extern "C" int LLVMFuzzerInitialize(int*, char***) {
  fuzz_support::Init();
  gdi::SetDeterministicMetrics(true);
  return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  if (size < 3) return 0;
  const int columns = data[0] % 40;  // 10 pixels each, 0: narrower than a byte
  const int rows = 1 + data[1] % 6;
  const bool charWrap = data[2] & 1, autoSize = data[2] & 2;
  const TppTextAlignment alignment = data[2] & 4 ? taFullJustified : taLeftJustified;
  cls::TStringList tabStops;
  if (data[2] & 8) tabStops.Add(std::to_string(ConvertToMMThousandths(35, utScreenPixels)));
  // Longer texts find nothing new and make each input slow.
  std::string text(reinterpret_cast<const char*>(data) + 3, std::min<size_t>(size - 3, 4096));
  const std::string whole = text.substr(0, text.find('\0'));

  gdi::TFont font;
  font.SetHeight(-20);
  const int lineHeight = ConvertToMMThousandths(20, utScreenPixels, ppVertical);
  const win::RECT rect{0, 0, ConvertToMMThousandths(columns * 10.0f, utScreenPixels), rows * lineHeight + 1};
  const std::string eop = TppTextMarkups::EndOfParagraph();

  std::string out;
  std::vector<size_t> lineEnds;  // in OUT
  cls::TStringList lines, keptLines;
  // The lines kept for the text give each run what the run gives.
  TppWrappedText wrapped(std::make_shared<const std::string>(text), rect.right, font, &tabStops, 0, charWrap,
                         alignment, autoSize);
  int pos = 0;
  while (pos < static_cast<int>(whole.size())) {
    int next = pos, keptNext = pos;
    TppPlainText::WrapText(text, rect, &lines, next, nullptr, &tabStops, 0, charWrap, font, autoSize, alignment);
    wrapped.WrapText(rect, &keptLines, keptNext, nullptr);
    if (keptNext != next || keptLines.Text() != lines.Text()) std::abort();
    if (next <= pos || next > static_cast<int>(whole.size())) std::abort();  // no progress, or past the end
    if (lines.Count() == 0 || lines.Count() > rows) std::abort();
    for (int i = 0; i < lines.Count(); ++i) {
      std::string line = lines.Strings(i);
      if (alignment == taFullJustified && line.size() >= 2 && line.compare(line.size() - 2, 2, eop) == 0)
        line.resize(line.size() - 2);
      for (char c : line)
        if (!Dropped(c)) out += c;
      lineEnds.push_back(out.size());
    }
    pos = next;
  }

  std::string kept;
  std::vector<size_t> index;
  Normalize(whole, kept, index);
  if (out != kept) std::abort();  // lost, repeated or changed text

  // Lines end between characters of the text.
  std::vector<bool> boundary(whole.size() + 1, false);
  for (size_t i = 0; i < whole.size();) {
    boundary[i] = true;
    i += i + 1 < whole.size() && cp::IsBig5Lead(static_cast<unsigned char>(whole[i])) &&
                 cp::IsBig5Trail(static_cast<unsigned char>(whole[i + 1]))
             ? 2
             : 1;
  }
  boundary[whole.size()] = true;
  for (size_t end : lineEnds)
    if (end > 0 && !boundary[index[end - 1] + 1]) std::abort();
  return 0;
}
