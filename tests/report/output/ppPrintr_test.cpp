#include <gtest/gtest.h>
#include <sys/stat.h>

#include <cstring>
#include <filesystem>
#include <cmath>
#include <map>
#include <regex>
#include <set>
#include <span>
#include <thread>

#include "platform/gdi/fonts.h"
#include "platform/spool/osversion.h"
#include "report/output/ppPrintr.h"
#include "report/output/ppRegister.h"
#include "tests/report/output/ppPrintr_fixture.h"

using namespace testing_support;
using Names = std::vector<std::string>;

namespace {

Names List(const cls::TStringList& l) {
  Names n;
  for (int i = 0; i < l.Count(); ++i) n.push_back(l[i]);
  return n;
}

}  // namespace

TEST(PaperTables, NamesSizesAndTheMendedExtraSizes) {
  int w, h;
  // Letter, Tabloid Extra, A4 Extra and Letter Plus to the tenth; A4; none.
  const struct {
    int code, width, height;
  } known[] = {{1, 2159, 2794}, {52, 2969, 4572}, {53, 2355, 3223}, {59, 2159, 3223},
               {9, 2100, 2970}, {256, 0, 0},       {48, 0, 0}};
  for (const auto& k : known) {
    ppGetPaperSize(k.code, w, h);
    EXPECT_EQ(w, k.width) << k.code;
    EXPECT_EQ(h, k.height) << k.code;
  }
  // 50 and 56 are 9.5 x 12 in, 51 is 9.5 x 15 in, 54 is 8.5 x 11 in.
  for (int code : {50, 56}) {
    ppGetPaperSize(code, w, h);
    EXPECT_EQ(w, ToTenthsMM(9.5f, utInches));
    EXPECT_EQ(h, ToTenthsMM(12.0f, utInches));
  }
  ppGetPaperSize(51, w, h);
  EXPECT_EQ(h, ToTenthsMM(15.0f, utInches));
  int lw, lh;
  ppGetPaperSize(54, w, h);
  ppGetPaperSize(1, lw, lh);
  EXPECT_EQ(w, lw);
  EXPECT_EQ(h, lh);
  EXPECT_EQ(ppGetPaperName(50), "Letter Extra 9 \\275 x 12 in");
  EXPECT_EQ(ppGetPaperName(2), "Letter 8 1/2 x 11 in");
  EXPECT_EQ(ppGetPaperName(29), " Envelope C3  324 x 458 mm");
  EXPECT_EQ(ppGetPaperName(256), "Custom");
  EXPECT_EQ(ppGetPaperName(49), "Unknown");
  EXPECT_EQ(ppFormatPaperSize(829, 1505), "82 x 150 mm");
}

namespace {

// The size a paper's name states ("297 x 420 mm", "8 1/2 x 11 in",
// "3.875 x 7.5 in"): in tenths of a millimetre or in inches. False for a
// name that states none in these forms (a number right before the width
// is a lost fraction sign, as in "7 14 x 10 1/2 in").
bool SizeInName(const std::string& name, double& w, double& h, bool& inches) {
  static const std::regex mm(R"((\d+) x (\d+) ?mm$)");
  static const std::regex in(R"((?:^|[^\d ] )(\d+(?:\.\d+)?)(?: (\d+)/(\d+))? x (\d+(?:\.\d+)?)(?: (\d+)/(\d+))? in$)");
  std::smatch m;
  if (std::regex_search(name, m, mm)) {
    w = std::stod(m[1]) * 10;
    h = std::stod(m[2]) * 10;
    inches = false;
    return true;
  }
  if (!std::regex_search(name, m, in)) return false;
  auto value = [&](int i) {
    double v = std::stod(m[i]);
    if (m[i + 1].matched) v += std::stod(m[i + 1]) / std::stod(m[i + 2]);
    return v;
  };
  w = value(1);
  h = value(4);
  inches = true;
  return true;
}

}  // namespace

