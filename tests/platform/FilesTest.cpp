#include "platform/Files.h"
#include "tests/FileText.h"

#include <gtest/gtest.h>

#include <cerrno>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <sstream>

#include <csignal>

#include <fcntl.h>
#include <sys/resource.h>
#include <sys/stat.h>
#include <sys/xattr.h>
#include <unistd.h>

using namespace quillet;
namespace fs = std::filesystem;

namespace {

class FilesTest : public ::testing::Test {
protected:
    void SetUp() override {
        Dir = fs::temp_directory_path() /
              ("quillet-files-" + std::to_string(::getpid()) + "-" +
               ::testing::UnitTest::GetInstance()->current_test_info()->name());
        fs::remove_all(Dir);
        fs::create_directories(Dir / "real");
    }
    void TearDown() override { fs::remove_all(Dir); }

    static void Write(const fs::path& p, const std::string& text, mode_t mode = 0644) {
        std::ofstream(p, std::ios::binary) << text;
        ::chmod(p.c_str(), mode);
    }
    static std::string Read(const fs::path& p) { return test::FileText(p); }
    static mode_t Mode(const fs::path& p) {
        struct stat st {};
        ::stat(p.c_str(), &st);
        return st.st_mode & 07777;
    }
    // What a save says when it fails, "" when it does not.
    static std::string Replace(const fs::path& p, const std::string& text) {
        try {
            ReplaceFile(p.string(), text, "Cannot create file " + p.string());
        } catch (const EFileError& e) {
            return e.what();
        }
        return "";
    }
    static std::string Attribute(const fs::path& p, const char* name) {
        char buf[256];
        const ssize_t n = ::getxattr(p.c_str(), name, buf, sizeof buf);
        return n < 0 ? "(none)" : std::string(buf, size_t(n));
    }
    size_t Entries(const fs::path& folder) const {
        return size_t(std::distance(fs::directory_iterator(folder), fs::directory_iterator()));
    }

