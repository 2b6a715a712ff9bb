#include "app/ToolbarImages.h"

#include <QPainter>
#include <QPainterPath>
#include <QPixmap>

namespace quillet {

namespace {

void Page(QPainter& p, int x, int y, int w, int h) {
    p.setPen(QColor(64, 64, 64));
    p.setBrush(Qt::white);
    p.drawRect(x, y, w, h);
}

void Arrow(QPainter& p, bool left) {
    QPainterPath path;
    if (left) {
        path.moveTo(12, 11);
        path.cubicTo(12, 4, 5, 3, 3, 7);
    } else {
        path.moveTo(3, 11);
        path.cubicTo(3, 4, 10, 3, 12, 7);
    }
    p.setPen(QPen(QColor(0, 70, 160), 2));
    p.setBrush(Qt::NoBrush);
    p.drawPath(path);
    p.setBrush(QColor(0, 70, 160));
    p.setPen(Qt::NoPen);
    QPolygon head = left ? QPolygon({QPoint(1, 4), QPoint(6, 5), QPoint(2, 10)})
                         : QPolygon({QPoint(14, 4), QPoint(9, 5), QPoint(13, 10)});
    p.drawPolygon(head);
}

void Lines(QPainter& p, int indent, bool left) {
    p.setPen(QColor(40, 40, 40));
    for (int y = 3; y <= 13; y += 3)
        p.drawLine(indent, y, 15, y);
    p.setPen(Qt::NoPen);
    p.setBrush(QColor(0, 120, 0));
    QPolygon head = left ? QPolygon({QPoint(0, 8), QPoint(4, 5), QPoint(4, 11)})
                         : QPolygon({QPoint(5, 8), QPoint(1, 5), QPoint(1, 11)});
    p.drawPolygon(head);
}

void Draw(QPainter& p, int index) {
    switch (index) {
    case 0: // new
        Page(p, 3, 1, 10, 14);
        p.setPen(QColor(200, 160, 0));
        p.drawLine(9, 1, 13, 5);
        break;
    case 1: // open
        p.setPen(QColor(120, 90, 0));
        p.setBrush(QColor(240, 200, 80));
        p.drawRect(1, 4, 14, 10);
        p.setBrush(QColor(250, 225, 130));
        p.drawPolygon(QPolygon({QPoint(3, 8), QPoint(15, 8), QPoint(13, 14), QPoint(1, 14)}));
        break;
    case 2: // save
        p.setPen(QColor(20, 20, 80));
        p.setBrush(QColor(60, 80, 170));
        p.drawRect(1, 1, 14, 14);
        p.setBrush(Qt::white);
        p.drawRect(4, 1, 8, 6);
        p.setBrush(QColor(190, 190, 190));
        p.drawRect(4, 10, 8, 5);
        break;
    case 3: // cut
        p.setPen(QPen(QColor(60, 60, 60), 1));
        p.drawLine(5, 1, 10, 10);
        p.drawLine(10, 1, 5, 10);
        p.setBrush(Qt::NoBrush);
        p.drawEllipse(2, 10, 4, 4);
        p.drawEllipse(9, 10, 4, 4);
        break;
    case 4: // copy
        Page(p, 1, 1, 8, 10);
        Page(p, 6, 5, 8, 10);
        break;
    case 5: // paste
        p.setPen(QColor(90, 60, 20));
        p.setBrush(QColor(190, 140, 70));
        p.drawRect(1, 2, 10, 13);
        Page(p, 6, 6, 8, 9);
        break;
    case 6: // clear
        p.setPen(QPen(QColor(200, 0, 0), 2));
        p.drawLine(3, 3, 13, 13);
        p.drawLine(13, 3, 3, 13);
        break;
    case 7: { // style tag
        QFont f(QStringLiteral("DejaVu Sans Mono"));
        f.setPixelSize(9);
        f.setBold(true);
        p.setFont(f);
        p.setPen(QColor(128, 0, 128));
        p.drawText(QRect(0, 0, 16, 16), Qt::AlignCenter, QStringLiteral("<s>"));
        break;
    }
    case 8: // colour
        p.setPen(QColor(40, 40, 40));
        p.setBrush(QColor(255, 0, 0));
        p.drawRect(1, 1, 6, 6);
        p.setBrush(QColor(0, 170, 0));
        p.drawRect(8, 1, 6, 6);
        p.setBrush(QColor(0, 0, 255));
        p.drawRect(1, 8, 6, 6);
        p.setBrush(QColor(255, 220, 0));
        p.drawRect(8, 8, 6, 6);
        break;
    case 9: // undo
        Arrow(p, true);
        break;
    case 10: // redo
        Arrow(p, false);
        break;
    case 11: // shift left
        Lines(p, 6, true);
        break;
    case 12: // shift right
        Lines(p, 6, false);
        break;
    default:
        break;
    }
}

} // namespace

QIcon ToolbarImage(int index) {
    if (index < 0 || index >= ToolbarImageCount) return {};
    QPixmap pixmap(16, 16);
    pixmap.fill(Qt::transparent);
    QPainter p(&pixmap);
    p.setRenderHint(QPainter::Antialiasing, index == 3 || index == 9 || index == 10);
    Draw(p, index);
    p.end();
    return QIcon(pixmap);
}

QPixmap LogoPicture() {
    QPixmap pixmap(32, 32);
    pixmap.fill(Qt::transparent);
    QPainter p(&pixmap);
    p.setRenderHint(QPainter::Antialiasing);
    p.setPen(QColor(20, 50, 100));
    p.setBrush(QColor(51, 102, 153));
    p.drawRoundedRect(1, 1, 30, 30, 6, 6);
    // A quill across a brace.
    QFont f(QStringLiteral("DejaVu Sans Mono"));
    f.setPixelSize(22);
    f.setBold(true);
    p.setFont(f);
    p.setPen(Qt::white);
    p.drawText(QRect(0, 0, 32, 30), Qt::AlignCenter, QStringLiteral("{"));
    QPainterPath quill;
    quill.moveTo(26, 4);
    quill.cubicTo(14, 8, 10, 18, 9, 27);
    quill.cubicTo(14, 20, 22, 14, 26, 4);
    p.setPen(Qt::NoPen);
    p.setBrush(QColor(255, 224, 128));
    p.drawPath(quill);
    p.end();
    return pixmap;
}

} // namespace quillet