TEST(PaperTables, EveryRowIsConsistent) {
  std::span<const TppPaper> papers = ppPapers();
  ASSERT_FALSE(papers.empty());
  std::map<std::string, const TppPaper*> byName;
  std::set<int> codes;
  int statedSizes = 0;
  int previous = 0;
  for (const TppPaper& p : papers) {
    SCOPED_TRACE(p.Code);
    EXPECT_GT(p.Code, previous);  // increasing, so unique
    previous = p.Code;
    codes.insert(p.Code);
    ASSERT_NE(p.Name, nullptr);
    EXPECT_STRNE(p.Name, "");
    EXPECT_NE(std::string(p.Name), "Unknown");
    // Standard sizes are the codes 1 to 68; the others have none.
    if (p.Code <= 68) {
      EXPECT_GT(p.Width, 0);
      EXPECT_GT(p.Height, 0);
    } else {
      EXPECT_EQ(p.Width + p.Height, 0);
    }
    // The look-ups answer from the row; an inch size is the nearest tenth
    // of a millimetre to inches x 25.4 mm.
    EXPECT_EQ(ppGetPaperName(p.Code), p.Name);
    int w, h;
    ppGetPaperSize(p.Code, w, h);
    const double scale = p.Inches ? 254 : 1;
    EXPECT_LE(std::abs(w - p.Width * scale), 0.5) << w;
    EXPECT_LE(std::abs(h - p.Height * scale), 0.5) << h;
    if (!p.Inches) {
      EXPECT_EQ(p.Width, std::floor(p.Width));
      EXPECT_EQ(p.Height, std::floor(p.Height));
    }
    // A size the name states is the row's size, in the row's unit.
    double nw, nh;
    bool inches;
    if (SizeInName(p.Name, nw, nh, inches)) {
      ++statedSizes;
      EXPECT_EQ(inches, p.Inches) << p.Name;
      EXPECT_DOUBLE_EQ(nw, p.Width) << p.Name;
      EXPECT_DOUBLE_EQ(nh, p.Height) << p.Name;
    }
    // Rows that share a name are one paper.
    auto [it, added] = byName.emplace(p.Name, &p);
    if (!added) {
      EXPECT_EQ(it->second->Width, p.Width) << p.Name;
      EXPECT_EQ(it->second->Height, p.Height) << p.Name;
    }
  }
  EXPECT_GE(statedSizes, 40);
  EXPECT_EQ(byName.size() + 1, papers.size());  // only Letter has two codes, 1 and 2
  // Codes the table does not know have no name and no size.
  for (int code = -1; code <= 300; ++code) {
    if (codes.count(code)) continue;
    int w = -1, h = -1;
    ppGetPaperSize(code, w, h);
    EXPECT_EQ(w + h, 0) << code;
    EXPECT_EQ(ppGetPaperName(code), "Unknown") << code;
  }
  EXPECT_TRUE(codes.count(256));
  EXPECT_FALSE(codes.count(48) || codes.count(49));
}

TEST(Capabilities, NormalisationOfPapersAndBins) {
  TppPrinterCapabilities c;
  c.PaperCodes.SetCommaText("9,300,301,20");
  c.PaperWidths.SetCommaText("2100,820");
  c.PaperHeights.SetCommaText("2970,1500");
  c.PaperNames.SetCommaText("A4");  // fewer names than codes: rebuilt
  c.NormalisePapers();
  // 300 has a size: named by it; 301 has none and no table size: removed;
  // 20 takes its table size; Custom appended last.
  EXPECT_EQ(List(c.PaperNames), (Names{"A4 210 x 297 mm", "82 x 150 mm", "Envelope #10 4 18 x 9 1/2", "Custom"}));
  EXPECT_EQ(List(c.PaperCodes), (Names{"9", "300", "20", "256"}));
  EXPECT_EQ(List(c.PaperWidths)[2], "1048");  // 4.125 in
  EXPECT_EQ(List(c.PaperWidths)[3], "0");

  TppPrinterCapabilities u;
  u.PaperCodes.SetCommaText("9,257");
  u.PaperNames.SetCommaText("A4,\"User size\",Surplus");
  u.NormalisePapers();
  EXPECT_EQ(List(u.PaperNames), (Names{"A4", "Custom"}));
  EXPECT_EQ(List(u.PaperCodes), (Names{"9", "257"}));

  TppPrinterCapabilities b;
  b.BinCodes.SetCommaText("1,2,3");
  b.BinNames.SetCommaText("Upper,Lower");
  b.NormaliseBins();
  EXPECT_EQ(List(b.BinNames), (Names{"Default", "Upper", "Lower"}));
  EXPECT_EQ(List(b.BinCodes), (Names{"7", "1", "2"}));
}

TEST_F(Printers, FreshRootListsScreenAndDefault) {
  TppPrinterList* list = ppGetPrinterList();
  EXPECT_EQ(list->PrinterNames(), (Names{"Screen", "Default"}));
  EXPECT_EQ(ppGetGlobalPrinter(), nullptr);
  // No device line: the screen stands for the default printer.
  EXPECT_EQ(list->DefaultPrinterName(), "Screen");
  EXPECT_EQ(list->GetPrinterInfo("Default")->Name(), "Screen");
  TppPrinterCapabilities* sc = list->GetPrinterInfo("Screen")->GetCapabilities();
  EXPECT_EQ(sc->PaperCodes.CommaText(), "256,1,5,8,8,9,17,39,40,19,20,21,22,23");
  EXPECT_EQ(sc->PaperNames[0], "Custom");
  EXPECT_EQ(List(sc->BinNames), (Names{"Default"}));
  TppPrinterInfo* none = ppGetNoPrinterInfo();
  EXPECT_EQ(none->Name(), "No Printer Installed");
  EXPECT_EQ(List(none->GetCapabilities()->PaperNames), (Names{"Custom"}));
  EXPECT_EQ(List(none->GetCapabilities()->BinNames), (Names{"Default"}));
  EXPECT_EQ(ppGetNoPrinterInfo(), none);
}

