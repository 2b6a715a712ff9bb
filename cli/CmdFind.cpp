// quillet-tool find: the editor's search over a file held in the line store.
#include "cli/Commands.h"
#include "editor/BoyerMoore.h"
#include "editor/SearchSource.h"
#include "editor/TextEncoding.h"
#include "editor/TextStore.h"
#include "highlight/REParser.h"
#include "platform/Stream.h"
#include "resources/Strings.h"

#include <charconv>
#include <ostream>

namespace quillet::cli {

int CmdFind(const std::vector<std::string>& args, std::istream&, std::ostream& out,
            std::ostream& err) {
    bool regex = false, matchCase = false, word = false, backward = false;
    const std::string* from = nullptr;
    std::vector<std::string> rest;
    for (size_t i = 0; i < args.size(); ++i) {
        const std::string& a = args[i];
        if (a == "--regex")
            regex = true;
        else if (a == "--case")
            matchCase = true;
        else if (a == "--word")
            word = true;
        else if (a == "--backward")
            backward = true;
        else if (a == "--from" && i + 1 < args.size())
            from = &args[++i];
        else
            rest.push_back(a);
    }
    if (rest.size() != 2 || rest[0].empty()) {
        err << "quillet-tool: " << LoadStr(SFindUsage) << "\n";
        return exError;
    }
    const std::string& pattern = rest[0];

    // Read as the other commands read: a device that never ends or a file past the limit is
    // refused, and a pipe is read to its end.
    const std::string bytes = ReadInputFile(rest[1]);
    TTextEncoding encoding;
    TTextStore store;
    store.Insert(TOffset(0), DecodeText(bytes, encoding));
    const int64_t size = store.CharCount();

    int64_t start = backward ? size : 0;
    if (from) {
        int64_t n = -1;
        auto [end, ec] = std::from_chars(from->data(), from->data() + from->size(), n);
        if (ec != std::errc() || end != from->data() + from->size() || n < 0 || n > size)
            throw EQuilletError(FmtLoadStr(SFindBadOffset, *from));
        start = n;
    }

    TStoreCharSource source(store);
    TREParser re;
    TBMSearch strings;
    if (regex && !re.SetPattern(pattern))
        throw EQuilletError(FmtLoadStr(SFindPatternError, re.ErrorText(), re.ErrorColumn()));
    // As pressing find-next again and again: each search steps one character past the
    // previous hit; a regular expression's empty matches are passed over.
    int hits = 0;
    for (int64_t pos = start; pos >= 0 && pos <= size;) {
        int64_t hit = -1;
        if (regex) {
            if (!re.Search(source, pos, !backward)) break;
            hit = re.MatchStart();
            if (re.MatchEnd() == hit) {
                pos = hit + (backward ? -1 : 1);
                continue;
            }
        } else {
            hit = strings.Search(source, pattern, pos, !backward, matchCase, word, {});
            if (hit < 0) break;
        }
        out << hit << "\n";
        ++hits;
        pos = hit + (backward ? -1 : 1);
    }
    return hits ? exOk : exNotFound;
}

} // namespace quillet::cli
