#include "highlight/CodeMemoParser.h"

#include "highlight/DefinitionError.h"
#include "highlight/RegistrySettings.h"
#include "platform/Platform.h"
#include "resources/Strings.h"

#include <algorithm>

namespace quillet {

TCustomCodeMemoParser::TCustomCodeMemoParser() : FSettings(std::make_shared<TCM_Settings>()) {}

TCustomCodeMemoParser::~TCustomCodeMemoParser() {
    // Users hold a pointer to us: tell them before it dangles.
    auto users = FUsers;
    FUsers.clear();
    for (auto* u : users)
        u->DefinitionDestroyed();
}

void TCustomCodeMemoParser::AttachUser(IDefinitionUser* user) {
    if (user && std::find(FUsers.begin(), FUsers.end(), user) == FUsers.end())
        FUsers.push_back(user);
}

void TCustomCodeMemoParser::DetachUser(IDefinitionUser* user) {
    FUsers.erase(std::remove(FUsers.begin(), FUsers.end(), user), FUsers.end());
}

std::shared_ptr<TCM_Settings>
TCustomCodeMemoParser::ExchangeSettings(std::shared_ptr<TCM_Settings> settings) {
    if (settings) std::swap(FSettings, settings);
    return settings;
}

std::vector<IDefinitionUser*>
TCustomCodeMemoParser::ExchangeUsers(std::vector<IDefinitionUser*> users) {
    std::swap(FUsers, users);
    return users;
}

void TCustomCodeMemoParser::NotifyUsers() {
    auto users = FUsers; // a user may detach itself while notified
    for (auto* u : users) {
        try {
            u->DefinitionChanged();
        } catch (...) {
        }
    }
}

TCodeMemoParser::TCodeMemoParser() {
    Clear();
}

TCodeMemoParser::~TCodeMemoParser() = default;

void TCodeMemoParser::Clear() {
    Groups.Clear();
    Keywords.Clear();
    for (auto& c : Continuations)
        c.reset();
    for (auto& r : GlobalStart.Rules)
        r.reset();
    for (auto& t : StateStart)
        t.reset();
    StatesWithTable = {};
    for (auto& e : Effects)
        e.reset();
    for (auto& c : Context)
        c.reset();
    Anchor = TStateSet::Of({0});
    BoundStates = {};
    StartState = TStateSet::Of({0});
    CaseSensitive = true;
    Keywords.SetCaseSensitive(true);
    CustomHandlers = false;
    SecondaryKeywords.clear();
    SecondaryStates.clear();
    SecondaryEndGroups.clear();
    Stack.clear();
    State = StartState;
    FLastToken = 0;
    FBoundOpen = FBusy = false;
    FSelected = &GlobalStart;
    FSettings->Reset();
}

void TCodeMemoParser::Assign(const TCustomCodeMemoParser& source) {
    auto* src = dynamic_cast<const TCodeMemoParser*>(&source);
    if (!src) throw EDefinitionError(FmtLoadStr(SCannotAssign, source.ClassName(), ClassName()));
    if (src == this) return;
    Groups = src->Groups;
    Keywords = src->Keywords;
    Continuations = src->Continuations;
    GlobalStart = src->GlobalStart;
    for (size_t i = 0; i < 256; ++i)
        StateStart[i] =
            src->StateStart[i] ? std::make_unique<TStartTable>(*src->StateStart[i]) : nullptr;
    StatesWithTable = src->StatesWithTable;
    Effects = src->Effects;
    Context = src->Context;
    Anchor = src->Anchor;
    BoundStates = src->BoundStates;
    StartState = src->StartState;
    CaseSensitive = src->CaseSensitive;
    CustomHandlers = src->CustomHandlers;
    SecondaryKeywords = src->SecondaryKeywords;
    SecondaryStates = src->SecondaryStates;
    SecondaryEndGroups = src->SecondaryEndGroups;
    *FSettings = *src->FSettings;
    Stack.clear();
    State = StartState;
    FBoundOpen = FBusy = false;
    SelectStartTable();
    NotifyUsers();
}

void TCodeMemoParser::ValidateHandler(int32_t number) {
    if ((number >= 0 && number <= 2) || IsStandardRecogniser(number)) return;
    throw EDefinitionError(FmtLoadStr(SInvalidHandler, number));
}

TCM_CharGroup TCodeMemoParser::RecogniserStart(int32_t number) {
    ValidateHandler(number);
    TCM_CharGroup g;
    auto letters = [&] {
        g.AddRange('A', 'Z');
        g.AddRange('a', 'z');
    };
    switch (number) {
    case 10:
        letters();
        g.Add('_');
        break;
    case 11:
        g.Add('.');
        g.AddRange('0', '9');
        break;
    case 12:
    case 14:
    case 20:
        g.Add('\'');
        break;
    case 13:
    case 18:
        g.Add('"');
        break;
    case 15:
        g.Add('+');
        g.Add('-');
        g.Add('.');
        g.AddRange('0', '9');
        break;
    case 16:
        g.AddRange('0', '9');
        break;
    case 17:
        letters();
        g.AddRange('0', '9');
        break;
    case 19:
        g.Add('/');
        break;
    default:
        break; // body handlers have no start characters
    }
    return g;
}

TStartTable& TCodeMemoParser::StateTable(uint8_t state) {
    if (!StateStart[state]) StateStart[state] = std::make_unique<TStartTable>();
    StatesWithTable.Include(state);
    return *StateStart[state];
}

void TCodeMemoParser::PrepareKeyTables() {
    SecondaryKeywords.clear();
    SecondaryStates.clear();
    SecondaryEndGroups.clear();
    for (const auto& def : FSettings->KeyTables) {
        TSyntaxKeywords kw(def.CaseSensitive);
        for (const auto& [text, token] : def.Words)
            kw.Add(text, token, def.States, def.EndGroup);
        SecondaryKeywords.push_back(std::move(kw));
        SecondaryStates.push_back(def.States);
        SecondaryEndGroups.push_back(def.EndGroup);
    }
}

TOptionsDialogHook& OptionsDialogHook() {
    static TOptionsDialogHook hook;
    return hook;
}

void TCodeMemoParser::ShowProperties() {
    if (OnModifyProperties) {
        OnModifyProperties(*this);
        NotifyUsers();
        return;
    }
    RunOptionsDialog(0x1F);
}

bool TCodeMemoParser::RunOptionsDialog(uint8_t pageMask) {
    pageMask &= 0x1F;
    if (!pageMask || !OptionsDialogHook()) return false;
    bool ok = false;
    {
        // The dialog and its two editors see only the working copy; whatever happens, the
        // definition gets its own settings and users back.
        struct TRestore {
            TCodeMemoParser& Def;
            std::shared_ptr<TCM_Settings> Own;
            std::vector<IDefinitionUser*> Users;
            ~TRestore() {
                Def.ExchangeSettings(Own);
                Def.ExchangeUsers(std::move(Users));
            }
        } restore{*this, nullptr, {}};
        auto working = std::make_shared<TCM_Settings>(*FSettings);
        restore.Own = ExchangeSettings(working);
        restore.Users = ExchangeUsers({});
        ok = OptionsDialogHook()(*this, pageMask);
        if (ok) {
            *restore.Own = *working;
            // The cached fonts belong to the working copy's metrics; made anew on next use.
            for (auto& style : restore.Own->Styles)
                style.Font.reset();
        }
    }
    if (!ok) return false;
    NotifyUsers();
    if (UseRegistry && !RegistryKey.empty() && Platform().Registry)
        SaveToRegistry(*this, *Platform().Registry, Name);
    return true;
}

void TCodeMemoParser::ResetState(uint8_t restartToken) {
    Stack.clear();
    State = Context[restartToken] ? *Context[restartToken] : StartState;
    FBoundOpen = false;
    FBusy = false;
    SelectStartTable();
}

} // namespace quillet
