#include "platform/qt/QtClipboard.h"

#include <QClipboard>
#include <QGuiApplication>
#include <QMimeData>

namespace quillet {

QString ClipboardMimeType(std::string_view format) {
    if (format == cbfText) return QStringLiteral("text/plain");
    if (format == cbfRichText) return QStringLiteral("text/rtf");
    if (format == cbfHtml) return QStringLiteral("text/html");
    return QString::fromUtf8(format.data(), qsizetype(format.size()));
}

bool TQtClipboard::HasFormat(std::string_view format) const {
    const QMimeData* data = QGuiApplication::clipboard()->mimeData();
    if (!data) return false;
    if (format == cbfText) return data->hasText();
    return data->hasFormat(ClipboardMimeType(format));
}

std::string TQtClipboard::Get(std::string_view format) const {
    const QMimeData* data = QGuiApplication::clipboard()->mimeData();
    if (!data) return {};
    if (format == cbfText) return data->text().toStdString();
    QByteArray bytes = data->data(ClipboardMimeType(format));
    return std::string(bytes.constData(), size_t(bytes.size()));
}

void TQtClipboard::Clear() {
    QGuiApplication::clipboard()->setMimeData(new QMimeData);
}

void TQtClipboard::Set(std::string_view format, std::string_view bytes) {
    // The clipboard owns its data: copy what is there and add the new format.
    auto* next = new QMimeData;
    if (const QMimeData* now = QGuiApplication::clipboard()->mimeData())
        for (const QString& type : now->formats())
            next->setData(type, now->data(type));
    QByteArray raw(bytes.data(), qsizetype(bytes.size()));
    if (format == cbfText)
        next->setText(QString::fromUtf8(raw));
    else
        next->setData(ClipboardMimeType(format), raw);
    QGuiApplication::clipboard()->setMimeData(next);
}

} // namespace quillet
