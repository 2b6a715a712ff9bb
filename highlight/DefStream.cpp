#include "highlight/DefStream.h"

#include "highlight/Compressor.h"
#include "highlight/ScriptCharSpec.h"
#include "platform/Platform.h"
#include "resources/Strings.h"

#include <cstring>
#include <string>
#include <unordered_map>

namespace quillet {

std::function<TStoredEditing(const TCM_Settings&)> TDefinitionStream::CollectEditing;
std::function<void(TCM_Settings&, TStoredEditing&&)> TDefinitionStream::ApplyEditing;

// ---- field coding -------------------------------------------------------

void TDefWriter::U16(uint16_t v) {
    FData.push_back(uint8_t(v));
    FData.push_back(uint8_t(v >> 8));
}

void TDefWriter::U32(uint32_t v) {
    const uint8_t b[4] = {uint8_t(v), uint8_t(v >> 8), uint8_t(v >> 16), uint8_t(v >> 24)};
    FData.insert(FData.end(), b, b + 4);
}

void TDefWriter::LString(std::string_view s) {
    U32(uint32_t(s.size()));
    FData.insert(FData.end(), s.begin(), s.end());
}

void TDefWriter::SString(std::string_view s) {
    if (s.size() > 255) throw EDefinitionError(FmtLoadStr(SDefTooLong, s.size()));
    U8(uint8_t(s.size()));
    FData.insert(FData.end(), s.begin(), s.end());
}

void TDefWriter::Set(const TByteSet& s) {
    FData.insert(FData.end(), s.Bits.begin(), s.Bits.end());
}

const uint8_t* TDefReader::Take(size_t n) {
    if (n > FSize - FPos) throw EStreamError("Stream read error");
    const uint8_t* p = FData + FPos;
    FPos += n;
    return p;
}

uint8_t TDefReader::U8() {
    return *Take(1);
}

uint16_t TDefReader::U16() {
    const uint8_t* p = Take(2);
    return uint16_t(p[0] | (p[1] << 8));
}

uint32_t TDefReader::U32() {
    const uint8_t* p = Take(4);
    return uint32_t(p[0]) | (uint32_t(p[1]) << 8) | (uint32_t(p[2]) << 16) | (uint32_t(p[3]) << 24);
}

uint8_t TDefReader::Byte32() {
    const uint32_t v = U32();
    if (v > 255) throw EDefinitionError(FmtLoadStr(SDefBadValue, v));
    return uint8_t(v);
}

std::string TDefReader::LString() {
    const uint32_t n = U32();
    const uint8_t* p = Take(n); // checked against what is left before anything is allocated
    return std::string(reinterpret_cast<const char*>(p), n);
}

std::string TDefReader::SString() {
    const uint8_t n = U8();
    const uint8_t* p = Take(n);
    return std::string(reinterpret_cast<const char*>(p), n);
}

TByteSet TDefReader::Set() {
    TByteSet s;
    std::memcpy(s.Bits.data(), Take(32), 32);
    return s;
}

// ---- end specifications of keyword tables -------------------------------

namespace {

void AppendRanges(std::string& out, const TByteSet& members, bool want) {
    static const char* hex = "0123456789ABCDEF";
    auto esc = [&](int c) {
        out += "\\x";
        out += hex[c >> 4];
        out += hex[c & 15];
    };
    for (int c = 0; c < 256;) {
        if (members.Has(uint8_t(c)) != want) {
            ++c;
            continue;
        }
        int e = c;
        while (e + 1 < 256 && members.Has(uint8_t(e + 1)) == want)
            ++e;
        esc(c);
        if (e > c) {
            out += '-';
            esc(e);
        }
        c = e + 1;
    }
}

} // namespace

std::string TDefinitionStream::EndSpecOf(const TCM_CharGroup& group) {
    TByteSet members;
    int count = 0;
    for (int c = 0; c < 256; ++c)
        if (group.Contains(uint8_t(c))) {
            members.Include(uint8_t(c));
            ++count;
        }
    // The shorter of the two spellings; both parse back to the same members.
    std::string spec = count > 128 ? "[^" : "[";
    if (count == 0)
        spec = "[^\\x00-\\xFF";
    else
        AppendRanges(spec, members, count <= 128);
    spec += ']';
    return spec;
}

namespace {

// ---- the writer ------------------------------------------------------------

class TTableWriter {
public:
    TTableWriter(const TCodeMemoParser& def, uint16_t version) : FDef(def), FVersion(version) {}

