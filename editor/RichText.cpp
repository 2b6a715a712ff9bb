#include "editor/RichText.h"

#include "editor/CodeMemoPaint.h"
#include "editor/TextEncoding.h"
#include "editor/TextStore.h"
#include "platform/Stream.h"
#include "platform/Utf8.h"
#include "resources/Strings.h"

#include <algorithm>
#include <array>
#include <cmath>
#include <cstring>
#include <ctime>
#include <string_view>
#include <vector>

namespace quillet {

namespace {

// The byte of a code point in the code page of a font's character set, or -1 when that code
// page has no such character (or the character set names no code page we know).
int CodePageByte(uint8_t charset, char32_t cp) {
    if (cp < 0x80) return int(cp);
    if (charset == RUSSIAN_CHARSET) return CodeToCp1251(cp);
    if (charset != ANSI_CHARSET) return -1;
    if (cp >= 0xA0 && cp <= 0xFF) return int(cp);
    // Windows-1252's 0x80-0x9F; 0 where it has no character.
    static const uint16_t KHigh[32] = {
        0x20AC, 0,      0x201A, 0x0192, 0x201E, 0x2026, 0x2020, 0x2021, 0x02C6, 0x2030, 0x0160,
        0x2039, 0x0152, 0,      0x017D, 0,      0,      0x2018, 0x2019, 0x201C, 0x201D, 0x2022,
        0x2013, 0x2014, 0x02DC, 0x2122, 0x0161, 0x203A, 0x0153, 0,      0x017E, 0x0178};
    for (int i = 0; i < 32; ++i)
        if (KHigh[i] == cp) return 0x80 + i;
    return -1;
}

TColor Rgb(TColor c) {
    return TCodeMemoView::Resolve(c) & 0xFFFFFF;
}

// The colour as RGB in that order (the colour value holds blue in its high byte).
unsigned HexRgb(TColor c) {
    c = Rgb(c);
    return ((c & 0xFF) << 16) | (c & 0xFF00) | ((c >> 16) & 0xFF);
}

// The colours of each style, worked out once per writing instead of once per run.
class TStyleColours {
public:
    explicit TStyleColours(const TCM_Settings& s) : FSettings(s) {}
    TColor Fore(const TCM_Style& style) { return Get(style).first; }
    TColor Back(const TCM_Style& style) { return Get(style).second; }

private:
    const TCM_Settings& FSettings;
    std::array<std::pair<TColor, TColor>, 256> FColours{};
    std::array<bool, 256> FKnown{};
    const std::pair<TColor, TColor>& Get(const TCM_Style& style) {
        size_t n = size_t(&style - FSettings.Styles.data());
        if (!FKnown[n]) {
            FColours[n] = {TCodeMemoPainter::StyleFore(FSettings, style),
                           TCodeMemoPainter::StyleBack(FSettings, style)};
            FKnown[n] = true;
        }
        return FColours[n];
    }
};

// A stream that appends to a string.
class TStringSink : public TStream {
public:
    explicit TStringSink(std::string& out) : FOut(out) {}
    int64_t Read(void*, int64_t) override { return 0; }
    int64_t Write(const void* buffer, int64_t count) override {
        FOut.append(static_cast<const char*>(buffer), size_t(count));
        return count;
    }
    int64_t Seek(int64_t, TSeekOrigin) override { return int64_t(FOut.size()); }

private:
    std::string& FOut;
};

// How a run looks in the output: its colours and its bold, italic and underline bits.
struct TLook {
    TColor Fore = 0;
    TColor Back = 0;
    uint8_t Attr = 0;
    bool operator==(const TLook&) const = default;
};

// What a format writes for each byte below 0x80, at most 8 characters. A byte from 0x80 on
// starts a UTF-8 character, which the format's own function writes.
struct TAsciiTable {
    std::array<std::array<char, 8>, 128> Text{};
    std::array<uint8_t, 128> Length{};
    void Set(int c, std::string_view s) {
        std::copy(s.begin(), s.end(), Text[size_t(c)].begin());
        Length[size_t(c)] = uint8_t(s.size());
    }
};

// Writes the rows of a stretch of text in one format. A run of equal attribute bytes costs the
// switch from the look before it, worked out once for each pair of looks met, and then a table
// look-up per byte straight into the writer's block.
class TRunWriter {
public:
    // The switch from one look to another; a character from U+0080 on.
    using TSwitchText = std::function<void(std::string& out, const TLook& from, const TLook& to)>;
    using TWideText = char* (*)(char* out, char32_t c, uint8_t charset);

