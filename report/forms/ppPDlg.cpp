#include "report/forms/ppPDlg.h"

#include <algorithm>
#include <cstring>
#include <utility>
#include <vector>

#include "platform/classes/sysutils.h"
#include "platform/spool/spool.h"
#include "platform/ui/dialogs.h"
#include "report/model/ppResMgr.h"
#include "report/model/ppUtils.h"
#include "report/output/ppFilDev.h"
#include "report/output/ppPrintr.h"

CLS_IMPLEMENT_CLASS(TppCollationBitmap)
CLS_IMPLEMENT_CLASS(TppNonCollationBitmap)
CLS_IMPLEMENT_COMPONENT(TppPrintDialog)

namespace {

constexpr int kPictureWidth = 102, kPictureHeight = 53;

constexpr int kMaxCopies = 999;
// The form with the file output row.
constexpr int kFormHeight = 392;

// One sheet: window colour, black outline, its number in small type.
void DrawSheet(gdi::TCanvas& c, int x, int y, int number) {
  c.Pen.Color = gdi::clBlack;
  c.Brush.Style = gdi::TBrushStyle::bsSolid;
  c.Brush.Color = gdi::clWindow;
  c.Rectangle(x, y, x + 21, y + 27);
  c.Brush.Style = gdi::TBrushStyle::bsClear;
  c.TextOut(x + 3, y + 14, std::to_string(number));
}

void PreparePicture(gdi::TBitmap& b) {
  b.SetSize(kPictureWidth, kPictureHeight);
  gdi::TCanvas& c = b.Canvas();
  c.Brush.Style = gdi::TBrushStyle::bsSolid;
  c.Brush.Color = gdi::clBtnFace;
  c.FillRect({0, 0, kPictureWidth, kPictureHeight});
  c.Font.SetName("SMALL FONTS");
  c.Font.SetSize(7);
  c.Font.SetColor(gdi::clBlack);
}

// A copy of device class C made to ask its class functions.
struct FileType {
  TppDeviceClass Device;
  std::string Description, DefaultExtension, FileFilter;
  bool Archive = false;
};

std::vector<FileType> FileTypes(bool archive, bool text) {
  std::vector<FileType> out;
  for (const TppDeviceClass& d : GetDeviceClasses()) {
    if (!d.Class || !d.Class->Create || !d.Class->InheritsFrom(&TppFileDevice::StaticClass())) continue;
    const bool isArchive = d.Class->InheritsFrom(&TppArchiveDevice::StaticClass());
    if (isArchive ? !archive : !text) continue;
    cls::TComponent* made = d.Class->Create(nullptr);
    auto* device = cls::ObjectAs<TppFileDevice>(made);
    if (device) out.push_back({d, device->Description(), device->DefaultExtension(), device->FileFilter(), isArchive});
    if (made) made->Free();
  }
  // The archive device first.
  std::stable_partition(out.begin(), out.end(), [](const FileType& t) { return t.Archive; });
  return out;
}

// The setup's printer as the list names it ("Default" resolved).
std::string ResolvedName(const std::string& name) {
  if (cls::AnsiCompareText(name, "Default") == 0) return ppGetPrinterList()->DefaultPrinterName();
  return name;
}

// The spooler's driver and port of printer NAME; empty when it has none.
std::pair<std::string, std::string> DriverAndPort(const std::string& name) {
  win::HANDLE printer = nullptr;
  if (name.empty() || !win::OpenPrinterA(name.c_str(), &printer, nullptr)) return {};
  std::pair<std::string, std::string> out;
  win::DWORD needed = 0;
  win::GetPrinterA(printer, 2, nullptr, 0, &needed);
  std::vector<win::BYTE> buf(needed);
  if (needed >= sizeof(win::PRINTER_INFO_2A) && win::GetPrinterA(printer, 2, buf.data(), needed, &needed)) {
    win::PRINTER_INFO_2A e;
    std::memcpy(&e, buf.data(), sizeof e);
    out = {e.pDriverName ? e.pDriverName : "", e.pPortName ? e.pPortName : ""};
  }
  win::ClosePrinter(printer);
  return out;
}

// A small printer icon; a network printer has a cable under it.
void DrawPrinterIcon(gdi::TBitmap& b, bool network) {
  b.SetSize(16, 16);
  gdi::TCanvas& c = b.Canvas();
  c.Brush.Style = gdi::TBrushStyle::bsSolid;
  c.Brush.Color = gdi::clBtnFace;
  c.FillRect({0, 0, 16, 16});
  c.Pen.Color = gdi::clBlack;
  c.Brush.Color = gdi::clWindow;
  c.Rectangle(4, 1, 12, 6);
  c.Brush.Color = gdi::clBtnShadow;
  c.Rectangle(1, 5, 15, 11);
  if (network) {
    c.MoveTo(8, 11);
    c.LineTo(8, 15);
    c.MoveTo(3, 15);
    c.LineTo(14, 15);
  }
}

}  // namespace

