#include "editor/Rescan.h"
#include "editor/ScanStates.h"
#include "highlight/DefinitionError.h"
#include "highlight/ShippedDefinition.h"
#include "tests/StoreRows.h"
#include "tests/highlight/SampleCssDefinition.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <map>
#include <random>
#include <string>
#include <vector>

using namespace quillet;
using namespace quillet::testdef;

namespace {

// "[...]" becomes a container: inside it the value state (50) holds, the token value is 30.
void AddContainer(TCodeMemoParser& def) {
    def.Keywords.Add("[", 30, TStateSet::Of({50}));
    TContinuationRule rule;
    rule.Body.Flag = 1;
    rule.Body.Group = uint16_t(G(def, "", true));
    rule.End.Flag = 1;
    rule.End.EndCount = 1;
    rule.End.EndGroups[0] = uint16_t(G(def, "]"));
    def.Continuations[30] = rule;
    Effect(def, 30, TStateSet::Of({50}), TStateSet::Of({53}), TStateSet::Of({50}));
    def.Effects[30]->Bound = true;
}

// The bytes a single pass of the tokenizer over the whole text gives (no containers).
std::vector<uint8_t> Reference(TCodeMemoParser& p, const std::string& text) {
    std::vector<uint8_t> out(text.size());
    TTokenCursor cur{reinterpret_cast<const uint8_t*>(text.data()), text.size(), 0};
    p.ResetState(0);
    p.State = p.StartState;
    p.SelectStartTable();
    while (!cur.AtEnd()) {
        size_t from = cur.Pos;
        uint8_t v = uint8_t(p.NextToken(cur));
        for (size_t i = from; i < cur.Pos; ++i)
            out[i] = v;
    }
    return out;
}

std::vector<uint8_t> StoredBytes(const TTextStore& s) {
    std::vector<uint8_t> out;
    for (int i = 0; i < s.LineCount(); ++i) {
        const auto& rec = s.Line(TRow(i));
        std::vector<uint8_t> b = rec.Extra ? rec.Extra->Attributes : std::vector<uint8_t>();
        b.resize(size_t(s.RowLength(TRow(i))), 0xEE); // missing bytes show up as 0xEE
        out.insert(out.end(), b.begin(), b.end());
    }
    return out;
}

// Cuts rows [first, first + count) of one logical line anew at random lengths up to `most`, as
// word wrap does.
void Recut(TTextStore& store, int first, int count, std::mt19937& rng, int most = 2500) {
    count = std::min(count, store.LineCount() - first);
    int total = 0;
    for (int i = first; i < first + count; ++i) {
        if (i + 1 < first + count && store.RowEndsInBreak(TRow(i))) return;
        total += store.RowLength(TRow(i));
    }
    std::vector<int> rows;
    for (int left = total; left > 0;) {
        rows.push_back(std::min(left, 1 + int(rng() % unsigned(most))));
        left -= rows.back();
    }
    store.RecutRows(TRow(first), count, rows);
}

std::vector<uint8_t> LineBytes(const TTextStore& s, int line) {
    const auto& rec = s.Line(TRow(line));
    return rec.Extra ? rec.Extra->Attributes : std::vector<uint8_t>();
}

std::string Rules(int count) {
    std::string t;
    for (int i = 0; i < count; ++i)
        t.append("h")
            .append(1, char('0' + i % 7))
            .append(" {\r  color: #a0b0c0;\r  margin: 12.5;\r}\r");
    return t;
}

class RescanTest : public ::testing::Test {
protected:
    void SetUp() override { BuildCss(P); }
    void Load(const std::string& text) {
        Store.Insert(TOffset(0), text);
        R.SetDefinition(&P);
        R.ScanAll();
        for (int i = 0; i < Store.LineCount(); ++i) // as if painted
            Store.Line(TRow(i)).Flags &= ~lfRepaint;
    }
    // Tokens seen by the next scan, as text offsets.
    std::vector<std::pair<int, int>> Track() {
        Seen.clear();
        R.OnTokenSeen = [this](TRescanner&, uint8_t&, int a, int b) { Seen.push_back({a, b}); };
        return {};
    }
    TCodeMemoParser P;
    TTextStore Store;
    TRescanner R{Store};
    std::vector<std::pair<int, int>> Seen;
};

} // namespace

