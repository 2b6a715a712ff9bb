#include "platform/qt/QtDialogs.h"

#include "dialogs/FindDialog.h"

#include "platform/qt/QtConvert.h"
#include "resources/Strings.h"

#include <QApplication>
#include <QColorDialog>
#include <QElapsedTimer>
#include <QFileInfo>
#include <QInputDialog>
#include <QProgressDialog>
#include <QStringList>
#include <QWidget>

#include <algorithm>
#include <memory>

namespace quillet {

QWidget* DialogOwner() {
    QWidget* w = QApplication::activeWindow();
    if (w) return w;
    for (QWidget* top : QApplication::topLevelWidgets())
        if (top->isWindow() && top->isVisible()) return top;
    return nullptr;
}

std::string DialogTitle(const std::string& title) {
    // A window without a title would show the desktop's placeholder or nothing at all.
    return title.empty() ? LoadStr(SAppTitle) : title;
}

QString QtNameFilters(const std::string& filter) {
    QStringList parts = ToQString(filter).split('|');
    QStringList out;
    for (qsizetype i = 0; i + 1 < parts.size(); i += 2) {
        QString patterns = parts[i + 1];
        patterns.replace(';', ' ');
        QString name = parts[i];
        // A name that already lists its patterns keeps them once.
        if (name.contains('(' + patterns + ')'))
            out << name;
        else
            out << name + " (" + patterns + ")";
    }
    if (parts.size() % 2 == 1 && !parts.back().isEmpty() && out.isEmpty()) out << parts.back();
    return out.join(";;");
}

QMessageBox::Icon QtMessageIcon(TMsgDlgType type) {
    switch (type) {
    case mtWarning:
        return QMessageBox::Warning;
    case mtError:
        return QMessageBox::Critical;
    case mtInformation:
        return QMessageBox::Information;
    case mtConfirmation:
        return QMessageBox::Question;
    default:
        return QMessageBox::NoIcon;
    }
}

QMessageBox::StandardButtons QtMessageButtons(TMsgDlgButtons buttons) {
    switch (buttons) {
    case mbOKCancel:
        return QMessageBox::Ok | QMessageBox::Cancel;
    case mbYesNoCancel:
        return QMessageBox::Yes | QMessageBox::No | QMessageBox::Cancel;
    case mbYesNo:
        return QMessageBox::Yes | QMessageBox::No;
    case mbYesNoCancelAll:
        return QMessageBox::Yes | QMessageBox::No | QMessageBox::Cancel | QMessageBox::YesToAll;
    default:
        return QMessageBox::Ok;
    }
}

TModalResult ModalResultOf(QMessageBox::StandardButton button) {
    switch (button) {
    case QMessageBox::Ok:
        return mrOk;
    case QMessageBox::Yes:
        return mrYes;
    case QMessageBox::No:
        return mrNo;
    case QMessageBox::YesToAll:
        return mrAll;
    case QMessageBox::Abort:
        return mrAbort;
    case QMessageBox::Retry:
        return mrRetry;
    case QMessageBox::Ignore:
        return mrIgnore;
    default:
        return mrCancel; // closing the box is a Cancel
    }
}

TModalResult TQtDialogs::MessageBox(const std::string& text, const std::string& title,
                                    TMsgDlgType type, TMsgDlgButtons buttons) {
    QMessageBox box(QtMessageIcon(type), ToQString(DialogTitle(title)), ToQString(text),
                    QtMessageButtons(buttons), DialogOwner());
    box.setWindowModality(Qt::ApplicationModal);
    int r = box.exec();
    return ModalResultOf(static_cast<QMessageBox::StandardButton>(r));
}

TModalResult TQtDialogs::MessageBoxAt(const std::string& text, const std::string& title,
                                      TMsgDlgType type, TMsgDlgButtons buttons, int x, int y) {
    QMessageBox box(QtMessageIcon(type), ToQString(DialogTitle(title)), ToQString(text),
                    QtMessageButtons(buttons), DialogOwner());
    box.setWindowModality(Qt::ApplicationModal);
    box.move(x, y);
    int r = box.exec();
    return ModalResultOf(static_cast<QMessageBox::StandardButton>(r));
}

std::unique_ptr<IFindDialog> TQtDialogs::CreateFindDialog(TFindDialogKind kind) {
    return CreateQtFindDialog(kind);
}

std::string WithDefaultExt(const std::string& path, const std::string& defaultExt) {
    if (defaultExt.empty() || path.empty()) return path;
    QFileInfo info(ToQString(path));
    if (!info.fileName().contains('.')) return path + "." + defaultExt;
    return path;
}

void ConfigureFileDialog(QFileDialog& dialog, const TFileDialogOptions& options, bool save) {
    dialog.setOption(QFileDialog::DontUseNativeDialog, true);
    const std::string& title =
        options.Title.empty() ? LoadStr(save ? SSaveFileTitle : SOpenFileTitle) : options.Title;
    dialog.setWindowTitle(ToQString(title));
    dialog.setNameFilters(QtNameFilters(options.Filter).split(";;", Qt::SkipEmptyParts));
    dialog.setAcceptMode(save ? QFileDialog::AcceptSave : QFileDialog::AcceptOpen);
    dialog.setFileMode(save ? QFileDialog::AnyFile : QFileDialog::ExistingFile);
    dialog.setOption(QFileDialog::DontConfirmOverwrite, !options.OverwritePrompt);
    if (!options.DefaultExt.empty()) dialog.setDefaultSuffix(ToQString(options.DefaultExt));
    if (!options.InitialDir.empty()) dialog.setDirectory(ToQString(options.InitialDir));
    if (!options.FileName.empty()) dialog.selectFile(ToQString(options.FileName));
}

namespace {

std::optional<std::string> RunFileDialog(const TFileDialogOptions& options, bool save) {
    QFileDialog dialog(DialogOwner());
    ConfigureFileDialog(dialog, options, save);
    if (dialog.exec() != QDialog::Accepted || dialog.selectedFiles().isEmpty()) return std::nullopt;
    std::string path = FromQString(dialog.selectedFiles().front());
    return save ? WithDefaultExt(path, options.DefaultExt) : path;
}

} // namespace

std::optional<std::string> TQtDialogs::OpenFile(const TFileDialogOptions& options) {
    return RunFileDialog(options, false);
}

std::optional<std::string> TQtDialogs::SaveFile(const TFileDialogOptions& options) {
    return RunFileDialog(options, true);
}

std::optional<TColor> TQtDialogs::ChooseColor(TColor initial) {
    QColor chosen =
        QColorDialog::getColor(QColor(GetRValue(initial), GetGValue(initial), GetBValue(initial)),
                               DialogOwner(), ToQString(LoadStr(SColorDialogTitle)));
    if (!chosen.isValid()) return std::nullopt;
    return RGB(chosen.red(), chosen.green(), chosen.blue());
}

std::optional<int> TQtDialogs::AskNumber(const std::string& title, const std::string& prompt,
                                         int value, int low, int high) {
    bool ok = false;
    int number = QInputDialog::getInt(DialogOwner(), ToQString(DialogTitle(title)),
                                      ToQString(prompt), value, low, high, 1, &ok);
    if (!ok) return std::nullopt;
    return number;
}

namespace {

// One operation's display: it appears once the operation has run ProgressDelayMs, and events
// are let through at most every EventsMs, so Escape is heard without slowing the work down.
class TQtProgress {
public:
    TQtProgress(QString title, QString text) : FTitle(std::move(title)), FText(std::move(text)) {
        FStarted.start();
    }

