#include "highlight/CodeMemoParser.h"
#include "highlight/DefinitionError.h"

#include <gtest/gtest.h>

using namespace quillet;

TEST(CharGroup, InternsEqualGroupsAndChecksIds) {
    TCM_CharGroupManager m;
    TCM_CharGroup a;
    a.AddRange('a', 'c');
    TCM_CharGroup b = a;
    b.SetNegate(true);
    EXPECT_EQ(m.Add(a), 0);
    EXPECT_EQ(m.Add(b), 1);
    EXPECT_EQ(m.Add(a), 0);
    EXPECT_EQ(a.Lowest(), 'a');
    EXPECT_EQ(a.Highest(), 'c');
    EXPECT_TRUE(m.Group(1).Contains('z'));
    try {
        m.Group(2);
        FAIL();
    } catch (const EDefinitionError& e) {
        EXPECT_STREQ(e.what(), "Invalid Set ID (2)");
    }
}

TEST(DefKeywords, DuplicatesOnlyWithOverlappingStates) {
    TSyntaxKeywords kw(false);
    kw.Add("Color", 1, TStateSet::Of({0}));
    kw.Add("color", 2, TStateSet::Of({5}));
    try {
        kw.Add("COLOR", 3, TStateSet::Of({5, 6}));
        FAIL();
    } catch (const EDefinitionError& e) {
        EXPECT_STREQ(e.what(), "Duplicate keyword - 'COLOR'");
    }
    EXPECT_EQ(kw.Count(), 2);
    int n = kw.Top('c');
    for (char c : std::string("olor"))
        n = kw.Child(n, uint8_t(c));
    ASSERT_NE(n, TSyntaxKeywords::NoNode);
    EXPECT_EQ(kw.Node(n).Entries.size(), 2u);
    // Siblings stay sorted whatever the insertion order.
    kw.Add("cb", 4, TStateSet::Of({0}));
    kw.Add("ca", 5, TStateSet::Of({0}));
    std::string order;
    kw.ForEach([&](std::string_view t, const TKeywordEntry&) { order += std::string(t) + ","; });
    EXPECT_EQ(order, "ca,cb,color,color,");
}

TEST(Settings, ResetDefaultsAndKeyTables) {
    TCM_Settings s;
    EXPECT_EQ(s.Name, "<Custom language>");
    EXPECT_EQ(s.Options, 0x03FFDBF0u);
    EXPECT_EQ(s.GutterWidth, 34);
    EXPECT_EQ(s.TabColumns[31], -1);
    EXPECT_TRUE(s.Styles[0].Defined);
    EXPECT_FALSE(s.Styles[1].Defined);
    TKeyTableDef a;
    a.Words = {{"x", 1}};
    s.AddKeyTable(a); // empty states become {0}
    a.States = TStateSet::Of({0});
    a.Words = {{"y", 2}};
    s.AddKeyTable(a);
    ASSERT_EQ(s.KeyTables.size(), 1u); // the same states: the second replaces the first
    EXPECT_EQ(s.KeyTables[0].Words, a.Words);
    a.States = TStateSet::Of({0, 1});
    try {
        s.AddKeyTable(a);
        FAIL();
    } catch (const EDefinitionError& e) {
        EXPECT_STREQ(e.what(), "Ambigious key table state definition");
    }
    for (int i = 1; i < TCM_Settings::MaxKeyTables; ++i) {
        a.States = TStateSet::Of({i + 10});
        s.AddKeyTable(a);
    }
    a.States = TStateSet::Of({200});
    try {
        s.AddKeyTable(a);
        FAIL();
    } catch (const EDefinitionError& e) {
        EXPECT_STREQ(e.what(), "Too many keyword tables (at most 21)");
    }
}

namespace {
class TOther : public TCustomCodeMemoParser {
public:
    int NextToken(TTokenCursor&) override { return 0; }
    void ResetState(uint8_t) override {}
    void ShowProperties() override {}
    std::string ClassName() const override { return "TOther"; }
};
struct TUser : IDefinitionUser {
    int Changed = 0;
    bool Throws = false;
    void DefinitionChanged() override {
        ++Changed;
        if (Throws) throw EQuilletError("boom");
    }
};
} // namespace

TEST(DefParser, AssignHandlersAndUsers) {
    TCodeMemoParser a, b;
    a.Keywords.Add("x", 7, TStateSet::Of({0}));
    a.Settings().Name = "Mine";
    TUser u1, u2;
    u1.Throws = true;
    b.AttachUser(&u1);
    b.AttachUser(&u2);
    b.Assign(a);
    EXPECT_EQ(b.Keywords.Count(), 1);
    EXPECT_EQ(b.Settings().Name, "Mine");
    EXPECT_EQ(u2.Changed, 1); // the first user's exception did not stop the second
    b.DetachUser(&u1);
    EXPECT_EQ(b.UserCount(), 1u);
    b.DetachUser(&u2);
    TOther other;
    try {
        b.Assign(other);
        FAIL();
    } catch (const EDefinitionError& e) {
        EXPECT_STREQ(e.what(), "Cannot assign a TOther to TCodeMemoParser");
    }
    EXPECT_NO_THROW(TCodeMemoParser::ValidateHandler(2));
    EXPECT_NO_THROW(TCodeMemoParser::ValidateHandler(20));
    try {
        TCodeMemoParser::ValidateHandler(5);
        FAIL();
    } catch (const EDefinitionError& e) {
        EXPECT_STREQ(e.what(), "Invalid handler number (5): built-in handlers are 0..2 and 10..20");
    }
    b.Clear();
    EXPECT_EQ(b.Keywords.Count(), 0);
    EXPECT_EQ(b.Settings().Name, "<Custom language>");
}
