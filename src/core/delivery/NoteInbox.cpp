#include "delivery/NoteInbox.h"

#include "delivery/NoteDisplay.h"
#include "model/TextRules.h"
#include "prompts/Notifications.h"
#include "prompts/Prompts.h"
#include "store/LaterTable.h"
#include "store/NoteTable.h"
#include "store/ReceiptTable.h"
#include "store/StoreWorker.h"

#include <QLoggingCategory>
#include <QPointer>
#include <QScopeGuard>
#include <QTimer>

#include <tuple>
#include <utility>

namespace vimo {
namespace {

Q_LOGGING_CATEGORY(ReceiptLog, "vimo.receipts", QtInfoMsg)

NoteIdentity IdentityOf(const NoteRow& row)
{
    return { row.Key, row.Sender, row.Recipient, AtoI(row.Stamp) };
}

} // namespace

NoteInbox::NoteInbox(NoteDisplay& display, StoreWorker& worker, const QString& user)
    : Display(display)
    , Worker(worker)
    , User(user)
{
}

NoteInbox::~NoteInbox() = default;

void NoteInbox::PollNotes()
{
    // A poll still out keeps the timer running; without this every tick would stack one more
    // poll, and one more alert, for as long as the store or the user is away.
    if (Polling) {
        // A hung store is out of reach for the user, as one that refuses is.
        const bool hung = AwaitingStore
            && PollStarted.msecsTo(QDateTime::currentDateTime()) >= UnansweredPollMs;
        if (hung && Reach.PollFailed(PollStarted))
            Q_EMIT ReachabilityChanged();
        return;
    }
    Polling = true;
    AwaitingStore = true;
    PollStarted = QDateTime::currentDateTime();

    // The deletions that waited for the store go first, in the same job as the read.
    Worker.Run(
        [user = User, waiting = Pending.DeferredRows()](Store& store) {
            PollAnswer answer;
            for (const NoteRow& row : waiting) {
                StoreResult<NoteTable::Deletion> deleted = NoteTable(store).Delete(row);
                if (deleted.Failure && deleted.Failure->OutOfReach())
                    break; // still out of reach: all of them wait for the next poll
                answer.Retried.append({ row, std::move(deleted) });
            }
            answer.Polled = NoteTable(store).Addressed(user);
            // Notes for later whose time has come go into MSGS, and are read with them. Only
            // after a good read: a store that cannot answer a poll is not kept busier. One that
            // cannot move now stays where it waits, whole, for the next poll.
            if (answer.Polled.Succeeded()) {
                answer.Moved = LaterTable(store).MoveDue(user);
                if (answer.Moved.Value > 0)
                    answer.Polled = NoteTable(store).Addressed(user);
            }
            return answer;
        },
        this,
        [this](const PollAnswer& answer) {
            AwaitingStore = false;
            const auto done = qScopeGuard([this] { Polling = false; });
            DeferredDeletionsRetried(answer.Retried);
            if (answer.Moved.Succeeded())
                MoveFailureLogged = false;
            else if (answer.Polled.Succeeded() && !std::exchange(MoveFailureLogged, true))
                qCWarning(ReceiptLog, "could not deliver notes for later yet: %s",
                    qUtf8Printable(answer.Moved.Failure->Error.Message));
            PollDone(answer.Polled);
        });
}

void NoteInbox::PollDone(const StoreResult<QList<NoteRow>>& polled)
{
    // A failed read is no answer: nothing opens and nothing closes. The tray tells the user,
    // without an alert; the next tick asks again.
    if (polled.Failure) {
        if (Reach.PollFailed(PollStarted))
            Q_EMIT ReachabilityChanged();
        return;
    }
    if (Reach.PollSucceeded())
        Q_EMIT ReachabilityChanged();

    const DeliveryPlan plan = PlanDelivery(
        polled.Value,
        [this](qint64 key) -> const NoteRow* {
            const ShownNote* shown = Notes.At(Notes.FindKey(key));
            return shown ? &shown->Row : nullptr;
        },
        Pending.DeferredRows() + Deleting);
    for (const qint64 key : plan.StaleKeys) {
        const int slot = Notes.FindKey(key);
        Pending.Drop(slot);
        Notes.Take(slot).reset();
        Display.CloseNote(slot, false);
        Q_EMIT NotesChanged();
    }
    int waiting = 0;
    QList<ArrivedNote> arrived;
    QList<NoteIdentity> shown;
    const bool announce = !plan.ToOpen.isEmpty() && !NotificationsAnnounceNotes();
    for (const NoteRow& row : plan.ToOpen) {
        if (ShowNote(row, announce)) {
            arrived.append({ row.Sender, AtoI(row.Urgency) });
            shown.append(IdentityOf(row));
        } else {
            ++waiting;
        }
    }
    // The answer may come after this inbox has gone.
    NotifyNewNotes(arrived, [inbox = QPointer<NoteInbox>(this), shown] {
        if (inbox)
            inbox->AnnounceNotes(shown);
    });
    RecordShown(shown);
    // After the poll, not inside it: the first poll answers before the tray icon exists, and
    // a box held open there would keep the user from the program.
    if (Waiting.ShouldTell(waiting)) {
        QTimer::singleShot(
            0, this, [] { ShowAlert(tr("Couldn't get all the vimo's - Please delete some")); });
    }
}

bool NoteInbox::ShowNote(const NoteRow& row, bool announce)
{
    const int slot = Notes.FirstEmptySlot();
    if (slot < 0)
        return false;
    auto note = std::make_unique<ShownNote>();
    note->Key = row.Key;
    note->Row = row;
    Notes.Store(slot, std::move(note));
    Display.ShowNote(row, slot, announce);
    Q_EMIT NotesChanged();
    return true;
}

void NoteInbox::AnnounceNotes(const QList<NoteIdentity>& notes)
{
    for (const NoteIdentity& note : notes) {
        if (Notes.FindKey(note.Key) >= 0)
            Display.Announce(note.Key);
    }
}

void NoteInbox::RecordShown(const QList<NoteIdentity>& notes)
{
    // After the notes are up: whatever the store says, they stay. A note shown again (after a
    // restart, or replaced by a poll) keeps the time it first showed. The sender records a
    // note just after storing it, so a note that came at once may show before its record is
    // there: the next poll stamps the last one's notes once more, with their time.
    if (LastShown.isEmpty() && notes.isEmpty())
        return;
    const QDateTime now = QDateTime::currentDateTimeUtc();
    Worker.Run(
        [again = std::exchange(LastShown, notes), againAt = std::exchange(LastShownAt, now), notes,
            now](Store& store) {
            ReceiptTable receipts(store);
            if (!again.isEmpty())
                std::ignore = receipts.RecordShown(again, againAt);
            return notes.isEmpty() ? StoreResult<>() : receipts.RecordShown(notes, now);
        },
        this, [this](const StoreResult<>& stamped) { NoteReceipt("shown", stamped); });
}

void NoteInbox::RecordDeleted(const NoteRow& row)
{
    Worker.Run(
        [note = IdentityOf(row)](Store& store) { return ReceiptTable(store).RecordDeleted(note); },
        this, [this](const StoreResult<>& stamped) { NoteReceipt("deleted", stamped); });
}

void NoteInbox::NoteReceipt(const char* what, const StoreResult<>& result)
{
    // A receipt is a courtesy to the sender: one the store refuses (a store whose receipts
    // table could not be made, a lost link) is logged, once until receipts work again, and
    // the note goes on as if it had been written.
    if (result.Succeeded()) {
        ReceiptFailureLogged = false;
    } else if (!std::exchange(ReceiptFailureLogged, true)) {
        qCWarning(ReceiptLog, "could not record that a note was %s: %s", what,
            qUtf8Printable(result.Failure->Error.Message));
    }
}

void NoteInbox::RequestDeletion(qint64 key, int slot)
{
    const ShownNote* note = Notes.At(slot);
    if (note == nullptr || note->Key != key)
        return;
    Pending.Add(slot, note->Row);
    Q_EMIT DeletionRequested();
}

void NoteInbox::CarryOutDeletions()
{
    for (const DeleteRequest& request : Pending.TakeAll()) {
        // The window and the slot go first, whatever the store then says. A window that shows
        // another row by now (a poll replaced it meanwhile) is not the one the user deleted.
        const ShownNote* note = Notes.At(request.Slot);
        if (note == nullptr || note->Row != request.Row)
            continue;
        Notes.Take(request.Slot).reset();
        // The keyboard goes on to another note, not nowhere.
        Display.CloseNote(request.Slot, true);
        DeleteRow(request.Row);
        Q_EMIT NotesChanged();
    }
}

void NoteInbox::DeleteRow(const NoteRow& row)
{
    Deleting.append(row);
    Worker.Run([row](Store& store) { return NoteTable(store).Delete(row); }, this,
        [this, row](const StoreResult<NoteTable::Deletion>& deleted) {
            Deleting.removeOne(row);
            DeletionDone(row, deleted);
        });
}

void NoteInbox::DeletionDone(const NoteRow& row, const StoreResult<NoteTable::Deletion>& deleted)
{
    if (deleted.Failure) {
        if (deleted.Failure->OutOfReach())
            DeferDeletion(row, *deleted.Failure);
        else
            ShowFailureAlert(*deleted.Failure); // the note comes back at the next poll
        return;
    }
    // Gone already: the copy that deleted it stamped the receipt.
    if (deleted.Value == NoteTable::Deletion::AlreadyGone) {
        ShowAlert(tr("This note had already been deleted from the store."));
    } else {
        RecordDeleted(row);
        Q_EMIT NoteDeleted(row);
    }
}

void NoteInbox::DeferDeletion(const NoteRow& row, const StoreFailure& failure)
{
    Pending.Defer(row);
    if (DeferralTold)
        return;
    DeferralTold = true;
    ShowAlert(UnreachableText(tr("the note will be deleted from it when it is back."), failure));
}

void NoteInbox::DeferredDeletionsRetried(const QList<RetriedDeletion>& retried)
{
    for (const RetriedDeletion& deletion : retried) {
        Pending.Forget(deletion.Row);
        // Gone already is as good as deleted here: the user was told it would go.
        if (deletion.Outcome.Failure)
            ShowFailureAlert(*deletion.Outcome.Failure);
        else if (deletion.Outcome.Value == NoteTable::Deletion::Deleted)
            RecordDeleted(deletion.Row);
    }
    if (Pending.DeferredRows().isEmpty())
        DeferralTold = false;
}

void NoteInbox::CloseAllNotes()
{
    Notes.ForEach([this](int slot, const ShownNote&) { Display.CloseNote(slot, false); });
    Notes.Clear();
}

} // namespace vimo