TEST_F(RescanTest, WholeTextAgreesWithOnePassOverTheText) {
    std::string text =
        "/* head\r   still comment */\rh1 { color: #ff0000; }\r.x{margin:12.}\r/* open";
    Load(text);
    EXPECT_FALSE(R.Pending());
    EXPECT_EQ(StoredBytes(Store), Reference(P, Store.StoredText(TOffset(0), Store.TextEnd())));
    // A multi-line token colours its line ends too.
    EXPECT_EQ(LineBytes(Store, 0), std::vector<uint8_t>(8, 19));
    EXPECT_EQ(LineBytes(Store, 4), std::vector<uint8_t>(7, 19));
    for (int i = 0; i < Store.LineCount(); ++i)
        EXPECT_EQ(Store.Line(TRow(i)).Flags & (lfRescan | lfScanRestart), 0u) << i;
}

TEST_F(RescanTest, OpeningACommentRecoloursUntilLinesComeOutUnchanged) {
    Load(Rules(5) + "/* one */\r" + Rules(5) + "/* two */\r" + Rules(40));
    const std::vector<uint8_t> before = StoredBytes(Store);
    // Dropping the first comment's end runs it on into the second comment.
    Store.Delete(TOffset(RowStart(Store, 20) + 6), 3);
    Track();
    R.Rescan();
    EXPECT_EQ(StoredBytes(Store), Reference(P, Store.StoredText(TOffset(0), Store.TextEnd())));
    for (int i = 20; i < 41; ++i)
        ASSERT_EQ(LineBytes(Store, i), std::vector<uint8_t>(size_t(Store.RowLength(TRow(i))), 19))
            << i;
    ASSERT_FALSE(Seen.empty());
    EXPECT_LT(Seen.back().second, RowStart(Store, 44));
    EXPECT_EQ(Store.Line(TRow(43)).Flags & lfRepaint, 0u);
    // Closing it again restores every line and stops just as early.
    Store.Insert(TOffset(RowStart(Store, 20) + 6), " */");
    Track();
    R.Rescan();
    EXPECT_EQ(StoredBytes(Store), before);
    EXPECT_LT(Seen.back().second, RowStart(Store, 44));
    // An edit that changes nothing after its line settles on the next one.
    Store.Insert(TOffset(RowStart(Store, 103) + 9), "f");
    Track();
    R.Rescan();
    EXPECT_EQ(StoredBytes(Store), Reference(P, Store.StoredText(TOffset(0), Store.TextEnd())));
    EXPECT_LE(Seen.back().second, RowStart(Store, 105));
}

TEST_F(RescanTest, RestartsAtTheRowEndOrAnchorTokenBeforeTheChange) {
    Load("h1 {\r  color: red;\r  margin: 1;\r}\r");
    Store.Insert(TOffset(RowStart(Store, 2) + 2), "x");
    Track();
    R.Rescan();
    ASSERT_FALSE(Seen.empty());
    EXPECT_EQ(Seen.front().first, RowStart(Store, 2)); // the state kept at the row end above
    EXPECT_EQ(StoredBytes(Store), Reference(P, Store.StoredText(TOffset(0), Store.TextEnd())));

    // A multi-line anchor token restarts at its first character.
    P.Anchor = TStateSet::Of({19});
    R.SetDefinition(&P);
    R.ScanAll();
    TTextStore& s = Store;
    s.Insert(TOffset(0), "/* a\rb\rc */ ");
    R.ScanAll();
    s.Insert(TOffset(RowStart(s, 1) + 1),
             "q"); // inside the comment: no row end above is a checkpoint
    Track();
    R.Rescan();
    EXPECT_EQ(Seen.front().first, 0);
    EXPECT_EQ(StoredBytes(Store), Reference(P, Store.StoredText(TOffset(0), Store.TextEnd())));
}

// A comment left open to the end of a long line spans more rows than the checkpoint search
// looks back over among short lines; an edit at the end still resumes just before the comment,
// not at the selector at the line's start.
TEST_F(RescanTest, ResumesBeforeATokenThatSpansManyRowsOfALongLine) {
    std::string line = "h1 {";
    for (int i = 0; i < 3000; ++i)
        line += "a:1;";
    const int comment = int(line.size());
    line += "/*" + std::string(200000, 'c');
    Load(line);
    std::vector<int> rows(line.size() / 2047, 2047);
    rows.push_back(int(line.size() % 2047));
    ASSERT_TRUE(Store.RecutRows(TRow(0), 1, rows));
    R.SetDefinition(&P); // the rows' own checkpoints
    R.ScanAll();
    Store.Insert(Store.TextEnd() - 10, "x");
    Track();
    R.Rescan();
    ASSERT_FALSE(Seen.empty());
    EXPECT_GT(Seen.front().first, comment - 2047);
    EXPECT_LE(Seen.front().first, comment);
    EXPECT_EQ(StoredBytes(Store), Reference(P, Store.StoredText(TOffset(0), Store.TextEnd())));
}

