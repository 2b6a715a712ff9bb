// Feeds arbitrary bytes to the control's loader: as a stream and as a file's bytes.
#include "editor/CodeMemo.h"
#include "editor/CodeMemoStrings.h"

#include <cstddef>
#include <cstdint>
#include <string>

using namespace quillet;

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    TCodeMemo memo;
    TReadOnlyMemoryStream stream(data, int64_t(size));
    memo.LoadFromStream(stream);
    // The store must agree with itself after any input.
    const TTextStore& store = memo.Store();
    // The rows read in place, one after another, are the text.
    std::string rows;
    for (TRow i(0); i < TRow(store.LineCount()); ++i)
        rows += store.RowText(i);
    if (rows != store.StoredText(TOffset(0), store.TextEnd())) __builtin_trap();
    if (int(memo.Perform(WM_GETTEXTLENGTH, 0, 0)) != int(memo.Text().size())) __builtin_trap();
    memo.SelectAll();
    memo.SetSelText("x");
    memo.Undo();
    if (store.StoredText(TOffset(0), store.TextEnd()) != rows) __builtin_trap();
    return 0;
}
