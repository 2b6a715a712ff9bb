// The line store: normalisation, line bookkeeping, edits and plain-text output.
#include "editor/TextStore.h"
#include "tests/StoreRows.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <random>
#include <string>

using namespace quillet;

namespace {
struct TRecorder : ITextStoreObserver {
    std::string Log;
    void OnInsert(TOffset pos, std::string_view text) override {
        Log += "+" + std::to_string(pos.Value()) + ":" + std::string(text) + ";";
    }
    void OnDelete(TOffset pos, std::string_view text) override {
        Log += "-" + std::to_string(pos.Value()) + ":" + std::string(text) + ";";
    }
};
} // namespace

TEST(TextStore, EmptyStoreHasOneEmptyLine) {
    TTextStore store;
    EXPECT_EQ(store.LineCount(), 1);
    EXPECT_EQ(store.CharCount(), 0);
    EXPECT_EQ(store.RowText(TRow(0)), "");
    EXPECT_EQ(store.GetText(), "");
    EXPECT_EQ(store.WidestLine(), 1);
    EXPECT_LE(sizeof(TLineRecord), 40u);
}

TEST(TextStore, NormalisesLineBreaksAndControlCharacters) {
    EXPECT_EQ(TTextStore::Normalize("a\r\nb\rc\nd"), "a\rb\rc\rd");
    EXPECT_EQ(TTextStore::Normalize(std::string("x\x07\x00\x0b\x0c\x1f\ty\xff", 9)),
              "x.....\ty\xff");
    EXPECT_EQ(TTextStore::Normalize("\n"), "\r");
    EXPECT_EQ(TTextStore::Normalize("\n\n"), "\r\r");
    EXPECT_EQ(TTextStore::Normalize("\r\n\r\n"), "\r\r");
}

TEST(TextStore, LoadedLinesAndOutputStyles) {
    TTextStore store;
    store.Insert(TOffset(0), "a\nb");
    ASSERT_EQ(store.LineCount(), 2);
    EXPECT_EQ(store.RowText(TRow(0)), "a\r");
    EXPECT_EQ(store.RowText(TRow(1)), "b");
    EXPECT_EQ(store.CharCount(), 3);
    EXPECT_EQ(store.GetText(), "a\r\nb");
    EXPECT_EQ(store.GetText(TOffset(0), TOffset(3), sfUNIX), "a\nb");
    store.SetLineStyle(lsLF);
    EXPECT_EQ(store.GetText(), "a\nb");
    EXPECT_EQ(store.StoredText(TOffset(0), TOffset(3)), "a\rb");
    EXPECT_EQ(store.GetText(TOffset(3), TOffset(1)), "\nb"); // reversed range is ordered
}

TEST(TextStore, PositionsAndLines) {
    TTextStore store;
    store.Insert(TOffset(0), "ab\ncde\n\nf");
    EXPECT_EQ(store.LineCount(), 4);
    EXPECT_EQ(store.PosFromLine(TRow(0)), TOffset(0));
    EXPECT_EQ(store.PosFromLine(TRow(1)), TOffset(3));
    EXPECT_EQ(store.PosFromLine(TRow(2)), TOffset(7));
    EXPECT_EQ(store.PosFromLine(TRow(3)), TOffset(8));
    EXPECT_EQ(store.PosFromLine(TRow(4)), TOffset(-1));
    EXPECT_EQ(store.PosFromLine(TRow(-1)), TOffset(-1));
    EXPECT_EQ(store.LineFromPos(TOffset(2)), TRow(0)); // the CR belongs to its line
    EXPECT_EQ(store.LineFromPos(TOffset(3)), TRow(1));
    EXPECT_EQ(store.LineFromPos(TOffset(9)), TRow(3));
    EXPECT_EQ(store.LineFromPos(TOffset(99)), TRow(3));
}

TEST(TextStore, InsertInsideLineKeepsDecorationAndSetsFlags) {
    TTextStore store;
    store.Insert(TOffset(0), "abc\ndef");
    store.Line(TRow(1)).Glyphs = 3;
    store.Line(TRow(1)).PaintA = 7;
    store.Line(TRow(1)).EnsureExtra().Attributes.assign(3, 5);
    store.Line(TRow(1)).Flags = 0;
    store.Insert(TOffset(5), "\t");
    EXPECT_EQ(store.RowText(TRow(1)), "d\tef");
    EXPECT_EQ(store.Line(TRow(1)).Glyphs, 3);
    EXPECT_EQ(store.Line(TRow(1)).PaintA, 7);
    EXPECT_TRUE(store.Line(TRow(1)).Extra->Attributes.empty());
    EXPECT_EQ(store.Line(TRow(1)).Flags, lfRepaint | lfRescan | lfHasTab);
}

