// File encodings: UTF-8 (with or without BOM) or Windows-1251, and atomic saving.
#pragma once

#include <cstdint>
#include <functional>
#include <string>
#include <string_view>

namespace quillet {

class TStream;

enum class TEncodingKind { Utf8, Windows1251 };

struct TTextEncoding {
    TEncodingKind Kind = TEncodingKind::Utf8;
    bool Bom = false;
};

// True when the bytes are well-formed UTF-8 (no overlongs, no surrogates).
bool IsValidUtf8(std::string_view bytes);
// Reads the stream from where it stands to its end, block by block, and returns what DecodeText
// would find; `lineBreaks` receives the count of CR LF, lone CR and lone LF breaks. The stream is
// left at its end.
TTextEncoding DetectEncoding(TStream& stream, int64_t& lineBreaks);
// Bytes of a file to UTF-8 text; 'encoding' receives what was found.
std::string DecodeText(std::string_view bytes, TTextEncoding& encoding);
// UTF-8 text back to file bytes; a character 1251 cannot hold switches 'encoding' to UTF-8.
std::string EncodeText(std::string_view text, TTextEncoding& encoding);
// Writes through a temp file in the same folder; on failure the old file stays and
// "Cannot create file %s" is raised.
void SaveFileAtomically(const std::string& path, std::string_view bytes);
// The same with the bytes written by `write` as they come.
class TStream;
void SaveFileAtomically(const std::string& path, const std::function<void(TStream&)>& write);

} // namespace quillet
