#include "cli/Tool.h"

#include "cli/Commands.h"
#include "platform/Errors.h"
#include "platform/Files.h"
#include "resources/Strings.h"

#include <cerrno>
#include <exception>
#include <filesystem>
#include <fstream>
#include <istream>
#include <ostream>

namespace quillet::cli {

const std::vector<TCommand>& Commands() {
    static const std::vector<TCommand> commands = {
#define QCOMMAND(name, usage, fn) {name, usage, fn},
#include "cli/Commands.inc"
#undef QCOMMAND
    };
    return commands;
}

std::string OneLine(const std::string& text) {
    std::string out;
    out.reserve(text.size());
    for (size_t i = 0; i < text.size();) {
        if (text[i] != '\r' && text[i] != '\n') {
            out += text[i++];
            continue;
        }
        while (i < text.size() && (text[i] == '\r' || text[i] == '\n'))
            ++i;
        if (i < text.size()) out += ' ';
    }
    return out;
}

std::string ReadInput(std::istream& in, const std::string& name) {
    std::string text;
    std::streambuf* buf = in.rdbuf();
    std::vector<char> block(size_t(1) << 16);
    for (;;) {
        const std::streamsize n = buf->sgetn(block.data(), std::streamsize(block.size()));
        if (n <= 0) break;
        if (int64_t(text.size()) + n > MaxInputSize)
            throw EFileError(WithCause(FmtLoadStr(STokensCannotRead, name), EFBIG), EFBIG);
        text.append(block.data(), size_t(n));
    }
    return text;
}

std::string ReadInputFile(const std::string& path) {
    std::error_code ec;
    if (std::filesystem::is_directory(path, ec))
        throw EFileError(WithCause(FmtLoadStr(STokensCannotRead, path), EISDIR), EISDIR);
    std::ifstream f(path, std::ios::binary);
    if (!f) throw EFileError(WithCause(FmtLoadStr(STokensCannotRead, path), errno), errno);
    return ReadInput(f, path);
}

static void Usage(std::ostream& os) {
    os << "usage: quillet-tool COMMAND [ARGS...]\n";
    for (const auto& c : Commands())
        os << "  " << c.Name << " " << c.Usage << "\n";
}

int RunTool(const std::vector<std::string>& args, std::istream& in, std::ostream& out,
            std::ostream& err) {
    if (args.empty() || args[0] == "--help" || args[0] == "-h") {
        Usage(args.empty() ? err : out);
        return args.empty() ? exError : exOk;
    }
    for (const auto& c : Commands()) {
        if (args[0] != c.Name) continue;
        std::vector<std::string> rest(args.begin() + 1, args.end());
        try {
            return c.Run(rest, in, out, err);
        } catch (const EQuilletError& e) {
            err << "quillet-tool: " << OneLine(e.what()) << "\n";
            return exError;
        } catch (const std::bad_alloc&) {
            err << "quillet-tool: Not enough memory for operation\n";
            return exError;
        } catch (const std::exception& e) {
            err << "quillet-tool: " << OneLine(e.what()) << "\n";
            return exError;
        }
    }
    err << "quillet-tool: unknown command '" << args[0] << "'\n";
    Usage(err);
    return exError;
}

} // namespace quillet::cli
