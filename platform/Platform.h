// The process-wide platform services the core reaches through one place.
#pragma once

#include "platform/Clipboard.h"
#include "platform/Dialogs.h"
#include "platform/Fonts.h"
#include "platform/Keyboard.h"
#include "platform/Printer.h"
#include "platform/Registry.h"
#include "platform/Shell.h"

#include <memory>

namespace quillet {

// Services that are not tied to one window. A window's own services come
// through its IWindowHost. At start the headless services are installed,
// so the core and quillet-tool work without a screen; the Qt program
// installs its own before it builds the main window.
struct TPlatformServices {
    std::unique_ptr<IFonts> Fonts;
    std::unique_ptr<IDialogs> Dialogs;
    std::unique_ptr<IKeyboardLayout> Keyboard;
    // In memory by default; the program installs MakeDefaultRegistry() (platform/RegistryFile.h).
    std::unique_ptr<IRegistry> Registry;
    std::unique_ptr<IClipboard> Clipboard;
    std::unique_ptr<IShell> Shell;
    // The default printer: a recording one until the program installs the system's.
    std::unique_ptr<IPrinter> Printer;
};

TPlatformServices& Platform();
// Replaces every service that `services` holds (empty members keep the old one).
void InstallPlatform(TPlatformServices services);

} // namespace quillet
