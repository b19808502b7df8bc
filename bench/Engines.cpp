#include "Engines.h"

#include <libpq-fe.h>
#include <sqlite3.h>

#include <cstdio>

namespace vimo::bench {
namespace {

class SqliteEngine : public Engine {
public:
    explicit SqliteEngine(sqlite3* db)
        : Db(db)
    {
        // The same busy wait the data source gives the ODBC driver (Timeout=5000).
        sqlite3_busy_timeout(Db, 5000);
    }
    ~SqliteEngine() override { sqlite3_close(Db); }

    bool Run(const std::string& statement, std::vector<std::string>* values) override
    {
        sqlite3_stmt* prepared = nullptr;
        int rc
            = sqlite3_prepare_v2(Db, statement.c_str(), int(statement.size()), &prepared, nullptr);
        if (rc == SQLITE_OK)
            rc = SQLITE_ROW;
        while (rc == SQLITE_ROW && (rc = sqlite3_step(prepared)) == SQLITE_ROW) {
            for (int column = 0; values && column < sqlite3_column_count(prepared); ++column) {
                const auto* text = sqlite3_column_text(prepared, column);
                values->emplace_back(text ? reinterpret_cast<const char*>(text) : "");
            }
        }
        sqlite3_finalize(prepared);
        Code = rc == SQLITE_DONE ? SQLITE_OK : sqlite3_extended_errcode(Db);
        return Code == SQLITE_OK;
    }

    Failure LastFailure() const override
    {
        switch (Code & 0xff) {
        case SQLITE_OK:
            return Failure::None;
        case SQLITE_CONSTRAINT:
            return Failure::DuplicateKey;
        case SQLITE_BUSY:
        case SQLITE_LOCKED:
            return Failure::Busy;
        default:
            return Failure::Other;
        }
    }
    std::string LastMessage() const override { return sqlite3_errmsg(Db); }

private:
    sqlite3* Db;
    int Code = SQLITE_OK;
};

class PostgresEngine : public Engine {
public:
    explicit PostgresEngine(PGconn* connection)
        : Connection(connection)
    {
    }
    ~PostgresEngine() override { PQfinish(Connection); }

    bool Run(const std::string& statement, std::vector<std::string>* values) override
    {
        PGresult* result = PQexec(Connection, statement.c_str());
        const ExecStatusType status = PQresultStatus(result);
        const bool ok = status == PGRES_COMMAND_OK || status == PGRES_TUPLES_OK;
        State.clear();
        Message.clear();
        if (ok && values) {
            for (int row = 0; row < PQntuples(result); ++row) {
                for (int column = 0; column < PQnfields(result); ++column)
                    values->emplace_back(PQgetvalue(result, row, column));
            }
        } else if (!ok) {
            const char* state = PQresultErrorField(result, PG_DIAG_SQLSTATE);
            State = state ? state : "";
            Message = PQerrorMessage(Connection);
        }
        PQclear(result);
        return ok;
    }

    Failure LastFailure() const override
    {
        if (State.empty() && Message.empty())
            return Failure::None;
        return State == "23505" ? Failure::DuplicateKey : Failure::Other;
    }
    std::string LastMessage() const override { return Message; }

private:
    PGconn* Connection;
    std::string State;
    std::string Message;
};

} // namespace

bool IsPostgres(const std::string& where)
{
    return where.rfind("postgres:", 0) == 0;
}

std::unique_ptr<Engine> Engine::Open(const std::string& where)
{
    if (IsPostgres(where)) {
        PGconn* connection = PQconnectdb(where.substr(9).c_str());
        if (PQstatus(connection) != CONNECTION_OK) {
            std::fprintf(
                stderr, "cannot connect to %s: %s", where.c_str(), PQerrorMessage(connection));
            PQfinish(connection);
            return nullptr;
        }
        PQsetNoticeProcessor(
            connection, [](void*, const char*) {}, nullptr);
        return std::make_unique<PostgresEngine>(connection);
    }
    const std::string path = where.rfind("sqlite:", 0) == 0 ? where.substr(7) : where;
    sqlite3* db = nullptr;
    if (sqlite3_open_v2(path.c_str(), &db, SQLITE_OPEN_READWRITE | SQLITE_OPEN_CREATE, nullptr)
        != SQLITE_OK) {
        std::fprintf(stderr, "cannot open %s: %s\n", path.c_str(), sqlite3_errmsg(db));
        sqlite3_close(db);
        return nullptr;
    }
    return std::make_unique<SqliteEngine>(db);
}

std::string Engine::Value(const std::string& statement)
{
    std::vector<std::string> values;
    return Run(statement, &values) && !values.empty() ? values.front() : std::string();
}

} // namespace vimo::bench
