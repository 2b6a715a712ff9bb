// quillet-tool lint: the CSS problems of each file as FILE:LINE:COLUMN: message.
#include "cli/Commands.h"
#include "css/Lint.h"
#include "platform/Errors.h"
#include "resources/Strings.h"

#include <algorithm>
#include <filesystem>
#include <fstream>

namespace quillet::cli {

int CmdLint(const std::vector<std::string>& args, std::istream&, std::ostream& out,
            std::ostream& err) {
    if (args.empty() || std::any_of(args.begin(), args.end(), [](const std::string& a) {
            return a.size() > 1 && a[0] == '-';
        })) {
        err << "quillet-tool: " << LoadStr(SLintUsage) << '\n';
        return 2;
    }
    bool found = false, failed = false;
    for (const std::string& path : args) {
        std::error_code ec;
        std::ifstream f(path, std::ios::binary);
        if (!f || std::filesystem::is_directory(path, ec)) {
            // One unreadable file does not hide the problems of the others.
            err << "quillet-tool: " << FmtLoadStr(STokensCannotRead, path) << '\n';
            failed = true;
            continue;
        }
        std::string text;
        try {
            text = ReadInput(f, path);
        } catch (const EFileError& e) {
            err << "quillet-tool: " << e.what() << '\n';
            failed = true;
            continue;
        }
        for (const css::TProblem& p : css::Lint(text)) {
            out << path << ':' << p.Line << ':' << p.Column << ": " << p.Message << '\n';
            found = true;
        }
    }
    return failed ? 2 : found ? 1 : 0;
}

} // namespace quillet::cli
