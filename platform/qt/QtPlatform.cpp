#include "platform/qt/QtPlatform.h"

#include "platform/Platform.h"
#include "platform/qt/QtClipboard.h"
#include "platform/qt/QtDialogs.h"
#include "platform/qt/QtFonts.h"
#include "platform/qt/QtKeyboard.h"
#include "platform/qt/QtPrinter.h"
#include "platform/qt/QtShell.h"

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

} // namespace quillet
