#include "platform/qt/QtWindowHost.h"

#include "platform/qt/QtConvert.h"
#include "platform/qt/QtKeyboard.h"
#include "platform/Errors.h"
#include "platform/Platform.h"

#include <QApplication>
#include <optional>
#include <QDrag>
#include <QDragEnterEvent>
#include <QDropEvent>
#include <QMimeData>
#include <QUrl>
#include <QElapsedTimer>
#include <QInputMethodEvent>
#include <QKeyEvent>
#include <QMouseEvent>
#include <QEventLoop>
#include <QTimer>
#include <QPaintEvent>
#include <QPainter>
#include <QScrollBar>
#include <QWheelEvent>

namespace quillet {

TQtWindowHost::TQtWindowHost(QWidget* parent) : QAbstractScrollArea(parent), FCanvas(1, 1) {
    setFocusPolicy(Qt::StrongFocus);
    setAttribute(Qt::WA_InputMethodEnabled);
    viewport()->setAttribute(Qt::WA_OpaquePaintEvent);
    viewport()->setMouseTracking(true);
    viewport()->setCursor(Qt::IBeamCursor);
    setHorizontalScrollBarPolicy(Qt::ScrollBarAsNeeded);
    setVerticalScrollBarPolicy(Qt::ScrollBarAsNeeded);
    connect(verticalScrollBar(), &QScrollBar::actionTriggered, this,
            [this](int action) { ScrollAction(sbVertical, action); });
    connect(horizontalScrollBar(), &QScrollBar::actionTriggered, this,
            [this](int action) { ScrollAction(sbHorizontal, action); });
    connect(verticalScrollBar(), &QScrollBar::sliderReleased, this,
            [this] { ScrollReleased(sbVertical); });
    connect(horizontalScrollBar(), &QScrollBar::sliderReleased, this,
            [this] { ScrollReleased(sbHorizontal); });
    int flash = QApplication::cursorFlashTime();
    FBlink.setInterval(flash > 0 ? flash / 2 : 530);
    FDragRepeat.setInterval(50);
    connect(&FDragRepeat, &QTimer::timeout, this, [this] {
        if (FDropTarget && FDragOver) FDropTarget->DragOver(FDragShift, FDragPoint);
    });
    connect(&FBlink, &QTimer::timeout, this, [this] {
        FCaretPhase = !FCaretPhase;
        viewport()->update(CaretRect());
    });
    FCanvas.Resize(viewport()->width(), viewport()->height());
}

TQtWindowHost::~TQtWindowHost() = default;

LRESULT TQtWindowHost::Send(uint32_t msg, WPARAM wParam, LPARAM lParam) {
    if (!OnMessage) return 0;
    // A message from a Qt event must not let an error escape into Qt's event loop, which would
    // end the program with every unsaved text in it: the error is shown and the event ends.
    // Messages sent while one is handled pass their errors on to it.
    if (FSendDepth > 0) return OnMessage(msg, wParam, lParam);
    std::optional<std::string> error;
    ++FSendDepth;
    try {
        const LRESULT result = OnMessage(msg, wParam, lParam);
        --FSendDepth;
        return result;
    } catch (const EAbort&) {
        // the user cancelled: nothing to say
    } catch (const std::exception& e) {
        error = e.what();
    } catch (...) {
        --FSendDepth;
        throw;
    }
    // The box has an event loop of its own: its events are outermost messages again.
    --FSendDepth;
    if (error && Platform().Dialogs)
        Platform().Dialogs->MessageBox(*error, FromQString(QApplication::applicationName()), mtError,
                                       mbOK);
    return 0;
}

void TQtWindowHost::Invalidate(const TRect& r) {
    viewport()->update(ToQRect(r));
}
void TQtWindowHost::InvalidateAll() {
    viewport()->update();
}

TSize TQtWindowHost::ClientSize() const {
    return {viewport()->width(), viewport()->height()};
}

void TQtWindowHost::SetScrollInfo(TScrollBarKind bar, const TScrollInfo& info) {
    FScroll[bar] = info;
    QScrollBar* sb = bar == sbVertical ? verticalScrollBar() : horizontalScrollBar();
    FUpdatingScroll = true;
    // The platform's range runs to Max inclusive with a page; Qt's maximum is the last top.
    int maximum = info.Page > 0 ? info.Max - info.Page + 1 : info.Max;
    sb->setRange(info.Min, std::max(info.Min, maximum));
    sb->setPageStep(std::max(1, info.Page));
    sb->setSingleStep(1);
    sb->setValue(info.Pos);
    auto policy = info.Visible ? Qt::ScrollBarAsNeeded : Qt::ScrollBarAlwaysOff;
    if (bar == sbVertical)
        setVerticalScrollBarPolicy(policy);
    else
        setHorizontalScrollBarPolicy(policy);
    FUpdatingScroll = false;
}

TScrollInfo TQtWindowHost::GetScrollInfo(TScrollBarKind bar) const {
    return FScroll[bar];
}

void TQtWindowHost::ScrollAction(TScrollBarKind bar, int action) {
    if (FUpdatingScroll) return;
    QScrollBar* sb = bar == sbVertical ? verticalScrollBar() : horizontalScrollBar();
    int code = -1;
    switch (action) {
    case QAbstractSlider::SliderSingleStepAdd:
        code = SB_LINEDOWN;
        break;
    case QAbstractSlider::SliderSingleStepSub:
        code = SB_LINEUP;
        break;
    case QAbstractSlider::SliderPageStepAdd:
        code = SB_PAGEDOWN;
        break;
    case QAbstractSlider::SliderPageStepSub:
        code = SB_PAGEUP;
        break;
    case QAbstractSlider::SliderToMinimum:
        code = SB_TOP;
        break;
    case QAbstractSlider::SliderToMaximum:
        code = SB_BOTTOM;
        break;
    case QAbstractSlider::SliderMove:
        code = SB_THUMBTRACK;
        break;
    default:
        return;
    }
    int pos = sb->sliderPosition();
    FScroll[bar].Pos = pos;
    Send(bar == sbVertical ? WM_VSCROLL : WM_HSCROLL, WPARAM(PackLong(code, pos)), 0);
}

void TQtWindowHost::ScrollReleased(TScrollBarKind bar) {
    QScrollBar* sb = bar == sbVertical ? verticalScrollBar() : horizontalScrollBar();
    uint32_t msg = bar == sbVertical ? WM_VSCROLL : WM_HSCROLL;
    Send(msg, WPARAM(PackLong(SB_THUMBPOSITION, sb->sliderPosition())), 0);
    Send(msg, WPARAM(PackLong(SB_ENDSCROLL, 0)), 0);
}

void TQtWindowHost::CreateCaret(int width, int height) {
    FCaretExists = true;
    FCaretShown = false;
    FCaretSize = {std::max(1, width), std::max(1, height)};
}

void TQtWindowHost::DestroyCaret() {
    viewport()->update(CaretRect());
    FCaretExists = FCaretShown = false;
    FBlink.stop();
}

void TQtWindowHost::SetCaretPos(int x, int y) {
    viewport()->update(CaretRect());
    FCaretPos = {x, y};
    FCaretPhase = true; // a moved caret shows at once
    viewport()->update(CaretRect());
}

void TQtWindowHost::ShowCaret(bool show) {
    FCaretShown = show && FCaretExists;
    FCaretPhase = true;
    if (FCaretShown)
        FBlink.start();
    else
        FBlink.stop();
    viewport()->update(CaretRect());
}

void TQtWindowHost::SetCursor(TCursorShape shape) {
    FCursor = shape;
    Qt::CursorShape q = Qt::IBeamCursor;
    switch (shape) {
    case crArrow:
        q = Qt::ArrowCursor;
        break;
    case crHandPoint:
        q = Qt::PointingHandCursor;
        break;
    case crSizeWE:
        q = Qt::SizeHorCursor;
        break;
    case crDrag:
        q = Qt::DragMoveCursor;
        break;
    case crNoDrop:
        q = Qt::ForbiddenCursor;
        break;
    case crHourGlass:
        q = Qt::WaitCursor;
        break;
    case crHSplit:
        q = Qt::SplitHCursor;
        break;
    case crVSplit:
        q = Qt::SplitVCursor;
        break;
    case crDefault:
        q = Qt::ArrowCursor;
        break;
    default: // crIBeam and the custom numbers, which have no picture of their own here
        q = Qt::IBeamCursor;
        break;
    }
    viewport()->setCursor(q);
}

void TQtWindowHost::SetCapture(bool capture) {
    if (capture == FCaptured) return;
    FCaptured = capture;
    // Qt already keeps the mouse for the widget while a button is held; an
    // explicit grab is only needed (and only allowed) on a visible window.
    if (!viewport()->isVisible()) return;
    if (capture)
        viewport()->grabMouse();
    else
        viewport()->releaseMouse();
}

bool TQtWindowHost::HasFocus() const {
    return hasFocus();
}
void TQtWindowHost::SetFocus() {
    setFocus(Qt::OtherFocusReason);
}

TPoint TQtWindowHost::ClientToScreen(TPoint p) const {
    QPoint g = viewport()->mapToGlobal(QPoint(p.X, p.Y));
    return {g.x(), g.y()};
}

uint32_t TQtWindowHost::TickCount() const {
    static QElapsedTimer clock = [] {
        QElapsedTimer t;
        t.start();
        return t;
    }();
    return uint32_t(clock.elapsed());
}

uint32_t TQtWindowHost::DoubleClickTime() const {
    return uint32_t(QApplication::doubleClickInterval());
}

bool TQtWindowHost::KeyDown(int vk) const {
    switch (vk) {
    case VK_SHIFT:
        return FModifiers & Qt::ShiftModifier;
    case VK_CONTROL:
        return FModifiers & Qt::ControlModifier;
    case VK_MENU:
        return FModifiers & Qt::AltModifier;
    case VK_LBUTTON:
        return FButtons & Qt::LeftButton;
    case VK_RBUTTON:
        return FButtons & Qt::RightButton;
    case VK_MBUTTON:
        return FButtons & Qt::MiddleButton;
    default:
        return FKeysDown.count(vk) > 0;
    }
}

void TQtWindowHost::Beep() {
    QApplication::beep();
}

void TQtWindowHost::PumpMessages() {
    // About 10 ms of the event loop, without spinning when nothing arrives.
    QEventLoop loop;
    QTimer::singleShot(10, &loop, &QEventLoop::quit);
    loop.exec();
}

namespace {

// The data of a Qt drag, as the formats of a drop.
class TQtDropData : public IDropData {
public:
    explicit TQtDropData(const QMimeData* mime) : FMime(mime) {}
    bool HasFormat(std::string_view format) const override {
        if (!FMime) return false;
        if (format == cbfText || format == cbfUnicodeText) return FMime->hasText();
        if (format == cbfHtml) return FMime->hasHtml();
        if (format == cbfFiles) return !Files().isEmpty();
        return false;
    }
    std::string Get(std::string_view format) const override {
        if (!HasFormat(format)) return {};
        if (format == cbfHtml) return FMime->html().toStdString();
        if (format == cbfFiles) return Files().join(QStringLiteral("\n")).toStdString();
        return FMime->text().toStdString();
    }

private:
    QStringList Files() const {
        QStringList names;
        if (FMime && FMime->hasUrls())
            for (const QUrl& url : FMime->urls())
                if (url.isLocalFile()) names << url.toLocalFile();
        return names;
    }
    const QMimeData* FMime;
};

TShiftState ShiftOf(Qt::KeyboardModifiers mods) {
    return TShiftState((mods & Qt::ShiftModifier ? ssShift : 0) |
                       (mods & Qt::ControlModifier ? ssCtrl : 0) |
                       (mods & Qt::AltModifier ? ssAlt : 0));
}

void Answer(QDropEvent* e, TDropEffect effect) {
    if (effect == deNone) {
        e->ignore();
        return;
    }
    e->setDropAction(effect == deCopy ? Qt::CopyAction : Qt::MoveAction);
    e->accept();
}

TPoint PointOf(const QDropEvent* e) {
    QPoint p = e->position().toPoint();
    return {p.x(), p.y()};
}

} // namespace

TDropEffect TQtWindowHost::DragText(const std::string& text, bool allowMove) {
    auto* drag = new QDrag(viewport());
    auto* mime = new QMimeData;
    mime->setText(QString::fromStdString(text));
    drag->setMimeData(mime);
    Qt::DropActions actions = allowMove ? (Qt::CopyAction | Qt::MoveAction) : Qt::CopyAction;
    Qt::DropAction done = drag->exec(actions, allowMove ? Qt::MoveAction : Qt::CopyAction);
    FButtons = QApplication::mouseButtons(); // the release went to the drag loop
    return done == Qt::MoveAction ? deMove : done == Qt::CopyAction ? deCopy : deNone;
}

void TQtWindowHost::SetDropTarget(IDropTarget* target) {
    FDropTarget = target;
    viewport()->setAcceptDrops(target != nullptr);
    setAcceptDrops(target != nullptr);
}

void TQtWindowHost::dragEnterEvent(QDragEnterEvent* e) {
    if (!FDropTarget) return e->ignore();
    FDragOver = true;
    FDragData = std::make_unique<TQtDropData>(e->mimeData());
    FDragShift = ShiftOf(e->modifiers());
    FDragPoint = PointOf(e);
    TDropEffect effect = FDropTarget->DragEnter(*FDragData, FDragShift, FDragPoint);
    FDragRepeat.start();
    // Entered even when refused now, so that moves and the leave keep coming.
    e->setDropAction(effect == deCopy ? Qt::CopyAction : Qt::MoveAction);
    e->accept();
    if (effect == deNone) e->setDropAction(Qt::IgnoreAction);
}

void TQtWindowHost::dragMoveEvent(QDragMoveEvent* e) {
    if (!FDropTarget) return e->ignore();
    FDragShift = ShiftOf(e->modifiers());
    FDragPoint = PointOf(e);
    Answer(e, FDropTarget->DragOver(FDragShift, FDragPoint));
}

void TQtWindowHost::dragLeaveEvent(QDragLeaveEvent*) {
    FDragOver = false;
    FDragRepeat.stop();
    if (FDropTarget) FDropTarget->DragLeave();
    FDragData.reset();
}

void TQtWindowHost::dropEvent(QDropEvent* e) {
    FDragOver = false;
    FDragRepeat.stop();
    FDragData.reset();
    if (!FDropTarget) return e->ignore();
    TQtDropData data(e->mimeData());
    Answer(e, FDropTarget->Drop(data, ShiftOf(e->modifiers()), PointOf(e)));
}

void TQtWindowHost::Track(const QInputEvent* e) {
    FModifiers = e->modifiers();
    if (auto* m = dynamic_cast<const QMouseEvent*>(e)) {
        FButtons = m->buttons();
        QPoint p = m->position().toPoint();
        FMouse = {p.x(), p.y()};
    }
}

void TQtWindowHost::paintEvent(QPaintEvent* e) {
    Send(WM_PAINT, 0, 0);
    QPainter p(viewport());
    p.drawImage(e->rect(), FCanvas.Image(), e->rect());
    if (CaretVisible() && FCaretPhase && (hasFocus() || FDragOver)) {
        p.setCompositionMode(QPainter::CompositionMode_Difference);
        p.fillRect(CaretRect(), Qt::white);
    }
}

void TQtWindowHost::resizeEvent(QResizeEvent* e) {
    QAbstractScrollArea::resizeEvent(e);
    int w = viewport()->width(), h = viewport()->height();
    FCanvas.Resize(w, h);
    Send(WM_SIZE, 0, PackLong(w, h));
    viewport()->update();
}

bool TQtWindowHost::viewportEvent(QEvent* e) {
    if (e->type() == QEvent::Resize) {
        int w = viewport()->width(), h = viewport()->height();
        if (FCanvas.Image().width() != w || FCanvas.Image().height() != h) {
            FCanvas.Resize(w, h);
            Send(WM_SIZE, 0, PackLong(w, h));
            viewport()->update();
        }
    }
    return QAbstractScrollArea::viewportEvent(e);
}

void TQtWindowHost::SendChars(const QString& text) {
    for (char32_t cp : text.toUcs4()) {
        if (cp == 0x7F || cp == 0) continue; // Delete is a key, not a character
        Send(WM_CHAR, WPARAM(cp), 0);
    }
}

void TQtWindowHost::keyPressEvent(QKeyEvent* e) {
    Track(e);
    int vk = VirtualKeyFromQt(e->key(), e->modifiers() & Qt::KeypadModifier);
    if (vk) {
        FKeysDown.insert(vk);
        Send((e->modifiers() & Qt::AltModifier) ? WM_SYSKEYDOWN : WM_KEYDOWN, WPARAM(vk), 0);
    }
    // Alt combinations type nothing; Ctrl ones only the control codes the
    // platform gives them (Ctrl+letter), as the platform's messages do.
    if (!(e->modifiers() & Qt::AltModifier)) SendChars(e->text());
    e->accept();
}

void TQtWindowHost::keyReleaseEvent(QKeyEvent* e) {
    Track(e);
    int vk = VirtualKeyFromQt(e->key(), e->modifiers() & Qt::KeypadModifier);
    if (vk) {
        FKeysDown.erase(vk);
        Send((e->modifiers() & Qt::AltModifier) ? WM_SYSKEYUP : WM_KEYUP, WPARAM(vk), 0);
    }
    e->accept();
}

void TQtWindowHost::inputMethodEvent(QInputMethodEvent* e) {
    SendChars(e->commitString());
    e->accept();
}

QVariant TQtWindowHost::inputMethodQuery(Qt::InputMethodQuery query) const {
    if (query == Qt::ImCursorRectangle) return CaretRect();
    if (query == Qt::ImEnabled) return true;
    return QAbstractScrollArea::inputMethodQuery(query);
}

WPARAM TQtWindowHost::MouseFlags(Qt::MouseButtons buttons, Qt::KeyboardModifiers mods) const {
    WPARAM f = 0;
    if (buttons & Qt::LeftButton) f |= MK_LBUTTON;
    if (buttons & Qt::RightButton) f |= MK_RBUTTON;
    if (buttons & Qt::MiddleButton) f |= MK_MBUTTON;
    if (mods & Qt::ShiftModifier) f |= MK_SHIFT;
    if (mods & Qt::ControlModifier) f |= MK_CONTROL;
    if (mods & Qt::AltModifier) f |= MK_ALT;
    return f;
}

namespace {
LPARAM PointOf(const QMouseEvent* e) {
    QPoint p = e->position().toPoint();
    return MakePointParam(p.x(), p.y());
}
} // namespace

void TQtWindowHost::mousePressEvent(QMouseEvent* e) {
    Track(e);
    if (!hasFocus()) setFocus(Qt::MouseFocusReason);
    WPARAM flags = MouseFlags(e->buttons(), e->modifiers());
    if (e->button() == Qt::LeftButton)
        Send(WM_LBUTTONDOWN, flags, PointOf(e));
    else if (e->button() == Qt::RightButton)
        Send(WM_RBUTTONDOWN, flags, PointOf(e));
}

void TQtWindowHost::mouseReleaseEvent(QMouseEvent* e) {
    Track(e);
    WPARAM flags = MouseFlags(e->buttons(), e->modifiers());
    if (e->button() == Qt::LeftButton)
        Send(WM_LBUTTONUP, flags, PointOf(e));
    else if (e->button() == Qt::RightButton)
        Send(WM_RBUTTONUP, flags, PointOf(e));
}

void TQtWindowHost::mouseDoubleClickEvent(QMouseEvent* e) {
    Track(e);
    WPARAM flags = MouseFlags(e->buttons(), e->modifiers());
    if (e->button() == Qt::LeftButton)
        Send(WM_LBUTTONDBLCLK, flags, PointOf(e));
    else if (e->button() == Qt::RightButton)
        Send(WM_RBUTTONDOWN, flags, PointOf(e));
}

void TQtWindowHost::mouseMoveEvent(QMouseEvent* e) {
    Track(e);
    Send(WM_MOUSEMOVE, MouseFlags(e->buttons(), e->modifiers()), PointOf(e));
}

void TQtWindowHost::wheelEvent(QWheelEvent* e) {
    FModifiers = e->modifiers();
    int delta = e->angleDelta().y();
    if (delta == 0) {
        e->ignore();
        return;
    }
    WPARAM flags = MouseFlags(e->buttons(), e->modifiers());
    // The wheel message carries the point in screen coordinates.
    QPoint g = e->globalPosition().toPoint();
    Send(WM_MOUSEWHEEL, WPARAM(PackLong(int(flags), delta)), MakePointParam(g.x(), g.y()));
    e->accept();
}

void TQtWindowHost::focusInEvent(QFocusEvent* e) {
    QAbstractScrollArea::focusInEvent(e);
    Send(WM_SETFOCUS, 0, 0);
    viewport()->update(CaretRect());
}

void TQtWindowHost::focusOutEvent(QFocusEvent* e) {
    QAbstractScrollArea::focusOutEvent(e);
    FKeysDown.clear();
    Send(WM_KILLFOCUS, 0, 0);
    viewport()->update(CaretRect());
}

void TQtWindowHost::changeEvent(QEvent* e) {
    QAbstractScrollArea::changeEvent(e);
    if (e->type() == QEvent::EnabledChange) Send(WM_ENABLE, isEnabled() ? 1 : 0, 0);
}

} // namespace quillet
