// The editor control: text, selection, view, properties and the one message entry point.
#pragma once

#include "editor/Completion.h"
#include "editor/KeptBytes.h"
#include "editor/Messages.h"
#include "editor/TextEncoding.h"
#include "editor/TextStore.h"
#include "platform/Errors.h"
#include "platform/Fonts.h"
#include "platform/Printer.h"
#include "platform/Stream.h"
#include "platform/VirtualKeys.h"
#include "platform/WindowHost.h"

#include <algorithm>
#include <array>
#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace quillet {

class TCodeMemoStrings;
class TEdStream;
class TCodeMemoView;
class TCodeMemoWrap;
class TCodeMemoUndoLink;
class TEditPipeline;
class TCodeMemoSearch;
class TCM_Settings;
class TCustomCodeMemoParser;
class TBufferedWriter;
class TUndoStack;
class TLineTracker;
struct TMark;
class TCM_BreakpointData;
class TMacroKeywords;
class TMacroPopupList;
class TCodeMemoPopup;

// Errors of the control's properties (tab stops, parser slots).
// A colour swatch of a row: the piece of text it stands before, and its colour.
struct TSwatch {
    int Start = 0; // byte offset within the row
    int Length = 0;
    TColor Color = 0;
};

// The side of a swatch's square for a font's line height and character width.
inline int SwatchSide(int lineHeight, int charWidth) {
    return std::max(4, std::min(lineHeight - 6, charWidth - 1));
}

// A swatch stands as a square in the blank cell just before its piece; where no blank stands
// there (`color:#fff`, a minified sheet, a piece at the row's start) it is a bar along the row's
// bottom under the piece instead, so that it never hides a character.
inline bool SwatchIsSquare(std::string_view row, const TSwatch& swatch) {
    if (swatch.Start <= 0 || size_t(swatch.Start) > row.size()) return false;
    const char before = row[size_t(swatch.Start) - 1];
    return before == ' ' || before == '\t';
}

// The bar's height: the two lowest pixel rows of the row, below the glyphs of digits and
// letters without descenders.
constexpr int SwatchBarHeight = 2;

// How far up from the row's bottom a click still lands on a bar: the bar alone is too thin to
// aim at.
inline int SwatchBarReach(int lineHeight) {
    return std::max(4, lineHeight / 4);
}

class ECodeMemo : public EQuilletError {
public:
    using EQuilletError::EQuilletError;
};

// Each option is its bit in the options word.
enum TCodeMemoOption : uint32_t {
    smoSyntaxHighlight = 0x10,
    smoPrintWrap = 0x20,
    smoPrintLineNos = 0x40,
    smoPrintFilename = 0x80,
    smoPrintDate = 0x100,
    smoPrintPageNos = 0x200,
    smoWordWrap = 0x400,
    smoAutoIndent = 0x800,
    smoTabToColumn = 0x1000,
    smoWrapOverride = 0x2000,
    smoWordSelect = 0x4000,
    smoShowRMargin = 0x8000,
    smoShowGutter = 0x10000,
    smoShowWrapColumn = 0x20000,
    smoTitleAsFilename = 0x40000,
    smoProcessDroppedFiles = 0x80000,
    smoBlockOverwriteCursor = 0x100000,
    smoShowWrapGlyph = 0x200000,
    smoColumnTrack = 0x400000,
    smoUseTAB = 0x800000,
    smoSmartFill = 0x1000000,
    smoOLEDragSource = 0x2000000,
    smoCaretAfterEOL = 0x8000000,
    smoLineNumbers = 0x1,
    smoShowAllChars = 0x4000000,
};
// The options word; bits 0x2, 0x4 and 0x8 belong to no option.
using TCodeMemoOptions = uint32_t;
constexpr TCodeMemoOptions smoDefault = 0x03FFDBF0;
constexpr TCodeMemoOptions smoUnusedBits = 0x0E;

// The options in enumeration order with their names (for settings files and scripts).
struct TCodeMemoOptionName {
    TCodeMemoOption Option;
    const char* Name;
};
extern const std::array<TCodeMemoOptionName, 25> CodeMemoOptionNames;

enum TCM_ClipFormat : uint8_t { smTEXT = 1, smRTF = 2 };
using TCM_ClipFormats = uint8_t;
enum TFlatScrollStyle : uint8_t { fssEncarta, fssFLAT, fssREGULAR };
enum TScrollStyle : uint8_t { ssNone, ssHorizontal, ssVertical, ssBoth };
enum TBorderStyle : uint8_t { bsNone, bsSingle };
enum TCM_PropEdPage : uint8_t {
    ppOPTIONS = 1,
    ppHIGHLIGHTING = 2,
    ppKEYS = 4,
    ppAUTOCORRECT = 8,
    ppTEMPLATES = 16
};
using TCM_PropEdPages = uint8_t;

