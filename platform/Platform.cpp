#include "platform/Platform.h"

#include "platform/headless/HeadlessFonts.h"
#include "platform/headless/MemoryClipboard.h"
#include "platform/headless/MemoryRegistry.h"
#include "platform/headless/RecordingPrinter.h"
#include "platform/headless/RecordingShell.h"
#include "platform/headless/ScriptedDialogs.h"
#include "platform/headless/UsKeyboard.h"

namespace quillet {

TPlatformServices& Platform() {
    static TPlatformServices services = [] {
        TPlatformServices s;
        s.Fonts = std::make_unique<THeadlessFonts>();
        s.Dialogs = std::make_unique<TScriptedDialogs>();
        s.Keyboard = std::make_unique<TUsKeyboardLayout>();
        s.Clipboard = std::make_unique<TMemoryClipboard>();
        s.Registry = std::make_unique<TMemoryRegistry>();
        s.Shell = std::make_unique<TRecordingShell>();
        s.Printer = std::make_unique<TRecordingPrinter>();
        return s;
    }();
    return services;
}

void InstallPlatform(TPlatformServices services) {
    auto& current = Platform();
    if (services.Fonts) current.Fonts = std::move(services.Fonts);
    if (services.Dialogs) current.Dialogs = std::move(services.Dialogs);
    if (services.Keyboard) current.Keyboard = std::move(services.Keyboard);
    if (services.Clipboard) current.Clipboard = std::move(services.Clipboard);
    if (services.Registry) current.Registry = std::move(services.Registry);
    if (services.Shell) current.Shell = std::move(services.Shell);
    if (services.Printer) current.Printer = std::move(services.Printer);
}

} // namespace quillet
