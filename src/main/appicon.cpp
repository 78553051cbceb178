#include "main/appicon.h"

#include <QPainter>
#include <QPixmap>
#include <QPolygonF>

namespace {

// Draws the 64x64 design of kestrin.svg scaled to size x size.
QPixmap drawIcon(int size) {
    QPixmap pixmap(size, size);
    pixmap.fill(Qt::transparent);
    QPainter painter(&pixmap);
    painter.setRenderHint(QPainter::Antialiasing);
    painter.scale(size / 64.0, size / 64.0);
    painter.setPen(Qt::NoPen);

    painter.setBrush(QColor(0x1d, 0x24, 0x33));
    painter.drawRoundedRect(QRectF(2, 2, 60, 60), 10, 10);

    painter.setBrush(QColor(0x8c, 0x9b, 0xd6));
    painter.drawPolygon(QPolygonF({{8, 40}, {30, 22}, {36, 28}, {56, 14}, {40, 34}, {34, 30}}));
    painter.setBrush(QColor(0x5a, 0x6a, 0xa8));
    painter.drawPolygon(QPolygonF({{30, 22}, {34, 30}, {26, 46}, {22, 38}}));

    painter.setBrush(QColor(0x3b, 0x6f, 0xb0));
    painter.setPen(QPen(QColor(0x9f, 0xd3, 0x6b), 2));
    painter.drawEllipse(QPointF(47, 45), 7, 7);
    return pixmap;
}

} // namespace

QIcon makeAppIcon() {
    QIcon icon;
    for (const int size : {16, 24, 32, 48, 64, 128}) {
        icon.addPixmap(drawIcon(size));
    }
    return icon;
}
