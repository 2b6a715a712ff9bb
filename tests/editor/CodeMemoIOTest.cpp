// The control's streams and files: chunking, encodings, byte-identical round trips, errors.
#include "editor/CodeMemo.h"
#include "editor/CodeMemoStrings.h"
#include "resources/Strings.h"
#include "tests/FileText.h"

#include <gtest/gtest.h>

#include <cerrno>
#include <climits>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <new>
#include <sstream>
#include <string>

namespace quillet {
using test::FileText;
namespace {

namespace fs = std::filesystem;

void WriteFile(const fs::path& p, const std::string& bytes) {
    std::ofstream f(p, std::ios::binary);
    f << bytes;
}

class CodeMemoIOTest : public ::testing::Test {
protected:
    fs::path Dir;
    TCodeMemo Memo;

    void SetUp() override {
        Dir = fs::temp_directory_path() /
              ("quillet-memo-io-" +
               std::to_string(::testing::UnitTest::GetInstance()->random_seed()) + "-" +
               ::testing::UnitTest::GetInstance()->current_test_info()->name());
        fs::create_directories(Dir);
    }
    void TearDown() override {
        std::error_code ec;
        fs::remove_all(Dir, ec);
    }
    std::string Stored() {
        return Memo.Store().StoredText(TOffset(0), TOffset(Memo.Store().CharCount()));
    }
};

// Fails the first writes of each save, to see the retries and the final error.
class TShortWriteStream : public TMemoryStream {
public:
    explicit TShortWriteStream(int failures) : FFailures(failures) {}
    int64_t Write(const void* buffer, int64_t count) override {
        ++Attempts;
        if (FFailures-- > 0) return TMemoryStream::Write(buffer, count / 2);
        return TMemoryStream::Write(buffer, count);
    }
    int Attempts = 0;

private:
    int FFailures;
};

class TExhaustedStream : public TStream {
public:
    int64_t Read(void*, int64_t) override { throw std::bad_alloc(); }
    int64_t Write(const void*, int64_t) override { return 0; }
    int64_t Seek(int64_t, TSeekOrigin) override { return 0; }
};

TEST_F(CodeMemoIOTest, LoadStreamKeepsCrLfAcrossTheBlockBoundary) {
    // Byte 8191 is the CR of a CR LF pair: the block gives it back.
    std::string text(8191, 'a');
    text += "\r\nbcd";
    ASSERT_EQ(text.size(), 8196u);
    TMemoryStream stream(std::vector<uint8_t>(text.begin(), text.end()));
    Memo.LoadFromStream(stream);
    EXPECT_EQ(Memo.Store().LineCount(), 2);
    EXPECT_EQ(Memo.Store().CharCount(), 8191 + 1 + 3);
    EXPECT_EQ(Memo.Lines().Get(1), "bcd");
    EXPECT_EQ(Memo.SelStart(), 0);
    EXPECT_FALSE(Memo.CanUndo());

    // Exactly 8192 bytes ending in CR, then the LF in the next read.
    std::string exact(8191, 'x');
    exact += "\r\n";
    TMemoryStream second(std::vector<uint8_t>(exact.begin(), exact.end()));
    Memo.SetSelection(0, 0);
    Memo.Perform(SM_LOADSTREAM, 0, LPARAM(&second));
    EXPECT_EQ(Memo.Store().LineCount(), 3);
    EXPECT_EQ(Memo.Store().RowLength(TRow(0)), 8192);
    EXPECT_EQ(Memo.Store().RowLength(TRow(1)), 8192);
    EXPECT_EQ(Memo.SelStart(), 8192);
}

TEST_F(CodeMemoIOTest, LongPastedTextIsInsertedInChunksWithoutSplittingBreaks) {
    std::string text(8191, 'a');
    text += "\r\n";
    text += std::string(2000, 'b');
    std::vector<std::pair<int, int>> events;
    Memo.OnTextChange = [&](TCustomCodeMemo&, int s, int e) { events.push_back({s, e}); };
    Memo.SetSelText(text);
    ASSERT_EQ(events.size(), 2u);
    EXPECT_EQ(events[0], std::make_pair(0, 8191));
    EXPECT_EQ(events[1], std::make_pair(8191, 2001));
    EXPECT_EQ(Memo.Store().LineCount(), 2);
    Memo.Undo();
    EXPECT_EQ(Memo.Store().CharCount(), 0);
}

TEST_F(CodeMemoIOTest, SaveFormatsAndLineStyles) {
    Memo.SetText("a\nb\r\nc");
    TMemoryStream crlf;
    Memo.SaveToStream(&crlf);
    EXPECT_EQ(crlf.AsString(), "a\r\nb\r\nc");
    Memo.SetSaveFormat(sfUNIX);
    TMemoryStream unix;
    Memo.SaveToStream(&unix);
    EXPECT_EQ(unix.AsString(), "a\nb\nc");
    Memo.SetSaveFormat(sfTEXT);
    Memo.SetSelLineStyle(lsLF);
    TMemoryStream lf;
    Memo.SaveToStream(&lf);
    EXPECT_EQ(lf.AsString(), "a\rb\rc");

    Memo.SetSelection(1, 4);
    TMemoryStream part;
    Memo.Perform(SM_SAVESTREAM, sfmCRLF, LPARAM(&part));
    EXPECT_EQ(part.AsString(), "\r\nb\r\n");
    EXPECT_EQ(Memo.Perform(SM_GETSELTEXT, sfmLF, 0), 3);
    char buffer[8];
    EXPECT_EQ(Memo.Perform(SM_GETSELTEXT, sfmLF, LPARAM(buffer)), 3);
    EXPECT_STREQ(buffer, "\nb\n");
    EXPECT_EQ(Memo.SelStart(), 1); // saving keeps the selection
}

TEST_F(CodeMemoIOTest, SaveErrors) {
    Memo.SetText("some text");
    try {
        Memo.SaveToStream(nullptr);
        FAIL();
    } catch (const ECodeMemo& e) {
        EXPECT_STREQ(e.what(), "Bad TStream instance");
    }
    TShortWriteStream flaky(2);
    Memo.SaveToStream(&flaky);
    EXPECT_EQ(flaky.AsString(), "some text");
    EXPECT_EQ(flaky.Attempts, 3);
    TShortWriteStream broken(100);
    try {
        Memo.SaveToStream(&broken);
        FAIL();
    } catch (const ECodeMemo& e) {
        EXPECT_STREQ(e.what(), "Could not save text to stream");
    }
    EXPECT_EQ(broken.Attempts, 4);
    EXPECT_EQ(Stored(), "some text");
}

TEST_F(CodeMemoIOTest, LoadErrorsLeaveTheTextAlone) {
    Memo.SetText("keep");
    fs::path missing = Dir / "missing.css";
    try {
        Memo.LoadFromFile(missing.string());
        FAIL();
    } catch (const EFileError& e) {
        EXPECT_EQ(std::string(e.what()),
                  "File '" + missing.string() +
                      "' cannot be opened for reading: " + std::strerror(ENOENT));
    }
    try {
        Memo.LoadFromFile(Dir.string());
        FAIL();
    } catch (const EFileError& e) {
        EXPECT_EQ(std::string(e.what()),
                  "File '" + Dir.string() +
                      "' cannot be opened for reading: " + std::strerror(EISDIR));
    }
    TExhaustedStream exhausted;
    try {
        Memo.LoadFromStream(exhausted);
        FAIL();
    } catch (const ECodeMemo& e) {
        EXPECT_STREQ(e.what(), "Not enough memory for operation");
    }
    EXPECT_THROW(Memo.Perform(SM_LOADSTREAM, 0, 0), ECodeMemo);
    try {
        Memo.SaveToFile((Dir / "no-such-folder" / "x.css").string());
        FAIL();
    } catch (const EFileError& e) {
        EXPECT_NE(std::string(e.what()).find("Cannot create file"), std::string::npos);
    }
}

TEST_F(CodeMemoIOTest, AFileTooLargeForTheTextIsRefusedWithoutTouchingTheDocument) {
    // Mixed breaks and a control byte: the document keeps bytes beside its text.
    const std::string bytes = "a\r\nb\nc\x01\r\n";
    fs::path a = Dir / "a.css";
    WriteFile(a, bytes);
    Memo.LoadFromFile(a.string());
    // Sparse: nothing is written, and the refusal reads none of it.
    fs::path big = Dir / "big.css";
    WriteFile(big, "");
    fs::resize_file(big, uintmax_t(3) << 30);
    try {
        Memo.LoadFromFile(big.string());
        FAIL();
    } catch (const EFileError& e) {
        EXPECT_EQ(std::string(e.what()), "File '" + big.string() +
                                             "' is too large to open: a text holds at most " +
                                             std::to_string(INT_MAX) + " bytes");
    }
    EXPECT_EQ(Memo.FileName(), a.string());
    Memo.SaveToFile(a.string());
    EXPECT_EQ(FileText(a), bytes);
}

TEST_F(CodeMemoIOTest, FilesRoundTripByteIdenticalInTheirEncoding) {
    // Windows-1251: "Привет" then CR LF, then a rule.
    const std::string cp1251 = "\xCF\xF0\xE8\xE2\xE5\xF2\r\nbody { color: red }\r\n";
    fs::path a = Dir / "ru.css";
    WriteFile(a, cp1251);
    Memo.LoadFromFile(a.string());
    EXPECT_EQ(Memo.Encoding().Kind, TEncodingKind::Windows1251);
    EXPECT_EQ(Memo.Lines().Get(0), "\xD0\x9F\xD1\x80\xD0\xB8\xD0\xB2\xD0\xB5\xD1\x82");
    fs::path a2 = Dir / "ru-out.css";
    Memo.SaveToFile(a2.string());
    EXPECT_EQ(FileText(a2), cp1251);

    // UTF-8 with a BOM keeps its BOM.
    const std::string bom = "\xEF\xBB\xBF"
                            "a { content: \"\xE2\x86\x92\" }\r\n";
    fs::path b = Dir / "bom.css";
    WriteFile(b, bom);
    Memo.LoadFromFile(b.string());
    EXPECT_TRUE(Memo.Encoding().Bom);
    EXPECT_EQ(Memo.Lines().Get(0), "a { content: \"\xE2\x86\x92\" }");
    Memo.SaveToFile(b.string());
    EXPECT_EQ(FileText(b), bom);
    EXPECT_FALSE(Memo.Modified());
    EXPECT_EQ(Memo.FileName(), b.string());
    EXPECT_EQ(Memo.PrintTitle(), b.string()); // smoTitleAsFilename is on by default
}

TEST_F(CodeMemoIOTest, A1251DocumentWithANewCharacterIsSavedAsUtf8) {
    fs::path a = Dir / "ru.css";
    WriteFile(a, "\xCF\xF0\xE8");
    Memo.LoadFromFile(a.string());
    Memo.SetSelStart(Memo.TextLength());
    Memo.Perform(WM_CHAR, 0x4E2D, 0); // not in the code page
    Memo.SaveToFile(a.string());
    EXPECT_EQ(FileText(a), "\xD0\x9F\xD1\x80\xD0\xB8\xE4\xB8\xAD");
    EXPECT_EQ(Memo.Encoding().Kind, TEncodingKind::Utf8);
}

TEST_F(CodeMemoIOTest, AFileKeepsItsLineBreaksAndTypedOnesTakeTheMostCommonKind) {
    struct TCase {
        std::string Bytes, Saved;
    };
    // Edited between load and save: a line typed in the middle takes the break most of the
    // file's breaks have; every break of the file keeps its own kind.
    const TCase cases[] = {
        {"a\nb\n", "a\nX\nb\n"},
        {"a\rb", "a\rX\rb"},
        {"a\r\nb\nc\r\n", "a\r\nX\r\nb\nc\r\n"}, // two CR LF to one LF
        {"a\nb\r\nc\nd", "a\nX\nb\r\nc\nd"},
        {"\xCF\xF0\ne\n", "\xCF\xF0\nX\ne\n"}, // Windows-1251 keeps its LF too
        {"\xEF\xBB\xBF"
         "a\nb",
         "\xEF\xBB\xBF"
         "a\nX\nb"}, // and a BOM file
    };
    const fs::path f = Dir / "breaks.css";
    for (const TCase& c : cases) {
        WriteFile(f, c.Bytes);
        Memo.LoadFromFile(f.string());
        Memo.SetSelStart(Memo.Perform(EM_LINEINDEX, 1, 0));
        Memo.SetSelText("X\r");
        Memo.SaveToFile(f.string());
        EXPECT_EQ(FileText(f), c.Saved) << c.Bytes;
    }
    // Without breaks in the file, and in a document never loaded, the line style decides.
    WriteFile(f, "one");
    Memo.LoadFromFile(f.string());
    Memo.SetSelStart(3);
    Memo.SetSelText("\rtwo");
    Memo.SaveToFile(f.string());
    EXPECT_EQ(FileText(f), "one\r\ntwo");
    TCodeMemo fresh;
    fresh.SetText("x\ny");
    fresh.SaveToFile(f.string());
    EXPECT_EQ(FileText(f), "x\r\ny");
}

TEST_F(CodeMemoIOTest, UndoingALongSessionGivesTheFileItsOwnBytesBack) {
    // Breaks of both kinds and a control byte, deleted, then a long stretch of typing and
    // correcting, all of it undone: the save writes the file as it was read.
    const std::string bytes = "a\r\nb\nc\x01\r\nd\n";
    const fs::path f = Dir / "undo.css";
    WriteFile(f, bytes);
    Memo.LoadFromFile(f.string());
    Memo.Perform(EM_SETSEL, 0, -1);
    Memo.SetSelText("");
    for (int i = 0; i < 600; ++i) {
        Memo.SetSelText("x");
        Memo.Perform(EM_SETSEL, 0, 1);
        Memo.SetSelText("");
    }
    while (Memo.CanUndo())
        Memo.Undo();
    Memo.SaveToFile(f.string());
    EXPECT_EQ(FileText(f), bytes);
}

TEST_F(CodeMemoIOTest, LinesFileOperationsGoThroughTheControl) {
    fs::path a = Dir / "lines.css";
    Memo.Lines().SetText("x\r\ny");
    Memo.Lines().SaveToFile(a.string());
    EXPECT_EQ(FileText(a), "x\r\ny");
    TCodeMemo other;
    other.Lines().LoadFromFile(a.string());
    EXPECT_EQ(other.Lines().Get(1), "y");
    TMemoryStream s;
    other.Lines().SaveToStream(&s);
    s.SetPosition(0);
    Memo.Lines().LoadFromStream(s);
    EXPECT_EQ(Memo.Lines().Text(), "x\r\ny");
}

} // namespace
} // namespace quillet
