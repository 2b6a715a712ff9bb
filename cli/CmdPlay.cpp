// quillet-tool play: drives one editor control on the headless platform from a script.
#include "cli/CmdTokens.h"
#include "cli/Commands.h"
#include "cli/CssProvider.h"
#include "cli/Player.h"
#include "css/Colors.h"
#include "editor/CodeMemo.h"
#include "editor/CodeMemoStrings.h"
#include "editor/CodeMemoView.h"
#include "editor/LineTrack.h"
#include "highlight/AutoReplaceExpansion.h"
#include "highlight/Settings.h"
#include "platform/Files.h"
#include "platform/Platform.h"
#include "platform/VirtualKeys.h"
#include "platform/headless/HeadlessFonts.h"
#include "platform/headless/HeadlessWindowHost.h"
#include "platform/headless/RecordingPrinter.h"
#include "platform/headless/ScriptedDialogs.h"
#include "resources/Strings.h"

#include <algorithm>
#include <array>
#include <cctype>
#include <cerrno>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <functional>
#include <iostream>
#include <map>
#include <memory>
#include <sstream>

namespace quillet::cli {

namespace {

std::string Lower(std::string s) {
    for (char& c : s)
        c = char(std::tolower(static_cast<unsigned char>(c)));
    return s;
}

// The output form of a text: CR, TAB, backslash and quote escaped, other control bytes as \xHH.
std::string Quote(std::string_view s) {
    static const char* hex = "0123456789ABCDEF";
    std::string out = "\"";
    for (char ch : s) {
        auto c = static_cast<unsigned char>(ch);
        if (c == '\r')
            out += "\\r";
        else if (c == '\t')
            out += "\\t";
        else if (c == '\\')
            out += "\\\\";
        else if (c == '"')
            out += "\\\"";
        else if (c < 32 || c == 127) {
            out += "\\x";
            out += hex[c >> 4];
            out += hex[c & 15];
        } else
            out += ch;
    }
    return out + "\"";
}

int HexDigit(char c) {
    if (c >= '0' && c <= '9') return c - '0';
    c = char(std::tolower(static_cast<unsigned char>(c)));
    if (c >= 'a' && c <= 'f') return c - 'a' + 10;
    return -1;
}

// Escapes shared by typed text and quoted arguments: \n \r \t \\ \" \xHH.
std::string Unescape(std::string_view s) {
    std::string out;
    for (size_t i = 0; i < s.size(); ++i) {
        if (s[i] != '\\' || i + 1 >= s.size()) {
            out += s[i];
            continue;
        }
        char e = s[++i];
        switch (e) {
        case 'n':
            out += '\n';
            break;
        case 'r':
            out += '\r';
            break;
        case 't':
            out += '\t';
            break;
        case '\\':
            out += '\\';
            break;
        case '"':
            out += '"';
            break;
        case 'x':
            if (i + 2 < s.size() + 0 && HexDigit(s[i + 1]) >= 0 && HexDigit(s[i + 2]) >= 0) {
                out += char(HexDigit(s[i + 1]) * 16 + HexDigit(s[i + 2]));
                i += 2;
            } else {
                out += "\\x";
            }
            break;
        default:
            out += '\\';
            out += e;
        }
    }
    return out;
}

// Splits arguments at blanks; "..." is one argument (quotes kept, to tell text from numbers).
std::vector<std::string> SplitArgs(std::string_view s) {
    std::vector<std::string> args;
    size_t i = 0;
    while (i < s.size()) {
        while (i < s.size() && s[i] == ' ')
            ++i;
        if (i >= s.size()) break;
        size_t start = i;
        if (s[i] == '"') {
            ++i;
            while (i < s.size() && s[i] != '"') {
                if (s[i] == '\\') ++i;
                ++i;
            }
            if (i >= s.size())
                throw EQuilletError(FmtLoadStr(SPlayBadQuote, std::string(s.substr(start))));
            ++i;
        } else {
            while (i < s.size() && s[i] != ' ')
                ++i;
        }
        args.emplace_back(s.substr(start, i - start));
    }
    return args;
}

bool IsQuoted(const std::string& a) {
    return a.size() >= 2 && a.front() == '"' && a.back() == '"';
}

std::string TextArg(const std::string& a) {
    return IsQuoted(a) ? Unescape(std::string_view(a).substr(1, a.size() - 2)) : Unescape(a);
}

long long NumberArg(const std::string& a) {
    try {
        size_t used = 0;
        long long v = std::stoll(a, &used, 0);
        if (used == a.size()) return v;
    } catch (const std::exception&) {
    }
    throw EQuilletError(FmtLoadStr(SPlayBadNumber, a));
}

std::vector<char32_t> CodePoints(std::string_view s) {
    std::vector<char32_t> out;
    for (size_t i = 0; i < s.size();) {
        auto b = static_cast<unsigned char>(s[i]);
        int n = b < 0x80 ? 1 : (b >> 5) == 6 ? 2 : (b >> 4) == 14 ? 3 : (b >> 3) == 30 ? 4 : 1;
        if (i + size_t(n) > s.size()) n = 1;
        char32_t cp = n == 1 ? b : n == 2 ? (b & 0x1F) : n == 3 ? (b & 0x0F) : (b & 0x07);
        for (int k = 1; k < n; ++k)
            cp = (cp << 6) | (static_cast<unsigned char>(s[i + size_t(k)]) & 0x3F);
        out.push_back(cp);
        i += size_t(n);
    }
    return out;
}

const std::map<std::string, int>& KeyNames() {
    static const std::map<std::string, int> names = [] {
        std::map<std::string, int> m = {
            {"backspace", VK_BACK}, {"delete", VK_DELETE}, {"del", VK_DELETE},
            {"down", VK_DOWN},      {"end", VK_END},       {"home", VK_HOME},
            {"insert", VK_INSERT},  {"ins", VK_INSERT},    {"left", VK_LEFT},
            {"pagedown", VK_NEXT},  {"pgdn", VK_NEXT},     {"pageup", VK_PRIOR},
            {"pgup", VK_PRIOR},     {"return", VK_RETURN}, {"enter", VK_RETURN},
            {"right", VK_RIGHT},    {"space", VK_SPACE},   {"up", VK_UP},
            {"tab", VK_TAB},        {"escape", VK_ESCAPE}, {"esc", VK_ESCAPE}};
        for (int i = 1; i <= 12; ++i)
            m["f" + std::to_string(i)] = VK_F1 + i - 1;
        return m;
    }();
    return names;
}

const std::map<std::string, uint32_t>& MessageNames() {
    static const std::map<std::string, uint32_t> names = {
#define M(x) {#x, x}
        M(SM_SELECTION),
        M(SM_OPTIONS),
        M(SM_REPLACESEL),
        M(SM_PAINTLOCK),
        M(SM_LOADSTREAM),
        M(SM_SAVESTREAM),
        M(SM_MODIFIED),
        M(SM_TOPLINE),
        M(SM_LEFTCOLUMN),
        M(SM_FIND),
        M(SM_REPLACE),
        M(SM_GETSELTEXT),
        M(SM_CANREDO),
        M(SM_REDO),
        M(SM_INDENT),
        M(SM_UNINDENT),
        M(SM_REFRESH),
        M(SM_SETATTRIBUTES),
        M(SM_GETATTRIBUTES),
        M(SM_CHANGEDLINE),
        M(SM_IDENTIFY),
        M(EM_GETSEL),
        M(EM_SETSEL),
        M(EM_LINESCROLL),
        M(EM_SCROLLCARET),
        M(EM_GETMODIFY),
        M(EM_GETLINECOUNT),
        M(EM_LINEINDEX),
        M(EM_LINELENGTH),
        M(EM_REPLACESEL),
        M(EM_GETLINE),
        M(EM_CANUNDO),
        M(EM_UNDO),
        M(EM_LINEFROMCHAR),
        M(EM_EMPTYUNDOBUFFER),
        M(EM_GETFIRSTVISIBLELINE),
        M(EM_POSFROMCHAR),
        M(EM_CHARFROMPOS),
        M(WM_SETTEXT),
        M(WM_GETTEXT),
        M(WM_GETTEXTLENGTH),
        M(WM_SETREDRAW),
        M(WM_GETDLGCODE),
        M(WM_VSCROLL),
        M(WM_HSCROLL),
        M(WM_CUT),
        M(WM_COPY),
        M(WM_PASTE),
        M(WM_CLEAR),
        M(WM_UNDO),
        M(CM_CANPASTE),
        M(WM_SETFOCUS),
        M(WM_KILLFOCUS),
        M(WM_ERASEBKGND),
#undef M
    };
    return names;
}

// A script is a text of short lines (`repeat` makes long documents): a longer line or script
// is no script, and is refused before it fills the memory.
constexpr size_t MaxScriptLine = size_t(1) << 20;
constexpr int64_t MaxScriptSize = MaxInputSize;

bool ReadScriptLine(std::istream& in, std::string& line, int number, int64_t& total) {
    line.clear();
    std::streambuf* buf = in.rdbuf();
    for (;;) {
        const int c = buf->sbumpc();
        if (c == std::char_traits<char>::eof()) return !line.empty();
        if (++total > MaxScriptSize)
            throw EQuilletError(FmtLoadStr(SPlayScriptTooLong, MaxScriptSize));
        if (c == '\n') return true;
        if (line.size() >= MaxScriptLine)
            throw EQuilletError(FmtLoadStr(SPlayLineTooLong, number, MaxScriptLine));
        line += char(c);
    }
}

class TPlayer : public IPlayer {
public:
    TPlayer(int width, int height, std::unique_ptr<TCodeMemoParser> definition, std::ostream& out)
        : FDef(std::move(definition)), FHost(width, height), FMemo(&FHost), FOut(out) {
        if (FDef) {
            FMemo.SetParser(1, FDef.get());
            FMemo.SetActiveParser(1);
        }
        auto printer = std::make_unique<TRecordingPrinter>(800, 600, 10, 20);
        printer->SetStamp("31.12.2025", "23:59");
        FPrinter = printer.get();
        TPlatformServices services;
        services.Printer = std::move(printer);
        InstallPlatform(std::move(services));
        FHost.SetFocused(true);
        FMemo.Perform(WM_SETFOCUS, 0, 0);
        // Events a mouse script can raise are echoed where they happen.
        FMemo.OnGutterClick = [this](TCustomCodeMemo&, int line) {
            FOut << "event: gutter " << line << "\n";
        };
        FMemo.OnHyperlinkClick = [this](TCustomCodeMemo&, const std::string& data, int type) {
            FOut << "event: hyperlink " << type << " " << Quote(data) << "\n";
        };
        FMemo.OnHyperlinkHover = [this](TCustomCodeMemo&) { FOut << "event: hover\n"; };
        Paint();
    }

