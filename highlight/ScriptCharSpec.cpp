#include "highlight/ScriptCharSpec.h"

#include "highlight/ScriptError.h"
#include "highlight/ScriptString.h"
#include "resources/Strings.h"

namespace quillet {

namespace {

bool IsHex(char c) {
    return (c >= '0' && c <= '9') || (c >= 'a' && c <= 'f') || (c >= 'A' && c <= 'F');
}

// One character or escape starting at pos; pos moves past it.
unsigned char ReadChar(std::string_view raw, std::size_t& pos) {
    if (raw[pos] != '\\' || pos + 1 >= raw.size()) return static_cast<unsigned char>(raw[pos++]);
    std::size_t end = pos + 2;
    const char c = raw[pos + 1];
    if (c >= '0' && c <= '7') {
        while (end < raw.size() && end < pos + 4 && raw[end] >= '0' && raw[end] <= '7')
            ++end;
    } else if (c == 'x' || c == 'X' || c == 'u' || c == 'U') {
        const std::size_t maxEnd = pos + ((c == 'x' || c == 'X') ? 4 : 6);
        while (end < raw.size() && end < maxEnd && IsHex(raw[end]))
            ++end;
    }
    const std::string value = DecodeScriptEscapes(raw.substr(pos, end - pos));
    pos = end;
    return static_cast<unsigned char>(value.empty() ? 0 : value[0]);
}

} // namespace

std::vector<TCharSet> ParseCharSpecs(std::string_view raw) {
    std::vector<TCharSet> specs;
    std::size_t pos = 0;
    while (pos < raw.size()) {
        TCharSet set;
        if (raw[pos] != '[' || pos + 1 >= raw.size()) {
            set.set(ReadChar(raw, pos));
            specs.push_back(set);
            continue;
        }
        ++pos;
        const bool negate = pos < raw.size() && raw[pos] == '^';
        if (negate) ++pos;
        while (pos < raw.size() && raw[pos] != ']') {
            const unsigned char first = ReadChar(raw, pos);
            unsigned char last = first;
            if (pos + 1 < raw.size() && raw[pos] == '-' && raw[pos + 1] != ']') {
                ++pos;
                last = ReadChar(raw, pos);
                if (last < first) throw EScriptValueError(LoadStr(5700));
            }
            for (unsigned v = first; v <= last; ++v)
                set.set(v);
        }
        if (pos < raw.size()) ++pos; // the closing bracket; an unclosed class takes the rest
        if (negate) set.flip();
        specs.push_back(set);
    }
    return specs;
}

} // namespace quillet
