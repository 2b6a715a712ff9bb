// Positions the editor keeps apart: display rows, logical lines, byte offsets, display columns.
#pragma once

#include <compare>
#include <type_traits>

namespace quillet {

// A position of one kind, held as an int. It is made from an int only on purpose and read
// back with Value(). Two positions of a kind compare, and differ by a count (a plain int); a
// count moves a position. Positions of different kinds neither mix nor compare, so a row
// cannot stand where a logical line, a column or an int is asked for.
template <class Kind> class TPosition {
public:
    constexpr TPosition() = default;
    constexpr explicit TPosition(int value) : FValue(value) {}
    constexpr int Value() const { return FValue; }

    friend constexpr bool operator==(TPosition, TPosition) = default;
    friend constexpr auto operator<=>(TPosition, TPosition) = default;

    constexpr TPosition& operator+=(int count) {
        FValue += count;
        return *this;
    }
    constexpr TPosition& operator-=(int count) {
        FValue -= count;
        return *this;
    }
    constexpr TPosition& operator++() { return *this += 1; }
    constexpr TPosition& operator--() { return *this -= 1; }
    constexpr TPosition operator++(int) {
        TPosition old = *this;
        ++*this;
        return old;
    }
    constexpr TPosition operator--(int) {
        TPosition old = *this;
        --*this;
        return old;
    }
    friend constexpr TPosition operator+(TPosition p, int count) { return p += count; }
    friend constexpr TPosition operator+(int count, TPosition p) { return p += count; }
    friend constexpr TPosition operator-(TPosition p, int count) { return p -= count; }
    friend constexpr int operator-(TPosition a, TPosition b) { return a.FValue - b.FValue; }

    // Written as its number to any stream that takes an int (test failures, logs).
    template <class Stream>
    requires std::is_class_v<Stream> && requires(Stream& s, int v) { s << v; }
    friend Stream& operator<<(Stream& s, TPosition p) {
        s << p.FValue;
        return s;
    }

private:
    int FValue = 0;
};

// A display row: a cut of the text between two of the store's row starts, the unit of scrolling
// and painting.
using TRow = TPosition<struct TRowKind>;
// A logical line: the rows from one line break to the next, as line numbers count them.
using TLogicalLine = TPosition<struct TLogicalLineKind>;
// A byte offset in the text, or in a row or logical line (a UTF-8 sequence is several).
using TOffset = TPosition<struct TOffsetKind>;
// A display column: tabs expanded to their stops, one per code point otherwise.
using TColumn = TPosition<struct TColumnKind>;

static_assert(sizeof(TRow) == sizeof(int) && std::is_trivially_copyable_v<TRow>);
static_assert(sizeof(TOffset) == sizeof(int) && std::is_trivially_copyable_v<TOffset>);

} // namespace quillet
