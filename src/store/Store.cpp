#include "store/Store.h"

#include "store/AttributeLists.h"
#include "store/ReceiptStatements.h"
#include "store/Statements.h"
#include "store/TextRules.h"

#include <optional>

namespace vimo {

// One statement run on a handle of its own, with what the driver said about it.
struct Store::Run {
    StatementHandle Statement;
    SQLRETURN ReturnCode = SQL_ERROR;
    Diagnostic Error; // filled when the run failed

    bool Succeeded() const
    {
        return ReturnCode == SQL_SUCCESS || ReturnCode == SQL_SUCCESS_WITH_INFO;
    }
};

namespace {

// Reads column 1 of the current row as text, whatever its length. Value is nullopt for NULL
// or when nothing could be read; Failed says that the driver refused a read.
struct ColumnRead {
    std::optional<QByteArray> Value;
    bool Failed = false;
};

ColumnRead ReadColumnText(SQLHSTMT statement, SQLUSMALLINT column = 1)
{
    QByteArray value;
    char chunk[1024];
    for (;;) {
        SQLLEN indicator = 0;
        const SQLRETURN rc
            = SQLGetData(statement, column, SQL_C_CHAR, chunk, sizeof chunk, &indicator);
        if (rc == SQL_NO_DATA)
            break;
        if (!SQL_SUCCEEDED(rc))
            return { value.isEmpty() ? std::nullopt : std::optional(value), true };
        if (indicator == SQL_NULL_DATA)
            return {};
        const bool partOnly = indicator == SQL_NO_TOTAL || indicator >= SQLLEN(sizeof chunk);
        value.append(chunk, partOnly ? qsizetype(sizeof chunk - 1) : qsizetype(indicator));
        if (!partOnly)
            break;
    }
    return { value, false };
}

StoreFailure FailureOf(const QString& statement, SQLHSTMT handle)
{
    return { statement, ReadDiagnostic(SQL_HANDLE_STMT, handle) };
}

template <typename T, typename Convert>
StoreResult<T> Converted(StoreResult<QString> read, Convert convert)
{
    return { convert(read.Value), std::move(read.Failure) };
}

} // namespace

Store::Store() = default;
Store::~Store() = default;

SQLRETURN Store::Connect()
{
    return Open(false);
}

SQLRETURN Store::ConnectRegistered()
{
    return Open(true);
}

SQLRETURN Store::Open(bool registered)
{
    Registered = registered;
    // The old link goes first, so that the environment is rebuilt from scratch as well.
    Link.reset();
    auto link = std::make_shared<OdbcLink>();
    const QString dataSource = QString::fromUtf16(DataSourceName);
    const SQLRETURN rc = registered
        ? link->ConnectThroughDriver(dataSource, QString::fromLatin1(DriverName))
        : link->Connect(dataSource);
    Link = std::move(link);
    return rc;
}

void Store::Close()
{
    Link.reset();
}

bool Store::IsConnected() const
{
    return Link && Link->IsConnected();
}

QString Store::EngineName() const
{
    if (!IsConnected())
        return {};
    char name[128] = {};
    SQLSMALLINT length = 0;
    if (!SQL_SUCCEEDED(SQLGetInfo(Link->Connection, SQL_DBMS_NAME, name, sizeof name, &length)))
        return {};
    return QString::fromUtf8(name);
}

Store::Run Store::RunOnce(const QByteArray& text) const
{
    Run run;
    run.Statement = StatementHandle(Link);
    if (!run.Statement.IsValid()) {
        // No handle: the link is down, as a failed reconnect leaves it. Say why if it can.
        if (Link && Link->Connection != SQL_NULL_HDBC)
            run.Error = ReadDiagnostic(SQL_HANDLE_DBC, Link->Connection);
        return run;
    }
    QByteArray buffer = text;
    run.ReturnCode
        = SQLExecDirect(run.Statement.get(), reinterpret_cast<SQLCHAR*>(buffer.data()), SQL_NTS);
    if (!run.Succeeded())
        run.Error = ReadDiagnostic(SQL_HANDLE_STMT, run.Statement.get());
    return run;
}

Store::Run Store::RunStatement(const QString& statement)
{
    const QByteArray text = statement.toUtf8();
    Run run = RunOnce(text);
    if (run.Succeeded())
        return run;
    // A link that an earlier reconnect could not bring back is tried again as well: a server
    // may take longer to restart than one statement.
    const bool linkDown = !run.Statement.IsValid() && Link != nullptr;
    if (!linkDown && !IsConnectionLost(run.Error))
        return run;

    run.Statement.Release();
    if (Open(Registered) < 0)
        return run;
    return RunOnce(text);
}

StoreResult<> Store::ExecSql(const QString& statement)
{
    const QString text = CutTrailingWhiteSpace(statement);
    const Run run = RunStatement(text);
    if (run.Succeeded())
        return {};
    return { {}, StoreFailure { text, run.Error } };
}

StoreResult<QString> Store::QueryFirstValue(const QString& statement)
{
    const QString text = CutTrailingWhiteSpace(statement);
    const Run run = RunStatement(text);
    if (!run.Succeeded())
        return { {}, StoreFailure { text, run.Error } };
    const SQLRETURN fetched = SQLFetch(run.Statement.get());
    if (fetched == SQL_NO_DATA)
        return {};
    if (!SQL_SUCCEEDED(fetched))
        return { {}, FailureOf(text, run.Statement.get()) };
    const ColumnRead read = ReadColumnText(run.Statement.get());
    StoreResult<QString> result;
    if (read.Value)
        result.Value = CutTrailingWhiteSpace(QString::fromUtf8(*read.Value));
    if (read.Failed)
        result.Failure = FailureOf(text, run.Statement.get());
    return result;
}

StoreResult<QStringList> Store::QueryColumnValues(const QString& statement)
{
    const QString text = CutTrailingWhiteSpace(statement);
    const Run run = RunStatement(text);
    if (!run.Succeeded())
        return { {}, StoreFailure { text, run.Error } };
    StoreResult<QStringList> result;
    for (;;) {
        const SQLRETURN fetched = SQLFetch(run.Statement.get());
        if (fetched == SQL_NO_DATA)
            break;
        if (!SQL_SUCCEEDED(fetched)) {
            result.Failure = FailureOf(text, run.Statement.get());
            break;
        }
        const ColumnRead read = ReadColumnText(run.Statement.get());
        QByteArray value = read.Value.value_or(QByteArray());
        if (TrimTrailingBlanks(value) > 0)
            result.Value.append(QString::fromUtf8(value));
        // The rows after an unreadable value are read all the same.
        if (read.Failed && !result.Failure)
            result.Failure = FailureOf(text, run.Statement.get());
    }
    return result;
}

StoreResult<QStringList> Store::UserNames()
{
    return QueryColumnValues(UserListQuery());
}

StoreResult<bool> Store::IsKnownUser(const QString& name)
{
    return Converted<bool>(QueryFirstValue(UserLookupQuery(name)),
        [](const QString& found) { return !found.isEmpty(); });
}

StoreResult<> Store::AddUser(const QString& name)
{
    return ExecSql(AddUserStatement(name));
}

StoreResult<QList<int>> Store::PollKeys(const QString& recipient)
{
    StoreResult<QStringList> rows = QueryColumnValues(PollQuery(recipient));
    StoreResult<QList<int>> keys { {}, std::move(rows.Failure) };
    for (const QString& row : std::as_const(rows.Value))
        keys.Value.append(AtoI(row));
    return keys;
}

StoreResult<int> Store::Urgency(int key)
{
    return Converted<int>(QueryFirstValue(UrgencyQuery(key)), AtoI);
}

StoreResult<QString> Store::NoteText(int key)
{
    return QueryFirstValue(NoteTextQuery(key));
}

StoreResult<int> Store::LargestKey()
{
    return Converted<int>(QueryFirstValue(NextKeyQuery()), AtoI);
}

StoreResult<> Store::Post(const QString& text, const QString& recipient, const QString& sender,
    const QString& dateStamp, int key, QChar urgency)
{
    return ExecSql(PostStatement(text, recipient, sender, dateStamp, key, urgency));
}

StoreResult<> Store::Delete(int key)
{
    return ExecSql(DeleteStatement(key));
}

QList<StoreFailure> Store::CreateTables()
{
    QList<StoreFailure> refused;
    const auto run = [&](const QString& statement) {
        StoreResult<> result = ExecSql(statement);
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

StoreResult<QList<QStringList>> Store::QueryRows(const QString& statement, int columns)
{
    const QString text = CutTrailingWhiteSpace(statement);
    const Run run = RunStatement(text);
    if (!run.Succeeded())
        return { {}, StoreFailure { text, run.Error } };
    StoreResult<QList<QStringList>> result;
    for (;;) {
        const SQLRETURN fetched = SQLFetch(run.Statement.get());
        if (fetched == SQL_NO_DATA)
            break;
        if (!SQL_SUCCEEDED(fetched)) {
            result.Failure = FailureOf(text, run.Statement.get());
            break;
        }
        QStringList row;
        for (int column = 1; column <= columns; ++column) {
            const ColumnRead read = ReadColumnText(run.Statement.get(), SQLUSMALLINT(column));
            QByteArray value = read.Value.value_or(QByteArray());
            TrimTrailingBlanks(value);
            row.append(QString::fromUtf8(value));
            if (read.Failed && !result.Failure)
                result.Failure = FailureOf(text, run.Statement.get());
        }
        result.Value.append(row);
    }
    return result;
}

QList<StoreFailure> Store::CreateReceiptsTable()
{
    QList<StoreFailure> refused;
    for (const QString& statement :
        { ReceiptsTableCreation(), ReceiptsSenderIndexCreation(), ReceiptsKeyIndexCreation() }) {
        StoreResult<> result = ExecSql(statement);
        if (result.Failure)
            refused.append(std::move(*result.Failure));
    }
    return refused;
}

StoreResult<> Store::RecordSent(const NoteIdentity& note, const QString& text, const QDateTime& at)
{
    StoreResult<> recorded = ExecSql(SentRecordStatement(note, text, ReceiptTime(at)));
    // A record too many harms nobody; the next post prunes again.
    if (recorded.Succeeded())
        ExecSql(SentPruneStatement(note.Sender));
    return recorded;
}

StoreResult<> Store::RecordShown(const NoteIdentity& note, const QDateTime& at)
{
    return ExecSql(ShownReceiptStatement(note, ReceiptTime(at)));
}

StoreResult<> Store::RecordDeleted(const NoteIdentity& note, const QDateTime& at)
{
    return ExecSql(DeletedReceiptStatement(note, ReceiptTime(at)));
}

StoreResult<QList<SentNote>> Store::SentNotes(const QString& sender)
{
    StoreResult<QList<QStringList>> rows = QueryRows(SentNotesQuery(sender), 5);
    StoreResult<QList<SentNote>> notes { {}, std::move(rows.Failure) };
    for (const QStringList& row : std::as_const(rows.Value))
        notes.Value.append({ row[0], AtoI(row[1]), row[2], row[3], row[4] });
    return notes;
}

} // namespace vimo