// Change reasons collected until the next notification point.
enum TChangeFlag : uint32_t {
    cfCaret = 0x01,
    cfText = 0x02,
    cfScroll = 0x04,
    cfColors = 0x08,
    cfOptions = 0x40,
    cfKey = 0x80
};

using TCharTest = std::function<bool(char c)>;

// The data-drop word handed to OnDataDrop, for drops and pastes alike: the formats on offer,
// then what to do with them. A handler may clear format bits, set action bits or refuse.
using TSourceTypes = uint16_t;
enum : TSourceTypes {
    dsFiles = 1,
    dsUnicodeText = 2,
    dsText = 4,
    dsHtml = 256,
    dsPaste = 512,
    dsInsertUnchanged = 1024, // no HTML processing; dropped file names go in as text
    dsFilesDropped = 2048,    // raise OnFilesDropped for a file list
    dsRefuse = 4096,
    dsHtmlFragment = 8192,     // HTML: from the first "<", and only the marked fragment
    dsHtmlFromFirstTag = 16384 // HTML: from the first "<"
};
constexpr TSourceTypes dsFormats = dsFiles | dsUnicodeText | dsText | dsHtml;
constexpr TSourceTypes dsActions = 0x7C00;

// HTML as a drop or a paste brings it, cut as the action bits say.
std::string ProcessDroppedHtml(std::string text, TSourceTypes types);

class TCustomCodeMemo : public IDropTarget {
public:
    static constexpr int ParserSlots = 6;
    static constexpr int MaxTabColumns = 32;

    explicit TCustomCodeMemo(IWindowHost* host = nullptr); // null: no window (CLI, tests)
    virtual ~TCustomCodeMemo();
    TCustomCodeMemo(const TCustomCodeMemo&) = delete;
    TCustomCodeMemo& operator=(const TCustomCodeMemo&) = delete;

    void SetHost(IWindowHost* host); // the window it lives in
    IWindowHost* Host() const { return FHost; }

    // The one way in: every operation below sends one of these.
    LRESULT Perform(uint32_t msg, WPARAM wParam, LPARAM lParam);

    TCodeMemoStrings& Lines() { return *FLines; }
    TTextStore& Store() { return *FStore; }
    const TTextStore& Store() const { return *FStore; }
    TCodeMemoView& View() { return *FView; }
    // Display rows under word wrap: logical lines <-> rows (CodeMemoWrap.h).
    TCodeMemoWrap& Wrap() { return *FWrap; }
    // The steps every insertion and deletion takes, and the re-scanner (EditPipeline.h).
    TEditPipeline& Pipeline() { return *FPipeline; }
    TCodeMemoSearch& Search(); // the search and replace commands (SearchControl.cpp)

    // Text and selection.
    std::string Text();
    void SetText(std::string_view text);
    void Clear();
    void SelectAll();
    TSelectionPair Selection();
    void SetSelection(int anchor, int caret);
    int SelStart();
    void SetSelStart(int value);
    int SelLength();
    void SetSelLength(int value);
    std::string SelText();
    void SetSelText(std::string_view text);
    int TextLength();

    bool Modified();
    void SetModified(bool value);
    bool ReadOnly() const { return FReadOnly; }
    void SetReadOnly(bool value) { FReadOnly = value; }
    bool CanUndo();
    bool CanRedo();
    void Undo();
    void Redo();
    void CutToClipboard();
    void CopyToClipboard();
    void PasteFromClipboard();

    void LoadFromFile(const std::string& fileName);
    void SaveToFile(const std::string& fileName);
    // The bytes SaveToFile writes: the SaveFormat's text, plain text in the document's encoding
    // and line breaks; `encoding` receives what they were written in (UTF-8 when the encoding
    // could not hold a character).
    std::string FileBytes(TTextEncoding& encoding);
    void LoadFromStream(TStream& stream);
    void SaveToStream(TStream* stream);
    // The bytes of a save for a caller that discards the control afterwards, written as they
    // are made: plain text as FileBytes gives it (encoding, BOM, line breaks); the rich formats
    // as SaveToStream, scanning a block of lines at a time and letting each line's attribute
    // bytes go once it is written, so neither the output nor the highlighting of the whole
    // text is ever in memory at once. The control keeps the text but no highlighting.
    void ExportToStream(TStream& stream);
    // The same for a file the control is not to hold: what LoadFromFile and ExportToStream
    // would write, but the rich formats read the file whole and scan and write it block by
    // block without laying it into the line store (the control's text stays as it was). The
    // plain formats load it as LoadFromFile does.
    void ExportFileToStream(const std::string& fileName, TStream& stream);
    // Whether ExportFileToStream takes the way past the line store (a rich format, and no
    // OnTokenSeen handler to hear the tokens).
    bool ExportsFlat() const;
    // Its two steps, for a caller that must read the file before it makes the output: the
    // file's text as a load stores it (UTF-8, line breaks as single CRs, control bytes as '.'),
    // with LoadFromFile's errors; then that text written as a file of that name in the rich
    // save format.
    static std::string StoredFileText(const std::string& fileName);
    void ExportStoredText(std::string_view text, const std::string& fileName,
                          TStream& stream) const;
    // How the last loaded file was encoded; saving writes it back the same way.
    const TTextEncoding& Encoding() const { return FEncoding; }
    // The loaded file's bytes that the stored text holds otherwise (mixed line breaks, control
    // bytes); a plain save writes them back.
    const TKeptBytes& KeptBytes() const { return FKept; }
    // False when the document's encoding cannot hold every character of the text, so that a
    // plain save would write UTF-8 instead.
    bool FitsEncoding() const;
    void SetEncoding(const TTextEncoding& e) { FEncoding = e; }
    const std::string& FileName() const { return FFileName; }
    const std::string& PrintTitle() const { return FPrintTitle; }
    void SetPrintTitle(const std::string& t) { FPrintTitle = t; }

