// Drops into the control, its selection dragged out and back in, and pastes of HTML.
#include "FixedFontTest.h"
#include "editor/CodeMemo.h"
#include "platform/Platform.h"
#include "platform/VirtualKeys.h"
#include "platform/headless/HeadlessWindowHost.h"

#include <gtest/gtest.h>

#include <map>
#include <string>

namespace quillet {
namespace {

class TTestDropData : public IDropData {
public:
    std::map<std::string, std::string, std::less<>> Formats;
    bool HasFormat(std::string_view f) const override { return Formats.find(f) != Formats.end(); }
    std::string Get(std::string_view f) const override {
        auto it = Formats.find(f);
        return it == Formats.end() ? std::string() : it->second;
    }
};

class DragDropTest : public FixedFontTest {
protected:
    THeadlessWindowHost Host{640, 170};
    TCodeMemo Memo{&Host};
    static constexpr int Left = 36; // gutter and margin strip; cells are 7 x 17

    void SetUp() override {
        Host.SetFocused(true);
        Memo.Perform(WM_SETFOCUS, 0, 0);
    }
    static TPoint Cell(int column, int row) { return {Left + column * 7 + 1, row * 17 + 3}; }
    static LPARAM At(int column, int row) {
        TPoint p = Cell(column, row);
        return MakePointParam(p.X, p.Y);
    }
    // Presses inside the selection and moves: the selection is dragged out.
    void DragSelectionFrom(int column, int row) {
        Host.AdvanceTicks(1000);
        Memo.Perform(WM_LBUTTONDOWN, MK_LBUTTON, At(column, row));
        Memo.Perform(WM_MOUSEMOVE, MK_LBUTTON, At(column + 1, row));
    }
    TTestDropData Text(const std::string& text) {
        TTestDropData d;
        d.Formats["text"] = text;
        d.Formats["unicode text"] = text;
        return d;
    }
};

TEST_F(DragDropTest, HtmlGoesInWholeUnlessTheHandlerAsksForTheFragment) {
    const std::string html = "Version:0.9\r\n<html><body><!--StartFragment--><b>bold</b>"
                             "<!--EndFragment--></body></html>";
    TTestDropData data;
    data.Formats["HTML Format"] = html;
    data.Formats["text"] = "bold";
    Memo.SetText("");
    EXPECT_EQ(Memo.DragEnter(data, 0, Cell(0, 0)), deMove);
    EXPECT_EQ(Memo.Drop(data, 0, Cell(0, 0)), deMove);
    EXPECT_EQ(Memo.Text(), html); // HTML is chosen first, and inserted unchanged by default
    TSourceTypes seen = 0;
    Memo.OnDataDrop = [&](TCustomCodeMemo&, TSourceTypes& types) {
        seen = types;
        types = TSourceTypes((types | dsHtmlFragment) & ~dsInsertUnchanged);
    };
    Memo.SetText("");
    EXPECT_EQ(Memo.Drop(data, ssCtrl, Cell(0, 0)), deCopy);
    EXPECT_EQ(Memo.Text(), "<b>bold</b>");
    EXPECT_EQ(seen, dsHtml | dsText | dsInsertUnchanged | dsFilesDropped);
    // From the first tag only; then a handler that takes plain text; then one that refuses.
    Memo.OnDataDrop = [](TCustomCodeMemo&, TSourceTypes& t) {
        t = TSourceTypes((t | dsHtmlFromFirstTag) & ~dsInsertUnchanged);
    };
    Memo.SetText("");
    Memo.Drop(data, 0, Cell(0, 0));
    EXPECT_EQ(Memo.Text(), html.substr(html.find('<')));
    Memo.OnDataDrop = [](TCustomCodeMemo&, TSourceTypes& t) { t &= ~dsHtml; };
    Memo.SetText("");
    Memo.Drop(data, 0, Cell(0, 0));
    EXPECT_EQ(Memo.Text(), "bold");
    Memo.OnDataDrop = [](TCustomCodeMemo&, TSourceTypes& t) { t |= dsRefuse; };
    EXPECT_EQ(Memo.Drop(data, 0, Cell(0, 0)), deNone);
    EXPECT_EQ(Memo.Text(), "bold");
}

TEST_F(DragDropTest, FilesAreTakenOnlyWithTheOptionAndNeverMoved) {
    TTestDropData files;
    files.Formats["files"] = "/tmp/a.css\n/tmp/b.css";
    Memo.SetOptions(Memo.Options() & ~smoProcessDroppedFiles);
    Memo.SetText("x");
    EXPECT_EQ(Memo.DragEnter(files, 0, Cell(0, 0)), deNone);
    EXPECT_EQ(Memo.DropPosition(), -1);
    EXPECT_EQ(Memo.Drop(files, 0, Cell(0, 0)), deNone);
    EXPECT_EQ(Memo.Text(), "x");
    Memo.SetOptions(Memo.Options() | smoProcessDroppedFiles);
    EXPECT_EQ(Memo.Drop(files, 0, Cell(0, 0)), deCopy);
    EXPECT_EQ(Memo.Text(), "/tmp/a.css\r\n/tmp/b.cssx");
    // A handler sees the names and may change them; without 1024 nothing is inserted.
    std::vector<std::string> seen;
    TPoint where;
    Memo.OnFilesDropped = [&](TCustomCodeMemo&, std::vector<std::string>& names, TPoint at) {
        seen = names;
        where = at;
        names = {"changed.css"};
    };
    Memo.SetText("x");
    Memo.Drop(files, 0, Cell(1, 0));
    EXPECT_EQ(Memo.Text(), "xchanged.css");
    EXPECT_EQ(seen, (std::vector<std::string>{"/tmp/a.css", "/tmp/b.css"}));
    EXPECT_EQ(where.X, Cell(1, 0).X);
    Memo.OnDataDrop = [](TCustomCodeMemo&, TSourceTypes& t) { t &= ~dsInsertUnchanged; };
    Memo.SetText("x");
    EXPECT_EQ(Memo.Drop(files, 0, Cell(0, 0)), deCopy);
    EXPECT_EQ(Memo.Text(), "x");
}

TEST_F(DragDropTest, TheDropCaretFollowsTheDragAndLeavesWithIt) {
    Memo.SetText("alpha beta\r\ngamma");
    Memo.SetSelStart(0);
    TTestDropData data = Text("z");
    EXPECT_EQ(Memo.DragEnter(data, 0, Cell(3, 1)), deMove);
    EXPECT_EQ(Memo.DropPosition(), 11 + 3);
    EXPECT_EQ(Host.CaretPos().X, Cell(3, 1).X - 1); // the caret shows the drop point
    EXPECT_EQ(Host.CaretPos().Y, 17);
    EXPECT_EQ(Memo.DragOver(ssCtrl, Cell(6, 0)), deCopy);
    EXPECT_EQ(Memo.DropPosition(), 6);
    TDropEffect asked = deNone;
    Memo.OnOLEDragOver = [&](TCustomCodeMemo&, const IDropData& d, TPoint, TDropEffect& e) {
        asked = e;
        EXPECT_TRUE(d.HasFormat(cbfText));
        e = deNone;
    };
    EXPECT_EQ(Memo.DragOver(0, Cell(2, 0)), deNone);
    EXPECT_EQ(asked, deMove);
    Memo.DragLeave();
    EXPECT_EQ(Memo.DropPosition(), -1);
    EXPECT_EQ(Host.CaretPos().X, Left); // back at the caret
    EXPECT_EQ(Memo.SelStart(), 0);
    EXPECT_EQ(Memo.Text(), "alpha beta\r\ngamma");
}

TEST_F(DragDropTest, TheSelectionMovesWithinTheControlInOneUndoStep) {
    Memo.SetText("alpha beta gamma");
    Memo.SetSelection(0, 6); // "alpha "
    bool allowedMove = false;
    Host.OnDragText = [&](const std::string& text, bool allowMove) {
        allowedMove = allowMove;
        TTestDropData data = Text(text);
        Memo.DragEnter(data, 0, Cell(12, 0));
        return Memo.Drop(data, 0, Cell(11, 0)); // before "gamma"
    };
    DragSelectionFrom(2, 0);
    EXPECT_TRUE(allowedMove);
    EXPECT_EQ(Memo.Text(), "beta alpha gamma");
    EXPECT_EQ(Memo.SelText(), "alpha "); // the dropped text is selected where it landed
    EXPECT_EQ(Memo.SelStart(), 5);
    Memo.Perform(WM_LBUTTONUP, 0, At(3, 0));
    Memo.Undo();
    EXPECT_EQ(Memo.Text(), "alpha beta gamma");
    // A copy (Ctrl at the drop) keeps the original.
    Memo.SetSelection(0, 5);
    Host.OnDragText = [&](const std::string& text, bool) {
        TTestDropData data = Text(text);
        return Memo.Drop(data, ssCtrl, Cell(16, 0));
    };
    DragSelectionFrom(1, 0);
    EXPECT_EQ(Memo.Text(), "alpha beta gammaalpha");
    EXPECT_EQ(Memo.SelText(), "alpha");
}

TEST_F(DragDropTest, DroppedOntoItselfNothingChangesAndDroppedElsewhereItLeaves) {
    Memo.SetText("alpha beta");
    Memo.SetSelection(0, 5);
    Host.OnDragText = [&](const std::string& text, bool) {
        TTestDropData data = Text(text);
        return Memo.Drop(data, 0, Cell(3, 0));
    };
    DragSelectionFrom(1, 0);
    EXPECT_EQ(Memo.Text(), "alpha beta");
    EXPECT_EQ(Memo.SelText(), "alpha");
    EXPECT_FALSE(Memo.CanUndo());
    // Moved into another window: the text goes, and comes back with one Undo.
    Host.OnDragText = [](const std::string&, bool) { return deMove; };
    DragSelectionFrom(1, 0);
    EXPECT_EQ(Memo.Text(), " beta");
    Memo.Undo();
    EXPECT_EQ(Memo.Text(), "alpha beta");
    // Copied out, or cancelled: it stays. Without the drag-source option nothing is dragged.
    Memo.SetSelection(0, 5);
    Host.OnDragText = [](const std::string&, bool) { return deCopy; };
    DragSelectionFrom(1, 0);
    EXPECT_EQ(Memo.Text(), "alpha beta");
    int drags = Host.Drags();
    Memo.SetOptions(Memo.Options() & ~smoOLEDragSource);
    Memo.SetSelection(0, 5);
    DragSelectionFrom(1, 0);
    EXPECT_EQ(Host.Drags(), drags);
    EXPECT_EQ(Memo.SelText(), "alpha");
}

TEST_F(DragDropTest, AReadOnlyControlOffersCopiesAndTakesNoDrops) {
    Memo.SetText("alpha beta");
    Memo.SetReadOnly(true);
    Memo.SetSelection(0, 5);
    bool allowedMove = true;
    Host.OnDragText = [&](const std::string&, bool allowMove) {
        allowedMove = allowMove;
        return deMove; // whatever the other side says, the text stays
    };
    DragSelectionFrom(1, 0);
    EXPECT_FALSE(allowedMove);
    EXPECT_EQ(Memo.Text(), "alpha beta");
    // A move into it would lose the text at its source, so it is refused.
    TTestDropData data = Text("z");
    EXPECT_EQ(Memo.DragEnter(data, 0, Cell(0, 0)), deNone);
    EXPECT_EQ(Memo.Drop(data, 0, Cell(0, 0)), deNone);
    EXPECT_EQ(Memo.Text(), "alpha beta");
}

TEST_F(DragDropTest, PasteTakesPlainTextFirstAndHtmlAsTheHandlerSays) {
    IClipboard& clip = *Platform().Clipboard;
    clip.Clear();
    clip.Set(cbfHtml, "StartHTML:1\r\n<p><!--StartFragment-->frag<!--EndFragment--></p>");
    EXPECT_EQ(Memo.Perform(CM_CANPASTE, 0, 0), 1);
    TSourceTypes seen = 0;
    Memo.OnDataDrop = [&](TCustomCodeMemo&, TSourceTypes& t) {
        seen = t;
        t |= dsHtmlFragment;
    };
    Memo.SetText("");
    Memo.PasteFromClipboard();
    EXPECT_EQ(Memo.Text(), "frag");
    EXPECT_EQ(seen, dsHtml | dsPaste);
    clip.Set(cbfText, "plain");
    Memo.SetText("");
    Memo.PasteFromClipboard();
    EXPECT_EQ(Memo.Text(), "plain");
    Memo.OnDataDrop = [](TCustomCodeMemo&, TSourceTypes& t) { t = 0; };
    Memo.PasteFromClipboard();
    EXPECT_EQ(Memo.Text(), "plain");
}

} // namespace
} // namespace quillet