    TRunWriter(const TRichSource& src, TBufferedWriter& out, const TAsciiTable& ascii,
               TWideText wide, TLook initial, TSwitchText switchText)
        : FSrc(src), FOut(out), FAscii(ascii), FWide(wide), FSwitchText(std::move(switchText)) {
        const TCM_Settings& s = *src.Settings;
        TStyleColours colours(s);
        FLooks.push_back(initial);
        for (size_t token = 0; token < 256; ++token) {
            const TCM_Style& style = s.Styles[s.StyleMap[token]];
            const TLook look{colours.Fore(style), colours.Back(style),
                             uint8_t(style.FontStyle & 7)};
            auto it = std::find(FLooks.begin() + 1, FLooks.end(), look);
            FLookOf[token] = uint16_t(it - FLooks.begin());
            if (it == FLooks.end()) FLooks.push_back(look);
        }
        FLookCount = FLooks.size();
        FSwitches.resize(FLookCount * FLookCount);
        FSwitchPool.assign(kPoolTail, '\0');
    }

    // Walks the rows from the one holding `start` to the one holding `end`, CR LF after each.
    void Walk(TOffset start, TOffset end) {
        if (FSrc.Rows) {
            FSrc.Rows([this](std::string_view text, const uint8_t* attrs) {
                Row(text, FSrc.Highlight ? attrs : nullptr, 0, text.size(), text.size());
            });
            return;
        }
        const TTextStore& store = *FSrc.Store;
        if (end <= start) return;
        const TRow first = store.LineFromPos(start), last = store.LineFromPos(end);
        for (TRow line = first; line <= last; ++line) {
            if (FSrc.LineHook) FSrc.LineHook(line, false);
            const TLineRecord& rec = store.Line(line);
            const std::string_view text = store.RowText(line);
            const TOffset base = store.PosFromLine(line);
            const size_t a = line == first ? size_t(start - base) : 0;
            const size_t b = line == last ? std::min(text.size(), size_t(end - base)) : text.size();
            const std::vector<uint8_t>* attrs =
                FSrc.Highlight && rec.Extra && !rec.Extra->Attributes.empty()
                    ? &rec.Extra->Attributes
                    : nullptr;
            Row(text, attrs ? attrs->data() : nullptr, a, b, attrs ? attrs->size() : 0);
            if (FSrc.LineHook) FSrc.LineHook(line, true);
        }
    }

private:
    // Characters [a, b) of a row and CR LF; `count` attribute bytes at `at` (none: no changes).
    void Row(std::string_view text, const uint8_t* at, size_t a, size_t b, size_t count) {
        if (!at || count == 0) {
            if (b > a) Emit(kNoLook, text.data() + a, b - a);
        } else {
            if (count < b) {
                // Characters past the line's bytes are default text.
                FPadded.assign(at, at + count);
                FPadded.resize(b, 0);
                at = FPadded.data();
            }
            Styled(text.data(), at, a, b);
        }
        FOut.Put("\r\n");
    }

    // Characters [a, b) of a row with their attribute bytes, in one pass: a byte whose attribute
    // differs from the one before switches the look first (as a run of its own would).
    void Styled(const char* text, const uint8_t* at, size_t a, size_t b) {
        char* o = FOut.Reserve(kRoom);
        char* end = o + kRoom;
        int last = -1;    // the attribute byte before, none at the row's start
        size_t check = a; // where the room is to be looked at next
        for (size_t i = a; i < b;) {
            if (i >= check) {
                // Room for a step of characters, each with a short switch before it.
                if (size_t(end - o) < kStep * kPerChar) {
                    FOut.Commit(o);
                    o = FOut.Reserve(kRoom);
                    end = o + kRoom;
                }
                check = i + kStep;
            }
            const uint8_t token = at[i];
            if (token != last) {
                last = token;
                const uint16_t look = FLookOf[token];
                if (look != FCurrent) {
                    const std::string_view sw = SwitchText(FCurrent, look);
                    FCurrent = look;
                    if (sw.size() <= kPoolTail) {
                        // The room kept for a character holds a short switch as well.
                        std::memcpy(o, sw.data(), kPoolTail);
                    } else {
                        if (size_t(end - o) < sw.size() + 16 + kStep * kPerChar) {
                            FOut.Commit(o);
                            o = FOut.Reserve(sw.size() + 16 + kRoom);
                            end = o + sw.size() + 16 + kRoom;
                        }
                        // Whole 16-byte steps: the switches are padded to them.
                        for (size_t k = 0; k < sw.size(); k += 16)
                            std::memcpy(o + k, sw.data() + k, 16);
                    }
                    o += sw.size();
                }
            }
            const auto c = uint8_t(text[i]);
            if (c < 0x80) {
                std::memcpy(o, FAscii.Text[c].data(), 8);
                o += FAscii.Length[c];
                ++i;
            } else {
                // A character ends with its run, as in Emit: no further than the bytes of the
                // same attribute go.
                size_t j = i + 1;
                while (j < b && j < i + 4 && at[j] == token)
                    ++j;
                size_t used = 0;
                const char32_t cp = DecodeUtf8({text + i, j - i}, used);
                i += used;
                o = FWide(o, cp, FSrc.Font.Charset);
            }
        }
        FOut.Commit(o);
    }

