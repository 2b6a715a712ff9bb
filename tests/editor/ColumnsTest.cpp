// The block-stepping column walks against the character-by-character definition, on random
// bytes: ASCII runs, tabs, well-formed and broken UTF-8, ends that cut a sequence.
#include "editor/Columns.h"
#include "platform/Utf8.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <random>
#include <string>

namespace quillet {
namespace {

int Stop(int column) {
    return column + 4 - column % 4;
}

int SlowColumn(std::string_view text, size_t end) {
    int column = 0;
    for (size_t i = 0; i < end; i += size_t(Utf8CharLength(text, i)))
        column = text[i] == '\t' ? Stop(column) : column + 1;
    return column;
}

size_t SlowByteOfColumn(std::string_view text, size_t end, int column) {
    int col = 0;
    size_t i = 0;
    while (i < end) {
        int next = text[i] == '\t' ? Stop(col) : col + 1;
        if (next > column) break;
        col = next;
        i += size_t(Utf8CharLength(text, i));
    }
    return i;
}

std::string RandomRow(std::mt19937& rng) {
    static const char* pieces[] = {"\t",   "\xC3\xA9", "\xE2\x82\xAC", "\xF0\x9F\x98\x80", "\x80",
                                   "\xC3", "\xE2\x82", "\xED\xA0\x80", "\xC0\xAF",         "\xFF"};
    std::string row;
    const int n = int(rng() % 60);
    for (int k = 0; k < n; ++k) {
        if (rng() % 3 == 0) {
            row += pieces[rng() % std::size(pieces)];
        } else {
            row.append(rng() % 20, char('a' + rng() % 26)); // plain runs of every length
        }
    }
    return row;
}

TEST(ColumnWalk, BlockStepsCountAsCharacterByCharacter) {
    unsigned first = 1, count = 3000;
    if (const char* v = std::getenv("QUILLET_RANDOM_REPLAY"); v && *v) {
        first = unsigned(std::atoi(v));
        count = 1;
    }
    for (unsigned seed = first; seed < first + count; ++seed) {
        std::mt19937 rng(seed);
        const std::string row = RandomRow(rng);
        SCOPED_TRACE("seed " + std::to_string(seed) + " (QUILLET_RANDOM_REPLAY replays it)");
        for (size_t end = 0; end <= row.size(); ++end) {
            ASSERT_EQ(WalkToByte(row, {}, end, Stop).Column, SlowColumn(row, end)) << end;
            const int column = int(rng() % (row.size() + 8));
            ASSERT_EQ(WalkToColumn(row, {}, end, column, Stop).Byte,
                      SlowByteOfColumn(row, end, column))
                << end << " " << column;
        }
        // Resumed from the middle, a walk ends where one from the start does.
        const size_t mid = SlowByteOfColumn(row, row.size(), int(rng() % 40));
        const TColumnWalk half = WalkToByte(row, {}, mid, Stop);
        EXPECT_EQ(WalkToByte(row, half, row.size(), Stop).Column, SlowColumn(row, row.size()));
    }
}

} // namespace
} // namespace quillet
