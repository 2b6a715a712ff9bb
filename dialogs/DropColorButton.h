// A push button that shows a colour and drops down a palette of colours to choose from.
#pragma once

#include "dialogs/ColorArray.h"

#include <QAbstractButton>
#include <QPointer>
#include <QWidget>

#include <functional>
#include <optional>
#include <string>
#include <vector>

class QPushButton;

namespace quillet {

// The colour dialog the palette's "Other" button opens: starts from `initial`, takes the
// custom colours as "ColorA=..." lines and gives them back changed when the user confirmed.
using TColorDialogFunc =
    std::function<std::optional<TColor>(TColor initial, std::vector<std::string>& customLines)>;
// The platform's colour dialog with the custom colours exchanged through the lines.
std::optional<TColor> RunPlatformColorDialog(TColor initial, std::vector<std::string>& customLines);

// The borderless palette window: a 4 x 5 grid, a hot cell under the mouse, an "Other" button
// with its swatch. It closes after a choice, on Escape and when the application loses
// activation (but never while the colour dialog is open), and deletes itself.
class TTCM_DropColorButtonPalette : public QWidget {
public:
    explicit TTCM_DropColorButtonPalette(QWidget* owner);

    // Everything the palette shows; `color` marks its grid cell, or becomes the swatch's
    // colour when no cell holds it.
    void Setup(const std::string& otherCaption, TColor otherColor, TColor color,
               const TColorArrayClass& grid, const TColorArrayClass& custom);

    std::function<void(TColor)> OnColorChosen;
    std::function<void(const TColorArrayClass& custom)> OnPaletteClosed;
    TColorDialogFunc ColorDialog = RunPlatformColorDialog;

    palette::THit HotCell() const { return FHot; }
    palette::THit Selected() const { return FSelected; }
    TColor SwatchColor() const { return FSwatch; }
    const TColorArrayClass& CustomColors() const { return FCustom; }
    QPushButton* OtherButton() const { return FOther; }
    bool ColorDialogOpen() const { return FDialogOpen; }

    // The application went to the background: close unless the colour dialog is up.
    void ApplicationDeactivated();
    // Chooses the colour of a grid cell or the swatch and closes; `none` only closes.
    void Choose(palette::THit hit);
    void OtherClick();

protected:
    void paintEvent(QPaintEvent*) override;
    void mouseMoveEvent(QMouseEvent*) override;
    void mouseReleaseEvent(QMouseEvent*) override;
    void keyPressEvent(QKeyEvent*) override;
    void closeEvent(QCloseEvent*) override;

private:
    void SetHot(palette::THit hit);
    TColor HitColor(palette::THit hit) const;
    void DrawCell(class QPainter& p, const TRect& r, TColor color, bool hot, bool selected);

    QPushButton* FOther = nullptr;
    TColorArrayClass FGrid, FCustom;
    TColor FSwatch = clBtnFace;
    palette::THit FHot, FSelected;
    bool FDialogOpen = false;
    bool FClosed = false;
};

class TDropColorButton : public QAbstractButton {
public:
    explicit TDropColorButton(QWidget* parent = nullptr);
    ~TDropColorButton() override;

    TColor Color() const { return FColor; }
    // A different value repaints and raises OnColorChange.
    void SetColor(TColor value);
    TColor OtherColor() const { return FOtherColor; }
    void SetOtherColor(TColor value) { FOtherColor = value; }
    const std::string& OtherBtnCaption() const { return FOtherCaption; }
    void SetOtherBtnCaption(const std::string& value) { FOtherCaption = value; }
    const TColorArrayClass& PaletteColors() const { return FPaletteColors; }
    void SetPaletteColors(const TColorArrayClass& value) { FPaletteColors.Assign(value); }
    const TColorArrayClass& CustomColors() const { return FCustomColors; }
    void SetCustomColors(const TColorArrayClass& value) { FCustomColors.Assign(value); }
    // 0 the default look, 1 with an extra dark frame; other values are ignored.
    int Style() const { return FStyle; }
    void SetStyle(int value);
    bool Flat() const { return FFlat; }
    void SetFlat(bool value);
    const std::string& CustomColorsKey() const { return FCustomColorsKey; }
    void SetCustomColorsKey(const std::string& value) { FCustomColorsKey = value; }

    std::function<void(TDropColorButton&)> OnColorChange;
    // The colour dialog the palettes of this button open.
    TColorDialogFunc ColorDialog = RunPlatformColorDialog;

    // The palette while it is open.
    TTCM_DropColorButtonPalette* Palette() const { return FPalette; }
    // Opens the palette under the button (or above it near the bottom of `workArea`, the
    // screen's available area when empty); a click on the button does this.
    void DropDown(QRect workArea = {});

    QSize sizeHint() const override { return {45, 22}; }

protected:
    void paintEvent(QPaintEvent*) override;

private:
    void PaletteClosed(const TColorArrayClass& custom);

    TColor FColor = clBlack;
    TColor FOtherColor = clBtnFace;
    std::string FOtherCaption;
    TColorArrayClass FPaletteColors = DefaultPaletteColors();
    TColorArrayClass FCustomColors = DefaultCustomColors();
    int FStyle = 0;
    bool FFlat = false;
    std::string FCustomColorsKey;
    QPointer<TTCM_DropColorButtonPalette> FPalette;
};

} // namespace quillet
