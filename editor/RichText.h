// The rich writers: a stretch of the text as RTF or HTML, each character in its style's
// font attributes and colours.
#pragma once

#include "editor/Units.h"
#include "highlight/Settings.h"
#include "platform/Fonts.h"

#include <cstdint>
#include <cstring>
#include <functional>
#include <string>
#include <string_view>
#include <vector>

namespace quillet {

class TTextStore;
class TStream;

// Collects output in blocks and hands each full block to a stream, so a writer never holds
// more than one block. A stream that takes fewer bytes than offered ends the writing: Short()
// tells, and later output is dropped.
class TBufferedWriter {
public:
    explicit TBufferedWriter(TStream& out, size_t blockSize = size_t(1) << 16);
    void Put(char c) {
        if (FUsed == FBlock.size()) Drain();
        FBlock[FUsed++] = c;
    }
    void Put(std::string_view s) {
        if (s.size() <= FBlock.size() - FUsed) {
            std::memcpy(FBlock.data() + FUsed, s.data(), s.size());
            FUsed += s.size();
        } else {
            PutLong(s);
        }
    }
    void PutDecimal(unsigned value);
    void PutHex(unsigned value, int digits); // lower case, zero-padded
    // Room for n bytes at the place returned, to be written there directly; Commit then says
    // where the writing stopped. A block smaller than n grows to n.
    char* Reserve(size_t n) {
        if (FBlock.size() - FUsed < n) MakeRoom(n);
        return FBlock.data() + FUsed;
    }
    void Commit(const char* end) { FUsed = size_t(end - FBlock.data()); }
    // Hands what is collected to the stream.
    void Flush() { Drain(); }
    int64_t Written() const { return FWritten; }
    bool Short() const { return FShort; }

private:
    void Drain();
    void PutLong(std::string_view s);
    void MakeRoom(size_t n);
    TStream& FOut;
    std::vector<char> FBlock;
    size_t FUsed = 0;
    int64_t FWritten = 0;
    bool FShort = false;
};

// What the writers read besides the text. With Highlight off (or a line without attribute
// bytes) characters are written with no attribute changes.
struct TRichSource {
    const TTextStore* Store = nullptr;
    const TCM_Settings* Settings = nullptr;
    bool Highlight = false;
    TFontDesc Font;
    std::string Title;   // HTML title
    std::string Date;    // HTML date, already formatted
    std::string Contact; // end of the HTML generator line
    // When set, told of each row before its record is read (done false) and once it is
    // written (done true): a writer of the whole text scans ahead and lets go behind with it.
    std::function<void(TRow row, bool done)> LineHook;
    // When set, the rows come from here instead of the store: it hands each row in turn (its
    // line break included) to the function it is given, with its attribute bytes or null.
    using TRowSink = std::function<void(std::string_view text, const uint8_t* attributes)>;
    std::function<void(const TRowSink& row)> Rows;
};

// Both walk the rows from the one holding `start` to the one holding `end` (CR LF after each);
// an empty range writes no rows. With Rows set they write every row it gives and ignore the
// range. The writer is not flushed.
void WriteRtf(const TRichSource& src, TOffset start, TOffset end, TBufferedWriter& out);
void WriteHtml(const TRichSource& src, TOffset start, TOffset end, TBufferedWriter& out);
// The same into a string (the clipboard's copy).
std::string WriteRtf(const TRichSource& src, TOffset start, TOffset end);
std::string WriteHtml(const TRichSource& src, TOffset start, TOffset end);

// Today's date as yyyy-mm-dd.
std::string ShortDateToday();

} // namespace quillet
