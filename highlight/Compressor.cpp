#include "highlight/Compressor.h"

#include "highlight/CompressorKH.h"
#include "highlight/CompressorLZH.h"
#include "platform/Files.h"
#include "resources/Strings.h"

#include <algorithm>
#include <cstdio>
#include <cstring>
#include <memory>
#include <new>
#include <vector>

namespace quillet {

std::function<bool(TCompressorAlloc)> TCompressor::AllocationHook;

namespace {

// 32 KB plus room for a block's flag byte and the decoder's wide copies.
constexpr size_t IoBufferSize = 32784;
constexpr int64_t AdviseMinSize = 98304;
constexpr int64_t MaxLength = 0xFFFFFFFFll;
constexpr uint8_t MagicKH[4] = {'W', 'R', 'Z', 'L'};
constexpr uint8_t MagicLZH[4] = {'!', 'H', 'Z', 'L'};

static_assert(kh::MaxBlock <= IoBufferSize && kh::EncodeRoom <= IoBufferSize &&
              kh::ChunkSize + kh::OutputSlack <= IoBufferSize);

[[noreturn]] void Raise(int id, const std::string& tail = {}) {
    throw ECompressorException(LoadStr(id) + tail);
}

bool Allowed(TCompressorAlloc kind) {
    return !TCompressor::AllocationHook || TCompressor::AllocationHook(kind);
}

template <typename T> bool TryAllocate(std::vector<T>& v, size_t n, TCompressorAlloc kind) {
    if (!Allowed(kind)) return false;
    try {
        v.resize(n);
    } catch (const std::bad_alloc&) {
        return false;
    }
    return true;
}

std::vector<uint16_t> AllocateHash() {
    std::vector<uint16_t> hash;
    if (!TryAllocate(hash, kh::HashSize, caHashTable))
        throw ECompressorKHCompressor(LoadStr(SCompKHNoHash));
    return hash;
}

// Bytes read until n or the end; -1 when the stream failed.
int64_t ReadUpTo(TStream& s, uint8_t* buf, size_t n) {
    size_t got = 0;
    try {
        while (got < n) {
            int64_t r = s.Read(buf + got, int64_t(n - got));
            if (r <= 0) break;
            got += size_t(r);
        }
    } catch (const std::exception&) {
        return -1;
    }
    return int64_t(got);
}

int64_t QuerySize(TStream& s) {
    try {
        return s.Size();
    } catch (const std::exception&) {
        return -1;
    }
}

int64_t QueryPosition(TStream& s) {
    try {
        return s.Position();
    } catch (const std::exception&) {
        return -1;
    }
}

bool SeekTo(TStream& s, int64_t pos) {
    try {
        return s.Seek(pos, soBeginning) == pos;
    } catch (const std::exception&) {
        return false;
    }
}

std::unique_ptr<TFileStream> OpenFile(const std::string& path, TFileMode mode, int failId) {
    try {
        return std::make_unique<TFileStream>(path, mode);
    } catch (const EFileError& e) {
        Raise(failId, WithCause(path, e.Code()));
    }
}

// One call's streams, buffers and the way its failures are worded.
struct TJob {
    TStream* In = nullptr;
    TStream* Out = nullptr;
    bool File = false;
    TReplacingFile* OutFile = nullptr;
    std::string InPath;
    std::string OutPath;
    std::vector<uint8_t> InBuf;
    std::vector<uint8_t> OutBuf;
    int64_t Written = 0;

