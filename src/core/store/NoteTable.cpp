#include "store/NoteTable.h"

#include "model/KeyRules.h"
#include "model/TextRules.h"
#include "store/DeletedTable.h"
#include "store/Failures.h"
#include "store/Statements.h"
#include "store/StoreSql.h"

#include <QRandomGenerator>

#include <optional>

namespace vimo {

// One try at writing a note: stored, or the failure and whether the insert itself was sent
// (and so may have been stored even though its answer never came).
struct NoteTable::InsertTry {
    bool Stored = false;
    bool InsertSent = false;
    StoreFailure Failure;
};

StoreResult<QList<NoteRow>> NoteTable::Addressed(const QString& recipient)
{
    StoreResult<QList<QStringList>> rows
        = StoreSql(Link).Rows(Link.ThroughFunctions() ? NotesCall() : NotesQuery(recipient), 5);
    if (rows.Failure)
        return { {}, std::move(rows.Failure) };
    StoreResult<QList<NoteRow>> notes;
    for (const QStringList& read : std::as_const(rows.Value)) {
        QString columns[5];
        for (int column = 0; column < 5; ++column)
            columns[column] = CutTrailingWhiteSpace(read[column]);
        const std::optional<qint64> key = ParseKey(columns[0]);
        if (!key)
            continue;
        notes.Value.append({ *key, CutTrailingWhiteSpace(recipient), columns[1], columns[2],
            columns[3], columns[4] });
    }
    return notes;
}

StoreResult<qint64> NoteTable::Insert(const NewNote& note, int step)
{
    if (Link.ThroughFunctions())
        return Post(note);
    // The row as a poll would read it back, to be found again after a broken link.
    NoteRow row { 0, CutTrailingWhiteSpace(note.Recipient), CutTrailingWhiteSpace(note.Sender),
        note.DateStamp, QString(note.Urgency), CutTrailingWhiteSpace(note.Text) };
    StoreSql sql(Link);
    for (int round = 1;; ++round) {
        const InsertTry attempt = TryInsert(note, step, row);
        if (attempt.Stored)
            return { row.Key, {} };
        if (!IsConnectionLost(attempt.Failure.Error) || round == 2)
            return { row.Key, attempt.Failure };
        // The link broke on the way. The insert may have been stored all the same (the server
        // committed it, the answer was lost): look before writing it again.
        if (StoreResult<> relinked = sql.Reconnect(); relinked.Failure)
            return { row.Key, MakeFailure(attempt.Failure.Statement, relinked.Failure->Error) };
        if (attempt.InsertSent) {
            const StoreResult<QString> found = sql.FirstValue(NoteCountQuery(row));
            if (found.Failure)
                return { row.Key, found.Failure };
            if (AtoI(found.Value) > 0)
                return { row.Key, {} };
        }
    }
}

NoteTable::InsertTry NoteTable::TryInsert(const NewNote& note, int step, NoteRow& row)
{
    StoreSql sql(Link);
    InsertTry result;
    const auto fail = [&](const StoreFailure& failure) {
        result.Failure = failure;
        sql.RollBack();
        return result;
    };

    if (StoreResult<> begun = sql.BeginWrite(); begun.Failure)
        return fail(*begun.Failure);
    const StoreResult<QString> largest = sql.FirstValue(
        Link.BoundRole().isEmpty() ? NextKeyQuery() : SharedNextKeyQuery(), StoreSql::Retry::Never);
    if (largest.Failure)
        return fail(*largest.Failure);

    const std::optional<qint64> next = NextKeyAfter(largest.Value, step);
    bool freeKey = !next;
    row.Key = next.value_or(0);
    for (;;) {
        if (freeKey) {
            const StoreResult<qint64> free = FreeKey();
            if (free.Failure)
                return fail(*free.Failure);
            row.Key = free.Value;
        }
        const StoreResult<> inserted
            = sql.Exec(PostStatement(note.Text, note.Recipient, note.Sender, note.DateStamp,
                           row.Key, note.Urgency),
                StoreSql::Retry::Never);
        if (inserted.Succeeded())
            break;
        // The largest key plus one does not fit the column: a row at the top must not block
        // every post.
        if (IsOutOfRange(inserted.Failure->Error) && !freeKey) {
            freeKey = true;
            continue;
        }
        result.InsertSent = true;
        return fail(*inserted.Failure);
    }

    if (StoreResult<> committed = sql.Commit(); committed.Failure) {
        result.InsertSent = true;
        return fail(*committed.Failure);
    }
    result.Stored = true;
    return result;
}

StoreResult<qint64> NoteTable::Post(const NewNote& note)
{
    // Should the link break before the answer comes, the store asks again with the same
    // request, and the server answers with the note it stored the first time.
    const QString request = QString::number(QRandomGenerator::system()->generate64(), 16)
        + QString::number(QRandomGenerator::system()->generate64(), 16);
    const StoreResult<QString> key = StoreSql(Link).FirstValue(
        PostCall(note.Text, note.Recipient, note.DateStamp, note.Urgency, request));
    return { ParseKey(key.Value).value_or(0), key.Failure };
}

StoreResult<qint64> NoteTable::FreeKey()
{
    const StoreResult<QString> found = StoreSql(Link).FirstValue(
        Link.BoundRole().isEmpty() ? FreeKeyQuery() : SharedFreeKeyQuery(), StoreSql::Retry::Never);
    if (found.Failure)
        return { 0, found.Failure };
    return { ParseKey(found.Value).value_or(1), {} };
}

StoreResult<qint64> NoteTable::NewKey(int step)
{
    const StoreResult<QString> largest = StoreSql(Link).FirstValue(
        Link.BoundRole().isEmpty() ? NextKeyQuery() : SharedNextKeyQuery(), StoreSql::Retry::Never);
    if (largest.Failure)
        return { 0, largest.Failure };
    if (const std::optional<qint64> next = NextKeyAfter(largest.Value, step))
        return { *next, {} };
    return FreeKey();
}

StoreResult<NoteTable::Deletion> NoteTable::Delete(const NoteRow& row)
{
    StoreResult<StoreSql::Change> deleted;
    if (Link.ThroughFunctions()) {
        deleted = StoreSql(Link).CallCounted(DeleteNoteCall(row));
    } else if (auto kept = DeletedTable(Link).MoveAside(row)) {
        deleted = { { kept->Value.Rows, kept->Value.Retried }, kept->Failure };
    } else {
        deleted = StoreSql(Link).ExecCounted(DeleteNoteStatement(row));
    }
    if (deleted.Failure)
        return { Deletion::Deleted, deleted.Failure };
    // After a broken link the first run may have deleted the row already: gone either way.
    if (deleted.Value.Rows == 0 && !deleted.Value.Retried)
        return { Deletion::AlreadyGone, {} };
    return { Deletion::Deleted, {} };
}

} // namespace vimo
