// Re-scan speed: a whole style sheet highlighted into the line store, and one keystroke in a big
// one.
#include "editor/Rescan.h"
#include "bench/BenchCorpus.h"
#include "tests/highlight/SampleCssDefinition.h"

#include <benchmark/benchmark.h>

#include <chrono>
#include <filesystem>
#include <fstream>
#include <memory>
#include <sstream>
#include <string>

using namespace quillet;
using namespace quillet::testdef;

namespace {

std::string CorpusCss() {
    std::string all;
    std::filesystem::path root = BenchCorpusRoot() / "css";
    if (std::filesystem::exists(root))
        for (auto& f : std::filesystem::recursive_directory_iterator(root)) {
            if (!f.is_regular_file()) continue;
            std::ifstream in(f.path(), std::ios::binary);
            std::stringstream ss;
            ss << in.rdbuf();
            all += ss.str();
        }
    if (all.empty()) all = "h1 { color: #ff0000; } /* c */\n";
    return all;
}

std::string Repeat(const std::string& piece, size_t bytes) {
    std::string text;
    text.reserve(bytes + piece.size());
    while (text.size() < bytes)
        text += piece;
    return text;
}

const std::string& BigText() {
    static const std::string text = Repeat(CorpusCss(), 20u << 20);
    return text;
}

// At least 20 MB of real style sheets highlighted again through the re-scan, e.g. after the
// definition changed: every line's bytes are renewed in place.
void BM_RescanWholeText(benchmark::State& state) {
    TCodeMemoParser p;
    BuildCss(p);
    TTextStore store;
    store.Insert(0, BigText());
    TRescanner r(store);
    r.SetDefinition(&p);
    r.ScanAll();
    for (auto _ : state) {
        r.SetDefinition(&p); // drops every line's bytes: the next scan covers all of it
        r.ScanAll();
    }
    benchmark::DoNotOptimize(store.Line(store.LineCount() / 2).Extra.get());
    state.SetBytesProcessed(int64_t(state.iterations()) * int64_t(store.CharCount()));
    state.counters["lines"] = store.LineCount();
}
BENCHMARK(BM_RescanWholeText)->Unit(benchmark::kMillisecond)->Iterations(5);

// The same text through the bare tokenizer, for the re-scan's overhead over it (same process,
// same load on the machine).
void BM_TokenizerAlone(benchmark::State& state) {
    TCodeMemoParser p;
    BuildCss(p);
    const std::string text = TTextStore::Normalize(BigText());
    for (auto _ : state) {
        TTokenCursor cur{reinterpret_cast<const uint8_t*>(text.data()), text.size(), 0};
        p.ResetState(0);
        p.State = p.StartState;
        p.SelectStartTable();
        unsigned sum = 0;
        while (!cur.AtEnd())
            sum += unsigned(p.NextToken(cur));
        benchmark::DoNotOptimize(sum);
    }
    state.SetBytesProcessed(int64_t(state.iterations()) * int64_t(text.size()));
}
BENCHMARK(BM_TokenizerAlone)->Unit(benchmark::kMillisecond)->Iterations(5);

// The first highlighting of a freshly loaded text, which also makes every line's byte buffer.
void BM_RescanFirstHighlight(benchmark::State& state) {
    TCodeMemoParser p;
    BuildCss(p);
    int64_t bytes = 0;
    for (auto _ : state) {
        state.PauseTiming();
        auto store = std::make_unique<TTextStore>();
        store->Insert(0, BigText());
        auto r = std::make_unique<TRescanner>(*store);
        state.ResumeTiming();
        r->SetDefinition(&p);
        r->ScanAll();
        bytes += store->CharCount();
        state.PauseTiming();
        r.reset();
        store.reset();
        state.ResumeTiming();
    }
    state.SetBytesProcessed(bytes);
}
BENCHMARK(BM_RescanFirstHighlight)->Unit(benchmark::kMillisecond)->Iterations(3);

// One character typed mid-document in a million-line sheet, changing nothing after its line.
void BM_RescanKeystroke(benchmark::State& state) {
    TCodeMemoParser p;
    BuildCss(p);
    TTextStore store;
    const std::string rule = "h1, .title {\n  color: #a0b0c0;\n  margin: 12.5px;\n}\n";
    store.Insert(0, Repeat(rule, rule.size() * 250000)); // a million lines
    TRescanner r(store);
    r.SetDefinition(&p);
    r.ScanAll();
    const int line = store.LineCount() / 2 + 1; // a "color" line
    const int at = store.PosFromLine(line) + 4;
    bool insert = true;
    for (auto _ : state) {
        if (insert)
            store.Insert(at, "x");
        else
            store.Delete(at, 1);
        insert = !insert;
        // Only the re-scan is timed, not the edit itself.
        auto t0 = std::chrono::steady_clock::now();
        benchmark::DoNotOptimize(r.Rescan());
        auto t1 = std::chrono::steady_clock::now();
        state.SetIterationTime(std::chrono::duration<double>(t1 - t0).count());
    }
    state.counters["lines"] = store.LineCount();
}
BENCHMARK(BM_RescanKeystroke)->Unit(benchmark::kMicrosecond)->Iterations(2000)->UseManualTime();

} // namespace

BENCHMARK_MAIN();
