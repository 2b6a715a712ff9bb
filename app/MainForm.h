// The main window: the CSS document, its commands, the preview page and the settings.
#pragma once

#include "css/Lint.h"
#include "editor/CodeMemo.h"
#include "highlight/CodeMemoParser.h"
#include "platform/Dialogs.h"
#include "platform/Files.h"
#include "platform/WebBrowser.h"

#include <QMainWindow>

#include <functional>
#include <string>
#include <vector>

class QAction;
class QCheckBox;
class QCloseEvent;
class QLabel;
class QDockWidget;
class QListWidget;
class QMenu;
class QPushButton;
class QSplitter;
class QStackedWidget;
class QTabWidget;
class QTimer;
class QToolBar;
class QToolButton;
class QWidget;

namespace quillet {

class TCodeMemoWidget;
class THelpWindow;
class THyperlinkLabel;
class TSelectorPanel;
class TFileNameEdit;

// The browser of the preview page and the widget that shows it (owned by the widget's parent).
struct TBrowserPart {
    QWidget* Widget = nullptr;
    IWebBrowser* Browser = nullptr;
};
using TBrowserFactory = std::function<TBrowserPart(QWidget* parent)>;

// The two language definitions outlive the editors that use them: as a base class they are
// destroyed after the window's widgets.
struct TMainFormDefinitions {
    TCodeMemoParser CodeMemoParser; // CSS
    TCodeMemoParser HtmlMemoParser; // HTML
};

// Where the two definitions keep their highlighting and keys: under the program's own key.
std::string EditorSettingsKey();

// Six upper-case hexadecimal digits, red first: RGB(255, 128, 64) is "FF8040".
std::string ColorToCssHex(TColor color);

class TMainForm : private TMainFormDefinitions, public QMainWindow {
public:
    // No browser factory: the web engine. The program folder holds the sample page; empty: the
    // folder of the executable.
    explicit TMainForm(TBrowserFactory browser = {}, std::string programFolder = {});
    ~TMainForm() override;

    // Start-up: the settings, read inside a guard, then the maximised window state.
    void FormCreate();

    // The document commands as the user runs them: errors are shown as a message box and end
    // the command; a cancelled question ends it silently.
    void NewCss();
    void OpenCss();
    void SaveCss();
    void SaveCssAs();
    // Opens a file as Open does, without the dialog (the command line).
    void OpenFile(const std::string& path);

    // Printing the CSS document (MainFormPrint.cpp): the print dialog (printer, copies, all or
    // the selection), the print preview, and the whole document into a PDF chosen in a save
    // dialog. PrintToPdf prints the whole document into `pdfFile` and raises on failure.
    void PrintCss();
    void PreviewCss();
    void ExportPdf();
    void PrintToPdf(const std::string& pdfFile);
    // Opens `path` and prints it into `pdfFile` (quillet --print); raises on failure.
    void PrintFileToPdf(const std::string& path, const std::string& pdfFile);

    // The document state, read back from the captions; the file name as it was given, since a
    // caption cannot hold every byte a path may have.
    std::string FileName() const;
    bool IsModified() const;
    std::string PageCaption() const;

    void LoadSettings();
    void SaveSettings();
    // The preview page became visible.
    void WorkTabSheet2Show();
    void EditorSaveToolButtonClick();

    // The live preview: the sample page from the HTML editor's text with the style sheet from
    // the CSS editor's text, nothing written; a missing page shows a word and a way to choose
    // one instead. Typing in either editor updates it once typing pauses.
    void UpdatePreview();
    // "Обновить": the current texts, read again by the browser.
    void RefreshPreview();
    // The sheet the preview answers from the CSS editor: the open document, or Sample.css
    // beside the sample page while the document is untitled.
    std::string PreviewSheet() const;
    // The note shown in place of the browser while no sample page can be shown, or null.
    QWidget* NoPagePanel() const;
    QLabel* NoPageLabel() const { return FNoPageLabel; }
    QPushButton* ChoosePageButton = nullptr;
    QAction* RefreshAction = nullptr;
    QTimer* PreviewTimer() const { return FPreviewTimer; }
    void ActionListUpdate();

