// Split and checks of a 1 MB print-data reply with hundreds of receipts.
#include <benchmark/benchmark.h>

#include <string>
#include <vector>

#include "common/uuCoding.h"
#include "printclient/ufMainReceipt.h"

namespace {

std::string MegabyteReply(int& receipts) {
  std::string R = "K4\rLstart\r";
  std::string text;
  for (int line = 0; line < 40; ++line) text += "\xA4\xA4\xA4\xE5 item " + std::to_string(line) + " 1234.00\n";
  receipts = 0;
  while (R.size() < (1u << 20)) {
    std::string filler(30 + receipts % 170, static_cast<char>(receipts));
    R += "D" + uuCoding::EncodeData("2000001000014\n" + text, 4, filler) + "\r";
    ++receipts;
  }
  return R + "END\r";
}

void BM_SplitAndCheck(benchmark::State& state) {
  int receipts = 0;
  const std::string R = MegabyteReply(receipts);
  for (auto _ : state) {
    std::vector<printclient::ufMain::PrintRecord> records;
    std::vector<printclient::ufMain::Receipt> receipts;
    printclient::ufMain::ReplyFault fault;
    bool ok = printclient::ufMain::SplitReply(R, records, fault) &&
              printclient::ufMain::CheckRecords(records, R, receipts, fault);
    if (!ok) state.SkipWithError("reply refused");
    benchmark::DoNotOptimize(records);
  }
  state.counters["receipts"] = receipts;
  state.counters["bytes"] = static_cast<double>(R.size());
  state.SetBytesProcessed(static_cast<int64_t>(state.iterations()) * static_cast<int64_t>(R.size()));
}
BENCHMARK(BM_SplitAndCheck)->Unit(benchmark::kMillisecond);

}  // namespace
