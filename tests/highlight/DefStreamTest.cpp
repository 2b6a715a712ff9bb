#include "highlight/DefStream.h"
#include "highlight/Compiler.h"
#include "highlight/Compressor.h"
#include "highlight/DefStreamDump.h"
#include "highlight/ScriptCharSpec.h"
#include "highlight/ShippedDefinition.h"
#include "platform/headless/ScriptedDialogs.h"
#include "resources/Strings.h"
#include "tests/highlight/SampleCssDefinition.h"

#include <gtest/gtest.h>

#include <random>

using namespace quillet;

namespace {

// The hand-built style-sheet definition with every settings item given a value of its own.
void BuildFull(TCodeMemoParser& p) {
    testdef::BuildCss(p);
    p.CaseSensitive = false;
    TCM_Settings& s = p.Settings();
    s.Name = "Cascading Style Sheets";
    s.ExampleText = "/* \xCA\xEE\xEC */\rH2, .head2 { color: red }";
    s.Options = 0x03FFDBF0;
    s.WordWrapColumn = 72;
    s.IndentStep = 3;
    s.SelTextBack = 0x006A240A;
    s.SelTextBackDefault = true;
    s.GutterColorDefault = true;
    s.TabColumns[0] = 8;
    s.TabColumns[1] = 20;
    s.FontCharset = 204;
    s.GutterFontName = "MS Sans Serif";
    s.GutterFontCharset = 1;
    s.GutterFontColor = 0x80000008;
    s.GutterFontStyle = 2;
    s.Styles[1] = {2, 0x000000, 0xFFFFFF, true, true, false, true, {}};
    s.Styles[13] = {0, 0xFF0000, 0xFFFFFF, false, true, true, true, {}};
    s.StyleMap[1] = 1;
    s.StyleMap[13] = 13;
    s.StyleMap[255] = 13;
    s.EditableStyles = {{"Default Text", 0}, {"Strings", 1}, {"Properties", 13}};
    TKeyTableDef kt;
    kt.States = TStateSet::Of({53});
    kt.EndGroup = testdef::G(p, " ;}");
    kt.CaseSensitive = false;
    kt.Words = {{"inherit", 30}, {"auto", 31}};
    s.AddKeyTable(kt);
    TKeyTableDef any;
    any.States = TStateSet::Of({52});
    any.Words = {{"color", 32}};
    s.AddKeyTable(any);
    p.Keywords.Add("!important", 40, TStateSet::Of({53}), testdef::G(p, " ;"));
    p.BoundStates = TStateSet::Of({7});
    p.Effects[40] = TTokenEffect{TStateSet::Of({53}), {}, {}, true, true, sfPushAfter};
    TTokenRule space;
    space.Start.Group = uint16_t(testdef::G(p, " \t"));
    space.Body.Flag = 1;
    space.Body.Group = space.Start.Group;
    space.Valid = TStateSet::Of({0});
    space.Token = 9;
    p.GlobalStart.Rules[' '] = space;
    p.GlobalStart.Rules['\t'] = space;
    TTokenRule custom = space;
    custom.Start.IsHandler = true;
    custom.Start.Custom = true;
    custom.Start.Handler = 77;
    custom.End.IsHandler = true;
    custom.End.Handler = 19;
    p.GlobalStart.Rules['@'] = custom;
    p.CustomHandlers = true;
    p.PrepareKeyTables();
}

std::vector<uint8_t> Envelope(uint16_t version, const std::vector<uint8_t>& tables,
                              int64_t declared = -1) {
    TMemoryStream out;
    TDefWriter head;
    head.U16(version);
    head.U32(uint32_t(declared < 0 ? int64_t(tables.size()) : declared));
    out.WriteBuffer(head.Bytes().data(), int64_t(head.Bytes().size()));
    TReadOnlyMemoryStream in(tables.data(), int64_t(tables.size()));
    TCompressor c;
    c.SetInputStream(&in);
    c.SetOutputStream(&out);
    c.Compress();
    return out.Bytes();
}

std::string LoadError(const std::vector<uint8_t>& bytes) {
    TCodeMemoParser p;
    try {
        TDefinitionStream::LoadFromBytes(p, bytes.data(), bytes.size());
    } catch (const EQuilletError& e) {
        EXPECT_EQ(DumpDefinition(p), DumpDefinition(TCodeMemoParser())) << "left half loaded";
        return e.what();
    }
    return "(loaded)";
}

// A table stream written field by field, independently of the writer, with hooks to vary it.
struct THandTables {
    std::function<void(TDefWriter&)> Keywords = [](TDefWriter& w) {
        w.U32(1);
        w.U32(0);
        w.U8(0);
    };
    std::function<void(TDefWriter&)> GlobalStart = [](TDefWriter& w) { w.U32(0); };
    std::function<void(TDefWriter&)> StateTables = [](TDefWriter& w) { w.U32(0); };
    uint32_t StyleMapCount = 0;
    bool GutterFont = true;

