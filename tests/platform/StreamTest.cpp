#include "platform/Stream.h"

#include <gtest/gtest.h>

#include <cstdio>
#include <filesystem>
#include <string>

using namespace quillet;

TEST(Streams, MemoryStreamReadsWritesAndSeeks) {
    TMemoryStream m;
    m.WriteBuffer("hello", 5);
    EXPECT_EQ(m.Size(), 5);
    m.Seek(-2, soEnd);
    m.WriteBuffer("LO!", 3); // writing past the end grows the stream
    EXPECT_EQ(m.AsString(), "helLO!");
    m.SetPosition(1);
    char buf[8] = {};
    EXPECT_EQ(m.Read(buf, 100), 5);
    EXPECT_STREQ(buf, "elLO!");
    EXPECT_EQ(m.Read(buf, 1), 0);
    EXPECT_EQ(m.Seek(-100, soCurrent), 0); // never before the start
    EXPECT_THROW(m.ReadBuffer(buf, 7), EStreamError);
}

TEST(Streams, ReadOnlyBlockRefusesWrites) {
    const char text[] = "abc";
    TReadOnlyMemoryStream s(text, 3);
    char c;
    s.ReadBuffer(&c, 1);
    EXPECT_EQ(c, 'a');
    EXPECT_THROW(s.Write("x", 1), EStreamError);
    TMemoryStream copy;
    EXPECT_EQ(copy.CopyFrom(s, 0), 2);
    EXPECT_EQ(copy.AsString(), "bc");
}

TEST(Streams, FileStreamRoundTripAndOpenErrors) {
    auto dir = std::filesystem::temp_directory_path() / "quillet-stream-test";
    std::filesystem::create_directories(dir);
    auto path = (dir / "f.bin").string();
    {
        TFileStream f(path, fmCreate);
        f.WriteBuffer("0123456789", 10);
        EXPECT_TRUE(f.Flush());
    }
    {
        TFileStream f(path, fmOpenRead);
        EXPECT_EQ(f.Size(), 10);
        f.Seek(4, soBeginning);
        char buf[3];
        f.ReadBuffer(buf, 3);
        EXPECT_EQ(std::string(buf, 3), "456");
    }
    EXPECT_THROW(TFileStream((dir / "missing").string(), fmOpenRead), EFileError);
    EXPECT_THROW(TFileStream(dir.string(), fmOpenRead), EFileError); // a folder is not a file
    std::filesystem::remove_all(dir);
}