    void AllocateBuffers() {
        if (!TryAllocate(InBuf, IoBufferSize, caIOBuffers) ||
            !TryAllocate(OutBuf, IoBufferSize, caIOBuffers))
            Raise(SCompNoBuffers);
    }
    [[noreturn]] void ReadError(int suffixId = 0) const {
        const std::string suffix = suffixId ? LoadStr(suffixId) : std::string();
        if (File) Raise(SCompReadFile, InPath + suffix);
        Raise(SCompReadStream, suffix);
    }
    [[noreturn]] void WriteError() const {
        if (File) Raise(SCompWriteFile, WithCause(OutPath, OutFile ? OutFile->LastError() : 0));
        Raise(SCompWriteStream);
    }
    void ReadExact(uint8_t* buf, size_t n, int suffixId = 0) {
        if (ReadUpTo(*In, buf, n) != int64_t(n)) ReadError(suffixId);
    }
    void Put(const void* data, size_t n) {
        const auto* p = static_cast<const uint8_t*>(data);
        size_t done = 0;
        try {
            while (done < n) {
                int64_t w = Out->Write(p + done, int64_t(n - done));
                if (w <= 0) break;
                done += size_t(w);
            }
        } catch (const std::exception&) {
            WriteError();
        }
        if (done != n) WriteError();
        Written += int64_t(n);
    }
};

class TJobSource : public lzh::TByteSource {
public:
    TJobSource(TJob& job, int suffixId, bool exact) : FJob(job), FSuffix(suffixId), FExact(exact) {}
    size_t Fill(uint8_t* buf, size_t capacity) override {
        int64_t n = ReadUpTo(*FJob.In, buf, capacity);
        if (n < 0 || (FExact && size_t(n) != capacity)) FJob.ReadError(FSuffix);
        return size_t(n);
    }

private:
    TJob& FJob;
    int FSuffix;
    bool FExact;
};

class TJobSink : public lzh::TByteSink {
public:
    explicit TJobSink(TJob& job) : FJob(job) {}
    void Put(const uint8_t* buf, size_t count) override { FJob.Put(buf, count); }

private:
    TJob& FJob;
};

std::unique_ptr<lzh::TLZHCoder> AllocateLZH() {
    if (!Allowed(caLZHTables)) Raise(SCompLZHNoTables);
    try {
        return std::make_unique<lzh::TLZHCoder>();
    } catch (const std::bad_alloc&) {
        Raise(SCompLZHNoTables);
    }
}

void CompressKH(TJob& job, uint64_t length) {
    std::vector<uint16_t> hash = AllocateHash();
    uint64_t left = length;
    for (;;) {
        const size_t n = size_t(std::min<uint64_t>(left, kh::ChunkSize));
        job.ReadExact(job.InBuf.data(), n, SCompKHSuffix);
        const size_t blockLen =
            kh::EncodeChunk(job.InBuf.data(), n, job.OutBuf.data(), hash.data());
        const uint8_t lenBytes[2] = {uint8_t(blockLen), uint8_t(blockLen >> 8)};
        job.Put(lenBytes, 2);
        job.Put(job.OutBuf.data(), blockLen);
        left -= n;
        if (n < kh::ChunkSize) break;
    }
}

void DecompressKH(TJob& job, uint64_t length) {
    uint64_t total = 0;
    for (;;) {
        uint8_t lenBytes[2];
        job.ReadExact(lenBytes, 2);
        const size_t blockLen = size_t(lenBytes[0]) | (size_t(lenBytes[1]) << 8);
        // A length no encoder writes is corrupt; refuse it before reading on.
        if (blockLen == 0 || blockLen > kh::MaxBlock) Raise(SCompKHMismatch);
        job.ReadExact(job.InBuf.data(), blockLen);
        const long n = kh::DecodeBlock(job.InBuf.data(), blockLen, job.OutBuf.data());
        if (n < 0 || uint64_t(n) > length - total) Raise(SCompKHMismatch);
        job.Put(job.OutBuf.data(), size_t(n));
        total += uint64_t(n);
        if (size_t(n) < kh::ChunkSize) break;
    }
    if (total != length) Raise(SCompKHMismatch);
}

void CompressLZH(TJob& job, uint64_t length) {
    auto coder = AllocateLZH();
    TJobSource source(job, 0, true);
    TJobSink sink(job);
    coder->Encode(source, length, sink);
}

void DecompressLZH(TJob& job, uint64_t length) {
    auto coder = AllocateLZH();
    TJobSource source(job, SCompLZHSuffix, false);
    TJobSink sink(job);
    size_t unused = 0;
    const lzh::TDecodeResult r = coder->Decode(source, length, sink, unused);
    if (r == lzh::drTruncated) job.ReadError(SCompLZHSuffix);
    if (r == lzh::drOverrun) Raise(SCompLZHMismatch);
    // Leave the input just after the bit stream, for streams that carry more.
    if (unused) {
        try {
            job.In->Seek(-int64_t(unused), soCurrent);
        } catch (const std::exception&) {
        }
    }
}

// Runs body with a new output file that replaces the old one only when complete: a failure
// leaves an existing output as it was. An output that is the input is refused before it is made.
template <typename Body> int64_t WithOutputFile(TJob& job, Body body) {
    if (SameFile(job.InPath, job.OutPath)) Raise(SCompSameFile, job.OutPath);
    std::unique_ptr<TReplacingFile> out;
    try {
        out = std::make_unique<TReplacingFile>(job.OutPath, LoadStr(SCompOpenOutput) + job.OutPath);
    } catch (const EFileError& e) {
        throw ECompressorException(e.what());
    }
    job.Out = out.get();
    job.OutFile = out.get();
    const int64_t r = body();
    try {
        out->Commit();
    } catch (const EFileError& e) {
        Raise(SCompWriteFile, WithCause(job.OutPath, e.Code()));
    }
    return r;
}

} // namespace

// Samples two chunks of the input and KH-encodes them; see Advise().
static TCompressMethod AdviseOn(TStream& in, int64_t base, int64_t length, const std::string* path,
                                int threshold, TCompressMethod& method) {
    if (length < AdviseMinSize) {
        method = cmLZH;
        return cmLZH;
    }
    std::vector<uint8_t> sample, block;
    if (!TryAllocate(sample, IoBufferSize, caIOBuffers) ||
        !TryAllocate(block, IoBufferSize, caIOBuffers))
        Raise(SAdvNoBuffers);
    std::vector<uint16_t> hash = AllocateHash();
    uint64_t encoded = 0;
    for (int k = 1; k <= 2; ++k) {
        const int64_t offset = (k * length / 3) / int64_t(kh::ChunkSize) * int64_t(kh::ChunkSize);
        if (!SeekTo(in, base + offset)) Raise(SAdvInitInput);
        if (ReadUpTo(in, sample.data(), kh::ChunkSize) != int64_t(kh::ChunkSize)) {
            if (path) Raise(SAdvReadFile, *path);
            Raise(SAdvReadStream);
        }
        encoded += kh::EncodeChunk(sample.data(), kh::ChunkSize, block.data(), hash.data());
    }
    if (!SeekTo(in, base)) Raise(SAdvInitInput);
    return encoded * 100 < uint64_t(std::max(threshold, 0)) * 2 * kh::ChunkSize ? cmKH : cmLZH;
}

static int64_t CompressBody(TJob& job, uint64_t length, int64_t base, TCompressMethod& method,
                            int threshold) {
    TCompressMethod use = method;
    if (use == cmAdvise)
        use = AdviseOn(*job.In, base, int64_t(length), job.File ? &job.InPath : nullptr, threshold,
                       method);
    job.Put(use == cmLZH ? MagicLZH : MagicKH, 4);
    const uint8_t lenBytes[4] = {uint8_t(length), uint8_t(length >> 8), uint8_t(length >> 16),
                                 uint8_t(length >> 24)};
    job.Put(lenBytes, 4);
    if (use == cmLZH)
        CompressLZH(job, length);
    else
        CompressKH(job, length);
    return job.Written;
}

static int64_t DecompressBody(TJob& job) {
    uint8_t header[4];
    job.ReadExact(header, 4);
    const bool isKH = std::memcmp(header, MagicKH, 4) == 0;
    if (!isKH && std::memcmp(header, MagicLZH, 4) != 0) {
        if (job.File) throw ECompressorException(job.InPath + LoadStr(SCompNoHeaderFile));
        Raise(SCompNoHeaderStream);
    }
    job.ReadExact(header, 4);
    const uint64_t length = uint64_t(header[0]) | (uint64_t(header[1]) << 8) |
                            (uint64_t(header[2]) << 16) | (uint64_t(header[3]) << 24);
    if (isKH)
        DecompressKH(job, length);
    else
        DecompressLZH(job, length);
    return job.Written;
}

int64_t TCompressor::Compress() {
    TJob job;
    job.AllocateBuffers();
    if (FStreamMode) {
        if (!FInputStream) Raise(SCompInitInput);
        if (!FOutputStream) Raise(SCompInitOutput);
        const int64_t size = QuerySize(*FInputStream);
        if (size < 0) Raise(SCompStreamSize);
        const int64_t pos = QueryPosition(*FInputStream);
        if (pos < 0) Raise(SCompInitInput);
        if (QueryPosition(*FOutputStream) < 0) Raise(SCompInitOutput);
        // The container's length field has 32 bits.
        if (size < pos || size - pos > MaxLength) Raise(SCompStreamSize);
        job.In = FInputStream;
        job.Out = FOutputStream;
        return CompressBody(job, uint64_t(size - pos), pos, FMethod, FAdviseThreshold);
    }
    auto in = OpenFile(FInputFile, fmOpenRead, SCompOpenInput);
    const int64_t size = QuerySize(*in);
    if (size < 0 || size > MaxLength) Raise(SCompFileSize, FInputFile);
    job.File = true;
    job.In = in.get();
    job.InPath = FInputFile;
    job.OutPath = FOutputFile;
    return WithOutputFile(
        job, [&] { return CompressBody(job, uint64_t(size), 0, FMethod, FAdviseThreshold); });
}

int64_t TCompressor::Decompress() {
    TJob job;
    job.AllocateBuffers();
    if (FStreamMode) {
        if (!FInputStream || QueryPosition(*FInputStream) < 0) Raise(SCompInitInput);
        if (!FOutputStream || QueryPosition(*FOutputStream) < 0) Raise(SCompInitOutput);
        job.In = FInputStream;
        job.Out = FOutputStream;
        return DecompressBody(job);
    }
    auto in = OpenFile(FInputFile, fmOpenRead, SCompOpenInput);
    job.File = true;
    job.In = in.get();
    job.InPath = FInputFile;
    job.OutPath = FOutputFile;
    return WithOutputFile(job, [&] { return DecompressBody(job); });
}

TCompressMethod TCompressor::Advise() {
    if (FStreamMode) {
        if (!FInputStream) Raise(SAdvInitInput);
        const int64_t size = QuerySize(*FInputStream);
        if (size < 0) Raise(SAdvStreamSize);
        const int64_t pos = QueryPosition(*FInputStream);
        if (pos < 0 || pos > size) Raise(SAdvInitInput);
        return AdviseOn(*FInputStream, pos, size - pos, nullptr, FAdviseThreshold, FMethod);
    }
    std::unique_ptr<TFileStream> in;
    try {
        in = std::make_unique<TFileStream>(FInputFile, fmOpenRead);
    } catch (const std::exception&) {
        Raise(SAdvOpenInput, FInputFile);
    }
    const int64_t size = QuerySize(*in);
    if (size < 0) Raise(SAdvFileSize, FInputFile);
    return AdviseOn(*in, 0, size, &FInputFile, FAdviseThreshold, FMethod);
}

} // namespace quillet
