#include "platform/RegistryFile.h"
#include "platform/headless/MemoryRegistry.h"
#include "resources/Strings.h"
#include "tests/FileText.h"

#include <gtest/gtest.h>

#include <cerrno>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <sstream>

#include <sys/stat.h>
#include <unistd.h>

using namespace quillet;
using quillet::test::FileText;

namespace {

const std::string Key = "Software\\Orvane\\Quillet";

std::string Error(const std::function<void()>& fn) {
    try {
        fn();
    } catch (const ERegistryError& e) {
        return e.what();
    }
    return "(no error)";
}

struct TTempDir {
    std::filesystem::path Path;
    TTempDir() {
        Path = std::filesystem::temp_directory_path() /
               ("quillet-reg-" + std::to_string(::getpid()) + "-" +
                ::testing::UnitTest::GetInstance()->current_test_info()->name());
        std::filesystem::remove_all(Path);
    }
    ~TTempDir() { std::filesystem::remove_all(Path); }
    std::string File(const std::string& name = "HKEY_CURRENT_USER.reg") const {
        return (Path / name).string();
    }
};

// The same behaviour from both implementations.
void ExerciseTypedValues(IRegistry& r) {
    EXPECT_FALSE(r.OpenKey(Key, false));
    EXPECT_TRUE(r.OpenKey(Key, true));
    EXPECT_TRUE(r.KeyExists("software\\ORVANE"));
    EXPECT_TRUE(r.KeyExists("\\Software\\Orvane\\Quillet\\"));
    EXPECT_FALSE(r.KeyExists("Software\\Orv"));
    r.WriteDword(Key, "HtmlHeight", 240);
    r.WriteString(Key, "SamplePath", "C:\\Brovix\\Sample.htm \"quoted\"\r\nnext");
    r.WriteBinary(Key, "Blob", {0, 1, 0xFF});
    r.WriteString(Key, "", "default");
    r.WriteString("Software\\Other", "Empty", "");
    EXPECT_EQ(r.ReadDword(Key, "htmlheight"), 240u);
    EXPECT_EQ(r.ReadString(Key, "SamplePath"), "C:\\Brovix\\Sample.htm \"quoted\"\r\nnext");
    EXPECT_EQ(r.ReadBinary(Key, "Blob"), (std::vector<uint8_t>{0, 1, 0xFF}));
    EXPECT_EQ(r.ReadString(Key, ""), "default");
    EXPECT_EQ(r.ReadString("software\\other", "EMPTY"), "");
    EXPECT_EQ(r.ValueType(Key, "HtmlHeight"), rtDword);
    EXPECT_EQ(r.ValueType(Key, "Blob"), rtBinary);
    EXPECT_EQ(r.ValueType(Key, "Missing"), rtNone);
    EXPECT_EQ(r.ValueNames(Key),
              (std::vector<std::string>{"", "Blob", "HtmlHeight", "SamplePath"}));

    // Rewriting keeps the first spelling and may change the type.
    r.WriteString(Key, "HTMLHEIGHT", "tall");
    EXPECT_EQ(r.ValueType(Key, "HtmlHeight"), rtString);
    EXPECT_EQ(r.ValueNames(Key)[2], "HtmlHeight");

    EXPECT_EQ(Error([&] { r.ReadDword(Key, "Missing"); }), "Registry value 'Missing' not found");
    EXPECT_EQ(Error([&] { r.ReadString("Software\\Nowhere", "X"); }),
              "Registry value 'X' not found");
    EXPECT_EQ(Error([&] { r.ReadDword(Key, "Blob"); }), "Registry value 'Blob' has the wrong type");
    EXPECT_EQ(Error([&] { r.OpenKey("\\\\", true); }), "Invalid registry key name '\\\\'");
    EXPECT_EQ(Error([&] { r.WriteDword("A\nB", "x", 1); }), "Invalid registry key name 'A\nB'");

    EXPECT_TRUE(r.DeleteValue(Key, "blob"));
    EXPECT_FALSE(r.DeleteValue(Key, "blob"));
    EXPECT_FALSE(r.DeleteValue("Software\\Nowhere", "blob"));
    EXPECT_EQ(r.ValueType(Key, "Blob"), rtNone);
}

} // namespace

