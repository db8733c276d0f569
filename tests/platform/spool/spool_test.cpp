#include <gtest/gtest.h>

#include <sys/stat.h>

#include <cstring>
#include <filesystem>

#include "platform/spool/printerdef.h"
#include "platform/spool/spool.h"
#include "platform/sysroot/sysroot.h"
#include "tests/support/testroot.h"

using namespace testing_support;

namespace {

spool::PrinterDef Office(const std::string& name, bool network = false) {
  spool::PrinterDef d;
  d.name = name;
  d.driver = "Office Laser";
  d.ports = {"LPT1:", "LPT2:"};
  d.attributes = network ? win::PRINTER_ATTRIBUTE_NETWORK : win::PRINTER_ATTRIBUTE_LOCAL;
  d.dpiX = d.dpiY = 600;
  d.color = true;
  d.papers = {{9, 2100, 2970, "A4"}, {1, 2159, 2794, "Letter"}};
  d.bins = {{7, "Automatic"}, {4, "Manual Feed"}};
  d.defaultPaper = 9;
  d.defaultBin = 7;
  return d;
}

win::DEVMODEA Fields(win::DWORD fields) {
  win::DEVMODEA m;
  std::memset(&m, 0, sizeof m);
  m.dmFields = fields;
  return m;
}

}  // namespace

TEST(PrinterDefinition, RoundTripsAndIsFoundWithoutRegardToCase) {
  TempRoot root;
  spool::PrinterDef d = spool::DemoReceiptPrinter();
  d.command = "lp -d receipt";
  ASSERT_TRUE(spool::InstallPrinter(d));
  spool::PrinterDef back;
  ASSERT_TRUE(spool::LoadPrinter("zolMET", back));
  EXPECT_EQ(spool::FormatDefinition(back), spool::FormatDefinition(d));
  EXPECT_EQ(back.name, "Zolmet");
  EXPECT_TRUE(back.customAllowed);
  EXPECT_TRUE(back.WritesPng());
  EXPECT_EQ(back.papers.size(), 2u);
  EXPECT_FALSE(spool::LoadPrinter("Nobody", back));
  EXPECT_TRUE(spool::RemovePrinter("Zolmet"));
  EXPECT_FALSE(spool::LoadPrinter("Zolmet", back));
}

// Attributes are a 32-bit mask: one with the top bit set is written and read
// back (an installed printer never vanishes from the list), and an older
// negative value still reads as its two's complement.
TEST(PrinterDefinition, AttributesKeepAllThirtyTwoBits) {
  TempRoot root;
  spool::PrinterDef d = Office("High");
  d.attributes = 0x80000040u;
  ASSERT_TRUE(spool::InstallPrinter(d));
  spool::PrinterDef back;
  ASSERT_TRUE(spool::LoadPrinter("High", back));
  EXPECT_EQ(back.attributes, 0x80000040u);
  ASSERT_EQ(spool::InstalledPrinters().size(), 1u);
  ASSERT_TRUE(spool::ParseDefinition("Name=Old\nAttributes=-1\n", back));
  EXPECT_EQ(back.attributes, 0xFFFFFFFFu);
  EXPECT_FALSE(spool::ParseDefinition("Name=Big\nAttributes=4294967296\n", back));
}

TEST(PrinterDefinition, RefusesNamesThatCannotBeFilesOrListEntries) {
  TempRoot root;
  for (const char* bad : {"", "a/b", "a\\b", "a,b", " lead", "x:y"}) {
    spool::PrinterDef d = Office(bad);
    EXPECT_FALSE(spool::InstallPrinter(d)) << bad;
  }
  spool::PrinterDef big5 = Office("收據機");
  EXPECT_TRUE(spool::InstallPrinter(big5));
  spool::PrinterDef back;
  EXPECT_TRUE(spool::LoadPrinter("收據機", back));
  spool::PrinterDef broken;
  EXPECT_FALSE(spool::ParseDefinition("Name=X\nResolution=0,0\n", broken));
  EXPECT_FALSE(spool::ParseDefinition("Paper=1,2\n", broken));
}

