// The stored definition value: a versioned, KH-compressed table stream, its writer and reader.
#pragma once

#include "highlight/CodeMemoParser.h"
#include "highlight/DefinitionError.h"
#include "platform/Dialogs.h"
#include "platform/Stream.h"

#include <cstdint>
#include <functional>
#include <string>
#include <string_view>
#include <vector>

namespace quillet {

// A stored definition the reader cannot take (a version too old).
class ECodeMemoParserError : public EDefinitionError {
public:
    using EDefinitionError::EDefinitionError;
};

constexpr uint16_t DefStreamVersion = 51;
// The oldest version still read; item 27 (the gutter font) came with 51.
constexpr uint16_t DefStreamOldestVersion = 50;

// Little-endian fields appended to a byte buffer.
class TDefWriter {
public:
    void U8(uint8_t v) { FData.push_back(v); }
    void U16(uint16_t v);
    void U32(uint32_t v);
    void I32(int32_t v) { U32(uint32_t(v)); }
    void LString(std::string_view s);
    // Raises when s is longer than 255 bytes.
    void SString(std::string_view s);
    void Set(const TByteSet& s);
    const std::vector<uint8_t>& Bytes() const { return FData; }
    std::vector<uint8_t>& Bytes() { return FData; }

private:
    std::vector<uint8_t> FData;
};

// Little-endian fields read from a block of bytes; reading past its end raises
// EStreamError("Stream read error"), so counts and lengths are never trusted.
class TDefReader {
public:
    TDefReader(const uint8_t* data, size_t size) : FData(data), FSize(size) {}
    uint8_t U8();
    uint16_t U16();
    uint32_t U32();
    int32_t I32() { return int32_t(U32()); }
    // A u32 that must be 0..255 (token, style and state numbers stored wide).
    uint8_t Byte32();
    std::string LString();
    std::string SString();
    TByteSet Set();
    size_t Remaining() const { return FSize - FPos; }
    size_t Position() const { return FPos; }

private:
    const uint8_t* Take(size_t n);
    const uint8_t* FData;
    size_t FSize;
    size_t FPos = 0;
};

// Items 24-26 of the settings block in their stored shape. The key-table and
// auto-replace units map these to and from their own objects.
struct TStoredTemplate {
    std::string Name;
    std::string Description;
    std::string Text;
    friend bool operator==(const TStoredTemplate&, const TStoredTemplate&) = default;
};

struct TStoredTemplateBlock {
    std::vector<TStoredTemplate> Entries;
    std::string HotKey; // a shortcut as text, e.g. "Ctrl+J"
    uint32_t Flags = 0; // written as its low 7 bits, read whole
    friend bool operator==(const TStoredTemplateBlock&, const TStoredTemplateBlock&) = default;
};

struct TStoredBinding {
    uint16_t First = 0;
    uint16_t Second = 0; // 0 when the binding has one key
    uint32_t Command = 0;
    friend bool operator==(const TStoredBinding&, const TStoredBinding&) = default;
};

struct TStoredKeyTable {
    std::vector<std::pair<uint32_t, std::string>> Commands; // number and name
    std::vector<TStoredBinding> Bindings;
    friend bool operator==(const TStoredKeyTable&, const TStoredKeyTable&) = default;
};

struct TStoredEditing {
    TStoredTemplateBlock AutoReplace;
    std::string ActionKeys; // the characters that trigger an auto-replace
    TStoredTemplateBlock Templates;
    TStoredKeyTable Keys;
    friend bool operator==(const TStoredEditing&, const TStoredEditing&) = default;
};

// How a load that meets a stored value it cannot take reports it.
struct TDefLoadContext {
    std::string ComponentName = "CodeMemoParser";
    // While the window description is read a version error raises ECodeMemoParserError.
    bool ReadingDescription = false;
    // Otherwise OnParserVersionError is called, or this shows the message (null: Platform()).
    IDialogs* Dialogs = nullptr;
};

class TDefinitionStream {
public:
    // Version, table length, the table stream compressed with KH.
    static void Save(const TCodeMemoParser& def, TStream& out,
                     const std::string& componentName = "CodeMemoParser");
    static std::vector<uint8_t> SaveToBytes(const TCodeMemoParser& def,
                                            const std::string& componentName = "CodeMemoParser");
    // Clears def and reads the value from the stream's position. Returns false when the
    // version was too old and was reported without raising; def is then empty. Any other
    // failure raises and leaves def empty.
    static bool Load(TCodeMemoParser& def, TStream& in, const TDefLoadContext& context = {});
    static bool LoadFromBytes(TCodeMemoParser& def, const uint8_t* data, size_t size,
                              const TDefLoadContext& context = {});
    // Copies through a memory stream, as a stored value would travel; users are notified.
    static void Assign(TCodeMemoParser& target, const TCustomCodeMemoParser& source,
                       const std::string& componentName = "CodeMemoParser");

    // The uncompressed table stream, sections A to I.
    static std::vector<uint8_t> WriteTables(const TCodeMemoParser& def,
                                            uint16_t version = DefStreamVersion);
    // Reads every table into def (which must be clear) and checks nothing is left over.
    static void ReadTables(TCodeMemoParser& def, const uint8_t* data, size_t size,
                           uint16_t version);

    static void WriteEditing(TDefWriter& w, const TStoredEditing& e);
    static TStoredEditing ReadEditing(TDefReader& r);
    // Item 26 alone (the registry keeps it as its own value).
    static void WriteKeys(TDefWriter& w, const TStoredKeyTable& keys);
    static TStoredKeyTable ReadKeys(TDefReader& r);

    // Items 24-26 of the settings: the auto-replace list, the templates and the key table, in
    // the stored shape, taken from and given to the settings' own tables.
    static TStoredEditing EditingOf(const TCM_Settings& s);
    static void SetEditing(TCM_Settings& s, TStoredEditing&& e);
    // Replace EditingOf / SetEditing when set (tests).
    static std::function<TStoredEditing(const TCM_Settings&)> CollectEditing;
    static std::function<void(TCM_Settings&, TStoredEditing&&)> ApplyEditing;

    // A group's members as one character class the script parser reads back ("" = any).
    static std::string EndSpecOf(const TCM_CharGroup& group);
};

} // namespace quillet
