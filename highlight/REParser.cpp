#include "highlight/REParser.h"

#include "resources/Strings.h"

#include <algorithm>
#include <cstring>
#include <memory>
#include <optional>

namespace quillet {

namespace {

enum : uint8_t {
    opEnd = 0,
    opBol = 1,
    opEol = 2,
    opAny = 3,
    opAnyOf = 4,
    opAnyBut = 5,
    opBranch = 6,
    opBack = 7,
    opExactly = 8,
    opNothing = 9,
    opStar = 10,
    opPlus = 11,
    opOpen = 20,
    opClose = 40,
    opCounted = 150
};
constexpr uint8_t Magic = 0x9C;
constexpr uint8_t CR = 13;
constexpr int Unbounded = 0xFFFF;
constexpr int MaxCount = 1000;
constexpr size_t MaxStack = 1 << 20;

// Parse flags, as in the classic node compiler.
enum : int { flHasWidth = 1, flSimple = 2, flSpStart = 4 };

struct TCompileError {
    int Number;
    int Column;
};

bool IsRepeat(char c) {
    return c == '*' || c == '+' || c == '?' || c == '{';
}

int HexValue(char c) {
    if (c >= '0' && c <= '9') return c - '0';
    if (c >= 'a' && c <= 'f') return c - 'a' + 10;
    if (c >= 'A' && c <= 'F') return c - 'A' + 10;
    return -1;
}

int NextOf(const uint8_t* prog, int p) {
    int offset = (prog[p + 1] << 8) | prog[p + 2];
    if (offset == 0) return -1;
    return prog[p] == opBack ? p - offset : p + offset;
}

// Bytes of the node at p with its operand; a repeat's one-character node follows as its own.
int NodeSize(const uint8_t* prog, int p) {
    switch (prog[p]) {
    case opAnyOf:
    case opAnyBut:
        return 3 + 256;
    case opExactly:
        return 3 + static_cast<int>(std::strlen(reinterpret_cast<const char*>(prog + p + 3))) + 1;
    case opCounted:
        return 3 + 4;
    default:
        return 3;
    }
}

// A top-level "A||B" becomes "((A)(B)?)|((B)(A)?)"; a side already starting with "(" is kept.
std::string RewriteEitherOrder(std::string_view text) {
    int depth = 0;
    bool inSet = false, inQuote = false;
    for (size_t i = 0; i < text.size(); ++i) {
        char c = text[i];
        if (inQuote) { // a quoted literal ends at the next quote, backslash or not
            inQuote = c != '"';
        } else if (c == '\\') {
            ++i;
        } else if (inSet) {
            inSet = c != ']';
        } else if (c == '"') {
            inQuote = true;
        } else if (c == '[') {
            inSet = true;
            // A "]" first in the set (after any "^") is a member, not the end.
            if (i + 1 < text.size() && text[i + 1] == '^') ++i;
            if (i + 1 < text.size() && text[i + 1] == ']') ++i;
        } else if (c == '(') {
            ++depth;
        } else if (c == ')') {
            --depth;
        } else if (c == '|' && depth == 0 && i + 1 < text.size() && text[i + 1] == '|') {
            auto wrap = [](std::string_view s) {
                return !s.empty() && s[0] == '(' ? std::string(s) : "(" + std::string(s) + ")";
            };
            std::string a = wrap(text.substr(0, i)), b = wrap(text.substr(i + 2));
            return "(" + a + b + "?)|(" + b + a + "?)";
        }
    }
    return std::string(text);
}

} // namespace

// Two-pass compiler: the first pass only measures, the second emits.
class TRECompiler {
public:
    TRECompiler(std::string_view text, std::vector<uint8_t>* code) : FText(text), FCode(code) {}

    int Run() {
        Emit(Magic);
        int flags = 0;
        Reg(false, flags);
        return FSize;
    }

private:
    std::string_view FText;
    size_t FPos = 0;
    int FGroups = 0;
    int FSize = 0;
    std::vector<uint8_t>* FCode; // null in the measuring pass

    [[noreturn]] void Fail(int number, size_t at) {
        throw TCompileError{number, static_cast<int>(at) + 1};
    }
    [[noreturn]] void Fail(int number) { Fail(number, FPos); }
    bool AtEnd() const { return FPos >= FText.size(); }
    char Peek() const { return AtEnd() ? '\0' : FText[FPos]; }

    void Emit(uint8_t b) {
        if (FSize >= 0xFFFF) Fail(SRETooComplex);
        if (FCode) FCode->push_back(b);
        ++FSize;
    }
    int Node(uint8_t op) {
        int at = FSize;
        Emit(op);
        Emit(0);
        Emit(0);
        return at;
    }
    void Emit16(int v) {
        Emit(static_cast<uint8_t>(v >> 8));
        Emit(static_cast<uint8_t>(v & 0xFF));
    }
    // Inserts an operator (and operand bytes) before the node at opnd.
    void Insert(uint8_t op, int opnd, const std::vector<uint8_t>& operand = {}) {
        int extra = 3 + static_cast<int>(operand.size());
        if (FSize + extra > 0xFFFF) Fail(SRETooComplex);
        FSize += extra;
        if (!FCode) return;
        std::vector<uint8_t> head{op, 0, 0};
        head.insert(head.end(), operand.begin(), operand.end());
        FCode->insert(FCode->begin() + opnd, head.begin(), head.end());
    }
    void Rewind(int to) {
        FSize = to;
        if (FCode) FCode->resize(to);
    }
    void Tail(int p, int val) {
        if (!FCode) return;
        uint8_t* prog = FCode->data();
        int scan = p;
        for (int n; (n = NextOf(prog, scan)) >= 0;)
            scan = n;
        int offset = prog[scan] == opBack ? scan - val : val - scan;
        prog[scan + 1] = static_cast<uint8_t>(offset >> 8);
        prog[scan + 2] = static_cast<uint8_t>(offset & 0xFF);
    }
    void OpTail(int p, int val) {
        if (FCode && (*FCode)[p] == opBranch) Tail(p + 3, val);
    }

