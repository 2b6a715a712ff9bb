// The main window's action list, menus, the update rule and the editing commands.
#include "app/MainForm.h"

#include "app/HelpWindow.h"

#include "app/ToolbarImages.h"
#include "editor/CodeMemoStrings.h"
#include "editor/TextStore.h"
#include "editor/UndoStack.h"
#include "platform/Platform.h"
#include "platform/qt/QtConvert.h"
#include "resources/Strings.h"
#include "widgets/CodeMemoWidget.h"

#include <QAbstractEventDispatcher>
#include <QAction>
#include <QCheckBox>
#include <QMenu>
#include <QMenuBar>
#include <QTabWidget>

#include <array>

namespace quillet {

namespace {

// The names of undo groups 13-18 in the Undo and Redo captions.
const char* UndoKindName(int id) {
    static const std::array<const char*, 6> names = {"Drag/drop", "ввода",    "удаления",
                                                     "вставки",   "вырезать", "шаблона"};
    return id >= 13 && id <= 18 ? names[size_t(id - 13)] : nullptr;
}

std::string KindCaption(int stringId, int id) {
    const char* name = UndoKindName(id);
    return name ? LoadStr(stringId) + " " + name : LoadStr(stringId);
}

void SetText(QAction* a, const std::string& text) {
    QString t = ToQString(text);
    if (a->text() != t) a->setText(t);
}

void SetEnabled(QAction* a, bool on) {
    if (a->isEnabled() != on) a->setEnabled(on);
}

} // namespace

void TMainForm::BuildActions() {
    // An action of the list; a shortcut already taken by an earlier action is shown in its menu
    // entry but not bound, so the key always reaches the first action that has it.
    auto action = [this](const char* name, const char* caption, const char* hint, int image,
                         const QKeySequence& keys, bool bindKeys) {
        auto* a = new QAction(QString::fromUtf8(caption), this);
        a->setObjectName(QString::fromLatin1(name));
        // Escaped, or a tooltip would take "<style>" for mark-up and hide it.
        if (hint) a->setToolTip(QString::fromUtf8(hint).toHtmlEscaped());
        if (image >= 0) a->setIcon(ToolbarImage(image));
        if (!keys.isEmpty()) {
            if (bindKeys)
                a->setShortcut(keys);
            else
                a->setText(a->text() + '\t' + keys.toString(QKeySequence::NativeText));
        }
        addAction(a);
        return a;
    };
    auto on = [this](QAction* a, void (TMainForm::*handler)()) {
        QObject::connect(a, &QAction::triggered, this, [this, handler] {
            // Shortcuts and buttons both see the state of this moment.
            RunCommand([this, handler] { (this->*handler)(); });
        });
    };
    auto onMemo = [this](QAction* a, bool html, void (TCustomCodeMemo::*op)()) {
        QObject::connect(a, &QAction::triggered, this, [this, html, op] {
            RunCommand([this, html, op] { ((html ? EditorCodeMemo() : MainCodeMemo()).*op)(); });
        });
    };

    NewAction =
        action("NewAction", "Новый", "Новый Css", 0, QKeySequence(Qt::CTRL | Qt::Key_N), true);
    SaveAction = action("SaveAction", "Сохранить", "Сохранить Css", 2,
                        QKeySequence(Qt::CTRL | Qt::Key_S), true);
    SaveAsAction = action("SaveAsAction", "Сохранить как...", nullptr, -1,
                          QKeySequence(Qt::CTRL | Qt::SHIFT | Qt::Key_S), true);
    CutAction =
        action("CutAction", "Вырезать", "Вырезать", 3, QKeySequence(Qt::CTRL | Qt::Key_X), true);
    CopyAction = action("CopyAction", "Копировать", "Копировать", 4,
                        QKeySequence(Qt::CTRL | Qt::Key_C), true);
    PasteAction =
        action("PasteAction", "Вставить", "Вставить", 5, QKeySequence(Qt::CTRL | Qt::Key_V), true);
    SelectAllAction = action("SelectAllAction", "Выделить все", "Выделить все", -1,
                             QKeySequence(Qt::CTRL | Qt::Key_A), true);
    ClearAction = action("ClearAction", "Очистить", "Очистить", 6,
                         QKeySequence(Qt::CTRL | Qt::Key_Delete), true);
    CloseAction =
        action("CloseAction", "Закрыть", nullptr, -1, QKeySequence(Qt::ALT | Qt::Key_X), true);
    StyleAction = action("StyleAction", "Вставить тег стиля", "Вставить тег <style>", 7, {}, true);
    EditorCutAction = action("EditorCutAction", "Вырезать", "Вырезать", 3,
                             QKeySequence(Qt::CTRL | Qt::Key_X), false);
    EditorCopyAction = action("EditorCopyAction", "Копировать", "Копировать", 4,
                              QKeySequence(Qt::CTRL | Qt::Key_C), false);
    EditorPasteAction = action("EditorPasteAction", "Вставить", "Вставить", 5,
                               QKeySequence(Qt::CTRL | Qt::Key_V), false);
    EditorSelectAllAction = action("EditorSelectAllAction", "Выделить все", nullptr, -1,
                                   QKeySequence(Qt::CTRL | Qt::Key_A), false);
    RedoAction = action("RedoAction", "Повторить", "Повторить", 10,
                        QKeySequence(Qt::CTRL | Qt::SHIFT | Qt::Key_Z), true);
    UndoAction =
        action("UndoAction", "Вернуть", "Отменить", 9, QKeySequence(Qt::CTRL | Qt::Key_Z), true);
    ShiftLeftAction = action("ShiftLeftAction", "Сдвинуть влево", "Сдвинуть влево", 11, {}, true);
    ShiftRightAction =
        action("ShiftRightAction", "Сдвинуть вправо", "Сдвинуть вправо", 12, {}, true);

    MMFOpen = new QAction(QStringLiteral("Открыть..."), this);
    MMFOpen->setObjectName(QStringLiteral("MMFOpen"));
    MMFOpen->setIcon(ToolbarImage(1));
    MMFOpen->setShortcut(QKeySequence(Qt::CTRL | Qt::Key_O));
    addAction(MMFOpen);
    QObject::connect(MMFOpen, &QAction::triggered, this, [this] { OpenCss(); });

    // The document commands carry their own error display.
    QObject::connect(NewAction, &QAction::triggered, this, [this] { NewCss(); });
    QObject::connect(SaveAction, &QAction::triggered, this, [this] { SaveCss(); });
    QObject::connect(SaveAsAction, &QAction::triggered, this, [this] { SaveCssAs(); });
    QObject::connect(CloseAction, &QAction::triggered, this, [this] { close(); });

    onMemo(CutAction, false, &TCustomCodeMemo::CutToClipboard);
    onMemo(CopyAction, false, &TCustomCodeMemo::CopyToClipboard);
    onMemo(PasteAction, false, &TCustomCodeMemo::PasteFromClipboard);
    onMemo(SelectAllAction, false, &TCustomCodeMemo::SelectAll);
    onMemo(EditorCutAction, true, &TCustomCodeMemo::CutToClipboard);
    onMemo(EditorCopyAction, true, &TCustomCodeMemo::CopyToClipboard);
    onMemo(EditorPasteAction, true, &TCustomCodeMemo::PasteFromClipboard);
    onMemo(EditorSelectAllAction, true, &TCustomCodeMemo::SelectAll);
    on(ClearAction, &TMainForm::ClearActionExecute);
    QObject::connect(UndoAction, &QAction::triggered, this, [this] {
        RunCommand([this] {
            if (FGroupedUndoCheckBox->isChecked())
                GroupedUndo();
            else
                MainCodeMemo().Perform(EM_UNDO, 0, 0);
        });
    });
    QObject::connect(RedoAction, &QAction::triggered, this, [this] {
        RunCommand([this] {
            if (FGroupedUndoCheckBox->isChecked())
                GroupedRedo();
            else
                MainCodeMemo().Perform(SM_REDO, 0, 0);
        });
    });
    QObject::connect(ShiftLeftAction, &QAction::triggered, this,
                     [this] { RunCommand([this] { MainCodeMemo().Perform(SM_UNINDENT, 0, 0); }); });
    QObject::connect(ShiftRightAction, &QAction::triggered, this,
                     [this] { RunCommand([this] { MainCodeMemo().Perform(SM_INDENT, 0, 0); }); });
    on(StyleAction, &TMainForm::StyleActionExecute);

    // The update rule runs whenever the event loop is about to wait: captions and enabled
    // states follow the editors, the clipboard and the document within one idle cycle.
    if (auto* dispatcher = QAbstractEventDispatcher::instance())
        FIdleUpdate = QObject::connect(dispatcher, &QAbstractEventDispatcher::aboutToBlock, this,
                                       [this] { ActionListUpdate(); });
}

void TMainForm::BuildMenus() {
    QMenuBar* bar = menuBar();
    bar->setObjectName(QStringLiteral("MainMenu"));
    QMenu* file = bar->addMenu(QStringLiteral("Файл"));
    file->addAction(NewAction);
    file->addAction(MMFOpen);
    file->addSeparator();
    file->addAction(SaveAction);
    file->addAction(SaveAsAction);
    file->addSeparator();
    file->addAction(PrintAction);
    file->addAction(PreviewAction);
    file->addAction(ExportPdfAction);
    file->addSeparator();
    file->addAction(CloseAction);
    QMenu* edit = bar->addMenu(QStringLiteral("Правка"));
    edit->addAction(UndoAction);
    edit->addAction(RedoAction);
    edit->addSeparator();
    edit->addAction(CutAction);
    edit->addAction(CopyAction);
    edit->addAction(PasteAction);
    edit->addSeparator();
    edit->addAction(ShiftLeftAction);
    edit->addAction(ShiftRightAction);
    QMenu* actions = bar->addMenu(QStringLiteral("Действия"));
    QAction* color = actions->addAction(ToolbarImage(8), QStringLiteral("Вставить цвет"));
    color->setObjectName(QStringLiteral("MMAColor"));
    QObject::connect(color, &QAction::triggered, this,
                     [this] { RunCommand([this] { ColorToolButtonClick(); }); });
    QAction* wrap = actions->addAction(QStringLiteral("Заключить текст в тег стиля"));
    QObject::connect(wrap, &QAction::triggered, this,
                     [this] { RunCommand([this] { PPSAllTextStyleClick(); }); });

    QMenu* help = bar->addMenu(QStringLiteral("?"));
    QAction* helpItem = help->addAction(QStringLiteral("Справка"));
    helpItem->setObjectName(QStringLiteral("MMHHelp"));
    helpItem->setShortcut(QKeySequence(Qt::Key_F1));
    QObject::connect(helpItem, &QAction::triggered, this,
                     [this] { RunCommand([this] { MMHHelpClick(); }); });

    MainPopupMenu = new QMenu(this);
    MainPopupMenu->setObjectName(QStringLiteral("MainPopupMenu"));
    MainPopupMenu->addAction(CutAction);
    MainPopupMenu->addAction(CopyAction);
    MainPopupMenu->addAction(PasteAction);
    MainPopupMenu->addSeparator();
    MainPopupMenu->addAction(SelectAllAction);
    MainPopupMenu->addSeparator();
    MainPopupMenu->addAction(ClearAction);
    FMainMemo->SetPopupMenu(MainPopupMenu);

    EditorPopupMenu = new QMenu(this);
    EditorPopupMenu->setObjectName(QStringLiteral("EditorPopupMenu"));
    EditorPopupMenu->addAction(EditorCutAction);
    EditorPopupMenu->addAction(EditorCopyAction);
    EditorPopupMenu->addAction(EditorPasteAction);
    EditorPopupMenu->addSeparator();
    EditorPopupMenu->addAction(EditorSelectAllAction);
    FEditorMemo->SetPopupMenu(EditorPopupMenu);

    StylePopupMenu->addAction(StyleAction);
    QAction* open = StylePopupMenu->addAction(QStringLiteral("Открыть <style>"));
    QObject::connect(open, &QAction::triggered, this,
                     [this] { RunCommand([this] { PPSOpenStyleClick(); }); });
    QAction* close = StylePopupMenu->addAction(QStringLiteral("Закрыть </style>"));
    QObject::connect(close, &QAction::triggered, this,
                     [this] { RunCommand([this] { PPSCloseStyleClick(); }); });
    StylePopupMenu->addSeparator();
    QAction* all = StylePopupMenu->addAction(QStringLiteral("Заключить текст в тег"));
    QObject::connect(all, &QAction::triggered, this,
                     [this] { RunCommand([this] { PPSAllTextStyleClick(); }); });
}

// --- The update rule ------------------------------------------------------------

int TMainForm::NextUndoKind() {
    if (!FMainMemo) return -1;
    TUndoStack* undo = MainCodeMemo().Store().UndoStack();
    if (!undo) return -1;
    int id = -1;
    undo->GroupQuery(ugcReset);
    return undo->GroupQuery(ugcNextUndoGroup, &id) == 1 ? id : -1;
}

int TMainForm::NextRedoKind() {
    if (!FMainMemo) return -1;
    TUndoStack* undo = MainCodeMemo().Store().UndoStack();
    if (!undo) return -1;
    int id = -1;
    undo->GroupQuery(ugcReset);
    return undo->GroupQuery(ugcNextRedoGroup, &id) == 1 ? id : -1;
}

void TMainForm::ActionListUpdate() {
    if (FUpdatingActions || !FMainMemo || !FEditorMemo) return;
    FUpdatingActions = true;
    int undoKind = NextUndoKind();
    SetText(UndoAction, KindCaption(SUndoCaption, undoKind));
    SetEnabled(UndoAction, undoKind != -1);
    int redoKind = NextRedoKind();
    SetText(RedoAction, KindCaption(SRedoCaption, redoKind));
    SetEnabled(RedoAction, redoKind != -1);
    bool cssSelection = MainCodeMemo().SelLength() != 0;
    SetEnabled(CopyAction, cssSelection);
    SetEnabled(CutAction, cssSelection);
    SetEnabled(ShiftLeftAction, cssSelection);
    SetEnabled(ShiftRightAction, cssSelection);
    bool htmlSelection = EditorCodeMemo().SelLength() != 0;
    SetEnabled(EditorCopyAction, htmlSelection);
    SetEnabled(EditorCutAction, htmlSelection);
    bool text = Platform().Clipboard && Platform().Clipboard->HasText();
    SetEnabled(PasteAction, text);
    SetEnabled(EditorPasteAction, text);
    SetEnabled(SaveAction, IsModified());
    FUpdatingActions = false;
}

// --- Grouped undo and redo ------------------------------------------------------

void TMainForm::GroupedUndo() {
    GroupedStep(false);
}

void TMainForm::GroupedRedo() {
    GroupedStep(true);
}

void TMainForm::GroupedStep(bool redo) {
    TUndoStack* undo = MainCodeMemo().Store().UndoStack();
    if (!undo) return;
    int id = -1;
    undo->GroupQuery(ugcReset);
    if (undo->GroupQuery(redo ? ugcNextRedoGroup : ugcNextUndoGroup, &id) != 1) return;
    // Typing and deleting go back as a whole run that joins up in the text.
    uint32_t step = (redo ? ugcStepForward : ugcStepBack) |
                    ((id == ugTyping || id == ugDeleteChar) ? ugcMerge : 0);
    TStackNode node{};
    if (undo->GroupQuery(step, nullptr, &node) != ugrOK) return;
    MainCodeMemo().Lines().BeginUpdate();
    undo->ReplayTo(node);
    MainCodeMemo().Lines().EndUpdate();
}

void TMainForm::ClearActionExecute() {
    // A replacement of the whole text rather than an emptied store: Undo brings the text back.
    TCodeMemo& memo = MainCodeMemo();
    if (memo.Store().CharCount() == 0) return; // no empty step in the undo list
    memo.SelectAll();
    memo.Perform(EM_REPLACESEL, 1, LPARAM(""));
}

// --- Colours and style tags ---

std::string ColorToCssHex(TColor color) {
    static const char digits[] = "0123456789ABCDEF";
    std::string out;
    for (int part : {GetRValue(color), GetGValue(color), GetBValue(color)}) {
        out += digits[(part >> 4) & 0xF];
        out += digits[part & 0xF];
    }
    return out;
}

void TMainForm::ColorToolButtonClick() {
    auto chosen = Platform().Dialogs->ChooseColor(FLastColor);
    if (!chosen) return;
    FLastColor = *chosen;
    std::string text = "#" + ColorToCssHex(*chosen);
    MainCodeMemo().Perform(EM_REPLACESEL, 0, LPARAM(text.c_str()));
}

void TMainForm::MMHHelpClick() {
    if (!FHelpWindow) FHelpWindow = new THelpWindow(this);
    FHelpWindow->ShowHelp(MainCodeMemo().ActiveSettings().KeyStore);
}

// --- Style tags -----------------------------------------------------------------

void TMainForm::StyleActionExecute() {
    TCodeMemo& memo = MainCodeMemo();
    memo.Perform(EM_REPLACESEL, 0, LPARAM("<style>\r\n\r\n</style>"));
    FMainMemo->setFocus();
    memo.SetSelStart(8);
}

void TMainForm::PPSOpenStyleClick() {
    MainCodeMemo().Perform(EM_REPLACESEL, 0, LPARAM("<style>"));
}

void TMainForm::PPSCloseStyleClick() {
    MainCodeMemo().Perform(EM_REPLACESEL, 0, LPARAM("</style>"));
}

void TMainForm::PPSAllTextStyleClick() {
    // The tags go in at both ends rather than the text being set anew, which would lose what
    // the text keeps of its file (breaks of another kind, control bytes). As with a text set
    // anew, the undo history starts afresh and the caret stands at the start.
    TCodeMemo& memo = MainCodeMemo();
    memo.Perform(EM_SETSEL, 0, 0);
    memo.Perform(EM_REPLACESEL, 0, LPARAM("<style>\r\n"));
    const int end = memo.Store().CharCount();
    memo.Perform(EM_SETSEL, WPARAM(end), LPARAM(end));
    memo.Perform(EM_REPLACESEL, 0, LPARAM("\r\n</style>"));
    memo.Perform(EM_EMPTYUNDOBUFFER, 0, 0);
    memo.Perform(EM_SETSEL, 0, 0);
}

} // namespace quillet