TEST(Registry, MemoryRegistryKeepsTypedValues) {
    TMemoryRegistry r;
    ExerciseTypedValues(r);
}

TEST(Registry, FileRegistrySavesEveryChangeAndReadsItBack) {
    TTempDir dir;
    const std::string path = dir.File();
    {
        TFileRegistry r(path);
        ExerciseTypedValues(r);
    }
    EXPECT_TRUE(std::filesystem::exists(path)); // the folder was made on the first write
    TFileRegistry again(path);
    EXPECT_EQ(again.ReadString(Key, "SamplePath"), "C:\\Brovix\\Sample.htm \"quoted\"\r\nnext");
    EXPECT_EQ(again.ReadString(Key, ""), "default");
    EXPECT_EQ(again.ValueType(Key, "Blob"), rtNone);
    EXPECT_EQ(FormatRegistryFile(again.Keys()), FileText(path));
    for (auto& e : std::filesystem::directory_iterator(dir.Path))
        EXPECT_EQ(e.path().filename(), "HKEY_CURRENT_USER.reg"); // no temporary left behind
}

TEST(Registry, WritesTheRegedit4Layout) {
    TMemoryRegistry r;
    r.WriteDword(Key, "Height", 10);
    r.WriteString(Key, "Path", "a\\b\"c");
    std::vector<uint8_t> blob(40);
    for (size_t i = 0; i < blob.size(); ++i)
        blob[i] = uint8_t(i * 7);
    r.WriteBinary(Key, "Keys", blob);
    r.WriteString(Key, "", "x");
    const std::string text = FormatRegistryFile(r.Keys());
    EXPECT_EQ(text.substr(0, 54), "REGEDIT4\n\n[HKEY_CURRENT_USER\\Software\\Orvane\\Quillet]\n");
    EXPECT_NE(text.find("@=\"x\"\n"), std::string::npos);
    EXPECT_NE(text.find("\"Height\"=dword:0000000a\n"), std::string::npos);
    EXPECT_NE(text.find("\"Path\"=\"a\\\\b\\\"c\"\n"), std::string::npos);
    EXPECT_NE(text.find("\"Keys\"=hex:00,07,0e,15,"), std::string::npos);
    EXPECT_NE(text.find(",\\\n  "), std::string::npos); // a long value goes on over lines
    for (size_t start = 0, end; (end = text.find('\n', start)) != std::string::npos;
         start = end + 1)
        EXPECT_LE(end - start, 80u);
    EXPECT_EQ(ParseRegistryFile(text, "t"), r.Keys());
}

