// The system clipboard on Qt: plain text, RTF and HTML as MIME types.
#pragma once

#include "platform/Clipboard.h"

#include <QString>

namespace quillet {

class TQtClipboard : public IClipboard {
public:
    bool HasFormat(std::string_view format) const override;
    std::string Get(std::string_view format) const override;
    void Clear() override;
    void Set(std::string_view format, std::string_view bytes) override;
};

// The MIME type a clipboard format travels as ("text/plain", "text/rtf", "text/html").
QString ClipboardMimeType(std::string_view format);

} // namespace quillet
