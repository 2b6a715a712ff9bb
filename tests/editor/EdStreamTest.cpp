// Read-only cursors: stepping across records and refusing writes.
#include "editor/EdStream.h"
#include "editor/TextStore.h"

#include <gtest/gtest.h>

using namespace quillet;

TEST(EdStream, StepsAcrossRecordsAndReads) {
    TTextStore store;
    store.Insert(TOffset(0), "ab\n\ncd");
    TEdStream s(store);
    std::string seen;
    do {
        seen += s.Current();
    } while (s.Next());
    EXPECT_EQ(seen, "ab\r\rcd");
    EXPECT_TRUE(s.AtEnd());
    EXPECT_EQ(s.Current(), 0);
    EXPECT_EQ(s.AbsolutePos(), 6);

    s.Aim(TRow(0), TOffset(3)); // end of a record stands on the next one
    EXPECT_EQ(s.AbsolutePos(), 3);
    EXPECT_EQ(s.Current(), '\r');
    s.Seek(1, soBeginning);
    char buf[8] = {};
    EXPECT_EQ(s.Read(buf, 8), 5);
    EXPECT_EQ(std::string(buf, 5), "b\r\rcd");
    EXPECT_EQ(s.Read(buf, 8), 0);
    EXPECT_THROW(s.Write("x", 1), EStreamError);
    try {
        s.Write("x", 1);
    } catch (const EQuilletError& e) {
        EXPECT_STREQ(e.what(), "Cannot write to a read-only stream");
    }
}

// A cursor handed to a handler that edits (the auto-replace event gets one) finds its place again
// by offset: the row it stood in may be gone, and reading it once went past the rows there are.
TEST(EdStream, ACursorThatOutlivesAnEditReadsTheTextAsItIsNow) {
    TTextStore store;
    store.Insert(TOffset(0), "one\rtwo\rthree\rfour");
    TEdStream s(store);
    s.Seek(15, soBeginning); // in "four"
    EXPECT_EQ(s.Current(), 'o');
    store.Delete(TOffset(2), 12); // "on" + "four": three rows fewer
    EXPECT_EQ(s.Current(), 0);    // offset 15 is past the end now
    EXPECT_TRUE(s.AtEnd());
    EXPECT_EQ(s.Size(), 6);
    s.Seek(2, soBeginning);
    store.Insert(TOffset(0), "x\ry\r");
    char buf[8] = {};
    EXPECT_EQ(s.Read(buf, 8), 8); // from offset 2 of "x\ry\ronfour"
    EXPECT_EQ(std::string(buf, 8), "y\ronfour");
    s.Seek(0, soBeginning);
    store.Delete(TOffset(0), store.CharCount());
    EXPECT_FALSE(s.Next());
    EXPECT_EQ(s.Read(buf, 8), 0);
}

TEST(FastMemoryStream, ReadsTheBlockWithoutItsTerminator) {
    const char* text = "a\nb";
    TFastMemoryStream s(text);
    EXPECT_EQ(s.Size(), 3);
    char buf[4] = {};
    EXPECT_EQ(s.Read(buf, 4), 3);
    EXPECT_EQ(std::string(buf), "a\nb");
    EXPECT_THROW(s.Write("x", 1), EStreamError);
    TFastMemoryStream none(nullptr);
    EXPECT_EQ(none.Size(), 0);
}
