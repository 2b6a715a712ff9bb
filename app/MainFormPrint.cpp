// The main window's printing: the print dialog, the preview and PDF export of the CSS document.
#include "app/MainForm.h"

#include "platform/Platform.h"
#include "platform/qt/QtConvert.h"
#include "platform/qt/QtPrinter.h"
#include "resources/Strings.h"
#include "widgets/CodeMemoWidget.h"

#include <QAction>
#include <QPainter>
#include <QPixmap>
#include <QPrintDialog>
#include <QPrintPreviewDialog>
#include <QPrinter>

#include <filesystem>

namespace quillet {

namespace {

// A printer for the toolbar: the theme's, else a small one drawn here.
QIcon PrinterIcon() {
    QIcon themed = QIcon::fromTheme(QStringLiteral("document-print"));
    if (!themed.isNull()) return themed;
    QPixmap picture(16, 16);
    picture.fill(Qt::transparent);
    QPainter p(&picture);
    p.setPen(Qt::black);
    p.setBrush(Qt::white);
    p.drawRect(4, 1, 7, 5); // the sheet going in
    p.setBrush(QColor(192, 192, 192));
    p.drawRect(1, 6, 13, 6); // the body
    p.setBrush(Qt::white);
    p.drawRect(4, 10, 7, 4); // the sheet coming out
    return QIcon(picture);
}

// The whole document: every display line but an empty last one (the final line break's).
void PrintAll(TCodeMemo& memo, IPrinter& printer) {
    const TTextStore& store = memo.Store();
    TRow last(store.LineCount() - 1);
    if (last > TRow(0) && store.RowLength(last) == 0) --last;
    memo.Print(printer, 0, last.Value());
}

} // namespace

void TMainForm::BuildPrintActions() {
    PrintAction = new QAction(PrinterIcon(), QStringLiteral("Печать…"), this);
    PrintAction->setObjectName(QStringLiteral("PrintAction"));
    PrintAction->setToolTip(QStringLiteral("Печать Css"));
    PrintAction->setShortcut(QKeySequence(Qt::CTRL | Qt::Key_P));
    PreviewAction = new QAction(QStringLiteral("Предварительный просмотр…"), this);
    PreviewAction->setObjectName(QStringLiteral("PreviewAction"));
    ExportPdfAction = new QAction(QStringLiteral("Экспорт в PDF…"), this);
    ExportPdfAction->setObjectName(QStringLiteral("ExportPdfAction"));
    for (QAction* a : {PrintAction, PreviewAction, ExportPdfAction})
        addAction(a);
    QObject::connect(PrintAction, &QAction::triggered, this, [this] { PrintCss(); });
    QObject::connect(PreviewAction, &QAction::triggered, this, [this] { PreviewCss(); });
    QObject::connect(ExportPdfAction, &QAction::triggered, this, [this] { ExportPdf(); });
}

void TMainForm::PrintCss() {
    RunCommand([this] {
        TCodeMemo& memo = MainCodeMemo();
        QPrinter device(QPrinter::HighResolution);
        QPrintDialog dialog(&device, this);
        dialog.setWindowTitle(ToQString(LoadStr(SPrintTitle)));
        dialog.setOption(QAbstractPrintDialog::PrintSelection, memo.SelLength() > 0);
        dialog.setOption(QAbstractPrintDialog::PrintPageRange, false);
        if (dialog.exec() != QDialog::Accepted) return;
        TQtPrinter printer(device);
        if (device.printRange() == QPrinter::Selection)
            memo.PrintSelection(printer);
        else
            PrintAll(memo, printer);
    });
}

void TMainForm::PreviewCss() {
    RunCommand([this] {
        QPrinter device(QPrinter::HighResolution);
        QPrintPreviewDialog dialog(&device, this);
        dialog.setWindowTitle(ToQString(LoadStr(SPrintPreviewTitle)));
        QObject::connect(&dialog, &QPrintPreviewDialog::paintRequested, this,
                         [this](QPrinter* target) {
                             RunCommand([this, target] {
                                 TQtPrinter printer(*target);
                                 PrintAll(MainCodeMemo(), printer);
                             });
                         });
        dialog.exec();
    });
}

void TMainForm::PrintToPdf(const std::string& pdfFile) {
    // Written beside the target and moved over it when complete, so a failed print leaves an
    // older file of that name as it was.
    const std::string part = pdfFile + ".part";
    auto dropPart = [&part] {
        std::error_code ignored;
        if (std::filesystem::is_regular_file(part, ignored)) std::filesystem::remove(part, ignored);
    };
    try {
        {
            TQtPrinter printer(part);
            PrintAll(MainCodeMemo(), printer);
        }
        std::error_code failed;
        std::filesystem::rename(part, pdfFile, failed);
        if (failed) throw EFileError(FmtLoadStr(SCannotCreateFile, pdfFile));
    } catch (const EPrinter&) {
        dropPart();
        throw EPrinter(FmtLoadStr(SPrintCannotStart, pdfFile));
    } catch (...) {
        dropPart();
        throw;
    }
}

void TMainForm::ExportPdf() {
    RunCommand([this] {
        TFileDialogOptions options;
        options.Title = LoadStr(SPdfExportTitle);
        options.Filter = LoadStr(SPdfFileFilter);
        options.DefaultExt = "pdf";
        options.OverwritePrompt = true;
        auto path = Platform().Dialogs->SaveFile(options);
        if (!path) return;
        PrintToPdf(*path);
    });
}

void TMainForm::PrintFileToPdf(const std::string& path, const std::string& pdfFile) {
    DoOpen(path);
    PrintToPdf(pdfFile);
}

} // namespace quillet