    // Font of the text (the active settings keep its name, size and character set).
    TFontDesc Font() const;
    void SetFont(const TFontDesc& font);

    // Properties kept in the active settings.
    TCodeMemoOptions Options();
    void SetOptions(TCodeMemoOptions value);
    bool HasOption(TCodeMemoOption o) { return (Options() & o) != 0; }
    int Gutter() const;
    void SetGutter(int value);
    int Margin() const;
    void SetMargin(int value);
    int RightMargin() const;
    void SetRightMargin(int value);
    int IndentStep() const;
    void SetIndentStep(int value);
    int TabDefault() const;
    void SetTabDefault(int value);
    std::string TabColumns() const;
    void SetTabColumns(std::string_view value);
    int WrapAtColumn() const;
    void SetWrapAtColumn(int value);
    std::string WrapOverride() const;
    void SetWrapOverride(std::string_view value);
    bool WordWrap() { return HasOption(smoWordWrap); }
    void SetWordWrap(bool value);
    TColor GutterColor() const;
    void SetGutterColor(TColor value);
    TColor MarginColor() const;
    void SetMarginColor(TColor value);
    TColor SelTextColor() const;
    void SetSelTextColor(TColor value);
    TColor SelTextBack() const;
    void SetSelTextBack(TColor value);
    TColor DefTextColor() const;
    void SetDefTextColor(TColor value);
    TColor DefBackColor() const;
    void SetDefBackColor(TColor value);
    TFontStyles DefFontStyle() const;
    void SetDefFontStyle(TFontStyles value);
    TFontDesc GutterFont() const;
    void SetGutterFont(const TFontDesc& font);

    // Properties of the control itself.
    TSaveFormat SaveFormat() const { return FSaveFormat; }
    void SetSaveFormat(TSaveFormat f) { FSaveFormat = f; }
    TSelLineStyle SelLineStyle() const { return FStore->LineStyle(); }
    void SetSelLineStyle(TSelLineStyle s) { FStore->SetLineStyle(s); }
    bool HideSelection() const { return FHideSelection; }
    void SetHideSelection(bool v);
    bool ShowFocusLine() const { return FShowFocusLine; }
    void SetShowFocusLine(bool v);
    bool WantTab() const { return FWantTab; }
    void SetWantTab(bool v) { FWantTab = v; }
    bool WantReturns() const { return FWantReturns; }
    void SetWantReturns(bool v) { FWantReturns = v; }
    bool TabStop() const { return FTabStop; }
    void SetTabStop(bool v) { FTabStop = v; }
    bool Enabled() const { return FEnabled; }
    void SetEnabled(bool v);
    bool MonoPrint() const { return FMonoPrint; }
    void SetMonoPrint(bool v) { FMonoPrint = v; }
    bool FlatScrollBars() const { return FFlatScrollBars; }
    void SetFlatScrollBars(bool v) { FFlatScrollBars = v; }
    TFlatScrollStyle FlatScrollBarStyle() const { return FFlatScrollStyle; }
    void SetFlatScrollBarStyle(TFlatScrollStyle v) { FFlatScrollStyle = v; }
    TScrollStyle ScrollBars() const { return FScrollBars; }
    void SetScrollBars(TScrollStyle v);
    TBorderStyle BorderStyle() const { return FBorderStyle; }
    void SetBorderStyle(TBorderStyle v) { FBorderStyle = v; }
    TCM_ClipFormats ClipCopyFormats() const { return FClipFormats; }
    void SetClipCopyFormats(TCM_ClipFormats v) { FClipFormats = v; }
    TCM_PropEdPages VisiblePropEdPages() const { return FPropEdPages; }
    void SetVisiblePropEdPages(TCM_PropEdPages v) { FPropEdPages = v; }
    TCursorShape HyperCursor() const { return FHyperCursor; }
    void SetHyperCursor(TCursorShape v) { FHyperCursor = v; }
    // The mouse cursor over the control. The control itself changes it only while it is one of
    // the shapes the control sets (default, I-beam, split, custom 22-30 or HyperCursor), so a
    // cursor set from outside stays until it is set back.
    TCursorShape Cursor() const { return FCursor; }
    void SetCursor(TCursorShape shape);
    // While the right-margin or wrap-column line is dragged: the x of the inverted line drawn
    // over the text, or -1 when none is drawn.
    int MarginDragX() const;
    bool MarginDragging() const { return FMarginDragging; }

