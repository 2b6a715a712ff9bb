// quillet-tool never loses a file: outputs replace old ones whole or not at all, an output that
// is the input is refused, and every error is one line.
#include "cli/Tool.h"
#include "highlight/DefStream.h"
#include "resources/Strings.h"
#include "tests/FileText.h"

#include <gtest/gtest.h>

#include <cerrno>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <sstream>

#include <sys/stat.h>
#include <unistd.h>

namespace quillet::cli {
namespace {

namespace fs = std::filesystem;

class FileSafetyTest : public ::testing::Test {
protected:
    void SetUp() override {
        Dir = fs::temp_directory_path() /
              ("quillet-tool-files-" + std::to_string(::getpid()) + "-" +
               ::testing::UnitTest::GetInstance()->current_test_info()->name());
        fs::remove_all(Dir);
        fs::create_directories(Dir);
    }
    void TearDown() override { fs::remove_all(Dir); }

    std::string Path(const std::string& name) const { return (Dir / name).string(); }
    void Write(const std::string& name, const std::string& bytes) const {
        std::ofstream(Path(name), std::ios::binary) << bytes;
    }
    std::string Read(const std::string& name) const { return test::FileText(Path(name)); }
    // Runs a command line; Out and Err keep what it printed.
    int Run(const std::vector<std::string>& args) {
        std::istringstream in;
        std::ostringstream out, err;
        const int rc = RunTool(args, in, out, err);
        Out = out.str();
        Err = err.str();
        return rc;
    }