// Values a DEVMODE or a pixel size cannot hold are refused, each with the
// line that holds it; the edges of every limit are taken. A refused file
// is no printer, and the refusal is told once on the standard error.
TEST(PrinterDefinition, ValuesOutOfTheirLimitsAreRefusedNamingTheLine) {
  const char* refused[] = {
      "Paper=9,-2100,2970,A4",        "Paper=9,2100,-1,A4",          "Paper=99999,820,2970,Roll",
      "Paper=-1,820,2970,Roll",       "Paper=9,32768,2970,A4",       "Bin=65536,Tray",
      "Bin=-7,Tray",                  "DefaultPaper=99999",          "DefaultBin=70000",
      "Resolution=2147483647,203",    "Resolution=203,0",            "Resolution=9601,9601",
      "Unprintable=0,-5,0,0",         "DefaultCustom=820,-1",        "CustomRange=100,100,820,40000",
      "DefaultOrientation=3",         "CommandTimeout=0",            "garbage without an equals sign"};
  const char* kept[] = {"Paper=65535,32767,32767,Big", "Paper=256,0,0,User Defined", "Bin=65535,Tray",
                        "Resolution=1,9600",           "DefaultOrientation=2",       "Unprintable=0,0,32767,0"};
  for (const char* line : refused) {
    spool::PrinterDef d;
    std::string why;
    EXPECT_FALSE(spool::ParseDefinition(std::string("Name=X\r\nDriver=D\r\n") + line + "\r\n", d, &why)) << line;
    EXPECT_EQ(why.rfind(std::string("line 3 \"") + line + "\": ", 0), 0u) << why;
  }
  for (const char* line : kept) {
    spool::PrinterDef d;
    std::string why;
    EXPECT_TRUE(spool::ParseDefinition(std::string("Name=X\r\n") + line + "\r\n", d, &why)) << line << ": " << why;
  }

  TempRoot root;
  ASSERT_TRUE(spool::InstallPrinter(spool::DemoReceiptPrinter()));
  const std::string file = spool::DefinitionFile("Zolmet");
  std::string text = ReadFile(file);
  const size_t at = text.find("Resolution=203,203");
  ASSERT_NE(at, std::string::npos);
  WriteFile(file, text.replace(at, 18, "Resolution=2147483647,203"));
  testing::internal::CaptureStderr();
  spool::PrinterDef d;
  EXPECT_FALSE(spool::LoadPrinter("Zolmet", d));
  EXPECT_TRUE(spool::InstalledPrinters().empty());
  const std::string told = testing::internal::GetCapturedStderr();
  EXPECT_EQ(told, "The printer definition " + file + " is refused: line 5 \"Resolution=2147483647,203\": two "
                  "resolutions of 1 to 9600 dots per inch expected.\n");
}

TEST(PrinterDefinition, TheHandOverTimeLimitIsWholeSecondsWithADefault) {
  spool::PrinterDef d;
  ASSERT_TRUE(spool::ParseDefinition("Name=X\n", d));
  EXPECT_EQ(d.commandTimeout, 60);
  EXPECT_NE(spool::FormatDefinition(d).find("CommandTimeout=60\r\n"), std::string::npos);
  ASSERT_TRUE(spool::ParseDefinition("Name=X\ncommandtimeout=2\n", d));
  EXPECT_EQ(d.commandTimeout, 2);
  for (const char* bad : {"0", "-5", "1.5", "", "86401"})
    EXPECT_FALSE(spool::ParseDefinition(std::string("Name=X\nCommandTimeout=") + bad + "\n", d)) << bad;
}