    std::vector<uint8_t> Bytes() const {
        TDefWriter w;
        w.LString("ex");
        w.LString("Hand");
        w.LString(">");
        w.U32(0x10);
        for (int32_t v : {1, 2, 3, 4, 5})
            w.I32(v);
        for (uint32_t v : {6u, 7u, 8u, 9u})
            w.U32(v);
        w.I32(4);
        w.U32(1); // styles
        for (uint8_t b : {3, 1})
            w.U8(b);
        w.U32(0x112233);
        w.U32(0x445566);
        for (uint8_t b : {1, 0, 1})
            w.U8(b);
        w.U32(1);
        w.U32(StyleMapCount);
        for (uint32_t i = 0; i < StyleMapCount; ++i) {
            w.U8(uint8_t(i));
            w.U8(3);
        }
        w.U32(0); // editable styles
        for (int i = 0; i < 32; ++i)
            w.I32(-1);
        w.LString("Courier New");
        w.U32(10);
        w.U8(204);
        for (int i = 0; i < 4; ++i)
            w.U8(0);
        w.U32(0); // keyword tables
        TStoredEditing e;
        e.Templates.HotKey = "Ctrl+J";
        TDefinitionStream::WriteEditing(w, e);
        if (GutterFont) {
            w.LString("MS Sans Serif");
            w.U32(8);
            w.U8(1);
            w.U32(0x80000008);
            w.U8(0);
        }
        Keywords(w);
        w.U32(0); // continuations
        GlobalStart(w);
        w.U32(0); // context
        w.U32(0); // effects
        StateTables(w);
        w.Set(TStateSet::Of({0}));
        w.Set({});
        w.Set(TStateSet::Of({0}));
        w.U8(0);
        return w.Bytes();
    }
};

void PutGroup(TDefWriter& w, const TByteSet& bits, uint32_t ranges = 0, bool negate = false) {
    w.Set(bits);
    w.U32(ranges);
    w.U8(negate);
}

// A start-table slot for c: a one-character token rule starting with c.
void PutRule(TDefWriter& w, uint8_t c, uint8_t token, int endCount = 0) {
    w.U8(c);
    w.U8(0);
    PutGroup(w, TByteSet::Of({c}));
    w.U8(0);
    w.Set(TStateSet::Of({0}));
    w.U8(1);
    PutGroup(w, {});
    w.U8(0); // body: no handler
    w.U8(0); // end: flag
    w.U8(0); // end: no handler
    w.U8(uint8_t(endCount));
    for (int i = 0; i < endCount; ++i)
        PutGroup(w, TByteSet::Of({'x'}));
    w.U8(token);
}

} // namespace

TEST(DefStream, WriteReadWriteGivesTheSameBytesAndTables) {
    TCodeMemoParser a;
    BuildFull(a);
    const auto saved = TDefinitionStream::SaveToBytes(a);
    EXPECT_EQ(saved[0] | (saved[1] << 8), 51);
    EXPECT_EQ(std::string(saved.begin() + 6, saved.begin() + 10), "WRZL");
    const auto tables = TDefinitionStream::WriteTables(a);
    EXPECT_EQ(uint32_t(saved[2] | saved[3] << 8 | saved[4] << 16 | saved[5] << 24), tables.size());

    TCodeMemoParser b;
    ASSERT_TRUE(TDefinitionStream::LoadFromBytes(b, saved.data(), saved.size()));
    EXPECT_EQ(DumpDefinition(b), DumpDefinition(a));
    EXPECT_EQ(TDefinitionStream::SaveToBytes(b), saved);
    EXPECT_TRUE(b.StatesWithTable.Has(50) && b.StatesWithTable.Has(53));
    EXPECT_FALSE(b.CaseSensitive);
    ASSERT_EQ(b.SecondaryKeywords.size(), 2u); // key tables are ready for the tokenizer
    EXPECT_EQ(b.State, b.StartState);

    // The loaded copy tokenizes like the original.
    const std::string css = "a { color: #fff; width: 2px !important }";
    for (TCodeMemoParser* p : {&a, &b}) {
        p->ResetState(0);
        TTokenCursor cur{reinterpret_cast<const uint8_t*>(css.data()), css.size(), 0};
        std::string tokens;
        while (!cur.AtEnd()) {
            const size_t before = cur.Pos;
            tokens += std::to_string(p->NextToken(cur)) + ",";
            if (cur.Pos == before) ++cur.Pos;
        }
        p->Settings().Name = tokens; // compared below
    }
    EXPECT_EQ(a.Settings().Name, b.Settings().Name);
}

