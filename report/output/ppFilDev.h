// The devices that write pages to a file instead of drawing them: the
// saved texts as delimited or fixed-length records, the page as a
// character grid, and the pages themselves as an archive.
//
// Archive layout (unsigned 32-bit little-endian integers): D, the offset of
// the page data (4 + 8 x pages); one index entry per stored page (the
// page's position within the page data, its AbsolutePageNo); then the
// pages, each a binary component stream of the TppPage with its draw
// commands as children.
#pragma once
#include <cstdint>
#include <string>
#include <vector>

#include "platform/classes/classes.h"
#include "platform/classes/streams.h"
#include "platform/gdi/canvas.h"
#include "report/model/ppTypes.h"
#include "report/output/ppDevice.h"

class TppDrawText;
class TppFont;

// The value a text file is about to receive, for a handler that may change
// it; FIELD is the component that made the text (nil when unknown).
using TppSaveTextEvent = cls::TMethodPointer<void(cls::TObject* Sender, cls::TObject* aField, std::string& aText)>;

class TppFileDevice : public TppDevice {
  CLS_DECLARE_CLASS(TppFileDevice, TppDevice)
 public:
  explicit TppFileDevice(cls::TComponent* owner);
  ~TppFileDevice() override;
  // A file still open is finished first (EndJob); nothing throws out.
  void BeforeDestruction() override;

  // Creates FileName (replacing it) when CreateFile is set. A file that
  // cannot be made raises its creation error and leaves the device idle.
  void StartJob() override;
  // Closes the file.
  void EndJob() override;
  // Writes a requested page (WritePage) unless it is skipped; a cancel
  // handled during the status update stops it.
  void ReceivePage(TppPage* page) override;

  // Class functions: file name extension, dialog filter, description.
  static std::string ClassDefaultExtension() { return ""; }
  static std::string ClassFileFilter() { return ""; }
  static std::string ClassDescription() { return ""; }
  virtual std::string DefaultExtension() const { return ClassDefaultExtension(); }
  virtual std::string FileFilter() const { return ClassFileFilter(); }
  virtual std::string Description() const { return ClassDescription(); }

  // Writes to the file; EWriteError ("Stream write error") when fewer
  // bytes went out or no file is open. Nothing for COUNT 0.
  void WriteBuffer(const void* buffer, int64_t count);
  void WriteString(const std::string& text) { WriteBuffer(text.data(), static_cast<int64_t>(text.size())); }
  // The progress text for PAGE (nullptr: the job starts), shown on the
  // cancel dialog.
  void UpdateStatus(TppPage* page);

  bool CreateFile() const { return createFile_; }
  void SetCreateFile(bool v) { createFile_ = v; }
  const std::string& FileName() const { return fileName_; }
  void SetFileName(const std::string& v);  // ignored while Busy
  // The open file; nullptr outside a job.
  cls::TStream* OutputStream() const { return stream_.get(); }

 protected:
  // Writes one received page.
  virtual void WritePage(TppPage*) {}
  // Closes the file; DISCARD also deletes it.
  void CloseFile(bool discard);

 private:
  bool createFile_ = true;
  std::string fileName_;
  cls::Owned<cls::TStream> stream_;
};

// The saved texts of each page, one record per band: comma or tab
// separated (quoted where a value needs it), fixed-length, or as a handler
// lays them out.
class TppTextFileDevice : public TppFileDevice {
  CLS_DECLARE_CLASS(TppTextFileDevice, TppFileDevice)
 public:
  explicit TppTextFileDevice(cls::TComponent* owner) : TppFileDevice(owner) {}

  static std::string ClassDeviceName() { return "TextFile"; }
  static std::string ClassDefaultExtension() { return "txt"; }
  static std::string ClassFileFilter() { return "Text files|*.TXT|All files|*.*"; }
  static std::string ClassDescription();
  std::string DeviceName() const override { return ClassDeviceName(); }
  std::string DefaultExtension() const override { return ClassDefaultExtension(); }
  std::string FileFilter() const override { return ClassFileFilter(); }
  std::string Description() const override { return ClassDescription(); }

  void StartJob() override;
  void EndJob() override;

  // The texts of PAGE with both save flags, by band and component number.
  static std::vector<TppDrawText*> CollectSavedTexts(TppPage* page);
  // VALUE as a field of a FILETYPE file: comma and tab files quote a value
  // holding the delimiter, a quote, CR or LF (quotes doubled), the comma
  // file also one holding a blank.
  static std::string QuoteValue(const std::string& value, TppFileType fileType);

  // Where the value being written stands (for the OnSaveText handler).
  bool EndOfRecord() const { return endOfRecord_; }
  bool EndOfPage() const { return endOfPage_; }
  bool StartOfFile() const { return startOfFile_; }
  int FieldNo() const { return fieldNo_; }
  int RecordNo() const { return recordNo_; }
  bool EndOfFile() const { return endOfFile_; }
  bool StartOfRecord() const { return startOfRecord_; }
  bool StartOfPage() const { return startOfPage_; }
  TppFileType FileType() const { return fileType_; }
  void SetFileType(TppFileType v);  // ignored while Busy

  TppSaveTextEvent OnSaveText;

 protected:
  void WritePage(TppPage* page) override;
  // LINE and, unless it ends the file or the file is custom, CR LF;
  // nothing for an empty line.
  void WriteLine(const std::string& line);

