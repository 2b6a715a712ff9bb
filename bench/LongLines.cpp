// Minified style sheets whose whole text is one line, beside the same bytes broken after every
// `}`: a keystroke at the start, the middle and the end (the edit, the re-scan, the re-cut rows
// and the paint), and Page Down through the line with and without word wrap. A keystroke must
// not cost more because its line is long, nor a page because it lies far into the line.
#include "bench/BenchCorpus.h"
#include "bench/BenchFonts.h"
#include "editor/CodeMemo.h"
#include "editor/CodeMemoView.h"
#include "editor/LineTrack.h"
#include "editor/Marks.h"
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
#include <optional>
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

// What a data URL holds before its data, for the sheet of kind 2.
constexpr std::string_view DataPrefix = "a{background:url(\"data:image/png;base64,";

// Base64url data: no blank and none of the marks a row may end after.
std::string MarklessData(size_t bytes) {
    static const char alphabet[] =
        "ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz0123456789-_";
    std::string out(bytes, 'A');
    uint32_t x = 20261209;
    for (char& c : out) {
        x = x * 1103515245u + 12345u;
        c = alphabet[(x >> 16) & 63];
    }
    return out;
}

// kind 0: the corpus, kind 1: `.cN{color:#xxxxxx;margin:Npx}` rules, kind 2: one rule whose
// data URL is all of it (a run without a break opportunity), kind 3: one word of letters (one
// token, and no break opportunity either); `broken` puts a line break after every `}`, in kinds
// 2 and 3 after every 76 characters (the same bytes otherwise).
const std::string& Sheet(size_t bytes, int kind, bool broken) {
    static std::map<std::tuple<size_t, int, bool>, std::string> made;
    std::string& text = made[{bytes, kind, broken}];
    if (!text.empty()) return text;
    text.reserve(bytes + 64);
    if (kind == 0) {
        static const std::string corpus = MinifiedCorpus();
        while (text.size() < bytes)
            text += corpus.substr(0, bytes - text.size());
    } else if (kind == 2) {
        text += DataPrefix;
        text += MarklessData(bytes - DataPrefix.size() - 3);
        text += "\")}";
    } else if (kind == 3) {
        text.assign(bytes, 'a');
    } else {
        AppendGeneratedRules(text, bytes);
    }
    if (broken) {
        std::string out;
        out.reserve(text.size() + text.size() / 16);
        for (char c : text) {
            out += c;
            if (kind >= 2 ? out.size() % 77 == 76 : c == '}') out += '\n';
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
    // Types `ch`, or takes a character back with Backspace.
    void TypeOrTakeBack(bool type, int ch = 'x') {
        if (type) {
            Memo->Perform(WM_CHAR, WPARAM(ch), 0);
        } else {
            Memo->Perform(WM_KEYDOWN, VK_BACK, 0);
            Memo->Perform(WM_KEYUP, VK_BACK, 0);
        }
    }
    // Caret at `at` and in view, painted (untimed).
    void Place(int at) {
        Memo->Perform(EM_SETSEL, at, at);
        Memo->Perform(EM_SCROLLCARET, 0, 0);
        Paint();
    }
};

// One keystroke (`x` typed, or taken back with Backspace) or, with `paste`, 300 bytes of data
// put in and taken out again, and the paint after it; `where`: 0 start, 1 middle, 2 end (in
// kind 2, of the data).
void Keystrokes(benchmark::State& state, bool large, int kind, bool broken, int where, bool wrap,
                bool paste = false, bool wrapOverride = false) {
    const std::string& text = Sheet(large ? Large : Small, kind, broken);
    TRig rig(text, wrap);
    if (wrapOverride) {
        // A line starting with `@` would stay whole: the sheet's line is wrapped, and each re-cut
        // asks where its logical line starts.
        rig.Memo->SetWrapOverride("@");
        rig.Memo->SetOptions(rig.Memo->Options() | smoWrapOverride);
        rig.Paint();
    }
    const int n = rig.Memo->Store().CharCount();
    const int start = kind == 2 ? int(DataPrefix.size()) + 1 : 1;
    const int at = where == 0 ? start : where == 1 ? n / 2 : n - (kind == 2 ? 4 : 1);
    rig.Place(at);
    // One keystroke and its take-back first: the first edit far from where the text was last
    // changed moves the text between (see BM_FirstEdit); what is timed here is typing on.
    rig.TypeOrTakeBack(true);
    rig.TypeOrTakeBack(false);
    rig.Paint();
    static const std::string data = MarklessData(300);
    bool type = true;
    for (auto _ : state) {
        if (paste && type) {
            rig.Memo->Perform(EM_REPLACESEL, 1, LPARAM(data.c_str()));
        } else if (paste) {
            rig.Memo->Perform(EM_SETSEL, at, at + int(data.size()));
            rig.Memo->Perform(WM_KEYDOWN, VK_DELETE, 0);
            rig.Memo->Perform(WM_KEYUP, VK_DELETE, 0);
        } else {
            rig.TypeOrTakeBack(type);
        }
        type = !type;
        rig.Paint();
    }
    const int added = paste ? int(data.size()) : 1;
    if (rig.Memo->Store().CharCount() != n && rig.Memo->Store().CharCount() != n + added)
        state.SkipWithError("the keystrokes did not type");
    state.counters["rows"] = rig.Memo->Store().LineCount();
}

// The first keystroke after a load (the text was last changed at its end), at the start, middle
// or end of the 20 MB corpus sheet (range(0) 1: broken into short lines): the one edit that
// moves the text between the load's end and the caret. Each iteration loads afresh (untimed).
void BM_FirstEdit(benchmark::State& state) {
    const std::string& text = Sheet(Large, 0, state.range(0) != 0);
    const int where = int(state.range(1));
    std::unique_ptr<TRig> rig;
    for (auto _ : state) {
        state.PauseTiming();
        rig.reset(); // the last document goes untimed too
        rig = std::make_unique<TRig>(text, false);
        const int n = rig->Memo->Store().CharCount();
        rig->Place(where == 0 ? 1 : where == 1 ? n / 2 : n - 1);
        state.ResumeTiming();
        rig->TypeOrTakeBack(true);
        rig->Paint();
        state.PauseTiming();
        if (rig->Memo->Store().CharCount() != n + 1) state.SkipWithError("the keystroke did not type");
        state.ResumeTiming();
    } // the last document goes after the timed loop
}
BENCHMARK(BM_FirstEdit)
    ->ArgsProduct({{0, 1}, {0, 1, 2}})
    ->ArgNames({"broken", "at"})
    ->Unit(benchmark::kMillisecond)
    ->Iterations(3);

// range(0): 0 = 2.3 MB, 1 = 20 MB; range(1): 0 = corpus, 1 = generated rules; range(2): 1 =
// broken into short lines; range(3): 0 start, 1 middle, 2 end.
void BM_Keystroke(benchmark::State& state) {
    Keystrokes(state, state.range(0) != 0, int(state.range(1)), state.range(2) != 0,
               int(state.range(3)), false);
}
BENCHMARK(BM_Keystroke)
    ->ArgsProduct({{0, 1}, {0, 1}, {0, 1}, {0, 1, 2}})
    ->ArgNames({"20MB", "gen", "broken", "at"})
    ->Unit(benchmark::kMicrosecond)
    ->Iterations(200);

// The same keystrokes with word wrap on, in the 20 MB sheets (one line, and broken).
void BM_KeystrokeWrapped(benchmark::State& state) {
    Keystrokes(state, state.range(0) != 0, int(state.range(1)), state.range(2) != 0,
               int(state.range(3)), true);
}
BENCHMARK(BM_KeystrokeWrapped)
    ->ArgsProduct({{1}, {0, 1}, {0, 1}, {0, 1, 2}})
    ->ArgNames({"20MB", "gen", "broken", "at"})
    ->Unit(benchmark::kMicrosecond)
    ->Iterations(200);

// The same with the wrap-override option on, in the corpus sheet of 20 MB (one line, and broken).
void BM_KeystrokeWrapOverride(benchmark::State& state) {
    Keystrokes(state, true, 0, state.range(0) != 0, int(state.range(1)), true, false, true);
}
BENCHMARK(BM_KeystrokeWrapOverride)
    ->ArgsProduct({{0, 1}, {0, 1, 2}})
    ->ArgNames({"broken", "at"})
    ->Unit(benchmark::kMicrosecond)
    ->Iterations(200);

// The commands around a keystroke at the end of a one-line sheet: range(0) 0 = 2.3 MB, 1 = 20 MB;
// range(1) the sheet's kind (0 corpus, 3 one word); range(2) the command: 0 types `ab ` as a
// keyboard does (key-down, character, key-up: the key-down runs the auto-replace and template
// tables), 1 Ctrl+Left then Ctrl+Right (over the whole word in the one-word sheet; no word
// follows, so the caret stays at the word's start, and is put back at the end), 2 a
// whole-word search backwards from the end for `aaa` (every character of the one-word sheet is a
// hit that the word test rejects). One
// iteration is one command (the three keys of `ab `).
void BM_OneLineCommand(benchmark::State& state) {
    TRig rig(Sheet(state.range(0) ? Large : Small, int(state.range(1)), false), false);
    const int end = rig.Memo->Store().CharCount();
    rig.Place(end);
    auto key = [&](int vk, int ch, bool ctrl) {
        rig.Host.SetKeyDown(VK_CONTROL, ctrl);
        rig.Memo->Perform(WM_KEYDOWN, vk, 0);
        if (ch) rig.Memo->Perform(WM_CHAR, ch, 0);
        rig.Memo->Perform(WM_KEYUP, vk, 0);
        rig.Host.SetKeyDown(VK_CONTROL, false);
    };
    const int command = int(state.range(2));
    for (auto _ : state) {
        if (command == 0) {
            key('A', 'a', false);
            key('B', 'b', false);
            key(VK_SPACE, ' ', false);
        } else if (command == 1) {
            key(VK_LEFT, 0, true);
            key(VK_RIGHT, 0, true);
            rig.Memo->Perform(EM_SETSEL, end, end);
        } else {
            rig.Memo->Perform(EM_SETSEL, end, end);
            benchmark::DoNotOptimize(rig.Memo->Perform(SM_FIND, 0x08 | 0x40 | 0x80, LPARAM("aaa")));
        }
        rig.Paint();
    }
}
BENCHMARK(BM_OneLineCommand)
    ->ArgsProduct({{0, 1}, {0, 3}, {0, 1, 2}})
    ->ArgNames({"20MB", "kind", "cmd"})
    ->Unit(benchmark::kMicrosecond)
    ->Iterations(100);

// The marks a lint of a long sheet lays, one every 110 characters of the 2.3 MB corpus line (about
// 21,000). range(0) 0: a keystroke at the end of the line and the paint after it; 1: the lint's
// turn, which takes its old marks away and lays them again; 2: a repaint of the whole window.
void BM_ManyMarks(benchmark::State& state) {
    TRig rig(Sheet(Small, 0, false), false);
    const int end = rig.Memo->Store().CharCount();
    TMarkList& marks = rig.Memo->LineTracker().Marks();
    auto lay = [&] {
        for (int at = 2; at + 4 < end; at += 110)
            marks.Add(TOffset(at), 4).Flags = 1;
    };
    lay();
    rig.Place(end - 1);
    bool type = true;
    for (auto _ : state) {
        if (state.range(0) == 2) {
            rig.Memo->View().InvalidateAll();
        } else if (state.range(0) == 1) {
            marks.DeleteIf([](const TMark& m) { return m.Flags == 1; });
            lay();
        } else {
            rig.TypeOrTakeBack(type);
        }
        type = !type;
        rig.Paint();
    }
    state.counters["marks"] = double(marks.Count());
}
BENCHMARK(BM_ManyMarks)->Arg(0)->Arg(1)->Arg(2)->Unit(benchmark::kMicrosecond)->Iterations(100);

// The one-line data sheet (kind 2) beside the same bytes in lines of 76: range(0) 20 MB,
// range(1) broken, range(2) where, range(3) word wrap, range(4) a paste of 300 bytes and its
// deletion instead of a keystroke.
void BM_KeystrokeMarkless(benchmark::State& state) {
    Keystrokes(state, state.range(0) != 0, 2, state.range(1) != 0, int(state.range(2)),
               state.range(3) != 0, state.range(4) != 0);
}
BENCHMARK(BM_KeystrokeMarkless)
    ->ArgsProduct({{0, 1}, {0, 1}, {0, 1, 2}, {0, 1}, {0, 1}})
    ->ArgNames({"20MB", "broken", "at", "wrap", "paste"})
    ->Unit(benchmark::kMicrosecond)
    ->Iterations(200);

// Loading a 20 MB one-line sheet: the text set, the rows laid out and the first page painted.
// range(0) the kind (0 corpus, 2 data), range(1) word wrap.
void BM_LoadOneLine(benchmark::State& state) {
    const std::string& text = Sheet(Large, int(state.range(0)), false);
    for (auto _ : state) {
        auto rig = std::make_unique<TRig>(text, state.range(1) != 0);
        state.PauseTiming();
        rig.reset();
        state.ResumeTiming();
    }
}
BENCHMARK(BM_LoadOneLine)
    ->ArgsProduct({{0, 2}, {0, 1}})
    ->ArgNames({"kind", "wrap"})
    ->Unit(benchmark::kMillisecond)
    ->Iterations(3);

// One token the whole length of a 2.3 MB line: range(0) 0 = a word of letters (a selector),
// 1 = a run of digits (a value's number), 2 = a string, 3 = a string with escaped quotes;
// range(1) 0 start, 1 middle, 2 end. A keystroke inside
// it must cost what one in a short token does.
void BM_KeystrokeOneWord(benchmark::State& state) {
    static std::map<int, std::string> made;
    std::string& text = made[int(state.range(0))];
    if (text.empty() && state.range(0) < 2) {
        text = state.range(0) == 0 ? std::string(Small, 'a')
                                   : "p{margin:" + std::string(Small, '7') + "px}";
    } else if (text.empty()) {
        // A string of 2.3 MB, as a data URL is: plain, or with an escaped quote every 100 bytes.
        std::string body;
        while (body.size() < Small)
            body += std::string(98, 'a') + (state.range(0) == 3 ? "\\\"" : "aa");
        text = "p{content:\"" + body + "\"}";
    }
    TRig rig(text, false);
    const int n = rig.Memo->Store().CharCount();
    const int at = state.range(1) == 0 ? 1 : state.range(1) == 1 ? n / 2 : n - 4;
    rig.Place(at);
    bool type = true;
    for (auto _ : state) {
        rig.TypeOrTakeBack(type, state.range(0) == 0 ? 'x' : '5');
        type = !type;
        rig.Paint();
    }
    if (rig.Memo->Store().CharCount() != n && rig.Memo->Store().CharCount() != n + 1)
        state.SkipWithError("the keystrokes did not type");
}
BENCHMARK(BM_KeystrokeOneWord)
    ->ArgsProduct({{0, 1, 2, 3}, {0, 1, 2}})
    ->ArgNames({"kind", "at"})
    ->Unit(benchmark::kMicrosecond)
    ->Iterations(200);

// Page Down through a 20 MB one-line sheet: range(0) word wrap, range(1) where the pages start
// (0 the top, 1 the middle, 2 near the end), range(2) the kind (0 corpus, 2 data). Forty pages
// from one place, then back.
void BM_PageDownOneLine(benchmark::State& state) {
    TRig rig(Sheet(Large, int(state.range(2)), false), state.range(0) != 0);
    const int rows = rig.Memo->Store().LineCount();
    const int page = ClientHeight / 17;
    const int room = 42 * page;
    const int from = state.range(1) == 0 ? 0 : state.range(1) == 1 ? rows / 2 : rows - room;
    auto goTo = [&] {
        const int at = rig.Memo->Store().PosFromLine(TRow(from)).Value();
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
    ->ArgsProduct({{0, 1}, {0, 1, 2}, {0, 2}})
    ->ArgNames({"wrap", "at", "kind"})
    ->Unit(benchmark::kMicrosecond);

} // namespace

BENCHMARK_MAIN();