TEST(DefStream, SharedGroupsStaySharedAndEqualGroupsAreInterned) {
    TCodeMemoParser a;
    testdef::BuildCss(a);
    // Two parts naming one group, and a duplicate group stored apart from it.
    TCM_CharGroup digits;
    digits.AddRange('0', '9');
    a.Groups.Append(digits);
    const int dup = a.Groups.Append(digits);
    TContinuationRule r;
    r.Body.Group = uint16_t(dup);
    r.End.EndCount = 1;
    r.End.EndGroups[0] = uint16_t(dup);
    a.Continuations[3] = r;
    // A keyword table ending on the same characters as a keyword shares its group too.
    const int ends = testdef::G(a, " ;");
    a.Keywords.Add("!important", 40, TStateSet::Of({53}), ends);
    TKeyTableDef kt;
    kt.States = TStateSet::Of({53});
    kt.EndGroup = ends;
    kt.Words = {{"auto", 31}};
    a.Settings().AddKeyTable(kt);
    const auto saved = TDefinitionStream::SaveToBytes(a);
    TCodeMemoParser b;
    TDefinitionStream::LoadFromBytes(b, saved.data(), saved.size());
    EXPECT_EQ(b.Continuations[3]->Body.Group, b.Continuations[3]->End.EndGroups[0]);
    int keywordEnd = -2;
    b.Keywords.ForEach([&](std::string_view text, const TKeywordEntry& e) {
        if (text == "!important") keywordEnd = e.EndGroup;
    });
    EXPECT_EQ(b.Settings().KeyTables[0].EndGroup, keywordEnd);
    EXPECT_EQ(b.Continuations[19]->End.EndGroups[0] == b.Continuations[19]->End.EndGroups[1],
              false);
    // State 50 and 52 rules started from one group before, and still do.
    EXPECT_EQ(b.StateStart[50]->Rules['a']->Body.Group, b.StateStart[52]->Rules['z']->Body.Group);
    for (int i = 0; i < b.Groups.Count(); ++i)
        for (int k = i + 1; k < b.Groups.Count(); ++k)
            EXPECT_FALSE(b.Groups.Group(i).SameAs(b.Groups.Group(k))) << i << " " << k;
}

TEST(DefStream, HandWrittenTablesReadAsLaidOut) {
    THandTables hand;
    hand.StyleMapCount = 2;
    hand.Keywords = [](TDefWriter& w) {
        w.U32(0);
        w.U32(2);
        w.SString("url(");
        PutGroup(w, {});
        w.Set(TStateSet::Of({53}));
        w.U32(7);
        w.SString("b");
        PutGroup(w, TByteSet::Of({'('}), 0, true);
        w.Set(TStateSet::Of({0, 1}));
        w.U32(8);
        w.U8(0);
    };
    hand.StateTables = [](TDefWriter& w) {
        w.U32(1);
        w.U8(53);
        w.U32(1);
        PutRule(w, 'q', 21, 2);
        w.U32(1); // one range: 'a'..'c' share a rule
        w.U16('a');
        w.U16('c');
        PutRule(w, 'a', 22);
        w.Bytes().erase(w.Bytes().end() - 115); // a range entry has no slot character
    };
    const auto tables = hand.Bytes();
    TCodeMemoParser p;
    ASSERT_TRUE(TDefinitionStream::LoadFromBytes(p, Envelope(51, tables).data(),
                                                 Envelope(51, tables).size()));
    const TCM_Settings& s = p.Settings();
    EXPECT_EQ(s.Name, "Hand");
    EXPECT_EQ(s.WordWrapColumn, 3);
    EXPECT_EQ(s.SelTextBack, 9u);
    EXPECT_EQ(s.Styles[3].Foreground, 0x112233u);
    EXPECT_TRUE(s.Styles[3].ForegroundDefault && s.Styles[3].Hotspot && s.Styles[3].Defined);
    EXPECT_EQ(s.StyleMap[1], 3);
    EXPECT_EQ(s.FontCharset, 204);
    EXPECT_EQ(s.GutterFontName, "MS Sans Serif");
    EXPECT_EQ(s.GutterFontColor, 0x80000008u);
    EXPECT_FALSE(p.CaseSensitive);
    EXPECT_EQ(p.Keywords.Count(), 2);
    EXPECT_NE(DumpDefinition(p).find("\"url(\" token 7 states {53} end any"), std::string::npos);
    EXPECT_NE(DumpDefinition(p).find("\"b\" token 8 states {0,1} end [^(]"), std::string::npos);
    ASSERT_TRUE(p.StateStart[53]);
    EXPECT_EQ(p.StateStart[53]->Rules['q']->Token, 21);
    EXPECT_EQ(p.StateStart[53]->Rules['q']->End.EndCount, 2);
    for (char c : {'a', 'b', 'c'})
        EXPECT_EQ(p.StateStart[53]->Rules[uint8_t(c)]->Token, 22);
    EXPECT_FALSE(p.StateStart[53]->Rules['d']);
    EXPECT_TRUE(p.StatesWithTable.Has(53));
}

