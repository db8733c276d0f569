// The archive device: the index grows in the archive while the pages
// collect in a temporary file; EndJob joins them.
#include <cstdint>
#include <limits>

#include "platform/classes/compstream.h"
#include "platform/sysroot/files.h"
#include "report/model/ppResMgr.h"
#include "report/model/ppUtils.h"
#include "report/output/ppFilDev.h"

CLS_IMPLEMENT_COMPONENT(TppArchiveDevice)

namespace {

// Positions and numbers of the archive are unsigned 32-bit values.
constexpr int64_t kMaxPosition = std::numeric_limits<uint32_t>::max();

void PutUInt32(uint8_t* at, uint32_t v) {
  at[0] = static_cast<uint8_t>(v);
  at[1] = static_cast<uint8_t>(v >> 8);
  at[2] = static_cast<uint8_t>(v >> 16);
  at[3] = static_cast<uint8_t>(v >> 24);
}

[[noreturn]] void WriteError() { throw cls::EWriteError("Stream write error"); }

}  // namespace

std::string TppArchiveDevice::ClassDescription() { return LoadLanguageString(34); }

cls::TStream* TppArchiveDevice::CreatePageStream(const std::string& fileName) {
  return new cls::TFileStream(fileName, cls::fmCreate);
}

void TppArchiveDevice::StartJob() {
  if (Busy()) return;
  inherited::StartJob();
  failed_ = false;
  try {
    tempFileName_ = MakeTempFileName(GetTempDirectory(), "arc");
    if (tempFileName_.empty())
      throw cls::EFCreateError("Cannot create a temporary file in \"" + GetTempDirectory() + "\". " +
                               win::SysErrorMessage(win::GetLastError()));
    pageStream_.reset(CreatePageStream(tempFileName_));
    if (cls::TStream* archive = OutputStream())
      if (archive->Seek(4, cls::soBeginning) != 4) WriteError();
  } catch (...) {
    // Nothing of the job stays behind.
    Discard();
    SetBusy(false);
    throw;
  }
}

void TppArchiveDevice::Discard() {
  pageStream_.reset();
  if (!tempFileName_.empty()) win::DeleteFile(tempFileName_);
  tempFileName_.clear();
  CloseFile(true);
}

void TppArchiveDevice::EndJob() {
  cls::TStream* archive = OutputStream();
  if (archive && !failed_) {
    try {
      int64_t d = archive->Position();
      if (d < 4 || d > kMaxPosition) WriteError();
      if (pageStream_) {
        pageStream_->SetPosition(0);
        int64_t size = pageStream_->Size();
        if (size > 0) archive->CopyFrom(pageStream_.get(), size);
      }
      uint8_t head[4];
      PutUInt32(head, static_cast<uint32_t>(d));
      if (archive->Seek(0, cls::soBeginning) != 0) WriteError();
      WriteBuffer(head, 4);
    } catch (...) {
      failed_ = true;
      Discard();
      inherited::EndJob();
      throw;
    }
    pageStream_.reset();
    if (!tempFileName_.empty()) win::DeleteFile(tempFileName_);
    tempFileName_.clear();
  } else if (archive || pageStream_) {
    // The job's writes failed: nothing of it stays.
    Discard();
  }
  inherited::EndJob();
}

void TppArchiveDevice::WriteArchivePage(TppPage* page) {
  if (!OutputStream() || !pageStream_ || failed_) return;
  try {
    int64_t position = pageStream_->Position();
    if (position < 0 || position > kMaxPosition || page->AbsolutePageNo() < 0) WriteError();
    uint8_t entry[8];
    PutUInt32(entry, static_cast<uint32_t>(position));
    PutUInt32(entry + 4, static_cast<uint32_t>(page->AbsolutePageNo()));
    WriteBuffer(entry, 8);
    WritePageStream(page, pageStream_.get(), removeOutlines_ && !page->LastPage());
    // Page data past 4 GiB has no 32-bit position.
    if (pageStream_->Position() > kMaxPosition) WriteError();
  } catch (...) {
    failed_ = true;
    throw;
  }
}

void TppArchiveDevice::WritePageStream(TppPage* page, cls::TStream* stream, bool withoutOutline) {
  TppPage* stored = page;
  cls::Owned<TppPage> copy;
  // The page is shared with every device and the cache: its outline is
  // left out of a copy.
  if (withoutOutline && page->GetOutlineDrawCommand()) {
    copy.reset(new TppPage(nullptr));
    copy->Assign(page);
    if (TppDrawCommand* outline = copy->GetOutlineDrawCommand()) outline->Free();
    stored = copy.get();
  }
  cls::WriteComponent(stream, stored, stored);
}