    int Reg(bool paren, int& flags) {
        flags = flHasWidth;
        int ret = -1, groupNo = 0;
        size_t openAt = FPos - 1;
        if (paren) {
            if (FGroups >= TREParser::MaxGroups) Fail(SRETooManySubexp, openAt);
            groupNo = ++FGroups;
            ret = Node(static_cast<uint8_t>(opOpen + groupNo));
        }
        int branchFlags = 0;
        int br = Branch(branchFlags);
        if (ret >= 0)
            Tail(ret, br);
        else
            ret = br;
        if (!(branchFlags & flHasWidth)) flags &= ~flHasWidth;
        flags |= branchFlags & flSpStart;
        while (Peek() == '|') {
            ++FPos;
            br = Branch(branchFlags);
            Tail(ret, br);
            if (!(branchFlags & flHasWidth)) flags &= ~flHasWidth;
            flags |= branchFlags & flSpStart;
        }
        int ender = Node(paren ? static_cast<uint8_t>(opClose + groupNo) : uint8_t(opEnd));
        Tail(ret, ender);
        if (FCode)
            for (int b = ret; b >= 0; b = NextOf(FCode->data(), b))
                OpTail(b, ender);
        if (paren) {
            if (Peek() != ')') Fail(SREUnmatchedParen, AtEnd() ? openAt : FPos);
            ++FPos;
        } else if (!AtEnd()) {
            Fail(Peek() == ')' ? SREUnmatchedParen : SREInternalError);
        }
        return ret;
    }

    int Branch(int& flags) {
        flags = 0;
        int ret = Node(opBranch), chain = -1;
        while (!AtEnd() && Peek() != '|' && Peek() != ')') {
            int pieceFlags = 0;
            int latest = Piece(pieceFlags);
            flags |= pieceFlags & flHasWidth;
            if (chain < 0)
                flags |= pieceFlags & flSpStart;
            else
                Tail(chain, latest);
            chain = latest;
        }
        if (chain < 0) Node(opNothing);
        return ret;
    }

    int ReadNumber() {
        int n = -1;
        while (Peek() >= '0' && Peek() <= '9') {
            n = (n < 0 ? 0 : n) * 10 + (Peek() - '0');
            if (n > MaxCount) n = MaxCount + 1;
            ++FPos;
        }
        return n;
    }

    int Piece(int& flags) {
        size_t atomAt = FPos;
        int groupsBefore = FGroups;
        int atomFlags = 0;
        int ret = Atom(atomFlags);
        if (!IsRepeat(Peek())) {
            flags = atomFlags;
            return ret;
        }
        char op = Peek();
        size_t opAt = FPos;
        ++FPos;
        int minCount = 0, maxCount = Unbounded;
        if (op == '{') {
            minCount = ReadNumber();
            if (Peek() == ',') {
                ++FPos;
                maxCount = ReadNumber();
                if (maxCount < 0) maxCount = Unbounded;
            } else {
                maxCount = minCount;
            }
            if (Peek() != '}' || (minCount < 0 && maxCount == Unbounded))
                Fail(SREInvalidRange, AtEnd() ? opAt : FPos);
            if (minCount < 0) minCount = 0;
            if ((maxCount != Unbounded && maxCount < minCount) || minCount > MaxCount ||
                (maxCount != Unbounded && maxCount > MaxCount))
                Fail(SREInvalidRange, FPos);
            ++FPos;
        }
        if (IsRepeat(Peek())) Fail(SRENestedRepeat);
        flags = (op == '+' || (op == '{' && minCount > 0)) ? (atomFlags & flHasWidth) : 0;
        if (op != '{' && op != '?') flags |= flSpStart;
        bool simple = atomFlags & flSimple;
        if (op == '*' && simple) {
            Insert(opStar, ret);
        } else if (op == '+' && simple) {
            Insert(opPlus, ret);
        } else if (op == '{' && simple) {
            Insert(opCounted, ret,
                   {static_cast<uint8_t>(minCount >> 8), static_cast<uint8_t>(minCount),
                    static_cast<uint8_t>(maxCount >> 8), static_cast<uint8_t>(maxCount)});
        } else if (op == '*') {
            StarOf(ret);
        } else if (op == '+') {
            int next = Node(opBranch);
            Tail(ret, next);
            Tail(Node(opBack), ret);
            Tail(next, Node(opBranch));
            Tail(ret, Node(opNothing));
        } else if (op == '?') {
            Insert(opBranch, ret);
            Tail(ret, Node(opBranch));
            int next = Node(opNothing);
            Tail(ret, next);
            OpTail(ret, next);
        } else {
            // A counted repeat of a compound atom: the atom is compiled again for every copy.
            size_t after = FPos;
            Rewind(ret);
            int first = -1, last = -1;
            auto chain = [&](int node) {
                if (first < 0)
                    first = node;
                else
                    Tail(last, node);
                last = node;
            };
            for (int i = 0; i < minCount; ++i)
                chain(AtomAgain(atomAt, groupsBefore));
            if (maxCount == Unbounded) {
                int star = AtomAgain(atomAt, groupsBefore);
                StarOf(star);
                chain(star);
            } else if (maxCount > minCount) {
                chain(Optional(maxCount - minCount, atomAt, groupsBefore));
            }
            if (first < 0) first = Node(opNothing);
            FPos = after;
            ret = first;
        }
        return ret;
    }

