#include "tests/support/ppArchiveReader.h"

#include "platform/classes/compstream.h"
#include "platform/classes/streams.h"
#include "report/output/ppPrnDev.h"

namespace testing_support {

namespace {

uint32_t UInt32At(const std::string& data, size_t at) {
  uint32_t v = 0;
  for (size_t i = 4; i-- > 0;) v = (v << 8) | static_cast<unsigned char>(data[at + i]);
  return v;
}

// Publishes the rebuilt pages when the publisher asks.
struct TArchivePages {
  const TArchiveReader* Reader = nullptr;
  TppPublisher* Publisher = nullptr;
  void PageRequest(cls::TObject*, TppPageRequest*) {
    for (int i = 0; i < Reader->PageCount(); ++i) {
      cls::Owned<TppPage> page(Reader->ReadPage(i));
      Publisher->PublishPage(page.get());
    }
  }
};

}  // namespace

TArchiveReader::TArchiveReader(const std::string& fileName) {
  cls::TFileStream file(fileName, cls::fmOpenRead);
  int64_t size = file.Size();
  data_.resize(static_cast<size_t>(size));
  if (size > 0) file.ReadBuffer(data_.data(), size);
  if (data_.size() < 4) throw cls::EReadError("The archive has no header");
  dataOffset_ = UInt32At(data_, 0);
  if (dataOffset_ < 4 || (dataOffset_ - 4) % 8 != 0 || dataOffset_ > data_.size())
    throw cls::EReadError("The archive's index does not fit");
  uint32_t previous = 0;
  for (uint32_t at = 4; at < dataOffset_; at += 8) {
    TEntry e{UInt32At(data_, at), UInt32At(data_, at + 4)};
    if (e.Position < previous || dataOffset_ + uint64_t{e.Position} > data_.size())
      throw cls::EReadError("An index entry points outside the page data");
    previous = e.Position;
    index_.push_back(e);
  }
}

std::string TArchiveReader::PageBytes(int i) const {
  size_t start = dataOffset_ + index_.at(static_cast<size_t>(i)).Position;
  size_t end = static_cast<size_t>(i) + 1 < index_.size() ? dataOffset_ + index_[static_cast<size_t>(i) + 1].Position
                                                          : data_.size();
  return data_.substr(start, end - start);
}

TppPage* TArchiveReader::ReadPage(int i) const {
  cls::TMemoryStream stream;
  std::string bytes = PageBytes(i);
  stream.WriteBuffer(bytes.data(), static_cast<int64_t>(bytes.size()));
  stream.SetPosition(0);
  cls::TComponentReader reader;
  cls::TComponent* read = reader.ReadComponent(&stream, nullptr);
  auto* page = cls::ObjectAs<TppPage>(read);
  if (!page) {
    if (read) read->Free();
    throw cls::EReadError("The stored object is no page");
  }
  return page;
}

void TArchiveReader::Print(const std::string& printerName) const {
  cls::Owned<TppPublisher> publisher(new TppPublisher(nullptr));
  cls::Owned<TppPrinterDevice> device(new TppPrinterDevice(nullptr));
  TArchivePages pages{this, publisher.get()};
  publisher->OnPageRequest = TppPageRequestEvent(&pages, &TArchivePages::PageRequest);
  if (PageCount() > 0) {
    cls::Owned<TppPage> first(ReadPage(0));
    TppPrinterSetup* setup = first->PrinterSetup();
    if (!printerName.empty()) setup->SetPrinterName(printerName);
    device->Printer()->SetPrinterSetup(setup);
  }
  device->SetPublisher(publisher.get());
  publisher->StartJob();
  publisher->RequestPages();
  publisher->EndJob();
  device->SetPublisher(nullptr);
}

}  // namespace testing_support
