// The Qt find and replace dialogs, alone and driving the search commands.
#include "dialogs/FindDialog.h"
#include "dialogs/ReplaceDialog.h"
#include "editor/Search.h"
#include "editor/TextStore.h"
#include "editor/UndoStackLink.h"
#include "platform/qt/QtDialogs.h"

#include <QApplication>
#include <QCheckBox>
#include <QLineEdit>
#include <QPushButton>
#include <QRadioButton>

#include <gtest/gtest.h>

using namespace quillet;

namespace {

void EnsureApp() {
    if (QApplication::instance()) return;
    static int argc = 1;
    static char name[] = "test_qt";
    static char* argv[] = {name, nullptr};
    static QApplication app(argc, argv);
}

// Message boxes answered Yes; the find dialogs are the real ones.
struct TQtOnlyDialogs : IDialogs {
    int Asked = 0;
    TModalResult MessageBox(const std::string&, const std::string&, TMsgDlgType,
                            TMsgDlgButtons) override {
        ++Asked;
        return mrYes;
    }
    std::optional<std::string> OpenFile(const TFileDialogOptions&) override { return {}; }
    std::optional<std::string> SaveFile(const TFileDialogOptions&) override { return {}; }
    std::unique_ptr<IFindDialog> CreateFindDialog(TFindDialogKind kind) override {
        return CreateQtFindDialog(kind);
    }
};

struct TTarget : ISearchTarget {
    TTextStore S;
    TUndoStoreLink Link{S};
    TQtOnlyDialogs D;
    bool Hide = true;
    explicit TTarget(std::string_view text) {
        S.AttachUndoStack(std::make_unique<TUndoStack>());
        S.Insert(TOffset(0), text);
    }
    TTextStore& Store() override { return S; }
    TSelectionPair Selection() const override { return Link.Selection(); }
    void SetSelection(int anchor, int caret) override {
        Link.SetSelection(TOffset(anchor), TOffset(caret));
    }
    int ReplaceRange(int start, int end, std::string_view text) override {
        S.Delete(TOffset(start), end - start);
        return S.Insert(TOffset(start), text);
    }
    IDialogs& Dialogs() override { return D; }
    bool HideSelection() const override { return Hide; }
    void SetHideSelection(bool on) override { Hide = on; }
};

} // namespace

TEST(QtFindDialog, ButtonsReportRequestsAndOptionsMapToFields) {
    EnsureApp();
    TReplaceDialog dlg;
    std::vector<TFindRequest> asked;
    dlg.OnRequest = [&](IFindDialog&, TFindRequest r) { asked.push_back(r); };
    int closed = 0;
    dlg.OnClose = [&](IFindDialog&) { ++closed; };
    dlg.Show();
    EXPECT_TRUE(dlg.Visible());
    // Nothing to search for: the buttons are off and a click does nothing.
    EXPECT_FALSE(dlg.FindNextButton()->isEnabled());
    EXPECT_FALSE(dlg.ReplaceAllButton()->isEnabled());
    dlg.FindNextButton()->click();
    EXPECT_TRUE(asked.empty());
    dlg.FindEdit()->setText("col");
    dlg.ReplaceEdit()->setText("color");
    dlg.MatchCaseBox()->setChecked(true);
    dlg.UpButton()->setChecked(true);
    EXPECT_TRUE(dlg.ReplaceButton()->isEnabled());
    EXPECT_EQ(dlg.FindText(), "col");
    EXPECT_EQ(dlg.ReplaceText(), "color");
    EXPECT_TRUE(dlg.MatchCase());
    EXPECT_FALSE(dlg.WholeWord());
    EXPECT_FALSE(dlg.Down());
    dlg.FindNextButton()->click();
    dlg.ReplaceButton()->click();
    dlg.ReplaceAllButton()->click();
    EXPECT_EQ(asked, (std::vector<TFindRequest>{frFindNext, frReplace, frReplaceAll}));
    dlg.CancelButton()->click();
    EXPECT_FALSE(dlg.Visible());
    EXPECT_EQ(closed, 1);
    dlg.Close(); // already closed: no second report
    EXPECT_EQ(closed, 1);
}

TEST(QtFindDialog, ThePlatformDialogsMakeBothKinds) {
    EnsureApp();
    TQtDialogs dialogs;
    for (TFindDialogKind kind : {fdkFind, fdkReplace}) {
        auto dlg = dialogs.CreateFindDialog(kind);
        ASSERT_TRUE(dlg);
        EXPECT_EQ(dlg->Kind(), kind);
        EXPECT_FALSE(dlg->Visible());
    }
}

TEST(QtFindDialog, DriveTheSearchCommands) {
    EnsureApp();
    TTarget t("color: red; COLOR: blue");
    TCM_Search s(t);
    t.SetSelection(7, 10);
    s.OpenFindDialog(srfMatchCase, nullptr);
    auto* find = dynamic_cast<TFindDialog*>(s.FindDialog());
    ASSERT_NE(find, nullptr);
    EXPECT_TRUE(find->Visible());
    EXPECT_EQ(find->FindEdit()->text(), "red");
    EXPECT_TRUE(find->MatchCaseBox()->isChecked());
    EXPECT_FALSE(t.Hide);
    find->FindEdit()->setText("color");
    find->MatchCaseBox()->setChecked(false);
    t.SetSelection(0, 0);
    find->FindNextButton()->click();
    EXPECT_EQ(t.Selection().Anchor, 0);
    find->FindNextButton()->click();
    EXPECT_EQ(t.Selection().Anchor, 12);
    // The replace dialog takes over; the find dialog closes.
    s.OpenReplaceDialog(0);
    auto* repl = dynamic_cast<TReplaceDialog*>(s.ReplaceDialog());
    ASSERT_NE(repl, nullptr);
    EXPECT_FALSE(find->Visible());
    repl->FindEdit()->setText("color");
    repl->ReplaceEdit()->setText("background");
    t.SetSelection(0, 0);
    repl->ReplaceAllButton()->click();
    EXPECT_EQ(t.S.StoredText(TOffset(0), t.S.TextEnd()), "background: red; background: blue");
    repl->CancelButton()->click();
    EXPECT_TRUE(t.Hide);
}
