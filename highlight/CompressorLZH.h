// The LZH coder: LZSS over a 4,096-byte ring with adaptive Huffman codes.
#pragma once

#include <cstddef>
#include <cstdint>
#include <memory>

namespace quillet::lzh {

// Where the coder gets its bytes: Fill returns how many it put into buf
// (0 at the end of the input) and raises on a read failure.
class TByteSource {
public:
    virtual ~TByteSource() = default;
    virtual size_t Fill(uint8_t* buf, size_t capacity) = 0;
};

class TByteSink {
public:
    virtual ~TByteSink() = default;
    virtual void Put(const uint8_t* buf, size_t count) = 0;
};

// What the decoder reports so the caller can raise its own message.
enum TDecodeResult { drOk, drTruncated, drOverrun };

struct TTables;

// One call's dictionary and code tables.
class TLZHCoder {
public:
    TLZHCoder();
    ~TLZHCoder();
    TLZHCoder(const TLZHCoder&) = delete;
    TLZHCoder& operator=(const TLZHCoder&) = delete;

    // Encodes exactly length bytes from source (the source must supply them).
    void Encode(TByteSource& source, uint64_t length, TByteSink& sink);
    // Decodes until length bytes are produced. unusedInput receives how many
    // bytes the source delivered past the end of the bit stream.
    TDecodeResult Decode(TByteSource& source, uint64_t length, TByteSink& sink,
                         size_t& unusedInput);

private:
    std::unique_ptr<TTables> FT;
};

} // namespace quillet::lzh
