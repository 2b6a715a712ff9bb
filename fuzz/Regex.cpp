// Fuzzes the regex compiler and matcher: the first line is the pattern, the rest the text.
// The text is searched both as one block and as line records of the store; the two must
// agree, and the match's replacement expansion must not fail.
#include "editor/ReplaceText.h"
#include "editor/SearchSource.h"
#include "editor/TextStore.h"
#include "highlight/REParser.h"

#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    std::string_view all(reinterpret_cast<const char*>(data), size);
    size_t cut = all.find('\n');
    std::string_view pattern = all.substr(0, cut);
    std::string_view raw = cut == std::string_view::npos ? std::string_view() : all.substr(cut + 1);
    quillet::TREParser re;
    re.SetStepBudget(20000);
    if (!re.SetPattern(pattern)) return 0;
    // What the store holds, so both sources see the same characters.
    const std::string text = quillet::TTextStore::Normalize(raw);
    quillet::TTextStore store;
    store.Insert(quillet::TOffset(0), text);
    if (store.StoredText(quillet::TOffset(0), store.TextEnd()) != text) __builtin_trap();
    quillet::TStringCharSource flat(text);
    quillet::TStoreCharSource lines(store);
    for (bool forward : {true, false}) {
        int64_t start = forward ? 0 : static_cast<int64_t>(text.size());
        try {
            bool found = re.Search(flat, start, forward);
            int64_t s = re.MatchStart(), e = re.MatchEnd();
            if (found) {
                if (s < 0 || e < s || e > static_cast<int64_t>(text.size())) __builtin_trap();
                for (int n = 1; n <= quillet::TREParser::MaxGroups; ++n)
                    re.GroupStart(n);
            }
            if (re.Search(lines, start, forward) != found) __builtin_trap();
            if (found && (re.MatchStart() != s || re.MatchEnd() != e)) __builtin_trap();
            if (found)
                quillet::ExpandReplacement(
                    pattern, [&](int n) { return quillet::MatchedGroup(re, lines, n); });
        } catch (const quillet::ERegexError&) {
        }
    }
    return 0;
}
