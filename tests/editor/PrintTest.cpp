// Printing, checked against random documents: whatever the page, the screen wrap and the tabs,
// every character reaches paper once and in order, on pages that hold it.
#include "editor/CodeMemo.h"
#include "platform/headless/HeadlessWindowHost.h"
#include "platform/headless/RecordingPrinter.h"

#include <gtest/gtest.h>

#include <random>
#include <string>

namespace quillet {
namespace {

std::string WithoutBlanks(std::string_view s) {
    std::string out;
    for (char c : s)
        if (c != ' ' && c != '\t' && c != '\r') out += c;
    return out;
}

TEST(PrintRandom, EveryCharacterOnceInOrderWithinThePages) {
    std::mt19937 rng(16);
    const char* pieces[] = {"a", "bc", "longerword", " ", "   ", "\t", "x\ty", "{", ";", "\r"};
    for (int round = 0; round < 60; ++round) {
        THeadlessWindowHost host(120 + int(rng() % 400), 200);
        TCodeMemo memo(&host);
        std::string text;
        int count = 5 + int(rng() % 60);
        for (int i = 0; i < count; ++i)
            text += pieces[rng() % std::size(pieces)];
        if (rng() % 4 == 0) text += std::string(100 + rng() % 300, 'z'); // past any page
        memo.SetText(text);
        TCodeMemoOptions options = smoPrintWrap;
        if (rng() % 2) options |= smoPrintLineNos;
        if (rng() % 2) options |= smoPrintPageNos | smoPrintFilename;
        if (rng() % 2) options |= smoWordWrap; // screen rows are joined again on paper
        memo.SetOptions(options);
        memo.SetTabDefault(1 + int(rng() % 8));
        const int width = 200 + int(rng() % 400), height = 20 + int(rng() % 300);
        TRecordingPrinter printer(width, height, 10, 20);
        memo.SelectAll();
        memo.PrintSelection(printer);
        ASSERT_EQ(printer.State(), TRecordingPrinter::jsEnded);

        const int textLeft = (options & smoPrintLineNos) ? 100 : 0;
        std::string printed;
        int numbers = 0;
        for (const TPrintedPage& page : printer.Pages()) {
            int lines = 0, lastY = -1;
            for (const TPrintedItem& item : page) {
                if (item.Kind != TPrintedItem::pkText || item.Text.starts_with("- ")) continue;
                if (item.Y == 0 && (options & smoPrintFilename)) continue; // the header
                if (item.X < textLeft) {
                    ++numbers;
                    continue;
                }
                EXPECT_LE(item.X + 10 * int(item.Text.size()), width + 10) << round;
                if (item.Y != lastY) ++lines, lastY = item.Y;
                printed += item.Text;
            }
            // A page holds what fits between header and footer, and at least one line.
            int room = height - ((options & smoPrintFilename) ? 60 : 0) -
                       ((options & smoPrintPageNos) ? 80 : 0);
            EXPECT_LE(lines, std::max(1, room / 20)) << round;
        }
        std::string expected = WithoutBlanks(text);
        // The text ends with the last line the selection covers: an empty last line is left out.
        EXPECT_EQ(WithoutBlanks(printed), expected) << round;
        if (options & smoPrintLineNos) {
            int logical = 1 + int(std::count(text.begin(), text.end(), '\r'));
            if (!text.empty() && text.back() == '\r') --logical;
            EXPECT_EQ(numbers, std::max(1, logical)) << round;
        }
    }
}

// A header handler that edits (here: deletes the whole text on the second page) ends the document
// with the pages laid out before: the rows to print are gone, and printing them read past the
// rows there are.
TEST(PrintHandler, AHeaderThatChangesTheTextEndsTheDocument) {
    THeadlessWindowHost host(300, 200);
    TCodeMemo memo(&host);
    std::string text;
    for (int i = 0; i < 40; ++i)
        text += "line" + std::to_string(i) + "\r";
    memo.SetText(text);
    memo.SetOptions(memo.Options() & ~TCodeMemoOptions(smoPrintLineNos));
    int pages = 0;
    memo.OnPrintHeaderFooter = [&](TCustomCodeMemo& m, ICanvas&, TRect&, bool&) {
        if (++pages == 2) {
            m.SelectAll();
            m.SetSelText("");
        }
    };
    TRecordingPrinter printer(400, 200, 10, 20); // ten lines a page
    memo.SelectAll();
    memo.PrintSelection(printer);
    EXPECT_EQ(printer.State(), TRecordingPrinter::jsEnded);
    EXPECT_EQ(memo.Text(), "");
    std::string printed;
    for (const TPrintedPage& page : printer.Pages())
        for (const TPrintedItem& item : page)
            if (item.Kind == TPrintedItem::pkText) printed += item.Text + "|";
    EXPECT_EQ(printed, "line0|line1|line2|line3|line4|line5|line6|line7|line8|line9|");
}

} // namespace
} // namespace quillet
