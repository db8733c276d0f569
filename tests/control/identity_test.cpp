#include <gtest/gtest.h>

#include <climits>
#include <cstdlib>

#include "common/uuKeyTable.h"
#include "control/IPHLPAPI.h"
#include "control/uuCoding.h"
#include "control/uuIdentity.h"
#include "platform/sysroot/sysroot.h"
#include "support.h"
#include "tests/support/testroot.h"

namespace {

// The server's partner routine: undoes the control's identity scramble.
std::string DecodeIdentity(const std::string& hex, long long n) {
  const auto& key = uuKeyTable::CodingKeys[static_cast<size_t>(std::llabs(n + control::uuCoding::kEncodeKeyOffset) % 10)];
  std::vector<unsigned> bytes;
  for (size_t i = 0; i + 1 < hex.size(); i += 2) bytes.push_back(std::stoul(hex.substr(i, 2), nullptr, 16));
  unsigned count = bytes.at(0);
  unsigned prev = count ^ control::uuCoding::kEncodeStartByte;
  size_t pos = 0;
  std::string out;
  for (size_t i = 1; i < bytes.size(); ++i) {
    unsigned mix = ((prev >> 2) ^ (prev << 5)) & 0xFF;
    unsigned r = bytes[i] ^ mix ^ static_cast<unsigned char>(key[pos]);
    pos = (pos + 1) % key.size();
    unsigned c = ((r << 3) | (r >> 5)) & 0xFF;
    prev = c;
    if (i > count) out += static_cast<char>(c);
  }
  return out;
}

bool UpperHex(const std::string& s) {
  return !s.empty() && s.find_first_not_of("0123456789ABCDEF") == std::string::npos;
}

class Identity : public ::testing::Test {
 protected:
  void SetUp() override { setenv("ZOLMET_COMPUTERNAME", "COUNTER01", 1); }
  void TearDown() override {
    unsetenv("ZOLMET_COMPUTERNAME");
    unsetenv("ZOLMET_TEST_ADAPTERS");
  }
  testing_support::TempRoot root;
};

}  // namespace

TEST(IPStrToNum, ReadsDottedTextAndStopsAtOddities) {
  using control::IPHLPAPI::IPStrToNum;
  EXPECT_EQ(IPStrToNum("192.168.1.1"), 0xC0A80101u);
  EXPECT_EQ(IPStrToNum("  10.0.0.254\t"), 0x0A0000FEu);
  EXPECT_EQ(IPStrToNum("1.2.300.4"), 1u * 256 + 2);  // a part beyond 255 ends it
  EXPECT_EQ(IPStrToNum("1..3.4"), 1u);               // so does an empty part
  EXPECT_EQ(IPStrToNum("1.x.3.4"), 1u);              // and one that is not a number
  EXPECT_EQ(IPStrToNum("-1.2"), 0u);
  EXPECT_EQ(IPStrToNum(""), 0u);
  EXPECT_EQ(IPStrToNum("7"), 7u);
  EXPECT_EQ(IPStrToNum("010.001"), 10u * 256 + 1);
  EXPECT_EQ(IPStrToNum("99999999999.1"), 0u);
  EXPECT_EQ(IPStrToNum("1.2.3.4.5"), 0x02030405u);  // extra parts shift out the first
}

TEST(EncodeWithKey, PartnerRoutineGetsTheTextBack) {
  std::mt19937 random(12345);
  std::string plain = "\rCOUNTER01\r0011223344550A000001\r";
  plain += std::string("\x00\xFF\xA4\xA4", 4);
  for (int n : {0, 3, 7, -5, -6, 1234567, INT_MAX, INT_MIN}) {
    std::string hex = control::uuCoding::EncodeWithKey(plain, n, random);
    ASSERT_TRUE(UpperHex(hex)) << hex;
    unsigned count = std::stoul(hex.substr(0, 2), nullptr, 16);
    EXPECT_GE(count, 30u);
    EXPECT_LE(count, 199u);
    EXPECT_EQ(hex.size(), 2 * (1 + count + plain.size()));
    EXPECT_EQ(DecodeIdentity(hex, n), plain) << n;
  }
}

TEST(EncodeWithKey, KeysRepeatEveryTenAndFillersDiffer) {
  EXPECT_EQ(&control::uuCoding::EncodeKey(3), &control::uuCoding::EncodeKey(13));
  EXPECT_EQ(&control::uuCoding::EncodeKey(-5 - control::uuCoding::kEncodeKeyOffset), &control::uuCoding::EncodeKey(5 - control::uuCoding::kEncodeKeyOffset));
  EXPECT_NE(&control::uuCoding::EncodeKey(3), &control::uuCoding::EncodeKey(4));
  std::mt19937 random(1);
  std::string a = control::uuCoding::EncodeWithKey("same", 3, random), b = control::uuCoding::EncodeWithKey("same", 3, random);
  EXPECT_NE(a, b);
  EXPECT_EQ(DecodeIdentity(a, 3), DecodeIdentity(b, 3));
  // The step chains on the plain byte: prev 0, c 0x08 rotates to 0x01.
  std::uint8_t prev = 0;
  size_t pos = 1;
  EXPECT_EQ(control::uuCoding::EncodeIdentityStep(prev, 0x08, "q", pos), 0x01 ^ 'q');
  EXPECT_EQ(prev, 0x08);
  EXPECT_EQ(pos, 1u);
}

