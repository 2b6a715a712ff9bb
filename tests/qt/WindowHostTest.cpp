// The window host and the editor widget: Qt events become the control's messages.
#include "editor/CodeMemo.h"
#include "editor/CodeMemoView.h"
#include "platform/Errors.h"
#include "platform/Platform.h"
#include "platform/VirtualKeys.h"
#include "platform/headless/ScriptedDialogs.h"
#include "widgets/CodeMemoWidget.h"

#include <QApplication>
#include <QInputMethodEvent>
#include <QDragEnterEvent>
#include <QDropEvent>
#include <QElapsedTimer>
#include <QKeyEvent>
#include <QMimeData>
#include <QMouseEvent>
#include <QScrollBar>
#include <gtest/gtest.h>

#include <stdexcept>
#include <vector>

using namespace quillet;

namespace {

struct TMsg {
    uint32_t Msg;
    WPARAM W;
    LPARAM L;
};

struct THostFixture : ::testing::Test {
    TQtWindowHost Host;
    std::vector<TMsg> Log;
    THostFixture() {
        Host.OnMessage = [this](uint32_t m, WPARAM w, LPARAM l) {
            if (m != WM_PAINT) Log.push_back({m, w, l});
            return LRESULT(0);
        };
        Host.resize(300, 200);
        Host.show();
        QApplication::processEvents();
        Log.clear();
    }
    std::vector<TMsg> Of(uint32_t msg) const {
        std::vector<TMsg> out;
        for (const auto& m : Log)
            if (m.Msg == msg) out.push_back(m);
        return out;
    }
};

} // namespace

TEST_F(THostFixture, KeysAndTypedTextBecomeKeyAndCharMessages) {
    QKeyEvent press(QEvent::KeyPress, Qt::Key_A, Qt::ShiftModifier, "A");
    bool shiftSeen = false;
    Host.OnMessage = [&](uint32_t m, WPARAM w, LPARAM l) {
        if (m == WM_KEYDOWN) shiftSeen = Host.KeyDown(VK_SHIFT) && Host.KeyDown('A');
        if (m != WM_PAINT) Log.push_back({m, w, l});
        return LRESULT(0);
    };
    QApplication::sendEvent(&Host, &press);
    QKeyEvent release(QEvent::KeyRelease, Qt::Key_A, Qt::NoModifier, "A");
    QApplication::sendEvent(&Host, &release);
    ASSERT_EQ(Log.size(), 3u);
    EXPECT_EQ(Log[0].Msg, uint32_t(WM_KEYDOWN));
    EXPECT_EQ(Log[0].W, WPARAM('A'));
    EXPECT_EQ(Log[1].Msg, uint32_t(WM_CHAR));
    EXPECT_EQ(Log[1].W, WPARAM('A'));
    EXPECT_EQ(Log[2].Msg, uint32_t(WM_KEYUP));
    EXPECT_TRUE(shiftSeen);
    EXPECT_FALSE(Host.KeyDown('A'));

    // Delete types nothing; Alt combinations are system keys and type nothing.
    Log.clear();
    QKeyEvent del(QEvent::KeyPress, Qt::Key_Delete, Qt::NoModifier, "\x7f");
    QApplication::sendEvent(&Host, &del);
    QKeyEvent alt(QEvent::KeyPress, Qt::Key_X, Qt::AltModifier, "x");
    QApplication::sendEvent(&Host, &alt);
    ASSERT_EQ(Log.size(), 2u);
    EXPECT_EQ(Log[0].W, WPARAM(VK_DELETE));
    EXPECT_EQ(Log[1].Msg, uint32_t(WM_SYSKEYDOWN));

    // Tab stays in the editor instead of moving the focus.
    Log.clear();
    QKeyEvent tab(QEvent::KeyPress, Qt::Key_Tab, Qt::NoModifier, "\t");
    QApplication::sendEvent(&Host, &tab);
    EXPECT_EQ(Of(WM_CHAR).size(), 1u);
}

TEST_F(THostFixture, InputMethodTextIsOneCharPerCodePoint) {
    QInputMethodEvent im;
    im.setCommitString(QString::fromUtf8("жы😀"));
    QApplication::sendEvent(&Host, &im);
    auto chars = Of(WM_CHAR);
    ASSERT_EQ(chars.size(), 3u);
    EXPECT_EQ(chars[0].W, WPARAM(U'ж'));
    EXPECT_EQ(chars[2].W, WPARAM(0x1F600)); // a surrogate pair is one code point
}

