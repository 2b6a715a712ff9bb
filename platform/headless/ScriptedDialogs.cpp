#include "platform/headless/ScriptedDialogs.h"

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

} // namespace quillet
