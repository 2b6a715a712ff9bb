#include "app/MainForm.h"

#include "app/FileNameEdit.h"
#include "app/SelectorPanel.h"
#include "app/ToolbarImages.h"
#include "editor/CodeMemoStrings.h"
#include "editor/SearchControl.h"
#include "editor/UndoStack.h"
#include "highlight/RegistrySettings.h"
#include "highlight/ShippedDefinition.h"
#include "platform/Platform.h"
#include "platform/qt/QtConvert.h"
#include "platform/qt/QtWebBrowser.h"
#include "resources/Strings.h"
#include "widgets/CodeMemoWidget.h"
#include "widgets/HyperlinkLabel.h"

#include <QAction>
#include <QCheckBox>
#include <QCloseEvent>
#include <QComboBox>
#include <QCoreApplication>
#include <QGridLayout>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <QMenu>
#include <QMenuBar>
#include <QScreen>
#include <QSplitter>
#include <QTabWidget>
#include <QToolBar>
#include <QToolButton>
#include <QVBoxLayout>

#include <filesystem>

namespace quillet {

namespace {

// Both editors share every property but their definition, menu and change event.
constexpr TCodeMemoOptions EditorOptions =
    smoSyntaxHighlight | smoPrintWrap | smoPrintLineNos | smoPrintFilename | smoPrintDate |
    smoPrintPageNos | smoAutoIndent | smoTabToColumn | smoWordSelect | smoShowRMargin |
    smoShowGutter | smoShowWrapColumn | smoTitleAsFilename | smoProcessDroppedFiles |
    smoBlockOverwriteCursor | smoShowWrapGlyph | smoColumnTrack | smoUseTAB | smoSmartFill |
    smoOLEDragSource;

// Restores a detached undo log to the store even when the save in between fails.
class TUndoStackGuard {
public:
    explicit TUndoStackGuard(TCodeMemo& memo)
        : FMemo(memo), FStack(memo.Store().DetachUndoStack()) {}
    ~TUndoStackGuard() { FMemo.Perform(SM_UNDOSTACK, smSET, LPARAM(FStack.release())); }
    TUndoStackGuard(const TUndoStackGuard&) = delete;
    TUndoStackGuard& operator=(const TUndoStackGuard&) = delete;

private:
    TCodeMemo& FMemo;
    std::unique_ptr<TUndoStack> FStack;
};

// A box the user types one line into: a line edit, or an editable list box (which hands the keys
// to a line edit of its own).
bool IsTextBox(const QObject* object) {
    if (qobject_cast<const QLineEdit*>(object)) return true;
    auto* combo = qobject_cast<const QComboBox*>(object);
    return combo && combo->isEditable();
}

// Cut, copy, paste and select all act on the control that has the focus; a text box also keeps
// Ctrl+Del, its delete-word key.
bool IsFocusedControlKey(const QKeySequence& pressed, bool textBox) {
    static const QKeySequence editing[] = {
        QKeySequence(Qt::CTRL | Qt::Key_X), QKeySequence(Qt::CTRL | Qt::Key_C),
        QKeySequence(Qt::CTRL | Qt::Key_V), QKeySequence(Qt::CTRL | Qt::Key_A)};
    for (const QKeySequence& k : editing)
        if (pressed == k) return true;
    return textBox && pressed == QKeySequence(Qt::CTRL | Qt::Key_Delete);
}

} // namespace

TMainForm::TMainForm(TBrowserFactory browser, std::string programFolder)
    : FProgramFolder(std::move(programFolder)) {
    if (FProgramFolder.empty())
        FProgramFolder = FromQString(QCoreApplication::applicationDirPath());
    if (!FProgramFolder.empty() && FProgramFolder.back() != '/') FProgramFolder += '/';

    // The compiled definitions are part of the window's description.
    LoadShippedDefinition(CodeMemoParser, "css");
    LoadShippedDefinition(HtmlMemoParser, "html");
    // The choices made in the options dialog are kept, and read back by FormCreate.
    for (TCodeMemoParser* def : {&CodeMemoParser, &HtmlMemoParser}) {
        def->UseRegistry = true;
        def->RegistryKey = EditorSettingsKey();
    }
    CodeMemoParser.Name = "CodeMemoParser";
    HtmlMemoParser.Name = "HtmlMemoParser";

    setObjectName(QStringLiteral("MainForm"));
    setWindowTitle(ToQString(LoadStr(SAppTitle)));
    setFont(QFont(QStringLiteral("MS Sans Serif"), 8));
    resize(624, 369);
    if (QScreen* desktop = screen()) move(desktop->availableGeometry().center() - rect().center());

    BuildActions();
    BuildPrintActions();

    auto* central = new QWidget(this);
    auto* row = new QHBoxLayout(central);
    row->setContentsMargins(0, 0, 0, 0);
    row->setSpacing(0);
    row->addWidget(BuildCssPanel(), 1);
    row->addWidget(BuildOptionPanel());
    setCentralWidget(central);
    // The preview page needs the editor panel's check box, so it comes after the options.
    FWorkPages->addTab(BuildPreviewPage(browser), QStringLiteral("Просмотр"));
    // Until the settings name another, the preview shows the sample page shipped beside us.
    FHtmFilenameEdit->SetFileName(FProgramFolder + LoadStr(SSampleFileName));
    QObject::connect(FWorkPages, &QTabWidget::currentChanged, this, [this](int index) {
        if (index == 1) RunCommand([this] { WorkTabSheet2Show(); });
        FocusPageEditor(index);
    });

    BuildMenus();
    BuildViewMenus();
    ShowColorSwatches(MainCodeMemo());
    BuildToolsMenu();
    FEditorMemo->installEventFilter(this);
    for (QWidget* box : findChildren<QWidget*>())
        if (IsTextBox(box)) box->installEventFilter(this);
    // A user who starts the program and types writes into the document.
    FMainMemo->setFocus();
    ActionListUpdate();
}

TMainForm::~TMainForm() {
    // No change event or idle update may reach a window that is half gone.
    QObject::disconnect(FIdleUpdate);
    if (FMainMemo) FMainMemo->Memo().OnTextChange = nullptr;
    if (FEditorMemo) FEditorMemo->Memo().OnTextChange = nullptr;
    FMainMemo = FEditorMemo = nullptr;
}

bool TMainForm::event(QEvent* event) {
    if (event->type() == QEvent::ShortcutOverride &&
        (static_cast<QKeyEvent*>(event)->modifiers() & (Qt::ControlModifier | Qt::AltModifier)))
        ActionListUpdate();
    return QMainWindow::event(event);
}

bool TMainForm::eventFilter(QObject* watched, QEvent* event) {
    if (ZoomByWheel(event)) return true;
    if (FMainMemo && watched == FMainMemo->viewport() && LintToolTip(event)) return true;
    if (event->type() == QEvent::ShortcutOverride) {
        auto* key = static_cast<QKeyEvent*>(event);
        QKeySequence pressed(key->keyCombination());
        if (IsFocusedControlKey(pressed, IsTextBox(watched))) {
            key->accept(); // the control takes the key before the window's actions see it
            return true;
        }
        if (watched == FCssFilenameEdit->Edit() || watched == FHtmFilenameEdit->Edit()) {
            ActionListUpdate();
            for (QAction* a : actions())
                if (a->isEnabled() && a->shortcut() == pressed) return true; // left to the window
        }
    }
    return QMainWindow::eventFilter(watched, event);
}

void TMainForm::FocusPageEditor(int page) {
    if (page == 0)
        FMainMemo->setFocus();
    else if (FEditorCheckBox->isChecked() && EditorPanelHeight() > 0)
        FEditorMemo->setFocus();
    else
        FSplitter->widget(0)->setFocus(); // keys must not go to an editor nobody can see
}

void TMainForm::ShowCssEditor() {
    if (FWorkPages->currentIndex() != 0)
        FWorkPages->setCurrentIndex(0); // focuses the editor as the page comes forward
    else
        FocusPageEditor(0);
}

void TMainForm::ConfigureEditor(TCodeMemo& memo, TCodeMemoParser& parser) {
    TFontDesc font;
    font.Name = "Courier New";
    font.Height = -13;
    font.Charset = RUSSIAN_CHARSET;
    memo.SetFont(font);
    TFontDesc gutter;
    gutter.Name = "MS Sans Serif";
    gutter.Height = -11;
    memo.SetGutterFont(gutter);
    memo.SetOptions(EditorOptions);
    memo.SetClipCopyFormats(smTEXT | smRTF);
    memo.SetIndentStep(1);
    memo.SetMargin(2);
    memo.SetRightMargin(80);
    memo.SetTabDefault(4);
    memo.SetWrapAtColumn(0);
    memo.SetSelTextColor(clWhite);
    memo.SetSelTextBack(6956042);
    memo.SetMonoPrint(true);
    memo.SetSaveFormat(sfTEXT);
    memo.SetScrollBars(ssBoth);
    memo.SetSelLineStyle(lsCRLF);
    memo.SetReadOnly(false);
    memo.SetVisiblePropEdPages(ppOPTIONS | ppHIGHLIGHTING | ppKEYS | ppAUTOCORRECT | ppTEMPLATES);
    memo.SetParser(1, &parser);
    memo.SetActiveParser(1);
}

QWidget* TMainForm::BuildCssPanel() {
    auto* panel = new QWidget;
    panel->setObjectName(QStringLiteral("CssPanel"));
    auto* column = new QVBoxLayout(panel);
    column->setContentsMargins(0, 0, 0, 0);
    column->setSpacing(0);

    FToolBar1 = new QToolBar(panel);
    FToolBar1->setObjectName(QStringLiteral("ToolBar1"));
    FToolBar1->setIconSize(QSize(16, 16));
    FToolBar1->addAction(NewAction);
    OpenToolButton = new QToolButton(FToolBar1);
    OpenToolButton->setObjectName(QStringLiteral("OpenToolButton"));
    OpenToolButton->setIcon(ToolbarImage(1));
    OpenToolButton->setToolTip(QStringLiteral("Открыть Css... (Ctrl+O)"));
    OpenToolButton->setAutoRaise(true);
    QObject::connect(OpenToolButton, &QToolButton::clicked, this, [this] { OpenCss(); });
    FToolBar1->addWidget(OpenToolButton);
    FToolBar1->addAction(SaveAction);
    FToolBar1->addAction(PrintAction);
    FToolBar1->addSeparator();
    FToolBar1->addAction(CutAction);
    FToolBar1->addAction(CopyAction);
    FToolBar1->addAction(PasteAction);
    FToolBar1->addSeparator();
    FToolBar1->addAction(UndoAction);
    FToolBar1->addAction(RedoAction);
    FToolBar1->addSeparator();
    FToolBar1->addAction(ClearAction);
    FToolBar1->addAction(ShiftLeftAction);
    FToolBar1->addAction(ShiftRightAction);
    FToolBar1->addSeparator();
    StylePopupMenu = new QMenu(this);
    StylePopupMenu->setObjectName(QStringLiteral("StylePopupMenu"));
    auto* styleButton = new QToolButton(FToolBar1);
    styleButton->setObjectName(QStringLiteral("StyleToolButton"));
    styleButton->setDefaultAction(StyleAction);
    styleButton->setMenu(StylePopupMenu);
    styleButton->setPopupMode(QToolButton::MenuButtonPopup);
    styleButton->setAutoRaise(true);
    FToolBar1->addWidget(styleButton);
    ColorToolButton = new QToolButton(FToolBar1);
    ColorToolButton->setObjectName(QStringLiteral("ColorToolButton"));
    ColorToolButton->setIcon(ToolbarImage(8));
    ColorToolButton->setToolTip(QStringLiteral("Вставить цвет"));
    ColorToolButton->setAutoRaise(true);
    QObject::connect(ColorToolButton, &QToolButton::clicked, this,
                     [this] { RunCommand([this] { ColorToolButtonClick(); }); });
    FToolBar1->addWidget(ColorToolButton);
    column->addWidget(FToolBar1);

    FWorkPages = new QTabWidget(panel);
    FWorkPages->setObjectName(QStringLiteral("WorkPageControl"));
    auto* sheet1 = new QWidget;
    sheet1->setObjectName(QStringLiteral("WorkTabSheet1"));
    auto* sheetLayout = new QVBoxLayout(sheet1);
    sheetLayout->setContentsMargins(0, 0, 0, 0);
    FMainMemo = new TCodeMemoWidget(sheet1);
    FMainMemo->setObjectName(QStringLiteral("MainCodeMemo"));
    sheetLayout->addWidget(FMainMemo);
    ConfigureEditor(FMainMemo->Memo(), CodeMemoParser);
    FMainMemo->Memo().OnTextChange = [this](TCustomCodeMemo&, int start, int extent) {
        MainCodeMemoTextChange(start, extent);
    };
    FWorkPages->addTab(sheet1, ToQString(LoadStr(SCssPageCaption)));
    column->addWidget(FWorkPages, 1);
    return panel;
}

QWidget* TMainForm::BuildOptionPanel() {
    FOptionPanel = new QWidget;
    FOptionPanel->setObjectName(QStringLiteral("OptionPanel"));
    FOptionPanel->setFixedWidth(272);
    auto* column = new QVBoxLayout(FOptionPanel);
    column->setContentsMargins(0, 0, 0, 0);
    FOptionPages = new QTabWidget(FOptionPanel);
    FOptionPages->setObjectName(QStringLiteral("OptionPageControl"));
    column->addWidget(FOptionPages);

    SelectorPanel = new TSelectorPanel([this](const std::string& text) {
        RunCommand(
            [this, &text] { MainCodeMemo().Perform(EM_REPLACESEL, 0, LPARAM(text.c_str())); });
    });
    SelectorPanel->setObjectName(QStringLiteral("SelectorTabSheet"));
    FOptionPages->addTab(SelectorPanel, QStringLiteral("Селектор"));

    auto* about = new QWidget;
    about->setObjectName(QStringLiteral("AboutTabSheet"));
    auto* aboutColumn = new QVBoxLayout(about);
    auto* group = new QGroupBox(QStringLiteral("Настройка"), about);
    group->setObjectName(QStringLiteral("SettingsGroupBox"));
    auto* form = new QVBoxLayout(group);
    auto box = [&](const char* name, const char* caption, bool on) {
        auto* b = new QCheckBox(QString::fromUtf8(caption), group);
        b->setObjectName(QString::fromLatin1(name));
        b->setChecked(on);
        form->addWidget(b);
        return b;
    };
    FEditorCheckBox = box("EditorCheckBox", "Показывать html редактор", true);
    FLightCodeCheckBox = box("LightCodeCheckBox", "Подсветка кода", true);
    FLineCheckBox = box("LineCheckBox", "Выделять строку", false);
    FGroupedUndoCheckBox = box("GroupedUndoCheckBox", "Групповая отмена в редакторе Css", false);
    FSaveUndoCheckBox = box("SaveUndoCheckBox", "Отмена после записи Css", true);
    form->addWidget(new QLabel(QStringLiteral("Путь и имя файла Css для предпросмотра"), group));
    FCssFilenameEdit = new TFileNameEdit(group);
    FCssFilenameEdit->setObjectName(QStringLiteral("CssFilenameEdit"));
    FCssFilenameEdit->SetFilter(LoadStr(SCssFileFilter));
    form->addWidget(FCssFilenameEdit);
    form->addWidget(new QLabel(QStringLiteral("Путь и имя файла *.htm для предпросмотра"), group));
    FHtmFilenameEdit = new TFileNameEdit(group);
    FHtmFilenameEdit->setObjectName(QStringLiteral("HtmFilenameEdit"));
    FHtmFilenameEdit->SetFilter(LoadStr(SHtmFileFilter));
    form->addWidget(FHtmFilenameEdit);
    aboutColumn->addWidget(group);
    aboutColumn->addStretch(1);

    AboutPanel = new QWidget(about);
    AboutPanel->setObjectName(QStringLiteral("AboutPanel"));
    AboutPanel->setFixedHeight(105);
    auto* aboutGrid = new QGridLayout(AboutPanel);
    auto* logo = new QLabel(AboutPanel);
    logo->setObjectName(QStringLiteral("LogoImage"));
    logo->setPixmap(LogoPicture());
    logo->setFixedSize(32, 32);
    aboutGrid->addWidget(logo, 0, 0, 2, 1, Qt::AlignTop);
    auto link = [this](const char* name, const std::string& address) {
        auto* label = new THyperlinkLabel(AboutPanel);
        label->setObjectName(QString::fromLatin1(name));
        QFont f(QStringLiteral("MS Sans Serif"), 8);
        f.setUnderline(true);
        label->setFont(f);
        label->setText(ToQString(address));
        label->SetURL(address);
        label->SetFlat(true);
        label->SetActiveColor(clRed);
        label->SetPassiveColor(0xFF0000); // blue
        return label;
    };
    SiteLinkLabel = link("SiteLinkLabel", LoadStr(SSiteAddress));
    MailLinkLabel = link("MailLinkLabel", LoadStr(SMailAddress));
    aboutGrid->addWidget(SiteLinkLabel, 0, 1);
    aboutGrid->addWidget(MailLinkLabel, 1, 1);
    auto* aboutText = new QLabel(QStringLiteral("Утилита Quillet предназначена для упрощения \n"
                                                "создания файлов стилей и входит в состав \n"
                                                "программы Brovix начиная с версии 1.7"),
                                 AboutPanel);
    aboutText->setObjectName(QStringLiteral("AboutLabel"));
    aboutText->setWordWrap(true); // the substitute fonts run wider than the design font
    aboutGrid->addWidget(aboutText, 2, 0, 1, 2);
    aboutColumn->addWidget(AboutPanel);
    FOptionPages->addTab(about, QStringLiteral("О программе"));

    // A box acts at once when its state changes, whether the user or the settings changed it.
    QObject::connect(FEditorCheckBox, &QCheckBox::toggled, this,
                     [this] { RunCommand([this] { EditorCheckBoxClick(); }); });
    QObject::connect(FLightCodeCheckBox, &QCheckBox::toggled, this,
                     [this] { RunCommand([this] { LightCodeCheckBoxClick(); }); });
    QObject::connect(FLineCheckBox, &QCheckBox::toggled, this,
                     [this] { RunCommand([this] { LineCheckBoxClick(); }); });
    return FOptionPanel;
}

void TMainForm::FormCreate() {
    // The definitions first: the window's own choices below are applied over them.
    LoadEditorSettings();
    try {
        LoadSettings();
    } catch (...) {
        // A missing or damaged setting keeps its default; nothing is shown.
    }
    try {
        LoadViewSettings();
    } catch (...) {
        // As above: the view keeps its defaults.
    }
    // A stored options word may disagree with the window's boxes and menu; the window wins, as
    // it would have when the user last changed them.
    TCodeMemoOptions options = MainCodeMemo().Options() & ~TCodeMemoOptions(smoSyntaxHighlight);
    if (FLightCodeCheckBox->isChecked()) options |= smoSyntaxHighlight;
    MainCodeMemo().SetOptions(options);
    ApplyViewOptions();
    setWindowState(windowState() | Qt::WindowMaximized);
}

std::string EditorSettingsKey() {
    return LoadStr(SSettingsKey) + "\\Editor";
}

void TMainForm::LoadEditorSettings() {
    IRegistry& registry = *Platform().Registry;
    const std::pair<TCodeMemoParser*, const char*> definitions[] = {
        {&CodeMemoParser, "CodeMemoParser"}, {&HtmlMemoParser, "HtmlMemoParser"}};
    for (auto [def, name] : definitions) {
        try {
            LoadFromRegistry(*def, registry, name);
        } catch (...) {
            // A damaged or foreign value: the definition keeps what it shipped with.
        }
        def->NotifyUsers(); // the editors re-read the settings they share
    }
}

TCodeMemo& TMainForm::MainCodeMemo() {
    return FMainMemo->Memo();
}
TCodeMemo& TMainForm::EditorCodeMemo() {
    return FEditorMemo->Memo();
}

// --- Document state -------------------------------------------------------------

std::string TMainForm::FileName() const {
    return FDocumentName;
}

void TMainForm::SetDocumentName(const std::string& path) {
    // A name that is not UTF-8 shows with stand-in characters; it is kept as its bytes, or a
    // save would make a file of the shown name beside the one that was opened.
    FDocumentName = path;
    FDocumentStamp = FileStamp(path);
    setWindowTitle(
        ToQString(path.empty() ? LoadStr(SAppTitle) : LoadStr(SAppCaptionPrefix) + path));
}

std::string TMainForm::PageCaption() const {
    return FromQString(FWorkPages->tabText(0));
}

bool TMainForm::IsModified() const {
    return PageCaption().find('*') != std::string::npos;
}

void TMainForm::SetPageCaption(const std::string& caption) {
    FWorkPages->setTabText(0, ToQString(caption));
}

void TMainForm::MainCodeMemoTextChange(int, int) {
    FPreviewTimer->start();
    ScheduleLint();
    std::string caption = PageCaption();
    if (caption.find('*') == std::string::npos) caption = '*' + caption;
    SetPageCaption(caption);
}

// --- Commands -------------------------------------------------------------------

void TMainForm::ShowError(const std::string& text) {
    Platform().Dialogs->MessageBox(text, LoadStr(SAppTitle), mtError, mbOK);
}

void TMainForm::RunCommand(const std::function<void()>& command) {
    try {
        command();
    } catch (const EAbort&) {
        // The user cancelled: nothing to say.
    } catch (const std::exception& e) {
        ShowError(e.what());
    }
}

void TMainForm::ConfirmSaveChanges() {
    if (!IsModified()) return;
    TModalResult answer = Platform().Dialogs->MessageBox(
        LoadStr(SConfirmSaveChanges), LoadStr(SConfirmTitle), mtConfirmation, mbYesNoCancel);
    if (answer == mrYes) {
        // The changes are kept unless they really reached a file: a cancelled or failed save
        // stops the command that asked (a failure is shown by the command's error display).
        if (!DoSaveCssAs()) throw EAbort();
    } else if (answer != mrNo) {
        throw EAbort();
    }
}

void TMainForm::ConfirmSavePage() {
    if (!EditorCodeMemo().Modified()) return;
    // Text typed while no page was read has no file yet: asked about all the same, and saved
    // where the user says.
    const bool unnamed = FEditorPage.empty();
    if (unnamed && EditorCodeMemo().Text().empty()) return;
    TModalResult answer = Platform().Dialogs->MessageBox(
        unnamed ? LoadStr(SConfirmSaveUnnamedPage) : FmtLoadStr(SConfirmSavePage, FEditorPage),
        LoadStr(SConfirmTitle), mtConfirmation, mbYesNoCancel);
    if (answer == mrNo) return;
    if (answer != mrYes) throw EAbort();
    std::string target = FEditorPage;
    if (unnamed) {
        auto path =
            Platform().Dialogs->SaveFile(SaveOptions(SPageSaveTitle, SHtmFileFilter, "htm", true));
        if (!path) throw EAbort();
        target = *path;
    }
    // A failed save throws: the edits stay, and so does whatever asked.
    ConfirmEncoding(target, EditorCodeMemo());
    EditorCodeMemo().SaveToFile(target);
    FEditorPage = target;
}

std::string TMainForm::ShippedFile(const std::string& name) const {
    const std::string beside = FProgramFolder + name;
#ifdef QUILLET_DATA_FROM_BIN
    // Installed, the program runs from bin/ and its files live in the data folder.
    if (!Platform().Shell->FileExists(beside)) {
        auto installed = std::filesystem::path(FProgramFolder + QUILLET_DATA_FROM_BIN + "/" + name)
                             .lexically_normal();
        if (Platform().Shell->FileExists(installed.string())) return installed.string();
    }
#endif
    return beside;
}

void TMainForm::NewCss() {
    RunCommand([this] {
        if (IsModified()) ConfirmSaveChanges();
        SetDocumentName({});
        MainCodeMemo().Lines().Clear();
        SetPageCaption(LoadStr(SCssPageCaption));
        FHtmFilenameEdit->SetFileName(ShippedFile(LoadStr(SSampleFileName)));
        ShowCssEditor();
        ScheduleLint();
    });
}

void TMainForm::DoOpen(const std::string& path) {
    MainCodeMemo().LoadFromFile(path);
    SetDocumentName(path);
    SetPageCaption(LoadStr(SCssPageCaption));
    // The box takes no control characters; a document of such a name opens all the same.
    if (IsValidFileName(path)) FCssFilenameEdit->SetFileName(path);
    AddRecentFile(path);
    ShowCssEditor();
    ScheduleLint();
}

void TMainForm::OpenCss() {
    RunCommand([this] {
        ConfirmSaveChanges();
        TFileDialogOptions options;
        options.Title = LoadStr(SCssOpenTitle);
        options.Filter = LoadStr(SCssOpenFilter);
        options.InitialDir = WorkFolder();
        auto path = Platform().Dialogs->OpenFile(options);
        if (!path) return;
        DoOpen(*path);
    });
}

void TMainForm::OpenFile(const std::string& path) {
    RunCommand([this, &path] { DoOpen(path); });
}

void TMainForm::ConfirmEncoding(const std::string& fileName, TCodeMemo& memo) {
    // A document its code page cannot hold goes out as UTF-8, which changes every byte beyond
    // ASCII: the user says so first, or nothing is written.
    const bool plain = memo.SaveFormat() == sfTEXT || memo.SaveFormat() == sfUNIX;
    if (!plain || memo.FitsEncoding()) return;
    if (Platform().Dialogs->MessageBox(FmtLoadStr(SConfirmUtf8, fileName), LoadStr(SConfirmTitle),
                                       mtConfirmation, mbYesNo) != mrYes)
        throw EAbort();
}

void TMainForm::SaveKeepingUndo(const std::string& fileName, TCodeMemo& memo) {
    TUndoStackGuard keep(memo);
    memo.SaveToFile(fileName);
}

void TMainForm::DoSaveCss() {
    std::string fileName = FileName();
    if (fileName.empty()) {
        DoSaveCssAs();
        return;
    }
    // Another program's changes to the file since it was read would be lost without a word.
    const TFileStamp now = FileStamp(fileName);
    if (FDocumentStamp.Exists && now.Exists && now != FDocumentStamp &&
        Platform().Dialogs->MessageBox(FmtLoadStr(SConfirmOverwriteChanged, fileName),
                                       LoadStr(SConfirmTitle), mtConfirmation, mbYesNo) != mrYes)
        throw EAbort();
    ConfirmEncoding(fileName, MainCodeMemo());
    if (FSaveUndoCheckBox->isChecked())
        SaveKeepingUndo(fileName, MainCodeMemo());
    else
        MainCodeMemo().SaveToFile(fileName);
    FDocumentStamp = FileStamp(fileName);
    SetPageCaption(LoadStr(SCssPageCaption));
}

TFileDialogOptions TMainForm::SaveOptions(int title, int filter, const std::string& ext,
                                          bool overwritePrompt) const {
    TFileDialogOptions options;
    options.Title = LoadStr(title);
    options.Filter = LoadStr(filter);
    options.DefaultExt = ext;
    options.OverwritePrompt = overwritePrompt;
    options.InitialDir = WorkFolder();
    return options;
}

bool TMainForm::DoSaveCssAs() {
    TFileDialogOptions options = SaveOptions(SCssSaveTitle, SCssSaveFilter, "css", false);
    if (!FileName().empty()) options.FileName = FileName();
    auto path = Platform().Dialogs->SaveFile(options);
    if (!path) return false;
    ConfirmEncoding(*path, MainCodeMemo());
    MainCodeMemo().SaveToFile(*path);
    SetDocumentName(*path);
    SetPageCaption(LoadStr(SCssPageCaption));
    AddRecentFile(*path);
    return true;
}

void TMainForm::SaveCss() {
    RunCommand([this] { DoSaveCss(); });
}

void TMainForm::SaveCssAs() {
    RunCommand([this] { DoSaveCssAs(); });
}

void TMainForm::closeEvent(QCloseEvent* event) {
    try {
        if (IsModified()) ConfirmSaveChanges();
        ConfirmSavePage();
    } catch (const EAbort&) {
        event->ignore();
        return;
    } catch (const std::exception& e) {
        // The save the user asked for failed: the document stays open with its changes.
        ShowError(e.what());
        event->ignore();
        return;
    }
    // Settings that cannot be written are reported, but do not keep the window open.
    RunCommand([this] {
        SaveSettings();
        SaveViewSettings();
    });
    // The editors' find and replace windows stand on their own: left open, they would keep the
    // program running with no window to end it from.
    for (TCodeMemo* memo : {&MainCodeMemo(), &EditorCodeMemo()}) {
        TCM_Search& search = memo->Search().Engine();
        for (IFindDialog* dialog : {search.FindDialog(), search.ReplaceDialog()})
            if (dialog && dialog->Visible()) dialog->Close();
    }
    event->accept();
}

} // namespace quillet
