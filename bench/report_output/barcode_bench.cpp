// EAN-13 from 12 digits: our pipeline to the 203 dpi column pattern of the
// receipt's 0.4 mm module, against libzint's ZBarcode_Encode on the same
// inputs (its module rows), in one run. Code 128 auto-encoding at growing
// lengths, whose time must grow with the length alone.
#include <benchmark/benchmark.h>
#include <zint.h>

#include <array>
#include <string>
#include <vector>

#include "report/output/ppBarCodeEnc.h"

namespace {

// 64 codes of 12 digits, the same for both.
const std::vector<std::string>& Inputs() {
  static const std::vector<std::string> inputs = [] {
    std::vector<std::string> v;
    uint32_t x = 2463534242u;
    for (int i = 0; i < 64; ++i) {
      std::string s;
      for (int d = 0; d < 12; ++d) {
        x ^= x << 13, x ^= x >> 17, x ^= x << 5;
        s += static_cast<char>('0' + x % 10);
      }
      v.push_back(s);
    }
    v[0] = "200000100001";
    return v;
  }();
  return inputs;
}

void BM_Ean13Columns203dpi(benchmark::State& state) {
  const auto& inputs = Inputs();
  ppBarCode::TppBarCodeData data;
  data.BarCodeType = bcEAN_13;
  data.BarWidth = 400;
  data.WideBarRatio = 1;
  std::string pattern;
  int message = 0;
  size_t i = 0;
  for (auto _ : state) {
    data.Data = inputs[i++ & 63];
    ppBarCode::EncodeBarCode(data, 203, pattern, message);
    benchmark::DoNotOptimize(pattern.data());
    benchmark::ClobberMemory();
  }
  if (pattern.size() != 285 || !data.CodeOK) state.SkipWithError("not a receipt symbol");
  state.SetItemsProcessed(state.iterations());
}
BENCHMARK(BM_Ean13Columns203dpi);

void BM_LibzintEncodeEan13(benchmark::State& state) {
  const auto& inputs = Inputs();
  zint_symbol* symbol = ZBarcode_Create();
  symbol->symbology = BARCODE_EANX;
  size_t i = 0;
  int error = 0;
  for (auto _ : state) {
    ZBarcode_Clear(symbol);
    const std::string& s = inputs[i++ & 63];
    error |= ZBarcode_Encode(symbol, reinterpret_cast<const unsigned char*>(s.data()), static_cast<int>(s.size()));
    benchmark::DoNotOptimize(symbol->encoded_data);
    benchmark::ClobberMemory();
  }
  if (error >= ZINT_ERROR || symbol->width != 95) state.SkipWithError("zint did not encode");
  ZBarcode_Delete(symbol);
  state.SetItemsProcessed(state.iterations());
}
BENCHMARK(BM_LibzintEncodeEan13);

// Digits and letters that switch into set C and out again all along: each
// switch out chooses the set for the rest of the data.
void BM_Code128AutoEncode(benchmark::State& state) {
  std::string input;
  while (input.size() < static_cast<size_t>(state.range(0))) input += "1234A5678b";
  input.resize(static_cast<size_t>(state.range(0)));
  ppBarCode::TppBarCodeData data;
  data.BarCodeType = bcCode128;
  data.AutoEncode = true;
  data.BarWidth = 400;
  data.WideBarRatio = 1;
  // The symbology's encoder to its modules: such lengths pass any pattern's
  // capacity, so the whole pipeline would refuse them after this.
  std::string modules;
  int message = 0;
  bool encoded = true;
  for (auto _ : state) {
    data.Data = input;
    modules.clear();
    encoded &= ppBarCode::EncodeCode128(data, modules, message);
    benchmark::DoNotOptimize(modules.data());
    benchmark::ClobberMemory();
  }
  if (!encoded || data.Data[0] != '\xD2') state.SkipWithError("not auto-encoded");
  state.SetItemsProcessed(state.iterations() * state.range(0));
  state.SetComplexityN(state.range(0));
}
BENCHMARK(BM_Code128AutoEncode)->Arg(1000)->Arg(10000)->Arg(60000)->Unit(benchmark::kMicrosecond)->Complexity();

}  // namespace
