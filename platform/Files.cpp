#include "platform/Files.h"

#include <cerrno>
#include <climits>
#include <cstdio>
#include <cstring>
#include <vector>

#include <fcntl.h>
#include <sys/stat.h>
#include <sys/xattr.h>
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

// A hidden name beside path for a file made with mkstemp.
std::string SiblingTemplate(const std::string& path) {
    return FolderOf(path) + "/." + NameOf(path).substr(0, 200) + ".XXXXXX";
}

// Copies the bytes of from over the start of to; size gets their count. Returns 0 or the cause.
int CopyBytes(int from, int to, off_t& size) {
    std::vector<char> buf(size_t(1) << 16);
    size = 0;
    for (;;) {
        const ssize_t got = ::pread(from, buf.data(), buf.size(), size);
        if (got < 0 && errno == EINTR) continue;
        if (got < 0) return errno;
        if (got == 0) return 0;
        for (ssize_t done = 0; done < got;) {
            const ssize_t n = ::pwrite(to, buf.data() + done, size_t(got - done), size + done);
            if (n < 0 && errno == EINTR) continue;
            if (n <= 0) return n < 0 ? errno : ENOSPC;
            done += n;
        }
        size += got;
    }
}

// The names of from's extended attributes, NUL-separated; empty when it has none or they
// cannot be listed.
std::vector<char> AttributeNames(const std::string& from) {
    std::vector<char> names;
    for (int tries = 0; tries < 4; ++tries) { // the list may grow between the two calls
        const ssize_t size = ::listxattr(from.c_str(), nullptr, 0);
        if (size <= 0) break;
        names.resize(size_t(size));
        const ssize_t n = ::listxattr(from.c_str(), names.data(), names.size());
        if (n >= 0) {
            names.resize(size_t(n));
            return names;
        }
        if (errno != ERANGE) break;
    }
    return {};
}

