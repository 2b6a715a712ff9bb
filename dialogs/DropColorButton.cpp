#include "dialogs/DropColorButton.h"

#include "platform/Platform.h"
#include "platform/qt/QtConvert.h"
#include "resources/Strings.h"

#include <QApplication>
#include <QCloseEvent>
#include <QColorDialog>
#include <QGuiApplication>
#include <QKeyEvent>
#include <QPainter>
#include <QPushButton>
#include <QScreen>
#include <QStyleOptionButton>
#include <QStylePainter>
#include <qdrawutil.h>

namespace quillet {

namespace {
QRect ToQ(const TRect& r) {
    return QRect(r.Left, r.Top, r.Width(), r.Height());
}
TColor Rgb(TColor c) {
    return FromQColor(ToQColor(c));
}
} // namespace

std::optional<TColor> RunPlatformColorDialog(TColor initial,
                                             std::vector<std::string>& customLines) {
    TColorArrayClass custom = DefaultCustomColors();
    ReadCustomColorLines(customLines, custom);
    for (int k = 0; k < 16; ++k)
        QColorDialog::setCustomColor(k, ToQColor(custom.Colors(k % 8 + 1, k / 8 + 1)));
    std::optional<TColor> chosen = Platform().Dialogs->ChooseColor(Rgb(initial));
    if (chosen) {
        for (int k = 0; k < 16; ++k)
            custom.SetColors(k % 8 + 1, k / 8 + 1, FromQColor(QColorDialog::customColor(k)));
        customLines = CustomColorLines(custom);
    }
    return chosen;
}

// --- The palette window -------------------------------------------------------

TTCM_DropColorButtonPalette::TTCM_DropColorButtonPalette(QWidget* owner)
    : QWidget(owner, Qt::Tool | Qt::FramelessWindowHint | Qt::WindowStaysOnTopHint) {
    setAttribute(Qt::WA_DeleteOnClose);
    setMouseTracking(true);
    setFocusPolicy(Qt::StrongFocus);
    setFixedSize(palette::Width, palette::Height);
    FOther = new QPushButton(this);
    FOther->setFocusPolicy(Qt::NoFocus);
    FOther->setGeometry(1, palette::OtherTop, palette::OtherWidth, palette::OtherHeight);
    connect(FOther, &QPushButton::clicked, this, [this] { OtherClick(); });
    connect(qApp, &QGuiApplication::applicationStateChanged, this, [this](Qt::ApplicationState s) {
        if (s != Qt::ApplicationActive) ApplicationDeactivated();
    });
}

void TTCM_DropColorButtonPalette::Setup(const std::string& otherCaption, TColor otherColor,
                                        TColor color, const TColorArrayClass& grid,
                                        const TColorArrayClass& custom) {
    FOther->setText(ToQString(otherCaption));
    FGrid.Assign(grid);
    FCustom.Assign(custom);
    FSwatch = otherColor;
    FSelected = {};
    for (int x = 1; x <= FGrid.XSize() && x <= palette::Columns && FSelected.IsNone(); ++x)
        for (int y = 1; y <= FGrid.YSize() && y <= palette::Rows; ++y)
            if (Rgb(FGrid.Colors(x, y)) == Rgb(color)) {
                FSelected = {x, y};
                break;
            }
    if (FSelected.IsNone()) FSwatch = color;
    update();
}

TColor TTCM_DropColorButtonPalette::HitColor(palette::THit hit) const {
    if (hit.IsSwatch()) return FSwatch;
    return FGrid.Colors(hit.X, hit.Y);
}

void TTCM_DropColorButtonPalette::SetHot(palette::THit hit) {
    if (hit == FHot) return;
    FHot = hit;
    update();
}

void TTCM_DropColorButtonPalette::Choose(palette::THit hit) {
    if (FDialogOpen) return;
    bool inGrid =
        hit.IsSwatch() || (hit.IsCell() && hit.X <= FGrid.XSize() && hit.Y <= FGrid.YSize());
    if (inGrid && OnColorChosen) OnColorChosen(HitColor(hit));
    close();
}

void TTCM_DropColorButtonPalette::OtherClick() {
    if (FDialogOpen) return;
    std::vector<std::string> lines = CustomColorLines(FCustom);
    FDialogOpen = true;
    std::optional<TColor> chosen;
    try {
        chosen = ColorDialog ? ColorDialog(FSwatch, lines) : std::nullopt;
    } catch (...) {
        FDialogOpen = false;
        throw;
    }
    FDialogOpen = false;
    if (!chosen) return;
    FSwatch = *chosen;
    ReadCustomColorLines(lines, FCustom);
    update();
    if (OnColorChosen) OnColorChosen(*chosen);
    close();
}

void TTCM_DropColorButtonPalette::ApplicationDeactivated() {
    if (!FDialogOpen) close();
}

void TTCM_DropColorButtonPalette::DrawCell(QPainter& p, const TRect& r, TColor color, bool hot,
                                           bool selected) {
    QRect q = ToQ(r);
    const QPalette& pal = palette();
    qDrawShadePanel(&p, q, pal, !hot, 1);
    QRect inner = q.adjusted(2, 2, -2, -2);
    if (selected) {
        p.setPen(pal.color(QPalette::WindowText));
        p.setBrush(Qt::NoBrush);
        p.drawRect(inner.adjusted(0, 0, -1, -1));
        inner.adjust(1, 1, -1, -1);
    }
    p.fillRect(inner, ToQColor(color));
}

void TTCM_DropColorButtonPalette::paintEvent(QPaintEvent*) {
    QPainter p(this);
    const QPalette& pal = palette();
    p.fillRect(rect(), pal.color(QPalette::Window));
    for (int x = 1; x <= palette::Columns && x <= FGrid.XSize(); ++x)
        for (int y = 1; y <= palette::Rows && y <= FGrid.YSize(); ++y)
            DrawCell(p, palette::CellRect(x, y), FGrid.Colors(x, y), FHot == palette::THit{x, y},
                     FSelected == palette::THit{x, y});
    p.setPen(pal.color(QPalette::Dark));
    p.drawLine(2, palette::SeparatorY, palette::Width - 2, palette::SeparatorY);
    p.setPen(pal.color(QPalette::Light));
    p.drawLine(2, palette::SeparatorY + 1, palette::Width - 2, palette::SeparatorY + 1);
    DrawCell(p, palette::SwatchRect, FSwatch, FHot.IsSwatch(), false);
}

void TTCM_DropColorButtonPalette::mouseMoveEvent(QMouseEvent* e) {
    palette::THit hit = palette::HitTest(e->position().toPoint().x(), e->position().toPoint().y());
    if (!hit.IsNone()) SetHot(hit);
}

void TTCM_DropColorButtonPalette::mouseReleaseEvent(QMouseEvent* e) {
    if (e->button() != Qt::LeftButton) return;
    Choose(palette::HitTest(e->position().toPoint().x(), e->position().toPoint().y()));
}

// Arrows move the hot cell (the swatch sits below the last row), Return or Space chooses it.
void TTCM_DropColorButtonPalette::keyPressEvent(QKeyEvent* e) {
    palette::THit h = FHot.IsNone() ? (FSelected.IsNone() ? palette::THit{1, 1} : FSelected) : FHot;
    switch (e->key()) {
    case Qt::Key_Escape:
        close();
        return;
    case Qt::Key_Return:
    case Qt::Key_Enter:
    case Qt::Key_Space:
        if (!FHot.IsNone()) Choose(FHot);
        return;
    case Qt::Key_Left:
        if (h.IsCell() && h.X > 1) --h.X;
        break;
    case Qt::Key_Right:
        if (h.IsCell() && h.X < palette::Columns) ++h.X;
        break;
    case Qt::Key_Up:
        if (h.IsSwatch())
            h = {palette::Columns, palette::Rows};
        else if (h.Y > 1)
            --h.Y;
        break;
    case Qt::Key_Down:
        if (h.IsCell()) h = h.Y < palette::Rows ? palette::THit{h.X, h.Y + 1} : palette::THit{0, 0};
        break;
    default:
        QWidget::keyPressEvent(e);
        return;
    }
    SetHot(h);
}

void TTCM_DropColorButtonPalette::closeEvent(QCloseEvent* e) {
    if (FDialogOpen) {
        e->ignore();
        return;
    }
    e->accept();
    if (FClosed) return;
    FClosed = true;
    if (OnPaletteClosed) OnPaletteClosed(FCustom);
}

// --- The button -----------------------------------------------------------------

TDropColorButton::TDropColorButton(QWidget* parent)
    : QAbstractButton(parent), FOtherCaption(LoadStr(SColorOtherCaption)) {
    setFocusPolicy(Qt::StrongFocus);
    setAttribute(Qt::WA_Hover);
    resize(sizeHint());
    connect(this, &QAbstractButton::clicked, this, [this] {
        if (FPalette)
            FPalette->close();
        else
            DropDown();
    });
}

TDropColorButton::~TDropColorButton() {
    // The palette is a child window; it must not call back into a half-destroyed button.
    if (FPalette) {
        FPalette->OnPaletteClosed = nullptr;
        FPalette->OnColorChosen = nullptr;
    }
}

void TDropColorButton::SetColor(TColor value) {
    if (value == FColor) return;
    FColor = value;
    update();
    if (OnColorChange) OnColorChange(*this);
}

void TDropColorButton::SetStyle(int value) {
    if (value != 0 && value != 1) return;
    FStyle = value;
    update();
}

void TDropColorButton::SetFlat(bool value) {
    FFlat = value;
    update();
}

void TDropColorButton::DropDown(QRect workArea) {
    if (FPalette) return;
    if (workArea.isEmpty()) {
        QScreen* s = screen() ? screen() : QGuiApplication::primaryScreen();
        workArea = s ? s->availableGeometry() : QRect(0, 0, 1 << 16, 1 << 16);
    }
    QPoint topLeft = mapToGlobal(QPoint(0, 0));
    TRect button{topLeft.x(), topLeft.y(), topLeft.x() + width(), topLeft.y() + height()};
    TPoint at = palette::Placement(button, FromQRect(workArea));
    auto* pal = new TTCM_DropColorButtonPalette(this);
    pal->ColorDialog = ColorDialog;
    pal->Setup(FOtherCaption, FOtherColor, FColor, FPaletteColors, FCustomColors);
    pal->OnColorChosen = [this](TColor c) { SetColor(c); };
    pal->OnPaletteClosed = [this](const TColorArrayClass& custom) { PaletteClosed(custom); };
    pal->move(at.X, at.Y);
    FPalette = pal;
    update();
    pal->show();
    pal->activateWindow();
    pal->setFocus();
}

void TDropColorButton::PaletteClosed(const TColorArrayClass& custom) {
    FCustomColors.Assign(custom);
    FPalette = nullptr;
    update();
}

void TDropColorButton::paintEvent(QPaintEvent*) {
    QStylePainter p(this);
    const QPalette& pal = palette();
    bool down = isDown() || FPalette;
    bool flatNow = FFlat && !down && !underMouse() && !hasFocus();
    QStyleOptionButton opt;
    opt.initFrom(this);
    opt.state |= down ? QStyle::State_Sunken : QStyle::State_Raised;
    if (flatNow) opt.features |= QStyleOptionButton::Flat;
    p.drawControl(QStyle::CE_PushButtonBevel, opt);
    if (FStyle == 1 && !FFlat) {
        p.setPen(pal.color(QPalette::Shadow));
        p.setBrush(Qt::NoBrush);
        p.drawRect(rect().adjusted(0, 0, -1, -1));
    }
    if (hasFocus()) {
        QStyleOptionFocusRect focus;
        focus.initFrom(this);
        focus.rect = rect().adjusted(3, 3, -3, -3);
        p.drawPrimitive(QStyle::PE_FrameFocusRect, focus);
    }
    int shift = down ? 1 : 0;
    QRect swatch(QPoint(4 + shift, 4 + shift), QPoint(width() - 11 + shift, height() - 5 + shift));
    if (isEnabled()) {
        p.setPen(pal.color(QPalette::Dark));
        p.setBrush(ToQColor(FColor));
    } else {
        p.setPen(pal.color(QPalette::Disabled, QPalette::Mid));
        p.setBrush(QBrush(pal.color(QPalette::Disabled, QPalette::Mid), Qt::Dense4Pattern));
    }
    p.drawRect(swatch);
    // The etched line and the arrow in the last ten pixels.
    int lineX = width() - 9 + shift;
    p.setPen(pal.color(QPalette::Dark));
    p.drawLine(lineX, 4 + shift, lineX, height() - 5 + shift);
    p.setPen(pal.color(QPalette::Light));
    p.drawLine(lineX + 1, 4 + shift, lineX + 1, height() - 5 + shift);
    QColor arrow =
        pal.color(isEnabled() ? QPalette::Active : QPalette::Disabled, QPalette::ButtonText);
    int ax = width() - 6 + shift, ay = height() / 2 - 1 + shift;
    p.setPen(Qt::NoPen);
    p.setBrush(arrow);
    const QPoint tri[3] = {{ax - 2, ay}, {ax + 3, ay}, {ax, ay + 3}};
    p.setRenderHint(QPainter::Antialiasing, false);
    p.drawPolygon(tri, 3);
}

} // namespace quillet
