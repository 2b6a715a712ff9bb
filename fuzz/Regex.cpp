// Fuzzes the regex compiler and matcher: the first line is the pattern, the rest the text.
#include "highlight/REParser.h"

#include <cstddef>
#include <cstdint>
#include <string_view>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    std::string_view all(reinterpret_cast<const char*>(data), size);
    size_t cut = all.find('\n');
    std::string_view pattern = all.substr(0, cut);
    std::string_view text =
        cut == std::string_view::npos ? std::string_view() : all.substr(cut + 1);
    quillet::TREParser re;
    re.SetStepBudget(20000);
    if (!re.SetPattern(pattern)) return 0;
    quillet::TStringCharSource source(text);
    for (bool forward : {true, false}) {
        try {
            if (re.Search(source, forward ? 0 : static_cast<int64_t>(text.size()), forward)) {
                if (re.MatchStart() < 0 || re.MatchEnd() < re.MatchStart() ||
                    re.MatchEnd() > static_cast<int64_t>(text.size()))
                    __builtin_trap();
                for (int n = 1; n <= quillet::TREParser::MaxGroups; ++n)
                    re.GroupStart(n);
            }
        } catch (const quillet::ERegexError&) {
        }
    }
    return 0;
}
