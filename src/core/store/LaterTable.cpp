#include "store/LaterTable.h"

#include "model/KeyRules.h"
#include "model/Receipts.h"
#include "model/TextRules.h"
#include "store/LaterStatements.h"
#include "store/NoteTable.h"
#include "store/ReceiptStatements.h"
#include "store/Statements.h"
#include "store/StoreSql.h"

#include <tuple>

namespace vimo {
namespace {

// How many notes one poll moves at most: the rest follow at the next.
constexpr int MovesPerPoll = 100;

} // namespace

StoreResult<> LaterTable::Schedule(const LaterNote& note)
{
    StoreSql sql(Link);
    if (Link.ThroughFunctions())
        return sql.Exec(ScheduleCall(note));
    // Two copies scheduling at once may pick the same ID: the unique index refuses the second.
    for (int round = 1;; ++round) {
        StoreResult<> kept = sql.Exec(ScheduleStatement(note));
        if (kept.Succeeded() || kept.Failure->Kind != FailureKind::DuplicateKey || round == 8)
            return kept;
    }
}

StoreResult<int> LaterTable::MoveDue(const QString& user, qint64 now)
{
    StoreResult<int> moved;
    if (Link.ThroughFunctions()) {
        const StoreResult<QString> called = StoreSql(Link).FirstValue(MoveDueCall());
        moved = { AtoI(called.Value), called.Failure };
    } else {
        moved = Link.IsFileStore() ? MoveDueInFile(user, now) : MoveDueOnServer(user);
    }
    // A store made before notes for later, that could not take their table, has none to move.
    if (moved.Failure && !moved.Failure->OutOfReach() && moved.Value == 0
        && !StoreSql(Link).FirstValue(TableCheckQuery(QStringLiteral("VIMO_LATER"))).Succeeded())
        return {};
    return moved;
}

StoreResult<int> LaterTable::MoveDueInFile(const QString& user, qint64 now)
{
    StoreSql sql(Link);
    // Most polls find nothing due, and take no write lock on the shared file for it.
    const StoreResult<QString> due = sql.FirstValue(DueCountQuery(user, now));
    if (due.Failure || AtoI(due.Value) == 0)
        return { 0, due.Failure };
    const auto fail = [&sql](const std::optional<StoreFailure>& failure) {
        sql.RollBack();
        return StoreResult<int> { 0, failure };
    };
    if (StoreResult<> begun = sql.BeginWrite(); begun.Failure)
        return fail(begun.Failure);
    // Read inside the write: another copy that moved them first has taken them away.
    StoreResult<QList<QStringList>> rows = sql.Rows(DueNotesQuery(user, now), 7);
    if (rows.Failure)
        return fail(rows.Failure);
    int moved = 0;
    for (QStringList& row : rows.Value) {
        if (moved == MovesPerPoll)
            break;
        for (QString& value : row)
            value = CutTrailingWhiteSpace(value);
        const qint64 id = row[0].toLongLong();
        const StoreResult<qint64> key = NoteTable(Link).NewKey(1);
        if (key.Failure)
            return fail(key.Failure);
        const QChar urgency = row[4].isEmpty() ? QChar(u'3') : row[4].front();
        if (StoreResult<> posted
            = sql.Exec(PostStatement(row[5], row[2], row[1], row[3], key.Value, urgency),
                StoreSql::Retry::Never);
            posted.Failure)
            return fail(posted.Failure);
        // A store without receipts moves the note all the same.
        std::ignore = sql.Exec(
            SentRecordStatement({ key.Value, row[1], row[2], AtoI(row[3]) }, row[5], row[6]),
            StoreSql::Retry::Never);
        if (StoreResult<> taken = sql.Exec(TakeLaterStatement(id), StoreSql::Retry::Never);
            taken.Failure)
            return fail(taken.Failure);
        ++moved;
    }
    if (StoreResult<> committed = sql.Commit(); committed.Failure)
        return fail(committed.Failure);
    return { moved, {} };
}

StoreResult<int> LaterTable::MoveDueOnServer(const QString& user)
{
    StoreSql sql(Link);
    int moved = 0;
    int step = 1;
    while (moved < MovesPerPoll) {
        const StoreResult<QString> key = sql.FirstValue(::vimo::MoveDueOnServer(user, step));
        if (key.Failure && key.Failure->Kind == FailureKind::DuplicateKey && step < 128) {
            step *= 2;
            continue;
        }
        if (key.Failure)
            return { moved, key.Failure };
        if (key.Value.isEmpty())
            break;
        ++moved;
        step = 1;
    }
    return { moved, {} };
}

StoreResult<QList<LaterNote>> LaterTable::WaitingFrom(const QString& sender)
{
    StoreResult<QList<QStringList>> rows = StoreSql(Link).Rows(
        Link.ThroughFunctions() ? LaterOfSenderCall() : LaterOfSenderQuery(sender), 5);
    StoreResult<QList<LaterNote>> notes { {}, std::move(rows.Failure) };
    for (QStringList& row : rows.Value) {
        for (QString& value : row)
            value = CutTrailingWhiteSpace(value);
        notes.Value.append({ row[0].toLongLong(), CutTrailingWhiteSpace(sender), row[1],
            row[2].toLongLong(), 3, row[3], row[4].toLongLong() });
    }
    return notes;
}

StoreResult<LaterTable::TakeBack> LaterTable::Cancel(qint64 id, const QString& sender)
{
    const StoreResult<StoreSql::Change> taken = Link.ThroughFunctions()
        ? StoreSql(Link).CallCounted(CancelLaterCall(id))
        : StoreSql(Link).ExecCounted(CancelLaterStatement(id, sender));
    if (taken.Failure)
        return { TakeBack::AlreadyGone, taken.Failure };
    if (taken.Value.Rows == 0 && !taken.Value.Retried)
        return { TakeBack::AlreadyGone, {} };
    return { TakeBack::TakenBack, {} };
}

} // namespace vimo