 private:
  void ClearPosition();
  bool endOfRecord_ = false;
  bool endOfPage_ = false;
  bool startOfFile_ = false;
  int fieldNo_ = 0;
  int recordNo_ = 0;
  bool endOfFile_ = false;
  bool startOfRecord_ = false;
  bool startOfPage_ = false;
  TppFileType fileType_ = TppFileType::ftComma;
};

// Each page as plain text on a fixed character grid, laid out as the page
// would print in a monospaced font. Only texts are written.
class TppReportTextFileDevice : public TppFileDevice {
  CLS_DECLARE_CLASS(TppReportTextFileDevice, TppFileDevice)
 public:
  explicit TppReportTextFileDevice(cls::TComponent* owner) : TppFileDevice(owner) {}

  static std::string ClassDeviceName() { return "ReportTextFile"; }
  static std::string ClassDefaultExtension() { return "txt"; }
  static std::string ClassFileFilter() { return "Text files|*.TXT|All files|*.*"; }
  static std::string ClassDescription();
  std::string DeviceName() const override { return ClassDeviceName(); }
  std::string DefaultExtension() const override { return ClassDefaultExtension(); }
  std::string FileFilter() const override { return ClassFileFilter(); }
  std::string Description() const override { return ClassDescription(); }

  // One text of the grid: a command, or one wrapped line of it.
  struct TGridText {
    int64_t Top = 0, Left = 0, Width = 0;
    std::string Text;
    cls::TAlignment Alignment = cls::taLeftJustify;
    bool AutoSize = false;
  };
  // The page's texts, wrapped ones split into lines, by Top, then Left.
  static std::vector<TGridText> CollectTexts(TppPage* page);
  // Works out the cell from the grid font of PAGE (its first text) and
  // sets CharsPerLine and LinesPerPage, or the cell from them. A cell of no
  // size raises EPagewrightError.
  void CalcCharacterGrid(TppPage* page);
  // 8, 10 or 12: the smallest "Courier New" size whose "0" is at least as
  // wide as FONT's.
  static int ChooseFontSize(const gdi::TFont& font);

  bool CalcGridFromFont() const { return calcGridFromFont_; }
  void SetCalcGridFromFont(bool v) { calcGridFromFont_ = v; }
  bool AutoFontSize() const { return autoFontSize_; }
  void SetAutoFontSize(bool v) { autoFontSize_ = v; }
  int CharsPerLine() const { return charsPerLine_; }
  void SetCharsPerLine(int v) { charsPerLine_ = v; }
  int LinesPerPage() const { return linesPerPage_; }
  void SetLinesPerPage(int v) { linesPerPage_ = v; }
  int GridFontSize() const { return gridFontSize_; }
  void SetGridFontSize(int v) { gridFontSize_ = v; }
  // The character cell in thousandths of a millimetre (after a page).
  int CellWidth() const { return cellWidth_; }
  int CellHeight() const { return cellHeight_; }

 protected:
  void WritePage(TppPage* page) override;

 private:
  void WriteGridLine(const std::string& line, bool lastPage);
  bool calcGridFromFont_ = true;
  bool autoFontSize_ = true;
  int charsPerLine_ = 80;
  int linesPerPage_ = 66;
  int gridFontSize_ = 12;
  int cellWidth_ = 0;
  int cellHeight_ = 0;
  int row_ = 1;
};

// The pages themselves, with every draw command, for rebuilding later.
// Pages collect in a temporary "arc" file while the index grows in the
// archive; EndJob joins them. A job whose writes fail leaves no archive.
class TppArchiveDevice : public TppFileDevice {
  CLS_DECLARE_CLASS(TppArchiveDevice, TppFileDevice)
 public:
  explicit TppArchiveDevice(cls::TComponent* owner) : TppFileDevice(owner) {}

  static std::string ClassDeviceName() { return "ArchiveFile"; }
  static std::string ClassDefaultExtension() { return "raf"; }
  static std::string ClassFileFilter() { return "Archive files|*.RAF|All files|*.*"; }
  static std::string ClassDescription();
  std::string DeviceName() const override { return ClassDeviceName(); }
  std::string DefaultExtension() const override { return ClassDefaultExtension(); }
  std::string FileFilter() const override { return ClassFileFilter(); }
  std::string Description() const override { return ClassDescription(); }

  // The archive file and the temporary page file; on failure neither stays.
  void StartJob() override;
  // While the archive is open: the page data joined to the index and D
  // written; the temporary file goes. After a failed write both files go
  // (a failure while joining passes on).
  void EndJob() override;

  // Only the last page keeps its outline command (default True).
  bool RemoveOutlines() const { return removeOutlines_; }
  void SetRemoveOutlines(bool v) { removeOutlines_ = v; }
  const std::string& TempFileName() const { return tempFileName_; }

  // Writes PAGE as a binary component stream to STREAM; with
  // WITHOUTOUTLINE its outline command is left out.
  static void WritePageStream(TppPage* page, cls::TStream* stream, bool withoutOutline);

 protected:
  void WritePage(TppPage* page) override { WriteArchivePage(page); }
  void WriteArchivePage(TppPage* page);
  // The stream the pages collect in (a file stream on the temporary file).
  virtual cls::TStream* CreatePageStream(const std::string& fileName);

 private:
  // Closes both files and deletes them.
  void Discard();
  cls::Owned<cls::TStream> pageStream_;
  std::string tempFileName_;
  bool removeOutlines_ = true;
  bool failed_ = false;
};

// Registers the three file devices (the output layer's registration).
void ppRegisterFileDeviceUnit();
