// Plain-text search: a Boyer-Moore-Horspool scan over a character source, both directions.
#pragma once

#include "highlight/RECharSource.h"
#include "platform/Progress.h"

#include <array>
#include <cstdint>
#include <functional>
#include <string>
#include <string_view>

namespace quillet {

// The two word tests of the editor; either can be replaced by the control's owner.
struct TWordTests {
    std::function<bool(char)> StartsWord; // default: an ASCII letter or "_"
    std::function<bool(char)> IsInWord;   // default: letters, digits, "_", "-", "'"

    static bool DefaultStartsWord(char c);
    static bool DefaultIsInWord(char c);
    // Either test holds (an unset test counts as the default).
    bool IsWordChar(char c) const;
};

// ASCII upper case of a byte; bytes of UTF-8 sequences stay as they are.
uint8_t UpperByte(uint8_t c);

// The pattern and its shift tables, cached: the exact tables are rebuilt only when the
// pattern changes, the case-folded ones only when its upper-case form changes.
class TBMSearch {
public:
    // The offset of the hit, or -1. Forward: the first hit starting at or after start.
    // Backward: the last hit starting at or before start. An empty pattern finds nothing.
    int64_t Find(const IRECharSource& source, std::string_view pattern, int64_t start, bool forward,
                 bool matchCase);
    // As Find, but with wholeWord a hit counts only when the characters on both sides
    // are not word characters; a rejected hit resumes one position further on.
    int64_t Search(const IRECharSource& source, std::string_view pattern, int64_t start,
                   bool forward, bool matchCase, bool wholeWord, const TWordTests& words);

    // Told every ProgressChunk characters scanned how far the search got and how far it goes;
    // when it answers false the search stops, finds nothing and Cancelled() says so.
    void SetProgress(TProgressFunc progress) { FProgress = std::move(progress); }
    bool Cancelled() const { return FCancelled; }
    static constexpr int64_t ProgressChunk = int64_t(1) << 20;

    // How often each pair of tables was built (the cache's effect is visible in tests).
    int ExactBuilds() const { return FExactBuilds; }
    int FoldedBuilds() const { return FFoldedBuilds; }

private:
    using TShift = std::array<int32_t, 256>;
    void Prepare(std::string_view pattern, bool matchCase);
    // Find without resetting the progress count (a whole-word search makes several).
    int64_t Scan(const IRECharSource& source, std::string_view pattern, int64_t start, bool forward,
                 bool matchCase);
    int64_t Forward(const IRECharSource& source, int64_t start, bool fold);
    int64_t Backward(const IRECharSource& source, int64_t start, bool fold);
    void StartProgress(int64_t origin, bool forward, int64_t size);
    // Reports the position reached; false when the search is to stop.
    bool GoOn(int64_t at);
    bool SlowMatch(const IRECharSource& source, int64_t pos, bool fold) const;
    static void BuildTables(const std::string& p, TShift& fwd, TShift& bwd);

    std::string FPattern, FUpper;
    bool FHaveExact = false, FHaveFolded = false;
    TShift FFwd{}, FBwd{}, FFwdFold{}, FBwdFold{};
    int FExactBuilds = 0, FFoldedBuilds = 0;
    TProgressFunc FProgress;
    bool FCancelled = false, FProgressForward = true;
    // The next position at which to report (never reached without a report to make).
    int64_t FOrigin = 0, FSize = 0, FNextCheck = 0;
};

} // namespace quillet
