// The rich writers: a stretch of the text as RTF or HTML, each character in its style's
// font attributes and colours.
#pragma once

#include "highlight/Settings.h"
#include "platform/Fonts.h"

#include <string>

namespace quillet {

class TTextStore;

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
};

// Both walk the rows from the one holding `start` to the one holding `end` (CR LF after each);
// an empty range writes no rows.
std::string WriteRtf(const TRichSource& src, int start, int end);
std::string WriteHtml(const TRichSource& src, int start, int end);

// Today's date as yyyy-mm-dd.
std::string ShortDateToday();

} // namespace quillet
