// Runs fuzz inputs through the targets' entry points in the normal build: `fuzz_replay NAME
// PATH...` feeds every file under each PATH to target NAME, so an input that once failed (or
// grew the corpus) is a test of every build. A fault stops the program as it stops the fuzzer.
#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <iostream>
#include <iterator>
#include <string>
#include <vector>

#define QUILLET_FUZZ_TARGET(name) extern "C" int FuzzEntry_##name(const uint8_t*, size_t);
#include "FuzzTargets.inc"
#undef QUILLET_FUZZ_TARGET

namespace {

struct TTarget {
    const char* Name;
    int (*Entry)(const uint8_t*, size_t);
};

const TTarget Targets[] = {
#define QUILLET_FUZZ_TARGET(name) {#name, FuzzEntry_##name},
#include "FuzzTargets.inc"
#undef QUILLET_FUZZ_TARGET
};

} // namespace

int main(int argc, char** argv) {
    if (argc < 2) {
        std::cerr << "usage: fuzz_replay NAME PATH...\n";
        return 2;
    }
    const TTarget* target = nullptr;
    for (const TTarget& t : Targets)
        if (std::strcmp(t.Name, argv[1]) == 0) target = &t;
    if (!target) {
        std::cerr << "fuzz_replay: no target " << argv[1] << "\n";
        return 2;
    }
    std::vector<std::filesystem::path> files;
    for (int i = 2; i < argc; ++i) {
        const std::filesystem::path path(argv[i]);
        if (std::filesystem::is_directory(path)) {
            for (const auto& e : std::filesystem::recursive_directory_iterator(path))
                if (e.is_regular_file()) files.push_back(e.path());
        } else if (std::filesystem::is_regular_file(path)) {
            files.push_back(path);
        }
    }
    std::sort(files.begin(), files.end());
    for (const auto& file : files) {
        std::ifstream in(file, std::ios::binary);
        std::vector<char> bytes((std::istreambuf_iterator<char>(in)), {});
        // A copy of exactly the input's size, so a read past its end is a read past the block.
        std::vector<uint8_t> input(bytes.begin(), bytes.end());
        std::cout << file.string() << std::endl;
        target->Entry(input.data(), input.size());
    }
    std::cout << files.size() << " inputs\n";
    return 0;
}
