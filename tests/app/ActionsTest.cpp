// The action list: its update rule, undo captions, grouped undo and the style-tag commands.
#include "MainFormFixture.h"

#include "app/FileNameEdit.h"

#include <QAction>
#include <QApplication>
#include <QCheckBox>
#include <QKeyEvent>
#include <QLineEdit>
#include <QMenu>
#include <QTextDocumentFragment>
#include <QToolButton>

namespace quillet::test {

TEST_F(MainFormTest, TheUpdateRuleFollowsSelectionClipboardAndDocument) {
    Form->ActionListUpdate();
    EXPECT_EQ(Form->UndoAction->text().toStdString(), "Отмена");
    EXPECT_FALSE(Form->UndoAction->isEnabled());
    EXPECT_EQ(Form->RedoAction->text().toStdString(), "Повтор");
    EXPECT_FALSE(Form->SaveAction->isEnabled());
    EXPECT_FALSE(Form->PasteAction->isEnabled());
    EXPECT_TRUE(Form->NewAction->isEnabled());

    Type("abc");
    Form->EditorCodeMemo().SetText("html");
    Form->EditorCodeMemo().SelectAll();
    Form->ActionListUpdate();
    EXPECT_EQ(Form->UndoAction->text().toStdString(), "Отмена ввода");
    EXPECT_TRUE(Form->UndoAction->isEnabled());
    EXPECT_TRUE(Form->SaveAction->isEnabled());
    // A selection in the HTML editor does not enable the CSS editor's commands.
    EXPECT_FALSE(Form->CutAction->isEnabled());
    EXPECT_FALSE(Form->ShiftRightAction->isEnabled());
    EXPECT_TRUE(Form->EditorCopyAction->isEnabled());

    Form->MainCodeMemo().SetSelection(0, 2);
    Form->ActionListUpdate();
    EXPECT_TRUE(Form->CopyAction->isEnabled());
    EXPECT_TRUE(Form->ShiftLeftAction->isEnabled());
    Run(Form->CutAction);
    Form->ActionListUpdate();
    EXPECT_EQ(Css(), "c");
    EXPECT_EQ(Form->UndoAction->text().toStdString(), "Отмена вырезать");
    EXPECT_TRUE(Form->PasteAction->isEnabled());
    EXPECT_TRUE(Form->EditorPasteAction->isEnabled());
    Run(Form->UndoAction);
    Form->ActionListUpdate();
    EXPECT_EQ(Css(), "abc");
    EXPECT_EQ(Form->RedoAction->text().toStdString(), "Повтор вырезать");
    Run(Form->RedoAction);
    EXPECT_EQ(Css(), "c");
}

TEST_F(MainFormTest, GroupedUndoTakesBackAWholeRunOfTyping) {
    Type("abc");
    Run(Form->UndoAction); // plain: one group
    std::string afterPlain = Css();
    EXPECT_NE(afterPlain, "abc");
    Run(Form->RedoAction);
    EXPECT_EQ(Css(), "abc");

    Form->GroupedUndoCheckBox()->setChecked(true);
    Run(Form->UndoAction);
    EXPECT_EQ(Css(), "");
    Run(Form->RedoAction);
    EXPECT_EQ(Css(), "abc");

    // A caret move breaks the run: only the letter typed after it goes.
    Form->MainCodeMemo().Perform(WM_KEYDOWN, VK_LEFT, 0);
    Type("XY");
    EXPECT_EQ(Css(), "abXYc");
    Run(Form->UndoAction);
    EXPECT_EQ(Css(), "abc");
    Run(Form->UndoAction);
    EXPECT_EQ(Css(), "");
}

TEST_F(MainFormTest, StyleTagsAndClear) {
    Run(Form->ClearAction); // nothing to clear: nothing to undo
    Form->ActionListUpdate();
    EXPECT_FALSE(Form->UndoAction->isEnabled());
    Run(Form->StyleAction);
    EXPECT_EQ(Css(), "<style>\r\n\r\n</style>");
    EXPECT_EQ(Form->MainCodeMemo().SelStart(), 8);
    EXPECT_EQ(Form->PageCaption(), "*Css");

    // Clear is one step that Undo takes back.
    Run(Form->ClearAction);
    EXPECT_EQ(Css(), "");
    Run(Form->UndoAction);
    EXPECT_EQ(Css(), "<style>\r\n\r\n</style>");
    Run(Form->ClearAction);

    // Wrapping an empty text and a text.
    Run(Form->StylePopupMenu->actions().last());
    EXPECT_EQ(Css(), "<style>\r\n\r\n</style>");
    Form->MainCodeMemo().SetText("p{}");
    Run(Form->StylePopupMenu->actions().last());
    EXPECT_EQ(Css(), "<style>\r\np{}\r\n</style>");
    Form->MainCodeMemo().SetText("");
    Run(Form->StylePopupMenu->actions()[1]); // open tag
    Run(Form->StylePopupMenu->actions()[2]); // close tag
    EXPECT_EQ(Css(), "<style></style>");

    // Wrapping a file keeps its bytes: a break of another kind and a control byte come back.
    Write("mixed.css", "a{}\nb{\x01}\r\nc{}\n");
    Form->OpenFile(Path("mixed.css"));
    Run(Form->StylePopupMenu->actions().last());
    Run(Form->SaveAction);
    EXPECT_EQ(Read("mixed.css"), "<style>\na{}\nb{\x01}\r\nc{}\n\n</style>");
}

TEST_F(MainFormTest, ShiftRightAndLeftMoveTheSelectedLinesByOneBlank) {
    Form->MainCodeMemo().SetText("a\r\nb");
    Form->MainCodeMemo().SelectAll();
    Run(Form->ShiftRightAction);
    EXPECT_EQ(Css(), " a\r\n b");
    Run(Form->ShiftLeftAction);
    EXPECT_EQ(Css(), "a\r\nb");
}

} // namespace quillet::test

