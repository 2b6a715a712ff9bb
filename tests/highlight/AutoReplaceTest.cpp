#include "highlight/AutoReplace.h"
#include "highlight/AutoReplaceExpansion.h"
#include "platform/headless/UsKeyboard.h"
#include "resources/Strings.h"

#include <gtest/gtest.h>

using namespace quillet;

namespace {

const TUsKeyboardLayout kUs;

// An editor in a string: CR line ends, an ordered selection, a log of undo groups and edits.
class TFakeTarget : public IExpansionTarget {
public:
    std::string Text;
    int SelStart = 0, SelEnd = 0;
    std::vector<std::string> Log;
    int Depth = 0;
    int Popups = 0;
    mutable size_t LongestRead = 0; // the most LineBeforeCaret handed out at once
    std::function<void(const std::string&, std::string&)> OnTemplate;
    std::function<void(int, const std::string&, std::string&, bool&)> OnAutoReplace;

    void Put(std::string text) {
        Text = std::move(text);
        SelStart = SelEnd = int(Text.size());
    }
    int LineStart(int offset) const {
        size_t cr = offset > 0 ? Text.rfind('\r', size_t(offset - 1)) : std::string::npos;
        return cr == std::string::npos ? 0 : int(cr) + 1;
    }

    std::string LineBeforeCaret(size_t limit) const override {
        int start = std::max(LineStart(SelEnd), SelEnd - int(std::min<size_t>(limit, SelEnd)));
        LongestRead = std::max(LongestRead, size_t(SelEnd - start));
        return Text.substr(size_t(start), size_t(SelEnd - start));
    }
    int CharAtCaret() const override {
        return size_t(SelEnd) < Text.size() && Text[size_t(SelEnd)] != '\r'
                   ? uint8_t(Text[size_t(SelEnd)])
                   : -1;
    }
    void GetSelection(int& start, int& end) const override {
        start = SelStart;
        end = SelEnd;
    }
    void SetSelection(int start, int end) override {
        SelStart = start;
        SelEnd = end;
    }
    int DisplayColumn(int offset) const override {
        int column = 0;
        for (int i = LineStart(offset); i < offset; ++i)
            column = Text[size_t(i)] == '\t' ? (column / 4 + 1) * 4 : column + 1;
        return column;
    }
    void ReplaceRange(int start, int end, std::string_view text) override {
        EXPECT_EQ(Depth, 1) << "edits belong in the undo group";
        Text.replace(size_t(start), size_t(end - start), text);
        Log.push_back("replace " + std::to_string(start) + " " + std::to_string(end));
    }
    void SetCaret(int offset) override { SelStart = SelEnd = offset; }
    void BeginUndoGroup(int id) override {
        ++Depth;
        Log.push_back("begin " + std::to_string(id));
    }
    void EndUndoGroup(int id) override {
        --Depth;
        Log.push_back("end " + std::to_string(id));
    }
    void TemplateEvent(const std::string& name, std::string& text) override {
        if (OnTemplate) OnTemplate(name, text);
    }
    void AutoReplaceEvent(int wordStart, const std::string& name, std::string& text,
                          bool& canReplace) override {
        if (OnAutoReplace) OnAutoReplace(wordStart, name, text, canReplace);
    }
    void ShowMacroPopup(TMacroKeywords&) override { ++Popups; }

    // Types as the control would: templates, then auto-replace, then the character itself.
    void Type(std::string_view chars, TMacroKeywords* templates, TMacroKeywords* replace) {
        for (char c : chars) {
            TKeyStroke k = *kUs.KeyForChar(char32_t(c));
            bool handled = false;
            if (templates && templates->ProcessKey(*this, k.VirtualKey, handled, k.Shift)) continue;
            if (replace) replace->ProcessKey(*this, k.VirtualKey, handled, k.Shift);
            if (handled) continue;
            Text.insert(size_t(SelEnd), 1, c == '\n' ? '\r' : c);
            SelStart = ++SelEnd;
        }
    }
};

std::string ErrorOf(const std::function<void()>& fn) {
    try {
        fn();
    } catch (const EKeyError& e) {
        return e.what();
    }
    return "(no error)";
}

std::vector<uint8_t> Saved(const TMacroKeywords& t) {
    TMemoryStream s;
    t.SaveToStream(s);
    return s.Bytes();
}

uint16_t Code(char c) {
    TKeyStroke k = *kUs.KeyForChar(char32_t(c));
    return uint16_t(k.VirtualKey | ((k.Shift & ssShift) ? tkShift : 0));
}

} // namespace