TEST(TextStore, LongLineBeyond16BitsKeepsItsLength) {
    TTextStore store;
    std::string big(70000, 'x');
    store.Insert(TOffset(0), big + "\ny");
    EXPECT_EQ(store.RowLength(TRow(0)), 70001);
    EXPECT_EQ(store.PosFromLine(TRow(1)), TOffset(70001));
    EXPECT_EQ(store.WidestLine(), 70001);
    EXPECT_EQ(store.GetText(TOffset(0), store.TextEnd(), sfUNIX), big + "\ny");
}

TEST(TextStore, DeleteJoinsLinesAndReportsStoredText) {
    TTextStore store;
    TRecorder rec;
    store.AddObserver(&rec);
    store.AddObserver(&rec); // added once
    store.Insert(TOffset(0), "ab\ncd\nef");
    store.Delete(TOffset(1), 5); // "b\rcd\r"
    EXPECT_EQ(store.LineCount(), 1);
    EXPECT_EQ(store.RowText(TRow(0)), "aef");
    EXPECT_EQ(store.CharCount(), 3);
    EXPECT_EQ(rec.Log, "+0:ab\rcd\ref;-1:b\rcd\r;");
    store.Delete(TOffset(2), 100); // clamped to the end
    EXPECT_EQ(store.GetText(), "ae");
    store.RemoveObserver(&rec);
    store.Delete(TOffset(0), 2);
    EXPECT_EQ(rec.Log, "+0:ab\rcd\ref;-1:b\rcd\r;-2:f;");
    EXPECT_EQ(store.LineCount(), 1);
}

TEST(TextStore, RandomEditsMatchAStringModel) {
    std::mt19937 rng(3);
    TTextStore store;
    std::string model;
    const char alphabet[] = "ab\r\t";
    for (int step = 0; step < 3000; ++step) {
        int len = static_cast<int>(model.size());
        if (rng() % 3 != 0 || len == 0) {
            int pos = rng() % (len + 1);
            std::string s;
            for (int n = 1 + rng() % 6; n > 0; --n)
                s += alphabet[rng() % 4];
            store.Insert(TOffset(pos), s);
            model.insert(pos, s);
        } else {
            int pos = rng() % len;
            int n = 1 + rng() % 8;
            store.Delete(TOffset(pos), n);
            model.erase(pos, n);
        }
        ASSERT_EQ(store.CharCount(), static_cast<int>(model.size()));
        if (step % 29 == 0) {
            ASSERT_EQ(store.StoredText(TOffset(0), store.TextEnd()), model);
            int lines = 1 + static_cast<int>(std::count(model.begin(), model.end(), '\r'));
            ASSERT_EQ(store.LineCount(), lines);
            for (int i = 0, at = 0; i < lines; ++i) {
                ASSERT_EQ(RowStart(store, i), at);
                ASSERT_EQ(RowAt(store, at), i);
                at += store.RowLength(TRow(i));
            }
        }
    }
}