    // Drops from other windows and from the control itself (CodeMemoDrop.cpp).
    TDropEffect DragEnter(const IDropData& data, TShiftState shift, TPoint at) override;
    TDropEffect DragOver(TShiftState shift, TPoint at) override;
    void DragLeave() override;
    TDropEffect Drop(const IDropData& data, TShiftState shift, TPoint at) override;
    // While a drag is over the control: the offset the caret shows as the drop point, else -1.
    int DropPosition() const { return FDropCaret ? FDropPos.Value() : -1; }
    bool DragPending() const { return FDragPending; }
    // Free text sharing one storage; no behaviour.
    const std::string& About() const { return FAbout; }
    void SetAbout(const std::string& v) { FAbout = v; }
    const std::string& Settings() const { return FAbout; }
    void SetSettings(const std::string& v) { FAbout = v; }
    std::string Version() const;
    bool InsertMode() const { return FInsertMode; }
    void SetInsertMode(bool v) { FInsertMode = v; }

    // Language definitions: six slots, one active.
    TCustomCodeMemoParser* Parser(int slot) const;
    void SetParser(int slot, TCustomCodeMemoParser* parser);
    int ActiveParser() const { return FActiveSlot; }
    void SetActiveParser(int slot);
    TCustomCodeMemoParser* ActiveDefinition() const { return FParsers[FActiveSlot - 1]; }
    TCM_Settings& ActiveSettings() const { return *FActiveSettings; }

    // Tab stops and word tests used by the view, the caret and the commands.
    int NextTabStop(int column) const;
    TColumn NextTabStop(TColumn column) const { return TColumn(NextTabStop(column.Value())); }
    bool CharStartsWord(char c) const;
    bool CharIsInWord(char c) const;
    TCharTest fn_CharStartsWord;
    TCharTest fn_CharIsInWord;

    // View state.
    int TopLine() const { return FTopLine.Value(); }
    int LeftColumn() const { return FLeftColumn.Value(); }
    // The row the caret is drawn on: at an offset two wrapped rows share (the end of a
    // continuation row is the next row's start) it may be the earlier row, see CaretAtRowEnd.
    int CaretLine();
    TRow CaretRow();   // CaretLine, typed
    int CaretColumn(); // visual column on CaretLine, tabs expanded
    // The caret stands at the end of a continuation row rather than at the start of the row
    // after it; only movements that mean the row end (Line end, Up, Down) put it there.
    bool CaretAtRowEnd();
    // Between byte offsets in a row and display columns on it. A column inside a tab gives
    // the tab's offset; one past the text its end (on a row that continues, its last character).
    TColumn VisualColumn(TRow row, TOffset offsetInRow) const;
    TOffset OffsetFromVisualColumn(TRow row, TColumn column) const;

    // Editing commands (CodeMemoCommands.cpp): runs command number `command` of the key table;
    // data is for a descendant's own commands. A descendant may add commands.
    virtual void ExecuteCommand(int command, int data, bool extendSelection);
    // Block indent and un-indent of the lines the selection covers (CodeMemoIndent.cpp).
    void IndentBlock(int count, bool useTabs);
    void UnindentBlock(int count);
    // Printing (CodeMemoPrint.cpp): the display lines the selection covers (the caret's line
    // when nothing is selected) on the default printer or on `printer`; Print prints display
    // lines [firstRow, lastRow]. The job is ended and the screen restored whatever happens;
    // errors (the printer's, a handler's) are raised again afterwards.
    void PrintSelection();
    void PrintSelection(IPrinter& printer);
    void Print(IPrinter& printer, int firstRow, int lastRow);
    // The display lines PrintSelection prints.
    void SelectionRows(TRow& firstRow, TRow& lastRow);
    bool Printing() const { return FPrinting; }
    // Numbered bookmarks 0-9 (CodeMemoCommands.cpp). Line -1 is the caret's line and column,
    // otherwise line and column are 1-based; setting one on the line that carries it removes it.
    void SetBookmark(int index, int line = -1, int column = 0);
    // Caret to the bookmark's line, that line scrolled to the middle; nothing when none carries it.
    void GotoBookmark(int index);
    // The line carrying bookmark n (from 0), or -1.
    int BookmarkLine(int index) const;
    // The caret stands beyond its line's end (smoCaretAfterEOL with a fixed-pitch font).
    bool CaretBeyondEnd();

    // Marks and breakpoints of this control's text: kept in step with every edit and drawn.
    TLineTracker& LineTracker() { return *FTracker; }

