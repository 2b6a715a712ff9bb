// A compiled language definition: token tables, token effects, styles and settings.
#pragma once

#include "highlight/CharGroup.h"
#include "highlight/Settings.h"
#include "highlight/SyntaxKeywords.h"

#include <array>
#include <cstddef>
#include <cstdint>
#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <vector>

namespace quillet {

// The byte cursor handlers read from: Pos advances over Text[0..Length).
struct TTokenCursor {
    const uint8_t* Text = nullptr;
    size_t Length = 0;
    size_t Pos = 0;
    // One past the furthest character the tokenizer examined through this cursor, failed
    // attempts included (Length + 1 once it met the end): text from here on cannot have changed
    // what it found. Never below what it read; a caller takes the larger of this and Pos.
    size_t Reach = 0;
    // Text[0] is not where a line starts: the text shown begins inside one.
    bool MidLine = false;
    void Saw(size_t index) {
        if (index >= Reach) Reach = index + 1;
    }
    int Peek(size_t ahead = 0) const { return Pos + ahead < Length ? Text[Pos + ahead] : 0; }
    bool AtEnd() const { return Pos >= Length; }
};

enum class TPartKind : uint8_t { Start, Body, End };

// One part of a token rule: characters of a group, or a handler routine.
struct TRulePart {
    uint8_t Flag = 0;       // body: may be empty; end: the end sequence belongs to the token
    uint16_t Group = 0;     // start/body character group
    bool IsHandler = false; // recognised by a handler instead of by characters
    bool Custom = false;    // handler is OnCustomParse with ParseID = Handler
    int32_t Handler = 0;
    uint8_t EndCount = 0; // character end part: 0..4 end characters
    std::array<uint16_t, 4> EndGroups{};
};

struct TContinuationRule {
    TRulePart Body;
    TRulePart End;
};

struct TTokenRule {
    TRulePart Start;
    TStateSet Valid;
    TRulePart Body;
    TRulePart End;
    uint8_t Token = 0;
};

// 256 optional rules indexed by the first character.
struct TStartTable {
    std::array<std::optional<TTokenRule>, 256> Rules;
};

enum TStackFlag : uint8_t { sfPushBefore = 1, sfPopBefore = 2, sfPushAfter = 4, sfPopAfter = 8 };

struct TTokenEffect {
    TStateSet Valid;
    TStateSet Add;
    TStateSet Remove;
    bool Bound = false;
    bool NoTransition = false;
    uint8_t StackFlags = 0;
};

// The editor control as the definition sees it: told to re-read the settings and re-highlight.
class IDefinitionUser {
public:
    virtual ~IDefinitionUser() = default;
    virtual void DefinitionChanged() = 0;
    // Called when the definition goes away while the control still uses it.
    virtual void DefinitionDestroyed() {}
};

class TCustomCodeMemoParser;

// OnCustomParse: recognise at the cursor; set length/value and answer true when matched.
using TCustomParseEvent = std::function<bool(TCustomCodeMemoParser& sender, int parseId,
                                             TTokenCursor& cursor, int& length, int& value)>;
using TVersionErrorEvent =
    std::function<void(TCustomCodeMemoParser& sender, int versionEncountered, int versionExpected)>;
using TNotifyEvent = std::function<void(TCustomCodeMemoParser& sender)>;

class TCustomCodeMemoParser {
public:
    TCustomCodeMemoParser();
    virtual ~TCustomCodeMemoParser();
    TCustomCodeMemoParser(const TCustomCodeMemoParser&) = delete;
    TCustomCodeMemoParser& operator=(const TCustomCodeMemoParser&) = delete;

    virtual std::string ClassName() const { return "TCustomCodeMemoParser"; }

    // The three operations a concrete definition provides.
    // One token from the cursor; returns its value and advances the cursor over it.
    virtual int NextToken(TTokenCursor& cursor) = 0;
    virtual void ResetState(uint8_t restartToken) = 0;
    virtual void ShowProperties() = 0;

