#include "report/output/ppFilDev.h"

#include <algorithm>
#include <climits>

#include "platform/sysroot/codepage.h"
#include "platform/sysroot/files.h"
#include "report/model/ppResMgr.h"
#include "report/model/ppUtils.h"
#include "report/output/ppDrwCmd.h"
#include "report/output/ppPlainText.h"

CLS_IMPLEMENT_COMPONENT(TppFileDevice)
CLS_IMPLEMENT_COMPONENT(TppTextFileDevice)
CLS_IMPLEMENT_COMPONENT(TppReportTextFileDevice)

namespace {

TppPadSide PadSide(cls::TAlignment alignment) {
  switch (alignment) {
    case cls::taRightJustify: return ppPadLeft;
    case cls::taCenter: return ppPadBoth;
    default: return ppPadRight;
  }
}

const std::string kLineEnd = "\r\n";
// The widest text the grid pads (a width of some metres on a fine grid).
constexpr int64_t kMaxCells = 1 << 16;

}  // namespace

// ---- TppFileDevice ----

TppFileDevice::TppFileDevice(cls::TComponent* owner) : TppDevice(owner) {}

TppFileDevice::~TppFileDevice() = default;

void TppFileDevice::BeforeDestruction() {
  // Freed after a cancel or a failure: the file is finished as EndJob
  // leaves it.
  if (stream_) {
    try {
      EndJob();
    } catch (...) {
    }
    CloseFile(false);
  }
  inherited::BeforeDestruction();
}

void TppFileDevice::SetFileName(const std::string& v) {
  if (!Busy()) fileName_ = v;
}

void TppFileDevice::StartJob() {
  if (Busy()) return;
  inherited::StartJob();
  try {
    UpdateStatus(nullptr);
    if (createFile_) stream_.reset(new cls::TFileStream(fileName_, cls::fmCreate));
  } catch (...) {
    stream_.reset();
    SetBusy(false);
    throw;
  }
}

void TppFileDevice::EndJob() {
  inherited::EndJob();
  stream_.reset();
}

void TppFileDevice::CloseFile(bool discard) {
  if (!stream_) return;
  stream_.reset();
  if (discard) win::DeleteFile(fileName_);
}

void TppFileDevice::ReceivePage(TppPage* page) {
  if (!page) return;
  BeginReceivePage(page);
  if (Busy() && !Cancelled() && PageIsRequested()) {
    UpdateStatus(page);
    // A cancel may have been handled inside the status update.
    if (Busy() && !Cancelled() && !SkipPage()) WritePage(page);
  }
  CheckRequestComplete(page);
}

void TppFileDevice::WriteBuffer(const void* buffer, int64_t count) {
  if (count <= 0) return;
  if (!stream_ || stream_->Write(buffer, count) != count) throw cls::EWriteError("Stream write error");
}

void TppFileDevice::UpdateStatus(TppPage* page) {
  std::string text;
  if (!page) {
    text = LoadLanguageString(2);
  } else if (SkipPage() && Publisher() && !Publisher()->LastPageSeen()) {
    text = DialogStatus();
  } else if (PageRequest()->PageSetting() == TppPageSettingType::psAll &&
             page->PassSetting() == TppPassSettingType::psTwoPass) {
    text = FormatLanguageString(28, {page->AbsolutePageNo(), page->AbsolutePageCount(), page->DocumentName(),
                                     fileName_});
  } else {
    text = FormatLanguageString(27, {page->AbsolutePageNo(), page->DocumentName(), fileName_});
  }
  ShowStatus(text);
}

// ---- TppTextFileDevice ----

std::string TppTextFileDevice::ClassDescription() { return LoadLanguageString(37); }

void TppTextFileDevice::SetFileType(TppFileType v) {
  if (!Busy()) fileType_ = v;
}