TEST_F(RescanTest, BudgetLimitsOneScanAndLaterScansFinish) {
    Load(Rules(100));
    R.SetLineBudget(5);
    Store.Insert(TOffset(RowStart(Store, 10)), "/*");
    EXPECT_EQ(R.Rescan(), 5);
    EXPECT_TRUE(R.Pending());
    const TRow mark = R.FirstPending();
    EXPECT_NE(Store.Line(mark).Flags & lfScanRestart, 0u);
    EXPECT_EQ(R.Rescan(), 5);
    EXPECT_GT(R.FirstPending(), mark);
    // A line about to be painted can be brought up to date at once.
    R.ScanThrough(TRow(300));
    EXPECT_EQ(LineBytes(Store, 300),
              std::vector<uint8_t>(size_t(Store.RowLength(TRow(300))), 19));
    int calls = 0;
    while (R.Pending() && calls < 1000) {
        EXPECT_LE(R.Rescan(), 5);
        ++calls;
    }
    EXPECT_FALSE(R.Pending());
    EXPECT_EQ(StoredBytes(Store), Reference(P, Store.StoredText(TOffset(0), Store.TextEnd())));
    // A change that settles quickly leaves nothing pending.
    Store.Insert(TOffset(RowStart(Store, 1) + 3), "m");
    R.Rescan();
    EXPECT_FALSE(R.Pending());
}

TEST_F(RescanTest, RandomEditsMatchAFreshScan) {
    std::mt19937 rng(7);
    const std::vector<std::string> pieces = {"/*", "*/",   "{",   "}",        ":",   ";",  "\r",
                                             "a",  " 1.5", "#ab", "\r/* x\r", "h2 ", "}\r"};
    for (int budget : {0, 3}) {
        TTextStore store;
        TRescanner r(store);
        store.Insert(TOffset(0), Rules(30));
        r.SetDefinition(&P);
        r.SetLineBudget(budget);
        r.ScanAll();
        for (int step = 0; step < 300; ++step) {
            int pos = int(rng() % unsigned(store.CharCount() + 1));
            if (rng() % 3 == 0)
                store.Delete(TOffset(pos), int(rng() % 6));
            else
                store.Insert(TOffset(pos), pieces[rng() % pieces.size()]);
            if (step % 4 == 0) r.Rescan();
        }
        r.ScanAll();
        ASSERT_EQ(StoredBytes(store), Reference(P, store.StoredText(TOffset(0), store.TextEnd())))
            << "budget " << budget;
    }
}

// The scan writes plain runs of tokens through the definition's run loop, which takes short
// cuts for plain text, recognisers and one-character keywords, and goes token by token when a
// handler watches the tokens: both must colour random text (quotes, comments, tags, regions)
// alike, in the shipped languages and this test's own.
TEST(RescanPaths, TheRunLoopAgreesWithTokenByToken) {
    const std::vector<std::string> pieces = {
        "a", "Z9", "_x", "12.5e+3", "-4",         "#a0f",     ".c",       "@m",
        "'", "\"", "\\", "/*",      "*/",         "//",       "--",       "-->",
        "<", ">",  "</", "<!--",    "<style>",    "</style>", "<script>", "</script>",
        "{", "}",  ":",  ";",       "=",          "&amp;",    " ",        "[",
        "]", "\r", "\t", "url(",    "<a href=\"", "?>",       "\xc3\xa9"};
    std::mt19937 rng(11);
    for (const char* lang : {"css", "html", "", "narrowed"}) {
        TCodeMemoParser def;
        if (lang == std::string("css") || lang == std::string("html")) {
            LoadShippedDefinition(def, lang);
        } else {
            BuildCss(def);
            if (*lang) { // tokens whose effects refuse states their rules and keywords accept
                def.Effects[14]->Valid = TStateSet::Of({52});
                def.Effects[21]->Valid = TStateSet::Of({50});
                // and a container: "[...]" in a selector is scanned again in the value state
                AddContainer(def);
            }
        }
        for (int round = 0; round < 60; ++round) {
            std::string text;
            const int n = 1 + int(rng() % 400);
            for (int i = 0; i < n; ++i)
                text += pieces[rng() % pieces.size()];
            std::vector<uint8_t> bytes[2];
            for (int watch = 0; watch < 2; ++watch) {
                TTextStore store;
                store.Insert(TOffset(0), text);
                TRescanner r(store);
                if (watch) r.OnTokenSeen = [](TRescanner&, uint8_t&, int, int) {};
                r.SetDefinition(&def);
                r.ScanAll();
                bytes[watch] = StoredBytes(store);
            }
            ASSERT_EQ(bytes[0], bytes[1]) << lang << ": " << text;
        }
    }
}

