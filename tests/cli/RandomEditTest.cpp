// Random editing against simple models. Each seed generates thousands of play-script actions
// (typing, deletions, moves, indent, clipboard, messages, mouse, undo and redo, bookmarks, marks,
// auto-replace and templates) and after every one checks the control: its text against a plain
// string, its highlighting bytes against a fresh scan, its rows against a fresh layout, its
// bookmarks and marks against offsets that follow the edits, and undo against the texts seen.
// A failing seed leaves its script in the build folder: a ready `play` reproducer.
//
// QUILLET_RANDOM_SEEDS=N (or FIRST-LAST) and QUILLET_RANDOM_STEPS=N run it longer.
#include "cli/Player.h"
#include "editor/CodeMemo.h"
#include "editor/CodeMemoView.h"
#include "editor/CodeMemoWrap.h"
#include "editor/LineTrack.h"
#include "editor/Rescan.h"
#include "highlight/CodeMemoParser.h"
#include "tests/StoreRows.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <array>
#include <cctype>
#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <functional>
#include <random>
#include <sstream>
#include <string>
#include <vector>

namespace quillet {
namespace {

int LineStartOf(const std::string& t, int pos) {
    if (pos <= 0) return 0;
    size_t cr = t.rfind('\r', size_t(pos - 1));
    return cr == std::string::npos ? 0 : int(cr) + 1;
}

// Just past the line's CR, or the text end.
int LineEndOf(const std::string& t, int pos) {
    size_t cr = t.find('\r', size_t(pos));
    return cr == std::string::npos ? int(t.size()) : int(cr) + 1;
}

// Every edit the store reports, replayed on a plain string. A numbered bookmark is the start of
// its logical line: a line break typed at that start pushes it down with the text, and it goes
// when all of its line (text and break) is deleted. Marks follow the range rules.
class TModel : public ITextStoreObserver {
public:
    std::string Text;
    std::array<int, 10> Bookmarks;
    std::vector<std::pair<int, int>> Marks;
    // Hashes of the texts passed through, for undo; and those undone, for redo.
    std::vector<size_t> Past, Future;
    bool Recording = true;
    std::string Fault;

    TModel() { Bookmarks.fill(-1); }

    void Reset(const std::string& text) {
        Text = text;
        Bookmarks.fill(-1);
        Past = {Hash()};
        Future.clear();
    }
    size_t Hash() const { return std::hash<std::string>()(Text); }

    void OnInsert(TOffset at, std::string_view t) override {
        const int pos = at.Value();
        const int len = int(t.size());
        if (std::getenv("QUILLET_RANDOM_TRACE"))
            std::fprintf(stderr, "    insert %d %d of %d\n", pos, len, int(Text.size()));
        if (pos < 0 || pos > int(Text.size())) Fault = "insertion outside the text";
        for (int& s : Bookmarks) {
            if (s < 0) continue;
            if (pos < s) {
                s += len;
            } else if (pos == s) {
                size_t cr = t.rfind('\r');
                if (cr != std::string_view::npos) s = pos + int(cr) + 1;
            }
        }
        for (auto& [s, e] : Marks) {
            if (s >= pos) {
                s += len;
                e += len;
            } else if (e >= pos) {
                e += len;
            }
        }
        Text.insert(size_t(pos), t);
        Edited();
    }

