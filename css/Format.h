// Style sheet layout: re-indents CSS text (one declaration per line, a blank line between rules)
// or writes it minified, keeping every token and every comment.
#pragma once

#include <string>
#include <string_view>
#include <vector>

namespace quillet::css {

struct TFormatOptions {
    int IndentStep = 4;   // blanks per nesting level
    bool UseTabs = false; // one tab per level instead of IndentStep blanks
    int BaseDepth = 0;    // nesting level the text starts at (a piece cut out of a block)
    bool FinalNewline = true;
};

// Where a token of the input landed in the output.
struct TTokenPlace {
    int Source = 0; // byte offset in the input
    int Length = 0;
    int Output = 0; // byte offset in the output
};

struct TFormatResult {
    std::string Text;
    std::vector<TTokenPlace> Places; // in input order
    // The output offset of an input offset: the same place inside or at the end of its token,
    // else the start of the token after the blanks it fell into (the end of the text after
    // the last).
    int MapOffset(int sourceOffset) const;
};

// Pretty-printed text. Formatting its own output, or the minified text, gives the same text.
TFormatResult Format(std::string_view text, const TFormatOptions& options = {});
// The shortest text with the same tokens: blanks only where they are significant. A comment
// that stood on a line of its own keeps its line break so that formatting can put it back.
TFormatResult Minify(std::string_view text);

// The nesting level of braces at `offset` (comments and strings skipped), for formatting a
// piece of a document.
int DepthAt(std::string_view text, int offset);

} // namespace quillet::css
