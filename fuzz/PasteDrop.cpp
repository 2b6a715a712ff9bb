// Fuzzes what other programs hand a control: HTML, text and RTF on the clipboard and in a drop,
// taken with the choices a data-drop handler may make, into a highlighting control; the copy
// then writes the pasted bytes as text and RTF. Undo must give the start back.
#include "editor/CodeMemo.h"
#include "fuzz/FuzzSupport.h"
#include "highlight/ShippedDefinition.h"
#include "platform/DragDrop.h"
#include "platform/Errors.h"
#include "platform/Platform.h"
#include "platform/headless/HeadlessFonts.h"
#include "platform/headless/HeadlessWindowHost.h"
#include "platform/headless/MemoryClipboard.h"

#include <cstddef>
#include <cstdint>
#include <map>
#include <string>
#include <string_view>

using namespace quillet;

namespace {

struct TDropData : IDropData {
    std::map<std::string, std::string, std::less<>> Formats;
    bool HasFormat(std::string_view format) const override {
        return Formats.find(format) != Formats.end();
    }
    std::string Get(std::string_view format) const override {
        auto it = Formats.find(format);
        return it == Formats.end() ? std::string() : it->second;
    }
};

} // namespace

// Input: a byte of choices (font, window, wrap, data-drop answers), a byte of offered formats, then
// HTML, text and RTF parts split at NUL bytes.
extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    if (size < 2) return 0;
    static TMemoryClipboard* clip = [] {
        TPlatformServices services;
        auto c = std::make_unique<TMemoryClipboard>();
        TMemoryClipboard* raw = c.get();
        services.Clipboard = std::move(c);
        InstallPlatform(std::move(services));
        return raw;
    }();
    static const auto css = ShippedDefinition("css");
    const uint8_t choice = data[0], offered = data[1];
    // The program's fixed-pitch font, or a proportional one.
    TPlatformServices fonts;
    fonts.Fonts = std::make_unique<THeadlessFonts>(!(choice & 0x02), 7, 17);
    InstallPlatform(std::move(fonts));
    std::string_view rest(reinterpret_cast<const char*>(data + 2), size - 2);
    auto part = [&rest] {
        size_t cut = rest.find('\0');
        std::string head(rest.substr(0, cut));
        rest = cut == std::string_view::npos ? std::string_view() : rest.substr(cut + 1);
        return head;
    };
    const std::string html = part(), text = part(), rtf = part();

    THeadlessWindowHost host(200 + (choice & 0x3) * 100, 120);
    TCodeMemo memo(&host);
    memo.SetParser(1, css.get());
    memo.SetActiveParser(1);
    memo.SetWordWrap(choice & 0x80);
    memo.SetText("a { color: red }\r\n");
    memo.Perform(EM_EMPTYUNDOBUFFER, 0, 0);
    const std::string start = memo.Text();
    memo.OnDataDrop = [choice](TCustomCodeMemo&, TSourceTypes& types) {
        if (choice & 0x04) types |= dsHtmlFragment;
        if (choice & 0x08) types |= dsHtmlFromFirstTag;
        if (choice & 0x10) types |= dsInsertUnchanged;
        if (choice & 0x20) types &= ~TSourceTypes(dsText);
        if (choice & 0x40) types &= ~TSourceTypes(dsInsertUnchanged);
    };

    clip->Clear();
    if (offered & 0x01) clip->Set(cbfHtml, html);
    if (offered & 0x02) clip->Set(cbfText, text);
    if (offered & 0x04) clip->Set(cbfRichText, rtf);
    memo.Perform(EM_SETSEL, 2, 5);
    memo.Perform(WM_PASTE, 0, 0);
    fuzz::Paint(memo);

    TDropData drop;
    if (offered & 0x10) drop.Formats[std::string(cbfHtml)] = html;
    if (offered & 0x20) drop.Formats[std::string(cbfText)] = text;
    if (offered & 0x40) drop.Formats[std::string(cbfUnicodeText)] = text;
    if (offered & 0x80) drop.Formats[std::string(cbfRichText)] = rtf;
    const TPoint at{int(offered & 0x0F) * 9, int(choice >> 4) * 5};
    if (memo.DragEnter(drop, 0, at) != deNone) memo.DragOver(0, {at.X + 3, at.Y + 1});
    memo.Drop(drop, (choice & 0x01) ? ssCtrl : 0, at);
    fuzz::Paint(memo);

    // The writers over whatever came in.
    memo.SelectAll();
    memo.Perform(WM_COPY, 0, 0);
    TMemoryStream saved;
    memo.Perform(SM_SAVESTREAM, sfmHTML, LPARAM(&saved));

    while (memo.CanUndo())
        memo.Undo();
    if (memo.Text() != start) __builtin_trap();
    return 0;
}
