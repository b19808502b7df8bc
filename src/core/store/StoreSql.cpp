#include "store/StoreSql.h"

#include "model/TextRules.h"
#include "store/Failures.h"
#include "store/OdbcHandles.h"
#include "store/Statements.h"

#include <QCoreApplication>
#include <QLoggingCategory>

#include <optional>
#include <tuple>
#include <vector>

namespace vimo {
namespace {

Q_LOGGING_CATEGORY(ReadLog, "vimo.store", QtInfoMsg)

// The values of one run, bound to the markers of its statement. The buffers live here, beside
// the handle, until the statement ran and its rows were read.
class BoundValues {
public:
    // Text goes as wide characters, or as UTF-8 where the driver takes no wide ones. False
    // when the driver refused a binding; its diagnostic is on the statement handle.
    bool Bind(SQLHSTMT statement, const QList<SqlValue>& values, bool wideText)
    {
        static_assert(sizeof(SQLWCHAR) == sizeof(QChar), "unixODBC's wide characters are UTF-16");
        // No buffer moves once it is bound.
        Texts.reserve(values.size());
        Utf8.reserve(values.size());
        Numbers.reserve(values.size());
        Lengths.reserve(values.size());
        SQLUSMALLINT marker = 0;
        for (const SqlValue& value : values) {
            ++marker;
            SQLRETURN rc = SQL_ERROR;
            if (const qint64* number = std::get_if<qint64>(&value)) {
                Numbers.push_back(*number);
                Lengths.push_back(0);
                rc = SQLBindParameter(statement, marker, SQL_PARAM_INPUT, SQL_C_SBIGINT, SQL_BIGINT,
                    0, 0, &Numbers.back(), 0, &Lengths.back());
            } else if (wideText) {
                QString& text = Texts.emplace_back(std::get<QString>(value));
                Lengths.push_back(SQLLEN(text.size() * sizeof(SQLWCHAR)));
                rc = SQLBindParameter(statement, marker, SQL_PARAM_INPUT, SQL_C_WCHAR, SQL_WVARCHAR,
                    SQLULEN(qMax<qsizetype>(text.size(), 1)), 0, text.data(), Lengths.back(),
                    &Lengths.back());
            } else {
                QByteArray& text = Utf8.emplace_back(std::get<QString>(value).toUtf8());
                Lengths.push_back(SQLLEN(text.size()));
                rc = SQLBindParameter(statement, marker, SQL_PARAM_INPUT, SQL_C_CHAR, SQL_VARCHAR,
                    SQLULEN(qMax<qsizetype>(text.size(), 1)), 0, text.data(), Lengths.back(),
                    &Lengths.back());
            }
            if (!SQL_SUCCEEDED(rc))
                return false;
        }
        return true;
    }

private:
    std::vector<QString> Texts;
    std::vector<QByteArray> Utf8;
    std::vector<qint64> Numbers;
    std::vector<SQLLEN> Lengths;
};

// Reads one column of the current row as text, up to StoreSql::LongestValue bytes. Value is
// nullopt for NULL, for a longer value (TooLong) or when nothing could be read; Failed says
// that the driver refused a read.
struct ColumnRead {
    std::optional<QByteArray> Value;
    bool Failed = false;
    bool TooLong = false;
    qint64 Length = -1; // of a value too long, where the driver told it
};

ColumnRead ReadColumnText(SQLHSTMT statement, SQLUSMALLINT column)
{
    QByteArray value;
    char chunk[4096];
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
        // The rest is left unread: the SQLite driver takes time in the whole length for
        // every piece, and a value of many megabytes would stall each poll.
        if (indicator != SQL_NO_TOTAL && value.size() + indicator > StoreSql::LongestValue)
            return { std::nullopt, false, true, value.size() + qint64(indicator) };
        const bool partOnly = indicator == SQL_NO_TOTAL || indicator >= SQLLEN(sizeof chunk);
        value.append(chunk, partOnly ? qsizetype(sizeof chunk - 1) : qsizetype(indicator));
        if (value.size() > StoreSql::LongestValue)
            return { std::nullopt, false, true };
        if (!partOnly)
            break;
    }
    return { value, false };
}

} // namespace

// One statement run on a handle of its own, with what the driver said about it.
struct StoreSql::Run {
    QString Text; // as sent, trailing white space cut
    StatementHandle Statement;
    BoundValues Values;
    SQLRETURN ReturnCode = SQL_ERROR;
    Diagnostic Error; // filled when the run failed
    bool Retried = false; // it ran a second time on a new link

