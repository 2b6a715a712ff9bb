// Fuzzes the decompressor on arbitrary bytes (both containers) and checks compress/decompress.
#include "highlight/Compressor.h"

#include <cstddef>
#include <cstdint>
#include <cstring>
#include <vector>

namespace {

bool Run(quillet::TCompressor& c, const uint8_t* data, size_t size, quillet::TMemoryStream& out) {
    quillet::TReadOnlyMemoryStream in(data, int64_t(size));
    c.SetInputStream(&in);
    c.SetOutputStream(&out);
    try {
        c.Decompress();
        return true;
    } catch (const quillet::ECompressorException&) {
        return false;
    }
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    using namespace quillet;
    // The bytes as they are, then behind each magic so both decoders see them.
    TCompressor c;
    TMemoryStream out;
    Run(c, data, size, out);
    for (const char* magic : {"WRZL", "!HZL"}) {
        std::vector<uint8_t> framed(magic, magic + 4);
        framed.insert(framed.end(), data, data + size);
        TMemoryStream o;
        if (Run(c, framed.data(), framed.size(), o)) {
            const uint32_t declared =
                framed.size() >= 8 ? uint32_t(framed[4]) | uint32_t(framed[5]) << 8 |
                                         uint32_t(framed[6]) << 16 | uint32_t(framed[7]) << 24
                                   : 0;
            if (o.Size() != int64_t(declared)) __builtin_trap();
        }
    }
    // Round trips must give the input back.
    for (TCompressMethod m : {cmKH, cmLZH}) {
        TReadOnlyMemoryStream in(data, int64_t(size));
        TMemoryStream packed;
        TCompressor p;
        p.SetMethod(m);
        p.SetInputStream(&in);
        p.SetOutputStream(&packed);
        p.Compress();
        TMemoryStream back;
        if (!Run(c, packed.Bytes().data(), packed.Bytes().size(), back)) __builtin_trap();
        if (back.Bytes().size() != size ||
            (size && std::memcmp(back.Bytes().data(), data, size) != 0))
            __builtin_trap();
    }
    return 0;
}
