// The program: `quillet [FILE]`, or `quillet --screenshot OUT.png [FILE]` to write a picture of
// the window laid out off screen.
#include "app/MainForm.h"

#include "platform/Platform.h"
#include "platform/RegistryFile.h"
#include "platform/qt/QtConvert.h"
#include "platform/qt/QtPlatform.h"
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
    std::string screenshot, file;
    for (int i = 1; i < argc; ++i) {
        if (std::strcmp(argv[i], "--screenshot") == 0 && i + 1 < argc && screenshot.empty())
            screenshot = argv[++i];
        else if (argv[i][0] == '-' || !file.empty()) {
            std::fprintf(stderr, "%s\n", LoadStr(SAppUsage).c_str());
            return 2;
        } else
            file = argv[i];
    }
    if (!screenshot.empty()) setenv("QT_QPA_PLATFORM", "offscreen", 0);
    // The browser engine runs without its sandbox and GPU only where there is no display.
    bool headless =
        !screenshot.empty() || (!std::getenv("DISPLAY") && !std::getenv("WAYLAND_DISPLAY"));
    if (headless) {
        setenv("QTWEBENGINE_DISABLE_SANDBOX", "1", 0);
        setenv("QTWEBENGINE_CHROMIUM_FLAGS", "--disable-gpu", 0);
    }

    QCoreApplication::setAttribute(Qt::AA_ShareOpenGLContexts);
    QApplication app(argc, argv);
    QApplication::setApplicationName(ToQString(LoadStr(SAppTitle)));
    InstallQtPlatform();
    TPlatformServices services;
    services.Registry = MakeDefaultRegistry();
    if (!screenshot.empty()) services.Dialogs = std::make_unique<TConsoleDialogs>();
    InstallPlatform(std::move(services));

    TMainForm form;
    form.FormCreate();
    if (!file.empty())
        form.OpenFile(file);
    else if (screenshot.empty())
        form.ReopenLastDocument();

    if (!screenshot.empty()) {
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
    return app.exec();
}
