// What a report keeps of each page once the page is printed, in heap
// bytes: only what going back to a page needs (the engine's page records)
// and, with the outline on, the outline's nodes; never the page, its
// drawing, a copy of the outline a page, or heavy objects a page.
#include <gtest/gtest.h>
#include <malloc.h>

#include <cstddef>
#include <cstdint>

#include "report/engine/ppReport.h"
#include "tests/report/output/ppPrintr_fixture.h"
#include "tests/support/ppPagedReport.h"

#if defined(__SANITIZE_ADDRESS__)
extern "C" size_t __sanitizer_get_current_allocated_bytes();
#endif

namespace {

// Bytes allocated and not freed (the sanitizer's count when it keeps the
// heap).
int64_t LiveHeapBytes() {
#if defined(__SANITIZE_ADDRESS__)
  return static_cast<int64_t>(__sanitizer_get_current_allocated_bytes());
#else
  struct mallinfo2 m = mallinfo2();
  return static_cast<int64_t>(m.uordblks + m.hblkhd);
#endif
}

class PageMemory : public Printers {
 protected:
  void SetUp() override {
    Printers::SetUp();
    spool::PrinterDef pdf = spool::DemoReceiptPrinter();
    pdf.formats = {"pdf"};
    Install(pdf, true);
    KeptAfter(10, true);  // what a first run sets up once stays out of the figures
  }
  // Heap bytes that stay with the report once PAGES pages (a group and a
  // page a record) are printed to PDF, the page cache off.
  int64_t KeptAfter(int pages, bool outline) {
    testing_support::TPagedReport r(pages);
    r.report->SetCachePages(false);
    r.report->SetDeviceType("Printer");
    r.report->SetShowPrintDialog(false);
    r.report->OutlineSettings()->SetEnabled(outline);
    const int64_t before = LiveHeapBytes();
    r.report->Print();
    EXPECT_EQ(r.report->AbsolutePageCount(), pages);
    return LiveHeapBytes() - before;
  }
  double BytesPerPage(bool outline) {
    constexpr int kFew = 100, kMany = 1000;
    return static_cast<double>(KeptAfter(kMany, outline) - KeptAfter(kFew, outline)) / (kMany - kFew);
  }
};

}  // namespace

TEST_F(PageMemory, APageLeavesOnlyItsRecordsAndOutlineNodes) {
  // The engine's records of a page, as its streams grow (about 250 bytes
  // here); a page or its drawing kept would be kilobytes.
  const double plain = BytesPerPage(false);
  EXPECT_LE(plain, 512) << "bytes a page without the outline";
  // Two nodes a page (the group's and the page's) in the live tree, and
  // their entries in the shared record: about 500 bytes here (1,270 when
  // every node carried room for links it never gets and each page kept a
  // record segment of its own).
  const double outlined = BytesPerPage(true);
  EXPECT_LE(outlined - plain, 640) << "bytes a page the outline adds";
}