    // The template / auto-replace list (CodeMemoExpansion.cpp): offered when nothing matched
    // before the caret; while shown it takes the keys and is painted over the text.
    void ShowMacroPopup(TMacroKeywords& table);
    // Closes it without choosing; the selected partial word collapses to its end.
    void CloseMacroPopup();
    bool MacroPopupShown() const { return FPopup != nullptr; }
    // The list while shown, else null.
    TMacroPopupList* MacroPopupList();
    TRect MacroPopupBounds() const;

    // Completion (CodeMemoCompletion.cpp): Ctrl+Space opens the list of what the provider
    // offers at the caret; typed characters go into the text and filter it; Return or Tab
    // writes the chosen item, Escape closes. With AutoComplete the provider may open it as
    // characters are typed.
    void SetCompletionProvider(std::unique_ptr<ICompletionProvider> provider);
    ICompletionProvider* CompletionProvider() const { return FCompletion.get(); }
    bool AutoComplete() const { return FAutoComplete; }
    void SetAutoComplete(bool value) { FAutoComplete = value; }
    // False when the provider offers nothing here (or there is none, or the text is read-only).
    bool ShowCompletion();
    bool CompletionShown() const;

    // Events.
    // Runs first on every key-down; setting key to 0 takes the key.
    std::function<void(TCustomCodeMemo& sender, int& key, TShiftState shift)> OnKeyDown;
    std::function<void(TCustomCodeMemo& sender)> OnChange;
    std::function<void(TCustomCodeMemo& sender, int start, int extent)> OnTextChange;
    std::function<void(TCustomCodeMemo& sender, int& actionCode)> OnCommandRecognised;
    std::function<void(TCustomCodeMemo& sender, int lineNo)> OnGutterClick;
    std::function<void(TCustomCodeMemo& sender, const std::string& hyperData, int hyperType)>
        OnHyperlinkClick;
    std::function<void(TCustomCodeMemo& sender)> OnHyperlinkHover;
    std::function<void(TCustomCodeMemo& sender, TPoint clickPos, int charOffset)> OnTripleClick;
    std::function<int(TCustomCodeMemo& sender, void* lineDrawData)> OnDrawLine;
    std::function<void(TCustomCodeMemo& sender, ICanvas& canvas, const TRect& rect, void* mark)>
        OnDrawMark;
    std::function<void(TCustomCodeMemo& sender, const std::string& searchString)> OnSearchFail;
    std::function<void(TCustomCodeMemo& sender, ICanvas& canvas, TRect& rect, bool& transparent)>
        OnPrintHeaderFooter;
    std::function<void(TCustomCodeMemo& sender, int& tokenValue, int extentStart, int extentEnd)>
        OnTokenSeen;
    std::function<int(const char* text, int current, int length, int code)> OnWordBreakProc;
    // Files dropped from the file manager; the handler may change the list that is inserted.
    std::function<void(TCustomCodeMemo& sender, std::vector<std::string>& files, TPoint atPoint)>
        OnFilesDropped;
    // Colour swatches drawn on screen (never on paper) before or under pieces of a row's text
    // (SwatchIsSquare): the handler lists them for the row's text (offsets within the row). A click
    // on a swatch opens the colour dialog with its colour; OnSwatchColor gives the text that
    // replaces the piece for the colour chosen, written as one undo step.
    std::function<void(TCustomCodeMemo& sender, std::string_view rowText,
                       std::vector<TSwatch>& swatches)>
        OnRowSwatches;
    std::function<std::string(TCustomCodeMemo& sender, std::string_view piece, TColor chosen)>
        OnSwatchColor;
    std::function<void(TCustomCodeMemo& sender, const IDropData& data, TPoint atPoint,
                       TDropEffect& effect)>
        OnOLEDragOver;
    std::function<void(TCustomCodeMemo& sender, TSourceTypes& sourceTypes)> OnDataDrop;
    // An auto-replacement about to happen: the stream stands at the start of the matched word;
    // the handler may change the replacement or refuse it.
    std::function<void(TCustomCodeMemo& sender, TEdStream& stream, const std::string& replaceItem,
                       std::string& replaceWith, bool& canReplace)>
        OnAutoReplace;
    // A template about to be inserted; the handler may change its text.
    std::function<void(TCustomCodeMemo& sender, const std::string& templateName,
                       std::string& replacement)>
        OnTemplateEvent;
    std::function<void(TCustomCodeMemo& sender, int number)> OnBookmarkSet;
    std::function<void(TCustomCodeMemo& sender, int number)> OnBookmarkClear;
    // A named bookmark goes (its text was deleted, or the text was replaced).
    std::function<void(TCustomCodeMemo& sender, const std::string& name)> OnCustomBookmarkFree;
    // A range mark moved or grew with an edit; raised before a removed mark is freed.
    std::function<void(TCustomCodeMemo& sender, TMark& mark)> OnMarkChange;
    std::function<void(TCustomCodeMemo& sender, TMark& mark)> OnMarkFree;
    std::function<void(TCustomCodeMemo& sender, void* track)> OnTrackAdd;
    std::function<void(TCustomCodeMemo& sender, void* track)> OnTrackFree;
    // Raised for the breakpoints and for the code break alike.
    std::function<void(TCustomCodeMemo& sender, TCM_BreakpointData& breakpoint)> OnBreakpointFree;
    std::function<void(TCustomCodeMemo& sender, TCM_BreakpointData& breakpoint)>
        OnBreakpointStateChange;
    std::function<void(TCustomCodeMemo& sender, const std::string& word, bool& result)> OnSpellWord;

private:
    // Offsets of the starts of the logical lines the selection [a, b) covers.
    std::vector<TOffset> SelectedLineStarts(TOffset a, TOffset b);
    friend class TCodeMemoView;
    friend class TCodeMemoWrap;
    friend class TCodeMemoUndoLink;
    friend class TEditPipeline;
    friend class TCodeMemoSearch;
    friend class TCodeMemoExpansion;
    friend class TCodeMemoPopup;
    class TDefinitionUser;

