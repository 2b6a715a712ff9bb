// Fuzzes the script compiler: the input is a script; it must compile or fail with a script
// error, never crash. Includes are served from memory, so no input reaches the file system.
#include "highlight/CodeMemoParser.h"
#include "highlight/Compiler.h"
#include "highlight/ScriptError.h"
#include "platform/Errors.h"

#include <cstddef>
#include <cstdint>
#include <map>
#include <string>
#include <string_view>

namespace {

const std::map<std::string, std::string> IncludeFiles = {
    {"/fuzz/a.inc", "#define FROM_A 5\r%%Words 'inc' '' FROM_A\r"},
    {"/fuzz/b.inc", "#include \"a.inc\"\r#include <b.inc>\r"},
    {"/fuzz/lib/c.inc", "%%Tokens 9 __STD_NUMBER\r"},
};

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    const std::string_view script(reinterpret_cast<const char*>(data), size);
    quillet::TCompileOptions options;
    options.ScriptDir = "/fuzz";
    options.IncludePaths = {"/fuzz/lib"};
    options.OpenInclude = [](const std::string& path, std::string& text) {
        auto it = IncludeFiles.find(path);
        if (it == IncludeFiles.end()) return false;
        text = it->second;
        return true;
    };
    quillet::TCodeMemoParser def;
    try {
        quillet::CompileScript(def, script, options);
    } catch (const quillet::ECM_COMP_ERROR& e) {
        if (e.Line() < 1 || e.Column() < 1) __builtin_trap();
        return 0;
    }
    // The tables that compiled must drive the tokenizer over the script itself.
    try {
        def.ResetState(0);
        quillet::TTokenCursor cur{data, size, 0};
        while (!cur.AtEnd()) {
            const size_t before = cur.Pos;
            def.NextToken(cur);
            if (cur.Pos <= before || cur.Pos > size) __builtin_trap();
        }
    } catch (const quillet::EQuilletError&) {
        // A pop from an empty state stack is the definition's own reported error.
    }
    return 0;
}
