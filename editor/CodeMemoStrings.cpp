#include "editor/CodeMemoStrings.h"

#include "editor/CodeMemo.h"
#include "platform/Utf8.h"

#include <algorithm>

namespace quillet {

int TCodeMemoStrings::Count() const {
    return std::max(1, FMemo.Store().LineCount());
}

std::string TCodeMemoStrings::Get(int index) const {
    const TTextStore& store = FMemo.Store();
    if (index < 0 || index >= store.LineCount()) return {};
    std::string_view text = store.RowText(TRow(index));
    if (!text.empty() && text.back() == '\r') text.remove_suffix(1);
    if (text.size() > size_t(MaxLineRead)) {
        size_t n = size_t(MaxLineRead);
        // Never hand out half a UTF-8 sequence.
        n = Utf8CharStart(text, n);
        text = text.substr(0, n);
    }
    return std::string(text);
}

void TCodeMemoStrings::Put(int index, std::string_view s) {
    const TTextStore& store = FMemo.Store();
    if (index < 0 || index >= store.LineCount()) return;
    const TRow row(index);
    const TOffset start = store.PosFromLine(row);
    std::string_view text = store.RowText(row);
    const TOffset end = start + int(text.size()) - (text.ends_with('\r') ? 1 : 0);
    FMemo.SetSelection(start.Value(), end.Value());
    FMemo.SetSelText(s);
}

void TCodeMemoStrings::Insert(int index, std::string_view s) {
    const TTextStore& store = FMemo.Store();
    if (index < 0) return;
    if (index < store.LineCount()) {
        const int start = store.PosFromLine(TRow(index)).Value();
        FMemo.SetSelection(start, start);
        FMemo.SetSelText(std::string(s) + "\r\n");
        return;
    }
    if (index - 1 < 0 || index - 1 >= store.LineCount()) return;
    const TRow previous(index - 1);
    const int length = store.RowLength(previous);
    const int end = (store.PosFromLine(previous) + length).Value();
    FMemo.SetSelection(end, end);
    if (length > 0)
        FMemo.SetSelText("\r" + std::string(s));
    else
        FMemo.SetSelText(s.empty() ? std::string_view("\r") : s);
}

void TCodeMemoStrings::Delete(int index) {
    const TTextStore& store = FMemo.Store();
    if (index < 0 || index >= store.LineCount()) return;
    const TRow row(index);
    const TOffset start = store.PosFromLine(row);
    const TOffset end =
        index + 1 < store.LineCount() ? store.PosFromLine(row + 1) : TOffset(store.CharCount());
    FMemo.SetSelection(start.Value(), end.Value());
    FMemo.SetSelText({});
}

void TCodeMemoStrings::Clear() {
    FMemo.Clear();
}

std::string TCodeMemoStrings::Text() const {
    return FMemo.Text();
}

void TCodeMemoStrings::SetText(std::string_view text) {
    // Equal content after line-break normalisation keeps the document and its undo history.
    std::string stored = TTextStore::Normalize(text);
    const TTextStore& store = FMemo.Store();
    if (int(stored.size()) == store.CharCount() &&
        stored == store.StoredText(TOffset(0), store.TextEnd()))
        return;
    FMemo.SetText(text);
}

void TCodeMemoStrings::AddStrings(const TCodeMemoStrings& other) {
    TMemoryStream stream;
    std::string text = other.Text();
    stream.Write(text.data(), int64_t(text.size()));
    stream.SetPosition(0);
    LoadFromStream(stream);
}

void TCodeMemoStrings::BeginUpdate() {
    if (FUpdateCount++ == 0) FMemo.Perform(WM_SETREDRAW, 0, 0);
}

void TCodeMemoStrings::EndUpdate() {
    if (FUpdateCount == 0) return;
    if (--FUpdateCount == 0) FMemo.Perform(WM_SETREDRAW, 1, 0);
}

void TCodeMemoStrings::LoadFromStream(TStream& stream) {
    FMemo.LoadFromStream(stream);
}

void TCodeMemoStrings::LoadFromFile(const std::string& fileName) {
    FMemo.LoadFromFile(fileName);
}

void TCodeMemoStrings::SaveToStream(TStream* stream) {
    FMemo.SaveToStream(stream);
}

void TCodeMemoStrings::SaveToFile(const std::string& fileName) {
    FMemo.SaveToFile(fileName);
}

} // namespace quillet