TppCollationBitmap::TppCollationBitmap() {
  PreparePicture(*this);
  for (int stack = 0; stack < 2; ++stack)
    for (int sheet = 3; sheet >= 1; --sheet) DrawSheet(Canvas(), 4 + stack * 57 + (sheet - 1) * 7, 2 + (sheet - 1) * 6, sheet);
}

TppNonCollationBitmap::TppNonCollationBitmap() {
  PreparePicture(*this);
  for (int stack = 0; stack < 3; ++stack)
    for (int sheet = 1; sheet >= 0; --sheet) DrawSheet(Canvas(), 4 + stack * 36 + sheet * 7, 8 + sheet * 6, stack + 1);
}

TppPrintDialog::TppPrintDialog(cls::TComponent* AOwner)
    : TppCustomPrintDialog(AOwner),
      pageRequest_(new TppPageRequest()),
      backgroundSettings_(new TppBackgroundPrintSettings()) {
  BorderStyle = ui::TFormBorderStyle::bsDialog;
  BorderIcons = ui::biSystemMenu;
  Position = ui::TPosition::poScreenCenter;
  Caption = "Print";
  SetClientWidth(426);
  SetClientHeight(kFormHeight);

  auto make = []<class T>(T* c, const char* name, ui::TWinControl* parent, int l, int t, int w, int h) {
    c->SetName(name);
    c->SetParent(parent);
    c->SetBounds(l, t, w, h);
    return c;
  };
  pnlPrint = make(new ui::TPanel(this), "pnlPrint", this, 0, 0, 426, 288);
  pnlPrint->BevelOuter = ui::TBevelCut::bvNone;

  gbxPrinter = make(new ui::TGroupBox(this), "gbxPrinter", pnlPrint, 8, 4, 410, 96);
  lblName = make(new ui::TLabel(this), "lblName", gbxPrinter, 10, 22, 60, 13);
  cbxPrinters = make(new ui::TComboBox(this), "cbxPrinters", gbxPrinter, 70, 18, 240, 21);
  cbxPrinters->Style = ui::TComboBoxStyle::csOwnerDrawFixed;
  imlPrinterTypes = new ui::TImageList(this);
  imlPrinterTypes->SetName("imlPrinterTypes");
  imlPrinterTypes->SetSize(16, 16);
  for (bool network : {false, true}) {
    gdi::TBitmap icon;
    DrawPrinterIcon(icon, network);
    imlPrinterTypes->AddMasked(icon, gdi::clBtnFace);
  }
  btnPrinterProperties = make(new ui::TButton(this), "btnPrinterProperties", gbxPrinter, 320, 17, 75, 23);
  lblType = make(new ui::TLabel(this), "lblType", gbxPrinter, 10, 50, 60, 13);
  lblPrinterType = make(new ui::TLabel(this), "lblPrinterType", gbxPrinter, 70, 50, 320, 13);
  lblWhere = make(new ui::TLabel(this), "lblWhere", gbxPrinter, 10, 70, 60, 13);
  lblPrinterLocation = make(new ui::TLabel(this), "lblPrinterLocation", gbxPrinter, 70, 70, 320, 13);
  lblNoPrinters = make(new ui::TLabel(this), "lblNoPrinters", gbxPrinter, 10, 22, 390, 13);
  lblNoPrinters->Hide();

  gbxPageRange = make(new ui::TGroupBox(this), "gbxPageRange", pnlPrint, 8, 104, 200, 148);
  rdbAll = make(new ui::TRadioButton(this), "rdbAll", gbxPageRange, 10, 20, 180, 17);
  rdbCurrentPage = make(new ui::TRadioButton(this), "rdbCurrentPage", gbxPageRange, 10, 42, 180, 17);
  rdbPages = make(new ui::TRadioButton(this), "rdbPages", gbxPageRange, 10, 64, 70, 17);
  edtPageRange = make(new ui::TEdit(this), "edtPageRange", gbxPageRange, 82, 62, 108, 21);
  lblPageRangeDesc = make(new ui::TLabel(this), "lblPageRangeDesc", gbxPageRange, 10, 90, 180, 52);
  lblPageRangeDesc->WordWrap = true;

  gbxCopies = make(new ui::TGroupBox(this), "gbxCopies", pnlPrint, 216, 104, 202, 148);
  lblNumberOfCopies = make(new ui::TLabel(this), "lblNumberOfCopies", gbxCopies, 10, 24, 110, 13);
  edtCopies = make(new ui::TEdit(this), "edtCopies", gbxCopies, 124, 20, 66, 21);
  udCopies = new TppUpDown(this, edtCopies);
  udCopies->SetName("udCopies");
  udCopies->Min = 1;
  udCopies->Max = kMaxCopies;
  cbxCollate = make(new ui::TCheckBox(this), "cbxCollate", gbxCopies, 124, 112, 17, 17);
  lblCollate = make(new ui::TLabel(this), "lblCollate", gbxCopies, 142, 114, 55, 13);
  imlCollation = new ui::TImageList(this);
  imlCollation->SetName("imlCollation");
  imlCollation->SetSize(kPictureWidth, kPictureHeight);
  imlCollation->AddMasked(TppCollationBitmap(), gdi::clBtnFace);
  imlCollation->AddMasked(TppNonCollationBitmap(), gdi::clBtnFace);
  pbxCollation = make(new ui::TPaintBox(this), "pbxCollation", gbxCopies, 10, 50, kPictureWidth, kPictureHeight);
  pbxCollation->OnPaint = [this](cls::TObject*) {
    imlCollation->Draw(pbxCollation->Canvas(), 0, 0, cbxCollate->Checked() ? 0 : 1);
  };

  lblPrintWhat = make(new ui::TLabel(this), "lblPrintWhat", pnlPrint, 16, 262, 60, 13);
  cbxPrintWhat = make(new ui::TComboBox(this), "cbxPrintWhat", pnlPrint, 80, 258, 150, 21);
  cbxBackgroundPrinting = make(new ui::TCheckBox(this), "cbxBackgroundPrinting", pnlPrint, 240, 260, 178, 17);

  pnlPrintToFile = make(new ui::TPanel(this), "pnlPrintToFile", this, 0, 288, 426, 64);
  pnlPrintToFile->BevelOuter = ui::TBevelCut::bvNone;
  cbxPrintToFile = make(new ui::TCheckBox(this), "cbxPrintToFile", pnlPrintToFile, 16, 8, 17, 17);
  lblPrintToFile = make(new ui::TLabel(this), "lblPrintToFile", pnlPrintToFile, 34, 10, 100, 13);
  cbxPrintToFileTypes = make(new ui::TComboBox(this), "cbxPrintToFileTypes", pnlPrintToFile, 140, 6, 278, 21);
  edtPrintToFileName = make(new ui::TEdit(this), "edtPrintToFileName", pnlPrintToFile, 16, 34, 376, 21);
  spbPrintToFile = make(new ui::TSpeedButton(this), "spbPrintToFile", pnlPrintToFile, 396, 34, 22, 21);
  spbPrintToFile->Caption = "...";
  SaveDialog1 = new ui::TSaveDialog(this);
  SaveDialog1->SetName("SaveDialog1");
  pnlPrintToFile->Hide();

  pnlBottom = make(new ui::TPanel(this), "pnlBottom", this, 0, 352, 426, 40);
  pnlBottom->BevelOuter = ui::TBevelCut::bvNone;
  pnlBottom->SetAlign(ui::TAlign::alBottom);
  btnOK = make(new ui::TButton(this), "btnOK", pnlBottom, 262, 8, 75, 23);
  btnOK->Default = true;
  btnCancel = make(new ui::TButton(this), "btnCancel", pnlBottom, 343, 8, 75, 23);
  btnCancel->Cancel = true;
  btnCancel->ModalResult = ui::mrCancel;

  // Handlers.
  rdbAll->OnClick = [this](cls::TObject*) {
    if (!loading_) edtPageRange->SetText("");
  };
  rdbCurrentPage->OnClick = rdbAll->OnClick;
  edtPageRange->OnChange = [this](cls::TObject*) {
    if (!loading_ && !edtPageRange->Text().empty()) rdbPages->SetChecked(true);
  };
  edtPageRange->OnEnter = [this](cls::TObject*) {
    if (!loading_) rdbPages->SetChecked(true);
  };
  edtCopies->OnExit = [this](cls::TObject*) { NormaliseCopies(); };
  udCopies->OnButtonClick = [this](cls::TObject*, ui::TUDBtnType button) {
    const std::string& text = edtCopies->Text();
    int64_t n = std::clamp<int64_t>(cls::StrToIntDef(text, 1), 1, kMaxCopies);
    if (button == ui::TUDBtnType::btPrev && text != "1") n = std::max<int64_t>(1, n - 1);
    if (button == ui::TUDBtnType::btNext && text != "999") n = std::min<int64_t>(kMaxCopies, n + 1);
    edtCopies->SetText(std::to_string(n));
  };
  cbxPrinters->OnChange = [this](cls::TObject*) {
    if (loading_) return;
    if (TppPrinterSetup* setup = Setup()) setup->SetPrinterName(cbxPrinters->Text());
    ShowPrinterInfo();
  };
  cbxPrinters->OnDrawItem = [this](ui::TWinControl*, int index, win::RECT r, ui::TOwnerDrawState) {
    gdi::TCanvas& c = cbxPrinters->Canvas();
    const std::string name = cbxPrinters->Items[index];
    TppPrinterInfoRef info = ppGetPrinterList()->GetPrinterInfo(ResolvedName(name));
    imlPrinterTypes->Draw(c, r.left, r.top, info && info->Network() ? 1 : 0);
    c.Brush.Style = gdi::TBrushStyle::bsClear;
    c.TextOut(r.left + 21, r.top + 2, name);
  };
  cbxCollate->OnClick = [this](cls::TObject*) {
    if (!loading_)
      if (TppPrinterSetup* setup = Setup()) setup->SetCollation(cbxCollate->Checked());
    pbxCollation->Invalidate();
  };
  lblCollate->OnClick = [this](cls::TObject*) { cbxCollate->Click(); };
  cbxBackgroundPrinting->OnClick = [this](cls::TObject*) {
    if (!loading_) backgroundSettings_->SetActive(cbxBackgroundPrinting->Checked());
  };
  cbxPrintToFileTypes->OnChange = [this](cls::TObject*) {
    if (!loading_) ApplyFileDevice();
  };
  cbxPrintToFile->OnClick = cbxPrintToFileTypes->OnChange;
  lblPrintToFile->OnClick = [this](cls::TObject*) { cbxPrintToFile->Click(); };
  spbPrintToFile->OnClick = [this](cls::TObject*) {
    SaveDialog1->FileName = edtPrintToFileName->Text();
    if (!SaveDialog1->Execute()) return;
    (ChosenIsArchive() ? ArchiveFileName : TextFileName) = SaveDialog1->FileName;
    ApplyFileDevice();
  };
  edtPrintToFileName->OnChange = [this](cls::TObject*) {
    if (!loading_) (ChosenIsArchive() ? ArchiveFileName : TextFileName) = edtPrintToFileName->Text();
  };
  cbxPrintWhat->OnChange = [this](cls::TObject*) {
    if (!loading_) pageRequest_->SetPageRange(static_cast<TppPageRangeType>(std::max(0, cbxPrintWhat->ItemIndex())));
  };
  btnPrinterProperties->OnClick = [this](cls::TObject*) {
    TppPrinter* printer = EditedPrinter();
    if (!printer) return;
    if (!spool::HasPropertiesPrompt()) {
      // No properties dialog here: the user is told rather than ignored.
      ui::MessageDlg("The printer \"" + printer->GetPrinterName() + "\" has no properties to set here.",
                     ui::TMsgDlgType::mtInformation, ui::mbOK, 0);
      return;
    }
    if (!printer->ShowPropertiesDialog()) return;
    ShowPrinterInfo();
    printerSettingsChanged_ = true;
  };
  btnOK->OnClick = [this](cls::TObject*) { btnOKClick(); };

  LanguageChanged();
}

