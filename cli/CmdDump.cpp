// quillet-tool dump: a stored definition's settings and tables, readably.
#include "cli/Commands.h"
#include "highlight/DefStream.h"
#include "highlight/DefStreamDump.h"
#include "highlight/ShippedDefinition.h"
#include "platform/Stream.h"
#include "resources/Strings.h"

#include <filesystem>
#include <ostream>

namespace quillet::cli {

int CmdDump(const std::vector<std::string>& args, std::istream&, std::ostream& out,
            std::ostream& err) {
    if (args.size() != 1) {
        err << "quillet-tool: " << LoadStr(SDefUsage) << "\n";
        return exError;
    }
    TCodeMemoParser def;
    // "css" and "html" name the built-in values unless a file of that name exists.
    if ((args[0] == "css" || args[0] == "html") && !std::filesystem::exists(args[0])) {
        LoadShippedDefinition(def, args[0]);
    } else {
        TFileStream in(args[0], fmOpenRead);
        TDefLoadContext context;
        context.ReadingDescription = true;
        TDefinitionStream::Load(def, in, context);
    }
    DumpDefinition(def, out);
    return exOk;
}

} // namespace quillet::cli
