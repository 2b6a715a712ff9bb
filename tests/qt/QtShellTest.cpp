// The desktop services on Qt: the clipboard's formats, the browser's locations, help files.
#include "platform/qt/QtShell.h"
#include "platform/Platform.h"
#include "platform/headless/ScriptedDialogs.h"
#include "platform/qt/QtClipboard.h"
#include "platform/qt/QtWebBrowser.h"

#include <QIODevice>

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>

#include <sys/stat.h>

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

TEST(QtWebBrowser, ThePreviewServesRegularFilesOnly) {
    namespace fs = std::filesystem;
    const fs::path dir = fs::temp_directory_path() / "quillet-preview-files";
    fs::remove_all(dir);
    fs::create_directories(dir);
    std::ofstream(dir / "a.css") << "p{}";
    ASSERT_EQ(::mkfifo((dir / "pipe.css").c_str(), 0600), 0); // opening it would wait for a writer
    fs::create_symlink(dir / "pipe.css", dir / "link.css");
    QObject owner;
    auto open = [&](const fs::path& p) {
        return OpenPreviewFile(QString::fromStdString(p.string()), &owner);
    };
    QIODevice* file = open(dir / "a.css");
    ASSERT_NE(file, nullptr);
    EXPECT_EQ(file->readAll(), QByteArray("p{}"));
    for (const fs::path& p :
         {dir / "pipe.css", dir / "link.css", dir, dir / "missing.css", fs::path("/dev/zero")})
        EXPECT_EQ(open(p), nullptr) << p;
    fs::remove_all(dir);
}