    bool Succeeded() const
    {
        return ReturnCode == SQL_SUCCESS || ReturnCode == SQL_SUCCESS_WITH_INFO;
    }
    StoreFailure Failure() const { return MakeFailure(Text, Error); }
    // What the driver says now, after a fetch or a read failed.
    StoreFailure HandleFailure() const
    {
        return MakeFailure(Text, ReadDiagnostic(SQL_HANDLE_STMT, Statement.get()));
    }
};

StoreSql::Run StoreSql::RunOnce(const QString& text, const QList<SqlValue>& values) const
{
    Link.CheckThread();
    Run run;
    run.Text = text;
    run.Statement = StatementHandle(Link.Link);
    if (!run.Statement.IsValid()) {
        // No handle: the link is down, as a failed reconnect leaves it. Say why if it can.
        if (Link.Link && Link.Link->Connection != SQL_NULL_HDBC)
            run.Error = ReadDiagnostic(SQL_HANDLE_DBC, Link.Link->Connection);
        if (run.Error.State.isEmpty())
            run.Error = { QStringLiteral("08003"), 0,
                QCoreApplication::translate("Store", "No link to the store") };
        return run;
    }
    if (!run.Values.Bind(run.Statement.get(), values, Link.WideText)) {
        run.Error = ReadDiagnostic(SQL_HANDLE_STMT, run.Statement.get());
        return run;
    }
    QByteArray buffer = text.toUtf8();
    run.ReturnCode
        = SQLExecDirect(run.Statement.get(), reinterpret_cast<SQLCHAR*>(buffer.data()), SQL_NTS);
    if (!run.Succeeded())
        run.Error = ReadDiagnostic(SQL_HANDLE_STMT, run.Statement.get());
    return run;
}

StoreSql::Run StoreSql::RunStatement(
    const QString& statement, const QList<SqlValue>& values, Retry retry)
{
    const QString text = CutTrailingWhiteSpace(statement);
    if (retry == Retry::Once)
        Link.FollowReplacedFile();
    Run run = RunOnce(text, values);
    // A store given the identity functions under a running copy takes the tables away from
    // it: its next statements go through the functions.
    if (!run.Succeeded() && retry == Retry::Once && IsPrivilegeLacking(run.Error)
        && !Link.Role.isEmpty() && !Link.Functions)
        Link.LearnRole();
    if (run.Succeeded() || retry == Retry::Never)
        return run;
    // A link that an earlier reconnect could not bring back is tried again as well: a server
    // may take longer to restart than one statement.
    const bool linkDown = !run.Statement.IsValid() && Link.Link != nullptr;
    if (!linkDown && !IsConnectionLost(run.Error))
        return run;

    run.Statement.Release();
    if (Link.Reopen().Failure) {
        // Why the store cannot be reached says more than that there was no link.
        if (!Link.LastConnectError.State.isEmpty())
            run.Error = Link.LastConnectError;
        return run;
    }
    Run again = RunOnce(text, values);
    again.Retried = true;
    return again;
}

StoreResult<> StoreSql::Exec(const SqlStatement& statement, Retry retry)
{
    const Run run = RunStatement(statement.Text, statement.Values, retry);
    if (run.Succeeded())
        return {};
    return { {}, run.Failure() };
}

StoreResult<StoreSql::Change> StoreSql::ExecCounted(const SqlStatement& statement)
{
    const Run run = RunStatement(statement.Text, statement.Values, Retry::Once);
    if (!run.Succeeded())
        return { {}, run.Failure() };
    SQLLEN count = 0;
    if (!SQL_SUCCEEDED(SQLRowCount(run.Statement.get(), &count)))
        count = -1;
    return { { qint64(count), run.Retried }, {} };
}

StoreResult<StoreSql::Change> StoreSql::CallCounted(const SqlStatement& statement)
{
    const Run run = RunStatement(statement.Text, statement.Values, Retry::Once);
    if (!run.Succeeded())
        return { {}, run.Failure() };
    StoreResult<Change> result { { -1, run.Retried }, {} };
    if (SQL_SUCCEEDED(SQLFetch(run.Statement.get()))) {
        const ColumnRead read = ReadColumnText(run.Statement.get(), 1);
        bool number = false;
        const qint64 rows = read.Value ? read.Value->trimmed().toLongLong(&number) : 0;
        if (number)
            result.Value.Rows = rows;
    }
    return result;
}