void TppTextFileDevice::ClearPosition() {
  endOfRecord_ = endOfPage_ = startOfFile_ = endOfFile_ = startOfRecord_ = startOfPage_ = false;
  fieldNo_ = recordNo_ = 0;
}

void TppTextFileDevice::StartJob() {
  if (Busy()) return;
  inherited::StartJob();
  ClearPosition();
}

void TppTextFileDevice::EndJob() {
  ClearPosition();
  inherited::EndJob();
}

std::vector<TppDrawText*> TppTextFileDevice::CollectSavedTexts(TppPage* page) {
  std::vector<TppDrawText*> texts;
  for (int i = 0; i < page->GetDrawCommandCount(); ++i) {
    auto* text = cls::ObjectAs<TppDrawText>(page->GetDrawCommand(i));
    if (text && text->BandSave() && text->ComponentSave()) texts.push_back(text);
  }
  // The order of the save keys: band number, then component number.
  std::stable_sort(texts.begin(), texts.end(), [](const TppDrawText* a, const TppDrawText* b) {
    if (a->BandSaveNo() != b->BandSaveNo()) return a->BandSaveNo() < b->BandSaveNo();
    return a->ComponentSaveNo() < b->ComponentSaveNo();
  });
  return texts;
}

std::string TppTextFileDevice::QuoteValue(const std::string& value, TppFileType fileType) {
  char delimiter;
  if (fileType == TppFileType::ftComma) delimiter = ',';
  else if (fileType == TppFileType::ftTab) delimiter = '\t';
  else return value;
  // No Big5 trail byte is a delimiter, quote, blank or line break, so the
  // bytes can be looked at one by one.
  bool quote = false;
  for (char c : value)
    if (c == delimiter || c == '"' || c == '\r' || c == '\n' || (c == ' ' && fileType == TppFileType::ftComma))
      quote = true;
  if (!quote) return value;
  std::string out = "\"";
  for (char c : value) {
    if (c == '"') out += '"';
    out += c;
  }
  out += '"';
  return out;
}

void TppTextFileDevice::WriteLine(const std::string& line) {
  if (line.empty()) return;
  WriteString(line);
  if (!endOfFile_ && fileType_ != TppFileType::ftCustom) WriteString(kLineEnd);
}

void TppTextFileDevice::WritePage(TppPage* page) {
  std::vector<TppDrawText*> texts = CollectSavedTexts(page);
  if (texts.empty()) return;
  std::string delimiter =
      fileType_ == TppFileType::ftComma ? "," : fileType_ == TppFileType::ftTab ? "\t" : std::string();
  startOfPage_ = true;
  endOfPage_ = false;
  startOfFile_ = page->AbsolutePageNo() == 1;
  const int32_t lastBand = texts.back()->BandSaveNo();
  size_t i = 0;
  while (i < texts.size()) {
    const int32_t band = texts[i]->BandSaveNo();
    fieldNo_ = 0;
    startOfRecord_ = true;
    endOfRecord_ = false;
    endOfFile_ = page->LastPage() && band == lastBand;
    std::string line;
    for (; i < texts.size() && texts[i]->BandSaveNo() == band; ++i) {
      TppDrawText* text = texts[i];
      if (i + 1 == texts.size()) endOfRecord_ = endOfPage_ = true;
      else if (texts[i + 1]->BandSaveNo() != band) endOfRecord_ = true;
      std::string value = text->Text();
      if (fileType_ == TppFileType::ftFixedLength)
        value = PadString(value, std::max(text->SaveLength(), 0), PadSide(text->Alignment()));
      else
        value = QuoteValue(value, fileType_);
      if (OnSaveText) {
        TppUnlockedScope unlocked(Publisher());
        OnSaveText(this, text->Component(), value);
      }
      startOfPage_ = false;
      if (startOfRecord_) {
        line += value;
        startOfRecord_ = false;
      } else {
        line += delimiter + value;
      }
      ++fieldNo_;
    }
    WriteLine(line);
    startOfFile_ = false;
    ++recordNo_;
  }
}

