// quillet-tool export: the whole text of a file through the editor's writers.
#include "cli/CmdTokens.h"
#include "cli/Commands.h"
#include "editor/CodeMemo.h"
#include "editor/TextEncoding.h"
#include "platform/Files.h"
#include "platform/Stream.h"
#include "resources/Strings.h"

#include <fstream>
#include <ostream>

namespace quillet::cli {

namespace {

// Standard output seen as a stream the writers can hand their blocks to.
class TOutputSink : public TStream {
public:
    explicit TOutputSink(std::ostream& out) : FOut(out) {}
    int64_t Read(void*, int64_t) override { return 0; }
    int64_t Write(const void* buffer, int64_t count) override {
        FOut.write(static_cast<const char*>(buffer), std::streamsize(count));
        if (!FOut) return 0;
        FWritten += count;
        return count;
    }
    int64_t Seek(int64_t, TSeekOrigin) override { return FWritten; }

private:
    std::ostream& FOut;
    int64_t FWritten = 0;
};

} // namespace

int CmdExport(const std::vector<std::string>& args, std::istream&, std::ostream& out,
              std::ostream& err) {
    std::string format, file, output, lang;
    bool bad = false;
    for (size_t i = 0; i < args.size(); ++i) {
        const std::string& a = args[i];
        if (a == "--format" && i + 1 < args.size())
            format = args[++i];
        else if (a == "--lang" && i + 1 < args.size())
            lang = args[++i]; // highlighting matters only to the rich formats
        else if (a == "-o" && i + 1 < args.size())
            output = args[++i];
        else if (file.empty() && !a.starts_with("-"))
            file = a;
        else
            bad = true;
    }
    if (bad || file.empty() || format.empty()) {
        err << "quillet-tool: " << LoadStr(SExportUsage) << "\n";
        return exError;
    }
    TSaveFormat saveFormat;
    if (format == "text")
        saveFormat = sfTEXT;
    else if (format == "unix")
        saveFormat = sfUNIX;
    else if (format == "rtf")
        saveFormat = sfRTF;
    else if (format == "html")
        saveFormat = sfHTML;
    else
        throw EQuilletError(FmtLoadStr(SExportUnknownFormat, format));
    // The output replaces its file only once it is whole, but then the style sheet (or the
    // definition) it was made from is gone: that is never what was meant.
    if (!output.empty() && (SameFile(file, output) || (!lang.empty() && SameFile(lang, output))))
        throw EFileError(FmtLoadStr(SExportOntoInput, output));
    std::unique_ptr<TCodeMemoParser> def; // outlives the control that uses it
    if (saveFormat == sfRTF || saveFormat == sfHTML) def = DefinitionFor(lang, file);
    TCodeMemo memo;
    if (def) {
        memo.SetParser(1, def.get());
        memo.SetActiveParser(1);
    }
    memo.SetSaveFormat(saveFormat);
    // Straight out as it is made: neither the output nor (for the rich forms) the highlighting
    // is ever whole in memory. Plain text is exactly what a save writes: the file's encoding,
    // BOM and line breaks. The rich forms never go through the control's line store. The input
    // is read before the output is made, so that its errors come first and leave no trace.
    std::string text;
    const bool flat = memo.ExportsFlat();
    if (flat)
        text = TCustomCodeMemo::StoredFileText(file);
    else
        memo.LoadFromFile(file);
    auto write = [&](TStream& to) {
        if (flat)
            memo.ExportStoredText(text, file, to);
        else
            memo.ExportToStream(to);
    };
    if (output.empty()) {
        TOutputSink sink(out);
        write(sink);
        // The last bytes may sit in the stream's buffer: a failure to hand them on is a failed
        // export, not a short one.
        if (!out.flush()) throw ECodeMemo(LoadStr(SCouldNotSave));
    } else {
        // An export is made again from its input at will: its file takes the old one's place
        // whole or not at all, without waiting for the disk.
        SaveFileAtomically(output, write, false);
    }
    return exOk;
}

} // namespace quillet::cli
