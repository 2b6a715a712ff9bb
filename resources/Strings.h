// The program's string table: every message and caption text, keyed by number.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>
#include <type_traits>
#include <vector>

namespace quillet {

// Each subsystem lists its texts in resources/strings/*.inc as
//   QSTR(number, SName, "text")
// The numbers the program has always used (script compiler 4096-4136,
// command names 4146-4195) keep their values; our own texts take numbers
// from the range noted at the top of each file.
enum TStringId : int {
#define QSTR(id, name, text) name = id,
#include "resources/strings/All.inc"
#undef QSTR
};

// The text of a string-table entry; an unknown number gives an empty text.
const std::string& LoadStr(int id);

// One argument of Format: an integer or a text.
struct TFormatArg {
    bool IsText = false;
    long long Int = 0;
    std::string Text;
    TFormatArg(const char* s) : IsText(true), Text(s ? s : "") {}
    TFormatArg(const std::string& s) : IsText(true), Text(s) {}
    TFormatArg(std::string_view s) : IsText(true), Text(s) {}
    template <typename T, typename = std::enable_if_t<std::is_integral_v<T> || std::is_enum_v<T>>>
    TFormatArg(T v) : Int(static_cast<long long>(v)) {}
};

// printf-style formatting with the conversions the program's texts use:
// %s, %d, %u, %x, %X with an optional width and precision ("%.2x"), and %%.
// A missing argument formats as an empty text (or 0); a wrong-typed one is converted.
std::string FormatV(std::string_view pattern, const std::vector<TFormatArg>& args);

template <typename... A> std::string Format(std::string_view pattern, const A&... args) {
    return FormatV(pattern, std::vector<TFormatArg>{TFormatArg(args)...});
}

template <typename... A> std::string FmtLoadStr(int id, const A&... args) {
    return FormatV(LoadStr(id), std::vector<TFormatArg>{TFormatArg(args)...});
}

} // namespace quillet
