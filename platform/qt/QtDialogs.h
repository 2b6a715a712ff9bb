// Message boxes and file choosers on Qt.
#pragma once

#include "platform/Dialogs.h"

#include <QFileDialog>
#include <QMessageBox>
#include <QString>

#include <string>

class QWidget;

namespace quillet {

class TQtDialogs : public IDialogs {
public:
    TModalResult MessageBox(const std::string& text, const std::string& title, TMsgDlgType type,
                            TMsgDlgButtons buttons) override;
    std::optional<std::string> OpenFile(const TFileDialogOptions& options) override;
    std::optional<std::string> SaveFile(const TFileDialogOptions& options) override;
    TModalResult MessageBoxAt(const std::string& text, const std::string& title, TMsgDlgType type,
                              TMsgDlgButtons buttons, int x, int y) override;
    std::optional<TColor> ChooseColor(TColor initial) override;
    std::optional<int> AskNumber(const std::string& title, const std::string& prompt, int value,
                                 int low, int high) override;
    std::unique_ptr<IFindDialog> CreateFindDialog(TFindDialogKind kind) override;
    // Nothing shows for the first ProgressDelayMs; then a modal progress dialog whose Cancel
    // button, or Escape, stops the operation.
    TProgressFunc WatchProgress(const std::string& title, const std::string& text) override;
    static constexpr int ProgressDelayMs = 500;
};

// The pieces of the mapping, apart so they can be checked without a modal loop.

// "Name|*.a;*.b|All|*.*" becomes "Name (*.a *.b);;All (*.*)".
QString QtNameFilters(const std::string& filter);
// The title a dialog shows: the program's name when the caller gave none.
std::string DialogTitle(const std::string& title);
QMessageBox::Icon QtMessageIcon(TMsgDlgType type);
QMessageBox::StandardButtons QtMessageButtons(TMsgDlgButtons buttons);
TModalResult ModalResultOf(QMessageBox::StandardButton button);
// A file dialog set up from the options (not shown).
void ConfigureFileDialog(QFileDialog& dialog, const TFileDialogOptions& options, bool save);
// The chosen name with the default extension added when it has none.
std::string WithDefaultExt(const std::string& path, const std::string& defaultExt);

// The window that owns modal dialogs (the main window once it exists).
QWidget* DialogOwner();

} // namespace quillet