TEST(DefaultPrinter, DeviceLineOfWinIniKeepsTheRest) {
  TempRoot root;
  WriteFile(root.Host("C:\\Windows\\win.ini"), "[windows]\r\nload=\r\n[fonts]\r\nx=1\r\n");
  ASSERT_TRUE(spool::InstallPrinter(Office("Office")));
  EXPECT_EQ(spool::GetProfileString("windows", "device", "none"), "none");
  ASSERT_TRUE(spool::SetDefaultPrinter("office"));
  EXPECT_EQ(spool::GetProfileString("Windows", "Device", ""), "Office,Office Laser,LPT1:");
  std::string ini = ReadFile(root.Host("C:\\Windows\\win.ini"));
  EXPECT_NE(ini.find("load=\r\n"), std::string::npos);
  EXPECT_NE(ini.find("[fonts]\r\nx=1\r\n"), std::string::npos);
  EXPECT_FALSE(spool::SetDefaultPrinter("Missing"));
}

TEST(EnumPrinters, LevelsFlagsAndBufferSizes) {
  TempRoot root;
  win::DWORD needed = 99, returned = 99;
  EXPECT_TRUE(win::EnumPrintersA(6, nullptr, 4, nullptr, 0, &needed, &returned));
  EXPECT_EQ(needed, 0u);
  EXPECT_EQ(returned, 0u);

  ASSERT_TRUE(spool::InstallPrinter(Office("Local")));
  ASSERT_TRUE(spool::InstallPrinter(Office("Shared", true)));
  EXPECT_FALSE(win::EnumPrintersA(6, nullptr, 4, nullptr, 0, &needed, &returned));
  EXPECT_EQ(win::GetLastError(), win::ERROR_INSUFFICIENT_BUFFER);
  std::vector<win::BYTE> buf(needed);
  EXPECT_FALSE(win::EnumPrintersA(6, nullptr, 4, buf.data(), needed - 1, &needed, &returned));
  ASSERT_TRUE(win::EnumPrintersA(6, nullptr, 4, buf.data(), needed, &needed, &returned));
  ASSERT_EQ(returned, 2u);
  auto* e4 = reinterpret_cast<win::PRINTER_INFO_4A*>(buf.data());
  EXPECT_STREQ(e4[0].pPrinterName, "Local");
  EXPECT_EQ(e4[0].Attributes, win::PRINTER_ATTRIBUTE_LOCAL);
  EXPECT_STREQ(e4[1].pPrinterName, "Shared");

  // Local only, level 5: ports joined with ", ".
  win::EnumPrintersA(2, nullptr, 5, nullptr, 0, &needed, &returned);
  buf.assign(needed, 0);
  ASSERT_TRUE(win::EnumPrintersA(2, nullptr, 5, buf.data(), needed, &needed, &returned));
  ASSERT_EQ(returned, 1u);
  auto* e5 = reinterpret_cast<win::PRINTER_INFO_5A*>(buf.data());
  EXPECT_STREQ(e5[0].pPrinterName, "Local");
  EXPECT_STREQ(e5[0].pPortName, "LPT1:, LPT2:");
  EXPECT_FALSE(win::EnumPrintersA(2, nullptr, 3, nullptr, 0, &needed, &returned));

  // A copied definition that names another printer is not a printer.
  std::string dir = spool::PrintersDir();
  std::filesystem::copy_file(dir + "/Local.prn", dir + "/Copy of Local.prn");
  win::EnumPrintersA(6, nullptr, 4, nullptr, 0, &needed, &returned);
  buf.assign(needed, 0);
  ASSERT_TRUE(win::EnumPrintersA(6, nullptr, 4, buf.data(), needed, &needed, &returned));
  EXPECT_EQ(returned, 2u);
}

