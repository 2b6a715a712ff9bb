// Painting speed on the headless canvas: a full screen of a real style sheet, one dirty line,
// a keystroke in a wrapped minified sheet, and re-cutting a whole sheet when wrap is switched.
#include "bench/BenchCorpus.h"
#include "bench/BenchFonts.h"
#include "css/Colors.h"
#include "editor/CodeMemo.h"
#include "editor/CodeMemoView.h"
#include "highlight/CodeMemoParser.h"
#include "highlight/ShippedDefinition.h"
#include "platform/Platform.h"
#include "platform/headless/HeadlessFonts.h"
#include "platform/headless/HeadlessWindowHost.h"
#include "tests/highlight/SampleCssDefinition.h"

#include <benchmark/benchmark.h>

#include <filesystem>
#include <fstream>
#include <memory>
#include <sstream>
#include <string>

using namespace quillet;

namespace {

std::string ReadCorpus(const char* relative, const char* fallback) {
    std::filesystem::path p = BenchCorpusRoot() / "css" / relative;
    std::ifstream in(p, std::ios::binary);
    std::stringstream ss;
    ss << in.rdbuf();
    std::string text = ss.str();
    return text.empty() ? std::string(fallback) : text;
}

const std::string& Sheet() {
    static const std::string text = ReadCorpus(
        "bulma/bulma.css", ".a { color: red; margin: 0 auto; }\n.b:hover { padding: 1px 2px; }\n");
    return text;
}

const std::string& Minified() {
    static const std::string text =
        ReadCorpus("bulma/bulma.min.css", ".a{color:red;margin:0 auto}.b:hover{padding:1px}");
    return text;
}

// A control on a headless window (1024 x 768 unless told) with the CSS definition,
// highlighting on: the hand-built sample definition, or the one the program ships.
struct TPaintRig {
    THeadlessWindowHost Host;
    TCodeMemoParser Css;
    std::unique_ptr<TCodeMemo> Memo;

