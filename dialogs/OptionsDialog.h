// The editor options dialog: options, highlighting, keys, auto-replace and templates of one
// language definition, edited on a working copy of its settings.
#pragma once

#include "highlight/CodeMemoParser.h"
#include "platform/Types.h"

#include <QDialog>
#include <QPoint>

#include <functional>
#include <optional>
#include <string>
#include <utility>
#include <vector>

class QCheckBox;
class QKeyEvent;
class QComboBox;
class QLineEdit;
class QListWidget;
class QPushButton;
class QTabWidget;
class QWidget;

namespace quillet {

class TCM_HotKey;
class TCodeMemo;
class TCodeMemoWidget;
class TDropColorButton;
class TSpinButton;

// Page bits of the page mask.
enum TOptionsPage : uint8_t {
    opOptions = 1,
    opHighlighting = 2,
    opKeys = 4,
    opAutoCorrect = 8,
    opTemplates = 16
};

// The fixed entries after the language's styles in "Element".
constexpr int ElementSelectedText = 0x4000;
constexpr int ElementLeftMargin = 0x4001;
constexpr int ElementGutter = 0x4002;

// A key pair of a binding: the second key is 0 for a one-key binding.
using TKeyPair = std::pair<TShortCut, TShortCut>;

// Asks for a binding of the command: edit mode starts from `keys`; true when confirmed, with
// the new pair in `keys`.
using TKeyAssignFunc =
    std::function<bool(QWidget* parent, bool editMode, const std::string& command, TKeyPair& keys)>;

// The binding's text in "Uses keys": "[Ctrl+K]  [B]", "[Ctrl+X]  [<none>]".
std::string BindingText(const TKeyPair& keys);

class TOptionsDialog : public QDialog {
public:
    // `definition` already holds the working copy of its settings (RunOptionsDialog does this).
    TOptionsDialog(TCodeMemoParser& definition, uint8_t pageMask, QWidget* parent = nullptr);
    ~TOptionsDialog() override;

    TCM_Settings& Working() { return FDef.Settings(); }
    uint8_t PageMask() const { return FMask; }

    // The key assignment dialog (TKeyAssignDialog); tests script it.
    TKeyAssignFunc KeyAssign;
    // Message boxes of the dialog (conflicts, bad tab settings); tests record them.
    std::function<void(QWidget* parent, const std::string& text)> ShowError;

    // Components.
    QTabWidget* Pages() const { return FPages; }
    QWidget* OptionsPage() const { return FOptionsPage; }
    QWidget* HighlightingPage() const { return FHighlightPage; }
    QWidget* KeysPage() const { return FKeysPage; }
    QWidget* AutoCorrectPage() const { return FAutoPage; }
    QWidget* TemplatesPage() const { return FTemplatesPage; }
    QPushButton* OKButton() const { return FOK; }
    QPushButton* CancelButton() const { return FCancel; }
    QCheckBox* OptionBox(uint32_t bit) const;
    QLineEdit* RightMarginBox() const { return FRightMarginBox; }
    QLineEdit* GutterWidthBox() const { return FGutterBox; }
    TSpinButton* RightMarginSpin() const { return FRightMarginSpin; }
    TSpinButton* GutterWidthSpin() const { return FGutterSpin; }
    QLineEdit* IndentStepBox() const { return FIndentStepBox; }
    QLineEdit* WrapColumnBox() const { return FWrapColumnBox; }
    QLineEdit* TabColumnsBox() const { return FTabColumnsBox; }
    QLineEdit* DeftabBox() const { return FDeftabBox; }
    QListWidget* SynElementsBox() const { return FElements; }
    QCheckBox* UseBoldBox() const { return FBold; }
    QCheckBox* UseItalicBox() const { return FItalic; }
    QCheckBox* UseUnderlineBox() const { return FUnderline; }
    QCheckBox* UseDefForeBox() const { return FDefFore; }
    QCheckBox* UseDefBackBox() const { return FDefBack; }
    TDropColorButton* ForeColorButton() const { return FForeButton; }
    TDropColorButton* BackColorButton() const { return FBackButton; }
    QComboBox* FontNameBox() const { return FFontName; }
    QComboBox* FontSizeBox() const { return FFontSize; }
    QComboBox* FontFamilyBox() const { return FCharset; }
    TCodeMemoWidget* SampleEditor() const { return FSample; }
    QListWidget* CommandDescListBox() const { return FCommands; }
    QListWidget* CommandKeysListBox() const { return FCommandKeys; }
    QPushButton* AddButton() const { return FAddKey; }
    QPushButton* DeleteButton() const { return FDeleteKey; }
    QPushButton* EditButton() const { return FEditKey; }
    QListWidget* AutoReplBox() const { return FAutoList; }
    QLineEdit* ReplaceBox() const { return FReplaceBox; }
    QLineEdit* WithBox() const { return FWithBox; }
    QPushButton* AutoReplButton1() const { return FAutoButton1; }
    QPushButton* AutoReplButton2() const { return FAutoButton2; }
    QLineEdit* AutoReplActBox() const { return FActKeysBox; }
    QListWidget* CteListBox() const { return FTemplateList; }
    QLineEdit* CteNameBox() const { return FNameBox; }
    QLineEdit* CteDescBox() const { return FDescBox; }
    TCodeMemoWidget* TemplateEditor() const { return FTemplateMemo; }
    TCM_HotKey* CteHotkey() const { return FHotkeyBox; }
    QPushButton* CodeTemplateButton1() const { return FTemplateButton1; }
    QPushButton* CodeTemplateButton2() const { return FTemplateButton2; }
    bool KeyConflict() const { return FError; }