    TCodeMemo& Memo() override { return FMemo; }

    void Run(std::istream& script) override {
        std::string line;
        int64_t total = 0;
        for (int number = 1; ReadScriptLine(script, line, number, total); ++number) {
            if (!line.empty() && line.back() == '\r') line.pop_back();
            size_t first = line.find_first_not_of(' ');
            if (first == std::string::npos || line[first] == '#') continue;
            try {
                Action(line.substr(first));
            } catch (const EQuilletError& e) {
                FOut << "error: " << OneLine(e.what()) << "\n";
            } catch (const std::bad_alloc&) {
                FOut << "error: " << LoadStr(SOutOfMemory) << "\n";
            }
            Paint();
        }
    }

private:
    void Paint() { FMemo.Perform(WM_PAINT, 0, 0); }

    // 0xRRGGBB as written in style sheets to a TColor (red in the low byte) and back.
    static TColor CssToColor(uint32_t rgb) {
        return TColor((rgb >> 16 & 0xFF) | (rgb & 0xFF00) | (rgb & 0xFF) << 16);
    }

    // Colour swatches of the style sheet's colours; a click echoes the dialog's start and the
    // text written back.
    void Swatches() {
        FMemo.OnRowSwatches = [](TCustomCodeMemo&, std::string_view row,
                                 std::vector<TSwatch>& out) {
            for (const css::TColorLiteral& c : css::FindColors(row))
                out.push_back({c.Start, c.Length, CssToColor(c.Rgb)});
        };
        FMemo.OnSwatchColor = [this](TCustomCodeMemo&, std::string_view piece, TColor chosen) {
            std::string text = css::ReplaceColor(piece, CssToColor(chosen));
            auto* dialogs = dynamic_cast<TScriptedDialogs*>(Platform().Dialogs.get());
            if (dialogs && !dialogs->Calls().empty())
                FOut << "event: colour dialog from " << Hex(dialogs->Calls().back().Color) << "\n";
            FOut << "event: swatch " << Quote(std::string(piece)) << " -> " << Quote(text) << "\n";
            return text;
        };
        FMemo.View().InvalidateAll();
    }

