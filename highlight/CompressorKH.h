// The KH block coder: one chunk of up to 32,768 bytes to one block and back.
#pragma once

#include <cstddef>
#include <cstdint>

namespace quillet::kh {

constexpr size_t ChunkSize = 32768;
constexpr size_t HashSize = 4096;
// A decoded block may be written up to this many bytes past its end (wide copies).
constexpr size_t OutputSlack = 16;
// The longest valid block: a stored chunk with its flag byte.
constexpr size_t MaxBlock = ChunkSize + 1;
// Room EncodeChunk needs in its output before it gives up and stores the chunk.
constexpr size_t EncodeRoom = ChunkSize + 16;

constexpr uint8_t FlagStored = 0x80;
constexpr uint8_t FlagCompressed = 0x40;

// Encodes src[0..n) (n <= ChunkSize) into block; returns the block length
// (flag byte included). A chunk that does not shrink is written stored.
// hash must hold HashSize entries; it is cleared here.
size_t EncodeChunk(const uint8_t* src, size_t n, uint8_t* block, uint16_t* hash);

// Decodes one block into out (ChunkSize + OutputSlack bytes); returns the
// number of bytes produced, or -1 when the block is malformed.
long DecodeBlock(const uint8_t* block, size_t len, uint8_t* out);

} // namespace quillet::kh
