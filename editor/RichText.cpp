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

struct TRun {
    std::string_view Text;
    const TCM_Style* Style = nullptr; // null: no attribute changes
};

// Calls `emit(run)` for each run of equal attribute byte, and `eol()` after each row.
template <class Emit, class Eol>
void WalkRuns(const TRichSource& src, int start, int end, Emit emit, Eol eol) {
    const TTextStore& store = *src.Store;
    if (end <= start) return;
    const TCM_Settings& s = *src.Settings;
    int first = store.LineFromPos(start), last = store.LineFromPos(end);
    for (int line = first; line <= last; ++line) {
        if (src.LineHook) src.LineHook(line, false);
        const TLineRecord& rec = store.Line(line);
        std::string_view text = rec.View();
        int base = store.PosFromLine(line);
        size_t a = line == first ? size_t(start - base) : 0;
        size_t b = line == last ? std::min(text.size(), size_t(end - base)) : text.size();
        const std::vector<uint8_t>* attrs =
            src.Highlight && rec.Extra && !rec.Extra->Attributes.empty() ? &rec.Extra->Attributes
                                                                         : nullptr;
        if (!attrs) {
            if (b > a) emit(TRun{text.substr(a, b - a), nullptr});
        } else {
            auto at = [&](size_t i) { return i < attrs->size() ? (*attrs)[i] : uint8_t(0); };
            size_t i = a;
            while (i < b) {
                uint8_t token = at(i);
                size_t j = i + 1;
                while (j < b && at(j) == token)
                    ++j;
                emit(TRun{text.substr(i, j - i), &s.Styles[s.StyleMap[token]]});
                i = j;
            }
        }
        eol();
        if (src.LineHook) src.LineHook(line, true);
    }
}

// Writes the switches of the bold, italic and underline bits of `style` that differ from
// `attr`: tags holds on and off for each bit in that order.
void SwitchAttributes(TBufferedWriter& out, uint8_t& attr, uint8_t style,
                      const std::array<const char*, 6>& tags) {
    uint8_t now = style & 7;
    for (int bit = 0; bit < 3; ++bit)
        if ((now ^ attr) & (1 << bit)) out.Put(tags[size_t(bit * 2 + ((now >> bit) & 1 ? 0 : 1))]);
    attr = now;
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

// The printable ASCII bytes a format writes as they are: RTF escapes its own three
// specials and the quote, HTML the four it gives names to.
using TPlainTable = std::array<bool, 256>;
constexpr TPlainTable PlainTable(std::string_view specials) {
    TPlainTable t{};
    for (int c = 32; c < 127; ++c)
        t[size_t(c)] = specials.find(char(c)) == std::string_view::npos;
    return t;
}
constexpr TPlainTable KRtfPlain = PlainTable("'\\{}");
constexpr TPlainTable KHtmlPlain = PlainTable("\"<>&");

// Writes the stretch of bytes from i that need no escaping in one piece; the position after.
size_t PutPlain(TBufferedWriter& out, std::string_view text, size_t i, const TPlainTable& plain) {
    size_t j = i;
    while (j < text.size() && plain[uint8_t(text[j])])
        ++j;
    if (j > i) out.Put(text.substr(i, j - i));
    return j;
}

int PointSize(const TFontDesc& font) {
    if (font.Height > 0) return font.Height;
    return int(std::lround(-font.Height * 72.0 / 96.0));
}

} // namespace

