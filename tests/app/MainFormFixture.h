// A main window built off screen with scripted dialogs, an in-memory registry and clipboard,
// a recording browser and a scratch folder.
#pragma once

#include "app/MainForm.h"
#include "platform/Platform.h"
#include "platform/headless/MemoryClipboard.h"
#include "platform/headless/MemoryRegistry.h"
#include "platform/headless/RecordingShell.h"
#include "platform/headless/RecordingWebBrowser.h"
#include "platform/headless/ScriptedDialogs.h"
#include "tests/FileText.h"

#include <QAction>
#include <QWidget>
#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <memory>
#include <sstream>
#include <string>

namespace quillet::test {

class MainFormTest : public ::testing::Test {
protected:
    void SetUp() override {
        Folder = std::filesystem::temp_directory_path() /
                 ("quillet-app-" + std::to_string(::getpid()) + "-" +
                  ::testing::UnitTest::GetInstance()->current_test_info()->name());
        std::filesystem::remove_all(Folder);
        std::filesystem::create_directories(Folder);
        auto dialogs = std::make_unique<TScriptedDialogs>();
        Dialogs = dialogs.get();
        auto registry = std::make_unique<TMemoryRegistry>();
        Registry = registry.get();
        TPlatformServices services;
        services.Dialogs = std::move(dialogs);
        services.Registry = std::move(registry);
        services.Clipboard = std::make_unique<TMemoryClipboard>();
        auto shell = std::make_unique<TRecordingShell>();
        Shell = shell.get();
        services.Shell = std::move(shell);
        InstallPlatform(std::move(services));
        Form = std::make_unique<TMainForm>(
            [this](QWidget* parent) {
                return TBrowserPart{new QWidget(parent), &Browser};
            },
            Folder.string());
    }
    void TearDown() override {
        Form.reset();
        std::filesystem::remove_all(Folder);
    }

    std::string Path(const std::string& name) const { return (Folder / name).string(); }
    void Write(const std::string& name, const std::string& bytes) const {
        std::ofstream(Path(name), std::ios::binary) << bytes;
    }
    std::string Read(const std::string& name) const { return test::FileText(Path(name)); }
    // Typing as the user does, one character at a time.
    void Type(const std::string& text) {
        for (unsigned char c : text)
            Form->MainCodeMemo().Perform(WM_CHAR, c, 0);
    }
    // An action as a shortcut or button runs it: updated first, run only when enabled.
    void Run(QAction* action) {
        Form->ActionListUpdate();
        action->trigger();
    }
    std::string Title() const { return Form->windowTitle().toStdString(); }
    std::string Css() { return Form->MainCodeMemo().Text(); }
    // The texts of the message boxes shown so far.
    std::vector<std::string> Messages() const {
        std::vector<std::string> out;
        for (const auto& c : Dialogs->Calls())
            if (c.Kind == TScriptedDialogs::dkMessage) out.push_back(c.Text);
        return out;
    }

    std::filesystem::path Folder;
    TScriptedDialogs* Dialogs = nullptr;
    TMemoryRegistry* Registry = nullptr;
    TRecordingShell* Shell = nullptr;
    TRecordingWebBrowser Browser;
    std::unique_ptr<TMainForm> Form;
};

} // namespace quillet::test
