// Installs the Qt platform services: fonts, dialogs, keyboard layout.
#pragma once

namespace quillet {

// Call once after the QApplication exists and before any window is built.
void InstallQtPlatform();

} // namespace quillet
