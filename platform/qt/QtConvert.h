// Conversions between the core's value types and Qt's: colours, rectangles, UTF-8 text.
#pragma once

#include "platform/Types.h"
#include "platform/Utf8.h"

#include <QColor>
#include <QRect>
#include <QString>

#include <string>
#include <string_view>

namespace quillet {

// System colours (top byte 0x80) are answered from the application palette.
QColor ToQColor(TColor color);
TColor FromQColor(const QColor& color);

inline QRect ToQRect(const TRect& r) {
    return QRect(r.Left, r.Top, r.Width(), r.Height());
}
inline TRect FromQRect(const QRect& r) {
    return {r.left(), r.top(), r.left() + r.width(), r.top() + r.height()};
}

inline QString ToQString(std::string_view utf8) {
    return QString::fromUtf8(utf8.data(), qsizetype(utf8.size()));
}
// Text to draw or measure: one character for each the editor counts (Utf8.h), so a byte
// outside a well-formed sequence is one replacement character, as wide as the editor thinks.
inline QString ToQStringChars(std::string_view utf8) {
    std::u32string chars;
    chars.reserve(utf8.size());
    for (size_t i = 0; i < utf8.size();)
        chars += DecodeUtf8(utf8, i);
    return QString::fromUcs4(chars.data(), qsizetype(chars.size()));
}
inline std::string FromQString(const QString& s) {
    return s.toUtf8().toStdString();
}

} // namespace quillet
