// The style sheet tools of the main window: format and minify, and the colour swatches.
#include "app/MainForm.h"

#include "css/Colors.h"
#include "css/Format.h"
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
    TOffset from(0), to(store.CharCount());
    const bool piece = memo.SelLength() != 0;
    if (piece) {
        const TOffset a(memo.SelStart()), b = a + memo.SelLength();
        const TRow first = store.LineFromPos(std::min(a, b));
        const TRow last = store.LineFromPos(std::max(std::min(a, b), std::max(a, b) - 1));
        from = store.PosFromLine(first);
        to = store.PosFromLine(last) + store.Line(last).Length;
        if (to > from && store.Line(last).View().ends_with('\r')) --to; // the break stays
    }
    // The text as stored, one CR a line end, so that offsets match the control's.
    std::string text;
    text.reserve(size_t(to - from));
    for (TRow row = store.LineFromPos(from); row < TRow(store.LineCount()); ++row) {
        const TOffset start = store.PosFromLine(row);
        if (start >= to) break;
        std::string_view v = store.Line(row).View();
        const int a = std::max(from, start) - start,
                  b = std::min(to, start + int(v.size())) - start;
        if (b > a) text.append(v.substr(size_t(a), size_t(b - a)));
    }
    css::TFormatResult result;
    if (minify) {
        result = css::Minify(text);
    } else {
        css::TFormatOptions options;
        options.IndentStep = std::max(1, memo.IndentStep());
        options.FinalNewline = !piece;
        if (piece) {
            const std::string before = store.GetText(0, from.Value());
            options.BaseDepth = css::DepthAt(before, int(before.size()));
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
    const TOffset at(caret);
    const int newCaret =
        at >= from && at <= to ? (from + result.MapOffset(at - from)).Value() : -1;
    memo.Perform(EM_SETSEL, WPARAM(from.Value()), LPARAM(to.Value()));
    memo.Perform(EM_REPLACESEL, 1, LPARAM(out.c_str()));
    if (newCaret >= 0) memo.Perform(EM_SETSEL, WPARAM(newCaret), LPARAM(newCaret));
}

} // namespace quillet
