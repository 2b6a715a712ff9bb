// Dialogs without a screen: answers queued by a test, every call recorded.
#pragma once

#include "platform/Dialogs.h"
#include "platform/Errors.h"

#include <deque>
#include <optional>
#include <string>
#include <vector>

namespace quillet {

class TScriptedFindDialog;

class TScriptedDialogs : public IDialogs {
public:
    enum TKind { dkMessage, dkOpen, dkSave, dkColor, dkNumber };
    struct TCall {
        TKind Kind;
        std::string Text;  // message text, or the file dialog's title
        std::string Title; // message box title, or the file dialog's filter
        TMsgDlgType Type = mtCustom;
        TMsgDlgButtons Buttons = mbOK;
        TFileDialogOptions FileOptions;
        bool Placed = false; // asked through MessageBoxAt, at (X, Y)
        int X = 0, Y = 0;
        TColor Color = 0; // the colour a colour dialog started from
    };

    // Answers are taken in order; a dialog asked with none queued raises
    // EQuilletError, so an unexpected question fails the test that caused it.
    void QueueAnswer(TModalResult result) { FAnswers.push_back(result); }
    void QueueFile(std::optional<std::string> path) { FFiles.push_back(std::move(path)); }
    // The answer of the next colour dialog: a colour, or nothing for Cancel.
    void QueueColor(std::optional<TColor> color) { FColors.push_back(color); }
    // The answer of the next number question: a number, or nothing for Cancel.
    void QueueNumber(std::optional<int> number) { FNumbers.push_back(number); }
    // Message boxes of type mtError are answered mrOk without a queued answer
    // when this is on (the default), so error displays need no scripting.
    void SetAutoConfirmErrors(bool on) { FAutoErrors = on; }

    const std::vector<TCall>& Calls() const { return FCalls; }
    void ClearCalls() { FCalls.clear(); }
    // Drops the answers no dialog asked for.
    void ClearAnswers() {
        FAnswers.clear();
        FFiles.clear();
        FColors.clear();
        FNumbers.clear();
    }
    bool AnswersLeft() const {
        return !FAnswers.empty() || !FFiles.empty() || !FColors.empty() || !FNumbers.empty();
    }

    TModalResult MessageBox(const std::string& text, const std::string& title, TMsgDlgType type,
                            TMsgDlgButtons buttons) override;
    std::optional<std::string> OpenFile(const TFileDialogOptions& options) override;
    std::optional<std::string> SaveFile(const TFileDialogOptions& options) override;
    TModalResult MessageBoxAt(const std::string& text, const std::string& title, TMsgDlgType type,
                              TMsgDlgButtons buttons, int x, int y) override;
    std::optional<TColor> ChooseColor(TColor initial) override;
    // Recorded with the prompt as Text, the title as Title and the range in X and Y.
    std::optional<int> AskNumber(const std::string& title, const std::string& prompt, int value,
                                 int low, int high) override;
    std::unique_ptr<IFindDialog> CreateFindDialog(TFindDialogKind kind) override;
    // Kept apart from Calls (every search asks for one): the displays asked for, the last one's
    // title and text, and every report counted. With a cancel point set, the report of that
    // number (counted in each display) answers as Escape would.
    TProgressFunc WatchProgress(const std::string& title, const std::string& text) override;
    void CancelProgressAt(int report) { FCancelAt = report; } // 0: never (the default)
    int ProgressDisplays() const { return FProgressDisplays; }
    const std::string& ProgressTitle() const { return FProgressTitle; }
    const std::string& ProgressText() const { return FProgressText; }
    int ProgressReports() const { return FProgressReports; }
    int64_t LastProgressDone() const { return FLastDone; }
    int64_t LastProgressTotal() const { return FLastTotal; }

    // The find and replace dialogs created so far that still exist, oldest first.
    const std::vector<TScriptedFindDialog*>& FindDialogs() const { return FFindDialogs; }
    // The newest live dialog of a kind, or null.
    TScriptedFindDialog* FindDialog(TFindDialogKind kind) const;

private:
    friend class TScriptedFindDialog;
    std::vector<TScriptedFindDialog*> FFindDialogs;

    std::optional<std::string> NextFile(TKind kind, const TFileDialogOptions& options);

    std::deque<TModalResult> FAnswers;
    std::deque<std::optional<std::string>> FFiles;
    std::deque<std::optional<TColor>> FColors;
    std::deque<std::optional<int>> FNumbers;
    std::vector<TCall> FCalls;
    bool FAutoErrors = true;
    int FCancelAt = 0, FProgressDisplays = 0, FProgressReports = 0;
    std::string FProgressTitle, FProgressText;
    int64_t FLastDone = -1, FLastTotal = -1;
};

// A find or replace dialog whose fields a test fills in and whose buttons it presses.
class TScriptedFindDialog : public IFindDialog {
public:
    TScriptedFindDialog(TScriptedDialogs& owner, TFindDialogKind kind);
    ~TScriptedFindDialog() override;

    TFindDialogKind Kind() const override { return FKind; }
    void Show() override { FVisible = true; }
    void Close() override;
    bool Visible() const override { return FVisible; }
    std::string FindText() const override { return FFindText; }
    void SetFindText(const std::string& text) override { FFindText = text; }
    std::string ReplaceText() const override { return FReplaceText; }
    void SetReplaceText(const std::string& text) { FReplaceText = text; }
    bool MatchCase() const override { return FMatchCase; }
    void SetMatchCase(bool on) override { FMatchCase = on; }
    bool WholeWord() const override { return FWholeWord; }
    void SetWholeWord(bool on) { FWholeWord = on; }
    bool Down() const override { return FDown; }
    void SetDown(bool on) { FDown = on; }

    // A button press as the user would make it.
    void Press(TFindRequest request);

private:
    TScriptedDialogs* FOwner;
    TFindDialogKind FKind;
    bool FVisible = false;
    std::string FFindText, FReplaceText;
    bool FMatchCase = false, FWholeWord = false, FDown = true;
};

} // namespace quillet
