#include "highlight/ScriptMacros.h"

namespace quillet {

namespace {

std::vector<std::pair<std::string, std::string>> Build() {
    std::vector<std::pair<std::string, std::string>> m;
    auto add = [&](const char* name, long long value) {
        m.emplace_back(name, std::to_string(value));
    };
    // Present so that scripts can test for this compiler with #ifdef.
    m.emplace_back("ver200", "ver200");
    for (const char* n :
         {"pt_DEFAULT", "_discard_", "__insensitive", "_edge", "_DEFAULT_START_ANCHOR", "None"})
        add(n, 0);
    add("_use_", 1);
    add("__sensitive", 1);
    add("_default_gutter", 34);
    add("__DEFAULT_OPTIONS", 67099632);

    add("__OPT_LINE_NUMBERS", 1);
    add("__OPT_SYNTAX_HIGHLIGHT", 16);
    add("__OPT_PRINT_WRAP", 32);
    add("__OPT_PRINT_LINENOS", 64);
    add("__OPT_PRINT_FILENAME", 128);
    add("__OPT_PRINT_DATE", 256);
    add("__OPT_PRINT_PAGENOS", 512);
    add("__OPT_WORDWRAP", 1024);
    add("__OPT_AUTOINDENT", 2048);
    add("__OPT_TABCOLUMN", 4096);
    add("__OPT_WRAP_OVERRIDE", 8192);
    add("__WORD_SELECT", 16384);
    add("__OPT_SHOW_RIGHT_MARGIN", 32768);
    add("__OPT_SHOW_RMARGIN", 32768);
    add("__OPT_SHOW_GUTTER", 65536);
    add("__OPT_SHOW_WRAPCOLUMN", 131072);
    add("__OPT_TITLE_AS_FILENAME", 262144);
    add("__OPT_PROCESS_DROP_FILES", 524288);
    add("__OPT_BLOCK_CURSOR", 1048576);
    add("__OPT_WRAP_GLYPH", 2097152);
    add("__OPT_COLUMN_TRACK", 4194304);
    add("__OPT_USE_TAB", 8388608);
    add("__OPT_SMART_FILL", 16777216);
    add("__OPT_OLE_DRAG_SOURCE", 33554432);
    add("__OPT_SHOW_CONTROL_CHARS", 67108864);
    add("__OPT_CARET_AFTER_EOL", 134217728);

    add("_PASCAL_CHAR", 0);
    add("_WEB_CHAR", 1);
    add("_ORIGINAL_CHAR", 2);
    add("__STD_IDENTIFIER", 10);
    add("__STD_NUMBER_OR_FP", 11);
    add("__STD_PASCALSTRING", 12);
    add("__STD_C_STRING", 13);
    add("__STD_C_CHAR", 14);
    add("__STD_C_NUMBER_OR_FP_SIGNED", 15);
    add("__STD_NUMBER", 16);
    add("__STD_MAIL_URL", 17);
    add("__STD_HTML_STRING", 18);
    add("__STD_JS_LINE_COMMENT", 19);
    add("__STD_C_STRING_SQ", 20);

    add("fsBold", 0);
    add("fsItalic", 1);
    add("fsUnderline", 2);
    add("fsStrikeout", 3);

    add("clBlack", 0);
    add("clMaroon", 128);
    add("clGreen", 32768);
    add("clOlive", 32896);
    add("clNavy", 8388608);
    add("clPurple", 8388736);
    add("clTeal", 8421376);
    add("clGray", 8421504);
    add("clDkGray", 8421504);
    add("clSilver", 12632256);
    add("clLtGray", 12632256);
    add("clRed", 255);
    add("clLime", 65280);
    add("clYellow", 65535);
    add("clBlue", 16711680);
    add("clFuchsia", 16711935);
    add("clAqua", 16776960);
    add("clWhite", 16777215);

    const char* commands[] = {"caLEFT",      "caRIGHT",     "caLINEHOME", "caLINEEND",
                              "caUP",        "caDOWN",      "caPAGEUP",   "caPAGEDOWN",
                              "caWORDLEFT",  "caWORDRIGHT", "caDOCSTART", "caDOCEND",
                              "caCUT",       "caCOPY",      "caPASTE",    "caDELETE",
                              "caBACKSPACE", "caBLOCKIND",  "caBLOCKUND", "caINSTOGGLE"};
    for (int i = 0; i < 20; ++i)
        add(commands[i], i);
    for (int i = 0; i < 10; ++i) {
        add(("caSETBOOKMARK" + std::to_string(i)).c_str(), 20 + i);
        add(("caGOTOBOOKMARK" + std::to_string(i)).c_str(), 30 + i);
    }
    add("caDELETELINE", 40);
    add("caUNDO", 41);
    add("caREDO", 42);
    add("caDELPREVWORD", 43);
    add("caPRINTSEL", 44);
    add("caDELNEXTWORD", 45);

    add("BACKSPACE", 8);
    add("PGUP", 33);
    add("PGDN", 34);
    add("END", 35);
    add("HOME", 36);
    add("LEFT", 37);
    add("UP", 38);
    add("RIGHT", 39);
    add("DOWN", 40);
    add("INSERT", 45);
    add("DELETE", 46);
    for (int i = 1; i <= 12; ++i)
        add(("F" + std::to_string(i)).c_str(), 111 + i);

    add("ANSI_CHARSET", 0);
    add("DEFAULT_CHARSET", 1);
    add("SYMBOL_CHARSET", 2);
    add("MAC_CHARSET", 77);
    add("SHIFTJIS_CHARSET", 128);
    add("HANGEUL_CHARSET", 129);
    add("JOHAB_CHARSET", 130);
    add("GB2312_CHARSET", 134);
    add("CHINESEBIG5_CHARSET", 136);
    add("GREEK_CHARSET", 161);
    add("TURKISH_CHARSET", 162);
    add("HEBREW_CHARSET", 177);
    add("ARABIC_CHARSET", 178);
    add("BALTIC_CHARSET", 186);
    add("RUSSIAN_CHARSET", 204);
    add("THAI_CHARSET", 222);
    add("EASTEUROPE_CHARSET", 238);
    add("OEM_CHARSET", 255);
    return m;
}

} // namespace

const std::vector<std::pair<std::string, std::string>>& PredefinedScriptMacros() {
    static const auto macros = Build();
    return macros;
}

} // namespace quillet