    void Action(const std::string& line) {
        size_t blank = line.find(' ');
        std::string name = Lower(line.substr(0, blank));
        std::string rest = blank == std::string::npos ? std::string() : line.substr(blank + 1);
        if (name == "type") return Type(Unescape(rest));
        std::vector<std::string> args = SplitArgs(rest);
        if (name == "key") {
            if (args.empty()) throw EQuilletError(FmtLoadStr(SPlayMissingArgument, name));
            for (const auto& combo : args)
                Key(combo);
        } else if (name == "click" || name == "dblclick" || name == "tripleclick") {
            Need(args, 2, name);
            Click(int(NumberArg(args[0])), int(NumberArg(args[1])), args,
                  name == "click"      ? 1
                  : name == "dblclick" ? 2
                                       : 3);
        } else if (name == "drag") {
            Need(args, 4, name);
            Drag(args);
        } else if (name == "move") {
            Need(args, 2, name);
            int x = int(NumberArg(args[0])), y = int(NumberArg(args[1]));
            FHost.SetMousePos({x, y});
            FMemo.Perform(WM_MOUSEMOVE, 0, MakePointParam(x, y));
        } else if (name == "repeat") {
            // The whole text becomes N copies of a piece: long documents without long scripts.
            Need(args, 2, name);
            long long n = NumberArg(args[0]);
            if (n < 0 || n > 10000000)
                throw EQuilletError(FmtLoadStr(SPlayBadValue, name, args[0]));
            size_t at = rest.find(' ', rest.find_first_not_of(' '));
            std::string piece = Unescape(rest.substr(at + 1));
            std::string text;
            text.reserve(piece.size() * size_t(n));
            for (long long i = 0; i < n; ++i)
                text += piece;
            FMemo.SetText(text);
        } else if (name == "msg") {
            Need(args, 1, name);
            Message(args);
        } else if (name == "set") {
            Need(args, 1, name);
            size_t at = rest.find_first_not_of(' ');
            size_t valueAt = rest.find(' ', at);
            std::string value =
                valueAt == std::string::npos ? std::string() : rest.substr(valueAt + 1);
            SetProperty(args[0], value);
        } else if (name == "get") {
            Need(args, 1, name);
            std::string value = GetProperty(args[0]);
            FOut << args[0] << ": " << value << "\n";
        } else if (name == "clip") {
            Clip(args, rest);
        } else if (name == "load") {
            Need(args, 1, name);
            FMemo.LoadFromFile(TextArg(args[0]));
        } else if (name == "save") {
            Need(args, 1, name);
            FMemo.SaveToFile(TextArg(args[0]));
        } else if (name == "autoreplace" || name == "template") {
            AddExpansion(name, args);
        } else if (name == "mark") {
            // mark START LENGTH: a range mark that follows the text through edits.
            Need(args, 2, name);
            FMemo.LineTracker().Marks().Add(TOffset(int(NumberArg(args[0]))),
                                            int(NumberArg(args[1])));
        } else if (name == "marks") {
            FOut << "marks:";
            if (FMemo.LineTracker().HasMarks()) {
                TMarkList& marks = FMemo.LineTracker().Marks();
                for (size_t i = 0; i < marks.Count(); ++i)
                    FOut << " " << marks[i].Start << "-" << marks[i].End;
            }
            FOut << "\n";
        } else if (name == "popup") {
            Popup();
        } else if (name == "swatches") {
            Swatches();
        } else if (name == "colour") {
            // The colour dialog's next answer: RRGGBB or cancel.
            auto* dialogs = dynamic_cast<TScriptedDialogs*>(Platform().Dialogs.get());
            if (!dialogs) return;
            if (Lower(rest) == "cancel")
                dialogs->QueueColor(std::nullopt);
            else
                dialogs->QueueColor(CssToColor(uint32_t(std::strtoul(rest.c_str(), nullptr, 16))));
        } else if (name == "print") {
            Print();
        } else if (name == "printsel") {
            PrintSelection(args);
        } else if (name == "printed") {
            WritePages();
        } else if (name == "headerfooter") {
            Need(args, 1, name);
            HeaderFooter(args);
        } else if (name == "attrs") {
            Need(args, 1, name);
            Attrs(int(NumberArg(args[0])));
        } else {
            throw EQuilletError(FmtLoadStr(SPlayUnknownAction, name));
        }
    }

    static void Need(const std::vector<std::string>& args, size_t n, const std::string& name) {
        if (args.size() < n) throw EQuilletError(FmtLoadStr(SPlayMissingArgument, name));
    }

    void Modifiers(TShiftState shift, bool down) {
        if (shift & ssShift) FHost.SetKeyDown(VK_SHIFT, down);
        if (shift & ssCtrl) FHost.SetKeyDown(VK_CONTROL, down);
        if (shift & ssAlt) FHost.SetKeyDown(VK_MENU, down);
    }

    void Type(const std::string& text) {
        for (char32_t cp : CodePoints(text)) {
            if (cp == '\n') cp = '\r';
            std::optional<TKeyStroke> stroke;
            if (cp == '\r')
                stroke = TKeyStroke{VK_RETURN, 0};
            else if (cp == '\t')
                stroke = TKeyStroke{VK_TAB, 0};
            else if (Platform().Keyboard)
                stroke = Platform().Keyboard->KeyForChar(cp);
            if (stroke) {
                Modifiers(stroke->Shift, true);
                FMemo.Perform(WM_KEYDOWN, WPARAM(stroke->VirtualKey), 0);
            }
            FMemo.Perform(WM_CHAR, WPARAM(cp), 0);
            if (stroke) {
                FMemo.Perform(WM_KEYUP, WPARAM(stroke->VirtualKey), 0);
                Modifiers(stroke->Shift, false);
            }
        }
    }

