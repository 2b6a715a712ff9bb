// The CSS language service as the editor control's completion provider.
#pragma once

#include "css/Completion.h"
#include "editor/Completion.h"

namespace quillet {

class TCssCompletionProvider : public ICompletionProvider {
public:
    TCompletionList Complete(std::string_view before) override {
        css::TCompletion found = css::Complete(before);
        TCompletionList out;
        out.PrefixLength = int(found.PrefixLength);
        out.Items.reserve(found.Entries.size());
        for (css::TCompletionEntry& e : found.Entries)
            out.Items.push_back({std::string(e.Name), std::move(e.Insert)});
        return out;
    }
    bool OpensOn(std::string_view before) override { return css::OpensCompletion(before); }
};

} // namespace quillet