    void AttachUser(IDefinitionUser* user);
    void DetachUser(IDefinitionUser* user);
    size_t UserCount() const { return FUsers.size(); }
    // Every user re-reads; one user's exception does not stop the others.
    void NotifyUsers();

    TCM_Settings& Settings() { return *FSettings; }
    const TCM_Settings& Settings() const { return *FSettings; }
    // Puts another settings object or user list in place and hands back the one it replaces;
    // the options dialog edits a working copy this way and gives the originals back after.
    std::shared_ptr<TCM_Settings> ExchangeSettings(std::shared_ptr<TCM_Settings> settings);
    std::vector<IDefinitionUser*> ExchangeUsers(std::vector<IDefinitionUser*> users);

    // The component's name: it names the definition in registry errors.
    std::string Name;

    std::string Script;
    std::string RegistryKey;
    bool UseRegistry = false;
    bool AutoScriptUpdate = false;
    TCustomParseEvent OnCustomParse;
    TVersionErrorEvent OnParserVersionError;
    TNotifyEvent OnModifyProperties;

protected:
    std::shared_ptr<TCM_Settings> FSettings;
    std::vector<IDefinitionUser*> FUsers;
};

class TCodeMemoParser;
// Shows the options dialog for a definition whose settings are already the working copy; true
// when the user confirmed. A program with a user interface installs it; there is none by default.
using TOptionsDialogHook = std::function<bool(TCodeMemoParser& definition, uint8_t pageMask)>;
TOptionsDialogHook& OptionsDialogHook();

class TCodeMemoParser : public TCustomCodeMemoParser {
public:
    TCodeMemoParser();
    ~TCodeMemoParser() override;

    std::string ClassName() const override { return "TCodeMemoParser"; }

    // Frees every table and resets the sets and the settings.
    void Clear();
    // Compiles a script file into the tables (see highlight/Compiler.h); raises
    // ECM_COMP_ERROR at the first script error, EFileError when the file cannot be read.
    void Compile(const std::string& scriptPath, const std::vector<std::string>& includePaths = {});
    // Copies another definition; any other class raises "Cannot assign a %s to %s".
    void Assign(const TCustomCodeMemoParser& source);

    // Raises a clear error for numbers outside the built-in handlers 0..2 and 10..20.
    static void ValidateHandler(int32_t number);
    static bool IsStandardRecogniser(int32_t number) { return number >= 10 && number <= 20; }
    // Start characters of a standard recogniser.
    static TCM_CharGroup RecogniserStart(int32_t number);

    int NextToken(TTokenCursor& cursor) override;
    void ResetState(uint8_t restartToken) override;
    // The options dialog (or OnModifyProperties when assigned) with every page.
    void ShowProperties() override;
    // The options dialog with the pages of the mask (bit 0 options .. bit 4 templates) on a
    // working copy of the settings; true when the user pressed OK. After OK the attached
    // editors re-read the settings and, with UseRegistry on and a RegistryKey, the definition
    // saves itself there. Mask 0, or a program without dialogs, gives false at once.
    bool RunOptionsDialog(uint8_t pageMask);

    TStateSet AnchorSet() const { return Anchor; }
    bool InBoundState() const { return State.Meets(BoundStates); }
    // Token value of the last token and whether it was recognised as valid.
    uint8_t LastToken() const { return FLastToken; }

    // Tables (filled by the compiler and the stream reader).
    TCM_CharGroupManager Groups;
    TSyntaxKeywords Keywords;
    std::array<std::optional<TContinuationRule>, 256> Continuations;
    TStartTable GlobalStart;
    std::array<std::unique_ptr<TStartTable>, 256> StateStart;
    TStateSet StatesWithTable;
    std::array<std::optional<TTokenEffect>, 256> Effects;
    std::array<std::optional<TStateSet>, 256> Context;
    TStateSet Anchor;
    TStateSet BoundStates;
    TStateSet StartState;
    bool CaseSensitive = true;
    bool CustomHandlers = false;
    // Secondary keyword tables built from Settings().KeyTables by PrepareKeyTables.
    std::vector<TSyntaxKeywords> SecondaryKeywords;
    std::vector<TStateSet> SecondaryStates;
    std::vector<int> SecondaryEndGroups;
    void PrepareKeyTables();

