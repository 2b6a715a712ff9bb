// A case-insensitive trie of words mapped to values, used for the script scanner's keywords and
// macros.
#pragma once

#include <cstddef>
#include <memory>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace quillet {

template <typename T> class TWordStore {
public:
    struct TMatch {
        std::size_t Length = 0;
        const T* Value = nullptr;
    };

    // Returns false (and keeps the old value) when the word is already stored.
    bool Add(std::string_view word, T value) {
        TNode* node = &FRoot;
        for (char c : word)
            node = node->Child(Lower(c), true);
        if (node->Value) return false;
        node->Value = std::move(value);
        ++FCount;
        return true;
    }

    // Adds the word or replaces its value.
    void Set(std::string_view word, T value) {
        TNode* node = &FRoot;
        for (char c : word)
            node = node->Child(Lower(c), true);
        if (!node->Value) ++FCount;
        node->Value = std::move(value);
    }

    // Exact, whole-word lookup.
    const T* Find(std::string_view word) const {
        const TNode* node = &FRoot;
        for (char c : word) {
            node = const_cast<TNode*>(node)->Child(Lower(c), false);
            if (!node) return nullptr;
        }
        return node->Value ? &*node->Value : nullptr;
    }

    // Longest stored word at the start of text. A word ending in a word character is refused
    // when the next input character is one too, so "name" does not match inside "names".
    TMatch Match(std::string_view text) const {
        TMatch best;
        const TNode* node = &FRoot;
        for (std::size_t i = 0; i < text.size(); ++i) {
            node = const_cast<TNode*>(node)->Child(Lower(text[i]), false);
            if (!node) break;
            if (node->Value) {
                const std::size_t len = i + 1;
                const bool glued =
                    IsWordChar(text[i]) && len < text.size() && IsWordChar(text[len]);
                if (!glued) best = {len, &*node->Value};
            }
        }
        return best;
    }

    std::size_t Count() const { return FCount; }
    void Clear() {
        FRoot = TNode();
        FCount = 0;
    }

    static bool IsWordChar(char c) {
        return (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') || (c >= '0' && c <= '9') ||
               c == '_';
    }

private:
    struct TNode {
        char Key = 0;
        std::optional<T> Value;
        std::vector<std::unique_ptr<TNode>> Children;

        TNode* Child(char c, bool create) {
            for (auto& child : Children)
                if (child->Key == c) return child.get();
            if (!create) return nullptr;
            Children.push_back(std::make_unique<TNode>());
            Children.back()->Key = c;
            return Children.back().get();
        }
    };

    static char Lower(char c) { return (c >= 'A' && c <= 'Z') ? static_cast<char>(c + 32) : c; }

    TNode FRoot;
    std::size_t FCount = 0;
};

} // namespace quillet
