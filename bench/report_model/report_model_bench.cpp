// Event delivery, unit conversion and page-list parsing, the model's hot paths.
#include <benchmark/benchmark.h>

#include <cstring>
#include <vector>

#include "report/model/ppComm.h"
#include "report/model/ppUtils.h"

namespace {

class TppSink : public TppCommunicator {
 public:
  using TppCommunicator::TppCommunicator;
  void EventNotify(TppCommunicator*, int, TraParamList*) override { ++received; }
  long received = 0;
};

void BM_SendEventNotify(benchmark::State& state) {
  auto* pub = new TppCommunicator(nullptr);
  std::vector<TppSink*> subs;
  for (int i = 0; i < state.range(0); ++i) {
    subs.push_back(new TppSink(nullptr));
    subs.back()->EventMask().Include(35);
    pub->AddEventNotify(subs.back());
  }
  for (auto _ : state) pub->SendEventNotify(pub, 35, nullptr);
  state.SetItemsProcessed(state.iterations() * state.range(0));
  pub->Free();
  for (TppSink* s : subs) s->Free();
}
BENCHMARK(BM_SendEventNotify)->Arg(10)->Arg(100)->Arg(1000);

void BM_ConvertToMMThousandths(benchmark::State& state) {
  float v = 0;
  for (auto _ : state) {
    benchmark::DoNotOptimize(ConvertToMMThousandths(v, utInches));
    v += 0.001f;
  }
}
BENCHMARK(BM_ConvertToMMThousandths);

void BM_ParsePageList(benchmark::State& state) {
  cls::TStringList list;
  for (auto _ : state) ParsePageList("1,3,5-12,20-400,7", &list, false);
}
BENCHMARK(BM_ParsePageList);

void BM_FreeLinkedObjects(benchmark::State& state) {
  for (auto _ : state) {
    auto* hub = new TppCommunicator(nullptr);
    std::vector<TppCommunicator*> others;
    for (int i = 0; i < state.range(0); ++i) {
      others.push_back(new TppCommunicator(nullptr));
      hub->AddNotify(others.back());
    }
    hub->Free();
    for (TppCommunicator* o : others) o->Free();
  }
}
BENCHMARK(BM_FreeLinkedObjects)->Arg(100)->Arg(1000);

// range(0) children of one owner created, then freed one by one: range(1)
// 0 in the order they were made, 1 last first. Each doubling should cost
// twice the time, no more.
void BM_OwnerChildren(benchmark::State& state) {
  const int count = static_cast<int>(state.range(0));
  const bool reverse = state.range(1) != 0;
  std::vector<TppCommunicator*> children(static_cast<size_t>(count));
  for (auto _ : state) {
    auto* owner = new TppCommunicator(nullptr);
    for (TppCommunicator*& c : children) c = new TppCommunicator(owner);
    if (reverse)
      for (auto it = children.rbegin(); it != children.rend(); ++it) (*it)->Free();
    else
      for (TppCommunicator* c : children) c->Free();
    if (owner->ComponentCount() != 0) state.SkipWithError("children left");
    owner->Free();
  }
  state.SetItemsProcessed(state.iterations() * count);
}
BENCHMARK(BM_OwnerChildren)
    ->ArgsProduct({{5000, 10000, 20000, 40000}, {0, 1}})
    ->Iterations(1)
    ->Unit(benchmark::kMillisecond);

// The yardstick of the case above: the same number of blocks of a child's
// size made and written, their addresses pushed onto two lists grown as the
// owner's two are (its children, and those not yet sorted for notices), then
// given back in the same orders, with no owner. Its steps are the memory's:
// lists past malloc's mapping threshold are mapped afresh and faulted in page
// by page, and freed heap is given back to the system; the children's cost
// cannot fall below them. (With GLIBC_TUNABLES=glibc.malloc.mmap_threshold=
// 4194304:glibc.malloc.trim_threshold=8388608 both lose their steps.)
void BM_OwnerChildrenMemory(benchmark::State& state) {
  const size_t count = static_cast<size_t>(state.range(0));
  const bool reverse = state.range(1) != 0;
  for (auto _ : state) {
    std::vector<char*> blocks, second;
    for (size_t i = 0; i < count; ++i) {
      char* b = static_cast<char*>(::operator new(sizeof(TppCommunicator)));
      std::memset(b, 0, sizeof(TppCommunicator));
      blocks.push_back(b);
      second.push_back(b);
    }
    benchmark::ClobberMemory();
    if (reverse)
      for (auto it = blocks.rbegin(); it != blocks.rend(); ++it) ::operator delete(*it);
    else
      for (char* b : blocks) ::operator delete(b);
  }
  state.SetItemsProcessed(state.iterations() * state.range(0));
}
BENCHMARK(BM_OwnerChildrenMemory)
    ->ArgsProduct({{5000, 10000, 20000, 40000}, {0, 1}})
    ->Iterations(1)
    ->Unit(benchmark::kMillisecond);

}  // namespace
