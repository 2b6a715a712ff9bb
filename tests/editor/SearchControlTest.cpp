// SM_FIND and SM_REPLACE on the editor control, with the headless dialogs answering.
#include "editor/SearchControl.h"
#include "editor/CodeMemo.h"
#include "editor/ReplaceText.h"
#include "editor/TextStore.h"
#include "platform/Platform.h"
#include "platform/headless/ScriptedDialogs.h"

#include <gtest/gtest.h>

#include <optional>
#include <random>

using namespace quillet;

namespace {

TScriptedDialogs& Scripted() {
    auto* d = dynamic_cast<TScriptedDialogs*>(Platform().Dialogs.get());
    if (!d) {
        TPlatformServices services;
        services.Dialogs = std::make_unique<TScriptedDialogs>();
        InstallPlatform(std::move(services));
        d = dynamic_cast<TScriptedDialogs*>(Platform().Dialogs.get());
    }
    d->ClearCalls();
    return *d;
}

std::pair<int, int> Sel(TCodeMemo& m) {
    TSelectionPair p = m.Selection();
    return {p.Anchor, p.Caret};
}

} // namespace

TEST(ControlSearch, FindMessagesSearchTheControlsText) {
    TScriptedDialogs& d = Scripted();
    TCodeMemo memo;
    memo.SetText("a { color: red }\nb { color: blue }");
    memo.SetSelection(0, 0);
    std::string text = "color";
    EXPECT_EQ(memo.Perform(SM_FIND, srfDirect, LPARAM(text.c_str())), 4);
    EXPECT_EQ(Sel(memo), std::make_pair(0, 0));
    std::string re = "b[a-z]+";
    EXPECT_EQ(memo.Perform(SM_FIND, srfDirect | srfRegex, LPARAM(re.c_str())), 28);
    EXPECT_EQ(Sel(memo), std::make_pair(28, 32));
    // The dialog, its find-next twice, and the failure going to OnSearchFail.
    memo.SetSelection(0, 0);
    memo.Perform(SM_FIND, 0, LPARAM(text.c_str()));
    EXPECT_FALSE(memo.HideSelection());
    TScriptedFindDialog* dlg = d.FindDialog(fdkFind);
    ASSERT_NE(dlg, nullptr);
    EXPECT_EQ(dlg->FindText(), "color");
    dlg->Press(frFindNext);
    EXPECT_EQ(Sel(memo), std::make_pair(4, 9));
    dlg->Press(frFindNext);
    EXPECT_EQ(Sel(memo), std::make_pair(21, 26));
    std::vector<std::string> failed;
    memo.OnSearchFail = [&](TCustomCodeMemo&, const std::string& s) { failed.push_back(s); };
    dlg->Press(frFindNext);
    EXPECT_EQ(failed, std::vector<std::string>{"color"});
    EXPECT_TRUE(d.Calls().empty());
    dlg->Close();
    EXPECT_TRUE(memo.HideSelection());
}

TEST(ControlSearch, ReplaceAllIsOneUndoStepAndReadOnlyChangesNothing) {
    TScriptedDialogs& d = Scripted();
    TCodeMemo memo;
    memo.SetText("aaa");
    memo.Perform(EM_EMPTYUNDOBUFFER, 0, 0);
    memo.SetSelection(0, 0);
    memo.Perform(SM_REPLACE, 0, 0);
    TScriptedFindDialog* dlg = d.FindDialog(fdkReplace);
    ASSERT_NE(dlg, nullptr);
    dlg->SetFindText("a");
    dlg->SetReplaceText("bb");
    dlg->Press(frReplaceAll);
    EXPECT_EQ(memo.Text(), "bbbbbb");
    EXPECT_EQ(Sel(memo), std::make_pair(6, 6));
    memo.Undo();
    EXPECT_EQ(memo.Text(), "aaa");
    memo.Redo();
    EXPECT_EQ(memo.Text(), "bbbbbb");
    memo.SetReadOnly(true);
    memo.SetSelection(0, 0);
    dlg->SetFindText("b");
    dlg->SetReplaceText("c");
    dlg->Press(frReplaceAll);
    EXPECT_EQ(memo.Text(), "bbbbbb");
    EXPECT_EQ(Sel(memo), std::make_pair(6, 6));
}

