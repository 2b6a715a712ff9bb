// Line store costs: position lookups and one typed character at 1k and 1M lines.
#include "editor/TextStore.h"

#include <benchmark/benchmark.h>

#include <memory>
#include <random>
#include <string>
#include <vector>

using namespace quillet;

namespace {
std::unique_ptr<TTextStore> MakeStore(int lines) {
    auto store = std::make_unique<TTextStore>();
    std::string text;
    text.reserve(static_cast<size_t>(lines) * 40);
    for (int i = 0; i < lines; ++i)
        text += "  color: #" + std::to_string(100000 + i % 900000) + "; margin: 0 auto;\n";
    store->Insert(TOffset(0), text);
    return store;
}
} // namespace

static void BM_OffsetToLine(benchmark::State& state) {
    auto store = MakeStore(static_cast<int>(state.range(0)));
    const int n = store->CharCount();
    TOffset pos(0);
    for (auto _ : state) {
        benchmark::DoNotOptimize(store->LineFromPos(pos));
        pos = TOffset((pos.Value() + 7919) % n);
    }
}
BENCHMARK(BM_OffsetToLine)->Arg(1000)->Arg(1000000);

// The worst case: every lookup far from the one before.
static void BM_OffsetToLineRandom(benchmark::State& state) {
    auto store = MakeStore(static_cast<int>(state.range(0)));
    std::mt19937 rng(7);
    std::vector<TOffset> positions(4096);
    for (TOffset& p : positions)
        p = TOffset(static_cast<int>(rng() % static_cast<unsigned>(store->CharCount())));
    size_t i = 0;
    for (auto _ : state) {
        benchmark::DoNotOptimize(store->LineFromPos(positions[i]));
        i = (i + 1) & 4095;
    }
}
BENCHMARK(BM_OffsetToLineRandom)->Arg(1000)->Arg(1000000);

static void BM_LineToOffset(benchmark::State& state) {
    auto store = MakeStore(static_cast<int>(state.range(0)));
    const int n = store->LineCount();
    TRow line(0);
    for (auto _ : state) {
        benchmark::DoNotOptimize(store->PosFromLine(line));
        line = TRow((line.Value() + 7919) % n);
    }
}
BENCHMARK(BM_LineToOffset)->Arg(1000)->Arg(1000000);

static void BM_TypeInMiddle(benchmark::State& state) {
    auto store = MakeStore(static_cast<int>(state.range(0)));
    const TOffset pos = store->PosFromLine(TRow(store->LineCount() / 2)) + 3;
    for (auto _ : state) {
        store->Insert(pos, "x");
        store->Delete(pos, 1);
    }
}
BENCHMARK(BM_TypeInMiddle)->Arg(1000)->Arg(1000000);

BENCHMARK_MAIN();