TEST_F(RescanTest, TokenSeenMaySwapTheValueAndGetsTheText) {
    Store.Insert(TOffset(0), "h1 { color: red; }");
    std::vector<std::string> texts;
    R.SetSupplyTokenText(true);
    R.OnTokenSeen = [&](TRescanner& sender, uint8_t& value, int a, int b) {
        texts.emplace_back(sender.TokenText());
        EXPECT_EQ(int(sender.TokenText().size()), b - a);
        if (value == 13) value = 99;
    };
    R.SetDefinition(&P);
    R.ScanAll();
    EXPECT_EQ(texts, (std::vector<std::string>{"h1", " ", "{", " ", "color", ":", " ", "red", ";",
                                               " ", "}"}));
    std::vector<uint8_t> want = {11, 11, 0, 15, 0,  99, 99, 99, 99,
                                 99, 17, 0, 14, 14, 14, 18, 0,  16};
    EXPECT_EQ(LineBytes(Store, 0), want);
}

TEST_F(RescanTest, ContainerTokensAreScannedAgainInsideTheirRegion) {
    // "[...]" is a container: inside it the value state holds, outside the selector state.
    AddContainer(P);
    Store.Insert(TOffset(0), "[a 1\rb] x");
    R.SetDefinition(&P);
    R.ScanAll();
    EXPECT_EQ(LineBytes(Store, 0), (std::vector<uint8_t>{30, 14, 30, 3, 30}));
    EXPECT_EQ(LineBytes(Store, 1), (std::vector<uint8_t>{14, 30, 0, 11}));
}

TEST_F(RescanTest, DefinitionsThatCannotScanLeaveTheTextAlone) {
    Store.Insert(TOffset(0), "h1 { }");
    P.CustomHandlers = true; // custom rules but no handler
    R.SetDefinition(&P);
    EXPECT_FALSE(R.Pending());
    EXPECT_EQ(R.Rescan(), 0);
    EXPECT_TRUE(LineBytes(Store, 0).empty());
    P.OnCustomParse = [](TCustomCodeMemoParser&, int, TTokenCursor&, int&, int&) { return false; };
    EXPECT_TRUE(R.Pending());
    R.Rescan();
    EXPECT_EQ(LineBytes(Store, 0).size(), 6u);

    // A failing definition reports its error once and is not retried for ever.
    TCodeMemoParser q;
    BuildCss(q);
    q.Effects[15]->StackFlags = sfPopBefore;
    R.SetDefinition(&q);
    try {
        R.Rescan();
        ADD_FAILURE() << "no error";
    } catch (const EDefinitionError& e) {
        EXPECT_STREQ(e.what(), "Stack underflow");
    }
    EXPECT_FALSE(R.Pending());
    R.SetDefinition(nullptr);
    EXPECT_FALSE(R.Pending());
    Store.Insert(TOffset(0), "x");
    EXPECT_EQ(R.Rescan(), 0);
}

// Texts longer than the scan's window: lines of many kilobytes, a comment that outruns the
// window, and over a megabyte of rules (the window drops its settled front), scanned whole and
// again after an edit near the end.
TEST_F(RescanTest, LongTextsAndLongTokensMatchOnePass) {
    std::string longLine;
    for (int i = 0; i < 2000; ++i)
        longLine += ".a" + std::to_string(i) + "{margin:1.5} ";
    std::string comment = "/*" + std::string(20000, 'c') + "\r" + std::string(9000, 'd') + "*/";
    std::string text =
        Rules(100) + longLine + "\r" + comment + Rules(30000) + comment + "\r" + longLine;
    Load(text);
    ASSERT_GT(Store.CharCount(), 1 << 20);
    EXPECT_EQ(StoredBytes(Store), Reference(P, Store.StoredText(TOffset(0), Store.TextEnd())));
    Store.Insert(TOffset(RowStart(Store, Store.LineCount() - 3)), "/*");
    R.ScanAll();
    EXPECT_EQ(StoredBytes(Store), Reference(P, Store.StoredText(TOffset(0), Store.TextEnd())));
}