TEST(AutoReplaceEntries, AddReplaceDeleteAndFind) {
    TCodeTemplates t;
    t.AddEntry("Alpha", "first", "a\r\nb\nc");
    t.AddEntry("beta", "", "B");
    ASSERT_EQ(t.Count(), 2);
    EXPECT_EQ(t.Entries().begin()->first, "alpha");
    EXPECT_EQ(*t.FindExpansion("ALPHA"), "a\rb\rc");
    // The first entry in name order is replaced, not doubled.
    t.AddEntry("ALPHA", "again", "x");
    EXPECT_EQ(t.Count(), 2);
    EXPECT_EQ(t.Entries().at("alpha"), (TMacroEntry{"again", "x"}));

    // Deleting rebuilds the matcher: the deleted name no longer fires, the others still do.
    TFakeTarget f;
    ConnectExpansion(t, f);
    t.DeleteEntry("Alpha");
    EXPECT_EQ(t.FindExpansion("alpha"), nullptr);
    f.Put("alpha");
    bool handled = false;
    EXPECT_FALSE(t.ProcessKey(f, 'J', handled, ssCtrl));
    f.Put("beta");
    EXPECT_TRUE(t.ProcessKey(f, 'J', handled, ssCtrl));
    EXPECT_TRUE(handled);
    EXPECT_EQ(f.Text, "B");

    EXPECT_EQ(ErrorOf([&] { t.AddEntry("", "d", "x"); }), "An entry needs a name");
    EXPECT_EQ(ErrorOf([&] { t.AddEntry(std::string(256, 'n'), "", "x"); }),
              "The name \"" + std::string(40, 'n') + "...\" is longer than 255 bytes");
    EXPECT_EQ(ErrorOf([&] { t.AddEntry("n", std::string(300, 'd'), "x"); }),
              "The description \"" + std::string(40, 'd') + "...\" is longer than 255 bytes");
    t.AddEntry(std::string(255, 'n'), std::string(255, 'd'), std::string(1000, 'x'));
    EXPECT_EQ(t.Count(), 2);
    t.Clear();
    EXPECT_EQ(t.Count(), 0);
}

TEST(AutoReplaceTriggers, SpecificationParsing) {
    std::vector<uint16_t> keys = ParseTriggerKeys(TAutoReplace::DefaultTriggerKeys, &kUs);
    std::vector<uint16_t> expected = {Code(';'), Code(','), Code(':'), Code('.'),
                                      Code('='), Code('('), Code(')'), Code('['),
                                      Code(']'), VK_RETURN, VK_TAB,    VK_SPACE};
    EXPECT_EQ(keys, expected);
    EXPECT_EQ(Code('('), '9' | tkShift);

    // Escapes; each key once; an escaped character that needs Shift and an unknown name give
    // no key; letters of a name are taken in any case, other characters skipped.
    EXPECT_EQ(ParseTriggerKeys("\\n\\r\\s\\t\\;\\(\\{Page-Up}\\{nothing}aA", &kUs),
              (std::vector<uint16_t>{VK_RETURN, VK_SPACE, VK_TAB, VK_OEM_1, VK_PRIOR, 'A',
                                     'A' | tkShift}));
    EXPECT_EQ(ParseTriggerKeys("\\{F5}\\", &kUs), (std::vector<uint16_t>{VK_F5}));
    EXPECT_EQ(ParseTriggerKeys("", &kUs), (std::vector<uint16_t>{}));
    EXPECT_EQ(ParseTriggerKeys("\xD0\xB6", &kUs), (std::vector<uint16_t>{})); // not on the layout
    EXPECT_EQ(ErrorOf([] { ParseTriggerKeys("ab\\{return", &kUs); }), "Bad key specifier");

    TAutoReplace a;
    a.SetKeyboardLayout(&kUs);
    EXPECT_TRUE(a.IsTrigger('9', ssShift));
    EXPECT_FALSE(a.IsTrigger('9', 0));
    EXPECT_TRUE(a.IsTrigger(VK_SPACE, 0));
    EXPECT_FALSE(a.IsTrigger(VK_SPACE, ssCtrl));
    std::vector<uint16_t> before = a.TriggerKeyList();
    EXPECT_EQ(ErrorOf([&] { a.SetTriggerKeys("\\{tab"); }), "Bad key specifier");
    EXPECT_EQ(ErrorOf([&] { a.SetTriggerKeys(std::string(256, ';')); }),
              "The trigger key specification \"" + std::string(40, ';') +
                  "...\" is longer than 255 bytes");
    EXPECT_EQ(a.TriggerKeys(), TAutoReplace::DefaultTriggerKeys);
    EXPECT_EQ(a.TriggerKeyList(), before);
    a.SetEnabled(false);
    EXPECT_FALSE(a.IsTrigger(VK_SPACE, 0));
    a.SetEnabled(true);
    a.SetTriggerKeys("");
    EXPECT_FALSE(a.IsTrigger(VK_SPACE, 0));

    TCodeTemplates t;
    EXPECT_TRUE(t.IsTrigger('J', ssCtrl));
    EXPECT_FALSE(t.IsTrigger('J', ssCtrl | ssShift));
    EXPECT_FALSE(t.IsTrigger('J', 0));
    t.SetEnabled(false);
    EXPECT_FALSE(t.IsTrigger('J', ssCtrl));
}

