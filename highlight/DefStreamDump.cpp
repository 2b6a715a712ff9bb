#include "highlight/DefStreamDump.h"

#include <cstdio>
#include <sstream>

namespace quillet {

namespace {

std::string Hex(uint32_t v, int digits = 8) {
    char buf[16];
    std::snprintf(buf, sizeof buf, "0x%0*X", digits, v);
    return buf;
}

std::string Char(int c) {
    if (c > 32 && c < 127 && c != '\\' && c != ']' && c != '-' && c != '^' && c != '"')
        return std::string(1, char(c));
    char buf[8];
    std::snprintf(buf, sizeof buf, "\\x%02X", c);
    return buf;
}

std::string Quoted(const std::string& s) {
    std::string out = "\"";
    for (unsigned char c : s) {
        if (c == '"' || c == '\\') {
            out += '\\';
            out += char(c);
        } else if (c < 32 || c == 127) {
            char buf[8];
            std::snprintf(buf, sizeof buf, "\\x%02X", c);
            out += buf;
        } else {
            out += char(c);
        }
    }
    return out + "\"";
}

std::string Members(const TByteSet& s) {
    std::string out = "{";
    bool first = true;
    for (int n = 0; n < 256; ++n)
        if (s.Has(uint8_t(n))) {
            if (!first) out += ',';
            out += std::to_string(n);
            first = false;
        }
    return out + "}";
}

std::string Ranges(const TByteSet& s) {
    std::string out;
    for (int c = 0; c < 256;) {
        if (!s.Has(uint8_t(c))) {
            ++c;
            continue;
        }
        int e = c;
        while (e + 1 < 256 && s.Has(uint8_t(e + 1)))
            ++e;
        out += Char(c);
        if (e > c + 1) out += '-';
        if (e > c) out += Char(e);
        c = e + 1;
    }
    return out;
}

class TDumper {
public:
    TDumper(const TCodeMemoParser& def, std::ostream& out) : D(def), O(out) {}

    void Run() {
        Settings();
        Keywords();
        for (size_t t = 0; t < 256; ++t)
            if (const auto& c = D.Continuations[t])
                O << "continuation " << t << ": body " << Part(c->Body) << "; end "
                  << EndPart(c->End) << "\n";
        Table("global start", D.GlobalStart);
        for (size_t s = 0; s < 256; ++s)
            if (D.StateStart[s]) Table("state " + std::to_string(s) + " start", *D.StateStart[s]);
        for (size_t t = 0; t < 256; ++t)
            if (const auto& c = D.Context[t]; c && *c != D.StartState)
                O << "context " << t << ": " << Members(*c) << "\n";
        for (size_t t = 0; t < 256; ++t)
            if (const auto& e = D.Effects[t])
                O << "effect " << t << ": valid " << Members(e->Valid) << " add " << Members(e->Add)
                  << " remove " << Members(e->Remove) << " bound " << int(e->Bound)
                  << " notransition " << int(e->NoTransition) << " stack " << int(e->StackFlags)
                  << "\n";
        O << "anchor: " << Members(D.Anchor) << "\n";
        O << "bound states: " << Members(D.BoundStates) << "\n";
        O << "start state: " << Members(D.StartState) << "\n";
        O << "custom handlers: " << int(D.CustomHandlers) << "\n";
    }

private:
    std::string Group(int index) {
        if (index < 0 || index >= D.Groups.Count()) return "<group " + std::to_string(index) + ">";
        const auto& g = D.Groups.Group(index);
        return std::string(g.Negate() ? "[^" : "[") + Ranges(g.Set()) + "]";
    }
    static std::string Handler(const TRulePart& p) {
        return (p.Custom ? "custom " : "handler ") + std::to_string(p.Handler);
    }
    // The body of a rule a handler starts is never read, and is stored as the empty group.
    std::string Part(const TRulePart& p, bool unused = false) {
        std::string s = p.IsHandler ? Handler(p) : unused ? "[]" : Group(p.Group);
        if (p.Flag) s += " (flag " + std::to_string(p.Flag) + ")";
        return s;
    }
    std::string EndPart(const TRulePart& p) {
        std::string s;
        if (p.IsHandler)
            s = Handler(p);
        else if (p.EndCount == 0)
            s = "none";
        else
            for (int i = 0; i < p.EndCount && i < 4; ++i) {
                if (i) s += ' ';
                s += Group(p.EndGroups[size_t(i)]);
            }
        if (p.Flag) s += " included";
        return s;
    }
    std::string Rule(const TTokenRule& r) {
        return "token " + std::to_string(r.Token) + " valid " + Members(r.Valid) + " start " +
               Part(r.Start) + " body " + Part(r.Body, r.Start.IsHandler) + " end " +
               EndPart(r.End);
    }

