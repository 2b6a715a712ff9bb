#include "editor/RichText.h"

#include "editor/CodeMemoPaint.h"
#include "editor/TextEncoding.h"
#include "editor/TextStore.h"
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
    }
}

// Appends the switches of the bold, italic and underline bits of `style` that differ from
// `attr`: tags holds on and off for each bit in that order.
void SwitchAttributes(std::string& out, uint8_t& attr, uint8_t style,
                      const std::array<const char*, 6>& tags) {
    uint8_t now = style & 7;
    for (int bit = 0; bit < 3; ++bit)
        if ((now ^ attr) & (1 << bit)) out += tags[size_t(bit * 2 + ((now >> bit) & 1 ? 0 : 1))];
    attr = now;
}

int PointSize(const TFontDesc& font) {
    if (font.Height > 0) return font.Height;
    return int(std::lround(-font.Height * 72.0 / 96.0));
}

} // namespace

std::string WriteRtf(const TRichSource& src, int start, int end) {
    const TCM_Settings& s = *src.Settings;
    std::string out = "{\\rtf1 \\deff1";
    out += Format("{\\fonttbl {\\f1 \\fnil\\fcharset%d %s;}}\r\n", int(src.Font.Charset),
                  src.Font.Name);
    const TColor defFore = TCodeMemoPainter::StyleFore(s, s.Styles[0]);
    const TColor defBack = TCodeMemoPainter::StyleBack(s, s.Styles[0]);
    std::vector<TColor> table{defFore, defBack};
    auto add = [&](TColor c) {
        if (table.size() < 256 && std::find(table.begin(), table.end(), c) == table.end())
            table.push_back(c);
    };
    for (const TCM_Style& style : s.Styles)
        if (style.Defined) {
            add(TCodeMemoPainter::StyleFore(s, style));
            add(TCodeMemoPainter::StyleBack(s, style));
        }
    out += "{\\colortbl";
    for (TColor c : table) {
        c = Rgb(c);
        out += Format("\\red%d\\green%d\\blue%d;", int(c & 0xFF), int((c >> 8) & 0xFF),
                      int((c >> 16) & 0xFF));
    }
    out += "}\r\n";
    out += Format("{\\f1\\fs%d\\cf0\\cb1 ", PointSize(src.Font) * 2);
    auto index = [&](TColor c, int absent) {
        auto it = std::find(table.begin(), table.end(), c);
        return it == table.end() ? absent : int(it - table.begin());
    };
    uint8_t attr = 0;
    TColor fore = defFore, back = defBack;
    auto emit = [&](const TRun& run) {
        if (run.Style) {
            SwitchAttributes(out, attr, run.Style->FontStyle,
                             {"\\b1 ", "\\b0 ", "\\i1 ", "\\i0 ", "\\ul1 ", "\\ul0 "});
            TColor f = TCodeMemoPainter::StyleFore(s, *run.Style);
            TColor b = TCodeMemoPainter::StyleBack(s, *run.Style);
            if (f != fore) out += Format("\\cf%d ", index(f, 0));
            if (b != back) out += Format("\\cb%d ", index(b, 1));
            fore = f;
            back = b;
        }
        size_t i = 0;
        while (i < run.Text.size()) {
            char32_t c = DecodeUtf8(run.Text, i);
            switch (c) {
            case 0:
                break;
            case 9:
                out += "\\tab ";
                break;
            case 12:
                out += "\\page ";
                break;
            case 13:
                out += "\\line ";
                break;
            case '\'':
                out += "\\'27";
                break;
            case '\\':
                out += "\\\\";
                break;
            case '{':
                out += "\\{";
                break;
            case '}':
                out += "\\}";
                break;
            default:
                if (c >= 32 && c <= 126) {
                    out += char(c);
                } else if (int byte = CodePageByte(src.Font.Charset, c); byte >= 0) {
                    out += Format("\\'%.2x", unsigned(byte));
                } else {
                    // Above the 8-bit range: signed 16-bit units, a surrogate pair past U+FFFF.
                    auto unit = [&](unsigned u) { out += Format("\\u%d?", int(int16_t(u))); };
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
    WalkRuns(src, start, end, emit, [&] { out += "\r\n"; });
    out += "}}";
    return out;
}

std::string WriteHtml(const TRichSource& src, int start, int end) {
    const TCM_Settings& s = *src.Settings;
    const TColor defFore = TCodeMemoPainter::StyleFore(s, s.Styles[0]);
    const TColor defBack = TCodeMemoPainter::StyleBack(s, s.Styles[0]);
    std::string out = "<HTML><HEAD>\r\n";
    out += "<META NAME=\"Generator\" CONTENT=\"TCustomCodeMemo - " + src.Contact + "\">\r\n";
    out += "<TITLE>" + src.Title + "</TITLE>\r\n";
    out += "<META NAME=\"Date\" CONTENT=\"" + src.Date + "\">\r\n";
    out += "</HEAD>\r\n";
    out += Format("<BODY TEXT=\"#%.6x\" BGCOLOR=\"#%.6x\">\r\n", HexRgb(defFore), HexRgb(defBack));
    out += "<PRE><FONT FACE=\"" + src.Font.Name + "\">\r\n";
    uint8_t attr = 0;
    TColor fore = defFore;
    auto emit = [&](const TRun& run) {
        if (run.Style) {
            TColor f = TCodeMemoPainter::StyleFore(s, *run.Style);
            if (f != fore) out += Format("</FONT><FONT COLOR=\"#%.6x\">", HexRgb(f));
            fore = f;
            SwitchAttributes(out, attr, run.Style->FontStyle,
                             {"<B>", "</B>", "<I>", "</I>", "<U>", "</U>"});
        }
        size_t i = 0;
        while (i < run.Text.size()) {
            char32_t c = DecodeUtf8(run.Text, i);
            if (c == 9 || c == 160)
                out += "&nbsp;";
            else if (c == '"')
                out += "&quot;";
            else if (c == '<')
                out += "&lt;";
            else if (c == '>')
                out += "&gt;";
            else if (c == '&')
                out += "&amp;";
            else if (c >= 128)
                out += Format("&#%u;", unsigned(c));
            else if (c >= 32)
                out += char(c);
        }
    };
    WalkRuns(src, start, end, emit, [&] { out += "\r\n"; });
    out += "</PRE></FONT></BODY></HTML>\r\n";
    return out;
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