// The numbers rows keep for the scanner's state at their end: equal exactly when the state set,
// the whole stack and the token under way (if any) are equal, whatever the order the states
// were met in (a number that two states shared would stop a re-scan early and leave stale
// colours); a loaded number gives back the set and stack it was taken from.
TEST(ScanStatesTest, NumbersAreEqualExactlyWhenStatesAre) {
    TTextStore store;
    TScanStates& states = store.ScanStates();
    TCodeMemoParser def;
    std::mt19937 rng(7);
    std::map<std::string, uint32_t> seen; // the stack's bytes with the set's on top
    std::map<uint32_t, std::string> owner;
    auto set = [&] {
        TStateSet s;
        s.Include(uint8_t(rng() % 4)); // few members: the same sets come back often
        if (rng() % 3 == 0) s.Include(uint8_t(200 + rng() % 3));
        return s;
    };
    for (int i = 0; i < 5000; ++i) {
        if (!def.Stack.empty() && rng() % 3 == 0)
            def.Stack.pop_back();
        else if (def.Stack.size() < 6 && rng() % 3 == 0)
            def.Stack.push_back(set());
        if (rng() % 2) def.State = set();
        std::string key;
        for (const TStateSet& s : def.Stack)
            key.append(s.Bits.begin(), s.Bits.end());
        key.append(def.State.Bits.begin(), def.State.Bits.end());
        const uint32_t resume = rng() % 3 ? 0 : 1 + rng() % 3;
        key += char('0' + resume);
        const uint32_t n = states.Of(def, resume);
        ASSERT_NE(n, 0u);
        ASSERT_EQ(states.ResumeOf(n), resume);
        TCodeMemoParser back;
        states.Load(n, back);
        ASSERT_TRUE(back.State == def.State && back.Stack == def.Stack);
        auto [it, added] = seen.emplace(key, n);
        ASSERT_EQ(it->second, n) << "an equal state got another number";
        auto [o, fresh] = owner.emplace(n, key);
        ASSERT_EQ(o->second, key) << "two states share number " << n;
        (void)added, (void)fresh;
    }
}

// Tokens that look far past where they end, before the row ends of a long line: a rule body
// that fails thousands of characters on, a continuation that fails at its end, a keyword walk;
// and one that looks back for a line start.
// Random edits where they looked (and rows cut anew), each re-scan against one pass.
TEST(RescanPaths, EditsWhereTokensBeforeARowEndLookedMatchOnePass) {
    TCodeMemoParser def;
    BuildCss(def);
    using S = TStateSet;
    const S all = S::Of({0, 50, 52, 53});
    TTokenRule tilde; // "~" a run of a, b and blanks "~"; anything else ends it unmatched
    tilde.Valid = S::Of({50});
    tilde.Token = 40;
    tilde.Body.Flag = 1;
    tilde.Body.Group = uint16_t(G(def, "ab "));
    tilde.End.Flag = 1;
    tilde.End.EndCount = 1;
    tilde.End.EndGroups[0] = uint16_t(G(def, "~"));
    def.StateTable(50).Rules['~'] = tilde;
    def.Keywords.Add("@", 41, all); // "@" a run of a, b and blanks ";"
    TContinuationRule at;
    at.Body.Flag = 1;
    at.Body.Group = tilde.Body.Group;
    at.End.Flag = 1;
    at.End.EndCount = 1;
    at.End.EndGroups[0] = uint16_t(G(def, ";"));
    def.Continuations[41] = at;
    def.Keywords.Add("abab~abab", 42, S::Of({50}));
    // "!" where a line starts, up to its end (a row cut from a long line starts none)
    def.StateTable(50).Rules['!'] = Recogniser(2, 43, S::Of({50}));

    const std::vector<std::string> pieces = {"a", "b", " ", "~",    "@",  ";",  "!", "abab~abab",
                                             "{", "}", ":", "#a0f", "/*", "*/", "\r"};
    for (unsigned seed : {1u, 2u, 3u, 4u, 16u}) {
        std::mt19937 rng(seed);
        auto between = [&](int lo, int hi) { return lo + int(rng() % unsigned(hi - lo + 1)); };
        auto pick = [&](const std::string& from) { return from[rng() % from.size()]; };
        std::string text;
        while (text.size() < 30000) {
            switch (rng() % 4) {
            case 0:
            case 1: { // often longer than the scan's window
                std::string run(size_t(rng() % 8 ? between(1, 3000) : between(4000, 7000)), ' ');
                for (char& c : run)
                    c = pick("aab ");
                text += pick("~@") + run + pick("~;x ");
                break;
            }
            case 2:
                text += "abab~ab" + std::string(1, pick("ax "));
                break;
            default:
                text += pieces[rng() % pieces.size()];
            }
        }
        TTextStore store;
        store.Insert(TOffset(0), text);
        TRescanner r(store);
        auto recut = [&](int first, int count) { Recut(store, first, count, rng); };
        recut(0, store.LineCount());
        r.SetDefinition(&def);
        r.ScanAll();
        for (int step = 0; step < 200; ++step) {
            int pos = rng() % 3
                          ? RowStart(store, between(0, store.LineCount() - 1)) + between(-3, 3)
                          : between(0, store.CharCount());
            pos = std::clamp(pos, 0, store.CharCount());
            std::string what = "insert " + pieces[rng() % (rng() % 2 ? 7 : pieces.size())];
            if (rng() % 3 == 0) {
                const int n = std::min(between(1, 3), store.CharCount() - pos);
                what = "delete " + std::to_string(n);
                store.Delete(TOffset(pos), n);
            } else {
                store.Insert(TOffset(pos), what.substr(7));
            }
            if (rng() % 8 == 0) recut(between(0, store.LineCount() - 1), between(1, 4));
            r.Rescan();
            const std::vector<uint8_t> got = StoredBytes(store);
            const std::vector<uint8_t> want =
                Reference(def, store.StoredText(TOffset(0), store.TextEnd()));
            ASSERT_TRUE(got == want)
                << "seed " << seed << ", step " << step << ": " << what << " at " << pos
                << "; first wrong byte at "
                << std::mismatch(got.begin(), got.end(), want.begin()).first - got.begin();
        }
    }
}

