// Fuzzes the stored-definition reader: whole values, and raw table streams behind a valid envelope.
#include "highlight/DefStream.h"
#include "highlight/Compressor.h"
#include "highlight/DefStreamDump.h"

#include <cstddef>
#include <cstdint>
#include <vector>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    using namespace quillet;
    TCodeMemoParser def;
    TDefLoadContext context;
    context.ReadingDescription = true;
    try {
        // What loads is printed as `dump` prints it.
        if (TDefinitionStream::LoadFromBytes(def, data, size, context)) (void)DumpDefinition(def);
    } catch (const EQuilletError&) {
    }
    // The same bytes as a table stream, so the reader sees them past the compressor.
    TDefWriter head;
    head.U16(DefStreamVersion);
    head.U32(uint32_t(size));
    TMemoryStream value;
    value.WriteBuffer(head.Bytes().data(), int64_t(head.Bytes().size()));
    TReadOnlyMemoryStream in(data, int64_t(size));
    TCompressor c;
    c.SetInputStream(&in);
    c.SetOutputStream(&value);
    c.Compress();
    try {
        if (TDefinitionStream::LoadFromBytes(def, value.Bytes().data(), value.Bytes().size(),
                                             context)) {
            // Whatever loads must save and load again to the same bytes.
            const auto once = TDefinitionStream::SaveToBytes(def);
            TCodeMemoParser again;
            TDefinitionStream::LoadFromBytes(again, once.data(), once.size(), context);
            if (TDefinitionStream::SaveToBytes(again) != once) __builtin_trap();
        }
    } catch (const EQuilletError&) {
    }
    return 0;
}
