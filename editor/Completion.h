// The control's completion: what a provider set by the control's owner offers at the caret.
#pragma once

#include <string>
#include <string_view>
#include <vector>

namespace quillet {

struct TCompletionItem {
    std::string Name;   // as the list shows it
    std::string Insert; // written in place of the typed prefix when chosen
};

struct TCompletionList {
    int PrefixLength = 0; // bytes before the caret that a chosen item replaces
    std::vector<TCompletionItem> Items;
};

// Knows a language; the control asks it with the text before the caret (the last few
// thousand bytes, line breaks as the store keeps them).
class ICompletionProvider {
public:
    virtual ~ICompletionProvider() = default;
    virtual TCompletionList Complete(std::string_view before) = 0;
    // Whether the character just typed (the last of `before`) opens the list by itself.
    virtual bool OpensOn(std::string_view before) = 0;
};

} // namespace quillet
