// The window an editor control lives in on Qt: a scroll area with a back buffer.
#pragma once

#include "editor/Messages.h"
#include "platform/WindowHost.h"
#include "platform/qt/QtCanvas.h"

#include <QAbstractScrollArea>
#include <QInputEvent>
#include <QTimer>

#include <functional>
#include <memory>
#include <set>

namespace quillet {

// Answers the control's window questions and turns Qt's events into the
// control's window messages. What receives them is `OnMessage` (the editor
// widget points it at its control).
class TQtWindowHost : public QAbstractScrollArea, public IWindowHost {
    Q_OBJECT
public:
    explicit TQtWindowHost(QWidget* parent = nullptr);
    ~TQtWindowHost() override;

    std::function<LRESULT(uint32_t msg, WPARAM wParam, LPARAM lParam)> OnMessage;

    // IWindowHost
    ICanvas& Canvas() override { return FCanvas; }
    void Invalidate(const TRect& r) override;
    void InvalidateAll() override;
    TSize ClientSize() const override;
    void SetScrollInfo(TScrollBarKind bar, const TScrollInfo& info) override;
    TScrollInfo GetScrollInfo(TScrollBarKind bar) const override;
    void CreateCaret(int width, int height) override;
    void DestroyCaret() override;
    void SetCaretPos(int x, int y) override;
    void ShowCaret(bool show) override;
    void SetCursor(TCursorShape shape) override;
    void SetCapture(bool capture) override;
    bool HasFocus() const override;
    void SetFocus() override;
    bool IsVisible() const override { return isVisible(); }
    TPoint ClientToScreen(TPoint p) const override;
    uint32_t TickCount() const override;
    uint32_t DoubleClickTime() const override;
    bool KeyDown(int virtualKey) const override;
    TPoint MousePos() const override { return FMouse; }
    void Beep() override;
    void PumpMessages() override;
    TDropEffect DragText(const std::string& text, bool allowMove) override;

    // Where drops go (the hosted control); none: the window takes no drops.
    void SetDropTarget(IDropTarget* target);

    const TQtCanvas& BackBuffer() const { return FCanvas; }
    bool CaretVisible() const { return FCaretExists && FCaretShown; }
    QRect CaretRect() const {
        return QRect(FCaretPos.X, FCaretPos.Y, FCaretSize.Width, FCaretSize.Height);
    }
    TCursorShape Cursor() const { return FCursor; }
    bool Captured() const { return FCaptured; }

protected:
    LRESULT Send(uint32_t msg, WPARAM wParam, LPARAM lParam);

    void paintEvent(QPaintEvent* e) override;
    void resizeEvent(QResizeEvent* e) override;
    // The viewport also changes size when a scroll bar comes or goes.
    bool viewportEvent(QEvent* e) override;
    void keyPressEvent(QKeyEvent* e) override;
    void keyReleaseEvent(QKeyEvent* e) override;
    void inputMethodEvent(QInputMethodEvent* e) override;
    QVariant inputMethodQuery(Qt::InputMethodQuery query) const override;
    void mousePressEvent(QMouseEvent* e) override;
    void mouseReleaseEvent(QMouseEvent* e) override;
    void mouseDoubleClickEvent(QMouseEvent* e) override;
    void mouseMoveEvent(QMouseEvent* e) override;
    void wheelEvent(QWheelEvent* e) override;
    void focusInEvent(QFocusEvent* e) override;
    void focusOutEvent(QFocusEvent* e) override;
    void changeEvent(QEvent* e) override;
    void dragEnterEvent(QDragEnterEvent* e) override;
    void dragMoveEvent(QDragMoveEvent* e) override;
    void dragLeaveEvent(QDragLeaveEvent* e) override;
    void dropEvent(QDropEvent* e) override;
    void scrollContentsBy(int, int) override {}              // the control scrolls its own buffer
    bool focusNextPrevChild(bool) override { return false; } // Tab belongs to the text

private:
    void ScrollAction(TScrollBarKind bar, int action);
    void ScrollReleased(TScrollBarKind bar);
    WPARAM MouseFlags(Qt::MouseButtons buttons, Qt::KeyboardModifiers mods) const;
    void Track(const QInputEvent* e);
    void SendChars(const QString& text);

    TQtCanvas FCanvas;
    TScrollInfo FScroll[2];
    bool FUpdatingScroll = false;
    int FSendDepth = 0; // messages being handled, the outermost from a Qt event
    bool FCaretExists = false, FCaretShown = false, FCaretPhase = true;
    TPoint FCaretPos;
    TSize FCaretSize;
    QTimer FBlink;
    TCursorShape FCursor = crDefault;
    bool FCaptured = false;
    Qt::KeyboardModifiers FModifiers;
    Qt::MouseButtons FButtons;
    TPoint FMouse; // the last mouse event's position
    std::set<int> FKeysDown;
    IDropTarget* FDropTarget = nullptr;
    std::unique_ptr<IDropData> FDragData; // what the drag over the window carries
    bool FDragOver = false; // a drag is over the window: the caret shows the drop point
    // Qt reports a drag only when it moves; held still near an edge it should keep scrolling.
    QTimer FDragRepeat;
    TShiftState FDragShift = 0;
    TPoint FDragPoint;
};

// MAKELONG for the size and scroll messages.
constexpr LPARAM PackLong(int lo, int hi) {
    return LPARAM((uint32_t(hi & 0xFFFF) << 16) | uint32_t(lo & 0xFFFF));
}

} // namespace quillet
