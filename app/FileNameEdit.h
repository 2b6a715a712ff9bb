// A file-name box with a browse button, as the settings page uses it.
#pragma once

#include <QWidget>

#include <string>

class QLineEdit;
class QToolButton;

namespace quillet {

// Shows a name that contains a blank inside double quotes and hands it out without them.
class TFileNameEdit : public QWidget {
public:
    explicit TFileNameEdit(QWidget* parent = nullptr);

    std::string FileName() const;
    // Raises EQuilletError "Invalid file name - %s" for a name no file can have.
    void SetFileName(const std::string& name);
    // The filter of the browse dialog ("Name|*.ext|...").
    void SetFilter(const std::string& filter) { FFilter = filter; }
    const std::string& Filter() const { return FFilter; }

    QLineEdit* Edit() const { return FEdit; }
    QToolButton* BrowseButton() const { return FBrowse; }

    // Runs the open dialog of the platform and takes the chosen name.
    void Browse();

private:
    QLineEdit* FEdit;
    QToolButton* FBrowse;
    std::string FFilter;
    // The name last set, as its bytes, and the text that shows it: a name that is not UTF-8
    // shows with stand-in characters, and is handed out as it came until the text is edited.
    std::string FName;
    QString FShown;
};

// What a name looks like in the box, and the name a box's text stands for.
std::string QuotedFileName(const std::string& name);
std::string UnquotedFileName(const std::string& text);
// Control characters cannot be part of a file name.
bool IsValidFileName(const std::string& name);

} // namespace quillet
