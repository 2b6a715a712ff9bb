// The keyboard as a user meets it: which control has the focus, and where the editing keys go.
#include "MainFormFixture.h"

#include "app/FileNameEdit.h"
#include "app/SelectorPanel.h"
#include "widgets/CodeMemoWidget.h"

#include <QApplication>
#include <QCheckBox>
#include <QClipboard>
#include <QComboBox>
#include <QLineEdit>
#include <QTabWidget>
#include <QTest>
#include <QToolButton>
#include <QWheelEvent>

namespace quillet::test {

class KeyboardTest : public MainFormTest {
protected:
    void SetUp() override {
        MainFormTest::SetUp();
        // Keys reach the window's shortcuts only while it is the active window.
        Form->show();
        Form->activateWindow();
        ASSERT_TRUE(QTest::qWaitForWindowActive(Form.get()));
    }
    static QWidget* Focus() { return QApplication::focusWidget(); }
    // A combination pressed where the focus is, the window's shortcuts matched as Qt does.
    void Press(Qt::Key key, Qt::KeyboardModifiers modifiers = Qt::ControlModifier) {
        Form->ActionListUpdate();
        QTest::keyClick(Focus(), key, modifiers);
    }
    void ShowPage(int page) { Form->WorkPageControl()->setCurrentIndex(page); }
    std::string Html() { return Form->EditorCodeMemo().Text(); }
    std::string Clip() { return Platform().Clipboard->Text(); }
};

TEST_F(KeyboardTest, TheEditorOfThePageShownHasTheFocus) {
    EXPECT_EQ(Focus(), Form->MainCodeMemoWidget());
    Press(Qt::Key_B, Qt::NoModifier);
    EXPECT_EQ(Css(), "b");
    ShowPage(1);
    EXPECT_EQ(Focus(), Form->EditorCodeMemoWidget());
    ShowPage(0);
    EXPECT_EQ(Focus(), Form->MainCodeMemoWidget());

    // New and Open bring the CSS editor forward, from the preview page or from a text box.
    Dialogs->QueueAnswer(mrNo);
    ShowPage(1);
    Run(Form->NewAction);
    EXPECT_EQ(Form->WorkPageControl()->currentIndex(), 0);
    EXPECT_EQ(Focus(), Form->MainCodeMemoWidget());
    Write("a.css", "p{}");
    Form->SelectorPanel->SelectComboBox->setFocus();
    Dialogs->QueueFile(Path("a.css"));
    Form->OpenToolButton->click();
    EXPECT_EQ(Css(), "p{}");
    EXPECT_EQ(Focus(), Form->MainCodeMemoWidget());

    // With its pane hidden the HTML editor takes no keys.
    Form->EditorCheckBox()->setChecked(false);
    ShowPage(1);
    EXPECT_NE(Focus(), Form->EditorCodeMemoWidget());
    Press(Qt::Key_Z, Qt::NoModifier);
    EXPECT_EQ(Html(), "");
}

TEST_F(KeyboardTest, EditingKeysActOnTheControlThatHasTheFocus) {
    Form->MainCodeMemo().SetText("css");
    Form->MainCodeMemo().SelectAll(); // the CSS editor's Cut and Copy are enabled
    Form->EditorCodeMemo().SetText("html");
    Platform().Clipboard->SetText("P");
    ShowPage(1);
    Press(Qt::Key_V);
    EXPECT_EQ(Html(), "Phtml");
    Press(Qt::Key_A);
    Press(Qt::Key_C);
    EXPECT_EQ(Clip(), "Phtml");
    Press(Qt::Key_X);
    EXPECT_EQ(Html(), "");
    EXPECT_EQ(Css(), "css");
    EXPECT_EQ(Form->MainCodeMemo().SelLength(), 3);

    // A text box keeps the four keys and its delete-word key; the window keeps the others.
    QLineEdit* path = Form->HtmFilenameEdit()->Edit();
    path->setText("a.htm");
    path->setFocus();
    Press(Qt::Key_A);
    EXPECT_EQ(path->selectedText().toStdString(), "a.htm");
    Press(Qt::Key_C);
    EXPECT_EQ(QApplication::clipboard()->text().toStdString(), "a.htm"); // the box's own copy
    QComboBox* selector = Form->SelectorPanel->SelectComboBox;
    selector->setEditText("h1 em");
    selector->setFocus();
    selector->lineEdit()->setCursorPosition(0);
    Press(Qt::Key_Delete);
    EXPECT_EQ(selector->currentText().toStdString(), "em");
    EXPECT_EQ(Css(), "css");
    Dialogs->QueueFile(std::nullopt);
    Press(Qt::Key_S, Qt::ControlModifier | Qt::ShiftModifier); // Save As stays the window's
    EXPECT_EQ(Dialogs->Calls().back().Kind, TScriptedDialogs::dkSave);

    // In the CSS editor Ctrl+Del is Clear, and one Undo takes it back.
    ShowPage(0);
    Press(Qt::Key_Delete);
    EXPECT_EQ(Css(), "");
    EXPECT_EQ(Form->PageCaption(), "*Css");
    Press(Qt::Key_Z);
    EXPECT_EQ(Css(), "css");
}

TEST_F(KeyboardTest, AShortcutSeesTheStateLeftByTheKeyBeforeIt) {
    // No idle time between the two keys: Save is enabled by the letter typed just before.
    QTest::keyClick(Focus(), Qt::Key_A);
    Dialogs->QueueFile(Path("fast.css"));
    QTest::keyClick(Focus(), Qt::Key_S, Qt::ControlModifier);
    EXPECT_EQ(Read("fast.css"), "a");
}

} // namespace quillet::test

