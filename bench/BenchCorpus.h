// Where the benchmarks find the CSS corpus: $QUILLET_CORPUS, else the shared folder beside the
// checkout.
#pragma once

#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <string>

inline std::filesystem::path BenchCorpusRoot() {
    if (const char* env = std::getenv("QUILLET_CORPUS")) return env;
    if (std::filesystem::exists(QUILLET_CORPUS)) return QUILLET_CORPUS;
    return "/work/shared/corpus";
}

// The first line a shell command prints (the comparison runs of grep and gzip).
inline std::string CommandFirstLine(const std::string& command) {
    char buf[256] = {};
    if (FILE* p = popen(command.c_str(), "r")) {
        if (!std::fgets(buf, sizeof buf, p)) buf[0] = 0;
        pclose(p);
    }
    return buf;
}

// `.cN{color:#xxxxxx;margin:Npx}` rules appended to `text` until it holds `bytes`: a one-line
// sheet of short tokens, the same on every run.
inline void AppendGeneratedRules(std::string& text, size_t bytes) {
    char buf[64];
    for (unsigned n = 0; text.size() < bytes; ++n) {
        std::snprintf(buf, sizeof buf, ".c%u{color:#%06x;margin:%upx}", n,
                      (n * 2654435761u) & 0xFFFFFF, n % 97);
        text += buf;
    }
}