// Row ends inside long strings, comments, words and numbers are checkpoints a re-scan goes on
// from. Random edits inside such tokens (the closing quote or end sequence typed or taken away,
// an end sequence split across a row end, a body character the rule refuses, a word or number
// cut in two or given a fraction or exponent, edits right at a row end), rows cut anew as word
// wrap does; each re-scan against one pass. Tokens of the shipped style sheets, and of rules
// with an end of two characters that is part of the token or not, a keyword a word may begin
// with, and a run of digits.
TEST(RescanPaths, EditsInsideLongTokensMatchOnePass) {
    using S = TStateSet;
    TCodeMemoParser own;
    BuildCss(own);
    for (uint8_t st : {50, 52, 53})
        own.StateTable(st).Rules['"'] = Recogniser(18, 1, S::Of({50, 52, 53}));
    TTokenRule tick; // "`" a run of a, b, blanks, "*", ";", "/" and "`", up to "*`"
    tick.Valid = S::Of({50, 53});
    tick.Token = 44;
    tick.Body.Flag = 1;
    tick.Body.Group = uint16_t(G(own, "ab *;/`"));
    tick.End.Flag = 1;
    tick.End.EndCount = 2;
    tick.End.EndGroups = {uint16_t(G(own, "*")), uint16_t(G(own, "`")), 0, 0};
    own.StateTable(50).Rules['`'] = own.StateTable(53).Rules['`'] = tick;
    own.Keywords.Add("@@", 45, S::Of({0})); // "@@" anything but "x" up to ";x", which it leaves
    TContinuationRule at;
    at.Body.Group = uint16_t(G(own, "x", true));
    at.End.EndCount = 2;
    at.End.EndGroups = {uint16_t(G(own, ";")), uint16_t(G(own, "x")), 0, 0};
    own.Continuations[45] = at;
    AddContainer(own); // and long tokens inside a region, which ends with one of them
    // A word that starts like this keyword looked at its first characters before it was one.
    own.Keywords.Add("ba7_ba7_ba7_ba7_bab", 46, S::Of({50}));
    own.StateTable(52).Rules['9'] = Recogniser(16, 47, S::Of({52})); // "9" and digits
    TCodeMemoParser css;
    LoadShippedDefinition(css, "css");

    const std::vector<std::string> edits = {"\"", "*/", "*", "/",  "`",  "*`", ";", ";x",
                                            "x",  "a",  " ", "/*", "\r", "[",  "]", "7",
                                            ".",  "e",  "-", "_",  "9",  "+",  "b", "ba7_"};
    for (TCodeMemoParser* def : {&own, &css}) {
        for (unsigned seed : {1u, 2u, 3u, 36u, 51u}) {
            std::mt19937 rng(seed);
            auto between = [&](int lo, int hi) { return lo + int(rng() % unsigned(hi - lo + 1)); };
            std::string text;
            while (text.size() < 100000) {
                std::string run(size_t(between(1, rng() % 4 ? 3000 : 9000)), 'a');
                for (char& c : run)
                    c = "ab *;/`"[rng() % (rng() % 50 ? 5 : 7)];
                // Words and numbers: runs of their characters, now and then another.
                std::string word(run.size(), '7');
                for (char& c : word)
                    c = rng() % 64 ? "ba7_"[rng() % 4] : ".e-+ "[rng() % 5];
                std::string digits(run.size(), '7');
                for (char& c : digits)
                    c = rng() % 200 ? '7' : ".e-+ "[rng() % 5];
                switch (rng() % 9) {
                case 0:
                    text += "p{b:\"" + run + "\"}";
                    break;
                case 1:
                    text += "/*" + run + "*/";
                    break;
                case 2:
                    text += "`" + run + "*`";
                    break;
                case 3:
                    text += "@@" + run + ";x";
                    break;
                case 4:
                    text += "[\"" + run + "]\"";
                    break;
                case 5:
                    text += "}b" + word + "{";
                    break;
                case 6:
                    text += "p{m:" + digits + "px;9" + digits + "}";
                    break;
                case 7:
                    text += "q{n:-" + digits + "." + digits + "e+" + digits + "}";
                    break;
                default:
                    text += "h1{a:1}";
                }
            }
            TTextStore store;
            store.Insert(TOffset(0), text);
            TRescanner r(store);
            Recut(store, 0, store.LineCount(), rng);
            r.SetDefinition(def);
            r.ScanAll();
            // A scan cut short by its budget goes on from where it stopped, edits between.
            r.SetLineBudget(seed == 2 ? 3 : 0);
            for (int step = 0; step < 120; ++step) {
                const int row = between(0, store.LineCount() - 1);
                // Mostly where a row starts, often what completes an end begun before it.
                int pos = rng() % 4 ? RowStart(store, row) + (rng() % 2 ? 0 : between(-2, 2))
                                    : between(0, store.CharCount());
                pos = std::clamp(pos, 0, store.CharCount());
                std::string what =
                    rng() % 3 ? edits[rng() % edits.size()] : std::string(1, "/`x"[rng() % 3]);
                if (rng() % 3 == 0) {
                    const int n = std::min(between(1, 2), store.CharCount() - pos);
                    what = "delete " + std::to_string(n);
                    store.Delete(TOffset(pos), n);
                } else {
                    store.Insert(TOffset(pos), what);
                }
                if (rng() % 6 == 0) Recut(store, std::max(0, row - 2), 5, rng, 300);
                r.Rescan();
                if (seed == 2 && step % 3) continue;
                r.ScanAll();
                // A fresh scan of the text: the containers are scanned again in their regions.
                TTextStore fresh;
                fresh.Insert(TOffset(0), store.StoredText(TOffset(0), store.TextEnd()));
                TRescanner once(fresh);
                once.SetDefinition(def);
                once.ScanAll();
                const std::vector<uint8_t> got = StoredBytes(store);
                const std::vector<uint8_t> want = StoredBytes(fresh);
                ASSERT_TRUE(got == want)
                    << (def == &css ? "css" : "own") << " seed " << seed << ", step " << step
                    << ": " << what << " at " << pos << "; first wrong byte at "
                    << std::mismatch(got.begin(), got.end(), want.begin()).first - got.begin();
            }
        }
    }
}

