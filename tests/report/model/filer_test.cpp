#include <gtest/gtest.h>

#include <map>
#include <string>
#include <vector>

#include "report/model/ppRelatv.h"
#include "report/model/ppUtils.h"

namespace {

// A property list held in memory: (name, kind, value text).
struct Item {
  std::string name;
  cls::TValueKind kind;
  std::string value;
};

class TListReader : public cls::TReader {
 public:
  explicit TListReader(std::vector<Item> items) : items_(std::move(items)) {}
  cls::TValueKind NextValue() override { return pos_ < Size() ? items_[pos_].kind : cls::vkNone; }
  int64_t ReadInteger() override { return cls::StrToInt(Take()); }
  double ReadFloat() override { return cls::StrToFloat(Take()); }
  std::string ReadString() override { return Take(); }
  std::string ReadIdent() override { return Take(); }
  bool ReadBoolean() override { return Take() == "True"; }
  void SkipValue() override { Take(); }
  bool EndOfList() override { return pos_ >= Size(); }
  std::string ReadPropName() override {
    nameRead_ = true;
    return items_.at(pos_).name;
  }
  int64_t Position() override { return static_cast<int64_t>(pos_) * 2 + (nameRead_ ? 1 : 0); }
  void SetPosition(int64_t p) override {
    pos_ = static_cast<size_t>(p / 2);
    nameRead_ = p % 2;
  }

 private:
  size_t Size() const { return items_.size(); }
  std::string Take() {
    std::string v = items_.at(pos_).value;
    ++pos_;
    nameRead_ = false;
    return v;
  }
  std::vector<Item> items_;
  size_t pos_ = 0;
  bool nameRead_ = false;
};

// Collects what an object defines and feeds the reader to the one asked for.
class TRecordingFiler : public cls::TFiler {
 public:
  void DefineProperty(const std::string& name, ReadProc read, WriteProc write, bool hasData) override {
    names.push_back(name);
    reads[name] = read;
    hadWriter = hadWriter || (write && hasData);
  }
  std::vector<std::string> names;
  std::map<std::string, ReadProc> reads;
  bool hadWriter = false;
};

TEST(Filer, OldChildTypeIsReadNeverWritten) {
  auto* r = new TppRelative(nullptr);
  TRecordingFiler f;
  r->DefineProperties(&f);
  ASSERT_EQ(f.names, std::vector<std::string>{"ChildType"});
  EXPECT_FALSE(f.hadWriter);
  TListReader reader({{"", cls::vkInteger, "4"}});
  f.reads["ChildType"](reader);
  EXPECT_EQ(r->ChildType(), 4);
  r->Free();
}

TEST(Filer, IdentLookAheadRestoresThePosition) {
  TListReader reader({{"Left", cls::vkInteger, "5"},
                      {"Caption", cls::vkString, "DataPipeline"},
                      {"DataPipeline", cls::vkIdent, "Form1.plCustomers"},
                      {"Top", cls::vkFloat, "2.5"}});
  EXPECT_EQ(ReadIdentProperty(reader, "datapipeline"), "plCustomers");
  EXPECT_EQ(reader.Position(), 0);
  EXPECT_EQ(ReadIdentProperty(reader, "Missing"), "");
  EXPECT_EQ(reader.Position(), 0);
  // A string property of that name does not count.
  TListReader strings({{"DataPipeline", cls::vkString, "x.y"}});
  EXPECT_EQ(ReadIdentProperty(strings, "DataPipeline"), "");
  reader.ReadPropName();
  EXPECT_EQ(ReadIntegerOrFloat(reader), 5);
  reader.ReadPropName();
  reader.SkipValue();
  reader.ReadPropName();
  reader.SkipValue();
  reader.ReadPropName();
  EXPECT_EQ(ReadIntegerOrFloat(reader), 2);  // 2.5 to the even neighbour
}

}  // namespace
