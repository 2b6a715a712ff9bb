// KH and LZH throughput on the concatenated corpus CSS; ratios beside gzip -6 in the counters.
#include "highlight/Compressor.h"
#include "bench/BenchCorpus.h"

#include <benchmark/benchmark.h>

#include <algorithm>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <string>
#include <vector>

namespace {

using namespace quillet;

const std::vector<uint8_t>& Corpus() {
    static const std::vector<uint8_t> bytes = [] {
        std::vector<std::filesystem::path> files;
        const auto root = BenchCorpusRoot() / "css";
        if (std::filesystem::exists(root))
            for (auto& e : std::filesystem::recursive_directory_iterator(root))
                if (e.is_regular_file() && e.path().extension() == ".css")
                    files.push_back(e.path());
        std::sort(files.begin(), files.end());
        std::vector<uint8_t> all;
        for (auto& f : files) {
            std::ifstream in(f, std::ios::binary);
            all.insert(all.end(), std::istreambuf_iterator<char>(in), {});
        }
        return all;
    }();
    return bytes;
}

std::vector<uint8_t> Pack(const std::vector<uint8_t>& data, TCompressMethod m) {
    TReadOnlyMemoryStream in(data.data(), int64_t(data.size()));
    TMemoryStream out;
    out.Bytes().reserve(data.size());
    TCompressor c;
    c.SetMethod(m);
    c.SetInputStream(&in);
    c.SetOutputStream(&out);
    c.Compress();
    return std::move(out.Bytes());
}

// gzip -6 of the same bytes, measured once through a pipe.
double GzipRatio() {
    static const double ratio = [] {
        const auto& data = Corpus();
        const std::string path =
            (std::filesystem::temp_directory_path() / "quillet-bench-corpus.css").string();
        std::ofstream(path, std::ios::binary)
            .write(reinterpret_cast<const char*>(data.data()), std::streamsize(data.size()));
        const long n = std::atol(CommandFirstLine("gzip -6 -c '" + path + "' | wc -c").c_str());
        std::filesystem::remove(path);
        return data.empty() || n <= 0 ? 0.0 : double(n) / double(data.size());
    }();
    return ratio;
}

void Compress(benchmark::State& state, TCompressMethod m) {
    const auto& data = Corpus();
    if (data.empty()) {
        state.SkipWithError("no corpus");
        return;
    }
    size_t packed = 0;
    for (auto _ : state)
        packed = Pack(data, m).size();
    state.SetBytesProcessed(int64_t(state.iterations() * data.size()));
    state.counters["ratio"] = double(packed) / double(data.size());
    state.counters["gzip6_ratio"] = GzipRatio();
}

void Decompress(benchmark::State& state, TCompressMethod m) {
    const auto& data = Corpus();
    if (data.empty()) {
        state.SkipWithError("no corpus");
        return;
    }
    const auto packed = Pack(data, m);
    TMemoryStream out;
    out.Bytes().reserve(data.size());
    for (auto _ : state) {
        TReadOnlyMemoryStream in(packed.data(), int64_t(packed.size()));
        out.SetSize(0);
        out.SetPosition(0);
        TCompressor c;
        c.SetInputStream(&in);
        c.SetOutputStream(&out);
        benchmark::DoNotOptimize(c.Decompress());
    }
    state.SetBytesProcessed(int64_t(state.iterations() * data.size()));
}

BENCHMARK_CAPTURE(Compress, KH, cmKH)->Unit(benchmark::kMillisecond);
BENCHMARK_CAPTURE(Decompress, KH, cmKH)->Unit(benchmark::kMillisecond);
BENCHMARK_CAPTURE(Compress, LZH, cmLZH)->Unit(benchmark::kMillisecond);
BENCHMARK_CAPTURE(Decompress, LZH, cmLZH)->Unit(benchmark::kMillisecond);

} // namespace

BENCHMARK_MAIN();
