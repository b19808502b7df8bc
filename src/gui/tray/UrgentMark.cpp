#include "tray/UrgentMark.h"

#include <QPainter>
#include <QPixmap>

#include <algorithm>

namespace vimo {

QIcon WithUrgentMark(const QIcon& icon)
{
    QList<QSize> sizes = icon.availableSizes();
    if (sizes.isEmpty())
        sizes = { QSize(16, 16), QSize(22, 22), QSize(32, 32), QSize(48, 48), QSize(64, 64) };
    QIcon marked;
    for (const QSize& size : std::as_const(sizes)) {
        QPixmap pixmap = icon.pixmap(size);
        if (pixmap.isNull())
            continue;
        QPainter painter(&pixmap);
        painter.setRenderHint(QPainter::Antialiasing);
        // Big enough to see at 16 pixels; a white ring keeps it apart from a red icon.
        const qreal width = pixmap.deviceIndependentSize().width();
        const qreal diameter = width * 0.5;
        const qreal ring = std::max(1.0, diameter / 8);
        const QRectF mark(width - diameter, 0, diameter, diameter);
        painter.setPen(QPen(Qt::white, ring));
        painter.setBrush(QColor(220, 0, 0));
        painter.drawEllipse(mark.adjusted(ring / 2, ring / 2, -ring / 2, -ring / 2));
        painter.end();
        marked.addPixmap(pixmap);
    }
    return marked;
}

} // namespace vimo
