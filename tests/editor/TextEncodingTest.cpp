// Encodings survive a load and save byte for byte; a failed save keeps the old file.
#include "editor/TextEncoding.h"
#include "platform/Errors.h"
#include "platform/Stream.h"
#include "tests/FileText.h"

#include <gtest/gtest.h>

#include <cerrno>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <random>
#include <sstream>

using namespace quillet;
using quillet::test::FileText;
namespace fs = std::filesystem;

TEST(TextEncoding, Windows1251AndBomRoundTrip) {
    std::string cp1251 = "a { content: \"\xCF\xF0\xE8\xE2\xE5\xF2 \xA8\xB8\x98\x88\"; }";
    TTextEncoding enc;
    std::string utf8 = DecodeText(cp1251, enc);
    EXPECT_EQ(enc.Kind, TEncodingKind::Windows1251);
    EXPECT_NE(utf8.find("\xD0\x9F\xD1\x80"), std::string::npos); // "Пр"
    EXPECT_EQ(EncodeText(utf8, enc), cp1251);

    std::string bom = "\xEF\xBB\xBFp { x: \"\xD0\xAF\"; }";
    TTextEncoding enc2;
    std::string text = DecodeText(bom, enc2);
    EXPECT_TRUE(enc2.Bom);
    EXPECT_EQ(text, "p { x: \"\xD0\xAF\"; }");
    EXPECT_EQ(EncodeText(text, enc2), bom);
}

TEST(TextEncoding, Unrepresentable1251CharacterFallsBackToUtf8) {
    TTextEncoding enc{TEncodingKind::Windows1251, false};
    std::string text = "\xE2\x82\xAC \xE4\xB8\xAD"; // euro sign fits, a CJK character does not
    EXPECT_EQ(EncodeText(text, enc), text);
    EXPECT_EQ(enc.Kind, TEncodingKind::Utf8);
}

TEST(TextEncoding, FailedSaveKeepsTheOldFile) {
    fs::path dir = fs::temp_directory_path() / "quillet_enc_test";
    fs::remove_all(dir);
    fs::create_directories(dir);
    fs::path target = dir / "a.css";
    SaveFileAtomically(target.string(), "old");
    EXPECT_EQ(FileText(target), "old");
    // Read-only for its owner: refused even as root, with the cause in the system's words.
    fs::permissions(target, fs::perms::owner_read | fs::perms::group_read);
    try {
        SaveFileAtomically(target.string(), "new");
        FAIL() << "save should fail";
    } catch (const EFileError& e) {
        EXPECT_EQ(std::string(e.what()),
                  "Cannot create file " + target.string() + ": " + std::strerror(EACCES));
    }
    EXPECT_EQ(FileText(target), "old");
    EXPECT_THROW(SaveFileAtomically((dir / "missing" / "b.css").string(), "x"), EFileError);
    fs::remove_all(dir);
}

// The loader's detection reads in blocks: sequences and CR LF pairs cut by a block end must
// neither break nor count twice, and it must agree with DecodeText.
TEST(TextEncoding, DetectionOverAStreamAgreesWithDecodeText) {
    const size_t block = size_t(1) << 16;
    struct TCase {
        std::string Bytes;
        TEncodingKind Kind;
        bool Bom;
        int64_t Breaks;
    };
    std::string cut(block - 1, 'a');
    cut += "\xD0\xAF\r\nb\n\rc"; // "Я" across the block end, then CR LF, LF, CR
    std::string crlf(block - 1, 'a');
    crlf += "\r\n";
    std::string late(block * 2 + 5, 'a');
    late[block * 2] = char(0xC0); // an overlong lead far into the file
    std::string truncated = std::string(100, 'a') + "\xE2\x82"; // ends inside a sequence
    const TCase cases[] = {
        {"", TEncodingKind::Utf8, false, 0},
        {cut, TEncodingKind::Utf8, false, 3},
        {crlf, TEncodingKind::Utf8, false, 1},
        {late, TEncodingKind::Windows1251, false, 0},
        {truncated, TEncodingKind::Windows1251, false, 0},
        {"\xEF\xBB\xBF"
         "a\rb",
         TEncodingKind::Utf8, true, 1},
        {"p { content: \"\xCF\xF0\" }\r\n", TEncodingKind::Windows1251, false, 1},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.Bytes.size());
        TReadOnlyMemoryStream stream(c.Bytes.data(), int64_t(c.Bytes.size()));
        int64_t breaks = -1;
        TTextEncoding got = DetectEncoding(stream, breaks);
        EXPECT_EQ(got.Kind, c.Kind);
        EXPECT_EQ(got.Bom, c.Bom);
        EXPECT_EQ(breaks, c.Breaks);
        TTextEncoding decoded;
        DecodeText(c.Bytes, decoded);
        EXPECT_EQ(decoded.Kind, got.Kind);
        EXPECT_EQ(IsValidUtf8(c.Bytes), c.Kind == TEncodingKind::Utf8);
    }
}

TEST(TextEncoding, BreakCountOverRandomBlocksAgreesWithAByteByByteCount) {
    std::mt19937 rng(15);
    for (int round = 0; round < 300; ++round) {
        std::string text(rng() % 100, 'a');
        for (char& c : text)
            c = "\r\na"[rng() % 3];
        int64_t crlf = 0, lf = 0, cr = 0;
        for (size_t i = 0; i < text.size(); ++i) {
            if (text[i] == '\r' && i + 1 < text.size() && text[i + 1] == '\n')
                ++crlf, ++i;
            else if (text[i] == '\r')
                ++cr;
            else if (text[i] == '\n')
                ++lf;
        }
        TLineBreakCount count;
        for (size_t at = 0; at < text.size();) { // blocks that may cut a CR LF in two
            const size_t n = std::min<size_t>(text.size() - at, rng() % 20);
            count.Add(std::string_view(text).substr(at, n));
            at += n;
        }
        ASSERT_EQ(count.CRLF, crlf) << text.size();
        ASSERT_EQ(count.LF, lf);
        ASSERT_EQ(count.CR, cr);
    }
}
