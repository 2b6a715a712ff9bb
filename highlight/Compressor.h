// TCompressor: the KH and LZH stream compressor and its container format.
#pragma once

#include "platform/Errors.h"
#include "platform/Stream.h"

#include <cstdint>
#include <functional>
#include <string>

namespace quillet {

class ECompressorException : public EQuilletError {
public:
    using EQuilletError::EQuilletError;
};

// The KH coder's hash table could not be had.
class ECompressorKHCompressor : public ECompressorException {
public:
    using ECompressorException::ECompressorException;
};

enum TCompressMethod : int { cmLZH = 0, cmKH = 1, cmAdvise = 2 };

// The working memory a call asks for; see TCompressor::AllocationHook.
enum TCompressorAlloc : int { caIOBuffers, caHashTable, caLZHTables };

// Compresses or decompresses either InputStream into OutputStream (stream
// mode) or InputFile into OutputFile. Stream mode works from the input's
// current position; compression takes everything up to its end.
// Container: "WRZL" (KH) or "!HZL" (LZH), the u32 uncompressed length, the body.
class TCompressor {
public:
    const std::string& InputFile() const { return FInputFile; }
    void SetInputFile(const std::string& v) { FInputFile = v; }
    const std::string& OutputFile() const { return FOutputFile; }
    void SetOutputFile(const std::string& v) { FOutputFile = v; }
    bool StreamMode() const { return FStreamMode; }
    void SetStreamMode(bool v) { FStreamMode = v; }
    TCompressMethod Method() const { return FMethod; }
    void SetMethod(TCompressMethod v) { FMethod = v; }
    TStream* InputStream() const { return FInputStream; }
    void SetInputStream(TStream* v) { FInputStream = v; }
    TStream* OutputStream() const { return FOutputStream; }
    void SetOutputStream(TStream* v) { FOutputStream = v; }
    // Advise picks KH when it brings the samples below this share (percent).
    int AdviseThreshold() const { return FAdviseThreshold; }
    void SetAdviseThreshold(int v) { FAdviseThreshold = v; }

    // Returns the number of bytes written (header included).
    int64_t Compress();
    // Returns the number of bytes produced.
    int64_t Decompress();
    // Samples the input and returns the method to use; an input too small to
    // sample gets LZH, which also becomes the Method.
    TCompressMethod Advise();

    // Consulted before each working allocation; returning false makes it fail
    // as an exhausted heap would. For tests; empty in normal use.
    static std::function<bool(TCompressorAlloc)> AllocationHook;

private:
    std::string FInputFile;
    std::string FOutputFile;
    bool FStreamMode = true;
    TCompressMethod FMethod = cmKH;
    TStream* FInputStream = nullptr;
    TStream* FOutputStream = nullptr;
    int FAdviseThreshold = 40;
};

} // namespace quillet