TEST(ControlSearch, LongSearchesReportProgressAndACancelLeavesEverythingAsItWas) {
    TScriptedDialogs& d = Scripted();
    TCodeMemo memo;
    std::string sheet;
    for (int i = 0; i < 200000; ++i)
        sheet += "x{color:red}";
    memo.SetText(sheet + "y{color:blue}");
    const int hit = int(sheet.size());
    memo.SetSelection(5, 7);
    memo.Perform(SM_FIND, 0, 0);
    TScriptedFindDialog* dlg = d.FindDialog(fdkFind);
    ASSERT_NE(dlg, nullptr);
    std::vector<std::string> failed;
    memo.OnSearchFail = [&](TCustomCodeMemo&, const std::string& s) { failed.push_back(s); };
    // Cancelled at the second report: the plain search and the regex one (in either direction,
    // and one matching empty everywhere) leave the selection, report no failure, change no text.
    d.CancelProgressAt(2);
    for (const char* pattern : {"q*", "color:blue", "[xy]\\{color:bl"}) {
        for (bool regex : {false, true}) {
            memo.Perform(SM_FIND, regex ? srfRegex : 0, LPARAM(pattern));
            dlg->SetFindText(pattern);
            int reports = d.ProgressReports();
            dlg->Press(frFindNext);
            EXPECT_EQ(Sel(memo), std::make_pair(5, 7)) << pattern << regex;
            EXPECT_EQ(d.ProgressReports(), reports + 2) << pattern << regex;
        }
    }
    EXPECT_TRUE(failed.empty());
    EXPECT_EQ(d.ProgressTitle(), "Поиск");
    EXPECT_EQ(d.ProgressText(), "Идёт поиск «[xy]\\{color:bl»… Esc — прервать");
    memo.Perform(SM_REPLACE, 0, 0);
    TScriptedFindDialog* rep = d.FindDialog(fdkReplace);
    ASSERT_NE(rep, nullptr);
    rep->SetFindText("red");
    rep->SetReplaceText("blue");
    rep->Press(frReplaceAll); // 200,000 hits close together, cancelled while collected
    EXPECT_EQ(memo.Text().size(), sheet.size() + 13);
    EXPECT_EQ(Sel(memo), std::make_pair(5, 7));
    // Prompted, answered All and cancelled while the rest is collected: only the hit answered.
    memo.SetSelection(0, 0);
    d.QueueAnswer(mrAll);
    rep->Press(frReplace);
    EXPECT_EQ(memo.Text().substr(0, 26), "x{color:blue}x{color:red}x");
    EXPECT_EQ(memo.Text().size(), sheet.size() + 14);
    EXPECT_EQ(Sel(memo), std::make_pair(12, 12));
    memo.Undo();
    // The same backward from the end: only the last "red" is replaced.
    const int size = int(memo.Text().size());
    memo.SetSelection(size, size);
    d.QueueAnswer(mrAll);
    rep->SetDown(false);
    rep->Press(frReplace);
    EXPECT_EQ(memo.Text().substr(size_t(hit) - 12), "x{color:blue}y{color:blue}");
    EXPECT_EQ(memo.Text().size(), sheet.size() + 14);
    EXPECT_EQ(Sel(memo), std::make_pair(hit, hit));
    memo.Undo();
    rep->SetDown(true);
    memo.SetSelection(5, 7);
    d.ClearCalls();
    rep->Close();
    // Not cancelled: found, and the report counts up to the whole text.
    d.CancelProgressAt(0);
    memo.Perform(SM_FIND, srfRegex, 0);
    dlg->SetFindText("[xy]\\{color:bl");
    dlg->Press(frFindNext);
    EXPECT_EQ(Sel(memo), std::make_pair(hit, hit + 10));
    EXPECT_GT(d.LastProgressDone(), 0);
    EXPECT_LE(d.LastProgressDone(), d.LastProgressTotal());
    EXPECT_EQ(d.LastProgressTotal(), int64_t(sheet.size()) + 13 - 7);
    EXPECT_TRUE(failed.empty());
    EXPECT_TRUE(d.Calls().empty());
}

