// The dialogs the core and the main window ask for: message boxes and file choosers.
#pragma once

#include <cstdint>
#include <functional>
#include <memory>
#include <optional>
#include <string>

#include "platform/Progress.h"
#include "platform/Types.h"

namespace quillet {

enum TMsgDlgType : uint8_t { mtWarning, mtError, mtInformation, mtConfirmation, mtCustom };

// Button sets and results, numbered as the platform's message boxes number them.
enum TMsgDlgButtons : uint8_t { mbOK, mbOKCancel, mbYesNoCancel, mbYesNo, mbYesNoCancelAll };
enum TModalResult : int {
    mrNone = 0,
    mrOk = 1,
    mrCancel = 2,
    mrAbort = 3,
    mrRetry = 4,
    mrIgnore = 5,
    mrYes = 6,
    mrNo = 7,
    mrAll = 8
};

struct TFileDialogOptions {
    std::string Title;
    std::string Filter;     // "Name|*.ext|Name|*.*"
    std::string DefaultExt; // appended to a name typed without one
    std::string InitialDir;
    std::string FileName;
    bool OverwritePrompt = false;
};

enum TFindDialogKind : uint8_t { fdkFind, fdkReplace };
// What a find or replace dialog's buttons ask for.
enum TFindRequest : uint8_t { frFindNext, frReplace, frReplaceAll };

// A modeless find or replace dialog. Its owner reads the fields when a button is pressed.
class IFindDialog {
public:
    virtual ~IFindDialog() = default;
    virtual TFindDialogKind Kind() const = 0;
    virtual void Show() = 0;
    virtual void Close() = 0;
    virtual bool Visible() const = 0;
    virtual std::string FindText() const = 0;
    virtual void SetFindText(const std::string& text) = 0;
    virtual std::string ReplaceText() const = 0;
    virtual bool MatchCase() const = 0;
    virtual void SetMatchCase(bool on) = 0;
    virtual bool WholeWord() const = 0;
    virtual bool Down() const = 0; // unticked: search backwards

    // Raised by the dialog's buttons (the find dialog only asks for frFindNext).
    std::function<void(IFindDialog&, TFindRequest)> OnRequest;
    // Raised when the user closes the dialog.
    std::function<void(IFindDialog&)> OnClose;
};

class IDialogs {
public:
    virtual ~IDialogs() = default;
    virtual TModalResult MessageBox(const std::string& text, const std::string& title,
                                    TMsgDlgType type, TMsgDlgButtons buttons) = 0;
    // The chosen path, or nothing when the user cancelled.
    virtual std::optional<std::string> OpenFile(const TFileDialogOptions& options) = 0;
    virtual std::optional<std::string> SaveFile(const TFileDialogOptions& options) = 0;
    // A message box placed with its top-left corner at a screen point (x, y).
    virtual TModalResult MessageBoxAt(const std::string& text, const std::string& title,
                                      TMsgDlgType type, TMsgDlgButtons buttons, int /*x*/,
                                      int /*y*/) {
        return MessageBox(text, title, type, buttons);
    }
    // The colour dialog with its custom-colour part open, starting from `initial`; nothing
    // when the user cancelled (or the platform has no such dialog).
    virtual std::optional<TColor> ChooseColor(TColor /*initial*/) { return std::nullopt; }
    // A whole number between low and high, starting at value; nothing when the user cancelled
    // (or the platform cannot ask).
    virtual std::optional<int> AskNumber(const std::string& /*title*/,
                                         const std::string& /*prompt*/, int /*value*/, int /*low*/,
                                         int /*high*/) {
        return std::nullopt;
    }
    // A new modeless find or replace dialog; none on a platform without them.
    virtual std::unique_ptr<IFindDialog> CreateFindDialog(TFindDialogKind /*kind*/) {
        return nullptr;
    }
    // The progress display of an operation that may run long: the operation calls the answer
    // as it goes and stops when it answers false (the user cancelled). The display appears
    // only once the operation has run a while, and goes when the answer is destroyed. An empty
    // function on a platform that cannot show one.
    virtual TProgressFunc WatchProgress(const std::string& /*title*/, const std::string& /*text*/) {
        return nullptr;
    }
};

} // namespace quillet
