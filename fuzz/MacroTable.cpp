// Fuzzes the auto-replace and template streams (the first byte picks the table), then fires
// what loaded into a control, as typing a name and its trigger would.
#include "editor/CodeMemo.h"
#include "editor/CodeMemoExpansion.h"
#include "fuzz/FuzzSupport.h"
#include "highlight/AutoReplace.h"
#include "platform/Errors.h"
#include "platform/Platform.h"
#include "platform/headless/HeadlessFonts.h"
#include "platform/headless/HeadlessWindowHost.h"

#include <cstddef>
#include <cstdint>
#include <memory>

using namespace quillet;

namespace {

std::string Saved(const TMacroKeywords& table) {
    TMemoryStream s;
    table.SaveToStream(s);
    return s.AsString();
}

std::unique_ptr<TMacroKeywords> NewTable(uint8_t kind) {
    if (kind % 3 == 0) return std::make_unique<TAutoReplace>();
    if (kind % 3 == 1) return std::make_unique<TCodeTemplates>();
    return std::make_unique<TMacroKeywords>();
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    if (size < 1) return 0;
    fuzz::UseFixedPitchFont();
    auto table = NewTable(data[0]);
    table->AddEntry("keep", "", "kept");
    const std::string before = Saved(*table);
    TReadOnlyMemoryStream in(data + 1, int64_t(size - 1));
    try {
        table->LoadFromStream(in);
    } catch (const EQuilletError&) {
        if (Saved(*table) != before) __builtin_trap();
        return 0;
    }
    const std::string once = Saved(*table);
    auto again = NewTable(data[0]);
    TReadOnlyMemoryStream back(once.data(), int64_t(once.size()));
    again->LoadFromStream(back);
    if (Saved(*again) != once) __builtin_trap();
    // Each entry, typed as its name at the end of a line, expands into a control.
    THeadlessWindowHost host(300, 120);
    TCodeMemo memo(&host);
    int fired = 0;
    for (const auto& [name, entry] : table->Entries()) {
        if (++fired > 4) break;
        memo.SetText("x " + name);
        memo.Perform(EM_EMPTYUNDOBUFFER, 0, 0);
        const std::string start = memo.Text();
        memo.SetSelStart(int(memo.Perform(WM_GETTEXTLENGTH, 0, 0)));
        TCodeMemoExpansion target(memo);
        try {
            table->Fire(target, &name, entry.Expansion);
        } catch (const EQuilletError&) {
        }
        fuzz::Paint(memo);
        while (memo.CanUndo())
            memo.Undo();
        if (memo.Text() != start) __builtin_trap();
    }
    return 0;
}
