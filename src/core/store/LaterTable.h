#pragma once

#include "model/LaterNotes.h"
#include "store/StoreResult.h"

#include <QDateTime>
#include <QList>
#include <QString>

namespace vimo {

class Store;

// Notes for later (VIMO_LATER), on one link. A note waits there, where no copy shows it,
// until its time; then any copy of its sender or recipient moves it into MSGS, with its
// receipt, in one transaction: a note is moved once, and whatever copy moves it, one that
// reads only MSGS never sees it before its time.
class LaterTable {
public:
    explicit LaterTable(Store& store)
        : Link(store)
    {
    }

    // Keeps the note until its Due. Run twice for the same note (a link broke after the
    // first), it keeps it once.
    StoreResult<> Schedule(const LaterNote& note);

    // Moves every note that user sends or receives and that is due by now into MSGS; answers
    // how many it moved. A store without the table moves nothing and says nothing. A move that
    // fails leaves its note waiting whole, for the next poll.
    StoreResult<int> MoveDue(const QString& user, qint64 now = QDateTime::currentSecsSinceEpoch());

    // The sender's notes that still wait, soonest first.
    StoreResult<QList<LaterNote>> WaitingFrom(const QString& sender);

    enum class TakeBack { TakenBack, AlreadyGone };
    // AlreadyGone: its time came and it was delivered meanwhile.
    StoreResult<TakeBack> Cancel(qint64 id, const QString& sender);

private:
    StoreResult<int> MoveDueInFile(const QString& user, qint64 now);
    StoreResult<int> MoveDueOnServer(const QString& user);

    Store& Link;
};

} // namespace vimo
