#include "ufMainReceipt.h"

#include <algorithm>
#include <cstdint>
#include <exception>

#include "common/uuCoding.h"
#include "common/uuCommon.h"
#include "platform/ui/dialogs.h"
#include "printclient/uuPrintData.h"

namespace printclient::ufMain {
namespace {

const char* const kMsgAccident = "抱歉! 單據內容處理時發生意外, 請關閉本視窗後, 重按列印.";
const char* const kMsgBadContent = "抱歉! 下載的單據內容有誤, 請關閉本視窗後, 重按列印.";

using uuPrintData::LogDebug;
using uuPrintData::LogErr;
using uuCommon::ForLog;

int Fail(const ReplyFault& f) {
  LogErr(f.Log);
  ui::ShowMessage(f.Message);
  return f.Code;
}

int Fail(const std::string& log, const std::string& message, int code) {
  return Fail(ReplyFault{log, message, code});
}

// An exception's text as the log holds it (it may carry a command's output).
std::string ExceptionText(std::exception_ptr e) {
  try {
    std::rethrow_exception(e);
  } catch (const std::exception& x) {
    return ForLog(x.what());
  } catch (...) {
    return "未知的例外";
  }
}

// The content of a K record as a decimal integer; 0 when it is not one.
int KeyIndexOf(const std::string& s) {
  size_t i = 0;
  bool negative = false;
  if (i < s.size() && (s[i] == '+' || s[i] == '-')) negative = s[i++] == '-';
  if (i == s.size()) return 0;
  std::int64_t v = 0;
  for (; i < s.size(); ++i) {
    if (s[i] < '0' || s[i] > '9') return 0;
    v = v * 10 + (s[i] - '0');
    if (v > 2147483648LL) return 0;
  }
  if (negative) v = -v;
  if (v > 2147483647LL || v < -2147483648LL) return 0;
  return static_cast<int>(v);
}

}  // namespace

bool SplitReply(const std::string& R, std::vector<PrintRecord>& Records, ReplyFault& Fault) {
  Records.clear();
  // Room for every line at once: the records never move while they grow.
  Records.reserve(static_cast<size_t>(std::count(R.begin(), R.end(), '\r')) + 1);
  size_t pos = 0;
  while (pos < R.size()) {
    size_t cr = R.find('\r', pos);
    size_t end = cr == std::string::npos ? R.size() : cr;
    if (end > pos) {
      char kind = R[pos];
      if (end - pos == 1) {
        Fault = {"無效的訊息行(" + std::to_string(Records.size() + 1) + ")\r" + ForLog(R),
                 "抱歉! 下載的單據內容不完整, 請關閉本視窗後, 重按列印.", prFault};
        return false;
      }
      if (kind != 'L' && kind != 'S' && kind != 'K' && kind != 'D' && kind != 'E') {
        Fault = {"未知的行首[" + ForLog(std::string(1, kind)) + "]\r" + ForLog(R), kMsgBadContent, prFault};
        return false;
      }
      Records.push_back(
          PrintRecord{kind, static_cast<std::uint32_t>(pos + 1), static_cast<std::uint32_t>(end - pos - 1), 0});
    }
    if (cr == std::string::npos) break;
    pos = cr + 1;
  }
  return true;
}

bool CheckRecords(std::vector<PrintRecord>& Records, const std::string& R, std::vector<Receipt>& Receipts,
                  ReplyFault& Fault) {
  Receipts.clear();
  if (Records.empty()) {
    Fault = {"內容空白\r" + ForLog(R), "抱歉! 下載單據內容失敗(空白), 請關閉本視窗後, 重按列印.", prFault};
    return false;
  }
  if (Records.back().Kind != 'E' || Records.back().Content(R) != "ND") {
    Fault = {"非END結尾\r" + ForLog(R), "抱歉! 下載的單據內容不完整(缺後段), 請關閉本視窗後, 重按列印.", prFault};
    return false;
  }
  Records.pop_back();
  int k = 0;
  for (PrintRecord& rec : Records) {
    switch (rec.Kind) {
      case 'K':
        k = KeyIndexOf(std::string(rec.Content(R)));
        if (k < 1) {
          Fault = {"密鑰索引有誤: " + ForLog(std::string(rec.Content(R))) + "\r" + ForLog(R), kMsgBadContent, prFault};
          return false;
        }
        break;
      case 'D': {
        if (k < 1) {
          Fault = {"缺乏密鑰索引\r" + ForLog(R), kMsgBadContent, prFault};
          return false;
        }
        std::string plain = uuCoding::DecodeData(std::string(rec.Content(R)), k);
        if (plain.empty()) {
          Fault = {"明文空白\r" + ForLog(R), kMsgBadContent, prFault};
          return false;
        }
        size_t lf = plain.find('\n');
        if (lf == std::string::npos) {
          Fault = {"明文內容有誤\r" + ForLog(plain) + "\r" + ForLog(R), kMsgBadContent, prFault};
          return false;
        }
        std::string barcode = plain.substr(0, lf);
        if (!barcode.empty() && !IsValidEAN13(barcode)) {
          Fault = {"條碼有誤: " + ForLog(barcode) + "\r" + ForLog(R),
                   "抱歉! 下載的單據內容有誤(條碼), 請關閉本視窗後, 重按列印或與客服連繫", prFault};
          return false;
        }
        rec.Receipt = static_cast<std::uint32_t>(Receipts.size());
        Receipts.push_back(Receipt{std::move(barcode), plain.substr(lf + 1)});
        break;
      }
      case 'E':
        Fault = {"多餘的END\r" + ForLog(R), "抱歉! 下載的單據內容規格錯誤, 請關閉本視窗後, 重按列印.", prFault};
        return false;
      default:
        break;
    }
  }
  return true;
}

int ProcessReply(const std::string& R, const TPrintReceipt& PrintReceipt) {
  std::vector<PrintRecord> records;
  std::vector<Receipt> receipts;
  ReplyFault fault;
  try {
    if (!SplitReply(R, records, fault)) return Fail(fault);
  } catch (...) {
    return Fail("[下載與轉換] 系統錯誤: " + ExceptionText(std::current_exception()) + "\r" + ForLog(R),
                kMsgAccident, prPrintFailed);
  }
  try {
    if (!CheckRecords(records, R, receipts, fault)) return Fail(fault);
  } catch (...) {
    return Fail("[檢查] 系統錯誤: " + ExceptionText(std::current_exception()) + "\r" + ForLog(R), kMsgAccident,
                prPrintFailed);
  }
  try {
    for (const PrintRecord& rec : records) {
      switch (rec.Kind) {
        case 'D': {
          int lines = 0;
          const Receipt& receipt = receipts[rec.Receipt];
          std::string wrapped = WrapReceiptText(receipt.Text, lines);
          std::string cause;
          if (!PrintReceipt || !PrintReceipt(lines, receipt.Barcode, wrapped, cause))
            return Fail("列印失敗\r" + ForLog(wrapped) + (cause.empty() ? "" : "\r原因: " + ForLog(cause)),
                        "抱歉! 列印失敗", prPrintFailed);
          break;
        }
        case 'L':
          LogDebug("[EXE][Print][L] " + ForLog(std::string(rec.Content(R))));
          break;
        case 'S':
          ui::ShowMessage(std::string(rec.Content(R)));
          break;
        default:
          break;
      }
    }
  } catch (...) {
    return Fail("[列印] 系統錯誤: " + ExceptionText(std::current_exception()) + "\r" + ForLog(R),
                "抱歉! 單據列印時發生意外, 請關閉本視窗後, 重按列印.", prPrintFailed);
  }
  return prDone;
}

int ProcessPrintData(const std::string& IP, const std::string& WebName, const std::string& WebPage,
                     const std::string& Data, const TPrintReceipt& PrintReceipt) {
  std::string R;
  try {
    if (Data.empty()) {
      ui::ShowMessage("單號空白,無法下載列印.");
      return prFault;
    }
    if (!uuPrintData::GetPrintData(IP, WebName, WebPage, Data, R)) {
      LogErr(uuPrintData::PrintDataError);
      ui::ShowMessage("抱歉! 下載單據內容失敗.");
      return prDownloadFailed;
    }
  } catch (...) {
    return Fail("[下載與轉換] 系統錯誤: " + ExceptionText(std::current_exception()) + "\r" + ForLog(R),
                kMsgAccident, prPrintFailed);
  }
  return ProcessReply(R, PrintReceipt);
}

int PrintShiftReport(const std::string& Text, const TPrintReceipt& PrintReceipt) {
  int Lines = 0;
  std::string Wrapped = WrapReceiptText(Text, Lines);
  bool printed = false;
  std::string cause;  // shown by the print; the shift report logs a fixed entry
  try {
    printed = PrintReceipt(Lines, "", Wrapped, cause);
  } catch (...) {
  }
  if (!printed) {
    LogErr("[交班單]列印失敗");
    return prFault;
  }
  return prDone;
}

std::string WrapReceiptText(const std::string& Text, int& Lines) {
  Lines = 1;
  int column = 0;
  std::string out;
  out.reserve(Text.size() + Text.size() / 30 + 1);
  auto breakLine = [&] {
    out += '\r';
    ++Lines;
    column = 0;
  };
  for (size_t i = 0; i < Text.size(); ++i) {
    unsigned char c = static_cast<unsigned char>(Text[i]);
    if (c == '\r' || c == '\n') {
      if (column >= 1) breakLine();
    } else if (c >= 0x7F) {
      if (column == 29) breakLine();
      out += static_cast<char>(c);
      // The second byte; a line break after a lead byte stays a line break.
      if (i + 1 < Text.size() && Text[i + 1] != '\r' && Text[i + 1] != '\n') out += Text[++i];
      column += 2;
      if (column == 30) breakLine();
    } else {
      out += static_cast<char>(c);
      ++column;
      if (column == 30) breakLine();
    }
  }
  while (!out.empty() && out.back() == '\r') {
    out.pop_back();
    --Lines;
  }
  return out;
}

bool IsValidEAN13(const std::string& Code) {
  if (Code.size() != 13) return false;
  int sum = 0;
  for (size_t i = 0; i < 13; ++i) {
    char c = Code[i];
    if (c < '0' || c > '9') return false;
    int d = c - '0';
    sum += (i < 12 && i % 2 == 1) ? 3 * d : d;
  }
  return sum % 10 == 0;
}

}  // namespace printclient::ufMain
