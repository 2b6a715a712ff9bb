// Printing from the main window: the File menu and toolbar entries, and PDF export.
#include "MainFormFixture.h"
#include "platform/qt/QtPrinter.h"

#include <QMenu>
#include <QMenuBar>
#include <QToolBar>

#include <cstdio>
#include <cstdlib>

namespace quillet::test {

TEST_F(MainFormTest, FileMenuAndToolbarOfferPrinting) {
    QMenu* file = Form->menuBar()->actions().front()->menu();
    ASSERT_NE(file, nullptr);
    const auto entries = file->actions();
    for (QAction* a : {Form->PrintAction, Form->PreviewAction, Form->ExportPdfAction})
        EXPECT_TRUE(entries.contains(a)) << a->text().toStdString();
    EXPECT_EQ(Form->PrintAction->text().toStdString(), "Печать…");
    EXPECT_EQ(Form->PrintAction->shortcut(), QKeySequence(Qt::CTRL | Qt::Key_P));
    EXPECT_TRUE(Form->ToolBar1()->actions().contains(Form->PrintAction));
}

TEST_F(MainFormTest, ExportWritesThePdfAndAFailureKeepsTheOldFile) {
    Type("a { color: red }");
    Dialogs->QueueFile(Path("out.pdf"));
    Run(Form->ExportPdfAction);
    EXPECT_EQ(Read("out.pdf").substr(0, 5), "%PDF-");
    EXPECT_EQ(Dialogs->Calls().back().FileOptions.Title, "Экспорт в PDF");
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

// The default printer serves one document after another (Ctrl+K P, again and again): each
// starts its painter afresh, and the text keeps the editor's fixed-pitch font.
TEST_F(MainFormTest, TheDefaultPrinterKeepsTheFontFromOneDocumentToTheNext) {
    const std::string pdf = Path("again.pdf");
    setenv("QUILLET_PRINT_TO", pdf.c_str(), 1);
    TQtPrinter printer;
    Type("a { color: red }");
    Form->MainCodeMemo().PrintSelection(printer);
    Form->MainCodeMemo().PrintSelection(printer);
    unsetenv("QUILLET_PRINT_TO");
    std::string fonts;
    if (FILE* p = popen(("pdffonts '" + pdf + "'").c_str(), "r")) {
        char buf[256];
        while (std::fgets(buf, sizeof buf, p))
            fonts += buf;
        pclose(p);
    }
    EXPECT_NE(fonts.find("Mono"), std::string::npos) << fonts;
}

} // namespace quillet::test
