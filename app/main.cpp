// The program: `quillet [FILE]`, `quillet --screenshot OUT.png [FILE]` to write a picture of
// the window laid out off screen, or `quillet --print OUT.pdf FILE` to print a file into a PDF.
#include "app/MainForm.h"

#include "platform/Platform.h"
#include "platform/RegistryFile.h"
#include "platform/headless/RecordingWebBrowser.h"
#include "platform/qt/QtConvert.h"
#include "platform/qt/QtPlatform.h"
#include "platform/qt/QtWebBrowser.h"
#include "resources/Strings.h"
#include "widgets/CodeMemoWidget.h"

#include <QApplication>
#include <QPixmap>
#include <QTimer>

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>

using namespace quillet;

namespace {

// Off screen nobody can answer a dialog: messages go to the error stream and every question is
// cancelled, so a picture is never held up by a modal box.
class TConsoleDialogs : public IDialogs {
public:
    TModalResult MessageBox(const std::string& text, const std::string&, TMsgDlgType type,
                            TMsgDlgButtons) override {
        std::fprintf(stderr, "quillet: %s\n", text.c_str());
        return type == mtError ? mrOk : mrCancel;
    }
    std::optional<std::string> OpenFile(const TFileDialogOptions&) override { return {}; }
    std::optional<std::string> SaveFile(const TFileDialogOptions&) override { return {}; }
};

} // namespace

int main(int argc, char** argv) {
    std::string screenshot, print, file;
    // After "--" every argument is a file, so a name that starts with '-' can be opened too.
    bool options = true;
    for (int i = 1; i < argc; ++i) {
        if (options && std::strcmp(argv[i], "--") == 0) {
            options = false;
            continue;
        }
        const bool option = options && argv[i][0] == '-';
        if (option && std::strcmp(argv[i], "--screenshot") == 0 && i + 1 < argc &&
            screenshot.empty() && print.empty())
            screenshot = argv[++i];
        else if (option && std::strcmp(argv[i], "--print") == 0 && i + 1 < argc &&
                 print.empty() && screenshot.empty())
            print = argv[++i];
        else if (option || !file.empty()) {
            std::fprintf(stderr, "%s\n", LoadStr(SAppUsage).c_str());
            return 2;
        } else
            file = argv[i];
    }
    if (!print.empty() && file.empty()) {
        std::fprintf(stderr, "%s\n", LoadStr(SAppUsage).c_str());
        return 2;
    }
    const bool offscreen = !screenshot.empty() || !print.empty();
    if (offscreen) setenv("QT_QPA_PLATFORM", "offscreen", 0);
    // The browser engine runs without its sandbox and GPU only where there is no display.
    bool headless = offscreen || (!std::getenv("DISPLAY") && !std::getenv("WAYLAND_DISPLAY"));
    if (headless) {
        setenv("QTWEBENGINE_DISABLE_SANDBOX", "1", 0);
        setenv("QTWEBENGINE_CHROMIUM_FLAGS", "--disable-gpu", 0);
    }

    QCoreApplication::setAttribute(Qt::AA_ShareOpenGLContexts);
    RegisterPreviewScheme();
    QApplication app(argc, argv);
    QApplication::setApplicationName(ToQString(LoadStr(SAppTitle)));
    // The desktop matches the windows to the installed launcher and its icon by this name.
    QGuiApplication::setDesktopFileName(QStringLiteral("org.example.quillet.Quillet"));
    InstallQtPlatform();
    InstallQtTranslations();
    TPlatformServices services;
    // A damaged settings file never stops the start: it is set aside and the user told once.
    std::string settingsNotice;
    services.Registry = MakeDefaultRegistry(&settingsNotice);
    if (offscreen) services.Dialogs = std::make_unique<TConsoleDialogs>();
    InstallPlatform(std::move(services));
    auto tellSettingsNotice = [&] {
        if (settingsNotice.empty()) return;
        if (headless && !offscreen)
            TConsoleDialogs().MessageBox(settingsNotice, "", mtWarning, mbOK);
        else
            Platform().Dialogs->MessageBox(settingsNotice, LoadStr(SAppTitle), mtWarning, mbOK);
    };

    if (!print.empty()) {
        // The window's editor settings without its browser: nothing is shown.
        TRecordingWebBrowser browser;
        TMainForm form([&browser](QWidget* parent) {
            return TBrowserPart{new QWidget(parent), &browser};
        });
        form.FormCreate();
        tellSettingsNotice();
        try {
            form.PrintFileToPdf(file, print);
        } catch (const std::exception& e) {
            std::fprintf(stderr, "quillet: %s\n", e.what());
            return 1;
        }
        return 0;
    }

    TMainForm form;
    form.FormCreate();
    if (!file.empty())
        form.OpenFile(file);
    else if (screenshot.empty())
        form.ReopenLastDocument();

    if (!screenshot.empty()) {
        tellSettingsNotice();
        form.setWindowState(Qt::WindowNoState);
        form.resize(1024, 700);
        form.show();
        QApplication::processEvents();
        form.MainCodeMemoWidget()->setFocus();
        QApplication::processEvents();
        QPixmap picture = form.grab();
        if (!picture.save(ToQString(screenshot), "PNG")) {
            std::fprintf(stderr, "%s\n", FmtLoadStr(SScreenshotFailed, screenshot).c_str());
            return 1;
        }
        return 0;
    }
    form.show();
    tellSettingsNotice();
    return app.exec();
}