TppPrintDialog::~TppPrintDialog() = default;

TppPrinter* TppPrintDialog::EditedPrinter() const { return cls::ObjectAs<TppPrinter>(Printer()); }

TppPrinterSetup* TppPrintDialog::Setup() const {
  TppPrinter* printer = EditedPrinter();
  return printer ? printer->GetPrinterSetup() : nullptr;
}

void TppPrintDialog::SetBackgroundPrintSettings(cls::TObject* settings) {
  if (auto* s = cls::ObjectAs<TppBackgroundPrintSettings>(settings); s && s != backgroundSettings_.get())
    backgroundSettings_->Assign(s);
}

void TppPrintDialog::LanguageChanged() {
  Caption = ppLoadStr(22);
  gbxPrinter->Caption = ppLoadStr(25);
  lblName->Caption = ppLoadStr(1010) + ":";
  lblType->Caption = ppLoadStr(1011) + ":";
  lblWhere->Caption = ppLoadStr(1012) + ":";
  btnPrinterProperties->Caption = ppLoadStr(1013);
  lblNoPrinters->Caption = ppLoadStr(8);
  gbxPageRange->Caption = ppLoadStr(19);
  rdbAll->Caption = ppLoadStr(3);
  rdbCurrentPage->Caption = ppLoadStr(9);
  rdbPages->Caption = ppLoadStr(20);
  lblPageRangeDesc->Caption = ppLoadStr(11);
  gbxCopies->Caption = ppLoadStr(7);
  lblNumberOfCopies->Caption = ppLoadStr(1014) + ":";
  lblCollate->Caption = ppLoadStr(1015);
  lblPrintWhat->Caption = ppLoadStr(1016);
  cbxBackgroundPrinting->Caption = ppLoadStr(1073);
  lblPrintToFile->Caption = ppLoadStr(26);
  btnOK->Caption = ppLoadStr(17);
  btnCancel->Caption = ppLoadStr(5);
  const bool was = loading_;
  loading_ = true;
  cbxPrintWhat->Items.Clear();
  for (int n = 1017; n <= 1019; ++n) cbxPrintWhat->Items.Add(ppLoadStr(n));
  cbxPrintWhat->SetItemIndex(0);
  loading_ = was;
  // A wider properties caption widens the button, the group and the form.
  gdi::TCanvas& canvas = Canvas();
  canvas.Font.Assign(btnPrinterProperties->Font);
  const int textWidth = canvas.TextWidth(btnPrinterProperties->Caption);
  if (textWidth > 75) {
    const int grow = textWidth - 60;
    btnPrinterProperties->SetWidth(textWidth + 15);
    gbxPrinter->SetWidth(gbxPrinter->Width() + grow);
    cbxPrinters->SetWidth(cbxPrinters->Width() + grow);
    SetClientWidth(ClientWidth() + grow);
  }
  // A wider collate caption moves the box and its label left, over the
  // room beside the collation picture.
  canvas.Font.Assign(lblCollate->Font);
  const int collateWidth = canvas.TextWidth(lblCollate->Caption);
  if (collateWidth > 59) {
    const int room = cbxCollate->Left() - (pbxCollation->Left() + pbxCollation->Width() + 4);
    const int shift = std::clamp(collateWidth - 59, 0, std::max(0, room));
    cbxCollate->SetLeft(cbxCollate->Left() - shift);
    lblCollate->SetBounds(lblCollate->Left() - shift, lblCollate->Top(), collateWidth + 4, lblCollate->Height());
  }
  // The page-range description takes the lines its words need.
  lblPageRangeDesc->SetHeight(lblPageRangeDesc->LinesHeight());
}

