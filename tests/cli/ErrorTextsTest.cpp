// Error texts the command line cannot raise: each is provoked through the unit that owns it.
#include "editor/Search.h"
#include "editor/TextStore.h"
#include "highlight/CodeMemoParser.h"
#include "highlight/Compressor.h"
#include "highlight/DefStream.h"
#include "highlight/KeyNames.h"
#include "highlight/KeyStore.h"
#include "platform/Stream.h"
#include "platform/headless/ScriptedDialogs.h"
#include "resources/Strings.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <filesystem>
#include <string>
#include <vector>

namespace quillet {
namespace {

std::string MessageOf(const std::function<void()>& body) {
    try {
        body();
    } catch (const EQuilletError& e) {
        return e.what();
    }
    return "(no error)";
}

TEST(KeyErrorTexts, BadShortcutTextAndDuplicateBindingsNameTheKeys) {
    EXPECT_EQ(MessageOf([] { TextToShortCut("Ctrl+Nosuchkey"); }),
              "Unknown shortcut \"Ctrl+Nosuchkey\"");

    TKeyStore keys;
    auto nameOf = [](int command) { return "command " + std::to_string(command); };
    const TShortCut ctrlK = TextToShortCut("Ctrl+K");
    keys.AddBinding(ctrlK, TextToShortCut("B"), 7, nameOf);
    // The same two keys again, and a single key that is already the start of a sequence.
    EXPECT_EQ(MessageOf([&] { keys.AddBinding(ctrlK, TextToShortCut("B"), 9, nameOf); }),
              "Duplicate key sequence definition for\r\n\"command 9\" and \"command 7\"");
    EXPECT_NE(MessageOf([&] { keys.AddBinding(ctrlK, 0, 9, nameOf); }), "(no error)");
    EXPECT_EQ(keys.Count(), 1); // the refused bindings left nothing behind
}

// The smallest search target: a text, a selection and scripted dialogs.
class TTextTarget : public ISearchTarget {
public:
    explicit TTextTarget(std::string_view text) { FStore.Insert(TOffset(0), text); }
    TTextStore& Store() override { return FStore; }
    TSelectionPair Selection() const override { return FSel; }
    void SetSelection(int anchor, int caret) override { FSel = {anchor, caret}; }
    int ReplaceRange(int start, int end, std::string_view text) override {
        FStore.Delete(TOffset(start), end - start);
        FStore.Insert(TOffset(start), text);
        return int(text.size());
    }
    IDialogs& Dialogs() override { return FDialogs; }
    TScriptedDialogs FDialogs;

private:
    TTextStore FStore;
    TSelectionPair FSel{0, 0};
};

TEST(SearchErrorTexts, AFailedSearchSaysWhatWasNotFoundAndKeepsTheSelection) {
    TTextTarget target("abc abc");
    TCM_Search search(target);
    target.FDialogs.QueueAnswer(mrOk);
    EXPECT_FALSE(search.FindNext("zzz", 0));
    ASSERT_EQ(target.FDialogs.Calls().size(), 1u);
    EXPECT_EQ(target.FDialogs.Calls()[0].Text, "Search string \"zzz\" not found.");
    EXPECT_EQ(target.FDialogs.Calls()[0].Type, mtInformation);
    EXPECT_EQ(target.Selection().Caret, 0);
    // Replace-all with no hit tells the same way and changes nothing.
    target.FDialogs.QueueAnswer(mrOk);
    EXPECT_EQ(search.ReplaceAll("zzz", "y", 0, 0), 0);
    EXPECT_EQ(target.FDialogs.Calls().back().Text, "Search string \"zzz\" not found.");
    EXPECT_EQ(target.Store().StoredText(TOffset(0), target.Store().TextEnd()), "abc abc");
}

TEST(CompressorErrorTexts, AdviseOnAFileWithoutASize) {
    if (!std::filesystem::exists("/proc/self/status")) GTEST_SKIP() << "no /proc";
    TCompressor c;
    c.SetStreamMode(false);
    c.SetInputFile("/proc/self/status");
    EXPECT_EQ(MessageOf([&] { c.Advise(); }),
              "Compressor advise : can not get the size of : /proc/self/status");
}

TEST(DefinitionErrorTexts, BadTablesInASoundContainerNameTheComponent) {
    // A well-formed header and compressed body around tables that are not tables.
    std::vector<uint8_t> tables(64, 0xFF);
    TReadOnlyMemoryStream in(tables.data(), int64_t(tables.size()));
    TMemoryStream body;
    TCompressor c;
    c.SetMethod(cmKH);
    c.SetInputStream(&in);
    c.SetOutputStream(&body);
    c.Compress();
    std::vector<uint8_t> bytes(6 + body.Bytes().size());
    bytes[0] = uint8_t(DefStreamVersion);
    bytes[1] = uint8_t(DefStreamVersion >> 8);
    bytes[2] = uint8_t(tables.size());
    std::copy(body.Bytes().begin(), body.Bytes().end(), bytes.begin() + 6);

    TCodeMemoParser def;
    TDefLoadContext context;
    context.ComponentName = "HtmlMemoParser";
    std::string message = MessageOf(
        [&] { TDefinitionStream::LoadFromBytes(def, bytes.data(), bytes.size(), context); });
    // The table reader's own complaint, with the component it was reading put in front.
    TCodeMemoParser scratch;
    std::string inner = MessageOf([&] {
        TDefinitionStream::ReadTables(scratch, tables.data(), tables.size(), DefStreamVersion);
    });
    ASSERT_NE(inner, "(no error)");
    EXPECT_EQ(message, FmtLoadStr(SDefReraise, "HtmlMemoParser", inner));
    EXPECT_EQ(message.rfind("HtmlMemoParser: ", 0), 0u) << message;
}

} // namespace
} // namespace quillet
