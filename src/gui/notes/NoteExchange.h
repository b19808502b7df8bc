#pragma once

#include "delivery/Delivery.h"
#include "delivery/NoteSlotTable.h"
#include "delivery/PendingDeletions.h"
#include "delivery/UrgentNoteWatch.h"
#include "model/Receipts.h"
#include "notes/NoteShowQueue.h"
#include "store/NoteTable.h"

#include <QDateTime>
#include <QIcon>
#include <QList>
#include <QObject>
#include <QString>

#include <memory>

class QWidget;

namespace vimo {

class CNoteDlg;
class StoreWorker;

// The notes of one user on this screen: polling the store for them, opening each
// in the lowest free slot, hiding and showing them all, and deleting them on request. The
// notes are windows owned by the owner widget, yet deleted only through this object; so the
// owner holds it as a member (destroyed before the owner's children), not as a QObject child.
class NoteExchange : public QObject {
    Q_OBJECT

public:
    // The notes addressed to user, read from the store through the worker. An untouched red
    // note comes to the front again every urgentInterval.
    NoteExchange(QWidget* owner, StoreWorker& worker, const QString& user,
        std::chrono::milliseconds urgentInterval = UrgentNoteWatch::DefaultInterval);
    ~NoteExchange() override;

    // Carries out deletions that waited for the store, then opens a window for every note
    // addressed to the user that has none yet, and closes a window whose key now holds another
    // note. A poll that fails opens and closes nothing; it marks the store as out of reach
    // until a poll reads its rows again. The rows come back from the worker and open after
    // the poll has returned. A poll that comes due while another one still runs (the store
    // has not answered yet, or an alert waits) is skipped, and a store that has not answered
    // a poll for UnansweredPollMs counts as out of reach. The notes it opens make one
    // notification.
    void PollNotes();
    int UnansweredPollMs = 15000;

    // Hiding them all counts as touching every one. Showing them puts the keyboard on the
    // newest.
    void SetAllNotesVisible(bool show);

    // Closes every note whose deletion is pending and deletes its row from the store. A row
    // the store cannot delete now waits for the next poll and is not shown meanwhile.
    void CarryOutDeletions();

    // Closes every note window; the notes stay in the store.
    void CloseAllNotes();

    int OpenNotes() const { return Notes.Count(); }
    const StoreReachability& Reachability() const { return Reach; }
    // A red note waits that the user has not touched yet.
    bool UrgentNoteWaits() const { return Urgent.UrgentNoteWaits(); }

Q_SIGNALS:
    // A note window opened or went: the tray tooltip counts again.
    void NotesChanged();
    // A deletion waits: the owner (re)starts its delete timer.
    void DeletionRequested();
    // Polls stopped or started again reaching the store.
    void ReachabilityChanged();
    void UrgentNoteWaitsChanged();
    // The store took the deletion of this row: it can be undone for a while.
    void NoteDeleted(const vimo::NoteRow& row);
    // The user chose Reply on a note from sender.
    void ReplyRequested(const QString& sender);

private:
    // One open note: its window, which holds the row it shows.
    struct ShownNote {
        qint64 Key = 0;
        std::unique_ptr<CNoteDlg> Window;
    };

    // Opens the row in the lowest free slot, coloured by its urgency; false when every slot
    // is taken. An announced note tells screen readers that it came.
    bool ShowNote(const NoteRow& row, bool announce);
    // The notification of these notes failed: those still open announce themselves.
    void AnnounceNotes(const QList<NoteIdentity>& notes);
    void FocusNewestNote();
    void RaiseAgain(QObject* window);
    // The receipts of the notes a poll opened, and of a deletion the store took.
    void RecordShown(const QList<NoteIdentity>& notes);
    void RecordDeleted(const NoteRow& row);
    void NoteReceipt(const char* what, const StoreResult<>& result);
    // A note asked to be deleted: recorded until CarryOutDeletions runs.
    void OnDeleteNote(qint64 key, int slot);
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

    QWidget* const Owner;
    // Decoded once for all the notes; without it they would take the owner's larger icon.
    const QIcon NoteIcon;
    StoreWorker& Worker;
    const QString User;
    vimo::NoteSlotTable<ShownNote> Notes;
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
    UrgentNoteWatch Urgent;
    NoteShowQueue Showing;
    bool ReceiptFailureLogged = false;
    bool MoveFailureLogged = false;
    // The notes the last poll opened, and when.
    QList<NoteIdentity> LastShown;
    QDateTime LastShownAt;
};

} // namespace vimo
