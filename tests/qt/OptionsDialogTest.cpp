// The options dialog run from a definition: page mask, working copy, the boxes' rules, keys.
#include "dialogs/OptionsDialog.h"
#include "dialogs/DropColorButton.h"
#include "dialogs/SpinButton.h"
#include "editor/CodeMemo.h"
#include "editor/CodeMemoView.h"
#include "editor/Messages.h"
#include "editor/TextStore.h"
#include "highlight/RegistrySettings.h"
#include "highlight/ShippedDefinition.h"
#include "platform/Platform.h"
#include "platform/Stream.h"
#include "tests/StoreRows.h"
#include "widgets/CodeMemoWidget.h"

#include <QApplication>
#include <QCheckBox>
#include <QLineEdit>
#include <QListWidget>
#include <QPushButton>
#include <QTabWidget>
#include <QTest>
#include <QTimer>
#include <QToolButton>

#include <gtest/gtest.h>

using namespace quillet;

namespace {

class OptionsDialogTest : public ::testing::Test {
protected:
    void SetUp() override {
        InstallOptionsDialog();
        LoadShippedDefinition(Def, "css");
        Memo.SetParser(1, &Def);
        Memo.SetActiveParser(1);
    }
    void TearDown() override { OptionsDialogShown() = nullptr; }

    // Runs the dialog; `drive` works in it once it is up and must close it.
    bool Run(uint8_t mask, std::function<void(TOptionsDialog&)> drive) {
        OptionsDialogShown() = [this, drive](TOptionsDialog& d) {
            d.ShowError = [this](QWidget*, const std::string& text) { Errors.push_back(text); };
            QTimer::singleShot(0, &d, [&d, drive] {
                drive(d);
                if (d.isVisible()) d.reject(); // a drive that left it open
            });
        };
        return Def.RunOptionsDialog(mask);
    }
    // Everything the dialog may change, as the registry would store it.
    std::string Snapshot() {
        TMemoryStream keys;
        Def.Settings().KeyStore.SaveToStream(keys);
        TMemoryStream auto_;
        Def.Settings().AutoReplace.SaveToStream(auto_);
        TMemoryStream templates;
        Def.Settings().Templates.SaveToStream(templates);
        return FormatHighlighting(Def.Settings()) + keys.AsString() + auto_.AsString() +
               templates.AsString();
    }
    static TKeyAssignFunc Answer(std::vector<TKeyPair> answers) {
        auto queue = std::make_shared<std::vector<TKeyPair>>(std::move(answers));
        return [queue](QWidget*, bool, const std::string&, TKeyPair& keys) {
            if (queue->empty()) return false;
            keys = queue->front();
            queue->erase(queue->begin());
            return true;
        };
    }
    static int Row(QListWidget* list, const std::string& text) {
        for (int i = 0; i < list->count(); ++i)
            if (list->item(i)->text().toStdString() == text) return i;
        return -1;
    }

