#include "store/StoreUpgrade.h"

#include "store/DeletedTable.h"
#include "store/OfficeTable.h"
#include "store/ReceiptTable.h"
#include "store/Statements.h"
#include "store/StoreSql.h"

#include <QElapsedTimer>
#include <QLoggingCategory>

#include <optional>

namespace vimo {
namespace {

Q_LOGGING_CATEGORY(StoreLog, "vimo.store", QtInfoMsg)

// The names that NotesKeyIndexCreation and NotesRecipientIndexCreation give the indexes.
const QString KeyIndex = QStringLiteral("MSGS_TKEY");
const QString RecipientIndex = QStringLiteral("MSGS_RECIPIENT");

// The indexes of the notes table by name, in capitals; nothing when the store's catalog
// cannot be read. PostgreSQL is asked first: on a SQLite file its query fails quietly, while
// the other way round the server would log an error at every start.
std::optional<QStringList> NotesIndexNames(Store& store)
{
    const QString queries[] = {
        QStringLiteral("SELECT indexname FROM pg_indexes WHERE tablename='msgs' "
                       "AND schemaname=current_schema()"),
        QStringLiteral(
            "SELECT name FROM sqlite_master WHERE type='index' AND UPPER(tbl_name)='MSGS'"),
    };
    for (const QString& query : queries) {
        StoreResult<QStringList> names = StoreSql(store).ColumnValues(query);
        if (names.Succeeded()) {
            for (QString& name : names.Value)
                name = name.toUpper();
            return names.Value;
        }
    }
    return std::nullopt;
}

void AddIndex(Store& store, const QString& name, const QString& creation)
{
    QElapsedTimer took;
    took.start();
    const StoreResult<> made = StoreSql(store).Exec(creation);
    if (made.Succeeded()) {
        qCInfo(StoreLog, "added the index %s to an older store in %lld ms", qUtf8Printable(name),
            took.elapsed());
        return;
    }
    // Another copy that started at the same moment may have been first.
    const std::optional<QStringList> names = NotesIndexNames(store);
    if (names && names->contains(name))
        return;
    qCWarning(StoreLog, "could not add the index %s: %s", qUtf8Printable(name),
        qUtf8Printable(made.Failure->Error.Message));
}

// A file picked by mistake (another program's SQLite file) is no store: nothing is added to
// it, so that it stays byte for byte as it was.
bool IsStore(Store& store)
{
    if (HasTables(store))
        return true;
    qCInfo(StoreLog, "this is no store of notes and users; nothing is added to it");
    return false;
}

} // namespace

bool HasTables(Store& store)
{
    StoreSql sql(store);
    return sql.FirstValue(TableCheckQuery(QStringLiteral("MSGS"))).Succeeded()
        && sql.FirstValue(TableCheckQuery(QStringLiteral("USRS"))).Succeeded();
}

QList<StoreFailure> CreateTables(Store& store)
{
    QList<StoreFailure> refused;
    const auto run = [&](const QString& statement) {
        StoreResult<> result = StoreSql(store).Exec(statement);
        if (result.Failure)
            refused.append(std::move(*result.Failure));
        return result.Succeeded();
    };
    const bool notesTableMade = run(NotesTableCreation());
    run(UsersTableCreation());
    if (notesTableMade) {
        run(NotesKeyIndexCreation());
        run(NotesRecipientIndexCreation());
    }
    return refused;
}

void UpgradeOldStore(Store& store)
{
    // A role the store binds owns nothing and may make nothing.
    if (!store.BoundRole().isEmpty() || !IsStore(store))
        return;
    const std::optional<QStringList> names = NotesIndexNames(store);
    if (!names) {
        qCInfo(StoreLog, "cannot list the indexes of this store; it is used as it is");
        return;
    }
    if (!names->contains(RecipientIndex))
        AddIndex(store, RecipientIndex, NotesRecipientIndexCreation());
    if (names->contains(KeyIndex))
        return;

    const StoreResult<QString> shared = StoreSql(store).FirstValue(
        QStringLiteral("SELECT TKEY FROM MSGS WHERE TKEY IS NOT NULL GROUP BY TKEY "
                       "HAVING COUNT(*)>1"));
    if (shared.Failure) {
        qCWarning(StoreLog, "cannot look for notes that share a key: %s",
            qUtf8Printable(shared.Failure->Error.Message));
        return;
    }
    if (!shared.Value.isEmpty()) {
        qCWarning(StoreLog,
            "the store gets no unique index on its note keys yet: key %s is held by more than "
            "one note; it is added at a start when no key is",
            qUtf8Printable(shared.Value));
        return;
    }
    AddIndex(store, KeyIndex, NotesKeyIndexCreation());
}

void AddReceiptsTable(Store& store)
{
    // A role the store binds owns nothing and may make nothing; the identity file needs the
    // table.
    if (!HasTables(store) || !store.BoundRole().isEmpty())
        return;
    for (const StoreFailure& refused : ReceiptTable(store).Create())
        qCWarning(StoreLog, "could not make the receipts table: %s",
            qUtf8Printable(refused.Error.Message));
    // Presence and groups: new tables too, which older copies never read.
    for (const StoreFailure& refused : OfficeTable(store).Create())
        qCWarning(StoreLog, "could not make the presence or groups table: %s",
            qUtf8Printable(refused.Error.Message));
    // Deleted notes and notes for later: without them deletions are for good and notes go
    // at once, as in older copies.
    for (const StoreFailure& refused : DeletedTable(store).Create())
        qCWarning(StoreLog, "could not make the tables of deleted and later notes: %s",
            qUtf8Printable(refused.Error.Message));
}

} // namespace vimo