TEST_F(Printers, NamesResolveToTheDefaultPrinter) {
  Install(RecordingZolmet(), true);
  Install(Office("Office"));
  TppPrinterList* list = ppGetPrinterList();
  EXPECT_EQ(list->PrinterNames(), (Names{"Screen", "Default", "Office", "Zolmet"}));
  ASSERT_NE(ppGetGlobalPrinter(), nullptr);
  EXPECT_EQ(list->GetPrinterInfo("Default")->Name(), "Zolmet");
  EXPECT_EQ(list->GetPrinterInfo("office")->Name(), "Office");
  EXPECT_EQ(list->GetPrinterInfo("Office on LPT9:")->Name(), "Office");
  EXPECT_EQ(list->GetPrinterInfo("Missing")->Name(), "Zolmet");
  // A name with "on" but no " on" is not taken for the pseudo entry "Default".
  EXPECT_EQ(list->GetPrinterInfo("Canon")->Name(), "Zolmet");
  EXPECT_TRUE(list->GetPrinterInfo("Zolmet")->Network());  // attributes other than 16 alone
  EXPECT_EQ(list->GetPrinterInfo("Zolmet")->GetDescription(), "");  // level 4 has no port
  TppPrinterCapabilities* zc = list->GetPrinterInfo("Zolmet")->GetCapabilities();
  EXPECT_EQ(List(zc->PaperNames), (Names{"Roll Paper 82 x 297 mm", "Custom"}));
  EXPECT_EQ(List(zc->PaperCodes), (Names{"257", "256"}));
  EXPECT_EQ(List(zc->BinNames), (Names{"Default", "Roll Feed"}));
  EXPECT_EQ(List(zc->BinCodes), (Names{"7", "15"}));
}

TEST_F(Printers, DefaultNamingAMissingPrinterResolvesToNothing) {
  Install(Office("Office"));
  WriteFile(root_.Host("C:\\Windows\\win.ini"), "[windows]\r\ndevice=Gone,drv,LPT1:\r\n");
  TppPrinterList* list = ppGetPrinterList();
  EXPECT_EQ(list->DefaultPrinterName(), "");
  EXPECT_EQ(list->GetPrinterInfo("Default"), nullptr);
  EXPECT_EQ(list->GetPrinterInfo("Missing"), nullptr);
  // A setup keeps what it had; a printer object falls back to the screen.
  TppPrinterSetup setup(nullptr);
  setup.SetPrinterName("Office");
  setup.SetPrinterName("Missing");
  EXPECT_EQ(setup.PrinterName(), "Office");
  TppPrinter printer;
  printer.SetPrinterName("Default");
  EXPECT_EQ(printer.GetPrinterName(), "Screen");
}

TEST_F(Printers, LevelFiveListsOneEntryPerPort) {
  win::SetVersionForTesting(win::VER_PLATFORM_WIN32_WINDOWS, 4);
  Install(Office("Office"));
  TppPrinterList* list = ppGetPrinterList();
  EXPECT_EQ(list->PrinterNames(), (Names{"Screen", "Default", "Office", "Office"}));
  EXPECT_EQ(list->GetPrinterInfo("Office")->GetDescription(), "Office on LPT1:");
  EXPECT_EQ(TppPrinterList::SplitCommaList("LPT1:,  LPT2:,"), (Names{"LPT1:", "LPT2:"}));
}

TEST_F(Printers, SetupDefaultsAndRefusals) {
  TppPrinterSetup s(nullptr);
  EXPECT_EQ(s.PrinterName(), "Default");
  EXPECT_EQ(s.PageDef()->mmWidth(), 215900);
  EXPECT_EQ(s.PageDef()->mmHeight(), 279401);
  EXPECT_EQ(s.PageDef()->mmMarginTop(), 6350);
  EXPECT_FLOAT_EQ(s.PaperWidth(), 8.5f);
  EXPECT_EQ(s.PaperName(), "Letter 8 1/2 x 11 in");  // the screen's Letter
  s.SetPrinterName("Current");
  EXPECT_EQ(s.PrinterName(), "Default");
  s.SetCopies(0);
  EXPECT_EQ(s.Copies(), 1);
  s.SetMarginLeft(-1);
  EXPECT_EQ(s.PageDef()->mmMarginLeft(), 6350);
  s.SetBinName("Current");
  EXPECT_EQ(s.BinName(), "Default");

  struct Refuser {
    int calls = 0;
    void Changing(cls::TObject*, TppPageDef*, bool& accept) {
      ++calls;
      accept = false;
    }
  } refuser;
  s.OnPageDefChanging = TppPageDefChangingEvent(&refuser, &Refuser::Changing);
  s.SetPaperWidth(3);
  EXPECT_EQ(refuser.calls, 1);
  EXPECT_FLOAT_EQ(s.PaperWidth(), 8.5f);

  // An envelope turns the page.
  TppPrinterSetup e(nullptr);
  e.SetPaperName("Envelope #10 4 18 x 9 1/2");
  EXPECT_EQ(e.Orientation(), poLandscape);
  EXPECT_FLOAT_EQ(e.PaperWidth(), 9.5f);
}

