// File encodings: UTF-8 (with or without BOM) or Windows-1251, and atomic saving.
#pragma once

#include <cstdint>
#include <functional>
#include <string>
#include <string_view>

namespace quillet {

class TStream;

enum class TEncodingKind { Utf8, Windows1251 };

// The line break typed text is written with: the kind most of the file's breaks had when it was
// loaded (each break of the file keeps its own kind), or lbDefault (the control's line style)
// for a document that did not come from a file with breaks.
enum TLineBreak : uint8_t { lbDefault, lbCRLF, lbLF, lbCR };

struct TTextEncoding {
    TEncodingKind Kind = TEncodingKind::Utf8;
    bool Bom = false;
    TLineBreak Break = lbDefault;
};

// The Windows-1251 byte of a code point, or -1 when that code page has no such character.
int CodeToCp1251(uint32_t cp);
// The code point of a Windows-1251 byte (every byte has one).
int Cp1251ToCode(unsigned char b);

// Counts of each kind of line break in a text; CR LF is one break.
struct TLineBreakCount {
    int64_t CRLF = 0, LF = 0, CR = 0;
    int64_t Controls = 0; // bytes below 32 other than TAB, CR and LF
    bool LastCR = false;  // the text seen so far ended in CR: an LF that follows pairs with it
    void Add(std::string_view bytes);
    int64_t Total() const { return CRLF + LF + CR; }
    // The kind most breaks have (CR LF, then LF, then CR on a tie); lbDefault without breaks.
    TLineBreak Majority() const;
    // Breaks of more than one kind.
    bool Mixed() const { return (CRLF > 0) + (LF > 0) + (CR > 0) > 1; }
};

// Text with stored CR breaks written with `style` (lbDefault and lbCR leave it as it is).
std::string WithLineBreaks(std::string_view text, TLineBreak style);

// True when the bytes are well-formed UTF-8 (no overlongs, no surrogates).
bool IsValidUtf8(std::string_view bytes);
// Reads the stream from where it stands to its end, block by block, and returns what DecodeText
// would find, the line breaks included; `lineBreaks` receives the count of CR LF, lone CR and
// lone LF breaks, and `counts` (when given) each kind and the control bytes. The stream is left
// at its end.
TTextEncoding DetectEncoding(TStream& stream, int64_t& lineBreaks,
                             TLineBreakCount* counts = nullptr);
// Bytes of a file to UTF-8 text; 'encoding' receives what was found, the line breaks included.
std::string DecodeText(std::string_view bytes, TTextEncoding& encoding);
// UTF-8 text back to file bytes; a character 1251 cannot hold switches 'encoding' to UTF-8.
std::string EncodeText(std::string_view text, TTextEncoding& encoding);
// Writes through a temp file beside the file (links followed, mode and owner kept); on failure
// the old file stays and "Cannot create file %s: CAUSE" is raised.
void SaveFileAtomically(const std::string& path, std::string_view bytes);
// The same with the bytes written by `write` as they come; not `durable`: without waiting for
// the disk before the new file takes the old one's place (output that can be made again).
class TStream;
void SaveFileAtomically(const std::string& path, const std::function<void(TStream&)>& write,
                        bool durable = true);

} // namespace quillet
