// The embedded browser on the Qt web engine.
#pragma once

#include "platform/WebBrowser.h"

#include <QPointF>
#include <QWebEngineView>

#include <memory>

namespace quillet {

class TQtWebBrowser : public QWebEngineView, public IWebBrowser {
public:
    explicit TQtWebBrowser(QWidget* parent = nullptr);
    ~TQtWebBrowser() override;
    void Navigate(const std::string& location) override;
    void Refresh() override;
    void ShowPreview(const TPreviewTexts& texts) override;

private:
    void ReloadPreview();

    // Where the page was scrolled to before a reload, put back when the reload ends.
    QPointF FScroll;
    bool FKeepScroll = false;
    bool FLoading = false;
    // Counts the preview's requests: an answer of the page that arrives after a newer request
    // (or after the view is gone) is dropped.
    std::shared_ptr<int> FRequest = std::make_shared<int>(0);
};

// A local path becomes a file URL; anything with a scheme is taken as a URL.
QUrl BrowserUrl(const std::string& location);

// The address under which the preview serves a local file (its path, in the preview's own
// scheme), and back. The scheme must be known before the application object exists.
QUrl PreviewUrl(const std::string& path);
void RegisterPreviewScheme();

// What the preview answers for a local path: the page's or the sheet's text when the path is
// theirs (with a content type that says UTF-8), else nothing (the file is read from disk).
struct TPreviewAnswer {
    bool FromText = false;
    QByteArray Bytes;
    QByteArray ContentType;
};
TPreviewAnswer PreviewAnswer(const TPreviewTexts& texts, const QString& path);

// A file the page asks for, opened for reading and owned by `owner`, or null when it is no
// regular file (a pipe would block the window in open, a device never ends) or cannot be read.
QIODevice* OpenPreviewFile(const QString& path, QObject* owner);

} // namespace quillet
