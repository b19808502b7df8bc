#pragma once

#include "model/NoteRow.h"

#include <QList>

#include <vector>

namespace vimo {

struct DeleteRequest {
    int Slot = -1;
    NoteRow Row; // the row the note showed when its user chose Delete
};

// Delete requests waiting for the delete timer, and deletions the store could not carry out
// yet. Every request is kept until the timer fires, so a second Delete within the wait no
// longer drops the first; a note that asks twice is deleted once. A deletion the store could
// not take (it could not be reached) waits for the next poll; meanwhile its row is not shown
// again.
class PendingDeletions {
public:
    void Add(int slot, const NoteRow& row);
    // The note in the slot went another way (its row was replaced): no deletion for it.
    void Drop(int slot);
    // Hands over every waiting request, oldest first, and leaves none.
    std::vector<DeleteRequest> TakeAll();

    void Defer(const NoteRow& row);
    void Forget(const NoteRow& row);
    const QList<NoteRow>& DeferredRows() const { return Deferred; }

private:
    std::vector<DeleteRequest> Requests;
    QList<NoteRow> Deferred;
};

} // namespace vimo