    void Key(const std::string& combo) {
        TShiftState shift = 0;
        std::string keyName;
        size_t start = 0;
        while (true) {
            size_t plus = combo.find('+', start);
            // A lone "+" (or a trailing one) is the key itself.
            if (plus == std::string::npos || plus + 1 == combo.size()) {
                keyName = combo.substr(start);
                break;
            }
            std::string mod = Lower(combo.substr(start, plus - start));
            if (mod == "shift")
                shift |= ssShift;
            else if (mod == "ctrl" || mod == "control")
                shift |= ssCtrl;
            else if (mod == "alt")
                shift |= ssAlt;
            else
                throw EQuilletError(FmtLoadStr(SPlayUnknownKey, combo));
            start = plus + 1;
        }
        int vk = 0;
        std::string lower = Lower(keyName);
        auto it = KeyNames().find(lower);
        if (it != KeyNames().end()) {
            vk = it->second;
        } else if (keyName.size() == 1 && std::isalnum(static_cast<unsigned char>(keyName[0]))) {
            vk = std::toupper(static_cast<unsigned char>(keyName[0]));
        } else if (keyName.size() == 1 && Platform().Keyboard) {
            auto stroke = Platform().Keyboard->KeyForChar(char32_t(keyName[0]));
            if (!stroke) throw EQuilletError(FmtLoadStr(SPlayUnknownKey, combo));
            vk = stroke->VirtualKey;
            shift |= stroke->Shift;
        } else {
            throw EQuilletError(FmtLoadStr(SPlayUnknownKey, combo));
        }
        Modifiers(shift, true);
        LRESULT taken = FMemo.Perform(WM_KEYDOWN, WPARAM(vk), 0);
        if (!taken && !(shift & (ssCtrl | ssAlt)) && Platform().Keyboard) {
            char32_t ch = Platform().Keyboard->CharForKey({vk, TShiftState(shift & ssShift)});
            if (ch) FMemo.Perform(WM_CHAR, WPARAM(ch), 0);
        }
        FMemo.Perform(WM_KEYUP, WPARAM(vk), 0);
        Modifiers(shift, false);
    }

    // click X Y [shift] [ctrl] [alt] [quick]: "quick" follows the last click within the
    // double-click time, so it counts on from it.
    void Click(int x, int y, const std::vector<std::string>& args, int clicks) {
        TShiftState shift = 0;
        bool quick = false;
        for (size_t i = 2; i < args.size(); ++i) {
            std::string m = Lower(args[i]);
            if (m == "quick")
                quick = true;
            else if (m == "shift")
                shift |= ssShift;
            else if (m == "ctrl")
                shift |= ssCtrl;
            else if (m == "alt")
                shift |= ssAlt;
            else
                throw EQuilletError(FmtLoadStr(SPlayBadValue, "click", args[i]));
        }
        WPARAM keys =
            MK_LBUTTON | ((shift & ssShift) ? MK_SHIFT : 0) | ((shift & ssCtrl) ? MK_CONTROL : 0);
        LPARAM at = MakePointParam(x, y);
        Modifiers(shift, true);
        FHost.AdvanceTicks(quick ? 10 : FHost.DoubleClickTime() + 1);
        // The mouse arrives before it is pressed, as a real one does.
        FHost.SetMousePos({x, y});
        FMemo.Perform(WM_MOUSEMOVE, keys & ~MK_LBUTTON, at);
        for (int i = 0; i < clicks; ++i) {
            if (i > 0) FHost.AdvanceTicks(10);
            FMemo.Perform(WM_LBUTTONDOWN, keys, at);
            if (i == 1) FMemo.Perform(WM_LBUTTONDBLCLK, keys, at);
            FMemo.Perform(WM_LBUTTONUP, keys & ~MK_LBUTTON, at);
        }
        Modifiers(shift, false);
    }

    // drag X1 Y1 X2 Y2 [PUMPS]: press, move, release; with PUMPS the button stays down at the
    // target for that many turns of the event loop, so scrolling outside the text goes on.
    void Drag(const std::vector<std::string>& args) {
        TPoint a{int(NumberArg(args[0])), int(NumberArg(args[1]))};
        TPoint b{int(NumberArg(args[2])), int(NumberArg(args[3]))};
        long long pumps = args.size() > 4 ? NumberArg(args[4]) : 0;
        if (pumps < 0 || pumps > 100000)
            throw EQuilletError(FmtLoadStr(SPlayBadValue, "drag", args[4]));
        FHost.AdvanceTicks(FHost.DoubleClickTime() + 1);
        FHost.SetMousePos(a);
        FMemo.Perform(WM_MOUSEMOVE, 0, MakePointParam(a.X, a.Y));
        FMemo.Perform(WM_LBUTTONDOWN, MK_LBUTTON, MakePointParam(a.X, a.Y));
        FHost.SetMousePos(b);
        FHost.HoldKey(VK_LBUTTON, int(pumps));
        FMemo.Perform(WM_MOUSEMOVE, MK_LBUTTON, MakePointParam(b.X, b.Y));
        FHost.SetKeyDown(VK_LBUTTON, false);
        FMemo.Perform(WM_LBUTTONUP, 0, MakePointParam(b.X, b.Y));
    }