    // Scan state.
    TStateSet State;
    std::vector<TStateSet> Stack;

    // Adds a state start table for the state if it has none, and returns it.
    TStartTable& StateTable(uint8_t state);

    // Chooses the start table for the current state (after every state change).
    void SelectStartTable();
    bool Busy() const { return FBusy; }
    bool BoundOpen() const { return FBoundOpen; }
    size_t BoundEnd() const { return FBoundEnd; }
    uint8_t BoundToken() const { return FBoundToken; }

    // The scan state between two tokens, kept by a caller that may have to tokenize one again
    // (the re-scan does when a token ran into the end of the text it was shown).
    struct TScanSnapshot {
        TStateSet State;
        TStateSet Saved;
        std::vector<TStateSet> Stack;
        const TStartTable* Selected = nullptr;
        size_t BoundEnd = 0;
        bool BoundOpen = false;
        bool Busy = false;
        uint8_t BoundToken = 0;
        uint8_t LastToken = 0;
    };
    void SaveScan(TScanSnapshot& to) const;
    void RestoreScan(const TScanSnapshot& from);

    // Why TokenRun returned.
    enum TRunStop : uint8_t {
        rsLimit,  // the cursor reached the limit
        rsRefill, // the next token starts past refillAt: show more text first
        rsMargin, // the token at lastStart ended past safeEnd; its bytes are not written and
                  // the state has moved past it
        rsOpened, // the token at lastStart opened a bound region (its bytes are written)
    };
    // Tokenizes from the cursor until it reaches `limit`, writing each token's value over its
    // characters in `out` (indexed like the cursor's text): the re-scan's loop without a call
    // per token. A token of length 0 counts as one character.
    TRunStop TokenRun(TTokenCursor& cursor, size_t limit, size_t refillAt, size_t safeEnd,
                      uint8_t* out, size_t& lastStart);
    // Going on with a long token from a point inside it (a re-scan resuming at a row end that
    // cuts a string or a comment). A code names the token's rule and value; with the state set
    // and stack it says all that the rest of the token hangs on.
    //
    // The code for going on with the last token at `at` (after its start, before its `end`, the
    // cursor position it ended at), or 0 when the outcome there would not be the same as that
    // of scanning it whole: the token changes the state or opens a region, its body is a
    // handler, or what came before `at` looked at text from `at` on (an end sequence begun
    // before it). `looked`: one past the furthest character the tokens of that cursor read
    // before the token's body, the start of the token included.
    uint32_t ResumableAt(const uint8_t* text, size_t at, size_t end, size_t& looked) const;
    enum TResumeStop : uint8_t {
        rmEnded,  // the token ends at the cursor; the state is as after it
        rmOpen,   // it goes on past `horizon`, where the cursor stops: resumable there again
        rmFailed, // it does not match: scanned whole it would not have been this token
    };
    // Whether going on with token `code` may yet find that it does not match (rmFailed): a
    // body that refuses some character; never for strings, runs and numbers.
    bool ResumeMayFail(uint32_t code) const;
    // Goes on with token `code` from the cursor (a body position); value: its token value.
    // Stops at `horizon` when the token goes on past it and nothing read before it looked
    // further; otherwise runs to the token's end.
    TResumeStop ResumeToken(uint32_t code, TTokenCursor& cursor, size_t horizon, uint8_t& value);

    // Call after ResetState and before the TokenRun calls of one scan: it notes which characters
    // are plain default text in each start table, so TokenRun steps over them without a lookup.
    // Tables changed afterwards need another call.
    void BeginRun();

private:
    bool EndTest(const TRulePart& end, TTokenCursor& cur, size_t start);
    bool PartHandler(const TRulePart& part, TTokenCursor& cur, size_t start);
    bool Repeat(const TRulePart& body, const TRulePart& end, bool continuation, TTokenCursor& cur,
                size_t start);
    bool LookupKeyword(const TSyntaxKeywords& kw, int endGroup, TTokenCursor& cur, size_t start,
                       uint8_t& token);
    void PopState();
    // Whether token `token` leaves the state and stack as they are.
    bool KeepsState(uint8_t token) const;
    bool EndReadsPast(const TRulePart& end, const uint8_t* text, size_t from, size_t at) const;