TEST(DocumentProperties, SizeDefaultsMergeAndPrompt) {
  TempRoot root;
  ASSERT_TRUE(spool::InstallPrinter(spool::DemoReceiptPrinter()));
  ASSERT_TRUE(spool::InstallPrinter(Office("Office")));
  win::HANDLE h = nullptr;
  ASSERT_TRUE(win::OpenPrinterA("Zolmet", &h, nullptr));
  EXPECT_EQ(win::DocumentPropertiesA(nullptr, h, "Zolmet", nullptr, nullptr, 0),
            static_cast<long>(sizeof(win::DEVMODEA)));
  win::DEVMODEA out;
  ASSERT_EQ(win::DocumentPropertiesA(nullptr, h, "Zolmet", &out, nullptr, win::DM_OUT_BUFFER), 1);
  EXPECT_STREQ(out.dmDeviceName, "Zolmet");
  EXPECT_EQ(out.dmPaperSize, 257);
  EXPECT_EQ(out.dmPaperWidth, 820);
  EXPECT_EQ(out.dmDefaultSource, 15);
  EXPECT_EQ(out.dmColor, win::DMCOLOR_MONOCHROME);

  // Custom paper, a bad bin and no copies: the valid fields are taken.
  win::DEVMODEA in = Fields(win::DM_PAPERSIZE | win::DM_PAPERWIDTH | win::DM_PAPERLENGTH | win::DM_COPIES |
                            win::DM_DEFAULTSOURCE);
  in.dmPaperSize = 256, in.dmPaperWidth = 820, in.dmPaperLength = 1500, in.dmCopies = 0, in.dmDefaultSource = 99;
  ASSERT_EQ(win::DocumentPropertiesA(nullptr, h, "Zolmet", &out, &in, win::DM_IN_BUFFER | win::DM_OUT_BUFFER), 1);
  EXPECT_EQ(out.dmPaperSize, 256);
  EXPECT_EQ(out.dmPaperLength, 1500);
  EXPECT_EQ(out.dmCopies, 1);
  EXPECT_EQ(out.dmDefaultSource, 15);

  // Without a prompt the properties dialog answers Cancel and leaves OUT alone.
  win::DEVMODEA before = out;
  EXPECT_EQ(win::DocumentPropertiesA(nullptr, h, "Zolmet", &out, &in, 14), win::IDCANCEL_);
  EXPECT_EQ(std::memcmp(&before, &out, sizeof out), 0);
  spool::SetPropertiesPrompt([](const std::string& printer, win::DEVMODEA& m) {
    EXPECT_EQ(printer, "Zolmet");
    m.dmFields |= win::DM_ORIENTATION;
    m.dmOrientation = 2;
    return win::IDOK_;
  });
  EXPECT_EQ(win::DocumentPropertiesA(nullptr, h, "Zolmet", &out, &in, 14), win::IDOK_);
  EXPECT_EQ(out.dmOrientation, 2);
  spool::SetPropertiesPrompt(nullptr);
  EXPECT_TRUE(win::ClosePrinter(h));
  // A closed handle is refused, not used.
  EXPECT_FALSE(win::ClosePrinter(h));
  EXPECT_EQ(win::GetLastError(), win::ERROR_INVALID_HANDLE);
  EXPECT_EQ(win::DocumentPropertiesA(nullptr, h, "Zolmet", &out, &in, 14), -1);
  EXPECT_EQ(win::PrinterNameOf(h), "");

  // A printer without custom paper keeps its default.
  in = Fields(win::DM_PAPERSIZE);
  in.dmPaperSize = 256;
  ASSERT_EQ(win::DocumentPropertiesA(nullptr, nullptr, "Office", &out, &in, 10), 1);
  EXPECT_EQ(out.dmPaperSize, 9);
  EXPECT_LT(win::DocumentPropertiesA(nullptr, nullptr, "Missing", &out, nullptr, 2), 0);
  EXPECT_FALSE(win::OpenPrinterA("Missing", &h, nullptr));
}

