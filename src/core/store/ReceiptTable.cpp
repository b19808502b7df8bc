#include "store/ReceiptTable.h"

#include "model/TextRules.h"
#include "store/ReceiptStatements.h"
#include "store/StoreSql.h"

#include <tuple>

namespace vimo {

QList<StoreFailure> ReceiptTable::Create()
{
    QList<StoreFailure> refused;
    for (const QString& statement :
        { ReceiptsTableCreation(), ReceiptsSenderIndexCreation(), ReceiptsKeyIndexCreation() }) {
        StoreResult<> result = StoreSql(Link).Exec(statement);
        if (result.Failure)
            refused.append(std::move(*result.Failure));
    }
    return refused;
}

StoreResult<> ReceiptTable::RecordSent(
    const NoteIdentity& note, const QString& text, const QDateTime& at)
{
    // The identity functions keep it with the note.
    if (Link.ThroughFunctions())
        return {};
    StoreSql sql(Link);
    StoreResult<> recorded = sql.Exec(SentRecordStatement(note, text, ReceiptTime(at)));
    // A record too many harms nobody; the next post prunes again.
    if (recorded.Succeeded())
        std::ignore = sql.Exec(SentPruneStatement(note.Sender));
    return recorded;
}

StoreResult<> ReceiptTable::RecordShown(const QList<NoteIdentity>& notes, const QDateTime& at)
{
    // SQLite refuses an expression nested deeper than 1000; each note adds one OR.
    constexpr qsizetype NotesPerStatement = 100;
    // The server stamps them with its own time.
    if (Link.ThroughFunctions())
        return notes.isEmpty() ? StoreResult<> {} : StoreSql(Link).Exec(ShownCall(notes));
    StoreResult<> result;
    for (qsizetype from = 0; from < notes.size(); from += NotesPerStatement) {
        StoreResult<> part = StoreSql(Link).Exec(
            ShownReceiptStatement(notes.mid(from, NotesPerStatement), ReceiptTime(at)));
        if (part.Failure && !result.Failure)
            result.Failure = std::move(part.Failure);
    }
    return result;
}

StoreResult<> ReceiptTable::RecordDeleted(const NoteIdentity& note, const QDateTime& at)
{
    // The identity functions stamp it as they delete the note.
    if (Link.ThroughFunctions())
        return {};
    return StoreSql(Link).Exec(DeletedReceiptStatement(note, ReceiptTime(at)));
}

StoreResult<QList<SentNote>> ReceiptTable::SentBy(const QString& sender)
{
    StoreResult<QList<QStringList>> rows = StoreSql(Link).Rows(
        Link.ThroughFunctions() ? SentNotesCall() : SentNotesQuery(sender), 5);
    StoreResult<QList<SentNote>> notes { {}, std::move(rows.Failure) };
    for (QStringList& row : rows.Value) {
        for (QString& value : row)
            TrimTrailingBlanks(value);
        notes.Value.append({ row[0], AtoI(row[1]), row[2], row[3], row[4] });
    }
    return notes;
}

} // namespace vimo
