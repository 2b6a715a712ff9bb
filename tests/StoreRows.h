// Row starts and the rows of offsets as plain ints, for tests that edit at such places.
#pragma once

#include "editor/TextStore.h"

namespace quillet {

// The text offset where `row` begins; -1 when there is no such row.
inline int RowStart(const TTextStore& store, int row) {
    return store.PosFromLine(TRow(row)).Value();
}
// The row that holds text offset `pos`.
inline int RowAt(const TTextStore& store, int pos) {
    return store.LineFromPos(TOffset(pos)).Value();
}

} // namespace quillet
