// A page's outline of N pages (the last page of an N-page report): written
// to a stream straight from its snapshot, against the tree made from the
// snapshot, written and freed (as a writer that makes the tree would); and
// a made tree freed node by node. Each must grow with N alone.
#include <benchmark/benchmark.h>

#include <string>

#include "platform/classes/compstream.h"
#include "platform/classes/streams.h"
#include "report/output/ppOutlineDrawCommand.h"
#include "report/output/ppOutlineNode.h"
#include "report/output/ppRegister.h"

namespace {

// A report's outline: the report's node, a group node a page, each with
// its page's node.
struct Outline {
  explicit Outline(int pages) : root(new TppOutlineNode(nullptr)) {
    ppRegisterOutput();
    root->SetNodeType(ntRoot);
    root->SetPageReference(-1);
    auto* report = Node(root.get(), "Report", ntOther, 1);
    for (int p = 1; p <= pages; ++p) Node(Node(report, std::to_string(p), ntGroup, p), "Page " + std::to_string(p), ntPage, p);
    snapshot = root->Snapshot();
  }
  static TppOutlineNode* Node(TppOutlineNode* parent, const std::string& caption, TppOutlineNodeType type, int page) {
    auto* n = new TppOutlineNode(nullptr);
    n->SetCaption(caption);
    n->SetNodeType(type);
    n->SetPageReference(page);
    n->SetParent(parent);
    return n;
  }
  cls::Owned<TppOutlineNode> root;
  TppOutlineSnapshot snapshot;
};

// The page's outline command written; MADE: its tree made first (and
// freed with the command).
void Written(benchmark::State& state, bool made) {
  Outline outline(static_cast<int>(state.range(0)));
  for (auto _ : state) {
    cls::Owned<TppOutlineDrawCommand> command(new TppOutlineDrawCommand(nullptr));
    command->SetSnapshot(outline.snapshot);
    if (made) command->OutlineNode();
    cls::TMemoryStream stream;
    cls::WriteComponent(&stream, command.get(), nullptr);
    benchmark::DoNotOptimize(stream.Size());
  }
}

void BM_OutlineWrittenFromItsSnapshot(benchmark::State& state) { Written(state, false); }
BENCHMARK(BM_OutlineWrittenFromItsSnapshot)->Arg(20000)->Arg(200000)->Unit(benchmark::kMillisecond);

void BM_OutlineTreeMadeWrittenAndFreed(benchmark::State& state) { Written(state, true); }
BENCHMARK(BM_OutlineTreeMadeWrittenAndFreed)->Arg(20000)->Arg(200000)->Unit(benchmark::kMillisecond);

void BM_OutlineTreeFreedNodeByNode(benchmark::State& state) {
  Outline outline(static_cast<int>(state.range(0)));
  for (auto _ : state) {
    state.PauseTiming();
    TppOutlineNode* tree = outline.snapshot.CopyTree();
    state.ResumeTiming();
    int steps = 0;
    TppOutlineNode::FreeTree(tree, [&] { ++steps; });
    benchmark::DoNotOptimize(steps);
  }
}
BENCHMARK(BM_OutlineTreeFreedNodeByNode)->Arg(20000)->Arg(200000)->Unit(benchmark::kMillisecond);

}  // namespace