    // Messages (CodeMemoMessages.cpp).
    LRESULT Dispatch(uint32_t msg, WPARAM wParam, LPARAM lParam);
    LRESULT DoSelection(WPARAM flags, TSelectionPair* pair);
    LRESULT DoOptions(WPARAM flags, LPARAM value);
    LRESULT DoReplaceSel(WPARAM flags, const char* text);
    LRESULT DoGetSelText(WPARAM format, char* buffer);
    LRESULT DoGetText(WPARAM size, char* buffer);
    LRESULT DoGetTextLength();
    LRESULT DoGetLine(int line, char* buffer);
    LRESULT DoAttributes(bool set, const int* range, uint8_t* buffer);
    LRESULT DoScroll(bool vertical, WPARAM code);
    // format: the clipboard format asked about by the can-paste message (0 or 1 is text).
    LRESULT DoClipboard(uint32_t msg, WPARAM format = 0);
    LRESULT DoTextStore(WPARAM flags, LPARAM pointer);

    // The key-down route and character input (CodeMemoKeys.cpp).
    LRESULT KeyRoute(int key);
    LRESULT CharInput(char32_t codePoint);
    void InsertTyped(char32_t codePoint);
    void SmartTab();
    void FillTo(TColumn fromColumn, TColumn toColumn, bool repaint);
    void CommandRecognised(int command, bool extendSelection);
    TOffset WordStartBefore(TOffset offset) const;
    TOffset WordStartAfter(TOffset offset) const;
    void RebuildMovementKeys();
    void EndExpansionGroup();
    // A key-down while the list is shown; true when the list took it.
    bool PopupKey(int key, TShiftState shift);
    // A key-down whose character, which follows, goes to the list's search.
    bool PopupSearchKey(int key, TShiftState shift) const;
    // Expands the list's selected entry (one undo step) and closes the list.
    void ChoosePopupItem();
    // collapse: the selection shrinks to its end (nothing was chosen).
    void ClosePopup(bool collapse);
    // A click while the list is shown; true when it landed on the list.
    bool PopupClick(int x, int y);
    void PlacePopup(std::unique_ptr<TCodeMemoPopup> popup);
    // Completion (CodeMemoCompletion.cpp).
    std::string TextBeforeCaret() const;
    // After an edit while the completion list is shown: filter it again, or close it once the
    // caret left the word it completes.
    void RefreshCompletion();
    void ChooseCompletion();
    bool CompletionKey(int key, TShiftState shift);
    // A click on a colour swatch (CodeMemoSwatches.cpp); true when it landed on one.
    bool SwatchClick(int x, int y);

public:
    // The swatches of row `line`, whose text is `row`, through OnRowSwatches (none without it).
    // A colour cut by word wrap is found whole on the row where it starts (its Length then
    // runs past the row), and not again, in part, on the row that goes on with it. `scratch`
    // spares the painter an allocation per row.
    void RowSwatches(TRow line, std::string_view row, std::string& scratch,
                     std::vector<TSwatch>& out);

private:
    // The virtual caret beyond line ends (CodeMemoCommands.cpp).
    bool VirtualCaret();
    TColumn TextCaretColumn();    // the caret's column on the text, whatever the virtual column
    TColumn CaretDisplayColumn(); // CaretColumn, typed
    // Whether the caret may stand at the end of the row before `offset`'s row: `offset` is
    // where a continuation row ends and the next row starts.
    bool SharedRowOffset(TOffset offset) const;
    // Offset of visual column `column` on `row`. On a continuation row cut inside a word a
    // column at or past the row's end gives the row end, with atRowEnd set.
    TOffset RowOffsetAtColumn(TRow row, TColumn column, bool& atRowEnd) const;
    std::string FillText(TColumn fromColumn, TColumn toColumn);
    void FillToVirtualCaret(int groupId);
    // The column past the text a click at x on `offset`'s row asks for; none over the text
    // or without the virtual caret.
    std::optional<TColumn> VirtualColumnAt(int x, TOffset offset);
    // Input (CodeMemoInput.cpp).
    LRESULT MouseDown(WPARAM keys, int x, int y);
    LRESULT MouseMove(WPARAM keys, int x, int y);
    LRESULT MouseUp(WPARAM keys, int x, int y);
    LRESULT DoubleClick(int x, int y);
    // Scrolls one step towards the mouse outside the text, then keeps stepping while the left
    // button is held there, letting the event loop run between steps; true when it did.
    bool AutoScroll(TPoint mouse);
    bool AutoScrollStep(TPoint mouse);
    void ChangeCursor(TCursorShape shape);
    // The offset a click or a drag at (x, y) puts the caret on.
    TOffset OffsetAtMouse(int x, int y);
    // The column boundary nearest to x, as the margin lines are drawn on them.
    TColumn MarginColumnAt(int x) const;
    // Whether (x, y) lies on the right-margin or the wrap-column line past the end of the row
    // under it; rightMargin tells which.
    bool OverMarginLine(int x, int y, bool& rightMargin);
    void MoveMarginLine(TColumn column);
    // Drags the selection out; what happens to it depends on where it was dropped.
    void DragSelection();
    // Inserts dropped (or pasted) text as the action bits say; answers the effect.
    TDropEffect DropText(std::string text, TDropEffect effect, TSourceTypes types, TPoint at);
    TSourceTypes OfferedFormats(const IDropData& data);
    void EndDropCaret();
    // The style byte of the character at offset when its style is a hyperlink, else -1.
    int HyperlinkStyleAt(TOffset offset);
    // The run of characters around offset that carry `style`, across row cuts.
    std::string HyperlinkText(TOffset offset, uint8_t style);
    void MoveCaret(TOffset offset, bool extend, bool vertical = false);
    TOffset PrevCharOffset(TOffset offset) const;
    TOffset NextCharOffset(TOffset offset) const;
    void CloseTyping();