// ---- TppReportTextFileDevice ----

std::string TppReportTextFileDevice::ClassDescription() { return LoadLanguageString(12); }

namespace {

// Width and height of "0" in FONT on a screen bitmap, in screen pixels.
void ZeroSize(const gdi::TFont& font, int& width, int& height) {
  gdi::TBitmap screen;
  screen.SetSize(1, 1);
  gdi::TCanvas& canvas = screen.Canvas();
  canvas.Font.Assign(font);
  width = canvas.TextWidth("0");
  height = canvas.TextHeight("0");
}

void CourierZeroSize(int size, int& width, int& height) {
  gdi::TFont font;
  font.SetName("Courier New");
  font.SetSize(size);
  ZeroSize(font, width, height);
}

TppDrawText* FirstText(TppPage* page) {
  for (int i = 0; i < page->GetDrawCommandCount(); ++i)
    if (auto* text = cls::ObjectAs<TppDrawText>(page->GetDrawCommand(i))) return text;
  return nullptr;
}

[[noreturn]] void GridError(const std::string& cause) {
  throw EPagewrightError("TppReportTextFileDevice.CalcCharacterGrid: " + cause);
}

// Puts TEXT over LINE from byte COLUMN (from 0) for COUNT bytes; a column
// past the end appends. A Big5 character cut in two at either edge becomes
// a blank.
void PlaceText(std::string& line, size_t column, size_t count, const std::string& text) {
  if (column > line.size()) column = line.size();
  size_t end = std::min(line.size(), column + count);
  // Lead bytes of whole characters, found from the line's start.
  std::vector<bool> lead(line.size(), false);
  for (size_t i = 0; i < line.size(); ++i)
    if (cp::IsBig5Lead(static_cast<unsigned char>(line[i])) && i + 1 < line.size()) {
      lead[i] = true;
      ++i;
    }
  if (column > 0 && lead[column - 1]) line[column - 1] = ' ';
  if (end > column && end < line.size() && lead[end - 1]) line[end] = ' ';
  line.replace(column, end - column, text);
}

}  // namespace

int TppReportTextFileDevice::ChooseFontSize(const gdi::TFont& font) {
  int width = 0, height = 0, courier = 0;
  ZeroSize(font, width, height);
  CourierZeroSize(8, courier, height);
  if (courier >= width) return 8;
  CourierZeroSize(10, courier, height);
  if (courier >= width) return 10;
  return 12;
}

std::vector<TppReportTextFileDevice::TGridText> TppReportTextFileDevice::CollectTexts(TppPage* page) {
  std::vector<TGridText> texts;
  for (int i = 0; i < page->GetDrawCommandCount(); ++i) {
    auto* command = cls::ObjectAs<TppDrawText>(page->GetDrawCommand(i));
    if (!command) continue;
    TGridText text;
    text.Top = command->Top();
    text.Left = command->Left();
    text.Width = command->Width();
    text.Alignment = command->Alignment();
    text.AutoSize = command->AutoSize();
    const cls::TStringList* wrapped = command->WrappedText();
    if (wrapped->Count() == 0) {
      text.Text = command->Text();
      texts.push_back(text);
      continue;
    }
    // One text a wrapped line, a line of "0" in the command's font apart.
    int zeroWidth = 0, zeroHeight = 0;
    ZeroSize(*command->Font(), zeroWidth, zeroHeight);
    int64_t lineHeight = ConvertToMMThousandths(static_cast<float>(zeroHeight), utScreenPixels, ppVertical);
    text.AutoSize = false;
    for (int line = 0; line < wrapped->Count(); ++line) {
      // The paragraph marker of justified lines is no text.
      text.Text.clear();
      TppPlainText::RemoveAll((*wrapped)[line], TppTextMarkups::EndOfParagraph(), text.Text);
      text.Top = int64_t{command->Top()} + line * lineHeight;
      texts.push_back(text);
    }
  }
  std::stable_sort(texts.begin(), texts.end(), [](const TGridText& a, const TGridText& b) {
    return a.Top != b.Top ? a.Top < b.Top : a.Left < b.Left;
  });
  return texts;
}

