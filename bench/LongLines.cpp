// Minified style sheets whose whole text is one line, beside the same bytes broken after every
// `}`: a keystroke at the start, the middle and the end (the edit, the re-scan, the re-cut rows
// and the paint), and Page Down through the line with and without word wrap. A keystroke must
// not cost more because its line is long, nor a page because it lies far into the line.
#include "bench/BenchCorpus.h"
#include "bench/BenchFonts.h"
#include "editor/CodeMemo.h"
#include "editor/CodeMemoView.h"
#include "highlight/ShippedDefinition.h"
#include "platform/VirtualKeys.h"
#include "platform/headless/HeadlessWindowHost.h"

#include <benchmark/benchmark.h>

#include <cstdio>
#include <filesystem>
#include <fstream>
#include <map>
#include <memory>
#include <sstream>
#include <string>

using namespace quillet;

namespace {

constexpr int ClientWidth = 1200;
constexpr int ClientHeight = 900;
constexpr size_t Small = 2300 * 1000;
constexpr size_t Large = 20 * 1000 * 1000;

// Real minified files of the corpus joined into one line.
std::string MinifiedCorpus() {
    std::string all;
    const std::filesystem::path root = BenchCorpusRoot() / "css";
    if (std::filesystem::exists(root))
        for (auto& f : std::filesystem::recursive_directory_iterator(root)) {
            if (!f.is_regular_file() || !f.path().string().ends_with(".min.css")) continue;
            std::ifstream in(f.path(), std::ios::binary);
            std::stringstream ss;
            ss << in.rdbuf();
            for (char c : ss.str())
                if (c != '\n' && c != '\r') all += c;
        }
    if (all.empty()) all = "h1{color:#f00}a:hover{margin:0 auto}";
    return all;
}

// kind 0: the corpus, kind 1: `.cN{color:#xxxxxx;margin:Npx}` rules; `broken` puts a line
// break after every `}` (the same bytes otherwise).
const std::string& Sheet(size_t bytes, int kind, bool broken) {
    static std::map<std::tuple<size_t, int, bool>, std::string> made;
    std::string& text = made[{bytes, kind, broken}];
    if (!text.empty()) return text;
    text.reserve(bytes + 64);
    if (kind == 0) {
        static const std::string corpus = MinifiedCorpus();
        while (text.size() < bytes)
            text += corpus.substr(0, bytes - text.size());
    } else {
        char buf[64];
        for (unsigned n = 0; text.size() < bytes; ++n) {
            std::snprintf(buf, sizeof buf, ".c%u{color:#%06x;margin:%upx}", n,
                          (n * 2654435761u) & 0xFFFFFF, n % 97);
            text += buf;
        }
    }
    if (broken) {
        std::string out;
        out.reserve(text.size() + text.size() / 16);
        for (char c : text) {
            out += c;
            if (c == '}') out += '\n';
        }
        text.swap(out);
    }
    return text;
}

struct TRig {
    THeadlessWindowHost Host{ClientWidth, ClientHeight};
    TCodeMemoParser Css;
    std::unique_ptr<TCodeMemo> Memo;

