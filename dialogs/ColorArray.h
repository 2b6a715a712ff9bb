// The colour button's data without a display: colour arrays, custom-colour lines, palette geometry.
#pragma once

#include "platform/Errors.h"
#include "platform/Types.h"

#include <string>
#include <vector>

namespace quillet {

class EColorArrayIndexError : public EQuilletError {
public:
    using EQuilletError::EQuilletError;
};

// A two-dimensional colour array addressed by column x (1..XSize) and row y (1..YSize).
class TColorArrayClass {
public:
    TColorArrayClass() = default;
    TColorArrayClass(int xSize, int ySize);

    int XSize() const { return FXSize; }
    int YSize() const { return FYSize; }
    // Reallocates the cells; a negative size counts as 0.
    void SetXSize(int value);
    void SetYSize(int value);

    TColor Colors(int x, int y) const;
    void SetColors(int x, int y, TColor color);
    void Assign(const TColorArrayClass& source) { *this = source; }
    bool operator==(const TColorArrayClass&) const = default;

    // Stored form: "XSize = N", "YSize = N", then "Colors = (...)" in column order.
    std::string Stored() const;
    // Reads a stored form; bad text raises EQuilletError and leaves this array unchanged.
    void LoadStored(const std::string& text);

private:
    size_t Index(int x, int y) const;
    int FXSize = 0, FYSize = 0;
    std::vector<TColor> FCells; // column by column
};

// The 4 x 5 grid the button starts with.
TColorArrayClass DefaultPaletteColors();
// 8 x 2 custom colours, all white.
TColorArrayClass DefaultCustomColors();

// The colour dialog's custom colours as lines "ColorA=00FFFFFF" (the colour value in eight
// hexadecimal digits): A..H run down column 1, I..P down column 2.
std::vector<std::string> CustomColorLines(const TColorArrayClass& custom);
// Reads the lines back; a letter missing or a value that does not parse gives white.
void ReadCustomColorLines(const std::vector<std::string>& lines, TColorArrayClass& custom);

// Palette window geometry.
namespace palette {
constexpr int CellSize = 18;
constexpr int Columns = 4, Rows = 5;
constexpr int Width = 72;
constexpr int SeparatorY = 93;
constexpr int OtherTop = 98, OtherHeight = 21;
constexpr int Height = OtherTop + OtherHeight + 2; // 121
constexpr int OtherWidth = Width - 22;
// The swatch beside "Other": 18 x 18 at the right edge, centred on the button.
constexpr TRect SwatchRect{Width - 19, OtherTop + (OtherHeight - CellSize) / 2, Width - 1,
                           OtherTop + (OtherHeight - CellSize) / 2 + CellSize};
// Cell (x, y) from 1, or (0, 0) for the swatch.
struct THit {
    int X = -1, Y = -1;
    bool IsCell() const { return X > 0; }
    bool IsSwatch() const { return X == 0 && Y == 0; }
    bool IsNone() const { return X < 0; }
    bool operator==(const THit&) const = default;
};
THit HitTest(int x, int y);
TRect CellRect(int x, int y);
// Top-left corner of the palette for a button at `button` (screen coordinates) inside `workArea`.
TPoint Placement(const TRect& button, const TRect& workArea);
} // namespace palette

} // namespace quillet
