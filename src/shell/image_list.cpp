#include "shell/image_list.h"

#include <QPainter>
#include <QPainterPath>
#include <QPixmap>
#include <functional>

namespace {

QIcon drawn(const std::function<void(QPainter&)>& draw)
{
    QPixmap pixmap(16, 16);
    pixmap.fill(Qt::transparent);
    QPainter painter(&pixmap);
    painter.setRenderHint(QPainter::Antialiasing);
    draw(painter);
    return QIcon(pixmap);
}

void folder(QPainter& p)
{
    p.setPen(QPen(QColor(0x8a, 0x6a, 0x10), 1));
    p.setBrush(QColor(0xf2, 0xc9, 0x4c));
    QPainterPath path;
    path.moveTo(1.5, 4.5);
    path.lineTo(6.5, 4.5);
    path.lineTo(7.5, 5.5);
    path.lineTo(12.5, 5.5);
    path.lineTo(12.5, 13.5);
    path.lineTo(1.5, 13.5);
    path.closeSubpath();
    p.drawPath(path);
}

void badge(QPainter& p, const QColor& colour, bool plus)
{
    p.setPen(Qt::NoPen);
    p.setBrush(colour);
    p.drawEllipse(QRectF(8, 0, 8, 8));
    p.setPen(QPen(Qt::white, 1.6));
    p.drawLine(QPointF(9.8, 4), QPointF(14.2, 4));
    if (plus)
        p.drawLine(QPointF(12, 1.8), QPointF(12, 6.2));
}

} // namespace

QList<QIcon> ImageList1()
{
    return {
        drawn([](QPainter& p) { folder(p); badge(p, QColor(0x2e, 0x8b, 0x2e), true); }),
        drawn([](QPainter& p) { folder(p); badge(p, QColor(0xc0, 0x30, 0x30), false); }),
        drawn([](QPainter& p) {
            p.setPen(QPen(QColor(0x2a, 0x5d, 0xb0), 1));
            p.setBrush(QColor(0xdd, 0xe8, 0xf8));
            p.drawEllipse(QRectF(1.5, 1.5, 13, 13));
            p.setPen(QPen(QColor(0x1e, 0x7a, 0x1e), 2.2, Qt::SolidLine, Qt::RoundCap, Qt::RoundJoin));
            p.drawPolyline(QPolygonF({QPointF(4.5, 8.5), QPointF(7, 11), QPointF(11.5, 5)}));
        }),
        drawn([](QPainter& p) {
            p.setPen(Qt::NoPen);
            p.setBrush(QColor(0x2a, 0x5d, 0xb0));
            p.drawEllipse(QRectF(1, 1, 14, 14));
            QFont font = p.font();
            font.setBold(true);
            font.setPixelSize(11);
            p.setFont(font);
            p.setPen(Qt::white);
            p.drawText(QRectF(1, 1, 14, 14), Qt::AlignCenter, QStringLiteral("?"));
        }),
        drawn([](QPainter& p) {
            p.setPen(QPen(QColor(0x50, 0x50, 0x50), 1));
            p.setBrush(QColor(0xb0, 0x80, 0x50));
            p.drawRect(QRectF(2.5, 1.5, 8, 13));
            p.setPen(QPen(QColor(0xc0, 0x30, 0x30), 1.8, Qt::SolidLine, Qt::RoundCap, Qt::RoundJoin));
            p.drawLine(QPointF(8, 8), QPointF(15, 8));
            p.drawPolyline(QPolygonF({QPointF(12.5, 5.5), QPointF(15, 8), QPointF(12.5, 10.5)}));
        }),
    };
}
