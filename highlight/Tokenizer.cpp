// One token per call from the definition's tables.
#include "highlight/CodeMemoParser.h"
#include "highlight/DefinitionError.h"
#include "highlight/Handlers.h"
#include "resources/Strings.h"

#include <bit>
#include <cstring>

namespace quillet {

namespace {
// Word-wide set operations: the tokenizer does several per token. Each word is loaded by itself
// so that the compiler keeps them in registers instead of copying the sets through the stack.
inline uint64_t Word(const TByteSet& s, int i) {
    uint64_t w;
    std::memcpy(&w, s.Bits.data() + 8 * i, sizeof w);
    return w;
}
inline bool Meets(const TByteSet& a, const TByteSet& b) {
    return ((Word(a, 0) & Word(b, 0)) | (Word(a, 1) & Word(b, 1)) | (Word(a, 2) & Word(b, 2)) |
            (Word(a, 3) & Word(b, 3))) != 0;
}
inline void Transit(TByteSet& state, const TByteSet& add, const TByteSet& remove) {
    for (int i = 0; i < 4; ++i) {
        const uint64_t w = (Word(state, i) | Word(add, i)) & ~Word(remove, i);
        std::memcpy(state.Bits.data() + 8 * i, &w, sizeof w);
    }
}
} // namespace

void TCodeMemoParser::SelectStartTable() {
    FSelected = &GlobalStart;
    // The lowest-numbered state that owns a table; a word's bit k is state 64 * i + k.
    for (int i = 0; i < 4; ++i) {
        uint64_t both = Word(StatesWithTable, i) & Word(State, i);
        if constexpr (std::endian::native != std::endian::little) both = __builtin_bswap64(both);
        if (both) {
            FSelected = StateStart[size_t(i * 64 + __builtin_ctzll(both))].get();
            return;
        }
    }
}

void TCodeMemoParser::PopState() {
    if (Stack.empty()) throw EDefinitionError(LoadStr(SStackUnderflow));
    State = Stack.back();
    Stack.pop_back();
}

bool TCodeMemoParser::PartHandler(const TRulePart& part, TTokenCursor& cur, size_t start) {
    if (!part.Custom) return RunBuiltinHandler(part.Handler, cur, start);
    if (!OnCustomParse) return false;
    int length = int(cur.Pos - start);
    int value = 0;
    TTokenCursor probe = cur;
    if (!OnCustomParse(*this, part.Handler, probe, length, value)) return false;
    cur.Pos = probe.Pos > cur.Pos ? probe.Pos : cur.Pos;
    return true;
}

bool TCodeMemoParser::EndTest(const TRulePart& end, TTokenCursor& cur, size_t start) {
    if (end.IsHandler) return PartHandler(end, cur, start);
    const size_t from = cur.Pos;
    for (int i = 0; i < end.EndCount; ++i) {
        if (cur.AtEnd() || !Groups.Group(end.EndGroups[size_t(i)]).Contains(cur.Text[cur.Pos])) {
            cur.Pos = from;
            return false;
        }
        ++cur.Pos;
    }
    if (!end.Flag) cur.Pos = from;
    return true;
}

bool TCodeMemoParser::Repeat(const TRulePart& body, const TRulePart& end, bool continuation,
                             TTokenCursor& cur, size_t start) {
    bool endFirst = body.Flag != 0;
    const bool hasEnd = end.IsHandler || end.EndCount > 0;
    // The group is fixed for the whole loop: look it up once.
    const TCM_CharGroup* group = body.IsHandler ? nullptr : &Groups.Group(body.Group);
    // A character body ended by a character sequence (a comment): where the first end character
    // cannot stand, the end test fails and the body takes the character, so a run of those is
    // stepped over in one loop.
    const bool skips = group && !end.IsHandler && end.EndCount > 0;
    const TCM_CharGroup* endStart = nullptr;
    for (;;) {
        if (cur.AtEnd()) return true;
        if (skips && endFirst) {
            if (!endStart) endStart = &Groups.Group(end.EndGroups[0]);
            size_t p = cur.Pos;
            while (p < cur.Length && !endStart->Contains(cur.Text[p]) &&
                   group->Contains(cur.Text[p]))
                ++p;
            cur.Pos = p;
            if (cur.AtEnd()) return true;
        }
        if (endFirst && hasEnd && EndTest(end, cur, start)) return true;
        endFirst = true;
        if (body.IsHandler) {
            if (!body.Custom && IsStandardRecogniser(body.Handler))
                return RunBuiltinHandler(body.Handler, cur, start);
            if (!PartHandler(body, cur, start)) return false;
            if (!continuation && body.Custom) return true;
        } else {
            if (!group->Contains(cur.Text[cur.Pos])) return false;
            ++cur.Pos;
        }
        if (continuation && !hasEnd) return true;
    }
}

bool TCodeMemoParser::LookupKeyword(const TSyntaxKeywords& kw, int, TTokenCursor& cur, size_t start,
                                    uint8_t& token) {
    int32_t node = kw.Top(cur.Text[start]);
    size_t pos = start;
    size_t best = 0;
    bool found = false;
    while (node != TSyntaxKeywords::NoNode) {
        const auto& n = kw.Node(node);
        if (!Meets(n.States, State)) break;
        ++pos;
        if (!n.Entries.empty()) {
            const int after = pos < cur.Length ? cur.Text[pos] : 0;
            for (const auto& e : n.Entries) {
                if (!Meets(e.States, State)) continue;
                if (e.EndGroup >= 0 && !Groups.Group(e.EndGroup).Contains(uint8_t(after))) continue;
                token = e.Token;
                best = pos;
                found = true;
                break;
            }
        }
        if (pos >= cur.Length) break;
        node = kw.Child(node, cur.Text[pos]);
    }
    cur.Pos = found ? best : start + 1;
    return found;
}

// Steps 6 to 8 of a token: validation, the state change and bound regions.
inline uint8_t TCodeMemoParser::Settle(TTokenCursor& cur, size_t start, uint8_t token,
                                       bool secondary) {
    const auto& effect = Effects[token];
    // The state a region restores when it ends: kept only for a token that may open one.
    const bool mayOpen = !FBoundOpen && effect && effect->Bound;
    TStateSet before;
    if (mayOpen) before = State;
    if (cur.Pos == start || (effect && !secondary && !Meets(effect->Valid, State))) {
        token = 0;
        cur.Pos = start + 1;
    } else if (effect) {
        if (effect->StackFlags & sfPopBefore)
            PopState();
        else if (effect->StackFlags & sfPushBefore)
            Stack.push_back(State);
        if (!effect->NoTransition) {
            Transit(State, effect->Add, effect->Remove);
            SelectStartTable();
        }
        if (effect->StackFlags & sfPopAfter)
            PopState();
        else if (effect->StackFlags & sfPushAfter)
            Stack.push_back(State);
        if (effect->StackFlags & (sfPopBefore | sfPopAfter)) SelectStartTable();
    }

    bool opened = false;
    if (FBoundOpen) {
        if (cur.Pos >= FBoundEnd || cur.AtEnd()) {
            State = FSavedState;
            FBoundOpen = false;
            SelectStartTable();
        }
    } else if (mayOpen && token != 0) {
        FSavedState = before;
        FBoundOpen = opened = true;
        FBoundEnd = cur.Pos;
        FBoundToken = token;
    }
    FBusy = (FBoundOpen && cur.Pos < FBoundEnd) || opened;
    FLastToken = token;
    return token;
}

int TCodeMemoParser::NextToken(TTokenCursor& cur) {
    if (cur.AtEnd()) return 0;
    if (!FSelected) SelectStartTable();
    const size_t start = cur.Pos;
    const uint8_t startChar = cur.Text[start];
    // Most characters (blanks, line ends, punctuation outside any rule) are one character of
    // default text: nothing to look up and no state to change.
    if (Keywords.Top(startChar) == TSyntaxKeywords::NoNode && SecondaryKeywords.empty() &&
        !FSelected->Rules[startChar] && !Continuations[0] && !Effects[0] && !FBoundOpen) {
        cur.Pos = start + 1;
        FBusy = false;
        FLastToken = 0;
        return 0;
    }
    uint8_t token = 0;
    bool keyword = LookupKeyword(Keywords, -1, cur, start, token);
    bool secondary = false;
    if (!keyword) {
        for (size_t i = 0; i < SecondaryKeywords.size() && !keyword; ++i) {
            if (!Meets(SecondaryStates[i], State)) continue;
            keyword = LookupKeyword(SecondaryKeywords[i], SecondaryEndGroups[i], cur, start, token);
            secondary = keyword;
        }
        if (!keyword) cur.Pos = start + 1;
    }

    if (const auto& cont = Continuations[token]) {
        if (!Repeat(cont->Body, cont->End, true, cur, start)) {
            token = 0;
            keyword = false;
            cur.Pos = start + 1;
        }
    }

    if (!keyword && token == 0) {
        const auto& rule = FSelected->Rules[startChar];
        if (rule && Meets(rule->Valid, State)) {
            if (rule->Start.IsHandler) {
                cur.Pos = start;
                bool ok = rule->Start.Custom ? PartHandler(rule->Start, cur, start)
                                             : RunBuiltinHandler(rule->Start.Handler, cur, start);
                if (ok)
                    token = rule->Token;
                else
                    cur.Pos = start + 1;
            } else {
                cur.Pos = start + 1;
                if (Repeat(rule->Body, rule->End, false, cur, start))
                    token = rule->Token;
                else
                    cur.Pos = start + 1;
            }
        }
    }

    return Settle(cur, start, token, secondary);
}

TCodeMemoParser::TRunStop TCodeMemoParser::TokenRun(TTokenCursor& cur, size_t limit,
                                                    size_t refillAt, size_t safeEnd, uint8_t* out,
                                                    size_t& lastStart) {
    if (!FSelected) SelectStartTable();
    // The table seen last, kept from call to call (one call a row).
    const TStartTable* seen = FRunTable;
    const TFastTable* fast = FRunFast;
    const uint8_t* const text = cur.Text;
    const size_t stop = limit < cur.Length ? limit : cur.Length;
    while (cur.Pos < limit) {
        const size_t start = cur.Pos;
        if (start > refillAt) return rsRefill;
        lastStart = start;
        uint8_t kind = fkGeneral;
        if (FRunPlain && start < stop) {
            if (FSelected != seen) {
                seen = FRunTable = FSelected;
                fast = FRunFast = FastOf(seen);
            }
            kind = fast->Kind[text[start]];
            if (kind == fkPlain) {
                // What NextToken would find for each, without its loads: one character of
                // default text, no state change. A run of them is written at once.
                size_t p = start + 1;
                while (p < stop && fast->Kind[text[p]] == fkPlain)
                    ++p;
                if (p - start <= 8) {
                    for (size_t i = start; i < p; ++i)
                        out[i] = 0;
                } else {
                    std::memset(out + start, 0, p - start);
                }
                cur.Pos = p;
                FBusy = false;
                FLastToken = 0;
                continue;
            }
        }
        uint8_t value;
        if (kind != fkGeneral) {
            uint8_t token = 0;
            if (kind == fkRecogniser) {
                // No keyword starts here: NextToken would go straight to the table's recogniser.
                const TTokenRule& rule = *seen->Rules[text[start]];
                cur.Pos = start;
                if (!Meets(rule.Valid, State)) {
                    cur.Pos = start + 1;
                } else if (rule.Start.Handler == hIdentifier) {
                    // The commonest token of all, without the handler's dispatch.
                    const size_t end = IdentifierEnd(text, start, cur.Length);
                    cur.Pos = end > start ? end : start + 1;
                    if (end > start) token = rule.Token;
                } else if (RunBuiltinHandler(rule.Start.Handler, cur, start)) {
                    token = rule.Token;
                } else {
                    cur.Pos = start + 1;
                }
            } else {
                // A keyword of one character and no rule behind it; found or not, one
                // character, and a continuation for a token that has one.
                const TOneCharKeyword& k = FOneChar[text[start]];
                if (Meets(k.NodeStates, State) && Meets(k.States, State)) token = k.Token;
                cur.Pos = start + 1;
                if (const auto& cont = Continuations[token])
                    if (!Repeat(cont->Body, cont->End, true, cur, start)) {
                        token = 0;
                        cur.Pos = start + 1;
                    }
            }
            // Most tokens only check that they are valid in the current state.
            const uint8_t effect = FEffectKind[token];
            if (effect == ekFull || FBoundOpen) {
                value = Settle(cur, start, token, false);
            } else {
                if (effect == ekValid &&
                    (cur.Pos == start || !Meets(Effects[token]->Valid, State))) {
                    token = 0;
                    cur.Pos = start + 1;
                }
                FBusy = false;
                FLastToken = token;
                value = token;
            }
        } else {
            // Not through the vtable: this loop is the hot path and the class is known.
            value = uint8_t(TCodeMemoParser::NextToken(cur));
        }
        const size_t end = cur.Pos > start ? cur.Pos : start + 1;
        if (end > safeEnd) return rsMargin;
        const size_t n = end - start;
        if (n <= 8) {
            for (size_t i = 0; i < n; ++i)
                out[start + i] = value;
        } else {
            std::memset(out + start, value, n);
        }
        cur.Pos = end;
        if (FBoundOpen) return rsOpened;
    }
    return rsLimit;
}

void TCodeMemoParser::BeginRun() {
    FFastCount = 0;
    FRunTable = nullptr;
    FRunFast = &FNoFast;
    FRunPlain = SecondaryKeywords.empty() && !Continuations[0] && !Effects[0];
    for (int t = 0; t < 256; ++t) {
        const auto& e = Effects[size_t(t)];
        FEffectKind[size_t(t)] = !e                                               ? ekNone
                                 : e->NoTransition && !e->StackFlags && !e->Bound ? ekValid
                                                                                  : ekFull;
    }
    for (int c = 0; c < 256; ++c) {
        TOneCharKeyword& k = FOneChar[size_t(c)];
        k = TOneCharKeyword();
        const int32_t top = Keywords.Top(uint8_t(c));
        if (top == TSyntaxKeywords::NoNode) continue;
        const auto& node = Keywords.Node(top);
        if (node.Child != TSyntaxKeywords::NoNode || node.Entries.size() != 1 ||
            node.Entries[0].EndGroup >= 0)
            continue;
        k.Simple = true;
        k.NodeStates = node.States;
        k.States = node.Entries[0].States;
        k.Token = node.Entries[0].Token;
    }
}

const TCodeMemoParser::TFastTable* TCodeMemoParser::FastOf(const TStartTable* table) {
    for (size_t i = 0; i < FFastCount; ++i)
        if (FFast[i].Table == table) return &FFast[i];
    if (FFastCount == FFast.size()) return &FNoFast; // many tables: no shortcut for the rest
    TFastTable& e = FFast[FFastCount++];
    e.Table = table;
    for (int c = 0; c < 256; ++c) {
        const auto& rule = table->Rules[size_t(c)];
        uint8_t kind = fkGeneral;
        if (Keywords.Top(uint8_t(c)) == TSyntaxKeywords::NoNode) {
            if (!rule)
                kind = fkPlain;
            else if (rule->Start.IsHandler && !rule->Start.Custom)
                kind = fkRecogniser;
        } else if (!rule && FOneChar[size_t(c)].Simple) {
            kind = fkOneCharKeyword;
        }
        e.Kind[size_t(c)] = kind;
    }
    return &e;
}

void TCodeMemoParser::SaveScan(TScanSnapshot& to) const {
    to.State = State;
    if (FBoundOpen) to.Saved = FSavedState; // only read while a region is open
    if (!Stack.empty() || !to.Stack.empty()) to.Stack = Stack;
    to.Selected = FSelected;
    to.BoundEnd = FBoundEnd;
    to.BoundOpen = FBoundOpen;
    to.Busy = FBusy;
    to.BoundToken = FBoundToken;
    to.LastToken = FLastToken;
}

void TCodeMemoParser::RestoreScan(const TScanSnapshot& from) {
    State = from.State;
    FSavedState = from.Saved;
    Stack = from.Stack;
    FSelected = from.Selected;
    FBoundEnd = from.BoundEnd;
    FBoundOpen = from.BoundOpen;
    FBusy = from.Busy;
    FBoundToken = from.BoundToken;
    FLastToken = from.LastToken;
}

} // namespace quillet