TEST(DeviceCapabilities, CountsAndEntries) {
  TempRoot root;
  ASSERT_TRUE(spool::InstallPrinter(Office("Office")));
  EXPECT_EQ(win::DeviceCapabilitiesA("Office", "LPT1:", win::DC_PAPERNAMES, nullptr, nullptr), 2);
  std::vector<char> names(2 * 64);
  ASSERT_EQ(win::DeviceCapabilitiesA("Office", nullptr, win::DC_PAPERNAMES, names.data(), nullptr), 2);
  EXPECT_STREQ(names.data() + 64, "Letter");
  win::WORD codes[2];
  win::DeviceCapabilitiesA("Office", nullptr, win::DC_PAPERS, reinterpret_cast<char*>(codes), nullptr);
  EXPECT_EQ(codes[0], 9);
  win::POINT sizes[2];
  win::DeviceCapabilitiesA("Office", nullptr, win::DC_PAPERSIZE, reinterpret_cast<char*>(sizes), nullptr);
  EXPECT_EQ(sizes[1].x, 2159);
  EXPECT_EQ(sizes[1].y, 2794);
  std::vector<char> bins(2 * 24);
  ASSERT_EQ(win::DeviceCapabilitiesA("Office", nullptr, win::DC_BINNAMES, bins.data(), nullptr), 2);
  EXPECT_STREQ(bins.data() + 24, "Manual Feed");
  EXPECT_EQ(win::DeviceCapabilitiesA("Office", nullptr, 99, nullptr, nullptr), -1);
  EXPECT_EQ(win::DeviceCapabilitiesA("Missing", nullptr, win::DC_BINS, nullptr, nullptr), -1);
}

TEST(Forms, GetAddSetServerWide) {
  TempRoot root;
  ASSERT_TRUE(spool::InstallPrinter(spool::DemoReceiptPrinter()));
  win::HANDLE h = nullptr;
  ASSERT_TRUE(win::OpenPrinterA("Zolmet", &h, nullptr));
  win::DWORD needed = 0;
  EXPECT_FALSE(win::GetFormA(h, "Custom", 1, nullptr, 0, &needed));
  EXPECT_EQ(win::GetLastError(), win::ERROR_INVALID_FORM_NAME);
  char name[] = "Custom";
  win::FORM_INFO_1A f{0, name, {82000, 150000}, {0, 0, 82000, 150000}};
  ASSERT_TRUE(win::AddFormA(h, 1, &f));
  EXPECT_FALSE(win::AddFormA(h, 1, &f));
  EXPECT_FALSE(win::GetFormA(h, "custom", 1, nullptr, 0, &needed));
  EXPECT_EQ(win::GetLastError(), win::ERROR_INSUFFICIENT_BUFFER);
  std::vector<win::BYTE> buf(needed);
  ASSERT_TRUE(win::GetFormA(h, "custom", 1, buf.data(), needed, &needed));
  auto* got = reinterpret_cast<win::FORM_INFO_1A*>(buf.data());
  EXPECT_STREQ(got->pName, "Custom");
  EXPECT_EQ(got->Size.cy, 150000);
  f.Size.cy = 90000;
  ASSERT_TRUE(win::SetFormA(h, "Custom", 1, &f));
  spool::Form stored;
  ASSERT_TRUE(spool::FindForm("CUSTOM", stored));
  EXPECT_EQ(stored.height, 90000);
  // Set to what it holds, the file stays as it is; any change replaces it.
  auto fileId = [] {
    struct stat st {};
    return ::stat(spool::FormsFile().c_str(), &st) == 0 ? st.st_ino : 0;
  };
  const auto before = fileId();
  ASSERT_NE(before, 0u);
  ASSERT_TRUE(win::SetFormA(h, "CUSTOM", 1, &f));
  EXPECT_EQ(fileId(), before);
  for (win::LONG* field : {&f.Size.cx, &f.ImageableArea.left, &f.ImageableArea.bottom}) {
    const auto last = fileId();
    *field += 10;
    ASSERT_TRUE(win::SetFormA(h, "Custom", 1, &f));
    EXPECT_NE(fileId(), last);
  }
  ASSERT_TRUE(spool::FindForm("Custom", stored));
  EXPECT_EQ(stored.width, 82010);
  EXPECT_EQ(stored.imageable.bottom, 150010);
  f.Size.cx = 0;
  EXPECT_FALSE(win::SetFormA(h, "Custom", 1, &f));
  EXPECT_FALSE(win::SetFormA(h, "Other", 1, &f));
  win::ClosePrinter(h);
}

