#include "editor/LineTrack.h"

namespace quillet {

TMarkList& TLineTracker::Marks() {
    if (!FMarks) {
        FMarks = std::make_unique<TMarkList>();
        if (OnMarksCreated) OnMarksCreated(*FMarks);
    }
    return *FMarks;
}

void TLineTracker::TextInserted(TOffset at, int length) {
    const int position = at.Value();
    if (length <= 0) return;
    Named.AdjustInsert(at, length);
    if (FMarks) FMarks->AdjustInsert(at, length);
    Breakpoints.AdjustInsert(position, length);
    CodeBreak.AdjustInsert(position, length);
}

void TLineTracker::TextDeleted(TOffset at, std::string_view removed, int textLength) {
    const int position = at.Value();
    if (removed.empty()) return;
    const int length = int(removed.size());
    const bool reachesEnd = position >= textLength;
    Named.AdjustDelete(at, length);
    if (FMarks) FMarks->AdjustDelete(at, length);
    Breakpoints.AdjustDelete(position, removed, reachesEnd);
    CodeBreak.AdjustDelete(position, removed, reachesEnd);
}

} // namespace quillet
