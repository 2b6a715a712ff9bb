// Draws a list line "left<TAB>right" as two cells: the right one starts at a third of the row.
#pragma once

#include <QStyledItemDelegate>

namespace quillet {

class TTwoColumnDelegate : public QStyledItemDelegate {
public:
    using QStyledItemDelegate::QStyledItemDelegate;
    void paint(QPainter* painter, const QStyleOptionViewItem& option,
               const QModelIndex& index) const override;
    // The height of "Wy" and 2 pixels.
    QSize sizeHint(const QStyleOptionViewItem& option, const QModelIndex& index) const override;
};

} // namespace quillet
