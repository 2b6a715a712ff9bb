// The code-template and auto-replace tables and the auto-replace trigger keys.
#pragma once

#include "highlight/KeywordsMacro.h"
#include "platform/Keyboard.h"

#include <cstdint>
#include <string>
#include <vector>

namespace quillet {

class TCodeTemplates : public TMacroKeywords {
public:
    std::string ClassName() const override { return "TCodeTemplates"; }
    void AddEntry(std::string_view name, std::string_view description,
                  std::string_view expansion) override;

    const std::string& ExtraText() const { return FExtraText; }
    void SetExtraText(std::string value) { FExtraText = std::move(value); }

protected:
    std::unique_ptr<TMacroKeywords> NewEmpty() const override {
        return std::make_unique<TCodeTemplates>();
    }

private:
    std::string FExtraText;
};

// A trigger key code: the virtual key plus these bits, as the keyboard-layout query gives them.
constexpr uint16_t tkShift = 0x100;
constexpr uint16_t tkCtrl = 0x200;
constexpr uint16_t tkAlt = 0x400;

// The trigger keys a specification gives: "\n" or "\r" Return, "\s" Space, "\t" Tab, "\{name}"
// a key of the key-name table, "\c" the key that types c unshifted, and any other character
// the key (with modifiers) that types it. Raises "Bad key specifier" for "\{" without "}".
std::vector<uint16_t> ParseTriggerKeys(std::string_view keyText, const IKeyboardLayout* layout);

class TAutoReplace : public TCodeTemplates {
public:
    static constexpr const char* DefaultTriggerKeys = ";,:.=()[]\\{Return}\\{Tab}\\{Space}";

    TAutoReplace();
    std::string ClassName() const override { return "TAutoReplace"; }

    // Empties the table and restores the default trigger keys.
    void Reset();

    const std::string& TriggerKeys() const { return FTriggerSpec; }
    // Parses with the layout set here, else the platform's; a bad or over-long specification
    // raises and changes nothing.
    void SetTriggerKeys(std::string_view keyText);
    const std::vector<uint16_t>& TriggerKeyList() const { return FTriggerList; }

    // The layout that maps characters of the specification to keys; null: the platform's.
    // Setting it parses the specification again.
    void SetKeyboardLayout(const IKeyboardLayout* layout);

    bool IsTrigger(int key, TShiftState shift) const override;

protected:
    std::unique_ptr<TMacroKeywords> NewEmpty() const override;
    void SaveExtra(TStream& stream) const override;
    void LoadExtra(TStream& stream) override;
    void TakeContents(TMacroKeywords& loaded) override;

private:
    const IKeyboardLayout* Layout() const;

    std::string FTriggerSpec;
    std::vector<uint16_t> FTriggerList;
    const IKeyboardLayout* FLayout = nullptr;
};

} // namespace quillet