    std::vector<uint8_t> Run() {
        Settings();
        Keywords();
        Continuations();
        GlobalStart();
        Context();
        Effects();
        StateTables();
        W.Set(FDef.Anchor);
        W.Set(FDef.BoundStates);
        W.Set(FDef.StartState);
        W.U8(FDef.CustomHandlers ? 1 : 0);
        return std::move(W.Bytes());
    }

private:
    void Group(const TCM_CharGroup& g) {
        W.Set(g.Set());
        W.U32(0); // range list: never written
        W.U8(g.Negate() ? 1 : 0);
    }
    // A handler part, and the body of a rule a handler starts, use no characters: their
    // index may name no group, or any group at all, so the empty group is stored for them.
    void GroupOf(const TRulePart& p, bool unused) {
        if (unused || p.IsHandler)
            Group(TCM_CharGroup());
        else
            Group(FDef.Groups.Group(p.Group));
    }
    void Handler(const TRulePart& p) {
        W.U8(p.Custom ? 1 : 0);
        W.U32(uint32_t(p.Handler));
    }
    void StartOrBody(const TRulePart& p, bool unused = false) {
        W.U8(p.Flag);
        GroupOf(p, unused);
        W.U8(p.IsHandler ? 1 : 0);
        if (p.IsHandler) Handler(p);
    }
    void End(const TRulePart& p) {
        W.U8(p.Flag);
        W.U8(p.IsHandler ? 1 : 0);
        if (p.IsHandler) {
            Handler(p);
            return;
        }
        if (p.EndCount > 4) throw EDefinitionError(FmtLoadStr(SDefBadEndCount, p.EndCount));
        W.U8(p.EndCount);
        for (int i = 0; i < p.EndCount; ++i)
            Group(FDef.Groups.Group(p.EndGroups[size_t(i)]));
    }
    void Rule(const TTokenRule& r) {
        StartOrBody(r.Start);
        W.Set(r.Valid);
        StartOrBody(r.Body, r.Start.IsHandler);
        End(r.End);
        W.U8(r.Token);
    }

    void Style(uint8_t n, const TCM_Style& s) {
        W.U8(n);
        W.U8(s.FontStyle);
        W.U32(s.Foreground);
        W.U32(s.Background);
        W.U8(s.ForegroundDefault ? 1 : 0);
        W.U8(s.BackgroundDefault ? 1 : 0);
        W.U8(s.Hotspot ? 1 : 0);
        W.U32(1);
    }

    void Settings() {
        const TCM_Settings& s = FDef.Settings();
        W.LString(s.ExampleText);
        W.LString(s.Name);
        W.LString(s.WrapOverride);
        W.U32(s.Options);
        W.I32(s.MarginWidth);
        W.I32(s.RightMargin);
        W.I32(s.WordWrapColumn);
        W.I32(s.GutterWidth);
        W.I32(s.IndentStep);
        W.U32(s.MarginColor);
        W.U32(s.GutterColor);
        W.U32(s.SelTextColor);
        W.U32(s.SelTextBack);
        W.I32(s.TabDefault);
        uint32_t defined = 0;
        for (const auto& st : s.Styles)
            defined += st.Defined ? 1 : 0;
        W.U32(defined);
        for (size_t i = 0; i < 256; ++i)
            if (s.Styles[i].Defined) Style(uint8_t(i), s.Styles[i]);
        uint32_t mapped = 0;
        for (uint8_t m : s.StyleMap)
            mapped += m ? 1 : 0;
        W.U32(mapped);
        for (size_t i = 0; i < 256; ++i)
            if (s.StyleMap[i]) {
                W.U8(uint8_t(i));
                W.U8(s.StyleMap[i]);
            }
        W.U32(uint32_t(s.EditableStyles.size()));
        for (const auto& e : s.EditableStyles) {
            W.LString(e.Name);
            W.U8(e.Style);
        }
        for (int32_t t : s.TabColumns)
            W.I32(t);
        W.LString(s.FontName);
        W.U32(uint32_t(s.FontSize));
        W.U8(s.FontCharset);
        W.U8(s.MarginColorDefault ? 1 : 0);
        W.U8(s.SelTextColorDefault ? 1 : 0);
        W.U8(s.SelTextBackDefault ? 1 : 0);
        W.U8(s.GutterColorDefault ? 1 : 0);
        W.U32(uint32_t(s.KeyTables.size()));
        for (const auto& t : s.KeyTables) {
            W.Set(t.States);
            W.LString(t.EndGroup < 0 ? std::string()
                                     : TDefinitionStream::EndSpecOf(FDef.Groups.Group(t.EndGroup)));
            W.U32(t.CaseSensitive ? 1 : 0);
            W.U32(uint32_t(t.Words.size()));
            for (const auto& [text, token] : t.Words) {
                W.LString(text);
                W.U32(token);
            }
        }
        TDefinitionStream::WriteEditing(W, TDefinitionStream::EditingOf(s));
        if (FVersion > 50) {
            W.LString(s.GutterFontName);
            W.U32(uint32_t(s.GutterFontSize));
            W.U8(s.GutterFontCharset);
            W.U32(s.GutterFontColor);
            W.U8(s.GutterFontStyle);
        }
    }