    // Handlers, as the controls call them. The boxes read on leaving return false when their
    // text was refused (the error is shown and the previous value is back). FormKeyPress sees
    // every key press meant for the dialog's controls first; true discards it.
    bool FormKeyPress(QKeyEvent* event);
    bool SwallowNextKey() const { return FSwallowKey; }
    void OKButtonClick();
    void SHIFTSelectBoxClick(QCheckBox* box);
    void LeftBorderWidthBoxChange(QLineEdit* box);
    void ParaSpinButtonUpClick(TSpinButton& spin);
    void ParaSpinButtonDownClick(TSpinButton& spin);
    bool WrapColumnBoxExit();
    bool IndentStepBoxExit();
    bool TabColumnsBoxExit();
    bool DeftabBoxExit();
    void SynElementsBoxClick();
    void UseBoldBoxClick();
    void UseDefForeBoxClick();
    void ColorButtonChange();
    void FontNameBoxChange();
    void FontSizeBoxChange();
    void FontFamilyBoxChange();
    // A click at a client point of the sample editor.
    void EditorMouseDown(QPoint at);
    void CommandDescListBoxClick();
    void CommandKeysListBoxExit();
    void AddButtonClick();
    void DeleteButtonClick();
    void EditButtonClick();
    void AutoReplBoxClick();
    void ReplaceBoxChange();
    void AutoReplButton1Click();
    void AutoReplButton2Click();
    bool AutoReplActBoxExit();
    void cteListBoxClick();
    void cteNameBoxChange();
    void CodeTemplateButton1Click();
    void CodeTemplateButton2Click();
    void cteHotkeyExit();

protected:
    void showEvent(QShowEvent* event) override;
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    // Construction of the pages (OptionsDialog.cpp).
    void FormCreate();
    QWidget* BuildOptionsPage();
    QWidget* BuildHighlightingPage();
    QWidget* BuildKeysPage();
    QWidget* BuildAutoCorrectPage();
    QWidget* BuildTemplatesPage();
    void FormShow();
    // Applies the box read on leaving that has the focus (Return presses OK while it is in
    // one); false when its text was refused.
    bool ApplyFocusedBox();
    void InstallKeyPreview();
    // Filling the pages from the working settings.
    void ShowOptions();
    void ShowHighlighting();
    void ShowKeys();
    void ShowAutoCorrect();
    void ShowTemplates();

    // Options and highlighting (OptionsDialogPages.cpp).
    TCodeMemo& Sample();
    void UpdateDependentBoxes();
    void ApplyLayoutNumber(QLineEdit* box, int value);
    // The selected element's code (style number or one of the fixed entries), -1 for none.
    int SelectedElement() const;
    void WriteElement();
    void RefreshSample();
    void FillFontNames(uint8_t charset);
    // The number typed into a box, or an error box and nothing.
    std::optional<int> ReadNumber(QLineEdit* box);

