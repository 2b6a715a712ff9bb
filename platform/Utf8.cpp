#include "platform/Utf8.h"

namespace quillet {

int Utf8Sequence(std::string_view s, size_t i, uint32_t& cp) {
    auto b = static_cast<unsigned char>(s[i]);
    int n = b < 0x80 ? 1 : (b >> 5) == 6 ? 2 : (b >> 4) == 14 ? 3 : (b >> 3) == 30 ? 4 : 0;
    if (n == 0 || i + size_t(n) > s.size()) return 0;
    cp = n == 1 ? b : n == 2 ? (b & 0x1F) : n == 3 ? (b & 0x0F) : (b & 0x07);
    for (int k = 1; k < n; ++k) {
        auto c = static_cast<unsigned char>(s[i + size_t(k)]);
        if ((c & 0xC0) != 0x80) return 0;
        cp = (cp << 6) | (c & 0x3F);
    }
    static const uint32_t KMin[5] = {0, 0, 0x80, 0x800, 0x10000};
    if (cp < KMin[n] || cp > 0x10FFFF || (cp >= 0xD800 && cp <= 0xDFFF)) return 0;
    return n;
}

char32_t DecodeUtf8(std::string_view s, size_t& i) {
    auto b = static_cast<unsigned char>(s[i]);
    if (b < 0x80) {
        ++i;
        return b;
    }
    uint32_t cp;
    int n = Utf8Sequence(s, i, cp);
    if (n == 0) {
        ++i;
        return Utf8Replacement;
    }
    i += size_t(n);
    return cp;
}

size_t Utf8CharStart(std::string_view s, size_t i) {
    if (i >= s.size() || (static_cast<unsigned char>(s[i]) & 0xC0) != 0x80) return i;
    // A continuation byte belongs to the sequence of the nearest lead byte before it when
    // that sequence is well-formed and reaches it; otherwise it stands alone.
    for (size_t k = 1; k <= 3 && k <= i; ++k) {
        auto b = static_cast<unsigned char>(s[i - k]);
        if ((b & 0xC0) == 0x80) continue;
        uint32_t cp;
        return size_t(Utf8Sequence(s, i - k, cp)) > k ? i - k : i;
    }
    return i;
}

size_t Utf8CharCount(std::string_view s) {
    size_t n = 0;
    for (size_t i = 0; i < s.size(); ++n)
        i += size_t(Utf8CharLength(s, i));
    return n;
}

} // namespace quillet
