// Replace-all over a 2.4 MB style sheet that is one line, 200,000 hits (and a tenth of it,
// to see how the cost grows): a plain text, a
// regular expression, and one that matches empty at every position between its hits; in a
// headless editor with CSS highlighting, as the replace dialog runs it. And a prompted replace
// answered Yes, No and then All, forward and backward.
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

// A headless editor with CSS highlighting over the sheet.
struct TBenchEditor {
    THeadlessWindowHost Host{1200, 900};
    TCodeMemoParser Css;
    std::unique_ptr<TCodeMemo> Memo;
    TScriptedDialogs* Dialogs;

    TBenchEditor() {
        UseFixedBenchFonts();
        TPlatformServices services;
        auto dialogs = std::make_unique<TScriptedDialogs>();
        Dialogs = dialogs.get();
        services.Dialogs = std::move(dialogs);
        InstallPlatform(std::move(services));
        LoadShippedDefinition(Css, "css");
        Css.UseRegistry = false;
        Memo = std::make_unique<TCodeMemo>(&Host);
        Memo->SetParser(1, &Css);
        Memo->SetActiveParser(1);
        Memo->SetOptions(Memo->Options() | smoSyntaxHighlight);
    }
    ~TBenchEditor() { Memo->SetParser(1, nullptr); }
};

// range(0): 0 plain "red", 1 the regular expression "re[d]", 2 "e*d" (empty between hits);
// range(1): the hits.
void BM_ReplaceAllOneLine(benchmark::State& state) {
    TBenchEditor editor;
    const char* const patterns[] = {"red", "re[d]", "e*d"};
    const std::string pattern = patterns[state.range(0)];
    const uint32_t flags = srfMatchCase | (state.range(0) ? srfRegex : 0);
    const int hits = int(state.range(1));
    const std::string sheet = Sheet(hits);
    int count = 0;
    for (auto _ : state) {
        state.PauseTiming();
        editor.Memo->SetText(sheet);
        editor.Memo->SetSelection(0, 0);
        state.ResumeTiming();
        count = editor.Memo->Search().Engine().ReplaceAll(pattern, "blue", flags, 0);
    }
    if (count != hits) state.SkipWithError("wrong count");
}
BENCHMARK(BM_ReplaceAllOneLine)
    ->ArgsProduct({{0, 1, 2}, {20000, 200000}})
    ->Unit(benchmark::kMillisecond)
    ->Iterations(3);

// The replace button with prompting, plain "red": Yes, No, then All; range(0): the hits,
// range(1): 1 to search backward from the end.
void BM_PromptedAllOneLine(benchmark::State& state) {
    TBenchEditor editor;
    const int hits = int(state.range(0));
    const bool backward = state.range(1);
    const std::string sheet = Sheet(hits);
    const int from = backward ? int(sheet.size()) : 0;
    for (auto _ : state) {
        state.PauseTiming();
        editor.Memo->SetText(sheet);
        editor.Memo->SetSelection(from, from);
        for (TModalResult answer : {mrYes, mrNo, mrAll})
            editor.Dialogs->QueueAnswer(answer);
        state.ResumeTiming();
        editor.Memo->Search().Engine().ReplaceRequest(frReplace, "red", "blue",
                                                      srfMatchCase | (backward ? srfBackward : 0));
    }
    const std::string text = editor.Memo->Text();
    if (editor.Dialogs->AnswersLeft() || text.size() != sheet.size() + size_t(hits) - 1)
        state.SkipWithError("wrong result");
}
BENCHMARK(BM_PromptedAllOneLine)
    ->ArgsProduct({{20000, 200000}, {0, 1}})
    ->Unit(benchmark::kMillisecond)
    ->Iterations(3);

} // namespace

BENCHMARK_MAIN();
