// File bytes kept beside the text.
#include "editor/KeptBytes.h"

#include <algorithm>

namespace quillet {

namespace {
// UTF-8 length of the character a Windows-1251 byte of 0x80 or more decodes to.
int Cp1251StoredLength(unsigned char b) {
    const int cp = Cp1251ToCode(b);
    return cp < 0x800 ? 2 : 3;
}

bool Before(const TKeptBytes::TEntry& e, int pos) {
    return e.Offset < pos;
}

uint64_t Digest(std::string_view text) {
    uint64_t h = 0xCBF29CE484222325ULL; // FNV-1a
    for (char c : text)
        h = (h ^ uint8_t(c)) * 0x100000001B3ULL;
    return h;
}
} // namespace

std::string_view TKeptBytes::Bytes(uint16_t code) {
    static const char KAll[257] = {
#define Q(n) char(n), char(n + 1), char(n + 2), char(n + 3)
        Q(0), Q(4), Q(8), Q(12), Q(16), Q(20), Q(24), Q(28),
#undef Q
    };
    if (code == KCrLf) return "\r\n";
    return std::string_view(KAll + (code & 0xFF), 1);
}

void TKeptBytes::BeginFile(bool cp1251, TLineBreak fileBreak) {
    Clear();
    FOffset = 0;
    FCp1251 = cp1251;
    FPendingCR = false;
    FBreak = fileBreak;
}

void TKeptBytes::Add(uint16_t code) {
    FEntries.push_back({FOffset, code});
}

void TKeptBytes::AddFileBytes(std::string_view block) {
    const char* p = block.data();
    const size_t n = block.size();
    for (size_t i = 0; i < n; ++i) {
        const auto c = static_cast<unsigned char>(p[i]);
        if (FPendingCR) {
            FPendingCR = false;
            if (c == '\n') {
                if (FBreak != lbCRLF) Add(KCrLf);
                ++FOffset;
                continue;
            }
            if (FBreak != lbCR) Add('\r');
            ++FOffset;
        }
        if (c >= 32) {
            FOffset += FCp1251 && c >= 0x80 ? Cp1251StoredLength(c) : 1;
        } else if (c == '\r') {
            FPendingCR = true; // stored at FOffset, whatever follows
        } else if (c == '\n') {
            if (FBreak != lbLF) Add('\n');
            ++FOffset;
        } else {
            if (c != '\t') Add(c);
            ++FOffset;
        }
    }
}

void TKeptBytes::EndFile() {
    if (FPendingCR && FBreak != lbCR) Add('\r');
    FPendingCR = false;
}

void TKeptBytes::Remember(std::deque<TRemoved>& side, TRemoved removed) {
    side.push_back(std::move(removed));
    // A deletion that took no entries and has none older than it to shadow is found by nothing
    // that a lookup without it would not find: typed text gets none either way. So the side
    // starts at its oldest deletion with entries, and only a very long history drops any.
    while (!side.empty() && side.front().Entries.empty())
        side.pop_front();
    if (side.size() > KRemovedKept) side.pop_front();
}

void TKeptBytes::Inserted(TOffset where, std::string_view text, TCause cause) {
    if (cause == kcEdit) FRedoSide.clear(); // an edit ends what could be redone
    if (text.empty() || (FEntries.empty() && FUndoSide.empty() && FRedoSide.empty())) return;
    const int pos = where.Value();
    const int length = int(text.size());
    const auto at = std::lower_bound(FEntries.begin(), FEntries.end(), pos, Before);
    for (auto it = at; it != FEntries.end(); ++it)
        it->Offset += length;
    if (cause == kcEdit) return;
    std::deque<TRemoved>& side = cause == kcUndo ? FUndoSide : FRedoSide;
    const uint64_t digest = Digest(text);
    for (auto r = side.rbegin(); r != side.rend(); ++r) {
        if (r->Pos != pos || r->Length != text.size() || r->Digest != digest) continue;
        for (TEntry& e : r->Entries)
            e.Offset += pos;
        FEntries.insert(at, r->Entries.begin(), r->Entries.end());
        side.erase(std::next(r).base());
        return;
    }
}

void TKeptBytes::Deleted(TOffset where, std::string_view text, TCause cause) {
    if (cause == kcEdit) FRedoSide.clear();
    if (text.empty() || (FEntries.empty() && FUndoSide.empty() && FRedoSide.empty())) return;
    const int pos = where.Value();
    const int length = int(text.size());
    const auto from = std::lower_bound(FEntries.begin(), FEntries.end(), pos, Before);
    const auto to = std::lower_bound(from, FEntries.end(), pos + length, Before);
    // Every deletion is remembered, also one without entries: typed text put back must not take
    // the entries of an older deletion of the same bytes.
    TRemoved removed{pos, text.size(), Digest(text), std::vector<TEntry>(from, to)};
    for (TEntry& e : removed.Entries)
        e.Offset -= pos;
    Remember(cause == kcUndo ? FRedoSide : FUndoSide, std::move(removed));
    for (auto it = to; it != FEntries.end(); ++it)
        it->Offset -= length;
    FEntries.erase(from, to);
}

} // namespace quillet