namespace quillet::test {

TEST_F(MainFormTest, TheColourCommandInsertsTheChosenColourAndRemembersIt) {
    EXPECT_EQ(ColorToCssHex(RGB(255, 128, 64)), "FF8040");
    EXPECT_EQ(ColorToCssHex(RGB(0, 10, 171)), "000AAB");
    Form->MainCodeMemo().SetText("color: red;");
    Form->MainCodeMemo().SetSelection(7, 10);
    Dialogs->QueueColor(RGB(255, 128, 64));
    Form->ColorToolButton->click();
    EXPECT_EQ(Css(), "color: #FF8040;");
    EXPECT_EQ(Dialogs->Calls().back().Color, clBlack); // black the first time
    EXPECT_EQ(Form->PageCaption(), "*Css");

    // The next dialog starts from that colour; Cancel inserts nothing.
    Dialogs->QueueColor(std::nullopt);
    Form->ColorToolButton->click();
    EXPECT_EQ(Dialogs->Calls().back().Color, RGB(255, 128, 64));
    EXPECT_EQ(Css(), "color: #FF8040;");
    EXPECT_FALSE(Dialogs->AnswersLeft());
}

} // namespace quillet::test

namespace quillet::test {

TEST_F(MainFormTest, HintsKeepTheirMarkUpCharactersAndInsertionsUndoUnnamed) {
    EXPECT_EQ(QTextDocumentFragment::fromHtml(Form->StyleAction->toolTip()).toPlainText(),
              QString::fromUtf8("Вставить тег <style>"));
    Run(Form->StyleAction);
    Form->ActionListUpdate();
    EXPECT_EQ(Form->UndoAction->text().toStdString(), "Отмена"); // not one of the named groups
    EXPECT_TRUE(Form->UndoAction->isEnabled());
}

TEST_F(MainFormTest, WindowShortcutsWinOverAFileNameBoxOnlyWhileEnabled) {
    Form->ActionListUpdate();
    QLineEdit* box = Form->CssFilenameEdit()->Edit();
    QKeyEvent redo(QEvent::ShortcutOverride, Qt::Key_Z, Qt::ControlModifier | Qt::ShiftModifier);
    QApplication::sendEvent(box, &redo);
    EXPECT_TRUE(redo.isAccepted()); // Redo is disabled: the box has the key
    Type("a");
    Form->ActionListUpdate();
    QKeyEvent undo(QEvent::ShortcutOverride, Qt::Key_Z, Qt::ControlModifier);
    QApplication::sendEvent(box, &undo);
    EXPECT_FALSE(undo.isAccepted()); // Ctrl+Z stays the window's
}

} // namespace quillet::test

namespace quillet::test {

TEST_F(MainFormTest, FormatAndMinifyAreOneUndoStepEachAndKeepTheCaretOnItsToken) {
    TCodeMemo& memo = Form->MainCodeMemo();
    memo.SetText("a{color:red}\r\n@media x{b{c:d}}");
    memo.SetIndentStep(2);
    memo.SetSelection(9, 9); // inside "red"
    Run(Form->FormatAction);
    EXPECT_EQ(Css(), "a {\r\n  color: red\r\n}\r\n\r\n@media x {\r\n  b {\r\n    c: d\r\n"
                     "  }\r\n}\r\n");
    EXPECT_EQ(memo.Text().substr(size_t(memo.SelStart()) + 1, 2), "ed"); // one CR LF before it
    Run(Form->FormatAction); // already formatted: no empty undo step
    Run(Form->MinifyAction);
    EXPECT_EQ(Css(), "a{color:red}@media x{b{c:d}}");
    Run(Form->UndoAction);
    Run(Form->UndoAction);
    EXPECT_EQ(Css(), "a{color:red}\r\n@media x{b{c:d}}");

    // A selection formats its whole lines from the depth they stand at.
    memo.SetText("@media x{\r\na{b:c}\r\n}");
    memo.SetSelection(12, 13);
    Run(Form->FormatAction);
    EXPECT_EQ(Css(), "@media x{\r\n  a {\r\n    b: c\r\n  }\r\n}");

    // Lines that start inside a comment or a string keep what is inside it.
    for (const std::string text :
         {"/* a{b:c}\r\nd  {e:f}  */x{}", "p{content:\"a\\\r\nb  {c:d}\"}"}) {
        memo.SetText(text);
        memo.SetSelection(14, 15);
        Run(Form->FormatAction);
        const std::string lines = text.substr(text.find('\n') + 1);
        EXPECT_NE(Css().find(lines.substr(0, lines.find('}') + 1)), std::string::npos) << Css();
        Run(Form->MinifyAction);
        EXPECT_NE(Css().find(lines.substr(0, lines.find('}') + 1)), std::string::npos) << Css();
    }

    // Only the blanks between tokens change: a control byte in a string is saved as it came.
    Write("ctl.css", "a{b:\"x\x01y\"}\n");
    Form->OpenFile(Path("ctl.css"));
    Run(Form->FormatAction);
    Run(Form->SaveAction);
    EXPECT_EQ(Read("ctl.css"), "a {\n  b: \"x\x01y\"\n}\n");
    Run(Form->UndoAction); // one step
    EXPECT_EQ(Css(), "a{b:\"x.y\"}\r\n");
}

} // namespace quillet::test