    void OnDelete(TOffset at, std::string_view d) override {
        const int pos = at.Value();
        const int len = int(d.size()), end = pos + len;
        if (std::getenv("QUILLET_RANDOM_TRACE"))
            std::fprintf(stderr, "    delete %d %d of %d\n", pos, len, int(Text.size()));
        if (Text.compare(size_t(pos), d.size(), d) != 0) Fault = "deleted text is not the model's";
        std::vector<int*> joined;
        for (int& s : Bookmarks) {
            if (s < 0 || s < pos) continue;
            if (s > end)
                s -= len;
            else if (s == end) // its text stays; the break before it may have gone
                joined.push_back(&s);
            else if (LineEndOf(Text, s) > end)
                joined.push_back(&s);
            else
                s = -1;
        }
        std::vector<std::pair<int, int>> kept;
        for (auto [s, e] : Marks) {
            if (e < pos || (e == pos && s < pos)) {
            } else if (s < pos) {
                e = e > end ? e - len : pos;
            } else if (e > end) {
                s = s >= end ? s - len : pos;
                e -= len;
            } else {
                continue;
            }
            kept.emplace_back(s, e);
        }
        Marks.swap(kept);
        Text.erase(size_t(pos), d.size());
        for (int* s : joined)
            *s = LineStartOf(Text, pos);
        Edited();
    }

private:
    void Edited() {
        if (!Recording) return;
        Past.push_back(Hash());
        Future.clear();
    }
};

// Bytes as a play script writes them: `type` text, or the inside of a quoted argument.
std::string Escape(std::string_view s, bool quoted) {
    std::string out;
    for (unsigned char c : s) {
        char buf[8];
        if (c == '\\')
            out += "\\\\";
        else if (c == '"' && quoted)
            out += "\\\"";
        else if (c == '\n')
            out += "\\n";
        else if (c == '\r')
            out += "\\r";
        else if (c == '\t')
            out += "\\t";
        else if (c < 32 || c >= 127) {
            std::snprintf(buf, sizeof buf, "\\x%02X", c);
            out += buf;
        } else
            out += char(c);
    }
    return out;
}

std::string Normalized(std::string_view text) {
    return TTextStore::Normalize(text);
}

// The bytes of the code point that starts at `pos` / ends at `pos`.
int CodePointAt(const std::string& t, int pos) {
    int n = 1;
    while (pos + n < int(t.size()) &&
           (static_cast<unsigned char>(t[size_t(pos + n)]) & 0xC0) == 0x80)
        ++n;
    return n;
}
int CodePointBefore(const std::string& t, int pos) {
    int n = 1;
    while (pos - n > 0 && (static_cast<unsigned char>(t[size_t(pos - n)]) & 0xC0) == 0x80)
        ++n;
    return n;
}

// Starts of the logical lines [a, b) covers; an end at a line start leaves that line out.
std::vector<int> CoveredLines(const std::string& t, int a, int b) {
    std::vector<int> starts;
    for (int s = LineStartOf(t, a);;) {
        starts.push_back(s);
        int e = LineEndOf(t, s);
        if (e >= b || e >= int(t.size())) break;
        s = e;
    }
    return starts;
}

std::string Indented(const std::string& t, int a, int b, int count) {
    std::string out = t;
    std::vector<int> starts = CoveredLines(t, a, b);
    for (auto it = starts.rbegin(); it != starts.rend(); ++it)
        out.insert(size_t(*it), size_t(count), ' ');
    return out;
}

std::string Unindented(const std::string& t, int a, int b, int count) {
    std::string out = t;
    std::vector<int> starts = CoveredLines(t, a, b);
    for (auto it = starts.rbegin(); it != starts.rend(); ++it) {
        size_t p = size_t(*it), n = 0;
        for (int k = 0; k < count; ++k) {
            if (p + n < t.size() && (t[p + n] == ' ' || t[p + n] == '\t'))
                n += 1;
            else if (t.compare(p + n, 2, "\xC2\xA0") == 0)
                n += 2;
            else
                break;
        }
        out.erase(p, n);
    }
    return out;
}

// Where two texts part, for a failure's message.
std::string Diff(const std::string& want, const std::string& got) {
    size_t at = 0;
    while (at < want.size() && at < got.size() && want[at] == got[at])
        ++at;
    return ": at " + std::to_string(at) + " want \"" + Escape(want.substr(at, 24), true) +
           "\" got \"" + Escape(got.substr(at, 24), true) + "\"";
}

struct TRunConfig {
    int Width = 640, Height = 400;
    bool Wrap = false, CaretAfterEol = false, Expansions = false, LongLine = false;
    // A line of this many characters (minified style), edited near its ends and middle.
    int Huge = 0;
};

class TRandomRun {
public:
    TRandomRun(unsigned seed, int steps, bool huge = false)
        : FSeed(seed), FSteps(steps), FRng(seed), FHuge(huge) {}

