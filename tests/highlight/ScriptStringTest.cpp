#include "highlight/ScriptString.h"
#include "highlight/ScriptError.h"

#include <gtest/gtest.h>

using namespace quillet;

TEST(ScriptString, NamedEscapesIncludingSwappedLineEnds) {
    EXPECT_EQ(DecodeScriptEscapes("\\n"), std::string(1, '\x0d'));
    EXPECT_EQ(DecodeScriptEscapes("\\r"), std::string(1, '\x0a'));
    EXPECT_EQ(DecodeScriptEscapes("\\N\\R"), std::string("\x0d\x0a"));
    EXPECT_EQ(DecodeScriptEscapes("a\\sb\\tc"), "a b\tc");
    EXPECT_EQ(DecodeScriptEscapes("\\b\\E"), std::string("\x08\x1b"));
    EXPECT_EQ(DecodeScriptEscapes("\\'\\\\\\q"), "'\\q");
    EXPECT_EQ(DecodeScriptEscapes("tail\\"), "tail\\");
}

TEST(ScriptString, NumericEscapes) {
    EXPECT_EQ(DecodeScriptEscapes("\\101x"), "Ax");
    EXPECT_EQ(DecodeScriptEscapes("\\0"), std::string(1, '\0'));
    EXPECT_EQ(DecodeScriptEscapes("\\1018"), "A8"); // three octal digits at most
    EXPECT_EQ(DecodeScriptEscapes("\\x41\\X7a"), "Az");
    EXPECT_EQ(DecodeScriptEscapes("\\x414"), "A4");
    EXPECT_EQ(DecodeScriptEscapes("\\u00e9"), std::string(1, '\xe9'));
    EXPECT_EQ(DecodeScriptEscapes("\\xg"), "xg");
}

TEST(ScriptString, ValuesAboveAByteAreRefused) {
    EXPECT_THROW(DecodeScriptEscapes("\\777"), EScriptValueError);
    try {
        DecodeScriptEscapes("\\u0100");
        FAIL();
    } catch (const EScriptValueError& e) {
        EXPECT_STREQ(e.what(), "Value must be 0..255");
    }
}

TEST(ScriptString, CompileErrorCarriesPositionInItsText) {
    ECM_COMP_ERROR e(3, 7, "Unexpected EOF");
    EXPECT_STREQ(e.what(), "** ERROR near line 3, Column 7: Unexpected EOF");
    EXPECT_EQ(e.Line(), 3);
    EXPECT_EQ(e.Column(), 7);
}
