// The style sheet tools of the main window: format and minify, and the colour swatches.
#include "app/MainForm.h"

#include "css/Colors.h"
#include "css/Format.h"
#include "css/Lexer.h"
#include "editor/Messages.h"
#include "editor/TextStore.h"
#include "editor/UndoStack.h"

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
    const std::string all = store.StoredText(TOffset(0), store.TextEnd());
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
    auto crlf = [](std::string_view piece) {
        std::string out;
        out.reserve(piece.size() + piece.size() / 16);
        for (char c : piece)
            out += c == '\n' || c == '\r' ? std::string("\r\n") : std::string(1, c);
        return out;
    };
    const std::string out = crlf(result.Text);
    if (out == crlf(text)) return; // no empty step in the undo list
    const int newCaret = caret >= from && caret <= to ? from + result.MapOffset(caret - from) : -1;

    // Only what lies between the tokens changes, so each gap is replaced on its own, the last
    // first: the tokens stay in the text untouched, with what the text keeps of its file inside
    // them (a control byte in a string). Whole, should a token not come out as it went in, and
    // when the text keeps nothing of its file: one edit then costs far less than one a gap
    // (a minified sheet of megabytes has hundreds of thousands of gaps).
    struct TGap {
        int From, To;
        std::string_view Out;
    };
    std::vector<TGap> gaps;
    bool same = true;
    int source = 0, output = 0;
    for (const css::TTokenPlace& place : result.Places) {
        const std::string_view a =
            std::string_view(text).substr(size_t(place.Source), size_t(place.Length));
        const std::string_view b =
            std::string_view(result.Text).substr(size_t(place.Output), size_t(place.Length));
        same = same && place.Source >= source && place.Output >= output && a.size() == b.size() &&
               std::equal(a.begin(), a.end(), b.begin(),
                          [](char x, char y) { return x == y || (x == '\r' && y == '\n'); });
        if (!same) break;
        gaps.push_back(
            {source, place.Source,
             std::string_view(result.Text).substr(size_t(output), size_t(place.Output - output))});
        source = place.Source + place.Length;
        output = place.Output + place.Length;
    }
    gaps.push_back(
        {source, int(text.size()), std::string_view(result.Text).substr(size_t(output))});
    TUndoStack* undo = memo.Store().UndoStack();
    if (undo) undo->OpenGroup(ugReplace); // one undo step for all the gaps
    if (same && !memo.KeptBytes().Empty()) {
        for (auto g = gaps.rbegin(); g != gaps.rend(); ++g) {
            if (crlf(std::string_view(text).substr(size_t(g->From), size_t(g->To - g->From))) ==
                crlf(g->Out))
                continue;
            const std::string gap = crlf(g->Out);
            memo.Perform(EM_SETSEL, WPARAM(from + g->From), LPARAM(from + g->To));
            memo.Perform(EM_REPLACESEL, 1, LPARAM(gap.c_str()));
        }
    } else {
        memo.Perform(EM_SETSEL, WPARAM(from), LPARAM(to));
        memo.Perform(EM_REPLACESEL, 1, LPARAM(out.c_str()));
    }
    if (undo) undo->CloseGroup(ugReplace);
    if (newCaret >= 0) memo.Perform(EM_SETSEL, WPARAM(newCaret), LPARAM(newCaret));
}

} // namespace quillet
