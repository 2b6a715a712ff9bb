#include "platform/qt/QtConvert.h"

#include <QGuiApplication>
#include <QPalette>

namespace quillet {

namespace {

// The platform's system colour indexes that the editor uses, mapped to palette roles.
QColor SystemColor(int index) {
    QPalette pal = QGuiApplication::palette();
    switch (index) {
    case 5: // window background
        return pal.color(QPalette::Base);
    case 8: // window text
        return pal.color(QPalette::Text);
    case 13: // highlight
        return pal.color(QPalette::Highlight);
    case 14: // highlighted text
        return pal.color(QPalette::HighlightedText);
    case 15: // button face
        return pal.color(QPalette::Button);
    case 16: // button shadow
        return pal.color(QPalette::Dark);
    case 17: // grey text
        return pal.color(QPalette::Disabled, QPalette::Text);
    case 18: // button text
        return pal.color(QPalette::ButtonText);
    case 20: // button highlight
        return pal.color(QPalette::Light);
    case 24: // info background
        return pal.color(QPalette::ToolTipBase);
    case 23: // info text
        return pal.color(QPalette::ToolTipText);
    default:
        return pal.color(QPalette::Window);
    }
}

} // namespace

QColor ToQColor(TColor color) {
    if (IsSystemColor(color)) return SystemColor(int(color & 0xFF));
    return QColor(GetRValue(color), GetGValue(color), GetBValue(color));
}

TColor FromQColor(const QColor& color) {
    return RGB(color.red(), color.green(), color.blue());
}

} // namespace quillet
