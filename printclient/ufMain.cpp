#include "ufMain.h"

#include <algorithm>
#include <cctype>
#include <exception>
#include <stdexcept>
#include <variant>
#include <vector>

#include "common/uuCoding.h"
#include "common/uuCommon.h"
#include "platform/classes/filer.h"
#include "platform/gdi/gdi.h"
#include "platform/process/process.h"
#include "platform/ui/dialogs.h"
#include "printclient/ufMainReceipt.h"
#include "printclient/ufShow.h"
#include "printclient/uuConfig.h"
#include "printclient/uuPrintData.h"
#include "report/components/ppBarCod.h"
#include "report/components/ppCtrls.h"
#include "report/components/ppMemo.h"
#include "report/engine/ppBands.h"
#include "report/engine/ppReport.h"

namespace printclient {

TzfMain* zfMain = nullptr;

namespace {

void HackLog(const std::string& text) {
  uuCommon::WriteLog(uuCommon::kLogDir, "ZolmetPrint.hack", text);
}

void ResultBox(const std::string& text) {
  ui::MessageBox(text, uuConfig::kAppTitle, ui::MB_OK | ui::MB_ICONINFORMATION);
}

// Calls Application.Terminate when the handler is left, however it is left.
struct TerminateOnExit {
  bool armed = true;
  ~TerminateOnExit() {
    if (armed) ui::Application().Terminate();
  }
};

// The form's stream holds some values as properties an object defines
// beyond its published ones; this reads one such value into the object as
// the stream reader does.
class TStreamedValue : public cls::TFiler, public cls::TReader {
 public:
  TStreamedValue(std::string name, std::variant<int64_t, std::string> value)
      : name_(std::move(name)), value_(std::move(value)) {}
  void ReadInto(cls::TPersistent* object) {
    object->DefineProperties(this);
    if (!read_) throw std::logic_error("no stream property " + name_);
  }

  void DefineProperty(const std::string& name, ReadProc read, WriteProc, bool) override {
    if (name != name_ || !read || read_) return;
    read_ = true;
    read(*this);
  }
  cls::TValueKind NextValue() override {
    return std::holds_alternative<int64_t>(value_) ? cls::vkInteger : cls::vkString;
  }
  int64_t ReadInteger() override { return std::get<int64_t>(value_); }
  double ReadFloat() override { return static_cast<double>(ReadInteger()); }
  std::string ReadString() override { return std::get<std::string>(value_); }
  std::string ReadIdent() override { return ReadString(); }
  bool ReadBoolean() override { return ReadInteger() != 0; }
  void SkipValue() override {}
  bool EndOfList() override { return true; }
  std::string ReadPropName() override { return {}; }
  int64_t Position() override { return 0; }
  void SetPosition(int64_t) override {}

