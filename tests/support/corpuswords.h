// The words of a text, as the RTF corpus tests compare them: runs of ASCII
// letters and digits, and every other character on its own; blanks between
// them are not counted. And the text an independent reader gave of a corpus
// file, in Big5.
#pragma once
#include <cctype>
#include <string>
#include <vector>

#include "platform/sysroot/codepage.h"
#include "tests/support/testroot.h"

namespace testing_support {

inline std::vector<std::string> Big5Words(const std::string& big5) {
  std::vector<std::string> out;
  for (size_t i = 0; i < big5.size();) {
    unsigned char c = static_cast<unsigned char>(big5[i]);
    if (c <= ' ') {
      ++i;
    } else if (std::isalnum(c)) {
      size_t j = i;
      while (j < big5.size() && std::isalnum(static_cast<unsigned char>(big5[j]))) ++j;
      out.push_back(big5.substr(i, j - i));
      i = j;
    } else {
      size_t n = cp::IsBig5Lead(c) && i + 1 < big5.size() ? 2 : 1;
      out.push_back(big5.substr(i, n));
      i += n;
    }
  }
  return out;
}

// UTF-8 text in Big5: a byte-order mark dropped; a bullet, also in the
// private-use form a Symbol font's bullet is written in, read as Big5's dot.
inline std::string Utf8TextAsBig5(std::string utf8) {
  if (utf8.rfind("\xEF\xBB\xBF", 0) == 0) utf8.erase(0, 3);
  for (const char* bullet : {"\xE2\x80\xA2", "\xEF\x82\xB7"})
    for (size_t at; (at = utf8.find(bullet)) != std::string::npos;) utf8.replace(at, 3, "\xE2\x80\xA7");
  return cp::Utf8ToBig5(utf8);
}

// The independent reader's text beside the corpus file RTF (its ".txt").
inline std::string CorpusText(const std::string& rtf) {
  return Utf8TextAsBig5(ReadFile(rtf.substr(0, rtf.size() - 4) + ".txt"));
}

}  // namespace testing_support