    void Keywords() {
        W.U32(FDef.CaseSensitive ? 1 : 0);
        W.U32(uint32_t(FDef.Keywords.Count()));
        FDef.Keywords.ForEach([&](std::string_view text, const TKeywordEntry& e) {
            W.SString(text);
            Group(e.EndGroup < 0 ? TCM_CharGroup() : FDef.Groups.Group(e.EndGroup));
            W.Set(e.States);
            W.U32(e.Token);
        });
        W.U8(0); // the closing empty keyword, also when there are none
    }

    void Continuations() {
        uint32_t n = 0;
        for (const auto& c : FDef.Continuations)
            n += c ? 1 : 0;
        W.U32(n);
        for (size_t t = 0; t < 256; ++t)
            if (const auto& c = FDef.Continuations[t]) {
                W.U8(uint8_t(t));
                StartOrBody(c->Body);
                End(c->End);
            }
    }

    void Table(const TStartTable& table) {
        uint32_t n = 0;
        for (const auto& r : table.Rules)
            n += r ? 1 : 0;
        W.U32(n);
        for (size_t c = 0; c < 256; ++c)
            if (const auto& r = table.Rules[c]) {
                W.U8(uint8_t(c));
                Rule(*r);
                if (&table != &FDef.GlobalStart) W.U32(0); // range list: never written
            }
    }

    void GlobalStart() { Table(FDef.GlobalStart); }

    void Context() {
        uint32_t n = 0;
        for (const auto& c : FDef.Context)
            n += c && *c != FDef.StartState ? 1 : 0;
        W.U32(n);
        for (size_t t = 0; t < 256; ++t)
            if (const auto& c = FDef.Context[t]; c && *c != FDef.StartState) {
                W.U8(uint8_t(t));
                W.Set(*c);
            }
    }

    void Effects() {
        uint32_t n = 0;
        for (const auto& e : FDef.Effects)
            n += e ? 1 : 0;
        W.U32(n);
        for (size_t t = 0; t < 256; ++t)
            if (const auto& e = FDef.Effects[t]) {
                W.U8(uint8_t(t));
                W.Set(e->Valid);
                W.Set(e->Add);
                W.Set(e->Remove);
                W.U8(e->Bound ? 1 : 0);
                W.U8(e->NoTransition ? 1 : 0);
                W.U8(e->StackFlags);
            }
    }

    void StateTables() {
        uint32_t n = 0;
        for (const auto& t : FDef.StateStart)
            n += t ? 1 : 0;
        W.U32(n);
        for (size_t s = 0; s < 256; ++s)
            if (const auto& t = FDef.StateStart[s]) {
                W.U8(uint8_t(s));
                Table(*t);
            }
    }

    const TCodeMemoParser& FDef;
    uint16_t FVersion;
    TDefWriter W;
};

// ---- the reader ------------------------------------------------------------

class TTableReader {
public:
    TTableReader(TCodeMemoParser& def, const uint8_t* data, size_t size, uint16_t version)
        : FDef(def), R(data, size), FVersion(version) {}

