#include "editor/LineTrack.h"

#include <gtest/gtest.h>

#include <random>

using namespace quillet;

namespace {

struct MarkFixture : ::testing::Test {
    TMarkList M;
    std::vector<std::pair<int, int>> Changed;
    std::vector<int32_t> Freed;
    MarkFixture() {
        M.OnMarkChange = [&](TMarkList&, TMark& m) {
            Changed.push_back({m.Start.Value(), m.End.Value()});
        };
        M.OnMarkFree = [&](TMarkList&, TMark& m) { Freed.push_back(m.Value); };
    }
    std::pair<int, int> Range(const TMark& m) { return {m.Start.Value(), m.End.Value()}; }
};

} // namespace

TEST_F(MarkFixture, InsertionAtTheBoundaries) {
    struct {
        int At;
        std::pair<int, int> Expect;
    } cases[] = {{15, {10, 25}}, {20, {10, 25}}, {10, {15, 25}}, {21, {10, 20}}, {0, {15, 25}}};
    for (auto& c : cases) {
        TMarkList list;
        TMark& m = list.Add(TOffset(10), 10);
        list.AdjustInsert(TOffset(c.At), 5);
        EXPECT_EQ(Range(m), c.Expect) << "insert at " << c.At;
    }
}

TEST_F(MarkFixture, DeletionAtTheBoundaries) {
    struct {
        int At, Length;
        std::pair<int, int> Expect; // {-1,-1}: the mark is gone
    } cases[] = {
        {5, 25, {-1, -1}},  // wholly inside
        {10, 10, {-1, -1}}, // exactly the mark
        {0, 5, {5, 15}},    // before it
        {12, 3, {10, 17}},  // inside it
        {15, 10, {10, 15}}, // over its end: the end stops at the deletion
        {5, 10, {5, 10}},   // over its start: the start moves to the deletion
        {20, 5, {10, 20}},  // starting at its end: untouched
        {10, 5, {10, 15}},  // from its start, inside
        {21, 5, {10, 20}},  // after it
    };
    for (auto& c : cases) {
        TMarkList list;
        bool freed = false;
        list.OnMarkFree = [&](TMarkList&, TMark&) { freed = true; };
        TMark& m = list.Add(TOffset(10), 10);
        list.AdjustDelete(TOffset(c.At), c.Length);
        if (c.Expect.first < 0) {
            EXPECT_TRUE(freed) << c.At << "+" << c.Length;
            EXPECT_EQ(list.Count(), 0u);
        } else {
            ASSERT_EQ(list.Count(), 1u);
            EXPECT_EQ(Range(m), c.Expect) << c.At << "+" << c.Length;
        }
    }
}

TEST_F(MarkFixture, StartOrderFindAndEvents) {
    TMark& b = M.Add(TOffset(20), -5, 2); // ordered to 15-20
    TMark& a = M.Add(TOffset(3), 4, 1);
    TMark& c = M.Add(TOffset(15), 1, 3); // after the equal start
    ASSERT_EQ(M.Count(), 3u);
    EXPECT_EQ(&M[0], &a);
    EXPECT_EQ(&M[1], &b);
    EXPECT_EQ(&M[2], &c);
    EXPECT_EQ(Range(b), std::make_pair(15, 20));
    // Both ends of the probe and of the mark count.
    EXPECT_EQ(M.Find(TOffset(7), 0), &a);
    EXPECT_EQ(M.Find(TOffset(8), 6), nullptr);
    EXPECT_EQ(M.Find(TOffset(8), 7), &b);
    M.SetMarkStart(a, TOffset(30)); // 7-30 ordered, now after b and c
    EXPECT_EQ(Range(a), std::make_pair(7, 30));
    M.SetMarkEnd(a, TOffset(40));
    EXPECT_EQ(Range(a), std::make_pair(7, 40));
    M.SetMarkEnd(c, TOffset(1));
    EXPECT_EQ(&M[0], &c);
    EXPECT_EQ(M.MarkStart(c), TOffset(1));
    EXPECT_EQ(M.MarkEnd(c), TOffset(15));

    Changed.clear();
    M.AdjustDelete(TOffset(0), 10); // c loses 0-10, a moves over the deletion, b moves
    EXPECT_EQ(Changed.size(), 3u);
    EXPECT_EQ(Range(c), std::make_pair(0, 5));
    EXPECT_EQ(Range(a), std::make_pair(0, 30));
    EXPECT_EQ(Range(b), std::make_pair(5, 10));
    M.Delete(b);
    EXPECT_EQ(Freed, std::vector<int32_t>{2});
    M.Clear();
    EXPECT_EQ(Freed, (std::vector<int32_t>{2, 3, 1}));
}

