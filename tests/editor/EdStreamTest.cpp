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