    // Components.
    TCodeMemo& MainCodeMemo();
    TCodeMemo& EditorCodeMemo();
    TCodeMemoWidget* MainCodeMemoWidget() const { return FMainMemo; }
    TCodeMemoWidget* EditorCodeMemoWidget() const { return FEditorMemo; }
    QTabWidget* WorkPageControl() const { return FWorkPages; }
    QTabWidget* OptionPageControl() const { return FOptionPages; }
    QWidget* OptionPanel() const { return FOptionPanel; }
    QWidget* HtmlEditorPanel() const { return FHtmlEditorPanel; }
    QSplitter* Splitter() const { return FSplitter; }
    QToolBar* ToolBar1() const { return FToolBar1; }
    TFileNameEdit* CssFilenameEdit() const { return FCssFilenameEdit; }
    TFileNameEdit* HtmFilenameEdit() const { return FHtmFilenameEdit; }
    QCheckBox* EditorCheckBox() const { return FEditorCheckBox; }
    QCheckBox* LightCodeCheckBox() const { return FLightCodeCheckBox; }
    QCheckBox* LineCheckBox() const { return FLineCheckBox; }
    QCheckBox* GroupedUndoCheckBox() const { return FGroupedUndoCheckBox; }
    QCheckBox* SaveUndoCheckBox() const { return FSaveUndoCheckBox; }
    IWebBrowser* WebBrowser() const { return FBrowser; }
    int SavedEditorHeight() const { return FSavedEditorHeight; }
    // A file shipped with the program (the sample page): beside the program in the build
    // folder, in the data folder of an installed program.
    std::string ShippedFile(const std::string& name) const;
    // The help window once F1 has opened it, else null.
    THelpWindow* HelpWindow() const { return FHelpWindow; }
    int EditorPanelHeight() const;
    void SetEditorPanelHeight(int height);

    // The actions, in list order.
    QAction *NewAction, *SaveAction, *SaveAsAction, *CutAction, *CopyAction, *PasteAction,
        *SelectAllAction, *ClearAction, *CloseAction, *StyleAction, *EditorCutAction,
        *EditorCopyAction, *EditorPasteAction, *EditorSelectAllAction, *RedoAction, *UndoAction,
        *ShiftLeftAction, *ShiftRightAction;
    QAction* MMFOpen;
    QAction *PrintAction, *PreviewAction, *ExportPdfAction;
    // "Вид → Проблемы": shows the list of the CSS lint's problems.
    QAction* ProblemsAction = nullptr;
    QToolButton* OpenToolButton;
    QToolButton* EditorSaveToolButton;
    QToolButton* ColorToolButton;
    QWidget* AboutPanel;
    TSelectorPanel* SelectorPanel;
    THyperlinkLabel *SiteLinkLabel, *MailLinkLabel;
    QMenu *MainPopupMenu, *EditorPopupMenu, *StylePopupMenu;

    // --- The CSS lint (MainFormLint.cpp) ---
    // Lints the CSS document now (the window does it once typing pauses).
    void RunLint();
    const std::vector<css::TProblem>& LintProblems() const { return FProblems; }
    QListWidget* ProblemsList() const { return FProblemsList; }
    // Selects problem `index` in the text where it stands now.
    void GotoProblem(int index);
    // The problem whose mark covers the offset, or -1.
    int LintProblemAt(int offset);

    // The properties both editors share (font, gutter, options, margins, colours), with the
    // definition bound to slot 1: how the window sets up an editor.
    static void ConfigureEditor(TCodeMemo& memo, TCodeMemoParser& parser);

