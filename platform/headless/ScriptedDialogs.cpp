#include "platform/headless/ScriptedDialogs.h"

#include <algorithm>

namespace quillet {

TModalResult TScriptedDialogs::MessageBox(const std::string& text, const std::string& title,
                                          TMsgDlgType type, TMsgDlgButtons buttons) {
    FCalls.push_back({dkMessage, text, title, type, buttons, {}});
    if (FAnswers.empty()) {
        if (FAutoErrors && type == mtError && buttons == mbOK) return mrOk;
        throw EQuilletError("No answer scripted for the message box \"" + title + "\": " + text);
    }
    TModalResult r = FAnswers.front();
    FAnswers.pop_front();
    return r;
}

std::optional<std::string> TScriptedDialogs::NextFile(TKind kind,
                                                      const TFileDialogOptions& options) {
    FCalls.push_back({kind, options.Title, options.Filter, mtCustom, mbOK, options});
    if (FFiles.empty())
        throw EQuilletError("No file scripted for the dialog \"" + options.Title + "\"");
    auto path = FFiles.front();
    FFiles.pop_front();
    // A name typed without an extension gets the default one, as a real dialog does.
    if (path && !options.DefaultExt.empty()) {
        auto slash = path->find_last_of('/');
        auto name = slash == std::string::npos ? *path : path->substr(slash + 1);
        if (!name.empty() && name.find('.') == std::string::npos) *path += "." + options.DefaultExt;
    }
    return path;
}

std::optional<std::string> TScriptedDialogs::OpenFile(const TFileDialogOptions& options) {
    return NextFile(dkOpen, options);
}

std::optional<std::string> TScriptedDialogs::SaveFile(const TFileDialogOptions& options) {
    return NextFile(dkSave, options);
}

TModalResult TScriptedDialogs::MessageBoxAt(const std::string& text, const std::string& title,
                                            TMsgDlgType type, TMsgDlgButtons buttons, int x,
                                            int y) {
    TModalResult r = MessageBox(text, title, type, buttons);
    TCall& call = FCalls.back();
    call.Placed = true;
    call.X = x;
    call.Y = y;
    return r;
}

std::optional<TColor> TScriptedDialogs::ChooseColor(TColor initial) {
    TCall call{dkColor, {}, {}, mtCustom, mbOK, {}};
    call.Color = initial;
    FCalls.push_back(call);
    if (FColors.empty()) throw EQuilletError("No colour scripted for the colour dialog");
    auto color = FColors.front();
    FColors.pop_front();
    return color;
}

std::optional<int> TScriptedDialogs::AskNumber(const std::string& title, const std::string& prompt,
                                               int value, int low, int high) {
    TCall call{dkNumber, prompt, title, mtCustom, mbOK, {}};
    call.X = low;
    call.Y = high;
    call.Color = TColor(value);
    FCalls.push_back(call);
    if (FNumbers.empty()) throw EQuilletError("No number scripted for the question");
    auto number = FNumbers.front();
    FNumbers.pop_front();
    return number;
}

TProgressFunc TScriptedDialogs::WatchProgress(const std::string& title, const std::string& text) {
    ++FProgressDisplays;
    FProgressTitle = title;
    FProgressText = text;
    return [this, reports = 0](int64_t done, int64_t total) mutable {
        ++FProgressReports;
        FLastDone = done;
        FLastTotal = total;
        return ++reports != FCancelAt;
    };
}

std::unique_ptr<IFindDialog> TScriptedDialogs::CreateFindDialog(TFindDialogKind kind) {
    return std::make_unique<TScriptedFindDialog>(*this, kind);
}

TScriptedFindDialog* TScriptedDialogs::FindDialog(TFindDialogKind kind) const {
    for (auto it = FFindDialogs.rbegin(); it != FFindDialogs.rend(); ++it)
        if ((*it)->Kind() == kind) return *it;
    return nullptr;
}

TScriptedFindDialog::TScriptedFindDialog(TScriptedDialogs& owner, TFindDialogKind kind)
    : FOwner(&owner), FKind(kind) {
    FOwner->FFindDialogs.push_back(this);
}

TScriptedFindDialog::~TScriptedFindDialog() {
    auto& list = FOwner->FFindDialogs;
    list.erase(std::remove(list.begin(), list.end(), this), list.end());
}

void TScriptedFindDialog::Close() {
    if (!FVisible) return;
    FVisible = false;
    if (OnClose) OnClose(*this);
}

void TScriptedFindDialog::Press(TFindRequest request) {
    if (!FVisible) throw EQuilletError("The find dialog is not open");
    if (FKind == fdkFind && request != frFindNext)
        throw EQuilletError("The find dialog has no replace buttons");
    if (OnRequest) OnRequest(*this, request);
}

} // namespace quillet