    // Returns an empty string, or what went wrong (the script is then written out).
    std::string Run() {
        TRunConfig c;
        c.Wrap = Chance(50);
        c.Width = Chance(60) ? Between(100, 300) : 640;
        c.Height = Between(100, 400);
        c.CaretAfterEol = Chance(30);
        c.Expansions = Chance(50);
        c.LongLine = Chance(35);
        if (FHuge) {
            c.Wrap = FSeed % 2 == 1;
            c.Huge = Between(100000, 130000);
        }
        FConfig = c;
        FPlayer = cli::MakePlayer(c.Width, c.Height, "css", FOut);
        TCodeMemo& memo = FPlayer->Memo();
        memo.Store().AddObserver(&FModel);
        FModel.Reset(StoredText());
        if (c.Wrap) Do("set WordWrap 1");
        if (c.CaretAfterEol) {
            char buf[64];
            std::snprintf(buf, sizeof buf, "set Options 0x%08X",
                          unsigned(memo.Options() | smoCaretAfterEOL));
            Do(buf);
        }
        if (c.Expansions) {
            Do("autoreplace teh the");
            Do("autoreplace widht width");
            Do("template bx \"border: 1px solid |;\"");
            Do("template cl \"color: |;\\r\"");
        }
        SetText(InitialText());
        if (!FFault.empty()) return Fail();
        for (FStep = 0; FStep < FSteps; ++FStep) {
            Step();
            if (!FFault.empty()) return Fail();
        }
        UndoAllRedoAll();
        if (!FFault.empty()) return Fail();
        memo.Store().RemoveObserver(&FModel);
        return {};
    }

    // Runs a script the generator wrote, checking after every line: for cutting a failure
    // down to a small reproducer. Returns the fault with its line number, or an empty string.
    std::string Replay(const std::string& path) {
        std::ifstream in(path);
        std::string line;
        std::getline(in, line);
        std::sscanf(line.c_str(), "# size %d %d", &FConfig.Width, &FConfig.Height);
        FPlayer = cli::MakePlayer(FConfig.Width, FConfig.Height, "css", FOut);
        Memo().Store().AddObserver(&FModel);
        FModel.Reset(StoredText());
        int number = 1;
        while (FFault.empty() && std::getline(in, line)) {
            ++number;
            if (line.rfind("key ctrl+K ", 0) == 0 && line.size() == 12 && std::isdigit(line[11])) {
                int caret = Memo().Selection().Caret;
                Do(line);
                SetModelBookmark(line[11] - '0', LineStartOf(FModel.Text, caret));
            } else if (line.rfind("mark ", 0) == 0) {
                int s = 0, len = 0;
                std::sscanf(line.c_str(), "mark %d %d", &s, &len);
                FModel.Marks.emplace_back(std::min(s, s + len), std::max(s, s + len));
                Do(line);
            } else {
                Do(line);
                if (line.rfind("set Text", 0) == 0) FModel.Reset(StoredText());
            }
            Check();
        }
        Memo().Store().RemoveObserver(&FModel);
        return FFault.empty() ? std::string() : "line " + std::to_string(number) + ": " + FFault;
    }

private:
    bool Chance(int percent) { return int(FRng() % 100) < percent; }
    int Between(int lo, int hi) { return lo + int(FRng() % unsigned(hi - lo + 1)); }
    template <class T> const T& Pick(const std::vector<T>& v) { return v[FRng() % v.size()]; }

    TCodeMemo& Memo() { return FPlayer->Memo(); }
    std::string StoredText() {
        return Memo().Store().StoredText(TOffset(0), Memo().Store().TextEnd());
    }

    std::string Word() {
        static const std::vector<std::string> words = {"a",
                                                       "p",
                                                       "h1",
                                                       "color",
                                                       "margin",
                                                       "0",
                                                       "12px",
                                                       "#a0b0c0",
                                                       "teh",
                                                       "widht",
                                                       "bx",
                                                       "cl",
                                                       "{",
                                                       "}",
                                                       ":",
                                                       ";",
                                                       "/*",
                                                       "*/",
                                                       "\"s\"",
                                                       "'q'",
                                                       "url(",
                                                       ")",
                                                       ".x",
                                                       "@media",
                                                       "\xC3\xA9",
                                                       "\xD0\xB6\xD0\xB6",
                                                       "\xE2\x82\xAC",
                                                       "\xF0\x9F\x98\x80",
                                                       "\xC2\xA0"};
        return Pick(words);
    }

