// File encodings and atomic saving.
#include "editor/TextEncoding.h"

#include "platform/Errors.h"
#include "platform/Files.h"
#include "platform/Stream.h"
#include "platform/Utf8.h"
#include "resources/Strings.h"

#include <cstdint>
#include <cstring>

namespace quillet {

namespace {
// Code points of bytes 0x80-0xBF; 0x98 has no character and maps to U+0098 so it survives.
const uint16_t KCp1251High[64] = {
    0x0402, 0x0403, 0x201A, 0x0453, 0x201E, 0x2026, 0x2020, 0x2021, 0x20AC, 0x2030, 0x0409,
    0x2039, 0x040A, 0x040C, 0x040B, 0x040F, 0x0452, 0x2018, 0x2019, 0x201C, 0x201D, 0x2022,
    0x2013, 0x2014, 0x0098, 0x2122, 0x0459, 0x203A, 0x045A, 0x045C, 0x045B, 0x045F, 0x00A0,
    0x040E, 0x045E, 0x0408, 0x00A4, 0x0490, 0x00A6, 0x00A7, 0x0401, 0x00A9, 0x0404, 0x00AB,
    0x00AC, 0x00AD, 0x00AE, 0x0407, 0x00B0, 0x00B1, 0x0406, 0x0456, 0x0491, 0x00B5, 0x00B6,
    0x00B7, 0x0451, 0x2116, 0x0454, 0x00BB, 0x0458, 0x0405, 0x0455, 0x0457};

void AppendUtf8(std::string& out, uint32_t cp) {
    if (cp < 0x80) {
        out += static_cast<char>(cp);
    } else if (cp < 0x800) {
        out += static_cast<char>(0xC0 | (cp >> 6));
        out += static_cast<char>(0x80 | (cp & 0x3F));
    } else if (cp < 0x10000) {
        out += static_cast<char>(0xE0 | (cp >> 12));
        out += static_cast<char>(0x80 | ((cp >> 6) & 0x3F));
        out += static_cast<char>(0x80 | (cp & 0x3F));
    } else {
        out += static_cast<char>(0xF0 | (cp >> 18));
        out += static_cast<char>(0x80 | ((cp >> 12) & 0x3F));
        out += static_cast<char>(0x80 | ((cp >> 6) & 0x3F));
        out += static_cast<char>(0x80 | (cp & 0x3F));
    }
}

// Length of the well-formed prefix of s. A sequence cut off by the end of s stops the prefix
// without making it bad: `bad` is set only for bytes no continuation can mend.
size_t ValidPrefix(std::string_view s, bool& bad) {
    bad = false;
    uint32_t cp;
    const size_t size = s.size();
    size_t i = 0;
    while (i < size) {
        // Style sheets are nearly all ASCII: eight bytes per test.
        while (i + 8 <= size) {
            uint64_t w;
            std::memcpy(&w, s.data() + i, 8);
            if (w & 0x8080808080808080ull) break;
            i += 8;
        }
        if (i >= size) break;
        if (static_cast<unsigned char>(s[i]) < 0x80) {
            ++i;
            continue;
        }
        int n = Utf8Sequence(s, i, cp);
        if (n == 0) {
            auto b = static_cast<unsigned char>(s[i]);
            size_t need = (b >> 5) == 6 ? 2 : (b >> 4) == 14 ? 3 : (b >> 3) == 30 ? 4 : 0;
            if (need == 0 || i + need <= size) {
                bad = true;
                return i;
            }
            // Too short to tell: valid so far when every byte there is a continuation byte.
            for (size_t k = i + 1; k < size; ++k)
                if ((static_cast<unsigned char>(s[k]) & 0xC0) != 0x80) {
                    bad = true;
                    return i;
                }
            return i;
        }
        i += static_cast<size_t>(n);
    }
    return i;
}

} // namespace

int Cp1251ToCode(unsigned char b) {
    if (b < 0x80) return b;
    if (b >= 0xC0) return 0x0410 + (b - 0xC0);
    return KCp1251High[b - 0x80];
}

int CodeToCp1251(uint32_t cp) {
    if (cp < 0x80) return static_cast<int>(cp);
    if (cp >= 0x0410 && cp <= 0x044F) return static_cast<int>(0xC0 + (cp - 0x0410));
    for (int i = 0; i < 64; ++i)
        if (KCp1251High[i] == cp) return 0x80 + i;
    return -1;
}

namespace {

constexpr uint64_t kLow7 = 0x7F7F7F7F7F7F7F7FULL;

// The top bit of each byte of w that equals the byte repeated in `pattern`, exactly: no
// carry runs from one byte into the next.
inline uint64_t BytesEqual(uint64_t w, uint64_t pattern) {
    const uint64_t x = w ^ pattern;
    return ~(((x & kLow7) + kLow7) | x | kLow7);
}

// How many bytes' top bits a mask of BytesEqual holds.
inline int64_t CountMarks(uint64_t m) {
    return int64_t(((m >> 7) * 0x0101010101010101ULL) >> 56);
}

} // namespace

void TLineBreakCount::Add(std::string_view bytes) {
    // This runs over every byte of a file: eight bytes a step, without branches.
    int64_t cr = 0, crlf = 0, lf = 0, low = 0, tabs = 0;
    uint64_t prevCR = LastCR; // 1 when the byte before the next one is CR
    const char* p = bytes.data();
    const char* const end = p + bytes.size();
    for (; end - p >= 8; p += 8) {
        uint64_t w;
        std::memcpy(&w, p, 8);
        const uint64_t crs = BytesEqual(w, 0x0D0D0D0D0D0D0D0DULL);
        const uint64_t lfs = BytesEqual(w, 0x0A0A0A0A0A0A0A0AULL);
        // An LF after a CR: in the word (bytes are little-endian) or at its start.
        const uint64_t pairs = ((crs << 8) | (prevCR << 7)) & lfs;
        // Bytes below 32 are those whose top three bits are clear.
        low += CountMarks(BytesEqual(w & 0xE0E0E0E0E0E0E0E0ULL, 0));
        tabs += CountMarks(BytesEqual(w, 0x0909090909090909ULL));
        cr += CountMarks(crs);
        lf += CountMarks(lfs);
        crlf += CountMarks(pairs);
        prevCR = crs >> 63;
    }
    for (; p < end; ++p) {
        const uint64_t isCR = *p == '\r', isLF = *p == '\n';
        low += int64_t(uint8_t(*p) < 32);
        tabs += int64_t(*p == '\t');
        cr += int64_t(isCR);
        lf += int64_t(isLF);
        crlf += int64_t(isLF & prevCR);
        prevCR = isCR;
    }
    // A CR counted as lone at the end of the last block pairs with an LF at the start of this.
    CR += cr - crlf;
    CRLF += crlf;
    LF += lf - crlf;
    Controls += low - tabs - cr - lf;
    LastCR = prevCR != 0;
}

TLineBreak TLineBreakCount::Majority() const {
    if (Total() == 0) return lbDefault;
    if (CRLF >= LF && CRLF >= CR) return lbCRLF;
    return LF >= CR ? lbLF : lbCR;
}

std::string WithLineBreaks(std::string_view text, TLineBreak style) {
    if (style != lbCRLF && style != lbLF) return std::string(text);
    std::string out;
    out.reserve(text.size() + (style == lbCRLF ? text.size() / 16 : 0));
    for (char c : text) {
        if (c != '\r')
            out += c;
        else if (style == lbCRLF)
            out += "\r\n";
        else
            out += '\n';
    }
    return out;
}

bool IsValidUtf8(std::string_view s) {
    bool bad;
    return ValidPrefix(s, bad) == s.size();
}

TTextEncoding DetectEncoding(TStream& stream, int64_t& lineBreaks, TLineBreakCount* counts) {
    constexpr size_t block = size_t(1) << 16;
    std::string buffer(block + 4, '\0');
    size_t carry = 0; // bytes of a sequence cut by the last block, moved to the buffer's front
    bool first = true, valid = true, bom = false;
    TLineBreakCount breaks;
    for (;;) {
        const int64_t n = stream.Read(buffer.data() + carry, int64_t(block));
        if (n <= 0) break;
        std::string_view got(buffer.data() + carry, size_t(n));
        breaks.Add(got);
        size_t from = 0;
        if (first) {
            first = false;
            bom = got.substr(0, 3) == "\xEF\xBB\xBF";
            if (bom) from = 3;
        }
        if (!valid || bom) continue;
        std::string_view all(buffer.data() + from, carry + size_t(n) - from);
        bool bad;
        const size_t ok = ValidPrefix(all, bad);
        if (bad) {
            valid = false;
            continue;
        }
        carry = all.size() - ok;
        std::memmove(buffer.data(), all.data() + ok, carry);
    }
    lineBreaks = breaks.Total();
    if (counts) *counts = breaks;
    if (bom) return {TEncodingKind::Utf8, true, breaks.Majority()};
    return {valid && carry == 0 ? TEncodingKind::Utf8 : TEncodingKind::Windows1251, false,
            breaks.Majority()};
}

std::string DecodeText(std::string_view bytes, TTextEncoding& encoding) {
    TLineBreakCount breaks;
    breaks.Add(bytes);
    if (bytes.substr(0, 3) == "\xEF\xBB\xBF") {
        encoding = {TEncodingKind::Utf8, true, breaks.Majority()};
        return std::string(bytes.substr(3));
    }
    if (IsValidUtf8(bytes)) {
        encoding = {TEncodingKind::Utf8, false, breaks.Majority()};
        return std::string(bytes);
    }
    encoding = {TEncodingKind::Windows1251, false, breaks.Majority()};
    std::string out;
    out.reserve(bytes.size() * 2);
    for (char c : bytes)
        AppendUtf8(out, static_cast<uint32_t>(Cp1251ToCode(static_cast<unsigned char>(c))));
    return out;
}

std::string EncodeText(std::string_view text, TTextEncoding& encoding) {
    if (encoding.Kind == TEncodingKind::Windows1251) {
        std::string out;
        out.reserve(text.size());
        uint32_t cp;
        bool ok = true;
        for (size_t i = 0; i < text.size() && ok;) {
            int n = Utf8Sequence(text, i, cp);
            int b = n ? CodeToCp1251(cp) : -1;
            if (b < 0)
                ok = false;
            else
                out += static_cast<char>(b);
            i += static_cast<size_t>(n ? n : 1);
        }
        if (ok) return out;
        encoding = {TEncodingKind::Utf8, false, encoding.Break}; // never write a lossy 1251 file
    }
    return encoding.Bom ? "\xEF\xBB\xBF" + std::string(text) : std::string(text);
}

void SaveFileAtomically(const std::string& path, std::string_view bytes) {
    ReplaceFile(path, bytes, FmtLoadStr(SCannotCreateFile, path));
}

void SaveFileAtomically(const std::string& path, const std::function<void(TStream&)>& write,
                        bool durable) {
    const std::string failText = FmtLoadStr(SCannotCreateFile, path);
    TReplacingFile file(path, failText, durable);
    try {
        write(file);
    } catch (const EFileError&) {
        throw;
    } catch (const std::exception&) {
        // The writer gave up (a short write, say): the old file stays as it was.
        throw EFileError(WithCause(failText, file.LastError()), file.LastError());
    }
    file.Commit();
}

} // namespace quillet
