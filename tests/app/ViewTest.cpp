// What the window remembers between runs: the view, the recent documents and the last document.
#include "MainFormFixture.h"

#include "widgets/CodeMemoWidget.h"

#include <QCheckBox>
#include <QMenu>

namespace quillet::test {

namespace {
const std::string Key = "Software\\Orvane\\Quillet";
}

class ViewTest : public MainFormTest {
protected:
    // Closes the window as the user does and starts the program again on the same settings.
    void Restart() {
        Form->close();
        Form = std::make_unique<TMainForm>(
            [this](QWidget* parent) {
                return TBrowserPart{new QWidget(parent), &Browser};
            },
            Folder.string());
        Form->FormCreate();
    }
    std::vector<std::string> MenuTips() const {
        std::vector<std::string> out;
        for (QAction* a : Form->RecentMenu->actions())
            out.push_back(a->toolTip().toStdString());
        return out;
    }
};

TEST_F(ViewTest, LineNumbersWrapAndZoomAreKeptAndSurviveTheHighlightBox) {
    Registry->WriteString(Key, "FontHeight", "big"); // damaged: keeps its default
    Form->FormCreate();
    for (TCodeMemo* memo : {&Form->MainCodeMemo(), &Form->EditorCodeMemo()}) {
        EXPECT_TRUE(memo->HasOption(smoLineNumbers));
        EXPECT_FALSE(memo->HasOption(smoWordWrap));
    }
    EXPECT_EQ(Form->FontHeight(), 13);
    Form->LineNumbersAction->setChecked(false);
    Form->WordWrapAction->setChecked(true);
    Form->ZoomInAction->trigger();
    Form->ZoomInAction->trigger();
    // The highlight box sets the CSS editor's whole options: the view's choices stay.
    Form->LightCodeCheckBox()->setChecked(false);
    EXPECT_TRUE(Form->MainCodeMemo().HasOption(smoWordWrap));
    EXPECT_FALSE(Form->MainCodeMemo().HasOption(smoLineNumbers));

    Restart();
    EXPECT_FALSE(Form->LineNumbersAction->isChecked());
    EXPECT_TRUE(Form->WordWrapAction->isChecked());
    EXPECT_EQ(Form->FontHeight(), 15);
    for (TCodeMemo* memo : {&Form->MainCodeMemo(), &Form->EditorCodeMemo()}) {
        EXPECT_FALSE(memo->HasOption(smoLineNumbers));
        EXPECT_TRUE(memo->HasOption(smoWordWrap));
        EXPECT_EQ(memo->Font().Height, -15);
    }
}

TEST_F(ViewTest, RecentFilesKeepTenNewestFirstAndDropAMissingOne) {
    Form->FormCreate();
    EXPECT_EQ(Form->RecentMenu->actions()[0]->text().toStdString(), "Пусто");
    for (int i = 0; i < 12; ++i) {
        Write(std::to_string(i) + ".css", "p{}");
        Form->OpenFile(Path(std::to_string(i) + ".css"));
    }
    Form->OpenFile(Path("5.css")); // again: to the front, not twice
    ASSERT_EQ(Form->RecentFiles().size(), 10u);
    EXPECT_EQ(Form->RecentFiles()[0], Path("5.css"));
    EXPECT_EQ(Form->RecentFiles()[1], Path("11.css"));
    EXPECT_EQ(Form->RecentFiles()[9], Path("2.css"));
    EXPECT_EQ(MenuTips(), Form->RecentFiles()); // the full path in the tooltip
    EXPECT_EQ(Form->RecentMenu->actions()[0]->text().toStdString(), "&1 5.css");
    Dialogs->QueueFile(Path("saved.css"));
    Form->SaveCssAs();
    EXPECT_EQ(Form->RecentFiles()[0], Path("saved.css"));

    Restart();
    EXPECT_EQ(Registry->ReadString("Software\\Orvane\\Quillet\\Recent", "File1"),
              Path("saved.css"));
    ASSERT_EQ(Form->RecentFiles().size(), 10u);
    EXPECT_EQ(Form->RecentFiles()[0], Path("saved.css"));
    EXPECT_EQ(Form->RecentFiles()[9], Path("3.css"));

    // A file that is gone leaves the list when chosen, with a word; the document stays.
    std::filesystem::remove(Path("11.css"));
    Form->OpenFile(Path("4.css"));
    Dialogs->QueueAnswer(mrOk);
    Form->RecentMenu->actions()[3]->trigger();
    EXPECT_EQ(Messages().back(),
              "Файл " + Path("11.css") + " не найден и убран из списка последних файлов.");
    EXPECT_EQ(Form->RecentFiles().size(), 9u);
    EXPECT_EQ(Form->FileName(), Path("4.css"));

    // The file dialogs start where the work is, Save As with the document's name.
    Dialogs->QueueFile(std::nullopt);
    Form->SaveCssAs();
    EXPECT_EQ(Dialogs->Calls().back().FileOptions.InitialDir, Folder.string());
    EXPECT_EQ(Dialogs->Calls().back().FileOptions.FileName, Path("4.css"));
    Dialogs->QueueFile(std::nullopt);
    Form->NewCss();
    Form->OpenCss(); // untitled: the folder of the file opened last
    EXPECT_EQ(Dialogs->Calls().back().FileOptions.InitialDir, Folder.string());
    Form->RecentMenu->actions()[2]->trigger(); // 5.css
    EXPECT_EQ(Form->FileName(), Path("5.css"));
}

TEST_F(ViewTest, TheLastDocumentComesBackUnlessGoneOrTurnedOff) {
    Form->FormCreate();
    Write("last.css", "a{}");
    Form->OpenFile(Path("last.css"));
    Restart();
    Form->ReopenLastDocument();
    EXPECT_EQ(Form->FileName(), Path("last.css"));
    EXPECT_EQ(Css(), "a{}");

    std::filesystem::remove(Path("last.css"));
    Restart();
    Form->ReopenLastDocument();
    EXPECT_EQ(Form->FileName(), "");
    EXPECT_TRUE(Messages().empty()); // skipped quietly

    Write("again.css", "b{}");
    Form->OpenFile(Path("again.css"));
    Form->ReopenCheckBox->setChecked(false);
    Restart();
    EXPECT_FALSE(Form->ReopenCheckBox->isChecked());
    Form->ReopenLastDocument();
    EXPECT_EQ(Form->FileName(), "");
}

} // namespace quillet::test