    // Loading and saving (CodeMemoIO.cpp).
    void LoadStreamAtSelection(TStream& stream);
    std::string FormatText(TOffset start, TOffset end, WPARAM format) const;
    std::string FormatAll(WPARAM format) const { return FormatText(TOffset(0), TextEnd(), format); }
    TOffset TextEnd() const { return TOffset(FStore->CharCount()); }
    // The whole text as FileBytes gives it for a plain SaveFormat, into out (not flushed).
    void WritePlain(TBufferedWriter& out) const;
    // The stored text in pieces of whole characters.
    void ForEachPiece(const std::function<void(std::string_view)>& take) const;
    // The range as RTF (sfmRTF) or HTML into out, which is not flushed.
    // With release, lines are scanned as the writing reaches them and their bytes dropped after.
    void WriteRich(TOffset start, TOffset end, WPARAM format, TBufferedWriter& out,
                   bool release = false) const;
    void SaveStreamFormat(WPARAM format, TStream& stream, int start, int end);

    // Editing through the store.
    void ReplaceRange(TOffset start, TOffset end, std::string_view text, int groupId = 0);
    void InsertChunked(TOffset pos, std::string_view text);
    TOffset ClampOffset(TOffset offset) const;
    TOffset SnapOffset(TOffset offset) const; // to the start of a UTF-8 sequence
    void ApplySelection(TOffset anchor, TOffset caret, bool repaint);
    // The selection's ends in text order.
    TOffset SelFirst() const { return std::min(FAnchor, FCaret); }
    TOffset SelLast() const { return std::max(FAnchor, FCaret); }
    // The selection as callers outside the control see it, and back.
    TSelectionPair SelectionPair() const { return {FAnchor.Value(), FCaret.Value()}; }
    void SetSelectionPair(const TSelectionPair& p) {
        FAnchor = TOffset(p.Anchor);
        FCaret = TOffset(p.Caret);
    }

    // View bookkeeping.
    void NoteChange(uint32_t reason) { FChangeFlags |= reason; }
    void Notify();
    void ScrollCaretIntoView();
    void ScrollTo(TColumn column, TRow row, bool repaint);
    // How many columns the horizontal scroll spans with `top` as the top row: the widest row's
    // length, or more where a row in the window holds tabs (a tab's byte spans several columns).
    int ScrollWidth(TRow top) const;
    void UpdateScrollBars();
    void Repaint();
    void MarkLinesDirty(TRow first, TRow last);
    void MarkAllDirty();
    void RecalcMetrics();
    // Routes the tracker's callbacks to this control's events and repaints.
    void WireTracker();
    void TrackerRepaint();

    // Settings binding.
    void BindSettings(TCM_Settings* settings);
    void SettingsChanged(uint32_t reason);
    static void ParseTabColumns(std::string_view text, std::array<int32_t, 32>& out);