    TCodeMemoParser Def;
    TCodeMemo Memo;
    std::vector<std::string> Errors;
};

TEST_F(OptionsDialogTest, PageMaskDecidesTheTabsAndMaskZeroShowsNothing) {
    bool shown = false;
    EXPECT_FALSE(Run(0, [&](TOptionsDialog&) { shown = true; }));
    EXPECT_FALSE(shown);
    std::vector<std::string> tabs;
    Run(opKeys, [&](TOptionsDialog& d) {
        for (int i = 0; i < d.Pages()->count(); ++i)
            tabs.push_back(d.Pages()->tabText(i).toStdString());
        EXPECT_EQ(d.windowTitle().toStdString(), "Editor Options");
    });
    EXPECT_EQ(tabs, std::vector<std::string>{"Key assignments"});
    Run(0x1F, [&](TOptionsDialog& d) {
        EXPECT_EQ(d.Pages()->count(), 5);
        EXPECT_EQ(d.Pages()->currentWidget(), d.HighlightingPage());
        EXPECT_EQ(d.AddButton()->text().toStdString(), "Add...");
        // The editors' back buffers follow their viewports once the scroll bars went away
        // (else an unpainted strip shows where they were).
        d.Pages()->setCurrentWidget(d.TemplatesPage());
        QApplication::processEvents();
        for (TCodeMemoWidget* w : {d.SampleEditor(), d.TemplateEditor()})
            EXPECT_EQ(w->BackBuffer().Image().size(), w->viewport()->size());
        // While the dialog runs only its two editors follow the definition.
        EXPECT_EQ(Def.UserCount(), 2u);
    });
    EXPECT_EQ(Def.UserCount(), 1u);
}

TEST_F(OptionsDialogTest, CancelKeepsEverythingAndOKAppliesEveryChange) {
    const std::string before = Snapshot();
    const TCodeMemoOptions options = Memo.Options();
    auto change = [&](TOptionsDialog& d) {
        QCheckBox* wrap = d.OptionBox(smoWordWrap);
        QCheckBox* smartTab = d.OptionBox(smoTabToColumn);
        ASSERT_TRUE(smartTab->isEnabled());
        wrap->click();
        EXPECT_TRUE(wrap->isChecked());
        EXPECT_FALSE(smartTab->isEnabled());
        d.GutterWidthBox()->setFocus();
        d.GutterWidthBox()->selectAll();
        QTest::keyClicks(d.GutterWidthBox(), "4x0");
        EXPECT_EQ(d.GutterWidthBox()->text().toStdString(), "40");
        d.RightMarginSpin()->UpButton()->click();
        d.SynElementsBox()->setCurrentRow(1);
        d.UseBoldBox()->click();
        if (d.UseDefForeBox()->isChecked()) d.UseDefForeBox()->click();
        EXPECT_TRUE(d.ForeColorButton()->isEnabled());
        d.ForeColorButton()->SetColor(0x123456);
        d.ReplaceBox()->setText("teh");
        d.WithBox()->setText("the");
        d.ReplaceBoxChange();
        d.AutoReplButton1()->click();
        d.CteNameBox()->setText("rule");
        d.CteDescBox()->setText("a rule");
        d.TemplateEditor()->Memo().SetText("a { }");
        d.cteNameBoxChange();
        d.CodeTemplateButton1()->click();
        d.KeyAssign = Answer({{ShortCut(VK_F12, scCtrl | scShift), 0}});
        d.CommandDescListBox()->setCurrentRow(0);
        d.AddButton()->click();
    };
    EXPECT_FALSE(Run(0x1F, [&](TOptionsDialog& d) {
        change(d);
        d.reject();
    }));
    EXPECT_EQ(Snapshot(), before);
    EXPECT_EQ(Memo.Options(), options);

    int firstCommand = -1;
    EXPECT_TRUE(Run(0x1F, [&](TOptionsDialog& d) {
        change(d);
        std::string name = d.CommandDescListBox()->item(0)->text().toStdString();
        for (const auto& [n, id] : d.Working().KeyStore.CommandNames())
            if (n == name) firstCommand = id;
        d.OKButtonClick();
    }));
    const TCM_Settings& s = Def.Settings();
    EXPECT_TRUE(Memo.Options() & smoWordWrap);
    EXPECT_EQ(Memo.Gutter(), 40);
    EXPECT_EQ(s.RightMargin, 81);
    uint8_t style = s.EditableStyles[1].Style;
    EXPECT_TRUE(s.Styles[style].FontStyle & fsBold);
    EXPECT_EQ(s.Styles[style].Foreground, 0x123456u);
    ASSERT_NE(s.AutoReplace.FindExpansion("teh"), nullptr);
    EXPECT_EQ(*s.AutoReplace.FindExpansion("teh"), "the");
    ASSERT_NE(s.Templates.FindExpansion("rule"), nullptr);
    TShortCut first = 0, second = 0;
    std::vector<TShortCut> keys;
    for (bool more = Def.Settings().KeyStore.FirstKeysOfCommand(firstCommand, first, second); more;
         more = Def.Settings().KeyStore.NextKeysOfCommand(firstCommand, first, second))
        keys.push_back(first);
    EXPECT_NE(std::find(keys.begin(), keys.end(), ShortCut(VK_F12, scCtrl | scShift)), keys.end());
}

TEST_F(OptionsDialogTest, NumberBoxesFallBackOrRestore) {
    Run(opOptions, [&](TOptionsDialog& d) {
        QLineEdit* gutter = d.GutterWidthBox();
        gutter->setFocus();
        gutter->selectAll();
        QTest::keyClicks(gutter, "250");
        EXPECT_EQ(gutter->text().toStdString(), "1");
        EXPECT_EQ(d.Working().GutterWidth, 1);
        gutter->setText("");
        d.GutterWidthSpin()->DownButton()->click();
        EXPECT_EQ(gutter->text().toStdString(), "1");
        d.GutterWidthSpin()->DownButton()->click();
        d.GutterWidthSpin()->DownButton()->click();
        EXPECT_EQ(gutter->text().toStdString(), "0");
        EXPECT_EQ(d.GutterWidthSpin()->UpButton()->autoRepeatDelay(), 400);
        EXPECT_EQ(d.GutterWidthSpin()->UpButton()->autoRepeatInterval(), 100);

        // A tab setting the editor refuses is reported and the old one comes back.
        QLineEdit* tabs = d.TabColumnsBox();
        std::string old = tabs->text().toStdString();
        tabs->setText("9 5 x");
        d.TabColumnsBoxExit();
        ASSERT_EQ(Errors.size(), 1u);
        EXPECT_EQ(tabs->text().toStdString(), old);
        // An empty indent step is not a number: said so, and the step stays.
        int step = d.Working().IndentStep;
        d.IndentStepBox()->setText("");
        d.IndentStepBoxExit();
        ASSERT_EQ(Errors.size(), 2u);
        EXPECT_EQ(Errors[1], "\"\" is not a valid integer value");
        EXPECT_EQ(d.IndentStepBox()->text().toInt(), step);
        d.reject();
    });
}

TEST_F(OptionsDialogTest, ReturnInABoxReadOnLeavingAppliesItBeforeOK) {
    bool ok = Run(opOptions | opAutoCorrect, [&](TOptionsDialog& d) {
        // Refused: said so, and the dialog stays open with the old value back.
        QLineEdit* step = d.IndentStepBox();
        int old = d.Working().IndentStep;
        step->setFocus();
        step->clear();
        QTest::keyClick(step, Qt::Key_Return);
        ASSERT_EQ(Errors.size(), 1u);
        EXPECT_TRUE(d.isVisible());
        EXPECT_EQ(step->text().toInt(), old);
        d.Pages()->setCurrentWidget(d.AutoCorrectPage());
        d.AutoReplActBox()->setFocus();
        d.AutoReplActBox()->setText(QString(300, ';'));
        QTest::keyClick(d.AutoReplActBox(), Qt::Key_Enter);
        EXPECT_EQ(Errors.size(), 2u);
        EXPECT_TRUE(d.isVisible());
        // Accepted: OK takes the value just typed.
        d.Pages()->setCurrentWidget(d.OptionsPage());
        d.DeftabBox()->setFocus();
        d.DeftabBox()->setText("6");
        QTest::keyClick(d.DeftabBox(), Qt::Key_Return);
    });
    EXPECT_TRUE(ok);
    EXPECT_EQ(Def.Settings().TabDefault, 6);
}

TEST_F(OptionsDialogTest, KeyConflictKeepsTheDialogOpenUntilMended) {
    bool ok = Run(opKeys, [&](TOptionsDialog& d) {
        QListWidget* commands = d.CommandDescListBox();
        int copy = -1;
        for (const auto& [name, id] : d.Working().KeyStore.CommandNames())
            if (id == kcCopy) copy = Row(commands, name);
        ASSERT_GE(copy, 0);
        // Ctrl+Shift+F11 for Copy, and Copy's own Ctrl+C again for the first other command.
        commands->setCurrentRow(copy);
        d.KeyAssign = Answer({{ShortCut(VK_F11, scCtrl | scShift), 0}});
        d.AddButton()->click();
        int other = copy == 0 ? 1 : 0;
        commands->setCurrentRow(other);
        int bindings = d.CommandKeysListBox()->count();
        d.KeyAssign = Answer({{ShortCut('C', scCtrl), 0}});
        d.AddButton()->click();
        EXPECT_EQ(d.CommandKeysListBox()->item(bindings)->text().toStdString(),
                  "[Ctrl+C]  [<none>]");
        d.OKButtonClick();
        EXPECT_TRUE(d.KeyConflict());
        ASSERT_EQ(Errors.size(), 1u);
        EXPECT_NE(Errors[0].find("Duplicate key sequence"), std::string::npos);
        EXPECT_EQ(d.result(), QDialog::Rejected);
        // The key press after the refusal (the held Return that closed the error box) does
        // not press OK again; once a key is let go, Return works as before.
        EXPECT_TRUE(d.SwallowNextKey());
        QTest::keyClick(d.OKButton(), Qt::Key_Return);
        EXPECT_EQ(Errors.size(), 1u);
        QTest::keyClick(d.OKButton(), Qt::Key_Return);
        EXPECT_EQ(Errors.size(), 2u);
        EXPECT_FALSE(d.SwallowNextKey());
        // Mended: the conflicting pair goes, and OK takes the rest.
        d.CommandKeysListBox()->setCurrentRow(bindings);
        d.DeleteButton()->click();
        d.OKButtonClick();
        EXPECT_FALSE(d.KeyConflict());
    });
    EXPECT_TRUE(ok);
    TShortCut first = 0, second = 0;
    bool found = false;
    for (bool more = Def.Settings().KeyStore.FirstKeysOfCommand(kcCopy, first, second); more;
         more = Def.Settings().KeyStore.NextKeysOfCommand(kcCopy, first, second))
        found |= first == ShortCut(VK_F11, scCtrl | scShift);
    EXPECT_TRUE(found);
}

TEST_F(OptionsDialogTest, ClickInTheSampleSelectsTheStyleUnderIt) {
    Run(opHighlighting, [&](TOptionsDialog& d) {
        TCodeMemo& sample = d.SampleEditor()->Memo();
        d.SampleEditor()->resize(400, 200);
        // The first character whose style is listed and is not the one selected now.
        int current = d.SynElementsBox()->currentItem()->data(Qt::UserRole).toInt();
        int wanted = -1, offset = -1;
        TTextStore& store = sample.Store();
        for (int line = 0; line < store.LineCount() && offset < 0; ++line) {
            sample.View().ScanThrough(line);
            const TLineRecord& rec = store.Line(TRow(line));
            std::string_view text = store.RowText(TRow(line));
            for (size_t i = 0; rec.Extra && i < rec.Extra->Attributes.size() && offset < 0; ++i) {
                int style = d.Working().StyleMap[rec.Extra->Attributes[i]];
                if (style == current || style == 0 || text[i] == '\r' || text[i] == ' ') continue;
                for (const TEditableStyle& e : d.Working().EditableStyles)
                    if (e.Style == style) wanted = style, offset = RowStart(store, line) + int(i);
            }
        }
        ASSERT_GE(offset, 0);
        LRESULT at = sample.Perform(EM_POSFROMCHAR, WPARAM(offset), 0);
        QPoint point(LoWord(at) + 2, HiWord(at) + 4);
        d.EditorMouseDown(point);
        EXPECT_EQ(d.SynElementsBox()->currentItem()->data(Qt::UserRole).toInt(), wanted);
        d.reject();
    });
}

} // namespace