TEST(Registry, ParsesHandWrittenFilesAndRefusesMalformedOnes) {
    const std::string good = "\xEF\xBB\xBFREGEDIT4\r\n"
                             "; a comment\r\n"
                             "\r\n"
                             "[HKEY_CURRENT_USER\\Software\\Orvane\\Quillet]\r\n"
                             "\"A\"=dword:FFFFFFFF\r\n"
                             "\"B\"=hex:01, 02,\\\r\n"
                             "    03\r\n"
                             "\"C\"=hex:\r\n"
                             "@=\"def\"\r\n"
                             "[hkey_current_user\\software\\orvane\\quillet]\n"
                             "\"D\"=\"\\\\\"\n";
    TMemoryRegistry r;
    r.SetKeys(ParseRegistryFile(good, "good.reg"));
    EXPECT_EQ(r.ReadDword(Key, "A"), 0xFFFFFFFFu);
    EXPECT_EQ(r.ReadBinary(Key, "B"), (std::vector<uint8_t>{1, 2, 3}));
    EXPECT_TRUE(r.ReadBinary(Key, "C").empty());
    EXPECT_EQ(r.ReadString(Key, ""), "def");
    EXPECT_EQ(r.ReadString(Key, "D"), "\\");
    EXPECT_EQ(r.Keys().size(), 1u);
    EXPECT_TRUE(ParseRegistryFile("", "empty.reg").empty()); // nothing written yet

    struct TCase {
        std::string Text;
        std::string Message;
    };
    const std::string head = "REGEDIT4\n[HKEY_CURRENT_USER\\K]\n";
    const TCase cases[] = {
        {"\n; only a comment\n", "Registry file f, line 2: the file does not start with REGEDIT4"},
        {"REGEDIT5\n", "Registry file f, line 1: the file does not start with REGEDIT4"},
        {"REGEDIT4\n\"a\"=dword:1\n", "Registry file f, line 2: value outside any key"},
        {"REGEDIT4\n[HKEY_CURRENT_USER\\K\n", "Registry file f, line 2: malformed key line"},
        {"REGEDIT4\n[-HKEY_CURRENT_USER\\K]\n", "Registry file f, line 2: malformed key line"},
        {"REGEDIT4\n[HKEY_CURRENT_USER]\n", "Registry file f, line 2: malformed key line"},
        {"REGEDIT4\n[HKEY_LOCAL_MACHINE\\K]\n",
         "Registry file f, line 2: only keys under HKEY_CURRENT_USER are kept"},
        {"REGEDIT4\n[HKEY_CURRENT_USERX]\n",
         "Registry file f, line 2: only keys under HKEY_CURRENT_USER are kept"},
        {head + "\"a\"dword:1\n", "Registry file f, line 3: malformed value line"},
        {head + "\"a=dword:1\n", "Registry file f, line 3: malformed value line"},
        {head + "\"a\"=qword:1\n", "Registry file f, line 3: malformed value line"},
        {head + "\"a\"=\"open\n", "Registry file f, line 3: malformed string value"},
        {head + "\"a\"=\"x\"y\n", "Registry file f, line 3: malformed string value"},
        {head + "\"a\"=dword:\n", "Registry file f, line 3: malformed dword value"},
        {head + "\"a\"=dword:123456789\n", "Registry file f, line 3: malformed dword value"},
        {head + "\"a\"=dword:12g\n", "Registry file f, line 3: malformed dword value"},
        {head + "\"a\"=hex:1,,2\n", "Registry file f, line 3: malformed hex value"},
        {head + "\"a\"=hex:123\n", "Registry file f, line 3: malformed hex value"},
        {head + "\"a\"=hex:01,\n", "Registry file f, line 3: malformed hex value"},
        {head + "\"a\"=hex:01,\\\n", "Registry file f, line 3: malformed hex value"},
    };
    for (const auto& c : cases)
        EXPECT_EQ(Error([&] { ParseRegistryFile(c.Text, "f"); }), c.Message) << c.Text;

    TTempDir dir;
    std::filesystem::create_directories(dir.Path);
    std::ofstream(dir.File()) << "garbage\n";
    EXPECT_EQ(Error([&] { TFileRegistry bad(dir.File()); }),
              "Registry file " + dir.File() + ", line 1: the file does not start with REGEDIT4");
    std::filesystem::create_directories(dir.File("folder.reg"));
    EXPECT_EQ(Error([&] { TFileRegistry bad(dir.File("folder.reg")); }),
              "Cannot read the registry file " + dir.File("folder.reg") + ": " +
                  std::strerror(EISDIR));
}

