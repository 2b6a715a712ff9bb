// The CSS language service: the lint of bootstrap.css, what linting adds to a keystroke in a
// 1 MB sheet (its marks follow the edit; the lint itself waits for a pause), the lint run after
// the pause, and the completion list for a one-letter prefix.
#include "bench/BenchCorpus.h"
#include "bench/BenchFonts.h"
#include "cli/CssProvider.h"
#include "css/Lint.h"
#include "editor/CodeMemo.h"
#include "editor/LineTrack.h"
#include "editor/Marks.h"
#include "highlight/AutoReplaceExpansion.h"
#include "platform/VirtualKeys.h"
#include "platform/headless/HeadlessWindowHost.h"

#include <benchmark/benchmark.h>

#include <fstream>
#include <sstream>

using namespace quillet;

namespace {

std::string ReadCorpus(const char* name) {
    std::ifstream in(BenchCorpusRoot() / "css" / name, std::ios::binary);
    std::stringstream ss;
    ss << in.rdbuf();
    return ss.str();
}

// About 1 MB of bootstrap.css with a misspelt property in every 20th rule, so that the lint
// leaves a few hundred marks for the keystrokes to carry.
const std::string& OneMegabyte() {
    static const std::string text = [] {
        const std::string sheet = ReadCorpus("bootstrap/bootstrap.css");
        std::string out;
        int rule = 0;
        while (out.size() < (1u << 20)) {
            for (char c : sheet) {
                out += c;
                if (c == '{' && ++rule % 20 == 0) out += " colr: red;";
            }
            if (sheet.empty()) out += "a { colr: red }\n";
        }
        return out;
    }();
    return text;
}

void BM_LintBootstrap(benchmark::State& state) {
    const std::string sheet = ReadCorpus("bootstrap/bootstrap.css");
    size_t problems = 0;
    for (auto _ : state)
        problems = css::Lint(sheet).size();
    state.counters["KB"] = double(sheet.size()) / 1024;
    state.counters["problems"] = double(problems);
    state.SetBytesProcessed(int64_t(state.iterations()) * int64_t(sheet.size()));
}
BENCHMARK(BM_LintBootstrap)->Unit(benchmark::kMillisecond);

// The lint run the window makes once typing pauses, on the 1 MB sheet.
void BM_LintOneMegabyte(benchmark::State& state) {
    for (auto _ : state)
        benchmark::DoNotOptimize(css::Lint(OneMegabyte()).size());
}
BENCHMARK(BM_LintOneMegabyte)->Unit(benchmark::kMillisecond);

struct TRig {
    THeadlessWindowHost Host{1200, 900};
    std::unique_ptr<TCodeMemo> Memo;
    explicit TRig(const std::string& text) {
        UseFixedBenchFonts();
        Memo = std::make_unique<TCodeMemo>(&Host);
        Memo->SetText(text);
        Memo->Perform(WM_SETFOCUS, 0, 0);
        Host.SetFocused(true);
    }
};

// One keystroke (a character typed, then Backspace) in the middle of the 1 MB sheet: range(0)
// 1 with the lint's marks on the text, 0 without. The difference is what linting puts on the
// typing path; a pause timer restarts besides.
void BM_KeystrokeOneMegabyte(benchmark::State& state) {
    TRig rig(OneMegabyte());
    if (state.range(0)) {
        TMarkList& marks = rig.Memo->LineTracker().Marks();
        const std::string text =
            rig.Memo->Store().StoredText(TOffset(0), rig.Memo->Store().TextEnd());
        for (const css::TProblem& p : css::Lint(text))
            marks.Add(TOffset(int(p.Offset)), int(std::max<size_t>(1, p.Length)));
        state.counters["marks"] = double(marks.Count());
    }
    const int middle = rig.Memo->Store().CharCount() / 2;
    rig.Memo->Perform(EM_SETSEL, middle, middle);
    for (auto _ : state) {
        rig.Memo->Perform(WM_CHAR, 'x', 0);
        rig.Memo->Perform(WM_KEYDOWN, VK_BACK, 0);
        rig.Memo->Perform(WM_KEYUP, VK_BACK, 0);
    }
    state.SetItemsProcessed(int64_t(state.iterations()) * 2);
}
BENCHMARK(BM_KeystrokeOneMegabyte)->Arg(0)->Arg(1)->Unit(benchmark::kMicrosecond);

// Ctrl+Space after one letter where a declaration starts: the list asked of the CSS provider,
// built and laid out in the control, then closed.
void BM_CompletionOneLetter(benchmark::State& state) {
    TRig rig("a {\r  b");
    rig.Memo->SetCompletionProvider(std::make_unique<TCssCompletionProvider>());
    rig.Memo->Perform(EM_SETSEL, 7, 7);
    size_t entries = 0;
    for (auto _ : state) {
        if (!rig.Memo->ShowCompletion()) state.SkipWithError("no list");
        entries = size_t(rig.Memo->MacroPopupList()->Count());
        rig.Memo->CloseMacroPopup();
    }
    state.counters["entries"] = double(entries);
}
BENCHMARK(BM_CompletionOneLetter)->Unit(benchmark::kMicrosecond);

} // namespace

BENCHMARK_MAIN();
