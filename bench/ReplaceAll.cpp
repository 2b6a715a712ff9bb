// Replace-all over a 2.4 MB style sheet that is one line, 200,000 hits (and a tenth of it,
// to see how the cost grows): a plain text, a
// regular expression, and one that matches empty at every position between its hits; in a
// headless editor with CSS highlighting, as the replace dialog runs it.
#include "bench/BenchFonts.h"
#include "editor/CodeMemo.h"
#include "editor/SearchControl.h"
#include "highlight/ShippedDefinition.h"
#include "platform/Platform.h"
#include "platform/headless/HeadlessWindowHost.h"
#include "platform/headless/ScriptedDialogs.h"

#include <benchmark/benchmark.h>

#include <cstdio>
#include <memory>
#include <string>

using namespace quillet;

namespace {

// `.cN{color:red}` `hits` times: about 2.4 MB without a line break for 200,000.
std::string Sheet(int hits) {
    std::string s;
    char buf[48];
    for (int n = 0; n < hits; ++n) {
        std::snprintf(buf, sizeof buf, ".c%d{color:red}", n);
        s += buf;
    }
    return s;
}

// range(0): 0 plain "red", 1 the regular expression "re[d]", 2 "e*d" (empty between hits);
// range(1): the hits.
void BM_ReplaceAllOneLine(benchmark::State& state) {
    UseFixedBenchFonts();
    TPlatformServices services;
    services.Dialogs = std::make_unique<TScriptedDialogs>();
    InstallPlatform(std::move(services));
    THeadlessWindowHost host{1200, 900};
    TCodeMemoParser css;
    LoadShippedDefinition(css, "css");
    css.UseRegistry = false;
    auto memo = std::make_unique<TCodeMemo>(&host);
    memo->SetParser(1, &css);
    memo->SetActiveParser(1);
    memo->SetOptions(memo->Options() | smoSyntaxHighlight);
    const char* const patterns[] = {"red", "re[d]", "e*d"};
    const std::string pattern = patterns[state.range(0)];
    const uint32_t flags = srfMatchCase | (state.range(0) ? srfRegex : 0);
    const int hits = int(state.range(1));
    const std::string sheet = Sheet(hits);
    int count = 0;
    for (auto _ : state) {
        state.PauseTiming();
        memo->SetText(sheet);
        memo->SetSelection(0, 0);
        state.ResumeTiming();
        count = memo->Search().Engine().ReplaceAll(pattern, "blue", flags, 0);
    }
    if (count != hits) state.SkipWithError("wrong count");
    memo->SetParser(1, nullptr);
}
BENCHMARK(BM_ReplaceAllOneLine)
    ->ArgsProduct({{0, 1, 2}, {20000, 200000}})
    ->Unit(benchmark::kMillisecond)
    ->Iterations(3);

} // namespace

BENCHMARK_MAIN();
