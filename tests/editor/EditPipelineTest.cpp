// The steps that follow every edit: their order as a handler sees it, and controls sharing a store.
#include "FixedFontTest.h"
#include "editor/CodeMemo.h"
#include "editor/CodeMemoView.h"
#include "editor/CodeMemoWrap.h"
#include "editor/LineTrack.h"
#include "editor/Rescan.h"
#include "platform/headless/HeadlessWindowHost.h"
#include "tests/StoreRows.h"
#include "tests/highlight/SampleCssDefinition.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <random>
#include <string>
#include <vector>

namespace quillet {
namespace {

std::string Stored(const TTextStore& st) {
    return st.StoredText(TOffset(0), st.TextEnd());
}

std::vector<int> RowLengths(const TTextStore& st) {
    std::vector<int> out;
    for (int i = 0; i < st.LineCount(); ++i)
        out.push_back(st.RowLength(TRow(i)));
    return out;
}

// Every character's style byte, 0xEE where a row has none.
std::vector<uint8_t> Bytes(const TTextStore& st) {
    std::vector<uint8_t> all;
    for (int i = 0; i < st.LineCount(); ++i) {
        const TLineRecord& r = st.Line(TRow(i));
        std::vector<uint8_t> b = r.Extra ? r.Extra->Attributes : std::vector<uint8_t>();
        b.resize(size_t(st.RowLength(TRow(i))), 0xEE);
        all.insert(all.end(), b.begin(), b.end());
    }
    return all;
}

class EditPipelineTest : public FixedFontTest {
protected:
    void SetUp() override {
        testdef::BuildCss(Css);
        Use(A);
    }
    void Use(TCodeMemo& m) {
        m.SetParser(1, &Css);
        m.SetActiveParser(1);
        m.SetWrapAtColumn(12);
        m.SetWordWrap(true);
    }
    // The rows and bytes a control of its own gives `text` from scratch.
    void Fresh(const std::string& text, std::vector<int>& rows, std::vector<uint8_t>& bytes) {
        THeadlessWindowHost host{640, 170};
        TCodeMemo fresh{&host};
        Use(fresh);
        fresh.SetText(text);
        fresh.View().ScanThrough(fresh.Store().LineCount() - 1);
        rows = RowLengths(fresh.Store());
        bytes = Bytes(fresh.Store());
    }

