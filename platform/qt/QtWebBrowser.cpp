#include "platform/qt/QtWebBrowser.h"

#include "platform/qt/QtConvert.h"

#include <QBuffer>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QMimeDatabase>
#include <QRegularExpression>
#include <QWebEnginePage>
#include <QWebEngineProfile>
#include <QWebEngineSettings>
#include <QWebEngineUrlRequestJob>
#include <QWebEngineUrlScheme>
#include <QWebEngineUrlSchemeHandler>

namespace quillet {

namespace {

const QByteArray SchemeName = QByteArrayLiteral("quillet-preview");

QString CleanPath(const std::string& path) {
    if (path.empty()) return {};
    return QDir::cleanPath(QFileInfo(ToQString(path)).absoluteFilePath());
}

// Answers the preview's requests: the page and its sheet from the texts last shown, any other
// file from disk.
class TPreviewSchemeHandler : public QWebEngineUrlSchemeHandler {
public:
    using QWebEngineUrlSchemeHandler::QWebEngineUrlSchemeHandler;
    TPreviewTexts Texts;

    void requestStarted(QWebEngineUrlRequestJob* job) override {
        QString path = QDir::cleanPath(job->requestUrl().path());
        TPreviewAnswer answer = PreviewAnswer(Texts, path);
        if (answer.FromText) {
            // The job owns the buffer, which outlives the reply as the engine requires.
            auto* data = new QBuffer(job);
            data->setData(answer.Bytes);
            data->open(QIODevice::ReadOnly);
            job->reply(answer.ContentType, data);
            return;
        }
        QIODevice* file = OpenPreviewFile(path, job);
        if (!file) {
            job->fail(QWebEngineUrlRequestJob::UrlNotFound);
            return;
        }
        static const QMimeDatabase mimes;
        job->reply(mimes.mimeTypeForFile(path, QMimeDatabase::MatchExtension).name().toUtf8(),
                   file);
    }
};

TPreviewSchemeHandler& SchemeHandler() {
    // Owned by the profile it serves, which lives as long as the application's web engine.
    static auto* handler = [] {
        auto* profile = QWebEngineProfile::defaultProfile();
        auto* h = new TPreviewSchemeHandler(profile);
        profile->installUrlSchemeHandler(SchemeName, h);
        return h;
    }();
    return *handler;
}

} // namespace

void RegisterPreviewScheme() {
    QWebEngineUrlScheme scheme(SchemeName);
    scheme.setSyntax(QWebEngineUrlScheme::Syntax::Path);
    scheme.setFlags(QWebEngineUrlScheme::LocalScheme | QWebEngineUrlScheme::LocalAccessAllowed);
    QWebEngineUrlScheme::registerScheme(scheme);
}

QUrl PreviewUrl(const std::string& path) {
    QUrl url;
    url.setScheme(QString::fromLatin1(SchemeName));
    url.setPath(CleanPath(path));
    return url;
}

TPreviewAnswer PreviewAnswer(const TPreviewTexts& texts, const QString& path) {
    TPreviewAnswer answer;
    if (path == CleanPath(texts.Page)) {
        answer = {true, QByteArray::fromStdString(texts.PageText), "text/html;charset=utf-8"};
    } else if (path == CleanPath(texts.Sheet)) {
        answer = {true, QByteArray::fromStdString(texts.SheetText), "text/css;charset=utf-8"};
    }
    return answer;
}

QIODevice* OpenPreviewFile(const QString& path, QObject* owner) {
    // Links followed: a link to a pipe is a pipe.
    if (!QFileInfo(path).isFile()) return nullptr;
    auto* file = new QFile(path, owner);
    if (file->open(QIODevice::ReadOnly)) return file;
    delete file;
    return nullptr;
}

TQtWebBrowser::TQtWebBrowser(QWidget* parent) : QWebEngineView(parent) {
    // A page that loads must not take the keys from the editor the user types in.
    settings()->setAttribute(QWebEngineSettings::FocusOnNavigationEnabled, false);
    QObject::connect(this, &QWebEngineView::loadStarted, this, [this] { FLoading = true; });
    QObject::connect(this, &QWebEngineView::loadFinished, this, [this](bool) {
        FLoading = false;
        if (!FKeepScroll) return;
        FKeepScroll = false;
        page()->runJavaScript(
            QStringLiteral("window.scrollTo(%1, %2);").arg(FScroll.x()).arg(FScroll.y()));
    });
}

QUrl BrowserUrl(const std::string& location) {
    QString text = ToQString(location);
    // "C:" or "/x" are paths; "file:", "http:" ... are URLs.
    static const QRegularExpression scheme("^[A-Za-z][A-Za-z0-9+.-]+:");
    if (scheme.match(text).hasMatch()) return QUrl(text);
    return QUrl::fromLocalFile(QFileInfo(text).absoluteFilePath());
}

TQtWebBrowser::~TQtWebBrowser() {
    *FRequest = -1; // the page's answers still due find the view gone
}

void TQtWebBrowser::Navigate(const std::string& location) {
    ++*FRequest;
    FKeepScroll = false;
    load(BrowserUrl(location));
}

void TQtWebBrowser::Refresh() {
    triggerPageAction(QWebEnginePage::ReloadAndBypassCache);
}

void TQtWebBrowser::ShowPreview(const TPreviewTexts& texts) {
    SchemeHandler().Texts = texts;
    QUrl target = PreviewUrl(texts.Page);
    int request = ++*FRequest;
    if (url().adjusted(QUrl::RemoveFragment) != target) {
        FKeepScroll = false;
        load(target);
        return;
    }
    // A reload that starts before the last one ended keeps the position taken before it.
    if (FLoading) {
        ReloadPreview();
        return;
    }
    // The view's own record of the position is not kept up to date with every compositor (it
    // stays 0 under a software one): the page itself is asked.
    std::shared_ptr<int> current = FRequest;
    page()->runJavaScript(QStringLiteral("[window.scrollX, window.scrollY]"),
                          [this, current, request](const QVariant& answer) {
                              if (*current != request) return; // newer request, or view gone
                              QVariantList xy = answer.toList();
                              FScroll = xy.size() == 2 ? QPointF(xy[0].toDouble(), xy[1].toDouble())
                                                       : page()->scrollPosition();
                              ReloadPreview();
                          });
}

void TQtWebBrowser::ReloadPreview() {
    FKeepScroll = true;
    // A plain reload may keep the style sheet from the cache: the texts have changed.
    triggerPageAction(QWebEnginePage::ReloadAndBypassCache);
}

} // namespace quillet