TEST(Breakpoints, LooksAndStateChanges) {
    TCM_Breakpoints bp;
    int repaints = 0, changes = 0;
    bp.OnRepaint = [&](TCM_Breakpoints&) { ++repaints; };
    bp.OnStateChange = [&](TCM_Breakpoints&, TCM_BreakpointData&) { ++changes; };
    TCM_BreakpointData& item = bp.Add(10);
    EXPECT_EQ(bp.Look(item).Glyph, 11);
    EXPECT_EQ(bp.Look(item).Foreground, 0xFFFFFFu);
    EXPECT_EQ(bp.Look(item).Background, 0x0000FFu);
    item.SetEnabled(false);
    item.SetEnabled(false);
    EXPECT_EQ(changes, 1);
    EXPECT_EQ(repaints, 2);
    EXPECT_EQ(bp.Look(item).Glyph, 12);
    EXPECT_EQ(bp.Look(item).Foreground, 0x00FFFFu);
    EXPECT_EQ(bp.Look(item).Background, 0x008000u);

    TCM_CodeBreak cb;
    EXPECT_FALSE(cb.Item().Enabled());
    cb.SetPosition(4);
    cb.Item().SetEnabled(true);
    EXPECT_EQ(cb.Look(cb.Item()).Glyph, 12);
    EXPECT_EQ(cb.Look(cb.Item()).Background, 0x800000u);
    cb.Clear(); // never frees its one item
    EXPECT_EQ(cb.Count(), 1u);
    EXPECT_FALSE(cb.Item().Enabled());
}

TEST(Breakpoints, FollowEditsAndLoseTheirLines) {
    // Text: "aa\rbbb\rcc\rdd" — lines start at 0, 3, 7, 10.
    TLineTracker t;
    std::vector<int> freed;
    t.Breakpoints.OnFree = [&](TCM_Breakpoints&, TCM_BreakpointData& d) {
        freed.push_back(d.UserNumber);
    };
    for (int pos : {10, 0, 7, 3})
        t.Breakpoints.Add(pos).UserNumber = pos;
    t.CodeBreak.SetPosition(7);
    t.CodeBreak.Item().SetEnabled(true);
    // Sorted lazily before the first search.
    EXPECT_EQ(t.Breakpoints[0].Position(), 0);
    EXPECT_NE(t.Breakpoints.Find(7), nullptr);
    EXPECT_EQ(t.Breakpoints.Find(8), nullptr);

    t.TextInserted(TOffset(3), 2); // at line 1's start: it and everything after move
    EXPECT_EQ(t.Breakpoints[0].Position(), 0);
    EXPECT_EQ(t.Breakpoints[1].Position(), 5);
    EXPECT_EQ(t.CodeBreak.Item().Position(), 9);
    t.TextDeleted(TOffset(3), "xx", 11);

    // Deleting "bbb\r" takes line 1 with its line end.
    t.TextDeleted(TOffset(3), "bbb\r", 9);
    EXPECT_EQ(freed, std::vector<int>{3});
    EXPECT_EQ(t.Breakpoints.Find(3)->UserNumber, 7);
    // Deleting "\rcc" (end of line 0 to inside line 2's text) keeps line 2's
    // rest: its item stays, at the deletion.
    t.TextDeleted(TOffset(2), "\rcc", 6);
    EXPECT_TRUE(t.CodeBreak.Item().Enabled());
    EXPECT_EQ(t.CodeBreak.Item().Position(), 2);
    EXPECT_EQ(t.Breakpoints.Count(), 3u);
    // Text is now "aa\rdd": deleting "\rdd" to the end takes line 1 (the old
    // line 3 merged) and disables the code break.
    t.TextDeleted(TOffset(2), "\rdd", 2);
    EXPECT_EQ(freed, (std::vector<int>{3, 7, 10}));
    EXPECT_FALSE(t.CodeBreak.Item().Enabled());
    EXPECT_EQ(t.CodeBreak.Count(), 1u);
    EXPECT_EQ(t.Breakpoints[0].Position(), 0);
}

