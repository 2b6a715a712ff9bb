// Everything in a store that follows the text through edits, kept in step in one place.
#pragma once

#include "editor/Bookmarks.h"
#include "editor/Breakpoints.h"
#include "editor/Marks.h"

#include <memory>
#include <string_view>

namespace quillet {

class TLineTracker {
public:
    TNumberedBookmarks Numbered;
    TCustomBookmarks Named;
    TCM_Breakpoints Breakpoints;
    TCM_CodeBreak CodeBreak;

    // Raised when the mark list is made, so its owner can wire its events.
    std::function<void(TMarkList& marks)> OnMarksCreated;

    // The mark list is made on first use.
    TMarkList& Marks();
    bool HasMarks() const { return FMarks != nullptr; }

    // After the store took in `length` characters at `position`.
    void TextInserted(TOffset position, int length);
    // After the store removed `removed` from `position`; textLength is the
    // character count afterwards.
    void TextDeleted(TOffset position, std::string_view removed, int textLength);

private:
    std::unique_ptr<TMarkList> FMarks;
};

} // namespace quillet