namespace quillet::test {

TEST_F(KeyboardTest, TheEditorToolsActOnTheFocusedEditorAndKeysSwitchPages) {
    Form->MainCodeMemo().SetText("a b a");
    Form->EditorCodeMemo().SetText("b b\rtwo\rthree");
    Form->MainCodeMemo().SetSelStart(0);
    Form->EditorCodeMemo().SetSelStart(0);
    Press(Qt::Key_F);
    TScriptedFindDialog* cssFind = Dialogs->FindDialog(fdkFind);
    ASSERT_NE(cssFind, nullptr);
    cssFind->SetFindText("a");
    Press(Qt::Key_F3, Qt::NoModifier); // typed, not searched yet: F3 searches for it
    EXPECT_EQ(Form->MainCodeMemo().SelStart(), 0);
    Press(Qt::Key_F3, Qt::NoModifier);
    EXPECT_EQ(Form->MainCodeMemo().SelStart(), 4);

    Press(Qt::Key_Tab);
    EXPECT_EQ(Form->WorkPageControl()->currentIndex(), 1);
    EXPECT_EQ(Focus(), Form->EditorCodeMemoWidget());
    Press(Qt::Key_F);
    TScriptedFindDialog* htmlFind = Dialogs->FindDialog(fdkFind);
    ASSERT_NE(htmlFind, cssFind); // the HTML editor's own find window
    htmlFind->SetFindText("b");
    htmlFind->Press(frFindNext);
    Press(Qt::Key_F3, Qt::NoModifier);
    EXPECT_EQ(Form->EditorCodeMemo().SelStart(), 2);
    EXPECT_EQ(Form->MainCodeMemo().SelStart(), 4);
    Dialogs->QueueNumber(3);
    Press(Qt::Key_G);
    EXPECT_EQ(Dialogs->Calls().back().Text, "Номер строки (1–3):");
    EXPECT_EQ(Dialogs->Calls().back().Title, "Переход к строке");
    EXPECT_EQ(Dialogs->Calls().back().Y, 3);
    EXPECT_EQ(Form->EditorCodeMemo().SelStart(), 8); // the start of "three"
    Dialogs->QueueNumber(std::nullopt);
    Press(Qt::Key_G);
    EXPECT_EQ(Form->EditorCodeMemo().SelStart(), 8);

    Press(Qt::Key_Backtab, Qt::ControlModifier | Qt::ShiftModifier);
    EXPECT_EQ(Form->WorkPageControl()->currentIndex(), 0);
    EXPECT_EQ(Focus(), Form->MainCodeMemoWidget());
    Press(Qt::Key_H);
    EXPECT_NE(Dialogs->FindDialog(fdkReplace), nullptr);

    // Zoom: the keys and Ctrl+wheel over either editor, both editors alike.
    Press(Qt::Key_Equal);
    EXPECT_EQ(Form->FontHeight(), 14);
    QWheelEvent wheel(QPointF(5, 5), QPointF(5, 5), QPoint(), QPoint(0, 120), Qt::NoButton,
                      Qt::ControlModifier, Qt::NoScrollPhase, false);
    QApplication::sendEvent(Form->MainCodeMemoWidget()->viewport(), &wheel);
    EXPECT_EQ(Form->FontHeight(), 15);
    EXPECT_EQ(Form->EditorCodeMemo().Font().Height, -15);
    Press(Qt::Key_Minus);
    EXPECT_EQ(Form->FontHeight(), 14);
    Press(Qt::Key_0);
    EXPECT_EQ(Form->FontHeight(), 13);
    EXPECT_EQ(Form->MainCodeMemo().Font().Height, -13);
}

} // namespace quillet::test

namespace quillet::test {

TEST_F(KeyboardTest, CtrlShiftFFormatsTheStyleSheetFromTheEditor) {
    Form->MainCodeMemo().SetText("a{b:c}");
    Press(Qt::Key_F, Qt::ControlModifier | Qt::ShiftModifier);
    EXPECT_EQ(Css().substr(0, 4), "a {\r");
}

} // namespace quillet::test