TEST_F(Identity, MacIpListFromTheAdapterChain) {
  control_test::InstallFakeAdapters(
      "adapter 0011223344AB 192.168.1.5/255.255.255.0,10.9.9.9/255.0.0.0,192.168.1.6/255.255.255.0 192.168.1.1\n"
      "adapter 001122334455 192.168.2.5/255.255.255.0 -\n"                     // no gateway
      "adapter 00AABBCCDDEE 172.16.0.5/255.255.0.0 10.0.0.1\n"                 // gateway in no subnet of its own
      "adapter 0102030405060708 10.1.2.3/255.0.0.0 10.0.0.1,10.0.0.2\n");       // longer hardware address
  EXPECT_EQ(control::IPHLPAPI::GetMacIP(),
            "0011223344ABC0A80105C0A80106\r"
            "0102030405060A010203\r");
  EXPECT_EQ(control::uuIdentity::GetIPInfo(), control::IPHLPAPI::GetMacIP());
  EXPECT_EQ(control::uuIdentity::GetInfoSize(), 11);
  std::mt19937 random(7);
  std::string a = control::uuIdentity::GetInfo(3, random), b = control::uuIdentity::GetInfo(3, random);
  EXPECT_NE(a, b);
  EXPECT_EQ(DecodeIdentity(a, 3), "\rCOUNTER01\r" + control::IPHLPAPI::GetMacIP());
  EXPECT_EQ(DecodeIdentity(b, 3), DecodeIdentity(a, 3));
  EXPECT_EQ(control_test::ReadLog("Zolmet.err"), "");
}

TEST_F(Identity, NoGatewayAtAllGivesAnEmptyList) {
  control_test::InstallFakeAdapters("adapter 001122334455 192.168.2.5/255.255.255.0 -\n");
  EXPECT_EQ(control::uuIdentity::GetIPInfo(), "");
  EXPECT_EQ(control::uuIdentity::GetInfoSize(), 10);
  std::mt19937 random(7);
  EXPECT_EQ(DecodeIdentity(control::uuIdentity::GetInfo(0, random), 0), "\rCOUNTER01\r");
}

TEST_F(Identity, EachFailureAnswersAndLogsOnce) {
  struct Case {
    std::string adapters, message;
  } cases[] = {
      {"size0\n", "取得長度失敗"},
      {"adapter 001122334455 10.0.0.2/255.0.0.0 10.0.0.1\nfail 50\n", "不支援"},
      {"adapter 001122334455 10.0.0.2/255.0.0.0 10.0.0.1\nfail 87\n", "無效的參數"},
      {"adapter 001122334455 10.0.0.2/255.0.0.0 10.0.0.1\nfail 111\n", "空間不足"},
      {"adapter 001122334455 10.0.0.2/255.0.0.0 10.0.0.1\nfail 232\n", "沒有資料"},
      {"adapter 001122334455 10.0.0.2/255.0.0.0 10.0.0.1\nfail 5\n", "其他錯誤"},
      {"", "取得長度失敗"},  // no adapters: the size query says nothing
  };
  for (const auto& c : cases) {
    testing_support::TempRoot fresh;
    control_test::InstallFakeAdapters(c.adapters);
    std::mt19937 random(1);
    EXPECT_EQ(control::uuIdentity::GetIPInfo(), "ERROR");
    EXPECT_EQ(control::uuIdentity::GetInfo(1, random), "ERROR");
    EXPECT_EQ(control::uuIdentity::GetInfoSize(), 0);
    std::string log = control_test::ReadLog("Zolmet.err");
    EXPECT_EQ(log.rfind("ZolmetOCX v20090831a\r\n[", 0), 0u) << log;
    EXPECT_NE(log.find("] [GetIPInfo] GetMacIP: " + c.message + "\r\n\r\n"), std::string::npos) << c.message;
    size_t first = log.find("] [GetInfo] GetMacIP: " + c.message + "\r\n\r\n");
    ASSERT_NE(first, std::string::npos) << c.message;
    EXPECT_NE(log.find("] [GetInfo] GetMacIP: " + c.message, first + 1), std::string::npos);
  }
}

TEST_F(Identity, LibraryThatCannotServeTheList) {
  // No library at all.
  EXPECT_THROW(
      try { control::IPHLPAPI::GetMacIP(); } catch (const control::IPHLPAPI::EIPHelperError& e) {
        EXPECT_STREQ(e.what(), "載入函式庫失敗");
        throw;
      },
      control::IPHLPAPI::EIPHelperError);
  // A file that is not a library.
  testing_support::WriteFile(root.Host("C:\\Windows\\System32\\IPHLPAPI.DLL"), "MZ not really");
  EXPECT_EQ(control::uuIdentity::GetIPInfo(), "ERROR");
  EXPECT_NE(control_test::ReadLog("Zolmet.err").find("[GetIPInfo] GetMacIP: 載入函式庫失敗"), std::string::npos);
  // A library without the entry point.
  control_test::Install("Zolmet.ocx", "C:\\Windows\\System32\\IPHLPAPI.DLL");
  EXPECT_EQ(control::uuIdentity::GetInfoSize(), 0);
  EXPECT_NE(control_test::ReadLog("Zolmet.err").find("[GetInfo] GetMacIP: 取得函式指標失敗"), std::string::npos);
}
