// The program's own help: a window that shows the shipped Russian help page, with the editor's
// key list drawn from the key table the editor really uses.
#pragma once

#include <QWidget>

#include <string>

class QTextBrowser;

namespace quillet {

class TKeyboardActionContoller;

// The key list as an HTML table: every binding of the table, grouped by command in command
// order, with the command's Russian name (the table's own name for a command we do not know).
std::string KeyListHtml(const TKeyboardActionContoller& keys);
// The shipped help page with the key list of the given table in its place.
std::string HelpHtml(const TKeyboardActionContoller& keys);

class THelpWindow : public QWidget {
public:
    explicit THelpWindow(QWidget* owner);
    // Shows the help again with the current key table and brings the window forward.
    void ShowHelp(const TKeyboardActionContoller& keys);
    QTextBrowser* Browser() const { return FBrowser; }

private:
    QTextBrowser* FBrowser;
};

} // namespace quillet
