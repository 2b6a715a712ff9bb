// Page Down through long documents: a key press and the paint of the new page, at the start,
// the middle and near the end of 10 thousand, 100 thousand and 1 million lines. The cost of a
// page must depend on neither the document's size nor the place in it.
#include "bench/BenchFonts.h"
#include "editor/CodeMemo.h"
#include "editor/CodeMemoView.h"
#include "highlight/ShippedDefinition.h"
#include "platform/Platform.h"
#include "platform/VirtualKeys.h"
#include "platform/headless/HeadlessFonts.h"
#include "platform/headless/HeadlessWindowHost.h"

#include <benchmark/benchmark.h>

#include <cstdio>
#include <map>
#include <memory>
#include <string>

using namespace quillet;

namespace {

constexpr int ClientWidth = 1200;
constexpr int ClientHeight = 900;
// Pages run from one starting place before the view goes back there.
constexpr int PagesPerRound = 40;

// Rules of four lines each: a selector with its brace, two declarations, the closing brace.
// With `cut`, every 1,000th line is a declaration too long for one row (2,100 characters), so
// the store holds rows that continue a logical line.
const std::string& Document(int lines, bool cut = false) {
    static std::map<std::pair<int, bool>, std::string> made;
    std::string& text = made[{lines, cut}];
    if (!text.empty()) return text;
    text.reserve(size_t(lines) * 20);
    char buf[96];
    for (int i = 0; i < lines; ++i) {
        int rule = i / 4;
        switch (i % 4) {
        case 0:
            std::snprintf(buf, sizeof buf, ".item-%d > a:hover {\n", rule);
            break;
        case 1:
            std::snprintf(buf, sizeof buf, "  color: #%06x;\n", (rule * 2654435761u) & 0xFFFFFF);
            break;
        case 2:
            if (cut && i % 1000 == 2) {
                text += "  --long: \"" + std::string(2100, 'x') + "\";\n";
                continue;
            }
            std::snprintf(buf, sizeof buf, "  margin: %dpx auto; /* row %d */\n", rule % 97, i);
            break;
        default:
            std::snprintf(buf, sizeof buf, "}\n");
        }
        text += buf;
    }
    text.pop_back(); // no empty line after the last rule
    return text;
}

struct TPagingRig {
    THeadlessWindowHost Host{ClientWidth, ClientHeight};
    TCodeMemoParser Css;
    std::unique_ptr<TCodeMemo> Memo;

    explicit TPagingRig(const std::string& text) {
        UseFixedBenchFonts();
        LoadShippedDefinition(Css, "css");
        Css.UseRegistry = false;
        Memo = std::make_unique<TCodeMemo>(&Host);
        Memo->SetParser(1, &Css);
        Memo->SetActiveParser(1);
        Memo->SetOptions(Memo->Options() | smoSyntaxHighlight | smoShowGutter | smoLineNumbers);
        Memo->SetText(text);
        Memo->Perform(WM_SETFOCUS, 0, 0);
        Host.SetFocused(true);
    }
    ~TPagingRig() {
        Memo->SetParser(1, nullptr);
        Memo.reset();
    }
    // Caret and top line at `line`, painted (the highlighter catches up here, untimed).
    void GoTo(int line) {
        const int at = Memo->Store().PosFromLine(TRow(line)).Value();
        Memo->Perform(EM_SETSEL, at, at);
        Memo->Perform(SM_TOPLINE, smSET, line);
        Paint();
    }
    void Paint() {
        Memo->Perform(WM_PAINT, 0, 0);
        Host.HeadlessCanvas().ClearLog();
        Host.ClearInvalidated();
    }
    void Press(int key) {
        Memo->Perform(WM_KEYDOWN, WPARAM(key), 0);
        Memo->Perform(WM_KEYUP, WPARAM(key), 0);
        Paint();
    }
};

// Rounds of pages from one place: the document's line count is range(0); range(1) says where
// the pages start (0 the top, 1 the middle, 2 near the end), so that a round's last page
// still moves a full page in the key's direction.
void Pages(benchmark::State& state, int key, bool cut = false) {
    const int lines = int(state.range(0));
    TPagingRig rig(Document(lines, cut));
    if (cut && rig.Memo->Store().ContinuedRows() == 0) {
        state.SkipWithError("the long lines were not cut");
        return;
    }
    const int page = ClientHeight / 17;
    const int room = (PagesPerRound + 2) * page;
    const int rows = rig.Memo->Store().LineCount();
    const bool down = key == VK_NEXT;
    int from = 0;
    if (state.range(1) == 0) from = down ? 0 : room;
    if (state.range(1) == 1) from = rows / 2;
    if (state.range(1) == 2) from = down ? rows - room : rows - page;
    rig.GoTo(from);
    int pages = 0;
    for (auto _ : state) {
        if (pages == PagesPerRound) {
            state.PauseTiming();
            rig.GoTo(from);
            pages = 0;
            state.ResumeTiming();
        }
        rig.Press(key);
        ++pages;
    }
    if (rig.Memo->TopLine() == from) state.SkipWithError("the key did not move the view");
    state.counters["lines"] = double(lines);
    state.counters["top"] = double(rig.Memo->TopLine());
}

void BM_PageDown(benchmark::State& state) {
    Pages(state, VK_NEXT);
}
void BM_PageUp(benchmark::State& state) {
    Pages(state, VK_PRIOR);
}
// A million lines of which a thousand are cut into two rows: numbers are counted on from the
// last answer.
void BM_PageUpWithCutRows(benchmark::State& state) {
    Pages(state, VK_PRIOR, true);
}
BENCHMARK(BM_PageDown)
    ->ArgsProduct({{10'000, 100'000, 1'000'000}, {0, 1, 2}})
    ->ArgNames({"lines", "at"})
    ->Unit(benchmark::kMicrosecond);
BENCHMARK(BM_PageUp)
    ->ArgsProduct({{10'000, 100'000, 1'000'000}, {0, 1, 2}})
    ->ArgNames({"lines", "at"})
    ->Unit(benchmark::kMicrosecond);
BENCHMARK(BM_PageUpWithCutRows)
    ->ArgsProduct({{1'000'000}, {0, 1, 2}})
    ->ArgNames({"lines", "at"})
    ->Unit(benchmark::kMicrosecond);

} // namespace

BENCHMARK_MAIN();
