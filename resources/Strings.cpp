#include "resources/Strings.h"

#include <algorithm>
#include <cstdio>
#include <unordered_map>

namespace quillet {

namespace {

const std::unordered_map<int, std::string>& Table() {
    static const std::unordered_map<int, std::string> table = {
#define QSTR(id, name, text) {id, text},
#include "resources/strings/All.inc"
#undef QSTR
    };
    return table;
}

} // namespace

const std::string& LoadStr(int id) {
    static const std::string empty;
    const auto& table = Table();
    auto it = table.find(id);
    return it == table.end() ? empty : it->second;
}

std::string FormatV(std::string_view pattern, const std::vector<TFormatArg>& args) {
    std::string out;
    size_t next = 0;
    for (size_t i = 0; i < pattern.size(); ++i) {
        char c = pattern[i];
        if (c != '%') {
            out += c;
            continue;
        }
        if (i + 1 < pattern.size() && pattern[i + 1] == '%') {
            out += '%';
            ++i;
            continue;
        }
        // %[-][width][.precision]conv
        size_t j = i + 1;
        bool left = false;
        if (j < pattern.size() && pattern[j] == '-') {
            left = true;
            ++j;
        }
        int width = 0;
        while (j < pattern.size() && pattern[j] >= '0' && pattern[j] <= '9')
            width = std::min(width * 10 + (pattern[j++] - '0'), 1000);
        int precision = -1;
        if (j < pattern.size() && pattern[j] == '.') {
            ++j;
            precision = 0;
            while (j < pattern.size() && pattern[j] >= '0' && pattern[j] <= '9')
                precision = std::min(precision * 10 + (pattern[j++] - '0'), 1000);
        }
        if (j >= pattern.size()) {
            out.append(pattern.substr(i));
            break;
        }
        char conv = pattern[j];
        std::string piece;
        const TFormatArg* arg = next < args.size() ? &args[next] : nullptr;
        switch (conv) {
        case 's':
            if (arg)
                piece = arg->IsText ? arg->Text : std::to_string(arg->Int);
            if (precision >= 0 && piece.size() > size_t(precision))
                piece.resize(precision);
            break;
        case 'd':
        case 'u':
        case 'x':
        case 'X': {
            long long v = arg ? (arg->IsText ? std::atoll(arg->Text.c_str()) : arg->Int) : 0;
            char buf[64];
            if (conv == 'd')
                std::snprintf(buf, sizeof buf, "%lld", v);
            else if (conv == 'u')
                std::snprintf(buf, sizeof buf, "%llu", (unsigned long long)v);
            else
                std::snprintf(buf, sizeof buf, conv == 'x' ? "%llx" : "%llX",
                              (unsigned long long)(v < 0 ? (v & 0xFFFFFFFFll) : v));
            piece = buf;
            if (precision > 0 && piece.size() < size_t(precision))
                piece.insert(piece.begin() + (piece[0] == '-' ? 1 : 0),
                             precision - piece.size(), '0');
            break;
        }
        default:
            // Not a conversion we know: keep the text as it stands.
            out.append(pattern.substr(i, j - i + 1));
            i = j;
            continue;
        }
        ++next;
        if (piece.size() < size_t(width))
            piece = left ? piece + std::string(width - piece.size(), ' ')
                         : std::string(width - piece.size(), ' ') + piece;
        out += piece;
        i = j;
    }
    return out;
}

} // namespace quillet
