// The RTF reader on any bytes. The document is laid out page by page into
// a small rectangle on a recording printer (every page must move on), then
// saved and loaded again: the text must come back unchanged, and saving
// the loaded copy must give the same bytes.
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <string>

#include "fuzz/fuzz_support.h"
#include "platform/gdi/fonts.h"
#include "platform/richedit/richedit.h"
#include "platform/spool/spool.h"

namespace {

win::HDC printer = nullptr;

}  // namespace

extern "C" int LLVMFuzzerInitialize(int*, char***) {
  fuzz_support::Init();
  gdi::SetDeterministicMetrics(true);
  spool::PrinterDef def = spool::DemoReceiptPrinter();
  def.name = "Fuzz";
  def.backend = spool::PrinterBackend::Record;
  if (!spool::InstallPrinter(def)) std::abort();
  printer = win::CreateICA(nullptr, "Fuzz", nullptr, nullptr);
  if (!printer) std::abort();
  return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  std::string bytes(reinterpret_cast<const char*>(data), size);
  richedit::Document doc;
  doc.Load(bytes);

  // 20 x 15 mm pages at the printer's resolution, drawn into a recording.
  const win::RECT page{0, 0, 1134, 850};
  win::HDC dc = gdi::CreateMetafileDC(printer);
  int pos = 0;
  while (pos < doc.Length()) {
    richedit::FormatResult r = doc.FormatRange(dc, printer, page, pos, doc.Length() - 1, true);
    if (r.next == pos) break;  // a line taller than the page: nothing more fits
    if (r.next < pos || r.next > doc.Length()) std::abort();
    pos = r.next;
  }
  gdi::CloseMetafileDC(dc);

  const std::string saved = doc.SaveRtf();
  richedit::Document again;
  again.Load(saved);
  if (again.Text() != doc.Text()) std::abort();
  if (again.SaveRtf() != saved) std::abort();
  return 0;
}