TEST_F(THostFixture, MouseWheelAndFocus) {
    QPointF at(12, 34);
    QMouseEvent down(QEvent::MouseButtonPress, at, Host.viewport()->mapToGlobal(at), Qt::LeftButton,
                     Qt::LeftButton, Qt::ControlModifier);
    QApplication::sendEvent(Host.viewport(), &down);
    auto downs = Of(WM_LBUTTONDOWN);
    ASSERT_EQ(downs.size(), 1u);
    EXPECT_EQ(downs[0].W, MK_LBUTTON | MK_CONTROL);
    EXPECT_EQ(PointParamX(downs[0].L), 12);
    EXPECT_EQ(PointParamY(downs[0].L), 34);
    EXPECT_TRUE(Host.KeyDown(VK_LBUTTON));
    QMouseEvent up(QEvent::MouseButtonRelease, at, Host.viewport()->mapToGlobal(at), Qt::LeftButton,
                   Qt::NoButton, Qt::NoModifier);
    QApplication::sendEvent(Host.viewport(), &up);
    EXPECT_EQ(Of(WM_LBUTTONUP).size(), 1u);
    EXPECT_FALSE(Host.KeyDown(VK_LBUTTON));

    QWheelEvent wheel(at, Host.viewport()->mapToGlobal(at), QPoint(), QPoint(0, -120), Qt::NoButton,
                      Qt::NoModifier, Qt::NoScrollPhase, false);
    QApplication::sendEvent(Host.viewport(), &wheel);
    auto wheels = Of(WM_MOUSEWHEEL);
    ASSERT_EQ(wheels.size(), 1u);
    EXPECT_EQ(int16_t(uint16_t(wheels[0].W >> 16)), -120);

    QFocusEvent in(QEvent::FocusIn);
    QApplication::sendEvent(&Host, &in);
    QFocusEvent out(QEvent::FocusOut);
    QApplication::sendEvent(&Host, &out);
    EXPECT_EQ(Of(WM_SETFOCUS).size(), 1u);
    EXPECT_EQ(Of(WM_KILLFOCUS).size(), 1u);
}

TEST_F(THostFixture, ResizeGivesTheBufferAndTheControlTheClientSize) {
    Host.resize(400, 250);
    QApplication::processEvents();
    auto sizes = Of(WM_SIZE);
    ASSERT_FALSE(sizes.empty());
    TSize client = Host.ClientSize();
    EXPECT_EQ(sizes.back().L, PackLong(client.Width, client.Height));
    EXPECT_EQ(Host.Canvas().Size(), client);
}

TEST_F(THostFixture, ScrollRangesAndScrollBarActions) {
    Host.SetScrollInfo(sbVertical, {0, 99, 10, 5, true});
    QScrollBar* sb = Host.verticalScrollBar();
    EXPECT_EQ(sb->maximum(), 90); // the last top line that still fills a page
    EXPECT_EQ(sb->pageStep(), 10);
    EXPECT_EQ(sb->value(), 5);
    EXPECT_TRUE(Of(WM_VSCROLL).empty()); // setting a range does not scroll
    EXPECT_EQ(Host.GetScrollInfo(sbVertical), (TScrollInfo{0, 99, 10, 5, true}));

    sb->triggerAction(QAbstractSlider::SliderPageStepAdd);
    auto vs = Of(WM_VSCROLL);
    ASSERT_EQ(vs.size(), 1u);
    EXPECT_EQ(vs[0].W & 0xFFFF, WPARAM(SB_PAGEDOWN));
    Host.SetScrollInfo(sbHorizontal, {0, 10, 0, 0, false});
    EXPECT_EQ(Host.horizontalScrollBarPolicy(), Qt::ScrollBarAlwaysOff);
}

TEST_F(THostFixture, CaretAndCursor) {
    Host.CreateCaret(2, 15);
    Host.SetCaretPos(7, 9);
    EXPECT_FALSE(Host.CaretVisible());
    Host.ShowCaret(true);
    EXPECT_TRUE(Host.CaretVisible());
    EXPECT_EQ(Host.CaretRect(), QRect(7, 9, 2, 15));
    Host.DestroyCaret();
    EXPECT_FALSE(Host.CaretVisible());
    Host.ShowCaret(true); // no caret to show
    EXPECT_FALSE(Host.CaretVisible());
    Host.SetCursor(crHandPoint);
    EXPECT_EQ(Host.viewport()->cursor().shape(), Qt::PointingHandCursor);
    EXPECT_GT(Host.DoubleClickTime(), 0u);
    uint32_t t = Host.TickCount();
    EXPECT_GE(Host.TickCount(), t);
}

