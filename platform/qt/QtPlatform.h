// Installs the Qt platform services: fonts, dialogs, keyboard layout, clipboard, printer.
#pragma once

namespace quillet {

// Call once after the QApplication exists and before any window is built. The registry
// stays as it is: the program installs its file registry itself (tests keep theirs in memory).
void InstallQtPlatform();

// Loads Qt's own Russian texts (standard buttons, file and colour dialogs, the browser's menus)
// from the translations folder of the Qt installation. Returns how many catalogues were loaded;
// a missing one leaves those texts in English and is not an error.
int InstallQtTranslations();

} // namespace quillet