    std::string Chunk(bool withBreaks) {
        std::string s;
        int n = Between(1, 6);
        for (int i = 0; i < n; ++i) {
            s += Word();
            int sep = Between(0, 9);
            if (sep < 4)
                s += ' ';
            else if (sep == 4 && withBreaks)
                s += '\n';
            else if (sep == 5 && withBreaks)
                s += '\t';
        }
        return s;
    }

    // Text with no break opportunity: base64url-like data with some multi-byte characters.
    std::string Markless(int bytes) {
        static const std::string plain =
            "ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz0123456789-_.#:";
        static const std::vector<std::string> wide = {"\xC3\xA9", "\xD0\xB6", "\xE2\x82\xAC",
                                                      "\xF0\x9F\x98\x80"};
        std::string s;
        while (int(s.size()) < bytes)
            s += Chance(4) ? Pick(wide) : std::string(1, plain[FRng() % plain.size()]);
        return s;
    }

    std::string LongLine() {
        std::string s;
        int target = Between(2050, 4500);
        while (int(s.size()) < target)
            s += Chance(30)  ? std::string(size_t(Between(1, 60)), 'a')
                 : Chance(5) ? Markless(Between(100, 3000))
                             : Word() + (Chance(50) ? " " : "");
        return s;
    }

    std::string InitialText() {
        std::string t;
        int lines = Between(0, 12);
        for (int i = 0; i < lines; ++i)
            t += Chunk(false) + "\r";
        if (FConfig.LongLine) t += LongLine() + "\r" + Chunk(false);
        if (FConfig.Huge && FSeed / 2 % 2 == 1) {
            // Data without a break opportunity at the start, in the middle (in a string) and at
            // the end of the line: its cuts are wherever edits left them.
            const int third = FConfig.Huge / 3;
            t +=
                "\r" + Markless(third) + ".c{b:url(\"" + Markless(third) + "\")}" + Markless(third);
        } else if (FConfig.Huge) {
            // Rules without a blank (cuts fall inside tokens) mixed with words and comments,
            // strings and comments over many rows, and now and then a word or a number longer
            // than the scan's window.
            t += "\r";
            for (int n = 0; int(t.size()) < FConfig.Huge; ++n) {
                if (Chance(1)) {
                    const size_t len = size_t(Between(9000, 20000));
                    t += Chance(50) ? "}b" + std::string(len, 'a') + "{"
                                    : "p{m:" + std::string(len, '7') + ".5e3}";
                    continue;
                }
                if (Chance(3)) {
                    std::string run(size_t(Between(2000, 9000)), 'a');
                    for (char& c : run)
                        c = Chance(20) ? ' ' : Chance(3) ? '*' : 'a';
                    t += Chance(50) ? "p{b:\"" + run + "\"}" : "/*" + run + "*/";
                    continue;
                }
                t += Chance(60) ? ".c" + std::to_string(n) +
                                      "{color:#a0b0c0;margin:" + std::to_string(n % 97) + "px}"
                                : Word() + (Chance(50) ? " " : "");
            }
        }
        return t;
    }

    void SetText(const std::string& text) {
        Do("set Text \"" + Escape(text, true) + "\"");
        // A new text: no undo, no bookmarks; marks go with the deleted text.
        FModel.Reset(StoredText());
        FStart = FModel.Text;
        Check();
    }

    // Runs one script line and keeps it for the reproducer.
    void Do(const std::string& line) {
        FScript += line + "\n";
        if (std::getenv("QUILLET_RANDOM_TRACE")) {
            std::fprintf(stderr, "%s\n  text=%s\n  bm:", line.substr(0, 120).c_str(),
                         Escape(FModel.Text.substr(0, 300), true).c_str());
            for (int n = 0; n < 10; ++n)
                std::fprintf(stderr, " %d/%d", FModel.Bookmarks[size_t(n)], Memo().BookmarkLine(n));
            std::fprintf(stderr, "\n");
        }
        std::istringstream in(line);
        FPlayer->Run(in);
        if (FOut.str().find("error:") != std::string::npos) {
            FFault = "the action failed: " + FOut.str();
        }
        FOut.str("");
    }

