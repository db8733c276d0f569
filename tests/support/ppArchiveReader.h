// Reads the archives the archive device writes (tests only; the system has
// no reader): the index, each page rebuilt from its component stream
// through the draw-command classes' stream registration, and a print of
// the rebuilt pages through a publisher of its own to a printer device.
#pragma once
#include <cstdint>
#include <string>
#include <vector>

#include "platform/classes/classes.h"
#include "report/output/ppDevice.h"

namespace testing_support {

class TArchiveReader {
 public:
  struct TEntry {
    uint32_t Position = 0;  // within the page data
    uint32_t PageNo = 0;
  };

  // Reads the file FILENAME (a Windows name); EReadError when its layout
  // does not hold together.
  explicit TArchiveReader(const std::string& fileName);

  // D: where the page data start.
  uint32_t DataOffset() const { return dataOffset_; }
  const std::vector<TEntry>& Index() const { return index_; }
  int PageCount() const { return static_cast<int>(index_.size()); }
  // The stored bytes of page I (its component stream).
  std::string PageBytes(int i) const;
  // Page I rebuilt; the caller frees it.
  TppPage* ReadPage(int i) const;

  // Prints every stored page, in index order, on PRINTERNAME (the pages'
  // own setups otherwise) through a publisher and printer device of its own.
  void Print(const std::string& printerName) const;

 private:
  std::string data_;
  uint32_t dataOffset_ = 0;
  std::vector<TEntry> index_;
};

}  // namespace testing_support