    void Message(const std::vector<std::string>& args) {
        auto it = MessageNames().find(args[0]);
        if (it == MessageNames().end())
            throw EQuilletError(FmtLoadStr(SPlayUnknownMessage, args[0]));
        uint32_t msg = it->second;
        std::vector<std::string> strings; // keeps quoted arguments alive for the call
        strings.reserve(args.size());
        // These messages take a text in their second parameter: only a quoted string may be
        // passed there, and a quoted string nowhere else (a number is never a pointer).
        const bool takesText =
            msg == WM_SETTEXT || msg == EM_REPLACESEL || msg == SM_REPLACESEL || msg == SM_FIND;
        auto param = [&](size_t i) -> intptr_t {
            if (i >= args.size()) return 0;
            if (takesText && i == 2) {
                if (!IsQuoted(args[i]))
                    throw EQuilletError(FmtLoadStr(SPlayTextExpected, args[0], args[i]));
                strings.push_back(TextArg(args[i]));
                return intptr_t(strings.back().c_str());
            }
            return intptr_t(NumberArg(args[i]));
        };
        std::string buffer(1 << 16, '\0');
        std::vector<std::string> extra;
        LRESULT result = 0;
        switch (msg) {
        case SM_SELECTION: {
            WPARAM flags = WPARAM(param(1));
            TSelectionPair p{int32_t(param(2)), int32_t(param(3))};
            result = FMemo.Perform(msg, flags, LPARAM(&p));
            if (!(flags & smSET))
                extra.push_back("sel: " + std::to_string(p.Anchor) + " " + std::to_string(p.Caret));
            break;
        }
        case EM_GETSEL: {
            int32_t a = 0, c = 0;
            result = FMemo.Perform(msg, WPARAM(&a), LPARAM(&c));
            extra.push_back("sel: " + std::to_string(a) + " " + std::to_string(c));
            break;
        }
        case EM_POSFROMCHAR: {
            TPoint p;
            result = FMemo.Perform(msg, WPARAM(&p), param(1));
            extra.push_back("point: " + std::to_string(p.X) + " " + std::to_string(p.Y));
            break;
        }
        case EM_CHARFROMPOS:
            result = FMemo.Perform(msg, 0, MakePointParam(int(param(1)), int(param(2))));
            break;
        case EM_GETLINE: {
            uint16_t size = uint16_t(std::min<size_t>(buffer.size() - 1, 0xFFFF));
            std::memcpy(buffer.data(), &size, sizeof size);
            result = FMemo.Perform(msg, WPARAM(param(1)), LPARAM(buffer.data()));
            extra.push_back("text: " + Quote(std::string_view(buffer.data(), size_t(result))));
            break;
        }
        case SM_GETSELTEXT:
        case WM_GETTEXT: {
            WPARAM w = msg == WM_GETTEXT ? WPARAM(param(1)) : WPARAM(param(1));
            if (msg == WM_GETTEXT)
                w = std::min<WPARAM>(w, buffer.size());
            else
                buffer.resize(size_t(FMemo.Perform(SM_GETSELTEXT, w, 0)) + 1);
            result = FMemo.Perform(msg, w, LPARAM(buffer.data()));
            extra.push_back("text: " + Quote(std::string_view(buffer.data(), size_t(result))));
            break;
        }
        case SM_IDENTIFY:
            result = FMemo.Perform(msg, 0, 0);
            extra.push_back("text: " + Quote(reinterpret_cast<const char*>(result)));
            result = 1;
            break;
        case SM_LOADSTREAM: {
            std::string text = args.size() > 2 ? TextArg(args[2]) : std::string();
            TReadOnlyMemoryStream stream(text.data(), int64_t(text.size()));
            result = FMemo.Perform(msg, WPARAM(param(1)), LPARAM(&stream));
            break;
        }
        case SM_SAVESTREAM: {
            TMemoryStream stream;
            result = FMemo.Perform(msg, WPARAM(param(1)), LPARAM(&stream));
            extra.push_back("text: " + Quote(stream.AsString()));
            break;
        }
        case SM_SETATTRIBUTES:
        case SM_GETATTRIBUTES: {
            int range[2] = {int(param(1)), int(param(2))};
            bool all = args.size() < 3;
            std::vector<uint8_t> bytes(size_t(FMemo.Store().CharCount()) + 1, 0);
            for (size_t i = 3; i < args.size() && i - 3 < bytes.size(); ++i)
                bytes[i - 3] = uint8_t(NumberArg(args[i]));
            result = FMemo.Perform(msg, all ? 0 : WPARAM(range), LPARAM(bytes.data()));
            if (msg == SM_GETATTRIBUTES) {
                std::string list = "attrs:";
                for (LRESULT i = 0; i < result; ++i)
                    list += " " + std::to_string(bytes[size_t(i)]);
                extra.push_back(list);
            }
            break;
        }
        case WM_VSCROLL:
        case WM_HSCROLL:
            result = FMemo.Perform(msg, WPARAM(MakeLong(int(param(1)), int(param(2)))), 0);
            break;
        default:
            result = FMemo.Perform(msg, WPARAM(param(1)), param(2));
        }
        FOut << "result: " << result << "\n";
        for (const auto& e : extra)
            FOut << e << "\n";
    }

    static bool BoolValue(const std::string& name, const std::string& v) {
        std::string l = Lower(v);
        if (l == "1" || l == "true") return true;
        if (l == "0" || l == "false") return false;
        throw EQuilletError(FmtLoadStr(SPlayBadValue, name, v));
    }

    int IntValue(const std::string& name, const std::string& v) {
        try {
            return int(NumberArg(v));
        } catch (const EQuilletError&) {
            throw EQuilletError(FmtLoadStr(SPlayBadValue, name, v));
        }
    }

    TCodeMemoOptions OptionsValue(const std::string& v) {
        if (v.starts_with("0x") || v.starts_with("0X") ||
            (!v.empty() && std::isdigit(static_cast<unsigned char>(v[0]))))
            return TCodeMemoOptions(IntValue("Options", v));
        TCodeMemoOptions word = 0;
        std::string name;
        std::istringstream in(v);
        while (std::getline(in, name, ' ')) {
            name.erase(std::remove(name.begin(), name.end(), ','), name.end());
            if (name.empty()) continue;
            auto it = std::find_if(
                CodeMemoOptionNames.begin(), CodeMemoOptionNames.end(),
                [&](const TCodeMemoOptionName& o) { return Lower(o.Name) == Lower(name); });
            if (it == CodeMemoOptionNames.end())
                throw EQuilletError(FmtLoadStr(SPlayUnknownOption, name));
            word |= it->Option;
        }
        return word;
    }

    static constexpr std::array<const char*, 10> CursorNames = {
        "crDefault", "crArrow",  "crIBeam",     "crHandPoint", "crSizeWE",
        "crDrag",    "crNoDrop", "crHourGlass", "crHSplit",    "crVSplit"};

    static std::string CursorName(TCursorShape c) {
        return size_t(c) < CursorNames.size() ? CursorNames[size_t(c)] : std::to_string(int(c));
    }

    static TCursorShape CursorValue(const std::string& name, const std::string& v) {
        for (size_t i = 0; i < CursorNames.size(); ++i)
            if (Lower(CursorNames[i]) == Lower(v)) return TCursorShape(i);
        throw EQuilletError(FmtLoadStr(SPlayBadValue, name, v));
    }