    explicit TPaintRig(const std::string& text, bool wrap = false, int width = 1024,
                       int height = 768, bool shipped = false)
        : Host(width, height) {
        UseFixedBenchFonts();
        if (shipped) {
            LoadShippedDefinition(Css, "css");
            Css.UseRegistry = false;
        } else {
            testdef::BuildCss(Css);
        }
        Memo = std::make_unique<TCodeMemo>(&Host);
        Memo->SetParser(1, &Css);
        Memo->SetActiveParser(1);
        Memo->SetOptions(Memo->Options() | smoLineNumbers);
        if (wrap) Memo->SetWordWrap(true);
        Memo->SetText(text);
        Memo->Perform(WM_PAINT, 0, 0);
    }
    ~TPaintRig() {
        Memo->SetParser(1, nullptr);
        Memo.reset();
    }
    void ScrollToMiddle() {
        int middle = Memo->Store().LineCount() / 2;
        Memo->Perform(WM_VSCROLL, SB_THUMBPOSITION | (middle << 16), 0);
        Memo->Perform(WM_PAINT, 0, 0);
    }
};

// Every visible row of the middle of a real sheet, highlighted, gutter numbers and all.
void BM_PaintFullScreen(benchmark::State& state) {
    TPaintRig rig(Sheet());
    rig.ScrollToMiddle();
    for (auto _ : state) {
        rig.Memo->View().InvalidateAll();
        rig.Memo->Perform(WM_PAINT, 0, 0);
    }
    state.SetItemsProcessed(state.iterations() * (768 / 17 + 1));
}
BENCHMARK(BM_PaintFullScreen)->Unit(benchmark::kMicrosecond);

// The same on a 1,200 x 900 window with the shipped CSS definition and its styles, as the
// Qt figure of bench_QtPaint is taken; the canvas's log of text runs is emptied each time.
void BM_PaintFullScreen1200x900(benchmark::State& state) {
    TPaintRig rig(Sheet(), false, 1200, 900, true);
    rig.Memo->SetOptions(rig.Memo->Options() | smoSyntaxHighlight | smoShowGutter);
    rig.ScrollToMiddle();
    for (auto _ : state) {
        rig.Host.HeadlessCanvas().ClearLog();
        rig.Memo->View().InvalidateAll();
        rig.Memo->Perform(WM_PAINT, 0, 0);
    }
    state.counters["rows"] = double(900 / rig.Memo->View().Metrics().LineHeight + 1);
}
BENCHMARK(BM_PaintFullScreen1200x900)->Unit(benchmark::kMicrosecond);

// The same with colour swatches before every colour of the style sheet.
void BM_PaintFullScreen1200x900Swatches(benchmark::State& state) {
    TPaintRig rig(Sheet(), false, 1200, 900, true);
    rig.Memo->SetOptions(rig.Memo->Options() | smoSyntaxHighlight | smoShowGutter);
    rig.Memo->OnRowSwatches = [](TCustomCodeMemo&, std::string_view row, std::vector<TSwatch>& out) {
        for (const css::TColorLiteral& c : css::FindColors(row))
            out.push_back({c.Start, c.Length, TColor(c.Rgb)});
    };
    rig.ScrollToMiddle();
    for (auto _ : state) {
        rig.Host.HeadlessCanvas().ClearLog();
        rig.Memo->View().InvalidateAll();
        rig.Memo->Perform(WM_PAINT, 0, 0);
    }
}
BENCHMARK(BM_PaintFullScreen1200x900Swatches)->Unit(benchmark::kMicrosecond);

// Types a character at `at` and takes it back again, painting after each edit.
void TypeAndTakeBack(TPaintRig& rig, int at, benchmark::State& state) {
    bool insert = true;
    for (auto _ : state) {
        rig.Memo->Perform(EM_SETSEL, at, insert ? at : at + 1);
        rig.Memo->SetSelText(insert ? "x" : "");
        rig.Memo->Perform(WM_PAINT, 0, 0);
        insert = !insert;
    }
}

// One typed character in the middle of the screen: the edit, its re-scan and one row painted.
void BM_PaintOneDirtyLine(benchmark::State& state) {
    TPaintRig rig(Sheet());
    rig.ScrollToMiddle();
    TTextStore& st = rig.Memo->Store();
    const TRow row(rig.Memo->TopLine() + 20);
    const int at = (st.PosFromLine(row) + 1).Value();
    TypeAndTakeBack(rig, at, state);
}
BENCHMARK(BM_PaintOneDirtyLine)->Unit(benchmark::kMicrosecond);

// A keystroke in a minified sheet (one long logical line) under word wrap: its rows re-cut.
void BM_TypeInWrappedMinifiedSheet(benchmark::State& state) {
    TPaintRig rig(Minified(), true);
    int at = rig.Memo->TextLength() / 2;
    rig.Memo->Perform(EM_SETSEL, at, at);
    rig.Memo->Perform(WM_PAINT, 0, 0);
    TypeAndTakeBack(rig, at, state);
    state.counters["rows"] = double(rig.Memo->Store().LineCount());
    state.counters["bytes"] = double(Minified().size());
}
BENCHMARK(BM_TypeInWrappedMinifiedSheet)->Unit(benchmark::kMicrosecond);

// Word wrap switched on and off over a whole sheet: every logical line cut and joined again.
void BM_RewrapWholeSheet(benchmark::State& state) {
    TPaintRig rig(Sheet());
    bool on = true;
    for (auto _ : state) {
        rig.Memo->SetWordWrap(on);
        on = !on;
    }
    state.SetBytesProcessed(state.iterations() * int64_t(Sheet().size()));
}
BENCHMARK(BM_RewrapWholeSheet)->Unit(benchmark::kMillisecond);

} // namespace

BENCHMARK_MAIN();
