// Drag and drop between windows: what a drag carries, and what a window that takes drops does.
#pragma once

#include "platform/Clipboard.h"
#include "platform/VirtualKeys.h"
#include "platform/Types.h"

#include <cstdint>
#include <string>
#include <string_view>

namespace quillet {

// Formats a drag may carry besides those of the clipboard: text in the wide character set
// (given here as UTF-8, like all text) and a list of files from the file manager.
inline constexpr std::string_view cbfUnicodeText = "unicode text";
inline constexpr std::string_view cbfFiles = "files";

enum TDropEffect : uint8_t { deNone = 0, deCopy = 1, deMove = 2 };

// The data of a drag in progress.
class IDropData {
public:
    virtual ~IDropData() = default;
    virtual bool HasFormat(std::string_view format) const = 0;
    // The bytes of a format; for cbfFiles the names, one per line. Empty when not there.
    virtual std::string Get(std::string_view format) const = 0;
};

// A window that takes drops. Points are in client coordinates; `shift` is the modifier
// state (Ctrl asks for a copy). Each call answers the effect the drop would have now.
class IDropTarget {
public:
    virtual ~IDropTarget() = default;
    virtual TDropEffect DragEnter(const IDropData& data, TShiftState shift, TPoint at) = 0;
    virtual TDropEffect DragOver(TShiftState shift, TPoint at) = 0;
    virtual void DragLeave() = 0;
    virtual TDropEffect Drop(const IDropData& data, TShiftState shift, TPoint at) = 0;
};

} // namespace quillet
