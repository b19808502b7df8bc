#include "store/DeletedTable.h"

#include "model/KeyRules.h"
#include "model/TextRules.h"
#include "store/LaterStatements.h"
#include "store/NoteTable.h"
#include "store/Statements.h"
#include "store/StoreSql.h"

#include <QDateTime>

#include <tuple>

namespace vimo {

QList<StoreFailure> DeletedTable::Create()
{
    QList<StoreFailure> refused;
    for (const QString& statement :
        { DeletedTableCreation(), DeletedIndexCreation(), DeletedAgeIndexCreation(),
            LaterTableCreation(), LaterIdIndexCreation(), LaterDueIndexCreation() }) {
        StoreResult<> result = StoreSql(Link).Exec(statement);
        if (result.Failure)
            refused.append(std::move(*result.Failure));
    }
    return refused;
}

bool DeletedTable::Exists()
{
    return StoreSql(Link).FirstValue(TableCheckQuery(QStringLiteral("VIMO_DELETED"))).Succeeded();
}

void DeletedTable::Prune()
{
    const qint64 cutoff = QDateTime::currentSecsSinceEpoch() - KeptDeletedSeconds;
    std::ignore = StoreSql(Link).Exec(
        Link.IsFileStore() ? DeletedPruneStatement(cutoff) : DeletedPruneOnServer());
}

std::optional<StoreResult<DeletedTable::Moved>> DeletedTable::MoveAside(const NoteRow& row)
{
    StoreSql sql(Link);
    // A store without the table (older, or one that would not take it) deletes for good.
    const auto without
        = [this](const StoreFailure& failure) { return !failure.OutOfReach() && !Exists(); };
    if (!Link.IsFileStore()) {
        const StoreResult<StoreSql::Change> moved = sql.ExecCounted(MoveDeletedStatement(row));
        if (moved.Failure && without(*moved.Failure))
            return std::nullopt;
        if (moved.Succeeded())
            Prune();
        return StoreResult<Moved> { { moved.Value.Rows, moved.Value.Retried }, moved.Failure };
    }
    const auto fail = [&sql](const std::optional<StoreFailure>& failure) {
        sql.RollBack();
        return StoreResult<Moved> { {}, failure };
    };
    if (StoreResult<> begun = sql.BeginWrite(); begun.Failure)
        return fail(begun.Failure);
    if (StoreResult<> kept = sql.Exec(
            KeepDeletedStatement(row, QDateTime::currentSecsSinceEpoch()), StoreSql::Retry::Never);
        kept.Failure) {
        sql.RollBack();
        if (without(*kept.Failure))
            return std::nullopt;
        return StoreResult<Moved> { {}, kept.Failure };
    }
    const StoreResult<StoreSql::Change> deleted = sql.ExecCounted(DeleteNoteStatement(row));
    if (deleted.Failure)
        return fail(deleted.Failure);
    if (StoreResult<> committed = sql.Commit(); committed.Failure)
        return fail(committed.Failure);
    Prune();
    return StoreResult<Moved> { { deleted.Value.Rows, deleted.Value.Retried }, {} };
}

StoreResult<QList<DeletedNote>> DeletedTable::Of(const QString& recipient)
{
    if (!Link.ThroughFunctions())
        Prune();
    StoreResult<QList<QStringList>> rows = StoreSql(Link).Rows(
        Link.ThroughFunctions() ? DeletedNotesCall() : DeletedNotesQuery(recipient), 6);
    StoreResult<QList<DeletedNote>> notes { {}, std::move(rows.Failure) };
    for (QStringList& row : rows.Value) {
        for (QString& value : row)
            value = CutTrailingWhiteSpace(value);
        const std::optional<qint64> key = ParseKey(row[0]);
        if (!key)
            continue;
        notes.Value.append({ *key, row[1], CutTrailingWhiteSpace(recipient), row[2].toLongLong(),
            AtoI(row[3]), row[4], row[5].toLongLong() });
    }
    return notes;
}

StoreResult<DeletedTable::Restoral> DeletedTable::Restore(const DeletedNote& note)
{
    StoreSql sql(Link);
    if (Link.ThroughFunctions()) {
        const StoreResult<QString> key = sql.FirstValue(RestoreCall(note));
        return { AtoI(key.Value) > 0 ? Restoral::Restored : Restoral::Gone, key.Failure };
    }
    if (!Link.IsFileStore()) {
        // Another copy may take the largest key plus one at the same moment: aim further on.
        for (int step = 1;; step *= 2) {
            const StoreResult<QString> key = sql.FirstValue(RestoreOnServer(note, step));
            if (key.Failure && key.Failure->Kind == FailureKind::DuplicateKey && step < 128)
                continue;
            if (key.Failure)
                return { Restoral::Gone, key.Failure };
            if (key.Value.isEmpty())
                return { Restoral::Gone, {} };
            std::ignore = sql.Exec(RestoredReceiptStatement(note, key.Value.toLongLong()));
            return { Restoral::Restored, {} };
        }
    }
    const auto fail = [&sql](const std::optional<StoreFailure>& failure) {
        sql.RollBack();
        return StoreResult<Restoral> { Restoral::Gone, failure };
    };
    if (StoreResult<> begun = sql.BeginWrite(); begun.Failure)
        return fail(begun.Failure);
    const StoreResult<qint64> key = NoteTable(Link).NewKey(1);
    if (key.Failure)
        return fail(key.Failure);
    const StoreResult<StoreSql::Change> restored
        = sql.ExecCounted(RestoreStatement(note, key.Value));
    if (restored.Failure)
        return fail(restored.Failure);
    if (restored.Value.Rows == 0) {
        sql.RollBack();
        return { Restoral::Gone, {} };
    }
    if (StoreResult<> forgotten = sql.Exec(ForgetDeletedStatement(note), StoreSql::Retry::Never);
        forgotten.Failure)
        return fail(forgotten.Failure);
    // A store without receipts restores all the same.
    std::ignore = sql.Exec(RestoredReceiptStatement(note, key.Value), StoreSql::Retry::Never);
    if (StoreResult<> committed = sql.Commit(); committed.Failure)
        return fail(committed.Failure);
    return { Restoral::Restored, {} };
}

StoreResult<DeletedTable::Restoral> DeletedTable::RestoreLatest(const NoteRow& row)
{
    const StoreResult<QList<DeletedNote>> deleted = Of(row.Recipient);
    if (deleted.Failure)
        return { Restoral::Gone, deleted.Failure };
    for (const DeletedNote& note : deleted.Value) {
        if (note.Key == row.Key && note.Sender == CutTrailingWhiteSpace(row.Sender)
            && note.Stamp == row.Stamp.toLongLong() && note.Text == CutTrailingWhiteSpace(row.Text))
            return Restore(note);
    }
    return { Restoral::Gone, {} };
}

} // namespace vimo
