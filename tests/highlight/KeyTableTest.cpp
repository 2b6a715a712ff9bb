#include "highlight/KeyboardActionController.h"
#include "highlight/Settings.h"
#include "resources/Strings.h"

#include <gtest/gtest.h>

using namespace quillet;

namespace {

TShortCut Ctrl(int vk) {
    return ShortCut(vk, scCtrl);
}

std::string ErrorOf(const std::function<void()>& fn) {
    try {
        fn();
    } catch (const EKeyError& e) {
        return e.what();
    }
    return "(no error)";
}

std::string Dup(const std::string& added, const std::string& held) {
    return "Duplicate key sequence definition for\r\n\"" + added + "\" and \"" + held + "\"";
}

// A small table with named commands 1..9.
TKeyboardActionContoller Named() {
    TKeyboardActionContoller t;
    for (int i = 1; i < 10; ++i)
        t.SetCommandName(i, "c" + std::to_string(i));
    return t;
}

struct TRecorder {
    std::vector<std::pair<int, bool>> Calls;
    void Wire(TKeyboardActionContoller& t) {
        t.OnRecognised = [this](TKeyboardActionContoller&, int32_t& c, bool extend) {
            Calls.emplace_back(c, extend);
        };
    }
};

bool Press(TKeyboardActionContoller& t, int vk, TShiftState shift = 0) {
    int key = vk;
    TShiftState s = shift;
    bool handled = t.ProcessKey(key, s);
    if (handled) {
        EXPECT_EQ(key, 0);
        EXPECT_EQ(s, 0);
    } else {
        EXPECT_EQ(key, vk);
        EXPECT_EQ(s, shift);
    }
    return handled;
}

std::vector<uint8_t> Saved(const TKeyboardActionContoller& t) {
    TMemoryStream s;
    t.SaveToStream(s);
    return s.Bytes();
}

} // namespace

TEST(KeyTable, DefaultTableMatchesTheBindingTable) {
    const auto& d = TKeyboardActionContoller::Default();
    ASSERT_EQ(d.CommandNames().size(), 48u);
    for (int id = 0; id < 48; ++id)
        EXPECT_EQ(d.CommandName(id), LoadStr(4146 + id)) << id;
    EXPECT_EQ(d.CommandName(17), "Indent selected block");
    EXPECT_EQ(d.CommandName(48), "");
    EXPECT_EQ(d.Store().Count(), 48);

    std::map<int, std::vector<std::pair<TShortCut, TShortCut>>> byCommand;
    for (const auto& b : d.Store().Bindings())
        byCommand[b.Command].emplace_back(b.First, b.Second);
    auto one = [&](int cmd, TShortCut k) {
        EXPECT_EQ(byCommand[cmd], (std::vector<std::pair<TShortCut, TShortCut>>{{k, 0}})) << cmd;
    };
    auto two = [&](int cmd, TShortCut a, TShortCut b) {
        EXPECT_EQ(byCommand[cmd], (std::vector<std::pair<TShortCut, TShortCut>>{{a, b}})) << cmd;
    };
    one(0, VK_LEFT), one(1, VK_RIGHT), one(2, VK_HOME), one(3, VK_END);
    one(4, VK_UP), one(5, VK_DOWN), one(6, VK_PRIOR), one(7, VK_NEXT);
    one(8, Ctrl(VK_LEFT)), one(9, Ctrl(VK_RIGHT)), one(10, Ctrl(VK_HOME)), one(11, Ctrl(VK_END));
    one(12, Ctrl('X')), one(13, Ctrl('C')), one(14, Ctrl('V'));
    one(15, VK_DELETE), one(16, VK_BACK), one(19, VK_INSERT);
    two(17, Ctrl('K'), 'I'), two(18, Ctrl('K'), 'U'), two(44, Ctrl('K'), 'P');
    for (int n = 0; n < 10; ++n) {
        two(20 + n, Ctrl('K'), TShortCut('0' + n));
        two(30 + n, Ctrl('Q'), TShortCut('0' + n));
    }
    one(40, Ctrl('Y')), one(41, Ctrl('Z')), one(42, ShortCut('Z', scCtrl | scShift));
    one(43, Ctrl(VK_BACK)), one(45, Ctrl(VK_DELETE)), one(46, Ctrl(VK_UP)), one(47, Ctrl(VK_DOWN));

    // Installation order shows in the root list: Ctrl+Backspace and Ctrl+Delete come first.
    const auto& nodes = d.Store().Nodes();
    ASSERT_GE(nodes.size(), 2u);
    EXPECT_EQ(nodes[0].Key, Ctrl(VK_BACK));
    EXPECT_EQ(nodes[1].Key, Ctrl(VK_DELETE));
    EXPECT_EQ(nodes[2].Key, VK_LEFT);
}