// Gives to the extended attributes of from, access control lists among them. One that the
// file system or the process may not set stays behind: it is no reason to lose the text.
void CopyAttributes(const std::string& from, int to) {
    const std::vector<char> names = AttributeNames(from);
    std::vector<char> value;
    for (size_t i = 0; i < names.size(); i += std::strlen(&names[i]) + 1) {
        const char* name = &names[i];
        for (int tries = 0; tries < 4; ++tries) {
            const ssize_t size = ::getxattr(from.c_str(), name, nullptr, 0);
            if (size < 0) break;
            value.resize(size_t(size));
            const ssize_t n = ::getxattr(from.c_str(), name, value.data(), value.size());
            if (n >= 0) {
                (void)::fsetxattr(to, name, value.data(), size_t(n), 0);
                break;
            }
            if (errno != ERANGE) break;
        }
    }
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

TFileStamp FileStamp(const std::string& path) {
    struct stat st {};
    if (path.empty() || ::stat(path.c_str(), &st) != 0) return {};
    return {true,
            static_cast<unsigned long long>(st.st_dev),
            static_cast<unsigned long long>(st.st_ino),
            static_cast<unsigned long long>(st.st_size),
            static_cast<long long>(st.st_mtim.tv_sec),
            static_cast<long long>(st.st_mtim.tv_nsec)};
}

TReplacingFile::TReplacingFile(const std::string& path, std::string failText, bool durable)
    : FFailText(std::move(failText)), FDurable(durable) {
    FTarget = ResolveLinks(path, FFailText);
    struct stat st {};
    const bool exists = ::stat(FTarget.c_str(), &st) == 0;
    if (exists && S_ISDIR(st.st_mode)) Fail(EISDIR);
    if (exists && !S_ISREG(st.st_mode)) {
        // A device or a pipe cannot be renamed over: it takes the bytes itself. A pipe nobody
        // reads would hold the open for good; without waiting it fails with ENXIO instead.
        FFd = ::open(FTarget.c_str(), O_WRONLY | O_TRUNC | O_CLOEXEC | O_NONBLOCK);
        if (FFd < 0) Fail(errno);
        // The writes wait for the reader as usual.
        ::fcntl(FFd, F_SETFL, ::fcntl(FFd, F_GETFL) & ~O_NONBLOCK);
        return;
    }
    // A file its owner made read-only stays so, even for a process that could write it.
    if (exists &&
        (!(st.st_mode & S_IWUSR) || ::faccessat(AT_FDCWD, FTarget.c_str(), W_OK, AT_EACCESS) != 0))
        Fail(EACCES);
    FTemp = SiblingTemplate(FTarget);
    FFd = ::mkstemp(FTemp.data());
    if (FFd < 0) {
        const int code = errno;
        FTemp.clear();
        Fail(code);
    }
    // A file with other names keeps its inode (see WriteIntoSharedFile); the temporary file
    // only holds the new bytes until they are complete.
    FShared = exists && st.st_nlink > 1;
    if (exists && !FShared) {
        // The owner first: changing it may clear the set-id bits, and so may an access list;
        // the mode set last restores them.
        if (st.st_uid != ::geteuid() || st.st_gid != ::getegid())
            (void)!::fchown(FFd, st.st_uid, st.st_gid);
        CopyAttributes(FTarget, FFd);
        ::fchmod(FFd, st.st_mode & 07777);
    } else if (!exists) {
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
    if (FTemp.empty() || !FDurable || FUnstarted < kStep) return;
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
    if (!code && FDurable && ::fsync(FFd) != 0 && errno != EINVAL && errno != EROFS) code = errno;
    if (!code && FShared) {
        code = WriteIntoSharedFile();
        if (!code) Discard(); // the temporary file has served
    }
    if (FFd >= 0 && ::close(FFd) != 0 && !code) code = errno;
    FFd = -1;
    if (!code && !FTemp.empty() && !SwapIntoPlace() &&
        ::rename(FTemp.c_str(), FTarget.c_str()) != 0)
        code = errno;
    if (code) {
        Discard();
        Fail(code);
    }
    FTemp.clear();
}

bool TReplacingFile::SwapIntoPlace() {
#ifdef RENAME_EXCHANGE
    // A file renamed over another has the file system write it out at once, which is the wait
    // a file that need not be durable means to spare; swapping the two names is as atomic and
    // asks for nothing. The old file then goes under the temporary name.
    if (FDurable ||
        ::renameat2(AT_FDCWD, FTemp.c_str(), AT_FDCWD, FTarget.c_str(), RENAME_EXCHANGE) != 0)
        return false;
    ::unlink(FTemp.c_str());
    return true;
#else
    return false;
#endif
}

// A file reached by several hard links is one inode: renaming a new file over one name would
// leave the others with the old text. So the complete, synced new bytes are copied into the
// target itself. Its old bytes go first to a synced backup beside it; a failed write puts them
// back (after the temporary file is dropped, to free its room) and only then is the backup
// removed. The one unguarded window is a crash or power loss during the in-place write: the
// target may then hold a mix of old and new bytes, and the old text survives in the backup
// (".NAME.XXXXXX" in the same folder), which is left for the user to recover from. A backup
// that could not be written back is likewise kept.
int TReplacingFile::WriteIntoSharedFile() {
    const int target = ::open(FTarget.c_str(), O_RDWR | O_CLOEXEC);
    if (target < 0) return errno;
    std::string backup = SiblingTemplate(FTarget);
    const int keep = ::mkstemp(backup.data());
    if (keep < 0) {
        const int code = errno;
        ::close(target);
        return code;
    }
    off_t oldSize = 0;
    int code = CopyBytes(target, keep, oldSize);
    if (!code && ::fsync(keep) != 0) code = errno;
    if (!code) {
        // The backup's name must outlive a crash as surely as its bytes.
        const int folder = ::open(FolderOf(FTarget).c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
        if (folder >= 0) {
            (void)::fsync(folder);
            ::close(folder);
        }
    }
    bool restored = true;
    if (!code) {
        off_t newSize = 0;
        code = CopyBytes(FFd, target, newSize);
        if (!code && ::ftruncate(target, newSize) != 0) code = errno;
        if (!code && ::fsync(target) != 0) code = errno;
        if (code) {
            Discard();
            off_t size = 0;
            restored = CopyBytes(keep, target, size) == 0 && size == oldSize &&
                       ::ftruncate(target, oldSize) == 0 && ::fsync(target) == 0;
        }
    }
    ::close(keep);
    ::close(target);
    if (restored) ::unlink(backup.c_str());
    return code;
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