    // Keys, auto correct and templates (OptionsDialogLists.cpp).
    struct TCommandKeys {
        int32_t Id = 0;
        std::string Name;
        bool Filled = false;
        bool Changed = false;
        std::vector<TKeyPair> Keys;
    };
    TCommandKeys* SelectedCommand();
    void FillCommandKeys(TCommandKeys& rec);
    void ShowCommandKeys();
    void UpdateKeyButtons();
    void UpdateAutoButtons();
    void RebuildAutoReplace();
    void SelectAutoLine(int row);
    void UpdateTemplateButtons();
    void SelectTemplateLine(int row);
    std::string TemplateLine(const std::string& name, const std::string& description) const;

    TCodeMemoParser& FDef;
    uint8_t FMask;
    bool FShown = false;
    bool FSetting = false; // controls are being filled: their handlers do nothing
    bool FError = false;
    // Set when OK was refused with an error box: the key press that follows (the key that
    // closed the box, or its auto-repeat) must not press OK again.
    bool FSwallowKey = false;
    QObject* FKeyPreview = nullptr;
    QPoint FLastClick{-100, -100};
    std::vector<std::string> FAutoWords;     // sorted, lower case
    std::vector<std::string> FTemplateNames; // sorted, lower case
    std::vector<std::string> FFontNames;
    std::vector<TCommandKeys> FCommandRecords;
    int FCommandIndex = 0;

    QTabWidget* FPages = nullptr;
    QWidget *FOptionsPage = nullptr, *FHighlightPage = nullptr, *FKeysPage = nullptr,
            *FAutoPage = nullptr, *FTemplatesPage = nullptr;
    QPushButton *FOK = nullptr, *FCancel = nullptr;
    std::vector<QCheckBox*> FOptionBoxes;
    QLineEdit *FRightMarginBox = nullptr, *FGutterBox = nullptr, *FIndentStepBox = nullptr,
              *FWrapColumnBox = nullptr, *FTabColumnsBox = nullptr, *FDeftabBox = nullptr;
    TSpinButton *FRightMarginSpin = nullptr, *FGutterSpin = nullptr;
    QLineEdit* FLanguageBox = nullptr;
    QListWidget* FElements = nullptr;
    QCheckBox *FBold = nullptr, *FItalic = nullptr, *FUnderline = nullptr, *FDefFore = nullptr,
              *FDefBack = nullptr;
    TDropColorButton *FForeButton = nullptr, *FBackButton = nullptr;
    QComboBox *FFontName = nullptr, *FFontSize = nullptr, *FCharset = nullptr;
    TCodeMemoWidget* FSample = nullptr;
    QListWidget *FCommands = nullptr, *FCommandKeys = nullptr;
    QPushButton *FAddKey = nullptr, *FDeleteKey = nullptr, *FEditKey = nullptr;
    QListWidget* FAutoList = nullptr;
    QLineEdit *FReplaceBox = nullptr, *FWithBox = nullptr, *FActKeysBox = nullptr;
    QPushButton *FAutoButton1 = nullptr, *FAutoButton2 = nullptr;
    QListWidget* FTemplateList = nullptr;
    QLineEdit *FNameBox = nullptr, *FDescBox = nullptr;
    TCM_HotKey* FHotkeyBox = nullptr;
    TCodeMemoWidget* FTemplateMemo = nullptr;
    QPushButton *FTemplateButton1 = nullptr, *FTemplateButton2 = nullptr;
};

// Runs the dialog for a definition whose settings are the working copy (the hook of
// RunOptionsDialog); true on OK.
bool ExecOptionsDialog(TCodeMemoParser& definition, uint8_t pageMask);
// Makes RunOptionsDialog show the dialog.
void InstallOptionsDialog();
// Called with each dialog after it is built and before it runs (tests drive it from here).
std::function<void(TOptionsDialog&)>& OptionsDialogShown();

} // namespace quillet
