#pragma once

#include "model/LaterNotes.h"
#include "store/StoreResult.h"

#include <QList>
#include <QString>

#include <optional>

namespace vimo {

class Store;

// Deleted notes (VIMO_DELETED), kept KeptDeletedDays to be brought back, on one link. A note
// leaves MSGS and arrives here in one transaction, and goes back the same way: it is never in
// both, nor in neither. Older copies never read the table; theirs deletions are for good.
class DeletedTable {
public:
    explicit DeletedTable(Store& store)
        : Link(store)
    {
    }

    // Makes this table and the one of notes for later, with their indexes, where missing.
    QList<StoreFailure> Create();

    // The recipient's deleted notes, newest first; those past their days go first.
    StoreResult<QList<DeletedNote>> Of(const QString& recipient);

    enum class Restoral { Restored, Gone };
    // Puts the note back into MSGS under a new key, chosen as a post chooses one (its old key
    // may be another note's by now), and its sender's receipt says "on screen" again. Gone
    // when another copy brought it back first, or it was pruned.
    StoreResult<Restoral> Restore(const DeletedNote& note);

    // Undo: the latest deletion of this row, as a note window showed it.
    StoreResult<Restoral> RestoreLatest(const NoteRow& row);

private:
    friend class NoteTable;
    struct Moved {
        qint64 Rows = -1;
        bool Retried = false;
    };
    // Moves the row out of MSGS into this table; nothing when the store has no such table.
    std::optional<StoreResult<Moved>> MoveAside(const NoteRow& row);
    bool Exists();
    void Prune();

    Store& Link;
};

} // namespace vimo
