// Fuzzes the style sheet completion as the control applies it: any text, the caret anywhere (in
// strings, comments, url(), at-rules, nested blocks, inside a character), the list opened by
// Ctrl+Space or by typing, and edits from other paths while it is shown. Choosing an entry may
// change only the word before the caret: what stands before the word and after the caret stays.
// After every step the selection lies inside the text.
#include "cli/CssProvider.h"
#include "editor/CodeMemo.h"
#include "editor/TextStore.h"
#include "fuzz/FuzzSupport.h"
#include "highlight/ShippedDefinition.h"
#include "platform/VirtualKeys.h"
#include "platform/headless/HeadlessWindowHost.h"

#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>

using namespace quillet;

namespace {

constexpr size_t MaxSteps = 64;
// What the control hands the provider: this many bytes before the caret.
constexpr int Context = 4096;

// Pieces a user types where completion matters.
const char* const Pieces[] = {
    "a",  "c",    "o",          "l",        "r",         "-",        ":",
    ";",  "{",    "}",          " ",        "\r",        "@",        "(",
    ")",  "\"",   "'",          "/*",       "*/",        "\xC3\xA9", "\xF0\x9F\x98\x80",
    "\\", "url(", "@media x {", "color",    "display: ", "font-",    "!",
    "#",  ",",    "\t",         "e\xCC\x81"};

std::string Stored(TCodeMemo& memo) {
    const TTextStore& store = memo.Store();
    return store.StoredText(TOffset(0), store.TextEnd());
}

void CheckWhole(TCodeMemo& memo) {
    const std::string text = Stored(memo);
    if (int(text.size()) != memo.Store().CharCount()) __builtin_trap();
    const TSelectionPair sel = memo.Selection();
    for (int at : {sel.Anchor, sel.Caret})
        if (at < 0 || at > int(text.size())) __builtin_trap();
    if (memo.Text().size() < text.size()) __builtin_trap(); // the text as read out lost bytes
}

void Key(THeadlessWindowHost& host, TCodeMemo& memo, int vk, bool ctrl) {
    host.SetKeyDown(VK_CONTROL, ctrl);
    const LRESULT taken = memo.Perform(WM_KEYDOWN, WPARAM(vk), 0);
    if (!taken && !ctrl && (vk == VK_RETURN || vk == VK_TAB || vk == VK_BACK))
        memo.Perform(WM_CHAR, WPARAM(vk), 0);
    memo.Perform(WM_KEYUP, WPARAM(vk), 0);
    host.SetKeyDown(VK_CONTROL, false);
}

// Return or Tab on a shown list: the text becomes head + an entry + tail, or stays.
void Choose(THeadlessWindowHost& host, TCodeMemo& memo, int vk) {
    const std::string before = Stored(memo);
    const int caret = memo.Selection().Caret;
    const int from = std::max(0, caret - Context);
    TCssCompletionProvider provider;
    const TCompletionList list =
        provider.Complete(std::string_view(before).substr(size_t(from), size_t(caret - from)));
    Key(host, memo, vk, false);
    if (memo.CompletionShown()) __builtin_trap(); // choosing closes the list
    const std::string after = Stored(memo);
    const std::string_view head =
        std::string_view(before).substr(0, size_t(caret - list.PrefixLength));
    const std::string_view tail = std::string_view(before).substr(size_t(caret));
    // A list left over from before an edit from elsewhere chooses nothing.
    if (after == before) return;
    // The entry is the list's (which a caret moved by a message may have left behind); what
    // stands before the word and after the caret stays.
    const bool kept = !list.Items.empty() && after.size() > head.size() + tail.size() &&
                      std::string_view(after).starts_with(head) &&
                      std::string_view(after).ends_with(tail);
    if (!kept) __builtin_trap();
}

} // namespace

