// Loading and saving the control's text: streams, files, encodings, output formats.
#include "editor/CodeMemo.h"

#include "editor/CodeMemoView.h"
#include "editor/EdStream.h"
#include "editor/EditPipeline.h"
#include "editor/ExportScan.h"
#include "editor/RichText.h"
#include "editor/UndoStack.h"
#include "platform/Files.h"
#include "platform/Utf8.h"
#include "resources/Strings.h"

#include <algorithm>
#include <cerrno>
#include <climits>
#include <cstring>
#include <filesystem>
#include <new>
#include <optional>

namespace quillet {

namespace {
// The failure to open a file, naming its cause in the system's words when there is one.
EFileError CannotOpen(const std::string& fileName, int code) {
    return EFileError(WithCause(FmtLoadStr(SFileCannotOpen, fileName), code), code);
}

// Only a regular file is read: a folder, a device or a pipe is refused before it is opened.
void RequireRegularFile(const std::string& fileName) {
    std::error_code ec;
    const auto status = std::filesystem::status(fileName, ec);
    if (status.type() == std::filesystem::file_type::directory) throw CannotOpen(fileName, EISDIR);
    if (status.type() != std::filesystem::file_type::regular)
        throw CannotOpen(fileName, ec.value());
}

// Restores the undo recording switch however the load ends.
class TRecordingOff {
public:
    explicit TRecordingOff(TUndoStack* undo) : FUndo(undo), FWas(undo && undo->Recording()) {
        if (FUndo) FUndo->SetRecording(false);
    }
    ~TRecordingOff() {
        if (FUndo) FUndo->SetRecording(FWas);
    }
    TRecordingOff(const TRecordingOff&) = delete;
    TRecordingOff& operator=(const TRecordingOff&) = delete;

private:
    TUndoStack* FUndo;
    bool FWas;
};

WPARAM FormatBits(TSaveFormat format, TSelLineStyle style) {
    switch (format) {
    case sfRTF:
        return sfmRTF;
    case sfHTML:
        return sfmHTML;
    case sfUNIX:
        return sfmLF;
    default:
        return style == lsCRLF ? sfmCRLF : 0;
    }
}
} // namespace

void TCustomCodeMemo::WriteRich(TOffset start, TOffset end, WPARAM format, TBufferedWriter& out,
                                bool release) const {
    start = ClampOffset(start);
    end = ClampOffset(end);
    TRichSource src;
    if (!release) {
        // Every line needs its attribute bytes, wherever the selection lies.
        FView->ScanThrough(FStore->LineCount() - 1);
    } else {
        constexpr int BlockLines = 4096;
        src.LineHook = [this, scanned = -1](TRow row, bool done) mutable {
            if (!done) {
                // The scan goes on from where it stopped a block ago.
                if (row > TRow(scanned)) {
                    scanned = std::min(row.Value() + BlockLines, FStore->LineCount() - 1);
                    FView->ScanThroughInSteps(scanned, BlockLines);
                }
                return;
            }
            TLineRecord& rec = FStore->Line(row);
            if (!rec.Extra) return;
            if (rec.Extra->Object)
                std::vector<uint8_t>().swap(rec.Extra->Attributes);
            else
                rec.Extra.reset();
        };
    }
    src.Store = FStore;
    src.Settings = FActiveSettings;
    src.Highlight = (FActiveSettings->Options & smoSyntaxHighlight) && ActiveDefinition();
    src.Font = Font();
    if (format & sfmRTF) return WriteRtf(src, start, end, out);
    src.Title = FPrintTitle;
    src.Date = ShortDateToday();
    src.Contact = LoadStr(SMailAddress);
    WriteHtml(src, start, end, out);
}

std::string TCustomCodeMemo::FormatText(TOffset first, TOffset last, WPARAM format) const {
    first = ClampOffset(first);
    last = ClampOffset(last);
    if (format & (sfmRTF | sfmHTML)) {
        TMemoryStream memory;
        TBufferedWriter out(memory);
        WriteRich(first, last, format, out);
        out.Flush();
        return memory.AsString();
    }
    if (format & sfmLF) return FStore->GetText(first, last, sfUNIX);
    if (!(format & sfmCRLF)) return FStore->StoredText(first, last);
    TSelLineStyle style = FStore->LineStyle();
    FStore->SetLineStyle(lsCRLF);
    std::string out = FStore->GetText(first, last, sfTEXT);
    FStore->SetLineStyle(style);
    return out;
}

void TCustomCodeMemo::LoadStreamAtSelection(TStream& stream) {
    if (FReadOnly) return;
    CloseTyping();
    const TOffset a = SelFirst(), b = SelLast();
    TUndoStack* undo = FStore->UndoStack();
    bool group = undo && undo->Recording() && !undo->GroupOpen();
    if (group) undo->OpenGroup(ugReplaceSel);
    try {
        if (b > a) FPipeline->Delete(a, b - a);
        FAnchor = FCaret = a;
        // Blocks of 8192 bytes; a block ending in CR gives the CR back so CR LF stays whole.
        constexpr int64_t block = 8192;
        std::string buffer(size_t(block) + 1, '\0');
        TOffset pos = a;
        while (true) {
            int64_t n = stream.Read(buffer.data(), block);
            if (n <= 0) break;
            if (n == block && buffer[size_t(n - 1)] == '\r' && stream.Position() < stream.Size()) {
                stream.Seek(-1, soCurrent);
                --n;
            }
            pos += FPipeline->Insert(pos, std::string_view(buffer.data(), size_t(n)));
            FAnchor = FCaret = pos;
        }
    } catch (...) {
        if (group) undo->CloseGroup(ugReplaceSel);
        throw;
    }
    if (group) undo->CloseGroup(ugReplaceSel);
}

void TCustomCodeMemo::LoadFromStream(TStream& stream) {
    CloseTyping();
    TUndoStack* undo = FStore->UndoStack();
    if (undo) undo->Clear();
    bool readOnly = FReadOnly;
    FReadOnly = false; // a load replaces the document even in a read-only view
    FLoading = true;
    try {
        TRecordingOff off(undo);
        FStore->ClearBookmarks(); // they belonged to the old text
        FAnchor = TOffset(0);
        FCaret = TextEnd();
        Perform(SM_LOADSTREAM, smNOREPAINT, LPARAM(&stream));
    } catch (const std::bad_alloc&) {
        FReadOnly = readOnly;
        FLoading = false;
        throw ECodeMemo(LoadStr(SOutOfMemory));
    } catch (const EOutOfMemory&) {
        FReadOnly = readOnly;
        FLoading = false;
        throw ECodeMemo(LoadStr(SOutOfMemory));
    } catch (...) {
        FReadOnly = readOnly;
        FLoading = false;
        throw;
    }
    FReadOnly = readOnly;
    FLoading = false;
    if (undo) undo->Clear();
    FTopLine = TRow(0);
    FLeftColumn = TColumn(0);
    FStore->SetCachedTopLine(0);
    MarkAllDirty();
    NoteChange(cfText);
    ApplySelection(TOffset(0), TOffset(0), true);
    UpdateScrollBars();
}

void TCustomCodeMemo::LoadFromFile(const std::string& fileName) {
    // The failure names its cause in the system's words when there is one.
    auto cannotOpen = [&](int code) { return CannotOpen(fileName, code); };
    RequireRegularFile(fileName);
    std::unique_ptr<TFileStream> file;
    TTextEncoding encoding;
    TLineBreakCount counts;
    int64_t breaks = 0;
    // Positions count the text's bytes in an int. A file that cannot fit is refused before the
    // text in the editor is touched (a load that ran out of room half-way would leave part of the
    // new file under the old one's name), and by its size, before gigabytes are read for nothing.
    auto tooLarge = [&] { return EFileError(FmtLoadStr(SFileTooLarge, fileName, INT_MAX), EFBIG); };
    try {
        file = std::make_unique<TFileStream>(fileName, fmOpenRead);
    } catch (const EFileError& e) {
        throw cannotOpen(e.Code());
    }
    if (file->Size() - 3 > INT_MAX) throw tooLarge(); // a BOM is not stored
    try {
        encoding = DetectEncoding(*file, breaks, &counts);
    } catch (const EFileError& e) {
        throw cannotOpen(e.Code());
    }
    const int64_t start = encoding.Bom ? 3 : 0;
    if (file->Size() - start > INT_MAX) throw tooLarge();
    // Breaks of several kinds and control bytes are stored otherwise; their bytes are kept.
    const bool keep = counts.Mixed() || counts.Controls > 0;
    TKeptBytes kept;
    kept.BeginFile(encoding.Kind == TEncodingKind::Windows1251, encoding.Break);
    if (encoding.Kind == TEncodingKind::Windows1251) {
        std::string bytes;
        try {
            file->SetPosition(0);
            bytes.resize(size_t(file->Size()));
            file->ReadBuffer(bytes.data(), int64_t(bytes.size()));
        } catch (const EFileError& e) {
            throw cannotOpen(e.Code());
        }
        if (keep) kept.AddFileBytes(bytes);
        bytes = DecodeText(bytes, encoding);
        if (bytes.size() > size_t(INT_MAX)) throw tooLarge(); // Cyrillic takes two bytes
        TReadOnlyMemoryStream stream(bytes.data(), int64_t(bytes.size()));
        FKept.Clear(); // the old text's bytes go with it
        LoadFromStream(stream);
    } else {
        // UTF-8 is loaded straight from the file: no copy of a large file in memory, and the
        // text and its rows are made room for once.
        file->SetPosition(start);
        const int64_t chars = file->Size() - start;
        if (breaks < INT_MAX / 2 && chars < INT_MAX)
            FStore->Reserve(int(breaks) + 2, int(chars));
        FKept.Clear();
        LoadFromStream(*file);
        if (keep) {
            try {
                file->SetPosition(start);
                std::string block(size_t(1) << 16, '\0');
                for (int64_t n; (n = file->Read(block.data(), int64_t(block.size()))) > 0;)
                    kept.AddFileBytes(std::string_view(block.data(), size_t(n)));
            } catch (const EFileError& e) {
                throw cannotOpen(e.Code());
            }
        }
    }
    kept.EndFile();
    FKept = std::move(kept);
    FEncoding = encoding;
    FFileName = fileName;
    if (HasOption(smoTitleAsFilename)) FPrintTitle = fileName;
}

void TCustomCodeMemo::ExportToStream(TStream& stream) {
    WPARAM format = FormatBits(FSaveFormat, FStore->LineStyle());
    CloseTyping();
    TBufferedWriter writer(stream);
    if (!(format & (sfmRTF | sfmHTML))) {
        if (TUndoStack* undo = FStore->UndoStack()) undo->Clear();
        WritePlain(writer);
        writer.Flush();
        if (writer.Short()) throw ECodeMemo(LoadStr(SCouldNotSave));
        return;
    }
    WriteRich(TOffset(0), TextEnd(), format, writer, true);
    writer.Flush();
    if (writer.Short() || writer.Written() < FStore->CharCount())
        throw ECodeMemo(LoadStr(SCouldNotSave));
}

bool TCustomCodeMemo::ExportsFlat() const {
    const WPARAM format = FormatBits(FSaveFormat, FStore->LineStyle());
    return (format & (sfmRTF | sfmHTML)) && !OnTokenSeen;
}

void TCustomCodeMemo::ExportFileToStream(const std::string& fileName, TStream& stream) {
    if (!ExportsFlat()) {
        LoadFromFile(fileName);
        ExportToStream(stream);
        return;
    }
    ExportStoredText(StoredFileText(fileName), fileName, stream);
}

std::string TCustomCodeMemo::StoredFileText(const std::string& fileName) {
    auto cannotOpen = [&](int code) { return CannotOpen(fileName, code); };
    RequireRegularFile(fileName);
    std::string text;
    try {
        TFileStream file(fileName, fmOpenRead);
        text.resize(size_t(file.Size()));
        size_t got = 0;
        for (int64_t n; got < text.size() &&
                        (n = file.Read(text.data() + got, int64_t(text.size() - got))) > 0;)
            got += size_t(n);
        text.resize(got);
    } catch (const EFileError& e) {
        throw cannotOpen(e.Code());
    } catch (const std::bad_alloc&) {
        throw ECodeMemo(LoadStr(SOutOfMemory));
    }
    if (text.starts_with("\xEF\xBB\xBF")) {
        text.erase(0, 3);
    } else if (!IsValidUtf8(text)) {
        TTextEncoding encoding;
        text = DecodeText(text, encoding);
    }
    text.resize(TTextStore::NormalizeInPlace(text.data(), text.size()));
    if (text.size() > size_t(INT_MAX)) throw ECodeMemo(LoadStr(SOutOfMemory));
    return text;
}

void TCustomCodeMemo::ExportStoredText(std::string_view text, const std::string& fileName,
                                       TStream& stream) const {
    const WPARAM format = FormatBits(FSaveFormat, FStore->LineStyle());
    TRichSource src;
    src.Settings = FActiveSettings;
    src.Highlight = (FActiveSettings->Options & smoSyntaxHighlight) && ActiveDefinition();
    src.Font = Font();
    // Only a definition the control's re-scan could run makes attribute bytes.
    TCodeMemoParser* def =
        src.Highlight ? dynamic_cast<TCodeMemoParser*>(ActiveDefinition()) : nullptr;
    if (def && def->CustomHandlers && !def->OnCustomParse) def = nullptr;
    src.Rows = [&](const TRichSource::TRowSink& row) {
        if (text.empty()) return; // no rows at all, as for an empty range
        std::optional<TExportScanner> scan;
        if (def) scan.emplace(*def, text);
        const char* const p = text.data();
        const size_t n = text.size();
        // A row ends after each CR; the last one holds the rest, maybe nothing.
        for (size_t s = 0;;) {
            const auto* cr = static_cast<const char*>(std::memchr(p + s, '\r', n - s));
            const size_t e = cr ? size_t(cr - p) + 1 : n;
            row({p + s, e - s}, scan ? scan->Row(s, e) : nullptr);
            if (!cr) break;
            s = e;
        }
    };
    // Blocks of 256 KiB: a rich export is about twelve times its text, and each write costs the
    // file system its own round of locking and bookkeeping.
    TBufferedWriter writer(stream, size_t(1) << 18);
    if (format & sfmRTF) {
        WriteRtf(src, TOffset(0), TOffset(0), writer);
    } else {
        src.Title = (FActiveSettings->Options & smoTitleAsFilename) ? fileName : FPrintTitle;
        src.Date = ShortDateToday();
        src.Contact = LoadStr(SMailAddress);
        WriteHtml(src, TOffset(0), TOffset(0), writer);
    }
    writer.Flush();
    if (writer.Short() || writer.Written() < int64_t(text.size()))
        throw ECodeMemo(LoadStr(SCouldNotSave));
}

bool TCustomCodeMemo::FitsEncoding() const {
    if (FEncoding.Kind != TEncodingKind::Windows1251) return true;
    bool fits = true;
    ForEachPiece([&](std::string_view piece) {
        uint32_t cp;
        for (size_t i = 0; i < piece.size() && fits;) {
            const int n = Utf8Sequence(piece, i, cp);
            fits = n > 0 && CodeToCp1251(cp) >= 0;
            i += size_t(n);
        }
    });
    return fits;
}

void TCustomCodeMemo::WritePlain(TBufferedWriter& out) const {
    // The line break FileBytes writes for the stored CR.
    std::string_view lineEnd = "\r";
    if (FSaveFormat == sfUNIX)
        lineEnd = "\n";
    else if (FSaveFormat == sfTEXT && FEncoding.Break != lbDefault)
        lineEnd = FEncoding.Break == lbCRLF ? "\r\n" : FEncoding.Break == lbLF ? "\n" : "\r";
    else if (FStore->LineStyle() == lsCRLF)
        lineEnd = "\r\n";
    const bool encode = FSaveFormat == sfTEXT || FSaveFormat == sfUNIX;
    // A character the code page lacks sends the whole text out as UTF-8, never lossy.
    const bool cp1251 = encode && FEncoding.Kind == TEncodingKind::Windows1251 && FitsEncoding();
    if (encode && FEncoding.Kind == TEncodingKind::Utf8 && FEncoding.Bom) out.Put("\xEF\xBB\xBF");
    // The kept file bytes replace the characters that stand for them; a UNIX save writes every
    // break as LF.
    const std::vector<TKeptBytes::TEntry>& kept = FKept.Entries();
    size_t k = 0;
    int64_t base = 0; // offset of the piece's first character
    ForEachPiece([&](std::string_view piece) {
        size_t i = 0;
        while (i < piece.size()) {
            while (k < kept.size() && kept[k].Offset < base + int64_t(i))
                ++k;
            const size_t next =
                k < kept.size()
                    ? size_t(std::min<int64_t>(kept[k].Offset - base, int64_t(piece.size())))
                    : piece.size();
            // Bytes that go out as they are, in one piece.
            size_t j = i;
            while (j < next && piece[j] != '\r' && (!cp1251 || uint8_t(piece[j]) < 0x80))
                ++j;
            out.Put(piece.substr(i, j - i));
            if (j == piece.size()) break;
            if (j == next) {
                const uint16_t code = kept[k++].Code;
                const bool isBreak = code == '\r' || code == '\n' || code == TKeptBytes::KCrLf;
                // An entry stands for a stored CR (a break) or '.' (a control byte).
                if (piece[j] == '\r' && isBreak) {
                    out.Put(FSaveFormat == sfUNIX ? lineEnd : TKeptBytes::Bytes(code));
                    i = j + 1;
                    continue;
                }
                if (piece[j] == '.' && !isBreak && encode) {
                    out.Put(TKeptBytes::Bytes(code));
                    i = j + 1;
                    continue;
                }
                i = j; // out of step with the text: the character goes out as usual
                if (piece[j] != '\r' && (!cp1251 || uint8_t(piece[j]) < 0x80)) {
                    out.Put(piece.substr(j, 1));
                    i = j + 1;
                    continue;
                }
            }
            if (piece[j] == '\r') {
                out.Put(lineEnd);
                i = j + 1;
            } else {
                uint32_t cp;
                const int n = Utf8Sequence(piece, j, cp);
                out.Put(char(CodeToCp1251(cp)));
                i = j + size_t(n);
            }
        }
        base += int64_t(piece.size());
    });
}

void TCustomCodeMemo::ForEachPiece(const std::function<void(std::string_view)>& take) const {
    // Pieces of about 64 KiB that end at a line break or before a byte that may start a
    // character running on past them, so that each character is seen whole.
    constexpr size_t kPiece = size_t(1) << 16;
    std::string piece;
    piece.reserve(kPiece);
    auto hand = [&](bool all) {
        size_t cut = piece.size();
        if (!all)
            for (size_t k = 1; k <= 3 && k <= piece.size(); ++k)
                if (uint8_t(piece[piece.size() - k]) >= 0xC0) {
                    cut = piece.size() - k;
                    break;
                }
        take(std::string_view(piece).substr(0, cut));
        piece.erase(0, cut);
    };
    for (TRow row(0), end(FStore->LineCount()); row < end; ++row) {
        std::string_view v = FStore->RowText(row);
        while (!v.empty()) {
            const size_t n = std::min(v.size(), kPiece - std::min(kPiece, piece.size()));
            piece.append(v.substr(0, n));
            v.remove_prefix(n);
            if (piece.size() >= kPiece) hand(false);
        }
    }
    hand(true);
}

void TCustomCodeMemo::SaveToStream(TStream* stream) {
    if (!stream) throw ECodeMemo(LoadStr(SBadStream));
    CloseTyping();
    TUndoStack* undo = FStore->UndoStack();
    if (undo) undo->Clear();
    const TSelectionPair saved = SelectionPair();
    WPARAM format = FormatBits(FSaveFormat, FStore->LineStyle());
    const bool rich = format & (sfmRTF | sfmHTML);
    // The rich forms go to the stream block by block as they are written; plain text is
    // the text itself and is written in one piece.
    std::string out = rich ? std::string() : FormatAll(format);
    int64_t start = stream->Position();
    bool done = false;
    for (int attempt = 0; attempt < 4 && !done; ++attempt) {
        if (attempt > 0) stream->Seek(start, soBeginning);
        if (rich) {
            TBufferedWriter writer(*stream);
            WriteRich(TOffset(0), TextEnd(), format, writer);
            writer.Flush();
            done = !writer.Short() && writer.Written() >= FStore->CharCount();
            continue;
        }
        int64_t written = stream->Write(out.data(), int64_t(out.size()));
        done = written >= FStore->CharCount() && written >= int64_t(out.size());
    }
    SetSelectionPair(saved);
    if (undo) undo->Clear();
    if (!done) throw ECodeMemo(LoadStr(SCouldNotSave));
}

std::string TCustomCodeMemo::FileBytes(TTextEncoding& encoding) {
    CloseTyping();
    encoding = FEncoding;
    TMemoryStream memory;
    if (FSaveFormat != sfTEXT && FSaveFormat != sfUNIX) {
        SaveToStream(&memory);
        return memory.AsString();
    }
    if (TUndoStack* undo = FStore->UndoStack()) undo->Clear();
    if (!FitsEncoding()) encoding = {TEncodingKind::Utf8, false, encoding.Break};
    TBufferedWriter writer(memory);
    WritePlain(writer);
    writer.Flush();
    return memory.AsString();
}

void TCustomCodeMemo::SaveToFile(const std::string& fileName) {
    // The history goes only once the file is written: a failed save keeps it, and with it
    // Modified, so nobody takes the changes for saved.
    CloseTyping();
    TTextEncoding encoding;
    std::string bytes;
    std::unique_ptr<TUndoStack> history = FStore->DetachUndoStack();
    try {
        bytes = FileBytes(encoding);
    } catch (...) {
        FStore->AttachUndoStack(std::move(history));
        throw;
    }
    FStore->AttachUndoStack(std::move(history));
    SaveFileAtomically(fileName, bytes);
    FEncoding = encoding;
    if (TUndoStack* undo = FStore->UndoStack()) undo->Clear();
    FFileName = fileName;
    if (HasOption(smoTitleAsFilename)) FPrintTitle = fileName;
    NoteChange(cfText);
    Notify();
}

} // namespace quillet
