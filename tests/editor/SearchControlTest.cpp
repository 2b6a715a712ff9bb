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