    bool Report(int64_t done, int64_t total) {
        if (!FDialog) {
            if (FStarted.elapsed() < TQtDialogs::ProgressDelayMs) return true;
            FDialog = std::make_unique<QProgressDialog>(FText, ToQString(LoadStr(SCancelButton)), 0,
                                                        Steps, DialogOwner());
            FDialog->setWindowTitle(FTitle);
            FDialog->setWindowModality(Qt::ApplicationModal);
            FDialog->setAutoReset(false);
            FDialog->setAutoClose(false);
            FDialog->setMinimumDuration(0);
            FDialog->show();
        } else if (FEvents.isValid() && FEvents.elapsed() < EventsMs) {
            return !FDialog->wasCanceled();
        }
        FDialog->setValue(total > 0 ? int(std::clamp<int64_t>(done, 0, total) * Steps / total) : 0);
        QCoreApplication::processEvents();
        FEvents.start();
        return !FDialog->wasCanceled();
    }

private:
    static constexpr int Steps = 1000, EventsMs = 30;
    QString FTitle, FText;
    QElapsedTimer FStarted, FEvents;
    std::unique_ptr<QProgressDialog> FDialog;
};

} // namespace

TProgressFunc TQtDialogs::WatchProgress(const std::string& title, const std::string& text) {
    auto progress = std::make_shared<TQtProgress>(ToQString(title), ToQString(text));
    return [progress](int64_t done, int64_t total) { return progress->Report(done, total); };
}

} // namespace quillet
