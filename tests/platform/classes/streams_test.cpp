#include <gtest/gtest.h>

#include <limits>

#include "platform/classes/streams.h"
#include "platform/sysroot/files.h"
#include "tests/support/testroot.h"

using namespace cls;

namespace {

TEST(MemoryStream, SeekSizeTruncateAndLimit) {
  TMemoryStream m;
  m.WriteBuffer("hello", 5);
  EXPECT_EQ(m.Position(), 5);
  m.Seek(8, soBeginning);  // writing past the end fills the gap with zeros
  m.WriteBuffer("!", 1);
  EXPECT_EQ(m.Size(), 9);
  EXPECT_EQ(m.DataString(), std::string("hello\0\0\0!", 9));
  m.SetSize(3);
  EXPECT_EQ(m.Position(), 3);
  EXPECT_EQ(m.DataString(), "hel");
  char buf[8] = {};
  m.SetPosition(1);
  EXPECT_EQ(m.Read(buf, 8), 2);
  EXPECT_THROW(m.ReadBuffer(buf, 1), EReadError);
  m.SetMaxSize(4);
  m.WriteBuffer("l", 1);
  EXPECT_THROW(m.WriteBuffer("o", 1), EOutOfMemory);
  EXPECT_EQ(m.Size(), 4);
}

TEST(MemoryStream, FarPositionsNeitherOverflowNorCorrupt) {
  TMemoryStream m;
  m.WriteBuffer("abc", 3);
  const int64_t far = std::numeric_limits<int64_t>::max();
  EXPECT_EQ(m.Seek(far, soBeginning), far);
  EXPECT_EQ(m.Seek(far, soCurrent), far);  // stays at the largest position
  EXPECT_THROW(m.WriteBuffer("x", 1), EOutOfMemory);
  EXPECT_EQ(m.DataString(), "abc");
  char c;
  EXPECT_EQ(m.Read(&c, 1), 0);
}

TEST(FileStream, CreateOpenCopyTruncate) {
  testing_support::TempRoot root;
  const std::string name = "C:\\data.bin";
  EXPECT_THROW(TFileStream(name, fmOpenRead), EFOpenError);
  EXPECT_THROW(TFileStream("C:\\missing\\dir\\x.bin", fmCreate), EFCreateError);
  TMemoryStream src;
  src.WriteBuffer("0123456789", 10);
  {
    TFileStream f(name, fmCreate);
    EXPECT_EQ(f.CopyFrom(&src, 0), 10);
    f.SetSize(4);
    EXPECT_EQ(f.Size(), 4);
    f.Seek(0, soEnd);
    f.WriteBuffer("X", 1);
  }
  EXPECT_EQ(testing_support::ReadFile(root.Host(name)), "0123X");
  TFileStream f(name, fmOpenReadWrite);
  TMemoryStream back;
  f.Seek(2, soBeginning);
  back.CopyFrom(&f, 3);
  EXPECT_EQ(back.DataString(), "23X");
  EXPECT_EQ(f.FileName(), name);
}

TEST(TempFiles, UniqueNamesInTheTempFolder) {
  testing_support::TempRoot root;
  std::string dir = win::GetTempPath();
  EXPECT_EQ(dir, "C:\\Windows\\Temp\\");
  EXPECT_TRUE(win::DirectoryExists(dir));
  std::string a = win::GetTempFileName(dir, "cch");
  std::string b = win::GetTempFileName(dir, "cch");
  EXPECT_NE(a, b);
  EXPECT_EQ(a.rfind("C:\\Windows\\Temp\\cch", 0), 0u);
  EXPECT_TRUE(win::FileExists(a));
  EXPECT_TRUE(win::FileExists(b));
  EXPECT_EQ(win::GetTempFileName("C:\\no\\such", "cch"), "");
}

}  // namespace
