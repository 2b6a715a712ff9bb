// quillet-tool tokens: every token of a text as the editor's re-scan finds it.
#include "cli/CmdTokens.h"
#include "cli/Commands.h"
#include "cli/Tool.h"
#include "editor/Rescan.h"
#include "highlight/Compiler.h"
#include "highlight/DefStream.h"
#include "highlight/ShippedDefinition.h"
#include "platform/Errors.h"
#include "resources/Strings.h"

#include <algorithm>
#include <cctype>
#include <cstdlib>
#include <filesystem>
#include <iostream>
#include <memory>

namespace quillet::cli {

namespace {

void EscapeTo(std::ostream& out, std::string_view text) {
    for (char c : text) {
        if (c == '\r')
            out << "\\r";
        else if (c == '\t')
            out << "\\t";
        else if (c == '\\')
            out << "\\\\";
        else
            out << c;
    }
}

} // namespace

std::unique_ptr<TCodeMemoParser> LoadDefinition(const std::string& lang) {
    auto def = std::make_unique<TCodeMemoParser>();
    if (lang == "css" || lang == "html") {
        LoadShippedDefinition(*def, lang);
    } else if (lang.ends_with(".qls")) {
        CompileScriptFile(*def, lang);
    } else {
        std::string bytes = ReadInputFile(lang);
        // A value of another version is an error like any other, not a question for a user.
        TDefLoadContext context;
        context.ReadingDescription = true;
        TDefinitionStream::LoadFromBytes(*def, reinterpret_cast<const uint8_t*>(bytes.data()),
                                         bytes.size(), context);
    }
    return def;
}

std::unique_ptr<TCodeMemoParser> DefinitionFor(std::string lang, const std::string& file) {
    if (lang.empty()) {
        std::string ext = std::filesystem::path(file).extension().string();
        std::transform(ext.begin(), ext.end(), ext.begin(),
                       [](unsigned char c) { return char(std::tolower(c)); });
        lang = ext == ".css" ? "css" : ext == ".htm" || ext == ".html" ? "html" : "none";
    }
    if (lang == "none") return nullptr;
    std::error_code ec;
    if (lang != "css" && lang != "html" && !std::filesystem::is_regular_file(lang, ec))
        throw EQuilletError(FmtLoadStr(SPlayUnknownLanguage, lang));
    return LoadDefinition(lang);
}

void WriteTokens(TCodeMemoParser& def, std::string_view text, std::ostream& out) {
    TTextStore store;
    store.Insert(TOffset(0), text);
    TRescanner scanner(store);
    scanner.SetSupplyTokenText(true);
    const auto& map = def.Settings().StyleMap;
    scanner.OnTokenSeen = [&](TRescanner& sender, uint8_t& value, int start, int end) {
        out << start << '\t' << (end - start) << '\t' << int(value) << '\t' << int(map[value])
            << '\t';
        EscapeTo(out, sender.TokenText());
        out << '\n';
    };
    scanner.SetDefinition(&def);
    scanner.ScanAll();
}

int CmdTokens(const std::vector<std::string>& args, std::istream& in, std::ostream& out,
              std::ostream& err) {
    std::string lang, file;
    for (size_t i = 0; i < args.size(); ++i) {
        if (args[i] == "--lang" && i + 1 < args.size()) {
            lang = args[++i];
        } else if (file.empty() && !args[i].starts_with("--")) {
            file = args[i];
        } else {
            err << "quillet-tool: " << LoadStr(STokensUsage) << "\n";
            return exError;
        }
    }
    if (lang.empty()) {
        const std::string ext = std::filesystem::path(file).extension().string();
        if (ext == ".css")
            lang = "css";
        else if (ext == ".htm" || ext == ".html")
            lang = "html";
        else
            throw EQuilletError(FmtLoadStr(STokensNoLanguage, file.empty() ? "-" : file));
    }
    std::string text = file.empty() ? ReadInput(in, "-") : ReadInputFile(file);
    auto def = LoadDefinition(lang);
    WriteTokens(*def, text, out);
    return exOk;
}

} // namespace quillet::cli