    int Offset() {
        if (FConfig.Huge && Chance(70)) {
            // Near the start, the middle or the end of the long line.
            const int line = int(FModel.Text.find_last_of('\r') + 1);
            const int len = int(FModel.Text.size()) - line;
            const int at = line + Pick(std::vector<int>{0, len / 2, len}) + Between(-40, 40);
            return std::clamp(at, 0, int(FModel.Text.size()));
        }
        return Between(-2, int(FModel.Text.size()) + 2);
    }

    void Step() {
        TCodeMemo& memo = Memo();
        const std::string before = FModel.Text;
        TSelectionPair sel = memo.Selection();
        int a = std::min(sel.Anchor, sel.Caret), b = std::max(sel.Anchor, sel.Caret);
        const bool plain = !memo.MacroPopupShown() && !memo.CaretBeyondEnd();
        std::string expect;
        bool predicted = false;
        auto replaced = [&](const std::string& with) {
            predicted = true;
            expect = before.substr(0, size_t(a)) + with + before.substr(size_t(b));
        };
        FModel.Recording = true;
        int kind = Between(0, 99);
        if (kind < 22) {
            std::string s = Chance(70) ? Chunk(false) : Chunk(true);
            if (plain && memo.InsertMode() && !FConfig.Expansions &&
                s.find_first_of("\n\t") == std::string::npos)
                replaced(s);
            Do("type " + Escape(s, false));
        } else if (kind < 40) {
            static const std::vector<std::string> moves = {
                "Left",      "Right",    "Up",       "Down",      "Home",
                "End",       "PageUp",   "PageDown", "ctrl+Left", "ctrl+Right",
                "ctrl+Home", "ctrl+End", "ctrl+Up",  "ctrl+Down"};
            Do("key " + std::string(Chance(40) ? "shift+" : "") + Pick(moves));
        } else if (kind < 52) {
            int k = Between(0, 5);
            if (k == 0) {
                if (plain && b > a)
                    replaced("");
                else if (plain && a < int(before.size()))
                    expect = before.substr(0, size_t(a)) +
                             before.substr(size_t(a + CodePointAt(before, a))),
                    predicted = true;
                Do("key Delete");
            } else if (k == 1) {
                if (plain && b > a)
                    replaced("");
                else if (plain && a > 0)
                    expect = before.substr(0, size_t(a - CodePointBefore(before, a))) +
                             before.substr(size_t(a)),
                    predicted = true;
                Do("key BackSpace");
            } else {
                static const std::vector<std::string> keys = {"ctrl+BackSpace", "ctrl+Delete",
                                                              "ctrl+Y", "Return"};
                Do("key " + keys[size_t(k - 2)]);
            }
        } else if (kind < 60) {
            int k = Between(0, 5);
            int count = Between(1, 6);
            if (plain && b > a && memo.IndentStep() > 0) {
                if (k == 0) expect = Indented(before, a, b, memo.IndentStep()), predicted = true;
                if (k == 1) expect = Unindented(before, a, b, memo.IndentStep()), predicted = true;
                if (k == 2) expect = Indented(before, a, b, count), predicted = true;
                if (k >= 3) expect = Unindented(before, a, b, count), predicted = true;
            }
            if (k == 0)
                Do("key ctrl+K I");
            else if (k == 1)
                Do("key ctrl+K U");
            else if (k == 2)
                Do("msg SM_INDENT " + std::to_string(count) + " 0");
            else
                Do("msg SM_UNINDENT " + std::to_string(count));
        } else if (kind < 66) {
            int k = Between(0, 2);
            if (k == 0 && plain && b > a) replaced("");
            Do(k == 0 ? "key ctrl+X" : k == 1 ? "key ctrl+C" : "key ctrl+V");
        } else if (kind < 72) {
            Do("msg EM_SETSEL " + std::to_string(Offset()) + " " +
               std::to_string(Chance(10) ? -1 : Offset()));
        } else if (kind < 78) {
            static const std::vector<std::string> breaks = {"\r", "\n", "\r\n", "\n\r"};
            std::string s;
            int parts = Between(0, 3);
            for (int i = 0; i < parts; ++i)
                s += Chunk(false) + (Chance(70) ? Pick(breaks) : "");
            if (Chance(3)) s += LongLine();
            if (plain) replaced(Normalized(s));
            Do("msg EM_REPLACESEL 0 \"" + Escape(s, true) + "\"");
        } else if (kind < 84) {
            int x = Between(0, FConfig.Width - 1), y = Between(0, FConfig.Height - 1);
            int k = Between(0, 4);
            if (k == 0)
                Do("click " + std::to_string(x) + " " + std::to_string(y));
            else if (k == 1)
                Do("click " + std::to_string(x) + " " + std::to_string(y) + " shift");
            else if (k == 2)
                Do("dblclick " + std::to_string(x) + " " + std::to_string(y));
            else
                Do("drag " + std::to_string(x) + " " + std::to_string(y) + " " +
                   std::to_string(Between(0, FConfig.Width - 1)) + " " +
                   std::to_string(Between(0, FConfig.Height - 1)));
        } else if (kind < 91) {
            FModel.Recording = false;
            bool redo = Chance(35);
            Do(redo ? "key ctrl+shift+Z" : Chance(50) ? "key ctrl+Z" : "msg EM_UNDO");
            Walk(redo);
        } else if (kind < 95) {
            int n = Between(0, 9);
            if (memo.MacroPopupShown()) Do("key Escape"); // the list would take the keys
            if (Chance(60)) {
                int caret = memo.Selection().Caret;
                Do("key ctrl+K " + std::to_string(n));
                SetModelBookmark(n, LineStartOf(FModel.Text, caret));
            } else {
                Do("key ctrl+Q " + std::to_string(n));
                int at = FModel.Bookmarks[size_t(n)];
                if (at >= 0 && LineStartOf(FModel.Text, memo.Selection().Caret) != at)
                    FFault = "going to bookmark " + std::to_string(n) + " missed its line";
            }
        } else if (kind < 97) {
            int s = Between(0, int(FModel.Text.size())), len = Between(-5, 20);
            len = std::clamp(s + len, 0, int(FModel.Text.size())) - s;
            FModel.Marks.emplace_back(std::min(s, s + len), std::max(s, s + len));
            Do("mark " + std::to_string(s) + " " + std::to_string(len));
        } else if (kind < 98) {
            Do(Chance(50) ? "key Insert" : "key Escape");
        } else if (FConfig.Expansions) {
            Do(Chance(50) ? "key ctrl+J" : "type teh ");
        } else if (Chance(20)) {
            SetText(InitialText());
        }
        // Keep the text small enough to check after every step.
        if (int(FModel.Text.size()) > FConfig.Huge + 9000 && FFault.empty()) {
            FModel.Recording = true; // an edit of its own, after an undo step too
            int s = Between(0, 4000);
            Do("msg EM_SETSEL " + std::to_string(s) + " " + std::to_string(s + 3000));
            Do("key Delete");
            predicted = false;
        }
        if (!FFault.empty()) return;
        if (predicted && FModel.Text != expect)
            FFault = "the text is not what the action makes" + Diff(expect, FModel.Text);
        Check();
    }

