#include "dialogs/ColorArray.h"

#include "resources/Strings.h"

#include <cctype>
#include <cstdio>
#include <cstdlib>
#include <sstream>

namespace quillet {

namespace {
// Stored arrays larger than this are refused rather than allocated.
constexpr int MaxStoredSide = 1024;

[[noreturn]] void BadForm(const std::string& why) {
    throw EQuilletError(Format(LoadStr(SColorArrayBadForm), why));
}
} // namespace

TColorArrayClass::TColorArrayClass(int xSize, int ySize) {
    FXSize = xSize < 0 ? 0 : xSize;
    FYSize = ySize < 0 ? 0 : ySize;
    FCells.assign(size_t(FXSize) * size_t(FYSize), 0);
}

void TColorArrayClass::SetXSize(int value) {
    if (value < 0) value = 0;
    if (value == FXSize) return;
    FXSize = value;
    FCells.assign(size_t(FXSize) * size_t(FYSize), 0);
}

void TColorArrayClass::SetYSize(int value) {
    if (value < 0) value = 0;
    if (value == FYSize) return;
    FYSize = value;
    FCells.assign(size_t(FXSize) * size_t(FYSize), 0);
}

size_t TColorArrayClass::Index(int x, int y) const {
    if (x < 1 || x > FXSize || y < 1 || y > FYSize)
        throw EColorArrayIndexError(LoadStr(SColorArrayIndex));
    return size_t(x - 1) * size_t(FYSize) + size_t(y - 1);
}

TColor TColorArrayClass::Colors(int x, int y) const {
    return FCells[Index(x, y)];
}

void TColorArrayClass::SetColors(int x, int y, TColor color) {
    FCells[Index(x, y)] = color;
}

std::string TColorArrayClass::Stored() const {
    std::ostringstream out;
    out << "XSize = " << FXSize << "\nYSize = " << FYSize << "\nColors = (";
    for (size_t i = 0; i < FCells.size(); ++i)
        out << (i ? " " : "") << FCells[i];
    out << ")\n";
    return out.str();
}

void TColorArrayClass::LoadStored(const std::string& text) {
    std::istringstream in(text);
    auto expect = [&](const char* name) {
        std::string word, eq;
        if (!(in >> word >> eq) || word != name || eq != "=")
            BadForm(std::string(name) + " expected");
    };
    auto side = [&](const char* name) {
        expect(name);
        long long v = -1;
        if (!(in >> v) || v < 0 || v > MaxStoredSide) BadForm(std::string("bad ") + name);
        return int(v);
    };
    int xs = side("XSize");
    int ys = side("YSize");
    expect("Colors");
    char open = 0;
    if (!(in >> open) || open != '(') BadForm("Colors expected");
    TColorArrayClass result(xs, ys);
    size_t n = 0;
    for (;;) {
        in >> std::ws;
        if (in.peek() == ')') break;
        long long v = 0;
        if (!(in >> v) || v < 0 || v > 0xFFFFFFFFll) BadForm("bad colour");
        if (n >= result.FCells.size()) BadForm("too many colours");
        result.FCells[n++] = TColor(v);
    }
    if (n != result.FCells.size()) BadForm("too few colours");
    *this = std::move(result);
}

TColorArrayClass DefaultPaletteColors() {
    static const TColor grid[5][4] = {
        {RGB(255, 255, 255), RGB(0, 0, 0), RGB(191, 191, 191), RGB(127, 127, 127)},
        {RGB(255, 0, 0), RGB(127, 0, 0), RGB(255, 255, 0), RGB(127, 127, 0)},
        {RGB(0, 255, 0), RGB(0, 127, 0), RGB(0, 255, 255), RGB(0, 127, 127)},
        {RGB(0, 0, 255), RGB(0, 0, 127), RGB(255, 0, 255), RGB(127, 0, 127)},
        {RGB(191, 215, 191), RGB(159, 191, 239), RGB(255, 247, 239), RGB(159, 159, 159)},
    };
    TColorArrayClass a(palette::Columns, palette::Rows);
    for (int y = 1; y <= palette::Rows; ++y)
        for (int x = 1; x <= palette::Columns; ++x)
            a.SetColors(x, y, grid[y - 1][x - 1]);
    return a;
}

TColorArrayClass DefaultCustomColors() {
    TColorArrayClass a(8, 2);
    for (int x = 1; x <= 8; ++x)
        for (int y = 1; y <= 2; ++y)
            a.SetColors(x, y, clWhite);
    return a;
}

// Letter k (0..15) names cell (k % 8 + 1, k / 8 + 1) of the 8 x 2 array: A..H the first
// eight, I..P the second.
std::vector<std::string> CustomColorLines(const TColorArrayClass& custom) {
    std::vector<std::string> lines;
    for (int k = 0; k < 16; ++k) {
        int x = k % 8 + 1, y = k / 8 + 1;
        TColor c = (x <= custom.XSize() && y <= custom.YSize()) ? custom.Colors(x, y) : clWhite;
        char buf[32];
        std::snprintf(buf, sizeof buf, "Color%c=%08X", char('A' + k), unsigned(c));
        lines.emplace_back(buf);
    }
    return lines;
}

void ReadCustomColorLines(const std::vector<std::string>& lines, TColorArrayClass& custom) {
    std::vector<TColor> flat(16, clWhite);
    for (const std::string& line : lines) {
        if (line.size() < 7 || line.compare(0, 5, "Color") != 0 || line[6] != '=') continue;
        int k = line[5] - 'A';
        if (k < 0 || k >= 16) continue;
        std::string digits = line.substr(7);
        bool ok = !digits.empty() && digits.size() <= 8;
        for (char ch : digits)
            ok = ok && std::isxdigit(static_cast<unsigned char>(ch));
        flat[size_t(k)] = ok ? TColor(std::strtoul(digits.c_str(), nullptr, 16)) : clWhite;
    }
    for (int k = 0; k < 16; ++k) {
        int x = k % 8 + 1, y = k / 8 + 1;
        if (x <= custom.XSize() && y <= custom.YSize()) custom.SetColors(x, y, flat[size_t(k)]);
    }
}

namespace palette {

THit HitTest(int x, int y) {
    if (SwatchRect.Contains({x, y})) return {0, 0};
    if (x < 0 || y < 0) return {};
    int cx = x / CellSize + 1, cy = y / CellSize + 1;
    if (cx > Columns || cy > Rows) return {};
    return {cx, cy};
}

TRect CellRect(int x, int y) {
    return {CellSize * x - CellSize, CellSize * y - CellSize, CellSize * x, CellSize * y};
}

TPoint Placement(const TRect& button, const TRect& workArea) {
    TPoint p{button.Left, button.Bottom};
    if (p.Y + Height > workArea.Bottom) p.Y = button.Top - Height;
    if (p.X < workArea.Left)
        p.X = workArea.Left;
    else if (p.X + Width > workArea.Right)
        p.X = workArea.Right - 78;
    return p;
}

} // namespace palette

} // namespace quillet
