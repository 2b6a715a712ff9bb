// Numbered bookmarks (line-mark bits plus columns) and named bookmarks (offsets).
#pragma once

#include "editor/TextStore.h"
#include "platform/Errors.h"

#include <cstdint>
#include <functional>
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
    virtual int LineCount() const = 0; // line records
    virtual uint16_t LineMarks(int line) const = 0;
    // Stores the word and marks the line for repainting.
    virtual void SetLineMarks(int line, uint16_t marks) = 0;
    virtual int LineLength(int line) const = 0; // including its CR
    virtual bool LineEndsWithCR(int line) const = 0;
    virtual int CaretLine() const = 0;   // line record index
    virtual int CaretColumn() const = 0; // 0-based offset in that line
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
    // The line carrying bookmark n and the offset it leads to (never past
    // the line's last character); false when no line carries it.
    bool Find(const TBookmarkHost& host, int n, int& line, int& offset) const;

private:
    static void Check(int n);
    int LineOf(const TBookmarkHost& host, int n) const;

    uint16_t* Columns() { return FBound ? FBound : FColumns; }
    const uint16_t* Columns() const { return FBound ? FBound : FColumns; }

    uint16_t FColumns[Count] = {};
    uint16_t* FBound = nullptr;
};

struct TCustomBookmark {
    std::string Name;
    int Position = 0;
};

// Named bookmarks: character offsets kept in position order.
class TCustomBookmarks {
public:
    std::function<void(TCustomBookmarks& sender, const std::string& name)> OnFree;

    TCustomBookmarks() = default;
    TCustomBookmarks(const TCustomBookmarks&) = delete;
    TCustomBookmarks& operator=(const TCustomBookmarks&) = delete;

    // Adds a bookmark, or moves the one of that name.
    void Set(const std::string& name, int position);
    bool Remove(const std::string& name);
    bool Find(const std::string& name, int& position) const;
    // The first bookmark at or after a position, or none.
    const TCustomBookmark* FindAt(int position) const;
    void Clear();

    void AdjustInsert(int position, int length);
    void AdjustDelete(int position, int length);

    size_t Count() const { return FEntries.size(); }
    const std::vector<TCustomBookmark>& Entries() const { return FEntries; }

private:
    void Free(const std::string& name);

    std::vector<TCustomBookmark> FEntries; // by position, ties in order of setting
};

} // namespace quillet
