// Loading a large style sheet into the control, and one typed character in a long document.
#include "BenchCorpus.h"
#include "editor/CodeMemo.h"

#include <benchmark/benchmark.h>

#include <fstream>
#include <sstream>
#include <string>
#include <sys/resource.h>

using namespace quillet;

namespace {
// About 100 MB of real CSS, the corpus repeated; built once into /tmp.
const std::string& BigCssFile() {
    static const std::string path = [] {
        std::string sample;
        for (const auto& entry :
             std::filesystem::recursive_directory_iterator(BenchCorpusRoot() / "css")) {
            if (!entry.is_regular_file() || entry.path().extension() != ".css") continue;
            std::ifstream f(entry.path(), std::ios::binary);
            std::ostringstream s;
            s << f.rdbuf();
            sample += s.str();
            sample += "\n";
        }
        if (sample.empty()) sample = "body {\n  color: #333;\n  margin: 0 auto;\n}\n";
        std::string file = "/tmp/quillet-bench-100mb.css";
        const size_t target = 100u * 1024 * 1024;
        // The same corpus gives the same file: keep one made before (it is 100 MB to write).
        const size_t want = (target + sample.size() - 1) / sample.size() * sample.size();
        std::error_code ec;
        if (std::filesystem::file_size(file, ec) == want && !ec) return file;
        std::ofstream out(file, std::ios::binary | std::ios::trunc);
        for (size_t written = 0; written < target; written += sample.size())
            out << sample;
        return file;
    }();
    return path;
}

long PeakRssBytes() {
    rusage usage{};
    getrusage(RUSAGE_SELF, &usage);
    return usage.ru_maxrss * 1024L;
}
} // namespace

static void BM_LoadLargeFile(benchmark::State& state) {
    const std::string& file = BigCssFile();
    double size = double(std::filesystem::file_size(file));
    int lines = 0;
    for (auto _ : state) {
        TCodeMemo memo;
        memo.LoadFromFile(file);
        lines = memo.Store().LineCount();
        benchmark::DoNotOptimize(lines);
    }
    state.counters["lines"] = lines;
    state.counters["file_MB"] = size / 1e6;
    state.counters["peak_rss_x_file"] = double(PeakRssBytes()) / size;
}
BENCHMARK(BM_LoadLargeFile)->Unit(benchmark::kMillisecond)->Iterations(1);

static void BM_TypeMidDocument(benchmark::State& state) {
    TCodeMemo memo;
    std::string text;
    int lines = int(state.range(0));
    text.reserve(size_t(lines) * 30);
    for (int i = 0; i < lines; ++i)
        text += "  color: #" + std::to_string(100000 + i % 900000) + ";\n";
    memo.SetText(text);
    memo.SetSelStart(memo.TextLength() / 2);
    for (auto _ : state) {
        memo.Perform(WM_CHAR, 'x', 0);
        state.PauseTiming();
        if (memo.Store().CharCount() > int(text.size()) + 100000)
            memo.Perform(EM_EMPTYUNDOBUFFER, 0, 0);
        state.ResumeTiming();
    }
}
BENCHMARK(BM_TypeMidDocument)->Arg(1000)->Arg(1000000);
BENCHMARK_MAIN();
