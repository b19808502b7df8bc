#pragma once

#include "model/NoteRow.h"
#include "store/StoreResult.h"

#include <QChar>
#include <QList>
#include <QString>

namespace vimo {

class Store;

// A note to be written: the values of its row but the key, which the store chooses.
struct NewNote {
    QString Text;
    QString Recipient;
    QString Sender;
    QString DateStamp; // the decimal text of MakeDateStamp()
    QChar Urgency = u'3'; // '1', '2' or '3'
};

// The notes in the store (MSGS), on one link.
class NoteTable {
public:
    explicit NoteTable(Store& store)
        : Link(store)
    {
    }

    // Every note addressed to the recipient, whole, in the store's order. A poll either reads
    // all its rows or fails: a failure carries no rows. A row whose key is no whole number
    // within 64 bits cannot be told apart safely and is left out.
    StoreResult<QList<NoteRow>> Addressed(const QString& recipient);

    // Writes a new note under the largest key plus step (or a free key below the top when
    // that does not fit the column) and returns the key. On SQLite the key is read and the row
    // written in one transaction that holds the file's write lock, so copies posting at once
    // never meet on a key; elsewhere a taken key comes back as a DuplicateKey failure for the
    // caller to try again with a larger step. When the link breaks during the insert, the
    // store connects again and looks for the row before it writes it once more: a note is
    // never stored twice. Through the identity functions the server chooses the key, and
    // takes the sender from the login; the sender's receipt goes with the note.
    StoreResult<qint64> Insert(const NewNote& note, int step = 1);

    // Inside a write (BeginWrite on a file): the key a new row takes, the largest plus step, or
    // a free one below the top when that does not fit.
    StoreResult<qint64> NewKey(int step);

    enum class Deletion { Deleted, AlreadyGone };
    // Deletes the row exactly, never another that shares its key. AlreadyGone when no such
    // row was left (another copy of the same user deleted it). Where the store has the table
    // of deleted notes the row moves there, to be brought back for some days.
    StoreResult<Deletion> Delete(const NoteRow& row);

private:
    struct InsertTry;
    InsertTry TryInsert(const NewNote& note, int step, NoteRow& row);
    StoreResult<qint64> Post(const NewNote& note);
    StoreResult<qint64> FreeKey();

    Store& Link;
};

} // namespace vimo
