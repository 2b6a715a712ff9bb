// The embedded browser on the Qt web engine.
#pragma once

#include "platform/WebBrowser.h"

#include <QWebEngineView>

namespace quillet {

class TQtWebBrowser : public QWebEngineView, public IWebBrowser {
public:
    explicit TQtWebBrowser(QWidget* parent = nullptr);
    void Navigate(const std::string& location) override;
    void Refresh() override;
};

// A local path becomes a file URL; anything with a scheme is taken as a URL.
QUrl BrowserUrl(const std::string& location);

} // namespace quillet