    uint8_t FLastToken = 0;
    // How the last token was recognised, when it may be gone on with from inside it: a string,
    // a character-group body, or a long run of a built-in recogniser (an identifier or a run
    // of digits; a number in its digits, its fraction or its exponent).
    enum : uint8_t {
        tkNone,
        tkQuoted,
        tkRule,
        tkContinued,
        tkRun,
        tkNumber,
        tkFraction,
        tkExponent
    };
    struct TTrace {
        uint8_t Kind = tkNone;
        uint8_t Key = 0; // the rule's start character, the continued token, or the recogniser
        uint8_t Token = 0;
        size_t Body = 0;   // where the body begins
        size_t Looked = 0; // one past the furthest character read before it
        size_t End = 0;
        // A number's parts: its digits end at IntEnd, its fraction's at FracEnd (IntEnd when it
        // has none), its exponent's digits begin at ExpFrom (End when it has none).
        size_t IntEnd = 0, FracEnd = 0, ExpFrom = 0;
    };
    TTrace FTrace;
    // Tokens of built-in recognisers at least this long are traced for going on with.
    static constexpr size_t kLongRun = 32;
    // Notes a token of built-in recogniser `handler` over [start, end) when it is long enough
    // that a row end may cut it and it can be gone on with from inside.
    void TraceRun(int32_t handler, const uint8_t* text, size_t start, size_t end, uint8_t token,
                  size_t looked);
    const TStartTable* FSelected = nullptr;
    bool FBoundOpen = false;
    size_t FBoundEnd = 0;
    uint8_t FBoundToken = 0;
    TStateSet FSavedState;
    bool FBusy = false;

    // What TokenRun does with a first character, worked out once for a start table and a
    // current state (the two things the answer hangs on).
    enum : uint8_t {
        rkUnresolved,    // not worked out yet
        rkPlain,         // one character of default text
        rkFixed,         // one character of Token (a keyword), no state change
        rkRecognise,     // built-in recogniser Handler giving Token, no state change
        rkRecogniseFull, // the same, then the token's effect
        rkKeywordCont,   // a one-character keyword Token with a continuation
        rkKeywordFull,   // one character of Token, then its effect
        rkGeneral,       // the whole of NextToken
    };
    struct TResolved {
        uint8_t Kind = rkUnresolved;
        uint8_t Token = 0;
        uint8_t Handler = 0;
    };
    struct TResolvedTable {
        const TStartTable* Table = nullptr;
        TStateSet State;
        std::array<TResolved, 256> Chars{};
        std::array<TResolvedTable*, 256> After{}; // where each token led last
    };
    // What a token's effect asks: nothing, a check of the current state, or more.
    // What a token's effect asks: nothing, a check of the current state, a change of it, or
    // the stack or a bound region as well.
    enum : uint8_t { ekNone, ekValid, ekTransit, ekFull, ekUnknown = 255 };
    uint8_t EffectKind(uint8_t token) {
        const uint8_t kind = FEffectKind[token];
        return kind != ekUnknown ? kind : KindOfEffect(token);
    }
    uint8_t KindOfEffect(uint8_t token);
    TResolvedTable* ResolvedFor();
    TResolved Resolve(uint8_t c);
    uint8_t Settle(TTokenCursor& cur, size_t start, uint8_t token, bool secondary);
    uint8_t SettleOutside(TTokenCursor& cur, size_t start, uint8_t token);
    std::array<uint8_t, 256> FEffectKind{};
    // The tables worked out since BeginRun (a few: one per start table and state met).
    std::vector<TResolvedTable> FResolved;
    size_t FResolvedNext = 0;
    TResolvedTable* FRun = nullptr;
    bool FRunPlain = false;
};

} // namespace quillet
