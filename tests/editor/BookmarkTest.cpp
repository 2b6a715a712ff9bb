#include "editor/Bookmarks.h"

#include <gtest/gtest.h>

using namespace quillet;

namespace {

struct TLinesHost : TBookmarkHost {
    std::vector<std::string> Lines; // each with its CR but the last
    std::vector<uint16_t> Marks;
    std::vector<int> Repainted;
    int Caret = 0, CaretCol = 0;
    bool Wrap = false;

    explicit TLinesHost(std::vector<std::string> lines)
        : Lines(std::move(lines)), Marks(Lines.size(), 0) {}
    int LineCount() const override { return int(Lines.size()); }
    uint16_t LineMarks(TRow row) const override { return Marks.at(size_t(row.Value())); }
    void SetLineMarks(TRow row, uint16_t marks) override {
        Marks.at(size_t(row.Value())) = marks;
        Repainted.push_back(row.Value());
    }
    int LineLength(TRow row) const override { return int(Lines.at(size_t(row.Value())).size()); }
    bool LineEndsWithCR(TRow row) const override {
        const std::string& line = Lines.at(size_t(row.Value()));
        return !line.empty() && line.back() == '\r';
    }
    TRow CaretLine() const override { return TRow(Caret); }
    TOffset CaretColumn() const override { return TOffset(CaretCol); }
    bool WordWrap() const override { return Wrap; }
};

} // namespace

TEST(NumberedBookmarks, SetMoveToggleAndFind) {
    TLinesHost host({"alpha\r", "be\r", "gamma"});
    TNumberedBookmarks b;
    std::vector<int> events;
    b.OnBookmarkSet = [&](TNumberedBookmarks&, int n) { events.push_back(n); };

    b.Set(host, 3, 2, 4); // 1-based line 2
    EXPECT_EQ(host.Marks[1], 1 << 3);
    EXPECT_EQ(b.Column(3), 4);
    TRow line(-1);
    TOffset offset(-1);
    // Column 4 is past "be": the caret goes to the line's end, before its CR.
    ASSERT_TRUE(b.Find(host, 3, line, offset));
    EXPECT_EQ(line, TRow(1));
    EXPECT_EQ(offset, TOffset(6 + 2));

    // Bookmark 4 on the same line takes its place.
    b.Set(host, 4, 2, 1);
    EXPECT_EQ(host.Marks[1], 1 << 4);
    EXPECT_FALSE(b.Find(host, 3, line, offset)); // still "set", but no line carries it
    EXPECT_TRUE(b.IsSet(3));

    // Moving 4 to the caret's line; the upper bits of the word survive.
    host.Marks[2] = 0x8000;
    host.Caret = 2;
    host.CaretCol = 5;
    b.Set(host, 4, -1, 99);
    EXPECT_EQ(host.Marks[1], 0);
    EXPECT_EQ(host.Marks[2], 0x8000 | (1 << 4));
    EXPECT_EQ(b.Column(4), 6);
    // On the last line (no CR) the end of the text is reachable.
    ASSERT_TRUE(b.Find(host, 4, line, offset));
    EXPECT_EQ(offset, TOffset(9 + 5));

    // Setting it where it is removes it, without an event.
    b.Set(host, 4, 3, 1);
    EXPECT_EQ(host.Marks[2], 0x8000);
    EXPECT_FALSE(b.IsSet(4));
    EXPECT_FALSE(b.Find(host, 4, line, offset));
    EXPECT_EQ(events, (std::vector<int>{3, 4, 4}));

    // Lines beyond the text clamp to the last, below 1 to the first.
    b.Set(host, 0, 40, 1);
    EXPECT_EQ(host.Marks[2] & lmBookmarkBits, 1);
    b.Set(host, 1, -7, 0);
    EXPECT_EQ(host.Marks[0], 2);
    EXPECT_EQ(b.Column(1), 1);
}

TEST(NumberedBookmarks, WrappedRowsBelongToTheirFirstRow) {
    TLinesHost host({"one ", "two\r", "x"});
    host.Marks[1] = lmContinuation;
    host.Wrap = true;
    TNumberedBookmarks b;
    b.Set(host, 2, 2, 1);
    EXPECT_EQ(host.Marks[0], 1 << 2);
    EXPECT_EQ(host.Marks[1], lmContinuation);
    // Setting again on the continuation row is setting it on the same line.
    b.Set(host, 2, 2, 1);
    EXPECT_EQ(host.Marks[0], 0);
    EXPECT_FALSE(b.IsSet(2));
}

TEST(NumberedBookmarks, IndexRangeError) {
    TLinesHost host({"a"});
    TNumberedBookmarks b;
    TRow line;
    TOffset offset;
    for (int bad : {10, -1}) {
        try {
            b.Set(host, bad, 1, 1);
            FAIL();
        } catch (const EBookmarkError& e) {
            EXPECT_STREQ(e.what(), "Bookmark index range error");
        }
        EXPECT_THROW(b.Find(host, bad, line, offset), EBookmarkError);
    }
    EXPECT_EQ(host.Marks[0], 0);
}

TEST(CustomBookmarks, FollowInsertionsAndDeletions) {
    TCustomBookmarks b;
    std::vector<std::string> freed;
    b.OnFree = [&](TCustomBookmarks& s, const std::string& name) {
        EXPECT_EQ(&s, &b);
        freed.push_back(name);
    };
    b.Set("a", TOffset(5));
    b.Set("b", TOffset(10));
    b.Set("c", TOffset(15));
    b.Set("d", TOffset(20));
    b.Set("a", TOffset(12)); // moves, keeps position order
    ASSERT_EQ(b.FindAt(TOffset(11))->Name, "a");
    EXPECT_EQ(b.FindAt(TOffset(21)), nullptr);

    b.AdjustInsert(TOffset(10), 3); // at the position: moves
    TOffset pos;
    EXPECT_TRUE(b.Find("b", pos));
    EXPECT_EQ(pos, TOffset(13));
    EXPECT_TRUE(b.Find("a", pos));
    EXPECT_EQ(pos, TOffset(15));

    // [15, 18) takes "a" (at its start); "c" at its end and "d" after it move.
    b.AdjustDelete(TOffset(15), 3);
    EXPECT_EQ(freed, std::vector<std::string>{"a"});
    EXPECT_TRUE(b.Find("c", pos));
    EXPECT_EQ(pos, TOffset(15)); // was 18: right at the end, so it moves
    EXPECT_TRUE(b.Find("d", pos));
    EXPECT_EQ(pos, TOffset(20));
    EXPECT_FALSE(b.Find("a", pos));

    EXPECT_TRUE(b.Remove("c"));
    EXPECT_FALSE(b.Remove("c"));
    b.Clear();
    EXPECT_EQ(freed, (std::vector<std::string>{"a", "c", "b", "d"}));
    EXPECT_EQ(b.Count(), 0u);
}