void TppPrintDialog::Activate() {
  if (EditedPrinter()) {
    const bool was = loading_;
    loading_ = true;
    try {
      LoadPrinters();
      LoadPageRequest();
      LoadPrintToFile();
      cbxBackgroundPrinting->SetVisible(backgroundSettings_->Enabled());
      cbxBackgroundPrinting->SetChecked(backgroundSettings_->Active());
    } catch (...) {
      loading_ = was;
      throw;
    }
    loading_ = was;
  }
  TppCustomPrintDialog::Activate();
}

void TppPrintDialog::LoadPrinters() {
  TppPrinterSetup* setup = Setup();
  cbxPrinters->Items.Clear();
  bool installed = false;
  for (const std::string& name : ppGetPrinterList()->PrinterNames()) {
    if (cls::AnsiCompareText(name, "Screen") == 0) continue;
    if (cls::AnsiCompareText(name, "Default") != 0) installed = true;
    cbxPrinters->Items.Add(name);
  }
  havePrinters_ = installed;
  if (!installed) cbxPrinters->Items.Clear();
  cbxPrinters->Sort();
  cbxPrinters->SetItemIndex(cbxPrinters->IndexOfText(setup->PrinterName()));
  if (cbxPrinters->ItemIndex() < 0 && cbxPrinters->Items.Count() > 0) {
    cbxPrinters->SetItemIndex(0);
    setup->SetPrinterName(cbxPrinters->Text());
  }
  cbxPrinters->SetVisible(installed);
  lblName->SetVisible(installed);
  lblNoPrinters->SetVisible(!installed);
  ShowPrinterInfo();
}