    fs::path Dir;
};

TEST_F(FilesTest, AReplacedFileKeepsItsModeAndAReadOnlyOneIsRefusedUntouched) {
    for (mode_t mode : {0600, 0755, 0640}) {
        const fs::path f = Dir / "real" / "a.css";
        Write(f, "old", mode);
        EXPECT_EQ(Replace(f, "new"), "");
        EXPECT_EQ(Read(f), "new");
        EXPECT_EQ(Mode(f), mode);
    }
    // Another user's file stays theirs where the process may say so (root may).
    if (::geteuid() == 0) {
        const fs::path theirs = Dir / "real" / "theirs.css";
        Write(theirs, "old", 0664);
        ASSERT_EQ(::chown(theirs.c_str(), 65534, 65534), 0);
        EXPECT_EQ(Replace(theirs, "new"), "");
        struct stat st {};
        ASSERT_EQ(::stat(theirs.c_str(), &st), 0);
        EXPECT_EQ(st.st_uid, 65534u);
        EXPECT_EQ(st.st_gid, 65534u);
        EXPECT_EQ(st.st_mode & 07777, 0664u);
        fs::remove(theirs);
    }
    // A new file gets the mode the user's umask allows, not the temporary file's 0600.
    const mode_t mask = ::umask(022);
    EXPECT_EQ(Replace(Dir / "fresh.css", "x"), "");
    ::umask(mask);
    EXPECT_EQ(Mode(Dir / "fresh.css"), 0644u);

    // Read-only for its owner: refused even where the process could write it (as root can).
    const fs::path ro = Dir / "real" / "ro.css";
    Write(ro, "keep me", 0444);
    EXPECT_EQ(Replace(ro, "lost"),
              "Cannot create file " + ro.string() + ": " + std::strerror(EACCES));
    EXPECT_EQ(Read(ro), "keep me");
    EXPECT_EQ(Mode(ro), 0444u);
    EXPECT_EQ(Entries(Dir / "real"), 2u); // no temporary file left behind
}

TEST_F(FilesTest, SavingThroughALinkWritesItsTargetAndKeepsTheLink) {
    const fs::path target = Dir / "real" / "t.css";
    Write(target, "old", 0600);
    fs::create_symlink("real/t.css", Dir / "link.css");      // relative to the link's folder
    fs::create_symlink(Dir / "link.css", Dir / "link2.css"); // a link to a link
    EXPECT_EQ(Replace(Dir / "link2.css", "new"), "");
    EXPECT_TRUE(fs::is_symlink(Dir / "link.css"));
    EXPECT_TRUE(fs::is_symlink(Dir / "link2.css"));
    EXPECT_EQ(Read(target), "new");
    EXPECT_EQ(Mode(target), 0600u);
    EXPECT_TRUE(SameFile((Dir / "link2.css").string(), target.string()));
    EXPECT_FALSE(SameFile((Dir / "link2.css").string(), (Dir / "nothing").string()));
    // A dangling link makes the file it names.
    fs::create_symlink("real/new.css", Dir / "dangling.css");
    EXPECT_EQ(Replace(Dir / "dangling.css", "made"), "");
    EXPECT_EQ(Read(Dir / "real" / "new.css"), "made");
    EXPECT_TRUE(fs::is_symlink(Dir / "dangling.css"));
    // A loop of links is named as one.
    fs::create_symlink("loop2", Dir / "loop1");
    fs::create_symlink("loop1", Dir / "loop2");
    EXPECT_EQ(Replace(Dir / "loop1", "x"),
              "Cannot create file " + (Dir / "loop1").string() + ": " + std::strerror(ELOOP));
}

TEST_F(FilesTest, FailuresNameTheirCauseAndLeaveNothingBehind) {
    auto cause = [](int code) { return std::string(": ") + std::strerror(code); };
    const fs::path missing = Dir / "no-such-folder" / "x.css";
    EXPECT_EQ(Replace(missing, "x"), "Cannot create file " + missing.string() + cause(ENOENT));
    EXPECT_EQ(Replace(Dir / "real", "x"),
              "Cannot create file " + (Dir / "real").string() + cause(EISDIR));
    EXPECT_TRUE(fs::is_directory(Dir / "real"));
    // A device takes the bytes in place: the full one reports the full disk and stays a device.
    struct stat st {};
    if (::stat("/dev/full", &st) == 0 && S_ISCHR(st.st_mode)) {
        EXPECT_EQ(Replace("/dev/full", "x"), "Cannot create file /dev/full" + cause(ENOSPC));
        ASSERT_EQ(::stat("/dev/full", &st), 0);
        EXPECT_TRUE(S_ISCHR(st.st_mode));
    }
    // A pipe nobody reads is refused at once; one with a reader takes the bytes.
    const fs::path pipe = Dir / "pipe.css";
    ASSERT_EQ(::mkfifo(pipe.c_str(), 0600), 0);
    EXPECT_EQ(Replace(pipe, "x"), "Cannot create file " + pipe.string() + cause(ENXIO));
    const int reader = ::open(pipe.c_str(), O_RDONLY | O_NONBLOCK);
    ASSERT_GE(reader, 0);
    EXPECT_EQ(Replace(pipe, "piped"), "");
    char got[8] = {};
    EXPECT_EQ(::read(reader, got, sizeof got), 5);
    EXPECT_STREQ(got, "piped");
    ::close(reader);
    EXPECT_TRUE(fs::is_fifo(pipe));
    // Abandoned without Commit, the old file is as it was.
    const fs::path f = Dir / "real" / "k.css";
    Write(f, "old");
    {
        TReplacingFile file(f.string(), "unused");
        file.WriteBuffer("partial", 7);
    }
    EXPECT_EQ(Read(f), "old");
    EXPECT_EQ(Entries(Dir / "real"), 1u);
}

TEST_F(FilesTest, EveryHardLinkSeesASaveAndAFailedOneLeavesThemAllUntouched) {
    const fs::path a = Dir / "real" / "a.css", b = Dir / "b.css";
    Write(a, "old text, longer than the new", 0640);
    fs::create_hard_link(a, b);
    EXPECT_EQ(Replace(b, "new"), "");
    EXPECT_EQ(Read(a), "new"); // shorter: the tail is cut
    EXPECT_EQ(Read(b), "new");
    EXPECT_TRUE(SameFile(a.string(), b.string()));
    EXPECT_EQ(Mode(a), 0640u);

    // The write into the shared file fails part-way (the file-size limit stops it after the
    // complete temporary file was made): the old bytes are put back.
    const std::string big(100000, 'n');
    rlimit old{};
    ASSERT_EQ(::getrlimit(RLIMIT_FSIZE, &old), 0);
    const auto oldSignal = std::signal(SIGXFSZ, SIG_IGN);
    std::string error;
    {
        TReplacingFile file(a.string(), "Cannot save");
        file.WriteBuffer(big.data(), int64_t(big.size()));
        rlimit low = old;
        low.rlim_cur = 4096;
        ASSERT_EQ(::setrlimit(RLIMIT_FSIZE, &low), 0);
        try {
            file.Commit();
        } catch (const EFileError& e) {
            error = e.what();
        }
        ::setrlimit(RLIMIT_FSIZE, &old);
    }
    std::signal(SIGXFSZ, oldSignal);
    EXPECT_EQ(error, std::string("Cannot save: ") + std::strerror(EFBIG));
    for (const fs::path& name : {a, b})
        EXPECT_TRUE(Read(name) == "new") << Read(name).size();
    EXPECT_EQ(Entries(Dir / "real"), 1u); // neither backup nor temporary file stays
    EXPECT_EQ(Entries(Dir), 2u);
}

TEST_F(FilesTest, ASaveKeepsExtendedAttributesAndTheAccessList) {
    const fs::path f = Dir / "real" / "x.css";
    Write(f, "old", 0640);
    if (::setxattr(f.c_str(), "user.origin", "kept", 4, 0) != 0)
        GTEST_SKIP() << "the file system under " << Dir << " takes no extended attributes";
    // owner rw-, user 65534 r--, group r--, mask r--, others ---, as the kernel stores them
    std::string acl;
    auto put = [&acl](uint32_t v, int bytes) {
        for (int i = 0; i < bytes; ++i)
            acl += char(v >> (8 * i));
    };
    put(2, 4);
    for (auto [tag, perm, id] : {std::tuple{0x01u, 6u, ~0u},
                                 {0x02u, 4u, 65534u},
                                 {0x04u, 4u, ~0u},
                                 {0x10u, 4u, ~0u},
                                 {0x20u, 0u, ~0u}}) {
        put(tag, 2);
        put(perm, 2);
        put(id, 4);
    }
    const char* aclName = "system.posix_acl_access";
    const bool hasAcl = ::setxattr(f.c_str(), aclName, acl.data(), acl.size(), 0) == 0;
    const std::string aclBefore = Attribute(f, aclName);
    EXPECT_EQ(Replace(f, "new"), "");
    EXPECT_EQ(Read(f), "new");
    EXPECT_EQ(Attribute(f, "user.origin"), "kept");
    if (hasAcl) {
        EXPECT_EQ(Attribute(f, aclName), aclBefore);
    }
    EXPECT_EQ(Mode(f), 0640u);
}

} // namespace