    TCodeMemoParser Css; // outlives the controls that use it
    THeadlessWindowHost HostA{640, 170};
    TCodeMemo A{&HostA};
};

TEST_F(EditPipelineTest, TextChangeHandlersSeeRowsCaretMarksAndHighlightingAlreadyUpdated) {
    A.SetText("p { color: red; }\r\na { margin: 0 }\r\nb {}");
    A.Perform(WM_PAINT, 0, 0);
    const int b = int(Stored(A.Store()).find("b {}"));
    A.SetBookmark(1, RowAt(A.Store(), b) + 1, 1);
    A.LineTracker().Marks().Add(TOffset(b), 1);
    int calls = 0;
    bool caretAtEdit = true;
    A.OnTextChange = [&](TCustomCodeMemo& m, int start, int extent) {
        ++calls;
        const std::string text = Stored(m.Store());
        const int at = int(text.find("b {}"));
        EXPECT_EQ(m.BookmarkLine(1), RowAt(m.Store(), at));
        EXPECT_EQ(m.LineTracker().Marks()[0].Start, TOffset(at));
        if (caretAtEdit) {
            EXPECT_EQ(m.Selection().Caret, start + std::max(extent, 0));
        }
        m.View().ScanThrough(m.Store().LineCount() - 1);
        std::vector<int> rows;
        std::vector<uint8_t> bytes;
        Fresh(text, rows, bytes);
        EXPECT_EQ(RowLengths(m.Store()), rows) << "after " << start << " " << extent;
        EXPECT_EQ(Bytes(m.Store()), bytes) << "after " << start << " " << extent;
    };
    A.Perform(EM_SETSEL, 4, 4);
    A.Perform(WM_CHAR, 'x', 0); // re-cuts the wrapped first line
    A.Perform(EM_SETSEL, 0, 0);
    A.Perform(EM_REPLACESEL, 0, LPARAM("div /* two\r\nlines */ {}\r\n"));
    A.Perform(EM_SETSEL, 3, 12);
    A.Perform(EM_REPLACESEL, 0, LPARAM(""));
    caretAtEdit = false; // a replay places the caret after its edits
    A.Perform(EM_UNDO, 0, 0);
    A.Perform(SM_REDO, 0, 0);
    EXPECT_EQ(calls, 5);
}

// Both controls hear every edit through the store: whichever edits, the other repaints, and
// its own re-scan alone brings the shared rows to the bytes of a fresh control.
TEST_F(EditPipelineTest, TwoControlsOnOneStoreAgreeWithAFreshControlAfterRandomEdits) {
    THeadlessWindowHost hostB{640, 170};
    TCodeMemo B{&hostB};
    Use(B);
    B.Perform(SM_TEXTSTORE, smSET, LPARAM(&A.Store()));
    A.SetText("h1 { color: red }\r\n/* note */ p { margin: 0 }\r\n");
    const std::string pieces[] = {
        "a",  "\r\n", "color: blue; ", "/* c",       "*/",
        "{ ", "}",    "\"q",           "background", std::string(2100, 'w')};
    std::mt19937 rng(20261209);
    for (int step = 0; step < 300; ++step) {
        const bool byA = rng() % 2 == 0;
        TCodeMemo& x = byA ? A : B;
        TCodeMemo& y = byA ? B : A;
        THeadlessWindowHost& yHost = byA ? hostB : HostA;
        yHost.ClearInvalidated();
        const std::string before = Stored(A.Store());
        const int n = A.Store().CharCount();
        const unsigned op = rng() % 10;
        if (op == 0) {
            x.Perform(EM_UNDO, 0, 0);
        } else if (op == 1) {
            x.Perform(SM_REDO, 0, 0);
        } else {
            int from = int(rng() % unsigned(n + 1));
            int to = std::min(n, from + int(rng() % (n > 4000 ? 3000u : 6u)));
            x.Perform(EM_SETSEL, from, to);
            x.Perform(EM_REPLACESEL, 0, LPARAM(pieces[rng() % 10].c_str()));
        }
        const std::string text = Stored(A.Store());
        if (text != before) {
            EXPECT_FALSE(yHost.Invalidated().empty()) << "step " << step;
        }
        y.View().ScanThrough(A.Store().LineCount() - 1);
        std::vector<int> rows;
        std::vector<uint8_t> bytes;
        Fresh(text, rows, bytes);
        // Cuts in a run without breaks may stand where edits left them; every other cut is a
        // fresh layout's.
        ASSERT_EQ(CheckStoreRows(A.Store(), A.Wrap().Params()), "") << "step " << step;
        ASSERT_EQ(Bytes(A.Store()), bytes) << "step " << step;
    }
    B.Perform(SM_TEXTSTORE, smSET, 0); // its own store again before A's goes
}

// A control that has not scanned since an edit far down keeps that scan owed while the other
// control breaks a wrapped line above it: the rows the break adds move the owed scan down.
TEST_F(EditPipelineTest, AScanOwedBelowFollowsLinesAddedAboveByTheOtherControl) {
    THeadlessWindowHost hostB{640, 170};
    TCodeMemo B{&hostB};
    Use(B);
    B.Perform(SM_TEXTSTORE, smSET, LPARAM(&A.Store()));
    std::string text = "p { color: red; background: blue; }\r\n";
    for (int i = 0; i < 40; ++i)
        text += "a { b: c }\r\n";
    A.SetText(text);
    B.View().ScanThrough(A.Store().LineCount() - 1);
    const int far = RowStart(A.Store(), A.Store().LineCount() - 5);
    A.Perform(EM_SETSEL, far, far);
    A.Perform(EM_REPLACESEL, 0, LPARAM("/* "));
    A.Perform(EM_SETSEL, 6, 6);
    A.Perform(EM_REPLACESEL, 0, LPARAM("x\r\ny "));
    B.View().ScanThrough(A.Store().LineCount() - 1);
    std::vector<int> rows;
    std::vector<uint8_t> bytes;
    Fresh(Stored(A.Store()), rows, bytes);
    EXPECT_EQ(RowLengths(A.Store()), rows);
    EXPECT_EQ(Bytes(A.Store()), bytes);
    B.Perform(SM_TEXTSTORE, smSET, 0);
}

// The store's undo goes with the control that keeps it: a control left on the store undoes
// nothing rather than replaying through a link that is gone, and the keeper's return binds it
// again.
TEST_F(EditPipelineTest, UndoOfAStoreItsKeeperLeftDoesNothingUntilTheKeeperComesBack) {
    TCodeMemo b{nullptr}, c{nullptr};
    A.SetText("abc");
    A.Perform(EM_SETSEL, 3, 3);
    A.Perform(WM_CHAR, 'd', 0);
    b.Perform(SM_TEXTSTORE, smSET, LPARAM(&A.Store()));
    A.Perform(SM_TEXTSTORE, smSET, LPARAM(&c.Store()));
    b.Perform(EM_UNDO, 0, 0);
    EXPECT_EQ(b.Text(), "abcd");
    A.Perform(SM_TEXTSTORE, smSET, 0);
    A.Perform(EM_UNDO, 0, 0);
    EXPECT_EQ(A.Text(), "abc");
    b.Perform(SM_TEXTSTORE, smSET, 0);
}

} // namespace
} // namespace quillet
