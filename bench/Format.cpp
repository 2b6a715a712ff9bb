// Formatting and minifying a real minified style sheet in-process (target: under 50 ms).
#include "css/Format.h"
#include "bench/BenchCorpus.h"

#include <benchmark/benchmark.h>

#include <fstream>
#include <sstream>

using namespace quillet;

namespace {

const std::string& BootstrapMin() {
    static const std::string text = [] {
        std::ifstream in(BenchCorpusRoot() / "css" / "bootstrap" / "bootstrap.min.css",
                         std::ios::binary);
        std::stringstream ss;
        ss << in.rdbuf();
        return ss.str();
    }();
    return text;
}

void BM_FormatBootstrapMin(benchmark::State& state) {
    const std::string& text = BootstrapMin();
    if (text.empty()) return state.SkipWithError("no corpus");
    for (auto _ : state)
        benchmark::DoNotOptimize(css::Format(text));
    state.SetBytesProcessed(int64_t(state.iterations()) * int64_t(text.size()));
}
BENCHMARK(BM_FormatBootstrapMin)->Unit(benchmark::kMillisecond);

void BM_MinifyBootstrapMin(benchmark::State& state) {
    const std::string& text = BootstrapMin();
    if (text.empty()) return state.SkipWithError("no corpus");
    for (auto _ : state)
        benchmark::DoNotOptimize(css::Minify(text));
    state.SetBytesProcessed(int64_t(state.iterations()) * int64_t(text.size()));
}
BENCHMARK(BM_MinifyBootstrapMin)->Unit(benchmark::kMillisecond);

} // namespace

BENCHMARK_MAIN();
