#include "codepage.h"

#include <cerrno>
#include <iconv.h>
#include <map>
#include <memory>
#include <stdexcept>

namespace cp {
namespace {

class Converter {
 public:
  Converter(const char* to, const char* from) : cd_(iconv_open(to, from)) {
    if (cd_ == reinterpret_cast<iconv_t>(-1)) throw std::runtime_error("iconv_open failed");
  }
  ~Converter() { iconv_close(cd_); }
  Converter(const Converter&) = delete;
  Converter& operator=(const Converter&) = delete;

  // Converts IN; an input unit that cannot be converted is skipped (its
  // length given by SKIP) and REPLACEMENT is written in its place.
  template <class Skip>
  std::string Run(const char* in, size_t inLen, std::string_view replacement, Skip skip) {
    iconv(cd_, nullptr, nullptr, nullptr, nullptr);
    std::string out;
    out.reserve(inLen * 2 + 8);
    char buf[1024];
    char* src = const_cast<char*>(in);
    size_t left = inLen;
    while (left > 0) {
      char* dst = buf;
      size_t room = sizeof buf;
      size_t r = iconv(cd_, &src, &left, &dst, &room);
      out.append(buf, static_cast<size_t>(dst - buf));
      if (r == static_cast<size_t>(-1)) {
        if (errno == E2BIG) continue;
        // EILSEQ or EINVAL (incomplete at the end): replace one unit.
        size_t n = std::min(left, skip(reinterpret_cast<const unsigned char*>(src), left));
        src += n;
        left -= n;
        out.append(replacement);
      }
    }
    char* dst = buf;
    size_t room = sizeof buf;
    iconv(cd_, nullptr, nullptr, &dst, &room);
    out.append(buf, static_cast<size_t>(dst - buf));
    return out;
  }