// Input: a byte of choices (wrap, auto-complete), then the text up to the first NUL, then steps
// of two bytes each (what, and an argument).
extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    if (size < 1) return 0;
    fuzz::UseFixedPitchFont();
    static const auto css = ShippedDefinition("css");
    const uint8_t choice = data[0];
    std::string_view rest(reinterpret_cast<const char*>(data + 1), size - 1);
    const size_t cut = std::min(rest.find('\0'), rest.size());
    const std::string text(rest.substr(0, cut));
    rest = rest.substr(std::min(rest.size(), cut + 1));

    THeadlessWindowHost host(300, 120);
    TCodeMemo memo(&host);
    memo.SetParser(1, css.get());
    memo.SetActiveParser(1);
    memo.SetWordWrap(choice & 1);
    memo.SetCompletionProvider(std::make_unique<TCssCompletionProvider>());
    memo.SetAutoComplete(choice & 2);
    memo.SetText(text);

    for (size_t step = 0; step + 1 < rest.size() && step < 2 * MaxSteps; step += 2) {
        const uint8_t what = uint8_t(rest[step]), arg = uint8_t(rest[step + 1]);
        const int length = memo.Store().CharCount();
        switch (what % 12) {
        case 0: // the caret put anywhere, inside a character too
            memo.Perform(EM_SETSEL, WPARAM(arg * (length + 1) / 256),
                         LPARAM(arg * (length + 1) / 256));
            break;
        case 1:
        case 2: // typed
        {
            const std::string piece = Pieces[arg % std::size(Pieces)];
            for (size_t i = 0; i < piece.size();) {
                // One code point a character message, as a keyboard sends them.
                const uint8_t b = uint8_t(piece[i]);
                const size_t n = b < 0x80 ? 1 : b < 0xE0 ? 2 : b < 0xF0 ? 3 : 4;
                char32_t cp = n == 1 ? b : b & (0xFF >> (n + 1));
                for (size_t k = 1; k < n; ++k)
                    cp = cp << 6 | (uint8_t(piece[i + k]) & 0x3F);
                memo.Perform(WM_CHAR, WPARAM(cp), 0);
                i += n;
            }
        } break;
        case 3: // Ctrl+Space
            Key(host, memo, VK_SPACE, true);
            break;
        case 4: // Return or Tab
            if (memo.CompletionShown())
                Choose(host, memo, arg & 1 ? VK_TAB : VK_RETURN);
            else
                Key(host, memo, arg & 1 ? VK_TAB : VK_RETURN, false);
            break;
        case 5: { // a key that moves in the list, closes it, or shortens the word
            static const int keys[] = {VK_ESCAPE, VK_BACK, VK_UP,    VK_DOWN, VK_PRIOR,
                                       VK_NEXT,   VK_LEFT, VK_RIGHT, VK_HOME, VK_END};
            Key(host, memo, keys[arg % std::size(keys)], arg & 0x80);
            break;
        }
        case 6: // a selection replaced by a message while the list may be shown
            memo.Perform(EM_SETSEL, WPARAM(arg * (length + 1) / 256),
                         LPARAM((255 - arg) * (length + 1) / 256));
            memo.Perform(EM_REPLACESEL, 1, LPARAM(Pieces[arg % std::size(Pieces)]));
            break;
        case 7: // undo or redo
            memo.Perform(arg & 1 ? EM_UNDO : SM_REDO, 0, 0);
            break;
        case 8: // the whole text set
            memo.SetText(std::string(Pieces[arg % std::size(Pieces)]) + text.substr(0, arg));
            break;
        case 9:
            memo.SetAutoComplete(arg & 1);
            break;
        case 10:
            fuzz::Paint(memo);
            break;
        default: // a selection anywhere, then a typed letter over it
            memo.Perform(EM_SETSEL, WPARAM(arg * (length + 1) / 256), LPARAM(length));
            memo.Perform(WM_CHAR, WPARAM('b'), 0);
            break;
        }
        CheckWhole(memo);
    }
    return 0;
}