TEST_F(Printers, SetupOnTheReceiptPrinter) {
  Install(RecordingZolmet(), true);
  TppPrinterSetup s(nullptr);
  s.SetUnits(utMillimeters);
  s.SetPrinterName("Zolmet");
  s.SetPaperWidth(82);
  s.SetPaperHeight(297);
  EXPECT_EQ(s.PaperName(), "Roll Paper 82 x 297 mm");
  EXPECT_EQ(s.GetPaperSizeCode(), 257);
  s.SetPaperHeight(150);
  EXPECT_EQ(s.PaperName(), "Custom");
  EXPECT_EQ(s.GetPaperSizeCode(), 256);
  EXPECT_EQ(s.BinNames(), (Names{"Default", "Roll Feed"}));
  EXPECT_EQ(s.PrinterNames(), (Names{"Screen", "Default", "Zolmet"}));
  s.SetPrinterName("Not Installed");
  EXPECT_EQ(s.PrinterName(), "Zolmet");
  EXPECT_EQ(s.GetResolvedPrinterName(), "Zolmet");

  TppPrinterSetup copy(nullptr);
  copy.Assign(&s);
  EXPECT_TRUE(copy.IsEqual(&s));
  EXPECT_TRUE(copy.MatchesPaper(&s));
  copy.SetCopies(3);
  EXPECT_FALSE(copy.IsEqual(&s));
  EXPECT_TRUE(copy.MatchesPaper(&s));

  // While the owner reads its stream a size waits for UpdatePageDefSize.
  cls::TComponent owner(nullptr);
  TppPrinterSetup r(&owner);
  r.SetUnits(utMillimeters);
  owner.BeginLoading();
  r.SetPaperHeight(100);
  EXPECT_EQ(r.PageDef()->mmHeight(), 279401);
  owner.EndReading();
  r.UpdatePageDefSize();
  EXPECT_EQ(r.PageDef()->mmHeight(), 100000);
  // A negative size read from a stream is dropped like a negative size set.
  owner.BeginLoading();
  r.SetPaperWidth(-20);
  owner.EndReading();
  r.UpdatePageDefSize();
  EXPECT_EQ(r.PageDef()->mmWidth(), 215900);

  TppPrinterSetup::RegisterProperties();
  EXPECT_DOUBLE_EQ(cls::GetFloatProp(&s, "PaperWidth"), 82.0);
  EXPECT_EQ(cls::GetStrProp(&s, "PrinterName"), "Zolmet");
  cls::SetOrdProp(&s, "Copies", 2);
  EXPECT_EQ(s.Copies(), 2);
}

// The layer's entry point alone publishes the setup (the programs call it;
// nothing here calls RegisterProperties).
TEST_F(Printers, TheOutputLayerPublishesTheSetup) {
  ppRegisterOutput();
  ppRegisterOutput();
  Names published;
  for (const cls::TPropInfo* p : cls::GetPropList(&TppPrinterSetup::StaticClass())) published.push_back(p->Name);
  EXPECT_EQ(published, (Names{"BinName", "Collation", "Copies", "DocumentName", "Duplex", "MarginBottom",
                              "MarginLeft", "MarginRight", "MarginTop", "Orientation", "PaperHeight", "PaperName",
                              "PaperWidth", "PrinterName"}));
  EXPECT_EQ(cls::FindClass("TppPrinterSetup"), &TppPrinterSetup::StaticClass());
  TppPrinterSetup s(nullptr);
  cls::SetEnumProp(&s, "Orientation", "poLandscape");
  EXPECT_EQ(s.Orientation(), poLandscape);
  EXPECT_EQ(cls::GetEnumProp(&s, "Duplex"), "dpNone");
}

TEST_F(Printers, CustomPaperGoesToTheDeviceModeAndComesBack) {
  Install(RecordingZolmet(), true);
  TppPrinterSetup s(nullptr);
  s.SetUnits(utMillimeters);
  s.SetPrinterName("Zolmet");
  s.SetPaperWidth(82);
  s.SetPaperHeight(150);
  s.SetCopies(3);
  TppPrinter p;
  p.SetPrinterSetup(&s);
  const win::DEVMODEA* m = p.GetDevMode();
  ASSERT_NE(m, nullptr);
  EXPECT_EQ(m->dmPaperSize, 256);
  EXPECT_EQ(m->dmPaperWidth, 820);
  EXPECT_EQ(m->dmPaperLength, 1500);
  EXPECT_EQ(m->dmCopies, 1);
  EXPECT_EQ(m->dmFields & (win::DM_PAPERWIDTH | win::DM_PAPERLENGTH | win::DM_DEFAULTSOURCE),
            win::DM_PAPERWIDTH | win::DM_PAPERLENGTH | win::DM_DEFAULTSOURCE);
  EXPECT_EQ(m->dmDefaultSource, 15);
  EXPECT_STREQ(m->dmFormName, "Custom");
  spool::Form form;
  ASSERT_TRUE(spool::FindForm("Custom", form));
  EXPECT_EQ(form.width, 82000);
  EXPECT_EQ(form.height, 150000);
  EXPECT_EQ(form.imageable.right, 82000);
  EXPECT_EQ(form.imageable.bottom, 150000);
  ASSERT_NE(p.OpenPrinterDC(), nullptr);
  EXPECT_EQ(p.PhysicalWidth(), 655);
  EXPECT_FALSE(p.IsColor());

  // Read back through the driver's tenths of a millimetre: 83.452 mm is
  // 835 tenths, which read back as 83.5 mm.
  s.SetPaperHeight(83.452f);
  p.SetPrinterSetup(&s);
  EXPECT_EQ(p.GetDevMode()->dmPaperLength, 835);
  TppPrinterSetup* back = p.GetPrinterSetup();
  EXPECT_FLOAT_EQ(back->PaperHeight(), 83.5f);
  EXPECT_EQ(back->PageDef()->mmHeight(), 83500);
  EXPECT_FLOAT_EQ(back->PaperWidth(), 82.0f);
  EXPECT_EQ(back->PaperName(), "Custom");
  EXPECT_EQ(back->BinName(), "Default");
}