void TppReportTextFileDevice::CalcCharacterGrid(TppPage* page) {
  TppPageDef* def = page->PageDef();
  if (calcGridFromFont_) {
    TppDrawText* first = FirstText(page);
    int size = gridFontSize_;
    if (autoFontSize_ && first) size = ChooseFontSize(*first->Font());
    int width = 0, height = 0;
    CourierZeroSize(size, width, height);
    cellWidth_ = ConvertToMMThousandths(static_cast<float>(width), utScreenPixels, ppHorizontal);
    cellHeight_ = ConvertToMMThousandths(static_cast<float>(height), utScreenPixels, ppVertical);
    if (cellWidth_ < 1 || cellHeight_ < 1) GridError("The character cell has no size.");
    charsPerLine_ = def->mmWidth() / cellWidth_;
    linesPerPage_ = def->mmHeight() / cellHeight_;
  } else {
    if (charsPerLine_ < 1) GridError("CharsPerLine must be at least 1.");
    if (linesPerPage_ < 1) GridError("LinesPerPage must be at least 1.");
    cellWidth_ = def->mmWidth() / charsPerLine_;
    cellHeight_ = def->mmHeight() / linesPerPage_;
    if (cellWidth_ < 1 || cellHeight_ < 1) GridError("The character cell has no size.");
  }
  if (charsPerLine_ < 1 || linesPerPage_ < 1) GridError("The page holds no character cell.");
}

void TppReportTextFileDevice::WriteGridLine(const std::string& line, bool lastPage) {
  size_t end = line.find_last_not_of(' ');
  if (end != std::string::npos) WriteBuffer(line.data(), static_cast<int64_t>(end + 1));
  if (!(lastPage && row_ == linesPerPage_)) WriteString(kLineEnd);
  ++row_;
}

void TppReportTextFileDevice::WritePage(TppPage* page) {
  std::vector<TGridText> texts = CollectTexts(page);
  if (texts.empty()) return;
  CalcCharacterGrid(page);
  const bool lastPage = page->LastPage();
  const std::string blank(static_cast<size_t>(charsPerLine_), ' ');
  std::string line = blank;
  row_ = 1;
  for (const TGridText& text : texts) {
    // Before the first row or column: dropped, as past the last line.
    if (text.Top < 0 || text.Left < 0) continue;
    int64_t row = text.Top / cellHeight_ + 1;
    if (row > linesPerPage_) break;
    while (row_ < row) {
      WriteGridLine(line, lastPage);
      line = blank;
    }
    int64_t column = text.Left / cellWidth_;
    int64_t n = std::max<int64_t>(text.Width, 0) / cellWidth_ + 1;
    if (text.AutoSize) n = std::max<int64_t>(n, static_cast<int64_t>(text.Text.size()));
    // A text no grid could show is not padded beyond reason.
    n = std::min<int64_t>(n, std::max<int64_t>(kMaxCells, static_cast<int64_t>(text.Text.size())));
    std::string placed = PadString(text.Text, static_cast<int>(n), PadSide(text.Alignment));
    PlaceText(line, static_cast<size_t>(std::min<int64_t>(column, INT_MAX)), placed.size(), placed);
  }
  // The line of the last row's texts, then blank lines to the page's end.
  while (row_ <= linesPerPage_) {
    WriteGridLine(line, lastPage);
    line = blank;
  }
}

// ---- registration ----

void ppRegisterFileDeviceUnit() {
  RegisterDevice<TppTextFileDevice>();
  RegisterDevice<TppReportTextFileDevice>();
  RegisterDevice<TppArchiveDevice>();
}
