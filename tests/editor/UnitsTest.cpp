// Rows, logical lines, offsets and columns do not mix: checked while this file compiles.
#include "editor/Units.h"
#include "editor/CodeMemo.h"
#include "editor/CodeMemoWrap.h"

#include <concepts>

namespace quillet {
namespace {

// clang-format off
template <class A, class B> concept Addable = requires(A a, B b) { a + b; };
template <class A, class B> concept Subtractable = requires(A a, B b) { a - b; };
template <class A, class B> concept Comparable =
    requires(A a, B b) { a < b; } || requires(A a, B b) { a == b; };
// clang-format on

template <class T> constexpr bool PlainUnit() {
    return sizeof(T) == sizeof(int) && std::is_trivially_copyable_v<T> &&
           std::is_standard_layout_v<T> && !std::is_convertible_v<int, T> &&
           !std::is_convertible_v<T, int> && std::is_constructible_v<T, int>;
}
static_assert(PlainUnit<TRow>() && PlainUnit<TLogicalLine>() && PlainUnit<TOffset>() &&
              PlainUnit<TColumn>());

// Kinds apart: no conversion, no arithmetic, no comparison across them.
static_assert(!std::is_convertible_v<TRow, TLogicalLine> &&
              !std::is_constructible_v<TRow, TLogicalLine>);
static_assert(!std::is_constructible_v<TOffset, TColumn> &&
              !std::is_constructible_v<TColumn, TOffset>);
static_assert(!Addable<TOffset, TColumn> && !Addable<TColumn, TOffset> &&
              !Subtractable<TOffset, TColumn>);
static_assert(!Addable<TRow, TLogicalLine> && !Subtractable<TRow, TLogicalLine>);
static_assert(!Comparable<TRow, TLogicalLine> && !Comparable<TOffset, TColumn> &&
              !Comparable<TRow, int>);
// Within a kind: a count moves a position, two positions differ by a count, positions never add.
static_assert(!Addable<TRow, TRow> && !Addable<TOffset, TOffset>);
static_assert(std::same_as<decltype(TOffset(3) + 4), TOffset> &&
              std::same_as<decltype(TRow(1) - 1), TRow>);
static_assert(std::same_as<decltype(TColumn(7) - TColumn(2)), int>);
static_assert((TOffset(10) + 5).Value() == 15 && TRow(9) - TRow(4) == 5 && TColumn(2) < TColumn(3));
static_assert([] {
    TRow r(0);
    ++r;
    r += 3;
    return r == TRow(4) && r-- == TRow(4) && r == TRow(3);
}());

// The interfaces take the kind they mean: a row where a logical line is asked for, or a plain
// int, does not compile.
template <class Row>
concept RowQuery = requires(const TCodeMemoWrap& w, Row r) {
    w.LogicalLineOf(r);
};
template <class Line>
concept LineQuery = requires(const TCodeMemoWrap& w, Line l) {
    w.RowOfLogicalLine(l);
};
static_assert(RowQuery<TRow> && !RowQuery<int> && !RowQuery<TLogicalLine>);
static_assert(LineQuery<TLogicalLine> && !LineQuery<TRow> && !LineQuery<int>);
static_assert(std::same_as<decltype(std::declval<TCodeMemoWrap&>().FirstRowOf(TRow())), TRow>);

template <class Row, class Offset>
concept ColumnQuery = requires(const TCustomCodeMemo& m, Row r, Offset o) {
    m.VisualColumn(r, o);
};
template <class Row, class Column>
concept OffsetQuery = requires(const TCustomCodeMemo& m, Row r, Column c) {
    m.OffsetFromVisualColumn(r, c);
};
static_assert(ColumnQuery<TRow, TOffset> && !ColumnQuery<TRow, TColumn> && !ColumnQuery<int, int>);
static_assert(OffsetQuery<TRow, TColumn> && !OffsetQuery<TRow, TOffset> &&
              !OffsetQuery<TLogicalLine, TColumn>);
static_assert(std::same_as<
              decltype(std::declval<TCustomCodeMemo&>().VisualColumn(TRow(), TOffset())), TColumn>);

} // namespace
} // namespace quillet
