#include "platform/Files.h"

#include <cerrno>
#include <climits>
#include <cstring>

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace quillet {

namespace {

std::string FolderOf(const std::string& path) {
    const size_t slash = path.rfind('/');
    if (slash == std::string::npos) return ".";
    return slash == 0 ? "/" : path.substr(0, slash);
}

std::string NameOf(const std::string& path) {
    const size_t slash = path.rfind('/');
    return slash == std::string::npos ? path : path.substr(slash + 1);
}

mode_t NewFileMode() {
    const mode_t mask = ::umask(0);
    ::umask(mask);
    return 0666 & ~mask;
}

} // namespace

std::string WithCause(const std::string& text, int code) {
    return code ? text + ": " + std::strerror(code) : text;
}

std::string ResolveLinks(const std::string& path, const std::string& failText) {
    std::string p = path;
    for (int hops = 0; hops < 40; ++hops) {
        struct stat st {};
        if (::lstat(p.c_str(), &st) != 0 || !S_ISLNK(st.st_mode)) return p;
        char buf[PATH_MAX];
        const ssize_t n = ::readlink(p.c_str(), buf, sizeof buf);
        if (n <= 0 || size_t(n) >= sizeof buf) return p;
        std::string to(buf, size_t(n));
        if (to[0] != '/' && p.find('/') != std::string::npos) to = FolderOf(p) + "/" + to;
        p = to;
    }
    throw EFileError(WithCause(failText, ELOOP), ELOOP);
}

bool SameFile(const std::string& a, const std::string& b) {
    struct stat sa {
    }, sb{};
    return ::stat(a.c_str(), &sa) == 0 && ::stat(b.c_str(), &sb) == 0 && sa.st_dev == sb.st_dev &&
           sa.st_ino == sb.st_ino;
}

TReplacingFile::TReplacingFile(const std::string& path, std::string failText)
    : FFailText(std::move(failText)) {
    FTarget = ResolveLinks(path, FFailText);
    struct stat st {};
    const bool exists = ::stat(FTarget.c_str(), &st) == 0;
    if (exists && S_ISDIR(st.st_mode)) Fail(EISDIR);
    if (exists && !S_ISREG(st.st_mode)) {
        // A device or a pipe cannot be renamed over: it takes the bytes itself.
        FFd = ::open(FTarget.c_str(), O_WRONLY | O_TRUNC | O_CLOEXEC);
        if (FFd < 0) Fail(errno);
        return;
    }
    // A file its owner made read-only stays so, even for a process that could write it.
    if (exists &&
        (!(st.st_mode & S_IWUSR) || ::faccessat(AT_FDCWD, FTarget.c_str(), W_OK, AT_EACCESS) != 0))
        Fail(EACCES);
    std::string name = NameOf(FTarget).substr(0, 200);
    FTemp = FolderOf(FTarget) + "/." + name + ".XXXXXX";
    FFd = ::mkstemp(FTemp.data());
    if (FFd < 0) {
        const int code = errno;
        FTemp.clear();
        Fail(code);
    }
    if (exists) {
        // The owner first: changing it may clear the set-id bits the mode then restores.
        if (st.st_uid != ::geteuid() || st.st_gid != ::getegid())
            (void)!::fchown(FFd, st.st_uid, st.st_gid);
        ::fchmod(FFd, st.st_mode & 07777);
    } else {
        ::fchmod(FFd, NewFileMode());
    }
}

TReplacingFile::~TReplacingFile() {
    Discard();
}

void TReplacingFile::Discard() {
    if (FFd >= 0) ::close(FFd);
    FFd = -1;
    if (!FTemp.empty()) ::unlink(FTemp.c_str());
    FTemp.clear();
}

void TReplacingFile::Fail(int code) const {
    throw EFileError(WithCause(FFailText, code), code);
}

int64_t TReplacingFile::Read(void*, int64_t) {
    return 0;
}

int64_t TReplacingFile::Write(const void* buffer, int64_t count) {
    if (FFd < 0 || FError) return 0;
    for (;;) {
        const ssize_t n = ::write(FFd, buffer, size_t(count));
        if (n > 0) StartWriteBack(n);
        if (n > 0 || count == 0) return n;
        if (n < 0 && errno == EINTR) continue;
        FError = n < 0 ? errno : ENOSPC;
        return 0;
    }
}

void TReplacingFile::StartWriteBack(int64_t written) {
#ifdef __linux__
    // The disk starts on each MiB as it is written, so that Commit's flush finds little left
    // to wait for; the flush itself still makes the file safe.
    constexpr int64_t kStep = int64_t(1) << 20;
    FUnstarted += written;
    if (FTemp.empty() || FUnstarted < kStep) return;
    const off_t end = ::lseek(FFd, 0, SEEK_CUR);
    if (end >= FUnstarted)
        ::sync_file_range(FFd, end - FUnstarted, FUnstarted, SYNC_FILE_RANGE_WRITE);
    FUnstarted = 0;
#else
    (void)written;
#endif
}

int64_t TReplacingFile::Seek(int64_t offset, TSeekOrigin origin) {
    FUnstarted = 0;
    const int whence = origin == soBeginning ? SEEK_SET : origin == soCurrent ? SEEK_CUR : SEEK_END;
    const off_t r = ::lseek(FFd, off_t(offset), whence);
    if (r < 0) throw EStreamError("Stream seek error");
    return int64_t(r);
}

void TReplacingFile::Commit() {
    int code = FError;
    if (!code && FFd < 0) code = EBADF;
    // A device may not sync (EINVAL); that is no failure of the write.
    if (!code && ::fsync(FFd) != 0 && errno != EINVAL && errno != EROFS) code = errno;
    if (FFd >= 0 && ::close(FFd) != 0 && !code) code = errno;
    FFd = -1;
    if (!code && !FTemp.empty() && ::rename(FTemp.c_str(), FTarget.c_str()) != 0) code = errno;
    if (code) {
        Discard();
        Fail(code);
    }
    FTemp.clear();
}

void ReplaceFile(const std::string& path, std::string_view bytes, const std::string& failText) {
    TReplacingFile file(path, failText);
    const char* p = bytes.data();
    size_t left = bytes.size();
    while (left > 0) {
        const int64_t n = file.Write(p, int64_t(left));
        if (n <= 0) break;
        p += n;
        left -= size_t(n);
    }
    file.Commit();
}

} // namespace quillet
