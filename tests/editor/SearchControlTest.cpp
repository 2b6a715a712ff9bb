// SM_FIND and SM_REPLACE on the editor control, with the headless dialogs answering.
#include "editor/SearchControl.h"
#include "editor/CodeMemo.h"
#include "platform/Platform.h"
#include "platform/headless/ScriptedDialogs.h"

#include <gtest/gtest.h>

using namespace quillet;

namespace {

TScriptedDialogs& Scripted() {
    auto* d = dynamic_cast<TScriptedDialogs*>(Platform().Dialogs.get());
    if (!d) {
        TPlatformServices services;
        services.Dialogs = std::make_unique<TScriptedDialogs>();
        InstallPlatform(std::move(services));
        d = dynamic_cast<TScriptedDialogs*>(Platform().Dialogs.get());
    }
    d->ClearCalls();
    return *d;
}

std::pair<int, int> Sel(TCodeMemo& m) {
    TSelectionPair p = m.Selection();
    return {p.Anchor, p.Caret};
}

} // namespace

TEST(ControlSearch, FindMessagesSearchTheControlsText) {
    TScriptedDialogs& d = Scripted();
    TCodeMemo memo;
    memo.SetText("a { color: red }\nb { color: blue }");
    memo.SetSelection(0, 0);
    std::string text = "color";
    EXPECT_EQ(memo.Perform(SM_FIND, srfDirect, LPARAM(text.c_str())), 4);
    EXPECT_EQ(Sel(memo), std::make_pair(0, 0));
    std::string re = "b[a-z]+";
    EXPECT_EQ(memo.Perform(SM_FIND, srfDirect | srfRegex, LPARAM(re.c_str())), 28);
    EXPECT_EQ(Sel(memo), std::make_pair(28, 32));
    // The dialog, its find-next twice, and the failure going to OnSearchFail.
    memo.SetSelection(0, 0);
    memo.Perform(SM_FIND, 0, LPARAM(text.c_str()));
    EXPECT_FALSE(memo.HideSelection());
    TScriptedFindDialog* dlg = d.FindDialog(fdkFind);
    ASSERT_NE(dlg, nullptr);
    EXPECT_EQ(dlg->FindText(), "color");
    dlg->Press(frFindNext);
    EXPECT_EQ(Sel(memo), std::make_pair(4, 9));
    dlg->Press(frFindNext);
    EXPECT_EQ(Sel(memo), std::make_pair(21, 26));
    std::vector<std::string> failed;
    memo.OnSearchFail = [&](TCustomCodeMemo&, const std::string& s) { failed.push_back(s); };
    dlg->Press(frFindNext);
    EXPECT_EQ(failed, std::vector<std::string>{"color"});
    EXPECT_TRUE(d.Calls().empty());
    dlg->Close();
    EXPECT_TRUE(memo.HideSelection());
}

TEST(ControlSearch, ReplaceAllIsOneUndoStepAndReadOnlyChangesNothing) {
    TScriptedDialogs& d = Scripted();
    TCodeMemo memo;
    memo.SetText("aaa");
    memo.Perform(EM_EMPTYUNDOBUFFER, 0, 0);
    memo.SetSelection(0, 0);
    memo.Perform(SM_REPLACE, 0, 0);
    TScriptedFindDialog* dlg = d.FindDialog(fdkReplace);
    ASSERT_NE(dlg, nullptr);
    dlg->SetFindText("a");
    dlg->SetReplaceText("bb");
    dlg->Press(frReplaceAll);
    EXPECT_EQ(memo.Text(), "bbbbbb");
    EXPECT_EQ(Sel(memo), std::make_pair(6, 6));
    memo.Undo();
    EXPECT_EQ(memo.Text(), "aaa");
    memo.Redo();
    EXPECT_EQ(memo.Text(), "bbbbbb");
    memo.SetReadOnly(true);
    memo.SetSelection(0, 0);
    dlg->SetFindText("b");
    dlg->SetReplaceText("c");
    dlg->Press(frReplaceAll);
    EXPECT_EQ(memo.Text(), "bbbbbb");
    EXPECT_EQ(Sel(memo), std::make_pair(6, 6));
}

TEST(ControlSearch, LongSearchesReportProgressAndACancelLeavesEverythingAsItWas) {
    TScriptedDialogs& d = Scripted();
    TCodeMemo memo;
    std::string sheet;
    for (int i = 0; i < 200000; ++i)
        sheet += "x{color:red}";
    memo.SetText(sheet + "y{color:blue}");
    const int hit = int(sheet.size());
    memo.SetSelection(5, 7);
    memo.Perform(SM_FIND, 0, 0);
    TScriptedFindDialog* dlg = d.FindDialog(fdkFind);
    ASSERT_NE(dlg, nullptr);
    std::vector<std::string> failed;
    memo.OnSearchFail = [&](TCustomCodeMemo&, const std::string& s) { failed.push_back(s); };
    // Cancelled at the second report: the plain search and the regex one (in either
    // direction) leave the selection, report no failure and change no text.
    d.CancelProgressAt(2);
    for (const char* pattern : {"color:blue", "[xy]\\{color:bl"}) {
        for (bool regex : {false, true}) {
            memo.Perform(SM_FIND, regex ? srfRegex : 0, LPARAM(pattern));
            dlg->SetFindText(pattern);
            int reports = d.ProgressReports();
            dlg->Press(frFindNext);
            EXPECT_EQ(Sel(memo), std::make_pair(5, 7)) << pattern << regex;
            EXPECT_EQ(d.ProgressReports(), reports + 2) << pattern << regex;
        }
    }
    EXPECT_TRUE(failed.empty());
    EXPECT_EQ(d.ProgressTitle(), "Поиск");
    EXPECT_EQ(d.ProgressText(), "Идёт поиск «[xy]\\{color:bl»… Esc — прервать");
    memo.Perform(SM_REPLACE, 0, 0);
    TScriptedFindDialog* rep = d.FindDialog(fdkReplace);
    ASSERT_NE(rep, nullptr);
    rep->SetFindText("red");
    rep->SetReplaceText("blue");
    rep->Press(frReplaceAll); // 200,000 hits close together, cancelled while collected
    EXPECT_EQ(memo.Text().size(), sheet.size() + 13);
    EXPECT_EQ(Sel(memo), std::make_pair(5, 7));
    rep->Close();
    // Not cancelled: found, and the report counts up to the whole text.
    d.CancelProgressAt(0);
    memo.Perform(SM_FIND, srfRegex, 0);
    dlg->SetFindText("[xy]\\{color:bl");
    dlg->Press(frFindNext);
    EXPECT_EQ(Sel(memo), std::make_pair(hit, hit + 10));
    EXPECT_GT(d.LastProgressDone(), 0);
    EXPECT_LE(d.LastProgressDone(), d.LastProgressTotal());
    EXPECT_EQ(d.LastProgressTotal(), int64_t(sheet.size()) + 13 - 7);
    EXPECT_TRUE(failed.empty());
    EXPECT_TRUE(d.Calls().empty());
}