void WriteRtf(const TRichSource& src, int start, int end, TBufferedWriter& out) {
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
        return unsigned(it == table.end() ? absent : int(it - table.begin()));
    };
    uint8_t attr = 0;
    TColor fore = defFore, back = defBack;
    auto emit = [&](const TRun& run) {
        if (run.Style) {
            SwitchAttributes(out, attr, run.Style->FontStyle,
                             {"\\b1 ", "\\b0 ", "\\i1 ", "\\i0 ", "\\ul1 ", "\\ul0 "});
            TColor f = colours.Fore(*run.Style);
            TColor b = colours.Back(*run.Style);
            if (f != fore) {
                out.Put("\\cf");
                out.PutDecimal(index(f, 0));
                out.Put(' ');
            }
            if (b != back) {
                out.Put("\\cb");
                out.PutDecimal(index(b, 1));
                out.Put(' ');
            }
            fore = f;
            back = b;
        }
        size_t i = 0;
        while (i < run.Text.size()) {
            i = PutPlain(out, run.Text, i, KRtfPlain);
            if (i == run.Text.size()) break;
            char32_t c = DecodeUtf8(run.Text, i);
            switch (c) {
            case 0:
                break;
            case 9:
                out.Put("\\tab ");
                break;
            case 12:
                out.Put("\\page ");
                break;
            case 13:
                out.Put("\\line ");
                break;
            case '\'':
                out.Put("\\'27");
                break;
            case '\\':
                out.Put("\\\\");
                break;
            case '{':
                out.Put("\\{");
                break;
            case '}':
                out.Put("\\}");
                break;
            default:
                if (c >= 32 && c <= 126) {
                    out.Put(char(c));
                } else if (int byte = CodePageByte(src.Font.Charset, c); byte >= 0) {
                    out.Put("\\'");
                    out.PutHex(unsigned(byte), 2);
                } else {
                    // Above the 8-bit range: signed 16-bit units, a surrogate pair past U+FFFF.
                    auto unit = [&](unsigned u) { out.Put(Format("\\u%d?", int(int16_t(u)))); };
                    if (c > 0xFFFF) {
                        c -= 0x10000;
                        unit(0xD800 + (c >> 10));
                        unit(0xDC00 + (c & 0x3FF));
                    } else {
                        unit(c);
                    }
                }
            }
        }
    };
    WalkRuns(src, start, end, emit, [&] { out.Put("\r\n"); });
    out.Put("}}");
}

void WriteHtml(const TRichSource& src, int start, int end, TBufferedWriter& out) {
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
    uint8_t attr = 0;
    TColor fore = defFore;
    auto emit = [&](const TRun& run) {
        if (run.Style) {
            TColor f = colours.Fore(*run.Style);
            if (f != fore) {
                out.Put("</FONT><FONT COLOR=\"#");
                out.PutHex(HexRgb(f), 6);
                out.Put("\">");
            }
            fore = f;
            SwitchAttributes(out, attr, run.Style->FontStyle,
                             {"<B>", "</B>", "<I>", "</I>", "<U>", "</U>"});
        }
        size_t i = 0;
        while (i < run.Text.size()) {
            i = PutPlain(out, run.Text, i, KHtmlPlain);
            if (i == run.Text.size()) break;
            char32_t c = DecodeUtf8(run.Text, i);
            if (c >= 32 && c < 128 && c != '"' && c != '<' && c != '>' && c != '&')
                out.Put(char(c));
            else if (c == 9 || c == 160)
                out.Put("&nbsp;");
            else if (c == '"')
                out.Put("&quot;");
            else if (c == '<')
                out.Put("&lt;");
            else if (c == '>')
                out.Put("&gt;");
            else if (c == '&')
                out.Put("&amp;");
            else if (c >= 128) {
                out.Put("&#");
                out.PutDecimal(unsigned(c));
                out.Put(';');
            }
        }
    };
    WalkRuns(src, start, end, emit, [&] { out.Put("\r\n"); });
    out.Put("</PRE></FONT></BODY></HTML>\r\n");
}

std::string WriteRtf(const TRichSource& src, int start, int end) {
    std::string text;
    TStringSink sink(text);
    TBufferedWriter out(sink);
    WriteRtf(src, start, end, out);
    out.Flush();
    return text;
}

std::string WriteHtml(const TRichSource& src, int start, int end) {
    std::string text;
    TStringSink sink(text);
    TBufferedWriter out(sink);
    WriteHtml(src, start, end, out);
    out.Flush();
    return text;
}

TBufferedWriter::TBufferedWriter(TStream& out, size_t blockSize)
    : FOut(out), FBlock(std::max<size_t>(blockSize, 16)) {}

void TBufferedWriter::Put(std::string_view s) {
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
    int n = 0;
    do {
        digits[n++] = char('0' + value % 10);
        value /= 10;
    } while (value);
    while (n > 0)
        Put(digits[--n]);
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