    // --- The editor tools of "Правка", the "Вид" menu, recent documents (MainFormView.cpp) ---
    QAction *FindAction = nullptr, *FindNextAction = nullptr, *ReplaceAction = nullptr,
            *GotoLineAction = nullptr;
    QAction *LineNumbersAction = nullptr, *WordWrapAction = nullptr, *ZoomInAction = nullptr,
            *ZoomOutAction = nullptr, *ZoomResetAction = nullptr;
    QAction *NextPageAction = nullptr, *PreviousPageAction = nullptr;
    QMenu* RecentMenu = nullptr;
    QCheckBox* ReopenCheckBox = nullptr;
    // --- "Сервис": the options dialogs of the two definitions (MainFormTools.cpp) ---
    QAction *CssOptionsAction = nullptr, *HtmlOptionsAction = nullptr;
    // The options dialog of one definition; after OK the editors show the new settings.
    void EditDefinitionOptions(TCodeMemoParser& definition);
    // The editor the tools act on: the one that has the focus, the CSS editor otherwise.
    TCodeMemo& FocusedCodeMemo();
    void FindExecute();
    void FindNextExecute();
    void ReplaceExecute();
    void GotoLineExecute();
    // --- Style sheet tools (MainFormCss.cpp): format and minify, colour swatches ---
    QAction *FormatAction = nullptr, *MinifyAction = nullptr;
    // The CSS editor's selection (its whole lines), or the whole text when nothing is selected,
    // re-indented or minified as one undo step; the caret stays on its token.
    void FormatCss(bool minify);
    // Swatches before the colours of a CSS editor; a click on one changes the colour.
    static void ShowColorSwatches(TCodeMemo& memo);
    // The editors' text height in pixels (the zoom), kept between 6 and 72.
    int FontHeight() const { return FFontHeight; }
    void SetFontHeight(int pixels);
    // The files opened or saved, newest first, at most ten.
    const std::vector<std::string>& RecentFiles() const { return FRecentFiles; }
    void AddRecentFile(const std::string& path);
    // Opens a file of the list as Open does; a file that is gone leaves the list, with a word.
    void OpenRecentFile(const std::string& path);
    // The view, the recent files and the last document: each value read on its own, a missing
    // or damaged one keeps its default.
    void LoadViewSettings();
    void SaveViewSettings();
    // The highlighting and keys the options dialog stored for the two definitions, under
    // EditorSettingsKey(). A value that fails to load is skipped, keeping what the definition
    // shipped with; nothing is raised or shown.
    void LoadEditorSettings();
    // Started without a file: the document open at the last close comes back, if the setting
    // asks for it and the file is still there.
    void ReopenLastDocument();

    // Undo group navigation of the CSS editor: the id of the next group, or -1.
    int NextUndoKind();
    int NextRedoKind();
    void GroupedUndo();
    void GroupedRedo();

protected:
    void closeEvent(QCloseEvent* event) override;
    // Gives the focused control its own editing keys, and lets the window's other shortcuts win
    // over the keys a file-name box would take.
    bool eventFilter(QObject* watched, QEvent* event) override;
    // Brings the actions up to date before a shortcut is matched: keys can come faster than the
    // idle update.
    bool event(QEvent* event) override;

private:
    void BuildActions();
    void BuildPrintActions();
    void BuildMenus();
    void BuildViewMenus();
    void BuildToolsMenu();
    // Ctrl+wheel over an editor: true when the event was taken as a zoom step.
    bool ZoomByWheel(QEvent* event);
    void RebuildRecentMenu();
    void BuildLint();
    void ScheduleLint();
    // A tooltip asked over the CSS editor: true when it showed a problem's message.
    bool LintToolTip(QEvent* event);
    // Where the file dialogs start: the document's folder, else that of the file opened last.
    std::string WorkFolder() const;
    // What a save dialog starts from: its title and filter (string numbers), the extension a
    // name typed without one gets, and whether choosing an existing file asks first.
    TFileDialogOptions SaveOptions(int title, int filter, const std::string& ext,
                                   bool overwritePrompt) const;
    // The view options both editors carry whatever else sets their options.
    TCodeMemoOptions ViewOptions() const;
    void ApplyViewOptions();
    QWidget* BuildCssPanel();
    QWidget* BuildPreviewPage(const TBrowserFactory& browser);
    // The browser when the sample page exists, else the note that says why not; true when the
    // page can be shown.
    bool ShowPreviewOrNote(const std::string& page);
    // Typing paused in an editor: the preview follows if it is on show and something changed.
    void PreviewTimerTimeout();
    QWidget* BuildOptionPanel();
    // One grouped undo (or redo) step of the CSS editor.
    void GroupedStep(bool redo);