TEST(DefStream, Version50SkipsTheGutterFontAnd49IsAVersionError) {
    THandTables hand;
    hand.GutterFont = false;
    const auto v50 = Envelope(50, hand.Bytes());
    TCodeMemoParser p;
    ASSERT_TRUE(TDefinitionStream::LoadFromBytes(p, v50.data(), v50.size()));
    EXPECT_EQ(p.Settings().Name, "Hand");
    EXPECT_EQ(p.Settings().GutterFontName, TCM_Settings().GutterFontName);
    // The same bytes as version 51 would read item 27 where there is none.
    EXPECT_NE(LoadError(Envelope(51, hand.Bytes())), "(loaded)");

    TCodeMemoParser full;
    BuildFull(full);
    const auto v49 = Envelope(49, TDefinitionStream::WriteTables(full, 50));
    const std::string msg = "CssParser: DFM file saved by different version of TCodeMemoParser.\n\r"
                            "Recompile script to update DFM file.\n\r"
                            "Expected version was 51 read version was 49";
    EXPECT_EQ(FmtLoadStr(4129, "CssParser", 51, 49), msg); // the string table's own number
    TDefLoadContext reading;
    reading.ComponentName = "CssParser";
    reading.ReadingDescription = true;
    try {
        TDefinitionStream::LoadFromBytes(p, v49.data(), v49.size(), reading);
        FAIL();
    } catch (const ECodeMemoParserError& e) {
        EXPECT_EQ(e.what(), msg);
    }
    EXPECT_EQ(p.Settings().Name, TCM_Settings().Name);

    int seen = 0, expected = 0;
    p.OnParserVersionError = [&](TCustomCodeMemoParser&, int version, int want) {
        seen = version;
        expected = want;
    };
    TDefLoadContext later;
    later.ComponentName = "CssParser";
    EXPECT_FALSE(TDefinitionStream::LoadFromBytes(p, v49.data(), v49.size(), later));
    EXPECT_EQ(seen, 49);
    EXPECT_EQ(expected, 51);

    p.OnParserVersionError = nullptr;
    TScriptedDialogs dialogs;
    dialogs.QueueAnswer(mrOk);
    later.Dialogs = &dialogs;
    EXPECT_FALSE(TDefinitionStream::LoadFromBytes(p, v49.data(), v49.size(), later));
    ASSERT_EQ(dialogs.Calls().size(), 1u);
    EXPECT_EQ(dialogs.Calls()[0].Text, msg);
    EXPECT_EQ(dialogs.Calls()[0].Type, mtInformation);
    EXPECT_EQ(dialogs.Calls()[0].Buttons, mbOK);
    EXPECT_FALSE(p.StateStart[50]);
}

