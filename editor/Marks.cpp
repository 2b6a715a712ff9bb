#include "editor/Marks.h"

#include <algorithm>

namespace quillet {

TMarkList::~TMarkList() = default;

void TMarkList::Repaint() {
    if (OnRepaint) OnRepaint(*this);
}

void TMarkList::Changed(TMark& mark) {
    if (OnMarkChange) OnMarkChange(*this, mark);
}

// Before the first mark whose start is greater: equal starts keep their order.
void TMarkList::Place(std::unique_ptr<TMark> mark) {
    const TOffset start = mark->Start;
    FLongest = std::max<int64_t>(FLongest, mark->End - mark->Start);
    auto at =
        std::upper_bound(FMarks.begin(), FMarks.end(), start,
                         [](TOffset s, const std::unique_ptr<TMark>& m) { return s < m->Start; });
    FMarks.insert(at, std::move(mark));
}

std::unique_ptr<TMark> TMarkList::Take(TMark& mark) {
    auto it = std::find_if(FMarks.begin(), FMarks.end(),
                           [&](const std::unique_ptr<TMark>& m) { return m.get() == &mark; });
    if (it == FMarks.end()) return nullptr;
    std::unique_ptr<TMark> taken = std::move(*it);
    FMarks.erase(it);
    return taken;
}

TMark& TMarkList::Add(TOffset start, int length, int32_t value) {
    auto mark = std::make_unique<TMark>();
    mark->Start = std::min(start, start + length);
    mark->End = std::max(start, start + length);
    mark->Value = value;
    TMark& ref = *mark;
    Place(std::move(mark));
    Repaint();
    return ref;
}

TMark* TMarkList::Find(TOffset offset, int length) const {
    const TOffset lo = std::min(offset, offset + length), hi = std::max(offset, offset + length);
    for (const auto& m : FMarks) {
        if (m->Start > hi) break;
        if (m->End >= lo) return m.get();
    }
    return nullptr;
}

void TMarkList::SetMarkStart(TMark& mark, TOffset offset) {
    auto owned = Take(mark);
    if (!owned) return;
    const TOffset other = owned->End;
    owned->Start = std::min(offset, other);
    owned->End = std::max(offset, other);
    Place(std::move(owned));
    Repaint();
}

void TMarkList::SetMarkEnd(TMark& mark, TOffset offset) {
    auto owned = Take(mark);
    if (!owned) return;
    const TOffset other = owned->Start;
    owned->Start = std::min(offset, other);
    owned->End = std::max(offset, other);
    Place(std::move(owned));
    Repaint();
}

void TMarkList::Delete(TMark& mark) {
    auto owned = Take(mark);
    if (!owned) return;
    if (OnMarkFree) OnMarkFree(*this, *owned);
    Repaint();
}

void TMarkList::DeleteIf(const std::function<bool(const TMark&)>& pick) {
    std::vector<std::unique_ptr<TMark>> kept, gone;
    kept.reserve(FMarks.size());
    for (auto& m : FMarks)
        (pick(*m) ? gone : kept).push_back(std::move(m));
    FMarks.swap(kept);
    if (gone.empty()) return;
    for (auto& m : gone)
        if (OnMarkFree) OnMarkFree(*this, *m);
    Repaint();
}

std::pair<size_t, size_t> TMarkList::Near(TOffset from, TOffset to) const {
    auto startsBefore = [&](int64_t offset) {
        return size_t(std::lower_bound(FMarks.begin(), FMarks.end(), offset,
                                       [](const std::unique_ptr<TMark>& m, int64_t o) {
                                           return m->Start.Value() < o;
                                       }) -
                      FMarks.begin());
    };
    // A mark that starts more than the longest length before `from` ends before it.
    const size_t first = startsBefore(int64_t(from.Value()) - FLongest);
    return {first, std::max(first, startsBefore(to.Value()))};
}

void TMarkList::Clear() {
    FLongest = 0;
    std::vector<std::unique_ptr<TMark>> gone;
    gone.swap(FMarks);
    for (auto& m : gone)
        if (OnMarkFree) OnMarkFree(*this, *m);
}

void TMarkList::AdjustInsert(TOffset position, int length) {
    for (auto& m : FMarks) {
        if (m->Start >= position) {
            m->Start += length;
            m->End += length;
        } else if (m->End >= position) {
            m->End += length;
            FLongest = std::max<int64_t>(FLongest, m->End - m->Start);
        } else {
            continue;
        }
        Changed(*m);
    }
}

// A mark's ends inside the deleted range move to its start, so that no end
// points into text that is gone (or before the mark's other end).
void TMarkList::AdjustDelete(TOffset position, int length) {
    const TOffset end = position + length;
    std::vector<std::unique_ptr<TMark>> kept, gone;
    kept.reserve(FMarks.size());
    std::vector<TMark*> changed;
    for (auto& m : FMarks) {
        if (m->End < position || (m->End == position && m->Start < position)) {
            kept.push_back(std::move(m));
            continue;
        }
        if (m->Start < position) {
            m->End = m->End > end ? m->End - length : position;
        } else if (m->End > end) {
            m->Start = m->Start >= end ? m->Start - length : position;
            m->End -= length;
        } else {
            gone.push_back(std::move(m));
            continue;
        }
        changed.push_back(m.get());
        kept.push_back(std::move(m));
    }
    FMarks.swap(kept);
    for (TMark* m : changed)
        Changed(*m);
    for (auto& m : gone)
        if (OnMarkFree) OnMarkFree(*this, *m);
}

} // namespace quillet
