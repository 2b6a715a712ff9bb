// Breakpoints and the code-break (execution point) marker: line offsets that follow edits.
#pragma once

#include "platform/Types.h"

#include <cstdint>
#include <functional>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

namespace quillet {

class TCM_Breakpoints;

// How a breakpoint line is drawn.
struct TCM_BreakpointLook {
    int Glyph = 0;
    TColor Foreground = 0;
    TColor Background = 0;
};

class TCM_BreakpointData {
public:
    int Position() const { return FPosition; } // offset of its line's first character
    bool Valid() const { return FValid; }
    void SetValid(bool value) { FValid = value; }
    bool Enabled() const { return FEnabled; }
    // Repaints the owner and reports the change.
    void SetEnabled(bool value);
    int UserNumber = 0;
    int32_t Value = 0;
    std::string Text;
    TCM_Breakpoints& Owner() const { return *FOwner; }

    // Items are made by their list's Add.
    TCM_BreakpointData(TCM_Breakpoints& owner, int position)
        : FOwner(&owner), FPosition(position) {}

private:
    friend class TCM_Breakpoints;

    TCM_Breakpoints* FOwner;
    int FPosition;
    bool FValid = true;
    bool FEnabled = true;
};

class TCM_Breakpoints {
public:
    using TEvent = std::function<void(TCM_Breakpoints& sender, TCM_BreakpointData& item)>;
    TEvent OnFree;        // raised before an item is freed
    TEvent OnStateChange; // its enabled flag changed
    std::function<void(TCM_Breakpoints& sender)> OnRepaint;

    TCM_Breakpoints() = default;
    TCM_Breakpoints(const TCM_Breakpoints&) = delete;
    TCM_Breakpoints& operator=(const TCM_Breakpoints&) = delete;
    virtual ~TCM_Breakpoints();

    TCM_BreakpointData& Add(int position);
    // The item on the line starting at this offset, or none.
    TCM_BreakpointData* Find(int position);
    virtual void Delete(TCM_BreakpointData& item);
    virtual void Clear();
    size_t Count() const { return FItems.size(); }
    // In position order.
    TCM_BreakpointData& operator[](size_t i);

    virtual TCM_BreakpointLook Look(const TCM_BreakpointData& item) const;

    void AdjustInsert(int position, int length);
    // removed: the deleted text; reachesEnd: the deletion ran to the end of
    // the text. An item whose whole line went with it is lost.
    void AdjustDelete(int position, std::string_view removed, bool reachesEnd);

protected:
    virtual void LineLost(TCM_BreakpointData& item);
    void Repaint();
    static void MoveItem(TCM_BreakpointData& item, int position) { item.FPosition = position; }
    std::vector<std::unique_ptr<TCM_BreakpointData>> FItems;

private:
    friend class TCM_BreakpointData;
    void Sort();
    bool FSorted = true;
};

// One item: the current execution point. It is disabled, never freed, when its line goes.
class TCM_CodeBreak : public TCM_Breakpoints {
public:
    TCM_CodeBreak();
    TCM_BreakpointData& Item() { return *FItems.front(); }
    void SetPosition(int position);
    TCM_BreakpointLook Look(const TCM_BreakpointData& item) const override;
    // The one item is never freed: these disable it.
    void Delete(TCM_BreakpointData& item) override;
    void Clear() override;

protected:
    void LineLost(TCM_BreakpointData& item) override;
};

} // namespace quillet
