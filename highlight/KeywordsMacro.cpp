#include "highlight/KeywordsMacro.h"

#include "highlight/AutoReplaceExpansion.h"
#include "resources/Strings.h"

#include <algorithm>

namespace quillet {

namespace {
std::string Lower(std::string_view s) {
    std::string out(s);
    for (char& c : out)
        if (c >= 'A' && c <= 'Z') c = char(c + 32);
    return out;
}
std::string Reversed(std::string_view s) {
    return std::string(s.rbegin(), s.rend());
}
} // namespace

std::string NormalizeMacroText(std::string_view text) {
    std::string out;
    out.reserve(text.size());
    for (size_t i = 0; i < text.size(); ++i) {
        auto c = static_cast<unsigned char>(text[i]);
        if (c == '\r') {
            out += '\r';
            if (i + 1 < text.size() && text[i + 1] == '\n') ++i;
        } else if (c == '\n') {
            out += '\r';
        } else if (c == '\t' || c >= 32) {
            out += char(c);
        } else {
            out += '.';
        }
    }
    return out;
}

void TMacroKeywords::AddEntry(std::string_view name, std::string_view description,
                              std::string_view expansion) {
    if (name.empty()) throw EKeyError(LoadStr(SEmptyMacroName));
    if (name.size() > MaxMacroName)
        throw EKeyError(FmtLoadStr(SMacroTextTooLong, "name", Abbreviate(name)));
    if (description.size() > 255)
        throw EKeyError(FmtLoadStr(SMacroTextTooLong, "description", Abbreviate(description)));
    std::string key = Lower(name);
    auto [it, fresh] = FEntries.insert_or_assign(
        key, TMacroEntry{std::string(description), NormalizeMacroText(expansion)});
    if (fresh) {
        FMatcher.Add(Reversed(key), int32_t(FMatchNames.size()));
        FMatchNames.push_back(key);
    }
}

void TMacroKeywords::DeleteEntry(std::string_view name) {
    if (FEntries.erase(Lower(name)) > 0) RebuildMatcher();
}

void TMacroKeywords::RebuildMatcher() {
    FMatcher.Clear();
    FMatchNames.clear();
    for (const auto& [name, entry] : FEntries) {
        FMatcher.Add(Reversed(name), int32_t(FMatchNames.size()));
        FMatchNames.push_back(name);
    }
}

void TMacroKeywords::Clear() {
    FEntries.clear();
    FMatcher.Clear();
    FMatchNames.clear();
    FPartialWord.clear();
}

const std::string* TMacroKeywords::FindExpansion(std::string_view word) const {
    auto it = FEntries.find(Lower(word));
    return it == FEntries.end() ? nullptr : &it->second.Expansion;
}

bool TMacroKeywords::IsTrigger(int key, TShiftState shift) const {
    return FEnabled && FTrigger != 0 && ShortCutOf(key, shift) == FTrigger;
}

bool TMacroKeywords::ProcessKey(IExpansionTarget& target, int key, bool& handled,
                                TShiftState shift) {
    if (!IsTrigger(key, shift)) return false;
    FPartialWord.clear();
    // A name is at most MaxMacroName bytes, so this tail holds any match and the byte before it.
    constexpr size_t tail = MaxMacroName + 1;
    std::string line = target.LineBeforeCaret(tail);
    if (!line.empty()) {
        TKeywordMatch m = FMatcher.MatchBackward(line);
        if (m) {
            // The name as typed, which may differ in case from the entry's.
            std::string name = line.substr(line.size() - m.Length);
            std::string text = FEntries.at(FMatchNames[size_t(m.Value)]).Expansion;
            Fire(target, &name, std::move(text));
            if (FSwallowTrigger) handled = true;
            return true;
        }
        auto wordStart = [&] {
            size_t start = line.size();
            while (start > 0 &&
                   (target.CharIsInWord(line[start - 1]) || target.CharStartsWord(line[start - 1])))
                --start;
            return start;
        };
        size_t start = wordStart();
        // A word longer than the tail: read back to its start (once, not per name).
        if (start == 0 && line.size() >= tail) {
            line = target.LineBeforeCaret(std::string::npos);
            start = wordStart();
        }
        FPartialWord = Lower(std::string_view(line).substr(start));
    }
    if (!FEntries.empty() && FPopupWhenNoMatch) {
        // The key opened the list; it must not also be typed.
        handled = true;
        target.ShowMacroPopup(*this);
    }
    return false;
}

void TMacroKeywords::Fire(IExpansionTarget& target, const std::string* name, std::string text) {
    if (OnFire)
        OnFire(*this, name, text);
    else
        ExpandMacro(target, *this, name, std::move(text));
}

void TMacroKeywords::Assign(const TPersistentTable& source) {
    if (source.ClassName() != ClassName())
        throw EKeyError(FmtLoadStr(SCannotAssignMacros, source.ClassName(), ClassName()));
    if (&source == this) return;
    TMemoryStream buffer;
    source.SaveToStream(buffer);
    buffer.SetPosition(0);
    LoadFromStream(buffer);
}

void TMacroKeywords::SaveToStream(TStream& stream) const {
    WriteU32(stream, uint32_t(FEntries.size()));
    for (const auto& [name, entry] : FEntries) {
        WriteStr8(stream, name);
        WriteStr8(stream, entry.Description);
        WriteStr32(stream, entry.Expansion);
    }
    WriteStr32(stream, ShortCutToText(FTrigger));
    WriteU32(stream, FEnabled ? 1 : 0);
    SaveExtra(stream);
}

void TMacroKeywords::LoadFromStream(TStream& stream) {
    std::unique_ptr<TMacroKeywords> loaded = NewEmpty();
    uint32_t count = ReadU32(stream);
    for (uint32_t i = 0; i < count; ++i) {
        std::string name = ReadStr8(stream);
        std::string description = ReadStr8(stream);
        std::string expansion = ReadStr32(stream);
        loaded->AddEntry(name, description, expansion);
    }
    loaded->FTrigger = TextToShortCut(ReadStr32(stream));
    loaded->FEnabled = ReadU32(stream) != 0;
    loaded->LoadExtra(stream);
    TakeContents(*loaded);
}

void TMacroKeywords::TakeContents(TMacroKeywords& loaded) {
    FEntries = std::move(loaded.FEntries);
    FMatchNames = std::move(loaded.FMatchNames);
    FMatcher = std::move(loaded.FMatcher);
    FPartialWord.clear();
    FTrigger = loaded.FTrigger;
    FEnabled = loaded.FEnabled;
}

} // namespace quillet
