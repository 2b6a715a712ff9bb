// quillet-tool regex: runs the regular-expression engine over standard input.
#include "cli/Commands.h"
#include "cli/Tool.h"
#include "highlight/REParser.h"

#include <iostream>
#include <string>

namespace quillet::cli {

int CmdRegex(const std::vector<std::string>& args, std::istream& in, std::ostream& out,
             std::ostream& err) {
    bool backward = false;
    std::vector<std::string> rest;
    for (const auto& a : args) {
        if (a == "--backward")
            backward = true;
        else
            rest.push_back(a);
    }
    if (rest.size() != 1) {
        err << "quillet-tool: usage: regex [--backward] PATTERN\n";
        return exError;
    }
    const std::string* pattern = &rest[0];
    const std::string text = ReadInput(in, "-");
    TREParser re;
    if (!re.SetPattern(*pattern)) {
        out << "error " << re.ErrorColumn() << " " << re.ErrorText() << "\n";
        return exError;
    }
    TStringCharSource source(text);
    int64_t start = backward ? static_cast<int64_t>(text.size()) : 0;
    if (!re.Search(source, start, !backward)) {
        out << "nomatch\n";
        return exNotFound;
    }
    out << "match " << re.MatchStart() << " " << re.MatchEnd() << "\n";
    for (int n = 1; n <= TREParser::MaxGroups; ++n)
        if (re.GroupStart(n) >= 0)
            out << "group " << n << " " << re.GroupStart(n) << " " << re.GroupEnd(n) << "\n";
    return exOk;
}

} // namespace quillet::cli
