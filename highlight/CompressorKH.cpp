#include "highlight/CompressorKH.h"

#include <algorithm>
#include <cstring>

namespace quillet::kh {

namespace {

constexpr size_t MaxRun = 4095;
constexpr size_t MinRun = 16;
constexpr size_t MaxCopy = 18;
constexpr size_t MinCopy = 3;
constexpr size_t MaxOffset = 4095;
constexpr uint16_t Empty = 0xFFFF;

inline uint32_t Hash(const uint8_t* p) {
    uint32_t h = ((((uint32_t(p[0]) << 4) ^ p[1]) << 4) ^ p[2]) * 40543u;
    return (h >> 4) & (HashSize - 1);
}

} // namespace

size_t EncodeChunk(const uint8_t* src, size_t n, uint8_t* block, uint16_t* hash) {
    std::memset(hash, 0xFF, HashSize * sizeof(uint16_t));
    block[0] = FlagCompressed;
    size_t ctrlPos = 1;
    size_t o = 3;
    uint32_t ctrl = 0;
    int items = 0;
    size_t i = 0;
    // Each step adds at most 6 bytes, so checking at the top keeps o within EncodeRoom.
    while (i < n && o <= n) {
        const uint8_t c = src[i];
        const size_t runMax = std::min(n - i, MaxRun);
        size_t run = 1;
        while (run < runMax && src[i + run] == c)
            ++run;
        if (run >= MinRun) {
            const size_t len = run - MinRun;
            block[o] = 0;
            block[o + 1] = uint8_t(len >> 8);
            block[o + 2] = uint8_t(len);
            block[o + 3] = c;
            o += 4;
            ctrl = (ctrl << 1) | 1;
            i += run;
        } else {
            size_t len = 0;
            size_t offset = 0;
            if (i + MinCopy <= n) {
                const uint32_t h = Hash(src + i);
                const uint16_t prev = hash[h];
                hash[h] = uint16_t(i);
                if (prev != Empty && i - prev <= MaxOffset) {
                    const uint8_t* a = src + prev;
                    const uint8_t* b = src + i;
                    const size_t maxLen = std::min(n - i, MaxCopy);
                    while (len < maxLen && a[len] == b[len])
                        ++len;
                    offset = i - prev;
                }
            }
            if (len >= MinCopy) {
                block[o] = uint8_t(offset >> 4);
                block[o + 1] = uint8_t(((offset & 0x0F) << 4) | (len - MinCopy));
                o += 2;
                ctrl = (ctrl << 1) | 1;
                i += len;
            } else {
                block[o++] = c;
                ctrl <<= 1;
                ++i;
            }
        }
        if (++items == 16) {
            block[ctrlPos] = uint8_t(ctrl >> 8);
            block[ctrlPos + 1] = uint8_t(ctrl);
            ctrlPos = o;
            o += 2;
            ctrl = 0;
            items = 0;
        }
    }
    if (i < n || o > n) {
        block[0] = FlagStored;
        if (n) std::memcpy(block + 1, src, n);
        return n + 1;
    }
    ctrl <<= (16 - items);
    block[ctrlPos] = uint8_t(ctrl >> 8);
    block[ctrlPos + 1] = uint8_t(ctrl);
    return o;
}

long DecodeBlock(const uint8_t* block, size_t len, uint8_t* out) {
    if (len == 0) return -1;
    if (block[0] == FlagStored) {
        if (len - 1 > ChunkSize) return -1;
        if (len > 1) std::memcpy(out, block + 1, len - 1);
        return long(len - 1);
    }
    if (block[0] != FlagCompressed) return -1;
    size_t i = 1;
    size_t o = 0;
    uint32_t ctrl = 0;
    int bits = 0;
    while (i < len) {
        if (bits == 0) {
            if (len - i < 2) return -1;
            ctrl = (uint32_t(block[i]) << 8) | block[i + 1];
            i += 2;
            bits = 16;
            if (i == len) break; // an unused control word closes a block of whole groups
        }
        if (ctrl & 0x8000) {
            if (len - i < 2) return -1;
            const size_t offset = (size_t(block[i]) << 4) | (block[i + 1] >> 4);
            if (offset != 0) {
                const size_t n = (block[i + 1] & 0x0F) + MinCopy;
                i += 2;
                if (offset > o || n > ChunkSize - o) return -1;
                uint8_t* d = out + o;
                const uint8_t* s = d - offset;
                if (offset >= 8) {
                    // Whole words: the slack after the chunk takes the overshoot.
                    for (size_t k = 0; k < n; k += 8)
                        std::memcpy(d + k, s + k, 8);
                } else {
                    for (size_t k = 0; k < n; ++k)
                        d[k] = s[k];
                }
                o += n;
            } else {
                if (len - i < 4) return -1;
                const size_t n = ((size_t(block[i + 1]) << 8) | block[i + 2]) + MinRun;
                const uint8_t c = block[i + 3];
                i += 4;
                if (n > ChunkSize - o) return -1;
                std::memset(out + o, c, n);
                o += n;
            }
        } else {
            if (o >= ChunkSize) return -1;
            out[o++] = block[i++];
        }
        ctrl <<= 1;
        --bits;
    }
    return long(o);
}

} // namespace quillet::kh
