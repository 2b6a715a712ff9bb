// The key box and the two-step key assignment wizard, driven as a user drives them.
#include "dialogs/KeyAssignDialog.h"

#include <QLabel>
#include <QPushButton>
#include <QTest>
#include <QTimer>

#include <gtest/gtest.h>

#include <functional>

using namespace quillet;

namespace {

const char* const Step1Text = "Press the first key combination until the correct key sequence "
                              "appears then press the NEXT button";
const char* const Step2Text = "If the key sequence requires a 2nd key press then enter the key "
                              "now. Press the FINISH button to accept changes";

// Runs the dialog with `user` acting while it is up; the dialog must be closed by `user`.
bool RunWith(TKeyAssignDialog& dialog, TShortCut& key1, TShortCut& key2, int mode,
             const std::function<void()>& user) {
    bool acted = false;
    QTimer::singleShot(0, &dialog, [&] {
        EXPECT_TRUE(QTest::qWaitForWindowActive(&dialog));
        user();
        acted = true;
        if (dialog.isVisible()) {
            ADD_FAILURE() << "the dialog is still open";
            dialog.reject();
        }
    });
    bool ok = dialog.Run(key1, key2, mode, Step2Text, Step1Text, "Indent selected block");
    EXPECT_TRUE(acted);
    return ok;
}

} // namespace

TEST(KeyAssignDialog, AddModeRecordsEveryKeyAndFinishesWithOneKey) {
    TKeyAssignDialog dialog;
    TShortCut key1 = ShortCut('Z', scCtrl), key2 = ShortCut('X', 0);
    bool ok = RunWith(dialog, key1, key2, TKeyAssignDialog::kmAdd, [&] {
        EXPECT_EQ(dialog.windowTitle(), "Add new key pair for: Indent selected block");
        EXPECT_EQ(dialog.InfoLabel(1)->text().toStdString(), Step1Text);
        TCM_HotKey* box = dialog.KeyBox(1);
        EXPECT_TRUE(box->text().isEmpty());
        EXPECT_TRUE(dialog.KeyBox(2)->text().isEmpty());
        EXPECT_EQ(dialog.NextButton()->text(), "&Next >");
        EXPECT_FALSE(dialog.NextButton()->isEnabled());
        EXPECT_FALSE(dialog.BackButton()->isEnabled());
        EXPECT_EQ(dialog.BackButton()->text(), "< &Back");
        EXPECT_FALSE(dialog.ClearButton(1)->isEnabled());
        EXPECT_EQ(dialog.ClearButton(1)->text(), "&Clear");

        QTest::keyClick(box, Qt::Key_K, Qt::ControlModifier);
        EXPECT_EQ(box->text(), "Ctrl+K");
        EXPECT_TRUE(dialog.NextButton()->isEnabled());
        EXPECT_TRUE(dialog.ClearButton(1)->isEnabled());
        // Tab, Return and Escape are keys to record, not a focus move, Finish or Cancel; a
        // modifier pressed alone keeps the last key.
        QTest::keyClick(box, Qt::Key_Tab);
        EXPECT_EQ(box->HotKey(), VK_TAB);
        QTest::keyClick(box, Qt::Key_Backtab, Qt::ShiftModifier);
        EXPECT_EQ(box->text(), "Shift+Tab");
        QTest::keyClick(box, Qt::Key_Return);
        EXPECT_EQ(box->text(), "Enter");
        QTest::keyClick(box, Qt::Key_Escape);
        EXPECT_EQ(box->HotKey(), VK_ESCAPE);
        QTest::keyClick(box, Qt::Key_Control, Qt::ControlModifier);
        EXPECT_EQ(box->HotKey(), VK_ESCAPE);
        EXPECT_TRUE(dialog.isVisible());
        EXPECT_TRUE(box->hasFocus());

        QTest::keyClick(box, Qt::Key_Left, Qt::ControlModifier | Qt::ShiftModifier);
        EXPECT_EQ(box->text(), "Shift+Ctrl+Left");
        dialog.NextButton()->click();
        EXPECT_EQ(dialog.Step(), 2);
        EXPECT_EQ(dialog.NextButton()->text(), "&Finish");
        EXPECT_TRUE(dialog.BackButton()->isEnabled());
        EXPECT_FALSE(dialog.ClearButton(2)->isEnabled());
        dialog.BackButton()->click();
        EXPECT_EQ(dialog.Step(), 1);
        EXPECT_EQ(dialog.NextButton()->text(), "&Next >");
        dialog.NextButton()->click();
        dialog.NextButton()->click(); // Finish with box 2 empty
    });
    EXPECT_TRUE(ok);
    EXPECT_EQ(key1, ShortCut(VK_LEFT, scCtrl | scShift));
    EXPECT_EQ(key2, scNone);
}

TEST(KeyAssignDialog, EditModeClearsTheSecondKeyAndCancelStillReadsBack) {
    TKeyAssignDialog dialog;
    TShortCut key1 = ShortCut('K', scCtrl), key2 = ShortCut('I', 0);
    bool ok = RunWith(dialog, key1, key2, TKeyAssignDialog::kmEdit, [&] {
        EXPECT_EQ(dialog.windowTitle(), "Edit key pair for: Indent selected block");
        EXPECT_EQ(dialog.KeyBox(1)->text(), "Ctrl+K");
        EXPECT_EQ(dialog.KeyBox(2)->text(), "I");
        dialog.NextButton()->click();
        ASSERT_TRUE(dialog.ClearButton(2)->isEnabled());
        dialog.ClearButton(2)->click();
        EXPECT_TRUE(dialog.KeyBox(2)->text().isEmpty());
        EXPECT_FALSE(dialog.ClearButton(2)->isEnabled());
        dialog.NextButton()->click();
    });
    EXPECT_TRUE(ok);
    EXPECT_EQ(key1, ShortCut('K', scCtrl));
    EXPECT_EQ(key2, scNone);

    // The same dialog again, with neither mode: it starts from step 1, and Cancel reports
    // false while the boxes are read back all the same.
    key2 = ShortCut('U', 0);
    ok = RunWith(dialog, key1, key2, 7, [&] {
        EXPECT_EQ(dialog.windowTitle(), "key pair for: Indent selected block");
        EXPECT_EQ(dialog.Step(), 1);
        EXPECT_EQ(dialog.NextButton()->text(), "&Next >");
        dialog.ClearButton(1)->click();
        EXPECT_FALSE(dialog.NextButton()->isEnabled());
        EXPECT_FALSE(dialog.ClearButton(1)->isEnabled());
        QTest::keyClick(dialog.KeyBox(1), Qt::Key_F5, Qt::AltModifier);
        dialog.CancelButton()->click();
    });
    EXPECT_FALSE(ok);
    EXPECT_EQ(key1, ShortCut(VK_F5, scAlt));
    EXPECT_EQ(key2, ShortCut('U', 0));
}
