// The colour button, its palette window and the colour arrays they keep.
#include "dialogs/DropColorButton.h"
#include "platform/Platform.h"
#include "platform/qt/QtConvert.h"

#include <QColorDialog>
#include <QPushButton>
#include <QTest>
#include <QWidget>

#include <gtest/gtest.h>

using namespace quillet;

TEST(ColorArray, StoredFormRoundTripsAndBoundsAreChecked) {
    TColorArrayClass a(2, 3);
    for (int x = 1; x <= 2; ++x)
        for (int y = 1; y <= 3; ++y)
            a.SetColors(x, y, RGB(x * 10, y * 20, 7));
    std::string stored = a.Stored();
    EXPECT_EQ(stored.substr(0, 20), "XSize = 2\nYSize = 3\n");
    TColorArrayClass b;
    b.LoadStored(stored);
    EXPECT_EQ(b, a);
    EXPECT_EQ(b.Colors(2, 1), RGB(20, 20, 7));
    for (auto [x, y] : {std::pair{3, 1}, {0, 1}, {1, 4}, {1, 0}}) {
        try {
            (void)b.Colors(x, y);
            ADD_FAILURE() << x << "," << y;
        } catch (const EColorArrayIndexError& e) {
            EXPECT_STREQ(e.what(), "Array index out of bounds");
        }
    }
    EXPECT_THROW(b.SetColors(3, 1, 0), EColorArrayIndexError);
    // Stored text that does not describe an array is refused and changes nothing.
    for (const char* bad :
         {"", "XSize = 2\nYSize = 3\nColors = (1 2 3)", "XSize = 1\nYSize = 1\nColors = (1 2)",
          "XSize = -1\nYSize = 1", "XSize = 1\nYSize = 1\nColors = (x)", "YSize = 1"}) {
        try {
            b.LoadStored(bad);
            ADD_FAILURE() << bad;
        } catch (const EQuilletError& e) {
            EXPECT_EQ(std::string(e.what()).rfind("Invalid stored colour array: ", 0), 0u) << bad;
        }
        EXPECT_EQ(b, a);
    }
    TColorArrayClass c;
    c.Assign(a);
    c.SetXSize(5);
    EXPECT_EQ(c.XSize(), 5);
    EXPECT_EQ(c.YSize(), 3);
    EXPECT_NO_THROW(c.SetColors(5, 3, 1));
}

TEST(ColorArray, CustomColourLinesRunAToPAndBadValuesBecomeWhite) {
    TColorArrayClass custom = DefaultCustomColors();
    custom.SetColors(2, 1, RGB(1, 2, 3));
    custom.SetColors(8, 2, RGB(0xAB, 0, 0));
    std::vector<std::string> lines = CustomColorLines(custom);
    ASSERT_EQ(lines.size(), 16u);
    EXPECT_EQ(lines[0], "ColorA=00FFFFFF");
    EXPECT_EQ(lines[1], "ColorB=00030201");
    EXPECT_EQ(lines[15], "ColorP=000000AB");
    TColorArrayClass back(8, 2);
    ReadCustomColorLines(lines, back);
    EXPECT_EQ(back, custom);
    lines[1] = "ColorB=zz";
    lines[2] = "ColorC=000000FF";
    ReadCustomColorLines(lines, back);
    EXPECT_EQ(back.Colors(2, 1), clWhite);
    EXPECT_EQ(back.Colors(3, 1), RGB(255, 0, 0));
}

TEST(ColorPalette, GeometryAndPlacement) {
    using namespace palette;
    EXPECT_EQ(Height, 121);
    EXPECT_EQ(HitTest(0, 0), (THit{1, 1}));
    EXPECT_EQ(HitTest(71, 89), (THit{4, 5}));
    EXPECT_TRUE(HitTest(10, 95).IsNone());
    EXPECT_TRUE(HitTest(Width - 10, 108).IsSwatch());
    EXPECT_TRUE(HitTest(-1, 5).IsNone());
    TRect work{0, 0, 800, 600};
    // Under the button; above it when the bottom would leave the work area.
    EXPECT_EQ(Placement({100, 100, 145, 122}, work), (TPoint{100, 122}));
    EXPECT_EQ(Placement({100, 470, 145, 492}, work), (TPoint{100, 470 - 121}));
    EXPECT_EQ(Placement({100, 478, 145, 500}, work), (TPoint{100, 478 - 121}));
    EXPECT_EQ(Placement({100, 457, 145, 479}, work), (TPoint{100, 479}));
    // Pulled back inside at the left and right edges.
    EXPECT_EQ(Placement({-20, 10, 25, 32}, work), (TPoint{0, 32}));
    EXPECT_EQ(Placement({760, 10, 805, 32}, work), (TPoint{800 - 78, 32}));
}

