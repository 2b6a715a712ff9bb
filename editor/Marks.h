// Range marks: offset ranges kept in start order that follow the text through edits.
#pragma once

#include "editor/Units.h"

#include <cstdint>
#include <functional>
#include <memory>
#include <utility>
#include <vector>

namespace quillet {

struct TMark {
    TOffset Start;
    TOffset End;
    uint8_t Flags = 0; // 0 for marks the control makes
    int32_t Value = 0;
};

class TMarkList {
public:
    std::function<void(TMarkList& sender, TMark& mark)> OnMarkChange;
    // Raised before the mark is freed.
    std::function<void(TMarkList& sender, TMark& mark)> OnMarkFree;
    std::function<void(TMarkList& sender)> OnRepaint;

    TMarkList() = default;
    TMarkList(const TMarkList&) = delete;
    TMarkList& operator=(const TMarkList&) = delete;
    ~TMarkList();

    // A negative length marks the range before start.
    TMark& Add(TOffset start, int length, int32_t value = 0);
    // The first mark overlapping [offset, offset + length], both ends included.
    TMark* Find(TOffset offset, int length) const;
    void SetMarkStart(TMark& mark, TOffset offset);
    void SetMarkEnd(TMark& mark, TOffset offset);
    TOffset MarkStart(const TMark& mark) const { return mark.Start; }
    TOffset MarkEnd(const TMark& mark) const { return mark.End; }
    void Delete(TMark& mark);
    // Deletes every mark the test picks, in one pass (OnMarkFree for each, one repaint).
    void DeleteIf(const std::function<bool(const TMark&)>& pick);
    void Clear();

    void AdjustInsert(TOffset position, int length);
    void AdjustDelete(TOffset position, int length);

    size_t Count() const { return FMarks.size(); }
    TMark& operator[](size_t i) const { return *FMarks[i]; }
    // Indices [first, last) of the marks that may overlap [from, to): every one that does lies
    // among them, found by start order and the longest mark, not by a walk of the list.
    std::pair<size_t, size_t> Near(TOffset from, TOffset to) const;

private:
    void Place(std::unique_ptr<TMark> mark);
    std::unique_ptr<TMark> Take(TMark& mark);
    void Changed(TMark& mark);
    void Repaint();

    std::vector<std::unique_ptr<TMark>> FMarks; // by start offset
    int64_t FLongest = 0; // no mark is longer (marks only shrink behind its back)
};

} // namespace quillet
