#include "notes/NoteShowQueue.h"

#include <QWidget>

namespace vimo {

NoteShowQueue::NoteShowQueue(QObject* parent)
    : QObject(parent)
{
    NextTurn.setSingleShot(true);
    NextTurn.setInterval(0);
    connect(&NextTurn, &QTimer::timeout, this, &NoteShowQueue::ShowWaiting);
}

void NoteShowQueue::Show(QWidget* window)
{
    if (Waiting.isEmpty() && RoomInThisTurn()) {
        window->showNormal();
        ++ShownThisTurn;
        return;
    }
    Waiting.append(window);
    NextTurn.start();
}

void NoteShowQueue::Clear()
{
    Waiting.clear();
    NextTurn.stop();
}

bool NoteShowQueue::RoomInThisTurn()
{
    // A turn begins with its first window; a zero timer marks its end.
    if (!TurnClock.isValid()) {
        TurnClock.start();
        ShownThisTurn = 0;
        QTimer::singleShot(0, this, [this] { TurnClock.invalidate(); });
    }
    return ShownThisTurn < AlwaysAtOnce || TurnClock.elapsed() < BudgetMs;
}

void NoteShowQueue::ShowWaiting()
{
    TurnClock.invalidate();
    while (!Waiting.isEmpty() && RoomInThisTurn()) {
        // A note closed before its turn is simply gone.
        if (const QPointer<QWidget> window = Waiting.takeFirst())
            window->showNormal();
        ++ShownThisTurn;
    }
    if (!Waiting.isEmpty())
        NextTurn.start();
}

} // namespace vimo
