// "Сервис": the options dialog of each editor's definition, and what OK and Cancel keep.
#include "MainFormFixture.h"

#include "dialogs/OptionsDialog.h"
#include "highlight/RegistrySettings.h"

#include <QApplication>
#include <QCheckBox>
#include <QLineEdit>
#include <QMenuBar>
#include <QTest>
#include <QTimer>

namespace quillet::test {

class OptionsMenuTest : public MainFormTest {
protected:
    void SetUp() override {
        MainFormTest::SetUp();
        Form->show();
        Form->activateWindow();
        ASSERT_TRUE(QTest::qWaitForWindowActive(Form.get()));
    }
    void TearDown() override {
        OptionsDialogShown() = nullptr;
        MainFormTest::TearDown();
    }
    // The next dialog: `drive` runs in it once it is up and closes it.
    void OnDialog(std::function<void(TOptionsDialog&)> drive) {
        OptionsDialogShown() = [this, drive](TOptionsDialog& d) {
            QTimer::singleShot(0, &d, [this, &d, drive] {
                Titles.push_back(d.windowTitle().toStdString());
                Languages.push_back(d.Working().Name);
                drive(d);
                if (d.isVisible()) d.reject();
            });
        };
    }
    std::vector<std::string> Values() const { return Registry->ValueNames(EditorSettingsKey()); }

    std::vector<std::string> Titles, Languages;
};

TEST_F(OptionsMenuTest, CtrlCommaOpensTheCssOptionsAndOnlyOKStoresThem) {
    QMenu* tools = Form->findChild<QMenu*>(QStringLiteral("ToolsMenu"));
    ASSERT_NE(tools, nullptr);
    EXPECT_EQ(tools->title().toStdString(), "Сервис");
    ASSERT_EQ(tools->actions().size(), 2);
    EXPECT_EQ(tools->actions()[0]->text().toStdString(), "Параметры редактора CSS…");
    EXPECT_EQ(tools->actions()[1]->text().toStdString(), "Параметры редактора HTML…");

    // Cancel: the editor and the stored values stay as they were.
    const int indent = Form->MainCodeMemo().IndentStep();
    OnDialog([](TOptionsDialog& d) {
        d.IndentStepBox()->setText("7");
        d.IndentStepBoxExit();
        d.reject();
    });
    Form->ActionListUpdate();
    QTest::keyClick(QApplication::focusWidget(), Qt::Key_Comma, Qt::ControlModifier);
    EXPECT_EQ(Titles, std::vector<std::string>{"Editor Options"});
    EXPECT_EQ(Languages, std::vector<std::string>{"Cascading Style Sheets"});
    EXPECT_EQ(Form->MainCodeMemo().IndentStep(), indent);
    EXPECT_TRUE(Values().empty());

    // OK: both editors of the language see it at once, and both values are written.
    OnDialog([](TOptionsDialog& d) {
        d.IndentStepBox()->setText("7");
        d.IndentStepBoxExit();
        d.OKButtonClick();
    });
    Form->CssOptionsAction->trigger();
    EXPECT_EQ(Form->MainCodeMemo().IndentStep(), 7);
    EXPECT_EQ(Values(), (std::vector<std::string>{"Highlighting - Cascading Style Sheets",
                                                  "Key Assignments - Cascading Style Sheets"}));
    // The HTML item edits the HTML definition; what the CSS editor has stays.
    OnDialog([](TOptionsDialog& d) {
        d.OptionBox(smoWordWrap)->click();
        d.OKButtonClick();
    });
    Form->HtmlOptionsAction->trigger();
    EXPECT_EQ(Languages.back(), "HTML / JS / VBS");
    EXPECT_NE(Form->EditorCodeMemo().HasOption(smoWordWrap),
              Form->MainCodeMemo().HasOption(smoWordWrap));
    EXPECT_EQ(Values().size(), 4u);

    // The next start reads them back.
    Form.reset();
    Form = std::make_unique<TMainForm>(
        [this](QWidget* parent) {
            return TBrowserPart{new QWidget(parent), &Browser};
        },
        Folder.string());
    Form->FormCreate();
    EXPECT_EQ(Form->MainCodeMemo().IndentStep(), 7);
}

} // namespace quillet::test