namespace {

struct TModelHit {
    int Start, End;
    std::string Replacement;
};

// The hits of a plain model over a string from pos: one search at a time from just past the
// previous hit, an empty match skipped by searching again from the next position.
std::vector<TModelHit> ModelHits(const std::string& text, int pos, bool regex,
                                 const std::string& pattern, const std::string& replacement) {
    TREParser parser;
    EXPECT_TRUE(!regex || parser.SetPattern(pattern));
    const std::string plain = regex ? "" : TTextStore::Normalize(pattern);
    TStringCharSource source(text);
    std::vector<TModelHit> hits;
    while (pos <= int(text.size())) {
        TModelHit hit{-1, -1, replacement};
        if (regex) {
            int from = pos;
            while (from <= int(text.size()) && parser.Search(source, from, true)) {
                if (parser.MatchEnd() > parser.MatchStart()) break;
                ++from;
            }
            if (from > int(text.size()) || parser.MatchStart() < 0) break;
            hit.Start = int(parser.MatchStart()), hit.End = int(parser.MatchEnd());
            hit.Replacement = ExpandReplacement(
                replacement, [&](int n) { return MatchedGroup(parser, source, n); });
        } else {
            size_t at = text.find(plain, size_t(pos));
            if (at == std::string::npos) break;
            hit.Start = int(at), hit.End = hit.Start + int(plain.size());
        }
        hit.Replacement = TTextStore::Normalize(hit.Replacement);
        pos = std::max(hit.End, hit.Start + 1);
        hits.push_back(std::move(hit));
    }
    return hits;
}

// The hit a backward prompt meets from pos: the last that starts at or before it.
std::optional<TModelHit> ModelHitBefore(const std::string& text, int pos, bool regex,
                                        const std::string& pattern,
                                        const std::string& replacement) {
    TModelHit hit{-1, -1, replacement};
    if (regex) {
        TREParser parser;
        EXPECT_TRUE(parser.SetPattern(pattern));
        TStringCharSource source(text);
        for (int from = pos;; from = int(parser.MatchStart()) - 1) {
            if (from < 0 || !parser.Search(source, from, false)) return std::nullopt;
            if (parser.MatchEnd() > parser.MatchStart()) break;
        }
        hit.Start = int(parser.MatchStart()), hit.End = int(parser.MatchEnd());
        hit.Replacement =
            ExpandReplacement(replacement, [&](int n) { return MatchedGroup(parser, source, n); });
    } else {
        const std::string plain = TTextStore::Normalize(pattern);
        size_t at = text.rfind(plain, size_t(pos));
        if (at == std::string::npos) return std::nullopt;
        hit.Start = int(at), hit.End = hit.Start + int(plain.size());
    }
    hit.Replacement = TTextStore::Normalize(hit.Replacement);
    return hit;
}

// The hits replaced left to right; the caret after the last replacement.
std::string ModelReplace(const std::string& text, const std::vector<TModelHit>& hits, int& caret) {
    std::string result;
    int copied = 0;
    for (const TModelHit& hit : hits) {
        result += text.substr(size_t(copied), size_t(hit.Start - copied));
        result += hit.Replacement;
        caret = int(result.size());
        copied = hit.End;
    }
    return result + text.substr(size_t(copied));
}

const char* const kRegexes[] = {"a*",    "b?", "(a|)c", "a+", "[ab]c*", "(b)(a*)",
                                "c[^a]", "^a", "b$",    "x*", "ab",     "a|c*"};
const char* const kPlains[] = {"a", "ab", "ba", "c", "aa", "c\nb"};
const char* const kReplacements[] = {"", "Z", "%%", "<%1>", "\\n", "\\nq", "%2%1", "\\tY"};

std::string RandomText(std::mt19937& rng, int length) {
    std::string text;
    for (int i = 0; i < length; ++i) {
        int r = int(rng() % 40);
        text += r == 0 ? '\r' : r == 1 ? '\t' : "abcx"[r % 4];
    }
    return text;
}

} // namespace

// Replace-all on the control against the model: long lines with many hits, hits next to each
// other and across line ends, empty-matching patterns.
TEST(ControlSearch, ReplaceAllAgreesWithAModelOnRandomTexts) {
    Scripted();
    std::mt19937 rng(20261209);
    auto pick = [&](auto& list) { return list[rng() % std::size(list)]; };
    for (int round = 0; round < 300; ++round) {
        const std::string text = RandomText(rng, int(rng() % (round % 10 == 0 ? 20000 : 200)));
        const bool regex = rng() % 2;
        std::string pattern = regex ? pick(kRegexes) : pick(kPlains);
        const std::string replacement = pick(kReplacements);
        std::vector<TModelHit> hits = ModelHits(text, 0, regex, pattern, replacement);
        int caret = 0;
        const std::string expected = ModelReplace(text, hits, caret);

        TCodeMemo memo;
        memo.OnSearchFail = [](TCustomCodeMemo&, const std::string&) {};
        memo.SetText(text);
        memo.SetSelection(0, 0);
        const uint32_t flags = srfMatchCase | (regex ? srfRegex : 0);
        EXPECT_EQ(memo.Search().Engine().ReplaceAll(pattern, replacement, flags, 0),
                  int(hits.size()))
            << pattern << " -> " << replacement;
        const TTextStore& store = memo.Store();
        ASSERT_EQ(store.StoredText(TOffset(0), store.TextEnd()), expected)
            << pattern << " -> " << replacement << " in " << text;
        if (hits.empty()) continue;
        EXPECT_EQ(Sel(memo), std::make_pair(caret, caret)) << pattern;
        memo.Undo();
        EXPECT_EQ(store.StoredText(TOffset(0), store.TextEnd()), text) << pattern;
    }
}