TEST(Registry, AFailedWriteLeavesTheOldFileAndMemoryWhole) {
    TTempDir dir;
    const std::string path = dir.File();
    TFileRegistry r(path);
    r.WriteString(Key, "Kept", "old");
    const std::string before = FileText(path);

    // The writer gives up half-way, as a full disk or a crash would leave it.
    r.Writer = [](int fd, const char* data, size_t size) {
        EXPECT_EQ(::write(fd, data, size / 2), ssize_t(size / 2));
        errno = ENOSPC;
        return false;
    };
    EXPECT_EQ(Error([&] { r.WriteString(Key, "Kept", "new"); }),
              "Cannot write the registry file " + path + ": " + std::strerror(ENOSPC));
    EXPECT_EQ(FileText(path), before);
    EXPECT_EQ(r.ReadString(Key, "Kept"), "old");
    EXPECT_FALSE(r.DeleteValue(Key, "Nope"));
    EXPECT_THROW(r.DeleteValue(Key, "Kept"), ERegistryError);
    EXPECT_EQ(r.ReadString(Key, "Kept"), "old");
    size_t files = 0;
    for (auto& e : std::filesystem::directory_iterator(dir.Path)) {
        (void)e;
        ++files;
    }
    EXPECT_EQ(files, 1u);

    // A folder that cannot be written to.
    TFileRegistry nowhere("/proc/quillet-no-such/HKEY_CURRENT_USER.reg");
    EXPECT_NE(
        Error([&] { nowhere.WriteDword(Key, "x", 1); }).find("Cannot write the registry file"),
        std::string::npos);
}

TEST(Registry, DefaultPathFollowsTheEnvironment) {
    auto with = [](const char* reg, const char* xdg, const char* home) {
        auto set = [](const char* name, const char* v) {
            if (v)
                ::setenv(name, v, 1);
            else
                ::unsetenv(name);
        };
        const char* oldHome = std::getenv("HOME");
        const std::string keepHome = oldHome ? oldHome : "";
        set("QUILLET_REGISTRY", reg);
        set("XDG_CONFIG_HOME", xdg);
        set("HOME", home);
        std::string r;
        try {
            r = TFileRegistry::DefaultPath();
        } catch (const ERegistryError& e) {
            r = std::string("error: ") + e.what();
        }
        set("QUILLET_REGISTRY", nullptr);
        set("XDG_CONFIG_HOME", nullptr);
        set("HOME", oldHome ? keepHome.c_str() : nullptr);
        return r;
    };
    EXPECT_EQ(with("/tmp/x.reg", "/xdg", "/home/u"), "/tmp/x.reg");
    EXPECT_EQ(with(nullptr, "/xdg", "/home/u"), "/xdg/quillet/HKEY_CURRENT_USER.reg");
    EXPECT_EQ(with(nullptr, nullptr, "/home/u"), "/home/u/.config/quillet/HKEY_CURRENT_USER.reg");
    EXPECT_EQ(with(nullptr, "", ""),
              "error: no HOME or XDG_CONFIG_HOME to keep the registry file in");

    ::setenv("QUILLET_REGISTRY", ":memory:", 1);
    auto memory = MakeDefaultRegistry();
    ::unsetenv("QUILLET_REGISTRY");
    EXPECT_NE(dynamic_cast<TMemoryRegistry*>(memory.get()), nullptr);
    EXPECT_EQ(dynamic_cast<TFileRegistry*>(memory.get()), nullptr);
    TTempDir dir;
    ::setenv("QUILLET_REGISTRY", dir.File().c_str(), 1);
    auto file = MakeDefaultRegistry();
    ::unsetenv("QUILLET_REGISTRY");
    ASSERT_NE(dynamic_cast<TFileRegistry*>(file.get()), nullptr);
    EXPECT_EQ(dynamic_cast<TFileRegistry*>(file.get())->Path(), dir.File());
}

