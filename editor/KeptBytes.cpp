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
    FEntries.clear();
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

void TKeptBytes::Inserted(int pos, int length) {
    if (FEntries.empty() || length <= 0) return;
    auto it = std::lower_bound(FEntries.begin(), FEntries.end(), pos, Before);
    for (; it != FEntries.end(); ++it)
        it->Offset += length;
}

void TKeptBytes::Deleted(int pos, int length) {
    if (FEntries.empty() || length <= 0) return;
    auto from = std::lower_bound(FEntries.begin(), FEntries.end(), pos, Before);
    auto to = std::lower_bound(from, FEntries.end(), pos + length, Before);
    for (auto it = to; it != FEntries.end(); ++it)
        it->Offset -= length;
    FEntries.erase(from, to);
}

} // namespace quillet