    static constexpr uint16_t kNoLook = 0xFFFF; // a run that changes no attributes
    static constexpr size_t kChunk = 2048;      // bytes of a run written into one reservation
    static constexpr size_t kPerByte = 8;       // the most a byte of text can become
    static constexpr size_t kSlack = 48;        // a character past a chunk, the padding of copies
    static constexpr size_t kRoom = 8192;       // bytes reserved at a time for a styled row
    static constexpr size_t kPerChar = 64; // a short switch and the most a character can become
    static constexpr size_t kStep = 64;    // characters written between looks at the room

    void Emit(uint16_t look, const char* p, size_t n) {
        std::string_view switchText;
        if (look != kNoLook && look != FCurrent) {
            switchText = SwitchText(FCurrent, look);
            FCurrent = look;
        }
        const char* const runStart = p;
        const char* const runEnd = p + n;
        while (p < runEnd) {
            const size_t k = std::min(size_t(runEnd - p), kChunk);
            char* o = FOut.Reserve(switchText.size() + k * kPerByte + kSlack);
            // Whole 16-byte steps: the switches are padded to them, the slack takes the rest.
            for (size_t i = 0; i < switchText.size(); i += 16)
                std::memcpy(o + i, switchText.data() + i, 16);
            o += switchText.size();
            switchText = {};
            const char* const chunkEnd = p + k;
            while (p < chunkEnd) {
                const auto c = uint8_t(*p);
                if (c < 0x80) {
                    std::memcpy(o, FAscii.Text[c].data(), 8);
                    o += FAscii.Length[c];
                    ++p;
                } else {
                    size_t i = size_t(p - runStart);
                    const char32_t cp = DecodeUtf8({runStart, n}, i);
                    p = runStart + i;
                    o = FWide(o, cp, FSrc.Font.Charset);
                }
            }
            FOut.Commit(o);
        }
        if (!switchText.empty()) FOut.Put(switchText);
    }

    std::string_view SwitchText(uint16_t from, uint16_t to) {
        const TSwitch& sw = FSwitches[from * FLookCount + to];
        if (sw.Length == kUnknown) [[unlikely]]
            return MakeSwitch(from, to);
        return {FSwitchPool.data() + sw.Offset, sw.Length};
    }

    [[gnu::noinline]] std::string_view MakeSwitch(uint16_t from, uint16_t to) {
        TSwitch& sw = FSwitches[from * FLookCount + to];
        std::string text;
        FSwitchText(text, FLooks[from], FLooks[to]);
        // Past the pool's last switch stay 32 readable bytes, so a short one is copied whole.
        FSwitchPool.resize(FSwitchPool.size() - kPoolTail);
        sw = {uint32_t(FSwitchPool.size()), uint32_t(text.size())};
        FSwitchPool += text;
        FSwitchPool.append((16 - text.size() % 16) % 16 + kPoolTail, '\0');
        return {FSwitchPool.data() + sw.Offset, sw.Length};
    }

