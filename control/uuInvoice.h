// The control's serial invoice output on COM1.
#pragma once
#include <stdexcept>
#include <string>

namespace control::uuInvoice {

// Time limits of one output; the defaults are 30 s and 500 ms, and the
// environment may shorten them (ZOLMET_INVOICE_DEADLINE_MS,
// ZOLMET_INVOICE_PAUSE_MS), as tests do.
struct TInvoiceTiming {
  unsigned deadlineMs = 30000;
  unsigned pauseMs = 500;
  static TInvoiceTiming FromEnvironment();
};

// The port could not be opened: the one failure that is raised.
class EInvoicePortError : public std::runtime_error {
 public:
  using std::runtime_error::runtime_error;
};

// Sets COM1's line, then writes the bytes given as hex text; "OK" or a
// Big5 failure text.
std::string Invoice(const std::string& Data, const TInvoiceTiming& timing = TInvoiceTiming::FromEnvironment());

// The bytes of hex text, a last odd character ignored; false with MESSAGE
// naming the first pair that is not hex.
bool HexToBytes(const std::string& hex, std::string& bytes, std::string& message);

}  // namespace control::uuInvoice