TEST(PageSizeRule, PaperCodeCustomFormAndOrientation) {
  TempRoot root;
  spool::PrinterDef z = spool::DemoReceiptPrinter();
  spool::PageSize p = spool::ResolvePageSize(z, nullptr);
  EXPECT_EQ(p.paperCode, 257);
  EXPECT_EQ(p.width, 820);
  EXPECT_EQ(p.length, 2970);

  win::DEVMODEA m = Fields(win::DM_PAPERSIZE | win::DM_PAPERWIDTH | win::DM_PAPERLENGTH);
  m.dmPaperSize = 256, m.dmPaperWidth = 820, m.dmPaperLength = 1500;
  p = spool::ResolvePageSize(z, &m);
  EXPECT_EQ(p.paperCode, 256);
  EXPECT_EQ(p.width, 820);
  EXPECT_EQ(p.length, 1500);

  m.dmFields = win::DM_PAPERSIZE | win::DM_PAPERLENGTH;  // width not flagged: the default
  m.dmPaperWidth = 500;
  m.dmPaperLength = 32767;  // beyond the range: clamped
  p = spool::ResolvePageSize(z, &m);
  EXPECT_EQ(p.width, 820);
  EXPECT_EQ(p.length, 32000);

  m = Fields(win::DM_PAPERSIZE | win::DM_ORIENTATION);
  m.dmPaperSize = 257, m.dmOrientation = win::DMORIENT_LANDSCAPE;
  p = spool::ResolvePageSize(z, &m);
  EXPECT_TRUE(p.landscape);
  EXPECT_EQ(p.width, 2970);
  EXPECT_EQ(p.length, 820);

  m = Fields(win::DM_PAPERSIZE);
  m.dmPaperSize = 9;  // not a paper of this printer
  EXPECT_EQ(spool::ResolvePageSize(z, &m).paperCode, 257);

  ASSERT_TRUE(spool::InstallPrinter(z));
  win::HANDLE h = nullptr;
  ASSERT_TRUE(win::OpenPrinterA("Zolmet", &h, nullptr));
  char name[] = "Ticket";
  win::FORM_INFO_1A f{0, name, {60000, 80040}, {0, 0, 60000, 80040}};
  ASSERT_TRUE(win::AddFormA(h, 1, &f));
  win::ClosePrinter(h);
  m = Fields(win::DM_FORMNAME);
  std::strcpy(m.dmFormName, "Ticket");
  p = spool::ResolvePageSize(z, &m);
  EXPECT_EQ(p.paperCode, 256);
  EXPECT_EQ(p.width, 600);
  EXPECT_EQ(p.length, 800);
}

TEST(SystemRootSetUp, InstallsTheDemoPrinterAsDefault) {
  TempRoot root;
  std::string fresh = root.path() + "/fresh";
  std::string cmd = BinPath("zolmet-sysroot") + " '" + fresh + "' > /dev/null";
  ASSERT_EQ(std::system(cmd.c_str()), 0);
  sysroot::SetRoot(fresh);
  spool::PrinterDef z;
  ASSERT_TRUE(spool::LoadPrinter("Zolmet", z));
  EXPECT_EQ(z.dpiX, 203);
  EXPECT_TRUE(z.customAllowed);
  EXPECT_EQ(z.formats, (std::vector<std::string>{"pdf", "png"}));
  EXPECT_EQ(spool::GetProfileString("windows", "device", ""), "Zolmet,Zolmet Receipt,USB001");
  // Running it again keeps a default chosen meanwhile.
  spool::PrinterDef other = Office("Office");
  ASSERT_TRUE(spool::InstallPrinter(other));
  ASSERT_TRUE(spool::SetDefaultPrinter("Office"));
  ASSERT_EQ(std::system(cmd.c_str()), 0);
  EXPECT_EQ(spool::GetProfileString("windows", "device", "").rfind("Office,", 0), 0u);
}