// A printer taking a setup for another printer applies it once, whole: the
// server's "Custom" form never holds the printer's own earlier paper on the
// way, and a form that is already the setup's is not written again.
TEST_F(Printers, APrinterTakingASetupStoresOnlyThatSetupsForm) {
  Install(RecordingZolmet(), true);
  TppPrinterSetup s(nullptr);
  s.SetUnits(utMillimeters);
  s.SetPrinterName("Zolmet");
  s.SetPaperWidth(82);
  s.SetPaperHeight(57.922f);
  auto fileId = [] {
    struct stat st {};
    return ::stat(spool::FormsFile().c_str(), &st) == 0 ? st.st_ino : 0;
  };
  {
    TppPrinter first;
    first.SetPrinterSetup(&s);
  }
  const auto stored = fileId();
  ASSERT_NE(stored, 0u);
  for (int round = 0; round < 3; ++round) {
    TppPrinter p;  // its own setup: the default paper and printer
    p.SetPrinterSetup(&s);
    EXPECT_EQ(fileId(), stored) << round;
    spool::Form form;
    ASSERT_TRUE(spool::FindForm("Custom", form));
    EXPECT_EQ(form.height, 57922);
    EXPECT_EQ(p.GetDevMode()->dmPaperLength, 579);
  }
}

TEST_F(Printers, ScreenCannotPrintAndSaysSo) {
  TppPrinter p;
  p.SetPrinterName("Screen");
  win::HDC dc = p.OpenPrinterDC();
  ASSERT_NE(dc, nullptr);
  EXPECT_EQ(win::GetDeviceCaps(dc, win::TECHNOLOGY), win::DT_RASDISPLAY);
  int x, y;
  p.GetPixelsPerInch(x, y);
  EXPECT_EQ(x, 96);
  try {
    p.BeginDoc();
    FAIL() << "printed on the screen";
  } catch (const EPrintError& e) {
    EXPECT_STREQ(e.what(), "Screen printer does not support printing.");
  }
  EXPECT_FALSE(p.Printing());
  EXPECT_THROW(p.BeginDoc(), EPagewrightError);
}

TEST_F(Printers, PagesAndDocuments) {
  Install(RecordingZolmet(), true);
  TppPrinter p;
  p.SetPrinterName("Zolmet");
  p.BeginDoc();
  p.NewPage();
  p.NewPage();  // one page only
  EXPECT_EQ(p.PageNumber(), 1);
  p.GetCanvas()->TextOut(0, 0, "x");
  p.EndDoc();  // ends the open page first
  EXPECT_FALSE(p.Printing());
  auto jobs = gdi::RecordedJobs();
  ASSERT_EQ(jobs.size(), 1u);
  EXPECT_EQ(jobs[0].pages.size(), 1u);
  EXPECT_EQ(jobs[0].pages[0].ops.size(), 1u);
  p.EndPage();  // nothing open: nothing happens
  p.EndDoc();
}

TEST_F(Printers, AFailedJobRaisesInsteadOfPassingAsPrinted) {
  spool::PrinterDef d = spool::DemoReceiptPrinter();
  d.output = "C:\\blocker\\out";
  Install(d, true);
  WriteFile(root_.Host("C:\\") + "/blocker", "not a folder");
  TppPrinter p;
  p.SetPrinterName("Zolmet");
  EXPECT_THROW(p.BeginDoc(), EPrintError);
  EXPECT_FALSE(p.Printing());
  // The printer can be used again once the output can be written.
  std::filesystem::remove(root_.Host("C:\\") + "/blocker");
  p.BeginDoc();
  p.NewPage();
  p.EndDoc();
  EXPECT_TRUE(std::filesystem::exists(root_.Host("C:\\blocker\\out\\job-0001.pdf")));
}

