// quillet-tool compile: a language script to the stored definition value.
#include "cli/Commands.h"
#include "highlight/CodeMemoParser.h"
#include "highlight/Compiler.h"
#include "highlight/DefStream.h"
#include "platform/Files.h"
#include "platform/Stream.h"
#include "resources/Strings.h"

#include <ostream>

namespace quillet::cli {

int CmdCompile(const std::vector<std::string>& args, std::istream&, std::ostream& out,
               std::ostream& err) {
    std::string script, output;
    std::vector<std::string> includes;
    for (size_t i = 0; i < args.size(); ++i) {
        if (args[i] == "-o" && i + 1 < args.size())
            output = args[++i];
        else if (args[i] == "-I" && i + 1 < args.size())
            includes.push_back(args[++i]);
        else if (script.empty())
            script = args[i];
        else
            output.clear(), script.clear(), i = args.size(); // too many names: usage below
    }
    if (script.empty() || output.empty()) {
        err << "quillet-tool: " << LoadStr(SDefCompileUsage) << "\n";
        return exError;
    }
    // Written over its own script the source would be gone, whatever name the output goes by.
    if (SameFile(script, output)) throw EFileError(FmtLoadStr(SDefCompileSameFile, output));
    TCodeMemoParser def;
    std::vector<std::string> included;
    CompileScriptFile(def, script, includes, &included);
    for (const std::string& file : included)
        if (SameFile(file, output)) throw EFileError(FmtLoadStr(SDefCompileIncludedFile, output));
    const std::vector<uint8_t> bytes = TDefinitionStream::SaveToBytes(def);
    // Whole or not at all: a build step must never see half a value.
    ReplaceFile(output, std::string_view(reinterpret_cast<const char*>(bytes.data()), bytes.size()),
                FmtLoadStr(SCannotCreateFile, output));
    out << bytes.size() << " bytes\n";
    return exOk;
}

} // namespace quillet::cli
