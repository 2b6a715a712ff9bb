// The search and replace commands through a target over a plain line store.
#include "editor/Search.h"
#include "editor/TextStore.h"
#include "editor/UndoStackLink.h"
#include "platform/headless/ScriptedDialogs.h"
#include "resources/Strings.h"

#include <gtest/gtest.h>

using namespace quillet;

namespace {

// The control as the search commands see it: a store with an undo log and a selection.
struct TTarget : ISearchTarget {
    TTextStore S;
    TUndoStoreLink Link{S};
    TScriptedDialogs D;
    bool Hide = true;
    bool TakeFailures = false;
    bool Placed = false;
    std::vector<std::string> Failures;
    int Bulk = 0, Notes = 0;

    explicit TTarget(std::string_view text) {
        S.AttachUndoStack(std::make_unique<TUndoStack>());
        S.Insert(TOffset(0), text);
        S.UndoStack()->Clear();
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
    bool SearchFailed(const std::string& text) override {
        Failures.push_back(text);
        return TakeFailures;
    }
    void BeginBulkReplace() override { ++Bulk; }
    void EndBulkReplace() override { --Bulk; }
    bool HideSelection() const override { return Hide; }
    void SetHideSelection(bool on) override { Hide = on; }
    bool ScreenPointOf(int offset, int& x, int& y) override {
        x = 100 + offset * 7;
        y = 50;
        return Placed;
    }
    void ChangeNotify() override { ++Notes; }

    std::string Text() const { return S.StoredText(TOffset(0), S.TextEnd()); }
    std::pair<int, int> Sel() const { return {Link.Selection().Anchor, Link.Selection().Caret}; }
    std::string LastMessage() const { return D.Calls().empty() ? "" : D.Calls().back().Text; }
};

} // namespace

TEST(SearchDialog, FindNextTwiceFindsTheNextHitInEitherDirection) {
    TTarget t("aXa aXa aXa");
    TCM_Search s(t);
    s.OpenFindDialog(0, "aXa");
    TScriptedFindDialog* dlg = t.D.FindDialog(fdkFind);
    ASSERT_NE(dlg, nullptr);
    dlg->Press(frFindNext);
    EXPECT_EQ(t.Sel(), std::make_pair(0, 3));
    dlg->Press(frFindNext);
    EXPECT_EQ(t.Sel(), std::make_pair(4, 7));
    dlg->Press(frFindNext);
    EXPECT_EQ(t.Sel(), std::make_pair(8, 11));
    EXPECT_EQ(s.LastFound(), 8);
    // At the text end: failure, the selection stays.
    t.D.QueueAnswer(mrOk);
    dlg->Press(frFindNext);
    EXPECT_EQ(t.LastMessage(), "Search string \"aXa\" not found.");
    EXPECT_EQ(t.Sel(), std::make_pair(8, 11));
    // Back up: the repeat steps off the current hit first.
    dlg->SetDown(false);
    dlg->Press(frFindNext);
    EXPECT_EQ(t.Sel(), std::make_pair(4, 7));
    dlg->Press(frFindNext);
    EXPECT_EQ(t.Sel(), std::make_pair(0, 3));
    t.D.QueueAnswer(mrOk);
    dlg->Press(frFindNext);
    EXPECT_EQ(t.D.Calls().size(), 2u);
    EXPECT_EQ(t.Sel(), std::make_pair(0, 3));
    EXPECT_FALSE(t.D.AnswersLeft());
    EXPECT_GT(t.Notes, 0);
}

TEST(SearchDialog, OverlappingHitsAndAFreshSelectionStart) {
    TTarget t("aaaa");
    TCM_Search s(t);
    EXPECT_TRUE(s.FindNext("aa", 0));
    EXPECT_EQ(t.Sel(), std::make_pair(0, 2));
    EXPECT_TRUE(s.FindNext("aa", 0));
    EXPECT_EQ(t.Sel(), std::make_pair(1, 3));
    // A selection the user made (not the last hit) is searched from its end.
    t.SetSelection(0, 1);
    EXPECT_TRUE(s.FindNext("aa", 0));
    EXPECT_EQ(t.Sel(), std::make_pair(1, 3));
}

TEST(SearchDialog, BackwardsFromOffsetZeroFailsAtOnceAndHandlersTakeFailures) {
    TTarget t("col col");
    TCM_Search s(t);
    t.TakeFailures = true;
    t.SetSelection(0, 0);
    EXPECT_FALSE(s.FindNext("col", srfBackward));
    EXPECT_EQ(t.Failures, std::vector<std::string>{"col"});
    EXPECT_TRUE(t.D.Calls().empty());
    // Whole words: "col" stops neither in "color" nor in "font-col".
    TTarget w("color font-col col");
    TCM_Search ws(w);
    EXPECT_TRUE(ws.FindNext("col", srfWholeWord));
    EXPECT_EQ(w.Sel(), std::make_pair(15, 18));
    w.SetSelection(0, 0);
    EXPECT_TRUE(ws.FindNext("COL", 0));
    EXPECT_EQ(w.Sel(), std::make_pair(0, 3));
    EXPECT_FALSE(w.TakeFailures);
    w.D.QueueAnswer(mrOk);
    EXPECT_FALSE(ws.FindNext("COL", srfMatchCase));
    EXPECT_EQ(w.Failures.size(), 1u);
    EXPECT_EQ(w.D.Calls().at(0).Type, mtInformation);
}

TEST(SearchDialog, RegexHitsAndPatternErrors) {
    TTarget t("a { color: #12ab3F }\r#zz");
    TCM_Search s(t);
    EXPECT_TRUE(s.FindNext("#[0-9a-fA-F]+", srfRegex));
    EXPECT_EQ(t.Sel(), std::make_pair(11, 18));
    // Empty matches are passed over, not taken as a failure.
    t.SetSelection(0, 0);
    EXPECT_TRUE(s.FindNext("z*", srfRegex));
    EXPECT_EQ(t.Sel(), std::make_pair(22, 24));
    // The engine's text, the pattern, and a caret under the column.
    t.SetSelection(0, 0);
    EXPECT_FALSE(s.FindNext("ab[z-a]", srfRegex));
    ASSERT_EQ(t.D.Calls().size(), 1u);
    EXPECT_EQ(t.D.Calls()[0].Type, mtError);
    EXPECT_EQ(t.LastMessage(), LoadStr(SREInvalidRange) + "\r\nab[z-a]\r\n" +
                                   std::string(size_t(s.Regex().ErrorColumn() - 1), ' ') + "^");
    EXPECT_GE(s.Regex().ErrorColumn(), 3);
    EXPECT_TRUE(t.Failures.empty());
    // A search the engine gives up on is reported the same way.
    s.Regex().SetStepBudget(50);
    TTarget big(std::string(400, 'x'));
    TCM_Search bs(big);
    bs.Regex().SetStepBudget(50);
    const std::string hard = "((|)(|)(|)(|)(|)(|)(|)x)*[cd]"; // empty choices in a loop
    EXPECT_FALSE(bs.FindNext(hard, srfRegex));
    EXPECT_EQ(big.LastMessage(), LoadStr(SRETooComplex) + "\r\n" + hard + "\r\n^");
}

TEST(SearchDirect, PositionsSelectionsAndTheLimits) {
    TTarget t("ab ab ab");
    TCM_Search s(t);
    t.SetSelection(1, 1);
    EXPECT_EQ(s.FindMessage(srfDirect, "ab"), 3);
    EXPECT_EQ(t.Sel(), std::make_pair(1, 1)); // a plain hit leaves the selection
    t.SetSelection(3, 5);
    EXPECT_EQ(s.FindMessage(srfDirect, "ab"), 6);
    EXPECT_EQ(s.FindMessage(srfDirect | srfBackward, "ab"), 3);
    t.SetSelection(6, 8);
    EXPECT_EQ(s.FindMessage(srfDirect, "ab"), -1);
    EXPECT_EQ(s.FindMessage(srfDirect, nullptr), -1);
    t.SetSelection(0, 0);
    EXPECT_EQ(s.FindMessage(srfDirect | srfBackward, "ab"), -1);
    // A regular expression selects its match and is remembered for the dialogs.
    EXPECT_EQ(s.FindMessage(srfDirect | srfRegex, "b a"), 1);
    EXPECT_EQ(t.Sel(), std::make_pair(1, 4));
    EXPECT_EQ(s.LastFound(), 1);
    EXPECT_TRUE(s.RegexMode());
    EXPECT_EQ(s.FindMessage(srfDirect | srfRegex, "(x"), -1);
    EXPECT_EQ(t.D.Calls().size(), 1u);
    EXPECT_TRUE(t.D.Calls()[0].Text.starts_with(LoadStr(SREUnmatchedParen)));
    // Line ends in the text searched for are the store's single CR.
    TTarget lines("a {\r}\rb {\r}");
    TCM_Search ls(lines);
    EXPECT_EQ(ls.FindMessage(srfDirect, "}\r\nb"), 4);
    EXPECT_TRUE(ls.FindNext("{\n}", 0));
    EXPECT_EQ(lines.Sel(), std::make_pair(2, 5));
    TTarget empty("");
    TCM_Search es(empty);
    EXPECT_EQ(es.FindMessage(srfDirect, "a"), -1);
    EXPECT_TRUE(empty.D.Calls().empty());
}

TEST(SearchDialog, OpeningTheDialogs) {
    TTarget t("one two");
    TCM_Search s(t);
    t.SetSelection(4, 7);
    s.OpenFindDialog(srfMatchCase, nullptr);
    TScriptedFindDialog* find = t.D.FindDialog(fdkFind);
    ASSERT_NE(find, nullptr);
    EXPECT_TRUE(find->Visible());
    EXPECT_EQ(find->FindText(), "two");
    EXPECT_TRUE(find->MatchCase());
    EXPECT_FALSE(t.Hide);
    EXPECT_EQ(s.DialogFlags(*find), srfMatchCase);
    // Regex mode does not offer the selection; the text given wins over it.
    s.FindMessage(srfRegex, nullptr);
    EXPECT_EQ(find->FindText(), "");
    EXPECT_EQ(t.D.FindDialogs().size(), 1u); // created once
    find->SetDown(false);
    find->SetWholeWord(true);
    EXPECT_EQ(s.DialogFlags(*find), srfMatchCase | srfRegex | srfBackward | srfWholeWord);
    s.FindMessage(0, "one");
    EXPECT_EQ(find->FindText(), "one");
    // The replace dialog closes the find dialog; closing it brings HideSelection back.
    s.ReplaceMessage(0);
    TScriptedFindDialog* repl = t.D.FindDialog(fdkReplace);
    ASSERT_NE(repl, nullptr);
    EXPECT_FALSE(find->Visible());
    EXPECT_TRUE(repl->Visible());
    EXPECT_EQ(repl->FindText(), "two");
    EXPECT_FALSE(t.Hide);
    repl->Close();
    EXPECT_TRUE(t.Hide);
    EXPECT_THROW(find->Press(frFindNext), EQuilletError);
    find->Show();
    EXPECT_THROW(find->Press(frReplaceAll), EQuilletError); // no such button
}

TEST(SearchDialog, APlatformWithoutDialogsSaysSo) {
    struct TNoDialogs : TTarget {
        struct : IDialogs {
            TModalResult MessageBox(const std::string&, const std::string&, TMsgDlgType,
                                    TMsgDlgButtons) override {
                return mrOk;
            }
            std::optional<std::string> OpenFile(const TFileDialogOptions&) override { return {}; }
            std::optional<std::string> SaveFile(const TFileDialogOptions&) override { return {}; }
        } None;
        TNoDialogs() : TTarget("x") {}
        IDialogs& Dialogs() override { return None; }
    } t;
    TCM_Search s(t);
    try {
        s.ReplaceMessage(0);
        FAIL() << "no error";
    } catch (const EQuilletError& e) {
        EXPECT_EQ(std::string(e.what()), LoadStr(SNoFindDialog));
    }
    EXPECT_EQ(s.FindMessage(srfDirect, "x"), 0); // the direct search needs no dialog
}

TEST(ReplaceAll, OneUndoGroupRestoresTheText) {
    TTarget t("aaa");
    TCM_Search s(t);
    s.OpenReplaceDialog(0);
    TScriptedFindDialog* dlg = t.D.FindDialog(fdkReplace);
    dlg->SetFindText("a");
    dlg->SetReplaceText("bb");
    dlg->Press(frReplaceAll);
    EXPECT_EQ(t.Text(), "bbbbbb");
    EXPECT_EQ(t.Sel(), std::make_pair(6, 6));
    EXPECT_EQ(t.Bulk, 0);
    EXPECT_FALSE(t.S.UndoStack()->GroupOpen());
    t.S.UndoStack()->Undo();
    EXPECT_EQ(t.Text(), "aaa");
    EXPECT_FALSE(t.S.UndoStack()->CanUndo());
    t.S.UndoStack()->Redo();
    EXPECT_EQ(t.Text(), "bbbbbb");
    // Nothing left to replace: failure.
    t.D.QueueAnswer(mrOk);
    dlg->Press(frReplaceAll);
    EXPECT_EQ(t.LastMessage(), "Search string \"a\" not found.");
}

TEST(ReplaceAll, RegexGroupsEscapesAndShiftedPositions) {
    TTarget t("x=1;\ry=22;");
    TCM_Search s(t);
    s.OpenReplaceDialog(srfRegex);
    TScriptedFindDialog* dlg = t.D.FindDialog(fdkReplace);
    dlg->SetFindText("(\\w)=(\\d+)");
    dlg->SetReplaceText("%2\\t%1%%");
    dlg->Press(frReplaceAll);
    EXPECT_EQ(t.Text(), "1\tx%;\r22\ty%;");
    // Plain text is inserted as it is, and only from the selection end on.
    TTarget p("a.a.a.a");
    TCM_Search ps(p);
    p.SetSelection(2, 2);
    EXPECT_EQ(ps.ReplaceAll(".", "%1\\t", 0, 2), 2);
    EXPECT_EQ(p.Text(), "a.a%1\\ta%1\\ta");
    // A bad pattern replaces nothing.
    EXPECT_EQ(ps.ReplaceAll("[", "x", srfRegex, 0), 0);
    EXPECT_EQ(p.LastMessage(), LoadStr(SREUnmatchedBracket) + "\r\n[\r\n^");
    EXPECT_EQ(p.Text(), "a.a%1\\ta%1\\ta");
}

TEST(ReplacePrompt, EachAnswerDoesWhatItSays) {
    TTarget t("a1 a2 a3 a4 a5");
    TCM_Search s(t);
    t.Placed = true;
    s.OpenReplaceDialog(srfRegex);
    TScriptedFindDialog* dlg = t.D.FindDialog(fdkReplace);
    dlg->SetFindText("a(\\d)");
    dlg->SetReplaceText("<%1>");
    t.SetSelection(0, 0);
    t.D.QueueAnswer(mrYes);
    t.D.QueueAnswer(mrNo);
    t.D.QueueAnswer(mrCancel);
    dlg->Press(frReplace);
    EXPECT_EQ(t.Text(), "<1> a2 a3 a4 a5");
    ASSERT_EQ(t.D.Calls().size(), 3u);
    EXPECT_EQ(t.D.Calls()[0].Text, "Replace this occurence of 'a(\\d)' with '<1>' ?");
    EXPECT_EQ(t.D.Calls()[1].Text, "Replace this occurence of 'a(\\d)' with '<2>' ?");
    EXPECT_EQ(t.D.Calls()[0].Buttons, mbYesNoCancelAll);
    EXPECT_TRUE(t.D.Calls()[1].Placed);
    EXPECT_EQ(t.D.Calls()[1].X, 100 + 4 * 7 - 10);
    EXPECT_EQ(t.D.Calls()[1].Y, 40);
    EXPECT_EQ(t.Sel(), std::make_pair(7, 9)); // Cancel leaves the third hit selected
    // The selected hit is replaced, not skipped; All does the rest in one undo group.
    t.D.ClearCalls();
    t.D.QueueAnswer(mrYes);
    t.D.QueueAnswer(mrAll);
    dlg->Press(frReplace);
    EXPECT_EQ(t.Text(), "<1> a2 <3> <4> <5>");
    EXPECT_EQ(t.D.Calls().size(), 2u); // no failure report after All
    EXPECT_EQ(t.Bulk, 0);
    t.S.UndoStack()->Undo();
    EXPECT_EQ(t.Text(), "<1> a2 <3> a4 a5");
    // Yes to the end: the failure report closes the run.
    t.SetSelection(0, 0);
    t.D.ClearCalls();
    t.D.QueueAnswer(mrYes);
    t.D.QueueAnswer(mrYes);
    t.D.QueueAnswer(mrYes);
    t.D.QueueAnswer(mrOk);
    dlg->Press(frReplace);
    EXPECT_EQ(t.Text(), "<1> <2> <3> <4> <5>");
    EXPECT_EQ(t.LastMessage(), "Search string \"a(\\d)\" not found.");
    EXPECT_FALSE(t.D.AnswersLeft());
}

TEST(ReplacePrompt, FindNextAndBackwardsInTheReplaceDialog) {
    TTarget t("ab ab ab");
    TCM_Search s(t);
    s.OpenReplaceDialog(0);
    TScriptedFindDialog* dlg = t.D.FindDialog(fdkReplace);
    dlg->SetFindText("ab");
    dlg->SetReplaceText("X");
    dlg->Press(frFindNext);
    EXPECT_EQ(t.Sel(), std::make_pair(0, 2));
    EXPECT_EQ(t.Text(), "ab ab ab");
    dlg->SetDown(false);
    t.SetSelection(8, 8);
    t.D.QueueAnswer(mrYes);
    t.D.QueueAnswer(mrNo);
    t.D.QueueAnswer(mrAll);
    dlg->Press(frReplace);
    EXPECT_EQ(t.Text(), "X ab X");
}
