// The desktop services on Qt: the clipboard's formats, the browser's locations, help files.
#include "platform/qt/QtShell.h"
#include "platform/Platform.h"
#include "platform/headless/ScriptedDialogs.h"
#include "platform/qt/QtClipboard.h"
#include "platform/qt/QtWebBrowser.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>

using namespace quillet;

TEST(QtShell, AMissingHelpFileIsReportedByTheViewer) {
    auto dialogs = std::make_unique<TScriptedDialogs>();
    TScriptedDialogs* scripted = dialogs.get();
    TPlatformServices services;
    services.Dialogs = std::move(dialogs);
    InstallPlatform(std::move(services));
    TQtShell shell;
    shell.ShowHelp("/nonexistent/Help/brovix.hlp", 69);
    ASSERT_EQ(scripted->Calls().size(), 1u);
    EXPECT_EQ(scripted->Calls()[0].Text, "Cannot find the help file /nonexistent/Help/brovix.hlp");
    EXPECT_EQ(scripted->Calls()[0].Type, mtError);
    EXPECT_FALSE(shell.FileExists("/nonexistent/x"));
    EXPECT_FALSE(shell.FileExists(std::filesystem::temp_directory_path().string())); // a folder
    auto file = std::filesystem::temp_directory_path() / "quillet-shell-test.txt";
    std::ofstream(file) << "x";
    EXPECT_TRUE(shell.FileExists(file.string()));
    std::filesystem::remove(file);
}

TEST(QtClipboard, FormatsTravelAsTheirMimeTypesAndAddUp) {
    TQtClipboard clip;
    clip.SetText("plain");
    EXPECT_TRUE(clip.HasText());
    EXPECT_FALSE(clip.HasFormat(cbfRichText));
    clip.Set(cbfRichText, "{\\rtf1 x}");
    clip.Set(cbfHtml, "<b>x</b>");
    EXPECT_EQ(clip.Text(), "plain"); // adding a format keeps the others
    EXPECT_EQ(clip.Get(cbfRichText), "{\\rtf1 x}");
    EXPECT_EQ(clip.Get(cbfHtml), "<b>x</b>");
    clip.Clear();
    EXPECT_FALSE(clip.HasText());
    EXPECT_EQ(clip.Get(cbfHtml), "");
    EXPECT_EQ(ClipboardMimeType(cbfRichText), QString("text/rtf"));
}

TEST(QtWebBrowser, PathsBecomeFileUrlsAndUrlsStay) {
    EXPECT_EQ(BrowserUrl("/tmp/Sample.htm"), QUrl::fromLocalFile("/tmp/Sample.htm"));
    EXPECT_EQ(BrowserUrl("/tmp/my page.htm").toLocalFile(), QString("/tmp/my page.htm"));
    EXPECT_EQ(BrowserUrl("http://example.org/a.htm"), QUrl("http://example.org/a.htm"));
    EXPECT_EQ(BrowserUrl("file:///tmp/x.htm"), QUrl("file:///tmp/x.htm"));
}
