// Reply processing: split, checks and execution of any reply. A line
// "d<plain>" becomes a D record scrambling <plain> with the latest key, so
// the checks behind the descrambler are reached too.
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <string>

#include "common/uuCoding.h"
#include "fuzz/fuzz_support.h"
#include "platform/ui/dialogs.h"
#include "printclient/ufMainReceipt.h"

namespace {

std::string Expand(const std::string& in) {
  std::string out;
  int key = 1;
  size_t pos = 0;
  while (pos <= in.size()) {
    size_t cr = in.find('\r', pos);
    size_t end = cr == std::string::npos ? in.size() : cr;
    std::string line = in.substr(pos, end - pos);
    if (line.size() > 1 && line[0] == 'K') key = std::atoi(line.c_str() + 1);
    if (!line.empty() && line[0] == 'd') {
      std::string filler(30 + line.size() % 170, '\x5A');
      line = "D" + uuCoding::EncodeData(line.substr(1), key, filler);
    }
    out += line;
    if (cr == std::string::npos) break;
    out += '\r';
    pos = cr + 1;
  }
  return out;
}

void CheckWrapped(int lines, const std::string& text) {
  int count = 1, column = 0;
  for (size_t i = 0; i < text.size(); ++i) {
    unsigned char c = static_cast<unsigned char>(text[i]);
    if (c >= 0x7F) {  // a two-byte character, unless a line break follows
      if (i + 1 < text.size() && text[i + 1] != '\r' && text[i + 1] != '\n') ++i;
      column += 2;
    } else if (c == '\r') {
      if (column == 0) std::abort();  // no blank lines
      ++count;
      column = 0;
      continue;
    } else if (c == '\n') {
      std::abort();
    } else {
      ++column;
    }
    if (column > 30) std::abort();
  }
  if (count != lines) std::abort();
}

}  // namespace

// Faults are logged into the fuzzer's own system root and shown as dialogs
// that only are recorded.
extern "C" int LLVMFuzzerInitialize(int*, char***) {
  fuzz_support::Init();
  return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  std::string input(reinterpret_cast<const char*>(data), size);
  const std::string R = Expand(input);
  int printed = 0;
  auto printer = [&printed](int lines, const std::string& barcode, const std::string& text, std::string&) {
    if (!barcode.empty() && !printclient::ufMain::IsValidEAN13(barcode)) std::abort();
    CheckWrapped(lines, text);
    return ++printed % 7 != 0;  // now and then a print fails
  };
  int code = printclient::ufMain::ProcessReply(R, printer);
  if (code != printclient::ufMain::prFault && code != printclient::ufMain::prDone && code != printclient::ufMain::prPrintFailed) std::abort();

  int lines = 0;
  std::string wrapped = printclient::ufMain::WrapReceiptText(input, lines);
  if (!wrapped.empty()) CheckWrapped(lines, wrapped);
  ui::ClearRecordedDialogs();
  return 0;
}
