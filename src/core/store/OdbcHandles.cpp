#include "store/OdbcHandles.h"

#include <QByteArray>

#include <utility>

namespace vimo {

Diagnostic ReadDiagnostic(SQLSMALLINT handleType, SQLHANDLE handle)
{
    Diagnostic diagnostic;
    if (handle == SQL_NULL_HANDLE)
        return diagnostic;

    SQLCHAR state[6] = {};
    SQLINTEGER native = 0;
    SQLSMALLINT messageLength = 0;
    SQLRETURN rc = SQLGetDiagRec(handleType, handle, 1, state, &native, nullptr, 0, &messageLength);
    if (!SQL_SUCCEEDED(rc))
        return diagnostic;

    // Ask once for the length, then read the whole message: no message is ever cut.
    QByteArray message(messageLength + 1, '\0');
    rc = SQLGetDiagRec(handleType, handle, 1, state, &native,
        reinterpret_cast<SQLCHAR*>(message.data()), static_cast<SQLSMALLINT>(message.size()),
        &messageLength);
    if (!SQL_SUCCEEDED(rc))
        return diagnostic;
    message.truncate(qMin<qsizetype>(messageLength, message.size() - 1));
    diagnostic.NativeError = int(native);
    diagnostic.State = QString::fromLatin1(reinterpret_cast<const char*>(state));
    diagnostic.Message = QString::fromUtf8(message);
    return diagnostic;
}

OdbcLink::OdbcLink()
{
    SQLAllocEnv(&Environment);
    if (Environment != SQL_NULL_HENV)
        SQLAllocConnect(Environment, &Connection);
    if (Connection == SQL_NULL_HDBC)
        return;
    // A driver that knows neither attribute says so and goes on without: no harm done.
    SQLSetConnectAttr(
        Connection, SQL_ATTR_LOGIN_TIMEOUT, reinterpret_cast<SQLPOINTER>(LoginTimeoutSeconds), 0);
    SQLSetConnectAttr(Connection, SQL_ATTR_CONNECTION_TIMEOUT,
        reinterpret_cast<SQLPOINTER>(QueryTimeoutSeconds), 0);
}

OdbcLink::~OdbcLink()
{
    if (Connected)
        SQLDisconnect(Connection);
    if (Connection != SQL_NULL_HDBC)
        SQLFreeConnect(Connection);
    if (Environment != SQL_NULL_HENV)
        SQLFreeEnv(Environment);
}

SQLRETURN OdbcLink::Connect(const QString& dataSource)
{
    if (Connection == SQL_NULL_HDBC)
        return SQL_ERROR;
    QByteArray name = dataSource.toUtf8();
    SQLCHAR empty[] = "";
    const SQLRETURN rc = SQLConnect(Connection, reinterpret_cast<SQLCHAR*>(name.data()), SQL_NTS,
        empty, SQL_NTS, empty, SQL_NTS);
    Connected = rc >= 0;
    return rc;
}

SQLRETURN OdbcLink::ConnectThroughDriver(const QString& dataSource, const QString& driver)
{
    if (Connection == SQL_NULL_HDBC)
        return SQL_ERROR;
    // DRIVER first: unixODBC then loads the driver without looking the data source up.
    QByteArray text = QStringLiteral("DRIVER={%1};DSN=%2").arg(driver, dataSource).toUtf8();
    const SQLRETURN rc = SQLDriverConnect(Connection, nullptr,
        reinterpret_cast<SQLCHAR*>(text.data()), SQL_NTS, nullptr, 0, nullptr, SQL_DRIVER_NOPROMPT);
    Connected = rc >= 0;
    return rc;
}

StatementHandle::StatementHandle(std::shared_ptr<OdbcLink> link)
    : Link(std::move(link))
{
    if (Link && Link->IsConnected())
        SQLAllocStmt(Link->Connection, &Handle);
    if (Handle != SQL_NULL_HSTMT)
        SQLSetStmtAttr(
            Handle, SQL_ATTR_QUERY_TIMEOUT, reinterpret_cast<SQLPOINTER>(QueryTimeoutSeconds), 0);
    if (Handle == SQL_NULL_HSTMT)
        Link.reset();
}

StatementHandle::~StatementHandle()
{
    Release();
}

StatementHandle::StatementHandle(StatementHandle&& other) noexcept
    : Link(std::move(other.Link))
    , Handle(std::exchange(other.Handle, SQLHSTMT {}))
{
}

StatementHandle& StatementHandle::operator=(StatementHandle&& other) noexcept
{
    if (this != &other) {
        Release();
        Link = std::move(other.Link);
        Handle = std::exchange(other.Handle, SQLHSTMT {});
    }
    return *this;
}

void StatementHandle::Release()
{
    if (Handle != SQL_NULL_HSTMT)
        SQLFreeStmt(Handle, SQL_DROP);
    Handle = SQL_NULL_HSTMT;
    Link.reset();
}

} // namespace vimo
