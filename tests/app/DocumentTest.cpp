// The document commands of the main window and the state its two captions hold.
#include "MainFormFixture.h"

#include <cerrno>
#include <cstring>

#include "app/FileNameEdit.h"
#include "editor/TextStore.h"
#include "editor/UndoStack.h"
#include <QToolButton>

#include <QAction>
#include <QCheckBox>
#include <QToolButton>

namespace quillet::test {

namespace {
const std::string Confirm = "Текущий файл был изменен. Сохранить измения?";
}

TEST_F(MainFormTest, StartsUntitledAndCleanAndTypingMarksTheDocument) {
    EXPECT_EQ(Title(), "Quillet");
    EXPECT_EQ(Form->PageCaption(), "Css");
    EXPECT_EQ(Form->FileName(), "");
    EXPECT_FALSE(Form->IsModified());
    Type("a{}");
    EXPECT_EQ(Form->PageCaption(), "*Css");
    Type("b");
    EXPECT_EQ(Form->PageCaption(), "*Css"); // one star, however many changes
    EXPECT_EQ(Title(), "Quillet");
}

TEST_F(MainFormTest, SaveOfAnUntitledDocumentIsSaveAsAndAddsTheExtension) {
    Type("p{}");
    Dialogs->QueueFile(Path("first"));
    Run(Form->SaveAction);
    ASSERT_EQ(Dialogs->Calls().size(), 1u);
    const auto& call = Dialogs->Calls()[0];
    EXPECT_EQ(call.Kind, TScriptedDialogs::dkSave);
    EXPECT_EQ(call.FileOptions.Title, "Сохранение файла Css");
    EXPECT_EQ(call.FileOptions.Filter, "Файлы Css|*.css");
    EXPECT_EQ(call.FileOptions.DefaultExt, "css");
    EXPECT_FALSE(call.FileOptions.OverwritePrompt);
    EXPECT_EQ(Read("first.css"), "p{}");
    EXPECT_EQ(Title(), "Quillet :: " + Path("first.css"));
    EXPECT_EQ(Form->FileName(), Path("first.css"));
    EXPECT_EQ(Form->PageCaption(), "Css");

    // A named document saves without a dialog; Save As always asks and overwrites silently.
    Type("x");
    Run(Form->SaveAction);
    EXPECT_EQ(Dialogs->Calls().size(), 1u);
    EXPECT_EQ(Read("first.css"), "p{}x");
    Write("other.css", "old contents");
    Dialogs->QueueFile(Path("other.css"));
    Run(Form->SaveAsAction);
    EXPECT_EQ(Read("other.css"), "p{}x");
    EXPECT_EQ(Form->FileName(), Path("other.css"));
    EXPECT_TRUE(Messages().empty());
}

TEST_F(MainFormTest, OpenAsksOnlyForAModifiedDocumentAndBeforeItsDialog) {
    Write("a.css", "a { color: red; }");
    Write("b.css", "b { margin: 0; }");
    Dialogs->QueueFile(Path("a.css"));
    Run(Form->MMFOpen);
    ASSERT_EQ(Dialogs->Calls().size(), 1u); // clean: no question
    EXPECT_EQ(Dialogs->Calls()[0].Kind, TScriptedDialogs::dkOpen);
    EXPECT_EQ(Dialogs->Calls()[0].FileOptions.Title, "Открытие файлов Css");
    EXPECT_EQ(Dialogs->Calls()[0].FileOptions.Filter, "Файлы Css|*.css|Все файлы|*.*");
    EXPECT_EQ(Css(), "a { color: red; }");
    EXPECT_EQ(Title(), "Quillet :: " + Path("a.css"));
    EXPECT_EQ(Form->PageCaption(), "Css"); // the load's own change is forgotten
    EXPECT_EQ(Form->CssFilenameEdit()->FileName(), Path("a.css"));

    // No: the changes are dropped, the question comes first.
    Type("zz");
    Dialogs->ClearCalls();
    Dialogs->QueueAnswer(mrNo);
    Dialogs->QueueFile(Path("b.css"));
    Form->OpenToolButton->click();
    ASSERT_EQ(Dialogs->Calls().size(), 2u);
    EXPECT_EQ(Dialogs->Calls()[0].Kind, TScriptedDialogs::dkMessage);
    EXPECT_EQ(Dialogs->Calls()[0].Text, Confirm);
    EXPECT_EQ(Dialogs->Calls()[0].Title, "Подтверждение");
    EXPECT_EQ(Dialogs->Calls()[0].Type, mtConfirmation);
    EXPECT_EQ(Dialogs->Calls()[0].Buttons, mbYesNoCancel);
    EXPECT_EQ(Css(), "b { margin: 0; }");
    EXPECT_EQ(Read("a.css"), "a { color: red; }");

    // Cancel: nothing changes and no dialog follows; a cancelled open dialog changes nothing.
    Type("q");
    Dialogs->ClearCalls();
    Dialogs->QueueAnswer(mrCancel);
    Run(Form->MMFOpen);
    EXPECT_EQ(Dialogs->Calls().size(), 1u);
    EXPECT_EQ(Css(), "qb { margin: 0; }");
    EXPECT_EQ(Form->PageCaption(), "*Css");
    Dialogs->QueueAnswer(mrNo);
    Dialogs->QueueFile(std::nullopt);
    Run(Form->MMFOpen);
    EXPECT_EQ(Css(), "qb { margin: 0; }");
    EXPECT_EQ(Title(), "Quillet :: " + Path("b.css"));
    EXPECT_FALSE(Dialogs->AnswersLeft());
}

TEST_F(MainFormTest, YesSavesUnderANewNameBeforeTheCommandGoesOn) {
    Write("a.css", "a{}");
    Dialogs->QueueFile(Path("a.css"));
    Run(Form->MMFOpen);
    Type("x");
    // Yes shows the save dialog even for a named document, then the open goes on.
    Dialogs->QueueAnswer(mrYes);
    Dialogs->QueueFile(Path("kept.css"));
    Write("b.css", "b{}");
    Dialogs->QueueFile(Path("b.css"));
    Run(Form->MMFOpen);
    EXPECT_EQ(Read("kept.css"), "xa{}");
    EXPECT_EQ(Read("a.css"), "a{}");
    EXPECT_EQ(Css(), "b{}");
    EXPECT_EQ(Title(), "Quillet :: " + Path("b.css"));
}

TEST_F(MainFormTest, YesThenACancelledOrFailedSaveKeepsTheUnsavedText) {
    Type("precious");
    // The save dialog is cancelled: the open stops, nothing is lost.
    Dialogs->QueueAnswer(mrYes);
    Dialogs->QueueFile(std::nullopt);
    Run(Form->MMFOpen);
    EXPECT_EQ(Dialogs->Calls().size(), 2u); // question and save dialog, no open dialog
    EXPECT_EQ(Css(), "precious");
    EXPECT_EQ(Form->PageCaption(), "*Css");

    // The save fails: its error is shown and New does not clear the text.
    Dialogs->ClearCalls();
    Dialogs->QueueAnswer(mrYes);
    Dialogs->QueueFile(Path("missing-folder/x.css"));
    Run(Form->NewAction);
    ASSERT_EQ(Messages().size(), 2u);
    EXPECT_EQ(Messages()[1],
              "Cannot create file " + Path("missing-folder/x.css") + ": " + std::strerror(ENOENT));
    EXPECT_EQ(Css(), "precious");
    EXPECT_EQ(Form->PageCaption(), "*Css");
    EXPECT_EQ(Title(), "Quillet");
}

TEST_F(MainFormTest, AFailedLoadOrSaveLeavesCaptionsAndNamesAsTheyWere) {
    Write("a.css", "a{}");
    Dialogs->QueueFile(Path("a.css"));
    Run(Form->MMFOpen);
    Type("y");
    Dialogs->QueueAnswer(mrNo);
    Dialogs->QueueFile(Path("gone.css"));
    Run(Form->MMFOpen);
    ASSERT_EQ(Messages().size(), 2u);
    EXPECT_EQ(Messages()[1], "File '" + Path("gone.css") + "' cannot be opened for reading" + ": " +
                                 std::strerror(ENOENT));
    EXPECT_EQ(Dialogs->Calls().back().Type, mtError);
    EXPECT_EQ(Title(), "Quillet :: " + Path("a.css"));
    EXPECT_EQ(Form->CssFilenameEdit()->FileName(), Path("a.css"));
    EXPECT_EQ(Css(), "ya{}");
    EXPECT_EQ(Form->PageCaption(), "*Css");

    Dialogs->ClearCalls();
    Dialogs->QueueFile(Path("no/such/dir.css"));
    Run(Form->SaveAsAction);
    ASSERT_EQ(Messages().size(), 1u);
    EXPECT_EQ(Messages()[0],
              "Cannot create file " + Path("no/such/dir.css") + ": " + std::strerror(ENOENT));
    EXPECT_EQ(Title(), "Quillet :: " + Path("a.css"));
    EXPECT_EQ(Form->PageCaption(), "*Css");
}

TEST_F(MainFormTest, ASaveThatWouldLeaveTheFilesCodePageAsksFirst) {
    const std::string cp1251 = "\xCF\xF0\xE8 {}"; // "При {}"
    Write("ru.css", cp1251);
    Dialogs->QueueFile(Path("ru.css"));
    Run(Form->MMFOpen);
    Form->MainCodeMemo().Perform(WM_CHAR, 0xE9, 0); // é: not in the code page
    Dialogs->ClearCalls();
    Dialogs->QueueAnswer(mrNo);
    Run(Form->SaveAction);
    ASSERT_EQ(Messages().size(), 1u);
    const std::string question =
        "В кодировке Windows-1251 нет некоторых символов текста. Сохранить файл ";
    EXPECT_EQ(Messages()[0], question + Path("ru.css") + " в UTF-8?");
    EXPECT_EQ(Read("ru.css"), cp1251); // No: nothing written, the changes kept
    EXPECT_EQ(Form->PageCaption(), "*Css");
    Dialogs->QueueAnswer(mrYes);
    Run(Form->SaveAction);
    EXPECT_EQ(Read("ru.css"), "\xC3\xA9\xD0\x9F\xD1\x80\xD0\xB8 {}");
    EXPECT_EQ(Form->PageCaption(), "Css");
    // Now UTF-8, the document saves without a question.
    Dialogs->ClearCalls();
    Type("x");
    Run(Form->SaveAction);
    EXPECT_TRUE(Messages().empty());
}

TEST_F(MainFormTest, NewClearsTheTextAndResetsOnlyTheSamplePage) {
    Write("a.css", "a{}");
    Dialogs->QueueFile(Path("a.css"));
    Run(Form->MMFOpen);
    Run(Form->NewAction); // clean: no question
    EXPECT_TRUE(Dialogs->Calls().size() == 1u);
    EXPECT_EQ(Css(), "");
    EXPECT_EQ(Title(), "Quillet");
    EXPECT_EQ(Form->PageCaption(), "Css");
    EXPECT_EQ(Form->HtmFilenameEdit()->FileName(), Path("Sample.htm"));
    EXPECT_EQ(Form->CssFilenameEdit()->FileName(), Path("a.css"));
    EXPECT_FALSE(Form->MainCodeMemo().CanUndo());
}

TEST_F(MainFormTest, SaveKeepsTheUndoLogOnlyWhenAsked) {
    Dialogs->QueueFile(Path("u.css"));
    Type("ab");
    Run(Form->SaveAsAction); // Save As always clears it
    EXPECT_FALSE(Form->MainCodeMemo().CanUndo());
    Type("cd");
    ASSERT_TRUE(Form->SaveUndoCheckBox()->isChecked());
    Run(Form->SaveAction);
    EXPECT_EQ(Read("u.css"), "abcd");
    EXPECT_TRUE(Form->MainCodeMemo().CanUndo());
    Form->MainCodeMemo().Undo(); // the edit before the save comes undone
    EXPECT_EQ(Css(), "abc");
    Form->MainCodeMemo().Redo();
    EXPECT_EQ(Css(), "abcd");

    // The log survives a save that fails.
    std::filesystem::remove_all(Folder);
    Type("e");
    Run(Form->SaveAction);
    ASSERT_EQ(Messages().size(), 1u);
    EXPECT_EQ(Messages()[0], "Cannot create file " + Path("u.css") + ": " + std::strerror(ENOENT));
    ASSERT_TRUE(Form->MainCodeMemo().CanUndo());
    TUndoStack* undo = Form->MainCodeMemo().Store().UndoStack();
    ASSERT_NE(undo, nullptr);
    Form->MainCodeMemo().Undo();
    EXPECT_EQ(Css(), "abcd");

    // Without the box the ordinary save clears the log.
    std::filesystem::create_directories(Folder);
    Form->SaveUndoCheckBox()->setChecked(false);
    Type("f");
    Run(Form->SaveAction);
    EXPECT_FALSE(Form->MainCodeMemo().CanUndo());
    EXPECT_EQ(Form->PageCaption(), "Css");
}

TEST_F(MainFormTest, ClosingAModifiedDocumentCanBeCancelled) {
    Type("x");
    // The editors' find windows stay while the window does, and go with it.
    Form->MainCodeMemo().Perform(SM_REPLACE, 0, 0);
    Form->EditorCodeMemo().Perform(SM_FIND, 0, 0);
    Dialogs->QueueAnswer(mrCancel);
    EXPECT_FALSE(Form->close());
    EXPECT_TRUE(Dialogs->FindDialog(fdkReplace)->Visible());
    EXPECT_FALSE(Registry->KeyExists("Software\\Orvane\\Quillet")); // no settings written
    EXPECT_EQ(Css(), "x");

    // Yes with a cancelled save dialog keeps the window open too.
    Dialogs->QueueAnswer(mrYes);
    Dialogs->QueueFile(std::nullopt);
    EXPECT_FALSE(Form->close());
    EXPECT_FALSE(Registry->KeyExists("Software\\Orvane\\Quillet"));

    Dialogs->QueueAnswer(mrNo);
    EXPECT_TRUE(Form->close());
    EXPECT_TRUE(Registry->KeyExists("Software\\Orvane\\Quillet"));
    for (TScriptedFindDialog* d : Dialogs->FindDialogs())
        EXPECT_FALSE(d->Visible());
    EXPECT_FALSE(Dialogs->AnswersLeft());
}

TEST_F(MainFormTest, TheCommandLineOpensAFileAsOpenDoes) {
    Write("cmd.css", "h1{}");
    Form->OpenFile(Path("cmd.css"));
    EXPECT_EQ(Css(), "h1{}");
    EXPECT_EQ(Title(), "Quillet :: " + Path("cmd.css"));
    EXPECT_EQ(Form->PageCaption(), "Css");
    Form->OpenFile(Path("nope.css"));
    ASSERT_EQ(Messages().size(), 1u);
    EXPECT_EQ(Title(), "Quillet :: " + Path("cmd.css"));
}

TEST_F(MainFormTest, ADocumentOfAnOddNameSavesBackToTheFileItCameFrom) {
    // Bytes that are no UTF-8, and a line break: neither fits a caption or the name box.
    for (const std::string name : {"odd \xFF\xFE.css", "two\nlines.css"}) {
        SCOPED_TRACE(name);
        Write(name, "p{}");
        Form->OpenFile(Path(name));
        EXPECT_EQ(Form->FileName(), Path(name));
        Type("x");
        Run(Form->SaveAction);
        EXPECT_TRUE(Messages().empty());
        EXPECT_EQ(Read(name), "xp{}");
        EXPECT_EQ(std::distance(std::filesystem::directory_iterator(Folder),
                                std::filesystem::directory_iterator()),
                  1); // no file of a look-alike name beside it
        std::filesystem::remove(Path(name));
    }
}

} // namespace quillet::test