TEST(LineTracker, MarksAreMadeOnFirstUseAndFollowEdits) {
    TLineTracker t;
    EXPECT_FALSE(t.HasMarks());
    t.TextInserted(TOffset(0), 5); // no list yet: nothing to do
    int wired = 0;
    t.OnMarksCreated = [&](TMarkList&) { ++wired; };
    TMark& m = t.Marks().Add(TOffset(10), 10);
    t.Marks();
    EXPECT_EQ(wired, 1);
    t.Named.Set("n", TOffset(12));
    t.TextInserted(TOffset(15), 5);
    EXPECT_EQ(m.End, TOffset(25));
    t.TextDeleted(TOffset(0), std::string(30, 'x'), 0); // the whole text
    EXPECT_EQ(t.Marks().Count(), 0u);
    EXPECT_EQ(t.Named.Count(), 0u);
}

// Painting asks for the marks near a row instead of walking them all: whatever the edits did to
// the marks, every mark that overlaps the row must be among those it is given. Taking a kind of
// mark away in one pass frees each of them once and keeps the others in order.
TEST_F(MarkFixture, NearFindsEveryOverlappingMarkThroughEdits) {
    std::mt19937 rng(11);
    for (int round = 0; round < 3000; ++round) {
        const int op = int(rng() % 10);
        if (op < 4) {
            M.Add(TOffset(int(rng() % 1000)), int(rng() % 70) - 20, int32_t(rng() % 4));
        } else if (op < 6) {
            M.AdjustInsert(TOffset(int(rng() % 1000)), int(rng() % 200));
        } else if (op < 8) {
            M.AdjustDelete(TOffset(int(rng() % 1000)), int(rng() % 60));
        } else if (op == 8 && M.Count() > 0) {
            TMark& m = M[rng() % M.Count()];
            M.SetMarkEnd(m, m.End + int(rng() % 300));
        } else if (rng() % 8 == 0) {
            const size_t before = M.Count(), freed = Freed.size();
            M.DeleteIf([](const TMark& m) { return m.Value == 1; });
            for (size_t i = 0; i < M.Count(); ++i) {
                ASSERT_NE(M[i].Value, 1);
                if (i > 0) {
                    ASSERT_LE(M[i - 1].Start, M[i].Start);
                }
            }
            ASSERT_EQ(Freed.size() - freed, before - M.Count());
        }
        for (int probe = 0; probe < 4; ++probe) {
            const int from = int(rng() % 1400), to = from + 1 + int(rng() % 100);
            const auto [first, last] = M.Near(TOffset(from), TOffset(to));
            for (size_t i = 0; i < M.Count(); ++i)
                if (M[i].Start < TOffset(to) && M[i].End > TOffset(from)) {
                    ASSERT_TRUE(i >= first && i < last)
                        << "round " << round << ": mark " << M[i].Start << "-" << M[i].End
                        << " overlaps " << from << "-" << to;
                }
        }
    }
}
