// Printing from the main window: the File menu and toolbar entries, and PDF export.
#include "MainFormFixture.h"

#include <QMenu>
#include <QMenuBar>
#include <QToolBar>

namespace quillet::test {

TEST_F(MainFormTest, FileMenuAndToolbarOfferPrinting) {
    QMenu* file = Form->menuBar()->actions().front()->menu();
    ASSERT_NE(file, nullptr);
    const auto entries = file->actions();
    for (QAction* a : {Form->PrintAction, Form->PreviewAction, Form->ExportPdfAction})
        EXPECT_TRUE(entries.contains(a)) << a->text().toStdString();
    EXPECT_EQ(Form->PrintAction->text().toStdString(), "Печать...");
    EXPECT_EQ(Form->PrintAction->shortcut(), QKeySequence(Qt::CTRL | Qt::Key_P));
    EXPECT_TRUE(Form->ToolBar1()->actions().contains(Form->PrintAction));
}

TEST_F(MainFormTest, ExportWritesThePdfAndAFailureKeepsTheOldFile) {
    Type("a { color: red }");
    Dialogs->QueueFile(Path("out.pdf"));
    Run(Form->ExportPdfAction);
    EXPECT_EQ(Read("out.pdf").substr(0, 5), "%PDF-");
    EXPECT_FALSE(std::filesystem::exists(Path("out.pdf.part")));
    EXPECT_TRUE(Messages().empty());

    // Cancelled: nothing written.
    Dialogs->QueueFile(std::nullopt);
    Run(Form->ExportPdfAction);
    EXPECT_FALSE(std::filesystem::exists(Path("none.pdf")));

    // The document cannot be started (its scratch name is taken by a folder): the error is
    // shown and the file already there stays as it was.
    Write("keep.pdf", "old");
    std::filesystem::create_directory(Path("keep.pdf.part"));
    Dialogs->QueueFile(Path("keep.pdf"));
    Run(Form->ExportPdfAction);
    EXPECT_EQ(Read("keep.pdf"), "old");
    EXPECT_TRUE(std::filesystem::is_directory(Path("keep.pdf.part")));
    ASSERT_EQ(Messages().size(), 1u);
    EXPECT_EQ(Messages()[0], "Cannot start printing on " + Path("keep.pdf"));
    EXPECT_FALSE(Form->MainCodeMemo().Printing());
}

} // namespace quillet::test
