// One token per call from the definition's tables.
#include "highlight/CodeMemoParser.h"
#include "highlight/DefinitionError.h"
#include "highlight/Handlers.h"
#include "resources/Strings.h"

#include <algorithm>
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
    // A handler of the program's own may have read all it was shown.
    cur.Saw(cur.Length);
    if (!OnCustomParse(*this, part.Handler, probe, length, value)) return false;
    cur.Pos = probe.Pos > cur.Pos ? probe.Pos : cur.Pos;
    return true;
}

bool TCodeMemoParser::EndTest(const TRulePart& end, TTokenCursor& cur, size_t start) {
    if (end.IsHandler) return PartHandler(end, cur, start);
    const size_t from = cur.Pos;
    for (int i = 0; i < end.EndCount; ++i) {
        cur.Saw(cur.Pos);
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
        if (cur.AtEnd()) {
            cur.Saw(cur.Pos);
            return true;
        }
        if (skips && endFirst) {
            if (!endStart) endStart = &Groups.Group(end.EndGroups[0]);
            size_t p = cur.Pos;
            while (p < cur.Length && !endStart->Contains(cur.Text[p]) &&
                   group->Contains(cur.Text[p]))
                ++p;
            cur.Pos = p;
            cur.Saw(p);
            if (cur.AtEnd()) return true;
        }
        // An end sequence cannot start at a character outside its first group.
        if (endFirst && hasEnd) {
            if (end.IsHandler) {
                if (EndTest(end, cur, start)) return true;
            } else {
                if (!endStart) endStart = &Groups.Group(end.EndGroups[0]);
                if (endStart->Contains(cur.Text[cur.Pos]) && EndTest(end, cur, start)) return true;
            }
        }
        endFirst = true;
        if (body.IsHandler) {
            if (!body.Custom && IsStandardRecogniser(body.Handler))
                return RunBuiltinHandler(body.Handler, cur, start);
            if (!PartHandler(body, cur, start)) return false;
            if (!continuation && body.Custom) return true;
        } else {
            if (!group->Contains(cur.Text[cur.Pos])) {
                cur.Saw(cur.Pos);
                return false;
            }
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
    // The walk looked at every character up to `pos` (the end when it is there).
    cur.Saw(pos);
    cur.Pos = found ? best : start + 1;
    return found;
}

// The end of every token: validation, the state change and bound regions.
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
    FTrace.Kind = tkNone;
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
        const size_t body = cur.Pos;
        const size_t looked = std::max(cur.Reach, body);
        if (!Repeat(cont->Body, cont->End, true, cur, start)) {
            token = 0;
            keyword = false;
            cur.Pos = start + 1;
        } else if (token) {
            FTrace = {tkContinued, token, token, body, looked, 0};
        }
    }

    if (!keyword && token == 0) {
        const auto& rule = FSelected->Rules[startChar];
        if (rule && Meets(rule->Valid, State)) {
            const size_t looked = std::max(cur.Reach, start + 1);
            if (rule->Start.IsHandler) {
                cur.Pos = start;
                bool ok = rule->Start.Custom ? PartHandler(rule->Start, cur, start)
                                             : RunBuiltinHandler(rule->Start.Handler, cur, start);
                if (ok) {
                    token = rule->Token;
                    if (!rule->Start.Custom && rule->Start.Handler == hPlainQuoted)
                        FTrace = {tkQuoted, startChar, token, start + 1, looked, 0};
                    else if (!rule->Start.Custom)
                        TraceRun(rule->Start.Handler, cur.Text, start, cur.Pos, token, looked);
                } else {
                    cur.Pos = start + 1;
                }
            } else {
                cur.Pos = start + 1;
                if (Repeat(rule->Body, rule->End, false, cur, start)) {
                    token = rule->Token;
                    FTrace = {tkRule, startChar, token, start + 1, looked, 0};
                } else {
                    cur.Pos = start + 1;
                }
            }
        }
    }

    // A token begun inside a region was scanned in the region's state, which its end may give
    // back: it cannot be gone on with in the state after it.
    const bool inRegion = FBoundOpen;
    const uint8_t value = Settle(cur, start, token, secondary);
    FTrace.End = cur.Pos;
    if (inRegion) FTrace.Kind = tkNone;
    return value;
}

