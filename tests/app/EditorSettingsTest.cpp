// The two definitions' highlighting and keys, kept by the options dialog, read back at start.
#include "MainFormFixture.h"

#include "highlight/RegistrySettings.h"
#include "highlight/ShippedDefinition.h"

#include <QCheckBox>
#include <QTest>

namespace quillet::test {

namespace {

// What the options dialog would have stored for a definition: the shipped one, changed.
void Store(IRegistry& registry, const char* language, int indentStep, TShortCut documentEnd) {
    TCodeMemoParser def;
    LoadShippedDefinition(def, language);
    def.UseRegistry = true;
    def.RegistryKey = EditorSettingsKey();
    def.Settings().IndentStep = indentStep;
    // Options the window rules through its own boxes and menu.
    def.Settings().Options &= ~TCodeMemoOptions(smoSyntaxHighlight | smoLineNumbers);
    if (documentEnd) def.Settings().KeyStore.AddBinding(documentEnd, 0, kcDocumentEnd);
    SaveToRegistry(def, registry, language);
}

TCodeMemoParser& Definition(TCodeMemo& memo) {
    return static_cast<TCodeMemoParser&>(*memo.Parser(1));
}

} // namespace

class EditorSettingsTest : public MainFormTest {
protected:
    // Ctrl+J pressed in an editor: at the end of the text when the stored binding is in force.
    bool CtrlJMovesToTheEnd(const char* widget, TCodeMemo& memo) {
        memo.SetText("abc");
        memo.SetSelStart(0);
        QTest::keyClick(Form->findChild<QWidget*>(widget), Qt::Key_J, Qt::ControlModifier);
        return memo.SelStart() == 3 && memo.Text() == "abc";
    }
};

TEST_F(EditorSettingsTest, TheNextStartAppliesWhatWasStored) {
    EXPECT_EQ(EditorSettingsKey(), "Software\\Orvane\\Quillet\\Editor");
    for (TCodeMemo* memo : {&Form->MainCodeMemo(), &Form->EditorCodeMemo()}) {
        EXPECT_TRUE(Definition(*memo).UseRegistry);
        EXPECT_EQ(Definition(*memo).RegistryKey, EditorSettingsKey());
    }
    Store(*Registry, "css", 4, ShortCut('J', scCtrl));
    Store(*Registry, "html", 3, scNone);
    EXPECT_EQ(Registry->ValueType(EditorSettingsKey(), "Highlighting - Cascading Style Sheets"),
              rtString);
    EXPECT_EQ(Registry->ValueType(EditorSettingsKey(), "Key Assignments - Cascading Style Sheets"),
              rtBinary);
    Form->FormCreate();
    EXPECT_TRUE(Messages().empty());
    EXPECT_EQ(Form->MainCodeMemo().IndentStep(), 4);
    EXPECT_EQ(Form->EditorCodeMemo().IndentStep(), 3);
    EXPECT_TRUE(CtrlJMovesToTheEnd("MainCodeMemo", Form->MainCodeMemo()));
    EXPECT_FALSE(CtrlJMovesToTheEnd("EditorCodeMemo", Form->EditorCodeMemo()));
    // The window's own choices stay in force over the stored options word.
    EXPECT_TRUE(Form->MainCodeMemo().HasOption(smoSyntaxHighlight));
    EXPECT_TRUE(Form->MainCodeMemo().HasOption(smoLineNumbers));
}

TEST_F(EditorSettingsTest, ADamagedValueKeepsTheShippedOneAndTheStartGoesOn) {
    Store(*Registry, "css", 4, ShortCut('J', scCtrl));
    Store(*Registry, "html", 3, ShortCut('J', scCtrl));
    const std::string key = EditorSettingsKey();
    Registry->WriteString(key, "Highlighting - Cascading Style Sheets", "Zendra6:IDS#1#4#EN");
    const std::string htmlKeys =
        KeyAssignmentsValueName(Definition(Form->EditorCodeMemo()).Settings());
    std::vector<uint8_t> bytes = Registry->ReadBinary(key, htmlKeys);
    bytes.resize(bytes.size() / 2);
    Registry->WriteBinary(key, htmlKeys, bytes);
    Registry->WriteDword("Software\\Orvane\\Quillet", "EditorState", 0);

    Form->FormCreate();
    EXPECT_TRUE(Messages().empty());
    EXPECT_EQ(Form->MainCodeMemo().IndentStep(), 1); // not even the item before the damage
    EXPECT_TRUE(CtrlJMovesToTheEnd("MainCodeMemo", Form->MainCodeMemo()));
    EXPECT_EQ(Form->EditorCodeMemo().IndentStep(), 3);
    EXPECT_FALSE(CtrlJMovesToTheEnd("EditorCodeMemo", Form->EditorCodeMemo()));
    EXPECT_FALSE(Form->EditorCheckBox()->isChecked()); // the window's settings still loaded
}

} // namespace quillet::test