    void StarOf(int ret) {
        Insert(opBranch, ret);
        OpTail(ret, Node(opBack));
        OpTail(ret, ret);
        Tail(ret, Node(opBranch));
        Tail(ret, Node(opNothing));
    }

    int AtomAgain(size_t atomAt, int groupsBefore) {
        FPos = atomAt;
        FGroups = groupsBefore;
        int flags = 0;
        return Atom(flags);
    }

    // (x(x(...)?)?)? nested, so a failed tail is not retried in equivalent orders.
    int Optional(int count, size_t atomAt, int groupsBefore) {
        int ret = Node(opBranch);
        int x = AtomAgain(atomAt, groupsBefore);
        if (count > 1) Tail(x, Optional(count - 1, atomAt, groupsBefore));
        Tail(ret, Node(opBranch));
        int next = Node(opNothing);
        Tail(ret, next);
        OpTail(ret, next);
        return ret;
    }

    // One escaped character after the backslash (FPos at the letter).
    int Escape() {
        if (AtEnd()) Fail(SREUnexpectedEnd);
        char c = FText[FPos++];
        switch (c) {
        case 'b':
        case 'B':
            return 8;
        case 'f':
        case 'F':
            return 12;
        case 'n':
        case 'N':
            return 13;
        case 'r':
        case 'R':
            return 10;
        case 't':
        case 'T':
            return 9;
        case 'x':
        case 'X': {
            int v = HexValue(Peek());
            if (v < 0) Fail(SREHexDigitExpected);
            ++FPos;
            if (HexValue(Peek()) >= 0) v = v * 16 + HexValue(FText[FPos++]);
            return v;
        }
        default:
            break;
        }
        if (c >= '0' && c <= '7') {
            int v = c - '0';
            for (int i = 0; i < 2 && Peek() >= '0' && Peek() <= '7'; ++i)
                v = v * 8 + (FText[FPos++] - '0');
            return v & 0xFF;
        }
        return static_cast<uint8_t>(c);
    }

    static bool ClassMember(char cls, int c) {
        switch (cls) {
        case 'd':
            return c >= '0' && c <= '9';
        case 's':
            return c == 13 || c == ' ' || c == 10 || c == 12 || c == 9 || c == 8;
        default:
            return (c >= '0' && c <= '9') || (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') ||
                   c == '_';
        }
    }

    int SetNode(const std::array<bool, 256>& members, bool negate) {
        int ret = Node(negate ? opAnyBut : opAnyOf);
        for (bool m : members)
            Emit(m ? 1 : 0);
        return ret;
    }

    int Atom(int& flags) {
        flags = 0;
        if (AtEnd()) Fail(SREUnexpectedEnd);
        size_t at = FPos;
        char c = FText[FPos++];
        switch (c) {
        case '^':
            return Node(opBol);
        case '$':
            return Node(opEol);
        case '.':
            flags |= flHasWidth | flSimple;
            return Node(opAny);
        case '[':
            return Set(flags, at);
        case '(': {
            int groupFlags = 0;
            int ret = Reg(true, groupFlags);
            flags |= groupFlags & (flHasWidth | flSpStart);
            return ret;
        }
        case '|':
        case ')':
            Fail(SREInternalError, at);
        case '*':
        case '+':
        case '?':
        case '{':
            Fail(SREInvalidRepeat, at);
        case '"': {
            size_t close = FText.find('"', FPos);
            if (close == std::string_view::npos) Fail(SREQuoteExpected, at);
            std::string_view lit = FText.substr(FPos, close - FPos);
            FPos = close + 1;
            if (lit.empty()) return Node(opNothing);
            flags |= flHasWidth | (lit.size() == 1 ? flSimple : 0);
            return Literal(lit);
        }
        case '\\': {
            char e = Peek();
            char lower = static_cast<char>(e | 0x20);
            if (lower == 'd' || lower == 's' || lower == 'w') {
                ++FPos;
                std::array<bool, 256> members{};
                for (int i = 0; i < 256; ++i)
                    members[i] = ClassMember(lower, i);
                flags |= flHasWidth | flSimple;
                return SetNode(members, e != lower);
            }
            int v = Escape();
            flags |= flHasWidth | flSimple;
            return Char(static_cast<uint8_t>(v));
        }
        default:
            flags |= flHasWidth | flSimple;
            return Char(static_cast<uint8_t>(c));
        }
    }

    int Char(uint8_t c) {
        if (c == 0) { // an exact node cannot hold a zero byte
            std::array<bool, 256> members{};
            members[0] = true;
            return SetNode(members, false);
        }
        int ret = Node(opExactly);
        Emit(c);
        Emit(0);
        return ret;
    }

    int Literal(std::string_view lit) {
        if (lit.find('\0') != std::string_view::npos) Fail(SREInvalidParameter, FPos - 1);
        int ret = Node(opExactly);
        for (char ch : lit)
            Emit(static_cast<uint8_t>(ch));
        Emit(0);
        return ret;
    }

    int SetChar() {
        if (AtEnd()) Fail(SREUnmatchedBracket);
        char c = FText[FPos++];
        return c == '\\' ? Escape() : static_cast<uint8_t>(c);
    }

    int Set(int& flags, size_t openAt) {
        std::array<bool, 256> members{};
        bool negate = false;
        if (Peek() == '^') {
            negate = true;
            ++FPos;
        }
        bool first = true;
        while (first || Peek() != ']') {
            if (AtEnd()) Fail(SREUnmatchedBracket, openAt);
            first = false;
            if (Peek() == '\\' && FPos + 1 < FText.size()) {
                char lower = static_cast<char>(FText[FPos + 1] | 0x20);
                if (lower == 'd' || lower == 's' || lower == 'w') {
                    bool neg = FText[FPos + 1] != lower;
                    FPos += 2;
                    for (int i = 0; i < 256; ++i)
                        if (ClassMember(lower, i) != neg) members[i] = true;
                    continue;
                }
            }
            size_t lowAt = FPos;
            int low = SetChar();
            if (Peek() == '-' && FPos + 1 < FText.size()) {
                ++FPos;
                if (Peek() == ']') Fail(SREInvalidRange, lowAt); // "a-" with no end
                int high = SetChar();
                if (high < low) Fail(SREInvalidRange, lowAt);
                for (int i = low; i <= high; ++i)
                    members[i] = true;
            } else {
                members[low] = true;
            }
        }
        ++FPos;
        flags |= flHasWidth | flSimple;
        return SetNode(members, negate);
    }
};

// Backtracking over the node program with an explicit stack of choice points, kept linear in
// the text by remembering which states failed.
//
// Whether the rest of the program matches from a node at a position depends on nothing but the
// node, the position and which loops were entered at that position without consuming anything
// since (their empty-iteration test). A state reached with no such loop ("clean") therefore
// fails every time once it failed, at any start position; a state with such loops fails
// whenever the clean state of the same node and position failed. The matcher marks the clean
// states it enters (the node after a consuming node, and every fork) and never explores one
// twice; for a simple repeat it keeps the run of positions after it already known to fail, so
// trying every run length from every start costs nothing once it was done from one start.
class TREMatcher {
public:
    // The search goes from origin forward or backward; the progress report counts from there.
    struct TCancelled {};