StoreResult<QString> StoreSql::FirstValue(const SqlStatement& statement, Retry retry)
{
    const Run run = RunStatement(statement.Text, statement.Values, retry);
    if (!run.Succeeded())
        return { {}, run.Failure() };
    const SQLRETURN fetched = SQLFetch(run.Statement.get());
    if (fetched == SQL_NO_DATA)
        return {};
    if (!SQL_SUCCEEDED(fetched))
        return { {}, run.HandleFailure() };
    const ColumnRead read = ReadColumnText(run.Statement.get(), 1);
    if (read.TooLong)
        LeftOut(run.Text, {}, 1, read.Length);
    StoreResult<QString> result;
    if (read.Value)
        result.Value = CutTrailingWhiteSpace(QString::fromUtf8(*read.Value));
    if (read.Failed)
        result.Failure = run.HandleFailure();
    return result;
}

StoreResult<QStringList> StoreSql::ColumnValues(const SqlStatement& statement)
{
    StoreResult<QList<QStringList>> rows = Rows(statement, 1);
    StoreResult<QStringList> result { {}, std::move(rows.Failure) };
    for (QStringList& row : rows.Value) {
        if (TrimTrailingBlanks(row.first()) > 0)
            result.Value.append(std::move(row.first()));
    }
    return result;
}

StoreResult<QList<QStringList>> StoreSql::Rows(const SqlStatement& statement, int columns)
{
    const Run run = RunStatement(statement.Text, statement.Values, Retry::Once);
    if (!run.Succeeded())
        return { {}, run.Failure() };
    StoreResult<QList<QStringList>> result;
    for (;;) {
        const SQLRETURN fetched = SQLFetch(run.Statement.get());
        if (fetched == SQL_NO_DATA)
            break;
        if (!SQL_SUCCEEDED(fetched)) {
            result.Failure = run.HandleFailure();
            break;
        }
        QStringList row;
        bool tooLong = false;
        for (int column = 1; column <= columns && !tooLong; ++column) {
            const ColumnRead read = ReadColumnText(run.Statement.get(), SQLUSMALLINT(column));
            tooLong = read.TooLong;
            if (tooLong)
                LeftOut(run.Text, row, column, read.Length);
            row.append(QString::fromUtf8(read.Value.value_or(QByteArray())));
            if (read.Failed && !result.Failure)
                result.Failure = run.HandleFailure();
        }
        if (!tooLong)
            result.Value.append(std::move(row));
    }
    return result;
}

void StoreSql::LeftOut(const QString& text, const QStringList& before, int column, qint64 length)
{
    // Said once for each such row, not at every poll that meets it again. The columns before
    // tell the rows apart (a note's key comes first).
    const size_t row = qHashMulti(0, text, before, column, length);
    if (Link.RowsLeftOut.contains(row))
        return;
    if (Link.RowsLeftOut.size() >= 10000)
        Link.RowsLeftOut.clear();
    Link.RowsLeftOut.insert(row);
    const QString size = length < 0
        ? QStringLiteral("more than %1").arg(LongestValue)
        : QStringLiteral("%1, more than %2").arg(length).arg(LongestValue);
    qCWarning(ReadLog, "a row of \"%s\" is left out: its column %d holds %s bytes",
        qUtf8Printable(text), column, qUtf8Printable(size));
}

StoreResult<> StoreSql::BeginWrite()
{
    if (Link.Kind != Store::Engine::Sqlite)
        return {};
    Link.FollowReplacedFile();
    StoreResult<> begun = Exec(BeginWriteStatement(), Retry::Never);
    if (begun.Succeeded())
        Link.InTransaction = true;
    return begun;
}

StoreResult<> StoreSql::Commit()
{
    if (!Link.InTransaction)
        return {};
    StoreResult<> committed = Exec(CommitStatement(), Retry::Never);
    if (committed.Succeeded())
        Link.InTransaction = false;
    return committed;
}

void StoreSql::RollBack()
{
    if (!Link.InTransaction)
        return;
    Link.InTransaction = false;
    std::ignore = Exec(RollbackStatement(), Retry::Never);
}

StoreResult<> StoreSql::Reconnect()
{
    return Link.Reopen();
}

} // namespace vimo