namespace quillet::test {

TEST_F(MainFormTest, ASaveOverAnotherProgramsChangesAsksFirst) {
    Write("a.css", "a{}");
    Dialogs->QueueFile(Path("a.css"));
    Run(Form->MMFOpen);
    Type("x");
    Write("a.css", "b{color:red}"); // another program's save
    const std::string question = "Файл " + Path("a.css") +
                                 " был изменён другой программой после того, как его прочитали. "
                                 "Записать этот текст поверх изменений?";
    // No: nothing written, the changes stay.
    Dialogs->QueueAnswer(mrNo);
    Run(Form->SaveAction);
    EXPECT_EQ(Messages(), std::vector<std::string>{question});
    EXPECT_EQ(Read("a.css"), "b{color:red}");
    EXPECT_EQ(Form->PageCaption(), "*Css");
    // Yes writes; the next save of a file nobody else touched asks nothing.
    Dialogs->QueueAnswer(mrYes);
    Run(Form->SaveAction);
    EXPECT_EQ(Read("a.css"), "xa{}");
    Type("y");
    Run(Form->SaveAction);
    EXPECT_EQ(Read("a.css"), "xya{}");
    EXPECT_EQ(Messages().size(), 2u);
}

TEST_F(MainFormTest, AFailedSaveWhileClosingKeepsTheWindowOpen) {
    Type("x");
    Dialogs->QueueAnswer(mrYes);
    Dialogs->QueueFile(Path("no/such/x.css"));
    EXPECT_FALSE(Form->close());
    ASSERT_EQ(Messages().size(), 2u);
    EXPECT_EQ(Messages()[1],
              "Cannot create file " + Path("no/such/x.css") + ": " + std::strerror(ENOENT));
    EXPECT_FALSE(Registry->KeyExists("Software\\Orvane\\Quillet"));
    EXPECT_EQ(Form->PageCaption(), "*Css");
    // Nothing was written, so nothing is forgotten: Undo still takes the typing back.
    Run(Form->UndoAction);
    EXPECT_EQ(Css(), "");
}

TEST_F(MainFormTest, TheBrowseButtonTakesTheChosenName) {
    Form->HtmFilenameEdit()->SetFileName(Path("old.htm"));
    Dialogs->QueueFile(Path("new page.htm"));
    Form->HtmFilenameEdit()->BrowseButton()->click();
    ASSERT_EQ(Dialogs->Calls().size(), 1u);
    EXPECT_EQ(Dialogs->Calls()[0].FileOptions.Filter, "Файлы html|*.*htm*|Все файлы (*.*)|*.*");
    EXPECT_EQ(Dialogs->Calls()[0].FileOptions.FileName, Path("old.htm"));
    EXPECT_EQ(Form->HtmFilenameEdit()->FileName(), Path("new page.htm"));
    Dialogs->QueueFile(std::string("a\x01") + "b");
    Form->HtmFilenameEdit()->BrowseButton()->click();
    ASSERT_EQ(Messages().size(), 1u);
    EXPECT_EQ(Messages()[0], "Invalid file name - a\x01"
                             "b");
    EXPECT_EQ(Form->HtmFilenameEdit()->FileName(), Path("new page.htm"));
}

// Installed, the program runs from bin/ while its sample page lives in the data folder.
TEST_F(MainFormTest, AnInstalledProgramFindsItsSamplePageInTheDataFolder) {
    std::filesystem::create_directories(Path("bin"));
    std::filesystem::create_directories(Path("share/quillet"));
    Write("share/quillet/Sample.htm", "<html></html>");
    TMainForm installed(
        [this](QWidget* parent) {
            return TBrowserPart{new QWidget(parent), &Browser};
        },
        Path("bin"));
    installed.NewCss();
    EXPECT_EQ(installed.HtmFilenameEdit()->FileName(), Path("share/quillet/Sample.htm"));
    // In the build folder the page beside the program is the one.
    Write("bin/Sample.htm", "<html></html>");
    installed.NewCss();
    EXPECT_EQ(installed.HtmFilenameEdit()->FileName(), Path("bin/Sample.htm"));
}

} // namespace quillet::test
