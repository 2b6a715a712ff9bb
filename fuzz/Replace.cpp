// Fuzzes search and replace in a control: the first byte holds the search flags, then a line
// with the pattern, a line with the replacement (groups and escapes), and the text. Undo must
// give the text back whole, and redo the replaced text.
#include "editor/CodeMemo.h"
#include "editor/Search.h"
#include "editor/SearchControl.h"
#include "fuzz/FuzzSupport.h"
#include "platform/Errors.h"
#include "platform/Platform.h"
#include "platform/headless/HeadlessFonts.h"
#include "platform/headless/HeadlessWindowHost.h"
#include "platform/headless/ScriptedDialogs.h"

#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>

using namespace quillet;

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    if (size < 1) return 0;
    // The scripted dialogs take the reports of a bad pattern; the font is the program's.
    static TScriptedDialogs* dialogs = [] {
        TPlatformServices services;
        auto d = std::make_unique<TScriptedDialogs>();
        TScriptedDialogs* raw = d.get();
        services.Dialogs = std::move(d);
        services.Fonts = std::make_unique<THeadlessFonts>(true, 7, 17);
        InstallPlatform(std::move(services));
        return raw;
    }();
    dialogs->ClearCalls();
    const uint32_t flags = uint32_t(data[0]) & (srfMatchCase | srfRegex | srfWholeWord);
    std::string_view rest(reinterpret_cast<const char*>(data + 1), size - 1);
    auto line = [&rest] {
        size_t cut = rest.find('\n');
        std::string_view head = rest.substr(0, cut);
        rest = cut == std::string_view::npos ? std::string_view() : rest.substr(cut + 1);
        return std::string(head);
    };
    const std::string pattern = line(), replacement = line();
    THeadlessWindowHost host(300, 120);
    TCodeMemo memo(&host);
    memo.SetText(rest);
    memo.Perform(EM_EMPTYUNDOBUFFER, 0, 0);
    const std::string start = memo.Text();
    TCM_Search& search = memo.Search().Engine();
    search.Regex().SetStepBudget(20000);
    try {
        search.ReplaceAll(pattern, replacement, flags, 0);
    } catch (const EQuilletError&) {
    }
    fuzz::Paint(memo);
    const std::string end = memo.Text();
    while (memo.CanUndo())
        memo.Undo();
    if (memo.Text() != start) __builtin_trap();
    while (memo.CanRedo())
        memo.Redo();
    if (memo.Text() != end) __builtin_trap();
    return 0;
}
