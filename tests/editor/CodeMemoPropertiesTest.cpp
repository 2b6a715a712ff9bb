// The control's properties: validation, options word, tab stops, word tests, definition slots.
#include "editor/CodeMemo.h"
#include "highlight/CodeMemoParser.h"
#include "highlight/Settings.h"
#include "platform/headless/HeadlessWindowHost.h"

#include <gtest/gtest.h>

#include <memory>
#include <string>

namespace quillet {
namespace {

std::string ErrorOf(const std::function<void()>& f) {
    try {
        f();
    } catch (const ECodeMemo& e) {
        return e.what();
    }
    return "no error";
}

class CodeMemoPropertiesTest : public ::testing::Test {
protected:
    THeadlessWindowHost Host{640, 400};
    TCodeMemo Memo{&Host};
};

TEST_F(CodeMemoPropertiesTest, OptionsWordKeepsItsBitsAndDropsTheUnusedOnes) {
    EXPECT_EQ(Memo.Options(), 0x03FFDBF0u);
    EXPECT_EQ(Memo.Perform(SM_OPTIONS, 0, 0), 0x03FFDBF0);
    EXPECT_FALSE(Memo.HasOption(smoWordWrap));
    EXPECT_TRUE(Memo.HasOption(smoUseTAB));
    Memo.Perform(SM_OPTIONS, smSET, 0x0000001F);
    EXPECT_EQ(Memo.Perform(SM_OPTIONS, 0, 0), 0x11); // 0x2, 0x4, 0x8 cleared on write
    EXPECT_TRUE(Memo.HasOption(smoLineNumbers));
    Memo.SetWordWrap(true);
    EXPECT_TRUE(Memo.WordWrap());
    EXPECT_EQ(Memo.Options(), 0x411u);
    EXPECT_EQ(CodeMemoOptionNames.front().Option, smoSyntaxHighlight);
    EXPECT_STREQ(CodeMemoOptionNames.back().Name, "smoShowAllChars");
}

TEST_F(CodeMemoPropertiesTest, GutterValidation) {
    EXPECT_EQ(Memo.Gutter(), 34);
    Memo.SetGutter(20); // between 1 and 33
    EXPECT_EQ(Memo.Gutter(), 34);
    Memo.SetGutter(-1);
    EXPECT_EQ(Memo.Gutter(), 34);
    Memo.SetGutter(0);
    EXPECT_EQ(Memo.Gutter(), 0);
    Memo.SetGutter(129); // 20 % of 640 with the fraction dropped
    EXPECT_EQ(Memo.Gutter(), 129);
    Memo.SetGutter(135); // 21 %
    EXPECT_EQ(Memo.Gutter(), 129);
    TCodeMemo windowless; // no client width yet: ignored
    windowless.SetGutter(40);
    EXPECT_EQ(windowless.Gutter(), 34);
}

TEST_F(CodeMemoPropertiesTest, SmallNumericProperties) {
    Memo.SetMargin(8); // wider than a character
    EXPECT_EQ(Memo.Margin(), 2);
    Memo.SetMargin(5);
    EXPECT_EQ(Memo.Margin(), 5);
    Memo.SetIndentStep(0);
    Memo.SetIndentStep(20);
    EXPECT_EQ(Memo.IndentStep(), 1);
    Memo.SetIndentStep(19);
    EXPECT_EQ(Memo.IndentStep(), 19);
    EXPECT_EQ(ErrorOf([&] { Memo.SetTabDefault(0); }),
              "=Illegal default tab stop value, must be > 0");
    EXPECT_EQ(Memo.TabDefault(), 4);
    Memo.SetWrapAtColumn(72);
    EXPECT_EQ(Memo.WrapAtColumn(), 72);
    EXPECT_EQ(Memo.WrapOverride(), ">|:");
    EXPECT_EQ(Memo.Version(), "1.00.00      ");
    EXPECT_EQ(std::string(reinterpret_cast<const char*>(Memo.Perform(SM_IDENTIFY, 0, 0))),
              "<TCodeMemo>:1.00.00      ");
    EXPECT_EQ(Memo.Perform(WM_GETDLGCODE, 0, 0), 0x83);
    Memo.SetWantTab(false);
    EXPECT_EQ(Memo.Perform(WM_GETDLGCODE, 0, 0), 0x81);
}

TEST_F(CodeMemoPropertiesTest, TabColumnsRoundTripAndErrors) {
    Memo.SetTabColumns("9 17;25");
    EXPECT_EQ(Memo.TabColumns(), "9 17 25");
    EXPECT_EQ(Memo.NextTabStop(0), 8);
    EXPECT_EQ(Memo.NextTabStop(8), 16);
    EXPECT_EQ(Memo.NextTabStop(24), 28); // past the explicit stops: every TabDefault
    EXPECT_EQ(ErrorOf([&] { Memo.SetTabColumns("9 5"); }),
              "Tab columns must be in order and unique");
    EXPECT_EQ(ErrorOf([&] { Memo.SetTabColumns("9 9"); }),
              "Tab columns must be in order and unique");
    EXPECT_EQ(ErrorOf([&] { Memo.SetTabColumns("1 5"); }), "Tab column must be > 1");
    EXPECT_EQ(ErrorOf([&] { Memo.SetTabColumns("5 x"); }), "Tab stop column value expected");
    EXPECT_EQ(ErrorOf([&] { Memo.SetTabColumns("5,7"); }), "Tab stop column value expected");
    std::string many;
    for (int i = 2; i <= 34; ++i)
        many += std::to_string(i) + " ";
    EXPECT_EQ(ErrorOf([&] { Memo.SetTabColumns(many); }), "Too many tab stops - maximum of 32");
    EXPECT_EQ(Memo.TabColumns(), "9 17 25"); // a failed write changes nothing
    Memo.SetTabColumns("");
    EXPECT_EQ(Memo.TabColumns(), "");
    Memo.SetTabDefault(3);
    EXPECT_EQ(Memo.NextTabStop(4), 6);
}

TEST_F(CodeMemoPropertiesTest, TabStopsDriveColumnsAndCaretPlacement) {
    Memo.SetTabColumns("3");
    Memo.SetText("\ta\tb");
    EXPECT_EQ(Memo.VisualColumn(TRow(0), TOffset(1)).Value(), 2);
    EXPECT_EQ(Memo.VisualColumn(TRow(0), TOffset(3)).Value(), 4);
    EXPECT_EQ(Memo.OffsetFromVisualColumn(TRow(0), TColumn(1)).Value(), 0); // inside the first tab
    EXPECT_EQ(Memo.OffsetFromVisualColumn(TRow(0), TColumn(2)).Value(), 1);
    EXPECT_EQ(Memo.OffsetFromVisualColumn(TRow(0), TColumn(99)).Value(), 4);
}

TEST_F(CodeMemoPropertiesTest, WordTestsAndTheirReplacements) {
    EXPECT_TRUE(Memo.CharStartsWord('_'));
    EXPECT_FALSE(Memo.CharStartsWord('-'));
    EXPECT_FALSE(Memo.CharStartsWord('1'));
    EXPECT_TRUE(Memo.CharIsInWord('-'));
    EXPECT_TRUE(Memo.CharIsInWord('\''));
    EXPECT_FALSE(Memo.CharIsInWord('.'));
    Memo.fn_CharIsInWord = [](char c) { return c == '.'; };
    Memo.fn_CharStartsWord = [](char c) { return c == '#'; };
    EXPECT_TRUE(Memo.CharIsInWord('.'));
    EXPECT_FALSE(Memo.CharIsInWord('a'));
    EXPECT_TRUE(Memo.CharStartsWord('#'));
}

TEST_F(CodeMemoPropertiesTest, ModifiedWritesAndReadOnly) {
    Memo.SetModified(true);
    EXPECT_FALSE(Memo.Modified());
    Memo.SetSelText("x");
    EXPECT_TRUE(Memo.Modified());
    Memo.Perform(SM_MODIFIED, smSET, 1); // true has no effect
    EXPECT_TRUE(Memo.Modified());
    Memo.Perform(SM_MODIFIED, smSET, 0);
    EXPECT_FALSE(Memo.Modified());
    EXPECT_EQ(Memo.Perform(SM_MODIFIED, 0, 0), 0);
}

TEST_F(CodeMemoPropertiesTest, TwoEditorsBoundToOneDefinitionShareItsSettings) {
    TCodeMemoParser definition;
    TCodeMemo other{&Host};
    Memo.SetTabColumns("5"); // own settings: replaced when the definition is attached
    Memo.SetParser(1, &definition);
    other.SetParser(1, &definition);
    EXPECT_EQ(Memo.TabColumns(), "");
    EXPECT_EQ(&Memo.ActiveSettings(), &definition.Settings());
    int changes = 0;
    other.OnChange = [&](TCustomCodeMemo&) { ++changes; };
    Memo.SetOptions(Memo.Options() | smoWordWrap);
    EXPECT_TRUE(other.WordWrap());
    EXPECT_GE(changes, 1); // the other control re-read the definition
    other.SetTabColumns("7 9");
    EXPECT_EQ(Memo.TabColumns(), "7 9");
    other.SetRightMargin(100);
    EXPECT_EQ(Memo.RightMargin(), 100);
}

TEST_F(CodeMemoPropertiesTest, ActiveParserSlots) {
    TCodeMemoParser first, second;
    Memo.SetParser(1, &first);
    Memo.SetParser(2, &second);
    EXPECT_EQ(Memo.ActiveParser(), 1);
    EXPECT_EQ(ErrorOf([&] { Memo.SetActiveParser(7); }), "Parser index out of range");
    EXPECT_EQ(ErrorOf([&] { Memo.SetActiveParser(0); }), "Parser index out of range");
    EXPECT_EQ(ErrorOf([&] { Memo.SetParser(7, &first); }), "Parser index out of range");
    EXPECT_EQ(Memo.ActiveParser(), 1);
    EXPECT_EQ(&Memo.ActiveSettings(), &first.Settings());
    Memo.SetActiveParser(2);
    EXPECT_EQ(Memo.ActiveDefinition(), &second);
    second.Settings().RightMargin = 120;
    EXPECT_EQ(Memo.RightMargin(), 120);
    Memo.SetActiveParser(3); // an empty slot: the control's own settings
    EXPECT_EQ(Memo.RightMargin(), 80);
    EXPECT_EQ(Memo.ActiveDefinition(), nullptr);
}

TEST_F(CodeMemoPropertiesTest, ADefinitionGoingAwayEmptiesItsSlot) {
    auto definition = std::make_unique<TCodeMemoParser>();
    definition->Settings().RightMargin = 120;
    Memo.SetParser(1, definition.get());
    EXPECT_EQ(Memo.RightMargin(), 120);
    definition.reset();
    EXPECT_EQ(Memo.Parser(1), nullptr);
    EXPECT_EQ(Memo.RightMargin(), 80);
    Memo.SetRightMargin(90); // still usable on its own settings
    EXPECT_EQ(Memo.RightMargin(), 90);
}

TEST_F(CodeMemoPropertiesTest, ColoursAndFontsLiveInTheSettings) {
    Memo.SetGutterColor(clRed);
    Memo.SetDefBackColor(RGB(1, 2, 3));
    EXPECT_EQ(Memo.ActiveSettings().GutterColor, clRed);
    EXPECT_EQ(Memo.ActiveSettings().Styles[0].Background, RGB(1, 2, 3));
    TFontDesc font;
    font.Name = "Liberation Mono";
    font.Height = 12;
    Memo.SetFont(font);
    EXPECT_EQ(Memo.ActiveSettings().FontName, "Liberation Mono");
    EXPECT_EQ(Memo.Font().Height, 12);
}

} // namespace
} // namespace quillet
