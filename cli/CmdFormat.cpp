// quillet-tool format: a style sheet re-indented or minified, as the editor's commands do it.
#include "cli/Commands.h"
#include "css/Format.h"
#include "editor/TextEncoding.h"
#include "platform/Errors.h"
#include "platform/Files.h"
#include "resources/Strings.h"

#include <ostream>

namespace quillet::cli {

int CmdFormat(const std::vector<std::string>& args, std::istream&, std::ostream& out,
              std::ostream& err) {
    std::string file, output;
    bool minify = false, bad = false;
    for (size_t i = 0; i < args.size(); ++i) {
        const std::string& a = args[i];
        if (a == "--minify")
            minify = true;
        else if (a == "-o" && i + 1 < args.size())
            output = args[++i];
        else if (file.empty() && !a.starts_with("-"))
            file = a;
        else
            bad = true;
    }
    if (bad || file.empty()) {
        err << "quillet-tool: " << LoadStr(SFormatUsage) << "\n";
        return exError;
    }
    const std::string text = ReadInputFile(file);
    const std::string result = minify ? css::Minify(text).Text : css::Format(text).Text;
    if (output.empty())
        out.write(result.data(), std::streamsize(result.size()));
    else
        SaveFileAtomically(output, result); // the old file stays whole if writing fails
    return exOk;
}

} // namespace quillet::cli