TEST(CodeMemoWidget, TypedTextReachesTheControlAndPaintsIntoTheBuffer) {
    TCodeMemoWidget w;
    w.resize(300, 120);
    w.show();
    QApplication::processEvents();
    w.setFocus();
    for (QChar c : QString("ab")) {
        QKeyEvent k(QEvent::KeyPress, Qt::Key_A + (c.unicode() - 'a'), Qt::NoModifier, QString(c));
        QApplication::sendEvent(&w, &k);
    }
    EXPECT_EQ(w.Memo().Text(), "ab");
    QImage before = w.BackBuffer().Image().copy();
    w.Memo().SetText("ЖЖЖЖЖЖЖЖЖЖ");
    w.viewport()->repaint();
    EXPECT_NE(w.BackBuffer().Image(), before); // the paint went through the control
}

TEST(CodeMemoWidget, DropsFromOtherWindowsGoInAtTheDropPoint) {
    TCodeMemoWidget w;
    w.resize(300, 120);
    w.show();
    QApplication::processEvents();
    w.Memo().SetText("alpha beta");
    const int left = w.Memo().View().TextLeft();
    const int cw = w.Memo().View().Metrics().CharWidth;
    QMimeData mime;
    mime.setText("X");
    QPointF at(left + 5 * cw + 1, 3);
    QDragEnterEvent enter(at.toPoint(), Qt::CopyAction | Qt::MoveAction, &mime, Qt::LeftButton,
                          Qt::NoModifier);
    QApplication::sendEvent(w.viewport(), &enter);
    EXPECT_TRUE(enter.isAccepted());
    EXPECT_EQ(w.Memo().DropPosition(), 5); // the caret shows where it would go
    // Held still near the bottom edge, the text keeps scrolling under the drag.
    std::string lines;
    for (int i = 0; i < 50; ++i)
        lines += "line\r\n";
    w.Memo().SetText(lines);
    QPoint low(left + 1, w.viewport()->height() - 3);
    QDragMoveEvent still(low, Qt::CopyAction | Qt::MoveAction, &mime, Qt::LeftButton,
                         Qt::NoModifier);
    QApplication::sendEvent(w.viewport(), &still);
    int top = w.Memo().TopLine();
    QElapsedTimer clock;
    clock.start();
    while (clock.elapsed() < 400 && w.Memo().TopLine() < top + 2)
        QApplication::processEvents(QEventLoop::AllEvents, 20);
    EXPECT_GE(w.Memo().TopLine(), top + 2);
    w.Memo().SetText("alpha beta");
    QDropEvent drop(at, Qt::CopyAction | Qt::MoveAction, &mime, Qt::LeftButton,
                    Qt::ControlModifier);
    QApplication::sendEvent(w.viewport(), &drop);
    EXPECT_TRUE(drop.isAccepted());
    EXPECT_EQ(drop.dropAction(), Qt::CopyAction);
    EXPECT_EQ(w.Memo().Text(), "alphaX beta");
    EXPECT_EQ(w.Memo().DropPosition(), -1);
    // A read-only control turns drops away.
    w.Memo().SetReadOnly(true);
    QDropEvent refused(at, Qt::CopyAction | Qt::MoveAction, &mime, Qt::LeftButton,
                       Qt::NoModifier);
    QApplication::sendEvent(w.viewport(), &refused);
    EXPECT_FALSE(refused.isAccepted());
    EXPECT_EQ(w.Memo().Text(), "alphaX beta");
}

// An error while a Qt event is handled is shown, not thrown into Qt's event loop (which ends
// the program with its unsaved texts); a cancel says nothing.
TEST_F(THostFixture, AnErrorInAnEventIsShownAndTheProgramGoesOn) {
    auto* dialogs = new TScriptedDialogs;
    TPlatformServices services;
    services.Dialogs.reset(dialogs);
    InstallPlatform(std::move(services));
    Host.OnMessage = [&](uint32_t m, WPARAM w, LPARAM) -> LRESULT {
        if (m == WM_KEYDOWN && w == 'A') throw std::runtime_error("Disk full");
        if (m == WM_KEYDOWN && w == 'B') throw EAbort();
        return 0;
    };
    for (Qt::Key key : {Qt::Key_A, Qt::Key_B}) {
        QKeyEvent press(QEvent::KeyPress, key, Qt::NoModifier, "");
        QApplication::sendEvent(&Host, &press);
    }
    ASSERT_EQ(dialogs->Calls().size(), 1u);
    EXPECT_EQ(dialogs->Calls()[0].Text, "Disk full");
    EXPECT_EQ(dialogs->Calls()[0].Type, mtError);
}
