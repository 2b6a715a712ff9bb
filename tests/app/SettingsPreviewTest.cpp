// The settings the window keeps in the registry, the preview page and the file-name boxes.
#include "MainFormFixture.h"

#include <cerrno>
#include <cstring>

#include "app/FileNameEdit.h"

#include <QCheckBox>
#include <QCoreApplication>
#include <QElapsedTimer>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QTabWidget>
#include <QTimer>
#include <QToolButton>

namespace quillet::test {

namespace {
const std::string Key = "Software\\Orvane\\Quillet";
}

TEST_F(MainFormTest, FirstRunKeepsEveryDefault) {
    Form->FormCreate(); // no key: the guard swallows the read error
    EXPECT_TRUE(Messages().empty());
    EXPECT_TRUE(Form->EditorCheckBox()->isChecked());
    EXPECT_TRUE(Form->LightCodeCheckBox()->isChecked());
    EXPECT_FALSE(Form->LineCheckBox()->isChecked());
    EXPECT_FALSE(Form->GroupedUndoCheckBox()->isChecked());
    EXPECT_TRUE(Form->SaveUndoCheckBox()->isChecked());
    EXPECT_EQ(Form->CssFilenameEdit()->FileName(), "");
    EXPECT_EQ(Form->HtmFilenameEdit()->FileName(), Path("Sample.htm")); // the shipped page
    EXPECT_EQ(Form->EditorPanelHeight(), 145);
    EXPECT_TRUE(Form->windowState() & Qt::WindowMaximized);
}

TEST_F(MainFormTest, SettingsAreReadInOrderUntilTheFirstBadValue) {
    Registry->WriteDword(Key, "EditorState", 1);
    Registry->WriteDword(Key, "LightCode", 0);
    Form->FormCreate();
    EXPECT_FALSE(Form->LightCodeCheckBox()->isChecked());
    // The box's handler ran: highlighting is off, and so are the options it does not set.
    EXPECT_FALSE(Form->MainCodeMemo().HasOption(smoSyntaxHighlight));
    EXPECT_FALSE(Form->MainCodeMemo().HasOption(smoWordSelect));
    EXPECT_TRUE(Form->MainCodeMemo().HasOption(smoAutoIndent));
    EXPECT_TRUE(Form->SaveUndoCheckBox()->isChecked()); // after the missing value: default
    Form->LightCodeCheckBox()->setChecked(true);
    EXPECT_TRUE(Form->MainCodeMemo().HasOption(smoSyntaxHighlight));
    EXPECT_FALSE(Form->MainCodeMemo().HasOption(smoColumnTrack));
    EXPECT_TRUE(Form->EditorCodeMemo().HasOption(smoSyntaxHighlight)); // not its business

    // A stored name no file can have stops the reading there.
    Registry->WriteDword(Key, "LineSel", 5);
    Registry->WriteDword(Key, "GroupUndo", 1);
    Registry->WriteDword(Key, "SaveUndo", 0);
    Registry->WriteString(Key, "CssSample", "bad\x01name.css");
    Registry->WriteString(Key, "HtmSample", "/x/page.htm");
    try {
        Form->LoadSettings();
        FAIL() << "a bad name must raise";
    } catch (const EQuilletError& e) {
        EXPECT_STREQ(e.what(), "Invalid file name - bad\x01name.css");
    }
    EXPECT_TRUE(Form->LineCheckBox()->isChecked()); // 5 reads as on
    EXPECT_TRUE(Form->MainCodeMemo().ShowFocusLine());
    EXPECT_TRUE(Form->GroupedUndoCheckBox()->isChecked());
    EXPECT_FALSE(Form->SaveUndoCheckBox()->isChecked());
    EXPECT_EQ(Form->HtmFilenameEdit()->FileName(), Path("Sample.htm")); // not reached

    // A value of another type raises too; a missing text clears its box.
    Registry->WriteString(Key, "CssSample", "/x/a b.css");
    Registry->DeleteValue(Key, "HtmSample");
    Registry->WriteString(Key, "EditorHeight", "tall");
    EXPECT_THROW(Form->LoadSettings(), EQuilletError);
    EXPECT_EQ(Form->CssFilenameEdit()->FileName(), "/x/a b.css");
    EXPECT_EQ(Form->HtmFilenameEdit()->FileName(), "");
}

TEST_F(MainFormTest, TheHtmlPaneHidesAndComesBackAtItsHeight) {
    Registry->WriteDword(Key, "EditorState", 0);
    Registry->WriteDword(Key, "LightCode", 1);
    Registry->WriteDword(Key, "LineSel", 0);
    Registry->WriteDword(Key, "GroupUndo", 0);
    Registry->WriteDword(Key, "SaveUndo", 1);
    Registry->WriteString(Key, "CssSample", "");
    Registry->WriteString(Key, "HtmSample", Path("page.htm"));
    Registry->WriteDword(Key, "EditorHeight", 0);
    Form->FormCreate();
    EXPECT_FALSE(Form->EditorCheckBox()->isChecked());
    EXPECT_EQ(Form->EditorPanelHeight(), 0);
    Form->EditorCheckBox()->setChecked(true);
    EXPECT_EQ(Form->EditorPanelHeight(), 145);

    Form->SetEditorPanelHeight(180); // the user dragged the bar
    Form->EditorCheckBox()->setChecked(false);
    EXPECT_EQ(Form->EditorPanelHeight(), 0);
    Form->EditorCheckBox()->setChecked(true);
    EXPECT_EQ(Form->EditorPanelHeight(), 180);
    Form->EditorCheckBox()->setChecked(false);

    // Closing writes every value, the hidden pane as height 0.
    ASSERT_TRUE(Form->close());
    EXPECT_EQ(Registry->ReadDword(Key, "EditorState"), 0u);
    EXPECT_EQ(Registry->ReadDword(Key, "EditorHeight"), 0u);
    EXPECT_EQ(Registry->ReadDword(Key, "LightCode"), 1u);
    EXPECT_EQ(Registry->ReadDword(Key, "SaveUndo"), 1u);
    EXPECT_EQ(Registry->ValueType(Key, "CssSample"), rtString);
    EXPECT_EQ(Registry->ReadString(Key, "HtmSample"), Path("page.htm"));
}

TEST_F(MainFormTest, ThePreviewShowsTheSamplePageAndItsEditorSavesIt) {
    // No sample page: the browser is left alone and a note offers to choose one.
    Form->HtmFilenameEdit()->SetFileName("");
    Form->WorkPageControl()->setCurrentIndex(1);
    EXPECT_TRUE(Browser.Calls().empty());
    ASSERT_NE(Form->NoPagePanel(), nullptr);
    EXPECT_EQ(Form->NoPageLabel()->text().toStdString(),
              "Страница-образец для просмотра не задана.");

    Write("page.htm", "<p>hi</p>");
    Dialogs->QueueFile(Path("page.htm"));
    Form->ChoosePageButton->click();
    EXPECT_EQ(Form->HtmFilenameEdit()->FileName(), Path("page.htm"));
    EXPECT_EQ(Form->NoPagePanel(), nullptr);
    EXPECT_EQ(Browser.Calls(),
              std::vector<std::string>{"preview " + Path("page.htm") + " " + Path("Sample.css")});
    EXPECT_EQ(Form->EditorCodeMemo().Text(), "<p>hi</p>");
    EXPECT_FALSE(Form->IsModified()); // the HTML editor has no modified state

    // Unsaved HTML edits outlive the next showing (it read the file over them once); the save
    // button writes them, and a saved page is read again.
    Form->EditorCodeMemo().Perform(WM_CHAR, 'x', 0);
    Form->WorkPageControl()->setCurrentIndex(0);
    Form->WorkPageControl()->setCurrentIndex(1);
    EXPECT_EQ(Form->EditorCodeMemo().Text(), "x<p>hi</p>");
    Form->EditorCodeMemo().Perform(WM_CHAR, 'y', 0);
    Browser.ClearCalls();
    Form->EditorSaveToolButton->click();
    EXPECT_EQ(Read("page.htm"), "xy<p>hi</p>");
    EXPECT_EQ(Browser.Calls(), std::vector<std::string>{"refresh"});
    Write("page.htm", "<p>new</p>");
    Form->WorkPageControl()->setCurrentIndex(0);
    Form->WorkPageControl()->setCurrentIndex(1);
    EXPECT_EQ(Form->EditorCodeMemo().Text(), "<p>new</p>");

    // A save that fails is shown and the browser is not refreshed.
    Browser.ClearCalls();
    Form->HtmFilenameEdit()->SetFileName(Path("no/page.htm"));
    Form->EditorSaveToolButton->click();
    ASSERT_EQ(Messages().size(), 1u);
    EXPECT_EQ(Messages()[0],
              "Cannot create file " + Path("no/page.htm") + ": " + std::strerror(ENOENT));
    EXPECT_TRUE(Browser.Calls().empty());

    // A sample that names no file: the note says which, and the choice can be cancelled.
    Form->WorkPageControl()->setCurrentIndex(0);
    Form->WorkPageControl()->setCurrentIndex(1);
    EXPECT_EQ(Messages().size(), 1u);
    ASSERT_NE(Form->NoPagePanel(), nullptr);
    EXPECT_EQ(Form->NoPageLabel()->text().toStdString(),
              "Страница-образец не найдена:\n" + Path("no/page.htm"));
    Dialogs->QueueFile(std::nullopt);
    Form->ChoosePageButton->click();
    EXPECT_EQ(Form->HtmFilenameEdit()->FileName(), Path("no/page.htm"));
    EXPECT_TRUE(Browser.Calls().empty());
}

TEST_F(MainFormTest, AnotherSamplePageOrClosingAsksWhatBecomesOfTheEditedOne) {
    Write("one.htm", "<p>one</p>");
    Write("two.htm", "<p>two</p>");
    const std::string question =
        "Страница-образец " + Path("one.htm") + " была изменена. Сохранить изменения?";
    auto edit = [&] {
        Form->HtmFilenameEdit()->SetFileName(Path("one.htm"));
        Form->WorkPageControl()->setCurrentIndex(1);
        Form->EditorCodeMemo().Perform(WM_CHAR, 'x', 0);
        Form->WorkPageControl()->setCurrentIndex(0);
        Form->HtmFilenameEdit()->SetFileName(Path("two.htm"));
    };
    // Cancel: the edited page stays, with its edits, and so does its name.
    edit();
    Dialogs->QueueAnswer(mrCancel);
    Form->WorkPageControl()->setCurrentIndex(1);
    ASSERT_EQ(Messages(), std::vector<std::string>{question});
    EXPECT_EQ(Form->EditorCodeMemo().Text(), "x<p>one</p>");
    EXPECT_EQ(Form->HtmFilenameEdit()->FileName(), Path("one.htm"));
    // Closing asks too, and a cancel keeps the window.
    Dialogs->QueueAnswer(mrCancel);
    EXPECT_FALSE(Form->close());
    EXPECT_EQ(Messages().size(), 2u);
    // No: the other page is read over the edits, which were never written.
    Form->WorkPageControl()->setCurrentIndex(0);
    Form->HtmFilenameEdit()->SetFileName(Path("two.htm"));
    Dialogs->QueueAnswer(mrNo);
    Form->WorkPageControl()->setCurrentIndex(1);
    EXPECT_EQ(Form->EditorCodeMemo().Text(), "<p>two</p>");
    EXPECT_EQ(Read("one.htm"), "<p>one</p>");
    // Yes: the edits are written to their own page before the other is read.
    Form->WorkPageControl()->setCurrentIndex(0);
    edit();
    Dialogs->QueueAnswer(mrYes);
    Form->WorkPageControl()->setCurrentIndex(1);
    EXPECT_EQ(Read("one.htm"), "x<p>one</p>");
    EXPECT_EQ(Read("two.htm"), "<p>two</p>");
    EXPECT_EQ(Form->EditorCodeMemo().Text(), "<p>two</p>");
    EXPECT_EQ(Messages().size(), 4u);
}

TEST_F(MainFormTest, TheHtmlSaveButtonAsksBeforeItPutsThePageOverAnotherFile) {
    Write("one.htm", "<p>one</p>");
    Write("two.htm", "<p>two</p>");
    Form->HtmFilenameEdit()->SetFileName(Path("one.htm"));
    Form->WorkPageControl()->setCurrentIndex(1);
    Form->EditorCodeMemo().Perform(WM_CHAR, 'x', 0);
    // The box now names another page that exists: No writes nothing, Yes writes it there.
    Form->HtmFilenameEdit()->SetFileName(Path("two.htm"));
    for (TModalResult answer : {mrNo, mrYes}) {
        Dialogs->QueueAnswer(answer);
        Form->EditorSaveToolButton->click();
        ASSERT_FALSE(Messages().empty());
        EXPECT_EQ(Messages().back(), "Файл " + Path("two.htm") +
                                         " уже существует, а в редакторе страница " +
                                         Path("one.htm") + ". Записать её текст в этот файл?");
        EXPECT_EQ(Read("two.htm"), answer == mrYes ? "x<p>one</p>" : "<p>two</p>");
    }
    EXPECT_EQ(Read("one.htm"), "<p>one</p>");
    // From then on the text belongs to that file, and a new name is written without a question.
    Form->EditorSaveToolButton->click();
    Form->HtmFilenameEdit()->SetFileName(Path("three.htm"));
    Form->EditorSaveToolButton->click();
    EXPECT_EQ(Read("three.htm"), "x<p>one</p>");
    EXPECT_EQ(Messages().size(), 2u);
}

TEST_F(MainFormTest, TextTypedWithNoSamplePageIsAskedAboutAndSavedWhereTheUserSays) {
    Write("two.htm", "<p>two</p>");
    const std::string question = "Страница-образец без имени была изменена. Сохранить изменения?";
    auto edit = [&] {
        Form->HtmFilenameEdit()->SetFileName("");
        Form->WorkPageControl()->setCurrentIndex(1);
        Form->EditorCodeMemo().SetText("");
        Form->EditorCodeMemo().Perform(WM_CHAR, 'x', 0);
        Form->WorkPageControl()->setCurrentIndex(0);
        Form->HtmFilenameEdit()->SetFileName(Path("two.htm"));
    };
    // Cancel, in the question or in the file dialog: the text stays, with no page named.
    for (bool inDialog : {false, true}) {
        edit();
        Dialogs->QueueAnswer(inDialog ? mrYes : mrCancel);
        if (inDialog) Dialogs->QueueFile(std::nullopt);
        Form->WorkPageControl()->setCurrentIndex(1);
        ASSERT_FALSE(Messages().empty());
        EXPECT_EQ(Messages().back(), question);
        EXPECT_EQ(Form->EditorCodeMemo().Text(), "x");
        EXPECT_EQ(Form->HtmFilenameEdit()->FileName(), "");
        Form->WorkPageControl()->setCurrentIndex(0);
    }
    // Yes and a name: written there before the chosen page is read.
    edit();
    Dialogs->QueueAnswer(mrYes);
    Dialogs->QueueFile(Path("typed.htm"));
    Form->WorkPageControl()->setCurrentIndex(1);
    EXPECT_EQ(Read("typed.htm"), "x");
    EXPECT_EQ(Form->EditorCodeMemo().Text(), "<p>two</p>");
    EXPECT_EQ(Messages().size(), 3u);
}

TEST_F(MainFormTest, TheLivePreviewShowsBothEditorsTextsWithoutWritingAFile) {
    // Waits for typing to pause as the user would, without a fixed sleep.
    auto settle = [this] {
        QElapsedTimer clock;
        clock.start();
        while (Form->PreviewTimer()->isActive() && clock.elapsed() < 5000)
            QCoreApplication::processEvents(QEventLoop::AllEvents, 20);
        EXPECT_FALSE(Form->PreviewTimer()->isActive());
    };
    Write("page.htm", "<link rel=stylesheet href=a.css><p>hi</p>");
    Write("a.css", "p{}");
    Dialogs->QueueFile(Path("a.css"));
    Run(Form->MMFOpen);
    Form->HtmFilenameEdit()->SetFileName(Path("page.htm"));
    Type("x"); // on the CSS page the preview waits until it is shown
    settle();
    EXPECT_TRUE(Browser.Calls().empty());
    Form->WorkPageControl()->setCurrentIndex(1);
    EXPECT_EQ(Browser.Preview().Page, Path("page.htm"));
    EXPECT_EQ(Browser.Preview().PageText, "<link rel=stylesheet href=a.css><p>hi</p>");
    EXPECT_EQ(Browser.Preview().Sheet, Path("a.css"));
    EXPECT_EQ(Browser.Preview().SheetText, "xp{}");

    // Typing in either editor reaches the browser once it pauses; no file changes.
    Browser.ClearCalls();
    Form->EditorCodeMemo().Perform(WM_CHAR, 'z', 0);
    Form->MainCodeMemo().Perform(WM_CHAR, 'y', 0);
    EXPECT_EQ(Form->PreviewTimer()->interval(), 300);
    settle();
    EXPECT_EQ(Browser.Calls().size(), 1u); // one update for the whole burst
    EXPECT_EQ(Browser.Preview().PageText, "z<link rel=stylesheet href=a.css><p>hi</p>");
    EXPECT_EQ(Browser.Preview().SheetText, "xyp{}");
    EXPECT_EQ(Read("a.css"), "p{}");
    EXPECT_EQ(Read("page.htm"), "<link rel=stylesheet href=a.css><p>hi</p>");
    EXPECT_TRUE(Form->IsModified());

    // F5 shows the texts again; an untitled document stands for Sample.css beside the page.
    Browser.ClearCalls();
    Run(Form->RefreshAction);
    EXPECT_EQ(Browser.Calls().size(), 1u);
    Write("Sample.htm", "<p>shipped</p>");
    Dialogs->QueueAnswer(mrNo);
    Run(Form->NewAction);       // back to the shipped page
    Dialogs->QueueAnswer(mrNo); // and the edits to the old one are dropped
    Form->WorkPageControl()->setCurrentIndex(1);
    EXPECT_EQ(Browser.Preview().PageText, "<p>shipped</p>");
    EXPECT_EQ(Browser.Preview().Sheet, Path("Sample.css"));
    EXPECT_EQ(Browser.Preview().SheetText, "");
}

TEST(FileNameEditTest, NamesWithBlanksAreShownQuotedAndHandedOutPlain) {
    TFileNameEdit edit;
    edit.SetFileName("/tmp/my file.css");
    EXPECT_EQ(edit.Edit()->text().toStdString(), "\"/tmp/my file.css\"");
    EXPECT_EQ(edit.FileName(), "/tmp/my file.css");
    edit.SetFileName("\"/tmp/quoted.css\"");
    EXPECT_EQ(edit.FileName(), "/tmp/quoted.css");
    edit.SetFileName("");
    EXPECT_EQ(edit.FileName(), "");
    edit.SetFileName("/tmp/a?b|c*.css"); // what the system allows, the box allows
    EXPECT_EQ(edit.FileName(), "/tmp/a?b|c*.css");
    for (const char* bad : {"a\tb", "a\nb", "a\x7f"})
        EXPECT_THROW(edit.SetFileName(bad), EQuilletError) << bad;
    EXPECT_EQ(edit.FileName(), "/tmp/a?b|c*.css");
    // A name in another code page is handed out as its bytes until the user edits it.
    edit.SetFileName("/tmp/caf\xE9 1.css");
    EXPECT_EQ(edit.FileName(), "/tmp/caf\xE9 1.css");
    edit.Edit()->setText(QStringLiteral("/tmp/b.css"));
    EXPECT_EQ(edit.FileName(), "/tmp/b.css");
}

} // namespace quillet::test