    void Run() {
        Settings();
        Keywords();
        Continuations();
        Table(FDef.GlobalStart, false);
        Context();
        Effects();
        StateTables();
        FDef.Anchor = R.Set();
        FDef.BoundStates = R.Set();
        FDef.StartState = R.Set();
        FDef.CustomHandlers = R.U8() != 0;
        if (R.Remaining()) throw EDefinitionError(FmtLoadStr(SDefTrailing, R.Remaining()));
    }

private:
    // Equal groups come back as one: interned by their bytes, each stored once.
    int Group() {
        const TByteSet bits = R.Set();
        if (R.U32() != 0) throw EDefinitionError(LoadStr(SDefGroupRanges));
        const bool negate = R.U8() != 0;
        return Intern(bits, negate);
    }
    int Intern(const TByteSet& bits, bool negate) {
        std::string key(reinterpret_cast<const char*>(bits.Bits.data()), 32);
        key += char(negate);
        auto it = FInterned.find(key);
        if (it != FInterned.end()) return it->second;
        if (FDef.Groups.Count() > 0xFFFF)
            throw EDefinitionError(FmtLoadStr(SDefTooManyGroups, 65536));
        TCM_CharGroup g;
        for (int c = 0; c < 256; ++c)
            if (bits.Has(uint8_t(c))) g.Add(uint8_t(c));
        g.SetNegate(negate);
        const int index = FDef.Groups.Append(g);
        FInterned.emplace(std::move(key), index);
        return index;
    }
    static bool IsEmptyGroup(const TCM_CharGroup& g) { return !g.Negate() && g.Set().Empty(); }

    void Handler(TRulePart& p) {
        p.IsHandler = true;
        p.Custom = R.U8() != 0;
        p.Handler = R.I32();
        if (!p.Custom) TCodeMemoParser::ValidateHandler(p.Handler);
    }
    TRulePart StartOrBody() {
        TRulePart p;
        p.Flag = R.U8();
        p.Group = uint16_t(Group());
        if (R.U8()) Handler(p);
        return p;
    }
    TRulePart End() {
        TRulePart p;
        p.Flag = R.U8();
        if (R.U8()) {
            Handler(p);
            return p;
        }
        p.EndCount = R.U8();
        if (p.EndCount > 4) throw EDefinitionError(FmtLoadStr(SDefBadEndCount, p.EndCount));
        for (int i = 0; i < p.EndCount; ++i)
            p.EndGroups[size_t(i)] = uint16_t(Group());
        return p;
    }
    TTokenRule Rule() {
        TTokenRule r;
        r.Start = StartOrBody();
        r.Valid = R.Set();
        r.Body = StartOrBody();
        r.End = End();
        r.Token = R.U8();
        return r;
    }