TCodeMemoParser::TRunStop TCodeMemoParser::TokenRun(TTokenCursor& cur, size_t limit,
                                                    size_t refillAt, size_t safeEnd, uint8_t* out,
                                                    size_t& lastStart) {
    if (!FSelected) SelectStartTable();
    const uint8_t* const text = cur.Text;
    const size_t stop = limit < cur.Length ? limit : cur.Length;
    // The short cuts hold outside bound regions; one that opens ends the call.
    const bool quick = FRunPlain && !FBoundOpen;
    // The table of the last call, as a row mostly starts where the one before ended.
    TResolvedTable* res = nullptr;
    if (quick)
        res = FRun && FRun->Table == FSelected && FRun->State == State ? FRun : ResolvedFor();
    // How far identifiers looked (the character after each), kept here rather than in the
    // cursor: the loop writes through `out`, which may alias it.
    size_t seen = 0;
    auto stopAt = [&](TRunStop why) {
        if (seen > cur.Reach) cur.Reach = seen;
        return why;
    };
    while (cur.Pos < limit) {
        const size_t start = cur.Pos;
        if (start > refillAt) return stopAt(rsRefill);
        lastStart = start;
        TResolved r;
        r.Kind = rkGeneral;
        if (quick && start < stop) {
            r = res->Chars[text[start]];
            if (r.Kind == rkUnresolved) r = res->Chars[text[start]] = Resolve(text[start]);
        }
        uint8_t token = r.Token;
        bool moved = false; // the token may have changed the state or the start table
        switch (r.Kind) {
        case rkPlain:
        case rkFixed: {
            // One character each and no state change: default text and keywords that only
            // check the state, taken in one run.
            size_t p = start;
            do {
                out[p++] = r.Token;
                token = r.Token;
                if (p >= stop) break;
                r = res->Chars[text[p]];
            } while (r.Kind == rkPlain || r.Kind == rkFixed);
            cur.Pos = p;
            FBusy = false;
            FLastToken = token;
            continue;
        }
        case rkRecognise:
        case rkRecogniseFull: {
            // The rule is valid here and so is its token: only the recogniser can fail.
            size_t end = start;
            FTrace.Kind = tkNone;
            if (r.Handler == hIdentifier) {
                end = IdentifierEnd(text, start, cur.Length);
                if (end - start >= kLongRun)
                    TraceRun(hIdentifier, text, start, end, token,
                             std::max({seen, cur.Reach, start + 1}));
                seen = end + 1;
            } else {
                cur.Pos = start;
                const size_t looked = std::max({seen, cur.Reach, start + 1});
                const uint8_t key = text[start];
                if (RunBuiltinHandler(r.Handler, cur, start)) end = cur.Pos;
                if (r.Handler == hPlainQuoted && end > start)
                    FTrace = {tkQuoted, key, token, start + 1, looked, end};
                else if (end > start && end - start >= kLongRun)
                    TraceRun(r.Handler, text, start, end, token, looked);
            }
            if (end == start) {
                token = 0;
                cur.Pos = start + 1;
            } else {
                cur.Pos = end;
            }
            if (r.Kind == rkRecogniseFull && token) {
                token = SettleOutside(cur, start, token);
                moved = true;
            } else {
                FBusy = false;
                FLastToken = token;
            }
            break;
        }
        case rkKeywordFull:
            cur.Pos = start + 1;
            token = SettleOutside(cur, start, token);
            moved = true;
            break;
        case rkKeywordCont: {
            cur.Pos = start + 1;
            const TContinuationRule& cont = *Continuations[token];
            const size_t looked = std::max({seen, cur.Reach, start + 1});
            FTrace.Kind = tkNone;
            if (!Repeat(cont.Body, cont.End, true, cur, start)) {
                token = 0;
                cur.Pos = start + 1;
            } else if (token) {
                FTrace = {tkContinued, token, token, start + 1, looked, 0};
            }
            token = SettleOutside(cur, start, token);
            FTrace.End = cur.Pos;
            moved = true;
            break;
        }
        default:
            // Not through the vtable: this loop is the hot path and the class is known.
            token = uint8_t(TCodeMemoParser::NextToken(cur));
            moved = true;
            break;
        }
        const size_t end = cur.Pos > start ? cur.Pos : start + 1;
        if (end > safeEnd) return stopAt(rsMargin);
        const size_t n = end - start;
        if (n <= 8 && start + 8 <= cur.Length) {
            // Eight bytes at once; those past the token are written again by the tokens after
            // it before anyone reads them.
            const uint64_t eight = token * 0x0101010101010101ull;
            std::memcpy(out + start, &eight, sizeof eight);
        } else {
            std::memset(out + start, token, n);
        }
        cur.Pos = end;
        if (FBoundOpen) return stopAt(rsOpened);
        if (moved && quick && (FSelected != res->Table || !(State == res->State))) {
            // The table a token led to last time is most likely the one it leads to now.
            TResolvedTable* next = res->After[token];
            if (!next || next->Table != FSelected || !(next->State == State))
                next = res->After[token] = ResolvedFor();
            res = FRun = next;
        }
    }
    return stopAt(rsLimit);
}

