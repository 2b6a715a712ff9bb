#include "editor/UndoStackLink.h"

#include <gtest/gtest.h>

#include <random>

using namespace quillet;

TEST(UndoStore, RandomEditsUndoToTheStartAndRedoToTheEnd) {
    TTextStore store;
    store.AttachUndoStack(std::make_unique<TUndoStack>());
    TUndoStoreLink link(store);
    store.Insert(TOffset(0), "body {\r  color: red;\r}\r");
    store.UndoStack()->Clear();
    const std::string start = store.StoredText(TOffset(0), store.TextEnd());
    std::mt19937 rng(1234);
    const char* pieces[] = {"a", "\r", "margin: 0;", "x\ry\rz", "{}"};
    for (int i = 0; i < 3000; ++i) {
        int count = store.CharCount();
        if (count > 0 && rng() % 3 == 0) {
            int pos = int(rng() % unsigned(count));
            int len = 1 + int(rng() % unsigned(std::min(8, count - pos)));
            store.Delete(TOffset(pos), len);
        } else {
            store.Insert(TOffset(int(rng() % unsigned(count + 1))), pieces[rng() % 5]);
        }
    }
    const std::string end = store.StoredText(TOffset(0), store.TextEnd());
    TUndoStack& undo = *store.UndoStack();
    while (undo.CanUndo())
        undo.Undo();
    EXPECT_EQ(store.StoredText(TOffset(0), store.TextEnd()), start);
    while (undo.CanRedo())
        undo.Redo();
    EXPECT_EQ(store.StoredText(TOffset(0), store.TextEnd()), end);
    EXPECT_EQ(link.Beeps(), 0);
}

TEST(UndoStore, KeepUndoAfterSave) {
    TTextStore store;
    store.AttachUndoStack(std::make_unique<TUndoStack>());
    TUndoStoreLink link(store);
    store.Insert(TOffset(0), "a{}");
    // Detached: nothing is logged (or cleared) while the file is written.
    auto kept = store.DetachUndoStack();
    store.Insert(TOffset(3), " ");
    store.Delete(TOffset(3), 1);
    store.AttachUndoStack(std::move(kept));
    EXPECT_TRUE(store.UndoStack()->Modified());
    store.UndoStack()->Undo();
    EXPECT_EQ(store.CharCount(), 0);
    EXPECT_FALSE(store.UndoStack()->Modified());
}

namespace {
// Numbered bookmarks over the store's own line records.
struct TStoreHost : TBookmarkHost {
    TTextStore& S;
    explicit TStoreHost(TTextStore& s) : S(s) {}
    int LineCount() const override { return S.LineCount(); }
    uint16_t LineMarks(TRow row) const override { return S.Line(row).Marks; }
    void SetLineMarks(TRow row, uint16_t marks) override {
        S.Line(row).Marks = marks;
        S.Line(row).Flags |= lfRepaint;
    }
    int LineLength(TRow row) const override { return S.RowLength(row); }
    bool LineEndsWithCR(TRow row) const override {
        auto v = S.RowText(row);
        return !v.empty() && v.back() == '\r';
    }
    TRow CaretLine() const override { return TRow(0); }
    TOffset CaretColumn() const override { return TOffset(0); }
    bool WordWrap() const override { return false; }
};
} // namespace

TEST(UndoStore, BookmarksAndMarksMoveWithTheText) {
    TTextStore store;
    TLineTracker tracker;
    TUndoStoreLink link(store, &tracker);
    store.Insert(TOffset(0), "a{}\rb{}\rc{}");
    TStoreHost host(store);
    tracker.Numbered.Set(host, 1, 2, 3);
    TMark& m = tracker.Marks().Add(TOffset(4), 3);
    store.Insert(TOffset(0), "new{}\r"); // a line above the bookmarked one
    TRow line(-1);
    TOffset offset(-1);
    ASSERT_TRUE(tracker.Numbered.Find(host, 1, line, offset));
    EXPECT_EQ(store.StoredText(offset - 2, offset + 1), "b{}");
    EXPECT_EQ(store.StoredText(TOffset(m.Start), TOffset(m.End)), "b{}");
}
