// Where the benchmarks find the CSS corpus: $QUILLET_CORPUS, else the shared folder beside the checkout.
#pragma once

#include <cstdlib>
#include <filesystem>

inline std::filesystem::path BenchCorpusRoot() {
    if (const char* env = std::getenv("QUILLET_CORPUS"))
        return env;
    if (std::filesystem::exists(QUILLET_CORPUS))
        return QUILLET_CORPUS;
    return "/work/shared/corpus";
}
