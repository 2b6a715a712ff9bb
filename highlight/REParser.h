// Regular-expression engine: compiles a pattern into a node program and searches text with it.
#pragma once

#include "highlight/RECharSource.h"
#include "platform/Errors.h"
#include "platform/Progress.h"

#include <array>
#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

namespace quillet {

// A search-time failure of the engine (bad call, bad index, budget exhausted).
class ERegexError : public EQuilletError {
public:
    using EQuilletError::EQuilletError;
};

class TREParser {
public:
    static constexpr int MaxGroups = 9;
    static constexpr int PositionCount = 256;

    TREParser();

    // Compiles text unless it equals the last pattern compiled successfully. On failure
    // the answer is false and ErrorNumber/ErrorColumn tell why.
    bool SetPattern(std::string_view text);
    const std::string& Pattern() const { return FCachedPattern; }
    bool Compiled() const { return !FProgram.empty(); }
    // How many times a pattern was actually compiled (cache hits do not count).
    int CompileCount() const { return FCompileCount; }

    // String-table number of the last compile error (SRENoErrors when none) and its
    // 1-based column in the pattern.
    int ErrorNumber() const { return FErrorNumber; }
    int ErrorColumn() const { return FErrorColumn; }
    std::string ErrorText() const;

    // Tries a match at start, then at each next (or previous) position. Backward from the
    // very end first steps back one character. True: MatchStart/MatchEnd are set. With
    // nonEmpty an empty match counts as none and the search goes on at the next position.
    bool Search(const IRECharSource& source, int64_t start, bool forward, bool nonEmpty = false);
    // Told every ProgressSteps steps of a search the positions tried and the positions to try;
    // when it answers false the search stops, answers false and Cancelled() says so.
    void SetProgress(TProgressFunc progress) { FProgress = std::move(progress); }
    bool Cancelled() const { return FCancelled; }
    static constexpr int64_t ProgressSteps = int64_t(1) << 16;
    int64_t MatchStart() const { return FMatchStart; }
    int64_t MatchEnd() const { return FMatchEnd; }

    // Group n (1..9) of the last match, -1 when it took no part.
    int64_t GroupStart(int n) const;
    int64_t GroupEnd(int n) const;
    // The positions recorded in order during the last match (literal runs and groups).
    int64_t Position(int index) const;

    // Steps one search may take, beyond StepsPerPosition (plus a quarter of the program's
    // size) for each start position in the text it covers, before it gives up as too complex.
    // Searches are linear in the text; what can still exhaust it is a pattern whose empty
    // choices inside a loop multiply.
    void SetStepBudget(int64_t steps) { FStepBudget = steps; }
    static constexpr int64_t StepsPerPosition = 64;

    const std::vector<uint8_t>& Program() const { return FProgram; }

private:
    friend class TRECompiler;
    friend class TREMatcher;
    void Analyse();
    std::vector<uint8_t> FProgram;
    std::vector<uint8_t> FLoopHead; // 1 at each node a loop goes back to
    // By node: the number of its mark in the matcher's table of failed states (-1: none),
    // and for each simple repeat its own number.
    std::vector<int32_t> FMemoIndex, FRepeatIndex;
    int FMemoCount = 0, FRepeatCount = 0;
    // A literal every match contains (empty when none is known).
    std::string FRequired;
    // The pattern starts with ".*": a try that fails at a line's start fails in all the line.
    bool FLeadingAnyRun = false;
    std::string FCachedPattern;
    int FErrorNumber;
    int FErrorColumn = 0;
    int FCompileCount = 0;
    int64_t FStepBudget = 2'000'000;
    TProgressFunc FProgress;
    bool FCancelled = false;
    // First-character prefilter: FFirst[c] is true for every byte a match can start with.
    bool FHasFirst = false;
    std::array<bool, 256> FFirst{};
    int64_t FMatchStart = -1, FMatchEnd = -1;
    std::array<int64_t, MaxGroups + 1> FStartP{}, FEndP{};
    std::array<int64_t, PositionCount> FPositions{};
};

} // namespace quillet
