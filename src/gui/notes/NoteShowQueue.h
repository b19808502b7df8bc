#pragma once

#include <QElapsedTimer>
#include <QList>
#include <QObject>
#include <QPointer>
#include <QTimer>

class QWidget;

namespace vimo {

// Shows note windows a batch at a time, each batch in a turn of the event loop of its own:
// a poll that brings hundreds of notes (a Monday's sign-in) must not hold the desktop still
// while they map. The first windows of a turn show at once, so a poll of a few notes shows
// them before it returns; after that, each turn shows windows for BudgetMs.
class NoteShowQueue : public QObject {
public:
    static constexpr int AlwaysAtOnce = 20;
    static constexpr int BudgetMs = 40;

    explicit NoteShowQueue(QObject* parent = nullptr);

    // Shows the window now, or once the windows before it have shown.
    void Show(QWidget* window);
    // The windows still waiting stay hidden.
    void Clear();
    bool IsEmpty() const { return Waiting.isEmpty(); }

private:
    bool RoomInThisTurn();
    void ShowWaiting();

    QList<QPointer<QWidget>> Waiting;
    QTimer NextTurn;
    // Since the first window of this turn, and how many showed in it.
    QElapsedTimer TurnClock;
    int ShownThisTurn = 0;
};

} // namespace vimo
