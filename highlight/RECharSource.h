// The character source the regular-expression engine and text search read from.
#pragma once

#include <cstdint>
#include <string_view>

namespace quillet {

// Read-only text seen as runs of contiguous bytes, so scanners can work block by block
// instead of paying a virtual call per byte. Line ends are single CR (13) bytes.
class IRECharSource {
public:
    virtual ~IRECharSource() = default;
    // Total character count.
    virtual int64_t Size() const = 0;
    // The non-empty contiguous run that contains pos (0 <= pos < Size()); runStart gets
    // the offset of its first byte.
    virtual std::string_view RunAt(int64_t pos, int64_t& runStart) const = 0;
};

// A source over one plain block of memory (the text must outlive the source).
class TStringCharSource : public IRECharSource {
public:
    explicit TStringCharSource(std::string_view text) : FText(text) {}
    int64_t Size() const override { return static_cast<int64_t>(FText.size()); }
    std::string_view RunAt(int64_t, int64_t& runStart) const override {
        runStart = 0;
        return FText;
    }

private:
    std::string_view FText;
};

} // namespace quillet
