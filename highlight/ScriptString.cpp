#include "highlight/ScriptString.h"

#include "highlight/ScriptError.h"
#include "resources/Strings.h"

namespace quillet {

namespace {

int HexValue(char c) {
    if (c >= '0' && c <= '9') return c - '0';
    if (c >= 'a' && c <= 'f') return c - 'a' + 10;
    if (c >= 'A' && c <= 'F') return c - 'A' + 10;
    return -1;
}

char CheckedByte(long value) {
    if (value > 255) throw EScriptValueError(LoadStr(4106));
    return static_cast<char>(static_cast<unsigned char>(value));
}

} // namespace

std::string DecodeScriptEscapes(std::string_view raw) {
    std::string out;
    out.reserve(raw.size());
    for (std::size_t i = 0; i < raw.size(); ++i) {
        char c = raw[i];
        if (c != '\\' || i + 1 >= raw.size()) {
            out += c;
            continue;
        }
        c = raw[++i];
        if (c >= '0' && c <= '7') {
            long value = 0;
            std::size_t digits = 0;
            while (i < raw.size() && digits < 3 && raw[i] >= '0' && raw[i] <= '7') {
                value = value * 8 + (raw[i] - '0');
                ++i;
                ++digits;
            }
            --i;
            out += CheckedByte(value);
            continue;
        }
        const char lower = (c >= 'A' && c <= 'Z') ? static_cast<char>(c + 32) : c;
        if (lower == 'x' || lower == 'u') {
            const std::size_t maxDigits = lower == 'x' ? 2 : 4;
            long value = 0;
            std::size_t digits = 0;
            while (i + 1 < raw.size() && digits < maxDigits && HexValue(raw[i + 1]) >= 0) {
                value = value * 16 + HexValue(raw[++i]);
                ++digits;
            }
            if (digits == 0) {
                out += c; // a bare \x stands for itself
                continue;
            }
            out += CheckedByte(value);
            continue;
        }
        switch (lower) {
        case 'b':
            out += '\x08';
            break;
        case 'e':
            out += '\x1b';
            break;
        case 'n':
            out += '\x0d';
            break;
        case 'r':
            out += '\x0a';
            break;
        case 's':
            out += ' ';
            break;
        case 't':
            out += '\t';
            break;
        default:
            out += c;
            break;
        }
    }
    return out;
}

} // namespace quillet
