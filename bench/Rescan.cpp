// Re-scan speed: a whole style sheet highlighted into the line store, and one keystroke in a big
// one.
#include "editor/Rescan.h"
#include "bench/BenchCorpus.h"
#include "highlight/ShippedDefinition.h"
#include "tests/highlight/SampleCssDefinition.h"

#include <benchmark/benchmark.h>

#include <chrono>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <memory>
#include <sstream>
#include <string>
#include <vector>

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
    store.Insert(TOffset(0), BigText());
    TRescanner r(store);
    r.SetDefinition(&p);
    r.ScanAll();
    for (auto _ : state) {
        r.SetDefinition(&p); // drops every line's bytes: the next scan covers all of it
        r.ScanAll();
    }
    benchmark::DoNotOptimize(store.Line(TRow(store.LineCount() / 2)).Extra.get());
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
        store->Insert(TOffset(0), BigText());
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

// Types `typed` at `at` or takes it back, by turns, and times only the re-scan after each.
void TimedKeystrokes(benchmark::State& state, TTextStore& store, TRescanner& r, TOffset at,
                     const std::string& typed) {
    bool insert = true;
    for (auto _ : state) {
        if (insert)
            store.Insert(at, typed);
        else
            store.Delete(at, int(typed.size()));
        insert = !insert;
        auto t0 = std::chrono::steady_clock::now();
        benchmark::DoNotOptimize(r.Rescan());
        auto t1 = std::chrono::steady_clock::now();
        state.SetIterationTime(std::chrono::duration<double>(t1 - t0).count());
    }
}

// One character typed mid-document in a million-line sheet, changing nothing after its line.
void BM_RescanKeystroke(benchmark::State& state) {
    TCodeMemoParser p;
    BuildCss(p);
    TTextStore store;
    const std::string rule = "h1, .title {\n  color: #a0b0c0;\n  margin: 12.5px;\n}\n";
    store.Insert(TOffset(0), Repeat(rule, rule.size() * 250000)); // a million lines
    TRescanner r(store);
    r.SetDefinition(&p);
    r.ScanAll();
    const TRow line(store.LineCount() / 2 + 1); // a "color" line
    const TOffset at = store.PosFromLine(line) + 4;
    TimedKeystrokes(state, store, r, at, "x");
    state.counters["lines"] = store.LineCount();
}
BENCHMARK(BM_RescanKeystroke)->Unit(benchmark::kMicrosecond)->Iterations(2000)->UseManualTime();

// The re-scan alone after a keystroke in a 2.3 MB line cut into rows of 2,047 characters that
// stay where they are (the cuts are not this benchmark's business): range(0) the line, 0 = one
// word of letters, 1 = one run of digits in a value, 2 = `.cN{color:#xxxxxx;margin:Npx}`
// rules; range(1) where, 0 = its second character, 1 = late in a row in the middle, 2 = near
// its end. A keystroke types `x` (or `5` in the digits) or takes it back.
void BM_RescanKeystrokeInRow(benchmark::State& state) {
    TCodeMemoParser p;
    LoadShippedDefinition(p, "css");
    constexpr size_t bytes = 2300 * 1000;
    std::string text;
    if (state.range(0) == 0) {
        text.assign(bytes, 'a');
    } else if (state.range(0) == 1) {
        text = "p{margin:" + std::string(bytes, '7') + "px}";
    } else {
        AppendGeneratedRules(text, bytes);
    }
    TTextStore store;
    store.Insert(TOffset(0), text);
    std::vector<int> rows(text.size() / 2047, 2047);
    if (text.size() % 2047) rows.push_back(int(text.size() % 2047));
    store.RecutRows(TRow(0), 1, rows);
    TRescanner r(store);
    r.SetDefinition(&p);
    r.ScanAll();
    const TOffset middle = store.PosFromLine(TRow(store.LineCount() / 2)) + 1500;
    const TOffset at = state.range(1) == 0   ? TOffset(1)
                       : state.range(1) == 1 ? middle
                                             : TOffset(int(text.size()) - 8);
    const std::string typed = state.range(0) == 1 ? "5" : "x";
    TimedKeystrokes(state, store, r, at, typed);
}
BENCHMARK(BM_RescanKeystrokeInRow)
    ->ArgsProduct({{0, 1, 2}, {0, 1, 2}})
    ->ArgNames({"line", "at"})
    ->Unit(benchmark::kMicrosecond)
    ->Iterations(200)
    ->UseManualTime();

} // namespace

BENCHMARK_MAIN();
