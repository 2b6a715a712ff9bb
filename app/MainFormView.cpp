// The editor tools of the "Правка" menu, the "Вид" menu, page switching and the recent documents.
#include "app/MainForm.h"

#include "editor/CodeMemoWrap.h"
#include "editor/SearchControl.h"
#include "editor/TextStore.h"
#include "platform/Platform.h"
#include "platform/qt/QtConvert.h"
#include "resources/Strings.h"
#include "widgets/CodeMemoWidget.h"

#include <QAction>
#include <QApplication>
#include <QCheckBox>
#include <QLayout>
#include <QMenu>
#include <QMenuBar>
#include <QTabWidget>
#include <QWheelEvent>

#include <algorithm>
#include <filesystem>

namespace quillet {

namespace {

constexpr size_t MaxRecentFiles = 10;
constexpr int DefaultFontHeight = 13;
constexpr int MinFontHeight = 6;
constexpr int MaxFontHeight = 72;

QMenu* MenuNamed(QMenuBar* bar, const QString& title) {
    for (QAction* a : bar->actions())
        if (a->menu() && a->text() == title) return a->menu();
    return nullptr;
}

std::string BaseName(const std::string& path) {
    return std::filesystem::path(path).filename().string();
}

} // namespace

void TMainForm::BuildViewMenus() {
    auto action = [this](const char* name, const char* caption, QList<QKeySequence> keys) {
        auto* a = new QAction(QString::fromUtf8(caption), this);
        a->setObjectName(QString::fromLatin1(name));
        a->setShortcuts(keys);
        addAction(a);
        return a;
    };
    auto run = [this](QAction* a, void (TMainForm::*handler)()) {
        QObject::connect(a, &QAction::triggered, this,
                         [this, handler] { RunCommand([this, handler] { (this->*handler)(); }); });
    };

    FindAction = action("FindAction", "Найти…", {QKeySequence(Qt::CTRL | Qt::Key_F)});
    FindNextAction = action("FindNextAction", "Найти далее", {QKeySequence(Qt::Key_F3)});
    ReplaceAction = action("ReplaceAction", "Заменить…", {QKeySequence(Qt::CTRL | Qt::Key_H)});
    GotoLineAction =
        action("GotoLineAction", "Перейти к строке…", {QKeySequence(Qt::CTRL | Qt::Key_G)});
    run(FindAction, &TMainForm::FindExecute);
    run(FindNextAction, &TMainForm::FindNextExecute);
    run(ReplaceAction, &TMainForm::ReplaceExecute);
    run(GotoLineAction, &TMainForm::GotoLineExecute);
    FormatAction = action("FormatAction", "Форматировать",
                          {QKeySequence(Qt::CTRL | Qt::SHIFT | Qt::Key_F)});
    MinifyAction = action("MinifyAction", "Сжать", {});
    QObject::connect(FormatAction, &QAction::triggered, this,
                     [this] { RunCommand([this] { FormatCss(false); }); });
    QObject::connect(MinifyAction, &QAction::triggered, this,
                     [this] { RunCommand([this] { FormatCss(true); }); });

    LineNumbersAction = action("LineNumbersAction", "Номера строк", {});
    LineNumbersAction->setCheckable(true);
    LineNumbersAction->setChecked(true);
    WordWrapAction = action("WordWrapAction", "Перенос строк", {});
    WordWrapAction->setCheckable(true);
    for (QAction* a : {LineNumbersAction, WordWrapAction})
        QObject::connect(a, &QAction::toggled, this,
                         [this] { RunCommand([this] { ApplyViewOptions(); }); });
    // Ctrl++ as well: on most layouts "=" and "+" share the key, and the keypad has "+".
    ZoomInAction =
        action("ZoomInAction", "Увеличить",
               {QKeySequence(Qt::CTRL | Qt::Key_Equal), QKeySequence(Qt::CTRL | Qt::Key_Plus)});
    ZoomOutAction = action("ZoomOutAction", "Уменьшить", {QKeySequence(Qt::CTRL | Qt::Key_Minus)});
    ZoomResetAction =
        action("ZoomResetAction", "Обычный размер", {QKeySequence(Qt::CTRL | Qt::Key_0)});
    QObject::connect(ZoomInAction, &QAction::triggered, this,
                     [this] { SetFontHeight(FFontHeight + 1); });
    QObject::connect(ZoomOutAction, &QAction::triggered, this,
                     [this] { SetFontHeight(FFontHeight - 1); });
    QObject::connect(ZoomResetAction, &QAction::triggered, this,
                     [this] { SetFontHeight(DefaultFontHeight); });

    NextPageAction =
        action("NextPageAction", "Следующая страница", {QKeySequence(Qt::CTRL | Qt::Key_Tab)});
    PreviousPageAction = action("PreviousPageAction", "Предыдущая страница",
                                {QKeySequence(Qt::CTRL | Qt::SHIFT | Qt::Key_Backtab),
                                 QKeySequence(Qt::CTRL | Qt::SHIFT | Qt::Key_Tab)});
    auto step = [this](int by) {
        int count = FWorkPages->count();
        FWorkPages->setCurrentIndex((FWorkPages->currentIndex() + by + count) % count);
    };
    QObject::connect(NextPageAction, &QAction::triggered, this, [step] { step(1); });
    QObject::connect(PreviousPageAction, &QAction::triggered, this, [step] { step(-1); });

    QMenuBar* bar = menuBar();
    if (QMenu* file = MenuNamed(bar, QStringLiteral("Файл"))) {
        RecentMenu = new QMenu(QStringLiteral("Последние файлы"), file);
        RecentMenu->setObjectName(QStringLiteral("RecentMenu"));
        RecentMenu->setToolTipsVisible(true);
        file->insertMenu(CloseAction, RecentMenu);
        file->insertSeparator(CloseAction);
        QAction* quit = action("ExitAction", "Выход", {QKeySequence(Qt::CTRL | Qt::Key_Q)});
        QObject::connect(quit, &QAction::triggered, this, [this] { close(); });
        file->addAction(quit);
        RebuildRecentMenu();
    }
    if (QMenu* edit = MenuNamed(bar, QStringLiteral("Правка"))) {
        edit->addSeparator();
        edit->addAction(FindAction);
        edit->addAction(FindNextAction);
        edit->addAction(ReplaceAction);
        edit->addAction(GotoLineAction);
        edit->addSeparator();
        edit->addAction(FormatAction);
        edit->addAction(MinifyAction);
    }
    auto* view = new QMenu(QStringLiteral("Вид"), bar);
    view->setObjectName(QStringLiteral("ViewMenu"));
    view->addAction(LineNumbersAction);
    view->addAction(WordWrapAction);
    view->addSeparator();
    view->addAction(ZoomInAction);
    view->addAction(ZoomOutAction);
    view->addAction(ZoomResetAction);
    view->addSeparator();
    view->addAction(NextPageAction);
    view->addAction(PreviousPageAction);
    QMenu* help = MenuNamed(bar, QStringLiteral("?"));
    bar->insertMenu(help ? help->menuAction() : nullptr, view);

    // The last document's setting sits with the other start-up settings.
    ReopenCheckBox = new QCheckBox(QStringLiteral("Открывать последний документ при запуске"));
    ReopenCheckBox->setObjectName(QStringLiteral("ReopenCheckBox"));
    ReopenCheckBox->setChecked(true);
    if (QWidget* group = FSaveUndoCheckBox->parentWidget())
        if (auto* column = qobject_cast<QBoxLayout*>(group->layout()))
            column->insertWidget(column->indexOf(FSaveUndoCheckBox) + 1, ReopenCheckBox);

    // Ctrl+wheel over either editor zooms.
    FMainMemo->viewport()->installEventFilter(this);
    FEditorMemo->viewport()->installEventFilter(this);
    ApplyViewOptions();
    BuildLint();
}

bool TMainForm::ZoomByWheel(QEvent* event) {
    if (event->type() != QEvent::Wheel) return false;
    auto* wheel = static_cast<QWheelEvent*>(event);
    if (!(wheel->modifiers() & Qt::ControlModifier)) return false;
    int delta = wheel->angleDelta().y();
    if (delta != 0) SetFontHeight(FFontHeight + (delta > 0 ? 1 : -1));
    return true;
}

// --- The editor tools -----------------------------------------------------------

TCodeMemo& TMainForm::FocusedCodeMemo() {
    if (FEditorMemo && QApplication::focusWidget() == FEditorMemo) return EditorCodeMemo();
    return MainCodeMemo();
}

void TMainForm::FindExecute() {
    FocusedCodeMemo().Perform(SM_FIND, 0, 0);
}

void TMainForm::FindNextExecute() {
    TCM_Search& search = FocusedCodeMemo().Search().Engine();
    if (!search.LastText().empty()) {
        search.FindNext(search.LastText(), search.LastFlags() & ~srfDirect);
        return;
    }
    // Text typed into the find window and not searched for yet still counts.
    IFindDialog* dialog = search.FindDialog();
    if (dialog && !dialog->FindText().empty())
        search.FindNext(dialog->FindText(), search.DialogFlags(*dialog));
    else
        FindExecute();
}

void TMainForm::ReplaceExecute() {
    FocusedCodeMemo().Perform(SM_REPLACE, 0, 0);
}

void TMainForm::GotoLineExecute() {
    TCodeMemo& memo = FocusedCodeMemo();
    TCodeMemoWrap& wrap = memo.Wrap();
    int rows = memo.Store().LineCount();
    int lines = rows > 0 ? wrap.LogicalLineOf(TRow(rows - 1)).Value() + 1 : 1;
    int caretRow = int(memo.Perform(EM_LINEFROMCHAR, WPARAM(memo.SelStart()), 0));
    int current =
        rows > 0 ? wrap.LogicalLineOf(TRow(std::clamp(caretRow, 0, rows - 1))).Value() + 1 : 1;
    auto line = Platform().Dialogs->AskNumber(
        LoadStr(SGotoLineTitle), FmtLoadStr(SGotoLinePrompt, lines), current, 1, lines);
    if (!line) return;
    const TLogicalLine wanted(std::clamp(*line, 1, lines) - 1);
    int row = rows > 0 ? wrap.RowOfLogicalLine(wanted).value_or(TRow(0)).Value() : 0;
    LPARAM offset = memo.Perform(EM_LINEINDEX, WPARAM(row), 0);
    memo.Perform(EM_SETSEL, WPARAM(offset), offset);
    memo.Perform(EM_SCROLLCARET, 0, 0);
}

// --- The view -------------------------------------------------------------------

TCodeMemoOptions TMainForm::ViewOptions() const {
    TCodeMemoOptions options = 0;
    if (LineNumbersAction && LineNumbersAction->isChecked()) options |= smoLineNumbers;
    if (WordWrapAction && WordWrapAction->isChecked()) options |= smoWordWrap;
    return options;
}

void TMainForm::ApplyViewOptions() {
    const TCodeMemoOptions view = smoLineNumbers | smoWordWrap;
    for (TCodeMemo* memo : {&MainCodeMemo(), &EditorCodeMemo()})
        memo->SetOptions((memo->Options() & ~view) | ViewOptions());
}

void TMainForm::SetFontHeight(int pixels) {
    FFontHeight = std::clamp(pixels, MinFontHeight, MaxFontHeight);
    for (TCodeMemo* memo : {&MainCodeMemo(), &EditorCodeMemo()}) {
        TFontDesc font = memo->Font();
        font.Height = -FFontHeight;
        memo->SetFont(font);
    }
}

// --- Recent documents -----------------------------------------------------------

void TMainForm::AddRecentFile(const std::string& path) {
    if (path.empty()) return;
    std::erase(FRecentFiles, path);
    FRecentFiles.insert(FRecentFiles.begin(), path);
    if (FRecentFiles.size() > MaxRecentFiles) FRecentFiles.resize(MaxRecentFiles);
    RebuildRecentMenu();
}

std::string TMainForm::WorkFolder() const {
    std::string path = FileName();
    if (path.empty() && !FRecentFiles.empty()) path = FRecentFiles.front();
    return path.empty() ? std::string() : std::filesystem::path(path).parent_path().string();
}

void TMainForm::RebuildRecentMenu() {
    if (!RecentMenu) return;
    RecentMenu->clear();
    if (FRecentFiles.empty()) {
        RecentMenu->addAction(ToQString(LoadStr(SRecentEmpty)))->setEnabled(false);
        return;
    }
    int number = 0;
    for (const std::string& path : FRecentFiles) {
        ++number;
        QString caption = QStringLiteral("&%1 %2").arg(number % 10).arg(ToQString(BaseName(path)));
        QAction* a = RecentMenu->addAction(caption);
        a->setToolTip(ToQString(path));
        QObject::connect(a, &QAction::triggered, this, [this, path] { OpenRecentFile(path); });
    }
}

void TMainForm::OpenRecentFile(const std::string& path) {
    RunCommand([this, &path] {
        std::error_code error;
        if (!std::filesystem::is_regular_file(path, error)) {
            std::erase(FRecentFiles, path);
            RebuildRecentMenu();
            Platform().Dialogs->MessageBox(FmtLoadStr(SRecentMissing, path), LoadStr(SAppTitle),
                                           mtWarning, mbOK);
            return;
        }
        ConfirmSaveChanges();
        DoOpen(path);
    });
}

// --- Their settings -------------------------------------------------------------

void TMainForm::LoadViewSettings() {
    IRegistry& registry = *Platform().Registry;
    const std::string& key = LoadStr(SSettingsKey);
    // Each value on its own: one that is missing or of another type keeps its default.
    auto dword = [&](const char* name, uint32_t fallback) {
        return registry.ValueType(key, name) == rtDword ? registry.ReadDword(key, name) : fallback;
    };
    LineNumbersAction->setChecked(dword("LineNumbers", 1) != 0);
    WordWrapAction->setChecked(dword("WordWrap", 0) != 0);
    SetFontHeight(int(std::min<uint32_t>(dword("FontHeight", DefaultFontHeight), MaxFontHeight)));
    ReopenCheckBox->setChecked(dword("ReopenLast", 1) != 0);

    const std::string& recentKey = LoadStr(SRecentKey);
    FRecentFiles.clear();
    for (size_t i = 1; i <= MaxRecentFiles; ++i) {
        std::string name = "File" + std::to_string(i);
        if (registry.ValueType(recentKey, name) != rtString) continue;
        std::string path = registry.ReadString(recentKey, name);
        if (!path.empty() &&
            std::find(FRecentFiles.begin(), FRecentFiles.end(), path) == FRecentFiles.end())
            FRecentFiles.push_back(path);
    }
    RebuildRecentMenu();
}

void TMainForm::SaveViewSettings() {
    IRegistry& registry = *Platform().Registry;
    const std::string& key = LoadStr(SSettingsKey);
    registry.OpenKey(key, true);
    registry.WriteDword(key, "LineNumbers", LineNumbersAction->isChecked() ? 1 : 0);
    registry.WriteDword(key, "WordWrap", WordWrapAction->isChecked() ? 1 : 0);
    registry.WriteDword(key, "FontHeight", uint32_t(FFontHeight));
    registry.WriteDword(key, "ReopenLast", ReopenCheckBox->isChecked() ? 1 : 0);
    registry.WriteString(key, "LastFile", FileName());

    const std::string& recentKey = LoadStr(SRecentKey);
    registry.OpenKey(recentKey, true);
    for (size_t i = 1; i <= MaxRecentFiles; ++i) {
        std::string name = "File" + std::to_string(i);
        if (i <= FRecentFiles.size())
            registry.WriteString(recentKey, name, FRecentFiles[i - 1]);
        else
            registry.DeleteValue(recentKey, name);
    }
}

void TMainForm::ReopenLastDocument() {
    if (!ReopenCheckBox->isChecked()) return;
    IRegistry& registry = *Platform().Registry;
    const std::string& key = LoadStr(SSettingsKey);
    if (registry.ValueType(key, "LastFile") != rtString) return;
    std::string path = registry.ReadString(key, "LastFile");
    std::error_code error;
    if (path.empty() || !std::filesystem::is_regular_file(path, error)) return; // gone: quietly
    OpenFile(path);
}

} // namespace quillet