    // Runs one command: EAbort ends it silently, any other error is shown.
    void RunCommand(const std::function<void()>& command);
    void ShowError(const std::string& text);
    // Asks before a modified document is given up; raises EAbort when the command must stop.
    void ConfirmSaveChanges();
    // The sample page's unsaved edits in the HTML editor: saved, dropped or the command stopped.
    void ConfirmSavePage();
    // The save steps without the error display: false when the user cancelled the dialog.
    bool DoSaveCssAs();
    void DoSaveCss();
    void DoOpen(const std::string& path);
    void SetDocumentName(const std::string& path);
    void SaveKeepingUndo(const std::string& fileName, TCodeMemo& memo);
    // Asks before a save that would change the document's encoding; EAbort when refused.
    void ConfirmEncoding(const std::string& fileName, TCodeMemo& memo);
    void MainCodeMemoTextChange(int start, int extent);
    void SetPageCaption(const std::string& caption);
    // The keyboard goes to the editor of the page shown: the CSS editor on "Css", the HTML
    // editor on the preview page while its pane is shown.
    void FocusPageEditor(int page);
    // Brings the CSS page forward with the focus in its editor (after New and Open).
    void ShowCssEditor();
    // Clear as the user runs it: the whole text goes in one step that Undo takes back.
    void ClearActionExecute();

    // Check box handlers, run when a box changes state.
    void EditorCheckBoxClick();
    void LightCodeCheckBoxClick();
    void LineCheckBoxClick();

    void ColorToolButtonClick();
    // Help: the program's own help window, with the CSS editor's current keys.
    void MMHHelpClick();
    void StyleActionExecute();
    void PPSOpenStyleClick();
    void PPSCloseStyleClick();
    void PPSAllTextStyleClick();

    std::string FProgramFolder;
    std::string FDocumentName; // the open document's path, exactly; empty while untitled
    TFileStamp FDocumentStamp; // the document's file as it was last read or written
    TCodeMemoWidget* FMainMemo = nullptr;
    TCodeMemoWidget* FEditorMemo = nullptr;
    QTabWidget* FWorkPages = nullptr;
    QTabWidget* FOptionPages = nullptr;
    QWidget* FOptionPanel = nullptr;
    QWidget* FHtmlEditorPanel = nullptr;
    QSplitter* FSplitter = nullptr;
    QStackedWidget* FPreviewStack = nullptr;
    QWidget* FNoPagePanel = nullptr;
    QLabel* FNoPageLabel = nullptr;
    QTimer* FPreviewTimer = nullptr;
    TPreviewTexts FShownPreview; // what the browser was given last
    std::string FEditorPage;     // the page the HTML editor last read from its file
    QToolBar* FToolBar1 = nullptr;
    QToolBar* FEditorToolBar = nullptr;
    TFileNameEdit* FCssFilenameEdit = nullptr;
    TFileNameEdit* FHtmFilenameEdit = nullptr;
    QCheckBox *FEditorCheckBox = nullptr, *FLightCodeCheckBox = nullptr, *FLineCheckBox = nullptr,
              *FGroupedUndoCheckBox = nullptr, *FSaveUndoCheckBox = nullptr;
    IWebBrowser* FBrowser = nullptr;
    int FSavedEditorHeight = 0;
    THelpWindow* FHelpWindow = nullptr; // owned by the window as its child
    TColor FLastColor = clBlack;        // the colour dialog starts from the colour chosen last
    int FEditorPanelHeight = 145;
    bool FUpdatingActions = false;
    int FFontHeight = 13;
    std::vector<std::string> FRecentFiles;
    QMetaObject::Connection FIdleUpdate;
    QTimer* FLintTimer = nullptr;
    QDockWidget* FProblemsDock = nullptr;
    QListWidget* FProblemsList = nullptr;
    std::vector<css::TProblem> FProblems;
};

} // namespace quillet