TEST(KeyTable, DuplicateBindingsAreRefusedAndLeaveTheTableIntact) {
    TKeyboardActionContoller t = Named();
    t.AddBinding(Ctrl('A'), 0, 1);
    t.AddBinding(Ctrl('K'), 'I', 2);
    t.AddBinding(Ctrl('K'), 'U', 3);
    std::vector<uint8_t> before = Saved(t);

    // The same one-key sequence twice.
    EXPECT_EQ(ErrorOf([&] { t.AddBinding(Ctrl('A'), 0, 4); }), Dup("c4", "c1"));
    // A one-key binding on a key that starts two-key sequences names the first child.
    EXPECT_EQ(ErrorOf([&] { t.AddBinding(Ctrl('K'), 0, 5); }), Dup("c5", "c2"));
    // A two-key sequence under a one-key binding.
    EXPECT_EQ(ErrorOf([&] { t.AddBinding(Ctrl('A'), 'B', 6); }), Dup("c6", "c1"));
    // The same two-key sequence, also when only the second key's modifiers differ.
    EXPECT_EQ(ErrorOf([&] { t.AddBinding(Ctrl('K'), 'U', 7); }), Dup("c7", "c3"));
    EXPECT_EQ(ErrorOf([&] { t.AddBinding(Ctrl('K'), Ctrl('I'), 8); }), Dup("c8", "c2"));
    // A failed first-key binding must not leave a node the matcher would recognise.
    EXPECT_EQ(ErrorOf([&] { t.AddBinding(Ctrl('K'), 0, 9); }), Dup("c9", "c2"));
    EXPECT_EQ(Saved(t), before);
    EXPECT_EQ(t.Store().Count(), 3);

    // Shift on a shift-neutral key is a different binding only to the store: the matcher drops it.
    t.AddBinding(VK_LEFT, 0, 4);
    t.AddBinding(ShortCut(VK_LEFT, scShift), 0, 5);
    TRecorder r;
    r.Wire(t);
    EXPECT_TRUE(Press(t, VK_LEFT, ssShift));
    EXPECT_EQ(r.Calls, (std::vector<std::pair<int, bool>>{{4, true}}));

    EXPECT_EQ(ErrorOf([&] { t.AddBinding('X', 0, -1); }), "Invalid command id -1");
}

TEST(KeyTable, DefaultTableRefusesCtrlKAlone) {
    TKeyboardActionContoller t;
    t.ResetToDefault();
    EXPECT_EQ(ErrorOf([&] { t.AddBinding(Ctrl('K'), 0, kcUndo); }),
              Dup("Undo", "Indent selected block"));
}

TEST(KeyTable, MatcherWalksTwoKeySequences) {
    TKeyboardActionContoller t;
    t.ResetToDefault();
    TRecorder r;
    r.Wire(t);

    // Ctrl+K I and Ctrl+K Ctrl+I both indent; the Ctrl key-down between them changes nothing.
    EXPECT_TRUE(Press(t, 'K', ssCtrl));
    EXPECT_TRUE(t.Store().AwaitingSecondKey());
    EXPECT_TRUE(r.Calls.empty());
    EXPECT_TRUE(Press(t, 'I'));
    EXPECT_TRUE(Press(t, 'K', ssCtrl));
    EXPECT_FALSE(Press(t, VK_CONTROL, ssCtrl));
    EXPECT_TRUE(Press(t, 'I', ssCtrl));
    EXPECT_EQ(r.Calls, (std::vector<std::pair<int, bool>>{{17, false}, {17, false}}));
    EXPECT_FALSE(t.Store().AwaitingSecondKey());

    // Ctrl+K then X: the sequence is cancelled and X goes on to be typed.
    r.Calls.clear();
    EXPECT_TRUE(Press(t, 'K', ssCtrl));
    EXPECT_FALSE(Press(t, 'X'));
    EXPECT_FALSE(t.Store().AwaitingSecondKey());
    EXPECT_FALSE(Press(t, 'I')); // a plain I afterwards is not a second key any more
    EXPECT_TRUE(r.Calls.empty());

    // Shift-neutral keys extend the selection; Shift+Delete is not one and is not bound.
    EXPECT_TRUE(Press(t, VK_LEFT, ssShift));
    EXPECT_TRUE(Press(t, VK_LEFT, ssShift | ssCtrl));
    EXPECT_TRUE(Press(t, VK_DELETE));
    EXPECT_FALSE(Press(t, VK_DELETE, ssShift));
    EXPECT_TRUE(Press(t, 'Z', ssCtrl | ssShift));
    EXPECT_EQ(r.Calls,
              (std::vector<std::pair<int, bool>>{{0, true}, {8, true}, {15, false}, {42, false}}));

    // A handler may change the command, and the sequence still resets.
    t.OnRecognised = [](TKeyboardActionContoller&, int32_t& c, bool) { c = 99; };
    EXPECT_TRUE(Press(t, 'Q', ssCtrl));
    EXPECT_TRUE(Press(t, '3'));
    EXPECT_EQ(t.Store().RecognisedCommand(), 33);
    EXPECT_FALSE(t.Store().AwaitingSecondKey());
}

