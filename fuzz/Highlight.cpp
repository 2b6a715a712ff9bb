// Fuzzes the shipped definitions over arbitrary text in a control: the re-scan after an edit
// must give the attribute bytes a fresh scan of the edited text gives, and the rich writers
// must take whatever the scan left. The first byte picks the language, the next two the edit.
#include "editor/CodeMemo.h"
#include "editor/CodeMemoView.h"
#include "fuzz/FuzzSupport.h"
#include "highlight/ShippedDefinition.h"
#include "platform/Platform.h"
#include "platform/headless/HeadlessFonts.h"
#include "platform/headless/HeadlessWindowHost.h"

#include <cstddef>
#include <cstdint>
#include <memory>
#include <string>
#include <vector>

using namespace quillet;

namespace {

std::vector<std::vector<uint8_t>> Attributes(TCodeMemo& memo) {
    const TTextStore& store = memo.Store();
    memo.View().ScanThrough(store.LineCount() - 1);
    std::vector<std::vector<uint8_t>> lines;
    for (TRow i(0); i < TRow(store.LineCount()); ++i) {
        const TLineRecord& rec = store.Line(i);
        std::vector<uint8_t> attrs(size_t(store.RowLength(i)), 0);
        for (size_t k = 0; rec.Extra && k < attrs.size() && k < rec.Extra->Attributes.size(); ++k)
            attrs[k] = rec.Extra->Attributes[k];
        lines.push_back(std::move(attrs));
    }
    return lines;
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    if (size < 3) return 0;
    fuzz::UseFixedPitchFont();
    static const auto css = ShippedDefinition("css");
    static const auto html = ShippedDefinition("html");
    TCodeMemoParser* def = (data[0] & 1) ? html.get() : css.get();
    const std::string text(reinterpret_cast<const char*>(data + 3), size - 3);

    THeadlessWindowHost host(400, 200);
    TCodeMemo edited(&host);
    edited.SetParser(1, def);
    edited.SetActiveParser(1);
    edited.SetText(text);
    fuzz::Paint(edited);
    // One edit somewhere in the text: a deletion of up to 15 bytes and an insertion of one.
    const int length = int(edited.Perform(WM_GETTEXTLENGTH, 0, 0));
    const int at = length ? data[1] * 257 % (length + 1) : 0;
    const int cut = data[2] & 0x0F;
    static const char* const pieces[] = {"",  "{",  "}",    "/*",  "*/", "\"", "'",  "<",
                                         ">", "\r", "<!--", "-->", ";",  ":",  "\\", "@"};
    edited.Perform(EM_SETSEL, at, at + cut);
    edited.SetSelText(pieces[data[2] >> 4]);
    fuzz::Paint(edited);

    THeadlessWindowHost freshHost(400, 200);
    TCodeMemo fresh(&freshHost);
    fresh.SetParser(1, def);
    fresh.SetActiveParser(1);
    fresh.SetText(edited.Text());
    if (fresh.Text() != edited.Text()) __builtin_trap();
    if (Attributes(fresh) != Attributes(edited)) __builtin_trap();

    for (WPARAM format : {sfmRTF, sfmHTML}) {
        edited.SelectAll();
        TMemoryStream out;
        edited.Perform(SM_SAVESTREAM, format, LPARAM(&out));
    }
    return 0;
}