    void Settings() {
        TCM_Settings& s = FDef.Settings();
        s.ExampleText = R.LString();
        s.Name = R.LString();
        s.WrapOverride = R.LString();
        s.Options = R.U32();
        s.MarginWidth = R.I32();
        s.RightMargin = R.I32();
        s.WordWrapColumn = R.I32();
        s.GutterWidth = R.I32();
        s.IndentStep = R.I32();
        s.MarginColor = R.U32();
        s.GutterColor = R.U32();
        s.SelTextColor = R.U32();
        s.SelTextBack = R.U32();
        s.TabDefault = R.I32();
        for (uint32_t n = R.U32(); n; --n) {
            TCM_Style& st = s.Styles[R.U8()];
            st.Reset();
            st.FontStyle = R.U8();
            st.Foreground = R.U32();
            st.Background = R.U32();
            st.ForegroundDefault = R.U8() != 0;
            st.BackgroundDefault = R.U8() != 0;
            st.Hotspot = R.U8() != 0;
            st.Defined = R.U32() != 0;
        }
        for (uint32_t n = R.U32(); n; --n) {
            const uint8_t token = R.U8();
            s.StyleMap[token] = R.U8();
        }
        s.EditableStyles.clear();
        for (uint32_t n = R.U32(); n; --n) {
            TEditableStyle e;
            e.Name = R.LString();
            e.Style = R.U8();
            s.EditableStyles.push_back(std::move(e));
        }
        for (auto& t : s.TabColumns)
            t = R.I32();
        s.FontName = R.LString();
        s.FontSize = int32_t(R.U32());
        s.FontCharset = R.U8();
        s.MarginColorDefault = R.U8() != 0;
        s.SelTextColorDefault = R.U8() != 0;
        s.SelTextBackDefault = R.U8() != 0;
        s.GutterColorDefault = R.U8() != 0;
        s.KeyTables.clear();
        for (uint32_t n = R.U32(); n; --n) {
            TKeyTableDef t;
            t.States = R.Set();
            const std::string spec = R.LString();
            if (!spec.empty()) t.EndGroup = EndGroupOf(spec);
            t.CaseSensitive = R.U32() != 0;
            for (uint32_t k = R.U32(); k; --k) {
                std::string text = R.LString();
                const uint8_t token = R.Byte32();
                t.Words.emplace_back(std::move(text), token);
            }
            s.AddKeyTable(t);
        }
        TDefinitionStream::SetEditing(s, TDefinitionStream::ReadEditing(R));
        if (FVersion > 50) {
            s.GutterFontName = R.LString();
            s.GutterFontSize = int32_t(R.U32());
            s.GutterFontCharset = R.U8();
            s.GutterFontColor = R.U32();
            s.GutterFontStyle = R.U8();
        }
        if (std::string bad = LayoutOutOfBounds(s); !bad.empty())
            throw EDefinitionError(FmtLoadStr(SDefBadLayout, bad));
    }

    int EndGroupOf(const std::string& spec) {
        std::vector<TCharSet> sets;
        try {
            sets = ParseCharSpecs(spec);
        } catch (const EQuilletError&) {
            throw EDefinitionError(FmtLoadStr(SDefBadEndSpec, spec));
        }
        if (sets.size() != 1) throw EDefinitionError(FmtLoadStr(SDefBadEndSpec, spec));
        TByteSet bits;
        for (int c = 0; c < 256; ++c)
            if (sets[0].test(size_t(c))) bits.Include(uint8_t(c));
        return Intern(bits, false);
    }

    void Keywords() {
        FDef.CaseSensitive = R.U32() != 0;
        FDef.Keywords.SetCaseSensitive(FDef.CaseSensitive);
        const uint32_t count = R.U32();
        if (count == 0) {
            // An empty table still ends with its empty keyword.
            if (R.U8() != 0) throw EStreamError("Stream read error");
            return;
        }
        for (;;) {
            const std::string text = R.SString();
            if (text.empty()) break;
            const int g = Group();
            const int endGroup = IsEmptyGroup(FDef.Groups.Group(g)) ? -1 : g;
            const TStateSet states = R.Set();
            const uint8_t token = R.Byte32();
            FDef.Keywords.Add(text, token, states, endGroup);
        }
    }

    void Continuations() {
        for (uint32_t n = R.U32(); n; --n) {
            const uint8_t token = R.U8();
            TContinuationRule c;
            c.Body = StartOrBody();
            c.End = End();
            FDef.Continuations[token] = c;
        }
    }

    void Table(TStartTable& table, bool withRanges) {
        for (uint32_t n = R.U32(); n; --n) {
            const uint8_t c = R.U8();
            table.Rules[c] = Rule();
            if (!withRanges) continue;
            for (uint32_t k = R.U32(); k; --k) {
                const uint16_t lo = R.U16(), hi = R.U16();
                const TTokenRule r = Rule();
                if (lo > hi || hi > 255) throw EDefinitionError(FmtLoadStr(SDefBadRange, lo, hi));
                for (int ch = lo; ch <= hi; ++ch)
                    table.Rules[size_t(ch)] = r;
            }
        }
    }

    void Context() {
        for (uint32_t n = R.U32(); n; --n) {
            const uint8_t token = R.U8();
            const TStateSet set = R.Set();
            // An empty set stands for the start state.
            if (set.Empty())
                FDef.Context[token].reset();
            else
                FDef.Context[token] = set;
        }
    }

