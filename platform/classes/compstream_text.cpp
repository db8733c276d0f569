// The text form of component streams, converted to and from the binary form.
#include <charconv>
#include <cmath>
#include <cstring>

#include "platform/classes/compstream.h"

namespace cls {

namespace {

std::string ReadAll(TStream* input) {
  int64_t size = input->Size() - input->Position();
  std::string bytes(static_cast<size_t>(size > 0 ? size : 0), '\0');
  if (!bytes.empty()) input->ReadBuffer(bytes.data(), static_cast<int64_t>(bytes.size()));
  return bytes;
}

// Shortest text that reads back as the same value, with "." always.
template <class F>
std::string FloatText(F value) {
  if (!std::isfinite(value)) throw EReadError("Invalid floating point value in stream");
  char buf[64];
  auto res = std::to_chars(buf, buf + sizeof buf, value);
  std::string s(buf, res.ptr);
  if (s.find_first_of(".e") == std::string::npos) s += ".0";
  return s;
}

std::string QuotedText(const std::string& s) {
  std::string out;
  bool quoted = false;
  for (unsigned char ch : s) {
    if (ch < 32) {
      if (quoted) out += '\'';
      quoted = false;
      out += '#' + std::to_string(ch);
    } else {
      if (!quoted) out += '\'';
      quoted = true;
      if (ch == '\'') out += '\'';
      out += static_cast<char>(ch);
    }
  }
  if (quoted) out += '\'';
  if (out.empty()) out = "''";
  return out;
}

class TBinaryToText {
 public:
  TBinaryToText(TBinaryReader& r, std::string& out) : r_(r), out_(out) {}

  void Object(int depth) {
    if (depth > kMaxStreamDepth) throw EReadError("Objects nested too deeply");
    std::string indent(static_cast<size_t>(depth) * 2, ' ');
    std::string className = r_.ReadName();
    std::string name = r_.ReadName();
    if (className.empty()) throw EReadError("Invalid class name in stream");
    out_ += indent + "object " + (name.empty() ? className : name + ": " + className) + "\r\n";
    while (!r_.EndOfList()) {
      std::string prop = r_.ReadName();
      out_ += indent + "  " + prop + " = ";
      Value(depth + 1, 0);
      out_ += "\r\n";
    }
    r_.ReadListEnd();
    while (!r_.EndOfList()) Object(depth + 1);
    r_.ReadListEnd();
    out_ += indent + "end\r\n";
  }

 private:
  void Value(int indentLevel, int nesting) {
    if (nesting > kMaxStreamDepth) throw EReadError("Values nested too deeply");
    std::string indent(static_cast<size_t>(indentLevel) * 2 + 2, ' ');
    switch (r_.PeekType()) {
      case vaList: {
        r_.ReadListBegin();
        out_ += "(";
        while (!r_.EndOfList()) {
          out_ += "\r\n" + indent;
          Value(indentLevel + 1, nesting + 1);
        }
        r_.ReadListEnd();
        out_ += ")";
        return;
      }
      case vaInt8: case vaInt16: case vaInt32: case vaInt64:
        out_ += std::to_string(r_.ReadInteger());
        return;
      case vaDouble:
        out_ += FloatText(r_.ReadFloat());
        return;
      case vaSingle:
        out_ += FloatText(r_.ReadSingle());
        return;
      case vaString:
        out_ += QuotedText(r_.ReadString());
        return;
      case vaIdent: case vaFalse: case vaTrue: case vaNil:
        out_ += r_.ReadIdent();
        return;
      case vaBinary: {
        TMemoryStream bytes;
        r_.ReadBinary(bytes);
        static const char hex[] = "0123456789ABCDEF";
        out_ += "{";
        for (int64_t i = 0; i < bytes.Size(); ++i) {
          if (i % 32 == 0) out_ += "\r\n" + indent;
          uint8_t b = bytes.Memory()[i];
          out_ += hex[b >> 4];
          out_ += hex[b & 15];
        }
        out_ += "}";
        return;
      }
      case vaSet: {
        out_ += "[";
        bool first = true;
        for (const std::string& n : r_.ReadSet()) {
          if (!first) out_ += ", ";
          first = false;
          out_ += n;
        }
        out_ += "]";
        return;
      }
      case vaNull:
        throw EReadError("Unexpected end of list");
    }
  }

