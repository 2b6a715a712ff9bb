// Help, the About panel's links, and the label that opens them.
#include "MainFormFixture.h"

#include "widgets/HyperlinkLabel.h"

#include <QApplication>
#include <QMouseEvent>

namespace quillet::test {

namespace {
void Press(QWidget* w, Qt::MouseButton button) {
    QMouseEvent e(QEvent::MouseButtonPress, QPointF(2, 2), QPointF(2, 2), button, button,
                  Qt::NoModifier);
    QApplication::sendEvent(w, &e);
}
} // namespace

TEST_F(MainFormTest, HelpSaysWhereTheProgramBelongsUnlessTheSuiteIsInstalled) {
    Dialogs->QueueAnswer(mrOk);
    Form->findChild<QAction*>("MMHHelp")->trigger();
    ASSERT_EQ(Dialogs->Calls().size(), 1u);
    const auto& call = Dialogs->Calls()[0];
    EXPECT_EQ(call.Text, "Программа Quillet входит в состав утилит программы Brovix "
                         "(www.quillet.example.org)\r\n и описание программы входит также в "
                         "состав пакета.");
    EXPECT_EQ(call.Title, "Quillet");
    EXPECT_EQ(call.Type, mtInformation);
    EXPECT_EQ(call.Buttons, mbOK);
    EXPECT_TRUE(Shell->Calls().empty());

    // With the suite alongside, its help is asked for even when the file is missing.
    Write("Brovix.exe", "");
    Form->findChild<QAction*>("MMHHelp")->trigger();
    EXPECT_EQ(Dialogs->Calls().size(), 1u);
    EXPECT_EQ(Shell->Calls(), std::vector<std::string>{"help " + Path("Help/brovix.hlp") + " 69"});
}

TEST_F(MainFormTest, TheAboutLinksOpenTheSiteAndTheMailAddress) {
    Press(Form->SiteLinkLabel, Qt::LeftButton);
    Press(Form->MailLinkLabel, Qt::LeftButton);
    Press(Form->MailLinkLabel, Qt::RightButton);
    Form->MailLinkLabel->setEnabled(false);
    Press(Form->MailLinkLabel, Qt::LeftButton);
    EXPECT_EQ(Shell->Calls(), (std::vector<std::string>{"open http://www.quillet.example.org",
                                                        "open mailto:author@quillet.example.org"}));
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