    void SetModelBookmark(int n, int lineStart) {
        auto& marks = FModel.Bookmarks;
        if (marks[size_t(n)] == lineStart) {
            marks[size_t(n)] = -1;
            return;
        }
        for (int& s : marks)
            if (s == lineStart) s = -1;
        marks[size_t(n)] = lineStart;
    }

    // After an undo or redo: the text is one the edits passed through. Past ends with the text
    // shown; Future holds what was undone, the nearest last.
    void Walk(bool redo) {
        const size_t h = FModel.Hash();
        auto& past = FModel.Past;
        auto& future = FModel.Future;
        if (h == past.back()) return; // nothing to take back or do again
        if (!redo) {
            size_t i = past.size() - 1;
            while (i > 0 && past[i - 1] != h)
                --i;
            if (i == 0) {
                FFault = "undo made a text never seen";
                return;
            }
            while (past.size() > i) {
                future.push_back(past.back());
                past.pop_back();
            }
            return;
        }
        if (std::find(future.begin(), future.end(), h) == future.end()) {
            FFault = "redo made a text never undone";
            return;
        }
        while (true) {
            size_t v = future.back();
            future.pop_back();
            past.push_back(v);
            if (v == h) break;
        }
    }

    void UndoAllRedoAll() {
        TCodeMemo& memo = Memo();
        FModel.Recording = false;
        // Steps undone last are done again first: the end is the top of the redo chain.
        for (int i = 0; i < 20000 && memo.CanRedo(); ++i) {
            Do("key ctrl+shift+Z");
            Walk(true);
            Check();
            if (!FFault.empty()) return;
        }
        const std::string end = FModel.Text;
        std::vector<size_t> down, up;
        for (int i = 0; i < 20000 && memo.CanUndo(); ++i) {
            Do("key ctrl+Z");
            down.push_back(FModel.Hash());
            Check();
            if (!FFault.empty()) return;
        }
        if (FModel.Text != FStart) {
            FFault = "undoing everything does not give the start" + Diff(FStart, FModel.Text);
            return;
        }
        for (int i = 0; i < 20000 && memo.CanRedo(); ++i) {
            Do("key ctrl+shift+Z");
            up.push_back(FModel.Hash());
            Check();
            if (!FFault.empty()) return;
        }
        if (FModel.Text != end) {
            FFault = "redoing everything does not give the end" + Diff(end, FModel.Text);
            return;
        }
        // The same texts on the way back up, in the reverse order.
        if (!down.empty()) down.pop_back();
        std::reverse(down.begin(), down.end());
        if (!up.empty()) up.pop_back();
        if (down != up) FFault = "redo does not retrace the undo path";
    }

