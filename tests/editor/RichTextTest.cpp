// The rich writers on a hand-styled text, and the control's copy and save through them.
#include "editor/RichText.h"
#include "editor/CodeMemo.h"
#include "editor/EdStream.h"
#include "editor/TextStore.h"
#include "highlight/ShippedDefinition.h"
#include "platform/Clipboard.h"
#include "platform/Platform.h"

#include <gtest/gtest.h>

#include <random>
#include <regex>
#include <string>

namespace quillet {
namespace {

class RichTextTest : public ::testing::Test {
protected:
    TTextStore Store;
    TCM_Settings Settings;
    TRichSource Src;

    void SetUp() override {
        Settings.Styles.fill(TCM_Style());
        Settings.StyleMap.fill(0);
        auto define = [&](int i, uint8_t fontStyle, TColor fore, TColor back) {
            TCM_Style& st = Settings.Styles[size_t(i)];
            st.FontStyle = fontStyle;
            st.Foreground = fore;
            st.Background = back;
            st.Defined = true;
        };
        define(0, 0, RGB(0, 0, 0), RGB(255, 255, 255));
        define(1, 1, RGB(255, 0, 0), RGB(255, 255, 255));
        define(2, 2 | 4, RGB(0, 0, 128), clHighlight); // a system colour is written resolved
        Settings.StyleMap[5] = 1;
        Settings.StyleMap[6] = 2;
        // é, tab, &, the euro sign and a character past U+FFFF; no attribute bytes.
        Store.Insert(TOffset(0), "a{b}\r\xC3\xA9\t&\xE2\x82\xAC\xF0\x9F\x98\x80");
        Store.Line(TRow(0)).EnsureExtra().Attributes = {0, 5, 5, 6, 0};
        Src.Store = &Store;
        Src.Settings = &Settings;
        Src.Highlight = true;
        Src.Font.Name = "Mono";
        Src.Font.Height = 10;
        Src.Font.Charset = 0;
        Src.Title = "T";
        Src.Date = "2026-01-02";
        Src.Contact = "c@d";
    }
};

const std::string RtfHead =
    "{\\rtf1 \\deff1{\\fonttbl {\\f1 \\fnil\\fcharset0 Mono;}}\r\n"
    "{\\colortbl\\red0\\green0\\blue0;\\red255\\green255\\blue255;\\red255\\green0\\blue0;"
    "\\red0\\green0\\blue128;\\red10\\green36\\blue106;}\r\n"
    "{\\f1\\fs20\\cf0\\cb1 ";

TEST_F(RichTextTest, RtfSwitchesAttributesPerRunAndEscapesCodePoints) {
    EXPECT_EQ(
        WriteRtf(Src, TOffset(0), Store.TextEnd()),
        RtfHead +
            "a\\b1 \\cf2 \\{b\\b0 \\i1 \\ul1 \\cf3 \\cb4 \\}\\i0 \\ul0 \\cf0 \\cb1 \\line \r\n"
            "\\'e9\\tab &\\'80\\u-10179?\\u-8704?\r\n}}");
    // A selection ending mid-line stops there; an empty one writes no rows.
    EXPECT_EQ(WriteRtf(Src, TOffset(1), TOffset(3)), RtfHead + "\\b1 \\cf2 \\{b\r\n}}");
    EXPECT_EQ(WriteRtf(Src, TOffset(2), TOffset(2)), RtfHead + "}}");
    // Without highlighting the runs carry no switches; an end at a line's start still walks
    // that (empty) row.
    Src.Highlight = false;
    EXPECT_EQ(WriteRtf(Src, TOffset(0), TOffset(5)), RtfHead + "a\\{b\\}\\line \r\n\r\n}}");
}

TEST_F(RichTextTest, RtfEscapesTheSpecialCharacters) {
    Store.Delete(TOffset(0), Store.CharCount());
    Store.Insert(TOffset(0), "'\\\x7fz");
    Src.Highlight = false;
    EXPECT_EQ(WriteRtf(Src, TOffset(0), Store.TextEnd()), RtfHead + "\\'27\\\\\\'7fz\r\n}}");
}

TEST_F(RichTextTest, RtfWritesACodePageByteOnlyForACharacterOfTheFontsCodePage) {
    Store.Delete(TOffset(0), Store.CharCount());
    Store.Insert(TOffset(0), "caf\xC3\xA9 \xD0\xB9\xE2\x82\xAC\xBF");
    Src.Highlight = false;
    auto body = [&] {
        std::string rtf = WriteRtf(Src, TOffset(0), Store.TextEnd());
        return rtf.substr(rtf.rfind(' ') + 1);
    };
    // Cyrillic: the e acute is no character of Windows-1251, the short i and the euro are.
    // A stray byte is written as the replacement character, never as a byte of the page.
    Src.Font.Charset = RUSSIAN_CHARSET;
    EXPECT_EQ(body(), "\\'e9\\'88\\u-3?\r\n}}");
    EXPECT_NE(WriteRtf(Src, TOffset(0), Store.TextEnd()).find("caf\\u233? "), std::string::npos);
    Src.Font.Charset = ANSI_CHARSET;
    EXPECT_EQ(body(), "\\u1081?\\'80\\u-3?\r\n}}");
    // A character set whose code page is not known: everything past ASCII as a code point.
    Src.Font.Charset = DEFAULT_CHARSET;
    EXPECT_EQ(body(), "\\u1081?\\u8364?\\u-3?\r\n}}");
}

TEST_F(RichTextTest, HtmlWritesColoursAndTagsAndEntities) {
    const std::string head = "<HTML><HEAD>\r\n"
                             "<META NAME=\"Generator\" CONTENT=\"TCustomCodeMemo - c@d\">\r\n"
                             "<TITLE>T</TITLE>\r\n"
                             "<META NAME=\"Date\" CONTENT=\"2026-01-02\">\r\n"
                             "</HEAD>\r\n"
                             "<BODY TEXT=\"#000000\" BGCOLOR=\"#ffffff\">\r\n"
                             "<PRE><FONT FACE=\"Mono\">\r\n";
    const std::string tail = "</PRE></FONT></BODY></HTML>\r\n";
    EXPECT_EQ(WriteHtml(Src, TOffset(0), Store.TextEnd()),
              head +
                  "a</FONT><FONT COLOR=\"#ff0000\"><B>{b</FONT><FONT COLOR=\"#000080\"></B><I><U>}"
                  "</FONT><FONT COLOR=\"#000000\"></I></U>\r\n"
                  "&#233;&nbsp;&amp;&#8364;&#128512;\r\n" +
                  tail);
    Store.Delete(TOffset(0), Store.CharCount());
    Store.Insert(TOffset(0), "<\"&lt;\">\xC2\xA0");
    EXPECT_EQ(WriteHtml(Src, TOffset(0), Store.TextEnd()),
              head + "&lt;&quot;&amp;lt;&quot;&gt;&nbsp;\r\n" + tail);
}

class RichCopyTest : public ::testing::Test {
protected:
    TCodeMemo Memo;
    IClipboard& Clip() { return *Platform().Clipboard; }
};

TEST_F(RichCopyTest, CopyPutsTheFormatsClipCopyFormatsSelects) {
    Memo.SetText("x\t\xC3\xA9y\rz");
    Memo.SetSelection(1, 6);
    Memo.Perform(WM_COPY, 0, 0);
    EXPECT_EQ(Clip().Get(cbfText), "\t\xC3\xA9y\r\n");
    std::string rtf = Clip().Get(cbfRichText);
    EXPECT_TRUE(rtf.starts_with("{\\rtf1 \\deff1{\\fonttbl ")) << rtf;
    EXPECT_TRUE(rtf.ends_with("\\tab \\u233?y\\line \r\n\r\n}}")) << rtf;

    Memo.SetClipCopyFormats(smRTF);
    Memo.SetSelection(0, 1);
    Memo.Perform(WM_COPY, 0, 0);
    EXPECT_FALSE(Clip().HasFormat(cbfText));
    EXPECT_TRUE(Clip().Get(cbfRichText).ends_with(" x\r\n}}"));

    // Nothing selected: empty text and an RTF document without rows.
    Memo.SetClipCopyFormats(smTEXT | smRTF);
    Memo.SetSelection(2, 2);
    Memo.Perform(WM_COPY, 0, 0);
    EXPECT_TRUE(Clip().HasFormat(cbfText));
    EXPECT_EQ(Clip().Get(cbfText), "");
    EXPECT_TRUE(Clip().Get(cbfRichText).ends_with("\\cf0\\cb1 }}"));

    // Cut copies, then deletes.
    Memo.SetSelection(0, 1);
    Memo.Perform(WM_CUT, 0, 0);
    EXPECT_EQ(Clip().Get(cbfText), "x");
    EXPECT_EQ(Memo.Text().substr(0, 1), "\t");
}

TEST_F(RichCopyTest, SaveToStreamWritesTheWholeTextInTheRichFormats) {
    Memo.SetText("a\tb");
    Memo.SetSelection(1, 1);
    Memo.SetPrintTitle("page");
    Memo.SetSaveFormat(sfHTML);
    TMemoryStream html;
    Memo.SaveToStream(&html);
    std::string out = html.AsString();
    EXPECT_NE(out.find("<TITLE>page</TITLE>\r\n"), std::string::npos) << out;
    EXPECT_TRUE(std::regex_search(
        out, std::regex("<META NAME=\"Date\" CONTENT=\"\\d{4}-\\d\\d-\\d\\d\">\r\n")));
    EXPECT_NE(out.find("CONTENT=\"TCustomCodeMemo - author@quillet.example.org\">"),
              std::string::npos);
    EXPECT_TRUE(out.ends_with("a&nbsp;b\r\n</PRE></FONT></BODY></HTML>\r\n")) << out;
    Memo.SetSaveFormat(sfRTF);
    TMemoryStream rtf;
    Memo.SaveToStream(&rtf);
    EXPECT_TRUE(rtf.AsString().ends_with("a\\tab b\r\n}}"));
    // The stream message writes the selection in the format its bits pick.
    Memo.SetSelection(0, 1);
    TMemoryStream part;
    Memo.Perform(SM_SAVESTREAM, 0x04, LPARAM(&part));
    EXPECT_TRUE(part.AsString().ends_with("\">\r\na\r\n</PRE></FONT></BODY></HTML>\r\n"));
    TMemoryStream partRtf;
    Memo.Perform(SM_SAVESTREAM, 0x02, LPARAM(&partRtf));
    EXPECT_TRUE(partRtf.AsString().ends_with(" a\r\n}}"));
}

// A stream that keeps what it is given and can refuse everything past a limit.
class TBlockStream : public TMemoryStream {
public:
    size_t Largest = 0;
    int64_t Limit = INT64_MAX;
    int64_t Write(const void* buffer, int64_t count) override {
        Largest = std::max(Largest, size_t(count));
        if (Position() + count > Limit) return 0;
        return TMemoryStream::Write(buffer, count);
    }
};

TEST_F(RichCopyTest, SavingARichFormatHandsTheStreamBlocksAsItWrites) {
    std::string text;
    while (text.size() < 300000)
        text += "a{b:'\\x'}\t\xC3\xA9<&>\r";
    Memo.SetText(text);
    for (TSaveFormat format : {sfHTML, sfRTF}) {
        Memo.SetSaveFormat(format);
        TBlockStream stream;
        Memo.SaveToStream(&stream);
        Memo.SetSelection(0, int(Memo.Text().size()));
        TMemoryStream reference; // the selection's copy, written in one piece
        Memo.Perform(SM_SAVESTREAM, format == sfHTML ? 0x04 : 0x02, LPARAM(&reference));
        const std::string whole = reference.AsString();
        EXPECT_GT(whole.size(), 600000u);
        EXPECT_EQ(stream.AsString(), whole); // the same bytes, block boundaries or not
        EXPECT_LE(stream.Largest, size_t(1) << 16);
        // A stream that stops taking bytes midway is a failed save, not a short file.
        TBlockStream full;
        full.Limit = 100000;
        EXPECT_THROW(Memo.SaveToStream(&full), ECodeMemo);
    }
    // Blocks smaller than a single escape still give the same text.
    TMemoryStream small;
    TBufferedWriter out(small, 16);
    out.Put(std::string(40, 'x'));
    out.PutHex(0xabc, 6);
    out.PutDecimal(1234567);
    out.Flush();
    EXPECT_EQ(small.AsString(), std::string(40, 'x') + "000abc1234567");
}

TEST(RichExport, ScansAsItWritesLettingTheBytesGoAndWritesWhatTheSaveWrites) {
    // Comments and a string open across the export's blocks of lines: the scan state must
    // carry over where a block's scan stops.
    std::string text;
    for (int i = 0; i < 10000; ++i) {
        if (i == 4090 || i == 8190) text += "/* open ";
        if (i == 4100 || i == 8200) text += "shut */ ";
        text += i == 6000 ? "a{content:'x\\\r" : ".c" + std::to_string(i) + "{color:red}\r";
    }
    auto def = ShippedDefinition("css");
    for (TSaveFormat format : {sfHTML, sfRTF}) {
        TCodeMemo saved, exported;
        for (TCodeMemo* m : {&saved, &exported}) {
            m->SetParser(1, def.get());
            m->SetActiveParser(1);
            m->SetText(text);
            m->SetSaveFormat(format);
        }
        TMemoryStream whole, streamed;
        saved.SaveToStream(&whole);
        exported.ExportToStream(streamed);
        EXPECT_EQ(streamed.AsString(), whole.AsString());
        EXPECT_GT(whole.Size(), int64_t(text.size()) * 2); // highlighted
        int kept = 0;
        for (int i = 0; i < exported.Store().LineCount(); ++i)
            kept += exported.Store().Line(TRow(i)).Extra != nullptr;
        EXPECT_LT(kept, 100);
    }
}

} // namespace
} // namespace quillet

