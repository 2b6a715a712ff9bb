#include "resources/Strings.h"

#include <gtest/gtest.h>

#include <set>

using namespace quillet;

TEST(Strings, TableKeepsTheProgramsNumbers) {
    EXPECT_EQ(LoadStr(4096), "'=' expected");
    EXPECT_EQ(LoadStr(4146), "Cursor left");
    EXPECT_EQ(LoadStr(4146 + 29), "Set Bookmark 9");
    EXPECT_EQ(LoadStr(4146 + 47), "Scroll display down one line");
    EXPECT_EQ(LoadStr(SCompileErrorNear), "** ERROR near line %d, Column %d: %s");
    EXPECT_EQ(LoadStr(123456), "");

    // Each text has a number of its own: a number given twice shows the first text in both places.
    std::set<int> numbers;
#define QSTR(id, name, text) EXPECT_TRUE(numbers.insert(id).second) << #name << " reuses " << id;
#include "resources/strings/All.inc"
#undef QSTR
}

TEST(Strings, FormatConversions) {
    EXPECT_EQ(Format("File '%s' cannot be opened for reading", "a.css"),
              "File 'a.css' cannot be opened for reading");
    EXPECT_EQ(FmtLoadStr(SCompileErrorNear, 3, 14, "')' expected"),
              "** ERROR near line 3, Column 14: ')' expected");
    EXPECT_EQ(Format("#$%.2x", 7), "#$07");
    EXPECT_EQ(Format("%X|%4d|%-3s|", 255, 42, "a"), "FF|  42|a  |");
    EXPECT_EQ(Format("100%% %d", -5), "100% -5");
    // Missing arguments format as nothing instead of reading garbage.
    EXPECT_EQ(Format("%s and %d", "x"), "x and 0");
    EXPECT_EQ(Format("trailing %"), "trailing %");
    EXPECT_EQ(Format("%q stays"), "%q stays");
}
