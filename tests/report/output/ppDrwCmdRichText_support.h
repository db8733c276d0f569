// Rich-text commands for the output tests: a screen double drawing on a
// bitmap, and the command's values through a stream writer and reader.
#pragma once
#include <map>
#include <string>

#include "platform/classes/typinfo.h"
#include "platform/gdi/canvas.h"
#include "report/output/ppDrwCmd.h"

namespace {

// A screen drawing on a bitmap at the screen's resolution, the command at
// its page position.
class TBitmapScreen : public IppScreenDrawing {
 public:
  TBitmapScreen(int w, int h) { bitmap.SetSize(w, h); }
  gdi::TCanvas* ScreenCanvas() override { return &bitmap.Canvas(); }
  void CalcDeviceRect(TppDrawCommand* c) override {
    int ppi = gdi::ScreenPixelsPerInch();
    auto px = [&](int32_t v) { return static_cast<int32_t>(int64_t{v} * ppi / 25400); };
    c->SetDrawRect(MakeRect(px(c->Left()), px(c->Top()), px(c->Left() + c->Width()), px(c->Top() + c->Height())));
  }
  gdi::TBitmap bitmap;
};

// The defined properties' binary values, as a component stream keeps them.
class TBinaryFiler : public cls::TFiler, public cls::TWriter, public cls::TReader {
 public:
  void DefineProperty(const std::string& name, ReadProc read, WriteProc write, bool hasData) override {
    if (reading_) {
      if (read && values.count(name)) {
        current_ = values[name];
        read(*this);
      }
    } else if (write && hasData) {
      name_ = name;
      write(*this);
    }
  }
  void Write(TppDrawCommand* c) {
    reading_ = false;
    c->DefineProperties(this);
  }
  void Read(TppDrawCommand* c) {
    reading_ = true;
    c->DefineProperties(this);
  }
  std::map<std::string, std::string> values;

  void WriteInteger(int64_t) override {}
  void WriteFloat(double) override {}
  void WriteString(const std::string&) override {}
  void WriteIdent(const std::string&) override {}
  void WriteBoolean(bool) override {}
  void WriteBinary(const void* data, int64_t size) override {
    values[name_].assign(static_cast<const char*>(data), static_cast<size_t>(size));
  }
  cls::TValueKind NextValue() override { return cls::vkBinary; }
  int64_t ReadInteger() override { return 0; }
  double ReadFloat() override { return 0; }
  std::string ReadString() override { return {}; }
  std::string ReadIdent() override { return {}; }
  bool ReadBoolean() override { return false; }
  void SkipValue() override {}
  bool EndOfList() override { return true; }
  std::string ReadPropName() override { return {}; }
  int64_t Position() override { return 0; }
  void SetPosition(int64_t) override {}
  void ReadBinary(cls::TStream& stream) override {
    if (!current_.empty()) stream.WriteBuffer(current_.data(), static_cast<int64_t>(current_.size()));
  }

 private:
  bool reading_ = false;
  std::string name_, current_;
};

// "RTFStream" holding LENGTH and then BYTES.
[[maybe_unused]] std::string RtfStreamValue(int32_t length, const std::string& bytes) {
  std::string v(4, '\0');
  for (int i = 0; i < 4; ++i) v[static_cast<size_t>(i)] = static_cast<char>((static_cast<uint32_t>(length) >> (8 * i)) & 0xFF);
  return v + bytes;
}

[[maybe_unused]] void Bounds(TppDrawCommand* c, int32_t left, int32_t top, int32_t width, int32_t height) {
  c->SetLeft(left);
  c->SetTop(top);
  c->SetWidth(width);
  c->SetHeight(height);
}

[[maybe_unused]] void SetRtf(TppDrawRichText* c, const std::string& rtf) {
  c->RichTextStream()->Clear();
  c->RichTextStream()->WriteBuffer(rtf.data(), static_cast<int64_t>(rtf.size()));
}

}  // namespace
