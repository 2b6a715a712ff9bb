#include "dialogs/TwoColumnDelegate.h"

#include <QApplication>
#include <QPainter>

namespace quillet {

void TTwoColumnDelegate::paint(QPainter* painter, const QStyleOptionViewItem& option,
                               const QModelIndex& index) const {
    QStyleOptionViewItem opt(option);
    initStyleOption(&opt, index);
    const QString line = index.data(Qt::DisplayRole).toString();
    const qsizetype tab = line.indexOf(QLatin1Char('\t'));
    const QString left = tab < 0 ? line : line.left(tab);
    const QString right = tab < 0 ? QString() : line.mid(tab + 1);
    const QRect r = opt.rect;
    const bool selected = opt.state & QStyle::State_Selected;
    const QPalette::ColorGroup group =
        (opt.state & QStyle::State_Active) ? QPalette::Active : QPalette::Inactive;
    painter->save();
    painter->fillRect(r, opt.palette.brush(group, selected ? QPalette::Highlight : QPalette::Base));
    painter->setPen(
        opt.palette.color(group, selected ? QPalette::HighlightedText : QPalette::Text));
    painter->setFont(opt.font);
    const int third = r.width() / 3;
    QRect leftCell(r.left() + 2, r.top(), third - 4, r.height());
    QRect rightCell(r.left() + third + 2, r.top(), r.width() - third - 4, r.height());
    painter->drawText(leftCell, Qt::AlignLeft | Qt::AlignVCenter | Qt::TextSingleLine,
                      opt.fontMetrics.elidedText(left, Qt::ElideRight, leftCell.width()));
    painter->drawText(rightCell, Qt::AlignLeft | Qt::AlignVCenter | Qt::TextSingleLine,
                      opt.fontMetrics.elidedText(right, Qt::ElideRight, rightCell.width()));
    painter->setPen(QColor(192, 192, 192));
    painter->drawLine(r.left() + third, r.top(), r.left() + third, r.bottom());
    painter->drawLine(r.left(), r.bottom(), r.right(), r.bottom());
    if (opt.state & QStyle::State_HasFocus) {
        QStyleOptionFocusRect focus;
        focus.rect = r;
        focus.state = opt.state;
        focus.backgroundColor = opt.palette.color(QPalette::Highlight);
        QApplication::style()->drawPrimitive(QStyle::PE_FrameFocusRect, &focus, painter);
    }
    painter->restore();
}

QSize TTwoColumnDelegate::sizeHint(const QStyleOptionViewItem& option, const QModelIndex&) const {
    return {option.rect.width(), option.fontMetrics.height() + 2};
}

} // namespace quillet
