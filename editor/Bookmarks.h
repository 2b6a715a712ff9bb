// Numbered bookmarks (line-mark bits plus columns) and named bookmarks (offsets).
#pragma once

#include "editor/TextStore.h"
#include "platform/Errors.h"

#include <cstdint>
#include <functional>
#include <optional>
#include <string>
#include <vector>

namespace quillet {

class EBookmarkError : public EQuilletError {
public:
    using EQuilletError::EQuilletError;
};

// What numbered bookmarks need of the control and its store.
class TBookmarkHost {
public:
    virtual ~TBookmarkHost() = default;
    virtual int LineCount() const = 0; // rows
    virtual uint16_t LineMarks(TRow row) const = 0;
    // Stores the word and marks the row for repainting.
    virtual void SetLineMarks(TRow row, uint16_t marks) = 0;
    virtual int LineLength(TRow row) const = 0; // including its CR
    virtual bool LineEndsWithCR(TRow row) const = 0;
    virtual TRow CaretLine() const = 0;      // the caret's row
    virtual TOffset CaretColumn() const = 0; // its 0-based offset in that row
    virtual bool WordWrap() const = 0;
};

// The store's ten bookmark columns and the operations over the lines' bits.
class TNumberedBookmarks {
public:
    static constexpr int Count = 10;

    std::function<void(TNumberedBookmarks& sender, int index)> OnBookmarkSet;

    // Keeps the columns in storage of the caller (a text store's ten columns) from now on.
    void BindColumns(uint16_t* columns) { FBound = columns; }

    // 1-based column of bookmark n in its line; 0 when it is not set.
    int Column(int n) const;
    bool IsSet(int n) const { return Column(n) != 0; }

    // line -1: the caret's line and column; otherwise line and column are
    // 1-based. Setting a bookmark on the line that carries it removes it.
    void Set(TBookmarkHost& host, int n, int line, int column);
    // The row carrying bookmark n and the text offset it leads to (never past
    // the line's last character); false when no row carries it.
    bool Find(const TBookmarkHost& host, int n, TRow& row, TOffset& offset) const;

private:
    static void Check(int n);
    // The row carrying bookmark n, if any.
    std::optional<TRow> RowOf(const TBookmarkHost& host, int n) const;

    uint16_t* Columns() { return FBound ? FBound : FColumns; }
    const uint16_t* Columns() const { return FBound ? FBound : FColumns; }

    uint16_t FColumns[Count] = {};
    uint16_t* FBound = nullptr;
};

struct TCustomBookmark {
    std::string Name;
    TOffset Position;
};

// Named bookmarks: character offsets kept in position order.
class TCustomBookmarks {
public:
    std::function<void(TCustomBookmarks& sender, const std::string& name)> OnFree;

    TCustomBookmarks() = default;
    TCustomBookmarks(const TCustomBookmarks&) = delete;
    TCustomBookmarks& operator=(const TCustomBookmarks&) = delete;

    // Adds a bookmark, or moves the one of that name.
    void Set(const std::string& name, TOffset position);
    bool Remove(const std::string& name);
    bool Find(const std::string& name, TOffset& position) const;
    // The first bookmark at or after a position, or none.
    const TCustomBookmark* FindAt(TOffset position) const;
    void Clear();

    void AdjustInsert(TOffset position, int length);
    void AdjustDelete(TOffset position, int length);

    size_t Count() const { return FEntries.size(); }
    const std::vector<TCustomBookmark>& Entries() const { return FEntries; }

private:
    void Free(const std::string& name);

    std::vector<TCustomBookmark> FEntries; // by position, ties in order of setting
};

} // namespace quillet
