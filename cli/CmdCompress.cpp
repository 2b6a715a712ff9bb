// quillet-tool compress / decompress: the stream compressor on two files.
#include "cli/Commands.h"
#include "highlight/Compressor.h"
#include "resources/Strings.h"

#include <ostream>

namespace quillet::cli {

int CmdCompress(const std::vector<std::string>& args, std::istream&, std::ostream& out,
                std::ostream& err) {
    TCompressMethod method = cmKH;
    std::vector<std::string> files;
    for (size_t i = 0; i < args.size(); ++i) {
        if (args[i] == "--method" && i + 1 < args.size()) {
            const std::string& m = args[++i];
            if (m == "kh")
                method = cmKH;
            else if (m == "lzh")
                method = cmLZH;
            else if (m == "advise")
                method = cmAdvise;
            else
                throw EQuilletError(FmtLoadStr(SCompBadMethod, m));
        } else {
            files.push_back(args[i]);
        }
    }
    if (files.size() != 2) {
        err << "quillet-tool: " << LoadStr(SCompUsage) << "\n";
        return exError;
    }
    TCompressor c;
    c.SetStreamMode(false);
    c.SetMethod(method);
    c.SetInputFile(files[0]);
    c.SetOutputFile(files[1]);
    out << c.Compress() << " bytes\n";
    return exOk;
}

int CmdDecompress(const std::vector<std::string>& args, std::istream&, std::ostream& out,
                  std::ostream& err) {
    if (args.size() != 2) {
        err << "quillet-tool: " << LoadStr(SDecompUsage) << "\n";
        return exError;
    }
    TCompressor c;
    c.SetStreamMode(false);
    c.SetInputFile(args[0]);
    c.SetOutputFile(args[1]);
    out << c.Decompress() << " bytes\n";
    return exOk;
}

} // namespace quillet::cli