TEST(AutoReplaceTyping, ReplacesWholeWordsAndTypesTheKey) {
    TAutoReplace a;
    a.SetKeyboardLayout(&kUs);
    a.AddEntry("teh", "typo", "the");
    a.AddEntry("(c)", "", "\xC2\xA9");
    TFakeTarget f;
    ConnectExpansion(a, f);

    f.Type("say teh ", nullptr, &a);
    EXPECT_EQ(f.Text, "say the ");
    EXPECT_EQ(f.Log, (std::vector<std::string>{"begin 18", "replace 4 7", "end 18"}));
    EXPECT_EQ(f.SelEnd, 8);

    // The tail of a longer word, or a name followed by a word character, is left alone.
    f.Log.clear();
    f.Type("xteh ", nullptr, &a);
    EXPECT_EQ(f.Text, "say the xteh ");
    f.Put("teh");
    f.Text += "s";
    bool handled = false;
    EXPECT_TRUE(a.ProcessKey(f, VK_SPACE, handled, 0));
    EXPECT_FALSE(handled);
    EXPECT_EQ(f.Text, "tehs");
    EXPECT_TRUE(f.Log.empty());

    // Typed case is matched; a name of punctuation fires after a letter since its text does not
    // start a word; the trigger key goes on to be typed.
    f.Put("");
    f.Type("Teh\rab(c);", nullptr, &a);
    EXPECT_EQ(f.Text, "the\rab\xC2\xA9;");

    // The control's handler sees the word's start and may change the text or refuse.
    std::vector<std::string> seen;
    f.OnAutoReplace = [&](int start, const std::string& name, std::string& text, bool& can) {
        seen.push_back(std::to_string(start) + ":" + name + ":" + (can ? "y" : "n"));
        if (name == "teh") text = "THE";
        if (name == "TEH") can = false;
    };
    f.Put("x ");
    f.Type("teh TEH.", nullptr, &a);
    EXPECT_EQ(f.Text, "x THE TEH.");
    EXPECT_EQ(seen, (std::vector<std::string>{"2:teh:y", "6:TEH:y"}));

    // Nothing matched: the partial word is kept, and no list is offered by default.
    f.Put("abc");
    EXPECT_FALSE(a.ProcessKey(f, VK_SPACE, handled, 0));
    EXPECT_EQ(a.PartialWord(), "abc");
    EXPECT_EQ(f.Popups, 0);

    // At the end of a line of megabytes a key reads a short tail of it, not the whole line;
    // only a word longer than that tail is read back to its start.
    const std::string longLine(1 << 20, ';');
    f.OnAutoReplace = nullptr;
    f.Put(longLine + "teh");
    f.LongestRead = 0;
    f.Type(" ab ", nullptr, &a);
    EXPECT_EQ(f.Text.substr(longLine.size()), "the ab ");
    EXPECT_LE(f.LongestRead, 1024u);
    const std::string longWord(5000, 'w');
    f.Put(longLine + longWord);
    EXPECT_FALSE(a.ProcessKey(f, VK_SPACE, handled, 0));
    EXPECT_EQ(a.PartialWord(), longWord);
}

