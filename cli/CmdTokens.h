// Language definitions for the commands that highlight: the shipped ones, scripts and stored ones.
#pragma once

#include "highlight/CodeMemoParser.h"

#include <iosfwd>
#include <memory>
#include <string>
#include <string_view>

namespace quillet::cli {

// "css" or "html" (the shipped definitions), a script (.qls, compiled now) or a stored definition
// file (anything else). Raises the reader's or the compiler's error for a bad file.
std::unique_ptr<TCodeMemoParser> LoadDefinition(const std::string& lang);

// The definition a command's --lang names: "none" (null), a name LoadDefinition takes, or when
// empty the one `file`'s extension picks (.css, .htm/.html, else none). Raises "Unknown
// language" for a name that is neither shipped nor a file.
std::unique_ptr<TCodeMemoParser> DefinitionFor(std::string lang, const std::string& file);

// One line per token of `text` as the re-scan finds it: offset, length, token, style, text.
void WriteTokens(TCodeMemoParser& def, std::string_view text, std::ostream& out);

} // namespace quillet::cli