// Settle for a token outside any bound region (secondary keywords do not take part in runs):
// what most effects do, in place; the rest through Settle.
inline uint8_t TCodeMemoParser::SettleOutside(TTokenCursor& cur, size_t start, uint8_t token) {
    const uint8_t kind = EffectKind(token);
    if (kind == ekFull) return Settle(cur, start, token, false);
    if (kind != ekNone) {
        const TTokenEffect& e = *Effects[token];
        if (cur.Pos == start || !Meets(e.Valid, State)) {
            token = 0;
            cur.Pos = start + 1;
        } else if (kind == ekTransit) {
            Transit(State, e.Add, e.Remove);
            SelectStartTable();
        }
    } else if (cur.Pos == start) {
        cur.Pos = start + 1;
        token = 0;
    }
    FBusy = false;
    FLastToken = token;
    return token;
}

void TCodeMemoParser::BeginRun() {
    FTrace = TTrace();
    FResolved.clear();
    FResolvedNext = 0;
    FRun = nullptr;
    FRunPlain = SecondaryKeywords.empty() && !Continuations[0] && !Effects[0];
    // Worked out as tokens are met: a scan of a few characters pays for no more.
    FEffectKind.fill(ekUnknown);
}

uint8_t TCodeMemoParser::KindOfEffect(uint8_t token) {
    const auto& e = Effects[token];
    const uint8_t kind = !e                          ? ekNone
                         : e->StackFlags || e->Bound ? ekFull
                         : e->NoTransition           ? ekValid
                                                     : ekTransit;
    FEffectKind[token] = kind;
    return kind;
}

TCodeMemoParser::TResolvedTable* TCodeMemoParser::ResolvedFor() {
    for (TResolvedTable& t : FResolved)
        if (t.Table == FSelected && t.State == State) return &t;
    // A definition that meets many states reuses the slots in turn.
    constexpr size_t kSlots = 16;
    if (FResolved.size() < kSlots) {
        FResolved.reserve(kSlots); // the addresses handed out stay put
        FResolved.emplace_back();
        FResolvedNext = FResolved.size() - 1;
    }
    TResolvedTable& t = FResolved[FResolvedNext];
    FResolvedNext = (FResolvedNext + 1) % kSlots;
    t.Table = FSelected;
    t.State = State;
    t.Chars.fill(TResolved());
    t.After.fill(nullptr);
    FRun = &t;
    return &t;
}

