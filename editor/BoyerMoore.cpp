// Plain-text search: a Boyer-Moore-Horspool scan over a character source, both directions.
#include "editor/BoyerMoore.h"

#include <algorithm>
#include <cstring>

namespace quillet {

namespace {

constexpr std::array<uint8_t, 256> MakeUpper() {
    std::array<uint8_t, 256> t{};
    for (int c = 0; c < 256; ++c)
        t[c] = static_cast<uint8_t>(c >= 'a' && c <= 'z' ? c - 32 : c);
    return t;
}
constexpr std::array<uint8_t, 256> Upper = MakeUpper();

// Reads a source run by run; one virtual call per run, not per byte.
struct TRunCursor {
    const IRECharSource& Source;
    std::string_view Run;
    int64_t RunStart = 0, RunEnd = 0;

    explicit TRunCursor(const IRECharSource& source) : Source(source) {}
    void Ensure(int64_t pos) {
        if (pos >= RunStart && pos < RunEnd) return;
        Run = Source.RunAt(pos, RunStart);
        RunEnd = RunStart + static_cast<int64_t>(Run.size());
    }
    uint8_t At(int64_t pos) {
        Ensure(pos);
        return static_cast<uint8_t>(Run[static_cast<size_t>(pos - RunStart)]);
    }
    const uint8_t* Base() const { return reinterpret_cast<const uint8_t*>(Run.data()); }
};

bool FoldedEqual(const uint8_t* text, const uint8_t* upperPattern, size_t n) {
    for (size_t k = 0; k < n; ++k)
        if (Upper[text[k]] != upperPattern[k]) return false;
    return true;
}

} // namespace

uint8_t UpperByte(uint8_t c) {
    return Upper[c];
}

bool TWordTests::DefaultStartsWord(char c) {
    return (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') || c == '_';
}

bool TWordTests::DefaultIsInWord(char c) {
    return DefaultStartsWord(c) || (c >= '0' && c <= '9') || c == '-' || c == '\'';
}

bool TWordTests::IsWordChar(char c) const {
    bool starts = StartsWord ? StartsWord(c) : DefaultStartsWord(c);
    return starts || (IsInWord ? IsInWord(c) : DefaultIsInWord(c));
}

void TBMSearch::BuildTables(const std::string& p, TShift& fwd, TShift& bwd) {
    auto m = static_cast<int32_t>(p.size());
    fwd.fill(m);
    bwd.fill(m);
    // Forward: the distance from a byte's last occurrence (before the final one) to the end.
    for (int32_t j = 0; j + 1 < m; ++j)
        fwd[static_cast<uint8_t>(p[j])] = m - 1 - j;
    // Backward: the distance from the start to a byte's first occurrence after it.
    for (int32_t j = m - 1; j >= 1; --j)
        bwd[static_cast<uint8_t>(p[j])] = j;
}

void TBMSearch::Prepare(std::string_view pattern, bool matchCase) {
    if (pattern != FPattern) {
        FPattern.assign(pattern);
        FHaveExact = false;
        std::string upper(pattern);
        for (char& c : upper)
            c = static_cast<char>(Upper[static_cast<uint8_t>(c)]);
        if (upper != FUpper) {
            FUpper = std::move(upper);
            FHaveFolded = false;
        }
    }
    if (matchCase && !FHaveExact) {
        BuildTables(FPattern, FFwd, FBwd);
        FHaveExact = true;
        ++FExactBuilds;
    } else if (!matchCase && !FHaveFolded) {
        BuildTables(FUpper, FFwdFold, FBwdFold);
        FHaveFolded = true;
        ++FFoldedBuilds;
    }
}

bool TBMSearch::SlowMatch(const IRECharSource& source, int64_t pos, bool fold) const {
    const std::string& p = fold ? FUpper : FPattern;
    TRunCursor cur(source);
    for (size_t k = 0; k < p.size(); ++k) {
        uint8_t c = cur.At(pos + static_cast<int64_t>(k));
        if ((fold ? Upper[c] : c) != static_cast<uint8_t>(p[k])) return false;
    }
    return true;
}

void TBMSearch::StartProgress(int64_t origin, bool forward, int64_t size) {
    FCancelled = false;
    FOrigin = origin;
    FSize = size;
    FProgressForward = forward;
    if (!FProgress)
        FNextCheck = forward ? INT64_MAX : INT64_MIN;
    else
        FNextCheck = forward ? origin + ProgressChunk : origin - ProgressChunk;
}

bool TBMSearch::GoOn(int64_t at) {
    const int64_t done = FProgressForward ? at - FOrigin : FOrigin - at;
    const int64_t total = FProgressForward ? FSize - FOrigin : FOrigin;
    FNextCheck = FProgressForward ? at + ProgressChunk : at - ProgressChunk;
    if (FProgress(done, total)) return true;
    FCancelled = true;
    return false;
}

int64_t TBMSearch::Forward(const IRECharSource& source, int64_t start, bool fold) {
    const std::string& p = fold ? FUpper : FPattern;
    const TShift& shift = fold ? FFwdFold : FFwd;
    const auto m = static_cast<int64_t>(p.size());
    const int64_t n = source.Size();
    const auto* pat = reinterpret_cast<const uint8_t*>(p.data());
    const uint8_t last = pat[m - 1];
    TRunCursor cur(source);
    int64_t i = std::max<int64_t>(start, 0);
    while (i + m <= n) {
        if (i >= FNextCheck && !GoOn(i)) return -1;
        cur.Ensure(i + m - 1);
        if (cur.RunStart <= i) {
            // The window lies inside one run: scan the run directly, up to the next report.
            const uint8_t* base = cur.Base() - cur.RunStart;
            const int64_t limit = std::min(cur.RunEnd - m, FNextCheck);
            if (!fold) {
                while (i <= limit) {
                    uint8_t c = base[i + m - 1];
                    if (c == last && std::memcmp(base + i, pat, static_cast<size_t>(m - 1)) == 0)
                        return i;
                    i += shift[c];
                }
            } else {
                while (i <= limit) {
                    uint8_t c = Upper[base[i + m - 1]];
                    if (c == last && FoldedEqual(base + i, pat, static_cast<size_t>(m - 1)))
                        return i;
                    i += shift[c];
                }
            }
            continue;
        }
        // The window crosses into the next run (a line break inside the pattern's reach).
        uint8_t c = cur.At(i + m - 1);
        if (fold) c = Upper[c];
        if (c == last && SlowMatch(source, i, fold)) return i;
        i += shift[c];
    }
    return -1;
}

int64_t TBMSearch::Backward(const IRECharSource& source, int64_t start, bool fold) {
    const std::string& p = fold ? FUpper : FPattern;
    const TShift& shift = fold ? FBwdFold : FBwd;
    const auto m = static_cast<int64_t>(p.size());
    const int64_t n = source.Size();
    const auto* pat = reinterpret_cast<const uint8_t*>(p.data());
    const uint8_t first = pat[0];
    TRunCursor cur(source);
    int64_t i = std::min(start, n - m);
    while (i >= 0) {
        if (i <= FNextCheck && !GoOn(i)) return -1;
        cur.Ensure(i);
        if (i + m <= cur.RunEnd) {
            const uint8_t* base = cur.Base() - cur.RunStart;
            const int64_t low = std::max(cur.RunStart, FNextCheck);
            if (!fold) {
                while (i >= low) {
                    uint8_t c = base[i];
                    if (c == first &&
                        std::memcmp(base + i + 1, pat + 1, static_cast<size_t>(m - 1)) == 0)
                        return i;
                    i -= shift[c];
                }
            } else {
                while (i >= low) {
                    uint8_t c = Upper[base[i]];
                    if (c == first &&
                        FoldedEqual(base + i + 1, pat + 1, static_cast<size_t>(m - 1)))
                        return i;
                    i -= shift[c];
                }
            }
            continue;
        }
        uint8_t c = cur.At(i);
        if (fold) c = Upper[c];
        if (c == first && SlowMatch(source, i, fold)) return i;
        i -= shift[c];
    }
    return -1;
}

int64_t TBMSearch::Find(const IRECharSource& source, std::string_view pattern, int64_t start,
                        bool forward, bool matchCase) {
    StartProgress(start, forward, source.Size());
    return Scan(source, pattern, start, forward, matchCase);
}

int64_t TBMSearch::Scan(const IRECharSource& source, std::string_view pattern, int64_t start,
                        bool forward, bool matchCase) {
    if (pattern.empty() || static_cast<int64_t>(pattern.size()) > source.Size()) return -1;
    Prepare(pattern, matchCase);
    return forward ? Forward(source, start, !matchCase) : Backward(source, start, !matchCase);
}

int64_t TBMSearch::Search(const IRECharSource& source, std::string_view pattern, int64_t start,
                          bool forward, bool matchCase, bool wholeWord, const TWordTests& words) {
    const auto m = static_cast<int64_t>(pattern.size());
    const int64_t n = source.Size();
    TRunCursor cur(source);
    StartProgress(start, forward, n);
    for (;;) {
        int64_t hit = Scan(source, pattern, start, forward, matchCase);
        if (hit < 0 || !wholeWord) return hit;
        bool before = hit > 0 && words.IsWordChar(static_cast<char>(cur.At(hit - 1)));
        bool after = hit + m < n && words.IsWordChar(static_cast<char>(cur.At(hit + m)));
        if (!before && !after) return hit;
        // Step over the rest of the word that rejected the hit at once: in a line that is one
        // word of megabytes, a hit at every character would each start a scan of its own.
        if (forward) {
            // Any start up to the end of that word has a word character before it.
            start = hit + 1;
            while (start < n && words.IsWordChar(static_cast<char>(cur.At(start - 1))))
                ++start;
        } else {
            start = hit - 1;
            if (after) {
                // Any start whose end falls in the word after this hit has one after it.
                int64_t q = hit + m;
                while (q > 0 && words.IsWordChar(static_cast<char>(cur.At(q - 1))))
                    --q;
                start = std::min(start, q - m - 1);
            }
        }
        if (start < 0) return -1;
    }
}

} // namespace quillet
