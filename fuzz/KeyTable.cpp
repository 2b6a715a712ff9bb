// Fuzzes the key-table stream: whatever loads must save and load again to the same bytes, and
// a stream that fails must leave the table as it was.
#include "highlight/KeyboardActionController.h"
#include "platform/Errors.h"

#include <cstddef>
#include <cstdint>

using namespace quillet;

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    TKeyboardActionContoller table;
    table.ResetToDefault();
    TMemoryStream before;
    table.SaveToStream(before);
    TReadOnlyMemoryStream in(data, int64_t(size));
    try {
        table.LoadFromStream(in);
    } catch (const EQuilletError&) {
        TMemoryStream after;
        table.SaveToStream(after);
        if (after.Bytes() != before.Bytes()) __builtin_trap();
        return 0;
    }
    TMemoryStream once;
    table.SaveToStream(once);
    TKeyboardActionContoller again;
    TReadOnlyMemoryStream back(once.Bytes().data(), int64_t(once.Bytes().size()));
    again.LoadFromStream(back);
    TMemoryStream twice;
    again.SaveToStream(twice);
    if (twice.Bytes() != once.Bytes()) __builtin_trap();
    // The loaded bindings drive the matcher: every sequence leads to its command.
    for (const TKeyBinding& b : table.Store().Bindings()) {
        TKeyStore& store = table.Store();
        store.ResetMatcher();
        TKeyMatch m = store.Match(b.First);
        if (b.Second) {
            if (m != kmPrefix) __builtin_trap();
            m = store.Match(b.Second);
        }
        if (m != kmRecognised || store.RecognisedCommand() != b.Command) __builtin_trap();
    }
    return 0;
}