namespace quillet {
namespace {

TEST(PlainExport, WritesWhatFileBytesGivesInEveryEncodingAndLineBreak) {
    // Longer than a piece, with characters of every length; texts the code page holds (with
    // and without line breaks), one it does not (an emoji), one with a bad byte.
    std::mt19937 rng(15);
    const char* const chars[] = {"a", "\r", "\xD0\xAF", "\xE2\x82\xAC", "<"};
    std::string cyrillic;
    while (cyrillic.size() < 70000)
        cyrillic += chars[rng() % 5];
    // One line cut into pieces inside it, a character astride the first cut.
    std::string oneLine = std::string((size_t(1) << 16) - 1, 'a') + cyrillic;
    std::erase(oneLine, '\r');
    oneLine.insert((size_t(1) << 16) - 1, "\xE2\x82\xAC");
    const std::string texts[] = {cyrillic, oneLine, cyrillic + "\xF0\x9F\x98\x80",
                                 "\xFF" + cyrillic};
    const TLineBreak breaks[] = {lbDefault, lbCRLF, lbLF, lbCR};
    for (const std::string& text : texts)
        for (TEncodingKind kind : {TEncodingKind::Utf8, TEncodingKind::Windows1251})
            for (int variant = 0; variant < 8; ++variant) {
                TCodeMemo memo;
                memo.SetText(text);
                memo.SetEncoding({kind, variant % 2 == 1, breaks[variant / 2]});
                for (TSaveFormat format : {sfTEXT, sfUNIX}) {
                    SCOPED_TRACE(testing::Message()
                                 << int(kind) << " " << variant << " " << format);
                    memo.SetSaveFormat(format);
                    TTextEncoding encoding;
                    const std::string want = memo.FileBytes(encoding);
                    TMemoryStream got;
                    memo.ExportToStream(got);
                    const std::string bytes = got.AsString();
                    const auto diff =
                        std::mismatch(bytes.begin(), bytes.end(), want.begin(), want.end());
                    ASSERT_TRUE(bytes == want)
                        << "sizes " << bytes.size() << " " << want.size()
                        << ", first difference at " << diff.first - bytes.begin();
                }
            }
}

} // namespace
} // namespace quillet