TEST_F(Printers, PropertiesDialogConfirmsOnlyWithOk) {
  Install(RecordingZolmet(), true);
  TppPrinter p;
  p.SetPrinterName("Zolmet");
  struct Counter {
    int n = 0;
    void Changed(cls::TObject*) { ++n; }
  } counter;
  p.OnDevModeChange = cls::TNotifyEvent(&counter, &Counter::Changed);
  short before = p.GetDevMode()->dmOrientation;
  EXPECT_FALSE(p.ShowPropertiesDialog());  // the prompt answers Cancel
  EXPECT_EQ(counter.n, 0);
  EXPECT_EQ(p.GetDevMode()->dmOrientation, before);
  spool::SetPropertiesPrompt([](const std::string&, win::DEVMODEA& m) {
    m.dmFields |= win::DM_ORIENTATION;
    m.dmOrientation = win::DMORIENT_LANDSCAPE;
    return win::IDOK_;
  });
  EXPECT_TRUE(p.ShowPropertiesDialog());
  EXPECT_EQ(counter.n, 1);
  EXPECT_EQ(p.GetDevMode()->dmOrientation, win::DMORIENT_LANDSCAPE);
  EXPECT_EQ(p.GetPrinterSetup()->Orientation(), poLandscape);
}

TEST_F(Printers, CanvasFontFollowsThePrinter) {
  Install(RecordingZolmet(), true);
  TppPrinter p;
  p.SetPrinterName("Zolmet");
  TppPrinterCanvas* c = p.GetCanvas();
  c->Font.SetSize(12);
  c->Font.SetColor(gdi::clRed);
  EXPECT_EQ(c->TextHeight("W"), 34);  // 12 pt at 203 dpi
  EXPECT_EQ(c->Font.Size(), 12);
  EXPECT_EQ(c->Font.Color(), gdi::clBlack);  // monochrome printer
  c->Font.SetColor(gdi::clWhite);
  c->TextWidth("W");
  EXPECT_EQ(c->Font.Color(), gdi::clWhite);
}

TEST_F(Printers, APrinterThatCannotOpenTurnsToTheScreen) {
  Install(RecordingZolmet(), true);
  TppPrinter p;
  p.SetPrinterName("Zolmet");
  ppGetPrinterList();
  ASSERT_TRUE(spool::RemovePrinter("Zolmet"));
  EXPECT_NE(p.OpenPrinterDC(), nullptr);
  EXPECT_EQ(p.GetPrinterName(), "Screen");
  EXPECT_FALSE(ppGetPrinterList()->GetPrinterInfo("Zolmet")->Usable());
  try {
    p.BeginDoc();
    FAIL();
  } catch (const EPrintError& e) {
    EXPECT_STREQ(e.what(), "Screen printer does not support printing.");
  }
}

TEST_F(Printers, GlobalObjectsAreMadeOnceAcrossThreads) {
  Install(RecordingZolmet(), true);
  std::vector<std::thread> threads;
  std::vector<TppPrinterList*> lists(4);
  std::vector<TppPrinter*> printers(4);
  std::vector<TppPrinterCapabilities*> caps(4);
  for (int i = 0; i < 4; ++i)
    threads.emplace_back([&, i] {
      lists[i] = ppGetPrinterList();
      caps[i] = lists[i]->GetPrinterInfo("Default")->GetCapabilities();
      printers[i] = ppGetGlobalPrinter();
    });
  for (auto& t : threads) t.join();
  for (int i = 1; i < 4; ++i) {
    EXPECT_EQ(lists[i], lists[0]);
    EXPECT_EQ(printers[i], printers[0]);
    EXPECT_EQ(caps[i], caps[0]);
  }
  EXPECT_NE(printers[0], nullptr);
}

namespace {

// Collects defined properties; writes integers and reads them back.
struct IntFiler : cls::TFiler, cls::TWriter {
  std::vector<std::pair<std::string, int64_t>> written;
  std::map<std::string, ReadProc> readers;
  std::string current;
  void DefineProperty(const std::string& name, ReadProc read, WriteProc write, bool hasData) override {
    readers[name] = read;
    current = name;
    if (write && hasData) write(*this);
  }
  void WriteInteger(int64_t v) override { written.push_back({current, v}); }
  void WriteFloat(double) override {}
  void WriteString(const std::string&) override {}
  void WriteIdent(const std::string&) override {}
  void WriteBoolean(bool) override {}
};

struct IntReader : cls::TReader {
  int64_t value;
  explicit IntReader(int64_t v) : value(v) {}
  cls::TValueKind NextValue() override { return cls::vkInteger; }
  int64_t ReadInteger() override { return value; }
  double ReadFloat() override { return 0; }
  std::string ReadString() override { return ""; }
  std::string ReadIdent() override { return ""; }
  bool ReadBoolean() override { return false; }
  void SkipValue() override {}
  bool EndOfList() override { return true; }
  std::string ReadPropName() override { return ""; }
  int64_t Position() override { return 0; }
  void SetPosition(int64_t) override {}
};

}  // namespace