void TppPrintDialog::ShowPrinterInfo() {
  std::pair<std::string, std::string> shown;
  if (havePrinters_ && cbxPrinters->ItemIndex() >= 0) shown = DriverAndPort(ResolvedName(cbxPrinters->Text()));
  lblPrinterType->Caption = shown.first;
  lblPrinterLocation->Caption = shown.second;
}

void TppPrintDialog::LoadPageRequest() {
  const cls::TStringList* list = pageRequest_->PageList();
  auto joined = [list](const char* sep) {
    std::string s;
    for (int i = 0; i < list->Count(); ++i) s += (i ? sep : "") + (*list)[i];
    return s;
  };
  edtPageRange->SetText("");
  switch (pageRequest_->PageSetting()) {
    case TppPageSettingType::psPageList:
      rdbPages->SetChecked(true);
      edtPageRange->SetText(joined(","));
      break;
    case TppPageSettingType::psSinglePage: rdbCurrentPage->SetChecked(true); break;
    case TppPageSettingType::psPageRange:
      rdbPages->SetChecked(true);
      edtPageRange->SetText(joined("-"));
      break;
    default: rdbAll->SetChecked(true);
  }
  cbxPrintWhat->SetItemIndex(static_cast<int>(pageRequest_->PageRange()));
  TppPrinterSetup* setup = Setup();
  edtCopies->SetText(std::to_string(std::clamp(setup->Copies(), 1, kMaxCopies)));
  cbxCollate->SetChecked(setup->Collation());
  pbxCollation->Invalidate();
}

