// Arbitrary bytes as a file: opened and saved unedited they come back byte for byte; after a few
// edits the saved bytes are those of a model in which every untouched character keeps its file
// bytes and the edited text is written in the file's encoding and line breaks.
//
// Input: one byte of edit count (low two bits), four bytes per edit, then the file's bytes.
#include "editor/CodeMemo.h"
#include "editor/TextEncoding.h"
#include "editor/UndoStack.h"
#include "platform/Utf8.h"

#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <iterator>
#include <memory>
#include <string>
#include <unistd.h>
#include <vector>

using namespace quillet;

namespace {

// A stored character and the file bytes it is written as.
struct TUnit {
    std::string Stored, File;
    bool Typed = false; // inserted by an edit, not read from the file
};

const char* const KTexts[] = {
    "x",        "\n",   "\r\n",         "\r",           "a\r\nb\nc", "\t",
    "\xD0\x96", "\x01", "\xE2\x82\xAC", "\xE4\xB8\xAD", "",          "{ color: red }"};

std::string TempPath(const char* what) {
    static const std::string folder = [] {
        std::string t = (access("/dev/shm", W_OK) == 0 ? "/dev/shm" : "/tmp");
        t += "/quillet-roundtrip-XXXXXX";
        if (!mkdtemp(t.data())) __builtin_trap();
        return t;
    }();
    return folder + "/" + what;
}

std::string ReadAll(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    return std::string(std::istreambuf_iterator<char>(in), {});
}

void Dump(const char* name, const std::string& bytes) {
    std::fprintf(stderr, "%s:", name);
    for (unsigned char c : bytes)
        std::fprintf(stderr, " %02x", c);
    std::fprintf(stderr, "\n");
}

void Check(bool ok, const char* what, const std::string& got = {}, const std::string& want = {}) {
    if (ok) return;
    std::fprintf(stderr, "FileRoundTrip: %s\n", what);
    Dump("got ", got);
    Dump("want", want);
    __builtin_trap();
}

const char* BreakBytes(TLineBreak b) {
    return b == lbLF ? "\n" : b == lbCR ? "\r" : "\r\n"; // a file without breaks: CR LF
}

// The file's bytes as the model's characters.
std::vector<TUnit> Units(const std::string& file, const TTextEncoding& enc) {
    std::vector<TUnit> units;
    size_t i = enc.Bom ? 3 : 0;
    const bool cp1251 = enc.Kind == TEncodingKind::Windows1251;
    while (i < file.size()) {
        const auto c = static_cast<unsigned char>(file[i]);
        TUnit u;
        if (c == '\r' && i + 1 < file.size() && file[i + 1] == '\n') {
            u = {"\r", "\r\n"};
        } else if (c == '\r' || c == '\n') {
            u = {"\r", std::string(1, char(c))};
        } else if (c < 32 && c != '\t') {
            u = {".", std::string(1, char(c))};
        } else if (cp1251 && c >= 0x80) {
            TTextEncoding one;
            u = {DecodeText(std::string_view(file).substr(i, 1), one), std::string(1, char(c))};
        } else {
            // A UTF-8 character is one unit: an edit never splits it.
            uint32_t cp = 0;
            const int n = cp1251 || c < 0x80 ? 1 : std::max(1, Utf8Sequence(file, i, cp));
            u = {file.substr(i, size_t(n)), file.substr(i, size_t(n))};
        }
        i += u.File.size();
        units.push_back(std::move(u));
    }
    return units;
}

// Bytes a typed character is written as.
std::string Encoded(const std::string& stored, const TTextEncoding& enc) {
    if (stored == "\r") return BreakBytes(enc.Break);
    if (enc.Kind != TEncodingKind::Windows1251) return stored;
    uint32_t cp = 0;
    Utf8Sequence(stored, 0, cp);
    return std::string(1, char(CodeToCp1251(cp)));
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    if (size < 1) return 0;
    const int edits = data[0] & 3;
    if (size < size_t(1 + 4 * edits)) return 0;
    const uint8_t* edit = data + 1;
    const std::string file(reinterpret_cast<const char*>(data) + 1 + 4 * edits,
                           size - 1 - 4 * size_t(edits));
    const std::string in = TempPath("in.css"), out = TempPath("out.css");
    {
        std::ofstream f(in, std::ios::binary | std::ios::trunc);
        f.write(file.data(), std::streamsize(file.size()));
    }
    TCodeMemo memo;
    memo.LoadFromFile(in);
    memo.SaveToFile(out);
    Check(ReadAll(out) == file, "an unedited save changed the bytes", ReadAll(out), file);

    const TTextEncoding enc = memo.Encoding();
    std::vector<TUnit> units = Units(file, enc);
    std::string stored;
    for (const TUnit& u : units)
        stored += u.Stored;
    Check(memo.Store().StoredText(TOffset(0), memo.Store().TextEnd()) == stored, "stored text");

    for (int e = 0; e < edits; ++e, edit += 4) {
        // Offsets of the model's characters: where an edit may start or end.
        std::vector<int> starts{0};
        for (const TUnit& u : units)
            starts.push_back(starts.back() + int(u.Stored.size()));
        const size_t at = size_t(edit[1] | edit[2] << 8) % starts.size();
        const size_t end = std::min(starts.size() - 1, at + (edit[0] >> 4));
        const std::string text = KTexts[edit[3] % std::size(KTexts)];
        memo.SetSelection(starts[at], starts[end]);
        memo.SetSelText(text);
        std::vector<TUnit> typed;
        const std::string norm = TTextStore::Normalize(text);
        for (size_t k = 0; k < norm.size();) {
            uint32_t cp = 0;
            const int n = std::max(1, Utf8Sequence(norm, k, cp));
            typed.push_back({norm.substr(k, size_t(n)), {}, true});
            k += size_t(n);
        }
        units.erase(units.begin() + long(at), units.begin() + long(end));
        units.insert(units.begin() + long(at), typed.begin(), typed.end());
    }
    if (edits == 0) return 0;
    stored.clear();
    for (const TUnit& u : units)
        stored += u.Stored;
    const std::string now = memo.Store().StoredText(TOffset(0), memo.Store().TextEnd());
    Check(now == stored, "edited stored text", now, stored);

    bool fallback = false; // a character the code page lacks: the file goes out as UTF-8
    for (const TUnit& u : units) {
        uint32_t cp = 0;
        if (u.Typed && enc.Kind == TEncodingKind::Windows1251 &&
            (Utf8Sequence(u.Stored, 0, cp) == 0 || CodeToCp1251(cp) < 0))
            fallback = true;
    }
    // Undone, the edits leave the file's bytes; redone, the model's. The save in between keeps
    // the history as the main window's does, the undo stack detached around it.
    while (memo.CanUndo())
        memo.Undo();
    {
        std::unique_ptr<TUndoStack> history = memo.Store().DetachUndoStack();
        memo.SaveToFile(out);
        memo.Perform(SM_UNDOSTACK, smSET, LPARAM(history.release()));
    }
    Check(ReadAll(out) == file, "a save after undoing every edit changed the bytes", ReadAll(out),
          file);
    while (memo.CanRedo())
        memo.Redo();
    TTextEncoding target = enc;
    if (fallback) target = {TEncodingKind::Utf8, false, enc.Break};
    std::string want = target.Bom ? "\xEF\xBB\xBF" : "";
    for (const TUnit& u : units) {
        if (u.Typed)
            want += Encoded(u.Stored, target);
        else if (fallback && u.Stored != "\r" && u.Stored != ".")
            want += u.Stored; // the same character in UTF-8
        else
            want += u.File;
    }
    memo.SaveToFile(out);
    Check(ReadAll(out) == want, "an edited save changed bytes it should have kept", ReadAll(out),
          want);
    return 0;
}
