#pragma once

#include "delivery/Delivery.h"
#include "delivery/NoteSlotTable.h"
#include "delivery/PendingDeletions.h"
#include "model/Receipts.h"
#include "store/NoteTable.h"

#include <QDateTime>
#include <QList>
#include <QObject>
#include <QString>

namespace vimo {

class NoteDisplay;
class StoreWorker;

// The notes of one user as the store has them: polling the store for them, giving each the
// lowest free slot on the display, deleting them on request, and the receipts that tell the
// sender. Every statement runs on the worker; the display only shows what this decides.
class NoteInbox : public QObject {
    Q_OBJECT

public:
    // The notes addressed to user, read from the store through the worker and shown on the
    // display, which outlives this.
    NoteInbox(NoteDisplay& display, StoreWorker& worker, const QString& user);
    ~NoteInbox() override;

    // Carries out deletions that waited for the store, then opens a note for every row
    // addressed to the user that has none yet, and closes a note whose key now holds another
    // row. A poll that fails opens and closes nothing; it marks the store as out of reach
    // until a poll reads its rows again. The rows come back from the worker and open after
    // the poll has returned. A poll that comes due while another one still runs (the store
    // has not answered yet, or an alert waits) is skipped, and a store that has not answered
    // a poll for UnansweredPollMs counts as out of reach. The notes it opens make one
    // notification.
    void PollNotes();
    int UnansweredPollMs = 15000;

    // The user asked to delete the note in the slot: recorded until CarryOutDeletions runs.
    void RequestDeletion(qint64 key, int slot);
    // Closes every note whose deletion is pending and deletes its row from the store. A row
    // the store cannot delete now waits for the next poll and is not shown meanwhile.
    void CarryOutDeletions();

    // Closes every note; the notes stay in the store.
    void CloseAllNotes();

    int OpenNotes() const { return Notes.Count(); }
    const StoreReachability& Reachability() const { return Reach; }

Q_SIGNALS:
    // A note opened or went: the tray tooltip counts again.
    void NotesChanged();
    // A deletion waits: the owner (re)starts its delete timer.
    void DeletionRequested();
    // Polls stopped or started again reaching the store.
    void ReachabilityChanged();
    // The store took the deletion of this row: it can be undone for a while.
    void NoteDeleted(const vimo::NoteRow& row);

private:
    // One open note: the row its slot shows.
    struct ShownNote {
        qint64 Key = 0;
        NoteRow Row;
    };

    // Gives the row the lowest free slot; false when every slot is taken.
    bool ShowNote(const NoteRow& row, bool announce);
    // The notification of these notes failed: those still open announce themselves.
    void AnnounceNotes(const QList<NoteIdentity>& notes);
    // The receipts of the notes a poll opened, and of a deletion the store took.
    void RecordShown(const QList<NoteIdentity>& notes);
    void RecordDeleted(const NoteRow& row);
    void NoteReceipt(const char* what, const StoreResult<>& result);
    void DeleteRow(const NoteRow& row);
    void DeletionDone(const NoteRow& row, const StoreResult<NoteTable::Deletion>& deleted);
    // What became of the deletions that waited for the store, tried again before a poll.
    struct RetriedDeletion {
        NoteRow Row;
        StoreResult<NoteTable::Deletion> Outcome;
    };
    struct PollAnswer {
        QList<RetriedDeletion> Retried;
        StoreResult<int> Moved;
        StoreResult<QList<NoteRow>> Polled;
    };
    void DeferredDeletionsRetried(const QList<RetriedDeletion>& retried);
    void PollDone(const StoreResult<QList<NoteRow>>& polled);
    void DeferDeletion(const NoteRow& row, const StoreFailure& failure);

    NoteDisplay& Display;
    StoreWorker& Worker;
    const QString User;
    NoteSlotTable<ShownNote> Notes;
    PendingDeletions Pending;
    StoreReachability Reach;
    WaitingNotesNotice Waiting;
    bool Polling = false;
    // The worker has the poll and has not answered yet; since when.
    bool AwaitingStore = false;
    QDateTime PollStarted;
    // Rows whose deletion the worker has and has not answered yet: a poll read before it ran
    // must not open them again.
    QList<NoteRow> Deleting;
    // The user was told that a deletion waits for the store; once, until none waits.
    bool DeferralTold = false;
    bool ReceiptFailureLogged = false;
    bool MoveFailureLogged = false;
    // The notes the last poll opened, and when.
    QList<NoteIdentity> LastShown;
    QDateTime LastShownAt;
};

} // namespace vimo