TEST_F(Printers, StoredGeometryAndPaperCode) {
  Install(RecordingZolmet(), true);
  TppPrinterSetup s(nullptr);
  s.SetUnits(utMillimeters);
  s.SetPrinterName("Zolmet");
  s.SetPaperWidth(82);
  s.SetPaperHeight(297);
  IntFiler f;
  s.DefineProperties(&f);
  ASSERT_EQ(f.written.size(), 7u);
  EXPECT_EQ(f.written[0], (std::pair<std::string, int64_t>{"mmMarginBottom", 6350}));
  EXPECT_EQ(f.written[4], (std::pair<std::string, int64_t>{"mmPaperHeight", 297000}));
  EXPECT_EQ(f.written[6], (std::pair<std::string, int64_t>{"PaperSize", 257}));

  TppPrinterSetup r(nullptr);
  r.SetPrinterName("Zolmet");
  IntFiler rf;
  r.DefineProperties(&rf);
  IntReader height(150000), code(257);
  rf.readers["mmPaperHeight"](height);
  EXPECT_EQ(r.PageDef()->mmHeight(), 150000);
  rf.readers["PaperSize"](code);
  EXPECT_EQ(r.PaperName(), "Roll Paper 82 x 297 mm");  // the stored code names the paper
}

TEST_F(Printers, OrientationBinAndUnitsReachTheDeviceMode) {
  Install(Office("Office"), true);
  TppPrinterSetup s(nullptr);
  s.SetPrinterName("Office");
  s.SetPaperName("A4");
  EXPECT_FLOAT_EQ(s.PaperWidth(), FromTenthsMM(2100, utInches));
  s.SetUnits(utMillimeters);  // the paper's size is written back in the new unit
  EXPECT_EQ(s.PageDef()->mmWidth(), 210000);
  s.SetOrientation(poLandscape);
  EXPECT_EQ(s.PageDef()->mmWidth(), 297000);
  EXPECT_EQ(s.PaperName(), "A4");
  s.SetBinName("Manual Feed");
  s.SetDuplex(dpVertical);
  TppPrinter p;
  p.SetPrinterSetup(&s);
  const win::DEVMODEA* m = p.GetDevMode();
  EXPECT_EQ(m->dmOrientation, win::DMORIENT_LANDSCAPE);
  EXPECT_EQ(m->dmPaperSize, 9);
  EXPECT_EQ(m->dmDefaultSource, 4);
  EXPECT_EQ(m->dmDuplex, 3);
  EXPECT_EQ(m->dmFields & win::DM_PAPERWIDTH, 0u);
  ASSERT_NE(p.OpenPrinterDC(), nullptr);
  EXPECT_EQ(p.PhysicalWidth(), 7016);  // 297 mm at 600 dpi
  EXPECT_TRUE(p.IsColor());
  TppPrinterSetup* back = p.GetPrinterSetup();
  EXPECT_EQ(back->BinName(), "Manual Feed");
  EXPECT_EQ(back->Orientation(), poLandscape);
  EXPECT_EQ(back->Duplex(), dpVertical);
  EXPECT_EQ(back->PaperName(), "A4");

  // A custom size in landscape goes to the driver as the paper lies upright.
  s.SetPaperName("Custom");
  s.SetPaperWidth(150);
  s.SetPaperHeight(82);
  int w, l;
  p.SetPrinterSetup(&s);
  p.GetCustomPaperSize(w, l);
  EXPECT_EQ(w, 820);
  EXPECT_EQ(l, 1500);
}

TEST_F(Printers, AHandOverThatFailsFailsTheJob) {
  spool::PrinterDef d = spool::DemoReceiptPrinter();
  d.command = "exit 3;";
  d.formats = {"pdf"};
  Install(d, true);
  TppPrinter p;
  p.SetPrinterName("Zolmet");
  p.BeginDoc();
  p.NewPage();
  try {
    p.EndDoc();
    FAIL() << "a failed hand-over passed as printed";
  } catch (const EPrintError& e) {
    EXPECT_NE(std::string(e.what()).find("TppCustomPrinter.EndDoc: "), std::string::npos) << e.what();
  }
  EXPECT_FALSE(p.Printing());
  EXPECT_NE(ReadFile(root_.Host("C:\\Zolmet\\Printed\\Zolmet\\job-0001.job")).find("Status=failed"),
            std::string::npos);
}

