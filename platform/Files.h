// Files replaced whole: new bytes go to a temporary file beside the real file and are renamed
// over it only when complete, keeping the old file's mode, owner, extended attributes and
// access lists, and the symbolic and hard links that lead to it.
#pragma once

#include "platform/Stream.h"

#include <string>
#include <string_view>

namespace quillet {

// text, then ": " and the system's wording of code ("Permission denied"); text alone for 0.
std::string WithCause(const std::string& text, int code);

// The file a path finally names, symbolic links followed; a dangling link gives the path it
// points to, where a new file would be made. Raises EFileError(text: cause) on a link loop.
std::string ResolveLinks(const std::string& path, const std::string& failText);

// True when both paths name one existing file, links followed.
bool SameFile(const std::string& a, const std::string& b);

// What tells one state of a file from another, links followed: the file (device and inode), its
// size and the time of its last change. Two stamps differ once anything wrote or replaced it.
struct TFileStamp {
    bool Exists = false;
    unsigned long long Device = 0, Inode = 0, Size = 0;
    long long Seconds = 0, Nanoseconds = 0;
    friend bool operator==(const TFileStamp&, const TFileStamp&) = default;
};
TFileStamp FileStamp(const std::string& path);

// A file that replaces `path` on Commit. A regular file is written beside its real target and
// renamed over it; a device, pipe or socket is written in place, and so, once complete and with
// a backup of the old bytes beside it, is a file with several hard links. A file its owner may not
// write is refused before anything is made. Every failure raises EFileError(failText: cause) with
// the system's error number. Destroyed without Commit it leaves no trace and the old file as it
// was.
class TReplacingFile : public TStream {
public:
    // Not durable: Commit puts the file in place without waiting for the disk (for output that
    // can be made again, where the wait would cost more than the writing).
    TReplacingFile(const std::string& path, std::string failText, bool durable = true);
    ~TReplacingFile() override;
    TReplacingFile(const TReplacingFile&) = delete;
    TReplacingFile& operator=(const TReplacingFile&) = delete;

    int64_t Read(void* buffer, int64_t count) override;
    // Returns 0 on failure and keeps the cause for Commit and LastError.
    int64_t Write(const void* buffer, int64_t count) override;
    int64_t Seek(int64_t offset, TSeekOrigin origin) override;

    // Flushes, then puts the new file in place.
    void Commit();
    int LastError() const { return FError; }
    int Handle() const { return FFd; }
    // The file that is replaced, links followed.
    const std::string& Target() const { return FTarget; }

private:
    [[noreturn]] void Fail(int code) const;
    void Discard();
    int WriteIntoSharedFile();
    void StartWriteBack(int64_t written);
    bool SwapIntoPlace();

    std::string FTarget;
    std::string FTemp;    // empty when writing in place
    bool FShared = false; // the target has other hard links: its inode takes the bytes
    std::string FFailText;
    int FFd = -1;
    int FError = 0;
    int64_t FUnstarted = 0; // bytes written since the disk was last told to start on them
    bool FDurable = true;
};

// Replaces path's contents with bytes through a TReplacingFile.
void ReplaceFile(const std::string& path, std::string_view bytes, const std::string& failText);

} // namespace quillet