    void SetProperty(const std::string& name, const std::string& raw) {
        std::string v = raw;
        std::string text = IsQuoted(v) ? TextArg(v) : v;
        std::string p = Lower(name);
        if (p == "options")
            FMemo.SetOptions(OptionsValue(v));
        else if (p == "tabcolumns")
            FMemo.SetTabColumns(text);
        else if (p == "tabdefault")
            FMemo.SetTabDefault(IntValue(name, v));
        else if (p == "gutter")
            FMemo.SetGutter(IntValue(name, v));
        else if (p == "margin")
            FMemo.SetMargin(IntValue(name, v));
        else if (p == "hypercursor")
            FMemo.SetHyperCursor(CursorValue(name, v));
        else if (p == "cursor")
            FMemo.SetCursor(CursorValue(name, v));
        else if (p == "rightmargin")
            FMemo.SetRightMargin(IntValue(name, v));
        else if (p == "indentstep")
            FMemo.SetIndentStep(IntValue(name, v));
        else if (p == "wrapatcolumn")
            FMemo.SetWrapAtColumn(IntValue(name, v));
        else if (p == "wrapoverride")
            FMemo.SetWrapOverride(text);
        else if (p == "readonly")
            FMemo.SetReadOnly(BoolValue(name, v));
        else if (p == "autocomplete")
            FMemo.SetAutoComplete(BoolValue(name, v));
        else if (p == "selstart")
            FMemo.SetSelStart(IntValue(name, v));
        else if (p == "sellength")
            FMemo.SetSelLength(IntValue(name, v));
        else if (p == "seltext")
            FMemo.SetSelText(text);
        else if (p == "text")
            FMemo.SetText(text);
        else if (p == "modified")
            FMemo.SetModified(BoolValue(name, v));
        else if (p == "topline")
            FMemo.Perform(SM_TOPLINE, smSET, IntValue(name, v));
        else if (p == "leftcolumn")
            FMemo.Perform(SM_LEFTCOLUMN, smSET, IntValue(name, v));
        else if (p == "wordwrap")
            FMemo.SetWordWrap(BoolValue(name, v));
        else if (p == "insertmode")
            FMemo.SetInsertMode(BoolValue(name, v));
        else if (p == "wanttab")
            FMemo.SetWantTab(BoolValue(name, v));
        else if (p == "wantreturns")
            FMemo.SetWantReturns(BoolValue(name, v));
        else if (p == "tabstop")
            FMemo.SetTabStop(BoolValue(name, v));
        else if (p == "hideselection")
            FMemo.SetHideSelection(BoolValue(name, v));
        else if (p == "showfocusline")
            FMemo.SetShowFocusLine(BoolValue(name, v));
        else if (p == "enabled")
            FMemo.SetEnabled(BoolValue(name, v));
        else if (p == "activeparser")
            FMemo.SetActiveParser(IntValue(name, v));
        else if (p == "sellinestyle") {
            std::string l = Lower(v);
            if (l != "lscrlf" && l != "lslf")
                throw EQuilletError(FmtLoadStr(SPlayBadValue, name, v));
            FMemo.SetSelLineStyle(l == "lscrlf" ? lsCRLF : lsLF);
        } else if (p == "saveformat") {
            static const std::map<std::string, TSaveFormat> formats = {
                {"sftext", sfTEXT}, {"sfrtf", sfRTF}, {"sfhtml", sfHTML}, {"sfunix", sfUNIX}};
            auto it = formats.find(Lower(v));
            if (it == formats.end()) throw EQuilletError(FmtLoadStr(SPlayBadValue, name, v));
            FMemo.SetSaveFormat(it->second);
        } else if (p == "guttercolor")
            FMemo.SetGutterColor(TColor(IntValue(name, v)));
        else if (p == "margincolor")
            FMemo.SetMarginColor(TColor(IntValue(name, v)));
        else if (p == "seltextcolor")
            FMemo.SetSelTextColor(TColor(IntValue(name, v)));
        else if (p == "seltextback")
            FMemo.SetSelTextBack(TColor(IntValue(name, v)));
        else if (p == "monoprint")
            FMemo.SetMonoPrint(BoolValue(name, v));
        else if (p == "printtitle")
            FMemo.SetPrintTitle(text);
        else
            throw EQuilletError(FmtLoadStr(SPlayUnknownProperty, name));
    }

    static std::string Hex(uint32_t v) {
        char buf[16];
        std::snprintf(buf, sizeof buf, "0x%08X", v);
        return buf;
    }

    std::string GetProperty(const std::string& name) {
        std::string p = Lower(name);
        auto b = [](bool v) { return std::string(v ? "1" : "0"); };
        if (p == "options") return Hex(FMemo.Options());
        if (p == "tabcolumns") return Quote(FMemo.TabColumns());
        if (p == "tabdefault") return std::to_string(FMemo.TabDefault());
        if (p == "gutter") return std::to_string(FMemo.Gutter());
        if (p == "margin") return std::to_string(FMemo.Margin());
        if (p == "rightmargin") return std::to_string(FMemo.RightMargin());
        if (p == "indentstep") return std::to_string(FMemo.IndentStep());
        if (p == "wrapatcolumn") return std::to_string(FMemo.WrapAtColumn());
        if (p == "wrapoverride") return Quote(FMemo.WrapOverride());
        if (p == "readonly") return b(FMemo.ReadOnly());
        if (p == "autocomplete") return b(FMemo.AutoComplete());
        if (p == "selstart") return std::to_string(FMemo.SelStart());
        if (p == "sellength") return std::to_string(FMemo.SelLength());
        if (p == "seltext") return Quote(FMemo.SelText());
        if (p == "text") return Quote(FMemo.Text());
        if (p == "modified") return b(FMemo.Modified());
        if (p == "topline") return std::to_string(FMemo.TopLine());
        if (p == "leftcolumn") return std::to_string(FMemo.LeftColumn());
        if (p == "wordwrap") return b(FMemo.WordWrap());
        if (p == "insertmode") return b(FMemo.InsertMode());
        if (p == "wanttab") return b(FMemo.WantTab());
        if (p == "wantreturns") return b(FMemo.WantReturns());
        if (p == "tabstop") return b(FMemo.TabStop());
        if (p == "hideselection") return b(FMemo.HideSelection());
        if (p == "showfocusline") return b(FMemo.ShowFocusLine());
        if (p == "enabled") return b(FMemo.Enabled());
        if (p == "activeparser") return std::to_string(FMemo.ActiveParser());
        if (p == "sellinestyle") return FMemo.SelLineStyle() == lsCRLF ? "lsCRLF" : "lsLF";
        if (p == "saveformat") {
            static const char* names[] = {"sfTEXT", "sfRTF", "sfHTML", "sfUNIX"};
            return names[FMemo.SaveFormat()];
        }
        if (p == "guttercolor") return Hex(FMemo.GutterColor());
        if (p == "margincolor") return Hex(FMemo.MarginColor());
        if (p == "seltextcolor") return Hex(FMemo.SelTextColor());
        if (p == "seltextback") return Hex(FMemo.SelTextBack());
        if (p == "monoprint") return b(FMemo.MonoPrint());
        if (p == "printtitle") return Quote(FMemo.PrintTitle());
        if (p == "printing") return b(FMemo.Printing());
        if (p == "version") return Quote(FMemo.Version());
        if (p == "canundo") return b(FMemo.CanUndo());
        if (p == "canredo") return b(FMemo.CanRedo());
        if (p == "linecount") return std::to_string(FMemo.Lines().Count());
        if (p == "vscroll" || p == "hscroll") {
            TScrollInfo i = FHost.GetScrollInfo(p == "vscroll" ? sbVertical : sbHorizontal);
            return std::to_string(i.Min) + " " + std::to_string(i.Max) + " " +
                   std::to_string(i.Page) + " " + std::to_string(i.Pos);
        }
        if (p == "cursor") return CursorName(FMemo.Cursor());
        if (p == "hypercursor") return CursorName(FMemo.HyperCursor());
        throw EQuilletError(FmtLoadStr(SPlayUnknownProperty, name));
    }

