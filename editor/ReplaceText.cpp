// The replacement text of a regular-expression replace: group references and escapes.
#include "editor/ReplaceText.h"

#include "highlight/REParser.h"

#include <algorithm>

namespace quillet {

namespace {

int HexValue(char c) {
    if (c >= '0' && c <= '9') return c - '0';
    if (c >= 'a' && c <= 'f') return c - 'a' + 10;
    if (c >= 'A' && c <= 'F') return c - 'A' + 10;
    return -1;
}

} // namespace

std::string ExpandReplacement(std::string_view text, const std::function<std::string(int)>& group) {
    std::string out;
    const size_t n = text.size();
    size_t i = 0;
    while (i < n) {
        char c = text[i++];
        if (c == '%') {
            if (i >= n) {
                out += '%';
                break;
            }
            if (text[i] >= '1' && text[i] <= '9') {
                // The longest run of digits that still names a group number up to 255.
                int number = 0;
                while (i < n && text[i] >= '0' && text[i] <= '9' &&
                       number * 10 + (text[i] - '0') <= 255)
                    number = number * 10 + (text[i++] - '0');
                out += group(number);
            } else {
                out += text[i++]; // "%%" and any other character stand for themselves
            }
        } else if (c == '\\') {
            if (i >= n) {
                out += '\\';
                break;
            }
            char e = text[i++];
            switch (e) {
            case 'b':
            case 'B':
                out += '\b';
                break;
            case 'f':
            case 'F':
                out += '\f';
                break;
            case 'n':
            case 'N':
                out += '\r';
                break; // the store's line break
            case 'r':
            case 'R':
                out += '\n';
                break;
            case 's':
            case 'S':
                out += ' ';
                break;
            case 't':
            case 'T':
                out += '\t';
                break;
            case 'x':
            case 'X': {
                int value = -1;
                for (int k = 0; k < 2 && i < n && HexValue(text[i]) >= 0; ++k)
                    value = std::max(value, 0) * 16 + HexValue(text[i++]);
                if (value < 0) return out; // "\x" without a digit ends the text here
                out += static_cast<char>(value);
                break;
            }
            default:
                if (e >= '0' && e <= '7') {
                    int value = e - '0';
                    for (int k = 0; k < 2 && i < n && text[i] >= '0' && text[i] <= '7'; ++k)
                        value = value * 8 + (text[i++] - '0');
                    if (value >= 256) return out; // no such byte: the text ends here
                    out += static_cast<char>(value);
                } else {
                    out += e;
                }
            }
        } else {
            out += c;
        }
    }
    return out;
}

std::string SourceText(const IRECharSource& source, int64_t start, int64_t end) {
    std::string out;
    start = std::max<int64_t>(start, 0);
    end = std::min(end, source.Size());
    while (start < end) {
        int64_t runStart = 0;
        std::string_view run = source.RunAt(start, runStart);
        auto from = static_cast<size_t>(start - runStart);
        size_t take = std::min<size_t>(run.size() - from, static_cast<size_t>(end - start));
        out.append(run.substr(from, take));
        start += static_cast<int64_t>(take);
    }
    return out;
}

std::string MatchedGroup(const TREParser& parser, const IRECharSource& source, int n) {
    if (n < 1 || n > TREParser::MaxGroups) return {};
    int64_t start = parser.GroupStart(n), end = parser.GroupEnd(n);
    if (start < 0 || end < start) return {};
    return SourceText(source, start, end);
}

} // namespace quillet
