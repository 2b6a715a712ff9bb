#include "highlight/TabColumns.h"

#include "highlight/Settings.h"
#include "resources/Strings.h"

namespace quillet {

namespace {
bool IsSeparator(char c) {
    return c == ' ' || c == ';' || c == '\t';
}
} // namespace

void ParseTabColumns(std::string_view text, TTabColumns& columns) {
    TTabColumns out;
    out.fill(-1);
    size_t count = 0;
    size_t i = 0;
    int64_t previous = 0;
    for (;;) {
        while (i < text.size() && IsSeparator(text[i]))
            ++i;
        if (i >= text.size()) break;
        if (text[i] < '0' || text[i] > '9') throw ETabColumnsError(LoadStr(STabColumnExpected));
        int64_t v = 0;
        while (i < text.size() && text[i] >= '0' && text[i] <= '9') {
            v = v * 10 + (text[i] - '0');
            if (v > INT32_MAX) v = INT32_MAX;
            ++i;
        }
        if (i < text.size() && !IsSeparator(text[i]))
            throw ETabColumnsError(LoadStr(STabColumnExpected));
        // A column past the widest layout is no column value: it would only cost memory.
        if (v > MaxLayoutColumn) throw ETabColumnsError(LoadStr(STabColumnExpected));
        if (v <= 1) throw ETabColumnsError(LoadStr(STabColumnMin));
        if (v <= previous) throw ETabColumnsError(LoadStr(STabColumnsOrder));
        if (count == out.size())
            throw ETabColumnsError(FmtLoadStr(STooManyTabStops, MaxTabColumnCount));
        out[count++] = int32_t(v - 1);
        previous = v;
    }
    columns = out;
}

std::string FormatTabColumns(const TTabColumns& columns) {
    std::string text;
    for (int32_t c : columns) {
        if (c < 0) break;
        if (!text.empty()) text += ' ';
        text += std::to_string(c + 1);
    }
    return text;
}

} // namespace quillet