 private:
  std::string name_;
  std::variant<int64_t, std::string> value_;
  bool read_ = false;
};

void ReadStreamed(cls::TPersistent* object, const std::string& name, std::variant<int64_t, std::string> value) {
  TStreamedValue(name, std::move(value)).ReadInto(object);
}

// A printable's bounds as its stream holds them, thousandths of a mm.
void ReadBounds(cls::TPersistent* object, int64_t left, int64_t top, int64_t width, int64_t height) {
  ReadStreamed(object, "mmHeight", height);
  ReadStreamed(object, "mmLeft", left);
  ReadStreamed(object, "mmTop", top);
  ReadStreamed(object, "mmWidth", width);
}

gdi::TFont DesignFont(const std::string& name, int points) {
  gdi::TFont f;
  f.SetName(name);
  f.SetSize(points);
  f.SetColor(gdi::clBlack);
  f.SetCharset(win::CHINESEBIG5_CHARSET);
  return f;
}

// Receipt layout, millimetres: the memo's line pitch (細明體 12 pt) and the
// space kept below the text.
constexpr float kLineHeight = 4.255f;
constexpr float kBottomSpace = 6.35f + 6.35f;

}  // namespace

win::DWORD VersionExitCode(const std::string& version) {
  std::string v = version;
  std::transform(v.begin(), v.end(), v.begin(),
                 [](unsigned char c) { return static_cast<char>(std::tolower(c)); });
  return static_cast<win::DWORD>(v.at(9) - 'a') +
         100u * static_cast<win::DWORD>(std::stoul(v.substr(3, 6)));
}

CLS_IMPLEMENT_COMPONENT(TzfMain)

TzfMain::TzfMain(ui::TComponent* AOwner) : ui::TForm(AOwner) {
  SetName("zfMain");
  BorderStyle = ui::TFormBorderStyle::bsDialog;
  SetClientWidth(345);
  SetClientHeight(112);
  Font.SetName("細明體");
  Font.SetHeight(-16);
  Font.SetCharset(win::CHINESEBIG5_CHARSET);

  pnHint = new ui::TPanel(this);
  pnHint->SetName("pnHint");
  pnHint->SetParent(this);
  pnHint->SetAlign(ui::TAlign::alClient);
  pnHint->Caption = "單據列印處理中";
  pnHint->Font.SetName("標楷體");
  pnHint->Font.SetHeight(-21);
  pnHint->Font.SetCharset(win::CHINESEBIG5_CHARSET);
  pnHint->BevelInner = ui::TBevelCut::bvLowered;
  pnHint->BorderWidth = 5;

  CreateReport();

  Timer1 = new ui::TTimer(this);
  Timer1->SetName("Timer1");
  Timer1->SetEnabled(false);
  Timer1->OnTimer = [this](ui::TObject* s) { Timer1Timer(s); };

  OnCreate = [this](ui::TObject* s) { FormCreate(s); };
  ExitProcess = [](win::DWORD code) { win::ExitProcess(code); };
  StartMinute = uuCoding::MinuteCount(win::ProcessStartTime());
  DecodeParam = [this](const std::string& Argument) { return uuCoding::DecodeParam(Argument, StartMinute); };
}

// The report as the form's stream makes it: every object is created, then
// loaded with its design values (setters see the loading state, so none
// overwrites another's value), then told that loading is done.
void TzfMain::CreateReport() {
  ppReport1 = new TppReport(this);
  ppHeaderBand1 = new TppHeaderBand(this);
  lbTitle = new TppLabel(this);
  ppBarCode = new TppBarCode(this);
  lbData = new TppMemo(this);
  ppDetailBand1 = new TppDetailBand(this);
  ppFooterBand1 = new TppFooterBand(this);
  const std::vector<cls::TComponent*> loaded = {ppReport1, ppHeaderBand1, lbTitle,      ppBarCode,
                                                 lbData,    ppDetailBand1, ppFooterBand1};
  for (cls::TComponent* c : loaded) c->BeginLoading();

  ppReport1->SetName("ppReport1");
  TppPrinterSetup* setup = ppReport1->PrinterSetup();
  setup->SetBinName("Default");
  setup->SetDocumentName("Report");
  setup->SetPaperName("Custom");
  setup->SetPrinterName("Screen");
  TppPageDef* page = setup->PageDef();
  page->SetmmMarginBottom(6350);
  page->SetmmMarginLeft(6350);
  page->SetmmMarginRight(6350);
  page->SetmmMarginTop(6350);
  page->SetmmHeight(279000);
  page->SetmmWidth(82000);
  setup->SetStoredPaperCode(256);
  ppReport1->SetDeviceType("Screen");
  ppReport1->SetShowPrintDialog(false);
  ppReport1->SetUnits(utMillimeters);
  ReadStreamed(ppReport1, "Version", std::string("7.03"));

  auto band = [this](TppBand* b, const std::string& name, int32_t mmHeight) {
    b->SetName(name);
    b->SetReport(ppReport1);
    b->SetmmHeight(mmHeight);
  };
  band(ppHeaderBand1, "ppHeaderBand1", 180182);
  ppHeaderBand1->SetPrintHeight(phDynamic);

  lbTitle->SetName("lbTitle");
  lbTitle->SetBand(ppHeaderBand1);
  lbTitle->SetUserName("lbTitle");
  lbTitle->SetAutoSize(false);
  lbTitle->SetCaption("Orvane Dravik購卡站");
  gdi::TFont titleFont = DesignFont("標楷體", 16);
  lbTitle->SetFont(&titleFont);
  lbTitle->SetTransparent(true);
  ReadBounds(lbTitle, 0, 0, 61383, 6879);

  ppBarCode->SetName("ppBarCode");
  ppBarCode->SetBand(ppHeaderBand1);
  ppBarCode->SetUserName("ppBarCode");
  ppBarCode->SetAlignment(cls::taCenter);
  ppBarCode->SetAutoSize(false);
  ppBarCode->SetBarCodeType(bcEAN_13);
  ppBarCode->SetAutoEncode(true);
  ppBarCode->SetData("2000001000014");
  gdi::TFont readableFont = DesignFont("Courier New", 8);
  readableFont.SetCharset(win::DEFAULT_CHARSET);
  ppBarCode->SetFont(&readableFont);
  ReadBounds(ppBarCode, 265, 8202, 42917, 18000);
  ReadStreamed(ppBarCode, "mmBarWidth", 400);
  ReadStreamed(ppBarCode, "mmWideBarRatio", 25400);

  lbData->SetName("lbData");
  lbData->SetBand(ppHeaderBand1);
  lbData->SetUserName("lbData");
  lbData->SetCharWrap(false);
  gdi::TFont dataFont = DesignFont("細明體", 12);
  lbData->SetFont(&dataFont);
  lbData->SetStretch(true);
  lbData->SetTransparent(true);
  ReadBounds(lbData, 0, 27517, 69321, 6350);

  band(ppDetailBand1, "ppDetailBand1", 0);
  band(ppFooterBand1, "ppFooterBand1", 0);

  for (cls::TComponent* c : loaded) c->EndReading();
  for (cls::TComponent* c : loaded) c->FinishLoading();
}

TzfMain::~TzfMain() {
  if (zfMain == this) zfMain = nullptr;
}

void TzfMain::FormCreate(ui::TObject*) {
  ui::Application().SetTitle(uuConfig::kAppTitle);
  Caption = uuConfig::kAppTitle + " " + uuConfig::kVersion;
  Timer1->SetEnabled(false);
  Timer1->SetInterval(500);
  Timer1->SetEnabled(true);
}

bool TzfMain::PrintReceipt(int Lines, const std::string& Barcode, const std::string& Text, std::string* Cause) {
  try {
    TppPrinterSetup* setup = ppReport1->PrinterSetup();
    const std::vector<std::string> names = setup->PrinterNames();
    const bool installed = std::any_of(names.rbegin(), names.rend(), [](const std::string& name) {
      return cls::SameText(name, uuConfig::kPrinterName);
    });
    if (!installed) {
      TzfShow* show = ui::NewForm<TzfShow>(this);
      if (show->ShowModal() != ui::mrYes) return true;
    }
    setup->SetPrinterName(uuConfig::kPrinterName);
    setup->SetMarginTop(3.0f);
    setup->SetMarginBottom(0);
    setup->SetMarginLeft(5.0f);
    setup->SetMarginRight(0);
    setup->SetPaperWidth(82.0f);
    if (ufMain::IsValidEAN13(Barcode)) {
      ppBarCode->SetVisible(true);
      ppBarCode->SetData(Barcode);
      lbData->SetTop(ppBarCode->Top() + ppBarCode->Height() + 2.0f);
    } else {
      ppBarCode->SetVisible(false);
      lbData->SetTop(lbTitle->Top() + lbTitle->Height() + 2.0f);
    }
    lbData->SetText(Text);
    setup->SetPaperHeight(lbData->Top() + static_cast<float>(Lines) * kLineHeight + kBottomSpace);
    ppReport1->SetDeviceType("Printer");
    ppReport1->SetShowPrintDialog(false);
    ppReport1->Print();
    // Printed, though its record could not say so: the log does.
    for (const std::string& note : gdi::TakeUnrecordedJobs()) uuPrintData::LogErr(uuCommon::ForLog(note));
    return true;
  } catch (const std::exception& e) {
    // A failure of the print run comes back here once its dialog is
    // closed and its document given up: its cause is shown once.
    if (Cause) *Cause = e.what();
    ui::Application().ShowException(std::current_exception());
    return false;
  } catch (...) {
    ui::Application().ShowException(std::current_exception());
    return false;
  }
}

int TzfMain::PrintShiftReport(const std::string& Text) {
  return ufMain::PrintShiftReport(
      Text, [this](int Lines, const std::string& Barcode, const std::string& Wrapped, std::string& Cause) {
        return PrintReceipt(Lines, Barcode, Wrapped, &Cause);
      });
}

void TzfMain::Timer1Timer(ui::TObject*) {
  Timer1->SetEnabled(false);
  TerminateOnExit finally;

  if (win::ParamCount() != 1) {
    HackLog("參數數量錯誤: " + std::to_string(win::ParamCount()));
    ui::ShowMessage("ZolmetPrint\r檔名: " + win::GetModuleFileName() + "\r" + "版本: " +
                    uuConfig::kVersion);
    return;
  }
  const std::string argument = win::ParamStr(1);
  if (argument == "VER") {
    finally.armed = false;
    ExitProcess(VersionExitCode(uuConfig::kVersion));
    return;
  }

  Show();
  const std::string Request = DecodeParam(argument);
  if (Request.empty()) {
    HackLog("參數內容有誤: " + uuCommon::ForLog(argument));
    ui::ShowMessage("參數內容有誤");
    return;
  }

  const std::string tag = Request.substr(0, 2);
  if (tag == "XJ") {
    uuCoding::TReceiptFields f;
    if (!uuCoding::SplitReceiptRequest(Request, f)) {
      HackLog("[收據]參數內容有誤: " + uuCommon::ForLog(Request.substr(2)));
      return;
    }
    const int R = ProcessPrintData(f.IP, f.WebName, f.WebPage, f.Data);
    switch (R) {
      case ufMain::prFault: ResultBox("發生不明錯誤"); break;
      case ufMain::prDone: break;
      case ufMain::prCodeInvalid: ResultBox("列印代碼無效或已失效"); break;
      case ufMain::prDownloadFailed: ResultBox("抱歉! 網路通訊失敗"); break;
      case ufMain::prPrintFailed: ResultBox("抱歉! 系統失敗"); break;
      case ufMain::prIncomplete: ResultBox("抱歉! 封包接收不完整"); break;
      default: ResultBox("抱歉! 未知狀況"); break;
    }
  } else if (tag == "IS") {
    if (PrintShiftReport(Request.substr(2)) == ufMain::prFault) ResultBox("發生不明錯誤");
  } else {
    HackLog("不明參數: " + uuCommon::ForLog(Request));
  }
}

}  // namespace printclient