TEST(Registry, AnUnreadableSettingsFileIsSetAsideAndTheRunStartsAfresh) {
    TTempDir dir;
    std::filesystem::create_directories(dir.Path);
    const std::string path = dir.File();
    ::setenv("QUILLET_REGISTRY", path.c_str(), 1);
    auto open = [&](const std::string& text, std::string& notice) {
        std::ofstream(path, std::ios::binary) << text;
        notice.clear();
        return MakeDefaultRegistry(&notice);
    };
    // Garbage, another header, a hex value cut off at the end, a dword out of range: each is
    // kept byte for byte under a name not yet taken, and the registry starts empty.
    const std::vector<std::string> damaged = {
        "\x01\x02garbage", "REGEDIT5\n",
        "REGEDIT4\n[HKEY_CURRENT_USER\\Software\\Orvane\\Quillet]\n\"Blob\"=hex:01,\\\n",
        "REGEDIT4\n[HKEY_CURRENT_USER\\Software\\Orvane\\Quillet]\n\"EditorHeight\"=dword:"
        "123456789\n"};
    for (size_t i = 0; i < damaged.size(); ++i) {
        std::string notice;
        auto r = open(damaged[i], notice);
        const std::string aside = path + ".bad" + (i ? "." + std::to_string(i) : std::string());
        EXPECT_EQ(FileText(aside), damaged[i]);
        EXPECT_NE(notice.find("Registry file " + path + ", line "), std::string::npos) << notice;
        EXPECT_NE(notice.find("the unreadable file is kept as " + aside), std::string::npos);
        ASSERT_NE(dynamic_cast<TFileRegistry*>(r.get()), nullptr);
        EXPECT_FALSE(r->KeyExists(Key));
        r->WriteDword(Key, "EditorHeight", 145); // the fresh file works
        EXPECT_EQ(FileText(path).rfind("REGEDIT4", 0), 0u);
    }
    // A sound file says nothing; without a notice to fill the damage is an error as before.
    std::string notice;
    EXPECT_EQ(open("REGEDIT4\n", notice)->KeyExists(Key), false);
    EXPECT_EQ(notice, "");
    std::ofstream(path, std::ios::binary) << "junk";
    EXPECT_THROW(MakeDefaultRegistry(), ERegistryError);
    // A folder or a pipe of that name is left where it is, and nothing waits for a writer.
    std::filesystem::remove(path);
    std::filesystem::create_directory(path);
    EXPECT_NE(dynamic_cast<TMemoryRegistry*>(MakeDefaultRegistry(&notice).get()), nullptr);
    EXPECT_EQ(notice,
              FmtLoadStr(SRegKeptInMemory, FmtLoadStr(SRegFileRead, path, std::strerror(EISDIR))));
    EXPECT_TRUE(std::filesystem::is_directory(path));
    std::filesystem::remove(path);
    ASSERT_EQ(::mkfifo(path.c_str(), 0600), 0);
    EXPECT_NE(dynamic_cast<TMemoryRegistry*>(MakeDefaultRegistry(&notice).get()), nullptr);
    EXPECT_EQ(notice,
              FmtLoadStr(SRegKeptInMemory, FmtLoadStr(SRegFileRead, path, LoadStr(SRegNotAFile))));
    EXPECT_TRUE(std::filesystem::is_fifo(path));
    EXPECT_FALSE(std::filesystem::exists(path + ".bad." + std::to_string(damaged.size())));
    std::filesystem::remove(path);
    // With nowhere to keep a file the settings live in memory for the run.
    ::unsetenv("QUILLET_REGISTRY");
    const std::string home = std::getenv("HOME") ? std::getenv("HOME") : "";
    const char* xdg = std::getenv("XDG_CONFIG_HOME");
    const std::string keepXdg = xdg ? xdg : "";
    ::unsetenv("HOME");
    ::unsetenv("XDG_CONFIG_HOME");
    auto memory = MakeDefaultRegistry(&notice);
    if (!home.empty()) ::setenv("HOME", home.c_str(), 1);
    if (xdg) ::setenv("XDG_CONFIG_HOME", keepXdg.c_str(), 1);
    EXPECT_NE(dynamic_cast<TMemoryRegistry*>(memory.get()), nullptr);
    EXPECT_EQ(notice, FmtLoadStr(SRegKeptInMemory, LoadStr(SRegNoHome)));
}
