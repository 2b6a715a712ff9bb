// Regex search speed over ~100 MB of corpus CSS, beside grep -E -c on the same file.
#include "bench/BenchCorpus.h"
#include "editor/BoyerMoore.h"
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

// A pattern that used to backtrack hard over 92 KB of short runs of "a": the search now runs
// through in time linear in the text and reports no match.
void BM_RegexHardBacktracking(benchmark::State& state) {
    std::string text;
    while (text.size() < 92000)
        text += "aaaaaaaaaaaaaaaaaaaa\r";
    quillet::TREParser re;
    re.SetPattern("(a|aa)*c");
    quillet::TStringCharSource source(text);
    for (auto _ : state) {
        bool gaveUp = false;
        try {
            benchmark::DoNotOptimize(re.Search(source, 0, true));
        } catch (const quillet::ERegexError&) {
            gaveUp = true;
        }
        state.counters["gave_up"] = gaveUp ? 1 : 0;
    }
}
BENCHMARK(BM_RegexHardBacktracking)->Unit(benchmark::kMillisecond);

// One-line sheets: bootstrap.min.css as it is (232 KB) and repeated to 20 MB.
const std::string& OneLine(int which) {
    static const std::string once = [] {
        std::ifstream f(CorpusDir() + "/css/bootstrap/bootstrap.min.css", std::ios::binary);
        std::ostringstream s;
        s << f.rdbuf();
        std::string t = s.str();
        std::erase(t, '\n');
        std::erase(t, '\r');
        return t;
    }();
    static const std::string big = [] {
        std::string t;
        while (!once.empty() && t.size() < 20'000'000)
            t += once;
        return t;
    }();
    return which == 0 ? once : big;
}

const char* const HardPatterns[][2] = {{".*zzz", "zzz"}, {"(a|b)*c", "c"}, {"[^;]*;x", ";x"}};

// Every match of the pattern from the start to the end of the text, once per iteration.
int64_t CountMatches(benchmark::State& state, const char* pattern, const std::string& text) {
    quillet::TREParser re;
    re.SetPattern(pattern);
    quillet::TStringCharSource source(text);
    int64_t hits = 0;
    for (auto _ : state) {
        hits = 0;
        int64_t pos = 0;
        while (pos <= int64_t(text.size()) && re.Search(source, pos, true)) {
            ++hits;
            pos = re.MatchEnd() > re.MatchStart() ? re.MatchEnd() : re.MatchStart() + 1;
        }
    }
    return hits;
}

// Every match of the pattern, from the start to the end of the line.
void BM_RegexOneLine(benchmark::State& state) {
    const std::string& text = OneLine(int(state.range(1)));
    const auto& p = HardPatterns[state.range(0)];
    state.SetLabel(std::string(p[0]) + (state.range(1) ? " 20 MB" : " bootstrap.min"));
    state.counters["hits"] = double(CountMatches(state, p[0], text));
    state.SetBytesProcessed(int64_t(state.iterations()) * int64_t(text.size()));
}
BENCHMARK(BM_RegexOneLine)
    ->ArgsProduct({{0, 1, 2}, {0, 1}})
    ->Unit(benchmark::kMillisecond)
    ->MinTime(0.2);

// The plain search for the literal each of those patterns needs, every hit.
void BM_PlainOneLine(benchmark::State& state) {
    const std::string& text = OneLine(int(state.range(1)));
    const auto& p = HardPatterns[state.range(0)];
    state.SetLabel(std::string(p[1]) + (state.range(1) ? " 20 MB" : " bootstrap.min"));
    quillet::TBMSearch bm;
    quillet::TStringCharSource source(text);
    int64_t hits = 0;
    const int64_t step = int64_t(std::string_view(p[1]).size());
    for (auto _ : state) {
        hits = 0;
        for (int64_t pos = 0; (pos = bm.Find(source, p[1], pos, true, true)) >= 0; pos += step)
            ++hits;
    }
    state.counters["hits"] = double(hits);
    state.SetBytesProcessed(int64_t(state.iterations()) * int64_t(text.size()));
}
BENCHMARK(BM_PlainOneLine)
    ->ArgsProduct({{0, 1, 2}, {0, 1}})
    ->Unit(benchmark::kMillisecond)
    ->MinTime(0.2);

// The same patterns over the 100 MB of corpus CSS, beside grep -E -c.
void BM_RegexBigCorpus(benchmark::State& state) {
    const std::string& text = BigText();
    const auto& p = HardPatterns[state.range(0)];
    state.SetLabel(p[0]);
    state.counters["hits"] = double(CountMatches(state, p[0], text));
    state.SetBytesProcessed(int64_t(state.iterations()) * int64_t(text.size()));
}
BENCHMARK(BM_RegexBigCorpus)->DenseRange(0, 2)->Unit(benchmark::kMillisecond)->Iterations(1);

void BM_GrepBigCorpus(benchmark::State& state) {
    std::string file =
        (std::filesystem::temp_directory_path() / "quillet-bench-regex-hard.css").string();
    {
        std::string text = BigText();
        for (char& c : text)
            if (c == '\r') c = '\n';
        std::ofstream(file, std::ios::binary) << text;
    }
    const char* pattern = HardPatterns[state.range(0)][0];
    state.SetLabel(pattern);
    std::string cmd = std::string("grep -E -c '") + pattern + "' " + file;
    for (auto _ : state)
        state.counters["lines"] = std::atof(CommandFirstLine(cmd).c_str());
    state.SetBytesProcessed(int64_t(state.iterations()) * int64_t(BigText().size()));
    std::filesystem::remove(file);
}
BENCHMARK(BM_GrepBigCorpus)
    ->DenseRange(0, 2)
    ->Unit(benchmark::kMillisecond)
    ->Iterations(1)
    ->UseRealTime();

} // namespace

BENCHMARK_MAIN();
