// Highlighted CSS on the Qt canvas: each token's glyphs come out in its style's colour.
#include "editor/CodeMemo.h"
#include "editor/CodeMemoView.h"
#include "highlight/Settings.h"
#include "highlight/ShippedDefinition.h"
#include "platform/Platform.h"
#include "platform/qt/QtFonts.h"
#include "widgets/CodeMemoWidget.h"

#include <QApplication>
#include <gtest/gtest.h>

#include <memory>
#include <string>

using namespace quillet;

namespace {

// The colour a style's text takes, by the style table's as-default rules.
TColor TextColour(const TCM_Settings& s, const TCM_Style& style) {
    const TCM_Style& def = s.Styles[0];
    if (!style.ForegroundDefault) return TCodeMemoView::Resolve(style.Foreground);
    return TCodeMemoView::Resolve(def.ForegroundDefault ? clWindowText : def.Foreground);
}

class HighlightPixels : public ::testing::Test {
protected:
    void SetUp() override {
        InstallFontSubstitutes();
        FOldFonts = std::move(Platform().Fonts);
        Platform().Fonts = std::make_unique<TQtFonts>();
        LoadShippedDefinition(Css, "css");
        Css.UseRegistry = false;
        Widget = std::make_unique<TCodeMemoWidget>();
        TCodeMemo& memo = Widget->Memo();
        TFontDesc font;
        font.Name = "Courier New"; // the editor font of the program
        font.Height = -13;
        font.Charset = RUSSIAN_CHARSET;
        memo.SetFont(font);
        memo.SetParser(1, &Css);
        memo.SetActiveParser(1);
        memo.SetOptions(memo.Options() | smoSyntaxHighlight | smoShowGutter | smoLineNumbers);
        Widget->resize(500, 120);
        Widget->show();
        QApplication::processEvents();
    }
    void TearDown() override {
        Widget->Memo().SetParser(1, nullptr);
        Widget.reset();
        Platform().Fonts = std::move(FOldFonts);
    }

    TCodeMemoParser Css;
    std::unique_ptr<TCodeMemoWidget> Widget;

private:
    std::unique_ptr<IFonts> FOldFonts;
};

} // namespace

TEST_F(HighlightPixels, SelectorPropertyAndValueShowInTheirStyleColours) {
    TCodeMemo& memo = Widget->Memo();
    const std::string line = ".menu a { color: red; }";
    memo.SetText(line);
    Widget->viewport()->repaint();
    const TQtCanvas& canvas = Widget->BackBuffer();
    const TCM_Settings& s = memo.ActiveSettings();
    const TLineRecord& rec = memo.Store().Line(TRow(0));
    ASSERT_TRUE(rec.Extra && rec.Extra->Attributes.size() >= line.size()) << "not highlighted";
    const int left = memo.View().TextLeft();
    const int cw = memo.View().Metrics().CharWidth;
    const int lh = memo.View().Metrics().LineHeight;
    ASSERT_TRUE(memo.View().Metrics().FixedPitch);

    // How many pixels of the cells of `word` have exactly `colour`.
    auto inkOf = [&](const std::string& word, TColor colour) {
        size_t at = line.find(word);
        int n = 0;
        for (int y = 0; y < lh; ++y)
            for (int x = left + int(at) * cw; x < left + int(at + word.size()) * cw; ++x)
                if (canvas.Pixel(x, y) == colour) ++n;
        return n;
    };
    auto colourOf = [&](const std::string& word) {
        uint8_t token = rec.Extra->Attributes[line.find(word)];
        return TextColour(s, s.Styles[s.StyleMap[token]]);
    };

    const TColor selector = colourOf("menu"), property = colourOf("color"), value = colourOf("red");
    // The three kinds are told apart by the shipped styles, so each colour proves its token.
    ASSERT_NE(selector, property);
    ASSERT_NE(property, value);
    ASSERT_NE(selector, value);
    EXPECT_GT(inkOf("menu", selector), 0);
    EXPECT_GT(inkOf("color", property), 0);
    EXPECT_GT(inkOf("red", value), 0);
    // And no token wears another's colour.
    EXPECT_EQ(inkOf("menu", property), 0);
    EXPECT_EQ(inkOf("color", value), 0);
    EXPECT_EQ(inkOf("red", selector), 0);

    // A changed style colour reaches the pixels on the next paint.
    uint8_t propertyStyle = s.StyleMap[rec.Extra->Attributes[line.find("color")]];
    Css.Settings().Styles[propertyStyle].Foreground = RGB(0, 160, 0);
    Css.Settings().Styles[propertyStyle].ForegroundDefault = false;
    memo.View().InvalidateAll();
    Widget->viewport()->repaint();
    EXPECT_GT(inkOf("color", RGB(0, 160, 0)), 0);
    EXPECT_EQ(inkOf("color", property), 0);
}