void TppPrintDialog::LoadPrintToFile() {
  const bool offered = AllowPrintToArchive || AllowPrintToFile;
  pnlPrintToFile->SetVisible(offered);
  SetClientHeight(kFormHeight - (offered ? 0 : pnlPrintToFile->Height()));
  if (!offered) return;
  cbxPrintToFileTypes->Items.Clear();
  int current = -1;
  for (const FileType& t : FileTypes(AllowPrintToArchive, AllowPrintToFile)) {
    const int i = cbxPrintToFileTypes->Items.Add(t.Description);
    if (cls::AnsiCompareText(t.Device.DeviceName(), DeviceType) == 0) current = i;
  }
  cbxPrintToFileTypes->SetItemIndex(current >= 0 ? current : 0);
  cbxPrintToFile->SetChecked(current >= 0);
  ApplyFileDevice();
}

cls::TClass TppPrintDialog::ChosenDeviceClass() const {
  const int i = cbxPrintToFileTypes->ItemIndex();
  if (i < 0) return nullptr;
  std::vector<FileType> types = FileTypes(AllowPrintToArchive, AllowPrintToFile);
  return i < static_cast<int>(types.size()) ? types[static_cast<size_t>(i)].Device.Class : nullptr;
}

bool TppPrintDialog::ChosenIsArchive() const {
  cls::TClass c = ChosenDeviceClass();
  return c && c->InheritsFrom(&TppArchiveDevice::StaticClass());
}

