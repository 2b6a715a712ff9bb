// Colour literals: hex digits, the rgb()/hsl() functions in comma and blank syntax with their
// alpha, and the named colours of the generated table.
#include "css/Colors.h"

#include "css/CssData.h"

#include <algorithm>
#include <cmath>
#include <cstdio>

namespace quillet::css {

namespace {

bool IsHex(char c) {
    return (c >= '0' && c <= '9') || (c >= 'a' && c <= 'f') || (c >= 'A' && c <= 'F');
}
int HexValue(char c) {
    return c <= '9' ? c - '0' : (c | 0x20) - 'a' + 10;
}
bool IsLetter(char c) {
    return (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z');
}
bool IsDigit(char c) {
    return c >= '0' && c <= '9';
}
bool IsIdent(char c) {
    return IsLetter(c) || IsDigit(c) || c == '-' || c == '_' || c == '\\' ||
           static_cast<unsigned char>(c) >= 0x80;
}
bool IsBlank(char c) {
    return c == ' ' || c == '\t' || c == '\r' || c == '\n' || c == '\f';
}
int Clamp255(double v) {
    return int(std::lround(std::clamp(v, 0.0, 255.0)));
}

// One number of a colour function with its unit ("%", "deg", "" ...).
struct TArg {
    double Value = 0;
    std::string_view Unit;
    size_t End = 0; // just past it in the literal
};

// A colour function read apart: enough to compute the colour and to write it back.
struct TFunction {
    std::string_view Name; // as written
    bool Hsl = false;
    bool Comma = false;
    bool CommaBlank = false; // ", " rather than ","
    TArg Args[3];
    bool HasAlpha = false;
    TArg Alpha;
    size_t Close = 0; // the ')'
};

bool ReadNumber(std::string_view s, size_t& i, TArg& arg) {
    size_t start = i;
    if (i < s.size() && (s[i] == '+' || s[i] == '-')) ++i;
    size_t digits = i;
    while (i < s.size() && IsDigit(s[i]))
        ++i;
    if (i < s.size() && s[i] == '.') {
        ++i;
        while (i < s.size() && IsDigit(s[i]))
            ++i;
    }
    if (i == digits || (i == digits + 1 && s[digits] == '.')) {
        i = start;
        return false;
    }
    if (i + 1 < s.size() && (s[i] == 'e' || s[i] == 'E') &&
        (IsDigit(s[i + 1]) ||
         ((s[i + 1] == '+' || s[i + 1] == '-') && i + 2 < s.size() && IsDigit(s[i + 2])))) {
        i += 2;
        while (i < s.size() && IsDigit(s[i]))
            ++i;
    }
    arg.Value = std::strtod(std::string(s.substr(start, i - start)).c_str(), nullptr);
    size_t unit = i;
    if (i < s.size() && s[i] == '%')
        ++i;
    else
        while (i < s.size() && IsLetter(s[i]))
            ++i;
    arg.Unit = s.substr(unit, i - unit);
    arg.End = i;
    return true;
}

bool UnitIs(std::string_view unit, std::string_view want) {
    return EqualsNoCase(unit, want);
}

// Reads "name(" ... ")" from the start of s.
std::optional<TFunction> ReadFunction(std::string_view s) {
    TFunction f;
    size_t i = 0;
    while (i < s.size() && IsLetter(s[i]))
        ++i;
    f.Name = s.substr(0, i);
    if (EqualsNoCase(f.Name, "hsl") || EqualsNoCase(f.Name, "hsla"))
        f.Hsl = true;
    else if (!EqualsNoCase(f.Name, "rgb") && !EqualsNoCase(f.Name, "rgba"))
        return std::nullopt;
    if (i >= s.size() || s[i] != '(') return std::nullopt;
    ++i;
    auto skip = [&] {
        bool any = false;
        while (i < s.size() && IsBlank(s[i])) {
            ++i;
            any = true;
        }
        return any;
    };
    skip();
    for (int k = 0; k < 3; ++k) {
        if (k > 0) {
            bool blank = skip();
            if (i < s.size() && s[i] == ',') {
                if (k == 1) f.Comma = true;
                if (!f.Comma) return std::nullopt;
                ++i;
                if (k == 1) f.CommaBlank = i < s.size() && IsBlank(s[i]);
                skip();
            } else if (f.Comma || !blank) {
                return std::nullopt;
            }
        }
        if (!ReadNumber(s, i, f.Args[k])) return std::nullopt;
    }
    size_t afterThird = i;
    skip();
    if (i < s.size() && (s[i] == (f.Comma ? ',' : '/'))) {
        ++i;
        skip();
        if (!ReadNumber(s, i, f.Alpha)) return std::nullopt;
        f.HasAlpha = true;
        skip();
    }
    (void)afterThird;
    if (i >= s.size() || s[i] != ')') return std::nullopt;
    f.Close = i;
    // Units: channels are plain or percentages, a hue plain or an angle.
    for (int k = 0; k < 3; ++k) {
        std::string_view u = f.Args[k].Unit;
        bool ok = u.empty() || u == "%";
        if (f.Hsl && k == 0)
            ok = u.empty() || UnitIs(u, "deg") || UnitIs(u, "rad") || UnitIs(u, "grad") ||
                 UnitIs(u, "turn");
        if (!ok) return std::nullopt;
    }
    if (f.HasAlpha && !f.Alpha.Unit.empty() && f.Alpha.Unit != "%") return std::nullopt;
    return f;
}

double HueDegrees(const TArg& a) {
    if (UnitIs(a.Unit, "rad")) return a.Value * 180.0 / 3.14159265358979323846;
    if (UnitIs(a.Unit, "grad")) return a.Value * 0.9;
    if (UnitIs(a.Unit, "turn")) return a.Value * 360.0;
    return a.Value;
}

std::uint32_t HslToRgb(double h, double s, double l) {
    h = std::fmod(std::fmod(h, 360.0) + 360.0, 360.0);
    s = std::clamp(s, 0.0, 1.0);
    l = std::clamp(l, 0.0, 1.0);
    auto f = [&](double n) {
        double k = std::fmod(n + h / 30.0, 12.0);
        double a = s * std::min(l, 1 - l);
        return l - a * std::max(-1.0, std::min({k - 3, 9 - k, 1.0}));
    };
    return std::uint32_t(Clamp255(f(0) * 255)) << 16 | std::uint32_t(Clamp255(f(8) * 255)) << 8 |
           std::uint32_t(Clamp255(f(4) * 255));
}

TColorLiteral FromFunction(const TFunction& f, size_t length) {
    TColorLiteral c;
    c.Length = int(length);
    c.Notation = f.Hsl ? cnHsl : cnRgb;
    auto fraction = [](const TArg& a) { return a.Unit == "%" ? a.Value / 100 : a.Value; };
    if (f.Hsl) {
        c.Rgb = HslToRgb(HueDegrees(f.Args[0]), f.Args[1].Value / 100, f.Args[2].Value / 100);
    } else {
        for (int k = 0; k < 3; ++k) {
            double v = f.Args[k].Unit == "%" ? f.Args[k].Value * 255 / 100 : f.Args[k].Value;
            c.Rgb = c.Rgb << 8 | std::uint32_t(Clamp255(v));
        }
    }
    if (f.HasAlpha) c.Alpha = std::uint8_t(Clamp255(fraction(f.Alpha) * 255));
    return c;
}

std::optional<TColorLiteral> ParseHex(std::string_view s) {
    if (s.empty() || s[0] != '#') return std::nullopt;
    size_t n = 1;
    while (n < s.size() && IsHex(s[n]))
        ++n;
    const size_t digits = n - 1;
    if (digits != 3 && digits != 4 && digits != 6 && digits != 8) return std::nullopt;
    if (n < s.size() && IsIdent(s[n])) return std::nullopt; // "#12345g", "#abcd-x"
    TColorLiteral c;
    c.Length = int(n);
    const bool shortForm = digits <= 4;
    auto channel = [&](size_t k) {
        return shortForm ? HexValue(s[1 + k]) * 17
                         : HexValue(s[1 + 2 * k]) * 16 + HexValue(s[2 + 2 * k]);
    };
    c.Rgb = std::uint32_t(channel(0)) << 16 | std::uint32_t(channel(1)) << 8 |
            std::uint32_t(channel(2));
    if (digits == 4 || digits == 8) c.Alpha = std::uint8_t(channel(3));
    return c;
}

std::string Hex2(int v) {
    static const char digits[] = "0123456789ABCDEF";
    return {digits[(v >> 4) & 15], digits[v & 15]};
}

// `v` with at most `decimals` digits after the point, and no trailing zeros.
std::string Number(double v, int decimals = 0) {
    char buf[64];
    std::snprintf(buf, sizeof buf, "%.*f", decimals, v);
    std::string out(buf);
    if (out.find('.') != std::string::npos) {
        while (out.back() == '0')
            out.pop_back();
        if (out.back() == '.') out.pop_back();
    }
    return out == "-0" ? "0" : out;
}

// The selector or at-rule head test: the next of "{", ";", "}" after `from` is a "{".
bool InHead(std::string_view text, size_t from) {
    size_t k = text.find_first_of("{;}", from);
    return k != std::string_view::npos && text[k] == '{';
}

} // namespace

std::optional<TColorLiteral> ParseColor(std::string_view s) {
    std::optional<TColorLiteral> c;
    if (!s.empty() && s[0] == '#') {
        c = ParseHex(s);
    } else if (auto f = ReadFunction(s)) {
        c = FromFunction(*f, f->Close + 1);
    } else if (auto rgb = FindNamedColor(s)) {
        c = TColorLiteral{0, int(s.size()), *rgb, 255, cnNamed};
    }
    if (c && size_t(c->Length) != s.size()) return std::nullopt;
    return c;
}

std::vector<TColorLiteral> FindColors(std::string_view text) {
    std::vector<TColorLiteral> out;
    const size_t n = text.size();
    size_t i = 0;
    while (i < n) {
        const char c = text[i];
        const char before = i > 0 ? text[i - 1] : ' ';
        if (c == '#' && !IsIdent(before) && before != '&') {
            if (auto hex = ParseHex(text.substr(i)); hex && !InHead(text, i)) {
                hex->Start = int(i);
                out.push_back(*hex);
                i += size_t(hex->Length);
                continue;
            }
            ++i;
            continue;
        }
        if (!IsLetter(c)) {
            ++i;
            continue;
        }
        size_t end = i;
        while (end < n && IsIdent(text[end]))
            ++end;
        // A word standing alone: not part of a class, id, at-rule, path or quoted name.
        const bool alone = !IsIdent(before) && before != '.' && before != '#' && before != '@' &&
                           before != '/' && before != '"' && before != '\'' && before != '$';
        if (alone && end < n && text[end] == '(') {
            if (auto f = ReadFunction(text.substr(i))) {
                TColorLiteral lit = FromFunction(*f, f->Close + 1);
                lit.Start = int(i);
                out.push_back(lit);
                i += size_t(lit.Length);
                continue;
            }
        } else if (alone && end - i >= 3 && end - i <= 20 &&
                   (end >= n || (text[end] != '.' && text[end] != ':' && text[end] != '"' &&
                                 text[end] != '\''))) {
            if (auto rgb = FindNamedColor(text.substr(i, end - i)); rgb && !InHead(text, end)) {
                out.push_back({int(i), int(end - i), *rgb, 255, cnNamed});
            }
        }
        i = end;
    }
    return out;
}

std::string ReplaceColor(std::string_view literal, std::uint32_t rgb) {
    const int r = int(rgb >> 16 & 0xFF), g = int(rgb >> 8 & 0xFF), b = int(rgb & 0xFF);
    auto hex6 = [&] { return "#" + Hex2(r) + Hex2(g) + Hex2(b); };
    auto lower = [](std::string s) {
        std::transform(s.begin(), s.end(), s.begin(),
                       [](char ch) { return ch >= 'A' && ch <= 'Z' ? char(ch | 0x20) : ch; });
        return s;
    };
    if (!literal.empty() && literal[0] == '#') {
        const auto old = ParseHex(literal);
        if (!old) return hex6();
        const size_t digits = literal.size() - 1;
        const bool hasAlpha = digits == 4 || digits == 8;
        const bool lowerCase = std::any_of(literal.begin(), literal.end(),
                                           [](char ch) { return ch >= 'a' && ch <= 'f'; });
        std::string alpha = hasAlpha ? Hex2(old->Alpha) : "";
        auto shortens = [](int v) { return v % 17 == 0; };
        std::string out;
        if (digits <= 4 && shortens(r) && shortens(g) && shortens(b)) {
            out = "#" + Hex2(r).substr(1) + Hex2(g).substr(1) + Hex2(b).substr(1) +
                  (hasAlpha ? alpha.substr(1) : "");
        } else {
            out = hex6() + alpha;
        }
        return lowerCase ? lower(out) : out;
    }
    if (auto f = ReadFunction(literal); f && f->Close + 1 == literal.size()) {
        std::string sep = f->Comma ? (f->CommaBlank ? ", " : ",") : " ";
        double hsl[3] = {};
        if (f->Hsl) {
            const double rf = r / 255.0, gf = g / 255.0, bf = b / 255.0;
            const double mx = std::max({rf, gf, bf}), mn = std::min({rf, gf, bf});
            const double l = (mx + mn) / 2, d = mx - mn;
            double h = 0, s = 0;
            if (d > 0) {
                s = d / (1 - std::fabs(2 * l - 1));
                if (mx == rf)
                    h = 60 * std::fmod((gf - bf) / d + 6, 6.0);
                else if (mx == gf)
                    h = 60 * ((bf - rf) / d + 2);
                else
                    h = 60 * ((rf - gf) / d + 4);
            }
            hsl[0] = h, hsl[1] = s * 100, hsl[2] = l * 100;
        }
        // Name, the blanks after "(", the alpha and what follows it are kept as written.
        const size_t open = f->Name.size() + 1;
        size_t firstArg = open;
        while (firstArg < literal.size() && IsBlank(literal[firstArg]))
            ++firstArg;
        auto write = [&](int decimals) {
            std::string args[3];
            if (f->Hsl) {
                const bool degrees = !f->Args[0].Unit.empty();
                args[0] = Number(hsl[0], decimals) + (degrees ? "deg" : "");
                args[1] = Number(hsl[1], decimals) + (f->Args[1].Unit == "%" ? "%" : "");
                args[2] = Number(hsl[2], decimals) + (f->Args[2].Unit == "%" ? "%" : "");
            } else {
                const int v[3] = {r, g, b};
                for (int k = 0; k < 3; ++k)
                    args[k] = f->Args[k].Unit == "%" ? Number(v[k] * 100 / 255.0, decimals) + "%"
                                                     : std::to_string(v[k]);
            }
            return std::string(literal.substr(0, firstArg)) + args[0] + sep + args[1] + sep +
                   args[2] + std::string(literal.substr(f->Args[2].End));
        };
        // Whole numbers where they give the colour back exactly, else as few decimals as do:
        // a rounded percentage or hue would give the user a colour next to the one chosen.
        std::string out;
        for (int decimals = 0; decimals <= 3; ++decimals) {
            out = write(decimals);
            const auto back = ParseColor(out);
            if (back && back->Rgb == rgb) break;
        }
        return out;
    }
    if (FindNamedColor(literal)) {
        if (FindNamedColor(literal) == rgb) return std::string(literal);
        for (const TNamedColor& named : NamedColors())
            if (named.Rgb == rgb) {
                const bool upper = std::all_of(literal.begin(), literal.end(),
                                               [](char ch) { return ch >= 'A' && ch <= 'Z'; });
                std::string name(named.Name);
                if (upper)
                    std::transform(name.begin(), name.end(), name.begin(),
                                   [](char ch) { return char(ch & ~0x20); });
                return name;
            }
    }
    return hex6();
}

} // namespace quillet::css
