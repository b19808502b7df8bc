#pragma once

#include "model/Receipts.h"
#include "store/StoreResult.h"

#include <QDateTime>
#include <QList>

namespace vimo {

class Store;

// Seen receipts (RCPTS, beside the two tables of notes and users), on one link. Copies that
// know only those two never touch it, and their notes simply have no receipt. Through the
// identity functions the server keeps the record and the deletion stamp with the note, and
// stamps with its own time: the record and the deletion here then do nothing.
class ReceiptTable {
public:
    explicit ReceiptTable(Store& store)
        : Link(store)
    {
    }

    // Makes the table and its indexes where they are missing, also on a store that older
    // copies made. Returns every creation the store refused, in order.
    QList<StoreFailure> Create();
    // The sender's record of a note just posted, which the receipts then fill in. The
    // sender's records beyond the newest 50 go with it.
    StoreResult<> RecordSent(const NoteIdentity& note, const QString& text,
        const QDateTime& at = QDateTime::currentDateTimeUtc());
    // The recipient's copy: the notes first showed on screen, or a note was deleted there. A
    // receipt stamped already keeps its first time. The notes of a whole poll go in a few
    // statements, not one each: a commit on a shared file can take a while.
    StoreResult<> RecordShown(
        const QList<NoteIdentity>& notes, const QDateTime& at = QDateTime::currentDateTimeUtc());
    StoreResult<> RecordDeleted(
        const NoteIdentity& note, const QDateTime& at = QDateTime::currentDateTimeUtc());
    // The sender's newest 50 records, newest first.
    StoreResult<QList<SentNote>> SentBy(const QString& sender);

private:
    Store& Link;
};

} // namespace vimo