    void Check() {
        if (!FFault.empty()) return;
        if (!FModel.Fault.empty()) {
            FFault = FModel.Fault;
            return;
        }
        TCodeMemo& memo = Memo();
        TTextStore& store = memo.Store();
        const std::string& text = FModel.Text;
        if (StoredText() != text) {
            FFault = "the store's text is not the sum of its edits";
            return;
        }
        TSelectionPair sel = memo.Selection();
        for (int p : {sel.Anchor, sel.Caret}) {
            if (p < 0 || p > int(text.size())) {
                FFault = "the selection lies outside the text";
                return;
            }
            if (p < int(text.size()) &&
                (static_cast<unsigned char>(text[size_t(p)]) & 0xC0) == 0x80) {
                FFault = "the selection splits a character";
                return;
            }
        }
        // Rows: each ends where a fresh layout would end a row that starts there, or anywhere
        // that fits in a run without breaks.
        if (std::string rows = CheckStoreRows(store, memo.Wrap().Params()); !rows.empty()) {
            FFault = "the rows break the layout: " + rows;
            return;
        }
        // Highlighting: the bytes a fresh store and scan give the same text.
        if (auto* def = dynamic_cast<TCodeMemoParser*>(memo.ActiveDefinition())) {
            memo.View().ScanThrough(store.LineCount() - 1);
            // Every character's style byte, 0xEE where a row has none.
            auto bytesOf = [](const TTextStore& st) {
                std::vector<uint8_t> all;
                for (int i = 0; i < st.LineCount(); ++i) {
                    const TLineRecord& rec = st.Line(TRow(i));
                    std::vector<uint8_t> b =
                        rec.Extra ? rec.Extra->Attributes : std::vector<uint8_t>();
                    b.resize(size_t(st.RowLength(TRow(i))), 0xEE);
                    all.insert(all.end(), b.begin(), b.end());
                }
                return all;
            };
            const std::vector<uint8_t> got = bytesOf(store);
            TTextStore fresh;
            fresh.Insert(TOffset(0), text);
            TRescanner scanner(fresh);
            scanner.SetDefinition(def);
            scanner.ScanAll();
            const std::vector<uint8_t> want = bytesOf(fresh);
            if (got != want) {
                size_t at = 0;
                while (at < got.size() && at < want.size() && got[at] == want[at])
                    ++at;
                FFault = "the highlighting bytes differ from a fresh scan at " +
                         std::to_string(at) + " (row " + std::to_string(RowAt(store, int(at))) +
                         ")";
                return;
            }
        }
        // Bookmarks on the first row of the logical line they were set on.
        for (int n = 0; n < 10; ++n) {
            int at = FModel.Bookmarks[size_t(n)];
            int want = at < 0 ? -1 : RowAt(store, at);
            if (memo.BookmarkLine(n) != want) {
                FFault = "bookmark " + std::to_string(n) + " is on row " +
                         std::to_string(memo.BookmarkLine(n)) + ", not " + std::to_string(want);
                return;
            }
        }
        std::vector<std::pair<int, int>> marks;
        if (memo.LineTracker().HasMarks()) {
            TMarkList& list = memo.LineTracker().Marks();
            for (size_t i = 0; i < list.Count(); ++i)
                marks.emplace_back(list[i].Start.Value(), list[i].End.Value());
        }
        auto want = FModel.Marks;
        std::sort(marks.begin(), marks.end());
        std::sort(want.begin(), want.end());
        if (marks != want) FFault = "the marks moved off their text";
    }