    fs::path Dir;
    std::string Out, Err;
};

TEST_F(FileSafetyTest, CompressorOutputsReplaceWholeOrNotAtAll) {
    const std::string css = "body { color: red }\n";
    Write("f.css", css);
    fs::create_symlink("f.css", Dir / "link.css");
    for (const char* command : {"compress", "decompress"})
        for (const char* output : {"f.css", "link.css"}) {
            EXPECT_EQ(Run({command, Path("f.css"), Path(output)}), exError);
            EXPECT_EQ(Err, "quillet-tool: " + LoadStr(SCompSameFile) + Path(output) + "\n");
            EXPECT_EQ(Read("f.css"), css);
        }
    // A failing decompress leaves the file it would have replaced as it was.
    Write("keep.css", "precious");
    EXPECT_EQ(Run({"decompress", Path("f.css"), Path("keep.css")}), exError);
    EXPECT_EQ(Read("keep.css"), "precious");
    // A good one replaces it, and a round trip gives the bytes back; nothing else is left.
    EXPECT_EQ(Run({"compress", "--method", "lzh", Path("f.css"), Path("c.bin")}), exOk);
    EXPECT_EQ(Run({"decompress", Path("c.bin"), Path("keep.css")}), exOk);
    EXPECT_EQ(Read("keep.css"), css);
    EXPECT_EQ(std::distance(fs::directory_iterator(Dir), fs::directory_iterator()), 4);
    // A full disk is reported with its cause.
    struct stat st {};
    if (::stat("/dev/full", &st) == 0 && S_ISCHR(st.st_mode)) {
        EXPECT_EQ(Run({"compress", Path("f.css"), "/dev/full"}), exError);
        EXPECT_EQ(Err, "quillet-tool: Compressor : Error writing to output file : /dev/full: " +
                           std::string(std::strerror(ENOSPC)) + "\n");
    }
}

TEST_F(FileSafetyTest, PlainTextExportKeepsTheFilesEncodingAndLineBreaks) {
    const std::vector<std::string> files = {
        "\xCF\xF0\xE8\xE2\xE5\xF2\nbody {}\n", // Windows-1251 with LF breaks
        "\xEF\xBB\xBF"
        "a { content: \"\xE2\x86\x92\" }\r\n", // UTF-8 with a BOM
        "a\rb\r"};
    for (const std::string& bytes : files) {
        Write("in.css", bytes);
        EXPECT_EQ(Run({"export", "--format", "text", Path("in.css")}), exOk);
        EXPECT_EQ(Out, bytes);
        EXPECT_EQ(Run({"export", "--format", "text", Path("in.css"), "-o", Path("out.css")}), exOk);
        EXPECT_EQ(Read("out.css"), bytes);
    }
}

TEST_F(FileSafetyTest, ExportIsRefusedAnOutputThatIsItsSheetOrItsDefinition) {
    const std::string sheet = "a { color: red }\n";
    Write("in.css", sheet);
    fs::create_hard_link(Dir / "in.css", Dir / "same.html");
    EXPECT_EQ(Run({"export", "--format", "html", Path("in.css"), "-o", Path("same.html")}),
              exError);
    EXPECT_EQ(Err, "quillet-tool: " + FmtLoadStr(SExportOntoInput, Path("same.html")) + "\n");
    EXPECT_EQ(Read("in.css"), sheet);
    Write("s.qls", "%%Language\nName = 'Self'\n");
    ASSERT_EQ(Run({"compile", Path("s.qls"), "-o", Path("s.def")}), exOk);
    const std::string def = Read("s.def");
    EXPECT_EQ(Run({"export", "--format", "rtf", "--lang", Path("s.def"), Path("in.css"), "-o",
                   Path("s.def")}),
              exError);
    EXPECT_EQ(Read("s.def"), def);
}

TEST_F(FileSafetyTest, ARichExportTakesTheOldOutputsPlaceWholeOrNotAtAll) {
    Write("in.css", "a { color: red }\n");
    Write("old.html", "old");
    fs::permissions(Dir / "old.html", fs::perms(0640));
    fs::create_symlink("old.html", Dir / "link.html");
    // Through the link, into the file it names: its mode kept, no other file left behind.
    EXPECT_EQ(Run({"export", "--format", "html", Path("in.css"), "-o", Path("link.html")}), exOk);
    EXPECT_NE(Read("old.html").find("color"), std::string::npos);
    EXPECT_TRUE(fs::is_symlink(Dir / "link.html"));
    EXPECT_EQ(fs::status(Dir / "old.html").permissions(), fs::perms(0640));
    EXPECT_EQ(std::distance(fs::directory_iterator(Dir), fs::directory_iterator()), 3);
    // An input that cannot be read leaves the output as it was.
    Write("old.html", "old");
    EXPECT_EQ(Run({"export", "--format", "rtf", Path("gone.css"), "-o", Path("old.html")}),
              exError);
    EXPECT_EQ(Read("old.html"), "old");
    EXPECT_EQ(std::distance(fs::directory_iterator(Dir), fs::directory_iterator()), 3);
}

TEST_F(FileSafetyTest, CompileIsRefusedAnOutputThatIsItsScriptThroughALink) {
    const std::string script = "%%Language\nName = 'Self'\n";
    Write("s.qls", script);
    fs::create_symlink("s.qls", Dir / "link.def");
    EXPECT_EQ(Run({"compile", Path("s.qls"), "-o", Path("link.def")}), exError);
    EXPECT_EQ(Err, "quillet-tool: " + FmtLoadStr(SDefCompileSameFile, Path("link.def")) + "\n");
    EXPECT_EQ(Read("s.qls"), script);
    EXPECT_TRUE(fs::is_symlink(Dir / "link.def"));
    // A file that happens to bear the output's name plus ".part" is no scratch file of ours.
    Write("out.def.part", script);
    EXPECT_EQ(Run({"compile", Path("s.qls"), "-o", Path("out.def")}), exOk);
    EXPECT_EQ(Read("out.def.part"), script);
    EXPECT_EQ(std::distance(fs::directory_iterator(Dir), fs::directory_iterator()), 4);
}

// Standard input that never ends.
struct TEndlessInput : std::streambuf {
    char Block[4096];
    TEndlessInput() { underflow(); }
    int_type underflow() override {
        std::memset(Block, 'a', sizeof Block);
        setg(Block, Block, Block + sizeof Block);
        return 'a';
    }
};

TEST_F(FileSafetyTest, EndlessStandardInputIsRefusedBeforeItFillsTheMemory) {
    for (const std::vector<std::string>& command :
         {std::vector<std::string>{"regex", "b"}, {"tokens", "--lang", "css"}}) {
        TEndlessInput endless;
        std::istream in(&endless);
        std::ostringstream out, err;
        EXPECT_EQ(RunTool(command, in, out, err), exError);
        EXPECT_EQ(err.str(), "quillet-tool: Cannot read '-': File too large\n");
    }
}

TEST_F(FileSafetyTest, EveryErrorIsOneLine) {
    // A stored definition of an older version is refused in one line by every command.
    const std::string old = std::string(QUILLET_TEST_DATA) + "/cli/dump-old.def";
    Write("a.css", "a {}\n");
    Write("script.play", "print\n");
    const std::vector<std::vector<std::string>> commands = {
        {"dump", old},
        {"tokens", "--lang", old, Path("a.css")},
        {"export", "--format", "html", "--lang", old, Path("a.css")},
        {"play", "--lang", old, Path("script.play")}};
    for (const auto& command : commands) {
        EXPECT_EQ(Run(command), exError) << command[0];
        EXPECT_EQ(Err, "quillet-tool: " +
                           OneLine(FmtLoadStr(SParserVersionError, "CodeMemoParser",
                                              DefStreamVersion, 49)) +
                           "\n");
    }
    EXPECT_EQ(OneLine("a\n\rb\r\n\nc\n"), "a b c");
}

TEST_F(FileSafetyTest, PlayStopsAtAScriptNoScriptIsThatLong) {
    std::string comments;
    while (comments.size() <= (size_t(64) << 20))
        comments += "# a script made only of comments, longer than any script is\n";
    std::istringstream in(comments);
    std::ostringstream out, err;
    EXPECT_EQ(RunTool({"play", "--lang", "none"}, in, out, err), exError);
    EXPECT_EQ(err.str(), "quillet-tool: Script is longer than 67108864 bytes\n");
}

} // namespace
} // namespace quillet::cli

namespace quillet::cli {
namespace {

// Keeps what is written until a flush, which then fails, as a full disk behind a buffer does.
class TFailingFlushBuffer : public std::streambuf {
public:
    TFailingFlushBuffer() { setp(FBuffer, FBuffer + sizeof FBuffer); }

protected:
    int overflow(int) override { return traits_type::eof(); }
    int sync() override { return -1; }

private:
    char FBuffer[1 << 16];
};

TEST(ExportToStandardOutput, AFlushThatFailsIsAFailedExport) {
    const std::string path = (std::filesystem::temp_directory_path() /
                              ("quillet-export-flush-" + std::to_string(::getpid()) + ".css"))
                                 .string();
    std::ofstream(path) << "a { color: red }\n";
    for (const char* format : {"text", "html"}) {
        TFailingFlushBuffer buffer;
        std::ostream out(&buffer);
        std::istringstream in;
        std::ostringstream err;
        EXPECT_EQ(RunTool({"export", "--format", format, path}, in, out, err), exError) << format;
        EXPECT_EQ(err.str(), "quillet-tool: " + LoadStr(SCouldNotSave) + "\n");
    }
    std::filesystem::remove(path);
}

} // namespace
} // namespace quillet::cli
