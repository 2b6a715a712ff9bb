#include "platform/Stream.h"

#include <algorithm>
#include <cerrno>
#include <cstring>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace quillet {

int64_t TStream::Size() {
    int64_t here = Seek(0, soCurrent);
    int64_t end = Seek(0, soEnd);
    Seek(here, soBeginning);
    return end;
}

void TStream::ReadBuffer(void* buffer, int64_t count) {
    auto* p = static_cast<uint8_t*>(buffer);
    while (count > 0) {
        int64_t n = Read(p, count);
        if (n <= 0) throw EStreamError("Stream read error");
        p += n;
        count -= n;
    }
}

void TStream::WriteBuffer(const void* buffer, int64_t count) {
    auto* p = static_cast<const uint8_t*>(buffer);
    while (count > 0) {
        int64_t n = Write(p, count);
        if (n <= 0) throw EStreamError("Stream write error");
        p += n;
        count -= n;
    }
}

int64_t TStream::CopyFrom(TStream& source, int64_t count) {
    bool all = count == 0;
    if (all) count = source.Size() - source.Position();
    uint8_t buf[65536];
    int64_t done = 0;
    while (count > 0) {
        int64_t want = std::min<int64_t>(count, sizeof buf);
        int64_t n = source.Read(buf, want);
        if (n <= 0) {
            if (all) break;
            throw EStreamError("Stream read error");
        }
        WriteBuffer(buf, n);
        done += n;
        count -= n;
    }
    return done;
}

static int64_t SeekTarget(int64_t pos, int64_t size, int64_t offset, TSeekOrigin origin) {
    int64_t base = origin == soBeginning ? 0 : origin == soCurrent ? pos : size;
    return std::max<int64_t>(0, base + offset);
}

int64_t TMemoryStream::Read(void* buffer, int64_t count) {
    if (count <= 0 || FPos >= int64_t(FData.size())) return 0;
    int64_t n = std::min<int64_t>(count, int64_t(FData.size()) - FPos);
    std::memcpy(buffer, FData.data() + FPos, size_t(n));
    FPos += n;
    return n;
}

int64_t TMemoryStream::Write(const void* buffer, int64_t count) {
    if (count <= 0) return 0;
    if (FPos + count > int64_t(FData.size())) FData.resize(size_t(FPos + count));
    std::memcpy(FData.data() + FPos, buffer, size_t(count));
    FPos += count;
    return count;
}

int64_t TMemoryStream::Seek(int64_t offset, TSeekOrigin origin) {
    FPos = SeekTarget(FPos, int64_t(FData.size()), offset, origin);
    return FPos;
}

void TMemoryStream::SetSize(int64_t size) {
    FData.resize(size_t(std::max<int64_t>(0, size)));
    FPos = std::min<int64_t>(FPos, int64_t(FData.size()));
}

void TMemoryStream::Clear() {
    FData.clear();
    FPos = 0;
}

int64_t TReadOnlyMemoryStream::Read(void* buffer, int64_t count) {
    if (count <= 0 || FPos >= FSize) return 0;
    int64_t n = std::min(count, FSize - FPos);
    std::memcpy(buffer, FData + FPos, size_t(n));
    FPos += n;
    return n;
}

int64_t TReadOnlyMemoryStream::Write(const void*, int64_t) {
    throw EStreamError("Cannot write to a read-only stream");
}

int64_t TReadOnlyMemoryStream::Seek(int64_t offset, TSeekOrigin origin) {
    FPos = SeekTarget(FPos, FSize, offset, origin);
    return FPos;
}

TFileStream::TFileStream(const std::string& path, TFileMode mode) : FPath(path) {
    int flags = mode == fmOpenRead ? O_RDONLY
                : mode == fmCreate ? (O_RDWR | O_CREAT | O_TRUNC)
                                   : O_RDWR;
    FFd = ::open(path.c_str(), flags | O_CLOEXEC, 0666);
    if (FFd < 0) {
        const int code = errno;
        throw EFileError(path + ": " + std::strerror(code), code);
    }
    if (mode == fmOpenRead) {
        struct stat st {};
        if (::fstat(FFd, &st) == 0 && S_ISDIR(st.st_mode)) {
            ::close(FFd);
            FFd = -1;
            throw EFileError(path + ": " + std::strerror(EISDIR), EISDIR);
        }
    }
}

TFileStream::~TFileStream() {
    if (FFd >= 0) ::close(FFd);
}

int64_t TFileStream::Read(void* buffer, int64_t count) {
    for (;;) {
        ssize_t n = ::read(FFd, buffer, size_t(count));
        if (n >= 0) return n;
        if (errno != EINTR) throw EStreamError("Stream read error");
    }
}

int64_t TFileStream::Write(const void* buffer, int64_t count) {
    for (;;) {
        ssize_t n = ::write(FFd, buffer, size_t(count));
        if (n >= 0) return n;
        if (errno != EINTR) return 0;
    }
}

int64_t TFileStream::Seek(int64_t offset, TSeekOrigin origin) {
    int whence = origin == soBeginning ? SEEK_SET : origin == soCurrent ? SEEK_CUR : SEEK_END;
    off_t r = ::lseek(FFd, off_t(offset), whence);
    if (r < 0) throw EStreamError("Stream seek error");
    return int64_t(r);
}

bool TFileStream::Flush() {
    return ::fsync(FFd) == 0;
}

} // namespace quillet