  TBinaryReader& r_;
  std::string& out_;
};

// ---- text to binary ----

enum TToken { tkEOF, tkSymbol, tkName, tkInt, tkFloatNum, tkStr };

class TTextParser {
 public:
  explicit TTextParser(const std::string& text) : s_(text) { Next(); }

  void Object(TBinaryWriter& w, int depth) {
    if (depth > kMaxStreamDepth) Fail("Objects nested too deeply");
    if (token_ != tkName || text_ != "object") Fail("'object' expected");
    Next();
    std::string first = Name();
    std::string className = first, name;
    if (IsSymbol(':')) {
      Next();
      name = first;
      className = Name();
    }
    w.WriteName(className);
    w.WriteName(name);
    while (token_ == tkName && text_ != "object" && text_ != "end") {
      std::string prop = text_;
      Next();
      Expect('=');
      w.WriteName(prop);
      Value(w, 0);
    }
    w.WriteListEnd();
    while (token_ == tkName && text_ == "object") Object(w, depth + 1);
    w.WriteListEnd();
    if (token_ != tkName || text_ != "end") Fail("'end' expected");
    Next();
  }

  void End() {
    if (token_ != tkEOF) Fail("Text after the last 'end'");
  }

 private:
  [[noreturn]] void Fail(const std::string& what) {
    throw EReadError(what + " on line " + std::to_string(tokenLine_));
  }

  bool IsSymbol(char c) const { return token_ == tkSymbol && text_.size() == 1 && text_[0] == c; }
  void Expect(char c) {
    if (!IsSymbol(c)) Fail(std::string("'") + c + "' expected");
    Next();
  }
  std::string Name() {
    if (token_ != tkName || text_.size() > 255) Fail("Identifier expected");
    std::string n = text_;
    Next();
    return n;
  }