    void Clip(const std::vector<std::string>& args, const std::string& rest) {
        Need(args, 1, "clip");
        IClipboard& clip = *Platform().Clipboard;
        std::string what = Lower(args[0]);
        if (what == "set") {
            std::string value = rest.size() > 4 ? rest.substr(4) : std::string();
            clip.SetText(IsQuoted(value) ? TextArg(value) : Unescape(value));
        } else if (what == "get") {
            std::string format = args.size() > 1 ? Lower(args[1]) : "text";
            std::string_view id = format == "text"   ? cbfText
                                  : format == "rtf"  ? cbfRichText
                                  : format == "html" ? cbfHtml
                                                     : std::string_view();
            if (id.empty()) throw EQuilletError(FmtLoadStr(SPlayBadClipFormat, args[1]));
            FOut << "clip: " << Quote(clip.Get(id)) << "\n";
        } else {
            throw EQuilletError(FmtLoadStr(SPlayBadValue, "clip", args[0]));
        }
    }

    // autoreplace|template NAME EXPANSION [DESCRIPTION]: an entry of the active settings' table;
    // an entry of the same name is replaced.
    void AddExpansion(const std::string& action, const std::vector<std::string>& args) {
        Need(args, 2, action);
        if (args.size() > 3) throw EQuilletError(FmtLoadStr(SPlayTooManyArguments, action));
        std::string entry = TextArg(args[0]);
        if (entry.empty()) throw EQuilletError(FmtLoadStr(SPlayEmptyEntryName, action));
        std::string description = args.size() > 2 ? TextArg(args[2]) : std::string();
        TCM_Settings& s = FMemo.ActiveSettings();
        TMacroKeywords& table =
            action == "template" ? static_cast<TMacroKeywords&>(s.Templates) : s.AutoReplace;
        table.AddEntry(entry, description, TextArg(args[1]));
    }

    // The template / auto-replace list: hidden, or its selected entry and search text.
    void Popup() {
        TMacroPopupList* list = FMemo.MacroPopupList();
        if (!list) {
            FOut << "popup: hidden\n";
            return;
        }
        int sel = list->Selected();
        FOut << "popup: " << list->Count() << " entries, selected "
             << (sel >= 0 ? Quote(list->Name(sel)) : std::string("none")) << ", search "
             << Quote(list->SearchText()) << "\n";
    }

    void Print() {
        TSelectionPair sel = FMemo.Selection();
        std::string text = FMemo.Store().StoredText(TOffset(0), FMemo.Store().TextEnd());
        FOut << "text: " << Quote(text) << "\n";
        FOut << "sel: " << sel.Anchor << " " << sel.Caret << "\n";
        FOut << "caret: " << FMemo.CaretLine() << " " << FMemo.CaretColumn() << "\n";
        FOut << "top: " << FMemo.TopLine() << "\n";
        FOut << "modified: " << (FMemo.Modified() ? 1 : 0) << "\n";
    }

    // printsel [WIDTH HEIGHT] [refuse]: prints the selection on the default printer, a recording
    // one, with a page of WIDTH x HEIGHT printer pixels (800 x 600 until changed) and cells of
    // 10 x 20, stamped 31.12.2025 23:59; "refuse": the printer will not start this time. Writes
    // what each page holds.
    void PrintSelection(const std::vector<std::string>& args) {
        size_t i = 0;
        if (args.size() >= 2 && Lower(args[0]) != "refuse") {
            int width = IntValue("printsel", args[0]);
            int height = IntValue("printsel", args[1]);
            if (width <= 0 || height <= 0 || width > 100000 || height > 100000)
                throw EQuilletError(FmtLoadStr(SPlayBadValue, "printsel", args[0] + " " + args[1]));
            FPrinter->SetPageSize(width, height);
            i = 2;
        }
        bool refuse = false;
        for (; i < args.size(); ++i) {
            if (Lower(args[i]) != "refuse")
                throw EQuilletError(FmtLoadStr(SPlayBadValue, "printsel", args[i]));
            refuse = true;
        }
        FPrinter->SetRefuse(refuse);
        try {
            FMemo.PrintSelection();
        } catch (const EQuilletError&) {
            FPrinter->SetRefuse(false);
            WritePages();
            throw;
        }
        WritePages();
    }

    static std::string ColorText(TColor c) {
        if (c == clNone) return "none";
        char buf[16];
        std::snprintf(buf, sizeof buf, "#%02X%02X%02X", GetRValue(c), GetGValue(c), GetBValue(c));
        return buf;
    }

