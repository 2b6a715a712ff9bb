// Turns the raw text of a script string into its characters by applying the backslash escapes.
#pragma once

#include <string>
#include <string_view>

namespace quillet {

// \n is 13 and \r is 10 (the script language's own convention); octal, \x and \u numbers
// must fit a byte. Raises EScriptValueError otherwise.
std::string DecodeScriptEscapes(std::string_view raw);

} // namespace quillet
