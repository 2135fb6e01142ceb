#include "ToolbarIcons.h"

#include <QPainter>
#include <QPainterPath>

QIcon ToolbarIcons::queueIcon(const QString &key, int size)
{
    QColor colour;
    if (key == QLatin1String("play"))
        colour = QColor(30, 150, 50);
    else if (key == QLatin1String("pause"))
        colour = QColor(230, 140, 0);
    else if (key == QLatin1String("stop"))
        colour = QColor(200, 30, 30);
    else
        return {};
    QPixmap pixmap(size, size);
    pixmap.fill(Qt::transparent);
    QPainter painter(&pixmap);
    painter.setRenderHint(QPainter::Antialiasing);
    painter.setPen(QPen(colour.darker(140), 1));
    painter.setBrush(colour);
    const qreal u = size / 24.0;
    if (key == QLatin1String("play")) {
        QPainterPath triangle;
        triangle.moveTo(6 * u, 4 * u);
        triangle.lineTo(20 * u, 12 * u);
        triangle.lineTo(6 * u, 20 * u);
        triangle.closeSubpath();
        painter.drawPath(triangle);
    } else if (key == QLatin1String("pause")) {
        painter.drawRect(QRectF(5 * u, 4 * u, 5 * u, 16 * u));
        painter.drawRect(QRectF(14 * u, 4 * u, 5 * u, 16 * u));
    } else {
        painter.drawRect(QRectF(5 * u, 5 * u, 14 * u, 14 * u));
    }
    return QIcon(pixmap);
}
