#include "highlight/ShippedDefinition.h"

#include "highlight/DefStream.h"
#include "resources/Strings.h"

#include <string>

// Written by the build (cmake/Languages.cmake) from the compiled scripts.
extern "C" {
extern const unsigned char quillet_shipped_css[];
extern const size_t quillet_shipped_css_size;
extern const unsigned char quillet_shipped_html[];
extern const size_t quillet_shipped_html_size;
}

namespace quillet {

TShippedBytes ShippedDefinitionBytes(std::string_view name) {
    TShippedBytes b;
    if (name == "css") {
        b = {quillet_shipped_css, quillet_shipped_css_size};
    } else if (name == "html") {
        b = {quillet_shipped_html, quillet_shipped_html_size};
    } else {
        throw EDefinitionError(FmtLoadStr(SDefUnknownLanguage, std::string(name)));
    }
    if (b.Size == 0) throw EDefinitionError(FmtLoadStr(SDefNotBuilt, std::string(name)));
    return b;
}

void LoadShippedDefinition(TCodeMemoParser& def, std::string_view name) {
    const TShippedBytes b = ShippedDefinitionBytes(name);
    TDefLoadContext context;
    context.ComponentName = name == "css" ? "CodeMemoParser" : "HtmlMemoParser";
    context.ReadingDescription = true;
    TDefinitionStream::LoadFromBytes(def, b.Data, b.Size, context);
}

std::unique_ptr<TCodeMemoParser> ShippedDefinition(std::string_view name) {
    auto def = std::make_unique<TCodeMemoParser>();
    LoadShippedDefinition(*def, name);
    return def;
}

} // namespace quillet
