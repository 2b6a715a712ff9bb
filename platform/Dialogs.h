// The dialogs the core and the main window ask for: message boxes and file choosers.
#pragma once

#include <optional>
#include <string>

namespace quillet {

enum TMsgDlgType : uint8_t { mtWarning, mtError, mtInformation, mtConfirmation, mtCustom };

// Button sets and results, numbered as the platform's message boxes number them.
enum TMsgDlgButtons : uint8_t { mbOK, mbOKCancel, mbYesNoCancel, mbYesNo, mbYesNoCancelAll };
enum TModalResult : int { mrNone = 0, mrOk = 1, mrCancel = 2, mrAbort = 3, mrRetry = 4,
                          mrIgnore = 5, mrYes = 6, mrNo = 7, mrAll = 8 };

struct TFileDialogOptions {
    std::string Title;
    std::string Filter;     // "Name|*.ext|Name|*.*"
    std::string DefaultExt; // appended to a name typed without one
    std::string InitialDir;
    std::string FileName;
    bool OverwritePrompt = false;
};

class IDialogs {
public:
    virtual ~IDialogs() = default;
    virtual TModalResult MessageBox(const std::string& text, const std::string& title,
                                    TMsgDlgType type, TMsgDlgButtons buttons) = 0;
    // The chosen path, or nothing when the user cancelled.
    virtual std::optional<std::string> OpenFile(const TFileDialogOptions& options) = 0;
    virtual std::optional<std::string> SaveFile(const TFileDialogOptions& options) = 0;
};

} // namespace quillet
