// The control's Lines: an indexed list of lines that works entirely through the control.
#pragma once

#include "platform/Stream.h"

#include <string>
#include <string_view>

namespace quillet {

class TCustomCodeMemo;

class TCodeMemoStrings {
public:
    // Longer lines are cut when read one at a time.
    static constexpr int MaxLineRead = 4096;

    explicit TCodeMemoStrings(TCustomCodeMemo& memo) : FMemo(memo) {}

    int Count() const;
    std::string Get(int index) const;
    std::string operator[](int index) const { return Get(index); }
    void Put(int index, std::string_view s);
    void Insert(int index, std::string_view s);
    void Add(std::string_view s) { Insert(Count(), s); }
    void Delete(int index);
    void Clear();
    std::string Text() const;
    void SetText(std::string_view text);
    void AddStrings(const TCodeMemoStrings& other);
    void BeginUpdate();
    void EndUpdate();
    void LoadFromStream(TStream& stream);
    void LoadFromFile(const std::string& fileName);
    void SaveToStream(TStream* stream);
    void SaveToFile(const std::string& fileName);

private:
    TCustomCodeMemo& FMemo;
    int FUpdateCount = 0;
};

} // namespace quillet
