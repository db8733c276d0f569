// UTF-8 <-> UTF-16 for the page's strings; malformed input becomes U+FFFD.
#pragma once
#include <string>

namespace page {

std::u16string Utf8ToUtf16(const std::string& s);
std::string Utf16ToUtf8(const std::u16string& s);

}  // namespace page