// A keystroke in a token that runs on over many rows of one line (a string, a word, a run of
// digits) tokenizes the rows it touches and at most a window of the scan, not the whole token:
// at its start, in its middle and at its end.
TEST_F(RescanTest, AKeystrokeInALongTokenScansItsRow) {
    for (uint8_t st : {50, 52, 53})
        P.StateTable(st).Rules['"'] = Recogniser(18, 1, TStateSet::Of({50, 52, 53}));
    const std::string run(300000, 'q');
    for (const std::string& line :
         {"a{b:\"" + run + "\"}", run, "p{m:" + std::string(run.size(), '7') + "px}"}) {
        TTextStore store;
        store.Insert(TOffset(0), line);
        std::vector<int> rows(line.size() / 2047, 2047);
        rows.push_back(int(line.size() % 2047));
        ASSERT_TRUE(store.RecutRows(TRow(0), 1, rows));
        TRescanner r(store);
        r.SetDefinition(&P);
        r.ScanAll();
        const int middle = RowStart(store, store.LineCount() / 2) + 5;
        for (int at : {0, 1, middle, int(line.size()) - 4}) {
            store.Insert(TOffset(at), line[size_t(at)] == '7' ? "5" : "z");
            EXPECT_LE(r.Rescan(), 2) << line.substr(0, 5) << " at " << at;
            EXPECT_LE(r.Tokenized(), 16384u) << line.substr(0, 5) << " at " << at;
            store.Delete(TOffset(at), 1);
            EXPECT_LE(r.Rescan(), 2) << line.substr(0, 5) << " at " << at;
            EXPECT_LE(r.Tokenized(), 16384u) << line.substr(0, 5) << " at " << at;
        }
        EXPECT_EQ(StoredBytes(store), Reference(P, store.StoredText(TOffset(0), store.TextEnd())));
    }
    // Late in a long row of rules it starts at the state the row kept last before the edit, not
    // at the row's start.
    std::string rules;
    while (rules.size() < 100000)
        rules += ".c" + std::to_string(rules.size()) + "{color:#a0b0c0;margin:3px}";
    Store.Insert(TOffset(0), rules);
    std::vector<int> rows; // cut after the last "}" that fits, as the editor cuts them
    for (size_t from = 0; from < rules.size();) {
        const size_t end = std::min(rules.size(), rules.rfind('}', from + 2046) + 1);
        rows.push_back(int(end - from));
        from = end;
    }
    ASSERT_TRUE(Store.RecutRows(TRow(0), 1, rows));
    R.SetDefinition(&P);
    R.ScanAll();
    for (int step = 0; step < 20; ++step) {
        const int at = RowStart(Store, 10 + step) + 1500 + step * 20;
        Store.Insert(TOffset(at), "x");
        R.Rescan();
        EXPECT_LE(R.Tokenized(), 1024u) << "at " << at;
    }
    EXPECT_EQ(StoredBytes(Store), Reference(P, Store.StoredText(TOffset(0), Store.TextEnd())));
}

