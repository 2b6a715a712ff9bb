// Help, the About panel's links, and the label that opens them.
#include "MainFormFixture.h"

#include "app/HelpWindow.h"
#include "highlight/KeyboardActionController.h"
#include "widgets/HyperlinkLabel.h"

#include <QApplication>
#include <QMouseEvent>
#include <QTest>
#include <QTextBrowser>

namespace quillet::test {

namespace {
void Press(QWidget* w, Qt::MouseButton button) {
    QMouseEvent e(QEvent::MouseButtonPress, QPointF(2, 2), QPointF(2, 2), button, button,
                  Qt::NoModifier);
    QApplication::sendEvent(w, &e);
}
} // namespace

// F1 from the editor opens the program's own help, whose key list is the editor's live table.
TEST_F(MainFormTest, F1OpensTheHelpWithTheEditorsCurrentKeys) {
    Form->show();
    Form->activateWindow();
    ASSERT_TRUE(QTest::qWaitForWindowActive(Form.get()));
    QTest::keyClick(QApplication::focusWidget(), Qt::Key_F1);
    THelpWindow* help = Form->HelpWindow();
    ASSERT_NE(help, nullptr);
    EXPECT_TRUE(help->isVisible());
    EXPECT_EQ(help->windowTitle(), QString::fromUtf8("Справка Quillet"));
    QString text = help->Browser()->toPlainText();
    for (const char* part :
         {"Окно программы", "Построитель селекторов", "Просмотр", "Клавиши редактора"})
        EXPECT_TRUE(text.contains(QString::fromUtf8(part))) << part;
    EXPECT_TRUE(text.contains(QString::fromUtf8("Клавиши\nКоманда\nLeft\nКурсор влево")));
    EXPECT_TRUE(text.contains(QString::fromUtf8("Ctrl+K, I\nСдвинуть выделенный блок вправо")))
        << text.toStdString();
    EXPECT_TRUE(Dialogs->Calls().empty());
    EXPECT_TRUE(Shell->Calls().empty());

    // A binding changed in the editor shows the next time help is asked for; the same window.
    TKeyboardActionContoller& keys = Form->MainCodeMemo().ActiveSettings().KeyStore;
    keys.Clear();
    keys.SetCommandName(77, "Sort <lines> & more");
    keys.AddBinding(TextToShortCut("Ctrl+K"), TextToShortCut("S"), 77);
    keys.AddBinding(TextToShortCut("Alt+U"), 0, kcUndo);
    keys.AddBinding(TextToShortCut("Ctrl+Z"), 0, kcUndo);
    help->hide();
    QTest::keyClick(QApplication::focusWidget(), Qt::Key_F1);
    EXPECT_EQ(Form->HelpWindow(), help);
    EXPECT_TRUE(help->isVisible());
    text = help->Browser()->toPlainText();
    EXPECT_TRUE(text.contains(QString::fromUtf8("Alt+U; Ctrl+Z\nОтменить"))) << text.toStdString();
    EXPECT_TRUE(text.contains(QString::fromUtf8("Ctrl+K, S\nSort <lines> & more")));
    EXPECT_FALSE(text.contains(QString::fromUtf8("Сдвинуть выделенный блок вправо")));
}

TEST_F(MainFormTest, TheAboutLinksOpenTheSiteAndTheMailAddress) {
    Press(Form->SiteLinkLabel, Qt::LeftButton);
    Press(Form->MailLinkLabel, Qt::LeftButton);
    Press(Form->MailLinkLabel, Qt::RightButton);
    Form->MailLinkLabel->setEnabled(false);
    Press(Form->MailLinkLabel, Qt::LeftButton);
    EXPECT_EQ(Shell->Calls(), (std::vector<std::string>{"open http://www.quillet.example.org",
                                                        "open mailto:author@quillet.example.org"}));
    EXPECT_TRUE(Dialogs->Calls().empty());

    // A desktop with nothing to open the address says so instead of doing nothing.
    Shell->SetOpens(false);
    Dialogs->QueueAnswer(mrOk);
    Press(Form->SiteLinkLabel, Qt::LeftButton);
    ASSERT_EQ(Dialogs->Calls().size(), 1u);
    EXPECT_EQ(
        Dialogs->Calls()[0].Text,
        "Не удалось открыть «http://www.quillet.example.org" +
            std::string("»: на этом компьютере нет программы, которая открывает такие ссылки."));
    EXPECT_EQ(Dialogs->Calls()[0].Title, "Quillet");
    EXPECT_EQ(Dialogs->Calls()[0].Type, mtWarning);
}

TEST(HyperlinkLabelTest, TargetsAndColours) {
    EXPECT_EQ(HyperlinkTarget("a@b"), "mailto:a@b");
    EXPECT_EQ(HyperlinkTarget("x.org/@home"), "mailto:x.org/@home"); // "@" anywhere
    EXPECT_EQ(HyperlinkTarget("http://x.org"), "http://http://x.org");
    THyperlinkLabel label;
    EXPECT_TRUE(label.font().underline());
    EXPECT_EQ(label.CurrentColor(), label.PassiveColor());
    label.SetActiveColor(clRed);
    QEnterEvent enter(QPointF(1, 1), QPointF(1, 1), QPointF(1, 1));
    QApplication::sendEvent(&label, &enter);
    EXPECT_EQ(label.CurrentColor(), clRed);
    EXPECT_EQ(label.palette().color(QPalette::WindowText), QColor(255, 0, 0));
    label.SetFlat(false); // not flat: never the active colour
    EXPECT_EQ(label.CurrentColor(), label.PassiveColor());
    label.SetFlat(true);
    QEvent leave(QEvent::Leave);
    QApplication::sendEvent(&label, &leave);
    EXPECT_EQ(label.CurrentColor(), label.PassiveColor());
}

} // namespace quillet::test
