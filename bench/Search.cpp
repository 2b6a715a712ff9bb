// Text search through ~100 MB of corpus CSS held in the line store, beside grep on the
// same file: plain forward, case-folded, and the hex-colour regular expression.
#include "bench/BenchCorpus.h"
#include "editor/BoyerMoore.h"
#include "editor/SearchSource.h"
#include "editor/TextStore.h"
#include "highlight/REParser.h"

#include <benchmark/benchmark.h>

#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <string>

namespace {

const char* const Word = "border";
const char* const HexColour = "#[0-9a-fA-F]{6}";

// The corpus CSS repeated to about 100 MB.
const std::string& BigText() {
    static const std::string text = [] {
        std::string once;
        for (const auto& e :
             std::filesystem::recursive_directory_iterator(BenchCorpusRoot() / "css")) {
            if (!e.is_regular_file() || e.path().extension() != ".css") continue;
            std::ifstream f(e.path(), std::ios::binary);
            std::ostringstream s;
            s << f.rdbuf();
            once += s.str();
            if (!once.empty() && once.back() != '\n') once += '\n';
        }
        std::string all;
        if (once.empty()) return all;
        while (all.size() < 100u << 20)
            all += once;
        return all;
    }();
    return text;
}

const quillet::TTextStore& BigStore() {
    static const quillet::TTextStore* store = [] {
        static quillet::TTextStore s;
        s.Insert(quillet::TOffset(0), BigText());
        return &s;
    }();
    return *store;
}

// The same text as a file, LF line ends, for grep.
const std::string& BigFile() {
    static const std::string path = [] {
        std::string p =
            (std::filesystem::temp_directory_path() / "quillet-bench-search.css").string();
        std::ofstream(p, std::ios::binary) << BigText();
        return p;
    }();
    return path;
}

void Plain(benchmark::State& state, bool matchCase) {
    const quillet::TTextStore& store = BigStore();
    quillet::TStoreCharSource source(store);
    quillet::TBMSearch bm;
    int64_t hits = 0;
    for (auto _ : state) {
        hits = 0;
        for (int64_t pos = 0;; ++pos) {
            pos = bm.Find(source, Word, pos, true, matchCase);
            if (pos < 0) break;
            ++hits;
        }
    }
    state.counters["hits"] = static_cast<double>(hits);
    state.SetBytesProcessed(static_cast<int64_t>(state.iterations()) * store.CharCount());
}

void BM_StorePlain(benchmark::State& state) {
    Plain(state, true);
}
BENCHMARK(BM_StorePlain)->Unit(benchmark::kMillisecond)->Iterations(3);

void BM_StoreFolded(benchmark::State& state) {
    Plain(state, false);
}
BENCHMARK(BM_StoreFolded)->Unit(benchmark::kMillisecond)->Iterations(3);

void BM_StoreRegexHexColour(benchmark::State& state) {
    const quillet::TTextStore& store = BigStore();
    quillet::TStoreCharSource source(store);
    quillet::TREParser re;
    re.SetPattern(HexColour);
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
    state.SetBytesProcessed(static_cast<int64_t>(state.iterations()) * store.CharCount());
}
BENCHMARK(BM_StoreRegexHexColour)->Unit(benchmark::kMillisecond)->Iterations(2);

void Grep(benchmark::State& state, const std::string& options, const char* pattern) {
    const std::string& file = BigFile();
    std::string cmd = "grep " + options + " -c '" + pattern + "' " + file;
    for (auto _ : state) {
        state.counters["lines"] = std::atof(CommandFirstLine(cmd).c_str());
    }
    state.SetBytesProcessed(static_cast<int64_t>(state.iterations()) *
                            static_cast<int64_t>(BigText().size()));
}

void BM_GrepPlain(benchmark::State& state) {
    Grep(state, "-F", Word);
}
BENCHMARK(BM_GrepPlain)->Unit(benchmark::kMillisecond)->Iterations(3)->UseRealTime();

void BM_GrepFolded(benchmark::State& state) {
    Grep(state, "-F -i", Word);
}
BENCHMARK(BM_GrepFolded)->Unit(benchmark::kMillisecond)->Iterations(3)->UseRealTime();

void BM_GrepRegexHexColour(benchmark::State& state) {
    Grep(state, "-E", HexColour);
}
BENCHMARK(BM_GrepRegexHexColour)->Unit(benchmark::kMillisecond)->Iterations(2)->UseRealTime();

} // namespace

int main(int argc, char** argv) {
    benchmark::Initialize(&argc, argv);
    if (BigText().empty()) {
        std::fprintf(stderr, "no CSS corpus under %s\n", BenchCorpusRoot().c_str());
        return 1;
    }
    benchmark::RunSpecifiedBenchmarks();
    std::filesystem::remove(BigFile());
    benchmark::Shutdown();
    return 0;
}