TEST(KeyTable, EnumeratesTheKeysOfACommand) {
    TKeyboardActionContoller t = Named();
    t.AddBinding(Ctrl('A'), 0, 1);
    t.AddBinding(Ctrl('K'), 'A', 1);
    t.AddBinding(VK_F5, 0, 2);
    t.AddBinding(VK_F6, 0, 1);
    TShortCut a = 1, b = 1;
    std::vector<std::pair<TShortCut, TShortCut>> seen;
    for (bool more = t.FirstKeysOfCommand(1, a, b); more; more = t.NextKeysOfCommand(1, a, b))
        seen.emplace_back(a, b);
    // Stream order: the root list first, then the children.
    EXPECT_EQ(seen, (std::vector<std::pair<TShortCut, TShortCut>>{
                        {Ctrl('A'), 0}, {VK_F6, 0}, {Ctrl('K'), 'A'}}));
    EXPECT_EQ(a, 0);
    EXPECT_EQ(b, 0);
    // First-keys restarts the enumeration.
    EXPECT_TRUE(t.FirstKeysOfCommand(1, a, b));
    EXPECT_EQ(a, Ctrl('A'));
    EXPECT_FALSE(t.FirstKeysOfCommand(7, a, b));
}

TEST(KeyTable, StreamRoundTripIsByteExactAndDepthFirst) {
    TKeyboardActionContoller d;
    d.ResetToDefault();
    std::vector<uint8_t> first = Saved(d);

    TKeyboardActionContoller e;
    TMemoryStream in(first);
    e.LoadFromStream(in);
    EXPECT_EQ(in.Position(), in.Size());
    EXPECT_EQ(Saved(e), first);
    TKeyboardActionContoller f;
    f.Assign(e);
    EXPECT_EQ(Saved(f), first);
    EXPECT_EQ(e.CommandNames(), d.CommandNames());
    auto sorted = [](std::vector<TKeyBinding> v) {
        std::sort(v.begin(), v.end(),
                  [](const TKeyBinding& a, const TKeyBinding& b) { return a.Command < b.Command; });
        return v;
    };
    EXPECT_EQ(sorted(e.Store().Bindings()), sorted(d.Store().Bindings()));
    EXPECT_EQ(e.Store().Count(), 48);

    // Layout of a small table: names, then a node, the rest of its list, then its children.
    TKeyboardActionContoller t;
    t.SetCommandName(5, "ab");
    t.AddBinding(Ctrl('K'), 'I', 5);
    t.AddBinding(Ctrl('Q'), '1', 6);
    t.AddBinding(VK_F2, 0, 7);
    const std::vector<uint8_t> expected = {
        1,
        0,
        0,
        0,
        5,
        0,
        0,
        0,
        2,
        'a',
        'b', //
        3,
        0,
        0,
        0, //
        VK_F2,
        0,
        0,
        0,
        7,
        0,
        0,
        0, //
        'Q',
        0x40,
        '1',
        0,
        6,
        0,
        0,
        0, //
        // Ctrl+Q's child came before Ctrl+K's
        'K',
        0x40,
        'I',
        0,
        5,
        0,
        0,
        0,
    };
    EXPECT_EQ(Saved(t), expected);
    // Loading it back and saving again gives the same bytes, though the first keys were reordered.
    TKeyboardActionContoller u;
    TMemoryStream back(expected);
    u.LoadFromStream(back);
    EXPECT_EQ(Saved(u), expected);
}

TEST(KeyTable, BadStreamsLoseNothing) {
    TKeyboardActionContoller t;
    t.ResetToDefault();
    std::vector<uint8_t> good = Saved(t);

    // A table that binds one sequence twice fails with the duplicate error.
    TKeyboardActionContoller src = Named();
    src.AddBinding(VK_F2, 0, 1);
    std::vector<uint8_t> dup = Saved(src);
    // Append a second binding of F2 and raise the binding count to two.
    dup.insert(dup.end(), {VK_F2, 0, 0, 0, 2, 0, 0, 0});
    size_t countAt = dup.size() - 2 * 8 - 4;
    dup[countAt] = 2;
    TMemoryStream bad(dup);
    EXPECT_EQ(ErrorOf([&] { t.LoadFromStream(bad); }), Dup("c2", "c1"));
    EXPECT_EQ(Saved(t), good);

    // A cut-off stream fails with the stream error, and a name length past the end too.
    std::vector<uint8_t> cut(good.begin(), good.end() - 3);
    TMemoryStream c(cut);
    EXPECT_THROW(t.LoadFromStream(c), EStreamError);
    std::vector<uint8_t> longName = {1, 0, 0, 0, 0, 0, 0, 0, 200, 'x'};
    TMemoryStream l(longName);
    EXPECT_THROW(t.LoadFromStream(l), EStreamError);
    EXPECT_EQ(Saved(t), good);
}