TEST(AutoReplaceTemplates, ExpandsWithCaretMarkerAndIndent) {
    TCodeTemplates t;
    t.AddEntry("ife", "if else", "if (|) {\r\n} else {\n}");
    TFakeTarget f;
    ConnectExpansion(t, f);
    f.Put("x\r    ife");
    bool handled = false;
    EXPECT_TRUE(t.ProcessKey(f, 'J', handled, ssCtrl));
    EXPECT_TRUE(handled);
    EXPECT_EQ(f.Text, "x\r    if () {\r    } else {\r    }");
    EXPECT_EQ(f.SelEnd, 2 + 4 + 4);
    EXPECT_EQ(f.SelStart, f.SelEnd);
    EXPECT_EQ(f.Log, (std::vector<std::string>{"begin 18", "replace 6 9", "end 18"}));

    // A tab before the word counts by display column; at the very end of the text too.
    f.Put("\tife");
    f.Log.clear();
    t.ProcessKey(f, 'J', handled, ssCtrl);
    EXPECT_EQ(f.Text, "\tif () {\r    } else {\r    }");

    // The handler may change the text; with the flags off, "|" stays and nothing is indented.
    t.SetCaretMarker(false);
    t.SetIndentExpansion(false);
    f.OnTemplate = [](const std::string& name, std::string& text) { text = name + "|\n!"; };
    f.Put("  ife");
    t.ProcessKey(f, 'J', handled, ssCtrl);
    EXPECT_EQ(f.Text, "  ife|\r!");
    EXPECT_EQ(f.SelEnd, int(f.Text.size()));

    // A selection is replaced along with the name before it.
    f.OnTemplate = nullptr;
    f.Text = "ife tail";
    f.SelStart = 3;
    f.SelEnd = 8;
    // The caret is at the selection's end, so the name does not end there: nothing fires.
    EXPECT_FALSE(t.ProcessKey(f, 'J', handled, ssCtrl));
    f.SelEnd = 3;
    f.SelStart = 3;
    t.ProcessKey(f, 'J', handled, ssCtrl);
    EXPECT_EQ(f.Text, "if (|) {\r} else {\r} tail");
}

