#include "store/Store.h"

#include "model/KeyRules.h"
#include "model/TextRules.h"
#include "store/ReceiptStatements.h"
#include "store/Statements.h"

#include <QCoreApplication>
#include <QFile>
#include <QThread>

#include <optional>

#include <sys/stat.h>

namespace vimo {

// One statement run on a handle of its own, with what the driver said about it.
struct Store::Run {
    StatementHandle Statement;
    SQLRETURN ReturnCode = SQL_ERROR;
    Diagnostic Error; // filled when the run failed
    bool Retried = false; // it ran a second time on a new link

    bool Succeeded() const
    {
        return ReturnCode == SQL_SUCCESS || ReturnCode == SQL_SUCCESS_WITH_INFO;
    }
};

// One try at writing a note: stored, or the failure and whether the insert itself was sent
// (and so may have been stored even though its answer never came).
struct Store::InsertTry {
    bool Stored = false;
    bool InsertSent = false;
    StoreFailure Failure;
};

namespace {

// Reads one column of the current row as text, whatever its length. Value is nullopt for
// NULL or when nothing could be read; Failed says that the driver refused a read.
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

QString InfoText(SQLHDBC connection, SQLUSMALLINT item)
{
    char value[1024] = {};
    SQLSMALLINT length = 0;
    if (!SQL_SUCCEEDED(SQLGetInfo(connection, item, value, sizeof value, &length)))
        return QString();
    return QString::fromUtf8(value);
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

void Store::ReleaseThread()
{
    LinkThread = nullptr;
}

void Store::CheckThread() const
{
    QThread* const current = QThread::currentThread();
    QThread* expected = nullptr;
    if (LinkThread.compare_exchange_strong(expected, current))
        return;
    Q_ASSERT_X(expected == current, "Store", "the link is touched from a second thread");
}

SQLRETURN Store::Open(bool registered)
{
    CheckThread();
    Registered = registered;
    InTransaction = false;
    // The old link goes first, so that the environment is rebuilt from scratch as well.
    Link.reset();
    auto link = std::make_shared<OdbcLink>();
    const QString dataSource = QString::fromUtf16(DataSourceName);
    const SQLRETURN rc = registered
        ? link->ConnectThroughDriver(dataSource, QString::fromLatin1(DriverName))
        : link->Connect(dataSource);
    LastConnectError = rc < 0 ? ReadDiagnostic(SQL_HANDLE_DBC, link->Connection) : Diagnostic {};
    Link = std::move(link);
    if (rc >= 0)
        LearnEngine();
    return rc;
}

void Store::LearnEngine()
{
    if (InfoText(Link->Connection, SQL_DBMS_NAME) != QLatin1String("SQLite")) {
        Kind = Engine::Other;
        FilePath.clear();
        return;
    }
    Kind = Engine::Sqlite;
    // The SQLite driver names the file it opened.
    FilePath = InfoText(Link->Connection, SQL_DATABASE_NAME);
    OpenedFile = IdentityOf(FilePath);
}

Store::FileIdentity Store::IdentityOf(const QString& path)
{
    struct stat status { };
    if (path.isEmpty() || ::stat(QFile::encodeName(path).constData(), &status) != 0)
        return {};
    return { true, quint64(status.st_dev), quint64(status.st_ino) };
}

void Store::FollowReplacedFile()
{
    if (Kind != Engine::Sqlite || InTransaction || !IsConnected() || FilePath.isEmpty())
        return;
    // A file deleted and restored from a copy, or a share mounted anew, is another file under
    // the same path; the link would go on reading the old one, unlinked, and never see a new
    // note. A path that names no file at all (a share gone) ends the link just the same.
    if (IdentityOf(FilePath) != OpenedFile)
        Open(Registered);
}

void Store::Close()
{
    CheckThread();
    Link.reset();
    InTransaction = false;
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
    CheckThread();
    Run run;
    run.Statement = StatementHandle(Link);
    if (!run.Statement.IsValid()) {
        // No handle: the link is down, as a failed reconnect leaves it. Say why if it can.
        if (Link && Link->Connection != SQL_NULL_HDBC)
            run.Error = ReadDiagnostic(SQL_HANDLE_DBC, Link->Connection);
        if (run.Error.State.isEmpty())
            run.Error = { QStringLiteral("08003"), 0,
                QCoreApplication::translate("Store", "No link to the store") };
        return run;
    }
    QByteArray buffer = text;
    run.ReturnCode
        = SQLExecDirect(run.Statement.get(), reinterpret_cast<SQLCHAR*>(buffer.data()), SQL_NTS);
    if (!run.Succeeded())
        run.Error = ReadDiagnostic(SQL_HANDLE_STMT, run.Statement.get());
    return run;
}

Store::Run Store::RunStatement(const QString& statement, Retry retry)
{
    const QByteArray text = statement.toUtf8();
    if (retry == Retry::Once)
        FollowReplacedFile();
    Run run = RunOnce(text);
    if (run.Succeeded() || retry == Retry::Never)
        return run;
    // A link that an earlier reconnect could not bring back is tried again as well: a server
    // may take longer to restart than one statement.
    const bool linkDown = !run.Statement.IsValid() && Link != nullptr;
    if (!linkDown && !IsConnectionLost(run.Error))
        return run;

    run.Statement.Release();
    if (Open(Registered) < 0) {
        // Why the store cannot be reached says more than that there was no link.
        if (!LastConnectError.State.isEmpty())
            run.Error = LastConnectError;
        return run;
    }
    Run again = RunOnce(text);
    again.Retried = true;
    return again;
}

StoreResult<> Store::ExecSql(const QString& statement)
{
    const QString text = CutTrailingWhiteSpace(statement);
    const Run run = RunStatement(text, Retry::Once);
    if (run.Succeeded())
        return {};
    return { {}, StoreFailure { text, run.Error } };
}

StoreResult<QString> Store::QueryFirstValue(const QString& statement)
{
    return FirstValue(statement, Retry::Once);
}

StoreResult<QString> Store::FirstValue(const QString& statement, Retry retry)
{
    const QString text = CutTrailingWhiteSpace(statement);
    const Run run = RunStatement(text, retry);
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
    const Run run = RunStatement(text, Retry::Once);
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

StoreResult<QList<NoteRow>> Store::Notes(const QString& recipient)
{
    const QString text = NotesQuery(recipient);
    const Run run = RunStatement(text, Retry::Once);
    if (!run.Succeeded())
        return { {}, StoreFailure { text, run.Error } };
    StoreResult<QList<NoteRow>> result;
    const auto failed = [&] {
        return StoreResult<QList<NoteRow>> { {}, FailureOf(text, run.Statement.get()) };
    };
    for (;;) {
        const SQLRETURN fetched = SQLFetch(run.Statement.get());
        if (fetched == SQL_NO_DATA)
            break;
        if (!SQL_SUCCEEDED(fetched))
            return failed();
        QString columns[5];
        for (SQLUSMALLINT column = 1; column <= 5; ++column) {
            const ColumnRead read = ReadColumnText(run.Statement.get(), column);
            if (read.Failed)
                return failed();
            if (read.Value)
                columns[column - 1] = CutTrailingWhiteSpace(QString::fromUtf8(*read.Value));
        }
        const std::optional<qint64> key = ParseKey(columns[0]);
        if (!key)
            continue;
        result.Value.append({ *key, CutTrailingWhiteSpace(recipient), columns[1], columns[2],
            columns[3], columns[4] });
    }
    return result;
}

StoreResult<qint64> Store::InsertNote(const NewNote& note, int step)
{
    // The row as a poll would read it back, to be found again after a broken link.
    NoteRow row { 0, CutTrailingWhiteSpace(note.Recipient), CutTrailingWhiteSpace(note.Sender),
        note.DateStamp, QString(note.Urgency), CutTrailingWhiteSpace(note.Text) };
    for (int round = 1;; ++round) {
        const InsertTry attempt = TryInsert(note, step, row);
        if (attempt.Stored)
            return { row.Key, {} };
        if (!IsConnectionLost(attempt.Failure.Error) || round == 2)
            return { row.Key, attempt.Failure };
        // The link broke on the way. The insert may have been stored all the same (the server
        // committed it, the answer was lost): look before writing it again.
        if (Open(Registered) < 0)
            return { row.Key, StoreFailure { attempt.Failure.Statement, LastConnectError } };
        if (attempt.InsertSent) {
            const StoreResult<QString> found = QueryFirstValue(NoteCountQuery(row));
            if (found.Failure)
                return { row.Key, found.Failure };
            if (AtoI(found.Value) > 0)
                return { row.Key, {} };
        }
    }
}

Store::InsertTry Store::TryInsert(const NewNote& note, int step, NoteRow& row)
{
    InsertTry result;
    const auto fail = [&](const QString& statement, const Diagnostic& error) {
        result.Failure = { statement, error };
        RollBack();
        return result;
    };

    if (Kind == Engine::Sqlite) {
        FollowReplacedFile();
        const Run begin = RunStatement(BeginWriteStatement(), Retry::Never);
        if (!begin.Succeeded())
            return fail(BeginWriteStatement(), begin.Error);
        InTransaction = true;
    }
    const StoreResult<QString> largest = FirstValue(NextKeyQuery(), Retry::Never);
    if (largest.Failure)
        return fail(largest.Failure->Statement, largest.Failure->Error);

    const std::optional<qint64> next = NextKeyAfter(largest.Value, step);
    bool freeKey = !next;
    row.Key = next.value_or(0);
    for (;;) {
        if (freeKey) {
            const StoreResult<qint64> free = FreeKey();
            if (free.Failure)
                return fail(free.Failure->Statement, free.Failure->Error);
            row.Key = free.Value;
        }
        const QString insert = PostStatement(
            note.Text, note.Recipient, note.Sender, note.DateStamp, row.Key, note.Urgency);
        const Run run = RunStatement(insert, Retry::Never);
        if (run.Succeeded())
            break;
        // The largest key plus one does not fit the column: a row at the top must not block
        // every post.
        if (IsOutOfRange(run.Error) && !freeKey) {
            freeKey = true;
            continue;
        }
        result.InsertSent = true;
        return fail(CutTrailingWhiteSpace(insert), run.Error);
    }

    if (InTransaction) {
        const Run commit = RunStatement(CommitStatement(), Retry::Never);
        if (!commit.Succeeded()) {
            result.InsertSent = true;
            return fail(CommitStatement(), commit.Error);
        }
        InTransaction = false;
    }
    result.Stored = true;
    return result;
}

StoreResult<qint64> Store::FreeKey()
{
    const StoreResult<QString> found = FirstValue(FreeKeyQuery(), Retry::Never);
    if (found.Failure)
        return { 0, found.Failure };
    return { ParseKey(found.Value).value_or(1), {} };
}

void Store::RollBack()
{
    if (!InTransaction)
        return;
    InTransaction = false;
    // A link that broke has rolled back already; nothing to say either way.
    RunStatement(RollbackStatement(), Retry::Never);
}

StoreResult<> Store::Post(const QString& text, const QString& recipient, const QString& sender,
    const QString& dateStamp, qint64 key, QChar urgency)
{
    return ExecSql(PostStatement(text, recipient, sender, dateStamp, key, urgency));
}

StoreResult<Store::Deletion> Store::DeleteNote(const NoteRow& row)
{
    const QString text = DeleteNoteStatement(row);
    const Run run = RunStatement(text, Retry::Once);
    if (!run.Succeeded())
        return { Deletion::Deleted, StoreFailure { text, run.Error } };
    SQLLEN count = 0;
    if (!SQL_SUCCEEDED(SQLRowCount(run.Statement.get(), &count)))
        count = -1;
    // After a broken link the first run may have deleted the row already: gone either way.
    if (count == 0 && !run.Retried)
        return { Deletion::AlreadyGone, {} };
    return { Deletion::Deleted, {} };
}

bool Store::HasTables()
{
    return QueryFirstValue(TableCheckQuery(QStringLiteral("MSGS"))).Succeeded()
        && QueryFirstValue(TableCheckQuery(QStringLiteral("USRS"))).Succeeded();
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
    const Run run = RunStatement(text, Retry::Once);
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

StoreResult<> Store::RecordShown(const QList<NoteIdentity>& notes, const QDateTime& at)
{
    // SQLite refuses an expression nested deeper than 1000; each note adds one OR.
    constexpr qsizetype NotesPerStatement = 100;
    StoreResult<> result;
    for (qsizetype from = 0; from < notes.size(); from += NotesPerStatement) {
        StoreResult<> part
            = ExecSql(ShownReceiptStatement(notes.mid(from, NotesPerStatement), ReceiptTime(at)));
        if (part.Failure && !result.Failure)
            result.Failure = std::move(part.Failure);
    }
    return result;
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