void TppPrintDialog::ApplyFileDevice() {
  const int i = cbxPrintToFileTypes->ItemIndex();
  std::vector<FileType> types = FileTypes(AllowPrintToArchive, AllowPrintToFile);
  if (i < 0 || i >= static_cast<int>(types.size())) return;
  const FileType& t = types[static_cast<size_t>(i)];
  const bool was = loading_;
  loading_ = true;
  edtPrintToFileName->SetText(t.Archive ? ArchiveFileName : TextFileName);
  loading_ = was;
  SaveDialog1->DefaultExt = t.DefaultExtension;
  SaveDialog1->Filter = t.FileFilter;
}

void TppPrintDialog::NormaliseCopies() {
  int64_t n = 1;
  if (!cls::TryStrToInt(cls::Trim(edtCopies->Text()), n)) n = 1;
  n = std::clamp<int64_t>(n, 1, kMaxCopies);
  if (edtCopies->Text() != std::to_string(n)) edtCopies->SetText(std::to_string(n));
}

void TppPrintDialog::btnOKClick() {
  NormaliseCopies();
  // Every check runs before anything is changed: a refused OK changes nothing.
  cls::TStringList pages;
  if (rdbPages->Checked()) {
    cls::TStringList parsed;
    ParsePageList(edtPageRange->Text(), &parsed, true);
    for (int i = 0; i < parsed.Count(); ++i)
      if (cls::StrToIntDef(parsed[i], 0) >= 1) pages.Add(parsed[i]);
    if (pages.Count() == 0) {
      ui::MessageDlg(ppLoadStr(32), ui::TMsgDlgType::mtWarning, ui::mbOK);
      return;
    }
  }
  const bool toFile = pnlPrintToFile->Visible() && cbxPrintToFile->Checked();
  std::string fileName = cls::Trim(edtPrintToFileName->Text());
  if (toFile && fileName.empty()) {
    ui::MessageDlg(ppLoadStr(33), ui::TMsgDlgType::mtWarning, ui::mbOK);
    return;
  }
  const FileType* chosen = nullptr;
  std::vector<FileType> types;
  if (toFile) {
    types = FileTypes(AllowPrintToArchive, AllowPrintToFile);
    const int i = cbxPrintToFileTypes->ItemIndex();
    if (i >= 0 && i < static_cast<int>(types.size())) chosen = &types[static_cast<size_t>(i)];
  }
  if (!chosen) {
    TppPrinterSetup* setup = Setup();
    // Valid: an installed printer of the list ("Default" resolved).
    bool valid = false;
    if (setup && havePrinters_) {
      const std::string name = ResolvedName(setup->PrinterName());
      valid = !name.empty() && cls::AnsiCompareText(name, "Screen") != 0 &&
              cls::AnsiCompareText(name, "Default") != 0 && ppGetPrinterList()->Snapshot()->Find(name);
    }
    if (!valid) {
      if (havePrinters_) ui::MessageDlg(ppLoadStr(459), ui::TMsgDlgType::mtError, ui::mbOK);
      else ui::MessageDlg(ppLoadStr(8), ui::TMsgDlgType::mtInformation, ui::mbOK);
      return;
    }
  }

  if (rdbPages->Checked()) {
    pageRequest_->SetPageList(&pages);
    pageRequest_->SetPageSetting(TppPageSettingType::psPageList);
  } else if (rdbCurrentPage->Checked()) {
    pageRequest_->SetPageSetting(TppPageSettingType::psSinglePage);
  } else {
    pageRequest_->SetPageSetting(TppPageSettingType::psAll);
  }
  if (TppPrinterSetup* setup = Setup()) setup->SetCopies(static_cast<int>(cls::StrToIntDef(edtCopies->Text(), 1)));
  PrintToArchive = chosen && chosen->Archive;
  PrintToFile = chosen && !chosen->Archive;
  if (chosen) {
    // A name without an extension gets the device's; one ending in "." gets
    // it without another dot.
    const size_t slash = fileName.find_last_of("\\/");
    const std::string base = fileName.substr(slash == std::string::npos ? 0 : slash + 1);
    if (!chosen->DefaultExtension.empty()) {
      if (!base.empty() && base.back() == '.') fileName += chosen->DefaultExtension;
      else if (base.find('.') == std::string::npos) fileName += "." + chosen->DefaultExtension;
    }
    (chosen->Archive ? ArchiveFileName : TextFileName) = fileName;
    DeviceType = chosen->Device.DeviceName();
  } else {
    DeviceType = "Printer";
  }
  ModalResult = ui::mrOk;
}