// A prompted replace answered Yes or No a few times and then All: the first answers edit the
// text one hit at a time, All does the rest as replace-all does, in one undo step. Backward,
// the rest is what Yes to each would give: each hit found in the text the ones above it left.
TEST(ControlSearch, PromptedReplaceAllAgreesWithTheModel) {
    TScriptedDialogs& dialogs = Scripted();
    std::mt19937 rng(20261210);
    auto pick = [&](auto& list) { return list[rng() % std::size(list)]; };
    int checked[2] = {0, 0};
    for (int round = 0; round < 300; ++round) {
        std::string text = RandomText(rng, int(rng() % (round % 10 < 2 ? 5000 : 200)));
        const bool backward = round % 2;
        const bool regex = rng() % 2;
        std::string pattern = regex ? pick(kRegexes) : pick(kPlains);
        const std::string replacement = pick(kReplacements);
        auto next = [&](int from) -> std::optional<TModelHit> {
            if (backward) return ModelHitBefore(text, from, regex, pattern, replacement);
            std::vector<TModelHit> hits = ModelHits(text, from, regex, pattern, replacement);
            if (hits.empty()) return std::nullopt;
            return hits.front();
        };
        TCodeMemo memo;
        memo.OnSearchFail = [](TCustomCodeMemo&, const std::string&) {};
        memo.SetText(text);
        const int origin = backward ? int(text.size()) : 0;
        memo.SetSelection(origin, origin);

        // The answers before All, against the text as each leaves it.
        int pos = origin;
        std::optional<TModelHit> hit;
        std::vector<TModalResult> answers;
        for (int n = int(rng() % 4); n >= 0 && pos >= 0; --n) {
            hit = next(pos);
            if (!hit || n == 0) break;
            const bool yes = rng() % 2;
            answers.push_back(yes ? mrYes : mrNo);
            if (yes)
                text.replace(size_t(hit->Start), size_t(hit->End - hit->Start), hit->Replacement);
            pos = backward ? hit->Start - 1
                  : yes    ? hit->Start + int(hit->Replacement.size())
                           : hit->End;
        }
        if (!hit || pos < 0) continue;
        for (TModalResult answer : answers)
            dialogs.QueueAnswer(answer);
        dialogs.QueueAnswer(mrAll);
        ++checked[backward];
        int caret = 0, lastFound = 0;
        std::string expected;
        if (!backward) {
            expected = ModelReplace(text, ModelHits(text, pos, regex, pattern, replacement), caret);
            lastFound = caret;
        } else {
            expected = text;
            for (; hit; hit = hit->Start > 0 ? ModelHitBefore(expected, hit->Start - 1, regex,
                                                              pattern, replacement)
                                             : std::nullopt) {
                expected.replace(size_t(hit->Start), size_t(hit->End - hit->Start),
                                 hit->Replacement);
                caret = hit->Start + int(hit->Replacement.size());
                lastFound = hit->Start - 1;
            }
        }

        const uint32_t flags = srfMatchCase | (regex ? srfRegex : 0) | (backward ? srfBackward : 0);
        memo.Search().Engine().ReplaceRequest(frReplace, pattern, replacement, flags);
        EXPECT_FALSE(dialogs.AnswersLeft()) << pattern;
        const TTextStore& store = memo.Store();
        ASSERT_EQ(store.StoredText(TOffset(0), store.TextEnd()), expected)
            << pattern << " -> " << replacement << " in " << text << (backward ? " backward" : "");
        EXPECT_EQ(Sel(memo), std::make_pair(caret, caret)) << pattern;
        EXPECT_EQ(memo.Search().Engine().LastFound(), lastFound);
        memo.Undo();
        EXPECT_EQ(store.StoredText(TOffset(0), store.TextEnd()), text) << pattern;
    }
    EXPECT_GT(checked[0], 75);
    EXPECT_GT(checked[1], 75);
}