    const TRichSource& FSrc;
    TBufferedWriter& FOut;
    const TAsciiTable& FAscii;
    TWideText FWide;
    TSwitchText FSwitchText;
    std::array<uint16_t, 256> FLookOf{};
    std::vector<TLook> FLooks; // the first: the look before the first run
    // Each switch's text in the pool, padded to a multiple of 16 bytes.
    static constexpr uint32_t kUnknown = UINT32_MAX;
    struct TSwitch {
        uint32_t Offset = 0;
        uint32_t Length = kUnknown;
    };
    std::vector<TSwitch> FSwitches;
    std::string FSwitchPool;
    size_t FLookCount = 0;
    static constexpr size_t kPoolTail = 32;
    std::vector<uint8_t> FPadded;
    uint16_t FCurrent = 0;
};

// Writes the switches of the bold, italic and underline bits that differ between two looks:
// tags holds on and off for each bit in that order.
void SwitchAttributes(std::string& out, uint8_t from, uint8_t to,
                      const std::array<const char*, 6>& tags) {
    for (int bit = 0; bit < 3; ++bit)
        if ((to ^ from) & (1 << bit)) out += tags[size_t(bit * 2 + ((to >> bit) & 1 ? 0 : 1))];
}

char* PutText(char* out, std::string_view s) {
    std::memcpy(out, s.data(), s.size());
    return out + s.size();
}

char* PutDecimal(char* out, unsigned value) {
    char digits[12];
    int n = 0;
    do {
        digits[n++] = char('0' + value % 10);
        value /= 10;
    } while (value);
    while (n > 0)
        *out++ = digits[--n];
    return out;
}

const TAsciiTable KHtmlAscii = [] {
    TAsciiTable t;
    for (int c = 32; c < 128; ++c)
        t.Set(c, std::string(1, char(c)));
    t.Set('\t', "&nbsp;");
    t.Set('"', "&quot;");
    t.Set('<', "&lt;");
    t.Set('>', "&gt;");
    t.Set('&', "&amp;");
    return t; // other control characters are left out
}();

char* HtmlWide(char* out, char32_t c, uint8_t) {
    if (c == 160) return PutText(out, "&nbsp;");
    out = PutText(out, "&#");
    out = PutDecimal(out, unsigned(c));
    *out++ = ';';
    return out;
}

const TAsciiTable KRtfAscii = [] {
    TAsciiTable t;
    for (int c = 1; c < 128; ++c) {
        if (c >= 32 && c < 127)
            t.Set(c, std::string(1, char(c)));
        else
            t.Set(c, Format("\\'%.2x", c));
    }
    t.Set('\t', "\\tab ");
    t.Set('\f', "\\page ");
    t.Set('\r', "\\line ");
    t.Set('\'', "\\'27");
    t.Set('\\', "\\\\");
    t.Set('{', "\\{");
    t.Set('}', "\\}");
    return t; // NUL is left out
}();

char* RtfWide(char* out, char32_t c, uint8_t charset) {
    if (int byte = CodePageByte(charset, c); byte >= 0) {
        out = PutText(out, "\\'");
        *out++ = "0123456789abcdef"[byte >> 4];
        *out++ = "0123456789abcdef"[byte & 15];
        return out;
    }
    // Above the 8-bit range: signed 16-bit units, a surrogate pair past U+FFFF.
    auto unit = [&](unsigned u) {
        out = PutText(out, "\\u");
        const int v = int16_t(u);
        if (v < 0) *out++ = '-';
        out = PutDecimal(out, unsigned(v < 0 ? -v : v));
        *out++ = '?';
    };
    if (c > 0xFFFF) {
        c -= 0x10000;
        unit(0xD800 + (c >> 10));
        unit(0xDC00 + (c & 0x3FF));
    } else {
        unit(c);
    }
    return out;
}

int PointSize(const TFontDesc& font) {
    if (font.Height > 0) return font.Height;
    return int(std::lround(-font.Height * 72.0 / 96.0));
}

} // namespace

void WriteRtf(const TRichSource& src, TOffset start, TOffset end, TBufferedWriter& out) {
    const TCM_Settings& s = *src.Settings;
    out.Put("{\\rtf1 \\deff1");
    out.Put(Format("{\\fonttbl {\\f1 \\fnil\\fcharset%d %s;}}\r\n", int(src.Font.Charset),
                   src.Font.Name));
    TStyleColours colours(s);
    const TColor defFore = colours.Fore(s.Styles[0]);
    const TColor defBack = colours.Back(s.Styles[0]);
    std::vector<TColor> table{defFore, defBack};
    auto add = [&](TColor c) {
        if (table.size() < 256 && std::find(table.begin(), table.end(), c) == table.end())
            table.push_back(c);
    };
    for (const TCM_Style& style : s.Styles)
        if (style.Defined) {
            add(colours.Fore(style));
            add(colours.Back(style));
        }
    out.Put("{\\colortbl");
    for (TColor c : table) {
        c = Rgb(c);
        out.Put(Format("\\red%d\\green%d\\blue%d;", int(c & 0xFF), int((c >> 8) & 0xFF),
                       int((c >> 16) & 0xFF)));
    }
    out.Put("}\r\n");
    out.Put(Format("{\\f1\\fs%d\\cf0\\cb1 ", PointSize(src.Font) * 2));
    auto index = [&](TColor c, int absent) {
        auto it = std::find(table.begin(), table.end(), c);
        return it == table.end() ? absent : int(it - table.begin());
    };
    TRunWriter runs(src, out, KRtfAscii, RtfWide, TLook{defFore, defBack, 0},
                    [&](std::string& text, const TLook& from, const TLook& to) {
                        SwitchAttributes(text, from.Attr, to.Attr,
                                         {"\\b1 ", "\\b0 ", "\\i1 ", "\\i0 ", "\\ul1 ", "\\ul0 "});
                        if (to.Fore != from.Fore) text += Format("\\cf%d ", index(to.Fore, 0));
                        if (to.Back != from.Back) text += Format("\\cb%d ", index(to.Back, 1));
                    });
    runs.Walk(start, end);
    out.Put("}}");
}

void WriteHtml(const TRichSource& src, TOffset start, TOffset end, TBufferedWriter& out) {
    const TCM_Settings& s = *src.Settings;
    TStyleColours colours(s);
    const TColor defFore = colours.Fore(s.Styles[0]);
    const TColor defBack = colours.Back(s.Styles[0]);
    out.Put("<HTML><HEAD>\r\n");
    out.Put("<META NAME=\"Generator\" CONTENT=\"TCustomCodeMemo - " + src.Contact + "\">\r\n");
    out.Put("<TITLE>" + src.Title + "</TITLE>\r\n");
    out.Put("<META NAME=\"Date\" CONTENT=\"" + src.Date + "\">\r\n");
    out.Put("</HEAD>\r\n");
    out.Put(
        Format("<BODY TEXT=\"#%.6x\" BGCOLOR=\"#%.6x\">\r\n", HexRgb(defFore), HexRgb(defBack)));
    out.Put("<PRE><FONT FACE=\"" + src.Font.Name + "\">\r\n");
    TRunWriter runs(src, out, KHtmlAscii, HtmlWide, TLook{defFore, defBack, 0},
                    [](std::string& text, const TLook& from, const TLook& to) {
                        if (to.Fore != from.Fore)
                            text += Format("</FONT><FONT COLOR=\"#%.6x\">", HexRgb(to.Fore));
                        SwitchAttributes(text, from.Attr, to.Attr,
                                         {"<B>", "</B>", "<I>", "</I>", "<U>", "</U>"});
                    });
    runs.Walk(start, end);
    out.Put("</PRE></FONT></BODY></HTML>\r\n");
}

std::string WriteRtf(const TRichSource& src, TOffset start, TOffset end) {
    std::string text;
    TStringSink sink(text);
    TBufferedWriter out(sink);
    WriteRtf(src, start, end, out);
    out.Flush();
    return text;
}

std::string WriteHtml(const TRichSource& src, TOffset start, TOffset end) {
    std::string text;
    TStringSink sink(text);
    TBufferedWriter out(sink);
    WriteHtml(src, start, end, out);
    out.Flush();
    return text;
}

TBufferedWriter::TBufferedWriter(TStream& out, size_t blockSize)
    : FOut(out), FBlock(std::max<size_t>(blockSize, 16)) {}

void TBufferedWriter::MakeRoom(size_t n) {
    Drain();
    if (FBlock.size() < n) FBlock.resize(n);
}

void TBufferedWriter::PutLong(std::string_view s) {
    while (!s.empty()) {
        if (FUsed == FBlock.size()) Drain();
        size_t n = std::min(s.size(), FBlock.size() - FUsed);
        std::copy_n(s.data(), n, FBlock.data() + FUsed);
        FUsed += n;
        s.remove_prefix(n);
    }
}

void TBufferedWriter::PutDecimal(unsigned value) {
    char digits[12];
    Put(std::string_view(digits, size_t(quillet::PutDecimal(digits, value) - digits)));
}

void TBufferedWriter::PutHex(unsigned value, int digits) {
    for (int shift = (digits - 1) * 4; shift >= 0; shift -= 4)
        Put("0123456789abcdef"[(value >> shift) & 15]);
}

void TBufferedWriter::Drain() {
    if (FUsed > 0 && !FShort) {
        int64_t n = FOut.Write(FBlock.data(), int64_t(FUsed));
        if (n > 0) FWritten += n;
        if (n < int64_t(FUsed)) FShort = true;
    }
    FUsed = 0;
}

std::string ShortDateToday() {
    std::time_t now = std::time(nullptr);
    std::tm tm{};
    localtime_r(&now, &tm);
    char buf[16];
    std::strftime(buf, sizeof buf, "%Y-%m-%d", &tm);
    return buf;
}

} // namespace quillet
