// Dialogs without a screen: answers queued by a test, every call recorded.
#pragma once

#include "platform/Dialogs.h"
#include "platform/Errors.h"

#include <deque>
#include <optional>
#include <string>
#include <vector>

namespace quillet {

class TScriptedDialogs : public IDialogs {
public:
    enum TKind { dkMessage, dkOpen, dkSave };
    struct TCall {
        TKind Kind;
        std::string Text;  // message text, or the file dialog's title
        std::string Title; // message box title, or the file dialog's filter
        TMsgDlgType Type = mtCustom;
        TMsgDlgButtons Buttons = mbOK;
        TFileDialogOptions FileOptions;
    };

    // Answers are taken in order; a dialog asked with none queued raises
    // EQuilletError, so an unexpected question fails the test that caused it.
    void QueueAnswer(TModalResult result) { FAnswers.push_back(result); }
    void QueueFile(std::optional<std::string> path) { FFiles.push_back(std::move(path)); }
    // Message boxes of type mtError are answered mrOk without a queued answer
    // when this is on (the default), so error displays need no scripting.
    void SetAutoConfirmErrors(bool on) { FAutoErrors = on; }

    const std::vector<TCall>& Calls() const { return FCalls; }
    void ClearCalls() { FCalls.clear(); }
    bool AnswersLeft() const { return !FAnswers.empty() || !FFiles.empty(); }

    TModalResult MessageBox(const std::string& text, const std::string& title, TMsgDlgType type,
                            TMsgDlgButtons buttons) override;
    std::optional<std::string> OpenFile(const TFileDialogOptions& options) override;
    std::optional<std::string> SaveFile(const TFileDialogOptions& options) override;

private:
    std::optional<std::string> NextFile(TKind kind, const TFileDialogOptions& options);

    std::deque<TModalResult> FAnswers;
    std::deque<std::optional<std::string>> FFiles;
    std::vector<TCall> FCalls;
    bool FAutoErrors = true;
};

} // namespace quillet
