#include "store/SqlHelpers.h"

#include "store/Prompts.h"
#include "store/StoreConnection.h"

namespace vimo {
namespace {

StatementRun RunOnce(const QByteArray& text)
{
    StatementRun run;
    const std::shared_ptr<OdbcLink> link = StoreConnection::Instance().Link();
    run.Statement = StatementHandle(link);
    if (!run.Statement.IsValid()) {
        // No handle: the link is down, as a failed reconnect leaves it. Say why if it can.
        if (link && link->Connection != SQL_NULL_HDBC)
            run.Error = ReadDiagnostic(SQL_HANDLE_DBC, link->Connection);
        return run;
    }
    QByteArray buffer = text;
    run.ReturnCode = SQLExecDirect(run.Statement.get(),
                                   reinterpret_cast<SQLCHAR*>(buffer.data()), SQL_NTS);
    if (!run.Succeeded())
        run.Error = ReadDiagnostic(SQL_HANDLE_STMT, run.Statement.get());
    return run;
}

} // namespace

StatementRun RunStatement(const QString& statement)
{
    const QByteArray text = statement.toUtf8();
    StatementRun run = RunOnce(text);
    if (run.Succeeded())
        return run;
    // A link that an earlier reconnect could not bring back is tried again as well: a server
    // may take longer to restart than one statement.
    const bool linkDown = !run.Statement.IsValid() && StoreConnection::Instance().Link() != nullptr;
    if (!linkDown && !IsConnectionLost(run.Error))
        return run;

    run.Statement.Release();
    if (StoreConnection::Instance().Reconnect() < 0)
        return run;
    return RunOnce(text);
}

std::optional<QByteArray> ReadColumnText(SQLHSTMT statement)
{
    QByteArray value;
    char chunk[1024];
    for (;;) {
        SQLLEN indicator = 0;
        const SQLRETURN rc = SQLGetData(statement, 1, SQL_C_CHAR, chunk, sizeof chunk, &indicator);
        if (rc == SQL_NO_DATA)
            break;
        if (!SQL_SUCCEEDED(rc))
            return value.isEmpty() ? std::nullopt : std::optional(value);
        if (indicator == SQL_NULL_DATA)
            return std::nullopt;
        const bool partOnly = indicator == SQL_NO_TOTAL || indicator >= SQLLEN(sizeof chunk);
        value.append(chunk, partOnly ? qsizetype(sizeof chunk - 1) : qsizetype(indicator));
        if (!partOnly)
            break;
    }
    return value;
}

bool ExecSql(const QString& statement)
{
    const QString text = CutTrailingWhiteSpace(statement);
    StatementRun run = RunStatement(text);
    if (run.Succeeded())
        return true;

    // The handle goes before the alert: timers keep running while the box is open.
    run.Statement.Release();
    StatementErrorAlert(text, run.Error);
    return false;
}

void StatementErrorAlert(const QString& statement, const Diagnostic& error)
{
    ShowAlert(QStringLiteral("%1 [Error (%2) %3]").arg(statement, error.State, error.Message));
}

QString QueryFirstValue(const QString& statement)
{
    StatementRun run = RunStatement(CutTrailingWhiteSpace(statement));
    if (!run.Succeeded())
        return QString();
    if (!SQL_SUCCEEDED(SQLFetch(run.Statement.get())))
        return QString();
    const std::optional<QByteArray> value = ReadColumnText(run.Statement.get());
    return value ? CutTrailingWhiteSpace(QString::fromUtf8(*value)) : QString();
}

QStringList QueryColumnValues(const QString& statement)
{
    QStringList values;
    StatementRun run = RunStatement(CutTrailingWhiteSpace(statement));
    if (!run.Succeeded())
        return values;
    while (SQL_SUCCEEDED(SQLFetch(run.Statement.get()))) {
        QByteArray value = ReadColumnText(run.Statement.get()).value_or(QByteArray());
        if (TrimTrailingBlanks(value) > 0)
            values.append(QString::fromUtf8(value));
    }
    return values;
}

} // namespace vimo
