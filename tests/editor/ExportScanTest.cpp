// The export that never lays a file into the line store against the control's own: random files
// of style sheet and page fragments, in every line break and encoding, must come out the same.
// QUILLET_RANDOM_REPLAY=SEED runs one round.
#include "editor/ExportScan.h"
#include "editor/CodeMemo.h"
#include "editor/EdStream.h"
#include "highlight/ShippedDefinition.h"
#include "tests/highlight/SampleCssDefinition.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <iostream>
#include <random>
#include <string>

namespace quillet {
namespace {

namespace fs = std::filesystem;

std::string RandomText(std::mt19937& rng) {
    static const char* const pieces[] = {"<style>",
                                         "</style>",
                                         "<script>",
                                         "</script>",
                                         "<!--",
                                         "-->",
                                         "<a href=\"x\">",
                                         "&amp;",
                                         "/*",
                                         "*/",
                                         "'",
                                         "\"",
                                         "{",
                                         "}",
                                         ";",
                                         ":",
                                         "color",
                                         "url(",
                                         ")",
                                         "@media ",
                                         "#fff",
                                         "\\",
                                         "\r\n",
                                         "\n",
                                         "\r",
                                         "\t",
                                         " ",
                                         "\x01",
                                         "\xD0\xAF",
                                         "\xFF",
                                         "\xC3",
                                         "!important",
                                         "12px",
                                         ".c",
                                         "a",
                                         "-->\r\n",
                                         "<p>",
                                         "</p>",
                                         "[",
                                         "]",
                                         "[a 1",
                                         "\xE2\x82\xAC",
                                         "\xF0\x9F\x98\x80"};
    std::string text;
    if (rng() % 8 == 0) text = "\xEF\xBB\xBF";
    const size_t want = rng() % 4 == 0 ? 150000 : rng() % 3000;
    while (text.size() < want) {
        switch (rng() % 200) {
        case 0: // a line longer than the scan's blocks
            text += std::string(40000 + rng() % 1000, 'a');
            break;
        case 1: // a token longer than its window
            text += "/*" + std::string(70000 + rng() % 70000, 'x') + "*/";
            break;
        default:
            text += pieces[rng() % std::size(pieces)];
        }
    }
    return text;
}

// The sample style sheet definition with "[...]" as a container (scanned again inside its
// region in the value state), every token value in a colour of its own.
std::unique_ptr<TCodeMemoParser> ContainerDefinition() {
    using namespace testdef;
    auto def = std::make_unique<TCodeMemoParser>();
    BuildCss(*def);
    def->Keywords.Add("[", 30, TStateSet::Of({50}));
    TContinuationRule rule;
    rule.Body.Flag = 1;
    rule.Body.Group = uint16_t(G(*def, "", true));
    rule.End.Flag = 1;
    rule.End.EndCount = 1;
    rule.End.EndGroups[0] = uint16_t(G(*def, "]"));
    def->Continuations[30] = rule;
    Effect(*def, 30, TStateSet::Of({50}), TStateSet::Of({53}), TStateSet::Of({50}));
    def->Effects[30]->Bound = true;
    TCM_Settings& s = def->Settings();
    s.Options |= smoSyntaxHighlight;
    for (int v = 0; v < 64; ++v) {
        s.StyleMap[size_t(v)] = uint8_t(v);
        s.Styles[size_t(v)].Foreground = TColor(v * 0x030507);
        s.Styles[size_t(v)].Defined = true;
    }
    return def;
}

// Empty when the two exports agree.
std::string Round(unsigned seed, const fs::path& file) {
    std::mt19937 rng(seed);
    const std::string text = rng() % 10 == 0 ? std::string() : RandomText(rng);
    std::ofstream(file, std::ios::binary) << text;
    static const auto css = ShippedDefinition("css"), html = ShippedDefinition("html"),
                      container = ContainerDefinition();
    TCodeMemoParser* const defs[] = {css.get(), html.get(), container.get(), nullptr};
    TCodeMemoParser* def = defs[rng() % 4];
    const TSaveFormat format = rng() % 2 ? sfHTML : sfRTF;
    std::string got[2];
    for (int way = 0; way < 2; ++way) {
        TCodeMemo memo;
        if (def) {
            memo.SetParser(1, def);
            memo.SetActiveParser(1);
        }
        memo.SetSaveFormat(format);
        TMemoryStream out;
        if (way == 0) {
            memo.LoadFromFile(file.string());
            memo.ExportToStream(out);
        } else {
            if (!memo.ExportsFlat()) return "the rich formats must take the flat way";
            memo.ExportFileToStream(file.string(), out);
            if (memo.Store().CharCount() != 0) return "the control took the text";
        }
        got[way] = out.AsString();
    }
    if (got[0] == got[1]) return "";
    const auto diff = std::mismatch(got[0].begin(), got[0].end(), got[1].begin(), got[1].end());
    return "seed " + std::to_string(seed) + ": sizes " + std::to_string(got[0].size()) + " " +
           std::to_string(got[1].size()) + ", first difference at " +
           std::to_string(diff.first - got[0].begin());
}

TEST(FlatExport, WritesWhatTheControlsExportWrites) {
    const fs::path file =
        fs::temp_directory_path() / ("quillet_flat_export_" + std::to_string(::getpid()) + ".txt");
    if (const char* replay = std::getenv("QUILLET_RANDOM_REPLAY"); replay && *replay) {
        EXPECT_EQ(Round(unsigned(std::strtoul(replay, nullptr, 10)), file), "");
    } else {
        const unsigned first = std::random_device()() % 100000;
        std::cout << "FlatExport: seeds " << first << " to " << first + 79 << "\n";
        for (unsigned seed = first; seed < first + 80; ++seed)
            EXPECT_EQ(Round(seed, file), "");
    }
    fs::remove(file);
}

TEST(FlatExport, HoldsAWindowOfBytesNotTheText) {
    // Comments open across many windows, then a long run of short rows.
    std::string text;
    for (int i = 0; i < 100000; ++i)
        text += i % 5000 == 0 ? "/* a\r" : i % 5000 == 10 ? "*/\r" : ".c{color:red}\r";
    auto def = ShippedDefinition("css");
    TExportScanner scan(*def, text);
    size_t start = 0;
    for (size_t end; start < text.size(); start = end) {
        end = text.find('\r', start) + 1;
        scan.Row(start, end);
    }
    EXPECT_LT(scan.HeldMost(), text.size() / 8);
}

} // namespace
} // namespace quillet
