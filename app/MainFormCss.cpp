// The style sheet tools of the main window: format and minify, and the colour swatches.
#include "app/MainForm.h"

#include "css/Colors.h"
#include "css/Format.h"
#include "css/Lexer.h"
#include "editor/Messages.h"
#include "editor/TextStore.h"

#include <algorithm>

namespace quillet {

namespace {

// 0xRRGGBB as style sheets write it to a TColor (red in the low byte), and back: the same swap.
TColor SwapRedBlue(uint32_t c) {
    return TColor((c >> 16 & 0xFF) | (c & 0xFF00) | (c & 0xFF) << 16);
}

} // namespace

void TMainForm::ShowColorSwatches(TCodeMemo& memo) {
    memo.OnRowSwatches = [](TCustomCodeMemo&, std::string_view row, std::vector<TSwatch>& out) {
        for (const css::TColorLiteral& c : css::FindColors(row)) {
            // A translucent colour is shown as it looks over white paper.
            uint32_t rgb = 0;
            for (int shift = 16; shift >= 0; shift -= 8) {
                const uint32_t v = c.Rgb >> shift & 0xFF;
                rgb = rgb << 8 | (v * c.Alpha + 255 * (255 - c.Alpha)) / 255;
            }
            out.push_back({c.Start, c.Length, SwapRedBlue(rgb)});
        }
    };
    memo.OnSwatchColor = [](TCustomCodeMemo&, std::string_view piece, TColor chosen) {
        return css::ReplaceColor(piece, SwapRedBlue(uint32_t(chosen) & 0xFFFFFF));
    };
}

void TMainForm::FormatCss(bool minify) {
    TCodeMemo& memo = MainCodeMemo();
    const TTextStore& store = memo.Store();
    const int caret = memo.SelStart() + memo.SelLength();
    // The text as stored, one CR a line end, so that offsets match the control's.
    const std::string all = store.StoredText(0, store.CharCount());
    int from = 0, to = int(all.size());
    const bool piece = memo.SelLength() != 0;
    if (piece) {
        const int a = memo.SelStart(), b = a + memo.SelLength();
        from = std::min(a, b);
        to = std::max(from, std::max(a, b) - 1);
        // Whole lines (not the rows word wrap cuts them into), and never half a comment, string
        // or url: formatting from inside one would rewrite what it holds.
        const std::vector<css::TToken> tokens = css::Tokenize(all);
        auto around = [&](int at) -> const css::TToken* {
            auto it =
                std::upper_bound(tokens.begin(), tokens.end(), at,
                                 [](int v, const css::TToken& t) { return v < int(t.Offset); });
            if (it == tokens.begin()) return nullptr;
            const css::TToken& t = *std::prev(it);
            const bool opaque =
                t.Kind != css::TTokenKind::Blank && t.Kind != css::TTokenKind::Delim;
            return opaque && int(t.Offset) < at && at < int(t.Offset + t.Length) ? &t : nullptr;
        };
        for (int moved = -1; moved != from;) {
            moved = from;
            while (from > 0 && all[size_t(from - 1)] != '\r')
                --from;
            if (const css::TToken* t = around(from)) from = int(t->Offset);
        }
        for (int moved = -1; moved != to;) {
            moved = to;
            while (to < int(all.size()) && all[size_t(to)] != '\r')
                ++to;
            if (const css::TToken* t = around(to)) to = int(t->Offset + t->Length);
        }
    }
    const std::string text = all.substr(size_t(from), size_t(to - from));
    css::TFormatResult result;
    if (minify) {
        result = css::Minify(text);
    } else {
        css::TFormatOptions options;
        options.IndentStep = std::max(1, memo.IndentStep());
        options.FinalNewline = !piece;
        if (piece) {
            options.BaseDepth = css::DepthAt(all, from);
        }
        result = css::Format(text, options);
    }
    std::string out;
    out.reserve(result.Text.size() + result.Text.size() / 16);
    for (char c : result.Text) {
        if (c == '\n')
            out += "\r\n";
        else
            out += c;
    }
    std::string current;
    for (char c : text)
        current += c == '\r' ? std::string("\r\n") : std::string(1, c);
    if (out == current) return; // no empty step in the undo list
    const int newCaret = caret >= from && caret <= to ? from + result.MapOffset(caret - from) : -1;
    memo.Perform(EM_SETSEL, WPARAM(from), LPARAM(to));
    memo.Perform(EM_REPLACESEL, 1, LPARAM(out.c_str()));
    if (newCaret >= 0) memo.Perform(EM_SETSEL, WPARAM(newCaret), LPARAM(newCaret));
}

} // namespace quillet
