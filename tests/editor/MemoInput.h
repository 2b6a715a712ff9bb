// What editor tests do to a control on a headless window: keys with their modifiers held, and
// the text as the store holds it.
#pragma once

#include "editor/CodeMemo.h"
#include "platform/VirtualKeys.h"
#include "platform/headless/HeadlessWindowHost.h"

#include <string>

namespace quillet {

// A key-down with Ctrl and Shift held as asked, released afterwards.
inline void PressKey(THeadlessWindowHost& host, TCodeMemo& memo, int vk, bool ctrl = false,
                     bool shift = false) {
    host.SetKeyDown(VK_CONTROL, ctrl);
    host.SetKeyDown(VK_SHIFT, shift);
    memo.Perform(WM_KEYDOWN, WPARAM(vk), 0);
    host.SetKeyDown(VK_CONTROL, false);
    host.SetKeyDown(VK_SHIFT, false);
}

// The text with the store's own line breaks.
inline std::string StoredText(TCodeMemo& memo) {
    return memo.Store().StoredText(TOffset(0), TOffset(memo.Store().CharCount()));
}

} // namespace quillet