// What NextToken would do at a character `c` in the current state and start table, as far as
// it can be known without the text after it.
TCodeMemoParser::TResolved TCodeMemoParser::Resolve(uint8_t c) {
    TResolved r;
    r.Kind = rkGeneral;
    const auto& rule = FSelected->Rules[c];
    // A token the state refuses, or one that matches nothing, is one character of default text.
    auto refused = [&](uint8_t token) {
        return EffectKind(token) == ekValid && !Meets(Effects[token]->Valid, State);
    };
    if (Keywords.Top(c) == TSyntaxKeywords::NoNode) {
        if (!rule) {
            r.Kind = rkPlain;
        } else if (rule->Start.IsHandler && !rule->Start.Custom && rule->Start.Handler >= 0 &&
                   rule->Start.Handler <= 255) {
            if (!Meets(rule->Valid, State) || refused(rule->Token)) {
                r.Kind = rkPlain;
            } else {
                r.Kind = EffectKind(rule->Token) >= ekTransit ? rkRecogniseFull : rkRecognise;
                r.Token = rule->Token;
                r.Handler = uint8_t(rule->Start.Handler);
            }
        }
    } else if (!rule) {
        // A keyword of this one character alone, with one entry and no end group: found or
        // not, it takes one character.
        const auto& node = Keywords.Node(Keywords.Top(c));
        if (node.Child != TSyntaxKeywords::NoNode || node.Entries.size() != 1 ||
            node.Entries[0].EndGroup >= 0)
            return r;
        const TKeywordEntry& k = node.Entries[0];
        const uint8_t token = Meets(node.States, State) && Meets(k.States, State) ? k.Token : 0;
        r.Token = token;
        if (Continuations[token])
            r.Kind = rkKeywordCont;
        else if (token == 0 || refused(token))
            r.Kind = rkPlain, r.Token = 0;
        else
            r.Kind = EffectKind(token) >= ekTransit ? rkKeywordFull : rkFixed;
    }
    return r;
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

namespace quillet {

bool TCodeMemoParser::KeepsState(uint8_t token) const {
    const auto& e = Effects[token];
    return !e || (e->NoTransition && !e->StackFlags && !e->Bound);
}

void TCodeMemoParser::TraceRun(int32_t handler, const uint8_t* text, size_t start, size_t end,
                               uint8_t token, size_t looked) {
    // A short token costs little to scan again from its start.
    if (end - start < kLongRun) return;
    switch (handler) {
    case hIdentifier:
    case hDigits:
        // The rest of the run hangs on its class alone, not on the character it began with.
        FTrace = {tkRun, uint8_t(handler), token, start + 1, looked, end};
        break;
    case hNumber:
    case hSignedNumber: {
        // The token is known to be a number: each part it has was taken whole.
        const size_t body = kHandlerClass[text[start]] & ccDigit ? start : start + 1;
        const size_t ip = ClassRunEnd(text, body, end, ccDigit);
        const size_t fp =
            ip < end && text[ip] == '.' ? ClassRunEnd(text, ip + 1, end, ccDigit) : ip;
        size_t ep = end;
        if (fp < end) {
            ep = fp + 1;
            if (ep < end && (text[ep] == '+' || text[ep] == '-')) ++ep;
        }
        FTrace = {tkNumber, uint8_t(hNumber), token, body, looked, end, ip, fp, ep};
        break;
    }
    default:
        break;
    }
}

namespace {
// The body and end of a token that may be gone on with from inside: characters of a group ended
// by a character sequence. nullptr when the code names no such rule in this state.
const TContinuationRule* GroupParts(const TCodeMemoParser& def, const TStartTable& table,
                                    bool isRule, uint8_t key, uint8_t token,
                                    TContinuationRule& scratch) {
    const TRulePart* body = nullptr;
    const TRulePart* end = nullptr;
    if (isRule) {
        const auto& rule = table.Rules[key];
        if (!rule || rule->Start.IsHandler || rule->Token != token) return nullptr;
        body = &rule->Body;
        end = &rule->End;
    } else { // a keyword's continuation: the key is its token
        const auto& cont = def.Continuations[key];
        if (!cont || key != token) return nullptr;
        body = &cont->Body;
        end = &cont->End;
    }
    if (body->IsHandler || end->IsHandler || end->EndCount == 0) return nullptr;
    scratch.Body = *body;
    scratch.End = *end;
    return &scratch;
}
} // namespace

bool TCodeMemoParser::EndReadsPast(const TRulePart& end, const uint8_t* text, size_t from,
                                   size_t at) const {
    // An attempt at q reads on while the characters match; it reads `at` when all of q..at-1 do.
    const size_t k = end.EndCount;
    for (size_t q = at >= from + k ? at - k + 1 : from; q < at; ++q) {
        size_t i = 0;
        while (q + i < at && i < k && Groups.Group(end.EndGroups[i]).Contains(text[q + i]))
            ++i;
        if (q + i == at) return true;
    }
    return false;
}

uint32_t TCodeMemoParser::ResumableAt(const uint8_t* text, size_t at, size_t end,
                                      size_t& looked) const {
    const TTrace& t = FTrace;
    if (t.Kind == tkNone || t.End != end || at >= end || at < t.Body || t.Looked > at) return 0;
    if (FBoundOpen || !FSelected || t.Token == 0 || FLastToken != t.Token || !KeepsState(t.Token))
        return 0;
    uint32_t kind = t.Kind;
    if (kind == tkNumber) {
        // From inside one of its runs of digits the rest of a number hangs on nothing before.
        if (at <= t.IntEnd)
            kind = tkNumber;
        else if (t.FracEnd > t.IntEnd && at <= t.FracEnd)
            kind = tkFraction;
        else if (at >= t.ExpFrom)
            kind = tkExponent;
        else
            return 0;
    } else if (kind == tkRule || kind == tkContinued) {
        // The first body character may be taken before any end test: only later ones are alike.
        if (at == t.Body) return 0;
        TContinuationRule parts;
        const auto* p = GroupParts(*this, *FSelected, t.Kind == tkRule, t.Key, t.Token, parts);
        if (!p || EndReadsPast(p->End, text, t.Body, at)) return 0;
    } else if (kind != tkQuoted && kind != tkRun) {
        return 0;
    }
    looked = t.Looked;
    return kind << 16 | uint32_t(t.Key) << 8 | t.Token;
}

bool TCodeMemoParser::ResumeMayFail(uint32_t code) const {
    const uint8_t kind = uint8_t(code >> 16), key = uint8_t(code >> 8), token = uint8_t(code);
    if (kind != tkRule && kind != tkContinued) return false;
    TContinuationRule parts;
    const auto* p =
        FSelected ? GroupParts(*this, *FSelected, kind == tkRule, key, token, parts) : nullptr;
    if (!p) return true;
    const TCM_CharGroup& body = Groups.Group(p->Body.Group);
    for (int c = 0; c < 256; ++c)
        if (!body.Contains(uint8_t(c))) return true;
    return false;
}

TCodeMemoParser::TResumeStop TCodeMemoParser::ResumeToken(uint32_t code, TTokenCursor& cur,
                                                          size_t horizon, uint8_t& value) {
    if (!FSelected) SelectStartTable();
    const uint8_t kind = uint8_t(code >> 16), key = uint8_t(code >> 8), token = uint8_t(code);
    const uint8_t* text = cur.Text;
    const size_t n = cur.Length;
    const size_t from = cur.Pos;
    value = token;
    if (FBoundOpen || token == 0 || !KeepsState(token)) return rmFailed;
    FTrace = {kind, key, token, from, from, 0};
    auto done = [&](TResumeStop why) {
        FTrace.End = cur.Pos;
        FBusy = false;
        FLastToken = token;
        return why;
    };
    if (kind == tkQuoted) {
        const auto& rule = FSelected->Rules[key];
        if (!rule || !rule->Start.IsHandler || rule->Start.Custom ||
            rule->Start.Handler != hPlainQuoted || rule->Token != token)
            return rmFailed;
        const size_t stop = horizon < n ? horizon : n;
        const size_t p = PlainQuotedStop(text, from, stop);
        if (p >= stop && stop < n) {
            cur.Pos = stop;
            if (stop > from) cur.Saw(stop - 1);
            return done(rmOpen);
        }
        cur.Saw(p);
        cur.Pos = p < n && text[p] == '"' ? p + 1 : p;
        return done(rmEnded);
    }
    if (kind >= tkRun && kind <= tkExponent) {
        // The key is the recogniser: a run of its class, or a number's parts after this run.
        if (kind == tkRun ? key != hIdentifier && key != hDigits : key != hNumber) return rmFailed;
        const uint8_t cls = key == hIdentifier ? ccIdent : ccDigit;
        // The run the token is in goes on to the horizon: stop there.
        const size_t stop = horizon < n ? horizon : n;
        size_t p = ClassRunEnd(text, from, stop, cls);
        if (p == stop && stop < n) {
            cur.Pos = p;
            if (p > from) cur.Saw(p - 1);
            return done(rmOpen);
        }
        if (kind == tkRun) {
            cur.Saw(p);
            cur.Pos = p;
            return done(rmEnded);
        }
        // The parts of the number after this run, as the recogniser takes them.
        auto digit = [&](size_t i) { return i < n && (kHandlerClass[text[i]] & ccDigit); };
        if (kind == tkNumber && p < n && text[p] == '.' && digit(p + 1))
            p = ClassRunEnd(text, p + 1, n, ccDigit);
        if (kind != tkExponent && p < n && (text[p] == 'e' || text[p] == 'E')) {
            const size_t skip = p + 1 < n && (text[p + 1] == '+' || text[p + 1] == '-') ? 2 : 1;
            if (digit(p + skip)) p = ClassRunEnd(text, p + skip, n, ccDigit);
        }
        cur.Pos = p;
        cur.Saw(std::min(p + 2, n));
        // Its parts from here are not noted: no row end after this one is gone on from.
        FTrace.Kind = tkNone;
        return done(rmEnded);
    }
    if (kind != tkRule && kind != tkContinued) return rmFailed;
    TContinuationRule parts;
    const auto* rule = GroupParts(*this, *FSelected, kind == tkRule, key, token, parts);
    if (!rule) return rmFailed;
    // The loop of Repeat from a body position past the first: the end sequence is tried first,
    // then the body takes the character.
    const TCM_CharGroup& body = Groups.Group(rule->Body.Group);
    const TRulePart& end = rule->End;
    const TCM_CharGroup& first = Groups.Group(end.EndGroups[0]);
    size_t p = from;
    size_t read = from; // one past the furthest character an end test read
    for (;;) {
        if (p >= horizon && read <= horizon && horizon < n) {
            cur.Pos = p;
            if (p > from) cur.Saw(p - 1);
            return done(rmOpen);
        }
        // Straight over characters that can neither end the token nor stop its body.
        const size_t limit = p < horizon ? std::min(horizon, n) : n;
        while (p < limit && !first.Contains(text[p]) && body.Contains(text[p]))
            ++p;
        if (p >= n) {
            cur.Saw(p);
            cur.Pos = p;
            return done(rmEnded);
        }
        if (p == limit) continue;
        if (first.Contains(text[p])) {
            size_t i = 0;
            while (i < end.EndCount && p + i < n &&
                   Groups.Group(end.EndGroups[i]).Contains(text[p + i]))
                ++i;
            if (i == end.EndCount) {
                cur.Saw(p + i - 1);
                cur.Pos = end.Flag ? p + i : p;
                return done(rmEnded);
            }
            read = std::max(read, p + i + 1);
            cur.Saw(p + i);
        }
        if (!body.Contains(text[p])) {
            cur.Saw(p);
            return rmFailed;
        }
        ++p;
    }
}

} // namespace quillet
