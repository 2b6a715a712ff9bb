// The clipboard: plain text and the two rich formats, as bytes.
#pragma once

#include <string>
#include <string_view>

namespace quillet {

// Format names as the program registers them.
inline constexpr std::string_view cbfText = "text";
inline constexpr std::string_view cbfRichText = "Rich Text Format";
inline constexpr std::string_view cbfHtml = "HTML Format";

class IClipboard {
public:
    virtual ~IClipboard() = default;
    virtual bool HasFormat(std::string_view format) const = 0;
    // Empty when the format is not on the clipboard.
    virtual std::string Get(std::string_view format) const = 0;
    // Starts a new clipboard content (all formats dropped), then Set adds formats to it.
    virtual void Clear() = 0;
    virtual void Set(std::string_view format, std::string_view bytes) = 0;

    bool HasText() const { return HasFormat(cbfText); }
    std::string Text() const { return Get(cbfText); }
    void SetText(std::string_view text) {
        Clear();
        Set(cbfText, text);
    }
};

} // namespace quillet
