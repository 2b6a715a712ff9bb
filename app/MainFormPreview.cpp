// The preview page, its HTML editor, and the settings the window keeps in the registry.
#include "app/FileNameEdit.h"
#include "app/MainForm.h"
#include "platform/Files.h"

#include "app/ToolbarImages.h"
#include "platform/Platform.h"
#include "platform/qt/QtConvert.h"
#include "platform/qt/QtWebBrowser.h"
#include "resources/Strings.h"
#include "widgets/CodeMemoWidget.h"

#include <QAction>
#include <QCheckBox>
#include <QEvent>
#include <QLabel>
#include <QPushButton>
#include <QSplitter>
#include <QStackedWidget>
#include <QStyle>
#include <QTimer>
#include <QToolBar>
#include <QToolButton>
#include <QVBoxLayout>

#include <filesystem>

namespace quillet {

namespace {

// Keeps the splitter's lower pane at the window's logical height when the splitter resizes.
class TSplitterResizeFilter : public QObject {
public:
    TSplitterResizeFilter(QObject* parent, std::function<void()> apply)
        : QObject(parent), FApply(std::move(apply)) {}
    bool eventFilter(QObject*, QEvent* e) override {
        if (e->type() == QEvent::Resize || e->type() == QEvent::Show) FApply();
        return false;
    }

private:
    std::function<void()> FApply;
};

} // namespace

QWidget* TMainForm::BuildPreviewPage(const TBrowserFactory& browser) {
    auto* sheet = new QWidget;
    sheet->setObjectName(QStringLiteral("WorkTabSheet2"));
    auto* column = new QVBoxLayout(sheet);
    column->setContentsMargins(0, 0, 0, 0);

    FSplitter = new QSplitter(Qt::Vertical, sheet);
    FSplitter->setObjectName(QStringLiteral("Splitter"));
    FSplitter->setHandleWidth(3);
    FSplitter->setOpaqueResize(true);
    FSplitter->setChildrenCollapsible(true);
    FSplitter->setStyleSheet(QStringLiteral("QSplitter::handle { background: grey; }"));
    column->addWidget(FSplitter);

    TBrowserPart part;
    if (browser) {
        part = browser(FSplitter);
    } else {
        auto* view = new TQtWebBrowser(FSplitter);
        // An empty page now gives the window the browser's drawing surface from the start.
        // Created at the first showing of the preview, that surface makes the toolkit rebuild
        // the whole window, which drops the keys typed meanwhile and loses the focus.
        view->setHtml(QString());
        part = {view, view};
    }
    part.Widget->setObjectName(QStringLiteral("WebBrowser"));
    FBrowser = part.Browser;
    // In the browser's place, while there is no page to show: why, and a way to choose one.
    FPreviewStack = new QStackedWidget(FSplitter);
    FPreviewStack->setObjectName(QStringLiteral("PreviewStack"));
    FPreviewStack->addWidget(part.Widget);
    FNoPagePanel = new QWidget(FPreviewStack);
    FNoPagePanel->setObjectName(QStringLiteral("NoPagePanel"));
    auto* noteColumn = new QVBoxLayout(FNoPagePanel);
    noteColumn->addStretch(1);
    FNoPageLabel = new QLabel(FNoPagePanel);
    FNoPageLabel->setObjectName(QStringLiteral("NoPageLabel"));
    FNoPageLabel->setAlignment(Qt::AlignCenter);
    FNoPageLabel->setWordWrap(true);
    FNoPageLabel->setTextFormat(Qt::PlainText);
    noteColumn->addWidget(FNoPageLabel);
    ChoosePageButton = new QPushButton(QStringLiteral("Выбрать страницу…"), FNoPagePanel);
    ChoosePageButton->setObjectName(QStringLiteral("ChoosePageButton"));
    QObject::connect(ChoosePageButton, &QPushButton::clicked, this, [this] {
        RunCommand([this] {
            std::string before = FHtmFilenameEdit->FileName();
            FHtmFilenameEdit->Browse();
            if (FHtmFilenameEdit->FileName() != before) WorkTabSheet2Show();
        });
    });
    noteColumn->addWidget(ChoosePageButton, 0, Qt::AlignCenter);
    noteColumn->addStretch(2);
    FPreviewStack->addWidget(FNoPagePanel);
    FSplitter->addWidget(FPreviewStack);

    // Typing in either editor shows in the preview once it pauses.
    FPreviewTimer = new QTimer(this);
    FPreviewTimer->setSingleShot(true);
    FPreviewTimer->setInterval(300);
    QObject::connect(FPreviewTimer, &QTimer::timeout, this,
                     [this] { RunCommand([this] { PreviewTimerTimeout(); }); });
    RefreshAction = new QAction(style()->standardIcon(QStyle::SP_BrowserReload),
                                QStringLiteral("Обновить"), this);
    RefreshAction->setObjectName(QStringLiteral("RefreshAction"));
    RefreshAction->setShortcut(QKeySequence(Qt::Key_F5));
    RefreshAction->setToolTip(QStringLiteral("Обновить просмотр (F5)"));
    QObject::connect(RefreshAction, &QAction::triggered, this,
                     [this] { RunCommand([this] { RefreshPreview(); }); });
    addAction(RefreshAction);

    FHtmlEditorPanel = new QWidget(FSplitter);
    FHtmlEditorPanel->setObjectName(QStringLiteral("HtmlEditorPanel"));
    auto* panelColumn = new QVBoxLayout(FHtmlEditorPanel);
    panelColumn->setContentsMargins(0, 0, 0, 0);
    panelColumn->setSpacing(0);
    FEditorToolBar = new QToolBar(FHtmlEditorPanel);
    FEditorToolBar->setObjectName(QStringLiteral("EditorToolBar"));
    FEditorToolBar->setIconSize(QSize(16, 16));
    EditorSaveToolButton = new QToolButton(FEditorToolBar);
    EditorSaveToolButton->setObjectName(QStringLiteral("EditorSaveToolButton"));
    EditorSaveToolButton->setIcon(ToolbarImage(2));
    EditorSaveToolButton->setToolTip(QStringLiteral("Сохранить html"));
    EditorSaveToolButton->setAutoRaise(true);
    QObject::connect(EditorSaveToolButton, &QToolButton::clicked, this,
                     [this] { RunCommand([this] { EditorSaveToolButtonClick(); }); });
    FEditorToolBar->addWidget(EditorSaveToolButton);
    FEditorToolBar->addSeparator();
    FEditorToolBar->addAction(EditorCutAction);
    FEditorToolBar->addAction(EditorCopyAction);
    FEditorToolBar->addAction(EditorPasteAction);
    FEditorToolBar->addSeparator();
    FEditorToolBar->addAction(RefreshAction);
    panelColumn->addWidget(FEditorToolBar);
    FEditorMemo = new TCodeMemoWidget(FHtmlEditorPanel);
    FEditorMemo->setObjectName(QStringLiteral("EditorCodeMemo"));
    ConfigureEditor(FEditorMemo->Memo(), HtmlMemoParser);
    FEditorMemo->Memo().OnTextChange = [this](TCustomCodeMemo&, int, int) {
        FPreviewTimer->start();
    };
    panelColumn->addWidget(FEditorMemo, 1);
    FSplitter->addWidget(FHtmlEditorPanel);
    FSplitter->setStretchFactor(0, 1);
    FSplitter->setStretchFactor(1, 0);

    // A drag of the bar is the user setting the pane's height.
    QObject::connect(FSplitter, &QSplitter::splitterMoved, this, [this] {
        QList<int> sizes = FSplitter->sizes();
        if (sizes.size() == 2) FEditorPanelHeight = sizes[1];
    });
    FSplitter->installEventFilter(
        new TSplitterResizeFilter(this, [this] { SetEditorPanelHeight(FEditorPanelHeight); }));
    return sheet;
}

int TMainForm::EditorPanelHeight() const {
    return FEditorPanelHeight;
}

void TMainForm::SetEditorPanelHeight(int height) {
    FEditorPanelHeight = std::max(0, height);
    int total = FSplitter->height() - FSplitter->handleWidth();
    if (total <= 0) return; // not laid out yet: applied at the first resize
    int lower = std::min(FEditorPanelHeight, total);
    FSplitter->setSizes({total - lower, lower});
}

void TMainForm::WorkTabSheet2Show() {
    std::string page = FHtmFilenameEdit->FileName();
    if (!ShowPreviewOrNote(page)) return;
    // The page is read again each time it is shown, but never over edits to it that are not
    // saved yet: those would be gone without a word. Another page is read once the user has
    // said what becomes of them; a cancel keeps the page being edited.
    if (EditorCodeMemo().Modified() && page != FEditorPage) {
        try {
            ConfirmSavePage();
        } catch (const EAbort&) {
            FHtmFilenameEdit->SetFileName(FEditorPage);
            page = FEditorPage;
            if (!ShowPreviewOrNote(page)) return;
        }
    }
    if (!(EditorCodeMemo().Modified() && page == FEditorPage)) {
        EditorCodeMemo().LoadFromFile(page);
        FEditorPage = page;
    }
    UpdatePreview();
}

bool TMainForm::ShowPreviewOrNote(const std::string& page) {
    std::error_code error;
    if (!page.empty() && std::filesystem::is_regular_file(page, error)) {
        FPreviewStack->setCurrentIndex(0);
        return true;
    }
    FNoPageLabel->setText(
        page.empty() ? QStringLiteral("Страница-образец для просмотра не задана.")
                     : QStringLiteral("Страница-образец не найдена:\n%1").arg(ToQString(page)));
    FPreviewStack->setCurrentWidget(FNoPagePanel);
    FShownPreview = {};
    return false;
}

QWidget* TMainForm::NoPagePanel() const {
    return FPreviewStack->currentWidget() == FNoPagePanel ? FNoPagePanel : nullptr;
}

std::string TMainForm::PreviewSheet() const {
    std::string document = FileName();
    if (!document.empty()) return document;
    std::filesystem::path page(FHtmFilenameEdit->FileName());
    return (page.parent_path() / "Sample.css").string();
}

void TMainForm::UpdatePreview() {
    std::string page = FHtmFilenameEdit->FileName();
    if (!ShowPreviewOrNote(page)) return;
    FPreviewTimer->stop();
    FShownPreview = {page, EditorCodeMemo().Text(), PreviewSheet(), MainCodeMemo().Text()};
    if (FBrowser) FBrowser->ShowPreview(FShownPreview);
}

void TMainForm::PreviewTimerTimeout() {
    if (FWorkPages->currentIndex() != 1 || NoPagePanel()) return; // shown when the page is
    TPreviewTexts now{FHtmFilenameEdit->FileName(), EditorCodeMemo().Text(), PreviewSheet(),
                      MainCodeMemo().Text()};
    if (now.Page == FShownPreview.Page && now.PageText == FShownPreview.PageText &&
        now.Sheet == FShownPreview.Sheet && now.SheetText == FShownPreview.SheetText)
        return;
    UpdatePreview();
}

void TMainForm::RefreshPreview() {
    if (FWorkPages->currentIndex() != 1) return;
    UpdatePreview();
}

void TMainForm::EditorSaveToolButtonClick() {
    const std::string target = FHtmFilenameEdit->FileName();
    // The box may name another page than the one this text was read from (it can be changed
    // while the page shows): that page would be replaced by this one's text without a word.
    std::error_code error;
    if (!FEditorPage.empty() && !SameFile(target, FEditorPage) &&
        std::filesystem::exists(target, error)) {
        TModalResult answer =
            Platform().Dialogs->MessageBox(FmtLoadStr(SConfirmReplacePage, target, FEditorPage),
                                           LoadStr(SConfirmTitle), mtConfirmation, mbYesNo);
        if (answer != mrYes) return;
    }
    ConfirmEncoding(target, EditorCodeMemo());
    EditorCodeMemo().SaveToFile(target);
    FEditorPage = target;
    if (FBrowser) FBrowser->Refresh();
}

void TMainForm::EditorCheckBoxClick() {
    if (FEditorCheckBox->isChecked()) {
        SetEditorPanelHeight(FSavedEditorHeight);
    } else {
        FSavedEditorHeight = EditorPanelHeight();
        SetEditorPanelHeight(0);
    }
}

void TMainForm::LightCodeCheckBoxClick() {
    TCodeMemoOptions options = smoPrintWrap | smoPrintLineNos | smoPrintFilename | smoPrintDate |
                               smoPrintPageNos | smoAutoIndent | smoTabToColumn | smoShowRMargin |
                               smoShowGutter | smoShowWrapColumn | smoTitleAsFilename |
                               smoProcessDroppedFiles | smoBlockOverwriteCursor | smoShowWrapGlyph |
                               smoUseTAB | smoSmartFill;
    if (FLightCodeCheckBox->isChecked()) options |= smoSyntaxHighlight;
    options |= ViewOptions(); // the "Вид" menu's choices stay
    MainCodeMemo().SetOptions(options);
}

void TMainForm::LineCheckBoxClick() {
    MainCodeMemo().SetShowFocusLine(FLineCheckBox->isChecked());
}

// --- Settings -------------------------------------------------------------------

void TMainForm::LoadSettings() {
    IRegistry& registry = *Platform().Registry;
    const std::string& key = LoadStr(SSettingsKey);
    registry.OpenKey(key, false);
    // Each value is applied as soon as it is read: an error stops at that value.
    auto flag = [&](const char* name, QCheckBox* box) {
        box->setChecked(registry.ReadDword(key, name) != 0);
    };
    auto text = [&](const char* name) {
        // A missing text reads as empty.
        if (registry.ValueType(key, name) == rtNone) return std::string();
        return registry.ReadString(key, name);
    };
    flag("EditorState", FEditorCheckBox);
    flag("LightCode", FLightCodeCheckBox);
    flag("LineSel", FLineCheckBox);
    flag("GroupUndo", FGroupedUndoCheckBox);
    flag("SaveUndo", FSaveUndoCheckBox);
    FCssFilenameEdit->SetFileName(text("CssSample"));
    FHtmFilenameEdit->SetFileName(text("HtmSample"));
    SetEditorPanelHeight(int(registry.ReadDword(key, "EditorHeight")));
}

void TMainForm::SaveSettings() {
    IRegistry& registry = *Platform().Registry;
    const std::string& key = LoadStr(SSettingsKey);
    registry.OpenKey(key, true);
    auto flag = [&](const char* name, QCheckBox* box) {
        registry.WriteDword(key, name, box->isChecked() ? 1 : 0);
    };
    flag("EditorState", FEditorCheckBox);
    flag("LightCode", FLightCodeCheckBox);
    flag("LineSel", FLineCheckBox);
    flag("GroupUndo", FGroupedUndoCheckBox);
    flag("SaveUndo", FSaveUndoCheckBox);
    registry.WriteString(key, "CssSample", FCssFilenameEdit->FileName());
    registry.WriteString(key, "HtmSample", FHtmFilenameEdit->FileName());
    registry.WriteDword(key, "EditorHeight", uint32_t(EditorPanelHeight()));
}

} // namespace quillet