namespace {

struct DropColorButton : ::testing::Test {
    QWidget Window;
    TDropColorButton* Button = new TDropColorButton(&Window);
    int Changes = 0;
    std::vector<std::vector<std::string>> DialogSaw; // the custom lines each dialog started with
    std::optional<TColor> DialogAnswer;
    std::string DialogSets = "ColorC=00123456";

    void SetUp() override {
        Window.resize(200, 100);
        Button->move(10, 10);
        Window.show();
        Button->OnColorChange = [this](TDropColorButton& b) {
            EXPECT_EQ(&b, Button);
            ++Changes;
        };
        Button->ColorDialog = [this](TColor, std::vector<std::string>& lines) {
            DialogSaw.push_back(lines);
            TTCM_DropColorButtonPalette* pal = Button->Palette();
            EXPECT_TRUE(pal && pal->ColorDialogOpen());
            // Neither a deactivation nor a close request ends the palette while the dialog is up.
            pal->ApplicationDeactivated();
            pal->close();
            EXPECT_TRUE(pal->isVisible());
            if (DialogAnswer) lines[2] = DialogSets;
            return DialogAnswer;
        };
    }
    TTCM_DropColorButtonPalette* Open() {
        QTest::mouseClick(Button, Qt::LeftButton);
        TTCM_DropColorButtonPalette* pal = Button->Palette();
        EXPECT_NE(pal, nullptr);
        return pal;
    }
    static QPoint CellCentre(int x, int y) { return {18 * x - 9, 18 * y - 9}; }
    void Settle() { QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete); }
};

} // namespace

TEST_F(DropColorButton, GridClickSetsColourOnceAndTheCurrentCellRaisesNothing) {
    EXPECT_EQ(Button->size(), QSize(45, 22));
    TTCM_DropColorButtonPalette* pal = Open();
    ASSERT_TRUE(pal);
    EXPECT_EQ(pal->Selected(), (palette::THit{2, 1})); // black, the starting colour
    EXPECT_EQ(pal->OtherButton()->text(), "&Other");
    QPoint below = Button->mapToGlobal(QPoint(0, Button->height()));
    EXPECT_EQ(pal->pos(), below);
    QTest::mouseMove(pal, CellCentre(3, 2));
    EXPECT_EQ(pal->HotCell(), (palette::THit{3, 2}));
    QTest::mouseClick(pal, Qt::LeftButton, {}, CellCentre(2, 2));
    EXPECT_EQ(Button->Color(), RGB(127, 0, 0));
    EXPECT_EQ(Changes, 1);
    EXPECT_EQ(Button->Palette(), nullptr);
    Settle();

    pal = Open();
    ASSERT_TRUE(pal);
    EXPECT_EQ(pal->Selected(), (palette::THit{2, 2}));
    QTest::mouseClick(pal, Qt::LeftButton, {}, CellCentre(2, 2));
    EXPECT_EQ(Changes, 1);
    // A click between the grid and "Other" only closes.
    pal = Open();
    QTest::mouseClick(pal, Qt::LeftButton, {}, QPoint(30, 95));
    EXPECT_EQ(Button->Palette(), nullptr);
    EXPECT_EQ(Changes, 1);
    Button->SetColor(RGB(127, 0, 0));
    EXPECT_EQ(Changes, 1);
}

TEST_F(DropColorButton, KeysOnThePalette) {
    TTCM_DropColorButtonPalette* pal = Open();
    QTest::keyClick(pal, Qt::Key_Down);
    QTest::keyClick(pal, Qt::Key_Escape);
    EXPECT_EQ(Button->Palette(), nullptr);
    EXPECT_EQ(Button->Color(), clBlack);
    EXPECT_EQ(Changes, 0);
    Settle();

    pal = Open();
    // From the selected cell (2, 1): right, down, then Return chooses (3, 2).
    QTest::keyClick(pal, Qt::Key_Right);
    QTest::keyClick(pal, Qt::Key_Down);
    EXPECT_EQ(pal->HotCell(), (palette::THit{3, 2}));
    QTest::keyClick(pal, Qt::Key_Return);
    EXPECT_EQ(Button->Color(), RGB(255, 255, 0));
    EXPECT_EQ(Changes, 1);
    Settle();
    // Down past the last row reaches the swatch, which holds OtherColor.
    pal = Open();
    for (int i = 0; i < 6; ++i)
        QTest::keyClick(pal, Qt::Key_Down);
    EXPECT_TRUE(pal->HotCell().IsSwatch());
    QTest::keyClick(pal, Qt::Key_Up);
    EXPECT_EQ(pal->HotCell(), (palette::THit{4, 5}));
    pal->ApplicationDeactivated();
    EXPECT_EQ(Button->Palette(), nullptr);
}