    // Runs of characters with the same rule share one line.
    void Table(const std::string& title, const TStartTable& t) {
        std::vector<std::string> text(256);
        int count = 0;
        for (size_t c = 0; c < 256; ++c)
            if (t.Rules[c]) {
                text[c] = Rule(*t.Rules[c]);
                ++count;
            }
        O << title << ": " << count << " rules\n";
        std::vector<bool> done(256);
        for (size_t c = 0; c < 256; ++c) {
            if (text[c].empty() || done[c]) continue;
            TByteSet chars;
            for (size_t k = c; k < 256; ++k)
                if (text[k] == text[c]) {
                    chars.Include(uint8_t(k));
                    done[k] = true;
                }
            O << "  [" << Ranges(chars) << "]: " << text[c] << "\n";
        }
    }

    void Settings() {
        const TCM_Settings& s = D.Settings();
        O << "name: " << Quoted(s.Name) << "\n";
        O << "example text: " << Quoted(s.ExampleText) << "\n";
        O << "wrap override: " << Quoted(s.WrapOverride) << "\n";
        O << "options: " << Hex(s.Options) << "\n";
        O << "margin width: " << s.MarginWidth << "\n";
        O << "right margin: " << s.RightMargin << "\n";
        O << "word wrap column: " << s.WordWrapColumn << "\n";
        O << "gutter width: " << s.GutterWidth << "\n";
        O << "indent step: " << s.IndentStep << "\n";
        auto colour = [&](const char* name, TColor c, bool def) {
            O << name << ": " << Hex(c) << (def ? " default" : "") << "\n";
        };
        colour("margin colour", s.MarginColor, s.MarginColorDefault);
        colour("gutter colour", s.GutterColor, s.GutterColorDefault);
        colour("selected text colour", s.SelTextColor, s.SelTextColorDefault);
        colour("selected text background", s.SelTextBack, s.SelTextBackDefault);
        O << "tab default: " << s.TabDefault << "\n";
        O << "tab columns:";
        for (int32_t t : s.TabColumns)
            if (t != -1) O << " " << t;
        O << "\n";
        O << "font: " << Quoted(s.FontName) << " " << s.FontSize << " charset "
          << int(s.FontCharset) << "\n";
        O << "gutter font: " << Quoted(s.GutterFontName) << " " << s.GutterFontSize << " charset "
          << int(s.GutterFontCharset) << " colour " << Hex(s.GutterFontColor) << " style "
          << int(s.GutterFontStyle) << "\n";
        for (size_t i = 0; i < 256; ++i) {
            const TCM_Style& st = s.Styles[i];
            if (!st.Defined) continue;
            O << "style " << i << ": font style " << int(st.FontStyle) << " foreground "
              << Hex(st.Foreground) << (st.ForegroundDefault ? " default" : "") << " background "
              << Hex(st.Background) << (st.BackgroundDefault ? " default" : "")
              << (st.Hotspot ? " hotspot" : "") << "\n";
        }
        O << "style map:";
        for (size_t i = 0; i < 256; ++i)
            if (s.StyleMap[i]) O << " " << i << ">" << int(s.StyleMap[i]);
        O << "\n";
        for (const auto& e : s.EditableStyles)
            O << "editable style: " << Quoted(e.Name) << " " << int(e.Style) << "\n";
        for (const auto& t : s.KeyTables) {
            O << "keyword table " << Members(t.States) << " end "
              << (t.EndGroup < 0 ? std::string("any") : Group(t.EndGroup))
              << (t.CaseSensitive ? " case-sensitive" : " case-insensitive") << ":";
            for (const auto& [text, token] : t.Words)
                O << " " << Quoted(text) << "=" << int(token);
            O << "\n";
        }
    }

    void Keywords() {
        O << "keywords: " << D.Keywords.Count()
          << (D.CaseSensitive ? " case-sensitive" : " case-insensitive") << "\n";
        D.Keywords.ForEach([&](std::string_view text, const TKeywordEntry& e) {
            O << "  " << Quoted(std::string(text)) << " token " << int(e.Token) << " states "
              << Members(e.States) << " end "
              << (e.EndGroup < 0 ? std::string("any") : Group(e.EndGroup)) << "\n";
        });
    }

    const TCodeMemoParser& D;
    std::ostream& O;
};

} // namespace

void DumpDefinition(const TCodeMemoParser& def, std::ostream& out) {
    TDumper(def, out).Run();
}

std::string DumpDefinition(const TCodeMemoParser& def) {
    std::ostringstream s;
    DumpDefinition(def, s);
    return s.str();
}

} // namespace quillet