TEST(DeviceCapabilities, ADefinitionThatGrowsBetweenCountAndFillStaysInTheBuffer) {
  TempRoot root;
  spool::PrinterDef d = Office("Office");
  ASSERT_TRUE(spool::InstallPrinter(d));
  int n = win::DeviceCapabilitiesA("Office", nullptr, win::DC_PAPERNAMES, nullptr, nullptr);
  ASSERT_EQ(n, 2);
  // Another process installs the printer again with more papers.
  for (int code = 11; code < 20; ++code) d.papers.push_back({code, 1000, 1000, "Paper " + std::to_string(code)});
  ASSERT_TRUE(spool::InstallPrinter(d));
  std::vector<char> names(static_cast<size_t>(n) * 64);
  EXPECT_EQ(win::DeviceCapabilitiesA("Office", nullptr, win::DC_PAPERNAMES, names.data(), nullptr), 2);
  EXPECT_STREQ(names.data(), "A4");
  std::vector<win::POINT> sizes(static_cast<size_t>(n));
  EXPECT_EQ(win::DeviceCapabilitiesA("Office", nullptr, win::DC_PAPERSIZE, reinterpret_cast<char*>(sizes.data()),
                                     nullptr),
            2);
  // A fresh count sees the new papers.
  EXPECT_EQ(win::DeviceCapabilitiesA("Office", nullptr, win::DC_PAPERNAMES, nullptr, nullptr), 11);
}

TEST(GetPrinter, LevelTwoGivesDriverAndPortsOfAnOpenPrinter) {
  TempRoot root;
  ASSERT_TRUE(spool::InstallPrinter(Office("Local")));
  win::HANDLE h = nullptr;
  ASSERT_TRUE(win::OpenPrinterA("local", &h, nullptr));
  win::DWORD needed = 0;
  EXPECT_FALSE(win::GetPrinterA(h, 4, nullptr, 0, &needed));
  EXPECT_EQ(win::GetLastError(), win::ERROR_INVALID_LEVEL);
  EXPECT_FALSE(win::GetPrinterA(h, 2, nullptr, 0, &needed));
  EXPECT_EQ(win::GetLastError(), win::ERROR_INSUFFICIENT_BUFFER);
  std::vector<win::BYTE> buf(needed);
  EXPECT_FALSE(win::GetPrinterA(h, 2, buf.data(), needed - 1, &needed));
  ASSERT_TRUE(win::GetPrinterA(h, 2, buf.data(), needed, &needed));
  win::PRINTER_INFO_2A e;
  std::memcpy(&e, buf.data(), sizeof e);
  EXPECT_STREQ(e.pPrinterName, "Local");
  EXPECT_STREQ(e.pDriverName, "Office Laser");
  EXPECT_STREQ(e.pPortName, "LPT1:, LPT2:");
  EXPECT_EQ(e.Attributes, win::PRINTER_ATTRIBUTE_LOCAL);
  // A printer removed while open, and a closed handle, are refused.
  ASSERT_TRUE(spool::RemovePrinter("Local"));
  EXPECT_FALSE(win::GetPrinterA(h, 2, buf.data(), needed, &needed));
  EXPECT_EQ(win::GetLastError(), win::ERROR_INVALID_PRINTER_NAME);
  EXPECT_TRUE(win::ClosePrinter(h));
  EXPECT_FALSE(win::GetPrinterA(h, 2, buf.data(), needed, &needed));
  EXPECT_EQ(win::GetLastError(), win::ERROR_INVALID_HANDLE);
}