    IWindowHost* FHost = nullptr;
    std::unique_ptr<TTextStore> FOwnStore;
    TTextStore* FStore = nullptr;
    std::unique_ptr<TCodeMemoUndoLink> FUndoLink;
    std::unique_ptr<TCodeMemoStrings> FLines;
    std::unique_ptr<TCodeMemoView> FView;
    std::unique_ptr<TCodeMemoWrap> FWrap; // re-cuts rows after each edit
    std::unique_ptr<TCodeMemoSearch> FSearch;
    std::unique_ptr<TLineTracker> FTracker;
    // The control's observer of its store; after the parts it drives, so it goes first.
    std::unique_ptr<TEditPipeline> FPipeline;
    bool FTrackerAdjusting = false; // the tracker follows an edit in progress
    std::unique_ptr<TCodeMemoPopup> FPopup;
    std::unique_ptr<ICompletionProvider> FCompletion;
    bool FAutoComplete = false;
    bool FCompletionRefresh = false; // a key passed through the list may have edited the word
    std::unique_ptr<TCM_Settings> FOwnSettings;
    TCM_Settings* FActiveSettings = nullptr;
    std::array<std::unique_ptr<TDefinitionUser>, ParserSlots> FDefUsers;
    std::array<TCustomCodeMemoParser*, ParserSlots> FParsers{};
    int FActiveSlot = 1;

    TOffset FAnchor{0};
    TOffset FCaret{0};
    TColumn FRememberedColumn{0};
    bool FVerticalMove = false;
    bool FBeyondEnd = false; // the virtual caret is past the line end, at FRememberedColumn
    std::optional<TColumn> FVirtualTarget; // the column a virtual move asks the next selection
                                           // change for
    bool FCaretAtRowEnd = false; // the caret is drawn at the end of the row before its offset's
    bool FRowEndTarget = false;  // a movement asks the next selection change for the row end
    bool FExpansionOpen = false; // an auto-replacement waits for its trigger character
    TRow FTopLine{0};
    TColumn FLeftColumn{0};
    int FClientWidth = 0;
    int FClientHeight = 0;
    int FVisibleColumns = 80;
    int FVisibleLines = 40;
    uint32_t FChangeFlags = 0;
    TRow FChangedLine{0}; // first row edited since a caller set it below 0
    int FUpdateCount = 0;
    bool FRedraw = true;
    bool FPaintLock = false;
    bool FLoading = false;
    bool FTyping = false;
    TOffset FTypingEnd{-1};
    bool FSelecting = false;
    bool FFocused = false;
    bool FDragPending = false;           // pressed inside the selection: a drag may follow
    bool FMarginDragging = false;        // the right-margin or wrap-column line follows the mouse
    bool FDragRightMargin = false;       // ... and it is the right margin's
    TColumn FMarginDragColumn{0};        // the column the dragged line stands on
    std::optional<TOffset> FHyperOffset; // the hyperlink character under the mouse at the last move
    bool FAutoScrolling = false;
    bool FDropCaret = false; // a drag is over the control
    TOffset FDropPos{0};     // ... and would drop here
    const IDropData* FDropData = nullptr;
    TSourceTypes FDropTypes = 0;
    bool FOwnDrag = false;                // the selection is being dragged out of this control
    std::optional<TOffset> FOwnDropStart; // where its text landed when it was dropped back in
    int FOwnDropLength = 0;
    TCursorShape FCursor = crDefault;

    bool FReadOnly = false;
    bool FInsertMode = true;
    bool FHideSelection = true;
    bool FShowFocusLine = false;
    bool FWantTab = true;
    bool FWantReturns = true;
    bool FTabStop = true;
    bool FEnabled = true;
    bool FMonoPrint = true;
    bool FFlatScrollBars = false;
    TFlatScrollStyle FFlatScrollStyle = fssFLAT;
    TScrollStyle FScrollBars = ssBoth;
    TBorderStyle FBorderStyle = bsSingle;
    TCM_ClipFormats FClipFormats = smTEXT | smRTF;
    TCM_PropEdPages FPropEdPages =
        ppOPTIONS | ppHIGHLIGHTING | ppKEYS | ppAUTOCORRECT | ppTEMPLATES;
    TCursorShape FHyperCursor = crDefault;
    TSaveFormat FSaveFormat = sfTEXT;
    std::string FAbout;
    std::string FFileName;
    std::string FPrintTitle;
    TTextEncoding FEncoding;
    TKeptBytes FKept; // file bytes the store holds otherwise, written back by a save
    TRect FPageRect{0, 0, 2550, 3300}; // the page when the printer names none
    bool FPrinting = false;
    uint32_t FLastClickTick = 0;
    int FClickCount = 4;
    TRow FLastClickLine{-1};
    int FKnownLineCount = 1;
    int FPerformDepth = 0;
    bool FKeyConsumed = false; // a command took the key: its character is swallowed
    bool FCaretCreated = false;
};

class TCodeMemo : public TCustomCodeMemo {
public:
    using TCustomCodeMemo::TCustomCodeMemo;
};

} // namespace quillet