TEST_F(Printers, AFailedJobNamesItsOwnCause) {
  auto endDocMessage = [](const std::string& printer) {
    TppPrinter p;
    p.SetPrinterName(printer);
    p.BeginDoc();
    p.NewPage();
    try {
      p.EndDoc();
    } catch (const EPrintError& e) {
      return std::string(e.what());
    }
    return std::string("printed");
  };
  spool::PrinterDef d = spool::DemoReceiptPrinter();
  d.command = "false";
  d.formats = {"pdf"};
  Install(d, true);
  std::string failed = endDocMessage("Zolmet");
  EXPECT_NE(failed.find("(The command \"false\" ended with exit code 1.)"), std::string::npos) << failed;
  EXPECT_EQ(failed.find(win::SysErrorMessage(win::ERROR_DISK_FULL)), std::string::npos) << failed;

  // A command that hangs is stopped at the printer's limit.
  d.command = "sleep 1000;";
  d.commandTimeout = 1;
  Install(d, true);
  std::string hung = endDocMessage("Zolmet");
  EXPECT_NE(hung.find("(The command \"sleep 1000;\" did not end within 1 s and was stopped.)"), std::string::npos)
      << hung;
  EXPECT_NE(ReadFile(root_.Host("C:\\Zolmet\\Printed\\Zolmet\\job-0002.job"))
                .find("Error=The command \"sleep 1000;\" did not end within 1 s"),
            std::string::npos);
}

TEST_F(Printers, EveryDescribedNameReadsAndTakesItsOwnValueBack) {
  // Each described class that can be made by name, and a printer setup.
  std::vector<cls::Owned<cls::TObject>> objects;
  auto entries = raRTTIClassRegistry().Entries();
  for (const auto& e : *entries)
    if (e.Described->Create) objects.emplace_back(e.Described->Create(nullptr));
  objects.emplace_back(new TppPrinterSetup(nullptr));
  ASSERT_GE(objects.size(), 6u);
  for (auto& object : objects) {
    const TraRTTI* rtti = raGetRTTIClass(object->ClassType());
    ASSERT_NE(rtti, nullptr) << object->ClassName();
    cls::TStringList names;
    rtti->GetPropList(&names);
    for (int i = 0; i < names.Count(); ++i) {
      SCOPED_TRACE(object->ClassName() + "." + names[i]);
      TraPropRec rec;
      ASSERT_TRUE(rtti->GetPropRec(names[i], rec));
      if (rec.TypeCode == daMethod) continue;
      TraValue value;
      ASSERT_TRUE(rtti->GetPropValue(object.get(), names[i], value));
      std::string text, again;
      ASSERT_TRUE(rtti->GetPropValueText(object.get(), names[i], text));
      if (rec.IsReadOnly) {
        EXPECT_FALSE(rtti->SetPropValue(object.get(), names[i], value));
        continue;
      }
      ASSERT_TRUE(rtti->SetPropValue(object.get(), names[i], value));
      ASSERT_TRUE(rtti->GetPropValueText(object.get(), names[i], again));
      EXPECT_EQ(again, text);
    }
  }
}

TEST_F(Printers, SetupByName) {
  Install(Office("Office"), true);
  TppPrinterSetup setup(nullptr);
  const TraRTTI* rtti = raGetRTTIClass(&TppPrinterSetup::StaticClass());
  ASSERT_EQ(rtti, &TraTppPrinterSetupRTTI::Instance());
  std::string text;
  ASSERT_TRUE(rtti->GetPropValueText(&setup, "PrinterNames", text));
  EXPECT_EQ(text, "Screen\r\nDefault\r\nOffice\r\n");
  ASSERT_TRUE(rtti->SetPropValue(&setup, "PrinterName", std::string("Office")));
  ASSERT_TRUE(rtti->GetPropValueText(&setup, "BinNames", text));
  EXPECT_EQ(text, "Default\r\nAutomatic\r\nManual Feed\r\n");
  // Units by name: the published sizes follow them.
  EXPECT_TRUE(rtti->SetPropValue(&setup, "Units", TraEnumValue{utMillimeters}));
  EXPECT_FALSE(rtti->SetPropValue(&setup, "Units", TraEnumValue{9}));
  ASSERT_TRUE(rtti->GetPropValueText(&setup, "Units", text));
  EXPECT_EQ(text, "utMillimeters");
  EXPECT_TRUE(rtti->SetPropValue(&setup, "MarginLeft", 25.4f));
  EXPECT_EQ(setup.PageDef()->mmMarginLeft(), 25400);
  EXPECT_FALSE(rtti->SetPropValue(&setup, "MarginLeft", 25.4));  // a double is not a single
  ASSERT_TRUE(rtti->GetPropValueText(&setup, "MarginLeft", text));
  EXPECT_EQ(text, "25.4");
  TraValue v;
  ASSERT_TRUE(rtti->GetPropValue(&setup, "PageDef", v));
  EXPECT_EQ(std::get<cls::TObject*>(v), setup.PageDef());
  ASSERT_TRUE(rtti->GetPropValue(&setup, "PrinterInfo", v));
  EXPECT_EQ(std::get<cls::TObject*>(v), setup.PrinterInfo().get());
  EXPECT_FALSE(rtti->SetPropValue(&setup, "PrintableWidth", 1.0f));
  TraPropRec rec;
  ASSERT_TRUE(rtti->GetPropRec("Copies", rec));
  EXPECT_TRUE(rec.IsPublished);
  EXPECT_EQ(rec.TypeCode, daInteger);
  ASSERT_TRUE(rtti->GetPropRec("PaperWidth", rec));
  EXPECT_EQ(rec.TypeCode, daSingle);
}