    TREMatcher(TREParser& owner, const IRECharSource& source, int64_t budget, int64_t origin,
               bool forward)
        : FOwner(owner), FSource(source), FSize(source.Size()), FOrigin(origin), FForward(forward),
          FProg(owner.FProgram.data()), FMemo(owner.FMemoIndex.data()), FBudget(budget),
          FIterStart(owner.FProgram.size(), -1), FRuns(size_t(owner.FRepeatCount)),
          FFailed(size_t(owner.FRepeatCount)) {
        FChunkWords = size_t(owner.FMemoCount) * ChunkPositions / 64;
        FMaxChunks = std::max<size_t>(4, MemoBytes / std::max<size_t>(FChunkWords * 8, 1));
    }

    bool Try(int64_t start);
    // The next position at or after pos that may start a match (FSize + 1 when none).
    int64_t SkipForward(int64_t pos);
    // The next position at or after pos where the text holds lit (-1 when none).
    int64_t FindLiteral(std::string_view lit, int64_t pos);
    // A forward search never comes back before pos: the marks there can go.
    void ForgetBefore(int64_t pos);

private:
    static constexpr int64_t ChunkPositions = 4096; // positions of one block of marks
    static constexpr size_t MemoBytes = size_t(64) << 20;

    struct TChoice {
        int Node;      // alternative to try, or the node after a repeat
        int Repeat;    // the repeat's number, -1 for an alternative
        int64_t Pos;   // where the repeat's run starts
        int64_t Count; // repeat: the next run length to try
        int64_t Min, Run;
        size_t Trail;
        int Recorded;
        bool Clean;
    };
    struct TTrail {
        int64_t* Slot;
        int64_t Old;
    };
    struct TSpan {
        int64_t Lo = -1, Hi = -2; // empty
    };

    // Asks the progress report whether to go on; throws TCancelled when it says no.
    void ReportProgress(int64_t at);

    TREParser& FOwner;
    const IRECharSource& FSource;
    int64_t FSize;
    int64_t FOrigin;
    bool FForward;
    const uint8_t* FProg;
    const int32_t* FMemo;
    std::string_view FRun;
    int64_t FRunStart = 0;
    std::vector<TChoice> FStack;
    std::vector<TTrail> FTrail;
    int FRecorded = 0;
    int FHigh = TREParser::PositionCount; // slots past this are -1
    bool FClean = true;
    // Steps taken by all tries of one search, and how many it may take.
    int64_t FSteps = 0;
    int64_t FBudget;
    // Where the current iteration of each loop began, by the node the loop goes back to. A
    // value left by an earlier try is harmless: a loop's head is passed before its end.
    std::vector<int64_t> FIterStart;
    // By repeat: the last maximal run of its character class (From..End, End excluded) and the
    // positions after it where the rest of the program is known to fail.
    std::vector<TSpan> FRuns, FFailed;
    // Marks of the clean states entered: one block per ChunkPositions positions.
    std::vector<std::unique_ptr<uint64_t[]>> FChunks;
    int64_t FChunkBase = -1;
    size_t FChunkWords = 0, FMaxChunks = 0, FLiveChunks = 0;

