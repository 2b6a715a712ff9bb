// Byte streams: the base every reader and writer of the core works through.
#pragma once

#include "platform/Errors.h"

#include <cstdint>
#include <cstdio>
#include <string>
#include <vector>

namespace quillet {

enum TSeekOrigin : uint8_t { soBeginning, soCurrent, soEnd };

class EStreamError : public EFileError {
public:
    using EFileError::EFileError;
};

class TStream {
public:
    virtual ~TStream() = default;
    // Reads up to count bytes; returns how many were read (0 at the end).
    virtual int64_t Read(void* buffer, int64_t count) = 0;
    // Writes count bytes; returns how many were written.
    virtual int64_t Write(const void* buffer, int64_t count) = 0;
    // Moves the position; returns the new position.
    virtual int64_t Seek(int64_t offset, TSeekOrigin origin) = 0;

    int64_t Position() { return Seek(0, soCurrent); }
    void SetPosition(int64_t p) { Seek(p, soBeginning); }
    virtual int64_t Size();

    // Exactly count bytes or EStreamError ("Stream read error" / "Stream write error").
    void ReadBuffer(void* buffer, int64_t count);
    void WriteBuffer(const void* buffer, int64_t count);
    // Copies count bytes (all that is left when count is 0) from source.
    int64_t CopyFrom(TStream& source, int64_t count);
};

// A growable stream in memory.
class TMemoryStream : public TStream {
public:
    TMemoryStream() = default;
    explicit TMemoryStream(std::vector<uint8_t> bytes) : FData(std::move(bytes)) {}
    int64_t Read(void* buffer, int64_t count) override;
    int64_t Write(const void* buffer, int64_t count) override;
    int64_t Seek(int64_t offset, TSeekOrigin origin) override;
    int64_t Size() override { return int64_t(FData.size()); }
    void SetSize(int64_t size);
    void Clear();
    const std::vector<uint8_t>& Bytes() const { return FData; }
    std::vector<uint8_t>& Bytes() { return FData; }
    std::string AsString() const { return std::string(FData.begin(), FData.end()); }

private:
    std::vector<uint8_t> FData;
    int64_t FPos = 0;
};

// A stream over an existing block of bytes, read-only, not copied.
class TReadOnlyMemoryStream : public TStream {
public:
    TReadOnlyMemoryStream(const void* data, int64_t size)
        : FData(static_cast<const uint8_t*>(data)), FSize(size) {}
    int64_t Read(void* buffer, int64_t count) override;
    int64_t Write(const void* buffer, int64_t count) override;
    int64_t Seek(int64_t offset, TSeekOrigin origin) override;
    int64_t Size() override { return FSize; }

private:
    const uint8_t* FData;
    int64_t FSize;
    int64_t FPos = 0;
};

enum TFileMode : uint8_t { fmOpenRead, fmCreate, fmOpenReadWrite };

// A file. Opening failures raise EFileError with the caller's message
// (the text differs between loading, saving and the compressor).
class TFileStream : public TStream {
public:
    TFileStream(const std::string& path, TFileMode mode);
    ~TFileStream() override;
    TFileStream(const TFileStream&) = delete;
    TFileStream& operator=(const TFileStream&) = delete;
    int64_t Read(void* buffer, int64_t count) override;
    int64_t Write(const void* buffer, int64_t count) override;
    int64_t Seek(int64_t offset, TSeekOrigin origin) override;
    // Flushes to the device (fsync); false when that failed.
    bool Flush();
    const std::string& Path() const { return FPath; }

private:
    std::string FPath;
    int FFd = -1;
};

} // namespace quillet
