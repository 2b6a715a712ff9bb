// Installs the Qt platform services: fonts, dialogs, keyboard layout, clipboard, printer.
#pragma once

namespace quillet {

// Call once after the QApplication exists and before any window is built. The registry
// stays as it is: the program installs its file registry itself (tests keep theirs in memory).
void InstallQtPlatform();

} // namespace quillet
