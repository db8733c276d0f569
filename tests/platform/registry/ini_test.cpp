#include <gtest/gtest.h>
#include <thread>
#include <vector>

#include "platform/registry/ini.h"
#include "tests/support/testroot.h"

using testing_support::ReadFile;
using testing_support::TempRoot;
using testing_support::WriteFile;

TEST(IniFile, NamesIgnoreCaseAndBlanksAndTheFirstOfARepeatWins) {
  ini::File f = ini::File::Parse(
      "top=0\n"
      "[Windows]\n"
      "  Device =  Office,drv,LPT1:  \n"
      "device=second\n"
      "; device=comment\n"
      "# device=comment too\n"
      "junk line\n"
      "[fonts]\n"
      "x=1\n"
      "[WINDOWS]\n"
      "load=late\n");
  EXPECT_EQ(f.Get("windows", "DEVICE"), "Office,drv,LPT1:");
  EXPECT_EQ(f.Get("Windows", "load"), "late");  // a repeated section is searched too
  EXPECT_EQ(f.Get("", "top"), "0");
  EXPECT_EQ(f.Get("", "x"), std::nullopt);
  EXPECT_EQ(f.Get("fonts", "top"), std::nullopt);
  EXPECT_EQ(f.Get("missing", "x"), std::nullopt);
  auto entries = f.Entries("windows");
  ASSERT_EQ(entries.size(), 3u);
  EXPECT_EQ(entries[1].key, "device");
  EXPECT_EQ(entries[1].value, "second");
  EXPECT_EQ(f.Lines()[6].kind, ini::File::Kind::Other);
}

TEST(IniFile, AValueRunsFromTheFirstEqualsSignToTheEnd) {
  ini::File f = ini::File::Parse("[s]\nCommand=lp -o a=b -o c==d\nempty=\n=nokey\n");
  EXPECT_EQ(f.Get("s", "command"), "lp -o a=b -o c==d");
  EXPECT_EQ(f.Get("s", "empty"), "");
  EXPECT_EQ(f.Get("s", ""), "nokey");
}

TEST(IniFile, SetChangesOnlyItsLineAndKeepsTheLineEnds) {
  const std::string text = "; win.ini\r\n[windows]\r\nload=\r\n\r\n[fonts]\r\nx = 1\r\n";
  ini::File f = ini::File::Parse(text);
  EXPECT_EQ(f.Serialize(), text);
  f.Set("Windows", "device", "Zolmet,Zolmet Receipt,USB001");
  EXPECT_EQ(f.Serialize(),
            "; win.ini\r\n[windows]\r\nload=\r\ndevice=Zolmet,Zolmet Receipt,USB001\r\n\r\n[fonts]\r\nx = 1\r\n");
  f.Set("FONTS", "X", "2");
  f.Set("ports", "COM1:", "9600,n,8,1");
  f.Set("", "first", "1");
  EXPECT_EQ(f.Serialize(),
            "; win.ini\r\nfirst=1\r\n[windows]\r\nload=\r\ndevice=Zolmet,Zolmet Receipt,USB001\r\n\r\n"
            "[fonts]\r\nX=2\r\n[ports]\r\nCOM1:=9600,n,8,1\r\n");
  // LF stays LF; a last line without its end gets one.
  ini::File lf = ini::File::Parse("COM1=/dev/ttyS0\nCOM2=/dev/ttyS1");
  lf.Set("", "com2", "/dev/null");
  EXPECT_EQ(lf.Serialize(), "COM1=/dev/ttyS0\ncom2=/dev/null\n");
  ini::File fresh = ini::File::Parse("");
  fresh.Set("windows", "device", "a");
  EXPECT_EQ(fresh.Serialize(), "[windows]\r\ndevice=a\r\n");
}

// A file whose line ends were doubled (CR CR LF): the stray CR is not part
// of the value, so a port map still names its device, and a file written
// back once is written back the same ever after.
TEST(IniFile, AStrayCarriageReturnEndsNoValue) {
  ini::File f = ini::File::Parse("[ports]\nCOM1=/dev/ttyS0\r\r\nCOM2 \r=x\r\n\r\r\n");
  EXPECT_EQ(f.Get("ports", "COM1"), "/dev/ttyS0");
  EXPECT_EQ(f.Get("ports", "COM2"), "x");
  EXPECT_EQ(f.Lines()[3].kind, ini::File::Kind::Blank);
  // Written back once, the stray CRs are gone: a later rewrite of the file
  // changes none of these lines again.
  EXPECT_EQ(f.Serialize(), "[ports]\nCOM1=/dev/ttyS0\nCOM2 \r=x\n\n");
  ini::File more = ini::File::Parse("[s]\nk=\r\r\r\n");
  EXPECT_EQ(more.Serialize(), "[s]\nk=\n");
}

// Second bytes of Big5 characters: 也 A4 5D (']'), 久 A4 5B ('['), 么 A4 5C
// ('\'), 乙 A4 41 ('A') and 兀 A4 61 ('a').
TEST(IniFile, Big5NamesAndValuesKeepEveryTrailByte) {
  ASSERT_EQ(std::string("也久么乙兀"), "\xA4\x5D\xA4\x5B\xA4\x5C\xA4\x41\xA4\x61");
  ini::File f = ini::File::Parse("[收據也]\n久鍵=值么\n乙=upper\n兀=lower\n[也]x\n 么 = 久[也] \n");
  EXPECT_EQ(f.Get("收據也", "久鍵"), "值么");
  // Letters are folded, second bytes never: 乙 and 兀 are two keys.
  EXPECT_EQ(f.Get("收據也", "乙"), "upper");
  EXPECT_EQ(f.Get("收據也", "兀"), "lower");
  EXPECT_EQ(f.Get("也", "么"), "久[也]");
  f.Set("也", "么", "新");
  EXPECT_EQ(f.Serialize(), "[收據也]\n久鍵=值么\n乙=upper\n兀=lower\n[也]x\n么=新\n");
}

TEST(IniStore, ModifyIsOneLockedChangeSoConcurrentWritersKeepEveryKey) {
  TempRoot root;
  std::string file = root.path() + "/C/Windows/test.ini";
  ini::File f;
  EXPECT_TRUE(ini::Load(file, f));  // a missing file reads as empty
  EXPECT_TRUE(f.Lines().empty());
  std::vector<std::thread> writers;
  for (int i = 0; i < 8; ++i)
    writers.emplace_back([&file, i] {
      for (int j = 0; j < 10; ++j)
        EXPECT_TRUE(ini::Modify(file, [&](ini::File& ini) {
          ini.Set("s" + std::to_string(i % 2), "k" + std::to_string(i) + "_" + std::to_string(j), "v");
        }));
    });
  for (auto& t : writers) t.join();
  ASSERT_TRUE(ini::Load(file, f));
  EXPECT_EQ(f.Entries("s0").size() + f.Entries("s1").size(), 80u);
  EXPECT_EQ(f.Get("S1", "K7_9"), "v");
  // A change that changes nothing leaves the file alone.
  WriteFile(file, "[s]\nk=v\n");
  EXPECT_TRUE(ini::Modify(file, [](ini::File& ini) { ini.Set("s", "k", "v"); }));
  EXPECT_EQ(ReadFile(file), "[s]\nk=v\n");
}