// The count of cut rows and the starts of logical lines answer the logical-line questions of
// long documents without a walk, and a row is read in place from the one text: both must stay
// true through edits that split, join and remove cut rows, breaks typed and deleted inside cut
// lines, and rows cut anew; views of rows taken before reading others must still be right.
TEST(TextStore, RowsAndLogicalLinesFollowEditsAndCuts) {
    std::mt19937 rng(11);
    TTextStore store;
    std::string model;
    const char alphabet[] = "ab\tc\r";
    auto walked = [&] {
        int n = 0;
        for (int i = 0; i + 1 < store.LineCount(); ++i)
            if (!store.RowEndsInBreak(TRow(i))) ++n;
        return n;
    };
    int most = 0;
    for (int step = 0; step < 3000; ++step) {
        const int len = store.CharCount();
        const int kind = int(rng() % 5);
        if (kind == 0 || len == 0) {
            std::string s;
            for (int n = 1 + rng() % (step % 97 == 0 ? 3000 : 8); n > 0; --n)
                s += alphabet[rng() % 5];
            const int pos = int(rng() % (len + 1));
            store.Insert(TOffset(pos), s);
            model.insert(size_t(pos), s);
        } else if (kind == 1) {
            const int pos = int(rng() % len), n = 1 + int(rng() % (step % 89 == 0 ? 4000 : 12));
            store.Delete(TOffset(pos), n);
            model.erase(size_t(pos), size_t(n));
        } else if (kind == 2) {
            // Cut a row in two, as wrapping does.
            int row = int(rng() % store.LineCount());
            int rowLen = store.RowLength(TRow(row));
            if (rowLen >= 2) {
                int k = 1 + int(rng() % (rowLen - 1));
                store.RecutRows(TRow(row), 1, {k, rowLen - k});
            }
        } else if (kind == 3) {
            // Join a cut row with the next one, as unwrapping does.
            int row = int(rng() % store.LineCount());
            if (row + 1 < store.LineCount() && !store.RowEndsInBreak(TRow(row)))
                store.RecutRows(TRow(row), 2,
                                {store.RowLength(TRow(row)) + store.RowLength(TRow(row + 1))});
        } else {
            // Cut up to four rows anew, across line ends too (a break stays a row's end; an
            // empty last row stays).
            const int rows =
                store.LineCount() - (store.RowLength(TRow(store.LineCount() - 1)) == 0);
            if (rows == 0) continue;
            const int row = int(rng() % rows);
            const int count = std::min(1 + int(rng() % 4), rows - row);
            std::vector<int> lengths;
            for (int i = row, carry = 0; i < row + count; ++i) {
                carry += store.RowLength(TRow(i));
                if (!store.RowEndsInBreak(TRow(i)) && i + 1 < row + count && rng() % 2)
                    continue;
                for (; carry > 0; carry -= lengths.back())
                    lengths.push_back(std::min(carry, 1 + int(rng() % 5)));
            }
            store.RecutRows(TRow(row), count, lengths);
        }
        ASSERT_EQ(store.ContinuedRows(), walked()) << "step " << step;
        // Views of a few rows first, then every row read (which may move the text around the
        // last edit), then the first views again.
        std::vector<std::pair<int, std::string_view>> held;
        for (int k = 0; k < 3; ++k) {
            const int row = int(rng() % store.LineCount());
            held.emplace_back(row, store.RowText(TRow(row)));
        }
        std::string all;
        for (int i = 0; i < store.LineCount(); ++i) {
            const std::string_view text = store.RowText(TRow(i));
            ASSERT_EQ(int(text.size()), store.RowLength(TRow(i)));
            ASSERT_EQ(text.ends_with('\r'), store.RowEndsInBreak(TRow(i)));
            ASSERT_EQ(text.find('\t') != std::string_view::npos,
                      (store.Line(TRow(i)).Flags & lfHasTab) != 0)
                << "step " << step << " row " << i;
            all += text;
        }
        ASSERT_EQ(all, model) << "step " << step;
        for (const auto& [row, text] : held)
            ASSERT_EQ(text, model.substr(size_t(RowStart(store, row)), text.size()))
                << "step " << step << " row " << row;
        ASSERT_EQ(store.StoredText(TOffset(0), store.TextEnd()), model);
        for (int i = 0, line = 0, first = 0; i < store.LineCount(); ++i) {
            ASSERT_EQ(store.LogicalLineOf(TRow(i)), TLogicalLine(line)) << "step " << step;
            ASSERT_EQ(store.FirstRowOf(TLogicalLine(line)), TRow(first)) << "step " << step;
            if (store.RowEndsInBreak(TRow(i))) ++line, first = i + 1;
        }
        ASSERT_EQ(store.FirstRowOf(TLogicalLine(store.LogicalLineCount())),
                  TRow(store.LineCount()));
        most = std::max(most, walked());
    }
    EXPECT_GT(most, 3);
    store.Delete(TOffset(0), store.CharCount());
    EXPECT_EQ(store.ContinuedRows(), 0);
}

TEST(TextStore, ControlsAndUndoSlot) {
    TTextStore store;
    auto* c = reinterpret_cast<TCustomCodeMemo*>(&store);
    store.AttachControl(c);
    store.AttachControl(c);
    EXPECT_EQ(store.Controls().size(), 1u);
    store.DetachControl(c);
    EXPECT_TRUE(store.Controls().empty());
    EXPECT_EQ(store.UndoStack(), nullptr);
}

// A loader that reserves the text's size fills the text without moving it; edits after that
// grow it as they need.
TEST(TextStore, ReservedRoomHoldsALoadWithoutGrowing) {
    TTextStore store;
    std::string text;
    for (int i = 0; i < 5000; ++i)
        text += "line " + std::to_string(i) + "\r";
    store.Reserve(5001, int(text.size()));
    const size_t room = store.TextCapacity();
    ASSERT_GE(room, text.size());
    for (size_t at = 0; at < text.size(); at += 4096)
        store.Insert(store.TextEnd(), std::string_view(text).substr(at, 4096));
    EXPECT_EQ(store.TextCapacity(), room);
    EXPECT_EQ(store.LineCount(), 5001);
    store.Insert(TOffset(0), std::string(room, 'x'));
    EXPECT_EQ(store.RowLength(TRow(0)), int(room) + 7);
    EXPECT_EQ(store.RowText(TRow(4999)), "line 4999\r");
}