TEST(DefStream, AStoredLayoutNumberPastItsBoundIsRefused) {
    auto stored = [](std::function<void(TCM_Settings&)> set) {
        TCodeMemoParser a;
        set(a.Settings());
        return LoadError(TDefinitionStream::SaveToBytes(a));
    };
    EXPECT_EQ(stored([](TCM_Settings& s) { s.TabDefault = INT32_MAX; }),
              "CodeMemoParser: Stored setting TabDefault = 2147483647 is out of range");
    EXPECT_EQ(stored([](TCM_Settings& s) { s.GutterWidth = INT32_MIN; }),
              "CodeMemoParser: Stored setting Gutter = -2147483648 is out of range");
    EXPECT_EQ(stored([](TCM_Settings& s) { s.TabColumns[1] = INT32_MAX - 1; }),
              "CodeMemoParser: Stored setting TabColumns = 2147483647 is out of range");
    EXPECT_EQ(stored([](TCM_Settings& s) { s.TabDefault = 256; }), "(loaded)");
}

TEST(DefStream, EnvelopeAndTableFaultsRaiseTheirMessages) {
    THandTables hand;
    auto tables = hand.Bytes();
    EXPECT_EQ(LoadError(Envelope(51, tables, int64_t(tables.size()) + 1)),
              "Stored definition holds " + std::to_string(tables.size()) +
                  " bytes of tables where " + std::to_string(tables.size() + 1) + " were declared");
    auto longer = tables;
    longer.push_back(0);
    EXPECT_EQ(LoadError(Envelope(51, longer)),
              "CodeMemoParser: Stored definition has 1 bytes after its last table");
    auto shorter = tables;
    shorter.pop_back();
    EXPECT_EQ(LoadError(Envelope(51, shorter)), "CodeMemoParser: Stream read error");

    hand.StyleMapCount = 300; // token values run past 255 in a u8 field: fine, they wrap
    EXPECT_EQ(LoadError(Envelope(51, hand.Bytes())), "(loaded)");
    hand.StyleMapCount = 0;

    auto withKeywords = [&](std::function<void(TDefWriter&)> kw) {
        THandTables h;
        h.Keywords = std::move(kw);
        return LoadError(Envelope(51, h.Bytes()));
    };
    EXPECT_EQ(withKeywords([](TDefWriter& w) {
                  w.U32(1);
                  w.U32(1);
                  w.SString("a");
                  PutGroup(w, {}, 1);
              }),
              "CodeMemoParser: Stored character group has a range list");
    EXPECT_EQ(withKeywords([](TDefWriter& w) {
                  w.U32(1);
                  w.U32(1);
                  w.SString("a");
                  PutGroup(w, {});
                  w.Set({});
                  w.U32(256);
              }),
              "CodeMemoParser: Stored value 256 is outside 0..255");
    EXPECT_EQ(withKeywords([](TDefWriter& w) {
                  w.U32(1);
                  w.U32(2);
                  for (int i = 0; i < 2; ++i) {
                      w.SString("dup");
                      PutGroup(w, {});
                      w.Set(TStateSet::Of({0}));
                      w.U32(5);
                  }
                  w.U8(0);
              }),
              "CodeMemoParser: Duplicate keyword - 'dup'");
    EXPECT_EQ(withKeywords([](TDefWriter& w) {
                  w.U32(1);
                  w.U32(0);
                  w.U8(3); // an empty table must end at once
              }),
              "CodeMemoParser: Stream read error");

    auto withStates = [&](std::function<void(TDefWriter&)> st) {
        THandTables h;
        h.StateTables = std::move(st);
        return LoadError(Envelope(51, h.Bytes()));
    };
    EXPECT_EQ(withStates([](TDefWriter& w) {
                  w.U32(1);
                  w.U8(1);
                  w.U32(1);
                  PutRule(w, 'a', 1, 5);
              }),
              "CodeMemoParser: Stored end part has 5 end characters (at most 4)");
    EXPECT_EQ(withStates([](TDefWriter& w) {
                  w.U32(1);
                  w.U8(1);
                  w.U32(1);
                  PutRule(w, 'a', 1);
                  w.U32(1);
                  w.U16('a');
                  w.U16(256);
                  PutRule(w, 'a', 1);
                  w.Bytes().erase(w.Bytes().end() - 115);
              }),
              "CodeMemoParser: Stored start range 97..256 is outside the character table");
    // A handler part naming no built-in handler.
    THandTables h;
    h.GlobalStart = [](TDefWriter& w) {
        w.U32(1);
        w.U8('a');
        w.U8(0);
        PutGroup(w, {});
        w.U8(1);
        w.U8(0);
        w.U32(5);
    };
    EXPECT_EQ(LoadError(Envelope(51, h.Bytes())),
              "CodeMemoParser: Invalid handler number (5): built-in handlers are 0..2 and 10..20");
    // A distinct group per part until the 16-bit index runs out.
    EXPECT_EQ(withStates([](TDefWriter& w) {
                  w.U32(1);
                  w.U8(1);
                  const uint32_t rules = 22000;
                  w.U32(rules);
                  for (uint32_t i = 0; i < rules; ++i) {
                      w.U8('a');
                      for (int part = 0; part < 2; ++part) {
                          w.U8(0);
                          TByteSet bits;
                          const uint32_t id = i * 3 + uint32_t(part);
                          for (int b = 0; b < 24; ++b)
                              if (id >> b & 1) bits.Include(uint8_t(b));
                          bits.Include(uint8_t(100 + part));
                          PutGroup(w, bits);
                          w.U8(0);
                          if (part == 0) w.Set({});
                      }
                      w.U8(0);
                      w.U8(0);
                      w.U8(1);
                      TByteSet bits;
                      for (int b = 0; b < 24; ++b)
                          if ((i * 3 + 2) >> b & 1) bits.Include(uint8_t(b));
                      bits.Include(102);
                      PutGroup(w, bits);
                      w.U8(1);
                      w.U32(0);
                  }
              }),
              "CodeMemoParser: Stored definition has more than 65536 character groups");
}