namespace {
class TNotKeys : public TPersistentTable {
public:
    std::string ClassName() const override { return "TOther"; }
    void SaveToStream(TStream&) const override {}
    void LoadFromStream(TStream&) override {}
};
} // namespace

TEST(KeyTable, AssignCopiesKeyTablesOnly) {
    TKeyboardActionContoller t;
    t.Assign(TKeyboardActionContoller::Default());
    EXPECT_EQ(t.Store().Count(), 48);
    EXPECT_EQ(t.CommandName(41), "Undo");
    TNotKeys other;
    EXPECT_EQ(ErrorOf([&] { t.Assign(other); }),
              "Cannot assign a TOther to a TKeyboardActionContoller");
    EXPECT_EQ(t.Store().Count(), 48);

    // Names the stream cannot hold are refused whole, not cut.
    std::string longName(256, 'n');
    EXPECT_EQ(ErrorOf([&] { t.SetCommandName(3, longName); }),
              "The command name \"" + std::string(40, 'n') + "...\" is longer than 255 bytes");
    EXPECT_EQ(t.CommandName(3), "Line end");
    t.SetCommandName(3, std::string(255, 'n'));
    EXPECT_EQ(t.CommandNames().back().first.size(), 255u);
    EXPECT_EQ(t.CommandNames().size(), 48u);
}

TEST(KeyNames, NamesAndShortCutTexts) {
    EXPECT_EQ(KeyFromName("PageUp"), VK_PRIOR);
    EXPECT_EQ(KeyFromName("f12"), VK_F12);
    EXPECT_EQ(KeyFromName("return"), VK_RETURN);
    EXPECT_EQ(KeyFromName("esc"), 0);

    EXPECT_EQ(ShortCutToText(ShortCut('J', scCtrl)), "Ctrl+J");
    EXPECT_EQ(ShortCutToText(ShortCut('Z', scCtrl | scShift)), "Shift+Ctrl+Z");
    EXPECT_EQ(ShortCutToText(ShortCut(VK_F5, scAlt)), "Alt+F5");
    EXPECT_EQ(ShortCutToText(0), "");
    for (TShortCut k : {ShortCut('J', scCtrl), ShortCut(VK_LEFT, scShift | scAlt),
                        ShortCut(VK_OEM_1, 0), ShortCut(VK_NUMPAD0 + 7, scCtrl), ShortCut(0xE5, 0),
                        ShortCut(VK_F24, 0), ShortCut(VK_DELETE, scCtrl)})
        EXPECT_EQ(TextToShortCut(ShortCutToText(k)), k) << ShortCutToText(k);
    EXPECT_EQ(TextToShortCut("ctrl+shift+z"), ShortCut('Z', scCtrl | scShift));
    EXPECT_EQ(TextToShortCut(""), 0);
    EXPECT_EQ(ErrorOf([] { TextToShortCut("Ctrl+Nope"); }), "Unknown shortcut \"Ctrl+Nope\"");
    EXPECT_EQ(ErrorOf([] { TextToShortCut("Ctrl+"); }), "Unknown shortcut \"Ctrl+\"");
}

TEST(KeyTable, SettingsResetRestoresTheTables) {
    TCM_Settings s;
    EXPECT_EQ(s.KeyStore.Store().Count(), 48);
    EXPECT_EQ(s.Templates.TriggerShortCut(), ShortCut('J', scCtrl));
    EXPECT_EQ(s.AutoReplace.TriggerKeys(), ";,:.=()[]\\{Return}\\{Tab}\\{Space}");
    s.KeyStore.Clear();
    s.AutoReplace.AddEntry("teh", "", "the");
    s.AutoReplace.SetTriggerKeys("x");
    s.Templates.AddEntry("if", "", "if (|)");
    s.Templates.SetTriggerShortCut(ShortCut(VK_SPACE, scCtrl));
    s.Reset();
    EXPECT_EQ(s.KeyStore.Store().Count(), 48);
    EXPECT_EQ(s.KeyStore.CommandName(0), "Cursor left");
    EXPECT_EQ(s.AutoReplace.Count(), 0);
    EXPECT_EQ(s.AutoReplace.TriggerKeys(), TAutoReplace::DefaultTriggerKeys);
    EXPECT_EQ(s.Templates.Count(), 0);
    EXPECT_EQ(s.Templates.TriggerShortCut(), ShortCut('J', scCtrl));
}
