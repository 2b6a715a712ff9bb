// Loading stored definitions: both built-in values together, and the hand-built sample.
#include "highlight/DefStream.h"
#include "highlight/ShippedDefinition.h"
#include "tests/highlight/SampleCssDefinition.h"

#include <benchmark/benchmark.h>

namespace {

using namespace quillet;

void ShippedBoth(benchmark::State& state) {
    TShippedBytes css, html;
    try {
        css = ShippedDefinitionBytes("css");
        html = ShippedDefinitionBytes("html");
    } catch (const EQuilletError& e) {
        state.SkipWithError(e.what());
        return;
    }
    TCodeMemoParser a, b;
    for (auto _ : state) {
        TDefinitionStream::LoadFromBytes(a, css.Data, css.Size);
        TDefinitionStream::LoadFromBytes(b, html.Data, html.Size);
        benchmark::DoNotOptimize(a.Groups.Count() + b.Groups.Count());
    }
    state.SetBytesProcessed(int64_t(state.iterations() * (css.Size + html.Size)));
}

void SampleLoad(benchmark::State& state) {
    TCodeMemoParser src;
    testdef::BuildCss(src);
    const auto bytes = TDefinitionStream::SaveToBytes(src);
    TCodeMemoParser def;
    for (auto _ : state) {
        TDefinitionStream::LoadFromBytes(def, bytes.data(), bytes.size());
        benchmark::DoNotOptimize(def.Groups.Count());
    }
}

void SampleSave(benchmark::State& state) {
    TCodeMemoParser src;
    testdef::BuildCss(src);
    for (auto _ : state)
        benchmark::DoNotOptimize(TDefinitionStream::SaveToBytes(src).size());
}

BENCHMARK(ShippedBoth)->Unit(benchmark::kMicrosecond);
BENCHMARK(SampleLoad)->Unit(benchmark::kMicrosecond);
BENCHMARK(SampleSave)->Unit(benchmark::kMicrosecond);

} // namespace

BENCHMARK_MAIN();
