// The lint in the window: marks under the problems, their messages over the marks, the
// "Проблемы" list in the "Вид" menu that jumps to each, and completion in the CSS editor.
#include "MainFormFixture.h"

#include "editor/LineTrack.h"
#include "widgets/CodeMemoWidget.h"

#include <QApplication>
#include <QHelpEvent>
#include <QListWidget>
#include <QMenu>
#include <QMenuBar>
#include <QSignalSpy>
#include <QTest>
#include <QToolTip>

namespace quillet::test {

TEST_F(MainFormTest, ProblemsAreMarkedListedAndFollowEdits) {
    Form->FormCreate();
    TCodeMemo& memo = Form->MainCodeMemo();
    QMenu* view = Form->menuBar()->findChild<QMenu*>(QStringLiteral("ViewMenu"));
    ASSERT_NE(view, nullptr);
    EXPECT_TRUE(view->actions().contains(Form->ProblemsAction));

    memo.SetText("a {\r  colr: red;\r}\rb { color: #12345 }\r");
    // Linting waits for a pause in typing; the window's idle time comes here.
    QTRY_COMPARE(Form->ProblemsList()->count(), 2);
    EXPECT_EQ(Form->ProblemsList()->item(0)->text().toStdString(),
              "2:3: unknown property 'colr'; did you mean 'color'?");
    EXPECT_EQ(Form->ProblemsList()->item(1)->text().toStdString(),
              "4:12: invalid hex colour '#12345'");
    EXPECT_EQ(Form->LintProblemAt(7), 0);
    EXPECT_EQ(Form->LintProblemAt(2), -1);
    // A tooltip asked over the mark tells its message.
    Form->show();
    TPoint at{};
    memo.Perform(EM_POSFROMCHAR, WPARAM(&at), 7);
    QWidget* viewport = Form->MainCodeMemoWidget()->viewport();
    QHelpEvent help(QEvent::ToolTip, QPoint(at.X + 2, at.Y + 4),
                    viewport->mapToGlobal(QPoint(at.X + 2, at.Y + 4)));
    QApplication::sendEvent(viewport, &help);
    EXPECT_EQ(QToolTip::text().toStdString(), "unknown property 'colr'; did you mean 'color'?");

    // An edit before the problems moves their marks; a jump lands where the problem is now.
    memo.SetSelStart(0);
    memo.SetSelText("/* x */\r");
    EXPECT_EQ(Form->LintProblemAt(15), 0);
    Form->GotoProblem(1);
    EXPECT_EQ(memo.SelText(), "#12345");

    // Mended text clears the list and the marks.
    memo.SetText("a { color: red }\r");
    Form->RunLint();
    EXPECT_EQ(Form->ProblemsList()->count(), 0);
    EXPECT_EQ(memo.LineTracker().Marks().Count(), 0u);
}

TEST_F(MainFormTest, CssEditorCompletesAsYouType) {
    Form->FormCreate();
    TCodeMemo& memo = Form->MainCodeMemo();
    EXPECT_TRUE(memo.AutoComplete());
    EXPECT_FALSE(Form->EditorCodeMemo().AutoComplete());
    memo.SetText("a {\r  \r}");
    memo.SetSelStart(6);
    Form->MainCodeMemoWidget()->setFocus();
    QTest::keyClicks(Form->MainCodeMemoWidget(), "z-ind");
    EXPECT_TRUE(memo.CompletionShown());
    QTest::keyClick(Form->MainCodeMemoWidget(), Qt::Key_Return);
    EXPECT_EQ(memo.Text(), "a {\r\n  z-index: \r\n}");
    // Ctrl+Space through the window's keyboard path; Escape closes and leaves the text.
    QTest::keyClick(Form->MainCodeMemoWidget(), Qt::Key_Space, Qt::ControlModifier);
    EXPECT_TRUE(memo.CompletionShown());
    QTest::keyClick(Form->MainCodeMemoWidget(), Qt::Key_Escape);
    EXPECT_FALSE(memo.CompletionShown());
    EXPECT_EQ(memo.Text(), "a {\r\n  z-index: \r\n}");
}

} // namespace quillet::test
