// Regex search speed over ~100 MB of corpus CSS, beside grep -E -c on the same file.
#include "bench/BenchCorpus.h"
#include "highlight/REParser.h"

#include <benchmark/benchmark.h>

#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <string>

namespace {

std::string CorpusDir() {
    return BenchCorpusRoot().string();
}

// The corpus CSS repeated to about 100 MB, line ends turned into CR as the editor stores them.
const std::string& BigText() {
    static const std::string text = [] {
        std::string once;
        for (const auto& e : std::filesystem::recursive_directory_iterator(CorpusDir() + "/css")) {
            if (!e.is_regular_file() || e.path().extension() != ".css") continue;
            std::ifstream f(e.path(), std::ios::binary);
            std::ostringstream s;
            s << f.rdbuf();
            once += s.str();
        }
        for (char& c : once)
            if (c == '\n') c = '\r';
        std::string all;
        if (once.empty()) return all;
        while (all.size() < 100u << 20)
            all += once;
        return all;
    }();
    return text;
}

const char* const Pattern = "#[0-9a-fA-F]{6}";

void BM_RegexHexColours(benchmark::State& state) {
    const std::string& text = BigText();
    quillet::TREParser re;
    re.SetPattern(Pattern);
    quillet::TStringCharSource source(text);
    int64_t hits = 0;
    for (auto _ : state) {
        hits = 0;
        int64_t pos = 0;
        while (re.Search(source, pos, true)) {
            ++hits;
            pos = re.MatchEnd() > re.MatchStart() ? re.MatchEnd() : re.MatchStart() + 1;
        }
    }
    state.counters["hits"] = static_cast<double>(hits);
    state.SetBytesProcessed(static_cast<int64_t>(state.iterations()) *
                            static_cast<int64_t>(text.size()));
}
BENCHMARK(BM_RegexHexColours)->Unit(benchmark::kMillisecond)->Iterations(2);

// grep counts lines, so it gets the text with LF line ends.
void BM_GrepHexColours(benchmark::State& state) {
    std::string file =
        (std::filesystem::temp_directory_path() / "quillet-bench-regex.css").string();
    {
        std::string text = BigText();
        for (char& c : text)
            if (c == '\r') c = '\n';
        std::ofstream(file, std::ios::binary) << text;
    }
    std::string cmd = std::string("grep -E -c '") + Pattern + "' " + file;
    for (auto _ : state) {
        state.counters["lines"] = std::atof(CommandFirstLine(cmd).c_str());
    }
    state.SetBytesProcessed(static_cast<int64_t>(state.iterations()) *
                            static_cast<int64_t>(BigText().size()));
    std::filesystem::remove(file);
}
BENCHMARK(BM_GrepHexColours)->Unit(benchmark::kMillisecond)->Iterations(2)->UseRealTime();

// A pattern that backtracks hard over 92 KB of short runs of "a": the search gives up as too
// complex once for the whole text (before, each start position had a budget of its own and
// the search ran for minutes).
void BM_RegexHardBacktrackingGivesUp(benchmark::State& state) {
    std::string text;
    while (text.size() < 92000)
        text += "aaaaaaaaaaaaaaaaaaaa\r";
    quillet::TREParser re;
    re.SetPattern("(a|aa)*c");
    quillet::TStringCharSource source(text);
    for (auto _ : state) {
        bool gaveUp = false;
        try {
            re.Search(source, 0, true);
        } catch (const quillet::ERegexError&) {
            gaveUp = true;
        }
        state.counters["gave_up"] = gaveUp ? 1 : 0;
    }
}
BENCHMARK(BM_RegexHardBacktrackingGivesUp)->Unit(benchmark::kMillisecond);

} // namespace

BENCHMARK_MAIN();