    TRig(const std::string& text, bool wrap) {
        UseFixedBenchFonts();
        LoadShippedDefinition(Css, "css");
        Css.UseRegistry = false;
        Memo = std::make_unique<TCodeMemo>(&Host);
        Memo->SetParser(1, &Css);
        Memo->SetActiveParser(1);
        TCodeMemoOptions o = Memo->Options() | smoSyntaxHighlight | smoShowGutter | smoLineNumbers;
        Memo->SetOptions(wrap ? o | smoWordWrap : o);
        Memo->SetText(text);
        Memo->Perform(WM_SETFOCUS, 0, 0);
        Host.SetFocused(true);
        Paint();
    }
    ~TRig() {
        Memo->SetParser(1, nullptr);
        Memo.reset();
    }
    void Paint() {
        Memo->Perform(WM_PAINT, 0, 0);
        Host.HeadlessCanvas().ClearLog();
        Host.ClearInvalidated();
    }
    // Caret at `at` and in view, painted (untimed).
    void Place(int at) {
        Memo->Perform(EM_SETSEL, at, at);
        Memo->Perform(EM_SCROLLCARET, 0, 0);
        Paint();
    }
};

// range(0): 0 = 2.3 MB, 1 = 20 MB; range(1): 0 = corpus, 1 = generated rules; range(2): 1 =
// broken into short lines; range(3): 0 start, 1 middle, 2 end. Each keystroke types `x` or
// takes it back with Backspace, and paints.
void Keystrokes(benchmark::State& state, bool wrap) {
    const std::string& text =
        Sheet(state.range(0) ? Large : Small, int(state.range(1)), state.range(2) != 0);
    TRig rig(text, wrap);
    const int n = rig.Memo->Store().CharCount();
    const int at = state.range(3) == 0 ? 1 : state.range(3) == 1 ? n / 2 : n - 1;
    rig.Place(at);
    bool type = true;
    for (auto _ : state) {
        if (type) {
            rig.Memo->Perform(WM_CHAR, 'x', 0);
        } else {
            rig.Memo->Perform(WM_KEYDOWN, VK_BACK, 0);
            rig.Memo->Perform(WM_KEYUP, VK_BACK, 0);
        }
        type = !type;
        rig.Paint();
    }
    if (rig.Memo->Store().CharCount() != n && rig.Memo->Store().CharCount() != n + 1)
        state.SkipWithError("the keystrokes did not type");
    state.counters["rows"] = rig.Memo->Store().LineCount();
}
void BM_Keystroke(benchmark::State& state) {
    Keystrokes(state, false);
}
BENCHMARK(BM_Keystroke)
    ->ArgsProduct({{0, 1}, {0, 1}, {0, 1}, {0, 1, 2}})
    ->ArgNames({"20MB", "gen", "broken", "at"})
    ->Unit(benchmark::kMicrosecond)
    ->Iterations(200);

// The same keystrokes with word wrap on, in the 20 MB sheets (one line, and broken).
void BM_KeystrokeWrapped(benchmark::State& state) {
    Keystrokes(state, true);
}
BENCHMARK(BM_KeystrokeWrapped)
    ->ArgsProduct({{1}, {0, 1}, {0, 1}, {0, 1, 2}})
    ->ArgNames({"20MB", "gen", "broken", "at"})
    ->Unit(benchmark::kMicrosecond)
    ->Iterations(200);

// One token the whole length of a 2.3 MB line: range(0) 0 = a word of letters (a selector),
// 1 = a run of digits (a value's number); range(1) 0 start, 1 middle, 2 end. A keystroke inside
// it must cost what one in a short token does.
void BM_KeystrokeOneWord(benchmark::State& state) {
    static std::map<int, std::string> made;
    std::string& text = made[int(state.range(0))];
    if (text.empty())
        text = state.range(0) == 0 ? std::string(Small, 'a')
                                   : "p{margin:" + std::string(Small, '7') + "px}";
    TRig rig(text, false);
    const int n = rig.Memo->Store().CharCount();
    const int at = state.range(1) == 0 ? 1 : state.range(1) == 1 ? n / 2 : n - 4;
    rig.Place(at);
    bool type = true;
    for (auto _ : state) {
        if (type) {
            rig.Memo->Perform(WM_CHAR, state.range(0) == 0 ? 'x' : '5', 0);
        } else {
            rig.Memo->Perform(WM_KEYDOWN, VK_BACK, 0);
            rig.Memo->Perform(WM_KEYUP, VK_BACK, 0);
        }
        type = !type;
        rig.Paint();
    }
    if (rig.Memo->Store().CharCount() != n && rig.Memo->Store().CharCount() != n + 1)
        state.SkipWithError("the keystrokes did not type");
}
BENCHMARK(BM_KeystrokeOneWord)
    ->ArgsProduct({{0, 1}, {0, 1, 2}})
    ->ArgNames({"digits", "at"})
    ->Unit(benchmark::kMicrosecond)
    ->Iterations(200);

// Page Down through the 20 MB one-line corpus sheet: range(0) word wrap, range(1) where the
// pages start (0 the top, 1 the middle, 2 near the end). Forty pages from one place, then back.
void BM_PageDownOneLine(benchmark::State& state) {
    TRig rig(Sheet(Large, 0, false), state.range(0) != 0);
    const int rows = rig.Memo->Store().LineCount();
    const int page = ClientHeight / 17;
    const int room = 42 * page;
    const int from = state.range(1) == 0 ? 0 : state.range(1) == 1 ? rows / 2 : rows - room;
    auto goTo = [&] {
        const int at = rig.Memo->Store().PosFromLine(from);
        rig.Memo->Perform(EM_SETSEL, at, at);
        rig.Memo->Perform(SM_TOPLINE, smSET, from);
        rig.Paint();
    };
    goTo();
    int pages = 0;
    for (auto _ : state) {
        if (pages == 40) {
            state.PauseTiming();
            goTo();
            pages = 0;
            state.ResumeTiming();
        }
        rig.Memo->Perform(WM_KEYDOWN, VK_NEXT, 0);
        rig.Memo->Perform(WM_KEYUP, VK_NEXT, 0);
        rig.Paint();
        ++pages;
    }
    if (rig.Memo->TopLine() == from) state.SkipWithError("the key did not move the view");
    state.counters["rows"] = rows;
}
BENCHMARK(BM_PageDownOneLine)
    ->ArgsProduct({{0, 1}, {0, 1, 2}})
    ->ArgNames({"wrap", "at"})
    ->Unit(benchmark::kMicrosecond);

} // namespace

BENCHMARK_MAIN();