// Edits inside the rows of a long line: the scan stops behind the edit where the row kept the
// same state at the same text, and keeps the row's old bytes from there. Rows of up to 2,047
// characters with strings, comments, regions and rules (some long, so that a brace typed into
// one leaves the text behind it in another state); one or two edits in a row (or across rows)
// before each re-scan, which must match one pass.
TEST(RescanPaths, EditsInsideLongRowsMatchOnePass) {
    TCodeMemoParser own;
    BuildCss(own);
    AddContainer(own);
    // "~~" anything but "x" up to ";x": a token that may look on over rows to fail or end.
    own.Keywords.Add("~~", 45, TStateSet::Of({0}));
    TContinuationRule at;
    at.Body.Group = uint16_t(G(own, "x", true));
    at.End.EndCount = 2;
    at.End.EndGroups = {uint16_t(G(own, ";")), uint16_t(G(own, "x")), 0, 0};
    own.Continuations[45] = at;
    TCodeMemoParser css;
    LoadShippedDefinition(css, "css");
    std::string block = "div{";
    for (int i = 0; i < 60; ++i)
        block += "color:red;";
    std::vector<std::string> pieces = {"h1{color:#abc;margin:0 1px}",
                                       "/* a; b */",
                                       "p{b:\"x;}\"}",
                                       "[a;b]",
                                       "a:hover{c:d}",
                                       "@media x{p{q:r}}",
                                       block + "}",
                                       "~~a;b"};
    const std::string typed = "{}\";:/*[] ax~";
    for (TCodeMemoParser* def : {&own, &css}) {
        for (unsigned seed = 1; seed <= 2; ++seed) {
            std::mt19937 rng(seed);
            auto between = [&](int lo, int hi) { return lo + int(rng() % unsigned(hi - lo + 1)); };
            std::string text;
            while (text.size() < 100000)
                text += pieces[rng() % pieces.size()];
            TTextStore store;
            store.Insert(TOffset(0), text);
            TRescanner r(store);
            Recut(store, 0, store.LineCount(), rng, 2047);
            r.SetDefinition(def);
            r.ScanAll();
            for (int step = 0; step < 300; ++step) {
                std::string what;
                for (int n = rng() % 4 ? 1 : 2; n > 0; --n) {
                    const int row = between(0, store.LineCount() - 1);
                    // Often at a token boundary the row keeps a state for, or next to one: the
                    // tokens before it looked at the character there.
                    const TLineRecord& rec = store.Line(TRow(row));
                    int off = between(0, store.RowLength(TRow(row)));
                    if (rng() % 3 == 0 && rec.Extra && rec.Extra->Scan &&
                        !rec.Extra->Scan->Points.empty()) {
                        const auto& points = rec.Extra->Scan->Points;
                        off = int(points[rng() % points.size()].Offset) + between(-1, 1);
                    }
                    const int pos = std::min(store.CharCount(), RowStart(store, row) + off);
                    if (rng() % 2) {
                        const int k = std::min(between(1, 3), store.CharCount() - pos);
                        what += "delete " + std::to_string(k) + " at " + std::to_string(pos);
                        store.Delete(TOffset(pos), k);
                    } else {
                        const std::string s(1, typed[rng() % typed.size()]);
                        what += "'" + s + "' at " + std::to_string(pos);
                        store.Insert(TOffset(pos), s);
                    }
                    what += "; ";
                }
                r.Rescan();
                TTextStore fresh;
                fresh.Insert(TOffset(0), store.StoredText(TOffset(0), store.TextEnd()));
                TRescanner once(fresh);
                once.SetDefinition(def);
                once.ScanAll();
                const std::vector<uint8_t> got = StoredBytes(store);
                const std::vector<uint8_t> want = StoredBytes(fresh);
                ASSERT_TRUE(got == want)
                    << (def == &css ? "css" : "own") << " seed " << seed << ", step " << step
                    << ": " << what << "first wrong byte at "
                    << std::mismatch(got.begin(), got.end(), want.begin()).first - got.begin();
            }
        }
    }
}