    // The last document the default printer took, page by page.
    void WritePages() {
        const TRecordingPrinter& printer = *FPrinter;
        static const char* states[] = {"not started", "printing", "ended", "aborted"};
        FOut << "printed: " << Quote(printer.Title()) << ", " << printer.Pages().size()
             << " page(s), " << states[printer.State()] << "\n";
        if (printer.State() == TRecordingPrinter::jsNone) return;
        int number = 0;
        for (const TPrintedPage& page : printer.Pages()) {
            FOut << "page " << ++number << "\n";
            for (const TPrintedItem& item : page) {
                if (item.Kind == TPrintedItem::pkLine) {
                    FOut << "  line " << item.X << " " << item.Y << " " << item.X2 << " " << item.Y2
                         << " " << ColorText(item.Fore) << "\n";
                    continue;
                }
                std::string style;
                if (item.Style & fsBold) style += 'b';
                if (item.Style & fsItalic) style += 'i';
                if (item.Style & fsUnderline) style += 'u';
                if (item.Style & fsStrikeOut) style += 's';
                FOut << "  text " << item.X << " " << item.Y << " " << Quote(item.Text) << " "
                     << ColorText(item.Fore) << "/" << ColorText(item.Back)
                     << (style.empty() ? "" : " " + style) << "\n";
            }
        }
    }

    // headerfooter off | throw | LEFT TOP RIGHT BOTTOM [transparent]: the page handler writes
    // "[page N]" at the top-left of the page rectangle it gets and hands back the given text
    // area (and the transparent flag); "throw" fails on the second page.
    void HeaderFooter(const std::vector<std::string>& args) {
        std::string what = Lower(args[0]);
        if (what == "off") {
            FMemo.OnPrintHeaderFooter = nullptr;
            return;
        }
        bool fail = what == "throw";
        TRect area;
        bool transparent = false;
        if (!fail) {
            Need(args, 4, "headerfooter");
            area = {IntValue("headerfooter", args[0]), IntValue("headerfooter", args[1]),
                    IntValue("headerfooter", args[2]), IntValue("headerfooter", args[3])};
            for (size_t i = 4; i < args.size(); ++i) {
                if (Lower(args[i]) != "transparent")
                    throw EQuilletError(FmtLoadStr(SPlayBadValue, "headerfooter", args[i]));
                transparent = true;
            }
        }
        auto pages = std::make_shared<int>(0);
        FMemo.OnPrintHeaderFooter = [=](TCustomCodeMemo&, ICanvas& canvas, TRect& rect,
                                        bool& clear) {
            ++*pages;
            if (fail && *pages == 2) throw EQuilletError(FmtLoadStr(SPlayHandlerFailed, *pages));
            canvas.TextOut(rect.Left, rect.Top, "[page " + std::to_string(*pages) + "]", clBlack,
                           clNone);
            if (!fail) {
                rect = area;
                clear = transparent;
            }
        };
    }

    void Attrs(int line) {
        if (line < 0 || line >= FMemo.Store().LineCount())
            throw EQuilletError(FmtLoadStr(SPlayBadValue, "attrs", std::to_string(line)));
        // The bytes the painter would draw this line with, even when it lies below the window.
        FMemo.View().ScanThrough(line);
        const TLineRecord& rec = FMemo.Store().Line(TRow(line));
        FOut << "attrs:";
        for (int i = 0; i < FMemo.Store().RowLength(TRow(line)); ++i) {
            int v = rec.Extra && size_t(i) < rec.Extra->Attributes.size()
                        ? rec.Extra->Attributes[size_t(i)]
                        : 0;
            FOut << " " << v;
        }
        FOut << "\n";
    }

    std::unique_ptr<TCodeMemoParser> FDef; // outlives the control that uses it
    TRecordingPrinter* FPrinter = nullptr; // the default printer (the platform owns it)
    THeadlessWindowHost FHost;
    TCodeMemo FMemo;
    std::ostream& FOut;
};

} // namespace

std::unique_ptr<IPlayer> MakePlayer(int width, int height,
                                    std::unique_ptr<TCodeMemoParser> definition, std::ostream& out);

int CmdPlay(const std::vector<std::string>& args, std::istream& in, std::ostream& out,
            std::ostream& err) {
    std::string lang, file, script;
    int width = 640, height = 400;
    for (size_t i = 0; i < args.size(); ++i) {
        const std::string& a = args[i];
        if (a == "--lang" && i + 1 < args.size()) {
            lang = args[++i];
        } else if (a == "--file" && i + 1 < args.size()) {
            file = args[++i];
        } else if (a == "--size" && i + 2 < args.size()) {
            width = int(NumberArg(args[++i]));
            height = int(NumberArg(args[++i]));
            if (width <= 0 || height <= 0 || width > 8192 || height > 8192)
                throw EQuilletError(
                    FmtLoadStr(SPlayBadValue, "--size", args[i - 1] + " " + args[i]));
        } else if (script.empty() && !a.starts_with("--")) {
            script = a;
        } else {
            err << "quillet-tool: " << LoadStr(SPlayUsage) << "\n";
            return exError;
        }
    }
    std::unique_ptr<IPlayer> player = MakePlayer(width, height, DefinitionFor(lang, file), out);
    // A style sheet gets the CSS completion (Ctrl+Space; "set AutoComplete 1" while typing).
    if (lang == "css" || (lang.empty() && file.ends_with(".css")))
        player->Memo().SetCompletionProvider(std::make_unique<TCssCompletionProvider>());
    if (!file.empty()) player->Memo().LoadFromFile(file);
    if (script.empty()) {
        player->Run(in);
    } else {
        std::error_code ec;
        if (std::filesystem::is_directory(script, ec))
            throw EFileError(WithCause(FmtLoadStr(SPlayCannotOpenScript, script), EISDIR));
        std::ifstream f(script, std::ios::binary);
        if (!f) throw EFileError(WithCause(FmtLoadStr(SPlayCannotOpenScript, script), errno));
        player->Run(f);
    }
    return exOk;
}

std::unique_ptr<IPlayer>
MakePlayer(int width, int height, std::unique_ptr<TCodeMemoParser> definition, std::ostream& out) {
    // The fixed-pitch cell the scripts count in: 7 pixels wide, lines 17 high.
    TPlatformServices services;
    services.Fonts = std::make_unique<THeadlessFonts>(true, 7, 17);
    InstallPlatform(std::move(services));
    return std::make_unique<TPlayer>(width, height, std::move(definition), out);
}

std::unique_ptr<IPlayer> MakePlayer(int width, int height, const std::string& lang,
                                    std::ostream& out) {
    return MakePlayer(width, height, DefinitionFor(lang, std::string()), out);
}

} // namespace quillet::cli