TEST_F(DropColorButton, NearTheBottomOfTheWorkAreaThePaletteOpensAbove) {
    QPoint top = Button->mapToGlobal(QPoint(0, 0));
    Button->DropDown(QRect(0, 0, 1000, top.y() + Button->height() + 100));
    ASSERT_TRUE(Button->Palette());
    EXPECT_EQ(Button->Palette()->pos(), QPoint(top.x(), top.y() - 121));
    Button->Palette()->close();
}

TEST_F(DropColorButton, OtherOpensTheDialogAndCustomColoursComeBackNextTime) {
    // A colour in no cell opens the palette with it in the swatch.
    Button->SetColor(RGB(1, 2, 3));
    Changes = 0;
    TTCM_DropColorButtonPalette* pal = Open();
    EXPECT_TRUE(pal->Selected().IsNone());
    EXPECT_EQ(pal->SwatchColor(), RGB(1, 2, 3));

    // Cancel keeps the palette open and changes nothing.
    QTest::mouseClick(pal->OtherButton(), Qt::LeftButton);
    ASSERT_EQ(DialogSaw.size(), 1u);
    EXPECT_EQ(DialogSaw[0][2], "ColorC=00FFFFFF");
    EXPECT_EQ(Button->Palette(), pal);

    DialogAnswer = RGB(9, 8, 7);
    QTest::mouseClick(pal->OtherButton(), Qt::LeftButton);
    EXPECT_EQ(Button->Color(), RGB(9, 8, 7));
    EXPECT_EQ(Changes, 1);
    EXPECT_EQ(Button->Palette(), nullptr);
    EXPECT_EQ(Button->OtherColor(), clBtnFace);
    EXPECT_EQ(Button->CustomColors().Colors(3, 1), TColor(0x123456));
    Settle();

    pal = Open();
    DialogAnswer.reset();
    QTest::mouseClick(pal->OtherButton(), Qt::LeftButton);
    ASSERT_EQ(DialogSaw.size(), 3u);
    EXPECT_EQ(DialogSaw[2][2], "ColorC=00123456");
    pal->close();
}

namespace {
// The platform dialog as a user answers it: picks a custom colour and a colour.
struct TPickingDialogs : IDialogs {
    TColor Started = 0;
    TModalResult MessageBox(const std::string&, const std::string&, TMsgDlgType,
                            TMsgDlgButtons) override {
        return mrOk;
    }
    std::optional<std::string> OpenFile(const TFileDialogOptions&) override { return {}; }
    std::optional<std::string> SaveFile(const TFileDialogOptions&) override { return {}; }
    std::optional<TColor> ChooseColor(TColor initial) override {
        Started = initial;
        EXPECT_EQ(QColorDialog::customColor(9), QColor(255, 0, 0));
        QColorDialog::setCustomColor(1, QColor(10, 20, 30));
        return RGB(5, 6, 7);
    }
};
} // namespace

TEST(DropColorButtonPlatform, CustomColoursTravelThroughThePlatformDialog) {
    std::unique_ptr<IDialogs> picking = std::make_unique<TPickingDialogs>();
    auto* dialogs = static_cast<TPickingDialogs*>(picking.get());
    std::swap(Platform().Dialogs, picking);
    TColorArrayClass custom = DefaultCustomColors();
    custom.SetColors(2, 2, RGB(255, 0, 0));
    std::vector<std::string> lines = CustomColorLines(custom);
    std::optional<TColor> chosen = RunPlatformColorDialog(clBtnFace, lines);
    std::swap(Platform().Dialogs, picking);
    EXPECT_EQ(chosen, RGB(5, 6, 7));
    EXPECT_FALSE(IsSystemColor(dialogs->Started)); // a system colour is resolved first
    EXPECT_EQ(lines[1], "ColorB=001E140A");
    EXPECT_EQ(lines[9], "ColorJ=000000FF");
}

TEST(DropColorButtonPaint, SwatchShowsTheColourOrAChecker) {
    TDropColorButton b;
    b.SetColor(RGB(255, 0, 0));
    QImage on = b.grab().toImage();
    EXPECT_EQ(on.pixelColor(15, 11), QColor(255, 0, 0));
    b.setEnabled(false);
    QImage off = b.grab().toImage();
    EXPECT_NE(off.pixelColor(15, 11), QColor(255, 0, 0));
    EXPECT_NE(off.pixelColor(15, 11), off.pixelColor(16, 11)); // a checker, not a fill
}
