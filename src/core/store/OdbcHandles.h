#pragma once

// The ODBC handles of a link, private to the store's own sources: nothing outside src/core/store
// sees ODBC's types.

#include "store/StoreResult.h"

#include <QString>

#include <sql.h>
#include <sqlext.h>

#include <memory>

namespace vimo {

// Diagnostic record 1 of a handle.
Diagnostic ReadDiagnostic(SQLSMALLINT handleType, SQLHANDLE handle);

// The longest a connect may take, and the longest a statement may run, in seconds; a driver
// then gives up with a timeout (HYT00/HYT01, PostgreSQL's 57014), which the program takes for
// a store out of reach. A server that hangs then costs a failed poll or post, never a copy
// that waits forever. A file store's lock waits are its data source's Timeout, well below.
inline constexpr SQLULEN LoginTimeoutSeconds = 10;
inline constexpr SQLULEN QueryTimeoutSeconds = 15;

// One environment and one connection on it, allocated together and released together:
// disconnect, free the connection, free the environment.
class OdbcLink {
public:
    OdbcLink();
    ~OdbcLink();
    OdbcLink(const OdbcLink&) = delete;
    OdbcLink& operator=(const OdbcLink&) = delete;

    // SQLConnect with the data-source name and an empty user and password.
    SQLRETURN Connect(const QString& dataSource);

    // Connects to a data source naming its driver entry as well. WORKAROUND: unixODBC's driver
    // manager keeps what it read of odbc.ini for 20 s, "no such data source" included, and
    // offers no way to empty that cache; a data source registered a moment ago is found only
    // when the driver is named.
    SQLRETURN ConnectThroughDriver(const QString& dataSource, const QString& driver);
    bool IsConnected() const { return Connected; }

    SQLHENV Environment = SQL_NULL_HENV;
    SQLHDBC Connection = SQL_NULL_HDBC;

private:
    bool Connected = false;
};

// A statement handle for one executor call. It shares ownership of the link it was made on,
// so a reconnect elsewhere never frees the connection under it.
class StatementHandle {
public:
    StatementHandle() = default;
    explicit StatementHandle(std::shared_ptr<OdbcLink> link);
    ~StatementHandle();
    StatementHandle(StatementHandle&& other) noexcept;
    StatementHandle& operator=(StatementHandle&& other) noexcept;
    StatementHandle(const StatementHandle&) = delete;
    StatementHandle& operator=(const StatementHandle&) = delete;

    SQLHSTMT get() const { return Handle; }
    bool IsValid() const { return Handle != SQL_NULL_HSTMT; }
    void Release();

private:
    std::shared_ptr<OdbcLink> Link;
    SQLHSTMT Handle = SQL_NULL_HSTMT;
};

} // namespace vimo
