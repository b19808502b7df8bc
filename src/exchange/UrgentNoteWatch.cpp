#include "exchange/UrgentNoteWatch.h"

#include <QPainter>
#include <QPixmap>
#include <QTimer>

namespace vimo {

UrgentNoteWatch::UrgentNoteWatch(std::chrono::milliseconds interval, QObject* parent)
    : QObject(parent)
    , Interval(interval)
{
}

UrgentNoteWatch::~UrgentNoteWatch()
{
    // The notes may outlive the watch; they must not call back into it.
    for (auto it = Timers.cbegin(); it != Timers.cend(); ++it)
        disconnect(it.key(), nullptr, this, nullptr);
}

bool UrgentNoteWatch::Add(QObject* note, int urgency)
{
    if (urgency != 3 || note == nullptr || Timers.contains(note))
        return false;
    auto* timer = new QTimer(this);
    timer->setInterval(Interval);
    connect(timer, &QTimer::timeout, this, [this, note] { Q_EMIT RaiseAgain(note); });
    connect(note, &QObject::destroyed, this, [this, note] { Drop(note); });
    Timers.insert(note, timer);
    timer->start();
    if (Timers.size() == 1)
        Q_EMIT UrgentNoteWaitsChanged(true);
    return true;
}

void UrgentNoteWatch::Touched(QObject* note)
{
    Drop(note);
}

void UrgentNoteWatch::Drop(QObject* note)
{
    QTimer* timer = Timers.take(note);
    if (timer == nullptr)
        return;
    delete timer;
    disconnect(note, nullptr, this, nullptr);
    if (Timers.isEmpty())
        Q_EMIT UrgentNoteWaitsChanged(false);
}

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
