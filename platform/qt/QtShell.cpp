#include "platform/qt/QtShell.h"

#include "platform/Platform.h"
#include "platform/qt/QtConvert.h"
#include "resources/Strings.h"

#include <QDesktopServices>
#include <QFileInfo>
#include <QUrl>

namespace quillet {

bool TQtShell::OpenUrl(const std::string& url) {
    return QDesktopServices::openUrl(QUrl(ToQString(url)));
}

void TQtShell::ShowHelp(const std::string& helpFile, int /*context*/) {
    // The desktop's viewer for the file's type shows it; it has no notion of a context.
    if (!FileExists(helpFile)) {
        Platform().Dialogs->MessageBox(FmtLoadStr(SHelpFileMissing, helpFile), LoadStr(SAppTitle),
                                       mtError, mbOK);
        return;
    }
    QDesktopServices::openUrl(QUrl::fromLocalFile(ToQString(helpFile)));
}

bool TQtShell::FileExists(const std::string& path) const {
    return QFileInfo(ToQString(path)).isFile();
}

} // namespace quillet