    void Effects() {
        for (uint32_t n = R.U32(); n; --n) {
            const uint8_t token = R.U8();
            TTokenEffect e;
            e.Valid = R.Set();
            e.Add = R.Set();
            e.Remove = R.Set();
            e.Bound = R.U8() != 0;
            e.NoTransition = R.U8() != 0;
            e.StackFlags = R.U8();
            FDef.Effects[token] = e;
        }
    }

    void StateTables() {
        for (uint32_t n = R.U32(); n; --n) {
            const uint8_t state = R.U8();
            Table(FDef.StateTable(state), true);
        }
    }

    TCodeMemoParser& FDef;
    TDefReader R;
    uint16_t FVersion;
    std::unordered_map<std::string, int> FInterned;
};

[[noreturn]] void Reraise(const std::string& name, const std::exception& e) {
    throw EDefinitionError(FmtLoadStr(SDefReraise, name, e.what()));
}

} // namespace

// ---- items 24-26 -------------------------------------------------------------

static void WriteBlock(TDefWriter& w, const TStoredTemplateBlock& b) {
    w.U32(uint32_t(b.Entries.size()));
    for (const auto& e : b.Entries) {
        w.SString(e.Name);
        w.SString(e.Description);
        w.LString(e.Text);
    }
    w.LString(b.HotKey);
    w.U32(b.Flags & 0x7F);
}

static TStoredTemplateBlock ReadBlock(TDefReader& r) {
    TStoredTemplateBlock b;
    for (uint32_t n = r.U32(); n; --n) {
        TStoredTemplate e;
        e.Name = r.SString();
        e.Description = r.SString();
        e.Text = r.LString();
        b.Entries.push_back(std::move(e));
    }
    b.HotKey = r.LString();
    b.Flags = r.U32();
    return b;
}

void TDefinitionStream::WriteEditing(TDefWriter& w, const TStoredEditing& e) {
    WriteBlock(w, e.AutoReplace);
    w.SString(e.ActionKeys);
    WriteBlock(w, e.Templates);
    WriteKeys(w, e.Keys);
}

void TDefinitionStream::WriteKeys(TDefWriter& w, const TStoredKeyTable& keys) {
    w.U32(uint32_t(keys.Commands.size()));
    for (const auto& [number, name] : keys.Commands) {
        w.U32(number);
        w.SString(name);
    }
    w.U32(uint32_t(keys.Bindings.size()));
    for (const auto& b : keys.Bindings) {
        w.U16(b.First);
        w.U16(b.Second);
        w.U32(b.Command);
    }
}

TStoredKeyTable TDefinitionStream::ReadKeys(TDefReader& r) {
    TStoredKeyTable keys;
    for (uint32_t n = r.U32(); n; --n) {
        const uint32_t number = r.U32();
        keys.Commands.emplace_back(number, r.SString());
    }
    for (uint32_t n = r.U32(); n; --n) {
        TStoredBinding b;
        b.First = r.U16();
        b.Second = r.U16();
        b.Command = r.U32();
        keys.Bindings.push_back(b);
    }
    return keys;
}

TStoredEditing TDefinitionStream::ReadEditing(TDefReader& r) {
    TStoredEditing e;
    e.AutoReplace = ReadBlock(r);
    e.ActionKeys = r.SString();
    e.Templates = ReadBlock(r);
    e.Keys = ReadKeys(r);
    return e;
}

TStoredEditing TDefinitionStream::EditingOf(const TCM_Settings& s) {
    if (CollectEditing) return CollectEditing(s);
    // The tables write themselves in the stored layout; read it back into its parts.
    TMemoryStream bytes;
    s.AutoReplace.SaveToStream(bytes);
    s.Templates.SaveToStream(bytes);
    s.KeyStore.SaveToStream(bytes);
    TDefReader r(bytes.Bytes().data(), bytes.Bytes().size());
    return ReadEditing(r);
}

void TDefinitionStream::SetEditing(TCM_Settings& s, TStoredEditing&& e) {
    if (ApplyEditing) {
        ApplyEditing(s, std::move(e));
        return;
    }
    TDefWriter w;
    WriteEditing(w, e);
    TReadOnlyMemoryStream in(w.Bytes().data(), int64_t(w.Bytes().size()));
    s.AutoReplace.LoadFromStream(in);
    s.Templates.LoadFromStream(in);
    s.KeyStore.LoadFromStream(in);
}

// ---- the envelope --------------------------------------------------------------

std::vector<uint8_t> TDefinitionStream::WriteTables(const TCodeMemoParser& def, uint16_t version) {
    return TTableWriter(def, version).Run();
}

void TDefinitionStream::ReadTables(TCodeMemoParser& def, const uint8_t* data, size_t size,
                                   uint16_t version) {
    TTableReader(def, data, size, version).Run();
    def.PrepareKeyTables();
    def.State = def.StartState;
    def.SelectStartTable();
}

void TDefinitionStream::Save(const TCodeMemoParser& def, TStream& out,
                             const std::string& componentName) {
    std::vector<uint8_t> tables;
    try {
        tables = WriteTables(def);
    } catch (const std::exception& e) {
        Reraise(componentName, e);
    }
    TDefWriter head;
    head.U16(DefStreamVersion);
    head.U32(uint32_t(tables.size()));
    out.WriteBuffer(head.Bytes().data(), int64_t(head.Bytes().size()));
    TReadOnlyMemoryStream in(tables.data(), int64_t(tables.size()));
    TCompressor c;
    c.SetMethod(cmKH);
    c.SetInputStream(&in);
    c.SetOutputStream(&out);
    c.Compress();
}

std::vector<uint8_t> TDefinitionStream::SaveToBytes(const TCodeMemoParser& def,
                                                    const std::string& componentName) {
    TMemoryStream out;
    Save(def, out, componentName);
    return std::move(out.Bytes());
}

bool TDefinitionStream::Load(TCodeMemoParser& def, TStream& in, const TDefLoadContext& context) {
    def.Clear();
    try {
        uint8_t head[2];
        in.ReadBuffer(head, 2);
        const uint16_t version = uint16_t(head[0] | (head[1] << 8));
        if (version < DefStreamOldestVersion) {
            const std::string msg =
                FmtLoadStr(SParserVersionError, context.ComponentName, DefStreamVersion, version);
            if (context.ReadingDescription) throw ECodeMemoParserError(msg);
            if (def.OnParserVersionError) {
                def.OnParserVersionError(def, version, DefStreamVersion);
            } else {
                IDialogs* dialogs = context.Dialogs ? context.Dialogs : Platform().Dialogs.get();
                if (dialogs) dialogs->MessageBox(msg, "", mtInformation, mbOK);
            }
            return false;
        }
        uint8_t len[4];
        in.ReadBuffer(len, 4);
        const uint32_t declared = uint32_t(len[0]) | (uint32_t(len[1]) << 8) |
                                  (uint32_t(len[2]) << 16) | (uint32_t(len[3]) << 24);
        TMemoryStream tables;
        TCompressor c;
        c.SetMethod(cmKH);
        c.SetInputStream(&in);
        c.SetOutputStream(&tables);
        c.Decompress();
        if (uint64_t(tables.Size()) != declared)
            throw EDefinitionError(FmtLoadStr(SDefLengthMismatch, tables.Size(), declared));
        try {
            ReadTables(def, tables.Bytes().data(), tables.Bytes().size(), version);
        } catch (const std::exception& e) {
            Reraise(context.ComponentName, e);
        }
    } catch (...) {
        def.Clear(); // never half a definition
        throw;
    }
    return true;
}

bool TDefinitionStream::LoadFromBytes(TCodeMemoParser& def, const uint8_t* data, size_t size,
                                      const TDefLoadContext& context) {
    TReadOnlyMemoryStream in(data, int64_t(size));
    return Load(def, in, context);
}

void TDefinitionStream::Assign(TCodeMemoParser& target, const TCustomCodeMemoParser& source,
                               const std::string& componentName) {
    auto* src = dynamic_cast<const TCodeMemoParser*>(&source);
    if (!src)
        throw EDefinitionError(FmtLoadStr(SCannotAssign, source.ClassName(), target.ClassName()));
    if (src == &target) return;
    TMemoryStream buffer;
    Save(*src, buffer, componentName);
    buffer.SetPosition(0);
    TDefLoadContext context;
    context.ComponentName = componentName;
    Load(target, buffer, context);
    target.NotifyUsers();
}

} // namespace quillet
