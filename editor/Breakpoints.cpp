#include "editor/Breakpoints.h"

#include <algorithm>

namespace quillet {

namespace {
constexpr TCM_BreakpointLook lookEnabled{11, 0xFFFFFF, 0x0000FF};   // white on red
constexpr TCM_BreakpointLook lookDisabled{12, 0x00FFFF, 0x008000};  // yellow on green
constexpr TCM_BreakpointLook lookCodeBreak{12, 0xFFFFFF, 0x800000}; // white on navy
} // namespace

void TCM_BreakpointData::SetEnabled(bool value) {
    if (FEnabled == value) return;
    FEnabled = value;
    FOwner->Repaint();
    if (FOwner->OnStateChange) FOwner->OnStateChange(*FOwner, *this);
}

TCM_Breakpoints::~TCM_Breakpoints() = default;

void TCM_Breakpoints::Repaint() {
    if (OnRepaint) OnRepaint(*this);
}

void TCM_Breakpoints::Sort() {
    if (FSorted) return;
    std::stable_sort(FItems.begin(), FItems.end(),
                     [](const auto& a, const auto& b) { return a->FPosition < b->FPosition; });
    FSorted = true;
}

TCM_BreakpointData& TCM_Breakpoints::Add(int position) {
    FItems.push_back(std::make_unique<TCM_BreakpointData>(*this, position));
    FSorted = false;
    Repaint();
    return *FItems.back();
}

TCM_BreakpointData* TCM_Breakpoints::Find(int position) {
    Sort();
    auto at = std::lower_bound(FItems.begin(), FItems.end(), position,
                               [](const auto& item, int pos) { return item->FPosition < pos; });
    return at != FItems.end() && (*at)->FPosition == position ? at->get() : nullptr;
}

TCM_BreakpointData& TCM_Breakpoints::operator[](size_t i) {
    Sort();
    return *FItems.at(i);
}

void TCM_Breakpoints::Delete(TCM_BreakpointData& item) {
    auto it =
        std::find_if(FItems.begin(), FItems.end(), [&](const auto& p) { return p.get() == &item; });
    if (it == FItems.end()) return;
    std::unique_ptr<TCM_BreakpointData> owned = std::move(*it);
    FItems.erase(it);
    if (OnFree) OnFree(*this, *owned);
    Repaint();
}

void TCM_Breakpoints::Clear() {
    std::vector<std::unique_ptr<TCM_BreakpointData>> gone;
    gone.swap(FItems);
    for (auto& item : gone)
        if (OnFree) OnFree(*this, *item);
}

TCM_BreakpointLook TCM_Breakpoints::Look(const TCM_BreakpointData& item) const {
    return item.Enabled() ? lookEnabled : lookDisabled;
}

void TCM_Breakpoints::AdjustInsert(int position, int length) {
    for (auto& item : FItems)
        if (item->FPosition >= position) item->FPosition += length;
}

void TCM_Breakpoints::LineLost(TCM_BreakpointData& item) {
    Delete(item);
}

void TCM_Breakpoints::AdjustDelete(int position, std::string_view removed, bool reachesEnd) {
    const int length = int(removed.size());
    const int end = position + length;
    std::vector<TCM_BreakpointData*> lost;
    for (auto& item : FItems) {
        int p = item->FPosition;
        if (p < position) continue;
        if (p < end) {
            // Its line went when the line's end went too (or the text's end).
            bool lineEndGone = removed.find('\r', size_t(p - position)) != std::string_view::npos;
            if (lineEndGone || reachesEnd) {
                lost.push_back(item.get());
                continue;
            }
            // What is left of the line now starts at the deletion.
            item->FPosition = position;
        } else {
            item->FPosition = p - length;
        }
    }
    for (TCM_BreakpointData* item : lost)
        LineLost(*item);
}

TCM_CodeBreak::TCM_CodeBreak() {
    Add(0).SetEnabled(false);
}

void TCM_CodeBreak::SetPosition(int position) {
    MoveItem(Item(), position);
    Repaint();
}

void TCM_CodeBreak::Delete(TCM_BreakpointData& item) {
    if (&item == &Item()) item.SetEnabled(false);
}

void TCM_CodeBreak::Clear() {
    Item().SetEnabled(false);
}

TCM_BreakpointLook TCM_CodeBreak::Look(const TCM_BreakpointData&) const {
    return lookCodeBreak;
}

// The execution point stays with the list; losing its line only disables it.
void TCM_CodeBreak::LineLost(TCM_BreakpointData& item) {
    item.SetEnabled(false);
}

} // namespace quillet
