// Saves of an edited document that fail at random: the file is full, its folder read-only or
// gone, reached through a symbolic or a hard link, with extended attributes. A failed save
// says so and leaves the old bytes, links and attributes; one that succeeds writes exactly the
// bytes the document gives and keeps the rest. QUILLET_RANDOM_REPLAY=SEED runs one round.
#include "editor/CodeMemo.h"
#include "editor/UndoStack.h"
#include "tests/FileText.h"

#include <gtest/gtest.h>

#include <csignal>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <iostream>
#include <memory>
#include <random>
#include <sstream>
#include <string>

#include <sys/resource.h>
#include <sys/stat.h>
#include <sys/xattr.h>
#include <unistd.h>

namespace quillet {
using test::FileText;
namespace {

namespace fs = std::filesystem;

std::string Attribute(const fs::path& p) {
    char buf[64];
    const ssize_t n = ::getxattr(p.c_str(), "user.origin", buf, sizeof buf);
    return n < 0 ? "(none)" : std::string(buf, size_t(n));
}

struct stat Stat(const fs::path& p) {
    struct stat st {};
    ::stat(p.c_str(), &st);
    return st;
}

enum TFailure { fNone, fFull, fReadOnlyFolder, fFolderGone, fCount };
enum TWay { wDirect, wSymlink, wHardLink, wCount };

// One round: what went wrong, or "".
std::string Round(unsigned seed) {
    std::mt19937 rng(seed);
    auto pick = [&rng](int n) { return int(rng() % unsigned(n)); };
    const fs::path dir =
        fs::temp_directory_path() /
        ("quillet-random-save-" + std::to_string(::getpid()) + "-" + std::to_string(seed));
    fs::remove_all(dir);
    fs::create_directories(dir / "f");
    const fs::path target = dir / "f" / "a.css";
    std::string old;
    const int size = pick(4) == 0 ? pick(200000) : pick(300);
    const char alphabet[] = "ab {}:;\r\n\t\x00\xCF\xF0\xD0\x9F";
    for (int i = 0; i < size; ++i)
        old += alphabet[pick(int(sizeof alphabet) - 1)];
    std::ofstream(target, std::ios::binary) << old;
    const mode_t modes[] = {0600, 0640, 0644, 0664};
    ::chmod(target.c_str(), modes[pick(4)]);
    if (pick(2)) (void)::setxattr(target.c_str(), "user.origin", "kept", 4, 0);

    const TWay way = TWay(pick(wCount));
    fs::path name = target;
    if (way == wSymlink) fs::create_symlink("f/a.css", name = dir / "link.css");
    if (way == wHardLink) fs::create_hard_link(target, name = dir / "f" / "hard.css");
    const struct stat before = Stat(target);
    const std::string attribute = Attribute(target);

    TCodeMemo memo;
    memo.LoadFromFile(name.string());
    memo.SetSelStart(pick(memo.TextLength() + 1));
    memo.SetSelText(pick(2) ? "x\r" : std::string(size_t(pick(5000)), 'n'));
    // The bytes the save must write; the undo history (what Modified reports) is kept.
    std::unique_ptr<TUndoStack> history = memo.Store().DetachUndoStack();
    TTextEncoding encoding;
    const std::string want = memo.FileBytes(encoding);
    memo.Perform(SM_UNDOSTACK, smSET, LPARAM(history.release()));

    const TFailure failure = TFailure(pick(fCount));
    rlimit limit{};
    ::getrlimit(RLIMIT_FSIZE, &limit);
    const auto oldSignal = std::signal(SIGXFSZ, SIG_IGN);
    size_t room = 0;
    if (failure == fFull) {
        room = want.size() > 1 ? size_t(pick(int(want.size()))) : 0;
        rlimit low = limit;
        low.rlim_cur = room;
        ::setrlimit(RLIMIT_FSIZE, &low);
    } else if (failure == fReadOnlyFolder) {
        ::chmod((dir / "f").c_str(), 0555);
    } else if (failure == fFolderGone) {
        fs::remove_all(dir / "f");
    }
    std::string error;
    try {
        memo.SaveToFile(name.string());
    } catch (const EFileError& e) {
        error = e.what();
    }
    ::setrlimit(RLIMIT_FSIZE, &limit);
    std::signal(SIGXFSZ, oldSignal);
    if (failure == fReadOnlyFolder) ::chmod((dir / "f").c_str(), 0755);

    std::ostringstream fault;
    const bool mustFail = (failure == fFull && want.size() > room) || failure == fFolderGone ||
                          (failure == fReadOnlyFolder && ::geteuid() != 0);
    if (mustFail && error.empty()) fault << "the save reported no failure; ";
    if (!error.empty() && error.rfind("Cannot create file " + name.string() + ": ", 0) != 0)
        fault << "error: " << error << "; ";
    if (!error.empty() && !memo.Modified()) fault << "a failed save cleared the changes; ";
    if (failure != fFolderGone) {
        const std::string now = FileText(target);
        if (now != (error.empty() ? want : old))
            fault << (error.empty() ? "new" : "old") << " bytes differ (" << now.size() << " for "
                  << (error.empty() ? want : old).size() << "); ";
        const struct stat after = Stat(target);
        if ((after.st_mode & 07777) != (before.st_mode & 07777)) fault << "mode changed; ";
        if (Attribute(target) != attribute) fault << "attribute lost; ";
        if (way == wSymlink && !fs::is_symlink(name)) fault << "the link became a file; ";
        if (way == wHardLink && (Stat(name).st_ino != after.st_ino || after.st_nlink != 2))
            fault << "the hard link was broken; ";
        const size_t files = way == wHardLink ? 2 : 1;
        if (size_t(std::distance(fs::directory_iterator(dir / "f"), {})) != files)
            fault << "files left behind; ";
    } else if (fs::exists(dir / "f")) {
        fault << "the folder came back; ";
    }
    fs::remove_all(dir);
    if (fault.str().empty()) return "";
    return "seed " + std::to_string(seed) + " (failure " + std::to_string(failure) + ", way " +
           std::to_string(way) + "): " + fault.str();
}

TEST(RandomSave, AFailedSaveSaysSoAndLeavesTheOldFileAsItWas) {
    if (const char* replay = std::getenv("QUILLET_RANDOM_REPLAY"); replay && *replay) {
        EXPECT_EQ(Round(unsigned(std::strtoul(replay, nullptr, 10))), "");
        return;
    }
    const unsigned first = std::random_device()() % 100000;
    std::cout << "RandomSave: seeds " << first << " to " << first + 59 << "\n";
    for (unsigned seed = first; seed < first + 60; ++seed)
        EXPECT_EQ(Round(seed), "");
}

} // namespace
} // namespace quillet