TEST(AutoReplaceTemplates, PopupWhenNothingMatches) {
    TCodeTemplates t;
    t.AddEntry("for", "for loop", "for (|;;)");
    t.AddEntry("while", "while loop", "while (|)");
    t.AddEntry("whilst", "", "whilst");
    TFakeTarget f;
    ConnectExpansion(t, f);
    f.Put("a hil");
    bool handled = false;
    EXPECT_FALSE(t.ProcessKey(f, 'J', handled, ssCtrl));
    EXPECT_TRUE(handled);
    EXPECT_EQ(f.Popups, 1);
    EXPECT_EQ(t.PartialWord(), "hil");

    TMacroPopupList list(t);
    ASSERT_EQ(list.Count(), 3);
    EXPECT_EQ(list.ItemText(0), "for loop\tfor");
    EXPECT_EQ(list.Selected(), 1); // the first name containing "hil"
    list.SelectPartialWord(f);
    EXPECT_EQ(f.SelStart, 2);
    EXPECT_EQ(f.SelEnd, 5);
    // Escape: the list just closes, the text is as it was.
    EXPECT_EQ(f.Text, "a hil");

    // Incremental search over name starts.
    list.TypeChar('W');
    EXPECT_EQ(list.Selected(), 1);
    list.TypeChar('h');
    list.TypeChar('x'); // no "whx": restart with "x", which matches nothing either
    EXPECT_EQ(list.SearchText(), "");
    EXPECT_EQ(list.Selected(), 1);
    list.TypeChar('f');
    list.TypeChar('w'); // "fw" fails, "w" alone matches
    EXPECT_EQ(list.SearchText(), "w");
    EXPECT_EQ(list.Selected(), 1);
    // Backspace shortens the search text; with none left it reports so.
    EXPECT_TRUE(list.Backspace());
    EXPECT_EQ(list.SearchText(), "");
    EXPECT_EQ(list.Selected(), 1);
    EXPECT_FALSE(list.Backspace());
    // A two-byte character is one character of the search: after "w" it is tried alone and,
    // matching nothing, dropped whole.
    list.TypeChar('w');
    list.TypeChar("\xD0\xB6");
    EXPECT_EQ(list.SearchText(), "");
    EXPECT_EQ(list.Selected(), 1);
    list.TypeChar('w');
    list.TypeChar('h');
    EXPECT_TRUE(list.Backspace());
    EXPECT_EQ(list.SearchText(), "w");
    list.SetSelected(2);

    // Choosing "whilst" replaces the partial word it contains.
    EXPECT_TRUE(list.Choose(f));
    EXPECT_EQ(f.Text, "a whilst");

    // A chosen name without the partial word: the selection collapses and the word stays.
    f.Put("a hil");
    t.ProcessKey(f, 'J', handled, ssCtrl);
    TMacroPopupList other(t);
    other.SelectPartialWord(f);
    other.SetSelected(0);
    EXPECT_TRUE(other.Choose(f));
    EXPECT_EQ(f.Text, "a hilfor (;;)");
    EXPECT_EQ(f.SelEnd, 10);

    // No list on an empty table or with the flag off.
    t.SetPopupWhenNoMatch(false);
    handled = false;
    t.ProcessKey(f, 'J', handled, ssCtrl);
    EXPECT_FALSE(handled);
    TCodeTemplates empty;
    empty.ProcessKey(f, 'J', handled, ssCtrl);
    EXPECT_FALSE(handled);
    EXPECT_EQ(f.Popups, 2);
    TMacroPopupList none(empty);
    EXPECT_EQ(none.Selected(), -1);
    EXPECT_FALSE(none.Choose(f));
}

TEST(AutoReplaceStreams, RoundTripsAndLayout) {
    TCodeTemplates t;
    t.AddEntry("b", "", "x\ry");
    t.AddEntry("a", "desc", "");
    t.SetEnabled(false);
    const std::vector<uint8_t> expected = {
        2, 0,   0, 0,                                     //
        1, 'a', 4, 'd', 'e', 's', 'c', 0,   0,    0,   0, //
        1, 'b', 0, 3,   0,   0,   0,   'x', '\r', 'y',    //
        6, 0,   0, 0,   'C', 't', 'r', 'l', '+',  'J', 0, 0, 0, 0,
    };
    EXPECT_EQ(Saved(t), expected);
    TCodeTemplates back;
    TMemoryStream in(expected);
    back.LoadFromStream(in);
    EXPECT_EQ(Saved(back), expected);
    EXPECT_FALSE(back.Enabled());
    EXPECT_EQ(back.Entries(), t.Entries());

    TAutoReplace a;
    a.SetKeyboardLayout(&kUs);
    a.AddEntry("teh", "", "the");
    a.SetTriggerKeys("\\s;");
    a.SetTriggerShortCut(ShortCut(VK_SPACE, scShift | scCtrl));
    std::vector<uint8_t> bytes = Saved(a);
    EXPECT_EQ(std::string(bytes.end() - 4, bytes.end()), std::string("\3\\s;"));
    TAutoReplace b;
    b.SetKeyboardLayout(&kUs);
    TMemoryStream ain(bytes);
    b.LoadFromStream(ain);
    EXPECT_EQ(Saved(b), bytes);
    EXPECT_EQ(b.TriggerKeyList(), (std::vector<uint16_t>{VK_SPACE, VK_OEM_1}));
    EXPECT_EQ(b.TriggerShortCut(), ShortCut(VK_SPACE, scShift | scCtrl));

    TAutoReplace c;
    c.SetKeyboardLayout(&kUs);
    c.Assign(b);
    EXPECT_EQ(Saved(c), bytes);
}