    int CharAt(int64_t pos) {
        uint64_t rel = static_cast<uint64_t>(pos - FRunStart);
        if (rel >= FRun.size()) {
            FRun = FSource.RunAt(pos, FRunStart);
            rel = static_cast<uint64_t>(pos - FRunStart);
        }
        return static_cast<uint8_t>(FRun[rel]);
    }
    void SetSlot(int64_t& slot, int64_t value) {
        FTrail.push_back({&slot, slot});
        slot = value;
    }
    void Record(int64_t pos) {
        // Past the table's end positions are no longer kept; the match itself goes on.
        if (FRecorded < TREParser::PositionCount - 1) {
            FOwner.FPositions[FRecorded++] = pos;
            FHigh = std::max(FHigh, FRecorded);
        }
    }
    void Unrecord(int to) {
        if (FHigh > to)
            std::fill(FOwner.FPositions.begin() + to, FOwner.FPositions.begin() + FHigh, -1);
        FHigh = FRecorded = to;
    }
    bool OneChar(int node, int c) const {
        switch (FProg[node]) {
        case opAny:
            return c != CR;
        case opExactly:
            return FProg[node + 3] == c;
        case opAnyOf:
            return FProg[node + 3 + c] != 0;
        case opAnyBut:
            return FProg[node + 3 + c] == 0;
        default:
            return false;
        }
    }
    void Push(const TChoice& choice) {
        if (FStack.size() >= MaxStack) throw ERegexError(LoadStr(SRETooComplex));
        FStack.push_back(choice);
    }
    bool Seen(int memo, int64_t pos);
    int64_t RunEnd(int repeat, int simple, int64_t pos);
    void Failed(int repeat, int64_t lo, int64_t hi);
    bool NextCount(TChoice& c, int64_t& count);
};

bool TREMatcher::Seen(int memo, int64_t pos) {
    int64_t chunk = pos / ChunkPositions;
    if (FChunkBase < 0 || chunk < FChunkBase) {
        // Only a backward search reaches before the first block; it starts again from 0.
        FChunks.clear();
        FLiveChunks = 0;
        FChunkBase = FChunkBase < 0 ? chunk : 0;
    }
    size_t slot = size_t(chunk - FChunkBase);
    if (slot >= FChunks.size()) FChunks.resize(slot + 1);
    auto& block = FChunks[slot];
    if (!block) {
        if (FLiveChunks >= FMaxChunks) { // the marks only save work: drop them all
            for (auto& b : FChunks)
                b.reset();
            FLiveChunks = 0;
        }
        block.reset(new uint64_t[FChunkWords]());
        ++FLiveChunks;
    }
    size_t bit = size_t(memo) * ChunkPositions + size_t(pos % ChunkPositions);
    uint64_t& word = block[bit / 64];
    const uint64_t mask = uint64_t(1) << (bit % 64);
    if (word & mask) return true;
    word |= mask;
    return false;
}

void TREMatcher::ForgetBefore(int64_t pos) {
    if (FChunkBase < 0) return;
    int64_t drop = std::min<int64_t>(pos / ChunkPositions - FChunkBase, int64_t(FChunks.size()));
    if (drop < 64) return; // in batches, so the vector moves rarely
    for (int64_t i = 0; i < drop; ++i)
        if (FChunks[size_t(i)]) --FLiveChunks;
    FChunks.erase(FChunks.begin(), FChunks.begin() + drop);
    FChunkBase += drop;
}

int64_t TREMatcher::RunEnd(int repeat, int simple, int64_t pos) {
    TSpan& r = FRuns[size_t(repeat)];
    if (pos >= r.Lo && pos <= r.Hi) return r.Hi;
    int64_t p = pos;
    if (r.Lo >= 0 && pos < r.Lo) {
        while (p < r.Lo && OneChar(simple, CharAt(p)))
            ++p;
        if (p == r.Lo) {
            r.Lo = pos;
            return r.Hi;
        }
    } else {
        while (p < FSize && OneChar(simple, CharAt(p)))
            ++p;
    }
    r = {pos, p};
    return p;
}

void TREMatcher::Failed(int repeat, int64_t lo, int64_t hi) {
    if (lo > hi) return;
    TSpan& f = FFailed[size_t(repeat)];
    if (f.Lo <= f.Hi && lo <= f.Hi + 1 && hi + 1 >= f.Lo)
        f = {std::min(lo, f.Lo), std::max(hi, f.Hi)};
    else
        f = {lo, hi};
}

// The next run length of a repeat to try, from the longest down: lengths whose position is
// known to fail and, when a literal follows, lengths it cannot follow are passed over. All
// lengths above c.Count have failed by now; from a length of at least one that is a clean
// failure and is remembered.
bool TREMatcher::NextCount(TChoice& c, int64_t& count) {
    Failed(c.Repeat, c.Pos + std::max<int64_t>(c.Count + 1, 1), c.Pos + c.Run);
    const TSpan& f = FFailed[size_t(c.Repeat)];
    const bool literal = FProg[c.Node] == opExactly;
    int64_t k = c.Count;
    while (k >= c.Min) {
        const int64_t at = c.Pos + k;
        if (at >= f.Lo && at <= f.Hi) {
            k = f.Lo - c.Pos - 1;
        } else if (literal && (at >= FSize || CharAt(at) != FProg[c.Node + 3])) {
            --k;
        } else {
            count = k;
            c.Count = k - 1;
            return true;
        }
    }
    Failed(c.Repeat, c.Pos + std::max<int64_t>(c.Min, 1), c.Pos + c.Run);
    return false;
}

int64_t TREMatcher::SkipForward(int64_t pos) {
    if (!FOwner.FHasFirst) return pos;
    const auto& first = FOwner.FFirst;
    while (pos < FSize) {
        CharAt(pos);
        const char* base = FRun.data();
        const char* p = base + (pos - FRunStart);
        const char* end = base + FRun.size();
        for (; p < end; ++p)
            if (first[static_cast<uint8_t>(*p)]) return FRunStart + (p - base);
        pos = FRunStart + static_cast<int64_t>(FRun.size());
    }
    return FSize + 1;
}

int64_t TREMatcher::FindLiteral(std::string_view lit, int64_t pos) {
    const int64_t n = int64_t(lit.size());
    while (pos + n <= FSize) {
        CharAt(pos);
        const char* base = FRun.data();
        const char* from = base + (pos - FRunStart);
        const char* hit = static_cast<const char*>(
            std::memchr(from, lit[0], size_t(int64_t(FRun.size()) - (pos - FRunStart))));
        if (!hit) {
            pos = FRunStart + int64_t(FRun.size());
            continue;
        }
        pos = FRunStart + (hit - base);
        if (pos + n > FSize) break;
        int64_t i = 1;
        while (i < n && CharAt(pos + i) == static_cast<uint8_t>(lit[size_t(i)]))
            ++i;
        if (i == n) return pos;
        ++pos;
    }
    return -1;
}

void TREMatcher::ReportProgress(int64_t at) {
    const int64_t done = FForward ? at - FOrigin : FOrigin - at;
    const int64_t total = FForward ? FSize - FOrigin : FOrigin;
    if (!FOwner.FProgress(done, total)) throw TCancelled{};
}

bool TREMatcher::Try(int64_t start) {
    FStack.clear();
    FTrail.clear();
    Unrecord(0);
    FOwner.FStartP.fill(-1);
    FOwner.FEndP.fill(-1);
    FClean = true; // nothing entered at the start position yet
    int64_t pos = start;
    int node = 1;
    const uint8_t* loopHead = FOwner.FLoopHead.data();
    for (;;) {
        if (++FSteps > FBudget) throw ERegexError(LoadStr(SRETooComplex));
        if ((FSteps & (TREParser::ProgressSteps - 1)) == 0 && FOwner.FProgress)
            ReportProgress(start);
        bool ok = true;
        uint8_t op = FProg[node];
        int next = NextOf(FProg, node);
        if (FClean && FMemo[node] >= 0 && Seen(FMemo[node], pos)) {
            ok = false; // the state failed before: straight to backtracking
        } else if (loopHead[node]) {
            SetSlot(FIterStart[size_t(node)], pos);
            FClean = false;
        }
        if (ok) switch (op) {
            case opEnd:
                FOwner.FMatchStart = start;
                FOwner.FMatchEnd = pos;
                return true;
            case opBol:
                ok = pos == 0 || CharAt(pos - 1) == CR;
                break;
            case opEol:
                ok = pos == FSize || CharAt(pos) == CR;
                break;
            case opAny:
            case opAnyOf:
            case opAnyBut:
                ok = pos < FSize && OneChar(node, CharAt(pos));
                if (ok) ++pos, FClean = true;
                break;
            case opExactly: {
                const uint8_t* s = FProg + node + 3;
                Record(pos);
                for (; *s && ok; ++s, ++pos)
                    ok = pos < FSize && CharAt(pos) == *s;
                if (ok) Record(pos), FClean = true;
                break;
            }
            case opNothing:
                break;
            case opBack:
                // An iteration that consumed nothing would repeat for ever: it fails, and
                // backtracking leaves the loop where that iteration began.
                ok = pos != FIterStart[size_t(next)];
                break;
            case opBranch:
                if (FProg[next] == opBranch)
                    Push({next, -1, pos, 0, 0, 0, FTrail.size(), FRecorded, FClean});
                next = node + 3;
                break;
            case opStar:
            case opPlus:
            case opCounted: {
                int64_t minCount = op == opStar ? 0 : 1, maxCount = INT64_MAX;
                int simple = node + 3;
                if (op == opCounted) {
                    minCount = (FProg[node + 3] << 8) | FProg[node + 4];
                    int m = (FProg[node + 5] << 8) | FProg[node + 6];
                    if (m != Unbounded) maxCount = m;
                    simple = node + 7;
                }
                const int repeat = FOwner.FRepeatIndex[size_t(node)];
                const int64_t run = std::min(maxCount, RunEnd(repeat, simple, pos) - pos);
                TChoice c{next, repeat, pos, run, minCount, run, FTrail.size(), FRecorded, FClean};
                int64_t count = 0;
                if (run < minCount || !NextCount(c, count)) {
                    ok = false;
                    break;
                }
                Push(c);
                pos += count;
                if (count > 0) FClean = true;
                break;
            }
            default:
                if (op > opOpen && op <= opOpen + TREParser::MaxGroups) {
                    SetSlot(FOwner.FStartP[op - opOpen], pos);
                    Record(pos);
                } else if (op > opClose && op <= opClose + TREParser::MaxGroups) {
                    SetSlot(FOwner.FEndP[op - opClose], pos);
                    Record(pos);
                } else {
                    throw ERegexError(LoadStr(SREInternalError));
                }
                break;
            }
        if (ok) {
            node = next;
            continue;
        }
        // Backtrack to the latest choice point.
        for (;;) {
            if (FStack.empty()) return false;
            TChoice& top = FStack.back();
            while (FTrail.size() > top.Trail) {
                *FTrail.back().Slot = FTrail.back().Old;
                FTrail.pop_back();
            }
            Unrecord(top.Recorded);
            node = top.Node;
            if (top.Repeat < 0) {
                pos = top.Pos;
                FClean = top.Clean;
                FStack.pop_back();
                break;
            }
            int64_t count = 0;
            if (!NextCount(top, count)) {
                FStack.pop_back();
                continue;
            }
            pos = top.Pos + count;
            FClean = count > 0 || top.Clean;
            break;
        }
    }
}

TREParser::TREParser() : FErrorNumber(SRENoErrors) {
    FStartP.fill(-1);
    FEndP.fill(-1);
    FPositions.fill(-1);
}

std::string TREParser::ErrorText() const {
    return LoadStr(FErrorNumber);
}

bool TREParser::SetPattern(std::string_view text) {
    if (Compiled() && text == FCachedPattern) return true;
    FProgram.clear();
    FLoopHead.clear();
    FCachedPattern.clear();
    FHasFirst = false;
    try {
        if (text.empty()) throw TCompileError{SREInvalidParameter, 1};
        std::string source = RewriteEitherOrder(text);
        TRECompiler(source, nullptr).Run();
        std::vector<uint8_t> code;
        TRECompiler(source, &code).Run();
        FProgram = std::move(code);
    } catch (const TCompileError& e) {
        FErrorNumber = e.Number;
        FErrorColumn = e.Column;
        return false;
    }
    ++FCompileCount;
    FErrorNumber = SRENoErrors;
    FErrorColumn = 0;
    FCachedPattern = std::string(text);
    Analyse();
    return true;
}

// What the matcher needs to know of the program beyond the nodes themselves.
void TREParser::Analyse() {
    const uint8_t* prog = FProgram.data();
    const int size = static_cast<int>(FProgram.size());
    FLoopHead.assign(FProgram.size(), 0);
    FMemoIndex.assign(FProgram.size(), -1);
    FRepeatIndex.assign(FProgram.size(), -1);
    FMemoCount = FRepeatCount = 0;
    FRequired.clear();
    FLeadingAnyRun = false;
    auto isRepeat = [](uint8_t op) { return op == opStar || op == opPlus || op == opCounted; };
    auto consumes = [](uint8_t op) {
        return op == opAny || op == opAnyOf || op == opAnyBut || op == opExactly;
    };
    std::vector<int> nodes; // the nodes of the program, without a repeat's operand
    for (int p = 1; p < size;) {
        nodes.push_back(p);
        int step = NodeSize(prog, p);
        if (isRepeat(prog[p])) step += NodeSize(prog, p + step);
        p += step;
    }
    auto memo = [&](int p) {
        if (p >= 0 && FMemoIndex[size_t(p)] < 0) FMemoIndex[size_t(p)] = FMemoCount++;
    };
    for (int p : nodes) {
        const uint8_t op = prog[p];
        const int next = NextOf(prog, p);
        // The nodes loops go back to, where the matcher notes where an iteration began.
        if (op == opBack) FLoopHead[size_t(next)] = 1;
        // States worth marking: after a consuming node, and where the paths fork.
        if (consumes(op) || isRepeat(op)) memo(next);
        if (op == opBranch && prog[next] == opBranch) memo(p);
        if (isRepeat(op)) FRepeatIndex[size_t(p)] = FRepeatCount++;
    }

    // Where a node leads without consuming; a repeat with a minimum of 0 also leads past itself.
    auto successors = [&](int p, auto&& visit) {
        const uint8_t op = prog[p];
        const int next = NextOf(prog, p);
        if (op == opEnd) return;
        if (op == opBranch) {
            visit(p + 3);
            if (prog[next] == opBranch) visit(next);
        } else if (next >= 0) {
            visit(next);
        }
    };
    auto minimum = [&](int p) {
        return prog[p] == opStar ? 0 : prog[p] == opPlus ? 1 : (prog[p + 3] << 8) | prog[p + 4];
    };

    // The first-character prefilter: the bytes that can start a match, unless it can be empty.
    {
        std::vector<uint8_t> seen(FProgram.size(), 0);
        std::vector<int> todo{1};
        bool empty = false;
        std::array<bool, 256> first{};
        auto add = [&](int simple) {
            for (int c = 0; c < 256; ++c)
                if (prog[simple] == opAny       ? c != CR
                    : prog[simple] == opExactly ? prog[simple + 3] == c
                    : prog[simple] == opAnyOf   ? prog[simple + 3 + c] != 0
                                                : prog[simple + 3 + c] == 0)
                    first[size_t(c)] = true;
        };
        while (!todo.empty() && !empty) {
            int p = todo.back();
            todo.pop_back();
            if (seen[size_t(p)]) continue;
            seen[size_t(p)] = 1;
            const uint8_t op = prog[p];
            if (op == opEnd) {
                empty = true;
            } else if (consumes(op)) {
                add(p);
            } else if (isRepeat(op)) {
                add(p + (op == opCounted ? 7 : 3));
                if (minimum(p) == 0) todo.push_back(NextOf(prog, p));
            } else {
                successors(p, [&](int s) { todo.push_back(s); });
            }
        }
        if (!empty && std::count(first.begin(), first.end(), true) < 256) {
            FHasFirst = true;
            FFirst = first;
        }
    }

    // A pattern that starts with ".*" fails within a line wherever it fails at its start.
    if (prog[1] == opBranch && prog[NextOf(prog, 1)] == opEnd && prog[4] == opStar &&
        prog[7] == opAny)
        FLeadingAnyRun = true;

    // The longest literal every match passes through: a text without it has no match.
    if (nodes.size() > 2000) return;
    int checked = 0;
    for (int lit : nodes) {
        if (prog[lit] != opExactly) continue;
        std::string_view s(reinterpret_cast<const char*>(prog + lit + 3));
        if (++checked > 64) break;
        std::vector<uint8_t> seen(FProgram.size(), 0);
        std::vector<int> todo{1};
        bool around = false; // the end is reached without passing lit
        while (!todo.empty() && !around) {
            int p = todo.back();
            todo.pop_back();
            if (p == lit || seen[size_t(p)]) continue;
            seen[size_t(p)] = 1;
            if (prog[p] == opEnd) around = true;
            successors(p, [&](int n) { todo.push_back(n); });
        }
        if (around) continue;
        // Literals that directly follow it are needed too (each typed character is a node).
        std::string run(s);
        for (int p = NextOf(prog, lit); p >= 0 && prog[p] == opExactly; p = NextOf(prog, p))
            run += reinterpret_cast<const char*>(prog + p + 3);
        if (run.size() > FRequired.size()) FRequired = run;
    }
}

bool TREParser::Search(const IRECharSource& source, int64_t start, bool forward, bool nonEmpty) {
    if (!Compiled()) throw ERegexError(LoadStr(SREInvalidParameter));
    FMatchStart = FMatchEnd = -1;
    FCancelled = false;
    int64_t size = source.Size();
    if (start < 0 || start > size) throw ERegexError(LoadStr(SREInvalidParameter));
    // One budget for the whole search, so a pattern that still explodes (empty choices inside
    // a loop, nested deeply) gives up once instead of at every start position; each position
    // adds some for ordinary work, more for a larger program.
    const int64_t positions = forward ? size - start + 1 : start + 1;
    const int64_t perPosition = StepsPerPosition + int64_t(FProgram.size()) / 4;
    const int64_t budget = FStepBudget + perPosition * positions;
    std::optional<TREMatcher> backward;
    TREMatcher matcher(*this, source, budget, start, forward);
    bool found = false;
    try {
        if (forward) {
            if (FRequired.empty() || matcher.FindLiteral(FRequired, start) >= 0) {
                for (int64_t pos = start; pos <= size; ++pos) {
                    pos = matcher.SkipForward(pos);
                    if (pos > size) break;
                    if (matcher.Try(pos)) {
                        if (!nonEmpty || FMatchEnd > FMatchStart) {
                            found = true;
                            break;
                        }
                        // An empty match: on to the next position with the same matcher (the
                        // states it entered all lie at pos, which no later try comes back to).
                        matcher.ForgetBefore(pos);
                        continue;
                    }
                    matcher.ForgetBefore(pos);
                    if (FLeadingAnyRun) { // on to the next line start
                        pos = matcher.FindLiteral("\r", pos);
                        if (pos < 0) break;
                    }
                }
            }
        } else {
            int64_t pos = start;
            if (pos == size && pos > 0) --pos;
            TREMatcher* m = &matcher;
            for (; pos >= 0 && !found; --pos) {
                found = m->Try(pos);
                if (found && nonEmpty && FMatchEnd == FMatchStart) {
                    // An empty match. A try from further back may pass through the states
                    // this one entered on its way to the match, which are no failures: it
                    // starts with fresh marks.
                    found = false;
                    m = &backward.emplace(*this, source, budget, start, forward);
                }
            }
        }
    } catch (const TREMatcher::TCancelled&) {
        found = false;
        FCancelled = true;
    }
    if (found) return true;
    FMatchStart = FMatchEnd = -1; // an empty match passed over is no answer
    FStartP.fill(-1);
    FEndP.fill(-1);
    FPositions.fill(-1);
    return false;
}

int64_t TREParser::GroupStart(int n) const {
    if (n < 0 || n > MaxGroups) throw ERegexError(LoadStr(SREIndexRange));
    return n == 0 ? FMatchStart : (FEndP[n] >= 0 ? FStartP[n] : -1);
}

int64_t TREParser::GroupEnd(int n) const {
    if (n < 0 || n > MaxGroups) throw ERegexError(LoadStr(SREIndexRange));
    return n == 0 ? FMatchEnd : (FStartP[n] >= 0 ? FEndP[n] : -1);
}

int64_t TREParser::Position(int index) const {
    if (index < 0 || index >= PositionCount) throw ERegexError(LoadStr(SREIndexRange));
    return FPositions[index];
}

} // namespace quillet