TEST(DefStream, KeywordTableEndSpecificationsRoundTrip) {
    TCM_CharGroup none, all, some, most;
    all.SetNegate(true);
    some.AddRange('a', 'f');
    some.Add(0);
    some.Add(']');
    some.Add(255);
    most.Add('\\');
    most.SetNegate(true);
    for (const TCM_CharGroup* g : {&none, &all, &some, &most}) {
        const std::string spec = TDefinitionStream::EndSpecOf(*g);
        auto sets = ParseCharSpecs(spec);
        ASSERT_EQ(sets.size(), 1u) << spec;
        for (int c = 0; c < 256; ++c)
            EXPECT_EQ(sets[0].test(size_t(c)), g->Contains(uint8_t(c))) << spec << " " << c;
    }
    EXPECT_LT(TDefinitionStream::EndSpecOf(most).size(), 12u);

    // A stored specification that is not one class is refused.
    TCodeMemoParser p;
    BuildFull(p);
    auto full = TDefinitionStream::WriteTables(p);
    const std::string spec =
        TDefinitionStream::EndSpecOf(p.Groups.Group(p.Settings().KeyTables[0].EndGroup));
    auto pos = std::search(full.begin(), full.end(), spec.begin(), spec.end());
    ASSERT_NE(pos, full.end());
    pos[0] = 'a';
    pos[1] = 'b';
    std::fill(pos + 2, pos + long(spec.size()), uint8_t('c'));
    EXPECT_EQ(LoadError(Envelope(51, full)),
              "CodeMemoParser: Stored keyword table end specification '" + std::string("ab") +
                  std::string(spec.size() - 2, 'c') + "' is not one character class");
}

TEST(DefStream, EditingTablesTravelThroughTheHooks) {
    TStoredEditing e;
    e.AutoReplace.Entries = {{"teh", "typo", "the"}, {"adn", "", "and"}};
    e.AutoReplace.HotKey = "";
    e.AutoReplace.Flags = 0xFF;
    e.ActionKeys = " .,;";
    e.Templates.Entries = {{"rule", "a rule", "| {\r}"}};
    e.Templates.HotKey = "Ctrl+J";
    e.Keys.Commands = {{0, "Left"}, {47, "Undo"}};
    e.Keys.Bindings = {{0x25, 0, 0}, {0x4000 | 'K', 'I', 47}};
    TDefinitionStream::CollectEditing = [&](const TCM_Settings&) { return e; };
    TStoredEditing got;
    TDefinitionStream::ApplyEditing = [&](TCM_Settings&, TStoredEditing&& in) { got = in; };
    TCodeMemoParser a, b;
    BuildFull(a);
    const auto saved = TDefinitionStream::SaveToBytes(a);
    TDefinitionStream::LoadFromBytes(b, saved.data(), saved.size());
    TDefinitionStream::CollectEditing = nullptr;
    TDefinitionStream::ApplyEditing = nullptr;
    TStoredEditing want = e;
    want.AutoReplace.Flags = 0x7F; // only the low 7 bits are written
    EXPECT_EQ(got, want);

    // A name longer than its one-byte length cannot be written.
    TDefWriter w;
    e.Templates.Entries[0].Name = std::string(300, 'n');
    EXPECT_THROW(TDefinitionStream::WriteEditing(w, e), EDefinitionError);
    a.Keywords.Add(std::string(256, 'k'), 1, TStateSet::Of({9}));
    try {
        TDefinitionStream::SaveToBytes(a, "CssParser");
        FAIL();
    } catch (const EDefinitionError& err) {
        EXPECT_STREQ(err.what(), "CssParser: Text of 256 bytes is too long for a one-byte length");
    }
}

