#include "widgets/CodeMemoWidget.h"

#include <QContextMenuEvent>
#include <QMenu>

namespace quillet {

TCodeMemoWidget::TCodeMemoWidget(QWidget* parent)
    : TQtWindowHost(parent), FMemo(std::make_unique<TCodeMemo>(this)) {
    OnMessage = [this](uint32_t msg, WPARAM w, LPARAM l) { return FMemo->Perform(msg, w, l); };
    SetDropTarget(FMemo.get());
    // The control learns its first size now; later ones come with resize events.
    FMemo->Perform(WM_SIZE, 0, PackLong(ClientSize().Width, ClientSize().Height));
}

TCodeMemoWidget::~TCodeMemoWidget() {
    // The control must not reach back into a window that is going away.
    OnMessage = nullptr;
    SetDropTarget(nullptr);
    FMemo->SetHost(nullptr);
}

void TCodeMemoWidget::contextMenuEvent(QContextMenuEvent* e) {
    if (!FPopup) return;
    FPopup->popup(e->globalPos());
    e->accept();
}

} // namespace quillet