TEST(AutoReplaceStreams, BadStreamsAndAssignLoseNothing) {
    TAutoReplace a;
    a.SetKeyboardLayout(&kUs);
    a.AddEntry("teh", "", "the");
    std::vector<uint8_t> good = Saved(a);

    // A trigger specification without its closing brace.
    TAutoReplace bad;
    bad.SetKeyboardLayout(&kUs);
    std::vector<uint8_t> b = Saved(bad);
    b.back() = '{';
    b.insert(b.end() - 1, '\\');
    b[b.size() - 3] = 2;
    TMemoryStream bs(b);
    EXPECT_EQ(ErrorOf([&] { a.LoadFromStream(bs); }), "Bad key specifier");
    EXPECT_EQ(Saved(a), good);

    // An unreadable shortcut text, and a stream cut short.
    std::vector<uint8_t> s = {0, 0, 0, 0, 3, 0, 0, 0, 'B', 'a', 'd', 1, 0, 0, 0, 0};
    TMemoryStream ss(s);
    EXPECT_EQ(ErrorOf([&] { a.LoadFromStream(ss); }), "Unknown shortcut \"Bad\"");
    std::vector<uint8_t> cut(good.begin(), good.end() - 2);
    TMemoryStream cs(cut);
    EXPECT_THROW(a.LoadFromStream(cs), EStreamError);
    std::vector<uint8_t> huge = {1, 0, 0, 0, 1, 'x', 0, 0xFF, 0xFF, 0xFF, 0x7F};
    TMemoryStream hs(huge);
    EXPECT_THROW(a.LoadFromStream(hs), EStreamError);
    EXPECT_EQ(Saved(a), good);

    // Only a table of the same class can be assigned.
    TCodeTemplates t;
    EXPECT_EQ(ErrorOf([&] { t.Assign(a); }), "Cannot assign TAutoReplace to TCodeTemplates");
    EXPECT_EQ(ErrorOf([&] { a.Assign(t); }), "Cannot assign TCodeTemplates to TAutoReplace");
    EXPECT_EQ(Saved(a), good);
}

TEST(AutoReplaceTemplates, PopupLayoutAndPlacement) {
    TCodeTemplates t;
    t.AddEntry("for", "for loop", "");
    t.AddEntry("while", "", "");
    TMacroPopupList list(t);
    // 7 pixels a character, 8 in bold.
    list.Measure([](std::string_view s, bool bold) { return int(s.size()) * (bold ? 8 : 7); });
    EXPECT_EQ(list.WidestDescription(), 56);
    EXPECT_EQ(list.WidestName(), 40);
    EXPECT_EQ(list.NameColumn(), 80);
    EXPECT_EQ(list.Width(), 144);

    const TSize client{400, 300};
    // Below the caret line when it fits, else above it.
    EXPECT_EQ(PlaceMacroPopup(50, 100, 117, {144, 80}, client), (TPoint{50, 117}));
    EXPECT_EQ(PlaceMacroPopup(50, 230, 247, {144, 80}, client), (TPoint{50, 150}));
    // Moved left when it would pass the right edge; a list wider than the control stays at 0.
    EXPECT_EQ(PlaceMacroPopup(300, 0, 17, {144, 80}, client), (TPoint{232, 17}));
    EXPECT_EQ(PlaceMacroPopup(10, 0, 17, {420, 80}, client), (TPoint{0, 17}));
}

TEST(AutoReplaceTyping, SharedTableExpandsWhereTheKeyWasPressed) {
    // Two controls on one definition share its tables; neither wires a callback.
    TAutoReplace a;
    a.SetKeyboardLayout(&kUs);
    a.AddEntry("teh", "", "the");
    TFakeTarget one, two;
    one.Put("teh");
    two.Put("a teh");
    bool handled = false;
    EXPECT_TRUE(a.ProcessKey(two, VK_SPACE, handled, 0));
    EXPECT_EQ(two.Text, "a the");
    EXPECT_EQ(one.Text, "teh");
    EXPECT_TRUE(a.ProcessKey(one, VK_SPACE, handled, 0));
    EXPECT_EQ(one.Text, "the");

    // A fire callback replaces the standard expansion.
    std::string fired;
    a.OnFire = [&](TMacroKeywords&, const std::string* name, std::string& text) {
        fired = *name + "=" + text;
    };
    one.Put("TEH");
    EXPECT_TRUE(a.ProcessKey(one, VK_SPACE, handled, 0));
    EXPECT_EQ(fired, "TEH=the");
    EXPECT_EQ(one.Text, "TEH");
}