TEST(DefStream, AssignCopiesThroughTheStreamAndNotifiesUsers) {
    struct TUser : IDefinitionUser {
        int Changed = 0;
        void DefinitionChanged() override { ++Changed; }
    } user;
    TCodeMemoParser a, b;
    BuildFull(a);
    b.AttachUser(&user);
    TDefinitionStream::Assign(b, a);
    EXPECT_EQ(DumpDefinition(b), DumpDefinition(a));
    EXPECT_EQ(user.Changed, 1);
    b.DetachUser(&user);

    struct TOther : TCustomCodeMemoParser {
        std::string ClassName() const override { return "TOtherParser"; }
        int NextToken(TTokenCursor&) override { return 0; }
        void ResetState(uint8_t) override {}
        void ShowProperties() override {}
    } other;
    try {
        TDefinitionStream::Assign(b, other);
        FAIL();
    } catch (const EDefinitionError& e) {
        EXPECT_STREQ(e.what(), "Cannot assign a TOtherParser to TCodeMemoParser");
    }
}

TEST(DefStream, TruncatedAndCorruptedValuesRaiseAndNeverCrash) {
    TCodeMemoParser a;
    BuildFull(a);
    const auto saved = TDefinitionStream::SaveToBytes(a);
    for (size_t n = 0; n < saved.size(); ++n)
        EXPECT_NE(LoadError(std::vector<uint8_t>(saved.begin(), saved.begin() + long(n))),
                  "(loaded)")
            << n;
    // Flips inside the table stream (recompressed so the compressor passes them on).
    const auto tables = TDefinitionStream::WriteTables(a);
    std::mt19937 rng(17);
    int loaded = 0;
    for (int k = 0; k < 400; ++k) {
        auto bad = tables;
        bad[rng() % bad.size()] ^= uint8_t(1 + rng() % 255);
        if (k % 4 == 0) bad.resize(rng() % bad.size());
        loaded += LoadError(Envelope(51, bad)) == "(loaded)";
    }
    EXPECT_LT(loaded, 400);
    for (int k = 0; k < 200; ++k) {
        auto bad = saved;
        bad[rng() % bad.size()] ^= uint8_t(1 + rng() % 255);
        LoadError(bad);
    }
}

TEST(DefStream, ShippedDefinitionsLoadThroughTheReader) {
    try {
        ShippedDefinitionBytes("xml");
        FAIL();
    } catch (const EDefinitionError& e) {
        EXPECT_STREQ(e.what(), "No shipped definition named 'xml' (css or html)");
    }
    for (const char* name : {"css", "html"}) {
        std::unique_ptr<TCodeMemoParser> def;
        try {
            def = ShippedDefinition(name);
        } catch (const EDefinitionError& e) {
            EXPECT_EQ(e.what(),
                      "The program was built without the '" + std::string(name) + "' definition");
            continue;
        }
        const TShippedBytes b = ShippedDefinitionBytes(name);
        EXPECT_EQ(b.Data[0] | (b.Data[1] << 8), 51);
        // What was embedded is exactly what the writer makes of it again.
        EXPECT_EQ(TDefinitionStream::SaveToBytes(*def),
                  std::vector<uint8_t>(b.Data, b.Data + b.Size));
        EXPECT_EQ(def->Settings().Name,
                  std::string(name) == "css" ? "Cascading Style Sheets" : "HTML / JS / VBS");
        EXPECT_FALSE(def->CaseSensitive);
    }
}

