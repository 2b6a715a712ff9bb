// Painting speed on the Qt canvas: a 1,200 x 900 editor showing a real style sheet, set up as
// the main window sets up its editor (shipped CSS definition, fonts, gutter with line numbers).
#include "app/MainForm.h"
#include "bench/BenchCorpus.h"
#include "editor/CodeMemo.h"
#include "editor/CodeMemoView.h"
#include "highlight/ShippedDefinition.h"
#include "platform/qt/QtPlatform.h"
#include "widgets/CodeMemoWidget.h"

#include <QApplication>
#include <benchmark/benchmark.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <memory>
#include <sstream>
#include <string>

using namespace quillet;

namespace {

constexpr int ClientWidth = 1200;
constexpr int ClientHeight = 900;

const std::string& Sheet() {
    static const std::string text = [] {
        std::ifstream in(BenchCorpusRoot() / "css" / "bulma" / "bulma.css", std::ios::binary);
        std::stringstream ss;
        ss << in.rdbuf();
        std::string t = ss.str();
        return t.empty() ? std::string(".a { color: red; margin: 0 auto; }\n") : t;
    }();
    return text;
}

// The editor widget, shown off screen, with a client area of exactly 1,200 x 900 pixels.
struct TQtPaintRig {
    TCodeMemoParser Css;
    std::unique_ptr<TCodeMemoWidget> Widget;

    TQtPaintRig() {
        LoadShippedDefinition(Css, "css");
        Css.UseRegistry = false;
        Widget = std::make_unique<TCodeMemoWidget>();
        TCodeMemo& memo = Widget->Memo();
        TMainForm::ConfigureEditor(memo, Css);
        memo.SetOptions(memo.Options() | smoSyntaxHighlight | smoShowGutter | smoLineNumbers);
        memo.SetText(Sheet());
        Widget->resize(ClientWidth, ClientHeight);
        Widget->show();
        QApplication::processEvents();
        // The frame and the scroll bars take their share: grow until the client is right.
        for (int i = 0; i < 4; ++i) {
            TSize c = Widget->ClientSize();
            if (c.Width == ClientWidth && c.Height == ClientHeight) break;
            Widget->resize(Widget->width() + ClientWidth - c.Width,
                           Widget->height() + ClientHeight - c.Height);
            QApplication::processEvents();
        }
        int middle = memo.Store().LineCount() / 2;
        memo.Perform(SM_TOPLINE, smSET, middle);
        memo.Perform(WM_PAINT, 0, 0);
        QApplication::processEvents();
    }
    ~TQtPaintRig() {
        Widget->Memo().SetParser(1, nullptr);
        Widget.reset();
    }
    bool SizeRight(benchmark::State& state) const {
        TSize c = Widget->ClientSize();
        if (c.Width == ClientWidth && c.Height == ClientHeight) return true;
        state.SkipWithError("the client area could not be sized to 1200 x 900");
        return false;
    }
};

// Every row of the window redrawn into the back buffer: what a scroll or an expose costs.
void BM_QtPaintFullScreen(benchmark::State& state) {
    TQtPaintRig rig;
    if (!rig.SizeRight(state)) return;
    TCodeMemo& memo = rig.Widget->Memo();
    for (auto _ : state) {
        memo.View().InvalidateAll();
        memo.Perform(WM_PAINT, 0, 0);
    }
    state.counters["rows"] = double(ClientHeight / memo.View().Metrics().LineHeight + 1);
}
BENCHMARK(BM_QtPaintFullScreen)->Unit(benchmark::kMillisecond);

// The same with the main window's colour swatches: each row's colours found and drawn.
void BM_QtPaintFullScreenSwatches(benchmark::State& state) {
    TQtPaintRig rig;
    if (!rig.SizeRight(state)) return;
    TCodeMemo& memo = rig.Widget->Memo();
    TMainForm::ShowColorSwatches(memo);
    for (auto _ : state) {
        memo.View().InvalidateAll();
        memo.Perform(WM_PAINT, 0, 0);
    }
}
BENCHMARK(BM_QtPaintFullScreenSwatches)->Unit(benchmark::kMillisecond);

// The same through Qt's paint event: the control's paint plus the copy of the back buffer to
// the window.
void BM_QtRepaintWindow(benchmark::State& state) {
    TQtPaintRig rig;
    if (!rig.SizeRight(state)) return;
    TCodeMemo& memo = rig.Widget->Memo();
    for (auto _ : state) {
        memo.View().InvalidateAll();
        rig.Widget->viewport()->repaint();
    }
}
BENCHMARK(BM_QtRepaintWindow)->Unit(benchmark::kMillisecond);

} // namespace

int main(int argc, char** argv) {
    setenv("QT_QPA_PLATFORM", "offscreen", 0);
    QApplication app(argc, argv);
    InstallQtPlatform();
    benchmark::Initialize(&argc, argv);
    if (benchmark::ReportUnrecognizedArguments(argc, argv)) return 1;
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    return 0;
}
