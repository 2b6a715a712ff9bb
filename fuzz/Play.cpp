// Fuzzes the play interpreter in-process on a headless control: the first byte picks the
// language and the window size, the rest is the script. Lines that would reach the file system
// are left out, and the script is cut short so that one input stays fast.
#include "cli/Tool.h"

#include <cctype>
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <sstream>
#include <string>
#include <string_view>
#include <vector>

namespace {

constexpr size_t MaxLines = 48;
constexpr size_t MaxLineLength = 400;
constexpr long long MaxNumber = 10000;

std::string Lower(std::string_view s) {
    std::string out(s);
    for (char& c : out)
        c = char(std::tolower(static_cast<unsigned char>(c)));
    return out;
}

std::vector<std::string> Words(std::string_view line) {
    std::vector<std::string> words;
    std::istringstream in{std::string(line)};
    for (std::string w; in >> w;)
        words.push_back(w);
    return words;
}

// Large numbers only make a step slow (documents of millions of copies, drags that pump for
// long), and files are left alone. Properties and messages take any number: the ends of int
// are where their sums of position and count wrap round.
bool Keep(std::string_view line) {
    if (line.size() > MaxLineLength) return false;
    std::vector<std::string> w = Words(line);
    if (w.empty()) return true;
    const std::string action = Lower(w[0]);
    if (action == "load" || action == "save") return false;
    if (action == "type" || action == "clip" || action == "set" || action == "get" ||
        action == "msg")
        return true;
    for (size_t i = 1; i < w.size(); ++i) {
        char* end = nullptr;
        long long v = std::strtoll(w[i].c_str(), &end, 0);
        if (end != w[i].c_str() && (v > MaxNumber || v < -MaxNumber)) return false;
    }
    return true;
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    if (size < 1) return 0;
    static const char* const langs[] = {"none", "css", "html", "none"};
    const std::vector<std::string> args = {"play",
                                           "--lang",
                                           langs[data[0] & 3],
                                           "--size",
                                           std::to_string(100 + ((data[0] >> 2) & 7) * 60),
                                           std::to_string(60 + (data[0] >> 5) * 40)};
    std::string_view all(reinterpret_cast<const char*>(data + 1), size - 1);
    std::string script;
    size_t lines = 0;
    while (!all.empty() && lines < MaxLines) {
        size_t cut = all.find('\n');
        std::string_view line = all.substr(0, cut);
        all = cut == std::string_view::npos ? std::string_view() : all.substr(cut + 1);
        if (!Keep(line)) continue;
        script.append(line).push_back('\n');
        ++lines;
    }
    std::istringstream in(script);
    std::ostringstream out, err;
    quillet::cli::RunTool(args, in, out, err);
    // Each action reports its own errors on the output; anything on the error stream escaped one.
    if (!err.str().empty()) __builtin_trap();
    return 0;
}
