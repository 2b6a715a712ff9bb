// The editor control as the search commands' target: SM_FIND and SM_REPLACE land here.
#pragma once

#include "editor/Search.h"

namespace quillet {

class TCustomCodeMemo;

class TCodeMemoSearch : public ISearchTarget {
public:
    explicit TCodeMemoSearch(TCustomCodeMemo& memo) : FMemo(memo), FEngine(*this) {}

    TCM_Search& Engine() { return FEngine; }

    TTextStore& Store() override;
    TSelectionPair Selection() const override;
    void SetSelection(int anchor, int caret) override;
    int ReplaceRange(int start, int end, std::string_view text) override;
    IDialogs& Dialogs() override;
    TWordTests WordTests() const override;
    bool SearchFailed(const std::string& searchText) override;
    void BeginBulkReplace() override;
    void EndBulkReplace() override;
    bool HideSelection() const override;
    void SetHideSelection(bool on) override;
    bool ScreenPointOf(int offset, int& x, int& y) override;
    void ChangeNotify() override;

private:
    TCustomCodeMemo& FMemo;
    TCM_Search FEngine;
};

} // namespace quillet
