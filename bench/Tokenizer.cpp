// Whole-text tokenization speed with a hand-built style-sheet definition.
#include "bench/BenchCorpus.h"
#include "highlight/CodeMemoParser.h"
#include "tests/highlight/SampleCssDefinition.h"

#include <benchmark/benchmark.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <string>

using namespace quillet;
using namespace quillet::testdef;

namespace {

std::string Corpus() {
    std::filesystem::path root = BenchCorpusRoot();
    std::string all;
    for (auto& f : std::filesystem::recursive_directory_iterator(root / "css")) {
        if (!f.is_regular_file()) continue;
        std::ifstream in(f.path(), std::ios::binary);
        std::stringstream ss;
        ss << in.rdbuf();
        all += ss.str();
    }
    std::string text;
    if (all.empty()) all = "h1 { color: #ff0000; } /* c */\n";
    while (text.size() < (20u << 20))
        text += all;
    for (auto& c : text)
        if (c == '\n') c = '\r';
    return text;
}

void BM_TokenizeWholeText(benchmark::State& state) {
    TCodeMemoParser p;
    BuildCss(p);
    static const std::string text = Corpus();
    for (auto _ : state) {
        TTokenCursor cur{reinterpret_cast<const uint8_t*>(text.data()), text.size(), 0};
        p.ResetState(0);
        unsigned sum = 0;
        while (!cur.AtEnd())
            sum += unsigned(p.NextToken(cur));
        benchmark::DoNotOptimize(sum);
    }
    state.SetBytesProcessed(int64_t(state.iterations()) * int64_t(text.size()));
}
BENCHMARK(BM_TokenizeWholeText)->Unit(benchmark::kMillisecond)->Iterations(3);

} // namespace

BENCHMARK_MAIN();
