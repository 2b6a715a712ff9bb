#include "platform/Platform.h"
#include "platform/Utf8.h"
#include "platform/headless/HeadlessFonts.h"
#include "platform/headless/ScriptedDialogs.h"
#include "platform/headless/UsKeyboard.h"

#include <gtest/gtest.h>

using namespace quillet;

TEST(HeadlessFonts, FixedAndProportionalPitchDiffer) {
    THeadlessFonts proportional;
    auto p = proportional.CreateFont({"Courier New", -13, fsBold, RUSSIAN_CHARSET});
    EXPECT_EQ(p->Desc().Style, fsBold);
    EXPECT_EQ(p->Height(), 17);
    EXPECT_EQ(p->Ascent() + p->Descent(), p->Height());
    // The pitch test of the painter compares "i" with "W".
    EXPECT_NE(p->CharWidth('i'), p->CharWidth('W'));
    EXPECT_EQ(p->TextWidth("iW"), 3 + 11);

    THeadlessFonts fixed(true, 7, 17);
    auto f = fixed.CreateFont({});
    EXPECT_EQ(f->CharWidth('i'), f->CharWidth('W'));
    // A two-byte and a three-byte UTF-8 character are one cell each; a
    // stray continuation byte counts as a character of its own.
    EXPECT_EQ(f->TextWidth("a\xD0\xAF\xE2\x82\xAC"), 3 * 7);
    EXPECT_EQ(f->TextWidth("\x80z"), 2 * 7);
    EXPECT_EQ(f->TextWidth("\xD0"), 7); // truncated sequence at the end
}

TEST(Utf8, AByteOutsideAWellFormedSequenceIsACharacterOfItsOwn) {
    std::string s = "\xD0\xAF\xF0\x9F\x98\x80x\xE2\x82";
    size_t i = 0;
    EXPECT_EQ(DecodeUtf8(s, i), U'\u042F');
    EXPECT_EQ(i, 2u);
    EXPECT_EQ(DecodeUtf8(s, i), U'\U0001F600');
    EXPECT_EQ(i, 6u);
    EXPECT_EQ(DecodeUtf8(s, i), U'x');
    EXPECT_EQ(DecodeUtf8(s, i), Utf8Replacement); // cut-off sequence: lead byte alone
    EXPECT_EQ(i, 8u);
    EXPECT_EQ(DecodeUtf8(s, i), Utf8Replacement); // and its continuation byte alone
    // Stray continuation bytes after a character, an overlong form and a surrogate: every
    // byte one character, and each is where it starts.
    std::string t = "a\xBF\xC3\xA9\x80\xC0\xAF\xED\xA0\x80";
    EXPECT_EQ(Utf8CharCount(t), 9u);
    const size_t starts[] = {0, 1, 2, 2, 4, 5, 6, 7, 8, 9};
    for (size_t k = 0; k < t.size(); ++k)
        EXPECT_EQ(Utf8CharStart(t, k), starts[k]) << k;
    EXPECT_EQ(Utf8CharLength(t, 2), 2);
    EXPECT_EQ(Utf8CharLength(t, 7), 1);
}

TEST(ScriptedDialogs, AnswersInOrderAndRecordsEveryCall) {
    TScriptedDialogs d;
    d.QueueAnswer(mrNo);
    d.QueueAnswer(mrCancel);
    EXPECT_EQ(d.MessageBox("Save?", "Подтверждение", mtConfirmation, mbYesNoCancel), mrNo);
    EXPECT_EQ(d.MessageBox("Save?", "Подтверждение", mtConfirmation, mbYesNoCancel), mrCancel);
    // An error display needs no scripted answer; an unexpected question fails loudly.
    EXPECT_EQ(d.MessageBox("File 'x' cannot be opened for reading", "Quillet", mtError, mbOK),
              mrOk);
    EXPECT_THROW(d.MessageBox("Again?", "Q", mtConfirmation, mbYesNo), EQuilletError);
    ASSERT_EQ(d.Calls().size(), 4u);
    EXPECT_EQ(d.Calls()[0].Title, "Подтверждение");
    EXPECT_EQ(d.Calls()[2].Type, mtError);
    d.SetAutoConfirmErrors(false);
    EXPECT_THROW(d.MessageBox("boom", "Quillet", mtError, mbOK), EQuilletError);
}

TEST(ScriptedDialogs, FileDialogsAppendTheDefaultExtension) {
    TScriptedDialogs d;
    TFileDialogOptions save{"Сохранить", "Файлы Css|*.css", "css", "", "", false};
    d.QueueFile("/tmp/dir.v2/style");
    d.QueueFile("/tmp/other.txt");
    d.QueueFile(std::nullopt);
    EXPECT_EQ(d.SaveFile(save), "/tmp/dir.v2/style.css"); // a dot in the folder does not count
    EXPECT_EQ(d.SaveFile(save), "/tmp/other.txt");
    EXPECT_EQ(d.OpenFile({"Открытие файлов Css", "", "", "", "", false}), std::nullopt);
    EXPECT_EQ(d.Calls()[2].Kind, TScriptedDialogs::dkOpen);
    EXPECT_EQ(d.Calls()[2].Text, "Открытие файлов Css");
    EXPECT_THROW(d.OpenFile({}), EQuilletError);
}

TEST(UsKeyboard, EveryPrintableAsciiCharacterRoundTrips) {
    TUsKeyboardLayout k;
    for (char32_t ch = 32; ch < 127; ++ch) {
        auto key = k.KeyForChar(ch);
        ASSERT_TRUE(key.has_value()) << char(ch);
        EXPECT_EQ(k.CharForKey(*key), ch) << char(ch);
    }
    EXPECT_EQ(*k.KeyForChar('A'), (TKeyStroke{'A', ssShift}));
    EXPECT_EQ(*k.KeyForChar('|'), (TKeyStroke{VK_OEM_5, ssShift}));
    EXPECT_FALSE(k.KeyForChar(U'\u042F').has_value());
    EXPECT_EQ(k.CharForKey({'K', ssCtrl}), 0u); // Ctrl+K types nothing
}

TEST(Platform, HeadlessServicesAreInstalledUntilReplaced) {
    ASSERT_NE(Platform().Fonts, nullptr);
    ASSERT_NE(Platform().Dialogs, nullptr);
    ASSERT_NE(Platform().Keyboard, nullptr);
    auto* keyboard = Platform().Keyboard.get();
    TPlatformServices mine;
    mine.Fonts = std::make_unique<THeadlessFonts>(true);
    InstallPlatform(std::move(mine));
    EXPECT_EQ(Platform().Keyboard.get(), keyboard); // an empty member keeps the old service
    EXPECT_EQ(Platform().Fonts->CreateFont({})->CharWidth('i'), 7);
}