TEST(DefStream, ACompiledScriptRoundTrips) {
    TCodeMemoParser a;
    CompileScriptFile(a, std::string(QUILLET_TEST_DATA) + "/cli/compile-sample.script");
    const auto saved = TDefinitionStream::SaveToBytes(a);
    TCodeMemoParser b;
    ASSERT_TRUE(TDefinitionStream::LoadFromBytes(b, saved.data(), saved.size()));
    EXPECT_EQ(DumpDefinition(b), DumpDefinition(a));
    EXPECT_EQ(TDefinitionStream::SaveToBytes(b), saved);
    ASSERT_EQ(b.SecondaryKeywords.size(), 2u);
    EXPECT_EQ(b.Settings().KeyTables[0].Words.size(), 3u);
}

// A recogniser reads its whole token; the body of its rule is unused, whatever groups exist.
TEST(DefStream, RecogniserRulesRoundTripWithOrWithoutGroups) {
    auto tokens = [](TCodeMemoParser& p) {
        const std::string text = "ab1 x_y2 #yyz";
        p.ResetState(0);
        TTokenCursor cur{reinterpret_cast<const uint8_t*>(text.data()), text.size(), 0};
        std::string out;
        while (!cur.AtEnd()) {
            const size_t before = cur.Pos;
            out += std::to_string(p.NextToken(cur)) + "@" + std::to_string(cur.Pos) + ",";
            if (cur.Pos == before) ++cur.Pos;
        }
        return out;
    };
    for (const char* script :
         {"%%Tokens\r7 __STD_IDENTIFIER", "%%Tokens\r5 '#' 'y' * 'z' 1\r7 __STD_IDENTIFIER"}) {
        TCodeMemoParser a;
        CompileScript(a, script, {});
        const auto saved = TDefinitionStream::SaveToBytes(a);
        TCodeMemoParser b;
        ASSERT_TRUE(TDefinitionStream::LoadFromBytes(b, saved.data(), saved.size()));
        EXPECT_EQ(DumpDefinition(b), DumpDefinition(a)) << script;
        EXPECT_NE(DumpDefinition(b).find("start handler 10 body [] end none"), std::string::npos);
        EXPECT_EQ(TDefinitionStream::SaveToBytes(b), saved);
        EXPECT_EQ(tokens(b), tokens(a));
    }
    // Built by hand, the unused body names a group of characters: it is stored empty.
    TCodeMemoParser h;
    TCM_CharGroup x;
    x.Add('x');
    h.Groups.Append(x);
    TTokenRule r;
    r.Start.IsHandler = true;
    r.Start.Handler = 10;
    r.Token = 7;
    h.GlobalStart.Rules['a'] = r;
    const auto saved = TDefinitionStream::SaveToBytes(h);
    TCodeMemoParser b;
    ASSERT_TRUE(TDefinitionStream::LoadFromBytes(b, saved.data(), saved.size()));
    EXPECT_TRUE(b.Groups.Group(b.GlobalStart.Rules['a']->Body.Group).Set().Empty());
}

TEST(DefStream, TheSettingsOwnTablesTravelWithTheDefinition) {
    TCodeMemoParser a;
    BuildFull(a);
    TCM_Settings& s = a.Settings();
    s.AutoReplace.AddEntry("teh", "typo", "the");
    s.AutoReplace.SetTriggerKeys(" ;");
    s.Templates.AddEntry("rule", "a rule", "| {\r}");
    s.KeyStore.SetCommandName(0, "Left arrow");
    const auto saved = TDefinitionStream::SaveToBytes(a);
    TCodeMemoParser b;
    ASSERT_TRUE(TDefinitionStream::LoadFromBytes(b, saved.data(), saved.size()));
    const TCM_Settings& t = b.Settings();
    ASSERT_NE(t.AutoReplace.FindExpansion("teh"), nullptr);
    EXPECT_EQ(*t.AutoReplace.FindExpansion("teh"), "the");
    EXPECT_EQ(t.AutoReplace.TriggerKeys(), " ;");
    EXPECT_EQ(t.Templates.Count(), 1);
    EXPECT_EQ(t.Templates.TriggerShortCut(), s.Templates.TriggerShortCut());
    EXPECT_EQ(t.KeyStore.CommandName(0), "Left arrow");
    EXPECT_EQ(t.KeyStore.CommandNames(), s.KeyStore.CommandNames());
    EXPECT_EQ(TDefinitionStream::SaveToBytes(b), saved);
    const TStoredEditing e = TDefinitionStream::EditingOf(t);
    EXPECT_EQ(e.Templates.HotKey, "Ctrl+J");
    EXPECT_FALSE(e.Keys.Bindings.empty());
}
