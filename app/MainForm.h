// The main window: the CSS document, its commands, the preview page and the settings.
#pragma once

#include "editor/CodeMemo.h"
#include "highlight/CodeMemoParser.h"
#include "platform/WebBrowser.h"

#include <QMainWindow>

#include <functional>
#include <string>
#include <vector>

class QAction;
class QCheckBox;
class QCloseEvent;
class QMenu;
class QSplitter;
class QTabWidget;
class QToolBar;
class QToolButton;
class QWidget;

namespace quillet {

class TCodeMemoWidget;
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

    // The document state, read back from the captions.
    std::string FileName() const;
    bool IsModified() const;
    std::string PageCaption() const;

    void LoadSettings();
    void SaveSettings();
    // The preview page became visible.
    void WorkTabSheet2Show();
    void EditorSaveToolButtonClick();
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
    int EditorPanelHeight() const;
    void SetEditorPanelHeight(int height);

    // The actions, in list order.
    QAction *NewAction, *SaveAction, *SaveAsAction, *CutAction, *CopyAction, *PasteAction,
        *SelectAllAction, *ClearAction, *CloseAction, *StyleAction, *EditorCutAction,
        *EditorCopyAction, *EditorPasteAction, *EditorSelectAllAction, *RedoAction, *UndoAction,
        *ShiftLeftAction, *ShiftRightAction;
    QAction* MMFOpen;
    QAction *PrintAction, *PreviewAction, *ExportPdfAction;
    QToolButton* OpenToolButton;
    QToolButton* EditorSaveToolButton;
    QToolButton* ColorToolButton;
    QWidget* AboutPanel;
    TSelectorPanel* SelectorPanel;
    THyperlinkLabel *SiteLinkLabel, *MailLinkLabel;
    QMenu *MainPopupMenu, *EditorPopupMenu, *StylePopupMenu;

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
    // Where the file dialogs start: the document's folder, else that of the file opened last.
    std::string WorkFolder() const;
    // The view options both editors carry whatever else sets their options.
    TCodeMemoOptions ViewOptions() const;
    void ApplyViewOptions();
    QWidget* BuildCssPanel();
    QWidget* BuildPreviewPage(const TBrowserFactory& browser);
    QWidget* BuildOptionPanel();
    // One grouped undo (or redo) step of the CSS editor.
    void GroupedStep(bool redo);

    // Runs one command: EAbort ends it silently, any other error is shown.
    void RunCommand(const std::function<void()>& command);
    void ShowError(const std::string& text);
    // Asks before a modified document is given up; raises EAbort when the command must stop.
    void ConfirmSaveChanges();
    // The save steps without the error display: false when the user cancelled the dialog.
    bool DoSaveCssAs();
    void DoSaveCss();
    void DoOpen(const std::string& path);
    void SaveKeepingUndo(const std::string& fileName, TCodeMemo& memo);
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
    // Help: the suite's help when the suite is installed alongside, else where we belong.
    void MMHHelpClick();
    void StyleActionExecute();
    void PPSOpenStyleClick();
    void PPSCloseStyleClick();
    void PPSAllTextStyleClick();

    std::string FProgramFolder;
    TCodeMemoWidget* FMainMemo = nullptr;
    TCodeMemoWidget* FEditorMemo = nullptr;
    QTabWidget* FWorkPages = nullptr;
    QTabWidget* FOptionPages = nullptr;
    QWidget* FOptionPanel = nullptr;
    QWidget* FHtmlEditorPanel = nullptr;
    QSplitter* FSplitter = nullptr;
    QToolBar* FToolBar1 = nullptr;
    QToolBar* FEditorToolBar = nullptr;
    TFileNameEdit* FCssFilenameEdit = nullptr;
    TFileNameEdit* FHtmFilenameEdit = nullptr;
    QCheckBox *FEditorCheckBox = nullptr, *FLightCodeCheckBox = nullptr, *FLineCheckBox = nullptr,
              *FGroupedUndoCheckBox = nullptr, *FSaveUndoCheckBox = nullptr;
    IWebBrowser* FBrowser = nullptr;
    int FSavedEditorHeight = 0;
    TColor FLastColor = clBlack; // the colour dialog starts from the colour chosen last
    int FEditorPanelHeight = 145;
    bool FUpdatingActions = false;
    int FFontHeight = 13;
    std::vector<std::string> FRecentFiles;
    QMetaObject::Connection FIdleUpdate;
};

} // namespace quillet