    std::string Fail() {
        std::string name =
            std::string(QUILLET_BINARY_DIR) + "/random-edit-" + std::to_string(FSeed) + ".play";
        std::ofstream(name) << "# size " << FConfig.Width << " " << FConfig.Height << "\n"
                            << FScript;
        std::string last = FScript.substr(FScript.rfind('\n', FScript.size() - 2) + 1);
        if (last.size() > 200) last = last.substr(0, 200) + "...";
        return "seed " + std::to_string(FSeed) + ", step " + std::to_string(FStep) + ": " + FFault +
               "\n  after: " + last + " (script: " + name + ", --lang css --size " +
               std::to_string(FConfig.Width) + " " + std::to_string(FConfig.Height) + ")";
    }

    unsigned FSeed;
    int FSteps;
    std::mt19937 FRng;
    bool FHuge = false;
    TRunConfig FConfig;
    std::ostringstream FOut;
    std::unique_ptr<cli::IPlayer> FPlayer;
    TModel FModel;
    std::string FScript, FFault, FStart;
    int FStep = 0;
};

int EnvNumber(const char* name, int fallback) {
    const char* v = std::getenv(name);
    return v && *v ? std::atoi(v) : fallback;
}

TEST(RandomEdit, ControlAgreesWithItsModels) {
    if (const char* replay = std::getenv("QUILLET_RANDOM_REPLAY"); replay && *replay) {
        std::string fault = TRandomRun(0, 0).Replay(replay);
        EXPECT_EQ(fault, "");
        return;
    }
    int first = 1, last = 12;
    if (const char* v = std::getenv("QUILLET_RANDOM_SEEDS"); v && *v) {
        std::string s(v);
        size_t dash = s.find('-');
        if (dash == std::string::npos) {
            last = std::atoi(v);
        } else {
            first = std::atoi(s.substr(0, dash).c_str());
            last = std::atoi(s.substr(dash + 1).c_str());
        }
    }
    const int steps = EnvNumber("QUILLET_RANDOM_STEPS", 1500);
    int failures = 0;
    for (int seed = first; seed <= last && failures < 5; ++seed) {
        TRandomRun run(unsigned(seed), steps);
        std::string fault = run.Run();
        if (!fault.empty()) {
            ++failures;
            ADD_FAILURE() << fault;
        } else if (std::getenv("QUILLET_RANDOM_SEEDS")) {
            std::fprintf(stderr, "seed %d: %d steps clean\n", seed, steps); // long runs' progress
        }
    }
}

// Lines of 100,000 characters and more, with and without word wrap: their rows and highlighting
// after edits at both ends and in the middle against a fresh layout and a fresh scan.
TEST(RandomEdit, LongLinesAgreeWithAFreshLayoutAndScan) {
    const int steps = EnvNumber("QUILLET_RANDOM_STEPS", 1500) / 10;
    const int count = EnvNumber("QUILLET_RANDOM_LONG_SEEDS", 4);
    for (unsigned seed = 1; seed <= unsigned(count); ++seed) {
        std::string fault = TRandomRun(1000 + seed, steps, true).Run();
        if (!fault.empty()) ADD_FAILURE() << fault;
    }
}

} // namespace
} // namespace quillet
