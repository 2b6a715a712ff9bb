#include "platform/qt/QtWebBrowser.h"

#include "platform/qt/QtConvert.h"

#include <QFileInfo>
#include <QRegularExpression>

namespace quillet {

TQtWebBrowser::TQtWebBrowser(QWidget* parent) : QWebEngineView(parent) {}

QUrl BrowserUrl(const std::string& location) {
    QString text = ToQString(location);
    // "C:" or "/x" are paths; "file:", "http:" ... are URLs.
    static const QRegularExpression scheme("^[A-Za-z][A-Za-z0-9+.-]+:");
    if (scheme.match(text).hasMatch()) return QUrl(text);
    return QUrl::fromLocalFile(QFileInfo(text).absoluteFilePath());
}

void TQtWebBrowser::Navigate(const std::string& location) {
    load(BrowserUrl(location));
}

void TQtWebBrowser::Refresh() {
    reload();
}

} // namespace quillet