  static bool NameStart(char c) { return (c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z') || c == '_'; }
  static bool NameChar(char c) { return NameStart(c) || (c >= '0' && c <= '9') || c == '.'; }
  static int HexValue(char c) {
    if (c >= '0' && c <= '9') return c - '0';
    if (c >= 'A' && c <= 'F') return c - 'A' + 10;
    if (c >= 'a' && c <= 'f') return c - 'a' + 10;
    return -1;
  }

  void SkipBlanks() {
    while (p_ < s_.size()) {
      char c = s_[p_];
      if (c == '\n') ++line_;
      if (c == ' ' || c == '\t' || c == '\r' || c == '\n') ++p_;
      else break;
    }
  }

  void Next() {
    SkipBlanks();
    tokenLine_ = line_;
    text_.clear();
    if (p_ >= s_.size()) {
      token_ = tkEOF;
      return;
    }
    char c = s_[p_];
    if (NameStart(c)) {
      while (p_ < s_.size() && NameChar(s_[p_])) text_ += s_[p_++];
      token_ = tkName;
    } else if ((c >= '0' && c <= '9') || c == '-' || c == '+') {
      size_t begin = p_++;
      while (p_ < s_.size() &&
             ((s_[p_] >= '0' && s_[p_] <= '9') || s_[p_] == '.' || s_[p_] == 'e' || s_[p_] == 'E' ||
              ((s_[p_] == '-' || s_[p_] == '+') && (s_[p_ - 1] == 'e' || s_[p_ - 1] == 'E'))))
        ++p_;
      text_ = s_.substr(begin, p_ - begin);
      token_ = text_.find_first_of(".eE") == std::string::npos ? tkInt : tkFloatNum;
    } else if (c == '\'' || c == '#') {
      token_ = tkStr;
      while (p_ < s_.size() && (s_[p_] == '\'' || s_[p_] == '#')) {
        if (s_[p_] == '#') {
          size_t begin = ++p_;
          while (p_ < s_.size() && s_[p_] >= '0' && s_[p_] <= '9' && p_ - begin < 4) ++p_;
          if (p_ == begin || p_ - begin > 3) Fail("Invalid character code");
          int code = std::stoi(s_.substr(begin, p_ - begin));
          if (code > 255) Fail("Invalid character code");
          text_ += static_cast<char>(code);
          continue;
        }
        ++p_;
        for (;;) {
          if (p_ >= s_.size() || s_[p_] == '\n' || s_[p_] == '\r') Fail("Unterminated string");
          if (s_[p_] == '\'') {
            if (p_ + 1 < s_.size() && s_[p_ + 1] == '\'') {
              text_ += '\'';
              p_ += 2;
              continue;
            }
            ++p_;
            break;
          }
          text_ += s_[p_++];
        }
      }
    } else {
      text_ = std::string(1, c);
      ++p_;
      token_ = tkSymbol;
    }
  }

  void Value(TBinaryWriter& w, int nesting) {
    if (nesting > kMaxStreamDepth) Fail("Values nested too deeply");
    switch (token_) {
      case tkInt: {
        int64_t v = 0;
        const char* b = text_.data() + (text_[0] == '+' ? 1 : 0);
        auto res = std::from_chars(b, text_.data() + text_.size(), v);
        if (res.ec != std::errc() || res.ptr != text_.data() + text_.size()) Fail("Invalid integer " + text_);
        w.WriteInteger(v);
        Next();
        return;
      }
      case tkFloatNum: {
        double v = 0;
        const char* b = text_.data() + (text_[0] == '+' ? 1 : 0);
        auto res = std::from_chars(b, text_.data() + text_.size(), v);
        if (res.ec != std::errc() || res.ptr != text_.data() + text_.size() || !std::isfinite(v))
          Fail("Invalid floating point number " + text_);
        w.WriteFloat(v);
        Next();
        return;
      }
      case tkStr:
        w.WriteString(text_);
        Next();
        return;
      case tkName: {
        std::string n = Name();
        if (n == "True") w.WriteBoolean(true);
        else if (n == "False") w.WriteBoolean(false);
        else if (n == "nil") w.WriteNil();
        else w.WriteIdent(n);
        return;
      }
      case tkSymbol:
        if (IsSymbol('[')) {
          Next();
          std::vector<std::string> names;
          if (!IsSymbol(']')) {
            names.push_back(Name());
            while (IsSymbol(',')) {
              Next();
              names.push_back(Name());
            }
          }
          Expect(']');
          w.WriteSet(names);
          return;
        }
        if (IsSymbol('(')) {
          Next();
          w.WriteListBegin();
          while (!IsSymbol(')')) {
            if (token_ == tkEOF) Fail("')' expected");
            Value(w, nesting + 1);
          }
          Next();
          w.WriteListEnd();
          return;
        }
        if (IsSymbol('{')) {
          std::string bytes;
          int high = -1;
          for (;;) {
            SkipBlanks();
            if (p_ >= s_.size()) Fail("'}' expected");
            char c = s_[p_++];
            if (c == '}') break;
            int v = HexValue(c);
            if (v < 0) Fail("Invalid binary value");
            if (high < 0) {
              high = v;
            } else {
              bytes += static_cast<char>(high * 16 + v);
              high = -1;
            }
          }
          if (high >= 0) Fail("Invalid binary value");
          w.WriteBinary(bytes.data(), static_cast<int64_t>(bytes.size()));
          Next();
          return;
        }
        Fail("Invalid property value");
      case tkEOF:
        Fail("Unexpected end of text");
    }
  }

  const std::string& s_;
  size_t p_ = 0;
  int line_ = 1;
  int tokenLine_ = 1;
  TToken token_ = tkEOF;
  std::string text_;
};

}  // namespace

void ObjectBinaryToText(TStream* input, TStream* output) {
  TBinaryReader r(ReadAll(input));
  r.ReadSignature();
  std::string out;
  TBinaryToText(r, out).Object(0);
  output->WriteBuffer(out.data(), static_cast<int64_t>(out.size()));
}

void ObjectTextToBinary(TStream* input, TStream* output) {
  std::string text = ReadAll(input);
  TTextParser parser(text);
  TBinaryWriter w;
  w.WriteSignature();
  parser.Object(w, 0);
  parser.End();
  output->WriteBuffer(w.Bytes().data(), static_cast<int64_t>(w.Bytes().size()));
}

}  // namespace cls
