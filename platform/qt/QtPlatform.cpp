#include "platform/qt/QtPlatform.h"

#include "platform/Platform.h"
#include "platform/qt/QtClipboard.h"
#include "platform/qt/QtDialogs.h"
#include "platform/qt/QtFonts.h"
#include "platform/qt/QtKeyboard.h"
#include "platform/qt/QtPrinter.h"
#include "platform/qt/QtShell.h"

#include <QCoreApplication>
#include <QLibraryInfo>
#include <QLocale>
#include <QTranslator>

#include <memory>

namespace quillet {

void InstallQtPlatform() {
    InstallFontSubstitutes();
    TPlatformServices services;
    services.Fonts = std::make_unique<TQtFonts>();
    services.Dialogs = std::make_unique<TQtDialogs>();
    services.Keyboard = std::make_unique<TQtKeyboardLayout>();
    services.Clipboard = std::make_unique<TQtClipboard>();
    services.Shell = std::make_unique<TQtShell>();
    services.Printer = std::make_unique<TQtPrinter>();
    InstallPlatform(std::move(services));
}

int InstallQtTranslations() {
    // The program speaks Russian whatever the desktop's language, and so do Qt's own dialogs.
    const QLocale russian(QLocale::Russian, QLocale::Russia);
    const QString folder = QLibraryInfo::path(QLibraryInfo::TranslationsPath);
    int loaded = 0;
    for (const char* module : {"qtbase", "qtwebengine", "qtdeclarative", "qtmultimedia"}) {
        auto translator = std::make_unique<QTranslator>();
        if (!translator->load(russian, QString::fromLatin1(module), QStringLiteral("_"), folder))
            continue;
        // The application owns it: it outlives every window that asks for a text.
        translator->setParent(QCoreApplication::instance());
        QCoreApplication::installTranslator(translator.release());
        ++loaded;
    }
    return loaded;
}

} // namespace quillet
