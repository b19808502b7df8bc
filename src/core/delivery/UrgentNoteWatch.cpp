#include "delivery/UrgentNoteWatch.h"

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

} // namespace vimo
