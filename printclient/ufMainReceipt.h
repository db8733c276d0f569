// One receipt request: download the print data, split it into records,
// check every record, then execute them in order. Also the receipt text
// wrap and the bar-code check that the checks use.
#pragma once
#include <functional>
#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

namespace printclient::ufMain {

// Prints one receipt: line count, bar code ('' for none), wrapped text.
// False when the print failed, with CAUSE set to its text where known.
using TPrintReceipt =
    std::function<bool(int lines, const std::string& barcode, const std::string& text, std::string& cause)>;

// Result codes of one request; Timer1Timer shows a message for each.
enum TPrintResult : int {
  prFault = 0,           // a fault in the request or the reply, already shown
  prDone = 1,            // every record executed
  prCodeInvalid = 2,     // the print code is unknown or spent
  prDownloadFailed = 3,
  prPrintFailed = 4,     // a print failed, or an exception
  prIncomplete = 5,      // the reply came in incomplete
};

// One record of a reply: its kind and where its content lies in the reply,
// so that a reply of millions of short records takes little more room than
// its own text. For D records the checks add the receipt's index.
struct PrintRecord {
  char Kind = 0;
  std::uint32_t At = 0, Size = 0;  // the content: Size bytes of the reply from At
  std::uint32_t Receipt = 0;       // D records: index into the checked receipts
  std::string_view Content(const std::string& R) const { return std::string_view(R).substr(At, Size); }
};

// A descrambled receipt record.
struct Receipt {
  std::string Barcode;
  std::string Text;
};

// A failure of the split or the checks: the error-log line, the message
// for the user and the result code.
struct ReplyFault {
  std::string Log;
  std::string Message;
  int Code = prFault;
};

// Splits reply R at CR into records, skipping empty lines.
bool SplitReply(const std::string& R, std::vector<PrintRecord>& Records, ReplyFault& Fault);
// Checks the records of reply R (which must end in END, which is dropped)
// and descrambles every D record.
bool CheckRecords(std::vector<PrintRecord>& Records, const std::string& R, std::vector<Receipt>& Receipts,
                  ReplyFault& Fault);

// Splits, checks and executes reply R; logs and shows every failure.
int ProcessReply(const std::string& R, const TPrintReceipt& PrintReceipt);

// The whole request: download, then ProcessReply.
int ProcessPrintData(const std::string& IP, const std::string& WebName, const std::string& WebPage,
                     const std::string& Data, const TPrintReceipt& PrintReceipt);

// The shift hand-over report: TEXT wrapped and printed as a receipt without
// a bar code. 1 when printed, else 0 (logged).
int PrintShiftReport(const std::string& Text, const TPrintReceipt& PrintReceipt);

// Wraps a Big5 receipt text to 30 byte columns without splitting a
// character; lines are joined by CR, blank lines dropped. LINES gets the
// line count.
std::string WrapReceiptText(const std::string& Text, int& Lines);

// Exactly 13 digits with a correct EAN-13 check digit.
bool IsValidEAN13(const std::string& Code);

}  // namespace printclient::ufMain