 private:
  iconv_t cd_;
};

size_t Utf8Len(const unsigned char* s, size_t left) {
  size_t n = 1;
  if (s[0] >= 0xF0) n = 4;
  else if (s[0] >= 0xE0) n = 3;
  else if (s[0] >= 0xC0) n = 2;
  // Never swallow bytes that do not continue the sequence.
  size_t i = 1;
  while (i < n && i < left && (s[i] & 0xC0) == 0x80) ++i;
  return i;
}

size_t Big5Len(const unsigned char* s, size_t left) {
  return (IsBig5Lead(s[0]) && left >= 2) ? 2 : 1;
}

size_t Utf16Len(const unsigned char*, size_t) { return 2; }

// UTF-16LE bytes of the units.
std::string Utf16Bytes(std::u16string_view utf16) {
  std::string bytes(utf16.size() * 2, '\0');
  for (size_t i = 0; i < utf16.size(); ++i) {
    bytes[2 * i] = static_cast<char>(utf16[i] & 0xFF);
    bytes[2 * i + 1] = static_cast<char>(utf16[i] >> 8);
  }
  return bytes;
}

// The units of UTF-16LE BYTES.
std::u16string FromUtf16Bytes(const std::string& bytes) {
  std::u16string out(bytes.size() / 2, u'\0');
  for (size_t i = 0; i < out.size(); ++i)
    out[i] = static_cast<char16_t>(static_cast<unsigned char>(bytes[2 * i]) |
                                   (static_cast<unsigned char>(bytes[2 * i + 1]) << 8));
  return out;
}

Converter& Conv(int which) {
  thread_local std::unique_ptr<Converter> c[4];
  static const char* names[4][2] = {
      {"UTF-8", "CP950"}, {"CP950", "UTF-8"}, {"UTF-16LE", "CP950"}, {"CP950", "UTF-16LE"}};
  if (!c[which]) c[which] = std::make_unique<Converter>(names[which][0], names[which][1]);
  return *c[which];
}

}  // namespace

std::string Big5ToUtf8(std::string_view big5) {
  return Conv(0).Run(big5.data(), big5.size(), "?", Big5Len);
}

std::string Utf8ToBig5(std::string_view utf8) {
  return Conv(1).Run(utf8.data(), utf8.size(), "?", Utf8Len);
}

std::u16string Big5ToUtf16(std::string_view big5) {
  return FromUtf16Bytes(Conv(2).Run(big5.data(), big5.size(), std::string_view("?\0", 2), Big5Len));
}

std::string Utf16ToBig5(std::u16string_view utf16) {
  std::string bytes = Utf16Bytes(utf16);
  return Conv(3).Run(bytes.data(), bytes.size(), "?", Utf16Len);
}

namespace {

enum class Direction { FromUtf16, ToUtf16 };

// The converter between a Windows code page and UTF-16; null when iconv
// does not know the code page.
Converter* CodePageConverter(int codePage, Direction direction) {
  thread_local std::map<std::pair<int, Direction>, std::unique_ptr<Converter>> converters;
  auto it = converters.find({codePage, direction});
  if (it == converters.end()) {
    std::unique_ptr<Converter> c;
    if (codePage > 0 && codePage < 100000) {
      const std::string page = "CP" + std::to_string(codePage);
      try {
        c = direction == Direction::ToUtf16 ? std::make_unique<Converter>("UTF-16LE", page.c_str())
                                            : std::make_unique<Converter>(page.c_str(), "UTF-16LE");
      } catch (const std::runtime_error&) {
      }
    }
    it = converters.emplace(std::pair{codePage, direction}, std::move(c)).first;
  }
  return it->second.get();
}

// True when byte C starts a two-byte character of the double-byte code page.
bool IsLeadByte(int codePage, unsigned char c) {
  switch (codePage) {
    case 932: return (c >= 0x81 && c <= 0x9F) || (c >= 0xE0 && c <= 0xFC);
    case 936:
    case 949:
    case 950: return c >= 0x81 && c <= 0xFE;
    case 1361: return (c >= 0x84 && c <= 0xD3) || (c >= 0xD8 && c <= 0xDE) || (c >= 0xE0 && c <= 0xF9);
    default: return false;
  }
}

}  // namespace

std::u16string CodePageToUtf16(int codePage, std::string_view bytes) {
  if (codePage == 950) return Big5ToUtf16(bytes);
  Converter* c = CodePageConverter(codePage, Direction::ToUtf16);
  if (!c) {
    std::u16string out;
    for (char ch : bytes) out += static_cast<unsigned char>(ch) > 0x7F ? u'?' : static_cast<char16_t>(ch);
    return out;
  }
  // One '?' per character: a lead byte takes its trail byte with it.
  auto skip = [codePage](const unsigned char* s, size_t left) {
    return IsLeadByte(codePage, s[0]) && left >= 2 ? size_t{2} : size_t{1};
  };
  return FromUtf16Bytes(c->Run(bytes.data(), bytes.size(), std::string_view("?\0", 2), skip));
}

std::string CodePageToBig5(int codePage, std::string_view bytes) {
  if (codePage == 950) return std::string(bytes);
  return Utf16ToBig5(CodePageToUtf16(codePage, bytes));
}

std::string Utf16ToCodePage(int codePage, std::u16string_view utf16) {
  if (codePage == 950) return Utf16ToBig5(utf16);
  Converter* c = CodePageConverter(codePage, Direction::FromUtf16);
  if (!c) {
    std::string out;
    for (char16_t u : utf16) out += u < 0x80 ? static_cast<char>(u) : '?';
    return out;
  }
  std::string bytes = Utf16Bytes(utf16);
  return c->Run(bytes.data(), bytes.size(), "?", Utf16Len);
}

namespace {
template <class Map>
std::string MapAscii(std::string s, Map map) {
  for (size_t i = 0; i < s.size(); ++i) {
    if (IsBig5Lead(static_cast<unsigned char>(s[i]))) ++i;
    else s[i] = map(s[i]);
  }
  return s;
}
char Up(char c) { return c >= 'a' && c <= 'z' ? static_cast<char>(c - 'a' + 'A') : c; }
char Down(char c) { return c >= 'A' && c <= 'Z' ? static_cast<char>(c - 'A' + 'a') : c; }
}  // namespace

std::string UpperAscii(std::string s) { return MapAscii(std::move(s), Up); }
std::string LowerAscii(std::string s) { return MapAscii(std::move(s), Down); }

bool SameText(std::string_view a, std::string_view b) {
  if (a.size() != b.size()) return false;
  for (size_t i = 0; i < a.size(); ++i) {
    if (IsBig5Lead(static_cast<unsigned char>(a[i])) && i + 1 < a.size()) {
      if (a[i] != b[i] || a[i + 1] != b[i + 1]) return false;
      ++i;
    } else if (Up(a[i]) != Up(b[i])) {
      return false;
    }
  }
  return true;
}

}  // namespace cp
