// The editor control's window messages: its programmatic interface.
#pragma once

#include <cstdint>

namespace quillet {

// A message's two parameters, as wide as a pointer.
using WPARAM = uintptr_t;
using LPARAM = intptr_t;
using LRESULT = intptr_t;

// A selection travels as (anchor, caret); anchor -1 with caret 0 is the whole text.
struct TSelectionPair {
    int32_t Anchor = 0;
    int32_t Caret = 0;
};

// Flags word of most private messages.
constexpr WPARAM smSET = 0x01;       // set a value (otherwise read it)
constexpr WPARAM smNOREPAINT = 0x02; // do not repaint

// Format bits for writing text (save to stream, get selected text).
constexpr WPARAM sfmCRLF = 0x01;
constexpr WPARAM sfmRTF = 0x02;
constexpr WPARAM sfmHTML = 0x04;
constexpr WPARAM sfmLF = 0x08;

enum TMessageId : uint32_t {
    // Framework and window messages (the platform's numbers).
    WM_NULL = 0x0000,
    WM_SIZE = 0x0005,
    WM_SETFOCUS = 0x0007,
    WM_KILLFOCUS = 0x0008,
    WM_ENABLE = 0x000A,
    WM_SETREDRAW = 0x000B,
    WM_SETTEXT = 0x000C,
    WM_GETTEXT = 0x000D,
    WM_GETTEXTLENGTH = 0x000E,
    WM_PAINT = 0x000F,
    WM_ERASEBKGND = 0x0014,
    WM_SETFONT = 0x0030,
    WM_GETDLGCODE = 0x0087,
    WM_KEYDOWN = 0x0100,
    WM_KEYUP = 0x0101,
    WM_CHAR = 0x0102, // wParam: one Unicode code point; the control stores its UTF-8 bytes
    WM_SYSKEYDOWN = 0x0104,
    WM_SYSKEYUP = 0x0105,
    WM_HSCROLL = 0x0114,
    WM_VSCROLL = 0x0115,
    WM_MOUSEMOVE = 0x0200,
    WM_LBUTTONDOWN = 0x0201,
    WM_LBUTTONUP = 0x0202,
    WM_LBUTTONDBLCLK = 0x0203,
    WM_RBUTTONDOWN = 0x0204,
    WM_RBUTTONUP = 0x0205,
    WM_MOUSEWHEEL = 0x020A,
    WM_DROPFILES = 0x0233,
    WM_CUT = 0x0300,
    WM_COPY = 0x0301,
    WM_PASTE = 0x0302,
    WM_CLEAR = 0x0303,
    WM_UNDO = 0x0304,
    CM_ENABLEDCHANGED = 0xB00B,
    CM_FONTCHANGED = 0xB00E,
    CM_CANPASTE = 0x0432,

    // Standard edit-control messages.
    EM_GETSEL = 0x00B0,
    EM_SETSEL = 0x00B1,
    EM_LINESCROLL = 0x00B6,
    EM_SCROLLCARET = 0x00B7,
    EM_GETMODIFY = 0x00B8,
    EM_GETLINECOUNT = 0x00BA,
    EM_LINEINDEX = 0x00BB,
    EM_LINELENGTH = 0x00C1,
    EM_REPLACESEL = 0x00C2,
    EM_GETLINE = 0x00C4,
    EM_CANUNDO = 0x00C6,
    EM_UNDO = 0x00C7,
    EM_LINEFROMCHAR = 0x00C9,
    EM_EMPTYUNDOBUFFER = 0x00CD,
    EM_GETFIRSTVISIBLELINE = 0x00CE,
    EM_POSFROMCHAR = 0x00D6,
    EM_CHARFROMPOS = 0x00D7,

    // The control's own messages.
    SM_SELECTION = 0x0C00,
    SM_OPTIONS = 0x0C01,
    SM_REPLACESEL = 0x0C02,
    SM_PAINTLOCK = 0x0C05,
    SM_LOADSTREAM = 0x0C06,
    SM_SAVESTREAM = 0x0C07,
    SM_MODIFIED = 0x0C08,
    SM_TOPLINE = 0x0C09,
    SM_LEFTCOLUMN = 0x0C0A,
    SM_FIND = 0x0C0B,
    SM_REPLACE = 0x0C0C,
    SM_GETSELTEXT = 0x0C0D,
    SM_CANREDO = 0x0C0E,
    SM_REDO = 0x0C0F,
    SM_INDENT = 0x0C10,
    SM_UNINDENT = 0x0C11,
    SM_REFRESH = 0x0C12,
    SM_SETATTRIBUTES = 0x0C13,
    SM_GETATTRIBUTES = 0x0C14,
    SM_UNDOSTACK = 0x0C15,
    SM_TEXTSTORE = 0x0C18,
    SM_CHANGEDLINE = 0x0C21,
    SM_IDENTIFY = 0x0C40,
};

// Scroll-bar request codes (low word of WM_HSCROLL / WM_VSCROLL's wParam).
enum TScrollCode : uint16_t {
    SB_LINEUP = 0,
    SB_LINEDOWN = 1,
    SB_PAGEUP = 2,
    SB_PAGEDOWN = 3,
    SB_THUMBPOSITION = 4,
    SB_THUMBTRACK = 5,
    SB_TOP = 6,
    SB_BOTTOM = 7,
    SB_ENDSCROLL = 8
};

// Mouse messages carry the client point in lParam (x low 16 bits, y high,
// both signed) and the key state in wParam.
constexpr WPARAM MK_LBUTTON = 0x01, MK_RBUTTON = 0x02, MK_SHIFT = 0x04, MK_CONTROL = 0x08,
                 MK_MBUTTON = 0x10, MK_ALT = 0x20;
constexpr LPARAM MakePointParam(int x, int y) {
    return LPARAM((uint32_t(uint16_t(int16_t(x)))) | (uint32_t(uint16_t(int16_t(y))) << 16));
}
constexpr int PointParamX(LPARAM p) {
    return int16_t(uint16_t(p & 0xFFFF));
}
constexpr int PointParamY(LPARAM p) {
    return int16_t(uint16_t((p >> 16) & 0xFFFF));
}

// Two 16-bit halves in one parameter (WM_SIZE, scroll and wheel messages).
constexpr LPARAM MakeLong(int lo, int hi) {
    return LPARAM(uint32_t(uint16_t(lo)) | (uint32_t(uint16_t(hi)) << 16));
}
constexpr int LoWord(intptr_t v) {
    return int(uint16_t(uintptr_t(v) & 0xFFFF));
}
constexpr int HiWord(intptr_t v) {
    return int(uint16_t((uintptr_t(v) >> 16) & 0xFFFF));
}

// Dialog codes answered to WM_GETDLGCODE.
constexpr LRESULT DLGC_WANTARROWS = 0x01, DLGC_WANTTAB = 0x02, DLGC_WANTCHARS = 0x80;

} // namespace quillet
